#include "OverlayTestSupport.h"

#include "overlays/OverlayImageAbove.h"
#include "overlays/OverlaySpotlight.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

using overlaytest::DibFrame;
using overlaytest::B;
using overlaytest::G;
using overlaytest::R;

namespace {

const LONGLONG kSecond = 10000000;
const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kGreen = RGB(0, 255, 0);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kMagenta = RGB(255, 0, 255);

class OverlayImageDrawTest : public ::testing::Test {
protected:
    void SetUp() override { overlaytest::StartGdiplus(); }

    // An image file of w x h pixels from a function of (x, y).
    template <typename F> std::string Image(const char* name, int w, int h, F pixel)
    {
        std::vector<COLORREF> pixels((size_t)w * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                pixels[(size_t)y * w + x] = pixel(x, y);
        const std::string path = m_dir.File(name);
        EXPECT_TRUE(overlaytest::WriteBmp(path, w, h, pixels));
        return path;
    }

    // An image overlay laid 1:1 at (x, y) on a movie the frame's size.
    static void Place(COverlayImageAbove& o, const std::string& path, float x, float y, float w, float h)
    {
        o.m_imagePath = path.c_str();
        o.m_rectDestX = x;
        o.m_rectDestY = y;
        o.m_rectDestWidth = w;
        o.m_rectDestHeight = h;
        o.m_end = kSecond;
    }

    testsupport::ScratchDir m_dir{"vxovl"};
};

bool Near(COLORREF a, COLORREF b, int tolerance)
{
    return abs(R(a) - R(b)) <= tolerance && abs(G(a) - G(b)) <= tolerance && abs(B(a) - B(b)) <= tolerance;
}

std::string Text(COLORREF c)
{
    char s[32];
    snprintf(s, sizeof(s), "(%d,%d,%d)", R(c), G(c), B(c));
    return s;
}

}  // namespace

// Drawn 1:1, the image's pixels land exactly where RectDest puts them.
TEST_F(OverlayImageDrawTest, DrawsTheImageOneToOne)
{
    const std::string path = Image("grid.bmp", 8, 6, [](int x, int y) { return RGB(x * 30, y * 40, 200); });
    COverlayImageAbove o;
    Place(o, path, 5, 3, 8, 6);
    DibFrame frame(20, 12, kBlack);
    o.Draw(frame.Bitmap(), 0);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 5 && x < 13 && y >= 3 && y < 9;
            const COLORREF want = inside ? RGB((x - 5) * 30, (y - 3) * 40, 200) : kBlack;
            ASSERT_TRUE(Near(want, frame.At(x, y), 2)) << x << "," << y << " " << Text(frame.At(x, y));
        }
}

// A missing file draws nothing.
TEST_F(OverlayImageDrawTest, MissingImageDrawsNothing)
{
    COverlayImageAbove o;
    Place(o, m_dir.File("none.png"), 0, 0, 4, 4);
    DibFrame frame(8, 8, kBlack);
    o.Draw(frame.Bitmap(), 0);
    EXPECT_EQ(0, frame.CountNot(kBlack));
}

// The colour matrix maps each channel c to mask + (white - mask) * c and
// scales the alpha by the faded opacity.
TEST_F(OverlayImageDrawTest, ColourMatrix)
{
    const std::string path = Image("m.bmp", 4, 4, [](int x, int) { return x < 2 ? RGB(255, 0, 128) : RGB(0, 255, 64); });
    const struct {
        COLORREF mask, white;
        float opacity;
        COLORREF left, right;   // over black
    } cases[] = {
        {0xFF000000, 0xFFFFFFFF, 1.0f, RGB(255, 0, 128), RGB(0, 255, 64)},
        {0x00402010, 0x00C0A080, 1.0f, RGB(0x80, 0x20, 0x80), RGB(0x10, 0xA0, 0x60)},
        {0x00000000, 0x00000000, 1.0f, kBlack, kBlack},
        {0x00FFFFFF, 0x00000000, 1.0f, RGB(0, 255, 127), RGB(255, 0, 191)},   // inverted
        {0xFF000000, 0xFFFFFFFF, 0.5f, RGB(127, 0, 64), RGB(0, 127, 32)},
    };
    for (const auto& c : cases) {
        COverlayImageAbove o;
        Place(o, path, 0, 0, 4, 4);
        o.m_colorMask = c.mask;
        o.m_whiteColorMask = c.white;
        o.m_opacity = c.opacity;
        DibFrame frame(4, 4, kBlack);
        o.Draw(frame.Bitmap(), 0);
        EXPECT_TRUE(Near(c.left, frame.At(0, 1), 3)) << std::hex << c.mask << " " << Text(frame.At(0, 1));
        EXPECT_TRUE(Near(c.right, frame.At(3, 1), 3)) << std::hex << c.mask << " " << Text(frame.At(3, 1));
    }
}

// Rotate turns the image once with the GDI+ rotate-flip value.
TEST_F(OverlayImageDrawTest, Rotate)
{
    // 4 x 2: left half red, right half green; a blue pixel marks the top-left.
    const std::string path = Image("r.bmp", 4, 2, [](int x, int y) {
        return x == 0 && y == 0 ? kBlue : (x < 2 ? kRed : kGreen);
    });
    const struct {
        int rotate;
        int w, h;
        const char* rows;   // expected pixels, row by row: r g b
    } cases[] = {
        {0, 4, 2, "brgg/rrgg"},
        {1, 2, 4, "rb/rr/gg/gg"},   // 90 degrees clockwise
        {2, 4, 2, "ggrr/ggrb"},     // 180
        {3, 2, 4, "gg/gg/rr/br"},   // 270
        {4, 4, 2, "ggrb/ggrr"},     // flipped horizontally
        {6, 4, 2, "rrgg/brgg"},     // flipped vertically
    };
    for (const auto& c : cases) {
        COverlayImageAbove o;
        Place(o, path, 0, 0, (float)c.w, (float)c.h);
        o.SetRotate(c.rotate);
        DibFrame frame(c.w, c.h, kBlack);
        o.Draw(frame.Bitmap(), 0);
        o.Draw(frame.Bitmap(), 0);   // turned once only
        std::string rows;
        for (int y = 0; y < c.h; ++y) {
            if (y)
                rows += "/";
            for (int x = 0; x < c.w; ++x) {
                const COLORREF p = frame.At(x, y);
                rows += Near(p, kRed, 2) ? 'r' : Near(p, kGreen, 2) ? 'g' : Near(p, kBlue, 2) ? 'b' : '?';
            }
        }
        EXPECT_EQ(c.rows, rows) << "rotate " << c.rotate;
    }
}

// The colour key: pixels of the transparent colour let the frame show.
TEST_F(OverlayImageDrawTest, ColourKey)
{
    const std::string path = Image("k.bmp", 4, 4, [](int x, int y) { return (x + y) % 2 ? kMagenta : kBlue; });
    for (int use = 0; use < 2; ++use) {
        COverlayImageAbove o;
        Place(o, path, 0, 0, 4, 4);
        o.m_useTColor = use;
        o.m_clrTransparent = 0x00FF00FF;
        DibFrame frame(4, 4, kGreen);
        o.Draw(frame.Bitmap(), 0);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                const COLORREF want = (x + y) % 2 ? (use ? kGreen : kMagenta) : kBlue;
                EXPECT_TRUE(Near(want, frame.At(x, y), 2)) << "use " << use << " at " << x << "," << y;
            }
    }
}

// The drop shadow: a soft silhouette in the shadow colour under the image,
// moved by the shadow offset; nothing on the opposite side.
TEST_F(OverlayImageDrawTest, DropShadow)
{
    const std::string path = Image("s.bmp", 10, 10, [](int, int) { return kBlue; });
    COverlayImageAbove o;
    Place(o, path, 20, 20, 10, 10);
    o.SetUseDropShadow(1);
    o.m_clrShadow = 0;
    o.m_shadowBlur = 2;
    o.m_shadowOpacity = 100;
    o.m_shadowSizeX = 4;
    o.m_shadowSizeY = 4;
    DibFrame frame(64, 64, kWhite);
    o.Draw(frame.Bitmap(), 0);
    EXPECT_TRUE(Near(kBlue, frame.At(25, 25), 2)) << Text(frame.At(25, 25));
    EXPECT_TRUE(Near(kBlack, frame.At(31, 31), 8)) << "deep in the shadow: " << Text(frame.At(31, 31));
    const int edge = R(frame.At(35, 30));
    EXPECT_GT(edge, 40) << "the shadow's edge is soft";
    EXPECT_LT(edge, 230) << "the shadow's edge is soft";
    EXPECT_EQ(kWhite, frame.At(18, 18)) << "nothing opposite the offset";
    EXPECT_EQ(kWhite, frame.At(50, 50));
    // Turned off, no shadow.
    o.SetUseDropShadow(0);
    DibFrame plain(64, 64, kWhite);
    o.Draw(plain.Bitmap(), 0);
    EXPECT_EQ(kWhite, plain.At(31, 31));
    EXPECT_EQ(100, plain.CountNot(kWhite));
}

// The shadow bitmap: (w + 2r) x (h + 2r), alpha the mean over the window.
TEST_F(OverlayImageDrawTest, MakeShadowAveragesAlpha)
{
    Gdiplus::Bitmap image(3, 3, PixelFormat32bppARGB);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            image.SetPixel(x, y, Gdiplus::Color(255, 10, 20, 30));
    COverlayImageAbove o;
    o.m_clrShadow = RGB(1, 2, 3);
    std::unique_ptr<Gdiplus::Bitmap> shadow(o.MakeShadow(&image, 1));
    ASSERT_TRUE(shadow);
    ASSERT_EQ(5u, shadow->GetWidth());
    ASSERT_EQ(5u, shadow->GetHeight());
    const struct {
        int x, y, alpha;
    } cases[] = {{2, 2, 255}, {1, 1, 4 * 255 / 9}, {0, 0, 255 / 9}, {0, 2, 3 * 255 / 9}, {1, 2, 6 * 255 / 9}};
    for (const auto& c : cases) {
        Gdiplus::Color p;
        shadow->GetPixel(c.x, c.y, &p);
        EXPECT_EQ(c.alpha, p.GetA()) << c.x << "," << c.y;
        EXPECT_EQ(1, p.GetR());
        EXPECT_EQ(3, p.GetB());
    }
    EXPECT_EQ(nullptr, o.MakeShadow(nullptr, 2));
}

// A frame twice the movie's size shows the image at its natural size,
// centred; a frame half the movie's width shows it at half size.
TEST_F(OverlayImageDrawTest, MovieScaling)
{
    const std::string path = Image("c.bmp", 16, 12, [](int, int) { return kRed; });
    const struct {
        int frameW, frameH;
        RECT expected;
    } cases[] = {
        {64, 48, {8, 4, 24, 16}},      // the movie's own size
        {128, 96, {40, 28, 56, 40}},   // twice: natural size, centred
        {32, 48, {4, 14, 12, 20}},     // half the width: half size, centred vertically
    };
    // One overlay for all the frames: its scaled image is rebuilt for each
    // new destination size.
    COverlayImageAbove scaled;
    Place(scaled, path, 8, 4, 16, 12);
    scaled.m_movieWidth = 64;
    scaled.m_movieHeight = 48;
    for (int round = 0; round < 2; ++round) {
        for (const auto& c : cases) {
            COverlayImageAbove& o = scaled;
            DibFrame frame(c.frameW, c.frameH, kBlack);
            o.Draw(frame.Bitmap(), 0);
            RECT ink;
            frame.CountNot(kBlack, &ink);
            EXPECT_NEAR(c.expected.left, ink.left, 1) << c.frameW;
            EXPECT_NEAR(c.expected.top, ink.top, 1) << c.frameW;
            EXPECT_NEAR(c.expected.right, ink.right, 1) << c.frameW;
            EXPECT_NEAR(c.expected.bottom, ink.bottom, 1) << c.frameW;
            EXPECT_TRUE(Near(kRed, frame.At((c.expected.left + c.expected.right) / 2, (c.expected.top + c.expected.bottom) / 2), 2));
        }
    }
    // A movie size of 0 is the frame's own: no division by zero.
    COverlayImageAbove o;
    Place(o, path, 2, 2, 16, 12);
    DibFrame frame(40, 30, kBlack);
    o.Draw(frame.Bitmap(), 0);
    RECT ink;
    EXPECT_EQ(16 * 12, frame.CountNot(kBlack, &ink));
    EXPECT_EQ(2, ink.left);
    EXPECT_EQ(2, ink.top);
}

// Half-way through the fade-in the image is half blended; after End +
// FadeOut it is gone.
TEST_F(OverlayImageDrawTest, FadesWithTheOverlay)
{
    const std::string path = Image("f.bmp", 4, 4, [](int, int) { return kWhite; });
    COverlayImageAbove o;
    Place(o, path, 0, 0, 4, 4);
    o.m_start = kSecond;
    o.m_end = 2 * kSecond;
    o.m_fadeIn = kSecond;
    const struct {
        LONGLONG t;
        int level;
    } cases[] = {{kSecond / 2, 127}, {kSecond, 255}, {kSecond * 3 / 2, 255}, {2 * kSecond, 0}, {kSecond / 4, 63}};
    for (const auto& c : cases) {
        DibFrame frame(4, 4, kBlack);
        o.Draw(frame.Bitmap(), c.t);
        EXPECT_NEAR(c.level, R(frame.At(1, 1)), 3) << c.t;
    }
}

// BlurImage: a radius of 0.4 rounds to 0, images not larger than the window
// are left alone, a single bright pixel spreads over the window (integer
// means), brightness scales and a negative one darkens to black.
TEST_F(OverlayImageDrawTest, BlurImage)
{
    auto spot = [](DibFrame& f) {
        f.Fill(kBlack);
        f.Set(3, 3, kWhite);
    };
    {
        DibFrame f(7, 7, kBlack);
        spot(f);
        EXPECT_TRUE(COverlaySpotlight::BlurImage(f.Bitmap(), 0.4, 1.0));
        EXPECT_EQ(1, f.CountNot(kBlack)) << "0.4 rounds to 0";
    }
    {
        DibFrame f(3, 3, kBlack);
        f.Set(1, 1, kWhite);
        EXPECT_TRUE(COverlaySpotlight::BlurImage(f.Bitmap(), 1.0, 1.0));
        EXPECT_EQ(kWhite, f.At(1, 1)) << "3 x 3 is not larger than the window";
        EXPECT_EQ(1, f.CountNot(kBlack));
    }
    {
        DibFrame f(7, 7, kBlack);
        spot(f);
        EXPECT_TRUE(COverlaySpotlight::BlurImage(f.Bitmap(), 1.0, 1.0));
        RECT box;
        EXPECT_EQ(9, f.CountNot(kBlack, &box));
        EXPECT_EQ(2, box.left);
        EXPECT_EQ(5, box.right);
        EXPECT_EQ(RGB(28, 28, 28), f.At(3, 3)) << Text(f.At(3, 3));   // (255 / 3) * (65536 / 3) >> 16
        EXPECT_EQ(RGB(28, 28, 28), f.At(2, 4));
    }
    {
        DibFrame f(6, 6, RGB(200, 100, 40));
        EXPECT_TRUE(COverlaySpotlight::BlurImage(f.Bitmap(), 0.0, 0.5));
        EXPECT_EQ(RGB(100, 50, 20), f.At(2, 2));
        EXPECT_TRUE(COverlaySpotlight::BlurImage(f.Bitmap(), 0.0, 4.0));
        EXPECT_EQ(RGB(255, 200, 80), f.At(2, 2)) << "limited to 255";
        EXPECT_TRUE(COverlaySpotlight::BlurImage(f.Bitmap(), 0.0, -1.5));
        EXPECT_EQ(kBlack, f.At(2, 2)) << "a negative brightness darkens";
    }
    EXPECT_FALSE(COverlaySpotlight::BlurImage(nullptr, 1.0, 1.0));
}

// The spotlight at full strength: the frame outside the rectangle darkened
// by Brightness / 256, the rectangle's copy laid back unchanged (zoom 100).
// Outside its ramps (envelopes 0) it changes nothing.
TEST_F(OverlayImageDrawTest, SpotlightDarkensAroundTheRectangle)
{
    auto pattern = [](DibFrame& f) {
        for (int y = 0; y < f.Height(); ++y)
            for (int x = 0; x < f.Width(); ++x)
                f.Set(x, y, RGB(200, (x * 4) & 0xFF, (y * 4) & 0xFF));
    };
    COverlaySpotlight s;
    s.m_start = kSecond;
    s.m_end = 3 * kSecond;
    s.m_rectangleX = 16;
    s.m_rectangleY = 12;
    s.m_rectangleWidth = 32;
    s.m_rectangleHeight = 24;
    s.m_blurRadius = 0;
    s.m_brightness = 128;
    s.m_addShadow = 0;
    DibFrame frame(64, 48, kBlack);
    pattern(frame);
    DibFrame original(64, 48, kBlack);
    pattern(original);
    s.Draw(frame.Bitmap(), 2 * kSecond);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool inside = x >= 16 && x < 48 && y >= 12 && y < 36;
            const COLORREF o = original.At(x, y);
            const COLORREF want = inside ? o : RGB(R(o) / 2, G(o) / 2, B(o) / 2);
            ASSERT_TRUE(Near(want, frame.At(x, y), 1)) << x << "," << y << " " << Text(frame.At(x, y));
        }

    // With ramps, at Start the envelopes are 0: unblurred, full brightness, unzoomed.
    s.m_zoomLength = kSecond;
    s.m_brightnessFadeTime = kSecond;
    s.m_zoomLevel = 200;
    s.m_blurRadius = 3;
    DibFrame still(64, 48, kBlack);
    pattern(still);
    s.Draw(still.Bitmap(), kSecond);
    EXPECT_EQ(original.Pixels(), still.Pixels());
    // Inactive before Start (no fade-in): nothing at all.
    s.Draw(still.Bitmap(), kSecond / 2);
    EXPECT_EQ(original.Pixels(), still.Pixels());
}

// Zoom 200 % doubles the rectangle about its centre, through the imaging
// layer's resampler; the copy's centre pixel stays where it was.
TEST_F(OverlayImageDrawTest, SpotlightZoomsAboutTheCentre)
{
    COverlaySpotlight s;
    s.m_end = kSecond;
    s.m_rectangleX = 24;
    s.m_rectangleY = 16;
    s.m_rectangleWidth = 16;
    s.m_rectangleHeight = 16;
    s.m_blurRadius = 0;
    s.m_brightness = 256;
    s.m_addShadow = 0;
    s.m_zoomLevel = 200;
    DibFrame frame(64, 48, kBlack);
    // Inside the rectangle: left half red, right half green.
    for (int y = 16; y < 32; ++y)
        for (int x = 24; x < 40; ++x)
            frame.Set(x, y, x < 32 ? kRed : kGreen);
    s.Draw(frame.Bitmap(), 0);
    RECT ink;
    frame.CountNot(kBlack, &ink);
    EXPECT_EQ(16, ink.left);
    EXPECT_EQ(8, ink.top);
    EXPECT_EQ(48, ink.right);
    EXPECT_EQ(40, ink.bottom);
    EXPECT_TRUE(Near(kRed, frame.At(18, 24), 2)) << Text(frame.At(18, 24));
    EXPECT_TRUE(Near(kGreen, frame.At(45, 24), 2)) << Text(frame.At(45, 24));

    // A zoom far past the frame is cut to the frame: no giant allocation.
    s.m_zoomLevel = 1000;
    DibFrame big(64, 48, kBlack);
    for (int y = 16; y < 32; ++y)
        for (int x = 24; x < 40; ++x)
            big.Set(x, y, x < 32 ? kRed : kGreen);
    s.Draw(big.Bitmap(), 0);
    EXPECT_TRUE(Near(kRed, big.At(5, 24), 2));
    EXPECT_TRUE(Near(kGreen, big.At(60, 24), 2));
}

// The spotlight's shadow darkens the frame beside the rectangle, by at most
// 30 %, fading out over the shadow softness.
TEST_F(OverlayImageDrawTest, SpotlightShadow)
{
    COverlaySpotlight s;
    s.m_end = kSecond;
    s.m_rectangleX = 10;
    s.m_rectangleY = 10;
    s.m_rectangleWidth = 20;
    s.m_rectangleHeight = 20;
    s.m_blurRadius = 0;
    s.m_brightness = 256;
    DibFrame frame(64, 64, kWhite);
    s.Draw(frame.Bitmap(), 0);
    EXPECT_EQ(kWhite, frame.At(20, 20)) << "the rectangle itself";
    EXPECT_NEAR(255 * 0.7, R(frame.At(34, 34)), 3) << "under the offset shadow";
    const int soft = R(frame.At(40, 34));
    EXPECT_GT(soft, 180);
    EXPECT_LT(soft, 255);
    EXPECT_EQ(kWhite, frame.At(50, 50));
    EXPECT_EQ(kWhite, frame.At(5, 5));
}
