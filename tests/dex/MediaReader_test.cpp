// The media readers on files written by the platform's own writers: the
// program's two kinds of recordings (xrvc and uncompressed AVI, with sound),
// a .wav tone and a PNG still; sample-exact audio conversion; damaged and
// hostile files.
#include "DexTestMedia.h"
#include "TestSupport.h"

#include "platform/dex/MediaReader.h"

#include <gtest/gtest.h>

using namespace dextest;

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class MediaReaderTest : public ::testing::Test {
protected:
    void SetUp() override { CoInitializeEx(NULL, COINIT_MULTITHREADED); }
    void TearDown() override { CoUninitialize(); }
    testsupport::ScratchDir dir{"dexreader"};
};

// Red for two frames, blue for two, at 5 fps; with 1 s of 440 Hz at 22050 Hz.
AviPlan RedBlue(DWORD codec)
{
    AviPlan avi;
    avi.codec = codec;
    avi.frameColours = {kRed, kRed, kBlue, kBlue};
    avi.toneRate = 22050;
    avi.toneSamples = 22050;
    return avi;
}

TEST_F(MediaReaderTest, RecordingsGiveTheirFramesAndSound)
{
    struct Case {
        const char* name;
        DWORD codec;
    } cases[] = {{"uncompressed", 0}, {"xrvc", kXrvc}};
    for (const Case& c : cases) {
        std::string path = dir.File(std::string(c.name) + ".avi");
        ASSERT_EQ("", WriteAvi(path, RedBlue(c.codec))) << c.name;
        std::unique_ptr<CMediaReader> reader;
        ASSERT_EQ(S_OK, OpenMediaReader(Wide(path).c_str(), &reader)) << c.name;
        ASSERT_EQ(2, reader->StreamCount()) << c.name;

        int v = reader->FindStream(MEDIA_STREAM_VIDEO);
        ASSERT_GE(v, 0) << c.name;
        const MediaStreamInfo& video = reader->Stream(v);
        EXPECT_EQ(32, video.width) << c.name;
        EXPECT_EQ(24, video.height) << c.name;
        EXPECT_EQ(5u, video.rateNum / video.rateDen) << c.name;
        EXPECT_EQ(4, video.frames) << c.name;
        EXPECT_EQ(8000000, video.length) << c.name;
        EXPECT_EQ(c.codec, video.handler) << c.name;
        std::vector<BYTE> frame(32 * 24 * 4);
        const DWORD expected[] = {kRed, kRed, kBlue, kBlue, kBlue /* past the end: the last */};
        for (LONG n = 0; n < 5; ++n) {
            ASSERT_EQ(S_OK, reader->ReadFrame(v, n, frame.data())) << c.name << " frame " << n;
            EXPECT_EQ(expected[n], PixelAt(frame.data(), 32, 24, 16, 12)) << c.name << " frame " << n;
            EXPECT_EQ(expected[n], PixelAt(frame.data(), 32, 24, 0, 0)) << c.name << " frame " << n;
        }
        EXPECT_EQ(0, reader->RefusedFrames()) << c.name;

        int a = reader->FindStream(MEDIA_STREAM_AUDIO);
        ASSERT_GE(a, 0) << c.name;
        const MediaStreamInfo& audio = reader->Stream(a);
        EXPECT_EQ(22050u, audio.pcm.nSamplesPerSec) << c.name;
        EXPECT_EQ(1, audio.pcm.nChannels) << c.name;
        EXPECT_EQ(22050, audio.samples) << c.name;
        EXPECT_EQ(10000000, audio.length) << c.name;
        std::vector<short> got(22050);
        ASSERT_EQ(S_OK, reader->ReadAudio(a, 0, 22050, audio.pcm, (BYTE*)got.data())) << c.name;
        EXPECT_EQ(Tone(22050, 440.0, 22050), got) << c.name;
    }
}

// 22050 Hz mono read as 44100 Hz stereo: every even output sample is an
// input sample, odd ones lie halfway, both channels equal; past the end is
// silence. The values are integers: the same in every build.
TEST_F(MediaReaderTest, AudioIsConvertedSampleExactly)
{
    std::string path = dir.File("T.wav");
    ASSERT_TRUE(WriteToneWav(path, 22050, 440.0, 22050 * 4));
    std::unique_ptr<CMediaReader> reader;
    ASSERT_EQ(S_OK, OpenMediaReader(Wide(path).c_str(), &reader));
    ASSERT_EQ(1, reader->StreamCount());
    const MediaStreamInfo& s = reader->Stream(0);
    EXPECT_EQ(MEDIA_STREAM_AUDIO, s.kind);
    EXPECT_EQ(88200, s.samples);
    EXPECT_EQ(40000000, s.length);

    WAVEFORMATEX out = {WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    std::vector<short> in = Tone(22050, 440.0, 22050 * 4);
    const LONGLONG firsts[] = {0, 1, 88199, 176390};
    for (LONGLONG first : firsts) {
        std::vector<short> got(2 * 20, 7);
        ASSERT_EQ(S_OK, reader->ReadAudio(0, first, 20, out, (BYTE*)got.data())) << first;
        for (int j = 0; j < 20; ++j) {
            LONGLONG k = first + j;
            int expected = 0;
            if (k / 2 < 88200) {
                int a = in[(size_t)(k / 2)];
                int b = in[(size_t)(k / 2 + 1 < 88200 ? k / 2 + 1 : 88199)];
                expected = (k % 2) ? a + (b - a) / 2 : a;
            }
            EXPECT_EQ(expected, got[2 * j]) << "output sample " << k;
            EXPECT_EQ(got[2 * j], got[2 * j + 1]) << "output sample " << k;
        }
    }
    // The tone is still 440 Hz at the new rate.
    std::vector<short> second(44100 * 2);
    ASSERT_EQ(S_OK, reader->ReadAudio(0, 44100, 44100, out, (BYTE*)second.data()));
    EXPECT_NEAR(880.0, CrossingsPerSecond(second.data(), 44100, 2, 44100), 4.0);
    // Formats the reader does not write are refused.
    WAVEFORMATEX eightBit = {WAVE_FORMAT_PCM, 1, 22050, 22050, 1, 8, 0};
    EXPECT_EQ(E_INVALIDARG, reader->ReadAudio(0, 0, 10, eightBit, (BYTE*)second.data()));
}

TEST_F(MediaReaderTest, StillsByExtensionOrSuffix)
{
    std::string path = dir.File("S.png");
    ASSERT_TRUE(WriteSolidPng(path, 128, 72, kGreen));
    const std::wstring names[] = {Wide(path), Wide(path) + L".XRVImg3"};
    for (const std::wstring& name : names) {
        BOOL still = FALSE;
        EXPECT_EQ(Wide(path), MediaFileOfName(name.c_str(), &still));
        EXPECT_TRUE(still);
        std::unique_ptr<CMediaReader> reader;
        ASSERT_EQ(S_OK, OpenMediaReader(name.c_str(), &reader));
        ASSERT_EQ(1, reader->StreamCount());
        const MediaStreamInfo& s = reader->Stream(0);
        EXPECT_TRUE(s.still);
        EXPECT_EQ(128, s.width);
        EXPECT_EQ(72, s.height);
        EXPECT_EQ(0u, s.rateNum);
        std::vector<BYTE> frame(128 * 72 * 4);
        ASSERT_EQ(S_OK, reader->ReadFrame(0, 17, frame.data()));
        EXPECT_EQ(kGreen, PixelAt(frame.data(), 128, 72, 64, 36));
        EXPECT_EQ(kGreen, PixelAt(frame.data(), 128, 72, 127, 71));
    }
}

// A damaged xrvc frame is refused by the codec: the previous frame stands in
// and the stream goes on. The delta frame after it has no reference left and
// is refused too, so the last good picture holds until the next key frame.
TEST_F(MediaReaderTest, DamagedFrameRepeatsThePreviousOne)
{
    std::string path = dir.File("damaged.avi");
    AviPlan avi;
    avi.codec = kXrvc;
    avi.frameColours = {kRed, kBlue, kGreen, kRed};
    ASSERT_EQ("", WriteAvi(path, avi));
    std::string bytes;
    ASSERT_TRUE(testsupport::ReadFileBytes(path, &bytes));
    // The third "00dc" chunk (frame 2): its payload is overwritten.
    size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        at = bytes.find("00dc", at + 1);
        ASSERT_NE(std::string::npos, at);
    }
    // The index at the end names "00dc" too; the data chunks come first.
    DWORD size = *(const DWORD*)(bytes.data() + at + 4);
    ASSERT_GT(size, 0u);
    for (DWORD i = 0; i < size; ++i)
        bytes[at + 8 + i] = (char)0xA5;
    ASSERT_TRUE(testsupport::WriteFileBytes(path, bytes.data(), bytes.size()));

    std::unique_ptr<CMediaReader> reader;
    ASSERT_EQ(S_OK, OpenMediaReader(Wide(path).c_str(), &reader));
    std::vector<BYTE> frame(32 * 24 * 4);
    const DWORD expected[] = {kRed, kBlue, kBlue, kBlue};
    std::vector<DWORD> seen;
    for (LONG n = 0; n < 4; ++n) {
        ASSERT_EQ(S_OK, reader->ReadFrame(0, n, frame.data())) << n;
        seen.push_back(PixelAt(frame.data(), 32, 24, 16, 12));
        EXPECT_EQ(expected[n], PixelAt(frame.data(), 32, 24, 16, 12)) << "frame " << n;
    }
    EXPECT_EQ(2, reader->RefusedFrames()) << std::hex << seen[0] << " " << seen[1] << " " << seen[2] << " " << seen[3];
}

// Files that are missing, empty, not media or that claim absurd sizes fail
// to open with an error; nothing is allocated from their numbers.
TEST_F(MediaReaderTest, BadFilesFailToOpen)
{
    std::string good = dir.File("good.avi");
    AviPlan plan;
    plan.frameColours = {kRed};
    ASSERT_EQ("", WriteAvi(good, plan));
    std::string avi;
    ASSERT_TRUE(testsupport::ReadFileBytes(good, &avi));
    // The stream header's format: biWidth and biHeight follow "strf" + size + biSize.
    size_t strf = avi.find("strf");
    ASSERT_NE(std::string::npos, strf);
    std::string huge = avi;
    *(LONG*)&huge[strf + 12] = 1000000;
    *(LONG*)&huge[strf + 16] = 1000000;
    std::string noRate = avi;
    size_t strh = avi.find("strh");
    ASSERT_NE(std::string::npos, strh);
    // dwScale and dwRate of the stream header.
    *(DWORD*)&noRate[strh + 8 + 20] = 0;
    *(DWORD*)&noRate[strh + 8 + 24] = 0;

    struct Case {
        const char* name;
        std::string bytes;   // empty name: the file is not written
        bool write;
    } cases[] = {
        {"missing.avi", "", false},
        {"empty.avi", "", true},
        {"text.avi", "this is not a movie", true},
        {"huge.avi", huge, true},
        {"norate.avi", noRate, true},
        {"broken.png", "\x89PNG\r\n\x1a\n garbage", true},
    };
    for (const Case& c : cases) {
        std::string path = dir.File(c.name);
        if (c.write) {
            ASSERT_TRUE(testsupport::WriteFileBytes(path, c.bytes.data(), c.bytes.size()));
        }
        std::unique_ptr<CMediaReader> reader;
        HRESULT hr = OpenMediaReader(Wide(path).c_str(), &reader);
        EXPECT_TRUE(FAILED(hr)) << c.name;
        EXPECT_EQ(nullptr, reader.get()) << c.name;
        if (!c.write) {
            EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), hr) << c.name;
        }
    }
    std::unique_ptr<CMediaReader> reader;
    EXPECT_EQ(E_INVALIDARG, OpenMediaReader(L"", &reader));
}

namespace {

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

// A package stream reads as the file it holds, through a temporary copy
// deleted with the reader; the scheme and stream name match in any case,
// and a package held open for reading elsewhere still opens.
TEST_F(MediaReaderTest, PackageStreamsReadAsTheirFiles)
{
    const std::string avi = dir.File("screen.avi"), still = dir.File("still.png"), pkg = dir.File("Rec.skorec");
    ASSERT_EQ("", WriteAvi(avi, RedBlue(kXrvc)));
    ASSERT_TRUE(WriteSolidPng(still, 16, 8, kGreen));
    ASSERT_TRUE(WritePackage(pkg, {{L"Screen_Stream.avi", avi}, {L"Image.png", still}}));
    HANDLE lockHandle = CreateFileA(pkg.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, lockHandle) << "the editor's lock on the package";

    const std::wstring base = L"XRVREC://" + Wide(pkg) + L"!";
    std::unique_ptr<CMediaReader> reader;
    ASSERT_EQ(S_OK, OpenMediaReader((base + L"screen_stream.AVI").c_str(), &reader));
    const std::wstring copy = reader->TemporaryFile();
    EXPECT_TRUE(Exists(copy));
    int v = reader->FindStream(MEDIA_STREAM_VIDEO);
    ASSERT_GE(v, 0);
    EXPECT_EQ(4, reader->Stream(v).frames);
    EXPECT_GE(reader->FindStream(MEDIA_STREAM_AUDIO), 0);
    std::vector<BYTE> frame(32 * 24 * 4);
    ASSERT_EQ(S_OK, reader->ReadFrame(v, 3, frame.data()));
    EXPECT_EQ(kBlue, PixelAt(frame.data(), 32, 24, 16, 12));
    // A second reader of the stream (a timeline rebuilt after an edit)
    // shares the copy; it goes with the last reader.
    std::unique_ptr<CMediaReader> second;
    ASSERT_EQ(S_OK, OpenMediaReader((base + L"Screen_Stream.avi").c_str(), &second));
    EXPECT_EQ(copy, second->TemporaryFile());
    reader.reset();
    EXPECT_TRUE(Exists(copy)) << "still read by the second reader";
    second.reset();
    EXPECT_FALSE(Exists(copy)) << "the temporary copy goes with the last reader";

    ASSERT_EQ(S_OK, OpenMediaReader((base + L"Image.png.XRVImg3").c_str(), &reader));
    ASSERT_TRUE(reader->Stream(0).still);
    std::vector<BYTE> picture(16 * 8 * 4);
    ASSERT_EQ(S_OK, reader->ReadFrame(0, 0, picture.data()));
    EXPECT_EQ(kGreen, PixelAt(picture.data(), 16, 8, 3, 3));
    reader.reset();
    CloseHandle(lockHandle);

    // Failures name the reason, leave no copy behind and never crash.
    const std::string notPackage = dir.File("plain.skorec");
    ASSERT_TRUE(WriteSolidPng(notPackage, 4, 4, kRed));
    const std::string emptyStream = dir.File("Empty.skorec");
    const std::string emptyFile = dir.File("empty.bin");
    fclose(fopen(emptyFile.c_str(), "wb"));
    ASSERT_TRUE(WritePackage(emptyStream, {{L"screen.avi", emptyFile}}));
    WCHAR temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const struct {
        std::wstring name;
        HRESULT expected;   // S_OK: any failure
    } failures[] = {
        {base + L"Missing.avi", STG_E_FILENOTFOUND},
        {L"xrvrec://" + Wide(dir.File("nowhere.skorec")) + L"!a.avi", S_OK},
        {L"xrvrec://" + Wide(notPackage) + L"!a.avi", S_OK},
        {L"xrvrec://" + Wide(emptyStream) + L"!SCREEN.avi", S_OK},
        {L"xrvrec://" + Wide(pkg) + L"!", S_OK},
    };
    for (const auto& f : failures) {
        HRESULT hr = OpenMediaReader(f.name.c_str(), &reader);
        EXPECT_TRUE(FAILED(hr)) << std::string(f.name.begin(), f.name.end());
        if (f.expected != S_OK)
            EXPECT_EQ(f.expected, hr);
        EXPECT_EQ(nullptr, reader.get());
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((std::wstring(temp) + L"vexcap-" + std::to_wstring(GetCurrentProcessId()) + L"-*").c_str(),
                                   &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search) << "no temporary copy is left";
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
}

TEST(PackageStreamNames, SplitAtTheLastBang)
{
    const struct {
        const wchar_t* name;
        BOOL ok;
        const wchar_t* package;
        const wchar_t* stream;
    } cases[] = {
        {L"xrvrec://c:\\a\\b.skorec!s.avi", TRUE, L"c:\\a\\b.skorec", L"s.avi"},
        {L"XrvRec://c:\\a!b.skorec!s.avi", TRUE, L"c:\\a!b.skorec", L"s.avi"},
        {L"c:\\a\\b.skorec!s.avi", FALSE, L"", L""},
        {L"xrvrec://c:\\b.skorec", FALSE, L"", L""},
        {L"xrvrec://c:\\b.skorec!", FALSE, L"", L""},
        {L"xrvrec://!s.avi", FALSE, L"", L""},
        {L"xrvrec://", FALSE, L"", L""},
    };
    for (const auto& c : cases) {
        std::wstring package, stream;
        EXPECT_EQ(c.ok, SplitPackageStreamName(c.name, &package, &stream)) << std::string(c.name, c.name + wcslen(c.name));
        if (c.ok) {
            EXPECT_EQ(c.package, package);
            EXPECT_EQ(c.stream, stream);
        }
    }
}

TEST(FrameTimes, ComputedFromTheFrameNumber)
{
    struct Case {
        LONGLONG frame;
        DWORD num, den;
        LONGLONG start;
    } cases[] = {
        {0, 5, 1, 0},           {1, 5, 1, 2000000},         {3, 30000, 1001, 1001000},
        {29, 30000, 1001, 9676333}, {1000000, 3, 1, 3333333333333LL}, {7, 0, 1, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.start, FrameStartTime(c.frame, c.num, c.den)) << c.frame << " at " << c.num << "/" << c.den;
}

}  // namespace
