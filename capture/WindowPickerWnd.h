#pragma once
// Picks a window, or, with the fixed flag, a fixed-size region that follows
// the mouse. The recorder window hands over its list of top-level windows;
// the window under the mouse (its client area when the mouse is in it) is
// outlined and a click chooses it. UI thread only.
#include "capture/PointPickerWnd.h"
#include "framework/String.h"

#include <vector>

// One window of the list the window picker chooses from.
struct PickerWindow {
    enum {
        kTakenFirst = 2,   // taken before all others when it holds the point
        kNeverTaken = 4,
    };
    HWND window = NULL;
    RECT rect = {0, 0, 0, 0};   // window rectangle, screen coordinates
    DWORD flags = 0;
    int z = 0;                  // increases along the list
    CString className;
    // Optional chain of sub-rectangles: the entry counts only when the point
    // stays inside each of them in turn.
    std::vector<RECT> chain;
};

// The entry under the point, or -1: the last entry marked taken-first that
// holds the point; otherwise the list is scanned in order and each entry
// that holds the point and is not marked never-taken becomes the candidate,
// the scan stopping at the first entry whose z value is not above the
// candidate's.
int FindPickerWindow(const std::vector<PickerWindow>& windows, POINT point);

// A fixed-size area centred on the point and pushed back inside the screen.
RECT FixedAreaAt(POINT point, int width, int height, int screenWidth, int screenHeight);

class CWindowPickerWnd : public CPointPickerWnd {
public:
    // With fixed set, the size is taken from the right and bottom of the
    // preferences' picked area and the window list is not used.
    CWindowPickerWnd(CRecorderPrefs* prefs, HWND notify, IAreaPickerHost* host,
                     const std::vector<PickerWindow>& windows, BOOL fixed, IRegionPageOwner* ownerPage = NULL,
                     int handBack = -1);

    HWND GetFoundWindow() const { return m_found; }

protected:
    BOOL CandidateAt(POINT point, RECT* candidate) override;
    void StoreChoice() override;
    int OutlineDepth() const override { return m_fixed ? 2 : 4; }

private:
    std::vector<PickerWindow> m_windows;
    BOOL m_fixed;
    int m_fixedWidth;
    int m_fixedHeight;
    HWND m_found;
};
