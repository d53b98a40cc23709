#include "platform/imaging/Imaging.h"

#include "ImagingTestUtil.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string.h>

using namespace imgtest;

namespace {

uint32_t Fnv1a(const void* data, size_t size)
{
    uint32_t h = 2166136261u;
    const BYTE* p = static_cast<const BYTE*>(data);
    for (size_t i = 0; i < size; ++i)
        h = (h ^ p[i]) * 16777619u;
    return h;
}

}  // namespace

// The 8-bit paint palette: a 6 x 7 x 6 cube (index r * 42 + g * 6 + b) and
// four greys. Its bytes are pinned by a checksum computed outside the
// program, so a change to any entry shows here and not only in old files.
TEST(ImgPalette, FixedEightBitPaletteIsTheSameEveryRunAndDistinct)
{
    RGBQUAD a[256], b[256];
    memset(a, 0xCC, sizeof(a));
    memset(b, 0x33, sizeof(b));
    ImgFixedPalette(a, 8);
    ImgFixedPalette(b, 8);
    EXPECT_EQ(0, memcmp(a, b, sizeof(a)));
    EXPECT_EQ(0xB94ED445u, Fnv1a(a, sizeof(a)));
    std::set<COLORREF> seen;
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(0, a[i].rgbReserved) << i;
        EXPECT_TRUE(seen.insert(QuadColour(a[i])).second) << "entry " << i << " repeats " << Hex(QuadColour(a[i]));
    }
    struct Entry {
        int index;
        COLORREF colour;
    } entries[] = {
        {0, RGB(0, 0, 0)},       {5, RGB(0, 0, 255)},       {36, RGB(0, 255, 0)},       {210, RGB(255, 0, 0)},
        {251, RGB(255, 255, 255)}, {112, RGB(102, 170, 204)}, {252, RGB(64, 64, 64)},   {253, RGB(128, 128, 128)},
        {254, RGB(192, 192, 192)}, {255, RGB(224, 224, 224)},
    };
    for (const Entry& e : entries)
        EXPECT_EQ(Hex(e.colour), Hex(QuadColour(a[e.index]))) << "entry " << e.index;
}

TEST(ImgPalette, FixedFourAndOneBitPalettes)
{
    const COLORREF vga[16] = {RGB(0, 0, 0),       RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(128, 128, 0),
                              RGB(0, 0, 128),     RGB(128, 0, 128), RGB(0, 128, 128), RGB(192, 192, 192),
                              RGB(128, 128, 128), RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(255, 255, 0),
                              RGB(0, 0, 255),     RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255)};
    RGBQUAD p[256];
    memset(p, 0x77, sizeof(p));
    ImgFixedPalette(p, 4);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(Hex(vga[i]), Hex(QuadColour(p[i]))) << i;
    EXPECT_EQ(0x77, p[16].rgbRed) << "only 16 entries are written";
    memset(p, 0x77, sizeof(p));
    ImgFixedPalette(p, 1);
    EXPECT_EQ(Hex(RGB(0, 0, 0)), Hex(QuadColour(p[0])));
    EXPECT_EQ(Hex(RGB(255, 255, 255)), Hex(QuadColour(p[1])));
    EXPECT_EQ(0x77, p[2].rgbRed);
    ImgFixedPalette(nullptr, 8);
    memset(p, 0x77, sizeof(p));
    ImgFixedPalette(p, 24);
    EXPECT_EQ(0x77, p[0].rgbRed) << "no palette above 8 bits";
}

// The live output's palette: the fixed one with the 20 static colours over
// entries 0-9 and 245-254. Every entry's own colour must land on an entry of
// exactly that colour (the first one, where the static colours repeat a cube
// colour).
TEST(ImgPalette, PureColoursLandOnTheirExactPaletteEntries)
{
    RGBQUAD live[256];
    ImgFixedPalette(live, 8);
    const BYTE statics[20][3] = {{0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
                                 {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
                                 {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
                                 {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
    for (int i = 0; i < 20; ++i) {
        RGBQUAD& q = live[i < 10 ? i : 235 + i];
        q.rgbRed = statics[i][0];
        q.rgbGreen = statics[i][1];
        q.rgbBlue = statics[i][2];
    }
    Bitmap bm;
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 256, 1, 32, nullptr, 0));
    for (int i = 0; i < 256; ++i)
        SetColour(bm.b, i, 0, QuadColour(live[i]));
    ASSERT_EQ(IMG_SUCCESS, ImgColorRes(&bm.b, 8, IMG_CRF_USERPALETTE, live, 256));
    ASSERT_EQ(8, bm.b.bitsPerPixel);
    EXPECT_EQ(256, bm.b.colors);
    EXPECT_EQ(0, memcmp(live, bm.b.palette, sizeof(live)));
    for (int i = 0; i < 256; ++i) {
        int first = 0;
        while (QuadColour(live[first]) != QuadColour(live[i]))
            ++first;
        EXPECT_EQ((DWORD)first, Raw(bm.b, i, 0)) << "colour " << Hex(QuadColour(live[i])) << " of entry " << i;
    }
}

// Nearest-colour mapping against a brute-force search, over a random palette
// and random colours (many repeated, so remembered answers are checked too).
TEST(ImgPalette, MappingFindsTheNearestEntryLikeAFullSearch)
{
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) & 0xFFFFFF;
    };
    for (int colours : {256, 16, 5, 1}) {
        RGBQUAD palette[256] = {};
        for (int i = 0; i < colours; ++i) {
            const uint32_t v = next();
            palette[i].rgbRed = (BYTE)v;
            palette[i].rgbGreen = (BYTE)(v >> 8);
            palette[i].rgbBlue = (BYTE)(v >> 16);
        }
        if (colours > 4)
            palette[3] = palette[1];  // a repeated entry: the lower index wins
        Bitmap bm;
        ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 100, 40, 24, nullptr, 0));
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 100; ++x)
                if (y % 4 != 0 && x < colours)
                    SetColour(bm.b, x, y, QuadColour(palette[x]));
                else
                    SetRaw(bm.b, x, y, (y % 4 == 0) ? next() : next() & 0xF0F0F0);
        Bitmap source;
        ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&source.b, 100, 40, 24, nullptr, 0));
        memcpy(source.b.bits, bm.b.bits, (size_t)bm.b.bytesPerLine * 40);
        ASSERT_EQ(IMG_SUCCESS, ImgColorRes(&bm.b, 8, IMG_CRF_USERPALETTE, palette, colours));
        EXPECT_EQ(colours, bm.b.colors);
        int failures = 0;
        for (int y = 0; y < 40 && failures < 5; ++y)
            for (int x = 0; x < 100 && failures < 5; ++x) {
                const COLORREF c = Colour(source.b, x, y);
                int best = 0, bestDistance = INT_MAX;
                for (int i = 0; i < colours; ++i) {
                    const int dr = palette[i].rgbRed - GetRValue(c), dg = palette[i].rgbGreen - GetGValue(c),
                              db = palette[i].rgbBlue - GetBValue(c);
                    const int d = dr * dr + dg * dg + db * db;
                    if (d < bestDistance) {
                        bestDistance = d;
                        best = i;
                    }
                }
                if ((DWORD)best != Raw(bm.b, x, y)) {
                    ++failures;
                    ADD_FAILURE() << colours << " colours: " << Hex(c) << " at " << x << "," << y << " mapped to "
                                  << Raw(bm.b, x, y) << ", nearest is " << best;
                }
            }
    }
}

// A colour exactly between two entries goes to the lower index, whichever of
// the two is listed first, also at the corners of the look-up grid's cells.
TEST(ImgPalette, TiesGoToTheLowerIndex)
{
    struct Case {
        COLORREF entries[2];
        COLORREF colour;
    } cases[] = {
        {{RGB(30, 30, 30), RGB(0, 0, 0)}, RGB(15, 15, 15)},
        {{RGB(0, 0, 0), RGB(30, 30, 30)}, RGB(15, 15, 15)},
        {{RGB(255, 0, 0), RGB(0, 0, 255)}, RGB(128, 0, 128)},
        {{RGB(0, 0, 255), RGB(255, 0, 0)}, RGB(128, 0, 128)},
        {{RGB(16, 200, 16), RGB(48, 200, 48)}, RGB(32, 200, 32)},
    };
    for (const Case& c : cases) {
        RGBQUAD palette[2] = {};
        for (int i = 0; i < 2; ++i) {
            palette[i].rgbRed = GetRValue(c.entries[i]);
            palette[i].rgbGreen = GetGValue(c.entries[i]);
            palette[i].rgbBlue = GetBValue(c.entries[i]);
        }
        Bitmap bm;
        ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 1, 1, 24, nullptr, 0));
        SetColour(bm.b, 0, 0, c.colour);
        ASSERT_EQ(IMG_SUCCESS, ImgColorRes(&bm.b, 8, IMG_CRF_USERPALETTE, palette, 2));
        EXPECT_EQ(0u, Raw(bm.b, 0, 0)) << Hex(c.colour) << " between " << Hex(c.entries[0]) << " and "
                                       << Hex(c.entries[1]);
    }
}
