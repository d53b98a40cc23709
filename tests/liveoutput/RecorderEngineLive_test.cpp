// The recorder engine's live-output writer, driven by a real live recording
// of the screen, against a header and frame mapping that the test makes in
// place of the capture driver: what it writes, when it writes nothing, the
// size switch, the depth conversions and headers that lie.
#include "capture/RecorderEngine.h"

#include "capture/LiveOutputHeader.h"
#include "capture/RecorderWindow.h"
#include "resources/ids_live.h"
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
using testsupport::ScratchDir;

namespace {

const DWORD kFrame24 = 320 * 240 * 3;   // 230400: the rows need no padding
const BYTE kUntouched = 0xCD;
const uint16_t kReadySentinel = 0x5A5A;

class LiveWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App().ClearBoxes();
        ASSERT_FALSE(LiveHeaderExists()) << "another live-output header is open";
    }
    void TearDown() override { EXPECT_FALSE(LiveHeaderExists()) << "the test left the header open"; }

    // Starts a live engine and waits until its capture began.
    std::unique_ptr<CRecorderEngine> StartLive(CRecorderPrefs* prefs, MainWindowDouble& main)
    {
        std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs, &main, NULL));
        engine->SetLive(TRUE, FALSE);
        RECT ignored = {40, 40, 60, 60};
        if (!engine->PrepareRecording(&ignored))
            return nullptr;
        PumpUntil([&] { return main.First(WM_RECORDER_STATE) == 1 || Finished(main); }, 10000);
        return engine;
    }

    // Stops a running engine; its end message must come.
    static void StopAndWait(CRecorderEngine& engine, MainWindowDouble& main)
    {
        engine.RequestStop();
        ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 10000)) << "the recording must end";
    }

    ScratchDir m_dir{"vxlive"};
};

}  // namespace

// With no driver, or a driver that has not published a complete format, or a
// frame mapping that cannot be found, every frame is dropped without a
// failure and nothing of the driver's memory is written.
TEST_F(LiveWriterTest, WithNothingToWriteToTheRecordingRunsAndTouchesNothing)
{
    struct Case {
        const char* name;
        bool header;
        int32_t valid;
        std::string frameName;
        DWORD mappingBytes;
    } cases[] = {
        {"no driver", false, 0, "", 0},
        {"format not complete", true, 0, FakeLiveDriver::FrameName(kFrame24), kFrame24},
        {"frame mapping missing", true, 1, "SS_LIVE_MMF_NAME_NOWHERE", 0},
        {"name without its terminator", true, 1, std::string(256, 'A'), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        App().ClearBoxes();
        std::unique_ptr<FakeLiveDriver> driver;
        if (c.header) {
            driver.reset(new FakeLiveDriver);
            ASSERT_TRUE(driver->Publish(320, 240, 24, kFrame24, c.frameName, c.mappingBytes, kUntouched, c.valid));
            driver->SetFrameReady(kReadySentinel);
        }
        std::unique_ptr<CRecorderPrefs> prefs = MakeLivePrefs(m_dir.Path());
        MainWindowDouble main;
        std::unique_ptr<CRecorderEngine> engine = StartLive(prefs.get(), main);
        ASSERT_TRUE(engine);
        EXPECT_EQ(1, main.First(WM_RECORDER_STATE));
        EXPECT_EQ(320, engine->GetOutputWidth());
        EXPECT_EQ(240, engine->GetOutputHeight());
        Pump(1000);   // ten frame ticks at 10 frames per second
        EXPECT_FALSE(Finished(main)) << "dropping frames is no failure";
        if (driver) {
            EXPECT_EQ(kReadySentinel, driver->FrameReady());
            EXPECT_TRUE(driver->FrameAll(kUntouched));
        }
        StopAndWait(*engine, main);
        EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
        EXPECT_TRUE(App().Boxes().empty());
        EXPECT_FALSE(engine->HasFramesWritten()) << "a live recording leaves nothing to save";
        engine.reset();
        if (!c.header) {
            EXPECT_FALSE(LiveHeaderExists()) << "the recorder never creates the header";
        }
    }
}

// The same depth: the frame's pixel rows exactly, and frame-ready 1 only once
// the rows are complete. A reader on another thread, as the driver reads from
// another process, checks the frame the moment it sees the flag.
TEST_F(LiveWriterTest, SameDepthIsCopiedExactlyAndFlaggedAfterThePixels)
{
    PatternWindow pattern(320, 240);
    ASSERT_TRUE(pattern.WaitShown()) << "the picture must be on the screen";
    const std::vector<BYTE> expected = PatternRows24(320, 240);
    FakeLiveDriver driver;
    ASSERT_TRUE(driver.Publish(320, 240, 24, kFrame24, FakeLiveDriver::FrameName(kFrame24), kFrame24, kUntouched));

    struct Reader {
        FakeLiveDriver* driver;
        const std::vector<BYTE>* expected;
        volatile LONG stop;
        std::string seen;   // the difference found when the flag rose
        bool flagSeen;
        static DWORD WINAPI Run(LPVOID p)
        {
            Reader* r = (Reader*)p;
            while (!r->stop) {
                if (r->driver->FrameReady() == 1) {
                    ::MemoryBarrier();
                    r->flagSeen = true;
                    // From the end: a copy still running has not reached it.
                    const BYTE* frame = r->driver->Frame();
                    for (size_t i = r->expected->size(); i-- > 0;) {
                        if (frame[i] != (*r->expected)[i]) {
                            r->seen = "byte " + std::to_string(i) + " not written yet";
                            break;
                        }
                    }
                    return 0;
                }
            }
            return 0;
        }
    } reader = {&driver, &expected, 0, "", false};
    HANDLE thread = ::CreateThread(NULL, 0, Reader::Run, &reader, 0, NULL);
    ASSERT_TRUE(thread != NULL);

    std::unique_ptr<CRecorderPrefs> prefs = MakeLivePrefs(m_dir.Path());
    prefs->m_capture32BitAs24Bit = TRUE;
    MainWindowDouble main;
    std::unique_ptr<CRecorderEngine> engine = StartLive(prefs.get(), main);
    ASSERT_TRUE(engine);
    // The reader ends once it saw the flag.
    PumpUntil([&] { return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, 10000);
    const bool ready = driver.FrameReady() == 1;
    ::InterlockedExchange(&reader.stop, 1);
    ::WaitForSingleObject(thread, 5000);
    ::CloseHandle(thread);
    ASSERT_TRUE(ready) << "a frame must be written";
    EXPECT_EQ(24, main.BitDepth()) << "the frames are 24-bit, as the driver asks";
    EXPECT_TRUE(reader.flagSeen);
    EXPECT_EQ("", reader.seen) << "the flag rose before the frame was complete";
    EXPECT_EQ("", FirstDifference(expected, driver.Frame(), driver.FrameBytes()));
    EXPECT_FALSE(Finished(main));

    StopAndWait(*engine, main);
    EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
    EXPECT_EQ(0, driver.FrameReady()) << "a stop clears frame-ready";
    EXPECT_TRUE(App().Boxes().empty());
}

// Another depth: the frame is converted first. Two colours side by side
// show where each pixel lands, so a colour table copied as pixels, or rows
// of the wrong length, move the boundary. The 8-bit output uses the palette
// whose entries 0-9 and 245-254 are the system's static colours; the colours
// used here are among those and in no colour cube.
TEST_F(LiveWriterTest, OtherDepthsAreConvertedPixelForPixel)
{
    struct Case {
        const char* name;
        BOOL frameAs24;     // 32-bit screens recorded as 24-bit
        int frameBits;
        uint16_t wanted;
        COLORREF left, right;
        std::vector<BYTE> leftPixel, rightPixel;   // the leading bytes of each pixel
    } cases[] = {
        {"24 to 16", TRUE, 24, 16, RGB(255, 0, 0), RGB(0, 255, 0), {0x00, 0x7C}, {0xE0, 0x03}},
        {"24 to 32", TRUE, 24, 32, RGB(255, 0, 0), RGB(0, 0, 255), {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0x00}},
        {"32 to 8", FALSE, 32, 8, RGB(255, 251, 240), RGB(192, 220, 192), {245}, {8}},
        {"24 to 8", TRUE, 24, 8, RGB(166, 202, 240), RGB(160, 160, 164), {9}, {246}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        App().ClearBoxes();
        ColourWindow left(RECT{0, 0, 160, 240}, c.left);
        ColourWindow right(RECT{160, 0, 320, 240}, c.right);
        ASSERT_TRUE(PumpUntil([&] { return ScreenPixel(10, 10) == c.left && ScreenPixel(300, 230) == c.right; },
                              5000));
        const DWORD imageSize = DibBytes(320, 240, c.wanted);
        FakeLiveDriver driver;
        ASSERT_TRUE(driver.Publish(320, 240, c.wanted, imageSize, FakeLiveDriver::FrameName(imageSize), imageSize,
                                   kUntouched));
        std::unique_ptr<CRecorderPrefs> prefs = MakeLivePrefs(m_dir.Path());
        prefs->m_capture32BitAs24Bit = c.frameAs24;
        MainWindowDouble main;
        std::unique_ptr<CRecorderEngine> engine = StartLive(prefs.get(), main);
        ASSERT_TRUE(engine);
        const bool ready = PumpUntil([&] { return driver.FrameReady() == 1 || Finished(main); }, 10000);
        EXPECT_TRUE(ready && driver.FrameReady() == 1) << "a frame must be written";
        EXPECT_EQ(c.frameBits, main.BitDepth());

        const int bytesPerPixel = c.wanted / 8;
        const DWORD stride = DibBytes(320, 1, c.wanted);
        std::string bad;
        for (int row = 0; row < 240 && bad.empty(); ++row) {
            for (int x = 0; x < 320 && bad.empty(); ++x) {
                const std::vector<BYTE>& want = x < 160 ? c.leftPixel : c.rightPixel;
                const BYTE* got = driver.Frame() + row * stride + x * bytesPerPixel;
                if (memcmp(got, want.data(), want.size()) != 0)
                    bad = "row " + std::to_string(row) + " x " + std::to_string(x) + " first byte " +
                          std::to_string(got[0]);
            }
        }
        EXPECT_EQ("", bad);
        StopAndWait(*engine, main);
        EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
        EXPECT_TRUE(App().Boxes().empty());
    }
}

// The driver switches to another format while recording: the writer clears
// frame-ready (the driver's rewrite here leaves it at 1 on purpose) and the
// recording ends with failure 2, which tells the main window to start a new
// live engine; no message is shown.
TEST_F(LiveWriterTest, AnotherSizeClearsFrameReadyAndEndsWithTwo)
{
    struct Case {
        const char* name;
        int32_t width, height;
        uint16_t bitCount;
    } cases[] = {
        {"smaller", 176, 144, 24},
        {"larger", 640, 480, 24},
        {"another depth, so another image size", 320, 240, 32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        App().ClearBoxes();
        FakeLiveDriver driver;
        ASSERT_TRUE(
            driver.Publish(320, 240, 24, kFrame24, FakeLiveDriver::FrameName(kFrame24), kFrame24, kUntouched));
        std::unique_ptr<CRecorderPrefs> prefs = MakeLivePrefs(m_dir.Path());
        MainWindowDouble main;
        std::unique_ptr<CRecorderEngine> engine = StartLive(prefs.get(), main);
        ASSERT_TRUE(engine);
        ASSERT_TRUE(PumpUntil([&] { return driver.FrameReady() == 1; }, 10000));
        const DWORD imageSize = DibBytes(c.width, c.height, c.bitCount);
        ASSERT_TRUE(driver.Publish(c.width, c.height, c.bitCount, imageSize, FakeLiveDriver::FrameName(imageSize),
                                   imageSize, kUntouched));
        ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 10000)) << "the recording must end";
        EXPECT_EQ(2, main.First(WM_RECORDER_FINISHED));
        EXPECT_EQ(0, driver.FrameReady());
        EXPECT_TRUE(driver.FrameAll(kUntouched)) << "the new frame mapping is not written";
        EXPECT_TRUE(App().Boxes().empty());
        EXPECT_FALSE(engine->HasFramesWritten());
    }
}

// Headers whose sizes do not add up, name a depth the writer cannot make,
// promise more bytes than the frame mapping has, or a size no screen grab
// can fill: the recording ends with a message that shows the format, and not
// a byte is read or written past a buffer (the process would not survive).
TEST_F(LiveWriterTest, HeadersThatLieEndTheRecordingWithAMessage)
{
    struct Case {
        const char* name;
        int32_t width, height;
        uint16_t bitCount;
        uint32_t imageSize;
        DWORD mappingBytes;
    } cases[] = {
        {"unsupported depth", 320, 240, 7, DibBytes(320, 240, 7), 4096},
        {"image size beyond the rows", 320, 240, 24, 1000000, 1000000},
        {"image size short of the rows", 320, 240, 24, 1000, 4096},
        {"frame mapping smaller than the image", 320, 240, 24, kFrame24, 4096},
        {"negative height", 320, -240, 24, kFrame24, kFrame24},
        {"larger than the screen", 4000, 3000, 24, DibBytes(4000, 3000, 24), 4096},
    };
    CString format;
    format.LoadString(IDS_LIVE_FORMAT_INVALID);
    const std::string prefix((LPCSTR)format.Left(format.Find(':')));
    ASSERT_FALSE(prefix.empty());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        App().ClearBoxes();
        FakeLiveDriver driver;
        ASSERT_TRUE(driver.Publish(c.width, c.height, c.bitCount, c.imageSize,
                                   FakeLiveDriver::FrameName(c.imageSize), c.mappingBytes, kUntouched));
        driver.SetFrameReady(kReadySentinel);
        std::unique_ptr<CRecorderPrefs> prefs = MakeLivePrefs(m_dir.Path());
        MainWindowDouble main;
        std::unique_ptr<CRecorderEngine> engine = StartLive(prefs.get(), main);
        ASSERT_TRUE(engine);
        ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 10000)) << "the recording must end";
        EXPECT_EQ(1, main.First(WM_RECORDER_FINISHED));
        const std::vector<std::string> boxes = App().Boxes();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(0u, boxes[0].find(prefix)) << boxes[0];
        EXPECT_TRUE(driver.FrameAll(kUntouched));
        EXPECT_EQ(kReadySentinel, driver.FrameReady());
    }
}
