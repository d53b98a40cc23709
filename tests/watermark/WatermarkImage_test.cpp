#include "capture/WatermarkImage.h"

#include "TestSupport.h"
#include "WatermarkTestSupport.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

// The palette of the 8-bit test frames: a grey ramp with blue, red and a
// red-blue mix at places where no fixed palette keeps them.
const int kBlueIndex = 17;
const int kRedIndex = 200;
const int kPurpleIndex = 90;

// A frame in memory: header with room for a palette or bit masks, and bits.
class Frame {
public:
    Frame(int width, int height, int depth, bool topDown = false, bool mask565 = false)
        : m_width(width), m_height(height), m_depth(depth),
          m_info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD))
    {
        BITMAPINFOHEADER& h = Info()->bmiHeader;
        h.biSize = sizeof(BITMAPINFOHEADER);
        h.biWidth = width;
        h.biHeight = topDown ? -height : height;
        h.biPlanes = 1;
        h.biBitCount = (WORD)depth;
        h.biCompression = mask565 ? BI_BITFIELDS : BI_RGB;
        h.biSizeImage = (DWORD)(Stride() * height);
        m_topDown = topDown;
        m_565 = mask565;
        if (mask565) {
            DWORD* masks = (DWORD*)Info()->bmiColors;
            masks[0] = 0xF800;
            masks[1] = 0x07E0;
            masks[2] = 0x001F;
        }
        if (depth == 8) {
            for (int i = 0; i < 256; ++i)
                Info()->bmiColors[i] = RGBQUAD{(BYTE)i, (BYTE)i, (BYTE)i, 0};
            Info()->bmiColors[kBlueIndex] = RGBQUAD{255, 0, 0, 0};
            Info()->bmiColors[kRedIndex] = RGBQUAD{0, 0, 255, 0};
            Info()->bmiColors[kPurpleIndex] = RGBQUAD{128, 0, 128, 0};
        }
        m_bits.assign((size_t)h.biSizeImage, 0);
    }

    BITMAPINFO* Info() { return (BITMAPINFO*)m_info.data(); }
    void* Bits() { return m_bits.data(); }
    const std::vector<BYTE>& Bytes() const { return m_bits; }
    int Stride() const { return ((m_width * m_depth + 31) / 32) * 4; }

    // Fills with a colour (8 bits: the nearest of blue, red, or a grey level).
    void Fill(COLORREF colour)
    {
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x)
                Set(x, y, colour);
    }

    void Set(int x, int y, COLORREF c)
    {
        BYTE* p = At(x, y);
        const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
        switch (m_depth) {
        case 8:
            *p = (BYTE)(c == RGB(0, 0, 255) ? kBlueIndex : c == RGB(255, 0, 0) ? kRedIndex : r);
            break;
        case 16: {
            const WORD v = m_565 ? (WORD)(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3))
                                 : (WORD)(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
            memcpy(p, &v, 2);
            break;
        }
        default:
            p[0] = (BYTE)b;
            p[1] = (BYTE)g;
            p[2] = (BYTE)r;
            if (m_depth == 32)
                p[3] = 0;
        }
    }

    int Index(int x, int y) { return *At(x, y); }

    // The colour of a pixel through the frame's own format and palette.
    COLORREF Get(int x, int y)
    {
        const BYTE* p = At(x, y);
        switch (m_depth) {
        case 8: {
            const RGBQUAD q = Info()->bmiColors[*p];
            return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
        }
        case 16: {
            WORD v;
            memcpy(&v, p, 2);
            int r, g, b;
            if (m_565) {
                r = (v >> 11) & 31;
                g = (v >> 5) & 63;
                b = v & 31;
                return RGB((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
            }
            r = (v >> 10) & 31;
            g = (v >> 5) & 31;
            b = v & 31;
            return RGB((r << 3) | (r >> 2), (g << 3) | (g >> 2), (b << 3) | (b >> 2));
        }
        default:
            return RGB(p[2], p[1], p[0]);
        }
    }

private:
    BYTE* At(int x, int y)
    {
        const int row = m_topDown ? y : m_height - 1 - y;
        return &m_bits[(size_t)(row * Stride() + x * m_depth / 8)];
    }

    int m_width, m_height, m_depth;
    bool m_topDown = false;
    bool m_565 = false;
    std::vector<BYTE> m_info;
    std::vector<BYTE> m_bits;
};

// Settings that put the watermark at its own size in the frame's centre,
// without emboss or key, at the opacity given.
WatermarkSettings PlainSettings(const std::string& path, int opacity)
{
    WatermarkSettings s;
    s.m_bInclude = TRUE;
    s.m_strImagePath = path.c_str();
    s.m_bPreserveSize = TRUE;
    s.m_nPosition = 4;
    s.m_bEmboss = FALSE;
    s.m_bUseTransparentColor = FALSE;
    s.m_bSmoothScale = FALSE;
    s.m_nOpacity = opacity;
    return s;
}

bool Near(COLORREF a, COLORREF b, int tolerance)
{
    return abs(GetRValue(a) - GetRValue(b)) <= tolerance && abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

class WatermarkImageTest : public ::testing::Test {
protected:
    void SetUp() override { wmtest::StartGdiplus(); }
    testsupport::ScratchDir m_dir{"wmimage"};
};

// An 8 x 6 red watermark at the centre of a 64 x 48 blue frame: (28, 21) to
// (36, 27). Opacity 100 gives the exact colour, 50 the half-way mix; the rest
// of the frame keeps its pixels.
TEST_F(WatermarkImageTest, OpacityOnEveryFrameDepth)
{
    const std::string png = m_dir.File("red.png");
    ASSERT_TRUE(wmtest::WritePng(png, 8, 6, wmtest::Solid(8, 6, wmtest::Argb(255, 255, 0, 0))));
    const struct {
        const char* name;
        int depth;
        bool mask565;
        bool topDown;
        int opacity;
        COLORREF inside;
        int tolerance;
    } cases[] = {
        {"32 bits, 100", 32, false, false, 100, RGB(255, 0, 0), 0},
        {"32 bits, 50", 32, false, false, 50, RGB(128, 0, 127), 3},
        {"24 bits, 100", 24, false, false, 100, RGB(255, 0, 0), 0},
        {"24 bits, 50", 24, false, false, 50, RGB(128, 0, 127), 3},
        {"16 bits, 100", 16, false, false, 100, RGB(255, 0, 0), 0},
        {"16 bits, 50", 16, false, false, 50, RGB(128, 0, 127), 9},
        {"16 bits 5-6-5, 100", 16, true, false, 100, RGB(255, 0, 0), 0},
        {"16 bits 5-6-5, 50", 16, true, false, 50, RGB(128, 0, 127), 9},
        {"8 bits, 100", 8, false, false, 100, RGB(255, 0, 0), 0},
        {"8 bits, 50", 8, false, false, 50, RGB(128, 0, 128), 0},
        {"32 bits, 0", 32, false, false, 0, RGB(0, 0, 255), 0},
        {"32 bits top-down, 100", 32, false, true, 100, RGB(255, 0, 0), 0},
        {"24 bits top-down, 50", 24, false, true, 50, RGB(128, 0, 127), 3},
    };
    for (const auto& c : cases) {
        Frame frame(64, 48, c.depth, c.topDown, c.mask565);
        frame.Fill(RGB(0, 0, 255));
        const std::vector<RGBQUAD> palette(frame.Info()->bmiColors, frame.Info()->bmiColors + 256);
        CWatermarkImage image(PlainSettings(png, c.opacity));
        ASSERT_TRUE(image.Load(&frame.Info()->bmiHeader)) << c.name;
        EXPECT_TRUE(image.IsPrepared()) << c.name;
        EXPECT_EQ(8, image.ImageWidth()) << c.name;
        EXPECT_EQ(6, image.ImageHeight()) << c.name;
        image.DrawOnFrame(frame.Info(), frame.Bits());
        int wrong = 0;
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 64; ++x) {
                const bool inside = x >= 28 && x < 36 && y >= 21 && y < 27;
                const COLORREF expected = inside ? c.inside : RGB(0, 0, 255);
                if (!Near(frame.Get(x, y), expected, inside ? c.tolerance : 0) && wrong++ < 3)
                    ADD_FAILURE() << c.name << " at " << x << "," << y << " got " << std::hex << frame.Get(x, y)
                                  << " want " << expected;
            }
        }
        EXPECT_EQ(0, wrong) << c.name;
        if (c.depth == 8) {
            // The frame's indices still point into its own palette, unchanged.
            EXPECT_EQ(c.opacity == 100 ? kRedIndex : kPurpleIndex, frame.Index(30, 23)) << c.name;
            EXPECT_EQ(kBlueIndex, frame.Index(2, 2)) << c.name;
            EXPECT_EQ(0, memcmp(palette.data(), frame.Info()->bmiColors, 256 * sizeof(RGBQUAD))) << c.name;
        }
    }
}

// A white-and-red watermark keyed on white: where it was white the frame
// keeps its own pixels.
TEST_F(WatermarkImageTest, KeyedColourLeavesTheFrame)
{
    const std::vector<DWORD> pixels =
        wmtest::Split(8, 6, 4, wmtest::Argb(255, 255, 255, 255), wmtest::Argb(255, 255, 0, 0));
    const std::string png = m_dir.File("keyed.png");
    ASSERT_TRUE(wmtest::WritePng(png, 8, 6, pixels));
    for (int depth : {8, 16, 24, 32}) {
        for (BOOL key : {TRUE, FALSE}) {
            Frame frame(64, 48, depth);
            frame.Fill(RGB(0, 0, 255));
            WatermarkSettings s = PlainSettings(png, 100);
            s.m_bUseTransparentColor = key;
            s.m_crTransparentColor = RGB(255, 255, 255);
            CWatermarkImage image(s);
            ASSERT_TRUE(image.Load(&frame.Info()->bmiHeader));
            image.DrawOnFrame(frame.Info(), frame.Bits());
            const COLORREF whitePart = frame.Get(29, 23);
            if (key)
                EXPECT_EQ(RGB(0, 0, 255), whitePart) << depth << " bits: keyed white shows the frame";
            else
                EXPECT_EQ(RGB(255, 255, 255), whitePart) << depth << " bits: white drawn without the key";
            EXPECT_EQ(RGB(255, 0, 0), frame.Get(34, 23)) << depth << " bits, key " << key;
        }
    }
}

// Preserve size draws the image at its own pixels on every frame size.
TEST_F(WatermarkImageTest, PreserveSizeKeepsTheImagePixels)
{
    const std::string png = m_dir.File("small.png");
    ASSERT_TRUE(wmtest::WritePng(png, 10, 5, wmtest::Solid(10, 5, wmtest::Argb(255, 255, 0, 0))));
    const struct {
        int width;
        int height;
        BOOL preserve;
        int expectW;
        int expectH;
        bool topDown;
    } cases[] = {
        {64, 48, TRUE, 10, 5, false},
        {200, 150, TRUE, 10, 5, false},
        {64, 48, TRUE, 10, 5, true},   // top-down rows stay the right way up
        // Keep aspect at 20 %: min(20, 30) * (20 * 0.01f) is a hair under 4,
        // so the prepared bitmap is truncated to 39 x 19 and stretched over
        // the placement of 39.99 x 19.99: 40 x 20 pixels.
        {200, 150, FALSE, 40, 20, false},
    };
    for (const auto& c : cases) {
        Frame frame(c.width, c.height, 24, c.topDown);
        frame.Fill(RGB(0, 0, 255));
        WatermarkSettings s = PlainSettings(png, 100);
        s.m_bPreserveSize = c.preserve;
        s.m_nPosition = 0;
        s.m_nHorizontalOffset = 0;
        s.m_nVerticalOffset = 0;
        CWatermarkImage image(s);
        ASSERT_TRUE(image.Load(&frame.Info()->bmiHeader));
        image.DrawOnFrame(frame.Info(), frame.Bits());
        int minX = c.width, minY = c.height, maxX = -1, maxY = -1;
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                if (frame.Get(x, y) == RGB(255, 0, 0)) {
                    minX = x < minX ? x : minX;
                    minY = y < minY ? y : minY;
                    maxX = x > maxX ? x : maxX;
                    maxY = y > maxY ? y : maxY;
                }
            }
        }
        EXPECT_EQ(0, minX) << c.width << " top-down " << c.topDown;
        EXPECT_EQ(0, minY) << c.width << " top-down " << c.topDown;
        EXPECT_EQ(c.expectW - 1, maxX) << c.width << " preserve " << c.preserve;
        EXPECT_EQ(c.expectH - 1, maxY) << c.width << " preserve " << c.preserve;
    }
}

// Emboss through the frame path: a black | white image embossed east at
// depth 1 has light edges (alpha 85, level 212) at its two middle columns and
// nothing elsewhere; on grey 100 they blend to 212 * 85/255 + 100 * 170/255.
TEST_F(WatermarkImageTest, EmbossedWatermarkOnAFrame)
{
    const std::vector<DWORD> pixels =
        wmtest::Split(8, 6, 4, wmtest::Argb(255, 0, 0, 0), wmtest::Argb(255, 255, 255, 255));
    const std::string png = m_dir.File("edge.png");
    ASSERT_TRUE(wmtest::WritePng(png, 8, 6, pixels));
    Frame frame(64, 48, 24);
    frame.Fill(RGB(100, 100, 100));
    WatermarkSettings s = PlainSettings(png, 100);
    s.m_bEmboss = TRUE;
    s.m_nEmbossDirection = 2;
    s.m_nEmbossDepth = 1;
    CWatermarkImage image(s);
    ASSERT_TRUE(image.Load(&frame.Info()->bmiHeader));
    image.DrawOnFrame(frame.Info(), frame.Bits());
    for (int y = 21; y < 27; ++y) {
        for (int x = 28; x < 36; ++x) {
            const bool edge = (x == 31 || x == 32) && y >= 22 && y <= 25;
            const COLORREF expected = edge ? RGB(137, 137, 137) : RGB(100, 100, 100);
            EXPECT_TRUE(Near(frame.Get(x, y), expected, edge ? 3 : 0))
                << x << "," << y << " got " << std::hex << frame.Get(x, y);
        }
    }
}

TEST_F(WatermarkImageTest, MissingOrBrokenFileDrawsNothing)
{
    const std::string junk = m_dir.File("junk.png");
    ASSERT_TRUE(testsupport::WriteFileBytes(junk, "junk", 4));
    for (const std::string& path : {m_dir.File("missing.png"), junk, std::string()}) {
        for (int depth : {8, 16, 24, 32}) {
            Frame frame(32, 24, depth);
            frame.Fill(RGB(0, 0, 255));
            const std::vector<BYTE> before = frame.Bytes();
            CWatermarkImage image(PlainSettings(path, 100));
            EXPECT_FALSE(image.Load(&frame.Info()->bmiHeader)) << path;
            EXPECT_FALSE(image.IsPrepared()) << path;
            image.DrawOnFrame(frame.Info(), frame.Bits());
            EXPECT_EQ(before, frame.Bytes()) << path << " " << depth << " bits";
            ImgBitmap bitmap;
            ImgInitBitmap(&bitmap);
            ASSERT_EQ(IMG_SUCCESS, ImgBitmapFromDIB(&bitmap, frame.Info(), frame.Bits()));
            const size_t size = (size_t)bitmap.bytesPerLine * bitmap.height;
            const std::vector<BYTE> held(bitmap.bits, bitmap.bits + size);
            image.Draw(&bitmap);
            EXPECT_EQ(0, memcmp(held.data(), bitmap.bits, size)) << "Draw paints nothing: " << path;
            ImgFreeBitmap(&bitmap);
        }
    }
}

// Frames the library cannot take are left alone; a frame with a short
// image size gets no more bytes than it says it holds.
TEST_F(WatermarkImageTest, UnusableFramesAreLeftAlone)
{
    const std::string png = m_dir.File("red.png");
    ASSERT_TRUE(wmtest::WritePng(png, 8, 6, wmtest::Solid(8, 6, wmtest::Argb(255, 255, 0, 0))));
    Frame model(64, 48, 24);
    CWatermarkImage image(PlainSettings(png, 100));
    ASSERT_TRUE(image.Load(&model.Info()->bmiHeader));

    Frame fourBit(64, 48, 24);
    fourBit.Fill(RGB(0, 0, 255));
    fourBit.Info()->bmiHeader.biBitCount = 4;
    std::vector<BYTE> before = fourBit.Bytes();
    image.DrawOnFrame(fourBit.Info(), fourBit.Bits());
    EXPECT_EQ(before, fourBit.Bytes()) << "4 bits is not a frame depth";

    // A header whose image size is too small for its rows is refused whole.
    Frame shortFrame(64, 48, 24);
    shortFrame.Fill(RGB(0, 0, 255));
    shortFrame.Info()->bmiHeader.biSizeImage /= 2;
    before = shortFrame.Bytes();
    image.DrawOnFrame(shortFrame.Info(), shortFrame.Bits());
    EXPECT_EQ(before, shortFrame.Bytes()) << "a short frame is left as it was";

    // The same frame with its true size does get the watermark.
    shortFrame.Info()->bmiHeader.biSizeImage *= 2;
    image.DrawOnFrame(shortFrame.Info(), shortFrame.Bits());
    EXPECT_EQ(RGB(255, 0, 0), shortFrame.Get(30, 23));

    image.DrawOnFrame(nullptr, shortFrame.Bits());
    image.DrawOnFrame(shortFrame.Info(), nullptr);
}

}  // namespace
