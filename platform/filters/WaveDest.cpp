#include "platform/filters/WaveDest.h"
#include "platform/filters/SeekingPassThrough.h"

#include <initguid.h>
#include <new>

DEFINE_GUID(CLSID_XrvWaveDest, 0x31ad8e0f, 0x8630, 0x4e54, 0xa8, 0x5f, 0xf8, 0xdd, 0x93, 0x43, 0xd7, 0x6a);
DEFINE_GUID(IID_IXrvWaveDestPosition, 0x811d241d, 0x4199, 0x474c, 0xb1, 0x9a, 0x94, 0x17, 0x35, 0xd3, 0x06, 0x79);

namespace {

const long kBufferSize = 65536;

void PutTag(std::vector<BYTE>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

void PutDword(std::vector<BYTE>& out, DWORD value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back((BYTE)(value >> (8 * i)));
}

} // namespace

std::vector<BYTE> DsWaveHeader(const WAVEFORMATEX* format, DWORD formatSize, ULONGLONG dataBytes)
{
    std::vector<BYTE> out;
    if (!format || formatSize < sizeof(PCMWAVEFORMAT) || format->nBlockAlign == 0)
        return out;
    DWORD fmtBytes = sizeof(PCMWAVEFORMAT);
    if (format->wFormatTag != WAVE_FORMAT_PCM) {
        if (formatSize < sizeof(WAVEFORMATEX))
            return out;
        fmtBytes = sizeof(WAVEFORMATEX) + format->cbSize;
        if (fmtBytes > formatSize)
            return out;
    }
    DWORD fmtPadded = fmtBytes + (fmtBytes & 1);
    ULONGLONG riff = 4 + 8 + fmtPadded + 8 + dataBytes + (dataBytes & 1);
    if (riff > 0xFFFFFFF0ull)
        return out;
    PutTag(out, "RIFF");
    PutDword(out, (DWORD)riff);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    PutDword(out, fmtBytes);
    const BYTE* fmt = reinterpret_cast<const BYTE*>(format);
    out.insert(out.end(), fmt, fmt + fmtBytes);
    if (fmtBytes & 1)
        out.push_back(0);
    PutTag(out, "data");
    PutDword(out, (DWORD)dataBytes);
    return out;
}

namespace {

class CWaveDest;

class CWaveDestInput : public CInputPinBase {
public:
    CWaveDestInput(CWaveDest* owner);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override;
    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;
    HRESULT OnBeginFlush() override;
    HRESULT OnEndFlush() override;
    HRESULT OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

private:
    CWaveDest* m_owner;
};

// Seeking through the output goes upstream, but the current position is
// the sound written so far.
class CWaveDestSeeking : public CSeekingPassThrough {
public:
    CWaveDestSeeking(CWaveDest* owner, CInputPinBase* input);
    STDMETHODIMP GetCurrentPosition(LONGLONG* pCurrent) override;

private:
    CWaveDest* m_owner;
};

class CWaveDestOutput : public COutputPinBase {
public:
    CWaveDestOutput(CWaveDest* owner);
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override;
    HRESULT GetMediaType(int index, AM_MEDIA_TYPE* mt) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

private:
    CWaveDestSeeking m_seeking;
};

class CWaveDest : public CFilterBase, public IXrvWaveDestPosition {
public:
    CWaveDest() : CFilterBase(CLSID_XrvWaveDest), m_dataBytes(0)
    {
        AddPin(m_input = new CWaveDestInput(this));
        AddPin(m_output = new CWaveDestOutput(this));
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv && IsEqualIID(riid, IID_IXrvWaveDestPosition)) {
            *ppv = static_cast<IXrvWaveDestPosition*>(this);
            AddRef();
            return S_OK;
        }
        return CFilterBase::QueryInterface(riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return CFilterBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return CFilterBase::Release(); }

    STDMETHODIMP GetPosition(LONGLONG* position) override
    {
        if (!position)
            return E_POINTER;
        *position = 0;
        const WAVEFORMATEX* format = Format();
        if (!format || format->nAvgBytesPerSec == 0)
            return S_OK;
        LONGLONG bytes = m_dataBytes;
        *position = bytes / format->nAvgBytesPerSec * 10000000 +
                    bytes % format->nAvgBytesPerSec * 10000000 / format->nAvgBytesPerSec;
        return S_OK;
    }

    const WAVEFORMATEX* Format() const
    {
        const AM_MEDIA_TYPE& mt = m_input->CurrentMediaType();
        if (!m_input->IsConnected() || mt.cbFormat < sizeof(PCMWAVEFORMAT) || !mt.pbFormat)
            return NULL;
        return reinterpret_cast<const WAVEFORMATEX*>(mt.pbFormat);
    }

    // Sends `size` bytes at byte offset `offset` of the output stream.
    HRESULT Send(const BYTE* data, long size, LONGLONG offset)
    {
        while (size > 0) {
            IMediaSample* sample = NULL;
            HRESULT hr = m_output->GetDeliveryBuffer(&sample, NULL, NULL, 0);
            if (FAILED(hr))
                return hr;
            BYTE* buffer = NULL;
            sample->GetPointer(&buffer);
            long part = size < sample->GetSize() ? size : sample->GetSize();
            CopyMemory(buffer, data, part);
            sample->SetActualDataLength(part);
            REFERENCE_TIME start = offset, stop = offset + part;
            sample->SetTime(&start, &stop);
            sample->SetSyncPoint(TRUE);
            hr = m_output->Deliver(sample);
            sample->Release();
            if (hr != S_OK)
                return hr;
            data += part;
            size -= part;
            offset += part;
        }
        return S_OK;
    }

    HRESULT SendHeader()
    {
        const AM_MEDIA_TYPE& mt = m_input->CurrentMediaType();
        std::vector<BYTE> header = DsWaveHeader(Format(), mt.cbFormat, (ULONGLONG)m_dataBytes);
        if (header.empty())
            return E_FAIL;
        m_headerBytes = (LONG)header.size();
        return Send(header.data(), (long)header.size(), 0);
    }

    HRESULT Receive(IMediaSample* sample)
    {
        if (!m_output->IsConnected())
            return VFW_E_NOT_CONNECTED;
        HRESULT hr = S_OK;
        if (!m_headerSent) {
            hr = SendHeader();
            if (FAILED(hr))
                return Abort(hr);
            m_headerSent = TRUE;
        }
        BYTE* data = NULL;
        hr = sample->GetPointer(&data);
        if (FAILED(hr))
            return hr;
        long length = sample->GetActualDataLength();
        if (length <= 0)
            return S_OK;
        // A WAVE file's sizes are 32-bit: stop with an error rather than
        // write a header that lies about the length.
        if ((ULONGLONG)m_dataBytes + (ULONGLONG)length + (ULONGLONG)m_headerBytes + 2 > 0xFFFFFFF0ull)
            return Abort(HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE));
        hr = Send(data, length, m_headerBytes + m_dataBytes);
        if (hr == S_OK)
            m_dataBytes = m_dataBytes + length;
        return hr;
    }

    HRESULT Abort(HRESULT hr)
    {
        NotifyEvent(EC_ERRORABORT, hr, 0);
        return hr;
    }

    HRESULT EndOfStream()
    {
        if (m_output->IsConnected()) {
            // The header with the final sizes, and the pad byte of odd data.
            HRESULT hr = SendHeader();
            if (SUCCEEDED(hr) && (m_dataBytes & 1)) {
                BYTE pad = 0;
                hr = Send(&pad, 1, m_headerBytes + m_dataBytes);
            }
            if (FAILED(hr))
                Abort(hr);
            m_headerSent = TRUE;
        }
        return m_output->DeliverEndOfStream();
    }

    void Restart()
    {
        m_dataBytes = 0;
        m_headerSent = FALSE;
        m_headerBytes = 0;
    }

    CWaveDestInput* m_input;
    CWaveDestOutput* m_output;
    volatile LONGLONG m_dataBytes;
    BOOL m_headerSent = FALSE;
    LONG m_headerBytes = 0;

protected:
    HRESULT OnPause(FILTER_STATE from) override
    {
        if (from == State_Stopped)
            Restart();
        return S_OK;
    }
};

CWaveDestInput::CWaveDestInput(CWaveDest* owner) : CInputPinBase(owner, L"In"), m_owner(owner) {}

HRESULT CWaveDestInput::CheckMediaType(const AM_MEDIA_TYPE* mt)
{
    if (!IsEqualGUID(mt->majortype, MEDIATYPE_Audio) || !IsEqualGUID(mt->formattype, FORMAT_WaveFormatEx) ||
        !mt->pbFormat || mt->cbFormat < sizeof(PCMWAVEFORMAT))
        return S_FALSE;
    const WAVEFORMATEX* format = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
    if (format->nBlockAlign == 0 || format->nAvgBytesPerSec == 0)
        return S_FALSE;
    return DsWaveHeader(format, mt->cbFormat, 0).empty() ? S_FALSE : S_OK;
}

HRESULT CWaveDestInput::OnReceive(IMediaSample* sample) { return m_owner->Receive(sample); }

HRESULT CWaveDestInput::OnEndOfStream() { return m_owner->EndOfStream(); }

HRESULT CWaveDestInput::OnBeginFlush() { return m_owner->m_output->DeliverBeginFlush(); }

// A seek starts the file again: the stream restarts at its new position.
HRESULT CWaveDestInput::OnEndFlush()
{
    m_owner->Restart();
    return m_owner->m_output->DeliverEndFlush();
}

HRESULT CWaveDestInput::OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    return m_owner->m_output->DeliverNewSegment(start, stop, rate);
}

CWaveDestSeeking::CWaveDestSeeking(CWaveDest* owner, CInputPinBase* input)
    : CSeekingPassThrough(static_cast<IBaseFilter*>(owner), input), m_owner(owner)
{
}

STDMETHODIMP CWaveDestSeeking::GetCurrentPosition(LONGLONG* pCurrent) { return m_owner->GetPosition(pCurrent); }

CWaveDestOutput::CWaveDestOutput(CWaveDest* owner) : COutputPinBase(owner, L"Out"), m_seeking(owner, owner->m_input) {}

STDMETHODIMP CWaveDestOutput::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv && IsEqualIID(riid, IID_IMediaSeeking)) {
        *ppv = static_cast<IMediaSeeking*>(&m_seeking);
        AddRef();
        return S_OK;
    }
    return COutputPinBase::QueryInterface(riid, ppv);
}

HRESULT CWaveDestOutput::CheckMediaType(const AM_MEDIA_TYPE* mt)
{
    if (!IsEqualGUID(mt->majortype, MEDIATYPE_Stream))
        return S_FALSE;
    if (!IsEqualGUID(mt->subtype, MEDIASUBTYPE_WAVE) && !IsEqualGUID(mt->subtype, GUID_NULL))
        return S_FALSE;
    return S_OK;
}

HRESULT CWaveDestOutput::GetMediaType(int index, AM_MEDIA_TYPE* mt)
{
    if (index != 0)
        return VFW_S_NO_MORE_ITEMS;
    ZeroMemory(mt, sizeof(*mt));
    mt->majortype = MEDIATYPE_Stream;
    mt->subtype = MEDIASUBTYPE_WAVE;
    mt->bFixedSizeSamples = FALSE;
    mt->lSampleSize = 1;
    mt->formattype = FORMAT_None;
    return S_OK;
}

HRESULT CWaveDestOutput::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request)
{
    if (request->cBuffers < 4)
        request->cBuffers = 4;
    if (request->cbBuffer < kBufferSize)
        request->cbBuffer = kBufferSize;
    if (request->cbAlign < 1)
        request->cbAlign = 1;
    ALLOCATOR_PROPERTIES actual;
    HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr))
        return hr;
    return actual.cbBuffer >= 1024 ? S_OK : E_FAIL;
}

} // namespace

HRESULT DsCreateWaveDest(REFIID riid, void** ppv)
{
    return DsCreateFilterObject(new (std::nothrow) CWaveDest(), riid, ppv);
}
