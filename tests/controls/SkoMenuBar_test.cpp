#include "controls/SkoMenuBar.h"

#include "framework/ui/FrameWnd.h"
#include "framework/ui/Menu.h"
#include "framework/ui/MessageLoop.h"
#include "ControlsInput.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>
#include <atomic>
#include <vector>

namespace {

enum {
    ID_NEW = 1001, ID_EXIT = 1002, ID_COPY = 1003, ID_ABOUT = 1004, ID_SUB_ITEM = 1011,
};

// A frame with the menu bar at its top; the bar sees the frame's keys first.
class CMenuFrame : public CFrameWnd {
public:
    XRVSkoMenuBar bar;
    std::vector<UINT> commands;
    std::vector<HMENU> opened;
    bool tryNested = false;
    int nestedResult = -1;

    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        if (bar.m_hWnd != NULL && bar.PreTranslateMessage(pMsg))
            return TRUE;
        return CFrameWnd::PreTranslateMessage(pMsg);
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        commands.push_back(LOWORD(wParam));
        return CFrameWnd::OnCommand(wParam, lParam);
    }
    void OnMenuCommand(UINT) {}   // the frame's menu items are enabled by having a handler
    void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu)
    {
        opened.push_back(pPopupMenu->m_hMenu);
        if (tryNested)
            nestedResult = bar.TrackPopup(1);
        CFrameWnd::OnInitMenuPopup(pPopupMenu, nIndex, bSysMenu);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMenuFrame, CFrameWnd)
    ON_COMMAND_RANGE(ID_NEW, ID_SUB_ITEM, OnMenuCommand)
    ON_WM_INITMENUPOPUP()
END_MESSAGE_MAP()

HMENU MakeMenu()
{
    HMENU sub = ::CreatePopupMenu();
    ::AppendMenuA(sub, MF_STRING, ID_SUB_ITEM, "甲");
    HMENU file = ::CreatePopupMenu();
    ::AppendMenuA(file, MF_STRING, ID_NEW, "新建(&N)");
    ::AppendMenuA(file, MF_POPUP, (UINT_PTR)sub, "打开(&O)");
    ::AppendMenuA(file, MF_STRING, ID_EXIT, "退出(&X)");
    HMENU edit = ::CreatePopupMenu();
    ::AppendMenuA(edit, MF_STRING, ID_COPY, "复制(&C)");
    HMENU help = ::CreatePopupMenu();
    ::AppendMenuA(help, MF_STRING, ID_ABOUT, "关于(&A)");
    HMENU menu = ::CreateMenu();
    ::AppendMenuA(menu, MF_POPUP, (UINT_PTR)file, "文件(&F)");
    ::AppendMenuA(menu, MF_POPUP, (UINT_PTR)edit, "编辑(&E)");
    ::AppendMenuA(menu, MF_POPUP, (UINT_PTR)help, "帮助(&H)");
    return menu;
}

bool PopupMenuShown()
{
    HWND h = ::FindWindowA("#32768", NULL);
    return h != NULL && ::IsWindowVisible(h);
}

// Input from a thread of its own, while the test thread dispatches messages
// through the framework (so that the frame's PreTranslateMessage runs).
struct Step {
    WORD vk;          // 0: only wait
    bool up;
    DWORD waitMs;
};

struct Script {
    std::vector<Step> steps;
    std::atomic<int> done{ 0 };
    std::vector<int> statesSeen;   // the bar's state after each step
    std::vector<bool> popupSeen;
    XRVSkoMenuBar* bar = nullptr;
};

DWORD WINAPI RunSteps(LPVOID p)
{
    Script* s = (Script*)p;
    for (const Step& step : s->steps) {
        if (step.vk != 0) {
            INPUT in = {};
            in.type = INPUT_KEYBOARD;
            in.ki.wVk = step.vk;
            in.ki.wScan = (WORD)::MapVirtualKeyA(step.vk, 0);
            in.ki.dwFlags = step.up ? KEYEVENTF_KEYUP : 0;
            ::SendInput(1, &in, sizeof(in));
        }
        ::Sleep(step.waitMs);
        s->statesSeen.push_back(s->bar->GetState());
        s->popupSeen.push_back(PopupMenuShown());
    }
    s->done = 1;
    return 0;
}

void Play(Script& script)
{
    HANDLE thread = ::CreateThread(NULL, 0, &RunSteps, &script, 0, NULL);
    const DWORD start = ::GetTickCount();
    while (!script.done && ::GetTickCount() - start < 15000) {
        AfxPumpWaitingMessages();
        ::Sleep(5);
    }
    ::WaitForSingleObject(thread, 5000);
    ::CloseHandle(thread);
    for (int i = 0; i < 10; i++) {
        AfxPumpWaitingMessages();
        ::Sleep(10);
    }
}

// Press and release, then wait.
void Tap(Script& s, WORD vk, DWORD waitMs = 150)
{
    s.steps.push_back({ vk, false, 20 });
    s.steps.push_back({ vk, true, waitMs });
}

struct MenuBarFixture : ::testing::Test {
    CMenuFrame* frame = nullptr;
    HMENU menu = NULL;
    void SetUp() override
    {
        ctlinput::MouseAt(5, 1000);
        frame = new CMenuFrame;
        ASSERT_TRUE(frame->Create(NULL, "菜单栏", WS_OVERLAPPEDWINDOW, CRect(200, 200, 700, 400)));
        ASSERT_TRUE(frame->bar.CreateEx(frame, TBSTYLE_FLAT, WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP,
                                        CRect(0, 0, 0, 0), AFX_IDW_MENUBAR));
        menu = MakeMenu();
        frame->bar.SetMenu(menu);
        frame->ShowWindow(SW_SHOW);
        frame->SetForegroundWindow();
        ::SetFocus(frame->m_hWnd);
        frame->RecalcLayout();
        uitest::PumpPending();
    }
    void TearDown() override
    {
        frame->DestroyWindow();
        ::DestroyMenu(menu);
    }

};

TEST(SkoMenuBar, EqualCaptionsShareOneString)
{
    CMenuFrame* frame = new CMenuFrame;
    ASSERT_TRUE(frame->Create(NULL, "菜单", WS_OVERLAPPEDWINDOW, CRect(200, 200, 600, 300)));
    ASSERT_TRUE(frame->bar.CreateEx(frame));
    HMENU menu = ::CreateMenu();
    ::AppendMenuA(menu, MF_POPUP, (UINT_PTR)::CreatePopupMenu(), "文件(&F)");
    ::AppendMenuA(menu, MF_POPUP, (UINT_PTR)::CreatePopupMenu(), "编辑(&E)");
    ::AppendMenuA(menu, MF_POPUP, (UINT_PTR)::CreatePopupMenu(), "文件(&F)");
    frame->bar.SetMenu(menu);
    EXPECT_EQ(3, frame->bar.GetCount());
    ASSERT_EQ(2, frame->bar.GetCaptions().GetSize());
    EXPECT_EQ(CString("文件(&F)"), frame->bar.GetCaptions()[0]);
    EXPECT_EQ(frame->bar.GetButtonStringIndex(0), frame->bar.GetButtonStringIndex(2));
    EXPECT_NE(frame->bar.GetButtonStringIndex(0), frame->bar.GetButtonStringIndex(1));
    EXPECT_EQ(CString("编辑(&E)"), frame->bar.GetButtonText(1)) << "the string reached the tool bar whole";
    frame->DestroyWindow();
    ::DestroyMenu(menu);
}

// Alt (or F10) alone enters keyboard navigation with the first button hot,
// drawn in the highlight colour; pressed again it leaves.
TEST_F(MenuBarFixture, AltAndF10ToggleKeyboardNavigation)
{
    for (WORD key : { (WORD)VK_MENU, (WORD)VK_F10 }) {
        Script s;
    s.bar = &frame->bar;
        Tap(s, key);
        Play(s);
        EXPECT_EQ(XRVSkoMenuBar::kKeyboard, frame->bar.GetState()) << key;
        EXPECT_EQ(0, frame->bar.GetHotItem());
        frame->bar.UpdateWindow();
        RECT rc;
        frame->bar.SendMessage(TB_GETITEMRECT, 0, (LPARAM)&rc);
        HDC hdc = ::GetDC(frame->bar.m_hWnd);
        EXPECT_EQ(::GetSysColor(COLOR_HIGHLIGHT), ::GetPixel(hdc, rc.left + 1, rc.top + 1));
        ::ReleaseDC(frame->bar.m_hWnd, hdc);
        Script again;
    again.bar = &frame->bar;
        Tap(again, key);
        Play(again);
        EXPECT_EQ(XRVSkoMenuBar::kIdle, frame->bar.GetState()) << key;
        EXPECT_EQ(-1, frame->bar.GetHotItem());
    }
    EXPECT_TRUE(frame->commands.empty());
}

// Alt+F opens the first popup; Escape closes it and keeps keyboard
// navigation; a second Escape leaves it.
TEST_F(MenuBarFixture, MnemonicOpensAndEscapeStepsBack)
{
    Script s;
    s.bar = &frame->bar;
    s.steps.push_back({ VK_MENU, false, 30 });
    Tap(s, 'F', 30);
    s.steps.push_back({ VK_MENU, true, 300 });
    Tap(s, VK_ESCAPE, 300);
    Tap(s, VK_ESCAPE, 200);
    Play(s);
    ASSERT_EQ(8u, s.statesSeen.size());
    EXPECT_EQ(XRVSkoMenuBar::kPopupOpen, s.statesSeen[3]) << "after Alt+F";
    EXPECT_TRUE(s.popupSeen[3]);
    EXPECT_EQ(XRVSkoMenuBar::kKeyboard, s.statesSeen[5]) << "after Escape";
    EXPECT_FALSE(s.popupSeen[5]);
    EXPECT_EQ(XRVSkoMenuBar::kIdle, frame->bar.GetState());
    ASSERT_FALSE(frame->opened.empty());
    EXPECT_EQ(::GetSubMenu(menu, 0), frame->opened[0]);
}

// Right on a plain entry moves to the next popup; on an entry with a
// submenu it opens the submenu instead.
TEST_F(MenuBarFixture, RightMovesOnFromPlainEntriesOnly)
{
    Script s;
    s.bar = &frame->bar;
    s.steps.push_back({ VK_MENU, false, 30 });
    Tap(s, 'F', 30);
    s.steps.push_back({ VK_MENU, true, 300 });
    Tap(s, VK_DOWN, 150);      // "新建": plain
    Tap(s, VK_RIGHT, 400);     // to "编辑"
    Tap(s, VK_ESCAPE, 200);
    Tap(s, VK_ESCAPE, 200);
    Play(s);
    ASSERT_GE(frame->opened.size(), 2u);
    EXPECT_EQ(::GetSubMenu(menu, 0), frame->opened[0]);
    EXPECT_EQ(::GetSubMenu(menu, 1), frame->opened[1]);

    frame->opened.clear();
    Script t;
    t.bar = &frame->bar;
    t.steps.push_back({ VK_MENU, false, 30 });
    Tap(t, 'F', 30);
    t.steps.push_back({ VK_MENU, true, 300 });
    Tap(t, VK_DOWN, 150);
    Tap(t, VK_DOWN, 150);      // "打开": a submenu
    Tap(t, VK_RIGHT, 400);
    Tap(t, VK_ESCAPE, 150);
    Tap(t, VK_ESCAPE, 150);
    Tap(t, VK_ESCAPE, 150);
    Play(t);
    ASSERT_GE(frame->opened.size(), 2u);
    EXPECT_EQ(::GetSubMenu(::GetSubMenu(menu, 0), 1), frame->opened[1]) << "the submenu, not the next popup";
    for (HMENU h : frame->opened)
        EXPECT_NE(::GetSubMenu(menu, 1), h);
}

// Alt, Down opens the hot popup; Enter on its first entry sends the command.
TEST_F(MenuBarFixture, KeyboardChoiceSendsTheCommand)
{
    Script s;
    s.bar = &frame->bar;
    Tap(s, VK_MENU, 100);
    Tap(s, VK_RIGHT, 100);     // hot: "编辑"
    Tap(s, VK_DOWN, 300);      // opens it
    Tap(s, VK_DOWN, 100);
    Tap(s, VK_RETURN, 300);
    Play(s);
    ASSERT_EQ(1u, frame->commands.size());
    EXPECT_EQ((UINT)ID_COPY, frame->commands[0]);
    EXPECT_EQ(XRVSkoMenuBar::kIdle, frame->bar.GetState());
}

// While a popup is tracked a second TrackPopup is refused.
TEST_F(MenuBarFixture, SecondTrackPopupIsRefused)
{
    frame->tryNested = true;
    Script s;
    s.bar = &frame->bar;
    s.steps.push_back({ VK_MENU, false, 30 });
    Tap(s, 'H', 30);
    s.steps.push_back({ VK_MENU, true, 300 });
    Tap(s, VK_ESCAPE, 200);
    Tap(s, VK_ESCAPE, 200);
    Play(s);
    EXPECT_EQ(FALSE, frame->nestedResult);
    ASSERT_EQ(1u, frame->opened.size());
    EXPECT_EQ(::GetSubMenu(menu, 2), frame->opened[0]);
}

// Near the bottom-right corner the popup's anchor stays on the screen.
TEST_F(MenuBarFixture, PopupAnchorStaysInsideTheScreen)
{
    const int cx = ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int cy = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
    frame->SetWindowPos(NULL, cx - 40, cy - 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT exclude;
    for (int i = 0; i < 3; i++) {
        const CPoint pt = frame->bar.GetPopupPoint(i, &exclude);
        EXPECT_LT(pt.x, cx) << i;
        EXPECT_LT(pt.y, cy) << i;
        EXPECT_GE(pt.x, 0);
    }
    EXPECT_EQ((HWND)NULL, ::FindWindowA("Progman", NULL)) << "Wine has no desktop window of that class";
}

TEST(SkoMenuBar, DetachRemovesTheFramesOwnMenu)
{
    CMenuFrame* frame = new CMenuFrame;
    ASSERT_TRUE(frame->Create(NULL, "分离", WS_OVERLAPPEDWINDOW, CRect(200, 200, 600, 300)));
    HMENU own = MakeMenu();
    ::SetMenu(frame->m_hWnd, own);
    ASSERT_TRUE(frame->bar.CreateEx(frame));
    frame->bar.m_bDetach = TRUE;
    HMENU shown = MakeMenu();
    frame->bar.SetMenu(shown);
    uitest::PumpPending();
    EXPECT_EQ((HMENU)NULL, ::GetMenu(frame->m_hWnd));
    EXPECT_EQ(3, frame->bar.GetCount());
    frame->DestroyWindow();
    ::DestroyMenu(own);
    ::DestroyMenu(shown);
}

}  // namespace
