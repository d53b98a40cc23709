#include "capture/DrawShape.h"

#include "framework/Exceptions.h"
#include "framework/File.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

bool In(HRGN rgn, int x, int y)
{
    return ::PtInRegion(rgn, x, y) != FALSE;
}

const RECT kNone = { 0, 0, 0, 0 };

// A width-8 frame is a band: inside it nothing; a frame no wider than twice
// its width is filled.
TEST(DrawShape, FrameIsABandUnlessTooNarrow)
{
    CDrawFrame frame(8, RGB(255, 0, 0), FALSE);
    const RECT big = { 10, 10, 110, 60 };
    frame.UpdateToPoint(big, POINT{ 10, 10 }, POINT{ 109, 59 });
    EXPECT_TRUE(In(frame.Region(), 10, 10));
    EXPECT_TRUE(In(frame.Region(), 17, 30)) << "inside the band";
    EXPECT_FALSE(In(frame.Region(), 18, 30)) << "past the band";
    EXPECT_FALSE(In(frame.Region(), 60, 35)) << "the middle stays";
    const RECT narrow = { 10, 10, 26, 60 };   // 16 wide: 2 x 8
    frame.UpdateToPoint(narrow, POINT{}, POINT{});
    EXPECT_TRUE(In(frame.Region(), 18, 30)) << "filled";
    EXPECT_TRUE(In(frame.PreviousRegion(), 17, 30)) << "the previous region is kept for repainting";
}

TEST(DrawShape, EllipseIsARingUnlessTooNarrow)
{
    CDrawEllipse ellipse(4, RGB(0, 0, 255), FALSE);
    const RECT r = { 0, 0, 100, 60 };
    ellipse.UpdateToPoint(r, POINT{}, POINT{});
    EXPECT_TRUE(In(ellipse.Region(), 2, 30));
    EXPECT_FALSE(In(ellipse.Region(), 50, 30));
    EXPECT_FALSE(In(ellipse.Region(), 1, 1)) << "the corner is outside the ellipse";
    const RECT thin = { 0, 0, 8, 60 };
    ellipse.UpdateToPoint(thin, POINT{}, POINT{});
    EXPECT_TRUE(In(ellipse.Region(), 4, 30));
}

TEST(DrawShape, ArrowHeadsByWidthAndShortArrowsHaveNoShaft)
{
    struct Row { int width, length, half; };
    const Row rows[] = { { 1, 17, 6 }, { 2, 19, 7 }, { 3, 22, 8 }, { 4, 25, 9 }, { 5, 28, 10 },
                         { 6, 30, 11 }, { 7, 33, 12 }, { 8, 36, 13 }, { 0, 17, 6 }, { 9, 17, 6 } };
    for (const Row& row : rows) {
        int l = 0, w = 0;
        ArrowHeadSize(row.width, &l, &w);
        EXPECT_EQ(row.length, l) << row.width;
        EXPECT_EQ(row.half, w) << row.width;
    }
    // Width 8, pointing right from (100, 100) to (300, 100): head 36 long, 2 x 13 wide.
    CDrawArrow arrow(8, RGB(255, 0, 0), FALSE);
    arrow.UpdateToPoint(kNone, POINT{ 100, 100 }, POINT{ 300, 100 });
    EXPECT_TRUE(arrow.m_hasShaft);
    EXPECT_EQ(300, arrow.m_head[0].x);
    EXPECT_EQ(264, arrow.m_head[1].x);
    EXPECT_EQ(264, arrow.m_head[2].x);
    EXPECT_EQ(26, std::abs(arrow.m_head[1].y - arrow.m_head[2].y));
    EXPECT_TRUE(In(arrow.Region(), 150, 100)) << "the shaft";
    EXPECT_TRUE(In(arrow.Region(), 266, 110)) << "the head's wide end";
    EXPECT_FALSE(In(arrow.Region(), 150, 110)) << "the shaft is 8 wide";
    // Shorter than its head: no shaft; the head still has its full length
    // (from 120 back to 84), and nothing lies behind it.
    arrow.UpdateToPoint(kNone, POINT{ 100, 100 }, POINT{ 120, 100 });
    EXPECT_FALSE(arrow.m_hasShaft);
    EXPECT_EQ(84, arrow.m_head[1].x);
    EXPECT_TRUE(In(arrow.Region(), 100, 100));
    EXPECT_FALSE(In(arrow.Region(), 82, 100));
    // Pointing up-left: the head lies on the shaft's line.
    arrow.UpdateToPoint(kNone, POINT{ 300, 300 }, POINT{ 100, 100 });
    EXPECT_TRUE(In(arrow.Region(), 115, 115));
    EXPECT_TRUE(In(arrow.Region(), 200, 200));
}

TEST(DrawShape, TranslucentShapesMaskExceptWhite)
{
    struct Row { COLORREF colour; BOOL translucent; int rop; };
    const Row rows[] = {
        { RGB(255, 255, 0), TRUE, R2_MASKPEN },
        { RGB(255, 255, 255), TRUE, R2_COPYPEN },
        { RGB(255, 255, 0), FALSE, R2_COPYPEN },
    };
    for (const Row& row : rows) {
        CDrawHighlight h(1, row.colour, row.translucent);
        EXPECT_EQ(row.rop, h.RasterOp());
    }
    // Yellow over white stays yellow, over blue gives black.
    HDC screen = ::GetDC(NULL);
    HDC hdc = ::CreateCompatibleDC(screen);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, 40, 20);
    ::ReleaseDC(NULL, screen);
    HGDIOBJ old = ::SelectObject(hdc, bmp);
    RECT white = { 0, 0, 20, 20 }, blue = { 20, 0, 40, 20 };
    HBRUSH wb = ::CreateSolidBrush(RGB(255, 255, 255)), bb = ::CreateSolidBrush(RGB(0, 0, 255));
    ::FillRect(hdc, &white, wb);
    ::FillRect(hdc, &blue, bb);
    CDrawHighlight yellow(1, RGB(255, 255, 0), TRUE);
    const RECT all = { 0, 0, 40, 20 };
    yellow.UpdateToPoint(all, POINT{}, POINT{});
    yellow.Paint(hdc);
    EXPECT_EQ(RGB(255, 255, 0), ::GetPixel(hdc, 10, 10));
    EXPECT_EQ(RGB(0, 0, 0), ::GetPixel(hdc, 30, 10));
    ::SelectObject(hdc, old);
    ::DeleteObject(bmp);
    ::DeleteObject(wb);
    ::DeleteObject(bb);
    ::DeleteDC(hdc);
}

TEST(DrawShape, PenStrokeGrowsAndItsPointsRoundTrip)
{
    CDrawPen pen(3, RGB(0, 0, 0), FALSE);
    const POINT path[] = { { 10, 10 }, { 50, 10 }, { 50, 50 }, { 90, 50 } };
    for (int i = 1; i < 4; i++)
        pen.UpdateToPoint(kNone, path[0], path[i]);
    EXPECT_EQ(4u, pen.Points().size());
    EXPECT_TRUE(In(pen.Region(), 30, 10));
    EXPECT_TRUE(In(pen.Region(), 50, 30));
    EXPECT_TRUE(In(pen.Region(), 70, 50));
    EXPECT_FALSE(In(pen.Region(), 30, 30));

    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        pen.SerializePoints(ar);
    }
    EXPECT_EQ(2u + 4 * 8, (size_t)file.GetLength()) << "count, then 8 bytes a point";
    file.SeekToBegin();
    CDrawPen copy(3, 0, FALSE);
    {
        CArchive ar(&file, CArchive::load);
        copy.SerializePoints(ar);
    }
    ASSERT_EQ(4u, copy.Points().size());
    EXPECT_EQ(90, copy.Points()[3].x);
    EXPECT_EQ(50, copy.Points()[3].y);
}

// A count the archive's bytes cannot back is refused, nothing half-read kept.
TEST(DrawShape, PointCountBeyondTheArchiveIsRefused)
{
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        ar.WriteCount(0x10000000);   // 2 GiB of points claimed
        const INT32 xy[2] = { 1, 2 };
        ar.Write(xy, sizeof(xy));
    }
    file.SeekToBegin();
    CDrawPen pen(1, 0, FALSE);
    bool refused = false;
    try {
        CArchive ar(&file, CArchive::load);
        pen.SerializePoints(ar);
    } catch (CArchiveException* e) {
        refused = e->m_cause == CArchiveException::endOfFile;
        e->Delete();
    }
    EXPECT_TRUE(refused);
    EXPECT_TRUE(pen.Points().empty());
}

}  // namespace
