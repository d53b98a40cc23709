// The progress dialog: its caption, the keys and buttons that must not end
// it, WM_CLOSE while its worker runs, and the two end messages.
#include "media/ProgressDlg.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct Script {
    CProgressDlg* dialog;
    UINT command;        // WM_COMMAND id sent first, or 0
    bool close;          // send WM_CLOSE while running
    UINT endMessage;     // posted last
    bool stillOpen;      // the dialog window existed after the sends
    CString caption;
};

UINT AFX_CDECL ScriptWorker(LPVOID param)
{
    Script* s = static_cast<Script*>(param);
    HWND wnd = s->dialog->m_hWnd;
    s->dialog->SetTitle("Title");
    s->dialog->SetProgress(0, 5);
    s->caption = s->dialog->GetCaption();
    if (s->command)
        ::SendMessageA(wnd, WM_COMMAND, MAKEWPARAM(s->command, BN_CLICKED), 0);
    if (s->close)
        ::SendMessageA(wnd, WM_CLOSE, 0, 0);
    // A message that goes through after the handlers ran: the window is still
    // there and its modal loop still runs.
    s->stillOpen = ::IsWindow(wnd) && ::SendMessageA(wnd, WM_NULL, 0, 0) == 0 && ::IsWindow(wnd);
    ::PostMessageA(wnd, s->endMessage, 0, 0);
    return 0;
}

}  // namespace

TEST(ProgressDlg, KeysButtonsAndCloseDoNotEndItWhileTheWorkerRuns)
{
    const struct {
        const char* what;
        UINT command;
        bool close;
        UINT endMessage;
        INT_PTR expected;
    } cases[] = {
        { "Enter", IDOK, false, WM_PROGRESS_END_CANCEL, IDCANCEL },
        { "Escape / button 2", IDCANCEL, false, WM_PROGRESS_END_OK, IDOK },
        { "WM_CLOSE while running", 0, true, WM_PROGRESS_END_CANCEL, IDCANCEL },
        { "end OK", 0, false, WM_PROGRESS_END_OK, IDOK },
        { "end Cancel", 0, false, WM_PROGRESS_END_CANCEL, IDCANCEL },
    };
    for (const auto& c : cases) {
        CProgressDlg dialog;
        Script s = { &dialog, c.command, c.close, c.endMessage, false, CString() };
        dialog.SetWorker(ScriptWorker, &s);
        EXPECT_EQ(c.expected, dialog.DoModal()) << c.what;
        EXPECT_TRUE(s.stillOpen) << c.what;
        EXPECT_EQ("0% - Title", std::string(s.caption)) << c.what;
        EXPECT_FALSE(dialog.IsWorkerRunning()) << c.what;
    }
}

namespace {

DWORD WINAPI CloseWhenShown(LPVOID param)
{
    CProgressDlg* dialog = static_cast<CProgressDlg*>(param);
    while (!dialog->m_hWnd || !::IsWindow(dialog->m_hWnd))
        ::Sleep(5);
    ::PostMessageA(dialog->m_hWnd, WM_CLOSE, 0, 0);
    return 0;
}

}  // namespace

TEST(ProgressDlg, WithoutWorkerWmCloseEndsItWithOk)
{
    CProgressDlg dialog;
    dialog.SetProgress(50, 25);
    HANDLE thread = ::CreateThread(NULL, 0, CloseWhenShown, &dialog, 0, NULL);
    EXPECT_EQ(IDOK, dialog.DoModal());
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
}
