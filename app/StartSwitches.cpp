#include "app/StartSwitches.h"

#include "app/AppMessages.h"

StartSwitches ParseStartSwitches(LPCSTR commandLine)
{
    StartSwitches s;
    if (!commandLine)
        return s;
    for (const char* p = commandLine; *p; ++p) {
        if (*p != '/')
            continue;
        switch (p[1]) {
            case '?': s.help = true; break;
            case 'h': case 'H': s.hidden = true; break;
            case 'p': case 'P': s.pause = true; break;
            case 'r': case 'R': s.record = true; break;
            case 's': case 'S': s.stop = true; break;
            case 'w': case 'W': s.wizard = true; break;
            case 'x': case 'X': s.exit = true; break;
            default: break;
        }
    }
    return s;
}

BOOL IsSupportedSystem(const OSVERSIONINFOA& version)
{
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
}

BOOL ForwardToRunningInstance(const StartSwitches& switches, HWND running, DWORD* exitCode, UINT timeoutMs)
{
    if (!(switches.record || switches.pause || switches.stop || switches.exit))
        return FALSE;
    if (running == NULL) {
        if (switches.pause || switches.stop || switches.exit) {
            *exitCode = 1;
            return TRUE;
        }
        return FALSE;
    }
    UINT request = 0;
    if (switches.record)
        request = WM_APP_RECORD;
    else if (switches.pause)
        request = WM_APP_PAUSE;
    else if (switches.stop)
        request = WM_APP_STOP;
    if (request != 0) {
        // A hung first instance must not hold this start forever.
        DWORD_PTR reply = 0;
        if (!::SendMessageTimeoutA(running, request, 0, 0, SMTO_ABORTIFHUNG | SMTO_NORMAL, timeoutMs, &reply))
            reply = 0;
        *exitCode = (DWORD)reply;
    }
    if (switches.exit)
        ::PostMessageA(running, WM_APP_EXIT, 0, 0);
    return TRUE;
}
