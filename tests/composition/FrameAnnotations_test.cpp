#include "capture/FrameAnnotations.h"

#include "platform/imaging/Imaging.h"
#include "settings/RecorderPrefs.h"
#include "settings/Rational.h"
#include "settings/TextStyle.h"
#include "../capture/CaptureTestSupport.h"
#include "ComposeTestSupport.h"

#include <gtest/gtest.h>
#include <string.h>

using namespace composetest;

namespace {

const COLORREF kScreen = RGB(0, 0, 128);
const COLORREF kBand = RGB(0, 200, 0);
const COLORREF kText = RGB(255, 255, 255);

void MakeStyle(CTextStyle* style, int posX, int posY, BOOL transparent)
{
    style->m_posX = posX;
    style->m_posY = posY;
    style->m_style = IMG_TEXT_NORMAL;
    style->m_transparent = transparent;
    style->m_wordWrap = FALSE;
    style->m_textColor = kText;
    style->m_backgroundColor = kBand;
    style->m_shadowColor = RGB(0, 0, 0);
    style->m_outlineColor = RGB(0, 0, 0);
    style->m_fontHeight = -20;
    style->m_fontWeight = FW_BOLD;
    style->m_faceName = "Arial";
    ASSERT_TRUE(style->MakeFont());
}

// The band the caption should get, measured independently: the text's
// extent plus two average characters wide, one and a half lines high.
SIZE ExpectedBand(HDC dc, const CTextStyle& style, const char* text, int frameWidth, int frameHeight)
{
    HGDIOBJ old = ::SelectObject(dc, style.GetFont());
    SIZE extent = {};
    ::GetTextExtentPoint32A(dc, text, (int)strlen(text), &extent);
    TEXTMETRICA tm = {};
    ::GetTextMetricsA(dc, &tm);
    ::SelectObject(dc, old);
    SIZE band = {extent.cx + 2 * tm.tmAveCharWidth, frameHeight > extent.cy ? extent.cy * 3 / 2 : 0};
    if (band.cx > frameWidth)
        band.cx = frameWidth;
    if (band.cy > frameHeight)
        band.cy = frameHeight;
    return band;
}

}  // namespace

// The caption band sits where its style places it, one and a half text lines
// high, and the text lies inside it; a band wider or taller than the frame is
// cut to the frame.
TEST(CaptionText, BandSitsWhereTheStylePlacesIt)
{
    struct Case {
        const char* name;
        int width, height, posX, posY;
        const char* text;
    };
    const Case cases[] = {
        {"top left", 400, 300, kCaptionLeft, kCaptionTop, "Vexcap caption"},
        {"bottom centre", 400, 300, kCaptionCentre, kCaptionBottom, "Vexcap caption"},
        {"middle right", 400, 300, kCaptionRight, kCaptionMiddle, "Vexcap caption"},
        {"bottom right", 400, 300, kCaptionRight, kCaptionBottom, "Vexcap caption"},
        {"odd sizes centre middle", 401, 301, kCaptionCentre, kCaptionMiddle, "Vexcap caption"},
        {"wider than the frame", 60, 300, kCaptionCentre, kCaptionBottom, "A caption much wider than the frame"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTextStyle style;
        MakeStyle(&style, c.posX, c.posY, FALSE);
        TestFrame frame(c.width, c.height, kScreen);
        const SIZE band = ExpectedBand(frame.Dc(), style, c.text, c.width, c.height);
        int left = 0, top = 0;
        if (c.posX == kCaptionCentre)
            left = (c.width - band.cx) / 2;
        if (c.posX == kCaptionRight)
            left = c.width - band.cx;
        if (c.posY == kCaptionMiddle)
            top = (c.height - band.cy) / 2;
        if (c.posY == kCaptionBottom)
            top = c.height - band.cy;
        const RECT expected = {left, top, left + band.cx, top + band.cy};

        const RECT whole = {0, 0, c.width, c.height};
        const CaptionLayout layout = LayoutCaptionText(frame.Dc(), whole, style, c.text);
        EXPECT_TRUE(layout.hasBand);
        EXPECT_TRUE(::EqualRect(&layout.band, &expected));
        EXPECT_EQ((UINT)(IMG_TEXT_NORMAL | 0x110), layout.flags);

        DrawCaptionText(frame.Dc(), whole, style, c.text);
        const RECT filled = frame.BoundsOf(kBand);
        EXPECT_TRUE(::EqualRect(&filled, &expected))
            << "band " << filled.left << "," << filled.top << "," << filled.right << "," << filled.bottom
            << " expected " << expected.left << "," << expected.top << "," << expected.right << ","
            << expected.bottom;
        // Text pixels only inside the band, and some there.
        EXPECT_GT(frame.CountNear(expected, kText, 40), 10);
        RECT above = {0, 0, c.width, expected.top};
        RECT below = {0, expected.bottom, c.width, c.height};
        EXPECT_EQ(0, frame.CountOther(above, kScreen));
        EXPECT_EQ(0, frame.CountOther(below, kScreen));
    }
}

// A frame no taller than the text gets no band at all.
TEST(CaptionText, FrameNoTallerThanTheTextGetsNoBand)
{
    CTextStyle style;
    MakeStyle(&style, kCaptionCentre, kCaptionTop, FALSE);
    TestFrame frame(300, 8, kScreen);
    const RECT whole = {0, 0, 300, 8};
    const CaptionLayout layout = LayoutCaptionText(frame.Dc(), whole, style, "Vexcap");
    EXPECT_EQ(0, layout.band.bottom - layout.band.top);
    DrawCaptionText(frame.Dc(), whole, style, "Vexcap");
    EXPECT_EQ(0, frame.CountNear(whole, kBand, 0));
}

// A transparent caption has no band: the placement goes into the text flags
// and the text lands in the matching corner of the whole frame.
TEST(CaptionText, TransparentStylePlacesTheTextByItsFlags)
{
    struct Case {
        int posX, posY;
        BOOL wordWrap;
        UINT flags;
        bool right, bottom;
    };
    const Case cases[] = {
        {kCaptionLeft, kCaptionTop, FALSE, 0x000, false, false},
        {kCaptionRight, kCaptionBottom, FALSE, 0x220, true, true},
        {kCaptionLeft, kCaptionBottom, TRUE, 0x1200, false, true},
        {kCaptionRight, kCaptionTop, TRUE, 0x1020, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        CTextStyle style;
        MakeStyle(&style, c.posX, c.posY, TRUE);
        style.m_wordWrap = c.wordWrap;
        TestFrame frame(400, 300, kScreen);
        const RECT whole = {0, 0, 400, 300};
        const CaptionLayout layout = LayoutCaptionText(frame.Dc(), whole, style, "Vexcap");
        EXPECT_FALSE(layout.hasBand);
        EXPECT_EQ(c.flags, layout.flags);
        EXPECT_TRUE(::EqualRect(&layout.textRect, &whole));
        DrawCaptionText(frame.Dc(), whole, style, "Vexcap");
        EXPECT_EQ(0, frame.CountNear(whole, kBand, 0)) << "no band";
        RECT text = {400, 300, 0, 0};
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 400; ++x)
                if (Near(frame.Pixel(x, y), kText, 40)) {
                    text.left = x < text.left ? x : text.left;
                    text.top = y < text.top ? y : text.top;
                    text.right = x + 1 > text.right ? x + 1 : text.right;
                    text.bottom = y + 1 > text.bottom ? y + 1 : text.bottom;
                }
        ASSERT_GT(text.right, 0) << "text drawn";
        EXPECT_EQ(c.right, text.left > 200);
        EXPECT_EQ(c.bottom, text.top > 150);
    }
}

// Whole seconds of recording: frames x scale / rate, a rate of 0 taken as 1.
TEST(StampTiming, ElapsedWholeSecondsAndTheAutomaticStamp)
{
    struct Elapsed {
        DWORD frames, rate, scale, seconds;
    };
    const Elapsed elapsed[] = {
        {0, 15, 1, 0}, {14, 15, 1, 0}, {15, 15, 1, 1}, {74, 15, 1, 4}, {75, 15, 1, 5},
        {3, 1, 2, 6},  {5, 0, 1, 5},   {30000, 30000, 1001, 1001},
    };
    for (const Elapsed& e : elapsed)
        EXPECT_EQ(e.seconds, ElapsedWholeSeconds(e.frames, CRational(e.rate, e.scale, 1)))
            << e.frames << " frames at " << e.rate << "/" << e.scale;

    CRecorderPrefs prefs(&capturetest::App());
    prefs.m_autoSystemStamp = TRUE;
    prefs.m_systemStampDuration = 5;
    for (DWORD s = 0; s <= 7; ++s)
        EXPECT_EQ(s < 5, StampDue(prefs, s) != FALSE) << "automatic stamp of 5 s at " << s << " s";
    prefs.m_autoSystemStamp = FALSE;
    for (DWORD s : {0u, 5u, 3600u})
        EXPECT_TRUE(StampDue(prefs, s)) << "stamp always on at " << s << " s";
}

// A click mark lasts a third of the frames per second (at least one frame)
// and grows from size / frames to the full size.
TEST(ClickMarks, LastAThirdOfASecondGrowingToTheFullSize)
{
    struct Case {
        float measured;
        DWORD rate, scale;
        int frames;
        int radii[6];   // for size 50, then 0
    };
    const Case cases[] = {
        {0.0f, 15, 1, 5, {10, 12, 16, 25, 50, 0}},
        {0.0f, 2, 1, 1, {50, 0}},
        {0.0f, 1, 2, 1, {50, 0}},
        {14.9f, 15, 1, 4, {12, 16, 25, 50, 0}},     // the measured rate wins once there is one
        {30.0f, 5, 1, 10, {5, 5, 6, 7, 8, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        const int frames = ClickMarkFrames(c.measured, CRational(c.rate, c.scale, 1));
        EXPECT_EQ(c.frames, frames);
        CClickMark mark;
        EXPECT_FALSE(mark.IsRunning());
        EXPECT_EQ(0, mark.NextRadius(50));
        mark.Start(frames);
        const int shown = c.frames < 6 ? c.frames + 1 : 6;
        for (int i = 0; i < shown; ++i)
            EXPECT_EQ(c.radii[i], mark.NextRadius(50)) << "frame " << i;
    }
}

// Rings and discs of the click marks, and nothing for an unknown shape: a
// row through the centre shows the mark's edge near the radius, and inside
// it the ring leaves the frame as it was where the disc covers it.
TEST(ClickMarks, RingDiscOrNothing)
{
    const COLORREF mark = RGB(255, 0, 0);
    const POINT centre = {100, 100};
    struct Case {
        int shape;
        bool edge;      // mark pixels within 3 of the radius
        bool filled;    // every pixel inside (radius - 4) is the mark
    };
    const Case cases[] = {
        {kClickRing, true, false},
        {kClickDisc, true, true},
        {7, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shape);
        TestFrame frame(200, 200, kScreen);
        DrawClickMark(frame.Dc(), centre, 30, c.shape, mark);
        const RECT edges[] = {{67, 100, 74, 101}, {127, 100, 134, 101}, {100, 67, 101, 74}, {100, 127, 101, 134}};
        for (const RECT& e : edges)
            EXPECT_EQ(c.edge, frame.CountNear(e, mark, 0) > 0) << e.left << "," << e.top;
        const RECT inside = {74, 100, 127, 101};
        EXPECT_EQ(c.filled ? 53 : 0, frame.CountNear(inside, mark, 0));
        const RECT beyond[] = {{0, 0, 200, 66}, {0, 135, 200, 200}, {0, 0, 66, 200}, {135, 0, 200, 200}};
        for (const RECT& b : beyond)
            EXPECT_EQ(0, frame.CountOther(b, kScreen));
    }
}

// The highlight square, with a quarter of the height off at the top and the
// bottom for the wide shapes.
TEST(CursorHighlight, RectangleOfTheShape)
{
    struct Case {
        int shape, size;
        RECT rect;
    };
    const Case cases[] = {
        {7000, 60, {70, 70, 130, 130}},
        {7000, 61, {70, 70, 130, 130}},
        {2000, 60, {70, 85, 130, 115}},
        {2001, 80, {60, 80, 140, 120}},
        {8000, 60, {70, 85, 130, 115}},
        {1000, 60, {70, 70, 130, 130}},
    };
    for (const Case& c : cases) {
        const RECT r = HighlightRect(POINT{100, 100}, c.size, c.shape);
        EXPECT_TRUE(::EqualRect(&r, &c.rect)) << c.shape << " size " << c.size << ": " << r.left << "," << r.top
                                               << "," << r.right << "," << r.bottom;
    }
}

// Solid and inner-fill highlights paint the colour; a translucent one tints
// what lies under it (AND with the shape on white), and nothing outside the
// square changes.
TEST(CursorHighlight, SolidOrTranslucent)
{
    const COLORREF yellow = RGB(255, 255, 0);
    const COLORREF cyan = RGB(0, 255, 255);
    struct Case {
        int translucent;
        COLORREF centre;
    };
    const Case cases[] = {{0, yellow}, {1, yellow}, {2, RGB(0, 255, 0)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.translucent);
        TestFrame frame(200, 200, cyan);
        DrawCursorHighlight(frame.Dc(), POINT{100, 100}, 60, 7000, c.translucent, yellow);
        EXPECT_EQ(ColourText(c.centre), ColourText(frame.Pixel(100, 100)));
        EXPECT_EQ(ColourText(c.centre), ColourText(frame.Pixel(85, 100)));
        const RECT outside[] = {{0, 0, 200, 70}, {0, 130, 200, 200}, {0, 0, 70, 200}, {130, 0, 200, 200}};
        for (const RECT& r : outside)
            EXPECT_EQ(0, frame.CountOther(r, cyan));
        // The corners of the square lie outside the ellipse.
        EXPECT_EQ(cyan, frame.Pixel(71, 71));
    }
}

// The cursor: nothing without one; this program's arrow is drawn with its
// hot spot at the position; a cursor that cannot be drawn (as another
// program's cursor under Wine) becomes the standard arrow there. Nothing is
// drawn above or left of the position either way.
TEST(CursorImage, RealCursorOrTheStandardArrow)
{
    HCURSOR arrow = ::LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    ASSERT_TRUE(arrow != NULL);
    struct Case {
        const char* name;
        HCURSOR cursor;
        BOOL drawn;
        bool changes;
    };
    const Case cases[] = {
        {"no cursor", NULL, FALSE, false},
        {"own arrow", arrow, TRUE, true},
        {"undrawable", (HCURSOR)(UINT_PTR)0x7ff0, FALSE, true},
    };
    const COLORREF back = RGB(0, 128, 128);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestFrame frame(100, 100, back);
        EXPECT_EQ(c.drawn, DrawCursorImage(frame.Dc(), c.cursor, POINT{0, 0}, POINT{40, 40}));
        const RECT below = {40, 40, 60, 64};
        const int changed = frame.CountOther(below, back);
        EXPECT_EQ(c.changes, changed > 20) << changed << " pixels changed";
        std::string picture;
        for (int y = 40; y < 64; ++y) {
            for (int x = 40; x < 60; ++x) {
                const COLORREF p = frame.Pixel(x, y);
                picture += p == back ? '.' : p == RGB(0, 0, 0) ? '#' : p == RGB(255, 255, 255) ? 'o' : '?';
            }
            picture += '\n';
        }
        if (c.changes) {
            // The arrow's edge is dark (blended with its soft shadow).
            EXPECT_GT(frame.CountNear(below, RGB(0, 0, 0), 60), 5) << "dark edge\n" << picture;
            EXPECT_GT(frame.CountNear(below, RGB(255, 255, 255), 8), 5) << "white body\n" << picture;
        }
        const RECT aboveLeft[] = {{0, 0, 100, 40}, {0, 0, 40, 100}};
        for (const RECT& r : aboveLeft)
            EXPECT_EQ(0, frame.CountOther(r, back));
    }
}
