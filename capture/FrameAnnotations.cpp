#include "capture/FrameAnnotations.h"

#include "platform/imaging/Imaging.h"
#include "settings/RecorderPrefs.h"
#include "settings/Rational.h"
#include "settings/TextStyle.h"

#include <string.h>

namespace {

// Restores the DC's previous object when it goes.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(object ? ::SelectObject(dc, object) : NULL) {}
    ~SelectGuard()
    {
        if (m_old)
            ::SelectObject(m_dc, m_old);
    }
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

}  // namespace

CaptionLayout LayoutCaptionText(HDC dc, const RECT& frame, const CTextStyle& style, LPCSTR text)
{
    CaptionLayout layout;
    memset(&layout, 0, sizeof(layout));
    const int frameWidth = frame.right - frame.left;
    const int frameHeight = frame.bottom - frame.top;
    if (style.m_transparent) {
        layout.hasBand = FALSE;
        layout.textRect = frame;
        layout.flags = (UINT)style.m_style | (UINT)style.m_posX | (UINT)style.m_posY |
                       (style.m_wordWrap ? (UINT)IMG_TEXT_WORDWRAP : 0u);
        return layout;
    }

    SIZE extent = {0, 0};
    TEXTMETRICA metrics;
    memset(&metrics, 0, sizeof(metrics));
    {
        SelectGuard font(dc, style.GetFont());
        ::GetTextExtentPoint32A(dc, text, (int)strlen(text), &extent);
        ::GetTextMetricsA(dc, &metrics);
    }
    int bandWidth = extent.cx + 2 * metrics.tmAveCharWidth;
    if (bandWidth > frameWidth)
        bandWidth = frameWidth;
    int bandHeight = frameHeight > extent.cy ? extent.cy + extent.cy / 2 : 0;
    if (bandHeight > frameHeight)
        bandHeight = frameHeight;

    int left = 0;
    if (style.m_posX == kCaptionCentre)
        left = (frameWidth - bandWidth) / 2;
    else if (style.m_posX == kCaptionRight)
        left = frameWidth - bandWidth;
    int top = 0;
    if (style.m_posY == kCaptionMiddle)
        top = (frameHeight - bandHeight) / 2;
    else if (style.m_posY == kCaptionBottom)
        top = frameHeight - bandHeight;

    layout.hasBand = TRUE;
    layout.band.left = frame.left + left;
    layout.band.top = frame.top + top;
    layout.band.right = layout.band.left + bandWidth;
    layout.band.bottom = layout.band.top + bandHeight;
    layout.textRect = layout.band;
    layout.flags = (UINT)style.m_style | IMG_TEXT_HCENTER | IMG_TEXT_VCENTER;
    return layout;
}

void DrawCaptionText(HDC dc, const RECT& frame, const CTextStyle& style, LPCSTR text)
{
    const CaptionLayout layout = LayoutCaptionText(dc, frame, style, text);
    if (layout.hasBand) {
        HBRUSH brush = ::CreateSolidBrush(style.m_backgroundColor);
        if (brush) {
            ::FillRect(dc, &layout.band, brush);
            ::DeleteObject(brush);
        }
    }
    ImgDrawTextEffect(dc, &layout.textRect, text, layout.flags, 2, 2, style.m_textColor, style.m_shadowColor,
                      style.m_outlineColor, style.GetFont());
}

DWORD ElapsedWholeSeconds(DWORD frames, const CRational& rate)
{
    const unsigned long long divisor = rate.m_nRate ? rate.m_nRate : 1;
    return (DWORD)((unsigned long long)frames * rate.m_nScale / divisor);
}

BOOL StampDue(const CRecorderPrefs& prefs, DWORD elapsedSeconds)
{
    if (!prefs.m_autoSystemStamp)
        return TRUE;
    return prefs.m_systemStampDuration > 0 && elapsedSeconds < (DWORD)prefs.m_systemStampDuration;
}

int ClickMarkFrames(float measuredRate, const CRational& rate)
{
    int fps = 0;
    if (measuredRate > 0.0f)
        fps = (int)measuredRate;
    else if (rate.m_nScale)
        fps = (int)(rate.m_nRate / rate.m_nScale);
    const int frames = fps / 3;
    return frames > 0 ? frames : 1;
}

int CClickMark::NextRadius(int size)
{
    if (m_countdown <= 0)
        return 0;
    const int radius = size / m_countdown;
    --m_countdown;
    return radius;
}

void DrawClickMark(HDC dc, POINT centre, int radius, int shape, COLORREF colour)
{
    if (radius <= 0 || (shape != kClickRing && shape != kClickDisc))
        return;
    const int left = centre.x - radius;
    const int top = centre.y - radius;
    const int right = centre.x + radius;
    const int bottom = centre.y + radius;
    if (shape == kClickRing) {
        HPEN pen = ::CreatePen(PS_SOLID, 2, colour);
        if (!pen)
            return;
        {
            SelectGuard penGuard(dc, pen);
            // A full circle: start and end at the same point.
            ::Arc(dc, left, top, right, bottom, right, centre.y, right, centre.y);
        }
        ::DeleteObject(pen);
        return;
    }
    HBRUSH brush = ::CreateSolidBrush(colour);
    HPEN pen = ::CreatePen(PS_SOLID, 1, colour);
    if (brush && pen) {
        SelectGuard brushGuard(dc, brush);
        SelectGuard penGuard(dc, pen);
        ::Ellipse(dc, left, top, right, bottom);
    }
    if (pen)
        ::DeleteObject(pen);
    if (brush)
        ::DeleteObject(brush);
}

RECT HighlightRect(POINT centre, int size, int shape)
{
    const int half = size / 2;
    RECT rect = {centre.x - half, centre.y - half, centre.x + half, centre.y + half};
    if (shape == 2000 || shape == 2001 || shape == 8000) {
        const int quarter = (rect.bottom - rect.top) / 4;
        rect.top += quarter;
        rect.bottom -= quarter;
    }
    return rect;
}

void DrawCursorHighlight(HDC dc, POINT centre, int size, int shape, int translucent, COLORREF colour)
{
    const RECT rect = HighlightRect(centre, size, shape);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return;
    const COLORREF light = RGB(0xFF, 0xFF, 0xFF);
    const COLORREF dark = RGB(0x80, 0x80, 0x80);
    const COLORREF background = RGB(0xC0, 0xC0, 0xC0);
    if (translucent != 2) {
        const UINT style = translucent == 1 ? IMG_SHAPE_INNERFILL : IMG_SHAPE_SOLID;
        ImgDrawShape(dc, &rect, (UINT)shape, style, colour, light, dark, background);
        return;
    }
    // Translucent: the shape on white, ANDed into the frame, tints what lies
    // under it and leaves the rest of the square as it was.
    HDC memDC = ::CreateCompatibleDC(dc);
    HBITMAP bitmap = memDC ? ::CreateCompatibleBitmap(dc, width, height) : NULL;
    if (bitmap) {
        SelectGuard bitmapGuard(memDC, bitmap);
        const RECT all = {0, 0, width, height};
        ::FillRect(memDC, &all, (HBRUSH)::GetStockObject(WHITE_BRUSH));
        ImgDrawShape(memDC, &all, (UINT)shape, IMG_SHAPE_SOLID, colour, light, dark, background);
        ::BitBlt(dc, rect.left, rect.top, width, height, memDC, 0, 0, SRCAND);
    }
    if (bitmap)
        ::DeleteObject(bitmap);
    if (memDC)
        ::DeleteDC(memDC);
}

void DrawStandardArrow(HDC dc, POINT tip)
{
    HCURSOR arrow = ::LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    if (arrow && ::DrawIconEx(dc, tip.x, tip.y, arrow, 0, 0, 0, NULL, DI_NORMAL | DI_DEFAULTSIZE))
        return;
    // The classic arrow outline, 12 x 19 pixels, tip at (0, 0).
    static const POINT kArrow[] = {{0, 0}, {0, 16}, {4, 12}, {7, 18}, {9, 17}, {6, 11}, {11, 11}};
    POINT points[sizeof(kArrow) / sizeof(kArrow[0])];
    for (size_t i = 0; i < sizeof(kArrow) / sizeof(kArrow[0]); ++i) {
        points[i].x = tip.x + kArrow[i].x;
        points[i].y = tip.y + kArrow[i].y;
    }
    SelectGuard brush(dc, ::GetStockObject(WHITE_BRUSH));
    SelectGuard pen(dc, ::GetStockObject(BLACK_PEN));
    ::Polygon(dc, points, (int)(sizeof(points) / sizeof(points[0])));
}

BOOL DrawCursorImage(HDC dc, HCURSOR cursor, POINT hotSpot, POINT position)
{
    if (!cursor)
        return FALSE;
    if (::DrawIconEx(dc, position.x - hotSpot.x, position.y - hotSpot.y, (HICON)cursor, 0, 0, 0, NULL,
                               DI_NORMAL | DI_DEFAULTSIZE))
        return TRUE;
    // Wine 8: another program's cursor cannot be drawn (GetIconInfo and
    // DrawIconEx fail with 1402); the recording still shows where it is.
    DrawStandardArrow(dc, position);
    return FALSE;
}
