#include "framework/ui/FrameWnd.h"

#include "framework/Module.h"
#include "framework/WinThread.h"
#include "framework/ui/ControlBar.h"
#include "framework/ui/Controls.h"
#include "framework/ui/Menu.h"

IMPLEMENT_DYNCREATE(CFrameWnd, CWnd)

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
    ON_WM_INITMENUPOPUP()
    ON_WM_MENUSELECT()
    ON_WM_CLOSE()
    ON_WM_NCDESTROY()
    ON_MESSAGE(WM_SETMESSAGESTRING, OnSetMessageString)
    ON_WM_SIZE()
    ON_MESSAGE(WM_IDLEUPDATECMDUI, OnIdleUpdateCmdUI)
END_MESSAGE_MAP()

const CRect CFrameWnd::rectDefault(CW_USEDEFAULT, CW_USEDEFAULT, 0, 0);

CFrameWnd::CFrameWnd()
    : m_bAutoMenuEnable(TRUE), m_pMenu(NULL), m_hAccelTable(NULL), m_nIDResource(0),
      m_rectFree(0, 0, 0, 0), m_bInRecalcLayout(FALSE)
{
}

CFrameWnd::~CFrameWnd()
{
    delete m_pMenu;
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT& cs)
{
    if (cs.lpszClass == NULL)
        cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorA(NULL, (LPCSTR)IDC_ARROW),
                                           (HBRUSH)(COLOR_WINDOW + 1));
    return TRUE;
}

BOOL CFrameWnd::Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                       const RECT& rect, CWnd* pParentWnd, LPCTSTR lpszMenuName, DWORD dwExStyle)
{
    HMENU hMenu = NULL;
    if (lpszMenuName != NULL) {
        m_pMenu = new CMenu;
        if (!m_pMenu->LoadMenu(lpszMenuName)) {
            delete m_pMenu;
            m_pMenu = NULL;
            return FALSE;
        }
        hMenu = m_pMenu->m_hMenu;
    }
    int cx = rect.right - rect.left;
    int cy = rect.bottom - rect.top;
    if (rect.left == CW_USEDEFAULT)
        cx = cy = CW_USEDEFAULT;
    return CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left, rect.top, cx, cy,
                    pParentWnd->GetSafeHwnd(), hMenu);
}

void CFrameWnd::SetMessageText(LPCTSTR lpszText)
{
    m_strMessageText = lpszText != NULL ? lpszText : "";
    HWND hBar = ::GetDlgItem(m_hWnd, AFX_IDW_STATUS_BAR);
    if (hBar != NULL)
        ::SendMessageA(hBar, SB_SETTEXTA, 0, (LPARAM)(LPCTSTR)m_strMessageText);
}

void CFrameWnd::SetMessageText(UINT nID)
{
    CString text;
    GetMessageString(nID, text);
    SetMessageText(text);
}

void CFrameWnd::GetMessageString(UINT nID, CString& rMessage) const
{
    rMessage.Empty();
    CString text;
    if (nID != 0 && text.LoadString(nID)) {
        const int nl = text.Find('\n');
        rMessage = nl >= 0 ? text.Left(nl) : text;
    }
}

LRESULT CFrameWnd::OnSetMessageString(WPARAM wParam, LPARAM lParam)
{
    if (lParam != 0)
        SetMessageText((LPCTSTR)lParam);
    else
        SetMessageText((UINT)wParam);
    return 0;
}

// Runs the update handlers of every item of the popup before it shows.
void CFrameWnd::OnInitMenuPopup(CMenu* pPopupMenu, UINT, BOOL bSysMenu)
{
    if (bSysMenu)
        return;
    CCmdUI state;
    state.m_pMenu = pPopupMenu;
    state.m_nIndexMax = pPopupMenu->GetMenuItemCount();
    for (state.m_nIndex = 0; state.m_nIndex < state.m_nIndexMax; state.m_nIndex++) {
        state.m_nID = pPopupMenu->GetMenuItemID((int)state.m_nIndex);
        if (state.m_nID == 0)
            continue;   // separator
        if (state.m_nID == (UINT)-1) {
            // A sub-popup: routed with its first item's id, never auto-disabled.
            state.m_pSubMenu = pPopupMenu->GetSubMenu((int)state.m_nIndex);
            if (state.m_pSubMenu == NULL || (state.m_nID = state.m_pSubMenu->GetMenuItemID(0)) == 0 ||
                state.m_nID == (UINT)-1)
                continue;
            state.DoUpdate(this, FALSE);
        } else {
            state.m_pSubMenu = NULL;
            state.DoUpdate(this, m_bAutoMenuEnable && state.m_nID < 0xF000);
        }
        // A handler may have removed items.
        const UINT nCount = pPopupMenu->GetMenuItemCount();
        if (nCount < state.m_nIndexMax) {
            state.m_nIndex -= (state.m_nIndexMax - nCount);
            while (state.m_nIndex < nCount && pPopupMenu->GetMenuItemID((int)state.m_nIndex) == state.m_nID)
                state.m_nIndex++;
        }
        state.m_nIndexMax = nCount;
    }
}

void CFrameWnd::OnMenuSelect(UINT nItemID, UINT nFlags, HMENU)
{
    if (nFlags == 0xFFFF) {
        SetMessageText("");   // menu closed
        return;
    }
    // A command shows its prompt; a popup, a separator or a command without
    // a prompt shows the idle text.
    CString prompt;
    if (!(nFlags & (MF_SEPARATOR | MF_POPUP)))
        GetMessageString(nItemID, prompt);
    if (prompt.IsEmpty())
        GetMessageString(AFX_IDS_IDLEMESSAGE, prompt);
    SetMessageText(prompt);
}

void CFrameWnd::OnClose()
{
    DestroyWindow();
}

void CFrameWnd::OnNcDestroy()
{
    CWinThread* pThread = AfxGetThread();
    if (pThread != NULL && pThread->m_pMainWnd == this) {
        pThread->m_pMainWnd = NULL;
        ::PostQuitMessage(0);
    }
    Default();
}

void CFrameWnd::PostNcDestroy()
{
    delete this;
}

BOOL CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd)
{
    m_nIDResource = nIDResource;
    HINSTANCE hRes = AfxGetResourceHandle();
    CString title;
    if (title.LoadString(nIDResource)) {
        const int nl = title.Find('\n');
        if (nl >= 0)
            title = title.Left(nl);
    }
    LPCTSTR menuName = NULL;
    if (::FindResourceA(hRes, MAKEINTRESOURCEA(nIDResource), (LPCSTR)RT_MENU) != NULL)
        menuName = MAKEINTRESOURCEA(nIDResource);
    if (m_hAccelTable == NULL)
        m_hAccelTable = ::LoadAcceleratorsA(hRes, MAKEINTRESOURCEA(nIDResource));
    if (!Create(NULL, title, dwDefaultStyle, rectDefault, pParentWnd, menuName))
        return FALSE;
    HICON hIcon = ::LoadIconA(hRes, MAKEINTRESOURCEA(nIDResource));
    if (hIcon != NULL)
        SendMessage(WM_SETICON, ICON_BIG, (LPARAM)hIcon);
    RecalcLayout();
    return TRUE;
}

// Keys first go through the frame's accelerators.
BOOL CFrameWnd::PreTranslateMessage(MSG* pMsg)
{
    if (CWnd::PreTranslateMessage(pMsg))
        return TRUE;
    if (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST) {
        HACCEL hAccel = GetDefaultAccelerator();
        if (hAccel != NULL && ::TranslateAcceleratorA(m_hWnd, hAccel, pMsg))
            return TRUE;
    }
    return FALSE;
}

void CFrameWnd::RecalcLayout(BOOL)
{
    if (m_hWnd == NULL || m_bInRecalcLayout)
        return;
    m_bInRecalcLayout = TRUE;
    CRect client;
    GetClientRect(&client);
    int top = client.top;
    int bottom = client.bottom;
    HWND hPane = NULL;
    for (HWND hChild = ::GetTopWindow(m_hWnd); hChild != NULL; hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
        if (!::IsWindowVisible(hChild))
            continue;
        const int id = ::GetDlgCtrlID(hChild);
        if (id == AFX_IDW_PANE_FIRST) {
            hPane = hChild;
            continue;
        }
        if (id == AFX_IDW_STATUS_BAR) {
            // The status bar places itself at the bottom when sized.
            ::SendMessageA(hChild, WM_SIZE, 0, 0);
            RECT rc;
            ::GetWindowRect(hChild, &rc);
            bottom -= rc.bottom - rc.top;
            continue;
        }
        CWnd* pWnd = CWnd::FromHandlePermanent(hChild);
        if (pWnd == NULL || !pWnd->IsKindOf(RUNTIME_CLASS(CControlBar)))
            continue;
        CControlBar* pBar = static_cast<CControlBar*>(pWnd);
        const DWORD style = pBar->GetBarStyle();
        if (style & CBRS_FLOATING)
            continue;
        const CSize size = pBar->CalcFixedLayout(TRUE, (style & CBRS_ORIENT_HORZ) != 0);
        if (style & CBRS_ALIGN_BOTTOM) {
            bottom -= size.cy;
            pBar->SetWindowPos(NULL, client.left, bottom, client.Width(), size.cy,
                               SWP_NOZORDER | SWP_NOACTIVATE);
        } else {
            pBar->SetWindowPos(NULL, client.left, top, client.Width(), size.cy,
                               SWP_NOZORDER | SWP_NOACTIVATE);
            top += size.cy;
        }
    }
    if (bottom < top)
        bottom = top;
    m_rectFree = CRect(client.left, top, client.right, bottom);
    if (hPane != NULL)
        ::SetWindowPos(hPane, NULL, client.left, top, client.Width(), bottom - top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    m_bInRecalcLayout = FALSE;
}

void CFrameWnd::OnSize(UINT nType, int, int)
{
    Default();
    if (nType != SIZE_MINIMIZED)
        RecalcLayout();
}

// The idle pass reaches the frame first; its bars get it as descendants.
LRESULT CFrameWnd::OnIdleUpdateCmdUI(WPARAM, LPARAM)
{
    return 0;
}
