// CPoint, CSize and CRect: the Win32 POINT, SIZE and RECT with MFC's
// operations. They derive from the Win32 structures, so they pass straight to
// API calls (&rect, LPRECT, LPCRECT).
#pragma once
#include "framework/AfxPlatform.h"

class CSize;
class CRect;

class CPoint : public tagPOINT {
public:
    CPoint() { x = 0; y = 0; }
    CPoint(int initX, int initY) { x = initX; y = initY; }
    CPoint(POINT pt) { x = pt.x; y = pt.y; }
    CPoint(SIZE sz) { x = sz.cx; y = sz.cy; }
    explicit CPoint(DWORD dwPoint) { x = (short)LOWORD(dwPoint); y = (short)HIWORD(dwPoint); }

    void Offset(int dx, int dy) { x += dx; y += dy; }
    void Offset(POINT pt) { Offset(pt.x, pt.y); }
    void Offset(SIZE sz) { Offset(sz.cx, sz.cy); }
    void SetPoint(int X, int Y) { x = X; y = Y; }

    bool operator==(POINT pt) const { return x == pt.x && y == pt.y; }
    bool operator!=(POINT pt) const { return !(*this == pt); }
    void operator+=(SIZE sz) { Offset(sz); }
    void operator-=(SIZE sz) { Offset(-sz.cx, -sz.cy); }
    void operator+=(POINT pt) { Offset(pt); }
    void operator-=(POINT pt) { Offset(-pt.x, -pt.y); }
    inline CPoint operator+(SIZE sz) const;
    inline CPoint operator-(SIZE sz) const;
    CPoint operator-() const { return CPoint(-x, -y); }
    CPoint operator+(POINT pt) const { return CPoint(x + pt.x, y + pt.y); }
    inline CSize operator-(POINT pt) const;
    inline CRect operator+(const RECT* lpRect) const;
    inline CRect operator-(const RECT* lpRect) const;
};

class CSize : public tagSIZE {
public:
    CSize() { cx = 0; cy = 0; }
    CSize(int initCX, int initCY) { cx = initCX; cy = initCY; }
    CSize(SIZE sz) { cx = sz.cx; cy = sz.cy; }
    CSize(POINT pt) { cx = pt.x; cy = pt.y; }
    explicit CSize(DWORD dwSize) { cx = (short)LOWORD(dwSize); cy = (short)HIWORD(dwSize); }

    void SetSize(int CX, int CY) { cx = CX; cy = CY; }
    bool operator==(SIZE sz) const { return cx == sz.cx && cy == sz.cy; }
    bool operator!=(SIZE sz) const { return !(*this == sz); }
    void operator+=(SIZE sz) { cx += sz.cx; cy += sz.cy; }
    void operator-=(SIZE sz) { cx -= sz.cx; cy -= sz.cy; }
    CSize operator+(SIZE sz) const { return CSize(cx + sz.cx, cy + sz.cy); }
    CSize operator-(SIZE sz) const { return CSize(cx - sz.cx, cy - sz.cy); }
    CSize operator-() const { return CSize(-cx, -cy); }
    CPoint operator+(POINT pt) const { return CPoint(cx + pt.x, cy + pt.y); }
    CPoint operator-(POINT pt) const { return CPoint(cx - pt.x, cy - pt.y); }
};

inline CPoint CPoint::operator+(SIZE sz) const { return CPoint(x + sz.cx, y + sz.cy); }
inline CPoint CPoint::operator-(SIZE sz) const { return CPoint(x - sz.cx, y - sz.cy); }
inline CSize CPoint::operator-(POINT pt) const { return CSize(x - pt.x, y - pt.y); }

class CRect : public tagRECT {
public:
    CRect() { left = top = right = bottom = 0; }
    CRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
    CRect(const RECT& src) { ::CopyRect(this, &src); }
    CRect(const RECT* lpSrc) { ::CopyRect(this, lpSrc); }
    CRect(POINT topLeft, SIZE size)
    {
        left = topLeft.x; top = topLeft.y;
        right = left + size.cx; bottom = top + size.cy;
    }
    CRect(POINT topLeft, POINT bottomRight)
    {
        left = topLeft.x; top = topLeft.y;
        right = bottomRight.x; bottom = bottomRight.y;
    }

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CSize Size() const { return CSize(Width(), Height()); }
    CPoint& TopLeft() { return *reinterpret_cast<CPoint*>(this); }
    CPoint& BottomRight() { return *(reinterpret_cast<CPoint*>(this) + 1); }
    const CPoint& TopLeft() const { return *reinterpret_cast<const CPoint*>(this); }
    const CPoint& BottomRight() const { return *(reinterpret_cast<const CPoint*>(this) + 1); }
    CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
    void SwapLeftRight() { LONG t = left; left = right; right = t; }

    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }

    BOOL IsRectEmpty() const { return ::IsRectEmpty(this); }
    BOOL IsRectNull() const { return left == 0 && right == 0 && top == 0 && bottom == 0; }
    BOOL PtInRect(POINT pt) const { return ::PtInRect(this, pt); }

    void SetRect(int x1, int y1, int x2, int y2) { ::SetRect(this, x1, y1, x2, y2); }
    void SetRect(POINT topLeft, POINT bottomRight) { SetRect(topLeft.x, topLeft.y, bottomRight.x, bottomRight.y); }
    void SetRectEmpty() { ::SetRectEmpty(this); }
    void CopyRect(LPCRECT lpSrc) { ::CopyRect(this, lpSrc); }
    BOOL EqualRect(LPCRECT lpRect) const { return ::EqualRect(this, lpRect); }

    void InflateRect(int x, int y) { ::InflateRect(this, x, y); }
    void InflateRect(SIZE size) { InflateRect(size.cx, size.cy); }
    void InflateRect(LPCRECT lpRect)
    {
        left -= lpRect->left; top -= lpRect->top;
        right += lpRect->right; bottom += lpRect->bottom;
    }
    void InflateRect(int l, int t, int r, int b)
    {
        left -= l; top -= t; right += r; bottom += b;
    }
    void DeflateRect(int x, int y) { ::InflateRect(this, -x, -y); }
    void DeflateRect(SIZE size) { DeflateRect(size.cx, size.cy); }
    void DeflateRect(LPCRECT lpRect)
    {
        left += lpRect->left; top += lpRect->top;
        right -= lpRect->right; bottom -= lpRect->bottom;
    }
    void DeflateRect(int l, int t, int r, int b)
    {
        left += l; top += t; right -= r; bottom -= b;
    }

    void OffsetRect(int x, int y) { ::OffsetRect(this, x, y); }
    void OffsetRect(POINT point) { OffsetRect(point.x, point.y); }
    void OffsetRect(SIZE size) { OffsetRect(size.cx, size.cy); }
    void MoveToY(int y) { bottom = Height() + y; top = y; }
    void MoveToX(int x) { right = Width() + x; left = x; }
    void MoveToXY(int x, int y) { MoveToX(x); MoveToY(y); }
    void MoveToXY(POINT pt) { MoveToXY(pt.x, pt.y); }
    void NormalizeRect()
    {
        if (left > right) { LONG t = left; left = right; right = t; }
        if (top > bottom) { LONG t = top; top = bottom; bottom = t; }
    }

    BOOL IntersectRect(LPCRECT lpRect1, LPCRECT lpRect2) { return ::IntersectRect(this, lpRect1, lpRect2); }
    BOOL UnionRect(LPCRECT lpRect1, LPCRECT lpRect2) { return ::UnionRect(this, lpRect1, lpRect2); }
    BOOL SubtractRect(LPCRECT lpRectSrc1, LPCRECT lpRectSrc2) { return ::SubtractRect(this, lpRectSrc1, lpRectSrc2); }

    CRect& operator=(const RECT& src) { ::CopyRect(this, &src); return *this; }
    bool operator==(const RECT& rect) const { return ::EqualRect(this, &rect) != 0; }
    bool operator!=(const RECT& rect) const { return !(*this == rect); }
    void operator+=(POINT point) { OffsetRect(point); }
    void operator+=(SIZE size) { OffsetRect(size); }
    void operator+=(LPCRECT lpRect) { InflateRect(lpRect); }
    void operator-=(POINT point) { OffsetRect(-point.x, -point.y); }
    void operator-=(SIZE size) { OffsetRect(-size.cx, -size.cy); }
    void operator-=(LPCRECT lpRect) { DeflateRect(lpRect); }
    void operator&=(const RECT& rect) { ::IntersectRect(this, this, &rect); }
    void operator|=(const RECT& rect) { ::UnionRect(this, this, &rect); }
    CRect operator+(POINT pt) const { CRect r(*this); r.OffsetRect(pt); return r; }
    CRect operator-(POINT pt) const { CRect r(*this); r.OffsetRect(-pt.x, -pt.y); return r; }
    CRect operator+(SIZE sz) const { CRect r(*this); r.OffsetRect(sz); return r; }
    CRect operator-(SIZE sz) const { CRect r(*this); r.OffsetRect(-sz.cx, -sz.cy); return r; }
    CRect operator+(LPCRECT lpRect) const { CRect r(*this); r.InflateRect(lpRect); return r; }
    CRect operator-(LPCRECT lpRect) const { CRect r(*this); r.DeflateRect(lpRect); return r; }
    CRect operator&(const RECT& rect2) const { CRect r; ::IntersectRect(&r, this, &rect2); return r; }
    CRect operator|(const RECT& rect2) const { CRect r; ::UnionRect(&r, this, &rect2); return r; }
};

inline CRect CPoint::operator+(const RECT* lpRect) const { return CRect(lpRect) + *this; }
inline CRect CPoint::operator-(const RECT* lpRect) const { return CRect(lpRect) - *this; }
