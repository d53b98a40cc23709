// The preview player window over a generated recording (a colour per second):
// seeks show that second's colour on the screen, the command queue collapses
// seeks, steps stop at the ends, a play range completes once, Play at the end
// rewinds, the video is placed with scroll bars or fitted, and the poll
// thread serves the remaining windows when one goes and ends with the last.
#include "PreviewTestSupport.h"

#include "overlays/PreviewPollState.h"
#include "overlays/TimelinePreview.h"

#include <vector>

namespace {

using namespace previewtest;

// Opens the protected parts of the player for the checks.
class CProbePlayer : public CTimelinePreview {
public:
    using CMediaPlayerWnd::LayoutMovie;
    void SetState(LONG state) { m_playState = state; }
    void SetDurationForTest(LONGLONG d)
    {
        Set64(m_duration, d);
        m_durationValid = 1;
    }
    std::vector<int> Queue()
    {
        int codes[16];
        const int n = GetQueuedCommands(codes, 16);
        return std::vector<int>(codes, codes + (n < 16 ? n : 16));
    }
};

class CCountingTarget : public IPlayerNotify {
public:
    void OnPlayStateChanged(IPlayerWindow*) override { InterlockedIncrement(&calls); }
    volatile LONG calls = 0;
};

const int kRun = 0, kSeek = 1, kPause = 2;

// Creates the player as a child of the host over its client area.
void Open(CTimelinePreview& preview, CWnd& host, XRVDShow* player, int width = 320, int height = 240)
{
    preview.SetPlayer(player);
    RECT r = {0, 0, width, height};
    ASSERT_TRUE(preview.CreatePlayer(&host, r, 1));
    preview.Refresh();
    ASSERT_TRUE(mediatest::PumpUntil([&] { return preview.IsMediaReady() != FALSE; }, 10000));
}

// The screen point at the centre of the shown video.
POINT MovieCentre(CMediaPlayerWnd& preview)
{
    const RECT r = preview.GetMovieRect();
    POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(preview.m_hWnd, &p);
    return p;
}

bool ShowsColour(CMediaPlayerWnd& preview, DWORD colour, DWORD ms)
{
    return mediatest::PumpUntil(
        [&] {
            const POINT p = MovieCentre(preview);
            return Near(ScreenPixel(p.x, p.y), colour);
        },
        ms);
}

TEST(PreviewPlayerQueue, SeeksCollapseAndRunningSeeksPauseFirst)
{
    struct Case {
        const char* what;
        LONG state;
        bool playFirst;
        int seeks;
        std::vector<int> queue;
        LONG stateAfter;
    } cases[] = {
        {"many seeks after Play", 0, true, 4, {kSeek}, 1},
        {"one seek while running", 2, false, 1, {kPause, kSeek}, 1},
        {"seeks while running", 2, false, 3, {kPause, kSeek}, 1},
        {"seek while stopped", 0, false, 1, {kSeek}, 1},
    };
    for (const Case& c : cases) {
        CProbePlayer player;   // no window: not polled
        player.SetState(c.state);
        if (c.playFirst)
            player.Play();
        for (int i = 1; i <= c.seeks; ++i)
            player.Seek(i * 1000000LL, 1);
        std::vector<int> expected;
        for (int code : c.queue)
            expected.push_back(g_previewCommand[code]);
        EXPECT_EQ(expected, player.Queue()) << c.what;
        EXPECT_EQ(c.seeks * 1000000LL, player.GetPosition()) << c.what;
        EXPECT_EQ(c.stateAfter == 1, player.IsPaused() != FALSE) << c.what;
    }
}

TEST(PreviewPlayerQueue, StepsStopAtTheEnds)
{
    struct Case {
        LONGLONG from;
        bool forward;
        LONGLONG expect;
    } cases[] = {
        {30000000, true, 30000000},
        {29000000, true, 30000000},
        {0, false, 0},
        {1000000, false, 0},
        {10000000, true, 12000000},   // no frame rate: 0.2 s steps
        {10000000, false, 8000000},
    };
    for (const Case& c : cases) {
        CProbePlayer player;
        player.SetDurationForTest(30000000);
        player.Seek(c.from, 1);
        if (c.forward)
            player.StepForward();
        else
            player.StepBack();
        EXPECT_EQ(c.expect, player.GetPosition()) << c.from << (c.forward ? " forward" : " back");
    }
}

TEST(PreviewPlayerLayout, ScrollBarsInRealSizeAndFittingNeverEnlarges)
{
    const int barW = GetSystemMetrics(SM_CXVSCROLL);
    const int barH = GetSystemMetrics(SM_CYHSCROLL);
    struct Case {
        BOOL fit;
        int videoW, videoH;
        RECT movie;
        bool hBar, vBar;
    } cases[] = {
        {FALSE, 640, 480, {0, 0, 640, 480}, true, true},
        {FALSE, 160, 120, {80, 60, 240, 180}, false, false},
        {FALSE, 400, 100, {0, (240 - barH - 100) / 2, 400, (240 - barH - 100) / 2 + 100}, true, false},
        {TRUE, 640, 480, {0, 0, 320, 240}, false, false},
        {TRUE, 160, 120, {80, 60, 240, 180}, false, false},
        {TRUE, 640, 240, {0, 60, 320, 180}, false, false},
    };
    mediatest::CTestParent host;
    for (const Case& c : cases) {
        CProbePlayer player;
        RECT r = {0, 0, 320, 240};
        ASSERT_TRUE(player.CreatePlayer(&host, r, 1));
        player.SetScaleToFit(c.fit);
        player.LayoutMovie(320, 240, c.videoW, c.videoH);
        const RECT m = player.GetMovieRect();
        const std::string what = std::string(c.fit ? "fit " : "real ") + std::to_string(c.videoW) + "x" +
                                 std::to_string(c.videoH);
        EXPECT_EQ(c.movie.left, m.left) << what;
        EXPECT_EQ(c.movie.top, m.top) << what;
        EXPECT_EQ(c.movie.right, m.right) << what;
        EXPECT_EQ(c.movie.bottom, m.bottom) << what;
        const LONG style = GetWindowLongA(player.m_hWnd, GWL_STYLE);
        EXPECT_EQ(c.hBar, (style & WS_HSCROLL) != 0) << what;
        EXPECT_EQ(c.vBar, (style & WS_VSCROLL) != 0) << what;
        if (c.hBar) {
            SCROLLINFO si = {sizeof(si), SIF_ALL};
            GetScrollInfo(player.m_hWnd, SB_HORZ, &si);
            EXPECT_EQ(c.videoW, si.nMax) << what;
            EXPECT_EQ((UINT)(320 - (c.vBar ? barW : 0)), si.nPage) << what;
        }
        player.DestroyWindow();
    }
}

class PreviewPlayerTest : public PreviewTest {};

TEST_F(PreviewPlayerTest, SeeksShowThatSecondsColour)
{
    const std::string file = MakeRecording(160, 120);
    auto player = MakePlayer(file);
    mediatest::CTestParent host;
    CTimelinePreview preview;
    Open(preview, host, player.get());
    EXPECT_EQ(30000000, preview.GetDuration());
    EXPECT_EQ(5.0, preview.GetFrameRate());
    EXPECT_EQ(2000000, preview.GetFrameDuration());
    for (int second : {2, 0, 1}) {
        preview.Seek(second * 10000000LL + 5000000, 1);
        EXPECT_TRUE(ShowsColour(preview, kSecondColours[second], 5000)) << "second " << second;
    }
    // Steps move by one frame.
    preview.Seek(10000000, 1);
    preview.StepForward();
    EXPECT_EQ(12000000, preview.GetPosition());
    preview.StepBack();
    preview.StepBack();
    EXPECT_EQ(8000000, preview.GetPosition());
    EXPECT_TRUE(ShowsColour(preview, kSecondColours[0], 5000));
    preview.DestroyWindow();
}

// A 640 x 480 recording in a 320 x 240 player: real size shows scroll bars
// and the video's corner; fit mode scales it into the client.
TEST_F(PreviewPlayerTest, LargeVideoScrollsOrFits)
{
    const std::string file = MakeRecording(640, 480);
    auto player = MakePlayer(file);
    mediatest::CTestParent host;
    for (BOOL fit : {FALSE, TRUE}) {
        CTimelinePreview preview;
        preview.SetScaleToFit(fit);
        Open(preview, host, player.get());
        // The size is known first; the window lays the picture out after it.
        ASSERT_TRUE(mediatest::PumpUntil([&] {
            const RECT r = preview.GetMovieRect();
            return preview.GetVideoSize().cx == 640 && r.right > r.left;
        }, 5000)) << fit;
        const LONG style = GetWindowLongA(preview.m_hWnd, GWL_STYLE);
        EXPECT_EQ(!fit, (style & WS_HSCROLL) != 0) << fit;
        EXPECT_EQ(!fit, (style & WS_VSCROLL) != 0) << fit;
        const RECT m = preview.GetMovieRect();
        EXPECT_EQ(fit ? 320 : 640, m.right - m.left) << fit;
        EXPECT_EQ(fit ? 240 : 480, m.bottom - m.top) << fit;
        preview.Seek(15000000, 1);
        RECT client;
        GetClientRect(preview.m_hWnd, &client);
        POINT p = {client.right / 2, client.bottom / 2};
        ClientToScreen(preview.m_hWnd, &p);
        EXPECT_TRUE(mediatest::PumpUntil([&] { return Near(ScreenPixel(p.x, p.y), kSecondColours[1]); }, 5000))
            << (fit ? "fit" : "real size") << ": " << std::hex << ScreenPixel(p.x, p.y);
        preview.DestroyWindow();
    }
}

TEST_F(PreviewPlayerTest, PlayRangeCompletesOnceAndPlayAtTheEndRewinds)
{
    const std::string file = MakeRecording(160, 120);
    auto player = MakePlayer(file);
    mediatest::CTestParent host;
    CTimelinePreview preview;
    CCountingTarget target;
    preview.SetNotifyTarget(&target);
    Open(preview, host, player.get());
    preview.PlayTo(10000000);
    ASSERT_TRUE(mediatest::PumpUntil([&] { return target.calls > 0; }, 8000));
    EXPECT_EQ(10000000, preview.GetPosition()) << "completion leaves the stop position";
    EXPECT_TRUE(preview.IsPaused());
    mediatest::PumpUntil([] { return false; }, 1000);
    EXPECT_EQ(1, target.calls) << "EC_COMPLETE reaches the target once";
    EXPECT_TRUE(ShowsColour(preview, kSecondColours[0], 3000) || ShowsColour(preview, kSecondColours[1], 100));

    // At the end, Play starts again from the start.
    preview.Seek(preview.GetDuration(), 1);
    ASSERT_TRUE(mediatest::PumpUntil([&] { return preview.IsIdle() != FALSE; }, 3000));
    preview.Play();
    ASSERT_TRUE(mediatest::PumpUntil([&] { return preview.IsRunning() != FALSE; }, 3000));
    EXPECT_LT(preview.GetPosition(), 10000000);
    EXPECT_TRUE(ShowsColour(preview, kSecondColours[0], 3000));
    preview.DestroyWindow();
}

// Two windows over one recording: closing one leaves the poll thread running
// for the other, whose position still advances; after the last is gone the
// thread ends, and a new window starts a new one.
TEST_F(PreviewPlayerTest, PollThreadOutlivesOneWindowAndRestartsForANewOne)
{
    const std::string file = MakeRecording(160, 120);
    auto first = MakePlayer(file);
    auto second = MakePlayer(file);
    mediatest::CTestParent host;
    {
        CTimelinePreview a, b;
        Open(a, host, first.get());
        Open(b, host, second.get(), 160, 120);
        EXPECT_TRUE(CMediaPlayerWnd::IsPollThreadRunning());
        a.DestroyWindow();
        EXPECT_TRUE(CMediaPlayerWnd::IsPollThreadRunning());
        b.Play();
        EXPECT_TRUE(mediatest::PumpUntil([&] { return b.GetPosition() > 5000000; }, 5000))
            << "the remaining window is still polled";
        b.DestroyWindow();
        EXPECT_TRUE(mediatest::PumpUntil([] { return !CMediaPlayerWnd::IsPollThreadRunning(); }, 3000));
    }
    CTimelinePreview c;
    Open(c, host, first.get());
    EXPECT_TRUE(CMediaPlayerWnd::IsPollThreadRunning());
    EXPECT_EQ(30000000, c.GetDuration()) << "the new window is polled";
    CMediaPlayerWnd::StopPollThread();
    EXPECT_FALSE(CMediaPlayerWnd::IsPollThreadRunning());
    c.DestroyWindow();
}

}  // namespace
