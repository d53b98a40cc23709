#pragma once
// The system stamp: the line of text burnt into every recorded frame, made of
// up to four items (time/date, elapsed time, computer name, user name) in the
// order the preferences give. Plain functions without state; the frame
// composer calls BuildStampLine on the capture thread once per frame, the
// time/date format dialog uses the picture helpers on the user-interface
// thread.
#include "framework/AfxPlatform.h"
#include "framework/String.h"

class CRational;
class CRecorderPrefs;
class TimeDateFormat;

// The four item tokens of the stamp order text ("TIMEDATE,ELAPTIME,...").
extern const char kStampTokenTimeDate[];   // "TIMEDATE"
extern const char kStampTokenElapsed[];    // "ELAPTIME"
extern const char kStampTokenComputer[];   // "COMPNAME"
extern const char kStampTokenUser[];       // "USERNAME"

// The whole stamp line for the preferences' order, switches and time/date
// format, with the elapsed recording time in seconds; empty when no item is
// on. The overload with a time stamps that moment instead of the local time.
CString BuildStampLine(const CRecorderPrefs& prefs, float elapsedSeconds);
CString BuildStampLine(const CRecorderPrefs& prefs, float elapsedSeconds, const SYSTEMTIME& now);

// Elapsed recording time of a frame counter at a frame rate, in seconds:
// frames x scale / rate in single precision; 0 for a rate of 0.
float StampElapsedSeconds(DWORD frames, const CRational& rate);

// "MM:SS.mmm" (minutes as many digits as needed, at least two).
CString FormatStampElapsedTime(float seconds);

// The TIMEDATE item: the current local time (or the given moment) in the
// record's time and date pictures, joined by its mode.
CString FormatTimeDateStamp(const TimeDateFormat& format);
CString FormatTimeDateStamp(const TimeDateFormat& format, const SYSTEMTIME& when);

// One part of the moment through the system's formatter for the user's
// locale: a null picture means the locale's own format for the flags. Empty
// when the system rejects the picture.
CString FormatTimePicture(const SYSTEMTIME& when, LPCSTR picture, DWORD flags);
CString FormatDatePicture(const SYSTEMTIME& when, LPCSTR picture, DWORD flags);

// The time and date texts joined as the mode says: 1 time; 2 date, blank,
// time; 3 date; any other value time, blank, date.
CString JoinTimeDate(int mode, const CString& timeText, const CString& dateText);
