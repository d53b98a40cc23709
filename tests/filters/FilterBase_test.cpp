// The filter base under Wine's real filter graph: chains of our filters and
// Wine's run to completion, seeking restarts sample times, stopping never
// waits on a renderer blocked while paused, EC_COMPLETE waits for every pin,
// and connections follow the pin rules.
#include "TestFilters.h"

#include <gtest/gtest.h>
#include <qedit.h>

#include <string>

namespace {

// Wine's sample grabber and null renderer.
const CLSID kSampleGrabber = {0xc1f400a0, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};
const CLSID kNullRenderer = {0xc1f400a4, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};

// Owns one reference of a COM interface.
template <class T> class Ref {
public:
    Ref() : p(NULL) {}
    explicit Ref(T* adopt) : p(adopt) {}
    ~Ref()
    {
        if (p)
            p->Release();
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    T** operator&() { return &p; }
    T* operator->() const { return p; }
    operator T*() const { return p; }
    T* p;
};

class ComScope {
public:
    ComScope() { CoInitializeEx(NULL, COINIT_MULTITHREADED); }
    ~ComScope() { CoUninitialize(); }
};

// Filters made with `new` start at no reference: the holder adopts one.
template <class T> T* Adopt(T* filter)
{
    filter->AddRef();
    return filter;
}

HRESULT FirstPin(IBaseFilter* filter, PIN_DIRECTION dir, IPin** pin)
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

HRESULT ConnectInGraph(IGraphBuilder* graph, IBaseFilter* up, IBaseFilter* down)
{
    Ref<IPin> out, in;
    HRESULT hr = FirstPin(up, PINDIR_OUTPUT, &out);
    if (FAILED(hr))
        return hr;
    hr = FirstPin(down, PINDIR_INPUT, &in);
    if (FAILED(hr))
        return hr;
    return graph->ConnectDirect(out, in, NULL);
}

// A graph of Wine's with the given filters added in order and connected one
// after the other.
class TestGraph {
public:
    TestGraph()
    {
        m_hr = CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, (void**)&graph);
    }
    HRESULT Chain(std::initializer_list<IBaseFilter*> filters)
    {
        if (FAILED(m_hr))
            return m_hr;
        int i = 0;
        for (IBaseFilter* f : filters) {
            HRESULT hr = graph->AddFilter(f, (L"F" + std::to_wstring(i++)).c_str());
            if (FAILED(hr))
                return hr;
        }
        IBaseFilter* prev = NULL;
        for (IBaseFilter* f : filters) {
            if (prev) {
                HRESULT hr = ConnectInGraph(graph, prev, f);
                if (FAILED(hr))
                    return hr;
            }
            prev = f;
        }
        return S_OK;
    }
    // Runs and waits for the graph's completion; the event code, or -1. The
    // graph is left running.
    long RunToCompletion()
    {
        Ref<IMediaControl> control;
        Ref<IMediaEvent> events;
        graph->QueryInterface(IID_IMediaControl, (void**)&control);
        graph->QueryInterface(IID_IMediaEvent, (void**)&events);
        if (FAILED(control->Run()))
            return -1;
        long code = -1;
        if (FAILED(events->WaitForCompletion(20000, &code)))
            code = -1;
        return code;
    }
    template <class T> HRESULT Get(T** out) { return graph->QueryInterface(__uuidof(T), (void**)out); }
    ~TestGraph()
    {
        if (graph) {
            Ref<IMediaControl> control;
            if (SUCCEEDED(graph->QueryInterface(IID_IMediaControl, (void**)&control)))
                control->Stop();
        }
    }
    Ref<IGraphBuilder> graph;

private:
    HRESULT m_hr;
};

const REFERENCE_TIME kFrame10 = 1000000;   // one frame at 10 fps

TEST(FilterBase, OurChainRunsToCompletionWithTimesAndPixels)
{
    ComScope com;
    Ref<CFrameSource> source(Adopt(new CFrameSource(12, 10)));
    Ref<CInvertFilter> invert(Adopt(new CInvertFilter()));
    Ref<CAddOneFilter> addOne(Adopt(new CAddOneFilter()));
    Ref<CCollectSink> sink(Adopt(new CCollectSink()));
    TestGraph g;
    ASSERT_EQ(S_OK, g.Chain({source.p, invert.p, addOne.p, sink.p}));

    EXPECT_EQ(EC_COMPLETE, g.RunToCompletion());
    EXPECT_EQ(1, sink->CompleteCount());
    // The in-place filter passed the invert filter's samples on without a copy.
    EXPECT_TRUE(addOne->UsesInputAllocator());
    std::vector<SinkRecord> records = sink->Records();
    ASSERT_EQ(12u, records.size());
    for (int n = 0; n < 12; ++n) {
        EXPECT_EQ(n * kFrame10, records[n].start) << "frame " << n;
        EXPECT_EQ((n + 1) * kFrame10, records[n].stop) << "frame " << n;
        EXPECT_EQ((255 - n + 1) & 0xFF, records[n].firstByte) << "frame " << n;
    }
}

// Our pins meet Wine's: its sample grabber (an in-place filter of Wine's)
// between our source and sink, and its null renderer after our transform.
TEST(FilterBase, ChainsWithWineFiltersRunToCompletion)
{
    ComScope com;
    struct Case {
        const char* name;
        const CLSID* wineMiddle;   // a Wine filter between source and sink, or null
        const CLSID* wineSink;     // Wine's sink instead of ours, or null
    } cases[] = {
        {"source, Wine's sample grabber, our sink", &kSampleGrabber, NULL},
        {"source, our invert, Wine's null renderer", NULL, &kNullRenderer},
    };
    for (const Case& c : cases) {
        Ref<CFrameSource> source(Adopt(new CFrameSource(6, 10)));
        Ref<CInvertFilter> invert(Adopt(new CInvertFilter()));
        Ref<CCollectSink> ours(Adopt(new CCollectSink()));
        Ref<IBaseFilter> middle, wineSink;
        if (c.wineMiddle) {
            ASSERT_EQ(S_OK, CoCreateInstance(*c.wineMiddle, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                             (void**)&middle)) << c.name;
            // Wine's grabber takes only a type it was told.
            Ref<ISampleGrabber> grabber;
            ASSERT_EQ(S_OK, middle->QueryInterface(__uuidof(ISampleGrabber), (void**)&grabber));
            AM_MEDIA_TYPE mt;
            MakeTestVideoType(&mt, 10);
            grabber->SetMediaType(&mt);
            DsFreeMediaType(&mt);
        }
        if (c.wineSink) {
            ASSERT_EQ(S_OK, CoCreateInstance(*c.wineSink, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                             (void**)&wineSink)) << c.name;
        }
        TestGraph g;
        IBaseFilter* mid = c.wineMiddle ? middle.p : static_cast<IBaseFilter*>(invert.p);
        IBaseFilter* end = c.wineSink ? wineSink.p : static_cast<IBaseFilter*>(ours.p);
        ASSERT_EQ(S_OK, g.Chain({source.p, mid, end})) << c.name;
        EXPECT_EQ(EC_COMPLETE, g.RunToCompletion()) << c.name;
        if (!c.wineSink) {
            std::vector<SinkRecord> records = ours->Records();
            ASSERT_EQ(6u, records.size()) << c.name;
            EXPECT_EQ(5, records[5].firstByte) << c.name;
        }
    }
}

// A seek through the graph goes from the sink through the transform to the
// source; the samples after it start at 0 again and carry the frames from
// the position on.
TEST(FilterBase, SeekGoesUpstreamAndRestartsTimesAtZero)
{
    ComScope com;
    Ref<CFrameSource> source(Adopt(new CFrameSource(10, 10)));
    Ref<CInvertFilter> invert(Adopt(new CInvertFilter()));
    Ref<CCollectSink> sink(Adopt(new CCollectSink()));
    TestGraph g;
    ASSERT_EQ(S_OK, g.Chain({source.p, invert.p, sink.p}));

    Ref<IMediaSeeking> seeking;
    ASSERT_EQ(S_OK, g.Get(&seeking.p));
    LONGLONG duration = 0;
    EXPECT_EQ(S_OK, seeking->GetDuration(&duration));
    EXPECT_EQ(10 * kFrame10, duration);
    LONGLONG position = 4 * kFrame10;
    ASSERT_EQ(S_OK, seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, NULL, AM_SEEKING_NoPositioning));
    EXPECT_EQ(EC_COMPLETE, g.RunToCompletion());

    std::vector<SinkRecord> records = sink->Records();
    ASSERT_EQ(6u, records.size());
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(i * kFrame10, records[i].start) << "sample " << i;
        EXPECT_EQ(255 - (4 + i), records[i].firstByte) << "sample " << i;
    }
    // The source pin reports how far it delivered, through the chain.
    Ref<IMediaSeeking> sinkSeeking;
    ASSERT_EQ(S_OK, sink->QueryInterface(IID_IMediaSeeking, (void**)&sinkSeeking));
    LONGLONG current = 0;
    EXPECT_EQ(S_OK, sinkSeeking->GetCurrentPosition(&current));
    EXPECT_EQ(10 * kFrame10, current);
}

struct Work {
    IMediaControl* control;
    IMediaSeeking* seeking;   // seeks first when set
};

DWORD WINAPI StopFromAnotherThread(void* p)
{
    Work* w = (Work*)p;
    if (w->seeking) {
        LONGLONG pos = 20 * kFrame10;
        w->seeking->SetPositions(&pos, AM_SEEKING_AbsolutePositioning, NULL, AM_SEEKING_NoPositioning);
    }
    w->control->Stop();
    return 0;
}

// A clock-synchronised sink holds its sample while paused; Stop and a seek
// must end that wait instead of waiting on it.
TEST(FilterBase, StopAndSeekDoNotWaitOnPausedRenderer)
{
    ComScope com;
    struct Case {
        const char* name;
        bool seek;
    } cases[] = {{"stop", false}, {"seek", true}};
    for (const Case& c : cases) {
        Ref<CFrameSource> source(Adopt(new CFrameSource(50, 10)));
        Ref<CCollectSink> sink(Adopt(new CCollectSink()));
        sink->SetSyncToClock(TRUE);
        TestGraph g;
        ASSERT_EQ(S_OK, g.Chain({source.p, sink.p})) << c.name;
        Ref<IMediaControl> control;
        ASSERT_EQ(S_OK, g.Get(&control.p));
        control->Pause();
        // The source thread is now blocked delivering into the paused sink.
        Ref<IMediaSeeking> seeking;
        g.Get(&seeking.p);
        Work work = {control, c.seek ? seeking.p : NULL};
        HANDLE thread = CreateThread(NULL, 0, StopFromAnotherThread, &work, 0, NULL);
        ASSERT_TRUE(thread != NULL);
        // A deadlock guard, not a speed check: a correct Stop returns at once.
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 30000)) << c.name;
        CloseHandle(thread);
        // Nothing was rendered while paused.
        EXPECT_EQ(0u, sink->Records().size()) << c.name;
    }
}

// EC_COMPLETE waits for every connected pin, comes at Run when the ends came
// while paused, and once more after a flush.
TEST(FilterBase, SinkCompletesWhenEveryPinEnded)
{
    ComScope com;
    Ref<CManualSource> source(Adopt(new CManualSource(2)));
    Ref<CCollectSink> sink(Adopt(new CCollectSink(2)));
    ASSERT_EQ(S_OK, source->Out(0)->Connect(sink->InputPin(0), NULL));
    ASSERT_EQ(S_OK, source->Out(1)->Connect(sink->InputPin(1), NULL));

    ASSERT_EQ(S_OK, sink->Pause());
    ASSERT_EQ(S_OK, source->Pause());
    EXPECT_EQ(S_OK, source->DeliverFrame(0, 7, 0));
    source->Out(0)->DeliverEndOfStream();
    source->Out(1)->DeliverEndOfStream();
    EXPECT_EQ(0, sink->CompleteCount()) << "ends while paused wait for Run";
    sink->Run(0);
    EXPECT_EQ(1, sink->CompleteCount()) << "sent at Run";

    source->Out(0)->DeliverBeginFlush();
    source->Out(1)->DeliverBeginFlush();
    source->Out(0)->DeliverEndFlush();
    source->Out(1)->DeliverEndFlush();
    source->Out(1)->DeliverEndOfStream();
    EXPECT_EQ(1, sink->CompleteCount()) << "one pin of two ended";
    source->Out(0)->DeliverEndOfStream();
    EXPECT_EQ(2, sink->CompleteCount()) << "both ended after the flush";
    // A sample after the end is refused, not rendered.
    EXPECT_EQ(S_FALSE, source->DeliverFrame(0, 9, 0));
    EXPECT_EQ(1u, sink->Records().size());
    sink->Stop();
    source->Stop();
}

TEST(FilterBase, ConnectionRules)
{
    ComScope com;
    Ref<CManualSource> source(Adopt(new CManualSource(1)));
    Ref<CCollectSink> sink(Adopt(new CCollectSink(1)));
    Ref<CInvertFilter> invert(Adopt(new CInvertFilter()));
    IPin* out = source->Out(0);
    IPin* in = sink->InputPin(0);

    IPin* peer = (IPin*)1;
    EXPECT_EQ(VFW_E_NOT_CONNECTED, out->ConnectedTo(&peer));
    EXPECT_EQ(NULL, peer);

    // A type the sink does not take.
    AM_MEDIA_TYPE wrong;
    MakeTestVideoType(&wrong, 10);
    ((VIDEOINFOHEADER*)wrong.pbFormat)->bmiHeader.biWidth = 16;
    EXPECT_EQ(S_FALSE, in->QueryAccept(&wrong));
    EXPECT_TRUE(FAILED(out->Connect(in, &wrong)));
    EXPECT_FALSE(sink->InputPin(0)->IsConnected());
    DsFreeMediaType(&wrong);

    // The transform's output offers nothing before its input is connected.
    Ref<IEnumMediaTypes> types;
    ASSERT_EQ(S_OK, invert->Output()->EnumMediaTypes(&types));
    AM_MEDIA_TYPE* mt = NULL;
    EXPECT_EQ(S_FALSE, types->Next(1, &mt, NULL));

    ASSERT_EQ(S_OK, out->Connect(in, NULL));
    ASSERT_EQ(S_OK, out->ConnectedTo(&peer));
    EXPECT_EQ(in, peer);
    peer->Release();
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, out->Connect(invert->Input(), NULL));
    AM_MEDIA_TYPE agreed;
    ASSERT_EQ(S_OK, in->ConnectionMediaType(&agreed));
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_RGB32, agreed.subtype));
    DsFreeMediaType(&agreed);

    // No disconnection while the filter is not stopped.
    sink->Pause();
    EXPECT_EQ(VFW_E_NOT_STOPPED, in->Disconnect());
    sink->Stop();
    EXPECT_EQ(S_OK, in->Disconnect());
    EXPECT_EQ(S_OK, out->Disconnect());
    EXPECT_EQ(S_FALSE, out->Disconnect());

    // Pins by name and by enumeration.
    Ref<IPin> found;
    EXPECT_EQ(S_OK, invert->FindPin(L"Output", &found));
    EXPECT_EQ(static_cast<IPin*>(invert->Output()), found.p);
    Ref<IPin> missing;
    EXPECT_EQ(VFW_E_NOT_FOUND, invert->FindPin(L"Nothing", &missing));
    Ref<IEnumPins> pins;
    ASSERT_EQ(S_OK, invert->EnumPins(&pins));
    IPin* all[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(S_FALSE, pins->Next(3, all, &fetched));
    EXPECT_EQ(2u, fetched);
    for (ULONG i = 0; i < fetched; ++i)
        all[i]->Release();
}

} // namespace
