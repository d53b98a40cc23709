// Inserting sound into a WAV file at a time position.
#include "capture/WaveInsert.h"

#include "framework/String.h"

#include "MediaTestUtil.h"
#include "FinishingTestUtil.h"
#include "TestSupport.h"
#include "resources/ids_media.h"

#include <gtest/gtest.h>

using namespace testsupport;
using mediatest::PcmFormat;

namespace {

std::string WriteWav(const ScratchDir& dir, const char* name, const WAVEFORMATEX& format, const std::string& data)
{
    const std::string path = dir.File(name);
    const std::string bytes = mediatest::MakeWav(&format, 16, data);
    EXPECT_TRUE(WriteFileBytes(path, bytes.data(), bytes.size()));
    return path;
}

std::string Eight(size_t count)
{
    std::string s;
    for (size_t i = 0; i < count; ++i)
        s += static_cast<char>(0x40 + (i % 0x80));
    return s;
}

}  // namespace

// The cases of a new target in the source's own format.
TEST(WaveInsert, PadsTheGapAndCopiesTheSource)
{
    ScratchDir dir;
    const WAVEFORMATEX mono16 = PcmFormat(22050, 1, 16);
    const WAVEFORMATEX mono8 = PcmFormat(22050, 1, 8);
    const std::string tone16 = mediatest::Sine16(22050, 1, 440, 2.0, 0.5);
    const std::string ramp8 = Eight(22050);
    const struct Case {
        const char* what;
        const WAVEFORMATEX* format;
        const std::string* source;
        int positionMs;
        int endLimitMs;
        size_t padBytes;
        char padValue;
        size_t sourceBytes;
    } cases[] = {
        { "1500 ms, 16-bit mono", &mono16, &tone16, 1500, 0, 66150, 0, tone16.size() },
        { "position 0", &mono16, &tone16, 0, 0, 0, 0, tone16.size() },
        { "8-bit pads 0x80", &mono8, &ramp8, 1000, 0, 22050, (char)0x80, ramp8.size() },
        { "end limit before the position", &mono16, &tone16, 1500, 1000, 66150, 0, 0 },
        { "end limit inside the source", &mono16, &tone16, 500, 1500, 22050, 0, 44100 },
    };
    for (const Case& c : cases) {
        const std::string source = WriteWav(dir, "source.wav", *c.format, *c.source);
        const std::string target = dir.File("target.wav");
        ::DeleteFileA(target.c_str());
        mediatest::ResetMessageBoxes();
        FakeProgress progress;
        ASSERT_TRUE(InsertAudioIntoWave(source.c_str(), target.c_str(), c.positionMs, c.endLimitMs, c.format,
                                        &progress, TRUE))
            << c.what << " " << (mediatest::MessageBoxes().empty() ? "" : mediatest::MessageBoxes()[0]);
        const mediatest::WavInfo info = mediatest::ReadWav(target);
        ASSERT_TRUE(info.ok) << c.what << " " << info.layout;
        EXPECT_EQ(18u, info.format.size()) << c.what;
        EXPECT_EQ(0, memcmp(info.format.data(), c.format, 16)) << c.what;
        ASSERT_EQ(c.padBytes + c.sourceBytes, info.data.size()) << c.what;
        EXPECT_EQ(std::string(c.padBytes, c.padValue), info.data.substr(0, c.padBytes)) << c.what;
        EXPECT_TRUE(info.data.substr(c.padBytes) == c.source->substr(0, c.sourceBytes)) << c.what;
        EXPECT_FALSE(progress.titles.empty()) << c.what;
        EXPECT_TRUE(mediatest::MessageBoxes().empty()) << c.what;
    }
}

TEST(WaveInsert, ConvertsToTheTargetFormat)
{
    ScratchDir dir;
    const WAVEFORMATEX stereo = PcmFormat(44100, 2, 16);
    const WAVEFORMATEX mono = PcmFormat(22050, 1, 16);
    const std::string source = WriteWav(dir, "s.wav", stereo, mediatest::Sine16(44100, 2, 440, 2.0, 0.5));
    const std::string target = dir.File("t.wav");
    mediatest::ResetMessageBoxes();
    ASSERT_TRUE(InsertAudioIntoWave(source.c_str(), target.c_str(), 500, 0, &mono, NULL, TRUE))
        << (mediatest::MessageBoxes().empty() ? "" : mediatest::MessageBoxes()[0]);
    const mediatest::WavInfo info = mediatest::ReadWav(target);
    ASSERT_TRUE(info.ok) << info.layout;
    EXPECT_EQ(0, memcmp(info.format.data(), &mono, 16));
    EXPECT_NEAR(22050.0 + 2 * 44100, static_cast<double>(info.data.size()), 2048.0);
    EXPECT_EQ(std::string(22050, '\0'), info.data.substr(0, 22050));
    const std::vector<int> samples = mediatest::Samples16(info.data.substr(22050));
    EXPECT_NEAR(440.0, mediatest::ZeroCrossingFrequency(samples, 1, 22050), 3.0);
}

TEST(WaveInsert, WritesIntoAnExistingFile)
{
    ScratchDir dir;
    const WAVEFORMATEX mono = PcmFormat(22050, 1, 16);
    const std::string old = mediatest::Constant16(22050, 1, 1.0, 1000);
    const std::string target = WriteWav(dir, "t.wav", mono, old);
    const std::string tone = mediatest::Sine16(22050, 1, 440, 2.0, 0.5);
    const std::string source = WriteWav(dir, "s.wav", mono, tone);
    ASSERT_TRUE(InsertAudioIntoWave(source.c_str(), target.c_str(), 500, 0, &mono, NULL, FALSE));
    const mediatest::WavInfo info = mediatest::ReadWav(target);
    ASSERT_TRUE(info.ok) << info.layout;
    ASSERT_EQ(22050u + tone.size(), info.data.size());
    EXPECT_EQ(old.substr(0, 22050), info.data.substr(0, 22050));
    EXPECT_TRUE(info.data.substr(22050) == tone);
}

TEST(WaveInsert, CancelAsksAndYesGivesUp)
{
    ScratchDir dir;
    const WAVEFORMATEX mono = PcmFormat(22050, 1, 16);
    const std::string source = WriteWav(dir, "s.wav", mono, mediatest::Sine16(22050, 1, 440, 1.0, 0.5));
    const struct {
        int answer;
        BOOL result;
    } cases[] = { { IDYES, FALSE }, { IDNO, TRUE } };
    for (const auto& c : cases) {
        const std::string target = dir.File(c.answer == IDYES ? "yes.wav" : "no.wav");
        FakeProgress progress;
        progress.cancel = TRUE;
        mediatest::ResetMessageBoxes(c.answer);
        EXPECT_EQ(c.result, InsertAudioIntoWave(source.c_str(), target.c_str(), 100, 0, &mono, &progress, TRUE));
        const std::vector<std::string> boxes = mediatest::MessageBoxes();
        ASSERT_EQ(1u, boxes.size()) << c.answer;
        CString question;
        question.LoadString(IDS_CANCEL_DELETE_CAPTURE);
        EXPECT_EQ(std::string(question), boxes[0]);
        EXPECT_EQ(c.answer == IDNO ? FALSE : TRUE, progress.cancel) << "No clears the request";
    }
}

TEST(WaveInsert, MissingOrBadSourceIsReported)
{
    ScratchDir dir;
    const WAVEFORMATEX mono = PcmFormat(22050, 1, 16);
    const std::string garbage = dir.File("garbage.wav");
    ASSERT_TRUE(WriteFileBytes(garbage, "not a wave file at all", 22));
    for (const std::string& source : { dir.File("missing.wav"), garbage }) {
        mediatest::ResetMessageBoxes();
        EXPECT_FALSE(InsertAudioIntoWave(source.c_str(), dir.File("t.wav").c_str(), 0, 0, &mono, NULL, TRUE)) << source;
        const std::vector<std::string> boxes = mediatest::MessageBoxes();
        ASSERT_EQ(1u, boxes.size()) << source;
        EXPECT_NE(std::string::npos, boxes[0].find(source)) << boxes[0];
    }
}
