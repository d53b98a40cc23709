#include "capture/RecorderEngine.h"

#include "media/LastRecordingDir.h"

#include "framework/Module.h"
#include "framework/WinApp.h"
#include "framework/WinThread.h"
#include "capture/CameraAudioSink.h"
#include "capture/CameraRecorder.h"
#include "capture/CreateAviDlg.h"
#include "capture/LiveOutputHeader.h"
#include "capture/RecorderWindow.h"
#include "capture/VideoFocusWnd.h"
#include "media/WaveIn.h"
#include "resources/ids_capture.h"
#include "resources/ids_media.h"
#include "settings/RecorderPrefs.h"

#include <vfw.h>

CRecorderEngine::CRecorderEngine(CRecorderPrefs* prefs, IRecorderWindow* mainWindow, ICameraRecorder* camera)
    : m_grabberMode(FALSE), m_grabberStop(0), m_fullRedraw(0), m_grabWaitInfinite(0),
      m_grabRequest(NULL), m_grabDone(NULL), m_grabberEnded(NULL), m_inputFlag(FALSE),
      m_grabberScreenDC(NULL), m_grabberDC(NULL), m_grabberBitmap(NULL), m_grabberOldBitmap(NULL),
      m_grabberBits(NULL), m_grabberImageSize(0), m_grabArea(), m_stripPoint(), m_stripThickness(8),
      m_segment(0), m_live(FALSE), m_liveRestart(FALSE), m_liveHeaderMap(NULL), m_liveHeader(NULL),
      m_liveFrameMap(NULL), m_liveFrame(NULL), m_liveFrameBytes(0), m_failure(0), m_lastResult(0), m_streamPosition(0),
      m_segmentPosition(0), m_desktopLeft(0), m_desktopTop(0), m_desktopWidth(0), m_desktopHeight(0),
      m_zoomBase(), m_requested(), m_applied(), m_previousArea(), m_outputWidth(0), m_outputHeight(0),
      m_zoomFactor(1.0f), m_previousZoomFactor(1.0f), m_cursor(), m_calmCursor(), m_panEnabled(TRUE),
      m_transitionRunning(FALSE), m_transitionStart(0), m_transitionFrom(), m_transitionShown(),
      m_transitionShownDrawn(FALSE), m_zoomUnchanged(FALSE), m_droppedFrames(0), m_measuredRate(0.0f),
      m_capturedFrames(0), m_paused(1), m_command(kCommandStop), m_framesWritten(FALSE), m_stopRequest(0),
      m_paletteChanged(0), m_effectsSuppressed(FALSE), m_recordEvent(NULL), m_pauseEvent(NULL),
      m_focusFrame(NULL), m_blinkState(FALSE), m_monitorEnded(NULL), m_captureThreadId(0),
      m_monitorThreadId(0), m_moveCursor(NULL), m_draggingArea(FALSE), m_dragStart(), m_dragLast(),
      m_dragStartArea(), m_lastAutoPan(FALSE), m_lastTrackedCursor(), m_waveIn(NULL), m_monitorThread(NULL),
      m_captureThread(NULL), m_grabberThread(NULL), m_audioThread(NULL), m_audioSink(NULL), m_audioStartRequest(0), m_bitCount(0), m_rate(0, 1, 1), m_playbackRate(0, 1, 1),
      m_createAviDlg(NULL), m_prefs(prefs), m_mainWindow(mainWindow), m_camera(camera), m_cameraWindow(NULL),
      m_mciWindow(NULL), m_frameBits(NULL), m_frameBitmap(NULL), m_screenDC(NULL), m_memDC(NULL),
      m_memOldBitmap(NULL), m_statusCountdown(0)
{
    memset(m_dirtyHistory, 0, sizeof(m_dirtyHistory));
    m_grabRequest = ::CreateEventA(NULL, FALSE, FALSE, NULL);
    m_grabDone = ::CreateEventA(NULL, FALSE, FALSE, NULL);
    m_grabberEnded = ::CreateEventA(NULL, FALSE, FALSE, NULL);
    m_recordEvent = ::CreateEventA(NULL, FALSE, FALSE, NULL);
    m_pauseEvent = ::CreateEventA(NULL, FALSE, FALSE, NULL);
    m_monitorEnded = ::CreateEventA(NULL, FALSE, FALSE, NULL);
    if (IsDisplayAccelOff())
        m_displayAccel.FindDevices();
    ::AVIFileInit();
    HWND owner = m_mainWindow ? m_mainWindow->GetRecorderHwnd() : NULL;
    // The hidden player of the audio script shows no error boxes of its own
    // (MCIWNDF_NOERRORDLG): the capture thread sends it the script's commands,
    // and a modal box inside it would hold that thread until someone closed
    // it (Wine's player fails a query on every wave file it opens). A script
    // that cannot be loaded is reported by the engine.
    m_mciWindow = ::MCIWndCreateA(owner, AfxGetInstanceHandle(), 0x4000818A | MCIWNDF_NOERRORDLG, NULL);
}

// The engine goes after its threads have ended (the main window deletes it
// when the capture thread's last message arrives): release what is left and,
// unless the recording is kept for recovery, delete the files that no saved
// output took over.
CRecorderEngine::~CRecorderEngine()
{
    if (m_mciWindow) {
        MCIWndClose(m_mciWindow);
        ::SendMessageA(m_mciWindow, WM_CLOSE, 0, 0);
        m_mciWindow = NULL;
    }
    if (m_liveFrame)
        ::UnmapViewOfFile(m_liveFrame);
    if (m_liveFrameMap)
        ::CloseHandle(m_liveFrameMap);
    if (m_liveHeader)
        ::UnmapViewOfFile(m_liveHeader);
    if (m_liveHeaderMap)
        ::CloseHandle(m_liveHeaderMap);
    StopAudioCapture();
    CloseOutputAvi();
    CWinThread* threads[] = {m_captureThread, m_monitorThread, m_grabberThread};
    for (CWinThread* thread : threads) {
        if (thread) {
            ::WaitForSingleObject(thread->m_hThread, 5000);
            delete thread;
        }
    }
    m_captureThread = m_monitorThread = m_grabberThread = NULL;
    if (m_createAviDlg) {
        m_createAviDlg->DestroyWindow();
        delete m_createAviDlg;
        m_createAviDlg = NULL;
    }
    if (m_focusFrame) {
        m_focusFrame->DestroyWindow();
        delete m_focusFrame;
        m_focusFrame = NULL;
    }
    if (!m_keepFiles) {
        // Nothing took the recording over: its files go, and with them the
        // recovery note and the last recording folder.
        CStringArray files;
        GetAllRecordingFiles(&files);
        for (INT_PTR i = files.GetSize() - 1; i >= 0; --i)
            ::DeleteFileA(files[i]);
        if (!m_folder.IsEmpty()) {
            BOOL filesLeft = FALSE;
            for (INT_PTR i = 0; i < files.GetSize(); ++i)
                filesLeft |= ::GetFileAttributesA(files[i]) != INVALID_FILE_ATTRIBUTES;
            if (!filesLeft) {
                CString note = m_folder;
                if (note.Right(1) != "\\")
                    note += '\\';
                ::DeleteFileA(note + "RecInfo.xml");
                if (GetLastRecordingDir() == m_folder)
                    SetLastRecordingDir("");
            }
            ::RemoveDirectoryA(m_folder);
        }
    }
    HANDLE* events[] = {&m_grabRequest, &m_grabDone, &m_grabberEnded, &m_recordEvent, &m_pauseEvent,
                        &m_monitorEnded};
    for (HANDLE* e : events) {
        if (*e)
            ::CloseHandle(*e);
        *e = NULL;
    }
    ::AVIFileExit();
}

// --- Commands. Each is a pair of interlocked stores and an event signal; the
// capture thread reads them after it wakes or at the top of each frame.

void CRecorderEngine::Pause()
{
    ::InterlockedExchange(&m_paused, 1);
    ::InterlockedExchange(&m_command, kCommandPause);
    if (m_pauseEvent)
        ::SetEvent(m_pauseEvent);
}

void CRecorderEngine::Record()
{
    ::InterlockedExchange(&m_paused, 0);
    ::InterlockedExchange(&m_command, kCommandRecord);
    if (m_recordEvent)
        ::SetEvent(m_recordEvent);
    if (m_pauseEvent)
        ::ResetEvent(m_pauseEvent);
}

void CRecorderEngine::RequestStop()
{
    ::InterlockedExchange(&m_paused, 1);
    ::InterlockedExchange(&m_stopRequest, 1);
    ::InterlockedExchange(&m_command, kCommandStop);
    if (m_recordEvent)
        ::SetEvent(m_recordEvent);
    if (m_pauseEvent)
        ::SetEvent(m_pauseEvent);
}

void CRecorderEngine::RequestDiscard()
{
    ::InterlockedExchange(&m_paused, 1);
    ::InterlockedExchange(&m_stopRequest, 1);
    ::InterlockedExchange(&m_command, kCommandDiscard);
    if (m_recordEvent)
        ::SetEvent(m_recordEvent);
    if (m_pauseEvent)
        ::SetEvent(m_pauseEvent);
}

void CRecorderEngine::SetAudioMute(BOOL mute)
{
    CSingleLock lock(&m_audioLock, TRUE);
    if (m_waveIn)
        m_waveIn->SetEffectsMute(mute);
}

void CRecorderEngine::ShowFocusFrame(int nCmdShow)
{
    if (!m_focusFrame || !m_focusFrame->GetSafeHwnd())
        return;
    if (nCmdShow == SW_SHOW && !IsPaused() && PreferencesHideFrame())
        return;
    m_focusFrame->ShowWindow(nCmdShow);
}

// New preferences while recording: the sounds of the running wave recorder
// are reloaded. The loads run under the audio lock, so that the capture
// thread cannot delete the recorder meanwhile; the failures are shown after
// the lock is released.
void CRecorderEngine::SetSettings(CRecorderPrefs* prefs)
{
    m_prefs = prefs;
    if (m_live)
        return;
    DWORD failed;
    {
        CSingleLock lock(&m_audioLock, TRUE);
        if (!m_waveIn)
            return;
        failed = LoadSounds(m_waveIn, TRUE);
    }
    ShowSoundFailures(failed);
}

// --- Zoom commands. They hand a new requested area to SetCaptureArea under
// the area lock; the capture loop applies it (with a transition when asked).

BOOL CRecorderEngine::SetZoomFactor(float factor)
{
    if (m_transitionRunning)
        return FALSE;
    CSingleLock lock(&m_areaLock, TRUE);
    m_zoomUnchanged = FALSE;
    const CaptureArea bounds = {m_desktopLeft, m_desktopTop, m_desktopWidth, m_desktopHeight};
    CaptureArea area;
    if (!ZoomAreaForFactor(factor, m_outputWidth, m_outputHeight, m_requested, bounds, m_prefs->m_zoomCenter,
                           !m_live && m_prefs->m_roundFrameSize, &area)) {
        m_zoomUnchanged = TRUE;
        return FALSE;
    }
    if (area == m_requested)
        m_zoomUnchanged = TRUE;
    const BOOL grow = area.width > m_requested.width || area.height > m_requested.height;
    SetCaptureArea(area.left, area.top, area.width, area.height, grow);
    m_previousZoomFactor = m_zoomFactor;
    m_zoomFactor = factor;
    return TRUE;
}

// The factor of a picked area is its width related to the output width, as
// a fraction like the other two zoom commands (whole-number division would
// make every zoom into a narrower area 0).
float CRecorderEngine::ZoomToRect(const RECT* picked)
{
    if (m_transitionRunning || !picked)
        return 0.0f;
    CSingleLock lock(&m_areaLock, TRUE);
    m_zoomUnchanged = FALSE;
    const CaptureArea bounds = {m_desktopLeft, m_desktopTop, m_desktopWidth, m_desktopHeight};
    CaptureArea area;
    if (!ZoomAreaForRect(*picked, m_outputWidth, m_outputHeight, bounds, !m_live && m_prefs->m_roundFrameSize,
                         &area)) {
        m_zoomUnchanged = TRUE;
        return 0.0f;
    }
    if (area == m_requested)
        m_zoomUnchanged = TRUE;
    const BOOL grow = area.width > m_requested.width || area.height > m_requested.height;
    SetCaptureArea(area.left, area.top, area.width, area.height, grow);
    m_previousZoomFactor = m_zoomFactor;
    m_zoomFactor = m_outputWidth > 0 ? (float)area.width / (float)m_outputWidth : 1.0f;
    return m_zoomFactor;
}

float CRecorderEngine::ToggleZoom()
{
    if (m_transitionRunning)
        return m_zoomFactor;
    CSingleLock lock(&m_areaLock, TRUE);
    m_zoomUnchanged = FALSE;
    if (m_zoomBase.SameSize(m_requested))
        m_zoomUnchanged = TRUE;
    SetCaptureArea(m_zoomBase.left, m_zoomBase.top, m_zoomBase.width, m_zoomBase.height, TRUE);
    const float current = m_zoomFactor;
    m_zoomFactor = m_previousZoomFactor;
    m_previousZoomFactor = current;
    return m_zoomFactor;
}

CaptureArea CRecorderEngine::GetRequestedArea()
{
    CSingleLock lock(&m_areaLock, TRUE);
    return m_requested;
}

CaptureArea CRecorderEngine::GetAppliedArea()
{
    CSingleLock lock(&m_areaLock, TRUE);
    return m_applied;
}

void CRecorderEngine::GetAllRecordingFiles(CStringArray* files) const
{
    files->RemoveAll();
    files->Append(m_recordingFiles);
    for (INT_PTR i = 0; i < m_segmentFiles.GetSize(); ++i) {
        BOOL listed = FALSE;
        for (INT_PTR j = 0; j < files->GetSize() && !listed; ++j)
            listed = (*files)[j].CompareNoCase(m_segmentFiles[i]) == 0;
        if (!listed)
            files->Add(m_segmentFiles[i]);
    }
    files->Append(m_audioFiles);
}

CString CRecorderEngine::GetScreenFileName() const
{
    return m_folder + m_name + "_Screen." + m_extension;
}

// --- Helpers

void CRecorderEngine::Fail(UINT textId)
{
    CString text;
    text.LoadString(textId);
    Fail(text);
}

void CRecorderEngine::Fail(const CString& text)
{
    m_errorText = text;
    m_failure = 1;
}

void CRecorderEngine::PostToMain(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND target = m_mainWindow ? m_mainWindow->GetRecorderHwnd() : NULL;
    if (target)
        ::PostMessageA(target, message, wParam, lParam);
}

void CRecorderEngine::PostToFocusFrame(UINT message, WPARAM wParam)
{
    HWND frame = m_focusFrame ? m_focusFrame->GetSafeHwnd() : NULL;
    if (frame)
        ::PostMessageA(frame, message, wParam, 0);
}

BOOL CRecorderEngine::PreferencesHideFrame() const
{
    return m_prefs->m_hideRect || m_prefs->m_autoPan;
}

// The run-time flags that the preferences record keeps unstored: the raise-
// priority flag in its capture-input slot, the audio-script flag in its audio
// slot (with the script file in the sounds' spare string).
BOOL CRecorderEngine::RaisePriority() const
{
    return m_prefs->m_unused5 != 0;
}

BOOL CRecorderEngine::AudioScriptOn() const
{
    return m_prefs->m_unused9 != 0;
}

BOOL CRecorderEngine::IsDisplayAccelOff() const
{
    return m_prefs && m_prefs->m_disableDisplayAccel != 0;
}

void CRecorderEngine::SetCapturePriority(int priority)
{
    ::SetThreadPriority(::GetCurrentThread(), priority);
    if (m_audioThread)
        m_audioThread->SetThreadPriority(priority);
}
