#include "framework/ui/Controls.h"

IMPLEMENT_DYNAMIC(CButton, CWnd)
IMPLEMENT_DYNAMIC(CEdit, CWnd)
IMPLEMENT_DYNAMIC(CStatic, CWnd)
IMPLEMENT_DYNAMIC(CComboBox, CWnd)
IMPLEMENT_DYNAMIC(CListBox, CWnd)
IMPLEMENT_DYNAMIC(CScrollBar, CWnd)
IMPLEMENT_DYNAMIC(CSliderCtrl, CWnd)
IMPLEMENT_DYNAMIC(CSpinButtonCtrl, CWnd)
IMPLEMENT_DYNAMIC(CProgressCtrl, CWnd)
IMPLEMENT_DYNAMIC(CToolTipCtrl, CWnd)
IMPLEMENT_DYNAMIC(CStatusBar, CWnd)

namespace {
// The owner-draw messages a parent reflects: handled by the control's
// DrawItem / MeasureItem, everything else by its map.
BOOL OwnerDrawNotify(CWnd* pWnd, UINT message, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_DRAWITEM) {
        pWnd->DrawItem((LPDRAWITEMSTRUCT)lParam);
        if (pResult != NULL)
            *pResult = TRUE;
        return TRUE;
    }
    if (message == WM_MEASUREITEM) {
        pWnd->MeasureItem((LPMEASUREITEMSTRUCT)lParam);
        if (pResult != NULL)
            *pResult = TRUE;
        return TRUE;
    }
    return FALSE;
}
}  // namespace

BOOL CButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_DRAWITEM && OwnerDrawNotify(this, message, lParam, pResult))
        return TRUE;
    return CWnd::OnChildNotify(message, wParam, lParam, pResult);
}

BOOL CComboBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (OwnerDrawNotify(this, message, lParam, pResult))
        return TRUE;
    return CWnd::OnChildNotify(message, wParam, lParam, pResult);
}

BOOL CListBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (OwnerDrawNotify(this, message, lParam, pResult))
        return TRUE;
    return CWnd::OnChildNotify(message, wParam, lParam, pResult);
}

void CComboBox::GetLBText(int nIndex, CString& rString) const
{
    const int nLen = GetLBTextLen(nIndex);
    if (nLen < 0) {
        rString.Empty();
        return;
    }
    char* buf = rString.GetBuffer(nLen + 1);
    const int got = (int)SendMessage(CB_GETLBTEXT, nIndex, (LPARAM)buf);
    rString.ReleaseBuffer(got < 0 ? 0 : got);
}

void CListBox::GetText(int nIndex, CString& rString) const
{
    const int nLen = GetTextLen(nIndex);
    if (nLen < 0) {
        rString.Empty();
        return;
    }
    char* buf = rString.GetBuffer(nLen + 1);
    const int got = (int)SendMessage(LB_GETTEXT, nIndex, (LPARAM)buf);
    rString.ReleaseBuffer(got < 0 ? 0 : got);
}

BOOL CToolTipCtrl::Create(CWnd* pParentWnd, DWORD dwStyle)
{
    return CreateEx(WS_EX_TOPMOST, TOOLTIPS_CLASSA, NULL, WS_POPUP | dwStyle, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, pParentWnd->GetSafeHwnd(), NULL);
}

// The pre-comctl32 6 size of TOOLINFO: comctl32 5.81 refuses the larger one.
void CToolTipCtrl::FillInToolInfo(TOOLINFOA& ti, CWnd* pWnd, UINT_PTR nIDTool) const
{
    ZeroMemory(&ti, sizeof(ti));
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.hwnd = pWnd->GetSafeHwnd();
    if (nIDTool == 0) {
        ti.hwnd = ::GetParent(pWnd->GetSafeHwnd());
        ti.uFlags = TTF_IDISHWND;
        ti.uId = (UINT_PTR)pWnd->GetSafeHwnd();
    } else {
        ti.uId = nIDTool;
    }
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, LPCTSTR lpszText, LPCRECT lpRectTool, UINT_PTR nIDTool)
{
    TOOLINFOA ti;
    FillInToolInfo(ti, pWnd, nIDTool);
    ti.uFlags |= TTF_SUBCLASS;
    if (lpRectTool != NULL)
        ti.rect = *lpRectTool;
    ti.lpszText = (LPSTR)lpszText;
    return (BOOL)SendMessage(TTM_ADDTOOLA, 0, (LPARAM)&ti);
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, UINT nIDText, LPCRECT lpRectTool, UINT_PTR nIDTool)
{
    CString text;
    text.LoadString(nIDText);
    return AddTool(pWnd, text, lpRectTool, nIDTool);
}

void CToolTipCtrl::DelTool(CWnd* pWnd, UINT_PTR nIDTool)
{
    TOOLINFOA ti;
    FillInToolInfo(ti, pWnd, nIDTool);
    SendMessage(TTM_DELTOOLA, 0, (LPARAM)&ti);
}

void CToolTipCtrl::UpdateTipText(LPCTSTR lpszText, CWnd* pWnd, UINT_PTR nIDTool)
{
    TOOLINFOA ti;
    FillInToolInfo(ti, pWnd, nIDTool);
    ti.lpszText = (LPSTR)lpszText;
    SendMessage(TTM_UPDATETIPTEXTA, 0, (LPARAM)&ti);
}

void CToolTipCtrl::SetToolRect(CWnd* pWnd, UINT_PTR nIDTool, LPCRECT lpRect)
{
    TOOLINFOA ti;
    FillInToolInfo(ti, pWnd, nIDTool);
    ti.rect = *lpRect;
    SendMessage(TTM_NEWTOOLRECTA, 0, (LPARAM)&ti);
}

BOOL CStatusBar::Create(CWnd* pParentWnd, DWORD dwStyle, UINT nID)
{
    RECT rect = { 0, 0, 0, 0 };
    return CWnd::Create(STATUSCLASSNAMEA, NULL, dwStyle, rect, pParentWnd, nID);
}

BOOL CStatusBar::SetPaneText(int nIndex, LPCTSTR lpszNewText, BOOL bUpdate)
{
    const BOOL result = (BOOL)SendMessage(SB_SETTEXTA, (WPARAM)nIndex, (LPARAM)lpszNewText);
    if (bUpdate)
        UpdateWindow();
    return result;
}

// Wine 8 answers SB_GETTEXTLENGTHA in characters, not bytes, so the text is
// read into a buffer with room for double-byte text.
CString CStatusBar::GetPaneText(int nIndex) const
{
    const int nChars = LOWORD(SendMessage(SB_GETTEXTLENGTHA, (WPARAM)nIndex));
    const int nSize = nChars * 2 + 2;
    CString text;
    char* buf = text.GetBuffer(nSize);
    buf[0] = 0;
    SendMessage(SB_GETTEXTA, (WPARAM)nIndex, (LPARAM)buf);
    buf[nSize - 1] = 0;
    text.ReleaseBuffer();
    return text;
}
