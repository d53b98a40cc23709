#include "WatermarkTestSupport.h"

#include "settings/GdiplusInitGuard.h"

#include <gdiplus.h>

#include <string.h>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace wmtest {

void StartGdiplus()
{
    static CGdiplusInitGuard* guard = nullptr;
    if (!guard) {
        guard = new CGdiplusInitGuard(false);
        guard->Start();
    }
}

GpBitmap* MakeBitmap(int width, int height, const std::vector<DWORD>& argb)
{
    StartGdiplus();
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, nullptr, &bitmap) != Ok)
        return nullptr;
    GpRect rect(0, 0, width, height);
    BitmapData data = {};
    if (GdipBitmapLockBits(bitmap, &rect, ImageLockModeWrite, PixelFormat32bppARGB, &data) != Ok) {
        GdipDisposeImage(bitmap);
        return nullptr;
    }
    for (int y = 0; y < height; ++y)
        memcpy((BYTE*)data.Scan0 + (INT_PTR)y * data.Stride, &argb[(size_t)(y * width)], (size_t)width * 4);
    GdipBitmapUnlockBits(bitmap, &data);
    return bitmap;
}

std::vector<DWORD> ReadBitmap(GpBitmap* bitmap, int* width, int* height)
{
    std::vector<DWORD> pixels;
    UINT w = 0, h = 0;
    GdipGetImageWidth(bitmap, &w);
    GdipGetImageHeight(bitmap, &h);
    *width = (int)w;
    *height = (int)h;
    GpRect rect(0, 0, (INT)w, (INT)h);
    BitmapData data = {};
    if (GdipBitmapLockBits(bitmap, &rect, ImageLockModeRead, PixelFormat32bppARGB, &data) != Ok)
        return pixels;
    pixels.resize((size_t)w * h);
    for (UINT y = 0; y < h; ++y)
        memcpy(&pixels[(size_t)y * w], (const BYTE*)data.Scan0 + (INT_PTR)y * data.Stride, (size_t)w * 4);
    GdipBitmapUnlockBits(bitmap, &data);
    return pixels;
}

bool WritePng(const std::string& path, int width, int height, const std::vector<DWORD>& argb)
{
    static const CLSID kPngEncoder = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
    GpBitmap* bitmap = MakeBitmap(width, height, argb);
    if (!bitmap)
        return false;
    std::wstring wide(path.begin(), path.end());
    const bool ok = GdipSaveImageToFile(bitmap, wide.c_str(), &kPngEncoder, nullptr) == Ok;
    GdipDisposeImage(bitmap);
    return ok;
}

}  // namespace wmtest
