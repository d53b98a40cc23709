#pragma once
#include "framework/Object.h"
#include "framework/AfxPlatform.h"

// A hook that watches the messages of a window it does not own. The hooks
// of one window form a chain, newest first, in one process-wide registry;
// the first hook replaces the window's procedure with one shared procedure,
// the last one puts the window's own procedure back (unless something
// subclassed the window after us: then the shared procedure stays in its
// chain and passes everything to the window's own procedure). A derived
// hook overrides WindowProc and calls the base for what it does not handle.
// UI thread only.
class XRVSkoSubclassWnd : public CObject {
    DECLARE_DYNAMIC(XRVSkoSubclassWnd)
public:
    XRVSkoSubclassWnd();
    ~XRVSkoSubclassWnd() override;

    // With a window: hooks it (this hook becomes its newest). With null:
    // unhooks. TRUE.
    BOOL HookWindow(HWND hWnd);
    BOOL IsHooked() const { return m_hWnd != NULL; }
    HWND GetHwnd() const { return m_hWnd; }

    // Passes the message on: to the next older hook, else to the window's
    // own procedure.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) { return XRVSkoSubclassWnd::WindowProc(message, wParam, lParam); }

    // The shared window procedure.
    static LRESULT CALLBACK HookWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    // The newest hook of a window, or null.
    static XRVSkoSubclassWnd* NewestHook(HWND hWnd);

protected:
    HWND m_hWnd;
    WNDPROC m_pOldWndProc;
    XRVSkoSubclassWnd* m_pNext;

private:
    void Register(HWND hWnd);
    void Unregister();
    XRVSkoSubclassWnd(const XRVSkoSubclassWnd&) = delete;
    XRVSkoSubclassWnd& operator=(const XRVSkoSubclassWnd&) = delete;
};
