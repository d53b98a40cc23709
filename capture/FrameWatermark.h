#pragma once
// The recording's watermark as the frame composition draws it: only on the
// part of the frame the watermark covers. The pixels under it go into a small
// frame of their own, the watermark is drawn there with its placement moved
// by that part's corner, and the pixels go back. Painting through the whole
// frame costs about 100 ms per 1920 x 1080 frame under Wine, three frame
// periods at 30 frames per second. Capture thread.
#include "capture/WatermarkImage.h"

class CFrameWatermark : public CWatermarkImage {
public:
    using CWatermarkImage::CWatermarkImage;

    // The same pixels as DrawOnFrame, for frames of 8, 16, 24 or 32 bits
    // (bottom-up or top-down), touching only the watermark's rectangle and
    // one pixel round it.
    void DrawOnFramePart(const BITMAPINFO* frame, BYTE* bits);
};
