#include "settings/ShellUtil.h"

#include <shlobj.h>

CString GetShellFolderPath(int csidl, DWORD flags)
{
    CString path;
    HMODULE library = ::LoadLibraryA("shfolder.dll");
    if (!library)
        return path;
    typedef HRESULT(WINAPI * SHGetFolderPathAFn)(HWND, int, HANDLE, DWORD, LPSTR);
    SHGetFolderPathAFn get = (SHGetFolderPathAFn)(void*)::GetProcAddress(library, "SHGetFolderPathA");
    char buffer[MAX_PATH + 1] = {};
    if (get && SUCCEEDED(get(NULL, csidl | (int)flags, NULL, 0, buffer)))
        path = buffer;
    ::FreeLibrary(library);
    return path;
}

BOOL ForceForegroundWindow(HWND window)
{
    ::BringWindowToTop(window);
    ::SetForegroundWindow(window);
    if (::GetForegroundWindow() == window)
        return TRUE;
    HWND foreground = ::GetForegroundWindow();
    for (int i = 0; !foreground && i < 10; ++i) {
        ::Sleep(10);
        foreground = ::GetForegroundWindow();
    }
    if (foreground) {
        DWORD foregroundThread = ::GetWindowThreadProcessId(foreground, NULL);
        DWORD thisThread = ::GetCurrentThreadId();
        if (foregroundThread != thisThread) {
            ::AttachThreadInput(thisThread, foregroundThread, TRUE);
            ::SetForegroundWindow(window);
            ::AttachThreadInput(thisThread, foregroundThread, FALSE);
        }
    }
    ::SetForegroundWindow(window);
    return ::GetForegroundWindow() == window;
}
