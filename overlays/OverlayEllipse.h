#pragma once
// A callout: a filled and outlined ellipse with the text centred in it.
#include "overlays/OverlayText.h"

class COverlayEllipse : public COverlayText {
    DECLARE_DYNAMIC(COverlayEllipse)
public:
    COverlayEllipse();

    void Draw(Gdiplus::Bitmap* frame, LONGLONG time) override;
    LPCTSTR GetTypeName() override { return "Ellipse"; }
    HRESULT WriteOwnXml(XmlNode& node) override;
    HRESULT ReadOwnXml(XmlNode& node, int position) override;

    float m_shapeX;   // Ellipse{X,Y,Width,Height}, in movie coordinates
    float m_shapeY;
    float m_shapeWidth;
    float m_shapeHeight;
};
