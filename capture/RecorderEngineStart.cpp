// The start of a recording: sizes, names, the live header, the focus frame
// and the threads (UI thread), and the steps the capture thread runs before
// its first frame.
#include "capture/RecorderEngine.h"

#include "framework/WinApp.h"
#include "framework/WinThread.h"
#include "capture/CameraAudioSink.h"
#include "capture/CameraRecorder.h"
#include "capture/CreateAviDlg.h"
#include "capture/DesktopUtil.h"
#include "media/WaveIn.h"
#include "capture/LiveOutputHeader.h"
#include "capture/RecorderWindow.h"
#include "capture/VideoFocusWnd.h"
#include "resources/ids_capture.h"
#include "resources/ids_media.h"
#include "settings/FileUtil.h"
#include "settings/PathUtil.h"
#include "settings/RecorderPrefs.h"

#include <mmreg.h>
#include <msacm.h>
#include <vfw.h>

void CRecorderEngine::StartRecording(HWND window, BOOL clientArea)
{
    if (!::IsWindow(window))
        return;
    RECT area;
    if (clientArea) {
        ::GetClientRect(window, &area);
        ::MapWindowPoints(window, NULL, (POINT*)&area, 2);
    } else {
        ::GetWindowRect(window, &area);
    }
    PrepareRecording(&area);
}

// Settles the sizes and the names, creates the focus frame and the progress
// dialog and starts the threads. FALSE when nothing was started; the caller
// then deletes the engine.
BOOL CRecorderEngine::PrepareRecording(RECT* areaIn)
{
    RECT area = areaIn ? *areaIn : RECT{0, 0, 0, 0};
    if (!m_live) {
        DWORD fourcc = m_prefs->m_compressorFourCC ? m_prefs->m_compressorFourCC : kFourccXrvc;
        if (fourcc == kFourccDib) {
            m_codecName = "DIB";
            m_codecDescription.LoadString(IDS_COMPRESSOR_NONE);
        } else {
            HIC hic = ::ICOpen(ICTYPE_VIDEO, fourcc, ICMODE_COMPRESS);
            if (hic) {
                ICINFO info = {};
                info.dwSize = sizeof(info);
                if (::ICGetInfo(hic, &info, sizeof(info))) {
                    m_codecName = CString(info.szName);
                    m_codecDescription = CString(info.szDescription);
                }
                ::ICClose(hic);
            }
        }
    } else {
        OpenLiveOutput(&area);
    }

    POINT origin = {0, 0};
    GetDesktopExtent(&m_desktopWidth, &m_desktopHeight, &origin, FALSE);
    m_desktopLeft = origin.x;
    m_desktopTop = origin.y;
    if (area.left < m_desktopLeft)
        area.left = m_desktopLeft;
    if (area.top < m_desktopTop)
        area.top = m_desktopTop;
    if (area.right > m_desktopLeft + m_desktopWidth)
        area.right = m_desktopLeft + m_desktopWidth;
    if (area.bottom > m_desktopTop + m_desktopHeight)
        area.bottom = m_desktopTop + m_desktopHeight;
    int width = area.right - area.left;
    int height = area.bottom - area.top;
    const BOOL round = !m_live && m_prefs->m_roundFrameSize;
    if (round && width > 0 && height > 0) {
        width = RoundFrameDimension(width);
        height = RoundFrameDimension(height);
    }
    if (width < 2 || height < 2) {
        AfxMessageBox(IDS_AREA_TOO_SMALL, MB_ICONEXCLAMATION);
        return FALSE;
    }
    const int zoomLevel = m_live ? 100 : m_prefs->m_zoomInitialLevel;
    OutputSizeForZoomLevel(width, height, zoomLevel, round, &m_outputWidth, &m_outputHeight);
    // The area is the output seen through the initial zoom level: the zoom
    // factor (area to output) starts as 100 / level, and a toggle returns
    // to this area with the same factor.
    if (zoomLevel > 0 && zoomLevel != 100 && (m_outputWidth != width || m_outputHeight != height))
        m_zoomFactor = m_previousZoomFactor = 100.0f / (float)zoomLevel;
    {
        CSingleLock lock(&m_areaLock, TRUE);
        m_requested = CaptureArea{area.left, area.top, width, height};
        m_applied = m_requested;
        m_previousArea = m_requested;
        m_zoomBase = m_requested;
    }

    CString unique;
    if (!CreateUniqueFileName(m_prefs->m_tempDir, "SkoCapture", ".avi", unique, FALSE))
        return FALSE;
    ::DeleteFileA(unique);
    CString folder;
    CString fileName;
    SplitPath(unique, &folder, &fileName);
    SplitFileExtension(fileName, &m_name, &m_extension);
    m_extension.TrimLeft('.');
    if (m_extension.IsEmpty())
        m_extension = "avi";
    AddTrailingBackslash(folder);
    m_folder = folder + m_name + "\\";
    if (!CheckOutputFolder(m_folder, NULL, TRUE)) {
        m_folder.Empty();
        return FALSE;
    }
    m_baseName = m_folder + m_name + "." + m_extension;

    CreateFocusFrame();
    HWND owner = m_mainWindow ? m_mainWindow->GetRecorderHwnd() : NULL;
    m_createAviDlg = new CCreateAviDlg(owner ? CWnd::FromHandle(owner) : NULL);
    if (!m_createAviDlg->Create(CCreateAviDlg::IDD, owner ? CWnd::FromHandle(owner) : NULL)) {
        delete m_createAviDlg;
        m_createAviDlg = NULL;
    }

    if (IsDisplayAccelOff())
        m_displayAccel.DisableAcceleration();

    // The threads are started suspended and kept, so that the end of the
    // recording can wait for them and no thread object outlives its thread
    // unseen; a thread that cannot start stops the others and reports.
    if (m_prefs->m_useGrabberThread) {
        m_grabberMode = TRUE;
        m_grabberThread = AfxBeginThread(GrabberThreadProc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
        if (!m_grabberThread)
            return AbortStart();
        m_grabberThread->m_bAutoDelete = FALSE;
        m_grabberThread->ResumeThread();
    }
    m_monitorThread = AfxBeginThread(MonitorThreadProc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (!m_monitorThread)
        return AbortStart();
    m_monitorThread->m_bAutoDelete = FALSE;
    m_monitorThread->ResumeThread();
    m_captureThread = AfxBeginThread(CaptureThreadProc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (!m_captureThread)
        return AbortStart();
    m_captureThread->m_bAutoDelete = FALSE;
    m_captureThread->ResumeThread();
    return TRUE;
}

// A thread could not be started: the ones already running are stopped and
// waited for, the acceleration switch is put back, and the start fails, so
// that the user interface never stays in "recording".
BOOL CRecorderEngine::AbortStart()
{
    ::InterlockedExchange(&m_stopRequest, 1);
    ::InterlockedExchange(&m_grabberStop, 1);
    if (m_grabRequest)
        ::SetEvent(m_grabRequest);
    CWinThread* threads[] = {m_grabberThread, m_monitorThread};
    for (CWinThread* thread : threads) {
        if (thread) {
            ::WaitForSingleObject(thread->m_hThread, 5000);
        }
    }
    if (IsDisplayAccelOff())
        m_displayAccel.RestoreAcceleration();
    AfxMessageBox(IDS_THREAD_START_FAILED, MB_ICONEXCLAMATION);
    return FALSE;
}

// Capture thread, after the first grab and before the output opens.
BOOL CRecorderEngine::BeginCapture(int bitCount, int* width, int* height, int* left, int* top)
{
    if (!m_live) {
        m_bitCount = (WORD)bitCount;
        m_rate.Assign(m_prefs->m_captureRate);
    } else {
        m_bitCount = 16;
        if (m_liveHeader && m_liveHeader->headerValid)
            m_bitCount = m_liveHeader->bitCount;
        m_rate.Assign(m_prefs->m_liveRate);
    }
    m_playbackRate.Assign(m_prefs->m_playbackRate);

    if (!m_live && !m_prefs->m_timeLapse) {
        if (!m_prefs->m_recordAudio && !AudioScriptOn()) {
            if (m_prefs->m_recordClickAudio && !m_prefs->m_muteAudio)
                LoadClickSounds();
            else if (m_prefs->m_recordKeyAudio && !m_prefs->m_muteAudio)
                LoadKeyboardSound();
        } else if (!m_prefs->m_muteAudio || AudioScriptOn()) {
            if (!StartAudioCapture()) {
                m_failure = 1;
                return FALSE;
            }
        }
    }

    if (m_mainWindow)
        m_mainWindow->SetRecordState(1);

    if (!m_liveRestart && m_prefs->m_pauseOnStart) {
        if (::WaitForSingleObject(m_recordEvent, INFINITE) == WAIT_FAILED) {
            Fail(IDS_WAIT_EVENT_FAILED);
            return FALSE;
        }
        const LONG command = GetCommand();
        if (command == kCommandStop || command == kCommandDiscard)
            return FALSE;
    }

    ::InterlockedExchange(&m_paused, 0);
    // A stop or discard given while the recording started has already set
    // the pause; clearing it would hide the command from the frame loop,
    // which would then record on. Seen after the clear, it is kept.
    if (::InterlockedCompareExchange(&m_stopRequest, 0, 0))
        ::InterlockedExchange(&m_paused, 1);
    PostToMain(WM_RECORDER_STATE, 1);
    if (PreferencesHideFrame() && m_focusFrame && m_focusFrame->GetSafeHwnd())
        ::ShowWindowAsync(m_focusFrame->GetSafeHwnd(), SW_HIDE);

    CSingleLock lock(&m_areaLock, TRUE);
    *width = m_requested.width;
    *height = m_requested.height;
    *left = m_requested.left;
    *top = m_requested.top;
    m_applied = m_requested;
    return TRUE;
}

// Prepares the camera graph of this recording (built and paused; the frame
// loop runs it). With sound, the camera file takes it through the push
// source, fed by this engine's wave recorder. A camera that cannot start is
// dropped from this recording's preferences: the sound then goes to its own
// file as without a camera. The camera file is listed only once started.
void CRecorderEngine::StartCameraCapture()
{
    if (!m_camera || m_live)
        return;
    const BOOL withAudio = m_prefs->m_recordAudio;
    const CString file = m_folder + m_name + (m_camera->UsesDefaultCodec() ? CString("_Camera.wmv")
                                                                          : "_Camera." + m_extension);
    m_camera->SetCodecFlag(withAudio);
    m_camera->SetPushSourceAudio(TRUE);
    m_camera->SetOutputName(file);
    if (withAudio) {
        WAVEFORMATEX format;
        if (AudioCaptureFormat(m_prefs->GetAudioFormat(), &format))
            m_camera->SetAudioFormat(&format);
    }
    m_camera->StopPreview();
    // The shown preview window gets the picture through the graph's tee.
    if (!m_camera->StartCapture(FALSE, 5000, TRUE, m_cameraWindow)) {
        m_camera->StopCapture(FALSE, 5000);
        m_prefs->m_recordCamera = FALSE;
        ::DeleteFileA(file);
        ShowCameraFailure();
        return;
    }
    m_cameraRunning = TRUE;
    m_cameraFile = file;
    m_recordingFiles.Add(file);
    if (withAudio) {
        IXrvPushSource* push = m_camera->GetPushSource();
        m_cameraSink.reset(new CCameraAudioSink(push));
        if (push)
            push->Release();
        m_audioSink = m_cameraSink.get();
    }
}

// A camera whose graph does not run leaves the recording: it is dropped from
// this recording's preferences and the sound goes to its own file from now
// on, as after a segment change. A camera file that holds nothing yet (the
// first run failed) is taken off the list and deleted; one that recorded
// before stays in the folder.
void CRecorderEngine::DropCamera(BOOL nothingRecorded)
{
    StopCameraCapture();
    m_prefs->m_recordCamera = FALSE;
    if (nothingRecorded) {
        for (INT_PTR i = m_recordingFiles.GetSize() - 1; i >= 1; --i) {
            if (m_recordingFiles[i] == m_cameraFile)
                m_recordingFiles.RemoveAt(i);
        }
        ::DeleteFileA(m_cameraFile);
    }
    m_cameraFile.Empty();
    if (m_audioSink == m_cameraSink.get()) {
        m_audioSink = NULL;
        if (m_waveIn) {
            StopAudioCapture();
            StartAudioCapture();
        }
    }
    m_cameraSink.reset();
    ShowCameraFailure();
}

// The message has no owner window: the capture thread must not wait for the
// UI thread, which may be waiting for it.
void CRecorderEngine::ShowCameraFailure()
{
    CString text, caption;
    text.LoadString(IDS_CAMERA_START_FAILED);
    if (AfxGetApp())
        caption = AfxGetApp()->m_pszAppName;
    ::MessageBoxA(NULL, text, caption, MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
}

// Stops the camera graph once (stop, discard, or the end of the thread);
// the camera file is complete when it returns.
void CRecorderEngine::StopCameraCapture()
{
    if (!m_cameraRunning)
        return;
    m_cameraRunning = FALSE;
    m_camera->StopCapture(TRUE, 5000);
}
