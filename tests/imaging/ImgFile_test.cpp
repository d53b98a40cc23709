#include "platform/imaging/Imaging.h"

#include "ImagingTestUtil.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <string>

using namespace imgtest;

namespace {

std::string Picture(const char* name)
{
    return testsupport::SourceDir() + "\\tests\\imaging\\data\\" + name;
}

// key.gif's pixels, as data/make_pictures.py writes them: palette indexes.
const int kGifPattern[6][8] = {
    { 2, 2, 1, 1, 1, 1, 2, 2 }, { 2, 1, 1, 3, 3, 1, 1, 2 }, { 1, 1, 3, 0, 0, 3, 1, 1 },
    { 1, 1, 3, 0, 0, 3, 1, 1 }, { 2, 1, 1, 3, 3, 1, 1, 2 }, { 2, 2, 1, 1, 1, 1, 2, 2 },
};
const COLORREF kGifPalette[4] = { RGB(0, 0, 0), RGB(255, 0, 0), RGB(255, 0, 255), RGB(255, 255, 255) };

bool Near(COLORREF a, COLORREF b, int tolerance)
{
    return abs(GetRValue(a) - GetRValue(b)) <= tolerance && abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

}  // namespace

TEST(ImgFile, GifKeepsItsPaletteAndTransparentIndex)
{
    Bitmap gif;
    int transparent = 99;
    ASSERT_EQ(IMG_SUCCESS, ImgLoadFile(Picture("key.gif").c_str(), &gif.b, 0, IMG_ORDER_BGR, &transparent));
    EXPECT_EQ(8, gif.b.width);
    EXPECT_EQ(6, gif.b.height);
    EXPECT_EQ(8, gif.b.bitsPerPixel);
    EXPECT_EQ(2, transparent);
    RGBQUAD palette[256];
    ASSERT_EQ(IMG_SUCCESS, ImgGetPalette(&gif.b, 0, 256, palette));
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(Hex(kGifPalette[i]), Hex(QuadColour(palette[i]))) << "entry " << i;
    for (int y = 0; y < 6; y++) {
        for (int x = 0; x < 8; x++)
            EXPECT_EQ((DWORD)kGifPattern[y][x], Raw(gif.b, x, y)) << x << "," << y;
    }
    EXPECT_EQ(IMG_INVALID_PARAMETER, ImgGetPalette(&gif.b, 250, 7, palette));
}

TEST(ImgFile, BmpAndJpegLoadAtTheirOwnDepth)
{
    Bitmap bmp;
    int transparent = 99;
    ASSERT_EQ(IMG_SUCCESS, ImgLoadFile(Picture("pattern.bmp").c_str(), &bmp.b, 0, IMG_ORDER_BGR, &transparent));
    EXPECT_EQ(-1, transparent);
    ASSERT_EQ(5, bmp.b.width);
    ASSERT_EQ(3, bmp.b.height);
    EXPECT_EQ(24, bmp.b.bitsPerPixel);
    for (int y = 0; y < 3; y++) {
        for (int x = 0; x < 5; x++)
            EXPECT_EQ(Hex(RGB(40 * x, 100 * y, 200 - 30 * x)), Hex(Colour(bmp.b, x, y))) << x << "," << y;
    }

    Bitmap jpg;
    ASSERT_EQ(IMG_SUCCESS, ImgLoadFile(Picture("blocks.jpg").c_str(), &jpg.b, 0, IMG_ORDER_BGR, &transparent));
    EXPECT_EQ(-1, transparent);
    EXPECT_EQ(16, jpg.b.width);
    EXPECT_EQ(16, jpg.b.height);
    EXPECT_EQ(24, jpg.b.bitsPerPixel);
    EXPECT_TRUE(Near(RGB(255, 0, 0), Colour(jpg.b, 2, 8), 24)) << Hex(Colour(jpg.b, 2, 8));
    EXPECT_TRUE(Near(RGB(0, 0, 255), Colour(jpg.b, 13, 8), 24)) << Hex(Colour(jpg.b, 13, 8));

    // At a depth asked for: converted.
    Bitmap deep;
    ASSERT_EQ(IMG_SUCCESS, ImgLoadFile(Picture("key.gif").c_str(), &deep.b, 24, IMG_ORDER_BGR, &transparent));
    EXPECT_EQ(24, deep.b.bitsPerPixel);
    EXPECT_EQ(Hex(RGB(255, 0, 0)), Hex(Colour(deep.b, 2, 0)));
}

TEST(ImgFile, WhatIsNotAPictureLeavesTheBitmapAsItWas)
{
    testsupport::ScratchDir dir("imgfile");
    const std::string junk = dir.File("junk.gif");
    ASSERT_TRUE(testsupport::WriteFileBytes(junk, "GIF89a\x01\x00", 8));
    Bitmap b;
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&b.b, 3, 3, 24, NULL, 0));
    SetColour(b.b, 1, 1, RGB(1, 2, 3));
    int transparent = 5;
    struct Case {
        std::string path;
        int depth;
        int order;
        int expected;
    } cases[] = {
        { junk, 0, IMG_ORDER_BGR, IMG_INVALID_FORMAT },
        { dir.File("missing.bmp"), 0, IMG_ORDER_BGR, IMG_INVALID_FORMAT },
        { Picture("pattern.bmp"), 0, IMG_ORDER_RGB, IMG_INVALID_PARAMETER },
        { Picture("pattern.bmp"), 7, IMG_ORDER_BGR, IMG_INVALID_PARAMETER },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, ImgLoadFile(c.path.c_str(), &b.b, c.depth, c.order, &transparent)) << c.path;
        EXPECT_EQ(-1, transparent) << c.path;
        EXPECT_EQ(3, b.b.width) << c.path;
        EXPECT_EQ(Hex(RGB(1, 2, 3)), Hex(Colour(b.b, 1, 1))) << c.path;
    }
}

TEST(ImgFile, RegionHoldsExactlyThePixelsOfOtherColours)
{
    Bitmap gif;
    int transparent = -1;
    ASSERT_EQ(IMG_SUCCESS, ImgLoadFile(Picture("key.gif").c_str(), &gif.b, 0, IMG_ORDER_BGR, &transparent));
    const COLORREF key = QuadColour(gif.b.palette[transparent]);
    HRGN region = ImgRegionWithoutColour(&gif.b, key);
    ASSERT_NE(nullptr, region);
    int inside = 0;
    for (int y = -1; y <= 6; y++) {
        for (int x = -1; x <= 8; x++) {
            const bool opaque = x >= 0 && x < 8 && y >= 0 && y < 6 && kGifPattern[y][x] != 2;
            EXPECT_EQ(opaque, PtInRegion(region, x, y) != 0) << x << "," << y;
            inside += opaque;
        }
    }
    EXPECT_EQ(36, inside);
    DeleteObject(region);

    // A picture all of the key colour gives an empty region; none of it, the
    // whole rectangle.
    Bitmap plain;
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&plain.b, 4, 2, 24, NULL, 0));
    FillColour(plain.b, RGB(9, 9, 9));
    struct Case {
        COLORREF key;
        int region;
    } cases[] = { { RGB(9, 9, 9), NULLREGION }, { RGB(9, 9, 8), SIMPLEREGION } };
    for (const Case& c : cases) {
        HRGN r = ImgRegionWithoutColour(&plain.b, c.key);
        ASSERT_NE(nullptr, r);
        RECT box;
        EXPECT_EQ(c.region, GetRgnBox(r, &box)) << Hex(c.key);
        DeleteObject(r);
    }
}

TEST(ImgFile, IconBitmapsMaskTheKeyColourAfterScaling)
{
    Bitmap gif;
    int transparent = -1;
    ASSERT_EQ(IMG_SUCCESS, ImgLoadFile(Picture("key.gif").c_str(), &gif.b, 0, IMG_ORDER_BGR, &transparent));
    for (COLORREF key : { RGB(255, 0, 255), (COLORREF)0xFFFFFFFF }) {
        HBITMAP colour = NULL, mask = NULL;
        ASSERT_EQ(IMG_SUCCESS, ImgMakeIconBitmaps(&gif.b, 32, key, &colour, &mask));
        BITMAP bm;
        GetObjectA(mask, sizeof(bm), &bm);
        EXPECT_EQ(32, bm.bmWidth);
        EXPECT_EQ(1, bm.bmBitsPixel);
        HDC dc = CreateCompatibleDC(NULL);
        for (int y = 0; y < 32; y += 3) {
            for (int x = 0; x < 32; x += 3) {
                const int index = kGifPattern[y * 6 / 32][x * 8 / 32];
                HGDIOBJ old = SelectObject(dc, mask);
                const bool transparentPixel = GetPixel(dc, x, y) == RGB(255, 255, 255);
                SelectObject(dc, colour);
                const COLORREF c = GetPixel(dc, x, y);
                SelectObject(dc, old);
                EXPECT_EQ(key != 0xFFFFFFFF && index == 2, transparentPixel) << x << "," << y;
                EXPECT_EQ(Hex(kGifPalette[index]), Hex(c)) << x << "," << y;
            }
        }
        DeleteDC(dc);
        DeleteObject(colour);
        DeleteObject(mask);
    }
}

TEST(ImgFile, BitmapFromADeviceBitmap)
{
    HDC screen = GetDC(NULL);
    HBITMAP ddb = CreateCompatibleBitmap(screen, 6, 4);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, ddb);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 6; x++)
            SetPixelV(dc, x, y, RGB(x * 40, y * 60, 7));
    SelectObject(dc, old);
    Bitmap b;
    ASSERT_EQ(IMG_SUCCESS, ImgBitmapFromDDB(dc, &b.b, ddb, NULL));
    EXPECT_EQ(6, b.b.width);
    EXPECT_EQ(4, b.b.height);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 6; x++)
            EXPECT_EQ(Hex(RGB(x * 40, y * 60, 7)), Hex(Colour(b.b, x, y))) << x << "," << y;
    DeleteDC(dc);
    DeleteObject(ddb);
    ReleaseDC(NULL, screen);
}
