#pragma once
// The hot spot of an overlay: data that travels with it (a jump address, a
// go-to time, an action and a bookmark). Nothing here acts on it. Owned by its
// overlay.
#include "framework/AfxPlatform.h"
#include "framework/String.h"

class XmlNode;

class HotspotInfo {
public:
    HotspotInfo();
    virtual ~HotspotInfo();

    // The "Hotspot_Info" block; the two work values are cleared first.
    void WriteXml(XmlNode& node);
    // Reads the block found from the position on; FALSE when there is none.
    BOOL ReadXml(XmlNode& node, int position);

    CString m_jumpUrl;
    LONGLONG m_gotoTime;
    int m_action;
    int m_openUrlInNewWindow;
    int m_pauseAtEnd;
    LONGLONG m_bookmarkTime;
    DWORD m_bookmarkUniqueId;
    LONGLONG m_work1;   // not stored
    LONGLONG m_work2;   // not stored

private:
    HotspotInfo(const HotspotInfo&) = delete;
    HotspotInfo& operator=(const HotspotInfo&) = delete;
};
