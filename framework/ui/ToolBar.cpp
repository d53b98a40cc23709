#include "framework/ui/ToolBar.h"

#include "framework/Module.h"
#include "framework/ui/FrameWnd.h"

#include <vector>

IMPLEMENT_DYNAMIC(CToolBar, CControlBar)

BEGIN_MESSAGE_MAP(CToolBar, CControlBar)
    ON_WM_NCCALCSIZE()
    ON_WM_NCPAINT()
END_MESSAGE_MAP()

namespace {
const int kBarStartBorder = 6;   // pixels before the first button
}  // namespace

CToolBar::CToolBar() : m_hbmImageWell(NULL), m_sizeButton(23, 22), m_sizeImage(16, 15)
{
}

CToolBar::~CToolBar()
{
    // The tool bar keeps using the bitmap while its window lives.
    if (m_hWnd != NULL && FromHandlePermanent(m_hWnd) == this)
        DestroyWindow();
    if (m_hbmImageWell != NULL)
        ::DeleteObject(m_hbmImageWell);
}

BOOL CToolBar::CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle, DWORD dwStyle, CRect, UINT nID)
{
    m_dwStyle = dwStyle & CBRS_ALL;
    const DWORD windowStyle = (dwStyle & ~CBRS_ALL) | dwCtrlStyle | CCS_NOPARENTALIGN | CCS_NOMOVEY |
                              CCS_NODIVIDER | CCS_NORESIZE;
    INITCOMMONCONTROLSEX icc = { sizeof(icc), ICC_BAR_CLASSES };
    ::InitCommonControlsEx(&icc);
    if (!CWnd::CreateEx(0, TOOLBARCLASSNAMEA, NULL, windowStyle, 0, 0, 0, 0,
                        pParentWnd->GetSafeHwnd(), (HMENU)(UINT_PTR)nID))
        return FALSE;
    SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
    SendMessage(TB_SETBITMAPSIZE, 0, MAKELONG(m_sizeImage.cx, m_sizeImage.cy));
    SendMessage(TB_SETBUTTONSIZE, 0, MAKELONG(m_sizeButton.cx, m_sizeButton.cy));
    return TRUE;
}

void CToolBar::SetSizes(SIZE sizeButton, SIZE sizeImage)
{
    m_sizeButton = sizeButton;
    m_sizeImage = sizeImage;
    SendMessage(TB_SETBITMAPSIZE, 0, MAKELONG(sizeImage.cx, sizeImage.cy));
    SendMessage(TB_SETBUTTONSIZE, 0, MAKELONG(sizeButton.cx, sizeButton.cy));
}

BOOL CToolBar::LoadBitmap(UINT nIDResource)
{
    HBITMAP hbm = (HBITMAP)::LoadImageA(AfxGetResourceHandle(),
                                        MAKEINTRESOURCEA(nIDResource), IMAGE_BITMAP, 0, 0, 0);
    if (hbm == NULL)
        return FALSE;
    BITMAP bm;
    ::GetObjectA(hbm, sizeof(bm), &bm);
    TBADDBITMAP add = { NULL, (UINT_PTR)hbm };
    const int count = m_sizeImage.cx > 0 ? bm.bmWidth / m_sizeImage.cx : 0;
    if (SendMessage(TB_ADDBITMAP, (WPARAM)count, (LPARAM)&add) == -1) {
        ::DeleteObject(hbm);
        return FALSE;
    }
    if (m_hbmImageWell != NULL)
        ::DeleteObject(m_hbmImageWell);
    m_hbmImageWell = hbm;
    return TRUE;
}

BOOL CToolBar::SetButtons(const UINT* lpIDArray, int nIDCount)
{
    while (SendMessage(TB_BUTTONCOUNT) != 0)
        SendMessage(TB_DELETEBUTTON, 0);
    std::vector<TBBUTTON> buttons((size_t)(nIDCount > 0 ? nIDCount : 0));
    int iImage = 0;
    for (int i = 0; i < nIDCount; i++) {
        TBBUTTON& b = buttons[(size_t)i];
        ZeroMemory(&b, sizeof(b));
        b.idCommand = lpIDArray != NULL ? (int)lpIDArray[i] : 0;
        b.iString = -1;
        if (b.idCommand == ID_SEPARATOR) {
            b.fsStyle = TBSTYLE_SEP;
            b.iBitmap = 8;   // the separator's width
        } else {
            b.fsStyle = TBSTYLE_BUTTON;
            b.fsState = TBSTATE_ENABLED;
            b.iBitmap = iImage++;
        }
    }
    if (nIDCount > 0 && !SendMessage(TB_ADDBUTTONSA, (WPARAM)nIDCount, (LPARAM)&buttons[0]))
        return FALSE;
    return TRUE;
}

BOOL CToolBar::GetButton(int nIndex, TBBUTTON* pButton) const
{
    ZeroMemory(pButton, sizeof(*pButton));
    return (BOOL)SendMessage(TB_GETBUTTON, (WPARAM)nIndex, (LPARAM)pButton);
}

// A button is changed by putting a new one in its place: the common control
// has no message that sets every field.
void CToolBar::SetButton(int nIndex, const TBBUTTON* pButton)
{
    TBBUTTON old;
    if (!GetButton(nIndex, &old))
        return;
    if (memcmp(&old, pButton, sizeof(old)) == 0)
        return;
    SendMessage(WM_SETREDRAW, FALSE);
    SendMessage(TB_DELETEBUTTON, (WPARAM)nIndex);
    SendMessage(TB_INSERTBUTTONA, (WPARAM)nIndex, (LPARAM)pButton);
    SendMessage(WM_SETREDRAW, TRUE);
    Invalidate();
}

// The text goes in as a new string of the tool bar (double-terminated, as
// TB_ADDSTRING reads a list of strings).
BOOL CToolBar::SetButtonText(int nIndex, LPCTSTR lpszText)
{
    TBBUTTON button;
    if (!GetButton(nIndex, &button))
        return FALSE;
    const size_t len = lpszText != NULL ? strlen(lpszText) : 0;
    std::vector<char> list(len + 2, '\0');
    if (len > 0)
        memcpy(&list[0], lpszText, len);
    const INT_PTR iString = SendMessage(TB_ADDSTRINGA, 0, (LPARAM)&list[0]);
    if (iString == -1)
        return FALSE;
    button.iString = iString;
    SetButton(nIndex, &button);
    return TRUE;
}

CString CToolBar::GetButtonText(int nIndex) const
{
    CString text;
    const UINT id = GetItemID(nIndex);
    const int len = (int)SendMessage(TB_GETBUTTONTEXTA, id, 0);
    if (len <= 0)
        return text;
    char* buf = text.GetBuffer(len * 2 + 2);
    buf[0] = 0;
    SendMessage(TB_GETBUTTONTEXTA, id, (LPARAM)buf);
    text.ReleaseBuffer();
    return text;
}

UINT CToolBar::GetItemID(int nIndex) const
{
    TBBUTTON button;
    GetButton(nIndex, &button);
    return (UINT)button.idCommand;
}

void CToolBar::GetItemRect(int nIndex, LPRECT lpRect) const
{
    if (!SendMessage(TB_GETITEMRECT, (WPARAM)nIndex, (LPARAM)lpRect))
        ::SetRectEmpty(lpRect);
}

UINT CToolBar::GetButtonStyle(int nIndex) const
{
    TBBUTTON button;
    GetButton(nIndex, &button);
    return MAKELONG(button.fsStyle, button.fsState);
}

void CToolBar::SetButtonStyle(int nIndex, UINT nStyle)
{
    TBBUTTON button;
    if (!GetButton(nIndex, &button))
        return;
    button.fsStyle = (BYTE)LOWORD(nStyle);
    button.fsState = (BYTE)HIWORD(nStyle);
    SetButton(nIndex, &button);
}

void CToolBar::GetButtonInfo(int nIndex, UINT& nID, UINT& nStyle, int& iImage) const
{
    TBBUTTON button;
    GetButton(nIndex, &button);
    nID = (UINT)button.idCommand;
    nStyle = MAKELONG(button.fsStyle, button.fsState);
    iImage = button.iBitmap;
}

void CToolBar::SetButtonInfo(int nIndex, UINT nID, UINT nStyle, int iImage)
{
    TBBUTTON button;
    if (!GetButton(nIndex, &button))
        return;
    button.idCommand = (int)nID;
    button.iBitmap = iImage;
    button.fsStyle = (BYTE)LOWORD(nStyle);
    button.fsState = (BYTE)HIWORD(nStyle);
    SetButton(nIndex, &button);
}

void CToolBar::OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHandler)
{
    CToolCmdUI state;
    state.m_pOther = this;
    state.m_nIndexMax = (UINT)GetCount();
    for (state.m_nIndex = 0; state.m_nIndex < state.m_nIndexMax; state.m_nIndex++) {
        TBBUTTON button;
        GetButton((int)state.m_nIndex, &button);
        if (button.fsStyle & TBSTYLE_SEP)
            continue;
        state.m_nID = (UINT)button.idCommand;
        state.DoUpdate(pTarget, bDisableIfNoHandler);
    }
}

// Across: the tallest button plus the window's non-client extent.
CSize CToolBar::CalcFixedLayout(BOOL, BOOL bHorz)
{
    int extent = 0;
    const int count = GetCount();
    for (int i = 0; i < count; i++) {
        RECT rc;
        GetItemRect(i, &rc);
        extent = bHorz ? (rc.bottom > extent ? rc.bottom : extent) : (rc.right > extent ? rc.right : extent);
    }
    if (extent == 0)
        extent = bHorz ? m_sizeButton.cy : m_sizeButton.cx;
    CRect window, client;
    GetWindowRect(&window);
    GetClientRect(&client);
    if (bHorz)
        return CSize(32767, extent + window.Height() - client.Height());
    return CSize(extent + window.Width() - client.Width(), 32767);
}

void CToolCmdUI::Enable(BOOL bOn)
{
    m_bEnableChanged = TRUE;
    CToolBar* pBar = static_cast<CToolBar*>(m_pOther);
    UINT style = pBar->GetButtonStyle((int)m_nIndex);
    const UINT enabled = (UINT)TBSTATE_ENABLED << 16;
    style = bOn ? (style | enabled) : (style & ~enabled);
    // Pressed state must go with a disabled button, or it stays drawn down.
    if (!bOn)
        style &= ~((UINT)TBSTATE_PRESSED << 16);
    pBar->SetButtonStyle((int)m_nIndex, style);
}

void CToolCmdUI::SetCheck(int nCheck)
{
    CToolBar* pBar = static_cast<CToolBar*>(m_pOther);
    UINT style = pBar->GetButtonStyle((int)m_nIndex);
    style &= ~(((UINT)(TBSTATE_CHECKED | TBSTATE_INDETERMINATE)) << 16);
    if (nCheck == 1)
        style |= (UINT)TBSTATE_CHECKED << 16;
    else if (nCheck == 2)
        style |= (UINT)TBSTATE_INDETERMINATE << 16;
    pBar->SetButtonStyle((int)m_nIndex, style);
}

void CToolBar::OnNcCalcSize(BOOL, NCCALCSIZE_PARAMS* lpncsp)
{
    Default();
    if (m_dwStyle & CBRS_FLOATING)
        return;
    if (m_dwStyle & CBRS_ORIENT_HORZ)
        lpncsp->rgrc[0].left += kBarStartBorder;
    else
        lpncsp->rgrc[0].top += kBarStartBorder;
}

// The non-client strip is plain face colour.
void CToolBar::OnNcPaint()
{
    Default();
    HDC hdc = ::GetWindowDC(m_hWnd);
    if (hdc == NULL)
        return;
    RECT window, client;
    ::GetWindowRect(m_hWnd, &window);
    ::GetClientRect(m_hWnd, &client);
    ::MapWindowPoints(m_hWnd, NULL, (LPPOINT)&client, 2);
    ::OffsetRect(&client, -window.left, -window.top);
    ::OffsetRect(&window, -window.left, -window.top);
    ::ExcludeClipRect(hdc, client.left, client.top, client.right, client.bottom);
    ::FillRect(hdc, &window, ::GetSysColorBrush(COLOR_BTNFACE));
    ::ReleaseDC(m_hWnd, hdc);
}
