#pragma once
// What the application's start-up asks of the main window. The program's
// entry unit gives the application a maker that creates the main window (a
// CMainFrame); the application library itself does not depend on the
// recorder engine.
#include "framework/AfxPlatform.h"

class CFrameWnd;
class CRecorderPrefs;

class IMainWindowStart {
public:
    virtual CFrameWnd* GetFrame() = 0;
    // The preferences record the main window owns.
    virtual CRecorderPrefs* GetPrefs() = 0;
    // Shows the window at its saved normal rectangle and updates it.
    virtual void RestorePlacement() = 0;
    // Runs the record wizard.
    virtual void RunRecordWizard() = 0;

protected:
    ~IMainWindowStart() {}
};

// Creates the main window in the registered class with the title; NULL when
// it cannot be created.
typedef IMainWindowStart* (*MainWindowMaker)(LPCSTR className, LPCSTR title);
