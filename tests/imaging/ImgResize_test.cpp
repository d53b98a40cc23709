#include "platform/imaging/Imaging.h"

#include "ImagingTestUtil.h"

#include <gtest/gtest.h>

#include <string.h>
#include <vector>

using namespace imgtest;

namespace {

struct Size {
    int width, height;
};

// Black and white squares of one pixel.
void Checkerboard(ImgBitmap& b)
{
    for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x)
            SetColour(b, x, y, ((x + y) & 1) ? RGB(255, 255, 255) : RGB(0, 0, 0));
}

}  // namespace

// A solid picture stays exactly that colour at every size, in both modes and
// at every depth, shrinking, enlarging and both at once.
TEST(ImgResize, SolidColourStaysSolid)
{
    struct Case {
        int bits;
        COLORREF colour;
    } colours[] = {{32, RGB(17, 130, 251)}, {24, RGB(200, 100, 3)}, {16, RGB(8, 247, 132)},
                   {8, RGB(102, 170, 204)}, {4, RGB(0, 128, 128)}, {1, RGB(255, 255, 255)}};
    const Size from = {61, 37};
    const Size to[] = {{20, 12}, {30, 18}, {1, 1}, {61, 80}, {200, 100}, {7, 90}, {123, 5}};
    for (const Case& c : colours)
        for (const Size& size : to)
            for (BOOL interpolate : {FALSE, TRUE}) {
                Bitmap bm;
                ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, from.width, from.height, c.bits, nullptr, 0));
                FillColour(bm.b, c.colour);
                ASSERT_EQ(IMG_SUCCESS, ImgResize(&bm.b, size.width, size.height, interpolate));
                ASSERT_EQ(size.width, bm.b.width);
                ASSERT_EQ(size.height, bm.b.height);
                ASSERT_EQ(c.bits, bm.b.bitsPerPixel);
                int wrong = 0;
                for (int y = 0; y < size.height; ++y)
                    for (int x = 0; x < size.width; ++x)
                        if (Colour(bm.b, x, y) != c.colour && wrong++ < 3)
                            ADD_FAILURE() << c.bits << " bits to " << size.width << "x" << size.height
                                          << (interpolate ? " interpolated" : " nearest") << ": " << x << "," << y
                                          << " is " << Hex(Colour(bm.b, x, y));
            }
}

// Halving a checkerboard: the resampler averages each 2 x 2 block to grey;
// nearest pixel keeps only black and white.
TEST(ImgResize, CheckerboardHalvedAveragesToGreyOnlyWhenInterpolating)
{
    for (int bits : {32, 24}) {
        Bitmap bm;
        ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 64, 48, bits, nullptr, 0));
        Checkerboard(bm.b);
        ASSERT_EQ(IMG_SUCCESS, ImgResize(&bm.b, 32, 24, TRUE));
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 32; ++x) {
                const COLORREF c = Colour(bm.b, x, y);
                ASSERT_TRUE(GetRValue(c) >= 127 && GetRValue(c) <= 128 && GetGValue(c) == GetRValue(c) &&
                            GetBValue(c) == GetRValue(c))
                    << bits << " bits at " << x << "," << y << ": " << Hex(c);
            }
    }
    for (int bits : {32, 24, 16, 8, 4, 1}) {
        Bitmap bm;
        ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 64, 48, bits, nullptr, 0));
        Checkerboard(bm.b);
        ASSERT_EQ(IMG_SUCCESS, ImgResize(&bm.b, 32, 24, FALSE));
        // Each target pixel is the source pixel under its centre, (2x + 1, 2y + 1).
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 32; ++x) {
                const COLORREF expected = ((2 * x + 1 + 2 * y + 1) & 1) ? RGB(255, 255, 255) : RGB(0, 0, 0);
                ASSERT_EQ(Hex(expected), Hex(Colour(bm.b, x, y))) << bits << " bits at " << x << "," << y;
            }
    }
    // A paletted checkerboard resampled lands on the palette's grey.
    Bitmap eight;
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&eight.b, 16, 16, 8, nullptr, 0));
    Checkerboard(eight.b);
    ASSERT_EQ(IMG_SUCCESS, ImgResize(&eight.b, 8, 8, TRUE));
    EXPECT_EQ(8, eight.b.bitsPerPixel);
    EXPECT_EQ(256, eight.b.colors);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(Hex(RGB(128, 128, 128)), Hex(Colour(eight.b, x, y))) << x << "," << y;
}

// Exact values: area averages when shrinking, centre-aligned bilinear when
// enlarging, centre sampling for nearest pixel. One row of grey levels.
TEST(ImgResize, ResampledValuesFollowTheCoveredArea)
{
    struct Case {
        const char* name;
        std::vector<int> source;
        int width;
        BOOL interpolate;
        std::vector<int> expected;
    } cases[] = {
        {"three to one averages", {0, 90, 180}, 1, TRUE, {90}},
        {"four to two averages pairs", {0, 100, 200, 250}, 2, TRUE, {50, 225}},
        {"three to two shares the middle", {0, 90, 180}, 2, TRUE, {30, 150}},
        {"two to four interpolates", {0, 255}, 4, TRUE, {0, 64, 191, 255}},
        {"two to three", {0, 200}, 3, TRUE, {0, 100, 200}},
        {"four to two nearest takes centres", {10, 20, 30, 40}, 2, FALSE, {20, 40}},
        {"two to five nearest samples centres", {10, 20}, 5, FALSE, {10, 10, 20, 20, 20}},
    };
    for (const Case& c : cases)
        for (bool vertical : {false, true}) {
            const int n = (int)c.source.size();
            Bitmap bm;
            ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, vertical ? 1 : n, vertical ? n : 1, 24, nullptr, 0));
            for (int i = 0; i < n; ++i)
                SetColour(bm.b, vertical ? 0 : i, vertical ? i : 0, RGB(c.source[i], c.source[i], 255 - c.source[i]));
            ASSERT_EQ(IMG_SUCCESS, ImgResize(&bm.b, vertical ? 1 : c.width, vertical ? c.width : 1, c.interpolate));
            for (int i = 0; i < c.width; ++i) {
                const COLORREF got = Colour(bm.b, vertical ? 0 : i, vertical ? i : 0);
                EXPECT_EQ(c.expected[i], GetRValue(got)) << c.name << (vertical ? " (vertical)" : "") << " pixel " << i;
                EXPECT_EQ(c.expected[i], GetGValue(got)) << c.name;
                EXPECT_EQ(255 - c.expected[i], GetBValue(got)) << c.name;
            }
        }
}

// Sub-byte depths keep their packing: a 1-bit pattern doubled by nearest pixel.
TEST(ImgResize, NearestDoublesOneAndFourBitPatterns)
{
    for (int bits : {1, 4}) {
        Bitmap bm;
        ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 9, 2, bits, nullptr, 0));
        const DWORD pattern[9] = {1, 0, 0, 1, 1, 1, 0, 1, 0};
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 9; ++x)
                SetRaw(bm.b, x, y, bits == 1 ? pattern[x] : (pattern[x] ? (DWORD)(x + 5) : 0));
        ASSERT_EQ(IMG_SUCCESS, ImgResize(&bm.b, 18, 4, FALSE));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 18; ++x) {
                const DWORD expected = bits == 1 ? pattern[x / 2] : (pattern[x / 2] ? (DWORD)(x / 2 + 5) : 0);
                ASSERT_EQ(expected, Raw(bm.b, x, y)) << bits << " bits at " << x << "," << y;
            }
    }
}

TEST(ImgResize, BadSizesAreRefusedAndTheBitmapKept)
{
    Bitmap empty;
    EXPECT_EQ(IMG_BITMAP_NOT_ALLOCATED, ImgResize(&empty.b, 10, 10, TRUE));
    EXPECT_EQ(IMG_INVALID_PARAMETER, ImgResize(nullptr, 10, 10, TRUE));
    Bitmap bm;
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 8, 8, 24, nullptr, 0));
    const BYTE* bits = bm.b.bits;
    const Size bad[] = {{0, 8}, {8, 0}, {-1, 8}, {8, -5}};
    for (const Size& s : bad)
        for (BOOL interpolate : {FALSE, TRUE}) {
            EXPECT_EQ(IMG_INVALID_PARAMETER, ImgResize(&bm.b, s.width, s.height, interpolate)) << s.width << "x" << s.height;
            EXPECT_EQ(bits, bm.b.bits);
            EXPECT_EQ(8, bm.b.width);
        }
    EXPECT_EQ(IMG_NO_MEMORY, ImgResize(&bm.b, 100000, 100000, FALSE));
    EXPECT_EQ(bits, bm.b.bits);
    EXPECT_EQ(IMG_SUCCESS, ImgResize(&bm.b, 8, 8, TRUE)) << "the same size";
    EXPECT_EQ(bits, bm.b.bits);
}
