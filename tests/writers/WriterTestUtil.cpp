#include "WriterTestUtil.h"

#include "TestSupport.h"

namespace writertest {

namespace {

const CLSID kPcmSource = {0x5a1c2e70, 0x1d3b, 0x4c55, {0x8e, 0x21, 0x70, 0x4b, 0x9a, 0x0c, 0x31, 0x01}};

class CPcmPin : public CSourceStreamPin {
public:
    explicit CPcmPin(CPcmSource* owner) : CSourceStreamPin(owner, L"Out"), m_owner(owner), m_offset(0) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override
    {
        return IsEqualGUID(mt->majortype, MEDIATYPE_Audio) ? S_OK : S_FALSE;
    }
    HRESULT GetMediaType(int index, AM_MEDIA_TYPE* mt) override
    {
        if (index != 0)
            return VFW_S_NO_MORE_ITEMS;
        ZeroMemory(mt, sizeof(*mt));
        mt->majortype = MEDIATYPE_Audio;
        mt->subtype = MEDIASUBTYPE_PCM;
        mt->bFixedSizeSamples = TRUE;
        mt->lSampleSize = m_owner->m_format.nBlockAlign;
        mt->formattype = FORMAT_WaveFormatEx;
        mt->cbFormat = sizeof(WAVEFORMATEX);
        mt->pbFormat = (BYTE*)CoTaskMemAlloc(sizeof(WAVEFORMATEX));
        CopyMemory(mt->pbFormat, &m_owner->m_format, sizeof(WAVEFORMATEX));
        return S_OK;
    }
    long Chunk() const
    {
        long perTenth = (long)(m_owner->m_format.nAvgBytesPerSec / 10);
        perTenth -= perTenth % m_owner->m_format.nBlockAlign;
        return perTenth > 0 ? perTenth : m_owner->m_format.nBlockAlign;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override
    {
        request->cBuffers = 4;
        request->cbBuffer = Chunk();
        request->cbAlign = 1;
        ALLOCATOR_PROPERTIES actual;
        return allocator->SetProperties(request, &actual);
    }
    HRESULT FillBuffer(IMediaSample* sample) override
    {
        size_t total = m_owner->m_data.size();
        if (m_offset >= total)
            return S_FALSE;
        size_t part = total - m_offset < (size_t)Chunk() ? total - m_offset : (size_t)Chunk();
        BYTE* data = NULL;
        sample->GetPointer(&data);
        CopyMemory(data, m_owner->m_data.data() + m_offset, part);
        sample->SetActualDataLength((long)part);
        DWORD rate = m_owner->m_format.nAvgBytesPerSec;
        REFERENCE_TIME start = (REFERENCE_TIME)m_offset * 10000000 / rate;
        REFERENCE_TIME stop = (REFERENCE_TIME)(m_offset + part) * 10000000 / rate;
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        m_offset += part;
        SetDelivered(stop);
        return S_OK;
    }
    HRESULT OnSeek(REFERENCE_TIME start) override
    {
        ULONGLONG bytes = (ULONGLONG)start * m_owner->m_format.nAvgBytesPerSec / 10000000;
        m_offset = (size_t)(bytes - bytes % m_owner->m_format.nBlockAlign);
        return S_OK;
    }
    REFERENCE_TIME Duration() override
    {
        return (REFERENCE_TIME)m_owner->m_data.size() * 10000000 / m_owner->m_format.nAvgBytesPerSec;
    }

private:
    CPcmSource* m_owner;
    size_t m_offset;
};

const CLSID kVideoSource = {0x5a1c2e70, 0x1d3b, 0x4c55, {0x8e, 0x21, 0x70, 0x4b, 0x9a, 0x0c, 0x31, 0x02}};

class CVideoPin : public CSourceStreamPin {
public:
    explicit CVideoPin(CVideoSource* owner) : CSourceStreamPin(owner, L"Out"), m_owner(owner), m_next(0), m_first(0) {}
    long FrameBytes() const { return ((m_owner->m_width * 3 + 3) & ~3) * m_owner->m_height; }
    REFERENCE_TIME FrameTime() const { return 10000000 / m_owner->m_fps; }
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override
    {
        return IsEqualGUID(mt->majortype, MEDIATYPE_Video) && IsEqualGUID(mt->subtype, MEDIASUBTYPE_RGB24) ? S_OK
                                                                                                             : S_FALSE;
    }
    HRESULT GetMediaType(int index, AM_MEDIA_TYPE* mt) override
    {
        if (index != 0)
            return VFW_S_NO_MORE_ITEMS;
        ZeroMemory(mt, sizeof(*mt));
        mt->majortype = MEDIATYPE_Video;
        mt->subtype = MEDIASUBTYPE_RGB24;
        mt->bFixedSizeSamples = TRUE;
        mt->lSampleSize = FrameBytes();
        mt->formattype = FORMAT_VideoInfo;
        mt->cbFormat = sizeof(VIDEOINFOHEADER);
        VIDEOINFOHEADER* vih = (VIDEOINFOHEADER*)CoTaskMemAlloc(sizeof(VIDEOINFOHEADER));
        ZeroMemory(vih, sizeof(*vih));
        vih->AvgTimePerFrame = FrameTime();
        vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        vih->bmiHeader.biWidth = m_owner->m_width;
        vih->bmiHeader.biHeight = m_owner->m_height;
        vih->bmiHeader.biPlanes = 1;
        vih->bmiHeader.biBitCount = 24;
        vih->bmiHeader.biCompression = BI_RGB;
        vih->bmiHeader.biSizeImage = FrameBytes();
        mt->pbFormat = (BYTE*)vih;
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override
    {
        request->cBuffers = 3;
        request->cbBuffer = FrameBytes();
        request->cbAlign = 1;
        ALLOCATOR_PROPERTIES actual;
        return allocator->SetProperties(request, &actual);
    }
    HRESULT FillBuffer(IMediaSample* sample) override
    {
        if (m_next >= m_owner->m_count)
            return S_FALSE;
        BYTE* data = NULL;
        sample->GetPointer(&data);
        memset(data, m_next & 0xFF, FrameBytes());
        sample->SetActualDataLength(FrameBytes());
        REFERENCE_TIME start = (m_next - m_first) * FrameTime(), stop = start + FrameTime();
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        ++m_next;
        SetDelivered(stop);
        return S_OK;
    }
    HRESULT OnSeek(REFERENCE_TIME start) override
    {
        m_first = (int)((start + FrameTime() - 1) / FrameTime());
        m_next = m_first;
        return S_OK;
    }
    REFERENCE_TIME Duration() override { return m_owner->m_count * FrameTime(); }

private:
    CVideoSource* m_owner;
    int m_next;
    int m_first;
};

} // namespace

CVideoSource::CVideoSource(int width, int height, int fps, int count)
    : CFilterBase(kVideoSource), m_width(width), m_height(height), m_fps(fps), m_count(count)
{
    AddPin(new CVideoPin(this));
}

CPcmSource::CPcmSource(const WAVEFORMATEX& format, const std::string& data)
    : CFilterBase(kPcmSource), m_format(format), m_data(data)
{
    m_format.cbSize = 0;
    AddPin(new CPcmPin(this));
}

HRESULT FirstFreePin(IBaseFilter* filter, PIN_DIRECTION dir, IPin** pin)
{
    *pin = NULL;
    Ref<IEnumPins> pins;
    HRESULT hr = filter->EnumPins(&pins);
    if (FAILED(hr))
        return hr;
    IPin* p = NULL;
    while (pins->Next(1, &p, NULL) == S_OK) {
        PIN_DIRECTION d;
        p->QueryDirection(&d);
        IPin* peer = NULL;
        if (d == dir && p->ConnectedTo(&peer) == VFW_E_NOT_CONNECTED) {
            *pin = p;
            return S_OK;
        }
        if (peer)
            peer->Release();
        p->Release();
    }
    return E_FAIL;
}

TestGraph::TestGraph() { CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, (void**)&graph); }

TestGraph::~TestGraph() { Stop(); }

HRESULT TestGraph::Add(IBaseFilter* filter, LPCWSTR name) { return graph ? graph->AddFilter(filter, name) : E_FAIL; }

HRESULT TestGraph::Connect(IBaseFilter* up, IBaseFilter* down)
{
    Ref<IPin> out, in;
    HRESULT hr = FirstFreePin(up, PINDIR_OUTPUT, &out);
    if (FAILED(hr))
        return hr;
    hr = FirstFreePin(down, PINDIR_INPUT, &in);
    if (FAILED(hr))
        return hr;
    return graph->ConnectDirect(out, in, NULL);
}

HRESULT TestGraph::Chain(std::initializer_list<IBaseFilter*> filters)
{
    int i = 0;
    for (IBaseFilter* f : filters) {
        HRESULT hr = Add(f, (L"F" + std::to_wstring(i++)).c_str());
        if (FAILED(hr))
            return hr;
    }
    IBaseFilter* prev = NULL;
    for (IBaseFilter* f : filters) {
        if (prev) {
            HRESULT hr = Connect(prev, f);
            if (FAILED(hr))
                return hr;
        }
        prev = f;
    }
    return S_OK;
}

long TestGraph::RunToCompletion(HRESULT* runResult)
{
    Ref<IMediaControl> control;
    Ref<IMediaEvent> events;
    graph->QueryInterface(IID_IMediaControl, (void**)&control);
    graph->QueryInterface(IID_IMediaEvent, (void**)&events);
    HRESULT hr = control->Run();
    if (runResult)
        *runResult = hr;
    if (FAILED(hr))
        return -1;
    // Collects events until completion or an abort (WaitForCompletion
    // would hide EC_ERRORABORT).
    DWORD deadline = GetTickCount() + 20000;
    while ((LONG)(deadline - GetTickCount()) > 0) {
        long code = 0;
        LONG_PTR p1 = 0, p2 = 0;
        if (events->GetEvent(&code, &p1, &p2, 100) != S_OK)
            continue;
        events->FreeEventParams(code, p1, p2);
        if (code == EC_COMPLETE || code == EC_ERRORABORT || code == EC_USERABORT)
            return code;
    }
    return -1;
}

void TestGraph::Stop()
{
    if (!graph)
        return;
    Ref<IMediaControl> control;
    if (SUCCEEDED(graph->QueryInterface(IID_IMediaControl, (void**)&control)))
        control->Stop();
}

std::string Host(const std::string& command)
{
    std::string out;
    if (testsupport::RunHost(command, &out) != 0)
        return "";
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

std::string ProbeEntry(const std::string& windowsPath, const std::string& stream, const std::string& entry)
{
    return Host("ffprobe -v error -count_frames -count_packets -select_streams " + stream + " -show_entries stream=" +
                entry + " -of default=nw=1:nk=1 '" + testsupport::UnixPath(windowsPath) + "'");
}

std::string ProbeTags(const std::string& windowsPath)
{
    return Host("ffprobe -v error -show_entries format_tags -of default=nw=1 '" + testsupport::UnixPath(windowsPath) +
                "' | sort");
}

std::string AudioBytes(const std::string& windowsPath, const std::string& scratchFile)
{
    Host("ffmpeg -v error -y -i '" + testsupport::UnixPath(windowsPath) + "' -map 0:a:0 -c copy -f data '" +
         testsupport::UnixPath(scratchFile) + "'");
    std::string data;
    testsupport::ReadFileBytes(scratchFile, &data);
    DeleteFileA(scratchFile.c_str());
    return data;
}

}  // namespace writertest
