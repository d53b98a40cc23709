#include "catalogue/CatAppearance.h"

#include "resources/ids_catwin.h"

CCatAppearance::CCatAppearance()
    : initialView(0), iconSize(32), iconMargin(3), labelLines(2), gap(2), tabPoints(80), itemPoints(70),
      pageIcon(IDI_CAT_PAGE), readOnlyIcon(IDI_CAT_LOCK), protectedIcon(IDI_CAT_LOCK), textItemIcon(IDI_CAT_TEXT_ITEM),
      itemMenu(IDM_CAT_ITEM), managerMenu(IDM_CAT_MANAGER), maxIncrementalSaves(5)
{
    cell[0].cx = 50;
    cell[0].cy = 70;
    cell[1].cx = 40;
    cell[1].cy = 40;
    cell[2].cx = 0;     // full width; the height is set at creation
    cell[2].cy = 0;
    cell[3].cx = 0;
    cell[3].cy = 70;
    background = {RGB(255, 255, 128), TRUE, COLOR_WINDOW};
    text = {::GetSysColor(COLOR_WINDOWTEXT), FALSE, COLOR_WINDOWTEXT};
    highlight = {::GetSysColor(COLOR_HIGHLIGHT), FALSE, COLOR_HIGHLIGHT};
    highlightText = {::GetSysColor(COLOR_HIGHLIGHTTEXT), FALSE, COLOR_HIGHLIGHTTEXT};
    face = {::GetSysColor(COLOR_BTNFACE), FALSE, COLOR_BTNFACE};
    light = {::GetSysColor(COLOR_BTNHIGHLIGHT), FALSE, COLOR_BTNHIGHLIGHT};
    shadow = {::GetSysColor(COLOR_BTNSHADOW), FALSE, COLOR_BTNSHADOW};
    if (!tabFace.LoadString(IDS_CAT_TAB_FACE))
        tabFace = "MS Sans Serif";
    if (!itemFace.LoadString(IDS_CAT_ITEM_FACE))
        itemFace = "MS Sans Serif";
}

void CCatAppearance::RefreshSystemColours()
{
    Colour* colours[] = {&background, &text, &highlight, &highlightText, &face, &light, &shadow};
    for (Colour* c : colours)
        if (!c->fixed)
            c->value = ::GetSysColor(c->sysIndex);
}
