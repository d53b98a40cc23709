#include "capture/PointPickerWnd.h"

#include "framework/ui/MsgMap.h"
#include "resources/ids_pickers.h"

namespace {

const UINT_PTR kStartTimer = 1;
const UINT kStartDelayMs = 300;

}  // namespace

BEGIN_MESSAGE_MAP(CPointPickerWnd, CScreenOverlayWnd)
    ON_WM_CREATE()
    ON_WM_TIMER()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONUP()
END_MESSAGE_MAP()

CPointPickerWnd::CPointPickerWnd(CRecorderPrefs* prefs, HWND notify, IAreaPickerHost* host,
                                 IRegionPageOwner* ownerPage, int handBack)
    : CScreenOverlayWnd(prefs, notify, host), m_ended(TRUE), m_candidate(), m_ownerPage(ownerPage),
      m_handBack(handBack)
{
}

UINT CPointPickerWnd::CursorResource() const
{
    return IDC_PICKER_POINT;
}

int CPointPickerWnd::OnCreate(LPCREATESTRUCT cs)
{
    CScreenOverlayWnd::OnCreate(cs);
    SetTimer(kStartTimer, kStartDelayMs);
    return 0;
}

// Moving the cursor onto itself makes a mouse move arrive, so that the
// candidate under the resting mouse is shown.
void CPointPickerWnd::OnTimer(UINT_PTR id)
{
    if (id != kStartTimer)
        return;
    KillTimer(kStartTimer);
    m_ended = FALSE;
    POINT point;
    if (::GetCursorPos(&point))
        ::SetCursorPos(point.x, point.y);
}

void CPointPickerWnd::Track(POINT point)
{
    RECT candidate;
    if (!CandidateAt(point, &candidate) || ::IsRectEmpty(&candidate)) {
        // Nothing under the mouse: nothing is outlined.
        ::SetRectEmpty(&m_candidate);
        HideOutline();
        return;
    }
    m_candidate = candidate;
    ShowOutline(m_candidate, OutlineDepth());
}

void CPointPickerWnd::OnMouseMove(UINT /*flags*/, CPoint point)
{
    if (m_ended || m_finished)
        return;
    Track(ScreenPoint(point));
}

// The click chooses what lies under it. A click on nothing (no window there,
// or a window that has gone) chooses nothing and the picker stays open.
void CPointPickerWnd::OnLButtonUp(UINT /*flags*/, CPoint point)
{
    if (m_finished)
        return;
    RECT candidate;
    if (!CandidateAt(ScreenPoint(point), &candidate) || ::IsRectEmpty(&candidate))
        return;
    m_candidate = candidate;
    Done();
}

void CPointPickerWnd::Done()
{
    if (m_finished)
        return;
    StoreChoice();
    const RECT chosen = m_candidate;
    if (m_ownerPage && m_handBack == 0)
        m_ownerPage->SetPickedRect(&chosen);
    EndPicker(WM_AREA_PICKED, m_ownerPage != NULL);
}

void CPointPickerWnd::Cancel()
{
    if (m_finished)
        return;
    if (m_ownerPage && m_handBack == 0)
        m_ownerPage->ShowPickerControls(TRUE);
    EndPicker(WM_AREA_PICK_CANCELLED, FALSE);
}
