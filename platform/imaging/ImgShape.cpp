// Shaded highlight shapes: a region per shape family, filled in the shape's
// colour, with a light band along its upper-left edge and a dark band along
// its lower-right edge.
#include "platform/imaging/ImgInternal.h"

namespace {

// Shape families: the thousands of the stored shape number.
enum ShapeFamily {
    kRectangle = 1,
    kWideRectangle = 2,  // 2000 square corners, 2001 and up rounded
    kRoundRect = 3,
    kDiamond = 4,
    kTriangle = 5,       // variant 0 points up, 1 down, 2 left, 3 right
    kHexagon = 6,
    kEllipse = 7,
    kWideEllipse = 8,
    kStar = 9,
    kOctagon = 10,
    kCross = 11,
};

HRGN Polygon(const POINT* points, int count)
{
    return CreatePolygonRgn(points, count, WINDING);
}

// The region of the shape inside `r` (right and bottom exclusive).
HRGN ShapeRegion(const RECT& r, int family, int variant)
{
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int cx = r.left + w / 2, cy = r.top + h / 2;
    switch (family) {
    case kWideRectangle:
        if (variant == 0)
            return CreateRectRgn(r.left, r.top, r.right, r.bottom);
        return CreateRoundRectRgn(r.left, r.top, r.right + 1, r.bottom + 1, h / 2, h / 2);
    case kRoundRect:
        return CreateRoundRectRgn(r.left, r.top, r.right + 1, r.bottom + 1, w / 3, h / 3);
    case kDiamond: {
        const POINT p[4] = {{cx, r.top}, {r.right, cy}, {cx, r.bottom}, {r.left, cy}};
        return Polygon(p, 4);
    }
    case kTriangle: {
        POINT p[3];
        switch (variant) {
        case 1: p[0] = {r.left, r.top}; p[1] = {r.right, r.top}; p[2] = {cx, r.bottom}; break;
        case 2: p[0] = {r.right, r.top}; p[1] = {r.right, r.bottom}; p[2] = {r.left, cy}; break;
        case 3: p[0] = {r.left, r.top}; p[1] = {r.right, cy}; p[2] = {r.left, r.bottom}; break;
        default: p[0] = {cx, r.top}; p[1] = {r.right, r.bottom}; p[2] = {r.left, r.bottom}; break;
        }
        return Polygon(p, 3);
    }
    case kHexagon: {
        const POINT p[6] = {{r.left + w / 4, r.top}, {r.right - w / 4, r.top}, {r.right, cy},
                            {r.right - w / 4, r.bottom}, {r.left + w / 4, r.bottom}, {r.left, cy}};
        return Polygon(p, 6);
    }
    case kEllipse:
    case kWideEllipse:
        return CreateEllipticRgn(r.left, r.top, r.right, r.bottom);
    case kStar: {
        // Five points; the inner corners at 0.38 of the radius.
        static const double kOuter[5][2] = {{0, -1}, {0.951, -0.309}, {0.588, 0.809}, {-0.588, 0.809}, {-0.951, -0.309}};
        static const double kInner[5][2] = {{0.223, -0.307}, {0.361, 0.117}, {0, 0.38}, {-0.361, 0.117}, {-0.223, -0.307}};
        POINT p[10];
        for (int i = 0; i < 5; ++i) {
            p[2 * i] = {cx + (int)(kOuter[i][0] * w / 2), cy + (int)(kOuter[i][1] * h / 2)};
            p[2 * i + 1] = {cx + (int)(kInner[i][0] * w / 2), cy + (int)(kInner[i][1] * h / 2)};
        }
        return Polygon(p, 10);
    }
    case kOctagon: {
        const int dx = w * 29 / 100, dy = h * 29 / 100;
        const POINT p[8] = {{r.left + dx, r.top}, {r.right - dx, r.top}, {r.right, r.top + dy}, {r.right, r.bottom - dy},
                            {r.right - dx, r.bottom}, {r.left + dx, r.bottom}, {r.left, r.bottom - dy}, {r.left, r.top + dy}};
        return Polygon(p, 8);
    }
    case kCross: {
        const int dx = w / 3, dy = h / 3;
        const POINT p[12] = {{r.left + dx, r.top}, {r.right - dx, r.top}, {r.right - dx, r.top + dy},
                             {r.right, r.top + dy}, {r.right, r.bottom - dy}, {r.right - dx, r.bottom - dy},
                             {r.right - dx, r.bottom}, {r.left + dx, r.bottom}, {r.left + dx, r.bottom - dy},
                             {r.left, r.bottom - dy}, {r.left, r.top + dy}, {r.left + dx, r.top + dy}};
        return Polygon(p, 12);
    }
    case kRectangle:
    default:
        if (variant == 0)
            return CreateRectRgn(r.left, r.top, r.right, r.bottom);
        return CreateRoundRectRgn(r.left, r.top, r.right + 1, r.bottom + 1, w / (variant == 1 ? 6 : 3),
                                  h / (variant == 1 ? 6 : 3));
    }
}

void Fill(HDC dc, HRGN region, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    if (brush) {
        FillRgn(dc, region, brush);
        DeleteObject(brush);
    }
}

// The part of `shape` that a copy moved by (dx, dy) does not cover: its edge
// on the side the copy moved away from.
void FillEdge(HDC dc, HRGN shape, int dx, int dy, COLORREF colour)
{
    HRGN moved = CreateRectRgn(0, 0, 0, 0);
    HRGN edge = CreateRectRgn(0, 0, 0, 0);
    if (moved && edge && CombineRgn(moved, shape, NULL, RGN_COPY) != ERROR) {
        OffsetRgn(moved, dx, dy);
        if (CombineRgn(edge, shape, moved, RGN_DIFF) != ERROR)
            Fill(dc, edge, colour);
    }
    if (moved)
        DeleteObject(moved);
    if (edge)
        DeleteObject(edge);
}

} // namespace

// Shape numbers outside 1000..11999 fall back to the ellipse, the stored
// default.
int ImgDrawShape(HDC dc, const RECT* rect, UINT shape, UINT style, COLORREF colour, COLORREF bandLight,
                 COLORREF bandDark, COLORREF background)
{
    if (!dc || !rect)
        return IMG_INVALID_PARAMETER;
    RECT r = *rect;
    if (r.right <= r.left || r.bottom <= r.top)
        return IMG_INVALID_PARAMETER;
    int family = (int)(shape / 1000);
    int variant = (int)(shape % 1000);
    if (family < kRectangle || family > kCross) {
        family = kEllipse;
        variant = 0;
    }
    HRGN region = ShapeRegion(r, family, variant);
    if (!region)
        return IMG_FAILURE;
    if (style & IMG_SHAPE_PAINTBACK) {
        HRGN outside = CreateRectRgn(r.left, r.top, r.right, r.bottom);
        if (outside) {
            if (CombineRgn(outside, outside, region, RGN_DIFF) != ERROR)
                Fill(dc, outside, background);
            DeleteObject(outside);
        }
    }
    Fill(dc, region, colour);
    if (!(style & IMG_SHAPE_INNERFILL)) {
        const int side = (r.right - r.left) < (r.bottom - r.top) ? (r.right - r.left) : (r.bottom - r.top);
        const int band = side >= 32 ? side / 16 : 1;
        FillEdge(dc, region, band, band, bandLight);
        FillEdge(dc, region, -band, -band, bandDark);
    }
    DeleteObject(region);
    GdiFlush();
    return IMG_SUCCESS;
}
