#include "controls/QK508ColorButton.h"

#include "framework/ui/DC.h"
#include "resources/ids_controls.h"

IMPLEMENT_DYNCREATE(QK508ColorButton, QK508Button)

QK508ColorButton::QK508ColorButton() : m_swatchSide(kRight), m_swatchShare(100), m_colour((COLORREF)-1)
{
}

QK508ColorButton::~QK508ColorButton()
{
}

// Caption, then " 红色 r,  绿色 g,  蓝色 b" for the names that load.
void QK508ColorButton::BuildWindowText()
{
    CString text = m_caption;
    const struct { UINT id; int value; const char* format; } parts[] = {
        { IDS_COLOUR_RED, GetRValue(m_colour), " %d, " },
        { IDS_COLOUR_GREEN, GetGValue(m_colour), " %d, " },
        { IDS_COLOUR_BLUE, GetBValue(m_colour), " %d" },
    };
    for (const auto& part : parts) {
        CString name;
        if (!name.LoadString(part.id))
            continue;
        CString value;
        value.Format(part.format, part.value);
        text += " ";
        text += name;
        text += value;
    }
    SetWindowText(text);
}

void QK508ColorButton::SetColour(COLORREF colour)
{
    m_colour = colour;
    if (m_hWnd == NULL)
        return;
    BuildWindowText();
    Invalidate();
}

void QK508ColorButton::SetCaption(LPCTSTR lpszText)
{
    if (lpszText == NULL || m_caption == lpszText)
        return;
    m_caption = lpszText;
    if (m_hWnd != NULL) {
        BuildWindowText();
        Invalidate();
    }
}

void QK508ColorButton::DrawItem(LPDRAWITEMSTRUCT lpDIS)
{
    if (lpDIS->CtlType != ODT_BUTTON || lpDIS->hwndItem != m_hWnd)
        return;
    CRect rect(lpDIS->rcItem);
    DrawDefaultFrame(lpDIS, rect);
    DrawFace(lpDIS, rect);

    const int w = rect.Width() > 1 ? rect.Width() : 1;
    const int h = rect.Height() > 1 ? rect.Height() : 1;
    const int sw = w * m_swatchShare / 100;
    const int sh = h * m_swatchShare / 100;
    CRect swatch = rect;
    CRect text = rect;
    switch (m_swatchSide) {
    case kTop:
        swatch.bottom = swatch.top + sh;
        text.top = swatch.bottom + m_swatchGap;
        break;
    case kLeft:
        swatch.right = swatch.left + sw;
        text.left = swatch.right + m_swatchGap;
        break;
    case kBottom:
        swatch.top = swatch.bottom - sh;
        text.bottom = swatch.top - m_swatchGap;
        break;
    default:
        swatch.left = swatch.right - sw;
        text.right = swatch.left - m_swatchGap;
        break;
    }
    HDC hDC = lpDIS->hDC;
    const BOOL framed = !(swatch.Width() < 3 && swatch.Height() < 3);
    if (!(lpDIS->itemState & ODS_DISABLED)) {
        HBRUSH brush = ::CreateSolidBrush(m_colour);
        ::FillRect(hDC, &swatch, brush);
        ::DeleteObject(brush);
        if (framed)
            ::FrameRect(hDC, &swatch, (HBRUSH)::GetStockObject(BLACK_BRUSH));
    } else if (framed) {
        ::FrameRect(hDC, &swatch, ::GetSysColorBrush(COLOR_BTNSHADOW));
    }
    if (m_swatchShare < 100)
        DrawCaption(lpDIS, text, FALSE);
}
