#include "painter/PaintControl.h"

#include "framework/FloatRound.h"
#include "framework/WinApp.h"
#include "controls/Dib.h"
#include "framework/ui/FrameWnd.h"
#include "painter/PntBitmapSizeDlg.h"
#include "painter/PntTextFmtBar.h"
#include "painter/PntTracker.h"
#include "resources/ids_painter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

const char CPaintControl::kClassName[] = "MFCPaintCtrl";

namespace {

const int kZoomTable[] = { 10, 50, 100, 200, 300, 400, 500, 600 };

// Status texts of the catalogue's twin, by tool.
const char* const kToolHints[CPaintControl::kToolCount] = {
    "",
    "Adjusts the selection rectangle for the image.",
    "Drag and drop the selected area within the image.",
    "Increases or decreases the magnification of the image.",
    "Fills an area.",
    "Draws using a pen with the current width.",
    "Erases using an eraser with the current width.",
    "Select a colour from the image",
    "Draws a line using the current pen width and colour.",
    "Draws text using the current pen colour.",
    "Paints with the airbrush in the current colour.",
    "Draws a rectangle using the current pen width and colour.",
    "Draws a rounded rectangle using the current pen width and colour.",
    "Draws an ellipse using the current pen width and colour.",
    "Draws a filled rectangle using the current pen width and colour.",
    "Draws a filled rounded rectangle using the current pen width and colour.",
    "Draws a filled ellipse using the current pen width and colour.",
};

// The recorder's twin takes its status texts from string 188 + tool.
const UINT kFirstToolHintString = IDS_PNT_TOOL_HINT_FIRST;

const UINT kIdEditUndo = 57643;
const UINT kIdEditRedo = 57644;
const UINT kIdEditCopy = 57634;
const UINT kIdEditCut = 57635;
const UINT kIdEditPaste = 57637;

// Guards UpdateScrollBars against re-entry through the WM_SIZE that a
// scroll bar appearing or going away sends (shared by all controls).
bool g_inScrollUpdate = false;

}  // namespace

BEGIN_MESSAGE_MAP(CPaintControl, CWnd)
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
    ON_WM_SIZE()
    ON_WM_DESTROY()
    ON_WM_LBUTTONDOWN()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONUP()
    ON_WM_RBUTTONUP()
    ON_WM_TIMER()
    ON_WM_CHAR()
    ON_WM_KEYDOWN()
    ON_WM_GETDLGCODE()
    ON_WM_SETCURSOR()
    ON_WM_HSCROLL()
    ON_WM_VSCROLL()
    ON_COMMAND(kIdEditUndo, OnEditUndo)
    ON_COMMAND(kIdEditRedo, OnEditRedo)
    ON_COMMAND(kIdEditCopy, OnEditCopy)
    ON_COMMAND(kIdEditCut, OnEditCut)
    ON_COMMAND(kIdEditPaste, OnEditPaste)
END_MESSAGE_MAP()

const CPaintControl::NotifyCodes& CPaintControl::Codes()
{
    static const NotifyCodes codes = {
        ::RegisterWindowMessageA("_PAINT_CONTROL_IMAGE_CHANGED_"),
        ::RegisterWindowMessageA("_PAINT_CONTROL_MAG_CHANGED_"),
        ::RegisterWindowMessageA("_PAINT_CONTROL_COLOUR_SAMPLER"),
        ::RegisterWindowMessageA("_PAINT_CONTROL_MODE_CHANGED"),
    };
    return codes;
}

BOOL CPaintControl::RegisterPaintCtrlClass()
{
    WNDCLASSA wc = {};
    HINSTANCE instance = ::GetModuleHandleA(NULL);
    if (::GetClassInfoA(instance, kClassName, &wc))
        return TRUE;
    wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    return ::RegisterClassA(&wc) != 0;
}

CPaintControl::CPaintControl(Variant variant)
    : m_variant(variant), m_historyPos(-1), m_vRange(0), m_hRange(0), m_tool(kNoTool), m_previousTool(kNoTool),
      m_foreColour(RGB(0, 0, 0)), m_fillColour(RGB(0, 0, 0)), m_transparent(kNoColour), m_eraserWidth(4),
      m_penWidth(1), m_trackerShown(FALSE), m_savedTracker(FALSE), m_showTransparency(FALSE), m_origin(0, 0),
      m_margin(kBorder, kBorder), m_borderSize(kBorder, kBorder), m_dragStart(0, 0), m_lastPoint(0, 0),
      m_cancelled(FALSE), m_buttonDown(FALSE), m_grid(TRUE), m_gridMinPercent(600), m_gridWholeOnly(TRUE),
      m_centred(FALSE), m_floating(FALSE), m_sprayTimer(1), m_sprayTimerRunning(0), m_sprayFactor(4),
      m_sprayDots(10), m_zoom(1.0), m_scaleX(100.0), m_scaleY(100.0),
      m_textFormat(DT_WORDBREAK | DT_NOPREFIX), m_modified(FALSE), m_selection(0, 0, 0, 0),
      m_sourceRect(0, 0, 0, 0), m_cutOnMove(FALSE), m_pastePalette(TRUE)
{
    if (variant == kRecorder)
        m_textBar.reset(new MyCPntTextFmtBar);
    else
        m_textBar.reset(new CPntTextFmtBar(CPntTextFmtBar::kCatalogue));
    RegisterPaintCtrlClass();
    SelectAll();
    LOGFONT system;
    if (::GetObjectA(::GetStockObject(SYSTEM_FONT), sizeof(system), &system))
        m_textFont.CreateFontIndirect(&system);
}

CPaintControl::~CPaintControl()
{
    m_textBar.reset();
    m_backup.reset();
    ClearHistory();
    if (m_hWnd)
        DestroyWindow();
}

BOOL CPaintControl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CWnd::Create(kClassName, "", style, rect, parent, id);
}

// --- The image -------------------------------------------------------------

BOOL CPaintControl::CreateImage(int width, int height, UINT planes, UINT bitCount, const void* bits,
                                const LOGPALETTE* palette)
{
    const BOOL made = m_image.Create(width, height, planes, bitCount, bits, palette);
    ResetImage();
    return made;
}

BOOL CPaintControl::SetBitmap(HBITMAP bitmap)
{
    const BOOL made = m_image.CreateFromBitmap(bitmap);
    ResetImage();
    return made;
}

BOOL CPaintControl::SetImage(const CDib* dib)
{
    BOOL made;
    if (!dib || dib->IsEmpty() || !dib->GetInfoHeader() || !dib->GetBits()) {
        m_image.Release();
        made = dib == NULL;
    } else {
        made = m_image.CreateFromInfo(reinterpret_cast<const BITMAPINFO*>(dib->GetInfoHeader()), dib->GetBits());
    }
    ResetImage();
    return made;
}

BOOL CPaintControl::CopyImageTo(CDib* dib)
{
    if (!dib || !HasImage())
        return FALSE;
    HDC screen = ::GetDC(NULL);
    HDC mem = ::CreateCompatibleDC(screen);
    ::ReleaseDC(NULL, screen);
    if (!mem)
        return FALSE;
    HPALETTE oldPal = NULL;
    if ((::GetDeviceCaps(mem, RASTERCAPS) & RC_PALETTE) && m_image.GetPalette()) {
        oldPal = ::SelectPalette(mem, (HPALETTE)m_image.GetPalette()->GetSafeHandle(), FALSE);
        ::RealizePalette(mem);
    }
    m_image.ReleaseMemDC();
    CDC dc;
    dc.Attach(mem);
    CBitmap section;
    section.Attach(m_image.GetSafeHandle());
    const BOOL ok = dib->CreateFromBitmap(&dc, &section, m_image.GetBitCount(), FALSE) && !dib->IsEmpty();
    section.Detach();
    dc.Detach();
    if (oldPal)
        ::SelectPalette(mem, oldPal, FALSE);
    ::DeleteDC(mem);
    return ok;
}

void CPaintControl::ResetImage()
{
    m_modified = FALSE;
    ClearHistory();
    SelectAll();
    UpdateScrollBars();
    if (m_hWnd)
        Invalidate();
}

BOOL CPaintControl::NewImageDialog(int width, int height, int bitsPerPixel)
{
    if (width < 0)
        width = 100;
    if (height < 0)
        height = 100;
    if (bitsPerPixel < 0) {
        bitsPerPixel = 8;
        if (HDC display = ::CreateDCA("DISPLAY", NULL, NULL, NULL)) {
            bitsPerPixel = ::GetDeviceCaps(display, BITSPIXEL);
            ::DeleteDC(display);
        }
    }
    CPntBitmapSizeDlg dlg(m_hWnd ? this : NULL);
    dlg.SetValues(width, height, bitsPerPixel);
    if (dlg.DoModal() != IDOK)
        return FALSE;
    return CreateImage(dlg.m_width, dlg.m_height, 1, (UINT)dlg.GetBits());
}

// A crop or resize that cannot be made takes its snapshot back and leaves
// the picture as it was.
BOOL CPaintControl::Crop()
{
    if (!HasImage())
        return NewImageDialog();
    CPntBitmapSizeDlg dlg(this);
    dlg.SetValues(m_image.GetWidth(), m_image.GetHeight(), m_image.GetBitCount());
    const CRect whole(0, 0, m_image.GetWidth(), m_image.GetHeight());
    dlg.m_cropAllowed = m_trackerShown && m_selection != whole && !m_selection.IsRectEmpty();
    dlg.m_crop = dlg.m_cropAllowed;
    if (dlg.DoModal() != IDOK)
        return FALSE;
    PushUndo();
    const int pushed = (int)m_history.size();
    CPoint origin(0, 0);
    int width = dlg.m_width, height = dlg.m_height;
    if (dlg.m_crop && dlg.m_cropAllowed) {
        origin = m_selection.TopLeft();
        width = m_selection.Width();
        height = m_selection.Height();
    }
    if (!m_image.ChangeFormat(width, height, 1, (UINT)dlg.GetBits(), &origin)) {
        if (m_historyPos < 0 && (int)m_history.size() == pushed && pushed > 0)
            m_history.pop_back();
        return FALSE;
    }
    EditDone();
    UpdateScrollBars();
    SelectAll();
    if (m_hWnd)
        Invalidate();
    return TRUE;
}

// --- The view --------------------------------------------------------------

void CPaintControl::SetZoom(int percent)
{
    m_zoom = RoundToDouble(percent * 0.01);
    SetCentered(m_centred);
    UpdateScrollBars();
    OnZoomChanged();
    if (m_hWnd)
        Invalidate();
}

// The zoom in whole percent. A zoom set as a whole percent comes back as that
// percent: 0.29 x 100 is a hair under 29 in binary, so a truncation alone
// would give 28.
int CPaintControl::GetZoomPercent() const
{
    return (int)std::floor(RoundToDouble(m_zoom * 100.0) + 1e-6);
}

int CPaintControl::NextZoomStep(int percent, int direction) const
{
    if (percent < 0)
        percent = GetZoomPercent();
    if (direction > 0) {
        for (int step : kZoomTable)
            if (step > percent)
                return step;
        return -1;
    }
    for (int i = (int)(sizeof(kZoomTable) / sizeof(kZoomTable[0])) - 1; i >= 0; --i)
        if (kZoomTable[i] < percent)
            return kZoomTable[i];
    return -1;
}

void CPaintControl::ZoomToFit()
{
    if (!HasImage() || !m_hWnd)
        return;
    CRect client;
    GetClientRect(&client);
    const DWORD style = GetStyle();
    if (style & WS_VSCROLL)
        client.right += ::GetSystemMetrics(SM_CXVSCROLL);
    if (style & WS_HSCROLL)
        client.bottom += ::GetSystemMetrics(SM_CYHSCROLL);
    const double fx = (double)(client.Width() - 2 * m_borderSize.x - 1) / (m_image.GetWidth() + m_origin.x);
    const double fy = (double)(client.Height() - 2 * m_borderSize.y - 1) / (m_image.GetHeight() + m_origin.y);
    m_zoom = RoundToDouble(std::max(0.0, std::min(fx, fy)));
    UpdateScrollBars();
    SetCentered(m_centred);
    OnZoomChanged();
    Invalidate();
}

CSize CPaintControl::GetViewSize() const
{
    return CSize((int)RoundToDouble((m_image.GetWidth() + m_origin.x) * FactorX()) + 2 * m_borderSize.x,
                 (int)RoundToDouble((m_image.GetHeight() + m_origin.y) * FactorY()) + 2 * m_borderSize.y);
}

void CPaintControl::SetCentered(BOOL centred)
{
    m_centred = centred;
    m_margin = m_borderSize;
    if (!centred || !m_hWnd)
        return;
    CRect client;
    GetClientRect(&client);
    const CSize view = GetViewSize();
    m_margin.x = std::max(0, (int)((client.Width() - view.cx) / 2)) + m_borderSize.x;
    m_margin.y = std::max(0, (int)((client.Height() - view.cy) / 2)) + m_borderSize.y;
}

void CPaintControl::SetGrid(BOOL on, int minPercent)
{
    m_grid = on;
    m_gridMinPercent = minPercent;
    if (m_hWnd)
        Invalidate();
}

void CPaintControl::ShowTransparency(BOOL show)
{
    m_showTransparency = show;
    if (m_hWnd)
        Invalidate();
}

void CPaintControl::SetTransparentColor(COLORREF colour)
{
    m_transparent = colour;
    if (m_showTransparency && m_hWnd)
        Invalidate();
}

double CPaintControl::FactorX() const
{
    if (m_variant == kRecorder && GetZoomPercent() == 100)
        return m_scaleX > 0 ? RoundToDouble(m_scaleX * 0.01) : 0.0;
    return m_zoom;
}

double CPaintControl::FactorY() const
{
    if (m_variant == kRecorder && GetZoomPercent() == 100)
        return m_scaleY > 0 ? RoundToDouble(m_scaleY * 0.01) : 0.0;
    return m_zoom;
}

CPoint CPaintControl::ImageToClient(CPoint p) const
{
    int sx = 0, sy = 0;
    if (m_hWnd) {
        if (m_hRange >= 1)
            sx = ::GetScrollPos(m_hWnd, SB_HORZ);
        if (m_vRange >= 1)
            sy = ::GetScrollPos(m_hWnd, SB_VERT);
    }
    return CPoint((int)RoundToDouble((p.x + m_origin.x) * FactorX()) + m_margin.x - sx,
                  (int)RoundToDouble((p.y + m_origin.y) * FactorY()) + m_margin.y - sy);
}

// A factor of 0 (a zoom of 0, or a display scale of 0 or less read from a
// library file) maps every point to the image's corner; nothing divides by it.
CPoint CPaintControl::ClientToImage(CPoint p) const
{
    const double fx = FactorX(), fy = FactorY();
    if (fx <= 0.0 || fy <= 0.0)
        return CPoint(0, 0);
    if (m_hWnd) {
        if (m_hRange >= 1)
            p.x += ::GetScrollPos(m_hWnd, SB_HORZ);
        if (m_vRange >= 1)
            p.y += ::GetScrollPos(m_hWnd, SB_VERT);
    }
    return CPoint((int)RoundToDouble((p.x - m_margin.x) / fx) - m_origin.x,
                  (int)RoundToDouble((p.y - m_margin.y) / fy) - m_origin.y);
}

CRect CPaintControl::ImageRectToClient(const CRect& r) const
{
    const CPoint tl = ImageToClient(r.TopLeft());
    const CPoint br = ImageToClient(r.BottomRight());
    return CRect(tl.x, tl.y, br.x, br.y);
}

void CPaintControl::UpdateScrollBars()
{
    if (!m_hWnd || g_inScrollUpdate)
        return;
    g_inScrollUpdate = true;
    CRect client;
    GetClientRect(&client);
    SCROLLINFO si = { sizeof(si) };
    si.fMask = SIF_PAGE;
    si.nPage = (UINT)client.Width();
    ::SetScrollInfo(m_hWnd, SB_HORZ, &si, FALSE);
    si.nPage = (UINT)client.Height();
    ::SetScrollInfo(m_hWnd, SB_VERT, &si, FALSE);
    int hRange = 0, vRange = 0;
    if (HasImage()) {
        const DWORD style = GetStyle();
        int cw = client.Width() + ((style & WS_VSCROLL) ? ::GetSystemMetrics(SM_CXVSCROLL) : 0);
        int ch = client.Height() + ((style & WS_HSCROLL) ? ::GetSystemMetrics(SM_CYHSCROLL) : 0);
        const CSize view = GetViewSize();
        bool vertical = false;
        if (ch <= view.cy) {
            vertical = true;
            vRange = view.cy;
            cw -= ::GetSystemMetrics(SM_CXVSCROLL);
        }
        if (cw <= view.cx) {
            hRange = view.cx;
            if (!vertical) {
                ch -= ::GetSystemMetrics(SM_CYHSCROLL);
                if (ch <= view.cy)
                    vRange = view.cy;
            }
        }
    }
    m_hRange = hRange;
    m_vRange = vRange;
    ::SetScrollRange(m_hWnd, SB_HORZ, 0, hRange, TRUE);
    ::SetScrollRange(m_hWnd, SB_VERT, 0, vRange, TRUE);
    g_inScrollUpdate = false;
}

void CPaintControl::ScrollAxis(int bar, UINT code, UINT pos)
{
    CRect client;
    GetClientRect(&client);
    const int extent = bar == SB_HORZ ? client.Width() : client.Height();
    if (extent <= 0)
        return;
    const int range = bar == SB_HORZ ? m_hRange : m_vRange;
    const int old = ::GetScrollPos(m_hWnd, bar);
    int now = old;
    const int line = extent / 10;
    switch (code) {
    case SB_LINEUP: now = std::max(0, old - line); break;
    case SB_LINEDOWN: now = old < range ? std::min(range, old + line) : old; break;
    case SB_PAGEUP: now = std::max(0, old - extent); break;
    case SB_PAGEDOWN: now = std::min(range, old + extent); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: now = (int)pos; break;
    case SB_TOP: now = 0; break;
    case SB_BOTTOM: now = range; break;
    default: return;
    }
    ::SetScrollPos(m_hWnd, bar, now, TRUE);
    if (code == SB_LINEUP || code == SB_LINEDOWN) {
        if (now != old) {
            if (bar == SB_HORZ)
                ScrollWindow(old - now, 0);
            else
                ScrollWindow(0, old - now);
        }
    } else {
        Invalidate();
    }
}

void CPaintControl::OnHScroll(UINT code, UINT pos, CScrollBar*)
{
    ScrollAxis(SB_HORZ, code, pos);
    Default();
}

void CPaintControl::OnVScroll(UINT code, UINT pos, CScrollBar*)
{
    ScrollAxis(SB_VERT, code, pos);
    Default();
}

void CPaintControl::OnSize(UINT, int, int)
{
    Default();
    SetCentered(m_centred);
    UpdateScrollBars();
}

void CPaintControl::OnDestroy()
{
    if (m_textBar && m_textBar->m_hWnd)
        m_textBar->DestroyWindow();
    if (m_sprayTimerRunning) {
        KillTimer(m_sprayTimerRunning);
        m_sprayTimerRunning = 0;
    }
    Default();
}

// --- Painting --------------------------------------------------------------

void CPaintControl::DrawImageTo(CDC* pDC)
{
    OnBeforeDrawImage(pDC);
    const CRect r = ImageRectToClient(CRect(0, 0, m_image.GetWidth(), m_image.GetHeight()));
    const bool keyed = m_showTransparency && m_transparent != kNoColour;
    if (m_variant == kRecorder && GetZoomPercent() == 100) {
        const int w = (int)std::floor(RoundToDouble(m_image.GetWidth() * FactorX()));
        const int h = (int)std::floor(RoundToDouble(m_image.GetHeight() * FactorY()));
        if (keyed)
            m_image.StretchTransparent(pDC, r.left, r.top, w, h, m_transparent);
        else
            m_image.Stretch(pDC, r.left, r.top, w, h);
        DrawTextLayer(pDC, r);
    } else if (GetZoomPercent() == 100) {
        if (keyed)
            m_image.DrawTransparent(pDC, r.left, r.top, m_transparent);
        else
            m_image.Draw(pDC, r.left, r.top);
    } else if (keyed) {
        m_image.StretchTransparent(pDC, r.left, r.top, r.Width() + 1, r.Height() + 1, m_transparent);
    } else {
        m_image.Stretch(pDC, r.left, r.top, r.Width() + 1, r.Height() + 1);
    }
    DrawGrid(pDC);
}

void CPaintControl::DrawFrame(CDC* pDC, const CRect& clientRect)
{
    CRect r = clientRect;
    r.NormalizeRect();
    r.InflateRect(1, 1);
    HPEN pen = ::CreatePen(PS_DOT, 0, 0x02FF0000);
    HGDIOBJ oldPen = ::SelectObject(pDC->m_hDC, pen);
    HGDIOBJ oldBrush = ::SelectObject(pDC->m_hDC, ::GetStockObject(NULL_BRUSH));
    const int oldRop = ::SetROP2(pDC->m_hDC, R2_COPYPEN);
    ::Rectangle(pDC->m_hDC, r.left, r.top, r.right, r.bottom);
    ::SelectObject(pDC->m_hDC, ::GetStockObject(WHITE_PEN));
    ::SelectObject(pDC->m_hDC, ::GetStockObject(BLACK_BRUSH));
    const int h = kBorder;
    const int xs[3] = { r.left - h, (r.left + r.right - h) / 2, r.right };
    const int ys[3] = { r.top - h, (r.top + r.bottom - h) / 2, r.bottom };
    for (int iy = 0; iy < 3; ++iy)
        for (int ix = 0; ix < 3; ++ix)
            if (ix != 1 || iy != 1)
                ::Rectangle(pDC->m_hDC, xs[ix], ys[iy], xs[ix] + h, ys[iy] + h);
    ::SetROP2(pDC->m_hDC, oldRop);
    ::SelectObject(pDC->m_hDC, oldBrush);
    ::SelectObject(pDC->m_hDC, oldPen);
    ::DeleteObject(pen);
}

void CPaintControl::DrawGrid(CDC* pDC)
{
    const int percent = GetZoomPercent();
    if (!m_grid || percent < m_gridMinPercent || percent < 200)
        return;
    if (m_gridWholeOnly && percent % 100 != 0)
        return;
    const WORD rows[8] = { 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555 };
    HBITMAP pattern = ::CreateBitmap(8, 8, 1, 1, rows);
    HBRUSH brush = ::CreatePatternBrush(pattern);
    const HDC dc = pDC->m_hDC;
    HGDIOBJ oldBrush = ::SelectObject(dc, brush);
    const COLORREF oldText = ::SetTextColor(dc, ::GetSysColor(COLOR_BTNFACE));
    const COLORREF oldBk = ::SetBkColor(dc, ::GetSysColor(COLOR_BTNSHADOW));
    const CRect r = ImageRectToClient(CRect(0, 0, m_image.GetWidth(), m_image.GetHeight()));
    for (int i = 0; i <= m_image.GetWidth(); ++i)
        ::PatBlt(dc, (int)((LONGLONG)i * percent / 100) + r.left, r.top, 1, r.Height(), PATCOPY);
    for (int i = 0; i <= m_image.GetHeight(); ++i)
        ::PatBlt(dc, r.left, (int)((LONGLONG)i * percent / 100) + r.top, r.Width(), 1, PATCOPY);
    ::SetBkColor(dc, oldBk);
    ::SetTextColor(dc, oldText);
    ::SelectObject(dc, oldBrush);
    ::DeleteObject(brush);
    ::DeleteObject(pattern);
}

void CPaintControl::OnPaint()
{
    CPaintDC dc(this);
    if (!HasImage())
        return;
    CRect clip;
    if (dc.GetClipBox(&clip) == ERROR || clip.IsRectEmpty())
        return;
    HDC mem = ::CreateCompatibleDC(dc.m_hDC);
    HBITMAP offscreen = ::CreateCompatibleBitmap(dc.m_hDC, clip.Width(), clip.Height());
    if (!mem || !offscreen) {
        if (mem)
            ::DeleteDC(mem);
        if (offscreen)
            ::DeleteObject(offscreen);
        return;
    }
    HGDIOBJ old = ::SelectObject(mem, offscreen);
    ::SetViewportOrgEx(mem, -clip.left, -clip.top, NULL);
    CDC memDC;
    memDC.Attach(mem);
    ::FillRect(mem, &clip, ::GetSysColorBrush(COLOR_APPWORKSPACE));
    DrawImageTo(&memDC);
    if (m_tool != kSelect && m_tool != kText)
        DrawFrame(&memDC, ImageRectToClient(CRect(0, 0, m_image.GetWidth(), m_image.GetHeight())));
    if (m_trackerShown)
        DrawFrame(&memDC, ImageRectToClient(m_selection));
    memDC.Detach();
    ::SetViewportOrgEx(mem, 0, 0, NULL);
    ::BitBlt(dc.m_hDC, clip.left, clip.top, clip.Width(), clip.Height(), mem, 0, 0, SRCCOPY);
    ::SelectObject(mem, old);
    ::DeleteObject(offscreen);
    ::DeleteDC(mem);
}

// Fills the bands around the image only, so the image itself never flickers.
BOOL CPaintControl::OnEraseBkgnd(CDC* pDC)
{
    CRect clip;
    if (!pDC || pDC->GetClipBox(&clip) == ERROR)
        return TRUE;
    HBRUSH brush = ::GetSysColorBrush(COLOR_APPWORKSPACE);
    if (!HasImage()) {
        ::FillRect(pDC->m_hDC, &clip, brush);
        return TRUE;
    }
    const CRect r = ImageRectToClient(CRect(0, 0, m_image.GetWidth(), m_image.GetHeight()));
    const RECT bands[4] = {
        { clip.left, clip.top, clip.right, r.top },
        { clip.left, r.top, r.left, r.bottom },
        { r.right, r.top, clip.right, r.bottom },
        { clip.left, r.bottom, clip.right, clip.bottom },
    };
    for (const RECT& band : bands)
        if (band.right > band.left && band.bottom > band.top)
            ::FillRect(pDC->m_hDC, &band, brush);
    return TRUE;
}

// --- Notifications and hooks -----------------------------------------------

void CPaintControl::Notify(UINT code)
{
    if (!m_hWnd)
        return;
    HWND target = ::GetWindow(m_hWnd, GW_OWNER);
    if (!target)
        target = ::GetParent(m_hWnd);
    if (!target || !::IsWindow(target))
        return;
    NMHDR hdr;
    hdr.hwndFrom = m_hWnd;
    hdr.idFrom = (UINT_PTR)::GetDlgCtrlID(m_hWnd);
    hdr.code = code;
    ::SendMessageA(target, WM_NOTIFY, hdr.idFrom, (LPARAM)&hdr);
}

void CPaintControl::OnImageChanged()
{
    Notify(Codes().imageChanged);
}

void CPaintControl::OnZoomChanged()
{
    Notify(Codes().magChanged);
}

void CPaintControl::OnColourSampled()
{
    Notify(Codes().colourSampled);
}

void CPaintControl::SetStatusText(LPCTSTR text)
{
    CWnd* main = AfxGetMainWnd();
    if (main && main->IsKindOf(RUNTIME_CLASS(CFrameWnd)))
        static_cast<CFrameWnd*>(main)->SetMessageText(text);
}

CString CPaintControl::GetToolHint(int tool)
{
    if (tool < 0 || tool >= kToolCount)
        return CString();
    if (m_variant == kRecorder) {
        CString text;
        text.LoadString(kFirstToolHintString + (UINT)tool);
        return text;
    }
    return CString(kToolHints[tool]);
}

void CPaintControl::EditDone()
{
    m_modified = TRUE;
    OnImageChanged();
}

void CPaintControl::Redraw(BOOL erase)
{
    if (m_hWnd)
        RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW | (erase ? RDW_ERASE : 0));
}

// --- Selection and clipboard -----------------------------------------------

void CPaintControl::SelectAll()
{
    if (HasImage())
        m_selection = CRect(0, 0, m_image.GetWidth(), m_image.GetHeight());
    else
        m_selection = CRect(0, 0, 0, 0);
}

void CPaintControl::SetSelection(const CRect& rect, BOOL live)
{
    if (m_trackerShown && m_hWnd)
        Invalidate();
    m_selection = rect;
    m_selection.NormalizeRect();
    if (live && m_tool == kMove) {
        RestoreBackup(FALSE);
        if (m_cutOnMove)
            ClearArea(&m_sourceRect, FALSE);
        PlaceFloating(m_selection.left, m_selection.top, m_selection.right, m_selection.bottom);
    }
    OnTrackMoved();
}

// Tool 1 pressed on the image: inside the selection the content is moved (or
// copied with Ctrl held), on a handle the selection is resized, elsewhere a
// new one is drawn; the new selection's pixels become the floating content.
BOOL CPaintControl::TrackSelection(CPntTracker& tracker)
{
    const int hit = tracker.GetHit();
    if (hit == CRectTracker::hitMiddle) {
        const CRect oldSelection = m_selection;
        if (m_floating) {
            Undo();   // takes the last placement back out
            m_selection = oldSelection;
        } else {
            m_cutOnMove = (::GetKeyState(VK_CONTROL) & 0x8000) == 0;
        }
        const int oldTool = m_tool;
        m_tool = kMove;
        SaveBackup();
        if (m_cutOnMove)
            ClearArea(&m_sourceRect, FALSE);
        PlaceFloating(m_selection.left, m_selection.top, m_selection.right, m_selection.bottom);
        OnBeginTrack();
        const BOOL tracked = tracker.Track(TRUE);
        OnEndTrack();
        const CRect moved = tracked ? tracker.GetImageRect() : oldSelection;
        const BOOL restored = RestoreBackup(TRUE);
        if (restored && m_tool == kMove) {
            PushUndo();
            if (m_cutOnMove)
                ClearArea(&m_sourceRect, FALSE);
            PlaceFloating(moved.left, moved.top, moved.right, moved.bottom);
            EditDone();
        }
        m_tool = oldTool;
        m_selection = moved;
        m_floating = TRUE;
        m_trackerShown = TRUE;
        return restored;
    }
    m_floating = FALSE;
    m_trackerShown = FALSE;
    Redraw();
    OnBeginTrack();
    const BOOL tracked = hit == CRectTracker::hitNothing ? tracker.TrackRubberBand(TRUE) : tracker.Track(TRUE);
    OnEndTrack();
    if (tracked)
        LiftSelection(tracker.GetImageRect());
    m_trackerShown = TRUE;
    return tracked;
}

// The text is taken back out while the frame moves and drawn again at the
// frame's new place, as one step of the history.
BOOL CPaintControl::TrackText(CPntTracker& tracker)
{
    const int hit = tracker.GetHit();
    if (hit == CRectTracker::hitNothing) {
        if (m_variant == kRecorder)
            return FALSE;
        m_floating = FALSE;   // a click outside ends the block; its text stays
    }
    if (m_floating && !m_text.IsEmpty()) {
        const CRect selection = m_selection;
        Undo();
        m_selection = selection;
        m_floating = TRUE;
    } else {
        m_text.Empty();
        m_textBar->ClearText();
        m_textBar->Show(this);
    }
    const BOOL hasText = !m_text.IsEmpty();
    if (hasText)
        SaveBackup();
    m_trackerShown = FALSE;
    Redraw();
    OnBeginTrack();
    const BOOL tracked = hit == CRectTracker::hitNothing ? tracker.TrackRubberBand(TRUE) : tracker.Track(!hasText);
    OnEndTrack();
    const BOOL restored = hasText ? RestoreBackup(TRUE) : TRUE;
    m_trackerShown = TRUE;
    m_floating = TRUE;
    if (!tracked || !restored) {
        if (hasText && restored) {
            // The text goes back where it was.
            PushUndo();
            if (m_variant == kCatalogue)
                m_image.DrawTextIn(m_text, m_selection, m_textFormat, m_foreColour, &m_textFont);
            EditDone();
        }
        Redraw();
        return FALSE;
    }
    m_selection = tracker.GetImageRect();
    if (hasText) {
        PushUndo();
        if (m_variant == kCatalogue)
            m_image.DrawTextIn(m_text, m_selection, m_textFormat, m_foreColour, &m_textFont);
        EditDone();
    }
    Redraw();
    return TRUE;
}

COLORREF CPaintControl::EraseColour() const
{
    return m_transparent != kNoColour ? m_transparent : 0x02FFFFFF;
}

BOOL CPaintControl::ClearArea(const CRect* rect, BOOL withUndo)
{
    if (withUndo)
        PushUndo();
    const CRect area = rect ? *rect : m_selection;
    if (!m_image.FillRect(&area, EraseColour())) {
        if (withUndo)
            Undo();
        return FALSE;
    }
    if (withUndo) {
        EditDone();
        if (m_hWnd)
            Invalidate();
    }
    return TRUE;
}

BOOL CPaintControl::Copy()
{
    if (m_tool == kText) {
        m_textBar->CopyText();
        return TRUE;
    }
    if (!HasImage())
        return FALSE;
    return m_image.CopyToClipboard(&m_selection, m_hWnd);
}

// Clears only pixels that reached the clipboard.
BOOL CPaintControl::Cut()
{
    if (m_tool == kText) {
        m_textBar->CutText();
        return TRUE;
    }
    if (!Copy())
        return FALSE;
    return ClearArea(&m_selection, TRUE);
}

void CPaintControl::OnEditCopy()
{
    Copy();
}

void CPaintControl::OnEditCut()
{
    Cut();
}

// --- Undo history ----------------------------------------------------------

std::unique_ptr<CDIBSection> CPaintControl::TakeSpare()
{
    if (m_spare.empty())
        return std::unique_ptr<CDIBSection>(new CDIBSection);
    std::unique_ptr<CDIBSection> image = std::move(m_spare.back());
    m_spare.pop_back();
    return image;
}

void CPaintControl::KeepSpare(std::unique_ptr<CDIBSection> image)
{
    if (image && m_spare.size() < (size_t)kUndoDepth + 2)
        m_spare.push_back(std::move(image));
}

void CPaintControl::PushUndo()
{
    if (m_historyPos >= 0 && !m_history.empty()) {
        while ((int)m_history.size() > m_historyPos) {
            KeepSpare(std::move(m_history.back()));
            m_history.pop_back();
        }
    }
    m_historyPos = -1;
    std::unique_ptr<CDIBSection> snapshot = TakeSpare();
    if (!snapshot->CopyFrom(m_image)) {
        KeepSpare(std::move(snapshot));
        return;
    }
    if ((int)m_history.size() >= kUndoDepth) {
        KeepSpare(std::move(m_history.front()));
        m_history.erase(m_history.begin());
    }
    m_history.push_back(std::move(snapshot));
}

BOOL CPaintControl::Undo()
{
    if (m_history.empty())
        return FALSE;
    m_floating = FALSE;
    if (m_historyPos < 0) {
        std::unique_ptr<CDIBSection> current = TakeSpare();
        if (!current->CopyFrom(m_image)) {
            KeepSpare(std::move(current));
            return FALSE;
        }
        m_history.push_back(std::move(current));
        m_historyPos = (int)m_history.size() - 1;
    }
    if (m_historyPos == 0)
        return FALSE;
    if (!m_image.CopyFrom(*m_history[m_historyPos - 1]))
        return FALSE;   // the position stays: the step can be tried again
    --m_historyPos;
    OnImageChanged();
    SelectAll();
    if (m_hWnd)
        Invalidate();
    return TRUE;
}

BOOL CPaintControl::Redo()
{
    if (m_historyPos < 0 || m_history.empty() || m_historyPos == (int)m_history.size() - 1)
        return FALSE;
    if (!m_image.CopyFrom(*m_history[m_historyPos + 1]))
        return FALSE;
    ++m_historyPos;
    OnImageChanged();
    if (m_hWnd)
        Invalidate();
    return TRUE;
}

BOOL CPaintControl::CanUndo() const
{
    return !m_history.empty() && m_historyPos != 0;
}

BOOL CPaintControl::CanRedo() const
{
    return m_historyPos >= 0 && !m_history.empty() && m_historyPos != (int)m_history.size() - 1;
}

void CPaintControl::ClearHistory()
{
    m_history.clear();
    m_spare.clear();
    m_historyPos = -1;
}

void CPaintControl::OnEditUndo()
{
    if (m_tool == kText && ClearTextBarTakesTextOut())
        return;
    Undo();
}

void CPaintControl::OnEditRedo()
{
    Redo();
}

BOOL CPaintControl::SaveBackup()
{
    std::unique_ptr<CDIBSection> copy = m_backup ? std::move(m_backup) : TakeSpare();
    if (!copy->CopyFrom(m_image)) {
        KeepSpare(std::move(copy));
        return FALSE;
    }
    m_backup = std::move(copy);
    return TRUE;
}

BOOL CPaintControl::RestoreBackup(BOOL deleteAfter)
{
    if (!m_backup)
        return FALSE;
    const BOOL ok = m_image.CopyFrom(*m_backup);
    if (deleteAfter)
        KeepSpare(std::move(m_backup));
    return ok;
}

// --- Floating content and paste --------------------------------------------

BOOL CPaintControl::LiftSelection(const CRect& rect)
{
    m_floatImage.Release();
    m_sourceRect = rect;
    if (!HasImage() || rect.Width() < 1 || rect.Height() < 1)
        return FALSE;
    if (!m_floatImage.Create(rect.Width(), rect.Height(), (UINT)m_image.GetPlanes(), (UINT)m_image.GetBitCount(),
                             NULL, m_image.GetLogPalette())) {
        m_floatImage.Release();
        return FALSE;
    }
    if (m_image.GetColorCount()) {
        m_floatImage.SetHeaderColors(m_image.GetColorCount(), m_image.GetColorTable());
        m_floatImage.SetSectionColors(m_image.GetColorCount(), m_image.GetColorTable());
    }
    CDC* dc = m_floatImage.GetMemDC();
    if (!dc) {
        m_floatImage.Release();
        return FALSE;
    }
    const BOOL drawDib = m_image.UsesDrawDib();
    m_image.SetUseDrawDib(FALSE);
    const CPoint origin = rect.TopLeft();
    const CSize size = rect.Size();
    const BOOL drawn = m_image.Draw(dc, 0, 0, &origin, &size);
    m_image.SetUseDrawDib(drawDib);
    m_floatImage.ReleaseMemDC();
    if (!drawn) {
        m_floatImage.Release();
        return FALSE;
    }
    return TRUE;
}

BOOL CPaintControl::PlaceFloating(int left, int top, int right, int bottom)
{
    int x = left, y = top;
    if (x < 1)
        x = right - m_floatImage.GetWidth();
    if (y < 1)
        y = bottom - m_floatImage.GetHeight();
    CDC* dc = m_image.GetMemDC();
    if (!dc)
        return FALSE;
    if (m_image.GetPalette()) {
        ::SelectPalette(dc->m_hDC, (HPALETTE)m_image.GetPalette()->GetSafeHandle(), FALSE);
        ::RealizePalette(dc->m_hDC);
    }
    const bool keyed = m_showTransparency && m_transparent != kNoColour;
    const BOOL ok = keyed ? m_floatImage.DrawTransparent(dc, x, y, m_transparent) : m_floatImage.Draw(dc, x, y);
    m_image.ReleaseMemDC();
    Redraw();
    return ok;
}

int CPaintControl::AskPasteLarger()
{
    const UINT type = MB_YESNOCANCEL | MB_ICONQUESTION;
    if (m_variant == kRecorder)
        return AfxMessageBox(IDS_PNT_PASTE_LARGER_REC, type);
    CString text;
    text.LoadString(IDS_PNT_PASTE_LARGER);
    return ::MessageBoxA(m_hWnd, text, AfxGetAppName(), type);
}

// A paste whose picture cannot be placed in the floating image stops before
// the snapshot: nothing is stamped on the picture.
BOOL CPaintControl::Paste()
{
    if (m_tool == kText) {
        m_textBar->PasteText();
        return TRUE;
    }
    if (!HasImage())
        return FALSE;
    const CSize clip = CDIBSection::GetClipboardBitmapSize();
    const CRect sel = m_selection;
    if (sel.Width() < 1 || sel.Height() < 1 || clip.cx < 1 || clip.cy < 1)
        return FALSE;
    const int w = m_image.GetWidth(), h = m_image.GetHeight();
    const bool larger = clip.cx > sel.Width() || clip.cy > sel.Height();
    const bool whole = !m_trackerShown || sel == CRect(0, 0, w, h);
    CRect target(sel.left, sel.top, sel.left + clip.cx, sel.top + clip.cy);
    if (larger && !whole) {
        switch (AskPasteLarger()) {
        case IDYES:
            target = CRect(sel.left, sel.top, sel.left + std::min((LONG)sel.Width(), clip.cx),
                           sel.top + std::min((LONG)sel.Height(), clip.cy));
            break;
        case IDNO:
            target = CRect(sel.left, sel.top, std::min(sel.left + clip.cx, (LONG)w), std::min(sel.top + clip.cy, (LONG)h));
            break;
        default:
            return FALSE;
        }
    }
    SetSelection(target);
    m_floatImage.Release();
    if (!m_floatImage.Create(target.Width(), target.Height(), (UINT)m_image.GetPlanes(), (UINT)m_image.GetBitCount(),
                             NULL, m_image.GetLogPalette()))
        return FALSE;
    m_sourceRect = target;
    m_cutOnMove = FALSE;   // moving pasted content must not clear the pixels under it
    const bool keyed = m_showTransparency && m_transparent != kNoColour;
    const BOOL pasted = keyed ? m_floatImage.PasteTransparent(NULL, m_transparent, m_pastePalette)
                              : m_floatImage.Paste(NULL, m_pastePalette);
    if (!pasted)
        return FALSE;
    PushUndo();
    PlaceFloating(target.left, target.top, target.right, target.bottom);
    EditDone();
    m_floating = TRUE;
    return pasted;
}

void CPaintControl::OnEditPaste()
{
    Paste();
}

// --- Masks -----------------------------------------------------------------

HBITMAP CPaintControl::MakeMask()
{
    m_mask.DeleteObject();
    if (!HasImage())
        return NULL;
    const int w = m_image.GetWidth(), h = m_image.GetHeight();
    if (!m_mask.CreateBitmap(w, h, 1, 1, NULL))
        return NULL;
    HDC screen = ::GetDC(NULL);
    HDC dst = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(dst, m_mask.GetSafeHandle());
    if (m_transparent != kNoColour && m_showTransparency) {
        if (CDC* src = m_image.GetMemDC()) {
            ::SetBkColor(src->m_hDC, m_transparent);
            ::BitBlt(dst, 0, 0, w, h, src->m_hDC, 0, 0, SRCCOPY);
            m_image.ReleaseMemDC();
        }
    } else {
        ::PatBlt(dst, 0, 0, w, h, BLACKNESS);
    }
    ::SelectObject(dst, old);
    ::DeleteDC(dst);
    ::ReleaseDC(NULL, screen);
    return (HBITMAP)m_mask.GetSafeHandle();
}

// Takes a monochrome mask (white = transparent) into the picture: the
// transparent pixels are painted with a key colour that no opaque pixel has,
// and that colour becomes the transparent colour. The key is the least-used
// of the editor's 16 colours (an unused one first, scanning from the last);
// when the opaque pixels use all 16, another colour of the picture's own
// table that no opaque pixel has is taken, and with none the picture is left
// as it is (0): a used key would turn opaque pixels transparent.
int CPaintControl::ImportMask(HBITMAP mask)
{
    BITMAP bm;
    if (!mask || ::GetObjectType(mask) != OBJ_BITMAP || !::GetObjectA(mask, sizeof(bm), &bm))
        return -1;
    if (!HasImage() || m_image.GetColorCount() == 0)
        return 0;
    const int w = m_image.GetWidth(), h = m_image.GetHeight();
    if (bm.bmWidth != w || std::abs(bm.bmHeight) != h || bm.bmPlanes != 1 || bm.bmBitsPixel != 1)
        return 0;
    CDIBSection maskImage;
    if (!maskImage.CreateFromBitmap(mask))
        return 0;

    static const COLORREF kEditorColours[16] = {
        0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF,
        0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0x808080, 0xC0C0C0,
    };
    std::vector<COLORREF> opaque;
    opaque.reserve((size_t)w * h);
    std::vector<bool> isMasked((size_t)w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool white = maskImage.GetPixel(x, y) == RGB(255, 255, 255);
            isMasked[(size_t)y * w + x] = white;
            if (!white)
                opaque.push_back(m_image.GetPixel(x, y));
        }
    auto countOf = [&](COLORREF c) {
        int n = 0;
        for (COLORREF o : opaque)
            n += o == c;
        return n;
    };
    COLORREF key = kNoColour;
    int best = -1;
    for (int i = 15; i >= 0; --i) {
        const int n = countOf(kEditorColours[i]);
        if (n == 0) {
            key = kEditorColours[i];
            best = 0;
            break;
        }
        if (best < 0 || n < best) {
            best = n;
            key = kEditorColours[i];
        }
    }
    if (best != 0) {
        key = kNoColour;
        const RGBQUAD* table = m_image.GetColorTable();
        for (UINT i = 0; i < m_image.GetColorCount(); ++i) {
            const COLORREF c = RGB(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue);
            if (countOf(c) == 0) {
                key = c;
                break;
            }
        }
        if (key == kNoColour)
            return 0;
    }
    CDC* dc = m_image.GetMemDC();
    if (!dc)
        return 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (isMasked[(size_t)y * w + x])
                ::SetPixelV(dc->m_hDC, x, y, key);
    m_image.ReleaseMemDC();
    m_transparent = key;
    if (m_showTransparency && m_hWnd)
        Invalidate();
    return 1;
}

// --- Display scales and the text tool --------------------------------------

void CPaintControl::SetScaleX(double percent)
{
    m_scaleX = percent;
    SetCentered(m_centred);
    UpdateScrollBars();
    OnZoomChanged();
    if (m_hWnd)
        Invalidate();
}

void CPaintControl::SetScaleY(double percent)
{
    m_scaleY = percent;
    SetCentered(m_centred);
    UpdateScrollBars();
    if (m_hWnd)
        Invalidate();
}

// floor(0.29 x 100) is 28 in binary floating point: the whole percent that
// was set comes back.
int CPaintControl::GetScalePercentX() const
{
    return (int)std::floor(RoundToDouble(GetScaleX() * 100.0) + 1e-6);
}

int CPaintControl::GetScalePercentY() const
{
    return (int)std::floor(RoundToDouble(GetScaleY() * 100.0) + 1e-6);
}

BOOL CPaintControl::TextBarShown() const
{
    return m_textBar && m_textBar->IsShown();
}

// Clearing the edits hands the control an empty text, which takes the shown
// text back out with one undo; a second undo would also take back the edit
// before the text.
BOOL CPaintControl::ClearTextBarTakesTextOut()
{
    const BOOL hadText = m_floating && !m_text.IsEmpty();
    m_textBar->ClearText();
    if (hadText && !m_text.IsEmpty())
        SetText("");   // a bar without window: take it out here
    return hadText;
}

void CPaintControl::ApplyFontToTextBar()
{
    LOGFONT lf;
    GetTextFont(&lf);
    m_textBar->ApplyFont(lf, FALSE);
}

void CPaintControl::DrawTextLayer(CDC* pDC, const CRect& imageClient)
{
    if (m_text.IsEmpty())
        return;
    const double fx = FactorX(), fy = FactorY();
    CRect r((int)std::floor(RoundToDouble(m_selection.left * fx)), (int)std::floor(RoundToDouble(m_selection.top * fy)),
            (int)std::floor(RoundToDouble(m_selection.right * fx)),
            (int)std::floor(RoundToDouble(m_selection.bottom * fy)));
    r.OffsetRect(imageClient.left, imageClient.top);
    const HDC dc = pDC->m_hDC;
    HGDIOBJ oldFont = ::SelectObject(dc, m_textFont.GetSafeHandle());
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = ::SetTextColor(dc, m_foreColour);
    ::DrawTextA(dc, m_text, -1, &r, m_textFormat | DT_WORDBREAK);
    ::SetTextColor(dc, oldColour);
    ::SetBkMode(dc, oldMode);
    if (oldFont)
        ::SelectObject(dc, oldFont);
}

// With the text tool and an active text block the previous rendering (or,
// for the recorder, its snapshot) is taken back out first, so each change
// leaves one step in the history.
void CPaintControl::SetText(LPCTSTR text)
{
    const CString newText = text ? text : "";
    if (m_tool != kText || !m_floating) {
        m_text = newText;
        return;
    }
    if (!m_text.IsEmpty()) {
        const CRect selection = m_selection;
        Undo();
        m_selection = selection;
        m_floating = TRUE;
    }
    m_text = newText;
    if (m_text.IsEmpty())
        return;
    PushUndo();
    if (m_variant == kCatalogue)
        m_image.DrawTextIn(m_text, m_selection, m_textFormat, m_foreColour, &m_textFont);
    EditDone();
    Redraw();
}

void CPaintControl::SetTextFormat(UINT format)
{
    m_textFormat = format;
    if (m_tool == kText)
        SetText(CString(m_text));
}

void CPaintControl::SetTextAlignment(int alignment)
{
    UINT format = m_textFormat & ~(UINT)(DT_CENTER | DT_RIGHT);
    if (alignment == 1)
        format |= DT_CENTER;
    else if (alignment == 2)
        format |= DT_RIGHT;
    SetTextFormat(format);
}

void CPaintControl::SetTextFont(const LOGFONT& font)
{
    m_textFont.DeleteObject();
    m_textFont.CreateFontIndirect(&font);
    if (m_tool == kText)
        SetText(CString(m_text));
}

void CPaintControl::GetTextFont(LOGFONT* font) const
{
    if (font && !::GetObjectA(m_textFont.GetSafeHandle(), sizeof(LOGFONT), font))
        ::GetObjectA(::GetStockObject(SYSTEM_FONT), sizeof(LOGFONT), font);
}

void CPaintControl::SetForeColor(COLORREF colour)
{
    m_foreColour = colour;
    if (m_tool == kText)
        SetText(CString(m_text));
}
