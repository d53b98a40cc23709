#include "capture/ScreenDrawWnd.h"

#include "capture/DesktopUtil.h"
#include "capture/DrawShape.h"
#include "capture/ScreenCopy.h"
#include "framework/Module.h"
#include "framework/ui/CmdTarget.h"
#include "framework/ui/MsgMap.h"
#include "resources/ids_screendraw.h"
#include "settings/RecorderPrefs.h"

#include <cstdlib>

namespace {

const char kDrawClass[] = "VexcapScreenDraw";
const int kToolCount = 6;
const int kHighlightTool = 1;
const int kPenTool = 3;
// Drawing starts once the mouse is this far from the start point.
const int kStartDistance = 2;
const COLORREF kColors[8] = { 0x000000, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0xFFFFFF, 0xFF00FF, 0x0000FF };
// Cursor resources in load order; tools 0-5 use entries 1-6.
const UINT kCursorIds[7] = { IDC_DRAW_DEFAULT, IDC_DRAW_FRAME, IDC_DRAW_HIGHLIGHT, IDC_DRAW_ELLIPSE,
                             IDC_DRAW_PEN, IDC_DRAW_LINE, IDC_DRAW_ARROW };

LPCSTR DrawClass()
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = AfxWndProc;
        wc.hInstance = ::GetModuleHandleA(NULL);
        wc.lpszClassName = kDrawClass;
        registered = AfxRegisterClass(&wc) != FALSE;
    }
    return kDrawClass;
}

// Width from the preferences, which the registry may have filled with anything.
int ClampWidth(int width)
{
    return width < 1 ? 1 : width > 8 ? 8 : width;
}

// The position in a popup of the sub-popup that holds the command.
int SubMenuPosition(HMENU popup, UINT id)
{
    const int count = ::GetMenuItemCount(popup);
    for (int i = 0; i < count; i++) {
        HMENU sub = ::GetSubMenu(popup, i);
        if (sub != NULL && ::GetMenuState(sub, id, MF_BYCOMMAND) != (UINT)-1)
            return i;
    }
    return -1;
}

}  // namespace

int ScreenDrawColorIndex(COLORREF colour)
{
    for (int i = 0; i < 8; i++) {
        if (kColors[i] == colour)
            return i;
    }
    return 0;
}

COLORREF ScreenDrawColor(int index)
{
    return index >= 0 && index < 8 ? kColors[index] : kColors[0];
}

HBITMAP TakeScreenSnapshot(HPALETTE* palette)
{
    if (palette)
        *palette = NULL;
    const int x = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int y = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
    int width = ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
    int height = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width <= 0 || height <= 0) {
        width = ::GetSystemMetrics(SM_CXSCREEN);
        height = ::GetSystemMetrics(SM_CYSCREEN);
    }
    HDC screen = ::GetDC(NULL);
    if (!screen)
        return NULL;
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HDC memory = bitmap ? ::CreateCompatibleDC(screen) : NULL;
    BOOL copied = FALSE;
    if (memory) {
        HGDIOBJ old = ::SelectObject(memory, bitmap);
        copied = CopyScreenArea(memory, 0, 0, width, height, screen, x, y, SRCCOPY | CAPTUREBLT);
        ::SelectObject(memory, old);
        ::DeleteDC(memory);
    }
    if (copied && palette)
        *palette = CreateSystemPalette(screen, FALSE);
    ::ReleaseDC(NULL, screen);
    if (!copied && bitmap) {
        ::DeleteObject(bitmap);
        bitmap = NULL;
    }
    return bitmap;
}

HRGN WindowRegionWithoutNotifyArea(const RECT& window, HWND notifyArea)
{
    RECT area;
    if (notifyArea == NULL || !::GetWindowRect(notifyArea, &area) || ::IsRectEmpty(&area))
        return NULL;
    HRGN rgn = ::CreateRectRgn(0, 0, window.right - window.left, window.bottom - window.top);
    HRGN cut = ::CreateRectRgn(area.left - window.left, area.top - window.top, area.right - window.left,
                               area.bottom - window.top);
    ::CombineRgn(rgn, rgn, cut, RGN_DIFF);
    ::DeleteObject(cut);
    return rgn;
}

BEGIN_MESSAGE_MAP(CScreenDrawWnd, CScreenOverlayWnd)
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_WM_LBUTTONDOWN()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONUP()
    ON_WM_RBUTTONUP()
    ON_WM_PAINT()
    ON_WM_CONTEXTMENU()
    ON_WM_SETCURSOR()
    ON_WM_KEYDOWN()
    ON_WM_KEYUP()
    ON_WM_CAPTURECHANGED()
    ON_MESSAGE(WM_QUERYNEWPALETTE, OnQueryNewPalette)
    ON_WM_PALETTECHANGED()
    ON_COMMAND_RANGE(ID_DRAW_FIRST, ID_DRAW_LAST, OnDrawCommand)
    ON_UPDATE_COMMAND_UI_RANGE(ID_DRAW_FIRST, ID_DRAW_LAST, OnUpdateDrawCommand)
END_MESSAGE_MAP()

CScreenDrawWnd::CScreenDrawWnd(CRecorderPrefs* prefs, HBITMAP screen, HPALETTE palette, HWND notify)
    : CScreenOverlayWnd(prefs, notify), m_screen(screen), m_palette(palette), m_accel(NULL), m_cursors(),
      m_buttonDown(FALSE), m_drawing(FALSE), m_drag(), m_start(), m_end(), m_shape(NULL)
{
}

CScreenDrawWnd::~CScreenDrawWnd()
{
    delete m_shape;
    for (CDrawShape* shape : m_shapes)
        delete shape;
}

UINT CScreenDrawWnd::CursorResource() const
{
    return IDC_DRAW_DEFAULT;
}

BOOL CScreenDrawWnd::CreateDrawWindow()
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
    m_screenWidth = width;
    m_screenHeight = height;
    return CreateEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, DrawClass(), "", WS_POPUP | WS_CLIPCHILDREN, x, y, width,
                    height, NULL, NULL);
}

// Brings the window to the foreground so that it gets the keys. Another
// thread's foreground window only lets go when this thread shares its input
// for the call; the input is separated again at once, so that the other
// program's keyboard state stays its own.
int CScreenDrawWnd::OnCreate(LPCREATESTRUCT cs)
{
    if (CScreenOverlayWnd::OnCreate(cs) != 0)
        return -1;
    // The pickers capture the mouse from the start; drawing captures it per drag.
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    HWND foreground = ::GetForegroundWindow();
    const DWORD foregroundThread = foreground ? ::GetWindowThreadProcessId(foreground, NULL) : 0;
    const DWORD thisThread = ::GetCurrentThreadId();
    BOOL attached = FALSE;
    if (foregroundThread != 0 && foregroundThread != thisThread)
        attached = ::AttachThreadInput(thisThread, foregroundThread, TRUE);
    ::SetForegroundWindow(m_hWnd);
    ::SetFocus(m_hWnd);
    if (attached)
        ::AttachThreadInput(thisThread, foregroundThread, FALSE);

    // Leave the taskbar's notification area usable; a system without one
    // (Wine's taskbar has none) keeps the whole window.
    HWND tray = ::FindWindowA("Shell_TrayWnd", NULL);
    HWND notifyArea = tray ? ::FindWindowExA(tray, NULL, "TrayNotifyWnd", NULL) : NULL;
    RECT window;
    ::GetWindowRect(m_hWnd, &window);
    HRGN rgn = WindowRegionWithoutNotifyArea(window, notifyArea);
    if (rgn != NULL && !::SetWindowRgn(m_hWnd, rgn, TRUE))
        ::DeleteObject(rgn);

    for (int i = 0; i < 7; i++)
        m_cursors[i] = ::LoadCursorA(AfxGetResourceHandle(), MAKEINTRESOURCEA(kCursorIds[i]));
    m_accel = ::LoadAcceleratorsA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_SCREENDRAW_ACCEL));
    SetToolCursor();
    return 0;
}

void CScreenDrawWnd::OnDestroy()
{
    CScreenOverlayWnd::OnDestroy();
    DropShapeInProgress();
    for (CDrawShape* shape : m_shapes)
        delete shape;
    m_shapes.clear();
    if (m_accel)
        ::DestroyAcceleratorTable(m_accel);
    m_accel = NULL;
}

void CScreenDrawWnd::Cancel()
{
    if (m_finished)
        return;
    HWND notify = m_notify;
    if (!notify && AfxGetMainWnd())
        notify = AfxGetMainWnd()->GetSafeHwnd();
    if (notify && ::IsWindow(notify) && notify != m_hWnd)
        ::PostMessageA(notify, WM_COMMAND, MAKEWPARAM(ID_DRAW_STOP, 0), 0);
    else
        EndPicker(0, FALSE);
}

int CScreenDrawWnd::Tool() const
{
    const int tool = m_prefs ? m_prefs->m_drawTool : 0;
    return tool >= 0 && tool < kToolCount ? tool : 0;
}

void CScreenDrawWnd::ToolRecord(int tool, int** width, COLORREF** colour, BOOL** translucent) const
{
    CRecorderPrefs* p = m_prefs;
    switch (tool) {
    case 1:
        *width = &p->m_drawHighlightWidth, *colour = &p->m_drawHighlightColor, *translucent = &p->m_drawHighlightTranslucent;
        break;
    case 2:
        *width = &p->m_drawEllipseWidth, *colour = &p->m_drawEllipseColor, *translucent = &p->m_drawEllipseTranslucent;
        break;
    case 3:
        *width = &p->m_drawPenWidth, *colour = &p->m_drawPenColor, *translucent = &p->m_drawPenTranslucent;
        break;
    case 4:
        *width = &p->m_drawLineWidth, *colour = &p->m_drawLineColor, *translucent = &p->m_drawLineTranslucent;
        break;
    case 5:
        *width = &p->m_drawArrowWidth, *colour = &p->m_drawArrowColor, *translucent = &p->m_drawArrowTranslucent;
        break;
    default:
        *width = &p->m_drawFrameWidth, *colour = &p->m_drawFrameColor, *translucent = &p->m_drawFrameTranslucent;
        break;
    }
}

int CScreenDrawWnd::ToolWidth() const
{
    int* width;
    COLORREF* colour;
    BOOL* translucent;
    ToolRecord(Tool(), &width, &colour, &translucent);
    return ClampWidth(*width);
}

COLORREF CScreenDrawWnd::ToolColor() const
{
    int* width;
    COLORREF* colour;
    BOOL* translucent;
    ToolRecord(Tool(), &width, &colour, &translucent);
    return *colour;
}

BOOL CScreenDrawWnd::ToolTranslucent() const
{
    int* width;
    COLORREF* colour;
    BOOL* translucent;
    ToolRecord(Tool(), &width, &colour, &translucent);
    return *translucent != 0;
}

CDrawShape* CScreenDrawWnd::MakeShape() const
{
    const int width = ToolWidth();
    const COLORREF colour = ToolColor();
    const BOOL translucent = ToolTranslucent();
    switch (Tool()) {
    case 1:
        return new CDrawHighlight(width, colour, translucent);
    case 2:
        return new CDrawEllipse(width, colour, translucent);
    case 3:
        return new CDrawPen(width, colour, translucent);
    case 4:
        return new CDrawLine(width, colour, translucent);
    case 5:
        return new CDrawArrow(width, colour, translucent);
    default:
        return new CDrawFrame(width, colour, translucent);
    }
}

void CScreenDrawWnd::SetToolCursor()
{
    HCURSOR cursor = m_cursors[1 + Tool()];
    ::SetCursor(cursor ? cursor : ::LoadCursorA(NULL, IDC_CROSS));
}

BOOL CScreenDrawWnd::OnSetCursor(CWnd* /*wnd*/, UINT /*hitTest*/, UINT /*message*/)
{
    SetToolCursor();
    return TRUE;
}

void CScreenDrawWnd::OnLButtonDown(UINT /*flags*/, CPoint point)
{
    DropShapeInProgress();
    m_start = point;
    m_end = point;
    m_drag = { point.x, point.y, point.x + 1, point.y + 1 };
    m_drawing = FALSE;
    m_buttonDown = TRUE;
    ::SetCapture(m_hWnd);
}

void CScreenDrawWnd::Track(POINT point, BOOL square)
{
    m_drag.left = m_start.x < point.x ? m_start.x : point.x;
    m_drag.top = m_start.y < point.y ? m_start.y : point.y;
    m_drag.right = (m_start.x > point.x ? m_start.x : point.x) + 1;
    m_drag.bottom = (m_start.y > point.y ? m_start.y : point.y) + 1;
    m_end = point;
    if (!square)
        return;
    // A square of the larger side, grown away from the start point and kept
    // on the screen.
    const int w = m_drag.right - m_drag.left;
    const int h = m_drag.bottom - m_drag.top;
    const int side = w > h ? w : h;
    if (point.x >= m_start.x) {
        m_drag.left = m_start.x;
        m_drag.right = m_start.x + side < m_screenWidth ? m_start.x + side : m_screenWidth;
        m_end.x = m_drag.right - 1;
    } else {
        m_drag.right = m_start.x + 1;
        m_drag.left = m_drag.right - side > 0 ? m_drag.right - side : 0;
        m_end.x = m_drag.left;
    }
    if (point.y >= m_start.y) {
        m_drag.top = m_start.y;
        m_drag.bottom = m_start.y + side < m_screenHeight ? m_start.y + side : m_screenHeight;
        m_end.y = m_drag.bottom - 1;
    } else {
        m_drag.bottom = m_start.y + 1;
        m_drag.top = m_drag.bottom - side > 0 ? m_drag.bottom - side : 0;
        m_end.y = m_drag.top;
    }
}

void CScreenDrawWnd::MoveTo(POINT point, BOOL buttonDown, BOOL shift)
{
    if (!buttonDown || !m_buttonDown || ::GetCapture() != m_hWnd)
        return;
    if (!m_drawing) {
        if (std::abs(point.x - m_start.x) < kStartDistance && std::abs(point.y - m_start.y) < kStartDistance)
            return;
        m_drawing = TRUE;
    }
    // A pen stroke follows the mouse; the other tools take the square.
    Track(point, shift && Tool() != kPenTool);
    if (!m_shape)
        m_shape = MakeShape();
    m_shape->UpdateToPoint(m_drag, m_start, m_end);
    PaintShape(m_shape);
}

// Shift is read from the key state as well: a message made before the key
// arrived does not carry it.
static BOOL ShiftHeld(UINT flags)
{
    return (flags & MK_SHIFT) != 0 || ::GetKeyState(VK_SHIFT) < 0;
}

void CScreenDrawWnd::OnMouseMove(UINT flags, CPoint point)
{
    MoveTo(point, (flags & MK_LBUTTON) != 0, ShiftHeld(flags));
}

void CScreenDrawWnd::OnLButtonUp(UINT flags, CPoint point)
{
    if (m_drawing && m_shape) {
        Track(point, ShiftHeld(flags) && Tool() != kPenTool);
        m_shape->UpdateToPoint(m_drag, m_start, m_end);
        PaintShape(m_shape);
        m_shapes.push_back(m_shape);
        m_shape = NULL;
    }
    m_drawing = FALSE;
    m_buttonDown = FALSE;
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
}

// Losing the capture in the middle of a drag (another window took it) ends
// the drag; the shape drawn so far is dropped.
void CScreenDrawWnd::OnCaptureChanged(CWnd* /*wnd*/)
{
    if (m_buttonDown)
        DropShapeInProgress();
}

void CScreenDrawWnd::DropShapeInProgress()
{
    if (m_shape) {
        if (m_hWnd)
            ::InvalidateRgn(m_hWnd, m_shape->Region(), FALSE);
        delete m_shape;
        m_shape = NULL;
    }
    m_drawing = FALSE;
    m_buttonDown = FALSE;
}

// Unlike the pickers, a right click does not end drawing: it opens the menu.
void CScreenDrawWnd::OnRButtonUp(UINT /*flags*/, CPoint /*point*/)
{
    Default();
}

void CScreenDrawWnd::PaintSnapshot(HDC dc, const RECT& area) const
{
    if (!m_screen)
        return;
    HDC memory = ::CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(memory, m_screen);
    ::BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, memory, area.left, area.top,
             SRCCOPY);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
}

void CScreenDrawWnd::PaintShape(CDrawShape* shape)
{
    HDC dc = ::GetDC(m_hWnd);
    HPALETTE oldPalette = m_palette ? ::SelectPalette(dc, m_palette, FALSE) : NULL;
    if (m_palette)
        ::RealizePalette(dc);
    HRGN uncovered = ::CreateRectRgn(0, 0, 0, 0);
    const int kind = ::CombineRgn(uncovered, shape->PreviousRegion(), shape->Region(), RGN_DIFF);
    if (kind != NULLREGION && kind != ERROR) {
        // Restore what the shape no longer covers, with the finished shapes there.
        ::SelectClipRgn(dc, uncovered);
        RECT box;
        ::GetRgnBox(uncovered, &box);
        PaintSnapshot(dc, box);
        for (CDrawShape* finished : m_shapes) {
            RECT bounds;
            ::GetRgnBox(finished->Region(), &bounds);
            if (finished != shape && ::RectInRegion(uncovered, &bounds))
                finished->Paint(dc);
        }
    }
    ::DeleteObject(uncovered);
    ::SelectClipRgn(dc, shape->Region());
    shape->Paint(dc);
    ::SelectClipRgn(dc, NULL);
    if (oldPalette)
        ::SelectPalette(dc, oldPalette, FALSE);
    ::ReleaseDC(m_hWnd, dc);
}

void CScreenDrawWnd::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    HPALETTE oldPalette = m_palette ? ::SelectPalette(dc, m_palette, FALSE) : NULL;
    if (m_palette)
        ::RealizePalette(dc);
    PaintSnapshot(dc, ps.rcPaint);
    for (CDrawShape* shape : m_shapes)
        shape->Paint(dc);
    if (m_shape)
        m_shape->Paint(dc);
    if (oldPalette)
        ::SelectPalette(dc, oldPalette, FALSE);
    ::EndPaint(m_hWnd, &ps);
}

void CScreenDrawWnd::OnContextMenu(CWnd* /*wnd*/, CPoint point)
{
    DropShapeInProgress();
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    if (point.x == -1 && point.y == -1)
        ::GetCursorPos(&point);
    HMENU menu = ::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_SCREENDRAW_MENU));
    if (!menu)
        return;
    HMENU popup = ::GetSubMenu(menu, 0);
    UpdateMenu(popup);
    // The commands go to the recorder window, which passes them back.
    HWND owner = m_notify;
    if (!owner && AfxGetMainWnd())
        owner = AfxGetMainWnd()->GetSafeHwnd();
    if (!owner || !::IsWindow(owner) || ::GetWindowThreadProcessId(owner, NULL) != ::GetCurrentThreadId())
        owner = m_hWnd;
    ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, 0, owner, NULL);
    ::DestroyMenu(menu);
}

void CScreenDrawWnd::OnKeyDown(UINT key, UINT repeat, UINT flags)
{
    if (key == VK_SHIFT) {
        POINT point;
        ::GetCursorPos(&point);
        ::ScreenToClient(m_hWnd, &point);
        MoveTo(point, (::GetKeyState(VK_LBUTTON) & 0x8000) != 0, TRUE);
        return;
    }
    CScreenOverlayWnd::OnKeyDown(key, repeat, flags);
}

void CScreenDrawWnd::OnKeyUp(UINT key, UINT /*repeat*/, UINT /*flags*/)
{
    if (key == VK_SHIFT) {
        POINT point;
        ::GetCursorPos(&point);
        ::ScreenToClient(m_hWnd, &point);
        MoveTo(point, (::GetKeyState(VK_LBUTTON) & 0x8000) != 0, FALSE);
        return;
    }
    Default();
}

LRESULT CScreenDrawWnd::OnQueryNewPalette(WPARAM, LPARAM)
{
    if (!m_palette)
        return FALSE;
    HDC dc = ::GetDC(m_hWnd);
    HPALETTE old = ::SelectPalette(dc, m_palette, FALSE);
    const UINT changed = ::RealizePalette(dc);
    ::SelectPalette(dc, old, FALSE);
    ::ReleaseDC(m_hWnd, dc);
    if (changed > 0)
        ::InvalidateRect(m_hWnd, NULL, FALSE);
    return changed > 0;
}

void CScreenDrawWnd::OnPaletteChanged(CWnd* focusWnd)
{
    if (focusWnd == NULL || focusWnd->m_hWnd != m_hWnd)
        OnQueryNewPalette(0, 0);
}

BOOL CScreenDrawWnd::PreTranslateMessage(MSG* pMsg)
{
    if (m_accel && pMsg->hwnd == m_hWnd && pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST &&
        ::TranslateAcceleratorA(m_hWnd, m_accel, pMsg))
        return TRUE;
    return CScreenOverlayWnd::PreTranslateMessage(pMsg);
}

void CScreenDrawWnd::OnDrawCommand(UINT id)
{
    if (m_finished || !m_prefs)
        return;
    int* width;
    COLORREF* colour;
    BOOL* translucent;
    ToolRecord(Tool(), &width, &colour, &translucent);
    if (id >= ID_DRAW_FRAME && id <= ID_DRAW_ARROW) {
        m_prefs->m_drawTool = (int)(id - ID_DRAW_FRAME);
        SetToolCursor();
    } else if (id >= ID_DRAW_WIDTH_1 && id <= ID_DRAW_WIDTH_8) {
        if (Tool() != kHighlightTool)
            *width = (int)(id - ID_DRAW_STOP);
    } else if (id >= ID_DRAW_COLOR_FIRST && id <= ID_DRAW_COLOR_LAST) {
        *colour = kColors[id - ID_DRAW_COLOR_FIRST];
    } else if (id == ID_DRAW_TRANSLUCENT) {
        *translucent = Tool() == kHighlightTool ? TRUE : !*translucent;
    } else if (id == ID_DRAW_UNDO) {
        if (m_shapes.empty())
            return;
        CDrawShape* last = m_shapes.back();
        m_shapes.pop_back();
        ::InvalidateRgn(m_hWnd, last->Region(), FALSE);
        delete last;
    } else if (id == ID_DRAW_STOP) {
        Cancel();
    }
}

void CScreenDrawWnd::GetCommandState(UINT id, BOOL* enabled, BOOL* checked) const
{
    *enabled = TRUE;
    *checked = FALSE;
    const int tool = Tool();
    if (id >= ID_DRAW_FRAME && id <= ID_DRAW_ARROW) {
        *checked = (int)(id - ID_DRAW_FRAME) == tool;
    } else if (id >= ID_DRAW_WIDTH_1 && id <= ID_DRAW_WIDTH_8) {
        *enabled = tool != kHighlightTool;
    } else if (id >= ID_DRAW_COLOR_FIRST && id <= ID_DRAW_COLOR_LAST) {
        *checked = (int)(id - ID_DRAW_COLOR_FIRST) == ScreenDrawColorIndex(ToolColor());
    } else if (id == ID_DRAW_TRANSLUCENT) {
        *enabled = tool != kHighlightTool;
        *checked = ToolTranslucent();
    } else if (id == ID_DRAW_UNDO) {
        *enabled = !m_shapes.empty();
    }
}

void CScreenDrawWnd::OnUpdateDrawCommand(CCmdUI* ui)
{
    BOOL enabled, checked;
    GetCommandState(ui->m_nID, &enabled, &checked);
    ui->Enable(enabled);
    ui->SetCheck(checked ? 1 : 0);
}

void CScreenDrawWnd::UpdateMenu(HMENU popup) const
{
    for (UINT id = ID_DRAW_FIRST; id <= ID_DRAW_LAST; id++) {
        BOOL enabled, checked;
        GetCommandState(id, &enabled, &checked);
        ::EnableMenuItem(popup, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
        ::CheckMenuItem(popup, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
    }
    // The width popup as a whole is disabled for the highlight tool.
    const int widths = SubMenuPosition(popup, ID_DRAW_WIDTH_1);
    if (widths >= 0)
        ::EnableMenuItem(popup, widths, MF_BYPOSITION | (Tool() != kHighlightTool ? MF_ENABLED : MF_GRAYED));
}
