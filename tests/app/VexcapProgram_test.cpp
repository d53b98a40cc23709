// Vexcap.exe itself under Xvfb: the single instance, the forwarding of the
// command line to a running instance, and a recording made from the command
// line that ends as a saved AVI.
#include "app/AppMessages.h"
#include "resources/ids_app.h"
#include "resources/ids_settings.h"
#include "tests/support/TestSupport.h"
#include "AppTestSupport.h"

#include <gtest/gtest.h>

using namespace apptest;
using testsupport::RunHost;
using testsupport::ScratchDir;
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

// The preferences that skip what needs a person after recording: no preview,
// no post-save options, a plain AVI under an automatic name in `folder`.
HKEY WriteDemoPrefs(const std::string& folderPath, DWORD videoInput)
{
    HKEY key = NULL;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, kPrefsKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return NULL;
    const struct {
        const char* name;
        DWORD value;
    } numbers[] = {{"VideoInput", videoInput}, {"PrevAfterRec", 0},    {"OptionsAfterRec", 0},
                   {"CreateSkoRecFile", 0},    {"VideoFileNaming", 2}, {"VideoMinimize", 0}};
    for (const auto& n : numbers)
        ::RegSetValueExA(key, n.name, 0, REG_DWORD, (const BYTE*)&n.value, sizeof(DWORD));
    const std::string folder = folderPath + "\\";
    ::RegSetValueExA(key, "VideoFileOutputDir", 0, REG_SZ, (const BYTE*)folder.c_str(), (DWORD)folder.size() + 1);
    ::RegSetValueExA(key, "VideoAutoFilePrefix", 0, REG_SZ, (const BYTE*)"Capture-", 9);
    ::RegDeleteValueA(key, "AutoPan");
    return key;
}

void SendMouse(DWORD flags, int x, int y)
{
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = (x * 65535 + ::GetSystemMetrics(SM_CXSCREEN) / 2) / (::GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = (y * 65535 + ::GetSystemMetrics(SM_CYSCREEN) / 2) / (::GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(1, &in, sizeof(in));
    Pump(50);
}

std::string ProbeVideo(const std::string& file)
{
    std::string probe;
    RunHost("ffprobe -v error -show_entries stream=codec_type,codec_tag_string,width,height,nb_frames "
            "-of csv=p=0 '" + UnixPath(file) + "'",
            &probe);
    return probe;
}

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
    HKEY key = WriteDemoPrefs(out.Path(), 0);

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
    EXPECT_EQ(1, RunProgram("/S"));
    const std::string saved = out.File("Capture-1.avi");
    ASSERT_TRUE(PumpUntil(
        [&] { return ::GetFileAttributesA(saved.c_str()) != INVALID_FILE_ATTRIBUTES && TitleShows(main, IDS_RECORD_STATE_IDLE); },
        60000))
        << "saved as " << saved;
    EXPECT_EQ(0, RunProgram("/S")) << "nothing left to stop";
    EXPECT_EQ(0, RunProgram("/X"));
    EXPECT_EQ(0, first.Wait(30000)) << "the program ends on /X";
    EXPECT_EQ(ERROR_SUCCESS, ::RegQueryValueExA(key, "AutoPan", NULL, NULL, NULL, NULL)) << "preferences saved at close";

    std::string probe;
    ASSERT_EQ(0, RunHost("ffprobe -v error -show_entries stream=codec_type,codec_tag_string,width,height,nb_frames "
                         "-of csv=p=0 '" + UnixPath(saved) + "'",
                         &probe));
    const std::string expected = "video,xrvc," + std::to_string(::GetSystemMetrics(SM_CXSCREEN)) + "," +
                                 std::to_string(::GetSystemMetrics(SM_CYSCREEN)) + ",";
    EXPECT_EQ(0u, probe.find(expected)) << probe;
    const int frames = atoi(probe.substr(expected.size()).c_str());
    EXPECT_GT(frames, 5) << probe;
    EXPECT_EQ(std::string::npos, probe.find("audio")) << "one video stream only";

    ::RegCloseKey(key);
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kPrefsKey);
}

// With the Region input, /R opens the region picker; the dragged band is
// recorded (320 x 240 here) and saved on /S.
TEST(VexcapProgram, RecordsADraggedRegion)
{
    ASSERT_EQ(0, CountRecorderWindows());
    ScratchDir out("vxregion");
    HKEY key = WriteDemoPrefs(out.Path(), 2);
    ASSERT_TRUE(key != NULL);

    Program first("/R");
    HWND overlay = NULL;
    ASSERT_TRUE(PumpUntil([&] { return (overlay = ::FindWindowA("VexcapScreenOverlay", NULL)) != NULL; }, 20000))
        << "the region picker opens";
    HWND main = ::FindWindowA(RECORDER_CLASS_NAME, NULL);
    ASSERT_TRUE(main != NULL);
    Pump(300);
    SendMouse(0, 100, 100);
    SendMouse(MOUSEEVENTF_LEFTDOWN, 100, 100);
    SendMouse(0, 300, 200);
    SendMouse(0, 419, 339);
    SendMouse(MOUSEEVENTF_LEFTUP, 419, 339);
    ASSERT_TRUE(PumpUntil([&] { return TitleShows(main, IDS_RECORD_STATE_RECORDING); }, 20000))
        << "recording began; title: " << WindowTitle(main);
    EXPECT_FALSE(::IsWindow(overlay)) << "the picker is gone";
    Pump(1500);
    EXPECT_EQ(1, RunProgram("/S"));
    const std::string saved = out.File("Capture-1.avi");
    ASSERT_TRUE(PumpUntil(
        [&] { return ::GetFileAttributesA(saved.c_str()) != INVALID_FILE_ATTRIBUTES && TitleShows(main, IDS_RECORD_STATE_IDLE); },
        60000));
    EXPECT_EQ(0, RunProgram("/X"));
    EXPECT_EQ(0, first.Wait(30000));
    const std::string probe = ProbeVideo(saved);
    EXPECT_EQ(0u, probe.find("video,xrvc,320,240,")) << probe;

    ::RegCloseKey(key);
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kPrefsKey);
}
