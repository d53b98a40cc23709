#include "media/AudioMix.h"

#include "framework/FloatRound.h"

#include <mmsystem.h>
#include <string.h>

namespace {

inline short ReadSample(const BYTE* p)
{
    short s;
    memcpy(&s, p, sizeof(s));
    return s;
}

inline void WriteSample(BYTE* p, int value)
{
    if (value > 32767)
        value = 32767;
    else if (value < -32768)
        value = -32768;
    const short s = static_cast<short>(value);
    memcpy(p, &s, sizeof(s));
}

}  // namespace

void MixHalfAndHalf(BYTE* buffer, const BYTE* script, DWORD length, WORD bitsPerSample)
{
    if (bitsPerSample == 8) {
        for (DWORD i = 0; i < length; ++i)
            buffer[i] = static_cast<BYTE>(script[i] / 2 + buffer[i] / 2);
        return;
    }
    for (DWORD i = 0; i + 1 < length; i += 2)
        WriteSample(buffer + i, ReadSample(script + i) / 2 + ReadSample(buffer + i) / 2);
}

// The sum of a half-volume sound and the input can leave the sample range when
// the input is already loud (and always when the divisor is 1): it is clipped
// rather than allowed to wrap round, which would turn a click into a crack.
// 8-bit samples are mixed as signed offsets from 128, so that the mix of two
// silences stays silent whatever the divisor.
void MixSound(BYTE* buffer, const BYTE* sound, DWORD length, WORD bitsPerSample, int divisor)
{
    if (divisor < 1)
        divisor = 1;
    if (bitsPerSample == 8) {
        for (DWORD i = 0; i < length; ++i) {
            int value = 128 + (sound[i] - 128) / 2 + (buffer[i] - 128) / divisor;
            if (value > 255)
                value = 255;
            else if (value < 0)
                value = 0;
            buffer[i] = static_cast<BYTE>(value);
        }
        return;
    }
    for (DWORD i = 0; i + 1 < length; i += 2)
        WriteSample(buffer + i, ReadSample(sound + i) / 2 + ReadSample(buffer + i) / divisor);
}

int PeakLevel(const BYTE* buffer, DWORD length, WORD bitsPerSample)
{
    int peak = 0;
    if (bitsPerSample == 8) {
        for (DWORD i = 0; i < length; ++i) {
            int v = buffer[i] - 128;
            if (v < 0)
                v = -v;
            if (v > peak)
                peak = v;
        }
        return peak;
    }
    for (DWORD i = 0; i + 1 < length; i += 2) {
        int v = ReadSample(buffer + i);
        if (v < 0)
            v = -v;
        if (v > peak)
            peak = v;
    }
    return peak;
}

void ApplyPcmGain(BYTE* data, DWORD length, int gainPercent, const WAVEFORMATEX* format)
{
    if (!data || !format)
        return;
    // The factor and each product are single-precision values: 50 % halves
    // exactly and 100 % keeps every sample, in the 32-bit build too.
    const float factor = RoundToSingle(gainPercent * 0.01f);
    if (format->wBitsPerSample == 8) {
        for (DWORD i = 0; i < length; ++i) {
            // Limit in floating point first: a huge gain must not overflow the cast.
            float scaled = RoundToSingle((data[i] - 128) * factor);
            if (scaled > 127.0f)
                scaled = 127.0f;
            else if (scaled < -128.0f)
                scaled = -128.0f;
            data[i] = static_cast<BYTE>(static_cast<int>(scaled) + 128);
        }
        return;
    }
    for (DWORD i = 0; i + 1 < length; i += 2) {
        float scaled = RoundToSingle(ReadSample(data + i) * factor);
        if (scaled > 32767.0f)
            scaled = 32767.0f;
        else if (scaled < -32767.0f)
            scaled = -32767.0f;
        WriteSample(data + i, static_cast<int>(scaled));
    }
}
