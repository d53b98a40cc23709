// The application's start-up and exit: the main-window class, the version
// check, the registry key, the command-line switches with their forwarding to
// a running instance, the single instance, the main window, the first-run
// copy of the default screen-notes libraries and the catalogue window.
#include "app/RecorderApp.h"
#include "controls/FontCache.h"
#include "framework/ui/MessageLoop.h"

#include "app/AppMessages.h"
#include "app/StartSwitches.h"
#include "app/CatalogueStart.h"
#include "catalogue/NoteStyle.h"
#include "framework/ui/FrameWnd.h"
#include "framework/ui/Wnd.h"
#include "resources/ids_app.h"
#include "resources/ids_settings.h"
#include "settings/FileUtil.h"
#include "settings/MonitorList.h"
#include "settings/RecorderPrefs.h"

#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>

namespace {

const char kHelpFile[] = "SkorvaleStudio.chm";
const UINT kHelpTopicIndex = 1025;

BOOL QuerySystemVersion(OSVERSIONINFOA* version)
{
    version->dwOSVersionInfoSize = sizeof(*version);
    return ::GetVersionExA(version);
}

CRecorderApp::VersionQuery g_versionQuery = QuerySystemVersion;

// Opens a topic of the program's help file through the HTML help viewer,
// which is loaded only when help is asked for.
void OpenHelpTopic(const CString& helpFile, UINT topic)
{
    typedef HWND(WINAPI * HtmlHelpFn)(HWND, LPCSTR, UINT, DWORD_PTR);
    HMODULE module = ::LoadLibraryA("hhctrl.ocx");
    if (!module)
        return;
    HtmlHelpFn htmlHelp = (HtmlHelpFn)(void*)::GetProcAddress(module, "HtmlHelpA");
    const UINT kHelpContext = 0x000F;   // HH_HELP_CONTEXT
    if (htmlHelp)
        htmlHelp(::GetDesktopWindow(), helpFile, kHelpContext, topic);
}

// Brings the running instance's window, and its open pop-up, to the front.
void ActivateRunningInstance(HWND running)
{
    ::BringWindowToTop(running);
    ::SetForegroundWindow(running);
    if (::IsIconic(running))
        ::ShowWindow(running, SW_RESTORE);
    HWND popup = ::GetLastActivePopup(running);
    if (popup && popup != running)
        ::BringWindowToTop(popup);
}

// Creates the folder and every missing parent, from the root down.
BOOL CreateFolderLevels(const CString& folder)
{
    BOOL createdLast = FALSE;
    for (int i = 0; i <= folder.GetLength(); ++i) {
        if (i < folder.GetLength() && folder[i] != '\\')
            continue;
        CString level = folder.Left(i);
        if (level.GetLength() < 3 || ::GetFileAttributesA(level) != INVALID_FILE_ATTRIBUTES)
            continue;
        createdLast = ::CreateDirectoryA(level, NULL);
    }
    return createdLast;
}

}  // namespace

void CRecorderApp::SetVersionQuery(VersionQuery query)
{
    g_versionQuery = query ? query : QuerySystemVersion;
}

void CRecorderApp::OpenHelpIndex()
{
    OpenHelpTopic(m_programFolder + kHelpFile, kHelpTopicIndex);
}

BOOL CRecorderApp::InitApplication()
{
    // GDI+ is up before any start-up step; the guard itself is made, not yet
    // started, with the other process-wide objects.
    if (s_gdiplus.GetUseCount() == 0)
        s_gdiplus.Start();
    if (!CWinApp::InitApplication())
        return FALSE;
    WNDCLASSA wc = {};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = AfxWndProc;
    wc.hInstance = m_hInstance ? m_hInstance : ::GetModuleHandleA(NULL);
    wc.hIcon = ::LoadIconA(wc.hInstance, MAKEINTRESOURCEA(2));
    wc.hCursor = ::LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(INT_PTR)(COLOR_WINDOW + 1);   // brush value 6
    wc.lpszClassName = RECORDER_CLASS_NAME;
    return AfxRegisterClass(&wc);
}

BOOL CRecorderApp::InitInstance()
{
    // 1. Windows 2000 or later.
    OSVERSIONINFOA version = {};
    if (!g_versionQuery(&version) || !IsSupportedSystem(version)) {
        AfxMessageBox(IDS_APP_NEEDS_WIN2000);
        return FALSE;
    }
    // 2. Locale and the layered-window function.
    InitLocale();
    HMODULE user32 = ::GetModuleHandleA("User32.dll");
    if (!user32) {
        ::OutputDebugStringA("不能定位 user32.dll");
        m_layeredSupported = FALSE;
    } else {
        m_setLayeredWindowAttributes = (SetLayeredFn)(void*)::GetProcAddress(user32, "SetLayeredWindowAttributes");
        m_layeredSupported = m_setLayeredWindowAttributes != NULL;
    }
    // 3, 4. Help file, application name and registry key.
    CString title;
    if (!title.LoadString(IDS_PROFILE_NAME))
        title = "Skorvale Recorder";
    free(const_cast<LPTSTR>(m_pszAppName));
    m_pszAppName = _strdup(title);
    SetProfileKey(kRegistryKey);
    // 5. The control library: one font cache for the program's life, whose
    // default font is 8.5 points of the system's face.
    if (!m_fontCache)
        m_fontCache = new CFontCache();
    LOGFONT defaultFont = {};
    defaultFont.lfHeight = 85;
    CFontCache::SetDefaultFont(&defaultFont);
    // 6. OLE.
    if (FAILED(::OleInitialize(NULL))) {
        AfxMessageBox(IDS_APP_OLE_INIT_FAILED);
        return FALSE;
    }
    // 7-9. Switches, forwarded to a running instance.
    const StartSwitches switches = ParseStartSwitches(m_lpCmdLine);
    if (switches.hidden)
        m_startHidden = TRUE;
    HWND running = ::FindWindowA(RECORDER_CLASS_NAME, NULL);
    if (ForwardToRunningInstance(switches, running, &m_exitCode))
        return FALSE;
    if (switches.wizard && running)
        m_exitCode = ::PostMessageA(running, WM_APP_WIZARD, 0, 0) ? 1 : 0;
    // 10. One instance.
    m_instanceMutex = ::CreateMutexA(NULL, FALSE, RECORDER_MUTEX_NAME);
    if (m_instanceMutex && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        running = ::FindWindowA(RECORDER_CLASS_NAME, NULL);
        if (running)
            ActivateRunningInstance(running);
        return FALSE;
    }
    // 11. The program folder.
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(NULL, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        path[0] = 0;
    m_programFolder = path;
    m_programFolder = m_programFolder.Left(m_programFolder.ReverseFind('\\') + 1);
    if (m_programFolder.IsEmpty()) {
        CString format, text;
        format.LoadString(IDS_APP_MODULE_PATH_FAILED);
        text.Format(format, (unsigned long)::GetLastError());
        AfxMessageBox(text);
        return FALSE;
    }
    // 12, 13. The main window.
    IMainWindowStart* main = m_makeMainWindow ? m_makeMainWindow(RECORDER_CLASS_NAME, title) : NULL;
    if (!main)
        return FALSE;
    m_mainStart = main;
    m_pMainWnd = main->GetFrame();
    if (m_startHidden)
        m_pMainWnd->ShowWindow(SW_HIDE);
    else
        main->RestorePlacement();
    // 14. Wizard, help, record.
    if (switches.wizard)
        main->RunRecordWizard();
    if (switches.help)
        OpenHelpIndex();
    if (switches.record)
        m_pMainWnd->PostMessage(WM_APP_RECORD, 0, 0);
    // 15. First run: the default screen-notes libraries. The answer is kept
    // for the catalogue, which opens them on this same run.
    m_firstRun = IsFirstRun();
    CopyDefaultLibrariesOnFirstRun();
    // 16. The catalogue window, placed from the preferences.
    if (m_makeCatalogue) {
        m_catalogue = m_makeCatalogue();
        if (!m_catalogue)
            AfxMessageBox(IDS_APP_CATALOGUE_FAILED);
        else
            PlaceCatalogueWindow(m_catalogue, main->GetPrefs(), m_pMainWnd);
    }
    return TRUE;
}

BOOL CRecorderApp::IsFirstRun()
{
    if (m_firstRun >= 0)
        return m_firstRun;
    if (!m_pszAppName || !*m_pszAppName)
        return FALSE;
    CString keyPath;
    keyPath.Format("Software\\%s\\%s\\%s", kRegistryKey, m_pszAppName, CRecorderPrefs::kSection);
    HKEY key = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return FALSE;
    const BOOL firstRun = ::RegQueryValueExA(key, "AutoPan", NULL, NULL, NULL, NULL) != ERROR_SUCCESS;
    ::RegCloseKey(key);
    return firstRun;
}

CString CRecorderApp::GetAppDataFolder() const
{
    char appData[MAX_PATH] = "";
    if (!m_pszAppName || !*m_pszAppName || !::SHGetSpecialFolderPathA(NULL, appData, CSIDL_LOCAL_APPDATA, TRUE))
        return CString();
    CString folder;
    folder.Format("%s\\%s\\%s", appData, kRegistryKey, m_pszAppName);
    return folder;
}

void CRecorderApp::CopyDefaultLibrariesOnFirstRun()
{
    if (!IsFirstRun())
        return;
    const CString appFolder = GetAppDataFolder();
    if (appFolder.IsEmpty())
        return;
    const CString destination = appFolder + "\\Libraries";
    const BOOL created = CreateFolderLevels(destination);
    if (!created && ::GetFileAttributesA(destination) == INVALID_FILE_ATTRIBUTES)
        return;
    static const char* const kLibraries[] = {"我的形状.skoo", "我的文字便条.skot", "编排.skol"};
    for (const char* name : kLibraries) {
        const CString from = m_programFolder + "Libraries\\" + name;
        const CString to = destination + "\\" + name;
        ::CopyFileA(from, to, TRUE);   // never over an existing file
    }
}

int CRecorderApp::ExitInstance()
{
    FreeMonitorApis();
    if (m_catalogue) {
        m_catalogue->DestroyWindow();
        delete m_catalogue;
        m_catalogue = NULL;
    }
    const int code = CWinApp::ExitInstance();
    if (m_instanceMutex) {
        ::CloseHandle(m_instanceMutex);
        m_instanceMutex = NULL;
    }
    return code != 0 ? code : (int)m_exitCode;
}

void CRecorderApp::SetWindowAlphaLevel(HWND window, int level)
{
    if (level <= 0 || !window)
        return;
    LONG style = ::GetWindowLongA(window, GWL_EXSTYLE);
    if (level >= 100) {
        ::SetWindowLongA(window, GWL_EXSTYLE, style & ~WS_EX_LAYERED);
        ::InvalidateRect(window, NULL, TRUE);
        return;
    }
    if (!m_setLayeredWindowAttributes)
        return;
    ::SetWindowLongA(window, GWL_EXSTYLE, style | WS_EX_LAYERED);
    m_setLayeredWindowAttributes(window, 0, (BYTE)(level * 255 / 100), LWA_ALPHA);
}

void CRecorderApp::RaiseWindowCount()
{
    ++m_openWindowCount;
}

void CRecorderApp::ReleaseWindowCount()
{
    if (m_openWindowCount > 0)
        --m_openWindowCount;
}

CWnd* CRecorderApp::GetNoteMainWindow()
{
    return m_pMainWnd;
}

BOOL CRecorderApp::GetDefaultNoteStyle(CNoteStyle* style)
{
    CRecorderPrefs* prefs = m_mainStart ? m_mainStart->GetPrefs() : NULL;
    if (!prefs || !style)
        return FALSE;
    style->AssignFrom(prefs->m_textNoteStyle);
    return TRUE;
}

CRecorderPrefs* CRecorderApp::GetNotePrefs()
{
    return m_mainStart ? m_mainStart->GetPrefs() : NULL;
}

BOOL CRecorderApp::PreTranslateMessage(MSG* pMsg)
{
    return AfxPreTranslateMessage(pMsg);
}

BOOL CRecorderApp::OnIdle(LONG lCount)
{
    const BOOL more = CWinApp::OnIdle(lCount);
    return AfxUiOnIdle(lCount) || more;
}
