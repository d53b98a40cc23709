// A stand-in of the task progress dialog for the file writer's tests: runs
// the writer's worker and passes the graph's events to it until the write
// ends.
#pragma once
#include "XRVDirectShow/WriterProgress.h"
#include "XRVDirectShow/XRVDSFileWriter.h"

#include <windows.h>

#include <functional>
#include <string>

namespace writertest {

// The progress dialog's part: starts the worker, passes graph events to the
// writer until it reports the end, then stops the writer. With
// cancelWhenRunning it cancels as soon as the graph runs instead.
class CFakeProgress : public IWriterProgress {
public:
    explicit CFakeProgress(XRVDSFileWriter* writer) : m_writer(writer)
    {
        m_window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
    }
    ~CFakeProgress() override { DestroyWindow(m_window); }
    void SetLine1(LPCSTR text) override { line1 = text; }
    void SetLine2(LPCSTR text) override { line2 = text; }
    void SetRangeAndPos(int total, int done) override
    {
        range = total;
        (void)done;
    }
    void SetElapsed(DWORD, BOOL) override {}
    void SetWorker(LPTHREAD_START_ROUTINE worker, void* parameter) override
    {
        m_worker = worker;
        m_parameter = parameter;
    }
    void GetWorker(LPTHREAD_START_ROUTINE* worker, void** parameter) override
    {
        *worker = m_worker;
        *parameter = m_parameter;
    }
    void SetCancelled(BOOL cancelled) override { m_cancelled = cancelled; }
    BOOL IsCancelled() override { return m_cancelled; }
    void SetTimerId(UINT_PTR id) override { m_timer = id; }
    UINT_PTR GetTimerId() override { return m_timer; }
    HWND GetWindow() override { return m_window; }
    void BringToFront() override {}
    INT_PTR RunModal() override
    {
        HANDLE thread = CreateThread(NULL, 0, m_worker, m_parameter, 0, NULL);
        INT_PTR result = IDCANCEL;
        DWORD begin = GetTickCount();
        bool workerDone = false;
        for (;;) {
            if (!workerDone && WaitForSingleObject(thread, 0) == WAIT_OBJECT_0)
                workerDone = true;
            if (cancelWhenRunning && workerDone && m_writer->m_bWriting) {
                m_cancelled = TRUE;
                break;
            }
            MSG msg;
            bool ended = false;
            while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_FILEWRITER_GRAPH_EVENT && msg.hwnd == m_window) {
                    ++events;
                    if (m_writer->ProcessGraphEvents())
                        ended = true;
                }
                DispatchMessageA(&msg);
            }
            if (ended) {
                result = IDOK;
                break;
            }
            if (GetTickCount() - begin > 60000) {
                timedOut = true;
                break;
            }
            if (onTick)
                onTick();
            MsgWaitForMultipleObjects(0, NULL, FALSE, 20, QS_ALLINPUT);
        }
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
        if (result == IDOK)
            m_writer->StopWriting();
        return result;
    }

    // Called on the dialog's (the caller's) thread about every 20 ms while
    // the write runs.
    std::function<void()> onTick;
    bool cancelWhenRunning = false;
    bool timedOut = false;
    int events = 0;
    int range = -1;
    std::string line1, line2;

private:
    XRVDSFileWriter* m_writer;
    HWND m_window;
    LPTHREAD_START_ROUTINE m_worker = NULL;
    void* m_parameter = NULL;
    volatile BOOL m_cancelled = FALSE;
    UINT_PTR m_timer = 0;
};

}  // namespace writertest
