#include "capture/FrameBitmap.h"

#include "capture/WatermarkSettings.h"

#include <gtest/gtest.h>
#include <string.h>

namespace {

// A DIB section of the given depth filled with one colour through GDI.
struct TestBitmap {
    TestBitmap(int width, int height, int bitCount, COLORREF fill)
    {
        struct {
            BITMAPINFOHEADER h;
            RGBQUAD colors[256];
        } info = {};
        info.h.biSize = sizeof(BITMAPINFOHEADER);
        info.h.biWidth = width;
        info.h.biHeight = height;
        info.h.biPlanes = 1;
        info.h.biBitCount = (WORD)bitCount;
        info.h.biCompression = BI_RGB;
        for (int i = 0; i < 256; ++i) {
            info.colors[i].rgbRed = (BYTE)i;
            info.colors[i].rgbGreen = (BYTE)(255 - i);
            info.colors[i].rgbBlue = (BYTE)(i / 2);
        }
        info.colors[255].rgbRed = 255;
        info.colors[255].rgbGreen = 0;
        info.colors[255].rgbBlue = 0;
        screen = GetDC(NULL);
        bitmap = CreateDIBSection(screen, (BITMAPINFO*)&info, DIB_RGB_COLORS, &bits, NULL, 0);
        dc = CreateCompatibleDC(screen);
        old = SelectObject(dc, bitmap);
        RECT all = {0, 0, width, height};
        HBRUSH brush = CreateSolidBrush(fill);
        FillRect(dc, &all, brush);
        DeleteObject(brush);
        GdiFlush();
        SelectObject(dc, old);
    }
    ~TestBitmap()
    {
        DeleteDC(dc);
        DeleteObject(bitmap);
        ReleaseDC(NULL, screen);
    }
    HDC screen = NULL;
    HDC dc = NULL;
    HBITMAP bitmap = NULL;
    HGDIOBJ old = NULL;
    void* bits = NULL;
};

}  // namespace

TEST(FrameBitmap, CreateDIBFromBitmapDepthsAndTables)
{
    struct Case {
        int bitCount;
        BOOL store32As24;
        int expectedBits;
        DWORD expectedClrUsed;
    } cases[] = {
        {32, TRUE, 24, 0},
        {32, FALSE, 32, 0},
        {24, TRUE, 24, 0},
        {16, FALSE, 16, 0},
        {8, FALSE, 8, 256},
    };
    for (const Case& c : cases) {
        TestBitmap source(37, 11, c.bitCount, RGB(255, 0, 0));
        HGLOBAL block = CreateDIBFromBitmap(source.bitmap, source.screen, c.store32As24);
        ASSERT_TRUE(block != NULL) << c.bitCount;
        BITMAPINFOHEADER* h = (BITMAPINFOHEADER*)GlobalLock(block);
        EXPECT_EQ(c.expectedBits, h->biBitCount) << c.bitCount;
        EXPECT_EQ((DWORD)BI_RGB, h->biCompression) << c.bitCount;
        EXPECT_EQ(c.expectedClrUsed, h->biClrUsed) << c.bitCount;
        const DWORD rowBytes = (c.expectedBits * 37 + 31) / 32 * 4;
        EXPECT_EQ(rowBytes * 11, h->biSizeImage) << c.bitCount;
        EXPECT_EQ(sizeof(BITMAPINFOHEADER) + c.expectedClrUsed * 4 + rowBytes * 11, GlobalSize(block))
            << c.bitCount;
        // The first pixel reads back red whatever the depth.
        const BYTE* p = DibBits(h);
        if (c.expectedBits == 8) {
            const RGBQUAD* table = (const RGBQUAD*)(h + 1);
            EXPECT_EQ(255, table[p[0]].rgbRed);
            EXPECT_EQ(0, table[p[0]].rgbGreen);
        } else if (c.expectedBits == 16) {
            const WORD v = *(const WORD*)p;
            EXPECT_EQ(0x7C00, v) << "5-5-5 red";
        } else {
            EXPECT_EQ(0, p[0]);
            EXPECT_EQ(0, p[1]);
            EXPECT_EQ(255, p[2]);
        }
        GlobalUnlock(block);
        GlobalFree(block);
    }
}

// The converted block must hold the target's colour table: GetDIBits writes
// 256 entries for 8 bits and three masks for BI_BITFIELDS right after the
// header, and the rows follow them.
TEST(FrameBitmap, ConvertDIBFormatKeepsRoomForColourTables)
{
    struct Case {
        int targetBits;
        DWORD compression;
        DWORD tableEntries;
    } cases[] = {
        {8, BI_RGB, 256},
        {16, BI_BITFIELDS, 3},
        {32, BI_BITFIELDS, 3},
        {24, BI_RGB, 0},
        {16, BI_RGB, 0},
        {4, BI_RGB, 16},
    };
    TestBitmap source(64, 48, 32, RGB(0, 0, 255));
    HGLOBAL sourceBlock = CreateDIBFromBitmap(source.bitmap, source.screen, FALSE);
    ASSERT_TRUE(sourceBlock != NULL);
    BITMAPINFO* sourceInfo = (BITMAPINFO*)GlobalLock(sourceBlock);
    for (const Case& c : cases) {
        BITMAPINFOHEADER target = {};
        target.biSize = sizeof(target);
        target.biWidth = 64;
        target.biHeight = 48;
        target.biPlanes = 1;
        target.biBitCount = (WORD)c.targetBits;
        target.biCompression = c.compression;
        HGLOBAL block = ConvertDIBFormat(source.screen, sourceInfo, &target);
        ASSERT_TRUE(block != NULL) << c.targetBits;
        const DWORD imageBytes = (DWORD)((c.targetBits * 64 + 31) / 32 * 4 * 48);
        EXPECT_GE(GlobalSize(block), sizeof(BITMAPINFOHEADER) + c.tableEntries * 4 + imageBytes)
            << c.targetBits << "/" << c.compression;
        BITMAPINFOHEADER* h = (BITMAPINFOHEADER*)GlobalLock(block);
        EXPECT_EQ(imageBytes, h->biSizeImage);
        EXPECT_EQ(c.targetBits <= 8 ? (DWORD)1 << c.targetBits : 0u, h->biClrUsed);
        const BYTE* bits = DibBits(h);
        if (c.targetBits == 24 || (c.targetBits == 32)) {
            EXPECT_EQ(255, bits[0]) << "blue";
            EXPECT_EQ(0, bits[2]);
        } else if (c.targetBits == 8) {
            const RGBQUAD* table = (const RGBQUAD*)(h + 1);
            EXPECT_EQ(255, table[bits[0]].rgbBlue);
            EXPECT_EQ(0, table[bits[0]].rgbRed);
        }
        GlobalUnlock(block);
        GlobalFree(block);
    }
    GlobalUnlock(sourceBlock);
    GlobalFree(sourceBlock);
}

TEST(FrameBitmap, ConvertFrom8BitUsesTheSourcePalette)
{
    TestBitmap source(16, 4, 8, RGB(255, 0, 0));
    HGLOBAL sourceBlock = CreateDIBFromBitmap(source.bitmap, source.screen, FALSE);
    ASSERT_TRUE(sourceBlock != NULL);
    BITMAPINFO* sourceInfo = (BITMAPINFO*)GlobalLock(sourceBlock);
    BITMAPINFOHEADER target = {sizeof(BITMAPINFOHEADER), 16, 4, 1, 24, BI_RGB};
    HGLOBAL block = ConvertDIBFormat(source.screen, sourceInfo, &target);
    ASSERT_TRUE(block != NULL);
    BITMAPINFOHEADER* h = (BITMAPINFOHEADER*)GlobalLock(block);
    const BYTE* bits = DibBits(h);
    EXPECT_EQ(0, bits[0]);
    EXPECT_EQ(0, bits[1]);
    EXPECT_EQ(255, bits[2]);
    GlobalUnlock(block);
    GlobalFree(block);
    GlobalUnlock(sourceBlock);
    GlobalFree(sourceBlock);
}

TEST(FrameBitmap, HighlightBlockTintsOnlyItsRectangle)
{
    for (int light : {1, 0}) {
        TestBitmap frame(80, 60, 32, RGB(255, 255, 255));
        SelectObject(frame.dc, frame.bitmap);
        RECT rect = {10, 10, 50, 40};
        DrawHighlightBlock(NULL, frame.dc, rect, light);
        GdiFlush();
        EXPECT_EQ(RGB(255, 255, 255), GetPixel(frame.dc, 5, 5)) << light;
        EXPECT_EQ(RGB(255, 255, 255), GetPixel(frame.dc, 60, 45)) << light;
        const COLORREF centre = GetPixel(frame.dc, 30, 25);
        EXPECT_EQ(RGB(0xC0, 0xC0, 0xC0), centre) << light;
        const COLORREF corner = GetPixel(frame.dc, 10, 10);
        EXPECT_EQ(light > 0 ? RGB(255, 255, 255) : RGB(0, 0, 0), corner) << light;
        SelectObject(frame.dc, frame.old);
    }
}

TEST(FrameBitmap, ConsoleWindowTest)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "ConsoleWindowClass";
    RegisterClassA(&wc);
    wc.lpszClassName = "VexcapNotAConsole";
    RegisterClassA(&wc);
    HWND console = CreateWindowA("ConsoleWindowClass", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, wc.hInstance, NULL);
    HWND other = CreateWindowA("VexcapNotAConsole", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, wc.hInstance, NULL);
    ASSERT_TRUE(console && other);
    EXPECT_TRUE(IsConsoleWindowOn(console, 0x1DB10106));
    EXPECT_FALSE(IsConsoleWindowOn(other, 0x1DB10106));
    EXPECT_FALSE(IsConsoleWindowOn(console, 0xC0000A04)) << "Windows 9x never reports a console";
    EXPECT_TRUE(IsConsoleWindow(console));
    DestroyWindow(console);
    DestroyWindow(other);
}

TEST(FrameBitmap, CopyOverlayRecordCopiesEveryField)
{
    WatermarkSettings source;
    source.m_bInclude = 1;
    source.m_bOverlay = 1;
    source.m_strImagePath = "C:\\w.gif";
    source.m_nImageScale = 33;
    source.m_nPosition = 4;
    source.m_nEmbossDepth = 77;
    source.m_bPreserveSize = 1;
    WatermarkSettings destination;
    WatermarkSettings& result = CopyOverlayRecord(destination, source);
    EXPECT_EQ(&destination, &result);
    EXPECT_EQ(1, destination.m_bInclude);
    EXPECT_STREQ("C:\\w.gif", destination.m_strImagePath);
    EXPECT_EQ(33, destination.m_nImageScale);
    EXPECT_EQ(4, destination.m_nPosition);
    EXPECT_EQ(77, destination.m_nEmbossDepth);
    EXPECT_EQ(1, destination.m_bPreserveSize);
}
