#pragma once
// Pixel access for the imaging tests, written straight against the DIB
// layout (bottom-up rows, 5-5-5 words, MSB-first sub-byte pixels) so that the
// checks do not go through the code under test.
#include "platform/imaging/Imaging.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace imgtest {

inline BYTE* Row(const ImgBitmap& b, int yFromTop)
{
    return b.bits + (size_t)(b.height - 1 - yFromTop) * b.bytesPerLine;
}

// The raw value of a pixel: palette index, 16-bit word, or 0x00RRGGBB.
inline DWORD Raw(const ImgBitmap& b, int x, int y)
{
    const BYTE* r = Row(b, y);
    switch (b.bitsPerPixel) {
    case 1: return (r[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (x & 1) ? (r[x >> 1] & 0x0F) : (r[x >> 1] >> 4);
    case 8: return r[x];
    case 16: return (DWORD)r[2 * x] | ((DWORD)r[2 * x + 1] << 8);
    case 24: return (DWORD)r[3 * x] | ((DWORD)r[3 * x + 1] << 8) | ((DWORD)r[3 * x + 2] << 16);
    default: return (DWORD)r[4 * x] | ((DWORD)r[4 * x + 1] << 8) | ((DWORD)r[4 * x + 2] << 16) | ((DWORD)r[4 * x + 3] << 24);
    }
}

inline void SetRaw(ImgBitmap& b, int x, int y, DWORD v)
{
    BYTE* r = Row(b, y);
    switch (b.bitsPerPixel) {
    case 1: r[x >> 3] = (BYTE)((r[x >> 3] & ~(0x80 >> (x & 7))) | ((v & 1) << (7 - (x & 7)))); break;
    case 4: r[x >> 1] = (x & 1) ? (BYTE)((r[x >> 1] & 0xF0) | (v & 0x0F)) : (BYTE)((r[x >> 1] & 0x0F) | (v << 4)); break;
    case 8: r[x] = (BYTE)v; break;
    case 16: r[2 * x] = (BYTE)v; r[2 * x + 1] = (BYTE)(v >> 8); break;
    case 24: r[3 * x] = (BYTE)v; r[3 * x + 1] = (BYTE)(v >> 8); r[3 * x + 2] = (BYTE)(v >> 16); break;
    default: memcpy(r + 4 * x, &v, 4); break;
    }
}

inline COLORREF QuadColour(const RGBQUAD& q)
{
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

// The colour a pixel shows, as a COLORREF.
inline COLORREF Colour(const ImgBitmap& b, int x, int y)
{
    const DWORD v = Raw(b, x, y);
    switch (b.bitsPerPixel) {
    case 1: case 4: case 8: return QuadColour(b.palette[v]);
    case 16: {
        auto e = [](DWORD c) { return (BYTE)((c << 3) | (c >> 2)); };
        return RGB(e((v >> 10) & 31), e((v >> 5) & 31), e(v & 31));
    }
    default: return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
}

// Writes a colour the depth holds exactly: the first palette entry of that
// colour (a failed check when there is none), the 5-5-5 word, or BGR bytes.
inline void SetColour(ImgBitmap& b, int x, int y, COLORREF c)
{
    if (b.bitsPerPixel <= 8) {
        for (int i = 0; i < (1 << b.bitsPerPixel); ++i)
            if (QuadColour(b.palette[i]) == c) {
                SetRaw(b, x, y, (DWORD)i);
                return;
            }
        ADD_FAILURE() << "colour " << std::hex << c << " is not in the palette of a " << std::dec << b.bitsPerPixel
                      << "-bit bitmap";
    } else if (b.bitsPerPixel == 16) {
        SetRaw(b, x, y, ((GetRValue(c) >> 3) << 10) | ((GetGValue(c) >> 3) << 5) | (GetBValue(c) >> 3));
    } else {
        SetRaw(b, x, y, (DWORD)GetBValue(c) | ((DWORD)GetGValue(c) << 8) | ((DWORD)GetRValue(c) << 16));
    }
}

inline void FillColour(ImgBitmap& b, COLORREF c)
{
    for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x)
            SetColour(b, x, y, c);
}

inline std::string Hex(COLORREF c)
{
    char text[16];
    snprintf(text, sizeof(text), "%06lX", (unsigned long)c);
    return text;
}

// A bitmap freed when the test ends.
struct Bitmap {
    ImgBitmap b;
    Bitmap() { ImgInitBitmap(&b); }
    ~Bitmap() { ImgFreeBitmap(&b); }
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;
};

// Bounding box of the pixels of one colour; empty (right < left) when none.
inline RECT Bounds(const ImgBitmap& b, COLORREF c)
{
    RECT r = {b.width, b.height, -1, -1};
    for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x)
            if (Colour(b, x, y) == c) {
                if (x < r.left) r.left = x;
                if (y < r.top) r.top = y;
                if (x > r.right) r.right = x;
                if (y > r.bottom) r.bottom = y;
            }
    return r;
}

}  // namespace imgtest
