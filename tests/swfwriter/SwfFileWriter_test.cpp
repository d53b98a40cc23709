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

// Stream sound as SWF ADPCM: ffmpeg decodes every sample back (no more, no
// fewer) close to the source, each channel its own tone, for every code
// size, both sample sizes, loud sound at a low rate (the step index passes
// what a packet header can carry), sound that runs past the frames, and
// blocks longer than one 4096-sample packet (one frame a second).
TEST(SwfFileWriter, AdpcmSoundDecodesCloseToTheSource)
{
    struct Case {
        const char* name;
        uint32_t rate;
        int channels, bits, adpcmBits, frameRate;
        double maxRelativeError;   // RMS error / RMS signal
    } cases[] = {
        {"mono 4-bit codes", 22050, 1, 16, 4, 10, 0.05},
        {"stereo 4-bit codes", 11025, 2, 16, 4, 10, 0.05},
        {"mono 5-bit codes", 44100, 1, 16, 5, 15, 0.01},
        {"stereo 3-bit codes", 22050, 2, 16, 3, 12, 0.1},
        {"mono 2-bit codes", 11025, 1, 16, 2, 10, 0.2},
        {"8-bit source, 4-bit codes", 22050, 1, 8, 4, 10, 0.05},
        {"stereo, a packet and more per frame", 11025, 2, 16, 4, 1, 0.05},
    };
    const double tones[2] = {500.0, 830.0};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::ScratchDir dir("swfa");
        const std::string path = dir.File("movie.swf");
        FILE* file = fopen(path.c_str(), "w+b");
        ASSERT_TRUE(file != nullptr);
        swf::MovieSettings settings;
        settings.width = 32;
        settings.height = 16;
        settings.frameRate = c.frameRate;
        settings.soundRate = c.rate;
        settings.soundChannels = c.channels;
        settings.soundBits = c.bits;
        settings.soundAdpcmBits = c.adpcmBits;
        swf::CSwfFileWriter writer;
        std::string error;
        ASSERT_TRUE(writer.Open(file, settings, &error)) << error;
        // 2.3 s of sound (an odd count) under 2 s of frames.
        const int samples = (int)(c.rate * 23 / 10) | 1;
        std::vector<std::vector<double>> source(c.channels);
        std::string pcm;
        for (int i = 0; i < samples; ++i)
            for (int ch = 0; ch < c.channels; ++ch) {
                const double v = 12000 * sin(2 * 3.14159265358979 * tones[ch] * i / c.rate);
                if (c.bits == 16) {
                    const short s16 = (short)v;
                    pcm.push_back((char)(s16 & 0xFF));
                    pcm.push_back((char)((s16 >> 8) & 0xFF));
                    source[ch].push_back(s16);
                } else {
                    const int u8 = 128 + (int)(v / 256);
                    pcm.push_back((char)u8);
                    source[ch].push_back((u8 - 128) * 256.0);
                }
            }
        ASSERT_TRUE(writer.AddSound((const uint8_t*)pcm.data(), pcm.size()));
        std::vector<uint8_t> frame((size_t)32 * 16 * 4, 0x80);
        for (int n = 0; n < 2 * c.frameRate; ++n)
            ASSERT_TRUE(writer.WriteFrame(frame.data())) << n;
        ASSERT_TRUE(writer.Close(&error)) << error;
        fclose(file);

        EXPECT_EQ("adpcm_swf", Probe(path, "a:0", "stream=codec_name"));
        EXPECT_EQ(std::to_string(c.rate), Probe(path, "a:0", "stream=sample_rate"));
        EXPECT_EQ(std::to_string(c.channels), Probe(path, "a:0", "stream=channels"));
        std::string sound = Decode(path, "-map 0:a:0 -f s16le -acodec pcm_s16le");
        // Every sample, at most one more to fill the last block's bits.
        const size_t decoded = sound.size() / 2 / c.channels;
        ASSERT_GE(decoded, (size_t)samples);
        ASSERT_LE(decoded, (size_t)samples + 1);
        for (int ch = 0; ch < c.channels; ++ch) {
            double error2 = 0, signal2 = 0;
            for (int i = 0; i < samples; ++i) {
                const size_t at = ((size_t)i * c.channels + ch) * 2;
                const double got = (short)((uint8_t)sound[at] | ((uint8_t)sound[at + 1] << 8));
                error2 += (got - source[ch][i]) * (got - source[ch][i]);
                signal2 += source[ch][i] * source[ch][i];
            }
            const double relative = sqrt(error2 / signal2);
            printf("%s, channel %d: relative error %.4f\n", c.name, ch, relative);
            EXPECT_LT(relative, c.maxRelativeError) << "channel " << ch;
        }
    }
}

TEST(SwfFileWriter, RefusesWhatSwfCannotCarry)
{
    struct Case {
        const char* name;
        int width, height, rate;
        uint32_t soundRate;
        int channels, bits;
        int adpcmBits;
    } cases[] = {
        {"zero width", 0, 10, 10, 0, 1, 16, 0},
        {"width over 4095", 5000, 10, 10, 0, 1, 16, 0},
        {"frame rate 0", 10, 10, 0, 0, 1, 16, 0},
        {"sound at 8000 Hz", 10, 10, 10, 8000, 1, 16, 0},
        {"three channels", 10, 10, 10, 11025, 3, 16, 0},
        {"24-bit sound", 10, 10, 10, 11025, 1, 24, 0},
        {"1-bit ADPCM", 10, 10, 10, 11025, 1, 16, 1},
        {"6-bit ADPCM", 10, 10, 10, 11025, 1, 16, 6},
    };
    for (const Case& c : cases) {
        swf::MovieSettings s;
        s.width = c.width;
        s.height = c.height;
        s.frameRate = c.rate;
        s.soundRate = c.soundRate;
        s.soundChannels = c.channels;
        s.soundBits = c.bits;
        s.soundAdpcmBits = c.adpcmBits;
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
