// Bitmaps over DIB sections, packed DIBs to and from them, and their DCs.
#include "platform/imaging/ImgInternal.h"

#include <string.h>
#include <vector>

namespace img {

bool IsValidDepth(int bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1: case 4: case 8: case 16: case 24: case 32:
        return true;
    default:
        return false;
    }
}

bool ImageSize(int width, int height, int bitsPerPixel, int* rowBytes, size_t* imageBytes)
{
    if (width <= 0 || height <= 0 || !IsValidDepth(bitsPerPixel))
        return false;
    const uint64_t row = (((uint64_t)width * (uint64_t)bitsPerPixel + 31) / 32) * 4;
    const uint64_t total = row * (uint64_t)height;  // both below 2^37: no overflow
    if (row > kMaxImageBytes || total > kMaxImageBytes)
        return false;
    *rowBytes = (int)row;
    *imageBytes = (size_t)total;
    return true;
}

// Describes a DIB section the bitmap now owns.
void FillSectionRecord(ImgBitmap* out, int width, int height, int bitsPerPixel, int rowBytes,
                       const RGBQUAD* table, int colors, HBITMAP section, BYTE* bits)
{
    ImgInitBitmap(out);
    out->allocated = TRUE;
    out->width = width;
    out->height = height;
    out->bitsPerPixel = bitsPerPixel;
    out->bytesPerLine = rowBytes;
    out->colors = colors;
    memcpy(out->palette, table, sizeof(out->palette));
    out->section = section;
    out->bits = bits;
}

// Fresh DIB-section pages come from the system zero-filled; a reused one is
// cleared here, so every new bitmap starts black.
int CreateSection(ImgBitmap* out, int width, int height, int bitsPerPixel, const RGBQUAD* palette, int colors)
{
    int rowBytes = 0;
    size_t imageBytes = 0;
    if (!ImageSize(width, height, bitsPerPixel, &rowBytes, &imageBytes))
        return width <= 0 || height <= 0 || !IsValidDepth(bitsPerPixel) ? IMG_INVALID_PARAMETER : IMG_NO_MEMORY;
    if (bitsPerPixel > 8)
        colors = 0;
    RGBQUAD table[256];
    memset(table, 0, sizeof(table));
    if (colors > 0 && palette)
        memcpy(table, palette, (size_t)colors * sizeof(RGBQUAD));
    HBITMAP pooled = NULL;
    BYTE* pooledBits = nullptr;
    if (TakePooledSection(width, height, bitsPerPixel, colors, &pooled, &pooledBits)) {
        memset(pooledBits, 0, imageBytes);
        if (colors > 0) {
            HDC dc = CreateCompatibleDC(NULL);
            HGDIOBJ old = dc ? SelectObject(dc, pooled) : NULL;
            const UINT set = old ? SetDIBColorTable(dc, 0, (UINT)colors, table) : 0;
            if (old)
                SelectObject(dc, old);
            if (dc)
                DeleteDC(dc);
            if (set != (UINT)colors) {
                DeleteObject(pooled);
                pooled = NULL;
            }
        }
    }
    if (pooled) {
        FillSectionRecord(out, width, height, bitsPerPixel, rowBytes, table, colors, pooled, pooledBits);
        return IMG_SUCCESS;
    }
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colors[256];
    } info;
    memset(&info, 0, sizeof(info));
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biPlanes = 1;
    info.header.biBitCount = (WORD)bitsPerPixel;
    info.header.biCompression = BI_RGB;
    info.header.biSizeImage = (DWORD)imageBytes;
    info.header.biClrUsed = (DWORD)colors;
    memcpy(info.colors, table, sizeof(info.colors));
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(NULL, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, NULL, 0);
    if (!section || !bits) {
        if (section)
            DeleteObject(section);
        return IMG_NO_MEMORY;
    }
    FillSectionRecord(out, width, height, bitsPerPixel, rowBytes, info.colors, colors, section,
                      static_cast<BYTE*>(bits));
    return IMG_SUCCESS;
}

void Replace(ImgBitmap* to, ImgBitmap* from)
{
    if (to->structSize == sizeof(ImgBitmap) && to->allocated)
        ImgFreeBitmap(to);
    *to = *from;
    ImgInitBitmap(from);
}

} // namespace img

namespace {

// What a DIB header says about the pixels that follow it, once checked.
struct DibLayout {
    int width;
    int height;
    bool topDown;
    int bitsPerPixel;
    bool masked;            // BI_BITFIELDS with other than the plain masks
    DWORD masks[3];         // red, green, blue
    int colors;             // colour-table entries kept (8 bits or fewer)
    size_t tableOffset;     // from the header's start to its colour table
    size_t bitsOffset;      // from the header's start to the bits of a packed DIB
    int rowBytes;
    size_t imageBytes;
};

bool ContiguousMask(DWORD mask)
{
    if (!mask)
        return false;
    while (!(mask & 1))
        mask >>= 1;
    return (mask & (mask + 1)) == 0;
}

// Checks every field a reader relies on before anything past the fixed
// 40 bytes is read. `available` is how many bytes the header, its masks and
// colour table may span (SIZE_MAX when the caller cannot say). Top-down DIBs
// (negative height) are taken and turned bottom-up.
int ParseDib(const BITMAPINFOHEADER* h, size_t available, DibLayout* out)
{
    if (available < sizeof(BITMAPINFOHEADER))
        return IMG_INVALID_FORMAT;
    const DWORD headerSize = h->biSize;
    if (headerSize != sizeof(BITMAPINFOHEADER) && headerSize != 52 && headerSize != 56 &&
        headerSize != sizeof(BITMAPV4HEADER) && headerSize != sizeof(BITMAPV5HEADER))
        return IMG_INVALID_FORMAT;
    if (headerSize > available)
        return IMG_INVALID_FORMAT;
    if (h->biPlanes != 1 || h->biWidth <= 0 || h->biHeight == 0 || h->biHeight == LONG_MIN)
        return IMG_INVALID_FORMAT;
    const int bits = h->biBitCount;
    if (!img::IsValidDepth(bits))
        return IMG_INVALID_FORMAT;
    DibLayout d;
    memset(&d, 0, sizeof(d));
    d.width = h->biWidth;
    d.topDown = h->biHeight < 0;
    d.height = d.topDown ? -h->biHeight : h->biHeight;
    d.bitsPerPixel = bits;
    size_t maskBytes = 0;
    if (h->biCompression == BI_BITFIELDS) {
        if (bits != 16 && bits != 32)
            return IMG_INVALID_FORMAT;
        if (headerSize == sizeof(BITMAPINFOHEADER))
            maskBytes = 3 * sizeof(DWORD);
        if (headerSize + maskBytes > available)
            return IMG_INVALID_FORMAT;
        // The masks follow the first 40 bytes both in a plain header (as
        // three DWORDs behind it) and in the longer headers (as fields).
        memcpy(d.masks, reinterpret_cast<const BYTE*>(h) + sizeof(BITMAPINFOHEADER), sizeof(d.masks));
        const DWORD limit = bits == 16 ? 0xFFFFu : 0xFFFFFFFFu;
        for (int i = 0; i < 3; ++i)
            if (!ContiguousMask(d.masks[i]) || (d.masks[i] & ~limit))
                return IMG_INVALID_FORMAT;
        if ((d.masks[0] & d.masks[1]) || (d.masks[0] & d.masks[2]) || (d.masks[1] & d.masks[2]))
            return IMG_INVALID_FORMAT;
        const bool plain = bits == 16 ? (d.masks[0] == 0x7C00 && d.masks[1] == 0x03E0 && d.masks[2] == 0x001F)
                                      : (d.masks[0] == 0xFF0000 && d.masks[1] == 0xFF00 && d.masks[2] == 0xFF);
        d.masked = !plain;
    } else if (h->biCompression != BI_RGB) {
        return IMG_INVALID_FORMAT;
    }
    if (h->biClrUsed > 256 || (bits <= 8 && h->biClrUsed > (DWORD)(1 << bits)))
        return IMG_INVALID_FORMAT;
    size_t tableEntries = h->biClrUsed;
    if (tableEntries == 0 && bits <= 8)
        tableEntries = (size_t)1 << bits;
    d.colors = bits <= 8 ? (int)tableEntries : 0;
    d.tableOffset = headerSize + maskBytes;
    d.bitsOffset = d.tableOffset + tableEntries * sizeof(RGBQUAD);
    if (d.bitsOffset > available)
        return IMG_INVALID_FORMAT;
    if (!img::ImageSize(d.width, d.height, bits, &d.rowBytes, &d.imageBytes))
        return IMG_INVALID_FORMAT;
    if (h->biSizeImage != 0 && h->biSizeImage < d.imageBytes)
        return IMG_INVALID_FORMAT;
    *out = d;
    return IMG_SUCCESS;
}

int ShiftOf(DWORD mask)
{
    int s = 0;
    while (!(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

// One channel of a masked pixel scaled to 0..255.
struct Channel {
    DWORD mask;
    int shift;
    DWORD max;
    uint32_t Get(DWORD v) const { return (uint32_t)((((v & mask) >> shift) * 255 + max / 2) / max); }
};

Channel MakeChannel(DWORD mask)
{
    Channel c;
    c.mask = mask;
    c.shift = ShiftOf(mask);
    c.max = mask >> c.shift;
    return c;
}

void DecodeMaskedRow(const BYTE* src, const DibLayout& d, const Channel ch[3], uint32_t* out)
{
    for (int x = 0; x < d.width; ++x) {
        DWORD v;
        if (d.bitsPerPixel == 16)
            v = (DWORD)src[2 * x] | ((DWORD)src[2 * x + 1] << 8);
        else
            memcpy(&v, src + 4 * x, 4);
        out[x] = ch[2].Get(v) | (ch[1].Get(v) << 8) | (ch[0].Get(v) << 16);
    }
}

int FromLayout(ImgBitmap* bitmap, const BITMAPINFOHEADER* h, const DibLayout& d, const BYTE* bits)
{
    RGBQUAD palette[256];
    memset(palette, 0, sizeof(palette));
    if (d.colors > 0)
        memcpy(palette, reinterpret_cast<const BYTE*>(h) + d.tableOffset, (size_t)d.colors * sizeof(RGBQUAD));
    ImgBitmap result;
    const int rc = img::CreateSection(&result, d.width, d.height, d.bitsPerPixel, palette, d.colors);
    if (rc != IMG_SUCCESS)
        return rc;
    std::vector<uint32_t> row;
    Channel ch[3];
    if (d.masked) {
        try {
            row.resize((size_t)d.width);
        } catch (...) {
            ImgFreeBitmap(&result);
            return IMG_NO_MEMORY;
        }
        for (int i = 0; i < 3; ++i)
            ch[i] = MakeChannel(d.masks[i]);
    }
    for (int y = 0; y < d.height; ++y) {
        const BYTE* src = bits + (size_t)(d.topDown ? d.height - 1 - y : y) * d.rowBytes;
        BYTE* dst = result.bits + (size_t)y * result.bytesPerLine;
        if (d.masked) {
            DecodeMaskedRow(src, d, ch, row.data());
            img::EncodeRow(row.data(), d.width, d.bitsPerPixel, nullptr, dst);
        } else {
            memcpy(dst, src, (size_t)d.rowBytes);
        }
    }
    img::Replace(bitmap, &result);
    return IMG_SUCCESS;
}

} // namespace

void ImgInitBitmap(ImgBitmap* bitmap)
{
    if (!bitmap)
        return;
    memset(bitmap, 0, sizeof(*bitmap));
    bitmap->structSize = sizeof(ImgBitmap);
}

int ImgAllocateBitmap(ImgBitmap* bitmap, int width, int height, int bitsPerPixel, const RGBQUAD* palette, int colors)
{
    if (!bitmap || width <= 0 || height <= 0 || !img::IsValidDepth(bitsPerPixel))
        return IMG_INVALID_PARAMETER;
    RGBQUAD table[256];
    memset(table, 0, sizeof(table));
    if (bitsPerPixel <= 8) {
        if (palette) {
            if (colors < 1 || colors > (1 << bitsPerPixel))
                return IMG_INVALID_PARAMETER;
            memcpy(table, palette, (size_t)colors * sizeof(RGBQUAD));
        } else {
            ImgFixedPalette(table, bitsPerPixel);
            colors = 1 << bitsPerPixel;
        }
    }
    ImgBitmap result;
    const int rc = img::CreateSection(&result, width, height, bitsPerPixel, table, colors);
    if (rc != IMG_SUCCESS)
        return rc;
    img::Replace(bitmap, &result);
    return IMG_SUCCESS;
}

// The section goes back to the pool for the next bitmap of its size.
void ImgFreeBitmap(ImgBitmap* bitmap)
{
    if (!bitmap)
        return;
    if (bitmap->structSize == sizeof(ImgBitmap) && bitmap->allocated && bitmap->section && !img::PoolSection(*bitmap))
        DeleteObject(bitmap->section);
    ImgInitBitmap(bitmap);
}

int ImgBitmapFromDIB(ImgBitmap* bitmap, const BITMAPINFO* info, const void* bits)
{
    if (!bitmap || !info || !bits)
        return IMG_INVALID_PARAMETER;
    DibLayout d;
    const int rc = ParseDib(&info->bmiHeader, SIZE_MAX, &d);
    if (rc != IMG_SUCCESS)
        return rc;
    return FromLayout(bitmap, &info->bmiHeader, d, static_cast<const BYTE*>(bits));
}

// The block's real size bounds every read: a header whose colour table or
// pixels would run past the end of the block is refused.
int ImgBitmapFromPackedDIB(ImgBitmap* bitmap, HGLOBAL packedDib)
{
    if (!bitmap || !packedDib)
        return IMG_INVALID_PARAMETER;
    const SIZE_T size = GlobalSize(packedDib);
    const BITMAPINFOHEADER* h = static_cast<const BITMAPINFOHEADER*>(GlobalLock(packedDib));
    if (!h)
        return IMG_INVALID_PARAMETER;
    DibLayout d;
    int rc = ParseDib(h, size, &d);
    if (rc == IMG_SUCCESS && (d.bitsOffset > size || d.imageBytes > size - d.bitsOffset))
        rc = IMG_INVALID_FORMAT;
    if (rc == IMG_SUCCESS)
        rc = FromLayout(bitmap, h, d, reinterpret_cast<const BYTE*>(h) + d.bitsOffset);
    GlobalUnlock(packedDib);
    return rc;
}

HGLOBAL ImgPackedDIBFromBitmap(const ImgBitmap* bitmap)
{
    if (!bitmap || bitmap->structSize != sizeof(ImgBitmap) || !bitmap->allocated || !bitmap->bits)
        return NULL;
    const size_t tableEntries = bitmap->bitsPerPixel <= 8 ? (size_t)1 << bitmap->bitsPerPixel : 0;
    const size_t imageBytes = (size_t)bitmap->bytesPerLine * bitmap->height;
    const size_t headerBytes = sizeof(BITMAPINFOHEADER) + tableEntries * sizeof(RGBQUAD);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, headerBytes + imageBytes);
    if (!block)
        return NULL;
    BYTE* p = static_cast<BYTE*>(GlobalLock(block));
    if (!p) {
        GlobalFree(block);
        return NULL;
    }
    BITMAPINFOHEADER h;
    memset(&h, 0, sizeof(h));
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = bitmap->width;
    h.biHeight = bitmap->height;
    h.biPlanes = 1;
    h.biBitCount = (WORD)bitmap->bitsPerPixel;
    h.biCompression = BI_RGB;
    h.biSizeImage = (DWORD)imageBytes;
    memcpy(p, &h, sizeof(h));
    if (tableEntries)
        memcpy(p + sizeof(h), bitmap->palette, tableEntries * sizeof(RGBQUAD));
    GdiFlush();
    memcpy(p + headerBytes, bitmap->bits, imageBytes);
    GlobalUnlock(block);
    return block;
}

// A plain 40-byte header with BI_BITFIELDS carries its three masks in front
// of the colour table; the longer headers hold them inside.
const BYTE* ImgPackedDIBBits(const BITMAPINFOHEADER* header)
{
    if (!header)
        return nullptr;
    size_t entries = header->biClrUsed;
    if (entries == 0 && header->biBitCount < 17)
        entries = (size_t)(1u << header->biBitCount) & 0x1FF;
    size_t offset = header->biSize + entries * sizeof(RGBQUAD);
    if (header->biCompression == BI_BITFIELDS && header->biSize == sizeof(BITMAPINFOHEADER))
        offset += 3 * sizeof(DWORD);
    return reinterpret_cast<const BYTE*>(header) + offset;
}

HDC ImgCreateDC(ImgBitmap* bitmap)
{
    if (!bitmap || bitmap->structSize != sizeof(ImgBitmap) || !bitmap->allocated || !bitmap->section)
        return NULL;
    HDC dc = CreateCompatibleDC(NULL);
    if (!dc)
        return NULL;
    if (!SelectObject(dc, bitmap->section)) {
        DeleteDC(dc);
        return NULL;
    }
    if (bitmap->bitsPerPixel <= 8 && bitmap->colors > 0) {
        struct {
            WORD version;
            WORD count;
            PALETTEENTRY entries[256];
        } log;
        log.version = 0x300;
        log.count = (WORD)bitmap->colors;
        for (int i = 0; i < bitmap->colors; ++i) {
            log.entries[i].peRed = bitmap->palette[i].rgbRed;
            log.entries[i].peGreen = bitmap->palette[i].rgbGreen;
            log.entries[i].peBlue = bitmap->palette[i].rgbBlue;
            log.entries[i].peFlags = 0;
        }
        HPALETTE palette = CreatePalette(reinterpret_cast<LOGPALETTE*>(&log));
        if (palette) {
            SelectPalette(dc, palette, FALSE);
            RealizePalette(dc);
        }
    }
    return dc;
}

// Flushes GDI's batch first, so that the pixels drawn through the DC are in
// the bits before anyone reads them.
void ImgReleaseDC(HDC dc)
{
    if (!dc)
        return;
    GdiFlush();
    HPALETTE stock = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
    HPALETTE palette = SelectPalette(dc, stock, FALSE);
    if (palette && palette != stock)
        DeleteObject(palette);
    DeleteDC(dc);
}
