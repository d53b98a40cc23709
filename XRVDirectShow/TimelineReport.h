// The error convention of the DirectShow code: a failed call is reported as
// its text, " failed in ", the operation's name and "()", with the source
// file name and line, through a TimelineError (which logs it), and the
// operation returns the call's result.
#pragma once
#include <windows.h>

// Source file names the reports carry.
#define XRV_TIMELINE_SOURCE ".\\XRVDirectShow\\XRVDSTimeline"

// Reports a finished message text.
void ReportTimelineFailure(const char* file, int line, const char* text);
// Reports "<call> failed in <method>()".
void ReportTimelineCall(const char* file, int line, const char* call, const char* method);

// Every report also goes to this hook when one is set (tests read the texts
// through it). Returns the hook it replaces. Any thread.
typedef void (*TimelineReportHook)(const char* file, int line, const char* text);
TimelineReportHook SetTimelineReportHook(TimelineReportHook hook);

// Tests one COM call of the timeline engine; on failure reports it and
// returns its HRESULT from the enclosing operation.
#define XRV_CHECK(call)                                                               \
    do {                                                                              \
        const HRESULT hr_ = (call);                                                   \
        if (FAILED(hr_)) {                                                            \
            ReportTimelineCall(XRV_TIMELINE_SOURCE, __LINE__, #call, __FUNCTION__);   \
            return hr_;                                                               \
        }                                                                             \
    } while (0)

// Reports "<query> failed for <interface> in <method>()".
void ReportTimelineQuery(const char* file, int line, const char* query, const char* iface, const char* method);

// Tests an interface query held in a smart pointer; on failure reports
// "<query> failed for <interface> in <method>()" and returns E_FAIL.
#define XRV_CHECK_PTR(ptr, query, iface)                                                    \
    do {                                                                                    \
        if (!(ptr)) {                                                                       \
            ReportTimelineQuery(XRV_TIMELINE_SOURCE, __LINE__, query, iface, __FUNCTION__); \
            return E_FAIL;                                                                  \
        }                                                                                   \
    } while (0)
