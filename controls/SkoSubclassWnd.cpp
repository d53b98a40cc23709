#include "controls/SkoSubclassWnd.h"

#include "framework/ui/Wnd.h"

#include <map>

namespace {

// One window's entry: its newest hook (null when every hook left but the
// window's procedure could not be put back) and the window's own procedure.
struct HookedWindow {
    XRVSkoSubclassWnd* newest;
    WNDPROC original;
};

std::map<HWND, HookedWindow>& Registry()
{
    static std::map<HWND, HookedWindow>* s_registry = new std::map<HWND, HookedWindow>;
    return *s_registry;
}

}  // namespace

IMPLEMENT_DYNAMIC(XRVSkoSubclassWnd, CObject)

XRVSkoSubclassWnd::XRVSkoSubclassWnd() : m_hWnd(NULL), m_pOldWndProc(NULL), m_pNext(NULL)
{
}

XRVSkoSubclassWnd::~XRVSkoSubclassWnd()
{
    if (m_hWnd != NULL)
        HookWindow(NULL);
}

BOOL XRVSkoSubclassWnd::HookWindow(HWND hWnd)
{
    if (hWnd != NULL) {
        if (m_hWnd != NULL)
            Unregister();
        Register(hWnd);
        m_hWnd = hWnd;
    } else if (m_hWnd != NULL) {
        Unregister();
        m_hWnd = NULL;
        m_pOldWndProc = NULL;
    }
    return TRUE;
}

XRVSkoSubclassWnd* XRVSkoSubclassWnd::NewestHook(HWND hWnd)
{
    auto it = Registry().find(hWnd);
    return it != Registry().end() ? it->second.newest : NULL;
}

void XRVSkoSubclassWnd::Register(HWND hWnd)
{
    auto it = Registry().find(hWnd);
    if (it != Registry().end()) {
        m_pNext = it->second.newest;
        m_pOldWndProc = it->second.original;
        it->second.newest = this;
        return;
    }
    m_pNext = NULL;
    m_pOldWndProc = (WNDPROC)::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, (LONG_PTR)&HookWndProc);
    Registry()[hWnd] = HookedWindow{ this, m_pOldWndProc };
}

// The last hook gives the window its own procedure back only while the
// window still runs the shared one: a procedure installed after ours calls
// ours, which must then go on passing messages to the original.
void XRVSkoSubclassWnd::Unregister()
{
    auto it = Registry().find(m_hWnd);
    if (it == Registry().end())
        return;
    HookedWindow& entry = it->second;
    if (entry.newest == this) {
        entry.newest = m_pNext;
        if (entry.newest == NULL) {
            if ((WNDPROC)::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC) == &HookWndProc) {
                ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, (LONG_PTR)entry.original);
                Registry().erase(it);
            }
        }
    } else {
        for (XRVSkoSubclassWnd* p = entry.newest; p != NULL; p = p->m_pNext) {
            if (p->m_pNext == this) {
                p->m_pNext = m_pNext;
                break;
            }
        }
    }
    m_pNext = NULL;
}

LRESULT XRVSkoSubclassWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pNext != NULL)
        return m_pNext->WindowProc(message, wParam, lParam);
    return ::CallWindowProcA(m_pOldWndProc, m_hWnd, message, wParam, lParam);
}

// Framework code called from a hook sees this message as the current one.
LRESULT CALLBACK XRVSkoSubclassWnd::HookWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG* pCurrent = AfxGetThreadCurrentMessage();
    const MSG saved = *pCurrent;
    pCurrent->hwnd = hWnd;
    pCurrent->message = message;
    pCurrent->wParam = wParam;
    pCurrent->lParam = lParam;

    LRESULT result = 0;
    auto it = Registry().find(hWnd);
    if (it == Registry().end()) {
        result = ::DefWindowProcA(hWnd, message, wParam, lParam);
    } else if (message != WM_NCDESTROY) {
        if (it->second.newest != NULL)
            result = it->second.newest->WindowProc(message, wParam, lParam);
        else
            result = ::CallWindowProcA(it->second.original, hWnd, message, wParam, lParam);
    } else {
        // Every hook goes before the window's own procedure sees its end.
        const WNDPROC original = it->second.original;
        while (XRVSkoSubclassWnd* pHook = NewestHook(hWnd))
            pHook->HookWindow(NULL);
        Registry().erase(hWnd);
        result = ::CallWindowProcA(original, hWnd, message, wParam, lParam);
    }
    *pCurrent = saved;
    return result;
}
