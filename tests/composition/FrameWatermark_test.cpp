#include "capture/FrameWatermark.h"

#include "capture/FrameBitmap.h"
#include "settings/RecorderPrefs.h"
#include "tests/support/TestSupport.h"
#include "../capture/CaptureTestSupport.h"

#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

// A 24-bit BMP with a gradient, so that misplaced pixels show.
bool WriteGradientBmp(const std::string& path, int width, int height)
{
    const DWORD row = DibRowBytes(width, 24);
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {sizeof(info), width, height, 1, 24, BI_RGB, row * height};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + row * height;
    std::string bytes((const char*)&file, sizeof(file));
    bytes.append((const char*)&info, sizeof(info));
    std::string pixels(row * height, '\0');
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            pixels[y * row + x * 3] = (char)(x * 255 / width);
            pixels[y * row + x * 3 + 1] = (char)(y * 255 / height);
            pixels[y * row + x * 3 + 2] = (char)200;
        }
    bytes += pixels;
    return testsupport::WriteFileBytes(path, bytes.data(), bytes.size());
}

// A frame format (header and, for 8 bits, a grey colour table) and pixels
// with a pattern.
struct Frame {
    Frame(int width, int height, int depth, bool topDown)
    {
        const DWORD colours = depth == 8 ? 256 : 0;
        format.assign(sizeof(BITMAPINFOHEADER) + colours * sizeof(RGBQUAD), 0);
        BITMAPINFOHEADER* h = (BITMAPINFOHEADER*)format.data();
        h->biSize = sizeof(BITMAPINFOHEADER);
        h->biWidth = width;
        h->biHeight = topDown ? -height : height;
        h->biPlanes = 1;
        h->biBitCount = (WORD)depth;
        h->biSizeImage = DibRowBytes(width, depth) * height;
        h->biClrUsed = colours;
        RGBQUAD* table = (RGBQUAD*)(format.data() + sizeof(BITMAPINFOHEADER));
        for (DWORD i = 0; i < colours; ++i)
            table[i] = RGBQUAD{(BYTE)i, (BYTE)i, (BYTE)i, 0};
        bits.resize(h->biSizeImage);
        for (size_t i = 0; i < bits.size(); ++i)
            bits[i] = (BYTE)((i * 31) / 7);
    }
    const BITMAPINFO* Info() const { return (const BITMAPINFO*)format.data(); }
    const BITMAPINFOHEADER& Header() const { return *(const BITMAPINFOHEADER*)format.data(); }
    std::vector<BYTE> format;
    std::vector<BYTE> bits;
};

// Where the pixels of two frames first differ (row padding is no pixel), or "".
std::string FirstDifference(const Frame& a, const Frame& b)
{
    const BITMAPINFOHEADER& h = a.Header();
    const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    const DWORD row = DibRowBytes(h.biWidth, h.biBitCount);
    const DWORD used = (DWORD)h.biWidth * h.biBitCount / 8;
    for (int y = 0; y < height; ++y)
        for (DWORD i = 0; i < used; ++i)
            if (a.bits[y * row + i] != b.bits[y * row + i])
                return "row " + std::to_string(y) + " byte " + std::to_string(i);
    return "";
}

}  // namespace

// Drawing only the watermark's part of the frame gives exactly the pixels of
// drawing through the whole frame, for every depth, both row orders, at the
// frame's edges and corners, at fractional places and half opacity.
TEST(FrameWatermark, PartGivesThePixelsOfTheWholeFrame)
{
    capturetest::App();   // GDI+ is started with the application object
    testsupport::ScratchDir dir("vxframewm");
    const std::string image = dir.File("mark.bmp");
    ASSERT_TRUE(WriteGradientBmp(image, 40, 24));
    struct Case {
        const char* name;
        int depth;
        bool topDown;
        int position, offsetX, offsetY, opacity;
        BOOL preserve;
        int scale;
    };
    const Case cases[] = {
        {"24 bottom right", 24, false, 8, 0, 0, 100, TRUE, 100},
        {"24 top left, half opacity", 24, false, 0, 0, 0, 50, TRUE, 100},
        {"32 centre scaled", 32, false, 4, 0, 0, 70, FALSE, 23},
        {"32 top-down offsets", 32, true, 2, 13, 7, 100, TRUE, 100},
        {"16 bottom left", 16, false, 6, 3, 3, 80, TRUE, 100},
        {"8 middle right", 8, false, 5, 0, 0, 100, TRUE, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CRecorderPrefs prefs(&capturetest::App());
        WatermarkSettings& s = prefs.m_watermark;
        s.m_bInclude = TRUE;
        s.m_strImagePath = image.c_str();
        s.m_nImageScale = c.scale;
        s.m_nHorizontalOffset = c.offsetX;
        s.m_nVerticalOffset = c.offsetY;
        s.m_nOpacity = c.opacity;
        s.m_nPosition = c.position;
        s.m_bPreserveSize = c.preserve;
        s.m_bKeepAspectRatio = FALSE;
        s.m_bSmoothScale = TRUE;
        s.m_bEmboss = FALSE;
        s.m_bUseTransparentColor = FALSE;

        Frame whole(203, 117, c.depth, c.topDown);
        Frame part(203, 117, c.depth, c.topDown);
        const std::vector<BYTE> original = whole.bits;
        CFrameWatermark watermark(s);
        ASSERT_TRUE(watermark.Load(&whole.Header()));
        ASSERT_TRUE(watermark.IsPrepared());
        watermark.DrawOnFrame(whole.Info(), whole.bits.data());
        watermark.DrawOnFramePart(part.Info(), part.bits.data());
        ASSERT_NE(original, whole.bits) << "the watermark changes the frame";
        EXPECT_EQ("", FirstDifference(whole, part));
        // Drawing again from the same object gives the same pixels: the
        // placement is left as it was.
        watermark.DrawOnFramePart(part.Info(), part.bits.data());
        watermark.DrawOnFrame(whole.Info(), whole.bits.data());
        EXPECT_EQ("", FirstDifference(whole, part));
    }
}
