#include "capture/AreaPicker.h"

#include "capture/SizeCursor.h"
#include "controls/TipDlg.h"
#include "framework/Module.h"
#include "framework/ui/MsgMap.h"
#include "resources/ids_pickers.h"
#include "settings/RecorderPrefs.h"

namespace {

const int kEscapeHotKey = 6;
const char kOverlayClass[] = "VexcapScreenOverlay";
// Areas up to this size are recorded without asking.
const int kLargeAreaWidth = 1024;
const int kLargeAreaHeight = 768;
// The flag-word bit of the large-area question's "do not ask again".
const DWORD kFlagNoLargeAreaQuestion = 0x4000000;

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

BOOL ConfirmLargeCaptureArea(int left, int top, int right, int bottom, CRecorderPrefs* prefs, CWnd* parent)
{
    if (right - left <= kLargeAreaWidth && bottom - top <= kLargeAreaHeight)
        return TRUE;
    if (prefs && (prefs->m_flags & kFlagNoLargeAreaQuestion))
        return TRUE;
    CString caption, title, format, text;
    caption.LoadString(IDS_PICKER_TIP_CAPTION);
    title.LoadString(IDS_LARGE_AREA_TITLE);
    format.LoadString(IDS_LARGE_AREA_TEXT);
    text.Format(format, kLargeAreaWidth, kLargeAreaHeight);
    CTipDlgEx dialog(parent, TRUE);
    dialog.SetCaption(caption);
    dialog.SetTip(title, text);
    const INT_PTR answer = dialog.DoModal();
    if (prefs)
        prefs->SetFlags(kFlagNoLargeAreaQuestion, !dialog.GetShowAgain());
    return answer == IDYES;
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

CScreenOverlayWnd::CScreenOverlayWnd(CRecorderPrefs* prefs, HWND notify, IAreaPickerHost* host)
    : m_screenWidth(::GetSystemMetrics(SM_CXSCREEN)), m_screenHeight(::GetSystemMetrics(SM_CYSCREEN)),
      m_prefs(prefs), m_notify(notify), m_host(host), m_savedCursor(NULL), m_finished(FALSE), m_created(FALSE),
      m_outlineShown(FALSE), m_outline(), m_outlineDepth(1)
{
}

CScreenOverlayWnd::~CScreenOverlayWnd() {}

// The overlay covers the whole virtual desktop, so that the mouse is seen on
// every monitor.
BOOL CScreenOverlayWnd::CreateOverlay()
{
    int x = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
    int y = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
    int width = ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
    int height = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width <= 0 || height <= 0) {
        x = y = 0;
        width = m_screenWidth;
        height = m_screenHeight;
    }
    if (!CreateEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_TRANSPARENT, OverlayClass(), "",
                  WS_POPUP | WS_CLIPCHILDREN, x, y, width, height, NULL, NULL))
        return FALSE;
    return TRUE;
}

int CScreenOverlayWnd::OnCreate(LPCREATESTRUCT /*cs*/)
{
    m_created = TRUE;
    ::ShowWindow(m_hWnd, SW_SHOW);
    ::ClipCursor(NULL);
    m_savedCursor = ::GetCursor();
    HCURSOR cursor = ::LoadCursorA(AfxGetResourceHandle(), MAKEINTRESOURCEA(CursorResource()));
    ::SetCursor(cursor ? cursor : ::LoadCursorA(NULL, IDC_ARROW));
    ::SetCapture(m_hWnd);
    ::RegisterHotKey(m_hWnd, kEscapeHotKey, 0, VK_ESCAPE);
    return 0;
}

void CScreenOverlayWnd::OnDestroy()
{
    HideOutline();
    ::UnregisterHotKey(m_hWnd, kEscapeHotKey);
    if (m_savedCursor)
        ::SetCursor(m_savedCursor);
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
}

// A picker whose creation failed before WM_CREATE stays with its creator,
// which deletes it; every other one deletes itself here.
void CScreenOverlayWnd::PostNcDestroy()
{
    if (m_created)
        delete this;
}

POINT CScreenOverlayWnd::ScreenPoint(CPoint clientPoint) const
{
    POINT point = {clientPoint.x, clientPoint.y};
    ::ClientToScreen(m_hWnd, &point);
    return point;
}

void CScreenOverlayWnd::ShowOutline(const RECT& rect, int depth)
{
    if (m_outlineShown && m_outlineDepth == depth && ::EqualRect(&m_outline, &rect))
        return;
    HDC dc = ::GetDC(NULL);
    if (m_outlineShown)
        DrawXorOutline(dc, m_outline, m_outlineDepth);
    DrawXorOutline(dc, rect, depth);
    ::ReleaseDC(NULL, dc);
    m_outline = rect;
    m_outlineDepth = depth;
    m_outlineShown = TRUE;
}

void CScreenOverlayWnd::HideOutline()
{
    if (!m_outlineShown)
        return;
    HDC dc = ::GetDC(NULL);
    DrawXorOutline(dc, m_outline, m_outlineDepth);
    ::ReleaseDC(NULL, dc);
    m_outlineShown = FALSE;
}

BOOL CScreenOverlayWnd::EndPicker(UINT message, BOOL release)
{
    if (m_finished)
        return FALSE;
    m_finished = TRUE;
    HWND notify = m_notify;
    if (!notify && AfxGetMainWnd())
        notify = AfxGetMainWnd()->GetSafeHwnd();
    IAreaPickerHost* host = release ? m_host : NULL;
    if (message)
        ::PostMessageA(notify, message, 0, 0);
    DestroyWindow();
    if (host)
        host->ReleaseChild();
    return TRUE;
}

void CScreenOverlayWnd::Cancel()
{
    EndPicker(WM_AREA_PICK_CANCELLED, FALSE);
}

void CScreenOverlayWnd::Done()
{
    EndPicker(WM_AREA_PICKED, FALSE);
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
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CRegionPickerWnd::CRegionPickerWnd(CRecorderPrefs* prefs, HWND notify, IAreaPickerHost* host)
    : CScreenOverlayWnd(prefs, notify, host), m_dragging(FALSE), m_buttonDown(FALSE), m_anchor(), m_band(),
      m_sizeCursor(new CSizeCursor)
{
}

CRegionPickerWnd::~CRegionPickerWnd()
{
    delete m_sizeCursor;
}

UINT CRegionPickerWnd::CursorResource() const
{
    return IDC_PICKER_REGION;
}

void CRegionPickerWnd::OnLButtonDown(UINT /*flags*/, CPoint point)
{
    m_anchor = ScreenPoint(point);
    m_buttonDown = TRUE;
    ::SetCapture(m_hWnd);
}

void CRegionPickerWnd::OnMouseMove(UINT flags, CPoint point)
{
    if (!m_buttonDown || !(flags & MK_LBUTTON))
        return;
    m_dragging = TRUE;
    m_band = RubberBand(m_anchor, ScreenPoint(point));
    ShowOutline(m_band, 1);
    m_sizeCursor->Show(m_band.right - m_band.left, m_band.bottom - m_band.top);
}

// A press and release without a move picks nothing: the picker stays open.
void CRegionPickerWnd::OnLButtonUp(UINT /*flags*/, CPoint point)
{
    if (!m_buttonDown)
        return;
    m_buttonDown = FALSE;
    if (!m_dragging)
        return;
    m_band = RubberBand(m_anchor, ScreenPoint(point));
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    Done();
}

void CRegionPickerWnd::OnDestroy()
{
    CScreenOverlayWnd::OnDestroy();
    // The saved cursor is current again; the digits cursor can go.
    m_sizeCursor->Release();
}

void CRegionPickerWnd::Done()
{
    if (m_finished)
        return;
    if (m_prefs) {
        m_prefs->m_pickedArea = m_band;
        m_prefs->m_pickedStartPoint = m_anchor;
        m_prefs->m_pickedWindow = NULL;
    }
    EndPicker(WM_AREA_PICKED, FALSE);
}
