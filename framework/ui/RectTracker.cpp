#include "framework/ui/RectTracker.h"

#include "framework/ui/DC.h"
#include "framework/ui/Wnd.h"

#include <windowsx.h>

#include <cstdlib>

namespace {

// Which edges a handle moves: left, top, right, bottom (1 = follows the mouse).
const int kMoves[9][4] = {
    { 1, 1, 0, 0 },   // top-left
    { 0, 1, 1, 0 },   // top-right
    { 0, 0, 1, 1 },   // bottom-right
    { 1, 0, 0, 1 },   // bottom-left
    { 0, 1, 0, 0 },   // top
    { 0, 0, 1, 0 },   // right
    { 0, 0, 0, 1 },   // bottom
    { 1, 0, 0, 0 },   // left
    { 1, 1, 1, 1 },   // middle
};

}  // namespace

CRectTracker::CRectTracker()
    : m_rect(0, 0, 0, 0), m_sizeMin(0, 0), m_nHandleSize(5), m_nStyle(0), m_bAllowInvert(FALSE),
      m_rectLast(0, 0, 0, 0), m_sizeLast(0, 0), m_bErase(FALSE), m_bFinalErase(FALSE)
{
}

CRectTracker::CRectTracker(LPCRECT rect, UINT style) : CRectTracker()
{
    m_rect = *rect;
    m_nStyle = style;
}

CRectTracker::~CRectTracker() = default;

UINT CRectTracker::GetHandleMask() const
{
    UINT mask = 0x0F;   // the corners always
    const CRect r = m_rect;
    const int size = m_nHandleSize * 4;
    if (std::abs(r.Width()) > size)
        mask |= 0x50;   // top and bottom
    if (std::abs(r.Height()) > size)
        mask |= 0xA0;   // left and right
    return mask;
}

void CRectTracker::GetHandleRect(int handle, CRect* rect) const
{
    CRect r = m_rect;
    r.NormalizeRect();
    if (m_nStyle & (solidLine | dottedLine))
        r.InflateRect(1, 1);
    const int h = m_nHandleSize;
    const bool outside = (m_nStyle & resizeOutside) != 0;
    const int left = outside ? r.left - h : r.left;
    const int top = outside ? r.top - h : r.top;
    const int right = outside ? r.right : r.right - h;
    const int bottom = outside ? r.bottom : r.bottom - h;
    const int midX = r.left + (r.Width() - h) / 2;
    const int midY = r.top + (r.Height() - h) / 2;
    int x = left, y = top;
    switch (handle) {
    case hitTopLeft: x = left; y = top; break;
    case hitTopRight: x = right; y = top; break;
    case hitBottomRight: x = right; y = bottom; break;
    case hitBottomLeft: x = left; y = bottom; break;
    case hitTop: x = midX; y = top; break;
    case hitRight: x = right; y = midY; break;
    case hitBottom: x = midX; y = bottom; break;
    case hitLeft: x = left; y = midY; break;
    default: break;
    }
    rect->SetRect(x, y, x + h, y + h);
}

void CRectTracker::GetTrueRect(LPRECT trueRect) const
{
    CRect r = m_rect;
    r.NormalizeRect();
    if (m_nStyle & resizeOutside)
        r.InflateRect(m_nHandleSize + 1, m_nHandleSize + 1);
    *trueRect = r;
}

int CRectTracker::HitTest(CPoint point) const
{
    if (m_nStyle & (resizeInside | resizeOutside)) {
        const UINT mask = GetHandleMask();
        for (int i = 0; i < 8; ++i) {
            if (!(mask & (1u << i)))
                continue;
            CRect handle;
            GetHandleRect(i, &handle);
            if (handle.PtInRect(point))
                return i;
        }
    }
    CRect r = m_rect;
    r.NormalizeRect();
    if (m_nStyle & (solidLine | dottedLine))
        r.InflateRect(1, 1);
    return r.PtInRect(point) ? hitMiddle : hitNothing;
}

void CRectTracker::Draw(CDC* pDC) const
{
    CRect r = m_rect;
    r.NormalizeRect();
    const HDC dc = pDC->m_hDC;
    if (m_nStyle & (solidLine | dottedLine)) {
        HPEN pen = ::CreatePen((m_nStyle & dottedLine) ? PS_DOT : PS_SOLID, 0, RGB(0, 0, 0));
        HGDIOBJ oldPen = ::SelectObject(dc, pen);
        HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
        CRect frame = r;
        frame.InflateRect(1, 1);
        ::Rectangle(dc, frame.left, frame.top, frame.right, frame.bottom);
        ::SelectObject(dc, oldBrush);
        ::SelectObject(dc, oldPen);
        ::DeleteObject(pen);
    }
    if (m_nStyle & (resizeInside | resizeOutside)) {
        const UINT mask = GetHandleMask();
        for (int i = 0; i < 8; ++i) {
            if (!(mask & (1u << i)))
                continue;
            CRect handle;
            GetHandleRect(i, &handle);
            ::PatBlt(dc, handle.left, handle.top, handle.Width(), handle.Height(), BLACKNESS);
        }
    }
}

BOOL CRectTracker::Track(CWnd* pWnd, CPoint point, BOOL allowInvert, CWnd* pWndClipTo)
{
    const int hit = HitTest(point);
    if (hit < 0)
        return FALSE;
    m_bAllowInvert = allowInvert;
    return TrackHandle(hit, pWnd, point, pWndClipTo);
}

BOOL CRectTracker::TrackRubberBand(CWnd* pWnd, CPoint point, BOOL allowInvert)
{
    m_bAllowInvert = allowInvert;
    m_rect.SetRect(point.x, point.y, point.x, point.y);
    return TrackHandle(hitBottomRight, pWnd, point, NULL);
}

void CRectTracker::DrawTrackerRect(LPCRECT rect, CWnd* pWndClipTo, CDC* pDC, CWnd* pWnd)
{
    CRect r = *rect;
    r.NormalizeRect();
    if (pWndClipTo && pWndClipTo != pWnd)
        ::MapWindowPoints(pWnd->m_hWnd, pWndClipTo->m_hWnd, (LPPOINT)&r, 2);
    const CSize size(m_bFinalErase ? 0 : 1, m_bFinalErase ? 0 : 1);
    if (m_bFinalErase || !m_bErase)
        pDC->DrawDragRect(&r, size, &m_rectLast, m_sizeLast);
    m_rectLast = r;
    m_sizeLast = size;
}

// Keeps the rectangle at least m_sizeMin large (and not inverted unless
// allowed); subclasses snap it further.
void CRectTracker::AdjustRect(int handle, LPRECT rect)
{
    if (handle == hitMiddle)
        return;
    const int* moves = kMoves[handle];
    const int minX = m_sizeMin.cx, minY = m_sizeMin.cy;
    if (!m_bAllowInvert) {
        if (moves[0] && rect->left > rect->right - minX)
            rect->left = rect->right - minX;
        if (moves[2] && rect->right < rect->left + minX)
            rect->right = rect->left + minX;
        if (moves[1] && rect->top > rect->bottom - minY)
            rect->top = rect->bottom - minY;
        if (moves[3] && rect->bottom < rect->top + minY)
            rect->bottom = rect->top + minY;
    }
}

void CRectTracker::OnChangedRect(const CRect&)
{
}

BOOL CRectTracker::TrackHandle(int handle, CWnd* pWnd, CPoint point, CWnd* pWndClipTo)
{
    if (!pWnd || !pWnd->m_hWnd || ::GetCapture() != NULL || handle < 0 || handle > hitMiddle)
        return FALSE;
    const HWND hWnd = pWnd->m_hWnd;
    ::UpdateWindow(hWnd);
    const CRect rectSave = m_rect;
    const int* moves = kMoves[handle];
    // Offsets of the moved edges from the press point, kept while dragging.
    const int offLeft = m_rect.left - point.x, offTop = m_rect.top - point.y;
    const int offRight = m_rect.right - point.x, offBottom = m_rect.bottom - point.y;

    ::SetCapture(hWnd);
    if (::GetCapture() != hWnd)
        return FALSE;
    const HWND clipWnd = pWndClipTo ? pWndClipTo->m_hWnd : hWnd;
    HDC raw = ::GetDCEx(clipWnd, NULL, pWndClipTo ? DCX_CACHE : DCX_CACHE | DCX_CLIPSIBLINGS);
    CDC dc;
    dc.Attach(raw);
    m_rectLast.SetRectEmpty();
    m_sizeLast = CSize(0, 0);
    m_bErase = FALSE;
    m_bFinalErase = FALSE;

    BOOL moved = FALSE;
    BOOL done = FALSE;
    for (;;) {
        MSG msg;
        if (!::GetMessageA(&msg, NULL, 0, 0)) {
            ::PostQuitMessage((int)msg.wParam);
            break;
        }
        if (::GetCapture() != hWnd)
            break;
        if (msg.message == WM_LBUTTONUP || msg.message == WM_MOUSEMOVE) {
            const CRect rectOld = m_rect;
            const int x = GET_X_LPARAM(msg.lParam), y = GET_Y_LPARAM(msg.lParam);
            if (moves[0])
                m_rect.left = x + offLeft;
            if (moves[1])
                m_rect.top = y + offTop;
            if (moves[2])
                m_rect.right = x + offRight;
            if (moves[3])
                m_rect.bottom = y + offBottom;
            AdjustRect(handle, &m_rect);
            m_bFinalErase = msg.message == WM_LBUTTONUP;
            if (!rectOld.EqualRect(&m_rect) || m_bFinalErase) {
                if (moved) {
                    m_bErase = TRUE;
                    DrawTrackerRect(&rectOld, pWndClipTo, &dc, pWnd);
                }
                OnChangedRect(rectOld);
                if (msg.message != WM_LBUTTONUP)
                    moved = TRUE;
            }
            if (m_bFinalErase) {
                done = moved;
                break;
            }
            if (!rectOld.EqualRect(&m_rect)) {
                m_bErase = FALSE;
                DrawTrackerRect(&m_rect, pWndClipTo, &dc, pWnd);
            }
            continue;
        }
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE)
            break;
        if (msg.message == WM_RBUTTONDOWN)
            break;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    if (moved && !m_bFinalErase) {   // cancelled: take the drag rectangle away
        m_bFinalErase = TRUE;
        DrawTrackerRect(&m_rect, pWndClipTo, &dc, pWnd);
    }
    dc.Detach();
    ::ReleaseDC(clipWnd, raw);
    if (::GetCapture() == hWnd)
        ::ReleaseCapture();
    if (!done)
        m_rect = rectSave;
    else if (!m_bAllowInvert)
        m_rect.NormalizeRect();
    m_bFinalErase = FALSE;
    m_bErase = FALSE;
    return done;
}
