#include "TimelineTestSupport.h"
#include "XRVDirectShow/TimelineReport.h"

#include <stdio.h>
#include <windows.h>

namespace {

CRITICAL_SECTION g_lock;
std::vector<std::string> g_reports;

void Collect(const char*, int, const char* text)
{
    EnterCriticalSection(&g_lock);
    g_reports.push_back(text);
    LeaveCriticalSection(&g_lock);
}

struct LockInit {
    LockInit() { InitializeCriticalSection(&g_lock); }
} g_lockInit;

} // namespace

void ComTest::SetUp()
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED)));
    EnterCriticalSection(&g_lock);
    g_reports.clear();
    LeaveCriticalSection(&g_lock);
    SetTimelineReportHook(Collect);
}

void ComTest::TearDown()
{
    SetTimelineReportHook(NULL);
    CoUninitialize();
}

std::vector<std::string> ComTest::Reports()
{
    EnterCriticalSection(&g_lock);
    std::vector<std::string> copy = g_reports;
    LeaveCriticalSection(&g_lock);
    return copy;
}

bool ComTest::Reported(const std::string& text)
{
    for (const std::string& r : Reports())
        if (r == text)
            return true;
    return false;
}

CComPtr<IAMTimelineObj> NewNode(IAMTimeline* timeline, TIMELINE_MAJOR_TYPE type)
{
    CComPtr<IAMTimelineObj> node;
    EXPECT_EQ(S_OK, timeline->CreateEmptyNode(&node, type));
    return node;
}

CComPtr<IAMTimelineObj> NewSource(IAMTimeline* timeline, LONGLONG start, LONGLONG stop, LONGLONG mstart,
                                  LONGLONG mstop, const wchar_t* name)
{
    CComPtr<IAMTimelineObj> node = NewNode(timeline, TIMELINE_MAJOR_TYPE_SOURCE);
    CComQIPtr<IAMTimelineSrc> src(node);
    EXPECT_TRUE(src != NULL);
    EXPECT_EQ(S_OK, node->SetStartStop(start, stop));
    EXPECT_EQ(S_OK, src->SetMediaTimes(mstart, mstop));
    BSTR b = SysAllocString(name);
    EXPECT_EQ(S_OK, src->SetMediaName(b));
    SysFreeString(b);
    return node;
}

std::vector<Span> TrackSources(IAMTimelineObj* trackObj)
{
    std::vector<Span> spans;
    CComQIPtr<IAMTimelineTrack> track(trackObj);
    if (!track)
        return spans;
    REFERENCE_TIME t = 0;
    for (;;) {
        CComPtr<IAMTimelineObj> src;
        if (track->GetNextSrc(&src, &t) != S_OK)
            break;
        Span s = {};
        src->GetStartStop(&s.start, &s.stop);
        CComQIPtr<IAMTimelineSrc> media(src);
        media->GetMediaTimes(&s.mstart, &s.mstop);
        spans.push_back(s);
    }
    return spans;
}

LONGLONG Sec(double seconds)
{
    return (LONGLONG)(seconds * 10000000.0 + (seconds < 0 ? -0.5 : 0.5));
}

namespace {

DWORD WINAPI RunWork(void* p)
{
    const bool com = SUCCEEDED(CoInitializeEx(NULL, COINIT_MULTITHREADED));
    (*(const std::function<void()>*)p)();
    if (com)
        CoUninitialize();
    return 0;
}

} // namespace

void RunWithin(DWORD ms, const std::string& what, const std::function<void()>& work)
{
    HANDLE thread = CreateThread(NULL, 0, RunWork, (void*)&work, 0, NULL);
    if (!thread) {
        ADD_FAILURE() << what << ": no thread to run it on";
        return;
    }
    if (WaitForSingleObject(thread, ms) != WAIT_OBJECT_0) {
        fprintf(stderr, "%s: still running after %lu ms, it never ends\n", what.c_str(), ms);
        fflush(stderr);
        fflush(stdout);
        TerminateProcess(GetCurrentProcess(), 3);
    }
    CloseHandle(thread);
}
