// The main window's record state as the engine's capture thread reports it:
// the report must not wait for the window's own thread, which may be busy
// waiting for that very capture thread.
#include "app/MainFrame.h"

#include "app/MainWindowStart.h"
#include "resources/ids_app.h"
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
