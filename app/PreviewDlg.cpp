#include "app/PreviewDlg.h"

#include "controls/BitmapSlider.h"
#include "controls/MaskButton.h"
#include "controls/RecolouredBitmap.h"
#include "framework/WinApp.h"
#include "XRVDirectShow/XRVDShow.h"

#include <commctrl.h>

// The preview's slider: the bitmap slider, answering the trackbar messages
// of its range and position (TBM_SETRANGEMIN, TBM_SETRANGEMAX, TBM_GETRANGEMAX,
// TBM_SETPOS, TBM_GETPOS; while dragged, the position is the thumb's).
class CPreviewSlider : public CBitmapSlider {
protected:
    LRESULT OnSetRangeMin(WPARAM redraw, LPARAM value);
    LRESULT OnSetRangeMax(WPARAM redraw, LPARAM value);
    LRESULT OnGetRangeMax(WPARAM, LPARAM);
    LRESULT OnSetPos(WPARAM redraw, LPARAM value);
    LRESULT OnGetPos(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CPreviewSlider, CBitmapSlider)
    ON_MESSAGE(TBM_SETRANGEMIN, OnSetRangeMin)
    ON_MESSAGE(TBM_SETRANGEMAX, OnSetRangeMax)
    ON_MESSAGE(TBM_GETRANGEMAX, OnGetRangeMax)
    ON_MESSAGE(TBM_SETPOS, OnSetPos)
    ON_MESSAGE(TBM_GETPOS, OnGetPos)
END_MESSAGE_MAP()

LRESULT CPreviewSlider::OnSetRangeMin(WPARAM redraw, LPARAM value)
{
    SetRange((int)value, GetRangeMax(), (BOOL)redraw);
    return 0;
}

LRESULT CPreviewSlider::OnSetRangeMax(WPARAM redraw, LPARAM value)
{
    SetRange(GetRangeMin(), (int)value, (BOOL)redraw);
    return 0;
}

LRESULT CPreviewSlider::OnGetRangeMax(WPARAM, LPARAM)
{
    return GetRangeMax();
}

// A drag in progress keeps its thumb where the user holds it.
LRESULT CPreviewSlider::OnSetPos(WPARAM, LPARAM value)
{
    if (!IsDragging())
        SetPos((int)value);
    return 0;
}

LRESULT CPreviewSlider::OnGetPos(WPARAM, LPARAM)
{
    return IsDragging() ? GetPosFromThumb() : GetPos();
}

BEGIN_MESSAGE_MAP(CPreviewDlg, CDialog)
    ON_WM_TIMER()
    ON_WM_SIZE()
    ON_WM_HSCROLL()
    ON_WM_SYSCOLORCHANGE()
    ON_MESSAGE(WM_PREVIEW_PLAY_STATE, OnPlayState)
END_MESSAGE_MAP()

namespace {

const UINT_PTR kRefreshTimer = 0;
const COLORREF kTransparent = RGB(255, 0, 255);
const int kSliderHeight = 16;   // the height of the slider's bitmaps

// The buttons in the order of CPreviewDlg::m_buttons, with their pictures.
const struct {
    UINT id, bitmap;
} kButtons[6] = {
    {IDC_PREVIEW_PLAY, IDB_PREVIEW_PLAY},     {IDC_PREVIEW_PAUSE, IDB_PREVIEW_PAUSE},
    {IDC_PREVIEW_STOP, IDB_PREVIEW_STOP},     {IDC_PREVIEW_SAVE, IDB_PREVIEW_SAVE},
    {IDC_PREVIEW_DELETE, IDB_PREVIEW_DELETE}, {IDC_PREVIEW_POSITION, IDB_PREVIEW_LABEL},
};

// A slider bitmap; `background` given, its transparent pixels take that
// colour (the groove is tiled without a key colour).
CBitmap* LoadSliderBitmap(UINT id, const COLORREF* background = NULL)
{
    CBitmap* bitmap = new CBitmap;
    if (!LoadRecolouredBitmap(*bitmap, id, RGB(255, 255, 255), NULL)) {
        delete bitmap;
        return NULL;
    }
    if (background) {
        BITMAP info;
        HBITMAP handle = (HBITMAP)bitmap->GetSafeHandle();
        HDC dc = ::CreateCompatibleDC(NULL);
        if (dc && ::GetObjectA(handle, sizeof(info), &info)) {
            HGDIOBJ old = ::SelectObject(dc, handle);
            for (int y = 0; y < info.bmHeight; ++y)
                for (int x = 0; x < info.bmWidth; ++x)
                    if (::GetPixel(dc, x, y) == kTransparent)
                        ::SetPixel(dc, x, y, *background);
            ::SelectObject(dc, old);
        }
        if (dc)
            ::DeleteDC(dc);
    }
    return bitmap;
}

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
      m_laidOut(FALSE),
      m_slider(new CPreviewSlider),
      m_tips(NULL)
{
    for (CMaskButton*& button : m_buttons)
        button = new CMaskButton;
}

// The controls' objects outlive their windows, which the dialog's own
// destruction took down.
CPreviewDlg::~CPreviewDlg()
{
    delete m_slider;
    for (CMaskButton* button : m_buttons)
        delete button;
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
    m_slider->Create(CRect(0, 0, 0, 0), this, IDC_PREVIEW_SLIDER);
    BuildSliderBitmaps();
    SetUpButtons();
    m_preview.SetNotifyTarget(this);
    ::SetDlgItemTextA(m_hWnd, IDC_PREVIEW_SAVE, LoadText(IDS_PREVIEW_SAVE));
    ::SetDlgItemTextA(m_hWnd, IDC_PREVIEW_DELETE, LoadText(IDS_PREVIEW_DELETE));
    // Play, Pause and Stop are pictures: their names are their tool tips.
    ::SetDlgItemTextA(m_hWnd, IDC_PREVIEW_PLAY, "");
    ::SetDlgItemTextA(m_hWnd, IDC_PREVIEW_PAUSE, "");
    ::SetDlgItemTextA(m_hWnd, IDC_PREVIEW_STOP, "");
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
    AddToolTips();
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

// Each button shows its face picture stretched over it (the dialog clips its
// children, so nothing of it may show through): normal as drawn, warmer under
// the mouse, greyed when disabled. Play, Pause and Stop are pictures only;
// Save, Delete and the label draw their text over theirs.
void CPreviewDlg::SetUpButtons()
{
    for (int i = 0; i < 6; ++i) {
        CMaskButton& button = *m_buttons[i];
        if (!button.GetSafeHwnd() && !button.SubclassDlgItem(kButtons[i].id, this))
            continue;
        button.SetBitmaps(kButtons[i].bitmap, RGB(160, 160, 160), RGB(255, 255, 255), RGB(255, 240, 200), NULL);
        button.SetStretch(TRUE);
    }
}

// The buttons' names as tool tips (the tips watch the buttons' mouse input
// themselves).
void CPreviewDlg::AddToolTips()
{
    m_tips = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, NULL, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, NULL, NULL, NULL);
    if (!m_tips)
        return;
    const struct {
        UINT id, text;
    } tips[] = {{IDC_PREVIEW_PLAY, IDS_PREVIEW_PLAY}, {IDC_PREVIEW_PAUSE, IDS_PREVIEW_PAUSE},
                {IDC_PREVIEW_STOP, IDS_PREVIEW_STOP}, {IDC_PREVIEW_SAVE, IDS_PREVIEW_SAVE},
                {IDC_PREVIEW_DELETE, IDS_PREVIEW_DELETE}};
    for (const auto& tip : tips) {
        CString text = LoadText(tip.text);
        TOOLINFOA info = {};
        info.cbSize = TTTOOLINFOA_V1_SIZE;
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = m_hWnd;
        info.uId = (UINT_PTR)::GetDlgItem(m_hWnd, tip.id);
        info.lpszText = const_cast<LPSTR>(text.GetString());
        ::SendMessageA(m_tips, TTM_ADDTOOLA, 0, (LPARAM)&info);
    }
}

void CPreviewDlg::BuildSliderBitmaps()
{
    if (!m_slider->GetSafeHwnd())
        return;
    m_slider->m_crKey = kTransparent;
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    m_slider->SetChannelBitmap(LoadSliderBitmap(IDB_PREVIEW_SLIDER_CHANNEL, &face));
    m_slider->SetThumbBitmap(LoadSliderBitmap(IDB_PREVIEW_SLIDER_THUMB));
    m_slider->SetHotThumbBitmap(LoadSliderBitmap(IDB_PREVIEW_SLIDER_THUMB_HOT));
}

void CPreviewDlg::OnSysColorChange()
{
    Default();
    BuildSliderBitmaps();
    SetUpButtons();
    ::InvalidateRect(m_hWnd, NULL, TRUE);
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
    // The slider and the label share what the buttons leave: the label
    // takes up to 170 pixels for its text (140 when the room is short, the
    // slider keeping 50), at least half.
    const int shared = saveX - margin - sliderX;
    int labelW = shared - 50 < 140 ? shared - 50 : 140;
    if (labelW < shared / 2)
        labelW = shared / 2;
    if (shared / 2 > 170)
        labelW = 170;
    if (labelW < 0)
        labelW = 0;
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
    for (const Place& p : places) {
        // The slider is as tall as its groove and thumb bitmaps (it paints
        // nothing else), centred in the row.
        const int h = p.id == IDC_PREVIEW_SLIDER && kSliderHeight < rowH ? kSliderHeight : rowH;
        ::MoveWindow(::GetDlgItem(m_hWnd, p.id), p.x, y + (rowH - h) / 2, p.w > 0 ? p.w : 0, h, TRUE);
    }
    RECT video = {margin, margin, client.right - margin, y - margin};
    ::MoveWindow(::GetDlgItem(m_hWnd, IDC_PREVIEW_VIDEO_AREA), video.left, video.top, video.right - video.left,
                 video.bottom - video.top, FALSE);
    if (m_preview.GetSafeHwnd())
        ::MoveWindow(m_preview.m_hWnd, video.left, video.top, video.right - video.left, video.bottom - video.top,
                     TRUE);
    ::InvalidateRect(m_hWnd, NULL, TRUE);
}
