#include "controls/TaskbarIcon.h"

#include "ControlsInput.h"
#include "ControlsTest.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// Wine shows icons in its own tray window when no tray manager runs.
std::vector<HWND> TrayIconWindows()
{
    std::vector<HWND> icons;
    HWND tray = ::FindWindowA("__winex11_standalone_tray", NULL);
    for (HWND h = tray != NULL ? ::GetWindow(tray, GW_CHILD) : NULL; h != NULL; h = ::GetWindow(h, GW_HWNDNEXT)) {
        char cls[64] = "";
        ::GetClassNameA(h, cls, sizeof(cls));
        if (strcmp(cls, "__winex11_tray_icon") == 0 && ::IsWindowVisible(h))
            icons.push_back(h);
    }
    return icons;
}

// The owner of the icon: counts the events passed on.
class CIconOwner : public CWnd {
public:
    std::vector<std::pair<WPARAM, LPARAM>> events;
    LRESULT OnIcon(WPARAM wParam, LPARAM lParam)
    {
        events.push_back({ wParam, lParam });
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CIconOwner, CWnd)
    ON_MESSAGE(WM_TASKBAR_ICON, OnIcon)
END_MESSAGE_MAP()

struct Sent {
    DWORD message;
    UINT flags;
    std::string tip;
    DWORD size;
};
std::vector<Sent> g_sent;
BOOL RecordNotify(DWORD message, NOTIFYICONDATAA* data)
{
    g_sent.push_back({ message, data->uFlags, data->szTip, data->cbSize });
    return TRUE;
}

struct TrayFixture : ::testing::Test {
    CIconOwner owner;
    void SetUp() override
    {
        ASSERT_TRUE(owner.CreateEx(0, AfxRegisterWndClass(0), "托盘", WS_POPUP, 0, 0, 10, 10, NULL, NULL));
    }
    void TearDown() override { owner.DestroyWindow(); }
};

TEST_F(TrayFixture, ShowTwiceAddsOneIconAndDestroyingRemovesIt)
{
    const size_t before = TrayIconWindows().size();
    {
        COXTaskbarIcon icon;
        ASSERT_TRUE(icon.Create(1, &owner));
        icon.SetIcon(IDI_TEST_ICON, FALSE);
        icon.SetTooltipText("正在录制", FALSE);
        EXPECT_TRUE(icon.Show());
        EXPECT_FALSE(icon.Show()) << "already shown";
        uitest::PumpUntil([&] { return TrayIconWindows().size() == before + 1; }, 2000);
        EXPECT_EQ(before + 1, TrayIconWindows().size());
        EXPECT_TRUE(icon.IsShown());
        CString tip;
        icon.GetTooltipText(tip);
        EXPECT_EQ(CString("正在录制"), tip);
        EXPECT_NE((HICON)NULL, icon.GetIcon());
    }
    uitest::PumpUntil([&] { return TrayIconWindows().size() == before; }, 2000);
    EXPECT_EQ(before, TrayIconWindows().size()) << "the destructor removes the icon";
}

// A click on Wine's icon window reaches the owner with the icon id and the
// mouse message.
TEST_F(TrayFixture, ClickOnTheIconReachesTheOwner)
{
    COXTaskbarIcon icon;
    ASSERT_TRUE(icon.Create(7, &owner));
    icon.SetIcon(IDI_TEST_ICON, FALSE);
    ASSERT_TRUE(icon.Show());
    ASSERT_TRUE(uitest::PumpUntil([&] { return !TrayIconWindows().empty(); }, 2000));
    RECT rc;
    ::GetWindowRect(TrayIconWindows().back(), &rc);
    ctlinput::ClickAt((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    uitest::PumpUntil([&] { return owner.events.size() >= 2; }, 2000);
    bool down = false, up = false;
    for (const auto& e : owner.events) {
        EXPECT_EQ(7u, e.first);
        down |= e.second == WM_LBUTTONDOWN;
        up |= e.second == WM_LBUTTONUP;
    }
    EXPECT_TRUE(down);
    EXPECT_TRUE(up);
    ctlinput::MouseAt(5, 1000);
}

TEST_F(TrayFixture, TooltipUpdatesOnlyWhenAskedAndIsCutTo127)
{
    const COXTaskbarIcon::NotifyProc saved = COXTaskbarIcon::s_pfnShellNotifyIcon;
    COXTaskbarIcon::s_pfnShellNotifyIcon = &RecordNotify;
    g_sent.clear();
    {
        COXTaskbarIcon icon;
        ASSERT_TRUE(icon.Create(2, &owner));
        icon.SetTooltipText("甲", FALSE);
        EXPECT_TRUE(g_sent.empty()) << "nothing while hidden";
        ASSERT_TRUE(icon.Show());
        icon.SetTooltipText("乙", FALSE);
        ASSERT_EQ(1u, g_sent.size()) << "no update asked: the old tip stays";
        EXPECT_EQ("甲", g_sent[0].tip);
        EXPECT_EQ((UINT)(NIF_MESSAGE | NIF_ICON | NIF_TIP), g_sent[0].flags);
        EXPECT_EQ((DWORD)NOTIFYICONDATAA_V2_SIZE, g_sent[0].size) << "the version-2 record";
        icon.Update();
        ASSERT_EQ(2u, g_sent.size());
        EXPECT_EQ((DWORD)NIM_MODIFY, g_sent[1].message);
        EXPECT_EQ("乙", g_sent[1].tip);
        const std::string longTip(300, 'x');
        icon.SetTooltipText(longTip.c_str(), TRUE);
        ASSERT_EQ(3u, g_sent.size());
        EXPECT_EQ(std::string(127, 'x'), g_sent[2].tip);
    }
    ASSERT_EQ(4u, g_sent.size());
    EXPECT_EQ((DWORD)NIM_DELETE, g_sent[3].message);
    EXPECT_EQ(0u, g_sent[3].flags);
    COXTaskbarIcon::s_pfnShellNotifyIcon = saved;
}

class CSelfIcon : public COXTaskbarIcon {
public:
    int ups = 0;
    void OnLButtonUp(UINT, CPoint) { ups++; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CSelfIcon, COXTaskbarIcon)
    ON_WM_LBUTTONUP()
END_MESSAGE_MAP()

// Without an owner the mouse message itself comes back to the hidden window.
TEST(TaskbarIcon, WithoutOwnerTheMouseMessageReturnsToTheIconWindow)
{
    CSelfIcon icon;
    ASSERT_TRUE(icon.Create(3));
    EXPECT_EQ(-1, icon.SendMessage(WM_TASKBAR_ICON, 3, WM_LBUTTONUP));
    uitest::PumpUntil([&] { return icon.ups == 1; }, 1000);
    EXPECT_EQ(1, icon.ups);
}

}  // namespace
