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
#include <vector>

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


// A window's area of the screen, as 0xRRGGBB pixels.
struct Grab {
    int width = 0, height = 0;
    std::vector<DWORD> pixels;
    explicit Grab(HWND w)
    {
        RECT r;
        GetWindowRect(w, &r);
        width = r.right - r.left;
        height = r.bottom - r.top;
        if (width <= 0 || height <= 0)
            return;
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = -height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits = NULL;
        HDC screen = GetDC(NULL);
        HDC mem = CreateCompatibleDC(screen);
        HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
        HGDIOBJ old = SelectObject(mem, dib);
        BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
        pixels.assign((DWORD*)bits, (DWORD*)bits + width * height);
        for (DWORD& p : pixels)
            p &= 0xFFFFFF;
        SelectObject(mem, old);
        DeleteObject(dib);
        DeleteDC(mem);
        ReleaseDC(NULL, screen);
    }
    // Pixels near a colour (each channel within 2).
    int Count(DWORD colour) const
    {
        int n = 0;
        for (DWORD p : pixels)
            n += Near(p, colour) ? 1 : 0;
        return n;
    }
    // The leftmost column holding the colour, -1 when none.
    int FirstColumn(DWORD colour) const
    {
        for (int x = 0; x < width; ++x)
            for (int y = 0; y < height; ++y)
                if (Near(pixels[y * width + x], colour))
                    return x;
        return -1;
    }
};

// The buttons draw their pictures (Save its caption over its face; magenta,
// the slider thumb's key, never shows), the slider is the bitmap slider answering the trackbar's
// range and position messages with its thumb where the position says, and
// both survive a system colour change.
TEST_F(PreviewDlgTest, ButtonsAndSliderDrawTheirBitmaps)
{
    const DWORD icon = 0x282828, magenta = 0xFF00FF, thumb = 0x5A78C8;
    int stopIcon = -1, saveIcon = -1, shownMagenta = -1, thumbPixels = -1, thumbAfter = -1, iconAfter = -1;
    LRESULT pos = -1, rangeMax = -1;
    std::string sliderClass;
    int thumbX = -1, sliderWidth = 0;
    Run([&](HWND w, CPreviewDlg& dlg) {
        WaitFor([&] { return dlg.GetPreview().IsRunning() != FALSE; }, 5000);
        SendMessageA(w, WM_COMMAND, MAKEWPARAM(IDC_PREVIEW_PAUSE, BN_CLICKED), 0);
        WaitFor([&] { return !dlg.GetPreview().IsRunning(); }, 5000);
        Sleep(300);   // the last refresh of the playing dialog is past
        HWND slider = GetDlgItem(w, IDC_PREVIEW_SLIDER);
        char cls[64] = "";
        GetClassNameA(slider, cls, sizeof(cls));
        sliderClass = cls;
        SendMessageA(slider, TBM_SETRANGEMAX, TRUE, 4000);
        SendMessageA(slider, TBM_SETPOS, TRUE, 1000);
        RedrawWindow(w, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Sleep(300);
        pos = SendMessageA(slider, TBM_GETPOS, 0, 0);
        rangeMax = SendMessageA(slider, TBM_GETRANGEMAX, 0, 0);
        const Grab stop(GetDlgItem(w, IDC_PREVIEW_STOP)), save(GetDlgItem(w, IDC_PREVIEW_SAVE)),
            pause(GetDlgItem(w, IDC_PREVIEW_PAUSE)), bar(slider);
        stopIcon = stop.Count(icon);
        saveIcon = save.Count(0x000000);
        shownMagenta = stop.Count(magenta) + pause.Count(magenta) + bar.Count(magenta);
        thumbPixels = bar.Count(thumb);
        thumbX = bar.FirstColumn(thumb);
        sliderWidth = bar.width;
        SendMessageA(w, WM_SYSCOLORCHANGE, 0, 0);
        RedrawWindow(w, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Sleep(300);
        thumbAfter = Grab(slider).Count(thumb);
        iconAfter = Grab(GetDlgItem(w, IDC_PREVIEW_STOP)).Count(icon);
    });
    EXPECT_NE("msctls_trackbar32", sliderClass);
    EXPECT_EQ(1000, pos);
    EXPECT_EQ(4000, rangeMax);
    EXPECT_GT(stopIcon, 40) << "the stop square";
    EXPECT_GT(saveIcon, 10) << "the caption over the face";
    EXPECT_EQ(0, shownMagenta);
    EXPECT_GT(thumbPixels, 40);
    // A quarter of the way: the thumb's left edge a quarter along its travel
    // (the slider's width less the 10-pixel thumb), within two pixels.
    EXPECT_NEAR((sliderWidth - 10) / 4, thumbX, 2);
    EXPECT_GT(thumbAfter, 40);
    EXPECT_GT(iconAfter, 40);
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
