#pragma once
// The base of the drawn kinds (text and callouts): pen, brush, background
// and text colours and the anti-aliasing switches. Abstract.
#include "overlays/Overlay.h"

class COverlayDrawing : public COverlay {
    DECLARE_DYNAMIC(COverlayDrawing)
public:
    COverlayDrawing();

    HRESULT WriteOwnXml(XmlNode& node) override;
    HRESULT ReadOwnXml(XmlNode& node, int position) override;

    COLORREF m_penColor;
    COLORREF m_bkColor;
    COLORREF m_brushColor;
    COLORREF m_textColor;
    int m_bkMode;
    int m_lineJoin;
    int m_penStyle;
    int m_penWidth;
    int m_antiAliasText;
    int m_antiAliasShapes;
};
