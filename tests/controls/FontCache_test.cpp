#include "controls/FontCache.h"

#include <gtest/gtest.h>

namespace {

LOGFONT DefaultLogFont()
{
    LOGFONT lf;
    ZeroMemory(&lf, sizeof(lf));
    lf.lfHeight = 85;
    return lf;
}

int ExpectedPixelHeight(int tenthsOfPoint)
{
    HDC dc = ::GetDC(NULL);
    const int h = -::MulDiv(::GetDeviceCaps(dc, LOGPIXELSY), tenthsOfPoint, 720);
    ::ReleaseDC(NULL, dc);
    return h;
}

TEST(FontCache, UnsetKeyGetsTheDefaultFontAndTheSameObjectAgain)
{
    CFontCache cache;
    const LOGFONT lf = DefaultLogFont();
    CFontCache::SetDefaultFont(&lf);
    CFont* first = CFontCache::GetFont(7);
    ASSERT_TRUE(first != NULL && first->m_hObject != NULL);
    EXPECT_EQ(first, CFontCache::GetFont(7));
    LOGFONT got;
    first->GetLogFont(&got);
    EXPECT_EQ(ExpectedPixelHeight(85), got.lfHeight) << "8.5 points";
}

TEST(FontCache, SetFontReplacesTheKeysFont)
{
    CFontCache cache;
    LOGFONT lf = DefaultLogFont();
    CFontCache::SetDefaultFont(&lf);
    CFontCache::GetFont(3);
    LOGFONT big = DefaultLogFont();
    big.lfHeight = 140;
    CFont* pointFont = CFontCache::SetFont(3, &big, TRUE);
    EXPECT_EQ(pointFont, CFontCache::GetFont(3));
    LOGFONT got;
    pointFont->GetLogFont(&got);
    EXPECT_EQ(ExpectedPixelHeight(140), got.lfHeight);
    LOGFONT pixels = DefaultLogFont();
    pixels.lfHeight = -20;
    CFont* pixelFont = CFontCache::SetFont(3, &pixels, FALSE);
    pixelFont->GetLogFont(&got);
    EXPECT_EQ(-20, got.lfHeight);
}

// After the last instance is gone the fonts are deleted; a later request must
// build a new font, never hand out the deleted one.
TEST(FontCache, NoFontIsHandedOutAfterItWasDeleted)
{
    HGDIOBJ oldHandle = NULL;
    {
        CFontCache cache;
        const LOGFONT lf = DefaultLogFont();
        CFontCache::SetDefaultFont(&lf);
        oldHandle = CFontCache::GetFont(11)->m_hObject;
        ASSERT_TRUE(oldHandle != NULL);
    }
    EXPECT_EQ(0, ::GetObjectType(oldHandle)) << "deleted with the last instance";
    CFontCache again;
    CFont* font = CFontCache::GetFont(11);
    ASSERT_TRUE(font != NULL);
    EXPECT_EQ((DWORD)OBJ_FONT, ::GetObjectType(font->m_hObject)) << "a live font, not the deleted one";
}

}  // namespace
