// Finishing a recording: the sound lined up, converted and interleaved into
// the screen AVI (read back by ffprobe), the join seam, and the guarantees
// that a failed or cancelled finish leaves the screen AVI as it was.
#include "capture/RecordingFinish.h"

#include "MediaTestUtil.h"
#include "FinishingTestUtil.h"
#include "TestSupport.h"
#include "capture/AviInterleaveWriter.h"
#include "capture/RecordSettings.h"
#include "resources/ids_finishing.h"
#include "resources/ids_media.h"

#include <gtest/gtest.h>

#include <stdlib.h>

using namespace testsupport;
using mediatest::PcmFormat;

namespace {

std::string Text(UINT id)
{
    CString text;
    text.LoadString(id);
    return std::string(text);
}

void Prepare(CRecordingFinisher& f, const ScratchDir& dir, const std::string& screen, const std::string& audio,
           const WAVEFORMATEX& capture)
{
    f.m_screenFile = screen.c_str();
    f.m_baseName = dir.File("rec.avi").c_str();
    f.m_audioFiles.Add(audio.c_str());
    f.m_tempFolder = dir.Path().c_str();
    f.m_waveInRan = TRUE;
    f.m_audioHasData = TRUE;
    f.m_captureFormat.assign(reinterpret_cast<const BYTE*>(&capture), reinterpret_cast<const BYTE*>(&capture) + 18);
}

// A stream's length in seconds. ffprobe leaves the duration of AVI audio
// with a fixed sample size unset; its length is its sample count (the
// header's length, reported as nb_frames) over the sample rate.
double ProbeDuration(const std::string& path, const char* stream)
{
    if (stream[0] == 'a')
        return atof(finishingtest::ProbeStream(path, stream, "nb_frames").c_str()) /
               atof(finishingtest::ProbeStream(path, stream, "sample_rate").c_str());
    return atof(finishingtest::ProbeStream(path, stream, "duration").c_str());
}

// The sound of an AVI as 22050 Hz mono 16-bit samples, through ffmpeg.
std::vector<int> AviSound(const ScratchDir& dir, const std::string& avi)
{
    const std::string raw = dir.File("sound.raw");
    std::string out;
    RunHost("ffmpeg -v error -y -i '" + UnixPath(avi) + "' -map 0:a -f s16le -ac 1 -ar 22050 '" + UnixPath(raw) + "'",
            &out);
    std::string bytes;
    ReadFileBytes(raw, &bytes);
    return mediatest::Samples16(bytes);
}

std::string StreamReport(const std::string& path)
{
    std::string out;
    RunHost("ffprobe -v error -show_streams -show_format '" + UnixPath(path) + "'", &out);
    return out;
}

bool NoTemporaryFilesLeft(const ScratchDir& dir)
{
    return mediatest::ListFiles(dir.Path(), "SkoRender*").empty() &&
           mediatest::ListFiles(dir.Path(), "SkoConvert*").empty();
}

}  // namespace

TEST(RecordingFinish, NothingToDoLeavesTheFilesAlone)
{
    ScratchDir dir;
    const std::string screen = dir.File("rec_Screen.avi");
    ASSERT_TRUE(finishingtest::MakeScreenAvi(screen, 32, 24, 10, 5));
    std::string before, after;
    ASSERT_TRUE(ReadFileBytes(screen, &before));
    const struct {
        const char* what;
        BOOL camera, ran, data;
    } cases[] = { { "no wave input", FALSE, FALSE, FALSE }, { "no sound data", FALSE, TRUE, FALSE },
                  { "camera keeps its own sound", TRUE, TRUE, TRUE } };
    for (const auto& c : cases) {
        CRecordingFinisher f;
        Prepare(f, dir, screen, dir.File("missing_Audio.wav"), PcmFormat(22050, 1, 16));
        f.m_recordCamera = c.camera;
        f.m_waveInRan = c.ran;
        f.m_audioHasData = c.data;
        EXPECT_TRUE(f.Finish()) << c.what;
        EXPECT_EQ(0, f.m_failure) << c.what;
        ASSERT_TRUE(ReadFileBytes(screen, &after));
        EXPECT_TRUE(before == after) << c.what;
    }
}

// A recording with a tone played into the sink finishes into one AVI with a
// video and an audio stream of the same length, the audio being the tone.
TEST(RecordingFinish, RecordedToneIsInterleavedIntoTheScreenAvi)
{
    ScratchDir dir;
    const WAVEFORMATEX capture = PcmFormat(22050, 1, 16);
    const std::string audio = dir.File("rec_Audio.wav");
    mediatest::ResetMessageBoxes();
    ASSERT_TRUE(finishingtest::RecordTone(audio, capture, 3000, 440))
        << (mediatest::MessageBoxes().empty() ? "" : mediatest::MessageBoxes()[0]);
    const std::string screen = dir.File("rec_Screen.avi");
    ASSERT_TRUE(finishingtest::MakeScreenAvi(screen, 64, 48, 15, 45));

    FakeProgress progress;
    CRecordingFinisher f;
    Prepare(f, dir, screen, audio, capture);
    f.m_progress = &progress;
    ASSERT_TRUE(f.Finish()) << std::string(f.m_errorText)
                            << (mediatest::MessageBoxes().empty() ? "" : mediatest::MessageBoxes()[0]);
    EXPECT_EQ(0, f.m_failure);
    EXPECT_EQ(0, f.m_audioFiles.GetSize());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(audio.c_str()));
    EXPECT_TRUE(NoTemporaryFilesLeft(dir));
    EXPECT_EQ(Text(IDS_INTERLEAVING_AUDIO), progress.titles.back());

    EXPECT_EQ("rawvideo", finishingtest::ProbeStream(screen, "v:0", "codec_name"));
    EXPECT_EQ("pcm_s16le", finishingtest::ProbeStream(screen, "a:0", "codec_name"));
    EXPECT_EQ("22050", finishingtest::ProbeStream(screen, "a:0", "sample_rate"));
    EXPECT_EQ("45", finishingtest::ProbeStream(screen, "v:0", "nb_frames"));
    const double video = ProbeDuration(screen, "v:0");
    const double sound = ProbeDuration(screen, "a:0");
    EXPECT_NEAR(3.0, video, 0.01);
    EXPECT_NEAR(video, sound, 0.05) << StreamReport(screen);

    std::vector<int> samples = AviSound(dir, screen);
    ASSERT_NEAR(3.0 * 22050, static_cast<double>(samples.size()), 1200.0);
    // The tone comes after the wave input's start-up latency: judge its last second.
    std::vector<int> tail(samples.end() - 22050, samples.end());
    EXPECT_NEAR(440.0, mediatest::ZeroCrossingFrequency(tail, 1, 22050), 3.0);
    int peak = 0;
    for (int v : tail)
        peak = abs(v) > peak ? abs(v) : peak;
    EXPECT_GT(peak, 8000);
}

// Sound that started late is moved to the video's time, and sound in another
// format is converted to the capture format, before the interleave.
TEST(RecordingFinish, LateAndForeignSoundIsLinedUpAndConverted)
{
    ScratchDir dir;
    const WAVEFORMATEX capture = PcmFormat(22050, 1, 16);
    const struct {
        const char* what;
        WAVEFORMATEX file;
        int startMs;
        size_t silentSamples;
    } cases[] = { { "starts 1000 ms late", PcmFormat(22050, 1, 16), 1000, 22050 },
                  { "44.1 kHz stereo file", PcmFormat(44100, 2, 16), 0, 0 } };
    for (const auto& c : cases) {
        const std::string screen = dir.File("rec_Screen.avi");
        ASSERT_TRUE(finishingtest::MakeScreenAvi(screen, 32, 24, 10, 30));
        const std::string audio = dir.File("rec_Audio.wav");
        const double seconds = 3.0 - c.startMs / 1000.0;
        const std::string wav = mediatest::MakeWav(
            &c.file, 16, mediatest::Sine16(c.file.nSamplesPerSec, c.file.nChannels, 440, seconds, 0.5));
        ASSERT_TRUE(WriteFileBytes(audio, wav.data(), wav.size()));
        CRecordingFinisher f;
        Prepare(f, dir, screen, audio, capture);
        f.m_audioStartMs = c.startMs;
        mediatest::ResetMessageBoxes();
        ASSERT_TRUE(f.Finish()) << c.what << " " << std::string(f.m_errorText);
        EXPECT_TRUE(mediatest::MessageBoxes().empty()) << c.what;
        EXPECT_TRUE(NoTemporaryFilesLeft(dir)) << c.what;
        EXPECT_EQ("22050", finishingtest::ProbeStream(screen, "a:0", "sample_rate")) << c.what;
        EXPECT_EQ("1", finishingtest::ProbeStream(screen, "a:0", "channels")) << c.what;
        EXPECT_NEAR(ProbeDuration(screen, "v:0"), ProbeDuration(screen, "a:0"), 0.05) << c.what;
        const std::vector<int> samples = AviSound(dir, screen);
        ASSERT_GT(samples.size(), c.silentSamples + 22050) << c.what;
        for (size_t i = 0; i < c.silentSamples; ++i)
            ASSERT_EQ(0, samples[i]) << c.what << " sample " << i;
        std::vector<int> rest(samples.begin() + c.silentSamples, samples.end());
        EXPECT_NEAR(440.0, mediatest::ZeroCrossingFrequency(rest, 1, 22050), 3.0) << c.what;
    }
}

// A failed or given-up finish leaves the screen AVI untouched and removes its
// temporary files; answering No to the cancel question goes on.
TEST(RecordingFinish, FailureOrCancelKeepsTheScreenAvi)
{
    ScratchDir dir;
    const WAVEFORMATEX capture = PcmFormat(22050, 1, 16);
    const struct {
        const char* what;
        bool corruptSound;
        BOOL cancel;
        int answer;
        BOOL result;
        DWORD sizeLimit;   // of the interleaved file; 0 the AVI limit
    } cases[] = {
        { "corrupt sound file", true, FALSE, IDOK, FALSE, 0 },
        { "cancel, Yes", false, TRUE, IDYES, FALSE, 0 },
        { "cancel, No", false, TRUE, IDNO, TRUE, 0 },
        { "output past the size limit", false, FALSE, IDOK, FALSE, 16 * 1024 },
    };
    for (const auto& c : cases) {
        const std::string screen = dir.File("rec_Screen.avi");
        ASSERT_TRUE(finishingtest::MakeScreenAvi(screen, 32, 24, 10, 20));
        std::string before, after;
        ASSERT_TRUE(ReadFileBytes(screen, &before));
        const std::string audio = dir.File("rec_Audio.wav");
        const std::string wav = c.corruptSound ? std::string("RIFF\x10\0\0\0WAVEjunkjunk", 20)
                                               : mediatest::MakeWav(&capture, 16, mediatest::Sine16(22050, 1, 440, 2.0, 0.5));
        ASSERT_TRUE(WriteFileBytes(audio, wav.data(), wav.size()));
        FakeProgress progress;
        progress.cancel = c.cancel;
        CRecordingFinisher f;
        Prepare(f, dir, screen, audio, capture);
        f.m_progress = &progress;
        mediatest::ResetMessageBoxes(c.answer);
        CAviInterleaveWriter::SetSizeLimit(c.sizeLimit);
        const BOOL finished = f.Finish();
        CAviInterleaveWriter::SetSizeLimit(0);
        EXPECT_EQ(c.result, finished) << c.what;
        EXPECT_TRUE(NoTemporaryFilesLeft(dir)) << c.what;
        ASSERT_TRUE(ReadFileBytes(screen, &after));
        if (c.result) {
            EXPECT_EQ("pcm_s16le", finishingtest::ProbeStream(screen, "a:0", "codec_name")) << c.what;
            continue;
        }
        EXPECT_EQ(1, f.m_failure) << c.what;
        EXPECT_TRUE(before == after) << c.what << ": the screen AVI was changed";
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(audio.c_str())) << c.what << ": the sound was lost";
        EXPECT_EQ(1, f.m_audioFiles.GetSize()) << c.what;
    }
}

namespace {

class FakeJoiner : public IRecordingJoiner {
public:
    int JoinSegments(const CStringArray& segments, const CStringArray&, LPCSTR output, CRecordSettings* settings) override
    {
        calls++;
        segmentCount = static_cast<int>(segments.GetSize());
        interleaveRate = settings->m_nInterleaveRate;
        return WriteFileBytes(output, "joined", 6) ? 1 : 0;
    }
    int calls = 0;
    int segmentCount = 0;
    int interleaveRate = 0;
};

}  // namespace

TEST(RecordingFinish, SplitRecordingGoesThroughTheJoiner)
{
    ScratchDir dir;
    const std::string segment = dir.File("rec_Screen.avi");
    ASSERT_TRUE(finishingtest::MakeScreenAvi(segment, 32, 24, 10, 5));
    {
        // No render yet: the join fails with its error text and touches nothing.
        CRecordingFinisher f;
        Prepare(f, dir, segment, dir.File("a.wav"), PcmFormat(22050, 1, 16));
        f.m_segmentFiles.Add(segment.c_str());
        f.m_segmentFiles.Add(dir.File("rec_Screen1.avi").c_str());
        mediatest::ResetMessageBoxes();
        EXPECT_FALSE(f.Finish());
        EXPECT_EQ(1, f.m_failure);
        EXPECT_EQ(Text(IDS_CANNOT_RENDER_AVI), std::string(f.m_errorText));
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(segment.c_str()));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(dir.File("rec.avi").c_str()));
    }
    {
        FakeJoiner joiner;
        CRecordingFinisher f;
        Prepare(f, dir, segment, dir.File("a.wav"), PcmFormat(22050, 1, 16));
        f.m_segmentFiles.Add(segment.c_str());
        f.m_segmentFiles.Add(dir.File("rec_Screen1.avi").c_str());
        f.m_joiner = &joiner;
        f.m_renderSource.interleaveRate = 3;
        EXPECT_TRUE(f.Finish());
        EXPECT_EQ(1, joiner.calls);
        EXPECT_EQ(2, joiner.segmentCount);
        EXPECT_EQ(3, joiner.interleaveRate);
        std::string joined;
        ASSERT_TRUE(ReadFileBytes(dir.File("rec.avi"), &joined));
        EXPECT_EQ("joined", joined);
    }
}

TEST(RecordingFinish, RenderSettingsFromTheRecording)
{
    const WAVEFORMATEX wf = PcmFormat(22050, 1, 16);
    RenderSettingsSource src = {};
    src.interleave = TRUE;
    src.interleaveRate = 2;
    src.compressorFourCC = mmioFOURCC('x', 'r', 'v', 'c');
    src.quality = 7500;
    src.keyFrameRate = 80;
    src.frameRate = 15;
    src.frameScale = 1;
    src.bitDepth = 24;
    src.audioFormat = &wf;
    src.audioCompressor = "PCM";
    src.videoCompressor = "Codec";
    CRecordSettings s;
    FillRenderSettings(&s, src);
    EXPECT_EQ(2, s.m_nInterleaveRate);
    EXPECT_EQ(7500, s.m_nCodecQuality);
    EXPECT_EQ(15u, s.m_FrameRate.m_nRate);
    EXPECT_EQ(24, s.m_nEngineValue);
    EXPECT_EQ(1, s.m_nValue27);
    EXPECT_EQ(0, s.m_nValue9);
    ASSERT_NE(nullptr, s.m_pAudioFormat);
    EXPECT_EQ(22050u, s.m_pAudioFormat->nSamplesPerSec);
    EXPECT_EQ("Codec", std::string(s.m_strVideoCompressor));
}

TEST(RecordingFinish, SaveRecordingFileAs)
{
    ScratchDir dir;
    const std::string source = dir.File("rec_Screen.avi");
    ASSERT_TRUE(WriteFileBytes(source, "avi", 3));
    const struct {
        const char* what;
        std::string from, to;
        BOOL result;
        UINT message;
    } cases[] = {
        { "missing source", dir.File("none.avi"), dir.File("out.avi"), FALSE, IDS_TEMP_CAPTURE_MISSING },
        { "onto itself", source, dir.File("REC_SCREEN.AVI"), FALSE, IDS_CANNOT_SAVE_AS_TEMP },
        { "moved", source, dir.File("out.avi"), TRUE, 0 },
    };
    for (const auto& c : cases) {
        mediatest::ResetMessageBoxes();
        EXPECT_EQ(c.result, SaveRecordingFileAs(c.from.c_str(), c.to.c_str())) << c.what;
        const std::vector<std::string> boxes = mediatest::MessageBoxes();
        if (c.message) {
            ASSERT_EQ(1u, boxes.size()) << c.what;
            EXPECT_EQ(Text(c.message), boxes[0]) << c.what;
        } else {
            EXPECT_TRUE(boxes.empty()) << c.what;
        }
    }
    std::string moved;
    ASSERT_TRUE(ReadFileBytes(dir.File("out.avi"), &moved));
    EXPECT_EQ("avi", moved);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(source.c_str()));
}
