// The main window's side of the screen notes: showing and hiding the
// screen-notes window (keeping the visible flag), the layout hot keys and
// the screen-note hot-key dialog.
#include "app/MainFrame.h"

#include "app/CatalogueStart.h"
#include "app/NoteHotkeyDlg.h"
#include "app/RecorderApp.h"
#include "catalogue/MyCatWnd.h"
#include "resources/ids_catwin.h"
#include "settings/RecorderPrefs.h"

namespace {
CWnd* Catalogue()
{
    CRecorderApp* app = static_cast<CRecorderApp*>(AfxGetApp());
    return app && app->m_catalogue && app->m_catalogue->GetSafeHwnd() ? app->m_catalogue : NULL;
}
}  // namespace

void CMainFrame::ShowCatalogue(BOOL show)
{
    CWnd* catalogue = Catalogue();
    if (!catalogue)
        return;
    catalogue->ShowWindow(show ? SW_SHOW : SW_HIDE);
    if (show)
        m_prefs->m_flags |= kCatalogueVisibleFlag;
    else
        m_prefs->m_flags &= ~kCatalogueVisibleFlag;
}

void CMainFrame::OnToggleCatalogue()
{
    CWnd* catalogue = Catalogue();
    ShowCatalogue(!(catalogue && catalogue->IsWindowVisible()));
}

void CMainFrame::OnUpdateToggleCatalogue(CCmdUI* pCmdUI)
{
    CWnd* catalogue = Catalogue();
    pCmdUI->Enable(catalogue != NULL);
    pCmdUI->SetCheck(catalogue && catalogue->IsWindowVisible() ? 1 : 0);
}

LRESULT CMainFrame::OnHideCatalogue(WPARAM, LPARAM)
{
    ShowCatalogue(FALSE);
    return 0;
}

void CMainFrame::OnNoteHotKeys()
{
    CNoteHotkeyDlg dlg(m_prefs.get(), this);
    if (dlg.DoModal() == IDOK) {
        m_prefs->Save();
        RegisterHotKeys();
    }
}

void CMainFrame::SendLayoutCommand(UINT command)
{
    CWnd* items = CatalogueItemWindow(Catalogue());
    if (items && items->GetSafeHwnd())
        items->SendMessage(WM_COMMAND, command);
}

void CMainFrame::StoreCatalogueOnClose()
{
    CWnd* catalogue = Catalogue();
    if (!catalogue)
        return;
    StoreCatalogueState(catalogue, m_prefs.get());
    if (catalogue->IsWindowVisible())
        m_prefs->m_flags |= kCatalogueVisibleFlag;
    else
        m_prefs->m_flags &= ~kCatalogueVisibleFlag;
}
