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

#include <vfw.h>
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

    // The sound keeps the recorded format.
    EXPECT_EQ("22050", ProbeEntry(output, "a:0", "sample_rate"));
    EXPECT_EQ("1", ProbeEntry(output, "a:0", "channels"));
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

// The colour (0xRRGGBB) at the middle of each frame of an AVI's video,
// decoded through the compressor manager (the installed xrvc codec).
std::vector<DWORD> MiddleColours(const std::string& path)
{
    std::vector<DWORD> colours;
    AVIFileInit();
    PAVIFILE file = NULL;
    if (AVIFileOpenA(&file, path.c_str(), OF_READ | OF_SHARE_DENY_NONE, NULL) == 0) {
        PAVISTREAM stream = NULL;
        if (AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) == 0) {
            BITMAPINFOHEADER want = {};
            LONG size = sizeof(want);
            AVIStreamReadFormat(stream, 0, &want, &size);
            want.biCompression = BI_RGB;
            want.biBitCount = 32;
            want.biSizeImage = 0;
            PGETFRAME frames = AVIStreamGetFrameOpen(stream, &want);
            for (LONG i = 0; frames && i < AVIStreamLength(stream); ++i) {
                const BITMAPINFOHEADER* bih = (const BITMAPINFOHEADER*)AVIStreamGetFrame(frames, i);
                if (!bih)
                    break;
                colours.push_back(dextest::PixelAt((const BYTE*)bih + bih->biSize, bih->biWidth, bih->biHeight,
                                                   bih->biWidth / 2, bih->biHeight / 2));
            }
            if (frames)
                AVIStreamGetFrameClose(frames);
            AVIStreamRelease(stream);
        }
        AVIFileRelease(file);
    }
    AVIFileExit();
    return colours;
}

// Segments the screen codec recorded are joined through our compressor
// filter into one xrvc AVI that keeps the segments' exact rate (29.97 stays
// 30000/1001), every frame in order, and the sound under its segment.
TEST_F(JoinerTest, JoinsXrvcSegmentsAtTheirExactRate)
{
    dextest::AviPlan avi;
    avi.width = 64;
    avi.height = 48;
    avi.fps = 30000;
    avi.fpsScale = 1001;
    avi.codec = mmioFOURCC('x', 'r', 'v', 'c');
    avi.frameColours.assign(45, dextest::kRed);
    for (int i = 20; i < 45; ++i)
        avi.frameColours[i] = dextest::kGreen;
    ASSERT_EQ("", dextest::WriteAvi(dir.File("x1.avi"), avi));
    avi.frameColours.assign(30, dextest::kBlue);
    ASSERT_EQ("", dextest::WriteAvi(dir.File("x2.avi"), avi));
    ASSERT_TRUE(dextest::WriteToneWav(dir.File("x1.wav"), 22050, 440.0, 22050 * 45 * 1001 / 30000));
    ASSERT_TRUE(dextest::WriteToneWav(dir.File("x2.wav"), 22050, 880.0, 22050 * 30 * 1001 / 30000));
    CStringArray segs, snds;
    segs.Add(dir.File("x1.avi").c_str());
    segs.Add(dir.File("x2.avi").c_str());
    snds.Add(dir.File("x1.wav").c_str());
    snds.Add(dir.File("x2.wav").c_str());
    settings.m_strVideoCompressor = "Kestravon Screen Capture Codec";
    settings.m_nKeyFrameRate = 20;

    std::string output = dir.File("joinedx.avi");
    CTimelineJoiner joiner;
    ASSERT_EQ(1, joiner.JoinSegments(segs, snds, output.c_str(), &settings));
    EXPECT_EQ("xrvc", ProbeEntry(output, "v:0", "codec_tag_string"));
    EXPECT_EQ("75", ProbeEntry(output, "v:0", "nb_read_packets"));
    EXPECT_EQ("30000/1001", ProbeEntry(output, "v:0", "r_frame_rate"));
    std::string flags = Host("ffprobe -v error -select_streams v:0 -show_entries packet=flags -of csv=p=0 '" +
                             testsupport::UnixPath(output) + "' | cut -c1 | grep -c K");
    EXPECT_EQ("4", flags) << "key frames 0, 20, 40 and 60";

    std::vector<DWORD> colours = MiddleColours(output);
    ASSERT_EQ(75u, colours.size());
    for (int i = 0; i < 75; ++i) {
        const DWORD want = i < 20 ? dextest::kRed : i < 45 ? dextest::kGreen : dextest::kBlue;
        EXPECT_EQ(want, colours[i]) << "frame " << i;
    }
    const DWORD rate = 22050;
    std::vector<int> sound = mediatest::DecodeAudio16(output, dir.File("decodedx.raw"), rate);
    EXPECT_NEAR(75 * 1001 / 30000.0, (double)sound.size() / rate, 1001 / 30000.0);
    size_t loud = 0;
    EXPECT_NEAR(440.0, mediatest::LoudToneFrequency(std::vector<int>(sound.begin() + rate / 10,
                                                                     sound.begin() + rate * 14 / 10), rate, &loud),
                5.0);
    EXPECT_NEAR(880.0, mediatest::LoudToneFrequency(std::vector<int>(sound.begin() + rate * 16 / 10,
                                                                     sound.begin() + rate * 24 / 10), rate, &loud),
                5.0);
}

// A recording stopped just after a split leaves a last segment without
// frames and a sound without samples: the join leaves them out.
TEST_F(JoinerTest, AnEmptyLastSegmentIsLeftOut)
{
    dextest::AviPlan avi;
    avi.width = 64;
    avi.height = 48;
    avi.fps = 5;
    ASSERT_EQ("", dextest::WriteAvi(dir.File("empty.avi"), avi));
    ASSERT_TRUE(dextest::WriteToneWav(dir.File("empty.wav"), 22050, 660.0, 0));
    segments.Add(dir.File("empty.avi").c_str());
    sounds.Add(dir.File("empty.wav").c_str());
    std::string output = dir.File("joined.avi");
    CTimelineJoiner joiner;
    ASSERT_EQ(1, joiner.JoinSegments(segments, sounds, output.c_str(), &settings));
    EXPECT_EQ("15", ProbeEntry(output, "v:0", "nb_read_frames"));
    std::vector<int> sound = mediatest::DecodeAudio16(output, dir.File("decoded.raw"), 22050);
    EXPECT_NEAR(3.0, (double)sound.size() / 22050, 0.2);

    // Segments that are all empty give nothing to join.
    CStringArray onlyEmpty, onlyEmptySound;
    onlyEmpty.Add(dir.File("empty.avi").c_str());
    onlyEmptySound.Add(dir.File("empty.wav").c_str());
    std::string none = dir.File("none.avi");
    EXPECT_EQ(0, joiner.JoinSegments(onlyEmpty, onlyEmptySound, none.c_str(), &settings));
    EXPECT_FALSE(Exists(none));
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
