#pragma once
#include "framework/AfxPlatform.h"
#include "framework/Collections.h"
#include "framework/Object.h"

// One monitor's rectangle in virtual-screen coordinates.
class CMonitorRect : public CObject {
public:
    CMonitorRect(const RECT& rect) : m_rect(rect) {}
    RECT m_rect;
};

// The monitors attached to the desktop, their rectangles and the union of
// them (which always contains the origin). Owns its entries. UI thread.
class CMonitorList : public CObList {
public:
    CMonitorList();
    ~CMonitorList() override;

    // Lists the monitors; the number found (0 where the monitor functions are
    // missing, as on Windows NT 4).
    int Enumerate();
    // Adds one monitor and widens the union; used by Enumerate.
    void AddMonitor(const RECT& rect);
    void RemoveAllMonitors();

    RECT m_union;
    int m_count;
};

// Fills (0, 0, width, height) of the target with the colour, then copies every
// monitor's area from the source (at the monitor's position) to the target (at
// its position relative to the union's top-left corner).
void BlitMonitorAreas(HDC source, HDC target, int width, int height, const CMonitorList& monitors, COLORREF fill,
                      BOOL captureLayeredWindows);
// Frees the libraries loaded for the monitor functions.
void FreeMonitorApis();
