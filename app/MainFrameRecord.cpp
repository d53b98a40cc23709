// The main window's recording commands, the end of a recording and its save.
#include "app/MainFrame.h"

#include "capture/DesktopUtil.h"
#include "app/PickerWindowList.h"
#include "app/PostSaveOptionsDlg.h"
#include "app/PreviewDlg.h"
#include "XRVDirectShow/TimelinePlayer.h"
#include "app/RecorderApp.h"
#include "capture/DialogRegionPickerWnd.h"
#include "capture/MonitorPickerWnd.h"
#include "capture/RecorderEngine.h"
#include "capture/RecordingFinish.h"
#include "capture/WindowPickerWnd.h"
#include "framework/ui/FileDialog.h"
#include "media/LastRecordingDir.h"
#include "resources/ids_finishing.h"
#include "settings/PathUtil.h"
#include "settings/RecorderPrefs.h"

#include <stdlib.h>
#include <vector>
// Last: its DirectShow headers would rename framework members.
#include "camera/XRVCameraConfig.h"

// The whole screen of a single monitor and a fixed region at its start point
// are recorded at once; a window, a region, a fixed region that follows the
// mouse and one of several monitors are picked first.
BOOL CMainFrame::GetCaptureRect(RECT* area)
{
    switch (m_prefs->m_videoInput) {
        case 0: {   // the whole (virtual) screen
            int monitors = 0;
            int width = 0;
            int height = 0;
            POINT origin = {0, 0};
            RECT* list = GetDesktopExtent(&width, &height, &origin, TRUE, &monitors);
            free(list);
            if (monitors > 1)
                return FALSE;
            ::SetRect(area, origin.x, origin.y, origin.x + width, origin.y + height);
            return TRUE;
        }
        case 3:     // a fixed region where it stands
            if (m_prefs->m_useStartPoint) {
                const RECT& f = m_prefs->m_fixedRect;   // x, y, width, height
                ::SetRect(area, f.left, f.top, f.left + f.right, f.top + f.bottom);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

BOOL CMainFrame::OpenAreaPicker(int inputKind, CRecorderPrefs* prefs, IRegionPageOwner* page,
                                IFixedRegionOwner* dialog, int handBack)
{
    if (m_picker && ::IsWindow(m_picker))
        return FALSE;
    m_picker = NULL;
    if (!prefs)
        prefs = m_prefs.get();
    int input;
    switch (inputKind) {
        case 0: input = prefs->m_videoInput; break;
        case 1: input = m_inputSelection; break;
        case 2:
        case 3: input = 1; break;
        case 4: input = 2; break;
        default: return FALSE;
    }
    CScreenOverlayWnd* picker = NULL;
    switch (input) {
        case 0: {
            int count = 0;
            RECT* list = GetDesktopExtent(NULL, NULL, NULL, TRUE, &count);
            std::vector<RECT> monitors(list, list + (list ? count : 0));
            free(list);
            picker = new CMonitorPickerWnd(prefs, m_hWnd, this, monitors, page, handBack);
            break;
        }
        case 1: {
            const std::vector<PickerWindow> windows = BuildPickerWindowList(m_hWnd);
            if (windows.empty())
                return FALSE;
            picker = new CWindowPickerWnd(prefs, m_hWnd, this, windows, FALSE, page, handBack);
            break;
        }
        case 2:
            if (inputKind == 4 && dialog)
                picker = new CDialogRegionPickerWnd(prefs, this, dialog);
            else if (inputKind == 4 && page)
                picker = new CDialogRegionPickerWnd(prefs, this, page);
            else
                picker = new CRegionPickerWnd(prefs, m_hWnd, this);
            break;
        case 3: {
            if (prefs->m_useStartPoint)
                return FALSE;
            // The fixed picker takes its size from the picked area's right
            // and bottom.
            const RECT& f = prefs->m_fixedRect;   // x, y, width, height
            ::SetRect(&prefs->m_pickedArea, 0, 0, f.right, f.bottom);
            picker = new CWindowPickerWnd(prefs, m_hWnd, this, std::vector<PickerWindow>(), TRUE);
            break;
        }
        default:
            return FALSE;
    }
    if (!picker->CreateOverlay()) {
        delete picker;
        return FALSE;
    }
    m_picker = picker->m_hWnd;
    return TRUE;
}

void CMainFrame::ReleaseChild()
{
    HWND picker = m_picker;
    m_picker = NULL;
    if (picker && ::IsWindow(picker))
        ::DestroyWindow(picker);
}

// A restart of a live engine (its consumer changed the size) keeps the
// output at zoom 1 and does not wait for a record command even when the
// preferences pause on start. A file recording starts at the initial zoom
// level of the preferences.
BOOL CMainFrame::StartEngine(RECT* area, BOOL live, BOOL restart)
{
    m_recordPrefs.reset(new CRecorderPrefs(*m_prefs));
    m_engine.reset(new CRecorderEngine(m_recordPrefs.get(), this, live ? NULL : m_camera.get()));
    // The shown preview shows the picture while recording.
    if (!live && IsCameraPreviewShown())
        m_engine->SetCameraWindow(m_cameraPreview->m_hWnd);
    ApplyScreenDrawEffects();
    if (live)
        m_engine->SetLive(TRUE, restart);
    m_zoomFactor = 1.0f;
    m_recordedBitDepth = 0;
    m_bookmarks.RemoveAll();
    if (!m_engine->PrepareRecording(area)) {
        DeleteEngine();
        SetRecordState(0);
        return FALSE;
    }
    // The engine sizes the output by the initial zoom level and starts its
    // zoom factor from it; the window takes the engine's factor, so that the
    // two agree from the first frame.
    m_zoomFactor = m_engine->GetZoomFactor();
    return TRUE;
}

BOOL CMainFrame::Record()
{
    if (m_finishing || m_stopAsked)
        return FALSE;   // the recording is ending: nothing starts or resumes now
    if (m_engine) {
        m_engine->Record();
        SetRecordState(1);
        return TRUE;
    }
    if (m_prefs->m_output == 1)
        return StartLiveEngine(FALSE);
    if (m_picker && ::IsWindow(m_picker))
        return FALSE;   // the open picker's answer starts the recording
    RECT area;
    if (!GetCaptureRect(&area))
        return OpenAreaPicker(0);   // the engine starts when the area arrives
    return StartEngine(&area);
}

BOOL CMainFrame::Pause()
{
    if (!m_engine || m_engine->IsPaused() || m_stopAsked || m_finishing)
        return FALSE;
    m_engine->Pause();
    SetRecordState(2);
    return TRUE;
}

BOOL CMainFrame::Stop()
{
    if (!m_engine || m_finishing)
        return FALSE;
    m_engine->RequestStop();
    m_stopAsked = TRUE;
    return TRUE;
}

BOOL CMainFrame::Discard()
{
    if (!m_engine)
        return FALSE;
    m_engine->RequestDiscard();
    m_stopAsked = TRUE;
    return TRUE;
}

void CMainFrame::DeleteEngine()
{
    m_engine.reset();
    m_recordPrefs.reset();
    // The recording gave the camera back: a shown preview runs again and is
    // opaque again.
    if (m_camera && IsCameraPreviewShown() && !m_camera->IsPreviewRunning())
        m_camera->StartPreview(m_cameraPreview->m_hWnd);
}

LRESULT CMainFrame::OnRecorderFinished(WPARAM failure, LPARAM)
{
    if (!m_engine)
        return 0;
    if (m_engine->IsLive())
        return OnLiveRecordingFinished(failure);
    // The save step's dialogs pump messages: commands that arrive meanwhile
    // are ignored (IsBusy).
    m_finishing = TRUE;
    if (failure == 0)
        SaveFinishedRecording();
    else if (m_engine->HasFramesWritten())
        KeepRecording();   // finishing failed: what was recorded stays for recovery
    m_finishing = FALSE;
    m_stopAsked = FALSE;
    m_muted = FALSE;
    DeleteEngine();
    m_zoomFactor = 1.0f;
    SetRecordState(0);
    if (m_closeDeferred) {
        m_closeDeferred = FALSE;
        PostMessage(WM_CLOSE);
    }
    return 0;
}

// Hands a recording that wrote frames to the save step; a recording that was
// discarded (or wrote nothing) is deleted with its folder.
void CMainFrame::SaveFinishedRecording()
{
    m_lastSaved.Empty();
    int result = 0;
    if (m_engine->HasFramesWritten()) {
        RecordingTrackInfo info;
        info.outputWidth = m_engine->GetOutputWidth();
        info.outputHeight = m_engine->GetOutputHeight();
        info.outputBitDepth = m_recordedBitDepth;
        if (m_camera)
            m_camera->DescribeTrack(&info);
        CRecordingOutput output(this, *m_recordPrefs, info, m_engine->GetRecordingFiles(), m_engine->GetBaseName(),
                                m_engine->GetSegmentFiles().GetSize() > 1, m_bookmarks);
        result = output.SaveRecordingOutput();
        if (result == kOutputSaved)
            m_lastSaved = output.GetSavedName();
    }
    if (result == kOutputDiscarded) {
        CStringArray files;
        m_engine->GetAllRecordingFiles(&files);
        DeleteRecordingFiles(m_engine->GetRecordingFolder(), files);
        SetLastRecordingDir("");
    } else if (result == kOutputKept) {
        KeepRecording();
    }
}

// A recording that was not saved stays where it is: its files, its recovery
// note and LastRecDir outlive the engine, and the user learns where it lies.
void CMainFrame::KeepRecording()
{
    m_engine->KeepRecording();
    CString folder = m_engine->GetRecordingFolder();
    if (folder.IsEmpty())
        return;
    AddTrailingBackslash(folder);
    if (::GetFileAttributesA(folder + "RecInfo.xml") != INVALID_FILE_ATTRIBUTES)
        ::SetLastRecordingDir(m_engine->GetRecordingFolder());
    CString text;
    text.Format(IDS_RECORDING_KEPT, folder.GetString());
    AfxMessageBox(text, MB_ICONINFORMATION);
}

// Plays the screen file in the preview dialog; 0 when the user discards it.
// The facade, its action thread and its graph are gone before this returns,
// so that the files can be moved or deleted. A recording the preview cannot
// open is kept.
int CMainFrame::ShowPreviewDialog(LPCSTR screenFile, LPCSTR /*cameraFile*/)
{
    if (!screenFile || !*screenFile)
        return 1;
    // The preview shows one recording at its own size: the plain video
    // renderer does, wherever GDI works; the mixing renderers need Direct3D,
    // which Wine under a virtual X screen does not start (they stay black).
    const BOOL forcedBefore = XRVDSTimeline::s_bForcePlainRenderer;
    XRVDSTimeline::s_bForcePlainRenderer = TRUE;
    CTimelinePlayer player;
    XRVDSTimeline::s_bForcePlainRenderer = forcedBefore;
    if (FAILED(player.AddMediaFile(0, screenFile)) || FAILED(player.BuildPreviewGraph()))
        return 1;
    int keep = 1;
    {
        CPreviewDlg dialog(this);
        dialog.SetFacade(&player);
        dialog.DoModal();
        keep = dialog.GetKeep();
    }
    player.KillActionThread(TRUE);
    return keep;
}

BOOL CMainFrame::AskOutputFileName(CString& name)
{
    const BOOL package = m_recordPrefs && m_recordPrefs->m_createSkoRecFile && m_recordPrefs->m_fileType == 0;
    const char* extension = package ? "skorec" : "avi";
    const char* filter = package ? "Skorvale (*.skorec)|*.skorec||" : "AVI (*.avi)|*.avi||";
    CFileDialog dialog(FALSE, extension, name, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, filter, this);
    if (dialog.DoModal() != IDOK)
        return FALSE;
    name = dialog.GetPathName();
    return TRUE;
}

BOOL CMainFrame::MakeNumberedFileName(LPCSTR folder, LPCSTR prefix, LPCSTR extension, CString& name)
{
    for (int n = 1; n < 100000; ++n) {
        CString candidate;
        candidate.Format("%s%s%d%s", folder, prefix, n, extension);
        if (::GetFileAttributesA(candidate) == INVALID_FILE_ATTRIBUTES) {
            name = candidate;
            return TRUE;
        }
    }
    return FALSE;
}

BOOL CMainFrame::IsCameraPreviewShown()
{
    return m_cameraPreview && m_cameraPreview->m_hWnd && ::IsWindowVisible(m_cameraPreview->m_hWnd);
}

// Shows the camera preview when it is hidden, hides it when it is shown.
// While a recording holds the camera the picture comes through its graph;
// the preview graph itself starts only when the camera is free.
void CMainFrame::ShowCameraPreview(BOOL /*allowTips*/)
{
    if (!m_camera)
        return;
    if (IsCameraPreviewShown()) {
        m_camera->StopPreview();
        m_cameraPreview->ShowWindow(SW_HIDE);
        return;
    }
    if (!m_cameraPreview) {
        m_cameraPreview.reset(new CCameraPreviewDlg(this));
        if (!m_cameraPreview->Create(IDD_CAMERA_PREVIEW, NULL)) {
            m_cameraPreview.reset();
            return;
        }
    }
    int width = 320, height = 240;
    if (m_camera->GetVideoSize(&width, &height) && height < 0)
        height = -height;
    m_cameraPreview->FitClientTo(width, height);
    const RECT picture = {0, 0, width, height};
    m_camera->SetPreviewRect(picture);
    m_cameraPreview->ShowWindow(SW_SHOWNOACTIVATE);
    if (!m_engine) {
        m_camera->EnsureDevice(TRUE);
        if (!m_camera->StartPreview(m_cameraPreview->m_hWnd)) {
            CString text;
            text.LoadString(IDS_CAMERA_REOPEN_FAILED);
            m_cameraPreview->SetStatusText(text);
        }
    }
}

void CMainFrame::OnCameraPreviewCancel()
{
    if (IsCameraPreviewShown())
        ShowCameraPreview(FALSE);
}

void CMainFrame::OnCameraPreviewCommand()
{
    ShowCameraPreview(TRUE);
}

void CMainFrame::OnUpdateCameraPreview(CCmdUI* pCmdUI)
{
    pCmdUI->SetCheck(IsCameraPreviewShown());
}

void CMainFrame::PrepareForPreview()
{
    SetRecordState(0);
}

// The choice is kept in the preferences (LastRecSaveChoice) for next time;
// Cancel does nothing (2).
int CMainFrame::RunPostSaveOptions()
{
    CPostSaveOptionsDlg dialog(m_prefs.get(), this);
    if (dialog.DoModal() != IDOK)
        return 2;
    return dialog.GetChoice();
}

void CMainFrame::LaunchEditor(LPCSTR /*file*/, BOOL /*package*/, int /*choice*/)
{
    // The editor program is not part of this build.
}

BOOL CMainFrame::ShouldRestoreRecorder()
{
    return AfxGetApp()->GetProfileInt(CRecorderPrefs::kSection, "RestoreRecorder", 0) != 0;
}

void CMainFrame::RestoreMainWindow()
{
    ShowWindow(IsIconic() ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow();
}

void CMainFrame::AddToOutputMru(LPCSTR name)
{
    m_prefs->m_saveAsMru.Add(name);
}

BOOL CMainFrame::SaveRecordingAs(LPCSTR destination, int part)
{
    if (!m_engine)
        return FALSE;
    const CStringArray& files = m_engine->GetRecordingFiles();
    const CString source = part >= 0 && part < files.GetSize() ? files[part] : m_engine->GetBaseName();
    return SaveRecordingFileAs(source, destination);
}

void CMainFrame::SetLastRecordingDir(LPCSTR folder)
{
    ::SetLastRecordingDir(folder);
}
