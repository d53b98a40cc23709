#include "media/WaveIn.h"

#include "MediaTestUtil.h"
#include "TestSupport.h"
#include "UiTestUtil.h"
#include "framework/WinThread.h"
#include "framework/ui/MsgMap.h"
#include "settings/RecorderPrefs.h"

#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <stdlib.h>
#include <string.h>

using mediatest::PcmFormat;

namespace {

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > timeoutMs)
            return false;
        ::Sleep(20);
    }
    return true;
}

// One recorder with its wave thread, which the test can wait for.
class Recording {
public:
    Recording(const std::string& file, const WAVEFORMATEX& format, int limitMs, int startMs = 0,
              BOOL createNew = TRUE, BOOL padSilence = FALSE, UINT device = WAVE_MAPPER, CWnd* levelWindow = NULL,
              BYTE sendLevels = 0)
        : waveIn(new CWaveIn(device, file.c_str(), NULL, startMs, limitMs, &format, createNew, levelWindow,
                             padSilence, NULL, sendLevels))
    {
    }
    ~Recording()
    {
        waveIn.reset();
        if (thread) {
            ::WaitForSingleObject(thread->m_hThread, 10000);
            delete thread;
        }
    }
    BOOL Start()
    {
        thread = AfxBeginThread(WaveInThreadProc, waveIn.get(), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
        if (!thread)
            return FALSE;
        thread->m_bAutoDelete = FALSE;
        thread->ResumeThread();
        return waveIn->WaitReady();
    }
    bool ThreadEnded(DWORD timeoutMs)
    {
        return thread && ::WaitForSingleObject(thread->m_hThread, timeoutMs) == WAIT_OBJECT_0;
    }

    std::unique_ptr<CWaveIn> waveIn;
    CWinThread* thread = nullptr;
};

// The part of a recording that carries the played signal: samples whose
// magnitude is above a tenth of full scale, from the first to the last.
std::vector<int> Voiced(const std::vector<int>& samples)
{
    size_t first = samples.size(), last = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (abs(samples[i]) > 3000) {
            if (first == samples.size())
                first = i;
            last = i;
        }
    }
    if (first >= last)
        return std::vector<int>();
    return std::vector<int>(samples.begin() + first, samples.begin() + last + 1);
}

int MaxAbs(const std::vector<int>& samples)
{
    int peak = 0;
    for (int v : samples)
        peak = abs(v) > peak ? abs(v) : peak;
    return peak;
}

}  // namespace

// A played tone comes back through Wine's wave input as a valid PCM .wav with
// the right header sizes, format, duration, frequency and amplitude.
TEST(WaveIn, RecordsAPlayedToneIntoAValidWaveFile)
{
    testsupport::ScratchDir dir("vxwave");
    const std::string file = dir.File("tone.wav");
    const WAVEFORMATEX format = PcmFormat(44100, 2, 16);
    mediatest::ResetMessageBoxes();
    Recording rec(file, format, 4000);
    ASSERT_TRUE(rec.Start()) << (mediatest::MessageBoxes().empty() ? "" : mediatest::MessageBoxes()[0]);
    rec.waveIn->SetNotify(1);
    ASSERT_TRUE(mediatest::PlayToneInBackground(440, 6, 0.5));
    rec.waveIn->Resume();
    ASSERT_TRUE(rec.ThreadEnded(20000));
    EXPECT_FALSE(rec.waveIn->IsRunning());
    EXPECT_TRUE(rec.waveIn->HasData());
    EXPECT_EQ(4000, rec.waveIn->GetCurrentMs());

    const mediatest::WavInfo info = mediatest::ReadWav(file);
    ASSERT_TRUE(info.ok) << info.layout;
    EXPECT_EQ(18u, info.format.size());
    EXPECT_EQ(0, memcmp(info.format.data(), &format, 16));
    EXPECT_EQ(4u * 44100 * 4, info.data.size());
    EXPECT_EQ(18u + info.data.size(), rec.waveIn->GetBytesWritten());
    EXPECT_EQ("pcm_s16le", mediatest::Probe(file, "codec_name"));
    EXPECT_EQ("44100", mediatest::Probe(file, "sample_rate"));
    EXPECT_EQ("2", mediatest::Probe(file, "channels"));
    EXPECT_NEAR(4.0, atof(mediatest::Probe(file, "duration").c_str()), 0.01);

    const std::vector<int> voiced = Voiced(mediatest::Samples16(info.data));
    ASSERT_GT(voiced.size(), 2u * 44100 * 2) << "at least two seconds of tone (after start-up latency)";
    EXPECT_NEAR(440.0, mediatest::ZeroCrossingFrequency(voiced, 2, 44100), 3.0);
    EXPECT_NEAR(16384, MaxAbs(voiced), 1200);
    EXPECT_NEAR(16384, rec.waveIn->GetPeakLevel(), 1200);
    EXPECT_EQ(32768, rec.waveIn->GetPeakScale());
    EXPECT_TRUE(mediatest::MessageBoxes().empty());
}

// The limit ends on its exact sample: 1000 ms of 22050 Hz 16-bit mono is
// 44100 bytes, also when the device number is beyond the device count.
TEST(WaveIn, TimeLimitGivesExactlyTheLimitsBytes)
{
    testsupport::ScratchDir dir("vxwave");
    struct Case {
        DWORD rate;
        WORD channels, bits;
        int limitMs;
        UINT device;
        size_t bytes;
    } cases[] = {
        {22050, 1, 16, 1000, WAVE_MAPPER, 44100},
        {22050, 1, 16, 1000, 99, 44100},
        {44100, 2, 16, 1300, WAVE_MAPPER, 1300u * 441 / 10 * 4},
        {11025, 1, 8, 700, 0, 7718},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz " << c.bits << "-bit limit " << c.limitMs);
        const std::string file = dir.File("limit.wav");
        Recording rec(file, PcmFormat(c.rate, c.channels, c.bits), c.limitMs, 0, TRUE, FALSE, c.device);
        ASSERT_TRUE(rec.Start());
        rec.waveIn->Resume();
        ASSERT_TRUE(rec.ThreadEnded(15000));
        const mediatest::WavInfo info = mediatest::ReadWav(file);
        ASSERT_TRUE(info.ok) << info.layout;
        EXPECT_EQ(c.bytes, info.data.size());
        EXPECT_EQ(c.limitMs, rec.waveIn->GetCurrentMs());
    }
}

// Paused time is not recorded; resuming records again; mute records silence.
// The input hands its sound over late: what it recorded before the pause is
// still written after the pause, and then the length stays as long as the
// time recorded.
TEST(WaveIn, PauseResumeAndMute)
{
    testsupport::ScratchDir dir("vxwave");
    const std::string file = dir.File("pause.wav");
    Recording rec(file, PcmFormat(22050, 1, 16), 0);
    ASSERT_TRUE(rec.Start());
    ASSERT_TRUE(mediatest::PlayToneInBackground(440, 9, 0.5));
    ::Sleep(1500);   // a new recorder starts paused: nothing may be written meanwhile
    EXPECT_EQ(0, rec.waveIn->GetCurrentMs());
    EXPECT_FALSE(rec.waveIn->HasData());

    const DWORD resumed = ::GetTickCount();
    rec.waveIn->Resume();
    ::Sleep(1500);
    rec.waveIn->Pause();
    const int recordedMs = static_cast<int>(::GetTickCount() - resumed);
    ASSERT_TRUE(WaitUntil([&] { return rec.waveIn->GetCurrentMs() >= recordedMs - 30; }, 5000))
        << "the sound of the time before the pause arrives: " << rec.waveIn->GetCurrentMs() << " of "
        << recordedMs << " ms";
    ::Sleep(1500);
    const int pausedAt = rec.waveIn->GetCurrentMs();
    EXPECT_NEAR(recordedMs, pausedAt, 30) << "recording went on while paused";

    rec.waveIn->SetMute(FALSE);
    rec.waveIn->Resume();
    ::Sleep(1500);
    rec.waveIn->Stop();
    EXPECT_FALSE(rec.waveIn->IsRunning());
    ASSERT_TRUE(rec.ThreadEnded(5000));
    EXPECT_NEAR(pausedAt + 1500, rec.waveIn->GetCurrentMs(), 40) << "the stop ends at the stop's time";

    const mediatest::WavInfo info = mediatest::ReadWav(file);
    ASSERT_TRUE(info.ok) << info.layout;
    const std::vector<int> samples = mediatest::Samples16(info.data);
    EXPECT_EQ(static_cast<int>((samples.size() * 1000 + 11025) / 22050), rec.waveIn->GetCurrentMs())
        << "the position is the written length, to the millisecond";
    // pausedAt is rounded to the millisecond: the mute starts within 22
    // samples of it.
    const size_t mutedFrom = static_cast<size_t>(pausedAt) * 22050 / 1000 + 22;
    ASSERT_LT(mutedFrom, samples.size());
    EXPECT_GT(MaxAbs(std::vector<int>(samples.begin(), samples.begin() + mutedFrom)), 10000)
        << "the tone before the pause";
    EXPECT_EQ(0, MaxAbs(std::vector<int>(samples.begin() + mutedFrom, samples.end())))
        << "silence while muted";
}

// Appending at a start position beyond an existing file fills the gap with
// silence: 0x80 bytes for 8-bit sound.
TEST(WaveIn, AppendsAfterASilentGap)
{
    testsupport::ScratchDir dir("vxwave");
    const std::string file = dir.File("append.wav");
    const WAVEFORMATEX format = PcmFormat(8000, 1, 8);
    const std::string existing(4000, '\x10');
    const std::string wav = mediatest::MakeWav(&format, 16, existing);
    ASSERT_TRUE(testsupport::WriteFileBytes(file, wav.data(), wav.size()));
    Recording rec(file, format, 1500, 1000, FALSE, TRUE);
    ASSERT_TRUE(rec.Start());
    rec.waveIn->SetMute(FALSE);   // recorded part: silence too, but written by the loop
    rec.waveIn->Resume();
    ASSERT_TRUE(rec.ThreadEnded(10000));
    const mediatest::WavInfo info = mediatest::ReadWav(file);
    ASSERT_TRUE(info.ok) << info.layout;
    ASSERT_EQ(12000u, info.data.size());
    EXPECT_EQ(existing, info.data.substr(0, 4000));
    EXPECT_EQ(std::string(8000, '\x80'), info.data.substr(4000));
    EXPECT_EQ(1500, rec.waveIn->GetCurrentMs());
}

// Failures before recording end the thread; WaitReady shows them once.
TEST(WaveIn, StartFailuresAreReported)
{
    testsupport::ScratchDir dir("vxwave");
    const WAVEFORMATEX format = PcmFormat(22050, 1, 16);
    const std::string noData = dir.File("nodata.wav");
    std::string wav = mediatest::MakeWav(&format, 16, std::string(100, '\0'));
    wav.replace(wav.find("data"), 4, "junk");
    ASSERT_TRUE(testsupport::WriteFileBytes(noData, wav.data(), wav.size()));
    struct Case {
        std::string file;
        BOOL createNew;
        const char* expected;
    } cases[] = {
        {noData, FALSE, "波形文件中没有 data 块"},
        {dir.File("missing.wav"), FALSE, "不能打开波形文件"},
        {dir.File("no\\such\\folder.wav"), TRUE, "不能创建波形文件"},
    };
    for (const Case& c : cases) {
        mediatest::ResetMessageBoxes();
        Recording rec(c.file, format, 0, 0, c.createNew);
        EXPECT_FALSE(rec.Start()) << c.expected;
        EXPECT_TRUE(rec.ThreadEnded(5000));
        const std::vector<std::string> boxes = mediatest::MessageBoxes();
        ASSERT_EQ(1u, boxes.size()) << c.expected;
        EXPECT_EQ(0u, boxes[0].find("不能录制音频。\n\n")) << boxes[0];
        EXPECT_NE(std::string::npos, boxes[0].find(c.expected)) << boxes[0];
    }
}


namespace {

size_t CountValue(const std::vector<int>& samples, int value)
{
    size_t n = 0;
    for (int v : samples)
        n += v == value;
    return n;
}

void WriteWav(const std::string& path, const WAVEFORMATEX& format, const std::string& data)
{
    const std::string wav = mediatest::MakeWav(&format, 16, data);
    ASSERT_TRUE(testsupport::WriteFileBytes(path, wav.data(), wav.size()));
}

}  // namespace

// With the input muted (silence), what the recording holds is exactly the
// mixed sounds at half volume, so each trigger can be counted sample by sample.
TEST(WaveInSounds, ClickAndKeySoundsMixIntoTheRecording)
{
    testsupport::ScratchDir dir("vxsnd");
    testsupport::ScratchDir temp("vxsndtmp");
    const WAVEFORMATEX format = PcmFormat(22050, 1, 16);
    WriteWav(dir.File("down.wav"), format, mediatest::Constant16(22050, 1, 0.2, 16000));
    // Another format: loaded through the ACM chain and a temporary file.
    WriteWav(dir.File("up.wav"), PcmFormat(44100, 2, 16), mediatest::Constant16(44100, 2, 0.2, 6000));
    WriteWav(dir.File("key.wav"), format, mediatest::Constant16(22050, 1, 0.1, 4000));
    WriteWav(dir.File("loud.wav"), format, mediatest::Constant16(22050, 1, 0.2, 30000));
    mediatest::ResetMessageBoxes();

    const std::string file = dir.File("clicks.wav");
    Recording rec(file, format, 4000);
    ASSERT_TRUE(rec.Start());
    rec.waveIn->SetMute(FALSE);
    ASSERT_TRUE(rec.waveIn->LoadClickDownSound(dir.File("down.wav").c_str(), temp.Path().c_str(), 100));
    ASSERT_TRUE(rec.waveIn->LoadClickUpSound(dir.File("up.wav").c_str(), temp.Path().c_str(), 100));
    ASSERT_TRUE(rec.waveIn->LoadKeySound(dir.File("key.wav").c_str(), temp.Path().c_str(), 50));
    EXPECT_TRUE(mediatest::ListFiles(temp.Path(), "SkoConvert*").empty());
    EXPECT_FALSE(rec.waveIn->LoadKeySound(dir.File("missing.wav").c_str(), temp.Path().c_str(), 100));
    rec.waveIn->Resume();

    // Click up, then at once click down: the down sound replaces the up sound.
    rec.waveIn->StartClickUpSound();
    rec.waveIn->StartClickDownSound();
    ASSERT_TRUE(WaitUntil([&] { return rec.waveIn->GetCurrentMs() >= 1000; }, 10000));
    rec.waveIn->StartKeySound();
    ASSERT_TRUE(WaitUntil([&] { return rec.waveIn->GetCurrentMs() >= 2000; }, 10000));
    // While recording, a loaded sound is never exchanged: the old one stays.
    EXPECT_TRUE(rec.waveIn->LoadClickDownSound(dir.File("loud.wav").c_str(), temp.Path().c_str(), 100));
    rec.waveIn->StartClickDownSound();
    ASSERT_TRUE(WaitUntil([&] { return rec.waveIn->GetCurrentMs() >= 3000; }, 10000));
    // The user's mute leaves the sounds out.
    rec.waveIn->SetEffectsMute(TRUE);
    rec.waveIn->StartClickUpSound();
    ASSERT_TRUE(rec.ThreadEnded(10000));

    const mediatest::WavInfo info = mediatest::ReadWav(file);
    ASSERT_TRUE(info.ok) << info.layout;
    const std::vector<int> samples = mediatest::Samples16(info.data);
    ASSERT_EQ(4u * 22050, samples.size());
    EXPECT_EQ(2u * 4410, CountValue(samples, 8000)) << "two click-down sounds";
    EXPECT_EQ(2205u, CountValue(samples, 1000)) << "one key sound at 50 %";
    EXPECT_EQ(0u, CountValue(samples, 3000)) << "the click-up sound was cancelled and muted";
    EXPECT_EQ(0u, CountValue(samples, 15000)) << "the loud sound was not loaded while recording";
    EXPECT_EQ(samples.size() - 2 * 4410 - 2205, CountValue(samples, 0));
    EXPECT_TRUE(mediatest::ListFiles(temp.Path(), "SkoConvert*").empty());
}

// The audio script may be loaded at any time, also while the wave thread
// mixes from it: a second thread exchanges it over and over while recording.
TEST(WaveInSounds, AudioScriptIsExchangedSafelyWhileRecording)
{
    testsupport::ScratchDir dir("vxsnd");
    const WAVEFORMATEX format = PcmFormat(22050, 1, 16);
    WriteWav(dir.File("a.wav"), format, mediatest::Constant16(22050, 1, 0.7, 10000));
    WriteWav(dir.File("b.wav"), format, mediatest::Constant16(22050, 1, 0.7, 20000));
    mediatest::ResetMessageBoxes();
    const std::string file = dir.File("script.wav");
    Recording rec(file, format, 3000);
    ASSERT_TRUE(rec.Start());
    rec.waveIn->SetMute(FALSE);
    ASSERT_TRUE(rec.waveIn->LoadAudioScript(dir.File("a.wav").c_str(), dir.Path().c_str(), 100));
    EXPECT_TRUE(rec.waveIn->IsAudioScriptActive());
    rec.waveIn->Resume();
    int loads = 0;
    while (rec.waveIn->IsRunning() && loads < 400) {
        const std::string next = dir.File(loads % 2 ? "a.wav" : "b.wav");
        ASSERT_TRUE(rec.waveIn->LoadAudioScript(next.c_str(), dir.Path().c_str(), 100));
        ++loads;
    }
    ASSERT_TRUE(rec.ThreadEnded(10000));
    const mediatest::WavInfo info = mediatest::ReadWav(file);
    ASSERT_TRUE(info.ok) << info.layout;
    const std::vector<int> samples = mediatest::Samples16(info.data);
    ASSERT_EQ(3u * 22050, samples.size());
    EXPECT_EQ(samples.size(), CountValue(samples, 5000) + CountValue(samples, 10000) + CountValue(samples, 0));
    EXPECT_GT(CountValue(samples, 5000) + CountValue(samples, 10000), 0u);
    EXPECT_GT(loads, 10);
    EXPECT_TRUE(mediatest::MessageBoxes().empty());
}

namespace {

// A window on the test's thread that collects the level messages.
class CLevelWindow : public CWnd {
public:
    CLevelWindow()
    {
        CreateEx(0, AfxRegisterWndClass(0), "levels", WS_POPUP, 0, 0, 10, 10, NULL, NULL);
    }
    ~CLevelWindow() override { DestroyWindow(); }
    LRESULT OnLevel(WPARAM peak, LPARAM scale)
    {
        ++count;
        if (static_cast<int>(peak) > maxPeak)
            maxPeak = static_cast<int>(peak);
        lastScale = static_cast<int>(scale);
        return 0;
    }
    int count = 0;
    int maxPeak = 0;
    int lastScale = 0;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CLevelWindow, CWnd)
    ON_MESSAGE(WM_WAVEIN_LEVEL, OnLevel)
END_MESSAGE_MAP()

}  // namespace

// The level message goes to a window of the owner's thread. The owner may be
// busy (here: it does not pump messages, as when it waits in Stop): the wave
// thread must go on recording and Stop must end it, and the peaks arrive when
// the owner pumps again.
TEST(WaveIn, LevelMessagesNeverBlockTheWaveThread)
{
    testsupport::ScratchDir dir("vxwave");
    CLevelWindow window;
    ASSERT_TRUE(window.m_hWnd != NULL);
    Recording rec(dir.File("levels.wav"), PcmFormat(22050, 1, 16), 0, 0, TRUE, FALSE, WAVE_MAPPER, &window, 1);
    ASSERT_TRUE(rec.Start());
    rec.waveIn->SetNotify(1);
    ASSERT_TRUE(mediatest::PlayToneInBackground(440, 6, 0.5));
    rec.waveIn->Resume();
    // No message pumping here.
    EXPECT_TRUE(WaitUntil([&] { return rec.waveIn->GetCurrentMs() >= 3500; }, 12000))
        << "the wave thread stalled at " << rec.waveIn->GetCurrentMs() << " ms";
    const DWORD stopStart = ::GetTickCount();
    rec.waveIn->Stop();
    EXPECT_FALSE(rec.waveIn->IsRunning());
    EXPECT_LT(::GetTickCount() - stopStart, 4000u) << "the stop waits at most 3 s for the input's sound";
    EXPECT_TRUE(rec.ThreadEnded(2000));
    mediatest::PumpUntil([&] { return false; }, 200);
    EXPECT_GE(window.count, 6);
    EXPECT_EQ(32768, window.lastScale);
    EXPECT_NEAR(16384, window.maxPeak, 1200);
}

// Deleting a recorder whose thread still records: the destructor stops the
// thread and waits for it, which closes the device and the file itself, so
// the file is complete and the thread has ended when delete returns.
TEST(WaveIn, DeletingARunningRecorderEndsItsThreadFirst)
{
    testsupport::ScratchDir dir("vxwave");
    const WAVEFORMATEX format = PcmFormat(22050, 1, 16);
    for (int round = 0; round < 3; ++round) {
        const std::string file = dir.File("delete" + std::to_string(round) + ".wav");
        CWaveIn* waveIn = new CWaveIn(WAVE_MAPPER, file.c_str(), NULL, 0, 0, &format, TRUE, NULL, FALSE, NULL, 0);
        CWinThread* thread = AfxBeginThread(WaveInThreadProc, waveIn, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
        ASSERT_TRUE(thread != NULL);
        thread->m_bAutoDelete = FALSE;
        thread->ResumeThread();
        ASSERT_TRUE(waveIn->WaitReady());
        waveIn->Resume();
        ASSERT_TRUE(WaitUntil([&] { return waveIn->GetCurrentMs() >= 500 * round; }, 10000));
        delete waveIn;
        EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread->m_hThread, 5000)) << "round " << round;
        delete thread;
        const mediatest::WavInfo info = mediatest::ReadWav(file);
        EXPECT_TRUE(info.ok) << info.layout;
        EXPECT_EQ(0u, info.data.size() % 2);
    }
}

namespace {

// The recorder engine's side of a camera recording: buffers arrive here.
class CollectingSink : public CAudioSink {
public:
    HRESULT ReceiveAudio(const BYTE* data, DWORD length, LONGLONG start, LONGLONG stop, int flags) override
    {
        bytes += length;
        lengths.push_back(length);
        starts.push_back(start);
        stops.push_back(stop);
        lastFlags = flags;
        silent = silent && std::string(reinterpret_cast<const char*>(data), length) == std::string(length, '\0');
        return S_OK;
    }
    DWORD bytes = 0;
    std::vector<DWORD> lengths;
    std::vector<LONGLONG> starts, stops;
    int lastFlags = 0;
    bool silent = true;
};

}  // namespace

// When the recording records the camera, no file is written: each buffer goes
// to the sink stamped with its own span in 100-ns units.
TEST(WaveIn, CameraRecordingsHandTheSoundToTheSink)
{
    testsupport::ScratchDir dir("vxwave");
    CRecorderPrefs prefs(NULL);
    prefs.m_recordCamera = TRUE;
    const std::string file = dir.File("camera.wav");
    const WAVEFORMATEX format = PcmFormat(22050, 1, 16);
    CollectingSink sink;
    CWaveIn* waveIn = new CWaveIn(WAVE_MAPPER, file.c_str(), &prefs, 0, 1500, &format, TRUE, NULL, FALSE, NULL, 0);
    waveIn->m_sink = &sink;
    CWinThread* thread = AfxBeginThread(WaveInThreadProc, waveIn, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_TRUE(thread != NULL);
    thread->m_bAutoDelete = FALSE;
    thread->ResumeThread();
    ASSERT_TRUE(waveIn->WaitReady());
    waveIn->SetMute(FALSE);
    waveIn->Resume();
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread->m_hThread, 10000));
    delete thread;
    EXPECT_EQ(1500, waveIn->GetCurrentMs());
    delete waveIn;
    EXPECT_EQ(3u * 22050, sink.bytes);
    // Half-second buffers; the first may be cut where the recorder resumed.
    // Each piece spans its own length and starts where the previous ended,
    // so a shortened piece never overlaps the next.
    ASSERT_GE(sink.starts.size(), 3u);
    ASSERT_LE(sink.starts.size(), 4u);
    LONGLONG positionSamples = 0;
    for (size_t i = 0; i < sink.starts.size(); ++i) {
        EXPECT_EQ(positionSamples * 10000000 / 22050, sink.starts[i]) << "piece " << i;
        positionSamples += sink.lengths[i] / 2;
        EXPECT_EQ(positionSamples * 10000000 / 22050, sink.stops[i]) << "piece " << i;
        if (i > 0) {
            EXPECT_EQ(sink.stops[i - 1], sink.starts[i]) << "piece " << i;
        }
    }
    EXPECT_EQ(15000000, sink.stops.back());
    EXPECT_EQ(1, sink.lastFlags);
    EXPECT_TRUE(sink.silent);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(file.c_str())) << "no file in camera mode";
}

// A camera recording whose recorder got no sink (the camera did not start)
// keeps its sound in the file.
TEST(WaveIn, CameraRecordingWithoutSinkWritesTheFile)
{
    testsupport::ScratchDir dir("vxwave");
    CRecorderPrefs prefs(NULL);
    prefs.m_recordCamera = TRUE;
    const std::string file = dir.File("camera.wav");
    const WAVEFORMATEX format = PcmFormat(22050, 1, 16);
    CWaveIn* waveIn = new CWaveIn(WAVE_MAPPER, file.c_str(), &prefs, 0, 1000, &format, TRUE, NULL, FALSE, NULL, 0);
    CWinThread* thread = AfxBeginThread(WaveInThreadProc, waveIn, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_TRUE(thread != NULL);
    thread->m_bAutoDelete = FALSE;
    thread->ResumeThread();
    ASSERT_TRUE(waveIn->WaitReady());
    waveIn->Resume();
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread->m_hThread, 10000));
    delete thread;
    delete waveIn;
    const mediatest::WavInfo info = mediatest::ReadWav(file);
    ASSERT_TRUE(info.ok) << "the sound went to its file: " << info.layout;
    EXPECT_EQ(22050u * 2, info.data.size());
}
