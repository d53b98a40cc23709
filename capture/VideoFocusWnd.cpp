#include "capture/VideoFocusWnd.h"

#include "framework/ui/DC.h"
#include "framework/ui/MsgMap.h"
#include "capture/RecorderEngine.h"
#include "capture/RecorderWindow.h"

BEGIN_MESSAGE_MAP(CVideoFocusWnd, CWnd)
    ON_WM_PAINT()
    ON_WM_DESTROY()
    ON_WM_CAPTURECHANGED()
    ON_WM_LBUTTONDOWN()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONUP()
    ON_MESSAGE(WM_FOCUS_FRAME_LIT, OnSetLit)
    ON_MESSAGE(WM_FOCUS_FRAME_PLACE, OnPlace)
END_MESSAGE_MAP()

CVideoFocusWnd::CVideoFocusWnd(CRecorderEngine* engine, COLORREF color)
    : m_engine(engine), m_dragging(FALSE), m_lit(TRUE)
{
    m_brush.CreateSolidBrush(color);
}

CVideoFocusWnd::~CVideoFocusWnd()
{
    if (GetSafeHwnd())
        DestroyWindow();
}

BOOL CVideoFocusWnd::CreateFrame(const RECT& area, HCURSOR moveCursor)
{
    LPCTSTR className = AfxRegisterWndClass(CS_DBLCLKS, moveCursor);
    // A pop-up rather than a child of the desktop window: the same top-level
    // tool window on every system.
    return CreateEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, className, "", WS_POPUP, area.left - 5, area.top - 5,
                    area.right - area.left + 10, area.bottom - area.top + 10, NULL, NULL);
}

void CVideoFocusWnd::SetColor(COLORREF color)
{
    m_brush.DeleteObject();
    m_brush.CreateSolidBrush(color);
    if (GetSafeHwnd())
        ::InvalidateRect(m_hWnd, NULL, TRUE);
}

void CVideoFocusWnd::MoveBy(int dx, int dy, int nCmdShow)
{
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(&placement))
        return;
    ::OffsetRect(&placement.rcNormalPosition, dx, dy);
    placement.showCmd = nCmdShow;
    ::SetWindowPlacement(m_hWnd, &placement);
}

HRGN CVideoFocusWnd::CreateBandRegion(int width, int height, int band, BOOL solid)
{
    HRGN region = ::CreateRectRgn(0, 0, width, height);
    HRGN inner = ::CreateRectRgn(band, band, width - band, height - band);
    ::CombineRgn(region, region, inner, RGN_XOR);
    ::DeleteObject(inner);
    if (!solid) {
        // Corner marks: the middle of each side is cut out.
        if (width > 40) {
            HRGN cut = ::CreateRectRgn(30, 0, width - 20, height);
            ::CombineRgn(region, region, cut, RGN_DIFF);
            ::DeleteObject(cut);
        }
        if (height > 40) {
            HRGN cut = ::CreateRectRgn(0, 30, width, height - 20);
            ::CombineRgn(region, region, cut, RGN_DIFF);
            ::DeleteObject(cut);
        }
    }
    return region;
}

BOOL CVideoFocusWnd::PlaceAround(const RECT& area, int width, BOOL solid)
{
    if (!GetSafeHwnd())
        return FALSE;
    const int band = width > 0 ? width : 5;
    const int w = area.right - area.left + 2 * band;
    const int h = area.bottom - area.top + 2 * band;
    if (!::SetWindowPos(m_hWnd, HWND_TOPMOST, area.left - band, area.top - band, w, h,
                        SWP_NOACTIVATE | SWP_HIDEWINDOW))
        return FALSE;
    ::SetWindowRgn(m_hWnd, NULL, FALSE);
    ::SetWindowRgn(m_hWnd, CreateBandRegion(w, h, band, solid), TRUE);
    ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
    return TRUE;
}

void CVideoFocusWnd::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    if (!m_engine || m_lit)
        ::FillRect(dc, &client, (HBRUSH)m_brush.GetSafeHandle());
    else
        ::FillRect(dc, &client, (HBRUSH)::GetStockObject(BLACK_BRUSH));
    ::EndPaint(m_hWnd, &ps);
}

void CVideoFocusWnd::OnDestroy()
{
    m_brush.DeleteObject();
    CWnd::OnDestroy();
}

void CVideoFocusWnd::OnCaptureChanged(CWnd* /*wnd*/)
{
    if (m_dragging)
        ::SetCapture(m_hWnd);
}

void CVideoFocusWnd::OnLButtonDown(UINT /*flags*/, CPoint point)
{
    if (!m_engine)
        return;
    m_dragging = TRUE;
    ::SetCapture(m_hWnd);
    ::ClientToScreen(m_hWnd, &point);
    m_engine->BeginAreaDrag(point.x, point.y);
}

void CVideoFocusWnd::OnMouseMove(UINT /*flags*/, CPoint point)
{
    if (!m_engine || !m_dragging)
        return;
    ::ClientToScreen(m_hWnd, &point);
    m_engine->DragArea(point.x, point.y);
}

void CVideoFocusWnd::OnLButtonUp(UINT /*flags*/, CPoint point)
{
    if (!m_engine)
        return;
    m_dragging = FALSE;
    ::ReleaseCapture();
    ::ClientToScreen(m_hWnd, &point);
    m_engine->EndAreaDrag(point.x, point.y);
    RECT r;
    ::GetWindowRect(m_hWnd, &r);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

// Posted by the engine's capture thread to blink the frame.
LRESULT CVideoFocusWnd::OnSetLit(WPARAM lit, LPARAM)
{
    m_lit = lit != 0;
    ::InvalidateRect(m_hWnd, NULL, TRUE);
    ::UpdateWindow(m_hWnd);
    return 0;
}

// Posted by the capture thread when the frame must come back round the area.
LRESULT CVideoFocusWnd::OnPlace(WPARAM, LPARAM)
{
    if (m_engine)
        m_engine->PlaceFocusFrame();
    return 0;
}
