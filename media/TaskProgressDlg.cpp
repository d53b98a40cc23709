#include "media/TaskProgressDlg.h"

#include "framework/WinApp.h"
#include "framework/WinThread.h"

#include <commctrl.h>
#include <evcode.h>

BEGIN_MESSAGE_MAP(CTaskProgressDlg, CDialog)
    ON_WM_TIMER()
    ON_WM_PAINT()
    ON_WM_DESTROY()
    ON_MESSAGE(WM_QUERYDRAGICON, OnQueryDragIcon)
    ON_MESSAGE(WM_TASK_PROGRESS_CAPTION, OnShowCaption)
    ON_MESSAGE(WM_TASK_PROGRESS_STATUS, OnShowStatus)
    ON_MESSAGE(WM_TASK_PROGRESS_TITLE, OnShowTitle)
    ON_MESSAGE(WM_TASK_PROGRESS_LINE, OnShowLine)
    ON_MESSAGE(WM_TASK_PROGRESS_FRONT, OnFront)
    ON_MESSAGE(WM_TASK_PROGRESS_END, OnEnd)
    ON_MESSAGE(WM_TASK_GRAPH_EVENTS, OnGraphEvents)
END_MESSAGE_MAP()

namespace {

// Holds a critical section for a scope.
class Hold {
public:
    explicit Hold(CRITICAL_SECTION* cs) : m_cs(cs) { ::EnterCriticalSection(m_cs); }
    ~Hold() { ::LeaveCriticalSection(m_cs); }

private:
    CRITICAL_SECTION* m_cs;
};

}  // namespace

CTaskProgressDlg::CTaskProgressDlg(ITaskProgressWriter* writer, CWnd* parent)
    : CDialog(IDD_TASK_PROGRESS, parent),
      m_writer(writer),
      m_window(NULL),
      m_timerId(0),
      m_stopRequest(FALSE),
      m_workerProc(NULL),
      m_workerParam(NULL),
      m_cancelled(FALSE),
      m_total(100),
      m_done(0),
      m_icon((HICON)::LoadImageA(::GetModuleHandleA(NULL), MAKEINTRESOURCEA(2), IMAGE_ICON, 16, 16, 0)),
      m_workerThread(NULL)
{
    ::InitializeCriticalSection(&m_lock);
}

CTaskProgressDlg::~CTaskProgressDlg()
{
    if (m_workerThread) {
        ::WaitForSingleObject(m_workerThread->m_hThread, INFINITE);
        delete m_workerThread;
    }
    if (m_hWnd)
        DestroyWindow();
    if (m_icon)
        ::DestroyIcon(m_icon);
    ::DeleteCriticalSection(&m_lock);
}

// Posts to the dialog while its window exists; before that the stored values
// wait for OnInitDialog, afterwards nobody shows them.
void CTaskProgressDlg::Post(UINT message, WPARAM wParam)
{
    Hold hold(&m_lock);
    if (m_window)
        ::PostMessageA(m_window, message, wParam, 0);
}

void CTaskProgressDlg::SetTitle(LPCSTR text)
{
    {
        Hold hold(&m_lock);
        m_title = text ? text : "";
    }
    Post(WM_TASK_PROGRESS_TITLE);
}

void CTaskProgressDlg::SetLineText(LPCSTR text)
{
    {
        Hold hold(&m_lock);
        m_line = text ? text : "";
    }
    Post(WM_TASK_PROGRESS_LINE);
}

void CTaskProgressDlg::SetProgress(UINT total, UINT done)
{
    {
        Hold hold(&m_lock);
        m_total = total;
        m_done = done;
    }
    Post(WM_TASK_PROGRESS_CAPTION);
}

void CTaskProgressDlg::SetStatusText(LPCSTR text)
{
    if (!text)
        return;
    {
        Hold hold(&m_lock);
        m_status = text;
    }
    Post(WM_TASK_PROGRESS_STATUS);
}

void CTaskProgressDlg::SetTime(DWORD value, BOOL isTime)
{
    if (isTime && value == 0) {
        // The status line goes empty; the stored text stays.
        Post(WM_TASK_PROGRESS_STATUS, 1);
        return;
    }
    CString text;
    if (isTime) {
        const DWORD hours = value / 3600000;
        const DWORD minutes = (value / 1000 - hours * 3600) / 60;
        const DWORD seconds = value / 1000 - (hours * 60 + minutes) * 60;
        text.Format("%02d:%02d:%02d", (int)hours, (int)minutes, (int)seconds);
    } else {
        text.Format("%d", (int)value);
    }
    {
        Hold hold(&m_lock);
        m_status = text;
    }
    Post(WM_TASK_PROGRESS_STATUS);
}

void CTaskProgressDlg::SetWorker(WorkerProc proc, LPVOID param)
{
    Hold hold(&m_lock);
    m_workerProc = proc;
    m_workerParam = param;
}

void CTaskProgressDlg::SetCancelled(BOOL cancelled)
{
    Hold hold(&m_lock);
    m_cancelled = cancelled;
}

BOOL CTaskProgressDlg::IsCancelled()
{
    Hold hold(&m_lock);
    return m_cancelled;
}

void CTaskProgressDlg::SetTimerId(UINT_PTR id)
{
    Hold hold(&m_lock);
    m_timerId = id;
}

UINT_PTR CTaskProgressDlg::GetTimerId()
{
    Hold hold(&m_lock);
    return m_timerId;
}

HWND CTaskProgressDlg::GetWindow()
{
    Hold hold(&m_lock);
    return m_window;
}

// The window is raised on its own thread: a worker asking for the foreground
// must not wait for the user-interface thread.
void CTaskProgressDlg::BringToFront()
{
    Post(WM_TASK_PROGRESS_FRONT);
}

CString CTaskProgressDlg::GetComposedCaption()
{
    Hold hold(&m_lock);
    return m_caption;
}

// Returns only after the worker has ended, so that its caller may free what
// the worker uses. Messages sent to this thread are served meanwhile.
INT_PTR CTaskProgressDlg::DoModal()
{
    const INT_PTR result = CDialog::DoModal();
    if (m_workerThread) {
        HANDLE thread = m_workerThread->m_hThread;
        while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
            MSG msg;
            ::PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        delete m_workerThread;
        m_workerThread = NULL;
    }
    return result;
}

BOOL CTaskProgressDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    {
        Hold hold(&m_lock);
        m_window = m_hWnd;
    }
    OnShowTitle(0, 0);
    OnShowLine(0, 0);
    OnShowCaption(0, 0);
    OnShowStatus(0, 0);
    if (m_icon) {
        SendMessage(WM_SETICON, ICON_BIG, (LPARAM)m_icon);
        SendMessage(WM_SETICON, ICON_SMALL, (LPARAM)m_icon);
    }
    SetTimerId(SetTimer(kTimer, 100, NULL));
    WorkerProc proc;
    LPVOID param;
    {
        Hold hold(&m_lock);
        proc = m_workerProc;
        param = m_workerParam;
    }
    if (proc) {
        m_workerThread = AfxBeginThread(proc, param, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
        if (m_workerThread) {
            m_workerThread->m_bAutoDelete = FALSE;
            m_workerThread->ResumeThread();
        }
    }
    return TRUE;
}

// There is no OK button; Enter does nothing.
void CTaskProgressDlg::OnOK()
{
}

// A confirmed Cancel raises the stop request; the next tick ends the dialog.
// The dialog never ends with IDCANCEL: the caller asks IsCancelled.
void CTaskProgressDlg::OnCancel()
{
    if (AfxMessageBox(IDS_CONFIRM_CANCEL_TASK, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    Hold hold(&m_lock);
    m_cancelled = TRUE;
    m_stopRequest = TRUE;
}

void CTaskProgressDlg::StopAndEnd()
{
    const UINT_PTR timer = GetTimerId();
    if (timer)
        KillTimer(timer);
    SetTimerId(0);
    if (m_writer)
        m_writer->StopWriting(0);
    ::SendDlgItemMessageA(m_hWnd, IDC_TASK_PROGRESS_BAR, PBM_SETPOS, 0, 0);
    PostMessage(WM_TASK_PROGRESS_END);
}

void CTaskProgressDlg::OnTimer(UINT_PTR id)
{
    if (id != GetTimerId() || id == 0)
        return;
    BOOL stop;
    {
        Hold hold(&m_lock);
        stop = m_stopRequest;
        m_stopRequest = FALSE;
    }
    if (stop) {
        StopAndEnd();
        return;
    }
    if (!m_writer)
        return;
    LONGLONG position = 0;
    LONGLONG duration = 0;
    if (FAILED(m_writer->GetWritePosition(&position)))
        return;
    m_writer->GetDuration(&duration);
    SetProgress((UINT)(duration / 10000000), (UINT)(position / 10000000));
    SetTime((DWORD)(position / 10000), TRUE);
}

// The bar takes the low 16 bits of the total; the percentage uses the whole
// values, in 64 bits so that a large done count cannot wrap.
LRESULT CTaskProgressDlg::OnShowCaption(WPARAM, LPARAM)
{
    UINT total, done;
    CString caption;
    {
        Hold hold(&m_lock);
        total = m_total;
        done = m_done;
        const unsigned percent = total ? (unsigned)((unsigned long long)done * 100 / total) : 0;
        m_caption.Format("%d%% - ", (int)percent);
        m_caption += m_title;
        caption = m_caption;
    }
    ::SendDlgItemMessageA(m_hWnd, IDC_TASK_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, total & 0xFFFF));
    ::SendDlgItemMessageA(m_hWnd, IDC_TASK_PROGRESS_BAR, PBM_SETPOS, done, 0);
    ::SetWindowTextA(m_hWnd, caption);
    return 0;
}

LRESULT CTaskProgressDlg::OnShowStatus(WPARAM clear, LPARAM)
{
    CString text;
    if (!clear) {
        Hold hold(&m_lock);
        text = m_status;
    }
    ::SetDlgItemTextA(m_hWnd, IDC_TASK_PROGRESS_STATUS, text);
    return 0;
}

LRESULT CTaskProgressDlg::OnShowTitle(WPARAM, LPARAM)
{
    CString text;
    {
        Hold hold(&m_lock);
        text = m_title;
    }
    ::SetWindowTextA(m_hWnd, text);
    return 0;
}

LRESULT CTaskProgressDlg::OnShowLine(WPARAM, LPARAM)
{
    CString text;
    {
        Hold hold(&m_lock);
        text = m_line;
    }
    ::SetDlgItemTextA(m_hWnd, IDC_TASK_PROGRESS_LINE, text);
    return 0;
}

LRESULT CTaskProgressDlg::OnFront(WPARAM, LPARAM)
{
    ::SetForegroundWindow(m_hWnd);
    return 0;
}

LRESULT CTaskProgressDlg::OnEnd(WPARAM, LPARAM)
{
    EndDialog(IDOK);
    return 0;
}

// Completion, a user abort and an error abort all end the dialog.
LRESULT CTaskProgressDlg::OnGraphEvents(WPARAM, LPARAM)
{
    if (!m_writer)
        return 0;
    IMediaEventEx* events = NULL;
    if (FAILED(m_writer->GetMediaEventEx(&events)) || !events)
        return 0;
    long code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    while (SUCCEEDED(events->GetEvent(&code, &p1, &p2, 0))) {
        events->FreeEventParams(code, p1, p2);
        if (code == EC_COMPLETE || code == EC_USERABORT || code == EC_ERRORABORT) {
            StopAndEnd();
            break;
        }
    }
    events->Release();
    return 0;
}

void CTaskProgressDlg::OnDestroy()
{
    {
        Hold hold(&m_lock);
        m_window = NULL;
    }
    const UINT_PTR timer = GetTimerId();
    if (timer)
        KillTimer(timer);
    SetTimerId(0);
    Default();
}

void CTaskProgressDlg::OnPaint()
{
    if (!IsIconic() || !m_icon) {
        Default();
        return;
    }
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    SendMessage(WM_ICONERASEBKGND, (WPARAM)dc, 0);
    RECT rect;
    GetClientRect(&rect);
    const int x = (rect.right - rect.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (rect.bottom - rect.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_icon);
    ::EndPaint(m_hWnd, &ps);
}

LRESULT CTaskProgressDlg::OnQueryDragIcon(WPARAM, LPARAM)
{
    return (LRESULT)m_icon;
}
