#include "OverlayTestSupport.h"

#include "overlays/OverlayEllipse.h"
#include "overlays/OverlayGdi.h"
#include "overlays/OverlayImageAbove.h"
#include "overlays/OverlayRectangle.h"
#include "overlays/OverlaySpotlight.h"
#include "overlays/OverlayText.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

using overlaytest::DibFrame;

namespace {

const LONGLONG kSecond = 10000000;
const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kWhite = RGB(255, 255, 255);

class OverlayDrawTest : public ::testing::Test {
protected:
    void SetUp() override { overlaytest::StartGdiplus(); }
};

// A rectangle callout without outline or text: a plain filled box.
void MakeBox(COverlayRectangle& box, COLORREF fill, float x, float y, float w, float h)
{
    box.m_brushColor = fill;
    box.m_penWidth = 0;
    box.m_antiAliasShapes = 0;
    box.m_shapeX = x;
    box.m_shapeY = y;
    box.m_shapeWidth = w;
    box.m_shapeHeight = h;
}

std::string g_fallbackWanted, g_fallbackUsed;
void RecordFallback(const char* wanted, const char* used)
{
    g_fallbackWanted = wanted;
    g_fallbackUsed = used;
}

}  // namespace

// The fade factor: fully opaque over [Start, End], rising over FadeIn before
// Start and falling over FadeOut after End, never below 0 past End + FadeOut;
// an alpha outside [0, 1] counts as 1.
TEST_F(OverlayDrawTest, FadeFactorTable)
{
    COverlayRectangle o;
    o.m_start = 2 * kSecond;
    o.m_end = 4 * kSecond;
    o.m_fadeIn = kSecond;
    o.m_fadeOut = 2 * kSecond;
    const struct {
        float alpha;
        LONGLONG t;
        int disable;
        float expected;
    } cases[] = {
        {1.0f, 2 * kSecond, 0, 1.0f},
        {1.0f, 3 * kSecond / 2, 0, 0.5f},          // half of FadeIn before Start
        {0.5f, 3 * kSecond / 2, 0, 0.25f},
        {1.0f, kSecond, 0, 0.0f},                  // Start - FadeIn
        {1.0f, 0, 0, 0.0f},                        // before the fade-in: not negative
        {1.0f, 5 * kSecond, 0, 0.5f},              // half of FadeOut after End
        {1.0f, 6 * kSecond, 0, 0.0f},
        {1.0f, 9 * kSecond, 0, 0.0f},              // past End + FadeOut: clamped, not negative
        {2.0f, 3 * kSecond, 0, 1.0f},              // out-of-range alpha is 1
        {-1.0f, 3 * kSecond, 0, 1.0f},
        {1.0f, 3 * kSecond / 2, 1, 1.0f},          // fading off
        {1.0f, 9 * kSecond, 1, 1.0f},
    };
    for (const auto& c : cases) {
        o.m_disableFading = c.disable;
        EXPECT_NEAR(c.expected, o.ApplyFade(c.alpha, c.t), 1e-6) << "alpha " << c.alpha << " t " << c.t;
    }
}

// An overlay is drawn only while active: [Start - FadeIn, End + FadeOut)
// while fading, else [Start, End); half as opaque half-way through a fade.
TEST_F(OverlayDrawTest, DrawnOnlyWhileActive)
{
    const struct {
        LONGLONG fadeIn;
        LONGLONG fadeOut;
        int disable;
        LONGLONG t;
        int red;   // -1: nothing drawn
    } cases[] = {
        {kSecond, kSecond, 0, 0, -1},
        {kSecond, kSecond, 0, kSecond / 2, -1},
        {kSecond, kSecond, 0, kSecond * 3 / 2, 127},   // 0.5 s before Start with FadeIn 1 s
        {kSecond, kSecond, 0, 2 * kSecond, 255},
        {kSecond, kSecond, 0, 3 * kSecond, 255},
        {kSecond, kSecond, 0, kSecond * 7 / 2, 127},
        {kSecond, kSecond, 0, 4 * kSecond, -1},        // End + FadeOut: gone
        {kSecond, kSecond, 0, 9 * kSecond, -1},
        {0, 0, 0, kSecond * 3 / 2, -1},                // no fades: [Start, End)
        {0, 0, 0, 3 * kSecond, -1},
        {0, 0, 0, 2 * kSecond, 255},
        {kSecond, kSecond, 1, kSecond * 3 / 2, -1},    // fading off: [Start, End)
        {kSecond, kSecond, 1, kSecond * 5 / 2, 255},
        {kSecond, kSecond, 1, kSecond * 7 / 2, -1},
    };
    for (const auto& c : cases) {
        COverlayRectangle box;
        MakeBox(box, RGB(255, 0, 0) | 0xFF000000, 4, 4, 8, 8);
        box.m_start = 2 * kSecond;
        box.m_end = 3 * kSecond;
        box.m_fadeIn = c.fadeIn;
        box.m_fadeOut = c.fadeOut;
        box.m_disableFading = c.disable;
        EXPECT_EQ(c.red >= 0, box.IsActiveAt(c.t) != FALSE) << c.t;
        DibFrame frame(16, 16, kBlack);
        box.Draw(frame.Bitmap(), c.t);
        if (c.red < 0) {
            EXPECT_EQ(0, frame.CountNot(kBlack)) << "t " << c.t;
        } else {
            EXPECT_NEAR(c.red, overlaytest::R(frame.At(8, 8)), 2) << "t " << c.t;
            EXPECT_EQ(kBlack, frame.At(2, 2)) << "t " << c.t;
        }
    }
}

// Callouts are not scaled: the movie is centred unscaled in the frame; a
// movie size of 0 is the frame's own (no shift by half a frame).
TEST_F(OverlayDrawTest, CalloutShapesSitInTheCentredMovie)
{
    const struct {
        int frameW, frameH, movieW, movieH;
        int left, top;   // expected top-left of a box laid at (10, 6)
    } cases[] = {
        {64, 48, 0, 0, 10, 6},
        {64, 48, 64, 48, 10, 6},
        {64, 48, 32, 24, 26, 18},
        {64, 48, 33, 25, 25, 17},
        {32, 24, 64, 48, -6, -6},
    };
    for (const auto& c : cases) {
        COverlayRectangle box;
        MakeBox(box, RGB(0, 255, 0) | 0xFF000000, 10, 6, 12, 8);
        box.m_end = kSecond;
        box.m_movieWidth = c.movieW;
        box.m_movieHeight = c.movieH;
        DibFrame frame(c.frameW, c.frameH, kBlack);
        box.Draw(frame.Bitmap(), 0);
        RECT ink;
        frame.CountNot(kBlack, &ink);
        EXPECT_EQ(std::max(c.left, 0), ink.left) << c.frameW << "x" << c.frameH << " movie " << c.movieW;
        EXPECT_EQ(std::max(c.top, 0), ink.top) << c.frameW << "x" << c.frameH << " movie " << c.movieW;
        EXPECT_EQ(std::min(c.left + 12, c.frameW), ink.right);
        EXPECT_EQ(std::min(c.top + 8, c.frameH), ink.bottom);
    }
}

// The callout's text is centred on the shape: the ink of "HIH" in a
// rectangle and in an ellipse lies within 1 pixel of the shape's centre
// horizontally, and vertically where the measured box puts it.
TEST_F(OverlayDrawTest, CalloutTextIsCentred)
{
    for (int kind = 0; kind < 2; ++kind) {
        std::unique_ptr<COverlayText> callout;
        if (kind == 0) {
            COverlayRectangle* r = new COverlayRectangle;
            r->m_shapeX = 20;
            r->m_shapeY = 10;
            r->m_shapeWidth = 120;
            r->m_shapeHeight = 60;
            callout.reset(r);
        } else {
            COverlayEllipse* e = new COverlayEllipse;
            e->m_shapeX = 21;
            e->m_shapeY = 11;
            e->m_shapeWidth = 121;
            e->m_shapeHeight = 61;
            callout.reset(e);
        }
        callout->m_end = kSecond;
        callout->m_brushColor = 0xFFFFFFFF;
        callout->m_penWidth = 0;
        callout->m_antiAliasShapes = 0;
        callout->m_antiAliasText = 0;
        callout->m_textColor = 0xFF000000;
        callout->m_text = "HIH";
        callout->m_font.lfHeight = 24;
        lstrcpyA(callout->m_font.lfFaceName, "Tahoma");
        DibFrame frame(160, 80, RGB(0, 0, 255));
        callout->Draw(frame.Bitmap(), 0);
        RECT ink = {1000, 1000, -1, -1};
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 160; ++x)
                if (frame.At(x, y) == kBlack) {
                    ink.left = std::min<LONG>(ink.left, x);
                    ink.top = std::min<LONG>(ink.top, y);
                    ink.right = std::max<LONG>(ink.right, x + 1);
                    ink.bottom = std::max<LONG>(ink.bottom, y + 1);
                }
        ASSERT_LT(ink.left, ink.right) << "text drawn, kind " << kind;
        const double cx = kind == 0 ? 20 + 60 : 21 + 60.5;
        const double cy = kind == 0 ? 10 + 30 : 11 + 30.5;
        EXPECT_NEAR(cx, (ink.left + ink.right) / 2.0, 1.0) << "kind " << kind;

        // Vertically: the same text drawn at a known origin gives its ink
        // offset; the callout's origin is the centre minus half the box.
        DibFrame probe(160, 80, kWhite);
        COverlayText plain;
        plain.m_end = kSecond;
        plain.m_textColor = 0xFF000000;
        plain.m_antiAliasText = 0;
        plain.m_text = "HIH";
        plain.m_font = callout->m_font;
        plain.m_rectDestX = 0;
        plain.m_rectDestY = 0;
        plain.Draw(probe.Bitmap(), 0);
        RECT plainInk;
        probe.CountNot(kWhite, &plainInk);
        Gdiplus::Graphics g(probe.Bitmap());
        std::unique_ptr<Gdiplus::Font> font(overlaygdi::CreateFont(plain.m_font));
        const overlaygdi::TextBox box = overlaygdi::MeasureText(g, L"HIH", *font);
        ASSERT_GT(box.width, 0);
        ASSERT_GT(box.height, 0);
        EXPECT_NEAR(cy - box.y - box.height / 2.0 + plainInk.top, ink.top, 1.0) << "kind " << kind;
        EXPECT_NEAR(cx - box.x - box.width / 2.0 + plainInk.left, ink.left, 1.0) << "kind " << kind;
    }
}

// The outline is drawn over the fill with the pen colour and width.
TEST_F(OverlayDrawTest, CalloutOutlineOverFill)
{
    COverlayRectangle box;
    MakeBox(box, 0xFF00FF00, 10, 10, 20, 20);
    box.m_penWidth = 2;
    box.m_penColor = 0xFF0000FF;   // red
    box.m_end = kSecond;
    DibFrame frame(40, 40, kBlack);
    box.Draw(frame.Bitmap(), 0);
    EXPECT_EQ(RGB(255, 0, 0), frame.At(10, 20)) << "the left edge";
    EXPECT_EQ(RGB(0, 255, 0), frame.At(20, 20)) << "inside";
    EXPECT_EQ(kBlack, frame.At(5, 20)) << "outside";
}

// A text colour whose alpha byte is 0 draws nothing; with alpha 255 text
// pixels appear.
TEST_F(OverlayDrawTest, TransparentTextDrawsNothing)
{
    for (COLORREF colour : {0x00FFFFFFu, 0xFFFFFFFFu}) {
        COverlayText text;
        text.m_end = kSecond;
        text.m_textColor = colour;
        text.m_text = "Hello";
        text.m_font.lfHeight = 20;
        lstrcpyA(text.m_font.lfFaceName, "Tahoma");
        text.m_rectDestX = 4;
        text.m_rectDestY = 4;
        DibFrame frame(100, 40, kBlack);
        text.Draw(frame.Bitmap(), 0);
        if (colour >> 24)
            EXPECT_GT(frame.CountNot(kBlack), 20);
        else
            EXPECT_EQ(0, frame.CountNot(kBlack));
    }
}

// Code-page-936 texts are widened for GDI+: "中文" in the default face draws
// the same pixels as the wide text drawn directly.
TEST_F(OverlayDrawTest, ChineseTextIsWidened)
{
    COverlayText text;
    text.m_end = kSecond;
    text.m_textColor = 0xFFFFFFFF;
    text.m_antiAliasText = 0;
    text.m_text = "中文";
    text.m_font.lfHeight = 32;
    DibFrame drawn(100, 50, kBlack);
    text.Draw(drawn.Bitmap(), 0);
    EXPECT_GT(drawn.CountNot(kBlack), 30);

    DibFrame direct(100, 50, kBlack);
    {
        Gdiplus::Graphics g(direct.Bitmap());
        std::unique_ptr<Gdiplus::Font> font(overlaygdi::CreateFont(text.m_font));
        ASSERT_TRUE(font);
        Gdiplus::SolidBrush brush(Gdiplus::Color(255, 255, 255, 255));
        g.DrawString(L"\u4e2d\u6587", 2, font.get(), Gdiplus::PointF(0, 0), &brush);
    }
    EXPECT_EQ(direct.Pixels(), drawn.Pixels());

    // Real glyphs: the same two characters narrowed to "??" look different.
    text.m_text = "??";
    DibFrame marks(100, 50, kBlack);
    text.Draw(marks.Bitmap(), 0);
    EXPECT_NE(marks.Pixels(), drawn.Pixels());
}

// A face that is not installed falls back to the default face and is
// reported; the text still shows.
TEST_F(OverlayDrawTest, MissingFaceFallsBackAndIsReported)
{
    overlaygdi::SetFaceFallbackHook(RecordFallback);
    g_fallbackWanted.clear();
    g_fallbackUsed.clear();
    COverlayText text;
    text.m_end = kSecond;
    text.m_textColor = 0xFFFFFFFF;
    text.m_text = "Abc";
    text.m_font.lfHeight = 24;
    lstrcpyA(text.m_font.lfFaceName, "No Such Face 42");
    DibFrame frame(100, 40, kBlack);
    text.Draw(frame.Bitmap(), 0);
    EXPECT_GT(frame.CountNot(kBlack), 20);
    EXPECT_EQ("No Such Face 42", g_fallbackWanted);
    EXPECT_FALSE(g_fallbackUsed.empty());
    EXPECT_NE(g_fallbackWanted, g_fallbackUsed);

    g_fallbackWanted.clear();
    lstrcpyA(text.m_font.lfFaceName, "Tahoma");
    text.Draw(frame.Bitmap(), 0);
    EXPECT_TRUE(g_fallbackWanted.empty()) << "an installed face is used as it is";
    overlaygdi::SetFaceFallbackHook(NULL);
}

// The font style from the LOGFONT, a later match replacing an earlier one;
// bold text carries more ink than regular text.
TEST_F(OverlayDrawTest, FontStyles)
{
    const struct {
        BYTE italic, underline, strike;
        LONG weight;
        int style;
    } cases[] = {
        {0, 0, 0, 400, Gdiplus::FontStyleRegular},
        {1, 0, 0, 400, Gdiplus::FontStyleItalic},
        {0, 0, 1, 400, Gdiplus::FontStyleStrikeout},
        {1, 0, 1, 400, Gdiplus::FontStyleStrikeout},
        {0, 1, 0, 400, Gdiplus::FontStyleUnderline},
        {0, 1, 1, 400, Gdiplus::FontStyleUnderline},
        {0, 0, 0, 700, Gdiplus::FontStyleBold},
        {0, 1, 0, 700, Gdiplus::FontStyleBold},
        {1, 0, 0, 700, Gdiplus::FontStyleBoldItalic},
        {1, 1, 1, 700, Gdiplus::FontStyleBoldItalic},
    };
    for (const auto& c : cases) {
        LOGFONTA lf = {};
        lf.lfItalic = c.italic;
        lf.lfUnderline = c.underline;
        lf.lfStrikeOut = c.strike;
        lf.lfWeight = c.weight;
        EXPECT_EQ(c.style, overlaygdi::FontStyleOf(lf))
            << (int)c.italic << (int)c.underline << (int)c.strike << " " << c.weight;
    }
    // The created font carries the style (Wine's GDI+ draws no underline or
    // strike-out line, so those are checked on the font only); bold and
    // italic change the drawn text.
    RECT boxes[4];
    for (const auto& c : cases) {
        LOGFONTA lf = {};
        lf.lfHeight = 24;
        lf.lfItalic = c.italic;
        lf.lfUnderline = c.underline;
        lf.lfStrikeOut = c.strike;
        lf.lfWeight = c.weight;
        lstrcpyA(lf.lfFaceName, "Tahoma");
        std::unique_ptr<Gdiplus::Font> font(overlaygdi::CreateFont(lf));
        ASSERT_TRUE(font);
        EXPECT_EQ(c.style, font->GetStyle());
        if (c.underline || c.strike)
            continue;
        COverlayText text;
        text.m_end = kSecond;
        text.m_textColor = 0xFFFFFFFF;
        text.m_antiAliasText = 0;
        text.m_text = "Wide Text";
        text.m_font = lf;
        DibFrame frame(160, 40, kBlack);
        text.Draw(frame.Bitmap(), 0);
        EXPECT_GT(frame.CountNot(kBlack, &boxes[c.style & 3]), 30);
    }
    EXPECT_GE(boxes[Gdiplus::FontStyleBold].right - boxes[0].right, 5) << "bold text is wider";
    EXPECT_GE(boxes[Gdiplus::FontStyleItalic].left - boxes[0].left, 2) << "italic text leans";
    EXPECT_GE(boxes[Gdiplus::FontStyleBoldItalic].right - boxes[Gdiplus::FontStyleItalic].right, 5);
}

// The movie's scale and offset in a frame for the seven modes; a movie size
// <= 0 is the frame's own.
TEST_F(OverlayDrawTest, MovieScalingModes)
{
    const struct {
        int mode, frameW, frameH, movieW, movieH;
        double sx, sy;
        int offX, offY;
    } cases[] = {
        {5, 640, 480, 320, 240, 1.0, 1.0, 160, 120},   // larger frame: natural size, centred
        {5, 160, 240, 320, 240, 0.5, 0.5, 0, 60},      // half the width: uniform half size
        {5, 320, 240, 320, 240, 1.0, 1.0, 0, 0},
        {5, 320, 240, 0, 0, 1.0, 1.0, 0, 0},           // size 0: the frame's own
        {5, 320, 240, -5, 240, 1.0, 1.0, 0, 0},
        {0, 640, 240, 320, 240, 2.0, 1.0, 0, 0},       // stretch
        {0, 160, 480, 320, 240, 0.5, 2.0, 0, 0},
        {6, 640, 240, 320, 240, 2.0, 1.0, 0, 0},
        {1, 160, 120, 320, 240, 1.0, 1.0, -80, -60},   // natural
        {2, 160, 480, 320, 240, 0.5, 0.5, 0, 180},     // smaller: uniform shrink
        {2, 640, 480, 320, 240, 2.0, 2.0, 0, 0},       // else stretch
        {3, 160, 480, 320, 240, 1.0, 1.0, -80, 120},   // smaller: natural
        {3, 640, 720, 320, 240, 2.0, 3.0, 0, 0},       // else stretch
        {4, 160, 480, 320, 240, 0.5, 1.0, 0, 120},     // each capped at 1
        {4, 640, 120, 320, 240, 1.0, 0.5, 160, 0},
    };
    for (const auto& c : cases) {
        const overlaygdi::MovieScale m = overlaygdi::ComputeMovieScale(c.mode, c.frameW, c.frameH, c.movieW, c.movieH);
        EXPECT_DOUBLE_EQ(c.sx, m.sx) << "mode " << c.mode << " " << c.frameW << "x" << c.frameH;
        EXPECT_DOUBLE_EQ(c.sy, m.sy) << "mode " << c.mode << " " << c.frameW << "x" << c.frameH;
        EXPECT_EQ(c.offX, m.offsetX) << "mode " << c.mode << " " << c.frameW << "x" << c.frameH;
        EXPECT_EQ(c.offY, m.offsetY) << "mode " << c.mode << " " << c.frameW << "x" << c.frameH;
    }
}

// The ramp envelope of the spotlight.
TEST_F(OverlayDrawTest, RampEnvelope)
{
    const struct {
        LONGLONG t, a, b, in, out;
        double expected;
    } cases[] = {
        {50, 0, 100, 0, 0, 1.0},
        {-10, 0, 100, 0, 0, 1.0},   // before: 1 without a ramp in
        {-10, 0, 100, 10, 0, 0.0},
        {100, 0, 100, 0, 0, 1.0},   // from b on: 1 without a ramp out
        {100, 0, 100, 0, 10, 0.0},
        {0, 0, 100, 20, 20, 0.0},
        {5, 0, 100, 20, 20, 0.25},
        {20, 0, 100, 20, 20, 1.0},
        {90, 0, 100, 20, 20, 0.5},
        {50, 0, 100, 80, 80, 0.625},   // overlapping ramps: the smaller
    };
    for (const auto& c : cases)
        EXPECT_NEAR(c.expected, overlaygdi::Envelope(c.t, c.a, c.b, c.in, c.out), 1e-9) << c.t;
}
