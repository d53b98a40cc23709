#include "settings/FileUtil.h"

#include <shlwapi.h>

#include <clocale>
#include <cmath>

namespace {

int DefaultRetryPrompt(const CString& text)
{
    char title[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, title, MAX_PATH);
    return ::MessageBoxA(::GetActiveWindow(), text, ::PathFindFileNameA(title),
                         MB_RETRYCANCEL | MB_ICONEXCLAMATION);
}

FileRetryPrompt g_retryPrompt = DefaultRetryPrompt;

// The user's prompt for a failed file operation: the message resource with
// the path inserted; TRUE when the user asks to try again.
BOOL AskRetry(UINT messageId, LPCSTR path)
{
    CString text;
    CString format;
    if (format.LoadString(messageId))
        text.FormatMessage(format.GetString(), path);
    if (text.IsEmpty())
        text = path;
    return g_retryPrompt(text) == IDRETRY;
}

CString LocaleText(LCTYPE type, const char* fallback)
{
    char buf[16] = "";
    if (::GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buf, sizeof(buf)) <= 1)
        return CString(fallback);
    return CString(buf);
}

}  // namespace

void SetFileRetryPrompt(FileRetryPrompt prompt)
{
    g_retryPrompt = prompt ? prompt : DefaultRetryPrompt;
}

BOOL IsDirectory(LPCSTR path)
{
    const DWORD attributes = ::GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

ULONGLONG GetFileSize64(LPCSTR path, ULONGLONG defaultSize)
{
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA(path, &data);
    if (find == INVALID_HANDLE_VALUE)
        return defaultSize;
    ::FindClose(find);
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Numbers start at the tick count, so two programs starting a recording in the
// same folder rarely collide; a collision just moves on to the next number.
BOOL CreateUniqueFile(LPCSTR folder, LPCSTR prefix, LPCSTR extension, char* path, BOOL makeFolder)
{
    if (!path)
        return FALSE;
    path[0] = '\0';
    const CString dir = folder ? folder : "";
    const CString pre = prefix ? prefix : "";
    CString ext = extension ? extension : "";
    if (!ext.IsEmpty() && ext[0] != '.')
        ext.Insert(0, '.');
    CString separator;
    if (!dir.IsEmpty() && dir[dir.GetLength() - 1] != '\\')
        separator = "\\";

    DWORD number = ::GetTickCount();
    for (;;) {
        CString numberText;
        numberText.Format("%lx", static_cast<unsigned long>(number));
        const int length = dir.GetLength() + separator.GetLength() + pre.GetLength() +
                           numberText.GetLength() + ext.GetLength() + 1;
        if (length > MAX_PATH)
            return FALSE;
        const CString candidate = dir + separator + pre + numberText + ext;

        DWORD error = ERROR_SUCCESS;
        if (makeFolder) {
            if (!::CreateDirectoryA(candidate, nullptr))
                error = ::GetLastError();
        } else {
            HANDLE file = ::CreateFileA(candidate, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE)
                error = ::GetLastError();
            else
                ::CloseHandle(file);
        }
        if (error == ERROR_SUCCESS) {
            lstrcpynA(path, candidate, MAX_PATH);
            return TRUE;
        }
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
            return FALSE;
        ++number;
    }
}

BOOL CreateUniqueFileName(LPCSTR folder, LPCSTR prefix, LPCSTR extension, CString& path,
                          BOOL makeFolder)
{
    char buffer[MAX_PATH];
    const BOOL ok = CreateUniqueFile(folder, prefix, extension, buffer, makeFolder);
    path = ok ? buffer : "";
    return ok;
}

DWORD GetDllVersion(LPCSTR library)
{
    HMODULE module = ::LoadLibraryA(library);
    if (!module)
        return 0;
    DWORD version = 0;
    typedef HRESULT(CALLBACK * DllGetVersionFn)(DLLVERSIONINFO*);
    DllGetVersionFn getVersion =
        reinterpret_cast<DllGetVersionFn>(::GetProcAddress(module, "DllGetVersion"));
    if (getVersion) {
        DLLVERSIONINFO info = {};
        info.cbSize = 20;
        if (SUCCEEDED(getVersion(&info)))
            version = (info.dwMajorVersion << 16) | (info.dwMinorVersion & 0xFFFF);
    }
    ::FreeLibrary(module);
    return version;
}

BOOL DeleteFileRetry(LPCSTR path, UINT messageId)
{
    for (;;) {
        if (::DeleteFileA(path))
            return TRUE;
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return TRUE;
        if (!AskRetry(messageId, path))
            return FALSE;
    }
}

BOOL MoveFileReplace(LPCSTR from, LPCSTR to, UINT messageId)
{
    for (;;) {
        if (::GetFileAttributesA(from) == INVALID_FILE_ATTRIBUTES)
            return FALSE;
        BOOL moved;
        if (::GetVersion() & 0x80000000) {
            ::DeleteFileA(to);   // Windows 9x has no replacing move
            moved = ::MoveFileA(from, to);
        } else {
            moved = ::MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
        }
        if (moved)
            return TRUE;
        if (!AskRetry(messageId, to))
            return FALSE;
    }
}

void SplitPath(LPCSTR path, CString* folder, CString* name)
{
    const CString text = path ? path : "";
    const int slash = text.ReverseFind('\\');
    if (folder)
        *folder = slash >= 0 ? text.Left(slash + 1) : CString();
    if (name)
        *name = slash >= 0 ? text.Mid(slash + 1) : text;
}

// A path that ends in a separator names the folder before it, so its parent
// is taken once more.
CString GetParentFolder(LPCSTR path)
{
    CString text = path ? path : "";
    for (;;) {
        text.TrimRight();
        int separator = text.ReverseFind('\\');
        if (separator < 0)
            separator = text.ReverseFind(':');
        if (separator < 0)
            return text;
        const bool wasLast = separator == text.GetLength() - 1;
        text = text.Left(separator);
        if (!wasLast || text.IsEmpty())
            return text;
    }
}

BOOL SplitFileExtension(LPCSTR path, CString* name, CString* extension)
{
    const CString text = path ? path : "";
    const int dot = text.ReverseFind('.');
    if (dot < 0)
        return FALSE;
    const int slash = text.ReverseFind('\\');
    if (name)
        *name = dot > slash ? text.Mid(slash + 1, dot - slash - 1) : CString();
    if (extension)
        *extension = text.Mid(dot + 1);
    return TRUE;
}

CString GetFileNameFromPath(LPCSTR path)
{
    CString name;
    SplitPath(path, nullptr, &name);
    return name;
}

// A drive path becomes "C:"; a network path becomes the root of its share
// ("\\server\share\"), the form the free-space query takes.
BOOL GetPathRoot(CString& path)
{
    const int length = path.GetLength();
    if (length >= 3) {
        const char c = path[0];
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (letter && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) {
            path = path.Left(2);
            return TRUE;
        }
    }
    auto isSeparator = [](char c) { return c == '\\' || c == '/'; };
    if (length >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        int serverEnd = 2;
        while (serverEnd < length && !isSeparator(path[serverEnd]))
            ++serverEnd;
        if (serverEnd == 2 || serverEnd >= length - 1)
            return FALSE;   // no server, or no share after it
        int shareEnd = serverEnd + 1;
        while (shareEnd < length && !isSeparator(path[shareEnd]))
            ++shareEnd;
        CString root = "\\\\" + path.Mid(2, serverEnd - 2) + "\\" +
                       path.Mid(serverEnd + 1, shareEnd - serverEnd - 1) + "\\";
        path = root;
        return TRUE;
    }
    return FALSE;
}

CString FormatThousands(ULONGLONG value)
{
    CString digits;
    digits.Format("%I64u", value);
    const CString separator = LocaleText(LOCALE_STHOUSAND, ",");
    CString out;
    const int n = digits.GetLength();
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += separator;
        out += digits[i];
    }
    return out;
}

CString FormatByteSize(ULONGLONG size, BOOL withExactCount)
{
    static const UINT kUnitText[4] = {10406, 10407, 10408, 10409};
    int unit = 0;
    ULONGLONG divisor = 1;
    while (unit < 3 && size / divisor >= 1024) {
        divisor *= 1024;
        ++unit;
    }
    CString whole;
    whole.Format("%I64d", static_cast<LONGLONG>(size / divisor));
    CString fraction;
    fraction.Format("%02d", static_cast<int>((size % divisor) * 100 / divisor));
    const CString decimal = LocaleText(LOCALE_SDECIMAL, ".");

    CString format;
    format.LoadString(kUnitText[unit]);
    CString text;
    text.FormatMessage(format.GetString(), whole.GetString(), decimal.GetString(),
                       fraction.GetString());
    if (withExactCount && unit > 0) {
        CString exact;
        exact.Format(10412, FormatThousands(size).GetString());
        text += exact;
    }
    return text;
}

CString FormatElapsedTime(DWORD milliseconds, BOOL withFractions)
{
    const unsigned hours = milliseconds / 3600000u;
    const unsigned minutes = (milliseconds / 60000u) % 60u;
    CString text;
    if (withFractions) {
        const double seconds = std::fmod(milliseconds * 0.001, 60.0);
        text.Format("%01u:%02u:%05.2f", hours, minutes, seconds);
    } else {
        text.Format("%01u:%02u:%02u", hours, minutes, (milliseconds / 1000u) % 60u);
    }
    return text;
}

CString FormatReferenceTime(LONGLONG time100ns, BOOL withFractions)
{
    return FormatElapsedTime(static_cast<DWORD>(time100ns / 10000), withFractions);
}

void InitLocale()
{
    static bool done = false;
    if (!done) {
        std::setlocale(LC_ALL, "");
        done = true;
    }
}
