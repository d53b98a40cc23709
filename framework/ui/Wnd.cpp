#include "framework/ui/Wnd.h"

#include "framework/Exceptions.h"
#include "framework/Module.h"
#include "framework/WinApp.h"
#include "framework/WinThread.h"
#include "framework/ui/DC.h"
#include "framework/ui/DataExchange.h"
#include "framework/ui/GdiObject.h"
#include "framework/ui/HandleMap.h"
#include "framework/ui/Menu.h"

#include <exception>
#include <mutex>
#include <set>
#include <string>

namespace {

CWnd* MakeTempWnd(HWND h) { return new CWnd(h); }
void ReleaseTempWnd(CWnd* p)
{
    p->m_hWnd = NULL;
    delete p;
}

thread_local CHandleMap<CWnd, HWND>* t_wndMap = NULL;   // a pointer: see ThreadHandleMap

CHandleMap<CWnd, HWND>& WndMap()
{
    return ThreadHandleMap(t_wndMap, &MakeTempWnd, &ReleaseTempWnd);
}

// The message each thread is handling now (for Default and GetCurrentMessage).
thread_local MSG t_currentMsg;

// Creation hook state: the object to bind to the next window this thread
// creates, and what that window must look like (the system may create helper
// windows, such as the IME window, in between).
thread_local CWnd* t_pWndInit = NULL;
thread_local HHOOK t_hHookCbt = NULL;
thread_local LPCSTR t_initClass = NULL;
thread_local std::string* t_initClassName = NULL;

// Logs an exception that reached the window procedure; the message then gets
// the neutral result.
void ReportWndProcException(const char* what, UINT message)
{
    char text[400];
    wsprintfA(text, "Vexcap: exception in a window procedure (message 0x%04X): %.300s\n", message,
              what ? what : "unknown");
    ::OutputDebugStringA(text);
}

BOOL IsInitWindow(HWND hWnd, const CREATESTRUCTA* cs)
{
    if (t_initClass == NULL)
        return TRUE;
    if (IS_INTRESOURCE(t_initClass))
        return (ATOM)::GetClassLongPtrA(hWnd, GCW_ATOM) == (ATOM)(UINT_PTR)t_initClass;
    char name[256];
    if (!::GetClassNameA(hWnd, name, sizeof(name)))
        return FALSE;
    (void)cs;
    return lstrcmpiA(name, t_initClassName->c_str()) == 0;
}

}  // namespace

LRESULT CALLBACK AfxCbtHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && t_pWndInit != NULL) {
        HWND hWnd = (HWND)wParam;
        const CBT_CREATEWNDA* cbt = (const CBT_CREATEWNDA*)lParam;
        if (IsInitWindow(hWnd, cbt->lpcs)) {
            CWnd* pWnd = t_pWndInit;
            t_pWndInit = NULL;
            pWnd->BindAndSubclass(hWnd);
        }
    }
    return ::CallNextHookEx(t_hHookCbt, code, wParam, lParam);
}

void AFXAPI AfxHookWindowCreate(CWnd* pWnd)
{
    if (t_hHookCbt == NULL)
        t_hHookCbt = ::SetWindowsHookExA(WH_CBT, &AfxCbtHook, NULL, ::GetCurrentThreadId());
    t_pWndInit = pWnd;
}

BOOL AFXAPI AfxUnhookWindowCreate()
{
    if (t_hHookCbt != NULL) {
        ::UnhookWindowsHookEx(t_hHookCbt);
        t_hHookCbt = NULL;
    }
    if (t_pWndInit != NULL) {
        t_pWndInit = NULL;
        return FALSE;
    }
    return TRUE;
}

__attribute__((noinline)) HWND AFXAPI AfxSafeHwnd(const CWnd* pWnd)
{
    return pWnd != NULL ? pWnd->m_hWnd : NULL;
}

void AfxDeleteTempWndMap()
{
    WndMap().DeleteTemp();
}

void AfxFreeThreadWndMap()
{
    FreeThreadHandleMap(t_wndMap);
}

void AFXAPI AfxTermThreadMaps()
{
    AfxFreeThreadWndMap();
    AfxFreeThreadDCMap();
    AfxFreeThreadGdiMap();
    AfxFreeThreadMenuMap();
    AfxFreeThreadImageListMap();
}

namespace {
// CWinThread frees the window layer's per-thread maps at the end of each of
// its threads.
const bool s_threadTermSet = (AfxSetThreadTermProc(&AfxTermThreadMaps), true);
}  // namespace

void AFXAPI AfxDeleteTempMaps()
{
    AfxDeleteTempWndMap();
    AfxDeleteTempDCMap();
    AfxDeleteTempGdiMap();
    AfxDeleteTempMenuMap();
    AfxDeleteTempImageListMap();
}

MSG* AFXAPI AfxGetThreadCurrentMessage()
{
    return &t_currentMsg;
}

CWnd* AFXAPI AfxGetMainWnd()
{
    CWinThread* pThread = AfxGetThread();
    return pThread != NULL ? pThread->GetMainWnd() : NULL;
}

// ---------------------------------------------------------------------------
// The window procedure

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd == NULL)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);

    const MSG saved = t_currentMsg;
    t_currentMsg.hwnd = hWnd;
    t_currentMsg.message = message;
    t_currentMsg.wParam = wParam;
    t_currentMsg.lParam = lParam;

    LRESULT result = 0;
    const char* failure = NULL;
    std::string what;
    try {
        result = pWnd->WindowProc(message, wParam, lParam);
    } catch (CException* e) {
        what = (LPCTSTR)e->GetErrorMessage();
        failure = what.c_str();
        e->Delete();
    } catch (const std::exception& e) {
        what = e.what();
        failure = what.c_str();
    } catch (...) {
        failure = "unknown exception";
    }
    if (failure != NULL) {
        ReportWndProcException(failure, message);
        if (message == WM_CREATE)
            result = -1;
        else if (message == WM_NCCREATE)
            result = FALSE;
        else
            result = 0;
    }
    t_currentMsg = saved;

    // The last message: unbind before the handle goes, then let the object
    // clean up (or delete itself).
    if (message == WM_NCDESTROY) {
        pWnd = CWnd::FromHandlePermanent(hWnd);
        if (pWnd != NULL) {
            pWnd->Unbind();
            try {
                pWnd->PostNcDestroy();
            } catch (CException* e) {
                ReportWndProcException((LPCTSTR)e->GetErrorMessage(), message);
                e->Delete();
            } catch (...) {
                ReportWndProcException("exception in PostNcDestroy", message);
            }
        }
    }
    return result;
}

// ---------------------------------------------------------------------------
// Window classes

LPCTSTR AFXAPI AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground,
                                   HICON hIcon)
{
    static std::mutex lock;
    static std::set<std::string> names;   // keeps the returned texts alive
    char name[96];
    wsprintfA(name, "Afx:%p:%x:%p:%p:%p", (void*)AfxGetInstanceHandle(), nClassStyle,
              (void*)hCursor, (void*)hbrBackground, (void*)hIcon);
    std::lock_guard<std::mutex> guard(lock);
    auto it = names.find(name);
    if (it != names.end())
        return it->c_str();
    WNDCLASSA wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.style = nClassStyle;
    wc.lpfnWndProc = &AfxWndProc;
    wc.hInstance = AfxGetInstanceHandle();
    wc.hIcon = hIcon;
    wc.hCursor = hCursor;
    wc.hbrBackground = hbrBackground;
    wc.lpszClassName = name;
    if (!AfxRegisterClass(&wc))
        return NULL;
    return names.insert(name).first->c_str();
}

BOOL AFXAPI AfxRegisterClass(WNDCLASS* lpWndClass)
{
    WNDCLASSA existing;
    if (::GetClassInfoA(lpWndClass->hInstance, lpWndClass->lpszClassName, &existing))
        return TRUE;
    if (::RegisterClassA(lpWndClass))
        return TRUE;
    return ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// ---------------------------------------------------------------------------
// CWnd

IMPLEMENT_DYNCREATE(CWnd, CCmdTarget)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd::CWnd() : m_hWnd(NULL), m_pfnSuper(NULL)
{
}

CWnd::CWnd(HWND hWnd) : m_hWnd(hWnd), m_pfnSuper(NULL)
{
}

// A window that outlives its object is unbound first, so that none of the
// messages of its destruction reaches the half-destroyed object.
CWnd::~CWnd()
{
    if (m_hWnd != NULL && FromHandlePermanent(m_hWnd) == this) {
        HWND hWnd = m_hWnd;
        Unbind();
        ::DestroyWindow(hWnd);
    }
    m_hWnd = NULL;
}

CWnd* PASCAL CWnd::FromHandle(HWND hWnd)
{
    return WndMap().FromHandle(hWnd);
}

CWnd* PASCAL CWnd::FromHandlePermanent(HWND hWnd)
{
    if (hWnd == NULL)
        return NULL;
    return WndMap().LookupPermanent(hWnd);
}

BOOL CWnd::Attach(HWND hWndNew)
{
    if (hWndNew == NULL || m_hWnd != NULL || FromHandlePermanent(hWndNew) != NULL)
        return FALSE;
    m_hWnd = hWndNew;
    WndMap().SetPermanent(hWndNew, this);
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hWnd = m_hWnd;
    if (hWnd != NULL && FromHandlePermanent(hWnd) == this)
        WndMap().RemoveHandle(hWnd);
    m_hWnd = NULL;
    return hWnd;
}

void CWnd::BindAndSubclass(HWND hWnd)
{
    if (!Attach(hWnd))
        return;
    PreSubclassWindow();
    WNDPROC old = (WNDPROC)::GetWindowLongPtrA(hWnd, GWLP_WNDPROC);
    if (old != &AfxWndProc) {
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, (LONG_PTR)&AfxWndProc);
        m_pfnSuper = old;
    }
}

void CWnd::Unbind()
{
    if (m_hWnd == NULL)
        return;
    if (m_pfnSuper != NULL && (WNDPROC)::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC) == &AfxWndProc)
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, (LONG_PTR)m_pfnSuper);
    Detach();
    m_pfnSuper = NULL;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!Attach(hWnd))
        return FALSE;
    PreSubclassWindow();
    WNDPROC old = (WNDPROC)::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, (LONG_PTR)&AfxWndProc);
    if (old != &AfxWndProc)
        m_pfnSuper = old;
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent)
{
    HWND hWndControl = ::GetDlgItem(pParent->GetSafeHwnd(), nID);
    if (hWndControl == NULL)
        return FALSE;
    return SubclassWindow(hWndControl);
}

HWND CWnd::UnsubclassWindow()
{
    HWND hWnd = m_hWnd;
    Unbind();
    return hWnd;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCT& cs)
{
    if (cs.lpszClass == NULL)
        cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorA(NULL, (LPCSTR)IDC_ARROW),
                                           (HBRUSH)(COLOR_WINDOW + 1));
    return TRUE;
}

BOOL CWnd::Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                  CWnd* pParentWnd, UINT nID, LPVOID lpParam)
{
    return CreateEx(0, lpszClassName, lpszWindowName, dwStyle | WS_CHILD, rect.left, rect.top,
                    rect.right - rect.left, rect.bottom - rect.top, pParentWnd->GetSafeHwnd(),
                    (HMENU)(UINT_PTR)nID, lpParam);
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                    const RECT& rect, CWnd* pParentWnd, UINT nID, LPVOID lpParam)
{
    return CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left, rect.top,
                    rect.right - rect.left, rect.bottom - rect.top, pParentWnd->GetSafeHwnd(),
                    (HMENU)(UINT_PTR)nID, lpParam);
}

// The object is bound by the creation hook before the window gets its first
// message, so WM_GETMINMAXINFO, WM_NCCREATE and WM_CREATE reach the map, for
// our own classes and for system controls alike.
BOOL CWnd::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                    int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu,
                    LPVOID lpParam)
{
    if (m_hWnd != NULL)
        return FALSE;
    CREATESTRUCTA cs;
    cs.dwExStyle = dwExStyle;
    cs.lpszClass = lpszClassName;
    cs.lpszName = lpszWindowName;
    cs.style = dwStyle;
    cs.x = x;
    cs.y = y;
    cs.cx = nWidth;
    cs.cy = nHeight;
    cs.hwndParent = hWndParent;
    cs.hMenu = nIDorHMenu;
    cs.hInstance = AfxGetInstanceHandle();
    cs.lpCreateParams = lpParam;
    if (!PreCreateWindow(cs))
        return FALSE;

    std::string className;
    LPCSTR savedClass = t_initClass;
    std::string* savedName = t_initClassName;
    if (cs.lpszClass != NULL && !IS_INTRESOURCE(cs.lpszClass))
        className = cs.lpszClass;
    t_initClass = cs.lpszClass;
    t_initClassName = &className;
    AfxHookWindowCreate(this);
    HWND hWnd = ::CreateWindowExA(cs.dwExStyle, cs.lpszClass, cs.lpszName, cs.style, cs.x, cs.y,
                                  cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance,
                                  cs.lpCreateParams);
    AfxUnhookWindowCreate();
    t_initClass = savedClass;
    t_initClassName = savedName;
    // On failure the window's WM_NCDESTROY has already unbound the object
    // (and PostNcDestroy may have deleted it): touch nothing.
    return hWnd != NULL;
}

BOOL CWnd::DestroyWindow()
{
    HWND hWnd = m_hWnd;
    if (hWnd == NULL)
        return FALSE;
    const BOOL bound = FromHandlePermanent(hWnd) == this;
    const BOOL result = ::DestroyWindow(hWnd);
    if (!bound)
        m_hWnd = NULL;   // a temporary or unbound wrapper: just forget the handle
    return result;
}

void CWnd::PostNcDestroy()
{
}

void CWnd::PreSubclassWindow()
{
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

BOOL PASCAL CWnd::WalkPreTranslateTree(HWND hWndStop, MSG* pMsg)
{
    for (HWND hWnd = pMsg->hwnd; hWnd != NULL; hWnd = ::GetParent(hWnd)) {
        CWnd* pWnd = FromHandlePermanent(hWnd);
        if (pWnd != NULL && pWnd->PreTranslateMessage(pMsg))
            return TRUE;
        if (hWnd == hWndStop)
            break;
    }
    return FALSE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper != NULL)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    const MSG& msg = t_currentMsg;
    return DefWindowProc(msg.message, msg.wParam, msg.lParam);
}

const MSG* PASCAL CWnd::GetCurrentMessage()
{
    return &t_currentMsg;
}

namespace {

// The control a reflectable message is about, or null.
HWND ReflectTarget(HWND hWndParent, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DRAWITEM: {
        const DRAWITEMSTRUCT* dis = (const DRAWITEMSTRUCT*)lParam;
        return dis->CtlType == ODT_MENU ? NULL : dis->hwndItem;
    }
    case WM_MEASUREITEM: {
        const MEASUREITEMSTRUCT* mis = (const MEASUREITEMSTRUCT*)lParam;
        return mis->CtlType == ODT_MENU ? NULL : ::GetDlgItem(hWndParent, (int)mis->CtlID);
    }
    case WM_DELETEITEM:
        return ((const DELETEITEMSTRUCT*)lParam)->hwndItem;
    case WM_COMPAREITEM:
        return ((const COMPAREITEMSTRUCT*)lParam)->hwndItem;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_HSCROLL:
    case WM_VSCROLL:
        return (HWND)lParam;
    case WM_COMMAND:
        return (HWND)lParam;
    case WM_NOTIFY:
        return ((const NMHDR*)lParam)->hwndFrom;
    default:
        (void)wParam;
        return NULL;
    }
}

}  // namespace

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam))
            return FALSE;
        *pResult = 1;
        return TRUE;
    }
    if (message == WM_NOTIFY) {
        const NMHDR* nmhdr = (const NMHDR*)lParam;
        if (nmhdr == NULL || nmhdr->hwndFrom == NULL)
            return FALSE;
        return OnNotify(wParam, lParam, pResult);
    }
    if (DispatchToMap(message, 0, 0, wParam, lParam, pResult, NULL))
        return TRUE;
    // No handler of this window: the reflectable messages go to the control.
    switch (message) {
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_DELETEITEM:
    case WM_COMPAREITEM:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_HSCROLL:
    case WM_VSCROLL:
        return ReflectLastMsg(ReflectTarget(m_hWnd, message, wParam, lParam), pResult);
    default:
        return FALSE;
    }
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT nID = LOWORD(wParam);
    HWND hWndCtrl = (HWND)lParam;
    int nCode = HIWORD(wParam);
    if (hWndCtrl == NULL) {
        nCode = CN_COMMAND;   // a menu item or an accelerator
    } else {
        if (ReflectLastMsg(hWndCtrl))
            return TRUE;      // the control handled it itself
    }
    return OnCmdMsg(nID, nCode, NULL, NULL);
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* pResult)
{
    const NMHDR* nmhdr = (const NMHDR*)lParam;
    if (ReflectLastMsg(nmhdr->hwndFrom, pResult))
        return TRUE;
    const UINT nID = (UINT)nmhdr->idFrom;
    return DispatchToMap(WM_NOTIFY, nmhdr->code, nID, nID, lParam, pResult, NULL);
}

BOOL PASCAL CWnd::ReflectLastMsg(HWND hWndChild, LRESULT* pResult)
{
    CWnd* pWnd = FromHandlePermanent(hWndChild);
    if (pWnd == NULL)
        return FALSE;
    const MSG msg = t_currentMsg;
    LRESULT result = 0;
    const BOOL handled = pWnd->OnChildNotify(msg.message, msg.wParam, msg.lParam, &result);
    if (handled && pResult != NULL)
        *pResult = result;
    return handled;
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    return ReflectChildNotify(message, wParam, lParam, pResult);
}

BOOL CWnd::ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    switch (message) {
    case WM_COMMAND:
        return DispatchToMap(WM_COMMAND + WM_REFLECT_BASE, HIWORD(wParam), 0, wParam, lParam,
                             pResult, NULL);
    case WM_NOTIFY:
        return DispatchToMap(WM_NOTIFY + WM_REFLECT_BASE, ((const NMHDR*)lParam)->code, 0, wParam,
                             lParam, pResult, NULL);
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        // The handler gets the DC and the CTLCOLOR_ kind.
        return DispatchToMap(AFX_WM_CTLCOLOR + WM_REFLECT_BASE, 0, 0, wParam,
                             (LPARAM)(message - WM_CTLCOLORMSGBOX), pResult, NULL);
    default:
        return DispatchToMap(message + WM_REFLECT_BASE, 0, 0, wParam, lParam, pResult, NULL);
    }
}

void CWnd::OnDrawItem(int, LPDRAWITEMSTRUCT lpDrawItemStruct)
{
    if (lpDrawItemStruct->CtlType == ODT_MENU || !ReflectLastMsg(lpDrawItemStruct->hwndItem))
        Default();
}

void CWnd::OnMeasureItem(int nIDCtl, LPMEASUREITEMSTRUCT lpMeasureItemStruct)
{
    if (lpMeasureItemStruct->CtlType == ODT_MENU || !ReflectLastMsg(::GetDlgItem(m_hWnd, nIDCtl)))
        Default();
}

HBRUSH CWnd::OnCtlColor(CDC*, CWnd* pWnd, UINT)
{
    LRESULT result = 0;
    if (pWnd != NULL && ReflectLastMsg(pWnd->m_hWnd, &result))
        return (HBRUSH)result;
    return (HBRUSH)Default();
}

void CWnd::OnHScroll(UINT, UINT, CScrollBar* pScrollBar)
{
    if (pScrollBar == NULL || !ReflectLastMsg(AfxSafeHwnd((CWnd*)pScrollBar)))
        Default();
}

void CWnd::OnVScroll(UINT, UINT, CScrollBar* pScrollBar)
{
    if (pScrollBar == NULL || !ReflectLastMsg(AfxSafeHwnd((CWnd*)pScrollBar)))
        Default();
}

void CWnd::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam, BOOL bDeep)
{
    for (HWND hChild = ::GetTopWindow(m_hWnd); hChild != NULL;
         hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
        ::SendMessageA(hChild, message, wParam, lParam);
        if (bDeep && ::GetTopWindow(hChild) != NULL)
            CWnd::FromHandle(hChild)->SendMessageToDescendants(message, wParam, lParam, bDeep);
    }
}

void CWnd::DoDataExchange(CDataExchange*)
{
}

// DDV failures have told the user already and thrown CUserException; the
// focus was moved to the offending control.
BOOL CWnd::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (CUserException* e) {
        e->Delete();
        return FALSE;
    }
    return TRUE;
}

void CWnd::UpdateDialogControls(CCmdTarget* pTarget, BOOL bDisableIfNoHandler)
{
    CCmdUI state;
    CWnd wndTemp;
    for (HWND hChild = ::GetTopWindow(m_hWnd); hChild != NULL;
         hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
        const int nID = ::GetDlgCtrlID(hChild);
        if (nID == 0 || nID == 0xFFFF)
            continue;
        CWnd* pChild = FromHandlePermanent(hChild);
        if (pChild == NULL) {
            wndTemp.m_hWnd = hChild;
            pChild = &wndTemp;
        }
        state.m_pOther = pChild;
        state.m_nID = (UINT)nID;
        // Only push buttons are disabled for want of a handler.
        char cls[16];
        ::GetClassNameA(hChild, cls, sizeof(cls));
        const DWORD type = (DWORD)::GetWindowLongPtrA(hChild, GWL_STYLE) & 0x0F;
        const BOOL isPush = lstrcmpiA(cls, "Button") == 0 &&
                            (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
        state.DoUpdate(pTarget, bDisableIfNoHandler && isPush);
    }
    wndTemp.m_hWnd = NULL;
}

void CWnd::GetWindowText(CString& rString) const
{
    const int nLen = ::GetWindowTextLengthA(m_hWnd);
    char* buf = rString.GetBuffer(nLen + 1);
    const int got = ::GetWindowTextA(m_hWnd, buf, nLen + 1);
    rString.ReleaseBuffer(got);
}

int CWnd::GetDlgItemText(int nID, CString& rString) const
{
    rString.Empty();
    HWND hItem = ::GetDlgItem(m_hWnd, nID);
    if (hItem == NULL)
        return 0;
    CWnd wnd(hItem);
    wnd.GetWindowText(rString);
    wnd.m_hWnd = NULL;
    return rString.GetLength();
}

void CWnd::SetFont(CFont* pFont, BOOL bRedraw)
{
    SendMessage(WM_SETFONT, (WPARAM)pFont->GetSafeHandle(), bRedraw);
}

CFont* CWnd::GetFont() const
{
    return CFont::FromHandle((HFONT)SendMessage(WM_GETFONT));
}

namespace {
BOOL ModifyStyleImpl(HWND hWnd, int nStyleOffset, DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    const DWORD dwStyle = (DWORD)::GetWindowLongPtrA(hWnd, nStyleOffset);
    const DWORD dwNewStyle = (dwStyle & ~dwRemove) | dwAdd;
    if (dwStyle == dwNewStyle)
        return FALSE;
    ::SetWindowLongPtrA(hWnd, nStyleOffset, (LONG_PTR)dwNewStyle);
    if (nFlags != 0)
        ::SetWindowPos(hWnd, NULL, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    return TRUE;
}
}  // namespace

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    return ModifyStyleImpl(m_hWnd, GWL_STYLE, dwRemove, dwAdd, nFlags);
}

BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    return ModifyStyleImpl(m_hWnd, GWL_EXSTYLE, dwRemove, dwAdd, nFlags);
}

void CWnd::ClientToScreen(LPRECT lpRect) const
{
    ::ClientToScreen(m_hWnd, (LPPOINT)lpRect);
    ::ClientToScreen(m_hWnd, ((LPPOINT)lpRect) + 1);
}

void CWnd::ScreenToClient(LPRECT lpRect) const
{
    ::ScreenToClient(m_hWnd, (LPPOINT)lpRect);
    ::ScreenToClient(m_hWnd, ((LPPOINT)lpRect) + 1);
}

// Centres on the owner (or the given window), kept inside the work area of
// the screen.
void CWnd::CenterWindow(CWnd* pAlternateOwner)
{
    HWND hWndCenter = pAlternateOwner != NULL ? pAlternateOwner->m_hWnd
                                              : ((GetStyle() & WS_CHILD) ? ::GetParent(m_hWnd)
                                                                         : ::GetWindow(m_hWnd, GW_OWNER));
    RECT rcDlg;
    ::GetWindowRect(m_hWnd, &rcDlg);
    RECT rcArea;
    RECT rcCenter;
    if (!(GetStyle() & WS_CHILD)) {
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcArea, 0);
        if (hWndCenter == NULL || !::IsWindowVisible(hWndCenter) || ::IsIconic(hWndCenter))
            rcCenter = rcArea;
        else
            ::GetWindowRect(hWndCenter, &rcCenter);
    } else {
        HWND hWndParent = ::GetParent(m_hWnd);
        ::GetClientRect(hWndParent, &rcArea);
        if (hWndCenter != NULL && hWndCenter != hWndParent) {
            ::GetClientRect(hWndCenter, &rcCenter);
            ::MapWindowPoints(hWndCenter, hWndParent, (LPPOINT)&rcCenter, 2);
        } else {
            rcCenter = rcArea;
        }
    }
    const int w = rcDlg.right - rcDlg.left;
    const int h = rcDlg.bottom - rcDlg.top;
    int x = (rcCenter.left + rcCenter.right) / 2 - w / 2;
    int y = (rcCenter.top + rcCenter.bottom) / 2 - h / 2;
    if (x + w > rcArea.right)
        x = rcArea.right - w;
    if (x < rcArea.left)
        x = rcArea.left;
    if (y + h > rcArea.bottom)
        y = rcArea.bottom - h;
    if (y < rcArea.top)
        y = rcArea.top;
    ::SetWindowPos(m_hWnd, NULL, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

CDC* CWnd::GetDC()
{
    return CDC::FromHandle(::GetDC(m_hWnd));
}

CDC* CWnd::GetWindowDC()
{
    return CDC::FromHandle(::GetWindowDC(m_hWnd));
}

int CWnd::ReleaseDC(CDC* pDC)
{
    return ::ReleaseDC(m_hWnd, pDC->GetSafeHdc());
}

CDC* CWnd::BeginPaint(LPPAINTSTRUCT lpPaint)
{
    return CDC::FromHandle(::BeginPaint(m_hWnd, lpPaint));
}

CWnd* CWnd::GetTopLevelParent() const
{
    HWND hWnd = m_hWnd;
    HWND hParent;
    while ((::GetWindowLongPtrA(hWnd, GWL_STYLE) & WS_CHILD) && (hParent = ::GetParent(hWnd)) != NULL)
        hWnd = hParent;
    return FromHandle(hWnd);
}

CWnd* CWnd::GetDescendantWindow(int nID, BOOL bOnlyPerm) const
{
    HWND hWndChild = ::GetDlgItem(m_hWnd, nID);
    if (hWndChild != NULL) {
        if (::GetTopWindow(hWndChild) != NULL) {
            CWnd* pWnd = FromHandle(hWndChild)->GetDescendantWindow(nID, bOnlyPerm);
            if (pWnd != NULL)
                return pWnd;
        }
        CWnd* pWnd = bOnlyPerm ? FromHandlePermanent(hWndChild) : FromHandle(hWndChild);
        if (pWnd != NULL)
            return pWnd;
    }
    for (hWndChild = ::GetTopWindow(m_hWnd); hWndChild != NULL;
         hWndChild = ::GetWindow(hWndChild, GW_HWNDNEXT)) {
        CWnd* pWnd = FromHandle(hWndChild)->GetDescendantWindow(nID, bOnlyPerm);
        if (pWnd != NULL)
            return pWnd;
    }
    return NULL;
}

CWnd* PASCAL CWnd::GetSafeOwner(CWnd* pParent, HWND* pWndTop)
{
    HWND hWnd = pParent->GetSafeHwnd();
    if (hWnd == NULL) {
        CWnd* pMain = AfxGetMainWnd();
        hWnd = pMain->GetSafeHwnd();
    }
    if (hWnd == NULL)
        hWnd = ::GetActiveWindow();
    while (hWnd != NULL && (::GetWindowLongPtrA(hWnd, GWL_STYLE) & WS_CHILD))
        hWnd = ::GetParent(hWnd);
    if (pWndTop != NULL)
        *pWndTop = hWnd;
    return FromHandle(hWnd);
}

int CWnd::GetCheckedRadioButton(int nIDFirstButton, int nIDLastButton) const
{
    for (int nID = nIDFirstButton; nID <= nIDLastButton; nID++) {
        if (::IsDlgButtonChecked(m_hWnd, nID))
            return nID;
    }
    return 0;
}

CMenu* CWnd::GetMenu() const
{
    return CMenu::FromHandle(::GetMenu(m_hWnd));
}

BOOL CWnd::SetMenu(CMenu* pMenu)
{
    return ::SetMenu(m_hWnd, pMenu != NULL ? pMenu->m_hMenu : NULL);
}

CMenu* CWnd::GetSystemMenu(BOOL bRevert) const
{
    return CMenu::FromHandle(::GetSystemMenu(m_hWnd, bRevert));
}

int CWnd::MessageBox(LPCTSTR lpszText, LPCTSTR lpszCaption, UINT nType)
{
    if (lpszCaption == NULL)
        lpszCaption = AfxGetAppName();
    return ::MessageBoxA(m_hWnd, lpszText, lpszCaption, nType);
}

void CWnd::WinHelp(DWORD_PTR dwData, UINT nCmd)
{
    char path[MAX_PATH];
    ::GetModuleFileNameA(NULL, path, MAX_PATH);
    char* dot = strrchr(path, '.');
    if (dot != NULL)
        lstrcpyA(dot, ".hlp");
    ::WinHelpA(m_hWnd, path, nCmd, dwData);
}
