// Vexcap.exe itself under Xvfb: the single instance, the forwarding of the
// command line to a running instance, and a recording made from the command
// line that ends as a saved AVI.
#include "app/AppMessages.h"
#include "resources/ids_app.h"
#include "resources/ids_finishing.h"
#include "resources/ids_settings.h"
#include "tests/support/MediaTestUtil.h"
#include "tests/support/TestSupport.h"
#include "AppTestSupport.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <map>

using namespace apptest;
using testsupport::RunHost;
using testsupport::ScratchDir;
using testsupport::ScratchRegKey;
using testsupport::UnixPath;

namespace {

// Holds the single-instance mutex as a running recorder would.
struct InstanceMutex {
    HANDLE handle = ::CreateMutexA(NULL, FALSE, RECORDER_MUTEX_NAME);
    ~InstanceMutex() { ::CloseHandle(handle); }
};

int CountRecorderWindows()
{
    int n = 0;
    HWND w = NULL;
    while ((w = ::FindWindowExA(NULL, w, RECORDER_CLASS_NAME, NULL)) != NULL)
        ++n;
    return n;
}

std::string WindowTitle(HWND w)
{
    char text[256] = "";
    ::GetWindowTextA(w, text, sizeof(text));
    return text;
}

std::string StateText(UINT id)
{
    CString text;
    text.LoadString(id);
    return std::string(text);
}

bool TitleShows(HWND w, UINT stateId)
{
    const std::string title = WindowTitle(w);
    const std::string state = StateText(stateId);
    return title.size() >= state.size() && title.compare(title.size() - state.size(), state.size(), state) == 0;
}

const char kPrefsKey[] = "Software\\Kestravon\\Skorvale Studio\\3.0\\Skorvale Recorder\\3.0";

const DWORD kDefaultInput = (DWORD)-1;

// The preferences that skip what needs a person after recording: no preview,
// no post-save options, a plain AVI under an automatic name in `folder`.
// kDefaultInput leaves the video input at its default (a fixed region).
// The program's preferences key is made afresh and goes with the object,
// also when a test stops half-way.
class DemoPrefs {
public:
    DemoPrefs(const std::string& folderPath, DWORD videoInput);
    ~DemoPrefs()
    {
        if (m_key)
            ::RegCloseKey(m_key);
    }
    DemoPrefs(const DemoPrefs&) = delete;
    DemoPrefs& operator=(const DemoPrefs&) = delete;
    // The open key, or NULL when it could not be made.
    HKEY Key() const { return m_key; }

private:
    ScratchRegKey m_scratch{kPrefsKey};
    HKEY m_key = NULL;
};

DemoPrefs::DemoPrefs(const std::string& folderPath, DWORD videoInput)
{
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, kPrefsKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &m_key, NULL) !=
        ERROR_SUCCESS) {
        m_key = NULL;
        return;
    }
    HKEY key = m_key;
    const struct {
        const char* name;
        DWORD value;
    } numbers[] = {{"VideoInput", videoInput},  {"PrevAfterRec", 0},    {"OptionsAfterRec", 0},
                   {"CreateSkoRecFile", 0},     {"VideoFileNaming", 2}, {"VideoMinimize", 0},
                   {"VideoUseStartPt", 0}};
    for (const auto& n : numbers)
        ::RegSetValueExA(key, n.name, 0, REG_DWORD, (const BYTE*)&n.value, sizeof(DWORD));
    if (videoInput == kDefaultInput)
        ::RegDeleteValueA(key, "VideoInput");
    ::RegDeleteValueA(key, "VideoRectFixed");
    const std::string folder = folderPath + "\\";
    ::RegSetValueExA(key, "VideoFileOutputDir", 0, REG_SZ, (const BYTE*)folder.c_str(), (DWORD)folder.size() + 1);
    ::RegSetValueExA(key, "VideoAutoFilePrefix", 0, REG_SZ, (const BYTE*)"Capture-", 9);
    ::RegDeleteValueA(key, "AutoPan");
}

std::string ProbeVideo(const std::string& file)
{
    std::string probe;
    RunHost("ffprobe -v error -show_entries stream=codec_type,codec_tag_string,width,height,nb_frames "
            "-of csv=p=0 '" + UnixPath(file) + "'",
            &probe);
    return probe;
}

// Stops the recording of the running program with /S and waits for the
// save to `saved` and the idle state.
bool StopAndWaitForSave(HWND main, const std::string& saved)
{
    EXPECT_EQ(1, RunProgram("/S"));
    const bool done = PumpUntil(
        [&] { return ::GetFileAttributesA(saved.c_str()) != INVALID_FILE_ATTRIBUTES && TitleShows(main, IDS_RECORD_STATE_IDLE); },
        60000);
    EXPECT_TRUE(done) << "saved as " << saved;
    return done;
}

const char kOverlayClass[] = "VexcapScreenOverlay";

// Waits for the area picker of a started recorder to open.
HWND WaitForPicker()
{
    HWND overlay = NULL;
    PumpUntil([&] { return (overlay = ::FindWindowA(kOverlayClass, NULL)) != NULL; }, 20000);
    return overlay;
}

// Waits for the recording to begin, lets it run a moment, stops it with a
// second start, waits for the save, ends the program and returns what
// ffprobe says of the saved file (empty when something failed on the way).
std::string RecordStopAndProbe(Program& program, const std::string& saved)
{
    HWND main = NULL;
    PumpUntil([&] { return (main = ::FindWindowA(RECORDER_CLASS_NAME, NULL)) != NULL; }, 20000);
    if (!main || !PumpUntil([&] { return TitleShows(main, IDS_RECORD_STATE_RECORDING); }, 20000)) {
        ADD_FAILURE() << "recording began; title: " << (main ? WindowTitle(main) : "no window");
        return "";
    }
    EXPECT_EQ(NULL, ::FindWindowA(kOverlayClass, NULL)) << "the picker is gone";
    Pump(1500);
    EXPECT_EQ(1, RunProgram("/S"));
    if (!PumpUntil([&] {
            return ::GetFileAttributesA(saved.c_str()) != INVALID_FILE_ATTRIBUTES &&
                   TitleShows(main, IDS_RECORD_STATE_IDLE);
        },
                   60000)) {
        ADD_FAILURE() << "saved as " << saved;
        return "";
    }
    EXPECT_EQ(0, RunProgram("/X"));
    EXPECT_EQ(0, program.Wait(30000));
    return ProbeVideo(saved);
}

// A plain window of the test process, white, at a known place.
struct TargetWindow {
    TargetWindow(int x, int y, int width, int height)
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(NULL);
        wc.hbrBackground = (HBRUSH)::GetStockObject(WHITE_BRUSH);
        wc.lpszClassName = "VexcapRecordTarget";
        ::RegisterClassA(&wc);
        hwnd = ::CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, x, y, width, height, NULL, NULL,
                                 wc.hInstance, NULL);
        Pump(50);
    }
    ~TargetWindow() { ::DestroyWindow(hwnd); }
    HWND hwnd;
};

}  // namespace

// A second start while one runs: record, pause, stop and exit go to the first
// instance's window and this start ends with the reply; the wizard request is
// posted and the start ends in the single-instance step; anything else only
// brings the first instance to the front.
TEST(VexcapProgram, ASecondStartForwardsItsSwitchesAndEnds)
{
    InstanceMutex mutex;
    struct {
        const char* args;
        std::vector<UINT> messages;
        long exitCode;
    } cases[] = {
        {"/R", {WM_APP_RECORD}, 7},
        {"/r /x", {WM_APP_RECORD, WM_APP_EXIT}, 7},
        {"/p", {WM_APP_PAUSE}, 5},
        {"/S", {WM_APP_STOP}, 3},
        {"/X", {WM_APP_EXIT}, 0},
        {"/W", {WM_APP_WIZARD}, 1},   // the post's result
        {"", {}, 0},
        {"/h", {}, 0},
        {"r x", {}, 0},
    };
    for (const auto& c : cases) {
        FakeRecorderWindow running(7, 5, 3);
        EXPECT_EQ(c.exitCode, RunProgram(c.args)) << c.args;
        PumpUntil([&] { return running.Messages().size() >= c.messages.size(); }, 3000);
        EXPECT_EQ(c.messages, running.Messages()) << c.args;
        EXPECT_EQ(1, CountRecorderWindows()) << c.args << ": no second main window";
    }
}

TEST(VexcapProgram, PauseStopOrExitWithNoInstanceEndWithCode1)
{
    ASSERT_EQ(0, CountRecorderWindows());
    for (const char* args : {"/p", "/P", "/s", "/x", "/S /X"})
        EXPECT_EQ(1, RunProgram(args)) << args;
    EXPECT_EQ(0, CountRecorderWindows());
}

TEST(VexcapProgram, AHungInstanceDoesNotHoldASecondStartForEver)
{
    InstanceMutex mutex;
    FakeRecorderWindow hung(7, 5, 3, true);
    const DWORD start = ::GetTickCount();
    EXPECT_EQ(0, RunProgram("/S", 60000)) << "no answer: not carried out";
    EXPECT_LT(::GetTickCount() - start, 30000u);
}

// Vexcap.exe /R records the screen; a second start pauses, resumes and stops
// it; the stop leaves a plain AVI under an automatic name in the output folder
// (the preferences skip the preview, the post-save options and the package);
// /X then ends the program, which saves its preferences.
TEST(VexcapProgram, RecordsFromTheCommandLineIntoASavedAvi)
{
    ASSERT_EQ(0, CountRecorderWindows());
    ScratchDir out("vxout");
    DemoPrefs prefs(out.Path(), 0);
    HKEY key = prefs.Key();

    Program first("/R");
    HWND main = NULL;
    ASSERT_TRUE(PumpUntil([&] { return (main = ::FindWindowA(RECORDER_CLASS_NAME, NULL)) != NULL; }, 20000));
    ASSERT_TRUE(PumpUntil([&] { return TitleShows(main, IDS_RECORD_STATE_RECORDING); }, 20000))
        << "recording began; title: " << WindowTitle(main);

    EXPECT_EQ(0, RunProgram("")) << "a second plain start ends";
    EXPECT_EQ(1, CountRecorderWindows());

    EXPECT_EQ(1, RunProgram("/p"));
    EXPECT_TRUE(PumpUntil([&] { return TitleShows(main, IDS_RECORD_STATE_PAUSED); }, 5000));
    EXPECT_EQ(0, RunProgram("/P")) << "already paused";
    EXPECT_EQ(1, RunProgram("/r")) << "resumes";
    EXPECT_TRUE(PumpUntil([&] { return TitleShows(main, IDS_RECORD_STATE_RECORDING); }, 5000));
    Pump(2000);
    const std::string saved = out.File("Capture-1.avi");
    ASSERT_TRUE(StopAndWaitForSave(main, saved));
    EXPECT_EQ(0, RunProgram("/S")) << "nothing left to stop";
    EXPECT_EQ(0, RunProgram("/X"));
    EXPECT_EQ(0, first.Wait(30000)) << "the program ends on /X";
    EXPECT_EQ(ERROR_SUCCESS, ::RegQueryValueExA(key, "AutoPan", NULL, NULL, NULL, NULL)) << "preferences saved at close";

    const std::string probe = ProbeVideo(saved);
    const std::string expected = "video,xrvc," + std::to_string(::GetSystemMetrics(SM_CXSCREEN)) + "," +
                                 std::to_string(::GetSystemMetrics(SM_CYSCREEN)) + ",";
    EXPECT_EQ(0u, probe.find(expected)) << probe;
    const int frames = atoi(probe.substr(expected.size()).c_str());
    EXPECT_GT(frames, 5) << probe;
    EXPECT_EQ(std::string::npos, probe.find("audio")) << "one video stream only";

}

// With sound on (and no package), /R ... /S records the screen and the
// microphone: the saved AVI has a PCM audio stream holding the tone that was
// played while it recorded.
TEST(VexcapProgram, RecordsSoundFromTheCommandLine)
{
    ASSERT_EQ(0, CountRecorderWindows());
    ScratchDir out("vxsnd");
    DemoPrefs prefs(out.Path(), 0);
    const DWORD on = 1, device = WAVE_MAPPER;
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(prefs.Key(), "RecordAudio", 0, REG_DWORD, (const BYTE*)&on, 4));
    ::RegSetValueExA(prefs.Key(), "AudioDeviceID", 0, REG_DWORD, (const BYTE*)&device, 4);
    ::RegDeleteValueA(prefs.Key(), "MuteAudio");

    ASSERT_TRUE(mediatest::PlayToneInBackground(440.0, 14.0, 0.5));
    Program first("/R");
    HWND main = NULL;
    ASSERT_TRUE(PumpUntil([&] { return (main = ::FindWindowA(RECORDER_CLASS_NAME, NULL)) != NULL; }, 20000));
    ASSERT_TRUE(PumpUntil([&] { return TitleShows(main, IDS_RECORD_STATE_RECORDING); }, 20000))
        << "recording began; title: " << WindowTitle(main);
    Pump(4000);
    const std::string saved = out.File("Capture-1.avi");
    ASSERT_TRUE(StopAndWaitForSave(main, saved));
    EXPECT_EQ(0, RunProgram("/X"));
    EXPECT_EQ(0, first.Wait(30000));

    std::string streams, audio;
    RunHost("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 '" + UnixPath(saved) + "'", &streams);
    EXPECT_EQ("video\naudio\n", streams);
    RunHost("ffprobe -v error -select_streams a:0 -show_entries stream=codec_name -of csv=p=0 '" + UnixPath(saved) +
                "'",
            &audio);
    EXPECT_EQ("pcm_s16le\n", audio);
    const std::vector<int> samples = mediatest::DecodeAudio16(saved, out.File("sound.raw"), 22050);
    size_t loud = 0;
    EXPECT_NEAR(440.0, mediatest::LoudToneFrequency(samples, 22050, &loud), 4.0);
    EXPECT_GT(loud, samples.size() / 4) << "the tone fills the recording after the input's start-up";
}

// With the Region input, /R opens the region picker; the dragged band is
// recorded (320 x 240 here) and saved on /S.
TEST(VexcapProgram, RecordsADraggedRegion)
{
    ASSERT_EQ(0, CountRecorderWindows());
    ScratchDir out("vxregion");
    DemoPrefs prefs(out.Path(), 2);
    HKEY key = prefs.Key();
    ASSERT_TRUE(key != NULL);

    Program first("/R");
    ASSERT_TRUE(WaitForPicker() != NULL) << "the region picker opens";
    MouseTo(100, 100);
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    MouseTo(300, 200);
    MouseTo(419, 339);
    MouseButton(MOUSEEVENTF_LEFTUP);
    const std::string probe = RecordStopAndProbe(first, out.File("Capture-1.avi"));
    EXPECT_EQ(0u, probe.find("video,xrvc,320,240,")) << probe;
}

// With the default preferences the input is a fixed region that follows the
// mouse: /R opens the fixed-region picker and the click records a 640 x 480
// area there.
TEST(VexcapProgram, DefaultPreferencesRecordTheFixedRegionWhereTheUserClicks)
{
    ASSERT_EQ(0, CountRecorderWindows());
    ScratchDir out("vxfixed");
    DemoPrefs prefs(out.Path(), kDefaultInput);
    HKEY key = prefs.Key();
    ASSERT_TRUE(key != NULL);

    Program first("/R");
    ASSERT_TRUE(WaitForPicker() != NULL) << "the fixed-region picker opens";
    ClickAt(1500, 900);
    const std::string probe = RecordStopAndProbe(first, out.File("Capture-1.avi"));
    EXPECT_EQ(0u, probe.find("video,xrvc,640,480,")) << probe;
    DWORD input = 0;
    DWORD size = sizeof(input);
    EXPECT_EQ(ERROR_SUCCESS, ::RegQueryValueExA(key, "VideoInput", NULL, NULL, (BYTE*)&input, &size));
    EXPECT_EQ(3u, input) << "the default input, saved at close";
}

// A fixed region at its start point is recorded at once, with no picker.
TEST(VexcapProgram, AFixedRegionAtItsStartPointRecordsWithoutAPicker)
{
    ASSERT_EQ(0, CountRecorderWindows());
    ScratchDir out("vxstart");
    DemoPrefs prefs(out.Path(), 3);
    HKEY key = prefs.Key();
    ASSERT_TRUE(key != NULL);
    const DWORD one = 1;
    ::RegSetValueExA(key, "VideoUseStartPt", 0, REG_DWORD, (const BYTE*)&one, sizeof(one));
    const char rect[] = "20,10,320,240";   // top, left, then width and height
    ::RegSetValueExA(key, "VideoRectFixed", 0, REG_SZ, (const BYTE*)rect, sizeof(rect));

    Program first("/R");
    const std::string probe = RecordStopAndProbe(first, out.File("Capture-1.avi"));
    EXPECT_EQ(0u, probe.find("video,xrvc,320,240,")) << probe;
}

// With the Window input, /R opens the window picker over the windows of the
// desktop; a click on a 400 x 300 window records that window.
TEST(VexcapProgram, RecordsTheWindowTheUserClicks)
{
    ASSERT_EQ(0, CountRecorderWindows());
    ScratchDir out("vxwindow");
    DemoPrefs prefs(out.Path(), 1);
    HKEY key = prefs.Key();
    ASSERT_TRUE(key != NULL);
    TargetWindow target(900, 400, 400, 300);

    Program first("/R");
    ASSERT_TRUE(WaitForPicker() != NULL) << "the window picker opens";
    ClickAt(1100, 550);
    const std::string probe = RecordStopAndProbe(first, out.File("Capture-1.avi"));
    EXPECT_EQ(0u, probe.find("video,xrvc,400,300,")) << probe;
}

// Escape or a right click on the picker cancels: no recording, nothing to
// stop, and the next /R opens the picker again.
TEST(VexcapProgram, CancellingThePickerLeavesTheRecorderIdle)
{
    ASSERT_EQ(0, CountRecorderWindows());
    ScratchDir out("vxcancel");
    DemoPrefs prefs(out.Path(), 2);
    HKEY key = prefs.Key();
    ASSERT_TRUE(key != NULL);

    Program first("/R");
    for (int way = 0; way < 2; ++way) {
        if (way > 0) {
            EXPECT_EQ(1, RunProgram("/R")) << "a picker opened again";
        }
        HWND overlay = WaitForPicker();
        ASSERT_TRUE(overlay != NULL) << "way " << way;
        if (way == 0) {
            EXPECT_EQ(0, RunProgram("/R")) << "a picker is open: its answer starts the recording";
            EXPECT_EQ(overlay, ::FindWindowA(kOverlayClass, NULL));
            EXPECT_EQ(NULL, ::FindWindowExA(NULL, overlay, kOverlayClass, NULL)) << "one picker only";
            PressKey(VK_ESCAPE);
        } else {
            MouseTo(500, 500);
            MouseButton(MOUSEEVENTF_RIGHTDOWN);
            MouseButton(MOUSEEVENTF_RIGHTUP);
        }
        ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(overlay); }, 10000)) << "way " << way;
        HWND main = ::FindWindowA(RECORDER_CLASS_NAME, NULL);
        EXPECT_TRUE(PumpUntil([&] { return TitleShows(main, IDS_RECORD_STATE_IDLE); }, 5000)) << WindowTitle(main);
        EXPECT_EQ(0, RunProgram("/S")) << "nothing to stop, way " << way;
    }
    EXPECT_EQ(0, RunProgram("/X"));
    EXPECT_EQ(0, first.Wait(30000));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(out.File("Capture-1.avi").c_str()));
}

namespace {

// A key pressed and released through SendInput.
void TapKey(WORD vk)
{
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, in, sizeof(INPUT));
}

HWND WaitForMainWindow()
{
    HWND main = NULL;
    PumpUntil([&] { return (main = ::FindWindowA(RECORDER_CLASS_NAME, NULL)) != NULL; }, 20000);
    return main;
}

bool FileExists(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

// The default hot keys: F9 records, pauses and resumes, F10 stops and the
// recording is saved.
TEST(VexcapProgram, HotKeysRecordPauseResumeAndStop)
{
    ASSERT_EQ(0, CountRecorderWindows());
    ScratchDir out("vxhotkeys");
    DemoPrefs prefs(out.Path(), 0);
    Program first("");
    HWND main = WaitForMainWindow();
    ASSERT_TRUE(main != NULL);
    ASSERT_TRUE(PumpUntil([&] { return TitleShows(main, IDS_RECORD_STATE_IDLE); }, 10000)) << WindowTitle(main);
    struct Row { WORD key; UINT state; };
    const Row rows[] = {
        { VK_F9, IDS_RECORD_STATE_RECORDING },
        { VK_F9, IDS_RECORD_STATE_PAUSED },
        { VK_F9, IDS_RECORD_STATE_RECORDING },
    };
    for (const Row& row : rows) {
        TapKey(row.key);
        EXPECT_TRUE(PumpUntil([&] { return TitleShows(main, row.state); }, 20000)) << WindowTitle(main);
        Pump(700);
    }
    TapKey(VK_F10);
    const std::string saved = out.File("Capture-1.avi");
    ASSERT_TRUE(PumpUntil([&] { return FileExists(saved) && TitleShows(main, IDS_RECORD_STATE_IDLE); }, 60000));
    EXPECT_EQ(0, RunProgram("/X"));
    EXPECT_EQ(0, first.Wait(30000));
    const std::string probe = ProbeVideo(saved);
    EXPECT_EQ(0u, probe.find("video,xrvc,")) << probe;
}

// F10 and then F9 at once: the stop wins, one file is saved and the window
// stays idle; nothing starts while the recording ends.
TEST(VexcapProgram, RecordAfterStopAtOnceStartsNothing)
{
    ASSERT_EQ(0, CountRecorderWindows());
    ScratchDir out("vxstoprec");
    DemoPrefs prefs(out.Path(), 0);
    Program first("/R");
    HWND main = WaitForMainWindow();
    ASSERT_TRUE(main != NULL);
    ASSERT_TRUE(PumpUntil([&] { return TitleShows(main, IDS_RECORD_STATE_RECORDING); }, 20000));
    Pump(1000);
    TapKey(VK_F10);
    TapKey(VK_F9);
    ASSERT_TRUE(PumpUntil([&] { return FileExists(out.File("Capture-1.avi")) && TitleShows(main, IDS_RECORD_STATE_IDLE); },
                          60000));
    Pump(3000);
    EXPECT_TRUE(TitleShows(main, IDS_RECORD_STATE_IDLE)) << WindowTitle(main);
    EXPECT_FALSE(FileExists(out.File("Capture-2.avi")));
    EXPECT_EQ(0, RunProgram("/S")) << "no recording to stop";
    EXPECT_EQ(0, RunProgram("/X"));
    EXPECT_EQ(0, first.Wait(30000));
}

// Another program holds F10: the recorder's stop key fails alone and F9
// still records.
TEST(VexcapProgram, AHotKeyHeldElsewhereLeavesTheOthersWorking)
{
    ASSERT_EQ(0, CountRecorderWindows());
    ScratchDir out("vxheld");
    DemoPrefs prefs(out.Path(), 0);
    ASSERT_TRUE(::RegisterHotKey(NULL, 77, 0, VK_F10));
    Program first("");
    HWND main = WaitForMainWindow();
    ASSERT_TRUE(main != NULL);
    ASSERT_TRUE(PumpUntil([&] { return TitleShows(main, IDS_RECORD_STATE_IDLE); }, 10000));
    TapKey(VK_F9);
    EXPECT_TRUE(PumpUntil([&] { return TitleShows(main, IDS_RECORD_STATE_RECORDING); }, 20000)) << WindowTitle(main);
    Pump(1000);
    TapKey(VK_F10);   // ours: the recorder does not see it
    Pump(1500);
    EXPECT_TRUE(TitleShows(main, IDS_RECORD_STATE_RECORDING));
    ::UnregisterHotKey(NULL, 77);
    EXPECT_EQ(1, RunProgram("/S"));
    EXPECT_TRUE(PumpUntil([&] { return FileExists(out.File("Capture-1.avi")) && TitleShows(main, IDS_RECORD_STATE_IDLE); },
                          60000));
    EXPECT_EQ(0, RunProgram("/X"));
    EXPECT_EQ(0, first.Wait(30000));
}

namespace {

// The icons in Wine's own tray window (no tray manager runs under Xvfb).
std::vector<HWND> TrayIcons()
{
    std::vector<HWND> icons;
    HWND tray = ::FindWindowA("__winex11_standalone_tray", NULL);
    for (HWND h = tray ? ::GetWindow(tray, GW_CHILD) : NULL; h != NULL; h = ::GetWindow(h, GW_HWNDNEXT)) {
        char cls[64] = "";
        ::GetClassNameA(h, cls, sizeof(cls));
        if (strcmp(cls, "__winex11_tray_icon") == 0 && ::IsWindowVisible(h))
            icons.push_back(h);
    }
    return icons;
}

}  // namespace

// While recording the tray shows the icon; its right-button menu stops the
// recording, which is saved, and the icon goes.
TEST(VexcapProgram, TrayMenuStopsTheRecordingAndTheIconGoes)
{
    ASSERT_EQ(0, CountRecorderWindows());
    ASSERT_TRUE(TrayIcons().empty());
    ScratchDir out("vxtray");
    DemoPrefs prefs(out.Path(), 0);
    Program first("/R");
    HWND main = WaitForMainWindow();
    ASSERT_TRUE(main != NULL);
    ASSERT_TRUE(PumpUntil([&] { return TitleShows(main, IDS_RECORD_STATE_RECORDING); }, 20000));
    ASSERT_TRUE(PumpUntil([&] { return TrayIcons().size() == 1; }, 5000)) << "the icon while recording";
    Pump(1000);
    RECT rc;
    ::GetWindowRect(TrayIcons()[0], &rc);
    MouseTo((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    MouseButton(MOUSEEVENTF_RIGHTDOWN);
    MouseButton(MOUSEEVENTF_RIGHTUP);
    ASSERT_TRUE(PumpUntil([&] { HWND m = ::FindWindowA("#32768", NULL); return m && ::IsWindowVisible(m); }, 5000))
        << "the tray menu opens";
    TapKey(VK_DOWN);
    Pump(150);
    TapKey(VK_DOWN);   // "停止"
    Pump(150);
    TapKey(VK_RETURN);
    const std::string saved = out.File("Capture-1.avi");
    ASSERT_TRUE(PumpUntil([&] { return FileExists(saved) && TitleShows(main, IDS_RECORD_STATE_IDLE); }, 60000));
    EXPECT_TRUE(PumpUntil([&] { return TrayIcons().empty(); }, 5000)) << "no tray icon remains";
    EXPECT_EQ(0, RunProgram("/X"));
    EXPECT_EQ(0, first.Wait(30000));
    EXPECT_EQ(0u, ProbeVideo(saved).find("video,xrvc,"));
    MouseTo(5, 1000);
}

namespace {

// Writes a screen rectangle as a 24-bit BMP file.
void SaveScreenBmp(const std::string& path, const RECT& r)
{
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = ::GetDC(NULL);
    HDC mem = ::CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = NULL;
    HBITMAP dib = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = ::SelectObject(mem, dib);
    ::BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    ::GdiFlush();
    const DWORD size = (DWORD)(((w * 3 + 3) & ~3) * h);
    BITMAPFILEHEADER fh = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(bi.bmiHeader);
    fh.bfSize = fh.bfOffBits + size;
    HANDLE f = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (f != INVALID_HANDLE_VALUE) {
        DWORD n = 0;
        ::WriteFile(f, &fh, sizeof(fh), &n, NULL);
        ::WriteFile(f, &bi.bmiHeader, sizeof(bi.bmiHeader), &n, NULL);
        ::WriteFile(f, bits, size, &n, NULL);
        ::CloseHandle(f);
    }
    ::SelectObject(mem, old);
    ::DeleteObject(dib);
    ::DeleteDC(mem);
    ::ReleaseDC(NULL, screen);
}

}  // namespace

// A tool-bar button's rectangle in another process: the message writes into
// memory of the bar's own process, which is read back from there.
bool RemoteItemRect(HWND toolBar, int index, RECT* rect)
{
    DWORD pid = 0;
    ::GetWindowThreadProcessId(toolBar, &pid);
    HANDLE process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process)
        return false;
    bool ok = false;
    void* remote = ::VirtualAllocEx(process, NULL, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
    if (remote) {
        SIZE_T read = 0;
        ok = ::SendMessageA(toolBar, TB_GETITEMRECT, index, (LPARAM)remote) != 0 &&
             ::ReadProcessMemory(process, remote, rect, sizeof(RECT), &read) && read == sizeof(RECT);
        ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    ::CloseHandle(process);
    return ok;
}

// The main window's menu bar, tool bar and status bar: Alt makes the first
// menu button hot in the highlight colour, a hovered tool-bar button rises,
// the status bar shows the state. A screenshot is left in the build folder.
TEST(VexcapProgram, MainWindowBarsRespondToKeysAndMouse)
{
    ASSERT_EQ(0, CountRecorderWindows());
    ScratchDir out("vxbars");
    DemoPrefs prefs(out.Path(), 0);
    Program first("");
    HWND main = WaitForMainWindow();
    ASSERT_TRUE(main != NULL);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 10000));
    HWND menuBar = ::GetDlgItem(main, 0xE803);
    HWND toolBar = ::GetDlgItem(main, 0xE800);
    HWND statusBar = ::GetDlgItem(main, 0xE801);
    ASSERT_TRUE(menuBar != NULL && toolBar != NULL && statusBar != NULL);
    EXPECT_EQ(NULL, ::GetMenu(main)) << "the menu is shown by the bar only";
    EXPECT_EQ(3, ::SendMessageA(menuBar, TB_BUTTONCOUNT, 0, 0));
    EXPECT_EQ(3, ::SendMessageA(toolBar, TB_BUTTONCOUNT, 0, 0));
    char status[128] = "";
    ::SendMessageA(statusBar, WM_GETTEXT, sizeof(status), (LPARAM)status);   // pane 0; marshalled
    EXPECT_EQ(StateText(IDS_RECORD_STATE_IDLE), std::string(status));

    RECT rc;
    ::GetWindowRect(main, &rc);
    ClickAt(rc.left + 60, rc.top + 8);   // the caption: the window takes the keys
    Pump(300);
    TapKey(VK_MENU);
    Pump(500);
    RECT item;
    ASSERT_TRUE(RemoteItemRect(menuBar, 0, &item));
    POINT pt = { item.left + 2, item.top + 2 };
    ::ClientToScreen(menuBar, &pt);
    HDC screen = ::GetDC(NULL);
    EXPECT_EQ(::GetSysColor(COLOR_HIGHLIGHT), ::GetPixel(screen, pt.x, pt.y)) << "the first menu button is hot";
    TapKey(VK_MENU);
    Pump(300);

    ASSERT_TRUE(RemoteItemRect(toolBar, 0, &item));
    POINT tl = { item.left, item.top };
    ::ClientToScreen(toolBar, &tl);
    MouseTo(tl.x + 20, tl.y + 10);
    Pump(600);
    EXPECT_EQ(::GetSysColor(COLOR_3DHILIGHT), ::GetPixel(screen, tl.x, tl.y)) << "the hovered button's raised frame";
    ::ReleaseDC(NULL, screen);
    RECT shot;
    ::GetWindowRect(main, &shot);
    SaveScreenBmp(testsupport::BuildDir() + "\\main_window.bmp", shot);
    MouseTo(5, 1000);
    EXPECT_EQ(0, RunProgram("/X"));
    EXPECT_EQ(0, first.Wait(30000));
}

// The Options entries open their dialogs: the stamp order through the menu
// bar's keys (Alt+O, Down, Down, Enter), the others by their commands; OK
// stores the order, which is in the registry after the program ends.
TEST(VexcapProgram, OptionsEntriesOpenTheirDialogs)
{
    ASSERT_EQ(0, CountRecorderWindows());
    ScratchDir out("vxoptions");
    DemoPrefs prefs(out.Path(), 0);
    HKEY key = prefs.Key();
    ::RegDeleteValueA(key, "SystemStampOrder2");
    Program first("");
    HWND main = WaitForMainWindow();
    ASSERT_TRUE(main != NULL);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 10000));
    RECT rc;
    ::GetWindowRect(main, &rc);
    ClickAt(rc.left + 60, rc.top + 8);
    Pump(300);

    INPUT alt[4] = {};
    for (INPUT& in : alt)
        in.type = INPUT_KEYBOARD;
    alt[0].ki.wVk = VK_MENU;
    alt[1].ki.wVk = 'O';
    alt[2].ki.wVk = 'O';
    alt[2].ki.dwFlags = KEYEVENTF_KEYUP;
    alt[3].ki.wVk = VK_MENU;
    alt[3].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(4, alt, sizeof(INPUT));
    Pump(400);
    TapKey(VK_DOWN);
    Pump(150);
    TapKey(VK_DOWN);
    Pump(150);
    TapKey(VK_RETURN);
    HWND dialog = NULL;
    ASSERT_TRUE(PumpUntil([&] { return (dialog = ::FindWindowA(NULL, "排列标记")) != NULL; }, 5000))
        << "the stamp order dialog";
    ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(dialog); }, 5000));
    char status[128] = "";
    ::SendMessageA(::GetDlgItem(main, 0xE801), WM_GETTEXT, sizeof(status), (LPARAM)status);
    EXPECT_EQ(StateText(IDS_RECORD_STATE_IDLE), std::string(status)) << "the closed menu's prompt gave way to the state";

    struct Row { UINT command; };
    const Row rows[] = { { ID_MAIN_OPT_TIME_DATE }, { ID_MAIN_OPT_WATERMARK } };
    for (const Row& row : rows) {
        ::PostMessageA(main, WM_COMMAND, row.command, 0);
        HWND popup = NULL;
        EXPECT_TRUE(PumpUntil([&] {
            popup = ::GetLastActivePopup(main);
            return popup != NULL && popup != main && ::IsWindowVisible(popup);
        }, 5000)) << row.command;
        // Cancel whatever window of the dialog is active until the main
        // window is active again (a page may hand the activation on).
        EXPECT_TRUE(PumpUntil([&] {
            HWND active = ::GetLastActivePopup(main);
            if (active == main)
                return true;
            ::PostMessageA(active, WM_COMMAND, IDCANCEL, 0);
            Pump(300);
            return false;
        }, 15000)) << row.command;
    }
    EXPECT_EQ(0, RunProgram("/X"));
    EXPECT_EQ(0, first.Wait(30000));
    char order[256] = "";
    DWORD size = sizeof(order);
    EXPECT_EQ(ERROR_SUCCESS, ::RegQueryValueExA(key, "SystemStampOrder2", NULL, NULL, (BYTE*)order, &size));
    EXPECT_NE(std::string::npos, std::string(order).find("TIMEDATE")) << order;
}

namespace {

// The colour (0xRRGGBB) at the centre of a window, read from the screen.
DWORD CentrePixel(HWND window)
{
    RECT r;
    ::GetWindowRect(window, &r);
    HDC screen = ::GetDC(NULL);
    const COLORREF c = ::GetPixel(screen, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    ::ReleaseDC(NULL, screen);
    return (DWORD)(GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c));
}

bool IsRecordingRed(DWORD rgb) { return (rgb >> 16) >= 180 && ((rgb >> 8) & 0xFF) < 60 && (rgb & 0xFF) < 60; }

}  // namespace

// The window comes from resource 2 with the program's icon. The Record
// button shows the pause image while the recording runs (the engine blinks
// it) and the record image when idle or paused; the tray icon shows red
// while recording and the grey paused image once paused.
TEST(VexcapProgram, RecordButtonAndTrayIconFollowTheRecordingState)
{
    ASSERT_EQ(0, CountRecorderWindows());
    ScratchDir out("vxindicator");
    DemoPrefs prefs(out.Path(), 0);
    Program first("");
    HWND main = WaitForMainWindow();
    ASSERT_TRUE(main != NULL);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 10000));
    // The program's icon (a red dot on a screen) shows at the caption's left;
    // the caption is otherwise blue and white. (Icons of another process's
    // windows cannot be asked for under Wine.)
    // The caption is painted a moment after the window shows.
    auto captionRed = [&] {
        RECT frame;
        ::GetWindowRect(main, &frame);
        int red = 0;
        HDC screen = ::GetDC(NULL);
        for (int y = frame.top; y < frame.top + 24; ++y)
            for (int x = frame.left; x < frame.left + 24; ++x) {
                const COLORREF c = ::GetPixel(screen, x, y);
                red += GetRValue(c) >= 180 && GetGValue(c) < 60 && GetBValue(c) < 60;
            }
        ::ReleaseDC(NULL, screen);
        return red;
    };
    EXPECT_TRUE(PumpUntil([&] { return captionRed() > 4; }, 5000)) << "the program's icon in the caption";
    HWND toolBar = ::GetDlgItem(main, 0xE800);
    ASSERT_TRUE(toolBar != NULL);
    const int kRecordImage = 0, kPauseImage = 3;
    auto image = [&] { return (int)::SendMessageA(toolBar, TB_GETBITMAP, ID_MAIN_RECORD_PAUSE, 0); };
    EXPECT_EQ(kRecordImage, image()) << "idle";

    TapKey(VK_F9);
    ASSERT_TRUE(PumpUntil([&] { return TitleShows(main, IDS_RECORD_STATE_RECORDING); }, 20000));
    EXPECT_TRUE(PumpUntil([&] { return image() == kPauseImage; }, 10000)) << "the pause image while recording";
    ASSERT_TRUE(PumpUntil([&] { return TrayIcons().size() == 1; }, 5000));
    EXPECT_TRUE(PumpUntil([&] { return IsRecordingRed(CentrePixel(TrayIcons()[0])); }, 10000))
        << std::hex << CentrePixel(TrayIcons()[0]);

    TapKey(VK_F9);
    ASSERT_TRUE(PumpUntil([&] { return TitleShows(main, IDS_RECORD_STATE_PAUSED); }, 20000));
    ASSERT_TRUE(PumpUntil([&] { return image() == kRecordImage; }, 5000)) << "the record image once paused";
    // No blinking while paused: the image and the tray stay as they are.
    for (int i = 0; i < 6; ++i) {
        Pump(250);
        EXPECT_EQ(kRecordImage, image());
        ASSERT_EQ(1u, TrayIcons().size());
        const DWORD tray = CentrePixel(TrayIcons()[0]);
        EXPECT_FALSE(IsRecordingRed(tray)) << std::hex << tray;
    }

    TapKey(VK_F10);
    ASSERT_TRUE(PumpUntil([&] { return FileExists(out.File("Capture-1.avi")) &&
                                       TitleShows(main, IDS_RECORD_STATE_IDLE); }, 60000));
    EXPECT_EQ(0, RunProgram("/X"));
    EXPECT_EQ(0, first.Wait(30000));
}

namespace {

const char kSegmentLimitVariable[] = "VEXCAP_TEST_SEGMENT_LIMIT";
const char kProductKey[] = "Software\\Kestravon\\Skorvale Studio\\3.0";

void ClearLastRecordingFolder()
{
    HKEY key = NULL;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, kProductKey, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL) ==
        ERROR_SUCCESS) {
        ::RegSetValueExA(key, "LastRecDir", 0, REG_SZ, (const BYTE*)"", 1);
        ::RegCloseKey(key);
    }
}

std::string LastRecordingFolder()
{
    char folder[MAX_PATH + 1] = "";
    DWORD size = MAX_PATH;
    HKEY key = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kProductKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    ::RegQueryValueExA(key, "LastRecDir", NULL, NULL, (BYTE*)folder, &size);
    ::RegCloseKey(key);
    folder[MAX_PATH] = 0;
    std::string text(folder);
    while (!text.empty() && text.back() == '\\')
        text.pop_back();
    return text;
}

// Opens every segment and sound file of a recording folder as it appears,
// sharing read, write and delete, so that what the program writes and later
// deletes can still be read here: each is copied out at the end.
class SegmentWatch {
public:
    explicit SegmentWatch(const std::string& folder) : m_folder(folder) {}
    ~SegmentWatch()
    {
        for (auto& f : m_files)
            ::CloseHandle(f.second);
    }
    void Poll()
    {
        for (const std::string& pattern : {std::string("*_Screen*.avi"), std::string("*_Audio.wav")})
            for (const std::string& name : mediatest::ListFiles(m_folder, pattern)) {
                if (m_files.count(name))
                    continue;
                HANDLE h = ::CreateFileA((m_folder + "\\" + name).c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                                         0, NULL);
                if (h != INVALID_HANDLE_VALUE)
                    m_files[name] = h;
            }
    }
    // Copies each file as it is now into `to`, under its own name.
    bool CopyAll(const std::string& to)
    {
        for (auto& f : m_files) {
            std::string bytes;
            LARGE_INTEGER size;
            if (!::GetFileSizeEx(f.second, &size))
                return false;
            bytes.resize((size_t)size.QuadPart);
            DWORD read = 0;
            ::SetFilePointer(f.second, 0, NULL, FILE_BEGIN);
            if (!bytes.empty() && (!::ReadFile(f.second, &bytes[0], (DWORD)bytes.size(), &read, NULL) ||
                                   read != bytes.size()))
                return false;
            if (!testsupport::WriteFileBytes(to + "\\" + f.first, bytes.data(), bytes.size()))
                return false;
        }
        return true;
    }
    size_t Count() const { return m_files.size(); }

private:
    std::string m_folder;
    std::map<std::string, HANDLE> m_files;
};

// The texts of the visible top-level windows and of their static
// controls (a message box's text), for failure messages.
std::string VisibleWindowTexts()
{
    std::string texts;
    HWND w = NULL;
    while ((w = ::FindWindowExA(NULL, w, NULL, NULL)) != NULL) {
        if (!::IsWindowVisible(w))
            continue;
        char text[256] = "";
        ::GetWindowTextA(w, text, sizeof(text));
        texts += std::string("[") + text;
        HWND child = NULL;
        while ((child = ::FindWindowExA(w, child, "Static", NULL)) != NULL) {
            char inner[256] = "";
            ::GetWindowTextA(child, inner, sizeof(inner));
            if (inner[0])
                texts += std::string(": ") + inner;
        }
        texts += "] ";
    }
    return texts;
}

int ProbeInt(const std::string& file, const std::string& stream, const std::string& entry)
{
    std::string out;
    RunHost("ffprobe -v error -count_packets -select_streams " + stream + " -show_entries stream=" + entry +
                " -of default=nw=1:nk=1 '" + UnixPath(file) + "'",
            &out);
    return atoi(out.c_str());
}

}  // namespace

// With the segment size lowered by the test hook, a recording with sound is
// split into xrvc segments, each with its own sound. Stopping it joins them
// into the saved AVI: ffprobe counts the segments' frames in it, at their
// rate; its sound is as long as its pictures within a frame; and the sound
// under each segment's pictures is that segment's sound, sample for sample.
TEST(VexcapProgram, SplitRecordingIsJoinedIntoOneAvi)
{
    ASSERT_EQ(0, CountRecorderWindows());
    ScratchDir out("vxjoin");
    ScratchDir copies("vxjoinseg");
    DemoPrefs prefs(out.Path(), 0);
    const DWORD on = 1, device = WAVE_MAPPER;
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(prefs.Key(), "RecordAudio", 0, REG_DWORD, (const BYTE*)&on, 4));
    ::RegSetValueExA(prefs.Key(), "AudioDeviceID", 0, REG_DWORD, (const BYTE*)&device, 4);
    ::RegDeleteValueA(prefs.Key(), "MuteAudio");
    // The sound alone passes 120 KB about every 3 s.
    ClearLastRecordingFolder();
    ASSERT_TRUE(::SetEnvironmentVariableA(kSegmentLimitVariable, "120000"));
    ASSERT_TRUE(mediatest::PlayToneInBackground(440.0, 20.0, 0.5));
    Program first("/R");
    ::SetEnvironmentVariableA(kSegmentLimitVariable, NULL);
    HWND main = NULL;
    ASSERT_TRUE(PumpUntil([&] { return (main = ::FindWindowA(RECORDER_CLASS_NAME, NULL)) != NULL; }, 20000));
    ASSERT_TRUE(PumpUntil([&] { return TitleShows(main, IDS_RECORD_STATE_RECORDING); }, 20000))
        << "recording began; title: " << WindowTitle(main);
    // The recording names its folder as it starts.
    std::string folder;
    ASSERT_TRUE(PumpUntil([&] { return !(folder = LastRecordingFolder()).empty(); }, 15000));
    SegmentWatch watch(folder);
    PumpUntil([&] {
        watch.Poll();
        return mediatest::ListFiles(folder, "*_Screen2.avi").size() > 0;
    }, 30000);
    Pump(2000);
    watch.Poll();
    const std::string saved = out.File("Capture-1.avi");
    // The recording goes on (and may split again) until the stop is taken.
    EXPECT_EQ(1, RunProgram("/S"));
    ASSERT_TRUE(PumpUntil(
        [&] {
            watch.Poll();
            return ::GetFileAttributesA(saved.c_str()) != INVALID_FILE_ATTRIBUTES &&
                   TitleShows(main, IDS_RECORD_STATE_IDLE);
        },
        60000))
        << "windows: " << VisibleWindowTexts() << "; folder: " << [&] {
               std::string names;
               for (const std::string& n : mediatest::ListFiles(folder, "*"))
                   names += n + " ";
               return names;
           }();
    ASSERT_TRUE(watch.CopyAll(copies.Path()));
    EXPECT_EQ(0, RunProgram("/X"));
    EXPECT_EQ(0, first.Wait(30000));

    std::vector<std::string> segments = {"_Screen.avi"};
    for (int i = 1; !mediatest::ListFiles(copies.Path(), "*_Screen" + std::to_string(i) + ".avi").empty(); ++i)
        segments.push_back("_Screen" + std::to_string(i) + ".avi");
    int total = 0;
    std::vector<int> frames;
    for (const std::string& tail : segments) {
        const std::vector<std::string> found = mediatest::ListFiles(copies.Path(), "*" + tail);
        ASSERT_EQ(1u, found.size()) << tail;
        // Frames in the stream's time slots (a frame the recorder dropped
        // keeps its slot), as the joiner reads them.
        frames.push_back(ProbeInt(copies.File(found[0]), "v:0", "nb_frames"));
        total += frames.back();
    }
    // A split just before the stop leaves a last segment without frames.
    if (frames.back() == 0) {
        frames.pop_back();
        segments.pop_back();
    }
    for (int f : frames)
        EXPECT_GT(f, 0);
    ASSERT_GE(segments.size(), 2u) << "the recording was split";
    std::string rate, tag, segmentRate, segmentTag;
    const std::string firstSegment = copies.File(mediatest::ListFiles(copies.Path(), "*_Screen.avi")[0]);
    const std::string entries = "ffprobe -v error -select_streams v:0 -of default=nw=1:nk=1 -show_entries stream=";
    RunHost(entries + "r_frame_rate '" + UnixPath(saved) + "'", &rate);
    RunHost(entries + "codec_tag_string '" + UnixPath(saved) + "'", &tag);
    RunHost(entries + "r_frame_rate '" + UnixPath(firstSegment) + "'", &segmentRate);
    RunHost(entries + "codec_tag_string '" + UnixPath(firstSegment) + "'", &segmentTag);
    EXPECT_EQ(segmentRate, rate) << "the rate of the segments";
    EXPECT_EQ("xrvc\n", tag);
    EXPECT_EQ(segmentTag, tag);
    EXPECT_EQ(total, ProbeInt(saved, "v:0", "nb_frames")) << "every frame of every segment";
    EXPECT_EQ(total, ProbeInt(saved, "v:0", "nb_read_packets")) << "every frame of every segment";

    // The sound: each segment's own under its pictures.
    // The first segment's sound is "<name>_Audio.wav", each later one's
    // "<name>_ScreenN_Audio.wav".
    std::vector<std::string> sounds;
    for (const std::string& name : mediatest::ListFiles(copies.Path(), "*_Audio.wav"))
        if (name.find("_Screen") == std::string::npos)
            sounds.push_back(name);
    ASSERT_EQ(1u, sounds.size());
    for (size_t i = 1; i < segments.size(); ++i) {
        const std::vector<std::string> wav =
            mediatest::ListFiles(copies.Path(), "*" + segments[i].substr(0, segments[i].size() - 4) + "_Audio.wav");
        ASSERT_EQ(1u, wav.size()) << segments[i];
        sounds.push_back(wav[0]);
    }
    const mediatest::WavInfo first0 = mediatest::ReadWav(copies.File(sounds[0]));
    ASSERT_TRUE(first0.ok) << first0.layout;
    const WAVEFORMATEX* wfx = (const WAVEFORMATEX*)first0.format.data();
    ASSERT_EQ(1, wfx->nChannels);
    const DWORD sampleRate = wfx->nSamplesPerSec;
    const std::vector<int> joined = mediatest::DecodeAudio16(saved, out.File("joined.raw"), sampleRate);
    const int num = atoi(rate.c_str());
    const size_t slash = rate.find('/');
    const int den = slash == std::string::npos ? 1 : atoi(rate.c_str() + slash + 1);
    ASSERT_GT(num, 0);
    const double videoSeconds = (double)total * den / num;
    EXPECT_NEAR(videoSeconds, (double)joined.size() / sampleRate, (double)den / num) << "as long as the video";
    long long startFrames = 0;
    for (size_t i = 0; i < segments.size(); ++i) {
        const std::string& stem = segments[i];
        const std::vector<int> own = mediatest::Samples16(mediatest::ReadWav(copies.File(sounds[i])).data);
        const size_t begin = (size_t)(startFrames * den * (long long)sampleRate / num);
        const size_t length = (size_t)((startFrames + frames[i]) * den * (long long)sampleRate / num) - begin;
        // The joiner places a segment's sound to the sample its start
        // time rounds down to: one sample either way of this count.
        const size_t shorter = own.size() < length ? own.size() : length;
        // The last segment's sound ends when the sound input stops, which
        // may be before its pictures end (or at once): what it has is
        // compared; every earlier segment has its sound to its end.
        const bool last = i + 1 == segments.size();
        if (!last) {
            EXPECT_GT(shorter, length / 2) << stem << ": the segment has its sound";
        }
        if (shorter < 4) {
            startFrames += frames[i];
            continue;
        }
        const size_t compare = shorter - 2;
        ASSERT_LE(begin + compare + 1, joined.size()) << stem;
        size_t differ = compare;
        for (int shift = -1; shift <= 1; ++shift) {
            if (begin == 0 && shift < 0)
                continue;
            size_t d = 0;
            for (size_t k = 1; k < compare; ++k)
                d += joined[begin + shift + k] != own[k];
            differ = d < differ ? d : differ;
        }
        EXPECT_EQ(0u, differ) << stem << ": " << compare << " samples from " << begin;
        startFrames += frames[i];
    }
}

namespace {

// The visible top-level window with a static text of `text`, or NULL.
HWND FindBoxWithText(const std::string& text)
{
    HWND w = NULL;
    while ((w = ::FindWindowExA(NULL, w, NULL, NULL)) != NULL) {
        if (!::IsWindowVisible(w))
            continue;
        HWND child = NULL;
        while ((child = ::FindWindowExA(w, child, "Static", NULL)) != NULL) {
            char inner[512] = "";
            ::GetWindowTextA(child, inner, sizeof(inner));
            if (text == inner)
                return w;
        }
    }
    return NULL;
}

}  // namespace

// A join that fails (a finished segment is held where the program cannot
// read it) ends with the program's message, and every segment, every sound,
// the recovery note and LastRecDir stay for a later recovery.
TEST(VexcapProgram, AJoinThatFailsKeepsEveryFile)
{
    ASSERT_EQ(0, CountRecorderWindows());
    ScratchDir out("vxjoinfail");
    DemoPrefs prefs(out.Path(), 0);
    const DWORD on = 1, device = WAVE_MAPPER;
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(prefs.Key(), "RecordAudio", 0, REG_DWORD, (const BYTE*)&on, 4));
    ::RegSetValueExA(prefs.Key(), "AudioDeviceID", 0, REG_DWORD, (const BYTE*)&device, 4);
    ::RegDeleteValueA(prefs.Key(), "MuteAudio");
    ClearLastRecordingFolder();
    ASSERT_TRUE(::SetEnvironmentVariableA(kSegmentLimitVariable, "120000"));
    ASSERT_TRUE(mediatest::PlayToneInBackground(440.0, 14.0, 0.5));
    Program first("/R");
    ::SetEnvironmentVariableA(kSegmentLimitVariable, NULL);
    HWND main = NULL;
    ASSERT_TRUE(PumpUntil([&] { return (main = ::FindWindowA(RECORDER_CLASS_NAME, NULL)) != NULL; }, 20000));
    ASSERT_TRUE(PumpUntil([&] { return TitleShows(main, IDS_RECORD_STATE_RECORDING); }, 20000));
    // The recording names its folder as it starts.
    std::string folder;
    ASSERT_TRUE(PumpUntil([&] { return !(folder = LastRecordingFolder()).empty(); }, 15000));
    // Once the second segment has begun, the first is finished: hold it
    // with no sharing at all.
    HANDLE held = INVALID_HANDLE_VALUE;
    ASSERT_TRUE(PumpUntil(
        [&] {
            const std::vector<std::string> firstSegment = mediatest::ListFiles(folder, "*_Screen.avi");
            if (mediatest::ListFiles(folder, "*_Screen1.avi").empty() || firstSegment.empty())
                return false;
            held = ::CreateFileA((folder + "\\" + firstSegment[0]).c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0,
                                 NULL);
            return held != INVALID_HANDLE_VALUE;
        },
        30000));
    Pump(1000);
    EXPECT_EQ(1, RunProgram("/S"));
    CString failed;
    failed.LoadString(IDS_CANNOT_RENDER_AVI);
    EXPECT_TRUE(PumpUntil([&] { return FindBoxWithText((LPCSTR)failed) != NULL; }, 60000)) << VisibleWindowTexts();
    const std::vector<std::string> kept = mediatest::ListFiles(folder, "*");
    // The message, and the one that says where the files were kept, are
    // answered until the recorder is idle.
    std::string answered;
    EXPECT_TRUE(PumpUntil(
        [&] {
            HWND w = NULL;
            while ((w = ::FindWindowExA(NULL, w, "#32770", NULL)) != NULL) {
                DWORD pid = 0;
                ::GetWindowThreadProcessId(w, &pid);
                if (pid != ::GetCurrentProcessId() && ::IsWindowVisible(w)) {
                    answered += VisibleWindowTexts() + "; ";
                    ::PostMessageA(w, WM_COMMAND, IDOK, 0);
                }
            }
            Pump(200);
            return TitleShows(main, IDS_RECORD_STATE_IDLE);
        },
        30000))
        << answered;
    ::CloseHandle(held);
    EXPECT_EQ(0, RunProgram("/X"));
    EXPECT_EQ(0, first.Wait(30000));

    std::string names;
    for (const std::string& n : kept)
        names += n + " ";
    EXPECT_EQ(1u, mediatest::ListFiles(folder, "RecInfo.xml").size()) << names;
    EXPECT_EQ(1u, mediatest::ListFiles(folder, "*_Screen.avi").size()) << names;
    EXPECT_GE(mediatest::ListFiles(folder, "*_Screen*.avi").size(), 2u) << names;
    EXPECT_GE(mediatest::ListFiles(folder, "*_Audio.wav").size(), 2u) << names;
    for (const std::string& n : kept) {
        if (n != "." && n != "..") {
            EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA((folder + "\\" + n).c_str())) << n;
        }
    }
    EXPECT_EQ(folder, LastRecordingFolder()) << "the recording is left for recovery";
    EXPECT_TRUE(mediatest::ListFiles(out.Path(), "*.avi").empty()) << "nothing saved";

    // The test's own clean-up: the kept recording goes.
    for (const std::string& n : mediatest::ListFiles(folder, "*"))
        ::DeleteFileA((folder + "\\" + n).c_str());
    ::RemoveDirectoryA(folder.c_str());
    ClearLastRecordingFolder();
}
