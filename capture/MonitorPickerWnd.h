#pragma once
// Picks one monitor of several: the monitor under the mouse is outlined and a
// click chooses its rectangle. UI thread only.
#include "capture/PointPickerWnd.h"

#include <vector>

class CMonitorPickerWnd : public CPointPickerWnd {
public:
    // monitors: the monitor rectangles in screen coordinates.
    CMonitorPickerWnd(CRecorderPrefs* prefs, HWND notify, IAreaPickerHost* host, const std::vector<RECT>& monitors,
                      IRegionPageOwner* ownerPage = NULL, int handBack = -1);

protected:
    BOOL CandidateAt(POINT point, RECT* candidate) override;
    void StoreChoice() override;
    int OutlineDepth() const override { return 4; }

private:
    std::vector<RECT> m_monitors;
};
