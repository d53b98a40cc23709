#include "catalogue/CatWnd.h"

#include "catalogue/CatAppearance.h"
#include "catalogue/CatManager.h"
#include "catalogue/CatalogueOb.h"
#include "catalogue/CataloguePropertyObject.h"
#include "controls/Dib.h"
#include "framework/Exceptions.h"
#include "framework/Module.h"
#include "framework/OleDataObject.h"
#include "framework/OleDataSource.h"
#include "framework/ui/AfxWin.h"
#include "framework/ui/Menu.h"
#include "resources/ids_catwin.h"
#include "settings/MenuUpdate.h"

#include <algorithm>

IMPLEMENT_DYNCREATE(CCatWnd, CWnd)

// ---------------------------------------------------------------------------
// Rename edits

BEGIN_MESSAGE_MAP(CCatRenameEdit, CEdit)
    ON_WM_KEYDOWN()
    ON_CONTROL_REFLECT_EX(EN_KILLFOCUS, OnKillFocusReflect)
END_MESSAGE_MAP()

BOOL CCatRenameEdit::PreTranslateMessage(MSG* pMsg)
{
    // Keys reach the edit before any accelerator or dialog handling.
    if (pMsg->message >= WM_KEYFIRST && pMsg->message <= 0x108) {
        ::TranslateMessage(pMsg);
        ::DispatchMessageA(pMsg);
        return TRUE;
    }
    return CEdit::PreTranslateMessage(pMsg);
}

void CCatRenameEdit::OnKeyDown(UINT key, UINT, UINT)
{
    const bool modifier = (::GetKeyState(VK_SHIFT) | ::GetKeyState(VK_CONTROL) | ::GetKeyState(VK_MENU)) < 0;
    if (key == VK_ESCAPE) {
        m_cancel = TRUE;
        if (m_owner)
            m_owner->SetFocus();
        return;
    }
    if (key == VK_RETURN && !modifier) {
        if (m_owner)
            m_owner->SetFocus();
        return;
    }
    Default();
}

BOOL CCatRenameEdit::OnKillFocusReflect()
{
    if (m_owner && IsWindowVisible()) {
        CString text;
        GetWindowText(text);
        ShowWindow(SW_HIDE);
        m_owner->EndRename(text, m_cancel);
    }
    return TRUE;
}

// ---------------------------------------------------------------------------
// Drop target

DROPEFFECT CCatDropTarget::OnDragOver(CWnd* pWnd, COleDataObject* pDataObject, DWORD dwKeyState, CPoint point)
{
    CCatWnd* wnd = static_cast<CCatWnd*>(pWnd);
    return wnd ? wnd->DropEffect(pDataObject, dwKeyState, point) : DROPEFFECT_NONE;
}

void CCatDropTarget::OnDragLeave(CWnd* pWnd)
{
    if (pWnd)
        static_cast<CCatWnd*>(pWnd)->DragLeave();
}

BOOL CCatDropTarget::OnDrop(CWnd* pWnd, COleDataObject* pDataObject, DROPEFFECT dropEffect, CPoint point)
{
    return pWnd && static_cast<CCatWnd*>(pWnd)->DropData(pDataObject, dropEffect, point);
}

// ---------------------------------------------------------------------------
// The grid

BEGIN_MESSAGE_MAP(CCatWnd, CWnd)
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
    ON_WM_SIZE()
    ON_WM_VSCROLL()
    ON_WM_LBUTTONDOWN()
    ON_WM_RBUTTONDOWN()
    ON_WM_SYSCOLORCHANGE()
    ON_WM_KILLFOCUS()
    ON_WM_WINDOWPOSCHANGED()
    ON_WM_INITMENUPOPUP()
    ON_COMMAND(ID_CAT_COPY, OnCopy)
    ON_UPDATE_COMMAND_UI(ID_CAT_COPY, OnUpdateCopy)
    ON_COMMAND(ID_CAT_PASTE, OnPaste)
    ON_UPDATE_COMMAND_UI(ID_CAT_PASTE, OnUpdatePaste)
    ON_COMMAND(ID_CAT_DELETE, OnDelete)
    ON_UPDATE_COMMAND_UI(ID_CAT_DELETE, OnUpdateWritableSelection)
    ON_COMMAND_RANGE(ID_CAT_VIEW_ICONS, ID_CAT_VIEW_ROWS, OnView)
    ON_UPDATE_COMMAND_UI_RANGE(ID_CAT_VIEW_ICONS, ID_CAT_VIEW_ROWS, OnUpdateView)
    ON_COMMAND(ID_CAT_CHANGE_ICON, OnChangeIcon)
    ON_UPDATE_COMMAND_UI(ID_CAT_CHANGE_ICON, OnUpdateWritableSelection)
    ON_COMMAND(ID_CAT_EDIT_ICON, OnEditIcon)
    ON_UPDATE_COMMAND_UI(ID_CAT_EDIT_ICON, OnUpdateEditIcon)
END_MESSAGE_MAP()

CCatWnd::CCatWnd()
    : m_draggedIndex(-1), m_appearance(NULL), m_page(NULL), m_manager(NULL), m_view(0), m_lineHeight(13),
      m_columns(1), m_margin(0), m_itemFont(NULL), m_selected(-1), m_previous(-1), m_anchor(-1), m_renaming(-1)
{
}

CCatWnd::~CCatWnd()
{
    if (m_hWnd)
        DestroyWindow();
    if (m_itemFont)
        ::DeleteObject(m_itemFont);
}

BOOL CCatWnd::CreateGrid(CCatManager* manager, const RECT& rect, UINT id)
{
    if (!manager)
        return FALSE;
    LPCTSTR cls = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorA(NULL, MAKEINTRESOURCEA(32512)),
                                      (HBRUSH)(COLOR_WINDOW + 1), NULL);
    return CreateEx(WS_EX_CLIENTEDGE, cls, "", WS_CHILD | WS_VISIBLE | WS_VSCROLL, rect, manager, id);
}

int CCatWnd::OnCreate(LPCREATESTRUCT cs)
{
    if (CWnd::OnCreate(cs) == -1)
        return -1;
    m_manager = DYNAMIC_DOWNCAST(CCatManager, GetParent());
    if (!m_manager)
        return -1;
    if (!m_appearance)
        m_appearance = m_manager->GetAppearance();
    if (!m_appearance)
        return -1;
    m_view = m_appearance->initialView;
    HDC dc = ::GetDC(m_hWnd);
    LOGFONTA lf = {};
    lf.lfHeight = -::MulDiv(m_appearance->itemPoints, ::GetDeviceCaps(dc, LOGPIXELSY), 720);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(lf.lfFaceName, m_appearance->itemFace, LF_FACESIZE);
    m_itemFont = ::CreateFontIndirectA(&lf);
    HGDIOBJ old = ::SelectObject(dc, m_itemFont ? (HGDIOBJ)m_itemFont : ::GetStockObject(DEFAULT_GUI_FONT));
    SIZE dot = {0, 13};
    ::GetTextExtentPoint32A(dc, ".", 1, &dot);
    ::SelectObject(dc, old);
    ::ReleaseDC(m_hWnd, dc);
    m_lineHeight = dot.cy > 0 ? dot.cy : 13;
    CCatAppearance& a = *m_appearance;
    a.cell[2].cy = m_lineHeight + 4;
    const int needed = a.labelLines * m_lineHeight + 2 * a.iconMargin + 4 + 3 * a.gap + a.iconSize;
    if (a.cell[0].cy < needed)
        a.cell[0].cy = needed;
    if (a.cell[3].cy < needed)
        a.cell[3].cy = needed;
    const RECT none = {0, 0, 0, 0};
    const DWORD editStyle = WS_CHILD | WS_BORDER | ES_AUTOHSCROLL;
    if (!m_multiEdit.Create(editStyle | ES_CENTER | ES_MULTILINE, none, this, IDC_CAT_RENAME_MULTI) ||
        !m_singleEdit.Create(editStyle | ES_CENTER, none, this, IDC_CAT_RENAME_SINGLE))
        return -1;
    m_multiEdit.m_owner = m_singleEdit.m_owner = this;
    if (m_itemFont) {
        m_multiEdit.SendMessage(WM_SETFONT, (WPARAM)m_itemFont);
        m_singleEdit.SendMessage(WM_SETFONT, (WPARAM)m_itemFont);
    }
    m_dropTarget.Register(this);
    return 0;
}

void CCatWnd::OnDestroy()
{
    m_dropTarget.Revoke();
    CWnd::OnDestroy();
}

int CCatWnd::GetItemCount() const
{
    return m_page ? m_page->GetItemCount() : 0;
}

BOOL CCatWnd::IsPageWritable() const
{
    return m_page && !m_page->m_readOnly && !m_page->m_protected;
}

void CCatWnd::SetPage(CCataloguePropertyObject* page)
{
    EndVisibleRename();
    m_page = page;
    m_selected = m_previous = m_anchor = -1;
    if (m_hWnd) {
        ScrollTo(0);
        Layout();
        Invalidate(FALSE);
    }
}

void CCatWnd::SetView(int view)
{
    if (view < 0 || view > 3)
        return;
    EndVisibleRename();
    m_view = view;
    Layout();
    Invalidate(FALSE);
}

void CCatWnd::Layout()
{
    if (!m_hWnd || !m_appearance)
        return;
    RECT client;
    GetClientRect(&client);
    const int width = client.right;
    const SIZE cell = m_appearance->cell[m_view];
    if (m_view <= 1 && cell.cx > 0) {
        m_columns = std::max(1, (int)(width / cell.cx));
        m_margin = width > cell.cx ? (width % cell.cx) / 2 : 0;
    } else {
        m_columns = 1;
        m_margin = 0;
    }
    const int rows = (GetItemCount() + m_columns - 1) / m_columns;
    SCROLLINFO si = {};
    si.fMask = SIF_RANGE | SIF_PAGE;
    si.nMin = 0;
    si.nMax = std::max(0, (int)(cell.cy * rows - 1));
    si.nPage = client.bottom;
    SetScrollInfo(SB_VERT, &si, TRUE);
}

RECT CCatWnd::GetCellRect(int i) const
{
    RECT client = {0, 0, 0, 0};
    if (m_hWnd)
        GetClientRect(&client);
    const SIZE cell = m_appearance->cell[m_view];
    const int s = m_hWnd ? GetScrollPos(SB_VERT) : 0;
    RECT r;
    if (m_view <= 1) {
        r.left = cell.cx * (i % m_columns) + m_margin;
        r.right = r.left + cell.cx;
    } else {
        r.left = 0;
        r.right = client.right;
    }
    r.top = cell.cy * (i / m_columns) - s;
    r.bottom = r.top + cell.cy;
    return r;
}

namespace {
int LabelHeight(const CCatAppearance& a, int view, int lineHeight)
{
    return (view == 2 ? lineHeight : lineHeight * a.labelLines) + 4;
}
int CentringOffset(const CCatAppearance& a, int view, int lineHeight)
{
    const int cellH = a.cell[view].cy;
    int off;
    if (view == 1)
        off = (cellH - a.IconBox()) / 2;
    else if (view == 2)
        off = (cellH - LabelHeight(a, view, lineHeight)) / 2;
    else
        off = (cellH - a.gap - a.IconBox() - LabelHeight(a, view, lineHeight)) / 2;
    return off > 0 ? off : 0;
}
}  // namespace

RECT CCatWnd::GetIconRect(int i) const
{
    const RECT cell = GetCellRect(i);
    const int box = m_appearance->IconBox();
    RECT r;
    r.left = cell.left + ((cell.right - cell.left) - box) / 2;
    r.top = cell.top + CentringOffset(*m_appearance, m_view, m_lineHeight);
    r.right = r.left + box;
    r.bottom = r.top + box;
    return r;
}

RECT CCatWnd::GetLabelRect(int i) const
{
    const RECT cell = GetCellRect(i);
    const int off = CentringOffset(*m_appearance, m_view, m_lineHeight);
    RECT r = cell;
    r.top = m_view == 2 ? cell.top + off : cell.top + m_appearance->gap + m_appearance->IconBox() + off;
    r.bottom = r.top + LabelHeight(*m_appearance, m_view, m_lineHeight);
    return r;
}

int CCatWnd::HitTest(POINT point) const
{
    const int n = GetItemCount();
    for (int i = 0; i < n; ++i) {
        if (m_view != 2) {
            const RECT r = GetIconRect(i);
            if (::PtInRect(&r, point))
                return i;
        }
        if (m_view != 1) {
            const RECT r = GetLabelRect(i);
            if (::PtInRect(&r, point))
                return i;
        }
    }
    return -1;
}

int CCatWnd::InsertIndexAt(POINT point) const
{
    const SIZE cell = m_appearance->cell[m_view];
    const int s = m_hWnd ? GetScrollPos(SB_VERT) : 0;
    int index;
    if (m_view <= 1)
        index = (cell.cx / 2 - m_margin + point.x) / cell.cx + ((point.y + s) / cell.cy) * m_columns;
    else
        index = (cell.cy / 2 + point.y + s) / cell.cy;
    const int n = GetItemCount();
    if (index > n)
        index = n;
    return index < 0 ? 0 : index;
}

CString CCatWnd::FitLabelLine(HDC dc, const CString& text, int width, BOOL ellipsis, int* consumed)
{
    int end = text.Find('\r');
    if (end < 0)
        end = text.GetLength();
    CString line = text.Left(end);
    int used = end;
    SIZE size;
    ::GetTextExtentPoint32A(dc, line, line.GetLength(), &size);
    if (size.cx > width) {
        int ellipsisWidth = 0;
        if (ellipsis) {
            SIZE e;
            ::GetTextExtentPoint32A(dc, "...", 3, &e);
            ellipsisWidth = e.cx;
        }
        // The longest prefix (whole characters) that fits.
        int fit = 0;
        for (int n = 0; n < line.GetLength();) {
            const int step = ::IsDBCSLeadByteEx(936, (BYTE)line[n]) && n + 1 < line.GetLength() ? 2 : 1;
            ::GetTextExtentPoint32A(dc, line, n + step, &size);
            if (size.cx + ellipsisWidth > width)
                break;
            n += step;
            fit = n;
        }
        CString kept = line.Left(fit);
        const int space = kept.ReverseFind(' ');
        if (space > 0)
            kept = kept.Left(space);
        used = kept.GetLength();
        if (space > 0)
            ++used;   // the space is taken by the line break
        line = kept;
        if (ellipsis)
            line += "...";
    }
    if (used < text.GetLength() && text[used] == '\r') {
        ++used;
        if (used < text.GetLength() && text[used] == '\n')
            ++used;
    }
    if (consumed)
        *consumed = used > 0 ? used : std::min(1, text.GetLength());
    return line;
}

CString CCatWnd::PastedTextName(const char* data, size_t size)
{
    size_t n = 0;
    while (n < size && n < 64 && data[n])
        ++n;
    // Never cut a double-byte character in half.
    size_t whole = 0;
    for (size_t i = 0; i < n;) {
        const size_t step = ::IsDBCSLeadByteEx(936, (BYTE)data[i]) ? 2 : 1;
        if (i + step > n)
            break;
        i += step;
        whole = i;
    }
    CString name(data, (int)whole);
    for (int i = 0; i < name.GetLength(); ++i) {
        const BYTE c = (BYTE)name[i];
        if (c < 0x20 && c != '\r' && c != '\n')
            name.SetAt(i, ' ');
    }
    return name;
}

void CCatWnd::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    RECT client;
    GetClientRect(&client);
    HDC mem = ::CreateCompatibleDC(dc);
    HBITMAP bitmap = ::CreateCompatibleBitmap(dc, std::max(1L, client.right), std::max(1L, client.bottom));
    HGDIOBJ old = ::SelectObject(mem, bitmap);
    HBRUSH back = ::CreateSolidBrush(m_appearance ? m_appearance->background.value : RGB(255, 255, 255));
    ::FillRect(mem, &client, back);
    ::DeleteObject(back);
    const int n = GetItemCount();
    for (int i = 0; i < n; ++i)
        DrawItem(mem, i, client);
    ::BitBlt(dc, 0, 0, client.right, client.bottom, mem, 0, 0, SRCCOPY);
    ::SelectObject(mem, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(mem);
    ::EndPaint(m_hWnd, &ps);
}

BOOL CCatWnd::OnEraseBkgnd(CDC*)
{
    return TRUE;
}

void CCatWnd::DrawItem(HDC dc, int i, const RECT& client)
{
    RECT cell = GetCellRect(i), meet;
    if (!::IntersectRect(&meet, &cell, &client))
        return;
    DrawIconFrame(dc, i);
    DrawItemIcon(dc, i);
    DrawLabel(dc, i);
}

void CCatWnd::DrawIconFrame(HDC dc, int i)
{
    if (m_view == 2)
        return;
    const CCatAppearance& a = *m_appearance;
    RECT r = GetIconRect(i);
    if (i == m_selected) {
        HBRUSH b = ::CreateSolidBrush(a.highlight.value);
        ::FillRect(dc, &r, b);
        ::DeleteObject(b);
        return;
    }
    if (a.iconMargin == 0)
        return;
    HBRUSH b = ::CreateSolidBrush(a.face.value);
    ::FillRect(dc, &r, b);
    ::DeleteObject(b);
    CDC* cdc = CDC::FromHandle(dc);
    RECT in = r;
    ::InflateRect(&in, -(a.iconMargin - 1), -(a.iconMargin - 1));
    cdc->Draw3dRect(&in, a.shadow.value, a.light.value);
    cdc->Draw3dRect(&r, a.light.value, a.shadow.value);
}

void CCatWnd::DrawItemIcon(HDC dc, int i)
{
    if (m_view == 2 || !m_page)
        return;
    const RECT r = GetIconRect(i);
    const int size = m_appearance->iconSize;
    m_page->GetItem(i)->DrawIcon(dc, r.left + ((r.right - r.left) - size) / 2, r.top + ((r.bottom - r.top) - size) / 2,
                                 size);
}

void CCatWnd::DrawLabel(HDC dc, int i)
{
    if (m_view == 1 || !m_page)
        return;
    DrawLabelText(dc, i, m_page->GetItem(i)->GetName());
}

void CCatWnd::DrawLabelText(HDC dc, int i, const CString& text)
{
    const CCatAppearance& a = *m_appearance;
    RECT r = GetLabelRect(i);
    ::SetBkMode(dc, TRANSPARENT);
    if (i == m_selected) {
        HBRUSH b = ::CreateSolidBrush(a.highlight.value);
        ::FillRect(dc, &r, b);
        ::DeleteObject(b);
        ::SetTextColor(dc, a.highlightText.value);
    } else {
        ::SetTextColor(dc, a.text.value);
    }
    HGDIOBJ old = ::SelectObject(dc, m_itemFont ? (HGDIOBJ)m_itemFont : ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetTextAlign(dc, m_view == 2 ? TA_LEFT : TA_CENTER);
    const int lines = m_view == 2 ? 1 : a.labelLines;
    CString rest = text;
    const int width = (r.right - r.left) - 4;
    for (int k = 0; k < lines && !rest.IsEmpty(); ++k) {
        int used = 0;
        const CString line = FitLabelLine(dc, rest, width, k == lines - 1, &used);
        const int x = m_view == 2 ? r.left + 2 : (r.left + r.right) / 2 - 1;
        ::ExtTextOutA(dc, x, r.top + 2 + k * m_lineHeight, ETO_CLIPPED, &r, line, line.GetLength(), NULL);
        rest = rest.Mid(used);
    }
    ::SetTextAlign(dc, TA_LEFT);
    ::SelectObject(dc, old);
}

void CCatWnd::ScrollTo(int pos)
{
    if (!m_hWnd)
        return;
    SCROLLINFO si = {};
    GetScrollInfo(SB_VERT, &si, SIF_ALL);
    const int maxPos = std::max(0, si.nMax - (int)si.nPage + 1);
    pos = std::max(0, std::min(pos, maxPos));
    if (pos != GetScrollPos(SB_VERT)) {
        EndVisibleRename();
        SetScrollPos(SB_VERT, pos);
        Invalidate(FALSE);
    }
}

void CCatWnd::SelectIndex(int i)
{
    if (i >= GetItemCount())
        i = -1;
    m_previous = m_selected;
    m_selected = i;
    m_anchor = i;
    if (i >= 0 && m_hWnd) {
        RECT client, cell = GetCellRect(i);
        GetClientRect(&client);
        const int s = GetScrollPos(SB_VERT);
        if (cell.bottom > client.bottom)
            ScrollTo(s + cell.bottom - client.bottom);
        else if (cell.top < 0)
            ScrollTo(s + cell.top);
    }
    if (m_hWnd)
        Invalidate(FALSE);
}

void CCatWnd::OnSize(UINT, int, int)
{
    Default();
    EndVisibleRename();
    Layout();
    Invalidate(FALSE);
}

void CCatWnd::OnVScroll(UINT code, UINT, CScrollBar*)
{
    SCROLLINFO si = {};
    GetScrollInfo(SB_VERT, &si, SIF_ALL);
    const int cellH = m_appearance->cell[m_view].cy;
    int pos = si.nPos;
    switch (code) {
    case SB_LINEUP: pos -= cellH; break;
    case SB_LINEDOWN: pos += cellH; break;
    case SB_PAGEUP: pos -= (int)si.nPage; break;
    case SB_PAGEDOWN: pos += (int)si.nPage; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = si.nTrackPos; break;
    case SB_TOP: pos = si.nMin; break;
    case SB_BOTTOM: pos = si.nMax; break;
    default: return;
    }
    ScrollTo(pos);
}

void CCatWnd::OnLButtonDown(UINT, CPoint point)
{
    SetFocus();
    const int before = m_selected;
    const int hit = HitTest(point);
    SelectIndex(hit);
    if (hit < 0)
        return;
    COleDataSource* source = new COleDataSource;
    DROPEFFECT effect = DROPEFFECT_NONE;
    if (FillDataSource(source, hit)) {
        m_draggedIndex = hit;
        OnDragStarted();
        effect = source->DoDragDrop(DROPEFFECT_COPY | DROPEFFECT_MOVE);
    }
    source->Empty();
    source->InternalRelease();
    m_draggedIndex = -1;
    if (effect == DROPEFFECT_NONE && IsPageWritable() && before == hit && m_view != 1) {
        const RECT label = GetLabelRect(hit);
        if (::PtInRect(&label, point))
            BeginRename(hit);
    }
}

void CCatWnd::OnRButtonDown(UINT, CPoint point)
{
    SetFocus();
    SelectIndex(HitTest(point));
    CMenu menu;
    if (!menu.LoadMenu(m_appearance->itemMenu))
        return;
    CMenu* popup = menu.GetSubMenu(0);
    POINT screen = point;
    ClientToScreen(&screen);
    if (popup)
        popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, m_manager);
}

void CCatWnd::OnSysColorChange()
{
    Default();
    if (m_appearance)
        m_appearance->RefreshSystemColours();
    Invalidate(FALSE);
}

void CCatWnd::OnKillFocus(CWnd* newWnd)
{
    Default();
    if (newWnd != &m_multiEdit && newWnd != &m_singleEdit)
        EndVisibleRename();
}

void CCatWnd::OnWindowPosChanged(WINDOWPOS*)
{
    Default();
    EndVisibleRename();
}

void CCatWnd::OnInitMenuPopup(CMenu* popup, UINT index, BOOL systemMenu)
{
    UpdatePopupMenuUI(this, popup, index, systemMenu);
}

void CCatWnd::EndVisibleRename()
{
    if (m_multiEdit.m_hWnd && m_multiEdit.IsWindowVisible() && ::GetFocus() == m_multiEdit.m_hWnd)
        SetFocus();
    else if (m_singleEdit.m_hWnd && m_singleEdit.IsWindowVisible() && ::GetFocus() == m_singleEdit.m_hWnd)
        SetFocus();
}

void CCatWnd::BeginRename(int i)
{
    if (i < 0 || i >= GetItemCount() || !IsPageWritable() || !BeforeEdit())
        return;
    CCatRenameEdit& edit = m_view == 2 ? m_singleEdit : m_multiEdit;
    edit.m_cancel = FALSE;
    m_renaming = i;
    const RECT r = GetLabelRect(i);
    edit.MoveWindow(&r);
    edit.SetWindowText(m_page->GetItem(i)->GetName());
    edit.ShowWindow(SW_SHOW);
    edit.SendMessage(EM_SETSEL, 0, -1);
    edit.SendMessage(EM_SCROLLCARET);
    edit.SetFocus();
}

void CCatWnd::EndRename(const CString& text, BOOL cancel)
{
    const int i = m_renaming;
    m_renaming = -1;
    if (cancel || i < 0 || i >= GetItemCount() || !m_manager)
        return;
    CString name = text;
    name.Trim();
    m_manager->EditPage([&] {
        m_page = m_manager->GetActivePage();
        m_page->GetItem(i)->SetName(name);
        return TRUE;
    });
    m_page = m_manager->GetActivePage();
    Invalidate(FALSE);
}

int CCatWnd::InsertItemSaved(CCatalogueOb* item, int index)
{
    if (!m_manager || !item)
        return -1;
    CCataloguePropertyObject* page = m_manager->GetActivePage();
    if (index < 0 || index > page->GetItemCount())
        index = page->GetItemCount();
    const BOOL saved = m_manager->EditPage([&] {
        m_manager->GetActivePage()->InsertItem(index, item);
        return TRUE;
    });
    m_page = m_manager->GetActivePage();
    if (!saved) {
        Invalidate(FALSE);
        return -1;
    }
    Layout();
    SelectIndex(index);
    return index;
}

BOOL CCatWnd::FillDataSource(COleDataSource* source, int i)
{
    if (!m_page || i < 0 || i >= GetItemCount())
        return FALSE;
    m_page->GetItem(i)->PlaceOnDataSource(source);
    return source->GetFormatCount() > 0;
}

BOOL CCatWnd::ReceiveData(COleDataObject* data, int index)
{
    CCatalogueOb* item = NULL;
    try {
        item = CCatalogueOb::FromDataObject(data);
    } catch (CException* e) {
        e->ReportError();
        e->Delete();
        return 0;
    }
    if (!item && data->IsDataAvailable(CF_TEXT)) {
        HGLOBAL mem = data->GetGlobalData(CF_TEXT);
        if (!mem)
            return 0;
        const SIZE_T size = ::GlobalSize(mem);
        const char* text = (const char*)::GlobalLock(mem);
        if (!text) {
            ::GlobalFree(mem);
            return 0;
        }
        item = new CCatalogueOb;
        item->SetName(PastedTextName(text, size));
        ::GlobalUnlock(mem);
        HICON icon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_appearance->textItemIcon));
        item->SetIcon(icon);
        if (icon)
            ::DestroyIcon(icon);
        item->AddRendering(CF_TEXT, mem);
        ::GlobalFree(mem);
    } else if (!item && data->IsDataAvailable(CF_DIB)) {
        HGLOBAL mem = data->GetGlobalData(CF_DIB);
        if (!mem)
            return 0;
        CDib dib;
        if (!dib.Attach(mem)) {
            ::GlobalFree(mem);
            return 0;
        }
        item = new CCatalogueOb;
        item->SetName("Bitmap");
        item->SetIconFromImage(m_hWnd, &dib, NULL, m_appearance->iconSize);
        item->AddRendering(CF_DIB, mem);
        ::GlobalFree(mem);
    }
    if (!item)
        return 0;
    InsertItemSaved(item, index);
    Invalidate(FALSE);
    return 1;
}

BOOL CCatWnd::DropData(COleDataObject* data, DROPEFFECT, CPoint point)
{
    int index = InsertIndexAt(point);
    if (index < 0)
        index = GetItemCount();
    if (m_draggedIndex < 0)
        return ReceiveData(data, index), TRUE;
    if (!BeforeEdit())
        return TRUE;
    const int from = m_draggedIndex;
    int to = index > from ? index - 1 : index;
    if (to >= GetItemCount())
        to = GetItemCount() - 1;
    const BOOL saved = m_manager->EditPage([&] {
        m_manager->GetActivePage()->MoveItem(from, to);
        return TRUE;
    });
    m_page = m_manager->GetActivePage();
    if (saved)
        SelectIndex(to);
    Invalidate(FALSE);
    return TRUE;
}

DROPEFFECT CCatWnd::DropEffect(COleDataObject* data, DWORD, CPoint)
{
    if (!m_manager || !m_manager->AcceptsPaste(data) || !IsPageWritable())
        return DROPEFFECT_NONE;
    return m_draggedIndex >= 0 ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
}

void CCatWnd::OnCopy()
{
    if (m_selected < 0)
        return;
    COleDataSource* source = new COleDataSource;
    if (FillDataSource(source, m_selected)) {
        source->SetClipboard();
        return;
    }
    source->InternalRelease();
}

void CCatWnd::OnUpdateCopy(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(m_selected >= 0);
}

void CCatWnd::OnPaste()
{
    COleDataObject data;
    if (!data.AttachClipboard())
        return;
    ReceiveData(&data, GetItemCount());
}

void CCatWnd::OnUpdatePaste(CCmdUI* pCmdUI)
{
    BOOL enable = FALSE;
    if (IsPageWritable() && m_manager) {
        COleDataObject data;
        if (data.AttachClipboard() && m_manager->AcceptsPaste(&data))
            enable = data.IsDataAvailable(CCatalogueOb::ClipboardFormat()) || data.IsDataAvailable(CF_TEXT) ||
                     data.IsDataAvailable(CF_DIB);
    }
    pCmdUI->Enable(enable);
}

void CCatWnd::OnDelete()
{
    if (!IsPageWritable() || m_selected < 0 || !m_manager || !BeforeEdit())
        return;
    const int i = m_selected;
    m_manager->EditPage([&] {
        m_manager->GetActivePage()->DeleteItem(i);
        return TRUE;
    });
    m_page = m_manager->GetActivePage();
    Layout();
    m_selected = -1;
    Invalidate(FALSE);
}

void CCatWnd::OnUpdateWritableSelection(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(IsPageWritable() && m_selected >= 0);
}

void CCatWnd::OnView(UINT id)
{
    SetView((int)(id - ID_CAT_VIEW_ICONS));
}

void CCatWnd::OnUpdateView(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(TRUE);
    pCmdUI->SetRadio((int)(pCmdUI->m_nID - ID_CAT_VIEW_ICONS) == m_view);
}

void CCatWnd::OnChangeIcon()
{
    if (!IsPageWritable() || m_selected < 0 || !m_manager || !BeforeEdit())
        return;
    const int i = m_selected;
    m_manager->EditPage([&] {
        return m_manager->GetActivePage()->ReplaceItemIcon(i, m_appearance->iconSize, this) == 0;
    });
    m_page = m_manager->GetActivePage();
    Invalidate(FALSE);
}

void CCatWnd::OnEditIcon()
{
    if (!IsPageWritable() || m_selected < 0 || !m_manager || !m_manager->CanEditIcons() || !BeforeEdit())
        return;
    const int i = m_selected;
    m_manager->EditPage([&] {
        return m_manager->EditItemIcon(m_manager->GetActivePage(), i, m_appearance->iconSize);
    });
    m_page = m_manager->GetActivePage();
    Invalidate(FALSE);
}

void CCatWnd::OnUpdateEditIcon(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(IsPageWritable() && m_selected >= 0 && m_manager && m_manager->CanEditIcons());
}
