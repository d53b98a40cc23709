#pragma once
#include "framework/AfxPlatform.h"

// Lightens each channel toward white: c becomes 255 - trunc((255 - c) x
// factor); 1.0 keeps the colour, 0.0 gives white.
COLORREF LightenColour(COLORREF colour, double factor);
// Darkens each channel toward black: c becomes trunc(c x factor); 1.0 keeps
// the colour, 0.0 gives black.
COLORREF DarkenColour(COLORREF colour, double factor);

// A colour that can follow a system colour and be lightened or darkened by a
// factor when it is resolved. A plain value; any thread.
class CShadeColour {
public:
    enum Mode { kLighten = 0, kDarken = 1, kAsIs = 2 };

    CShadeColour();
    // From a system colour index (an int) or from a colour (a COLORREF).
    explicit CShadeColour(int sysColourIndex);
    explicit CShadeColour(COLORREF colour);

    // Sets index, mode and factor; the stored colour becomes 0.
    void Set(int sysColourIndex, int mode, double factor);
    COLORREF Resolve() const;

    double m_factor;
    int m_mode;
    COLORREF m_colour;
    int m_sysColourIndex;   // -1: use m_colour
};
