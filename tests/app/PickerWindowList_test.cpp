// The recorder window's list of top-level windows for the window picker.
#include "app/PickerWindowList.h"

#include "AppTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace apptest;

namespace {

HWND MakeWindow(const char* name, DWORD exStyle, int x, int y, int show)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(NULL);
    wc.lpszClassName = "VexcapListProbe";
    ::RegisterClassA(&wc);
    HWND w = ::CreateWindowExA(exStyle, wc.lpszClassName, name, WS_POPUP, x, y, 200, 100, NULL, NULL, wc.hInstance,
                               NULL);
    if (show >= 0)
        ::ShowWindow(w, show);
    return w;
}

int IndexOf(const std::vector<PickerWindow>& list, HWND w)
{
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].window == w)
            return (int)i;
    }
    return -1;
}

}  // namespace

// Visible windows are listed bottom-most first with rising z values and their
// rectangles and class names; hidden, minimised, click-through and the
// excluded window are not.
TEST(PickerWindowList, ListsTheVisibleWindowsBottomFirst)
{
    HWND lower = MakeWindow("lower", 0, 100, 100, SW_SHOWNOACTIVATE);
    HWND upper = MakeWindow("upper", WS_EX_TOPMOST, 150, 150, SW_SHOWNOACTIVATE);
    HWND hidden = MakeWindow("hidden", 0, 200, 200, -1);
    HWND minimised = MakeWindow("minimised", 0, 250, 250, SW_SHOWMINNOACTIVE);
    HWND through = MakeWindow("through", WS_EX_TRANSPARENT | WS_EX_TOPMOST, 300, 300, SW_SHOWNOACTIVATE);
    HWND excluded = MakeWindow("excluded", 0, 350, 350, SW_SHOWNOACTIVATE);
    Pump(100);

    const std::vector<PickerWindow> list = BuildPickerWindowList(excluded);
    const struct {
        const char* name;
        HWND window;
        bool listed;
    } cases[] = {
        {"lower", lower, true},         {"upper", upper, true},         {"hidden", hidden, false},
        {"minimised", minimised, false}, {"click-through", through, false}, {"excluded", excluded, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.listed, IndexOf(list, c.window) >= 0) << c.name;
    const int lo = IndexOf(list, lower);
    const int up = IndexOf(list, upper);
    ASSERT_GE(lo, 0);
    ASSERT_GE(up, 0);
    EXPECT_LT(lo, up) << "the top-most window comes last";
    for (size_t i = 1; i < list.size(); ++i)
        EXPECT_GT(list[i].z, list[i - 1].z) << "z rises along the list at " << i;
    RECT expected;
    ::GetWindowRect(upper, &expected);
    EXPECT_TRUE(::EqualRect(&expected, &list[up].rect));
    EXPECT_EQ(std::string("VexcapListProbe"), std::string(list[up].className));
    EXPECT_EQ(0u, list[up].flags);
    // The list finds the upper window where the two overlap.
    const POINT overlap = {180, 180};
    EXPECT_EQ(up, FindPickerWindow(list, overlap));

    for (HWND w : {lower, upper, hidden, minimised, through, excluded})
        ::DestroyWindow(w);
}
