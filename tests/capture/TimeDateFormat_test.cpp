#include "capture/TimeDateFormat.h"

#include <gtest/gtest.h>

TEST(TimeDateFormat, NewRecordIsEmptyWithModeZero)
{
    TimeDateFormat f;
    EXPECT_TRUE(f.GetTimeFormat().IsEmpty());
    EXPECT_TRUE(f.GetDateFormat().IsEmpty());
    EXPECT_TRUE(f.GetCustomTime().IsEmpty());
    EXPECT_TRUE(f.GetCustomDate().IsEmpty());
    EXPECT_EQ(0, f.GetMode());
}

TEST(TimeDateFormat, WindowsDefaultIsTheChineseText)
{
    // "Windows 默认" in code page 936.
    EXPECT_STREQ("Windows \xC4\xAC\xC8\xCF", TimeDateFormat::kWindowsDefault);
}

TEST(TimeDateFormat, NoneSwitchesToTheOtherItemOnly)
{
    struct Case {
        bool time;           // SetTimeFormat, else SetDateFormat
        const char* text;
        int modeBefore;
        const char* stored;  // NULL: the text itself
        int modeAfter;
    } cases[] = {
        {true, "None", 0, TimeDateFormat::kWindowsDefault, 3},
        {true, "None", 2, TimeDateFormat::kWindowsDefault, 3},
        {true, "HH:mm:ss", 2, nullptr, 2},
        {true, "none", 1, nullptr, 1},          // only the exact text counts
        {true, "Custom Format", 0, nullptr, 0},
        {false, "None", 0, TimeDateFormat::kWindowsDefault, 1},
        {false, "None", 3, TimeDateFormat::kWindowsDefault, 1},
        {false, "yyyy-MM-dd", 3, nullptr, 3},
        {false, "None ", 2, nullptr, 2},
    };
    for (const Case& c : cases) {
        TimeDateFormat f;
        f.SetMode(c.modeBefore);
        CString text = c.text;
        if (c.time)
            f.SetTimeFormat(text);
        else
            f.SetDateFormat(text);
        const CString& got = c.time ? f.GetTimeFormat() : f.GetDateFormat();
        EXPECT_STREQ(c.stored ? c.stored : c.text, got) << c.text;
        EXPECT_EQ(c.modeAfter, f.GetMode()) << c.text << " from mode " << c.modeBefore;
    }
}

TEST(TimeDateFormat, CopyAndSelfAssignment)
{
    TimeDateFormat a;
    a.SetTimeFormat("h:mm");
    a.SetDateFormat(TimeDateFormat::kCustomFormat);
    a.SetCustomTime("h:mm:ss tt");
    a.SetCustomDate("M/dd/yyyy");
    a.SetMode(2);

    TimeDateFormat b;
    b = a;
    EXPECT_STREQ("h:mm", b.GetTimeFormat());
    EXPECT_STREQ("Custom Format", b.GetDateFormat());
    EXPECT_STREQ("h:mm:ss tt", b.GetCustomTime());
    EXPECT_STREQ("M/dd/yyyy", b.GetCustomDate());
    EXPECT_EQ(2, b.GetMode());

    TimeDateFormat& self = b;
    b = self;
    EXPECT_STREQ("h:mm", b.GetTimeFormat());
    EXPECT_STREQ("M/dd/yyyy", b.GetCustomDate());
    EXPECT_EQ(2, b.GetMode());

    TimeDateFormat c(a);
    EXPECT_STREQ("h:mm:ss tt", c.GetCustomTime());
}
