// The preview graph of the timeline engine over the program's kind of
// timeline (xrvc red 0-2 s, uncompressed blue 2-4 s, a still 4-5 s, a tone
// 0-4 s): its filters and links with the plain renderer, the sound switched
// off and on, and a preview that runs on the clock to EC_COMPLETE, which
// comes as a window message.
#include "DexTestMedia.h"
#include "MediaTestUtil.h"
#include "TimelineTestSupport.h"
#include "TestSupport.h"

#include "XRVDirectShow/GraphUtil.h"
#include "XRVDirectShow/MediaTypes.h"
#include "XRVDirectShow/XRVDSTimeline.h"
#include "platform/dex/ChainFilters.h"
#include "platform/dex/DexFactory.h"
#include "platform/dex/RenderEngine.h"
#include "platform/filters/SinkFilter.h"

#include <qedit.h>

#include <atomic>
#include <cmath>
#include <thread>

namespace {

using namespace dextest;

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class TimelineGraphTest : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        XRVDSTimeline::s_bForcePlainRenderer = TRUE;
        AviPlan avi;
        avi.width = 320;
        avi.height = 240;
        avi.codec = kXrvc;
        avi.frameColours.assign(10, kRed);
        ASSERT_EQ("", WriteAvi(dir.File("A.avi"), avi));
        avi.codec = 0;
        avi.frameColours.assign(10, kBlue);
        ASSERT_EQ("", WriteAvi(dir.File("B.avi"), avi));
        ASSERT_TRUE(WriteToneWav(dir.File("T.wav"), 22050, 440.0, 22050 * 4));
        ASSERT_TRUE(WriteSolidPng(dir.File("S.png"), 1280, 720, kGreen));
    }
    void TearDown() override
    {
        XRVDSTimeline::s_bForcePlainRenderer = FALSE;
        ComTest::TearDown();
    }
    void Build(XRVDSTimeline& t, const WAVEFORMATEX* wantedAudio = NULL, bool addZoom = false)
    {
        if (wantedAudio)
            t.m_WantedAudioFormat = *wantedAudio;
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
        if (addZoom) {
            ASSERT_EQ(S_OK, t.AddMovieZoomFilter());
        }
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

// The pixel of the X screen at (x, y) as 0xRRGGBB, read by ffmpeg's x11grab
// (outside Wine); 0xFFFFFFFF when it could not be read.
DWORD GrabScreenPixel(int x, int y)
{
    std::string out;
    char cmd[256];
    snprintf(cmd, sizeof(cmd),
             "timeout 20 ffmpeg -v error -f x11grab -video_size 1x1 -i \"$DISPLAY+%d,%d\" -frames:v 1 -f rawvideo "
             "-pix_fmt rgb24 - | od -An -tu1",
             x, y);
    if (testsupport::RunHost(cmd, &out) != 0)
        return 0xFFFFFFFF;
    unsigned r = 0, g = 0, b = 0;
    if (sscanf(out.c_str(), "%u %u %u", &r, &g, &b) != 3)
        return 0xFFFFFFFF;
    return (DWORD)(r << 16 | g << 8 | b);
}

bool NearColour(DWORD rgb, DWORD want)
{
    for (int shift = 0; shift <= 16; shift += 8) {
        const int a = (int)((rgb >> shift) & 0xFF), b = (int)((want >> shift) & 0xFF);
        if (abs(a - b) > 8)
            return false;
    }
    return true;
}

// The strength of one frequency in 16-bit samples (Goertzel), per sample.
double ToneStrength(const std::vector<int>& samples, double frequency, double rate)
{
    const double k = 2.0 * cos(2.0 * 3.14159265358979 * frequency / rate);
    double s1 = 0, s2 = 0;
    for (int v : samples) {
        const double s0 = v + k * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - k * s1 * s2;
    return samples.empty() ? 0.0 : sqrt(power > 0 ? power : 0) / (double)samples.size();
}

// The preview runs on the graph's clock into a real window and the sound
// sink: ffmpeg's x11grab sees red at 1 s and blue at 3 s at the video's
// centre, the sink's monitor carries the 440 Hz tone, and EC_COMPLETE,
// posted to a window, comes only after the timeline's 5 s have played (not
// before 4.5 s).
TEST_F(TimelineGraphTest, PreviewPlaysOnTheClockToCompletion)
{
    XRVDSTimeline t(TRUE, TRUE);
    Build(t);
    ASSERT_TRUE(t.m_pMediaEvent != NULL);
    HWND hwnd = CreateWindowA("STATIC", "events", 0, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    ASSERT_TRUE(hwnd != NULL);
    // The renderer's own window, frameless and above every other. (A window
    // of this thread as its owner would make the renderer's thread wait for
    // this one while this one waits for the graph.)
    const RECT area = {100, 100, 420, 340};
    CComPtr<IVideoWindow> video;
    ASSERT_EQ(S_OK, t.GetVideoWindow(&video));
    video->put_WindowStyle(WS_POPUP | WS_CLIPSIBLINGS);
    video->put_WindowStyleEx(WS_EX_TOPMOST);
    video->SetWindowPosition(area.left, area.top, area.right - area.left, area.bottom - area.top);
    video->put_Visible(OATRUE);
    const int cx = (area.left + area.right) / 2, cy = (area.top + area.bottom) / 2;

    const UINT kGraphEvent = WM_APP + 7;
    ASSERT_EQ(S_OK, t.m_pMediaEvent->SetNotifyWindow((OAHWND)hwnd, kGraphEvent, 0));
    CComQIPtr<IMediaControl> control(t.m_pGraph);
    CComQIPtr<IMediaSeeking> seeking(t.m_pGraph);
    ASSERT_TRUE(seeking != NULL);
    // 2 s of the sink's monitor from about 0.5 s on, written beside the test.
    const std::string heard = dir.File("monitor.raw");
    char parec[512];
    snprintf(parec, sizeof(parec),
             "(sleep 0.5; timeout 2 parec --raw --format=s16le --rate=22050 --channels=1 "
             "--device=${VEXCAP_PULSE_SINK:-vexcap_sink}.monitor > '%s') >/dev/null 2>&1 &",
             testsupport::UnixPath(heard).c_str());
    std::string ignored;
    ASSERT_EQ(0, testsupport::RunHost(parec, &ignored));
    DWORD started = GetTickCount();
    ASSERT_TRUE(SUCCEEDED(control->Run()));
    bool complete = false;
    DWORD elapsed = 0;
    // Each picture is looked for while its clip shows (red 0.6-1.8 s,
    // blue 2.6-3.8 s); a grab takes a moment, so several may be tried.
    struct Look {
        double from, to;
        DWORD colour;
        bool seen;
        DWORD last;
    } looks[] = {{0.6, 1.8, 0xFF0000, false, 0}, {2.6, 3.8, 0x0000FF, false, 0}};
    while (!complete && GetTickCount() - started < 30000) {
        LONGLONG now = 0;
        seeking->GetCurrentPosition(&now);
        for (Look& look : looks) {
            const double s = now / 1e7;
            if (!look.seen && s >= look.from && s < look.to) {
                look.last = GrabScreenPixel(cx, cy);
                look.seen = NearColour(look.last, look.colour);
            }
        }
        MSG msg = {};
        const bool got = PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE) != FALSE;
        if (got && msg.message != kGraphEvent) {
            DispatchMessageA(&msg);
        } else if (got) {
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
    video->put_Visible(OAFALSE);
    t.m_pMediaEvent->SetNotifyWindow(0, 0, 0);
    DestroyWindow(hwnd);
    EXPECT_TRUE(complete);
    EXPECT_GE(elapsed, 4500u);
    for (const Look& look : looks)
        EXPECT_TRUE(look.seen) << std::hex << "wanted " << look.colour << ", the screen showed " << look.last;
    std::string pcm;
    ASSERT_TRUE(testsupport::ReadFileBytes(heard, &pcm));
    const std::vector<int> samples = mediatest::Samples16(pcm);
    ASSERT_GT(samples.size(), 22050u) << "at least 1 s of the monitor";
    // The tone stands far above its neighbours in the spectrum.
    const double tone = ToneStrength(samples, 440.0, 22050.0);
    EXPECT_GT(tone, 500.0);
    EXPECT_GT(tone, 10.0 * ToneStrength(samples, 310.0, 22050.0));
    EXPECT_GT(tone, 10.0 * ToneStrength(samples, 620.0, 22050.0));
}

// A wanted audio format puts the "PCM" converter between the group and the
// renderer, which then takes the wanted format; switching the sound off and
// on keeps the converter in place.
TEST_F(TimelineGraphTest, WantedAudioFormatGoesThroughThePcmConverter)
{
    WAVEFORMATEX wanted = {WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    XRVDSTimeline t(TRUE, TRUE);
    Build(t, &wanted);
    ASSERT_TRUE(InGraph(t.m_pGraph, L"Kestravon Audio Compressor"));
    auto rendererFormat = [&](WAVEFORMATEX* out) {
        CComPtr<IPin> in;
        AM_MEDIA_TYPE mt;
        memset(&mt, 0, sizeof(mt));
        if (FAILED(FindInputPin(t.m_pAudioRenderer, &in, 0)) || FAILED(in->ConnectionMediaType(&mt)))
            return false;
        bool ok = mt.pbFormat && mt.cbFormat >= sizeof(PCMWAVEFORMAT);
        if (ok)
            memcpy(out, mt.pbFormat, sizeof(PCMWAVEFORMAT));
        FreeMediaType(mt);
        return ok;
    };
    for (int round = 0; round < 2; ++round) {
        WAVEFORMATEX got = {};
        ASSERT_TRUE(rendererFormat(&got)) << round;
        EXPECT_EQ(44100u, got.nSamplesPerSec) << round;
        EXPECT_EQ(2, got.nChannels) << round;
        EXPECT_EQ(16, got.wBitsPerSample) << round;
        ASSERT_EQ(S_OK, t.ToggleAudioRendering());
        EXPECT_FALSE(InputConnected(t.m_pAudioRenderer));
        ASSERT_EQ(S_OK, t.ToggleAudioRendering());
    }
    // Unset (every byte 0xFF), the group goes straight to the renderer.
    XRVDSTimeline plain(TRUE, TRUE);
    Build(plain);
    EXPECT_FALSE(InGraph(plain.m_pGraph, L"Kestravon Audio Compressor"));
    EXPECT_TRUE(InputConnected(plain.m_pAudioRenderer));
}

// Media queries of the video sources: the picture showing at a time, each
// track's first source, the timeline's rate.
TEST_F(TimelineGraphTest, VideoSourceQueries)
{
    XRVDSTimeline t(TRUE, TRUE);
    Build(t);
    const struct {
        double at;
        HRESULT hr;
        int width, height;
    } times[] = {{0.0, S_OK, 320, 240}, {2.5, S_OK, 320, 240}, {4.5, S_OK, 1280, 720}, {5.5, E_FAIL, 0, 0}};
    for (const auto& c : times) {
        int w = -1, h = -1;
        EXPECT_EQ(c.hr, t.GetResolutionAtTime(Sec(c.at), &w, &h)) << c.at;
        EXPECT_EQ(c.width, w) << c.at;
        EXPECT_EQ(c.height, h) << c.at;
    }
    EXPECT_EQ(E_POINTER, t.GetResolutionAtTime(0, NULL, NULL));

    double fps = 0;
    ASSERT_EQ(S_OK, t.GetFrameRate(&fps));
    EXPECT_EQ(5.0, fps) << "the group's rate, set from the sources";

    // A second track whose first source is the still.
    CComPtr<IAMTimelineComp> comp;
    ASSERT_EQ(S_OK, t.GetVideoComp(&comp, t.GetVideoCompNum()));
    CComPtr<IAMTimelineTrack> second;
    ASSERT_EQ(S_OK, t.AddTrackToComp(comp, &second));
    BSTR still = SysAllocString((Wide(dir.File("S.png")) + L".XRVImg3").c_str());
    ASSERT_EQ(S_OK, t.AddSourceToTrack(second, still, Sec(6), Sec(7), 0, Sec(1), TRUE));
    SysFreeString(still);
    AM_MEDIA_TYPE mt;
    SIZE size = {-1, -1};
    ASSERT_EQ(S_OK, t.GetVidTrackInfo(1, &mt, &size));
    EXPECT_EQ(1280, size.cx);
    EXPECT_EQ(720, size.cy);
    EXPECT_TRUE(IsEqualGUID(MEDIATYPE_Video, mt.majortype));
    FreeMediaType(mt);
    EXPECT_EQ(E_INVALIDARG, t.GetVidTrackInfo(2, &mt, &size));
    EXPECT_EQ(E_INVALIDARG, t.GetVidTrackInfo(-1, &mt, &size));

    std::vector<VidTrackInfo> list(3);
    ASSERT_EQ(S_OK, t.FillTrackInfo(&list));
    ASSERT_EQ(2u, list.size()) << "emptied first, then one entry per track";
    EXPECT_EQ(0, list[0].track);
    EXPECT_EQ(320, list[0].size.cx);
    EXPECT_EQ(1, list[1].track);
    EXPECT_EQ(720, list[1].size.cy);
    EXPECT_EQ(S_OK, t.FillTrackInfo(NULL));

    XRVDSTimeline empty(TRUE, FALSE);
    list.resize(1);
    EXPECT_EQ(S_OK, empty.FillTrackInfo(&list));
    EXPECT_TRUE(list.empty()) << "no video tracks: an empty list";
}

// The zoom filter keeps what the timeline sets on it; before it exists there
// is nothing to set. Adding it puts it and the overlay filter into the
// graph once.
TEST_F(TimelineGraphTest, ZoomFilterKeepsItsSettings)
{
    XRVDSTimeline t(TRUE, TRUE);
    Build(t);
    EXPECT_EQ(S_FALSE, t.SetZoomPIPValue12(3));
    EXPECT_EQ(S_FALSE, t.SetShowZoomRects(TRUE));
    EXPECT_EQ(S_FALSE, t.UpdateZoomFilter(640, 480, 5, 1, 1));
    ASSERT_EQ(S_OK, t.AddMovieZoomFilter());
    ASSERT_EQ(S_OK, t.AddMovieZoomFilter()) << "a second call adds nothing twice";
    EXPECT_TRUE(InGraph(t.m_pGraph, L"Zoom"));
    EXPECT_TRUE(InGraph(t.m_pGraph, L"Overlay"));
    ASSERT_EQ(S_OK, t.SetZoomPIPValue12(3));
    ASSERT_EQ(S_OK, t.SetShowZoomRects(TRUE));
    ASSERT_EQ(S_OK, t.UpdateZoomFilter(640, 480, 5, 7, 8));
    CComQIPtr<IZoomPIPFilter> zoom(t.m_pZoomFilter);
    ASSERT_TRUE(zoom != NULL);
    int value = 0, w = 0, h = 0, mode = 0, v1 = 0, v2 = 0;
    BOOL show = FALSE;
    EXPECT_EQ(S_OK, zoom->GetSetting(12, &value));
    EXPECT_EQ(3, value);
    EXPECT_EQ(E_INVALIDARG, zoom->SetSetting(13, 1));
    EXPECT_EQ(S_OK, zoom->GetShowZoomRects(&show));
    EXPECT_TRUE(show);
    EXPECT_EQ(S_OK, zoom->GetOutputGeometry(&w, &h, &mode, &v1, &v2));
    EXPECT_EQ(640, w);
    EXPECT_EQ(480, h);
    EXPECT_EQ(5, mode);
    EXPECT_EQ(7, v1);
    EXPECT_EQ(8, v2);

    // The timeline position reaches both filters.
    ASSERT_EQ(S_OK, t.SetFilterStartTimes(Sec(5)));
    LONGLONG zoomStart = 0, overlayStart = 0;
    EXPECT_EQ(S_OK, zoom->GetStartTime(&zoomStart));
    CComQIPtr<IXrvOverlay> overlay(t.m_pOverlayFilter);
    ASSERT_TRUE(overlay != NULL);
    EXPECT_EQ(S_OK, overlay->GetStartTime(&overlayStart));
    EXPECT_EQ(Sec(5), zoomStart);
    EXPECT_EQ(Sec(5), overlayStart);
}

// The blank source at the start comes back when an edit took it away, and
// a blank composition holding media is left alone.
TEST_F(TimelineGraphTest, BlankSourceAtStartComesBack)
{
    XRVDSTimeline t(TRUE, FALSE);
    CComPtr<IAMTimelineComp> blank;
    ASSERT_EQ(S_OK, t.GetVideoComp(&blank, t.GetBlankCompNum()));
    CComPtr<IAMTimelineObj> trackObj;
    ASSERT_EQ(S_OK, blank->GetVTrack(&trackObj, 0));
    CComQIPtr<IAMTimelineTrack> track(trackObj);
    auto sources = [&]() {
        long n = 0;
        track->GetSourcesCount(&n);
        return n;
    };
    ASSERT_EQ(1, sources());
    EXPECT_EQ(S_OK, t.GetBlankSourceAtStart());
    EXPECT_EQ(1, sources()) << "present: nothing added";
    REFERENCE_TIME at = 0;
    CComPtr<IAMTimelineObj> first;
    ASSERT_EQ(S_OK, track->GetNextSrc(&first, &at));
    ASSERT_EQ(S_OK, first->RemoveAll());
    ASSERT_EQ(0, sources());
    EXPECT_EQ(S_OK, t.GetBlankSourceAtStart());
    ASSERT_EQ(1, sources());
    at = 0;
    CComPtr<IAMTimelineObj> again;
    ASSERT_EQ(S_OK, track->GetNextSrc(&again, &at));
    REFERENCE_TIME start = -1, stop = -1;
    again->GetStartStop(&start, &stop);
    EXPECT_EQ(0, start);
    EXPECT_EQ(1, stop);

    ASSERT_EQ(S_OK, again->RemoveAll());
    BSTR b = SysAllocString(Wide(dir.File("A.avi")).c_str());
    ASSERT_EQ(S_OK, t.AddSourceToTrack(track, b, Sec(1), Sec(2), 0, Sec(1), TRUE));
    SysFreeString(b);
    EXPECT_EQ(S_FALSE, t.GetBlankSourceAtStart());
    EXPECT_EQ(1, sources()) << "media there: left alone";
}

// The centre pixel (0xRRGGBB) of a 32-bit .bmp file, or 0xFFFFFFFF.
DWORD BmpCentre(const std::string& path)
{
    std::string bytes;
    if (!testsupport::ReadFileBytes(path, &bytes) || bytes.size() < 54)
        return 0xFFFFFFFF;
    const BITMAPFILEHEADER* bfh = (const BITMAPFILEHEADER*)bytes.data();
    const BITMAPINFOHEADER* bih = (const BITMAPINFOHEADER*)(bytes.data() + sizeof(BITMAPFILEHEADER));
    if (bfh->bfType != 0x4D42 || bih->biBitCount != 32)
        return 0xFFFFFFFF;
    LONG w = bih->biWidth, h = labs(bih->biHeight);
    size_t at = bfh->bfOffBits + ((size_t)(h / 2) * w + w / 2) * 4;
    if (at + 4 > bytes.size())
        return 0xFFFFFFFF;
    return *(const DWORD*)(bytes.data() + at) & 0xFFFFFF;
}

// Slot 37: the preview's frame at a time, written as an image.
TEST_F(TimelineGraphTest, GrabsTheFrameAtATimeToAFile)
{
    XRVDSTimeline t(TRUE, TRUE);
    Build(t);
    struct Case {
        double at;
        DWORD colour;
    } cases[] = {{3.0, kBlue}, {4.5, kGreen}, {1.0, kRed}};
    for (const Case& c : cases) {
        std::string file = dir.File("grab" + std::to_string((int)(c.at * 10)) + ".bmp");
        ASSERT_EQ(S_OK, t.GrabSampleBitmapToFile(Sec(c.at), file.c_str(), FALSE)) << c.at;
        EXPECT_EQ(c.colour, BmpCentre(file)) << c.at;
        EXPECT_FALSE(t.m_bSampleReady) << "re-armed after " << c.at;
    }
}

// The image kind follows the file's extension; ffmpeg reads each, with the
// frame's colour at the centre.
TEST_F(TimelineGraphTest, GrabbedImagesTakeTheirKindFromTheExtension)
{
    XRVDSTimeline t(TRUE, TRUE);
    Build(t);
    const struct {
        const char* name;
        const char* codec;
        double at;
        int r, g, b;
    } cases[] = {
        {"grab.png", "png", 3.0, 0, 0, 255},
        {"grab.JPG", "mjpeg", 4.5, 0, 255, 0},
        {"grab.tif", "tiff", 1.0, 255, 0, 0},
        {"grab.bmp", "bmp", 1.0, 255, 0, 0},
        {"grab.frame", "bmp", 3.0, 0, 0, 255},
    };
    for (const auto& c : cases) {
        std::string file = dir.File(c.name);
        ASSERT_EQ(S_OK, t.GrabSampleBitmapToFile(Sec(c.at), file.c_str(), FALSE)) << c.name;
        std::string out;
        std::string unix = testsupport::UnixPath(file);
        ASSERT_EQ(0, testsupport::RunHost("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" + unix + "'",
                                          &out))
            << c.name << ": " << out;
        EXPECT_EQ(c.codec, out.substr(0, out.find_first_of("\r\n"))) << c.name;
        // The centre pixel as RGB bytes.
        ASSERT_EQ(0, testsupport::RunHost("ffmpeg -v error -i '" + unix +
                                              "' -vf crop=2:2:iw/2:ih/2 -frames:v 1 -f rawvideo -pix_fmt rgb24 - | od -An -tu1",
                                          &out))
            << c.name;
        int r = -1, g = -1, b = -1;
        ASSERT_EQ(3, sscanf(out.c_str(), "%d %d %d", &r, &g, &b)) << c.name << ": " << out;
        EXPECT_NEAR(c.r, r, 8) << c.name;
        EXPECT_NEAR(c.g, g, 8) << c.name;
        EXPECT_NEAR(c.b, b, 8) << c.name;
    }
}

// A bottom-up frame is written upright: its first rows in memory are the
// bottom of the picture, in every kind.
TEST_F(TimelineGraphTest, FrameImagesAreUpright)
{
    const LONG w = 8, h = 6;
    std::vector<DWORD> pixels((size_t)w * h);
    for (LONG row = 0; row < h; ++row)
        for (LONG x = 0; x < w; ++x)
            pixels[(size_t)row * w + x] = row < h / 2 ? 0x0000FF : 0xFF0000;   // memory order: bottom first
    BITMAPINFOHEADER bih = {sizeof(bih), w, h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    for (const char* name : {"up.png", "up.bmp", "up.tif"}) {
        std::string file = dir.File(name);
        ASSERT_EQ(S_OK, XRVDSTimeline::WriteFrameImage(file.c_str(), bih, (const BYTE*)pixels.data(),
                                                       (long)(pixels.size() * 4)));
        auto pixel = [&](const char* crop) {
            std::string out;
            int r = -1, g = -1, b = -1;
            if (testsupport::RunHost("ffmpeg -v error -i '" + testsupport::UnixPath(file) + "' -vf crop=" + crop +
                                         " -frames:v 1 -f rawvideo -pix_fmt rgb24 - | od -An -tu1",
                                     &out) != 0 ||
                sscanf(out.c_str(), "%d %d %d", &r, &g, &b) != 3)
                return -1;
            return (r << 16) | (g << 8) | b;
        };
        EXPECT_EQ(0xFF0000, pixel("1:1:0:0")) << name << ": the top is red";
        EXPECT_EQ(0x0000FF, pixel("1:1:0:ih-1")) << name << ": the bottom is blue";
    }
    EXPECT_EQ(E_FAIL, XRVDSTimeline::WriteFrameImage(dir.File("short.png").c_str(), bih, (const BYTE*)pixels.data(), 16))
        << "a frame shorter than its size is refused";
}

// Grabs on a second thread, one after another, each give the frame at its
// time and leave the grabber re-armed.
TEST_F(TimelineGraphTest, ManyGrabsOnASecondThread)
{
    XRVDSTimeline t(TRUE, TRUE);
    Build(t);
    struct Run {
        XRVDSTimeline* t;
        std::string file;
        int failures = 0;
        int done = 0;
    } run{&t, dir.File("thread.bmp")};
    std::atomic<bool> finished(false);
    std::thread grabs([&run, &finished] {
        CoInitializeEx(NULL, COINIT_MULTITHREADED);
        for (int i = 0; i < 200; ++i) {
            const bool red = i % 2 == 0;
            if (run.t->GrabSampleBitmapToFile(Sec(red ? 1.0 : 3.0), run.file.c_str(), FALSE) != S_OK ||
                BmpCentre(run.file) != (red ? kRed : kBlue) || run.t->m_bSampleReady)
                ++run.failures;
            ++run.done;
        }
        CoUninitialize();
        finished = true;
    });
    // The UI thread keeps pumping while the grabs run.
    while (!finished) {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, NULL, FALSE, 50, QS_ALLINPUT);
    }
    grabs.join();
    EXPECT_EQ(200, run.done);
    EXPECT_EQ(0, run.failures);
}

// The object goes while its preview runs with the grabber calling back: the
// callbacks are cleared and the graph stopped first.
TEST_F(TimelineGraphTest, DestroyedWhileRunning)
{
    for (int round = 0; round < 2; ++round) {
        XRVDSTimeline* t = new XRVDSTimeline(TRUE, TRUE);
        Build(*t);
        CComPtr<ISampleGrabber> grabber;
        ASSERT_EQ(S_OK, t->m_pPreZoomSG->QueryInterface(IID_ISampleGrabber, (void**)&grabber));
        grabber->SetCallback(t, 0);
        CComQIPtr<IMediaControl> control(t->m_pGraph);
        ASSERT_TRUE(SUCCEEDED(control->Run()));
        // Running, with the grabber calling back (it kept the first frame);
        // the second round goes at once, mid-stream.
        DWORD started = GetTickCount();
        while (round == 0 && !t->m_bSampleReady && GetTickCount() - started < 10000)
            MsgWaitForMultipleObjects(0, NULL, FALSE, 20, QS_ALLINPUT);
        EXPECT_TRUE(round != 0 || t->m_bSampleReady);
        delete t;
    }
}

// Counts samples; keeps the first video frame's centre pixel.
const CLSID kCountSink = {0x6e0e0c11, 0x4a47, 0x4f2b, {0x9e, 0x61, 0x3c, 0x2f, 0x0b, 0x6a, 0x00, 0x30}};
class CCountSink : public CSinkFilterBase {
public:
    CCountSink() : CSinkFilterBase(kCountSink, 1) {}
    HRESULT CheckSinkType(int, const AM_MEDIA_TYPE* mt) override
    {
        return IsEqualGUID(mt->subtype, MEDIASUBTYPE_RGB32) || IsEqualGUID(mt->subtype, MEDIASUBTYPE_PCM) ? S_OK
                                                                                                           : S_FALSE;
    }
    HRESULT RenderSample(int, IMediaSample* sample) override
    {
        InterlockedIncrement(&samples);
        InterlockedExchangeAdd(&bytes, sample->GetActualDataLength());
        return S_OK;
    }
    volatile LONG samples = 0;
    volatile LONG bytes = 0;
};

// Output mode: a fresh graph without a clock renders every frame to the end.
TEST_F(TimelineGraphTest, OutputUpdateRendersEveryFrameWithoutAClock)
{
    XRVDSTimeline t(TRUE, TRUE);
    Build(t);
    ASSERT_EQ(S_OK, t.UpdateFilterGraph(TRUE, FALSE));
    ASSERT_TRUE(t.m_pGraph != NULL);
    CComQIPtr<IMediaFilter> filter(t.m_pGraph);
    CComPtr<IReferenceClock> clock;
    filter->GetSyncSource(&clock);
    EXPECT_TRUE(clock == NULL) << "output mode runs without a clock";
    CCountSink* video = new CCountSink();
    CCountSink* audio = new CCountSink();
    CComPtr<IBaseFilter> holdVideo(video), holdAudio(audio);
    t.m_pGraph->AddFilter(video, L"Video Sink");
    t.m_pGraph->AddFilter(audio, L"Audio Sink");
    CComPtr<IPin> vOut, aOut;
    ASSERT_EQ(S_OK, t.m_pRenderEngine->GetGroupOutputPin(t.m_nVideoPin, &vOut));
    ASSERT_EQ(S_OK, t.m_pRenderEngine->GetGroupOutputPin(t.m_nAudioPin, &aOut));
    ASSERT_EQ(S_OK, t.m_pGraph->ConnectDirect(vOut, video->InputPin(0), NULL));
    ASSERT_EQ(S_OK, t.m_pGraph->ConnectDirect(aOut, audio->InputPin(0), NULL));
    CComQIPtr<IMediaControl> control(t.m_pGraph);
    // mingw gives IMediaEvent no __uuidof: queried by its id.
    CComPtr<IMediaEvent> events;
    ASSERT_EQ(S_OK, t.m_pGraph->QueryInterface(IID_IMediaEvent, (void**)&events));
    ASSERT_TRUE(SUCCEEDED(control->Run()));
    long code = 0;
    EXPECT_EQ(S_OK, events->WaitForCompletion(30000, &code));
    EXPECT_EQ(EC_COMPLETE, code);
    control->Stop();
    // 5 s at the largest source rate (5 fps); the sound runs to the end too.
    EXPECT_EQ(25, video->samples);
    AM_MEDIA_TYPE mt = {};
    ASSERT_EQ(S_OK, aOut->ConnectionMediaType(&mt));
    const WAVEFORMATEX* w = (const WAVEFORMATEX*)mt.pbFormat;
    EXPECT_EQ((LONG)(w->nAvgBytesPerSec * 5), audio->bytes);
    FreeMediaType(mt);
}

// Reconnecting the front end only: changed pins and two render-engine
// failures tell the caller to connect again (S_FALSE), the failures after
// scrapping the engine; anything else is passed on.
int g_frontEndCalls = 0;
HRESULT g_frontEndAnswer = S_OK;
int g_scraps = 0;

struct FakeEngine final : public IRenderEngine {
    LONG ref = 1;
    IRenderEngine* real = NULL;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IRenderEngine)) {
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
        real->Release();
        delete this;
        return 0;
    }
    STDMETHODIMP SetTimelineObject(IAMTimeline* p) override { return real->SetTimelineObject(p); }
    STDMETHODIMP GetTimelineObject(IAMTimeline** p) override { return real->GetTimelineObject(p); }
    STDMETHODIMP GetFilterGraph(IGraphBuilder** p) override { return real->GetFilterGraph(p); }
    STDMETHODIMP SetFilterGraph(IGraphBuilder* p) override { return real->SetFilterGraph(p); }
    STDMETHODIMP SetInterestRange(REFERENCE_TIME a, REFERENCE_TIME b) override { return real->SetInterestRange(a, b); }
    STDMETHODIMP SetInterestRange2(double a, double b) override { return real->SetInterestRange2(a, b); }
    STDMETHODIMP SetRenderRange(REFERENCE_TIME a, REFERENCE_TIME b) override { return real->SetRenderRange(a, b); }
    STDMETHODIMP SetRenderRange2(double a, double b) override { return real->SetRenderRange2(a, b); }
    STDMETHODIMP GetGroupOutputPin(long g, IPin** p) override { return real->GetGroupOutputPin(g, p); }
    STDMETHODIMP ScrapIt() override
    {
        ++g_scraps;
        return real->ScrapIt();
    }
    STDMETHODIMP RenderOutputPins() override { return real->RenderOutputPins(); }
    STDMETHODIMP GetVendorString(BSTR* p) override { return real->GetVendorString(p); }
    STDMETHODIMP ConnectFrontEnd() override
    {
        HRESULT hr = real->ConnectFrontEnd();
        return g_frontEndCalls++ == 0 ? hr : g_frontEndAnswer;
    }
    STDMETHODIMP SetSourceConnectCallback(IGrfCache* p) override { return real->SetSourceConnectCallback(p); }
    STDMETHODIMP SetDynamicReconnectLevel(long l) override { return real->SetDynamicReconnectLevel(l); }
    STDMETHODIMP DoSmartRecompression() override { return E_NOTIMPL; }
    STDMETHODIMP UseInSmartRecompressionGraph() override { return E_NOTIMPL; }
    STDMETHODIMP SetSourceNameValidation(BSTR, IMediaLocator*, LONG) override { return S_OK; }
    STDMETHODIMP Commit() override { return S_OK; }
    STDMETHODIMP Decommit() override { return S_OK; }
    STDMETHODIMP GetCaps(long, long*) override { return E_NOTIMPL; }
};

HRESULT MakeFakeEngine(REFIID riid, void** ppv)
{
    FakeEngine* e = new FakeEngine();
    HRESULT hr = DexCreateRenderEngine(IID_IRenderEngine, (void**)&e->real);
    if (FAILED(hr)) {
        delete e;
        return hr;
    }
    hr = e->QueryInterface(riid, ppv);
    e->Release();
    return hr;
}

TEST_F(TimelineGraphTest, ReconnectOnlyAnswers)
{
    struct Case {
        HRESULT answer;
        HRESULT expect;
        int scraps;
    } cases[] = {
        {S_OK, S_OK, 0},
        {S_WARN_OUTPUTRESET_DEX, S_FALSE, 0},
        {(HRESULT)0x80040401, S_FALSE, 1},
        {(HRESULT)0x8004025F, S_FALSE, 1},
        {E_OUTOFMEMORY, E_OUTOFMEMORY, 0},
    };
    DexSetClassFactory(CLSID_RenderEngine, MakeFakeEngine);
    for (const Case& c : cases) {
        g_frontEndCalls = 0;
        g_scraps = 0;
        XRVDSTimeline t(TRUE, TRUE);
        g_frontEndAnswer = c.answer;
        EXPECT_EQ(c.expect, t.UpdateFilterGraph(FALSE, TRUE)) << std::hex << c.answer;
        EXPECT_EQ(c.scraps, g_scraps) << std::hex << c.answer;
    }
    DexSetClassFactory(CLSID_RenderEngine, NULL);
}

}  // namespace

namespace {

// Stands in for a mixing renderer: takes RGB32 video or refuses everything.
const CLSID kFakeRenderer = {0x6e0e0c12, 0x4a47, 0x4f2b, {0x9e, 0x61, 0x3c, 0x2f, 0x0b, 0x6a, 0x00, 0x31}};
class CFakeRenderer : public CSinkFilterBase {
public:
    explicit CFakeRenderer(bool accepts) : CSinkFilterBase(kFakeRenderer, 1), m_accepts(accepts) {}
    HRESULT CheckSinkType(int, const AM_MEDIA_TYPE* mt) override
    {
        return m_accepts && IsEqualGUID(mt->subtype, MEDIASUBTYPE_RGB32) ? S_OK : S_FALSE;
    }
    HRESULT RenderSample(int, IMediaSample*) override { return S_OK; }

private:
    bool m_accepts;
};

// 0 absent, 1 present and refusing, 2 present and taking the video.
IBaseFilter* MakeFakeRenderer(int kind)
{
    if (kind == 0)
        return NULL;
    IBaseFilter* f = new CFakeRenderer(kind == 2);
    f->AddRef();
    return f;
}

}  // namespace

// The converter feeds the first renderer that takes the video, in the order
// VMR7, VMR9, plain renderer; the one that connects sets the renderer mode,
// and those that refused leave the graph.
TEST_F(TimelineGraphTest, RendererChoiceFollowsWhatConnects)
{
    struct Row {
        int vmr7, vmr9;
        int mode;
        const wchar_t* connected;
    } rows[] = {
        {2, 2, 1, L"VMR7"},
        {1, 2, 0, L"VMR9"},
        {0, 2, 0, L"VMR9"},
        {1, 1, 2, L"Video Renderer"},
        {0, 0, 2, L"Video Renderer"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "VMR7 " << row.vmr7 << ", VMR9 " << row.vmr9);
        XRVDSTimeline t(TRUE, TRUE);
        t.m_pVMR7.Attach(MakeFakeRenderer(row.vmr7));
        t.m_pVMR9.Attach(MakeFakeRenderer(row.vmr9));
        Build(t);
        EXPECT_EQ(row.mode, t.m_nRendererMode);
        const struct {
            const wchar_t* name;
            IBaseFilter* filter;
        } renderers[] = {{L"VMR7", t.m_pVMR7}, {L"VMR9", t.m_pVMR9}, {L"Video Renderer", t.m_pVideoRenderer}};
        for (const auto& r : renderers) {
            const bool chosen = wcscmp(r.name, row.connected) == 0;
            EXPECT_EQ(chosen, InGraph(t.m_pGraph, r.name)) << std::string(r.name, r.name + wcslen(r.name));
            if (r.filter) {
                EXPECT_EQ(chosen, InputConnected(r.filter)) << std::string(r.name, r.name + wcslen(r.name));
            }
        }
        EXPECT_TRUE(t.GetActiveVideoRenderer() != NULL);
    }
}

// The zoom filter joins the chain only between the two grabbers: with a
// post-zoom grabber the pre-zoom grabber feeds the zoom filter, which feeds
// the post-zoom grabber and then the overlay; without one the pre-zoom
// grabber feeds the overlay and the zoom filter stays unconnected.
TEST_F(TimelineGraphTest, ZoomStageJoinsOnlyBetweenTheGrabbers)
{
    for (int withPostZoom = 0; withPostZoom < 2; ++withPostZoom) {
        SCOPED_TRACE(withPostZoom ? "with a post-zoom grabber" : "without a post-zoom grabber");
        XRVDSTimeline t(TRUE, TRUE);
        if (withPostZoom) {
            ASSERT_EQ(S_OK, DexCreateInstance(CLSID_SampleGrabber, NULL, CLSCTX_ALL, IID_IBaseFilter,
                                              (void**)&t.m_pPostZoomSG));
        }
        Build(t, NULL, true);
        CComPtr<IPin> overlayIn, peer;
        ASSERT_EQ(S_OK, FindInputPin(t.m_pOverlayFilter, &overlayIn, 0));
        ASSERT_EQ(S_OK, overlayIn->ConnectedTo(&peer));
        PIN_INFO info = {};
        ASSERT_EQ(S_OK, peer->QueryPinInfo(&info));
        IBaseFilter* feeder = info.pFilter;
        EXPECT_TRUE(feeder == (withPostZoom ? t.m_pPostZoomSG.p : t.m_pPreZoomSG.p));
        if (info.pFilter)
            info.pFilter->Release();
        EXPECT_EQ(withPostZoom != 0, InputConnected(t.m_pZoomFilter));
        EXPECT_TRUE(InputConnected(t.m_pVideoRenderer));
    }
}
