#pragma once
// A text over the video: the plain text in a font and the text colour, drawn
// at the destination's top-left corner. Also the base of the callouts, which
// centre the same text in a shape.
#include "overlays/OverlayDrawing.h"

class COverlayText : public COverlayDrawing {
    DECLARE_DYNAMIC(COverlayText)
public:
    COverlayText();

    void Draw(Gdiplus::Bitmap* frame, LONGLONG time) override;
    LPCTSTR GetTypeName() override { return "Text"; }
    HRESULT WriteOwnXml(XmlNode& node) override;
    HRESULT ReadOwnXml(XmlNode& node, int position) override;

    CString m_text;   // NonRichText, code page 936
    LOGFONTA m_font;

protected:
    // Fills and outlines the shape (x, y, width, height in movie
    // coordinates; the movie is centred in the frame unscaled) and centres
    // the text in it.
    void DrawCallout(Gdiplus::Bitmap* frame, LONGLONG time, float x, float y, float width, float height,
                     bool ellipse);
};
