#include "settings/PathUtil.h"

#include "framework/WinApp.h"
#include "resources/ids_settings.h"
#include "settings/FileUtil.h"
#include "settings/StructuredStorage.h"

#include <vector>

namespace {

// TRUE when the last character is a backslash of its own, not the trail byte
// of a double-byte character: the text is walked from its start.
bool EndsWithBackslash(const CString& path)
{
    const char* last = NULL;
    for (const char* p = path.GetString(); *p; p = ::CharNextA(p))
        last = p;
    return last && *last == '\\' && last == path.GetString() + path.GetLength() - 1;
}

}  // namespace

BOOL AddTrailingBackslash(CString& path)
{
    if (!EndsWithBackslash(path))
        path += '\\';
    return path.GetLength() < MAX_PATH;
}

BOOL RemoveTrailingBackslash(CString& path)
{
    if (EndsWithBackslash(path))
        path.Truncate(path.GetLength() - 1);
    return path.GetLength() < MAX_PATH;
}

BOOL AppendPathPart(CString& path, LPCTSTR part)
{
    CString tail(part ? part : "");
    tail.TrimLeft('\\');
    AddTrailingBackslash(path);
    path += tail;
    return path.GetLength() < MAX_PATH;
}

CString ReplaceExtension(const CString& path, LPCTSTR extension)
{
    CString folder, name;
    SplitPath(path, &folder, &name);
    int dot = name.ReverseFind('.');
    if (dot >= 0 && dot < name.GetLength() - 1)
        name = name.Left(dot + 1);
    else if (dot < 0 || dot != name.GetLength() - 1)
        name += '.';
    return folder + name + extension;
}

BOOL CreateFolderTree(CString path)
{
    if (path.GetLength() < 3)
        return TRUE;
    if (IsDirectory(path))
        return TRUE;
    CString parent = GetParentFolder(path);
    if (!parent.IsEmpty() && parent != path && !CreateFolderTree(parent))
        return FALSE;
    return ::CreateDirectoryA(path, NULL);
}

namespace {

BOOL CanCreateAndDelete(const CString& folder)
{
    if (folder.IsEmpty() || !IsDirectory(folder))
        return FALSE;
    char test[MAX_PATH];
    if (!CreateUniqueFile(folder, "_XRVTest", ".tst", test, FALSE))
        return FALSE;
    return ::DeleteFileA(test);
}

}  // namespace

BOOL IsFolderWritable(CString& folder, BOOL fallBackToTemp)
{
    if (CanCreateAndDelete(folder))
        return TRUE;
    if (!fallBackToTemp)
        return FALSE;
    char temp[MAX_PATH + 1] = {};
    DWORD n = ::GetTempPathA(MAX_PATH, temp);
    if (n == 0 || n >= MAX_PATH)
        return FALSE;
    folder = temp;
    AddTrailingBackslash(folder);
    return CanCreateAndDelete(folder);
}

BOOL CheckOutputFolder(CString folder, HWND parent, BOOL createSilently)
{
    if (IsDirectory(folder))
        return TRUE;
    if (createSilently)
        return CreateFolderTree(folder);
    CString text;
    text.Format(IDS_FOLDER_CREATE_ASK, folder.GetString());
    CWinApp* app = AfxGetApp();
    LPCTSTR caption = app && app->m_pszAppName ? app->m_pszAppName : "";
    if (::MessageBoxA(parent, text, caption, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return FALSE;
    if (CreateFolderTree(folder))
        return TRUE;
    text.Format(IDS_FOLDER_CREATE_FAILED, folder.GetString());
    ::MessageBoxA(parent, text, caption, MB_ICONINFORMATION);
    return FALSE;
}

ULONGLONG GetDiskSpace(LPCTSTR path, BOOL used, BOOL totalFree)
{
    CString root(path ? path : "");
    if (!GetPathRoot(root))
        return 0;
    AddTrailingBackslash(root);
    ULONGLONG result = 0;
    HMODULE kernel = ::LoadLibraryA("Kernel32.dll");
    typedef BOOL(WINAPI * GetDiskFreeSpaceExFn)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    GetDiskFreeSpaceExFn getEx =
        kernel ? (GetDiskFreeSpaceExFn)(void*)::GetProcAddress(kernel, "GetDiskFreeSpaceExA") : NULL;
    ULARGE_INTEGER callerFree, total, allFree;
    if (getEx && getEx(root, &callerFree, &total, &allFree)) {
        if (used)
            result = total.QuadPart - allFree.QuadPart;
        else if (totalFree)
            result = allFree.QuadPart;
        else
            result = callerFree.QuadPart;
    } else {
        DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
        if (::GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)) {
            ULONGLONG cluster = (ULONGLONG)sectorsPerCluster * bytesPerSector;
            result = used ? (ULONGLONG)clusters * cluster - (ULONGLONG)freeClusters * cluster
                          : (ULONGLONG)freeClusters * cluster;
        }
    }
    if (kernel)
        ::FreeLibrary(kernel);
    return result;
}

ULONGLONG GetFolderSize(LPCTSTR path, BOOL recurse)
{
    if (!path || !*path)
        return 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return 0;
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return ((ULONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    CString folder(path);
    AddTrailingBackslash(folder);
    ULONGLONG total = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA(folder + "*", &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (recurse && strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0)
                total += GetFolderSize(folder + found.cFileName, TRUE);
        } else {
            total += ((ULONGLONG)found.nFileSizeHigh << 32) | found.nFileSizeLow;
        }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return total;
}

BOOL IsRecordingFile(LPCTSTR path)
{
    if (!path)
        return FALSE;
    CString lower(path);
    lower.MakeLower();
    if (lower.Find(".skorec") < 0)
        return ::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
    if (lower.Find("xrvrec://") >= 0)
        lower = lower.Mid(9);
    int bang = lower.ReverseFind('!');
    if (bang >= 0) {
        CString package = lower.Left(bang);
        CString element = lower.Mid(bang + 1);
        CString folder;
        SplitPath(package, &folder, NULL);
        if (folder.IsEmpty())
            return FALSE;
        if (!element.IsEmpty()) {
            CStructuredStorage storage;
            if (!storage.Open(CStringW(package), STGM_READ | STGM_SHARE_DENY_WRITE))
                return FALSE;
            std::vector<CStringW> names;
            storage.ListElements(&names);
            CStringW wanted(element);
            for (const CStringW& name : names) {
                if (::lstrcmpiW(name, wanted) == 0)
                    return TRUE;
            }
            return FALSE;
        }
    }
    return ::GetFileAttributesA(lower) != INVALID_FILE_ATTRIBUTES;
}
