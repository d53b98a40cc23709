#include "capture/StampText.h"

#include "capture/TimeDateFormat.h"
#include "settings/Rational.h"
#include "settings/RecorderPrefs.h"

#include <math.h>

const char kStampTokenTimeDate[] = "TIMEDATE";
const char kStampTokenElapsed[] = "ELAPTIME";
const char kStampTokenComputer[] = "COMPNAME";
const char kStampTokenUser[] = "USERNAME";

// Both formatters are asked twice: once for the length, once into a buffer of
// that length, so no picture can overflow a fixed buffer.
CString FormatTimePicture(const SYSTEMTIME& when, LPCSTR picture, DWORD flags)
{
    const int needed = ::GetTimeFormatA(LOCALE_USER_DEFAULT, flags, &when, picture, NULL, 0);
    if (needed <= 0)
        return CString();
    CString text;
    const int written = ::GetTimeFormatA(LOCALE_USER_DEFAULT, flags, &when, picture,
                                         text.GetBuffer(needed), needed);
    text.ReleaseBuffer(written > 0 ? written - 1 : 0);
    return text;
}

CString FormatDatePicture(const SYSTEMTIME& when, LPCSTR picture, DWORD flags)
{
    const int needed = ::GetDateFormatA(LOCALE_USER_DEFAULT, flags, &when, picture, NULL, 0);
    if (needed <= 0)
        return CString();
    CString text;
    const int written = ::GetDateFormatA(LOCALE_USER_DEFAULT, flags, &when, picture,
                                         text.GetBuffer(needed), needed);
    text.ReleaseBuffer(written > 0 ? written - 1 : 0);
    return text;
}

CString JoinTimeDate(int mode, const CString& timeText, const CString& dateText)
{
    switch (mode) {
    case TimeDateFormat::TimeOnly:
        return timeText;
    case TimeDateFormat::DateBlankTime:
        return dateText + " " + timeText;
    case TimeDateFormat::DateOnly:
        return dateText;
    default:
        return timeText + " " + dateText;
    }
}

// Both parts are formatted whatever the mode; the mode only chooses what is
// joined. A picture the system rejects gives an empty part.
CString FormatTimeDateStamp(const TimeDateFormat& format, const SYSTEMTIME& when)
{
    CString dateText;
    if (format.GetDateFormat() == TimeDateFormat::kWindowsDefault) {
        dateText = FormatDatePicture(when, NULL, DATE_SHORTDATE);
    } else {
        const CString& picture = format.GetDateFormat() == TimeDateFormat::kCustomFormat
                                     ? format.GetCustomDate()
                                     : format.GetDateFormat();
        dateText = FormatDatePicture(when, picture, 0);
    }

    CString timeText;
    if (format.GetTimeFormat() == TimeDateFormat::kWindowsDefault) {
        timeText = FormatTimePicture(when, NULL, LOCALE_NOUSEROVERRIDE);
    } else {
        const CString& picture = format.GetTimeFormat() == TimeDateFormat::kCustomFormat
                                     ? format.GetCustomTime()
                                     : format.GetTimeFormat();
        timeText = FormatTimePicture(when, picture, 0);
    }
    return JoinTimeDate(format.GetMode(), timeText, dateText);
}

CString FormatTimeDateStamp(const TimeDateFormat& format)
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return FormatTimeDateStamp(format, now);
}

float StampElapsedSeconds(DWORD frames, const CRational& rate)
{
    if (rate.m_nRate == 0)
        return 0.0f;
    const float scaled = (float)frames * (float)rate.m_nScale;
    return scaled / (float)rate.m_nRate;
}

// The time is rounded to whole milliseconds before it is split into minutes
// and seconds: rounding only the seconds would show 59.9996 s as "00:60.000".
// A negative or non-finite time (no caller should pass one) shows as zero.
CString FormatStampElapsedTime(float seconds)
{
    double ms = (double)seconds * 1000.0;
    if (!(ms >= 0.0) || isinf(ms))
        ms = 0.0;
    ms = floor(ms + 0.5);
    const double minutes = floor(ms / 60000.0);
    const double rest = (ms - minutes * 60000.0) / 1000.0;
    CString text;
    text.Format("%02.0f:%06.3f", minutes, rest);
    return text;
}

namespace {

// Empty when the system cannot tell the name; the item is then left out.
CString ComputerName()
{
    char name[16] = "";
    DWORD size = sizeof(name);
    if (!::GetComputerNameA(name, &size))
        return CString();
    return CString(name);
}

CString UserName()
{
    char name[100] = "";
    DWORD size = sizeof(name);
    if (!::GetUserNameA(name, &size))
        return CString();
    return CString(name);
}

}  // namespace

CString BuildStampLine(const CRecorderPrefs& prefs, float elapsedSeconds, const SYSTEMTIME& now)
{
    CString line;
    const CString& order = prefs.m_systemStampOrder;
    int start = 0;
    while (start <= order.GetLength()) {
        int end = order.Find(',', start);
        if (end < 0)
            end = order.GetLength();
        const CString token = order.Mid(start, end - start);
        start = end + 1;

        CString item;
        if (token == kStampTokenTimeDate) {
            if (!prefs.m_timeDateStamp)
                continue;
            item = FormatTimeDateStamp(prefs.m_timeDateFormat, now);
        } else if (token == kStampTokenElapsed) {
            if (!prefs.m_elapsedTimeStamp)
                continue;
            item = FormatStampElapsedTime(elapsedSeconds);
        } else if (token == kStampTokenComputer) {
            if (!prefs.m_computerNameStamp)
                continue;
            item = ComputerName();
        } else if (token == kStampTokenUser) {
            if (!prefs.m_userNameStamp)
                continue;
            item = UserName();
        } else {
            continue;   // not one of the four: skipped
        }
        if (item.IsEmpty())
            continue;
        if (!line.IsEmpty())
            line += " ";
        line += item;
    }
    return line;
}

CString BuildStampLine(const CRecorderPrefs& prefs, float elapsedSeconds)
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    return BuildStampLine(prefs, elapsedSeconds, now);
}
