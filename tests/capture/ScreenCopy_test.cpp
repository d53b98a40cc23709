#include "capture/ScreenCopy.h"

#include <gtest/gtest.h>
#include <string.h>

#include <vector>

namespace {

// A 32-bit top-down DIB section selected into its own DC.
struct Surface {
    Surface(int w, int h) : width(w), height(h)
    {
        BITMAPINFOHEADER header = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB};
        HDC screen = GetDC(NULL);
        bitmap = CreateDIBSection(screen, (BITMAPINFO*)&header, DIB_RGB_COLORS, (void**)&bits, NULL, 0);
        dc = CreateCompatibleDC(screen);
        ReleaseDC(NULL, screen);
        old = SelectObject(dc, bitmap);
    }
    ~Surface()
    {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    DWORD& At(int x, int y) { return bits[(size_t)y * width + x]; }
    int width;
    int height;
    HBITMAP bitmap = NULL;
    HDC dc = NULL;
    HGDIOBJ old = NULL;
    DWORD* bits = NULL;
};

// Every pixel says where it came from.
DWORD Origin(int x, int y)
{
    return ((DWORD)(y & 0xFFF) << 12) | (DWORD)(x & 0xFFF);
}

}  // namespace

TEST(ScreenCopy, BandRowsKeepEachBandSmallAndNeverZero)
{
    const struct {
        int width;
        int rows;
    } cases[] = {
        {1920, 68},         // 512 KB / (1920 * 4)
        {320, 409},
        {1, 131072},
        {0, 1},
        {-5, 1},
        {200000, 1},        // wider than one band: one row a band
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.rows, ScreenCopyBandRows(c.width)) << "width " << c.width;
}

// The banded copy gives exactly the pixels of one copy of the whole area:
// every row once, from the right source row, at the right place, including
// areas whose height is not a whole number of bands and offset areas.
TEST(ScreenCopy, BandsReassembleTheWholeArea)
{
    Surface source(1920, 1080);
    for (int y = 0; y < source.height; ++y)
        for (int x = 0; x < source.width; ++x)
            source.At(x, y) = Origin(x, y);

    const struct {
        int sx, sy, width, height, dx, dy;
    } cases[] = {
        {0, 0, 1920, 1080, 0, 0},      // the whole screen: four bands
        {0, 50, 1920, 1000, 0, 0},     // a last band shorter than the rest
        {7, 3, 1900, 274, 11, 5},      // one row more than a band
        {100, 200, 320, 240, 0, 0},    // a small area: one band
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sx << "," << c.sy << " " << c.width << "x" << c.height);
        Surface target(1920, 1080);
        memset(target.bits, 0xEE, (size_t)target.width * target.height * 4);
        ASSERT_TRUE(CopyScreenArea(target.dc, c.dx, c.dy, c.width, c.height, source.dc, c.sx, c.sy, SRCCOPY));
        GdiFlush();
        int wrong = 0;
        for (int y = 0; y < target.height; ++y) {
            for (int x = 0; x < target.width; ++x) {
                const bool inside = x >= c.dx && x < c.dx + c.width && y >= c.dy && y < c.dy + c.height;
                const DWORD want = inside ? Origin(x - c.dx + c.sx, y - c.dy + c.sy) : 0xEEEEEEEE;
                if ((target.At(x, y) & (inside ? 0xFFFFFF : 0xFFFFFFFF)) != want && wrong++ < 3)
                    ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << target.At(x, y);
            }
        }
        EXPECT_EQ(0, wrong);
    }
}

TEST(ScreenCopy, EmptyAreaCopiesNothing)
{
    Surface source(16, 16);
    Surface target(16, 16);
    memset(target.bits, 0x11, 16 * 16 * 4);
    EXPECT_FALSE(CopyScreenArea(target.dc, 0, 0, 0, 16, source.dc, 0, 0, SRCCOPY));
    EXPECT_FALSE(CopyScreenArea(target.dc, 0, 0, 16, -1, source.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(0x11111111u, target.At(5, 5));
}
