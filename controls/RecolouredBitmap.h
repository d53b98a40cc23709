#pragma once
#include "framework/Collections.h"
#include "framework/ui/GdiObject.h"

// Pixel layouts of a device-dependent bitmap, as DdbPixelFormat reports them.
enum DdbFormat {
    kDdbUnknown = 0,
    kDdb565 = 1,    // 16 bits, 5-6-5
    kDdb555 = 2,    // 16 bits, 5-5-5
    kDdbBGR = 3,    // bytes blue, green, red (24 or 32 bits)
    kDdbRGB = 4,    // bytes red, green, blue
};

// Classifies the pixel layout of a device-dependent bitmap.
int DdbPixelFormat(HBITMAP hBitmap);
// Cuts each colour of the list to the precision of a 16-bit format (in place).
void QuantiseColours(int format, CDWordArray& colours);
// Multiplies every pixel by the tint (c x t / 255 per channel) except pixels of
// the kept colours (the list is quantised to the bitmap's format first).
// Bitmaps of 1 or 8 bits per pixel are left as they are.
void TintBitmap(CBitmap& bitmap, COLORREF tint, CDWordArray* pKeptColours);
// Loads a bitmap resource into the CBitmap (its old handle is deleted) and
// tints it; FALSE with the CBitmap empty when the resource cannot be loaded.
BOOL LoadRecolouredBitmap(CBitmap& bitmap, UINT nIDResource, COLORREF tint,
                          CDWordArray* pKeptColours);
