#include "platform/imaging/Imaging.h"

#include "ImagingTestUtil.h"

#include <gtest/gtest.h>

#include <string.h>

using namespace imgtest;

namespace {

const int kDepths[] = {1, 4, 8, 16, 24, 32};

// Colours every depth from 4 bits up holds exactly: all channels 0 or 255.
const COLORREF kPure[] = {RGB(0, 0, 0),   RGB(255, 255, 255), RGB(255, 0, 0),   RGB(0, 255, 0),
                          RGB(0, 0, 255), RGB(255, 255, 0),   RGB(0, 255, 255), RGB(255, 0, 255)};
// The same at 1 bit: the nearer of black and white.
const COLORREF kPureAtOneBit[] = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),
                                  RGB(0, 0, 0), RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255)};

}  // namespace

// Every depth to every other depth without a palette: exact colours where
// the target holds them, the fixed palette of the target depth, the size kept.
TEST(ImgConvert, ColorResBetweenEveryPairOfDepths)
{
    for (int from : kDepths)
        for (int to : kDepths) {
            if (from == to)
                continue;
            const int count = from == 1 ? 2 : 8;
            Bitmap bm;
            ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, count, 3, from, nullptr, 0));
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < count; ++x)
                    SetColour(bm.b, x, y, kPure[x]);
            ASSERT_EQ(IMG_SUCCESS, ImgColorRes(&bm.b, to, IMG_CRF_NODITHERING, nullptr, 0)) << from << "->" << to;
            ASSERT_EQ(to, bm.b.bitsPerPixel);
            EXPECT_EQ(count, bm.b.width);
            EXPECT_EQ(3, bm.b.height);
            EXPECT_EQ(((count * to + 31) / 32) * 4, bm.b.bytesPerLine);
            if (to <= 8) {
                RGBQUAD fixed[256] = {};
                ImgFixedPalette(fixed, to);
                EXPECT_EQ(1 << to, bm.b.colors);
                EXPECT_EQ(0, memcmp(fixed, bm.b.palette, sizeof(RGBQUAD) << to)) << from << "->" << to;
            } else {
                EXPECT_EQ(0, bm.b.colors);
            }
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < count; ++x) {
                    const COLORREF expected = to == 1 ? kPureAtOneBit[x] : kPure[x];
                    EXPECT_EQ(Hex(expected), Hex(Colour(bm.b, x, y))) << from << "->" << to << " pixel " << x << "," << y;
                    if (to == 32) {
                        EXPECT_EQ(0u, Raw(bm.b, x, y) >> 24) << from << "->32 leaves the fourth byte 0";
                    }
                }
            // The section behind the bitmap has the new depth too.
            DIBSECTION ds = {};
            ASSERT_EQ((int)sizeof(ds), GetObject(bm.b.section, sizeof(ds), &ds));
            EXPECT_EQ(to, ds.dsBmih.biBitCount);
            EXPECT_EQ(bm.b.bits, ds.dsBm.bmBits);
        }
}

// Colours a depth cannot hold exactly, with the pixel values worked out by hand.
TEST(ImgConvert, ColorResRoundsToWhatTheTargetHolds)
{
    struct Case {
        const char* name;
        int from;
        DWORD raw;      // source pixel as stored
        int to;
        DWORD expectedRaw;
        COLORREF expectedColour;
    } cases[] = {
        {"24 to 16 drops the low 3 bits", 24, 0x6496C8, 16, (12 << 10) | (18 << 5) | 25, RGB(99, 148, 206)},
        {"24 to 8 takes the nearest cube colour", 24, 0x6496C8, 8, 112, RGB(102, 170, 204)},
        {"24 to 8 mid grey", 24, 0x808080, 8, 253, RGB(128, 128, 128)},
        {"24 to 8 near-grey goes to the grey", 24, 0x7E8281, 8, 253, RGB(128, 128, 128)},
        {"24 to 4 dark red goes to red", 24, 0xC81E1E, 4, 9, RGB(255, 0, 0)},
        {"24 to 4 dull red goes to maroon", 24, 0x801010, 4, 1, RGB(128, 0, 0)},
        {"24 to 1 light grey goes to white", 24, 0xC0C0C0, 1, 1, RGB(255, 255, 255)},
        {"24 to 1 dark grey goes to black", 24, 0x404040, 1, 0, RGB(0, 0, 0)},
        {"16 to 24 widens 5 bits", 16, 16 << 10, 24, 0x840000, RGB(132, 0, 0)},
        {"16 to 24 full white", 16, 0x7FFF, 24, 0xFFFFFF, RGB(255, 255, 255)},
        {"16 to 32 one step of blue", 16, 1, 32, 0x000008, RGB(0, 0, 8)},
        {"32 to 24 drops the fourth byte", 32, 0xAB102030, 24, 0x102030, RGB(0x10, 0x20, 0x30)},
        {"32 to 16", 32, 0xFF0F1F2F, 16, (1 << 10) | (3 << 5) | 5, RGB(8, 24, 41)},
        {"8 to 24 through the palette", 8, 112, 24, 0x66AACC, RGB(102, 170, 204)},
        {"8 to 4 grey 192 is silver", 8, 254, 4, 7, RGB(192, 192, 192)},
        {"4 to 8 maroon to the nearest cube colour", 4, 1, 8, 3 * 42, RGB(153, 0, 0)},
    };
    for (const Case& c : cases) {
        Bitmap bm;
        ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 3, 2, c.from, nullptr, 0)) << c.name;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                SetRaw(bm.b, x, y, c.raw);
        ASSERT_EQ(IMG_SUCCESS, ImgColorRes(&bm.b, c.to, IMG_CRF_NODITHERING, nullptr, 0)) << c.name;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) {
                EXPECT_EQ(c.expectedRaw, Raw(bm.b, x, y)) << c.name;
                EXPECT_EQ(Hex(c.expectedColour), Hex(Colour(bm.b, x, y))) << c.name;
            }
    }
}

// A caller's palette as the target: the bitmap takes it (and only its
// entries), and pixels go to the nearest of them; an 8-bit bitmap can be
// remapped onto another 8-bit palette.
TEST(ImgConvert, ColorResToAGivenPalette)
{
    const RGBQUAD three[3] = {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}};  // red, green, blue
    Bitmap bm;
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 4, 1, 24, nullptr, 0));
    SetColour(bm.b, 0, 0, RGB(200, 30, 30));
    SetColour(bm.b, 1, 0, RGB(30, 200, 30));
    SetColour(bm.b, 2, 0, RGB(10, 10, 90));
    SetColour(bm.b, 3, 0, RGB(255, 0, 0));
    ASSERT_EQ(IMG_SUCCESS, ImgColorRes(&bm.b, 8, IMG_CRF_USERPALETTE, three, 3));
    EXPECT_EQ(3, bm.b.colors);
    EXPECT_EQ(0, memcmp(three, bm.b.palette, sizeof(three)));
    EXPECT_EQ(0u, *reinterpret_cast<DWORD*>(&bm.b.palette[3]));
    const DWORD expected[4] = {0, 1, 2, 0};
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(expected[x], Raw(bm.b, x, 0)) << x;

    // 8 bits onto the fixed palette reversed: index i becomes 255 - i.
    RGBQUAD fixed[256], reversed[256];
    ImgFixedPalette(fixed, 8);
    for (int i = 0; i < 256; ++i)
        reversed[i] = fixed[255 - i];
    Bitmap eight;
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&eight.b, 256, 1, 8, nullptr, 0));
    for (int i = 0; i < 256; ++i)
        SetRaw(eight.b, i, 0, (DWORD)i);
    ASSERT_EQ(IMG_SUCCESS, ImgColorRes(&eight.b, 8, IMG_CRF_USERPALETTE, reversed, 256));
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ((DWORD)(255 - i), Raw(eight.b, i, 0)) << i;

    // 4 bits with a two-entry palette.
    const RGBQUAD bw[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};  // white first
    Bitmap four;
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&four.b, 3, 1, 24, nullptr, 0));
    SetColour(four.b, 0, 0, RGB(250, 250, 250));
    SetColour(four.b, 1, 0, RGB(5, 5, 5));
    SetColour(four.b, 2, 0, RGB(200, 200, 200));
    ASSERT_EQ(IMG_SUCCESS, ImgColorRes(&four.b, 4, IMG_CRF_USERPALETTE, bw, 2));
    EXPECT_EQ(0u, Raw(four.b, 0, 0));
    EXPECT_EQ(1u, Raw(four.b, 1, 0));
    EXPECT_EQ(0u, Raw(four.b, 2, 0));
    EXPECT_EQ(2, four.b.colors);
}

TEST(ImgConvert, ColorResRefusesBadArgumentsAndKeepsTheBitmap)
{
    const RGBQUAD one[1] = {{0, 0, 0, 0}};
    Bitmap empty;
    EXPECT_EQ(IMG_BITMAP_NOT_ALLOCATED, ImgColorRes(&empty.b, 8, 0, nullptr, 0));
    EXPECT_EQ(IMG_INVALID_PARAMETER, ImgColorRes(nullptr, 8, 0, nullptr, 0));

    Bitmap bm;
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 4, 4, 24, nullptr, 0));
    SetColour(bm.b, 1, 1, RGB(1, 2, 3));
    const BYTE* bits = bm.b.bits;
    struct Case {
        const char* name;
        int bits;
        UINT flags;
        const RGBQUAD* palette;
        int colors;
    } cases[] = {
        {"12 bits", 12, 0, nullptr, 0},
        {"0 bits", 0, 0, nullptr, 0},
        {"no palette given", 8, IMG_CRF_USERPALETTE, nullptr, 5},
        {"no colours", 8, IMG_CRF_USERPALETTE, one, 0},
        {"too many colours for 4 bits", 4, IMG_CRF_USERPALETTE, one, 17},
        {"too many colours for 8 bits", 8, IMG_CRF_USERPALETTE, one, 257},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IMG_INVALID_PARAMETER, ImgColorRes(&bm.b, c.bits, c.flags, c.palette, c.colors)) << c.name;
        EXPECT_EQ(bits, bm.b.bits) << c.name;
        EXPECT_EQ(24, bm.b.bitsPerPixel) << c.name;
        EXPECT_EQ(Hex(RGB(1, 2, 3)), Hex(Colour(bm.b, 1, 1))) << c.name;
    }
    // Its own depth without a palette changes nothing.
    EXPECT_EQ(IMG_SUCCESS, ImgColorRes(&bm.b, 24, 0, nullptr, 0));
    EXPECT_EQ(bits, bm.b.bits);
}

// The round trip the watermark makes on an 8-bit frame: up to 24 bits and
// back onto the frame's own palette gives the same indices.
TEST(ImgConvert, EightBitFrameKeepsItsPaletteThroughTwentyFourBits)
{
    RGBQUAD own[256];
    for (int i = 0; i < 256; ++i) {
        own[i].rgbRed = (BYTE)i;
        own[i].rgbGreen = (BYTE)(255 - i);
        own[i].rgbBlue = (BYTE)(i * 7);
        own[i].rgbReserved = 0;
    }
    Bitmap bm;
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 64, 4, 8, own, 256));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 64; ++x)
            SetRaw(bm.b, x, y, (DWORD)(x * 4 + y));
    ASSERT_EQ(IMG_SUCCESS, ImgColorRes(&bm.b, 24, 0, nullptr, 0));
    EXPECT_EQ(Hex(RGB(5, 250, 35)), Hex(Colour(bm.b, 1, 1)));
    ASSERT_EQ(IMG_SUCCESS, ImgColorRes(&bm.b, 8, IMG_CRF_USERPALETTE, own, 256));
    EXPECT_EQ(0, memcmp(own, bm.b.palette, sizeof(own)));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ((DWORD)(x * 4 + y), Raw(bm.b, x, y)) << x << "," << y;
}
