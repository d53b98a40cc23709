#pragma once
// The process-wide cache of media facts per file (the playback facade's media
// queries). The user-interface thread and the recorder's finishing thread
// both use it: every access holds g_FilePropertiesLock. A record is reused
// only while its file's size and last write time are those it was probed at.
// Defined with the program's registrations (app/Registrations.cpp).
#include "framework/Collections.h"
#include "framework/String.h"
#include "framework/Sync.h"

#include <mmsystem.h>

struct FilePropertiesRecord {
    CString fileName;               // the key, compared without regard to case
    BOOL hasVideo = FALSE;
    BOOL hasAudio = FALSE;
    LONGLONG videoLength = 0;       // 100-ns units
    LONGLONG audioLength = 0;
    int width = 0;
    int height = 0;                 // positive
    double frameRate = 0.0;
    int bitCount = 0;
    WAVEFORMATEX audioFormat;       // every byte 0xFF without audio
    ULONGLONG fileSize = 0;         // what the file was when probed
    FILETIME writeTime = {0, 0};
};

extern CArray<FilePropertiesRecord> g_FileProperties;
extern CCriticalSection g_FilePropertiesLock;
