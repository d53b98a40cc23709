#pragma once
#include "catalogue/NoteHost.h"
#include "framework/WinApp.h"
#include "settings/GdiplusInitGuard.h"
#include "settings/PrefsHost.h"
#include "app/MainWindowStart.h"

class CWnd;

// The recorder's application object. It keeps the registry profile under
// HKCU\Software\Kestravon\Skorvale Studio\3.0\Skorvale Recorder, the program
// folder and the open-window counter, and serves them to the preferences
// record. One per process; UI thread.
class CFontCache;

class CRecorderApp : public CWinApp, public IPrefsHost, public INoteHost {
    DECLARE_DYNAMIC(CRecorderApp)
public:
    // The product's registry key, below HKCU\Software.
    static const char kRegistryKey[];
    // GDI+ for the whole run: made with the program's process-wide objects
    // (Registrations.cpp) and started by InitApplication, before the rest of
    // the start-up. Programs without those objects (the test programs) get a
    // guard that starts as soon as it is made (RecorderAppGdiplus.cpp).
    static CGdiplusInitGuard s_gdiplus;

    CRecorderApp();
    ~CRecorderApp() override;

    // Points the profile at HKCU\Software\<registryKey>\<profile name>; the
    // profile name is string 61231. InitInstance uses the product key; tests
    // use a scratch key.
    void SetProfileKey(LPCTSTR registryKey);

    // IPrefsHost: the profile functions of CWinApp, and the application's data.
    UINT GetProfileInt(LPCTSTR section, LPCTSTR entry, int defaultValue) override;
    CString GetProfileString(LPCTSTR section, LPCTSTR entry, LPCTSTR defaultValue = NULL) override;
    BOOL WriteProfileInt(LPCTSTR section, LPCTSTR entry, int value) override;
    BOOL WriteProfileString(LPCTSTR section, LPCTSTR entry, LPCTSTR value) override;
    HKEY CreateSectionKey(LPCTSTR section) override;
    CString GetProgramFolder() override { return m_programFolder; }
    LONG GetOpenWindowCount() override { return m_openWindowCount; }

    // Start-up: the main-window class, the single instance, the command line
    // and its forwarding to a running instance, the main window.
    BOOL InitApplication() override;
    // Opens the help file's index topic (the /H switch and Help, Index).
    void OpenHelpIndex();
    BOOL InitInstance() override;
    int ExitInstance() override;
    // The window layer's part of the message loop (dialog keys, tool tips,
    // temporary wrappers).
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnIdle(LONG lCount) override;

    // Sets a window's opacity, level 1..99 (percent); 100 makes it opaque
    // again; 0 or below does nothing.
    void SetWindowAlphaLevel(HWND window, int level) override;
    // INoteHost: the count of translucent windows behind GetOpenWindowCount
    // (raised by each translucent screen note, lowered never below 0), the
    // layered-window support, the main window and its default text-note
    // style.
    void RaiseWindowCount() override;
    void ReleaseWindowCount() override;
    BOOL IsLayeredSupported() override { return m_layeredSupported; }
    CWnd* GetNoteMainWindow() override;
    BOOL GetDefaultNoteStyle(CNoteStyle* style) override;
    CRecorderPrefs* GetNotePrefs() override;
    // The version check of the start-up; tests replace it (NULL restores it).
    typedef BOOL (*VersionQuery)(OSVERSIONINFOA* version);
    static void SetVersionQuery(VersionQuery query);
    // On the first run, copies the default screen-notes libraries from the
    // program folder into the user's folder, never over an existing file.
    void CopyDefaultLibrariesOnFirstRun();
    // The first run: the recorder's preferences key opens and holds no
    // "AutoPan" value yet. Read once, before anything is stored.
    BOOL IsFirstRun();
    // The folder of the user's data: %LOCALAPPDATA%\<product key>\<app
    // name>. Its "Libraries" folder is the one library folder (the first
    // run copies the shipped libraries there; the catalogue opens them
    // there).
    CString GetAppDataFolder() const;

    // The start-up creates the main window through this (set by the program's
    // entry before the start-up runs).
    MainWindowMaker m_makeMainWindow;
    IMainWindowStart* m_mainStart;   // the main window made by it, or null
    // The catalogue window's maker (the program sets it); the start-up
    // makes the window with it and places it from the preferences.
    CWnd* (*m_makeCatalogue)();
    // The first-run answer of this start (-1 until asked).
    int m_firstRun;
    CWnd* m_catalogue;
    HANDLE m_instanceMutex;
    typedef BOOL(WINAPI* SetLayeredFn)(HWND, COLORREF, BYTE, DWORD);
    SetLayeredFn m_setLayeredWindowAttributes;
    BOOL m_layeredSupported;
    BOOL m_startHidden;          // /H
    DWORD m_exitCode;            // set by the forwarding steps

    CFontCache* m_fontCache;     // the controls' shared fonts; made at start-up, never deleted
    CString m_programFolder;     // ends with a backslash
    LONG m_openWindowCount;      // windows open that ask for layered-window capture
};
