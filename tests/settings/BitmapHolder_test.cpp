#include "settings/BitmapHolder.h"

#include <gtest/gtest.h>

#include <string.h>

TEST(BitmapHolder, DisplayNeedsPaletteForPaletteDevicesAndEightBitsOrFewer)
{
    struct Case {
        int rasterCaps;
        int bits;
        BOOL expected;
    } cases[] = {
        {RC_PALETTE, 8, TRUE}, {RC_PALETTE, 32, TRUE}, {RC_BITBLT, 8, TRUE},   {RC_BITBLT, 4, TRUE},
        {RC_BITBLT, 1, TRUE},  {RC_BITBLT, 16, FALSE}, {RC_BITBLT, 24, FALSE}, {RC_BITBLT | RC_DI_BITMAP, 32, FALSE},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, DisplayNeedsPalette(c.rasterCaps, c.bits)) << c.rasterCaps << " caps, " << c.bits << " bits";
}

// Start-up clears only bit 0 of the state word, reads the display (the test
// screen is true colour) and leaves an empty bitmap ready for the image code.
TEST(BitmapHolder, InitClearsTheFirstStateBitAndLeavesAnEmptyBitmap)
{
    const DWORD states[][2] = {{0xFFFFFFFF, 0xFFFFFFFE}, {0x1, 0x0}, {0x6, 0x6}, {0, 0}};
    for (const auto& s : states) {
        LeadBitmapHolder holder;
        memset(&holder, 0xCD, sizeof(holder));
        holder.state = s[0];
        LeadBitmapHolderInit(&holder);
        EXPECT_EQ(s[1], holder.state) << std::hex << s[0];
        EXPECT_EQ(sizeof(ImgBitmap), holder.bitmap.structSize);
        EXPECT_FALSE(holder.bitmap.allocated);
        EXPECT_EQ(nullptr, holder.bitmap.bits);
        HDC screen = GetDC(NULL);
        const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
        ReleaseDC(NULL, screen);
        ASSERT_GT(bits, 8) << "the test display is true colour";
        EXPECT_FALSE(holder.paletteNeeded);
    }
}

TEST(BitmapHolder, FreeReleasesTheBitmapAndCanBeRepeated)
{
    LeadBitmapHolder holder = {};
    LeadBitmapHolderInit(&holder);
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&holder.bitmap, 32, 16, 24, nullptr, 0));
    HBITMAP section = holder.bitmap.section;
    ASSERT_NE(0u, GetObjectType(section));
    LeadBitmapHolderFree(&holder);
    ImgTrimCache();  // freed true-colour sections wait in the imaging pool until trimmed
    EXPECT_EQ(0u, GetObjectType(section));
    EXPECT_FALSE(holder.bitmap.allocated);
    LeadBitmapHolderFree(&holder);
    LeadBitmapHolderFree(nullptr);
    LeadBitmapHolderInit(nullptr);
    // The holder can take a new bitmap after being freed.
    EXPECT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&holder.bitmap, 4, 4, 8, nullptr, 0));
    LeadBitmapHolderFree(&holder);
    EXPECT_FALSE(holder.bitmap.allocated);
}
