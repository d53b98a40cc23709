#include "overlays/OverlayText.h"

#include "overlays/OverlayGdi.h"
#include "overlays/OverlayXml.h"
#include "settings/XmlNode.h"

#include <memory>

IMPLEMENT_DYNAMIC(COverlayText, COverlayDrawing)

COverlayText::COverlayText()
{
    memset(&m_font, 0, sizeof(m_font));
    m_font.lfHeight = 100;
    lstrcpynA(m_font.lfFaceName, "宋体", LF_FACESIZE);
}

HRESULT COverlayText::WriteOwnXml(XmlNode& node)
{
    COverlayDrawing::WriteOwnXml(node);
    node.WriteFont("TextFont", m_font, 8);
    node.WriteValue("NonRichText", 1, m_text);
    return 0;
}

HRESULT COverlayText::ReadOwnXml(XmlNode& node, int position)
{
    COverlayDrawing::ReadOwnXml(node, position);
    int at = position;
    int flags = 0;
    LOGFONTA font;
    if (node.ReadFont(at, "TextFont", font, flags)) {
        font.lfHeight = overlayxml::Bound((int)font.lfHeight, -4000, 4000);
        m_font = font;
    }
    overlayxml::ReadText(node, "NonRichText", m_text, position);
    return 0;
}

void COverlayText::Draw(Gdiplus::Bitmap* frame, LONGLONG time)
{
    if (!frame || !IsActiveAt(time) || m_text.IsEmpty())
        return;
    Gdiplus::Graphics graphics(frame);
    if (graphics.GetLastStatus() != Gdiplus::Ok)
        return;
    std::unique_ptr<Gdiplus::Font> font(overlaygdi::CreateFont(m_font));
    if (!font)
        return;
    if (m_antiAliasText)
        graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
    Gdiplus::SolidBrush brush(Gdiplus::Color(FadedColor(m_textColor, time)));
    const std::wstring text = overlaygdi::Widen(m_text.GetString());
    graphics.DrawString(text.c_str(), (INT)text.size(), font.get(), Gdiplus::PointF(m_rectDestX, m_rectDestY),
                        &brush);
}

// Callouts are not scaled: the movie sits centred in the frame at its own
// size (the frame's size when none is stored).
void COverlayText::DrawCallout(Gdiplus::Bitmap* frame, LONGLONG time, float x, float y, float width, float height,
                               bool ellipse)
{
    if (!frame || !IsActiveAt(time))
        return;
    const int frameWidth = (int)frame->GetWidth();
    const int frameHeight = (int)frame->GetHeight();
    const int movieWidth = m_movieWidth > 0 ? m_movieWidth : frameWidth;
    const int movieHeight = m_movieHeight > 0 ? m_movieHeight : frameHeight;
    const float left = (float)((frameWidth - movieWidth) / 2) + x;
    const float top = (float)((frameHeight - movieHeight) / 2) + y;

    Gdiplus::Graphics graphics(frame);
    if (graphics.GetLastStatus() != Gdiplus::Ok)
        return;
    Gdiplus::Pen pen(Gdiplus::Color(FadedColor(m_penColor, time)), (Gdiplus::REAL)m_penWidth);
    pen.SetLineJoin((Gdiplus::LineJoin)m_lineJoin);
    Gdiplus::SolidBrush fill(Gdiplus::Color(FadedColor(m_brushColor, time)));
    if (m_antiAliasShapes)
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    if (ellipse) {
        graphics.FillEllipse(&fill, left, top, width, height);
        if (m_penWidth > 0)
            graphics.DrawEllipse(&pen, left, top, width, height);
    } else {
        graphics.FillRectangle(&fill, left, top, width, height);
        if (m_penWidth > 0)
            graphics.DrawRectangle(&pen, left, top, width, height);
    }
    if (m_text.IsEmpty())
        return;
    std::unique_ptr<Gdiplus::Font> font(overlaygdi::CreateFont(m_font));
    if (!font)
        return;
    if (m_antiAliasText)
        graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
    const std::wstring text = overlaygdi::Widen(m_text.GetString());
    // The measured box, not the drawing origin, is centred on the shape.
    const overlaygdi::TextBox box = overlaygdi::MeasureText(graphics, text, *font);
    Gdiplus::SolidBrush brush(Gdiplus::Color(FadedColor(m_textColor, time)));
    const Gdiplus::PointF origin(left + width * 0.5f - box.x - box.width / 2.0f,
                                 top + height * 0.5f - box.y - box.height / 2.0f);
    graphics.DrawString(text.c_str(), (INT)text.size(), font.get(), origin, &brush);
}
