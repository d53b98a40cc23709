// CWinApp, the application object (non-window part): names, handles, command
// line, and the registry profile. The program has one instance, normally a
// static object; its constructor makes it AfxGetApp().
//
// Profile: after SetRegistryKey("Maker"), values live under
// HKCU\Software\Maker\<m_pszProfileName>\<section>; m_pszProfileName defaults
// to the application name and may be replaced (free() the old one and assign
// an _tcsdup'd string, as with MFC). Without a registry key, the profile is the
// INI file m_pszProfileName.
//
// The window layer adds the main window (m_pMainWnd, from CWinThread), the
// message loop and message boxes through the virtual functions below.
#pragma once
#include "framework/AfxPlatform.h"
#include "framework/String.h"
#include "framework/WinThread.h"

class CWinApp : public CWinThread {
    DECLARE_DYNAMIC(CWinApp)
public:
    explicit CWinApp(LPCTSTR lpszAppName = NULL);
    ~CWinApp() override;

    // Start-up, called by AfxWinMain: InitApplication, then InitInstance, then Run.
    virtual BOOL InitApplication();
    BOOL InitInstance() override;
    int ExitInstance() override;
    int Run() override;
    // Shows a message box for AfxMessageBox; owner is the active window.
    virtual int DoMessageBox(LPCTSTR lpszPrompt, UINT nType, UINT nIDPrompt);
    // Sets the names from the module and the string table (AfxWinInit calls it).
    void SetCurrentHandles();

    // --- Profile
    void SetRegistryKey(LPCTSTR lpszRegistryKey);
    void SetRegistryKey(UINT nIDRegistryKey);
    // HKCU\Software\<key>\<profile>, created when missing; the caller closes it.
    HKEY GetAppRegistryKey();
    // The section's key under the application key, created when missing.
    HKEY GetSectionKey(LPCTSTR lpszSection);

    UINT GetProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nDefault);
    CString GetProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszDefault = NULL);
    // *ppData is new[]'d; the caller delete[]s it. FALSE (and NULL, 0) when missing.
    BOOL GetProfileBinary(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPBYTE* ppData, UINT* pBytes);
    BOOL WriteProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nValue);
    // A NULL value deletes the entry; a NULL entry deletes the whole section.
    BOOL WriteProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszValue);
    BOOL WriteProfileBinary(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPBYTE pData, UINT nBytes);

    // Names are malloc'd (_tcsdup) strings owned by the object.
    LPCTSTR m_pszAppName;
    LPCTSTR m_pszRegistryKey;
    LPCTSTR m_pszProfileName;
    LPCTSTR m_pszExeName;
    LPCTSTR m_pszHelpFilePath;

    HINSTANCE m_hInstance;
    LPTSTR m_lpCmdLine;
    int m_nCmdShow;
};

CWinApp* AFXAPI AfxGetApp();
LPCTSTR AFXAPI AfxGetAppName();

// Records the handles and command line of the program (called first by AfxWinMain).
BOOL AFXAPI AfxWinInit(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow);
// The program's WinMain body: AfxWinInit, InitApplication, InitInstance, Run.
int AFXAPI AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow);

// Shows a message box titled with the application name (through
// CWinApp::DoMessageBox when there is an application object).
int AFXAPI AfxMessageBox(LPCTSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
// Loads the text from the string table.
int AFXAPI AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = (UINT)-1);
