// The user-interface half of the message loop, for CWinThread-based threads
// and the application: a thread whose Run pumps windows of this layer calls
// AfxPreTranslateMessage from its PreTranslateMessage and AfxUiOnIdle from
// its OnIdle (CWinThread leaves both to the window layer).
#pragma once
#include "framework/AfxPlatform.h"

// Offers the message to PreTranslateMessage of the target window and its
// parents, then of the thread's main window; TRUE when one handled it.
BOOL AFXAPI AfxPreTranslateMessage(MSG* pMsg);
// Idle work of the window layer (command-UI updates of the main window's
// bars on the first pass, then frees temporary wrappers); returns FALSE:
// nothing more to do.
BOOL AFXAPI AfxUiOnIdle(LONG lCount);
// Gets and dispatches one message (through AfxPreTranslateMessage); FALSE
// when WM_QUIT arrived.
BOOL AFXAPI AfxPumpMessage();
// Runs messages until WM_QUIT; returns its exit code.
int AFXAPI AfxRunMessageLoop();
// Dispatches every queued message without waiting; returns FALSE when WM_QUIT
// was seen (it is posted again for the outer loop).
BOOL AFXAPI AfxPumpWaitingMessages();
