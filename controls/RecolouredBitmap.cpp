#include "controls/RecolouredBitmap.h"

#include "framework/Module.h"

#include <stdlib.h>
#include <string.h>

// The header and the colour masks are read from two GetDIBits calls on the
// screen DC: the first fills the header, the second the masks.
int DdbPixelFormat(HBITMAP hBitmap)
{
    BYTE* info = (BYTE*)calloc(1, 1064);
    if (info == NULL)
        return kDdbUnknown;
    BITMAPINFOHEADER* header = (BITMAPINFOHEADER*)info;
    header->biSize = sizeof(BITMAPINFOHEADER);
    HDC screen = ::GetDC(NULL);
    ::GetDIBits(screen, hBitmap, 0, 0, NULL, (BITMAPINFO*)info, DIB_RGB_COLORS);
    ::GetDIBits(screen, hBitmap, 0, 0, NULL, (BITMAPINFO*)info, DIB_RGB_COLORS);
    ::ReleaseDC(NULL, screen);
    int format = kDdbUnknown;
    if (header->biCompression == BI_BITFIELDS) {
        DWORD redMask = 0;
        memcpy(&redMask, info + sizeof(BITMAPINFOHEADER), sizeof(redMask));
        switch (redMask) {
        case 0xF800: format = kDdb565; break;
        case 0x7C00: format = kDdb555; break;
        case 0xFF0000: format = kDdbBGR; break;
        case 0xFF: format = kDdbRGB; break;
        default: format = kDdbUnknown; break;
        }
    } else {
        const LONG pixels = header->biWidth * labs(header->biHeight);
        const DWORD bytesPerPixel = pixels > 0 ? header->biSizeImage / (DWORD)pixels : 0;
        format = bytesPerPixel > 2 ? kDdbBGR : kDdb555;
    }
    free(info);
    return format;
}

void QuantiseColours(int format, CDWordArray& colours)
{
    for (INT_PTR i = 0; i < colours.GetSize(); i++) {
        const COLORREF c = colours[i];
        if (format == kDdb565)
            colours[i] = RGB(GetRValue(c) & 0xF8, GetGValue(c) & 0xFC, GetBValue(c) & 0xF8);
        else if (format == kDdb555)
            colours[i] = RGB(GetRValue(c) & 0xF8, GetGValue(c) & 0xF8, GetBValue(c) & 0xF8);
    }
}

namespace {
BOOL IsKept(const CDWordArray* kept, BYTE r, BYTE g, BYTE b)
{
    if (kept == NULL)
        return FALSE;
    for (INT_PTR i = 0; i < kept->GetSize(); i++) {
        const COLORREF c = kept->GetAt(i);
        if (GetRValue(c) == r && GetGValue(c) == g && GetBValue(c) == b)
            return TRUE;
    }
    return FALSE;
}
}  // namespace

void TintBitmap(CBitmap& bitmap, COLORREF tint, CDWordArray* pKeptColours)
{
    BITMAP bm;
    if (!bitmap.GetBitmap(&bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0)
        return;
    const int bytesPerPixel = bm.bmWidthBytes / bm.bmWidth;
    if (bytesPerPixel < 2 || bytesPerPixel > 4)
        return;
    const int format = DdbPixelFormat((HBITMAP)bitmap.m_hObject);
    if (pKeptColours != NULL)
        QuantiseColours(format, *pKeptColours);

    const DWORD size = (DWORD)bm.bmHeight * (DWORD)bm.bmWidthBytes;
    BYTE* bits = (BYTE*)calloc(1, size + 8);
    if (bits == NULL)
        return;
    bitmap.GetBitmapBits(size, bits);
    const BYTE tr = GetRValue(tint);
    const BYTE tg = GetGValue(tint);
    const BYTE tb = GetBValue(tint);
    for (int y = 0; y < bm.bmHeight; y++) {
        BYTE* row = bits + (size_t)y * bm.bmWidthBytes;
        for (int offset = 0; offset + bytesPerPixel <= bm.bmWidthBytes; offset += bytesPerPixel) {
            BYTE* p = row + offset;
            BYTE r = 0, g = 0, b = 0;
            WORD w = (WORD)(p[0] | (p[1] << 8));
            switch (format) {
            case kDdb565: r = (BYTE)((w >> 8) & 0xF8); g = (BYTE)((w >> 3) & 0xFC); b = (BYTE)((w << 3) & 0xF8); break;
            case kDdb555: r = (BYTE)((w >> 7) & 0xF8); g = (BYTE)((w >> 2) & 0xF8); b = (BYTE)((w << 3) & 0xF8); break;
            case kDdbBGR: b = p[0]; g = p[1]; r = p[2]; break;
            case kDdbRGB: r = p[0]; g = p[1]; b = p[2]; break;
            default: break;
            }
            if (IsKept(pKeptColours, r, g, b))
                continue;
            r = (BYTE)(r * tr / 255);
            g = (BYTE)(g * tg / 255);
            b = (BYTE)(b * tb / 255);
            switch (format) {
            case kDdb565:
                w = (WORD)(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3));
                p[0] = (BYTE)w;
                p[1] = (BYTE)(w >> 8);
                break;
            case kDdb555:
                w = (WORD)(((r & 0xF8) << 7) | ((g & 0xF8) << 2) | (b >> 3));
                p[0] = (BYTE)w;
                p[1] = (BYTE)(w >> 8);
                break;
            case kDdbBGR: p[0] = b; p[1] = g; p[2] = r; break;
            case kDdbRGB: p[0] = r; p[1] = g; p[2] = b; break;
            default: break;
            }
        }
    }
    bitmap.SetBitmapBits(size, bits);
    free(bits);
}

BOOL LoadRecolouredBitmap(CBitmap& bitmap, UINT nIDResource, COLORREF tint, CDWordArray* pKeptColours)
{
    bitmap.DeleteObject();
    // The resource module that holds the bitmap: the resource handle first,
    // then the program itself.
    HINSTANCE hInst = AfxGetResourceHandle();
    if (::FindResourceA(hInst, MAKEINTRESOURCEA(nIDResource), (LPCSTR)RT_BITMAP) == NULL)
        hInst = AfxGetInstanceHandle();
    HBITMAP hBitmap = ::LoadBitmapA(hInst, MAKEINTRESOURCEA(nIDResource));
    if (hBitmap == NULL)
        return FALSE;
    bitmap.Attach(hBitmap);
    TintBitmap(bitmap, tint, pKeptColours);
    return TRUE;
}
