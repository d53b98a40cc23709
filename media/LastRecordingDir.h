#pragma once
// Where the last unfinished recording lies: the value "LastRecDir" under
// HKEY_CURRENT_USER\Software\Kestravon\Skorvale Studio\3.0. The capture engine
// sets it when a recording starts; every completed save clears it; the
// start-up recovery reads it.
#include "framework/String.h"

CString GetLastRecordingDir();
void SetLastRecordingDir(LPCSTR folder);
