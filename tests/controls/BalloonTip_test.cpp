#include "controls/BalloonTip.h"

#include "ControlsInput.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>

namespace {

struct BalloonFixture : ::testing::Test {
    CWnd owner;
    CWnd other;
    void SetUp() override
    {
        LPCTSTR cls = AfxRegisterWndClass(0, ::LoadCursorA(NULL, (LPCSTR)IDC_ARROW), (HBRUSH)(COLOR_WINDOW + 1));
        ASSERT_TRUE(owner.CreateEx(0, cls, "气球", WS_POPUP | WS_CAPTION | WS_VISIBLE, 300, 300, 300, 150, NULL, NULL));
        ASSERT_TRUE(other.CreateEx(0, cls, "别的", WS_POPUP | WS_CAPTION | WS_VISIBLE, 700, 300, 200, 100, NULL, NULL));
        owner.SetForegroundWindow();
        uitest::PumpPending();
    }
    void TearDown() override
    {
        other.DestroyWindow();
        owner.DestroyWindow();
    }
    static bool TipShown(const CBalloonTip& b)
    {
        return b.GetTipWindow() != NULL && ::IsWindowVisible(b.GetTipWindow());
    }
};

TEST_F(BalloonFixture, EmptyTextShowsNothing)
{
    CBalloonTip balloon(&owner);
    EXPECT_EQ(CString("Skorvale Studio 提示"), balloon.GetTitle());
    balloon.ScheduleShow(10);
    ctlinput::Pump(200);
    EXPECT_FALSE(balloon.IsVisible());
    EXPECT_EQ((HWND)NULL, balloon.GetTipWindow());
}

// Shown at the first tick, still there after 4.5 s, hidden after 5 s.
TEST_F(BalloonFixture, HiddenFiveSecondsAfterItShows)
{
    CBalloonTip balloon(&owner);
    balloon.SetOffset(0, 5);
    balloon.MoveTo(400, 350);
    EXPECT_EQ(CPoint(400, 355), balloon.GetTipPoint());
    balloon.SetText("正在录制");
    balloon.ScheduleShow(10);
    ASSERT_TRUE(uitest::PumpUntil([&] { return balloon.IsVisible(); }, 2000));
    const DWORD shown = ::GetTickCount();
    EXPECT_TRUE(TipShown(balloon));
    char cls[64] = "";
    ::GetClassNameA(balloon.GetTipWindow(), cls, sizeof(cls));
    EXPECT_STREQ("tooltips_class32", cls);
    EXPECT_TRUE(::GetWindowLongA(balloon.GetTipWindow(), GWL_STYLE) & TTS_BALLOON);
    uitest::PumpUntil([&] { return ::GetTickCount() - shown >= 4500; }, 6000);
    EXPECT_TRUE(balloon.IsVisible()) << "not before 5 s";
    EXPECT_TRUE(uitest::PumpUntil([&] { return !balloon.IsVisible(); }, 2000));
    EXPECT_GE(::GetTickCount() - shown, 4900u);
    EXPECT_FALSE(TipShown(balloon));
    EXPECT_TRUE(balloon.GetText().IsEmpty());
}

TEST_F(BalloonFixture, LosingTheFocusHidesItAtOnce)
{
    CBalloonTip balloon(&owner);
    balloon.SetText("提示");
    balloon.ScheduleShow(10);
    ASSERT_TRUE(uitest::PumpUntil([&] { return balloon.IsVisible(); }, 2000));
    EXPECT_EQ(balloon.GetTipWindow(), ::GetFocus());
    owner.SetFocus();
    ctlinput::Pump(50);
    EXPECT_FALSE(balloon.IsVisible());
}

TEST_F(BalloonFixture, InactiveOwnerMakesItWait)
{
    CBalloonTip balloon(&owner);
    balloon.m_bOnlyWhileActive = TRUE;
    balloon.SetText("等待");
    other.SetForegroundWindow();
    ctlinput::Pump(50);
    balloon.ScheduleShow(20);
    ctlinput::Pump(300);
    EXPECT_FALSE(balloon.IsVisible()) << "the owner is not active";
    owner.SetForegroundWindow();
    EXPECT_TRUE(uitest::PumpUntil([&] { return balloon.IsVisible(); }, 2000));
}

TEST_F(BalloonFixture, SkipTickLetsOneTickPass)
{
    CBalloonTip balloon(&owner);
    balloon.m_bSkipTick = TRUE;
    balloon.SetText("跳过");
    balloon.ScheduleShow(150);
    ctlinput::Pump(220);
    EXPECT_FALSE(balloon.IsVisible());
    EXPECT_FALSE(balloon.m_bSkipTick);
    EXPECT_TRUE(uitest::PumpUntil([&] { return balloon.IsVisible(); }, 1000));
}

// A balloon destroyed while its timers run leaves nothing for them to reach.
TEST_F(BalloonFixture, DestroyedBalloonLeavesTimersHarmless)
{
    {
        CBalloonTip balloon(&owner);
        balloon.SetText("消失");
        balloon.ScheduleShow(10);
        ASSERT_TRUE(uitest::PumpUntil([&] { return balloon.IsVisible(); }, 2000));
        balloon.SetHideDelay(50);
        EXPECT_EQ(&balloon, CBalloonTip::Current());
    }
    EXPECT_EQ(nullptr, CBalloonTip::Current());
    // A tick that was already due, and one made afterwards.
    ::SetTimer(owner.m_hWnd, BALLOON_SHOW_TIMER, 10, &CBalloonTip::TimerProc);
    ctlinput::Pump(200);
    EXPECT_FALSE(::KillTimer(owner.m_hWnd, BALLOON_SHOW_TIMER)) << "the procedure killed it";
}

}  // namespace
