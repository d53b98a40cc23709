// Picture files through GDI+ (BMP, GIF with its transparent index, JPEG),
// palettes, device bitmaps, the 32 x 32 icon pair and regions that leave out
// a key colour.
#include "platform/imaging/Imaging.h"
#include "platform/imaging/ImgInternal.h"

#include <algorithm>
#include <gdiplus.h>
#include <string.h>
#include <vector>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

// GDI+ is started once, on the first picture loaded, and kept for the
// process: its shutdown at exit is the system's.
bool EnsureGdiplus()
{
    static LONG s_state = 0;   // 0 not started, 1 started, 2 failed
    if (s_state == 0) {
        ULONG_PTR token = 0;
        GdiplusStartupInput input;
        s_state = GdiplusStartup(&token, &input, NULL) == Ok ? 1 : 2;
    }
    return s_state == 1;
}

// The depth a GDI+ pixel format is kept at, and the format its pixels are
// read in.
int DepthOf(PixelFormat format, PixelFormat* readAs)
{
    switch (format) {
    case PixelFormat1bppIndexed: *readAs = format; return 1;
    case PixelFormat4bppIndexed: *readAs = format; return 4;
    case PixelFormat8bppIndexed: *readAs = format; return 8;
    case PixelFormat32bppRGB:
    case PixelFormat32bppARGB:
    case PixelFormat32bppPARGB:
    case PixelFormat64bppARGB:
    case PixelFormat64bppPARGB: *readAs = PixelFormat32bppARGB; return 32;
    default: *readAs = PixelFormat24bppRGB; return 24;
    }
}

class CGpBitmap {
public:
    CGpBitmap() : m_bitmap(NULL) {}
    ~CGpBitmap()
    {
        if (m_bitmap)
            GdipDisposeImage(m_bitmap);
    }
    GpBitmap* m_bitmap;
};

}  // namespace

int ImgLoadFile(const char* path, ImgBitmap* bitmap, int bitsPerPixel, int order, int* transparentIndex)
{
    if (transparentIndex)
        *transparentIndex = -1;
    if (!path || !bitmap || order != IMG_ORDER_BGR || (bitsPerPixel != 0 && !img::IsValidDepth(bitsPerPixel)))
        return IMG_INVALID_PARAMETER;
    if (!EnsureGdiplus())
        return IMG_FAILURE;
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, path, -1, NULL, 0);
    if (wideLength <= 0)
        return IMG_INVALID_PARAMETER;
    std::vector<WCHAR> wide((size_t)wideLength);
    MultiByteToWideChar(CP_ACP, 0, path, -1, wide.data(), wideLength);

    CGpBitmap gp;
    if (GdipCreateBitmapFromFile(wide.data(), &gp.m_bitmap) != Ok || !gp.m_bitmap)
        return IMG_INVALID_FORMAT;
    UINT width = 0, height = 0;
    PixelFormat format = 0;
    if (GdipGetImageWidth(gp.m_bitmap, &width) != Ok || GdipGetImageHeight(gp.m_bitmap, &height) != Ok ||
        GdipGetImagePixelFormat(gp.m_bitmap, &format) != Ok || width == 0 || height == 0 ||
        width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return IMG_INVALID_FORMAT;
    PixelFormat readAs = 0;
    const int depth = DepthOf(format, &readAs);

    RGBQUAD palette[256];
    memset(palette, 0, sizeof(palette));
    int colors = 0;
    int transparent = -1;
    if (depth <= 8) {
        INT paletteSize = 0;
        if (GdipGetImagePaletteSize(gp.m_bitmap, &paletteSize) != Ok || paletteSize < (INT)sizeof(ColorPalette))
            return IMG_INVALID_FORMAT;
        std::vector<BYTE> buffer((size_t)paletteSize);
        ColorPalette* gpPalette = reinterpret_cast<ColorPalette*>(buffer.data());
        if (GdipGetImagePalette(gp.m_bitmap, gpPalette, paletteSize) != Ok)
            return IMG_INVALID_FORMAT;
        const UINT maxEntries = (UINT)((paletteSize - sizeof(ColorPalette)) / sizeof(ARGB)) + 1;
        colors = (int)std::min<UINT>(std::min<UINT>(gpPalette->Count, maxEntries), 1u << depth);
        for (int i = 0; i < colors; i++) {
            const ARGB c = gpPalette->Entries[i];
            palette[i].rgbBlue = (BYTE)(c & 0xFF);
            palette[i].rgbGreen = (BYTE)((c >> 8) & 0xFF);
            palette[i].rgbRed = (BYTE)((c >> 16) & 0xFF);
            // A GIF's transparent index comes as the entry with alpha 0.
            if (transparent < 0 && (c >> 24) == 0)
                transparent = i;
        }
        if (colors == 0)
            return IMG_INVALID_FORMAT;
    }

    ImgBitmap loaded;
    ImgInitBitmap(&loaded);
    int rc = img::CreateSection(&loaded, (int)width, (int)height, depth, palette, depth <= 8 ? (1 << depth) : 0);
    if (rc != IMG_SUCCESS)
        return rc;
    loaded.colors = colors;
    GpRect rect(0, 0, (INT)width, (INT)height);
    BitmapData data;
    if (GdipBitmapLockBits(gp.m_bitmap, &rect, ImageLockModeRead, readAs, &data) != Ok) {
        ImgFreeBitmap(&loaded);
        return IMG_INVALID_FORMAT;
    }
    const size_t rowBytes = std::min<size_t>((size_t)loaded.bytesPerLine, (size_t)(data.Stride < 0 ? -data.Stride : data.Stride));
    const size_t used = ((size_t)width * (size_t)depth + 7) / 8;
    for (UINT y = 0; y < height; y++) {
        const BYTE* src = static_cast<const BYTE*>(data.Scan0) + (ptrdiff_t)y * data.Stride;
        BYTE* dst = loaded.bits + (size_t)(height - 1 - y) * loaded.bytesPerLine;
        memcpy(dst, src, std::min(rowBytes, used));
    }
    GdipBitmapUnlockBits(gp.m_bitmap, &data);

    if (bitsPerPixel != 0 && bitsPerPixel != depth) {
        rc = ImgColorRes(&loaded, bitsPerPixel, IMG_CRF_NODITHERING, NULL, 0);
        if (rc != IMG_SUCCESS) {
            ImgFreeBitmap(&loaded);
            return rc;
        }
        transparent = -1;
    }
    img::Replace(bitmap, &loaded);
    if (transparentIndex)
        *transparentIndex = transparent;
    return IMG_SUCCESS;
}

int ImgGetPalette(const ImgBitmap* bitmap, int first, int count, RGBQUAD* palette)
{
    if (!bitmap || !palette || first < 0 || count < 0)
        return IMG_INVALID_PARAMETER;
    if (bitmap->structSize != sizeof(ImgBitmap) || !bitmap->allocated)
        return IMG_BITMAP_NOT_ALLOCATED;
    if (bitmap->bitsPerPixel > 8 || first + count > (1 << bitmap->bitsPerPixel))
        return IMG_INVALID_PARAMETER;
    memcpy(palette, bitmap->palette + first, (size_t)count * sizeof(RGBQUAD));
    return IMG_SUCCESS;
}

int ImgBitmapFromDDB(HDC dc, ImgBitmap* bitmap, HBITMAP source, HPALETTE palette)
{
    if (!bitmap || !source)
        return IMG_INVALID_PARAMETER;
    BITMAP bm;
    if (GetObjectA(source, sizeof(bm), &bm) != sizeof(bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0)
        return IMG_INVALID_PARAMETER;
    ImgBitmap result;
    ImgInitBitmap(&result);
    int rc = img::CreateSection(&result, bm.bmWidth, bm.bmHeight, 24, NULL, 0);
    if (rc != IMG_SUCCESS)
        return rc;
    HDC screen = NULL;
    if (!dc)
        dc = screen = GetDC(NULL);
    HPALETTE oldPalette = palette ? SelectPalette(dc, palette, TRUE) : NULL;
    BITMAPINFO info;
    memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = bm.bmWidth;
    info.bmiHeader.biHeight = bm.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    const int lines = GetDIBits(dc, source, 0, (UINT)bm.bmHeight, result.bits, &info, DIB_RGB_COLORS);
    if (palette)
        SelectPalette(dc, oldPalette, TRUE);
    if (screen)
        ReleaseDC(NULL, screen);
    if (lines != bm.bmHeight) {
        ImgFreeBitmap(&result);
        return IMG_FAILURE;
    }
    img::Replace(bitmap, &result);
    return IMG_SUCCESS;
}

namespace {

// The pixels of any bitmap as BGRX rows, top-down.
bool ReadPixels(const ImgBitmap& bitmap, std::vector<uint32_t>& pixels)
{
    const size_t count = (size_t)bitmap.width * (size_t)bitmap.height;
    try {
        pixels.assign(count, 0);
    } catch (...) {
        return false;
    }
    GdiFlush();
    for (int y = 0; y < bitmap.height; y++) {
        const BYTE* row = bitmap.bits + (size_t)(bitmap.height - 1 - y) * bitmap.bytesPerLine;
        img::DecodeRow(row, bitmap.width, bitmap.bitsPerPixel, bitmap.palette, &pixels[(size_t)y * bitmap.width]);
    }
    return true;
}

uint32_t ColourToBgrx(COLORREF c)
{
    return ((uint32_t)GetRValue(c) << 16) | ((uint32_t)GetGValue(c) << 8) | GetBValue(c);
}

}  // namespace

// Rectangles of one row each (runs of pixels not of the key colour), added
// to the region in batches through ExtCreateRegion.
HRGN ImgRegionWithoutColour(const ImgBitmap* bitmap, COLORREF key)
{
    if (!bitmap || bitmap->structSize != sizeof(ImgBitmap) || !bitmap->allocated)
        return NULL;
    std::vector<uint32_t> pixels;
    if (!ReadPixels(*bitmap, pixels))
        return NULL;
    const uint32_t keyBgr = ColourToBgrx(key);
    std::vector<RECT> rects;
    for (int y = 0; y < bitmap->height; y++) {
        const uint32_t* row = &pixels[(size_t)y * bitmap->width];
        int x = 0;
        while (x < bitmap->width) {
            while (x < bitmap->width && (row[x] & 0xFFFFFF) == keyBgr)
                x++;
            const int start = x;
            while (x < bitmap->width && (row[x] & 0xFFFFFF) != keyBgr)
                x++;
            if (x > start)
                rects.push_back(RECT{ start, y, x, y + 1 });
        }
    }
    std::vector<BYTE> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    RGNDATA* rgn = reinterpret_cast<RGNDATA*>(data.data());
    rgn->rdh.dwSize = sizeof(RGNDATAHEADER);
    rgn->rdh.iType = RDH_RECTANGLES;
    rgn->rdh.nCount = (DWORD)rects.size();
    rgn->rdh.nRgnSize = (DWORD)(rects.size() * sizeof(RECT));
    rgn->rdh.rcBound = RECT{ 0, 0, bitmap->width, bitmap->height };
    if (!rects.empty())
        memcpy(rgn->Buffer, rects.data(), rects.size() * sizeof(RECT));
    return ExtCreateRegion(NULL, (DWORD)data.size(), rgn);
}

// The picture is sized to size x size by nearest pixel, so key pixels stay
// key pixels and no blend of them with their neighbours appears.
int ImgMakeIconBitmaps(const ImgBitmap* bitmap, int size, COLORREF key, HBITMAP* colour, HBITMAP* mask)
{
    if (!bitmap || !colour || !mask || size <= 0)
        return IMG_INVALID_PARAMETER;
    if (bitmap->structSize != sizeof(ImgBitmap) || !bitmap->allocated)
        return IMG_BITMAP_NOT_ALLOCATED;
    std::vector<uint32_t> pixels;
    if (!ReadPixels(*bitmap, pixels))
        return IMG_NO_MEMORY;
    std::vector<uint32_t> icon((size_t)size * size);
    for (int y = 0; y < size; y++) {
        const int sy = (int)(((int64_t)y * bitmap->height) / size);
        for (int x = 0; x < size; x++) {
            const int sx = (int)(((int64_t)x * bitmap->width) / size);
            icon[(size_t)y * size + x] = pixels[(size_t)sy * bitmap->width + sx] & 0xFFFFFF;
        }
    }
    BITMAPINFO info;
    memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HDC screen = GetDC(NULL);
    HBITMAP c = CreateCompatibleBitmap(screen, size, size);
    const bool colourOk = c && SetDIBits(screen, c, 0, (UINT)size, icon.data(), &info, DIB_RGB_COLORS) == size;
    ReleaseDC(NULL, screen);
    // Mask rows of 1 bit, padded to 16 bits as CreateBitmap wants them; a set
    // bit is transparent.
    const int maskRow = ((size + 15) / 16) * 2;
    std::vector<BYTE> maskBits((size_t)maskRow * size, 0);
    const uint32_t keyBgr = ColourToBgrx(key);
    if (key != 0xFFFFFFFF) {
        for (int y = 0; y < size; y++) {
            for (int x = 0; x < size; x++) {
                if (icon[(size_t)y * size + x] == keyBgr)
                    maskBits[(size_t)y * maskRow + x / 8] |= (BYTE)(0x80 >> (x % 8));
            }
        }
    }
    HBITMAP m = CreateBitmap(size, size, 1, 1, maskBits.data());
    if (!colourOk || !m) {
        if (c)
            DeleteObject(c);
        if (m)
            DeleteObject(m);
        return IMG_FAILURE;
    }
    *colour = c;
    *mask = m;
    return IMG_SUCCESS;
}
