// The post-save options dialog: the stored choice checks its button, OK
// writes the checked choice back (or keeps it when none is checked), Cancel
// changes nothing, and the modal run answers IDOK or IDCANCEL.
#include "UiTestUtil.h"

#include "app/PostSaveOptionsDlg.h"
#include "settings/RecorderPrefs.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

const UINT kRadios[3] = {IDC_POST_SAVE_EDIT, IDC_POST_SAVE_PRODUCE, IDC_POST_SAVE_RECORD};

TEST(PostSaveOptionsDlg, ChecksTheStoredChoiceAndWritesTheNewOneOnOk)
{
    struct Case {
        int stored;
        int click;     // radio index clicked, -1 none
        UINT button;   // IDOK or IDCANCEL
        int expect;    // the owner's word afterwards
    } cases[] = {
        {0, -1, IDOK, 0}, {1, -1, IDOK, 1},     {2, 0, IDOK, 0},     {0, 2, IDOK, 2},
        {1, 2, IDCANCEL, 1}, {5, -1, IDOK, 5},  {-1, 1, IDOK, 1},
    };
    for (const Case& c : cases) {
        CRecorderPrefs prefs(NULL);
        prefs.m_lastSaveChoice = c.stored;
        CPostSaveOptionsDlg dialog(&prefs, NULL);
        ASSERT_TRUE(dialog.Create(IDD_POST_SAVE_OPTIONS, NULL));
        HWND w = dialog.m_hWnd;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(c.stored == i ? BST_CHECKED : BST_UNCHECKED, IsDlgButtonChecked(w, kRadios[i]))
                << "stored " << c.stored << " radio " << i;
        if (c.click >= 0)
            SendDlgItemMessageA(w, kRadios[c.click], BM_CLICK, 0, 0);
        SendMessageA(w, WM_COMMAND, MAKEWPARAM(c.button, BN_CLICKED), 0);
        EXPECT_EQ(c.expect, prefs.m_lastSaveChoice) << "stored " << c.stored << " click " << c.click;
        dialog.DestroyWindow();
    }
}

BOOL CALLBACK FindDialog(HWND h, LPARAM out)
{
    char cls[16] = "";
    GetClassNameA(h, cls, sizeof(cls));
    if (strcmp(cls, "#32770") == 0 && IsWindowVisible(h)) {
        *(HWND*)out = h;
        return FALSE;
    }
    return TRUE;
}

// Presses a button of the first dialog the thread shows.
void PressWhenShown(DWORD uiThread, UINT button)
{
    for (int i = 0; i < 500; ++i) {
        HWND found = NULL;
        EnumThreadWindows(uiThread, FindDialog, (LPARAM)&found);
        if (found) {
            PostMessageA(found, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
            return;
        }
        Sleep(20);
    }
}

TEST(PostSaveOptionsDlg, ModalRunAnswersTheButton)
{
    for (UINT button : {IDOK, IDCANCEL}) {
        CRecorderPrefs prefs(NULL);
        prefs.m_lastSaveChoice = 1;
        CPostSaveOptionsDlg dialog(&prefs, NULL);
        std::thread presser(PressWhenShown, GetCurrentThreadId(), button);
        EXPECT_EQ((INT_PTR)button, dialog.DoModal());
        presser.join();
        EXPECT_EQ(1, dialog.GetChoice());
    }
}

}  // namespace
