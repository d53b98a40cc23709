#include "platform/dex/FramePlacement.h"

FramePlace PlacePicture(LONG srcW, LONG srcH, LONG dstW, LONG dstH, int stretchMode)
{
    FramePlace p = {0, 0, dstW, dstH};
    if (srcW <= 0 || srcH <= 0 || dstW <= 0 || dstH <= 0)
        return p;
    // Compared as products: the picture is wider than the frame when
    // srcW/srcH > dstW/dstH.
    const bool wider = (LONGLONG)srcW * dstH > (LONGLONG)srcH * dstW;
    switch (stretchMode) {
    case 1:
        p.w = srcW;
        p.h = srcH;
        break;
    case 2:
        if (wider) {
            p.w = dstW;
            p.h = (LONG)((LONGLONG)srcH * dstW / srcW);
        } else {
            p.h = dstH;
            p.w = (LONG)((LONGLONG)srcW * dstH / srcH);
        }
        break;
    case 3:
        if (wider) {
            p.h = dstH;
            p.w = (LONG)((LONGLONG)srcW * dstH / srcH);
        } else {
            p.w = dstW;
            p.h = (LONG)((LONGLONG)srcH * dstW / srcW);
        }
        break;
    case 5:
        if (srcW <= dstW && srcH <= dstH) {
            p.w = srcW;
            p.h = srcH;
        } else {
            return PlacePicture(srcW, srcH, dstW, dstH, 2);
        }
        break;
    default:
        return p;
    }
    // Centred; an odd remainder leaves the extra pixel at the right and bottom.
    p.x = (dstW - p.w) / 2;
    p.y = (dstH - p.h) / 2;
    if (p.w < 1)
        p.w = 1;
    if (p.h < 1)
        p.h = 1;
    return p;
}

void DrawPicture(const BYTE* src, LONG srcW, LONG srcH, BYTE* dst, LONG dstW, LONG dstH, const FramePlace& place)
{
    LONG y0 = place.y < 0 ? 0 : place.y;
    LONG y1 = place.y + place.h > dstH ? dstH : place.y + place.h;
    LONG x0 = place.x < 0 ? 0 : place.x;
    LONG x1 = place.x + place.w > dstW ? dstW : place.x + place.w;
    for (LONG y = y0; y < y1; ++y) {
        LONG sy = (LONG)((LONGLONG)(y - place.y) * srcH / place.h);
        const DWORD* srow = (const DWORD*)(src + (size_t)(srcH - 1 - sy) * srcW * 4);
        DWORD* drow = (DWORD*)(dst + (size_t)(dstH - 1 - y) * dstW * 4);
        if (place.w == srcW) {
            CopyMemory(drow + x0, srow + (x0 - place.x), (size_t)(x1 - x0) * 4);
            continue;
        }
        for (LONG x = x0; x < x1; ++x)
            drow[x] = srow[(LONGLONG)(x - place.x) * srcW / place.w];
    }
}

// 64x64 -> 128-bit product, then a long division by c.
LONGLONG MulDiv64(LONGLONG a, LONGLONG b, LONGLONG c)
{
    if (a <= 0 || b <= 0 || c <= 0)
        return 0;
    unsigned long long ua = (unsigned long long)a, ub = (unsigned long long)b;
    unsigned long long aLo = ua & 0xFFFFFFFFULL, aHi = ua >> 32;
    unsigned long long bLo = ub & 0xFFFFFFFFULL, bHi = ub >> 32;
    unsigned long long ll = aLo * bLo, lh = aLo * bHi, hl = aHi * bLo, hh = aHi * bHi;
    unsigned long long mid = (ll >> 32) + (lh & 0xFFFFFFFFULL) + (hl & 0xFFFFFFFFULL);
    unsigned long long lo = (ll & 0xFFFFFFFFULL) | (mid << 32);
    unsigned long long hi = hh + (lh >> 32) + (hl >> 32) + (mid >> 32);
    unsigned long long uc = (unsigned long long)c;
    if (hi == 0)
        return (LONGLONG)(lo / uc);
    // Bit by bit: the quotient fits 64 bits for the times used here.
    unsigned long long q = 0, r = hi % uc;
    for (int i = 63; i >= 0; --i) {
        bool carry = (r >> 63) != 0;
        r = (r << 1) | ((lo >> i) & 1);
        q <<= 1;
        if (carry || r >= uc) {
            r -= uc;
            q |= 1;
        }
    }
    return (LONGLONG)q;
}
