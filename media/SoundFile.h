#pragma once
// Loading an effect sound (click, key or audio script) into memory in the
// exact format of a recording, through the conversion chain when needed.
#include "framework/AfxPlatform.h"
#include <mmsystem.h>

// Reads the first audio stream of a WAV or AVI file into locked movable
// global memory in the target format (converting through a temporary
// "SkoConvert*.wav" in tempFolder, which is always deleted); *byteCount gets
// its size. NULL on failure (the message box was shown) or for an empty file.
BYTE* ConvertAudioFile(LPCSTR path, LPCSTR tempFolder, DWORD* byteCount, const WAVEFORMATEX* target);

// Frees memory returned by ConvertAudioFile.
void FreeAudioData(BYTE* data);
