#pragma once
// The geometry of the recorded area, as pure functions: frame-size rounding,
// the output size for an initial zoom level, the areas asked for by the zoom
// commands, one step of the animated zoom transition, one auto-pan step, the
// drag clamp of the focus frame and the sampling point of the change
// detector. The engine calls them under its area lock; tests call them with
// made-up ticks and positions.
#include "framework/AfxPlatform.h"

// An area of the screen as left, top, width, height.
struct CaptureArea {
    int left;
    int top;
    int width;
    int height;

    int Right() const { return left + width; }
    int Bottom() const { return top + height; }
    bool SameSize(const CaptureArea& o) const { return width == o.width && height == o.height; }
    bool operator==(const CaptureArea& o) const
    {
        return left == o.left && top == o.top && width == o.width && height == o.height;
    }
    bool operator!=(const CaptureArea& o) const { return !(*this == o); }
};

// Rounds a frame dimension to a multiple of 4: down, but up when the
// remainder is 3 (641 -> 640, 643 -> 644).
int RoundFrameDimension(int value);

// Output size for the initial zoom level (percent): capture size x level /
// 100, rounded when `round`; the capture size when either result is 0.
void OutputSizeForZoomLevel(int captureWidth, int captureHeight, int level, BOOL round,
                            int* outWidth, int* outHeight);

// Moves `area` so that it lies inside `bounds` (left and top first raised to
// the bounds' left and top, then moved back so that it ends inside).
void KeepAreaInside(CaptureArea* area, const CaptureArea& bounds);

// The area for a zoom factor: output size x factor (truncated, rounded when
// `round`), keeping the current top-left corner or centred on the current
// area. FALSE when a side is 0 or larger than the desktop edge.
BOOL ZoomAreaForFactor(float factor, int outputWidth, int outputHeight, const CaptureArea& current,
                       const CaptureArea& bounds, BOOL centred, BOOL round, CaptureArea* result);

// The area for a rectangle picked by the user, widened to the output aspect
// ratio. FALSE when a side is 0 or beyond the desktop edges.
BOOL ZoomAreaForRect(const RECT& picked, int outputWidth, int outputHeight, const CaptureArea& bounds,
                     BOOL round, CaptureArea* result);

// One frame of a running zoom transition. `from` is the area the transition
// started from, `requested` the area it goes to, `previous` the area of the
// last frame; `elapsed` milliseconds since the start and `duration` the
// transition length. Returns FALSE when the transition has ended (the frame
// then gets the requested area).
BOOL ZoomTransitionArea(const CaptureArea& from, const CaptureArea& requested, const CaptureArea& previous,
                        DWORD elapsed, DWORD duration, CaptureArea* result);

// One auto-pan tick: moves `requested` towards the cursor by at most `speed`
// pixels per axis, inside `bounds`, unless the cursor lies in the middle half
// of the area (or panning does not apply), in which case the calm position
// takes the cursor. Returns TRUE when the area moved.
BOOL AutoPanStep(CaptureArea* requested, POINT* calm, POINT cursor, const CaptureArea& bounds, int speed,
                 BOOL autoPan, BOOL transitionRunning);

// The area position while the focus frame is dragged from `last` to `now`,
// kept inside the bounds.
void DragAreaTo(CaptureArea* area, POINT last, POINT now, const CaptureArea& bounds);

// The point where the change detector samples its strips: the cursor rounded
// to multiples of 8 (up from a remainder of 5), or the centre of the area when
// that point lies outside it.
POINT StripSamplePoint(POINT cursor, const CaptureArea& area);
