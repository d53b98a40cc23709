#include "painter/PntBitmapSizeDlg.h"
#include "painter/PntIconEditDlg.h"

#include "resources/ids_painter.h"

#include "UiTestSupport.h"

#include <gtest/gtest.h>

#include <string>
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
