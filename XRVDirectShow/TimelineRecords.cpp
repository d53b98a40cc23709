#include "XRVDirectShow/TimelineRecords.h"

#include <string.h>

CClipRecord::CClipRecord(int owner)
    : m_rtValue1(0), m_rtValue2(0), m_nValue3(0), m_nIndex1(-1), m_bFlag1(1), m_nValue7(0), m_bFlag2(1),
      m_nOwner(owner), m_nIndex2(-1)
{
    memset(m_Block, 0, sizeof(m_Block));
}

CClipRecord& CClipRecord::operator=(const CClipRecord& other)
{
    if (this == &other)
        return *this;
    m_rtValue1 = other.m_rtValue1;
    m_rtValue2 = other.m_rtValue2;
    m_nValue3 = other.m_nValue3;
    memcpy(m_Block, other.m_Block, sizeof(m_Block));
    m_nIndex1 = other.m_nIndex1;
    m_bFlag1 = other.m_bFlag1;
    m_nValue7 = other.m_nValue7;
    m_bFlag2 = other.m_bFlag2;
    m_strText = other.m_strText;
    m_nOwner = other.m_nOwner;
    m_nIndex2 = other.m_nIndex2;
    return *this;
}

TimelineClip::TimelineClip(ITimelineClipOwner* owner, LONGLONG time)
    : m_pOwner(owner), m_rtPosition(0), m_nValue(0), m_nIndex(-1), m_nCountValue(owner ? owner->GetClipCountValue() : -1),
      m_rtIndexCopy(-1), m_nIndexCopy(-1)
{
    Seek(time);
}

const CString& TimelineClip::GetName(CString& out)
{
    out = m_strName;
    return out;
}

// Finds the clip playing at `time` (the last unit of the last clip for a time
// at or past the end) and the position inside its media.
BOOL TimelineClip::Seek(LONGLONG time)
{
    if (!m_pOwner)
        return FALSE;
    LONGLONG duration = m_pOwner->GetClipsDuration();
    if (time >= duration)
        time = duration - 1;
    m_nIndex = m_pOwner->GetClipIndexAt(time);
    if (m_nIndex == -1)
        return FALSE;
    LONGLONG start = 0, stop = 0, mediaStart = 0, mediaStop = 0;
    m_pOwner->GetClipTimelineStartStop(m_nIndex, &start, &stop);
    m_pOwner->GetClipMediaStartStop(m_nIndex, &mediaStart, &mediaStop);
    if (time < start || time >= stop)
        return FALSE;
    m_rtPosition = time - start + mediaStart;
    if (m_rtPosition < 0)
        m_rtPosition = 0;
    return TRUE;
}

LONGLONG TimelineClip::GetTimelineTime()
{
    if (!m_pOwner || m_nIndex == -1)
        return m_rtPosition;
    LONGLONG start = 0, stop = 0, mediaStart = 0, mediaStop = 0;
    m_pOwner->GetClipTimelineStartStop(m_nIndex, &start, &stop);
    m_pOwner->GetClipMediaStartStop(m_nIndex, &mediaStart, &mediaStop);
    LONGLONG t = m_rtPosition - mediaStart + start;
    return t < start ? start : t;
}

TimelineItemRecord& TimelineItemRecord::operator=(const TimelineItemRecord& other)
{
    if (this == &other)
        return *this;
    m_strFileName = other.m_strFileName;
    for (int i = 0; i < 7; ++i)
        m_strText[i] = other.m_strText[i];
    m_Strings.Copy(other.m_Strings);
    m_nIndex = other.m_nIndex;
    return *this;
}

TimelineClipEx::TimelineClipEx(ITimelineClipOwner* owner, LONGLONG time) : TimelineClip(owner, time), m_bFlag(1) {}

TimelineClipEx& TimelineClipEx::operator=(const TimelineClipEx& other)
{
    if (this == &other)
        return *this;
    m_pOwner = other.m_pOwner;
    m_rtPosition = other.m_rtPosition;
    m_nIndex = other.m_nIndex;
    m_nCountValue = other.m_nCountValue;
    m_rtIndexCopy = other.m_rtIndexCopy;
    m_nIndexCopy = other.m_nIndexCopy;
    m_strName = other.m_strName;
    m_bFlag = other.m_bFlag;
    m_Items.SetSize(other.m_Items.GetSize());
    for (INT_PTR i = 0; i < other.m_Items.GetSize(); ++i)
        m_Items[i] = other.m_Items[i];
    return *this;
}

const CString& TimelineClipEx::GetName(CString& out)
{
    out = m_strName;
    return out;
}

// The later of the clip's media stop and the media time reached at the
// clip's time.
LONGLONG TimelineClipEx::GetEndTime()
{
    if (!m_pOwner || m_nIndex == -1)
        return m_rtPosition;
    LONGLONG mediaStart = 0, mediaStop = 0, start = 0, stop = 0;
    m_pOwner->GetClipMediaStartStop(m_nIndex, &mediaStart, &mediaStop);
    m_pOwner->GetClipTimelineStartStop(m_nIndex, &start, &stop);
    LONGLONG reached = m_rtPosition - start + mediaStart;
    return mediaStop > reached ? mediaStop : reached;
}

HRESULT TimelineClipEx::SeekEx(LONGLONG time)
{
    if (!m_pOwner)
        return E_FAIL;
    if (m_pOwner->GetClipState() != 0)
        return (HRESULT)0xABC00001;
    if (time < 0 || m_pOwner->CheckClipTime(time) != 0)
        return (HRESULT)0xABC00002;
    LONGLONG duration = m_pOwner->GetClipsDuration();
    if (time >= duration)
        time = duration - 1;
    m_nIndex = m_pOwner->GetClipIndexAt(time);
    if (m_nIndex != -1) {
        LONGLONG start = 0, stop = 0, mediaStart = 0, mediaStop = 0;
        m_pOwner->GetClipTimelineStartStop(m_nIndex, &start, &stop);
        m_pOwner->GetClipMediaStartStop(m_nIndex, &mediaStart, &mediaStop);
        if (time >= start && time < stop) {
            m_rtPosition = time - start + mediaStart;
            if (m_rtPosition < 0)
                m_rtPosition = 0;
        }
    }
    return S_OK;
}

namespace {
volatile LONG g_liveTransitions = 0;
}

LONG TransitionInfo::LiveCount()
{
    return InterlockedCompareExchange(&g_liveTransitions, 0, 0);
}

TransitionInfo::TransitionInfo()
    : guid(GUID_NULL), uIndexStart(0), uIndexStop(0), uReserved1(0), bPlaceByTime(0), rtDuration(0), nTrack(0),
      uReserved2(0), rtStart(0), rtStop(0)
{
    memset(uReserved3, 0, sizeof(uReserved3));
    InterlockedIncrement(&g_liveTransitions);
}

TransitionInfo::TransitionInfo(const TransitionInfo& other) : TransitionInfo()
{
    *this = other;
}

TransitionInfo::~TransitionInfo()
{
    InterlockedDecrement(&g_liveTransitions);
    ClearProps();
}

void TransitionInfo::ClearProps()
{
    for (INT_PTR i = 0; i < m_PropNames.GetSize(); ++i)
        ::SysFreeString(m_PropNames[i]);
    for (INT_PTR i = 0; i < m_PropValues.GetSize(); ++i)
        ::SysFreeString(m_PropValues[i]);
    m_PropNames.RemoveAll();
    m_PropValues.RemoveAll();
}

TransitionInfo& TransitionInfo::operator=(const TransitionInfo& other)
{
    if (this == &other)
        return *this;
    guid = other.guid;
    uIndexStart = other.uIndexStart;
    uIndexStop = other.uIndexStop;
    uReserved1 = other.uReserved1;
    bPlaceByTime = other.bPlaceByTime;
    rtDuration = other.rtDuration;
    nTrack = other.nTrack;
    uReserved2 = other.uReserved2;
    rtStart = other.rtStart;
    rtStop = other.rtStop;
    memcpy(uReserved3, other.uReserved3, sizeof(uReserved3));
    ClearProps();
    for (INT_PTR i = 0; i < other.m_PropNames.GetSize(); ++i)
        m_PropNames.Add(other.m_PropNames[i] ? ::SysAllocStringLen(other.m_PropNames[i], ::SysStringLen(other.m_PropNames[i])) : NULL);
    for (INT_PTR i = 0; i < other.m_PropValues.GetSize(); ++i)
        m_PropValues.Add(other.m_PropValues[i] ? ::SysAllocStringLen(other.m_PropValues[i], ::SysStringLen(other.m_PropValues[i])) : NULL);
    strName = other.strName;
    return *this;
}

BOOL TransitionInfo::SetAt(CArray<BSTR, BSTR>& array, int index, LPCWSTR text)
{
    if (index < 0)
        return FALSE;
    BSTR copy = ::SysAllocString(text ? text : L"");
    if (!copy)
        return FALSE;
    if (index < array.GetSize()) {
        ::SysFreeString(array[index]);
        array[index] = copy;
    } else {
        while (array.GetSize() < index)
            array.Add(NULL);
        array.Add(copy);
    }
    return TRUE;
}

ZoomRectInfo::ZoomRectInfo()
    : m_nIndex(-1), m_nValue4(0), m_nValue5(2), m_bFlag6(1), m_bFlag7(1), m_Left(10.0f), m_Top(10.0f),
      m_Right(620.0f), m_Bottom(460.0f), m_bFlag10(1), m_bFlag11(1), m_nRefWidth(640), m_nRefHeight(480),
      m_nValue13(0)
{
}

// The second text goes before the first.
ZoomRectInfo::~ZoomRectInfo()
{
    m_strText2.Empty();
    m_strText1.Empty();
}

HRESULT CBstr::Append(LPCWSTR text, UINT count)
{
    if (!text || count == 0)
        return S_OK;
    UINT old = m_str ? ::SysStringLen(m_str) : 0;
    BSTR joined = ::SysAllocStringLen(NULL, old + count);
    if (!joined)
        return E_OUTOFMEMORY;
    if (old)
        memcpy(joined, m_str, old * sizeof(WCHAR));
    memcpy(joined + old, text, count * sizeof(WCHAR));
    joined[old + count] = 0;
    ::SysFreeString(m_str);
    m_str = joined;
    return S_OK;
}
