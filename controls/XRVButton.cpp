#include "controls/XRVButton.h"

#include "framework/ui/DC.h"

IMPLEMENT_DYNCREATE(XRVButton, CButton)

BEGIN_MESSAGE_MAP(XRVButton, CButton)
    ON_WM_SYSKEYDOWN()
    ON_WM_KILLFOCUS()
    ON_WM_GETDLGCODE()
    ON_WM_ERASEBKGND()
    ON_MESSAGE(BM_SETSTYLE, OnSetStyle)
    ON_MESSAGE(WM_UPDATEUISTATE, OnUiState)
    ON_MESSAGE(WM_CHANGEUISTATE, OnUiState)
END_MESSAGE_MAP()

namespace {
const UINT kOwnerDraw = 11;          // BS_OWNERDRAW
const DWORD kTypeBits = 0x1F;
const DWORD kFlat = 0x8000;          // BS_FLAT

BOOL IsWindows2000OrLater()
{
    OSVERSIONINFOA v;
    ZeroMemory(&v, sizeof(v));
    v.dwOSVersionInfoSize = sizeof(v);
    return ::GetVersionExA(&v) && v.dwMajorVersion >= 5;
}
}  // namespace

XRVButton::XRVButton()
    : m_bNoFill(TRUE), m_bTextOnly(0), m_swatchGap(3), m_textColour((COLORREF)-1),
      m_nTextFormat(DT_CENTER | DT_VCENTER | DT_SINGLELINE), m_bHideFocus(0), m_bDefault(0),
      m_dwStyle(0), m_dwExStyle(0)
{
}

XRVButton::~XRVButton()
{
}

void XRVButton::PreSubclassWindow()
{
    CButton::PreSubclassWindow();
    HWND hParent = ::GetParent(m_hWnd);
    HFONT hParentFont = (HFONT)::SendMessageA(hParent, WM_GETFONT, 0, 0);
    LOGFONT lf;
    if (hParentFont != NULL && ::GetObjectA(hParentFont, sizeof(lf), &lf))
        m_font.CreateFontIndirect(&lf);
    m_dwStyle = GetStyle();
    m_dwExStyle = GetExStyle();
    m_bDefault = (m_dwStyle & kTypeBits) == BS_DEFPUSHBUTTON;
    BuildTextFormat(TRUE);
    ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, (LONG_PTR)((m_dwStyle & ~kTypeBits) | kOwnerDraw));
    QueryUiState();
}

void XRVButton::QueryUiState()
{
    if (!IsWindows2000OrLater())
        return;
    const LRESULT state = ::SendMessageA(::GetParent(m_hWnd), WM_QUERYUISTATE, 0, 0);
    m_bHideFocus = (state & UISF_HIDEFOCUS) ? 1 : 0;
    if (state & UISF_HIDEACCEL)
        m_nTextFormat |= DT_HIDEPREFIX;
    else
        m_nTextFormat &= ~DT_HIDEPREFIX;
}

// Alignment from the button style; a later rebuild keeps the other flags.
void XRVButton::BuildTextFormat(BOOL bFromZero)
{
    UINT format = bFromZero ? 0 : (m_nTextFormat & ~(DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM | DT_SINGLELINE));
    format &= ~DT_WORDBREAK;
    const DWORD style = m_dwStyle;
    if ((style & BS_CENTER) == BS_CENTER)
        format |= DT_CENTER;
    else if (style & BS_RIGHT)
        format |= DT_RIGHT;
    else if (style & BS_LEFT)
        format |= DT_LEFT;
    else if (!((style & 9) == 9 || (style & 3) == 3 || (style & 6) != 0))
        format |= DT_CENTER;
    if ((style & BS_VCENTER) == BS_VCENTER)
        format |= DT_VCENTER;
    else if (style & BS_TOP)
        format |= DT_TOP;
    else if (style & BS_BOTTOM)
        format |= DT_BOTTOM;
    else
        format |= DT_VCENTER;
    format |= (style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE;
    if ((m_dwExStyle & WS_EX_RTLREADING) && IsWindows2000OrLater())
        format |= DT_RTLREADING;
    m_nTextFormat = format;
    if (m_hWnd != NULL)
        Invalidate();
}

void XRVButton::SetFont(const LOGFONT* pLogFont)
{
    m_font.DeleteObject();
    if (pLogFont != NULL)
        m_font.CreateFontIndirect(pLogFont);
    if (m_hWnd != NULL)
        Invalidate();
}

void XRVButton::DrawItem(LPDRAWITEMSTRUCT lpDIS)
{
    if (lpDIS->CtlType != ODT_BUTTON || lpDIS->hwndItem != m_hWnd)
        return;
    CRect rect(lpDIS->rcItem);
    if (!m_bTextOnly) {
        DrawBackground(lpDIS, rect);
        DrawDefaultFrame(lpDIS, rect);
        DrawFace(lpDIS, rect);
    }
    DrawCaption(lpDIS, rect, FALSE);
}

void XRVButton::DrawBackground(LPDRAWITEMSTRUCT lpDIS, CRect& rect)
{
    if (m_bNoFill)
        return;
    CDC* pDC = CDC::FromHandle(lpDIS->hDC);
    pDC->FillSolidRect(&rect, m_bkColour.Resolve());
}

void XRVButton::DrawDefaultFrame(LPDRAWITEMSTRUCT lpDIS, CRect& rect)
{
    if (!(lpDIS->itemState & ODS_FOCUS))
        return;
    ::FrameRect(lpDIS->hDC, &rect, (HBRUSH)::GetStockObject(BLACK_BRUSH));
    rect.DeflateRect(1, 1);
}

void XRVButton::DrawFace(LPDRAWITEMSTRUCT lpDIS, CRect& rect)
{
    HDC hDC = lpDIS->hDC;
    if (lpDIS->itemState & ODS_SELECTED) {
        ::FillRect(hDC, &rect, ::GetSysColorBrush(COLOR_BTNFACE));
        ::FrameRect(hDC, &rect, ::GetSysColorBrush(COLOR_BTNSHADOW));
    } else if (m_dwStyle & kFlat) {
        ::FillRect(hDC, &rect, ::GetSysColorBrush(COLOR_BTNFACE));
        ::FrameRect(hDC, &rect, (HBRUSH)::GetStockObject(BLACK_BRUSH));
        rect.DeflateRect(1, 1);
        ::FrameRect(hDC, &rect, (HBRUSH)::GetStockObject(WHITE_BRUSH));
        rect.InflateRect(1, 1);
    } else {
        ::DrawFrameControl(hDC, &rect, DFC_BUTTON, DFCS_BUTTONPUSH);
    }
    DrawFocus(lpDIS, rect);
}

void XRVButton::DrawFocus(LPDRAWITEMSTRUCT lpDIS, CRect& rect)
{
    rect.DeflateRect(3, 3);
    rect.left -= 1;
    rect.top -= 1;
    if ((lpDIS->itemState & ODS_FOCUS) && !(m_dwStyle & kFlat) && !m_bHideFocus)
        ::DrawFocusRect(lpDIS->hDC, &rect);
    rect.DeflateRect(1, 1);
}

void XRVButton::DrawButtonText(CDC* pDC, LPDRAWITEMSTRUCT lpDIS, const CString& text, CRect& rect,
                               BOOL bMeasureOnly)
{
    const int oldMode = pDC->SetBkMode(TRANSPARENT);
    const COLORREF oldColour = pDC->GetTextColor();
    HGDIOBJ oldFont = m_font.m_hObject != NULL ? ::SelectObject(pDC->m_hDC, m_font.m_hObject) : NULL;
    const UINT format = m_nTextFormat | (bMeasureOnly ? DT_CALCRECT : 0);
    if (lpDIS->itemState & ODS_DISABLED) {
        CRect shifted = rect;
        shifted.OffsetRect(1, 1);
        pDC->SetTextColor(::GetSysColor(COLOR_3DHILIGHT));
        pDC->DrawText(text, &shifted, format);
        pDC->SetTextColor(::GetSysColor(COLOR_BTNSHADOW));
        pDC->DrawText(text, &rect, format);
    } else {
        pDC->SetTextColor(m_textColour == (COLORREF)-1 ? ::GetSysColor(COLOR_WINDOWTEXT) : m_textColour);
        pDC->DrawText(text, &rect, format);
    }
    if (oldFont != NULL)
        ::SelectObject(pDC->m_hDC, oldFont);
    pDC->SetTextColor(oldColour);
    pDC->SetBkMode(oldMode);
}

void XRVButton::DrawCaption(LPDRAWITEMSTRUCT lpDIS, CRect& rect, BOOL bMeasureOnly)
{
    CString text;
    GetWindowText(text);
    DrawButtonText(CDC::FromHandle(lpDIS->hDC), lpDIS, text, rect, bMeasureOnly);
}

void XRVButton::OnSysKeyDown(UINT nChar, UINT, UINT)
{
    if (IsWindows2000OrLater()) {
        HWND hParent = ::GetParent(m_hWnd);
        if (nChar == VK_TAB || nChar == VK_LEFT || nChar == VK_RIGHT || nChar == VK_UP || nChar == VK_DOWN)
            ::SendMessageA(hParent, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
        else if (nChar == VK_MENU)
            ::SendMessageA(hParent, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
    }
    Default();
}

void XRVButton::OnKillFocus(CWnd*)
{
    Default();
    UpdateFocusCues();
}

void XRVButton::UpdateFocusCues()
{
    if (!IsWindows2000OrLater())
        return;
    HWND hParent = ::GetParent(m_hWnd);
    if (::GetKeyState(VK_TAB) < 0)
        ::SendMessageA(hParent, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    if (::GetKeyState(VK_LEFT) < 0 || ::GetKeyState(VK_RIGHT) < 0 || ::GetKeyState(VK_UP) < 0 ||
        ::GetKeyState(VK_DOWN) < 0)
        ::SendMessageA(hParent, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
}

UINT XRVButton::GetDlgCodeValue()
{
    return (m_bDefault && !m_bTextOnly) ? (DLGC_BUTTON | DLGC_DEFPUSHBUTTON)
                                        : (DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON);
}

UINT XRVButton::OnGetDlgCode()
{
    return GetDlgCodeValue();
}

BOOL XRVButton::OnEraseBkgnd(CDC*)
{
    if (!m_bNoFill)
        return FALSE;
    return (BOOL)Default();
}

// The dialog manager moves the default with BM_SETSTYLE: only the default
// flag follows, the button stays owner-drawn.
LRESULT XRVButton::OnSetStyle(WPARAM wParam, LPARAM lParam)
{
    const DWORD style = (DWORD)wParam;
    if ((style & kOwnerDraw) < kOwnerDraw) {
        m_bDefault = (style & BS_DEFPUSHBUTTON) ? 1 : 0;
        if (lParam)
            Invalidate();
        return 0;
    }
    const DWORD newStyle = (GetStyle() & 0xFFFF0000) | (style & 0xFFFF);
    ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, (LONG_PTR)newStyle);
    m_dwStyle = newStyle;
    BuildTextFormat(FALSE);
    if (lParam)
        Invalidate();
    return 0;
}

LRESULT XRVButton::OnUiState(WPARAM wParam, LPARAM)
{
    const WORD action = LOWORD(wParam);
    const WORD flags = HIWORD(wParam);
    if (action == UIS_SET) {
        if (flags & UISF_HIDEFOCUS)
            m_bHideFocus = 1;
        if (flags & UISF_HIDEACCEL)
            m_nTextFormat |= DT_HIDEPREFIX;
    } else if (action == UIS_CLEAR) {
        if (flags & UISF_HIDEFOCUS)
            m_bHideFocus = 0;
        if (flags & UISF_HIDEACCEL)
            m_nTextFormat &= ~DT_HIDEPREFIX;
    } else if (action == UIS_INITIALIZE) {
        QueryUiState();
    }
    Invalidate();
    return 0;
}
