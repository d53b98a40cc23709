#include "framework/ui/DC.h"
#include "framework/ui/GdiObject.h"

#include <gtest/gtest.h>

namespace {

TEST(GdiObject, SelectObjectReturnsThePreviousWrapperAndDestructorsFree)
{
    CDC screen;
    ASSERT_TRUE(screen.Attach(::GetDC(NULL)));
    CDC mem;
    ASSERT_TRUE(mem.CreateCompatibleDC(&screen));
    CBitmap bmp;
    ASSERT_TRUE(bmp.CreateCompatibleBitmap(&screen, 8, 4));
    CBitmap* old = mem.SelectObject(&bmp);
    ASSERT_TRUE(old != NULL);
    mem.FillSolidRect(0, 0, 8, 4, RGB(10, 20, 30));
    EXPECT_EQ(RGB(10, 20, 30), mem.GetPixel(3, 2));
    EXPECT_EQ(&bmp, mem.SelectObject(old)) << "the permanent wrapper comes back";
    BITMAP info;
    ASSERT_TRUE(bmp.GetBitmap(&info));
    EXPECT_EQ(8, info.bmWidth);
    ::ReleaseDC(NULL, screen.Detach());
    const HGDIOBJ h = bmp.m_hObject;
    bmp.DeleteObject();
    EXPECT_EQ(0, ::GetObjectType(h)) << "handle freed";
}

TEST(GdiObject, PointFontHeightFollowsTheScreenResolution)
{
    CFont font;
    ASSERT_TRUE(font.CreatePointFont(120, "宋体"));
    LOGFONT lf;
    ASSERT_TRUE(font.GetLogFont(&lf));
    HDC dc = ::GetDC(NULL);
    const int expected = -::MulDiv(::GetDeviceCaps(dc, LOGPIXELSY), 120, 720);
    ::ReleaseDC(NULL, dc);
    EXPECT_EQ(expected, lf.lfHeight);
    EXPECT_STREQ("宋体", lf.lfFaceName);
    CFont* none = NULL;
    EXPECT_EQ(NULL, none->GetSafeHandle());
}

TEST(GdiObject, SecondCreateReplacesTheFirstHandle)
{
    CBrush brush;
    ASSERT_TRUE(brush.CreateSolidBrush(RGB(1, 2, 3)));
    const HGDIOBJ first = brush.m_hObject;
    ASSERT_TRUE(brush.CreateSolidBrush(RGB(4, 5, 6)));
    EXPECT_NE(first, brush.m_hObject);
    EXPECT_EQ(0, ::GetObjectType(first));
}

}  // namespace
