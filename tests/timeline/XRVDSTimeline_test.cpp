// The timeline engine object: construction, its lock, value helpers, records,
// the tree skeleton, transitions, splitting, copying and resetting.
#include "TimelineTestSupport.h"
#include "XRVDirectShow/XRVDSTimeline.h"
#include "platform/dex/DexFactory.h"

#include <process.h>

namespace {

class XRVDSTimelineTest : public ComTest {};

// A class nobody registers.
REFCLSID CLSID_OverlayFilter()
{
    static const CLSID clsid = {0x31ad8e10, 0x8630, 0x4e54, {0xa8, 0x5f, 0xf8, 0xdd, 0x93, 0x43, 0xd7, 0x6a}};
    return clsid;
}

// A class nobody registers.
REFCLSID CLSID_Nobody()
{
    static const CLSID clsid = {0x0badc1a5, 0x0000, 0x4e54, {0xa8, 0x5f, 0xf8, 0xdd, 0x93, 0x43, 0xd7, 0x6a}};
    return clsid;
}

// Tracks of a composition of the video group.
long TrackCount(XRVDSTimeline& t, int comp)
{
    long count = -1;
    EXPECT_EQ(S_OK, t.GetNumCompositions(&count, comp));
    return count;
}

CComPtr<IAMTimelineObj> VideoTrack(XRVDSTimeline& t, int comp, long index)
{
    CComPtr<IAMTimelineComp> c;
    EXPECT_EQ(S_OK, t.GetVideoComp(&c, comp));
    CComPtr<IAMTimelineObj> track;
    if (c) {
        EXPECT_EQ(S_OK, c->GetVTrack(&track, index));
    }
    return track;
}

long GroupCount(XRVDSTimeline& t)
{
    long count = -1;
    t.m_pTimeline->GetGroupCount(&count);
    return count;
}

TEST_F(XRVDSTimelineTest, ConstructionBuildsTheVideoSkeleton)
{
    XRVDSTimeline t(TRUE, TRUE);
    ASSERT_TRUE(t.m_pTimeline != NULL);
    EXPECT_EQ(0, t.m_nVideoPin);
    EXPECT_EQ(-1, t.m_nAudioPin);
    EXPECT_FALSE(t.HasAudioGroup());
    EXPECT_FALSE(t.m_bNoVideo);
    EXPECT_EQ(1, GroupCount(t));
    CComPtr<IAMTimelineGroup> group;
    ASSERT_EQ(S_OK, t.GetVideoGroup(&group));
    BSTR name = NULL;
    group->GetGroupName(&name);
    EXPECT_STREQ(L"Video Group", name);
    SysFreeString(name);
    long comps = 0;
    CComQIPtr<IAMTimelineComp>(group)->VTrackGetCount(&comps);
    ASSERT_EQ(3, comps);
    EXPECT_EQ(1, TrackCount(t, t.GetBlankCompNum()));
    EXPECT_EQ(2, TrackCount(t, t.GetTransCompNum()));
    EXPECT_EQ(0, TrackCount(t, t.GetVideoCompNum()));
    EXPECT_FALSE(t.HasVideoTracks());
    // The blank composition: one colour source over [0, 1], media [0, 1], cropped.
    CComPtr<IAMTimelineObj> blankTrack = VideoTrack(t, t.GetBlankCompNum(), 0);
    CComPtr<IAMTimelineObj> blank;
    REFERENCE_TIME at = 0;
    ASSERT_EQ(S_OK, CComQIPtr<IAMTimelineTrack>(blankTrack)->GetNextSrc(&blank, &at));
    std::vector<Span> spans = TrackSources(blankTrack);
    ASSERT_EQ(1u, spans.size());
    EXPECT_EQ(0, spans[0].start);
    EXPECT_EQ(1, spans[0].stop);
    EXPECT_EQ(0, spans[0].mstart);
    EXPECT_EQ(1, spans[0].mstop);
    GUID sub;
    blank->GetSubObjectGUID(&sub);
    EXPECT_TRUE(IsEqualGUID(CLSID_ColorSource, sub));
    int stretch = -1;
    CComQIPtr<IAMTimelineSrc>(blank)->GetStretchMode(&stretch);
    EXPECT_EQ(RESIZEF_CROP, stretch);
    // Our render engine comes through the factory (Wine registers none).
    EXPECT_FALSE(Reported("CreateRenderEngine() failed (constructor)"));
    EXPECT_TRUE(t.m_pRenderEngine != NULL);
    EXPECT_TRUE(t.m_pScratchGroup != NULL);
    EXPECT_EQ(32, t.m_nBitDepth);
    EXPECT_EQ(0xFFFFFFFFu, t.m_SecondAudioFormat.nAvgBytesPerSec);
}

TEST_F(XRVDSTimelineTest, WithoutVideoGroupThereIsNone)
{
    XRVDSTimeline t(FALSE, FALSE);
    EXPECT_TRUE(t.m_bNoVideo);
    EXPECT_TRUE(t.m_bNoAudio);
    EXPECT_EQ(-1, t.m_nVideoPin);
    EXPECT_EQ(0, GroupCount(t));
    CComPtr<IAMTimelineGroup> group;
    EXPECT_EQ(E_FAIL, t.GetVideoGroup(&group));
}

HRESULT RefuseTimeline(REFIID, void** ppv)
{
    *ppv = NULL;
    return REGDB_E_CLASSNOTREG;
}

TEST_F(XRVDSTimelineTest, MissingTimelineClassStillYieldsAnObject)
{
    DexSetClassFactory(CLSID_AMTimeline, RefuseTimeline);
    XRVDSTimeline t(TRUE, TRUE);
    DexSetClassFactory(CLSID_AMTimeline, NULL);
    EXPECT_TRUE(t.m_pTimeline == NULL);
    EXPECT_TRUE(Reported("CoCreateInstance() failed for CLSID_AMTimeline"));
    EXPECT_TRUE(FAILED(t.CreateAudioGroup()));
    EXPECT_EQ(0, t.GetDuration());
}

HRESULT RefuseRenderEngine(REFIID, void** ppv)
{
    *ppv = NULL;
    return E_ACCESSDENIED;
}

TEST_F(XRVDSTimelineTest, RenderEngineFailureIsReturnedUnreported)
{
    DexSetClassFactory(CLSID_RenderEngine, RefuseRenderEngine);
    XRVDSTimeline t(TRUE, TRUE);
    const size_t before = Reports().size();
    EXPECT_EQ(E_ACCESSDENIED, t.CreateRenderEngine());
    DexSetClassFactory(CLSID_RenderEngine, NULL);
    EXPECT_EQ(before, Reports().size());
}

TEST_F(XRVDSTimelineTest, AnswersOnlyAsSampleGrabberCallback)
{
    XRVDSTimeline t(FALSE, FALSE);
    void* p = NULL;
    EXPECT_EQ(S_OK, t.QueryInterface(IID_ISampleGrabberCB, &p));
    EXPECT_EQ(static_cast<ISampleGrabberCB*>(&t), p);
    EXPECT_EQ(S_OK, t.QueryInterface(IID_IUnknown, &p));
    EXPECT_EQ(E_NOINTERFACE, t.QueryInterface(IID_IAMTimeline, &p));
    EXPECT_EQ(E_POINTER, t.QueryInterface(IID_IUnknown, NULL));
    EXPECT_EQ(1u, t.AddRef());
    EXPECT_EQ(0u, t.Release());
    EXPECT_EQ(0, t.BufferCB(0, NULL, 0));
}

namespace {
BOOL NoDirect3D() { return FALSE; }
BOOL WithDirect3D() { return TRUE; }

unsigned short FpuControl()
{
    unsigned short control = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(control));
    return control;
}
// The x87 control word as the process started, before any test ran.
const unsigned short g_startControl = FpuControl();
}  // namespace

// The mixing renderers are made only where a Direct3D device starts (they
// end the process when connected without one) and never when the plain
// renderer is forced; the plain renderer is always there.
TEST_F(XRVDSTimelineTest, MixingRenderersOnlyWhereDirect3DStarts)
{
    const struct {
        BOOL (*check)();
        BOOL forcePlain;
        bool mixing;
    } cases[] = {{NoDirect3D, FALSE, false}, {WithDirect3D, FALSE, true}, {WithDirect3D, TRUE, false}};
    BOOL (*saved)() = XRVDSTimeline::s_pfnDirect3DStarts;
    for (const auto& c : cases) {
        XRVDSTimeline::s_pfnDirect3DStarts = c.check;
        XRVDSTimeline::s_bForcePlainRenderer = c.forcePlain;
        {
            XRVDSTimeline t(FALSE, FALSE);
            EXPECT_EQ(c.mixing, t.m_pVMR7 != NULL || t.m_pVMR9 != NULL) << c.forcePlain;
            EXPECT_TRUE(t.m_pVideoRenderer != NULL);
        }
    }
    XRVDSTimeline::s_pfnDirect3DStarts = saved;
    XRVDSTimeline::s_bForcePlainRenderer = FALSE;
    EXPECT_EQ(XRVDSTimeline::Direct3DStarts(), XRVDSTimeline::Direct3DStarts()) << "asked once, answered alike";
    // Asking Direct3D leaves the x87 precision and rounding as they were
    // (it would switch the process to single precision).
    EXPECT_EQ(g_startControl & 0x0F00, FpuControl() & 0x0F00);
}

TEST_F(XRVDSTimelineTest, PreviewFiltersAreMadeOnceAndFiltersJoinGraphsByName)
{
    XRVDSTimeline t(FALSE, FALSE);
    ASSERT_TRUE(t.m_pVideoRenderer != NULL);
    ASSERT_TRUE(t.m_pPreZoomSG != NULL);
    // The overlay filter's stand-in comes through the factory.
    EXPECT_FALSE(Reported("CoCreateInstance() failed for CLSID_Overlay in CreateFilters()"));
    EXPECT_TRUE(t.m_pOverlayFilter != NULL);
    IBaseFilter* renderer = t.m_pVideoRenderer;
    EXPECT_EQ(0, t.CreateFilters());
    EXPECT_EQ(renderer, t.m_pVideoRenderer.p);
    struct Row {
        int mode;
        IBaseFilter* expected;
    } rows[] = {{0, t.m_pVMR9 ? t.m_pVMR9.p : (t.m_pVMR7 ? t.m_pVideoRenderer.p : renderer)},
                {1, t.m_pVMR7 ? t.m_pVMR7.p : renderer},
                {2, renderer}};
    for (const Row& r : rows) {
        t.m_nRendererMode = r.mode;
        EXPECT_EQ(r.expected, t.GetActiveVideoRenderer()) << "mode " << r.mode;
    }

    CComPtr<IGraphBuilder> graph;
    ASSERT_EQ(S_OK, graph.CoCreateInstance(CLSID_FilterGraph));
    EXPECT_EQ(E_FAIL, XRVDSTimeline::AddFilter(graph, CLSID_SampleGrabber, L"Grabber", NULL));
    CComPtr<IBaseFilter> grabber;
    ASSERT_EQ(S_OK, XRVDSTimeline::AddFilter(graph, CLSID_SampleGrabber, L"Kestravon Grabber", &grabber));
    CComPtr<IBaseFilter> found;
    EXPECT_EQ(S_OK, graph->FindFilterByName(L"Kestravon Grabber", &found));
    EXPECT_EQ(grabber.p, found.p);
    CComPtr<IBaseFilter> none;
    EXPECT_TRUE(FAILED(XRVDSTimeline::AddFilter(graph, CLSID_Nobody(), L"Nothing", &none)));
    EXPECT_TRUE(none == NULL);
}

// A media sample with a chosen start time, data and media type.
class FakeSample : public IMediaSample {
public:
    FakeSample(const std::string& data, bool timed, REFERENCE_TIME start, bool typed)
        : m_data(data), m_timed(timed), m_start(start), m_typed(typed)
    {
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMediaSample)) {
            *ppv = static_cast<IMediaSample*>(this);
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetPointer(BYTE** p) override
    {
        *p = (BYTE*)&m_data[0];
        return S_OK;
    }
    STDMETHODIMP_(long) GetSize() override { return (long)m_data.size(); }
    STDMETHODIMP GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override
    {
        if (!m_timed)
            return VFW_E_SAMPLE_TIME_NOT_SET;
        *start = m_start;
        *stop = m_start + 1;
        return S_OK;
    }
    STDMETHODIMP SetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return E_NOTIMPL; }
    STDMETHODIMP IsSyncPoint() override { return S_OK; }
    STDMETHODIMP SetSyncPoint(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP IsPreroll() override { return S_FALSE; }
    STDMETHODIMP SetPreroll(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP_(long) GetActualDataLength() override { return (long)m_data.size(); }
    STDMETHODIMP SetActualDataLength(long) override { return E_NOTIMPL; }
    // The format block is the text "fmt:" and the data's first letter.
    STDMETHODIMP GetMediaType(AM_MEDIA_TYPE** type) override
    {
        *type = NULL;
        if (!m_typed)
            return S_FALSE;
        AM_MEDIA_TYPE* mt = (AM_MEDIA_TYPE*)CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE));
        memset(mt, 0, sizeof(*mt));
        mt->majortype = MEDIATYPE_Video;
        mt->cbFormat = 5;
        mt->pbFormat = (BYTE*)CoTaskMemAlloc(5);
        memcpy(mt->pbFormat, "fmt:", 4);
        mt->pbFormat[4] = (BYTE)m_data[0];
        *type = mt;
        return S_OK;
    }
    STDMETHODIMP SetMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP IsDiscontinuity() override { return S_FALSE; }
    STDMETHODIMP SetDiscontinuity(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP GetMediaTime(LONGLONG*, LONGLONG*) override { return VFW_E_MEDIA_TIME_NOT_SET; }
    STDMETHODIMP SetMediaTime(LONGLONG*, LONGLONG*) override { return E_NOTIMPL; }

private:
    std::string m_data;
    bool m_timed;
    REFERENCE_TIME m_start;
    bool m_typed;
};

std::string HeldFrame(const XRVDSTimeline& t)
{
    if (!t.m_bSampleReady || !t.m_pSampleBuffer)
        return "(none)";
    return std::string((const char*)t.m_pSampleBuffer, t.m_cbSample) + " / " +
           std::string((const char*)t.m_pSampleFormat, t.m_cbSampleFormat);
}

// What the frame-grab reader does once it has read the frame.
void FreeHeldFrame(XRVDSTimeline& t)
{
    delete[] t.m_pSampleBuffer;
    delete[] t.m_pSampleFormat;
    t.m_pSampleBuffer = NULL;
    t.m_pSampleFormat = NULL;
    t.m_cbSample = 0;
    t.m_cbSampleFormat = 0;
    t.m_bSampleReady = FALSE;
}

// The grabber callback keeps the first frame that starts at 0 while none is
// held, with its format, until the reader frees it.
TEST_F(XRVDSTimelineTest, SampleCallbackKeepsTheFirstFrameStartingAtZero)
{
    XRVDSTimeline t(FALSE, FALSE);
    ASSERT_TRUE(t.m_pPreZoomSG != NULL);
    struct Step {
        const char* name;
        bool freeFirst;
        const char* data;
        bool timed;
        REFERENCE_TIME start;
        bool typed;
        const char* held;
    } steps[] = {
        {"starts later", false, "late", true, 400000, true, "(none)"},
        {"carries no time", false, "untimed", false, 0, true, "(none)"},
        {"has no format to read it by", false, "bare", true, 0, false, "(none)"},
        {"first at 0", false, "first", true, 0, true, "first / fmt:f"},
        {"second at 0 while one is held", false, "second", true, 0, true, "first / fmt:f"},
        {"later while one is held", false, "tail", true, 400000, true, "first / fmt:f"},
        {"at 0 once the reader freed it", true, "again", true, 0, true, "again / fmt:a"},
    };
    for (const Step& s : steps) {
        if (s.freeFirst)
            FreeHeldFrame(t);
        FakeSample sample(s.data, s.timed, s.start, s.typed);
        EXPECT_EQ(S_OK, t.SampleCB(s.start / 1e7, &sample)) << s.name;
        EXPECT_EQ(s.held, HeldFrame(t)) << s.name;
    }
    EXPECT_EQ(S_OK, t.SampleCB(0, NULL));
    EXPECT_EQ("again / fmt:a", HeldFrame(t));
    // Without the grabber there is nothing to keep a frame for.
    FreeHeldFrame(t);
    t.m_pPreZoomSG.Release();
    FakeSample sample("orphan", true, 0, true);
    EXPECT_EQ(S_OK, t.SampleCB(0, &sample));
    EXPECT_EQ("(none)", HeldFrame(t));
}

// ---------------------------------------------------------------------------
// Preview filters made again after a failed first attempt.

// Real filters handed out by the factory overrides below; the test keeps one
// reference to each and reads the count through AddRef/Release.
IBaseFilter* g_filters[5];
int g_rendererCalls;

template <int N> HRESULT HandOutFilter(REFIID riid, void** ppv)
{
    return g_filters[N]->QueryInterface(riid, ppv);
}

HRESULT RendererFailingOnce(REFIID riid, void** ppv)
{
    *ppv = NULL;
    if (g_rendererCalls++ == 0)
        return E_OUTOFMEMORY;
    return g_filters[4]->QueryInterface(riid, ppv);
}

ULONG References(IUnknown* p)
{
    p->AddRef();
    return p->Release();
}

TEST_F(XRVDSTimelineTest, FiltersMadeAgainAfterAFailureReleaseTheFirstOnes)
{
    const CLSID* classes[5] = {&CLSID_OverlayFilter(), &CLSID_SampleGrabber, &CLSID_VideoMixingRenderer,
                               &CLSID_VideoMixingRenderer9, &CLSID_VideoRenderer};
    const DexCreateFunction overrides[5] = {HandOutFilter<0>, HandOutFilter<1>, HandOutFilter<2>, HandOutFilter<3>,
                                            RendererFailingOnce};
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_SampleGrabber, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                         (void**)&g_filters[i]));
    g_rendererCalls = 0;
    for (int i = 0; i < 5; ++i)
        DexSetClassFactory(*classes[i], overrides[i]);
    std::vector<std::string> counts;
    auto countAll = [&] {
        std::string text;
        for (IBaseFilter* f : g_filters)
            text += std::to_string(References(f));
        return text;
    };
    {
        XRVDSTimeline t(FALSE, FALSE);   // its first CreateFilters fails on the renderer
        counts.push_back(countAll());
        const BOOL createdAfterFailure = t.m_bFiltersCreated;
        for (int call = 0; call < 2; ++call) {
            const HRESULT hr = t.CreateFilters();
            counts.push_back(std::to_string(hr) + " " + countAll());
        }
        EXPECT_FALSE(createdAfterFailure);
        EXPECT_TRUE(t.m_bFiltersCreated);
        EXPECT_EQ(g_filters[1], t.m_pPreZoomSG.p);
        EXPECT_EQ(g_filters[4], t.m_pVideoRenderer.p);
    }
    counts.push_back(countAll());
    for (int i = 0; i < 5; ++i)
        DexSetClassFactory(*classes[i], NULL);
    for (IBaseFilter*& f : g_filters) {
        f->Release();
        f = NULL;
    }
    // One reference is the test's; the timeline holds one more of each, never two.
    const std::vector<std::string> expected = {"22221", "0 22222", "0 22222", "11111"};
    EXPECT_EQ(expected, counts);
    EXPECT_TRUE(Reported("CoCreateInstance() failed for CLSID_VideoRenderer in CreateFilters()"));
}

TEST_F(XRVDSTimelineTest, AudioGroupIsMadeOnce)
{
    XRVDSTimeline t(TRUE, TRUE);
    ASSERT_EQ(S_OK, t.CreateAudioGroup());
    ASSERT_EQ(S_OK, t.CreateAudioGroup());
    EXPECT_EQ(2, GroupCount(t));
    EXPECT_EQ(1, t.m_nAudioPin);
    EXPECT_TRUE(t.HasAudioGroup());
    CComPtr<IAMTimelineGroup> group;
    ASSERT_EQ(S_OK, t.GetAudioGroup(&group));
    BSTR name = NULL;
    group->GetGroupName(&name);
    EXPECT_STREQ(L"Audio Group", name);
    SysFreeString(name);
    double fps = 0;
    group->GetOutputFPS(&fps);
    EXPECT_EQ(10.0, fps);
    AM_MEDIA_TYPE mt = {};
    group->GetMediaType(&mt);
    EXPECT_TRUE(IsEqualGUID(MEDIATYPE_Audio, mt.majortype));
    EXPECT_TRUE(IsEqualGUID(GUID_NULL, mt.subtype));
    EXPECT_EQ(0u, mt.cbFormat);
}

TEST_F(XRVDSTimelineTest, TrackMeasures)
{
    XRVDSTimeline t(TRUE, TRUE);
    CComPtr<IAMTimelineComp> comp;
    ASSERT_EQ(S_OK, t.GetVideoComp(&comp, t.GetVideoCompNum()));
    CComPtr<IAMTimelineTrack> track;
    ASSERT_EQ(S_OK, t.AddTrackToComp(comp, &track));
    LONGLONG start = 0, stop = 0, length = -1;
    ASSERT_EQ(S_OK, t.GetTrackStartStop(track, &start, &stop));
    EXPECT_EQ(-1, start);
    ASSERT_EQ(S_OK, t.GetTrackMediaLength(track, &length));
    EXPECT_EQ(0, length);
    // Timeline 0..10 s playing the file's 5th to 15th second, then 20..25 s.
    BSTR file = SysAllocString(L"C:\\a.avi");
    ASSERT_EQ(S_OK, t.AddSourceToTrack(track, file, 0, Sec(10), Sec(5), Sec(15), TRUE));
    ASSERT_EQ(S_OK, t.AddSourceToTrack(track, file, Sec(20), Sec(25), 0, Sec(5), TRUE));
    SysFreeString(file);
    std::vector<Span> spans = TrackSources(CComQIPtr<IAMTimelineObj>(track));
    ASSERT_EQ(2u, spans.size());
    EXPECT_EQ(Sec(5), spans[0].mstart);
    EXPECT_EQ(Sec(15), spans[0].mstop);
    ASSERT_EQ(S_OK, t.GetTrackStartStop(track, &start, &stop));
    EXPECT_EQ(0, start);
    EXPECT_EQ(Sec(25), stop);
    ASSERT_EQ(S_OK, t.GetTrackMediaLength(track, &length));
    EXPECT_EQ(Sec(15), length);
    ASSERT_EQ(S_OK, t.GetTrackMediaStartStop(track, &start, &stop));
    EXPECT_EQ(0, start);
    EXPECT_EQ(Sec(15), stop);
    EXPECT_TRUE(t.HasVideoTracks());
    EXPECT_EQ(Sec(25), t.GetDuration());
    // Muting.
    EXPECT_FALSE(t.IsCompTrackMuted(0, 1));
    CComQIPtr<IAMTimelineObj>(track)->SetMuted(TRUE);
    EXPECT_TRUE(t.IsCompTrackMuted(0, 1));
    EXPECT_FALSE(t.IsCompMuted(1));
}

// ---------------------------------------------------------------------------
// The lock.

struct Holder {
    XRVDSTimeline* t;
    DWORD holdMs;
    HANDLE taken;
    HANDLE released;
};

unsigned __stdcall HoldLock(void* p)
{
    Holder* h = (Holder*)p;
    int r = h->t->AcquireLock(FALSE, NULL);
    SetEvent(h->taken);
    if (r == 0) {
        Sleep(h->holdMs);
        SetEvent(h->released);
        h->t->ReleaseLock();
    }
    return 0;
}

struct Pumped {
    int count;
    HANDLE released;
    bool beforeRelease;
};

LRESULT CALLBACK PumpProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_APP) {
        Pumped* p = (Pumped*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
        p->count++;
        p->beforeRelease = WaitForSingleObject(p->released, 0) == WAIT_TIMEOUT;
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

unsigned __stdcall PostLater(void* p)
{
    Sleep(2300);   // after the 2000 ms wait, while the holder still holds
    PostMessageA((HWND)p, WM_APP, 0, 0);
    return 0;
}

ULONGLONG ThreadCpu100ns()
{
    FILETIME c, e, k, u;
    GetThreadTimes(GetCurrentThread(), &c, &e, &k, &u);
    return ((ULONGLONG)k.dwHighDateTime << 32 | k.dwLowDateTime) + ((ULONGLONG)u.dwHighDateTime << 32 | u.dwLowDateTime);
}

// A lock held 2.5 s by another thread: the waiter keeps its window alive and
// gets the lock once it is free, without burning the processor meanwhile.
TEST_F(XRVDSTimelineTest, LockWaiterPumpsMessagesAndIsGrantedWhenFree)
{
    XRVDSTimeline t(FALSE, FALSE);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PumpProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "TimelineLockPump";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowA("TimelineLockPump", "", WS_OVERLAPPED, 0, 0, 10, 10, NULL, NULL, wc.hInstance, NULL);
    ASSERT_TRUE(hwnd != NULL);
    Holder h = {&t, 2500, CreateEventA(NULL, TRUE, FALSE, NULL), CreateEventA(NULL, TRUE, FALSE, NULL)};
    Pumped pumped = {0, h.released, false};
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)&pumped);
    HANDLE holder = (HANDLE)_beginthreadex(NULL, 0, HoldLock, &h, 0, NULL);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h.taken, 5000));
    HANDLE poster = (HANDLE)_beginthreadex(NULL, 0, PostLater, hwnd, 0, NULL);
    const ULONGLONG cpuBefore = ThreadCpu100ns();
    EXPECT_EQ(0, t.AcquireLock(FALSE, hwnd));
    const ULONGLONG cpu = ThreadCpu100ns() - cpuBefore;
    RecordProperty("waiter_cpu_ms", (int)(cpu / 10000));
    printf("waiter processor time: %d ms\n", (int)(cpu / 10000));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h.released, 0)) << "granted before the holder let go";
    EXPECT_EQ(1, pumped.count);
    EXPECT_TRUE(pumped.beforeRelease) << "the message waited for the lock instead of being pumped";
    EXPECT_LT(cpu, 1000000ull) << "the waiter spun for " << cpu / 10000 << " ms of processor time";
    t.ReleaseLock();
    WaitForSingleObject(holder, 5000);
    WaitForSingleObject(poster, 5000);
    CloseHandle(holder);
    CloseHandle(poster);
    CloseHandle(h.taken);
    CloseHandle(h.released);
    DestroyWindow(hwnd);
}

struct Waiter {
    XRVDSTimeline* t;
    BOOL noWait;
    int result;
    DWORD elapsed;
    TimelineLock* guard;
    bool useGuard;
};

unsigned __stdcall WaitForLock(void* p)
{
    Waiter* w = (Waiter*)p;
    DWORD start = GetTickCount();
    if (w->useGuard)
        w->guard = TimelineLock::Create(w->t, w->noWait);
    else
        w->result = w->t->AcquireLock(w->noWait, NULL);
    w->elapsed = GetTickCount() - start;
    return 0;
}

// The cancel event makes waiters give up: with noWait at once, without it
// after the 2000 ms wait; the guard factory then answers null.
TEST_F(XRVDSTimelineTest, CancelledWaitGivesUpAndNoWaitSkipsTheFirstWait)
{
    XRVDSTimeline t(FALSE, FALSE);
    Holder h = {&t, 6000, CreateEventA(NULL, TRUE, FALSE, NULL), CreateEventA(NULL, TRUE, FALSE, NULL)};
    HANDLE holder = (HANDLE)_beginthreadex(NULL, 0, HoldLock, &h, 0, NULL);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h.taken, 5000));
    // A waiter in the polling loop gives up when the event is set.
    Waiter polling = {&t, TRUE, -1, 0, NULL, true};
    HANDLE th = (HANDLE)_beginthreadex(NULL, 0, WaitForLock, &polling, 0, NULL);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(th, 300));
    SetEvent(t.GetCancelLock());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(th, 3000));
    CloseHandle(th);
    EXPECT_TRUE(polling.guard == NULL);
    // With the event already set: noWait answers at once, a plain wait after 2 s.
    Waiter quick = {&t, TRUE, -1, 0, NULL, false}, slow = {&t, FALSE, -1, 0, NULL, false};
    WaitForLock(&quick);
    WaitForLock(&slow);
    EXPECT_EQ(2, quick.result);
    EXPECT_EQ(2, slow.result);
    EXPECT_LT(quick.elapsed, 1500u);
    EXPECT_GE(slow.elapsed, 1900u);
    ResetEvent(t.GetCancelLock());
    SetEvent(h.released);
    WaitForSingleObject(holder, 10000);
    CloseHandle(holder);
    CloseHandle(h.taken);
    CloseHandle(h.released);
}

// The mutex is recursive for its holder; a guard releases what it took.
TEST_F(XRVDSTimelineTest, LockIsRecursiveAndGuardsRelease)
{
    XRVDSTimeline t(FALSE, FALSE);
    EXPECT_EQ(0, t.AcquireLock(FALSE, NULL));
    EXPECT_EQ(0, t.AcquireLock(TRUE, NULL));
    TimelineLock* guard = TimelineLock::Create(&t, TRUE);
    ASSERT_TRUE(guard != NULL);
    EXPECT_EQ(0, guard->Release());
    delete guard;
    t.ReleaseLock();
    t.ReleaseLock();
    // Now free: another thread takes it at once.
    Waiter other = {&t, TRUE, -1, 0, NULL, false};
    HANDLE th = (HANDLE)_beginthreadex(NULL, 0, WaitForLock, &other, 0, NULL);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(th, 3000));
    CloseHandle(th);
    EXPECT_EQ(0, other.result);
    EXPECT_LT(other.elapsed, 1500u);
    TimelineLock fresh(&t);
    EXPECT_EQ(2, fresh.result);
    EXPECT_EQ(2, fresh.Release());   // not taken: nothing to unlock
}

// ---------------------------------------------------------------------------
// Value helpers.

TEST(TimelineHelpers, SampleRatesSnapToStandardRates)
{
    struct Row {
        DWORD in, out;
    } rows[] = {{1, 8000},        {9511, 8000},   {9512, 11025},  {13511, 11025}, {13512, 22050},
                {16000, 22050},   {27024, 22050}, {27025, 32000}, {38049, 32000}, {38050, 44100},
                {46049, 44100},   {46050, 48000}, {96000, 48000}};
    for (const Row& r : rows) {
        DWORD rate = r.in;
        EXPECT_TRUE(SnapSampleRate(&rate));
        EXPECT_EQ(r.out, rate) << "rate " << r.in;
    }
    EXPECT_FALSE(SnapSampleRate(NULL));
}

TEST_F(XRVDSTimelineTest, WaveFormatsAreNormalised)
{
    XRVDSTimeline t(FALSE, FALSE);
    WAVEFORMATEX mono = {WAVE_FORMAT_PCM, 1, 16000, 16000, 1, 8, 0};
    ASSERT_TRUE(t.NormalizeWaveFormat(&mono));
    EXPECT_EQ(22050u, mono.nSamplesPerSec);
    EXPECT_EQ(1, mono.nChannels);
    EXPECT_EQ(16, mono.wBitsPerSample);
    EXPECT_EQ(2, mono.nBlockAlign);
    EXPECT_EQ(44100u, mono.nAvgBytesPerSec);
    t.m_bStereo = TRUE;
    WAVEFORMATEX m2 = {WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};
    ASSERT_TRUE(t.NormalizeWaveFormat(&m2));
    EXPECT_EQ(2, m2.nChannels);
    EXPECT_EQ(4, m2.nBlockAlign);
    EXPECT_EQ(176400u, m2.nAvgBytesPerSec);
    WAVEFORMATEX adpcm = {2 /* MS ADPCM */, 1, 22050, 11025, 512, 4, 0};
    EXPECT_FALSE(t.NormalizeWaveFormat(&adpcm));
    WAVEFORMATEX extra = {WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 2};
    EXPECT_FALSE(t.NormalizeWaveFormat(&extra));
    EXPECT_FALSE(t.NormalizeWaveFormat(NULL));
}

TEST_F(XRVDSTimelineTest, SizesShrinkToTheOutputKeepingTheirAspect)
{
    XRVDSTimeline t(FALSE, FALSE);
    t.m_nMaxOutputWidth = 640;
    t.m_nMaxOutputHeight = 480;
    struct Row {
        int w, h, ew, eh;
    } rows[] = {{1280, 720, 640, 360}, {320, 240, 320, 240}, {640, 480, 640, 480}, {600, 960, 300, 480},
                // Products of a double scale that are whole numbers: 180 x (640 / 900)
                // is 128 once held in a double, a hair under before.
                {1920, 1080, 640, 360}, {1440, 900, 640, 400}, {900, 180, 640, 128}, {900, 360, 640, 256},
                // The height's scale is a single-precision value, a hair over 1/3.
                {700, 1440, 233, 480}};
    for (const Row& r : rows) {
        int w = r.w, h = r.h;
        t.FitSizeKeepAspect(w, h);
        EXPECT_EQ(r.ew, w) << r.w << "x" << r.h;
        EXPECT_EQ(r.eh, h) << r.w << "x" << r.h;
    }
}

TEST(TimelineHelpers, RecordingPathsSplitIntoPackageAndStream)
{
    struct Row {
        const char* name;
        int result;
        const char* package;
        const char* stream;
    } rows[] = {
        {"xrvrec://C:\\Rec\\Take1.skorec!Screen_Stream.avi", 0, "c:\\rec\\take1.skorec", "screen_stream.avi"},
        {"C:\\Rec\\Take1.SKOREC!Camera_Stream.wmv", 0, "c:\\rec\\take1.skorec", "camera_stream.wmv"},
        {"C:\\Movies\\Clip.AVI", 1, "c:\\movies\\clip.avi", ""},
        {"C:\\Rec\\Take1.skorec", 1, "c:\\rec\\take1.skorec", ""},
    };
    for (const Row& r : rows) {
        CString package, stream;
        EXPECT_EQ(r.result, SplitRecordingPath(r.name, package, stream)) << r.name;
        EXPECT_STREQ(r.package, package) << r.name;
        EXPECT_STREQ(r.stream, stream) << r.name;
    }
}

TEST(TimelineHelpers, SmallValueHelpers)
{
    double zero = 0.0, rate = 29.97;
    DefaultZeroTo15(&zero);
    DefaultZeroTo15(&rate);
    EXPECT_EQ(15.0, zero);
    EXPECT_EQ(29.97, rate);
    CTaggedValue tagged = {0, 0};
    tagged.Set(77);
    EXPECT_EQ(77u, tagged.value);
    EXPECT_EQ(2u, tagged.tag);
    CBstr text;
    EXPECT_EQ(S_OK, text.Append(L"Kestr", 5));
    EXPECT_EQ(S_OK, text.Append(L"avonXYZ", 4));
    EXPECT_STREQ(L"Kestravon", text.m_str);
    EXPECT_EQ(9u, SysStringLen(text.m_str));
    EXPECT_EQ(S_OK, text.Append(NULL, 3));
    EXPECT_EQ(S_OK, text.Append(L"x", 0));
    EXPECT_STREQ(L"Kestravon", text.m_str);
}

} // namespace
