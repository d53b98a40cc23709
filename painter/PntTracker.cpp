#include "painter/PntTracker.h"

#include "framework/ui/DC.h"
#include "painter/PaintControl.h"

#include <algorithm>

namespace {

// Which edges a hit code moves: left, top, right, bottom; -1 and 8 move all.
void MovedEdges(int hit, bool edges[4])
{
    static const bool kEdges[8][4] = {
        { true, true, false, false }, { false, true, true, false }, { false, false, true, true },
        { true, false, false, true }, { false, true, false, false }, { false, false, true, false },
        { false, false, false, true }, { true, false, false, false },
    };
    for (int i = 0; i < 4; ++i)
        edges[i] = hit < 0 || hit > 7 ? true : kEdges[hit][i];
}

}  // namespace

CPntTracker::CPntTracker(CPaintControl* owner, CPoint press)
    : m_owner(owner), m_hit(hitNothing), m_lastReported(0, 0, 0, 0), m_startSelection(owner->GetSelection()),
      m_press(press), m_erasePrevious(TRUE), m_result(0, 0, 0, 0)
{
    m_nStyle = dottedLine | resizeOutside;
    m_nHandleSize = CPaintControl::kBorder;
    m_sizeMin = CSize(1, 1);
    CDIBSection& image = owner->GetImage();
    m_bounds = CRect(0, 0, image.GetWidth(), image.GetHeight());
    m_rect = owner->ImageRectToClient(m_startSelection);
    m_hit = HitTest(press);
    if (m_hit == hitMiddle && m_startSelection == m_bounds)
        m_hit = hitNothing;   // inside a whole-image selection a new rectangle starts
}

BOOL CPntTracker::Track(BOOL erasePrevious)
{
    m_erasePrevious = erasePrevious;
    const BOOL ok = CRectTracker::Track(m_owner, m_press, TRUE, m_owner);
    EndLoop(ok);
    return ok;
}

BOOL CPntTracker::TrackRubberBand(BOOL erasePrevious)
{
    m_erasePrevious = erasePrevious;
    m_hit = hitNothing;
    const BOOL ok = CRectTracker::TrackRubberBand(m_owner, m_press, TRUE);
    EndLoop(ok);
    return ok;
}

void CPntTracker::EndLoop(BOOL ok)
{
    m_owner->SetSelection(m_startSelection, FALSE);
    if (!ok) {
        m_result = m_bounds;
        return;
    }
    m_result = ImageRectOf(m_rect);
    m_result.NormalizeRect();
    if (m_result.Width() == 0 || m_result.Height() == 0)
        m_result = m_bounds;
}

CRect CPntTracker::ImageRectOf(const CRect& client) const
{
    const CPoint tl = m_owner->ClientToImage(client.TopLeft());
    const CPoint br = m_owner->ClientToImage(client.BottomRight());
    CRect r(tl.x, tl.y, br.x, br.y);
    if (m_hit == hitMiddle) {
        r.right = r.left + m_startSelection.Width();
        r.bottom = r.top + m_startSelection.Height();
        return r;
    }
    bool edges[4];
    MovedEdges(m_hit, edges);
    if (!edges[0])
        r.left = m_startSelection.left;
    if (!edges[1])
        r.top = m_startSelection.top;
    if (!edges[2])
        r.right = m_startSelection.right;
    if (!edges[3])
        r.bottom = m_startSelection.bottom;
    r.left = std::max(m_bounds.left, std::min(r.left, m_bounds.right));
    r.right = std::max(m_bounds.left, std::min(r.right, m_bounds.right));
    r.top = std::max(m_bounds.top, std::min(r.top, m_bounds.bottom));
    r.bottom = std::max(m_bounds.top, std::min(r.bottom, m_bounds.bottom));
    return r;
}

void CPntTracker::DrawTrackerRect(LPCRECT rect, CWnd* pWndClipTo, CDC* pDC, CWnd* pWnd)
{
    if (m_owner->GetTool() == CPaintControl::kMove)
        return;   // the content itself shows where it goes
    CRect r = *rect;
    r.NormalizeRect();
    if (pWndClipTo && pWnd && pWndClipTo != pWnd)
        ::MapWindowPoints(pWnd->m_hWnd, pWndClipTo->m_hWnd, (LPPOINT)&r, 2);
    const int scaled = (int)m_owner->GetZoom();
    CSize size(scaled < 3 ? 2 : scaled, scaled < 3 ? 2 : scaled);
    if (m_bFinalErase)
        size = CSize(0, 0);
    if (m_bErase && !m_bFinalErase) {
        m_rectLast = r;
        m_sizeLast = size;
        return;
    }
    const CRect empty(0, 0, 0, 0);
    pDC->DrawDragRect(&r, size, m_erasePrevious ? &m_rectLast : &empty, m_sizeLast);
    m_rectLast = r;
    m_sizeLast = size;
}

void CPntTracker::AdjustRect(int handle, LPRECT rect)
{
    CDIBSection& image = m_owner->GetImage();
    if (image.IsEmpty() || image.GetWidth() < 1 || image.GetHeight() < 1 || m_owner->GetZoom() <= 0.0) {
        CRectTracker::AdjustRect(handle, rect);
        return;
    }
    // Whole image pixels: the edges this hit moves go to image pixels and back.
    bool edges[4];
    MovedEdges(m_hit, edges);
    const CPoint tl = m_owner->ImageToClient(m_owner->ClientToImage(CPoint(rect->left, rect->top)));
    const CPoint br = m_owner->ImageToClient(m_owner->ClientToImage(CPoint(rect->right, rect->bottom)));
    if (edges[0])
        rect->left = tl.x;
    if (edges[1])
        rect->top = tl.y;
    if (edges[2])
        rect->right = br.x;
    if (edges[3])
        rect->bottom = br.y;

    // The mouse stays over the image, widened by the handle size.
    CRect area = m_owner->ImageRectToClient(m_bounds);
    area.InflateRect(m_nHandleSize, m_nHandleSize);
    POINT cursor;
    if (::GetCursorPos(&cursor)) {
        POINT client = cursor;
        ::ScreenToClient(m_owner->m_hWnd, &client);
        POINT kept = { std::max(area.left, std::min(client.x, (LONG)area.right - 1)),
                       std::max(area.top, std::min(client.y, (LONG)area.bottom - 1)) };
        if (kept.x != client.x || kept.y != client.y) {
            ::ClientToScreen(m_owner->m_hWnd, &kept);
            ::SetCursorPos(kept.x, kept.y);
        }
    }

    const CRect now(*rect);
    if (now != m_lastReported) {
        m_owner->SetSelection(ImageRectOf(now), TRUE);
        m_lastReported = now;
    }
    CRectTracker::AdjustRect(handle, rect);
}
