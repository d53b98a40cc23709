#include "catalogue/MyCatWnd.h"

#include "catalogue/CatAppearance.h"
#include "catalogue/CatChooserDlg.h"
#include "catalogue/CatManager.h"
#include "catalogue/CatalogueOb.h"
#include "catalogue/CataloguePropertyObject.h"
#include "catalogue/DataLayoutObject.h"
#include "catalogue/DataShapeObject.h"
#include "catalogue/DataTextObject.h"
#include "catalogue/Floater.h"
#include "catalogue/NewShapeDlg.h"
#include "catalogue/NoteDialogs.h"
#include "controls/ImageTipDlg.h"
#include "framework/Exceptions.h"
#include "framework/File.h"
#include "framework/Module.h"
#include "framework/OleDataObject.h"
#include "framework/WinApp.h"
#include "framework/ui/AfxWin.h"
#include "framework/ui/Menu.h"
#include "resources/ids_catwin.h"
#include "resources/ids_pickers.h"
#include "settings/RecorderPrefs.h"

#include <algorithm>
#include <commdlg.h>
#include <stdlib.h>
#include <time.h>

IMPLEMENT_DYNCREATE(CMyCatWnd, CCatWnd)

namespace {
const UINT_PTR kDragTimer = 1;
const UINT_PTR kLayoutRetryTimer = 2;
const DWORD kCurrent = CCataloguePropertyObject::kVersion;

// Lets the messages waiting now run (between the steps of a long change).
void PumpPending()
{
    MSG msg;
    while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

CString Str(UINT id)
{
    CString s;
    s.LoadString(id);
    return s;
}
}  // namespace

BEGIN_MESSAGE_MAP(CMyCatWnd, CCatWnd)
    ON_WM_CREATE()
    ON_WM_PAINT()
    ON_WM_GETDLGCODE()
    ON_WM_KEYDOWN()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_LBUTTONDBLCLK()
    ON_WM_RBUTTONDOWN()
    ON_WM_TIMER()
    ON_MESSAGE(WM_FLOATER_CLOSED, OnFloaterClosed)
    ON_MESSAGE(WM_FLOATER_RAISED, OnFloaterRaised)
    ON_MESSAGE(WM_CAT_DRAG_OUT, OnDragOut)
    ON_COMMAND(ID_CAT_NEW_SHAPE, OnNewShape)
    ON_UPDATE_COMMAND_UI(ID_CAT_NEW_SHAPE, OnUpdateNewShape)
    ON_COMMAND(ID_CAT_NEW_NOTE, OnNewNote)
    ON_UPDATE_COMMAND_UI(ID_CAT_NEW_NOTE, OnUpdateNewNote)
    ON_COMMAND(ID_CAT_EDIT_SHAPE_IMAGE, OnEditShapeImage)
    ON_UPDATE_COMMAND_UI(ID_CAT_EDIT_SHAPE_IMAGE, OnUpdateShapeEditor)
    ON_COMMAND(ID_CAT_EDIT_SHAPE_ITEM, OnEditShapeItem)
    ON_UPDATE_COMMAND_UI(ID_CAT_EDIT_SHAPE_ITEM, OnUpdateShapeEditor)
    ON_COMMAND(ID_CAT_EDIT_NOTE, OnEditNote)
    ON_UPDATE_COMMAND_UI(ID_CAT_EDIT_NOTE, OnUpdateEditNote)
    ON_COMMAND(ID_CAT_ITEM_OPACITY, OnItemOpacity)
    ON_UPDATE_COMMAND_UI(ID_CAT_ITEM_OPACITY, OnUpdateItemOpacity)
    ON_COMMAND(ID_CAT_DELETE, OnDeleteItem)
    ON_COMMAND(ID_CATR_SAVE_LAYOUT, OnSaveLayout)
    ON_UPDATE_COMMAND_UI(ID_CATR_SAVE_LAYOUT, OnUpdateFloatersOpen)
    ON_COMMAND(ID_CAT_OPEN_LAYOUT, OnOpenLayout)
    ON_UPDATE_COMMAND_UI(ID_CAT_OPEN_LAYOUT, OnUpdateOpenLayout)
    ON_COMMAND(ID_CAT_OPEN_FILE, OnOpenFile)
    ON_COMMAND(ID_CATR_CLOSE_ALL, OnCloseAll)
    ON_UPDATE_COMMAND_UI(ID_CATR_CLOSE_ALL, OnUpdateFloatersOpen)
    ON_COMMAND(ID_CATR_REFRESH, OnRefresh)
    ON_UPDATE_COMMAND_UI(ID_CATR_REFRESH, OnUpdateFloatersOpen)
    ON_COMMAND(ID_CAT_LAYOUT_NEXT, OnLayoutNext)
    ON_COMMAND(ID_CAT_LAYOUT_PREV, OnLayoutPrev)
    ON_COMMAND(ID_CAT_LAYOUT_TOGGLE, OnLayoutToggle)
    ON_COMMAND(ID_CAT_HOTKEYS, OnHotKeys)
    ON_COMMAND(ID_CAT_PROPERTIES, OnProperties)
    ON_COMMAND_RANGE(ID_CAT_PAGE_FIRST, ID_CAT_PAGE_LAST, OnActivatePage)
    ON_UPDATE_COMMAND_UI(ID_CAT_PAGE_FIRST, OnUpdatePageList)
    ON_COMMAND(ID_CAT_LIBRARY_LIST, OnLibraryList)
    ON_COMMAND(ID_CAT_HIDE, OnHide)
    ON_UPDATE_COMMAND_UI(ID_CAT_HIDE, OnUpdateAlways)
END_MESSAGE_MAP()

CMyCatWnd::CMyCatWnd() : m_busy(FALSE), m_showHotKeyTip(TRUE), m_desk(this)
{
    m_imageEditorSettings = {NULL, (COLORREF)-1, 100, 100, 24, TRUE};
    m_itemEditorSettings = {NULL, (COLORREF)-1, 100, 100, 24, FALSE};
    m_className = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorA(NULL, MAKEINTRESOURCEA(32512)), NULL, NULL);
}

CMyCatWnd::~CMyCatWnd()
{
    m_desk.SetOpenDialog(NULL, NULL);
    m_desk.CloseAllFloaters();
}

int CMyCatWnd::OnCreate(LPCREATESTRUCT cs)
{
    if (CCatWnd::OnCreate(cs) == -1)
        return -1;
    m_imageEditorSettings.owner = this;
    m_itemEditorSettings.owner = this;
    return 0;
}

int CMyCatWnd::PageType() const
{
    return m_page ? m_page->m_pageType : -1;
}

BOOL CMyCatWnd::IsLayoutPage() const
{
    return m_manager && m_page && m_manager->GetPageAt(0) == m_page && m_page->m_pageType == 0;
}

void CMyCatWnd::OnPaint()
{
    if (!m_page) {
        Default();
        return;
    }
    const COLORREF saved = m_appearance->background.value;
    if (m_page->m_pageType == 0)
        m_appearance->background.value = RGB(0x80, 0xFF, 0x80);
    else if (m_page->m_pageType == 2)
        m_appearance->background.value = RGB(0x80, 0xFF, 0xFF);
    CCatWnd::OnPaint();
    m_appearance->background.value = saved;
}

UINT CMyCatWnd::OnGetDlgCode()
{
    return DLGC_WANTALLKEYS;
}

void CMyCatWnd::DrawLabel(HDC dc, int i)
{
    if (m_view == 1 || !m_page)
        return;
    CString text = m_page->GetItem(i)->GetName();
    if (m_page->m_version == kCurrent && m_page->GetItem(i)->FindRendering(CDataShapeObject::kTypeName) >= 0) {
        CDataGenericObject* object = GetItemDataObject(i);
        CDataShapeObject* shape = DYNAMIC_DOWNCAST(CDataShapeObject, object);
        if (shape && !shape->m_caption.m_text.IsEmpty())
            text += " : " + shape->m_caption.m_text;
        delete object;
    }
    DrawLabelText(dc, i, text);
}

CDataGenericObject* CMyCatWnd::GetItemDataObject(int i)
{
    if (!m_page || i < 0 || i >= m_page->GetItemCount())
        return NULL;
    const CCatalogueOb* item = m_page->GetItem(i);
    const char* names[] = {CDataShapeObject::kTypeName, CDataTextObject::kTypeName};
    for (const char* name : names) {
        const int r = item->FindRendering(name);
        if (r < 0)
            continue;
        const CCatalogueOb::Rendering& rendering = item->GetRendering(r);
        try {
            return CDataGenericObject::ReadRendering(name, rendering.bytes.data(), (DWORD)rendering.bytes.size(),
                                                     m_page->m_version, m_page->m_path);
        } catch (CException* e) {
            e->Delete();
            return NULL;
        }
    }
    return NULL;
}

CDataLayoutObject* CMyCatWnd::ReadLayout(int i)
{
    if (!m_page || i < 0 || i >= m_page->GetItemCount())
        return NULL;
    const CCatalogueOb* item = m_page->GetItem(i);
    const int r = item->FindRendering(CDataLayoutObject::kTypeName);
    if (r < 0)
        return NULL;
    const CCatalogueOb::Rendering& rendering = item->GetRendering(r);
    CDataLayoutObject* layout = new CDataLayoutObject;
    CMemFile file(const_cast<BYTE*>(rendering.bytes.data()), (UINT)rendering.bytes.size(), 0);
    CArchive ar(&file, CArchive::load, 4096);
    ar.m_strFileName = m_page->m_path;
    try {
        layout->Exchange(ar, m_page->m_version);
        ar.Close();
    } catch (CException* e) {
        ar.Abort();
        e->Delete();
        delete layout;
        return NULL;
    }
    return layout;
}

CCatalogueOb* CMyCatWnd::MakeLayoutItem(CDataLayoutObject* layout, const CString& name)
{
    CMemFile mem(16384);
    CArchive ar(&mem, CArchive::store, 4096);
    layout->Exchange(ar, kCurrent);
    ar.Close();
    const UINT length = (UINT)mem.GetLength();
    BYTE* bytes = mem.Detach();
    CCatalogueOb* item = new CCatalogueOb;
    item->AddNamedRendering(CDataLayoutObject::kTypeName, bytes, length);
    free(bytes);
    item->SetName(name);
    HICON icon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDI_CAT_LAYOUT_ITEM));
    if (icon) {
        item->SetIcon(icon);
        ::DestroyIcon(icon);
    }
    return item;
}

BOOL CMyCatWnd::ReplaceItem(int i, CDataGenericObject* object)
{
    if (!m_manager || !object)
        return FALSE;
    CCatalogueOb* fresh = object->MakeCatalogueItem("", m_hWnd);
    const BOOL saved = m_manager->EditPage([&] {
        CCataloguePropertyObject* page = m_manager->GetActivePage();
        if (i < 0 || i >= page->GetItemCount())
            return FALSE;
        CCatalogueOb* item = page->GetItem(i);
        fresh->SetName(item->GetName());
        page->DeleteItem(i);
        page->InsertItem(i, fresh);
        fresh = NULL;
        return TRUE;
    });
    delete fresh;
    m_page = m_manager->GetActivePage();
    if (saved)
        SelectIndex(i);
    Invalidate(FALSE);
    return saved;
}

BOOL CMyCatWnd::ReplaceLayoutItem(int i, CDataLayoutObject* layout)
{
    if (!m_manager || !layout || !m_page || i < 0 || i >= m_page->GetItemCount())
        return FALSE;
    CCatalogueOb* fresh = MakeLayoutItem(layout, m_page->GetItem(i)->GetName());
    const BOOL saved = m_manager->EditPage([&] {
        CCataloguePropertyObject* page = m_manager->GetActivePage();
        page->DeleteItem(i);
        page->InsertItem(i, fresh);
        return TRUE;
    });
    m_page = m_manager->GetActivePage();
    Invalidate(FALSE);
    return saved;
}

int CMyCatWnd::AddItem(CDataGenericObject* object, const CString& name)
{
    if (!object)
        return -1;
    return InsertItemSaved(object->MakeCatalogueItem(name, m_hWnd), GetItemCount());
}

BOOL CMyCatWnd::FindTargetPage(const CDataGenericObject* object, int* page)
{
    if (!m_manager || !object)
        return FALSE;
    int type;
    if (object->IsKindOf(RUNTIME_CLASS(CDataShapeObject)))
        type = 1;
    else if (object->IsKindOf(RUNTIME_CLASS(CDataTextObject)))
        type = 2;
    else
        return FALSE;
    auto fits = [&](const CCataloguePropertyObject* p) {
        return p && p->m_pageType == type && !p->m_readOnly && !p->m_protected;
    };
    if (fits(m_manager->GetActivePage())) {
        *page = m_manager->GetActive();
        return TRUE;
    }
    for (int i = 0; i < m_manager->GetPageCount(); ++i)
        if (fits(m_manager->GetPageAt(i))) {
            *page = i;
            return TRUE;
        }
    return FALSE;
}

BOOL CMyCatWnd::AcceptsObject(const CDataGenericObject* object)
{
    int page = -1;
    return FindTargetPage(object, &page);
}

void CMyCatWnd::AddToCatalogue(CDataGenericObject* object, const CString& name)
{
    int page = -1;
    if (!FindTargetPage(object, &page))
        return;
    if (page != m_manager->GetActive()) {
        m_manager->Activate(page);
        PumpPending();
        if (!FindTargetPage(object, &page) || page != m_manager->GetActive())
            return;
    }
    if (!EnsureCurrentFormat())
        return;
    // An item holding the same object is updated; otherwise a new one.
    for (int i = 0; i < GetItemCount(); ++i) {
        CDataGenericObject* held = GetItemDataObject(i);
        const bool same = held && held->m_id == object->m_id;
        delete held;
        if (same) {
            m_manager->EditPage([&] {
                m_manager->GetActivePage()->GetItem(i)->SetName(name);
                return TRUE;
            });
            m_page = m_manager->GetActivePage();
            ReplaceItem(i, object);
            return;
        }
    }
    const int index = AddItem(object, name);
    if (index >= 0)
        BeginRename(index);
}

int CMyCatWnd::NextNumber(const char* prefix) const
{
    const int prefixChars = ::MultiByteToWideChar(936, 0, prefix, -1, NULL, 0) - 1;
    int best = 0;
    for (int i = 0; i < GetItemCount(); ++i) {
        const CString& name = m_page->GetItem(i)->GetName();
        // Compare characters (code page 936), ignoring case.
        wchar_t wide[512];
        const int n = ::MultiByteToWideChar(936, 0, name, name.GetLength(), wide, 511);
        wide[n < 0 ? 0 : n] = 0;
        wchar_t wprefix[256];
        const int pn = ::MultiByteToWideChar(936, 0, prefix, -1, wprefix, 256);
        if (pn <= 0 || n < prefixChars)
            continue;
        if (::CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, wide, prefixChars, wprefix, prefixChars) !=
            CSTR_EQUAL)
            continue;
        char digits[7] = "";
        ::WideCharToMultiByte(936, 0, wide + prefixChars, std::min(6, n - prefixChars), digits, 6, NULL, NULL);
        digits[6] = 0;
        best = std::max(best, atoi(digits));
    }
    return best + 1;
}

BOOL CMyCatWnd::EnsureCurrentFormat()
{
    if (!m_page || m_page->m_version == kCurrent)
        return TRUE;
    const int answer = AfxMessageBox(IDS_CAT_UPGRADE_ASK, MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL)
        return FALSE;
    if (answer == IDYES) {
        if (AfxMessageBox(IDS_CAT_UPGRADE_CONFIRM, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return FALSE;
        if (m_page->m_readOnly) {
            AfxMessageBox(IDS_CAT_UPGRADE_READONLY, MB_ICONEXCLAMATION);
            return FALSE;
        }
    } else {
        // A copy under a new name is upgraded; the old file stays as it was.
        CString filter = CCataloguePropertyObject::KindFilter(m_page->m_pageType) + "||";
        for (int i = 0; i < filter.GetLength(); ++i)
            if (filter[i] == '|')
                filter.SetAt(i, '\0');
        char file[MAX_PATH] = "";
        const CString ext = CCataloguePropertyObject::KindExtension(m_page->m_pageType);
        OPENFILENAMEA ofn = {};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = m_hWnd;
        ofn.lpstrFilter = filter;
        ofn.lpstrFile = file;
        ofn.nMaxFile = MAX_PATH;
        ofn.lpstrDefExt = (const char*)ext + 1;
        ofn.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
        if (!::GetSaveFileNameA(&ofn))
            return FALSE;
        if (m_page->m_path.CompareNoCase(file) != 0) {
            if (!::CopyFileA(m_page->m_path, file, FALSE))
                return FALSE;
            const DWORD attributes = ::GetFileAttributesA(file);
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
                ::SetFileAttributesA(file, attributes & ~FILE_ATTRIBUTE_READONLY);
            if (!m_manager->OpenPage(m_page->m_pageType, file))
                return FALSE;
            m_page = m_manager->GetActivePage();
            if (!m_page || m_page->m_version == kCurrent)
                return m_page != NULL;
        } else if (m_page->m_readOnly) {
            AfxMessageBox(IDS_CAT_UPGRADE_READONLY, MB_ICONEXCLAMATION);
            return FALSE;
        }
    }
    m_busy = TRUE;
    EnableWindow(FALSE);
    const DWORD oldVersion = m_page->m_version;
    // Every item's record is rewritten at the current version.
    std::vector<std::pair<int, CCatalogueOb*>> fresh;
    for (int i = 0; i < GetItemCount(); ++i) {
        CCatalogueOb* made = NULL;
        if (m_page->m_pageType == 0) {
            if (CDataLayoutObject* layout = ReadLayout(i)) {
                made = MakeLayoutItem(layout, m_page->GetItem(i)->GetName());
                layout->DeleteObjects();
                delete layout;
            }
        } else if (CDataGenericObject* object = GetItemDataObject(i)) {
            made = object->MakeCatalogueItem(m_page->GetItem(i)->GetName(), m_hWnd);
            delete object;
        }
        if (made)
            fresh.push_back({i, made});
        PumpPending();
    }
    const BOOL saved = m_manager->EditPage([&] {
        CCataloguePropertyObject* page = m_manager->GetActivePage();
        for (auto& f : fresh) {
            page->DeleteItem(f.first);
            page->InsertItem(f.first, f.second);
            f.second = NULL;
        }
        page->m_version = kCurrent;
        page->m_savesSinceCompaction = 1 << 20;   // written whole
        return TRUE;
    });
    for (auto& f : fresh)
        delete f.second;
    m_page = m_manager->GetActivePage();
    if (!saved && m_page)
        m_page->m_version = oldVersion;
    EnableWindow(TRUE);
    m_busy = FALSE;
    Invalidate(FALSE);
    return saved;
}

BOOL CMyCatWnd::ReceiveData(COleDataObject* data, int)
{
    CCatalogueOb* dropped = NULL;
    try {
        dropped = CCatalogueOb::FromDataObject(data);
    } catch (CException* e) {
        e->ReportError();
        e->Delete();
        return 1;
    }
    if (!dropped)
        return 0;
    CDataGenericObject* object = NULL;
    const char* names[] = {CDataShapeObject::kTypeName, CDataTextObject::kTypeName};
    for (const char* name : names) {
        const int r = dropped->FindRendering(name);
        if (r < 0)
            continue;
        try {
            const CCatalogueOb::Rendering& rendering = dropped->GetRendering(r);
            object = CDataGenericObject::ReadRendering(name, rendering.bytes.data(), (DWORD)rendering.bytes.size(),
                                                       kCurrent, CCatalogueOb::kClipboardFormatName);
        } catch (CException* e) {
            e->ReportError();
            e->Delete();
        }
        break;
    }
    if (object && EnsureCurrentFormat()) {
        object->m_id = CDataGenericObject::NewId();
        AddItem(object, dropped->GetName());
    }
    delete object;
    delete dropped;
    return 1;
}

void CMyCatWnd::OnDragStarted()
{
    // The drag loop of OLE is left at once; the item is carried out of the
    // window with the mouse captured instead.
    for (int i = 0; i < 2; ++i) {
        INPUT in[2] = {};
        in[0].type = in[1].type = INPUT_KEYBOARD;
        in[0].ki.wVk = in[1].ki.wVk = VK_ESCAPE;
        in[1].ki.dwFlags = KEYEVENTF_KEYUP;
        ::SendInput(2, in, sizeof(INPUT));
    }
    SetTimer(kDragTimer, 50);
}

void CMyCatWnd::OnTimer(UINT_PTR id)
{
    if (id == kDragTimer) {
        KillTimer(kDragTimer);
        PostMessage(WM_CAT_DRAG_OUT);
        return;
    }
    if (id == kLayoutRetryTimer) {
        KillTimer(kLayoutRetryTimer);
        PostMessage(WM_COMMAND, ID_CATR_SAVE_LAYOUT);
        return;
    }
    Default();
}

LRESULT CMyCatWnd::OnDragOut(WPARAM, LPARAM)
{
    if (::GetKeyState(VK_LBUTTON) >= 0)
        return 0;   // released already
    SetCapture();
    HCURSOR cursor = ::LoadCursorA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDC_CAT_DRAG_OUT));
    ::SetCursor(cursor ? cursor : ::LoadCursorA(NULL, MAKEINTRESOURCEA(32644)));   // IDC_SIZEWE
    return 0;
}

LRESULT CMyCatWnd::OnFloaterClosed(WPARAM wParam, LPARAM)
{
    m_desk.OnFloaterClosed(reinterpret_cast<CFloater*>(wParam));
    return 0;
}

LRESULT CMyCatWnd::OnFloaterRaised(WPARAM wParam, LPARAM)
{
    m_desk.OnFloaterRaised(reinterpret_cast<CFloater*>(wParam));
    return 0;
}

void CMyCatWnd::OnMouseMove(UINT flags, CPoint)
{
    Default();
    if ((flags & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON | MK_SHIFT | MK_CONTROL)) != MK_LBUTTON &&
        ::GetCapture() == m_hWnd)
        ::ReleaseCapture();
}

void CMyCatWnd::OnLButtonDown(UINT flags, CPoint point)
{
    if (m_page && m_page->m_version != kCurrent) {
        EnsureCurrentFormat();
        return;
    }
    if (m_showHotKeyTip && IsLayoutPage()) {
        m_showHotKeyTip = FALSE;
        OfferHotKeyTip();
    }
    CCatWnd::OnLButtonDown(flags, point);
}

// The layout keys are set in the hot-key options: said once, and never
// again once the user unticks "show again".
BOOL CMyCatWnd::OfferHotKeyTip()
{
    INoteHost* host = GetNoteHost();
    CRecorderPrefs* prefs = host ? host->GetNotePrefs() : NULL;
    if (!prefs || (prefs->m_flags & kFlagNoHotKeyTip))
        return FALSE;
    CImageTipDlg tip(this, IDS_PICKER_TIP_CAPTION);
    tip.SetShowAgain(TRUE);
    tip.SetTipStrings(IDS_CAT_TIP_TITLE, IDS_CAT_TIP_TEXT);
    tip.DoModal();
    if (!tip.GetShowAgain())
        prefs->SetFlags(kFlagNoHotKeyTip, TRUE);
    return TRUE;
}

void CMyCatWnd::OnLButtonUp(UINT, CPoint point)
{
    const bool captured = ::GetCapture() == m_hWnd;
    if (captured)
        ::ReleaseCapture();
    ::SetCursor(::LoadCursorA(NULL, MAKEINTRESOURCEA(32512)));
    RECT client;
    GetClientRect(&client);
    if (!captured || ::PtInRect(&client, point) || m_selected < 0)
        return;
    POINT screen = point;
    ClientToScreen(&screen);
    OpenItem(m_selected, &screen);
}

void CMyCatWnd::OnLButtonDblClk(UINT, CPoint point)
{
    const int hit = HitTest(point);
    SelectIndex(hit);
    if (hit >= 0)
        OpenItem(hit, NULL);
}

void CMyCatWnd::OpenItem(int i, const POINT* centre)
{
    if (!m_page || i < 0 || i >= GetItemCount())
        return;
    const CString name = m_page->GetItem(i)->GetName();
    if (m_page->GetItem(i)->FindRendering(CDataLayoutObject::kTypeName) >= 0) {
        if (CDataLayoutObject* layout = ReadLayout(i)) {
            OpenLayout(layout, name);
            delete layout;
        }
        return;
    }
    if (CDataGenericObject* object = GetItemDataObject(i))
        m_desk.PlaceOnDesktop(object, name, FALSE, centre);
}

void CMyCatWnd::OpenLayout(CDataLayoutObject* layout, const CString& name)
{
    if (!layout)
        return;
    // The objects go to their floaters; the layout keeps none.
    int n = 0;
    for (POSITION pos = layout->GetHeadPosition(); pos;) {
        CDataGenericObject* object = static_cast<CDataGenericObject*>(layout->GetNext(pos));
        CString objectName;
        objectName.Format("%s-%d", (const char*)name, ++n);
        object->m_id = CDataGenericObject::NewId();
        m_desk.PlaceOnDesktop(object, objectName, TRUE, NULL);
    }
    layout->RemoveAll();
    m_desk.RefreshFloaters();
}

void CMyCatWnd::SaveLayout()
{
    if (!m_manager || m_desk.GetCount() == 0)
        return;
    CCataloguePropertyObject* first = m_manager->GetPageAt(0);
    if (!first || first->m_pageType != 0)
        return;
    if (m_manager->GetActive() != 0) {
        m_manager->Activate(0);
        EnsureCurrentFormat();
        SetTimer(kLayoutRetryTimer, 500);
        return;
    }
    if (!EnsureCurrentFormat())
        return;
    CString name;
    name.Format("%s%d", (const char*)(Str(IDS_CAT_LAYOUT_PREFIX) + "-"),
                NextNumber(Str(IDS_CAT_LAYOUT_PREFIX) + "-"));
    CDataLayoutObject layout;
    for (int i = 0; i < m_desk.GetCount(); ++i) {
        CFloater* f = m_desk.GetAt(i);
        f->StorePlacement();
        layout.AddTail(f->GetData());
    }
    layout.m_created = (DWORD)time(NULL);
    CCatalogueOb* item = MakeLayoutItem(&layout, name);
    layout.RemoveAll();   // the floaters keep their objects
    InsertItemSaved(item, GetItemCount());
}

void CMyCatWnd::CycleLayout(int step)
{
    if (m_busy || m_desk.GetOpenDialog() || !m_manager)
        return;
    if (m_selected < 0 || !IsLayoutPage())
        m_manager->Activate(0);
    if (!IsLayoutPage() || !EnsureCurrentFormat())
        return;
    const int n = GetItemCount();
    if (n == 0)
        return;
    int i = m_selected;
    if (step > 0) {
        i = i + 1 >= n ? 0 : i + 1;
    } else if (step < 0) {
        i = i < 0 ? n - 1 : (i == 0 ? n - 1 : i - 1);
    } else {
        if (m_desk.GetCount() > 0) {
            m_desk.CloseAllFloaters();
            return;
        }
        if (i < 0)
            i = 0;
    }
    SelectIndex(i);
    m_desk.CloseAllFloaters();
    if (m_desk.GetCount() > 0)
        return;   // a dialog edits a floater: it came forward instead
    OpenItem(i, NULL);
}

void CMyCatWnd::OnKeyDown(UINT key, UINT, UINT)
{
    if (::GetKeyState(VK_SHIFT) < 0 || ::GetKeyState(VK_MENU) < 0)
        return;
    const bool ctrl = ::GetKeyState(VK_CONTROL) < 0;
    if (ctrl) {
        if (key == 'C' && m_manager && m_selected >= 0)
            PostMessage(WM_COMMAND, ID_CAT_COPY);
        else if (key == 'V' && m_manager) {
            if (IsPageWritable())
                PostMessage(WM_COMMAND, ID_CAT_PASTE);
            else
                ::MessageBeep((UINT)-1);
        }
        return;
    }
    const int n = GetItemCount();
    RECT client;
    GetClientRect(&client);
    const int cellH = std::max(1L, (LONG)m_appearance->cell[m_view].cy);
    const int perPage = std::max(1, (int)(client.bottom / cellH)) * m_columns;
    int i = m_selected;
    switch (key) {
    case VK_HOME: i = 0; break;
    case VK_END: i = n - 1; break;
    case VK_LEFT: i = m_selected - 1; break;
    case VK_RIGHT: i = m_selected + 1; break;
    case VK_UP: i = m_selected - m_columns; break;
    case VK_DOWN: i = m_selected + m_columns; break;
    case VK_PRIOR: i = m_selected - perPage; break;
    case VK_NEXT: i = m_selected + perPage; break;
    case VK_DELETE:
        if (IsPageWritable() && m_selected >= 0)
            PostMessage(WM_COMMAND, ID_CAT_DELETE);
        else if (!IsPageWritable())
            ::MessageBeep((UINT)-1);
        return;
    case VK_F2:
        if (!IsPageWritable())
            ::MessageBeep((UINT)-1);
        else
            BeginRename(m_selected);
        return;
    case VK_F5:
        if (m_desk.GetCount() > 0)
            PostMessage(WM_COMMAND, ID_CATR_REFRESH);
        return;
    default:
        return;
    }
    if (i >= 0 && i < n)
        SelectIndex(i);
}

void CMyCatWnd::OnRButtonDown(UINT, CPoint point)
{
    if (m_page && m_page->m_version != kCurrent) {
        EnsureCurrentFormat();
        return;
    }
    SetFocus();
    SelectIndex(HitTest(point));
    CMenu menu;
    if (!menu.LoadMenu(IDM_CAT_RECORDER_ITEM))
        return;
    const int sub = PageType() == 0 ? 2 : PageType() == 2 ? 1 : 0;
    CMenu* popup = menu.GetSubMenu(sub);
    POINT screen = point;
    ClientToScreen(&screen);
    if (popup)
        popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, m_manager);
}

BOOL CMyCatWnd::RunDialogFor(CWnd* dialog)
{
    (void)dialog;
    return !m_desk.BringDialogForward();
}

void CMyCatWnd::OnNewShape()
{
    if (!IsPageWritable() || PageType() != 1 || !EnsureCurrentFormat())
        return;
    const CString prefix = Str(IDS_CAT_SHAPE_PREFIX);
    const BOOL canBlank = GetShapeImageEditor() != NULL;
    CNewShapeDlg dlg(m_imageEditorSettings.defaultWidth, m_imageEditorSettings.defaultHeight,
                     canBlank && m_imageEditorSettings.blank, NextNumber(prefix + "-"), canBlank, this);
    if (dlg.DoModal() != IDOK)
        return;
    m_imageEditorSettings.blank = dlg.m_blank;
    CDataShapeObject* shape = new CDataShapeObject;
    if (!dlg.m_blank) {
        COLORREF key = CDataShapeObject::kNoKey;
        if (!LoadImageFile(dlg.m_path, shape->m_image, &key, NULL)) {
            AfxMessageBox(IDS_SHAPE_IMAGE_FAILED, MB_ICONEXCLAMATION);
            delete shape;
            return;
        }
        shape->m_transparentColour = key;
    } else {
        IShapeImageEditor* editor = GetShapeImageEditor();
        if (!editor || !editor->CreateBlankImage(dlg.m_width, dlg.m_height, m_imageEditorSettings.bitsPerPixel,
                                                 &shape->m_image)) {
            delete shape;
            return;
        }
        m_imageEditorSettings.defaultWidth = dlg.m_width;
        m_imageEditorSettings.defaultHeight = dlg.m_height;
        shape->m_transparentColour = m_imageEditorSettings.transparentColour;
    }
    shape->m_x = shape->m_y = 0;
    shape->m_caption.m_text = dlg.m_text;
    const RECT captionRect = {0, 0, shape->m_image.GetWidth(), shape->m_image.GetHeight()};
    shape->m_caption.m_rect = captionRect;
    if (AddItem(shape, dlg.m_name) >= 0)
        m_desk.PlaceOnDesktop(shape, dlg.m_name, FALSE, NULL);
    else
        delete shape;
}

void CMyCatWnd::OnUpdateNewShape(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(IsPageWritable() && PageType() == 1);
}

void CMyCatWnd::OnNewNote()
{
    if (!IsPageWritable() || PageType() != 2 || !EnsureCurrentFormat() || !RunDialogFor(NULL))
        return;
    CNoteStyle defaults;
    INoteHost* host = GetNoteHost();
    const BOOL haveDefaults = host && host->GetDefaultNoteStyle(&defaults);
    CDataTextObject* note = haveDefaults ? new CDataTextObject(defaults) : new CDataTextObject;
    CTextNoteDlg dlg(note, haveDefaults ? &defaults : NULL, this);
    m_desk.SetOpenDialog(&dlg, NULL);
    const INT_PTR result = dlg.DoModal();
    m_desk.SetOpenDialog(NULL, NULL);
    if (result != IDOK) {
        delete note;
        return;
    }
    note->m_x = note->m_y = 0;
    const CString name = MakeNoteTitle(note->m_text);
    if (AddItem(note, name) >= 0)
        m_desk.PlaceOnDesktop(note, name, FALSE, NULL);
    else
        delete note;
}

void CMyCatWnd::OnUpdateNewNote(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(IsPageWritable() && PageType() == 2);
}

void CMyCatWnd::OnEditShapeImage()
{
    IShapeImageEditor* editor = GetShapeImageEditor();
    if (!editor || !IsPageWritable() || m_selected < 0 || !RunDialogFor(NULL) || !EnsureCurrentFormat())
        return;
    CDataShapeObject* shape = DYNAMIC_DOWNCAST(CDataShapeObject, GetItemDataObject(m_selected));
    if (!shape)
        return;
    if (editor->EditShapeImage(this, shape, &m_imageEditorSettings) == 1)
        ReplaceItem(m_selected, shape);
    delete shape;
}

void CMyCatWnd::OnEditShapeItem()
{
    IShapeImageEditor* editor = GetShapeImageEditor();
    if (!editor || !IsPageWritable() || m_selected < 0 || !RunDialogFor(NULL) || !EnsureCurrentFormat())
        return;
    CDataShapeObject* shape = DYNAMIC_DOWNCAST(CDataShapeObject, GetItemDataObject(m_selected));
    if (!shape)
        return;
    if (editor->OpenItemImageEditor(this, shape, &m_itemEditorSettings))
        ReplaceItem(m_selected, shape);
    delete shape;
}

void CMyCatWnd::OnUpdateShapeEditor(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(GetShapeImageEditor() != NULL && IsPageWritable() && m_selected >= 0);
}

void CMyCatWnd::OnEditNote()
{
    if (!IsPageWritable() || PageType() != 2 || m_selected < 0 || !RunDialogFor(NULL) || !EnsureCurrentFormat())
        return;
    CDataTextObject* note = DYNAMIC_DOWNCAST(CDataTextObject, GetItemDataObject(m_selected));
    if (!note)
        return;
    const int i = m_selected;
    const BOOL automatic = m_page->GetItem(i)->GetName() == MakeNoteTitle(note->m_text);
    CNoteStyle defaults;
    INoteHost* host = GetNoteHost();
    const BOOL haveDefaults = host && host->GetDefaultNoteStyle(&defaults);
    CTextNoteDlg dlg(note, haveDefaults ? &defaults : NULL, this);
    m_desk.SetOpenDialog(&dlg, NULL);
    const INT_PTR result = dlg.DoModal();
    m_desk.SetOpenDialog(NULL, NULL);
    if (result == IDOK) {
        if (automatic) {
            const CString title = MakeNoteTitle(note->m_text);
            m_manager->EditPage([&] {
                m_manager->GetActivePage()->GetItem(i)->SetName(title);
                return TRUE;
            });
            m_page = m_manager->GetActivePage();
        }
        ReplaceItem(i, note);
    }
    delete note;
}

void CMyCatWnd::OnUpdateEditNote(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(IsPageWritable() && PageType() == 2 && m_selected >= 0);
}

void CMyCatWnd::OnItemOpacity()
{
    if (!RunDialogFor(NULL) || !IsPageWritable() || m_selected < 0 || !EnsureCurrentFormat())
        return;
    CDataGenericObject* object = GetItemDataObject(m_selected);
    if (!object)
        return;
    COpacityDlg dlg(this, object, NULL);
    m_desk.SetOpenDialog(&dlg, NULL);
    const INT_PTR result = dlg.DoModal();
    m_desk.SetOpenDialog(NULL, NULL);
    if (result == IDOK)
        ReplaceItem(m_selected, object);
    delete object;
}

void CMyCatWnd::OnUpdateItemOpacity(CCmdUI* pCmdUI)
{
    INoteHost* host = GetNoteHost();
    BOOL enable = IsPageWritable() && m_selected >= 0 && host && host->IsLayeredSupported();
    if (enable) {
        const CCatalogueOb* item = m_page->GetItem(m_selected);
        enable = item->FindRendering(CDataShapeObject::kTypeName) >= 0 ||
                 item->FindRendering(CDataTextObject::kTypeName) >= 0;
    }
    pCmdUI->Enable(enable);
}

void CMyCatWnd::OnDeleteItem()
{
    if (!IsPageWritable() || m_selected < 0)
        return;
    const int old = m_selected;
    CCatWnd::OnDelete();
    if (GetItemCount() > 0)
        SelectIndex(std::min(old, GetItemCount() - 1));
}

void CMyCatWnd::OnSaveLayout()
{
    SaveLayout();
}

void CMyCatWnd::OnUpdateFloatersOpen(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(m_desk.GetCount() > 0);
}

void CMyCatWnd::OnOpenLayout()
{
    if (!IsLayoutPage() || m_selected < 0)
        return;
    if (CDataLayoutObject* layout = ReadLayout(m_selected)) {
        OpenLayout(layout, m_page->GetItem(m_selected)->GetName());
        delete layout;
    }
}

void CMyCatWnd::OnUpdateOpenLayout(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(IsLayoutPage() && m_selected >= 0);
}

void CMyCatWnd::OnOpenFile()
{
    if (m_manager)
        m_manager->OpenPage(PageType() < 0 ? 1 : PageType(), NULL);
}

void CMyCatWnd::OnCloseAll()
{
    m_desk.CloseAllFloaters();
}

void CMyCatWnd::OnRefresh()
{
    m_desk.RefreshFloaters();
}

void CMyCatWnd::OnLayoutNext()
{
    CycleLayout(1);
}

void CMyCatWnd::OnLayoutPrev()
{
    CycleLayout(-1);
}

void CMyCatWnd::OnLayoutToggle()
{
    CycleLayout(0);
}

void CMyCatWnd::OnHotKeys()
{
    INoteHost* host = GetNoteHost();
    CWnd* main = host ? host->GetNoteMainWindow() : NULL;
    if (main && main->GetSafeHwnd())
        main->SendMessage(WM_COMMAND, ID_CAT_HOTKEYS);
}

void CMyCatWnd::OnProperties()
{
    if (!m_page)
        return;
    LONGLONG size = 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!m_page->m_path.IsEmpty() && ::GetFileAttributesExA(m_page->m_path, GetFileExInfoStandard, &data))
        size = ((LONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    CString text;
    text.Format("%s: %s\n\n%s: %ld %s", (const char*)Str(IDS_CAT_LOCATION), (const char*)m_page->m_path,
                (const char*)Str(IDS_CAT_SIZE), (long)size, (const char*)Str(IDS_CAT_BYTES));
    ::MessageBoxA(m_hWnd, text, Str(IDS_CAT_PROPERTIES_TITLE), MB_OK | MB_ICONINFORMATION);
}

void CMyCatWnd::OnActivatePage(UINT id)
{
    if (m_manager && m_manager->Activate((int)(id - ID_CAT_PAGE_FIRST)))
        SelectIndex(m_selected);
}

void CMyCatWnd::OnUpdatePageList(CCmdUI* pCmdUI)
{
    CMenu* menu = pCmdUI->m_pMenu;
    if (!menu || !m_manager)
        return;
    for (UINT id = ID_CAT_PAGE_FIRST; id <= ID_CAT_PAGE_LAST; ++id)
        menu->DeleteMenu(id, MF_BYCOMMAND);
    const int n = std::min(8, m_manager->GetPageCount());
    for (int i = 0; i < n; ++i) {
        CString label;
        label.Format("&%d %s", i + 1, (const char*)m_manager->GetPageAt(i)->m_name);
        menu->AppendMenu(MF_STRING | (i == m_manager->GetActive() ? MF_CHECKED : 0), ID_CAT_PAGE_FIRST + i, label);
    }
}

void CMyCatWnd::OnLibraryList()
{
    if (!m_manager)
        return;
    CCatChooserDlg dlg(m_manager, this);
    if (dlg.DoModal() == IDOK && dlg.m_selected >= 0)
        m_manager->Activate(dlg.m_selected);
}

void CMyCatWnd::OnHide()
{
    INoteHost* host = GetNoteHost();
    CWnd* main = host ? host->GetNoteMainWindow() : NULL;
    if (main && main->GetSafeHwnd())
        main->PostMessage(WM_CAT_HIDE);
}

void CMyCatWnd::OnUpdateAlways(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(TRUE);
}
