// The preview graph of the timeline engine over the program's kind of
// timeline (xrvc red 0-2 s, uncompressed blue 2-4 s, a still 4-5 s, a tone
// 0-4 s): its filters and links with the plain renderer, the sound switched
// off and on, and a preview that runs on the clock to EC_COMPLETE, which
// comes as a window message.
#include "DexTestMedia.h"
#include "TimelineTestSupport.h"
#include "TestSupport.h"

#include "XRVDirectShow/GraphUtil.h"
#include "XRVDirectShow/MediaTypes.h"
#include "XRVDirectShow/XRVDSTimeline.h"

namespace {

using namespace dextest;

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class TimelineGraphTest : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        XRVDSTimeline::s_bForcePlainRenderer = TRUE;
        AviSpec spec;
        spec.width = 320;
        spec.height = 240;
        spec.codec = kXrvc;
        spec.frameColours.assign(10, kRed);
        ASSERT_EQ("", WriteAvi(dir.File("A.avi"), spec));
        spec.codec = 0;
        spec.frameColours.assign(10, kBlue);
        ASSERT_EQ("", WriteAvi(dir.File("B.avi"), spec));
        ASSERT_TRUE(WriteToneWav(dir.File("T.wav"), 22050, 440.0, 22050 * 4));
        ASSERT_TRUE(WriteSolidPng(dir.File("S.png"), 1280, 720, kGreen));
    }
    void TearDown() override
    {
        XRVDSTimeline::s_bForcePlainRenderer = FALSE;
        ComTest::TearDown();
    }
    void Build(XRVDSTimeline& t)
    {
        CComPtr<IAMTimelineComp> comp;
        ASSERT_EQ(S_OK, t.GetVideoComp(&comp, t.GetVideoCompNum()));
        CComPtr<IAMTimelineTrack> track;
        ASSERT_EQ(S_OK, t.AddTrackToComp(comp, &track));
        struct Clip {
            std::wstring name;
            double start, stop;
        } clips[] = {{Wide(dir.File("A.avi")), 0, 2},
                     {Wide(dir.File("B.avi")), 2, 4},
                     {Wide(dir.File("S.png")) + L".XRVImg3", 4, 5}};
        for (const Clip& c : clips) {
            BSTR b = SysAllocString(c.name.c_str());
            ASSERT_EQ(S_OK, t.AddSourceToTrack(track, b, Sec(c.start), Sec(c.stop), 0, Sec(c.stop - c.start), TRUE));
            SysFreeString(b);
        }
        ASSERT_EQ(S_OK, t.AddAudioFileToTimeline(dir.File("T.wav").c_str(), 0, Sec(4), 0, Sec(4), 0, TRUE, FALSE,
                                                 FALSE, FALSE));
        ASSERT_EQ(S_OK, t.InitializeRenderEngine(FALSE));
        ASSERT_EQ(S_OK, t.AddFiltersToGraph(FALSE));
        ASSERT_EQ(S_OK, t.ConnectFiltersInGraph());
    }
    static bool InGraph(IGraphBuilder* graph, const wchar_t* name)
    {
        CComPtr<IBaseFilter> f;
        return SUCCEEDED(graph->FindFilterByName(name, &f)) && f;
    }
    static bool InputConnected(IBaseFilter* filter)
    {
        CComPtr<IPin> in, peer;
        return SUCCEEDED(FindInputPin(filter, &in, 0)) && SUCCEEDED(in->ConnectedTo(&peer)) && peer;
    }
    testsupport::ScratchDir dir{"graph"};
};

TEST_F(TimelineGraphTest, PreviewChainWithThePlainRenderer)
{
    XRVDSTimeline t(TRUE, TRUE);
    Build(t);
    EXPECT_FALSE(Reported("CreateRenderEngine() failed (constructor)"));
    ASSERT_TRUE(t.m_pGraph != NULL);
    struct Expect {
        const wchar_t* name;
        bool present;
    } filters[] = {{L"SampleGrabber-Pre Zoom", true}, {L"Overlay", true},   {L"Color Space Converter", true},
                   {L"Video Renderer", true},         {L"VMR7", false},     {L"VMR9", false},
                   {L"Kestravon Audio Renderer", true}};
    for (const Expect& e : filters)
        EXPECT_EQ(e.present, InGraph(t.m_pGraph, e.name)) << std::string(e.name, e.name + wcslen(e.name));
    EXPECT_EQ(2, t.m_nRendererMode);
    EXPECT_TRUE(t.GetActiveVideoRenderer() == t.m_pVideoRenderer.p);
    EXPECT_TRUE(InputConnected(t.m_pVideoRenderer));
    EXPECT_TRUE(InputConnected(t.m_pAudioRenderer));
    CComPtr<IVideoWindow> window;
    EXPECT_EQ(S_OK, t.GetVideoWindow(&window));

    // The preview took the largest source: the still's 1280x720 at 5 fps.
    CComPtr<IAMTimelineGroup> group;
    ASSERT_EQ(S_OK, t.GetVideoGroup(&group));
    AM_MEDIA_TYPE mt = {};
    ASSERT_EQ(S_OK, group->GetMediaType(&mt));
    ASSERT_TRUE(mt.pbFormat != NULL);
    EXPECT_EQ(1280, ((VIDEOINFOHEADER*)mt.pbFormat)->bmiHeader.biWidth);
    EXPECT_EQ(720, ((VIDEOINFOHEADER*)mt.pbFormat)->bmiHeader.biHeight);
    FreeMediaType(mt);
    double fps = 0;
    group->GetOutputFPS(&fps);
    EXPECT_EQ(5.0, fps);

    // Sound off, then on again.
    EXPECT_EQ(S_OK, t.ToggleAudioRendering());
    EXPECT_FALSE(InputConnected(t.m_pAudioRenderer));
    EXPECT_TRUE(t.m_bAudioPreviewOff);
    EXPECT_EQ(S_OK, t.ToggleAudioRendering());
    EXPECT_TRUE(InputConnected(t.m_pAudioRenderer));
    EXPECT_FALSE(t.m_bAudioPreviewOff);
}

// The preview runs on the graph's clock: EC_COMPLETE, posted to a window,
// comes only after the timeline's 5 s have played (not before 4.5 s).
TEST_F(TimelineGraphTest, PreviewPlaysOnTheClockToCompletion)
{
    XRVDSTimeline t(TRUE, TRUE);
    Build(t);
    ASSERT_TRUE(t.m_pMediaEvent != NULL);
    HWND hwnd = CreateWindowA("STATIC", "events", 0, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    ASSERT_TRUE(hwnd != NULL);
    const UINT kGraphEvent = WM_APP + 7;
    ASSERT_EQ(S_OK, t.m_pMediaEvent->SetNotifyWindow((OAHWND)hwnd, kGraphEvent, 0));
    CComQIPtr<IMediaControl> control(t.m_pGraph);
    DWORD started = GetTickCount();
    ASSERT_TRUE(SUCCEEDED(control->Run()));
    bool complete = false;
    DWORD elapsed = 0;
    while (!complete && GetTickCount() - started < 30000) {
        MSG msg;
        if (PeekMessageA(&msg, hwnd, kGraphEvent, kGraphEvent, PM_REMOVE)) {
            long code = 0;
            LONG_PTR p1 = 0, p2 = 0;
            while (t.m_pMediaEvent->GetEvent(&code, &p1, &p2, 0) == S_OK) {
                t.m_pMediaEvent->FreeEventParams(code, p1, p2);
                if (code == EC_COMPLETE) {
                    complete = true;
                    elapsed = GetTickCount() - started;
                }
                EXPECT_NE(EC_ERRORABORT, code);
            }
        } else {
            MsgWaitForMultipleObjects(0, NULL, FALSE, 50, QS_ALLINPUT);
        }
    }
    control->Stop();
    t.m_pMediaEvent->SetNotifyWindow(0, 0, 0);
    DestroyWindow(hwnd);
    EXPECT_TRUE(complete);
    EXPECT_GE(elapsed, 4500u);
}

}  // namespace
