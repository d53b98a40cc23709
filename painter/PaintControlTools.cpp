// The drawing tools of the paint control: mouse, keyboard, airbrush timer.
#include "painter/PaintControl.h"

#include "painter/PntTextFmtBar.h"
#include "painter/PntTracker.h"

#include <cmath>
#include <cstdlib>

namespace {

bool KeyHeld(int vk)
{
    return (::GetKeyState(vk) & 0x8000) != 0;
}

}  // namespace

bool CPaintControl::IsShapeTool() const
{
    return m_tool == kLine || (m_tool >= kRectangle && m_tool <= kFilledEllipse);
}

bool CPaintControl::IsStrokeTool() const
{
    return m_tool == kPen || m_tool == kEraser;
}

void CPaintControl::SetTool(int tool)
{
    m_floating = FALSE;
    m_text.Empty();
    m_textBar->ClearText();
    SelectAll();
    if (m_tool == kSelect || m_tool == kText) {
        m_trackerShown = m_savedTracker;
        if (m_hWnd)
            Invalidate();
    }
    m_previousTool = m_tool;
    m_tool = tool;
    SetStatusText(GetToolHint(tool));
    if (tool == kSelect || tool == kText) {
        m_savedTracker = m_trackerShown;
        m_trackerShown = TRUE;
        if (m_hWnd)
            Invalidate();
    }
    Notify(Codes().modeChanged);
    if (tool == kText) {
        m_textBar->Show(this);
        m_floating = TRUE;   // the text block is active
    } else {
        m_textBar->Hide();
    }
}

void CPaintControl::DrawToolShape(int x1, int y1, int x2, int y2)
{
    if (!HasImage())
        return;
    switch (m_tool) {
    case kFill:
        m_image.FloodFill(x1, y1, m_fillColour);
        break;
    case kPen:
    case kLine:
        m_image.DrawLine(x1, y1, x2, y2, m_penWidth, m_foreColour);
        break;
    case kEraser:
        m_image.DrawLine(x1, y1, x2, y2, m_eraserWidth, EraseColour());
        break;
    case kRectangle:
    case kRoundRect:
    case kFilledRect:
    case kFilledRoundRect:
        m_image.DrawRectangle(x1, y1, x2, y2, m_penWidth, m_foreColour,
                              m_tool == kFilledRect || m_tool == kFilledRoundRect,
                              m_tool == kRoundRect || m_tool == kFilledRoundRect);
        break;
    case kEllipse:
    case kFilledEllipse:
        m_image.DrawEllipse(x1, y1, x2, y2, m_penWidth, m_foreColour, m_tool == kFilledEllipse);
        break;
    default:
        break;
    }
}

// One airbrush step. A radius of 0 (pen width 0) sprays the centre point.
void CPaintControl::Spray(CPoint point, int radius)
{
    if (!HasImage() || m_sprayDots <= 0)
        return;
    const double kDegree = 3.14159265358979323846 / 180.0;
    for (int i = 0; i < m_sprayDots; ++i) {
        const double angle = (std::rand() % 360) * kDegree;
        const int r = radius > 0 ? std::rand() % radius : 0;
        const int x = point.x + (int)(std::cos(angle) * r);
        const int y = point.y + (int)(std::sin(angle) * r);
        m_image.DrawDot(x, y, 1, m_foreColour);
    }
}

void CPaintControl::ApplyZoomStep(int step)
{
    if (step < 0)
        return;
    m_zoom = step * 0.01;
    SetCentered(m_centred);
    UpdateScrollBars();
    OnZoomChanged();
    Redraw(TRUE);
}

void CPaintControl::OnLButtonDown(UINT, CPoint point)
{
    Default();
    m_cancelled = FALSE;
    if (GetZoomPercent() == 0 || m_tool == kNoTool || m_tool == kZoom || m_tool == kPicker)
        return;
    const CPoint at = ClientToImage(point);
    m_dragStart = m_lastPoint = at;
    if (m_tool == kSelect || m_tool == kMove || m_tool == kText) {
        CRect area(0, 0, m_image.GetWidth(), m_image.GetHeight());
        area.InflateRect(kBorder, kBorder);
        if (!m_trackerShown || !area.PtInRect(at))
            return;
        CPntTracker tracker(this, point);
        if (m_tool == kMove) {
            SelectAll();
            Redraw();
            return;
        }
        if (m_tool == kText) {
            // A move that failed or was escaped keeps the frame, where the
            // text stays drawn.
            if (TrackText(tracker))
                m_selection = tracker.GetImageRect();
            Redraw();
            if (m_variant == kRecorder)
                SetText(CString(m_text));
            return;
        }
        const BOOL tracked = TrackSelection(tracker);
        if (tracked)
            m_selection = tracker.GetHit() == CRectTracker::hitMiddle ? m_selection : tracker.GetImageRect();
        else
            SelectAll();
        Redraw();
        return;
    }
    m_buttonDown = TRUE;
    if (m_tool == kFill || IsStrokeTool()) {
        PushUndo();
        DrawToolShape(at.x, at.y, at.x, at.y);
        EditDone();
    } else if (m_tool == kAirbrush) {
        PushUndo();
        m_sprayTimerRunning = SetTimer(m_sprayTimer, 1, NULL);
    } else if (IsShapeTool()) {
        if (!SaveBackup())
            return;
        DrawToolShape(at.x, at.y, at.x, at.y);
    }
    Redraw();
}

void CPaintControl::OnMouseMove(UINT flags, CPoint point)
{
    Default();
    if (m_tool == kText && TextBarShown()) {
        const HWND focus = ::GetFocus();
        if (focus != m_textBar->m_hWnd && !::IsChild(m_textBar->m_hWnd, focus))
            m_textBar->FocusText();
    } else if (::GetFocus() != m_hWnd) {
        SetFocus();
    }
    if (!(flags & MK_LBUTTON) || m_cancelled || GetZoomPercent() == 0)
        return;
    if (m_tool == kNoTool || m_tool == kSelect || m_tool == kZoom || m_tool == kFill || m_tool == kPicker ||
        m_tool == kText) {
        if (::GetCapture() == m_hWnd)
            ::ReleaseCapture();
        return;
    }
    if (::GetCapture() != m_hWnd)
        SetCapture();
    const CPoint at = ClientToImage(point);
    if (IsShapeTool()) {
        if (!m_backup || !m_image.CopyFrom(*m_backup))
            return;
        DrawToolShape(m_dragStart.x, m_dragStart.y, at.x, at.y);
    } else if (IsStrokeTool()) {
        DrawToolShape(m_lastPoint.x, m_lastPoint.y, at.x, at.y);
    } else if (m_tool == kAirbrush) {
        Spray(at, m_sprayFactor * m_penWidth);
    } else {
        m_lastPoint = at;
        Redraw();
        return;
    }
    EditDone();
    m_lastPoint = at;
    Redraw();
}

void CPaintControl::OnLButtonUp(UINT, CPoint point)
{
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    m_buttonDown = FALSE;
    const CPoint at = ClientToImage(point);
    if (m_tool == kZoom) {
        ApplyZoomStep(NextZoomStep(-1, KeyHeld(VK_MENU) ? -1 : 1));
    } else if (m_tool == kAirbrush) {
        if (m_sprayTimerRunning) {
            KillTimer(m_sprayTimerRunning);
            m_sprayTimerRunning = 0;
        }
    } else if (GetZoomPercent() != 0 && !m_cancelled) {
        if (IsShapeTool()) {
            if (RestoreBackup(TRUE)) {
                PushUndo();
                DrawToolShape(m_dragStart.x, m_dragStart.y, at.x, at.y);
                EditDone();
                Redraw();
            }
        } else if (m_tool == kPicker) {
            const COLORREF colour = m_image.GetPixel(at.x, at.y);
            if (colour != CLR_INVALID) {
                SetForeColor(colour);
                m_fillColour = colour;
                OnColourSampled();
            }
            SetTool(m_previousTool);
        }
    }
    m_cancelled = FALSE;
    Default();
}

void CPaintControl::OnRButtonUp(UINT, CPoint point)
{
    if (m_tool == kZoom) {
        ApplyZoomStep(NextZoomStep(-1, -1));
    } else if (m_tool == kPicker) {
        const CPoint at = ClientToImage(point);
        const COLORREF colour = m_image.GetPixel(at.x, at.y);
        if (colour != CLR_INVALID) {
            m_transparent = colour;
            if (m_showTransparency)
                Invalidate();
            OnColourSampled();
        }
        SetTool(m_previousTool);
    }
    Default();
}

void CPaintControl::OnTimer(UINT_PTR id)
{
    if (id != m_sprayTimerRunning || id == 0) {
        Default();
        return;
    }
    const DWORD pos = ::GetMessagePos();
    CPoint client((short)LOWORD(pos), (short)HIWORD(pos));
    ScreenToClient(&client);
    Spray(ClientToImage(client), m_sprayFactor * m_penWidth);
    ::InvalidateRect(m_hWnd, NULL, FALSE);
    EditDone();
}

void CPaintControl::OnChar(UINT ch, UINT, UINT)
{
    if (ch == 27 && !m_cancelled) {
        if (m_buttonDown)
            m_cancelled = TRUE;
        if (::GetCapture() == m_hWnd)
            ::ReleaseCapture();
        if (m_tool == kPicker || IsShapeTool()) {
            if (m_backup)
                RestoreBackup(TRUE);
            Redraw(TRUE);
        } else if (m_tool == kAirbrush) {
            if (m_sprayTimerRunning) {
                KillTimer(m_sprayTimerRunning);
                m_sprayTimerRunning = 0;
            }
            if (m_buttonDown)
                Undo();
        } else if (!(m_tool == kText && ClearTextBarTakesTextOut())) {
            Undo();
        }
    } else if (ch != 27 && m_tool == kText && m_floating && TextBarShown()) {
        // Sent on as the character it is, so the first one typed on the
        // picture is not lost.
        const LPARAM lParam = GetCurrentMessage()->lParam;
        m_textBar->FocusText();
        m_textBar->SendMessage(WM_CHAR, ch, lParam);
        return;
    }
    Default();
}

void CPaintControl::OnKeyDown(UINT key, UINT, UINT)
{
    if (key == VK_DELETE && m_tool != kText) {
        PushUndo();
        if (m_image.FillRect(&m_selection, EraseColour())) {
            EditDone();
            Invalidate();
        } else {
            Undo();
        }
        SelectAll();
    } else if (KeyHeld(VK_CONTROL) && !m_buttonDown && (key == 'Z' || key == 'Y')) {
        if (key == 'Z') {
            if (!(m_tool == kText && ClearTextBarTakesTextOut()))
                Undo();
        } else {
            Redo();
        }
        if (m_tool == kText) {
            // The boxes empty without taking anything more out.
            m_text.Empty();
            m_textBar->ClearText();
            return;
        }
    } else if (m_tool == kText && m_floating && TextBarShown()) {
        const LPARAM lParam = GetCurrentMessage()->lParam;
        m_textBar->FocusText();
        m_textBar->SendMessage(WM_KEYDOWN, key, lParam);
        return;
    }
    Default();
}

UINT CPaintControl::OnGetDlgCode()
{
    return (UINT)Default() | DLGC_WANTALLKEYS;
}

BOOL CPaintControl::OnSetCursor(CWnd* pWnd, UINT hitTest, UINT message)
{
    (void)pWnd;
    (void)message;
    if (hitTest != HTCLIENT || m_cancelled || m_tool <= kNoTool || m_tool >= kToolCount)
        return (BOOL)Default();
    if (m_tool == kSelect || m_tool == kMove || m_tool == kText) {
        CRect area = ImageRectToClient(CRect(0, 0, m_image.GetWidth(), m_image.GetHeight()));
        area.InflateRect(kBorder, kBorder);
        POINT cursor;
        ::GetCursorPos(&cursor);
        ::ScreenToClient(m_hWnd, &cursor);
        if (!m_trackerShown || !HasImage() || !area.PtInRect(cursor))
            return (BOOL)Default();
        CPntTracker tracker(this, cursor);
        LPCSTR shape = NULL;
        switch (tracker.HitTest(cursor)) {
        case CRectTracker::hitTopLeft:
        case CRectTracker::hitBottomRight: shape = IDC_SIZENWSE; break;
        case CRectTracker::hitTopRight:
        case CRectTracker::hitBottomLeft: shape = IDC_SIZENESW; break;
        case CRectTracker::hitTop:
        case CRectTracker::hitBottom: shape = IDC_SIZENS; break;
        case CRectTracker::hitLeft:
        case CRectTracker::hitRight: shape = IDC_SIZEWE; break;
        case CRectTracker::hitMiddle: shape = IDC_SIZEALL; break;
        default: break;
        }
        HCURSOR c = shape ? ::LoadCursorA(NULL, shape) : ::LoadCursorA(::GetModuleHandleA(NULL), MAKEINTRESOURCEA(28145));
        ::SetCursor(c ? c : ::LoadCursorA(NULL, IDC_CROSS));
        return TRUE;
    }
    static const UINT kCursors[kToolCount] = { 0,     0,     0,     28148, 28150, 28147, 28151, 28146, 28145,
                                               0,     28149, 28145, 28145, 28145, 28145, 28145, 28145 };
    const UINT id = kCursors[m_tool];
    if (id == 0)
        return (BOOL)Default();
    HCURSOR cursor = ::LoadCursorA(::GetModuleHandleA(NULL), MAKEINTRESOURCEA(id));
    ::SetCursor(cursor ? cursor : ::LoadCursorA(NULL, IDC_CROSS));
    return TRUE;
}
