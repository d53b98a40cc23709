#include "catalogue/CatManager.h"

#include "catalogue/CatAppearance.h"
#include "catalogue/CatWnd.h"
#include "catalogue/CatalogueOb.h"
#include "catalogue/CataloguePropertyObject.h"
#include "framework/Collections.h"
#include "framework/Exceptions.h"
#include "framework/Module.h"
#include "framework/ui/AfxWin.h"
#include "framework/ui/Menu.h"
#include "resources/ids_catalogue.h"
#include "resources/ids_catwin.h"
#include "settings/MenuUpdate.h"

#include <algorithm>

IMPLEMENT_DYNCREATE(CCatManager, CWnd)

namespace {
const UINT_PTR kLeaveTimer = 1;
}

BEGIN_MESSAGE_MAP(CCatManager, CWnd)
    ON_WM_CREATE()
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
    ON_WM_SIZE()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_RBUTTONDOWN()
    ON_WM_TIMER()
    ON_WM_INITMENUPOPUP()
    ON_COMMAND(ID_CAT_NEW_PAGE, OnNew)
    ON_UPDATE_COMMAND_UI(ID_CAT_NEW_PAGE, OnUpdateNew)
    ON_COMMAND(ID_CAT_OPEN_PAGE, OnOpen)
    ON_COMMAND(ID_CAT_CLOSE_PAGE, OnClose)
    ON_UPDATE_COMMAND_UI(ID_CAT_CLOSE_PAGE, OnUpdateClose)
    ON_COMMAND(ID_CAT_ACTIVATE_PAGE, OnActivateHot)
    ON_UPDATE_COMMAND_UI(ID_CAT_ACTIVATE_PAGE, OnUpdateActivateHot)
END_MESSAGE_MAP()

CCatManager::CCatManager()
    : m_busy(FALSE), m_itemClass(NULL), m_appearance(NULL), m_itemWnd(NULL), m_active(0), m_hot(-1),
      m_pressed(FALSE), m_menuOpen(FALSE), m_headerFont(NULL), m_headerHeight(18)
{
    ::SetRectEmpty(&m_itemRect);
    CCataloguePropertyObject* first = new CCataloguePropertyObject;
    first->m_pageType = 1;
    m_pages.push_back(first);
}

CCatManager::~CCatManager()
{
    if (m_itemWnd) {
        m_itemWnd->SetPage(NULL);
        delete m_itemWnd;
        m_itemWnd = NULL;
    }
    if (m_hWnd)
        DestroyWindow();
    for (CCataloguePropertyObject* page : m_pages)
        delete page;
    m_pages.clear();
    delete m_appearance;
    if (m_headerFont)
        ::DeleteObject(m_headerFont);
}

BOOL CCatManager::CreateManager(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    LPCTSTR cls = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorA(NULL, MAKEINTRESOURCEA(32512)),
                                      (HBRUSH)(COLOR_BTNFACE + 1), NULL);
    return CreateEx(0, cls, NULL, style, rect, parent, id);
}

int CCatManager::OnCreate(LPCREATESTRUCT cs)
{
    if (CWnd::OnCreate(cs) == -1)
        return -1;
    CObject* made = m_itemClass ? m_itemClass->CreateObject() : new CCatWnd;
    m_itemWnd = DYNAMIC_DOWNCAST(CCatWnd, made);
    if (!m_itemWnd) {
        delete made;
        return -1;
    }
    if (!m_appearance)
        m_appearance = new CCatAppearance;
    m_itemWnd->SetAppearance(m_appearance);
    const RECT none = {0, 0, 0, 0};
    if (!m_itemWnd->CreateGrid(this, none, IDC_CAT_ITEMS))
        return -1;
    HDC dc = ::GetDC(m_hWnd);
    LOGFONTA lf = {};
    lf.lfHeight = -::MulDiv(m_appearance->tabPoints, ::GetDeviceCaps(dc, LOGPIXELSY), 720);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(lf.lfFaceName, m_appearance->tabFace, LF_FACESIZE);
    m_headerFont = ::CreateFontIndirectA(&lf);
    TEXTMETRICA tm = {};
    HGDIOBJ old = ::SelectObject(dc, m_headerFont ? (HGDIOBJ)m_headerFont : ::GetStockObject(DEFAULT_GUI_FONT));
    ::GetTextMetricsA(dc, &tm);
    ::SelectObject(dc, old);
    ::ReleaseDC(m_hWnd, dc);
    if (!m_headerFont)
        return -1;
    m_headerHeight = tm.tmHeight + 5;
    m_itemWnd->SetPage(GetActivePage());
    LayoutItems();
    return 0;
}

CCataloguePropertyObject* CCatManager::GetPageAt(int i) const
{
    return i >= 0 && i < (int)m_pages.size() ? m_pages[i] : NULL;
}

int CCatManager::FindPage(LPCTSTR path) const
{
    if (!path || !*path)
        return -1;
    for (size_t i = 0; i < m_pages.size(); ++i)
        if (!m_pages[i]->m_path.IsEmpty() && m_pages[i]->m_path.CompareNoCase(path) == 0)
            return (int)i;
    return -1;
}

BOOL CCatManager::EditItemIcon(CCataloguePropertyObject*, int, int)
{
    return FALSE;
}

void CCatManager::LayoutItems()
{
    if (!m_hWnd)
        return;
    RECT client;
    GetClientRect(&client);
    const int n = (int)m_pages.size();
    const int itemHeight = std::max(0, (int)client.bottom - m_headerHeight * n);
    m_itemRect.left = 0;
    m_itemRect.right = client.right;
    m_itemRect.top = m_headerHeight * (m_active + 1);
    m_itemRect.bottom = m_itemRect.top + itemHeight;
    if (m_itemWnd && m_itemWnd->m_hWnd) {
        RECT now;
        m_itemWnd->GetWindowRect(&now);
        ScreenToClient(&now);
        if (!::EqualRect(&now, &m_itemRect))
            m_itemWnd->MoveWindow(&m_itemRect);
    }
}

BOOL CCatManager::Activate(int i)
{
    if (i < 0 || i >= (int)m_pages.size())
        return FALSE;
    m_active = i;
    m_hot = -1;
    if (m_itemWnd)
        m_itemWnd->SetPage(m_pages[i]);
    LayoutItems();
    if (m_hWnd)
        Invalidate(FALSE);
    return TRUE;
}

int CCatManager::AddPage(CCataloguePropertyObject* page)
{
    int pos = (int)m_pages.size();
    if (page->m_pageType == 0) {
        pos = 0;
    } else if (page->m_pageType == 1) {
        for (size_t i = 0; i < m_pages.size(); ++i)
            if (m_pages[i]->m_pageType == 2) {
                pos = (int)i;
                break;
            }
    }
    m_pages.insert(m_pages.begin() + pos, page);
    if (pos <= m_active && m_pages.size() > 1 && m_active + 1 < (int)m_pages.size())
        ++m_active;
    const UINT icon = page->m_pageType == 0 ? IDI_CAT_LAYOUT_PAGE : page->m_pageType == 2 ? IDI_CAT_NOTES_PAGE : 0;
    if (icon && page->GetPropertyItem() && !page->GetPropertyItem()->GetIconImage()) {
        HICON h = (HICON)::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(icon), IMAGE_ICON, 0, 0, 0);
        if (h) {
            page->GetPropertyItem()->SetIcon(h);
            ::DestroyIcon(h);
            // The new icon is stored with the page's next save.
            if (!page->m_path.IsEmpty() && !page->m_readOnly && page->m_version == CCataloguePropertyObject::kVersion)
                page->Save(m_appearance ? m_appearance->maxIncrementalSaves : 5);
        }
    }
    return pos;
}

void CCatManager::RemovePage(int i)
{
    if (i < 0 || i >= (int)m_pages.size())
        return;
    CCataloguePropertyObject* page = m_pages[i];
    m_pages.erase(m_pages.begin() + i);
    if (m_itemWnd && m_itemWnd->GetPage() == page)
        m_itemWnd->SetPage(NULL);
    delete page;
    if (m_active >= (int)m_pages.size())
        m_active = (int)m_pages.size() - 1;
    if (m_active < 0)
        m_active = 0;
}

BOOL CCatManager::NewPage(int type)
{
    if (m_busy)
        return FALSE;
    for (int i = (int)m_pages.size() - 1; i >= 1; --i)
        if (m_pages[i]->m_path.IsEmpty())
            RemovePage(i);
    CCataloguePropertyObject* page = new CCataloguePropertyObject;
    page->m_pageType = type;
    CString name;
    name.LoadString(IDS_CAT_NEW_LIBRARY_NAME);
    if (!name.IsEmpty())
        page->m_name = name;
    return Activate(AddPage(page));
}

BOOL CCatManager::OpenPage(int type, LPCTSTR path)
{
    CCataloguePropertyObject* page = new CCataloguePropertyObject;
    page->m_pageType = type;
    int result = -1;
    try {
        result = path && *path ? page->Open(path) : page->OpenWithDialog(this);
    } catch (CException* e) {
        e->ReportError();
        e->Delete();
        result = -1;
    }
    if (result != 0) {
        delete page;
        Activate(m_active);
        return FALSE;
    }
    CString fresh;
    fresh.LoadString(IDS_CAT_NEW_LAYOUT_LIB);
    for (int i = (int)m_pages.size() - 1; i >= 0 && m_pages.size() > 1; --i)
        if (m_pages[i]->m_path.IsEmpty() && m_pages[i]->m_name.CompareNoCase(fresh) == 0)
            RemovePage(i);
    int index = FindPage(page->m_path);
    if (index >= 0)
        delete page;
    else
        index = AddPage(page);
    if (m_busy)
        m_pages[index]->m_protected = TRUE;
    return Activate(index);
}

BOOL CCatManager::ClosePage(int i)
{
    if (i < 0 || i >= (int)m_pages.size() || m_pages.size() == 2)
        return FALSE;
    RemovePage(i);
    if (m_pages.empty()) {
        CCataloguePropertyObject* page = new CCataloguePropertyObject;
        page->m_pageType = 1;
        m_pages.push_back(page);
    }
    if (m_pages.size() == 1)
        return NewPage(m_pages[0]->m_pageType);
    return Activate(i < (int)m_pages.size() ? i : (int)m_pages.size() - 1);
}

BOOL CCatManager::AcceptsPaste(COleDataObject*)
{
    return TRUE;
}

CString CCatManager::GetPagePath(int i) const
{
    const CCataloguePropertyObject* page = GetPageAt(i);
    return page ? page->m_path : CString();
}

BOOL CCatManager::IsPageProtected(int i) const
{
    const CCataloguePropertyObject* page = GetPageAt(i);
    if (!page) {
        if (m_busy)
            return TRUE;
        page = GetActivePage();
    }
    return page && (page->m_readOnly || page->m_protected);
}

int CCatManager::SavePage(int i)
{
    CCataloguePropertyObject* page = GetPageAt(i < 0 ? m_active : i);
    if (!page)
        return -1;
    if (page->Save(m_appearance ? m_appearance->maxIncrementalSaves : 5) != 0) {
        CStringArray paths;
        for (CCataloguePropertyObject* p : m_pages)
            if (p != page && !p->m_path.IsEmpty())
                paths.Add(p->m_path);
        if (page->SaveAs(paths, this) != 0)
            return -1;
    }
    if (m_hWnd)
        Invalidate(FALSE);
    return 0;
}

void CCatManager::PrepareEdit()
{
    // The library file itself is the copy: a failed save leaves it as it
    // was, and Undo edit reads the page back from it.
}

void CCatManager::UndoEdit()
{
    CCataloguePropertyObject* page = GetActivePage();
    if (!page || page->m_path.IsEmpty())
        return;
    CCataloguePropertyObject* back = new CCataloguePropertyObject;
    back->m_pageType = page->m_pageType;
    int result = -1;
    try {
        result = back->Open(page->m_path);
    } catch (CException* e) {
        e->Delete();
    }
    if (result != 0) {
        delete back;
        return;
    }
    back->m_protected = page->m_protected;
    back->m_readOnly = page->m_readOnly;
    m_pages[m_active] = back;
    if (m_itemWnd && m_itemWnd->GetPage() == page)
        m_itemWnd->SetPage(NULL);
    delete page;
    Activate(m_active);
}

int CCatManager::HitTestHeader(POINT point) const
{
    if (!m_hWnd)
        return -1;
    RECT client;
    GetClientRect(&client);
    if (!::PtInRect(&client, point) || ::PtInRect(&m_itemRect, point))
        return -1;
    int y = point.y;
    if (y >= m_itemRect.bottom)
        y -= m_itemRect.bottom - m_itemRect.top;
    const int index = y / m_headerHeight;
    return index < (int)m_pages.size() ? index : -1;
}

CString CCatManager::FitHeaderName(HDC dc, const CString& name, int width) const
{
    const int n = name.GetLength();
    if (n < 2)
        return name;
    for (int len = 1; len <= n - 1; ++len) {
        SIZE s;
        ::GetTextExtentPoint32A(dc, name, len, &s);
        if (s.cx > width - 40)
            return name.Left(len - 1) + "...";
    }
    return name;
}

void CCatManager::DrawHeader(HDC dc, const RECT& rect, int i)
{
    const CCataloguePropertyObject* page = GetPageAt(i);
    if (!page)
        return;
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0)
        return;
    HDC mem = ::CreateCompatibleDC(dc);
    HBITMAP bitmap = ::CreateCompatibleBitmap(dc, w, h);
    HGDIOBJ oldBitmap = ::SelectObject(mem, bitmap);
    RECT local = {0, 0, w, h};
    ::FillRect(mem, &local, ::GetSysColorBrush(COLOR_BTNFACE));
    CDC* cdc = CDC::FromHandle(mem);
    if (m_pressed && i == m_hot)
        cdc->Draw3dRect(&local, ::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_BTNHIGHLIGHT));
    else if (i == m_active || i == m_hot)
        cdc->Draw3dRect(&local, ::GetSysColor(COLOR_BTNHIGHLIGHT), ::GetSysColor(COLOR_BTNSHADOW));
    const int iconY = (h - 15) / 2;
    if (m_appearance && m_appearance->pageIcon) {
        HICON icon = page->GetPropertyItem() ? page->GetPropertyItem()->CreateIconHandle(m_hWnd) : NULL;
        if (!icon)
            icon = (HICON)::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_appearance->pageIcon), IMAGE_ICON,
                                       16, 16, 0);
        if (icon) {
            ::DrawIconEx(mem, 1, iconY, icon, 16, 16, 0, NULL, DI_NORMAL);
            ::DestroyIcon(icon);
        }
    }
    if (w >= 32 && m_appearance) {
        UINT marker = 0;
        int x = 0;
        if (page->m_readOnly) {
            marker = m_appearance->readOnlyIcon;
            x = w - 16;
        } else if (page->m_protected) {
            marker = m_appearance->protectedIcon;
            x = w - 15;
        }
        if (marker) {
            HICON icon = (HICON)::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(marker), IMAGE_ICON, 16, 16, 0);
            if (icon) {
                ::DrawIconEx(mem, x, iconY, icon, 16, 16, 0, NULL, DI_NORMAL);
                ::DestroyIcon(icon);
            }
        }
    }
    if (w > 40) {
        HGDIOBJ oldFont = ::SelectObject(mem, m_headerFont ? (HGDIOBJ)m_headerFont : ::GetStockObject(DEFAULT_GUI_FONT));
        ::SetBkMode(mem, TRANSPARENT);
        const CString name = FitHeaderName(mem, page->m_name, w);
        SIZE s;
        ::GetTextExtentPoint32A(mem, name, name.GetLength(), &s);
        ::TextOutA(mem, (w - s.cx) / 2, 2, name, name.GetLength());
        ::SelectObject(mem, oldFont);
    }
    ::BitBlt(dc, rect.left, rect.top, w, h, mem, 0, 0, SRCCOPY);
    ::SelectObject(mem, oldBitmap);
    ::DeleteObject(bitmap);
    ::DeleteDC(mem);
}

void CCatManager::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    RECT client;
    GetClientRect(&client);
    LayoutItems();
    int y = 0;
    for (int i = 0; i < (int)m_pages.size(); ++i) {
        const RECT band = {0, y, client.right, y + m_headerHeight};
        DrawHeader(dc, band, i);
        y += m_headerHeight;
        if (i == m_active)
            y += m_itemRect.bottom - m_itemRect.top;
    }
    if (y < client.bottom) {
        RECT rest = {0, y, client.right, client.bottom};
        ::FillRect(dc, &rest, ::GetSysColorBrush(COLOR_BTNFACE));
    }
    ::EndPaint(m_hWnd, &ps);
}

BOOL CCatManager::OnEraseBkgnd(CDC*)
{
    return TRUE;
}

void CCatManager::OnSize(UINT, int, int)
{
    Default();
    LayoutItems();
    Invalidate(FALSE);
}

void CCatManager::OnMouseMove(UINT, CPoint point)
{
    const int hit = HitTestHeader(point);
    if (hit != m_hot) {
        m_hot = hit;
        Invalidate(FALSE);
    }
    if (m_hot >= 0 || m_pressed)
        SetTimer(kLeaveTimer, 100);
}

void CCatManager::OnTimer(UINT_PTR id)
{
    if (id != kLeaveTimer) {
        Default();
        return;
    }
    // The mouse-leave check.
    POINT p;
    ::GetCursorPos(&p);
    ScreenToClient(&p);
    if ((m_hot >= 0 || m_pressed) && HitTestHeader(p) < 0 && !m_menuOpen) {
        m_hot = -1;
        m_pressed = FALSE;
        Invalidate(FALSE);
    }
    if (m_hot < 0 && !m_pressed)
        KillTimer(kLeaveTimer);
}

void CCatManager::OnLButtonDown(UINT, CPoint point)
{
    m_pressed = TRUE;
    m_hot = HitTestHeader(point);
    Invalidate(FALSE);
}

void CCatManager::OnLButtonUp(UINT, CPoint)
{
    m_pressed = FALSE;
    if (m_hot >= 0)
        Activate(m_hot);
    Invalidate(FALSE);
}

void CCatManager::TrackMenu(UINT menuId, int subMenu, CPoint screenPoint)
{
    CMenu menu;
    if (!menu.LoadMenu(menuId))
        return;
    CMenu* popup = menu.GetSubMenu(subMenu);
    if (!popup)
        return;
    m_menuOpen = TRUE;
    popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, screenPoint.x, screenPoint.y, this);
    m_menuOpen = FALSE;
}

void CCatManager::OnRButtonDown(UINT, CPoint point)
{
    m_pressed = TRUE;
    m_hot = HitTestHeader(point);
    Invalidate(FALSE);
    ClientToScreen(&point);
    TrackMenu(m_appearance ? m_appearance->managerMenu : IDM_CAT_MANAGER, 0, point);
    m_pressed = FALSE;
    m_menuOpen = FALSE;
    Invalidate(FALSE);
}

void CCatManager::OnInitMenuPopup(CMenu* popup, UINT index, BOOL systemMenu)
{
    UpdatePopupMenuUI(this, popup, index, systemMenu);
}

BOOL CCatManager::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    // The item grid's commands reach it through the manager too.
    return m_itemWnd && m_itemWnd->m_hWnd && m_itemWnd->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CCatManager::OnNew()
{
    const int before = m_active;
    const CCataloguePropertyObject* target = GetPageAt(TargetPage());
    const int type = target ? target->m_pageType : 1;
    m_hot = -1;
    if (!NewPage(type))
        return;
    if (SavePage(-1) != 0) {
        RemovePage(m_active);
        Activate(std::min(before, GetPageCount() - 1));
    }
}

void CCatManager::OnUpdateNew(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(!m_busy);
}

void CCatManager::OnOpen()
{
    const CCataloguePropertyObject* target = GetPageAt(TargetPage());
    const int type = target ? target->m_pageType : 1;
    m_hot = -1;
    OpenPage(type, NULL);
}

void CCatManager::OnClose()
{
    const int i = TargetPage();
    m_hot = -1;
    ClosePage(i);
}

void CCatManager::OnUpdateClose(CCmdUI* pCmdUI)
{
    const CCataloguePropertyObject* target = GetPageAt(TargetPage());
    int sameType = 0;
    for (CCataloguePropertyObject* p : m_pages)
        if (target && p->m_pageType == target->m_pageType)
            ++sameType;
    pCmdUI->Enable(sameType > 1);
}

void CCatManager::OnActivateHot()
{
    const int hot = m_hot;
    m_hot = -1;
    Activate(hot);
}

void CCatManager::OnUpdateActivateHot(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(m_hot >= 0 && m_hot != m_active);
}
