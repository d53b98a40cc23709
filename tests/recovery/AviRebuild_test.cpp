// The rebuild of cut screen AVIs: files written through AVIFile as the
// recorder writes them, then left as a killed recorder leaves them, come back
// with every whole frame copied byte for byte, the recording's codec and its
// exact rate; damaged and hostile files end the walk cleanly.
#include "RecoveryTestUtil.h"
#include "TestSupport.h"
#include "media/RecordingData.h"
#include "recovery/AviRebuild.h"
#include "recovery/Recovery.h"

#include <gtest/gtest.h>
#include <string.h>

using namespace recoverytest;

namespace {

const DWORD kXrvc = mmioFOURCC('x', 'r', 'v', 'c');

// A note describing the recording's video track.
void NoteFor(CRecordingData& note, const AviShape& shape, LPCSTR codec)
{
    note.SetVideoTrack(shape.width, shape.height, shape.bitCount, (double)shape.rate / shape.scale, FALSE, codec, NULL, 1,
                       0, 1);
}

uint32_t Le32(const std::string& b, size_t at)
{
    uint32_t v;
    memcpy(&v, b.data() + at, 4);
    return v;
}

void Append32(std::string& b, uint32_t v)
{
    b.append((const char*)&v, 4);
}

std::string Chunk(const char* id, const std::string& data)
{
    std::string c(id, 4);
    Append32(c, (uint32_t)data.size());
    c += data;
    if (data.size() & 1)
        c.push_back('\0');
    return c;
}

avirebuild::RebuildFormat DibFormat(int w, int h, int bpp)
{
    avirebuild::RebuildFormat f;
    BITMAPINFOHEADER bih = {};
    bih.biSize = sizeof(bih);
    bih.biWidth = w;
    bih.biHeight = h;
    bih.biPlanes = 1;
    bih.biBitCount = (WORD)bpp;
    bih.biSizeImage = (DWORD)((((w * bpp) + 31) / 32) * 4 * h);
    f.videoFormat.assign((const uint8_t*)&bih, (const uint8_t*)&bih + sizeof(bih));
    f.rate = 10;
    f.scale = 1;
    f.maxFrameBytes = bih.biSizeImage;
    return f;
}

}  // namespace

// Every whole frame of a killed recording is copied as it was written, at
// the note's exact rate and with the note's codec; a cut last chunk is left
// out. ffprobe reads what ffmpeg can decode; xrvc frames decode through the
// installed codec.
TEST(AviRebuild, KilledRecordingsComeBackFrameForFrame)
{
    const std::string install = InstallXrvc();
    ASSERT_EQ("", install);
    struct Case {
        const char* name;
        AviShape shape;
        const char* codec;   // the note's codec name
        int cutInto;         // bytes past the last chunk's header kept (KillAvi)
    } cases[] = {
        { "dib 24-bit", { 64, 48, 24, 10, 1, 0, 12 }, "DIB", kKeepWhole },
        { "dib cut last frame", { 64, 48, 24, 10, 1, 0, 12 }, "DIB", 100 },
        { "dib cut in chunk header", { 64, 48, 32, 15, 1, 0, 9 }, "DIB", -4 },
        { "dib 29.97 fps", { 80, 60, 24, 30000, 1001, 0, 20 }, "DIB", kKeepWhole },
        { "dib time lapse 1/2 fps", { 32, 32, 16, 1, 2, 0, 5 }, "DIB", kKeepWhole },
        { "xrvc", { 64, 48, 24, 10, 1, kXrvc, 14 }, "xrvc", kKeepWhole },
        { "xrvc cut", { 64, 48, 32, 30000, 1001, kXrvc, 14 }, "xrvc", 3 },
    };
    testsupport::ScratchDir dir("rebuild");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string written = dir.File("written.avi");
        const std::string killed = dir.File("killed.avi");
        const std::string rebuilt = dir.File("rebuilt.avi");
        ASSERT_EQ("", WriteAvi(written, c.shape));
        std::vector<std::string> original;
        AVISTREAMINFOA originalInfo = {};
        std::string originalFormat;
        ASSERT_TRUE(ReadVideoChunks(written, &original, &originalInfo, &originalFormat));
        ASSERT_EQ((size_t)c.shape.frames, original.size());
        ASSERT_TRUE(::CopyFileA(written.c_str(), killed.c_str(), FALSE));
        ASSERT_EQ("", KillAvi(killed, c.cutInto));
        std::vector<std::string> none;
        EXPECT_FALSE(ReadVideoChunks(killed, &none, nullptr, nullptr) && !none.empty())
            << "the killed file is not readable as it is";

        CRecordingData note;
        NoteFor(note, c.shape, c.codec);
        LONG frames = 0;
        CString error;
        ASSERT_TRUE(RebuildScreenAvi(killed.c_str(), rebuilt.c_str(), note, TRUE, &frames, &error, nullptr, nullptr))
            << std::string(error);
        const size_t expected = c.cutInto != kKeepWhole ? original.size() - 1 : original.size();
        EXPECT_EQ((LONG)expected, frames);

        std::vector<std::string> back;
        AVISTREAMINFOA info = {};
        std::string format;
        ASSERT_TRUE(ReadVideoChunks(rebuilt, &back, &info, &format));
        ASSERT_EQ(expected, back.size());
        for (size_t i = 0; i < back.size(); ++i)
            EXPECT_EQ(original[i], back[i]) << "frame " << i;
        EXPECT_EQ(c.shape.rate, info.dwRate);
        EXPECT_EQ(c.shape.scale, info.dwScale);
        ASSERT_GE(format.size(), sizeof(BITMAPINFOHEADER));
        const BITMAPINFOHEADER* bih = (const BITMAPINFOHEADER*)format.data();
        EXPECT_EQ(c.shape.width, bih->biWidth);
        EXPECT_EQ(c.shape.height, bih->biHeight);
        EXPECT_EQ(c.shape.codec ? c.shape.codec : (DWORD)BI_RGB, bih->biCompression)
            << "DIB frames are not labelled with a codec";
        EXPECT_EQ(originalFormat, format) << "the codec's format for the recorded input";
        if (!c.shape.codec) {
            EXPECT_EQ((int)expected, ProbeFrameCount(rebuilt));
            EXPECT_EQ(std::to_string(c.shape.rate) + "/" + std::to_string(c.shape.scale),
                      ProbeStream(rebuilt, "v:0", "r_frame_rate"));
        } else {
            // Decoded through the codec, each picture is the one recorded.
            AVIFileInit();
            PAVIFILE file = nullptr;
            PAVISTREAM stream = nullptr;
            ASSERT_EQ(0, AVIFileOpenA(&file, rebuilt.c_str(), OF_READ, nullptr));
            ASSERT_EQ(0, AVIFileGetStream(file, &stream, streamtypeVIDEO, 0));
            PGETFRAME getter = AVIStreamGetFrameOpen(stream, nullptr);
            ASSERT_NE(nullptr, getter);
            for (size_t i = 0; i < expected; ++i) {
                const BITMAPINFOHEADER* picture = (const BITMAPINFOHEADER*)AVIStreamGetFrame(getter, (LONG)i);
                ASSERT_NE(nullptr, picture) << i;
                const std::string want = FramePicture(c.shape, (int)i);
                const BYTE* bits = (const BYTE*)picture + picture->biSize + picture->biClrUsed * 4;
                ASSERT_EQ(c.shape.bitCount, picture->biBitCount) << "decoded at the recorded depth";
                EXPECT_EQ(0, memcmp(bits, want.data(), want.size())) << "frame " << i;
            }
            AVIStreamGetFrameClose(getter);
            AVIStreamRelease(stream);
            AVIFileRelease(file);
            AVIFileExit();
        }
    }
}

// The frame rate of the note ("%f", six decimals) back to the exact rate.
TEST(AviRebuild, NoteRatesBecomeExactRates)
{
    const struct {
        double fps;
        uint32_t rate, scale;
    } cases[] = {
        { 15.000000, 15, 1 }, { 29.970030, 30000, 1001 }, { 0.500000, 1, 2 }, { 23.976024, 24000, 1001 },
        { 59.940060, 60000, 1001 }, { 7.500000, 15, 2 }, { 0.2, 1, 5 }, { 1000.0, 1000, 1 },
    };
    for (const auto& c : cases) {
        char text[32];
        sprintf(text, "%f", c.fps);
        uint32_t rate = 0, scale = 0;
        ASSERT_TRUE(avirebuild::RateFromFps(atof(text), &rate, &scale)) << text;
        EXPECT_EQ(c.rate, rate) << text;
        EXPECT_EQ(c.scale, scale) << text;
    }
    uint32_t rate = 0, scale = 0;
    for (double bad : { 0.0, -1.0, 1e300 })
        EXPECT_FALSE(avirebuild::RateFromFps(bad, &rate, &scale)) << bad;
}

// Hostile files: a size past the file, a frame larger than any frame of the
// recording, garbage after the frames, nothing but zeros. The walk stops at
// the first chunk it cannot trust and keeps what came before.
TEST(AviRebuild, DamagedChunksEndTheWalkCleanly)
{
    const avirebuild::RebuildFormat format = DibFormat(4, 2, 24);   // frames of 24 bytes
    const std::string frame(24, 'F');
    const std::string zeros(2048, '\0');
    std::string huge = Chunk("00db", frame);
    huge += "00db";
    Append32(huge, 0x7FFFFFF0u);   // a size far past the file
    huge += "xxxx";
    std::string oversize = Chunk("00db", frame) + Chunk("00db", std::string(48, 'G'));
    std::string garbage = Chunk("00db", frame) + Chunk("00db", frame) + std::string("\x01\x02\x03\x04\x10\0\0\0", 8) +
                          std::string(16, 'z') + Chunk("00db", frame);
    std::string withJunk = Chunk("00db", frame) + Chunk("JUNK", "abc") + Chunk("01wb", "ssss") + Chunk("00db", frame);
    std::string intact = "RIFF";
    Append32(intact, 0);
    intact += "AVI ";
    intact += Chunk("LIST", "hdrl" + Chunk("avih", std::string(56, '\0')));
    intact += Chunk("LIST", "movi" + Chunk("00db", frame) + Chunk("00db", frame) + Chunk("00db", frame));
    intact += Chunk("idx1", std::string(48, '\0'));
    const struct {
        const char* name;
        std::string bytes;
        bool ok;
        uint32_t frames;
    } cases[] = {
        { "empty", "", false, 0 },
        { "zeros", zeros, false, 0 },
        { "size past the end", zeros + huge, true, 1 },
        { "frame larger than the recording's", zeros + oversize, true, 1 },
        { "garbage after two frames", zeros + garbage, true, 2 },
        { "other chunks passed over", zeros + withJunk, true, 2 },
        { "intact header and index", intact, true, 3 },
        { "a lone chunk header", zeros + std::string("00db\x05\0\0\0", 8), false, 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        avirebuild::MemorySource in(c.bytes);
        avirebuild::MemorySink out;
        avirebuild::RebuildResult r;
        std::string error;
        EXPECT_EQ(c.ok, avirebuild::RebuildAvi(in, out, format, &r, nullptr, &error)) << error;
        EXPECT_EQ(c.frames, r.frames);
        if (!c.ok)
            continue;
        // The output is a RIFF AVI whose sizes hold together and whose index
        // points at the copied frames.
        const std::string& b = out.m_bytes;
        ASSERT_GT(b.size(), 12u);
        EXPECT_EQ("RIFF", b.substr(0, 4));
        EXPECT_EQ(b.size() - 8, Le32(b, 4));
        const size_t idx = b.rfind("idx1");
        ASSERT_NE(std::string::npos, idx);
        EXPECT_EQ(16u * c.frames, Le32(b, idx + 4));
        const size_t movi = b.find("movi");
        ASSERT_NE(std::string::npos, movi);
        for (uint32_t i = 0; i < c.frames; ++i) {
            const uint32_t offset = Le32(b, idx + 8 + 16 * i + 8);
            EXPECT_EQ("00db", b.substr(movi + offset, 4));
            EXPECT_EQ(frame, b.substr(movi + offset + 8, 24));
        }
    }
}

// A bound on the chunks kept in memory ends the walk there, with a valid file.
TEST(AviRebuild, ChunkLimitEndsTheWalk)
{
    avirebuild::RebuildFormat format = DibFormat(4, 2, 24);
    format.maxChunks = 3;
    std::string bytes(2048, '\0');
    for (int i = 0; i < 10; ++i)
        bytes += Chunk("00db", std::string(24, (char)i));
    avirebuild::MemorySource in(bytes);
    avirebuild::MemorySink out;
    avirebuild::RebuildResult r;
    std::string error;
    ASSERT_TRUE(avirebuild::RebuildAvi(in, out, format, &r, nullptr, &error)) << error;
    EXPECT_EQ(3u, r.frames);
}

// The sound file's repair: sizes from the length rounded to whole blocks
// (the block alignment at byte 32), the partial block cut off; a file that
// is not laid out as a WAV, such as the screen AVI, is left untouched.
TEST(AviRebuild, SoundFileRepairChecksTheLayout)
{
    testsupport::ScratchDir dir("wavfix");
    auto wav = [](WORD fmtSize, WORD block, size_t dataBytes) {
        std::string b = "RIFF";
        Append32(b, 0);
        b += "WAVE";
        b += "fmt ";
        Append32(b, fmtSize);
        std::string fmt(fmtSize, '\0');
        WAVEFORMATEX wf = {};
        wf.wFormatTag = WAVE_FORMAT_PCM;
        wf.nChannels = block / 2;
        wf.nSamplesPerSec = 22050;
        wf.nAvgBytesPerSec = 22050u * block;
        wf.nBlockAlign = block;
        wf.wBitsPerSample = 16;
        memcpy(&fmt[0], &wf, fmtSize < 18 ? fmtSize : 18);
        b += fmt;
        b += "data";
        Append32(b, 0);
        for (size_t i = 0; i < dataBytes; ++i)
            b.push_back((char)i);
        return b;
    };
    const struct {
        const char* name;
        std::string bytes;
        bool repaired;
        size_t header, data;
    } cases[] = {
        { "46-byte header, stereo, partial block", wav(18, 4, 4003), true, 46, 4000 },
        { "44-byte header, mono", wav(16, 2, 1001), true, 44, 1000 },
        { "header only", wav(18, 4, 3), false, 0, 0 },
        { "zero block alignment", wav(18, 0, 100), false, 0, 0 },
        { "an AVI", std::string("RIFF\0\0\0\0AVI LIST", 16) + std::string(100, 'x'), false, 0, 0 },
        { "zeros", std::string(300, '\0'), false, 0, 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("sound.wav");
        ASSERT_TRUE(testsupport::WriteFileBytes(path, c.bytes.data(), c.bytes.size()));
        EXPECT_EQ(c.repaired, !!RepairWaveFile(path.c_str()));
        std::string after;
        ASSERT_TRUE(testsupport::ReadFileBytes(path, &after));
        if (!c.repaired) {
            EXPECT_EQ(c.bytes, after) << "left untouched";
            continue;
        }
        ASSERT_EQ(c.header + c.data, after.size());
        EXPECT_EQ(after.size() - 8, Le32(after, 4));
        EXPECT_EQ(c.data, Le32(after, c.header - 4));
        EXPECT_EQ(c.bytes.substr(0, 4), after.substr(0, 4));
        EXPECT_EQ(c.bytes.substr(c.header, c.data), after.substr(c.header));
        // ffprobe reads the repaired file's samples in full.
        EXPECT_EQ(std::to_string(c.data / (c.header == 46 ? 4 : 2)), ProbeStream(path, "a:0", "duration_ts"));
    }
}

// A note that does not describe the frames (frames compressed while the note
// says DIB, or another picture size) gives no file rather than one that no
// player can decode; the damaged file stays as it was.
TEST(AviRebuild, ANoteThatDoesNotFitTheFramesIsRefused)
{
    ASSERT_EQ("", InstallXrvc());
    const struct {
        const char* name;
        AviShape recorded;
        AviShape noted;
        const char* codec;
    } cases[] = {
        { "compressed frames, DIB note", { 64, 48, 24, 10, 1, kXrvc, 8 }, { 64, 48, 24, 10, 1, 0, 8 }, "DIB" },
        { "DIB frames, smaller picture noted", { 64, 48, 24, 10, 1, 0, 8 }, { 32, 32, 24, 10, 1, 0, 8 }, "DIB" },
        { "DIB frames, deeper picture noted", { 64, 48, 24, 10, 1, 0, 8 }, { 64, 48, 32, 10, 1, 0, 8 }, "DIB" },
    };
    testsupport::ScratchDir dir("misfit");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string killed = dir.File("killed.avi");
        const std::string rebuilt = dir.File("rebuilt.avi");
        ASSERT_EQ("", WriteAvi(killed, c.recorded));
        ASSERT_EQ("", KillAvi(killed, kKeepWhole));
        std::string before, after;
        ASSERT_TRUE(testsupport::ReadFileBytes(killed, &before));
        CRecordingData note;
        NoteFor(note, c.noted, c.codec);
        LONG frames = -1;
        CString error;
        EXPECT_FALSE(RebuildScreenAvi(killed.c_str(), rebuilt.c_str(), note, TRUE, &frames, &error, nullptr, nullptr));
        EXPECT_FALSE(error.IsEmpty());
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(rebuilt.c_str()));
        ASSERT_TRUE(testsupport::ReadFileBytes(killed, &after));
        EXPECT_EQ(before, after);
    }
}
