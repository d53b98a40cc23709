#include "capture/Watermark.h"

#include "capture/WatermarkSettings.h"

#include "TestSupport.h"
#include "WatermarkTestSupport.h"

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string>
#include <vector>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

struct PlacementCase {
    const char* name;
    int position;
    int hOffset;
    int vOffset;
    int scale;
    BOOL keepAspect;
    BOOL preserveSize;
    int W, H, iw, ih;
    float x, y, w, h;
};

TEST(WatermarkPlacement, PositionsOffsetsAndSizes)
{
    const PlacementCase cases[] = {
        // A 200 x 100 image at its own size on 640 x 480 with 5 % offsets:
        // the gaps are 320 - 100 = 220 across and 240 - 50 = 190 down.
        {"top left", 0, 5, 5, 20, TRUE, TRUE, 640, 480, 200, 100, 22.0f, 19.0f, 200.0f, 100.0f},
        {"top centre", 1, 5, 5, 20, TRUE, TRUE, 640, 480, 200, 100, 220.0f, 19.0f, 200.0f, 100.0f},
        {"top right", 2, 5, 5, 20, TRUE, TRUE, 640, 480, 200, 100, 418.0f, 19.0f, 200.0f, 100.0f},
        {"middle left", 3, 5, 5, 20, TRUE, TRUE, 640, 480, 200, 100, 22.0f, 190.0f, 200.0f, 100.0f},
        {"centre", 4, 5, 5, 20, TRUE, TRUE, 640, 480, 200, 100, 220.0f, 190.0f, 200.0f, 100.0f},
        {"middle right", 5, 5, 5, 20, TRUE, TRUE, 640, 480, 200, 100, 418.0f, 190.0f, 200.0f, 100.0f},
        {"bottom left", 6, 5, 5, 20, TRUE, TRUE, 640, 480, 200, 100, 22.0f, 361.0f, 200.0f, 100.0f},
        {"bottom centre", 7, 5, 5, 20, TRUE, TRUE, 640, 480, 200, 100, 220.0f, 361.0f, 200.0f, 100.0f},
        {"bottom right", 8, 5, 5, 20, TRUE, TRUE, 640, 480, 200, 100, 418.0f, 361.0f, 200.0f, 100.0f},
        // The centre ignores both offsets; 50 % from a corner reaches the centre.
        {"centre, big offsets", 4, 50, 37, 20, TRUE, TRUE, 640, 480, 200, 100, 220.0f, 190.0f, 200.0f, 100.0f},
        {"top left, 50 %", 0, 50, 50, 20, TRUE, TRUE, 640, 480, 200, 100, 220.0f, 190.0f, 200.0f, 100.0f},
        {"bottom right, no offset", 8, 0, 0, 20, TRUE, TRUE, 640, 480, 200, 100, 440.0f, 380.0f, 200.0f, 100.0f},
        {"top centre, offsets differ", 1, 50, 10, 20, TRUE, TRUE, 640, 480, 200, 100, 220.0f, 38.0f, 200.0f, 100.0f},
        // Keep aspect: r = min(640/400, 480/100) * 0.2 = 0.32, 128 x 32.
        {"keep aspect", 8, 5, 5, 20, TRUE, FALSE, 640, 480, 400, 100, 486.4f, 425.6f, 128.0f, 32.0f},
        {"keep aspect, tall image", 0, 0, 0, 50, TRUE, FALSE, 640, 480, 100, 400, 0.0f, 0.0f, 60.0f, 240.0f},
        // Without keep aspect the watermark takes the area's shape.
        // 20 * 0.01f is a hair under 0.2: w = 127.99999, so the truncated
        // half is 63 and the gap 257 (and 193 down).
        {"area aspect", 0, 10, 10, 20, FALSE, FALSE, 640, 480, 400, 100, 51.4f, 38.6f, 128.0f, 96.0f},
        {"area aspect, full", 4, 5, 5, 100, FALSE, FALSE, 640, 480, 7, 3, 0.0f, 0.0f, 640.0f, 480.0f},
        // Preserve size wins over both scale switches.
        {"preserve over scale", 8, 5, 5, 1, FALSE, TRUE, 640, 480, 200, 100, 418.0f, 361.0f, 200.0f, 100.0f},
        // Odd areas and images: integer halves of the area, truncated halves of the image.
        {"odd centre", 4, 5, 5, 20, TRUE, TRUE, 641, 481, 201, 101, 219.5f, 189.5f, 201.0f, 101.0f},
        {"odd corner", 8, 5, 5, 20, TRUE, TRUE, 641, 481, 201, 101, 418.0f, 361.0f, 201.0f, 101.0f},
        // A damaged stored position counts as bottom right.
        {"position out of range", 12, 5, 5, 20, TRUE, TRUE, 640, 480, 200, 100, 418.0f, 361.0f, 200.0f, 100.0f},
        {"negative position", -3, 5, 5, 20, TRUE, TRUE, 640, 480, 200, 100, 418.0f, 361.0f, 200.0f, 100.0f},
        // An empty image has no size to scale.
        {"empty image", 0, 0, 0, 20, TRUE, FALSE, 640, 480, 0, 0, 0.0f, 0.0f, 0.0f, 0.0f},
    };
    for (const PlacementCase& c : cases) {
        WatermarkSettings s;
        s.m_nPosition = c.position;
        s.m_nHorizontalOffset = c.hOffset;
        s.m_nVerticalOffset = c.vOffset;
        s.m_nImageScale = c.scale;
        s.m_bKeepAspectRatio = c.keepAspect;
        s.m_bPreserveSize = c.preserveSize;
        const WatermarkPlacement p = CWatermark::Place(s, c.W, c.H, c.iw, c.ih);
        EXPECT_NEAR(c.x, p.x, 0.01f) << c.name;
        EXPECT_NEAR(c.y, p.y, 0.01f) << c.name;
        EXPECT_NEAR(c.w, p.w, 0.01f) << c.name;
        EXPECT_NEAR(c.h, p.h, 0.01f) << c.name;

        // The member form fills the placement it was given.
        WatermarkPlacement target = {-1.0f, -1.0f, -1.0f, -1.0f};
        CWatermark watermark(&s, &target);
        watermark.ComputePlacement(c.W, c.H, c.iw, c.ih);
        EXPECT_NEAR(c.x, target.x, 0.01f) << c.name;
        EXPECT_NEAR(c.h, target.h, 0.01f) << c.name;
    }
}

TEST(WatermarkEmboss, KernelForEachDirection)
{
    const struct {
        int direction;
        int kernel[9];
    } cases[] = {
        {0, {1, 1, 1, 0, 0, 0, -1, -1, -1}},
        {1, {0, 1, 1, -1, 0, 1, -1, -1, 0}},
        {2, {-1, 0, 1, -1, 0, 1, -1, 0, 1}},
        {3, {-1, -1, 0, -1, 0, 1, 0, 1, 1}},
        {4, {-1, -1, -1, 0, 0, 0, 1, 1, 1}},
        {5, {0, -1, -1, 1, 0, -1, 1, 1, 0}},
        {6, {1, 0, -1, 1, 0, -1, 1, 0, -1}},
        {7, {1, 1, 0, 1, 0, -1, 0, -1, -1}},
        {8, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {-1, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        int kernel[9];
        for (int& k : kernel)
            k = 77;
        MakeEmbossKernel(kernel, c.direction, 1);
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(c.kernel[i], kernel[i]) << "direction " << c.direction << " cell " << i;
    }
    int deep[9];
    MakeEmbossKernel(deep, 2, 3);
    EXPECT_EQ(3, deep[2]);
    EXPECT_EQ(-3, deep[6]);
    EXPECT_EQ(0, deep[4]);
}

std::vector<DWORD> Emboss(const WatermarkSettings& s, int width, int height, const std::vector<DWORD>& pixels,
                          int* outWidth, int* outHeight)
{
    GpBitmap* bitmap = wmtest::MakeBitmap(width, height, pixels);
    EXPECT_NE(nullptr, bitmap);
    WatermarkPlacement placement = {};
    CWatermark watermark(&s, &placement);
    watermark.ApplyEmboss(&bitmap);
    std::vector<DWORD> out = wmtest::ReadBitmap(bitmap, outWidth, outHeight);
    GdipDisposeImage(bitmap);
    return out;
}

// A vertical edge from black to a colour: the east kernel sees three times
// the colour's grey on its plus side. Grey is 0.3 R + 0.59 G + 0.11 B, the
// sum is divided by 9, times the depth, clamped to -127..128; alpha is the
// magnitude and the grey level 127 + v.
TEST(WatermarkEmboss, EdgesBecomeGreyWithStrengthAsAlpha)
{
    const struct {
        const char* name;
        DWORD left;
        DWORD right;
        int direction;
        int depth;
        int v;   // expected value at the two edge columns of the inner rows
    } cases[] = {
        {"white east", wmtest::Argb(255, 0, 0, 0), wmtest::Argb(255, 255, 255, 255), 2, 1, 85},
        {"white west", wmtest::Argb(255, 0, 0, 0), wmtest::Argb(255, 255, 255, 255), 6, 1, -85},
        {"white east deep", wmtest::Argb(255, 0, 0, 0), wmtest::Argb(255, 255, 255, 255), 2, 20, 128},
        {"white west deep", wmtest::Argb(255, 0, 0, 0), wmtest::Argb(255, 255, 255, 255), 6, 20, -127},
        {"red weight", wmtest::Argb(255, 0, 0, 0), wmtest::Argb(255, 255, 0, 0), 2, 1, 25},
        {"green weight", wmtest::Argb(255, 0, 0, 0), wmtest::Argb(255, 0, 255, 0), 2, 1, 50},
        {"blue weight", wmtest::Argb(255, 0, 0, 0), wmtest::Argb(255, 0, 0, 255), 2, 1, 9},
        {"north sees no vertical edge", wmtest::Argb(255, 0, 0, 0), wmtest::Argb(255, 255, 255, 255), 0, 20, 0},
        {"depth 0", wmtest::Argb(255, 0, 0, 0), wmtest::Argb(255, 255, 255, 255), 2, 0, 0},
        {"flat image", wmtest::Argb(255, 90, 140, 30), wmtest::Argb(255, 90, 140, 30), 3, 50, 0},
    };
    for (const auto& c : cases) {
        WatermarkSettings s;
        s.m_nEmbossDirection = c.direction;
        s.m_nEmbossDepth = c.depth;
        int w = 0, h = 0;
        const std::vector<DWORD> out = Emboss(s, 6, 4, wmtest::Split(6, 4, 3, c.left, c.right), &w, &h);
        ASSERT_EQ(6, w) << c.name;
        ASSERT_EQ(4, h) << c.name;
        ASSERT_EQ(24u, out.size()) << c.name;
        // Inner pixels off the edge have v = 0: grey 127 at alpha 0. The
        // border stays as created: all zero.
        const DWORD edge = wmtest::Argb(abs(c.v), 127 + c.v, 127 + c.v, 127 + c.v);
        const DWORD flat = wmtest::Argb(0, 127, 127, 127);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 6; ++x) {
                const bool inner = y >= 1 && y <= 2 && x >= 1 && x <= 4;
                const DWORD expected = !inner ? 0 : (x == 2 || x == 3) ? edge : flat;
                EXPECT_EQ(expected, out[(size_t)(y * 6 + x)])
                    << c.name << " at " << x << "," << y << std::hex << " got " << out[(size_t)(y * 6 + x)];
            }
        }
    }
}

TEST(WatermarkEmboss, NarrowImagesHaveOnlyTransparentBorder)
{
    const struct {
        int width;
        int height;
    } sizes[] = {{1, 5}, {2, 5}, {5, 1}, {5, 2}, {1, 1}};
    for (const auto& size : sizes) {
        WatermarkSettings s;
        s.m_nEmbossDirection = 2;
        s.m_nEmbossDepth = 100;
        std::vector<DWORD> pixels;
        for (int i = 0; i < size.width * size.height; ++i)
            pixels.push_back(i % 2 ? wmtest::Argb(255, 255, 255, 255) : wmtest::Argb(255, 0, 0, 0));
        int w = 0, h = 0;
        const std::vector<DWORD> out = Emboss(s, size.width, size.height, pixels, &w, &h);
        ASSERT_EQ((size_t)(size.width * size.height), out.size()) << size.width << "x" << size.height;
        for (DWORD p : out)
            EXPECT_EQ(0u, p) << size.width << "x" << size.height;
    }
}

// Prepares a watermark at its own size from a source bitmap and reads the
// prepared pixels back.
std::vector<DWORD> PrepareFrom(const WatermarkSettings& s, int width, int height,
                               const std::vector<DWORD>& pixels, int* w, int* h)
{
    GpBitmap* source = wmtest::MakeBitmap(width, height, pixels);
    WatermarkPlacement placement = {};
    CWatermark watermark(&s, &placement);
    EXPECT_TRUE(watermark.Prepare(source, 640, 480));
    GdipDisposeImage(source);
    if (!watermark.Prepared())
        return std::vector<DWORD>();
    return wmtest::ReadBitmap(watermark.Prepared(), w, h);
}

TEST(WatermarkScaling, ColourKeyClearsExactlyThatColourWhateverItsAlpha)
{
    const DWORD white = wmtest::Argb(255, 255, 255, 255);
    const DWORD halfWhite = wmtest::Argb(128, 255, 255, 255);
    const DWORD nearWhite = wmtest::Argb(255, 254, 255, 255);
    const DWORD red = wmtest::Argb(255, 255, 0, 0);
    const std::vector<DWORD> pixels = {white, halfWhite, nearWhite, red, red, white, nearWhite, white};

    const struct {
        const char* name;
        BOOL useKey;
        COLORREF key;
        std::vector<DWORD> expected;
    } cases[] = {
        {"white key", TRUE, RGB(255, 255, 255), {0, 0, nearWhite, red, red, 0, nearWhite, 0}},
        {"red key", TRUE, RGB(255, 0, 0), {white, halfWhite, nearWhite, 0, 0, white, nearWhite, white}},
        {"key off", FALSE, RGB(255, 255, 255), pixels},
    };
    for (const auto& c : cases) {
        WatermarkSettings s;
        s.m_bPreserveSize = TRUE;
        s.m_bEmboss = FALSE;
        s.m_bSmoothScale = FALSE;
        s.m_bUseTransparentColor = c.useKey;
        s.m_crTransparentColor = c.key;
        int w = 0, h = 0;
        const std::vector<DWORD> out = PrepareFrom(s, 4, 2, pixels, &w, &h);
        ASSERT_EQ(4, w) << c.name;
        ASSERT_EQ(2, h) << c.name;
        for (size_t i = 0; i < pixels.size(); ++i) {
            if (c.expected[i] == 0)
                EXPECT_EQ(0u, out[i] >> 24) << c.name << " pixel " << i << " stays transparent";
            else
                EXPECT_EQ(c.expected[i], out[i]) << c.name << " pixel " << i << std::hex << " got " << out[i];
        }
    }
}

TEST(WatermarkScaling, NearestAndSmoothScaling)
{
    // A 4 x 2 image, black | white, scaled to 20 x 10 (100 % of a 20 x 10 area
    // without keeping the aspect): nearest keeps hard halves, smooth makes
    // greys between them.
    const DWORD black = wmtest::Argb(255, 0, 0, 0);
    const DWORD white = wmtest::Argb(255, 255, 255, 255);
    const std::vector<DWORD> pixels = {black, black, white, white, black, black, white, white};
    for (BOOL smooth : {FALSE, TRUE}) {
        WatermarkSettings s;
        s.m_bEmboss = FALSE;
        s.m_bUseTransparentColor = FALSE;
        s.m_bKeepAspectRatio = FALSE;
        s.m_nImageScale = 100;
        s.m_bSmoothScale = smooth;
        GpBitmap* source = wmtest::MakeBitmap(4, 2, pixels);
        WatermarkPlacement placement = {};
        CWatermark watermark(&s, &placement);
        ASSERT_TRUE(watermark.Prepare(source, 20, 10));
        GdipDisposeImage(source);
        int w = 0, h = 0;
        const std::vector<DWORD> out = wmtest::ReadBitmap(watermark.Prepared(), &w, &h);
        ASSERT_EQ(20, w);
        ASSERT_EQ(10, h);
        std::string row;
        int greys = 0;
        for (int x = 0; x < 20; ++x) {
            const DWORD p = out[(size_t)(5 * 20 + x)];
            const int level = (int)(p & 0xFF);
            if (level > 20 && level < 235)
                ++greys;
            char hex[12];
            snprintf(hex, sizeof(hex), " %08lx", (unsigned long)p);
            row += hex;
        }
        SCOPED_TRACE("row 5:" + row);
        EXPECT_EQ(black, out[(size_t)(5 * 20 + 1)]) << "smooth " << smooth;
        EXPECT_EQ(white, out[(size_t)(5 * 20 + 18)]) << "smooth " << smooth;
        if (smooth)
            EXPECT_GT(greys, 0) << "bilinear blends the two halves";
        else
            EXPECT_EQ(0, greys) << "nearest keeps the halves hard";
    }
}

// A white-backed image keyed on white loses its background before the emboss
// runs, so the edges of a dark square against it are gone too.
TEST(WatermarkScaling, KeyAppliesBeforeEmboss)
{
    std::vector<DWORD> pixels = wmtest::Solid(8, 8, wmtest::Argb(255, 255, 255, 255));
    for (int y = 2; y < 6; ++y)
        for (int x = 2; x < 6; ++x)
            pixels[(size_t)(y * 8 + x)] = wmtest::Argb(255, 0, 0, 0);
    for (BOOL key : {FALSE, TRUE}) {
        WatermarkSettings s;
        s.m_bPreserveSize = TRUE;
        s.m_bSmoothScale = FALSE;
        s.m_bEmboss = TRUE;
        s.m_nEmbossDirection = 2;
        s.m_nEmbossDepth = 20;
        s.m_bUseTransparentColor = key;
        int w = 0, h = 0;
        const std::vector<DWORD> out = PrepareFrom(s, 8, 8, pixels, &w, &h);
        ASSERT_EQ(64u, out.size());
        int visible = 0;
        for (DWORD p : out)
            visible += (p >> 24) != 0;
        if (key)
            EXPECT_EQ(0, visible) << "keyed white leaves no edge";
        else
            EXPECT_GT(visible, 0) << "white against black makes edges";
    }
}

// Draws a prepared bitmap with the page's opacity onto an opaque blue canvas.
TEST(WatermarkOpacity, AlphaIsScaledByOpacity)
{
    const struct {
        int opacity;
        int imageAlpha;
        int red;     // expected red of the canvas under the watermark
        int blue;
        int tolerance;
    } cases[] = {
        {100, 255, 255, 0, 0},
        {50, 255, 128, 127, 2},
        {0, 255, 0, 255, 0},
        {100, 128, 128, 127, 2},
    };
    for (const auto& c : cases) {
        WatermarkSettings s;
        s.m_nOpacity = c.opacity;
        WatermarkPlacement placement = {2.0f, 3.0f, 4.0f, 4.0f};
        CWatermark watermark(&s, &placement);
        GpBitmap* prepared = wmtest::MakeBitmap(4, 4, wmtest::Solid(4, 4, wmtest::Argb(c.imageAlpha, 255, 0, 0)));
        GpBitmap* canvas = wmtest::MakeBitmap(10, 10, wmtest::Solid(10, 10, wmtest::Argb(255, 0, 0, 255)));
        GpGraphics* g = nullptr;
        ASSERT_EQ(Ok, GdipGetImageGraphicsContext(canvas, &g));
        watermark.DrawWithOpacity(g, prepared);
        GdipDeleteGraphics(g);
        int w = 0, h = 0;
        const std::vector<DWORD> out = wmtest::ReadBitmap(canvas, &w, &h);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 10; ++x) {
                const DWORD p = out[(size_t)(y * 10 + x)];
                const bool inside = x >= 2 && x < 6 && y >= 3 && y < 7;
                const int red = (int)((p >> 16) & 0xFF);
                const int blue = (int)(p & 0xFF);
                if (inside) {
                    EXPECT_NEAR(c.red, red, c.tolerance) << "opacity " << c.opacity << " at " << x << "," << y;
                    EXPECT_NEAR(c.blue, blue, c.tolerance) << "opacity " << c.opacity << " at " << x << "," << y;
                } else {
                    EXPECT_EQ(0xFF0000FFu, p) << "opacity " << c.opacity << " outside at " << x << "," << y;
                }
            }
        }
        GdipDisposeImage(prepared);
        GdipDisposeImage(canvas);
    }
}

TEST(WatermarkFile, LoadsImagesAndRefusesOthers)
{
    wmtest::StartGdiplus();
    testsupport::ScratchDir dir("wmload");
    const std::string png = dir.File("wm_load_test.png");
    const std::string junk = dir.File("wm_load_test_junk.png");
    ASSERT_TRUE(wmtest::WritePng(png, 3, 2, wmtest::Solid(3, 2, wmtest::Argb(255, 1, 2, 3))));
    const char text[] = "not an image at all";
    ASSERT_TRUE(testsupport::WriteFileBytes(junk, text, sizeof(text)));

    GpBitmap* image = LoadWatermarkImage(png.c_str());
    ASSERT_NE(nullptr, image);
    UINT w = 0, h = 0;
    GdipGetImageWidth(image, &w);
    GdipGetImageHeight(image, &h);
    EXPECT_EQ(3u, w);
    EXPECT_EQ(2u, h);
    GdipDisposeImage(image);
    EXPECT_EQ(nullptr, LoadWatermarkImage(junk.c_str()));
    EXPECT_EQ(nullptr, LoadWatermarkImage(dir.File("no_such_watermark.png").c_str()));
    EXPECT_EQ(nullptr, LoadWatermarkImage(""));
}

}  // namespace
