#include "framework/ui/Menu.h"

#include "framework/Module.h"
#include "framework/ui/HandleMap.h"
#include "framework/ui/Wnd.h"

namespace {
CMenu* MakeTempMenu(HMENU h)
{
    CMenu* p = new CMenu;
    p->m_hMenu = h;
    return p;
}
void ReleaseTempMenu(CMenu* p)
{
    p->m_hMenu = NULL;
    delete p;
}
thread_local CHandleMap<CMenu, HMENU>* t_menuMap = NULL;   // a pointer: see ThreadHandleMap

CHandleMap<CMenu, HMENU>& MenuMap()
{
    return ThreadHandleMap(t_menuMap, &MakeTempMenu, &ReleaseTempMenu);
}
}  // namespace

void AfxDeleteTempMenuMap()
{
    MenuMap().DeleteTemp();
}

void AfxFreeThreadMenuMap()
{
    FreeThreadHandleMap(t_menuMap);
}

__attribute__((noinline)) HMENU AFXAPI AfxSafeHmenu(const CMenu* pMenu)
{
    return pMenu != NULL ? pMenu->m_hMenu : NULL;
}

IMPLEMENT_DYNCREATE(CMenu, CObject)

CMenu* PASCAL CMenu::FromHandle(HMENU hMenu)
{
    return MenuMap().FromHandle(hMenu);
}

BOOL CMenu::Attach(HMENU hMenu)
{
    if (hMenu == NULL)
        return FALSE;
    if (m_hMenu != NULL)
        DestroyMenu();
    m_hMenu = hMenu;
    MenuMap().SetPermanent(hMenu, this);
    return TRUE;
}

HMENU CMenu::Detach()
{
    HMENU hMenu = m_hMenu;
    if (hMenu != NULL && MenuMap().LookupPermanent(hMenu) == this)
        MenuMap().RemoveHandle(hMenu);
    m_hMenu = NULL;
    return hMenu;
}

BOOL CMenu::LoadMenu(LPCTSTR lpszResourceName)
{
    return Attach(::LoadMenuA(AfxGetResourceHandle(), lpszResourceName));
}

BOOL CMenu::DestroyMenu()
{
    if (m_hMenu == NULL)
        return FALSE;
    return ::DestroyMenu(Detach());
}

int CMenu::GetMenuString(UINT nIDItem, CString& rString, UINT nFlags) const
{
    char buf[512];
    const int n = ::GetMenuStringA(m_hMenu, nIDItem, buf, sizeof(buf), nFlags);
    rString = CString(buf, n > 0 ? n : 0);
    return rString.GetLength();
}

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect)
{
    return ::TrackPopupMenu(m_hMenu, nFlags, x, y, 0, pWnd->GetSafeHwnd(), lpRect);
}
