#include "XRVDirectShow/TimelineReport.h"
#include "framework/String.h"
#include "settings/TimelineError.h"

namespace {
TimelineReportHook volatile g_hook = NULL;
}

TimelineReportHook SetTimelineReportHook(TimelineReportHook hook)
{
    return (TimelineReportHook)InterlockedExchangePointer((PVOID volatile*)&g_hook, (PVOID)hook);
}

void ReportTimelineFailure(const char* file, int line, const char* text)
{
    TimelineReportHook hook = (TimelineReportHook)InterlockedCompareExchangePointer((PVOID volatile*)&g_hook, NULL, NULL);
    if (hook)
        hook(file, line, text);
    TimelineError error(file, line, "");
    error.Report(text);
}

void ReportTimelineCall(const char* file, int line, const char* call, const char* method)
{
    CString text;
    text.Format("%s failed in %s()", call, method);
    ReportTimelineFailure(file, line, text);
}

void ReportTimelineQuery(const char* file, int line, const char* query, const char* iface, const char* method)
{
    CString text;
    text.Format("%s failed for %s in %s()", query, iface, method);
    ReportTimelineFailure(file, line, text);
}
