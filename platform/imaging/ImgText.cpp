// Text with a shadow and/or an outline, drawn transparently with GDI.
#include "platform/imaging/ImgInternal.h"

#include <string.h>

namespace {

void DrawAt(HDC dc, const char* text, int length, const RECT& box, UINT format, int dx, int dy, COLORREF colour)
{
    RECT r = box;
    OffsetRect(&r, dx, dy);
    SetTextColor(dc, colour);
    DrawTextA(dc, text, length, &r, format);
}

} // namespace

// The text block is measured first (DT_CALCRECT at the rectangle's width) and
// placed by hand, because DrawText centres vertically only single lines. The
// shadow goes under everything, the outline (the text drawn in the outline
// colour one pixel off in the eight directions) under the text itself.
int ImgDrawTextEffect(HDC dc, const RECT* rect, const char* text, UINT flags, int shadowX, int shadowY,
                      COLORREF textColour, COLORREF shadowColour, COLORREF outlineColour, HFONT font)
{
    if (!dc || !rect || !text)
        return IMG_INVALID_PARAMETER;
    const int length = (int)strlen(text);
    if (length == 0)
        return IMG_SUCCESS;
    const int saved = SaveDC(dc);
    if (!saved)
        return IMG_FAILURE;
    if (font)
        SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);

    UINT format = DT_NOPREFIX | DT_EXPANDTABS;
    if (flags & IMG_TEXT_WORDWRAP)
        format |= DT_WORDBREAK;
    if (flags & IMG_TEXT_RIGHT)
        format |= DT_RIGHT;
    else if (flags & IMG_TEXT_HCENTER)
        format |= DT_CENTER;

    RECT measure = *rect;
    measure.bottom = measure.top;
    DrawTextA(dc, text, length, &measure, format | DT_CALCRECT);
    const int blockHeight = measure.bottom - measure.top;
    RECT box = *rect;
    const int spare = (rect->bottom - rect->top) - blockHeight;
    if (flags & IMG_TEXT_BOTTOM)
        box.top = rect->bottom - blockHeight;
    else if (flags & IMG_TEXT_VCENTER)
        box.top = rect->top + spare / 2;
    box.bottom = box.top + blockHeight;
    // Unclipped: the shadow and the outline may pass the rectangle by their offsets.
    format |= DT_NOCLIP;

    const UINT effect = flags & IMG_TEXT_EFFECT_MASK;
    const bool shadow = effect == IMG_TEXT_SHADOW || effect == IMG_TEXT_SHADOW_OUTLINE;
    const bool outline = effect == IMG_TEXT_OUTLINE || effect == IMG_TEXT_SHADOW_OUTLINE;
    static const int kAround[8][2] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}};
    if (shadow) {
        if (outline)
            for (int i = 0; i < 8; ++i)
                DrawAt(dc, text, length, box, format, shadowX + kAround[i][0], shadowY + kAround[i][1], shadowColour);
        DrawAt(dc, text, length, box, format, shadowX, shadowY, shadowColour);
    }
    if (outline)
        for (int i = 0; i < 8; ++i)
            DrawAt(dc, text, length, box, format, kAround[i][0], kAround[i][1], outlineColour);
    DrawAt(dc, text, length, box, format, 0, 0, textColour);
    RestoreDC(dc, saved);
    GdiFlush();
    return IMG_SUCCESS;
}
