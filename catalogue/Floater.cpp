#include "catalogue/Floater.h"

#include "catalogue/DataGenericObject.h"
#include "catalogue/DataShapeObject.h"
#include "catalogue/DataTextObject.h"
#include "catalogue/NoteDesk.h"
#include "catalogue/NoteDialogs.h"
#include "catalogue/NoteHost.h"
#include "framework/Exceptions.h"
#include "framework/ui/AfxWin.h"
#include "framework/ui/Menu.h"
#include "framework/WinApp.h"
#include "platform/imaging/Imaging.h"
#include "resources/ids_notes.h"
#include "settings/MenuUpdate.h"

IMPLEMENT_DYNAMIC(CFloater, CWnd)
IMPLEMENT_DYNAMIC(CImageFloater, CFloater)

BEGIN_MESSAGE_MAP(CFloater, CWnd)
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_WM_LBUTTONDOWN()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONUP()
    ON_WM_RBUTTONUP()
    ON_WM_MOVE()
    ON_WM_SIZE()
    ON_WM_TIMER()
    ON_WM_CONTEXTMENU()
    ON_WM_INITMENUPOPUP()
    ON_WM_CLOSE()
    ON_COMMAND(ID_FLOATER_CLOSE, OnCloseCommand)
    ON_COMMAND(ID_FLOATER_SAVE, OnSave)
    ON_UPDATE_COMMAND_UI(ID_FLOATER_SAVE, OnUpdateSave)
    ON_COMMAND(ID_FLOATER_DUPLICATE, OnDuplicate)
    ON_COMMAND(ID_FLOATER_OPACITY, OnOpacity)
    ON_UPDATE_COMMAND_UI(ID_FLOATER_OPACITY, OnUpdateOpacity)
END_MESSAGE_MAP()

CFloater::CFloater(CNoteDesk* desk, CDataGenericObject* data, const CString& name, UINT timerId)
    : m_data(data), m_name(name), m_desk(desk), m_dragging(FALSE), m_dragOffsetX(0), m_dragOffsetY(0),
      m_timerId(timerId), m_countedTranslucent(FALSE), m_closing(FALSE)
{
}

CFloater::~CFloater()
{
    if (m_hWnd)
        DestroyWindow();
    GiveBackTranslucency();
    delete m_data;
}

void CFloater::StorePlacement()
{
    if (!m_hWnd || !m_data)
        return;
    RECT r;
    GetWindowRect(&r);
    m_data->m_x = r.left + (r.right - r.left) / 2;
    m_data->m_y = r.top + (r.bottom - r.top) / 2;
}

void CFloater::ApplyOpacity()
{
    INoteHost* host = GetNoteHost();
    const int opacity = m_data ? m_data->m_opacity : 100;
    if (host && m_hWnd)
        host->SetWindowAlphaLevel(m_hWnd, opacity);
    const BOOL translucent = opacity < 100;
    if (translucent && !m_countedTranslucent) {
        if (host)
            host->RaiseWindowCount();
        m_countedTranslucent = TRUE;
    } else if (!translucent) {
        GiveBackTranslucency();
    }
}

void CFloater::GiveBackTranslucency()
{
    if (!m_countedTranslucent)
        return;
    m_countedTranslucent = FALSE;
    if (INoteHost* host = GetNoteHost())
        host->ReleaseWindowCount();
}

void CFloater::Close()
{
    StorePlacement();
    GiveBackTranslucency();
    m_closing = TRUE;
    if (m_desk && m_desk->GetWindow())
        ::PostMessageA(m_desk->GetWindow()->GetSafeHwnd(), WM_FLOATER_CLOSED, (WPARAM)this, 0);
}

void CFloater::ShowAndRegister(const RECT& rect)
{
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                   SWP_SHOWWINDOW | SWP_NOACTIVATE);
    if (m_desk)
        m_desk->RegisterFloater(this);
}

BOOL CFloater::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    // Commands of the catalogue window (save layout, close all, refresh).
    CWnd* owner = m_desk ? m_desk->GetWindow() : NULL;
    return owner && owner != this && owner->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

int CFloater::OnCreate(LPCREATESTRUCT cs)
{
    if (CWnd::OnCreate(cs) == -1)
        return -1;
    ApplyOpacity();
    return 0;
}

void CFloater::OnDestroy()
{
    // However the window goes, it gives back what it counted.
    GiveBackTranslucency();
    CWnd::OnDestroy();
}

void CFloater::OnLButtonDown(UINT, CPoint point)
{
    m_dragging = TRUE;
    SetCapture();
    RECT r;
    GetWindowRect(&r);
    ClientToScreen(&point);
    m_dragOffsetX = point.x - r.left;
    m_dragOffsetY = point.y - r.top;
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    if (m_desk && m_desk->GetWindow())
        ::PostMessageA(m_desk->GetWindow()->GetSafeHwnd(), WM_FLOATER_RAISED, (WPARAM)this, 0);
    RedrawWindow();
}

void CFloater::OnMouseMove(UINT, CPoint point)
{
    if (!m_dragging)
        return;
    ClientToScreen(&point);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, point.x - m_dragOffsetX, point.y - m_dragOffsetY, 0, 0,
                   SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
}

void CFloater::OnLButtonUp(UINT, CPoint)
{
    m_dragging = FALSE;
    ::ReleaseCapture();
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    RedrawWindow();
}

void CFloater::OnRButtonUp(UINT, CPoint)
{
    if (m_desk && m_desk->BringDialogForward())
        return;
    Default();
}

void CFloater::OnMove(int, int)
{
    Default();
    StorePlacement();
}

void CFloater::OnSize(UINT, int, int)
{
    Default();
    StorePlacement();
}

void CFloater::OnTimer(UINT_PTR id)
{
    if (id == FLOATER_REPAINT_TIMER) {
        KillTimer(id);
        RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    Default();
}

void CFloater::OnContextMenu(CWnd*, CPoint point)
{
    CMenu menu;
    if (!menu.LoadMenu(IDM_FLOATER))
        return;
    CMenu* popup = menu.GetSubMenu(GetMenuIndex());
    if (!popup)
        return;
    ::SetMenuDefaultItem(popup->GetSafeHmenu(), 0, TRUE);
    if (point.x == -1 && point.y == -1) {
        RECT r;
        GetWindowRect(&r);
        point = CPoint(r.left, r.top);
    }
    popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, this);
}

void CFloater::OnInitMenuPopup(CMenu* popup, UINT index, BOOL systemMenu)
{
    UpdatePopupMenuUI(this, popup, index, systemMenu);
}

void CFloater::OnClose()
{
    OnCloseCommand();
}

void CFloater::OnCloseCommand()
{
    // A floater that a dialog edits stays until the dialog ends.
    if (m_desk && m_desk->GetEditedFloater() == this && m_desk->BringDialogForward())
        return;
    Close();
}

void CFloater::OnSave()
{
    if (!m_desk || !m_data || !m_desk->GetSite())
        return;
    StorePlacement();
    m_desk->GetSite()->AddToCatalogue(m_data, m_name);
}

void CFloater::OnUpdateSave(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(m_desk && m_data && m_desk->GetSite() && m_desk->GetSite()->AcceptsObject(m_data));
}

void CFloater::OnDuplicate()
{
    if (!m_desk || !m_data)
        return;
    CDataGenericObject* copy = NULL;
    if (m_data->IsKindOf(RUNTIME_CLASS(CDataTextObject)))
        copy = new CDataTextObject(*static_cast<CDataTextObject*>(m_data));
    else if (m_data->IsKindOf(RUNTIME_CLASS(CDataShapeObject)))
        copy = new CDataShapeObject(*static_cast<CDataShapeObject*>(m_data));
    if (!copy)
        return;
    copy->m_x = 0;
    copy->m_y = 0;
    m_desk->PlaceOnDesktop(copy, m_name, FALSE, NULL);
}

void CFloater::OnOpacity()
{
    if (!m_desk || !m_data || m_desk->BringDialogForward())
        return;
    INoteHost* host = GetNoteHost();
    if (!host || !host->IsLayeredSupported()) {
        AfxMessageBox(IDS_NOTE_NO_LAYERED, MB_ICONINFORMATION);
        return;
    }
    COpacityDlg dlg(this, m_data, this);
    m_desk->SetOpenDialog(&dlg, this);
    const INT_PTR result = dlg.DoModal();
    m_desk->SetOpenDialog(NULL, NULL);
    (void)result;
    // On OK the object holds the new opacity; on Cancel the old one.
    if (m_hWnd)
        ApplyOpacity();
}

void CFloater::OnUpdateOpacity(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(m_data != NULL);
}

// ---------------------------------------------------------------------------
// CImageFloater

BEGIN_MESSAGE_MAP(CImageFloater, CFloater)
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
    ON_WM_LBUTTONDBLCLK()
    ON_COMMAND(ID_FLOATER_EDIT_CAPTION, OnEditCaption)
    ON_UPDATE_COMMAND_UI(ID_FLOATER_EDIT_CAPTION, OnUpdateEditor)
    ON_COMMAND(ID_FLOATER_EDIT_IMAGE, OnEditImage)
    ON_UPDATE_COMMAND_UI(ID_FLOATER_EDIT_IMAGE, OnUpdateEditor)
    ON_COMMAND(ID_FLOATER_RESIZE, OnResize)
END_MESSAGE_MAP()

LPCTSTR ImageFloaterClass()
{
    static CString name;
    if (name.IsEmpty())
        name = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorA(NULL, MAKEINTRESOURCEA(32512)), NULL, NULL);
    return name;
}

CImageFloater::CImageFloater(CNoteDesk* desk, HBITMAP picture, CDataShapeObject* data, const CString& name,
                             UINT timerId)
    : CFloater(desk, data, name, timerId), m_flag(1), m_widthScale(100), m_heightScale(100), m_picture(picture)
{
}

CImageFloater::~CImageFloater()
{
    if (m_hWnd)
        DestroyWindow();
    if (m_picture)
        ::DeleteObject(m_picture);
}

CDataShapeObject* CImageFloater::GetShape() const
{
    return static_cast<CDataShapeObject*>(m_data);
}

SIZE CImageFloater::GetPictureSize() const
{
    SIZE size = {150, 75};
    BITMAP bm;
    if (m_picture && ::GetObjectA(m_picture, sizeof bm, &bm) == sizeof bm) {
        size.cx = bm.bmWidth;
        size.cy = bm.bmHeight;
    }
    return size;
}

BOOL CImageFloater::CreateAt(POINT topLeft)
{
    const SIZE size = GetPictureSize();
    if (!CreateEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, ImageFloaterClass(), "", WS_POPUP, topLeft.x, topLeft.y,
                  size.cx, size.cy, ::GetDesktopWindow(), NULL))
        return FALSE;
    // The picture's key-coloured pixels are cut out of the window.
    const CDataShapeObject* shape = GetShape();
    if (m_picture && shape && shape->m_transparentColour != CDataShapeObject::kNoKey) {
        HWND ref = m_desk && m_desk->GetWindow() ? m_desk->GetWindow()->GetSafeHwnd() : NULL;
        HDC dc = ::GetDC(ref);
        ImgBitmap bitmap;
        ImgInitBitmap(&bitmap);
        HRGN region = NULL;
        if (ImgBitmapFromDDB(dc, &bitmap, m_picture, NULL) == 1)
            region = ImgRegionWithoutColour(&bitmap, shape->m_transparentColour & 0xFFFFFF);
        ImgFreeBitmap(&bitmap);
        ::ReleaseDC(ref, dc);
        ::SetWindowRgn(m_hWnd, NULL, FALSE);
        if (region && !::SetWindowRgn(m_hWnd, region, TRUE))
            ::DeleteObject(region);
    }
    const RECT rect = {topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy};
    ShowAndRegister(rect);
    return TRUE;
}

void CImageFloater::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    if (m_picture) {
        HDC mem = ::CreateCompatibleDC(dc);
        HGDIOBJ old = ::SelectObject(mem, m_picture);
        const RECT& r = ps.rcPaint;
        ::BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, mem, r.left, r.top, SRCCOPY);
        ::SelectObject(mem, old);
        ::DeleteDC(mem);
    }
    ::EndPaint(m_hWnd, &ps);
    if (m_timerId == 0)
        m_timerId = (UINT)SetTimer(FLOATER_REPAINT_TIMER, 200);
}

BOOL CImageFloater::OnEraseBkgnd(CDC*)
{
    return (BOOL)Default();
}

void CImageFloater::Replace()
{
    if (!m_desk || !GetShape())
        return;
    StorePlacement();
    CDataShapeObject* copy = new CDataShapeObject(*GetShape());
    m_desk->PlaceOnDesktop(copy, m_name, FALSE, NULL);
    Close();
}

void CImageFloater::RunShapeEdit(bool itemEditor)
{
    if (!m_desk || m_desk->BringDialogForward())
        return;
    IShapeImageEditor* editor = GetShapeImageEditor();
    if (!editor || !GetShape())
        return;
    ShapeEditorSettings settings = {m_desk->GetWindow(), (COLORREF)-1, 100, 100, 24, FALSE};
    ShowWindow(SW_HIDE);
    const BOOL changed = itemEditor ? editor->OpenItemImageEditor(m_desk->GetWindow(), GetShape(), &settings)
                                    : editor->EditShapeImage(m_desk->GetWindow(), GetShape(), &settings) == 1;
    // The new floater is made while this one is hidden, so the copy keeps
    // the object's id.
    if (changed)
        Replace();
    else
        ShowWindow(SW_SHOWNOACTIVATE);
}

void CImageFloater::OnLButtonDblClk(UINT, CPoint)
{
    if (GetShapeImageEditor())
        RunShapeEdit(true);
}

void CImageFloater::OnEditCaption()
{
    RunShapeEdit(true);
}

void CImageFloater::OnEditImage()
{
    RunShapeEdit(false);
}

void CImageFloater::OnUpdateEditor(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(GetShapeImageEditor() != NULL);
}

void CImageFloater::OnResize()
{
    if (!m_desk || m_desk->BringDialogForward() || !GetShape())
        return;
    RECT over;
    GetWindowRect(&over);
    ShowWindow(SW_HIDE);
    CAnnotationResizeDlg dlg(GetShape(), &over, m_desk->GetWindow());
    m_desk->SetOpenDialog(&dlg, this);
    const INT_PTR result = dlg.DoModal();
    m_desk->SetOpenDialog(NULL, NULL);
    if (result == IDOK && dlg.m_changed)
        Replace();
    else
        ShowWindow(SW_SHOWNOACTIVATE);
}
