// The main window's record state as the engine's capture thread reports it:
// the report must not wait for the window's own thread, which may be busy
// waiting for that very capture thread.
#include "app/MainFrame.h"

#include "app/MainWindowStart.h"
#include "resources/ids_app.h"
#include "settings/RecorderPrefs.h"
#include "tests/capture/CaptureTestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace capturetest;

namespace {

struct Report {
    CMainFrame* frame;
    int state;
};

DWORD WINAPI ReportState(LPVOID param)
{
    Report* report = (Report*)param;
    report->frame->SetRecordState(report->state);
    return 0;
}

std::string Caption(HWND hwnd)
{
    char text[256] = {};
    ::GetWindowTextA(hwnd, text, sizeof(text));
    return text;
}

}  // namespace

TEST(MainFrameState, ReportFromAnotherThreadNeverWaitsForTheWindow)
{
    IMainWindowStart* start = CMainFrame::Make(NULL, "Vexcap state test");
    ASSERT_TRUE(start != NULL);
    CMainFrame* frame = static_cast<CMainFrame*>(start);
    const HWND hwnd = frame->GetSafeHwnd();
    ASSERT_TRUE(::IsWindow(hwnd));
    ASSERT_EQ(0, frame->GetRecordState());
    const std::string idle = Caption(hwnd);

    // This thread pumps no messages while the report runs, as when the
    // window's thread waits for the capture thread to end.
    Report report = {frame, 1};
    HANDLE thread = ::CreateThread(NULL, 0, ReportState, &report, 0, NULL);
    ASSERT_TRUE(thread != NULL);
    const DWORD waited = ::WaitForSingleObject(thread, 3000);
    EXPECT_EQ(WAIT_OBJECT_0, waited) << "the report waited for the window's thread";
    if (waited != WAIT_OBJECT_0)
        PumpUntil([&] { return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, 5000);
    ::CloseHandle(thread);
    EXPECT_EQ(1, frame->GetRecordState());

    // Once the window's thread runs again, the caption follows the state.
    EXPECT_TRUE(PumpUntil([&] { return Caption(hwnd) != idle; }, 5000)) << Caption(hwnd);
    CString recording;
    recording.LoadString(IDS_RECORD_STATE_RECORDING);
    EXPECT_NE(std::string::npos, Caption(hwnd).find((LPCSTR)recording)) << Caption(hwnd);

    ::DestroyWindow(hwnd);
}

namespace {

struct FocusRequest {
    CMainFrame* frame;
    RECT area;
    int width;
    BOOL hideAfter;
    BOOL moved;
};

DWORD WINAPI RequestFocusFrame(LPVOID param)
{
    FocusRequest* request = (FocusRequest*)param;
    request->moved = request->frame->MoveFocusFrame(&request->area, request->width);
    if (request->hideAfter)
        request->frame->ShowFocusFrame(SW_HIDE);
    return 0;
}

// The top-level tool window of this thread that is not the main window
// itself: the main window's focus frame.
struct FrameSearch {
    HWND main;
    HWND found;
};

BOOL CALLBACK TakeToolWindow(HWND h, LPARAM param)
{
    FrameSearch* search = (FrameSearch*)param;
    if (h != search->main && (::GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0) {
        search->found = h;
        return FALSE;
    }
    return TRUE;
}

HWND FindFocusFrame(HWND mainWindow)
{
    FrameSearch search = {mainWindow, NULL};
    ::EnumThreadWindows(::GetCurrentThreadId(), TakeToolWindow, (LPARAM)&search);
    return search.found;
}


}  // namespace

// The engine's capture thread outlines the window under the cursor with the
// main window's own frame: the calls return at once, even while the window's
// thread waits, and the frame follows when that thread runs again, in the
// highlight width and colour of the preferences.
TEST(MainFrameFocusFrame, CaptureThreadRequestsArePlacedByTheWindowThread)
{
    IMainWindowStart* start = CMainFrame::Make(NULL, "Vexcap focus test");
    ASSERT_TRUE(start != NULL);
    CMainFrame* frame = static_cast<CMainFrame*>(start);
    const HWND hwnd = frame->GetSafeHwnd();
    const HWND focus = FindFocusFrame(hwnd);
    ASSERT_TRUE(focus != NULL) << "the main window makes its frame with itself";
    EXPECT_FALSE(::IsWindowVisible(focus)) << "hidden until the first move";
    const int band = frame->GetPrefs()->m_highlightObjectWidth;
    const COLORREF colour = frame->GetPrefs()->m_highlightObjectColor;
    ASSERT_GT(band, 0);

    const struct {
        RECT area;
        int width;
        int expectBand;
    } cases[] = {
        {{200, 150, 500, 350}, 0, band},   // 0: the preferences' width
        {{120, 100, 260, 300}, 3, 3},
    };
    for (const auto& c : cases) {
        FocusRequest request = {frame, c.area, c.width, FALSE, FALSE};
        HANDLE thread = ::CreateThread(NULL, 0, RequestFocusFrame, &request, 0, NULL);
        ASSERT_TRUE(thread != NULL);
        const DWORD waited = ::WaitForSingleObject(thread, 3000);
        EXPECT_EQ(WAIT_OBJECT_0, waited) << "the request waited for the window's thread";
        if (waited != WAIT_OBJECT_0)
            PumpUntil([&] { return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, 5000);
        ::CloseHandle(thread);
        EXPECT_TRUE(request.moved);

        RECT placed = {};
        const RECT want = {c.area.left - c.expectBand, c.area.top - c.expectBand, c.area.right + c.expectBand,
                           c.area.bottom + c.expectBand};
        EXPECT_TRUE(PumpUntil(
            [&] { return ::GetWindowRect(focus, &placed) && ::EqualRect(&placed, &want) && ::IsWindowVisible(focus); },
            5000));
        EXPECT_EQ(c.area.left - c.expectBand, placed.left);
        EXPECT_EQ(c.area.top - c.expectBand, placed.top);
        EXPECT_EQ(c.area.right + c.expectBand, placed.right);
        EXPECT_EQ(c.area.bottom + c.expectBand, placed.bottom);
        // The frame covers only its band: never the outlined window.
        HRGN region = ::CreateRectRgn(0, 0, 0, 0);
        ASSERT_NE(ERROR, ::GetWindowRgn(focus, region));
        const int w = placed.right - placed.left, h = placed.bottom - placed.top;
        EXPECT_TRUE(::PtInRegion(region, c.expectBand / 2, c.expectBand + 2)) << "left band, near the corner";
        EXPECT_FALSE(::PtInRegion(region, w / 2, h / 2)) << "the middle stays clear";
        ::DeleteObject(region);
        Pump(200);
        EXPECT_EQ(colour, ScreenPixel(placed.left + c.expectBand / 2, placed.top + c.expectBand + 2));
    }

    // A hide that follows a move leaves the frame hidden.
    FocusRequest request = {frame, {300, 300, 400, 400}, 0, TRUE, FALSE};
    HANDLE thread = ::CreateThread(NULL, 0, RequestFocusFrame, &request, 0, NULL);
    ASSERT_TRUE(thread != NULL);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread, 3000));
    ::CloseHandle(thread);
    Pump(300);
    EXPECT_FALSE(::IsWindowVisible(focus));

    // No area, or an empty one, is refused.
    const RECT empty = {10, 10, 10, 40};
    EXPECT_FALSE(frame->MoveFocusFrame(NULL, 0));
    EXPECT_FALSE(frame->MoveFocusFrame(&empty, 0));

    ::DestroyWindow(hwnd);
    EXPECT_FALSE(::IsWindow(focus)) << "the frame goes with the main window";
}
