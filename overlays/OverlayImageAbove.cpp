#include "overlays/OverlayImageAbove.h"

#include "overlays/OverlayGdi.h"

#include <math.h>

IMPLEMENT_DYNAMIC(COverlayImageAbove, COverlayImage)

COverlayImageAbove::COverlayImageAbove() {}

void COverlayImageAbove::MakeImageShadow()
{
    delete m_shadow;
    m_shadow = NULL;
    delete m_scaledShadow;
    m_scaledShadow = NULL;
    if (m_useDropShadow && m_image)
        m_shadow = MakeShadow(m_image, m_shadowBlur);
}

// Loads and turns the image the first time, and rebuilds the shadow when it
// was marked. FALSE when the image cannot be loaded.
BOOL COverlayImageAbove::PrepareImage()
{
    if (!m_image) {
        const std::wstring path = overlaygdi::Widen(m_imagePath.GetString());
        if (path.empty())
            return FALSE;
        Gdiplus::Bitmap* image = Gdiplus::Bitmap::FromFile(path.c_str());
        if (!image || image->GetLastStatus() != Gdiplus::Ok || image->GetWidth() == 0 || image->GetHeight() == 0) {
            delete image;
            return FALSE;
        }
        m_image = image;
        m_rotated = FALSE;
    }
    if (!m_rotated) {
        if (m_rotate != 0)
            m_image->RotateFlip((Gdiplus::RotateFlipType)m_rotate);
        m_rotated = TRUE;
        delete m_scaledImage;
        m_scaledImage = NULL;
        if (m_useDropShadow)
            m_shadowDirty = TRUE;
    }
    if (m_shadowDirty) {
        MakeImageShadow();
        m_shadowDirty = FALSE;
    }
    return TRUE;
}

// GDI+'s interpolated scaling is far too slow per frame: a source is scaled
// once per destination size and then drawn 1:1.
Gdiplus::Bitmap* COverlayImageAbove::Scaled(Gdiplus::Bitmap* source, Gdiplus::Bitmap*& cache, int width, int height)
{
    if (cache && (int)cache->GetWidth() == width && (int)cache->GetHeight() == height)
        return cache;
    delete cache;
    cache = NULL;
    Gdiplus::Bitmap* scaled = new Gdiplus::Bitmap(width, height, PixelFormat32bppARGB);
    if (scaled->GetLastStatus() != Gdiplus::Ok) {
        delete scaled;
        return NULL;
    }
    {
        Gdiplus::Graphics g(scaled);
        g.Clear(Gdiplus::Color(0, 0, 0, 0));
        const int sw = (int)source->GetWidth();
        const int sh = (int)source->GetHeight();
        if (sw == width && sh == height) {
            g.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
            g.DrawImage(source, Gdiplus::Rect(0, 0, width, height), 0, 0, sw, sh, Gdiplus::UnitPixel);
        } else {
            g.SetInterpolationMode(m_vectorGrow ? Gdiplus::InterpolationModeBilinear
                                                : Gdiplus::InterpolationModeHighQualityBicubic);
            g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
            Gdiplus::ImageAttributes clampEdges;
            clampEdges.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
            g.DrawImage(source, Gdiplus::Rect(0, 0, width, height), 0, 0, sw, sh, Gdiplus::UnitPixel, &clampEdges);
        }
    }
    cache = scaled;
    return cache;
}

void COverlayImageAbove::Draw(Gdiplus::Bitmap* frame, LONGLONG time)
{
    if (!frame || !IsActiveAt(time))
        return;
    CSingleLock hold(&m_lock, TRUE);
    if (!PrepareImage())
        return;
    const int frameWidth = (int)frame->GetWidth();
    const int frameHeight = (int)frame->GetHeight();
    const overlaygdi::MovieScale movie =
        overlaygdi::ComputeMovieScale(m_movieScaleMode, frameWidth, frameHeight, m_movieWidth, m_movieHeight);
    const int x = (int)(movie.offsetX + m_rectDestX * movie.sx);
    const int y = (int)(movie.offsetY + m_rectDestY * movie.sy);
    const int width = (int)(m_rectDestWidth * movie.sx);
    const int height = (int)(m_rectDestHeight * movie.sy);
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767)
        return;

    const float alpha = ApplyFade(m_opacity, time);
    auto channel = [](COLORREF c, int shift) { return ((c >> shift) & 0xFF) / 255.0f; };
    Gdiplus::ColorMatrix matrix = {};
    for (int i = 0; i < 3; ++i) {
        const int shift = 8 * i;   // red, green, blue in COLORREF order
        const float mask = channel(m_colorMask, shift);
        matrix.m[i][i] = channel(m_whiteColorMask, shift) - mask;
        matrix.m[4][i] = mask;
    }
    matrix.m[3][3] = alpha;
    matrix.m[4][4] = 1.0f;
    Gdiplus::ImageAttributes imageAttributes;
    imageAttributes.SetColorMatrix(&matrix);
    Gdiplus::ColorMatrix shadowMatrix = {};
    for (int i = 0; i < 5; ++i)
        shadowMatrix.m[i][i] = 1.0f;
    shadowMatrix.m[3][3] = alpha * m_shadowOpacity / 100.0f;
    Gdiplus::ImageAttributes shadowAttributes;
    shadowAttributes.SetColorMatrix(&shadowMatrix);
    if (m_useTColor) {
        const Gdiplus::Color key(Gdiplus::Color::MakeARGB(255, GetRValue(m_clrTransparent),
                                                          GetGValue(m_clrTransparent), GetBValue(m_clrTransparent)));
        imageAttributes.SetColorKey(key, key);
        shadowAttributes.SetColorKey(key, key);
    }

    Gdiplus::Graphics graphics(frame);
    if (graphics.GetLastStatus() != Gdiplus::Ok)
        return;
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    if (m_shadow) {
        // The shadow bitmap holds the image at (r, r): laid out so that its
        // inner part falls under the image, moved by the shadow offset.
        const double kx = (double)width / m_image->GetWidth();
        const double ky = (double)height / m_image->GetHeight();
        const int r = m_shadowBlur;
        const int sw = (int)floor(m_shadow->GetWidth() * kx + 0.5);
        const int sh = (int)floor(m_shadow->GetHeight() * ky + 0.5);
        const int sx = x - (int)floor(r * kx + 0.5) + (int)(m_shadowSizeX * movie.sx);
        const int sy = y - (int)floor(r * ky + 0.5) + (int)(m_shadowSizeY * movie.sy);
        Gdiplus::Bitmap* shadow = sw > 0 && sh > 0 ? Scaled(m_shadow, m_scaledShadow, sw, sh) : NULL;
        if (shadow)
            graphics.DrawImage(shadow, Gdiplus::Rect(sx, sy, sw, sh), 0, 0, sw, sh, Gdiplus::UnitPixel,
                               &shadowAttributes);
    }
    Gdiplus::Bitmap* image = Scaled(m_image, m_scaledImage, width, height);
    if (image)
        graphics.DrawImage(image, Gdiplus::Rect(x, y, width, height), 0, 0, width, height, Gdiplus::UnitPixel,
                           &imageAttributes);
}
