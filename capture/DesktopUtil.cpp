#include "capture/DesktopUtil.h"

#include <stdlib.h>
#include <vector>

namespace {

BOOL CALLBACK CollectMonitor(HMONITOR, HDC, LPRECT rect, LPARAM param)
{
    ((std::vector<RECT>*)param)->push_back(*rect);
    return TRUE;
}

}  // namespace

RECT* GetDesktopExtent(int* width, int* height, POINT* origin, BOOL keep, int* monitorCount)
{
    int w = ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
    int h = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
    POINT o = {::GetSystemMetrics(SM_XVIRTUALSCREEN), ::GetSystemMetrics(SM_YVIRTUALSCREEN)};
    if (w <= 0 || h <= 0) {
        // Systems without the virtual-screen metrics: the primary screen.
        w = ::GetSystemMetrics(SM_CXSCREEN);
        h = ::GetSystemMetrics(SM_CYSCREEN);
        o.x = o.y = 0;
    }
    if (width)
        *width = w;
    if (height)
        *height = h;
    if (origin)
        *origin = o;
    if (monitorCount)
        *monitorCount = 0;
    if (!keep)
        return NULL;
    std::vector<RECT> monitors;
    ::EnumDisplayMonitors(NULL, NULL, CollectMonitor, (LPARAM)&monitors);
    if (monitors.empty()) {
        const RECT all = {o.x, o.y, o.x + w, o.y + h};
        monitors.push_back(all);
    }
    RECT* list = (RECT*)malloc(monitors.size() * sizeof(RECT));
    if (!list)
        return NULL;
    for (size_t i = 0; i < monitors.size(); ++i)
        list[i] = monitors[i];
    if (monitorCount)
        *monitorCount = (int)monitors.size();
    return list;
}

HPALETTE CreateSystemPalette(HDC dc, BOOL noCollapse)
{
    if (!dc || !(::GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE))
        return NULL;
    int entries = ::GetDeviceCaps(dc, SIZEPALETTE);
    if (entries <= 0 || entries > 256)
        entries = 256;
    std::vector<BYTE> block(sizeof(LOGPALETTE) + entries * sizeof(PALETTEENTRY));
    LOGPALETTE* palette = (LOGPALETTE*)block.data();
    palette->palVersion = 0x300;
    palette->palNumEntries = (WORD)entries;
    ::GetSystemPaletteEntries(dc, 0, entries, palette->palPalEntry);
    for (int i = 0; i < entries; ++i)
        palette->palPalEntry[i].peFlags = noCollapse ? PC_NOCOLLAPSE : 0;
    return ::CreatePalette(palette);
}
