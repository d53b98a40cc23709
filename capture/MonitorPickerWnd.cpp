#include "capture/MonitorPickerWnd.h"

#include "settings/RecorderPrefs.h"

CMonitorPickerWnd::CMonitorPickerWnd(CRecorderPrefs* prefs, HWND notify, IAreaPickerHost* host,
                                     const std::vector<RECT>& monitors, IRegionPageOwner* ownerPage, int handBack)
    : CPointPickerWnd(prefs, notify, host, ownerPage, handBack), m_monitors(monitors)
{
}

// An empty monitor rectangle is never a candidate.
BOOL CMonitorPickerWnd::CandidateAt(POINT point, RECT* candidate)
{
    for (const RECT& monitor : m_monitors) {
        if (!::IsRectEmpty(&monitor) && ::PtInRect(&monitor, point)) {
            *candidate = monitor;
            return TRUE;
        }
    }
    return FALSE;
}

void CMonitorPickerWnd::StoreChoice()
{
    if (!m_prefs)
        return;
    m_prefs->m_pickedArea = m_candidate;
    m_prefs->m_pickedWindow = NULL;
}
