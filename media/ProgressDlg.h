#pragma once
// CProgressDlg: the modal dialog under which a slow step (copying media into
// a recording package, rebuilding a recording) runs on a worker thread. The
// dialog starts the worker from its initialisation, stays hidden until the
// worker shows it, and ends when the worker posts WM_PROGRESS_END_OK or
// WM_PROGRESS_END_CANCEL. Enter, Escape and Cancel do not close it, and
// WM_CLOSE is refused while the worker runs. DoModal returns only after the
// worker thread has ended, so its user may free what the worker used.
// The worker may call SetProgress, SetTitle and SetStatusText.
#include "framework/ui/Controls.h"
#include "framework/ui/Dialog.h"
#include "resources/ids_finishing.h"

class CWinThread;

#define WM_PROGRESS_END_CANCEL 0x2A93   // ends the dialog with IDCANCEL
#define WM_PROGRESS_END_OK     0x2A94   // ends the dialog with IDOK

class CProgressDlg : public CDialog {
    DECLARE_DYNAMIC(CProgressDlg)
public:
    enum { IDD = IDD_PROGRESS };
    typedef UINT(AFX_CDECL* WorkerProc)(LPVOID);

    explicit CProgressDlg(CWnd* pParent = NULL);
    ~CProgressDlg() override;

    void SetWorker(WorkerProc proc, LPVOID param);
    void SetTitle(LPCSTR text);
    void SetStatusText(LPCSTR text);
    void SetProgress(int range, int position);
    INT_PTR DoModal() override;

    BOOL IsWorkerRunning() const;
    const CString& GetCaption() const { return m_caption; }
    const CString& GetTitle() const { return m_title; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    LRESULT OnEndCancel(WPARAM, LPARAM);
    LRESULT OnEndOk(WPARAM, LPARAM);
    void OnClose();
    void OnPaint();
    LRESULT OnQueryDragIcon(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

private:
    WorkerProc m_workerProc;
    LPVOID m_workerParam;
    int m_range;
    int m_position;
    HICON m_icon;
    CString m_title;
    CString m_status;
    CProgressCtrl m_bar;
    CString m_caption;
    CWinThread* m_workerThread;
};
