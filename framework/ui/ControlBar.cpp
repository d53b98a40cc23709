#include "framework/ui/ControlBar.h"

#include "framework/ui/FrameWnd.h"

IMPLEMENT_DYNAMIC(CControlBar, CWnd)

BEGIN_MESSAGE_MAP(CControlBar, CWnd)
    ON_MESSAGE(WM_IDLEUPDATECMDUI, OnIdleUpdateCmdUI)
END_MESSAGE_MAP()

CControlBar::CControlBar() : m_dwStyle(0)
{
}

CControlBar::~CControlBar()
{
}

void CControlBar::SetBarStyle(DWORD dwStyle)
{
    const DWORD old = m_dwStyle;
    m_dwStyle = dwStyle;
    if (old != dwStyle)
        OnBarStyleChange(old, dwStyle);
}

void CControlBar::OnBarStyleChange(DWORD, DWORD)
{
}

CFrameWnd* CControlBar::GetBarFrame() const
{
    HWND hFrame = ::GetWindow(m_hWnd, GW_OWNER);
    if (hFrame == NULL)
        hFrame = ::GetParent(m_hWnd);
    CWnd* pWnd = CWnd::FromHandlePermanent(hFrame);
    return pWnd != NULL && pWnd->IsKindOf(RUNTIME_CLASS(CFrameWnd)) ? static_cast<CFrameWnd*>(pWnd) : NULL;
}

// Bars measure across their own items; along the frame they take its width.
CSize CControlBar::CalcFixedLayout(BOOL, BOOL bHorz)
{
    CRect rc;
    GetWindowRect(&rc);
    return bHorz ? CSize(32767, rc.Height()) : CSize(rc.Width(), 32767);
}

// Only a visible bar is updated: a hidden one shows nothing to keep right.
LRESULT CControlBar::OnIdleUpdateCmdUI(WPARAM wParam, LPARAM)
{
    if (!IsWindowVisible())
        return 0;
    CFrameWnd* pTarget = GetBarFrame();
    if (pTarget != NULL)
        OnUpdateCmdUI(pTarget, (BOOL)wParam);
    return 0;
}
