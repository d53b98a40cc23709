// The area pickers under Xvfb with real mouse and keyboard input: the region,
// dialog-region, monitor, window and fixed-region pickers, the digits of the
// drag cursor, and the large-area question.
#include "capture/AreaPicker.h"
#include "capture/DialogRegionPickerWnd.h"
#include "capture/MonitorPickerWnd.h"
#include "capture/SizeCursor.h"
#include "capture/WindowPickerWnd.h"
#include "resources/ids_controls.h"
#include "resources/ids_pickers.h"
#include "settings/RecorderPrefs.h"

#include "AppTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
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

// Records what a picker tells its host and its owner dialog or page.
struct FakeOwner : IAreaPickerHost, IRegionPageOwner, IFixedRegionOwner {
    void ReleaseChild() override { calls.push_back("ReleaseChild"); }
    void SetPickedRect(const RECT* area) override
    {
        calls.push_back("SetPickedRect");
        rect = *area;
    }
    void ShowPickerControls(BOOL show) override { calls.push_back(show ? "ShowPickerControls(1)" : "ShowPickerControls(0)"); }
    void ShowRect(const RECT* area) override
    {
        calls.push_back("ShowRect");
        rect = *area;
    }
    void ShowWindowWithMain(BOOL show) override { calls.push_back(show ? "ShowWindowWithMain(1)" : "ShowWindowWithMain(0)"); }
    std::vector<std::string> calls;
    RECT rect = {0, 0, 0, 0};
};

// A plain top-level window of this process, of its own class.
class TestWindow {
public:
    TestWindow(const char* className, DWORD style, int x, int y, int width, int height)
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(NULL);
        wc.hbrBackground = (HBRUSH)::GetStockObject(WHITE_BRUSH);
        wc.lpszClassName = className;
        ::RegisterClassA(&wc);
        m_hwnd = ::CreateWindowExA(0, className, "picker target", style, x, y, width, height, NULL, NULL,
                                   wc.hInstance, NULL);
        ::ShowWindow(m_hwnd, SW_SHOWNOACTIVATE);
        Pump(50);
    }
    ~TestWindow() { Destroy(); }
    void Destroy()
    {
        if (m_hwnd)
            ::DestroyWindow(m_hwnd);
        m_hwnd = NULL;
    }
    HWND Hwnd() const { return m_hwnd; }
    PickerWindow Entry(int z) const
    {
        PickerWindow entry;
        entry.window = m_hwnd;
        ::GetWindowRect(m_hwnd, &entry.rect);
        char name[64] = "";
        ::GetClassNameA(m_hwnd, name, sizeof(name));
        entry.className = name;
        entry.z = z;
        return entry;
    }
    RECT ClientOnScreen() const
    {
        RECT client;
        ::GetClientRect(m_hwnd, &client);
        ::MapWindowPoints(m_hwnd, NULL, (POINT*)&client, 2);
        return client;
    }

private:
    HWND m_hwnd;
};

std::string Text(const RECT& r)
{
    std::ostringstream s;
    s << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    return s.str();
}

bool IsWindowGone(HWND w) { return !::IsWindow(w); }

// A preferences record of the test application, with empty picker fields.
struct Prefs {
    CRecorderPrefs record{&App()};
};

// Opens a picker; the test drives it through real input.
HWND Open(CScreenOverlayWnd* picker)
{
    if (!picker->CreateOverlay()) {
        delete picker;
        return NULL;
    }
    HWND overlay = picker->m_hWnd;
    Pump(50);
    return overlay;
}

// The number drawn into the drag cursor's mask rows from `row` up, read
// back glyph by glyph; -1 when a place holds no glyph of the digit font.
int ReadCursorNumber(const std::vector<BYTE>& bits, int stride, int row)
{
    int value = 0;
    int digits = 0;
    for (int i = 0; i < CSizeCursor::kMaxDigits; ++i) {
        BYTE pattern[CSizeCursor::kDigitRows] = {};
        bool any = false;
        for (int r = 0; r < CSizeCursor::kDigitRows; ++r) {
            const BYTE* line = bits.data() + (size_t)(row + CSizeCursor::kDigitRows - 1 - r) * stride;
            for (int c = 0; c < CSizeCursor::kDigitWidth; ++c) {
                const int x = CSizeCursor::kFirstDigitColumn + i * CSizeCursor::kDigitPitch + c;
                if (!(line[x / 8] & (0x80 >> (x % 8)))) {   // a cleared pixel is ink
                    pattern[r] |= (BYTE)(4 >> c);
                    any = true;
                }
            }
        }
        if (!any)
            break;
        int digit = -1;
        for (int d = 0; d < 10; ++d) {
            if (memcmp(pattern, CSizeCursor::kGlyphs[d], sizeof(pattern)) == 0)
                digit = d;
        }
        if (digit < 0)
            return -1;
        value = value * 10 + digit;
        ++digits;
    }
    return digits ? value : -1;
}

// Reads the two numbers of a drag cursor; FALSE when it is no one-bit cursor.
bool ReadSizeCursor(HCURSOR cursor, int* width, int* height)
{
    ICONINFO info = {};
    if (!cursor || !::GetIconInfo((HICON)cursor, &info))
        return false;
    BITMAP bm = {};
    ::GetObjectA(info.hbmMask, sizeof(bm), &bm);
    const bool mono = !info.hbmColor && bm.bmBitsPixel == 1;
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[2];
    } mi = {};
    mi.header.biSize = sizeof(BITMAPINFOHEADER);
    mi.header.biWidth = bm.bmWidth;
    mi.header.biHeight = bm.bmHeight;
    mi.header.biPlanes = 1;
    mi.header.biBitCount = 1;
    const int stride = ((bm.bmWidth + 31) / 32) * 4;
    std::vector<BYTE> bits((size_t)stride * (bm.bmHeight > 0 ? bm.bmHeight : 1));
    HDC dc = ::GetDC(NULL);
    ::GetDIBits(dc, info.hbmMask, 0, bm.bmHeight, bits.data(), (BITMAPINFO*)&mi, DIB_RGB_COLORS);
    ::ReleaseDC(NULL, dc);
    ::DeleteObject(info.hbmMask);
    if (info.hbmColor)
        ::DeleteObject(info.hbmColor);
    if (!mono)
        return false;
    *height = ReadCursorNumber(bits, stride, CSizeCursor::kHeightRow);
    *width = ReadCursorNumber(bits, stride, CSizeCursor::kWidthRow);
    return true;
}

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
        EXPECT_TRUE(::EqualRect(&band, &c.band)) << Text(band);
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

// The fixed-size area is centred on the point and pushed back inside a
// 1920 x 1080 screen.
TEST(AreaPicker, FixedAreaFollowsThePointInsideTheScreen)
{
    const struct {
        POINT point;
        int width, height;
        RECT area;
    } cases[] = {
        {{10, 10}, 320, 240, {0, 0, 320, 240}},
        {{500, 400}, 320, 240, {340, 280, 660, 520}},
        {{1910, 1075}, 320, 240, {1600, 840, 1920, 1080}},
        {{-50, 2000}, 640, 480, {0, 600, 640, 1080}},
        {{700, 300}, 1, 1, {700, 300, 701, 301}},   // below 2: the point is the corner
        {{700, 300}, 3, 5, {699, 298, 702, 303}},
    };
    for (const auto& c : cases) {
        const RECT area = FixedAreaAt(c.point, c.width, c.height, 1920, 1080);
        EXPECT_TRUE(::EqualRect(&area, &c.area)) << c.point.x << "," << c.point.y << " -> " << Text(area);
    }
}

// Which window of the list holds the point.
TEST(AreaPicker, FindPickerWindowHonoursFlagsZAndChains)
{
    auto entry = [](int id, RECT r, DWORD flags, int z, std::vector<RECT> chain = {}) {
        PickerWindow w;
        w.window = (HWND)(UINT_PTR)id;
        w.rect = r;
        w.flags = flags;
        w.z = z;
        w.chain = chain;
        return w;
    };
    const RECT big = {0, 0, 1000, 1000};
    const RECT mid = {100, 100, 500, 500};
    const RECT small = {200, 200, 300, 300};
    const struct {
        const char* name;
        std::vector<PickerWindow> list;
        POINT point;
        int expected;
    } cases[] = {
        {"empty list", {}, {10, 10}, -1},
        {"outside every window", {entry(1, mid, 0, 0)}, {10, 10}, -1},
        {"the top-most holding the point wins", {entry(1, big, 0, 0), entry(2, mid, 0, 1), entry(3, small, 0, 2)},
         {250, 250}, 2},
        {"a window not holding the point is passed", {entry(1, big, 0, 0), entry(2, mid, 0, 1), entry(3, small, 0, 2)},
         {150, 150}, 1},
        {"never-taken is skipped", {entry(1, big, 0, 0), entry(2, mid, PickerWindow::kNeverTaken, 1)}, {150, 150}, 0},
        {"taken-first wins over a higher window",
         {entry(1, big, PickerWindow::kTakenFirst, 0), entry(2, mid, 0, 1)}, {150, 150}, 0},
        {"the last taken-first entry wins",
         {entry(1, big, PickerWindow::kTakenFirst, 0), entry(2, mid, PickerWindow::kTakenFirst, 1), entry(3, small, 0, 2)},
         {250, 250}, 1},
        {"the scan stops at a z value not above the candidate's",
         {entry(1, big, 0, 5), entry(2, mid, 0, 5), entry(3, small, 0, 9)}, {250, 250}, 0},
        {"a chain the point stays inside counts", {entry(1, big, 0, 0), entry(2, mid, 0, 1, {small})}, {250, 250}, 1},
        {"a chain the point leaves does not", {entry(1, big, 0, 0), entry(2, mid, 0, 1, {small})}, {150, 150}, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, FindPickerWindow(c.list, c.point)) << c.name;
}

TEST(AreaPicker, ADragPicksTheBandAndTellsTheWindow)
{
    Listener listener;
    Prefs prefs;
    HWND overlay = Open(new CRegionPickerWnd(&prefs.record, listener.Hwnd()));
    ASSERT_TRUE(overlay != NULL);
    MouseTo(100, 100);
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    MouseTo(70, 90);
    MouseTo(50, 80);
    MouseButton(MOUSEEVENTF_LEFTUP);
    ASSERT_TRUE(PumpUntil([&] { return IsWindowGone(overlay); }, 5000)) << "the picker is gone";
    Pump(50);
    ASSERT_EQ(std::vector<UINT>{WM_AREA_PICKED}, listener.messages);
    const RECT expected = {50, 80, 101, 101};
    EXPECT_TRUE(::EqualRect(&prefs.record.m_pickedArea, &expected)) << Text(prefs.record.m_pickedArea);
    EXPECT_EQ(100, prefs.record.m_pickedStartPoint.x);
    EXPECT_EQ(100, prefs.record.m_pickedStartPoint.y);
    EXPECT_EQ(NULL, prefs.record.m_pickedWindow);
    EXPECT_EQ(NULL, ::GetCapture());
}

// While dragging, the cursor shows the band's width and height in digits.
TEST(AreaPicker, TheDragCursorShowsTheBandsSize)
{
    Listener listener;
    Prefs prefs;
    HWND overlay = Open(new CRegionPickerWnd(&prefs.record, listener.Hwnd()));
    ASSERT_TRUE(overlay != NULL);
    const struct {
        int x, y;
        int width, height;
    } moves[] = {{300, 250}, {1299, 100}, {101, 101}};
    MouseTo(200, 100);
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    const int expected[][2] = {{101, 151}, {1100, 1}, {100, 2}};
    for (size_t i = 0; i < sizeof(moves) / sizeof(moves[0]); ++i) {
        MouseTo(moves[i].x, moves[i].y);
        int width = -2, height = -2;
        ASSERT_TRUE(PumpUntil(
            [&] { return ReadSizeCursor(::GetCursor(), &width, &height) && width == expected[i][0]; }, 3000))
            << "move " << i << ": width " << width;
        EXPECT_EQ(expected[i][1], height) << "move " << i;
    }
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(PumpUntil([&] { return IsWindowGone(overlay); }, 5000));
    int width = 0, height = 0;
    EXPECT_FALSE(ReadSizeCursor(::GetCursor(), &width, &height) && width == 100) << "the digits cursor is gone";
    MouseButton(MOUSEEVENTF_LEFTUP);
}

// A press and release without a move is no region: the picker stays open
// until the user drags or cancels.
TEST(AreaPicker, AClickWithoutADragPicksNothing)
{
    Listener listener;
    Prefs prefs;
    HWND overlay = Open(new CRegionPickerWnd(&prefs.record, listener.Hwnd()));
    ASSERT_TRUE(overlay != NULL);
    ClickAt(400, 400);
    Pump(300);
    EXPECT_TRUE(::IsWindow(overlay)) << "still open";
    EXPECT_TRUE(listener.messages.empty());
    EXPECT_TRUE(::IsRectEmpty(&prefs.record.m_pickedArea));
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(PumpUntil([&] { return IsWindowGone(overlay); }, 5000));
    Pump(50);
    EXPECT_EQ(std::vector<UINT>{WM_AREA_PICK_CANCELLED}, listener.messages);
}

// Escape, a right click or closing cancels every picker: the cancel
// message, nothing chosen, the overlay gone and the mouse free.
TEST(AreaPicker, EscapeRightClickOrCloseCancelsEveryPicker)
{
    TestWindow target("VexcapPickerTarget", WS_OVERLAPPEDWINDOW, 600, 300, 400, 300);
    const std::vector<RECT> monitors = {{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)}};
    const std::vector<PickerWindow> windows = {target.Entry(0)};
    // The area left in the preferences: none, or the fixed size the picker
    // was given, untouched.
    const struct {
        const char* name;
        std::function<CScreenOverlayWnd*(CRecorderPrefs*, HWND)> make;
        RECT area;
    } pickers[] = {
        {"region", [](CRecorderPrefs* p, HWND n) { return new CRegionPickerWnd(p, n); }, {0, 0, 0, 0}},
        {"monitor", [&](CRecorderPrefs* p, HWND n) { return new CMonitorPickerWnd(p, n, NULL, monitors); },
         {0, 0, 0, 0}},
        {"window", [&](CRecorderPrefs* p, HWND n) { return new CWindowPickerWnd(p, n, NULL, windows, FALSE); },
         {0, 0, 0, 0}},
        {"fixed",
         [&](CRecorderPrefs* p, HWND n) {
             ::SetRect(&p->m_pickedArea, 0, 0, 320, 240);
             return new CWindowPickerWnd(p, n, NULL, windows, TRUE);
         },
         {0, 0, 320, 240}},
    };
    for (const auto& picker : pickers) {
        for (int way = 0; way < 3; ++way) {
            Listener listener;
            Prefs prefs;
            HWND overlay = Open(picker.make(&prefs.record, listener.Hwnd()));
            ASSERT_TRUE(overlay != NULL) << picker.name;
            MouseTo(700, 400);
            if (way == 0) {
                PressKey(VK_ESCAPE);
            } else if (way == 1) {
                MouseButton(MOUSEEVENTF_RIGHTDOWN);
                MouseButton(MOUSEEVENTF_RIGHTUP);
            } else {
                ::PostMessageA(overlay, WM_CLOSE, 0, 0);
            }
            ASSERT_TRUE(PumpUntil([&] { return IsWindowGone(overlay); }, 5000)) << picker.name << " way " << way;
            Pump(50);
            EXPECT_EQ(std::vector<UINT>{WM_AREA_PICK_CANCELLED}, listener.messages) << picker.name << " way " << way;
            EXPECT_EQ(NULL, prefs.record.m_pickedWindow) << picker.name << " way " << way;
            EXPECT_TRUE(::EqualRect(&picker.area, &prefs.record.m_pickedArea)) << picker.name << " way " << way;
            EXPECT_EQ(NULL, ::GetCapture()) << picker.name << " way " << way;
        }
    }
}

// The monitor under the click is chosen; an empty monitor rectangle never is,
// and a click outside every monitor picks nothing.
TEST(AreaPicker, MonitorPickerChoosesTheMonitorUnderTheClick)
{
    const int w = ::GetSystemMetrics(SM_CXSCREEN);
    const int h = ::GetSystemMetrics(SM_CYSCREEN);
    const std::vector<RECT> monitors = {{0, 0, 0, 0}, {0, 0, w / 2, h}, {w / 2, 0, w - 100, h}};
    const struct {
        POINT click;
        RECT expected;   // empty: nothing picked
    } cases[] = {
        {{10, 10}, {0, 0, w / 2, h}},
        {{w / 2 + 10, h - 10}, {w / 2, 0, w - 100, h}},
        {{w - 50, 10}, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        Listener listener;
        Prefs prefs;
        HWND overlay = Open(new CMonitorPickerWnd(&prefs.record, listener.Hwnd(), NULL, monitors));
        ASSERT_TRUE(overlay != NULL);
        ClickAt(c.click.x, c.click.y);
        if (::IsRectEmpty(&c.expected)) {
            Pump(300);
            EXPECT_TRUE(::IsWindow(overlay)) << "a click on no monitor picks nothing";
            EXPECT_TRUE(listener.messages.empty());
            PressKey(VK_ESCAPE);
            ASSERT_TRUE(PumpUntil([&] { return IsWindowGone(overlay); }, 5000));
            continue;
        }
        ASSERT_TRUE(PumpUntil([&] { return IsWindowGone(overlay); }, 5000)) << c.click.x;
        Pump(50);
        EXPECT_EQ(std::vector<UINT>{WM_AREA_PICKED}, listener.messages);
        EXPECT_TRUE(::EqualRect(&c.expected, &prefs.record.m_pickedArea)) << Text(prefs.record.m_pickedArea);
    }
}

// Mouse moves in the first moments are ignored; afterwards the monitor under
// the resting mouse becomes the candidate without any further move.
TEST(AreaPicker, PointPickersIgnoreMovesAtFirst)
{
    const int w = ::GetSystemMetrics(SM_CXSCREEN);
    const int h = ::GetSystemMetrics(SM_CYSCREEN);
    const std::vector<RECT> monitors = {{0, 0, w / 2, h}, {w / 2, 0, w, h}};
    Listener listener;
    Prefs prefs;
    MouseTo(w - 10, 10);
    CMonitorPickerWnd* picker = new CMonitorPickerWnd(&prefs.record, listener.Hwnd(), NULL, monitors);
    ASSERT_TRUE(picker->CreateOverlay());
    HWND overlay = picker->m_hWnd;
    // A move that arrives at once, before any timer could run, is ignored.
    ::SendMessageA(overlay, WM_MOUSEMOVE, 0, MAKELPARAM(w - 20, 20));
    EXPECT_TRUE(::IsRectEmpty(&picker->GetCandidate())) << "a move at once is ignored";
    ASSERT_TRUE(PumpUntil([&] { return !::IsRectEmpty(&picker->GetCandidate()); }, 3000));
    const RECT right = {w / 2, 0, w, h};
    EXPECT_TRUE(::EqualRect(&right, &picker->GetCandidate())) << Text(picker->GetCandidate());
    MouseTo(10, 10);
    const RECT left = {0, 0, w / 2, h};
    EXPECT_TRUE(PumpUntil([&] { return ::EqualRect(&left, &picker->GetCandidate()) != FALSE; }, 3000));
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(PumpUntil([&] { return IsWindowGone(overlay); }, 5000));
}

// The window under the click: its client area when the click is in it, the
// whole window on its frame or for the "ttyGrab" class, clipped to the
// screen; the chosen window travels with the area.
TEST(AreaPicker, WindowPickerChoosesTheWindowUnderTheClick)
{
    const int w = ::GetSystemMetrics(SM_CXSCREEN);
    const int h = ::GetSystemMetrics(SM_CYSCREEN);
    TestWindow framed("VexcapPickerFramed", WS_OVERLAPPEDWINDOW, 200, 150, 400, 300);
    TestWindow tty("ttyGrab", WS_OVERLAPPEDWINDOW, 700, 150, 300, 200);
    TestWindow offscreen("VexcapPickerEdge", WS_POPUP, w - 100, h - 80, 300, 200);
    const std::vector<PickerWindow> windows = {framed.Entry(0), tty.Entry(1), offscreen.Entry(2)};
    RECT framedWindow;
    ::GetWindowRect(framed.Hwnd(), &framedWindow);
    const RECT framedClient = framed.ClientOnScreen();
    ASSERT_GT(framedClient.top, framedWindow.top) << "the test window has a caption";
    RECT ttyWindow;
    ::GetWindowRect(tty.Hwnd(), &ttyWindow);
    const RECT screen = {0, 0, w, h};
    RECT edge;
    ::IntersectRect(&edge, &windows[2].rect, &screen);
    ASSERT_LT(edge.right - edge.left, windows[2].rect.right - windows[2].rect.left) << "partly off the screen";
    const struct {
        const char* name;
        POINT click;
        HWND window;
        RECT area;
    } cases[] = {
        {"client area", {framedClient.left + 50, framedClient.top + 50}, framed.Hwnd(), framedClient},
        {"caption", {framedClient.left + 50, framedWindow.top + 3}, framed.Hwnd(), framedWindow},
        {"ttyGrab is taken whole", {(ttyWindow.left + ttyWindow.right) / 2, (ttyWindow.top + ttyWindow.bottom) / 2},
         tty.Hwnd(), ttyWindow},
        {"clipped to the screen", {edge.left + 20, edge.top + 20}, offscreen.Hwnd(), edge},
    };
    for (const auto& c : cases) {
        Listener listener;
        Prefs prefs;
        HWND overlay = Open(new CWindowPickerWnd(&prefs.record, listener.Hwnd(), NULL, windows, FALSE));
        ASSERT_TRUE(overlay != NULL);
        ClickAt(c.click.x, c.click.y);
        ASSERT_TRUE(PumpUntil([&] { return IsWindowGone(overlay); }, 5000)) << c.name;
        Pump(50);
        EXPECT_EQ(std::vector<UINT>{WM_AREA_PICKED}, listener.messages) << c.name;
        EXPECT_EQ(c.window, prefs.record.m_pickedWindow) << c.name;
        EXPECT_TRUE(::EqualRect(&c.area, &prefs.record.m_pickedArea))
            << c.name << ": " << Text(prefs.record.m_pickedArea) << " expected " << Text(c.area);
    }
}

// A window of the list that has gone by the time of the click is never
// taken: the click takes the window below it, or, with none, nothing.
TEST(AreaPicker, WindowPickerPassesOverAWindowThatHasGone)
{
    TestWindow below("VexcapPickerBelow", WS_POPUP, 300, 300, 500, 400);
    TestWindow gone("VexcapPickerGone", WS_POPUP, 400, 400, 200, 150);
    TestWindow alone("VexcapPickerAlone", WS_POPUP, 1200, 300, 200, 150);
    const std::vector<PickerWindow> windows = {below.Entry(0), gone.Entry(1), alone.Entry(2)};
    gone.Destroy();
    alone.Destroy();
    {
        Listener listener;
        Prefs prefs;
        HWND overlay = Open(new CWindowPickerWnd(&prefs.record, listener.Hwnd(), NULL, windows, FALSE));
        ASSERT_TRUE(overlay != NULL);
        ClickAt(450, 450);
        ASSERT_TRUE(PumpUntil([&] { return IsWindowGone(overlay); }, 5000));
        EXPECT_EQ(below.Hwnd(), prefs.record.m_pickedWindow);
        const RECT expected = {300, 300, 800, 700};
        EXPECT_TRUE(::EqualRect(&expected, &prefs.record.m_pickedArea)) << Text(prefs.record.m_pickedArea);
    }
    {
        Listener listener;
        Prefs prefs;
        HWND overlay = Open(new CWindowPickerWnd(&prefs.record, listener.Hwnd(), NULL, windows, FALSE));
        ASSERT_TRUE(overlay != NULL);
        ClickAt(1300, 350);
        Pump(300);
        EXPECT_TRUE(::IsWindow(overlay)) << "nothing to take: the picker stays";
        EXPECT_TRUE(listener.messages.empty());
        PressKey(VK_ESCAPE);
        ASSERT_TRUE(PumpUntil([&] { return IsWindowGone(overlay); }, 5000));
    }
}

// The fixed-size picker takes its size from the picked area's right and
// bottom and centres it on the click, inside the screen; no window is chosen.
TEST(AreaPicker, FixedRegionPickerCentresTheSizeOnTheClick)
{
    const int w = ::GetSystemMetrics(SM_CXSCREEN);
    const int h = ::GetSystemMetrics(SM_CYSCREEN);
    TestWindow target("VexcapPickerUnder", WS_POPUP, 100, 100, 600, 500);
    const std::vector<PickerWindow> windows = {target.Entry(0)};
    const struct {
        POINT click;
        RECT area;
    } cases[] = {
        {{10, 10}, {0, 0, 320, 240}},
        {{400, 300}, {240, 180, 560, 420}},
        {{w - 5, h - 5}, {w - 320, h - 240, w, h}},
    };
    for (const auto& c : cases) {
        Listener listener;
        Prefs prefs;
        ::SetRect(&prefs.record.m_pickedArea, 0, 0, 320, 240);
        HWND overlay = Open(new CWindowPickerWnd(&prefs.record, listener.Hwnd(), NULL, windows, TRUE));
        ASSERT_TRUE(overlay != NULL);
        ClickAt(c.click.x, c.click.y);
        ASSERT_TRUE(PumpUntil([&] { return IsWindowGone(overlay); }, 5000));
        Pump(50);
        EXPECT_EQ(std::vector<UINT>{WM_AREA_PICKED}, listener.messages);
        EXPECT_TRUE(::EqualRect(&c.area, &prefs.record.m_pickedArea)) << Text(prefs.record.m_pickedArea);
        EXPECT_EQ(NULL, prefs.record.m_pickedWindow);
    }
}

// For the record wizard's page (hand-back flag 0) the point pickers hand the
// choice to the page and the picker back to the host; with hand-back -1 the
// page is not told. A cancel shows the page's controls again.
TEST(AreaPicker, PointPickersHandTheChoiceToTheOwnerPage)
{
    const int w = ::GetSystemMetrics(SM_CXSCREEN);
    const int h = ::GetSystemMetrics(SM_CYSCREEN);
    const std::vector<RECT> monitors = {{0, 0, w, h}};
    const struct {
        int handBack;
        bool cancel;
        std::vector<std::string> calls;
        std::vector<UINT> messages;
    } cases[] = {
        {0, false, {"SetPickedRect", "ReleaseChild"}, {WM_AREA_PICKED}},
        {-1, false, {"ReleaseChild"}, {WM_AREA_PICKED}},
        {0, true, {"ShowPickerControls(1)"}, {WM_AREA_PICK_CANCELLED}},
        {-1, true, {}, {WM_AREA_PICK_CANCELLED}},
    };
    for (const auto& c : cases) {
        Listener listener;
        Prefs prefs;
        FakeOwner owner;
        HWND overlay =
            Open(new CMonitorPickerWnd(&prefs.record, listener.Hwnd(), &owner, monitors, &owner, c.handBack));
        ASSERT_TRUE(overlay != NULL);
        if (c.cancel)
            PressKey(VK_ESCAPE);
        else
            ClickAt(100, 100);
        ASSERT_TRUE(PumpUntil([&] { return IsWindowGone(overlay); }, 5000));
        Pump(50);
        EXPECT_EQ(c.calls, owner.calls) << "hand-back " << c.handBack << (c.cancel ? " cancel" : " pick");
        EXPECT_EQ(c.messages, listener.messages) << "hand-back " << c.handBack;
        if (!c.cancel && c.handBack == 0) {
            EXPECT_TRUE(::EqualRect(&monitors[0], &owner.rect)) << Text(owner.rect);
        }
    }
}

// The dialog-region picker stores the band as the fixed rectangle (x, y,
// width, height), gives it to its owner and hands itself back; a cancel
// shows the owner again. It posts nothing.
TEST(AreaPicker, DialogRegionPickerAnswersItsOwner)
{
    const struct {
        int kind;
        bool cancel;
        std::vector<std::string> calls;
    } cases[] = {
        {0, false, {"ShowRect", "ReleaseChild"}},
        {1, false, {"SetPickedRect", "ReleaseChild"}},
        {0, true, {"ShowWindowWithMain(1)", "ReleaseChild"}},
        {1, true, {"ShowPickerControls(1)", "ReleaseChild"}},
    };
    for (const auto& c : cases) {
        Listener listener;
        Prefs prefs;
        FakeOwner owner;
        CWnd* main = AfxGetApp()->m_pMainWnd;
        CWnd listenerWnd;
        listenerWnd.Attach(listener.Hwnd());
        AfxGetApp()->m_pMainWnd = &listenerWnd;   // where a post would go
        CDialogRegionPickerWnd* picker =
            c.kind == 0 ? new CDialogRegionPickerWnd(&prefs.record, &owner, static_cast<IFixedRegionOwner*>(&owner))
                        : new CDialogRegionPickerWnd(&prefs.record, &owner, static_cast<IRegionPageOwner*>(&owner));
        EXPECT_EQ(c.kind, picker->GetOwnerKind());
        HWND overlay = Open(picker);
        ASSERT_TRUE(overlay != NULL);
        if (c.cancel) {
            PressKey(VK_ESCAPE);
        } else {
            MouseTo(300, 200);
            MouseButton(MOUSEEVENTF_LEFTDOWN);
            MouseTo(450, 300);
            MouseTo(619, 439);
            MouseButton(MOUSEEVENTF_LEFTUP);
        }
        ASSERT_TRUE(PumpUntil([&] { return IsWindowGone(overlay); }, 5000));
        Pump(100);
        AfxGetApp()->m_pMainWnd = main;
        listenerWnd.Detach();
        EXPECT_EQ(c.calls, owner.calls) << "kind " << c.kind << (c.cancel ? " cancel" : " pick");
        EXPECT_TRUE(listener.messages.empty()) << "kind " << c.kind;
        if (c.cancel) {
            const RECT unchanged = {0, 0, 640, 480};
            EXPECT_TRUE(::EqualRect(&unchanged, &prefs.record.m_fixedRect)) << Text(prefs.record.m_fixedRect);
        } else {
            const RECT band = {300, 200, 620, 440};
            EXPECT_TRUE(::EqualRect(&band, &owner.rect)) << Text(owner.rect);
            const RECT fixed = {300, 200, 320, 240};
            EXPECT_TRUE(::EqualRect(&fixed, &prefs.record.m_fixedRect)) << Text(prefs.record.m_fixedRect);
        }
    }
}

namespace {

// Answers the large-area question from inside its modal loop: sets the
// show-again box, then presses Yes or No.
struct QuestionAnswer {
    int button = IDYES;
    bool showAgain = true;
    int asked = 0;
    std::string caption;
};
QuestionAnswer* g_answer = NULL;

void CALLBACK AnswerQuestion(HWND, UINT, UINT_PTR timer, DWORD)
{
    CString caption;
    caption.LoadString(IDS_PICKER_TIP_CAPTION);
    HWND dialog = ::FindWindowA("#32770", caption);
    if (!dialog || !g_answer)
        return;
    ::KillTimer(NULL, timer);
    ++g_answer->asked;
    char text[128] = "";
    ::GetWindowTextA(dialog, text, sizeof(text));
    g_answer->caption = text;
    ::SendDlgItemMessageA(dialog, IDC_TIP_SHOW_AGAIN, BM_SETCHECK, g_answer->showAgain ? BST_CHECKED : BST_UNCHECKED,
                          0);
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(g_answer->button, BN_CLICKED), 0);
}

}  // namespace

// Areas up to 1024 x 768, or any area once the user said not to ask again,
// are agreed at once; a larger one is asked about, Yes agrees, and the
// don't-ask-again choice lands in the flag word.
TEST(AreaPicker, LargeAreasAreConfirmed)
{
    const DWORD kNoAsk = 0x4000000;
    const struct {
        const char* name;
        RECT area;
        DWORD flags;
        int button;
        bool showAgain;
        bool asked;
        BOOL result;
        DWORD flagsAfter;
    } cases[] = {
        {"1024 x 768", {0, 0, 1024, 768}, 0, IDYES, true, false, TRUE, 0},
        {"1025 x 768, yes", {0, 0, 1025, 768}, 0, IDYES, true, true, TRUE, 0},
        {"1024 x 769, no", {10, 10, 1034, 779}, 0, IDNO, true, true, FALSE, 0},
        {"yes, do not ask again", {0, 0, 1920, 1080}, 0, IDYES, false, true, TRUE, kNoAsk},
        {"not asked again", {0, 0, 1920, 1080}, kNoAsk, IDNO, true, false, TRUE, kNoAsk},
    };
    CString expectedCaption;
    expectedCaption.LoadString(IDS_PICKER_TIP_CAPTION);
    for (const auto& c : cases) {
        Prefs prefs;
        prefs.record.m_flags = c.flags;
        QuestionAnswer answer;
        answer.button = c.button;
        answer.showAgain = c.showAgain;
        g_answer = &answer;
        const UINT_PTR timer = ::SetTimer(NULL, 0, 50, AnswerQuestion);
        const BOOL result =
            ConfirmLargeCaptureArea(c.area.left, c.area.top, c.area.right, c.area.bottom, &prefs.record, NULL);
        ::KillTimer(NULL, timer);
        g_answer = NULL;
        EXPECT_EQ(c.result, result) << c.name;
        EXPECT_EQ(c.asked ? 1 : 0, answer.asked) << c.name;
        if (c.asked) {
            EXPECT_EQ(std::string(expectedCaption), answer.caption) << c.name;
        }
        EXPECT_EQ(c.flagsAfter, prefs.record.m_flags & kNoAsk) << c.name;
    }
}
