#include "media/ProgressDlg.h"

#include "framework/ui/DataExchange.h"
#include "framework/WinThread.h"

#include <commctrl.h>

IMPLEMENT_DYNAMIC(CProgressDlg, CDialog)

BEGIN_MESSAGE_MAP(CProgressDlg, CDialog)
    ON_MESSAGE(WM_PROGRESS_END_CANCEL, OnEndCancel)
    ON_MESSAGE(WM_PROGRESS_END_OK, OnEndOk)
    ON_WM_CLOSE()
    ON_WM_PAINT()
    ON_MESSAGE(WM_QUERYDRAGICON, OnQueryDragIcon)
END_MESSAGE_MAP()

CProgressDlg::CProgressDlg(CWnd* pParent)
    : CDialog(IDD_PROGRESS, pParent),
      m_workerProc(NULL),
      m_workerParam(NULL),
      m_range(100),
      m_position(0),
      m_icon(NULL),
      m_workerThread(NULL)
{
    m_icon = (HICON)::LoadImageA(::GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDI_PROGRESS), IMAGE_ICON,
                                 16, 16, 0);
}

CProgressDlg::~CProgressDlg()
{
    if (m_workerThread) {
        ::WaitForSingleObject(m_workerThread->m_hThread, INFINITE);
        delete m_workerThread;
    }
    if (m_hWnd)
        DestroyWindow();
    if (m_icon)
        ::DestroyIcon(m_icon);
}

void CProgressDlg::SetWorker(WorkerProc proc, LPVOID param)
{
    m_workerProc = proc;
    m_workerParam = param;
}

void CProgressDlg::SetTitle(LPCSTR text)
{
    m_title = text;
    if (m_hWnd)
        ::SetWindowTextA(m_hWnd, m_title);
}

void CProgressDlg::SetStatusText(LPCSTR text)
{
    m_status = text;
    if (m_hWnd)
        ::SetDlgItemTextA(m_hWnd, IDC_PROGRESS_STATUS, m_status);
}

void CProgressDlg::SetProgress(int range, int position)
{
    m_range = range;
    m_position = position;
    if (!m_hWnd)
        return;
    ::SendDlgItemMessageA(m_hWnd, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, range));
    ::SendDlgItemMessageA(m_hWnd, IDC_PROGRESS_BAR, PBM_SETPOS, position, 0);
    const int percent = range ? MulDiv(position, 100, range) : 0;
    CString caption;
    caption.Format("%d%% - ", percent);
    caption += m_title;
    m_caption = caption;
    ::SetWindowTextA(m_hWnd, caption);
}

BOOL CProgressDlg::IsWorkerRunning() const
{
    return m_workerThread && ::WaitForSingleObject(m_workerThread->m_hThread, 0) == WAIT_TIMEOUT;
}

// The modal run returns only after the worker has ended: its user frees the
// storage and lists the worker still touches until its last line. Messages
// sent to this thread are served meanwhile, so a worker that still reports
// progress cannot deadlock with the wait.
INT_PTR CProgressDlg::DoModal()
{
    const INT_PTR result = CDialog::DoModal();
    if (m_workerThread) {
        HANDLE thread = m_workerThread->m_hThread;
        while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) ==
               WAIT_OBJECT_0 + 1) {
            MSG msg;
            ::PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        delete m_workerThread;
        m_workerThread = NULL;
    }
    return result;
}

void CProgressDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROGRESS_BAR, m_bar);
}

BOOL CProgressDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    ::SetWindowTextA(m_hWnd, m_title);
    ::SetDlgItemTextA(m_hWnd, IDC_PROGRESS_STATUS, m_status);
    SetProgress(m_range, m_position);
    if (m_icon) {
        SendMessage(WM_SETICON, ICON_BIG, (LPARAM)m_icon);
        SendMessage(WM_SETICON, ICON_SMALL, (LPARAM)m_icon);
    }
    if (m_workerProc) {
        m_workerThread = AfxBeginThread(m_workerProc, m_workerParam, THREAD_PRIORITY_BELOW_NORMAL, 0,
                                        CREATE_SUSPENDED);
        if (m_workerThread) {
            m_workerThread->m_bAutoDelete = FALSE;
            m_workerThread->ResumeThread();
        } else {
            PostMessage(WM_PROGRESS_END_CANCEL);
        }
    }
    // Centred on the primary display, hidden until the worker shows it.
    WINDOWPLACEMENT placement = { sizeof(placement) };
    GetWindowPlacement(&placement);
    const RECT& r = placement.rcNormalPosition;
    HDC screen = ::GetDC(NULL);
    const int x = ::GetDeviceCaps(screen, HORZRES) / 2 - (r.right - r.left) / 2;
    const int y = ::GetDeviceCaps(screen, VERTRES) / 2 - (r.bottom - r.top) / 2;
    ::ReleaseDC(NULL, screen);
    ::SetWindowPos(m_hWnd, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_HIDEWINDOW);
    return TRUE;
}

// Enter, Escape and the Cancel button leave the dialog open: only the worker ends it.
void CProgressDlg::OnOK()
{
}

void CProgressDlg::OnCancel()
{
}

LRESULT CProgressDlg::OnEndCancel(WPARAM, LPARAM)
{
    EndDialog(IDCANCEL);
    return 0;
}

LRESULT CProgressDlg::OnEndOk(WPARAM, LPARAM)
{
    EndDialog(IDOK);
    return 0;
}

// Closing the window while the worker still copies would let the caller free
// what the worker uses; the close is refused until the worker has ended.
void CProgressDlg::OnClose()
{
    if (IsWorkerRunning())
        return;
    Default();
    EndDialog(IDOK);
}

void CProgressDlg::OnPaint()
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

LRESULT CProgressDlg::OnQueryDragIcon(WPARAM, LPARAM)
{
    return (LRESULT)m_icon;
}
