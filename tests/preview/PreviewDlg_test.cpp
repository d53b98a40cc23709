// The post-recording preview dialog over a generated recording: it opens
// playing and at least 450 x 300, Save and closing keep, Delete asks and
// discards only on Yes, a slider seek to the end stops one frame before it,
// and the end of playback rewinds and shows Play. A script on a second
// thread drives the modal dialog as a user would.
#include "PreviewTestSupport.h"

#include "app/PreviewDlg.h"

#include <commctrl.h>
#include <functional>
#include <thread>

namespace {

using namespace previewtest;

bool WaitFor(const std::function<bool()>& done, DWORD ms)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms)
            return false;
        Sleep(20);
    }
    return true;
}

struct FindBox {
    HWND dialog;
    HWND found;
};

BOOL CALLBACK FindBoxProc(HWND h, LPARAM p)
{
    FindBox* f = (FindBox*)p;
    char cls[16] = "";
    GetClassNameA(h, cls, sizeof(cls));
    if (h != f->dialog && strcmp(cls, "#32770") == 0 && IsWindowVisible(h)) {
        f->found = h;
        return FALSE;
    }
    return TRUE;
}

// The visible message box of a thread, or null.
HWND FindMessageBox(DWORD thread, HWND dialog)
{
    FindBox f = {dialog, NULL};
    EnumThreadWindows(thread, FindBoxProc, (LPARAM)&f);
    return f.found;
}

std::string Text(HWND w)
{
    char text[128] = "";
    GetWindowTextA(w, text, sizeof(text));
    return text;
}

class PreviewDlgTest : public PreviewTest {
protected:
    // Runs the dialog over the recording with `script` on a second thread;
    // returns the keep flag.
    int Run(const std::function<void(HWND dialog, CPreviewDlg& dlg)>& script, int width = 160, int height = 120)
    {
        const std::string file = MakeRecording(width, height);
        auto player = MakePlayer(file);
        CPreviewDlg dialog;
        dialog.SetFacade(player.get());
        const DWORD ui = GetCurrentThreadId();
        std::thread driver([&] {
            HWND w = NULL;
            WaitFor([&] { return (w = dialog.GetSafeHwnd()) != NULL && IsWindowVisible(w); }, 10000);
            if (w)
                script(w, dialog);
            // Whatever the script left, the dialog goes (closing keeps).
            if (IsWindow(w) && !FindMessageBox(ui, w))
                PostMessageA(w, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        });
        EXPECT_EQ(1, dialog.DoModal());
        driver.join();
        const int keep = dialog.GetKeep();
        player->KillActionThread(TRUE);
        return keep;
    }
};

TEST_F(PreviewDlgTest, OpensPlayingAtLeast450By300WithItsTitle)
{
    std::string title;
    RECT window = {};
    bool playing = false, pauseShown = false, playHidden = false, advances = false;
    const int keep = Run([&](HWND w, CPreviewDlg& dlg) {
        title = Text(w);
        GetWindowRect(w, &window);
        playing = WaitFor([&] { return dlg.GetPreview().IsRunning() != FALSE; }, 5000);
        pauseShown = IsWindowVisible(GetDlgItem(w, IDC_PREVIEW_PAUSE)) != FALSE;
        playHidden = !IsWindowVisible(GetDlgItem(w, IDC_PREVIEW_PLAY));
        advances = WaitFor([&] { return dlg.GetPreview().GetPosition() > 5000000; }, 5000);
    });
    EXPECT_EQ(1, keep) << "closing keeps";
    EXPECT_EQ("Skorvale 录像器预览", title);
    EXPECT_GE(window.right - window.left, 450);
    EXPECT_GE(window.bottom - window.top, 300);
    EXPECT_TRUE(playing);
    EXPECT_TRUE(pauseShown);
    EXPECT_TRUE(playHidden);
    EXPECT_TRUE(advances);
}

TEST_F(PreviewDlgTest, SaveKeepsAndDeleteDiscardsOnlyOnYes)
{
    struct Case {
        const char* what;
        std::vector<int> answers;   // to successive delete questions
        bool saveAfter;
        int keep;
        bool stillOpenAfterNo;
    } cases[] = {
        {"Save", {}, true, 1, false},
        {"Delete + Yes", {IDYES}, false, 0, false},
        {"Delete + No, then Save", {IDNO}, true, 1, true},
        {"Delete + No, then close", {IDNO}, false, 1, true},
    };
    for (const Case& c : cases) {
        bool openAfterNo = false;
        int questions = 0;
        const DWORD ui = GetCurrentThreadId();
        const int keep = Run([&](HWND w, CPreviewDlg&) {
            for (int answer : c.answers) {
                PostMessageA(w, WM_COMMAND, MAKEWPARAM(IDC_PREVIEW_DELETE, BN_CLICKED), 0);
                HWND box = NULL;
                if (!WaitFor([&] { return (box = FindMessageBox(ui, w)) != NULL; }, 5000))
                    return;
                ++questions;
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
                WaitFor([&] { return !IsWindow(box); }, 5000);
                Sleep(200);
                openAfterNo = answer == IDNO && IsWindow(w) && IsWindowVisible(w);
            }
            if (c.saveAfter)
                PostMessageA(w, WM_COMMAND, MAKEWPARAM(IDC_PREVIEW_SAVE, BN_CLICKED), 0);
        });
        EXPECT_EQ(c.keep, keep) << c.what;
        EXPECT_EQ((int)c.answers.size(), questions) << c.what;
        EXPECT_EQ(c.stillOpenAfterNo, openAfterNo) << c.what;
    }
}

// A slider seek to the very end stops one frame (0.2 s) before it, paused;
// a seek into the second second shows its colour.
TEST_F(PreviewDlgTest, SliderSeeks)
{
    LONGLONG atEnd = -1;
    bool playShown = false, blue = false;
    Run([&](HWND w, CPreviewDlg& dlg) {
        HWND slider = GetDlgItem(w, IDC_PREVIEW_SLIDER);
        WaitFor([&] { return dlg.GetPreview().IsRunning() != FALSE; }, 5000);
        SendMessageA(slider, TBM_SETPOS, TRUE, 3000);
        SendMessageA(w, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 3000), (LPARAM)slider);
        atEnd = dlg.GetPreview().GetPosition();
        playShown = IsWindowVisible(GetDlgItem(w, IDC_PREVIEW_PLAY)) != FALSE;
        SendMessageA(slider, TBM_SETPOS, TRUE, 1500);
        SendMessageA(w, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 1500), (LPARAM)slider);
        blue = WaitFor(
            [&] {
                const RECT r = dlg.GetPreview().GetMovieRect();
                POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
                ClientToScreen(dlg.GetPreview().m_hWnd, &p);
                return Near(ScreenPixel(p.x, p.y), kSecondColours[1]);
            },
            5000);
    });
    EXPECT_EQ(30000000 - 2000000, atEnd);
    EXPECT_TRUE(playShown);
    EXPECT_TRUE(blue);
}

// Played to the end, the player rewinds to 0 and Play comes back.
TEST_F(PreviewDlgTest, EndOfPlaybackRewindsAndShowsPlay)
{
    bool ended = false;
    std::string label;
    Run([&](HWND w, CPreviewDlg& dlg) {
        ended = WaitFor(
            [&] {
                return IsWindowVisible(GetDlgItem(w, IDC_PREVIEW_PLAY)) && !dlg.GetPreview().IsRunning() &&
                       dlg.GetPreview().GetPosition() == 0;
            },
            8000);
        Sleep(300);
        label = Text(GetDlgItem(w, IDC_PREVIEW_POSITION));
    });
    EXPECT_TRUE(ended);
    EXPECT_EQ("0:00:00.00 / 0:00:03.00", label);
}

TEST(PreviewDlgLabel, FormatsHoursMinutesAndHundredths)
{
    struct Case {
        DWORD position, duration;
        const char* text;
    } cases[] = {
        {0, 3000, "0:00:00.00 / 0:00:03.00"},
        {1234, 61005, "0:00:01.23 / 0:01:01.01"},
        {3723456, 3723456, "1:02:03.46 / 1:02:03.46"},
        {59995, 60000, "0:01:00.00 / 0:01:00.00"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.text, std::string(CPreviewDlg::FormatLabel(c.position, c.duration).GetString())) << c.position;
}

}  // namespace
