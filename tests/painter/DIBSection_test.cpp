#include "painter/DIBSection.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kGreen = RGB(0, 255, 0);

using PixelSet = std::set<std::pair<int, int>>;

// Every pixel of the image that has the colour.
PixelSet PixelsOf(CDIBSection& image, COLORREF colour)
{
    PixelSet found;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            if (image.GetPixel(x, y) == colour)
                found.insert({ x, y });
    return found;
}

PixelSet Box(int left, int top, int right, int bottom)   // inclusive corners
{
    PixelSet box;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            box.insert({ x, y });
    return box;
}

PixelSet Frame(int left, int top, int right, int bottom)
{
    PixelSet frame;
    for (const auto& p : Box(left, top, right, bottom))
        if (p.first == left || p.first == right || p.second == top || p.second == bottom)
            frame.insert(p);
    return frame;
}

std::vector<COLORREF> AllPixels(CDIBSection& image)
{
    std::vector<COLORREF> all;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            all.push_back(image.GetPixel(x, y));
    return all;
}

// The default table as its rules state it, computed independently.
std::vector<PALETTEENTRY> ExpectedDefaultTable()
{
    std::vector<PALETTEENTRY> t;
    auto add = [&](int r, int g, int b) { t.push_back(PALETTEENTRY{ (BYTE)r, (BYTE)g, (BYTE)b, 0 }); };
    add(0, 0, 0); add(128, 0, 0); add(0, 128, 0); add(128, 128, 0); add(0, 0, 128);
    add(128, 0, 128); add(0, 128, 128); add(192, 192, 192); add(192, 220, 192); add(166, 202, 240);
    const int levels[6] = { 0, 44, 86, 135, 192, 255 };
    for (int b : levels)
        for (int g : levels)
            for (int r : levels) {
                if ((r == 0 && g == 0 && b == 0) || (r == 192 && g == 192 && b == 192) ||
                    (r == 0 && g == 255 && b == 255))
                    continue;
                add(r, g, b);
            }
    for (int v : { 17, 24, 30, 37, 44, 52, 60, 68, 77, 86, 95, 105, 114, 125, 146, 157, 168, 180, 204, 216, 229, 242 })
        add(v, v, v);
    add(255, 255, 255); add(255, 251, 240); add(160, 160, 164); add(128, 128, 128); add(255, 0, 0);
    add(0, 255, 0); add(255, 255, 0); add(0, 0, 255); add(255, 0, 255); add(0, 255, 255); add(255, 255, 255);
    return t;
}

bool SameEntry(const PALETTEENTRY& a, const PALETTEENTRY& b)
{
    return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue;
}

class DIBSectionDepth : public ::testing::TestWithParam<int> {};

}  // namespace

TEST(DIBSection, DefaultPaletteFollowsItsRules)
{
    const std::vector<PALETTEENTRY> table = ExpectedDefaultTable();
    ASSERT_EQ(256u, table.size());

    struct Case { int asked; int entries; } cases[] = {
        { 1, 2 }, { 2, 2 }, { 3, 16 }, { 16, 16 }, { 17, 256 }, { 0, 256 }, { -5, 256 }, { 256, 256 }, { 300, 256 },
    };
    for (const auto& c : cases) {
        CPalette palette;
        ASSERT_TRUE(CDIBSection::MakeDefaultPalette(palette, c.asked)) << "size " << c.asked;
        ASSERT_EQ(c.entries, palette.GetEntryCount()) << "size " << c.asked;
        std::vector<PALETTEENTRY> got(c.entries);
        palette.GetPaletteEntries(0, c.entries, got.data());
        for (int i = 0; i < c.entries; ++i) {
            int source = i;
            if (c.entries == 2)
                source = i == 0 ? 0 : 255;
            else if (c.entries == 16)
                source = i < 8 ? i : 248 + (i - 8);
            EXPECT_TRUE(SameEntry(table[source], got[i])) << "size " << c.asked << " entry " << i;
        }
    }
}

TEST(DIBSection, ColourCountsAndDeepImagesHaveNoColourTable)
{
    const struct { int bits; UINT colours; } counts[] = { { 1, 2 }, { 4, 16 }, { 8, 256 }, { 16, 0 }, { 24, 0 }, { 32, 0 }, { 2, 0 } };
    for (const auto& c : counts)
        EXPECT_EQ(c.colours, CDIBSection::ColorCountForBits(c.bits)) << c.bits << " bits";

    CDIBSection deep;
    ASSERT_TRUE(deep.Create(4, 4, 1, 24));
    EXPECT_EQ(0u, deep.GetColorCount());
    ASSERT_NE(nullptr, deep.GetPalette());
    EXPECT_EQ(256, deep.GetPalette()->GetEntryCount());
    RGBQUAD quad = { 1, 2, 3, 0 };
    EXPECT_FALSE(deep.SetHeaderColors(1, &quad));
    EXPECT_FALSE(deep.SetSectionColors(1, &quad));

    CDIBSection indexed;
    ASSERT_TRUE(indexed.Create(4, 4, 1, 4));
    EXPECT_EQ(16u, indexed.GetColorCount());
    EXPECT_EQ(16, indexed.GetPalette()->GetEntryCount());
    EXPECT_TRUE(indexed.SetSectionColors(1, &quad));
    EXPECT_FALSE(indexed.SetHeaderColors(0, &quad));
    EXPECT_FALSE(indexed.SetHeaderColors(1, nullptr));
}

TEST(DIBSection, CreateRefusesSizesBelowOneAndKeepsTheImage)
{
    CDIBSection image;
    ASSERT_TRUE(image.Create(5, 3, 1, 24));
    EXPECT_EQ(48u, image.GetImageSize());   // 3 rows of 15 bytes padded to 16
    EXPECT_EQ(kWhite, image.GetPixel(4, 2)) << "a new image is white";
    ASSERT_TRUE(image.DrawDot(1, 1, 1, kRed));

    const struct { int w, h, bits; } refused[] = {
        { 0, 5, 24 }, { 5, 0, 24 }, { -4, 5, 24 }, { 5, -4, 24 }, { 5, 5, 7 }, { 100000, 100000, 32 },
    };
    for (const auto& r : refused) {
        EXPECT_FALSE(image.Create(r.w, r.h, 1, r.bits)) << r.w << "x" << r.h << "x" << r.bits;
        EXPECT_EQ(CSize(5, 3), image.GetSize()) << r.w << "x" << r.h;
        EXPECT_EQ(kRed, image.GetPixel(1, 1));
    }
    EXPECT_EQ(0x7FFFFFFFULL + 1, CDIBSection::ImageBytesFor(0x40000000, 2, 8)) << "byte counts do not wrap";
}

TEST_P(DIBSectionDepth, LinesIncludeBothEndsAndASelfLineIsOnePixel)
{
    CDIBSection image;
    ASSERT_TRUE(image.Create(16, 12, 1, GetParam()));

    ASSERT_TRUE(image.DrawLine(3, 4, 3, 4, 1, kRed));
    EXPECT_EQ(PixelSet({ { 3, 4 } }), PixelsOf(image, kRed));

    ASSERT_TRUE(image.DrawLine(2, 9, 10, 9, 1, kBlue));
    EXPECT_EQ(Box(2, 9, 10, 9), PixelsOf(image, kBlue)) << "horizontal line, both ends";

    ASSERT_TRUE(image.DrawLine(12, 6, 12, 1, 1, kGreen));
    EXPECT_EQ(Box(12, 1, 12, 6), PixelsOf(image, kGreen)) << "upward line, both ends";

    CDIBSection diagonal;
    ASSERT_TRUE(diagonal.Create(8, 8, 1, GetParam()));
    ASSERT_TRUE(diagonal.DrawLine(1, 1, 5, 5, 1, kRed));
    EXPECT_EQ(PixelSet({ { 1, 1 }, { 2, 2 }, { 3, 3 }, { 4, 4 }, { 5, 5 } }), PixelsOf(diagonal, kRed));
}

TEST_P(DIBSectionDepth, RectanglesCoverTheSamePixelsInAnyCornerOrder)
{
    const struct { int x1, y1, x2, y2; } orders[] = { { 2, 3, 9, 7 }, { 9, 7, 2, 3 }, { 9, 3, 2, 7 }, { 2, 7, 9, 3 } };
    for (const auto& o : orders) {
        CDIBSection image;
        ASSERT_TRUE(image.Create(14, 10, 1, GetParam()));
        ASSERT_TRUE(image.DrawRectangle(o.x1, o.y1, o.x2, o.y2, 1, kRed, FALSE, FALSE));
        EXPECT_EQ(Frame(2, 3, 9, 7), PixelsOf(image, kRed)) << "outline from " << o.x1 << "," << o.y1;

        CDIBSection filled;
        ASSERT_TRUE(filled.Create(14, 10, 1, GetParam()));
        ASSERT_TRUE(filled.DrawRectangle(o.x1, o.y1, o.x2, o.y2, 1, kBlue, TRUE, FALSE));
        // A filled rectangle is drawn without a pen, which GDI draws one
        // pixel short on the right and at the bottom.
        EXPECT_EQ(Box(2, 3, 8, 6), PixelsOf(filled, kBlue)) << "filled from " << o.x1 << "," << o.y1;
    }

    CDIBSection dot;
    ASSERT_TRUE(dot.Create(6, 6, 1, GetParam()));
    ASSERT_TRUE(dot.DrawRectangle(4, 2, 4, 2, 1, kRed, FALSE, TRUE));
    EXPECT_EQ(PixelSet({ { 4, 2 } }), PixelsOf(dot, kRed)) << "a one-point rectangle is one pixel";
}

TEST_P(DIBSectionDepth, EllipsesFillTheirBoundingBoxSymmetrically)
{
    CDIBSection image;
    ASSERT_TRUE(image.Create(24, 20, 1, GetParam()));
    ASSERT_TRUE(image.DrawEllipse(17, 15, 3, 2, 1, kRed, TRUE));
    const PixelSet ink = PixelsOf(image, kRed);
    ASSERT_FALSE(ink.empty());
    int left = 99, top = 99, right = -1, bottom = -1;
    for (const auto& p : ink) {
        left = std::min(left, p.first);
        right = std::max(right, p.first);
        top = std::min(top, p.second);
        bottom = std::max(bottom, p.second);
    }
    // Filled without a pen: inside (3, 2)-(17, 15) with the last column and row left out.
    EXPECT_GE(left, 3);
    EXPECT_GE(top, 2);
    EXPECT_LE(right, 17);
    EXPECT_LE(bottom, 15);
    EXPECT_GE(right - left, 12);
    EXPECT_GE(bottom - top, 11);
    for (const auto& p : ink) {
        EXPECT_TRUE(ink.count({ left + right - p.first, p.second })) << "mirror of " << p.first << "," << p.second;
        EXPECT_TRUE(ink.count({ p.first, top + bottom - p.second })) << "mirror of " << p.first << "," << p.second;
    }
    EXPECT_FALSE(ink.count({ left, top })) << "the corner of the box stays outside";
}

TEST_P(DIBSectionDepth, FloodFillStopsAtTheBorder)
{
    CDIBSection image;
    ASSERT_TRUE(image.Create(12, 12, 1, GetParam()));
    ASSERT_TRUE(image.DrawRectangle(2, 2, 8, 8, 1, kBlue, FALSE, FALSE));
    ASSERT_TRUE(image.FloodFill(5, 5, kRed));
    EXPECT_EQ(Box(3, 3, 7, 7), PixelsOf(image, kRed));
    EXPECT_EQ(Frame(2, 2, 8, 8), PixelsOf(image, kBlue));
    EXPECT_FALSE(image.FloodFill(12, 0, kRed)) << "a point outside the image";
}

INSTANTIATE_TEST_SUITE_P(Depths, DIBSectionDepth, ::testing::Values(8, 24),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param) + "bit"; });

TEST(DIBSection, ChangeFormatKeepsPixelsAtTheOriginAndWhitensTheRest)
{
    CDIBSection image;
    ASSERT_TRUE(image.Create(6, 4, 1, 24));
    ASSERT_TRUE(image.DrawDot(0, 0, 1, kRed));
    ASSERT_TRUE(image.DrawDot(5, 3, 1, kBlue));
    ASSERT_TRUE(image.DrawDot(2, 1, 1, kGreen));

    CDIBSection larger;
    ASSERT_TRUE(larger.CopyFrom(image));
    ASSERT_TRUE(larger.ChangeFormat(10, 8, 1, 24));
    EXPECT_EQ(CSize(10, 8), larger.GetSize());
    EXPECT_EQ(PixelSet({ { 0, 0 } }), PixelsOf(larger, kRed));
    EXPECT_EQ(PixelSet({ { 5, 3 } }), PixelsOf(larger, kBlue));
    EXPECT_EQ(10 * 8 - 3, (int)PixelsOf(larger, kWhite).size());

    CDIBSection cropped;
    ASSERT_TRUE(cropped.CopyFrom(image));
    const CPoint origin(2, 1);
    ASSERT_TRUE(cropped.ChangeFormat(4, 3, 1, 8, &origin));
    EXPECT_EQ(8, cropped.GetBitCount());
    EXPECT_EQ(PixelSet({ { 0, 0 } }), PixelsOf(cropped, kGreen));
    EXPECT_EQ(PixelSet({ { 3, 2 } }), PixelsOf(cropped, kBlue));

    CDIBSection sixteen;
    ASSERT_TRUE(sixteen.CopyFrom(image));
    ASSERT_TRUE(sixteen.ChangeFormat(6, 4, 1, 4));
    EXPECT_EQ(16u, sixteen.GetColorCount());
    EXPECT_EQ(kRed, sixteen.GetPixel(0, 0)) << "red is one of the 16 colours";
}

TEST(DIBSection, FailedCreationLeavesTheImageUnchanged)
{
    CDIBSection image;
    ASSERT_TRUE(image.Create(7, 5, 1, 24));
    ASSERT_TRUE(image.DrawLine(0, 0, 6, 4, 1, kRed));
    const std::vector<COLORREF> before = AllPixels(image);

    CDIBSection other;
    ASSERT_TRUE(other.Create(3, 3, 1, 8));

    CDIBSection::FailSectionCreationsForTest(1);
    EXPECT_FALSE(image.CopyFrom(other)) << "CopyFrom";
    CDIBSection::FailSectionCreationsForTest(1);
    EXPECT_FALSE(image.CreateFromInfo(other.GetBitmapInfo(), other.GetDIBits())) << "CreateFromInfo";
    CDIBSection::FailSectionCreationsForTest(1);
    EXPECT_FALSE(image.ChangeFormat(20, 20, 1, 24)) << "ChangeFormat";
    CDIBSection::FailSectionCreationsForTest(0);

    EXPECT_EQ(CSize(7, 5), image.GetSize());
    EXPECT_EQ(24, image.GetBitCount());
    EXPECT_EQ(before, AllPixels(image));

    EXPECT_FALSE(image.CopyFrom(CDIBSection())) << "an empty source";
    EXPECT_EQ(before, AllPixels(image));
}

TEST(DIBSection, CreateFromInfoCopiesRowsBySizeNotByTheHeadersByteCount)
{
    CDIBSection source;
    ASSERT_TRUE(source.Create(3, 2, 1, 24));
    ASSERT_TRUE(source.DrawDot(2, 1, 1, kBlue));

    BITMAPINFO info = *source.GetBitmapInfo();
    info.bmiHeader.biSizeImage = 0x7FFFFFF0;   // lies: far more than the pixels given
    std::vector<BYTE> bits(source.GetDIBits(), source.GetDIBits() + source.GetImageSize());
    CDIBSection copy;
    ASSERT_TRUE(copy.CreateFromInfo(&info, bits.data()));
    EXPECT_EQ(24u, copy.GetImageSize());   // 2 rows of 9 bytes padded to 12
    EXPECT_EQ(AllPixels(source), AllPixels(copy));

    const struct { LONG w, h; WORD bits; DWORD compression; } bad[] = {
        { 0, 2, 24, BI_RGB }, { 3, 0, 24, BI_RGB }, { 3, -2, 24, BI_RGB }, { 3, 2, 3, BI_RGB }, { 3, 2, 24, BI_RLE8 },
    };
    for (const auto& b : bad) {
        BITMAPINFO wrong = *source.GetBitmapInfo();
        wrong.bmiHeader.biWidth = b.w;
        wrong.bmiHeader.biHeight = b.h;
        wrong.bmiHeader.biBitCount = b.bits;
        wrong.bmiHeader.biCompression = b.compression;
        EXPECT_FALSE(copy.CreateFromInfo(&wrong, bits.data())) << b.w << "x" << b.h << "x" << b.bits;
        EXPECT_EQ(CSize(3, 2), copy.GetSize());
    }
    EXPECT_FALSE(copy.CreateFromInfo(nullptr, bits.data()));
}

TEST(DIBSection, CreateFromBitmapCopiesADeviceBitmap)
{
    HDC screen = ::GetDC(NULL);
    HBITMAP ddb = ::CreateCompatibleBitmap(screen, 5, 4);
    HDC mem = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(mem, ddb);
    RECT all = { 0, 0, 5, 4 };
    ::FillRect(mem, &all, (HBRUSH)::GetStockObject(WHITE_BRUSH));
    ::SetPixelV(mem, 4, 3, kRed);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::ReleaseDC(NULL, screen);

    CDIBSection image;
    ASSERT_TRUE(image.CreateFromBitmap(ddb));
    ::DeleteObject(ddb);
    EXPECT_EQ(CSize(5, 4), image.GetSize());
    EXPECT_EQ(PixelSet({ { 4, 3 } }), PixelsOf(image, kRed));
    EXPECT_FALSE(image.CreateFromBitmap(NULL));
    EXPECT_EQ(CSize(5, 4), image.GetSize());
}

TEST(DIBSection, DrawTransparentLeavesTheKeyColourOut)
{
    CDIBSection sprite;
    ASSERT_TRUE(sprite.Create(4, 3, 1, 24));
    CRect all(0, 0, 5, 4);
    ASSERT_TRUE(sprite.FillRect(&all, kGreen));   // the key colour
    ASSERT_TRUE(sprite.DrawDot(1, 1, 1, kRed));
    ASSERT_TRUE(sprite.DrawDot(3, 2, 1, kBlue));

    const struct { COLORREF key; int bits; } cases[] = { { kGreen, 24 }, { kGreen, 8 }, { 0xFFFFFFFF, 24 } };
    for (const auto& c : cases) {
        CDIBSection target;
        ASSERT_TRUE(target.Create(8, 6, 1, c.bits));
        CDC* dc = target.GetMemDC();
        ASSERT_NE(nullptr, dc);
        EXPECT_TRUE(sprite.DrawTransparent(dc, 2, 2, c.key));
        target.ReleaseMemDC();
        EXPECT_EQ(PixelSet({ { 3, 3 } }), PixelsOf(target, kRed)) << "key " << std::hex << c.key << " " << c.bits;
        EXPECT_EQ(PixelSet({ { 5, 4 } }), PixelsOf(target, kBlue)) << "key " << std::hex << c.key << " " << c.bits;
        const size_t green = PixelsOf(target, kGreen).size();
        if (c.key == 0xFFFFFFFF)
            EXPECT_EQ(10u, green) << "without a key the draw is opaque";
        else
            EXPECT_EQ(0u, green) << "key pixels left out, " << c.bits << " bits";
    }
}

TEST(DIBSection, DrawTextInkStaysInItsRectangle)
{
    CDIBSection image;
    ASSERT_TRUE(image.Create(80, 40, 1, 24));
    CRect rect(50, 30, 10, 5);   // reversed corners are ordered
    EXPECT_TRUE(image.DrawTextIn("", rect, DT_LEFT, kRed));
    EXPECT_TRUE(PixelsOf(image, kRed).empty()) << "an empty text draws nothing";

    EXPECT_TRUE(image.DrawTextIn("Wg", rect, DT_LEFT | DT_TOP, kRed));
    const PixelSet ink = PixelsOf(image, kRed);
    EXPECT_FALSE(ink.empty());
    for (const auto& p : ink) {
        EXPECT_GE(p.first, 10);
        EXPECT_LT(p.first, 50);
        EXPECT_GE(p.second, 5);
        EXPECT_LT(p.second, 30);
    }
}

TEST(DIBSection, EmptyImageRefusesEverything)
{
    CDIBSection empty;
    CRect r(0, 0, 2, 2);
    EXPECT_FALSE(empty.DrawDot(0, 0, 1, kRed));
    EXPECT_FALSE(empty.DrawLine(0, 0, 1, 1, 1, kRed));
    EXPECT_FALSE(empty.FillRect(&r, kRed));
    EXPECT_FALSE(empty.FloodFill(0, 0, kRed));
    EXPECT_EQ(CLR_INVALID, empty.GetPixel(0, 0));
    EXPECT_FALSE(empty.ChangeFormat(4, 4, 1, 24));
    EXPECT_FALSE(empty.CopyToClipboard());
    EXPECT_EQ(nullptr, empty.GetMemDC());
}

// The tests below use the system clipboard.

TEST(DIBSectionClipboard, CopyIsReadBackAsADib)
{
    CDIBSection image;
    ASSERT_TRUE(image.Create(10, 8, 1, 24));
    ASSERT_TRUE(image.DrawDot(3, 2, 1, kRed));
    ASSERT_TRUE(image.DrawDot(6, 5, 1, kBlue));
    CRect part(3, 2, 7, 6);
    ASSERT_TRUE(image.CopyToClipboard(&part));
    EXPECT_EQ((UINT)CF_BITMAP, CDIBSection::CanPaste());
    EXPECT_EQ(CSize(4, 4), CDIBSection::GetClipboardBitmapSize());

    ASSERT_TRUE(::OpenClipboard(NULL));
    HANDLE dib = ::GetClipboardData(CF_DIB);
    ASSERT_NE(nullptr, dib);
    const BITMAPINFOHEADER* hdr = static_cast<const BITMAPINFOHEADER*>(::GlobalLock(dib));
    ASSERT_NE(nullptr, hdr);
    EXPECT_EQ(4, hdr->biWidth);
    EXPECT_EQ(4, std::abs(hdr->biHeight));
    ASSERT_GE(hdr->biBitCount, 24);
    const BYTE* bits = reinterpret_cast<const BYTE*>(hdr) + hdr->biSize +
                       (hdr->biCompression == BI_BITFIELDS ? 12 : 0) + hdr->biClrUsed * sizeof(RGBQUAD);
    const int bytes = hdr->biBitCount / 8;
    const int stride = ((4 * hdr->biBitCount + 31) & ~31) / 8;
    auto pixel = [&](int x, int y) {
        const int row = hdr->biHeight > 0 ? 3 - y : y;
        const BYTE* p = bits + row * stride + x * bytes;
        return RGB(p[2], p[1], p[0]);
    };
    EXPECT_EQ(kRed, pixel(0, 0));
    EXPECT_EQ(kBlue, pixel(3, 3));
    EXPECT_EQ(kWhite, pixel(1, 2));
    ::GlobalUnlock(dib);
    ::CloseClipboard();
}

TEST(DIBSectionClipboard, CopyFailsWhileAnotherThreadHoldsTheClipboard)
{
    CDIBSection image;
    ASSERT_TRUE(image.Create(4, 4, 1, 24));

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
    EXPECT_FALSE(image.CopyToClipboard());
    ::SetEvent(done);
    holder.join();
    ::CloseHandle(opened);
    ::CloseHandle(done);
    EXPECT_TRUE(image.CopyToClipboard()) << "works again once the clipboard is free";
}

TEST(DIBSectionClipboard, PasteIntoASmallerRectangleChangesOnlyThatRectangle)
{
    CDIBSection source;
    ASSERT_TRUE(source.Create(6, 6, 1, 24));
    CRect all(0, 0, 7, 7);
    ASSERT_TRUE(source.FillRect(&all, kRed));
    ASSERT_TRUE(source.CopyToClipboard());

    CDIBSection image;
    ASSERT_TRUE(image.Create(10, 10, 1, 24));
    CRect dest(2, 3, 5, 5);
    ASSERT_TRUE(image.Paste(&dest));
    EXPECT_EQ(Box(2, 3, 4, 4), PixelsOf(image, kRed));

    CDIBSection keyed;
    ASSERT_TRUE(keyed.Create(10, 10, 1, 24));
    ASSERT_TRUE(source.DrawDot(0, 0, 1, kGreen));
    ASSERT_TRUE(source.CopyToClipboard());
    CRect wide(1, 1, 9, 9);
    ASSERT_TRUE(keyed.PasteTransparent(&wide, kGreen));
    PixelSet expected = Box(1, 1, 6, 6);
    expected.erase({ 1, 1 });   // the clipboard's own key pixel leaves the image alone
    EXPECT_EQ(expected, PixelsOf(keyed, kRed));
    EXPECT_TRUE(PixelsOf(keyed, kGreen).empty());
}

TEST(DIBSection, CopyIntoTheSameFormatReusesTheSection)
{
    CDIBSection source, copy;
    ASSERT_TRUE(source.Create(9, 7, 1, 8));
    ASSERT_TRUE(copy.Create(9, 7, 1, 8));
    RGBQUAD grey = { 90, 90, 90, 0 };
    ASSERT_TRUE(source.SetSectionColors(1, &grey));
    ASSERT_TRUE(source.SetHeaderColors(1, &grey));
    ASSERT_TRUE(source.DrawDot(4, 3, 1, kRed));
    const HBITMAP section = copy.GetSafeHandle();
    CDIBSection::FailSectionCreationsForTest(5);   // no section may be needed
    EXPECT_TRUE(copy.CopyFrom(source));
    CDIBSection::FailSectionCreationsForTest(0);
    EXPECT_EQ(section, copy.GetSafeHandle());
    EXPECT_EQ(AllPixels(source), AllPixels(copy));
    EXPECT_EQ(90, copy.GetColorTable()[0].rgbGreen) << "the colour table comes along";
    CDC* dc = copy.GetMemDC();
    ASSERT_NE(nullptr, dc);
    RGBQUAD inSection = {};
    EXPECT_EQ(1u, ::GetDIBColorTable(dc->m_hDC, 0, 1, &inSection));
    copy.ReleaseMemDC();
    EXPECT_EQ(90, inSection.rgbBlue) << "into the section too";
}
