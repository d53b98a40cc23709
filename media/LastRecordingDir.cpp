#include "media/LastRecordingDir.h"

namespace {
const char kProductKey[] = "Software\\Kestravon\\Skorvale Studio\\3.0";
const char kValue[] = "LastRecDir";
}  // namespace

CString GetLastRecordingDir()
{
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kProductKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return CString();
    char buffer[MAX_PATH + 1] = "";
    DWORD type = 0;
    DWORD size = MAX_PATH;   // one byte kept for the terminator a stored value may lack
    const LONG status = ::RegQueryValueExA(key, kValue, nullptr, &type,
                                           reinterpret_cast<BYTE*>(buffer), &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return CString();
    buffer[size < MAX_PATH ? size : MAX_PATH] = '\0';
    return CString(buffer);
}

void SetLastRecordingDir(LPCSTR folder)
{
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, kProductKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
        return;
    const char* text = folder ? folder : "";
    ::RegSetValueExA(key, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                     static_cast<DWORD>(lstrlenA(text) + 1));
    ::RegCloseKey(key);
}
