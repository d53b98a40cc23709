#include "capture/WindowPickerWnd.h"

#include "settings/RecorderPrefs.h"

namespace {

bool HoldsPoint(const PickerWindow& entry, POINT point)
{
    if (!::PtInRect(&entry.rect, point))
        return false;
    for (const RECT& sub : entry.chain) {
        if (!::PtInRect(&sub, point))
            return false;
    }
    return true;
}

// Windows of this class are taken whole, frame included.
const char kWholeWindowClass[] = "ttyGrab";

}  // namespace

int FindPickerWindow(const std::vector<PickerWindow>& windows, POINT point)
{
    int first = -1;
    for (size_t i = 0; i < windows.size(); ++i) {
        if ((windows[i].flags & PickerWindow::kTakenFirst) && HoldsPoint(windows[i], point))
            first = (int)i;
    }
    if (first >= 0)
        return first;
    int found = -1;
    for (size_t i = 0; i < windows.size(); ++i) {
        if (found >= 0 && windows[i].z <= windows[found].z)
            break;
        if (!(windows[i].flags & PickerWindow::kNeverTaken) && HoldsPoint(windows[i], point))
            found = (int)i;
    }
    return found;
}

RECT FixedAreaAt(POINT point, int width, int height, int screenWidth, int screenHeight)
{
    RECT area;
    area.left = width < 2 ? point.x : point.x - width / 2;
    area.top = height < 2 ? point.y : point.y - height / 2;
    if (area.left < 0)
        area.left = 0;
    if (area.top < 0)
        area.top = 0;
    if (area.left + width > screenWidth)
        area.left = screenWidth - width;
    if (area.top + height > screenHeight)
        area.top = screenHeight - height;
    area.right = area.left + width;
    area.bottom = area.top + height;
    return area;
}

CWindowPickerWnd::CWindowPickerWnd(CRecorderPrefs* prefs, HWND notify, IAreaPickerHost* host,
                                   const std::vector<PickerWindow>& windows, BOOL fixed,
                                   IRegionPageOwner* ownerPage, int handBack)
    : CPointPickerWnd(prefs, notify, host, ownerPage, handBack), m_windows(windows), m_fixed(fixed),
      m_fixedWidth(0), m_fixedHeight(0), m_found(NULL)
{
    if (m_fixed && prefs) {
        m_fixedWidth = prefs->m_pickedArea.right;
        m_fixedHeight = prefs->m_pickedArea.bottom;
    }
}

// A window of the list that has gone since the list was made is never taken
// again; the search goes on with the rest.
BOOL CWindowPickerWnd::CandidateAt(POINT point, RECT* candidate)
{
    if (m_fixed) {
        if (m_fixedWidth <= 0 || m_fixedHeight <= 0)
            return FALSE;
        *candidate = FixedAreaAt(point, m_fixedWidth, m_fixedHeight, m_screenWidth, m_screenHeight);
        return TRUE;
    }
    int index;
    while ((index = FindPickerWindow(m_windows, point)) >= 0 && !::IsWindow(m_windows[index].window)) {
        m_windows[index].flags &= ~(DWORD)PickerWindow::kTakenFirst;
        m_windows[index].flags |= PickerWindow::kNeverTaken;
    }
    if (index < 0)
        return FALSE;
    const PickerWindow& entry = m_windows[index];
    RECT area = entry.rect;
    if (entry.className != kWholeWindowClass) {
        RECT client;
        if (::GetClientRect(entry.window, &client)) {
            ::MapWindowPoints(entry.window, NULL, (POINT*)&client, 2);
            if (::PtInRect(&client, point))
                area = client;
        }
    }
    const RECT screen = {0, 0, m_screenWidth, m_screenHeight};
    if (!::IntersectRect(candidate, &area, &screen))
        return FALSE;
    m_found = entry.window;
    return TRUE;
}

void CWindowPickerWnd::StoreChoice()
{
    if (!m_prefs)
        return;
    m_prefs->m_pickedArea = m_candidate;
    m_prefs->m_pickedWindow = m_fixed ? NULL : m_found;
}
