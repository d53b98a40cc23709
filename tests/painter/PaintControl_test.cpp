#include "painter/PaintControl.h"

#include "resources/ids_painter.h"

#include "ControlsInput.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kBlue = RGB(0, 0, 255);

using PixelSet = std::set<std::pair<int, int>>;

PixelSet PixelsOf(CDIBSection& image, COLORREF colour)
{
    PixelSet found;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            if (image.GetPixel(x, y) == colour)
                found.insert({ x, y });
    return found;
}

PixelSet Box(int left, int top, int right, int bottom)
{
    PixelSet box;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            box.insert({ x, y });
    return box;
}

std::vector<COLORREF> AllPixels(CDIBSection& image)
{
    std::vector<COLORREF> all;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            all.push_back(image.GetPixel(x, y));
    return all;
}

// A top-level window that hosts the control and records the codes of the
// WM_NOTIFY messages it sends.
class Host {
public:
    Host()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = &Host::Proc;
        wc.hInstance = ::GetModuleHandleA(NULL);
        wc.hCursor = ::LoadCursorA(NULL, IDC_ARROW);
        wc.lpszClassName = "PaintControlTestHost";
        ::RegisterClassA(&wc);
        s_codes.clear();
        m_hWnd = ::CreateWindowExA(WS_EX_TOPMOST, "PaintControlTestHost", "paint host", WS_POPUP | WS_VISIBLE, 100,
                                   100, 520, 420, NULL, NULL, wc.hInstance, NULL);
    }
    ~Host() { ::DestroyWindow(m_hWnd); }
    HWND Get() const { return m_hWnd; }
    static int Count(UINT code)
    {
        int n = 0;
        for (UINT c : s_codes)
            n += c == code;
        return n;
    }
    static void Clear() { s_codes.clear(); }

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp)
    {
        if (msg == WM_NOTIFY)
            s_codes.push_back(reinterpret_cast<NMHDR*>(lp)->code);
        return ::DefWindowProcA(hWnd, msg, wp, lp);
    }
    HWND m_hWnd;
    static std::vector<UINT> s_codes;
};
std::vector<UINT> Host::s_codes;

// A control on a host, 64 x 48 24-bit white picture, shown at 400 % so that
// each image pixel is 4 x 4 screen pixels and synthetic mouse positions land
// on the pixel meant.
class PaintControlOnScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, m_host.Get());
        ASSERT_TRUE(m_ctrl.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 500, 400), CWnd::FromHandle(m_host.Get()), 100));
        ASSERT_TRUE(m_ctrl.CreateImage(64, 48, 1, 24));
        m_ctrl.SetZoom(400);
        ::SetForegroundWindow(m_host.Get());
        uitest::PumpPending();
    }

    // The screen point at the middle of an image pixel.
    POINT At(int x, int y)
    {
        const CPoint client = m_ctrl.ImageToClient(CPoint(x, y));
        return ctlinput::ScreenPoint(m_ctrl.m_hWnd, client.x + 2, client.y + 2);
    }
    void Press(int x, int y)
    {
        ctlinput::MouseAt(At(x, y));
        ctlinput::Pump(30);
        ctlinput::MouseAt(At(x, y), MOUSEEVENTF_LEFTDOWN);
        ctlinput::Pump(30);
    }
    void MoveTo(int x, int y)
    {
        ctlinput::MouseAt(At(x, y));
        ctlinput::Pump(40);
    }
    void Release(int x, int y)
    {
        ctlinput::MouseAt(At(x, y), MOUSEEVENTF_LEFTUP);
        ctlinput::Pump(50);
    }
    void Drag(int x1, int y1, int x2, int y2)
    {
        Press(x1, y1);
        MoveTo((x1 + x2) / 2, (y1 + y2) / 2);
        MoveTo(x2, y2);
        Release(x2, y2);
    }

    Host m_host;
    CPaintControl m_ctrl{ CPaintControl::kCatalogue };
};

}  // namespace

TEST(PaintControlHistory, KeepsFiveSnapshotsAndDropsRedoOnANewEdit)
{
    CPaintControl ctrl(CPaintControl::kCatalogue);
    ASSERT_TRUE(ctrl.CreateImage(8, 8, 1, 24));
    EXPECT_FALSE(ctrl.Undo()) << "an empty history";
    EXPECT_FALSE(ctrl.Redo()) << "an empty history";
    EXPECT_FALSE(ctrl.CanUndo());

    // Edit n paints pixel (n, 0); states[n] is the image after n edits.
    std::vector<std::vector<COLORREF>> states{ AllPixels(ctrl.GetImage()) };
    for (int n = 1; n <= 6; ++n) {
        ctrl.PushUndo();
        ASSERT_TRUE(ctrl.GetImage().DrawDot(n, 0, 1, kRed));
        states.push_back(AllPixels(ctrl.GetImage()));
    }
    EXPECT_EQ(CPaintControl::kUndoDepth, ctrl.GetHistoryCount()) << "the sixth edit dropped the oldest snapshot";
    for (int n = 5; n >= 1; --n) {
        ASSERT_TRUE(ctrl.Undo()) << "undo back to " << n;
        EXPECT_EQ(states[n], AllPixels(ctrl.GetImage())) << "undo back to " << n;
    }
    EXPECT_FALSE(ctrl.Undo()) << "a sixth undo";
    EXPECT_FALSE(ctrl.CanUndo());
    EXPECT_EQ(states[1], AllPixels(ctrl.GetImage()));

    ASSERT_TRUE(ctrl.CanRedo());
    ASSERT_TRUE(ctrl.Redo());
    EXPECT_EQ(states[2], AllPixels(ctrl.GetImage())) << "redo gives back the image before the undo";

    ctrl.PushUndo();
    ASSERT_TRUE(ctrl.GetImage().DrawDot(7, 7, 1, kBlue));
    EXPECT_FALSE(ctrl.CanRedo()) << "an edit after an undo removes every redo step";
    EXPECT_FALSE(ctrl.Redo());
    ASSERT_TRUE(ctrl.Undo());
    EXPECT_EQ(states[2], AllPixels(ctrl.GetImage()));

    ctrl.ResetImage();
    EXPECT_EQ(0, ctrl.GetHistoryCount()) << "a new image clears the history";
}

TEST(PaintControlHistory, FailedUndoKeepsThePicture)
{
    CPaintControl ctrl(CPaintControl::kCatalogue);
    ASSERT_TRUE(ctrl.CreateImage(6, 6, 1, 24));
    ctrl.PushUndo();
    ASSERT_TRUE(ctrl.GetImage().ChangeFormat(8, 8, 1, 24));   // the snapshot has another size
    ASSERT_TRUE(ctrl.GetImage().DrawDot(7, 7, 1, kRed));
    // The state being left is stored; taking the snapshot back needs a new section, which fails.
    CDIBSection::FailSectionCreationsForTest(1, 1);
    EXPECT_FALSE(ctrl.Undo());
    CDIBSection::FailSectionCreationsForTest(0);
    EXPECT_EQ(CSize(8, 8), ctrl.GetImage().GetSize()) << "the picture is not emptied";
    EXPECT_EQ(PixelSet({ { 7, 7 } }), PixelsOf(ctrl.GetImage(), kRed));
    EXPECT_TRUE(ctrl.Undo()) << "and the step can be taken once sections can be made";
    EXPECT_EQ(CSize(6, 6), ctrl.GetImage().GetSize());
}

TEST(PaintControlView, ZoomPercentsComeBackWholeAndStepThroughTheTable)
{
    CPaintControl ctrl(CPaintControl::kCatalogue);
    ASSERT_TRUE(ctrl.CreateImage(10, 10, 1, 24));
    for (int percent : { 10, 28, 29, 58, 100, 116, 205, 207, 232, 410, 414, 439, 464, 489, 600 }) {
        ctrl.SetZoom(percent);
        EXPECT_EQ(percent, ctrl.GetZoomPercent()) << percent;
    }

    const struct { int from, direction, step; } steps[] = {
        { 10, -1, -1 }, { 10, 1, 50 }, { 600, 1, -1 }, { 600, -1, 500 }, { 100, 1, 200 }, { 100, -1, 50 },
        { 150, 1, 200 }, { 150, -1, 100 }, { 5, -1, -1 }, { 700, -1, 600 },
    };
    for (const auto& s : steps)
        EXPECT_EQ(s.step, ctrl.NextZoomStep(s.from, s.direction)) << s.from << " dir " << s.direction;

    ctrl.SetZoom(200);
    EXPECT_EQ(CPoint(2 * 3 + 5, 2 * 4 + 5), ctrl.ImageToClient(CPoint(3, 4)));
    EXPECT_EQ(CPoint(3, 4), ctrl.ClientToImage(CPoint(2 * 3 + 5 + 1, 2 * 4 + 5 + 1)));
    ctrl.SetZoom(0);
    EXPECT_EQ(CPoint(0, 0), ctrl.ClientToImage(CPoint(300, 200))) << "zoom 0 maps everything to the corner";
}

TEST(PaintControlView, SprayWithPenWidthZeroHitsTheCentre)
{
    CPaintControl ctrl(CPaintControl::kCatalogue);
    ASSERT_TRUE(ctrl.CreateImage(9, 9, 1, 24));
    ctrl.SetForeColor(kRed);
    ctrl.Spray(CPoint(4, 4), 0);
    EXPECT_EQ(PixelSet({ { 4, 4 } }), PixelsOf(ctrl.GetImage(), kRed));
    ctrl.Spray(CPoint(4, 4), 3);
    for (const auto& p : PixelsOf(ctrl.GetImage(), kRed)) {
        EXPECT_LE(std::abs(p.first - 4), 2);
        EXPECT_LE(std::abs(p.second - 4), 2);
    }
}

TEST(PaintControlView, ToolShapesDrawWithThePenWidthAndColours)
{
    CPaintControl ctrl(CPaintControl::kCatalogue);
    ASSERT_TRUE(ctrl.CreateImage(20, 20, 1, 24));
    ctrl.SetForeColor(kRed);
    ctrl.SetTool(CPaintControl::kFilledRect);
    ctrl.DrawToolShape(12, 9, 3, 2);
    EXPECT_EQ(Box(3, 2, 11, 8), PixelsOf(ctrl.GetImage(), kRed));

    ctrl.SetTransparentColor(kBlue);
    ctrl.SetEraserWidth(1);
    ctrl.SetTool(CPaintControl::kEraser);
    ctrl.DrawToolShape(4, 4, 6, 4);
    EXPECT_EQ(Box(4, 4, 6, 4), PixelsOf(ctrl.GetImage(), kBlue)) << "the eraser paints the transparent colour";

    ctrl.SetTool(CPaintControl::kPicker);
    ctrl.DrawToolShape(0, 0, 19, 19);
    EXPECT_EQ(3u, PixelsOf(ctrl.GetImage(), kBlue).size()) << "the picker draws nothing";
}

TEST_F(PaintControlOnScreen, PenLineRectangleAndFillGiveExactPixels)
{
    CDIBSection& image = m_ctrl.GetImage();
    m_ctrl.SetForeColor(kBlack);

    m_ctrl.SetTool(CPaintControl::kPen);
    Drag(2, 2, 8, 2);
    EXPECT_EQ(Box(2, 2, 8, 2), PixelsOf(image, kBlack)) << "pen stroke";

    m_ctrl.SetTool(CPaintControl::kLine);
    m_ctrl.SetForeColor(kBlue);
    Drag(2, 10, 2, 20);
    EXPECT_EQ(Box(2, 10, 2, 20), PixelsOf(image, kBlue)) << "line, both ends, no trace of the rubber band";

    m_ctrl.SetTool(CPaintControl::kFilledRect);
    m_ctrl.SetForeColor(kRed);
    m_ctrl.SetPenWidth(3);
    Drag(30, 20, 20, 10);
    EXPECT_EQ(Box(20, 10, 29, 19), PixelsOf(image, kRed)) << "filled rectangle at width 3";

    m_ctrl.SetTool(CPaintControl::kFill);
    m_ctrl.SetFillColor(kBlue);
    Press(40, 40);
    Release(40, 40);
    const PixelSet blue = PixelsOf(image, kBlue);
    EXPECT_EQ(64u * 48u - 7u - 100u, blue.size()) << "the fill covers the white area, line included";
    EXPECT_EQ(Box(20, 10, 29, 19), PixelsOf(image, kRed));
    EXPECT_EQ(Box(2, 2, 8, 2), PixelsOf(image, kBlack));
    EXPECT_TRUE(m_ctrl.IsModified());

    Host::Clear();
    ctlinput::Key('Z', false, true);
    EXPECT_TRUE(PixelsOf(image, kBlue) == Box(2, 10, 2, 20)) << "Ctrl+Z takes the fill back";
    ctlinput::Key('Y', false, true);
    EXPECT_EQ(64u * 48u - 7u - 100u, PixelsOf(image, kBlue).size()) << "Ctrl+Y gives it again";
    EXPECT_EQ(2, Host::Count(CPaintControl::Codes().imageChanged));
}

TEST_F(PaintControlOnScreen, EscapeDuringARectangleDragChangesNothing)
{
    CDIBSection& image = m_ctrl.GetImage();
    m_ctrl.SetTool(CPaintControl::kRectangle);
    m_ctrl.SetForeColor(kRed);
    const std::vector<COLORREF> before = AllPixels(image);
    const int history = m_ctrl.GetHistoryCount();

    Press(5, 5);
    MoveTo(15, 12);
    EXPECT_FALSE(PixelsOf(image, kRed).empty()) << "the rubber band shows while dragging";
    ctlinput::Key(VK_ESCAPE);
    EXPECT_EQ(before, AllPixels(image)) << "Escape restores the picture";
    MoveTo(20, 20);
    Release(20, 20);
    EXPECT_EQ(before, AllPixels(image)) << "the release draws nothing";
    EXPECT_EQ(history, m_ctrl.GetHistoryCount());
}

TEST_F(PaintControlOnScreen, ZoomToolStepsUpAndAltClickStepsDown)
{
    m_ctrl.SetZoom(400);
    m_ctrl.SetTool(CPaintControl::kZoom);
    Host::Clear();
    Press(3, 3);
    Release(3, 3);
    EXPECT_EQ(500, m_ctrl.GetZoomPercent());
    EXPECT_EQ(1, Host::Count(CPaintControl::Codes().magChanged));

    // Alt and the click go in one batch: under Wine a mouse event's own
    // modifier state would otherwise release an Alt sent on its own.
    const POINT p = At(3, 3);
    ctlinput::MouseAt(p);
    ctlinput::Pump(30);
    INPUT batch[4] = {};
    batch[0].type = INPUT_KEYBOARD;
    batch[0].ki.wVk = VK_MENU;
    for (int i : { 1, 2 }) {
        batch[i].type = INPUT_MOUSE;
        batch[i].mi.dx = (LONG)(((LONGLONG)p.x * 65535) / (::GetSystemMetrics(SM_CXSCREEN) - 1));
        batch[i].mi.dy = (LONG)(((LONGLONG)p.y * 65535) / (::GetSystemMetrics(SM_CYSCREEN) - 1));
        batch[i].mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | (i == 1 ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
    }
    batch[3].type = INPUT_KEYBOARD;
    batch[3].ki.wVk = VK_MENU;
    batch[3].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(4, batch, sizeof(INPUT));
    ctlinput::Pump(150);
    EXPECT_EQ(400, m_ctrl.GetZoomPercent());

    m_ctrl.SetZoom(600);
    Press(1, 1);
    Release(1, 1);
    EXPECT_EQ(600, m_ctrl.GetZoomPercent()) << "no step above 600 %";
}

TEST_F(PaintControlOnScreen, CutFailsWithoutTouchingPixelsWhileTheClipboardIsHeld)
{
    CDIBSection& image = m_ctrl.GetImage();
    ASSERT_TRUE(image.DrawLine(0, 0, 63, 47, 1, kRed));
    const std::vector<COLORREF> before = AllPixels(image);

    HANDLE opened = ::CreateEventA(NULL, TRUE, FALSE, NULL);
    HANDLE done = ::CreateEventA(NULL, TRUE, FALSE, NULL);
    std::thread holder([&] {
        HWND owner = ::CreateWindowA("STATIC", "holder", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
        ::OpenClipboard(owner);
        ::SetEvent(opened);
        ::WaitForSingleObject(done, 10000);
        ::CloseClipboard();
        ::DestroyWindow(owner);
    });
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(opened, 10000));
    EXPECT_FALSE(m_ctrl.Cut());
    ::SetEvent(done);
    holder.join();
    ::CloseHandle(opened);
    ::CloseHandle(done);
    EXPECT_EQ(before, AllPixels(image));
    EXPECT_EQ(0, m_ctrl.GetHistoryCount());

    m_ctrl.SetSelection(CRect(0, 0, 10, 10));
    ASSERT_TRUE(m_ctrl.Cut()) << "with the clipboard free";
    EXPECT_EQ(1, m_ctrl.GetHistoryCount());
    for (const auto& p : PixelsOf(image, kRed))
        EXPECT_TRUE(p.first >= 10 || p.second >= 10) << "red left inside the selection at " << p.first;
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(kWhite, image.GetPixel(i, i * 47 / 63)) << "cleared inside the selection";
    EXPECT_EQ(CSize(10, 10), CDIBSection::GetClipboardBitmapSize());
}

TEST_F(PaintControlOnScreen, DeleteClearsTheSelectionToTheTransparentColour)
{
    CDIBSection& image = m_ctrl.GetImage();
    m_ctrl.SetTransparentColor(kBlue);
    m_ctrl.SetSelection(CRect(2, 3, 6, 5));
    ctlinput::ClickAt(At(50, 40).x, At(50, 40).y);   // focus, with no tool
    ctlinput::Key(VK_DELETE);
    EXPECT_EQ(Box(2, 3, 5, 4), PixelsOf(image, kBlue));
    EXPECT_EQ(1, m_ctrl.GetHistoryCount());
    EXPECT_EQ(CRect(0, 0, 64, 48), m_ctrl.GetSelection()) << "then all is selected";
}

namespace {

// Places a red picture of the size on the clipboard.
void ClipboardPicture(int width, int height)
{
    CDIBSection source;
    ASSERT_TRUE(source.Create(width, height, 1, 24));
    CRect all(0, 0, width + 1, height + 1);
    ASSERT_TRUE(source.FillRect(&all, kRed));
    ASSERT_TRUE(source.CopyToClipboard());
}

std::string LoadedString(UINT id)
{
    CString text;
    text.LoadString(id);
    return std::string((LPCTSTR)text);
}

}  // namespace

TEST_F(PaintControlOnScreen, PasteAsksOnlyWhenTheClipboardIsLargerThanAPartialSelection)
{
    struct Case {
        const char* name;
        CRect selection;
        bool trackerShown;
        CSize clip;
        int answer;   // 0: no question expected
        BOOL result;
        CRect after;
    } cases[] = {
        { "larger, Yes", CRect(10, 10, 20, 20), true, CSize(16, 12), IDYES, TRUE, CRect(10, 10, 20, 20) },
        { "larger, No", CRect(10, 10, 20, 20), true, CSize(16, 12), IDNO, TRUE, CRect(10, 10, 26, 22) },
        { "larger, No, at the edge", CRect(55, 40, 60, 45), true, CSize(16, 12), IDNO, TRUE, CRect(55, 40, 64, 48) },
        { "larger, Cancel", CRect(10, 10, 20, 20), true, CSize(16, 12), IDCANCEL, FALSE, CRect(10, 10, 20, 20) },
        { "tracker hidden", CRect(10, 10, 20, 20), false, CSize(16, 12), 0, TRUE, CRect(10, 10, 26, 22) },
        { "whole image", CRect(0, 0, 64, 48), true, CSize(80, 50), 0, TRUE, CRect(0, 0, 80, 50) },
        { "smaller", CRect(10, 10, 20, 20), true, CSize(4, 4), 0, TRUE, CRect(10, 10, 14, 14) },
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(m_ctrl.CreateImage(64, 48, 1, 24));
        ClipboardPicture(c.clip.cx, c.clip.cy);
        m_ctrl.SetTrackerShown(c.trackerShown);
        m_ctrl.SetSelection(c.selection);
        int asked = 0;
        uitest::ModalAnswerer answerer([&](HWND dialog) {
            ++asked;
            return uitest::ModalAnswerer::Press(dialog, c.answer ? c.answer : IDCANCEL);
        });
        EXPECT_EQ(c.result, m_ctrl.Paste()) << c.name;
        EXPECT_EQ(c.answer ? 1 : 0, asked) << c.name;
        if (c.answer) {
            ASSERT_EQ(1u, answerer.MessageTexts().size()) << c.name;
            EXPECT_EQ(LoadedString(IDS_PNT_PASTE_LARGER), answerer.MessageTexts()[0]) << c.name;
        }
        EXPECT_EQ(c.after, m_ctrl.GetSelection()) << c.name;
        const CRect inside = c.after & CRect(0, 0, 64, 48);
        EXPECT_EQ(c.result ? Box(inside.left, inside.top, inside.right - 1, inside.bottom - 1) : PixelSet(),
                  PixelsOf(m_ctrl.GetImage(), kRed)) << c.name;
        EXPECT_EQ(c.result ? 1 : 0, m_ctrl.GetHistoryCount()) << c.name;
    }
}

TEST_F(PaintControlOnScreen, PasteStopsBeforeTheSnapshotWhenTheClipboardEmptiesMeanwhile)
{
    ClipboardPicture(16, 12);
    m_ctrl.SetTrackerShown(TRUE);
    m_ctrl.SetSelection(CRect(10, 10, 20, 20));
    const std::vector<COLORREF> before = AllPixels(m_ctrl.GetImage());
    uitest::ModalAnswerer answerer([&](HWND dialog) {
        if (::OpenClipboard(NULL)) {
            ::EmptyClipboard();
            ::CloseClipboard();
        }
        return uitest::ModalAnswerer::Press(dialog, IDNO);
    });
    EXPECT_FALSE(m_ctrl.Paste());
    EXPECT_EQ(before, AllPixels(m_ctrl.GetImage())) << "no white block stamped on the picture";
    EXPECT_EQ(0, m_ctrl.GetHistoryCount());
}

TEST(PaintControlRecorder, PasteQuestionAndStatusTextsComeFromTheStringTable)
{
    Host host;
    CPaintControl ctrl(CPaintControl::kRecorder);
    ASSERT_TRUE(ctrl.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 300, 300), CWnd::FromHandle(host.Get()), 101));
    ASSERT_TRUE(ctrl.CreateImage(30, 30, 1, 24));
    EXPECT_EQ(LoadedString(IDS_PNT_TOOL_HINT_FIRST + CPaintControl::kFill), std::string(ctrl.GetToolHint(CPaintControl::kFill)));
    EXPECT_EQ("填充一个范围。", std::string(ctrl.GetToolHint(CPaintControl::kFill)));
    ClipboardPicture(20, 20);
    ctrl.SetTrackerShown(TRUE);
    ctrl.SetSelection(CRect(2, 2, 8, 8));
    ::SetActiveWindow(host.Get());
    uitest::ModalAnswerer answerer([&](HWND dialog) { return uitest::ModalAnswerer::Press(dialog, IDYES); });
    EXPECT_TRUE(ctrl.Paste());
    ASSERT_EQ(1u, answerer.MessageTexts().size());
    EXPECT_EQ(LoadedString(IDS_PNT_PASTE_LARGER_REC), answerer.MessageTexts()[0]);
    EXPECT_EQ(CRect(2, 2, 8, 8), ctrl.GetSelection());
}

TEST(PaintControlMask, ImportMaskTakesAKeyThatNoOpaquePixelHas)
{
    static const COLORREF kEditorColours[16] = {
        0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF,
        0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0x808080, 0xC0C0C0,
    };
    // An 8 x 4 picture; the mask's white pixels are the right half of the last row.
    HBITMAP mask = ::CreateBitmap(8, 4, 1, 1, NULL);
    {
        HDC dc = ::CreateCompatibleDC(NULL);
        HGDIOBJ old = ::SelectObject(dc, mask);
        ::PatBlt(dc, 0, 0, 8, 4, BLACKNESS);
        ::PatBlt(dc, 4, 3, 4, 1, WHITENESS);
        ::SelectObject(dc, old);
        ::DeleteDC(dc);
    }
    struct Case {
        const char* name;
        int bits;
        int coloursUsed;   // the first n editor colours are painted on opaque pixels
        int result;
        COLORREF key;
    } cases[] = {
        { "light grey unused", 4, 15, 1, 0xC0C0C0 },
        { "all 16 used, 4 bits", 4, 16, 0, CPaintControl::kNoColour },
        { "all 16 used, 8 bits", 8, 16, 1, RGB(192, 220, 192) },   // the first default entry no pixel has
    };
    for (const Case& c : cases) {
        CPaintControl ctrl(CPaintControl::kCatalogue);
        ASSERT_TRUE(ctrl.CreateImage(8, 4, 1, c.bits));
        CDIBSection& image = ctrl.GetImage();
        for (int i = 0; i < 28; ++i)   // the 28 opaque pixels, row by row
            image.DrawDot(i % 8, i / 8, 1, kEditorColours[i < c.coloursUsed ? i : 0]);
        const std::vector<COLORREF> before = AllPixels(image);
        EXPECT_EQ(c.result, ctrl.ImportMask(mask)) << c.name;
        EXPECT_EQ(c.key, ctrl.GetTransparentColor()) << c.name;
        std::vector<COLORREF> after = AllPixels(image);
        for (size_t i = 0; i < after.size(); ++i) {
            if (i < 28 || c.result == 0)
                EXPECT_EQ(before[i], after[i]) << c.name << " pixel " << i << " unchanged";
            else
                EXPECT_EQ(c.key, after[i]) << c.name << " masked pixel " << i;
        }
    }
    CPaintControl ctrl(CPaintControl::kCatalogue);
    ASSERT_TRUE(ctrl.CreateImage(5, 5, 1, 4));
    EXPECT_EQ(0, ctrl.ImportMask(mask)) << "sizes differ";
    EXPECT_EQ(-1, ctrl.ImportMask((HBITMAP)::GetStockObject(WHITE_BRUSH))) << "not a bitmap";
    ::DeleteObject(mask);
}

namespace {

// Mouse input sent from a script thread while the test thread runs the
// tracker's capture loop.
struct DragScript {
    POINT from;
    POINT to;
    bool ctrl;
};

INPUT MouseInput(POINT p, DWORD flags)
{
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = (LONG)(((LONGLONG)p.x * 65535) / (::GetSystemMetrics(SM_CXSCREEN) - 1));
    in.mi.dy = (LONG)(((LONGLONG)p.y * 65535) / (::GetSystemMetrics(SM_CYSCREEN) - 1));
    in.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | flags;
    return in;
}

void RunDrag(void* param)
{
    const DragScript* s = static_cast<const DragScript*>(param);
    INPUT move = MouseInput(s->from, 0);
    ::SendInput(1, &move, sizeof(INPUT));
    ::Sleep(60);
    // Ctrl goes with the press in one batch: under Wine a mouse event's own
    // modifier state would otherwise release a Ctrl sent on its own.
    INPUT press[2] = {};
    press[0].type = INPUT_KEYBOARD;
    press[0].ki.wVk = VK_CONTROL;
    press[1] = MouseInput(s->from, MOUSEEVENTF_LEFTDOWN);
    ::SendInput(s->ctrl ? 2 : 1, s->ctrl ? press : press + 1, sizeof(INPUT));
    ::Sleep(100);
    for (int i = 1; i <= 4; ++i) {
        POINT p = { s->from.x + (s->to.x - s->from.x) * i / 4, s->from.y + (s->to.y - s->from.y) * i / 4 };
        INPUT step = MouseInput(p, 0);
        ::SendInput(1, &step, sizeof(INPUT));
        ::Sleep(60);
    }
    INPUT release[2] = {};
    release[0] = MouseInput(s->to, MOUSEEVENTF_LEFTUP);
    release[1].type = INPUT_KEYBOARD;
    release[1].ki.wVk = VK_CONTROL;
    release[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(s->ctrl ? 2 : 1, release, sizeof(INPUT));
    ::Sleep(100);
}

}  // namespace

TEST_F(PaintControlOnScreen, RubberBandThenDragMovesOrCopiesThePixels)
{
    struct Case {
        const char* name;
        bool ctrl;
        COLORREF transparent;
        COLORREF sourceAfter;
    } cases[] = {
        { "move", false, CPaintControl::kNoColour, kWhite },
        { "move with a transparent colour", false, kBlue, kBlue },
        { "Ctrl copies", true, CPaintControl::kNoColour, kRed },
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(m_ctrl.CreateImage(64, 48, 1, 24));
        CDIBSection& image = m_ctrl.GetImage();
        CRect square(12, 12, 16, 16);
        ASSERT_TRUE(image.FillRect(&square, kRed));
        m_ctrl.SetTransparentColor(c.transparent);
        m_ctrl.SetTool(CPaintControl::kSelect);

        DragScript band = { At(10, 10), At(20, 20), false };
        ctlinput::RunScript(&RunDrag, &band);
        EXPECT_EQ(CRect(10, 10, 20, 20), m_ctrl.GetSelection()) << c.name << ": the rubber band selects";
        EXPECT_EQ(0, m_ctrl.GetHistoryCount()) << c.name;

        DragScript move = { At(14, 14), At(34, 24), c.ctrl };
        ctlinput::RunScript(&RunDrag, &move);
        EXPECT_EQ(CRect(30, 20, 40, 30), m_ctrl.GetSelection()) << c.name;
        PixelSet red = Box(32, 22, 35, 25);
        if (c.sourceAfter == kRed)
            for (const auto& p : Box(12, 12, 15, 15))
                red.insert(p);
        EXPECT_EQ(red, PixelsOf(image, kRed)) << c.name;
        EXPECT_EQ(c.sourceAfter, image.GetPixel(12, 12)) << c.name;
        EXPECT_EQ(c.sourceAfter, image.GetPixel(15, 15)) << c.name;
        EXPECT_EQ(1, m_ctrl.GetHistoryCount()) << c.name << ": one snapshot for the move";
        ASSERT_TRUE(m_ctrl.Undo());
        EXPECT_EQ(Box(12, 12, 15, 15), PixelsOf(image, kRed)) << c.name << ": undo puts it back";
    }
}
