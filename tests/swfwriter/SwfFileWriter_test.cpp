// SWF movies from our writer, read back and decoded by ffprobe and ffmpeg.
#include "TestSupport.h"
#include "platform/swfwriter/SwfFileWriter.h"
#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <string>
#include <vector>

namespace {

const int kWidth = 150;     // three 64-pixel blocks, the last one narrow
const int kHeight = 70;     // two block rows, the top one short

// Bottom-up 32-bit frame n: a gradient, a square that moves, and a band that
// changes every fourth frame (so most frames change only some blocks).
std::vector<uint8_t> Frame(int n)
{
    std::vector<uint8_t> f((size_t)kWidth * kHeight * 4);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* p = &f[((size_t)(kHeight - 1 - y) * kWidth + x) * 4];
            p[0] = (uint8_t)(x + (y < 8 ? (n / 4) * 30 : 0));
            p[1] = (uint8_t)(y * 3);
            p[2] = (uint8_t)(255 - x);
            p[3] = 0;
            int sx = (n * 9) % (kWidth - 10), sy = 30;
            if (x >= sx && x < sx + 10 && y >= sy && y < sy + 10) {
                p[0] = 0;
                p[1] = 255;
                p[2] = (uint8_t)(n * 12);
            }
        }
    return f;
}

std::string FrameBgr(int n)
{
    std::vector<uint8_t> f = Frame(n);
    std::string bgr;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            bgr.append((const char*)&f[((size_t)(kHeight - 1 - y) * kWidth + x) * 4], 3);
    return bgr;
}

std::string Probe(const std::string& path, const std::string& stream, const std::string& entry)
{
    std::string out;
    std::string cmd = "ffprobe -v error " + (stream.empty() ? std::string() : "-select_streams " + stream + " ") +
                      "-count_frames -show_entries " + entry + " -of default=nw=1:nk=1 '" +
                      testsupport::UnixPath(path) + "'";
    if (testsupport::RunHost(cmd, &out) != 0)
        return "";
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

// Runs ffmpeg on the movie into a raw file and returns its bytes.
std::string Decode(const std::string& path, const std::string& options)
{
    const std::string raw = path + ".raw";
    std::string out;
    std::string cmd = "ffmpeg -v error -y -i '" + testsupport::UnixPath(path) + "' " + options + " '" +
                      testsupport::UnixPath(raw) + "'";
    if (testsupport::RunHost(cmd, &out) != 0)
        return "";
    std::string bytes;
    testsupport::ReadFileBytes(raw, &bytes);
    ::DeleteFileA(raw.c_str());
    return bytes;
}

std::string Tone(uint32_t rate, int samples)
{
    std::string pcm;
    for (int i = 0; i < samples; ++i) {
        short v = (short)(9000 * sin(2 * 3.14159265358979 * 500.0 * i / rate));
        pcm.push_back((char)(v & 0xFF));
        pcm.push_back((char)((v >> 8) & 0xFF));
    }
    return pcm;
}

TEST(SwfFileWriter, FfmpegReadsScreenVideoAndSoundAndDecodesTheSourceFrames)
{
    testsupport::ScratchDir dir("swfw");
    const std::string path = dir.File("movie.swf");
    FILE* file = fopen(path.c_str(), "w+b");
    ASSERT_TRUE(file != nullptr);
    swf::MovieSettings settings;
    settings.width = kWidth;
    settings.height = kHeight;
    settings.frameRate = 10;
    settings.keyFrameEvery = 8;
    settings.soundRate = 11025;
    swf::CSwfFileWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(file, settings, &error)) << error;
    const int frames = 20;
    // 2.05 s of sound: a little more than the frames show, which must not be lost.
    const std::string tone = Tone(11025, 22601);
    const size_t half = tone.size() / 4 * 2;
    ASSERT_TRUE(writer.AddSound((const uint8_t*)tone.data(), half));
    EXPECT_FALSE(writer.AddSound((const uint8_t*)tone.data(), 3)) << "half a sample";
    for (int n = 0; n < frames; ++n) {
        std::vector<uint8_t> f = Frame(n);
        ASSERT_TRUE(writer.WriteFrame(f.data())) << n;
        if (n == 4)
            ASSERT_TRUE(writer.AddSound((const uint8_t*)tone.data() + half, tone.size() - half));
    }
    ASSERT_TRUE(writer.Close(&error)) << error;
    fclose(file);

    EXPECT_EQ("flashsv", Probe(path, "v:0", "stream=codec_name"));
    EXPECT_EQ("150\n70", Probe(path, "v:0", "stream=width,height"));
    EXPECT_EQ("10/1", Probe(path, "v:0", "stream=r_frame_rate"));
    EXPECT_EQ("20", Probe(path, "v:0", "stream=nb_read_frames"));
    EXPECT_EQ("pcm_s16le", Probe(path, "a:0", "stream=codec_name"));
    EXPECT_EQ("11025", Probe(path, "a:0", "stream=sample_rate"));

    std::string video = Decode(path, "-map 0:v:0 -f rawvideo -pix_fmt bgr24");
    const size_t frameBytes = (size_t)kWidth * kHeight * 3;
    ASSERT_EQ(frameBytes * frames, video.size());
    for (int n = 0; n < frames; ++n)
        EXPECT_TRUE(video.compare(n * frameBytes, frameBytes, FrameBgr(n)) == 0) << "frame " << n;
    std::string sound = Decode(path, "-map 0:a:0 -f s16le -acodec pcm_s16le");
    EXPECT_TRUE(sound == tone) << "decoded " << sound.size() << " bytes of " << tone.size();
}

TEST(SwfFileWriter, RefusesWhatSwfCannotCarry)
{
    struct Case {
        const char* name;
        int width, height, rate;
        uint32_t soundRate;
        int channels, bits;
    } cases[] = {
        {"zero width", 0, 10, 10, 0, 1, 16},
        {"width over 4095", 5000, 10, 10, 0, 1, 16},
        {"frame rate 0", 10, 10, 0, 0, 1, 16},
        {"sound at 8000 Hz", 10, 10, 10, 8000, 1, 16},
        {"three channels", 10, 10, 10, 11025, 3, 16},
        {"24-bit sound", 10, 10, 10, 11025, 1, 24},
    };
    for (const Case& c : cases) {
        swf::MovieSettings s;
        s.width = c.width;
        s.height = c.height;
        s.frameRate = c.rate;
        s.soundRate = c.soundRate;
        s.soundChannels = c.channels;
        s.soundBits = c.bits;
        FILE* file = tmpfile();
        ASSERT_TRUE(file != nullptr);
        swf::CSwfFileWriter writer;
        std::string error;
        EXPECT_FALSE(writer.Open(file, s, &error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
        uint8_t pixel[4] = {};
        EXPECT_FALSE(writer.WriteFrame(pixel)) << c.name << ": no frames before a good Open";
        fclose(file);
    }
    swf::CSwfFileWriter writer;
    std::string error;
    EXPECT_FALSE(writer.Open(nullptr, swf::MovieSettings(), &error));
    EXPECT_FALSE(writer.Close(&error));
}

}  // namespace
