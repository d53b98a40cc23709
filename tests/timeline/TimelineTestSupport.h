// Shared pieces of the timeline tests: COM set-up per test, the reports of
// the timeline engine collected through its hook, and tree helpers.
#pragma once
#include "platform/dex/DexInterfaces.h"
#include "framework/ComPtr.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

class ComTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Every report text since SetUp.
    std::vector<std::string> Reports();
    bool Reported(const std::string& text);
};

// A new node of the timeline.
CComPtr<IAMTimelineObj> NewNode(IAMTimeline* timeline, TIMELINE_MAJOR_TYPE type);
// A source node over [start, stop] playing media [mstart, mstop] of `name`.
CComPtr<IAMTimelineObj> NewSource(IAMTimeline* timeline, LONGLONG start, LONGLONG stop, LONGLONG mstart,
                                  LONGLONG mstop, const wchar_t* name = L"clip.avi");

struct Span {
    LONGLONG start, stop, mstart, mstop;
};
// The sources of a track in order, with their timeline and media spans.
std::vector<Span> TrackSources(IAMTimelineObj* track);
LONGLONG Sec(double seconds);

// Runs `work` on a thread of its own and waits up to `ms` for it. A walk
// that never ends is the fault being looked for: the test program then says
// so, naming `what`, and ends at once with exit code 3 instead of hanging (a
// stuck thread cannot be stopped safely, it may hold the heap's lock). `work`
// must not use gtest's assertions; it hands its results back to the caller.
void RunWithin(DWORD ms, const std::string& what, const std::function<void()>& work);
