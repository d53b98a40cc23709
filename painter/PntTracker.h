#pragma once
#include "framework/ui/RectTracker.h"

class CPaintControl;

// The selection frame of the paint control: a dotted rectangle with outside
// handles, tracked in the control's client coordinates and snapped to whole
// image pixels; while it moves it reports the selection to the control live,
// so floating content follows. Built per press, on the UI thread.
class CPntTracker : public CRectTracker {
public:
    CPntTracker(CPaintControl* owner, CPoint press);

    int GetHit() const { return m_hit; }
    // The loop's outcome in image pixels: the normalised new rectangle (the
    // whole image when it has no width or height, or when the loop failed).
    const CRect& GetImageRect() const { return m_result; }

    BOOL Track(BOOL erasePrevious);
    BOOL TrackRubberBand(BOOL erasePrevious);

    void DrawTrackerRect(LPCRECT rect, CWnd* pWndClipTo, CDC* pDC, CWnd* pWnd) override;
    void AdjustRect(int handle, LPRECT rect) override;

private:
    CRect ImageRectOf(const CRect& client) const;
    void EndLoop(BOOL ok);

    CPaintControl* m_owner;
    int m_hit;
    CRect m_lastReported;
    CRect m_startSelection;
    CRect m_bounds;
    CPoint m_press;
    BOOL m_erasePrevious;
    CRect m_result;
};

// The recorder's twin uses the same tracker under its own name.
typedef CPntTracker MyCPntTracker;
