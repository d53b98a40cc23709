#include "platform/dex/MediaSourceFilter.h"
#include "platform/filters/SourceStream.h"

#include <initguid.h>
#include <new>

// Our media source for AVI and WAV files: {B7C5D3A1-6E2F-4C8B-9A47-1D2E3F405162}.
DEFINE_GUID(CLSID_XrvMediaSource, 0xb7c5d3a1, 0x6e2f, 0x4c8b, 0x9a, 0x47, 0x1d, 0x2e, 0x3f, 0x40, 0x51, 0x62);
DEFINE_GUID(CLSID_XrvImageSource, 0x31ad8e04, 0x8630, 0x4e54, 0xa8, 0x5f, 0xf8, 0xdd, 0x93, 0x43, 0xd7, 0x6a);
DEFINE_GUID(CLSID_XrvPackageSource, 0x31ad8e00, 0x8630, 0x4e54, 0xa8, 0x5f, 0xf8, 0xdd, 0x93, 0x43, 0xd7, 0x6a);

namespace {

const int kAudioChunksPerSecond = 10;

class CVideoPin : public CSourceStreamPin {
public:
    CVideoPin(CMediaSourceFilter* owner, int stream)
        : CSourceStreamPin(owner, L"Video"), m_owner(owner), m_stream(stream), m_next(0), m_first(0)
    {
    }
    const MediaStreamInfo& Info() const { return m_owner->Reader()->Stream(m_stream); }
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override
    {
        CDsMediaType ours;
        if (FAILED(MediaTypeOfStream(Info(), &ours)))
            return E_FAIL;
        return DsMediaTypeEquals(mt, &ours) ? S_OK : S_FALSE;
    }
    HRESULT GetMediaType(int index, AM_MEDIA_TYPE* mt) override
    {
        if (index != 0)
            return VFW_S_NO_MORE_ITEMS;
        return MediaTypeOfStream(Info(), mt);
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override
    {
        request->cBuffers = request->cBuffers < 3 ? 3 : request->cBuffers;
        long bytes = (long)(Info().width * Info().height * 4);
        request->cbBuffer = request->cbBuffer < bytes ? bytes : request->cbBuffer;
        request->cbAlign = request->cbAlign < 1 ? 1 : request->cbAlign;
        ALLOCATOR_PROPERTIES actual;
        HRESULT hr = allocator->SetProperties(request, &actual);
        if (FAILED(hr))
            return hr;
        return actual.cbBuffer < bytes ? E_FAIL : S_OK;
    }
    // The frame that holds the position comes first; its time starts at 0.
    HRESULT OnSeek(REFERENCE_TIME start) override
    {
        const MediaStreamInfo& s = Info();
        m_first = 0;
        if (!s.still && s.rateNum) {
            LONGLONG n = (LONGLONG)((unsigned long long)start * s.rateNum / ((unsigned long long)s.rateDen * 10000000ULL));
            while (n > 0 && FrameStartTime(n, s.rateNum, s.rateDen) > start)
                --n;
            while (FrameStartTime(n + 1, s.rateNum, s.rateDen) <= start)
                ++n;
            m_first = (LONG)(n < s.frames ? n : s.frames);
        }
        m_next = m_first;
        return S_OK;
    }
    REFERENCE_TIME Duration() override { return Info().still ? 0 : Info().length; }
    HRESULT FillBuffer(IMediaSample* sample) override
    {
        const MediaStreamInfo& s = Info();
        if (m_next >= s.frames)
            return S_FALSE;
        REFERENCE_TIME segStart = SegmentStart();
        REFERENCE_TIME start = FrameStartTime(m_next, s.rateNum, s.rateDen);
        REFERENCE_TIME stop = s.still ? start + 1 : FrameStartTime(m_next + 1, s.rateNum, s.rateDen);
        if (SegmentStop() >= 0 && start >= SegmentStop() && m_next > m_first)
            return S_FALSE;
        BYTE* data = NULL;
        sample->GetPointer(&data);
        {
            CDsAutoLock lock(m_owner->ReaderLock());
            HRESULT hr = m_owner->Reader()->ReadFrame(m_stream, m_next, data);
            if (FAILED(hr))
                return hr;
        }
        sample->SetActualDataLength(s.width * s.height * 4);
        REFERENCE_TIME relStart = start - segStart;
        if (relStart < 0)
            relStart = 0;
        REFERENCE_TIME relStop = stop - segStart;
        sample->SetTime(&relStart, &relStop);
        LONGLONG mStart = m_next, mStop = m_next + 1;
        sample->SetMediaTime(&mStart, &mStop);
        sample->SetSyncPoint(TRUE);
        sample->SetDiscontinuity(m_next == m_first);
        ++m_next;
        SetDelivered(relStop);
        return S_OK;
    }

private:
    CMediaSourceFilter* m_owner;
    int m_stream;
    LONG m_next;
    LONG m_first;
};

class CAudioPin : public CSourceStreamPin {
public:
    CAudioPin(CMediaSourceFilter* owner, int stream)
        : CSourceStreamPin(owner, L"Audio"), m_owner(owner), m_stream(stream), m_next(0), m_first(0)
    {
    }
    const MediaStreamInfo& Info() const { return m_owner->Reader()->Stream(m_stream); }
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override
    {
        CDsMediaType ours;
        if (FAILED(MediaTypeOfStream(Info(), &ours)))
            return E_FAIL;
        return DsMediaTypeEquals(mt, &ours) ? S_OK : S_FALSE;
    }
    HRESULT GetMediaType(int index, AM_MEDIA_TYPE* mt) override
    {
        if (index != 0)
            return VFW_S_NO_MORE_ITEMS;
        return MediaTypeOfStream(Info(), mt);
    }
    LONG ChunkSamples() const
    {
        LONG n = (LONG)(Info().pcm.nSamplesPerSec / kAudioChunksPerSecond);
        return n > 0 ? n : 1;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override
    {
        request->cBuffers = request->cBuffers < 4 ? 4 : request->cBuffers;
        long bytes = ChunkSamples() * Info().pcm.nBlockAlign;
        request->cbBuffer = request->cbBuffer < bytes ? bytes : request->cbBuffer;
        request->cbAlign = request->cbAlign < 1 ? 1 : request->cbAlign;
        ALLOCATOR_PROPERTIES actual;
        HRESULT hr = allocator->SetProperties(request, &actual);
        if (FAILED(hr))
            return hr;
        return actual.cbBuffer < bytes ? E_FAIL : S_OK;
    }
    HRESULT OnSeek(REFERENCE_TIME start) override
    {
        m_first = start * Info().pcm.nSamplesPerSec / 10000000;
        if (m_first > Info().samples)
            m_first = Info().samples;
        m_next = m_first;
        return S_OK;
    }
    REFERENCE_TIME Duration() override { return Info().length; }
    HRESULT FillBuffer(IMediaSample* sample) override
    {
        const MediaStreamInfo& s = Info();
        LONGLONG end = s.samples;
        if (SegmentStop() >= 0) {
            LONGLONG stopSample = SegmentStop() * s.pcm.nSamplesPerSec / 10000000;
            if (stopSample < end)
                end = stopSample;
        }
        if (m_next >= end)
            return S_FALSE;
        LONG count = ChunkSamples();
        if (m_next + count > end)
            count = (LONG)(end - m_next);
        BYTE* data = NULL;
        sample->GetPointer(&data);
        {
            CDsAutoLock lock(m_owner->ReaderLock());
            HRESULT hr = m_owner->Reader()->ReadAudio(m_stream, m_next, count, s.pcm, data);
            if (FAILED(hr))
                return hr;
        }
        sample->SetActualDataLength(count * s.pcm.nBlockAlign);
        REFERENCE_TIME start = (m_next - m_first) * 10000000 / s.pcm.nSamplesPerSec;
        REFERENCE_TIME stop = (m_next + count - m_first) * 10000000 / s.pcm.nSamplesPerSec;
        sample->SetTime(&start, &stop);
        LONGLONG mStart = m_next, mStop = m_next + count;
        sample->SetMediaTime(&mStart, &mStop);
        sample->SetSyncPoint(TRUE);
        sample->SetDiscontinuity(m_next == m_first);
        m_next += count;
        SetDelivered(stop);
        return S_OK;
    }

private:
    CMediaSourceFilter* m_owner;
    int m_stream;
    LONGLONG m_next;
    LONGLONG m_first;
};

} // namespace

HRESULT MediaTypeOfStream(const MediaStreamInfo& s, AM_MEDIA_TYPE* mt)
{
    ZeroMemory(mt, sizeof(*mt));
    if (s.kind == MEDIA_STREAM_VIDEO) {
        VIDEOINFOHEADER* vih = (VIDEOINFOHEADER*)CoTaskMemAlloc(sizeof(VIDEOINFOHEADER));
        if (!vih)
            return E_OUTOFMEMORY;
        ZeroMemory(vih, sizeof(*vih));
        vih->AvgTimePerFrame = s.rateNum ? FrameStartTime(1, s.rateNum, s.rateDen) : 0;
        vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        vih->bmiHeader.biWidth = s.width;
        vih->bmiHeader.biHeight = s.height;
        vih->bmiHeader.biPlanes = 1;
        vih->bmiHeader.biBitCount = 32;
        vih->bmiHeader.biCompression = BI_RGB;
        vih->bmiHeader.biSizeImage = (DWORD)(s.width * s.height * 4);
        mt->majortype = MEDIATYPE_Video;
        mt->subtype = MEDIASUBTYPE_RGB32;
        mt->formattype = FORMAT_VideoInfo;
        mt->bFixedSizeSamples = TRUE;
        mt->lSampleSize = (ULONG)vih->bmiHeader.biSizeImage;
        mt->cbFormat = sizeof(VIDEOINFOHEADER);
        mt->pbFormat = (BYTE*)vih;
        return S_OK;
    }
    WAVEFORMATEX* wfx = (WAVEFORMATEX*)CoTaskMemAlloc(sizeof(WAVEFORMATEX));
    if (!wfx)
        return E_OUTOFMEMORY;
    *wfx = s.pcm;
    wfx->cbSize = 0;
    mt->majortype = MEDIATYPE_Audio;
    mt->subtype = MEDIASUBTYPE_PCM;
    mt->formattype = FORMAT_WaveFormatEx;
    mt->bFixedSizeSamples = TRUE;
    mt->lSampleSize = wfx->nBlockAlign;
    mt->cbFormat = sizeof(WAVEFORMATEX);
    mt->pbFormat = (BYTE*)wfx;
    return S_OK;
}

CMediaSourceFilter::CMediaSourceFilter(REFCLSID clsid) : CFilterBase(clsid) {}

STDMETHODIMP CMediaSourceFilter::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv && IsEqualIID(riid, IID_IFileSourceFilter)) {
        *ppv = static_cast<IFileSourceFilter*>(this);
        AddRef();
        return S_OK;
    }
    return CFilterBase::QueryInterface(riid, ppv);
}

// One load per filter: the pins are made from the reader's streams.
STDMETHODIMP CMediaSourceFilter::Load(LPCOLESTR pszFileName, const AM_MEDIA_TYPE*)
{
    if (!pszFileName)
        return E_POINTER;
    CDsAutoLock lock(&m_filterLock);
    if (m_reader)
        return E_UNEXPECTED;
    std::unique_ptr<CMediaReader> reader;
    HRESULT hr = OpenMediaReader(pszFileName, &reader);
    if (FAILED(hr))
        return hr;
    m_reader = std::move(reader);
    m_file = pszFileName;
    for (int i = 0; i < m_reader->StreamCount(); ++i) {
        if (m_reader->Stream(i).kind == MEDIA_STREAM_VIDEO)
            AddPin(new CVideoPin(this, i));
        else
            AddPin(new CAudioPin(this, i));
    }
    return S_OK;
}

STDMETHODIMP CMediaSourceFilter::GetCurFile(LPOLESTR* ppszFileName, AM_MEDIA_TYPE* pmt)
{
    if (!ppszFileName)
        return E_POINTER;
    *ppszFileName = NULL;
    if (pmt)
        ZeroMemory(pmt, sizeof(*pmt));
    if (!m_reader)
        return E_FAIL;
    size_t bytes = (m_file.size() + 1) * sizeof(WCHAR);
    *ppszFileName = (LPOLESTR)CoTaskMemAlloc(bytes);
    if (!*ppszFileName)
        return E_OUTOFMEMORY;
    CopyMemory(*ppszFileName, m_file.c_str(), bytes);
    return S_OK;
}

HRESULT DexCreateMediaSource(REFCLSID clsid, REFIID riid, void** ppv)
{
    return DsCreateFilterObject(new (std::nothrow) CMediaSourceFilter(clsid), riid, ppv);
}
