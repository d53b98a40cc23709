#include "overlays/OverlayEllipse.h"

#include "overlays/OverlayXml.h"
#include "settings/XmlNode.h"

IMPLEMENT_DYNAMIC(COverlayEllipse, COverlayText)

COverlayEllipse::COverlayEllipse() : m_shapeX(0), m_shapeY(0), m_shapeWidth(0), m_shapeHeight(0) {}

HRESULT COverlayEllipse::WriteOwnXml(XmlNode& node)
{
    COverlayText::WriteOwnXml(node);
    node.WriteValue("EllipseX", 7, m_shapeX);
    node.WriteValue("EllipseY", 7, m_shapeY);
    node.WriteValue("EllipseWidth", 7, m_shapeWidth);
    node.WriteValue("EllipseHeight", 7, m_shapeHeight);
    return 0;
}

HRESULT COverlayEllipse::ReadOwnXml(XmlNode& node, int position)
{
    using namespace overlayxml;
    COverlayText::ReadOwnXml(node, position);
    ReadFloat(node, "EllipseX", m_shapeX, position);
    ReadFloat(node, "EllipseY", m_shapeY, position);
    ReadFloat(node, "EllipseWidth", m_shapeWidth, position);
    ReadFloat(node, "EllipseHeight", m_shapeHeight, position);
    m_shapeX = Bound(m_shapeX, -65536.0f, 65536.0f);
    m_shapeY = Bound(m_shapeY, -65536.0f, 65536.0f);
    m_shapeWidth = Bound(m_shapeWidth, 0.0f, 65536.0f);
    m_shapeHeight = Bound(m_shapeHeight, 0.0f, 65536.0f);
    return 0;
}

void COverlayEllipse::Draw(Gdiplus::Bitmap* frame, LONGLONG time)
{
    DrawCallout(frame, time, m_shapeX, m_shapeY, m_shapeWidth, m_shapeHeight, true);
}
