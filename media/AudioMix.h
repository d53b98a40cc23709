#pragma once
// Sample arithmetic of the wave-input recorder: mixing a sound into a buffer,
// the peak level of a buffer, and volume scaling. 8-bit samples are unsigned
// around 128, 16-bit samples signed; any width other than 8 counts as 16.
#include "framework/AfxPlatform.h"

// Mixes the audio script into a buffer at half volume each:
// out = script/2 + input/2, over min(length, scriptLength) bytes.
void MixHalfAndHalf(BYTE* buffer, const BYTE* script, DWORD length, WORD bitsPerSample);

// Mixes a short sound into a buffer: out = sound/2 + input/divisor (divisor 2,
// or 1 when the buffer was already halved by the script mix). The result is
// clipped to the sample range; 8-bit sound mixes around the 128 midpoint.
void MixSound(BYTE* buffer, const BYTE* sound, DWORD length, WORD bitsPerSample, int divisor);

// The largest |sample - 128| (8-bit) or |sample| (16-bit) of a buffer.
int PeakLevel(const BYTE* buffer, DWORD length, WORD bitsPerSample);

// Scales PCM samples by gainPercent / 100, limited to 0..255 (8-bit) or
// -32767..32767 (16-bit).
void ApplyPcmGain(BYTE* data, DWORD length, int gainPercent, const WAVEFORMATEX* format);
