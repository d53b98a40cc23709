// The output file writer over a fixture timeline (an uncompressed screen
// recording, 320x240 at 5 fps for 2 s, over a 2 s tone), driven through a
// stand-in of the progress dialog: AVI outputs with their frames, rate, size,
// sound, interleaving and INFO texts; type 6's separate WAV; WAV ranges;
// cancel; failures that leave no file; the size presets.
#include "WriterTestUtil.h"
#include "FakeProgress.h"

#include "DexTestMedia.h"
#include "MediaTestUtil.h"
#include "TestSupport.h"

#include "XRVDirectShow/OutputStages.h"
#include "XRVDirectShow/XRVDSFileWriter.h"
#include "XRVDirectShow/XRVDSTimeline.h"
#include "capture/RecordSettings.h"

#include <gtest/gtest.h>

using namespace writertest;

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }
LONGLONG Sec(double s) { return (LONGLONG)(s * 10000000.0 + 0.5); }

class FileWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
        XRVDSTimeline::s_bForcePlainRenderer = TRUE;
        dextest::AviPlan avi;
        avi.width = 320;
        avi.height = 240;
        avi.fps = 5;
        avi.codec = 0;
        avi.frameColours.assign(10, dextest::kBlue);
        ASSERT_EQ("", dextest::WriteAvi(dir.File("B.avi"), avi));
        ASSERT_TRUE(dextest::WriteToneWav(dir.File("T.wav"), 22050, 440.0, 22050 * 2));
        CreateDirectoryA(work.c_str(), NULL);
        settings.m_nHeader[0] = 0;
        settings.m_nHeader[1] = 2;
        settings.m_nOutputWidth = 320;
        settings.m_nOutputHeight = 240;
        settings.m_bInterleave = FALSE;
        settings.m_strVideoCompressor = "";
        settings.m_strAudioCompressor = "PCM";
        settings.m_FrameRate.m_nRate = 5;
        settings.m_FrameRate.m_nScale = 1;
    }
    void TearDown() override
    {
        XRVDSTimeline::s_bForcePlainRenderer = FALSE;
        CoUninitialize();
    }
    void Build(XRVDSTimeline& t)
    {
        CComPtr<IAMTimelineComp> comp;
        ASSERT_EQ(S_OK, t.GetVideoComp(&comp, t.GetVideoCompNum()));
        CComPtr<IAMTimelineTrack> track;
        ASSERT_EQ(S_OK, t.AddTrackToComp(comp, &track));
        BSTR name = SysAllocString(Wide(dir.File("B.avi")).c_str());
        ASSERT_EQ(S_OK, t.AddSourceToTrack(track, name, 0, Sec(2), 0, Sec(2), TRUE));
        SysFreeString(name);
        ASSERT_EQ(S_OK, t.AddAudioFileToTimeline(dir.File("T.wav").c_str(), 0, Sec(2), 0, Sec(2), 0, TRUE, FALSE,
                                                 FALSE, FALSE));
    }
    // Renders the fixture with the settings; the result, the path handed
    // back, and the fake dialog's view.
    BOOL RenderFixture(int mode, CString* path, CFakeProgress** progressOut = NULL, bool cancel = false,
                       LONGLONG start = -1, LONGLONG stop = -1)
    {
        XRVDSTimeline t(TRUE, TRUE);
        Build(t);
        XRVDSFileWriter writer;
        writer.m_strWorkFolder = work.c_str();
        CFakeProgress* progress = new CFakeProgress(&writer);
        progress->cancelWhenRunning = cancel;
        writer.m_pProgress = progress;
        writer.m_bOwnsProgress = TRUE;
        writer.SetOutputFormat(&settings, NULL, NULL);
        writer.SetTimeline(&t);
        writer.SetProgress(progress, mode);
        LONG started = 0;
        BOOL ok = writer.Render(*path, &started, start, stop);
        EXPECT_EQ(1, started);
        EXPECT_FALSE(progress->timedOut);
        lastLine1 = progress->line1;
        lastEvents = progress->events;
        (void)progressOut;
        return ok;
    }

    testsupport::ScratchDir dir{"writer"};
    std::string work = dir.File("work");
    CRecordSettings settings;
    std::string lastLine1;
    int lastEvents = 0;
};

TEST_F(FileWriterTest, AviHasTheFramesRateSizeAndTheWholeSound)
{
    struct Case {
        const char* name;
        int kind, index25;
        int width, height;
    } cases[] = {
        {"stored size 320x240", 2, 0, 320, 240},
        {"preset 160x120", 1, 3, 160, 120},
    };
    for (const Case& c : cases) {
        settings.m_nHeader[1] = c.kind;
        settings.m_nHeader[3] = c.index25;
        CString path;
        ASSERT_TRUE(RenderFixture(0, &path)) << c.name;
        std::string file = (const char*)path;
        EXPECT_EQ(work + "\\FileWriter", file.substr(0, work.size() + 11)) << c.name;
        EXPECT_EQ(".avi", file.substr(file.size() - 4)) << c.name;
        EXPECT_EQ("正在渲染电影", lastLine1) << c.name;
        EXPECT_EQ("10", ProbeEntry(file, "v:0", "nb_read_frames")) << c.name;
        EXPECT_EQ("5/1", ProbeEntry(file, "v:0", "r_frame_rate")) << c.name;
        EXPECT_EQ(std::to_string(c.width), ProbeEntry(file, "v:0", "width")) << c.name;
        EXPECT_EQ(std::to_string(c.height), ProbeEntry(file, "v:0", "height")) << c.name;
        // The whole sound: its stored bytes over the PCM byte rate.
        double byteRate = atof(ProbeEntry(file, "a:0", "sample_rate").c_str()) *
                          atof(ProbeEntry(file, "a:0", "channels").c_str()) *
                          atof(ProbeEntry(file, "a:0", "bits_per_sample").c_str()) / 8;
        ASSERT_GT(byteRate, 0) << c.name;
        EXPECT_NEAR(2.0, AudioBytes(file, dir.File("sound.raw")).size() / byteRate, 0.01) << c.name;
        DeleteFileA(file.c_str());
    }
}

TEST_F(FileWriterTest, InterleavingAndInfoTextsFollowTheSettings)
{
    struct Case {
        const char* name;
        BOOL interleave, byFrames;
        const char *title, *author, *copyright, *description;
        bool interleaved;
        std::string tags;
    } cases[] = {
        {"neither", FALSE, FALSE, "", "", "", "", false, ""},
        {"interleaved per second, author only", TRUE, FALSE, "", "Ann", "", "", true, "TAG:artist=Ann"},
        {"interleaved per frame, title and copyright", TRUE, TRUE, "Talk", "", "(c) 2026", "", true,
         "TAG:copyright=(c) 2026\nTAG:subject=Talk"},
        {"a description alone writes nothing", FALSE, FALSE, "", "", "", "About", false, ""},
    };
    for (const Case& c : cases) {
        settings.m_bInterleave = c.interleave;
        settings.m_bInterleaveByFrames = c.byFrames;
        settings.m_nInterleaveRate = 1;
        settings.m_strTitle = c.title;
        settings.m_strAuthor = c.author;
        settings.m_strCopyright = c.copyright;
        settings.m_strDescription = c.description;
        CString path;
        ASSERT_TRUE(RenderFixture(0, &path)) << c.name;
        std::string file = (const char*)path;
        std::string bytes;
        ASSERT_TRUE(testsupport::ReadFileBytes(file, &bytes));
        ASSERT_GT(bytes.size(), 64u);
        DWORD flags = *reinterpret_cast<const DWORD*>(&bytes[32 + 12]);
        EXPECT_EQ(c.interleaved, (flags & 0x100) != 0) << c.name;
        EXPECT_EQ(c.tags, ProbeTags(file)) << c.name;
        EXPECT_EQ("10", ProbeEntry(file, "v:0", "nb_read_frames")) << c.name;
        DeleteFileA(file.c_str());
    }
}

TEST_F(FileWriterTest, TypeSixWritesTheSoundBesideTheVideo)
{
    settings.m_nHeader[0] = 6;
    CString path;
    ASSERT_TRUE(RenderFixture(0, &path));
    std::string avi = (const char*)path;
    std::string wav = (const char*)XRVDSFileWriter::SoundPathFor(path);
    EXPECT_EQ(avi.substr(0, avi.size() - 4) + ".wav", wav);
    EXPECT_EQ("10", ProbeEntry(avi, "v:0", "nb_read_frames"));
    EXPECT_EQ("", ProbeEntry(avi, "a:0", "codec_name"));
    mediatest::WavInfo info = mediatest::ReadWav(wav);
    ASSERT_TRUE(info.ok) << info.layout;
    const WAVEFORMATEX* w = reinterpret_cast<const WAVEFORMATEX*>(info.format.data());
    EXPECT_NEAR(2.0, (double)info.data.size() / w->nAvgBytesPerSec, 0.01);
}

TEST_F(FileWriterTest, WavRanges)
{
    struct Case {
        const char* name;
        LONGLONG start, stop;
        double seconds;
    } cases[] = {
        {"(-1, -1) is the whole timeline", -1, -1, 2.0},
        {"a start equal to the stop is the whole timeline", Sec(1), Sec(1), 2.0},
        {"a stop beyond the end is cut to the end", Sec(0.5), Sec(9), 1.5},
        {"a range inside", Sec(0.5), Sec(1.5), 1.0},
    };
    for (const Case& c : cases) {
        CString path;
        ASSERT_TRUE(RenderFixture(1, &path, NULL, false, c.start, c.stop)) << c.name;
        std::string file = (const char*)path;
        EXPECT_EQ(".wav", file.substr(file.size() - 4)) << c.name;
        mediatest::WavInfo info = mediatest::ReadWav(file);
        ASSERT_TRUE(info.ok) << c.name << ": " << info.layout;
        const WAVEFORMATEX* w = reinterpret_cast<const WAVEFORMATEX*>(info.format.data());
        EXPECT_NEAR(c.seconds, (double)info.data.size() / w->nAvgBytesPerSec, 0.01) << c.name;
        EXPECT_NEAR(c.seconds, atof(ProbeEntry(file, "a:0", "duration").c_str()), 0.01) << c.name;
        DeleteFileA(file.c_str());
    }
}

// A cancelled or failed write returns 0, hands back the temporary name, and
// leaves no file behind (the empty file the worker made first included).
TEST_F(FileWriterTest, CancelAndFailuresReturnZeroAndLeaveNoFile)
{
    struct Case {
        const char* name;
        int type;
        bool cancel;
    } cases[] = {
        {"cancel while writing", 0, true},
        {"Windows Media without its stage", 4, false},
        {"SWF without its stage", 8, false},
    };
    const OutputStageFunctions* saved = RegisterOutputStages(NULL);
    for (const Case& c : cases) {
        settings.m_nHeader[0] = c.type;
        CString path;
        EXPECT_FALSE(RenderFixture(0, &path, NULL, c.cancel)) << c.name;
        std::string file = (const char*)path;
        EXPECT_EQ(work + "\\FileWriter", file.substr(0, work.size() + 11)) << c.name;
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file.c_str())) << c.name;
    }
    EXPECT_TRUE(mediatest::ListFiles(work, "FileWriter*").empty());
    RegisterOutputStages(saved);
}

TEST_F(FileWriterTest, OutputSizes)
{
    struct Case {
        const char* name;
        int kind, index4, index25;
        int width, height;
    } cases[] = {
        {"kind 1, index 0", 1, 0, 0, 80, 60},
        {"kind 1, index 24", 1, 0, 24, 1600, 1200},
        {"kind 3, index 3", 3, 3, 0, 1024, 768},
        {"kind 2, the stored size", 2, 0, 0, 400, 300},
        {"kind 1 out of range: the largest source", 1, 0, 25, 320, 240},
        {"kind 5: the largest source", 5, 0, 0, 320, 240},
    };
    XRVDSTimeline t(TRUE, TRUE);
    Build(t);
    for (const Case& c : cases) {
        settings.m_nHeader[1] = c.kind;
        settings.m_nHeader[2] = c.index4;
        settings.m_nHeader[3] = c.index25;
        settings.m_nOutputWidth = 400;
        settings.m_nOutputHeight = 300;
        XRVDSFileWriter writer;
        writer.SetOutputFormat(&settings, NULL, NULL);
        writer.SetTimeline(&t);
        int w = -1, h = -1;
        EXPECT_EQ(0, writer.GetOutputSize(&w, &h)) << c.name;
        EXPECT_EQ(c.width, w) << c.name;
        EXPECT_EQ(c.height, h) << c.name;
    }
    XRVDSFileWriter empty;
    int w = -1, h = -1;
    empty.GetOutputSize(&w, &h);
    EXPECT_EQ(0, w);
    EXPECT_EQ(0, h);
    EXPECT_EQ(-1, empty.GetDuration());
    double rate = 1;
    EXPECT_EQ(E_FAIL, empty.GetMaxProperties(&w, &h, &rate, NULL));
    EXPECT_EQ(0.0, rate);
    LONGLONG position = -1;
    EXPECT_EQ(1, empty.GetWritePosition(&position));
    EXPECT_EQ(0, position);
}

TEST(FileWriterPaths, SoundPathReplacesTheExtension)
{
    struct Case {
        const char* avi;
        const char* wav;
    } cases[] = {
        {"c:\\out.avi", "c:\\out.wav"},
        {"c:\\a.b\\take 2.AVI", "c:\\a.b\\take 2.wav"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.wav, (const char*)XRVDSFileWriter::SoundPathFor(c.avi)) << c.avi;
}

}  // namespace
