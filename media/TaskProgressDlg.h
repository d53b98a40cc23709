#pragma once
// CTaskProgressDlg: the modal dialog under which the file writer merges a
// finished recording's temporary files into the output. Worker threads report
// through ITaskProgress; every operation only stores its value under a lock
// and posts a private message, and the dialog's handlers copy the stored
// values into the controls on the user-interface thread, so no operation
// waits for that thread. A 100 ms timer polls the writer's position and
// duration; the writer's graph events (message 0x530) end the dialog on
// completion, user abort or error abort. DoModal returns only after the
// worker thread it started has ended.
#include "framework/ui/Controls.h"
#include "framework/ui/Dialog.h"
#include "resources/ids_playback.h"

#include <control.h>

class CWinThread;

// The progress callback interface through which workers report.
class ITaskProgress {
public:
    typedef UINT(AFX_CDECL* WorkerProc)(LPVOID);
    virtual void SetTitle(LPCSTR text) = 0;
    virtual void SetLineText(LPCSTR text) = 0;
    virtual void SetProgress(UINT total, UINT done) = 0;
    virtual void SetStatusText(LPCSTR text) = 0;
    // With isTime, value is milliseconds shown as hh:mm:ss (0 clears the
    // status line); else the value in decimal.
    virtual void SetTime(DWORD value, BOOL isTime) = 0;
    virtual void SetWorker(WorkerProc proc, LPVOID param) = 0;
    virtual void SetCancelled(BOOL cancelled) = 0;
    virtual BOOL IsCancelled() = 0;
    virtual void SetTimerId(UINT_PTR id) = 0;
    virtual UINT_PTR GetTimerId() = 0;
    virtual INT_PTR DoModal() = 0;
    virtual HWND GetWindow() = 0;
    virtual void BringToFront() = 0;

protected:
    ~ITaskProgress() {}
};

// What the dialog needs of the writer it watches. Times are 100-ns units.
class ITaskProgressWriter {
public:
    virtual HRESULT GetWritePosition(LONGLONG* position) = 0;   // may fail
    virtual HRESULT GetDuration(LONGLONG* duration) = 0;
    virtual HRESULT StopWriting(int flag) = 0;
    // The writer's graph events; fails when there is no graph.
    virtual HRESULT GetMediaEventEx(IMediaEventEx** events) = 0;

protected:
    ~ITaskProgressWriter() {}
};

#define WM_TASK_PROGRESS_CAPTION  (WM_USER + 0x18)
#define WM_TASK_PROGRESS_STATUS   (WM_USER + 0x19)   // wParam 1: show an empty status line
#define WM_TASK_PROGRESS_TITLE    (WM_USER + 0x1A)
#define WM_TASK_PROGRESS_LINE     (WM_USER + 0x1B)
#define WM_TASK_PROGRESS_FRONT    (WM_USER + 0x1C)
#define WM_TASK_PROGRESS_END      100                // ends the dialog with IDOK
#define WM_TASK_GRAPH_EVENTS      (WM_USER + 0x130)  // 0x530, from the writer's graph

class CTaskProgressDlg : public CDialog, public ITaskProgress {
public:
    enum { IDD = IDD_TASK_PROGRESS, kTimer = 15358 };

    CTaskProgressDlg(ITaskProgressWriter* writer, CWnd* parent);
    ~CTaskProgressDlg() override;

    // ITaskProgress.
    void SetTitle(LPCSTR text) override;
    void SetLineText(LPCSTR text) override;
    void SetProgress(UINT total, UINT done) override;
    void SetStatusText(LPCSTR text) override;
    void SetTime(DWORD value, BOOL isTime) override;
    void SetWorker(WorkerProc proc, LPVOID param) override;
    void SetCancelled(BOOL cancelled) override;
    BOOL IsCancelled() override;
    void SetTimerId(UINT_PTR id) override;
    UINT_PTR GetTimerId() override;
    INT_PTR DoModal() override;
    HWND GetWindow() override;
    void BringToFront() override;

    // What the handlers last showed (for the caller and tests).
    CString GetComposedCaption();

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnTimer(UINT_PTR id);
    void OnPaint();
    void OnDestroy();
    LRESULT OnQueryDragIcon(WPARAM, LPARAM);
    LRESULT OnShowCaption(WPARAM, LPARAM);
    LRESULT OnShowStatus(WPARAM, LPARAM);
    LRESULT OnShowTitle(WPARAM, LPARAM);
    LRESULT OnShowLine(WPARAM, LPARAM);
    LRESULT OnFront(WPARAM, LPARAM);
    LRESULT OnEnd(WPARAM, LPARAM);
    LRESULT OnGraphEvents(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

private:
    void Post(UINT message, WPARAM wParam = 0);
    void StopAndEnd();

    ITaskProgressWriter* m_writer;
    CRITICAL_SECTION m_lock;        // guards everything below that workers touch
    HWND m_window;                  // the dialog's handle while it exists
    UINT_PTR m_timerId;
    BOOL m_stopRequest;
    WorkerProc m_workerProc;
    LPVOID m_workerParam;
    BOOL m_cancelled;
    UINT m_total;
    UINT m_done;
    HICON m_icon;
    CString m_title;
    CString m_caption;
    CString m_line;
    CString m_status;
    CWinThread* m_workerThread;
};
