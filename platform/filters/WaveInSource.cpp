#include "platform/filters/WaveInSource.h"

#include "platform/filters/SourceStream.h"

#include <mmsystem.h>
#include <new>
#include <vector>

#include <initguid.h>

// {6B1E2A50-3C47-4F0B-9D1E-58A2C0F3B711}
DEFINE_GUID(CLSID_XrvWaveInSource, 0x6b1e2a50, 0x3c47, 0x4f0b, 0x9d, 0x1e, 0x58, 0xa2, 0xc0, 0xf3, 0xb7, 0x11);
// {6B1E2A51-3C47-4F0B-9D1E-58A2C0F3B711}
DEFINE_GUID(IID_IXrvWaveInConfig, 0x6b1e2a51, 0x3c47, 0x4f0b, 0x9d, 0x1e, 0x58, 0xa2, 0xc0, 0xf3, 0xb7, 0x11);

namespace {

const int kDeviceBuffers = 8;   // 0.8 s of sound queued at the device

class CWaveInSource;

class CWaveInPin : public CSourceStreamPin {
public:
    explicit CWaveInPin(CWaveInSource* owner);
    ~CWaveInPin() override { CloseDevice(); }

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override;
    HRESULT GetMediaType(int index, AM_MEDIA_TYPE* mt) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT Inactive() override;
    HRESULT FillBuffer(IMediaSample* sample) override;
    HRESULT OnSeek(REFERENCE_TIME) override { return OpenDevice(); }
    REFERENCE_TIME Duration() override { return 0x7FFFFFFFFFFFFFFFLL; }

    HRESULT StartDevice() { return m_wave && ::waveInStart(m_wave) == MMSYSERR_NOERROR ? S_OK : E_FAIL; }
    void StopDevice()
    {
        if (m_wave)
            ::waveInStop(m_wave);
    }

    LONGLONG QueuedBytes()
    {
        CDsAutoLock lock(&m_deviceLock);
        LONGLONG queued = 0;
        for (size_t i = 0; i < m_headers.size(); ++i)
            if (m_headers[i].dwFlags & WHDR_DONE)
                queued += m_headers[i].dwBytesRecorded - ((int)i == m_next ? m_taken : 0);
        return queued;
    }

    UINT m_device;
    WAVEFORMATEX m_format;
    // Read by GetRecordedBytes on other threads: whole 64-bit accesses only.
    volatile LONGLONG m_bytes;

private:
    DWORD BufferBytes() const
    {
        DWORD bytes = m_format.nAvgBytesPerSec / 10;
        bytes -= bytes % m_format.nBlockAlign;
        return bytes ? bytes : m_format.nBlockAlign;
    }
    HRESULT OpenDevice();
    void CloseDevice();

    CDsLock m_deviceLock;   // the buffer list against QueuedBytes
    HWAVEIN m_wave;
    HANDLE m_event;
    std::vector<WAVEHDR> m_headers;
    std::vector<std::vector<char>> m_buffers;
    int m_next;              // the header whose data comes next
    DWORD m_taken;           // bytes of it already delivered
    // The stream time of the first byte delivered since the device opened.
    // The device starts recording some time after the graph runs (under
    // Wine more than a second): the sound is placed where it was recorded,
    // not at the run's start, so that it stays in step with the pictures.
    REFERENCE_TIME m_anchor;
    bool m_anchored;
};

class CWaveInSource : public CFilterBase, public IXrvWaveInConfig {
public:
    CWaveInSource() : CFilterBase(CLSID_XrvWaveInSource) { AddPin(m_pin = new CWaveInPin(this)); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv && IsEqualIID(riid, IID_IXrvWaveInConfig)) {
            *ppv = static_cast<IXrvWaveInConfig*>(this);
            AddRef();
            return S_OK;
        }
        return CFilterBase::QueryInterface(riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return CFilterBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return CFilterBase::Release(); }

    STDMETHODIMP SetDevice(UINT device) override
    {
        CDsAutoLock lock(FilterLock());
        if (State() != State_Stopped)
            return VFW_E_NOT_STOPPED;
        m_pin->m_device = device;
        return S_OK;
    }
    STDMETHODIMP SetFormat(const WAVEFORMATEX* format) override
    {
        if (!format)
            return E_POINTER;
        if (format->wFormatTag != WAVE_FORMAT_PCM || (format->wBitsPerSample != 8 && format->wBitsPerSample != 16) ||
            format->nChannels < 1 || format->nChannels > 2 || format->nSamplesPerSec < 1000 ||
            format->nSamplesPerSec > 192000)
            return E_INVALIDARG;
        CDsAutoLock lock(FilterLock());
        if (m_pin->IsConnected())
            return VFW_E_ALREADY_CONNECTED;
        WAVEFORMATEX f = *format;
        f.nBlockAlign = (WORD)(f.nChannels * f.wBitsPerSample / 8);
        f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
        f.cbSize = 0;
        m_pin->m_format = f;
        return S_OK;
    }
    STDMETHODIMP GetRecordedBytes(LONGLONG* bytes) override
    {
        if (!bytes)
            return E_POINTER;
        *bytes = ::InterlockedCompareExchange64(&m_pin->m_bytes, 0, 0);
        return S_OK;
    }

    STDMETHODIMP GetQueuedBytes(LONGLONG* bytes) override
    {
        if (!bytes)
            return E_POINTER;
        *bytes = m_pin->QueuedBytes();
        return S_OK;
    }

protected:
    // Capturing follows Run and Pause; the device opens when the pin goes
    // active and closes when it goes inactive.
    HRESULT OnRun(REFERENCE_TIME) override { return m_pin->IsConnected() ? m_pin->StartDevice() : S_OK; }
    HRESULT OnPause(FILTER_STATE from) override
    {
        if (from == State_Running)
            m_pin->StopDevice();
        return S_OK;
    }

private:
    CWaveInPin* m_pin;
};

CWaveInPin::CWaveInPin(CWaveInSource* owner)
    : CSourceStreamPin(owner, L"Capture"), m_device(WAVE_MAPPER), m_bytes(0), m_wave(NULL), m_event(NULL), m_next(0),
      m_taken(0), m_anchor(0), m_anchored(false)
{
    m_format.wFormatTag = WAVE_FORMAT_PCM;
    m_format.nChannels = 1;
    m_format.nSamplesPerSec = 22050;
    m_format.wBitsPerSample = 16;
    m_format.nBlockAlign = 2;
    m_format.nAvgBytesPerSec = 44100;
    m_format.cbSize = 0;
}

HRESULT CWaveInPin::CheckMediaType(const AM_MEDIA_TYPE* mt)
{
    if (!IsEqualGUID(mt->majortype, MEDIATYPE_Audio) || !IsEqualGUID(mt->formattype, FORMAT_WaveFormatEx) ||
        !mt->pbFormat || mt->cbFormat < sizeof(PCMWAVEFORMAT))
        return S_FALSE;
    const WAVEFORMATEX* f = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
    return f->wFormatTag == m_format.wFormatTag && f->nChannels == m_format.nChannels &&
                   f->nSamplesPerSec == m_format.nSamplesPerSec && f->wBitsPerSample == m_format.wBitsPerSample
               ? S_OK
               : S_FALSE;
}

HRESULT CWaveInPin::GetMediaType(int index, AM_MEDIA_TYPE* mt)
{
    if (index != 0)
        return VFW_S_NO_MORE_ITEMS;
    ZeroMemory(mt, sizeof(*mt));
    WAVEFORMATEX* f = (WAVEFORMATEX*)::CoTaskMemAlloc(sizeof(WAVEFORMATEX));
    if (!f)
        return E_OUTOFMEMORY;
    *f = m_format;
    mt->majortype = MEDIATYPE_Audio;
    mt->subtype = MEDIASUBTYPE_PCM;
    mt->bFixedSizeSamples = TRUE;
    mt->lSampleSize = m_format.nBlockAlign;
    mt->formattype = FORMAT_WaveFormatEx;
    mt->cbFormat = sizeof(WAVEFORMATEX);
    mt->pbFormat = (BYTE*)f;
    return S_OK;
}

HRESULT CWaveInPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request)
{
    if (request->cBuffers < 4)
        request->cBuffers = 4;
    if (request->cbBuffer < (long)BufferBytes())
        request->cbBuffer = (long)BufferBytes();
    if (request->cbAlign < 1)
        request->cbAlign = 1;
    ALLOCATOR_PROPERTIES actual;
    HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr))
        return hr;
    return actual.cbBuffer >= (long)m_format.nBlockAlign ? S_OK : E_FAIL;
}

HRESULT CWaveInPin::OpenDevice()
{
    if (m_wave)
        return S_OK;
    ::InterlockedExchange64(&m_bytes, 0);
    m_next = 0;
    m_taken = 0;
    m_anchored = false;
    m_anchor = 0;
    if (!m_event)
        m_event = ::CreateEventA(NULL, FALSE, FALSE, NULL);
    if (!m_event)
        return E_OUTOFMEMORY;
    if (::waveInOpen(&m_wave, m_device, &m_format, (DWORD_PTR)m_event, 0, CALLBACK_EVENT) != MMSYSERR_NOERROR) {
        m_wave = NULL;
        return VFW_E_NO_CAPTURE_HARDWARE;
    }
    m_headers.assign(kDeviceBuffers, WAVEHDR());
    m_buffers.assign(kDeviceBuffers, std::vector<char>(BufferBytes()));
    for (int i = 0; i < kDeviceBuffers; ++i) {
        WAVEHDR& h = m_headers[i];
        ZeroMemory(&h, sizeof(h));
        h.lpData = m_buffers[i].data();
        h.dwBufferLength = BufferBytes();
        if (::waveInPrepareHeader(m_wave, &h, sizeof(h)) != MMSYSERR_NOERROR ||
            ::waveInAddBuffer(m_wave, &h, sizeof(h)) != MMSYSERR_NOERROR) {
            CloseDevice();
            return E_FAIL;
        }
    }
    return S_OK;
}

void CWaveInPin::CloseDevice()
{
    CDsAutoLock lock(&m_deviceLock);
    if (m_wave) {
        ::waveInReset(m_wave);
        for (WAVEHDR& h : m_headers)
            if (h.dwFlags & WHDR_PREPARED)
                ::waveInUnprepareHeader(m_wave, &h, sizeof(h));
        ::waveInClose(m_wave);
        m_wave = NULL;
    }
    m_headers.clear();
    m_buffers.clear();
    if (m_event) {
        ::CloseHandle(m_event);
        m_event = NULL;
    }
}

// The thread ends first (it waits in short steps and sees the stop), then
// the device closes.
HRESULT CWaveInPin::Inactive()
{
    HRESULT hr = CSourceStreamPin::Inactive();
    CloseDevice();
    return hr;
}

// The next recorded bytes, in order of the device's buffers; waits for the
// device while it has none ready.
HRESULT CWaveInPin::FillBuffer(IMediaSample* sample)
{
    BYTE* out = NULL;
    HRESULT hr = sample->GetPointer(&out);
    if (FAILED(hr))
        return hr;
    long room = sample->GetSize();
    room -= room % m_format.nBlockAlign;
    if (room <= 0)
        return E_FAIL;
    for (;;) {
        if (StopRequested())
            return S_FALSE;
        long part = 0;
        {
            CDsAutoLock lock(&m_deviceLock);
            if (!m_wave)
                return E_UNEXPECTED;
            WAVEHDR& h = m_headers[m_next];
            if (h.dwFlags & WHDR_DONE) {
                const DWORD left = h.dwBytesRecorded > m_taken ? h.dwBytesRecorded - m_taken : 0;
                part = (long)left < room ? (long)left : room;
                if (part > 0) {
                    memcpy(out, h.lpData + m_taken, part);
                    m_taken += part;
                }
                if (m_taken >= h.dwBytesRecorded) {
                    // The buffer goes back to the device.
                    h.dwFlags &= ~WHDR_DONE;
                    h.dwBytesRecorded = 0;
                    ::waveInAddBuffer(m_wave, &h, sizeof(h));
                    m_next = (m_next + 1) % kDeviceBuffers;
                    m_taken = 0;
                }
                if (part <= 0)
                    continue;
            }
        }
        if (part <= 0) {
            ::WaitForSingleObject(m_event, 50);
            continue;
        }
        const LONGLONG at = ::InterlockedCompareExchange64(&m_bytes, 0, 0);
        const LONGLONG rate = m_format.nAvgBytesPerSec;
        if (!m_anchored) {
            // The first buffer ends about now: it began one buffer earlier.
            m_anchored = true;
            CFilterBase* filter = Filter();
            REFERENCE_TIME now = 0;
            if (filter && filter->Clock() && filter->State() == State_Running &&
                SUCCEEDED(filter->Clock()->GetTime(&now))) {
                const REFERENCE_TIME begun = now - filter->StartTime() - (REFERENCE_TIME)BufferBytes() * 10000000 / rate;
                m_anchor = begun > 0 ? begun : 0;
            }
        }
        REFERENCE_TIME start = m_anchor + at / rate * 10000000 + at % rate * 10000000 / rate;
        REFERENCE_TIME stop = m_anchor + (at + part) / rate * 10000000 + (at + part) % rate * 10000000 / rate;
        sample->SetActualDataLength(part);
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        ::InterlockedExchange64(&m_bytes, at + part);
        SetDelivered(stop);
        return S_OK;
    }
}

}  // namespace

HRESULT DsCreateWaveInSource(REFIID riid, void** ppv)
{
    return DsCreateFilterObject(new (std::nothrow) CWaveInSource(), riid, ppv);
}

UINT DsWaveInDeviceNamed(LPCWSTR name)
{
    if (!name || !*name)
        return WAVE_MAPPER;
    const UINT count = ::waveInGetNumDevs();
    for (UINT i = 0; i < count; ++i) {
        WAVEINCAPSW caps;
        if (::waveInGetDevCapsW(i, &caps, sizeof(caps)) == MMSYSERR_NOERROR && _wcsicmp(caps.szPname, name) == 0)
            return i;
    }
    return WAVE_MAPPER;
}
