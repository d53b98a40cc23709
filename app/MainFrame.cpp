#include "app/MainFrame.h"
#include "overlays/MediaPlayerWnd.h"

#include "catalogue/MyCatWnd.h"
#include "resources/ids_catwin.h"

#include "app/AppMessages.h"
#include "app/RecorderApp.h"
#include "capture/AreaPicker.h"
#include "capture/RecorderEngine.h"
#include "capture/ScreenDrawWnd.h"
#include "capture/VideoFocusWnd.h"
#include "controls/SkoMenuBar.h"
#include "controls/TaskbarIcon.h"
#include "controls/ToolBarEx.h"
#include "framework/ui/Controls.h"
#include "framework/ui/FileDialog.h"
#include "recovery/Recovery.h"
#include "resources/ids_app.h"
#include "resources/ids_screendraw.h"
#include "settings/RecorderPrefs.h"
#include "resources/ids_settings.h"
// Last: its DirectShow headers would rename framework members.
#include "camera/XRVCameraConfig.h"

BEGIN_MESSAGE_MAP(CMainFrame, CFrameWnd)
    ON_WM_CREATE()
    ON_WM_CLOSE()
    ON_WM_DESTROY()
    ON_MESSAGE(WM_MAIN_FOCUS_FRAME, OnFocusFrame)
    ON_MESSAGE(WM_APP_RECORD, OnAppRecord)
    ON_MESSAGE(WM_APP_PAUSE, OnAppPause)
    ON_MESSAGE(WM_APP_STOP, OnAppStop)
    ON_MESSAGE(WM_APP_EXIT, OnAppExit)
    ON_MESSAGE(WM_APP_WIZARD, OnAppWizard)
    ON_MESSAGE(WM_RECORDER_FINISHED, OnRecorderFinished)
    ON_MESSAGE(WM_RECORDER_STATE, OnRecorderState)
    ON_MESSAGE(WM_MAIN_RECORD_STATE, OnMainRecordState)
    ON_MESSAGE(WM_RECORDER_SELF_PAUSED, OnRecorderSelfPaused)
    ON_MESSAGE(WM_RECORDER_INDICATOR, OnRecorderIndicator)
    ON_MESSAGE(WM_AREA_PICKED, OnAreaChosen)
    ON_MESSAGE(WM_AREA_PICK_CANCELLED, OnAreaCancelled)
    ON_MESSAGE(WM_END_PROGRESS_DIALOG, OnEndProgressDialog)
    ON_MESSAGE(WM_HOTKEY, OnHotKey)
    ON_MESSAGE(WM_TASKBAR_ICON, OnTaskbarIcon)
    ON_COMMAND(ID_MAIN_RECORD_PAUSE, OnRecordPause)
    ON_COMMAND(ID_MAIN_STOP, OnStopCommand)
    ON_COMMAND(ID_MAIN_DELETE, OnDeleteCommand)
    ON_COMMAND(ID_MAIN_SHOW_WINDOW, OnShowWindowCommand)
    ON_COMMAND(ID_MAIN_CAMERA_PREVIEW, OnCameraPreviewCommand)
    ON_UPDATE_COMMAND_UI(ID_MAIN_CAMERA_PREVIEW, OnUpdateCameraPreview)
    ON_UPDATE_COMMAND_UI(ID_MAIN_STOP, OnUpdateWhileRecording)
    ON_UPDATE_COMMAND_UI(ID_MAIN_DELETE, OnUpdateWhileRecording)
    ON_COMMAND(ID_APP_EXIT, OnExitCommand)
    ON_WM_MENUSELECT()
    ON_UPDATE_COMMAND_UI(ID_APP_EXIT, OnUpdateExit)
    ON_COMMAND(ID_HELP_INDEX, OnHelpIndex)
    ON_COMMAND(ID_MAIN_OPT_WATERMARK, OnOptionsWatermark)
    ON_COMMAND(ID_CAT_HIDE, OnToggleCatalogue)
    ON_UPDATE_COMMAND_UI(ID_CAT_HIDE, OnUpdateToggleCatalogue)
    ON_MESSAGE(WM_CAT_HIDE, OnHideCatalogue)
    ON_COMMAND(ID_CAT_HOTKEYS, OnNoteHotKeys)
    ON_COMMAND(ID_MAIN_OPT_STAMP_ORDER, OnOptionsStampOrder)
    ON_COMMAND(ID_MAIN_OPT_TIME_DATE, OnOptionsTimeDate)
    ON_COMMAND(ID_MAIN_SCREEN_DRAW, OnScreenDrawToggle)
    ON_COMMAND_RANGE(ID_DRAW_FIRST, ID_DRAW_LAST, OnScreenDrawCommand)
    ON_UPDATE_COMMAND_UI_RANGE(ID_DRAW_FIRST, ID_DRAW_LAST, OnUpdateScreenDrawCommand)
END_MESSAGE_MAP()

CMainFrame::CMainFrame()
    : m_recordState(0), m_recordedBitDepth(0), m_zoomFactor(1.0f), m_closeDeferred(FALSE), m_picker(NULL),
      m_inputSelection(-1), m_focusArea(), m_focusWidth(0), m_hotKeys(0), m_stopAsked(FALSE), m_finishing(FALSE),
      m_muted(FALSE), m_screenDraw(NULL), m_drawSnapshot(NULL), m_drawPalette(NULL)
{
}

CMainFrame::~CMainFrame()
{
    DeleteEngine();
}

IMainWindowStart* CMainFrame::Make(LPCSTR className, LPCSTR title)
{
    CMainFrame* frame = new CMainFrame;
    frame->m_className = className;
    // The title follows the recording state from the first moment
    // (SetRecordState in OnCreate).
    (void)title;
    if (!frame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW, NULL)) {
        // A window that was never made is not deleted by PostNcDestroy.
        if (!frame->m_hWnd)
            delete frame;
        return NULL;
    }
    return frame;
}

BOOL CMainFrame::PreCreateWindow(CREATESTRUCT& cs)
{
    if (!m_className.IsEmpty())
        cs.lpszClass = m_className;
    // Menu 2 shows in the menu bar only: the frame keeps no menu of its own.
    cs.hMenu = NULL;
    return CFrameWnd::PreCreateWindow(cs);
}

int CMainFrame::OnCreate(LPCREATESTRUCT /*cs*/)
{
    // The preferences live as long as the window.
    CRecorderApp* app = static_cast<CRecorderApp*>(AfxGetApp());
    m_prefs.reset(new CRecorderPrefs(app));
    m_prefs->Load();
    CreateCamera();
    // Tool bars, status bar, menu bar, tray icon, hot keys, the foreground
    // timer and the recovery of an interrupted recording join here as they
    // are built.
    // The outline of the window under the cursor (the engine's own frame
    // surrounds the recorded area): hidden until the first move.
    m_focusFrame.reset(new CVideoFocusWnd(NULL, m_prefs->m_highlightObjectColor));
    const RECT none = {0, 0, 1, 1};
    m_focusFrame->CreateFrame(none, ::LoadCursor(NULL, IDC_ARROW));
    CreateBars();
    RegisterHotKeys();
    m_tray.reset(new COXTaskbarIcon);
    m_tray->Create(1, this);
    ShowIndicator(TRUE);
    SetRecordState(0);
    // A recording cut short last time (the program killed, the machine
    // stopped) is offered for recovery before anything else; the window is
    // still hidden, and only one recorder runs (the start-up made sure).
    // Only the recorder's own main window (of the recorder's class) does
    // this, not a frame made under another class.
    char className[128] = "";
    ::GetClassNameA(m_hWnd, className, sizeof(className));
    if (lstrcmpiA(className, RECORDER_CLASS_NAME) == 0) {
        RecoveryInfo recovery;
        MessageBoxRecoveryUi ui;
        CString recovered;
        CheckAndRecoverLastRecording(recovery, recovered, TRUE, ui);
    }
    return 0;
}

// The camera configuration with the program's registry strings, its stored
// settings and its two Windows Media profiles.
void CMainFrame::CreateCamera()
{
    CString section;
    section.LoadString(IDS_PROFILE_NAME);
    m_camera.reset(new XRVCameraConfig("3.0", "Software\\%s\\%s\\%s", section));
    if (m_camera->GetSettings())
        m_camera->GetSettings()->Load();
    m_camera->SetProfileNames("Skorvale Studio Camera Video (CBR)", "Skorvale Studio Camera Video and Audio (CBR)",
                              XRVCameraConfig::GetProfileFolder());
}

void CMainFrame::RestorePlacement()
{
    const RECT& r = m_prefs->m_recorderWinRect;
    if (r.right > r.left && r.bottom > r.top) {
        WINDOWPLACEMENT wp = {};
        wp.length = sizeof(wp);
        GetWindowPlacement(&wp);
        wp.rcNormalPosition = r;
        wp.showCmd = SW_SHOW;
        SetWindowPlacement(&wp);
    } else {
        ShowWindow(SW_SHOW);
    }
    UpdateWindow();
}

void CMainFrame::RunRecordWizard()
{
    // The record wizard is not built yet.
}

void CMainFrame::OnClose()
{
    // A running recording is never cut off by closing the window.
    if (m_engine)
        return;
    ReleaseChild();
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    if (GetWindowPlacement(&wp))
        m_prefs->m_recorderWinRect = wp.rcNormalPosition;
    StoreCatalogueOnClose();
    m_prefs->Save();
    if (m_camera && m_camera->GetSettings())
        m_camera->GetSettings()->Save();
    CFrameWnd::OnClose();
}

void CMainFrame::SetRecordState(int state)
{
    // The engine's capture thread reports the start of a recording here.
    // Setting the caption from another thread would wait for this window's
    // thread, which may itself be waiting for the capture thread: the state
    // is kept and the texts are brought up to date on this window's thread.
    if (m_hWnd != NULL && ::GetWindowThreadProcessId(m_hWnd, NULL) != ::GetCurrentThreadId()) {
        ::InterlockedExchange((LONG*)&m_recordState, state);
        ::PostMessage(m_hWnd, WM_MAIN_RECORD_STATE, (WPARAM)state, 0);
        return;
    }
    m_recordState = state;
    UINT id = IDS_RECORD_STATE_IDLE;
    if (state == 1)
        id = m_engine && m_engine->IsPaused() ? IDS_RECORD_STATE_PAUSED : IDS_RECORD_STATE_RECORDING;
    else if (state == 2)
        id = IDS_RECORD_STATE_PAUSED;
    CString text;
    text.LoadString(id);
    SetWindowText(CString(AfxGetAppName()) + " - " + text);
    SetMessageText(text);
    if (state == 0)
        ShowIndicator(TRUE);
    UpdateTrayIcon(text);
}

// The engine calls these two from its capture thread while the window's own
// thread may be waiting for that thread to end: both only post to the window,
// which moves or shows the frame when it next runs. Posted messages keep their
// order, so a hide after a move leaves the frame hidden.
void CMainFrame::ShowFocusFrame(int nCmdShow)
{
    if (m_focusFrame && m_focusFrame->GetSafeHwnd() && m_hWnd)
        ::PostMessage(m_hWnd, WM_MAIN_FOCUS_FRAME, (WPARAM)nCmdShow, 0);
}

BOOL CMainFrame::MoveFocusFrame(const RECT* area, int width)
{
    if (area == NULL || area->right <= area->left || area->bottom <= area->top || !m_hWnd || !m_focusFrame ||
        !m_focusFrame->GetSafeHwnd())
        return FALSE;
    {
        CSingleLock lock(&m_focusLock, TRUE);
        m_focusArea = *area;
        m_focusWidth = width;
    }
    return ::PostMessage(m_hWnd, WM_MAIN_FOCUS_FRAME, (WPARAM)-1, 0);
}

// wParam: a show command, or -1 to place the frame round the last area given
// to MoveFocusFrame.
LRESULT CMainFrame::OnFocusFrame(WPARAM command, LPARAM)
{
    if (!m_focusFrame || !m_focusFrame->GetSafeHwnd())
        return 0;
    if ((int)command != -1) {
        m_focusFrame->ShowWindow((int)command);
        return 0;
    }
    RECT area;
    int width;
    {
        CSingleLock lock(&m_focusLock, TRUE);
        area = m_focusArea;
        width = m_focusWidth;
    }
    // The outline's width and colour are the preferences' window highlight;
    // a stored width out of reason gives the frame's own default.
    if (width <= 0)
        width = m_prefs->m_highlightObjectWidth;
    if (width > 100)
        width = 0;
    return m_focusFrame->PlaceAround(area, width, m_prefs->m_solidRect);
}

void CMainFrame::OnDestroy()
{
    EndScreenDraw();
    UnregisterHotKeys();
    m_tray.reset();   // removes the icon
    m_menuBar.reset();
    m_toolBar.reset();
    m_statusBar.reset();
    if (m_focusFrame && m_focusFrame->GetSafeHwnd())
        m_focusFrame->DestroyWindow();
    CMediaPlayerWnd::StopPollThread();
    CFrameWnd::OnDestroy();
}

LRESULT CMainFrame::OnAppRecord(WPARAM, LPARAM)
{
    return Record();
}

LRESULT CMainFrame::OnAppPause(WPARAM, LPARAM)
{
    return Pause();
}

LRESULT CMainFrame::OnAppStop(WPARAM, LPARAM)
{
    return Stop();
}

LRESULT CMainFrame::OnAppExit(WPARAM, LPARAM)
{
    if (m_engine) {
        m_closeDeferred = TRUE;
        Stop();
    } else {
        PostMessage(WM_CLOSE);
    }
    return 0;
}

LRESULT CMainFrame::OnAppWizard(WPARAM, LPARAM)
{
    RunRecordWizard();
    return 0;
}

LRESULT CMainFrame::OnRecorderState(WPARAM /*began*/, LPARAM)
{
    SetRecordState(m_engine ? (m_engine->IsPaused() ? 2 : 1) : 0);
    return 0;
}

LRESULT CMainFrame::OnMainRecordState(WPARAM state, LPARAM)
{
    // A later report on this thread wins over one posted from another.
    if ((int)state == m_recordState)
        SetRecordState((int)state);
    return 0;
}

LRESULT CMainFrame::OnRecorderSelfPaused(WPARAM, LPARAM)
{
    // Shown again only when a preference asks for it and the window is not
    // in the tray (the tray icon comes later).
    SetRecordState(1);
    return 0;
}

// The engine blinks this while it records and sets it on pause.
LRESULT CMainFrame::OnRecorderIndicator(WPARAM paused, LPARAM)
{
    // A report that comes after the recording ended changes nothing.
    if (m_engine)
        ShowIndicator(paused != 0);
    return 0;
}

// The chosen area, window and start point stand in the preferences; the
// recording's copy of them takes them along.
LRESULT CMainFrame::OnAreaChosen(WPARAM, LPARAM)
{
    m_picker = NULL;
    if (m_engine)
        return 0;
    RECT area = m_prefs->m_pickedArea;
    StartEngine(&area);
    return 0;
}

LRESULT CMainFrame::OnAreaCancelled(WPARAM, LPARAM)
{
    m_picker = NULL;
    SetRecordState(0);
    return 0;
}

LRESULT CMainFrame::OnEndProgressDialog(WPARAM, LPARAM)
{
    HWND popup = ::GetLastActivePopup(m_hWnd);
    if (popup && popup != m_hWnd)
        ::EndDialog(popup, IDOK);
    return 0;
}
