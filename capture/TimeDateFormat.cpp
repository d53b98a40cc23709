#include "capture/TimeDateFormat.h"

const char* const TimeDateFormat::kWindowsDefault = "Windows 默认";
const char* const TimeDateFormat::kCustomFormat = "Custom Format";

TimeDateFormat::TimeDateFormat() : m_nMode(TimeBlankDate) {}

TimeDateFormat::TimeDateFormat(const TimeDateFormat& other)
    : m_strTimeFormat(other.m_strTimeFormat),
      m_strDateFormat(other.m_strDateFormat),
      m_strCustomDate(other.m_strCustomDate),
      m_strCustomTime(other.m_strCustomTime),
      m_nMode(other.m_nMode)
{
}

TimeDateFormat& TimeDateFormat::operator=(const TimeDateFormat& other)
{
    if (this == &other)
        return *this;
    m_nMode = other.m_nMode;
    m_strTimeFormat = other.m_strTimeFormat;
    m_strDateFormat = other.m_strDateFormat;
    m_strCustomDate = other.m_strCustomDate;
    m_strCustomTime = other.m_strCustomTime;
    return *this;
}

void TimeDateFormat::SetTimeFormat(const CString& text)
{
    if (text == "None") {
        m_strTimeFormat = kWindowsDefault;
        m_nMode = DateOnly;
        return;
    }
    m_strTimeFormat = text;
}

void TimeDateFormat::SetDateFormat(const CString& text)
{
    if (text == "None") {
        m_strDateFormat = kWindowsDefault;
        m_nMode = TimeOnly;
        return;
    }
    m_strDateFormat = text;
}
