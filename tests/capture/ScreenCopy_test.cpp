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
        int firstRows;
    } cases[] = {
        {1920, 32, 68},         // 240 KB / (1920 * 4); 512 KB / (1920 * 4)
        {1900, 32, 68},
        {2560, 24, 51},
        {320, 192, 409},
        {1, 61440, 131072},
        {0, 1, 1},
        {-5, 1, 1},
        {70000, 1, 1},          // wider than a band: one row a band
        {200000, 1, 1},         // wider than the first band too
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.rows, ScreenCopyBandRows(c.width)) << "width " << c.width;
        EXPECT_EQ(c.firstRows, ScreenCopyFirstBandRows(c.width)) << "width " << c.width;
    }

    // Every width: at least one row, never more than 240 KB at 4 bytes a
    // pixel unless a single row is wider, and not needlessly thin.
    const int bandBytes = 240 * 1024;
    for (int width = 1; width <= 70000; ++width) {
        const int rows = ScreenCopyBandRows(width);
        ASSERT_GE(rows, 1) << "width " << width;
        if (rows > 1) {
            ASSERT_LE((long long)rows * width * 4, bandBytes) << "width " << width;
        }
        ASSERT_GT((long long)(rows + 1) * width * 4, bandBytes) << "width " << width;
    }
}

// The banded copy gives exactly the pixels of one copy of the whole area:
// every row once, from the right source row, at the right place, including
// areas whose height is not a whole number of bands, offset areas and a
// first band larger than the rest, as the first copy of a process makes.
TEST(ScreenCopy, BandsReassembleTheWholeArea)
{
    Surface source(1920, 1080);
    for (int y = 0; y < source.height; ++y)
        for (int x = 0; x < source.width; ++x)
            source.At(x, y) = Origin(x, y);

    const struct {
        int sx, sy, width, height, dx, dy;
        int firstRows, rows;    // 0: CopyScreenArea's own bands
    } cases[] = {
        {0, 0, 1920, 1080, 0, 0, 0, 0},        // the whole screen
        {0, 0, 1920, 1080, 0, 0, 68, 32},      // a larger first band
        {0, 0, 1920, 1080, 0, 0, 32, 32},      // bands all alike
        {0, 50, 1920, 1000, 0, 0, 68, 32},     // a last band shorter than the rest
        {7, 3, 1900, 33, 11, 5, 32, 32},       // one row more than a band
        {7, 3, 1900, 69, 11, 5, 68, 32},       // one row more than the first band
        {100, 200, 320, 240, 0, 0, 409, 192},  // a small area: one band
        {0, 0, 1920, 5, 0, 0, 1, 1},           // a row a band
        {0, 0, 1920, 100, 0, 0, 8, 32},        // a smaller first band
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sx << "," << c.sy << " " << c.width << "x" << c.height << " bands "
                                        << c.firstRows << "/" << c.rows);
        Surface target(1920, 1080);
        memset(target.bits, 0xEE, (size_t)target.width * target.height * 4);
        if (c.rows) {
            ASSERT_TRUE(CopyScreenBands(target.dc, c.dx, c.dy, c.width, c.height, source.dc, c.sx, c.sy, SRCCOPY,
                                        c.firstRows, c.rows));
        } else {
            ASSERT_TRUE(CopyScreenArea(target.dc, c.dx, c.dy, c.width, c.height, source.dc, c.sx, c.sy, SRCCOPY));
        }
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

TEST(ScreenCopy, EmptyAreaOrBandCopiesNothing)
{
    Surface source(16, 16);
    Surface target(16, 16);
    memset(target.bits, 0x11, 16 * 16 * 4);
    EXPECT_FALSE(CopyScreenArea(target.dc, 0, 0, 0, 16, source.dc, 0, 0, SRCCOPY));
    EXPECT_FALSE(CopyScreenArea(target.dc, 0, 0, 16, -1, source.dc, 0, 0, SRCCOPY));
    EXPECT_FALSE(CopyScreenBands(target.dc, 0, 0, 16, 16, source.dc, 0, 0, SRCCOPY, 0, 4));
    EXPECT_FALSE(CopyScreenBands(target.dc, 0, 0, 16, 16, source.dc, 0, 0, SRCCOPY, 4, 0));
    EXPECT_FALSE(CopyScreenBands(target.dc, 0, 0, 16, 16, source.dc, 0, 0, SRCCOPY, 4, -1));
    EXPECT_EQ(0x11111111u, target.At(5, 5));
}
