#include "platform/imaging/Imaging.h"

#include "ImagingTestUtil.h"

#include <gtest/gtest.h>

#include <string.h>

using namespace imgtest;

namespace {

const COLORREF kBack = RGB(0, 0, 255);
const COLORREF kColour = RGB(255, 255, 0);
const COLORREF kLight = RGB(255, 255, 255);
const COLORREF kDark = RGB(128, 128, 128);
const COLORREF kPaint = RGB(192, 192, 192);

// Draws one shape into a 24-bit bitmap of the rectangle's size filled with kBack.
void Draw(Bitmap& bm, int width, int height, UINT shape, UINT style, int* result = nullptr)
{
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, width, height, 24, nullptr, 0));
    FillColour(bm.b, kBack);
    HDC dc = ImgCreateDC(&bm.b);
    ASSERT_NE(nullptr, dc);
    const RECT r = {0, 0, width, height};
    const int rc = ImgDrawShape(dc, &r, shape, style, kColour, kLight, kDark, kPaint);
    ImgReleaseDC(dc);
    if (result)
        *result = rc;
    else
        EXPECT_EQ(IMG_SUCCESS, rc) << shape;
}

// The first pixel along the diagonal from a corner that is not the background.
COLORREF FirstOnDiagonal(const ImgBitmap& b, int x, int y, int dx, int dy)
{
    for (; x >= 0 && y >= 0 && x < b.width && y < b.height; x += dx, y += dy)
        if (Colour(b, x, y) != kBack)
            return Colour(b, x, y);
    return kBack;
}

}  // namespace

// The highlight's default, the ellipse: filled in the colour at the centre,
// the corners of its square untouched, a light rim at the upper left and a
// dark one at the lower right.
TEST(ImgShape, EllipseFillsTheCentreAndLeavesTheCorners)
{
    Bitmap bm;
    Draw(bm, 64, 64, 7000, IMG_SHAPE_SOLID);
    EXPECT_EQ(Hex(kColour), Hex(Colour(bm.b, 32, 32)));
    EXPECT_EQ(Hex(kColour), Hex(Colour(bm.b, 28, 36)));
    const int corners[4][2] = {{0, 0}, {63, 0}, {0, 63}, {63, 63}};
    for (const auto& c : corners)
        EXPECT_EQ(Hex(kBack), Hex(Colour(bm.b, c[0], c[1]))) << c[0] << "," << c[1];
    EXPECT_EQ(Hex(kLight), Hex(FirstOnDiagonal(bm.b, 0, 0, 1, 1)));
    EXPECT_EQ(Hex(kDark), Hex(FirstOnDiagonal(bm.b, 63, 63, -1, -1)));
    // The edges' midpoints are inside the ellipse, a little way in.
    EXPECT_NE(Hex(kBack), Hex(Colour(bm.b, 32, 2)));
    EXPECT_NE(Hex(kBack), Hex(Colour(bm.b, 2, 32)));
}

TEST(ImgShape, InnerFillHasNoRimAndPaintBackFillsTheOutside)
{
    Bitmap inner;
    Draw(inner, 64, 64, 7000, IMG_SHAPE_INNERFILL);
    EXPECT_EQ(Hex(kColour), Hex(FirstOnDiagonal(inner.b, 0, 0, 1, 1)));
    EXPECT_EQ(Hex(kColour), Hex(FirstOnDiagonal(inner.b, 63, 63, -1, -1)));
    EXPECT_EQ(Hex(kBack), Hex(Colour(inner.b, 0, 0)));

    Bitmap painted;
    Draw(painted, 64, 64, 7000, IMG_SHAPE_SOLID | IMG_SHAPE_PAINTBACK);
    const int corners[4][2] = {{0, 0}, {63, 0}, {0, 63}, {63, 63}};
    for (const auto& c : corners)
        EXPECT_EQ(Hex(kPaint), Hex(Colour(painted.b, c[0], c[1]))) << c[0] << "," << c[1];
    EXPECT_EQ(Hex(kColour), Hex(Colour(painted.b, 32, 32)));
}

// Every stored shape number draws something shaped: the centre in the
// colour, and the top-left corner covered only by the plain rectangles.
TEST(ImgShape, EveryShapeNumberFillsItsCentre)
{
    for (UINT family = 1; family <= 11; ++family)
        for (UINT variant = 0; variant <= 3; ++variant) {
            const UINT shape = family * 1000 + variant;
            const bool wide = shape == 2000 || shape == 2001 || shape == 8000;
            const int width = 64, height = wide ? 32 : 64;
            Bitmap bm;
            Draw(bm, width, height, shape, IMG_SHAPE_INNERFILL);
            EXPECT_EQ(Hex(kColour), Hex(Colour(bm.b, width / 2, height / 2))) << shape;
            if (family != 5) {  // triangles reach corners; their own test covers them
                const bool cornerCovered = shape == 1000 || shape == 2000;
                EXPECT_EQ(cornerCovered, Colour(bm.b, 0, 0) == kColour) << shape;
                EXPECT_EQ(cornerCovered, Colour(bm.b, width - 1, height - 1) == kColour) << shape;
            }
            int inside = 0;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    inside += Colour(bm.b, x, y) == kColour;
            EXPECT_GT(inside, width * height / 5) << shape;
        }
}

// Triangles point where their variant says: the tip's side has colour only
// near its middle.
TEST(ImgShape, TriangleVariantsPointTheirWay)
{
    struct Case {
        UINT shape;
        int tipX, tipY;     // near the tip: inside
        int baseX, baseY;   // a corner on the tip's side: outside
    } cases[] = {
        {5000, 32, 4, 4, 4},   // up
        {5001, 32, 59, 4, 59}, // down
        {5002, 4, 32, 4, 4},   // left
        {5003, 59, 32, 59, 4}, // right
    };
    for (const Case& c : cases) {
        Bitmap bm;
        Draw(bm, 64, 64, c.shape, IMG_SHAPE_INNERFILL);
        EXPECT_EQ(Hex(kColour), Hex(Colour(bm.b, c.tipX, c.tipY))) << c.shape;
        EXPECT_EQ(Hex(kBack), Hex(Colour(bm.b, c.baseX, c.baseY))) << c.shape;
    }
}

TEST(ImgShape, OutOfRangeNumbersDrawTheEllipseAndBadRectanglesAreRefused)
{
    Bitmap ellipse, fallback;
    Draw(ellipse, 40, 40, 7000, IMG_SHAPE_SOLID);
    Draw(fallback, 40, 40, 500, IMG_SHAPE_SOLID);
    EXPECT_EQ(0, memcmp(ellipse.b.bits, fallback.b.bits, (size_t)ellipse.b.bytesPerLine * 40));

    Bitmap bm;
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 8, 8, 24, nullptr, 0));
    HDC dc = ImgCreateDC(&bm.b);
    const RECT empty = {4, 4, 4, 10}, inverted = {6, 6, 2, 2}, good = {0, 0, 8, 8};
    EXPECT_EQ(IMG_INVALID_PARAMETER, ImgDrawShape(dc, &empty, 7000, 0, kColour, kLight, kDark, kPaint));
    EXPECT_EQ(IMG_INVALID_PARAMETER, ImgDrawShape(dc, &inverted, 7000, 0, kColour, kLight, kDark, kPaint));
    EXPECT_EQ(IMG_INVALID_PARAMETER, ImgDrawShape(dc, nullptr, 7000, 0, kColour, kLight, kDark, kPaint));
    EXPECT_EQ(IMG_INVALID_PARAMETER, ImgDrawShape(NULL, &good, 7000, 0, kColour, kLight, kDark, kPaint));
    ImgReleaseDC(dc);
    for (int i = 0; i < bm.b.bytesPerLine * 8; ++i)
        ASSERT_EQ(0, bm.b.bits[i]) << "nothing drawn";
}
