// The task progress dialog under a fake writer on a real worker thread: every
// operation but DoModal returns while the user-interface thread is blocked,
// the values reach the controls through the dialog's own handlers, graph
// events (user abort, error abort) and a confirmed Cancel end it, and DoModal
// returns only after its worker has ended.
#include "UiTestUtil.h"
#include "MediaTestUtil.h"

#include "media/TaskProgressDlg.h"
#include "framework/ComPtr.h"

#include <commctrl.h>
#include <dshow.h>
#include <gtest/gtest.h>
#include <string>

namespace {

// A writer whose graph is a real, empty filter graph: the test raises its
// events through IMediaEventSink. Position queries fail (a skipped tick);
// the first one can hold the user-interface thread until released.
class CFakeWriter : public ITaskProgressWriter {
public:
    CFakeWriter()
    {
        CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, (void**)&graph);
        uiBlocked = CreateEventA(NULL, TRUE, FALSE, NULL);
        release = CreateEventA(NULL, TRUE, TRUE, NULL);
    }
    ~CFakeWriter()
    {
        CloseHandle(uiBlocked);
        CloseHandle(release);
    }
    HRESULT GetWritePosition(LONGLONG*) override
    {
        if (InterlockedIncrement(&positionCalls) == 1) {
            SetEvent(uiBlocked);
            if (WaitForSingleObject(release, 10000) != WAIT_OBJECT_0)
                InterlockedExchange(&releaseTimedOut, 1);
        }
        return E_FAIL;
    }
    HRESULT GetDuration(LONGLONG* duration) override
    {
        *duration = 0;
        return S_OK;
    }
    HRESULT StopWriting(int flag) override
    {
        InterlockedIncrement(&stops);
        lastStopFlag = flag;
        return S_OK;
    }
    HRESULT GetMediaEventEx(IMediaEventEx** events) override
    {
        return graph ? graph->QueryInterface(IID_IMediaEventEx, (void**)events) : E_FAIL;
    }
    void Raise(long code)
    {
        CComPtr<IMediaEventSink> sink;
        graph->QueryInterface(IID_IMediaEventSink, (void**)&sink);
        if (sink)
            sink->Notify(code, 0, 0);
    }
    CComPtr<IGraphBuilder> graph;
    HANDLE uiBlocked;
    HANDLE release;
    volatile LONG positionCalls = 0;
    volatile LONG releaseTimedOut = 0;
    volatile LONG stops = 0;
    int lastStopFlag = -1;
};

std::string WindowText(HWND wnd)
{
    char text[256] = "";
    GetWindowTextA(wnd, text, sizeof(text));
    return text;
}

std::string ItemText(HWND dialog, int id)
{
    return WindowText(GetDlgItem(dialog, id));
}

bool WaitFor(const std::function<bool()>& done, DWORD ms)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms)
            return false;
        Sleep(20);
    }
    return true;
}

class TaskProgressTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { CoUninitialize(); }
};

struct BlockedRun {
    CTaskProgressDlg* dialog;
    CFakeWriter* writer;
    bool allReturned = false;
    std::string caption, line, status, statusAfterDecimal;
    UINT barMax = 0;
    int barPos = -1;
    HWND window = NULL;
    volatile LONG workerEnded = 0;
};

// Phase 1: with the user-interface thread held inside the timer, every
// operation is called and returns. Phase 2: the thread runs again and shows
// the values. Then an error abort of the graph ends the dialog.
UINT AFX_CDECL BlockedWorker(LPVOID param)
{
    BlockedRun* run = static_cast<BlockedRun*>(param);
    ITaskProgress* p = run->dialog;
    if (WaitForSingleObject(run->writer->uiBlocked, 10000) == WAIT_OBJECT_0) {
        p->BringToFront();
        p->SetTitle("标题");
        p->SetLineText("合并临时文件");
        p->SetProgress(200, 50);
        p->SetStatusText("状态");
        p->SetTime(3723000, TRUE);
        p->SetTime(0, TRUE);
        p->SetCancelled(FALSE);
        const BOOL cancelled = p->IsCancelled();
        p->SetTimerId(p->GetTimerId());
        run->window = p->GetWindow();
        p->SetWorker(NULL, NULL);
        run->allReturned = !cancelled && run->window != NULL &&
                           WaitForSingleObject(run->writer->uiBlocked, 0) == WAIT_OBJECT_0 &&
                           run->writer->positionCalls == 1;
        SetEvent(run->writer->release);
    }
    HWND w = run->window;
    WaitFor([&] { return WindowText(w) == "25% - 标题"; }, 5000);
    run->caption = WindowText(w);
    run->line = ItemText(w, IDC_TASK_PROGRESS_LINE);
    run->status = ItemText(w, IDC_TASK_PROGRESS_STATUS);
    run->barMax = (UINT)SendDlgItemMessageA(w, IDC_TASK_PROGRESS_BAR, PBM_GETRANGE, FALSE, 0);
    run->barPos = (int)SendDlgItemMessageA(w, IDC_TASK_PROGRESS_BAR, PBM_GETPOS, 0, 0);
    p->SetTime(42, FALSE);
    WaitFor([&] { return ItemText(w, IDC_TASK_PROGRESS_STATUS) == "42"; }, 5000);
    run->statusAfterDecimal = ItemText(w, IDC_TASK_PROGRESS_STATUS);
    run->writer->Raise(EC_ERRORABORT);
    PostMessageA(w, WM_TASK_GRAPH_EVENTS, 0, 0);
    Sleep(300);   // DoModal must still wait for this line
    InterlockedExchange(&run->workerEnded, 1);
    return 0;
}

TEST_F(TaskProgressTest, WorkerCallsReturnWhileTheUiThreadIsBlocked)
{
    CFakeWriter writer;
    ASSERT_TRUE(writer.graph != NULL);
    ResetEvent(writer.release);
    CTaskProgressDlg dialog(&writer, NULL);
    BlockedRun run{&dialog, &writer};
    dialog.SetWorker(BlockedWorker, &run);
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ(1, run.workerEnded) << "DoModal returned before its worker ended";
    EXPECT_EQ(0, writer.releaseTimedOut) << "an operation waited for the blocked thread";
    EXPECT_TRUE(run.allReturned);
    EXPECT_EQ("25% - 标题", run.caption);
    EXPECT_EQ("合并临时文件", run.line);
    EXPECT_EQ("", run.status) << "a zero time empties the status line";
    EXPECT_EQ(200u, run.barMax);
    EXPECT_EQ(50, run.barPos);
    EXPECT_EQ("42", run.statusAfterDecimal);
    EXPECT_EQ(1, writer.stops) << "the error abort stopped the writer";
    EXPECT_EQ(0, writer.lastStopFlag);
    EXPECT_FALSE(dialog.IsCancelled());
    EXPECT_EQ(0u, dialog.GetTimerId());
}

// Progress shown by the dialog's own handler: the caption's percentage uses
// the whole values, the bar the low 16 bits of the total.
TEST_F(TaskProgressTest, ProgressCaptionAndBar)
{
    struct Case {
        UINT total, done;
        const char* caption;
        UINT barMax;
    } cases[] = {
        {0, 0, "0% - 合并", 0},
        {100, 100, "100% - 合并", 100},
        {70000, 35000, "50% - 合并", 70000 & 0xFFFF},
        {0xFFFFFFFFu, 0xFFFFFFFFu, "100% - 合并", 0xFFFF},
    };
    for (const Case& c : cases) {
        CTaskProgressDlg dialog(NULL, NULL);
        ASSERT_TRUE(dialog.Create(IDD_TASK_PROGRESS, NULL));
        dialog.SetTitle("合并");
        dialog.SetProgress(c.total, c.done);
        HWND w = dialog.m_hWnd;
        EXPECT_TRUE(mediatest::PumpUntil([&] { return WindowText(w) == c.caption; }, 3000))
            << c.total << "/" << c.done << ": " << WindowText(w);
        EXPECT_EQ(c.barMax, (UINT)SendDlgItemMessageA(w, IDC_TASK_PROGRESS_BAR, PBM_GETRANGE, FALSE, 0)) << c.total;
        dialog.DestroyWindow();
    }
}

// Values stored before the window exists post nothing and appear when it
// opens; a null status text changes nothing.
TEST_F(TaskProgressTest, ValuesBeforeTheWindowAppearWhenItOpens)
{
    CTaskProgressDlg dialog(NULL, NULL);
    dialog.SetTitle("合并");
    dialog.SetLineText("行");
    dialog.SetStatusText("状态");
    dialog.SetStatusText(NULL);
    dialog.SetProgress(4, 1);
    EXPECT_EQ(NULL, dialog.GetWindow());
    ASSERT_TRUE(dialog.Create(IDD_TASK_PROGRESS, NULL));
    HWND w = dialog.m_hWnd;
    EXPECT_EQ(w, dialog.GetWindow());
    EXPECT_EQ("25% - 合并", WindowText(w));
    EXPECT_EQ("行", ItemText(w, IDC_TASK_PROGRESS_LINE));
    EXPECT_EQ("状态", ItemText(w, IDC_TASK_PROGRESS_STATUS));
    EXPECT_NE(0u, dialog.GetTimerId());
    dialog.DestroyWindow();
    EXPECT_EQ(NULL, dialog.GetWindow());
    dialog.SetTitle("after");   // no window: stored only
}

struct CancelRun {
    CTaskProgressDlg* dialog;
    CFakeWriter* writer;
    bool stillOpenAfterCancel = false;
};

UINT AFX_CDECL CancelWorker(LPVOID param)
{
    CancelRun* run = static_cast<CancelRun*>(param);
    HWND w = run->dialog->GetWindow();
    PostMessageA(w, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    Sleep(600);
    run->stillOpenAfterCancel = IsWindow(w) && IsWindowEnabled(w);
    if (run->stillOpenAfterCancel) {
        run->writer->Raise(EC_USERABORT);
        PostMessageA(w, WM_TASK_GRAPH_EVENTS, 0, 0);
    }
    return 0;
}

// Cancel asks first: Yes ends the dialog with IDOK at the next tick and marks
// it cancelled; No leaves it running until the graph's user abort ends it.
TEST_F(TaskProgressTest, CancelAsksAndEndsOnYesOnly)
{
    struct Case {
        int answer;
        bool cancelled;
    } cases[] = {{IDYES, true}, {IDNO, false}};
    for (const Case& c : cases) {
        mediatest::ResetMessageBoxes(c.answer);
        CFakeWriter writer;
        CTaskProgressDlg dialog(&writer, NULL);
        CancelRun run{&dialog, &writer};
        dialog.SetWorker(CancelWorker, &run);
        EXPECT_EQ(IDOK, dialog.DoModal()) << c.answer;
        ASSERT_EQ(1u, mediatest::MessageBoxes().size()) << c.answer;
        EXPECT_EQ("你确实想取消吗？", mediatest::MessageBoxes()[0]);
        EXPECT_EQ(c.cancelled, dialog.IsCancelled() != FALSE) << c.answer;
        EXPECT_EQ(!c.cancelled, run.stillOpenAfterCancel) << c.answer;
        EXPECT_EQ(1, writer.stops) << c.answer;
    }
}

}  // namespace
