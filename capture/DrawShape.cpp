#include "capture/DrawShape.h"

#include "framework/Exceptions.h"

#include <cmath>
#include <cstdlib>

void ArrowHeadSize(int width, int* length, int* halfWidth)
{
    static const int kLength[8] = { 17, 19, 22, 25, 28, 30, 33, 36 };
    static const int kHalf[8] = { 6, 7, 8, 9, 10, 11, 12, 13 };
    const int i = width >= 1 && width <= 8 ? width - 1 : 0;
    *length = kLength[i];
    *halfWidth = kHalf[i];
}

CDrawShape::CDrawShape(int width, COLORREF colour, BOOL translucent)
    : m_translucent(translucent ? 1 : 0), m_current(::CreateRectRgn(0, 0, 0, 0)), m_previous(::CreateRectRgn(0, 0, 0, 0))
{
    m_pen.lopnStyle = PS_INSIDEFRAME;
    m_pen.lopnWidth.x = width;
    m_pen.lopnWidth.y = 0;
    m_pen.lopnColor = colour;
    m_brush.lbStyle = BS_SOLID;
    m_brush.lbColor = colour;
    m_brush.lbHatch = 0;
}

CDrawShape::~CDrawShape()
{
    ::DeleteObject(m_current);
    ::DeleteObject(m_previous);
}

void CDrawShape::SetRegion(HRGN hRgn)
{
    ::DeleteObject(m_previous);
    m_previous = m_current;
    m_current = hRgn != NULL ? hRgn : ::CreateRectRgn(0, 0, 0, 0);
}

int CDrawShape::RasterOp() const
{
    return m_translucent && m_pen.lopnColor != RGB(255, 255, 255) ? R2_MASKPEN : R2_COPYPEN;
}

void CDrawShape::Paint(HDC hdc) const
{
    HBRUSH brush = ::CreateBrushIndirect(&m_brush);
    HGDIOBJ oldBrush = ::SelectObject(hdc, brush);
    const int oldRop = ::SetROP2(hdc, RasterOp());
    ::PaintRgn(hdc, m_current);
    ::SetROP2(hdc, oldRop);
    ::SelectObject(hdc, oldBrush);
    ::DeleteObject(brush);
}

HRGN CDrawShape::WidenedPath(const POINT* points, int count, int width, DWORD caps)
{
    HDC hdc = ::CreateCompatibleDC(NULL);
    LOGBRUSH lb = { BS_SOLID, 0, 0 };
    HPEN pen = ::ExtCreatePen(PS_GEOMETRIC | PS_SOLID | caps | PS_JOIN_ROUND, width > 0 ? width : 1, &lb, 0, NULL);
    HGDIOBJ old = ::SelectObject(hdc, pen);
    ::BeginPath(hdc);
    ::Polyline(hdc, points, count);
    ::EndPath(hdc);
    ::WidenPath(hdc);
    HRGN rgn = ::PathToRegion(hdc);
    ::SelectObject(hdc, old);
    ::DeleteObject(pen);
    ::DeleteDC(hdc);
    return rgn;
}

void CDrawFrame::UpdateToPoint(const RECT& rect, POINT, POINT)
{
    const int w = Width();
    HRGN outer = ::CreateRectRgnIndirect(&rect);
    if (rect.right - rect.left > 2 * w && rect.bottom - rect.top > 2 * w) {
        HRGN inner = ::CreateRectRgn(rect.left + w, rect.top + w, rect.right - w, rect.bottom - w);
        ::CombineRgn(outer, outer, inner, RGN_DIFF);
        ::DeleteObject(inner);
    }
    SetRegion(outer);
}

void CDrawHighlight::UpdateToPoint(const RECT& rect, POINT, POINT)
{
    SetRegion(::CreateRectRgnIndirect(&rect));
}

void CDrawEllipse::UpdateToPoint(const RECT& rect, POINT, POINT)
{
    const int w = Width();
    HRGN outer = ::CreateEllipticRgnIndirect(&rect);
    if (rect.right - rect.left > 2 * w && rect.bottom - rect.top > 2 * w) {
        HRGN inner = ::CreateEllipticRgn(rect.left + w, rect.top + w, rect.right - w, rect.bottom - w);
        ::CombineRgn(outer, outer, inner, RGN_DIFF);
        ::DeleteObject(inner);
    }
    SetRegion(outer);
}

void CDrawLine::UpdateToPoint(const RECT&, POINT start, POINT end)
{
    const POINT pts[2] = { start, end };
    SetRegion(WidenedPath(pts, 2, Width(), PS_ENDCAP_FLAT));
}

void CDrawArrow::UpdateToPoint(const RECT&, POINT start, POINT end)
{
    int L = 0, W = 0;
    ArrowHeadSize(Width(), &L, &W);
    const int dx = end.x - start.x;
    const int dy = end.y - start.y;
    const int n = (int)std::lround(std::sqrt((double)dx * dx + (double)dy * dy));
    const int ux = n != 0 ? L * dx / n : 0;
    const int uy = n != 0 ? L * dy / n : 0;
    const POINT base = { end.x - ux, end.y - uy };
    // Perpendicular to the shaft, W / L of the head's length.
    const int px = (uy > 0 ? -1 : 1) * (std::abs(uy) * W / L);
    const int py = (ux >= 0 ? 1 : -1) * (std::abs(ux) * W / L);
    m_head[0] = end;
    m_head[1] = { base.x + px, base.y + py };
    m_head[2] = { base.x - px, base.y - py };
    HRGN rgn = ::CreatePolygonRgn(m_head, 3, WINDING);
    m_hasShaft = n >= L;
    if (m_hasShaft) {
        const POINT pts[2] = { start, { end.x - ux / 2, end.y - uy / 2 } };
        HRGN shaft = WidenedPath(pts, 2, Width(), PS_ENDCAP_FLAT);
        if (shaft != NULL) {
            ::CombineRgn(rgn, rgn, shaft, RGN_OR);
            ::DeleteObject(shaft);
        }
    }
    SetRegion(rgn);
}

void CDrawPen::UpdateToPoint(const RECT&, POINT start, POINT end)
{
    if (m_points.empty())
        m_points.push_back(start);
    m_points.push_back(end);
    const size_t n = m_points.size();
    const size_t first = n >= 3 ? n - 3 : 0;
    HRGN piece = WidenedPath(&m_points[first], (int)(n - first), Width(), PS_ENDCAP_ROUND);
    HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
    ::CombineRgn(rgn, m_current, NULL, RGN_COPY);
    if (piece != NULL) {
        ::CombineRgn(rgn, rgn, piece, RGN_OR);
        ::DeleteObject(piece);
    }
    SetRegion(rgn);
}

void CDrawPen::SerializePoints(CArchive& ar)
{
    if (!ar.IsLoading()) {
        ar.WriteCount(m_points.size());
        for (const POINT& p : m_points) {
            const INT32 xy[2] = { (INT32)p.x, (INT32)p.y };
            ar.Write(xy, sizeof(xy));
        }
        return;
    }
    m_points.clear();
    const DWORD_PTR count = ar.ReadCount();
    // Read point by point: a count the archive cannot back is refused
    // before it can ask for memory.
    std::vector<POINT> points;
    for (DWORD_PTR i = 0; i < count; i++) {
        INT32 xy[2];
        if (ar.Read(xy, sizeof(xy)) != sizeof(xy))
            AfxThrowArchiveException(CArchiveException::endOfFile);
        points.push_back({ (LONG)xy[0], (LONG)xy[1] });
    }
    m_points.swap(points);
}
