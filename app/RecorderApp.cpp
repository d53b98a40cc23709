#include "app/RecorderApp.h"

#include "resources/ids_settings.h"

#include <stdlib.h>

IMPLEMENT_DYNAMIC(CRecorderApp, CWinApp)

const char CRecorderApp::kRegistryKey[] = "Kestravon\\Skorvale Studio\\3.0";

// CRecorderApp::s_gdiplus is made with the program's other process-wide
// objects (Registrations.cpp); programs without them take RecorderAppGdiplus.cpp.

CRecorderApp::CRecorderApp()
    : m_makeMainWindow(NULL), m_mainStart(NULL), m_makeCatalogue(NULL), m_firstRun(-1), m_catalogue(NULL), m_instanceMutex(NULL),
      m_setLayeredWindowAttributes(NULL), m_layeredSupported(TRUE), m_startHidden(FALSE), m_exitCode(0), m_fontCache(NULL),
      m_openWindowCount(0)
{
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(NULL, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        path[0] = 0;
    m_programFolder = path;
    m_programFolder = m_programFolder.Left(m_programFolder.ReverseFind('\\') + 1);
    // The screen notes reach the opacity and the translucent count here.
    SetNoteHost(this);
}

CRecorderApp::~CRecorderApp()
{
    if (GetNoteHost() == this)
        SetNoteHost(NULL);
}

void CRecorderApp::SetProfileKey(LPCTSTR registryKey)
{
    SetRegistryKey(registryKey);
    CString profile;
    if (!profile.LoadString(IDS_PROFILE_NAME))
        profile = "Skorvale Recorder";
    free(const_cast<LPTSTR>(m_pszProfileName));
    m_pszProfileName = _strdup(profile);
}

// InitInstance, the start-up, is in RecorderAppStart.cpp.

UINT CRecorderApp::GetProfileInt(LPCTSTR section, LPCTSTR entry, int defaultValue)
{
    return CWinApp::GetProfileInt(section, entry, defaultValue);
}

CString CRecorderApp::GetProfileString(LPCTSTR section, LPCTSTR entry, LPCTSTR defaultValue)
{
    return CWinApp::GetProfileString(section, entry, defaultValue);
}

BOOL CRecorderApp::WriteProfileInt(LPCTSTR section, LPCTSTR entry, int value)
{
    return CWinApp::WriteProfileInt(section, entry, value);
}

BOOL CRecorderApp::WriteProfileString(LPCTSTR section, LPCTSTR entry, LPCTSTR value)
{
    return CWinApp::WriteProfileString(section, entry, value);
}

// The section key opened directly, as "Software\<key>\<profile>\<section>",
// for the values that are not profile numbers or strings (binary blobs).
HKEY CRecorderApp::CreateSectionKey(LPCTSTR section)
{
    if (!m_pszRegistryKey || !m_pszProfileName || !section)
        return NULL;
    CString path;
    path.Format("Software\\%s\\%s\\%s", m_pszRegistryKey, m_pszProfileName, section);
    HKEY key = NULL;
    DWORD disposition = 0;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &key,
                          &disposition) != ERROR_SUCCESS)
        return NULL;
    return key;
}
