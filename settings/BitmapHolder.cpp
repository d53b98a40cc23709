#include "settings/BitmapHolder.h"

BOOL DisplayNeedsPalette(int rasterCaps, int bitsPerPixel)
{
    return (rasterCaps & RC_PALETTE) != 0 || bitsPerPixel <= 8;
}

// The display is asked once per holder: a mode change during a recording does
// not change how its bitmaps were set up.
void LeadBitmapHolderInit(LeadBitmapHolder* holder)
{
    if (!holder)
        return;
    holder->state &= ~(DWORD)1;
    holder->paletteNeeded = FALSE;
    HDC screen = GetDC(NULL);
    if (screen) {
        const int caps = GetDeviceCaps(screen, RASTERCAPS);
        const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
        ReleaseDC(NULL, screen);
        holder->paletteNeeded = DisplayNeedsPalette(caps, bits);
    }
    ImgInitBitmap(&holder->bitmap);
}

void LeadBitmapHolderFree(LeadBitmapHolder* holder)
{
    if (holder)
        ImgFreeBitmap(&holder->bitmap);
}
