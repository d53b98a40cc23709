#include "capture/Watermark.h"

#include "capture/WatermarkSettings.h"
#include "framework/FloatRound.h"

#include <gdiplus.h>

#include <stdlib.h>
#include <vector>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

// Image attributes that dispose of themselves.
class FlatAttributes {
public:
    FlatAttributes() : m_attr(NULL) { GdipCreateImageAttributes(&m_attr); }
    ~FlatAttributes()
    {
        if (m_attr)
            GdipDisposeImageAttributes(m_attr);
    }
    GpImageAttributes* Get() const { return m_attr; }

private:
    GpImageAttributes* m_attr;
};

// A graphics object on an image that deletes itself.
class ImageGraphics {
public:
    explicit ImageGraphics(GpImage* image) : m_graphics(NULL) { GdipGetImageGraphicsContext(image, &m_graphics); }
    ~ImageGraphics()
    {
        if (m_graphics)
            GdipDeleteGraphics(m_graphics);
    }
    GpGraphics* Get() const { return m_graphics; }

private:
    GpGraphics* m_graphics;
};

GpBitmap* NewArgbBitmap(int width, int height)
{
    if (width < 1 || height < 1)
        return NULL;
    GpBitmap* bitmap = NULL;
    if (GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, NULL, &bitmap) != Ok)
        return NULL;
    return bitmap;
}

void ImageSize(GpImage* image, UINT* width, UINT* height)
{
    *width = 0;
    *height = 0;
    GdipGetImageWidth(image, width);
    GdipGetImageHeight(image, height);
}

// A stored value brought into its range: the registry can hold anything.
int Clamp(int value, int low, int high)
{
    return value < low ? low : (value > high ? high : value);
}

}  // namespace

void MakeEmbossKernel(int kernel[9], int direction, int depth)
{
    // The three cells that face the light for each direction; the opposite
    // three are the same cells turned by half a circle (8 - cell).
    static const int kLit[8][3] = {
        {0, 1, 2}, {1, 2, 5}, {2, 5, 8}, {5, 7, 8}, {6, 7, 8}, {3, 6, 7}, {0, 3, 6}, {0, 1, 3},
    };
    for (int i = 0; i < 9; ++i)
        kernel[i] = 0;
    if (direction < 0 || direction > 7)
        return;
    for (int i = 0; i < 3; ++i) {
        kernel[kLit[direction][i]] = depth;
        kernel[8 - kLit[direction][i]] = -depth;
    }
}

CWatermark::CWatermark(const WatermarkSettings* settings, WatermarkPlacement* placement)
    : m_settings(settings), m_placement(placement), m_prepared(NULL)
{
}

CWatermark::~CWatermark()
{
    DropPrepared();
}

void CWatermark::DropPrepared()
{
    if (m_prepared) {
        GdipDisposeImage(m_prepared);
        m_prepared = NULL;
    }
}

// The placement keeps its arithmetic in single precision and the integer
// halves of the area, so that the same settings land on the same pixels in
// the preview and in the recording. Every step is rounded to single precision
// (RoundToSingle), so that the 32-bit build, whose x87 unit would otherwise
// carry more precision, places the watermark on the same pixels. A position
// outside 0..8 (a damaged registry value) counts as bottom right, the default.
WatermarkPlacement CWatermark::Place(const WatermarkSettings& settings, int W, int H, int iw, int ih)
{
    const float s = RoundToSingle(settings.m_nImageScale * 0.01f);
    const float hx = RoundToSingle(settings.m_nHorizontalOffset * 0.01f);
    const float vy = RoundToSingle(settings.m_nVerticalOffset * 0.01f);

    WatermarkPlacement p = {0.0f, 0.0f, 0.0f, 0.0f};
    if (settings.m_bPreserveSize) {
        p.w = (float)iw;
        p.h = (float)ih;
    } else if (settings.m_bKeepAspectRatio) {
        if (iw > 0 && ih > 0) {
            const float rw = RoundToSingle((float)W / (float)iw);
            const float rh = RoundToSingle((float)H / (float)ih);
            const float r = RoundToSingle((rw < rh ? rw : rh) * s);
            p.w = RoundToSingle((float)iw * r);
            p.h = RoundToSingle((float)ih * r);
        }
    } else {
        p.w = RoundToSingle((float)W * s);
        p.h = RoundToSingle((float)H * s);
    }

    int position = settings.m_nPosition;
    if (position < 0 || position > 8)
        position = 8;
    const int row = position / 3;
    const int column = position % 3;

    const float halfH = RoundToSingle(p.h * 0.5f);
    const int gapY = H / 2 - (int)halfH;
    const float twiceVy = RoundToSingle(2.0f * vy);
    if (row == 0)
        p.y = RoundToSingle(twiceVy * (float)gapY);
    else if (row == 1)
        p.y = RoundToSingle((float)(H / 2) - halfH);
    else
        p.y = RoundToSingle(RoundToSingle((float)H - p.h) - RoundToSingle(twiceVy * (float)gapY));

    const float halfW = RoundToSingle(p.w * 0.5f);
    const int gapX = W / 2 - (int)halfW;
    const float twiceHx = RoundToSingle(2.0f * hx);
    if (column == 0)
        p.x = RoundToSingle(twiceHx * (float)gapX);
    else if (column == 1)
        p.x = RoundToSingle((float)(W / 2) - halfW);
    else
        p.x = RoundToSingle(RoundToSingle((float)W - p.w) - RoundToSingle(twiceHx * (float)gapX));
    return p;
}

void CWatermark::ComputePlacement(int areaWidth, int areaHeight, int imageWidth, int imageHeight)
{
    *m_placement = Place(*m_settings, areaWidth, areaHeight, imageWidth, imageHeight);
}

// Every pixel of exactly the key colour becomes transparent, whatever its
// alpha: the key range spans alpha 0..255 with the same red, green and blue.
void CWatermark::DrawScaled(GpGraphics* target, GpImage* source, float x, float y, float w, float h) const
{
    if (!target || !source)
        return;
    FlatAttributes attr;
    if (m_settings->m_bUseTransparentColor) {
        const COLORREF key = m_settings->m_crTransparentColor;
        const ARGB rgb = ((ARGB)GetRValue(key) << 16) | ((ARGB)GetGValue(key) << 8) | GetBValue(key);
        GdipSetImageAttributesColorKeys(attr.Get(), ColorAdjustTypeBitmap, TRUE, rgb, 0xFF000000u | rgb);
    }
    // Smoothing samples past the image's edge; mirrored edges keep the border
    // pixels opaque instead of fading them into nothing.
    GdipSetImageAttributesWrapMode(attr.Get(), WrapModeTileFlipXY, 0, FALSE);
    GdipSetInterpolationMode(target, m_settings->m_bSmoothScale ? InterpolationModeBilinear
                                                                : InterpolationModeNearestNeighbor);
    // Pixel centres at half coordinates: without it the scaled image is
    // shifted by half a source pixel and leaves its far edge unpainted.
    GdipSetPixelOffsetMode(target, PixelOffsetModeHalf);
    UINT iw = 0, ih = 0;
    ImageSize(source, &iw, &ih);
    GdipDrawImageRectRect(target, source, x, y, w, h, 0.0f, 0.0f, (REAL)iw, (REAL)ih, UnitPixel,
                          attr.Get(), NULL, NULL);
}

// Emboss works on a grey copy: each inner pixel becomes the kernel's sum over
// its grey neighbours, scaled by the depth. The result keeps only the edges:
// light (positive) or dark (negative), as opaque as the edge is strong; flat
// areas and the one-pixel border are fully transparent.
void CWatermark::ApplyEmboss(GpBitmap** bitmap) const
{
    if (!bitmap || !*bitmap)
        return;
    UINT bw = 0, bh = 0;
    ImageSize(*bitmap, &bw, &bh);

    GpBitmap* grey = NewArgbBitmap((int)bw, (int)bh);
    if (!grey)
        return;
    {
        ImageGraphics g(grey);
        FlatAttributes attr;
        const ColorMatrix toGrey = {{
            {0.3f, 0.3f, 0.3f, 0.0f, 0.0f},
            {0.59f, 0.59f, 0.59f, 0.0f, 0.0f},
            {0.11f, 0.11f, 0.11f, 0.0f, 0.0f},
            {0.0f, 0.0f, 0.0f, 1.0f, 0.0f},
            {0.0f, 0.0f, 0.0f, 0.0f, 1.0f},
        }};
        GdipSetImageAttributesColorMatrix(attr.Get(), ColorAdjustTypeBitmap, TRUE, &toGrey, NULL,
                                          ColorMatrixFlagsDefault);
        GdipSetCompositingMode(g.Get(), CompositingModeSourceCopy);
        GdipSetInterpolationMode(g.Get(), InterpolationModeNearestNeighbor);
        GdipDrawImageRectRect(g.Get(), *bitmap, 0.0f, 0.0f, (REAL)bw, (REAL)bh, 0.0f, 0.0f, (REAL)bw,
                              (REAL)bh, UnitPixel, attr.Get(), NULL, NULL);
    }
    GdipDisposeImage(*bitmap);
    *bitmap = grey;

    int kernel[9];
    MakeEmbossKernel(kernel, m_settings->m_nEmbossDirection, 1);
    const long long depth = m_settings->m_nEmbossDepth;

    GpBitmap* out = NewArgbBitmap((int)bw, (int)bh);
    if (!out)
        return;
    GpRect rect(0, 0, (INT)bw, (INT)bh);
    BitmapData outData = {};
    if (GdipBitmapLockBits(out, &rect, ImageLockModeRead | ImageLockModeWrite, PixelFormat32bppARGB,
                           &outData) != Ok) {
        GdipDisposeImage(out);
        return;
    }
    BitmapData greyData = {};
    const bool greyLocked = GdipBitmapLockBits(grey, &rect, ImageLockModeRead, PixelFormat32bppARGB,
                                               &greyData) == Ok;
    for (UINT y = 0; y < bh; ++y) {
        DWORD* dst = (DWORD*)((BYTE*)outData.Scan0 + (INT_PTR)y * outData.Stride);
        for (UINT x = 0; x < bw; ++x) {
            DWORD pixel = 0;
            if (greyLocked && y >= 1 && x >= 1 && y + 1 < bh && x + 1 < bw) {
                int sum = 0;
                for (int k = 0; k < 9; ++k) {
                    const UINT ny = y + (UINT)(k / 3) - 1;
                    const UINT nx = x + (UINT)(k % 3) - 1;
                    const DWORD* src = (const DWORD*)((const BYTE*)greyData.Scan0 + (INT_PTR)ny * greyData.Stride);
                    sum += kernel[k] * (int)(src[nx] & 0xFF);
                }
                const int a = sum / 9;
                long long v = (long long)a * depth;
                if (v < -127)
                    v = -127;
                if (v > 128)
                    v = 128;
                const DWORD alpha = (DWORD)(v < 0 ? -v : v);
                const DWORD grey8 = (DWORD)(v + 127);
                pixel = (alpha << 24) | (grey8 << 16) | (grey8 << 8) | grey8;
            }
            dst[x] = pixel;
        }
    }
    if (greyLocked)
        GdipBitmapUnlockBits(grey, &greyData);
    GdipBitmapUnlockBits(out, &outData);
    GdipDisposeImage(grey);
    *bitmap = out;
}

// Opacity scales alpha only, through the colour matrix. The prepared bitmap
// is already at its placed size, so no resampling is wanted: nearest pixel.
void CWatermark::DrawWithOpacity(GpGraphics* target, GpBitmap* prepared) const
{
    if (!target || !prepared)
        return;
    FlatAttributes attr;
    ColorMatrix matrix = {{
        {1.0f, 0.0f, 0.0f, 0.0f, 0.0f},
        {0.0f, 1.0f, 0.0f, 0.0f, 0.0f},
        {0.0f, 0.0f, 1.0f, 0.0f, 0.0f},
        {0.0f, 0.0f, 0.0f, 1.0f, 0.0f},
        {0.0f, 0.0f, 0.0f, 0.0f, 1.0f},
    }};
    matrix.m[3][3] = Clamp(m_settings->m_nOpacity, 0, 100) * 0.01f;
    GdipSetImageAttributesColorMatrix(attr.Get(), ColorAdjustTypeBitmap, TRUE, &matrix, NULL,
                                      ColorMatrixFlagsDefault);
    GdipSetInterpolationMode(target, InterpolationModeNearestNeighbor);
    UINT bw = 0, bh = 0;
    ImageSize(prepared, &bw, &bh);
    const WatermarkPlacement& p = *m_placement;
    GdipDrawImageRectRect(target, prepared, p.x, p.y, p.w, p.h, 0.0f, 0.0f, (REAL)bw, (REAL)bh,
                          UnitPixel, attr.Get(), NULL, NULL);
}

bool CWatermark::Prepare(GpImage* source, int areaWidth, int areaHeight)
{
    DropPrepared();
    if (!source)
        return false;
    UINT iw = 0, ih = 0;
    ImageSize(source, &iw, &ih);
    ComputePlacement(areaWidth, areaHeight, (int)iw, (int)ih);
    const WatermarkPlacement& p = *m_placement;
    GpBitmap* prepared = NewArgbBitmap((int)p.w, (int)p.h);
    if (!prepared)
        return false;
    {
        ImageGraphics g(prepared);
        if (g.Get()) {
            GdipSetCompositingMode(g.Get(), CompositingModeSourceCopy);
            DrawScaled(g.Get(), source, 0.0f, 0.0f, p.w, p.h);
        }
    }
    if (m_settings->m_bEmboss)
        ApplyEmboss(&prepared);
    m_prepared = prepared;
    return true;
}

GpBitmap* LoadWatermarkImage(const char* path)
{
    if (!path || !*path)
        return NULL;
    const int length = ::MultiByteToWideChar(CP_ACP, 0, path, -1, NULL, 0);
    if (length <= 0)
        return NULL;
    std::vector<WCHAR> wide((size_t)length);
    ::MultiByteToWideChar(CP_ACP, 0, path, -1, wide.data(), length);
    GpBitmap* image = NULL;
    if (GdipCreateBitmapFromFile(wide.data(), &image) != Ok)
        return NULL;
    return image;
}
