#include "controls/RecolouredBitmap.h"

#include "ControlsTest.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

// Pixels of a bitmap as COLORREF, rows top-down, through a 32-bit DIB.
std::vector<COLORREF> Pixels(CBitmap& bitmap, int* w, int* h)
{
    BITMAP bm;
    bitmap.GetBitmap(&bm);
    *w = bm.bmWidth;
    *h = bm.bmHeight;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = -bm.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    std::vector<DWORD> raw((size_t)bm.bmWidth * bm.bmHeight);
    HDC dc = ::GetDC(NULL);
    ::GetDIBits(dc, (HBITMAP)bitmap.m_hObject, 0, bm.bmHeight, raw.data(), &bi, DIB_RGB_COLORS);
    ::ReleaseDC(NULL, dc);
    std::vector<COLORREF> out;
    for (DWORD p : raw)
        out.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
    return out;
}

TEST(RecolouredBitmap, LoadTintsEveryPixelButTheKeptColours)
{
    CBitmap bitmap;
    CDWordArray kept;
    kept.Add(RGB(255, 0, 255));
    ASSERT_TRUE(LoadRecolouredBitmap(bitmap, IDB_TEST_TINT, RGB(128, 64, 255), &kept));
    int w = 0, h = 0;
    const std::vector<COLORREF> px = Pixels(bitmap, &w, &h);
    ASSERT_EQ(4, w);
    ASSERT_EQ(2, h);
    // Top row: red, green, blue, white; bottom row: white, magenta, grey, black.
    struct Row { int index; COLORREF expected; };
    const Row rows[] = {
        { 0, RGB(128, 0, 0) },
        { 1, RGB(0, 64, 0) },
        { 2, RGB(0, 0, 255) },
        { 3, RGB(128, 64, 255) },        // white becomes the tint
        { 4, RGB(128, 64, 255) },
        { 5, RGB(255, 0, 255) },         // kept
        { 6, RGB(64, 32, 128) },         // 128 x t / 255
        { 7, RGB(0, 0, 0) },
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.expected, px[(size_t)row.index]) << "pixel " << row.index;
}

TEST(RecolouredBitmap, WhiteTintLeavesTheBitmapAndMissingResourceFails)
{
    CBitmap plain, tinted;
    ASSERT_TRUE(plain.LoadBitmap(IDB_TEST_TINT));
    ASSERT_TRUE(LoadRecolouredBitmap(tinted, IDB_TEST_TINT, RGB(255, 255, 255), NULL));
    int w, h;
    EXPECT_EQ(Pixels(plain, &w, &h), Pixels(tinted, &w, &h));
    EXPECT_FALSE(LoadRecolouredBitmap(tinted, 31999, RGB(1, 2, 3), NULL));
    EXPECT_EQ(NULL, tinted.m_hObject) << "old handle deleted, nothing loaded";
}

TEST(RecolouredBitmap, QuantiseCutsToTheSixteenBitPrecision)
{
    struct Row { int format; COLORREF in; COLORREF out; };
    const Row rows[] = {
        { kDdb565, RGB(255, 0, 255), 0xF800F8 },
        { kDdb565, RGB(0x17, 0x17, 0x17), RGB(0x10, 0x14, 0x10) },
        { kDdb555, RGB(0x17, 0x17, 0x17), RGB(0x10, 0x10, 0x10) },
        { kDdbBGR, RGB(0x17, 0x17, 0x17), RGB(0x17, 0x17, 0x17) },
    };
    for (const Row& row : rows) {
        CDWordArray list;
        list.Add(row.in);
        QuantiseColours(row.format, list);
        EXPECT_EQ(row.out, list[0]) << "format " << row.format;
    }
}

TEST(RecolouredBitmap, SixteenBitBitmapKeepsMagentaAfterQuantising)
{
    // A 16-bit DDB: the format GDI reports (5-6-5 or 5-5-5) decides the
    // decoding; magenta must survive either way.
    const WORD magenta565 = 0xF81F;
    const WORD white565 = 0xFFFF;
    CBitmap bitmap;
    const WORD bits[2] = { magenta565, white565 };
    ASSERT_TRUE(bitmap.CreateBitmap(2, 1, 1, 16, bits));
    const int format = DdbPixelFormat((HBITMAP)bitmap.m_hObject);
    ASSERT_TRUE(format == kDdb565 || format == kDdb555) << format;
    WORD start[2];
    if (format == kDdb555) {
        start[0] = 0x7C1F;
        start[1] = 0x7FFF;
        bitmap.SetBitmapBits(sizeof(start), start);
    }
    CDWordArray kept;
    kept.Add(RGB(255, 0, 255));
    TintBitmap(bitmap, RGB(0, 0, 0), &kept);
    EXPECT_EQ(0xF800F8u, kept[0]) << "the caller's list is quantised in place";
    WORD after[2] = { 0, 0 };
    bitmap.GetBitmapBits(sizeof(after), after);
    EXPECT_EQ(format == kDdb565 ? magenta565 : 0x7C1F, after[0]) << "kept";
    EXPECT_EQ(0, after[1]) << "white tinted black";
}

// 3 x 2 at 24 bits: 9 bytes of pixels per row in a wider row. The bytes after
// the last whole pixel are no pixel: they stay as they were and the next row's
// first pixel is tinted once, not twice.
TEST(RecolouredBitmap, OddWidthRowsTintPixelsOnceAndLeavePaddingAlone)
{
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateBitmap(3, 2, 1, 24, NULL));
    BITMAP bm;
    bitmap.GetBitmap(&bm);
    ASSERT_GT(bm.bmWidthBytes, 9);
    std::vector<BYTE> bits((size_t)bm.bmWidthBytes * 2, 0);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 9; x++)
            bits[(size_t)y * bm.bmWidthBytes + x] = 200;
    bitmap.SetBitmapBits((DWORD)bits.size(), bits.data());
    std::vector<BYTE> before(bits.size(), 0);
    bitmap.GetBitmapBits((DWORD)before.size(), before.data());
    TintBitmap(bitmap, RGB(128, 128, 128), NULL);
    std::vector<BYTE> after(bits.size(), 0);
    bitmap.GetBitmapBits((DWORD)after.size(), after.data());
    for (int y = 0; y < 2; y++) {
        for (int x = 0; x < bm.bmWidthBytes; x++) {
            const size_t i = (size_t)y * bm.bmWidthBytes + x;
            const BYTE expected = x < 9 ? (BYTE)(200 * 128 / 255) : before[i];
            EXPECT_EQ(expected, after[i]) << "row " << y << " byte " << x;
        }
    }
}

}  // namespace
