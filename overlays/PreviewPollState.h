#pragma once
// The preview players' process-wide state, defined with the program's other
// registrations (app/Registrations.cpp) so that it exists before any window:
// the list of registered player windows and the poll thread's quit flag (row
// 17), its gate and exit events, the list lock and the command codes.
#include "framework/Collections.h"
#include "framework/Sync.h"

extern CPtrArray g_previewPlayers;          // registered CMediaPlayerWnd objects
extern volatile LONG g_previewPollQuit;     // raised by StopPollThread
extern HANDLE g_previewPollGate;            // manual reset, signalled: steps may run
extern HANDLE g_previewPollExit;            // manual reset, signalled: no poll thread runs
extern CCriticalSection g_previewPlayerListLock;
extern int g_previewCommand[7];             // Run, Seek, Pause, PlayRange, ShowVideo, HideVideo, Unregister
