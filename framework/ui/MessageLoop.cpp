#include "framework/ui/MessageLoop.h"

#include "framework/ui/ControlBar.h"
#include "framework/ui/Wnd.h"

BOOL AFXAPI AfxPreTranslateMessage(MSG* pMsg)
{
    CWnd* pMainWnd = AfxGetMainWnd();
    HWND hMain = pMainWnd->GetSafeHwnd();
    if (CWnd::WalkPreTranslateTree(hMain, pMsg))
        return TRUE;
    // A message for a window outside the main window's family still gives
    // the main window its say (accelerators).
    if (hMain != NULL && pMsg->hwnd != hMain && !::IsChild(hMain, pMsg->hwnd) &&
        CWnd::FromHandlePermanent(hMain) == pMainWnd && pMainWnd->PreTranslateMessage(pMsg))
        return TRUE;
    return FALSE;
}

// The first idle pass after messages updates the command states of the main
// window's bars (enabled, checked) before the temporary wrappers go.
BOOL AFXAPI AfxUiOnIdle(LONG lCount)
{
    if (lCount <= 0) {
        CWnd* pMainWnd = AfxGetMainWnd();
        if (pMainWnd != NULL && pMainWnd->m_hWnd != NULL && pMainWnd->IsWindowVisible()) {
            pMainWnd->SendMessage(WM_IDLEUPDATECMDUI, TRUE);
            pMainWnd->SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE);
        }
    }
    AfxDeleteTempMaps();
    return FALSE;
}

BOOL AFXAPI AfxPumpMessage()
{
    MSG msg;
    if (::GetMessageA(&msg, NULL, 0, 0) <= 0)
        return FALSE;
    if (!AfxPreTranslateMessage(&msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return TRUE;
}

int AFXAPI AfxRunMessageLoop()
{
    MSG msg;
    for (;;) {
        if (!::PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE))
            AfxUiOnIdle(0);
        const BOOL got = ::GetMessageA(&msg, NULL, 0, 0);
        if (got == 0 || got == -1)
            return (int)msg.wParam;
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

BOOL AFXAPI AfxPumpWaitingMessages()
{
    MSG msg;
    while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage((int)msg.wParam);
            return FALSE;
        }
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return TRUE;
}
