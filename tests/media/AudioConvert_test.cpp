#include "media/AudioConvert.h"

#include "MediaTestUtil.h"
#include "TestSupport.h"
#include "media/ConvertProgress.h"
#include "media/SoundFile.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

using mediatest::PcmFormat;

namespace {

// A progress window that records what the conversion tells it and asks to
// cancel once a set number of progress updates has been seen.
class RecordingProgress : public IConvertProgress {
public:
    void SetProgressTitle(LPCTSTR t) override { title = t; }
    void SetProgress(int range, int position) override
    {
        lastRange = range;
        positions.push_back(position);
    }
    void SetTimeLeft(int seconds) override { timeLeft.push_back(seconds); }
    BOOL IsCancelRequested() const override { return cancel; }
    void SetCancelRequested(BOOL requested) override
    {
        cancel = requested;
        ++clears;
    }
    std::string title;
    int lastRange = 0;
    std::vector<int> positions;
    std::vector<int> timeLeft;
    BOOL cancel = FALSE;
    int clears = 0;
};

// The IMA ADPCM format Wine's codec writes for a PCM rate and channel count.
std::string ImaFormat(DWORD rate, WORD channels)
{
    std::string block(20, '\0');
    WAVEFORMATEX* f = reinterpret_cast<WAVEFORMATEX*>(&block[0]);
    f->wFormatTag = WAVE_FORMAT_IMA_ADPCM;
    f->nChannels = channels;
    f->nSamplesPerSec = rate;
    f->wBitsPerSample = 4;
    f->nBlockAlign = static_cast<WORD>(256 * channels * (rate <= 11025 ? 1 : rate <= 22050 ? 2 : 4));
    const WORD samplesPerBlock = static_cast<WORD>((f->nBlockAlign - 4 * channels) * 8 / (4 * channels) + 1);
    f->nAvgBytesPerSec = rate * f->nBlockAlign / samplesPerBlock;
    f->cbSize = 2;
    memcpy(&block[18], &samplesPerBlock, 2);
    return block;
}

std::string GsmFormat()
{
    std::string block(20, '\0');
    WAVEFORMATEX* f = reinterpret_cast<WAVEFORMATEX*>(&block[0]);
    f->wFormatTag = WAVE_FORMAT_GSM610;
    f->nChannels = 1;
    f->nSamplesPerSec = 8000;
    f->nAvgBytesPerSec = 1625;
    f->nBlockAlign = 65;
    f->wBitsPerSample = 0;
    f->cbSize = 2;
    const WORD samplesPerBlock = 320;
    memcpy(&block[18], &samplesPerBlock, 2);
    return block;
}

// Runs the whole chain from one file to another; the stage count goes to *streams.
int Convert(const std::string& from, const std::string& to, const std::string& target, int* streams,
            IConvertProgress* progress = NULL)
{
    WaveFileSource source;
    AcmConverterStage stage;
    WaveFileWriter writer;
    if (source.Open(from.c_str()) < 0)
        return -10;
    source.m_sink = &stage;
    stage.m_next = &writer;
    const WAVEFORMATEX* t = reinterpret_cast<const WAVEFORMATEX*>(target.data());
    if (stage.Setup(source.GetFormat(), source.GetFormatSize(), t, static_cast<DWORD>(target.size())) < 0)
        return -11;
    *streams = stage.GetStreamCount();
    const DWORD samples = SampleCountAtRate(source.GetSampleCount(), source.GetFormat()->nSamplesPerSec,
                                            t->nSamplesPerSec);
    if (writer.Open(to.c_str(), t, static_cast<DWORD>(target.size()), samples) < 0)
        return -12;
    return source.Run(progress);
}

std::string Pcm(DWORD rate, WORD channels, WORD bits)
{
    const WAVEFORMATEX f = PcmFormat(rate, channels, bits);
    return std::string(reinterpret_cast<const char*>(&f), 18);
}

}  // namespace

// Each row converts a real file through Wine's ACM and checks the result with
// ffprobe and by reading the chunks back.
TEST(AudioConvert, ConvertsThroughAcmAndWritesTheChunks)
{
    testsupport::ScratchDir dir("vxconv");
    const WAVEFORMATEX pcm44 = PcmFormat(44100, 2, 16);
    // 1.3 s: not a multiple of the 32 KiB read block nor of one second.
    const std::string tone = mediatest::Sine16(44100, 2, 440, 1.3, 0.5);
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File("tone44.wav"), mediatest::MakeWav(&pcm44, 16, tone).data(),
                                            mediatest::MakeWav(&pcm44, 16, tone).size()));
    const WAVEFORMATEX pcm22 = PcmFormat(22050, 1, 16);
    const std::string tone22 = mediatest::Sine16(22050, 1, 440, 1.3, 0.5);
    const std::string wav22 = mediatest::MakeWav(&pcm22, 16, tone22);
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File("tone22.wav"), wav22.data(), wav22.size()));

    struct Case {
        const char* name;
        const char* from;
        std::string target;
        int streams;
        const char* codec;
        const char* rate;
        bool fact;
    } cases[] = {
        {"pcm rate change", "tone44.wav", Pcm(22050, 1, 16), 1, "pcm_s16le", "22050", false},
        {"pcm to 8-bit", "tone22.wav", Pcm(22050, 1, 8), 1, "pcm_u8", "22050", false},
        {"pcm to ima adpcm", "tone22.wav", ImaFormat(22050, 1), 1, "adpcm_ima_wav", "22050", true},
        {"pcm 44k stereo to ima 22k", "tone44.wav", ImaFormat(22050, 1), 2, "adpcm_ima_wav", "22050", true},
        {"pcm to gsm", "tone22.wav", GsmFormat(), 2, "gsm_ms", "8000", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = dir.File(std::string(c.name) + ".wav");
        int streams = 0;
        ASSERT_EQ(1, Convert(dir.File(c.from), out, c.target, &streams));
        EXPECT_EQ(c.streams, streams);
        EXPECT_EQ(c.codec, mediatest::Probe(out, "codec_name"));
        EXPECT_EQ(c.rate, mediatest::Probe(out, "sample_rate"));
        const double duration = atof(mediatest::Probe(out, "duration").c_str());
        EXPECT_NEAR(1.3, duration, 0.05);
        const mediatest::WavInfo info = mediatest::ReadWav(out);
        ASSERT_TRUE(info.ok) << info.layout;
        EXPECT_EQ(c.target, info.format);
        EXPECT_EQ(c.fact, info.hasFact);
        if (c.fact) {
            EXPECT_EQ(static_cast<DWORD>(1.3 * atoi(c.rate) + 0.5), info.factSamples);
        }
    }
}

// A compressed file to another compressed format goes through both PCM forms.
TEST(AudioConvert, CompressedToCompressedUsesThreeStreams)
{
    testsupport::ScratchDir dir("vxconv");
    const WAVEFORMATEX pcm22 = PcmFormat(22050, 1, 16);
    const std::string wav = mediatest::MakeWav(&pcm22, 16, mediatest::Sine16(22050, 1, 300, 2.0, 0.5));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File("in.wav"), wav.data(), wav.size()));
    int streams = 0;
    ASSERT_EQ(1, Convert(dir.File("in.wav"), dir.File("ima.wav"), ImaFormat(22050, 1), &streams));
    ASSERT_EQ(1, Convert(dir.File("ima.wav"), dir.File("gsm.wav"), GsmFormat(), &streams));
    EXPECT_EQ(3, streams);
    EXPECT_EQ("gsm_ms", mediatest::Probe(dir.File("gsm.wav"), "codec_name"));
    EXPECT_NEAR(2.0, atof(mediatest::Probe(dir.File("gsm.wav"), "duration").c_str()), 0.1);
    // And back to PCM: the tone survives both codecs.
    ASSERT_EQ(1, Convert(dir.File("gsm.wav"), dir.File("back.wav"), Pcm(8000, 1, 16), &streams));
    EXPECT_EQ(1, streams);
    const mediatest::WavInfo back = mediatest::ReadWav(dir.File("back.wav"));
    ASSERT_TRUE(back.ok);
    EXPECT_FALSE(back.hasFact);
    EXPECT_NEAR(300.0, mediatest::ZeroCrossingFrequency(mediatest::Samples16(back.data), 1, 8000), 5.0);
}

TEST(AudioConvert, ProgressAndCancel)
{
    testsupport::ScratchDir dir("vxconv");
    const WAVEFORMATEX pcm = PcmFormat(44100, 2, 16);
    const std::string wav = mediatest::MakeWav(&pcm, 16, mediatest::Sine16(44100, 2, 440, 3.0, 0.3));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File("in.wav"), wav.data(), wav.size()));
    {
        // "No" to the question: the flag is cleared and the run completes.
        RecordingProgress progress;
        progress.cancel = TRUE;
        mediatest::ResetMessageBoxes(IDNO);
        int streams = 0;
        EXPECT_EQ(1, Convert(dir.File("in.wav"), dir.File("no.wav"), Pcm(22050, 2, 16), &streams, &progress));
        EXPECT_EQ("正在压缩音频...", progress.title);
        EXPECT_EQ(1000, progress.lastRange);
        ASSERT_FALSE(progress.positions.empty());
        EXPECT_EQ(0, progress.positions.front());
        ASSERT_FALSE(progress.timeLeft.empty());
        EXPECT_EQ(0, progress.timeLeft.front());
        EXPECT_FALSE(progress.cancel);
        EXPECT_EQ(1, progress.clears);
        ASSERT_EQ(1u, mediatest::MessageBoxes().size());
        EXPECT_EQ("取消后将删除当前捕获。你想要取消并删除这次捕获吗？", mediatest::MessageBoxes()[0]);
    }
    {
        // "Yes": -2, and the output is closed normally as far as it was written.
        RecordingProgress progress;
        progress.cancel = TRUE;
        mediatest::ResetMessageBoxes(IDYES);
        int streams = 0;
        EXPECT_EQ(-2, Convert(dir.File("in.wav"), dir.File("yes.wav"), Pcm(22050, 2, 16), &streams, &progress));
        EXPECT_TRUE(mediatest::ReadWav(dir.File("yes.wav")).ok);
    }
}

// Hostile or broken files are refused by the source with -1, never read past.
TEST(AudioConvert, SourceRefusesBrokenFiles)
{
    testsupport::ScratchDir dir("vxconv");
    const WAVEFORMATEX pcm = PcmFormat(22050, 1, 16);
    const std::string data = mediatest::Sine16(22050, 1, 440, 0.2, 0.5);
    const std::string good = mediatest::MakeWav(&pcm, 16, data);

    std::string pastRiff = good;                  // data chunk claims more than the RIFF holds
    const size_t dataSizeAt = pastRiff.find("data") + 4;
    const DWORD huge = 0x7FFFFFF0;
    memcpy(&pastRiff[dataSizeAt], &huge, 4);

    std::string hugeFmt = good;                   // format chunk size far beyond any format
    const size_t fmtSizeAt = hugeFmt.find("fmt ") + 4;
    const DWORD hostile = 0xFFFFFFF0;
    memcpy(&hugeFmt[fmtSizeAt], &hostile, 4);
    const DWORD riffSize = 0xFFFFFFF8;
    memcpy(&hugeFmt[4], &riffSize, 4);

    std::string tinyFmt = "WAVE";                 // format chunk of 8 bytes
    tinyFmt += std::string("fmt ") + std::string("\x08\0\0\0", 4) + std::string(reinterpret_cast<const char*>(&pcm), 8);
    tinyFmt += std::string("data") + std::string("\x04\0\0\0", 4) + "abcd";
    const DWORD tinySize = static_cast<DWORD>(tinyFmt.size());
    tinyFmt = std::string("RIFF") + std::string(reinterpret_cast<const char*>(&tinySize), 4) + tinyFmt;

    std::string ima = ImaFormat(22050, 1);        // cbSize says 200 extra bytes; the chunk has 2
    const WORD bigExtra = 200;
    memcpy(&ima[16], &bigExtra, 2);
    const std::string badExtra = mediatest::MakeWav(reinterpret_cast<const WAVEFORMATEX*>(ima.data()), 20, data);

    WAVEFORMATEX noAlign = pcm;
    noAlign.nBlockAlign = 0;
    const std::string zeroAlign = mediatest::MakeWav(&noAlign, 16, data);

    std::string noFmt = good;
    noFmt.replace(noFmt.find("fmt "), 4, "junk");

    struct Case {
        const char* name;
        std::string bytes;
        int expected;
    } cases[] = {
        {"good", good, 1},
        {"chunk past the RIFF end", pastRiff, -1},
        {"hostile format chunk size", hugeFmt, -1},
        {"format chunk too small", tinyFmt, -1},
        {"cbSize beyond the chunk", badExtra, -1},
        {"block alignment 0", zeroAlign, -1},
        {"no format chunk", noFmt, -1},
        {"not a RIFF file", std::string("hello world, not a wave file"), -1},
    };
    for (const Case& c : cases) {
        const std::string path = dir.File("case.wav");
        ASSERT_TRUE(testsupport::WriteFileBytes(path, c.bytes.data(), c.bytes.size()));
        WaveFileSource source;
        EXPECT_EQ(c.expected, source.Open(path.c_str())) << c.name;
        if (c.expected == 1) {
            EXPECT_EQ(18u, source.GetFormatSize());
            EXPECT_EQ(4410u, source.GetSampleCount());
        } else {
            EXPECT_EQ(NULL, source.GetFormat()) << c.name;
            EXPECT_EQ(0u, source.GetSampleCount()) << c.name;
        }
    }
    WaveFileSource missing;
    EXPECT_EQ(-1, missing.Open(dir.File("missing.wav").c_str()));
}

// The sound loader: a file in the recording's format is read directly; any
// other goes through the chain and a temporary "SkoConvert" file, which is
// gone afterwards whether the conversion worked or not.
TEST(ConvertAudioFile, LoadsInTheTargetFormatAndLeavesNoTemporaryFile)
{
    testsupport::ScratchDir dir("vxload");
    testsupport::ScratchDir temp("vxtemp");
    const WAVEFORMATEX pcm22 = PcmFormat(22050, 1, 16);
    const std::string data22 = mediatest::Sine16(22050, 1, 1000, 0.5, 0.5);
    const std::string wav22 = mediatest::MakeWav(&pcm22, 16, data22);
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File("click.wav"), wav22.data(), wav22.size()));
    mediatest::ResetMessageBoxes();

    DWORD size = 0;
    BYTE* same = ConvertAudioFile(dir.File("click.wav").c_str(), temp.Path().c_str(), &size, &pcm22);
    ASSERT_NE(nullptr, same);
    ASSERT_EQ(data22.size(), size);
    EXPECT_EQ(0, memcmp(same, data22.data(), size));
    FreeAudioData(same);

    const WAVEFORMATEX pcm44 = PcmFormat(44100, 2, 16);
    BYTE* converted = ConvertAudioFile(dir.File("click.wav").c_str(), temp.Path().c_str(), &size, &pcm44);
    ASSERT_NE(nullptr, converted);
    EXPECT_NEAR(0.5 * 44100 * 4, size, 4 * 64.0);
    EXPECT_EQ(0u, size % 4);
    const std::vector<int> samples = mediatest::Samples16(std::string(reinterpret_cast<char*>(converted), size));
    EXPECT_NEAR(1000.0, mediatest::ZeroCrossingFrequency(samples, 2, 44100), 10.0);
    FreeAudioData(converted);
    EXPECT_TRUE(mediatest::ListFiles(temp.Path(), "*").size() == 2u) << "only . and .. may remain";
    EXPECT_TRUE(mediatest::ListFiles(temp.Path(), "SkoConvert*").empty());
    EXPECT_TRUE(mediatest::MessageBoxes().empty());

    // No ACM path: GSM cannot be made from 44.1 kHz stereo.
    const std::string gsm = GsmFormat();
    mediatest::ResetMessageBoxes();
    const std::string wav44 = mediatest::MakeWav(&pcm44, 16, mediatest::Sine16(44100, 2, 440, 0.2, 0.5));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File("stereo.wav"), wav44.data(), wav44.size()));
    std::string gsm44 = gsm;
    reinterpret_cast<WAVEFORMATEX*>(&gsm44[0])->nChannels = 2;
    reinterpret_cast<WAVEFORMATEX*>(&gsm44[0])->nSamplesPerSec = 44100;
    EXPECT_EQ(nullptr, ConvertAudioFile(dir.File("stereo.wav").c_str(), temp.Path().c_str(), &size,
                                        reinterpret_cast<const WAVEFORMATEX*>(gsm44.data())));
    EXPECT_EQ(0u, size);
    ASSERT_EQ(1u, mediatest::MessageBoxes().size());
    EXPECT_EQ("wavecomp.Setup失败", mediatest::MessageBoxes()[0]);
    EXPECT_TRUE(mediatest::ListFiles(temp.Path(), "SkoConvert*").empty());

    // A missing file: the open failure is shown, nothing is made.
    mediatest::ResetMessageBoxes();
    EXPECT_EQ(nullptr, ConvertAudioFile(dir.File("missing.wav").c_str(), temp.Path().c_str(), &size, &pcm44));
    ASSERT_EQ(1u, mediatest::MessageBoxes().size());
    EXPECT_EQ(0u, mediatest::MessageBoxes()[0].find("不能打开 "));
    EXPECT_TRUE(mediatest::ListFiles(temp.Path(), "SkoConvert*").empty());
}

// A codec that consumes nothing of a full input (Wine's codecs always take
// whole blocks, so the stage is given one that reports nothing used): the
// write ends with an error instead of feeding the same input back for ever.
TEST(AudioConvert, StageThatConsumesNothingFails)
{
    class NullSink : public WaveSink {
    public:
        int Write(const BYTE*, DWORD count) override { written += count; return 1; }
        int Open() override { return 1; }
        int Close() override { return 1; }
        DWORD written = 0;
    } sink;
    class StuckStage : public AcmConverterStage {
    protected:
        MMRESULT ConvertStream(int i, ACMSTREAMHEADER* header, DWORD flags) override
        {
            const MMRESULT result = AcmConverterStage::ConvertStream(i, header, flags);
            header->cbSrcLengthUsed = 0;
            header->cbDstLengthUsed = 0;
            ++calls;
            return result;
        }

    public:
        int calls = 0;
    } stage;
    const WAVEFORMATEX source = PcmFormat(22050, 1, 16);
    const WAVEFORMATEX target = PcmFormat(11025, 1, 16);
    stage.m_next = &sink;
    ASSERT_EQ(1, stage.Setup(&source, 18, &target, 18));
    ASSERT_EQ(1, stage.Open());
    const std::string sound = mediatest::Sine16(22050, 1, 440, 2.5, 0.5);
    EXPECT_EQ(-1, stage.Write(reinterpret_cast<const BYTE*>(sound.data()), static_cast<DWORD>(sound.size())));
    EXPECT_EQ(1, stage.calls);
    EXPECT_EQ(0u, sink.written);
    stage.Close();
}
