// Grabber mode: a thread of its own copies the screen into its buffer, the
// capture loop asks for a new copy only when a cheap strip test or a key or
// button press says the screen changed, and the copy is limited to the
// windows the user works in.
#include "capture/RecorderEngine.h"

#include "capture/FrameBitmap.h"
#include "capture/ScreenCopy.h"
#include "resources/ids_media.h"
#include "settings/RecorderPrefs.h"

#include <string.h>

UINT AFX_CDECL CRecorderEngine::GrabberThreadProc(LPVOID engine)
{
    return ((CRecorderEngine*)engine)->GrabberThread();
}

namespace {

// Copies a strip of the screen into `out` through a small DIB section.
BOOL SampleStrip(HDC screen, int x, int y, int width, int height, std::vector<BYTE>* out)
{
    if (width <= 0 || height <= 0)
        return FALSE;
    BITMAPINFOHEADER header = {sizeof(BITMAPINFOHEADER), width, height, 1, 32, BI_RGB};
    void* bits = NULL;
    HBITMAP section = ::CreateDIBSection(screen, (BITMAPINFO*)&header, DIB_RGB_COLORS, &bits, NULL, 0);
    if (!section)
        return FALSE;
    HDC dc = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(dc, section);
    ::BitBlt(dc, 0, 0, width, height, screen, x, y, SRCCOPY);
    ::GdiFlush();
    out->assign((const BYTE*)bits, (const BYTE*)bits + (size_t)width * height * 4);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(section);
    return TRUE;
}

}  // namespace

// Once per frame before the grab: TRUE when the two strips through the last
// sampling point changed, or a key or button went down.
BOOL CRecorderEngine::DetectScreenChange(HDC screen)
{
    CaptureArea area;
    POINT cursor;
    {
        CSingleLock lock(&m_areaLock, TRUE);
        area = m_applied;
        cursor = m_cursor;
    }
    const int t = m_stripThickness;
    BOOL changed = FALSE;
    if (!m_grabWaitInfinite) {
        SampleStrip(screen, m_stripPoint.x, area.top, t, area.height, &m_stripSample[0]);
        changed = m_stripSample[0] != m_stripReference[0];
        if (!changed) {
            SampleStrip(screen, area.left, m_stripPoint.y, area.width, t, &m_stripSample[1]);
            changed = m_stripSample[1] != m_stripReference[1];
        }
    }
    m_stripPoint = StripSamplePoint(cursor, area);
    SampleStrip(screen, m_stripPoint.x, area.top, t, area.height, &m_stripReference[0]);
    SampleStrip(screen, area.left, m_stripPoint.y, area.width, t, &m_stripReference[1]);
    CSingleLock lock(&m_inputLock, TRUE);
    if (m_inputFlag) {
        m_inputFlag = FALSE;
        changed = TRUE;
    }
    if (changed)
        ::SetEvent(m_grabRequest);
    return changed;
}

// Asks for a grab when one is forced or the screen changed, waits for it
// (a forced grab without a time-out, otherwise only a poll), and copies the
// grabber's buffer into the frame under the frame lock, so that the copy
// never sees a buffer being written or replaced.
BOOL CRecorderEngine::StartGrabAndWait(BYTE* frameBits, DWORD imageSize)
{
    const BOOL forced = ::InterlockedExchange(&m_grabWaitInfinite, 0) != 0;
    if (forced)
        ::SetEvent(m_grabRequest);
    if (::WaitForSingleObject(m_grabDone, forced ? INFINITE : 0) == WAIT_FAILED) {
        Fail(IDS_WAIT_EVENT_FAILED);
        return FALSE;
    }
    CSingleLock lock(&m_frameLock, TRUE);
    if (m_grabberBits && frameBits && m_grabberImageSize == imageSize)
        memcpy(frameBits, m_grabberBits, imageSize);
    return TRUE;
}

UINT CRecorderEngine::GrabberThread()
{
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
    m_grabberScreenDC = ::CreateDCA("DISPLAY", NULL, NULL, NULL);
    m_grabberDC = m_grabberScreenDC ? ::CreateCompatibleDC(m_grabberScreenDC) : NULL;
    CaptureArea builtFor = {};
    if (::WaitForSingleObject(m_grabRequest, INFINITE) == WAIT_FAILED)
        goto done;
    while (!m_grabberStop) {
        {
            CSingleLock lock(&m_frameLock, TRUE);
            const CaptureArea area = m_grabArea;
            // The buffer follows the frame format and the area's size.
            if (!m_grabberBitmap || !area.SameSize(builtFor)) {
                if (m_grabberBitmap) {
                    ::SelectObject(m_grabberDC, m_grabberOldBitmap);
                    ::DeleteObject(m_grabberBitmap);
                    m_grabberBitmap = NULL;
                    m_grabberBits = NULL;
                }
                if (!m_frameFormat.empty() && m_grabberDC) {
                    void* bits = NULL;
                    m_grabberBitmap = ::CreateDIBSection(m_grabberDC, (const BITMAPINFO*)m_frameFormat.data(),
                                                         DIB_RGB_COLORS, &bits, NULL, 0);
                    m_grabberBits = (BYTE*)bits;
                    if (m_grabberBitmap)
                        m_grabberOldBitmap = ::SelectObject(m_grabberDC, m_grabberBitmap);
                }
                builtFor = area;
                ::InterlockedExchange(&m_fullRedraw, 1);
            }
            if (m_grabberBitmap) {
                const DWORD rop = m_prefs->UseCaptureBlt() ? (SRCCOPY | CAPTUREBLT) : SRCCOPY;
                RECT part = {0, 0, 0, 0};
                BOOL whole = TRUE;
                if (!m_fullRedraw && area.width == m_outputWidth && area.height == m_outputHeight) {
                    RECT fg, under, both;
                    POINT cursor;
                    {
                        CSingleLock areaLock(&m_areaLock, TRUE);
                        cursor = m_cursor;
                    }
                    HWND foreground = ::GetForegroundWindow();
                    HWND pointed = ::WindowFromPoint(cursor);
                    const RECT areaRect = {area.left, area.top, area.Right(), area.Bottom()};
                    if (foreground && pointed && ::GetWindowRect(foreground, &fg) && ::GetWindowRect(pointed, &under)) {
                        ::UnionRect(&both, &fg, &under);
                        RECT changed;
                        if (::IntersectRect(&changed, &both, &areaRect)) {
                            memmove(&m_dirtyHistory[1], &m_dirtyHistory[0], 3 * sizeof(RECT));
                            m_dirtyHistory[0] = changed;
                            part = m_dirtyHistory[0];
                            for (int i = 1; i < 4; ++i)
                                ::UnionRect(&part, &part, &m_dirtyHistory[i]);
                            whole = ::IsRectEmpty(&part);
                        }
                    }
                }
                if (whole) {
                    memset(m_dirtyHistory, 0, sizeof(m_dirtyHistory));
                    if (area.width == m_outputWidth && area.height == m_outputHeight) {
                        CopyScreenArea(m_grabberDC, 0, 0, area.width, area.height, m_grabberScreenDC, area.left,
                                       area.top, rop);
                    } else {
                        ::SetStretchBltMode(m_grabberDC, COLORONCOLOR);
                        ::StretchBlt(m_grabberDC, 0, 0, m_outputWidth, m_outputHeight, m_grabberScreenDC,
                                     area.left, area.top, area.width, area.height, rop);
                    }
                } else {
                    CopyScreenArea(m_grabberDC, part.left - area.left, part.top - area.top, part.right - part.left,
                                   part.bottom - part.top, m_grabberScreenDC, part.left, part.top, rop);
                }
                ::GdiFlush();
                m_grabberImageSize = ((const BITMAPINFOHEADER*)m_frameFormat.data())->biSizeImage;
                ::InterlockedExchange(&m_fullRedraw, 0);
            }
        }
        ::SetEvent(m_grabDone);
        if (::WaitForSingleObject(m_grabRequest, INFINITE) == WAIT_FAILED)
            break;
    }
done:
    if (m_grabberBitmap) {
        CSingleLock lock(&m_frameLock, TRUE);
        ::SelectObject(m_grabberDC, m_grabberOldBitmap);
        ::DeleteObject(m_grabberBitmap);
        m_grabberBitmap = NULL;
        m_grabberBits = NULL;
    }
    if (m_grabberDC)
        ::DeleteDC(m_grabberDC);
    if (m_grabberScreenDC)
        ::DeleteDC(m_grabberScreenDC);
    m_grabberDC = m_grabberScreenDC = NULL;
    ::SetEvent(m_grabberEnded);
    return 0;
}
