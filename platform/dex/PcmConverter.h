// The "PCM" audio converter: PCM in, PCM of the format set on its output
// (IAMStreamConfig::SetFormat, before the output connects) out, converted by
// ACM; by default the input's own format. It stands in for the audio
// compressor category's "PCM" entry, which Wine leaves empty.
// Threads: as the filter base.
#pragma once
#include <windows.h>

extern "C" {
extern const CLSID CLSID_XrvPcmConverter;
}

HRESULT DexCreatePcmConverter(REFIID riid, void** ppv);
