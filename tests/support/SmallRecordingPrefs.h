#pragma once
// Preferences for tests that record through the real main window: a small
// fixed area (160x120 at 160,160), 5 frames a second, uncompressed, no sound
// or camera, no preview or post-save questions, a plain AVI under automatic
// numbered names ("Capture-"), in the given folders.
#include "capture/AviScreenStream.h"
#include "settings/RecorderPrefs.h"

inline void SetSmallRecordingPrefs(CRecorderPrefs* p, const char* tempDir, const char* outputDir)
{
    p->m_tempDir = tempDir;
    p->m_outputDir = outputDir;
    p->m_autoConfig = FALSE;
    p->m_compressorFourCC = kFourccDib;
    p->m_captureRate = CRational(5, 1, 1);
    p->m_playbackRate = CRational(5, 1, 1);
    p->m_keyFrameRate = 80;
    p->m_quality = -1;
    p->m_minimize = FALSE;
    p->m_pauseOnStart = FALSE;
    p->m_videoInput = 3;
    p->m_useStartPoint = TRUE;
    ::SetRect(&p->m_fixedRect, 160, 160, 160, 120);   // x, y, width, height
    p->m_zoomInitialLevel = 100;
    p->m_previewAfterRecording = FALSE;
    p->m_optionsAfterRecording = FALSE;
    p->m_createSkoRecFile = FALSE;
    p->m_fileType = 0;
    p->m_fileNaming = 2;
    p->m_autoFilePrefix = "Capture-";
    p->m_recordAudio = FALSE;
    p->m_recordCamera = FALSE;
}
