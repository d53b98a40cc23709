#include "framework/WinApp.h"
#include "framework/Exceptions.h"
#include "framework/Module.h"

#include <shlwapi.h>
#include <stdlib.h>

IMPLEMENT_DYNAMIC(CWinApp, CWinThread)

namespace {
CWinApp* g_pApp = NULL;

// String id of the application title in the program's string table.
const UINT kIdsAppTitle = 0xE000;

// Values larger than this are not profile data; they are treated as absent.
const DWORD kMaxProfileValue = 16 * 1024 * 1024;

void ReplaceName(LPCTSTR& target, LPCTSTR value)
{
    free(const_cast<LPTSTR>(target));
    target = value ? _strdup(value) : NULL;
}

// Closes a registry key when it goes out of scope.
class CRegKeyHolder {
public:
    explicit CRegKeyHolder(HKEY h) : m_h(h) {}
    ~CRegKeyHolder()
    {
        if (m_h)
            ::RegCloseKey(m_h);
    }
    operator HKEY() const { return m_h; }

private:
    CRegKeyHolder(const CRegKeyHolder&) = delete;
    CRegKeyHolder& operator=(const CRegKeyHolder&) = delete;
    HKEY m_h;
};
}  // namespace

CWinApp::CWinApp(LPCTSTR lpszAppName)
    : m_pszAppName(lpszAppName ? _strdup(lpszAppName) : NULL), m_pszRegistryKey(NULL), m_pszProfileName(NULL),
      m_pszExeName(NULL), m_pszHelpFilePath(NULL), m_hInstance(NULL), m_lpCmdLine(NULL), m_nCmdShow(SW_SHOWNORMAL)
{
    g_pApp = this;
    // The application object is the main thread's thread object; it is never
    // deleted by the thread machinery.
    m_bAutoDelete = FALSE;
    m_nThreadID = ::GetCurrentThreadId();
}

CWinApp::~CWinApp()
{
    free(const_cast<LPTSTR>(m_pszAppName));
    free(const_cast<LPTSTR>(m_pszRegistryKey));
    free(const_cast<LPTSTR>(m_pszProfileName));
    free(const_cast<LPTSTR>(m_pszExeName));
    free(const_cast<LPTSTR>(m_pszHelpFilePath));
    // The main thread's handle is not ours to close.
    m_hThread = NULL;
    if (g_pApp == this)
        g_pApp = NULL;
}

void CWinApp::SetCurrentHandles()
{
    if (m_hInstance == NULL)
        m_hInstance = AfxGetInstanceHandle();
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(m_hInstance, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        path[0] = 0;
    CString modulePath(path);
    CString exeName = modulePath.Mid(modulePath.ReverseFind('\\') + 1);
    int dot = exeName.ReverseFind('.');
    if (dot >= 0)
        exeName = exeName.Left(dot);
    if (m_pszExeName == NULL)
        ReplaceName(m_pszExeName, exeName);
    if (m_pszAppName == NULL) {
        CString title;
        if (!title.LoadString(m_hInstance, kIdsAppTitle))
            title = exeName;
        ReplaceName(m_pszAppName, title);
    }
    if (m_pszHelpFilePath == NULL) {
        CString help = modulePath;
        int ext = help.ReverseFind('.');
        if (ext > help.ReverseFind('\\'))
            help = help.Left(ext);
        ReplaceName(m_pszHelpFilePath, help + ".HLP");
    }
    if (m_pszProfileName == NULL)
        ReplaceName(m_pszProfileName, exeName + ".INI");
}

BOOL CWinApp::InitApplication()
{
    return TRUE;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::ExitInstance()
{
    return (int)m_msgCur.wParam;
}

int CWinApp::Run()
{
    return CWinThread::Run();
}

int CWinApp::DoMessageBox(LPCTSTR lpszPrompt, UINT nType, UINT)
{
    // Without an icon, a warning icon for OK boxes and a question mark for
    // yes/no boxes, as MFC does.
    if ((nType & MB_ICONMASK) == 0) {
        switch (nType & MB_TYPEMASK) {
        case MB_OK:
        case MB_OKCANCEL: nType |= MB_ICONEXCLAMATION; break;
        case MB_YESNO:
        case MB_YESNOCANCEL: nType |= MB_ICONQUESTION; break;
        default: break;
        }
    }
    return ::MessageBoxA(::GetActiveWindow(), lpszPrompt, AfxGetAppName(), nType);
}

// --- Profile ---------------------------------------------------------------------------

void CWinApp::SetRegistryKey(LPCTSTR lpszRegistryKey)
{
    if (lpszRegistryKey == NULL)
        AfxThrowInvalidArgException();
    if (m_pszAppName == NULL)
        SetCurrentHandles();
    ReplaceName(m_pszRegistryKey, lpszRegistryKey);
    ReplaceName(m_pszProfileName, m_pszAppName);
}

void CWinApp::SetRegistryKey(UINT nIDRegistryKey)
{
    CString key;
    if (!key.LoadString(nIDRegistryKey))
        AfxThrowInvalidArgException();
    SetRegistryKey(key);
}

HKEY CWinApp::GetAppRegistryKey()
{
    if (m_pszRegistryKey == NULL || m_pszProfileName == NULL)
        return NULL;
    HKEY hSoftKey = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ | KEY_WRITE, &hSoftKey) != ERROR_SUCCESS)
        return NULL;
    CRegKeyHolder soft(hSoftKey);
    HKEY hCompanyKey = NULL;
    DWORD dw;
    if (::RegCreateKeyExA(soft, m_pszRegistryKey, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                          NULL, &hCompanyKey, &dw) != ERROR_SUCCESS)
        return NULL;
    CRegKeyHolder company(hCompanyKey);
    HKEY hAppKey = NULL;
    if (::RegCreateKeyExA(company, m_pszProfileName, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                          NULL, &hAppKey, &dw) != ERROR_SUCCESS)
        return NULL;
    return hAppKey;
}

HKEY CWinApp::GetSectionKey(LPCTSTR lpszSection)
{
    if (lpszSection == NULL)
        return NULL;
    CRegKeyHolder app(GetAppRegistryKey());
    if (app == NULL)
        return NULL;
    HKEY hSectionKey = NULL;
    DWORD dw;
    if (::RegCreateKeyExA(app, lpszSection, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, NULL,
                          &hSectionKey, &dw) != ERROR_SUCCESS)
        return NULL;
    return hSectionKey;
}

// Only a REG_DWORD of four bytes is a number; anything else gives the default.
UINT CWinApp::GetProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nDefault)
{
    if (lpszSection == NULL || lpszEntry == NULL)
        return (UINT)nDefault;
    if (m_pszRegistryKey == NULL)
        return ::GetPrivateProfileIntA(lpszSection, lpszEntry, nDefault, m_pszProfileName);
    CRegKeyHolder key(GetSectionKey(lpszSection));
    if (key == NULL)
        return (UINT)nDefault;
    DWORD value = 0, type = 0, size = sizeof(value);
    LONG r = ::RegQueryValueExA(key, lpszEntry, NULL, &type, reinterpret_cast<LPBYTE>(&value), &size);
    if (r != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(value))
        return (UINT)nDefault;
    return (UINT)value;
}

CString CWinApp::GetProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszDefault)
{
    if (lpszSection == NULL || lpszEntry == NULL)
        return CString(lpszDefault);
    if (m_pszRegistryKey == NULL) {
        CString s;
        DWORD room = 256;
        for (;;) {
            DWORD n = ::GetPrivateProfileStringA(lpszSection, lpszEntry, lpszDefault ? lpszDefault : "",
                                                 s.GetBuffer((int)room), room + 1, m_pszProfileName);
            if (n < room) {
                s.ReleaseBuffer((int)n);
                return s;
            }
            if (room >= kMaxProfileValue) {
                s.ReleaseBuffer((int)n);
                return s;
            }
            room *= 2;
        }
    }
    CRegKeyHolder key(GetSectionKey(lpszSection));
    if (key == NULL)
        return CString(lpszDefault);
    DWORD type = 0, size = 0;
    LONG r = ::RegQueryValueExA(key, lpszEntry, NULL, &type, NULL, &size);
    if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || size > kMaxProfileValue)
        return CString(lpszDefault);
    CString s;
    // The stored data need not end with a terminator; ReleaseBuffer(-1) stops
    // at the first one within the bytes read.
    LPSTR p = s.GetBuffer((int)size + 1);
    memset(p, 0, size + 2);
    r = ::RegQueryValueExA(key, lpszEntry, NULL, &type, reinterpret_cast<LPBYTE>(p), &size);
    if (r != ERROR_SUCCESS) {
        s.ReleaseBuffer(0);
        return CString(lpszDefault);
    }
    p[size] = 0;
    s.ReleaseBuffer();
    return s;
}

BOOL CWinApp::GetProfileBinary(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPBYTE* ppData, UINT* pBytes)
{
    if (ppData == NULL || pBytes == NULL)
        return FALSE;
    *ppData = NULL;
    *pBytes = 0;
    if (lpszSection == NULL || lpszEntry == NULL)
        return FALSE;
    if (m_pszRegistryKey == NULL) {
        // INI files keep each byte as two letters 'A'+low nibble, 'A'+high nibble.
        CString text = GetProfileString(lpszSection, lpszEntry, NULL);
        int n = text.GetLength() / 2;
        if (n == 0)
            return FALSE;
        BYTE* data = new BYTE[n];
        for (int i = 0; i < n; i++) {
            int lo = text[2 * i] - 'A', hi = text[2 * i + 1] - 'A';
            if (lo < 0 || lo > 15 || hi < 0 || hi > 15) {
                delete[] data;
                return FALSE;
            }
            data[i] = (BYTE)(lo | (hi << 4));
        }
        *ppData = data;
        *pBytes = (UINT)n;
        return TRUE;
    }
    CRegKeyHolder key(GetSectionKey(lpszSection));
    if (key == NULL)
        return FALSE;
    DWORD type = 0, size = 0;
    LONG r = ::RegQueryValueExA(key, lpszEntry, NULL, &type, NULL, &size);
    if (r != ERROR_SUCCESS || type != REG_BINARY || size > kMaxProfileValue)
        return FALSE;
    BYTE* data = new BYTE[size ? size : 1];
    r = ::RegQueryValueExA(key, lpszEntry, NULL, &type, data, &size);
    if (r != ERROR_SUCCESS || type != REG_BINARY) {
        delete[] data;
        return FALSE;
    }
    *ppData = data;
    *pBytes = (UINT)size;
    return TRUE;
}

BOOL CWinApp::WriteProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nValue)
{
    if (lpszSection == NULL || lpszEntry == NULL)
        return FALSE;
    if (m_pszRegistryKey == NULL) {
        CString s;
        s.Format("%d", nValue);
        return ::WritePrivateProfileStringA(lpszSection, lpszEntry, s, m_pszProfileName);
    }
    CRegKeyHolder key(GetSectionKey(lpszSection));
    if (key == NULL)
        return FALSE;
    DWORD value = (DWORD)nValue;
    return ::RegSetValueExA(key, lpszEntry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                            sizeof(value)) == ERROR_SUCCESS;
}

BOOL CWinApp::WriteProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszValue)
{
    if (lpszSection == NULL)
        return FALSE;
    if (m_pszRegistryKey == NULL)
        return ::WritePrivateProfileStringA(lpszSection, lpszEntry, lpszValue, m_pszProfileName);
    if (lpszEntry == NULL) {
        // The whole section, with any subkeys it has.
        CRegKeyHolder app(GetAppRegistryKey());
        if (app == NULL)
            return FALSE;
        DWORD r = ::SHDeleteKeyA(app, lpszSection);
        return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
    }
    CRegKeyHolder key(GetSectionKey(lpszSection));
    if (key == NULL)
        return FALSE;
    if (lpszValue == NULL) {
        LONG r = ::RegDeleteValueA(key, lpszEntry);
        return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
    }
    return ::RegSetValueExA(key, lpszEntry, 0, REG_SZ, reinterpret_cast<const BYTE*>(lpszValue),
                            (DWORD)strlen(lpszValue) + 1) == ERROR_SUCCESS;
}

BOOL CWinApp::WriteProfileBinary(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPBYTE pData, UINT nBytes)
{
    if (lpszSection == NULL || lpszEntry == NULL || (pData == NULL && nBytes != 0))
        return FALSE;
    if (m_pszRegistryKey == NULL) {
        CString text;
        LPSTR p = text.GetBufferSetLength((int)nBytes * 2);
        for (UINT i = 0; i < nBytes; i++) {
            p[2 * i] = (char)('A' + (pData[i] & 0x0F));
            p[2 * i + 1] = (char)('A' + ((pData[i] >> 4) & 0x0F));
        }
        return WriteProfileString(lpszSection, lpszEntry, text);
    }
    CRegKeyHolder key(GetSectionKey(lpszSection));
    if (key == NULL)
        return FALSE;
    return ::RegSetValueExA(key, lpszEntry, 0, REG_BINARY, pData, nBytes) == ERROR_SUCCESS;
}

// --- Globals -------------------------------------------------------------------------------

CWinApp* AFXAPI AfxGetApp()
{
    return g_pApp;
}

LPCTSTR AFXAPI AfxGetAppName()
{
    if (g_pApp != NULL && g_pApp->m_pszAppName != NULL)
        return g_pApp->m_pszAppName;
    return "";
}

BOOL AFXAPI AfxWinInit(HINSTANCE hInstance, HINSTANCE, LPTSTR lpCmdLine, int nCmdShow)
{
    AfxSetInstanceHandle(hInstance);
    CWinApp* pApp = AfxGetApp();
    if (pApp != NULL) {
        pApp->m_hInstance = hInstance;
        pApp->m_lpCmdLine = lpCmdLine;
        pApp->m_nCmdShow = nCmdShow;
        pApp->m_hThread = ::GetCurrentThread();
        pApp->m_nThreadID = ::GetCurrentThreadId();
        pApp->SetCurrentHandles();
    }
    return TRUE;
}

int AFXAPI AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp == NULL || !AfxWinInit(hInstance, hPrevInstance, lpCmdLine, nCmdShow))
        return -1;
    if (!pApp->InitApplication())
        return pApp->ExitInstance();
    if (!pApp->InitInstance())
        return pApp->ExitInstance();
    return pApp->Run();
}

int AFXAPI AfxMessageBox(LPCTSTR lpszText, UINT nType, UINT nIDHelp)
{
    CWinApp* pApp = AfxGetApp();
    if (pApp != NULL)
        return pApp->DoMessageBox(lpszText, nType, nIDHelp);
    return ::MessageBoxA(::GetActiveWindow(), lpszText, AfxGetAppName(), nType);
}

int AFXAPI AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp)
{
    CString text;
    text.LoadString(nIDPrompt);
    if (nIDHelp == (UINT)-1)
        nIDHelp = nIDPrompt;
    CWinApp* pApp = AfxGetApp();
    if (pApp != NULL)
        return pApp->DoMessageBox(text, nType, nIDHelp);
    return ::MessageBoxA(::GetActiveWindow(), text, AfxGetAppName(), nType);
}
