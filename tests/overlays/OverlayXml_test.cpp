#include "overlays/HotspotInfo.h"
#include "overlays/Overlay.h"
#include "overlays/OverlayEllipse.h"
#include "overlays/OverlayImageAbove.h"
#include "overlays/OverlayRectangle.h"
#include "overlays/OverlaySpotlight.h"
#include "overlays/OverlayText.h"
#include "settings/XmlNode.h"

#include <gtest/gtest.h>

#include <limits.h>

#include <memory>
#include <string>

namespace {

// The abstract base as a drawable kind of type "Overlay".
class PlainOverlay : public COverlay {
public:
    void Draw(Gdiplus::Bitmap*, LONGLONG) override {}
};

void FillBase(COverlay& o)
{
    o.m_useTColor = 1;
    o.m_clrTransparent = 0xFF00FF00;
    o.m_opacity = 0.5f;
    o.m_height = 48;
    o.m_movieHeight = 240;
    o.m_width = 64;
    o.m_movieWidth = 320;
    o.m_textTopIndent = 1;
    o.m_textLeftIndent = 2;
    o.m_textRightIndent = 3;
    o.m_textBottomIndent = 4;
    o.m_richText = "a<b>&c";
    o.m_textVJust = 1;
    o.m_rectDestX = 10.25f;
    o.m_rectDestY = 20.5f;
    o.m_rectDestWidth = 64;
    o.m_rectDestHeight = 48;
    o.m_start = 5000000;
    o.m_end = 30000000;
    o.m_fadeIn = 123456789012LL;
    o.m_overlayName = "名字";
    o.m_clipId = 3;
    o.m_overlayId = 42;
    o.m_useTextDropShadow = 1;
    o.m_clrTextShadow = 0x80102030;
    HotspotInfo& h = o.Hotspot();
    h.m_jumpUrl = "http://x/?a=1&b=2";
    h.m_gotoTime = 123456789012LL;
    h.m_action = 2;
    h.m_openUrlInNewWindow = 1;
    h.m_bookmarkTime = -5;
    h.m_bookmarkUniqueId = 0xABCDEF;
    h.m_work1 = 77;
    h.m_work2 = 78;
}

// The base elements and hot spot block as FillBase leaves them, for the
// kind flags given.
std::string BaseText(int flags)
{
    return std::string(
               "<DisableFading>0</DisableFading>\n"
               "<SmoothScale>1</SmoothScale>\n"
               "<KeepAspectRatio>1</KeepAspectRatio>\n"
               "<PreserveSize>0</PreserveSize>\n"
               "<UseTColor>1</UseTColor>\n"
               "<clrTransparent >0xFF00FF00</clrTransparent >\n"
               "<Opacity>0.50</Opacity>\n"
               "<Height>48</Height>\n"
               "<MovieHeight>240</MovieHeight>\n"
               "<Width>64</Width>\n"
               "<MovieWidth>320</MovieWidth>\n"
               "<TextBottomIndent>4</TextBottomIndent>\n"
               "<TextLeftIndent>2</TextLeftIndent>\n"
               "<TextRightIndent>3</TextRightIndent>\n"
               "<TextTopIndent>1</TextTopIndent>\n"
               "<strOverlayRichText>a&lt;b&gt;&amp;c</strOverlayRichText>\n"
               "<TextVJust>1</TextVJust>\n"
               "<RectDest_X>10.25</RectDest_X>\n"
               "<RectDest_Y>20.50</RectDest_Y>\n"
               "<RectDest_Width>64.00</RectDest_Width>\n"
               "<RectDest_Height>48.00</RectDest_Height>\n"
               "<Start>5000000</Start>\n"
               "<End>30000000</End>\n"
               "<FadeIn>123456789012</FadeIn>\n"
               "<FadeOut>0</FadeOut>\n"
               "<OverlayName>名字</OverlayName>\n"
               "<ClipID>3</ClipID>\n"
               "<OverlayFlags>")
        + std::to_string(flags)
        + "</OverlayFlags>\n"
          "<OverlayID>42</OverlayID>\n"
          "<TrackID>-1</TrackID>\n"
          "<UseTextDropShadow>1</UseTextDropShadow>\n"
          "<clrTextShadow>0x80102030</clrTextShadow>\n"
          "<TextShadowBlur>1</TextShadowBlur>\n"
          "<TextShadowOpacity>75</TextShadowOpacity>\n"
          "<TextShadowSize_X>2</TextShadowSize_X>\n"
          "<TextShadowSize_Y>2</TextShadowSize_Y>\n"
          "<Hotspot_Info>\n"
          "<JumpURL>http://x/?a=1&amp;b=2</JumpURL>\n"
          "<GotoTime>123456789012</GotoTime>\n"
          "<Action>2</Action>\n"
          "<OpenURLInNewWindow>1</OpenURLInNewWindow>\n"
          "<PauseAtEnd>1</PauseAtEnd>\n"
          "<BookmarkTime>-5</BookmarkTime>\n"
          "<BookmarkUniqueID>0x00ABCDEF</BookmarkUniqueID>\n"
          "</Hotspot_Info>\n";
}

const char kDrawingDefaults[] =
    "<PenColor>0xFF000000</PenColor>\n"
    "<BkColor>0xFF000000</BkColor>\n"
    "<BrushColor>0xFF000000</BrushColor>\n"
    "<TextColor>0xFF000000</TextColor>\n"
    "<BkMode>1</BkMode>\n"
    "<LineJoin>2</LineJoin>\n"
    "<PenStyle>0</PenStyle>\n"
    "<PenWidth>2</PenWidth>\n"
    "<AntiAliasText>1</AntiAliasText>\n"
    "<AntiAliasShapes>1</AntiAliasShapes>\n";

const char kTextDefaults[] =
    "<TextFont>\n"
    "<Font.DisplayFlags>8</Font.DisplayFlags>\n"
    "<Font.Height>100</Font.Height>\n"
    "<Font.Width>0</Font.Width>\n"
    "<Font.Escapement>0</Font.Escapement>\n"
    "<Font.Orientation>0</Font.Orientation>\n"
    "<Font.Weight>0</Font.Weight>\n"
    "<Font.Italic>0</Font.Italic>\n"
    "<Font.Underline>0</Font.Underline>\n"
    "<Font.StrikeOut>0</Font.StrikeOut>\n"
    "<Font.CharSet>0</Font.CharSet>\n"
    "<Font.OutPrecision>0</Font.OutPrecision>\n"
    "<Font.ClipPrecision>0</Font.ClipPrecision>\n"
    "<Font.Quality>0</Font.Quality>\n"
    "<Font.PitchAndFamily>0</Font.PitchAndFamily>\n"
    "<Font.Face>宋体</Font.Face>\n"
    "</TextFont>\n"
    "<NonRichText>你好 &lt;1&gt;</NonRichText>\n";

std::string Wrapped(const char* type, const std::string& own)
{
    return std::string("<Type>") + type + "</Type>\n<Overlay_" + type + "_Object>\n" + own + "</Overlay_" + type
        + "_Object>\n";
}

}  // namespace

// Each kind's text, derived by hand: the base elements in their fixed order
// (with the blank in "clrTransparent "), the hot spot, then Type and the
// kind's own block; floats "%0.2f", colours "0x%08X", times "%I64d".
TEST(OverlayXml, GoldenTextPerKind)
{
    COverlayText text;
    COverlayEllipse ellipse;
    COverlayRectangle rectangle;
    COverlayImageAbove image;
    COverlaySpotlight spotlight;
    PlainOverlay plain;
    COverlay* all[] = {&text, &ellipse, &rectangle, &image, &spotlight, &plain};
    for (COverlay* o : all)
        FillBase(*o);
    for (COverlayText* t : {&text, (COverlayText*)&ellipse, (COverlayText*)&rectangle})
        t->m_text = "你好 <1>";
    ellipse.m_shapeX = 1.5f;
    ellipse.m_shapeY = 2;
    ellipse.m_shapeWidth = 100.126f;
    ellipse.m_shapeHeight = 50;
    rectangle.m_shapeX = -3;
    rectangle.m_shapeY = 4.75f;
    rectangle.m_shapeWidth = 20;
    rectangle.m_shapeHeight = 10;
    image.m_imagePath = "C:\\图\\a.png";
    image.m_colorMask = 0x00102030;
    image.m_friendlyName = "F";
    spotlight.m_blurRadius = 2.5f;
    spotlight.m_zoomLength = 10000000;
    spotlight.m_brightnessFadeTime = 5000000;

    struct Case {
        COverlay* overlay;
        std::string expected;
    } cases[] = {
        {&text, BaseText(0) + Wrapped("Text", std::string(kDrawingDefaults) + kTextDefaults)},
        {&ellipse, BaseText(0)
                       + Wrapped("Ellipse", std::string(kDrawingDefaults) + kTextDefaults
                                     + "<EllipseX>1.50</EllipseX>\n<EllipseY>2.00</EllipseY>\n"
                                       "<EllipseWidth>100.13</EllipseWidth>\n<EllipseHeight>50.00</EllipseHeight>\n")},
        {&rectangle, BaseText(0)
                         + Wrapped("Rectangle", std::string(kDrawingDefaults) + kTextDefaults
                                       + "<RectangleX>-3.00</RectangleX>\n<RectangleY>4.75</RectangleY>\n"
                                         "<RectangleWidth>20.00</RectangleWidth>\n"
                                         "<RectangleHeight>10.00</RectangleHeight>\n")},
        {&image, BaseText(1)
                     + Wrapped("ImageAbove",
                               "<ImagePath>C:\\图\\a.png</ImagePath>\n"
                               "<ColorMask>0x00102030</ColorMask>\n"
                               "<WhiteColorMask>0xFFFFFFFF</WhiteColorMask>\n"
                               "<Rotate>0</Rotate>\n<XGrow>0</XGrow>\n<YGrow>0</YGrow>\n<VectorGrow>0</VectorGrow>\n"
                               "<CanRotate_90>0</CanRotate_90>\n<CanRotate_180>0</CanRotate_180>\n"
                               "<CanRotate_270>0</CanRotate_270>\n<CanFlip_X>0</CanFlip_X>\n"
                               "<CanFlip_X90>0</CanFlip_X90>\n<CanFlip_X180>0</CanFlip_X180>\n"
                               "<CanFlip_X270>0</CanFlip_X270>\n<FriendlyName>F</FriendlyName>\n"
                               "<UseDropShadow>0</UseDropShadow>\n<clrShadow>0x00000000</clrShadow>\n"
                               "<ShadowBlur>2</ShadowBlur>\n<ShadowOpacity>75</ShadowOpacity>\n"
                               "<ShadowSize_X>4</ShadowSize_X>\n<ShadowSize_Y>4</ShadowSize_Y>\n")},
        {&spotlight, BaseText(4)
                         + Wrapped("Spotlight",
                                   "<RectangleX>0.00</RectangleX>\n<RectangleY>0.00</RectangleY>\n"
                                   "<RectangleWidth>0.00</RectangleWidth>\n<RectangleHeight>0.00</RectangleHeight>\n"
                                   "<BlurRadius>2.50</BlurRadius>\n<Offset>0</Offset>\n<AddShadow>1</AddShadow>\n"
                                   "<ZoomLevel>100</ZoomLevel>\n<ZoomLength>10000000</ZoomLength>\n"
                                   "<Brightness>150</Brightness>\n"
                                   "<BrigthnessFadeTime>5000000</BrigthnessFadeTime>\n"
                                   "<HorzOffset>0</HorzOffset>\n<VertOffset>0</VertOffset>\n"
                                   "<ShadowOffset_X>8</ShadowOffset_X>\n<ShadowOffset_Y>8</ShadowOffset_Y>\n"
                                   "<ShadowBlurPixels>6</ShadowBlurPixels>\n")},
        // The type "Overlay" writes no Type element and no own block.
        {&plain, BaseText(0)},
    };
    for (Case& c : cases) {
        XmlNode node;
        EXPECT_EQ(0, c.overlay->WriteXml(node));
        EXPECT_EQ(c.expected, std::string(node.m_text.GetString())) << c.overlay->GetTypeName();
        EXPECT_EQ(0, c.overlay->Hotspot().m_work1) << "the work values are cleared when written";
        EXPECT_EQ(0, c.overlay->Hotspot().m_work2);
    }
}

namespace {

#define EXPECT_SAME(field) EXPECT_EQ(a.field, b.field) << #field << " of " << what

void ExpectSameBase(COverlay& a, COverlay& b, const char* what)
{
    EXPECT_SAME(m_clrTextShadow);
    EXPECT_SAME(m_useTextDropShadow);
    EXPECT_SAME(m_textShadowBlur);
    EXPECT_SAME(m_textShadowOpacity);
    EXPECT_SAME(m_textShadowSizeX);
    EXPECT_SAME(m_textShadowSizeY);
    EXPECT_SAME(m_rectDestX);
    EXPECT_SAME(m_rectDestY);
    EXPECT_SAME(m_rectDestWidth);
    EXPECT_SAME(m_rectDestHeight);
    EXPECT_SAME(m_height);
    EXPECT_SAME(m_width);
    EXPECT_SAME(m_movieHeight);
    EXPECT_SAME(m_movieWidth);
    EXPECT_SAME(m_textTopIndent);
    EXPECT_SAME(m_textLeftIndent);
    EXPECT_SAME(m_textRightIndent);
    EXPECT_SAME(m_textBottomIndent);
    EXPECT_SAME(m_opacity);
    EXPECT_SAME(m_disableFading);
    EXPECT_SAME(m_keepAspectRatio);
    EXPECT_SAME(m_smoothScale);
    EXPECT_SAME(m_preserveSize);
    EXPECT_SAME(m_useTColor);
    EXPECT_SAME(m_overlayName);
    EXPECT_SAME(m_richText);
    EXPECT_SAME(m_textVJust);
    EXPECT_SAME(m_clrTransparent);
    EXPECT_SAME(m_clipId);
    EXPECT_SAME(m_trackId);
    EXPECT_SAME(m_overlayFlags);
    EXPECT_SAME(m_overlayId);
    EXPECT_SAME(m_start);
    EXPECT_SAME(m_end);
    EXPECT_SAME(m_fadeIn);
    EXPECT_SAME(m_fadeOut);
    EXPECT_SAME(Hotspot().m_jumpUrl);
    EXPECT_SAME(Hotspot().m_gotoTime);
    EXPECT_SAME(Hotspot().m_action);
    EXPECT_SAME(Hotspot().m_openUrlInNewWindow);
    EXPECT_SAME(Hotspot().m_pauseAtEnd);
    EXPECT_SAME(Hotspot().m_bookmarkTime);
    EXPECT_SAME(Hotspot().m_bookmarkUniqueId);
    // Not stored: the defaults stay.
    EXPECT_EQ(0, b.m_disableFading2) << what;
    EXPECT_EQ(5, b.m_movieScaleMode) << what;
}

void ExpectSameDrawing(COverlayText& a, COverlayText& b, const char* what)
{
    EXPECT_SAME(m_penColor);
    EXPECT_SAME(m_bkColor);
    EXPECT_SAME(m_brushColor);
    EXPECT_SAME(m_textColor);
    EXPECT_SAME(m_bkMode);
    EXPECT_SAME(m_lineJoin);
    EXPECT_SAME(m_penStyle);
    EXPECT_SAME(m_penWidth);
    EXPECT_SAME(m_antiAliasText);
    EXPECT_SAME(m_antiAliasShapes);
    EXPECT_SAME(m_text);
    EXPECT_SAME(m_font.lfHeight);
    EXPECT_SAME(m_font.lfWeight);
    EXPECT_SAME(m_font.lfItalic);
    EXPECT_SAME(m_font.lfUnderline);
    EXPECT_SAME(m_font.lfStrikeOut);
    EXPECT_SAME(m_font.lfCharSet);
    EXPECT_STREQ(a.m_font.lfFaceName, b.m_font.lfFaceName) << what;
}

void FillEverything(COverlay& o)
{
    FillBase(o);
    o.m_disableFading = 1;
    o.m_keepAspectRatio = 0;
    o.m_smoothScale = 0;
    o.m_preserveSize = 1;
    o.m_textShadowBlur = 3;
    o.m_textShadowOpacity = 40;
    o.m_textShadowSizeX = -2;
    o.m_textShadowSizeY = 5;
    o.m_trackId = 2;
    o.m_fadeOut = 7000000;
    o.Hotspot().m_pauseAtEnd = 0;
    if (COverlayText* t = dynamic_cast<COverlayText*>(&o)) {
        t->m_penColor = 0x11223344;
        t->m_bkColor = 0x55667788;
        t->m_brushColor = 0x99AABBCC;
        t->m_textColor = 0xDDEEFF00;
        t->m_bkMode = 2;
        t->m_lineJoin = 1;
        t->m_penStyle = 3;
        t->m_penWidth = 7;
        t->m_antiAliasText = 0;
        t->m_antiAliasShapes = 0;
        t->m_text = "第一行 & <二>";
        t->m_font.lfHeight = -24;
        t->m_font.lfWeight = 700;
        t->m_font.lfItalic = 1;
        t->m_font.lfCharSet = 134;
        lstrcpyA(t->m_font.lfFaceName, "黑体");
    }
}

}  // namespace

// Writing then reading gives back every stored field (floats to two
// decimals), hot spot included; the reader is made by the Type element's name.
TEST(OverlayXml, RoundTripsKeepEveryField)
{
    const char* types[] = {"Text", "Ellipse", "Rectangle", "ImageAbove", "Spotlight"};
    for (const char* type : types) {
        std::unique_ptr<COverlay> a(COverlay::CreateByTypeName(type));
        ASSERT_TRUE(a) << type;
        FillEverything(*a);
        if (COverlayEllipse* e = dynamic_cast<COverlayEllipse*>(a.get())) {
            e->m_shapeX = 1.25f;
            e->m_shapeY = -2.5f;
            e->m_shapeWidth = 30.75f;
            e->m_shapeHeight = 40;
        }
        if (COverlayRectangle* r = dynamic_cast<COverlayRectangle*>(a.get())) {
            r->m_shapeX = 5.5f;
            r->m_shapeY = 6;
            r->m_shapeWidth = 7.25f;
            r->m_shapeHeight = 8;
        }
        if (COverlayImageAbove* i = dynamic_cast<COverlayImageAbove*>(a.get())) {
            i->m_imagePath = "D:\\图片\\b&c.png";
            i->m_colorMask = 0x01020304;
            i->m_whiteColorMask = 0xF0E0D0C0;
            i->m_rotate = 6;
            i->m_xGrow = 1;
            i->m_yGrow = 2;
            i->m_vectorGrow = 1;
            i->m_canRotate90 = 1;
            i->m_canRotate180 = 1;
            i->m_canRotate270 = 1;
            i->m_canFlipX = 1;
            i->m_canFlipX90 = 1;
            i->m_canFlipX180 = 1;
            i->m_canFlipX270 = 1;
            i->m_friendlyName = "名";
            i->m_useDropShadow = 1;
            i->m_clrShadow = 0x00112233;
            i->m_shadowBlur = 5;
            i->m_shadowOpacity = 60;
            i->m_shadowSizeX = -3;
            i->m_shadowSizeY = 9;
        }
        if (COverlaySpotlight* s = dynamic_cast<COverlaySpotlight*>(a.get())) {
            s->m_rectangleX = 10.5f;
            s->m_rectangleY = 11;
            s->m_rectangleWidth = 120.25f;
            s->m_rectangleHeight = 90;
            s->m_blurRadius = 3.5f;
            s->m_offset = 1;
            s->m_addShadow = 0;
            s->m_zoomLevel = 150;
            s->m_zoomLength = 4000000;
            s->m_brightness = 300;
            s->m_brightnessFadeTime = 6000000;
            s->m_horzOffset = -10;
            s->m_vertOffset = 20;
            s->m_shadowOffsetX = 3;
            s->m_shadowOffsetY = -4;
            s->m_shadowBlurPixels = 9;
        }
        XmlNode written;
        ASSERT_EQ(0, a->WriteXml(written));

        XmlNode reader(written.m_text);
        XmlNode typeElement;
        int at = 0;
        ASSERT_TRUE(reader.FindElement("Type", typeElement, at)) << type;
        std::unique_ptr<COverlay> b(COverlay::CreateByTypeName(typeElement.m_text.GetString()));
        ASSERT_TRUE(b) << type;
        ASSERT_EQ(0, b->ReadXml(reader, 0)) << type;
        ExpectSameBase(*a, *b, type);
        if (COverlayText* t = dynamic_cast<COverlayText*>(a.get()))
            ExpectSameDrawing(*t, *dynamic_cast<COverlayText*>(b.get()), type);
        if (COverlayEllipse* e = dynamic_cast<COverlayEllipse*>(a.get())) {
            COverlayEllipse* f = dynamic_cast<COverlayEllipse*>(b.get());
            EXPECT_EQ(e->m_shapeX, f->m_shapeX);
            EXPECT_EQ(e->m_shapeY, f->m_shapeY);
            EXPECT_EQ(e->m_shapeWidth, f->m_shapeWidth);
            EXPECT_EQ(e->m_shapeHeight, f->m_shapeHeight);
        }
        if (COverlayRectangle* r = dynamic_cast<COverlayRectangle*>(a.get())) {
            COverlayRectangle* s = dynamic_cast<COverlayRectangle*>(b.get());
            EXPECT_EQ(r->m_shapeX, s->m_shapeX);
            EXPECT_EQ(r->m_shapeY, s->m_shapeY);
            EXPECT_EQ(r->m_shapeWidth, s->m_shapeWidth);
            EXPECT_EQ(r->m_shapeHeight, s->m_shapeHeight);
        }
        if (COverlayImageAbove* i = dynamic_cast<COverlayImageAbove*>(a.get())) {
            COverlayImageAbove& written = *i;
            COverlayImageAbove& read = *dynamic_cast<COverlayImageAbove*>(b.get());
            const char* what = type;
            COverlayImageAbove& a = written;
            COverlayImageAbove& b = read;
            EXPECT_SAME(m_imagePath);
            EXPECT_SAME(m_colorMask);
            EXPECT_SAME(m_whiteColorMask);
            EXPECT_SAME(m_rotate);
            EXPECT_SAME(m_xGrow);
            EXPECT_SAME(m_yGrow);
            EXPECT_SAME(m_vectorGrow);
            EXPECT_SAME(m_canRotate90);
            EXPECT_SAME(m_canRotate180);
            EXPECT_SAME(m_canRotate270);
            EXPECT_SAME(m_canFlipX);
            EXPECT_SAME(m_canFlipX90);
            EXPECT_SAME(m_canFlipX180);
            EXPECT_SAME(m_canFlipX270);
            EXPECT_SAME(m_friendlyName);
            EXPECT_SAME(m_useDropShadow);
            EXPECT_SAME(m_clrShadow);
            EXPECT_SAME(m_shadowBlur);
            EXPECT_SAME(m_shadowOpacity);
            EXPECT_SAME(m_shadowSizeX);
            EXPECT_SAME(m_shadowSizeY);
        }
        if (COverlaySpotlight* s = dynamic_cast<COverlaySpotlight*>(a.get())) {
            COverlaySpotlight& written = *s;
            COverlaySpotlight& read = *dynamic_cast<COverlaySpotlight*>(b.get());
            COverlaySpotlight& a = written;
            COverlaySpotlight& b = read;
            const char* what = type;
            EXPECT_SAME(m_rectangleX);
            EXPECT_SAME(m_rectangleY);
            EXPECT_SAME(m_rectangleWidth);
            EXPECT_SAME(m_rectangleHeight);
            EXPECT_SAME(m_blurRadius);
            EXPECT_SAME(m_offset);
            EXPECT_SAME(m_addShadow);
            EXPECT_SAME(m_zoomLevel);
            EXPECT_SAME(m_zoomLength);
            EXPECT_SAME(m_brightness);
            EXPECT_SAME(m_brightnessFadeTime);
            EXPECT_SAME(m_horzOffset);
            EXPECT_SAME(m_vertOffset);
            EXPECT_SAME(m_shadowOffsetX);
            EXPECT_SAME(m_shadowOffsetY);
            EXPECT_SAME(m_shadowBlurPixels);
        }
    }
}

// Floats are stored with two decimals.
TEST(OverlayXml, FloatsKeepTwoDecimals)
{
    COverlayText a;
    a.m_rectDestX = 1.23456f;
    a.m_opacity = 0.333f;
    XmlNode node;
    a.WriteXml(node);
    COverlayText b;
    ASSERT_EQ(0, b.ReadXml(node, 0));
    EXPECT_FLOAT_EQ(1.23f, b.m_rectDestX);
    EXPECT_FLOAT_EQ(0.33f, b.m_opacity);
}

// Loading overlays whose identifiers are 7 and 3 into a fresh process makes
// the next new overlay take 8; an identifier of INT_MAX does not wrap the
// counter to negative identifiers.
TEST(OverlayXml, LoadedIdentifiersMoveTheCounter)
{
    const int saved = COverlay::GetNextOverlayId();
    XmlNode texts[2];
    const int ids[2] = {7, 3};
    for (int i = 0; i < 2; ++i) {
        COverlayText source;
        source.m_overlayId = ids[i];
        source.WriteXml(texts[i]);
    }
    COverlay::SetNextOverlayId(0);
    COverlayText first, second;   // take identifiers 0 and 1 when made
    ASSERT_EQ(0, first.ReadXml(texts[0], 0));
    ASSERT_EQ(0, second.ReadXml(texts[1], 0));
    EXPECT_EQ(7, first.m_overlayId);
    EXPECT_EQ(3, second.m_overlayId);
    COverlayText next;
    EXPECT_EQ(8, next.m_overlayId);

    COverlayText big;
    big.m_overlayId = INT_MAX;
    XmlNode node;
    big.WriteXml(node);
    COverlayText loaded;
    ASSERT_EQ(0, loaded.ReadXml(node, 0));
    EXPECT_EQ(INT_MAX, COverlay::GetNextOverlayId());
    COverlayText after1, after2;
    EXPECT_GE(after1.m_overlayId, 0);
    EXPECT_GE(after2.m_overlayId, 0);
    EXPECT_GE(COverlay::GetNextOverlayId(), 0);
    COverlay::SetNextOverlayId(saved);
}

// Missing elements leave their fields, except the text shadow's: without
// UseTextDropShadow the shadow reads as on, with colour 0, blur 1, 75 %.
TEST(OverlayXml, MissingElementsAndTheTextShadowDefaults)
{
    COverlayText o;
    o.m_useTextDropShadow = 0;
    o.m_clrTextShadow = 0x12345678;
    o.m_textShadowBlur = 9;
    o.m_textShadowOpacity = 10;
    o.m_rectDestX = 77;
    o.m_start = 99;
    XmlNode node("<Opacity>0.25</Opacity>\n<End>1234</End>\n");
    ASSERT_EQ(0, o.ReadXml(node, 0));
    EXPECT_FLOAT_EQ(0.25f, o.m_opacity);
    EXPECT_EQ(1234, o.m_end);
    EXPECT_EQ(77.0f, o.m_rectDestX);
    EXPECT_EQ(99, o.m_start);
    EXPECT_EQ(1, o.m_useTextDropShadow);
    EXPECT_EQ(0u, o.m_clrTextShadow);
    EXPECT_EQ(1, o.m_textShadowBlur);
    EXPECT_EQ(75, o.m_textShadowOpacity);
    EXPECT_EQ(2, o.m_textShadowSizeX);
}

// A Hotspot element that is not 0 stops the reading with E_FAIL: the text
// shadow, hot spot and own block are not read.
TEST(OverlayXml, HotspotElementStopsTheReading)
{
    COverlayText source;
    source.m_text = "own";
    source.Hotspot().m_gotoTime = 55;
    XmlNode written;
    source.WriteXml(written);
    XmlNode node(CString("<Hotspot>1</Hotspot>\n") + written.m_text);
    COverlayText o;
    EXPECT_EQ(E_FAIL, o.ReadXml(node, 0));
    EXPECT_TRUE(o.m_text.IsEmpty());
    EXPECT_EQ(0, o.Hotspot().m_gotoTime);
    XmlNode zero(CString("<Hotspot>0</Hotspot>\n") + written.m_text);
    EXPECT_EQ(0, o.ReadXml(zero, 0));
    EXPECT_EQ(CString("own"), o.m_text);
    EXPECT_EQ(55, o.Hotspot().m_gotoTime);
}

// Values read from files that size or scale anything are bounded: no giant
// allocations, a negative brightness darkens instead of wrapping.
TEST(OverlayXml, ReadValuesAreBounded)
{
    const struct {
        const char* xml;
        const char* field;
        double low;
        double high;
    } cases[] = {
        {"<BlurRadius>1e30</BlurRadius>", "BlurRadius", 0, 64},
        {"<BlurRadius>-5</BlurRadius>", "BlurRadius", 0, 64},
        {"<BlurRadius>nan</BlurRadius>", "BlurRadius", 0, 64},
        {"<Brightness>-300</Brightness>", "Brightness", 0, 1024},
        {"<Brightness>2147483647</Brightness>", "Brightness", 0, 1024},
        {"<ZoomLevel>2000000000</ZoomLevel>", "ZoomLevel", 1, 1000},
        {"<ZoomLevel>-50</ZoomLevel>", "ZoomLevel", 1, 1000},
        {"<ShadowBlurPixels>100000000</ShadowBlurPixels>", "ShadowBlurPixels", 0, 256},
        {"<ShadowBlurPixels>-1</ShadowBlurPixels>", "ShadowBlurPixels", 0, 256},
        {"<ShadowBlur>1000000</ShadowBlur>", "ShadowBlur", 0, 64},
        {"<ShadowBlur>-7</ShadowBlur>", "ShadowBlur", 0, 64},
        {"<MovieWidth>-100</MovieWidth>", "MovieWidth", 0, 32767},
        {"<MovieHeight>99999999</MovieHeight>", "MovieHeight", 0, 32767},
        {"<Width>2147483647</Width>", "Width", 0, 32767},
        {"<RectDest_Width>1e20</RectDest_Width>", "RectDest_Width", 0, 65536},
        {"<RectDest_Height>-4</RectDest_Height>", "RectDest_Height", 0, 65536},
        {"<FadeIn>-5000</FadeIn>", "FadeIn", 0, 1e18},
    };
    for (const auto& c : cases) {
        const std::string field = c.field;
        const bool spot = field == "BlurRadius" || field == "Brightness" || field == "ZoomLevel"
            || field == "ShadowBlurPixels";
        const bool image = field == "ShadowBlur";
        std::string xml = c.xml;
        if (spot)
            xml = "<Type>Spotlight</Type>\n<Overlay_Spotlight_Object>\n" + xml + "\n</Overlay_Spotlight_Object>\n";
        if (image)
            xml = "<Type>ImageAbove</Type>\n<Overlay_ImageAbove_Object>\n" + xml + "\n</Overlay_ImageAbove_Object>\n";
        XmlNode node(xml.c_str());
        double value = 0;
        if (spot) {
            COverlaySpotlight s;
            ASSERT_EQ(0, s.ReadXml(node, 0)) << c.xml;
            value = field == "BlurRadius" ? s.m_blurRadius
                : field == "Brightness"   ? s.m_brightness
                : field == "ZoomLevel"    ? s.m_zoomLevel
                                          : s.m_shadowBlurPixels;
        } else if (image) {
            COverlayImageAbove i;
            ASSERT_EQ(0, i.ReadXml(node, 0)) << c.xml;
            value = i.m_shadowBlur;
        } else {
            COverlayText t;
            ASSERT_EQ(0, t.ReadXml(node, 0)) << c.xml;
            value = field == "MovieWidth"   ? t.m_movieWidth
                : field == "MovieHeight"    ? t.m_movieHeight
                : field == "Width"          ? t.m_width
                : field == "RectDest_Width" ? t.m_rectDestWidth
                : field == "RectDest_Height" ? t.m_rectDestHeight
                                             : (double)t.m_fadeIn;
        }
        EXPECT_GE(value, c.low) << c.xml;
        EXPECT_LE(value, c.high) << c.xml;
    }
}
