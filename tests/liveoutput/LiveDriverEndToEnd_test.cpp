// Live output end to end: the Zentivo capture driver of this build, loaded
// through winmm by the test as a capture program loads it, publishes its
// format; the recorder engine in live mode (alone, or started by the real
// main window) writes the composed frames, which reach the program's stream
// buffers and single frames byte for byte; a size switch by the program ends
// the recording with failure 2 and the main window starts a new live engine
// at the new size.
#include "app/MainFrame.h"

#include "app/AppMessages.h"
#include "capture/RecorderEngine.h"
#include "capture/RecorderWindow.h"
#include "settings/RecorderPrefs.h"
#include "tests/capture/CaptureTestSupport.h"
#include "tests/support/TestSupport.h"
#include "LiveOutputTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace capturetest;
using namespace livetest;
using drivertest::DriverChannel;
using testsupport::ScratchDir;

namespace {

const DWORD kDvErrOk = 0;

bool Black(const std::vector<BYTE>& frame)
{
    for (BYTE b : frame) {
        if (b != 0)
            return false;
    }
    return true;
}

class LiveDriverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App().ClearBoxes();
        ASSERT_FALSE(LiveHeaderExists()) << "another live-output header is open";
        StoreDriverSettings(24);
    }
    void TearDown() override
    {
        EXPECT_FALSE(LiveHeaderExists()) << "the test left the header open";
        EXPECT_TRUE(::GetModuleHandleW(L"Zentivo.dll") == NULL) << "the test left the driver loaded";
    }

    // Single frames from the driver until one holds a picture; that frame,
    // or an empty vector after the timeout.
    static std::vector<BYTE> GrabPicture(const DriverChannel& client, DWORD timeoutMs = 10000)
    {
        std::vector<BYTE> frame;
        const bool got = PumpUntil(
            [&] {
                frame.clear();
                VIDEOHDR header;
                if (client.GrabFrame(&frame, &header) != kDvErrOk)
                    return false;
                if (header.dwBytesUsed < frame.size())
                    frame.resize(header.dwBytesUsed);
                return !frame.empty() && !Black(frame);
            },
            timeoutMs);
        return got ? frame : std::vector<BYTE>();
    }

    // The main window of the program, created as the program creates it,
    // with live output chosen in its preferences.
    CMainFrame* MakeLiveMainWindow()
    {
        IMainWindowStart* start = CMainFrame::Make(NULL, "Vexcap live test");
        if (!start)
            return NULL;
        CMainFrame* frame = static_cast<CMainFrame*>(start);
        std::unique_ptr<CRecorderPrefs> live = MakeLivePrefs(m_dir.Path());
        CRecorderPrefs* prefs = frame->GetPrefs();
        prefs->m_tempDir = live->m_tempDir;
        prefs->m_output = 1;
        prefs->m_liveRate = live->m_liveRate;
        prefs->m_autoConfig = FALSE;
        prefs->m_minimize = FALSE;
        prefs->m_pauseOnStart = FALSE;
        prefs->m_recordAudio = FALSE;
        prefs->m_zoomInitialLevel = 100;
        prefs->m_capture32BitAs24Bit = TRUE;
        QuietAnnotations(prefs);
        return frame;
    }

    ScratchDir m_dir{"vxlivedrv"};
};

}  // namespace

// The driver asks for 320 x 240 at 24 bits; the engine records at that size
// and every picture in the program's stream buffers is the composed frame
// (here the screen's top-left corner, nothing drawn over it) byte for byte.
// Then the program switches to 176 x 144: the recording ends with 0x4CA and
// wParam 2, and no message is shown.
TEST_F(LiveDriverTest, StreamBuffersGetTheComposedFramesUntilTheProgramSwitchesSize)
{
    PatternWindow pattern(320, 240);
    ASSERT_TRUE(pattern.WaitShown()) << "the picture must be on the screen";
    const std::vector<BYTE> expected = PatternRows24(320, 240);

    DriverChannel client(VIDEO_IN);
    ASSERT_TRUE(client.IsOpen()) << "the driver must open as a capture device";
    const BITMAPINFOHEADER format = client.Format();
    ASSERT_EQ(320, format.biWidth);
    ASSERT_EQ(240, format.biHeight);
    ASSERT_EQ(24, format.biBitCount);
    ASSERT_TRUE(LiveHeaderExists()) << "opening the capture channel publishes the header";
    ASSERT_EQ(kDvErrOk, (DWORD)client.StartStream(4, 100000));

    std::unique_ptr<CRecorderPrefs> prefs = MakeLivePrefs(m_dir.Path());
    prefs->m_capture32BitAs24Bit = TRUE;
    MainWindowDouble main;
    std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
    engine->SetLive(TRUE, FALSE);
    RECT ignored = {0, 0, 0, 0};
    ASSERT_TRUE(engine->PrepareRecording(&ignored));
    EXPECT_EQ(320, engine->GetOutputWidth());
    EXPECT_EQ(240, engine->GetOutputHeight());

    std::vector<std::vector<BYTE>> pictures;
    PumpUntil(
        [&] {
            for (std::vector<BYTE>& p : client.Collect())
                pictures.push_back(std::move(p));
            return pictures.size() >= 5 || main.Count(WM_RECORDER_FINISHED) > 0;
        },
        15000);
    ASSERT_GE(pictures.size(), 5u) << "the stream must deliver the recorder's frames";
    for (size_t i = 0; i < pictures.size(); ++i)
        EXPECT_EQ("", FirstDifference(expected, pictures[i].data(), pictures[i].size())) << "picture " << i;
    EXPECT_EQ(0, main.Count(WM_RECORDER_FINISHED));

    client.EndStream();
    ASSERT_EQ(kDvErrOk, (DWORD)client.SetFormat(176, 144, 24));
    std::vector<BYTE> frame;
    client.GrabFrame(&frame);   // the driver publishes its new format at a frame request
    ASSERT_TRUE(PumpUntil([&] { return main.Count(WM_RECORDER_FINISHED) > 0; }, 10000))
        << "the recording must end";
    EXPECT_EQ(2, main.First(WM_RECORDER_FINISHED));
    EXPECT_TRUE(App().Boxes().empty());
    engine.reset();
}

// The real main window: Record in live mode starts a live engine at the
// driver's size; when the program switches size the window starts a new live
// engine at once, whose frames the program then gets at the new size; Stop
// ends it and the window is idle.
TEST_F(LiveDriverTest, MainWindowStartsANewLiveEngineAtTheNewSize)
{
    PatternWindow pattern(320, 240);
    ASSERT_TRUE(pattern.WaitShown()) << "the picture must be on the screen";
    DriverChannel client(VIDEO_IN);
    ASSERT_TRUE(client.IsOpen());

    CMainFrame* frame = MakeLiveMainWindow();
    ASSERT_TRUE(frame != NULL);
    const HWND hwnd = frame->GetSafeHwnd();
    ASSERT_TRUE(frame->Record());
    ASSERT_TRUE(frame->GetEngine() != NULL);
    EXPECT_TRUE(frame->GetEngine()->IsLive());
    EXPECT_EQ(320, frame->GetEngine()->GetOutputWidth());
    EXPECT_EQ(240, frame->GetEngine()->GetOutputHeight());

    std::vector<BYTE> picture = GrabPicture(client);
    ASSERT_FALSE(picture.empty()) << "the driver must deliver the recorder's frame";
    EXPECT_EQ("", FirstDifference(PatternRows24(320, 240), picture.data(), picture.size()));

    ASSERT_EQ(kDvErrOk, (DWORD)client.SetFormat(176, 144, 24));
    std::vector<BYTE> republish;
    client.GrabFrame(&republish);
    ASSERT_TRUE(PumpUntil(
        [&] {
            CRecorderEngine* engine = frame->GetEngine();
            return engine && engine->GetOutputWidth() == 176 && engine->GetOutputHeight() == 144;
        },
        10000))
        << "a new live engine must start at the program's new size";
    EXPECT_TRUE(frame->GetEngine()->IsLive());

    picture = GrabPicture(client);
    ASSERT_FALSE(picture.empty()) << "the new engine's frames must reach the program";
    EXPECT_EQ("", FirstDifference(PatternRows24(176, 144), picture.data(), picture.size()));
    EXPECT_TRUE(PumpUntil([&] { return frame->GetRecordState() == 1; }, 5000));

    ASSERT_TRUE(frame->Stop());
    ASSERT_TRUE(PumpUntil([&] { return frame->GetEngine() == NULL; }, 10000)) << "Stop must end the engine";
    EXPECT_EQ(0, frame->GetRecordState());
    EXPECT_TRUE(App().Boxes().empty());
    ::DestroyWindow(hwnd);
    Pump(50);
}

// An exit asked for while the program switches size: the window closes as
// asked instead of starting one more live engine that would keep it open.
TEST_F(LiveDriverTest, AnExitWaitingWhenTheSizeChangesClosesTheWindow)
{
    DriverChannel client(VIDEO_IN);
    ASSERT_TRUE(client.IsOpen());
    CMainFrame* frame = MakeLiveMainWindow();
    ASSERT_TRUE(frame != NULL);
    const HWND hwnd = frame->GetSafeHwnd();
    ASSERT_TRUE(frame->Record());
    CRecorderEngine* engine = frame->GetEngine();
    ASSERT_TRUE(engine != NULL);
    ASSERT_TRUE(PumpUntil([&] { return frame->GetRecordState() == 1; }, 10000));

    // The engine ends with failure 2 before the window sees the exit request
    // or the end message: meanwhile only messages sent to this thread are
    // answered (the engine sets the window's title from its thread), posted
    // ones stay queued.
    ASSERT_EQ(kDvErrOk, (DWORD)client.SetFormat(176, 144, 24));
    std::vector<BYTE> republish;
    client.GrabFrame(&republish);
    const DWORD start = ::GetTickCount();
    while (engine->GetLastResult() != 2 && ::GetTickCount() - start < 10000) {
        MSG msg;
        ::PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        ::MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_SENDMESSAGE);
    }
    ASSERT_EQ(2, engine->GetLastResult());
    ::SendMessageA(hwnd, WM_APP_EXIT, 0, 0);

    EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(hwnd); }, 10000)) << "the window must close";
    if (::IsWindow(hwnd)) {
        frame->Stop();
        PumpUntil([&] { return frame->GetEngine() == NULL; }, 10000);
        ::DestroyWindow(hwnd);
    }
    EXPECT_TRUE(App().Boxes().empty());
}
