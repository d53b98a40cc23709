// Recordings with sound: the engine runs the real wave recorder on the test
// runner's PulseAudio sink (whose monitor is the wave input), a known tone is
// played into the sink, and the finished AVI is read back with ffprobe and
// ffmpeg.
#include "capture/RecorderEngine.h"

#include "capture/RecorderWindow.h"
#include "capture/VideoFocusWnd.h"
#include "framework/ui/DC.h"
#include "framework/ui/Wnd.h"
#include "framework/WinThread.h"
#include "resources/ids_capture.h"
#include "resources/ids_media.h"
#include "settings/RecorderPrefs.h"
#include "tests/support/TestSupport.h"
#include "CaptureTestSupport.h"

#include <gtest/gtest.h>
#include <math.h>
#include <memory>
#include <sstream>
#include <stdio.h>
#include <string>
#include <vector>

using namespace capturetest;
using testsupport::RunHost;
using testsupport::ScratchDir;
using testsupport::UnixPath;

namespace {

const RECT kArea = {150, 150, 470, 390};   // 320 x 240
const DWORD kRate = 22050;

WAVEFORMATEX Pcm(DWORD rate, WORD channels, WORD bits)
{
    WAVEFORMATEX f = {};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = (WORD)(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

// 5 frames per second, uncompressed frames, sound on in 22050 Hz mono 16-bit.
std::unique_ptr<CRecorderPrefs> SoundPrefs(const std::string& tempDir)
{
    std::unique_ptr<CRecorderPrefs> prefs = MakeEnginePrefs(tempDir, kFourccDib, 5);
    prefs->m_recordAudio = TRUE;
    prefs->m_audioDeviceId = (int)WAVE_MAPPER;
    const WAVEFORMATEX format = Pcm(kRate, 1, 16);
    prefs->SetAudioFormat(&format);
    return prefs;
}

// Plays a sine into the sink in the background.
void PlayTone(double frequency, double seconds)
{
    char cmd[512];
    snprintf(cmd, sizeof(cmd),
             "(sox -n -r 44100 -c 2 -b 16 -t raw - synth %.2f sine %.1f vol 0.5 | "
             "pacat --raw --rate=44100 --channels=2 --format=s16le --device=${VEXCAP_PULSE_SINK:-vexcap_sink}) "
             ">/dev/null 2>&1 &",
             seconds, frequency);
    std::string out;
    ASSERT_EQ(0, RunHost(cmd, &out)) << out;
}

// The sound stream of an AVI as 16-bit mono samples at 22050 Hz.
std::vector<int> AudioSamples(const std::string& avi, const std::string& scratch)
{
    std::string out;
    if (RunHost("ffmpeg -v error -y -i '" + UnixPath(avi) + "' -map 0:a:0 -f s16le -ac 1 -ar 22050 '" +
                    UnixPath(scratch) + "'",
                &out) != 0)
        return std::vector<int>();
    std::string bytes;
    testsupport::ReadFileBytes(scratch, &bytes);
    std::vector<int> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        short v;
        memcpy(&v, bytes.data() + 2 * i, 2);
        samples[i] = v;
    }
    return samples;
}

// The frequency of the loud part of a signal by its upward zero crossings.
double ToneFrequency(const std::vector<int>& samples, size_t* loudSamples)
{
    size_t first = 0, last = 0, count = 0;
    *loudSamples = 0;
    for (size_t i = 1; i < samples.size(); ++i) {
        if (abs(samples[i]) > 3000)
            ++*loudSamples;
        if (samples[i - 1] < 0 && samples[i] >= 0 && (abs(samples[i - 1]) > 1000 || abs(samples[i]) > 1000 ||
                                                       (i + 10 < samples.size() && abs(samples[i + 10]) > 3000))) {
            if (count == 0)
                first = i;
            last = i;
            ++count;
        }
    }
    return count < 2 ? 0.0 : (count - 1) * (double)kRate / (double)(last - first);
}

int CountSoundFiles(const CRecorderEngine& engine)
{
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA(engine.GetRecordingFolder() + "*_Audio.wav", &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int n = 0;
    do {
        ++n;
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return n;
}

class SoundRecordingTest : public ::testing::Test {
protected:
    void SetUp() override { App().ClearBoxes(); }
    ScratchDir m_dir{"vxsound"};
};

}  // namespace

// A recording with sound, without and with a pause: one AVI with a video and
// an audio stream; the sound is the played tone, and it lasts as long as the
// video (within the half second of one wave buffer), so the pause's sound is
// not in it.
TEST_F(SoundRecordingTest, SoundIsInterleavedIntoTheRecordingAndFollowsPauses)
{
    const struct Case {
        DWORD firstMs, pauseMs, secondMs;
        double frequency;
    } cases[] = {
        {2900, 0, 0, 660.0},
        {1900, 2500, 1900, 440.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "pause " << c.pauseMs << " ms, tone " << c.frequency << " Hz");
        App().ClearBoxes();
        std::unique_ptr<CRecorderPrefs> prefs = SoundPrefs(m_dir.Path());
        MainWindowDouble main;
        std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
        PlayTone(c.frequency, (c.firstMs + c.pauseMs + c.secondMs) / 1000.0 + 6.0);
        RECT area = kArea;
        ASSERT_TRUE(engine->PrepareRecording(&area));
        ASSERT_TRUE(PumpUntil([&] { return main.First(WM_RECORDER_STATE) == 1; }, 15000)) << "capture began";
        EXPECT_EQ(1, CountSoundFiles(*engine)) << "the sound file lies in the recording's folder";
        Pump(c.firstMs);
        if (c.pauseMs) {
            engine->Pause();
            Pump(c.pauseMs);
            engine->Record();
            Pump(c.secondMs);
        }
        engine->RequestStop();
        ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 20000));
        EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
        EXPECT_TRUE(App().Boxes().empty()) << App().Boxes()[0];
        EXPECT_EQ(0, CountSoundFiles(*engine)) << "the sound is inside the AVI, its file is gone";

        const std::string avi = (LPCSTR)engine->GetScreenFileName();
        EXPECT_EQ("video\naudio\n", Probe(avi, "-show_entries stream=codec_type"));
        EXPECT_EQ("pcm_s16le,22050,1\n",
                  Probe(avi, "-select_streams a:0 -show_entries stream=codec_name,sample_rate,channels"));
        const double video = atof(Probe(avi, "-select_streams v:0 -show_entries stream=duration").c_str());
        const double recorded = (c.firstMs + c.secondMs) / 1000.0;
        EXPECT_NEAR(recorded, video, 0.45);
        const std::vector<int> samples = AudioSamples(avi, m_dir.File("sound.raw"));
        const double audio = samples.size() / (double)kRate;
        EXPECT_NEAR(video, audio, 0.5) << "the sound lasts as long as the video";
        size_t loud = 0;
        EXPECT_NEAR(c.frequency, ToneFrequency(samples, &loud), 4.0);
        EXPECT_GT(loud, samples.size() / 4) << "the tone fills the recording after the input's start-up";

        const CString folder = engine->GetRecordingFolder();
        const CString file = engine->GetScreenFileName();
        engine.reset();
        EXPECT_FALSE(FileExists(file));
        EXPECT_FALSE(FileExists(folder));
    }
}

// Discard with sound running: the recorder ends, and neither the video nor
// the sound file nor the folder is left.
TEST_F(SoundRecordingTest, DiscardLeavesNoFileBehind)
{
    std::unique_ptr<CRecorderPrefs> prefs = SoundPrefs(m_dir.Path());
    MainWindowDouble main;
    std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
    RECT area = kArea;
    ASSERT_TRUE(engine->PrepareRecording(&area));
    ASSERT_TRUE(PumpUntil([&] { return engine->GetCapturedFrames() >= 8; }, 15000));
    ASSERT_EQ(1, CountSoundFiles(*engine));
    engine->RequestDiscard();
    ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 20000));
    EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
    EXPECT_FALSE(engine->HasFramesWritten());
    EXPECT_EQ(0, CountSoundFiles(*engine));
    EXPECT_EQ(0, engine->GetAudioFiles().GetSize());
    const CString folder = engine->GetRecordingFolder();
    engine.reset();
    EXPECT_FALSE(FileExists(folder));
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((m_dir.Path() + "\\SkoCapture*").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search) << found.cFileName;
    if (search != INVALID_HANDLE_VALUE)
        ::FindClose(search);
}

// A sound format the wave input cannot take: the recording does not begin,
// the user is told once why, the end message reports the failure, and the UI
// thread is never held up (it pumps here and sees the end in time).
TEST_F(SoundRecordingTest, SoundThatCannotStartEndsWithAReportedFailure)
{
    const struct Case {
        const char* name;
        WAVEFORMATEX format;
        const char* detail;   // in the message after "不能录制音频。", or NULL for the text alone
    } cases[] = {
        {"no channels", {WAVE_FORMAT_PCM, 0, 22050, 44100, 2, 16, 0}, "不能打开 wave 输入设备"},
        {"no sample rate", {WAVE_FORMAT_PCM, 1, 0, 0, 2, 16, 0}, "不能打开 wave 输入设备"},
        {"unknown compressed format", {0x7777, 1, 22050, 4000, 4, 0, 0}, NULL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        App().ClearBoxes();
        std::unique_ptr<CRecorderPrefs> prefs = SoundPrefs(m_dir.Path());
        prefs->SetAudioFormat(&c.format);
        MainWindowDouble main;
        std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
        RECT area = kArea;
        ASSERT_TRUE(engine->PrepareRecording(&area));
        ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 20000)) << "the recording must end";
        EXPECT_EQ(1, main.First(WM_RECORDER_FINISHED));
        EXPECT_EQ(-1, main.First(WM_RECORDER_STATE)) << "capture never began";
        EXPECT_FALSE(engine->HasFramesWritten());
        EXPECT_EQ(0, CountSoundFiles(*engine));
        const std::vector<std::string> boxes = App().Boxes();
        ASSERT_EQ(1u, boxes.size());
        CString head;
        head.LoadString(IDS_CANNOT_RECORD_AUDIO);
        EXPECT_EQ(0u, boxes[0].find((LPCSTR)head)) << boxes[0];
        if (c.detail)
            EXPECT_NE(std::string::npos, boxes[0].find(c.detail)) << boxes[0];
        else
            EXPECT_EQ(std::string((LPCSTR)head), boxes[0]);
        const CString folder = engine->GetRecordingFolder();
        engine.reset();
        EXPECT_FALSE(FileExists(folder));
    }
}

namespace {

struct ScriptAnswers {
    std::vector<UINT> buttons;   // one per question, in order
    volatile LONG asked = 0;
};

BOOL CALLBACK FindScriptQuestion(HWND hwnd, LPARAM param)
{
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    char cls[16] = {};
    ::GetClassNameA(hwnd, cls, sizeof(cls));
    if (pid == ::GetCurrentProcessId() && strcmp(cls, "#32770") == 0 && ::IsWindowVisible(hwnd) &&
        ::GetDlgItem(hwnd, IDC_WAVE_SCRIPT_STOP)) {
        *(HWND*)param = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Answers each question of the audio-script end the way the user does: a
// posted click of the button, then waits until the question is gone.
DWORD WINAPI AnswerScriptQuestions(LPVOID param)
{
    ScriptAnswers* answers = (ScriptAnswers*)param;
    for (UINT button : answers->buttons) {
        HWND dialog = NULL;
        for (int i = 0; i < 2000 && !dialog; ++i) {
            ::EnumWindows(FindScriptQuestion, (LPARAM)&dialog);
            if (!dialog)
                ::Sleep(10);
        }
        if (!dialog)
            return 1;
        ::InterlockedIncrement(&answers->asked);
        ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)::GetDlgItem(dialog, button));
        for (int i = 0; i < 500 && ::IsWindow(dialog); ++i)
            ::Sleep(10);
    }
    return 0;
}

void WriteConstantWave(const std::string& path, double seconds, short value)
{
    const WAVEFORMATEX format = Pcm(kRate, 1, 16);
    const DWORD samples = (DWORD)(seconds * kRate);
    std::string data(samples * 2, '\0');
    for (DWORD i = 0; i < samples; ++i)
        memcpy(&data[i * 2], &value, 2);
    std::string wav = "RIFF";
    const DWORD riff = 4 + 8 + 16 + 8 + (DWORD)data.size();
    wav.append((const char*)&riff, 4);
    wav += "WAVEfmt ";
    const DWORD fmtSize = 16;
    wav.append((const char*)&fmtSize, 4);
    wav.append((const char*)&format, 16);
    wav += "data";
    const DWORD dataSize = (DWORD)data.size();
    wav.append((const char*)&dataSize, 4);
    wav += data;
    ASSERT_TRUE(testsupport::WriteFileBytes(path, wav.data(), wav.size()));
}

}  // namespace

// The end of the audio script pauses the recording and asks: stop ends the
// recording; continue goes on without the script (no second question); play
// again asks once more when the script has played again.
TEST_F(SoundRecordingTest, AudioScriptEndAsksHowToGoOn)
{
    const std::string script = m_dir.File("script.wav");
    WriteConstantWave(script, 0.4, 8000);
    const struct Case {
        const char* name;
        std::vector<UINT> buttons;
        bool userStops;   // the recording goes on after the answers
        LONG scriptFlagAfter;
    } cases[] = {
        {"stop", {IDC_WAVE_SCRIPT_STOP}, false, 1},
        {"continue", {IDC_WAVE_SCRIPT_CONTINUE}, true, 0},
        {"play again, then stop", {IDC_WAVE_SCRIPT_REPLAY, IDC_WAVE_SCRIPT_STOP}, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        App().ClearBoxes();
        std::unique_ptr<CRecorderPrefs> prefs = SoundPrefs(m_dir.Path());
        prefs->m_unused9 = 1;   // the audio-script flag
        prefs->m_unused11 = script.c_str();
        MainWindowDouble main;
        std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
        ScriptAnswers answers;
        answers.buttons = c.buttons;
        HANDLE answerer = ::CreateThread(NULL, 0, AnswerScriptQuestions, &answers, 0, NULL);
        RECT area = kArea;
        ASSERT_TRUE(engine->PrepareRecording(&area));
        ASSERT_TRUE(PumpUntil([&] { return ::WaitForSingleObject(answerer, 0) == WAIT_OBJECT_0; }, 30000))
            << "questions asked: " << answers.asked;
        DWORD code = 99;
        ::GetExitCodeThread(answerer, &code);
        ::CloseHandle(answerer);
        EXPECT_EQ(0u, code) << "every question was asked";
        EXPECT_EQ((LONG)c.buttons.size(), answers.asked);
        EXPECT_GE(main.Count(WM_RECORDER_SELF_PAUSED), (int)c.buttons.size());
        if (c.userStops) {
            const DWORD frames = engine->GetCapturedFrames();
            ASSERT_TRUE(PumpUntil([&] { return engine->GetCapturedFrames() >= frames + 8; }, 10000))
                << "recording goes on";
            EXPECT_FALSE(Finished(main));
            HWND again = NULL;
            ::EnumWindows(FindScriptQuestion, (LPARAM)&again);
            EXPECT_TRUE(again == NULL) << "no question without the script";
            engine->RequestStop();
        }
        ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 20000));
        EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
        EXPECT_TRUE(engine->HasFramesWritten());
        EXPECT_EQ(c.scriptFlagAfter, (LONG)prefs->m_unused9);
        EXPECT_TRUE(App().Boxes().empty()) << App().Boxes()[0];
        const std::string avi = (LPCSTR)engine->GetScreenFileName();
        EXPECT_EQ("video\naudio\n", Probe(avi, "-show_entries stream=codec_type"));
    }
}

namespace {

// A worker thread's use of the window layer: wrappers of a window and of a
// device context made on this thread (the way a dialog or the progress
// window is driven from the capture thread).
DWORD WINAPI UseWindowWrappers(LPVOID param)
{
    HWND window = (HWND)param;
    CWnd* wrapper = CWnd::FromHandle(window);
    HDC dc = ::GetDC(window);
    CDC* dcWrapper = CDC::FromHandle(dc);
    const BOOL ok = wrapper != NULL && dcWrapper != NULL && wrapper->GetSafeHwnd() == window;
    ::ReleaseDC(window, dc);
    return ok ? 0 : 1;
}

UINT AFX_CDECL UseWindowWrappersInWinThread(LPVOID param)
{
    return UseWindowWrappers(param);
}

// Runs the wrappers' use on a plain thread or on a CWinThread (which frees
// the thread's maps at its end); returns the thread's exit code.
DWORD RunWrapperThread(bool winThread, HWND window)
{
    DWORD code = 99;
    if (winThread) {
        CWinThread* thread =
            AfxBeginThread(UseWindowWrappersInWinThread, window, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
        if (!thread)
            return code;
        thread->m_bAutoDelete = FALSE;
        thread->ResumeThread();
        ::WaitForSingleObject(thread->m_hThread, INFINITE);
        ::GetExitCodeThread(thread->m_hThread, &code);
        delete thread;
        return code;
    }
    HANDLE worker = ::CreateThread(NULL, 0, UseWindowWrappers, window, 0, NULL);
    if (!worker)
        return code;
    ::WaitForSingleObject(worker, INFINITE);
    ::GetExitCodeThread(worker, &code);
    ::CloseHandle(worker);
    return code;
}

DWORD WINAPI AllocateAndFree(LPVOID)
{
    for (int i = 0; i < 1000; ++i)
        delete[] new char[64 + i];
    return 0;
}

}  // namespace

// Threads that used the window layer's per-thread wrappers end without
// leaving the allocator locked: the capture thread drives the progress
// window and the audio-script question, then ends, and the process must go
// on allocating afterwards.
TEST(EngineThreads, ThreadsThatUsedWindowWrappersEndCleanly)
{
    MainWindowDouble main;
    for (int i = 0; i < 200; ++i) {
        const bool winThread = i % 2 == 1;   // plain threads and CWinThreads in turn
        const DWORD code = RunWrapperThread(winThread, main.GetRecorderHwnd());
        // A thread that ended inside the allocator leaves its lock held for
        // good: allocation then blocks. Probe on a thread of its own, so that
        // this one can still report (the report itself must not allocate).
        HANDLE probe = ::CreateThread(NULL, 0, AllocateAndFree, NULL, 0, NULL);
        if (::WaitForSingleObject(probe, 10000) != WAIT_OBJECT_0) {
            static const char text[] = "FATAL: the allocator stays locked after a worker thread ended\n";
            DWORD written = 0;
            ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), text, sizeof(text) - 1, &written, NULL);
            ::TerminateProcess(::GetCurrentProcess(), 3);
        }
        ::CloseHandle(probe);
        ASSERT_EQ(0u, code) << "round " << i << (winThread ? " (CWinThread)" : " (plain thread)");
    }
}

// Sound switched on and off while recording. Started muted, the recorder is
// started by EnableAudio at that moment, and its sound is placed at that time
// of the video (silence before it); switched off, the recorder goes on with
// silence. Either way the sound lasts as long as the video.
TEST_F(SoundRecordingTest, EnableAudioSwitchesTheSoundWhileRecording)
{
    const struct Case {
        const char* name;
        BOOL startMuted;
        BOOL switchTo;
        bool toneFirst;   // which part holds the tone: the first or the second
    } cases[] = {
        {"switched on", TRUE, TRUE, false},
        {"switched off", FALSE, FALSE, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        App().ClearBoxes();
        std::unique_ptr<CRecorderPrefs> prefs = SoundPrefs(m_dir.Path());
        prefs->m_muteAudio = c.startMuted;
        MainWindowDouble main;
        std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
        PlayTone(550.0, 12.0);
        RECT area = kArea;
        ASSERT_TRUE(engine->PrepareRecording(&area));
        ASSERT_TRUE(PumpUntil([&] { return main.First(WM_RECORDER_STATE) == 1; }, 15000)) << "capture began";
        EXPECT_EQ(c.startMuted ? 0 : 1, CountSoundFiles(*engine));
        Pump(3900);
        engine->EnableAudio(c.switchTo);
        ASSERT_TRUE(PumpUntil([&] { return CountSoundFiles(*engine) == 1; }, 10000));
        Pump(2900);
        engine->RequestStop();
        ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 20000));
        EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
        EXPECT_TRUE(App().Boxes().empty()) << App().Boxes()[0];

        const std::string avi = (LPCSTR)engine->GetScreenFileName();
        EXPECT_EQ("video\naudio\n", Probe(avi, "-show_entries stream=codec_type"));
        const double video = atof(Probe(avi, "-select_streams v:0 -show_entries stream=duration").c_str());
        const std::vector<int> samples = AudioSamples(avi, m_dir.File("switch.raw"));
        EXPECT_NEAR(video, samples.size() / (double)kRate, 0.5);
        // Loud samples before the switch and in the last two seconds (the
        // switch's buffer of half a second left out).
        size_t loudFirst = 0, loudLast = 0;
        for (size_t i = 0; i < samples.size(); ++i) {
            const double t = i / (double)kRate;
            if (abs(samples[i]) > 3000) {
                loudFirst += t < 3.7;
                loudLast += t > video - 2.0;
            }
        }
        const size_t loudParts[] = {loudFirst, loudLast};
        EXPECT_EQ(0u, loudParts[c.toneFirst ? 1 : 0]) << "silence where the sound was off";
        EXPECT_GT(loudParts[c.toneFirst ? 0 : 1], (size_t)kRate / 2) << "the tone where the sound was on";
    }
}

// Sound switched on and off again while paused (before the capture thread
// could start a recorder) stays off: resuming records no sound.
TEST_F(SoundRecordingTest, SoundSwitchedOnAndOffBeforeItStartedStaysOff)
{
    App().ClearBoxes();
    std::unique_ptr<CRecorderPrefs> prefs = SoundPrefs(m_dir.Path());
    prefs->m_muteAudio = TRUE;
    MainWindowDouble main;
    std::unique_ptr<CRecorderEngine> engine(new CRecorderEngine(prefs.get(), &main, NULL));
    RECT area = kArea;
    ASSERT_TRUE(engine->PrepareRecording(&area));
    ASSERT_TRUE(PumpUntil([&] { return engine->GetCapturedFrames() >= 2; }, 15000)) << "capture began";
    EXPECT_EQ(0, CountSoundFiles(*engine));
    engine->Pause();
    ASSERT_TRUE(PumpUntil([&] { return engine->GetFocusFrame()->IsLit(); }, 3000));
    Pump(400);
    engine->EnableAudio(TRUE);
    engine->EnableAudio(FALSE);
    engine->Record();
    const DWORD resumed = engine->GetCapturedFrames();
    ASSERT_TRUE(PumpUntil([&] { return engine->GetCapturedFrames() >= resumed + 4; }, 5000));
    EXPECT_EQ(0, CountSoundFiles(*engine)) << "no recorder was started";
    engine->RequestStop();
    ASSERT_TRUE(PumpUntil([&] { return Finished(main); }, 20000));
    EXPECT_EQ(0, main.First(WM_RECORDER_FINISHED));
}
