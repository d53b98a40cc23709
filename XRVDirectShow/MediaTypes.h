// Media-type helpers of the timeline engine: freeing a media type, building
// an audio media type from a wave format, and the length of a media file's
// longest stream.
#pragma once
#include <windows.h>
#include <dshow.h>
#include <mmsystem.h>

// Frees the format block and releases pUnk.
void FreeMediaType(AM_MEDIA_TYPE& mt);
// Fills an audio media type (major type audio, wave-format block) from a wave
// format with its extra bytes; FALSE without memory. `fixedSize` marks
// fixed-size samples of one block each.
BOOL BuildAudioMediaType(const WAVEFORMATEX* format, AM_MEDIA_TYPE* mt, BOOL fixedSize);
// Length of the file's longest stream in 100 ns (AVI and WAV files, read
// through AVIFile); FALSE when the file cannot be read.
BOOL GetStreamLength(LPCTSTR file, LONGLONG* length);
// The first audio stream's format of an AVI or WAV file (18 bytes, extra
// bytes dropped); FALSE when the file has none.
BOOL GetFileAudioFormat(LPCTSTR file, WAVEFORMATEX* format);
