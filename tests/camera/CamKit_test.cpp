// The camera graph's small filters: the frame skip's switch, the video
// tee's copies and the push source's queue, times and refusals.
#include "platform/camkit/CamKit.h"
#include "tests/camera/CameraGraphTestUtil.h"
#include "tests/camera/CameraTestSupport.h"
#include "tests/camera/TestCameraIds.h"

#include <string.h>
#include <vector>

namespace {

// Collects sound samples: bytes and times.
class SoundCollector : public ISampleGrabberCB {
public:
    struct Piece {
        REFERENCE_TIME start, stop;
        std::vector<BYTE> bytes;
    };
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
            *ppv = this;
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override
    {
        BYTE* bits = NULL;
        sample->GetPointer(&bits);
        Piece p;
        sample->GetTime(&p.start, &p.stop);
        p.bytes.assign(bits, bits + sample->GetActualDataLength());
        EnterCriticalSection(&lock);
        pieces.push_back(p);
        LeaveCriticalSection(&lock);
        return S_OK;
    }
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return S_OK; }
    SoundCollector() { InitializeCriticalSection(&lock); }
    ~SoundCollector() { DeleteCriticalSection(&lock); }
    std::vector<Piece> Take()
    {
        EnterCriticalSection(&lock);
        std::vector<Piece> out = pieces;
        LeaveCriticalSection(&lock);
        return out;
    }
    size_t Bytes()
    {
        size_t n = 0;
        for (const Piece& p : Take())
            n += p.bytes.size();
        return n;
    }

private:
    CRITICAL_SECTION lock;
    std::vector<Piece> pieces;
};

class CamKitTest : public CameraTest {};

TEST_F(CamKitTest, FrameSkipPassesOrDropsEverySample)
{
    Ptr<IGraphBuilder> graph;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, (void**)&graph));
    FrameCollector frames;
    Ptr<IBaseFilter> camera, skip, grabber, sink;
    camera.p = AddNew(graph.p, CLSID_TestCameraA, L"Camera");
    skip.p = AddNew(graph.p, CLSID_XrvFrameSkip, L"Skip", CreateFrameSkipFilter);
    grabber.p = AddGrabber(graph.p, L"Grabber", &frames);
    sink.p = AddNew(graph.p, kNullRenderer, L"Sink");
    ASSERT_TRUE(camera.p && skip.p && grabber.p && sink.p);
    ASSERT_EQ(S_OK, ConnectFilters(graph.p, camera.p, skip.p));
    ASSERT_EQ(S_OK, ConnectFilters(graph.p, skip.p, grabber.p));
    ASSERT_EQ(S_OK, ConnectFilters(graph.p, grabber.p, sink.p));
    Ptr<IXrvFrameSkip> control;
    ASSERT_EQ(S_OK, skip->QueryInterface(IID_IXrvFrameSkip, (void**)&control));
    ASSERT_EQ(S_OK, control->SetSkip(1));
    Ptr<IMediaControl> media;
    ASSERT_EQ(S_OK, graph->QueryInterface(IID_IMediaControl, (void**)&media));
    ASSERT_TRUE(SUCCEEDED(media->Run()));
    LONG passed = 0, dropped = 0;
    ASSERT_TRUE(WaitFor([&] { return control->GetCounts(&passed, &dropped) == S_OK && dropped >= 5; }));
    EXPECT_EQ(0u, frames.Take().size()) << "switch 1 drops every frame";
    EXPECT_EQ(0, passed);
    ASSERT_EQ(S_OK, control->SetSkip(0));
    ASSERT_TRUE(WaitFor([&] { return frames.Take().size() >= 5; }));
    media->Stop();
    std::vector<FrameCollector::Frame> got = frames.Take();
    control->GetCounts(&passed, &dropped);
    EXPECT_EQ((LONG)got.size(), passed);
    // The frames that passed follow each other: none was lost after the switch.
    for (size_t i = 1; i < got.size(); ++i)
        EXPECT_EQ(got[i - 1].picture.frame + 1, got[i].picture.frame) << i;
    EXPECT_GE(got[0].picture.frame, (DWORD)dropped) << "the first passed frame comes after the dropped ones";
}

TEST_F(CamKitTest, VideoTeeGivesBothOutputsEveryFrame)
{
    Ptr<IGraphBuilder> graph;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, (void**)&graph));
    FrameCollector first, second;
    Ptr<IBaseFilter> camera, tee, g1, g2, s1, s2;
    camera.p = AddNew(graph.p, CLSID_TestCameraB, L"Camera");
    tee.p = AddNew(graph.p, CLSID_XrvVideoTee, L"Video Tee Filter", CreateVideoTeeFilter);
    g1.p = AddGrabber(graph.p, L"G1", &first);
    g2.p = AddGrabber(graph.p, L"G2", &second);
    s1.p = AddNew(graph.p, kNullRenderer, L"S1");
    s2.p = AddNew(graph.p, kNullRenderer, L"S2");
    ASSERT_TRUE(camera.p && tee.p && g1.p && g2.p && s1.p && s2.p);
    // Outputs offer nothing before the input is connected.
    IPin* early = FreePin(tee.p, PINDIR_OUTPUT);
    ASSERT_TRUE(early != NULL);
    Ptr<IEnumMediaTypes> types;
    ASSERT_EQ(S_OK, early->EnumMediaTypes(&types));
    AM_MEDIA_TYPE* mt = NULL;
    EXPECT_NE(S_OK, types->Next(1, &mt, NULL));
    early->Release();
    ASSERT_EQ(S_OK, ConnectFilters(graph.p, camera.p, tee.p));
    ASSERT_EQ(S_OK, ConnectFilters(graph.p, tee.p, g1.p));
    ASSERT_EQ(S_OK, ConnectFilters(graph.p, tee.p, g2.p));
    ASSERT_EQ(S_OK, ConnectFilters(graph.p, g1.p, s1.p));
    ASSERT_EQ(S_OK, ConnectFilters(graph.p, g2.p, s2.p));
    EXPECT_TRUE(FreePin(tee.p, PINDIR_OUTPUT) == NULL) << "two outputs";
    Ptr<IMediaControl> media;
    ASSERT_EQ(S_OK, graph->QueryInterface(IID_IMediaControl, (void**)&media));
    ASSERT_TRUE(SUCCEEDED(media->Run()));
    ASSERT_TRUE(WaitFor([&] { return first.Take().size() >= 6 && second.Take().size() >= 6; }));
    media->Stop();
    std::vector<FrameCollector::Frame> a = first.Take(), b = second.Take();
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        EXPECT_EQ(a[i].picture.frame, b[i].picture.frame) << i;
        EXPECT_EQ(a[i].start, b[i].start) << i;
        EXPECT_EQ(230400, a[i].length);
        EXPECT_EQ(kTestCameraColour[1][1], b[i].picture.background[1]);
    }
}

// A push source feeding a grabber.
struct PushGraph {
    Ptr<IGraphBuilder> graph;
    Ptr<IBaseFilter> source, grabber, sink;
    Ptr<IXrvPushSource> push;
    Ptr<IMediaControl> media;
    HRESULT Build(SoundCollector* collector, const WAVEFORMATEX& wf)
    {
        HRESULT hr = CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, (void**)&graph);
        if (FAILED(hr))
            return hr;
        source.p = AddNew(graph.p, CLSID_XrvPushSource, L"Kestravon SimplePushBitmap Source", CreatePushSourceFilter);
        grabber.p = AddGrabber(graph.p, L"Grabber", collector);
        sink.p = AddNew(graph.p, kNullRenderer, L"Sink");
        if (!source.p || !grabber.p || !sink.p)
            return E_FAIL;
        IPin* out = FreePin(source.p, PINDIR_OUTPUT);
        hr = out->QueryInterface(IID_IXrvPushSource, (void**)&push);
        out->Release();
        if (SUCCEEDED(hr))
            hr = push->SetFormat(&wf);
        if (SUCCEEDED(hr))
            hr = ConnectFilters(graph.p, source.p, grabber.p);
        if (SUCCEEDED(hr))
            hr = ConnectFilters(graph.p, grabber.p, sink.p);
        if (SUCCEEDED(hr))
            hr = graph->QueryInterface(IID_IMediaControl, (void**)&media);
        return hr;
    }
    ~PushGraph()
    {
        if (media.p)
            media->Stop();
    }
};

WAVEFORMATEX Pcm(DWORD rate, WORD channels)
{
    WAVEFORMATEX wf = {};
    wf.wFormatTag = WAVE_FORMAT_PCM;
    wf.nChannels = channels;
    wf.nSamplesPerSec = rate;
    wf.wBitsPerSample = 16;
    wf.nBlockAlign = (WORD)(2 * channels);
    wf.nAvgBytesPerSec = rate * wf.nBlockAlign;
    wf.cbSize = 0xFFFF;
    return wf;
}

// Times follow the bytes really pushed: a short buffer is followed at its
// own end, not half a second later; the data is a copy taken at the push.
TEST_F(CamKitTest, PushSourceStampsEachBufferWithItsRealLength)
{
    SoundCollector collector;
    PushGraph g;
    const WAVEFORMATEX wf = Pcm(22050, 1);
    ASSERT_EQ(S_OK, g.Build(&collector, wf));
    WAVEFORMATEX used;
    ASSERT_EQ(S_OK, g.push->GetFormat(&used));
    EXPECT_EQ(0, used.cbSize) << "the extra-size word of the pin's format is 0";
    ASSERT_EQ(S_OK, g.push->SetBuffersPerSecond(2.0));
    EXPECT_EQ(E_INVALIDARG, g.push->SetBuffersPerSecond(0.0));

    BYTE data[22050];
    EXPECT_EQ(S_FALSE, g.push->Push(data, 100)) << "stopped: refused at once";
    ASSERT_TRUE(SUCCEEDED(g.media->Run()));
    EXPECT_EQ(S_FALSE, g.push->Push(data, 100)) << "no stream started yet";
    ASSERT_EQ(S_OK, g.push->StartStream());

    const long lengths[] = {22050, 8000, 22050, 0, 4410};
    long total = 0;
    for (long length : lengths) {
        for (long i = 0; i < length; ++i)
            data[i] = (BYTE)(total + i);
        ASSERT_EQ(S_OK, g.push->Push(data, length)) << length;
        memset(data, 0xEE, sizeof(data));   // the queue holds its own copy
        total += length;
    }
    EXPECT_EQ(E_INVALIDARG, g.push->Push(NULL, 10));
    ASSERT_TRUE(WaitFor([&] { return collector.Bytes() >= (size_t)total; }));
    g.media->Stop();
    EXPECT_EQ(S_FALSE, g.push->Push(data, 100)) << "after the stop";

    std::vector<SoundCollector::Piece> pieces = collector.Take();
    REFERENCE_TIME expectedStart = 0;
    long at = 0;
    for (const SoundCollector::Piece& p : pieces) {
        EXPECT_EQ(expectedStart, p.start);
        EXPECT_EQ(p.start + (REFERENCE_TIME)p.bytes.size() * 10000000 / 44100, p.stop);
        EXPECT_LE(p.bytes.size(), 22050u) << "a sample holds at most half a second";
        for (size_t i = 0; i < p.bytes.size(); ++i)
            if (p.bytes[i] != (BYTE)(at + i)) {
                ADD_FAILURE() << "byte " << at + i;
                break;
            }
        at += (long)p.bytes.size();
        expectedStart = p.stop;
    }
    EXPECT_EQ(total, at);
    LONGLONG queued = 0, delivered = 0;
    ASSERT_EQ(S_OK, g.push->GetCounts(&queued, &delivered));
    EXPECT_EQ(total, queued);
    EXPECT_EQ(total, delivered);
}

TEST_F(CamKitTest, PushSourceRefusesFormatsThatAreNotPcm)
{
    struct Case {
        const char* label;
        WAVEFORMATEX wf;
        HRESULT expected;
    } cases[] = {
        {"22 kHz mono", Pcm(22050, 1), S_OK},
        {"44 kHz stereo", Pcm(44100, 2), S_OK},
        {"no channels", Pcm(22050, 0), E_INVALIDARG},
        {"rate 0", Pcm(0, 1), E_INVALIDARG},
        {"not PCM", [] { WAVEFORMATEX w = Pcm(22050, 1); w.wFormatTag = 0x11; return w; }(), E_INVALIDARG},
        {"bytes per second wrong", [] { WAVEFORMATEX w = Pcm(22050, 1); w.nAvgBytesPerSec = 1; return w; }(), E_INVALIDARG},
    };
    for (const Case& c : cases) {
        IXrvPushSource* push = NULL;
        ASSERT_EQ(S_OK, CreatePushSourceFilter(IID_IXrvPushSource, (void**)&push));
        EXPECT_EQ(c.expected, push->SetFormat(&c.wf)) << c.label;
        push->Release();
    }
}

}  // namespace
