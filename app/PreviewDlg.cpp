#include "app/PreviewDlg.h"

#include "framework/WinApp.h"
#include "XRVDirectShow/XRVDShow.h"

#include <commctrl.h>

BEGIN_MESSAGE_MAP(CPreviewDlg, CDialog)
    ON_WM_TIMER()
    ON_WM_SIZE()
    ON_WM_HSCROLL()
    ON_MESSAGE(WM_PREVIEW_PLAY_STATE, OnPlayState)
END_MESSAGE_MAP()

namespace {

const UINT_PTR kRefreshTimer = 0;

CString LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

}  // namespace

CPreviewDlg::CPreviewDlg(CWnd* parent)
    : CDialog(IDD_PREVIEW, parent),
      m_facade(NULL),
      m_keep(1),
      m_fit(FALSE),
      m_icon((HICON)::LoadImageA(::GetModuleHandleA(NULL), MAKEINTRESOURCEA(2), IMAGE_ICON, 16, 16, 0)),
      m_laidOut(FALSE)
{
}

void CPreviewDlg::SetFacade(XRVDShow* facade)
{
    m_facade = facade;
    m_preview.SetPlayer(facade);
}

// Hours, minutes and seconds with two decimals, rounded to the hundredth in
// integers.
CString CPreviewDlg::FormatLabel(DWORD positionMs, DWORD durationMs)
{
    CString parts[2];
    const DWORD values[2] = {positionMs, durationMs};
    for (int i = 0; i < 2; ++i) {
        const DWORD cs = (values[i] + 5) / 10;
        parts[i].Format("%01u:%02u:%02u.%02u", (unsigned)(cs / 360000), (unsigned)(cs / 6000 % 60),
                        (unsigned)(cs / 100 % 60), (unsigned)(cs % 100));
    }
    CString label;
    label.Format("%s / %s", parts[0].GetString(), parts[1].GetString());
    return label;
}

BOOL CPreviewDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    RECT area;
    ::GetWindowRect(::GetDlgItem(m_hWnd, IDC_PREVIEW_VIDEO_AREA), &area);
    ::MapWindowPoints(NULL, m_hWnd, (LPPOINT)&area, 2);
    m_preview.SetScaleToFit(m_fit);
    m_preview.CreatePlayer(this, area, 0);
    ::SetWindowTextA(m_hWnd, LoadText(IDS_PREVIEW_TITLE));
    if (m_icon)
        SendMessage(WM_SETICON, ICON_SMALL, (LPARAM)m_icon);
    SetTimer(kRefreshTimer, 100, NULL);
    m_preview.SetNotifyTarget(this);
    ::SetDlgItemTextA(m_hWnd, IDC_PREVIEW_SAVE, LoadText(IDS_PREVIEW_SAVE));
    ::SetDlgItemTextA(m_hWnd, IDC_PREVIEW_DELETE, LoadText(IDS_PREVIEW_DELETE));
    ::SetDlgItemTextA(m_hWnd, IDC_PREVIEW_PLAY, LoadText(IDS_PREVIEW_PLAY));
    ::SetDlgItemTextA(m_hWnd, IDC_PREVIEW_PAUSE, LoadText(IDS_PREVIEW_PAUSE));
    ::SetDlgItemTextA(m_hWnd, IDC_PREVIEW_STOP, LoadText(IDS_PREVIEW_STOP));
    if (m_facade) {
        const LONGLONG duration = m_facade->GetDuration();
        ::SendDlgItemMessageA(m_hWnd, IDC_PREVIEW_SLIDER, TBM_SETRANGEMIN, FALSE, 0);
        ::SendDlgItemMessageA(m_hWnd, IDC_PREVIEW_SLIDER, TBM_SETRANGEMAX, TRUE,
                              (LPARAM)(duration > 0 ? duration / 10000 : 0));
        ::SendDlgItemMessageA(m_hWnd, IDC_PREVIEW_SLIDER, TBM_SETPOS, TRUE, 0);
        m_preview.Refresh();
    }
    m_laidOut = TRUE;
    SizeAndPlace();
    Layout();
    m_preview.Play();
    ShowPlaying(TRUE);
    return TRUE;
}

// Enter does not end the preview.
void CPreviewDlg::OnOK()
{
}

// Closing the dialog leaves the keep flag as it is (1 unless Delete was
// confirmed on the way out).
void CPreviewDlg::OnCancel()
{
    EndDialog(1);
}

BOOL CPreviewDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(wParam) != BN_CLICKED)
        return CDialog::OnCommand(wParam, lParam);
    switch (LOWORD(wParam)) {
        case IDC_PREVIEW_PLAY:
            TogglePlay();
            return TRUE;
        case IDC_PREVIEW_STOP:
            StopPlayer();
            return TRUE;
        case IDC_PREVIEW_PAUSE:
            PausePlayer();
            return TRUE;
        case IDC_PREVIEW_SAVE:
            m_keep = 1;
            EndDialog(1);
            return TRUE;
        case IDC_PREVIEW_DELETE:
            // Only an explicit Yes discards: a failed or closed box keeps it.
            if (AfxMessageBox(IDS_PREVIEW_CONFIRM_DELETE, MB_YESNO | MB_ICONQUESTION) == IDYES) {
                m_keep = 0;
                EndDialog(1);
            }
            return TRUE;
        default:
            return CDialog::OnCommand(wParam, lParam);
    }
}

void CPreviewDlg::OnTimer(UINT_PTR id)
{
    if (id == kRefreshTimer && m_preview.IsRunning())
        RefreshPosition();
}

void CPreviewDlg::OnHScroll(UINT, UINT, CScrollBar*)
{
    SeekTo((DWORD)::SendDlgItemMessageA(m_hWnd, IDC_PREVIEW_SLIDER, TBM_GETPOS, 0, 0));
}

BOOL CPreviewDlg::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_SPACE) {
        TogglePlay();
        return TRUE;
    }
    return CDialog::PreTranslateMessage(pMsg);
}

void CPreviewDlg::OnPlayStateChanged(IPlayerWindow*)
{
    if (m_hWnd)
        ::PostMessageA(m_hWnd, WM_PREVIEW_PLAY_STATE, 0, 0);
}

// The end (or the start) rewinds; anywhere else the player pauses.
LRESULT CPreviewDlg::OnPlayState(WPARAM, LPARAM)
{
    const LONGLONG position = m_preview.GetPosition();
    if (position != m_preview.GetDuration() && position != 0)
        PausePlayer();
    else
        StopPlayer();
    return 0;
}

void CPreviewDlg::ShowPlaying(BOOL playing)
{
    ::ShowWindow(::GetDlgItem(m_hWnd, IDC_PREVIEW_PAUSE), playing ? SW_SHOW : SW_HIDE);
    ::ShowWindow(::GetDlgItem(m_hWnd, IDC_PREVIEW_PLAY), playing ? SW_HIDE : SW_SHOW);
}

void CPreviewDlg::TogglePlay()
{
    if (m_preview.IsRunning()) {
        PausePlayer();
        return;
    }
    m_preview.Play();
    ShowPlaying(TRUE);
}

void CPreviewDlg::PausePlayer()
{
    m_preview.Pause();
    RefreshPosition();
    ShowPlaying(FALSE);
}

void CPreviewDlg::StopPlayer()
{
    if (m_preview.IsRunning())
        m_preview.Stop();
    if (m_preview.GetPosition() != 0)
        m_preview.Seek(0, 1);
    RefreshPosition();
    ShowPlaying(FALSE);
}

// The target is kept at least one frame before the end.
void CPreviewDlg::SeekTo(DWORD ms)
{
    if (!m_preview.HasPlayerMedia())
        return;
    const double rate = m_preview.GetFrameRate();
    const LONGLONG frame = rate > 0.0 ? (LONGLONG)(10000000.0 / rate) : 0;
    LONGLONG target = (LONGLONG)ms * 10000;
    const LONGLONG last = m_preview.GetDuration() - frame;
    if (target > last)
        target = last;
    if (target < 0)
        target = 0;
    m_preview.Seek(target, 1);
    ShowPlaying(FALSE);
    RefreshPosition();
}

void CPreviewDlg::RefreshPosition()
{
    if (!m_facade)
        return;
    const LONGLONG duration = m_preview.GetDuration();
    LONGLONG position = m_preview.GetPosition();
    if (position >= duration)
        position = duration;
    const DWORD durationMs = (DWORD)(duration > 0 ? duration / 10000 : 0);
    const DWORD positionMs = (DWORD)(position > 0 ? position / 10000 : 0);
    ::SendDlgItemMessageA(m_hWnd, IDC_PREVIEW_SLIDER, TBM_SETRANGEMAX, FALSE, (LPARAM)durationMs);
    ::SendDlgItemMessageA(m_hWnd, IDC_PREVIEW_SLIDER, TBM_SETPOS, TRUE, (LPARAM)positionMs);
    const CString label = FormatLabel(positionMs, durationMs);
    if (label != m_label) {
        m_label = label;
        ::SetDlgItemTextA(m_hWnd, IDC_PREVIEW_POSITION, label);
    }
}

// The video's size plus the room the controls take, at least 450 x 300 (the
// margins grow equally), at most the work area, centred in it.
void CPreviewDlg::SizeAndPlace()
{
    RECT work;
    MONITORINFO info = {sizeof(info)};
    HWND main = AfxGetMainWnd() ? AfxGetMainWnd()->GetSafeHwnd() : m_hWnd;
    if (::GetMonitorInfoA(::MonitorFromWindow(main, MONITOR_DEFAULTTONEAREST), &info))
        work = info.rcWork;
    else
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int workW = work.right - work.left;
    const int workH = work.bottom - work.top;
    int width = workW;
    int height = workH;
    if (!m_fit) {
        RECT window, area;
        ::GetWindowRect(m_hWnd, &window);
        ::GetWindowRect(::GetDlgItem(m_hWnd, IDC_PREVIEW_VIDEO_AREA), &area);
        int videoW = 0, videoH = 0;
        if (m_facade)
            m_facade->GetMaxProperties(&videoW, &videoH);
        width = videoW + (window.right - window.left) - (area.right - area.left);
        height = videoH + (window.bottom - window.top) - (area.bottom - area.top);
        if (width < kMinWidth)
            width = kMinWidth;
        if (height < kMinHeight)
            height = kMinHeight;
        if (width > workW)
            width = workW;
        if (height > workH)
            height = workH;
    }
    ::SetWindowPos(m_hWnd, NULL, work.left + (workW - width) / 2, work.top + (workH - height) / 2, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void CPreviewDlg::OnSize(UINT, int, int)
{
    Default();
    if (m_laidOut)
        Layout();
}

// The controls in one row along the bottom; the video above them.
void CPreviewDlg::Layout()
{
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    RECT button;
    ::GetWindowRect(::GetDlgItem(m_hWnd, IDC_PREVIEW_PLAY), &button);
    const int rowH = button.bottom - button.top;
    const int buttonW = button.right - button.left;
    const int margin = 6;
    const int y = client.bottom - margin - rowH;
    struct Place {
        UINT id;
        int x, w;
    };
    const int saveX = client.right - margin - 2 * buttonW - margin;
    const int stopX = margin + buttonW + margin;
    const int sliderX = stopX + buttonW + margin;
    // The slider and the label share what the buttons leave; the label
    // needs about 170 pixels for its text.
    const int shared = saveX - margin - sliderX;
    const int labelW = shared / 2 > 170 ? 170 : (shared > 0 ? shared / 2 : 0);
    const int labelX = saveX - margin - labelW;
    const Place places[] = {
        {IDC_PREVIEW_PLAY, margin, buttonW},
        {IDC_PREVIEW_PAUSE, margin, buttonW},
        {IDC_PREVIEW_STOP, stopX, buttonW},
        {IDC_PREVIEW_SLIDER, sliderX, labelX - margin - sliderX},
        {IDC_PREVIEW_POSITION, labelX, labelW},
        {IDC_PREVIEW_SAVE, saveX, buttonW},
        {IDC_PREVIEW_DELETE, saveX + buttonW + margin, buttonW},
    };
    for (const Place& p : places)
        ::MoveWindow(::GetDlgItem(m_hWnd, p.id), p.x, y, p.w > 0 ? p.w : 0, rowH, TRUE);
    RECT video = {margin, margin, client.right - margin, y - margin};
    ::MoveWindow(::GetDlgItem(m_hWnd, IDC_PREVIEW_VIDEO_AREA), video.left, video.top, video.right - video.left,
                 video.bottom - video.top, FALSE);
    if (m_preview.GetSafeHwnd())
        ::MoveWindow(m_preview.m_hWnd, video.left, video.top, video.right - video.left, video.bottom - video.top,
                     TRUE);
    ::InvalidateRect(m_hWnd, NULL, TRUE);
}
