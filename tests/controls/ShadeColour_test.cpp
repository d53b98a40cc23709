#include "controls/MemDC.h"
#include "controls/ShadeColour.h"

#include <gtest/gtest.h>

namespace {

TEST(ShadeColour, ResolveLightensDarkensOrKeeps)
{
    struct Row { COLORREF colour; int mode; double factor; COLORREF expected; };
    const Row rows[] = {
        { 0x000000, CShadeColour::kLighten, 0.5, 0x808080 },   // 255 - trunc(127.5)
        { 0xFFFFFF, CShadeColour::kLighten, 0.5, 0xFFFFFF },
        { 0x123456, CShadeColour::kLighten, 1.0, 0x123456 },
        { 0x123456, CShadeColour::kLighten, 0.0, 0xFFFFFF },
        { 0xFFFFFF, CShadeColour::kDarken, 0.5, 0x7F7F7F },
        { 0x123456, CShadeColour::kDarken, 0.0, 0x000000 },
        { 0x123456, CShadeColour::kDarken, 1.0, 0x123456 },
        { 0x204060, CShadeColour::kAsIs, 0.1, 0x204060 },
        { 0x204060, 7, 0.1, 0x204060 },                       // unknown mode: as is
        // Products held in a double before truncation: 10 x 0.3 is 3, and
        // 250 x 0.3 is 75, not the hair under that the x87 unit carries.
        { 0x0A0A0A, CShadeColour::kDarken, 0.3, 0x030303 },
        { 0x050505, CShadeColour::kLighten, 0.3, 0xB4B4B4 },
        { 0x0A141E, CShadeColour::kDarken, 0.7, 0x070E15 },
    };
    for (const Row& row : rows) {
        CShadeColour c(row.colour);
        c.m_mode = row.mode;
        c.m_factor = row.factor;
        EXPECT_EQ(row.expected, c.Resolve()) << std::hex << row.colour << " mode " << row.mode;
    }
}

TEST(ShadeColour, SystemColourIndexWinsOverStoredColour)
{
    CShadeColour c(COLOR_WINDOW);
    EXPECT_EQ(::GetSysColor(COLOR_WINDOW), c.Resolve());
    c.Set(COLOR_BTNTEXT, CShadeColour::kDarken, 1.0);
    EXPECT_EQ(0u, c.m_colour);
    EXPECT_EQ(::GetSysColor(COLOR_BTNTEXT), c.Resolve());
    CShadeColour d;
    EXPECT_EQ(-1, d.m_sysColourIndex);
    EXPECT_EQ(CShadeColour::kAsIs, d.m_mode);
    EXPECT_DOUBLE_EQ(1.0, d.m_factor);
    d = c;
    EXPECT_EQ(COLOR_BTNTEXT, d.m_sysColourIndex);
}

TEST(MemDC, DrawsOffScreenAndRestoresTheSelection)
{
    CDC screen;
    screen.Attach(::GetDC(NULL));
    COLORREF copied = 0;
    HGDIOBJ bitmapDuring = NULL;
    {
        CMemDC mem(&screen, 10, 10);
        ASSERT_TRUE(mem.GetSafeHdc() != NULL);
        bitmapDuring = ::GetCurrentObject(mem.m_hDC, OBJ_BITMAP);
        EXPECT_EQ(mem.GetBitmap()->m_hObject, bitmapDuring);
        mem.FillSolidRect(0, 0, 10, 10, RGB(0, 200, 0));
        CBitmap target;
        target.CreateCompatibleBitmap(&screen, 10, 10);
        CMemDC out(&screen, &target);
        out.BitBlt(0, 0, 10, 10, &mem, 0, 0, SRCCOPY);
        copied = out.GetPixel(5, 5);
        EXPECT_EQ(NULL, out.GetBitmap()) << "the caller's bitmap is not owned";
    }
    EXPECT_EQ(RGB(0, 200, 0), copied);
    EXPECT_EQ(0, ::GetObjectType(bitmapDuring)) << "own bitmap deleted after being selected out";
    ::ReleaseDC(NULL, screen.Detach());
}

TEST(MemDC, SelectObjectGuardPutsTheOldObjectBack)
{
    CMemDC mem(NULL, 4, 4);
    const HGDIOBJ before = ::GetCurrentObject(mem.m_hDC, OBJ_PEN);
    CPen pen(PS_SOLID, 1, RGB(255, 0, 0));
    {
        CSelectObjectGuard guard(&mem, mem.SelectObject(&pen));
        EXPECT_EQ(pen.m_hObject, ::GetCurrentObject(mem.m_hDC, OBJ_PEN));
    }
    EXPECT_EQ(before, ::GetCurrentObject(mem.m_hDC, OBJ_PEN));
}

}  // namespace
