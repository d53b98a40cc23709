#pragma once
// Inserting the sound of one file into a WAV file at a time position, so that
// sound that started after the video lines up with the video's time 0. Runs on
// the capture thread at the end of a recording, with the recording's progress
// window; every failure is shown in a message box.
#include "framework/AfxPlatform.h"
#include <mmsystem.h>

class IConvertProgress;

// Writes the audio of `source` (any file the AVI file layer opens with an
// audio stream), converted to `targetFormat`, into the WAV file `target` at
// positionMs, padding the gap before it with silence (0x80 for 8-bit targets,
// else 0). With create the target is made new (a RIFF 'WAVE' with an 18-byte
// 'fmt ' chunk and a 'data' chunk); else an existing WAV is written into.
// endLimitMs (0: none) cuts the result at that time. FALSE on failure or
// cancel; the caller deletes the target then.
BOOL InsertAudioIntoWave(LPCSTR source, LPCSTR target, int positionMs, int endLimitMs,
                         const WAVEFORMATEX* targetFormat, IConvertProgress* progress, BOOL create);
