#include "settings/MenuUpdate.h"

#include "framework/ui/CmdTarget.h"
#include "framework/ui/Menu.h"
#include "framework/ui/Wnd.h"

namespace {

// The menu of the window's menu bar that opens the popup, or NULL.
CMenu* FindParentMenu(CWnd* window, CMenu* popup)
{
    HWND top = ::GetAncestor(window->GetSafeHwnd(), GA_ROOT);
    HMENU bar = top ? ::GetMenu(top) : NULL;
    if (!bar)
        return NULL;
    const int count = ::GetMenuItemCount(bar);
    for (int i = 0; i < count; ++i) {
        if (::GetSubMenu(bar, i) == popup->m_hMenu)
            return CMenu::FromHandle(bar);
    }
    return NULL;
}

}  // namespace

void UpdatePopupMenuUI(CWnd* window, CMenu* popup, UINT, BOOL systemMenu)
{
    if (systemMenu || !window || !popup)
        return;
    CCmdUI state;
    state.m_pMenu = popup;
    state.m_pParentMenu = FindParentMenu(window, popup);
    state.m_nIndexMax = popup->GetMenuItemCount();
    for (state.m_nIndex = 0; state.m_nIndex < state.m_nIndexMax; state.m_nIndex++) {
        state.m_nID = popup->GetMenuItemID((int)state.m_nIndex);
        if (state.m_nID == 0)
            continue;   // separator
        if (state.m_nID == (UINT)-1) {
            state.m_pSubMenu = popup->GetSubMenu((int)state.m_nIndex);
            if (state.m_pSubMenu == NULL || (state.m_nID = state.m_pSubMenu->GetMenuItemID(0)) == 0 ||
                state.m_nID == (UINT)-1)
                continue;
            state.DoUpdate(window, FALSE);
        } else {
            state.m_pSubMenu = NULL;
            state.DoUpdate(window, state.m_nID < 0xF000);
        }
        // A handler may have removed items: step back over them.
        const UINT count = popup->GetMenuItemCount();
        if (count < state.m_nIndexMax) {
            state.m_nIndex -= (state.m_nIndexMax - count);
            while (state.m_nIndex < count && popup->GetMenuItemID((int)state.m_nIndex) == state.m_nID)
                state.m_nIndex++;
        }
        state.m_nIndexMax = count;
    }
}
