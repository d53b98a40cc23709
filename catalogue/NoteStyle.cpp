#include "catalogue/NoteStyle.h"

#include "settings/TextNoteStyle.h"

CNoteStyle::CNoteStyle()
    : m_textColor(0x000000),
      m_backgroundColor(0xFFFFFF),
      m_fontHeight(-11),
      m_fontWeight(400),
      m_fontItalic(0),
      m_fontUnderline(0),
      m_fontStrikeOut(0),
      m_fontPitchFamily(0),
      m_fontCharSet(1),
      m_faceName("宋体"),
      m_flags(80),
      m_frameColor(0x7F7F7F),
      m_frameWidth(4),
      m_noteWidth(300),
      m_noteHeight(150)
{
}

CNoteStyle::CNoteStyle(const CNoteStyle& other)
{
    CopyBody(other);
}

CNoteStyle& CNoteStyle::operator=(const CNoteStyle& other)
{
    CopyBody(other);
    return *this;
}

CNoteStyle::~CNoteStyle() {}

void CNoteStyle::CopyBody(const CNoteStyle& other)
{
    m_textColor = other.m_textColor;
    m_backgroundColor = other.m_backgroundColor;
    m_fontHeight = other.m_fontHeight;
    m_fontWeight = other.m_fontWeight;
    m_fontItalic = other.m_fontItalic;
    m_fontUnderline = other.m_fontUnderline;
    m_fontStrikeOut = other.m_fontStrikeOut;
    m_fontPitchFamily = other.m_fontPitchFamily;
    m_fontCharSet = other.m_fontCharSet;
    m_faceName = other.m_faceName;
    m_text = other.m_text;
    m_flags = other.m_flags;
    m_frameColor = other.m_frameColor;
    m_frameWidth = other.m_frameWidth;
    m_noteWidth = other.m_noteWidth;
    m_noteHeight = other.m_noteHeight;
}

void CNoteStyle::AssignFrom(const CTextNoteStyle& prefs)
{
    m_textColor = prefs.m_textColor;
    m_backgroundColor = prefs.m_backgroundColor;
    m_fontHeight = prefs.m_fontHeight;
    m_fontWeight = prefs.m_fontWeight;
    m_fontItalic = prefs.m_fontItalic;
    m_fontUnderline = prefs.m_fontUnderline;
    m_fontStrikeOut = prefs.m_fontStrikeOut;
    m_fontPitchFamily = prefs.m_fontPitchFamily;
    m_fontCharSet = prefs.m_fontCharSet;
    m_faceName = prefs.m_faceName;
    m_text = prefs.m_caption;
    m_flags = (DWORD)prefs.m_flags;
    m_frameColor = prefs.m_frameColor;
    m_frameWidth = prefs.m_frameWidth;
    m_noteWidth = prefs.m_sizeX;
    m_noteHeight = prefs.m_sizeY;
}

COLORREF ShadeNoteColour(COLORREF colour, bool lighter)
{
    int c[3] = { GetRValue(colour), GetGValue(colour), GetBValue(colour) };
    for (int& v : c)
        v = lighter ? 255 - (255 - v) / 3 : v / 2;
    return RGB(c[0], c[1], c[2]);
}

namespace {

// One line in a colour, from (x0, y0) to (x1, y1) and on to (x2, y2).
void Polyline3(HDC dc, COLORREF colour, int x0, int y0, int x1, int y1, int x2, int y2)
{
    HPEN pen = ::CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ old = ::SelectObject(dc, pen);
    const POINT points[3] = { { x0, y0 }, { x1, y1 }, { x2, y2 } };
    ::Polyline(dc, points, 3);
    ::SelectObject(dc, old);
    ::DeleteObject(pen);
}

}  // namespace

// The edge lines of ring i run along the rectangle inset by i: the top-left
// lines from the bottom-left corner up and across to the top-right, the
// bottom-right lines down to the bottom-right and back to the bottom-left.
void DrawNoteFrame(HDC dc, const CNoteStyle* style, RECT rect, int frameWidth)
{
    HBRUSH background = ::CreateSolidBrush(style->m_backgroundColor);
    const DWORD kind = style->m_flags & CNoteStyle::kFrameMask;
    if (kind == CNoteStyle::kFrameNone || frameWidth <= 0) {
        ::FillRect(dc, &rect, background);
        ::DeleteObject(background);
        return;
    }
    if (kind == CNoteStyle::kFrameSolid) {
        HPEN pen = ::CreatePen(PS_INSIDEFRAME, frameWidth, style->m_frameColor);
        HGDIOBJ oldPen = ::SelectObject(dc, pen);
        HGDIOBJ oldBrush = ::SelectObject(dc, background);
        ::Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
        ::SelectObject(dc, oldBrush);
        ::SelectObject(dc, oldPen);
        ::DeleteObject(pen);
        ::DeleteObject(background);
        return;
    }
    ::FillRect(dc, &rect, background);
    ::DeleteObject(background);

    COLORREF light, dark, mid;
    int band = 0;
    if (kind == CNoteStyle::kFrameBevel) {
        light = ShadeNoteColour(style->m_frameColor, true);
        dark = ShadeNoteColour(style->m_frameColor, false);
        mid = style->m_frameColor;
        band = frameWidth < 12 ? frameWidth / 3 : frameWidth / 4;
    } else {
        light = ShadeNoteColour(style->m_backgroundColor, true);
        dark = ShadeNoteColour(style->m_backgroundColor, false);
        mid = light;
    }
    for (int i = 0; i < frameWidth; i++) {
        const int l = rect.left + i, t = rect.top + i, r = rect.right - 1 - i, b = rect.bottom - 1 - i;
        if (r < l || b < t)
            break;
        COLORREF topLeft, bottomRight;
        if (kind == CNoteStyle::kFrameBevel) {
            if (i < band) {
                topLeft = light;
                bottomRight = dark;
            } else if (i >= frameWidth - band) {
                topLeft = dark;
                bottomRight = light;
            } else {
                topLeft = bottomRight = mid;
            }
        } else if (kind == CNoteStyle::kFrameRaised) {
            topLeft = light;
            bottomRight = dark;
        } else {
            topLeft = dark;
            bottomRight = light;
        }
        Polyline3(dc, topLeft, l, b, l, t, r, t);
        Polyline3(dc, bottomRight, r, t, r, b, l, b);
    }
}
