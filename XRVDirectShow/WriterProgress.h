// What the file writer asks of the task progress dialog that runs its
// worker: two caption lines, the bar (range and position), the elapsed-time
// field, the worker thread it starts, the cancel state, the timer it polls
// with, its modal run, its window and bringing it to the front. The dialog
// starts the installed worker when it opens, polls the writer's position and
// duration on its timer, passes message 0x530 to
// XRVDSFileWriter::ProcessGraphEvents and ends when that reports the end of
// the write or the user cancels. Tests stand in a fake for it.
#pragma once
#include <windows.h>

class IWriterProgress {
public:
    virtual ~IWriterProgress() {}
    virtual void SetLine1(LPCSTR text) = 0;
    virtual void SetLine2(LPCSTR text) = 0;
    virtual void SetRangeAndPos(int total, int done) = 0;
    virtual void SetElapsed(DWORD milliseconds, BOOL show) = 0;
    virtual void SetWorker(LPTHREAD_START_ROUTINE worker, void* parameter) = 0;
    virtual void GetWorker(LPTHREAD_START_ROUTINE* worker, void** parameter) = 0;
    virtual void SetCancelled(BOOL cancelled) = 0;
    virtual BOOL IsCancelled() = 0;
    virtual void SetTimerId(UINT_PTR id) = 0;
    virtual UINT_PTR GetTimerId() = 0;
    // Runs the dialog until it ends; its result (IDOK, IDCANCEL).
    virtual INT_PTR RunModal() = 0;
    virtual HWND GetWindow() = 0;
    virtual void BringToFront() = 0;
};

// The graph-event message the writer's output graph posts to the dialog.
const UINT WM_FILEWRITER_GRAPH_EVENT = WM_USER + 0x130;
