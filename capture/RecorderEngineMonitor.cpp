// The monitor thread (cursor sampling, key presses, the auto-pan border blink
// and auto pan, every 40 ms) and the per-frame zoom transition.
#include "capture/RecorderEngine.h"

#include "capture/RecorderWindow.h"
#include "capture/VideoFocusWnd.h"
#include "media/WaveIn.h"
#include "settings/RecorderPrefs.h"

#include <string.h>

UINT AFX_CDECL CRecorderEngine::MonitorThreadProc(LPVOID engine)
{
    return ((CRecorderEngine*)engine)->MonitorThread();
}

// The area of this frame. A change of size with auto-zoom on starts an
// animated transition; the focus frame is hidden asynchronously, because the
// UI thread may be waiting for the area lock held here.
void CRecorderEngine::StepZoomTransition(int* width, int* height, int* left, int* top)
{
    CSingleLock lock(&m_areaLock, TRUE);
    const CaptureArea previous = {*left, *top, *width, *height};
    CaptureArea result = m_requested;
    if (!m_transitionRunning) {
        if (m_prefs->m_autoZoom && !m_prefs->m_timeLapse && !m_requested.SameSize(m_applied)) {
            result = m_applied;
            m_transitionFrom = m_applied;
            const CaptureArea& smaller =
                (m_requested.width * m_requested.height > m_applied.width * m_applied.height) ? m_applied
                                                                                              : m_requested;
            m_transitionShown = RECT{smaller.left + 5, smaller.top + 5, smaller.Right(), smaller.Bottom()};
            if (m_focusFrame && m_focusFrame->GetSafeHwnd())
                ::ShowWindowAsync(m_focusFrame->GetSafeHwnd(), SW_HIDE);
            ::Sleep(100);
            if (m_prefs->m_zoomTransShowRect && m_screenDC) {
                DrawInvertedFrame(m_screenDC, m_transitionShown, 5);
                m_transitionShownDrawn = TRUE;
            }
            m_transitionStart = ::GetTickCount();
            m_panEnabled = FALSE;
            m_transitionRunning = TRUE;
        } else {
            m_panEnabled = TRUE;
        }
    } else {
        const DWORD elapsed = ::GetTickCount() - m_transitionStart;
        const DWORD duration = m_prefs->m_autoZoomSpeed > 0 ? (DWORD)m_prefs->m_autoZoomSpeed : 0;
        if (!ZoomTransitionArea(m_transitionFrom, m_requested, previous, elapsed, duration, &result)) {
            m_transitionRunning = FALSE;
            m_panEnabled = TRUE;
            if (m_transitionShownDrawn && m_screenDC) {
                DrawInvertedFrame(m_screenDC, m_transitionShown, 5);
                m_transitionShownDrawn = FALSE;
            }
            if (!m_prefs->m_autoPan && !m_prefs->m_hideRect && m_focusFrame && m_focusFrame->GetSafeHwnd())
                ::ShowWindowAsync(m_focusFrame->GetSafeHwnd(), SW_SHOWNOACTIVATE);
            result = m_requested;
        }
    }
    *width = result.width;
    *height = result.height;
    *left = result.left;
    *top = result.top;
}

UINT CRecorderEngine::MonitorThread()
{
    HPEN pen = ::CreatePen(PS_SOLID, 5, RGB(255, 255, 255));
    DWORD lastBlink = ::GetTickCount();
    m_monitorThreadId = ::GetCurrentThreadId();
    HDC dc = ::CreateDCA("DISPLAY", NULL, NULL, NULL);
    HGDIOBJ oldPen = NULL;
    HGDIOBJ oldBrush = NULL;
    if (dc) {
        ::SetMapMode(dc, MM_TEXT);
        ::SetROP2(dc, R2_XORPEN);
        oldBrush = ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
        oldPen = ::SelectObject(dc, pen);
    }
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    ::Sleep(40);
    BYTE keys[256];
    BOOL haveKeys = FALSE;

    while (!m_stopRequest) {
        POINT cursor;
        if (IsPaused()) {
            ::Sleep(m_prefs->m_recordOneFrame ? 40 : 500);
            if (::GetCursorPos(&cursor)) {
                CSingleLock lock(&m_areaLock, TRUE);
                m_cursor = cursor;
            }
            continue;
        }

        // Key and button presses: key sounds, and new grabs in grabber mode.
        if (m_grabberMode || (m_prefs->m_recordKeyAudio && m_waveIn && !m_prefs->m_muteAudio)) {
            BYTE now[256];
            if (!haveKeys) {
                haveKeys = ::GetKeyboardState(keys);
            } else if (::GetKeyboardState(now)) {
                BOOL found = FALSE;
                for (int vk = 7; vk < 256 && !found; ++vk)
                    found = now[vk] != keys[vk] && (now[vk] & 0x80);
                if (found && m_prefs->m_recordKeyAudio && !m_effectsSuppressed && !m_prefs->m_muteAudio) {
                    // The capture thread may be replacing the recorder (a new
                    // segment, sound switched on, the end): only under the
                    // audio lock is the pointer a live recorder.
                    CSingleLock audio(&m_audioLock, TRUE);
                    if (m_waveIn)
                        m_waveIn->StartKeySound();
                }
                if (!found && m_grabberMode) {
                    for (int vk = 1; vk <= 6 && !found; ++vk)
                        found = now[vk] != keys[vk] && (now[vk] & 0x80);
                }
                if (found) {
                    if (m_grabberMode) {
                        CSingleLock lock(&m_inputLock, TRUE);
                        m_inputFlag = TRUE;
                    }
                    memcpy(keys, now, sizeof(keys));
                }
            }
        }

        // The border blink of auto pan: drawn and erased with XOR on the screen.
        if (dc && m_prefs->m_autoPan && !m_prefs->m_hideRect && !m_transitionRunning &&
            ::GetTickCount() - lastBlink > 120) {
            CaptureArea area;
            {
                CSingleLock lock(&m_areaLock, TRUE);
                area = m_requested;
            }
            ::Rectangle(dc, area.left - 5, area.top - 5, area.Right() + 5, area.Bottom() + 5);
            ::GdiFlush();
            const DWORD start = ::GetTickCount();
            while (::GetTickCount() - start < 20 && !m_stopRequest)
                ::Sleep(1);
            ::Rectangle(dc, area.left - 5, area.top - 5, area.Right() + 5, area.Bottom() + 5);
            ::GdiFlush();
            lastBlink = ::GetTickCount();
        }

        ::Sleep(40);
        if (!::GetCursorPos(&cursor))
            continue;
        CSingleLock lock(&m_areaLock, TRUE);
        if (m_panEnabled) {
            if (!m_transitionRunning)
                m_cursor = cursor;
            const CaptureArea bounds = {m_desktopLeft, m_desktopTop, m_desktopWidth, m_desktopHeight};
            AutoPanStep(&m_requested, &m_calmCursor, cursor, bounds, m_prefs->m_autoPanSpeed, m_prefs->m_autoPan,
                        m_transitionRunning);
        }
    }

    if (dc) {
        ::SelectObject(dc, oldPen);
        ::SelectObject(dc, oldBrush);
        ::DeleteDC(dc);
    }
    ::DeleteObject(pen);
    ::SetEvent(m_monitorEnded);
    return 0;
}
