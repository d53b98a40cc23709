#include "capture/StampText.h"

#include "capture/TimeDateFormat.h"
#include "settings/Rational.h"
#include "settings/RecorderPrefs.h"

#include <gtest/gtest.h>
#include <math.h>

#include <string>

namespace {

// Saturday 7 March 2026, 09:05:03.250: every field differs from its neighbours,
// so a swapped or missing part shows.
SYSTEMTIME FixedMoment()
{
    SYSTEMTIME st = {};
    st.wYear = 2026;
    st.wMonth = 3;
    st.wDayOfWeek = 6;
    st.wDay = 7;
    st.wHour = 9;
    st.wMinute = 5;
    st.wSecond = 3;
    st.wMilliseconds = 250;
    return st;
}

TimeDateFormat Pictures(const char* time, const char* date, int mode)
{
    TimeDateFormat f;
    f.SetTimeFormat(time);
    f.SetDateFormat(date);
    f.SetCustomTime("H.mm");
    f.SetCustomDate("dd/MM");
    f.SetMode(mode);
    return f;
}

std::string SystemComputerName()
{
    char name[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD size = sizeof(name);
    if (!::GetComputerNameA(name, &size))
        return std::string();
    return name;
}

std::string SystemUserName()
{
    char name[256] = "";
    DWORD size = sizeof(name);
    if (!::GetUserNameA(name, &size))
        return std::string();
    return name;
}

}  // namespace

TEST(StampText, ElapsedTimeText)
{
    const struct {
        float seconds;
        const char* text;
    } cases[] = {
        {0.0f, "00:00.000"},
        {75.25f, "01:15.250"},
        {59.9996f, "01:00.000"},   // rounds up into the next minute, never "00:60.000"
        {59.9994f, "00:59.999"},
        {60.0f, "01:00.000"},
        {119.9996f, "02:00.000"},
        {3599.9999f, "60:00.000"},
        {6000.5f, "100:00.500"},
        {0.0004f, "00:00.000"},
        {0.0006f, "00:00.001"},
        {-3.0f, "00:00.000"},      // no negative time on the frame
        {NAN, "00:00.000"},
        {INFINITY, "00:00.000"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(c.text, FormatStampElapsedTime(c.seconds)) << c.seconds;
}

TEST(StampText, ElapsedSecondsFromFramesAndRate)
{
    const struct {
        DWORD frames;
        DWORD rate;
        DWORD scale;
        float seconds;
    } cases[] = {
        {0, 30, 1, 0.0f},
        {30, 30, 1, 1.0f},
        {301, 15, 2, 301.0f * 2.0f / 15.0f},
        {30000, 30000, 1001, 1001.0f},
        {7, 1, 200, 1400.0f},
        {100, 0, 1, 0.0f},    // no rate: no time, and no division by zero
        {100, 0, 0, 0.0f},
    };
    for (const auto& c : cases) {
        const float s = StampElapsedSeconds(c.frames, CRational(c.rate, c.scale, 1));
        EXPECT_FLOAT_EQ(c.seconds, s) << c.frames << " frames at " << c.rate << "/" << c.scale;
    }
    // A whole recording stretch as the frame composer shows it.
    EXPECT_STREQ("01:15.250", FormatStampElapsedTime(StampElapsedSeconds(301, CRational(4, 1, 1))));
}

TEST(StampText, TimeDateByModeAndPicture)
{
    const char* const custom = TimeDateFormat::kCustomFormat;
    const struct {
        const char* time;
        const char* date;
        int mode;
        const char* text;
    } cases[] = {
        {"HH:mm:ss", "yyyy-MM-dd", 0, "09:05:03 2026-03-07"},
        {"HH:mm:ss", "yyyy-MM-dd", 1, "09:05:03"},
        {"HH:mm:ss", "yyyy-MM-dd", 2, "2026-03-07 09:05:03"},
        {"HH:mm:ss", "yyyy-MM-dd", 3, "2026-03-07"},
        {"HH:mm:ss", "yyyy-MM-dd", 7, "09:05:03 2026-03-07"},    // unknown mode: time first
        {"HH:mm:ss", "yyyy-MM-dd", -1, "09:05:03 2026-03-07"},
        {custom, "yyyy-MM-dd", 0, "9.05 2026-03-07"},            // the custom time picture
        {"HH:mm", custom, 2, "07/03 09:05"},                     // the custom date picture
        {custom, custom, 0, "9.05 07/03"},
        {"h' h 'mm", "dddd", 1, "9 h 05"},                       // quoted text in a picture
    };
    const SYSTEMTIME when = FixedMoment();
    for (const auto& c : cases) {
        const TimeDateFormat f = Pictures(c.time, c.date, c.mode);
        EXPECT_STREQ(c.text, FormatTimeDateStamp(f, when))
            << c.time << " / " << c.date << " mode " << c.mode;
    }
}

TEST(StampText, WindowsDefaultUsesTheLocaleFormats)
{
    const SYSTEMTIME when = FixedMoment();
    char date[128] = "";
    ASSERT_GT(::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &when, NULL, date, sizeof(date)), 0);
    char time[128] = "";
    ASSERT_GT(::GetTimeFormatA(LOCALE_USER_DEFAULT, LOCALE_NOUSEROVERRIDE, &when, NULL, time, sizeof(time)), 0);
    // The locale's texts carry the moment (not the literal entry as a picture).
    EXPECT_NE(nullptr, strstr(date, "2026")) << date;
    EXPECT_NE(nullptr, strstr(time, "05")) << time;

    const char* const def = TimeDateFormat::kWindowsDefault;
    const struct {
        const char* timeFormat;
        const char* dateFormat;
        int mode;
        std::string text;
    } cases[] = {
        {def, def, 0, std::string(time) + " " + date},
        {def, def, 2, std::string(date) + " " + time},
        {def, "yyyy", 0, std::string(time) + " 2026"},
        {"mm", def, 3, date},
        {"mm", def, 0, std::string("05 ") + date},
    };
    for (const auto& c : cases) {
        const TimeDateFormat f = Pictures(c.timeFormat, c.dateFormat, c.mode);
        EXPECT_STREQ(c.text.c_str(), FormatTimeDateStamp(f, when)) << c.mode;
    }
}

TEST(StampText, NoTimeShowsOnlyTheDate)
{
    TimeDateFormat f = Pictures("HH:mm:ss", "yyyy-MM-dd", 2);
    f.SetTimeFormat("None");
    EXPECT_STREQ(TimeDateFormat::kWindowsDefault, f.GetTimeFormat());
    EXPECT_STREQ("2026-03-07", FormatTimeDateStamp(f, FixedMoment()));

    TimeDateFormat g = Pictures("HH:mm:ss", "yyyy-MM-dd", 2);
    g.SetDateFormat("None");
    EXPECT_STREQ("09:05:03", FormatTimeDateStamp(g, FixedMoment()));
}

TEST(StampText, TimeDateOfTheLocalClock)
{
    // A picture of the year only cannot change between the three reads,
    // except at midnight on New Year's Eve, which the two reads bracket.
    const TimeDateFormat f = Pictures("HH", "yyyy", 3);
    SYSTEMTIME before;
    ::GetLocalTime(&before);
    const CString text = FormatTimeDateStamp(f);
    SYSTEMTIME after;
    ::GetLocalTime(&after);
    char y1[8], y2[8];
    wsprintfA(y1, "%04u", before.wYear);
    wsprintfA(y2, "%04u", after.wYear);
    EXPECT_TRUE(text == y1 || text == y2) << text;
}

TEST(StampText, LineFollowsOrderAndSwitches)
{
    const std::string comp = SystemComputerName();
    const std::string user = SystemUserName();
    ASSERT_FALSE(comp.empty());
    ASSERT_FALSE(user.empty());
    const std::string date = "2026-03-07";
    const std::string elapsed = "01:15.250";

    const struct {
        const char* order;
        int timeDate, elapsedOn, computer, userOn;
        std::string line;
    } cases[] = {
        {"TIMEDATE,ELAPTIME,COMPNAME,USERNAME", 1, 1, 1, 1, date + " " + elapsed + " " + comp + " " + user},
        {"USERNAME,TIMEDATE", 1, 1, 1, 1, user + " " + date},
        {"TIMEDATE,CLOCK", 1, 1, 1, 1, date},                // unknown token: no trailing blank
        {"", 1, 1, 1, 1, ""},
        {"TIMEDATE,ELAPTIME,COMPNAME,USERNAME", 0, 0, 0, 0, ""},
        {"TIMEDATE,ELAPTIME,COMPNAME,USERNAME", 0, 1, 0, 0, elapsed},
        {"COMPNAME,USERNAME,ELAPTIME", 1, 1, 0, 1, user + " " + elapsed},   // no leading blank
        {"ELAPTIME,TIMEDATE", 1, 1, 1, 1, elapsed + " " + date},
        {",,COMPNAME,", 1, 1, 1, 1, comp},
        {"timedate,ELAPTIME", 1, 1, 1, 1, elapsed},           // tokens are exact
        {"TIMEDATE ,ELAPTIME", 1, 1, 1, 1, elapsed},
        {"ELAPTIME,ELAPTIME", 1, 1, 1, 1, elapsed + " " + elapsed},
        {"USERNAME", 1, 1, 1, 0, ""},
    };
    for (const auto& c : cases) {
        CRecorderPrefs prefs(NULL);
        prefs.m_systemStampOrder = c.order;
        prefs.m_timeDateStamp = c.timeDate;
        prefs.m_elapsedTimeStamp = c.elapsedOn;
        prefs.m_computerNameStamp = c.computer;
        prefs.m_userNameStamp = c.userOn;
        prefs.m_timeDateFormat = Pictures("HH:mm:ss", "yyyy-MM-dd", 3);
        EXPECT_STREQ(c.line.c_str(), BuildStampLine(prefs, 75.25f, FixedMoment()))
            << "order '" << c.order << "' switches " << c.timeDate << c.elapsedOn << c.computer
            << c.userOn;
    }
}

TEST(StampText, LineOfTheDefaultPreferences)
{
    // The preferences' defaults: the default order with only the time/date on,
    // in the locale's formats.
    CRecorderPrefs prefs(NULL);
    EXPECT_STREQ("TIMEDATE,ELAPTIME,COMPNAME,USERNAME", prefs.m_systemStampOrder);
    const SYSTEMTIME when = FixedMoment();
    const CString expected = FormatTimeDateStamp(prefs.m_timeDateFormat, when);
    EXPECT_FALSE(expected.IsEmpty());
    EXPECT_STREQ(expected, BuildStampLine(prefs, 12.0f, when));

    // The overload on the clock gives the same items.
    prefs.m_timeDateStamp = 0;
    prefs.m_elapsedTimeStamp = 1;
    EXPECT_STREQ("00:12.000", BuildStampLine(prefs, 12.0f));
}
