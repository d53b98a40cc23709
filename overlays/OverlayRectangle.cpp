#include "overlays/OverlayRectangle.h"

#include "overlays/OverlayXml.h"
#include "settings/XmlNode.h"

IMPLEMENT_DYNAMIC(COverlayRectangle, COverlayText)

COverlayRectangle::COverlayRectangle() : m_shapeX(0), m_shapeY(0), m_shapeWidth(0), m_shapeHeight(0) {}

HRESULT COverlayRectangle::WriteOwnXml(XmlNode& node)
{
    COverlayText::WriteOwnXml(node);
    node.WriteValue("RectangleX", 7, m_shapeX);
    node.WriteValue("RectangleY", 7, m_shapeY);
    node.WriteValue("RectangleWidth", 7, m_shapeWidth);
    node.WriteValue("RectangleHeight", 7, m_shapeHeight);
    return 0;
}

HRESULT COverlayRectangle::ReadOwnXml(XmlNode& node, int position)
{
    using namespace overlayxml;
    COverlayText::ReadOwnXml(node, position);
    ReadFloat(node, "RectangleX", m_shapeX, position);
    ReadFloat(node, "RectangleY", m_shapeY, position);
    ReadFloat(node, "RectangleWidth", m_shapeWidth, position);
    ReadFloat(node, "RectangleHeight", m_shapeHeight, position);
    m_shapeX = Bound(m_shapeX, -65536.0f, 65536.0f);
    m_shapeY = Bound(m_shapeY, -65536.0f, 65536.0f);
    m_shapeWidth = Bound(m_shapeWidth, 0.0f, 65536.0f);
    m_shapeHeight = Bound(m_shapeHeight, 0.0f, 65536.0f);
    return 0;
}

void COverlayRectangle::Draw(Gdiplus::Bitmap* frame, LONGLONG time)
{
    DrawCallout(frame, time, m_shapeX, m_shapeY, m_shapeWidth, m_shapeHeight, false);
}
