// The focus frame round the recorded area: its creation and placement, and
// dragging it to move the area (UI thread).
#include "capture/RecorderEngine.h"

#include "capture/VideoFocusWnd.h"
#include "settings/RecorderPrefs.h"

void CRecorderEngine::CreateFocusFrame()
{
    if (!m_moveCursor)
        m_moveCursor = ::LoadCursor(NULL, IDC_SIZEALL);
    if (!m_focusFrame)
        m_focusFrame = new CVideoFocusWnd(this, RGB(0, 255, 0));
    CaptureArea area;
    {
        CSingleLock lock(&m_areaLock, TRUE);
        area = m_requested;
    }
    const RECT rect = {area.left, area.top, area.Right(), area.Bottom()};
    if (!m_focusFrame->GetSafeHwnd())
        m_focusFrame->CreateFrame(rect, m_moveCursor);
    CSingleLock lock(&m_areaLock, TRUE);
    SetCaptureArea(area.left, area.top, area.width, area.height, FALSE);
}

// The caller holds the area lock. A growing area hides the frame first and,
// while recording with the frame visible, waits so that the hidden frame is
// out of the picture before the larger area is grabbed.
void CRecorderEngine::SetCaptureArea(int left, int top, int width, int height, BOOL wait)
{
    HWND frame = m_focusFrame ? m_focusFrame->GetSafeHwnd() : NULL;
    if (frame)
        ::SetWindowPos(frame, HWND_TOPMOST, left - 5, top - 5, width + 10, height + 10,
                       SWP_HIDEWINDOW | SWP_NOACTIVATE);
    if (wait && !IsPaused() && !PreferencesHideFrame()) {
        m_areaLock.Unlock();
        ::Sleep(700);
        m_areaLock.Lock();
    }
    if (frame) {
        ::SetWindowRgn(frame, NULL, FALSE);
        ::SetWindowRgn(frame, CVideoFocusWnd::CreateBandRegion(width + 10, height + 10, 5, m_prefs->m_solidRect),
                       TRUE);
        if (IsPaused() || !PreferencesHideFrame())
            ::ShowWindow(frame, SW_SHOWNOACTIVATE);
    }
    m_previousArea = m_requested;
    m_requested.left = left;
    m_requested.top = top;
    m_requested.width = width;
    m_requested.height = height;
}

void CRecorderEngine::BeginAreaDrag(int x, int y)
{
    m_draggingArea = TRUE;
    if (m_focusFrame)
        m_focusFrame->ShowWindow(SW_HIDE);
    ::Sleep(500);
    CaptureArea area = GetRequestedArea();
    HDC dc = ::CreateDCA("DISPLAY", NULL, NULL, NULL);
    if (dc) {
        const RECT r = {area.left, area.top, area.Right(), area.Bottom()};
        DrawInvertedFrame(dc, r, 5);
        ::DeleteDC(dc);
    }
    m_dragStartArea = area;
    m_dragStart.x = m_dragLast.x = x;
    m_dragStart.y = m_dragLast.y = y;
}

void CRecorderEngine::DragArea(int x, int y)
{
    const CaptureArea bounds = {m_desktopLeft, m_desktopTop, m_desktopWidth, m_desktopHeight};
    HDC dc = ::CreateDCA("DISPLAY", NULL, NULL, NULL);
    CSingleLock lock(&m_areaLock, TRUE);
    RECT r = {m_requested.left, m_requested.top, m_requested.Right(), m_requested.Bottom()};
    if (dc)
        DrawInvertedFrame(dc, r, 5);
    const POINT now = {x, y};
    DragAreaTo(&m_requested, m_dragLast, now, bounds);
    m_dragLast = now;
    r = {m_requested.left, m_requested.top, m_requested.Right(), m_requested.Bottom()};
    if (dc) {
        DrawInvertedFrame(dc, r, 5);
        ::DeleteDC(dc);
    }
}

void CRecorderEngine::EndAreaDrag(int x, int y)
{
    const CaptureArea bounds = {m_desktopLeft, m_desktopTop, m_desktopWidth, m_desktopHeight};
    CaptureArea area;
    {
        CSingleLock lock(&m_areaLock, TRUE);
        HDC dc = ::CreateDCA("DISPLAY", NULL, NULL, NULL);
        if (dc) {
            const RECT r = {m_requested.left, m_requested.top, m_requested.Right(), m_requested.Bottom()};
            DrawInvertedFrame(dc, r, 5);
            ::DeleteDC(dc);
        }
        const POINT now = {x, y};
        DragAreaTo(&m_requested, m_dragLast, now, bounds);
        m_dragLast = now;
        area = m_requested;
    }
    if (m_focusFrame) {
        m_focusFrame->MoveBy(area.left - m_dragStartArea.left, area.top - m_dragStartArea.top, SW_HIDE);
        if (IsPaused() || !PreferencesHideFrame())
            m_focusFrame->ShowWindow(SW_SHOWNOACTIVATE);
    }
    m_draggingArea = FALSE;
}

void CRecorderEngine::DrawInvertedFrame(HDC dc, const RECT& r, int w)
{
    const int width = r.right - r.left + 2 * w;
    ::PatBlt(dc, r.left - w, r.top - w, width, w, DSTINVERT);
    ::PatBlt(dc, r.left - w, r.top, w, r.bottom - r.top, DSTINVERT);
    ::PatBlt(dc, r.right, r.top, w, r.bottom - r.top, DSTINVERT);
    ::PatBlt(dc, r.left - w, r.bottom, width, w, DSTINVERT);
}

void CRecorderEngine::PlaceFocusFrame()
{
    CSingleLock lock(&m_areaLock, TRUE);
    const CaptureArea area = m_requested;
    SetCaptureArea(area.left, area.top, area.width, area.height, FALSE);
    if (m_focusFrame && m_focusFrame->GetSafeHwnd())
        m_focusFrame->ShowWindow(SW_SHOWNOACTIVATE);
}
