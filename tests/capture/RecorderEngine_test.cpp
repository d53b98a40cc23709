#include "capture/RecorderEngine.h"
#include "media/LastRecordingDir.h"

#include "capture/AviScreenStream.h"
#include "capture/LiveOutputHeader.h"
#include "capture/RecorderWindow.h"
#include "capture/VideoFocusWnd.h"
#include "resources/ids_capture.h"
#include "resources/ids_controls.h"
#include "resources/ids_media.h"
#include "settings/RecorderPrefs.h"
#include "tests/support/TestSupport.h"
#include "CaptureTestSupport.h"

#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>

using namespace capturetest;
using testsupport::RunHost;
using testsupport::ScratchDir;
using testsupport::UnixPath;

namespace {

const RECT kRedWindow = {100, 100, 600, 500};
const RECT kArea = {150, 150, 470, 390};   // 320 x 240, inside the red window
const POINT kOutside = {800, 700};          // off the red window and the area

// The preferences of the tests: 5 frames per second.
std::unique_ptr<CRecorderPrefs> MakePrefs(const std::string& tempDir, DWORD fourcc)
{
    return MakeEnginePrefs(tempDir, fourcc, 5);
}

int CountLines(const std::string& text)
{
    std::istringstream lines(text);
    std::string line;
    int n = 0;
    while (std::getline(lines, line))
        n += !line.empty();
    return n;
}

// Registers the screen codec built in this tree for this prefix.
bool InstallXrvc(std::string* why)
{
    const std::string dll = testsupport::BuildDir() + "\\platform\\xrvc\\xrvc.dll";
    if (::GetFileAttributesA(dll.c_str()) == INVALID_FILE_ATTRIBUTES) {
        *why = "not built: " + dll;
        return false;
    }
    HKEY key = NULL;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", 0, NULL,
                          0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS) {
        *why = "Drivers32 key";
        return false;
    }
    ::RegSetValueExA(key, "vidc.xrvc", 0, REG_SZ, (const BYTE*)dll.c_str(), (DWORD)dll.size() + 1);
    ::RegCloseKey(key);
    HIC hic = ::ICOpen(ICTYPE_VIDEO, kFourccXrvc, ICMODE_COMPRESS);
    if (!hic) {
        *why = "ICOpen failed";
        return false;
    }
    ::ICClose(hic);
    return true;
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App().ClearBoxes();
        // The recordings draw the cursor when it is inside the area: each test
        // starts with it outside the red window, wherever the last test left it.
        ::SetCursorPos(kOutside.x, kOutside.y);
        m_red.reset(new ColourWindow(kRedWindow, RGB(255, 0, 0)));
        ASSERT_TRUE(PumpUntil([] { return ScreenPixel(300, 300) == RGB(255, 0, 0); }, 5000))
            << "the red window must be on the screen";
    }
    void TearDown() override { m_red.reset(); }

    // Records `seconds` of recording with a pause of `pauseMs` in the middle,
    // then stops; returns after the end-of-recording message.
    void RecordWithPause(CRecorderEngine& engine, MainWindowDouble& main, DWORD firstMs, DWORD pauseMs,
                         DWORD secondMs)
    {
        RECT area = kArea;
        ASSERT_TRUE(engine.PrepareRecording(&area));
        ASSERT_TRUE(PumpUntil([&] { return main.First(WM_RECORDER_STATE) == 1; }, 5000)) << "capture began";
        Pump(firstMs);
        engine.Pause();
        Pump(pauseMs);
        engine.Record();
        Pump(secondMs);
        engine.RequestStop();
        ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 10000));
    }

    ScratchDir m_dir{"vxengine"};
    std::unique_ptr<ColourWindow> m_red;
};

}  // namespace

// 2 s of recording at 5 frames per second with a 1 s pause: one video stream
// of 320 x 240 at 5/1 with 10 +- 1 frames, every frame decoding to red.
TEST_F(EngineTest, RecordsTheAreaWithAPauseIntoAnUncompressedAvi)
{
    std::unique_ptr<CRecorderPrefs> prefs = MakePrefs(m_dir.Path(), kFourccDib);
    MainWindowDouble main;
    std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
    // Each second of recording holds the frames of ticks 0, 200, ... 800 ms;
    // stopping each stretch at 900 ms keeps the stop 100 ms away from the next
    // tick, so a loaded machine cannot add a sixth frame to a stretch.
    RecordWithPause(*engine, main, 900, 1000, 900);
    EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
    EXPECT_TRUE(engine->HasFramesWritten());
    EXPECT_EQ(1, main.RecordState());
    EXPECT_EQ(24, main.BitDepth()) << "32-bit screens are stored as 24-bit by default";
    EXPECT_GE(main.Count(WM_RECORDER_INDICATOR), 1);
    EXPECT_TRUE(App().Boxes().empty());

    const CString file = engine->GetScreenFileName();
    ASSERT_TRUE(FileExists(file));
    EXPECT_NE(-1, file.Find("_Screen.avi"));
    EXPECT_EQ(0, file.Find(engine->GetRecordingFolder()));
    EXPECT_NE(-1, engine->GetRecordingFolder().Find("\\SkoCapture"));

    // The recovery note lists the screen file, and the folder is remembered
    // as the last recording folder until the output is saved.
    CString note = engine->GetRecordingFolder();
    if (note.Right(1) != "\\")
        note += "\\";
    note += "RecInfo.xml";
    std::string noteText;
    ASSERT_TRUE(testsupport::ReadFileBytes((LPCSTR)note, &noteText)) << (LPCSTR)note;
    EXPECT_NE(std::string::npos, noteText.find("_Screen.avi")) << noteText;
    EXPECT_NE(std::string::npos, noteText.find("Recording_Data")) << noteText;
    EXPECT_STREQ(engine->GetRecordingFolder(), GetLastRecordingDir());
    const std::string path = (LPCSTR)file;
    EXPECT_EQ("video\n", Probe(path, "-show_entries stream=codec_type"));
    const std::string stream = Probe(path, "-select_streams v:0 -show_entries stream=width,height,r_frame_rate");
    EXPECT_EQ("320,240,5/1", stream.substr(0, stream.find('\n')));
    const int packets = CountLines(Probe(path, "-select_streams v:0 -show_entries packet=pts"));
    EXPECT_GE(packets, 9);
    EXPECT_LE(packets, 11);

    // Every pixel of every frame decodes red.
    std::string out;
    ASSERT_EQ(0, RunHost("ffmpeg -v error -i '" + UnixPath(path) +
                             "' -f rawvideo -pix_fmt rgb24 - | od -An -v -tu1 -w3 | sort | uniq -c",
                         &out));
    std::istringstream colours(out);
    int count = 0, r = -1, g = -1, b = -1;
    colours >> count >> r >> g >> b;
    EXPECT_EQ(255, r) << out;
    EXPECT_EQ(0, g) << out;
    EXPECT_EQ(0, b) << out;
    EXPECT_EQ(320 * 240 * packets, count) << out;

    // The engine deletes what no finished recording took over, and its folder.
    const CString folder = engine->GetRecordingFolder();
    engine.reset();
    EXPECT_FALSE(FileExists(file));
    EXPECT_FALSE(FileExists(folder));
}

// The default compressor: the recording succeeds, the index flags only the
// codec's key frames, and the codec's own decompressor gives back exactly the
// grabbed pixels.
TEST_F(EngineTest, RecordsThroughTheScreenCodecLosslessly)
{
    std::string why;
    ASSERT_TRUE(InstallXrvc(&why)) << "the xrvc codec of this build cannot be installed: " << why;
    std::unique_ptr<CRecorderPrefs> prefs = MakePrefs(m_dir.Path(), 0);
    prefs->m_keyFrameRate = 4;
    MainWindowDouble main;
    std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
    // As above: each stretch stops 100 ms before the tick that would add a
    // sixth frame to it.
    RecordWithPause(*engine, main, 900, 1000, 900);
    EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
    EXPECT_EQ(kFourccXrvc, prefs->m_compressorFourCC) << "the chosen compressor is written back";
    const CString file = engine->GetScreenFileName();
    const std::string path = (LPCSTR)file;
    const std::string stream = Probe(path, "-select_streams v:0 -show_entries stream=width,height,r_frame_rate");
    EXPECT_EQ("320,240,5/1", stream.substr(0, stream.find('\n')));
    std::string flags = Probe(path, "-select_streams v:0 -show_entries packet=flags");
    std::string keys;
    std::istringstream lines(flags);
    std::string line;
    while (std::getline(lines, line))
        if (!line.empty())
            keys += line[0] == 'K' ? 'K' : '.';
    EXPECT_GE(keys.size(), 9u) << keys;
    EXPECT_LE(keys.size(), 11u) << keys;
    EXPECT_EQ(0u, keys.find("K...K")) << keys;

    PAVIFILE avi = NULL;
    ASSERT_EQ(0, AVIFileOpenA(&avi, file, OF_READ, NULL));
    PAVISTREAM video = NULL;
    ASSERT_EQ(0, AVIFileGetStream(avi, &video, streamtypeVIDEO, 0));
    BITMAPINFOHEADER want = {sizeof(BITMAPINFOHEADER), 320, 240, 1, 24, BI_RGB};
    PGETFRAME frames = AVIStreamGetFrameOpen(video, &want);
    ASSERT_TRUE(frames != NULL);
    const LONG length = AVIStreamLength(video);
    for (LONG i = 0; i < length; ++i) {
        const BITMAPINFOHEADER* h = (const BITMAPINFOHEADER*)AVIStreamGetFrame(frames, i);
        ASSERT_TRUE(h != NULL) << i;
        const BYTE* bits = (const BYTE*)h + h->biSize + h->biClrUsed * 4;
        int wrong = 0;
        for (int p = 0; p < 320 * 240; ++p)
            wrong += !(bits[p * 3] == 0 && bits[p * 3 + 1] == 0 && bits[p * 3 + 2] == 255);
        EXPECT_EQ(0, wrong) << "frame " << i;
    }
    AVIStreamGetFrameClose(frames);
    AVIStreamRelease(video);
    AVIFileRelease(avi);
}

namespace {

struct TipSearch {
    DWORD process;
    int answered;
};

BOOL CALLBACK AnswerTipDialog(HWND h, LPARAM param)
{
    TipSearch* search = (TipSearch*)param;
    DWORD process = 0;
    ::GetWindowThreadProcessId(h, &process);
    if (process == search->process && ::IsWindowVisible(h) && ::GetDlgItem(h, IDC_TIP_SHOW_AGAIN) != NULL &&
        ::GetDlgItem(h, IDC_TIP_TEXT) != NULL) {
        ::PostMessageA(h, WM_COMMAND, IDOK, 0);
        ++search->answered;
    }
    return TRUE;
}

// Answers (OK) every open tip dialog of this process, on whatever thread it
// runs; returns how many it answered.
int AnswerTipDialogs()
{
    TipSearch search = {::GetCurrentProcessId(), 0};
    ::EnumWindows(&AnswerTipDialog, (LPARAM)&search);
    return search.answered;
}

}  // namespace

// The default preferences measure the rate first: a second of whole frames
// goes into a test file, the recording then runs at the measured rate (1 to
// 15 frames per second) through the screen codec, the measuring frames do not
// stay in the output, and the one-frame-per-second tip comes only at a rate
// of 1.
TEST_F(EngineTest, DefaultAutomaticConfigurationRecordsAtTheMeasuredRate)
{
    std::string why;
    ASSERT_TRUE(InstallXrvc(&why)) << "the xrvc codec of this build cannot be installed: " << why;
    std::unique_ptr<CRecorderPrefs> prefs(new CRecorderPrefs(&App()));
    ASSERT_TRUE(prefs->m_autoConfig) << "on by default";
    ASSERT_EQ(0u, prefs->m_flags & 0x1000000) << "the tip is on by default";
    prefs->m_tempDir = m_dir.Path().c_str();
    prefs->m_minimize = FALSE;
    prefs->m_compressorFourCC = kFourccDib;   // the measured configuration chooses its own codec
    MainWindowDouble main;
    std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
    RECT area = kArea;
    int tips = 0;
    ASSERT_TRUE(engine->PrepareRecording(&area));
    ASSERT_TRUE(PumpUntil(
        [&] {
            tips += AnswerTipDialogs();
            return main.First(WM_RECORDER_STATE) == 1;
        },
        15000))
        << "capture began after the measurement";
    Pump(1500);
    engine->RequestStop();
    ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 10000));
    EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
    EXPECT_TRUE(App().Boxes().empty());

    const DWORD rate = prefs->m_captureRate.m_nRate;
    EXPECT_GE(rate, 1u);
    EXPECT_LE(rate, 15u);
    EXPECT_EQ(1u, prefs->m_captureRate.m_nScale);
    EXPECT_EQ(rate, prefs->m_playbackRate.m_nRate);
    EXPECT_EQ(1u, prefs->m_playbackRate.m_nScale);
    EXPECT_EQ(rate == 1 ? 1 : 0, tips) << "rate " << rate;
    EXPECT_EQ(kFourccXrvc, prefs->m_compressorFourCC);

    const std::string path = (LPCSTR)engine->GetScreenFileName();
    const std::string stream = Probe(path, "-select_streams v:0 -show_entries stream=width,height,r_frame_rate");
    EXPECT_EQ("320,240," + std::to_string(rate) + "/1", stream.substr(0, stream.find('\n')));
    const int packets = CountLines(Probe(path, "-select_streams v:0 -show_entries packet=pts"));
    EXPECT_GE(packets, 1);
    EXPECT_LE(packets, (int)rate * 2 + 2) << "only the recorded frames, not the measuring ones";
}

TEST_F(EngineTest, DiscardLeavesNoFileBehind)
{
    std::unique_ptr<CRecorderPrefs> prefs = MakePrefs(m_dir.Path(), kFourccDib);
    MainWindowDouble main;
    std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
    RECT area = kArea;
    ASSERT_TRUE(engine->PrepareRecording(&area));
    ASSERT_TRUE(PumpUntil([&] { return engine->GetCapturedFrames() >= 3; }, 5000));
    engine->RequestDiscard();
    ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 10000));
    EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
    EXPECT_FALSE(engine->HasFramesWritten());
    const CString folder = engine->GetRecordingFolder();
    engine.reset();
    EXPECT_FALSE(FileExists(folder));
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((m_dir.Path() + "\\SkoCapture*").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search) << found.cFileName;
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
}

// Pause on start, then Stop before the first record command: no frame, no
// file, and the end message still arrives.
TEST_F(EngineTest, StopBeforeTheFirstRecordEndsWithoutFrames)
{
    std::unique_ptr<CRecorderPrefs> prefs = MakePrefs(m_dir.Path(), kFourccDib);
    prefs->m_pauseOnStart = TRUE;
    MainWindowDouble main;
    std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
    RECT area = kArea;
    ASSERT_TRUE(engine->PrepareRecording(&area));
    ASSERT_TRUE(PumpUntil([&] { return main.RecordState() == 1; }, 5000));
    Pump(300);
    EXPECT_EQ(-1, main.First(WM_RECORDER_STATE)) << "capture has not begun";
    engine->RequestStop();
    ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 10000));
    EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
    EXPECT_FALSE(engine->HasFramesWritten());
    EXPECT_EQ(0u, engine->GetCapturedFrames());
    EXPECT_FALSE(FileExists(engine->GetScreenFileName()));
}

// Paused twice, one Record resumes; the focus frame shows the steady colour
// while paused.
TEST_F(EngineTest, PauseTwiceThenOneRecordResumes)
{
    std::unique_ptr<CRecorderPrefs> prefs = MakePrefs(m_dir.Path(), kFourccDib);
    MainWindowDouble main;
    std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
    RECT area = kArea;
    ASSERT_TRUE(engine->PrepareRecording(&area));
    ASSERT_TRUE(PumpUntil([&] { return engine->GetCapturedFrames() >= 2; }, 5000));
    engine->Pause();
    engine->Pause();
    EXPECT_TRUE(engine->IsPaused());
    EXPECT_EQ(kCommandPause, engine->GetCommand());
    ASSERT_TRUE(PumpUntil([&] { return engine->GetFocusFrame()->IsLit(); }, 3000));
    Pump(600);
    const DWORD frozen = engine->GetCapturedFrames();
    Pump(600);
    EXPECT_EQ(frozen, engine->GetCapturedFrames()) << "no frames while paused";
    engine->Record();
    EXPECT_FALSE(engine->IsPaused());
    ASSERT_TRUE(PumpUntil([&] { return engine->GetCapturedFrames() >= frozen + 2; }, 5000));
    engine->RequestStop();
    ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 10000));
    EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
}

TEST_F(EngineTest, AreaTooSmallIsRefused)
{
    struct Case {
        RECT area;
        BOOL round;
        bool ok;
    } cases[] = {
        {{200, 200, 202, 300}, TRUE, false},   // 2 wide rounds to 0
        {{200, 200, 203, 300}, TRUE, true},    // 3 wide rounds up to 4
        {{200, 200, 201, 300}, FALSE, false},
        {{-50, -50, -10, -10}, FALSE, false},  // off the desktop
    };
    for (const Case& c : cases) {
        App().ClearBoxes();
        std::unique_ptr<CRecorderPrefs> prefs = MakePrefs(m_dir.Path(), kFourccDib);
        prefs->m_roundFrameSize = c.round;
        prefs->m_pauseOnStart = TRUE;
        MainWindowDouble main;
        std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
        RECT area = c.area;
        EXPECT_EQ(c.ok, engine->PrepareRecording(&area) != FALSE) << c.area.left << "," << c.area.right;
        if (!c.ok) {
            ASSERT_EQ(1u, App().Boxes().size());
            CString text;
            text.LoadString(IDS_AREA_TOO_SMALL);
            EXPECT_EQ(std::string((LPCSTR)text), App().Boxes()[0]);
            continue;
        }
        EXPECT_EQ(4, engine->GetRequestedArea().width);
        engine->RequestStop();
        ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 10000));
    }
}

// The focus frame surrounds the area with a 5-pixel band and covers none of
// its pixels.
TEST_F(EngineTest, FocusFrameSurroundsTheArea)
{
    std::unique_ptr<CRecorderPrefs> prefs = MakePrefs(m_dir.Path(), kFourccDib);
    prefs->m_pauseOnStart = TRUE;
    prefs->m_solidRect = TRUE;
    MainWindowDouble main;
    std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
    RECT area = kArea;
    ASSERT_TRUE(engine->PrepareRecording(&area));
    CVideoFocusWnd* frame = engine->GetFocusFrame();
    ASSERT_TRUE(frame && frame->GetSafeHwnd());
    EXPECT_TRUE(::IsWindowVisible(frame->GetSafeHwnd()));
    RECT r;
    ::GetWindowRect(frame->GetSafeHwnd(), &r);
    EXPECT_EQ(kArea.left - 5, r.left);
    EXPECT_EQ(kArea.top - 5, r.top);
    EXPECT_EQ(kArea.right + 5, r.right);
    EXPECT_EQ(kArea.bottom + 5, r.bottom);
    EXPECT_TRUE(::GetWindowLongA(frame->GetSafeHwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(ERROR, ::GetWindowRgn(frame->GetSafeHwnd(), region));
    EXPECT_TRUE(::PtInRegion(region, 2, 2));
    EXPECT_TRUE(::PtInRegion(region, 165, 2));
    EXPECT_FALSE(::PtInRegion(region, 5, 5)) << "the area's own pixels stay uncovered";
    EXPECT_FALSE(::PtInRegion(region, 165, 125));
    ::DeleteObject(region);
    engine->RequestStop();
    ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 10000));
    EXPECT_TRUE(PumpUntil([&] { return !::IsWindowVisible(frame->GetSafeHwnd()); }, 3000))
        << "hidden at the end of the recording";
}

TEST(FocusFrameRegion, CornerMarksAndClosedBands)
{
    struct Case {
        int w, h;
        BOOL solid;
        POINT in[3];
        POINT out[3];
    } cases[] = {
        // A 30 x 30 area: 40 x 40, a closed band.
        {40, 40, FALSE, {{20, 2}, {2, 20}, {38, 20}}, {{20, 20}, {5, 5}, {34, 34}}},
        // A 200 x 100 area, corner marks: 30 and 20 pixels along each edge.
        {210, 110, FALSE, {{29, 2}, {195, 2}, {2, 29}}, {{30, 2}, {189, 2}, {2, 30}}},
        {210, 110, TRUE, {{100, 2}, {2, 50}, {207, 50}}, {{100, 50}, {6, 6}, {100, 104}}},
    };
    for (const Case& c : cases) {
        HRGN region = CVideoFocusWnd::CreateBandRegion(c.w, c.h, 5, c.solid);
        for (const POINT& p : c.in)
            EXPECT_TRUE(::PtInRegion(region, p.x, p.y)) << c.w << "x" << c.h << " " << p.x << "," << p.y;
        for (const POINT& p : c.out)
            EXPECT_FALSE(::PtInRegion(region, p.x, p.y)) << c.w << "x" << c.h << " " << p.x << "," << p.y;
        ::DeleteObject(region);
    }
}

// Zoom commands move the requested area; toggling returns to the base area.
TEST_F(EngineTest, ZoomCommandsSetTheRequestedArea)
{
    std::unique_ptr<CRecorderPrefs> prefs = MakePrefs(m_dir.Path(), kFourccDib);
    prefs->m_pauseOnStart = TRUE;
    MainWindowDouble main;
    std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
    RECT area = kArea;
    ASSERT_TRUE(engine->PrepareRecording(&area));
    EXPECT_TRUE(engine->SetZoomFactor(0.5f));
    CaptureArea a = engine->GetRequestedArea();
    EXPECT_EQ(150, a.left);
    EXPECT_EQ(160, a.width);
    EXPECT_EQ(120, a.height);
    EXPECT_FLOAT_EQ(0.5f, engine->GetZoomFactor());
    EXPECT_FALSE(engine->SetZoomFactor(100.0f)) << "larger than the desktop";
    EXPECT_FLOAT_EQ(1.0f, engine->ToggleZoom());
    a = engine->GetRequestedArea();
    EXPECT_EQ(320, a.width);
    EXPECT_EQ(240, a.height);
    const RECT pick = {400, 300, 560, 400};
    EXPECT_FLOAT_EQ(0.5f, engine->ZoomToRect(&pick));
    a = engine->GetRequestedArea();
    EXPECT_EQ(400, a.left);
    EXPECT_EQ(160, a.width);
    EXPECT_EQ(120, a.height);
    engine->RequestStop();
    ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 10000));
}

// Auto pan follows the cursor: with the cursor far to the right the area
// moves right, by at most the pan speed per 40 ms tick, and stays on the desktop.
TEST_F(EngineTest, AutoPanFollowsTheCursor)
{
    std::unique_ptr<CRecorderPrefs> prefs = MakePrefs(m_dir.Path(), kFourccDib);
    prefs->m_autoPan = TRUE;
    prefs->m_autoPanSpeed = 10;
    MainWindowDouble main;
    std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
    ::SetCursorPos(300, 270);   // inside the middle half: calm
    RECT area = kArea;
    ASSERT_TRUE(engine->PrepareRecording(&area));
    ASSERT_TRUE(PumpUntil([&] { return engine->GetCapturedFrames() >= 1; }, 5000));
    Pump(200);
    EXPECT_EQ(150, engine->GetRequestedArea().left);
    ::SetCursorPos(1900, 270);
    ASSERT_TRUE(PumpUntil([&] { return engine->GetRequestedArea().left >= 200; }, 5000));
    const CaptureArea moved = engine->GetRequestedArea();
    EXPECT_EQ(150, moved.top);
    // The next frame grabbed takes the moved area (a loaded machine may take
    // a while to grab it).
    EXPECT_TRUE(PumpUntil([&] { return engine->GetAppliedArea().left > 150; }, 5000))
        << "the frames followed the area";
    ::SetCursorPos(300, 270);
    engine->RequestStop();
    ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 10000));
}

// Grabber mode: a thread of its own grabs; the frames are still the screen's.
TEST_F(EngineTest, GrabberModeRecordsTheScreen)
{
    std::unique_ptr<CRecorderPrefs> prefs = MakePrefs(m_dir.Path(), kFourccDib);
    prefs->m_useGrabberThread = 1;
    MainWindowDouble main;
    std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
    RECT area = kArea;
    ASSERT_TRUE(engine->PrepareRecording(&area));
    ASSERT_TRUE(PumpUntil([&] { return engine->GetCapturedFrames() >= 5; }, 8000));
    engine->RequestStop();
    ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 10000));
    EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
    const std::string path = (LPCSTR)engine->GetScreenFileName();
    std::string out;
    ASSERT_EQ(0, RunHost("ffmpeg -v error -i '" + UnixPath(path) +
                             "' -f rawvideo -pix_fmt rgb24 - | od -An -v -tu1 -w3 | sort | uniq -c",
                         &out));
    std::istringstream colours(out);
    int count = 0, r = -1, g = -1, b = -1;
    colours >> count >> r >> g >> b;
    EXPECT_EQ(255, r) << out;
    EXPECT_EQ(0, g) << out;
    EXPECT_EQ(0, b) << out;
    std::string rest;
    std::getline(colours, rest);
    EXPECT_FALSE(std::getline(colours, rest)) << "one colour only:\n" << out;
}

// Grabber mode draws the cursor over the grabbed screen when it is inside
// the area: the frames hold the red window and the cursor's own pixels,
// around the cursor's place only.
TEST_F(EngineTest, GrabberModeDrawsTheCursorInsideTheArea)
{
    std::unique_ptr<CRecorderPrefs> prefs = MakePrefs(m_dir.Path(), kFourccDib);
    prefs->m_useGrabberThread = 1;
    prefs->m_customCursor = TRUE;
    prefs->m_cursor = ::LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    prefs->m_cursorHotX = 0;
    prefs->m_cursorHotY = 0;
    ASSERT_TRUE(prefs->m_cursor != NULL);
    const POINT at = {300, 270};   // (150, 120) in the frame
    ::SetCursorPos(at.x, at.y);
    MainWindowDouble main;
    std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
    RECT area = kArea;
    ASSERT_TRUE(engine->PrepareRecording(&area));
    ASSERT_TRUE(PumpUntil([&] { return engine->GetCapturedFrames() >= 5; }, 8000));
    engine->RequestStop();
    ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 10000));
    ::SetCursorPos(kOutside.x, kOutside.y);
    EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
    // Every pixel that is not red, with its place in the last frame: x y.
    const std::string path = (LPCSTR)engine->GetScreenFileName();
    std::string out;
    ASSERT_EQ(0, RunHost("ffmpeg -v error -i '" + UnixPath(path) +
                             "' -vf reverse,trim=end_frame=1 -f rawvideo -pix_fmt rgb24 - | od -An -v -tu1 -w3 |"
                             " awk '$1 != 255 || $2 != 0 || $3 != 0 { print (NR - 1) % 320, int((NR - 1) / 320) }'",
                         &out));
    std::istringstream places(out);
    int x = 0, y = 0, count = 0;
    while (places >> x >> y) {
        ++count;
        EXPECT_TRUE(x >= 150 && x < 150 + 32 && y >= 120 && y < 120 + 32) << x << "," << y;
    }
    EXPECT_GT(count, 20) << "the cursor is drawn";
}

// The UI thread keeps taking the area lock for zoom commands while the
// capture thread starts and runs animated zoom transitions, which hide the
// focus frame (a window of the UI thread) under that lock. The UI thread does
// not pump meanwhile: a synchronous window call from the capture thread would
// dead-lock both, so every command must come back.
TEST_F(EngineTest, ZoomTransitionsNeverWaitForTheUiThread)
{
    std::unique_ptr<CRecorderPrefs> prefs = MakePrefs(m_dir.Path(), kFourccDib);
    prefs->m_autoZoom = TRUE;
    prefs->m_autoZoomSpeed = 300;
    prefs->m_roundFrameSize = FALSE;
    MainWindowDouble main;
    std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
    RECT area = kArea;
    ASSERT_TRUE(engine->PrepareRecording(&area));
    ASSERT_TRUE(PumpUntil([&] { return engine->GetCapturedFrames() >= 2; }, 5000));
    const DWORD start = GetTickCount();
    int calls = 0;
    DWORD slowest = 0;
    while (GetTickCount() - start < 3000) {   // no message pumping in this loop
        const DWORD before = GetTickCount();
        // Mostly shrinking steps: the visible frame is hidden by each
        // transition's start, and no growing area makes the UI thread wait.
        engine->SetZoomFactor(1.0f - 0.02f * (float)(calls % 30));
        const DWORD took = GetTickCount() - before;
        slowest = took > slowest ? took : slowest;
        ++calls;
        Sleep(20);
    }
    EXPECT_GT(calls, 20);
    EXPECT_LT(slowest, 1500u);
    Pump(500);
    engine->RequestStop();
    ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 10000));
    EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
}

// Live mode takes its size from the live-output header when a consumer has
// published a format, 320 x 240 otherwise; the header is only opened. None of
// these headers names a frame mapping that exists, so the recording runs,
// writes nothing and ends when stopped.
TEST_F(EngineTest, LiveModeTakesItsSizeFromTheHeader)
{
    struct Case {
        bool header;
        int32_t valid, width, height;
        int expectedWidth, expectedHeight;
    } cases[] = {
        {false, 0, 0, 0, 320, 240},
        {true, 0, 640, 480, 320, 240},       // format not complete yet
        {true, 1, 176, 144, 176, 144},
        {true, 1, 100000, 144, 320, 240},    // out of reason: not followed
    };
    for (const Case& c : cases) {
        HANDLE map = NULL;
        if (c.header) {
            map = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, sizeof(LiveOutputHeader),
                                     LIVE_OUTPUT_HEADER_NAME);
            ASSERT_TRUE(map != NULL);
            LiveOutputHeader* h = (LiveOutputHeader*)MapViewOfFile(map, FILE_MAP_ALL_ACCESS, 0, 0, 0);
            h->width = c.width;
            h->height = c.height;
            h->bitCount = 24;
            h->imageSize = (DWORD)(((24 * c.width + 31) / 32) * 4 * c.height);
            strcpy(h->frameMappingName, "SS_LIVE_MMF_NAME_TEST");
            h->headerValid = c.valid;
            UnmapViewOfFile(h);
        }
        App().ClearBoxes();
        std::unique_ptr<CRecorderPrefs> prefs = MakePrefs(m_dir.Path(), kFourccDib);
        MainWindowDouble main;
        std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
        engine->SetLive(TRUE, FALSE);
        RECT ignored = {0, 0, 5, 5};
        ASSERT_TRUE(engine->PrepareRecording(&ignored));
        EXPECT_EQ(c.expectedWidth, engine->GetOutputWidth()) << c.width << " valid " << c.valid;
        EXPECT_EQ(c.expectedHeight, engine->GetOutputHeight()) << c.width << " valid " << c.valid;
        ASSERT_TRUE(PumpUntil([&] { return main.First(WM_RECORDER_STATE) == 1; }, 10000));
        engine->RequestStop();
        ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 10000));
        EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED)) << c.width << " valid " << c.valid;
        EXPECT_TRUE(App().Boxes().empty());
        EXPECT_FALSE(engine->HasFramesWritten());
        engine.reset();
        if (map)
            CloseHandle(map);
    }
}
