#pragma once
// The watermark's rendering routines: where the image goes in an area, how
// it is scaled with its colour key, embossed, and drawn with its opacity.
// All drawing goes through the GDI+ flat interface (GDI+ must be started).
// A CWatermark works on a settings block and a placement it does not own and
// owns the prepared (processed) bitmap it makes. One thread at a time.
#include "framework/AfxPlatform.h"

class WatermarkSettings;

namespace Gdiplus {
class GpBitmap;
class GpGraphics;
class GpImage;
}  // namespace Gdiplus

// Where the watermark sits in an area, in pixels (single precision).
struct WatermarkPlacement {
    float x;
    float y;
    float w;
    float h;
};

// Fills a 3x3 emboss kernel (row-major, centre 4) for a direction 0..7
// (north, north-east, ... north-west): +depth on the three cells of the
// direction, -depth on the opposite three. Any other direction gives zeros.
void MakeEmbossKernel(int kernel[9], int direction, int depth);

class CWatermark {
public:
    CWatermark(const WatermarkSettings* settings, WatermarkPlacement* placement);
    ~CWatermark();

    // The placement for an area of W x H and an image of iw x ih, from the
    // settings' position, offsets, scale and size switches.
    static WatermarkPlacement Place(const WatermarkSettings& settings, int areaWidth, int areaHeight,
                                    int imageWidth, int imageHeight);
    // Place() into this watermark's placement.
    void ComputePlacement(int areaWidth, int areaHeight, int imageWidth, int imageHeight);

    // Draws the whole source into (x, y, w, h) of the target, with the colour
    // key and the interpolation of the settings.
    void DrawScaled(Gdiplus::GpGraphics* target, Gdiplus::GpImage* source, float x, float y,
                    float w, float h) const;
    // Replaces *bitmap by its embossed version (direction and depth of the settings).
    void ApplyEmboss(Gdiplus::GpBitmap** bitmap) const;
    // Draws the prepared bitmap at the placement with the settings' opacity.
    void DrawWithOpacity(Gdiplus::GpGraphics* target, Gdiplus::GpBitmap* prepared) const;

    // Makes the prepared bitmap of a source image for an area: placement,
    // scaled and keyed copy, emboss when it is on. Drops any earlier one.
    // False when no prepared bitmap could be made (the placement is still set).
    bool Prepare(Gdiplus::GpImage* source, int areaWidth, int areaHeight);
    // The prepared bitmap, or null; owned by this object.
    Gdiplus::GpBitmap* Prepared() const { return m_prepared; }
    void DropPrepared();

    const WatermarkSettings* Settings() const { return m_settings; }
    const WatermarkPlacement& Placement() const { return *m_placement; }

private:
    CWatermark(const CWatermark&) = delete;
    CWatermark& operator=(const CWatermark&) = delete;

    const WatermarkSettings* m_settings;
    WatermarkPlacement* m_placement;
    Gdiplus::GpBitmap* m_prepared;
};

// Opens an image file with GDI+ (8-bit path in the ANSI code page); null
// when it cannot be read as an image. The caller disposes of it
// (GdipDisposeImage).
Gdiplus::GpBitmap* LoadWatermarkImage(const char* path);
