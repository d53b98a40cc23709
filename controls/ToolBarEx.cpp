#include "controls/ToolBarEx.h"

#include "controls/Emboss.h"
#include "framework/ui/DC.h"
#include "framework/ui/FrameWnd.h"

#include <commctrl.h>

namespace {
const UINT_PTR kHotTimerId = 1;
const UINT kHotTimerMs = 250;
const int kTextTopOffset = 3;   // image offset from the top of a bar with texts
const int kGripperRoomHorz = 4;
const int kGripperRoomVert = 6;
}  // namespace

IMPLEMENT_DYNCREATE(CToolBarEx, CToolBar)

BEGIN_MESSAGE_MAP(CToolBarEx, CToolBar)
    ON_WM_CREATE()
    ON_WM_PAINT()
    ON_WM_SYSCOLORCHANGE()
    ON_WM_NCCALCSIZE()
    ON_WM_NCPAINT()
    ON_WM_MOUSEMOVE()
    ON_WM_TIMER()
    ON_MESSAGE(TB_SETBUTTONSIZE, OnSetButtonSize)
    ON_MESSAGE(TB_SETBITMAPSIZE, OnSetBitmapSize)
END_MESSAGE_MAP()

CToolBarEx::CToolBarEx()
    : m_bFlat(TRUE), m_nImageOffsetX(0), m_nImageOffsetY(0), m_nHotIndex(-1), m_nHotTimer(0),
      m_hParent(NULL), m_bOwnImageList(FALSE)
{
    ReadColours();
    LOGFONT lf;
    ZeroMemory(&lf, sizeof(lf));
    HGDIOBJ hGui = ::GetStockObject(DEFAULT_GUI_FONT);
    if (hGui == NULL) {
        ::GetObjectA(::GetStockObject(SYSTEM_FONT), sizeof(lf), &lf);
        lf.lfWeight = FW_NORMAL;
        lstrcpynA(lf.lfFaceName, "MS Sans Serif", LF_FACESIZE);
    } else {
        ::GetObjectA(hGui, sizeof(lf), &lf);
    }
    lf.lfHeight = 6;
    lf.lfWidth = 0;
    m_textFont.CreateFontIndirect(&lf);
}

CToolBarEx::~CToolBarEx()
{
    m_textFont.DeleteObject();
    m_savedStyles.RemoveAll();
}

void CToolBarEx::SetTextFont(const LOGFONT* pLogFont)
{
    m_textFont.DeleteObject();
    m_textFont.CreateFontIndirect(pLogFont);
    if (m_hWnd != NULL) {
        UpdateImageOffsets();
        Invalidate();
    }
}

COLORREF CToolBarEx::CheckedBackground(COLORREF face, COLORREF light, COLORREF highlight)
{
    return light == face ? highlight : light;
}

void CToolBarEx::ReadColours()
{
    m_clrFace = ::GetSysColor(COLOR_BTNFACE);
    m_clrHighlight = ::GetSysColor(COLOR_3DHILIGHT);
    m_clrShadow = ::GetSysColor(COLOR_BTNSHADOW);
    m_clrChecked = CheckedBackground(m_clrFace, ::GetSysColor(COLOR_3DLIGHT), m_clrHighlight);
}

int CToolBarEx::OnCreate(LPCREATESTRUCT lpCreateStruct)
{
    if (Default() == -1)
        return -1;
    m_hParent = lpCreateStruct->hwndParent;
    UpdateImageOffsets();
    return 0;
}

void CToolBarEx::OnSysColorChange()
{
    Default();
    ReadColours();
    Invalidate();
}

BOOL CToolBarEx::HasButtonTexts() const
{
    const int count = GetCount();
    for (int i = 0; i < count; i++) {
        TBBUTTON button;
        if (GetButton(i, &button) && !(button.fsStyle & TBSTYLE_SEP) && button.iString != -1 &&
            !GetButtonText(i).IsEmpty())
            return TRUE;
    }
    return FALSE;
}

// Where an image sits in its button: centred, or near the top when texts
// go under the images.
void CToolBarEx::UpdateImageOffsets()
{
    if (m_hWnd == NULL)
        return;
    const DWORD buttonSize = (DWORD)SendMessage(TB_GETBUTTONSIZE);
    const int cxButton = LOWORD(buttonSize);
    const int cyButton = HIWORD(buttonSize);
    m_nImageOffsetX = (cxButton - m_sizeImage.cx) / 2;
    m_nImageOffsetY = HasButtonTexts() ? kTextTopOffset : (cyButton - m_sizeImage.cy) / 2;
}

LRESULT CToolBarEx::OnSetButtonSize(WPARAM, LPARAM lParam)
{
    const LRESULT result = Default();
    m_sizeButton = CSize(LOWORD(lParam), HIWORD(lParam));
    UpdateImageOffsets();
    return result;
}

LRESULT CToolBarEx::OnSetBitmapSize(WPARAM, LPARAM lParam)
{
    const LRESULT result = Default();
    m_sizeImage = CSize(LOWORD(lParam), HIWORD(lParam));
    UpdateImageOffsets();
    return result;
}

// The framework's pass may change a button's style (checked, disabled) by
// re-inserting it; every button whose style changed is drawn again.
void CToolBarEx::OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHandler)
{
    if (!m_bFlat) {
        CToolBar::OnUpdateCmdUI(pTarget, bDisableIfNoHandler);
        return;
    }
    const int count = GetCount();
    m_savedStyles.SetSize(count);
    for (int i = 0; i < count; i++)
        m_savedStyles[i] = GetButtonStyle(i);
    CToolBar::OnUpdateCmdUI(pTarget, bDisableIfNoHandler);
    for (int i = 0; i < count && i < GetCount(); i++) {
        if (m_savedStyles[i] != GetButtonStyle(i)) {
            RECT rc;
            GetItemRect(i, &rc);
            InvalidateRect(&rc, TRUE);
        }
    }
}

void CToolBarEx::OnNcCalcSize(BOOL bCalcValidRects, NCCALCSIZE_PARAMS* lpncsp)
{
    CToolBar::OnNcCalcSize(bCalcValidRects, lpncsp);
    if (!m_bFlat)
        return;
    if (m_dwStyle & CBRS_ORIENT_HORZ)
        ::OffsetRect(&lpncsp->rgrc[0], kGripperRoomHorz, 0);
    else
        ::OffsetRect(&lpncsp->rgrc[0], 0, kGripperRoomVert);
}

// The double gripper at the bar's start.
void CToolBarEx::OnNcPaint()
{
    CToolBar::OnNcPaint();
    if (!m_bFlat || (m_dwStyle & CBRS_FLOATING))
        return;
    CWindowDC dc(this);
    CRect rc;
    GetWindowRect(&rc);
    rc.OffsetRect(-rc.left, -rc.top);
    rc.DeflateRect(4, 4);
    if (m_dwStyle & CBRS_ORIENT_HORZ) {
        dc.Draw3dRect(rc.left, rc.top, 3, rc.Height(), m_clrHighlight, m_clrShadow);
        dc.Draw3dRect(rc.left + 3, rc.top, 3, rc.Height(), m_clrHighlight, m_clrShadow);
    } else {
        dc.Draw3dRect(rc.left, rc.top, rc.Width(), 3, m_clrHighlight, m_clrShadow);
        dc.Draw3dRect(rc.left, rc.top + 3, rc.Width(), 3, m_clrHighlight, m_clrShadow);
    }
}

LRESULT CToolBarEx::NotifyOwner(NMTBCUSTOMDRAW& cd)
{
    HWND hOwner = ::GetParent(m_hWnd);
    if (hOwner == NULL)
        return 0;
    return ::SendMessageA(hOwner, WM_NOTIFY, cd.nmcd.hdr.idFrom, (LPARAM)&cd);
}

void CToolBarEx::OnPaint()
{
    HIMAGELIST hImages = (HIMAGELIST)SendMessage(TB_GETIMAGELIST);
    if (!m_bFlat || (hImages == NULL && m_hbmImageWell == NULL)) {
        Default();
        return;
    }
    RECT update;
    if (!GetUpdateRect(&update))
        return;
    // A temporary image list made from a copy of the bar's bitmap, masked by
    // the face colour. An image width of 0 makes no list (and no division).
    m_bOwnImageList = FALSE;
    if (hImages == NULL && m_sizeImage.cx > 0 && m_sizeImage.cy > 0) {
        BITMAP bm;
        ::GetObjectA(m_hbmImageWell, sizeof(bm), &bm);
        const int count = bm.bmWidth / m_sizeImage.cx;
        HBITMAP hCopy = (HBITMAP)::CopyImage(m_hbmImageWell, IMAGE_BITMAP, 0, 0, 0);
        hImages = ::ImageList_Create(m_sizeImage.cx, m_sizeImage.cy, ILC_MASK | ILC_COLOR24,
                                     count > 0 ? count : 1, 0);
        if (hImages != NULL && hCopy != NULL) {
            ::ImageList_AddMasked(hImages, hCopy, m_clrFace);
            ::ImageList_SetBkColor(hImages, CLR_NONE);
            m_bOwnImageList = TRUE;
        }
        if (hCopy != NULL)
            ::DeleteObject(hCopy);
    }
    if (HasButtonTexts())
        UpdateImageOffsets();
    POINT cursor;
    ::GetCursorPos(&cursor);
    ScreenToClient(&cursor);

    CPaintDC dc(this);
    HDC hdc = dc.GetSafeHdc();
    HGDIOBJ oldFont = ::SelectObject(hdc, m_textFont.m_hObject);
    ::SetBkMode(hdc, TRANSPARENT);

    NMTBCUSTOMDRAW cd;
    ZeroMemory(&cd, sizeof(cd));
    cd.nmcd.hdr.hwndFrom = m_hWnd;
    cd.nmcd.hdr.idFrom = (UINT_PTR)GetDlgCtrlID();
    cd.nmcd.hdr.code = NM_CUSTOMDRAW;
    cd.nmcd.hdc = hdc;
    cd.nmcd.rc = update;
    cd.nmcd.dwDrawStage = CDDS_PREPAINT;
    const LRESULT pre = NotifyOwner(cd);

    const bool vertical = !(m_dwStyle & CBRS_ORIENT_HORZ);
    const int count = GetCount();
    for (int i = 0; i < count; i++) {
        TBBUTTON button;
        if (!GetButton(i, &button) || (button.fsState & TBSTATE_HIDDEN))
            continue;
        RECT rc;
        GetItemRect(i, &rc);
        if (button.fsStyle & TBSTYLE_SEP) {
            if ((button.fsState & TBSTATE_WRAP) && (m_dwStyle & CBRS_FLOATING))
                continue;
            if (rc.right - rc.left < 9 && !vertical) {
                const int x = (rc.left + rc.right) / 2 - 1;
                dc.Draw3dRect(x, rc.top, 2, rc.bottom - rc.top, m_clrShadow, m_clrHighlight);
            } else if (vertical) {
                dc.Draw3dRect(rc.left, rc.bottom, m_sizeButton.cx, 2, m_clrShadow, m_clrHighlight);
            }
            continue;
        }
        RECT meet;
        if (!::IntersectRect(&meet, &rc, &update))
            continue;
        const bool pressed = (button.fsState & (TBSTATE_CHECKED | TBSTATE_PRESSED)) != 0;
        const bool enabled = SendMessage(TB_ISBUTTONENABLED, (WPARAM)button.idCommand) != 0;
        const bool hot = ::PtInRect(&rc, cursor) != 0;
        const COLORREF background = pressed && !hot ? m_clrChecked : m_clrFace;

        LRESULT item = 0;
        if (pre & CDRF_NOTIFYITEMDRAW) {
            cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
            cd.nmcd.rc = rc;
            cd.nmcd.dwItemSpec = (DWORD_PTR)button.idCommand;
            cd.nmcd.lItemlParam = 0;
            cd.nmcd.uItemState = (pressed ? CDIS_CHECKED : 0) | (enabled ? 0 : CDIS_DISABLED);
            item = NotifyOwner(cd);
        }
        if (!(item & CDRF_SKIPDEFAULT)) {
            dc.FillSolidRect(&rc, background);
            if (hot && enabled && !pressed)
                dc.Draw3dRect(&rc, m_clrHighlight, m_clrShadow);
            else if (hot && !enabled && !pressed)
                dc.Draw3dRect(&rc, m_clrFace, m_clrFace);
            if (pressed) {
                dc.Draw3dRect(&rc, m_clrShadow, m_clrHighlight);
                if (!enabled) {
                    RECT inner = rc;
                    ::InflateRect(&inner, -1, -1);
                    dc.Draw3dRect(&inner, m_clrFace, m_clrFace);
                }
            }
            const int shift = pressed ? 1 : 0;
            const int x = rc.left + m_nImageOffsetX + shift;
            const int y = rc.top + m_nImageOffsetY + shift;
            if (hImages != NULL && button.iBitmap >= 0) {
                if (enabled)
                    ::ImageList_Draw(hImages, button.iBitmap, hdc, x, y, ILD_TRANSPARENT);
                else
                    DrawImageEmbossed(hdc, hImages, button.iBitmap, x, y, m_clrHighlight, m_clrShadow);
            }
            const CString text = GetButtonText(i);
            if (!text.IsEmpty()) {
                RECT rcText = { rc.left + 3 + shift, rc.top + m_nImageOffsetY + m_sizeImage.cy + 1 + shift,
                                rc.right - 3 + shift, rc.bottom - 3 + shift };
                ::DrawTextA(hdc, text, text.GetLength(), &rcText, DT_CENTER | DT_VCENTER | DT_NOCLIP);
            }
        }
        if (item & CDRF_NOTIFYPOSTPAINT) {
            cd.nmcd.dwDrawStage = CDDS_ITEMPOSTPAINT;
            NotifyOwner(cd);
        }
    }
    if (pre & CDRF_NOTIFYPOSTPAINT) {
        cd.nmcd.dwDrawStage = CDDS_POSTPAINT;
        cd.nmcd.rc = update;
        cd.nmcd.dwItemSpec = 0;
        cd.nmcd.uItemState = 0;
        NotifyOwner(cd);
    }
    ::SelectObject(hdc, oldFont);
    if (m_bOwnImageList) {
        ::ImageList_Destroy(hImages);
        m_bOwnImageList = FALSE;
    }
}

// The enabled, non-separator button under the cursor is hot; a timer
// notices when the cursor leaves without another move over the bar.
void CToolBarEx::OnMouseMove(UINT, CPoint point)
{
    if (m_bFlat) {
        int found = -1;
        const int count = GetCount();
        for (int i = 0; i < count; i++) {
            TBBUTTON button;
            if (!GetButton(i, &button) || (button.fsStyle & TBSTYLE_SEP) ||
                (button.fsState & TBSTATE_HIDDEN) || !(button.fsState & TBSTATE_ENABLED))
                continue;
            RECT rc;
            GetItemRect(i, &rc);
            if (::PtInRect(&rc, point)) {
                found = i;
                break;
            }
        }
        if (found != m_nHotIndex) {
            RECT rc;
            if (m_nHotIndex >= 0) {
                GetItemRect(m_nHotIndex, &rc);
                InvalidateRect(&rc, FALSE);
            }
            if (found >= 0) {
                GetItemRect(found, &rc);
                InvalidateRect(&rc, FALSE);
            }
        }
        m_nHotIndex = found;
        KillTimer(kHotTimerId);
        m_nHotTimer = SetTimer(kHotTimerId, kHotTimerMs);
    }
    Default();
}

void CToolBarEx::OnTimer(UINT_PTR nIDEvent)
{
    if (!m_bFlat || nIDEvent != kHotTimerId || m_nHotTimer == 0) {
        Default();
        return;
    }
    if (m_nHotIndex >= 0) {
        POINT pt;
        ::GetCursorPos(&pt);
        ScreenToClient(&pt);
        RECT rc;
        GetItemRect(m_nHotIndex, &rc);
        if (!::PtInRect(&rc, pt)) {
            InvalidateRect(&rc, FALSE);
            m_nHotIndex = -1;
        }
    }
    KillTimer(kHotTimerId);
    m_nHotTimer = 0;
}
