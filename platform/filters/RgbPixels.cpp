#include "platform/filters/RgbPixels.h"

#include <string.h>

namespace {

// 0x00RRGGBB from a pixel at the given depth; RGB555 channels are widened
// so that 31 becomes 255.
inline DWORD ReadPixel(const BYTE* row, LONG x, WORD bits)
{
    if (bits == 32)
        return ((const DWORD*)row)[x] & 0xFFFFFF;
    if (bits == 24) {
        const BYTE* p = row + x * 3;
        return (DWORD)p[0] | (DWORD)p[1] << 8 | (DWORD)p[2] << 16;
    }
    const WORD v = ((const WORD*)row)[x];
    const DWORD r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
    return (r << 3 | r >> 2) << 16 | (g << 3 | g >> 2) << 8 | (b << 3 | b >> 2);
}

inline void WritePixel(BYTE* row, LONG x, WORD bits, DWORD p)
{
    if (bits == 32) {
        ((DWORD*)row)[x] = p;
    } else if (bits == 24) {
        BYTE* d = row + x * 3;
        d[0] = (BYTE)p;
        d[1] = (BYTE)(p >> 8);
        d[2] = (BYTE)(p >> 16);
    } else {
        ((WORD*)row)[x] = (WORD)(((p >> 19) & 31) << 10 | ((p >> 11) & 31) << 5 | ((p >> 3) & 31));
    }
}

inline bool KnownDepth(WORD bits) { return bits == 32 || bits == 24 || bits == 16; }

}  // namespace

BOOL ConvertRgb(const BYTE* src, WORD srcBits, BYTE* dst, WORD dstBits, LONG w, LONG h)
{
    if (!KnownDepth(srcBits) || !KnownDepth(dstBits) || w < 0 || h < 0)
        return FALSE;
    const size_t srcStride = RgbStride(w, srcBits), dstStride = RgbStride(w, dstBits);
    if (srcBits == dstBits) {
        for (LONG y = 0; y < h; ++y)
            memcpy(dst + dstStride * y, src + srcStride * y, srcStride);
        return TRUE;
    }
    for (LONG y = 0; y < h; ++y) {
        const BYTE* s = src + srcStride * y;
        BYTE* d = dst + dstStride * y;
        for (LONG x = 0; x < w; ++x)
            WritePixel(d, x, dstBits, ReadPixel(s, x, srcBits));
    }
    return TRUE;
}
