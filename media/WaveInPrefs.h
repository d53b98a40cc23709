#pragma once
// What the wave-input recorder reads of the recording's preferences.
#include "framework/AfxPlatform.h"

class CRecorderPrefs;

// TRUE when the recording records the camera: the sound then goes to the
// recorder engine's sink and no .wav file is written. FALSE for no record.
BOOL WaveInRecordsCamera(const CRecorderPrefs* settings);
