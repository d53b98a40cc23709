// Where a source picture goes in a group's frame, by the source's stretch
// mode, and the nearest-pixel copy that puts it there. Integer arithmetic
// only, so every build places the same pixels.
//   0 stretch: the whole frame.
//   1 crop: natural size, centred (a larger picture is cut at the edges).
//   2 preserve aspect: as large as fits, centred, black bands.
//   3 preserve aspect, no bands: as small as covers the frame, centred, cut.
//   5 fit: as 2, but never enlarged.
#pragma once
#include <windows.h>

struct FramePlace {
    LONG x, y;   // top-left in the frame (top-down); may be negative
    LONG w, h;   // placed size; may exceed the frame
};

FramePlace PlacePicture(LONG srcW, LONG srcH, LONG dstW, LONG dstH, int stretchMode);

// Copies a bottom-up RGB32 picture into a bottom-up RGB32 frame at `place`
// (nearest pixel); what lies outside the frame is cut. The rest of the frame
// is left as it is.
void DrawPicture(const BYTE* src, LONG srcW, LONG srcH, BYTE* dst, LONG dstW, LONG dstH, const FramePlace& place);

// a*b/c rounded down, for non-negative a, b and positive c, without
// overflow of the product.
LONGLONG MulDiv64(LONGLONG a, LONGLONG b, LONGLONG c);
