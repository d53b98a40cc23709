#include "settings/FolderBrowser.h"

#include "settings/FileUtil.h"
#include "settings/ShellUtil.h"

#ifndef BIF_NEWDIALOGSTYLE
#define BIF_NEWDIALOGSTYLE 0x0040   // shlobj.h offers it only for _WIN32_IE >= 0x0500
#endif

CFolderBrowser::CFolderBrowser(HWND owner, int editId, UINT titleId, UINT flags)
    : m_owner(owner), m_titleId(titleId), m_editId(editId), m_flags(flags), m_askedFlags(flags)
{
    m_comInit = ::CoInitialize(NULL);
    if ((m_flags & BIF_NEWDIALOGSTYLE) && GetDllVersion("Shlwapi.dll") < 0x50000)
        m_flags &= ~BIF_NEWDIALOGSTYLE;
    // The new dialog style shows virtual folders too; the callback enforces
    // the file-system-only rule instead of the flag.
    if (m_askedFlags & (BIF_NEWDIALOGSTYLE | BIF_RETURNONLYFSDIRS))
        m_flags &= ~BIF_RETURNONLYFSDIRS;
    char text[MAX_PATH + 1] = {};
    if (m_owner)
        ::GetDlgItemTextA(m_owner, m_editId, text, sizeof(text));
    m_folder = text;
    if (m_folder.IsEmpty())
        m_folder = GetShellFolderPath(CSIDL_PERSONAL, CSIDL_FLAG_CREATE);
}

CFolderBrowser::~CFolderBrowser()
{
    if (SUCCEEDED(m_comInit))
        ::CoUninitialize();
}

int CALLBACK CFolderBrowser::Callback(HWND dialog, UINT message, LPARAM param, LPARAM data)
{
    CFolderBrowser* self = reinterpret_cast<CFolderBrowser*>(data);
    if (message == BFFM_INITIALIZED) {
        // Start at the nearest folder of the initial path that exists.
        CString start = self->m_folder;
        start.TrimRight(" ");
        while (!start.IsEmpty() && ::GetFileAttributesA(start) == INVALID_FILE_ATTRIBUTES) {
            if (start[start.GetLength() - 1] == '\\')
                start.Truncate(start.GetLength() - 1);
            int slash = start.ReverseFind('\\');
            start = slash >= 0 ? start.Left(slash + 1) : CString();
        }
        if (start.GetLength() == 3 && start.Mid(1) == ":\\") {
            // a drive root keeps its backslash
        } else if (!start.IsEmpty() && start[start.GetLength() - 1] == '\\') {
            start.Truncate(start.GetLength() - 1);
        }
        ::SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, (LPARAM)start.GetString());
    } else if (message == BFFM_SELCHANGED) {
        if ((self->m_askedFlags & BIF_RETURNONLYFSDIRS) && !(self->m_flags & BIF_RETURNONLYFSDIRS)) {
            char path[MAX_PATH] = {};
            BOOL isFolder = ::SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(param), path);
            ::SendMessageA(dialog, BFFM_ENABLEOK, 0, isFolder ? 1 : 0);
        }
    }
    return 0;
}

LPITEMIDLIST CFolderBrowser::ShowDialog(BROWSEINFOA* info)
{
    return ::SHBrowseForFolderA(info);
}

int CFolderBrowser::Browse()
{
    CString title;
    title.LoadString(m_titleId);
    char display[MAX_PATH] = {};
    BROWSEINFOA info;
    memset(&info, 0, sizeof(info));
    info.hwndOwner = m_owner;
    info.pszDisplayName = display;
    info.lpszTitle = title;
    info.ulFlags = m_flags;
    info.lpfn = &CFolderBrowser::Callback;
    info.lParam = reinterpret_cast<LPARAM>(this);
    LPITEMIDLIST chosen = ShowDialog(&info);
    if (!chosen)
        return IDCANCEL;
    char path[MAX_PATH] = {};
    BOOL hasPath = ::SHGetPathFromIDListA(chosen, path);
    ::CoTaskMemFree(chosen);
    if (!hasPath)
        return IDCANCEL;
    m_folder = path;
    if (m_owner)
        ::SetDlgItemTextA(m_owner, m_editId, path);
    return IDOK;
}
