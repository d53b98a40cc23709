#include "capture/AreaGeometry.h"

#include "framework/FloatRound.h"

int RoundFrameDimension(int value)
{
    const int rest = value % 4;
    if (rest == 0)
        return value;
    return rest == 3 ? value + 1 : value - rest;
}

void OutputSizeForZoomLevel(int captureWidth, int captureHeight, int level, BOOL round,
                            int* outWidth, int* outHeight)
{
    *outWidth = captureWidth;
    *outHeight = captureHeight;
    if (level == 100 || level <= 0)
        return;
    int width = (int)((long long)captureWidth * level / 100);
    int height = (int)((long long)captureHeight * level / 100);
    if (round) {
        width = RoundFrameDimension(width);
        height = RoundFrameDimension(height);
    }
    if (width <= 0 || height <= 0)
        return;
    *outWidth = width;
    *outHeight = height;
}

void KeepAreaInside(CaptureArea* area, const CaptureArea& bounds)
{
    if (area->left < bounds.left)
        area->left = bounds.left;
    if (area->top < bounds.top)
        area->top = bounds.top;
    if (area->Right() > bounds.Right())
        area->left = bounds.Right() - area->width;
    if (area->Bottom() > bounds.Bottom())
        area->top = bounds.Bottom() - area->height;
}

BOOL ZoomAreaForFactor(float factor, int outputWidth, int outputHeight, const CaptureArea& current,
                       const CaptureArea& bounds, BOOL centred, BOOL round, CaptureArea* result)
{
    if (!(factor > 0.0f) || factor > 1000.0f)
        return FALSE;
    // Single-precision products, truncated: the 32-bit build would otherwise
    // truncate 640 x 0.9f (575.99998 in its registers) to 575.
    const float f = RoundToSingle(factor);
    int width = (int)RoundToSingle((float)outputWidth * f);
    int height = (int)RoundToSingle((float)outputHeight * f);
    if (round) {
        width = RoundFrameDimension(width);
        height = RoundFrameDimension(height);
    }
    if (width <= 0 || height <= 0 || width > bounds.Right() || height > bounds.Bottom())
        return FALSE;
    CaptureArea area = {current.left, current.top, width, height};
    if (centred) {
        area.left = current.left + current.width / 2 - width / 2;
        area.top = current.top + current.height / 2 - height / 2;
    }
    KeepAreaInside(&area, bounds);
    *result = area;
    return TRUE;
}

BOOL ZoomAreaForRect(const RECT& picked, int outputWidth, int outputHeight, const CaptureArea& bounds,
                     BOOL round, CaptureArea* result)
{
    if (outputWidth <= 0 || outputHeight <= 0)
        return FALSE;
    int width = picked.right - picked.left;
    int height = picked.bottom - picked.top;
    if (height < width)
        height = (int)((long long)outputHeight * width / outputWidth);
    else
        width = (int)((long long)outputWidth * height / outputHeight);
    if (round) {
        width = RoundFrameDimension(width);
        height = RoundFrameDimension(height);
    }
    if (width <= 0 || height <= 0 || width > bounds.width || height > bounds.height)
        return FALSE;
    CaptureArea area = {picked.left, picked.top, width, height};
    KeepAreaInside(&area, bounds);
    *result = area;
    return TRUE;
}

namespace {

// from + (to - from) x part / whole, rounded to the nearest integer (halves
// up), computed exactly in integers: the fraction in floating point misses
// the halves (3 x 1/6 is a hair under 0.5), and by different amounts in the
// 32-bit and the 64-bit build.
int Lerp(int from, int to, DWORD part, DWORD whole)
{
    const long long twiceWhole = 2LL * whole;
    const long long n = 2LL * ((long long)to - from) * part + whole;
    long long q = n / twiceWhole;
    if (n % twiceWhole != 0 && n < 0)
        --q;
    return (int)(from + q);
}

}  // namespace

// Zooming in first moves the old-sized area over the new place, then shrinks
// it; zooming out first grows it in place, then moves it. The widths decide
// the direction; the heights follow. The fraction s of each half is a ratio
// of milliseconds, t / (D / 2) or (t - D / 2) / (D / 2).
BOOL ZoomTransitionArea(const CaptureArea& from, const CaptureArea& requested, const CaptureArea& previous,
                        DWORD elapsed, DWORD duration, CaptureArea* result)
{
    const DWORD half = duration / 2;
    if (requested.width == from.width || half == 0 || elapsed >= duration) {
        *result = requested;
        return FALSE;
    }
    CaptureArea area = previous;
    if (requested.width < from.width) {
        if (elapsed < half) {
            if (requested.left != area.left)
                area.left = Lerp(from.left, requested.left, elapsed, half);
            if (requested.top != area.top)
                area.top = Lerp(from.top, requested.top, elapsed, half);
        } else {
            // 1 - s = (D / 2 - (t - D / 2)) / (D / 2); an odd length lets
            // t - D / 2 reach D / 2 itself, where 1 - s is 0.
            const DWORD rest = 2 * half - elapsed;
            area.left = requested.left;
            area.top = requested.top;
            area.width = Lerp(requested.width, from.width, rest, half);
            area.height = Lerp(requested.height, from.height, rest, half);
        }
    } else {
        if (elapsed < half) {
            area.width = Lerp(from.width, requested.width, elapsed, half);
            area.height = Lerp(from.height, requested.height, elapsed, half);
        } else {
            area.width = requested.width;
            area.height = requested.height;
            if (requested.left != area.left)
                area.left = Lerp(from.left, requested.left, elapsed - half, half);
            if (requested.top != area.top)
                area.top = Lerp(from.top, requested.top, elapsed - half, half);
        }
    }
    *result = area;
    return TRUE;
}

BOOL AutoPanStep(CaptureArea* requested, POINT* calm, POINT cursor, const CaptureArea& bounds, int speed,
                 BOOL autoPan, BOOL transitionRunning)
{
    const CaptureArea& a = *requested;
    const bool insideMiddle = cursor.x >= a.left + a.width / 4 && cursor.x <= a.left + 3 * a.width / 4 &&
                              cursor.y >= a.top + a.height / 4 && cursor.y <= a.top + 3 * a.height / 4;
    if ((calm->x == 0 && calm->y == 0) || transitionRunning || !autoPan || insideMiddle) {
        *calm = cursor;
        return FALSE;
    }
    const CaptureArea before = *requested;
    const int cx = a.left + a.width / 2;
    const int cy = a.top + a.height / 2;
    if (cursor.x < cx) {
        requested->left -= (cx - cursor.x) < speed ? (cx - cursor.x) : speed;
        if (requested->left < bounds.left)
            requested->left = bounds.left;
    } else if (cursor.x > cx) {
        requested->left += (cursor.x - cx) < speed ? (cursor.x - cx) : speed;
        if (requested->Right() > bounds.Right())
            requested->left = bounds.Right() - requested->width;
    }
    if (cursor.y < cy) {
        requested->top -= (cy - cursor.y) < speed ? (cy - cursor.y) : speed;
        if (requested->top < bounds.top)
            requested->top = bounds.top;
    } else if (cursor.y > cy) {
        requested->top += (cursor.y - cy) < speed ? (cursor.y - cy) : speed;
        if (requested->Bottom() > bounds.Bottom())
            requested->top = bounds.Bottom() - requested->height;
    }
    return *requested != before;
}

void DragAreaTo(CaptureArea* area, POINT last, POINT now, const CaptureArea& bounds)
{
    int left = area->left - last.x + now.x;
    int top = area->top - last.y + now.y;
    if (left < bounds.left)
        left = bounds.left;
    if (top < bounds.top)
        top = bounds.top;
    if (left + area->width > bounds.Right())
        left = bounds.Right() - area->width;
    if (top + area->height > bounds.Bottom())
        top = bounds.Bottom() - area->height;
    area->left = left;
    area->top = top;
}

POINT StripSamplePoint(POINT cursor, const CaptureArea& area)
{
    POINT p;
    p.x = (cursor.x & 7) < 5 ? cursor.x & ~7 : (cursor.x & ~7) + 8;
    p.y = (cursor.y & 7) < 5 ? cursor.y & ~7 : (cursor.y & ~7) + 8;
    if (p.x < area.left || p.x > area.Right() || p.y < area.top || p.y > area.Bottom()) {
        p.x = area.left + area.width / 2;
        p.y = area.top + area.height / 2;
    }
    return p;
}
