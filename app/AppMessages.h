#pragma once
// The names by which a second start finds the running program, and the
// private messages of the main window that a second start forwards to it.
#include "framework/AfxPlatform.h"

#define RECORDER_MUTEX_NAME "RECORDER_MUTEX_D77CA95F_632A_4d48_8FD0_2A8DEAA6DA4A"
#define RECORDER_CLASS_NAME "RECORDER_CLASS_D77CA95F_632A_4d48_8FD0_2A8DEAA6DA4A"

// Forwarded requests (sent, except exit and wizard, which are posted). The
// reply of record, pause and stop is nonzero when the request was carried out.
#define WM_APP_RECORD      0x4DC
#define WM_APP_PAUSE       0x4DD
#define WM_APP_STOP        0x4DE
#define WM_APP_EXIT        0x4DF   // exit once no recording runs
#define WM_APP_WIZARD      0x4E1

// The main window's own: brings its caption and status text up to the record
// state that another thread stored (wParam: the state).
#define WM_MAIN_RECORD_STATE   (WM_APP + 0x31)
// The main window's own: shows its focus frame (wParam: the show command) or,
// with wParam -1, places it round the area that MoveFocusFrame stored.
#define WM_MAIN_FOCUS_FRAME    (WM_APP + 0x32)

// Ends a modal progress dialog owned by the main window.
#define WM_END_PROGRESS_DIALOG 0x2A94
