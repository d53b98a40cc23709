// Filters of the preview and output chains that Wine lacks:
// - the colour space converter (CLSID_Colour): RGB32, RGB24 or RGB555 in and
//   out at the same size (rows keep their order);
// - the overlay filter: hands each RGB32 frame, in place, to the drawer its
//   owner gives it (the timeline's overlay list), at the frame's timeline
//   time = the start time set on it + the sample's start (samples count
//   from 0 after every seek and in render ranges). Other frames, and every
//   frame while no drawer is set, pass unchanged.
// - the zoom filter: passes frames unchanged in place and keeps what its
//   owner sets on it (output geometry, the numbered settings, whether zoom
//   rectangles show, the start time) for the zoom-and-pan pictures, which
//   this system does not draw.
// All are made through the factory. Threads: as the filter base; the drawer
// is called on the streaming thread.
#pragma once
#include <windows.h>
#include <unknwn.h>

extern "C" {
extern const CLSID CLSID_XrvOverlayFilter;
extern const IID IID_IOverlayFrameDrawer;
extern const IID IID_IXrvOverlay;
extern const CLSID CLSID_XrvZoomFilter;
extern const IID IID_IZoomPIPFilter;
}

// Draws into a frame: `scan0` is the picture's top row and `stride` the
// bytes from one row to the one below it (negative for a bottom-up frame);
// 4 bytes per pixel, blue first. `time` is the frame's timeline time in
// 100-ns units.
DECLARE_INTERFACE_(IOverlayFrameDrawer, IUnknown)
{
    STDMETHOD(DrawFrame)(BYTE* scan0, LONG width, LONG height, LONG stride, LONGLONG time) PURE;
    // The lock that edits of what is drawn take; held while DrawFrame runs.
    STDMETHOD_(CRITICAL_SECTION*, GetDrawLock)() PURE;
};

// The overlay filter's own interface (the platform headers already name an
// unrelated IOverlay).
DECLARE_INTERFACE_(IXrvOverlay, IUnknown)
{
    // The drawer (held), or NULL to pass frames unchanged.
    STDMETHOD(SetDrawer)(IOverlayFrameDrawer* drawer) PURE;
    STDMETHOD(GetDrawer)(IOverlayFrameDrawer** drawer) PURE;
    // The timeline time of the next segment's sample time 0.
    STDMETHOD(SetStartTime)(LONGLONG start) PURE;
    STDMETHOD(GetStartTime)(LONGLONG* start) PURE;
    // The drawer's lock, NULL without a drawer.
    STDMETHOD_(CRITICAL_SECTION*, GetLock)() PURE;
    // While `a` is non-zero and `b` is an event handle, the filter sets that
    // event each time it has passed a frame on (a preview waits for the frame
    // a seek shows); (0, anything) stops it. The handle stays the caller's.
    STDMETHOD(SetValue)(LONG a, LONG_PTR b) PURE;
    STDMETHOD(GetValue)(LONG* a, LONG_PTR* b) PURE;
    // Frames handed to the drawer so far (tests see the route).
    STDMETHOD_(LONG, DrawnFrames)() PURE;
};

// The zoom filter's interface. Numbered settings are 12, 14 and 15; other
// numbers are E_INVALIDARG.
DECLARE_INTERFACE_(IZoomPIPFilter, IUnknown)
{
    STDMETHOD(SetOutputGeometry)(int width, int height, int stretchMode, int value1, int value2) PURE;
    STDMETHOD(GetOutputGeometry)(int* width, int* height, int* stretchMode, int* value1, int* value2) PURE;
    STDMETHOD(SetSetting)(int number, int value) PURE;
    STDMETHOD(GetSetting)(int number, int* value) PURE;
    STDMETHOD(ShowZoomRects)(BOOL show) PURE;
    STDMETHOD(GetShowZoomRects)(BOOL* show) PURE;
    STDMETHOD(SetStartTime)(LONGLONG start) PURE;
    STDMETHOD(GetStartTime)(LONGLONG* start) PURE;
};

// For CComQIPtr and __uuidof.
__CRT_UUID_DECL(IOverlayFrameDrawer, 0x8f0c4a3e, 0x2b71, 0x4d52, 0x9e, 0x36, 0x5a, 0x1c, 0x7b, 0x90, 0xd4, 0xe1)
__CRT_UUID_DECL(IXrvOverlay, 0x8f0c4a3f, 0x2b71, 0x4d52, 0x9e, 0x36, 0x5a, 0x1c, 0x7b, 0x90, 0xd4, 0xe1)
__CRT_UUID_DECL(IZoomPIPFilter, 0x8f0c4a40, 0x2b71, 0x4d52, 0x9e, 0x36, 0x5a, 0x1c, 0x7b, 0x90, 0xd4, 0xe1)

HRESULT DexCreateColourConverter(REFIID riid, void** ppv);
HRESULT DexCreateZoomFilter(REFIID riid, void** ppv);
HRESULT DexCreateOverlayFilter(REFIID riid, void** ppv);
