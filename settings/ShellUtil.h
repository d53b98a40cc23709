#pragma once
// Shell folders and the foreground window.
#include "framework/AfxPlatform.h"
#include "framework/String.h"

// The path of a shell folder (a CSIDL, with flags such as CSIDL_FLAG_CREATE),
// through shfolder.dll; empty on failure.
CString GetShellFolderPath(int csidl, DWORD flags = 0);
// Brings the window to the foreground, borrowing the foreground thread's input
// when Windows refuses; TRUE when the window is in the foreground afterwards.
BOOL ForceForegroundWindow(HWND window);
