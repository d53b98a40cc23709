// The region picker under Xvfb with synthetic mouse and keyboard input.
#include "capture/AreaPicker.h"

#include "AppTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace apptest;

namespace {

// A hidden window that records the messages posted to it.
class Listener {
public:
    Listener()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleA(NULL);
        wc.lpszClassName = "VexcapPickerListener";
        ::RegisterClassA(&wc);
        m_hwnd = ::CreateWindowA(wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, NULL, NULL, wc.hInstance, NULL);
        ::SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, (LONG_PTR)this);
    }
    ~Listener() { ::DestroyWindow(m_hwnd); }
    HWND Hwnd() const { return m_hwnd; }
    std::vector<UINT> messages;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        Listener* self = (Listener*)::GetWindowLongPtrA(hwnd, GWLP_USERDATA);
        if (self && msg >= WM_USER && msg < 0x8000) {
            self->messages.push_back(msg);
            return 0;
        }
        return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    HWND m_hwnd;
};

void MouseTo(int x, int y)
{
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = (x * 65535 + ::GetSystemMetrics(SM_CXSCREEN) / 2) / (::GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = (y * 65535 + ::GetSystemMetrics(SM_CYSCREEN) / 2) / (::GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(1, &in, sizeof(in));
    Pump(50);
}

void Button(DWORD flag)
{
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flag;
    ::SendInput(1, &in, sizeof(in));
    Pump(50);
}

void Key(WORD vk)
{
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, in, sizeof(INPUT));
    Pump(50);
}

bool IsWindowGone(HWND w) { return !::IsWindow(w); }

}  // namespace

TEST(AreaPicker, RubberBandHoldsBothCorners)
{
    const struct {
        POINT anchor, point;
        RECT band;
    } cases[] = {
        {{100, 100}, {50, 80}, {50, 80, 101, 101}},
        {{10, 20}, {30, 40}, {10, 20, 31, 41}},
        {{5, 5}, {5, 5}, {5, 5, 6, 6}},
    };
    for (const auto& c : cases) {
        const RECT band = RubberBand(c.anchor, c.point);
        EXPECT_TRUE(::EqualRect(&band, &c.band)) << band.left << "," << band.top << "," << band.right << ","
                                                 << band.bottom;
    }
}

// Drawing the outline twice leaves the screen as it was.
TEST(AreaPicker, XorOutlineErasesItself)
{
    HDC screen = ::GetDC(NULL);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 40, 40);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::PatBlt(memory, 0, 0, 40, 40, WHITENESS);
    const RECT rects[] = {{5, 5, 35, 35}, {5, 5, 8, 35}, {5, 5, 35, 7}};
    for (const RECT& r : rects) {
        DrawXorOutline(memory, r, 4);
        EXPECT_NE(RGB(255, 255, 255), ::GetPixel(memory, r.left, r.top)) << "drawn";
        DrawXorOutline(memory, r, 4);
        EXPECT_EQ(RGB(255, 255, 255), ::GetPixel(memory, r.left, r.top)) << "erased";
    }
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(NULL, screen);
}

TEST(AreaPicker, ADragPicksTheBandAndTellsTheWindow)
{
    Listener listener;
    PickedArea choice;
    CRegionPickerWnd* picker = new CRegionPickerWnd(NULL, &choice, listener.Hwnd());
    ASSERT_TRUE(picker->CreateOverlay());
    HWND overlay = picker->m_hWnd;
    Pump(100);
    MouseTo(100, 100);
    Button(MOUSEEVENTF_LEFTDOWN);
    MouseTo(70, 90);
    MouseTo(50, 80);
    Button(MOUSEEVENTF_LEFTUP);
    ASSERT_TRUE(PumpUntil([&] { return IsWindowGone(overlay); }, 5000)) << "the picker is gone";
    Pump(50);
    ASSERT_EQ(std::vector<UINT>{WM_AREA_PICKED}, listener.messages);
    const RECT expected = {50, 80, 101, 101};
    EXPECT_TRUE(::EqualRect(&choice.area, &expected))
        << choice.area.left << "," << choice.area.top << "," << choice.area.right << "," << choice.area.bottom;
    EXPECT_EQ(100, choice.startPoint.x);
    EXPECT_EQ(100, choice.startPoint.y);
    EXPECT_EQ(NULL, ::GetCapture());
}

// Escape, a right click or closing cancels: the cancel message, no choice.
TEST(AreaPicker, EscapeRightClickOrCloseCancels)
{
    for (int way = 0; way < 3; ++way) {
        Listener listener;
        PickedArea choice;
        CRegionPickerWnd* picker = new CRegionPickerWnd(NULL, &choice, listener.Hwnd());
        ASSERT_TRUE(picker->CreateOverlay());
        HWND overlay = picker->m_hWnd;
        Pump(100);
        if (way == 0) {
            Key(VK_ESCAPE);
        } else if (way == 1) {
            MouseTo(300, 300);
            Button(MOUSEEVENTF_RIGHTDOWN);
            Button(MOUSEEVENTF_RIGHTUP);
        } else {
            ::PostMessageA(overlay, WM_CLOSE, 0, 0);
        }
        ASSERT_TRUE(PumpUntil([&] { return IsWindowGone(overlay); }, 5000)) << "way " << way;
        Pump(50);
        EXPECT_EQ(std::vector<UINT>{WM_AREA_PICK_CANCELLED}, listener.messages) << "way " << way;
        EXPECT_TRUE(::IsRectEmpty(&choice.area)) << "way " << way;
    }
}
