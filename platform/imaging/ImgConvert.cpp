// Pixel row codecs and the colour-resolution change.
#include "platform/imaging/ImgInternal.h"

#include <string.h>
#include <vector>

namespace img {

namespace {

inline uint32_t FromQuad(const RGBQUAD& q)
{
    return (uint32_t)q.rgbBlue | ((uint32_t)q.rgbGreen << 8) | ((uint32_t)q.rgbRed << 16);
}

// 5-bit channel to 8 bits with the top bits repeated, so 31 is 255 and 0 is 0.
inline uint32_t Expand5(uint32_t v)
{
    return (v << 3) | (v >> 2);
}

} // namespace

void DecodeRow(const BYTE* src, int width, int bitsPerPixel, const RGBQUAD* palette, uint32_t* out)
{
    switch (bitsPerPixel) {
    case 32:
        memcpy(out, src, (size_t)width * 4);
        break;
    case 24:
        for (int x = 0; x < width; ++x, src += 3)
            out[x] = (uint32_t)src[0] | ((uint32_t)src[1] << 8) | ((uint32_t)src[2] << 16);
        break;
    case 16:
        for (int x = 0; x < width; ++x, src += 2) {
            const uint32_t v = (uint32_t)src[0] | ((uint32_t)src[1] << 8);
            out[x] = Expand5(v & 0x1F) | (Expand5((v >> 5) & 0x1F) << 8) | (Expand5((v >> 10) & 0x1F) << 16);
        }
        break;
    case 8:
        for (int x = 0; x < width; ++x)
            out[x] = FromQuad(palette[src[x]]);
        break;
    case 4:
        for (int x = 0; x < width; ++x) {
            const BYTE v = src[x >> 1];
            out[x] = FromQuad(palette[(x & 1) ? (v & 0x0F) : (v >> 4)]);
        }
        break;
    case 1:
        for (int x = 0; x < width; ++x)
            out[x] = FromQuad(palette[(src[x >> 3] >> (7 - (x & 7))) & 1]);
        break;
    }
}

void EncodeRow(const uint32_t* in, int width, int bitsPerPixel, PaletteMapper* mapper, BYTE* dst)
{
    switch (bitsPerPixel) {
    case 32:
        memcpy(dst, in, (size_t)width * 4);
        break;
    case 24:
        for (int x = 0; x < width; ++x, dst += 3) {
            const uint32_t v = in[x];
            dst[0] = (BYTE)v;
            dst[1] = (BYTE)(v >> 8);
            dst[2] = (BYTE)(v >> 16);
        }
        break;
    case 16:
        for (int x = 0; x < width; ++x, dst += 2) {
            const uint32_t v = in[x];
            const uint32_t p = ((v >> 3) & 0x1F) | (((v >> 11) & 0x1F) << 5) | (((v >> 19) & 0x1F) << 10);
            dst[0] = (BYTE)p;
            dst[1] = (BYTE)(p >> 8);
        }
        break;
    case 8:
        for (int x = 0; x < width; ++x)
            dst[x] = mapper->Map(in[x]);
        break;
    case 4:
        for (int x = 0; x < width; x += 2) {
            BYTE v = (BYTE)(mapper->Map(in[x]) << 4);
            if (x + 1 < width)
                v |= mapper->Map(in[x + 1]) & 0x0F;
            dst[x >> 1] = v;
        }
        break;
    case 1:
        for (int x = 0; x < width; x += 8) {
            BYTE v = 0;
            for (int k = 0; k < 8 && x + k < width; ++k)
                v |= (BYTE)((mapper->Map(in[x + k]) & 1) << (7 - k));
            dst[x >> 3] = v;
        }
        break;
    }
}

} // namespace img

// Converts row by row through 32-bit colour into a new section, so the
// bitmap keeps its old pixels when anything fails. A paletted bitmap asked
// for its own depth without a palette is left as it is; with a palette its
// pixels are mapped onto that palette.
int ImgColorRes(ImgBitmap* bitmap, int bitsPerPixel, UINT flags, const RGBQUAD* palette, int colors)
{
    if (!bitmap)
        return IMG_INVALID_PARAMETER;
    if (bitmap->structSize != sizeof(ImgBitmap) || !bitmap->allocated)
        return IMG_BITMAP_NOT_ALLOCATED;
    if (!img::IsValidDepth(bitsPerPixel))
        return IMG_INVALID_PARAMETER;
    const bool userPalette = (flags & IMG_CRF_USERPALETTE) != 0 && bitsPerPixel <= 8;
    if (userPalette && (!palette || colors < 1 || colors > (1 << bitsPerPixel)))
        return IMG_INVALID_PARAMETER;
    if (bitsPerPixel == bitmap->bitsPerPixel && !userPalette)
        return IMG_SUCCESS;

    RGBQUAD target[256];
    int targetColors = 0;
    if (bitsPerPixel <= 8) {
        memset(target, 0, sizeof(target));
        if (userPalette) {
            memcpy(target, palette, (size_t)colors * sizeof(RGBQUAD));
            targetColors = colors;
        } else {
            ImgFixedPalette(target, bitsPerPixel);
            targetColors = 1 << bitsPerPixel;
        }
    }
    img::PaletteMapper mapper;
    if (bitsPerPixel <= 8 && !mapper.Init(target, targetColors))
        return IMG_NO_MEMORY;

    ImgBitmap result;
    const int rc = img::CreateSection(&result, bitmap->width, bitmap->height, bitsPerPixel, target, targetColors);
    if (rc != IMG_SUCCESS)
        return rc;
    std::vector<uint32_t> row;
    try {
        row.resize((size_t)bitmap->width);
    } catch (...) {
        ImgFreeBitmap(&result);
        return IMG_NO_MEMORY;
    }
    GdiFlush();
    for (int y = 0; y < bitmap->height; ++y) {
        img::DecodeRow(bitmap->bits + (size_t)y * bitmap->bytesPerLine, bitmap->width, bitmap->bitsPerPixel,
                       bitmap->palette, row.data());
        img::EncodeRow(row.data(), result.width, bitsPerPixel, &mapper, result.bits + (size_t)y * result.bytesPerLine);
    }
    img::Replace(bitmap, &result);
    return IMG_SUCCESS;
}
