// The screen-drawing window on the real Xvfb screen, driven by SendInput:
// each tool drawn where the drag puts it (pixel checks over a white and a
// blue window), the 2-pixel start, the Shift square, undo, the tool, width,
// colour and translucent commands and their menu states, the tool cursors,
// the context menu whose commands come back through the owner, the ways
// drawing ends, the foreground taken from another thread, and the
// notification area.
#include "capture/ScreenDrawWnd.h"

#include "capture/DrawShape.h"
#include "framework/Module.h"
#include "resources/ids_screendraw.h"
#include "settings/RecorderPrefs.h"
#include "CaptureTestSupport.h"
#include "ScreenDrawTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace capturetest;
using namespace drawtest;

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kYellow = RGB(255, 255, 0);
const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kGreen = RGB(0, 255, 0);

std::string Hex(COLORREF c)
{
    char text[16];
    snprintf(text, sizeof(text), "%06lX", (unsigned long)c);
    return text;
}

// The window that opened the drawing window, as the recorder window does:
// it records the commands it gets, ends drawing on ID_DRAW_STOP and passes
// every other command back.
class Host {
public:
    Host()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleA(NULL);
        wc.lpszClassName = "VexcapDrawTestHost";
        ::RegisterClassA(&wc);
        m_hwnd = ::CreateWindowA(wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, NULL, NULL, wc.hInstance, NULL);
        ::SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, (LONG_PTR)this);
    }
    ~Host() { ::DestroyWindow(m_hwnd); }
    HWND Hwnd() const { return m_hwnd; }
    HWND draw = NULL;
    std::vector<UINT> commands;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        Host* self = (Host*)::GetWindowLongPtrA(hwnd, GWLP_USERDATA);
        if (self && msg == WM_COMMAND) {
            const UINT id = LOWORD(wParam);
            self->commands.push_back(id);
            if (id == ID_DRAW_STOP) {
                if (::IsWindow(self->draw))
                    ::DestroyWindow(self->draw);
            } else if (CWnd* wnd = CWnd::FromHandlePermanent(self->draw)) {
                static_cast<CScreenDrawWnd*>(wnd)->OnDrawCommand(id);
            }
            return 0;
        }
        return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    HWND m_hwnd;
};

// Waits for a popup menu, then types the arrow's mnemonic into it (or
// Escape when none shows).
struct Typist {
    bool sawMenu = false;
};

DWORD WINAPI TypeIntoMenu(LPVOID arg)
{
    Typist* t = (Typist*)arg;
    for (int i = 0; i < 300 && !t->sawMenu; i++) {
        HWND menu = ::FindWindowA("#32768", NULL);
        t->sawMenu = menu != NULL && ::IsWindowVisible(menu);
        ::Sleep(10);
    }
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = t->sawMenu ? 'A' : VK_ESCAPE;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, in, sizeof(INPUT));
    return 0;
}

// Another thread with a foreground window of its own until quit is set.
struct OtherThread {
    HANDLE ready = ::CreateEventA(NULL, TRUE, FALSE, NULL);
    HANDLE quit = ::CreateEventA(NULL, TRUE, FALSE, NULL);
    HWND hwnd = NULL;
};

DWORD WINAPI RunOtherThread(LPVOID arg)
{
    OtherThread* o = (OtherThread*)arg;
    o->hwnd = ::CreateWindowExA(WS_EX_TOPMOST, "STATIC", "other", WS_POPUP | WS_VISIBLE, 950, 500, 100, 100, NULL,
                                NULL, NULL, NULL);
    ::SetForegroundWindow(o->hwnd);
    ::SetEvent(o->ready);
    while (::MsgWaitForMultipleObjects(1, &o->quit, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG msg;
        while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&msg);
    }
    ::DestroyWindow(o->hwnd);
    return 0;
}

class ScreenDrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_prefs.reset(new CRecorderPrefs(&App()));
        m_white.reset(new ColourWindow({100, 100, 500, 400}, kWhite));
        m_blue.reset(new ColourWindow({500, 100, 900, 400}, kBlue));
        PumpInput(150);
        m_snapshot = TakeScreenSnapshot(&m_palette);
        ASSERT_TRUE(m_snapshot != NULL);
    }

    void TearDown() override
    {
        MouseButton(MOUSEEVENTF_LEFTUP);
        if (m_hwnd && ::IsWindow(m_hwnd))
            ::DestroyWindow(m_hwnd);
        PumpInput(50);
        ::DeleteObject(m_snapshot);
        if (m_palette)
            ::DeleteObject(m_palette);
    }

    // Opens the drawing window; notify NULL: the test host.
    void Open(HWND notify = NULL)
    {
        m_wnd = new CScreenDrawWnd(m_prefs.get(), m_snapshot, m_palette, notify ? notify : m_host.Hwnd());
        ASSERT_TRUE(m_wnd->CreateDrawWindow());
        m_hwnd = m_wnd->m_hWnd;
        m_host.draw = m_hwnd;
        PumpInput(100);
    }

    void Close()
    {
        if (::IsWindow(m_hwnd))
            ::DestroyWindow(m_hwnd);
        m_hwnd = NULL;
        m_wnd = NULL;
        PumpInput(100);
    }

    void SetTool(int tool, int width, COLORREF colour, BOOL translucent)
    {
        CRecorderPrefs* p = m_prefs.get();
        p->m_drawTool = tool;
        int* widths[6] = { &p->m_drawFrameWidth, &p->m_drawHighlightWidth, &p->m_drawEllipseWidth,
                           &p->m_drawPenWidth, &p->m_drawLineWidth, &p->m_drawArrowWidth };
        COLORREF* colours[6] = { &p->m_drawFrameColor, &p->m_drawHighlightColor, &p->m_drawEllipseColor,
                                 &p->m_drawPenColor, &p->m_drawLineColor, &p->m_drawArrowColor };
        BOOL* flags[6] = { &p->m_drawFrameTranslucent, &p->m_drawHighlightTranslucent,
                           &p->m_drawEllipseTranslucent, &p->m_drawPenTranslucent, &p->m_drawLineTranslucent,
                           &p->m_drawArrowTranslucent };
        *widths[tool] = width;
        *colours[tool] = colour;
        *flags[tool] = translucent;
    }

    BOOL Enabled(UINT id)
    {
        BOOL enabled, checked;
        m_wnd->GetCommandState(id, &enabled, &checked);
        return enabled;
    }

    BOOL Checked(UINT id)
    {
        BOOL enabled, checked;
        m_wnd->GetCommandState(id, &enabled, &checked);
        return checked;
    }

    std::unique_ptr<CRecorderPrefs> m_prefs;
    std::unique_ptr<ColourWindow> m_white;
    std::unique_ptr<ColourWindow> m_blue;
    HBITMAP m_snapshot = NULL;
    HPALETTE m_palette = NULL;
    Host m_host;
    CScreenDrawWnd* m_wnd = NULL;   // deletes itself with its window
    HWND m_hwnd = NULL;
};

struct PixelCheck {
    int x, y;
    COLORREF colour;
};

// White covers x 100-499, blue x 500-899, both y 100-399.
TEST_F(ScreenDrawTest, EachToolDrawsWhereTheDragPutsIt)
{
    const struct {
        const char* name;
        int tool, width;
        COLORREF colour;
        BOOL translucent;
        POINT from, to;
        std::vector<PixelCheck> checks;
    } cases[] = {
        { "width-8 red frame: band red, inside unchanged", 0, 8, 0x0000FF, FALSE, {150, 150}, {300, 300},
          { {153, 220, kRed}, {220, 153, kRed}, {297, 220, kRed}, {220, 297, kRed}, {220, 220, kWhite},
            {290, 220, kWhite}, {140, 220, kWhite} } },
        { "frame narrower than twice its width is filled", 0, 8, 0x0000FF, FALSE, {150, 150}, {160, 300},
          { {155, 220, kRed}, {165, 220, kWhite} } },
        { "translucent yellow highlight: yellow over white, black over blue", 1, 1, 0x00FFFF, TRUE, {400, 150},
          {600, 250}, { {450, 200, kYellow}, {550, 200, kBlack}, {450, 260, kWhite}, {550, 260, kBlue} } },
        { "translucent white is drawn opaque", 0, 8, 0xFFFFFF, TRUE, {550, 150}, {750, 350},
          { {553, 250, kWhite}, {650, 250, kBlue} } },
        { "translucent red frame masks white to red", 0, 8, 0x0000FF, TRUE, {150, 150}, {300, 300},
          { {153, 220, kRed}, {220, 220, kWhite} } },
        { "width-8 arrow: head 36 long, 2 x 13 wide", 5, 8, 0x000000, FALSE, {150, 300}, {400, 300},
          { {200, 300, kBlack}, {200, 306, kWhite}, {395, 300, kBlack}, {366, 310, kBlack}, {366, 290, kBlack},
            {362, 310, kWhite}, {366, 315, kWhite}, {405, 300, kWhite} } },
        { "ellipse ring", 2, 4, 0xFF0000, FALSE, {150, 150}, {350, 300},
          { {152, 225, kBlue}, {250, 152, kBlue}, {250, 225, kWhite} } },
        { "line of width 6 with flat ends", 4, 6, 0x0000FF, FALSE, {150, 200}, {350, 200},
          { {250, 200, kRed}, {250, 207, kWhite}, {355, 200, kWhite} } },
        { "pen stroke", 3, 4, 0x00FF00, FALSE, {150, 150}, {350, 350},
          { {250, 250, kGreen}, {300, 300, kGreen}, {250, 300, kWhite} } },
    };
    for (const auto& c : cases) {
        SetTool(c.tool, c.width, c.colour, c.translucent);
        Open();
        Drag(c.from, c.to, 4);
        EXPECT_TRUE(PumpInputUntil([&] { return ::GetCapture() != m_hwnd; }, 3000)) << c.name;
        PumpInput(100);
        EXPECT_EQ(1u, m_wnd->ShapeCount()) << c.name;
        for (const PixelCheck& check : c.checks) {
            EXPECT_EQ(Hex(check.colour), Hex(ScreenPixel(check.x, check.y)))
                << c.name << " at " << check.x << "," << check.y;
        }
        Close();
    }
}

// Shift turns the drag rectangle into a square of its larger side, grown away
// from the start point and kept on the screen. (Wine under Xvfb drops a
// SendInput Shift at the next pointer event, so the mouse messages carry it
// here.)
TEST_F(ScreenDrawTest, ShiftMakesASquareGrownFromTheStart)
{
    const int right = ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const struct {
        const char* name;
        POINT from, to;
        UINT shift;
        RECT box;
    } cases[] = {
        { "down and right", {150, 150}, {250, 200}, MK_SHIFT, {150, 150, 251, 251} },
        { "up and left", {300, 300}, {250, 280}, MK_SHIFT, {250, 250, 301, 301} },
        { "kept on the screen", {right - 20, 150}, {right - 5, 250}, MK_SHIFT, {right - 20, 150, right, 251} },
        { "without Shift", {150, 150}, {250, 200}, 0, {150, 150, 251, 201} },
    };
    for (const auto& c : cases) {
        SetTool(0, 4, 0x0000FF, FALSE);
        Open();
        const POINT mid = { (c.from.x + c.to.x) / 2, (c.from.y + c.to.y) / 2 };
        ::SendMessageA(m_hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.from.x, c.from.y));
        ::SendMessageA(m_hwnd, WM_MOUSEMOVE, MK_LBUTTON | c.shift, MAKELPARAM(mid.x, mid.y));
        ::SendMessageA(m_hwnd, WM_MOUSEMOVE, MK_LBUTTON | c.shift, MAKELPARAM(c.to.x, c.to.y));
        ::SendMessageA(m_hwnd, WM_LBUTTONUP, c.shift, MAKELPARAM(c.to.x, c.to.y));
        PumpInput(50);
        ASSERT_EQ(1u, m_wnd->ShapeCount()) << c.name;
        RECT box;
        ::GetRgnBox(m_wnd->Shape(0)->Region(), &box);
        EXPECT_TRUE(::EqualRect(&box, &c.box)) << c.name << ": " << box.left << "," << box.top << ","
                                               << box.right << "," << box.bottom;
        if (c.box.left == 150) {
            EXPECT_EQ(Hex(c.shift ? kRed : kWhite), Hex(ScreenPixel(152, 240))) << c.name;
        }
        Close();
    }
}

// Drawing starts 2 pixels from the start point in x or y, no sooner.
TEST_F(ScreenDrawTest, ClickWithoutATwoPixelMoveDrawsNothing)
{
    SetTool(0, 8, 0x0000FF, FALSE);
    const struct {
        POINT to;
        size_t shapes;
    } cases[] = { { {200, 200}, 0 }, { {201, 201}, 0 }, { {202, 200}, 1 }, { {200, 198}, 1 } };
    for (const auto& c : cases) {
        Open();
        Drag({200, 200}, c.to, 1);
        PumpInput(50);
        EXPECT_EQ(c.shapes, m_wnd->ShapeCount()) << "to " << c.to.x << "," << c.to.y;
        EXPECT_EQ(Hex(c.shapes ? kRed : kWhite), Hex(ScreenPixel(200, 200))) << "to " << c.to.x << "," << c.to.y;
        Close();
    }
}

// U takes back the last shape and shows the screen below it again; with no
// shape left the command is disabled and does nothing.
TEST_F(ScreenDrawTest, UndoRemovesShapesInReverseOrder)
{
    SetTool(0, 8, 0x0000FF, FALSE);
    Open();
    EXPECT_FALSE(Enabled(ID_DRAW_UNDO));
    Drag({150, 150}, {250, 250});
    SetTool(0, 8, 0x00FF00, FALSE);
    Drag({300, 150}, {400, 250});
    PumpInput(50);
    ASSERT_EQ(2u, m_wnd->ShapeCount());
    EXPECT_TRUE(Enabled(ID_DRAW_UNDO));
    EXPECT_EQ(Hex(kGreen), Hex(ScreenPixel(303, 200)));

    PressKey('U');
    PumpInput(100);
    EXPECT_EQ(1u, m_wnd->ShapeCount());
    EXPECT_EQ(Hex(kWhite), Hex(ScreenPixel(303, 200))) << "the undone shape's place shows the screen again";
    EXPECT_EQ(Hex(kRed), Hex(ScreenPixel(153, 200))) << "the earlier shape stays";

    PressKey('U');
    PressKey('U');
    PumpInput(100);
    EXPECT_EQ(0u, m_wnd->ShapeCount());
    EXPECT_EQ(Hex(kWhite), Hex(ScreenPixel(153, 200)));
    EXPECT_FALSE(Enabled(ID_DRAW_UNDO));
    HMENU menu = ::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_SCREENDRAW_MENU));
    ASSERT_TRUE(menu != NULL);
    HMENU popup = ::GetSubMenu(menu, 0);
    m_wnd->UpdateMenu(popup);
    EXPECT_TRUE(::GetMenuState(popup, ID_DRAW_UNDO, MF_BYCOMMAND) & MF_GRAYED);
    ::DestroyMenu(menu);
    EXPECT_TRUE(::IsWindow(m_hwnd));
}

// Commands by accelerator key (and width, which has none, by command) change
// the current tool's record in the preferences; the menu follows.
TEST_F(ScreenDrawTest, CommandsChangeTheCurrentToolsRecord)
{
    SetTool(0, 2, 0x000000, FALSE);
    SetTool(5, 1, 0x000000, FALSE);
    SetTool(1, 5, 0x00FFFF, FALSE);
    m_prefs->m_drawTool = 0;
    Open();
    CRecorderPrefs* p = m_prefs.get();
    const struct {
        const char* step;
        WORD key;    // 0: the command below instead
        UINT command;
        std::function<bool()> holds;
    } steps[] = {
        { "A picks the arrow", 'A', 0, [&] { return p->m_drawTool == 5; } },
        { "R makes the arrow red", 'R', 0, [&] { return p->m_drawArrowColor == 0x0000FF; } },
        { "width 3 for the arrow", 0, ID_DRAW_WIDTH_1 + 2, [&] { return p->m_drawArrowWidth == 3; } },
        { "T makes the arrow translucent", 'T', 0, [&] { return p->m_drawArrowTranslucent == TRUE; } },
        { "T again makes it opaque", 'T', 0, [&] { return p->m_drawArrowTranslucent == FALSE; } },
        { "frame untouched", 0, 0, [&] { return p->m_drawFrameColor == 0 && p->m_drawFrameWidth == 2; } },
        { "H picks the highlight", 'H', 0, [&] { return p->m_drawTool == 1; } },
        { "no width for the highlight", 0, ID_DRAW_WIDTH_8, [&] { return p->m_drawHighlightWidth == 5; } },
        { "T sets the highlight translucent", 'T', 0, [&] { return p->m_drawHighlightTranslucent == TRUE; } },
        { "T keeps it translucent", 'T', 0, [&] { return p->m_drawHighlightTranslucent == TRUE; } },
        { "G makes it green", 'G', 0, [&] { return p->m_drawHighlightColor == 0x00FF00; } },
        { "F picks the frame", 'F', 0, [&] { return p->m_drawTool == 0; } },
    };
    for (const auto& s : steps) {
        if (s.key)
            PressKey(s.key);
        else if (s.command)
            m_wnd->OnDrawCommand(s.command);
        PumpInput(30);
        EXPECT_TRUE(s.holds()) << s.step;
    }

    // The menu of each tool: its item checked, its colour checked, width and
    // translucent disabled for the highlight only.
    HMENU menu = ::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_SCREENDRAW_MENU));
    ASSERT_TRUE(menu != NULL);
    HMENU popup = ::GetSubMenu(menu, 0);
    int widthsAt = -1;
    for (int i = 0; i < ::GetMenuItemCount(popup); i++) {
        if (::GetSubMenu(popup, i) && ::GetMenuItemID(::GetSubMenu(popup, i), 0) == ID_DRAW_WIDTH_1)
            widthsAt = i;
    }
    ASSERT_GE(widthsAt, 0);
    const struct {
        UINT tool;
        UINT colourItem;
        bool translucent;
        bool highlight;
    } menus[] = {
        { ID_DRAW_ARROW, ID_DRAW_COLOR_FIRST + 7, false, false },
        { ID_DRAW_HIGHLIGHT, ID_DRAW_COLOR_FIRST + 3, true, true },
        { ID_DRAW_FRAME, ID_DRAW_COLOR_FIRST + 0, false, false },
    };
    for (const auto& m : menus) {
        m_wnd->OnDrawCommand(m.tool);
        m_wnd->UpdateMenu(popup);
        for (UINT id = ID_DRAW_FRAME; id <= ID_DRAW_ARROW; id++)
            EXPECT_EQ(id == m.tool, (::GetMenuState(popup, id, MF_BYCOMMAND) & MF_CHECKED) != 0) << m.tool << " " << id;
        for (UINT id = ID_DRAW_COLOR_FIRST; id <= ID_DRAW_COLOR_LAST; id++)
            EXPECT_EQ(id == m.colourItem, (::GetMenuState(popup, id, MF_BYCOMMAND) & MF_CHECKED) != 0) << m.tool << " " << id;
        const UINT translucent = ::GetMenuState(popup, ID_DRAW_TRANSLUCENT, MF_BYCOMMAND);
        EXPECT_EQ(m.translucent, (translucent & MF_CHECKED) != 0) << m.tool;
        EXPECT_EQ(m.highlight, (translucent & MF_GRAYED) != 0) << m.tool;
        EXPECT_EQ(m.highlight, (::GetMenuState(popup, widthsAt, MF_BYPOSITION) & MF_GRAYED) != 0) << m.tool;
    }
    ::DestroyMenu(menu);
}

// A colour outside the table shows as black; a width the registry filled
// with nonsense is drawn within 1-8.
TEST_F(ScreenDrawTest, StrayStoredValuesStayInRange)
{
    EXPECT_EQ(0, ScreenDrawColorIndex(0x123456));
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(i, ScreenDrawColorIndex(ScreenDrawColor(i))) << i;
    const struct {
        int tool, width, expected;
    } cases[] = { { 0, 0, 1 }, { 0, -5, 1 }, { 0, 1000, 8 }, { 99, 3, 3 } };
    for (const auto& c : cases) {
        SetTool(0, c.width, 0x0000FF, FALSE);
        m_prefs->m_drawTool = c.tool;
        Open();
        EXPECT_EQ(0, m_wnd->Tool()) << c.tool;
        EXPECT_EQ(c.expected, m_wnd->ToolWidth()) << c.width;
        Drag({150, 150}, {250, 250});
        EXPECT_EQ(1u, m_wnd->ShapeCount());
        Close();
    }
}

// Each tool shows its own cursor over the window.
TEST_F(ScreenDrawTest, EachToolHasItsCursor)
{
    Open();
    const UINT cursors[6] = { IDC_DRAW_FRAME, IDC_DRAW_HIGHLIGHT, IDC_DRAW_ELLIPSE, IDC_DRAW_PEN, IDC_DRAW_LINE,
                              IDC_DRAW_ARROW };
    for (int tool = 0; tool < 6; tool++) {
        HCURSOR expected = ::LoadCursorA(AfxGetResourceHandle(), MAKEINTRESOURCEA(cursors[tool]));
        ASSERT_TRUE(expected != NULL) << tool;
        m_wnd->OnDrawCommand(ID_DRAW_FRAME + tool);
        MouseTo(300 + tool * 10, 300);
        PumpInput(50);
        EXPECT_EQ(expected, ::GetCursor()) << "tool " << tool;
    }
    EXPECT_TRUE(::LoadCursorA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDC_DRAW_DEFAULT)) != NULL);
}

// A right click opens the drawing menu instead of ending the window; the
// chosen command goes to the owner, which passes it back.
TEST_F(ScreenDrawTest, RightClickMenuCommandsComeBackThroughTheOwner)
{
    SetTool(0, 8, 0x0000FF, FALSE);
    Open();
    // The menu runs its own loop on this thread: a second thread waits for
    // it and types the arrow's mnemonic (or Escape when it never shows).
    Typist typist;
    HANDLE thread = ::CreateThread(NULL, 0, TypeIntoMenu, &typist, 0, NULL);
    MouseTo(300, 300);
    MouseButton(MOUSEEVENTF_RIGHTDOWN);
    MouseButton(MOUSEEVENTF_RIGHTUP);
    PumpInputUntil([&] { return !m_host.commands.empty(); }, 5000);
    ::WaitForSingleObject(thread, 10000);
    ::CloseHandle(thread);
    EXPECT_TRUE(typist.sawMenu) << "no menu";
    ASSERT_EQ(1u, m_host.commands.size());
    EXPECT_EQ((UINT)ID_DRAW_ARROW, m_host.commands[0]);
    EXPECT_EQ(5, m_prefs->m_drawTool);
    EXPECT_TRUE(::IsWindow(m_hwnd)) << "a right click does not end drawing";
}

// Escape, the stop command and closing ask the owner to end drawing; with
// no owner window left the window ends itself.
TEST_F(ScreenDrawTest, EndingAsksTheOwner)
{
    const struct {
        const char* how;
        std::function<void(HWND)> act;
    } ways[] = {
        { "Escape", [](HWND) { PressKey(VK_ESCAPE); } },
        { "close", [](HWND w) { ::PostMessageA(w, WM_CLOSE, 0, 0); } },
        { "stop command", [](HWND w) { ::PostMessageA(w, WM_COMMAND, ID_DRAW_STOP, 0); } },
    };
    for (const auto& w : ways) {
        m_host.commands.clear();
        Open();
        w.act(m_hwnd);
        EXPECT_TRUE(PumpInputUntil([&] { return !::IsWindow(m_hwnd); }, 3000)) << w.how;
        ASSERT_FALSE(m_host.commands.empty()) << w.how;
        EXPECT_EQ((UINT)ID_DRAW_STOP, m_host.commands[0]) << w.how;
    }

    HWND gone = ::CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
    ::DestroyWindow(gone);
    Open(gone);
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(PumpInputUntil([&] { return !::IsWindow(m_hwnd); }, 3000));
}

// The window takes the foreground (and so the keys) from another thread's
// window. Whether that thread's input is separated again afterwards cannot
// be seen under Wine 8: a thread whose input stays attached reports no
// shared focus there either.
TEST_F(ScreenDrawTest, TakesTheForegroundFromAnotherThread)
{
    OtherThread other;
    HANDLE thread = ::CreateThread(NULL, 0, RunOtherThread, &other, 0, NULL);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(other.ready, 5000));
    PumpInput(100);
    ASSERT_EQ(other.hwnd, ::GetForegroundWindow());
    Open();
    EXPECT_EQ(m_hwnd, ::GetForegroundWindow());
    PressKey('A');
    EXPECT_EQ(5, m_prefs->m_drawTool) << "the keys reach the drawing window";
    ::SetEvent(other.quit);
    ::WaitForSingleObject(thread, 5000);
    ::CloseHandle(thread);
    ::CloseHandle(other.ready);
    ::CloseHandle(other.quit);
}

// Without a notification area (as under Wine) the window keeps its whole
// rectangle; with one, the area is cut out of the window's region.
TEST_F(ScreenDrawTest, NotificationAreaIsCutOutWhenThere)
{
    Open();
    HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(ERROR, ::GetWindowRgn(m_hwnd, rgn)) << "no region without a notification area";
    ::DeleteObject(rgn);
    RECT window;
    ::GetWindowRect(m_hwnd, &window);
    EXPECT_EQ(::GetSystemMetrics(SM_CXVIRTUALSCREEN), window.right - window.left);

    EXPECT_TRUE(WindowRegionWithoutNotifyArea(window, NULL) == NULL);
    HWND area = ::CreateWindowA("STATIC", "", WS_POPUP, 1700, 1040, 200, 40, NULL, NULL, NULL, NULL);
    HRGN cut = WindowRegionWithoutNotifyArea(window, area);
    ASSERT_TRUE(cut != NULL);
    EXPECT_FALSE(::PtInRegion(cut, 1750 - window.left, 1060 - window.top));
    EXPECT_TRUE(::PtInRegion(cut, 1650 - window.left, 1060 - window.top));
    EXPECT_TRUE(::PtInRegion(cut, 10, 10));
    ::DeleteObject(cut);
    ::DestroyWindow(area);
}

}  // namespace
