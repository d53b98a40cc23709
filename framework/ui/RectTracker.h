#pragma once
#include "framework/AfxPlatform.h"
#include "framework/Types.h"

class CDC;
class CWnd;

// A rectangle the user moves and resizes with the mouse: its frame and eight
// resize handles are drawn by Draw, HitTest names the part under a point, and
// Track / TrackRubberBand run a modal capture loop (the left button's release
// ends it; Escape or the right button cancels) that moves the rectangle's
// edges with the mouse, drawing the drag rectangle through DrawTrackerRect.
// Subclasses adjust the rectangle while it moves (AdjustRect). UI thread.
class CRectTracker {
public:
    enum StyleFlags {
        solidLine = 1, dottedLine = 2, hatchedBorder = 4, resizeInside = 8, resizeOutside = 16, hatchInside = 32
    };
    enum TrackerHit {
        hitNothing = -1, hitTopLeft = 0, hitTopRight = 1, hitBottomRight = 2, hitBottomLeft = 3,
        hitTop = 4, hitRight = 5, hitBottom = 6, hitLeft = 7, hitMiddle = 8
    };

    CRectTracker();
    CRectTracker(LPCRECT rect, UINT style);
    virtual ~CRectTracker();

    CRect m_rect;
    CSize m_sizeMin;
    int m_nHandleSize;
    UINT m_nStyle;

    virtual void Draw(CDC* pDC) const;
    void GetTrueRect(LPRECT trueRect) const;
    // The part of the tracker at a client point, one of TrackerHit.
    int HitTest(CPoint point) const;
    // Which handles are drawn and hit: bit n for handle n.
    virtual UINT GetHandleMask() const;
    // The rectangle of handle n (0-7) in client coordinates.
    void GetHandleRect(int handle, CRect* rect) const;

    // Runs the loop for the part under `point`; TRUE when the mouse moved and
    // the button was released, FALSE when cancelled or nothing moved (the
    // rectangle then keeps its old place).
    BOOL Track(CWnd* pWnd, CPoint point, BOOL allowInvert = FALSE, CWnd* pWndClipTo = NULL);
    // Starts a new rectangle at `point` and tracks its bottom-right corner.
    BOOL TrackRubberBand(CWnd* pWnd, CPoint point, BOOL allowInvert = TRUE);

    virtual void DrawTrackerRect(LPCRECT rect, CWnd* pWndClipTo, CDC* pDC, CWnd* pWnd);
    virtual void AdjustRect(int handle, LPRECT rect);
    virtual void OnChangedRect(const CRect& rectOld);

protected:
    BOOL TrackHandle(int handle, CWnd* pWnd, CPoint point, CWnd* pWndClipTo);

    BOOL m_bAllowInvert;
    CRect m_rectLast;
    CSize m_sizeLast;
    BOOL m_bErase;        // the current DrawTrackerRect call erases the previous rectangle
    BOOL m_bFinalErase;   // ... and the loop ends with it
};
