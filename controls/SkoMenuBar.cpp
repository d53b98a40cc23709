#include "controls/SkoMenuBar.h"

#include "framework/Module.h"
#include "framework/ui/DC.h"
#include "framework/ui/FrameWnd.h"

#include <cctype>
#include <vector>

XRVSkoMenuBar* XRVSkoMenuBar::s_pTracking = NULL;
HHOOK XRVSkoMenuBar::s_hFilter = NULL;

LRESULT XRVSkoFrameHook::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pBar != nullptr) {
        if (message == WM_MENUSELECT)
            m_pBar->OnMenuSelect(HIWORD(wParam), (HMENU)lParam);
        else if (message == WM_SYSCOLORCHANGE)
            m_pBar->UpdateFont();
    }
    return XRVSkoSubclassWnd::WindowProc(message, wParam, lParam);
}

IMPLEMENT_DYNAMIC(XRVSkoMenuBar, CToolBar)

BEGIN_MESSAGE_MAP(XRVSkoMenuBar, CToolBar)
    ON_WM_CREATE()
    ON_WM_LBUTTONDOWN()
    ON_WM_MOUSEMOVE()
    ON_WM_NCPAINT()
    ON_WM_SIZE()
    ON_UPDATE_COMMAND_UI_RANGE(0, 256, OnUpdateButton)
    ON_NOTIFY_REFLECT(NM_CUSTOMDRAW, OnCustomDraw)
    ON_MESSAGE(WM_MENUBAR_DETACH, OnDetach)
END_MESSAGE_MAP()

XRVSkoMenuBar::XRVSkoMenuBar()
    : m_bDetach(FALSE), m_hMenu(NULL), m_nCurrent(-1), m_nNext(-1), m_bItemPlain(false), m_bInTopPopup(false),
      m_bKeepKeyboard(false), m_ptLast(-1, -1), m_hOpenPopup(NULL), m_nState(kIdle), m_bAltAlone(false)
{
    m_frameHook.m_pBar = this;
    m_sizeImage = CSize(0, 0);
}

XRVSkoMenuBar::~XRVSkoMenuBar()
{
    m_captions.RemoveAll();
    m_frameHook.HookWindow(NULL);
    if (s_pTracking == this)
        s_pTracking = NULL;
}

HWND XRVSkoMenuBar::OwnerWindow() const
{
    HWND hOwner = ::GetWindow(m_hWnd, GW_OWNER);
    return hOwner != NULL ? hOwner : ::GetParent(m_hWnd);
}

int XRVSkoMenuBar::OnCreate(LPCREATESTRUCT)
{
    if (Default() == -1)
        return -1;
    UpdateFont();
    HWND hFrame = OwnerWindow();
    if (hFrame != NULL)
        m_frameHook.HookWindow(hFrame);
    return 0;
}

// The system's menu font.
void XRVSkoMenuBar::UpdateFont()
{
    NONCLIENTMETRICSA ncm;
    ZeroMemory(&ncm, sizeof(ncm));
    ncm.cbSize = sizeof(ncm);
    if (!::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0))
        return;
    CFont font;
    if (!font.CreateFontIndirect(&ncm.lfMenuFont))
        return;
    if (m_hWnd != NULL)
        SendMessage(WM_SETFONT, (WPARAM)font.m_hObject, TRUE);
    m_font.DeleteObject();
    m_font.Attach(font.Detach());
}

BOOL XRVSkoMenuBar::LoadMenu(UINT nIDResource)
{
    HMENU hMenu = ::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource));
    if (hMenu == NULL)
        return FALSE;
    SetMenu(hMenu);
    return TRUE;
}

HMENU XRVSkoMenuBar::SetMenu(HMENU hMenu)
{
    HWND hFrame = OwnerWindow();
    if (m_bDetach && hFrame != NULL && ::GetMenu(hFrame) != NULL)
        PostMessage(WM_MENUBAR_DETACH, (WPARAM)hFrame);
    const HMENU old = m_hMenu;
    m_hMenu = hMenu;
    while (SendMessage(TB_BUTTONCOUNT) != 0)
        SendMessage(TB_DELETEBUTTON, 0);
    SendMessage(TB_SETIMAGELIST, 0, 0);
    SendMessage(TB_SETBITMAPSIZE, 0, MAKELONG(0, 0));
    ModifyStyle(0, TBSTYLE_FLAT | TBSTYLE_TRANSPARENT | TBSTYLE_LIST);
    const int count = hMenu != NULL ? ::GetMenuItemCount(hMenu) : 0;
    for (int pos = 0; pos < count; pos++) {
        char text[64] = "";
        ::GetMenuStringA(hMenu, (UINT)pos, text, sizeof(text), MF_BYPOSITION);
        int iString = -1;
        for (int i = 0; i < m_captions.GetSize(); i++)
            if (m_captions[i] == text)
                iString = i;
        if (iString < 0) {
            // TB_ADDSTRING reads a list that ends with an empty string.
            char list[66] = "";
            lstrcpynA(list, text, 64);
            list[lstrlenA(list) + 1] = '\0';
            iString = (int)SendMessage(TB_ADDSTRINGA, 0, (LPARAM)list);
            m_captions.Add(text);
        }
        TBBUTTON button;
        ZeroMemory(&button, sizeof(button));
        button.iBitmap = I_IMAGENONE;
        button.idCommand = pos;
        button.fsState = TBSTATE_ENABLED;
        button.fsStyle = TBSTYLE_AUTOSIZE | TBSTYLE_BUTTON;
        button.iString = iString;
        SendMessage(TB_ADDBUTTONSA, 1, (LPARAM)&button);
    }
    SendMessage(TB_AUTOSIZE);
    CWnd* pFrame = CWnd::FromHandlePermanent(hFrame);
    if (pFrame != NULL && pFrame->IsKindOf(RUNTIME_CLASS(CFrameWnd)))
        static_cast<CFrameWnd*>(pFrame)->RecalcLayout();
    return old;
}

LRESULT XRVSkoMenuBar::OnDetach(WPARAM wParam, LPARAM)
{
    ::SetMenu((HWND)wParam, NULL);
    return 0;
}

BOOL XRVSkoMenuBar::AppendPopup(LPCTSTR lpszCaption, HMENU hPopup)
{
    if (m_hMenu == NULL)
        m_hMenu = ::CreateMenu();
    if (!::AppendMenuA(m_hMenu, MF_POPUP | MF_STRING, (UINT_PTR)hPopup, lpszCaption))
        return FALSE;
    SetMenu(m_hMenu);
    return TRUE;
}

int XRVSkoMenuBar::GetButtonStringIndex(int nIndex) const
{
    TBBUTTON button;
    if (!GetButton(nIndex, &button))
        return -1;
    return (int)button.iString;
}

void XRVSkoMenuBar::OnBarStyleChange(DWORD dwOldStyle, DWORD dwNewStyle)
{
    CToolBar::OnBarStyleChange(dwOldStyle, dwNewStyle);
    SetWindowPos(NULL, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void XRVSkoMenuBar::OnSize(UINT, int, int)
{
    Default();
    SetWindowPos(NULL, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

// The bar's buttons are its own commands: every valid index is enabled.
void XRVSkoMenuBar::OnUpdateCmdUI(CFrameWnd*, BOOL)
{
    CToolCmdUI state;
    state.m_pOther = this;
    state.m_nIndexMax = (UINT)GetCount();
    for (state.m_nIndex = 0; state.m_nIndex < state.m_nIndexMax; state.m_nIndex++) {
        state.m_nID = GetItemID((int)state.m_nIndex);
        state.DoUpdate(this, FALSE);
    }
}

void XRVSkoMenuBar::OnUpdateButton(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(pCmdUI->m_nID < (UINT)GetCount());
}

void XRVSkoMenuBar::SetHot(int nIndex)
{
    SendMessage(TB_SETHOTITEM, (WPARAM)nIndex);
}

void XRVSkoMenuBar::EndNavigation()
{
    SetHot(-1);
    m_nState = kIdle;
}

// Under the button; without a desktop window (Wine has no "Progman") the
// virtual screen holds the point.
CPoint XRVSkoMenuBar::GetPopupPoint(int nIndex, RECT* pExclude) const
{
    RECT rc = { 0, 0, 0, 0 };
    SendMessage(TB_GETITEMRECT, (WPARAM)nIndex, (LPARAM)&rc);
    ::MapWindowPoints(m_hWnd, NULL, (LPPOINT)&rc, 2);
    if (pExclude != NULL)
        *pExclude = rc;
    CPoint pt(rc.left, rc.bottom);
    RECT desk;
    HWND hDesk = ::FindWindowA("Progman", NULL);
    if (hDesk != NULL) {
        ::GetWindowRect(hDesk, &desk);
    } else {
        desk.left = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
        desk.top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
        desk.right = desk.left + ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
        desk.bottom = desk.top + ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
    }
    if (pt.x < desk.left)
        pt.x = desk.left;
    if (pt.x >= desk.right)
        pt.x = desk.right - 1;
    if (pt.y < desk.top)
        pt.y = desk.top;
    if (pt.y >= desk.bottom)
        pt.y = desk.bottom - 1;
    return pt;
}

BOOL XRVSkoMenuBar::TrackPopup(int nIndex)
{
    if (s_pTracking != NULL)
        return FALSE;   // one popup at a time: the hook slot is taken
    s_pTracking = this;
    while (nIndex >= 0 && nIndex < GetCount()) {
        m_nNext = -1;
        SendMessage(TB_PRESSBUTTON, (WPARAM)nIndex, TRUE);
        UpdateWindow();
        if (m_nState != kPopupOpen) {
            SetHot(nIndex);
            m_nState = kPopupOpen;
            m_bItemPlain = true;
            m_bInTopPopup = true;
            m_bKeepKeyboard = false;
        }
        m_nCurrent = nIndex;
        m_hOpenPopup = ::GetSubMenu(m_hMenu, nIndex);
        s_hFilter = ::SetWindowsHookExA(WH_MSGFILTER, &MenuFilterProc, NULL, ::GetCurrentThreadId());
        TPMPARAMS params;
        params.cbSize = sizeof(params);
        const CPoint pt = GetPopupPoint(nIndex, &params.rcExclude);
        if (m_hOpenPopup != NULL)
            ::TrackPopupMenuEx(m_hOpenPopup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_VERTICAL, pt.x, pt.y, OwnerWindow(),
                               &params);
        if (s_hFilter != NULL)
            ::UnhookWindowsHookEx(s_hFilter);
        s_hFilter = NULL;
        if (m_hWnd == NULL)
            break;
        SendMessage(TB_PRESSBUTTON, (WPARAM)nIndex, FALSE);
        UpdateWindow();
        m_nState = m_bKeepKeyboard ? kKeyboard : kIdle;
        SetHot(m_bKeepKeyboard ? nIndex : -1);
        m_hOpenPopup = NULL;
        nIndex = m_nNext;
    }
    m_nNext = -1;
    s_pTracking = NULL;
    return TRUE;
}

LRESULT CALLBACK XRVSkoMenuBar::MenuFilterProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == MSGF_MENU && s_pTracking != NULL && s_pTracking->OnMenuInput(*(const MSG*)lParam))
        return TRUE;
    return ::CallNextHookEx(s_hFilter, code, wParam, lParam);
}

// Asks the open popup to close; TrackPopup then opens the next one.
void XRVSkoMenuBar::SwitchTo(int nIndex)
{
    m_nNext = nIndex;
    ::PostMessageA(OwnerWindow(), WM_CANCELMODE, 0, 0);
}

bool XRVSkoMenuBar::OnMenuInput(const MSG& msg)
{
    const int count = GetCount();
    if (count <= 0)
        return false;
    switch (msg.message) {
    case WM_KEYDOWN:
        if (msg.wParam == VK_LEFT && m_bInTopPopup) {
            SwitchTo((m_nCurrent - 1 + count) % count);
            return true;
        }
        if (msg.wParam == VK_RIGHT && m_bItemPlain) {
            SwitchTo((m_nCurrent + 1) % count);
            return true;
        }
        if (msg.wParam == VK_ESCAPE)
            m_bKeepKeyboard = true;
        return false;
    case WM_MOUSEMOVE: {
        CPoint pt = msg.pt;
        ScreenToClient(&pt);
        if (pt != m_ptLast) {
            const int hit = (int)SendMessage(TB_HITTEST, 0, (LPARAM)&pt);
            if (hit >= 0 && hit < count && hit != m_nCurrent)
                SwitchTo(hit);
        }
        m_ptLast = pt;
        return false;
    }
    case WM_LBUTTONDOWN: {
        CPoint pt = msg.pt;
        ScreenToClient(&pt);
        const int hit = (int)SendMessage(TB_HITTEST, 0, (LPARAM)&pt);
        if (hit == m_nCurrent) {
            SwitchTo(-1);
            return true;
        }
        return false;
    }
    }
    return false;
}

void XRVSkoMenuBar::OnMenuSelect(UINT nFlags, HMENU hMenu)
{
    if (m_nState == kIdle)
        return;
    m_bItemPlain = !(nFlags & MF_POPUP);
    m_bInTopPopup = hMenu == m_hOpenPopup;
}

BOOL XRVSkoMenuBar::PreTranslateMessage(MSG* pMsg)
{
    const UINT message = pMsg->message;
    if (message >= WM_LBUTTONDOWN && message <= 0x020D) {
        if (pMsg->hwnd != m_hWnd && m_nState != kIdle)
            EndNavigation();
        return FALSE;
    }
    if (message != WM_KEYDOWN && message != WM_SYSKEYDOWN && message != WM_SYSKEYUP)
        return FALSE;
    const UINT vk = (UINT)pMsg->wParam;
    const bool alt = ::GetKeyState(VK_MENU) < 0;
    const bool ctrl = ::GetKeyState(VK_CONTROL) < 0;
    const bool shift = ::GetKeyState(VK_SHIFT) < 0;
    const int count = GetCount();

    // Alt, or F10 without modifiers, pressed and released alone toggles
    // keyboard navigation.
    if (vk == VK_MENU || (vk == VK_F10 && !alt && !ctrl && !shift)) {
        if (message != WM_SYSKEYUP) {
            if (!(pMsg->lParam & 0x40000000))
                m_bAltAlone = true;
        } else if (m_bAltAlone && (m_nState == kIdle || m_nState == kKeyboard) && count > 0) {
            if (m_nState == kIdle) {
                m_nState = kKeyboard;
                SetHot(0);
            } else {
                EndNavigation();
            }
            m_bAltAlone = false;
        }
        return TRUE;
    }
    if (message == WM_SYSKEYUP)
        return FALSE;
    m_bAltAlone = false;

    if (m_nState == kKeyboard) {
        const int hot = GetHotItem();
        switch (vk) {
        case VK_ESCAPE:
            EndNavigation();
            return TRUE;
        case VK_SPACE:
        case VK_UP:
        case VK_DOWN:
            TrackPopup(hot >= 0 ? hot : 0);
            return TRUE;
        case VK_LEFT:
            SetHot(count > 0 ? ((hot < 0 ? 0 : hot) - 1 + count) % count : -1);
            return TRUE;
        case VK_RIGHT:
            SetHot(count > 0 ? ((hot < 0 ? -1 : hot) + 1) % count : -1);
            return TRUE;
        }
    }
    if ((alt || m_nState == kKeyboard) && vk < 0x80 && isalnum((int)vk)) {
        UINT id = 0;
        if (SendMessage(TB_MAPACCELERATORA, (WPARAM)(char)vk, (LPARAM)&id)) {
            TrackPopup(CommandToIndex(id));
            return TRUE;
        }
        if (m_nState == kKeyboard && !alt) {
            ::MessageBeep(0);
            return TRUE;
        }
    }
    if (m_nState == kKeyboard || m_nState == kPopupOpen)
        EndNavigation();
    return FALSE;
}

void XRVSkoMenuBar::OnMouseMove(UINT, CPoint point)
{
    if (m_nState == kKeyboard && point != m_ptLast) {
        const int hit = (int)SendMessage(TB_HITTEST, 0, (LPARAM)&point);
        if (hit >= 0 && hit < GetCount())
            SetHot(hit);
    }
    m_ptLast = point;
    Default();
}

void XRVSkoMenuBar::OnLButtonDown(UINT, CPoint point)
{
    const int hit = (int)SendMessage(TB_HITTEST, 0, (LPARAM)&point);
    if (hit >= 0 && hit < GetCount()) {
        TrackPopup(hit);
        return;
    }
    Default();
}

// Hot and open buttons are drawn in the highlight colours.
void XRVSkoMenuBar::OnCustomDraw(NMHDR* pNotify, LRESULT* pResult)
{
    NMTBCUSTOMDRAW* cd = (NMTBCUSTOMDRAW*)pNotify;
    *pResult = CDRF_DODEFAULT;
    if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) {
        *pResult = CDRF_NOTIFYITEMDRAW;
        return;
    }
    if (cd->nmcd.dwDrawStage != CDDS_ITEMPREPAINT)
        return;
    const int index = (int)cd->nmcd.dwItemSpec;
    const bool hot = index == GetHotItem() || (cd->nmcd.uItemState & (CDIS_HOT | CDIS_SELECTED)) ||
                     SendMessage(TB_ISBUTTONPRESSED, (WPARAM)index);
    if (!hot)
        return;
    HDC hdc = cd->nmcd.hdc;
    RECT rc = cd->nmcd.rc;
    ::FillRect(hdc, &rc, ::GetSysColorBrush(COLOR_HIGHLIGHT));
    if (index >= 0 && index < GetCount()) {
        TBBUTTON button;
        GetButton(index, &button);
        const CString caption = button.iString >= 0 && button.iString < m_captions.GetSize()
                                    ? m_captions[(int)button.iString]
                                    : CString();
        HGDIOBJ old = ::SelectObject(hdc, m_font.m_hObject != NULL ? m_font.m_hObject : (HGDIOBJ)SendMessage(WM_GETFONT));
        ::SetBkMode(hdc, TRANSPARENT);
        ::SetTextColor(hdc, ::GetSysColor(COLOR_HIGHLIGHTTEXT));
        ::DrawTextA(hdc, caption, caption.GetLength(), &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        ::SelectObject(hdc, old);
    }
    *pResult = CDRF_SKIPDEFAULT;
}

// The non-client area through a memory bitmap: a transparent bar gets its
// parent's background there too.
void XRVSkoMenuBar::OnNcPaint()
{
    CToolBar::OnNcPaint();
    CRect window;
    GetWindowRect(&window);
    CRect client;
    GetClientRect(&client);
    ClientToScreen(&client);
    client.OffsetRect(-window.left, -window.top);
    window.OffsetRect(-window.left, -window.top);
    HDC hdc = ::GetWindowDC(m_hWnd);
    if (hdc == NULL)
        return;
    HDC hMem = ::CreateCompatibleDC(hdc);
    HBITMAP hbm = ::CreateCompatibleBitmap(hdc, window.Width(), window.Height());
    HGDIOBJ old = ::SelectObject(hMem, hbm);
    ::BitBlt(hMem, 0, 0, window.Width(), window.Height(), hdc, 0, 0, SRCCOPY);
    if (GetStyle() & TBSTYLE_TRANSPARENT) {
        POINT prev;
        ::SetViewportOrgEx(hMem, client.left, client.top, &prev);
        SendMessage(WM_ERASEBKGND, (WPARAM)hMem);
        ::SetViewportOrgEx(hMem, prev.x, prev.y, NULL);
    }
    ::ExcludeClipRect(hdc, client.left, client.top, client.right, client.bottom);
    ::BitBlt(hdc, 0, 0, window.Width(), window.Height(), hMem, 0, 0, SRCCOPY);
    ::SelectObject(hMem, old);
    ::DeleteObject(hbm);
    ::DeleteDC(hMem);
    ::ReleaseDC(m_hWnd, hdc);
}

BOOL InsertMenuStringAt(HMENU hMenu, UINT nIDString, HMENU hPopup, UINT nPosition)
{
    CString text;
    text.LoadString(nIDString);
    return ::InsertMenuA(hMenu, nPosition, MF_BYPOSITION | MF_POPUP | MF_STRING, (UINT_PTR)hPopup, text);
}

BOOL InsertMenuStringAtTop(HMENU hMenu, UINT nIDString, UINT nCommand)
{
    CString text;
    text.LoadString(nIDString);
    return ::InsertMenuA(hMenu, 0, MF_BYPOSITION | MF_STRING, nCommand, text);
}

BOOL InsertTopSeparator(HMENU hMenu)
{
    return ::InsertMenuA(hMenu, 0, MF_BYPOSITION | MF_SEPARATOR, 0, NULL);
}
