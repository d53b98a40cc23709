#include "WriterTestUtil.h"

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

} // namespace

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

}  // namespace writertest
