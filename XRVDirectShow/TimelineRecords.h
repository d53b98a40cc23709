// The plain records the timeline engine hands out and keeps: the clip record,
// the clip cursors (TimelineClip, TimelineClipEx) with the owner interface
// they ask, the item record, the transition record and the zoom rectangle
// record. Value records: built with fixed defaults, copied field by field.
// Times are signed 64-bit counts of 100 ns.
#pragma once
#include "framework/Collections.h"
#include "framework/String.h"

#include <windows.h>

// A record of the editor's clip list (made by XRVDSTimeline::NewItemRecord).
class CClipRecord {
public:
    explicit CClipRecord(int owner = 0);
    CClipRecord(const CClipRecord& other) { *this = other; }
    CClipRecord& operator=(const CClipRecord& other);

    LONGLONG m_rtValue1;
    LONGLONG m_rtValue2;
    int m_nValue3;
    int m_Block[12];
    int m_nIndex1;     // -1
    BOOL m_bFlag1;     // 1
    int m_nValue7;
    BOOL m_bFlag2;     // 1
    CString m_strText;
    int m_nOwner;
    int m_nIndex2;     // -1
};

// What a clip cursor asks of the object that holds the clips (the playback
// facade's clip list).
class ITimelineClipOwner {
public:
    virtual int GetClipCountValue() = 0;                 // current track / count value
    virtual LONGLONG GetClipsDuration() = 0;
    virtual int GetClipIndexAt(LONGLONG time) = 0;       // -1 when none
    virtual void GetClipTimelineStartStop(int index, LONGLONG* start, LONGLONG* stop) = 0;
    virtual void GetClipMediaStartStop(int index, LONGLONG* start, LONGLONG* stop) = 0;
    virtual int GetClipState() = 0;                      // non-zero: busy
    virtual int CheckClipTime(LONGLONG time) = 0;        // non-zero: refused

protected:
    ~ITimelineClipOwner() {}
};

// A cursor on the owner's clips: which clip plays at a timeline time and where
// inside it.
class TimelineClip {
public:
    TimelineClip(ITimelineClipOwner* owner, LONGLONG time);
    virtual ~TimelineClip() {}

    virtual int Fixed() { return 1; }
    virtual const CString& GetName(CString& out);
    virtual void SetName(LPCTSTR name) { m_strName = name; }
    virtual int GetTrack() { return m_nCountValue; }
    virtual int SetValue(int value) { return m_nValue = value; }
    virtual void GetText2(CString& out) { out = m_strText2; }
    virtual int GetCountValue() { return m_nCountValue; }
    virtual LONGLONG GetTimelineTime();

    BOOL Seek(LONGLONG time);

    ITimelineClipOwner* m_pOwner;
    LONGLONG m_rtPosition;     // offset inside the current clip's media
    CString m_strName;
    int m_nValue;
    int m_nIndex;              // current clip, -1
    int m_nCountValue;         // owner's count value at construction, -1 without owner
    CString m_strText2;
    LONGLONG m_rtIndexCopy;    // -1
    int m_nIndexCopy;          // -1
};

// One media item of an extended clip: eight texts (the first is the media
// file name) and a list of texts.
class TimelineItemRecord {
public:
    TimelineItemRecord() : m_nIndex(-1) {}
    TimelineItemRecord(const TimelineItemRecord& other) { *this = other; }
    TimelineItemRecord& operator=(const TimelineItemRecord& other);

    CString m_strFileName;
    CString m_strText[7];
    CStringArray m_Strings;
    int m_nIndex;
};

// The extended clip: a clip with its item records, a name and a flag.
class TimelineClipEx : public TimelineClip {
public:
    TimelineClipEx(ITimelineClipOwner* owner = NULL, LONGLONG time = 0);
    TimelineClipEx(const TimelineClipEx& other) : TimelineClip(NULL, 0) { *this = other; }
    TimelineClipEx& operator=(const TimelineClipEx& other);

    const CString& GetName(CString& out) override;
    int GetTrack() override { return m_bFlag; }          // GetFlag
    int SetValue(int value) override { return m_bFlag = value; }   // SetFlag
    void GetText2(CString& out) override { out.Empty(); }
    LONGLONG GetTimelineTime() override { return GetEndTime(); }

    BOOL GetFlag() { return m_bFlag; }
    BOOL SetFlag(BOOL flag) { return m_bFlag = flag; }
    LONGLONG GetEndTime();
    HRESULT SeekEx(LONGLONG time);

    CArray<TimelineItemRecord> m_Items;
    BOOL m_bFlag;
};

// One transition of the timeline with its transform and properties.
class TransitionInfo {
public:
    TransitionInfo();
    TransitionInfo(const TransitionInfo& other);
    TransitionInfo& operator=(const TransitionInfo& other);
    ~TransitionInfo();
    // Records alive in the process (for leak checks).
    static LONG LiveCount();
    void ClearProps();
    // Sets names[index] (or values[index]) growing the array; FALSE for a
    // negative index or no memory.
    BOOL SetPropName(int index, LPCWSTR text) { return SetAt(m_PropNames, index, text); }
    BOOL SetPropValue(int index, LPCWSTR text) { return SetAt(m_PropValues, index, text); }

    GUID guid;                 // class of the transform
    UINT uIndexStart;          // clip (video track) the transition comes from
    UINT uIndexStop;           // clip it goes to
    UINT uReserved1;
    BOOL bPlaceByTime;         // non-zero: placed by time, zero: between two clips
    LONGLONG rtDuration;
    int nTrack;
    UINT uReserved2;
    LONGLONG rtStart;
    LONGLONG rtStop;
    UINT uReserved3[4];
    CArray<BSTR, BSTR> m_PropNames;
    CArray<BSTR, BSTR> m_PropValues;
    CString strName;

private:
    static BOOL SetAt(CArray<BSTR, BSTR>& array, int index, LPCWSTR text);
};

// A zoom rectangle of the preview, given in a reference frame size.
class ZoomRectInfo {
public:
    ZoomRectInfo();
    ~ZoomRectInfo();

    int m_nIndex;              // -1
    CString m_strText1;
    CString m_strText2;
    int m_nValue4;             // 0
    int m_nValue5;             // 2
    BOOL m_bFlag6;             // 1
    BOOL m_bFlag7;             // 1
    CString m_strText3;
    float m_Left, m_Top, m_Right, m_Bottom;   // 10, 10, 620, 460
    BOOL m_bFlag10;            // 1
    BOOL m_bFlag11;            // 1
    int m_nRefWidth;           // 640
    int m_nRefHeight;          // 480
    int m_nValue13;            // 0
    CDWordArray m_Values;
};

// A 32-bit value with its tag 2.
struct CTaggedValue {
    DWORD value;
    DWORD tag;
    void Set(DWORD v)
    {
        value = v;
        tag = 2;
    }
};

// A BSTR that grows by appending.
class CBstr {
public:
    CBstr() : m_str(NULL) {}
    ~CBstr() { ::SysFreeString(m_str); }
    HRESULT Append(LPCWSTR text, UINT count);
    BSTR m_str;

private:
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;
};
