// The capture thread: device contexts and the first frame, the start of
// capture, the output, the frame loop with its pacing, pause, resume, stop and
// discard, and the end of the recording.
#include "capture/RecorderEngine.h"
#include "capture/CameraAudioSink.h"
#include "capture/CameraRecorder.h"

#include "framework/WinApp.h"
#include "framework/WinThread.h"
#include "capture/AutoFrameRate.h"
#include "capture/DesktopUtil.h"
#include "capture/FrameBitmap.h"
#include "capture/CreateAviDlg.h"
#include "capture/WaveScriptEndDlg.h"
#include "capture/LiveOutputHeader.h"
#include "capture/RecordingFinish.h"
#include "capture/RecorderWindow.h"
#include "capture/ScreenCopy.h"
#include "capture/VideoFocusWnd.h"
#include "media/LastRecordingDir.h"
#include "media/RecordingOutput.h"
#include "media/WaveIn.h"
#include "resources/ids_capture.h"
#include "resources/ids_media.h"
#include "settings/RecorderPrefs.h"

#include <string.h>
#include <vfw.h>

UINT AFX_CDECL CRecorderEngine::CaptureThreadProc(LPVOID engine)
{
    return ((CRecorderEngine*)engine)->CaptureThread();
}

namespace {

// A DIB section of a packed format (header and colour table).
HBITMAP CreateFrameSection(HDC dc, const std::vector<BYTE>& format, BYTE** bits)
{
    void* pixels = NULL;
    HBITMAP bitmap = ::CreateDIBSection(dc, (const BITMAPINFO*)format.data(), DIB_RGB_COLORS, &pixels, NULL, 0);
    *bits = (BYTE*)pixels;
    return bitmap;
}

}  // namespace

// The screen copy of one frame: the area at the output size (stretched with
// plain GDI when a zoom makes the two differ).
BOOL CRecorderEngine::GrabDirect(HDC destination, HDC screen, const CaptureArea& area)
{
    const DWORD rop = m_prefs->UseCaptureBlt() ? (SRCCOPY | CAPTUREBLT) : SRCCOPY;
    // The composition's zoomed frame has the area's own size: copied as it is.
    BITMAP target = {};
    ::GetObjectA(::GetCurrentObject(destination, OBJ_BITMAP), sizeof(target), &target);
    const BOOL areaSized = target.bmWidth == area.width && target.bmHeight == area.height;
    if ((area.width == m_outputWidth && area.height == m_outputHeight) || areaSized)
        return CopyScreenArea(destination, 0, 0, area.width, area.height, screen, area.left, area.top, rop);
    ::SetStretchBltMode(destination, COLORONCOLOR);
    return ::StretchBlt(destination, 0, 0, m_outputWidth, m_outputHeight, screen, area.left, area.top, area.width,
                        area.height, rop);
}

UINT CRecorderEngine::CaptureThread()
{
    m_streamPosition = 0;
    m_segmentPosition = 0;
    m_captureThreadId = ::GetCurrentThreadId();
    ::CoInitialize(NULL);
    if (!m_live)
        ::AVIFileInit();

    HGLOBAL firstFrame = NULL;
    HBITMAP firstBitmap = NULL;
    HPALETTE palette = NULL;
    BOOL raised = FALSE;
    DWORD imageSize = 0;
    CaptureArea area = {};
    DWORD skippedLast = 0;

    do {
        m_screenDC = ::CreateDCA("DISPLAY", NULL, NULL, NULL);
        if (!m_screenDC) {
            Fail(IDS_CREATE_DISPLAY_DC_FAILED);
            break;
        }
        m_memDC = ::CreateCompatibleDC(m_screenDC);
        if (!m_memDC) {
            Fail(IDS_CREATE_COMPAT_DC_FAILED);
            break;
        }
        palette = CreateSystemPalette(m_screenDC, FALSE);
        if (palette) {
            ::SelectPalette(m_memDC, palette, FALSE);
            ::RealizePalette(m_memDC);
        }
        firstBitmap = ::CreateCompatibleBitmap(m_screenDC, m_outputWidth, m_outputHeight);
        if (!firstBitmap) {
            Fail(IDS_CREATE_COMPAT_BMP_FAILED);
            break;
        }

        // The first frame fixes the format of the recording.
        const CaptureArea start = GetRequestedArea();
        HGDIOBJ old = ::SelectObject(m_memDC, firstBitmap);
        GrabDirect(m_memDC, m_screenDC, start);
        ::SelectObject(m_memDC, old);
        firstFrame = CreateDIBFromBitmap(firstBitmap, m_screenDC, m_prefs->m_capture32BitAs24Bit);
        if (!firstFrame) {
            Fail(IDS_GETDIB_FAILED);
            break;
        }
        const BITMAPINFOHEADER* header = (const BITMAPINFOHEADER*)::GlobalLock(firstFrame);
        if (!header) {
            Fail(IDS_LOCK_DIB_FAILED);
            break;
        }
        const DWORD formatSize = header->biSize + DibColorEntries(*header) * sizeof(RGBQUAD);
        m_frameFormat.assign((const BYTE*)header, (const BYTE*)header + formatSize);
        imageSize = header->biSizeImage;
        const int firstBits = header->biBitCount;
        ::GlobalUnlock(firstFrame);
        if (m_mainWindow)
            m_mainWindow->SetRecordedBitDepth(firstBits);
        if (m_recordingFiles.GetSize() == 0)
            m_recordingFiles.Add(GetScreenFileName());

        if (!m_live) {
            if (m_prefs->m_recordCamera)
                StartCameraCapture();
            if (m_prefs->m_autoConfig && !MeasureAutoFrameRate(m_screenDC, m_memDC))
                break;
        }
        if (!PrepareWatermark())
            break;
        if (!BeginCapture(firstBits, &area.width, &area.height, &area.left, &area.top))
            break;
        if (::InterlockedExchange(&m_paletteChanged, 0) && !ApplyPaletteChange())
            break;
        m_pacer.Start(m_rate.m_nRate, m_rate.m_nScale, ::GetTickCount());
        if (!OpenOutputAvi((const BITMAPINFO*)m_frameFormat.data(), 0) && !m_live)
            break;
        // Once the file is open the note can name its codec.
        if (!m_live)
            WriteRecoveryNote();

        // The frame: a DIB section of the recording's format in the memory DC.
        m_frameBitmap = CreateFrameSection(m_screenDC, m_frameFormat, &m_frameBits);
        if (!m_frameBitmap || !m_frameBits) {
            Fail(IDS_CREATE_DIBSECTION_FAILED);
            break;
        }
        m_memOldBitmap = ::SelectObject(m_memDC, m_frameBitmap);
        if (m_grabberMode) {
            m_stripThickness = ((const BITMAPINFOHEADER*)m_frameFormat.data())->biBitCount == 32 ? 2 : 8;
            CSingleLock lock(&m_frameLock, TRUE);
            m_grabArea = area;
            m_grabberImageSize = imageSize;
            ::InterlockedExchange(&m_grabWaitInfinite, 1);
        }
        m_statusCountdown = 0;
        if (RaisePriority()) {
            SetCapturePriority(THREAD_PRIORITY_HIGHEST);
            raised = TRUE;
        }
        // The camera runs before the sound resumes: a camera that fails
        // here takes no sound with it.
        if (m_cameraRunning && !m_camera->StartCapture(FALSE, 5000, FALSE, m_cameraWindow))
            DropCamera(TRUE);
        if (m_waveIn)
            m_waveIn->Resume();
        m_pacer.Restart(::GetTickCount());

        // The frame loop.
        for (;;) {
            if (!CheckSegmentSize())
                break;
            CheckAudioScriptEnd();
            ApplyAudioRequest();
            if (IsPaused() && !m_transitionRunning) {
                if (!WaitWhilePaused())
                    break;
                BOOL goOn = TRUE;
                switch (GetCommand()) {
                case kCommandStop:
                    goOn = StopCapture(skippedLast);
                    break;
                case kCommandDiscard:
                    goOn = DiscardCapture();
                    break;
                case kCommandRecord:
                    goOn = ResumeCapture();
                    raised = RaisePriority();
                    break;
                default:
                    break;
                }
                if (!goOn) {
                    if (m_framesWritten)
                        FinishRecording();
                    break;
                }
            }
            skippedLast = 0;
            if (m_grabberMode)
                DetectScreenChange(m_screenDC);
            if (m_paletteChanged && m_segmentPosition > 0 && !ApplyPaletteChange())
                break;

            StepZoomTransition(&area.width, &area.height, &area.left, &area.top);
            if (!ResizeFrameBuffers(area.width, area.height, area.left, area.top))
                break;

            // A zoomed area is grabbed at its own size; ScaleFrame brings it
            // to the output size.
            HDC grabDC = CaptureFrameDC();
            BOOL grabbed;
            if (m_grabberMode)
                grabbed = StartGrabAndWait(m_frameBits, imageSize);
            else
                grabbed = GrabDirect(grabDC, m_screenDC, area);
            if (!grabbed) {
                if (!m_failure)
                    Fail(IDS_GETDIB_FAILED);
                break;
            }
            ::InterlockedExchange(&m_fullRedraw, 0);
            if ((m_prefs->m_captureMouse || m_prefs->m_recordClickAudio || m_prefs->m_recordKeyAudio ||
                 m_grabberMode) &&
                !m_draggingArea)
                DrawCursor(grabDC, area);
            TrackWindowUnderCursor();
            UpdateFocusFrameVisibility();
            if (area.width == m_outputWidth && area.height == m_outputHeight) {
                if (!DrawCaptionAndStamp(m_memDC))
                    break;
            } else if (!ScaleFrame(m_memDC)) {
                break;
            }
            if (!DrawWatermark(m_memDC))
                break;
            ::GdiFlush();

            if (!m_live) {
                if (!WriteAviFrame(m_frameBits, imageSize, m_segmentPosition, AVIIF_KEYFRAME)) {
                    Fail(IDS_AVI_FRAME_WRITE_FAILED);
                    CloseOutputAvi();
                    break;
                }
            } else if (!WriteLiveFrame((const BITMAPINFOHEADER*)m_frameFormat.data(), m_frameBits)) {
                break;
            }
            m_framesWritten = TRUE;
            ++m_capturedFrames;
            ++m_streamPosition;
            ++m_segmentPosition;

            if (m_prefs->m_recordOneFrame) {
                BlinkIndicators(FALSE, m_pacer.FramesPerSecond() == 0);
                PostToMain(WM_RECORDER_STATE, 0);
                Pause();
                PostToMain(WM_RECORDER_SELF_PAUSED, 0);
                continue;
            }

            const CFramePacer::Step step = m_pacer.AfterFrame(::GetTickCount());
            if (step.skipped) {
                m_droppedFrames += step.skipped;
                m_streamPosition += step.skipped;
                m_segmentPosition += step.skipped;
                skippedLast = step.skipped;
            }
            if (step.wait > 10) {
                if (m_pacer.IsSlowRate())
                    ::WaitForSingleObject(m_pauseEvent, step.wait);
                else
                    ::Sleep(step.wait);
            }
            if (++m_statusCountdown >= m_pacer.RefreshInterval()) {
                m_statusCountdown = 0;
                BlinkIndicators(FALSE, m_pacer.FramesPerSecond() == 0);
                PostToMain(WM_RECORDER_STATE, 0);
            }
            if (m_rateMeter.Update(m_pacer, (DWORD)m_streamPosition, m_capturedFrames))
                m_measuredRate = m_rateMeter.Rate();
        }
    } while (false);

    // The end of the recording, reached from every exit.
    ::InterlockedExchange(&m_stopRequest, 1);
    if (m_mainWindow)
        m_mainWindow->ShowFocusFrame(SW_HIDE);
    if (m_grabberMode) {
        ::InterlockedExchange(&m_grabberStop, 1);
        ::SetEvent(m_grabRequest);
        ::WaitForSingleObject(m_grabberEnded, 1000);
    }
    ReleaseCompositionBuffers();
    if (m_memDC && m_memOldBitmap)
        ::SelectObject(m_memDC, m_memOldBitmap);
    m_memOldBitmap = NULL;
    if (m_frameBitmap) {
        CSingleLock lock(&m_frameLock, TRUE);
        ::DeleteObject(m_frameBitmap);
        m_frameBitmap = NULL;
        m_frameBits = NULL;
    }
    if (firstBitmap)
        ::DeleteObject(firstBitmap);
    if (firstFrame)
        ::GlobalFree(firstFrame);
    StopAudioCapture();
    // A failure that ended the loop leaves the camera running: its file is
    // finished here (after the wave recorder, which pushes into it).
    StopCameraCapture();
    if (m_audioSink == m_cameraSink.get())
        m_audioSink = NULL;
    m_cameraSink.reset();
    // The sound of a recording that wrote frames belongs to it until the
    // output is saved (a failed finish keeps it for recovery); the engine's
    // end deletes what no output took over. Sound without frames goes now.
    if (!m_framesWritten || m_live) {
        for (INT_PTR i = m_audioFiles.GetSize() - 1; i >= 0; --i) {
            ::DeleteFileA(m_audioFiles[i]);
            m_audioFiles.RemoveAt(i);
        }
    } else {
        WriteRecoveryNote();
    }
    if (m_focusFrame && m_focusFrame->GetSafeHwnd())
        ::ShowWindowAsync(m_focusFrame->GetSafeHwnd(), SW_HIDE);
    if (m_transitionShownDrawn && m_screenDC) {
        DrawInvertedFrame(m_screenDC, m_transitionShown, 5);
        m_transitionShownDrawn = FALSE;
    }
    if (raised)
        ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_NORMAL);
    if (palette) {
        if (m_memDC)
            ::SelectPalette(m_memDC, (HPALETTE)::GetStockObject(DEFAULT_PALETTE), FALSE);
        ::DeleteObject(palette);
    }
    if (m_memDC)
        ::DeleteDC(m_memDC);
    if (m_screenDC)
        ::DeleteDC(m_screenDC);
    m_memDC = m_screenDC = NULL;
    CloseOutputAvi();
    if (!m_errorText.IsEmpty()) {
        AfxMessageBox(m_errorText, MB_ICONEXCLAMATION | MB_TOPMOST);
        m_errorText.Empty();
    }
    if (!m_live)
        ::AVIFileExit();
    else
        m_framesWritten = FALSE;
    ::WaitForSingleObject(m_monitorEnded, 1000);
    const WPARAM result = (WPARAM)m_failure;
    m_failure = 0;
    m_lastResult = (int)result;
    ::CoUninitialize();
    if (IsDisplayAccelOff())
        m_displayAccel.RestoreAcceleration();
    PostToMain(WM_RECORDER_FINISHED, result);
    return 0;
}

// Seen at the top of each frame. The end of the audio script pauses the
// recording and asks the user whether to go on without the script, play it
// again or stop. A stop or discard the user gave meanwhile is kept. The
// question has no owner window: a window of the UI thread as its owner would
// make this thread wait for the UI thread, which may be waiting for it.
BOOL CRecorderEngine::CheckAudioScriptEnd()
{
    if (!m_waveIn || !m_waveIn->IsAudioScriptFinished() || !AudioScriptOn())
        return TRUE;
    Pause();
    PostToMain(WM_RECORDER_SELF_PAUSED, 0);
    m_waveIn->Pause();
    m_waveIn->ClearAudioScriptFinished();
    CWaveScriptEndDlg question;
    const INT_PTR answer = question.DoModal();
    const LONG command = GetCommand();
    if (command == kCommandStop || command == kCommandDiscard)
        return TRUE;
    if (answer == CWaveScriptEndDlg::kStop) {
        m_waveIn->SetAudioScriptActive(FALSE);
        RequestStop();
        return TRUE;
    }
    if (answer == CWaveScriptEndDlg::kReplay) {
        if (!m_waveIn->LoadAudioScript(m_prefs->m_unused11, m_prefs->m_tempDir, 100))
            ShowSoundFailures(kSoundScriptFailed);
        m_waveIn->SetAudioScriptActive(TRUE);
    } else {
        m_prefs->m_unused9 = 0;
        m_waveIn->SetAudioScriptActive(FALSE);
    }
    // Record's signal is meant for a capture thread that waits to resume;
    // this one does not wait, and a stale signal would cut the next pause.
    Record();
    ::ResetEvent(m_recordEvent);
    m_waveIn->Resume();
    m_pacer.Restart(::GetTickCount());
    return TRUE;
}

BOOL CRecorderEngine::WaitWhilePaused()
{
    {
        CSingleLock lock(&m_inputLock, TRUE);
        m_inputFlag = FALSE;
    }
    if (m_waveIn)
        m_waveIn->Pause();
    if (m_cameraRunning && GetCommand() == kCommandPause)
        m_camera->PauseCapture(FALSE, 5000);
    if (RaisePriority())
        SetCapturePriority(THREAD_PRIORITY_NORMAL);
    if (m_transitionShownDrawn && m_screenDC) {
        DrawInvertedFrame(m_screenDC, m_transitionShown, 5);
        m_transitionShownDrawn = FALSE;
    }
    HWND frame = m_focusFrame ? m_focusFrame->GetSafeHwnd() : NULL;
    if (PreferencesHideFrame() && frame && !::IsWindowVisible(frame))
        ::PostMessageA(frame, WM_FOCUS_FRAME_PLACE, 0, 0);
    PostToFocusFrame(WM_FOCUS_FRAME_LIT, 1);
    PostToMain(WM_RECORDER_INDICATOR, 1);
    m_blinkState = TRUE;
    if (m_prefs->m_autoHighlightObject && m_mainWindow)
        m_mainWindow->ShowFocusFrame(SW_HIDE);
    PostToMain(WM_RECORDER_STATE, 0);
    if (::WaitForSingleObject(m_recordEvent, INFINITE) == WAIT_FAILED) {
        Fail(IDS_WAIT_EVENT_FAILED);
        return FALSE;
    }
    return TRUE;
}

// Stop: when the last pacing step skipped frames, the last frame is written
// again at the last skipped index, so that the stream ends at the stop time.
BOOL CRecorderEngine::StopCapture(DWORD skippedLast)
{
    ::InterlockedExchange(&m_grabberStop, 1);
    if (m_cameraRunning)
        m_camera->EndVideo();
    EndWaveRecording();
    StopCameraCapture();
    if (m_focusFrame && m_focusFrame->GetSafeHwnd())
        ::ShowWindowAsync(m_focusFrame->GetSafeHwnd(), SW_HIDE);
    if (m_live) {
        if (m_liveHeader)
            SetLiveFrameReady(0);
        return FALSE;
    }
    if (skippedLast > 0 && m_framesWritten && m_frameBits) {
        --m_segmentPosition;
        --m_streamPosition;
        const DWORD imageSize = ((const BITMAPINFOHEADER*)m_frameFormat.data())->biSizeImage;
        if (!WriteAviFrame(m_frameBits, imageSize, m_segmentPosition, AVIIF_KEYFRAME))
            Fail(IDS_AVI_FRAME_WRITE_FAILED);
    }
    CloseOutputAvi();
    return FALSE;
}

BOOL CRecorderEngine::DiscardCapture()
{
    ::InterlockedExchange(&m_grabberStop, 1);
    m_framesWritten = FALSE;
    if (!m_live) {
        EndWaveRecording();
        StopCameraCapture();
        CloseOutputAvi();
    } else if (m_liveHeader) {
        SetLiveFrameReady(0);
    }
    return FALSE;
}

BOOL CRecorderEngine::ResumeCapture()
{
    ::InterlockedExchange(&m_grabWaitInfinite, 1);
    ::InterlockedExchange(&m_fullRedraw, 1);
    if (m_live) {
        m_rate.Assign(m_prefs->m_liveRate);
        m_pacer.SetRate(m_rate.m_nRate, m_rate.m_nScale);
    }
    if (m_prefs->m_minimize)
        ::Sleep(500);
    HWND frame = m_focusFrame ? m_focusFrame->GetSafeHwnd() : NULL;
    if (PreferencesHideFrame() && frame)
        ::ShowWindowAsync(frame, SW_HIDE);
    const BOOL lit = m_pacer.FramesPerSecond() == 0 || m_blinkState;
    PostToFocusFrame(WM_FOCUS_FRAME_LIT, lit ? 1 : 0);
    PostToMain(WM_RECORDER_INDICATOR, lit ? 0 : 1);
    ::InterlockedExchange(&m_paused, 0);
    m_blinkState = !m_blinkState;
    m_pacer.Restart(::GetTickCount());
    {
        CSingleLock lock(&m_areaLock, TRUE);
        m_calmCursor = m_cursor;
    }
    if (RaisePriority())
        SetCapturePriority(THREAD_PRIORITY_HIGHEST);
    if (m_cameraRunning && !m_camera->StartCapture(FALSE, 5000, FALSE, m_cameraWindow))
        DropCamera(FALSE);
    if (m_waveIn)
        m_waveIn->Resume();
    return TRUE;
}

void CRecorderEngine::BlinkIndicators(BOOL force, BOOL steady)
{
    PostToFocusFrame(WM_FOCUS_FRAME_LIT, (force || steady || m_blinkState) ? 1 : 0);
    PostToMain(WM_RECORDER_INDICATOR, !(!force && (steady || m_blinkState)) ? 1 : 0);
    m_blinkState = force ? TRUE : !m_blinkState;
}

void CRecorderEngine::UpdateFocusFrameVisibility()
{
    if (m_transitionRunning || m_effectsSuppressed)
        return;
    const BOOL autoPan = m_prefs->m_autoPan;
    if (autoPan == m_lastAutoPan)
        return;
    m_lastAutoPan = autoPan;
    HWND frame = m_focusFrame ? m_focusFrame->GetSafeHwnd() : NULL;
    if (!frame)
        return;
    if (autoPan && ::IsWindowVisible(frame)) {
        ::ShowWindowAsync(frame, SW_HIDE);
        ::Sleep(500);
    } else if (!autoPan && !::IsWindowVisible(frame) && !m_prefs->m_hideRect) {
        ::PostMessageA(frame, WM_FOCUS_FRAME_PLACE, 0, 0);
    }
}

// With the object highlight on, the window under a resting cursor is outlined
// by the main window's own frame. The call is made without any engine lock.
void CRecorderEngine::TrackWindowUnderCursor()
{
    if (!m_prefs->m_autoHighlightObject || !m_mainWindow)
        return;
    POINT cursor;
    CaptureArea area;
    {
        CSingleLock lock(&m_areaLock, TRUE);
        cursor = m_cursor;
        area = m_applied;
    }
    const BOOL inside = cursor.x >= area.left && cursor.x <= area.Right() && cursor.y >= area.top &&
                        cursor.y <= area.Bottom();
    if (!inside) {
        m_mainWindow->ShowFocusFrame(SW_HIDE);
        return;
    }
    if (cursor.x != m_lastTrackedCursor.x || cursor.y != m_lastTrackedCursor.y) {
        m_lastTrackedCursor = cursor;
        return;
    }
    HWND window = ::WindowFromPoint(cursor);
    RECT rect;
    if (window && ::GetWindowRect(window, &rect) && m_mainWindow->MoveFocusFrame(&rect, 0) && m_grabberMode) {
        ::InterlockedExchange(&m_grabWaitInfinite, 1);
        ::InterlockedExchange(&m_fullRedraw, 1);
    }
}

// Automatic configuration: the rate the machine reaches when it writes whole
// frames for a second, capped at 15 frames per second.
BOOL CRecorderEngine::MeasureAutoFrameRate(HDC screen, HDC memDC)
{
    const BOOL autoPan = m_prefs->m_autoPan;
    m_prefs->m_autoPan = FALSE;
    m_prefs->m_captureRate = CRational(1, 1, 1);
    m_prefs->m_playbackRate = CRational(1, 1, 1);
    BOOL ok = FALSE;
    do {
        if (!OpenOutputAvi((const BITMAPINFO*)m_frameFormat.data(), 0))
            break;
        BYTE* bits = NULL;
        HBITMAP section = CreateFrameSection(screen, m_frameFormat, &bits);
        if (!section || !bits) {
            if (section)
                ::DeleteObject(section);
            Fail(IDS_CREATE_DIBSECTION_FAILED);
            break;
        }
        HGDIOBJ old = ::SelectObject(memDC, section);
        const CaptureArea area = GetRequestedArea();
        const DWORD imageSize = ((const BITMAPINFOHEADER*)m_frameFormat.data())->biSizeImage;
        const DWORD start = ::GetTickCount();
        DWORD frames = 0;
        BOOL written = TRUE;
        while (::GetTickCount() - start < 1000) {
            GrabDirect(memDC, screen, area);
            if (m_prefs->m_captureMouse)
                DrawCursor(memDC, area);
            ::GdiFlush();
            if (m_live || !WriteAviFrame(bits, imageSize, (LONG)frames, AVIIF_KEYFRAME)) {
                written = FALSE;
                break;
            }
            ++frames;
        }
        DWORD elapsed = ::GetTickCount() - start;
        ::SelectObject(memDC, old);
        ::DeleteObject(section);
        if (!written) {
            Fail(IDS_AUTO_AVI_WRITE_FAILED);
            break;
        }
        const WORD bitCount = ((const BITMAPINFOHEADER*)m_frameFormat.data())->biBitCount;
        const DWORD rate = ComputeAutoFrameRate(frames, elapsed, m_grabberMode, bitCount);
        // A machine that keeps up with one frame a second is told how to do
        // better (once, unless the user keeps the tip).
        OfferAutoFrameRateTip(m_prefs, rate, NULL);
        m_prefs->m_captureRate = CRational(rate, 1, 1);
        m_prefs->m_playbackRate.Assign(m_prefs->m_captureRate);
        ok = TRUE;
    } while (false);
    // The error is shown here; the failure flag stays set, so that the end
    // of the thread reports the recording as failed, not as finished.
    if (!m_errorText.IsEmpty()) {
        AfxMessageBox(m_errorText, MB_ICONEXCLAMATION | MB_TOPMOST);
        m_errorText.Empty();
    }
    CloseOutputAvi();
    m_prefs->m_autoPan = autoPan;
    return ok;
}

// Turns the temporary files into one finished screen video (joined segments,
// or the sound interleaved into the AVI), on this thread, with the AVI
// progress window.
BOOL CRecorderEngine::FinishRecording()
{
    CRecordingFinisher finisher;
    finisher.m_screenFile = m_recordingFiles.GetSize() > 0 ? m_recordingFiles[0] : GetScreenFileName();
    finisher.m_baseName = m_baseName;
    finisher.m_segmentFiles.Copy(m_segmentFiles);
    finisher.m_audioFiles.Copy(m_audioFiles);
    finisher.m_tempFolder = m_prefs->m_tempDir;
    finisher.m_recordCamera = m_prefs->m_recordCamera;
    finisher.m_waveInRan = m_waveIn != NULL;
    finisher.m_audioHasData = m_waveIn && m_waveIn->HasData();
    finisher.m_audioStartMs = m_waveIn ? m_waveIn->GetStartMs() : 0;
    if (m_waveIn && m_waveIn->GetFormat()) {
        const WAVEFORMATEX* format = m_waveIn->GetFormat();
        const BYTE* bytes = (const BYTE*)format;
        finisher.m_captureFormat.assign(bytes, bytes + sizeof(WAVEFORMATEX) + format->cbSize);
    }
    finisher.m_interleave = m_prefs->m_interleave;
    finisher.m_interleaveRate = m_prefs->m_interleaveRate;
    finisher.m_interleaveByFrames = m_prefs->m_interleaveByFrames;
    finisher.m_progress = m_createAviDlg;
    finisher.m_progressWindow = m_createAviDlg ? m_createAviDlg->GetSafeHwnd() : NULL;
    finisher.m_joiner = GetRecordingJoiner();
    RenderSettingsSource& render = finisher.m_renderSource;
    render.interleave = m_prefs->m_interleave;
    render.interleaveRate = m_prefs->m_interleaveRate;
    render.interleaveByFrames = m_prefs->m_interleaveByFrames;
    render.compressorFourCC = m_prefs->m_compressorFourCC;
    render.quality = m_prefs->m_quality;
    render.keyFrameRate = m_prefs->m_keyFrameRate;
    render.dataRate = m_prefs->m_dataRate;
    render.frameRate = (int)m_prefs->m_captureRate.m_nRate;
    render.frameScale = (int)m_prefs->m_captureRate.m_nScale;
    render.frameTime = (int)m_prefs->m_captureRate.m_nTime;
    render.bitDepth = m_bitCount;
    render.audioFormat = m_prefs->GetAudioFormat();
    render.audioCompressor = m_prefs->m_audioCompressorName;
    render.videoCompressor = m_prefs->m_videoCompressorName;

    const BOOL finished = finisher.Finish();
    m_audioFiles.Copy(finisher.m_audioFiles);
    if (!finished) {
        m_failure = finisher.m_failure ? finisher.m_failure : 1;
        if (!finisher.m_errorText.IsEmpty())
            m_errorText = finisher.m_errorText;
        // Cancel in the progress window asks whether the recording should
        // go; a cancel still raised means the user said so, and the
        // recording ends as a discarded one instead of being kept.
        if (m_createAviDlg && m_createAviDlg->IsCancelRequested())
            m_framesWritten = FALSE;
    }
    return finished;
}

// The recovery note "RecInfo.xml" lists the recording's files (the screen
// file, each segment, the sound) so that a recording cut short by a crash is
// found and rebuilt at the next start; the folder is remembered as the last
// recording folder until the output is saved. Written at the start, at each
// new segment and once more when the recording has ended.
void CRecorderEngine::WriteRecoveryNote()
{
    CStringArray media;
    GetAllRecordingFiles(&media);
    if (media.GetSize() == 0)
        return;
    RecordingTrackInfo info;
    info.outputWidth = m_outputWidth;
    info.outputHeight = m_outputHeight;
    if (m_frameFormat.size() >= sizeof(BITMAPINFOHEADER))
        info.outputBitDepth = reinterpret_cast<const BITMAPINFOHEADER*>(m_frameFormat.data())->biBitCount;
    info.codecName = m_codecName;
    if (m_camera && m_prefs->m_recordCamera)
        m_camera->DescribeTrack(&info);
    CString folder = GetRecordingFolder();
    if (!folder.IsEmpty() && folder[folder.GetLength() - 1] != '\\')
        folder += '\\';
    CString note = folder + "RecInfo.xml";
    if (WriteRecordingPackage(note, media, *m_prefs, info, nullptr, false, nullptr))
        SetLastRecordingDir(GetRecordingFolder());
}
