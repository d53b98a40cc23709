#include "platform/imaging/Imaging.h"
#include "platform/imaging/ImgInternal.h"

#include "ImagingTestUtil.h"

#include <gtest/gtest.h>

#include <climits>
#include <string.h>
#include <vector>

using namespace imgtest;

namespace {

const int kDepths[] = {1, 4, 8, 16, 24, 32};

int RowBytes(int width, int bits)
{
    return ((width * bits + 31) / 32) * 4;
}

// Memory whose last byte sits right before an inaccessible page: a reader
// that goes one byte too far faults, and the test fails.
class GuardedBlock {
public:
    explicit GuardedBlock(size_t size) : m_size(size)
    {
        const size_t page = 4096;
        m_pages = ((size + page - 1) / page + 1) * page;
        m_base = static_cast<BYTE*>(VirtualAlloc(nullptr, m_pages, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(m_base + m_pages - page, page, PAGE_NOACCESS, &old);
    }
    ~GuardedBlock() { VirtualFree(m_base, 0, MEM_RELEASE); }
    BYTE* Data() const { return m_base + (m_pages - 4096) - m_size; }

private:
    size_t m_size;
    size_t m_pages;
    BYTE* m_base;
};

struct HeaderAndTable {
    BITMAPINFOHEADER h;
    DWORD extra[256 + 3];
};

BITMAPINFOHEADER Header(int width, int height, int bits, DWORD compression = BI_RGB)
{
    BITMAPINFOHEADER h = {};
    h.biSize = sizeof(h);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = (WORD)bits;
    h.biCompression = compression;
    return h;
}

}  // namespace

TEST(ImgBitmap, AllocateGivesZeroedPixelsAndTheFixedPaletteAtEveryDepth)
{
    for (int bits : kDepths) {
        Bitmap bm;
        ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 13, 7, bits, nullptr, 0)) << bits;
        EXPECT_TRUE(bm.b.allocated);
        EXPECT_EQ(13, bm.b.width);
        EXPECT_EQ(7, bm.b.height);
        EXPECT_EQ(bits, bm.b.bitsPerPixel);
        EXPECT_EQ(RowBytes(13, bits), bm.b.bytesPerLine) << bits;
        EXPECT_EQ(bits <= 8 ? 1 << bits : 0, bm.b.colors) << bits;
        ASSERT_NE(nullptr, bm.b.bits);
        ASSERT_NE(nullptr, (void*)bm.b.section);
        DIBSECTION ds = {};
        ASSERT_EQ((int)sizeof(ds), GetObject(bm.b.section, sizeof(ds), &ds));
        EXPECT_EQ(bm.b.bits, ds.dsBm.bmBits);
        EXPECT_EQ(bits, ds.dsBmih.biBitCount);
        EXPECT_GT(ds.dsBmih.biHeight, 0) << "rows are bottom-up";
        for (int i = 0; i < bm.b.bytesPerLine * bm.b.height; ++i)
            ASSERT_EQ(0, bm.b.bits[i]) << bits << " byte " << i;
        if (bits <= 8) {
            RGBQUAD fixed[256] = {};
            ImgFixedPalette(fixed, bits);
            EXPECT_EQ(0, memcmp(fixed, bm.b.palette, sizeof(RGBQUAD) << bits)) << bits;
        }
    }
}

TEST(ImgBitmap, AllocateTakesAGivenPaletteAndRefusesBadArguments)
{
    const RGBQUAD three[3] = {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}};
    Bitmap bm;
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 4, 4, 8, three, 3));
    EXPECT_EQ(3, bm.b.colors);
    EXPECT_EQ(RGB(255, 0, 0), QuadColour(bm.b.palette[0]));
    EXPECT_EQ(RGB(0, 0, 255), QuadColour(bm.b.palette[2]));
    EXPECT_EQ(0u, *reinterpret_cast<DWORD*>(&bm.b.palette[3])) << "unused entries are zero";
    RGBQUAD table[3] = {};
    ASSERT_EQ(3u, [&] {
        HDC dc = ImgCreateDC(&bm.b);
        UINT n = GetDIBColorTable(dc, 0, 3, table);
        ImgReleaseDC(dc);
        return n;
    }());
    EXPECT_EQ(0, memcmp(three, table, sizeof(table))) << "the section carries the palette";

    const BYTE* bitsBefore = bm.b.bits;
    struct Case {
        int width, height, bits, colors;
        const RGBQUAD* palette;
        int expected;
    } cases[] = {
        {0, 4, 24, 0, nullptr, IMG_INVALID_PARAMETER},
        {4, 0, 24, 0, nullptr, IMG_INVALID_PARAMETER},
        {-4, 4, 24, 0, nullptr, IMG_INVALID_PARAMETER},
        {4, 4, 12, 0, nullptr, IMG_INVALID_PARAMETER},
        {4, 4, 4, 17, three, IMG_INVALID_PARAMETER},
        {4, 4, 8, 0, three, IMG_INVALID_PARAMETER},
        {100000, 100000, 32, 0, nullptr, IMG_NO_MEMORY},
        {INT_MAX, INT_MAX, 32, 0, nullptr, IMG_NO_MEMORY},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, ImgAllocateBitmap(&bm.b, c.width, c.height, c.bits, c.palette, c.colors))
            << c.width << "x" << c.height << "x" << c.bits << " colours " << c.colors;
        EXPECT_EQ(bitsBefore, bm.b.bits) << "a refused call leaves the bitmap as it was";
        EXPECT_EQ(4, bm.b.width);
    }
    EXPECT_EQ(IMG_INVALID_PARAMETER, ImgAllocateBitmap(nullptr, 4, 4, 24, nullptr, 0));
}

TEST(ImgBitmap, AllocatingAgainReplacesAndFreeingTwiceIsSafe)
{
    Bitmap bm;
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 8, 8, 24, nullptr, 0));
    HBITMAP first = bm.b.section;
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 16, 2, 32, nullptr, 0));
    EXPECT_EQ(16, bm.b.width);
    HBITMAP second = bm.b.section;
    EXPECT_NE(first, second);
    ImgFreeBitmap(&bm.b);
    ImgTrimCache();
    EXPECT_EQ(0u, GetObjectType(first)) << "the old section was released";
    EXPECT_EQ(0u, GetObjectType(second));
    EXPECT_FALSE(bm.b.allocated);
    EXPECT_EQ(nullptr, bm.b.bits);
    EXPECT_EQ(sizeof(ImgBitmap), bm.b.structSize);
    ImgFreeBitmap(&bm.b);
    ImgFreeBitmap(nullptr);
    EXPECT_FALSE(bm.b.allocated);
}

// Every depth out to a packed DIB and back: header fields, colour table,
// where the bits start, and the pixels.
TEST(ImgBitmap, PackedDibRoundTripAtEveryDepth)
{
    for (int bits : kDepths) {
        Bitmap bm;
        ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 5, 3, bits, nullptr, 0));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                SetRaw(bm.b, x, y, bits == 1 ? (DWORD)((x + y) & 1) : (DWORD)(x * 37 + y * 101 + 1) & (bits >= 32 ? 0xFFFFFFFF : (1u << bits) - 1));
        HGLOBAL dib = ImgPackedDIBFromBitmap(&bm.b);
        ASSERT_NE(nullptr, (void*)dib) << bits;
        const size_t table = bits <= 8 ? (size_t)4 << bits : 0;
        const size_t image = (size_t)RowBytes(5, bits) * 3;
        EXPECT_GE(GlobalSize(dib), 40 + table + image) << bits;
        const BITMAPINFOHEADER* h = static_cast<const BITMAPINFOHEADER*>(GlobalLock(dib));
        ASSERT_NE(nullptr, h);
        EXPECT_EQ(40u, h->biSize);
        EXPECT_EQ(5, h->biWidth);
        EXPECT_EQ(3, h->biHeight);
        EXPECT_EQ(1, h->biPlanes);
        EXPECT_EQ(bits, h->biBitCount);
        EXPECT_EQ((DWORD)BI_RGB, h->biCompression);
        EXPECT_EQ(image, h->biSizeImage) << bits;
        EXPECT_EQ(0u, h->biClrUsed);
        const BYTE* pixels = ImgPackedDIBBits(h);
        EXPECT_EQ(reinterpret_cast<const BYTE*>(h) + 40 + table, pixels) << bits;
        EXPECT_EQ(0, memcmp(pixels, bm.b.bits, image)) << bits;
        if (table) {
            EXPECT_EQ(0, memcmp(reinterpret_cast<const BYTE*>(h) + 40, bm.b.palette, table)) << bits;
        }
        GlobalUnlock(dib);

        Bitmap back;
        ASSERT_EQ(IMG_SUCCESS, ImgBitmapFromPackedDIB(&back.b, dib)) << bits;
        GlobalFree(dib);
        EXPECT_EQ(bits, back.b.bitsPerPixel);
        EXPECT_EQ(5, back.b.width);
        EXPECT_EQ(3, back.b.height);
        EXPECT_EQ(0, memcmp(bm.b.bits, back.b.bits, image)) << bits;
        if (bits <= 8) {
            EXPECT_EQ(0, memcmp(bm.b.palette, back.b.palette, sizeof(RGBQUAD) << bits)) << bits;
        }
    }
}

TEST(ImgBitmap, PackedDibBitsFollowHeaderTableAndMasks)
{
    struct Case {
        int bits;
        DWORD compression;
        DWORD clrUsed;
        size_t offset;
    } cases[] = {
        {1, BI_RGB, 0, 40 + 8},      {4, BI_RGB, 0, 40 + 64},  {8, BI_RGB, 0, 40 + 1024},
        {8, BI_RGB, 16, 40 + 64},    {16, BI_RGB, 0, 40},      {24, BI_RGB, 0, 40},
        {32, BI_RGB, 0, 40},         {24, BI_RGB, 2, 40 + 8},  {16, BI_BITFIELDS, 0, 52},
        {32, BI_BITFIELDS, 0, 52},
    };
    for (const Case& c : cases) {
        BITMAPINFOHEADER h = Header(4, 4, c.bits, c.compression);
        h.biClrUsed = c.clrUsed;
        EXPECT_EQ(reinterpret_cast<const BYTE*>(&h) + c.offset, ImgPackedDIBBits(&h))
            << c.bits << " bits, compression " << c.compression << ", clrUsed " << c.clrUsed;
    }
    EXPECT_EQ(nullptr, ImgPackedDIBBits(nullptr));
}

// Headers that do not add up are refused before any pixel is read, and the
// bitmap passed in keeps what it held.
TEST(ImgBitmap, HostileHeadersAreRefused)
{
    struct Case {
        const char* name;
        BITMAPINFOHEADER h;
        DWORD masks[3];
    };
    auto with = [](BITMAPINFOHEADER h, auto change) { change(h); return h; };
    const Case cases[] = {
        {"core header size", with(Header(4, 4, 24), [](BITMAPINFOHEADER& h) { h.biSize = 12; }), {}},
        {"huge header size", with(Header(4, 4, 24), [](BITMAPINFOHEADER& h) { h.biSize = 0x7FFFFFFF; }), {}},
        {"zero width", Header(0, 4, 24), {}},
        {"negative width", Header(-4, 4, 24), {}},
        {"zero height", Header(4, 0, 24), {}},
        {"lowest height", Header(4, INT_MIN, 24), {}},
        {"two planes", with(Header(4, 4, 24), [](BITMAPINFOHEADER& h) { h.biPlanes = 2; }), {}},
        {"7 bits", Header(4, 4, 7), {}},
        {"0 bits", Header(4, 4, 0), {}},
        {"RLE8", Header(4, 4, 8, BI_RLE8), {}},
        {"JPEG", Header(4, 4, 24, BI_JPEG), {}},
        {"bit fields at 24 bits", Header(4, 4, 24, BI_BITFIELDS), {0xFF0000, 0xFF00, 0xFF}},
        {"zero mask", Header(4, 4, 16, BI_BITFIELDS), {0x7C00, 0, 0x1F}},
        {"overlapping masks", Header(4, 4, 32, BI_BITFIELDS), {0xFF0000, 0xFFFF00, 0xFF}},
        {"mask with a gap", Header(4, 4, 32, BI_BITFIELDS), {0xF0F000, 0xFF00, 0xFF}},
        {"16-bit mask past 16 bits", Header(4, 4, 16, BI_BITFIELDS), {0x1F0000, 0x3E0, 0x1F}},
        {"300 colours at 32 bits", with(Header(4, 4, 32), [](BITMAPINFOHEADER& h) { h.biClrUsed = 300; }), {}},
        {"257 colours at 8 bits", with(Header(4, 4, 8), [](BITMAPINFOHEADER& h) { h.biClrUsed = 257; }), {}},
        {"17 colours at 4 bits", with(Header(4, 4, 4), [](BITMAPINFOHEADER& h) { h.biClrUsed = 17; }), {}},
        {"3 colours at 1 bit", with(Header(4, 4, 1), [](BITMAPINFOHEADER& h) { h.biClrUsed = 3; }), {}},
        {"65536 x 65536 x 32", Header(65536, 65536, 32), {}},
        {"row overflows 32 bits", Header(0x40000000, 4, 32), {}},
        {"image overflows 32 bits", Header(0x10000, 0x10001, 32), {}},
        {"largest width and height", Header(INT_MAX, INT_MAX, 24), {}},
        {"image size too small", with(Header(4, 4, 24), [](BITMAPINFOHEADER& h) { h.biSizeImage = 47; }), {}},
    };
    std::vector<BYTE> bits(4096, 0x5A);
    for (const Case& c : cases) {
        HeaderAndTable info = {};
        info.h = c.h;
        memcpy(info.extra, c.masks, sizeof(c.masks));
        Bitmap bm;
        ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 2, 2, 24, nullptr, 0));
        const BYTE* before = bm.b.bits;
        EXPECT_EQ(IMG_INVALID_FORMAT, ImgBitmapFromDIB(&bm.b, reinterpret_cast<BITMAPINFO*>(&info), bits.data()))
            << c.name;
        EXPECT_EQ(before, bm.b.bits) << c.name;
        EXPECT_EQ(2, bm.b.width) << c.name;
        EXPECT_EQ(24, bm.b.bitsPerPixel) << c.name;

        // The same header as a packed DIB with room for it.
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof(info) + 64);
        ASSERT_NE(nullptr, (void*)block);
        memcpy(GlobalLock(block), &info, sizeof(info));
        GlobalUnlock(block);
        EXPECT_EQ(IMG_INVALID_FORMAT, ImgBitmapFromPackedDIB(&bm.b, block)) << "packed: " << c.name;
        EXPECT_EQ(before, bm.b.bits) << c.name;
        GlobalFree(block);
    }
    HeaderAndTable ok = {};
    ok.h = Header(2, 2, 24);
    Bitmap bm;
    EXPECT_EQ(IMG_INVALID_PARAMETER, ImgBitmapFromDIB(&bm.b, nullptr, bits.data()));
    EXPECT_EQ(IMG_INVALID_PARAMETER, ImgBitmapFromDIB(&bm.b, reinterpret_cast<BITMAPINFO*>(&ok), nullptr));
    EXPECT_EQ(IMG_INVALID_PARAMETER, ImgBitmapFromDIB(nullptr, reinterpret_cast<BITMAPINFO*>(&ok), bits.data()));
    EXPECT_EQ(IMG_INVALID_PARAMETER, ImgBitmapFromPackedDIB(&bm.b, NULL));
    EXPECT_FALSE(bm.b.allocated);
}

// A packed DIB whose header promises more than the block holds.
TEST(ImgBitmap, PackedDibShorterThanItsHeaderSaysIsRefused)
{
    struct Case {
        const char* name;
        BITMAPINFOHEADER h;
        size_t blockSize;
    } cases[] = {
        {"shorter than the header", Header(4, 4, 24), 30},
        {"pixels cut short", Header(100, 100, 24), 40 + 100 * 300 - 300},
        {"colour table cut short", Header(4, 4, 8), 40 + 1000},
        {"masks cut short", Header(4, 4, 32, BI_BITFIELDS), 44},
    };
    for (const Case& c : cases) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, c.blockSize);
        ASSERT_NE(nullptr, (void*)block);
        BYTE* p = static_cast<BYTE*>(GlobalLock(block));
        memcpy(p, &c.h, c.blockSize < sizeof(c.h) ? c.blockSize : sizeof(c.h));
        if (c.h.biCompression == BI_BITFIELDS && c.blockSize >= 44)
            memset(p + 40, 0xFF, 4);
        GlobalUnlock(block);
        Bitmap bm;
        EXPECT_EQ(IMG_INVALID_FORMAT, ImgBitmapFromPackedDIB(&bm.b, block)) << c.name;
        EXPECT_FALSE(bm.b.allocated) << c.name;
        GlobalFree(block);
    }
    // The exact size is enough.
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 40 + 100 * 300);
    BITMAPINFOHEADER h = Header(100, 100, 24);
    memcpy(GlobalLock(block), &h, sizeof(h));
    GlobalUnlock(block);
    Bitmap bm;
    EXPECT_EQ(IMG_SUCCESS, ImgBitmapFromPackedDIB(&bm.b, block));
    GlobalFree(block);
}

// Headers, tables and pixels placed right before an inaccessible page: the
// import reads exactly what the header describes, no byte more.
TEST(ImgBitmap, ImportReadsNoFurtherThanTheHeaderSays)
{
    struct Case {
        int width, height, bits;
        DWORD clrUsed;
    } cases[] = {
        {3, 3, 24, 0}, {5, 2, 8, 2}, {7, 4, 4, 3}, {9, 3, 1, 0}, {3, 5, 16, 0}, {2, 2, 32, 0}, {3, -3, 24, 0},
    };
    for (const Case& c : cases) {
        const int rows = c.height < 0 ? -c.height : c.height;
        const size_t image = (size_t)RowBytes(c.width, c.bits) * rows;
        GuardedBlock pixels(image);
        memset(pixels.Data(), 0x11, image);
        const size_t entries = c.clrUsed ? c.clrUsed : (c.bits <= 8 ? (size_t)1 << c.bits : 0);
        GuardedBlock header(40 + entries * 4);
        BITMAPINFOHEADER h = Header(c.width, c.height, c.bits);
        h.biClrUsed = c.clrUsed;
        memcpy(header.Data(), &h, sizeof(h));
        for (size_t i = 0; i < entries; ++i)
            memset(header.Data() + 40 + 4 * i, (int)(i * 40), 3);
        Bitmap bm;
        ASSERT_EQ(IMG_SUCCESS, ImgBitmapFromDIB(&bm.b, reinterpret_cast<const BITMAPINFO*>(header.Data()), pixels.Data()))
            << c.width << "x" << c.height << "x" << c.bits;
        EXPECT_EQ(rows, bm.b.height);
        if (c.bits <= 8) {
            EXPECT_EQ((int)entries, bm.b.colors);
            EXPECT_EQ(RGB(40, 40, 40), QuadColour(bm.b.palette[1]));
            if (entries < 256) {
                EXPECT_EQ(0u, *reinterpret_cast<const DWORD*>(&bm.b.palette[entries])) << "entries past the table stay zero";
            }
        }
        EXPECT_EQ(0x11, bm.b.bits[0]);
    }
}

// A negative height is a top-down DIB: its first row in memory is the top
// row of the picture; the bitmap holds it bottom-up like every other.
TEST(ImgBitmap, TopDownDibIsTurnedBottomUp)
{
    BITMAPINFOHEADER h = Header(2, -2, 24);
    const BYTE bits[16] = {
        0, 0, 255, 0, 255, 0, 0, 0,        // memory row 0 (top): red, green
        255, 0, 0, 255, 255, 255, 0, 0,    // memory row 1 (bottom): blue, white
    };
    Bitmap bm;
    ASSERT_EQ(IMG_SUCCESS, ImgBitmapFromDIB(&bm.b, reinterpret_cast<BITMAPINFO*>(&h), bits));
    EXPECT_EQ(2, bm.b.height);
    EXPECT_EQ(Hex(RGB(255, 0, 0)), Hex(Colour(bm.b, 0, 0)));
    EXPECT_EQ(Hex(RGB(0, 255, 0)), Hex(Colour(bm.b, 1, 0)));
    EXPECT_EQ(Hex(RGB(0, 0, 255)), Hex(Colour(bm.b, 0, 1)));
    EXPECT_EQ(Hex(RGB(255, 255, 255)), Hex(Colour(bm.b, 1, 1)));
    EXPECT_EQ(0, memcmp(bm.b.bits, bits + 8, 8)) << "the bottom row comes first in the bitmap";
}

// Bit-field DIBs become the plain 5-5-5 and 8-8-8 layouts.
TEST(ImgBitmap, BitFieldDibsAreConvertedToThePlainLayouts)
{
    struct Case {
        const char* name;
        DWORD headerSize;
        int bits;
        DWORD masks[3];
        DWORD pixel;
        DWORD expected;  // raw value in the bitmap
    } cases[] = {
        {"565 red", 40, 16, {0xF800, 0x07E0, 0x001F}, 0xF800, 0x7C00},
        {"565 green", 40, 16, {0xF800, 0x07E0, 0x001F}, 0x07E0, 0x03E0},
        {"565 blue", 40, 16, {0xF800, 0x07E0, 0x001F}, 0x001F, 0x001F},
        {"565 half green", 40, 16, {0xF800, 0x07E0, 0x001F}, 32 << 5, 16 << 5},
        {"555 as bit fields", 40, 16, {0x7C00, 0x03E0, 0x001F}, 0x1234, 0x1234},
        {"32 swapped red", 40, 32, {0x0000FF, 0x00FF00, 0xFF0000}, 0x000000FF, 0x00FF0000},
        {"32 swapped mixed", 40, 32, {0x0000FF, 0x00FF00, 0xFF0000}, 0x00102030, 0x00302010},
        {"32 plain masks", 40, 32, {0xFF0000, 0x00FF00, 0x0000FF}, 0xAA123456, 0xAA123456},
        {"32 ten-bit channels", 40, 32, {0x3FF00000, 0x000FFC00, 0x000003FF}, 0x3FF003FF, 0x00FF00FF},
        {"V5 header 565", sizeof(BITMAPV5HEADER), 16, {0xF800, 0x07E0, 0x001F}, 0xF800, 0x7C00},
    };
    for (const Case& c : cases) {
        BYTE header[sizeof(BITMAPV5HEADER) + 12] = {};
        BITMAPINFOHEADER h = Header(1, 1, c.bits, BI_BITFIELDS);
        h.biSize = c.headerSize;
        memcpy(header, &h, sizeof(h));
        memcpy(header + 40, c.masks, sizeof(c.masks));
        DWORD pixel = c.pixel;
        Bitmap bm;
        ASSERT_EQ(IMG_SUCCESS, ImgBitmapFromDIB(&bm.b, reinterpret_cast<BITMAPINFO*>(header), &pixel)) << c.name;
        EXPECT_EQ(c.bits, bm.b.bitsPerPixel) << c.name;
        EXPECT_EQ(c.expected, Raw(bm.b, 0, 0)) << c.name;
    }
}

TEST(ImgBitmap, ImportingOverAnAllocatedBitmapReplacesIt)
{
    Bitmap bm;
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 8, 8, 8, nullptr, 0));
    HBITMAP old = bm.b.section;
    BITMAPINFOHEADER h = Header(1, 1, 24);
    const BYTE bits[4] = {1, 2, 3, 0};
    ASSERT_EQ(IMG_SUCCESS, ImgBitmapFromDIB(&bm.b, reinterpret_cast<BITMAPINFO*>(&h), bits));
    EXPECT_NE(old, bm.b.section);
    ImgTrimCache();
    EXPECT_EQ(0u, GetObjectType(old));
    EXPECT_EQ(24, bm.b.bitsPerPixel);
    EXPECT_EQ(0, bm.b.colors);
    EXPECT_EQ(0x030201u, Raw(bm.b, 0, 0));
}

TEST(ImgBitmap, PackedDibOfAnEmptyBitmapIsNull)
{
    Bitmap bm;
    EXPECT_EQ(nullptr, (void*)ImgPackedDIBFromBitmap(&bm.b));
    EXPECT_EQ(nullptr, (void*)ImgPackedDIBFromBitmap(nullptr));
    EXPECT_EQ(nullptr, ImgCreateDC(&bm.b));
    EXPECT_EQ(nullptr, ImgCreateDC(nullptr));
    ImgReleaseDC(NULL);
}

// GDI draws into the bitmap's own pixels through its DC, at true-colour and
// paletted depths, and the pixels are there once the DC is released.
TEST(ImgBitmap, CreateDcLetsGdiDrawIntoTheBitmap)
{
    struct Case {
        int bits;
        COLORREF colour;
    } cases[] = {{32, RGB(255, 0, 0)}, {24, RGB(10, 200, 30)}, {16, RGB(0, 0, 255)}, {8, RGB(255, 255, 0)},
                 {4, RGB(0, 128, 128)}, {1, RGB(255, 255, 255)}};
    for (const Case& c : cases) {
        Bitmap bm;
        ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 20, 10, c.bits, nullptr, 0));
        HDC dc = ImgCreateDC(&bm.b);
        ASSERT_NE(nullptr, dc) << c.bits;
        HBRUSH brush = CreateSolidBrush(c.colour);
        RECT r = {5, 2, 15, 8};  // from the top
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        ImgReleaseDC(dc);
        EXPECT_EQ(Hex(c.colour), Hex(Colour(bm.b, 5, 2))) << c.bits;
        EXPECT_EQ(Hex(c.colour), Hex(Colour(bm.b, 14, 7))) << c.bits;
        EXPECT_EQ(Hex(Colour(bm.b, 0, 0)), Hex(Colour(bm.b, 4, 2))) << c.bits << ": left of the rectangle";
        EXPECT_NE(Hex(c.colour), Hex(Colour(bm.b, 15, 7))) << c.bits;
        EXPECT_NE(Hex(c.colour), Hex(Colour(bm.b, 14, 8))) << c.bits;
        // The DC is gone and the section can be freed.
        HBITMAP section = bm.b.section;
        ImgFreeBitmap(&bm.b);
        ImgTrimCache();
        EXPECT_EQ(0u, GetObjectType(section)) << c.bits;
    }
}

// Freed sections are kept for the next bitmap of the same size, depth and
// colour count, handed out cleared, never more than the pool's bounds, and
// all deleted by ImgTrimCache.
TEST(ImgBitmap, FreedSectionsAreReusedClearedAndBounded)
{
    ImgTrimCache();
    ASSERT_EQ(0, img::PooledSectionCount());
    Bitmap bm;
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 64, 32, 32, nullptr, 0));
    const HBITMAP section = bm.b.section;
    memset(bm.b.bits, 0xAB, (size_t)bm.b.bytesPerLine * 32);
    ImgFreeBitmap(&bm.b);
    EXPECT_EQ(1, img::PooledSectionCount());
    EXPECT_NE(0u, GetObjectType(section));

    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 64, 32, 24, nullptr, 0));
    EXPECT_NE(section, bm.b.section) << "another depth does not take it";
    ImgFreeBitmap(&bm.b);
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 64, 32, 32, nullptr, 0));
    EXPECT_EQ(section, bm.b.section) << "the same size and depth takes it";
    for (int i = 0; i < bm.b.bytesPerLine * 32; ++i)
        ASSERT_EQ(0, bm.b.bits[i]) << "cleared, byte " << i;
    DIBSECTION ds = {};
    ASSERT_EQ((int)sizeof(ds), GetObject(bm.b.section, sizeof(ds), &ds));
    EXPECT_EQ(64, ds.dsBm.bmWidth);
    EXPECT_EQ(32, ds.dsBm.bmHeight);
    ImgFreeBitmap(&bm.b);

    // A paletted section comes back with the new bitmap's colour table.
    const RGBQUAD first[3] = {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}};
    const RGBQUAD second[3] = {{9, 8, 7, 0}, {6, 5, 4, 0}, {3, 2, 1, 0}};
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 64, 32, 8, first, 3));
    const HBITMAP paletted = bm.b.section;
    memset(bm.b.bits, 2, (size_t)bm.b.bytesPerLine * 32);
    ImgFreeBitmap(&bm.b);
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 64, 32, 8, nullptr, 0));
    EXPECT_NE(paletted, bm.b.section) << "256 colours do not fit a 3-entry table";
    ImgFreeBitmap(&bm.b);
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 64, 32, 8, second, 3));
    EXPECT_EQ(paletted, bm.b.section);
    EXPECT_EQ(0, memcmp(second, bm.b.palette, sizeof(second)));
    EXPECT_EQ(0, bm.b.bits[0]);
    RGBQUAD table[3] = {};
    HDC dc = ImgCreateDC(&bm.b);
    EXPECT_EQ(3u, GetDIBColorTable(dc, 0, 3, table));
    ImgReleaseDC(dc);
    EXPECT_EQ(0, memcmp(second, table, sizeof(table))) << "the section's own table was rewritten";
    ImgFreeBitmap(&bm.b);

    // A section larger than the pool's whole budget is deleted at once.
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 4200, 4200, 32, nullptr, 0));
    const HBITMAP huge = bm.b.section;
    ImgFreeBitmap(&bm.b);
    EXPECT_EQ(0u, GetObjectType(huge));

    std::vector<HBITMAP> freed;
    for (int i = 0; i < 7; ++i) {
        ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 10 + i, 10, i % 2 ? 24 : 16, nullptr, 0));
        freed.push_back(bm.b.section);
        ImgFreeBitmap(&bm.b);
        EXPECT_LE(img::PooledSectionCount(), 4);
    }
    EXPECT_EQ(4, img::PooledSectionCount());
    EXPECT_EQ(0u, GetObjectType(freed[0])) << "the longest-kept section made room";
    EXPECT_NE(0u, GetObjectType(freed[6]));
    ImgTrimCache();
    EXPECT_EQ(0, img::PooledSectionCount());
    for (HBITMAP h : freed)
        EXPECT_EQ(0u, GetObjectType(h));
}
