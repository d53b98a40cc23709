#pragma once
// The program's command line and its forwarding to a running instance.
//
// Switches are a slash followed by one of ? H P R S W X, in either case;
// everything else on the line is ignored. When record, pause, stop or exit is
// asked for and the program already runs, the request goes to its main window
// and this start ends; the answer becomes this process's exit code.
#include "framework/AfxPlatform.h"

struct StartSwitches {
    bool help = false;     // /?
    bool hidden = false;   // /H start with the main window hidden
    bool pause = false;    // /P
    bool record = false;   // /R
    bool stop = false;     // /S
    bool wizard = false;   // /W
    bool exit = false;     // /X
};

StartSwitches ParseStartSwitches(LPCSTR commandLine);

// Windows 2000 or later (NT platform, major version 5 or above).
BOOL IsSupportedSystem(const OSVERSIONINFOA& version);

// How long a forwarding start waits for the running instance to answer.
const UINT kForwardTimeoutMs = 10000;

// Step of the start-up that hands record, pause, stop and exit to a running
// main window (NULL: none runs). Returns TRUE when this start ends here, with
// *exitCode set: the reply of the sent request (0 when the running instance
// does not answer in time), or 1 when pause, stop or exit find no instance.
// With only /R and no instance the start goes on (FALSE).
BOOL ForwardToRunningInstance(const StartSwitches& switches, HWND running, DWORD* exitCode,
                              UINT timeoutMs = kForwardTimeoutMs);
