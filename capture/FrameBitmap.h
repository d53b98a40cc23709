#pragma once
// Small GDI helpers shared by the capture loop and the frame composition:
// bitmaps to packed DIBs in global memory, conversion of a packed DIB to
// another format, the shaded highlight block, the console-window test of the
// cursor drawing and the copy of the watermark (overlay) record. Stateless;
// callable from any thread.
#include "framework/AfxPlatform.h"

class CRecorderEngine;
class WatermarkSettings;

// Bytes of one DIB row of `bitCount` bits per pixel, padded to 4 bytes.
inline DWORD DibRowBytes(int width, int bitCount)
{
    return (DWORD)(((DWORD)bitCount * (DWORD)width + 31) / 32 * 4);
}

// Colour-table entries (RGBQUADs, or the three masks of BI_BITFIELDS) that
// follow the header of a packed DIB.
DWORD DibColorEntries(const BITMAPINFOHEADER& header);

// Pointer to the pixel rows of a locked packed DIB.
BYTE* DibBits(BITMAPINFOHEADER* header);

// A packed DIB (unlocked global handle) of the bitmap; 32-bit bitmaps become
// 24-bit when `store32As24`. NULL on failure (the caller names it).
HGLOBAL CreateDIBFromBitmap(HBITMAP bitmap, HDC dc, BOOL store32As24);

// A new packed DIB of `source` in the target format (width, height, bit count
// and compression as given). Shows its message box and returns NULL on failure.
HGLOBAL ConvertDIBFormat(HDC dc, const BITMAPINFO* source, const BITMAPINFOHEADER* target);

// Darkens `rect` of `dc` with a shaded block (light > 0: on white, else on black).
void DrawHighlightBlock(CRecorderEngine* engine, HDC dc, const RECT& rect, int light);

// TRUE for a console window (NT family only).
BOOL IsConsoleWindow(HWND window);
// The same test for a given GetVersion() value.
BOOL IsConsoleWindowOn(HWND window, DWORD version);

WatermarkSettings& CopyOverlayRecord(WatermarkSettings& destination, const WatermarkSettings& source);
