#include "controls/ShadeColour.h"

#include "framework/FloatRound.h"

namespace {
// The products are double-precision values before they are truncated, in the
// 32-bit build too (10 x 0.3 is 3, not the hair under it that the x87 unit
// would truncate to 2).
BYTE Lighten(BYTE c, double factor)
{
    return (BYTE)((255 - (int)RoundToDouble((255 - c) * factor)) & 0xFF);
}
BYTE Darken(BYTE c, double factor)
{
    return (BYTE)(((int)RoundToDouble(c * factor)) & 0xFF);
}
}  // namespace

COLORREF LightenColour(COLORREF colour, double factor)
{
    return RGB(Lighten(GetRValue(colour), factor), Lighten(GetGValue(colour), factor),
               Lighten(GetBValue(colour), factor));
}

COLORREF DarkenColour(COLORREF colour, double factor)
{
    return RGB(Darken(GetRValue(colour), factor), Darken(GetGValue(colour), factor),
               Darken(GetBValue(colour), factor));
}

CShadeColour::CShadeColour() : m_factor(1.0), m_mode(kAsIs), m_colour(0), m_sysColourIndex(-1)
{
}

CShadeColour::CShadeColour(int sysColourIndex)
    : m_factor(1.0), m_mode(kAsIs), m_colour(0), m_sysColourIndex(sysColourIndex)
{
}

CShadeColour::CShadeColour(COLORREF colour)
    : m_factor(1.0), m_mode(kAsIs), m_colour(colour), m_sysColourIndex(-1)
{
}

void CShadeColour::Set(int sysColourIndex, int mode, double factor)
{
    m_sysColourIndex = sysColourIndex;
    m_mode = mode;
    m_factor = factor;
    m_colour = 0;
}

COLORREF CShadeColour::Resolve() const
{
    const COLORREF base = m_sysColourIndex != -1 ? ::GetSysColor(m_sysColourIndex) : m_colour;
    switch (m_mode) {
    case kLighten:
        return LightenColour(base, m_factor);
    case kDarken:
        return DarkenColour(base, m_factor);
    default:
        return base;
    }
}
