// The playback facade's action queue and thread: bursts of graph updates and
// frame grabs collapse, a grab waits behind other work, a grab's bitmap
// reaches only a live window, and the thread never outlives the facade. The
// last cases grab real frames from a timeline over a generated AVI.
#include "UiTestUtil.h"
#include "DexTestMedia.h"
#include "TimelineTestSupport.h"
#include "TestSupport.h"

#include "XRVDirectShow/GraphUtil.h"
#include "XRVDirectShow/TimelinePlayer.h"
#include "XRVDirectShow/XRVDShow.h"
#include "overlays/OverlayList.h"
#include "overlays/OverlayRectangle.h"

#include <string>
#include <vector>

namespace {

using namespace dextest;

// What the test facade's actions did, kept outside the facade so that it can
// be read after the facade is gone.
struct ActionLog {
    CRITICAL_SECTION lock;
    std::vector<std::string> events;
    std::vector<HBITMAP> bitmaps;
    DWORD updateMs = 0;          // how long an update takes
    volatile LONG updateEnded = 0;
    ActionLog() { InitializeCriticalSection(&lock); }
    ~ActionLog() { DeleteCriticalSection(&lock); }
    void Add(const std::string& e)
    {
        EnterCriticalSection(&lock);
        events.push_back(e);
        LeaveCriticalSection(&lock);
    }
    std::vector<std::string> Events()
    {
        EnterCriticalSection(&lock);
        std::vector<std::string> copy = events;
        LeaveCriticalSection(&lock);
        return copy;
    }
};

ActionLog* g_log = NULL;

// A facade whose graph update and frame grab only record what they were
// asked; the grab makes a small bitmap.
class CRecordingFacade : public XRVDShow {
public:
    CRecordingFacade() : XRVDShow(TRUE) {}
    HRESULT UpdateGraph(int flag) override
    {
        g_log->Add("update " + std::to_string(flag));
        if (g_log->updateMs)
            Sleep(g_log->updateMs);
        InterlockedExchange(&g_log->updateEnded, 1);
        return S_OK;
    }
    using XRVDShow::QueueAction;

protected:
    HRESULT GrabFrame(LONGLONG time, HBITMAP* bitmap, int option, int) override
    {
        g_log->Add("grab " + std::to_string((long long)time) + " option " + std::to_string(option));
        *bitmap = CreateBitmap(4, 4, 1, 32, NULL);
        EnterCriticalSection(&g_log->lock);
        g_log->bitmaps.push_back(*bitmap);
        LeaveCriticalSection(&g_log->lock);
        return S_OK;
    }
};

// A window that keeps the bitmaps posted to it.
struct GrabTarget {
    HWND hwnd = NULL;
    std::vector<HBITMAP> received;
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l)
    {
        GrabTarget* self = (GrabTarget*)GetWindowLongPtrA(h, GWLP_USERDATA);
        if (m == WM_FRAME_GRAB_DONE && self) {
            self->received.push_back((HBITMAP)w);
            return 0;
        }
        return DefWindowProcA(h, m, w, l);
    }
    GrabTarget()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = "VexcapGrabTarget";
        RegisterClassA(&wc);
        hwnd = CreateWindowA("VexcapGrabTarget", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)this);
    }
    ~GrabTarget()
    {
        if (IsWindow(hwnd))
            DestroyWindow(hwnd);
        for (HBITMAP b : received)
            DeleteObject(b);
    }
};

class FacadeTest : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        g_log = &log;
    }
    void TearDown() override
    {
        g_log = NULL;
        ComTest::TearDown();
    }
    // Waits, pumping, until the facade's thread has run `count` events.
    bool WaitForEvents(size_t count, DWORD ms = 5000)
    {
        return mediatest::PumpUntil([&] { return log.Events().size() >= count; }, ms);
    }
    ActionLog log;
};

TEST_F(FacadeTest, BurstOfUpdatesRunsOnceAndAFullUpdateWins)
{
    struct Case {
        std::vector<int> flags;
        const char* expect;
    } cases[] = {
        {{1, 0, 1}, "update 0"},
        {{1, 1, 1}, "update 1"},
        {{0}, "update 0"},
    };
    for (const Case& c : cases) {
        log.events.clear();
        CRecordingFacade facade;
        // Queued while the new thread sleeps its first 200 ms.
        for (int flag : c.flags)
            ASSERT_EQ(S_OK, facade.UpdatePreview(flag, FALSE));
        ASSERT_TRUE(WaitForEvents(1));
        Sleep(500);   // nothing more comes
        std::vector<std::string> events = log.Events();
        ASSERT_EQ(1u, events.size()) << c.expect;
        EXPECT_EQ(c.expect, events[0]);
        facade.KillActionThread(FALSE);
        EXPECT_FALSE(facade.IsActionThreadRunning());
    }
}

TEST_F(FacadeTest, TwoGrabsRunOnceForTheSecond)
{
    GrabTarget first, second;
    {
        CRecordingFacade facade;
        ASSERT_EQ(S_OK, facade.RequestFrameGrab(10000000, first.hwnd, 1, 0, 0));
        ASSERT_EQ(S_OK, facade.RequestFrameGrab(20000000, second.hwnd, 2, 0, 0));
        ASSERT_TRUE(WaitForEvents(1));
        ASSERT_TRUE(mediatest::PumpUntil([&] { return !second.received.empty(); }, 5000));
        Sleep(400);
        mediatest::PumpUntil([] { return false; }, 100);
        facade.KillActionThread(TRUE);
    }
    ASSERT_EQ(std::vector<std::string>({"grab 20000000 option 2"}), log.Events());
    EXPECT_TRUE(first.received.empty());
    ASSERT_EQ(1u, second.received.size());
    EXPECT_EQ(log.bitmaps[0], second.received[0]);
}

TEST_F(FacadeTest, GrabWaitsBehindOtherWork)
{
    GrabTarget target;
    CRecordingFacade facade;
    ASSERT_EQ(S_OK, facade.RequestFrameGrab(5, target.hwnd, 0, 0, 0));
    ASSERT_EQ(S_OK, facade.UpdatePreview(1, FALSE));
    ASSERT_TRUE(WaitForEvents(2));
    EXPECT_EQ(std::vector<std::string>({"update 1", "grab 5 option 0"}), log.Events());
    facade.KillActionThread(TRUE);
}

// The bitmap of a grab whose window went away meanwhile is freed, not posted.
TEST_F(FacadeTest, GrabForADestroyedWindowFreesTheBitmap)
{
    GrabTarget target;
    CRecordingFacade facade;
    ASSERT_EQ(S_OK, facade.RequestFrameGrab(7, target.hwnd, 0, 0, 0));
    DestroyWindow(target.hwnd);
    ASSERT_TRUE(WaitForEvents(1));
    facade.KillActionThread(TRUE);
    ASSERT_EQ(1u, log.bitmaps.size());
    EXPECT_EQ(0u, (unsigned)GetObjectType(log.bitmaps[0])) << "the bitmap was freed";
    EXPECT_TRUE(target.received.empty());
}

TEST_F(FacadeTest, GrabRequestWithoutTimelineOrWindowFails)
{
    GrabTarget target;
    CRecordingFacade facade;
    EXPECT_EQ(E_FAIL, facade.RequestFrameGrab(0, NULL, 0, 0, 0));
    DestroyWindow(target.hwnd);
    EXPECT_EQ(E_FAIL, facade.RequestFrameGrab(0, target.hwnd, 0, 0, 0));
    GrabTarget live;
    facade.SetTimeline(NULL, TRUE);
    EXPECT_EQ(E_FAIL, facade.RequestFrameGrab(0, live.hwnd, 0, 0, 0));
    EXPECT_FALSE(facade.IsActionThreadRunning()) << "nothing was queued";
}

// The synchronous form runs what is queued and returns.
TEST_F(FacadeTest, SynchronousQueueRunsOnceAndReturns)
{
    CRecordingFacade facade;
    ActionItem* item = new ActionItem;
    item->type = kActionUpdateGraph;
    item->data = 3;
    facade.QueueAction(item, TRUE);
    EXPECT_EQ(std::vector<std::string>({"update 3"}), log.Events());
    EXPECT_FALSE(facade.IsActionThreadRunning());
}

// KillActionThread during a 1.5 s action gives up waiting after 1 s; the stop
// request stays, and deleting the facade waits until the thread has ended.
TEST_F(FacadeTest, DeletionAfterATimedOutKillWaitsForTheThread)
{
    log.updateMs = 1500;
    CRecordingFacade* facade = new CRecordingFacade;
    ASSERT_EQ(S_OK, facade->UpdatePreview(0, FALSE));
    ASSERT_TRUE(WaitForEvents(1));
    const DWORD started = GetTickCount();
    facade->KillActionThread(FALSE);
    EXPECT_LT(GetTickCount() - started, 1450u) << "the wait is bounded";
    EXPECT_EQ(0, log.updateEnded);
    EXPECT_TRUE(facade->IsActionThreadRunning()) << "the thread has not ended yet";
    delete facade;
    EXPECT_EQ(1, log.updateEnded) << "the thread ended before the facade went";
}

// With pumping, KillActionThread waits for the running action, and a later
// request starts a new thread.
TEST_F(FacadeTest, KillWithPumpingWaitsAndANewThreadStartsLater)
{
    log.updateMs = 600;
    CRecordingFacade facade;
    ASSERT_EQ(S_OK, facade.UpdatePreview(0, FALSE));
    ASSERT_TRUE(WaitForEvents(1));
    facade.KillActionThread(TRUE);
    EXPECT_EQ(1, log.updateEnded);
    EXPECT_FALSE(facade.IsActionThreadRunning());
    log.updateMs = 0;
    ASSERT_EQ(S_OK, facade.UpdatePreview(1, FALSE));
    EXPECT_TRUE(facade.IsActionThreadRunning());
    ASSERT_TRUE(WaitForEvents(2));
    EXPECT_EQ("update 1", log.Events()[1]);
    facade.KillActionThread(FALSE);
}

DWORD BitmapCentre(HBITMAP bitmap)
{
    DIBSECTION ds = {};
    if (GetObjectA(bitmap, sizeof(ds), &ds) != sizeof(ds) || !ds.dsBm.bmBits)
        return 0xFFFFFFFF;
    const int w = ds.dsBm.bmWidth, h = ds.dsBm.bmHeight;
    return PixelAt((const BYTE*)ds.dsBm.bmBits, w, h, w / 2, h / 2);
}

class FacadeGraphTest : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        XRVDSTimeline::s_bForcePlainRenderer = TRUE;
        AviPlan avi;
        avi.width = 160;
        avi.height = 120;
        avi.fps = 5;
        for (DWORD colour : {kRed, kBlue, kGreen})
            avi.frameColours.insert(avi.frameColours.end(), 5, colour);
        ASSERT_EQ("", WriteAvi(dir.File("colours.avi"), avi));
    }
    void TearDown() override
    {
        XRVDSTimeline::s_bForcePlainRenderer = FALSE;
        ComTest::TearDown();
    }
    testsupport::ScratchDir dir{"facade"};
};

// The facade of the preview (CTimelinePlayer) over a three-second AVI: its
// duration and rate, and grabs posted as bitmaps equal to that second's frame.
TEST_F(FacadeGraphTest, FrameGrabPostsTheFrameAtTheTime)
{
    CTimelinePlayer player;
    ASSERT_EQ(S_OK, player.AddMediaFile(0, dir.File("colours.avi").c_str()));
    ASSERT_EQ(S_OK, player.BuildPreviewGraph());
    EXPECT_EQ(30000000, player.GetDuration());
    double rate = 0;
    EXPECT_EQ(S_OK, player.GetVideoFrameRate(&rate));
    EXPECT_EQ(5.0, rate);
    int w = 0, h = 0;
    EXPECT_EQ(S_OK, player.GetMaxProperties(&w, &h));
    EXPECT_EQ(160, w);
    EXPECT_EQ(120, h);
    GrabTarget target;
    struct Case {
        double at;
        DWORD colour;
    } cases[] = {{1.5, kBlue}, {0.2, kRed}, {2.6, kGreen}};
    for (const Case& c : cases) {
        const size_t before = target.received.size();
        ASSERT_EQ(S_OK, player.RequestFrameGrab(Sec(c.at), target.hwnd, 0, 0, 0));
        ASSERT_TRUE(mediatest::PumpUntil([&] { return target.received.size() > before; }, 15000)) << c.at;
        EXPECT_EQ(c.colour, BitmapCentre(target.received.back())) << c.at;
    }
    player.KillActionThread(TRUE);
    EXPECT_FALSE(player.IsActionThreadRunning());
}

// The drawer the overlay filter of a timeline holds (NULL for none).
CComPtr<IOverlayFrameDrawer> DrawerOf(XRVDSTimeline* t)
{
    CComPtr<IOverlayFrameDrawer> drawer;
    CComQIPtr<IXrvOverlay> overlay(t ? t->m_pOverlayFilter : NULL);
    if (overlay)
        overlay->GetDrawer(&drawer);
    return drawer;
}

bool InputConnected(IBaseFilter* filter)
{
    CComPtr<IPin> in, peer;
    return filter && SUCCEEDED(FindInputPin(filter, &in, 0)) && in && SUCCEEDED(in->ConnectedTo(&peer)) && peer;
}

// The facade's overlay list is what the timeline's overlay filter draws: in
// the preview chain, in a copy of the timeline (the file writer's) and in a
// timeline attached later. The list
// outlives the facade while a copy holds it, overlays included.
TEST_F(FacadeGraphTest, OverlayListReachesEveryOverlayFilter)
{
    CComPtr<IOverlayFrameDrawer> copyDrawer;
    {
        CTimelinePlayer player;
        IOverlayFrameDrawer* list = player.GetOverlayList();
        ASSERT_TRUE(list != NULL);
        ASSERT_EQ(S_OK, player.AddMediaFile(0, dir.File("colours.avi").c_str()));
        EXPECT_EQ(list, DrawerOf(player.GetTimeline()).p) << "from the timeline's construction on";
        ASSERT_EQ(S_OK, player.BuildPreviewGraph());
        EXPECT_EQ(list, DrawerOf(player.GetTimeline()).p);
        EXPECT_TRUE(InputConnected(player.GetTimeline()->m_pOverlayFilter)) << "in the preview chain";
        // The frames pass through it: a pause shows one.
        CComPtr<IMediaControl> control;
        ASSERT_EQ(S_OK, player.GetMediaControl(&control));
        control->Pause();
        OAFilterState state;
        control->GetState(5000, &state);
        CComQIPtr<IXrvOverlay> overlay(player.GetTimeline()->m_pOverlayFilter);
        ASSERT_TRUE(overlay != NULL);
        EXPECT_TRUE(mediatest::PumpUntil([&] { return overlay->DrawnFrames() > 0; }, 5000));
        control->Stop();

        // SetOverlayValue reaches the filter.
        HANDLE event = CreateEventA(NULL, FALSE, FALSE, NULL);
        EXPECT_EQ(S_OK, player.SetOverlayValue(1, (INT_PTR)event));
        LONG a = 0;
        LONG_PTR b = 0;
        EXPECT_EQ(S_OK, overlay->GetValue(&a, &b));
        EXPECT_EQ(1, a);
        EXPECT_EQ((LONG_PTR)event, b);
        EXPECT_EQ(S_OK, player.SetOverlayValue(0, 0));
        CloseHandle(event);

        {
            XRVDSTimeline copy(*player.GetTimeline(), FALSE);
            EXPECT_EQ(list, DrawerOf(&copy).p) << "the writer's copy";
            // What the copy's overlay filter holds stays held after both go.
            copyDrawer = DrawerOf(&copy);
        }

        COverlayRectangle* box = new COverlayRectangle;
        box->m_brushColor = 0xFF00FF00;
        box->m_penColor = 0;
        box->m_antiAliasShapes = 0;
        box->m_movieWidth = 8;
        box->m_movieHeight = 8;
        box->m_shapeWidth = 8;
        box->m_shapeHeight = 8;
        box->m_end = Sec(1);
        ASSERT_EQ(S_OK, player.InsertOverlayFirst(box, NULL));

        XRVDSTimeline* later = new XRVDSTimeline(TRUE, TRUE);
        player.SetTimeline(later, TRUE);
        EXPECT_EQ(list, DrawerOf(later).p) << "a timeline attached later";
    }
    // The facade is gone; the list still holds and draws the box.
    ASSERT_TRUE(copyDrawer != NULL);
    std::vector<DWORD> frame(64, 0);
    EXPECT_EQ(S_OK, copyDrawer->DrawFrame((BYTE*)frame.data(), 8, 8, 32, 0));
    EXPECT_EQ(0x00FF00u, frame[27] & 0xFFFFFF);
}

}  // namespace
