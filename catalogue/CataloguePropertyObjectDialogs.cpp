// The catalogue's file dialogs: open a library of the page's kind, save it
// under a new path, and take an item's icon from a file.
#include "catalogue/CataloguePropertyObject.h"

#include "catalogue/CatalogueOb.h"
#include "controls/Dib.h"
#include "controls/LongFileDialog.h"
#include "framework/Collections.h"
#include "framework/Exceptions.h"
#include "framework/File.h"
#include "framework/WinApp.h"
#include "resources/ids_catalogue.h"

#include <shellapi.h>
#include <shlobj.h>

namespace {

// The dialogs' path buffer: longer names are refused by the dialog itself.
const int kMaxPath = 260;

// Runs the file dialog with the current directory kept as it was, also when
// an exception leaves the dialog. TRUE with the path and the title (the name
// without its extension) on OK.
BOOL RunFileDialog(BOOL open, const CString& defExt, const CString& filter, const CString& startFolder,
                   CWnd* pParent, CString& path, CString& title)
{
    char saved[256] = "";
    const DWORD savedLength = ::GetCurrentDirectoryA(sizeof(saved), saved);
    const DWORD flags = open ? OFN_FILEMUSTEXIST | OFN_HIDEREADONLY
                             : OFN_NOREADONLYRETURN | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    CLongFileDialog dialog(open, defExt.IsEmpty() ? NULL : (LPCTSTR)defExt, NULL, flags, filter, pParent, kMaxPath);
    if (!startFolder.IsEmpty())
        dialog.m_ofn.lpstrInitialDir = startFolder;
    INT_PTR answer;
    try {
        answer = dialog.DoModal();
    } catch (...) {
        if (savedLength > 0 && savedLength < sizeof(saved))
            ::SetCurrentDirectoryA(saved);
        throw;
    }
    if (savedLength > 0 && savedLength < sizeof(saved))
        ::SetCurrentDirectoryA(saved);
    if (answer != IDOK)
        return FALSE;
    path = dialog.GetPathName();
    title = path.Mid(path.ReverseFind('\\') + 1);
    const int dot = title.ReverseFind('.');
    if (dot >= 0)
        title = title.Left(dot);
    return TRUE;
}

CString LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

}  // namespace

// The folder the first run fills with the default libraries (the recorder's
// data folder joined with "Libraries"), so that dialogs open where the
// libraries are.
CString CCataloguePropertyObject::LibraryFolder()
{
    char appData[MAX_PATH] = "";
    if (FAILED(::SHGetFolderPathA(NULL, CSIDL_LOCAL_APPDATA, NULL, SHGFP_TYPE_CURRENT, appData)) || !appData[0])
        return CString();
    CString folder = appData;
    folder += "\\Kestravon\\Skorvale Studio\\3.0\\";
    LPCTSTR app = AfxGetAppName();
    if (app && *app) {
        folder += app;
        folder += "\\";
    }
    folder += "Libraries";
    return folder;
}

CString CCataloguePropertyObject::KindExtension(int pageType)
{
    return pageType == 0 ? ".skol" : pageType == 2 ? ".skot" : ".skoo";
}

CString CCataloguePropertyObject::KindFilter(int pageType)
{
    if (pageType == 0)
        return "编排库文件 (*.skol)|*.skol|";
    if (pageType == 2)
        return "文本便条库文件 (*.skot)|*.skot|";
    return "形状库文件 (*.skoo)|*.skoo|";
}

int CCataloguePropertyObject::OpenWithDialog(CWnd* pParent)
{
    const CString ext = KindExtension(m_pageType);
    const UINT wrongId = m_pageType == 0 ? IDS_CAT_LAYOUT_EXT_WRONG
                         : m_pageType == 2 ? IDS_CAT_TEXT_EXT_WRONG
                                           : IDS_CAT_SHAPE_EXT_WRONG;
    CString folder = LibraryFolder();
    if (::GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES)
        folder.Empty();
    CString path, title;
    if (!RunFileDialog(TRUE, ext.Mid(1), KindFilter(m_pageType) + "|", folder, pParent, path, title))
        return -1;
    const int dot = path.ReverseFind('.');
    const CString chosenExt = dot >= 0 ? path.Mid(dot + 1) : CString();
    if (chosenExt.CompareNoCase(ext.Mid(1)) != 0) {
        AfxMessageBox(LoadText(wrongId), MB_OK | MB_ICONEXCLAMATION);
        return -1;
    }
    return Open(path);
}

int CCataloguePropertyObject::SaveAs(const CStringArray& openPaths, CWnd* pParent)
{
    const CString ext = KindExtension(m_pageType);
    CString folder = LibraryFolder();
    if (::GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES)
        folder.Empty();
    CString path, title;
    if (!RunFileDialog(FALSE, ext.Mid(1), KindFilter(m_pageType) + "|", folder, pParent, path, title))
        return -1;
    for (INT_PTR i = 0; i < openPaths.GetSize(); i++) {
        if (path.CompareNoCase(openPaths[i]) == 0) {
            CString message;
            message.FormatMessage(IDS_CAT_ALREADY_OPEN, (LPCTSTR)path);
            AfxMessageBox(message, MB_OK | MB_ICONEXCLAMATION);
            return -1;
        }
    }
    if (SaveTo(path) != 0)
        return -1;
    m_name = title;
    return 0;
}

int CCataloguePropertyObject::ReplaceItemIcon(int index, int size, CWnd* pParent)
{
    if (index < 0 || index >= GetItemCount())
        return -1;
    CString path, title;
    if (!RunFileDialog(TRUE, CString(), LoadText(IDS_CAT_ICON_FILTER) + "|", CString(), pParent, path, title))
        return -1;
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyWrite))
        return -1;
    char magic[2] = { 0, 0 };
    const UINT got = file.Read(magic, 2);
    file.Seek(0, CFile::begin);
    CCatalogueOb* item = GetItem(index);
    HWND hRef = pParent ? pParent->GetSafeHwnd() : NULL;
    if (got == 2 && magic[0] == 'B' && magic[1] == 'M') {
        CDib image;
        const BOOL read = image.Read(&file, NULL, 0);
        file.Close();
        if (!read || !item->SetIconFromImage(hRef, &image, NULL, size))
            return -1;
        return 0;
    }
    file.Close();
    HICON icon = ::ExtractIconA(::GetModuleHandleA(NULL), path, 0);
    if (icon == NULL || icon == (HICON)1)
        return -1;
    item->SetIcon(icon);
    ::DestroyIcon(icon);
    return item->GetIconImage() ? 0 : -1;
}
