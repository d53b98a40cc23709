#pragma once
// How the TIMEDATE item of the system stamp shows the current time and date:
// the time and date pictures (the Windows-default entry, the custom-format
// marker or a picture the system enumerates), the user's own pictures, and
// the order. A field of the preferences record; a plain value record.
#include "framework/String.h"

class CWnd;

class TimeDateFormat {
public:
    // What the TIMEDATE item shows, and in which order.
    enum Mode { TimeBlankDate = 0, TimeOnly = 1, DateBlankTime = 2, DateOnly = 3 };

    static const char* const kWindowsDefault;   // "Windows 默认"
    static const char* const kCustomFormat;     // "Custom Format"

    TimeDateFormat();
    TimeDateFormat(const TimeDateFormat& other);
    TimeDateFormat& operator=(const TimeDateFormat& other);

    // "None" means: no time (or no date) at all; it keeps the Windows default
    // as the picture and switches the mode to the other item only.
    void SetTimeFormat(const CString& text);
    void SetDateFormat(const CString& text);

    const CString& GetTimeFormat() const { return m_strTimeFormat; }
    const CString& GetDateFormat() const { return m_strDateFormat; }
    const CString& GetCustomTime() const { return m_strCustomTime; }
    void SetCustomTime(const CString& text) { m_strCustomTime = text; }
    const CString& GetCustomDate() const { return m_strCustomDate; }
    void SetCustomDate(const CString& text) { m_strCustomDate = text; }
    int GetMode() const { return m_nMode; }
    void SetMode(int mode) { m_nMode = mode; }

    // Runs the time/date format dialog on a copy of the record and stores the
    // result back on OK; returns the dialog's result (IDOK or IDCANCEL).
    INT_PTR EditWithDialog(CWnd* pParent);

private:
    CString m_strTimeFormat;
    CString m_strDateFormat;
    CString m_strCustomDate;
    CString m_strCustomTime;
    int m_nMode;
};
