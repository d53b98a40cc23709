// Vexcap.exe under Xvfb with the preview and the post-save options on: a
// 320 x 240 fixed region over a window that shows red for two seconds,
// then blue, is recorded from /R to /S; the preview dialog opens playing, its
// label follows the clock, playback ends rewound, slider seeks show each
// colour (PNG screenshots kept in the build folder), Save writes the package
// and the post-save choice is kept in the preferences. Delete asks: Yes
// leaves nothing behind, No keeps the dialog, closing it keeps and saves.
#include "app/AppMessages.h"
#include "resources/ids_app.h"
#include "resources/ids_playback.h"
#include "tests/support/TestSupport.h"
#include "AppTestSupport.h"

#include <commctrl.h>
#include <gdiplus.h>
#include <gtest/gtest.h>

using namespace apptest;
using testsupport::RunHost;
using testsupport::ScratchDir;
using testsupport::ScratchRegKey;
using testsupport::UnixPath;

namespace {

const char kPrefsKey[] = "Software\\Kestravon\\Skorvale Studio\\3.0\\Skorvale Recorder\\3.0";
const char kPreviewTitle[] = "Skorvale 录像器预览";
const DWORD kFirst = 0xE01010, kSecond = 0x1040D0;
const int kAreaX = 1200, kAreaY = 600;

// A topmost window of one colour (0xRRGGBB) that can change it.
class ColourWindow {
public:
    explicit ColourWindow(DWORD colour) : m_colour(colour)
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = ::GetModuleHandleA(NULL);
        wc.lpszClassName = "VexcapColourWindow";
        ::RegisterClassA(&wc);
        m_hwnd = ::CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, kAreaX, kAreaY, 320,
                                   240, NULL, NULL, wc.hInstance, NULL);
        ::SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, (LONG_PTR)this);
        Show(colour);
    }
    ~ColourWindow() { Close(); }
    void Show(DWORD colour)
    {
        m_colour = colour;
        ::InvalidateRect(m_hwnd, NULL, TRUE);
        ::UpdateWindow(m_hwnd);
    }
    void Close()
    {
        if (m_hwnd)
            ::DestroyWindow(m_hwnd);
        m_hwnd = NULL;
    }

private:
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l)
    {
        ColourWindow* self = (ColourWindow*)::GetWindowLongPtrA(h, GWLP_USERDATA);
        if (m == WM_ERASEBKGND && self) {
            RECT r;
            ::GetClientRect(h, &r);
            const DWORD c = self->m_colour;
            HBRUSH brush = ::CreateSolidBrush(RGB(c >> 16, (c >> 8) & 0xFF, c & 0xFF));
            ::FillRect((HDC)w, &r, brush);
            ::DeleteObject(brush);
            return 1;
        }
        return ::DefWindowProcA(h, m, w, l);
    }
    DWORD m_colour;
    HWND m_hwnd;
};

// The preferences of these runs: the preview and the post-save options on, a
// package under an automatic name in `out`, recordings in `temp`, and a
// 320 x 240 fixed region at its start point.
class PreviewPrefs {
public:
    PreviewPrefs(const std::string& out, const std::string& temp)
    {
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, kPrefsKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &m_key, NULL) !=
            ERROR_SUCCESS) {
            m_key = NULL;
            return;
        }
        const struct {
            const char* name;
            DWORD value;
        } numbers[] = {{"VideoInput", 3},     {"VideoUseStartPt", 1}, {"PrevAfterRec", 1},  {"OptionsAfterRec", 1},
                       {"CreateSkoRecFile", 1}, {"VideoFileNaming", 2}, {"VideoMinimize", 0}, {"LastRecSaveChoice", 0}};
        for (const auto& n : numbers)
            ::RegSetValueExA(m_key, n.name, 0, REG_DWORD, (const BYTE*)&n.value, sizeof(DWORD));
        const std::string rect = std::to_string(kAreaY) + "," + std::to_string(kAreaX) + ",320,240";
        SetText("VideoRectFixed", rect);
        SetText("VideoFileOutputDir", out + "\\");
        SetText("VideoTempDir", temp + "\\");
        SetText("VideoAutoFilePrefix", "Capture-");
    }
    ~PreviewPrefs()
    {
        if (m_key)
            ::RegCloseKey(m_key);
    }
    HKEY Key() const { return m_key; }
    DWORD Number(const char* name)
    {
        DWORD value = 0xFFFFFFFF, size = sizeof(value);
        ::RegQueryValueExA(m_key, name, NULL, NULL, (BYTE*)&value, &size);
        return value;
    }

private:
    void SetText(const char* name, const std::string& text)
    {
        ::RegSetValueExA(m_key, name, 0, REG_SZ, (const BYTE*)text.c_str(), (DWORD)text.size() + 1);
    }
    ScratchRegKey m_scratch{kPrefsKey};
    HKEY m_key = NULL;
};

std::string Text(HWND w)
{
    char text[256] = "";
    ::GetWindowTextA(w, text, sizeof(text));
    return text;
}

// "h:mm:ss.cc / h:mm:ss.cc" as two millisecond counts; false when unreadable.
bool ReadLabel(HWND dialog, long* position, long* duration)
{
    unsigned h1, m1, s1, c1, h2, m2, s2, c2;
    const std::string t = Text(::GetDlgItem(dialog, IDC_PREVIEW_POSITION));
    if (sscanf(t.c_str(), "%u:%u:%u.%u / %u:%u:%u.%u", &h1, &m1, &s1, &c1, &h2, &m2, &s2, &c2) != 8)
        return false;
    *position = (long)(((h1 * 60 + m1) * 60 + s1) * 1000 + c1 * 10);
    *duration = (long)(((h2 * 60 + m2) * 60 + s2) * 1000 + c2 * 10);
    return true;
}

bool Visible(HWND dialog, int id)
{
    return ::IsWindowVisible(::GetDlgItem(dialog, id)) != FALSE;
}

// The screen pixel (0xRRGGBB).
DWORD ScreenPixel(int x, int y)
{
    HDC screen = ::GetDC(NULL);
    const COLORREF c = ::GetPixel(screen, x, y);
    ::ReleaseDC(NULL, screen);
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

bool Near(DWORD a, DWORD b)
{
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = (int)((a >> shift) & 0xFF) - (int)((b >> shift) & 0xFF);
        if (d > 2 || d < -2)
            return false;
    }
    return true;
}

// Saves a window's screen area as a PNG; the path, or empty on failure.
std::string ScreenshotPng(HWND window, const std::string& name)
{
    RECT r;
    ::GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = ::GetDC(NULL);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = ::SelectObject(mem, bitmap);
    ::BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::ReleaseDC(NULL, screen);
    const std::string folder = testsupport::BuildDir() + "\\preview-shots";
    ::CreateDirectoryA(folder.c_str(), NULL);
    const std::string path = folder + "\\" + name;
    using namespace Gdiplus;
    using namespace Gdiplus::DllExports;
    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    bool ok = false;
    if (GdiplusStartup(&token, &input, NULL) == Ok) {
        GpBitmap* image = NULL;
        if (GdipCreateBitmapFromHBITMAP(bitmap, NULL, &image) == Ok) {
            const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
            std::wstring wide(path.begin(), path.end());
            ok = GdipSaveImageToFile(image, wide.c_str(), &png, NULL) == Ok;
            GdipDisposeImage(image);
        }
        GdiplusShutdown(token);
    }
    ::DeleteObject(bitmap);
    return ok ? path : "";
}

// Seeks with the slider as a drag would and waits for the still frame.
void SliderSeek(HWND dialog, long ms)
{
    HWND slider = ::GetDlgItem(dialog, IDC_PREVIEW_SLIDER);
    ::SendMessageA(slider, TBM_SETPOS, TRUE, ms);
    ::SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, ms), (LPARAM)slider);
}

// The centre of the video area on the screen.
POINT VideoCentre(HWND dialog)
{
    RECT r;
    ::GetWindowRect(::GetDlgItem(dialog, IDC_PREVIEW_VIDEO_AREA), &r);
    POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    return p;
}

// A visible dialog of another process with this title.
HWND WaitForWindow(const char* title, DWORD ms)
{
    HWND w = NULL;
    PumpUntil([&] { return (w = ::FindWindowA(NULL, title)) != NULL && ::IsWindowVisible(w); }, ms);
    return w;
}

struct FindBox {
    HWND over;
    HWND found;
};

BOOL CALLBACK FindBoxProc(HWND h, LPARAM p)
{
    FindBox* f = (FindBox*)p;
    char cls[16] = "";
    ::GetClassNameA(h, cls, sizeof(cls));
    if (h != f->over && strcmp(cls, "#32770") == 0 && ::IsWindowVisible(h) && ::GetDlgItem(h, IDYES)) {
        f->found = h;
        return FALSE;
    }
    return TRUE;
}

// The message box the program shows over a window (another visible dialog of
// the same thread, with a Yes button).
HWND WaitForMessageBox(HWND over, DWORD ms)
{
    const DWORD thread = ::GetWindowThreadProcessId(over, NULL);
    FindBox f = {over, NULL};
    PumpUntil(
        [&] {
            f.found = NULL;
            ::EnumThreadWindows(thread, FindBoxProc, (LPARAM)&f);
            return f.found != NULL;
        },
        ms);
    return f.found;
}

std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (strcmp(fd.cFileName, ".") && strcmp(fd.cFileName, ".."))
            names.push_back(fd.cFileName);
    } while (::FindNextFileA(find, &fd));
    ::FindClose(find);
    return names;
}

class PreviewAfterRecording : public ::testing::Test {
protected:
    // Starts the program, records red for a second and blue for two, stops
    // with /S, closes the colour window and returns the preview dialog.
    HWND RecordAndOpenPreview()
    {
        ColourWindow colours(kFirst);
        program.reset(new Program("/R"));
        HWND main = NULL;
        if (!PumpUntil([&] { return (main = ::FindWindowA(RECORDER_CLASS_NAME, NULL)) != NULL; }, 20000))
            return NULL;
        const std::string recording = Text(main);
        if (!PumpUntil([&] { return Text(main) != recording; }, 20000))   // the title shows the recording state
            return NULL;
        // The first colour a little longer than the second's seek point
        // needs: the capture may begin a moment after the title changes.
        Pump(2000);
        colours.Show(kSecond);
        Pump(2500);
        EXPECT_EQ(1, RunProgram("/S"));
        colours.Close();
        return WaitForWindow(kPreviewTitle, 60000);
    }
    void EndProgram()
    {
        EXPECT_EQ(0, RunProgram("/X"));
        EXPECT_EQ(0, program->Wait(30000));
    }
    ScratchDir out{"vxprev"};
    ScratchDir temp{"vxprevtmp"};
    PreviewPrefs prefs{out.Path(), temp.Path()};
    std::unique_ptr<Program> program;
};

TEST_F(PreviewAfterRecording, PlaysSeeksSavesAndKeepsThePostSaveChoice)
{
    ASSERT_TRUE(prefs.Key() != NULL);
    HWND dialog = RecordAndOpenPreview();
    ASSERT_TRUE(dialog != NULL) << "the preview dialog opened";
    RECT r;
    ::GetWindowRect(dialog, &r);
    EXPECT_GE(r.right - r.left, 450);
    EXPECT_GE(r.bottom - r.top, 300);

    // Playing: the label follows the wall clock.
    long p0 = 0, duration = 0;
    ASSERT_TRUE(PumpUntil([&] { return ReadLabel(dialog, &p0, &duration) && p0 > 0; }, 10000))
        << Text(::GetDlgItem(dialog, IDC_PREVIEW_POSITION));
    const DWORD t0 = ::GetTickCount();
    EXPECT_TRUE(Visible(dialog, IDC_PREVIEW_PAUSE));
    EXPECT_FALSE(Visible(dialog, IDC_PREVIEW_PLAY));
    EXPECT_GT(duration, 2000) << "the recording's length";
    Pump(2000);
    long p1 = 0;
    ASSERT_TRUE(ReadLabel(dialog, &p1, &duration));
    const long wall = (long)(::GetTickCount() - t0);
    if (p1 < duration)
        EXPECT_NEAR(wall, p1 - p0, 200) << "label " << p0 << " -> " << p1 << " over " << wall << " ms";

    // Playback ends rewound, with Play shown, after the recording's length.
    long pe = -1;
    ASSERT_TRUE(PumpUntil([&] { return Visible(dialog, IDC_PREVIEW_PLAY) && ReadLabel(dialog, &pe, &duration) && pe == 0; },
                          10000));
    const long played = (long)(::GetTickCount() - t0) + p0;
    EXPECT_NEAR(duration, played, duration / 10) << "played " << played << " ms";
    EXPECT_FALSE(Visible(dialog, IDC_PREVIEW_PAUSE));
    ScreenshotPng(dialog, "preview-ended.png");

    // Slider seeks: the first and the second colour at the video's centre.
    struct Seek {
        long ms;
        DWORD colour;
        const char* shot;
    } seeks[] = {{500, kFirst, "preview-0.5s.png"}, {duration - 500, kSecond, "preview-end-0.5s.png"}};
    for (const Seek& s : seeks) {
        SliderSeek(dialog, s.ms);
        const POINT c = VideoCentre(dialog);
        EXPECT_TRUE(PumpUntil([&] { return Near(ScreenPixel(c.x, c.y), s.colour); }, 5000))
            << s.ms << " ms: " << std::hex << ScreenPixel(c.x, c.y);
        EXPECT_NE("", ScreenshotPng(dialog, s.shot)) << s.shot;
    }

    // Save writes the package, then the post-save dialog asks.
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_PREVIEW_SAVE, BN_CLICKED), 0);
    HWND options = WaitForWindow("保存后选项", 60000);
    ASSERT_TRUE(options != NULL) << "the post-save options opened";
    EXPECT_FALSE(::IsWindow(dialog));
    const std::string saved = out.File("Capture-1.skorec");
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(saved.c_str()));
    std::string listing;
    RunHost("gsf list '" + UnixPath(saved) + "'", &listing);
    EXPECT_NE(std::string::npos, listing.find("Screen_Stream.avi")) << listing;
    EXPECT_NE(std::string::npos, listing.find("manifest.skoxml")) << listing;
    ::SendMessageA(::GetDlgItem(options, IDC_POST_SAVE_PRODUCE), BM_CLICK, 0, 0);
    ::PostMessageA(options, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(options); }, 10000));
    EndProgram();
    EXPECT_EQ(1u, prefs.Number("LastRecSaveChoice")) << "the choice is kept after exit";
}

TEST_F(PreviewAfterRecording, DeleteAsksAndDiscardsOnlyOnYes)
{
    ASSERT_TRUE(prefs.Key() != NULL);
    const DWORD off = 0;
    ::RegSetValueExA(prefs.Key(), "OptionsAfterRec", 0, REG_DWORD, (const BYTE*)&off, sizeof(off));
    struct Case {
        const char* what;
        int answer;            // to the delete question, 0 for none
        bool closeAfter;       // close the dialog after the answer
        bool saved;
    } cases[] = {
        {"Delete + No, then close", IDNO, true, true},
        {"Delete + Yes", IDYES, false, false},
    };
    for (const Case& c : cases) {
        for (const std::string& folder : {out.Path(), temp.Path()}) {
            testsupport::RemoveTree(folder);
            ::CreateDirectoryA(folder.c_str(), NULL);
        }
        HWND dialog = RecordAndOpenPreview();
        ASSERT_TRUE(dialog != NULL) << c.what;
        ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_PREVIEW_DELETE, BN_CLICKED), 0);
        HWND box = WaitForMessageBox(dialog, 10000);
        ASSERT_TRUE(box != NULL) << c.what;
        EXPECT_EQ("你确实想放弃当前的视频捕获吗？", Text(::GetDlgItem(box, 0xFFFF))) << c.what;
        ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(c.answer, BN_CLICKED), 0);
        PumpUntil([&] { return !::IsWindow(box); }, 10000);
        Pump(500);
        if (c.answer == IDNO) {
            EXPECT_TRUE(::IsWindow(dialog) && ::IsWindowVisible(dialog)) << c.what << ": the dialog stays";
            ::PostMessageA(dialog, WM_CLOSE, 0, 0);
        }
        HWND main = ::FindWindowA(RECORDER_CLASS_NAME, NULL);
        const std::string idle = [] {
            CString t;
            t.LoadString(IDS_RECORD_STATE_IDLE);
            return std::string(t);
        }();
        EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(dialog) && Text(main).find(idle) != std::string::npos; },
                              60000))
            << c.what;
        // The title shows idle from the preview on: the save or the
        // deletion is over when the file is there, or the folders are empty.
        const std::string saved = out.File("Capture-1.skorec");
        PumpUntil([&] { return c.saved ? ::GetFileAttributesA(saved.c_str()) != INVALID_FILE_ATTRIBUTES
                                       : Entries(temp.Path()).empty(); },
                  30000);
        Pump(500);
        EXPECT_EQ(c.saved, ::GetFileAttributesA(saved.c_str()) != INVALID_FILE_ATTRIBUTES) << c.what;
        if (!c.saved) {
            EXPECT_TRUE(Entries(out.Path()).empty()) << c.what << ": no output";
            EXPECT_TRUE(Entries(temp.Path()).empty()) << c.what << ": no recording folder";
        }
        EndProgram();
    }
}

}  // namespace
