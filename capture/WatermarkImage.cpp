#include "capture/WatermarkImage.h"

#include "capture/FrameBitmap.h"

#include <gdiplus.h>

#include <stdlib.h>
#include <string.h>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

// Bytes of the pixel rows of a frame, from its header alone.
SIZE_T FrameImageBytes(const BITMAPINFOHEADER& h)
{
    return (SIZE_T)DibRowBytes(h.biWidth, h.biBitCount) * (SIZE_T)abs(h.biHeight);
}

// The library's bitmaps hold 16 bits as 5-5-5 and 32 bits as 8-8-8; a
// bit-field frame with other masks cannot make the round trip through them.
bool LibraryKeepsLayout(const BITMAPINFO* frame)
{
    const BITMAPINFOHEADER& h = frame->bmiHeader;
    if (h.biCompression != BI_BITFIELDS)
        return true;
    const DWORD* masks = (const DWORD*)frame->bmiColors;
    if (h.biBitCount == 16)
        return masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F;
    return masks[0] == 0xFF0000 && masks[1] == 0x00FF00 && masks[2] == 0x0000FF;
}

// Copies the library bitmap's rows (bottom row first) back over the frame,
// turned round for a top-down frame, never past the frame's image size.
void CopyRowsBack(const BITMAPINFOHEADER& frame, void* frameBits, const ImgBitmap& bitmap)
{
    const SIZE_T stride = DibRowBytes(frame.biWidth, frame.biBitCount);
    const SIZE_T rows = (SIZE_T)abs(frame.biHeight);
    if (!bitmap.bits || (SIZE_T)bitmap.bytesPerLine != stride || (SIZE_T)bitmap.height != rows)
        return;
    SIZE_T limit = stride * rows;
    if (frame.biSizeImage && frame.biSizeImage < limit)
        limit = frame.biSizeImage;
    const bool topDown = frame.biHeight < 0;
    for (SIZE_T row = 0; row < rows; ++row) {
        const SIZE_T to = (topDown ? rows - 1 - row : row) * stride;
        if (to + stride <= limit)
            memcpy((BYTE*)frameBits + to, bitmap.bits + row * stride, stride);
    }
}

// Draws through GDI+ onto a DC of an HDC-capable bitmap and deletes the graphics.
void DrawOnDC(const CWatermark& watermark, HDC dc)
{
    GpGraphics* graphics = NULL;
    if (GdipCreateFromHDC(dc, &graphics) != Ok)
        return;
    watermark.DrawWithOpacity(graphics, watermark.Prepared());
    GdipDeleteGraphics(graphics);
}

}  // namespace

CWatermarkImageBase::CWatermarkImageBase(const WatermarkSettings& settings)
    : m_imageWidth(0), m_imageHeight(0)
{
    m_settings.Assign(settings);
    m_placement.x = m_placement.y = m_placement.w = m_placement.h = 0.0f;
}

CWatermarkImageBase::~CWatermarkImageBase()
{
}

CWatermarkImage::CWatermarkImage(const WatermarkSettings& settings)
    : CWatermarkImageBase(settings), m_watermark(&m_settings, &m_placement)
{
    ImgInitBitmap(&m_bitmap);
}

CWatermarkImage::~CWatermarkImage()
{
    ImgFreeBitmap(&m_bitmap);
    m_watermark.DropPrepared();
}

// The image is scaled, keyed and embossed once, for the frame size of the
// recording; each frame then only blends the prepared bitmap. TRUE means the
// file was opened as an image, even when it came out too small to draw.
BOOL CWatermarkImage::Load(const BITMAPINFOHEADER* frame)
{
    m_watermark.DropPrepared();
    if (!frame)
        return FALSE;
    GpBitmap* source = LoadWatermarkImage(m_settings.m_strImagePath);
    if (!source)
        return FALSE;
    UINT width = 0, height = 0;
    GdipGetImageWidth(source, &width);
    GdipGetImageHeight(source, &height);
    m_imageWidth = (int)width;
    m_imageHeight = (int)height;
    m_watermark.Prepare(source, frame->biWidth, abs(frame->biHeight));
    GdipDisposeImage(source);
    return TRUE;
}

void CWatermarkImage::Draw(ImgBitmap* bitmap)
{
    if (!bitmap || !m_watermark.Prepared())
        return;
    HDC dc = ImgCreateDC(bitmap);
    if (!dc)
        return;
    DrawOnDC(m_watermark, dc);
    ImgReleaseDC(dc);
}

// The frame goes through a library bitmap so that GDI+ can paint on it. An
// 8-bit frame is painted at 24 bits and mapped back onto its own palette, so
// the indices still mean what the frame's colour table says. Only rows that
// lie within the frame's image size are copied back.
void CWatermarkImage::DrawOnFrame(const BITMAPINFO* frame, void* bits)
{
    if (!frame || !bits || !m_watermark.Prepared())
        return;
    const BITMAPINFOHEADER& header = frame->bmiHeader;
    const WORD depth = header.biBitCount;
    if (depth != 8 && depth != 16 && depth != 24 && depth != 32)
        return;
    if (header.biWidth <= 0 || header.biHeight == 0)
        return;
    if (!LibraryKeepsLayout(frame)) {
        DrawOnBitFieldFrame(frame, bits);
        return;
    }

    RGBQUAD palette[256];
    int colours = 0;
    if (depth == 8) {
        colours = header.biClrUsed ? (int)header.biClrUsed : 256;
        if (colours > 256)
            colours = 256;
        memcpy(palette, frame->bmiColors, sizeof(RGBQUAD) * (size_t)colours);
    }

    if (ImgBitmapFromDIB(&m_bitmap, frame, bits) != IMG_SUCCESS)
        return;
    if (depth == 8 && ImgColorRes(&m_bitmap, 24, IMG_CRF_NODITHERING, NULL, 0) != IMG_SUCCESS) {
        ImgFreeBitmap(&m_bitmap);
        return;
    }
    Draw(&m_bitmap);
    if (depth == 8 &&
        ImgColorRes(&m_bitmap, 8, IMG_CRF_USERPALETTE, palette, colours) != IMG_SUCCESS) {
        ImgFreeBitmap(&m_bitmap);
        return;
    }

    ::GdiFlush();
    if (m_bitmap.bitsPerPixel == depth)
        CopyRowsBack(header, bits, m_bitmap);
    ImgFreeBitmap(&m_bitmap);
}

// Bit-field frames whose masks the library does not keep are painted in a DIB
// section of their own format, which GDI keeps exactly.
void CWatermarkImage::DrawOnBitFieldFrame(const BITMAPINFO* frame, void* bits)
{
    const BITMAPINFOHEADER& header = frame->bmiHeader;
    void* sectionBits = NULL;
    HBITMAP section = ::CreateDIBSection(NULL, frame, DIB_RGB_COLORS, &sectionBits, NULL, 0);
    if (!section || !sectionBits) {
        if (section)
            ::DeleteObject(section);
        return;
    }
    SIZE_T count = FrameImageBytes(header);
    if (header.biSizeImage && header.biSizeImage < count)
        count = header.biSizeImage;
    memcpy(sectionBits, bits, count);
    HDC dc = ::CreateCompatibleDC(NULL);
    if (dc) {
        HGDIOBJ old = ::SelectObject(dc, section);
        DrawOnDC(m_watermark, dc);
        ::GdiFlush();
        ::SelectObject(dc, old);
        ::DeleteDC(dc);
        memcpy(bits, sectionBits, count);
    }
    ::DeleteObject(section);
}
