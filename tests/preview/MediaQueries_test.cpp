// The facade's media queries over generated files: presence of streams,
// lengths in whole milliseconds, picture and sound formats, and the
// file-properties cache, which serves a file only while it is unchanged.
#include "PreviewTestSupport.h"
#include "DexTestMedia.h"

#include "XRVDirectShow/FileProperties.h"
#include "XRVDirectShow/XRVDShow.h"

namespace {

using namespace previewtest;
using namespace dextest;

struct Info {
    HRESULT hr = E_UNEXPECTED;
    BOOL video = -1, audio = -1;
    LONGLONG length = -1;
    int width = -1, height = -1, bits = -1;
    double rate = -1;
    WAVEFORMATEX wave;
};

Info Query(const std::string& file, BOOL noCache = FALSE)
{
    Info i;
    i.hr = XRVDShowMedia::GetMediaInformation(file.c_str(), &i.video, &i.audio, &i.length, &i.width, &i.height,
                                              &i.rate, &i.bits, &i.wave, noCache);
    return i;
}

int RecordsFor(const std::string& file)
{
    CSingleLock hold(&g_FilePropertiesLock, TRUE);
    int n = 0;
    for (INT_PTR i = 0; i < g_FileProperties.GetSize(); ++i)
        n += g_FileProperties[i].fileName.CompareNoCase(file.c_str()) == 0;
    return n;
}

class MediaQueriesTest : public PreviewTest {};

TEST_F(MediaQueriesTest, StreamsLengthsAndFormats)
{
    AviPlan video;
    video.width = 64;
    video.height = 48;
    video.frameColours.assign(15, kRed);   // 3 s at 5 frames a second
    ASSERT_EQ("", WriteAvi(dir.File("video.avi"), video));
    AviPlan both = video;
    both.frameColours.assign(5, kBlue);    // 1 s of video, 2 s of sound
    both.toneRate = 22050;
    both.toneSamples = 44100;
    ASSERT_EQ("", WriteAvi(dir.File("both.avi"), both));
    ASSERT_TRUE(WriteToneWav(dir.File("tone.wav"), 22050, 440.0, 22050 * 3 / 2 + 7));

    struct Case {
        std::string file;
        BOOL video, audio;
        LONGLONG length, streamLength;
        int width, height;
        DWORD rate;   // sample rate, 0xFFFFFFFF without audio
    } cases[] = {
        {dir.File("video.avi"), TRUE, FALSE, 30000000, 30000000, 64, 48, 0xFFFFFFFF},
        {dir.File("both.avi"), TRUE, TRUE, 10000000, 20000000, 64, 48, 22050},
        {dir.File("tone.wav"), FALSE, TRUE, 15000000, 15000000, 0, 0, 22050},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.video, XRVDShowMedia::HasVideoStream(c.file.c_str())) << c.file;
        EXPECT_EQ(c.audio, XRVDShowMedia::HasAudioStream(c.file.c_str())) << c.file;
        EXPECT_EQ(c.streamLength, XRVDShowMedia::GetStreamLength(c.file.c_str())) << c.file;
        const Info i = Query(c.file);
        ASSERT_EQ(S_OK, i.hr) << c.file;
        EXPECT_EQ(c.video, i.video) << c.file;
        EXPECT_EQ(c.audio, i.audio) << c.file;
        EXPECT_EQ(c.length, i.length) << c.file << ": the video's length when there is video";
        EXPECT_EQ(c.width, i.width) << c.file;
        EXPECT_EQ(c.height, i.height) << c.file;
        EXPECT_EQ(c.video ? 5.0 : 0.0, i.rate) << c.file;
        EXPECT_EQ(c.rate, i.wave.nSamplesPerSec) << c.file;
        if (c.audio) {
            EXPECT_EQ(WAVE_FORMAT_PCM, i.wave.wFormatTag) << c.file;
            EXPECT_EQ(1, i.wave.nChannels) << c.file;
            EXPECT_EQ(16, i.wave.wBitsPerSample) << c.file;
        }
        // Cached now: the longer stream still counts.
        EXPECT_EQ(c.streamLength, XRVDShowMedia::GetStreamLength(c.file.c_str())) << c.file << " cached";
        EXPECT_EQ(1, RecordsFor(c.file)) << c.file;
    }
}

TEST_F(MediaQueriesTest, BadNamesAndPointers)
{
    EXPECT_TRUE(XRVDShowMedia::HasVideoStream("C:\\nowhere\\still.png.XRVImg3")) << "taken as video unopened";
    const std::string missing = dir.File("missing.avi");
    EXPECT_FALSE(XRVDShowMedia::HasVideoStream(missing.c_str()));
    EXPECT_FALSE(XRVDShowMedia::HasAudioStream(missing.c_str()));
    EXPECT_EQ(0, XRVDShowMedia::GetStreamLength(missing.c_str()));
    EXPECT_EQ(E_FAIL, Query(missing).hr);
    EXPECT_EQ(0, RecordsFor(missing));
    ASSERT_TRUE(WriteToneWav(dir.File("t.wav"), 22050, 440.0, 22050));
    BOOL v, a;
    LONGLONG len;
    int w, h, b;
    double r;
    EXPECT_EQ(E_POINTER, XRVDShowMedia::GetMediaInformation(dir.File("t.wav").c_str(), &v, &a, NULL, &w, &h, &r, &b,
                                                            NULL, FALSE));
    EXPECT_EQ(E_POINTER, XRVDShowMedia::GetMediaInformation(NULL, &v, &a, &len, &w, &h, &r, &b, NULL, FALSE));
    const std::string garbage = dir.File("garbage.avi");
    ASSERT_TRUE(testsupport::WriteFileBytes(garbage, "RIFF\x10\0\0\0AVI junkjunk", 20));
    const Info g = Query(garbage);
    EXPECT_FALSE(g.hr == S_OK && g.video) << "no video from a corrupt file";
}

// A changed file is probed again and keeps one record; noCache re-probes a
// cached name without adding a record.
TEST_F(MediaQueriesTest, CacheServesOnlyAnUnchangedFile)
{
    const std::string file = dir.File("changing.wav");
    ASSERT_TRUE(WriteToneWav(file, 22050, 440.0, 22050));
    EXPECT_EQ(10000000, Query(file).length);
    Sleep(1100);   // a new write time, whatever the file system's resolution
    ASSERT_TRUE(WriteToneWav(file, 22050, 440.0, 22050 * 2));
    EXPECT_EQ(20000000, Query(file).length) << "the changed file was probed again";
    EXPECT_EQ(20000000, XRVDShowMedia::GetStreamLength(file.c_str()));
    EXPECT_EQ(1, RecordsFor(file));
    EXPECT_EQ(20000000, Query(file, TRUE).length);
    EXPECT_EQ(1, RecordsFor(file)) << "noCache replaces, never adds";
}

TEST(MediaQueriesFormat, PcmFormOfAStreamsFormat)
{
    struct Case {
        WORD channels;
        DWORD rate;
        WORD expectChannels;
        DWORD expectRate;
        WORD align;
        DWORD bytes;
    } cases[] = {
        {2, 44100, 2, 44100, 4, 176400},
        {1, 8000, 1, 8000, 2, 16000},
        {2, 0, 1, 22050, 2, 44100},
        {0, 11025, 0, 11025, 1, 11025},
    };
    for (const Case& c : cases) {
        WAVEFORMATEX in = {};
        in.wFormatTag = 2;
        in.nChannels = c.channels;
        in.nSamplesPerSec = c.rate;
        in.wBitsPerSample = 4;
        in.cbSize = 32;
        WAVEFORMATEX out;
        XRVDShowMedia::PcmFormOf(in, &out);
        EXPECT_EQ(WAVE_FORMAT_PCM, out.wFormatTag) << c.rate;
        EXPECT_EQ(c.expectChannels, out.nChannels) << c.rate;
        EXPECT_EQ(c.expectRate, out.nSamplesPerSec) << c.rate;
        EXPECT_EQ(16, out.wBitsPerSample) << c.rate;
        EXPECT_EQ(c.align, out.nBlockAlign) << c.rate;
        EXPECT_EQ(c.bytes, out.nAvgBytesPerSec) << c.rate;
        EXPECT_EQ(0, out.cbSize) << c.rate;
    }
}

}  // namespace
