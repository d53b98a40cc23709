#pragma once
// The drawing of the annotations that the frame composition paints into each
// frame: the cursor (or a standard arrow where the real one cannot be drawn),
// its highlight, the click marks, the caption and stamp text with its band,
// and the small rules that decide when and how large they are. Plain
// functions on a frame DC; the recorder engine calls them on the capture
// thread with its own state, the tests with a DC of their own.
#include "framework/AfxPlatform.h"

class CRational;
class CRecorderPrefs;
class CTextStyle;

// Caption and stamp placement values of the text style.
enum CaptionPlacement {
    kCaptionLeft = 0,
    kCaptionCentre = 16,
    kCaptionRight = 32,
    kCaptionTop = 0,
    kCaptionMiddle = 256,
    kCaptionBottom = 512,
};

// Where a caption goes in a frame: the band filled with the background
// colour (empty for a transparent style), the rectangle the text is drawn
// into and the text-effect flags.
struct CaptionLayout {
    BOOL hasBand;
    RECT band;
    RECT textRect;
    UINT flags;
};

// Lays out `text` in the style over the frame rectangle, measured with the
// style's font on `dc`. Not transparent: a band of the text's width plus two
// average characters and one and a half text lines high, at the style's
// horizontal and vertical place, the text centred in it. Transparent: no
// band; the whole frame is the text rectangle and the placement goes into
// the flags.
CaptionLayout LayoutCaptionText(HDC dc, const RECT& frame, const CTextStyle& style, LPCSTR text);

// Draws `text` in the style: the band (when the style has one), then the text
// with its shadow or outline. The style's font must have been made.
void DrawCaptionText(HDC dc, const RECT& frame, const CTextStyle& style, LPCSTR text);

// Whole seconds of recording at `frames` frames of a rate: frames x scale /
// rate, a rate of 0 taken as 1.
DWORD ElapsedWholeSeconds(DWORD frames, const CRational& rate);

// TRUE when the system stamp is drawn at that elapsed time: always, or with
// the automatic stamp only during its first duration seconds.
BOOL StampDue(const CRecorderPrefs& prefs, DWORD elapsedSeconds);

// Frames a click mark lasts: a third of the frames per second, at least 1.
// The measured rate counts when it is above 0, else the rate in effect.
int ClickMarkFrames(float measuredRate, const CRational& rate);

// One click mark (left or right button): started by a press, it grows over
// its frames from size / frames to the full size.
class CClickMark {
public:
    CClickMark() : m_countdown(0) {}
    void Start(int frames) { m_countdown = frames > 0 ? frames : 1; }
    BOOL IsRunning() const { return m_countdown > 0; }
    // The radius for this frame (size / frames still to draw) and one frame
    // less to go; 0 when no mark runs.
    int NextRadius(int size);

private:
    int m_countdown;
};

// Shapes of a click mark.
enum ClickMarkShape {
    kClickRing = 0,
    kClickDisc = 1,
};

// A ring (2-pixel pen) or a filled disc of `radius` around `centre`; other
// shapes draw nothing.
void DrawClickMark(HDC dc, POINT centre, int radius, int shape, COLORREF colour);

// The rectangle of the cursor highlight: a square of side `size` centred on
// the cursor; the wide shapes (2000, 2001, 8000) lose a quarter of the height
// at the top and at the bottom.
RECT HighlightRect(POINT centre, int size, int shape);

// The highlight shape around the cursor: translucent 2 tints what lies under
// it (the shape on white, combined by AND), 1 the shape's inner fill, 0 the
// solid shape.
void DrawCursorHighlight(HDC dc, POINT centre, int size, int shape, int translucent, COLORREF colour);

// Draws the cursor with its hot spot at `position`. When the cursor cannot be
// drawn (no handle, or another program's cursor, which Wine will not hand
// out), a standard arrow is drawn with its tip there. Returns TRUE when the
// real cursor was drawn.
BOOL DrawCursorImage(HDC dc, HCURSOR cursor, POINT hotSpot, POINT position);

// The standard arrow, tip at `tip`: the system's arrow cursor, or a drawn
// black-edged white arrow when even that cannot be drawn.
void DrawStandardArrow(HDC dc, POINT tip);
