#pragma once
// A callout: a filled and outlined rectangle with the text centred in it.
#include "overlays/OverlayText.h"

class COverlayRectangle : public COverlayText {
    DECLARE_DYNAMIC(COverlayRectangle)
public:
    COverlayRectangle();

    void Draw(Gdiplus::Bitmap* frame, LONGLONG time) override;
    LPCTSTR GetTypeName() override { return "Rectangle"; }
    HRESULT WriteOwnXml(XmlNode& node) override;
    HRESULT ReadOwnXml(XmlNode& node, int position) override;

    float m_shapeX;   // Rectangle{X,Y,Width,Height}, in movie coordinates
    float m_shapeY;
    float m_shapeWidth;
    float m_shapeHeight;
};
