#pragma once
#include "platform/imaging/Imaging.h"

// The imaging bitmap the image code paints through, with a state word (bit 0
// cleared at start) and a flag saying whether the display works through a
// palette. Owned by its user, such as the watermark image object; used by
// one thread at a time.
struct LeadBitmapHolder {
    DWORD state;
    BOOL paletteNeeded;
    ImgBitmap bitmap;
};

// Clears bit 0 of the state word, reads the display's palette need and
// leaves the bitmap empty.
void LeadBitmapHolderInit(LeadBitmapHolder* holder);
// Frees the bitmap; the holder stays usable (empty bitmap). Safe to repeat.
void LeadBitmapHolderFree(LeadBitmapHolder* holder);

// TRUE when a display with these GetDeviceCaps values (RASTERCAPS, and
// BITSPIXEL x PLANES) needs palettes: it is palette-based or has 8 bits or
// fewer per pixel.
BOOL DisplayNeedsPalette(int rasterCaps, int bitsPerPixel);
