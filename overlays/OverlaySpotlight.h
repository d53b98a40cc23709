#pragma once
// A spotlight: blurs and darkens the whole frame and lays a zoomed copy of
// one rectangle over it, on a soft shadow. Zoom, brightness and blur ramp in
// and out over the span.
#include "overlays/Overlay.h"

class COverlaySpotlight : public COverlay {
    DECLARE_DYNAMIC(COverlaySpotlight)
public:
    COverlaySpotlight();

    void Draw(Gdiplus::Bitmap* frame, LONGLONG time) override;
    LPCTSTR GetTypeName() override { return "Spotlight"; }
    HRESULT WriteOwnXml(XmlNode& node) override;
    HRESULT ReadOwnXml(XmlNode& node, int position) override;

    // Box blur of radius floor(r + 0.5) along rows then columns, the column
    // pass scaled by the brightness factor and limited to 255. Images not
    // larger than the window are left alone. FALSE when the pixels cannot
    // be locked.
    static BOOL BlurImage(Gdiplus::Bitmap* image, double radius, double brightness);

    float m_rectangleX;
    float m_rectangleY;
    float m_rectangleWidth;
    float m_rectangleHeight;
    float m_blurRadius;
    int m_offset;
    int m_addShadow;
    int m_zoomLevel;               // percent
    LONGLONG m_zoomLength;
    int m_brightness;              // 1/256; 256 leaves the brightness
    LONGLONG m_brightnessFadeTime;
    int m_horzOffset;              // percent of the rectangle
    int m_vertOffset;
    int m_shadowOffsetX;
    int m_shadowOffsetY;
    int m_shadowBlurPixels;

private:
    static void DrawSoftShadow(Gdiplus::Bitmap* frame, const RECT& target, int softX, int softY, double opacity);
};
