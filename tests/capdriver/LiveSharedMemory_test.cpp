// The live-output mappings between the driver and the recorder: the header the
// driver publishes, frames written by the recorder (in this process, and in a
// second process), black frames while nothing feeds the driver, and headers
// that another process damaged.
#include "DriverTestFixture.h"

#include <string.h>

using namespace captest;

namespace {

class LiveSharedMemoryTest : public DriverTest {};

bool AllBytes(const std::vector<BYTE>& frame, DWORD size, BYTE value)
{
    for (DWORD i = 0; i < size; ++i) {
        if (frame[i] != value)
            return false;
    }
    return true;
}

void ExpectHeader(const LiveOutputHeader* header, LONG width, LONG height, WORD bits, const char* context)
{
    const DWORD size = FrameBytes(width, height, bits);
    EXPECT_EQ(width, header->width) << context;
    EXPECT_EQ(height, header->height) << context;
    EXPECT_EQ(bits, header->bitCount) << context;
    EXPECT_EQ(size, header->imageSize) << context;
    EXPECT_EQ(1, header->headerValid) << context;
    EXPECT_EQ("SS_LIVE_MMF_NAME_" + std::to_string(size), HeaderName(header)) << context;
}

TEST_F(LiveSharedMemoryTest, HeaderIsCreatedWithTheStoredFormat)
{
    const struct {
        std::initializer_list<Setting> settings;
        LONG width;
        LONG height;
        WORD bits;
    } cases[] = {
        {{{L"BitCount", 16}}, 320, 240, 16},
        {{{L"BitCount", 24}, {L"PresetSize", 17}}, 640, 480, 24},
        {{{L"BitCount", 24}, {L"CustomSize", 1}, {L"CustomWidth", 41}, {L"CustomHeight", 10}}, 41, 10, 24},
        {{}, 320, 240, 16},
    };
    for (const auto& c : cases) {
        StoreSettings(c.settings);
        DriverChannel capture(VIDEO_IN);
        LiveRecorder recorder;
        ASSERT_TRUE(recorder.OpenHeader());
        const LiveOutputHeader* header = recorder.Header();
        ExpectHeader(header, c.width, c.height, c.bits, "at open");
        EXPECT_EQ(0, header->frameReady);
        EXPECT_EQ(1, header->driverAttached);
        EXPECT_EQ(0, header->reserved1);
        EXPECT_EQ(0, header->reserved2);
    }
    // The external input alone does not touch the live output.
    DriverChannel external(VIDEO_EXTERNALIN);
    EXPECT_FALSE(LiveHeaderExists());
}

TEST_F(LiveSharedMemoryTest, BlackFrameWhileNothingFeedsTheDriver)
{
    DriverChannel capture(VIDEO_IN);
    std::vector<BYTE> frame(153600 + 16, 0xCD);
    VIDEOHDR header;
    const DWORD before = timeGetTime();
    ASSERT_EQ(DV_ERR_OK, capture.GrabFrame(&frame, &header));
    const DWORD after = timeGetTime();
    EXPECT_TRUE(AllBytes(frame, 153600, 0));
    EXPECT_EQ(0xCD, frame[153600]) << "wrote past the frame";
    EXPECT_EQ(153600u, header.dwBytesUsed);
    EXPECT_EQ(static_cast<DWORD>(VHDR_KEYFRAME), header.dwFlags) << "a key frame, not marked done";
    EXPECT_GE(header.dwTimeCaptured, before);
    EXPECT_LE(header.dwTimeCaptured, after);
    // The first frame request created the frame mapping the header names.
    LiveRecorder recorder;
    ASSERT_TRUE(recorder.OpenHeader());
    EXPECT_TRUE(recorder.OpenFrame());
}

TEST_F(LiveSharedMemoryTest, RecorderFrameIsCapturedAndRepeated)
{
    DriverChannel capture(VIDEO_IN);
    std::vector<BYTE> frame;
    ASSERT_EQ(DV_ERR_OK, capture.GrabFrame(&frame));
    {
        LiveRecorder recorder;
        ASSERT_TRUE(recorder.OpenHeader());
        ASSERT_TRUE(recorder.OpenFrame());
        recorder.WriteFrame(0x5A);
        frame.assign(frame.size(), 0);
        ASSERT_EQ(DV_ERR_OK, capture.GrabFrame(&frame));
        EXPECT_TRUE(AllBytes(frame, 153600, 0x5A));
        EXPECT_EQ(1, recorder.Header()->frameReady) << "reading leaves the frame ready";
        recorder.WriteFrame(0x33);
        ASSERT_EQ(DV_ERR_OK, capture.GrabFrame(&frame));
        EXPECT_TRUE(AllBytes(frame, 153600, 0x33));
    }
    // The recorder stopped: its last frame keeps coming.
    frame.assign(frame.size(), 0);
    ASSERT_EQ(DV_ERR_OK, capture.GrabFrame(&frame));
    EXPECT_TRUE(AllBytes(frame, 153600, 0x33));
}

TEST_F(LiveSharedMemoryTest, FormatChangeIsPublishedAtTheNextFrame)
{
    StoreSettings({{L"BitCount", 16}, {L"CustomSize", 1}});
    DriverChannel capture(VIDEO_IN);
    std::vector<BYTE> frame;
    ASSERT_EQ(DV_ERR_OK, capture.GrabFrame(&frame));
    LiveRecorder recorder;
    ASSERT_TRUE(recorder.OpenHeader());
    ASSERT_TRUE(recorder.OpenFrame());
    recorder.WriteFrame(0x77);

    const struct {
        LONG width;
        LONG height;
        WORD bits;
    } formats[] = {{41, 10, 24}, {160, 120, 8}, {800, 600, 32}, {320, 240, 16}};
    for (const auto& f : formats) {
        LiveStoreRelease(recorder.Header()->frameReady, 1);
        const LONG oldWidth = recorder.Header()->width;
        ASSERT_EQ(DV_ERR_OK, capture.SetFormat(f.width, f.height, f.bits));
        // Until a frame is asked for, the header keeps the old format.
        EXPECT_EQ(oldWidth, recorder.Header()->width);
        EXPECT_EQ(1, recorder.Header()->frameReady);
        frame.assign(FrameBytes(f.width, f.height, f.bits), 0xCD);
        ASSERT_EQ(DV_ERR_OK, capture.GrabFrame(&frame));
        ExpectHeader(recorder.Header(), f.width, f.height, f.bits, "after a format change");
        EXPECT_EQ(0, recorder.Header()->frameReady) << "the old frame is no frame of the new format";
        EXPECT_TRUE(AllBytes(frame, static_cast<DWORD>(frame.size()), 0));
    }
}

// The header is another process's memory too: whatever it holds, the driver
// answers with a black frame, republishes its own format and never reads
// beyond a mapping.
TEST_F(LiveSharedMemoryTest, DamagedHeaderIsRepublished)
{
    DriverChannel capture(VIDEO_IN);
    std::vector<BYTE> frame;
    ASSERT_EQ(DV_ERR_OK, capture.GrabFrame(&frame));
    LiveRecorder recorder;
    ASSERT_TRUE(recorder.OpenHeader());
    ASSERT_TRUE(recorder.OpenFrame());
    LiveOutputHeader* header = recorder.Header();

    const struct {
        const char* name;
        void (*damage)(LiveOutputHeader*);
    } cases[] = {
        {"image size too small", [](LiveOutputHeader* h) { h->imageSize = 100; }},
        {"image size huge", [](LiveOutputHeader* h) { h->imageSize = 0xFFFFFFFF; }},
        {"negative width", [](LiveOutputHeader* h) { h->width = -5; }},
        {"huge height", [](LiveOutputHeader* h) { h->height = 0x7FFFFFFF; }},
        {"odd bit count", [](LiveOutputHeader* h) { h->bitCount = 12; }},
        {"sizes for another format", [](LiveOutputHeader* h) { h->width = 640; h->height = 480; h->imageSize = 614400; }},
        {"header marked invalid", [](LiveOutputHeader* h) { h->headerValid = 0; }},
        {"unterminated name", [](LiveOutputHeader* h) { memset(h->frameMappingName, 'A', sizeof(h->frameMappingName)); }},
        {"name of another mapping", [](LiveOutputHeader* h) { strcpy(h->frameMappingName, "SS_LIVE_MMF_NAME_999"); }},
    };
    for (const auto& c : cases) {
        recorder.WriteFrame(0x42);
        c.damage(header);
        LiveStoreRelease(header->frameReady, 1);
        frame.assign(frame.size(), 0xCD);
        EXPECT_EQ(DV_ERR_OK, capture.GrabFrame(&frame)) << c.name;
        EXPECT_TRUE(AllBytes(frame, 153600, 0)) << c.name;
        ExpectHeader(header, 320, 240, 16, c.name);
        EXPECT_EQ(0, header->frameReady) << c.name;
        // The recorder's mapping is still the driver's: the next frame arrives.
        recorder.WriteFrame(0x43);
        EXPECT_EQ(DV_ERR_OK, capture.GrabFrame(&frame)) << c.name;
        EXPECT_TRUE(AllBytes(frame, 153600, 0x43)) << c.name;
    }
}

// A mapping of the frame's name that someone made smaller than a frame is
// not read: that frame is black.
TEST_F(LiveSharedMemoryTest, FrameMappingTooSmallIsNotUsed)
{
    HANDLE small = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, 4096, "SS_LIVE_MMF_NAME_153600");
    ASSERT_NE(nullptr, small);
    BYTE* view = static_cast<BYTE*>(MapViewOfFile(small, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(nullptr, view);
    memset(view, 0x11, 4096);
    {
        DriverChannel capture(VIDEO_IN);
        LiveRecorder recorder;
        ASSERT_TRUE(recorder.OpenHeader());
        LiveStoreRelease(recorder.Header()->frameReady, 1);
        std::vector<BYTE> frame;
        for (int i = 0; i < 2; ++i) {
            frame.assign(153600, 0xCD);
            EXPECT_EQ(DV_ERR_OK, capture.GrabFrame(&frame));
            EXPECT_TRUE(AllBytes(frame, 153600, 0));
        }
    }
    UnmapViewOfFile(view);
    CloseHandle(small);
}

TEST_F(LiveSharedMemoryTest, DriverAttachedFollowsTheCaptureChannel)
{
    LiveRecorder recorder;
    {
        DriverChannel capture(VIDEO_IN);
        ASSERT_TRUE(recorder.OpenHeader());
        EXPECT_EQ(1, recorder.Header()->driverAttached);
    }
    EXPECT_EQ(0, recorder.Header()->driverAttached);
    // The header outlived the driver (the recorder holds it): a new open
    // attaches again and does not rewrite it.
    recorder.Header()->width = 999;
    {
        DriverChannel capture(VIDEO_IN);
        EXPECT_EQ(1, recorder.Header()->driverAttached);
        EXPECT_EQ(999, recorder.Header()->width);
    }
    recorder.Close();
}

// A second capture program in another process attaches to the existing header
// without rewriting it, and publishes its own format at its first frame.
TEST_F(LiveSharedMemoryTest, SecondDriverInAnotherProcess)
{
    DriverChannel capture(VIDEO_IN);
    ASSERT_EQ(DV_ERR_OK, capture.SetFormat(160, 120, 16));
    std::vector<BYTE> frame;
    ASSERT_EQ(DV_ERR_OK, capture.GrabFrame(&frame));
    LiveRecorder recorder;
    ASSERT_TRUE(recorder.OpenHeader());
    ExpectHeader(recorder.Header(), 160, 120, 16, "first driver");
    LiveStoreRelease(recorder.Header()->driverAttached, 0);

    const std::wstring prefix = L"zentivo-second-" + std::to_wstring(GetCurrentProcessId());
    NamedEvent opened(prefix + L"-opened"), grab(prefix + L"-grab"), grabbed(prefix + L"-grabbed"),
        close(prefix + L"-close");
    HelperProcess second(L"driver " + prefix);
    ASSERT_TRUE(second.Started());
    ASSERT_TRUE(opened.Wait());
    ExpectHeader(recorder.Header(), 160, 120, 16, "second driver opened");
    EXPECT_EQ(1, recorder.Header()->driverAttached);
    grab.Set();
    ASSERT_TRUE(grabbed.Wait());
    ExpectHeader(recorder.Header(), 320, 240, 16, "second driver grabbed");
    close.Set();
    EXPECT_EQ(0, second.Wait());
    // Back here, the first driver publishes its format again.
    ASSERT_EQ(DV_ERR_OK, capture.GrabFrame(&frame));
    ExpectHeader(recorder.Header(), 160, 120, 16, "first driver again");
}

// The recorder in its own process: numbered frames reach single-frame
// requests; when the driver's format changes under it, the writer clears
// frameReady and stops, and frames are black again.
TEST_F(LiveSharedMemoryTest, WriterProcessFramesAndFormatChange)
{
    DriverChannel capture(VIDEO_IN);
    std::vector<BYTE> frame;
    ASSERT_EQ(DV_ERR_OK, capture.GrabFrame(&frame));
    const std::wstring prefix = L"zentivo-writer-" + std::to_wstring(GetCurrentProcessId());
    NamedEvent attached(prefix + L"-attached");
    HelperProcess writer(L"frames 100000 20 " + prefix);
    ASSERT_TRUE(writer.Started());
    ASSERT_TRUE(attached.Wait());
    BYTE seen = 0;
    EXPECT_TRUE(WaitUntil([&] {
        if (capture.GrabFrame(&frame) != DV_ERR_OK)
            return false;
        if (frame[0] != 0 && frame[0] == frame[153599] && frame[0] > seen)
            seen = frame[0];
        return seen >= 3;
    })) << "frames from the writer did not arrive";

    ASSERT_EQ(DV_ERR_OK, capture.SetFormat(160, 120, 16));
    frame.assign(FrameBytes(160, 120, 16), 0xCD);
    ASSERT_EQ(DV_ERR_OK, capture.GrabFrame(&frame));
    EXPECT_EQ(2, writer.Wait()) << "the writer reports live error 2";
    ASSERT_EQ(DV_ERR_OK, capture.GrabFrame(&frame));
    EXPECT_TRUE(AllBytes(frame, static_cast<DWORD>(frame.size()), 0));
}

}  // namespace
