#include "framework/ui/RectTracker.h"

#include <gtest/gtest.h>

TEST(RectTracker, HitCodesNameTheHandlesOutsideTheFrame)
{
    // A 100 x 60 rectangle at (50, 40), dotted, handles of 5 outside the frame
    // (which lies one pixel outside the rectangle).
    CRect rect(50, 40, 150, 100);
    CRectTracker tracker(&rect, CRectTracker::dottedLine | CRectTracker::resizeOutside);
    tracker.m_nHandleSize = 5;
    const struct { int x, y, hit; } cases[] = {
        { 46, 36, CRectTracker::hitTopLeft },     { 152, 36, CRectTracker::hitTopRight },
        { 152, 102, CRectTracker::hitBottomRight }, { 46, 102, CRectTracker::hitBottomLeft },
        { 100, 36, CRectTracker::hitTop },        { 152, 70, CRectTracker::hitRight },
        { 100, 102, CRectTracker::hitBottom },    { 46, 70, CRectTracker::hitLeft },
        { 100, 70, CRectTracker::hitMiddle },     { 49, 39, CRectTracker::hitMiddle },
        { 10, 10, CRectTracker::hitNothing },     { 120, 36, CRectTracker::hitNothing },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.hit, tracker.HitTest(CPoint(c.x, c.y))) << c.x << "," << c.y;

    CRect truth;
    tracker.GetTrueRect(&truth);
    EXPECT_EQ(CRect(44, 34, 156, 106), truth);

    CRect small(10, 10, 20, 20);   // too small for the middle handles
    CRectTracker smallTracker(&small, CRectTracker::resizeOutside);
    EXPECT_EQ(0x0Fu, smallTracker.GetHandleMask());
    EXPECT_EQ(0xFFu, tracker.GetHandleMask());
}

TEST(RectTracker, AdjustRectKeepsTheMinimumSizeUnlessInversionIsAllowed)
{
    CRect rect(0, 0, 10, 10);
    CRectTracker tracker(&rect, CRectTracker::solidLine);
    tracker.m_sizeMin = CSize(4, 4);
    RECT dragged = { 0, 0, 2, 12 };
    tracker.AdjustRect(CRectTracker::hitBottomRight, &dragged);
    EXPECT_EQ(4, dragged.right) << "the right edge keeps the minimum width";
    EXPECT_EQ(12, dragged.bottom);
    RECT moved = { 5, 5, 6, 6 };
    tracker.AdjustRect(CRectTracker::hitMiddle, &moved);
    EXPECT_EQ(6, moved.right) << "a move is not resized";
}
