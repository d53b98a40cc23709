#pragma once
// The shapes of screen drawing: each is a region built from its tool's
// geometry and painted with its pen colour, translucent shapes through the
// mask raster operation. The drawing window and the page preview use them.
#include "framework/Archive.h"
#include "framework/Object.h"
#include "framework/Types.h"

#include <vector>

// Arrow head length and half-width for a pen width (1-8; others as 1).
void ArrowHeadSize(int width, int* length, int* halfWidth);

class CDrawShape : public CObject {
public:
    CDrawShape(int width, COLORREF colour, BOOL translucent);
    ~CDrawShape() override;

    // Rebuilds the region for the rectangle (frame, highlight, ellipse) or
    // the segment from the start point (line, arrow, pen).
    virtual void UpdateToPoint(const RECT& rect, POINT start, POINT end) = 0;
    // Paints the current region: R2_MASKPEN when translucent and not white,
    // else R2_COPYPEN.
    void Paint(HDC hdc) const;
    int RasterOp() const;
    HRGN Region() const { return m_current; }
    HRGN PreviousRegion() const { return m_previous; }
    COLORREF Colour() const { return m_pen.lopnColor; }
    int Width() const { return m_pen.lopnWidth.x; }

protected:
    // The new region replaces the current one, which becomes the previous.
    void SetRegion(HRGN hRgn);
    // The region of a widened path through the points.
    static HRGN WidenedPath(const POINT* points, int count, int width, DWORD caps);

    int m_translucent;
    LOGPEN m_pen;
    LOGBRUSH m_brush;
    HRGN m_current;
    HRGN m_previous;

private:
    CDrawShape(const CDrawShape&) = delete;
    CDrawShape& operator=(const CDrawShape&) = delete;
};

// The rectangle minus the rectangle inset by the width; filled when either
// side is not more than twice the width.
class CDrawFrame : public CDrawShape {
public:
    using CDrawShape::CDrawShape;
    void UpdateToPoint(const RECT& rect, POINT start, POINT end) override;
};

class CDrawHighlight : public CDrawShape {
public:
    using CDrawShape::CDrawShape;
    void UpdateToPoint(const RECT& rect, POINT start, POINT end) override;
};

class CDrawEllipse : public CDrawShape {
public:
    using CDrawShape::CDrawShape;
    void UpdateToPoint(const RECT& rect, POINT start, POINT end) override;
};

class CDrawLine : public CDrawShape {
public:
    using CDrawShape::CDrawShape;
    void UpdateToPoint(const RECT& rect, POINT start, POINT end) override;
};

// Shaft and head; the shaft only when the arrow is at least a head long.
class CDrawArrow : public CDrawShape {
public:
    using CDrawShape::CDrawShape;
    void UpdateToPoint(const RECT& rect, POINT start, POINT end) override;
    // The head's triangle of the last update: tip, then the two base corners.
    POINT m_head[3];
    bool m_hasShaft = false;
};

// A freehand stroke: every point joins; the region grows by the widened path
// through the last three points.
class CDrawPen : public CDrawShape {
public:
    using CDrawShape::CDrawShape;
    void UpdateToPoint(const RECT& rect, POINT start, POINT end) override;
    const std::vector<POINT>& Points() const { return m_points; }
    // The point list: the archive's count, then x and y (32-bit) of each.
    // A count larger than the bytes that follow is refused
    // (CArchiveException::endOfFile) and the list stays empty.
    void SerializePoints(CArchive& ar);

private:
    std::vector<POINT> m_points;
};
