#pragma once
#include "controls/QK508Button.h"

// A button that shows a colour swatch and writes the colour's red, green and
// blue values into its window text (for screen readers and tests).
class QK508ColorButton : public QK508Button {
    DECLARE_DYNCREATE(QK508ColorButton)
public:
    enum Side { kRight = 0, kTop = 1, kLeft = 2, kBottom = 4 };

    QK508ColorButton();
    ~QK508ColorButton() override;

    void SetColour(COLORREF colour);
    COLORREF GetColour() const { return m_colour; }
    void SetCaption(LPCTSTR lpszText) override;
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

    int m_swatchSide;    // Side: 1 top, 2 left, 4 bottom, otherwise right
    int m_swatchShare;   // percent of the face, 100 = the whole face, no text

protected:
    void BuildWindowText();
    COLORREF m_colour;   // -1 until set
};
