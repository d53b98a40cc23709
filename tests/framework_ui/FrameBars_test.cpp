#include "framework/ui/Controls.h"
#include "framework/ui/FrameWnd.h"
#include "framework/ui/MessageLoop.h"
#include "framework/ui/ToolBar.h"
#include "UiTest.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>

namespace {

class CTestFrame : public CFrameWnd {
public:
    int commands = 0;
    void OnCmd() { commands++; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestFrame, CFrameWnd)
    ON_COMMAND(ID_TEST_FRAME_CMD, OnCmd)
END_MESSAGE_MAP()

void KeyInput(WORD vk, DWORD flags)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = flags;
    ::SendInput(1, &in, sizeof(in));
}

// Dispatches through the framework's pre-translation (accelerators).
void PumpFramework(DWORD ms)
{
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < ms) {
        AfxPumpWaitingMessages();
        ::Sleep(10);
    }
}

TEST(FrameWnd, LoadFrameTakesTitleMenuAndAcceleratorsOfOneId)
{
    CTestFrame* frame = new CTestFrame;
    ASSERT_TRUE(frame->LoadFrame(IDR_TEST_FRAME));
    CString title;
    frame->GetWindowText(title);
    EXPECT_EQ(CString("测试框架"), title);
    EXPECT_NE((HMENU)NULL, ::GetMenu(frame->m_hWnd));
    EXPECT_NE((HACCEL)NULL, frame->GetDefaultAccelerator());

    frame->ShowWindow(SW_SHOW);
    frame->SetForegroundWindow();
    ::SetFocus(frame->m_hWnd);
    PumpFramework(50);
    KeyInput(VK_CONTROL, 0);
    KeyInput('Q', 0);
    KeyInput('Q', KEYEVENTF_KEYUP);
    KeyInput(VK_CONTROL, KEYEVENTF_KEYUP);
    PumpFramework(200);
    EXPECT_EQ(1, frame->commands) << "Ctrl+Q through the frame's accelerators";
    frame->DestroyWindow();
}

// A top tool bar, the status bar at the bottom and the pane in between.
TEST(FrameWnd, RecalcLayoutStacksBarsAndFillsThePane)
{
    CTestFrame* frame = new CTestFrame;
    ASSERT_TRUE(frame->Create(NULL, "布局", WS_OVERLAPPEDWINDOW, CRect(50, 50, 450, 350)));
    CToolBar bar;
    ASSERT_TRUE(bar.CreateEx(frame));
    const UINT ids[] = { ID_TEST_FRAME_CMD };
    ASSERT_TRUE(bar.SetButtons(ids, 1));
    CStatusBar status;
    ASSERT_TRUE(status.Create(frame));
    CWnd pane;
    ASSERT_TRUE(pane.Create(NULL, NULL, WS_CHILD | WS_VISIBLE, CRect(0, 0, 10, 10), frame, AFX_IDW_PANE_FIRST));
    frame->ShowWindow(SW_SHOW);
    frame->RecalcLayout();

    CRect client, barRc, statusRc, paneRc;
    frame->GetClientRect(&client);
    bar.GetWindowRect(&barRc);
    frame->ScreenToClient(&barRc);
    status.GetWindowRect(&statusRc);
    frame->ScreenToClient(&statusRc);
    pane.GetWindowRect(&paneRc);
    frame->ScreenToClient(&paneRc);
    EXPECT_EQ(0, barRc.top);
    EXPECT_EQ(client.Width(), barRc.Width());
    EXPECT_GE(barRc.Height(), 22) << "a button high";
    EXPECT_EQ(client.bottom, statusRc.bottom);
    EXPECT_EQ(barRc.bottom, paneRc.top);
    EXPECT_EQ(statusRc.top, paneRc.bottom);
    EXPECT_EQ(paneRc, frame->GetFreeClientRect());

    // Growing the frame lays it out again.
    frame->SetWindowPos(NULL, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER);
    uitest::PumpPending();
    frame->GetClientRect(&client);
    pane.GetWindowRect(&paneRc);
    frame->ScreenToClient(&paneRc);
    EXPECT_EQ(client.Width(), paneRc.Width());
    status.GetWindowRect(&statusRc);
    frame->ScreenToClient(&statusRc);
    EXPECT_EQ(statusRc.top, paneRc.bottom);
    frame->DestroyWindow();
}

TEST(ToolBar, ButtonsTextsAndStylesRoundTrip)
{
    CTestFrame* frame = new CTestFrame;
    ASSERT_TRUE(frame->Create(NULL, "工具", WS_OVERLAPPEDWINDOW, CRect(50, 50, 450, 350)));
    CToolBar bar;
    ASSERT_TRUE(bar.CreateEx(frame));
    const UINT ids[] = { ID_TEST_FRAME_CMD, ID_SEPARATOR, ID_TEST_FRAME_CMD + 1 };
    ASSERT_TRUE(bar.SetButtons(ids, 3));
    EXPECT_EQ(3, bar.GetCount());
    EXPECT_EQ(2, bar.CommandToIndex(ID_TEST_FRAME_CMD + 1));
    EXPECT_EQ((UINT)ID_TEST_FRAME_CMD, bar.GetItemID(0));
    EXPECT_TRUE(bar.GetButtonStyle(1) & TBSTYLE_SEP);
    ASSERT_TRUE(bar.SetButtonText(0, "录制"));
    ASSERT_TRUE(bar.SetButtonText(2, "停止"));
    EXPECT_EQ(CString("录制"), bar.GetButtonText(0));
    EXPECT_EQ(CString("停止"), bar.GetButtonText(2));
    bar.SetButtonStyle(2, TBSTYLE_CHECK | ((UINT)(TBSTATE_ENABLED | TBSTATE_CHECKED) << 16));
    EXPECT_EQ((UINT)(TBSTYLE_CHECK | ((TBSTATE_ENABLED | TBSTATE_CHECKED) << 16)), bar.GetButtonStyle(2));
    EXPECT_EQ(CString("停止"), bar.GetButtonText(2)) << "the text survives a style change";

    // The idle pass: the command with a handler is enabled, the other not.
    frame->ShowWindow(SW_SHOW);
    bar.SendMessage(WM_IDLEUPDATECMDUI, TRUE);
    EXPECT_TRUE(bar.SendMessage(TB_ISBUTTONENABLED, ID_TEST_FRAME_CMD));
    EXPECT_FALSE(bar.SendMessage(TB_ISBUTTONENABLED, ID_TEST_FRAME_CMD + 1));
    frame->DestroyWindow();
}

}  // namespace
