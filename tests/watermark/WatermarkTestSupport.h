#pragma once
// Helpers of the watermark tests: GDI+ started once for the process, images
// with known pixels written to files, and pixels of GDI+ bitmaps read back.
#include <windows.h>
#include <string>
#include <vector>

namespace Gdiplus {
class GpBitmap;
}

namespace wmtest {

// Starts GDI+ for the test process (once; kept to the end).
void StartGdiplus();

// A 32-bit ARGB bitmap of width x height from pixels given top row first.
Gdiplus::GpBitmap* MakeBitmap(int width, int height, const std::vector<DWORD>& argb);
// The pixels of a bitmap as ARGB, top row first (empty when it cannot be read).
std::vector<DWORD> ReadBitmap(Gdiplus::GpBitmap* bitmap, int* width, int* height);
// Writes the pixels as a PNG file; true on success.
bool WritePng(const std::string& path, int width, int height, const std::vector<DWORD>& argb);

inline DWORD Argb(int a, int r, int g, int b)
{
    return ((DWORD)a << 24) | ((DWORD)r << 16) | ((DWORD)g << 8) | (DWORD)b;
}

// Columns left of `splitX` in `left`, the rest in `right`.
inline std::vector<DWORD> Split(int width, int height, int splitX, DWORD left, DWORD right)
{
    std::vector<DWORD> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(x < splitX ? left : right);
    return pixels;
}

// One colour for every pixel.
inline std::vector<DWORD> Solid(int width, int height, DWORD argb)
{
    return std::vector<DWORD>((size_t)(width * height), argb);
}

}  // namespace wmtest
