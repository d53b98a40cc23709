#include "overlays/HotspotInfo.h"

#include "overlays/OverlayXml.h"
#include "settings/XmlNode.h"

HotspotInfo::HotspotInfo()
    : m_gotoTime(0), m_action(0), m_openUrlInNewWindow(0), m_pauseAtEnd(1), m_bookmarkTime(0), m_bookmarkUniqueId(0),
      m_work1(0), m_work2(0)
{
}

HotspotInfo::~HotspotInfo() {}

void HotspotInfo::WriteXml(XmlNode& node)
{
    m_work1 = 0;
    m_work2 = 0;
    node.WriteOpenTag("Hotspot_Info");
    node.WriteValue("JumpURL", 1, m_jumpUrl);
    overlayxml::WriteTime(node, "GotoTime", m_gotoTime);
    node.WriteValue("Action", 2, m_action);
    node.WriteValue("OpenURLInNewWindow", 2, m_openUrlInNewWindow);
    node.WriteValue("PauseAtEnd", 2, m_pauseAtEnd);
    overlayxml::WriteTime(node, "BookmarkTime", m_bookmarkTime);
    node.WriteValue("BookmarkUniqueID", 9, (unsigned long)m_bookmarkUniqueId);
    node.WriteCloseTag("Hotspot_Info");
}

BOOL HotspotInfo::ReadXml(XmlNode& node, int position)
{
    XmlNode block;
    int at = position;
    if (!node.FindElement("Hotspot_Info", block, at))
        return FALSE;
    overlayxml::ReadText(block, "JumpURL", m_jumpUrl, 0);
    overlayxml::ReadTime(block, "GotoTime", m_gotoTime, 0);
    overlayxml::ReadInt(block, "Action", m_action, 0);
    overlayxml::ReadInt(block, "OpenURLInNewWindow", m_openUrlInNewWindow, 0);
    overlayxml::ReadInt(block, "PauseAtEnd", m_pauseAtEnd, 0);
    overlayxml::ReadTime(block, "BookmarkTime", m_bookmarkTime, 0);
    COLORREF id = m_bookmarkUniqueId;
    overlayxml::ReadHex(block, "BookmarkUniqueID", id, 0);
    m_bookmarkUniqueId = id;
    return TRUE;
}
