#include "capture/WaveScriptEndDlg.h"

#include "resources/ids_capture.h"

#include <gtest/gtest.h>

namespace {

struct Clicker {
    DWORD uiThread;
    UINT command;
};

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM param)
{
    char cls[16] = {};
    ::GetClassNameA(hwnd, cls, sizeof(cls));
    if (strcmp(cls, "#32770") == 0 && ::IsWindowVisible(hwnd)) {
        *(HWND*)param = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Waits for the dialog of the UI thread to show, then clicks a button the
// way the user does: a posted WM_COMMAND from the button.
DWORD WINAPI ClickWhenShown(LPVOID param)
{
    const Clicker* c = (const Clicker*)param;
    HWND dialog = NULL;
    for (int i = 0; i < 500 && !dialog; ++i) {
        ::EnumThreadWindows(c->uiThread, FindDialog, (LPARAM)&dialog);
        if (!dialog)
            ::Sleep(10);
    }
    if (!dialog)
        return 1;
    HWND button = ::GetDlgItem(dialog, c->command);
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(c->command, BN_CLICKED), (LPARAM)button);
    return 0;
}

}  // namespace

TEST(WaveScriptEndDlg, EachButtonGivesItsAnswer)
{
    const struct {
        UINT command;
        INT_PTR result;
    } cases[] = {
        {IDC_WAVE_SCRIPT_CONTINUE, 1},
        {IDC_WAVE_SCRIPT_REPLAY, 2},
        {IDC_WAVE_SCRIPT_STOP, 0},
        {IDCANCEL, 1},   // Esc goes on without the script
    };
    for (const auto& c : cases) {
        Clicker clicker = {::GetCurrentThreadId(), c.command};
        HANDLE thread = ::CreateThread(NULL, 0, ClickWhenShown, &clicker, 0, NULL);
        CWaveScriptEndDlg dialog;
        EXPECT_EQ(c.result, dialog.DoModal()) << c.command;
        ::WaitForSingleObject(thread, 5000);
        DWORD code = 99;
        ::GetExitCodeThread(thread, &code);
        EXPECT_EQ(0u, code) << "the dialog was shown for " << c.command;
        ::CloseHandle(thread);
    }
}
