#include "overlays/OverlayDrawing.h"

#include "overlays/OverlayXml.h"
#include "settings/XmlNode.h"

IMPLEMENT_DYNAMIC(COverlayDrawing, COverlay)

COverlayDrawing::COverlayDrawing()
    : m_penColor(0xFF000000), m_bkColor(0xFF000000), m_brushColor(0xFF000000), m_textColor(0xFF000000), m_bkMode(1),
      m_lineJoin(2), m_penStyle(0), m_penWidth(2), m_antiAliasText(1), m_antiAliasShapes(1)
{
}

HRESULT COverlayDrawing::WriteOwnXml(XmlNode& node)
{
    node.WriteValue("PenColor", 9, (unsigned long)m_penColor);
    node.WriteValue("BkColor", 9, (unsigned long)m_bkColor);
    node.WriteValue("BrushColor", 9, (unsigned long)m_brushColor);
    node.WriteValue("TextColor", 9, (unsigned long)m_textColor);
    node.WriteValue("BkMode", 2, m_bkMode);
    node.WriteValue("LineJoin", 2, m_lineJoin);
    node.WriteValue("PenStyle", 2, m_penStyle);
    node.WriteValue("PenWidth", 2, m_penWidth);
    node.WriteValue("AntiAliasText", 2, m_antiAliasText);
    node.WriteValue("AntiAliasShapes", 2, m_antiAliasShapes);
    return 0;
}

HRESULT COverlayDrawing::ReadOwnXml(XmlNode& node, int position)
{
    using namespace overlayxml;
    ReadHex(node, "PenColor", m_penColor, position);
    ReadHex(node, "BkColor", m_bkColor, position);
    ReadHex(node, "BrushColor", m_brushColor, position);
    ReadHex(node, "TextColor", m_textColor, position);
    ReadInt(node, "BkMode", m_bkMode, position);
    ReadInt(node, "LineJoin", m_lineJoin, position);
    ReadInt(node, "PenStyle", m_penStyle, position);
    ReadInt(node, "PenWidth", m_penWidth, position);
    ReadInt(node, "AntiAliasText", m_antiAliasText, position);
    ReadInt(node, "AntiAliasShapes", m_antiAliasShapes, position);
    m_penWidth = Bound(m_penWidth, 0, 1000);
    m_lineJoin = Bound(m_lineJoin, 0, 3);
    return 0;
}
