// Our sound input source ("Kestravon Wave In"): records a waveIn device and
// delivers 16-bit PCM (or the PCM form it is given) in tenth-of-a-second
// samples, timed by the bytes delivered since the stream started. It
// captures while the graph runs; paused, the device stops (what it recorded
// is still delivered) and resumes where it was. A live source: it never ends its stream by itself and does not
// seek. Its configuration interface picks the device and the format while
// the pin is not connected.
// Threads: state changes on the graph's thread; the pin's own streaming
// thread waits for the device's buffers.
#pragma once
#include "platform/filters/FilterBase.h"

EXTERN_C const CLSID CLSID_XrvWaveInSource;
EXTERN_C const IID IID_IXrvWaveInConfig;

struct IXrvWaveInConfig : public IUnknown {
    // A waveIn device number, or WAVE_MAPPER (the default).
    virtual HRESULT STDMETHODCALLTYPE SetDevice(UINT device) = 0;
    // A PCM format (WAVE_FORMAT_PCM, 8 or 16 bits); E_INVALIDARG otherwise,
    // VFW_E_ALREADY_CONNECTED once the pin is connected.
    virtual HRESULT STDMETHODCALLTYPE SetFormat(const WAVEFORMATEX* format) = 0;
    // The bytes delivered since the stream started.
    virtual HRESULT STDMETHODCALLTYPE GetRecordedBytes(LONGLONG* bytes) = 0;
    // The bytes the device has recorded that are not delivered yet. Paused,
    // the device hands back what it holds, and the pin goes on delivering
    // it: a caller that wants every recorded byte in the file pauses the
    // graph and waits for this to reach 0 before it stops the graph.
    virtual HRESULT STDMETHODCALLTYPE GetQueuedBytes(LONGLONG* bytes) = 0;
};

// Creates the source (class CLSID_XrvWaveInSource): WAVE_MAPPER, 22050 Hz,
// mono, 16 bits.
HRESULT DsCreateWaveInSource(REFIID riid, void** ppv);

// The waveIn device of a name (compared without case); WAVE_MAPPER for none
// or an unknown one.
UINT DsWaveInDeviceNamed(LPCWSTR name);
