// Our wave destination ("Kestravon Wave Dest"): takes one audio stream and
// gives a RIFF WAVE byte stream to a file writer. The header goes first with
// empty sizes; at end of stream it is sent again at offset 0 with the real
// sizes (the file writer places samples by the byte offset in their start
// time). Its position interface reports how much sound is written.
// Threads: state changes on the graph's thread; samples, end of stream and
// the position on any thread.
#pragma once
#include "platform/filters/FilterBase.h"

#include <vector>

EXTERN_C const CLSID CLSID_XrvWaveDest;
EXTERN_C const IID IID_IXrvWaveDestPosition;

// The wave destination's own interface.
struct IXrvWaveDestPosition : public IUnknown {
    // The media time (100 ns) of the sound written since the stream started:
    // the bytes of sound data over the format's bytes per second; 0 before
    // the first sample.
    virtual HRESULT STDMETHODCALLTYPE GetPosition(LONGLONG* position) = 0;
};

// Creates the wave destination (class CLSID_XrvWaveDest).
HRESULT DsCreateWaveDest(REFIID riid, void** ppv);

// The bytes of a WAVE file header for `format` (formatSize bytes) and
// `dataBytes` of sound: RIFF, "fmt " (16 bytes for PCM, the whole
// WAVEFORMATEX otherwise, padded to even) and the "data" chunk header. The
// RIFF size counts the pad byte of odd data. Empty when the format is
// unusable or the sizes do not fit 32 bits.
std::vector<BYTE> DsWaveHeader(const WAVEFORMATEX* format, DWORD formatSize, ULONGLONG dataBytes);
