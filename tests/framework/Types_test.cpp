#include "framework/Types.h"

#include <gtest/gtest.h>

namespace {

TEST(CRect, Geometry)
{
    CRect r(10, 20, 110, 70);
    EXPECT_EQ(100, r.Width());
    EXPECT_EQ(50, r.Height());
    EXPECT_EQ(CSize(100, 50), r.Size());
    EXPECT_EQ(CPoint(60, 45), r.CenterPoint());
    EXPECT_EQ(CPoint(10, 20), r.TopLeft());
    EXPECT_EQ(CPoint(110, 70), r.BottomRight());
    EXPECT_TRUE(r.PtInRect(CPoint(10, 20)));
    EXPECT_FALSE(r.PtInRect(CPoint(110, 70)));     // right and bottom are outside

    CRect moved = r + CPoint(5, -5);
    EXPECT_EQ(CRect(15, 15, 115, 65), moved);
    CRect grown(r);
    grown.InflateRect(1, 2);
    EXPECT_EQ(CRect(9, 18, 111, 72), grown);
    grown.DeflateRect(1, 2, 3, 4);
    EXPECT_EQ(CRect(10, 20, 108, 68), grown);

    CRect a(0, 0, 10, 10), b(5, 5, 20, 20), i, u;
    EXPECT_TRUE(i.IntersectRect(&a, &b));
    EXPECT_EQ(CRect(5, 5, 10, 10), i);
    u.UnionRect(&a, &b);
    EXPECT_EQ(CRect(0, 0, 20, 20), u);
    EXPECT_EQ(CRect(5, 5, 10, 10), a & b);
    EXPECT_FALSE(i.IntersectRect(&a, CRect(50, 50, 60, 60)));
    EXPECT_TRUE(i.IsRectEmpty());

    CRect flipped(10, 10, 0, 0);
    EXPECT_TRUE(flipped.IsRectEmpty());
    flipped.NormalizeRect();
    EXPECT_EQ(CRect(0, 0, 10, 10), flipped);
    flipped.SetRectEmpty();
    EXPECT_TRUE(flipped.IsRectNull());
    flipped.MoveToXY(3, 4);
    EXPECT_EQ(CRect(3, 4, 3, 4), flipped);

    CPoint p(1, 2);
    p += CSize(2, 2);
    EXPECT_EQ(CPoint(3, 4), p);
    EXPECT_EQ(CSize(2, 2), p - CPoint(1, 2));
}

}  // namespace
