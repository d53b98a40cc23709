#pragma once
#include "framework/AfxPlatform.h"
#include "framework/String.h"

// What the preferences record asks of the application object: its registry
// profile, the section key opened directly, the program folder and the
// open-window counter. The application object (CRecorderApp) implements it;
// tests wrap it to watch the profile writes.
class IPrefsHost {
public:
    virtual UINT GetProfileInt(LPCTSTR section, LPCTSTR entry, int defaultValue) = 0;
    virtual CString GetProfileString(LPCTSTR section, LPCTSTR entry, LPCTSTR defaultValue = NULL) = 0;
    virtual BOOL WriteProfileInt(LPCTSTR section, LPCTSTR entry, int value) = 0;
    virtual BOOL WriteProfileString(LPCTSTR section, LPCTSTR entry, LPCTSTR value) = 0;
    // HKCU\Software\<registry key>\<profile name>\<section>, created when
    // missing, opened with KEY_ALL_ACCESS; NULL on failure. The caller closes it.
    virtual HKEY CreateSectionKey(LPCTSTR section) = 0;
    // The program's folder, ending with a backslash.
    virtual CString GetProgramFolder() = 0;
    // The number of open windows that ask for layered-window capture.
    virtual LONG GetOpenWindowCount() = 0;

protected:
    ~IPrefsHost() {}
};
