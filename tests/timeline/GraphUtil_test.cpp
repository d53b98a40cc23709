// Pin finders and filter connection on filters of our filter base: free
// pins by direction, pins by index and by name, and the references the
// finders take (every pin ConnectedTo hands out is given back).
#include "TimelineTestSupport.h"

#include "XRVDirectShow/GraphUtil.h"
#include "platform/filters/SinkFilter.h"

namespace {

const CLSID kNamedSink = {0x6e0e0c11, 0x4a47, 0x4f2b, {0x9e, 0x61, 0x3c, 0x2f, 0x0b, 0x6a, 0x00, 0x50}};
const CLSID kNamedSource = {0x6e0e0c11, 0x4a47, 0x4f2b, {0x9e, 0x61, 0x3c, 0x2f, 0x0b, 0x6a, 0x00, 0x51}};

void AnyVideo(AM_MEDIA_TYPE* mt)
{
    ZeroMemory(mt, sizeof(*mt));
    mt->majortype = MEDIATYPE_Video;
    mt->subtype = MEDIASUBTYPE_RGB32;
    mt->formattype = FORMAT_None;
}

class CNamedSink : public CSinkFilterBase {
public:
    CNamedSink(int n, const LPCWSTR* names) : CSinkFilterBase(kNamedSink, n, names) {}
    HRESULT CheckSinkType(int, const AM_MEDIA_TYPE* mt) override
    {
        return IsEqualGUID(mt->majortype, MEDIATYPE_Video) ? S_OK : S_FALSE;
    }
    HRESULT RenderSample(int, IMediaSample*) override { return S_OK; }
};

class COut : public COutputPinBase {
public:
    COut(CFilterBase* f, LPCWSTR name) : COutputPinBase(f, name) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override
    {
        return IsEqualGUID(mt->majortype, MEDIATYPE_Video) ? S_OK : S_FALSE;
    }
    HRESULT GetMediaType(int i, AM_MEDIA_TYPE* mt) override
    {
        if (i)
            return VFW_S_NO_MORE_ITEMS;
        AnyVideo(mt);
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* a, ALLOCATOR_PROPERTIES* p) override
    {
        p->cBuffers = 1;
        p->cbBuffer = 16;
        p->cbAlign = 1;
        ALLOCATOR_PROPERTIES actual;
        return a->SetProperties(p, &actual);
    }
};

class CNamedSource : public CFilterBase {
public:
    CNamedSource(int n, const LPCWSTR* names) : CFilterBase(kNamedSource)
    {
        for (int i = 0; i < n; ++i)
            AddPin(new COut(this, names[i]));
    }
};

ULONG Refs(IUnknown* p)
{
    p->AddRef();
    return p->Release();
}

class GraphUtilTest : public ComTest {};

TEST_F(GraphUtilTest, FreePinsByDirectionAndTheReferencesTaken)
{
    const LPCWSTR outs[] = {L"Out"};
    const LPCWSTR ins[] = {L"In"};
    CComPtr<IBaseFilter> source(new CNamedSource(1, outs));
    CComPtr<IBaseFilter> sink(new CNamedSink(1, ins));
    CComPtr<IGraphBuilder> graph;
    ASSERT_EQ(S_OK, graph.CoCreateInstance(CLSID_FilterGraph));
    graph->AddFilter(source, L"Source");
    graph->AddFilter(sink, L"Sink");
    EXPECT_EQ(S_OK, ConnectFilters(graph, source, sink));

    // Both pins are connected now: nothing free, and every pin that
    // ConnectedTo handed out was given back.
    ULONG sinkRefs = Refs(sink), sourceRefs = Refs(source);
    CComPtr<IPin> pin;
    EXPECT_EQ(E_FAIL, FindPinByDirection(source, PINDIR_OUTPUT, &pin));
    EXPECT_TRUE(pin == NULL);
    EXPECT_EQ(E_FAIL, FindPinByDirection(sink, PINDIR_INPUT, &pin));
    EXPECT_EQ(sinkRefs, Refs(sink));
    EXPECT_EQ(sourceRefs, Refs(source));
    // So ConnectFilters fails without asking the graph.
    EXPECT_EQ(E_FAIL, ConnectFilters(graph, source, sink));
    EXPECT_EQ(E_FAIL, ConnectFilters(NULL, source, sink));
    EXPECT_EQ(E_FAIL, FindPinByDirection(NULL, PINDIR_INPUT, &pin));
    graph->RemoveFilter(source);
    graph->RemoveFilter(sink);
}

TEST_F(GraphUtilTest, PinsByIndexAndByName)
{
    const LPCWSTR outs[] = {L"vmr out"};
    const LPCWSTR ins[] = {L"Input", L"vmr input0", L"Audio In"};
    CComPtr<IBaseFilter> source(new CNamedSource(1, outs));
    CComPtr<IBaseFilter> sink(new CNamedSink(3, ins));
    EXPECT_EQ(0, CountInputPins(source));
    EXPECT_EQ(3, CountInputPins(sink));
    struct Case {
        const char* name;
        HRESULT (*find)(IBaseFilter*, IPin**);
        IBaseFilter* filter;
        const wchar_t* expected;   // null: none found
    } cases[] = {
        {"video pin named in lower-case vmr", FindVideoPin, sink, L"vmr input0"},
        {"an output pin is never the video pin", FindVideoPin, source, NULL},
        {"audio pin", FindAudioPin, sink, L"Audio In"},
    };
    for (const Case& c : cases) {
        CComPtr<IPin> pin;
        HRESULT hr = c.find(c.filter, &pin);
        if (!c.expected) {
            EXPECT_EQ(E_FAIL, hr) << c.name;
            EXPECT_TRUE(pin == NULL) << c.name;
            continue;
        }
        ASSERT_EQ(S_OK, hr) << c.name;
        PIN_INFO info;
        pin->QueryPinInfo(&info);
        info.pFilter->Release();
        EXPECT_STREQ(c.expected, info.achName) << c.name;
    }
    CComPtr<IPin> second, none;
    ASSERT_EQ(S_OK, FindInputPin(sink, &second, 1));
    EXPECT_EQ(E_FAIL, FindInputPin(sink, &none, 3));
    EXPECT_TRUE(none == NULL);
    EXPECT_EQ(E_FAIL, FindOutputPin(sink, &none, 0));
}

}  // namespace
