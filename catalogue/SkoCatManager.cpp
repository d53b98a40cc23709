#include "catalogue/SkoCatManager.h"

#include "catalogue/CatAppearance.h"
#include "catalogue/CatWnd.h"
#include "catalogue/CatalogueOb.h"
#include "catalogue/CataloguePropertyObject.h"
#include "catalogue/DataLayoutObject.h"
#include "catalogue/DataShapeObject.h"
#include "catalogue/DataTextObject.h"
#include "catalogue/MyCatWnd.h"
#include "catalogue/NoteHost.h"
#include "controls/Dib.h"
#include "framework/Exceptions.h"
#include "framework/Module.h"
#include "framework/OleDataObject.h"
#include "framework/WinApp.h"
#include "framework/ui/AfxWin.h"
#include "framework/ui/Menu.h"
#include "resources/ids_catalogue.h"
#include "resources/ids_catwin.h"
#include "settings/RecorderPrefs.h"

IMPLEMENT_DYNCREATE(CSkoCatManager, CCatManager)

BEGIN_MESSAGE_MAP(CSkoCatManager, CCatManager)
    ON_WM_RBUTTONDOWN()
    ON_COMMAND(ID_CAT_NEW_NOTE_LIB, OnNewNoteLibrary)
    ON_COMMAND(ID_CAT_NEW_SHAPE_LIB, OnNewShapeLibrary)
    ON_COMMAND(ID_CAT_OPEN_NOTE_LIB, OnOpenNoteLibrary)
    ON_COMMAND(ID_CAT_OPEN_SHAPE_LIB, OnOpenShapeLibrary)
    ON_COMMAND(ID_CAT_CLOSE_LIB, OnCloseLibrary)
    ON_UPDATE_COMMAND_UI(ID_CAT_CLOSE_LIB, OnUpdateCloseLibrary)
    ON_COMMAND(ID_CAT_NEW_LAYOUT_LIB, OnNewLayoutLibrary)
END_MESSAGE_MAP()

CSkoCatManager::CSkoCatManager()
{
    m_itemClass = RUNTIME_CLASS(CMyCatWnd);
}

CSkoCatManager::~CSkoCatManager() {}

CString CSkoCatManager::DefaultFileName(int type)
{
    if (type == 0)
        return "编排.skol";
    if (type == 2)
        return "我的文字便条.skot";
    return "我的形状.skoo";
}

BOOL CSkoCatManager::CanEditIcons()
{
    return GetShapeImageEditor() != NULL;
}

BOOL CSkoCatManager::EditItemIcon(CCataloguePropertyObject* page, int index, int size)
{
    IShapeImageEditor* editor = GetShapeImageEditor();
    if (!editor || !page || index < 0 || index >= page->GetItemCount())
        return FALSE;
    CCatalogueOb* item = page->GetItem(index);
    HDC screen = ::GetDC(m_hWnd);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP colour = ::CreateCompatibleBitmap(screen, size, size);
    HBITMAP mask = ::CreateBitmap(size, size, 1, 1, NULL);
    HGDIOBJ old = ::SelectObject(mem, colour);
    if (item->GetIconImage())
        item->GetIconImage()->Draw(CDC::FromHandle(mem), 0, 0);
    ::SelectObject(mem, mask);
    if (item->GetIconMask())
        item->GetIconMask()->Draw(CDC::FromHandle(mem), 0, 0);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::ReleaseDC(m_hWnd, screen);
    const BOOL ok = editor->EditIcon(this, &colour, &mask, size);
    if (ok)
        item->SetIcon(colour, mask);
    ::DeleteObject(colour);
    ::DeleteObject(mask);
    return ok;
}

BOOL CSkoCatManager::AcceptsPaste(COleDataObject* data)
{
    const CCataloguePropertyObject* page = GetActivePage();
    if (!page || !data)
        return FALSE;
    const char* kind = page->m_pageType == 0   ? CDataLayoutObject::kTypeName
                       : page->m_pageType == 2 ? CDataTextObject::kTypeName
                                               : CDataShapeObject::kTypeName;
    if (data->IsDataAvailable((CLIPFORMAT)::RegisterClipboardFormatA(kind)))
        return TRUE;
    // An item record that holds a rendering of the kind.
    CCatalogueOb* item = NULL;
    try {
        item = CCatalogueOb::FromDataObject(data);
    } catch (CException* e) {
        e->Delete();
    }
    const BOOL holds = item && item->FindRendering(kind) >= 0;
    delete item;
    return holds;
}

BOOL CSkoCatManager::OpenWithFallback(LPCTSTR path, LPCTSTR second, int type)
{
    const CString paths[2] = {path ? path : "", second ? second : ""};
    for (const CString& p : paths) {
        if (p.IsEmpty())
            continue;
        if (FindPage(p) >= 0)
            return Activate(FindPage(p));
        CCataloguePropertyObject* page = new CCataloguePropertyObject;
        page->m_pageType = type;
        int result = -1;
        try {
            result = page->Open(p);
        } catch (CException* e) {
            // A library that is there but cannot be read is reported and
            // left alone: nothing takes its path.
            e->ReportError();
            e->Delete();
            delete page;
            if (&p == &paths[1] || paths[1].IsEmpty() || paths[1].CompareNoCase(p) == 0)
                return FALSE;
            continue;
        }
        if (result == 0) {
            const int i = AddPage(page);
            if (type == 0)
                Activate(i);
            return TRUE;
        }
        delete page;
    }
    // No file at the second path: an empty page that the first save creates.
    if (paths[1].IsEmpty() || ::GetFileAttributesA(paths[1]) != INVALID_FILE_ATTRIBUTES)
        return FALSE;
    for (int i = GetPageCount() - 1; i >= 0 && GetPageCount() > 1; --i)
        if (GetPageAt(i)->m_path.IsEmpty() && GetPageAt(i)->GetItemCount() > 0)
            RemovePage(i);
    CCataloguePropertyObject* page = new CCataloguePropertyObject;
    page->m_pageType = type;
    page->m_path = paths[1];
    page->m_readOnly = FALSE;
    if (type == 0) {
        page->m_name.LoadString(IDS_CAT_LAYOUT_NAME);
    } else {
        const CString file = DefaultFileName(type);
        page->m_name = file.Left(file.ReverseFind('.'));
    }
    const int i = AddPage(page);
    Activate(type == 0 ? 0 : i);
    return TRUE;
}

void CSkoCatManager::SetUpLibraries(const CRecorderPrefs* prefs, BOOL firstRun, const CString& folder)
{
    // The empty page the manager starts with goes once a library is open.
    CCataloguePropertyObject* initial =
        GetPageCount() == 1 && GetPageAt(0)->m_path.IsEmpty() && GetPageAt(0)->GetItemCount() == 0 ? GetPageAt(0)
                                                                                                   : NULL;
    if (::GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES && !::CreateDirectoryA(folder, NULL)) {
        AfxMessageBox(IDS_CAT_FOLDER_FAILED, MB_ICONEXCLAMATION);
        return;
    }
    const CString file[3] = {folder + "\\" + DefaultFileName(0), folder + "\\" + DefaultFileName(1),
                             folder + "\\" + DefaultFileName(2)};
    // The shipped libraries are copied into this one folder on the first
    // run, so both places the libraries are looked for are this folder.
    if (firstRun || !prefs) {
        for (int type : {0, 1, 2})
            OpenWithFallback(file[type], file[type], type);
    } else {
        OpenWithFallback(prefs->m_layoutCatalogueLoc.IsEmpty() ? file[0] : prefs->m_layoutCatalogueLoc, file[0], 0);
        const CMruList* lists[3] = {NULL, &prefs->m_catalogueFilesMru, &prefs->m_catalogueTextNoteFilesMru};
        for (int type : {1, 2}) {
            const CMruList& list = *lists[type];
            CString first;
            list.GetFirst(first);
            if (list.IsEmpty() || first.IsEmpty() || first == "INIT*") {
                OpenWithFallback(file[type], file[type], type);
                continue;
            }
            for (POSITION pos = list.GetHeadPosition(); pos;) {
                const CString path = list.GetNext(pos);
                if (!path.IsEmpty())
                    OpenWithFallback(path, file[type], type);
            }
        }
        const int active = FindPage(prefs->m_catalogueActive);
        if (active >= 0)
            Activate(active);
    }
    for (int i = 0; initial && i < GetPageCount() && GetPageCount() > 1; ++i)
        if (GetPageAt(i) == initial) {
            const CCataloguePropertyObject* active = GetActivePage();
            RemovePage(i);
            int now = 0;
            for (int j = 0; j < GetPageCount(); ++j)
                if (GetPageAt(j) == active)
                    now = j;
            Activate(now);
            break;
        }
}

BOOL CSkoCatManager::NewTypedPage(int type)
{
    const int before = GetActive();
    m_hot = -1;
    if (!NewPage(type))
        return FALSE;
    if (SavePage(-1) == 0)
        return TRUE;
    RemovePage(GetActive());
    Activate(before < GetPageCount() ? before : GetPageCount() - 1);
    return FALSE;
}

void CSkoCatManager::NewLayoutLibrary()
{
    CCataloguePropertyObject* old = GetPageAt(0);
    if (old && old->m_pageType == 0 && !old->m_path.IsEmpty() && !old->m_readOnly && !old->m_protected &&
        old->m_version == CCataloguePropertyObject::kVersion && SavePage(0) != 0)
        return;
    CCataloguePropertyObject* page = new CCataloguePropertyObject;
    page->m_pageType = 0;
    page->m_name.LoadString(IDS_CAT_NEW_LAYOUT_LIB);
    Activate(AddPage(page));
    if (SavePage(0) == 0) {
        if (GetPageCount() > 1 && GetPageAt(1)->m_pageType == 0)
            RemovePage(1);
    } else {
        RemovePage(0);
    }
    Activate(0);
}

BOOL CSkoCatManager::OpenLayoutLibrary(LPCTSTR path, BOOL saveFirst)
{
    CCataloguePropertyObject* page = new CCataloguePropertyObject;
    page->m_pageType = 0;
    int result = -1;
    try {
        result = path && *path ? page->Open(path) : page->OpenWithDialog(this);
    } catch (CException* e) {
        e->ReportError();
        e->Delete();
    }
    CCataloguePropertyObject* old = GetPageAt(0);
    if (result != 0 || (old && old->m_pageType == 0 && old->m_path.CompareNoCase(page->m_path) == 0)) {
        delete page;
        Activate(0);
        return FALSE;
    }
    AddPage(page);
    if (old && old->m_pageType == 0) {
        if (!old->m_path.IsEmpty() && saveFirst && !old->m_readOnly)
            SavePage(1);
        RemovePage(1);
    }
    return Activate(0);
}

void CSkoCatManager::OnRButtonDown(UINT flags, CPoint point)
{
    CCatManager::OnLButtonDown(flags, point);
    if (m_hot < 0)
        return;
    const CCataloguePropertyObject* page = GetPageAt(m_hot);
    ClientToScreen(&point);
    TrackMenu(IDM_CAT_RECORDER_HEADER, page && page->m_pageType == 0 ? 1 : 0, point);
    m_pressed = FALSE;
    m_menuOpen = FALSE;
    Invalidate(FALSE);
}

void CSkoCatManager::OnNewNoteLibrary()
{
    NewTypedPage(2);
}

void CSkoCatManager::OnNewShapeLibrary()
{
    NewTypedPage(1);
}

void CSkoCatManager::OnOpenNoteLibrary()
{
    m_hot = -1;
    OpenPage(2, NULL);
}

void CSkoCatManager::OnOpenShapeLibrary()
{
    m_hot = -1;
    OpenPage(1, NULL);
}

void CSkoCatManager::OnCloseLibrary()
{
    OnClose();
}

void CSkoCatManager::OnUpdateCloseLibrary(CCmdUI* pCmdUI)
{
    OnUpdateClose(pCmdUI);
}

void CSkoCatManager::OnNewLayoutLibrary()
{
    NewLayoutLibrary();
}

// ---------------------------------------------------------------------------
// Host dialog

BEGIN_MESSAGE_MAP(CCatalogueHostDlg, CDialog)
    ON_WM_SIZE()
    ON_WM_CLOSE()
    ON_MESSAGE(WM_INITMENU, OnInitMenuMsg)
    ON_MESSAGE(WM_QUERYDRAGICON, OnQueryDragIcon)
END_MESSAGE_MAP()

CCatalogueHostDlg::CCatalogueHostDlg() : m_prefs(NULL), m_firstRun(FALSE), m_icon(NULL) {}

CCatalogueHostDlg::~CCatalogueHostDlg()
{
    if (m_hWnd)
        DestroyWindow();
    if (m_icon)
        ::DestroyIcon(m_icon);
}

BOOL CCatalogueHostDlg::CreateHost(CWnd* parent, const CRecorderPrefs* prefs, BOOL firstRun, const CString& folder)
{
    m_prefs = prefs;
    m_firstRun = firstRun;
    m_folder = folder;
    return Create(IDD_CAT_HOST, parent);
}

BOOL CCatalogueHostDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_icon = (HICON)::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDI_CAT_HOST), IMAGE_ICON, 32, 32, 0);
    if (m_icon)
        SendMessage(WM_SETICON, ICON_BIG, (LPARAM)m_icon);
    RECT client;
    GetClientRect(&client);
    if (m_manager.CreateManager(WS_CHILD | WS_VISIBLE, client, this, IDC_CAT_MANAGER))
        m_manager.ModifyStyleEx(0, WS_EX_TOOLWINDOW);
    m_manager.SetUpLibraries(m_prefs, m_firstRun, m_folder);
    m_nIDHelp = 0x40C;
    return TRUE;
}

void CCatalogueHostDlg::OnSize(UINT, int cx, int cy)
{
    Default();
    if (m_manager.m_hWnd)
        m_manager.MoveWindow(0, 0, cx, cy);
}

void CCatalogueHostDlg::OnClose()
{
    INoteHost* host = GetNoteHost();
    CWnd* main = host ? host->GetNoteMainWindow() : NULL;
    if (main && main->GetSafeHwnd())
        main->PostMessage(WM_CAT_HIDE);
}

void CCatalogueHostDlg::OnCancel()
{
    // Esc hides the window as closing does; it is never destroyed.
    OnClose();
}

LRESULT CCatalogueHostDlg::OnInitMenuMsg(WPARAM wParam, LPARAM)
{
    HMENU bar = (HMENU)wParam;
    const CCataloguePropertyObject* page = m_manager.GetActivePage();
    if (!bar || !page || bar != ::GetMenu(m_hWnd))
        return 0;
    const UINT id = page->m_pageType == 0 ? IDM_CAT_LAYOUT_POPUP
                    : page->m_pageType == 2 ? IDM_CAT_NOTE_POPUP
                                             : IDM_CAT_SHAPE_POPUP;
    HMENU loaded = ::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id));
    if (!loaded)
        return 0;
    HMENU popup = ::GetSubMenu(loaded, 0);
    ::RemoveMenu(loaded, 0, MF_BYPOSITION);
    ::DestroyMenu(loaded);
    CString title;
    title.LoadString(IDS_CAT_POPUP_TITLE);
    // The old popup at position 1 is destroyed with the replacement.
    HMENU old = ::GetSubMenu(bar, 1);
    ::ModifyMenuA(bar, 1, MF_BYPOSITION | MF_POPUP | MF_STRING, (UINT_PTR)popup, title);
    if (old && old != popup)
        ::DestroyMenu(old);
    ::DrawMenuBar(m_hWnd);
    return 0;
}

LRESULT CCatalogueHostDlg::OnQueryDragIcon(WPARAM, LPARAM)
{
    return (LRESULT)m_icon;
}

BOOL CCatalogueHostDlg::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    if (m_manager.m_hWnd && m_manager.OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    return CDialog::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}
