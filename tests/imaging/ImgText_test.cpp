#include "platform/imaging/Imaging.h"

#include "ImagingTestUtil.h"

#include <gtest/gtest.h>

using namespace imgtest;

namespace {

const COLORREF kText = RGB(255, 255, 255);
const COLORREF kShadow = RGB(255, 0, 0);
const COLORREF kOutline = RGB(0, 255, 0);
const RECT kRect = {20, 10, 300, 110};

// Text drawn into a black 24-bit picture with an aliased font, so that glyph
// pixels are exactly the colours asked for.
struct TextPicture {
    Bitmap bm;
    TEXTMETRICA metrics = {};
    int result = 0;

    TextPicture(const char* text, UINT flags, int shadowX = 3, int shadowY = 4, RECT rect = kRect)
    {
        EXPECT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 320, 120, 24, nullptr, 0));
        HFONT font = CreateFontA(-24, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH, "Tahoma");
        HDC dc = ImgCreateDC(&bm.b);
        HGDIOBJ old = SelectObject(dc, font);
        GetTextMetricsA(dc, &metrics);
        SelectObject(dc, old);
        result = ImgDrawTextEffect(dc, &rect, text, flags, shadowX, shadowY, kText, kShadow, kOutline, font);
        ImgReleaseDC(dc);
        DeleteObject(font);
    }
};

bool Empty(const RECT& r)
{
    return r.right < r.left;
}

}  // namespace

// The text block sits at the corner, edge or centre of the rectangle that
// the placement flags ask for, and never outside it.
TEST(ImgText, PlacementFlagsPutTheTextWhereAsked)
{
    struct Case {
        const char* name;
        UINT flags;
        int h;  // -1 left, 0 centre, 1 right
        int v;  // -1 top, 0 centre, 1 bottom
    } cases[] = {
        {"left top", IMG_TEXT_LEFT | IMG_TEXT_TOP, -1, -1},
        {"centre top", IMG_TEXT_HCENTER | IMG_TEXT_TOP, 0, -1},
        {"right top", IMG_TEXT_RIGHT | IMG_TEXT_TOP, 1, -1},
        {"left middle", IMG_TEXT_LEFT | IMG_TEXT_VCENTER, -1, 0},
        {"centre middle", IMG_TEXT_HCENTER | IMG_TEXT_VCENTER, 0, 0},
        {"right bottom", IMG_TEXT_RIGHT | IMG_TEXT_BOTTOM, 1, 1},
        {"centre bottom", IMG_TEXT_HCENTER | IMG_TEXT_BOTTOM, 0, 1},
        {"left bottom, word wrap", IMG_TEXT_LEFT | IMG_TEXT_BOTTOM | IMG_TEXT_WORDWRAP, -1, 1},
    };
    for (const Case& c : cases) {
        TextPicture p("WWWW", c.flags);
        ASSERT_EQ(IMG_SUCCESS, p.result) << c.name;
        const RECT box = Bounds(p.bm.b, kText);
        ASSERT_FALSE(Empty(box)) << c.name << ": no text pixels";
        EXPECT_GE(box.left, kRect.left) << c.name;
        EXPECT_GE(box.top, kRect.top) << c.name;
        EXPECT_LT(box.right, kRect.right) << c.name;
        EXPECT_LT(box.bottom, kRect.bottom) << c.name;
        const int line = p.metrics.tmHeight;
        const int cx = (box.left + box.right + 1) / 2, cy = (box.top + box.bottom + 1) / 2;
        const int rcx = (kRect.left + kRect.right) / 2, rcy = (kRect.top + kRect.bottom) / 2;
        if (c.h < 0)
            EXPECT_LE(box.left, kRect.left + 4) << c.name;
        else if (c.h > 0)
            EXPECT_GE(box.right, kRect.right - 6) << c.name;
        else
            EXPECT_LE(abs(cx - rcx), 3) << c.name;
        if (c.v < 0)
            EXPECT_LE(box.top, kRect.top + line / 2) << c.name;
        else if (c.v > 0)
            EXPECT_GE(box.bottom, kRect.bottom - line / 2) << c.name;
        else
            EXPECT_LE(abs(cy - rcy), line / 4) << c.name;
    }
}

// The effects by their colours: the shadow is the text moved by the offset,
// the outline a one-pixel ring around the glyphs.
TEST(ImgText, ShadowAndOutlineColoursSitAroundTheText)
{
    struct Case {
        const char* name;
        UINT effect;
        bool shadow, outline;
    } cases[] = {
        {"normal", IMG_TEXT_NORMAL, false, false},
        {"shadow", IMG_TEXT_SHADOW, true, false},
        {"outline", IMG_TEXT_OUTLINE, false, true},
        {"shadow and outline", IMG_TEXT_SHADOW_OUTLINE, true, true},
    };
    for (const Case& c : cases) {
        TextPicture p("Shadow 42", c.effect | IMG_TEXT_HCENTER | IMG_TEXT_VCENTER, 3, 4);
        ASSERT_EQ(IMG_SUCCESS, p.result) << c.name;
        const RECT text = Bounds(p.bm.b, kText);
        const RECT shadow = Bounds(p.bm.b, kShadow);
        const RECT outline = Bounds(p.bm.b, kOutline);
        ASSERT_FALSE(Empty(text)) << c.name;
        EXPECT_EQ(c.shadow, !Empty(shadow)) << c.name;
        EXPECT_EQ(c.outline, !Empty(outline)) << c.name;
        if (c.shadow && !c.outline) {
            EXPECT_EQ(text.right + 3, shadow.right) << c.name;
            EXPECT_EQ(text.bottom + 4, shadow.bottom) << c.name;
            EXPECT_GE(shadow.left, text.left) << c.name;
            EXPECT_GE(shadow.top, text.top) << c.name;
        }
        if (c.outline) {
            EXPECT_EQ(text.left - 1, outline.left) << c.name;
            EXPECT_EQ(text.top - 1, outline.top) << c.name;
            EXPECT_EQ(text.right + 1, outline.right) << c.name;
            EXPECT_EQ(text.bottom + 1, outline.bottom) << c.name;
            // Every text pixel at a glyph's left edge has the outline beside it.
            int edges = 0;
            for (int y = 0; y < p.bm.b.height; ++y)
                for (int x = 1; x < p.bm.b.width; ++x)
                    if (Colour(p.bm.b, x, y) == kText && Colour(p.bm.b, x - 1, y) != kText) {
                        ++edges;
                        ASSERT_EQ(Hex(kOutline), Hex(Colour(p.bm.b, x - 1, y))) << c.name << " at " << x << "," << y;
                    }
            EXPECT_GT(edges, 10) << c.name;
        }
        if (c.shadow && c.outline) {
            EXPECT_GE(shadow.right, text.right + 3) << c.name;
        }
    }
}

// Word wrap breaks a line longer than the rectangle; without it the text
// stays on one line.
TEST(ImgText, WordWrapMakesMoreThanOneLine)
{
    const RECT narrow = {10, 5, 130, 115};
    TextPicture wrapped("alpha beta gamma delta", IMG_TEXT_WORDWRAP, 0, 0, narrow);
    TextPicture single("alpha beta gamma delta", IMG_TEXT_NORMAL, 0, 0, narrow);
    ASSERT_EQ(IMG_SUCCESS, wrapped.result);
    ASSERT_EQ(IMG_SUCCESS, single.result);
    const RECT w = Bounds(wrapped.bm.b, kText), s = Bounds(single.bm.b, kText);
    ASSERT_FALSE(Empty(w));
    ASSERT_FALSE(Empty(s));
    const int line = wrapped.metrics.tmHeight;
    EXPECT_GT(w.bottom - w.top + 1, line * 3 / 2) << "wrapped block height";
    EXPECT_LT(w.right, narrow.right) << "wrapped lines fit the width";
    EXPECT_LE(s.bottom - s.top + 1, line) << "one line without wrap";
    EXPECT_GT(s.right, narrow.right) << "the single line is longer than the rectangle";
}

TEST(ImgText, EmptyTextDrawsNothingAndBadArgumentsAreRefused)
{
    TextPicture empty("", IMG_TEXT_SHADOW_OUTLINE);
    EXPECT_EQ(IMG_SUCCESS, empty.result);
    for (int i = 0; i < empty.bm.b.bytesPerLine * empty.bm.b.height; ++i)
        ASSERT_EQ(0, empty.bm.b.bits[i]);
    Bitmap bm;
    ASSERT_EQ(IMG_SUCCESS, ImgAllocateBitmap(&bm.b, 8, 8, 24, nullptr, 0));
    HDC dc = ImgCreateDC(&bm.b);
    EXPECT_EQ(IMG_INVALID_PARAMETER, ImgDrawTextEffect(dc, &kRect, nullptr, 0, 0, 0, kText, kShadow, kOutline, NULL));
    EXPECT_EQ(IMG_INVALID_PARAMETER, ImgDrawTextEffect(dc, nullptr, "x", 0, 0, 0, kText, kShadow, kOutline, NULL));
    EXPECT_EQ(IMG_INVALID_PARAMETER, ImgDrawTextEffect(NULL, &kRect, "x", 0, 0, 0, kText, kShadow, kOutline, NULL));
    // The caller's DC keeps its own text colour and background mode.
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkMode(dc, OPAQUE);
    const RECT r = {0, 0, 8, 8};
    EXPECT_EQ(IMG_SUCCESS, ImgDrawTextEffect(dc, &r, "x", IMG_TEXT_SHADOW, 1, 1, kText, kShadow, kOutline, NULL));
    EXPECT_EQ(RGB(1, 2, 3), GetTextColor(dc));
    EXPECT_EQ(OPAQUE, GetBkMode(dc));
    ImgReleaseDC(dc);
}
