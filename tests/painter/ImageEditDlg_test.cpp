#include "painter/ImageEditDlg.h"

#include "catalogue/DataShapeObject.h"
#include "framework/WinApp.h"
#include "painter/PntTextFmtBar.h"
#include "resources/ids_controls.h"
#include "resources/ids_painter.h"
#include "settings/RecorderPrefs.h"

#include "TestSupport.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <thread>
#include <sstream>
#include <string>
#include <vector>

namespace {

const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kGreen = RGB(0, 255, 0);

// A white picture of the size with a blue dot at (0, 0), as a packed DIB.
void MakePicture(CDib& dib, int width, int height)
{
    CDIBSection image;
    ASSERT_TRUE(image.Create(width, height, 1, 24));
    ASSERT_TRUE(image.DrawDot(0, 0, 1, kBlue));
    CBitmap section;
    section.Attach(image.GetSafeHandle());
    ASSERT_TRUE(dib.CreateFromBitmap(NULL, &section, 24, FALSE));
    section.Detach();
}

std::vector<BYTE> Block(const CDib& dib)
{
    return std::vector<BYTE>(dib.GetBlock(), dib.GetBlock() + dib.GetBlockSize());
}

CPaintControl* ControlOf(HWND dialog)
{
    return static_cast<CPaintControl*>(CWnd::FromHandlePermanent(::GetDlgItem(dialog, IDC_PNT_CTRL)));
}

// A click of the current tool on an image pixel, as the control's messages.
void ClickPixel(CPaintControl* ctrl, int x, int y)
{
    const CPoint p = ctrl->ImageToClient(CPoint(x, y)) + CPoint(1, 1);
    ctrl->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    ctrl->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
}

// Every pixel of a .bmp file as ImageMagick reads it, rows top-down.
std::vector<COLORREF> PixelsByImageMagick(const std::string& path, int* width)
{
    std::string out;
    std::vector<COLORREF> pixels;
    if (testsupport::RunHost("convert '" + testsupport::UnixPath(path) + "' -depth 8 txt:-", &out) != 0)
        return pixels;
    std::istringstream lines(out);
    std::string line;
    int maxX = -1;
    while (std::getline(lines, line)) {
        int x, y, r, g, b;
        if (std::sscanf(line.c_str(), "%d,%d: (%d,%d,%d", &x, &y, &r, &g, &b) == 5) {
            pixels.push_back(RGB(r, g, b));
            maxX = std::max(maxX, x);
        }
    }
    *width = maxX + 1;
    return pixels;
}

}  // namespace

TEST(EditShapeImage, OkWritesTheEditedPictureIntoTheShape)
{
    CDataShapeObject shape;
    MakePicture(shape.m_image, 64, 48);
    shape.m_transparentColour = CDataShapeObject::kNoKey;
    CPntEditSettings settings;
    int zoom = -1;
    uitest::ModalAnswerer answerer([&](HWND dialog) {
        CPaintControl* ctrl = ControlOf(dialog);
        if (!ctrl)
            return false;
        zoom = ctrl->GetZoomPercent();
        ctrl->SetTool(CPaintControl::kFill);
        ctrl->SetFillColor(kRed);
        ClickPixel(ctrl, 30, 30);
        ctrl->SetForeColor(kGreen);
        return uitest::ModalAnswerer::Press(dialog, IDOK);
    });
    EXPECT_TRUE(EditShapeImage(settings, &shape));
    EXPECT_EQ(600, zoom) << "48 rows are fewer than 50: it opens at 600 %";
    EXPECT_EQ(kGreen, settings.drawColour) << "the settings take the control's colour back";

    testsupport::ScratchDir dir("pntedit");
    const std::string file = dir.File("shape.bmp");
    ASSERT_TRUE(testsupport::WriteFileBytes(file, shape.m_image.GetBlock(), shape.m_image.GetBlockSize()));
    int width = 0;
    const std::vector<COLORREF> seen = PixelsByImageMagick(file, &width);
    ASSERT_EQ(64u * 48u, seen.size());
    ASSERT_EQ(64, width);
    for (size_t i = 0; i < seen.size(); ++i)
        ASSERT_EQ(i == 0 ? kBlue : kRed, seen[i]) << "pixel " << i % 64 << "," << i / 64;
}

TEST(EditShapeImage, CancelChangesNothing)
{
    CDataShapeObject shape;
    MakePicture(shape.m_image, 64, 48);
    shape.m_transparentColour = kBlue;
    const std::vector<BYTE> before = Block(shape.m_image);
    CPntEditSettings settings;
    settings.lineWidth = 3;
    uitest::ModalAnswerer answerer([&](HWND dialog) {
        CPaintControl* ctrl = ControlOf(dialog);
        if (!ctrl)
            return false;
        ctrl->SetTool(CPaintControl::kFill);
        ctrl->SetFillColor(kRed);
        ClickPixel(ctrl, 10, 10);
        ctrl->SetTransparentColor(kGreen);
        ctrl->SetPenWidth(5);
        return uitest::ModalAnswerer::Press(dialog, IDCANCEL);
    });
    EXPECT_FALSE(EditShapeImage(settings, &shape));
    EXPECT_EQ(before, Block(shape.m_image));
    EXPECT_EQ(kBlue, shape.m_transparentColour);
    EXPECT_EQ(3, settings.lineWidth);
}

TEST(EditShapeImage, OkWithOnlyANewTransparentColourChangesOnlyThat)
{
    CDataShapeObject shape;
    MakePicture(shape.m_image, 40, 200);
    shape.m_transparentColour = kBlue;
    const std::vector<BYTE> before = Block(shape.m_image);
    CPntEditSettings settings;
    int zoom = -1;
    COLORREF shownKey = 0;
    uitest::ModalAnswerer answerer([&](HWND dialog) {
        CPaintControl* ctrl = ControlOf(dialog);
        if (!ctrl)
            return false;
        zoom = ctrl->GetZoomPercent();
        shownKey = ctrl->GetTransparentColor();
        ctrl->SetTransparentColor(kGreen);
        return uitest::ModalAnswerer::Press(dialog, IDOK);
    });
    EXPECT_TRUE(EditShapeImage(settings, &shape));
    EXPECT_EQ(600, zoom) << "a picture narrower than 50 pixels opens at 600 %";
    EXPECT_EQ(kBlue, shownKey) << "the control starts with the shape's own key";
    EXPECT_EQ(kGreen, shape.m_transparentColour);
    EXPECT_EQ(kGreen, settings.transparentColour);
    EXPECT_EQ(before, Block(shape.m_image)) << "the picture is untouched";
}

TEST(EditShapeImage, AShapeWithoutAPictureGetsABlankOneOfTheAskedSize)
{
    CDataShapeObject shape;
    CPntEditSettings settings;
    {
        uitest::ModalAnswerer answerer([&](HWND dialog) { return uitest::ModalAnswerer::Press(dialog, IDCANCEL); });
        EXPECT_FALSE(EditShapeImage(settings, &shape)) << "the size question cancelled";
        EXPECT_TRUE(shape.m_image.IsEmpty());
    }
    EXPECT_FALSE(EditShapeImage(settings, nullptr));

    uitest::ModalAnswerer answerer([&](HWND dialog) {
        char caption[64] = "";
        ::GetWindowTextA(dialog, caption, sizeof(caption));
        if (std::string(caption) == "输入位图尺寸") {
            ::SetDlgItemTextA(dialog, IDC_PNT_SIZE_WIDTH, "20");
            ::SetDlgItemTextA(dialog, IDC_PNT_SIZE_HEIGHT, "10");
            ::SendDlgItemMessageA(dialog, IDC_PNT_SIZE_DEPTH, CB_SETCURSEL, 4, 0);   // 真彩色
        }
        return uitest::ModalAnswerer::Press(dialog, IDOK);
    });
    EXPECT_TRUE(EditShapeImage(settings, &shape));
    ASSERT_FALSE(shape.m_image.IsEmpty());
    EXPECT_EQ(CSize(20, 10), shape.m_image.GetSize());
    EXPECT_EQ(24, shape.m_image.GetBitCount());
}

namespace {

INPUT Mouse(POINT p, DWORD flags)
{
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = (LONG)(((LONGLONG)p.x * 65535) / (::GetSystemMetrics(SM_CXSCREEN) - 1));
    in.mi.dy = (LONG)(((LONGLONG)p.y * 65535) / (::GetSystemMetrics(SM_CYSCREEN) - 1));
    in.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | flags;
    return in;
}

void Send(POINT p, DWORD flags)
{
    INPUT in = Mouse(p, flags);
    ::SendInput(1, &in, sizeof(INPUT));
    ::Sleep(80);
}

// The screen point at the middle of a tool-bar button, found by TB_GETITEMRECT.
POINT ButtonPoint(HWND bar, UINT id)
{
    const int index = (int)::SendMessageA(bar, TB_COMMANDTOINDEX, id, 0);
    RECT r = {};
    ::SendMessageA(bar, TB_GETITEMRECT, index, (LPARAM)&r);
    POINT p = { (r.left + r.right) / 2, (r.top + r.bottom) / 2 };
    ::ClientToScreen(bar, &p);
    return p;
}

void Click(POINT p)
{
    Send(p, 0);
    Send(p, MOUSEEVENTF_LEFTDOWN);
    Send(p, MOUSEEVENTF_LEFTUP);
}

}  // namespace

TEST(EditShapeImage, ToolBarAndMouseDrawAndUndoThroughTheDialog)
{
    CDataShapeObject shape;
    MakePicture(shape.m_image, 64, 48);
    CPntEditSettings settings;
    settings.drawColour = kRed;
    settings.lineWidth = 3;
    std::thread script;
    bool undoEnabledAfterDrawing = false;
    bool redoEnabledAtStart = true;
    uitest::ModalAnswerer answerer([&](HWND dialog) {
        CPaintControl* ctrl = ControlOf(dialog);
        HWND bar = ::GetDlgItem(dialog, IDC_PNT_TOOLBAR);
        if (!ctrl || !bar || script.joinable())
            return false;
        // The screen points are taken here, on the dialog's thread.
        const POINT rectButton = ButtonPoint(bar, 52792);
        const POINT undoButton = ButtonPoint(bar, 52772);
        const POINT redoButton = ButtonPoint(bar, 52773);
        auto pixel = [&](int x, int y) {
            const CPoint c = ctrl->ImageToClient(CPoint(x, y)) + CPoint(3, 3);
            POINT p = { c.x, c.y };
            ::ClientToScreen(ctrl->m_hWnd, &p);
            return p;
        };
        const POINT from = pixel(10, 10), middle = pixel(15, 12), to = pixel(20, 15);
        redoEnabledAtStart = ::SendMessageA(bar, TB_ISBUTTONENABLED, 52773, 0) != 0;
        script = std::thread([=, &undoEnabledAfterDrawing] {
            Click(rectButton);
            Send(from, 0);
            Send(from, MOUSEEVENTF_LEFTDOWN);
            Send(middle, 0);
            Send(to, 0);
            Send(to, MOUSEEVENTF_LEFTUP);
            ::Sleep(200);
            undoEnabledAfterDrawing = ::SendMessageA(bar, TB_ISBUTTONENABLED, 52772, 0) != 0;
            Click(undoButton);
            Click(redoButton);
            ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
        return true;
    });
    EXPECT_TRUE(EditShapeImage(settings, &shape));
    if (script.joinable())
        script.join();
    EXPECT_FALSE(redoEnabledAtStart);
    EXPECT_TRUE(undoEnabledAfterDrawing) << "the idle update enabled Undo";

    CPaintControl check(CPaintControl::kCatalogue);
    ASSERT_TRUE(check.SetImage(&shape.m_image));
    int red = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool inside = x >= 10 && x <= 19 && y >= 10 && y <= 14;
            const COLORREF c = check.GetImage().GetPixel(x, y);
            red += c == kRed;
            if (inside)
                EXPECT_EQ(kRed, c) << x << "," << y;
        }
    EXPECT_EQ(10 * 5, red) << "the filled rectangle, undone and redone, and nothing else";
}

namespace {

void Key(WORD vk)
{
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, in, sizeof(INPUT));
    ::Sleep(80);
}

POINT CentreOf(HWND window)
{
    RECT r = {};
    ::GetWindowRect(window, &r);
    POINT p = { (r.left + r.right) / 2, (r.top + r.bottom) / 2 };
    return p;
}

}  // namespace

// The text tool driven by the mouse and keyboard only: the tool-bar button
// opens the text bar, a character typed on the picture starts the text, the
// frame's corner handles are dragged in, more is typed, Bold and right
// alignment are pressed; the text inks only inside its frame and the bar's
// choices are kept under "Text Tool".
TEST(EditShapeImage, TextTypedInTheBarInksOnlyItsFrameAndIsRemembered)
{
    testsupport::ScratchRegKey scratch("Software\\VexcapTextToolTest");
    CWinApp app("TextToolTestApp");
    app.SetRegistryKey("VexcapTextToolTest");

    CDataShapeObject shape;
    MakePicture(shape.m_image, 160, 100);
    CPntEditSettings settings;
    settings.drawColour = kRed;
    std::thread script;
    CRect frame;
    std::string typed;
    int alignment = -1;
    uitest::ModalAnswerer answerer([&](HWND dialog) {
        CPaintControl* ctrl = ControlOf(dialog);
        HWND bar = ::GetDlgItem(dialog, IDC_PNT_TOOLBAR);
        if (!ctrl || !bar || script.joinable())
            return false;
        const POINT textButton = ButtonPoint(bar, 52780);
        auto client = [&](int x, int y, int dx, int dy) {
            const CPoint c = ctrl->ImageToClient(CPoint(x, y)) + CPoint(dx, dy);
            POINT p = { c.x, c.y };
            ::ClientToScreen(ctrl->m_hWnd, &p);
            return p;
        };
        // The outside handles of the whole-picture frame, and where they go.
        const POINT bottomRight = client(160, 100, 2, 2), bottomRightTo = client(140, 70, 2, 2);
        const POINT topLeft = client(0, 0, -3, -3), topLeftTo = client(30, 20, -3, -3);
        script = std::thread([=, &frame, &typed, &alignment] {
            Click(textButton);
            ::Sleep(300);
            // The bar opens centred over the picture: out of the way with it.
            HWND textBar = ctrl->GetTextBar().m_hWnd;
            ::SetWindowPos(textBar, NULL, 0, ::GetSystemMetrics(SM_CYSCREEN) - 160, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            Key('X');   // the picture still has the focus
            Send(bottomRight, 0);
            Send(bottomRight, MOUSEEVENTF_LEFTDOWN);
            Send(bottomRightTo, 0);
            Send(bottomRightTo, MOUSEEVENTF_LEFTUP);
            Send(topLeft, 0);
            Send(topLeft, MOUSEEVENTF_LEFTDOWN);
            Send(topLeftTo, 0);
            Send(topLeftTo, MOUSEEVENTF_LEFTUP);
            Key('W');
            Key('M');
            Click(CentreOf(::GetDlgItem(textBar, IDC_PNT_TEXT_BOLD)));
            Click(CentreOf(::GetDlgItem(textBar, IDC_PNT_TEXT_ALIGN_RIGHT)));
            ::SendMessageA(dialog, WM_NULL, 0, 0);   // everything before is handled
            frame = ctrl->GetSelection();
            typed = ctrl->GetText();
            alignment = ctrl->GetTextAlignment();
            ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        });
        return true;
    });
    EXPECT_TRUE(EditShapeImage(settings, &shape));
    if (script.joinable())
        script.join();
    EXPECT_EQ("xwm", typed) << "the first character, typed on the picture, is kept";
    EXPECT_EQ(2, alignment);
    ASSERT_GE(frame.left, 28) << frame.left << "," << frame.top << "," << frame.right << "," << frame.bottom;
    ASSERT_LE(frame.left, 32);
    ASSERT_GE(frame.right, 138);
    ASSERT_LE(frame.right, 142);

    CPaintControl check(CPaintControl::kCatalogue);
    ASSERT_TRUE(check.SetImage(&shape.m_image));
    int ink = 0, inkRight = -1, outside = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 160; ++x) {
            const COLORREF c = check.GetImage().GetPixel(x, y);
            if ((x == 0 && y == 0) || c == RGB(255, 255, 255))
                continue;
            if (frame.PtInRect(CPoint(x, y))) {
                ++ink;
                inkRight = std::max(inkRight, x);
            } else {
                ++outside;
            }
        }
    EXPECT_GT(ink, 0) << "the text is drawn";
    EXPECT_EQ(0, outside) << "nothing outside the frame";
    EXPECT_GT(inkRight, (frame.left + frame.right) / 2) << "right-aligned text ends in the frame's right half";

    LOGFONT stored;
    ASSERT_TRUE(CPntTextFmtBar::ParseFont(app.GetProfileString("Text Tool", "Font", ""), &stored));
    EXPECT_EQ(700, stored.lfWeight);
    EXPECT_EQ(2, (int)app.GetProfileInt("Text Tool", "Alignment", -1));
}

// The recorder's tip about the text tool shows the first time the text bar
// opens over the edit dialog, once per run, and never again after the user
// unticks "show again".
TEST(EditShapeImage, TextTipShowsOnceAndNeverAfterUnticking)
{
    for (bool untick : { true, false }) {
        CRecorderPrefs prefs(NULL);
        prefs.m_flags = 0;
        int tips = 0;
        for (int run = 0; run < 2; ++run) {
            CDataShapeObject shape;
            MakePicture(shape.m_image, 64, 48);
            CPntEditSettings settings;
            settings.prefs = &prefs;
            int stage = 0;
            DWORD textChosenAt = 0;
            uitest::ModalAnswerer answerer([&](HWND dialog) {
                char caption[128] = "";
                ::GetWindowTextA(dialog, caption, sizeof(caption));
                if (std::string(caption) == "Skorvale 录像器提示") {
                    ++tips;
                    if (untick)
                        ::CheckDlgButton(dialog, IDC_TIP_SHOW_AGAIN, BST_UNCHECKED);
                    stage = 2;
                    return uitest::ModalAnswerer::Press(dialog, IDOK);
                }
                if (std::string(caption) != "编辑图像")
                    return false;
                HWND bar = ::GetDlgItem(dialog, IDC_PNT_TOOLBAR);
                CPaintControl* ctrl = ControlOf(dialog);
                if (stage == 0 && bar && ctrl) {
                    // Text tool, another tool, text again: the bar opens once.
                    ::SendMessageA(bar, WM_COMMAND, 52780, 0);
                    ::SendMessageA(bar, WM_COMMAND, 52784, 0);
                    ::SendMessageA(bar, WM_COMMAND, 52780, 0);
                    textChosenAt = ::GetTickCount();
                    stage = 1;
                    return true;
                }
                if (stage == 2 || (stage == 1 && ::GetTickCount() - textChosenAt > 800))
                    return uitest::ModalAnswerer::Press(dialog, IDOK);
                return false;
            });
            EditShapeImage(settings, &shape);
        }
        EXPECT_EQ(untick ? 1 : 2, tips) << (untick ? "unticked" : "kept ticked");
        EXPECT_EQ(untick, (prefs.m_flags & kFlagNoTextToolTip) != 0);
    }
}
