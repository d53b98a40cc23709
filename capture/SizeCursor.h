#pragma once
// The region picker's drag cursor: the monochrome cursor resource
// IDC_PICKER_SIZE with the band's height and width drawn into it as digits.
// Owned by the picker; UI thread only.
#include "framework/AfxPlatform.h"

#include <vector>

class CSizeCursor {
public:
    // Rows of the XOR half of the cursor mask (bottom-up row order) that hold
    // the two numbers, and the first column and pitch of their digits.
    static const int kHeightRow = 1;
    static const int kWidthRow = 15;
    static const int kDigitRows = 7;
    static const int kDigitWidth = 3;
    static const int kFirstDigitColumn = 12;
    static const int kDigitPitch = 4;
    static const int kMaxDigits = 5;
    // The digits' glyphs: seven rows, top row first, bit 2 the left pixel.
    static const BYTE kGlyphs[10][kDigitRows];

    CSizeCursor();
    ~CSizeCursor();

    // TRUE when the resource loaded with a one-bit mask.
    BOOL IsUsable() const { return !m_bits.empty(); }
    // Makes the cursor that shows the two numbers (values above 99999 or
    // below 0 show 99999), makes it current and destroys the one made
    // before; NULL when the resource is not usable.
    HCURSOR Show(int width, int height);
    // Destroys the cursor made last; call once it is no longer current.
    void Release();

private:
    void DrawNumber(std::vector<BYTE>& bits, int row, int value) const;

    std::vector<BYTE> m_bits;   // the mask as a bottom-up 1-bit DIB
    int m_width;
    int m_maskHeight;           // twice the cursor's height: AND half, XOR half
    int m_stride;
    DWORD m_hotX;
    DWORD m_hotY;
    HCURSOR m_cursor;
};
