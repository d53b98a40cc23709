#pragma once
#include "framework/AfxPlatform.h"
#include "framework/String.h"

// How the catalogue windows look: cell sizes per view, icon and label
// metrics, colours (each either fixed or following the system), fonts,
// header icons, context menus and the allowance of incremental saves. One
// record, owned by the manager and shared with its item window.
struct CCatAppearance {
    struct Colour {
        COLORREF value;
        BOOL fixed;
        int sysIndex;   // the system colour it follows when not fixed
    };

    CCatAppearance();
    // Reads every colour that is not fixed from the system again.
    void RefreshSystemColours();
    // The icon box: the icon size plus the margin on both sides.
    int IconBox() const { return iconSize + 2 * iconMargin; }

    SIZE cell[4];
    int initialView;
    int iconSize;
    int iconMargin;
    int labelLines;
    Colour background, text, highlight, highlightText, face, light, shadow;
    int gap;
    CString tabFace;
    int tabPoints;      // tenths of a point
    CString itemFace;
    int itemPoints;
    UINT pageIcon;      // 0: no page icon drawn
    UINT readOnlyIcon;
    UINT protectedIcon;
    UINT textItemIcon;
    UINT itemMenu;
    UINT managerMenu;
    int maxIncrementalSaves;
};
