#include "overlays/OverlaySpotlight.h"

#include "overlays/BitmapBitsLock.h"
#include "overlays/OverlayGdi.h"
#include "overlays/OverlayXml.h"
#include "platform/imaging/Imaging.h"
#include "settings/XmlNode.h"

#include <math.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <vector>

IMPLEMENT_DYNAMIC(COverlaySpotlight, COverlay)

namespace {

int Round(double v)
{
    return (int)floor(v + 0.5);
}

// A frame's pixels locked as 32 bits: in its own format when that is 32-bit,
// else converted.
Gdiplus::PixelFormat Lock32Format(Gdiplus::Bitmap* bitmap)
{
    const Gdiplus::PixelFormat own = bitmap->GetPixelFormat();
    return Gdiplus::GetPixelFormatSize(own) == 32 ? own : PixelFormat32bppRGB;
}

}  // namespace

COverlaySpotlight::COverlaySpotlight()
    : m_rectangleX(0), m_rectangleY(0), m_rectangleWidth(0), m_rectangleHeight(0), m_blurRadius(1.0f), m_offset(0),
      m_addShadow(1), m_zoomLevel(100), m_zoomLength(0), m_brightness(150), m_brightnessFadeTime(0), m_horzOffset(0),
      m_vertOffset(0), m_shadowOffsetX(8), m_shadowOffsetY(8), m_shadowBlurPixels(6)
{
    m_overlayFlags = 4;
}

HRESULT COverlaySpotlight::WriteOwnXml(XmlNode& node)
{
    node.WriteValue("RectangleX", 7, m_rectangleX);
    node.WriteValue("RectangleY", 7, m_rectangleY);
    node.WriteValue("RectangleWidth", 7, m_rectangleWidth);
    node.WriteValue("RectangleHeight", 7, m_rectangleHeight);
    node.WriteValue("BlurRadius", 7, m_blurRadius);
    node.WriteValue("Offset", 2, m_offset);
    node.WriteValue("AddShadow", 2, m_addShadow);
    node.WriteValue("ZoomLevel", 2, m_zoomLevel);
    overlayxml::WriteTime(node, "ZoomLength", m_zoomLength);
    node.WriteValue("Brightness", 2, m_brightness);
    overlayxml::WriteTime(node, "BrigthnessFadeTime", m_brightnessFadeTime);
    node.WriteValue("HorzOffset", 2, m_horzOffset);
    node.WriteValue("VertOffset", 2, m_vertOffset);
    node.WriteValue("ShadowOffset_X", 2, m_shadowOffsetX);
    node.WriteValue("ShadowOffset_Y", 2, m_shadowOffsetY);
    node.WriteValue("ShadowBlurPixels", 2, m_shadowBlurPixels);
    return 0;
}

// Values that size buffers or scale pixels are bounded: a blur of hundreds
// of pixels, a brightness that wraps, a zoom that allocates gigabytes.
HRESULT COverlaySpotlight::ReadOwnXml(XmlNode& node, int position)
{
    using namespace overlayxml;
    ReadFloat(node, "RectangleX", m_rectangleX, position);
    ReadFloat(node, "RectangleY", m_rectangleY, position);
    ReadFloat(node, "RectangleWidth", m_rectangleWidth, position);
    ReadFloat(node, "RectangleHeight", m_rectangleHeight, position);
    ReadFloat(node, "BlurRadius", m_blurRadius, position);
    ReadInt(node, "Offset", m_offset, position);
    ReadInt(node, "AddShadow", m_addShadow, position);
    ReadInt(node, "ZoomLevel", m_zoomLevel, position);
    ReadTime(node, "ZoomLength", m_zoomLength, position);
    ReadInt(node, "Brightness", m_brightness, position);
    ReadTime(node, "BrigthnessFadeTime", m_brightnessFadeTime, position);
    ReadInt(node, "HorzOffset", m_horzOffset, position);
    ReadInt(node, "VertOffset", m_vertOffset, position);
    ReadInt(node, "ShadowOffset_X", m_shadowOffsetX, position);
    ReadInt(node, "ShadowOffset_Y", m_shadowOffsetY, position);
    ReadInt(node, "ShadowBlurPixels", m_shadowBlurPixels, position);
    m_rectangleX = Bound(m_rectangleX, -65536.0f, 65536.0f);
    m_rectangleY = Bound(m_rectangleY, -65536.0f, 65536.0f);
    m_rectangleWidth = Bound(m_rectangleWidth, 0.0f, 65536.0f);
    m_rectangleHeight = Bound(m_rectangleHeight, 0.0f, 65536.0f);
    m_blurRadius = Bound(m_blurRadius, 0.0f, 64.0f);
    m_zoomLevel = Bound(m_zoomLevel, 1, 1000);
    m_zoomLength = Bound(m_zoomLength, 0LL, 1LL << 50);
    m_brightness = Bound(m_brightness, 0, 1024);
    m_brightnessFadeTime = Bound(m_brightnessFadeTime, 0LL, 1LL << 50);
    m_horzOffset = Bound(m_horzOffset, -1000, 1000);
    m_vertOffset = Bound(m_vertOffset, -1000, 1000);
    m_shadowOffsetX = Bound(m_shadowOffsetX, -4096, 4096);
    m_shadowOffsetY = Bound(m_shadowOffsetY, -4096, 4096);
    m_shadowBlurPixels = Bound(m_shadowBlurPixels, 0, 256);
    return 0;
}

BOOL COverlaySpotlight::BlurImage(Gdiplus::Bitmap* image, double radius, double brightness)
{
    if (!image)
        return FALSE;
    const int n = (int)floor(std::min(radius, 64.0) + 0.5);
    if (n < 0)
        return TRUE;
    const int w = (int)image->GetWidth();
    const int h = (int)image->GetHeight();
    if (w <= 2 * n + 1 || h <= 2 * n + 1)
        return TRUE;
    const double b = brightness > 0.0 ? std::min(brightness, 16.0) : 0.0;   // darkens, never wraps
    const uint32_t scale = (uint32_t)(b * 65536.0);
    if (n == 0 && scale == 65536)
        return TRUE;
    CBitmapBitsLock lock(image, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite, Lock32Format(image), FALSE);
    if (!lock.IsLocked())
        return FALSE;
    const int window = 2 * n + 1;
    const uint32_t multiplier = scale / (uint32_t)window;
    std::vector<BYTE> table((size_t)window * 255 + 1);
    for (size_t s = 0; s < table.size(); ++s)
        table[s] = (BYTE)std::min<uint64_t>(255, ((uint64_t)s * multiplier) >> 16);
    // Row means through a table: a division per channel and pixel costs more
    // than the rest of the pass.
    std::vector<uint16_t> mean((size_t)window * 255 + 1);
    for (size_t sum = 0; sum < mean.size(); ++sum)
        mean[sum] = (uint16_t)(sum / window);
    // The row pass's buffer is kept per thread: fresh pages of a new
    // full-frame buffer cost more under Wine than the blur itself.
    thread_local std::vector<uint16_t> temp;
    if (temp.size() < (size_t)w * h * 3)
        temp.resize((size_t)w * h * 3);
    BYTE* base = (BYTE*)lock.m_data.Scan0;
    const int stride = lock.m_data.Stride;
    // Rows: the mean of 2n + 1 pixels, edges repeated.
    for (int y = 0; y < h; ++y) {
        const BYTE* row = base + (size_t)y * stride;
        uint16_t* out = temp.data() + (size_t)y * w * 3;
        int sum[3] = {0, 0, 0};
        for (int k = -n; k <= n; ++k) {
            const BYTE* p = row + 4 * std::min(std::max(k, 0), w - 1);
            sum[0] += p[0];
            sum[1] += p[1];
            sum[2] += p[2];
        }
        for (int x = 0; x < w; ++x) {
            const BYTE* in = row + 4 * std::min(x + n + 1, w - 1);
            const BYTE* gone = row + 4 * std::max(x - n, 0);
            for (int c = 0; c < 3; ++c) {
                out[3 * x + c] = mean[sum[c]];
                sum[c] += in[c] - gone[c];
            }
        }
    }
    // Columns, walked row by row with a running sum per column: the sum of
    // 2n + 1 row means through the brightness table.
    std::vector<int> sums((size_t)w * 3, 0);
    for (int k = -n; k <= n; ++k) {
        const uint16_t* row = temp.data() + (size_t)std::min(std::max(k, 0), h - 1) * w * 3;
        for (int i = 0; i < w * 3; ++i)
            sums[i] += row[i];
    }
    for (int y = 0; y < h; ++y) {
        BYTE* out = base + (size_t)y * stride;
        for (int x = 0; x < w; ++x) {
            out[4 * x + 0] = table[sums[3 * x + 0]];
            out[4 * x + 1] = table[sums[3 * x + 1]];
            out[4 * x + 2] = table[sums[3 * x + 2]];
        }
        const uint16_t* in = temp.data() + (size_t)std::min(y + n + 1, h - 1) * w * 3;
        const uint16_t* gone = temp.data() + (size_t)std::max(y - n, 0) * w * 3;
        for (int i = 0; i < w * 3; ++i)
            sums[i] += in[i] - gone[i];
    }
    return TRUE;
}

// Darkens the frame under a rectangle by up to the opacity, falling off
// linearly over the softness outside the rectangle.
void COverlaySpotlight::DrawSoftShadow(Gdiplus::Bitmap* frame, const RECT& target, int softX, int softY,
                                       double opacity)
{
    const int w = (int)frame->GetWidth();
    const int h = (int)frame->GetHeight();
    const int left = std::max<int>(target.left - softX, 0), right = std::min<int>(target.right + softX, w);
    const int top = std::max<int>(target.top - softY, 0), bottom = std::min<int>(target.bottom + softY, h);
    if (left >= right || top >= bottom)
        return;
    CBitmapBitsLock lock(frame, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite, Lock32Format(frame), FALSE);
    if (!lock.IsLocked())
        return;
    BYTE* base = (BYTE*)lock.m_data.Scan0;
    const int stride = lock.m_data.Stride;
    // The falloff of each column; per row, how much of a pixel stays, in 1/256.
    std::vector<double> fx(right - left);
    for (int x = left; x < right; ++x) {
        const int dx = x < target.left ? target.left - x : (x >= target.right ? x - target.right + 1 : 0);
        fx[x - left] = softX > 0 ? std::max(0.0, 1.0 - (double)dx / (softX + 1)) : (dx == 0 ? 1.0 : 0.0);
    }
    std::vector<int> keep(right - left);
    for (int y = top; y < bottom; ++y) {
        const int dy = y < target.top ? target.top - y : (y >= target.bottom ? y - target.bottom + 1 : 0);
        const double fy = softY > 0 ? std::max(0.0, 1.0 - (double)dy / (softY + 1)) : (dy == 0 ? 1.0 : 0.0);
        for (int i = 0; i < right - left; ++i)
            keep[i] = 256 - (int)(opacity * fx[i] * fy * 256.0);
        BYTE* p = base + (size_t)y * stride + 4 * left;
        for (int i = 0; i < right - left; ++i, p += 4) {
            p[0] = (BYTE)((p[0] * keep[i]) >> 8);
            p[1] = (BYTE)((p[1] * keep[i]) >> 8);
            p[2] = (BYTE)((p[2] * keep[i]) >> 8);
        }
    }
}

void COverlaySpotlight::Draw(Gdiplus::Bitmap* frame, LONGLONG time)
{
    if (!frame || !IsActiveAt(time))
        return;
    const int frameWidth = (int)frame->GetWidth();
    const int frameHeight = (int)frame->GetHeight();
    const double ez = overlaygdi::Envelope(time, m_start, m_end, m_zoomLength, m_zoomLength);
    const double eb = overlaygdi::Envelope(time, m_start, m_end, m_brightnessFadeTime, m_brightnessFadeTime);
    const double zoom = 1.0 + (std::max(m_zoomLevel, 1) * 0.01 - 1.0) * ez;
    const double brightness = std::max(0.0, 1.0 + (std::max(m_brightness, 0) / 256.0 - 1.0) * eb);
    const double radius = std::max(0.0f, m_blurRadius) * eb;

    const overlaygdi::MovieScale movie =
        overlaygdi::ComputeMovieScale(m_movieScaleMode, frameWidth, frameHeight, m_movieWidth, m_movieHeight);
    int x0 = Round(movie.offsetX + m_rectangleX * movie.sx);
    int y0 = Round(movie.offsetY + m_rectangleY * movie.sy);
    int x1 = x0 + Round(m_rectangleWidth * movie.sx);
    int y1 = y0 + Round(m_rectangleHeight * movie.sy);
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, frameWidth);
    y1 = std::min(y1, frameHeight);
    if (x0 >= x1 || y0 >= y1)
        return;
    const int w = x1 - x0;
    const int h = y1 - y0;
    std::unique_ptr<Gdiplus::Bitmap> copy(frame->Clone(x0, y0, w, h, PixelFormat32bppARGB));
    if (!copy || copy->GetLastStatus() != Gdiplus::Ok)
        return;

    BlurImage(frame, radius, brightness);

    double tx = x0 + (1.0 - zoom) * w * 0.5;
    double ty = y0 + (1.0 - zoom) * h * 0.5;
    if (m_offset) {
        tx += m_horzOffset * w * 0.01;
        ty += m_vertOffset * h * 0.01;
    }
    const int targetWidth = Round(w * zoom);
    const int targetHeight = Round(h * zoom);
    RECT target = {Round(tx), Round(ty), Round(tx) + targetWidth, Round(ty) + targetHeight};
    if (m_addShadow) {
        RECT shadow = target;
        OffsetRect(&shadow, Round(m_shadowOffsetX * movie.sx), Round(m_shadowOffsetY * movie.sy));
        DrawSoftShadow(frame, shadow, Round(m_shadowBlurPixels * movie.sx), Round(m_shadowBlurPixels * movie.sy),
                       0.3);
    }

    // Only the part of the zoomed copy that falls in the frame is made, by the
    // imaging layer's resampler.
    RECT visible;
    RECT frameRect = {0, 0, frameWidth, frameHeight};
    if (!IntersectRect(&visible, &target, &frameRect))
        return;
    const int vw = visible.right - visible.left;
    const int vh = visible.bottom - visible.top;
    Gdiplus::Graphics graphics(frame);
    if (graphics.GetLastStatus() != Gdiplus::Ok)
        return;
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
    if (targetWidth == w && targetHeight == h) {
        graphics.DrawImage(copy.get(), Gdiplus::Rect(visible.left, visible.top, vw, vh), visible.left - target.left,
                           visible.top - target.top, vw, vh, Gdiplus::UnitPixel);
        return;
    }
    const double kx = (double)w / targetWidth;
    const double ky = (double)h / targetHeight;
    const int sx0 = std::max(0, (int)floor((visible.left - target.left) * kx));
    const int sy0 = std::max(0, (int)floor((visible.top - target.top) * ky));
    const int sx1 = std::min(w, std::max(sx0 + 1, (int)ceil((visible.right - target.left) * kx)));
    const int sy1 = std::min(h, std::max(sy0 + 1, (int)ceil((visible.bottom - target.top) * ky)));
    CBitmapBitsLock source(copy.get(), Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, FALSE);
    if (!source.IsLocked())
        return;
    ImgBitmap part;
    ImgInitBitmap(&part);
    if (ImgAllocateBitmap(&part, sx1 - sx0, sy1 - sy0, 32, NULL, 0) != IMG_SUCCESS)
        return;
    for (int y = sy0; y < sy1; ++y) {
        // Library bitmaps are bottom-up.
        BYTE* dest = part.bits + (size_t)(part.height - 1 - (y - sy0)) * part.bytesPerLine;
        memcpy(dest, (BYTE*)source.m_data.Scan0 + (size_t)y * source.m_data.Stride + 4 * sx0, (size_t)(sx1 - sx0) * 4);
    }
    source.Unlock();
    if (ImgResize(&part, vw, vh, TRUE) == IMG_SUCCESS) {
        Gdiplus::Bitmap zoomed(vw, vh, -part.bytesPerLine, PixelFormat32bppRGB,
                               part.bits + (size_t)(vh - 1) * part.bytesPerLine);
        graphics.DrawImage(&zoomed, Gdiplus::Rect(visible.left, visible.top, vw, vh), 0, 0, vw, vh,
                           Gdiplus::UnitPixel);
    }
    ImgFreeBitmap(&part);
}
