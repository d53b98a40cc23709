// Files from our ASF writer with ZMBV video and PCM sound, read back by
// ffprobe and decoded by ffmpeg.
#include "AsfTestMedia.h"
#include "TestSupport.h"
#include "platform/wmwriter/AsfFile.h"
#include "platform/wmwriter/AsfRepair.h"
#include "platform/wmwriter/ZmbvEncoder.h"
#include <gtest/gtest.h>

using namespace asftest;

namespace {

asf::Tags SampleTags()
{
    asf::Tags tags;
    tags.title = u"Quarterly demo";
    tags.author = u"Vexcap";
    tags.copyright = u"(c) nobody";
    tags.description = u"screen recording";
    return tags;
}

TEST(AsfWriter, FfmpegReadsZmbvAndPcmWithTagsAndDecodesTheSourceFrames)
{
    testsupport::ScratchDir dir("asfw");
    const std::string path = dir.File("movie.wmv");
    WrittenFile info;
    ASSERT_TRUE(WriteMovieFile(path, 25, 8, 3200, SampleTags(), true, &info)) << info.error;

    EXPECT_EQ("zmbv", ProbeEntry(path, "v:0", "stream=codec_name"));
    EXPECT_EQ("100\n60", ProbeEntry(path, "v:0", "stream=width,height"));
    EXPECT_EQ("25", ProbeEntry(path, "v:0", "stream=nb_read_frames"));
    EXPECT_EQ("pcm_s16le", ProbeEntry(path, "a:0", "stream=codec_name"));
    EXPECT_EQ("8000", ProbeEntry(path, "a:0", "stream=sample_rate"));
    EXPECT_EQ("Quarterly demo", ProbeEntry(path, "", "format_tags=title"));
    EXPECT_EQ("Vexcap", ProbeEntry(path, "", "format_tags=artist"));
    EXPECT_EQ("(c) nobody", ProbeEntry(path, "", "format_tags=copyright"));
    EXPECT_EQ("screen recording", ProbeEntry(path, "", "format_tags=comment"));
    std::string duration = ProbeEntry(path, "", "format=duration");
    EXPECT_NEAR(2.5, atof(duration.c_str()), 0.15) << duration;

    std::vector<std::string> frames = DecodeFrames(path, kWidth, kHeight);
    ASSERT_EQ(25u, frames.size());
    for (int n = 0; n < 25; ++n)
        EXPECT_TRUE(frames[n] == FrameBgr(n)) << "decoded frame " << n << " differs from its source";

    std::string pcm = Tone(2.5);
    ASSERT_EQ(pcm.size(), info.audioBytes);

    ULONGLONG play = 0;
    EXPECT_EQ(1, CheckAsfFile(Wide(path).c_str(), &play));
    EXPECT_EQ(2500ULL * 10000 + 3100ULL * 10000, play);
}

// The fixed packet size holds for every packet, whatever the frame sizes.
TEST(AsfWriter, EveryPacketHasTheFixedSize)
{
    const uint32_t sizes[] = {600, 3200, 16384};
    for (uint32_t packetSize : sizes) {
        asf::MemoryStore store("");
        WrittenFile info = WriteMovie(&store, 12, 4, packetSize, asf::Tags());
        ASSERT_EQ("", info.error) << packetSize;
        EXPECT_EQ(store.Size(), info.headerSize + info.packets * packetSize + asf::kSimpleIndexHeaderSize + 6 * 2)
            << "packet size " << packetSize;
        EXPECT_EQ(1, asf::CheckAsf(&store, nullptr)) << "packet size " << packetSize;
    }
}

TEST(AsfWriter, RefusesBadSettings)
{
    asf::MemoryStore store("");
    asf::VideoStreamInfo video;
    video.width = 64;
    video.height = 48;
    std::string pcm = PcmFormatBytes();
    struct Case {
        const char* name;
        uint32_t packetSize;
        int width;
        bool withVideo;
        bool withAudio;
    } cases[] = {
        {"tiny packets", 20, 64, true, true},
        {"huge packets", 70000, 64, true, true},
        {"no streams", 3200, 64, false, false},
        {"zero width", 3200, 0, true, false},
    };
    for (const Case& c : cases) {
        asf::CAsfFileWriter writer;
        asf::WriterOptions options;
        options.packetSize = c.packetSize;
        video.width = c.width;
        std::string error;
        EXPECT_FALSE(writer.Open(&store, options, c.withVideo ? &video : nullptr, c.withAudio ? &pcm : nullptr, &error))
            << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
    }
}

TEST(ZmbvEncoder, KeyFramesFollowTheIntervalAndUnchangedFramesStaySmall)
{
    wmwriter::CZmbvEncoder encoder;
    EXPECT_FALSE(encoder.Begin(0, 10, 5));
    ASSERT_TRUE(encoder.Begin(kWidth, kHeight, 3));
    std::vector<uint8_t> frame = Frame(0), out;
    std::vector<bool> keys;
    size_t keySize = 0, repeatSize = 0;
    for (int n = 0; n < 7; ++n) {
        bool key = false;
        ASSERT_TRUE(encoder.Encode(frame.data(), &out, &key));
        keys.push_back(key);
        if (n == 0)
            keySize = out.size();
        if (n == 1)
            repeatSize = out.size();
    }
    EXPECT_EQ((std::vector<bool>{true, false, false, true, false, false, true}), keys);
    EXPECT_LT(repeatSize * 10, keySize) << "an unchanged frame should cost next to nothing";
}

}  // namespace
