// The push source: a sound source whose data the recorder engine pushes in
// from its wave thread. Push copies into a queue and returns at once; the
// pin's own thread delivers the queue downstream, each sample stamped from
// the bytes delivered before it, so a shortened buffer shortens its time.
#include "platform/camkit/CamKit.h"
#include "platform/filters/FilterBase.h"

#include <deque>
#include <vector>

extern "C" const CLSID CLSID_XrvPushSource = {0x7d0c2b10, 0x5a3e, 0x4f61, {0x9b, 0x42, 0x1c, 0x83, 0x6e, 0x20, 0x51, 0x03}};
extern "C" const IID IID_IXrvPushSource = {0x7d0c2b10, 0x5a3e, 0x4f61, {0x9b, 0x42, 0x1c, 0x83, 0x6e, 0x20, 0x51, 0x13}};

namespace {

// More than this much queued sound means downstream has stopped taking it.
const LONGLONG kMaxQueuedSeconds = 60;

class CPushPin : public COutputPinBase, public IXrvPushSource {
public:
    explicit CPushPin(CFilterBase* filter) : COutputPinBase(filter, L"Output")
    {
        m_format.wFormatTag = WAVE_FORMAT_PCM;
        m_format.nChannels = 1;
        m_format.nSamplesPerSec = 22050;
        m_format.wBitsPerSample = 16;
        m_format.nBlockAlign = 2;
        m_format.nAvgBytesPerSec = 44100;
        m_format.cbSize = 0;
        m_wake = CreateEventW(NULL, FALSE, FALSE, NULL);
    }
    ~CPushPin() override
    {
        StopThread();
        CloseHandle(m_wake);
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv && riid == IID_IXrvPushSource) {
            *ppv = static_cast<IXrvPushSource*>(this);
            AddRef();
            return S_OK;
        }
        return COutputPinBase::QueryInterface(riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return COutputPinBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return COutputPinBase::Release(); }

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override
    {
        CDsMediaType own;
        MakeType(&own);
        return mt && mt->majortype == MEDIATYPE_Audio && mt->subtype == own.subtype &&
                       mt->formattype == FORMAT_WaveFormatEx && mt->cbFormat >= sizeof(WAVEFORMATEX) - 2 &&
                       mt->pbFormat && memcmp(mt->pbFormat, &m_format, sizeof(WAVEFORMATEX) - 2) == 0
                   ? S_OK
                   : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT GetMediaType(int index, AM_MEDIA_TYPE* mt) override
    {
        if (index < 0)
            return E_INVALIDARG;
        if (index > 0)
            return VFW_S_NO_MORE_ITEMS;
        CDsMediaType own;
        MakeType(&own);
        return DsCopyMediaType(mt, &own);
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override
    {
        request->cBuffers = request->cBuffers > 4 ? request->cBuffers : 4;
        const long size = SampleBytes();
        request->cbBuffer = size > request->cbBuffer ? size : request->cbBuffer;
        request->cbAlign = request->cbAlign > 0 ? request->cbAlign : 1;
        ALLOCATOR_PROPERTIES actual;
        HRESULT hr = allocator->SetProperties(request, &actual);
        if (FAILED(hr))
            return hr;
        return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
    }
    HRESULT Active() override
    {
        if (!IsConnected())
            return S_OK;
        HRESULT hr = COutputPinBase::Active();
        if (FAILED(hr))
            return hr;
        m_stop = FALSE;
        m_thread = CreateThread(NULL, 0, ThreadProc, this, 0, NULL);
        return m_thread ? S_OK : HRESULT_FROM_WIN32(GetLastError());
    }
    HRESULT Inactive() override
    {
        InterlockedExchange(&m_open, 0);
        m_stop = TRUE;
        SetEvent(m_wake);
        // Decommitting wakes the thread if it waits for a buffer.
        COutputPinBase::Inactive();
        StopThread();
        CDsAutoLock lock(&m_queueLock);
        m_queue.clear();
        return S_OK;
    }

    // IXrvPushSource
    STDMETHODIMP SetFormat(const WAVEFORMATEX* format) override
    {
        if (!format)
            return E_POINTER;
        if (format->wFormatTag != WAVE_FORMAT_PCM || !format->nChannels || !format->nSamplesPerSec ||
            !format->nBlockAlign || format->nAvgBytesPerSec != format->nSamplesPerSec * format->nBlockAlign)
            return E_INVALIDARG;
        if (IsConnected())
            return VFW_E_ALREADY_CONNECTED;
        m_format = *format;
        m_format.cbSize = 0;
        return S_OK;
    }
    STDMETHODIMP GetFormat(WAVEFORMATEX* format) override
    {
        if (!format)
            return E_POINTER;
        *format = m_format;
        return S_OK;
    }
    STDMETHODIMP Push(const BYTE* data, LONG length) override
    {
        if (length < 0 || (!data && length))
            return E_INVALIDARG;
        if (!InterlockedCompareExchange(&m_open, 0, 0) || Filter()->State() == State_Stopped || !IsConnected())
            return S_FALSE;
        if (length == 0)
            return S_OK;
        {
            CDsAutoLock lock(&m_queueLock);
            if (m_queuedBytes - m_deliveredBytes + length > kMaxQueuedSeconds * (LONGLONG)m_format.nAvgBytesPerSec)
                return S_FALSE;
            m_queue.emplace_back(data, data + length);
            m_queuedBytes += length;
        }
        SetEvent(m_wake);
        return S_OK;
    }
    STDMETHODIMP EndStream() override
    {
        {
            CDsAutoLock lock(&m_queueLock);
            if (!InterlockedExchange(&m_open, 0))
                return S_FALSE;
            m_queue.emplace_back();   // the empty chunk ends the stream
        }
        SetEvent(m_wake);
        return S_OK;
    }
    STDMETHODIMP StartStream() override
    {
        CDsAutoLock lock(&m_queueLock);
        m_queue.clear();
        m_queuedBytes = 0;
        m_deliveredBytes = 0;
        InterlockedExchange(&m_open, 1);
        return S_OK;
    }
    STDMETHODIMP GetCounts(LONGLONG* queued, LONGLONG* delivered) override
    {
        if (!queued || !delivered)
            return E_POINTER;
        CDsAutoLock lock(&m_queueLock);
        *queued = m_queuedBytes;
        *delivered = m_deliveredBytes;
        return S_OK;
    }
    STDMETHODIMP SetBuffersPerSecond(double rate) override
    {
        if (!(rate >= 0.5 && rate <= 1000.0))
            return E_INVALIDARG;
        m_buffersPerSecond = rate;
        return S_OK;
    }

private:
    void MakeType(CDsMediaType* mt) const
    {
        AM_MEDIA_TYPE t;
        memset(&t, 0, sizeof(t));
        t.majortype = MEDIATYPE_Audio;
        t.subtype = MEDIASUBTYPE_PCM;
        t.bFixedSizeSamples = TRUE;
        t.lSampleSize = m_format.nBlockAlign;
        t.formattype = FORMAT_WaveFormatEx;
        WAVEFORMATEX wf = m_format;
        wf.cbSize = 0;
        t.cbFormat = sizeof(wf);
        t.pbFormat = (BYTE*)&wf;
        mt->Set(&t);
    }
    // One sample's bytes: a second divided by the buffers per second, in
    // whole blocks.
    long SampleBytes() const
    {
        const long align = m_format.nBlockAlign ? m_format.nBlockAlign : 1;
        long bytes = (long)(m_format.nAvgBytesPerSec / m_buffersPerSecond);
        bytes = (bytes + align - 1) / align * align;
        return bytes > align ? bytes : align;
    }
    // The time of a byte position in 100-ns units, exact in integers.
    REFERENCE_TIME TimeOf(LONGLONG bytes) const
    {
        return m_format.nAvgBytesPerSec ? bytes * 10000000 / m_format.nAvgBytesPerSec : 0;
    }
    void StopThread()
    {
        if (m_thread) {
            WaitForSingleObject(m_thread, INFINITE);
            CloseHandle(m_thread);
            m_thread = NULL;
        }
    }
    static DWORD WINAPI ThreadProc(void* param)
    {
        static_cast<CPushPin*>(param)->Stream();
        return 0;
    }
    void Stream()
    {
        for (;;) {
            std::vector<BYTE> chunk;
            bool have = false;
            {
                CDsAutoLock lock(&m_queueLock);
                if (!m_queue.empty()) {
                    chunk.swap(m_queue.front());
                    m_queue.pop_front();
                    have = true;
                }
            }
            if (m_stop)
                return;
            if (!have) {
                WaitForSingleObject(m_wake, 200);
                continue;
            }
            if (chunk.empty()) {
                DeliverEndOfStream();
                continue;
            }
            size_t at = 0;
            while (at < chunk.size()) {
                IMediaSample* sample = NULL;
                if (FAILED(GetDeliveryBuffer(&sample, NULL, NULL, 0)))
                    return;   // decommitted: stopping
                BYTE* dst = NULL;
                sample->GetPointer(&dst);
                const long room = sample->GetSize() / m_format.nBlockAlign * m_format.nBlockAlign;
                long n = (long)(chunk.size() - at);
                if (n > room)
                    n = room;
                CopyMemory(dst, chunk.data() + at, n);
                sample->SetActualDataLength(n);
                REFERENCE_TIME start = TimeOf(m_deliveredBytes), stop = TimeOf(m_deliveredBytes + n);
                sample->SetTime(&start, &stop);
                sample->SetSyncPoint(TRUE);
                HRESULT hr = Deliver(sample);
                sample->Release();
                {
                    CDsAutoLock lock(&m_queueLock);
                    m_deliveredBytes += n;
                }
                at += n;
                if (hr != S_OK || m_stop)
                    break;
            }
        }
    }

    WAVEFORMATEX m_format = {};
    double m_buffersPerSecond = 2.0;
    CDsLock m_queueLock;
    std::deque<std::vector<BYTE>> m_queue;
    LONGLONG m_queuedBytes = 0;
    LONGLONG m_deliveredBytes = 0;
    volatile LONG m_open = 0;
    volatile BOOL m_stop = FALSE;
    HANDLE m_wake = NULL;
    HANDLE m_thread = NULL;
};

class CPushSource : public CFilterBase {
public:
    CPushSource() : CFilterBase(CLSID_XrvPushSource)
    {
        m_pin = new CPushPin(this);
        AddPin(m_pin);
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv && riid == IID_IXrvPushSource)
            return m_pin->QueryInterface(riid, ppv);
        return CFilterBase::QueryInterface(riid, ppv);
    }
    // A live source: nothing to cue while paused.
    STDMETHODIMP GetState(DWORD timeout, FILTER_STATE* state) override
    {
        HRESULT hr = CFilterBase::GetState(timeout, state);
        return SUCCEEDED(hr) && state && *state == State_Paused ? VFW_S_CANT_CUE : hr;
    }

private:
    CPushPin* m_pin;
};

}  // namespace

HRESULT CreatePushSourceFilter(REFIID riid, void** ppv)
{
    return DsCreateFilterObject(new CPushSource(), riid, ppv);
}
