#include "app/CatalogueStart.h"

#include "app/RecorderApp.h"
#include "catalogue/CatWnd.h"
#include "catalogue/CataloguePropertyObject.h"
#include "catalogue/SkoCatManager.h"
#include "settings/RecorderPrefs.h"

CWnd* MakeCatalogueWindow()
{
    CRecorderApp* app = static_cast<CRecorderApp*>(AfxGetApp());
    if (!app || !app->m_mainStart)
        return NULL;
    const CString folder = app->GetAppDataFolder();
    if (folder.IsEmpty())
        return NULL;
    ::CreateDirectoryA(folder, NULL);
    CCatalogueHostDlg* host = new CCatalogueHostDlg;
    if (!host->CreateHost(NULL, app->m_mainStart->GetPrefs(), app->m_firstRun > 0, folder + "\\Libraries")) {
        delete host;
        return NULL;
    }
    return host;
}

void PlaceCatalogueWindow(CWnd* catalogue, const CRecorderPrefs* prefs, CWnd* mainWindow)
{
    if (!catalogue || !catalogue->GetSafeHwnd() || !prefs)
        return;
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    catalogue->GetWindowPlacement(&wp);
    RECT r = prefs->m_annotationWinRect;
    if (r.right > r.left && r.bottom > r.top) {
        const int w = r.right - r.left, h = r.bottom - r.top;
        const int maxLeft = ::GetSystemMetrics(SM_CXSCREEN) - ::GetSystemMetrics(SM_CXICON);
        const int maxTop = ::GetSystemMetrics(SM_CYSCREEN) - ::GetSystemMetrics(SM_CYICON);
        if (r.left > maxLeft)
            r.left = maxLeft;
        if (r.top > maxTop)
            r.top = maxTop;
        r.right = r.left + w;
        r.bottom = r.top + h;
        wp.rcNormalPosition = r;
    }
    wp.showCmd = SW_HIDE;
    catalogue->SetWindowPlacement(&wp);
    catalogue->ModifyStyle(WS_MINIMIZEBOX, 0);
    if (prefs->m_flags & kCatalogueVisibleFlag)
        catalogue->ShowWindow(SW_SHOWNOACTIVATE);
    else if (mainWindow && mainWindow->GetSafeHwnd())
        mainWindow->SetForegroundWindow();
}

CWnd* CatalogueItemWindow(CWnd* catalogue)
{
    CCatalogueHostDlg* host = dynamic_cast<CCatalogueHostDlg*>(catalogue);
    return host ? host->m_manager.GetItemWindow() : NULL;
}

void StoreCatalogueState(CWnd* catalogue, CRecorderPrefs* prefs)
{
    CCatalogueHostDlg* host = dynamic_cast<CCatalogueHostDlg*>(catalogue);
    if (!host || !prefs || !host->GetSafeHwnd())
        return;
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof wp;
    if (host->GetWindowPlacement(&wp))
        prefs->m_annotationWinRect = wp.rcNormalPosition;
    const CSkoCatManager& manager = host->m_manager;
    CMruList shapes(prefs->m_catalogueFilesMru.GetMaxCount());
    CMruList notes(prefs->m_catalogueTextNoteFilesMru.GetMaxCount());
    // The lists keep the page order: the last added is the newest, so the
    // pages are added from the last to the first.
    for (int i = manager.GetPageCount() - 1; i >= 0; --i) {
        const CCataloguePropertyObject* page = manager.GetPageAt(i);
        const CString path = manager.GetPagePath(i);
        if (path.IsEmpty())
            continue;
        if (page->m_pageType == 0)
            prefs->m_layoutCatalogueLoc = path;
        else if (page->m_pageType == 2)
            notes.Add(path);
        else
            shapes.Add(path);
    }
    prefs->m_catalogueFilesMru.Copy(shapes);
    prefs->m_catalogueTextNoteFilesMru.Copy(notes);
    prefs->m_catalogueActive = manager.GetPagePath(manager.GetActive());
}
