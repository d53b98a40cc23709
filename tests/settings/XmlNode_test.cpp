#include "settings/XmlNode.h"

#include "SettingsTestUtil.h"

#include <gtest/gtest.h>

namespace {

LOGFONTA CaptionFont()
{
    LOGFONTA lf = {};
    lf.lfHeight = -11;
    lf.lfWeight = 700;
    lf.lfItalic = 1;
    lf.lfCharSet = 134;
    lf.lfPitchAndFamily = 2;
    lstrcpyA(lf.lfFaceName, "宋体");
    return lf;
}

}  // namespace

// A file whose values hold no markup characters is written exactly in the
// line format: compared with a golden file derived by hand.
TEST(XmlNode, WritesTheGoldenText)
{
    XmlNode xml;
    xml.WriteOpenTag("Recording_Data");
    EXPECT_TRUE(xml.WriteValue("Version", 1, "3.00"));
    EXPECT_TRUE(xml.WriteValue("Empty", 0));
    EXPECT_TRUE(xml.WriteValue("Count", 2, -42));
    EXPECT_TRUE(xml.WriteValue("Size", 4, 0xFFFFFFFFu));
    EXPECT_TRUE(xml.WriteValue("Mask", 5, 255));
    EXPECT_TRUE(xml.WriteValue("Rate", 7, 29.97));
    EXPECT_TRUE(xml.WriteValue("Colour", 9, 0xC0FFEE));
    EXPECT_TRUE(xml.WriteValue("Duration", 17, (LONGLONG)-12345678901234LL));
    EXPECT_TRUE(xml.WriteFontElement("Caption", CaptionFont()));
    xml.WriteCloseTag("Recording_Data");

    std::string expected;
    ASSERT_TRUE(settingstest::ReadDataFileAnsi("settings\\properties.skoxml.expected", &expected));
    EXPECT_EQ(expected, std::string(xml.m_text.GetString()));
}

TEST(XmlNode, ValueTextByKind)
{
    struct Case {
        int kind;
        double real;
        LONGLONG integer;
        bool useReal;
        int precision;
        const char* text;
    } cases[] = {
        { 7, 29.97, 0, true, 2, "29.97" },
        { 7, 29.97, 0, true, -1, "29.97" },
        { 7, 29.97, 0, true, 4, "29.9700" },
        { 7, 2.6, 0, true, 0, "3" },
        { 5, 0, 255, false, 2, "0xFF" },
        { 9, 0, 255, false, 2, "0x000000FF" },
        { 2, 0, -7, false, 2, "-7" },
        { 3, 0, 12, false, 2, "12" },
        { 10, 0, 13, false, 2, "13" },
        { 4, 0, -1, false, 2, "4294967295" },
        { 6, 0, 200, false, 2, "200" },
        { 17, 0, 1LL << 40, false, 2, "1099511627776" },
    };
    for (const Case& c : cases) {
        XmlNode xml;
        xml.m_precision = c.precision;
        BOOL ok = c.useReal ? xml.WriteValue("V", c.kind, c.real)
                            : xml.WriteValue("V", c.kind, c.integer);
        EXPECT_TRUE(ok) << "kind " << c.kind;
        EXPECT_EQ(std::string("<V>") + c.text + "</V>\n", xml.m_text.GetString())
            << "kind " << c.kind << " precision " << c.precision;
    }
}

TEST(XmlNode, UnknownKindsWriteNothingAndFail)
{
    XmlNode xml;
    EXPECT_FALSE(xml.WriteValue("V", 18, 1));
    EXPECT_FALSE(xml.WriteValue("V", -1, 1));
    EXPECT_FALSE(xml.WriteValue("V", 18, "text"));
    EXPECT_FALSE(xml.WriteValue("V", 1, 5));      // a text kind needs a text
    EXPECT_FALSE(xml.WriteValue("V", 2, "5"));    // a number kind needs a number
    EXPECT_TRUE(xml.m_text.IsEmpty());
    for (int kind : { 1, 8, 11, 12, 13, 14, 15, 16 }) {
        XmlNode t;
        EXPECT_TRUE(t.WriteValue("T", kind, "abc")) << kind;
        EXPECT_EQ(std::string("<T>abc</T>\n"), t.m_text.GetString()) << kind;
    }
}

TEST(XmlNode, ConstructorsAndCopiesKeepTheFormat)
{
    XmlNode a("<A>1</A>");
    EXPECT_EQ(2, a.m_precision);
    EXPECT_EQ(std::string("< >"), a.m_separators.GetString());
    a.m_precision = 5;
    a.m_userValue = 9;
    XmlNode found;
    int pos = 0;
    ASSERT_TRUE(a.FindElement("A", found, pos));
    XmlNode b(a);
    EXPECT_EQ(5, b.m_precision);
    EXPECT_EQ(9, b.m_userValue);
    EXPECT_EQ(a.m_openStart, b.m_openStart);
    EXPECT_EQ(a.m_closeEnd, b.m_closeEnd);
    EXPECT_EQ(std::string(a.m_text.GetString()), b.m_text.GetString());
    b.ResetFormat();
    EXPECT_EQ(2, b.m_precision);
    XmlNode c(CString("x"));
    EXPECT_EQ(2, c.m_precision);
}

// Text values holding & < > " ' are escaped on writing and decoded on reading,
// so they come back unchanged.
TEST(XmlNode, MarkupCharactersInTextValuesRoundTrip)
{
    const char* values[] = {
        "a < b", "a > b", "Tom & Jerry", "say \"hi\"", "it's", "<Clip>x</Clip>",
        "&lt; stays literal", "&amp;", "mixed <&>\"' 中文", "",
    };
    XmlNode xml;
    xml.WriteOpenTag("List");
    for (const char* v : values)
        ASSERT_TRUE(xml.WriteValue("Item", 1, v));
    xml.WriteCloseTag("List");
    XmlNode escaped;
    escaped.WriteValue("Item", 1, "a<b>&\"'");
    EXPECT_EQ(std::string("<Item>a&lt;b&gt;&amp;&quot;&apos;</Item>\n"), escaped.m_text.GetString());

    XmlNode list;
    int pos = 0;
    ASSERT_TRUE(xml.FindElement("List", list, pos));
    int inner = 0;
    for (const char* v : values) {
        XmlNode item;
        ASSERT_TRUE(list.FindElement("Item", item, inner)) << v;
        EXPECT_EQ(std::string(v), item.m_text.GetString());
    }
}

TEST(XmlNode, FindElementReturnsNestedTextUnchanged)
{
    XmlNode xml("<Clip><Name>a</Name><Clip>inner</Clip>&amp;</Clip><Next>1</Next>");
    XmlNode found;
    int pos = 0;
    ASSERT_TRUE(xml.FindElement("Clip", found, pos));
    EXPECT_EQ(std::string("<Name>a</Name><Clip>inner</Clip>&amp;"), found.m_text.GetString());
    EXPECT_EQ(xml.m_closeEnd, pos);
    EXPECT_EQ(0, xml.m_openStart);
    EXPECT_EQ(5, xml.m_openEnd);
    EXPECT_EQ('<', xml.m_text[xml.m_closeStart]);
    // The search goes on after the element.
    XmlNode next;
    ASSERT_TRUE(xml.FindElement("Next", next, pos));
    EXPECT_EQ(std::string("1"), next.m_text.GetString());
    // A name given with its angle brackets is the same name.
    int again = 0;
    ASSERT_TRUE(xml.FindElement("<Next>", next, again));
    EXPECT_EQ(std::string("1"), next.m_text.GetString());
}

TEST(XmlNode, FindElementDecodesOneLevelOnly)
{
    XmlNode xml("<T>&amp;lt;</T><U>&lt;&gt;&quot;&apos;&amp;</U>");
    XmlNode found;
    int pos = 0;
    ASSERT_TRUE(xml.FindElement("T", found, pos));
    EXPECT_EQ(std::string("&lt;"), found.m_text.GetString());
    ASSERT_TRUE(xml.FindElement("U", found, pos));
    EXPECT_EQ(std::string("<>\"'&"), found.m_text.GetString());
}

TEST(XmlNode, FindElementMatchesWholeNamesAndKeepsThePositionWhenMissing)
{
    XmlNode xml("<NameList>x</NameList>\n<Item id=\"1\">y</Item>\n");
    XmlNode found;
    int pos = 0;
    EXPECT_FALSE(xml.FindElement("Name", found, pos));
    EXPECT_EQ(0, pos);
    pos = 3;
    EXPECT_FALSE(xml.FindElement("Missing", found, pos));
    EXPECT_EQ(3, pos);
    EXPECT_FALSE(xml.FindElement("", found, pos));
    EXPECT_FALSE(xml.FindElement(nullptr, found, pos));
    // An opening tag with attributes is matched by the name before the blank.
    pos = 0;
    ASSERT_TRUE(xml.FindElement("Item", found, pos));
    EXPECT_EQ(std::string("y"), found.m_text.GetString());
    // An element whose end is missing is not found.
    XmlNode broken("<A>text");
    pos = 0;
    EXPECT_FALSE(broken.FindElement("A", found, pos));
    EXPECT_EQ(0, pos);
}

TEST(XmlNode, ReadNumberByKind)
{
    XmlNode xml;
    xml.WriteValue("Hex", 5, 255);
    xml.WriteValue("Hex8", 9, 0xABCDEFu);
    xml.WriteValue("Neg", 2, -5);
    xml.WriteValue("Big", 4, 4000000000u);
    xml.WriteValue("Float", 7, 1.5);
    xml.WriteValue("Word", 1, "abc");

    struct Case { const char* name; int kind; bool ok; unsigned int value; } cases[] = {
        { "Hex", 5, true, 255 },
        { "Hex8", 9, true, 0xABCDEF },
        { "Neg", 2, true, (unsigned int)-5 },
        { "Neg", 3, true, (unsigned int)-5 },
        { "Neg", 10, true, (unsigned int)-5 },
        { "Big", 4, true, 4000000000u },
        { "Big", 6, true, 4000000000u },
        { "Float", 7, false, 77 },
        { "Float", 8, false, 77 },
        { "Hex", 1, false, 77 },
        { "Hex", 11, false, 77 },
        { "Word", 2, false, 77 },
        { "Missing", 2, false, 77 },
    };
    for (const Case& c : cases) {
        unsigned int value = 77;
        int pos = 0;
        EXPECT_EQ(c.ok, xml.ReadNumber(c.name, value, pos, c.kind) != FALSE) << c.name << " kind " << c.kind;
        EXPECT_EQ(c.value, value) << c.name << " kind " << c.kind;
    }
    float f = 0;
    int pos = 0;
    ASSERT_TRUE(xml.ReadFloat("Float", f, pos));
    EXPECT_FLOAT_EQ(1.5f, f);
    pos = 0;
    f = 3;
    EXPECT_FALSE(xml.ReadFloat("Word", f, pos));
    EXPECT_FLOAT_EQ(3.0f, f);
    long l = 0;
    pos = 0;
    ASSERT_TRUE(xml.ReadNumber("Neg", l, pos, 2));
    EXPECT_EQ(-5, l);
}

TEST(XmlNode, FontElementRoundTrips)
{
    XmlNode xml;
    LOGFONTA written = CaptionFont();
    written.lfWidth = 3;
    written.lfEscapement = 900;
    written.lfOrientation = 450;
    written.lfUnderline = 1;
    written.lfStrikeOut = 1;
    written.lfOutPrecision = 3;
    written.lfClipPrecision = 2;
    written.lfQuality = 5;
    ASSERT_TRUE(xml.WriteFont("Font", written, 7));
    LOGFONTA read;
    memset(&read, 0xCC, sizeof(read));
    int flags = 0;
    int pos = 0;
    ASSERT_TRUE(xml.ReadFont(pos, "Font", read, flags));
    EXPECT_EQ(7, flags);
    EXPECT_EQ(0, memcmp(&written, &read, offsetof(LOGFONTA, lfFaceName)));
    EXPECT_STREQ(written.lfFaceName, read.lfFaceName);
}

TEST(XmlNode, ReadFontCutsLongFacesAndClearsMissingFields)
{
    XmlNode xml("<F><Font.Height>-20</Font.Height><Font.Weight>bad</Font.Weight>"
                "<Font.Italic>1</Font.Italic>"
                "<Font.Face>ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCD</Font.Face></F>");
    LOGFONTA lf;
    memset(&lf, 0xCC, sizeof(lf));
    int flags = 99;
    int pos = 0;
    ASSERT_TRUE(xml.ReadFont(pos, "F", lf, flags));
    EXPECT_EQ(99, flags);   // missing: left as it was
    EXPECT_EQ(-20, lf.lfHeight);
    EXPECT_EQ(0, lf.lfWeight);
    EXPECT_EQ(1, lf.lfItalic);
    EXPECT_EQ(0, lf.lfCharSet);
    EXPECT_EQ(31u, strlen(lf.lfFaceName));
    EXPECT_EQ(std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZ01234"), lf.lfFaceName);

    LOGFONTA untouched;
    memset(&untouched, 0x5A, sizeof(untouched));
    pos = 0;
    EXPECT_FALSE(xml.ReadFont(pos, "G", untouched, flags));
    EXPECT_EQ(0x5A, untouched.lfItalic);
}

TEST(XmlNode, FindAttribute)
{
    XmlNode xml("<Clip name=\"first\" alt = 'second' bad=x open=\"never>");
    CString value;
    int pos = 0;
    ASSERT_TRUE(xml.FindAttribute("name", value, pos));
    EXPECT_EQ(std::string("first"), value.GetString());
    EXPECT_EQ('"', xml.m_text[pos]);
    EXPECT_EQ(xml.m_closeEnd, pos);
    ASSERT_TRUE(xml.FindAttribute("alt", value, pos));
    EXPECT_EQ(std::string("second"), value.GetString());
    const int before = pos;
    EXPECT_FALSE(xml.FindAttribute("bad", value, pos));
    EXPECT_EQ(before, pos);
    EXPECT_FALSE(xml.FindAttribute("open", value, pos));
    EXPECT_EQ(before, pos);
    EXPECT_FALSE(xml.FindAttribute("none", value, pos));
    EXPECT_EQ(before, pos);
    XmlNode blanks("<a k=   ");
    pos = 0;
    EXPECT_FALSE(blanks.FindAttribute("k", value, pos));
    EXPECT_EQ(0, pos);
}
