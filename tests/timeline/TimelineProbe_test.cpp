// Media probing of the timeline engine: the largest video properties over
// the program's recordings, a still and a .wav; each file probed once; the
// fit flag; a failing detector leaves the lock free; SetMediaDetSource's
// routes and refusals.
#include "DexTestMedia.h"
#include "TimelineTestSupport.h"
#include "TestSupport.h"

#include "XRVDirectShow/XRVDSTimeline.h"
#include "platform/dex/DexFactory.h"
#include "platform/dex/MediaDetector.h"

namespace {

using namespace dextest;

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class TimelineProbeTest : public ComTest {
protected:
    void TearDown() override
    {
        DexSetClassFactory(CLSID_MediaDet, NULL);
        ComTest::TearDown();
    }
    testsupport::ScratchDir dir{"probe"};

    // Puts `name` on a new video track over [start, stop] seconds.
    void AddClip(XRVDSTimeline& t, const std::wstring& name, double start, double stop)
    {
        CComPtr<IAMTimelineComp> comp;
        ASSERT_EQ(S_OK, t.GetVideoComp(&comp, t.GetVideoCompNum()));
        CComPtr<IAMTimelineTrack> track;
        ASSERT_EQ(S_OK, t.AddTrackToComp(comp, &track));
        BSTR b = SysAllocString(name.c_str());
        ASSERT_EQ(S_OK, t.AddSourceToTrack(track, b, Sec(start), Sec(stop), 0, Sec(stop - start), TRUE));
        SysFreeString(b);
    }
};

// Counts detectors made, and can make get_StreamMediaType fail.
LONG g_detectorsMade = 0;
bool g_failMediaType = false;

struct FailingDet final : public IMediaDet {
    IMediaDet* inner;
    LONG ref = 1;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMediaDet)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++ref; }
    STDMETHODIMP_(ULONG) Release() override
    {
        if (--ref)
            return ref;
        inner->Release();
        delete this;
        return 0;
    }
    STDMETHODIMP get_Filter(IUnknown** p) override { return inner->get_Filter(p); }
    STDMETHODIMP put_Filter(IUnknown* p) override { return inner->put_Filter(p); }
    STDMETHODIMP get_OutputStreams(LONG* p) override { return inner->get_OutputStreams(p); }
    STDMETHODIMP get_CurrentStream(LONG* p) override { return inner->get_CurrentStream(p); }
    STDMETHODIMP put_CurrentStream(LONG v) override { return inner->put_CurrentStream(v); }
    STDMETHODIMP get_StreamType(GUID* p) override { return inner->get_StreamType(p); }
    STDMETHODIMP get_StreamTypeB(BSTR* p) override { return inner->get_StreamTypeB(p); }
    STDMETHODIMP get_StreamLength(double* p) override { return inner->get_StreamLength(p); }
    STDMETHODIMP get_Filename(BSTR* p) override { return inner->get_Filename(p); }
    STDMETHODIMP put_Filename(BSTR v) override { return inner->put_Filename(v); }
    STDMETHODIMP GetBitmapBits(double t, LONG* s, char* b, LONG w, LONG h) override
    {
        return inner->GetBitmapBits(t, s, b, w, h);
    }
    STDMETHODIMP WriteBitmapBits(double t, LONG w, LONG h, BSTR f) override { return inner->WriteBitmapBits(t, w, h, f); }
    STDMETHODIMP get_StreamMediaType(AM_MEDIA_TYPE* p) override
    {
        return g_failMediaType ? E_OUTOFMEMORY : inner->get_StreamMediaType(p);
    }
    STDMETHODIMP GetSampleGrabber(ISampleGrabber** p) override { return inner->GetSampleGrabber(p); }
    STDMETHODIMP get_FrameRate(double* p) override { return inner->get_FrameRate(p); }
    STDMETHODIMP EnterBitmapGrabMode(double t) override { return inner->EnterBitmapGrabMode(t); }
};

HRESULT CountingDetector(REFIID riid, void** ppv)
{
    InterlockedIncrement(&g_detectorsMade);
    FailingDet* det = new FailingDet();
    HRESULT hr = DexCreateMediaDetector(IID_IMediaDet, (void**)&det->inner);
    if (FAILED(hr)) {
        delete det;
        return hr;
    }
    hr = det->QueryInterface(riid, ppv);
    det->Release();
    return hr;
}

struct MutexProbe {
    HANDLE mutex;
    bool free;
};

DWORD WINAPI TryMutex(void* p)
{
    MutexProbe* a = (MutexProbe*)p;
    DWORD r = WaitForSingleObject(a->mutex, 0);
    a->free = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
    if (a->free)
        ReleaseMutex(a->mutex);
    return 0;
}

// True when another thread can take the timeline's mutex at once.
bool LockIsFree(XRVDSTimeline& t)
{
    MutexProbe arg = {(HANDLE)t.m_Mutex, false};
    HANDLE thread = CreateThread(NULL, 0, TryMutex, &arg, 0, NULL);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return arg.free;
}

struct Files {
    std::string a, b, t, s, ntsc, package;
};

Files MakeFiles(testsupport::ScratchDir& dir)
{
    Files f{dir.File("A.avi"), dir.File("B.avi"), dir.File("T.wav"), dir.File("S.png"), dir.File("ntsc.avi")};
    AviPlan avi;
    avi.width = 320;
    avi.height = 240;
    avi.codec = kXrvc;
    avi.frameColours.assign(10, kRed);
    EXPECT_EQ("", WriteAvi(f.a, avi));
    avi.codec = 0;
    avi.frameColours.assign(10, kBlue);
    EXPECT_EQ("", WriteAvi(f.b, avi));
    EXPECT_TRUE(WriteToneWav(f.t, 22050, 440.0, 22050 * 4));
    EXPECT_TRUE(WriteSolidPng(f.s, 1280, 720, kGreen));
    AviPlan ntsc;
    ntsc.width = 64;
    ntsc.height = 48;
    ntsc.fps = 30000;
    ntsc.fpsScale = 1001;
    ntsc.frameColours.assign(3, kRed);
    EXPECT_EQ("", WriteAvi(f.ntsc, ntsc));
    f.package = dir.File("Rec.skorec");
    EXPECT_TRUE(WritePackage(f.package, {{L"Screen.avi", f.a}}));
    return f;
}

TEST_F(TimelineProbeTest, LargestPropertiesOverTheSources)
{
    Files f = MakeFiles(dir);
    DexSetClassFactory(CLSID_MediaDet, CountingDetector);
    struct Case {
        const char* name;
        bool fit;
        std::vector<std::wstring> clips;
        int width, height;
        double rate;
        LONG probes;
    } cases[] = {
        {"no sources", false, {}, 0, 0, 0.0, 0},
        {"A, B, S", false, {Wide(f.a), Wide(f.b), Wide(f.s) + L".XRVImg3"}, 1280, 720, 5.0, 3},
        {"S fitted into 640x480", true, {Wide(f.a), Wide(f.s) + L".XRVImg3"}, 640, 360, 5.0, 2},
        {"A in three clips", false, {Wide(f.a), Wide(f.a), Wide(f.a)}, 320, 240, 5.0, 1},
        {"29.97 fps rounds to 30", false, {Wide(f.ntsc), Wide(f.a)}, 320, 240, 30.0, 2},
        {"a missing file is passed over", false, {Wide(dir.File("gone.avi")), Wide(f.b)}, 320, 240, 5.0, 2},
        {"a recording package's stream", false, {L"xrvrec://" + Wide(f.package) + L"!screen.AVI"}, 320, 240, 5.0, 1},
    };
    for (const Case& c : cases) {
        XRVDSTimeline t(TRUE, TRUE);
        t.m_bFitStills = c.fit;
        t.m_nMaxOutputWidth = 640;
        t.m_nMaxOutputHeight = 480;
        double at = 0;
        for (const std::wstring& clip : c.clips) {
            AddClip(t, clip, at, at + 1);
            at += 1;
        }
        g_detectorsMade = 0;
        int w = -1, h = -1, bits = -1;
        double rate = -1;
        EXPECT_EQ(S_OK, t.GetMaxProperties(&w, &h, &rate, &bits)) << c.name;
        EXPECT_EQ(c.width, w) << c.name;
        EXPECT_EQ(c.height, h) << c.name;
        EXPECT_EQ(c.rate, rate) << c.name;
        EXPECT_EQ(c.probes, g_detectorsMade) << c.name;
        EXPECT_EQ(c.clips.empty() ? 0 : 32, bits) << c.name;
        EXPECT_TRUE(LockIsFree(t)) << c.name;
    }
}

// A detector that cannot give a media type ends the operation with E_FAIL;
// the lock is free afterwards.
TEST_F(TimelineProbeTest, FailedMediaTypeReleasesTheLock)
{
    Files f = MakeFiles(dir);
    DexSetClassFactory(CLSID_MediaDet, CountingDetector);
    XRVDSTimeline t(TRUE, TRUE);
    AddClip(t, Wide(f.b), 0, 1);
    g_failMediaType = true;
    int w = 0, h = 0;
    double rate = 0;
    EXPECT_EQ(E_FAIL, t.GetMaxProperties(&w, &h, &rate));
    g_failMediaType = false;
    EXPECT_TRUE(LockIsFree(t));
}

TEST_F(TimelineProbeTest, SetMediaDetSourceRoutes)
{
    Files f = MakeFiles(dir);
    CComPtr<IMediaDet> det;
    ASSERT_EQ(S_OK, DexCreate(CLSID_MediaDet, &det));
    EXPECT_EQ(E_FAIL, SetMediaDetSource(NULL, SysAllocString(Wide(f.a).c_str())));
    EXPECT_EQ(E_FAIL, SetMediaDetSource(det, SysAllocString(L"")));
    EXPECT_EQ(E_FAIL, SetMediaDetSource(det, NULL));

    // A still goes through the image source filter, named with the suffix.
    ASSERT_EQ(S_OK, SetMediaDetSource(det, SysAllocString(Wide(f.s).c_str())));
    CComPtr<IUnknown> filter;
    EXPECT_EQ(S_OK, det->get_Filter(&filter));
    CComQIPtr<IFileSourceFilter> source(filter);
    ASSERT_TRUE(source != NULL);
    LPOLESTR loaded = NULL;
    ASSERT_EQ(S_OK, source->GetCurFile(&loaded, NULL));
    EXPECT_EQ(Wide(f.s) + L".XRVImg3", std::wstring(loaded));
    CoTaskMemFree(loaded);

    // A plain file by name; a package stream through the package source,
    // which refuses what it cannot open.
    CComPtr<IMediaDet> det2;
    ASSERT_EQ(S_OK, DexCreate(CLSID_MediaDet, &det2));
    EXPECT_EQ(S_OK, SetMediaDetSource(det2, SysAllocString(Wide(f.t).c_str())));
    LONG streams = 0;
    EXPECT_EQ(S_OK, det2->get_OutputStreams(&streams));
    EXPECT_EQ(1, streams);
    EXPECT_TRUE(FAILED(SetMediaDetSource(det2, SysAllocString(L"xrvrec://C:\\none.skorec!Screen"))));
}

}  // namespace
