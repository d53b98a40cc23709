#pragma once
// Drawing arithmetic shared by the overlay kinds: the movie's scale and
// offset in a frame, the spotlight's ramp envelope, fonts from a LOGFONT with
// a face fallback, code-page-936 texts widened for GDI+, and text measuring.
#include "framework/AfxPlatform.h"
#include "framework/String.h"

#include <gdiplus.h>

#include <string>

namespace overlaygdi {

// The movie (movieWidth x movieHeight; a size <= 0 is the frame's own)
// displayed in a frame by a scale mode: the scales of the displayed movie and
// its offset, centred and truncated. Modes: 0 and 6 stretch to the frame, 1
// natural size, 2 uniform shrink when the frame is smaller else stretch, 3
// natural size when the frame is smaller else stretch, 4 each direction
// capped at 1, 5 (the default) uniform shrink when the frame is smaller else
// natural size.
struct MovieScale {
    double sx;
    double sy;
    int offsetX;
    int offsetY;
    int movieWidth;    // after the <= 0 rule
    int movieHeight;
};
MovieScale ComputeMovieScale(int mode, int frameWidth, int frameHeight, int movieWidth, int movieHeight);

// 1 inside [a, b]; rising from 0 at a over rampIn and falling to 0 at b over
// rampOut (the smaller applies where they overlap); outside: 1 when that
// side's ramp is 0, else 0.
double Envelope(LONGLONG t, LONGLONG a, LONGLONG b, LONGLONG rampIn, LONGLONG rampOut);

// A code-page-936 text as UTF-16.
std::wstring Widen(const char* text);

// The GDI+ style of a LOGFONT: italic 2, strike-out 8, underline 4, bold 1,
// bold italic 3, a later match replacing an earlier one.
int FontStyleOf(const LOGFONTA& font);

// The font of a LOGFONT (size its height in pixels). A face is found as an
// installed family or through the system's font substitutes (GDI+ does not
// look at them itself); a face found neither way falls back to "宋体", then
// to the installed family GDI maps a Chinese font to, then to a sans-serif
// family, and is reported to the log and to the hook. NULL only when no
// family exists.
Gdiplus::Font* CreateFont(const LOGFONTA& font);
typedef void (*FaceFallbackHook)(const char* wanted, const char* used);
void SetFaceFallbackHook(FaceFallbackHook hook);

// The box of the text laid out from 0,0 in a 1000 x 1000 box (truncated).
// DrawString puts the text inside its own padding: the box starts right of
// and below the origin, so centring uses its position as well as its size.
struct TextBox {
    int x;
    int y;
    int width;
    int height;
};
TextBox MeasureText(Gdiplus::Graphics& graphics, const std::wstring& text, const Gdiplus::Font& font);

}  // namespace overlaygdi
