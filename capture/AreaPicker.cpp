#include "capture/AreaPicker.h"

#include "framework/ui/MsgMap.h"

namespace {

const int kEscapeHotKey = 6;
const char kOverlayClass[] = "VexcapScreenOverlay";

LPCSTR OverlayClass()
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.style = 0x2028;   // save bits, no close, parent DC
        wc.lpfnWndProc = AfxWndProc;
        wc.hInstance = ::GetModuleHandleA(NULL);
        wc.lpszClassName = kOverlayClass;
        registered = AfxRegisterClass(&wc) != FALSE;
    }
    return kOverlayClass;
}

}  // namespace

void DrawXorOutline(HDC dc, const RECT& rect, int depth)
{
    HPEN pen = ::CreatePen(PS_SOLID, 1, 0xFFFF00);
    HGDIOBJ oldPen = ::SelectObject(dc, pen);
    const int oldRop = ::SetROP2(dc, R2_XORPEN);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width < 2 * depth) {
        for (int x = rect.left; x < rect.right; ++x) {
            ::MoveToEx(dc, x, rect.top, NULL);
            ::LineTo(dc, x, rect.bottom);
        }
    } else if (height < 2 * depth) {
        for (int y = rect.top; y < rect.bottom; ++y) {
            ::MoveToEx(dc, rect.left, y, NULL);
            ::LineTo(dc, rect.right, y);
        }
    } else {
        HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
        for (int i = 0; i < depth; ++i)
            ::Rectangle(dc, rect.left + i, rect.top + i, rect.right - i, rect.bottom - i);
        ::SelectObject(dc, oldBrush);
    }
    ::SetROP2(dc, oldRop);
    ::SelectObject(dc, oldPen);
    ::DeleteObject(pen);
}

RECT RubberBand(POINT anchor, POINT point)
{
    RECT band;
    band.left = anchor.x < point.x ? anchor.x : point.x;
    band.top = anchor.y < point.y ? anchor.y : point.y;
    band.right = (anchor.x > point.x ? anchor.x : point.x) + 1;
    band.bottom = (anchor.y > point.y ? anchor.y : point.y) + 1;
    return band;
}

BEGIN_MESSAGE_MAP(CScreenOverlayWnd, CWnd)
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_WM_CLOSE()
    ON_WM_RBUTTONUP()
    ON_WM_ERASEBKGND()
    ON_WM_KEYDOWN()
    ON_MESSAGE(WM_HOTKEY, OnHotKey)
    ON_MESSAGE(WM_HELP, OnHelp)
END_MESSAGE_MAP()

CScreenOverlayWnd::CScreenOverlayWnd(CRecorderPrefs* prefs, PickedArea* choice, HWND notify)
    : m_screenWidth(::GetSystemMetrics(SM_CXSCREEN)), m_screenHeight(::GetSystemMetrics(SM_CYSCREEN)),
      m_prefs(prefs), m_choice(choice), m_notify(notify), m_savedCursor(NULL), m_finished(FALSE)
{
}

CScreenOverlayWnd::~CScreenOverlayWnd() {}

BOOL CScreenOverlayWnd::CreateOverlay()
{
    return CreateEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_TRANSPARENT, OverlayClass(), "",
                    WS_POPUP | WS_CLIPCHILDREN, 0, 0, m_screenWidth, m_screenHeight, NULL, NULL);
}

int CScreenOverlayWnd::OnCreate(LPCREATESTRUCT /*cs*/)
{
    ::ShowWindow(m_hWnd, SW_SHOW);
    ::ClipCursor(NULL);
    m_savedCursor = ::GetCursor();
    ::SetCursor(::LoadCursorA(NULL, PickerCursor()));
    ::SetCapture(m_hWnd);
    ::RegisterHotKey(m_hWnd, kEscapeHotKey, 0, VK_ESCAPE);
    return 0;
}

void CScreenOverlayWnd::OnDestroy()
{
    ::UnregisterHotKey(m_hWnd, kEscapeHotKey);
    if (m_savedCursor)
        ::SetCursor(m_savedCursor);
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
}

void CScreenOverlayWnd::PostNcDestroy()
{
    delete this;
}

void CScreenOverlayWnd::Cancel()
{
    if (m_finished)
        return;
    m_finished = TRUE;
    ::PostMessageA(m_notify, WM_AREA_PICK_CANCELLED, 0, 0);
    DestroyWindow();
}

void CScreenOverlayWnd::Done()
{
    if (m_finished)
        return;
    m_finished = TRUE;
    ::PostMessageA(m_notify, WM_AREA_PICKED, 0, 0);
    DestroyWindow();
}

void CScreenOverlayWnd::OnClose()
{
    Cancel();
}

void CScreenOverlayWnd::OnRButtonUp(UINT /*flags*/, CPoint /*point*/)
{
    Cancel();
}

BOOL CScreenOverlayWnd::OnEraseBkgnd(CDC* /*dc*/)
{
    return TRUE;   // the screen below shows through
}

LRESULT CScreenOverlayWnd::OnHotKey(WPARAM id, LPARAM /*keys*/)
{
    if (id == kEscapeHotKey)
        Cancel();
    return 0;
}

LRESULT CScreenOverlayWnd::OnHelp(WPARAM, LPARAM)
{
    return TRUE;
}

// Escape also arrives as a key when the hot key could not be registered.
void CScreenOverlayWnd::OnKeyDown(UINT key, UINT /*repeat*/, UINT /*flags*/)
{
    if (key == VK_ESCAPE)
        Cancel();
}

BEGIN_MESSAGE_MAP(CRegionPickerWnd, CScreenOverlayWnd)
    ON_WM_LBUTTONDOWN()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONUP()
END_MESSAGE_MAP()

CRegionPickerWnd::CRegionPickerWnd(CRecorderPrefs* prefs, PickedArea* choice, HWND notify)
    : CScreenOverlayWnd(prefs, choice, notify), m_dragging(FALSE), m_buttonDown(FALSE), m_anchor(), m_band(),
      m_shownBand(), m_bandShown(FALSE)
{
}

void CRegionPickerWnd::ShowBand(const RECT& band)
{
    HDC dc = ::GetDC(NULL);
    if (m_bandShown)
        DrawXorOutline(dc, m_shownBand, 1);
    DrawXorOutline(dc, band, 1);
    ::ReleaseDC(NULL, dc);
    m_shownBand = band;
    m_bandShown = TRUE;
}

void CRegionPickerWnd::OnLButtonDown(UINT /*flags*/, CPoint point)
{
    ::ClientToScreen(m_hWnd, &point);
    m_anchor = point;
    m_buttonDown = TRUE;
    ::SetCapture(m_hWnd);
}

void CRegionPickerWnd::OnMouseMove(UINT flags, CPoint point)
{
    if (!m_buttonDown || !(flags & MK_LBUTTON))
        return;
    ::ClientToScreen(m_hWnd, &point);
    m_dragging = TRUE;
    m_band = RubberBand(m_anchor, point);
    ShowBand(m_band);
}

void CRegionPickerWnd::OnLButtonUp(UINT /*flags*/, CPoint point)
{
    if (!m_buttonDown)
        return;
    m_buttonDown = FALSE;
    if (!m_dragging)
        return;
    ::ClientToScreen(m_hWnd, &point);
    m_band = RubberBand(m_anchor, point);
    Done();
}

void CRegionPickerWnd::Done()
{
    if (m_bandShown) {
        HDC dc = ::GetDC(NULL);
        DrawXorOutline(dc, m_shownBand, 1);
        ::ReleaseDC(NULL, dc);
        m_bandShown = FALSE;
    }
    if (m_choice) {
        m_choice->area = m_band;
        m_choice->startPoint = m_anchor;
    }
    CScreenOverlayWnd::Done();
}
