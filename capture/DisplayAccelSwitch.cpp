#include "capture/DisplayAccelSwitch.h"

namespace {

const char kVideoMapKey[] = "HARDWARE\\DEVICEMAP\\VIDEO";
const char kLevelValue[] = "Acceleration.Level";

// Reads a REG_DWORD value; 0 when it is missing or of another type.
DWORD ReadDword(HKEY key, const char* name)
{
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegQueryValueExA(key, name, NULL, &type, (BYTE*)&value, &size) != ERROR_SUCCESS)
        return 0;
    if (type != REG_DWORD || size != sizeof(value))
        return 0;
    return value;
}

// Finds `part` in `text` without regard to case; -1 when absent. Kernel paths
// come as "\Registry\Machine\System\..." or "\REGISTRY\MACHINE\SYSTEM\...".
int FindNoCase(const CString& text, const char* part)
{
    CString upperText(text);
    CString upperPart(part);
    upperText.MakeUpper();
    upperPart.MakeUpper();
    return upperText.Find(upperPart);
}

}  // namespace

CDisplayAccelSwitch::CDisplayAccelSwitch()
{
    m_savedLevels.InitHashTable(10);
}

CDisplayAccelSwitch::~CDisplayAccelSwitch()
{
}

BOOL CDisplayAccelSwitch::IsWindowsXP() const
{
    return (::GetVersion() & 0x8000FFFF) == 0x105;
}

void CDisplayAccelSwitch::ResetDisplay()
{
    ::ChangeDisplaySettingsA(NULL, CDS_RESET);
}

DWORD CDisplayAccelSwitch::GetSavedLevel(const CString& deviceKey) const
{
    void* value = NULL;
    if (!m_savedLevels.Lookup(deviceKey, value))
        return 0;
    return (DWORD)(UINT_PTR)value;
}

// Collects the display devices attached to the desktop from the video device
// map, with the acceleration level each has now. The VGA fallback device is
// never switched. Keys that cannot be opened are skipped.
void CDisplayAccelSwitch::FindDevices()
{
    m_deviceKeys.RemoveAll();
    m_savedLevels.RemoveAll();
    const BOOL windowsXP = IsWindowsXP();

    HKEY videoMap = NULL;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVideoMapKey, 0, KEY_READ, &videoMap) != ERROR_SUCCESS)
        return;
    const DWORD maxObject = ReadDword(videoMap, "MaxObjectNumber");

    // A hostile MaxObjectNumber must not keep us reading for ever: a machine
    // has at most a handful of video objects.
    const DWORD lastObject = maxObject < 64 ? maxObject : 64;
    for (DWORD n = 0; n <= lastObject; ++n) {
        char name[32];
        wsprintfA(name, "\\Device\\Video%u", (unsigned)n);
        char path[256] = {};
        DWORD type = 0;
        DWORD size = sizeof(path) - 1;
        if (::RegQueryValueExA(videoMap, name, NULL, &type, (BYTE*)path, &size) != ERROR_SUCCESS)
            continue;
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            continue;
        path[size < sizeof(path) ? size : sizeof(path) - 1] = '\0';
        CString devicePath(path);
        if (FindNoCase(devicePath, "\\VgaSave") >= 0)
            continue;

        CString keyPath;
        if (windowsXP) {
            const int at = FindNoCase(devicePath, "System\\");
            if (at < 0)
                continue;
            keyPath = devicePath.Mid(at);
        } else {
            const int at = FindNoCase(devicePath, "\\Services");
            if (at < 0)
                continue;
            keyPath = CString("System\\CurrentControlSet") + devicePath.Mid(at);
        }

        HKEY configKey = NULL;
        if (::RegOpenKeyExA(HKEY_CURRENT_CONFIG, keyPath, 0, KEY_READ, &configKey) != ERROR_SUCCESS)
            continue;
        const DWORD attached = ReadDword(configKey, "Attach.ToDesktop");
        ::RegCloseKey(configKey);
        if (attached != 1)
            continue;

        DWORD level = 0;
        HKEY machineKey = NULL;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &machineKey) == ERROR_SUCCESS) {
            level = ReadDword(machineKey, kLevelValue);
            ::RegCloseKey(machineKey);
        }
        m_deviceKeys.Add(keyPath);
        m_savedLevels.SetAt(keyPath, (void*)(UINT_PTR)level);
    }
    ::RegCloseKey(videoMap);
}

// Sets every collected device that is not at the no-acceleration level to it.
// The display is reset once, and only when a value was really written
// (without administrative rights nothing is written and nothing reset).
void CDisplayAccelSwitch::DisableAcceleration()
{
    BOOL changed = FALSE;
    for (int i = 0; i < m_deviceKeys.GetSize(); ++i) {
        const CString& keyPath = m_deviceKeys[i];
        if (GetSavedLevel(keyPath) == kNoAcceleration)
            continue;
        HKEY key = NULL;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_WRITE, &key) != ERROR_SUCCESS)
            continue;
        const DWORD level = kNoAcceleration;
        if (::RegSetValueExA(key, kLevelValue, 0, REG_DWORD, (const BYTE*)&level, sizeof(level)) == ERROR_SUCCESS)
            changed = TRUE;
        ::RegCloseKey(key);
    }
    if (changed)
        ResetDisplay();
}

// Puts back the levels found at collection time; a device that had no value
// loses the value again.
void CDisplayAccelSwitch::RestoreAcceleration()
{
    BOOL changed = FALSE;
    for (int i = 0; i < m_deviceKeys.GetSize(); ++i) {
        const CString& keyPath = m_deviceKeys[i];
        HKEY key = NULL;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            continue;
        const DWORD saved = GetSavedLevel(keyPath);
        const DWORD current = ReadDword(key, kLevelValue);
        if (current != saved) {
            LONG result;
            if (saved == 0)
                result = ::RegDeleteValueA(key, kLevelValue);
            else
                result = ::RegSetValueExA(key, kLevelValue, 0, REG_DWORD, (const BYTE*)&saved, sizeof(saved));
            if (result == ERROR_SUCCESS)
                changed = TRUE;
        }
        ::RegCloseKey(key);
    }
    if (changed)
        ResetDisplay();
}
