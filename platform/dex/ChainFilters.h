// Filters of the preview and output chains that Wine lacks:
// - the colour space converter (CLSID_Colour): RGB32 in; RGB32, RGB24 or
//   RGB555 out at the same size (rows keep their order);
// - the overlay filter's stand-in: passes frames unchanged in place (the
//   drawing comes with the overlays).
// Both are made through the factory. Threads: as the filter base.
#pragma once
#include <windows.h>

extern "C" {
extern const CLSID CLSID_XrvOverlayFilter;
}

HRESULT DexCreateColourConverter(REFIID riid, void** ppv);
HRESULT DexCreateOverlayFilter(REFIID riid, void** ppv);
