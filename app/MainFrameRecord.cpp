// The main window's recording commands, the end of a recording and its save.
#include "app/MainFrame.h"

#include "app/RecorderApp.h"
#include "capture/RecorderEngine.h"
#include "capture/RecordingFinish.h"
#include "framework/ui/FileDialog.h"
#include "media/LastRecordingDir.h"
#include "settings/RecorderPrefs.h"

BOOL CMainFrame::GetCaptureRect(RECT* area)
{
    switch (m_prefs->m_videoInput) {
        case 0:   // the whole (virtual) screen
            area->left = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
            area->top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
            area->right = area->left + ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
            area->bottom = area->top + ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
            if (area->right <= area->left) {
                ::SetRect(area, 0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
            }
            return TRUE;
        case 3:   // a fixed region where it stands
            if (m_prefs->m_useStartPoint) {
                const RECT& f = m_prefs->m_fixedRect;   // x, y, width, height
                ::SetRect(area, f.left, f.top, f.left + f.right, f.top + f.bottom);
                return TRUE;
            }
            return FALSE;
        default:  // window, region, a fixed region that follows the mouse: a picker
            return FALSE;
    }
}

BOOL CMainFrame::OpenAreaPicker()
{
    if (m_picker)
        return FALSE;
    if (m_prefs->m_videoInput != 2)
        return FALSE;   // the monitor and window pickers are not built yet
    m_picked = PickedArea();
    CRegionPickerWnd* picker = new CRegionPickerWnd(m_prefs.get(), &m_picked, m_hWnd);
    if (!picker->CreateOverlay()) {
        delete picker;
        return FALSE;
    }
    m_picker = picker;
    return TRUE;
}

BOOL CMainFrame::StartEngine(RECT* area)
{
    m_recordPrefs.reset(new CRecorderPrefs(*m_prefs));
    m_engine.reset(new CRecorderEngine(m_recordPrefs.get(), this, NULL));
    const int level = m_prefs->m_zoomInitialLevel;
    m_zoomFactor = level > 0 ? 100.0f / (float)level : 1.0f;
    if (m_zoomFactor != 1.0f)
        m_engine->SetZoomFactor(m_zoomFactor);
    m_recordedBitDepth = 0;
    m_bookmarks.RemoveAll();
    if (!m_engine->PrepareRecording(area)) {
        DeleteEngine();
        SetRecordState(0);
        return FALSE;
    }
    return TRUE;
}

BOOL CMainFrame::Record()
{
    if (m_engine) {
        m_engine->Record();
        SetRecordState(1);
        return TRUE;
    }
    RECT area;
    if (!GetCaptureRect(&area))
        return OpenAreaPicker();   // the engine starts when the area arrives
    return StartEngine(&area);
}

BOOL CMainFrame::Pause()
{
    if (!m_engine || m_engine->IsPaused())
        return FALSE;
    m_engine->Pause();
    SetRecordState(2);
    return TRUE;
}

BOOL CMainFrame::Stop()
{
    if (!m_engine)
        return FALSE;
    m_engine->RequestStop();
    return TRUE;
}

BOOL CMainFrame::Discard()
{
    if (!m_engine)
        return FALSE;
    m_engine->RequestDiscard();
    return TRUE;
}

void CMainFrame::DeleteEngine()
{
    m_engine.reset();
    m_recordPrefs.reset();
}

LRESULT CMainFrame::OnRecorderFinished(WPARAM failure, LPARAM)
{
    if (!m_engine)
        return 0;
    // Live mode (the restart of a live engine) comes with the live output.
    if (failure == 0)
        SaveFinishedRecording();
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
        CRecordingOutput output(this, *m_recordPrefs, info, m_engine->GetRecordingFiles(), m_engine->GetBaseName(),
                                m_engine->GetSegmentFiles().GetSize() > 1, m_bookmarks);
        result = output.SaveRecordingOutput();
        if (result == kOutputSaved)
            m_lastSaved = output.GetSavedName();
    }
    if (result == kOutputDiscarded) {
        DeleteRecordingFiles(m_engine->GetRecordingFolder(), m_engine->GetRecordingFiles());
        SetLastRecordingDir("");
    }
}

int CMainFrame::ShowPreviewDialog(LPCSTR /*screenFile*/, LPCSTR /*cameraFile*/)
{
    // The post-recording preview dialog is not built yet: keep the recording.
    return 1;
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

void CMainFrame::ShowCameraPreview(BOOL /*allowTips*/)
{
    // The camera preview window is not built yet.
}

void CMainFrame::PrepareForPreview()
{
    SetRecordState(0);
}

int CMainFrame::RunPostSaveOptions()
{
    // The post-save options dialog is not built yet: do nothing.
    return 2;
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
