#include "painter/PntBitmapSizeDlg.h"
#include "painter/PntIconEditDlg.h"
#include "painter/PntToolBar.h"

#include "resources/ids_painter.h"

#include "UiTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kWhite = RGB(255, 255, 255);

std::string ComboText(HWND dialog)
{
    char text[64] = "";
    ::GetDlgItemTextA(dialog, IDC_PNT_SIZE_DEPTH, text, sizeof(text));
    return text;
}

std::vector<COLORREF> AllPixels(CDIBSection& image)
{
    std::vector<COLORREF> all;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            all.push_back(image.GetPixel(x, y));
    return all;
}

}  // namespace

TEST(PntBitmapSizeDlg, DepthsMapToTheComboAndBadSizesAreRefused)
{
    const struct { int bits; int index; const char* text; } depths[] = {
        { 1, 0, "单色" }, { 4, 1, "16 色" }, { 8, 2, "256 色" }, { 16, 3, "高颜色" },
        { 24, 4, "真彩色" }, { 32, 5, "32 位色" }, { 2, 2, "256 色" },
    };
    for (const auto& d : depths) {
        CPntBitmapSizeDlg dlg(NULL);
        dlg.SetValues(30, 20, d.bits);
        EXPECT_EQ(d.index, dlg.m_depthIndex) << d.bits;
        std::string shown;
        uitest::ModalAnswerer answerer([&](HWND h) {
            shown = ComboText(h);
            return uitest::ModalAnswerer::Press(h, IDCANCEL);
        });
        EXPECT_EQ(IDCANCEL, dlg.DoModal());
        EXPECT_EQ(d.text, shown) << d.bits << " bits";
    }
    EXPECT_EQ(8, CPntBitmapSizeDlg::BitsForIndex(9));

    // Width 0 is refused with a message; the dialog stays until 12 is typed.
    CPntBitmapSizeDlg dlg(NULL);
    dlg.SetValues(30, 20, 24);
    int step = 0;
    bool refused = false;
    uitest::ModalAnswerer answerer([&](HWND h) {
        char caption[64] = "";
        ::GetWindowTextA(h, caption, sizeof(caption));
        if (std::string(caption) != "输入位图尺寸") {
            refused = true;
            return uitest::ModalAnswerer::Press(h, IDOK);
        }
        if (step++ == 0) {
            ::SetDlgItemTextA(h, IDC_PNT_SIZE_WIDTH, "0");
        } else {
            ::SetDlgItemTextA(h, IDC_PNT_SIZE_WIDTH, "12");
        }
        ::PostMessageA(h, WM_COMMAND, IDOK, 0);
        return step >= 2;
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_TRUE(refused) << "a width of 0 is refused with a message";
    EXPECT_EQ(12, dlg.m_width);
    EXPECT_EQ(24, dlg.GetBits());
}

TEST(PntBitmapSizeDlg, CropDisablesTheSizeFields)
{
    CPntBitmapSizeDlg dlg(NULL);
    dlg.SetValues(30, 20, 8);
    dlg.m_cropAllowed = TRUE;
    dlg.m_crop = TRUE;
    BOOL widthEnabled = TRUE, heightEnabled = TRUE, cropEnabled = FALSE;
    BOOL widthAfterUntick = FALSE;
    uitest::ModalAnswerer answerer([&](HWND h) {
        widthEnabled = ::IsWindowEnabled(::GetDlgItem(h, IDC_PNT_SIZE_WIDTH));
        heightEnabled = ::IsWindowEnabled(::GetDlgItem(h, IDC_PNT_SIZE_HEIGHT));
        cropEnabled = ::IsWindowEnabled(::GetDlgItem(h, IDC_PNT_SIZE_CROP));
        ::SendDlgItemMessageA(h, IDC_PNT_SIZE_CROP, BM_CLICK, 0, 0);
        widthAfterUntick = ::IsWindowEnabled(::GetDlgItem(h, IDC_PNT_SIZE_WIDTH));
        return uitest::ModalAnswerer::Press(h, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_FALSE(widthEnabled);
    EXPECT_FALSE(heightEnabled);
    EXPECT_TRUE(cropEnabled);
    EXPECT_TRUE(widthAfterUntick);
}

TEST(PaintControlCrop, ResizeCropAndAFailedCropThatTakesItsSnapshotBack)
{
    CPntCtrl ctrl;
    ASSERT_TRUE(ctrl.CreateImage(20, 16, 1, 24));
    ASSERT_TRUE(ctrl.GetImage().DrawDot(5, 4, 1, kRed));
    ASSERT_TRUE(ctrl.GetImage().DrawDot(19, 15, 1, kBlue));

    // Resize to 100 x 80: the old pixels stay at the corner, the rest is white.
    {
        uitest::ModalAnswerer answerer([&](HWND h) {
            ::SetDlgItemTextA(h, IDC_PNT_SIZE_WIDTH, "100");
            ::SetDlgItemTextA(h, IDC_PNT_SIZE_HEIGHT, "80");
            return uitest::ModalAnswerer::Press(h, IDOK);
        });
        ASSERT_TRUE(ctrl.Crop());
    }
    EXPECT_EQ(CSize(100, 80), ctrl.GetImage().GetSize());
    EXPECT_EQ(kRed, ctrl.GetImage().GetPixel(5, 4));
    EXPECT_EQ(kBlue, ctrl.GetImage().GetPixel(19, 15));
    EXPECT_EQ(kWhite, ctrl.GetImage().GetPixel(99, 79));
    EXPECT_EQ(1, ctrl.GetHistoryCount());

    // Crop to the selection: the dialog offers it ticked.
    ctrl.SetTrackerShown(TRUE);
    ctrl.SetSelection(CRect(5, 4, 20, 16));
    {
        BOOL ticked = FALSE;
        uitest::ModalAnswerer answerer([&](HWND h) {
            ticked = ::IsDlgButtonChecked(h, IDC_PNT_SIZE_CROP) == BST_CHECKED;
            return uitest::ModalAnswerer::Press(h, IDOK);
        });
        ASSERT_TRUE(ctrl.Crop());
        EXPECT_TRUE(ticked);
    }
    EXPECT_EQ(CSize(15, 12), ctrl.GetImage().GetSize());
    EXPECT_EQ(kRed, ctrl.GetImage().GetPixel(0, 0));
    EXPECT_EQ(kBlue, ctrl.GetImage().GetPixel(14, 11));
    EXPECT_EQ(CRect(0, 0, 15, 12), ctrl.GetSelection());
    EXPECT_EQ(2, ctrl.GetHistoryCount());

    // A failed resize keeps picture and history.
    const std::vector<COLORREF> before = AllPixels(ctrl.GetImage());
    {
        uitest::ModalAnswerer answerer([&](HWND h) {
            ::SetDlgItemTextA(h, IDC_PNT_SIZE_WIDTH, "40");
            CDIBSection::FailSectionCreationsForTest(1, 1);   // the snapshot is made, the new canvas is not
            return uitest::ModalAnswerer::Press(h, IDOK);
        });
        EXPECT_FALSE(ctrl.Crop());
    }
    CDIBSection::FailSectionCreationsForTest(0);
    EXPECT_EQ(CSize(15, 12), ctrl.GetImage().GetSize());
    EXPECT_EQ(before, AllPixels(ctrl.GetImage()));
    EXPECT_EQ(2, ctrl.GetHistoryCount()) << "the failed crop's snapshot is taken back";

    // Cancel changes nothing.
    {
        uitest::ModalAnswerer answerer([&](HWND h) { return uitest::ModalAnswerer::Press(h, IDCANCEL); });
        EXPECT_FALSE(ctrl.Crop());
    }
    EXPECT_EQ(2, ctrl.GetHistoryCount());
}

TEST(PntIconEditDlg, AThirtyTwoBitIconIsEditedAsEightBitsWithItsMask)
{
    // A 32 x 32 32-bit icon: red with a blue pixel; the mask's right half is transparent.
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = 32;
    bi.bmiHeader.biHeight = 32;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = NULL;
    HBITMAP colour = ::CreateDIBSection(NULL, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    ASSERT_NE(nullptr, colour);
    HBITMAP mask = ::CreateBitmap(32, 32, 1, 1, NULL);
    {
        HDC dc = ::CreateCompatibleDC(NULL);
        HGDIOBJ old = ::SelectObject(dc, colour);
        HBRUSH red = ::CreateSolidBrush(kRed);
        RECT all = { 0, 0, 32, 32 };
        ::FillRect(dc, &all, red);
        ::DeleteObject(red);
        ::SetPixelV(dc, 3, 3, kBlue);
        ::SelectObject(dc, mask);
        ::PatBlt(dc, 0, 0, 32, 32, BLACKNESS);
        ::PatBlt(dc, 16, 0, 16, 32, WHITENESS);
        ::SelectObject(dc, old);
        ::DeleteDC(dc);
    }
    CPntIconEditDlg dlg(NULL);
    EXPECT_EQ(1, dlg.SetIcon(colour, mask));
    CDIBSection& image = dlg.GetPaintCtrl().GetImage();
    EXPECT_EQ(8, image.GetBitCount());
    const COLORREF key = dlg.GetPaintCtrl().GetTransparentColor();
    EXPECT_EQ(0xC0C0C0u, key) << "light grey, the last unused editor colour";
    EXPECT_EQ(kBlue, image.GetPixel(3, 3));
    EXPECT_EQ(kRed, image.GetPixel(15, 20));
    EXPECT_EQ(key, image.GetPixel(16, 20));

    int zoom = 0;
    int magnify = 0, pen = -1;
    uitest::ModalAnswerer answerer([&](HWND h) {
        zoom = dlg.GetPaintCtrl().GetZoomPercent();
        HWND bar = ::GetDlgItem(h, IDC_PNT_TOOLBAR);
        magnify = (int)::SendMessageA(bar, TB_COMMANDTOINDEX, 52774, 0);
        pen = (int)::SendMessageA(bar, TB_COMMANDTOINDEX, 52784, 0);
        return uitest::ModalAnswerer::Press(h, IDOK);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(700, zoom);
    EXPECT_EQ(-1, magnify) << "the icon editor's bar has no view buttons";
    EXPECT_GE(pen, 0);
    ::DeleteObject(colour);
    ::DeleteObject(mask);
}

namespace {

// A paint control and its tool bar on a window of their own.
class ToolBarListsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_host = ::CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 200, 200, 520, 420, NULL, NULL, NULL,
                                   NULL);
        ASSERT_TRUE(m_host != NULL);
        ASSERT_TRUE(m_ctrl.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 300, 300), CWnd::FromHandle(m_host),
                                  IDC_PNT_CTRL));
        ASSERT_TRUE(m_bar.Create(CWnd::FromHandle(m_host), &m_ctrl, IDC_PNT_TOOLBAR, 0x50000010, FALSE));
        m_bar.MoveWindow(310, 0, 200, 400);
    }
    void TearDown() override
    {
        m_bar.DestroyWindow();
        m_ctrl.DestroyWindow();
        ::DestroyWindow(m_host);
    }
    void Choose(UINT id, UINT code, int value)
    {
        NMCOOLCOMBO nm = {};
        nm.hdr.hwndFrom = ::GetDlgItem(m_bar.m_hWnd, id);
        nm.hdr.idFrom = id;
        nm.hdr.code = code;
        nm.value = value;
        m_bar.SendMessage(WM_NOTIFY, id, (LPARAM)&nm);
    }

    HWND m_host = NULL;
    CPaintControl m_ctrl{ CPaintControl::kCatalogue };
    CPntToolBar m_bar;
};

}  // namespace

// Each embedded control lies on its place of the bar, inside the bar.
TEST_F(ToolBarListsTest, ListsAndPickersSitOnTheirPlaces)
{
    for (UINT id : { 52786u, 52787u, 52795u, 52796u }) {
        HWND child = ::GetDlgItem(m_bar.m_hWnd, id);
        ASSERT_TRUE(child != NULL) << id;
        EXPECT_TRUE(::IsWindowVisible(child)) << id;
        RECT place = {};
        ::SendMessageA(m_bar.m_hWnd, TB_GETITEMRECT, ::SendMessageA(m_bar.m_hWnd, TB_COMMANDTOINDEX, id, 0),
                       (LPARAM)&place);
        RECT r = {};
        ::GetWindowRect(child, &r);
        ::MapWindowPoints(NULL, m_bar.m_hWnd, (POINT*)&r, 2);
        EXPECT_EQ(place.left, r.left) << id;
        EXPECT_EQ(place.top, r.top) << id;
    }
}

// The pickers offer the image's colours when it has at most 16; the lists
// show the control's widths and set them.
TEST_F(ToolBarListsTest, PickersFollowTheImagesColoursAndListsTheWidths)
{
    const struct { int bits; size_t fore; size_t transparent; } depths[] = {
        { 1, 2, 2 }, { 4, 16, 16 }, { 8, 40, 16 }, { 24, 40, 16 },
    };
    for (const auto& d : depths) {
        ASSERT_TRUE(m_ctrl.CreateImage(8, 8, 1, d.bits)) << d.bits;
        m_bar.UpdateButtons();
        EXPECT_EQ(d.fore, m_bar.GetForePicker().GetColourTable().size()) << d.bits;
        EXPECT_EQ(d.transparent, m_bar.GetTransparentPicker().GetColourTable().size()) << d.bits;
        if (d.fore <= 16)
            for (size_t i = 0; i < d.fore; ++i)
                EXPECT_EQ(CPntToolBar::kNamedColours[i].colour, m_bar.GetForePicker().GetColourTable()[i].colour);
    }

    const struct { int pen, penIndex, eraser, eraserIndex; } widths[] = {
        { 1, 0, 4, 0 }, { 3, 2, 8, 2 }, { 5, 4, 10, 3 }, { 7, -1, 5, -1 },
    };
    for (const auto& w : widths) {
        m_ctrl.SetPenWidth(w.pen);
        m_ctrl.SetEraserWidth(w.eraser);
        m_bar.UpdateButtons();
        EXPECT_EQ(w.penIndex, m_bar.GetPenList().GetCurSel()) << w.pen;
        EXPECT_EQ(w.eraserIndex, m_bar.GetEraserList().GetCurSel()) << w.eraser;
    }

    Choose(52787, CCN_ITEMCHOSEN, 3);
    EXPECT_EQ(4, m_ctrl.GetPenWidth());
    Choose(52786, CCN_ITEMCHOSEN, 1);
    EXPECT_EQ(6, m_ctrl.GetEraserWidth());
    Choose(52787, CCN_ITEMCHOSEN, 9);   // outside the list: nothing
    EXPECT_EQ(4, m_ctrl.GetPenWidth());
    Choose(52795, CCN_ITEMCHOSEN, (int)kRed);
    EXPECT_EQ(kRed, m_ctrl.GetForeColor());
    Choose(52795, CCN_DEFAULTCHOSEN, -1);
    EXPECT_EQ(RGB(0, 0, 0), m_ctrl.GetForeColor()) << "no colour for drawing is black";
    Choose(52796, CCN_ITEMCHOSEN, (int)kBlue);
    EXPECT_EQ(kBlue, m_ctrl.GetTransparentColor());
    Choose(52796, CCN_DEFAULTCHOSEN, -1);
    EXPECT_EQ(CPaintControl::kNoColour, m_ctrl.GetTransparentColor());
}

// A click on the pen list's face, with the mouse, takes the next width.
TEST_F(ToolBarListsTest, AClickOnThePenListTakesTheNextWidth)
{
    ASSERT_TRUE(m_ctrl.CreateImage(8, 8, 1, 24));
    m_ctrl.SetPenWidth(2);
    m_bar.UpdateButtons();
    CCoolCombo& list = m_bar.GetPenList();
    ASSERT_TRUE(list.IsWindowEnabled());
    const CRect face = list.GetFaceRect();
    POINT p = { (face.left + face.right) / 2, (face.top + face.bottom) / 2 };
    ::ClientToScreen(list.m_hWnd, &p);
    std::thread click([p] {
        for (DWORD flags : { 0ul, (unsigned long)MOUSEEVENTF_LEFTDOWN, (unsigned long)MOUSEEVENTF_LEFTUP }) {
            INPUT in = {};
            in.type = INPUT_MOUSE;
            in.mi.dx = (LONG)(((LONGLONG)p.x * 65535) / (::GetSystemMetrics(SM_CXSCREEN) - 1));
            in.mi.dy = (LONG)(((LONGLONG)p.y * 65535) / (::GetSystemMetrics(SM_CYSCREEN) - 1));
            in.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | flags;
            ::SendInput(1, &in, sizeof(INPUT));
            ::Sleep(80);
        }
    });
    const bool changed = uitest::PumpUntil([&] { return m_ctrl.GetPenWidth() == 3; }, 3000);
    click.join();
    EXPECT_TRUE(changed) << "pen width " << m_ctrl.GetPenWidth();
    EXPECT_EQ(2, list.GetCurSel());
}

// Each drawing tool shows its own cursor from the program's resources.
TEST_F(ToolBarListsTest, EachToolShowsItsCursor)
{
    ASSERT_TRUE(m_ctrl.CreateImage(32, 32, 1, 24));
    const struct { int tool; UINT cursor; } rows[] = {
        { 3, 28148 }, { 4, 28150 }, { 5, 28147 }, { 6, 28151 }, { 7, 28146 }, { 8, 28145 }, { 10, 28149 },
        { 11, 28145 }, { 12, 28145 }, { 13, 28145 }, { 14, 28145 }, { 15, 28145 }, { 16, 28145 },
    };
    RECT r = {};
    ::GetWindowRect(m_ctrl.m_hWnd, &r);
    ::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    for (const auto& row : rows) {
        const HCURSOR expected = ::LoadCursorA(::GetModuleHandleA(NULL), MAKEINTRESOURCEA(row.cursor));
        ASSERT_TRUE(expected != NULL) << row.cursor;
        m_ctrl.SetTool(row.tool);
        ::SetCursor(NULL);
        m_ctrl.SendMessage(WM_SETCURSOR, (WPARAM)m_ctrl.m_hWnd, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(expected, ::GetCursor()) << "tool " << row.tool;
    }
}

// The tips of the buttons and embedded controls: the catalogue's names, the
// recorder's strings; the request is answered in both character sets.
TEST(PntToolBarTips, ButtonsAndControlsHaveTheirVariantsTexts)
{
    HWND host = ::CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 200, 200, 520, 420, NULL, NULL, NULL,
                                  NULL);
    ASSERT_TRUE(host != NULL);
    const struct {
        CPaintControl::Variant variant;
        const char* caption;
        const char* cut;
        const char* filledEllipse;
        const char* penWidthButton;
    } rows[] = {
        { CPaintControl::kCatalogue, "工具", "Cut", "Filled Ellipse", "Pen Width" },
        { CPaintControl::kRecorder, "工具", "剪切", "实心椭圆", "钢笔宽度" },
    };
    for (const auto& row : rows) {
        CPaintControl ctrl(row.variant);
        ASSERT_TRUE(ctrl.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 300, 300), CWnd::FromHandle(host), IDC_PNT_CTRL));
        CPntToolBar bar;
        ASSERT_TRUE(bar.Create(CWnd::FromHandle(host), &ctrl, IDC_PNT_TOOLBAR, 0x50000010, FALSE));
        char caption[32] = "";
        ::GetWindowTextA(bar.m_hWnd, caption, sizeof(caption));
        EXPECT_STREQ(row.caption, caption);
        EXPECT_STREQ(row.cut, (const char*)bar.TipFor(52768));
        EXPECT_STREQ(row.filledEllipse, (const char*)bar.TipFor(52794));
        EXPECT_TRUE(bar.TipFor(52797).IsEmpty()) << "outside the table";

        NMTTDISPINFOA a = {};
        a.hdr.hwndFrom = (HWND)bar.SendMessage(TB_GETTOOLTIPS);
        a.hdr.idFrom = 52768;
        a.hdr.code = TTN_NEEDTEXTA;
        bar.SendMessage(WM_NOTIFY, 0, (LPARAM)&a);
        EXPECT_STREQ(row.cut, a.lpszText);
        // An embedded control under the cursor: the name of its place.
        NMTTDISPINFOW w = {};
        w.hdr.hwndFrom = a.hdr.hwndFrom;
        w.hdr.idFrom = (UINT_PTR)::GetDlgItem(bar.m_hWnd, 52787);
        w.hdr.code = TTN_NEEDTEXTW;
        w.uFlags = TTF_IDISHWND;
        bar.SendMessage(WM_NOTIFY, 0, (LPARAM)&w);
        char back[96] = "";
        ::WideCharToMultiByte(CP_ACP, 0, w.lpszText, -1, back, sizeof(back), NULL, NULL);
        EXPECT_STREQ(row.penWidthButton, back);
        bar.DestroyWindow();
        ctrl.DestroyWindow();
    }
    ::DestroyWindow(host);
}
