#include "app/Registrations.h"

#include "app/RecorderApp.h"

#include <gtest/gtest.h>
#include <string>

namespace {

std::string FormatName(UINT id)
{
    char name[256] = "";
    ::GetClipboardFormatNameA(id, name, sizeof(name));
    return name;
}

// Every registration is kept under its name: registering the name again gives
// the same id, and a clipboard format's id names it.
TEST(Registrations, FormatsAndMessagesKeepTheIdsOfTheirNames)
{
    struct Format {
        const char* name;
        UINT id;
    };
    const Format formats[] = {
        { "Skorvale Layout", g_cfLayout },
        { "Skorvale Note", g_cfNote },
        { "Skorvale Format", g_cfFormat },
        { "Skorvale 屏幕便笺", g_cfScreenNote },
    };
    for (const Format& f : formats) {
        EXPECT_GE(f.id, 0xC000u) << f.name;
        EXPECT_LE(f.id, 0xFFFFu) << f.name;
        EXPECT_EQ((UINT)(WORD)::RegisterClipboardFormatA(f.name), f.id) << f.name;
        EXPECT_EQ(f.name, FormatName(f.id));
    }
    EXPECT_NE(g_cfLayout, g_cfNote);
    EXPECT_NE(g_cfNote, g_cfFormat);
    EXPECT_NE(g_cfFormat, g_cfScreenNote);

    EXPECT_NE(0u, g_msgSiblingLaunch);
    EXPECT_EQ(::RegisterWindowMessageA("UWM_SKOLAUNCH_8641A2DC_A3D2_40CB_91A9_7CF19B98BC1A_REGISTERED"),
              g_msgSiblingLaunch);
}

// The two sets of paint-control messages carry the same names, so both hold
// the same four ids.
TEST(Registrations, BothPaintControlSetsHoldTheSameIds)
{
    struct Message {
        const char* name;
        UINT first;
        UINT second;
    };
    const Message messages[] = {
        { "_PAINT_CONTROL_IMAGE_CHANGED_", g_paintMessages.imageChanged, g_paintMessages2.imageChanged },
        { "_PAINT_CONTROL_MAG_CHANGED_", g_paintMessages.magChanged, g_paintMessages2.magChanged },
        { "_PAINT_CONTROL_COLOUR_SAMPLER", g_paintMessages.colourSampler, g_paintMessages2.colourSampler },
        { "_PAINT_CONTROL_MODE_CHANGED", g_paintMessages.modeChanged, g_paintMessages2.modeChanged },
    };
    for (const Message& m : messages) {
        EXPECT_GE(m.first, 0xC000u) << m.name;
        EXPECT_EQ(m.first, m.second) << m.name;
        EXPECT_EQ(::RegisterWindowMessageA(m.name), m.first) << m.name;
    }
    EXPECT_NE(g_paintMessages.imageChanged, g_paintMessages.magChanged);
    EXPECT_NE(g_paintMessages.colourSampler, g_paintMessages.modeChanged);
}

// A name that cannot be registered leaves 0, and nothing is shown.
TEST(Registrations, AFailedRegistrationLeavesZero)
{
    const std::string tooLong(300, 'x');
    const char* const names[] = { NULL, "", tooLong.c_str() };
    for (const char* name : names) {
        const std::string shown = name ? std::to_string(strlen(name)) + " characters" : "none";
        EXPECT_EQ(0u, RegisterFormatId(name)) << shown;
        EXPECT_EQ(0u, RegisterMessageId(name)) << shown;
    }
    EXPECT_NE(0u, RegisterFormatId("Skorvale Layout"));
    EXPECT_NE(0u, RegisterMessageId("_PAINT_CONTROL_MODE_CHANGED"));
}

// The application object and the GDI+ guard come from the one ordered unit:
// the guard is made but not started until the application's start-up runs.
TEST(Registrations, ApplicationObjectAndAGuardNotYetStarted)
{
    EXPECT_EQ(static_cast<CWinApp*>(&theApp), AfxGetApp());
    EXPECT_FALSE(CRecorderApp::s_gdiplus.IsStartedHere());
    EXPECT_EQ(0, CRecorderApp::s_gdiplus.GetUseCount());
}

// The preview poll objects: two manual-reset events that start signalled,
// a usable list guard, and the command codes 0 to 6 in order.
TEST(Registrations, PreviewPollObjectsAndCommandCodes)
{
    const HANDLE events[] = { g_previewPollGate, g_previewPollExit };
    for (HANDLE e : events) {
        ASSERT_TRUE(e != NULL);
        EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(e, 0));
        EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(e, 0)) << "manual reset: a wait does not clear it";
    }
    EXPECT_NE(g_previewPollGate, g_previewPollExit);
    EXPECT_TRUE(g_previewPlayerListLock.Lock());
    EXPECT_TRUE(g_previewPlayerListLock.Unlock());
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(i, g_previewCommand[i]);
    EXPECT_TRUE(g_timelineRegistry.IsEmpty());
    EXPECT_TRUE(g_captureTextList.IsEmpty());
}

TEST(Registrations, SoftwareTransitionsInTheirOrder)
{
    const char* const names[kSoftwareTransitionCount] = {
        "Spiral", "Iris", "RadialWipe", "ZigZag", "RandomBars", "Wheel", "Strips", "Inset", "Blinds",
        "CheckerBoard", "DxtJpeg Class", "Barn", "Fade", "Stretch", "GradientWipe", "Slide", "Pixelate",
        "RandomDissolve",
    };
    for (int i = 0; i < kSoftwareTransitionCount; ++i) {
        EXPECT_STREQ(names[i], g_softwareTransitions[i].name) << i;
        EXPECT_EQ(i >= 12, g_softwareTransitions[i].blends) << names[i];
        EXPECT_EQ(&g_softwareTransitions[i], FindSoftwareTransition(names[i]));
    }
    EXPECT_TRUE(FindSoftwareTransition("fade") == NULL) << "names are matched exactly";
    EXPECT_TRUE(FindSoftwareTransition("") == NULL);
    EXPECT_TRUE(FindSoftwareTransition(NULL) == NULL);
}

// The product information is filled, with its language table, before the
// program starts.
TEST(Registrations, ProductInformationIsFilled)
{
    EXPECT_STREQ("Skorvale Recorder", g_productInfo.GetProductName());
    EXPECT_STREQ("3.0", g_productInfo.GetVersion());
    EXPECT_FALSE(g_productInfo.GetLanguage().IsEmpty());
    CString code;
    EXPECT_TRUE(g_productLanguages.Lookup("0804", code));
    EXPECT_STREQ("chs", code);
}

TEST(ProductInfo, LanguageOfTheInterface)
{
    struct Case {
        LANGID id;
        const char* language;
    };
    const Case cases[] = {
        { MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), "chs" },
        { MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL), "cht" },
        { MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), "enu" },
        { MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), "deu" },
        { MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH), "chs" },   // unknown: the product's own
    };
    for (const Case& c : cases) {
        CMapStringToString languages;
        CProductInfo info(languages, c.id);
        EXPECT_STREQ(c.language, info.GetLanguage()) << std::hex << c.id;
        EXPECT_EQ(8, (int)languages.GetCount());
    }
}

TEST(ProductInfo, WebLinksCarryTheQueryFieldsEncoded)
{
    CMapStringToString languages;
    const CProductInfo info(languages, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    const std::string base = std::string(CProductInfo::kRedirectAddress) + "?target=";
    struct Case {
        const char* target;
        const char* param;
        std::string link;
    };
    const Case cases[] = {
        { "help", NULL, base + "help&product=SkorvaleRecorder&lang=enu&verinst=3.0" },
        { "faq", "topic 7", base + "faq&targetparam=topic%207&product=SkorvaleRecorder&lang=enu&verinst=3.0" },
        { "a&b=c", "x/y?z", base + "a%26b%3Dc&targetparam=x%2Fy%3Fz&product=SkorvaleRecorder&lang=enu&verinst=3.0" },
        { "", "", base + "&targetparam=&product=SkorvaleRecorder&lang=enu&verinst=3.0" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.link, std::string(info.GetWebLink(c.target, c.param))) << c.target;
    EXPECT_STREQ("%E5%B1%8F-_.~Az09", CProductInfo::EncodeQueryValue("\xE5\xB1\x8F-_.~Az09"));
    EXPECT_STREQ("", CProductInfo::EncodeQueryValue(NULL));
}

}  // namespace
