// The join of a split recording: two uncompressed segments (2 s and 1 s at
// 5 fps) with their own tones become one AVI with every frame at the
// segments' rate, each segment's sound under its own pictures (a short sound
// is padded, never pulled forward), and a failed join keeps every file and
// writes no output.
#include "WriterTestUtil.h"

#include "DexTestMedia.h"
#include "MediaTestUtil.h"
#include "TestSupport.h"

#include "XRVDirectShow/RecordingJoiner.h"
#include "XRVDirectShow/XRVDSTimeline.h"
#include "capture/RecordSettings.h"

#include <gtest/gtest.h>

using namespace writertest;

namespace {

class JoinerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
        XRVDSTimeline::s_bForcePlainRenderer = TRUE;
        dextest::AviPlan avi;
        avi.width = 64;
        avi.height = 48;
        avi.fps = 5;
        avi.frameColours.assign(10, dextest::kRed);
        ASSERT_EQ("", dextest::WriteAvi(dir.File("seg1.avi"), avi));
        avi.frameColours.assign(5, dextest::kBlue);
        ASSERT_EQ("", dextest::WriteAvi(dir.File("seg2.avi"), avi));
        // The first segment's sound is shorter than its pictures.
        ASSERT_TRUE(dextest::WriteToneWav(dir.File("seg1.wav"), 22050, 440.0, 22050 * 3 / 2));
        ASSERT_TRUE(dextest::WriteToneWav(dir.File("seg2.wav"), 22050, 880.0, 22050));
        segments.Add(dir.File("seg1.avi").c_str());
        segments.Add(dir.File("seg2.avi").c_str());
        sounds.Add(dir.File("seg1.wav").c_str());
        sounds.Add(dir.File("seg2.wav").c_str());
        settings.m_bInterleave = TRUE;
        settings.m_nInterleaveRate = 1;
        settings.m_strAudioCompressor = "PCM";
        // The capture rate of a time-lapse recording differs from the
        // playback rate the segments carry.
        settings.m_FrameRate.m_nRate = 1;
        settings.m_FrameRate.m_nScale = 15;
    }
    void TearDown() override
    {
        XRVDSTimeline::s_bForcePlainRenderer = FALSE;
        CoUninitialize();
    }
    bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    testsupport::ScratchDir dir{"join"};
    CStringArray segments, sounds;
    CRecordSettings settings;
};

TEST_F(JoinerTest, JoinsEveryFrameWithEachSoundUnderItsSegment)
{
    std::string output = dir.File("joined.avi");
    CTimelineJoiner joiner;
    ASSERT_EQ(1, joiner.JoinSegments(segments, sounds, output.c_str(), &settings));
    EXPECT_EQ("15", ProbeEntry(output, "v:0", "nb_read_frames"));
    EXPECT_EQ("5/1", ProbeEntry(output, "v:0", "r_frame_rate"));
    EXPECT_EQ("64", ProbeEntry(output, "v:0", "width"));

    const DWORD rate = 22050;
    std::vector<int> sound = mediatest::DecodeAudio16(output, dir.File("decoded.raw"), rate);
    // As long as the video within one frame.
    EXPECT_NEAR(3.0, (double)sound.size() / rate, 0.2);
    auto slice = [&](double from, double to) {
        size_t a = (size_t)(from * rate), b = (size_t)(to * rate);
        b = b < sound.size() ? b : sound.size();
        return a < b ? std::vector<int>(sound.begin() + a, sound.begin() + b) : std::vector<int>();
    };
    size_t loud = 0;
    EXPECT_NEAR(440.0, mediatest::LoudToneFrequency(slice(0.1, 1.4), rate, &loud), 5.0);
    EXPECT_GT(loud, rate / 2);
    // The padding after the short first sound is silent; the second tone
    // starts with the second segment.
    mediatest::LoudToneFrequency(slice(1.6, 1.95), rate, &loud);
    EXPECT_EQ(0u, loud);
    EXPECT_NEAR(880.0, mediatest::LoudToneFrequency(slice(2.05, 2.95), rate, &loud), 5.0);
    EXPECT_GT(loud, rate / 2);

    // The inputs are left for the caller; no temporary sound stays behind.
    for (const char* name : {"seg1.avi", "seg2.avi", "seg1.wav", "seg2.wav"})
        EXPECT_TRUE(Exists(dir.File(name))) << name;
    EXPECT_TRUE(mediatest::ListFiles(dir.Path(), "SkoJoin*").empty());
    EXPECT_TRUE(mediatest::ListFiles(dir.Path(), "FileWriter*").empty());
}

TEST_F(JoinerTest, FailedJoinKeepsEveryFileAndWritesNothing)
{
    std::string output = dir.File("joined.avi");
    std::string junk = "RIFF\x10\0\0\0AVI LIST";
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File("broken.avi"), junk.data(), junk.size()));
    std::string badWav = "RIFF\xff\xff\xff\x7fWAVEfmt ";
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File("bad.wav"), badWav.data(), badWav.size()));
    struct Case {
        const char* name;
        std::vector<std::string> segments, sounds;
    } cases[] = {
        {"a segment that is not an AVI", {"seg1.avi", "broken.avi"}, {"seg1.wav", "seg2.wav"}},
        {"a missing segment", {"seg1.avi", "gone.avi"}, {"seg1.wav", "seg2.wav"}},
        {"a damaged sound", {"seg1.avi", "seg2.avi"}, {"seg1.wav", "bad.wav"}},
        {"no segments", {}, {}},
    };
    for (const Case& c : cases) {
        CStringArray segs, snds;
        for (const std::string& s : c.segments)
            segs.Add(dir.File(s).c_str());
        for (const std::string& s : c.sounds)
            snds.Add(dir.File(s).c_str());
        CTimelineJoiner joiner;
        EXPECT_EQ(0, joiner.JoinSegments(segs, snds, output.c_str(), &settings)) << c.name;
        EXPECT_FALSE(Exists(output)) << c.name;
        for (const char* name : {"seg1.avi", "seg2.avi", "seg1.wav", "seg2.wav", "broken.avi", "bad.wav"})
            EXPECT_TRUE(Exists(dir.File(name))) << c.name << ": " << name;
        EXPECT_TRUE(mediatest::ListFiles(dir.Path(), "SkoJoin*").empty()) << c.name;
    }
}

}  // namespace
