// Narration over the timeline: a tone played into the test sound sink is
// recorded through the sound input into a WAVE file (read back by ffprobe
// and decoded by ffmpeg) that lands on the timeline's audio where the
// narration started; the naming questions, discarding, and a move that
// fails.
#include "UiTestUtil.h"
#include "MediaTestUtil.h"
#include "TestSupport.h"
#include "TimelineTestSupport.h"

#include "XRVDirectShow/XRVDShow.h"
#include "platform/filters/WaveInSource.h"
#include "settings/FileUtil.h"

#include <stdlib.h>
#include <deque>
#include <string>

namespace {

LONGLONG S(double seconds) { return (LONGLONG)(seconds * 10000000.0 + 0.5); }

// Plays the tone and, when it goes, waits until it has ended: no other test
// may hear it.
class CTone {
public:
    explicit CTone(double seconds) : m_ms((DWORD)(seconds * 1000)), m_start(::GetTickCount())
    {
        m_ok = mediatest::PlayToneInBackground(440, seconds, 0.5);
    }
    ~CTone()
    {
        const DWORD played = ::GetTickCount() - m_start;
        if (m_ok && played < m_ms + 500)
            ::Sleep(m_ms + 500 - played);
    }
    bool ok() const { return m_ok; }

private:
    DWORD m_ms, m_start;
    bool m_ok = false;
};

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A facade whose save dialog answers from a script: a name, or "" for Cancel.
class CScriptedFacade : public XRVDShow {
public:
    CScriptedFacade() : XRVDShow(TRUE) {}
    std::deque<std::string> answers;
    int asked = 0;

protected:
    int AskNarrationName(CString* name) override
    {
        ++asked;
        if (answers.empty())
            return IDCANCEL;   // a script that ran out cancels
        const std::string next = answers.front();
        answers.pop_front();
        if (next.empty())
            return IDCANCEL;
        *name = next.c_str();
        return IDOK;
    }
};

int CancelRetry(const CString&) { return IDCANCEL; }

class NarrationTest : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        mediatest::ResetMessageBoxes();
    }
    void TearDown() override
    {
        SetFileRetryPrompt(NULL);
        ComTest::TearDown();
    }
    // A 1 s, 440 Hz WAVE file.
    std::string MakeTone(const std::string& name)
    {
        const WAVEFORMATEX f = mediatest::PcmFormat(22050, 1, 16);
        const std::string bytes = mediatest::MakeWav(&f, sizeof(PCMWAVEFORMAT), mediatest::Sine16(22050, 1, 440, 1.0, 0.5));
        const std::string path = m_dir.File(name);
        EXPECT_TRUE(testsupport::WriteFileBytes(path, bytes.data(), bytes.size()));
        return path;
    }
    // The timeline's first audio clip: span and media name.
    void AudioClip(XRVDShow& facade, LONGLONG* start, LONGLONG* stop, std::string* name)
    {
        ASSERT_EQ(1, facade.GetClipCount(1));
        ASSERT_EQ(S_OK, facade.GetClipStartStop(1, 0, start, stop));
        CComPtr<IAMTimelineComp> comp;
        ASSERT_EQ(S_OK, facade.GetTrack(1, &comp));
        int track = -1;
        ASSERT_EQ(S_OK, facade.GetTrackOfClip(1, 0, &track));
        CComPtr<IAMTimelineObj> trackObj, src;
        ASSERT_EQ(S_OK, comp->GetVTrack(&trackObj, track));
        REFERENCE_TIME at = 0;
        ASSERT_EQ(S_OK, CComQIPtr<IAMTimelineTrack>(trackObj)->GetNextSrc(&src, &at));
        BSTR media = NULL;
        CComQIPtr<IAMTimelineSrc>(src)->GetMediaName(&media);
        *name = CString(media).GetString();
        SysFreeString(media);
    }
    testsupport::ScratchDir m_dir{"vxnarr"};
};

// The sound input records the played tone; the file is as long as the
// recording ran and goes onto the audio at the narration's start.
TEST_F(NarrationTest, AToneIsRecordedAndPlacedOnTheAudioAtItsStart)
{
    XRVDShow facade(TRUE);
    LONGLONG position = 0;
    facade.GetCurRecordingPos(&position);
    EXPECT_EQ(-1, position) << "before any recording";
    // The tone runs longer than the recording, which starts once the input
    // is past its start-up latency.
    CTone tone(7);
    ASSERT_TRUE(tone.ok());
    ::Sleep(1500);
    ASSERT_EQ(S_OK, facade.StartRecord(S(1), S(4), FALSE)) << testing::PrintToString(Reports());
    IGraphBuilder* graph = NULL;
    EXPECT_EQ(S_OK, facade.GetRecordingGraph(&graph));
    // The narration runs until 3 s of sound are in the file (the input's
    // start-up latency is not counted).
    const DWORD begin = ::GetTickCount();
    do {
        ::Sleep(50);
        facade.GetCurRecordingPos(&position);
    } while (position < S(1) + S(3) && ::GetTickCount() - begin < 15000);
    EXPECT_GE(position, S(4)) << "the sound written plus the base";
    CString name;
    ASSERT_EQ(S_OK, facade.StopRecord(&name, FALSE));
    EXPECT_EQ(E_FAIL, facade.GetRecordingGraph(&graph)) << "the graph is gone";
    const std::string path = name.GetString();
    ASSERT_TRUE(Exists(path)) << path;

    const double seconds = atof(mediatest::Probe(path, "duration").c_str());
    EXPECT_NEAR(3.0, seconds, 0.3) << path;
    const std::vector<int> samples = mediatest::DecodeAudio16(path, m_dir.File("decoded.raw"), 22050);
    size_t loud = 0;
    const double frequency = mediatest::LoudToneFrequency(samples, 22050, &loud);
    EXPECT_NEAR(440.0, frequency, 5.0);
    EXPECT_GT(loud, samples.size() * 8 / 10) << "the tone fills the recording";

    LONGLONG start = 0, stop = 0;
    std::string clipName;
    AudioClip(facade, &start, &stop, &clipName);
    EXPECT_EQ(S(1), start);
    EXPECT_EQ(S(1) + XRVDShowMedia::GetStreamLength(name), stop);
    EXPECT_NEAR(3.0, (stop - start) / 1e7, 0.3);
    EXPECT_STREQ(path.c_str(), clipName.c_str());
    ::DeleteFileA(path.c_str());
}

// The naming loop: names the timeline plays or holds locked are refused with
// their own message and asked again; Cancel asks whether to discard (Yes
// deletes the narration, No asks for a name again).
TEST_F(NarrationTest, NamesInUseOrLockedAreRefusedAndCancelMayDiscard)
{
    struct Case {
        const char* what;
        std::vector<std::string> script;   // "used", "locked", "fresh", "" (Cancel)
        int answer;                        // of the message boxes
        std::vector<UINT> boxes;
        HRESULT hr;
        bool kept;                         // the narration is on the timeline as "fresh"
    } cases[] = {
        {"in use, locked, then free", {"used", "locked", "fresh"}, IDOK, {10930, 10931}, S_OK, true},
        {"cancel and discard", {""}, IDYES, {10932}, S_FALSE, false},
        {"cancel, keep, then a name", {"", "fresh"}, IDNO, {10932}, S_OK, true},
    };
    for (const Case& c : cases) {
        mediatest::ResetMessageBoxes(c.answer);
        CScriptedFacade facade;
        XRVDSTimeline* t = facade.GetTimeline();
        const std::string used = MakeTone("used.wav");
        const std::string locked = MakeTone("locked.wav");
        const std::string fresh = m_dir.File("fresh.wav");
        ::DeleteFileA(fresh.c_str());
        ASSERT_EQ(S_OK, facade.AddAudioFile(used.c_str(), S(10), S(11), 0, S(1)));
        t->m_bFileLocking = TRUE;
        t->LockFileIfEnabled(locked.c_str());
        const std::string temporary = MakeTone("narration.tmp.wav");
        t->SetOutputName(temporary.c_str());
        t->m_rtRecordBase = S(2);
        for (const std::string& s : c.script)
            facade.answers.push_back(s == "used" ? used : s == "locked" ? locked : s == "fresh" ? fresh : "");

        CString name;
        EXPECT_EQ(c.hr, facade.StopRecord(&name, TRUE)) << c.what;
        EXPECT_EQ((int)c.script.size(), facade.asked) << c.what;
        const std::vector<std::string> boxes = mediatest::MessageBoxes();
        ASSERT_EQ(c.boxes.size(), boxes.size()) << c.what;
        for (size_t i = 0; i < boxes.size(); ++i) {
            CString expected;
            expected.LoadString(c.boxes[i]);
            EXPECT_EQ(std::string(expected.GetString()), boxes[i]) << c.what << " #" << i;
        }
        EXPECT_FALSE(Exists(temporary)) << c.what << ": moved or deleted";
        EXPECT_EQ(c.kept, Exists(fresh)) << c.what;
        EXPECT_EQ(c.kept ? fresh : std::string(), std::string(name.GetString())) << c.what;
        EXPECT_EQ(c.kept ? 2 : 1, facade.GetClipCount(1)) << c.what;
        if (c.kept) {
            EXPECT_TRUE(facade.CheckFileInTimeline(fresh.c_str()));
            EXPECT_STREQ(fresh.c_str(), t->GetOutputName());
        }
        t->m_FileLocks.ReleaseAll();
        ::DeleteFileA(fresh.c_str());
    }
}

// A destination that cannot be replaced leaves the narration in its
// temporary file, and that file is what the timeline gets.
TEST_F(NarrationTest, AFailedMoveKeepsTheTemporaryFile)
{
    SetFileRetryPrompt(CancelRetry);
    CScriptedFacade facade;
    const std::string temporary = MakeTone("narration.tmp.wav");
    const std::string busy = MakeTone("busy.wav");
    HANDLE held = ::CreateFileA(busy.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    facade.GetTimeline()->SetOutputName(temporary.c_str());
    facade.GetTimeline()->m_rtRecordBase = S(0.5);
    facade.answers.push_back(busy);
    CString name;
    EXPECT_EQ(S_OK, facade.StopRecord(&name, TRUE));
    ::CloseHandle(held);
    EXPECT_TRUE(Exists(temporary));
    EXPECT_STREQ(temporary.c_str(), name.GetString());
    LONGLONG start = 0, stop = 0;
    std::string clipName;
    AudioClip(facade, &start, &stop, &clipName);
    EXPECT_STREQ(temporary.c_str(), clipName.c_str());
    EXPECT_EQ(S(0.5), start);
    EXPECT_EQ(S(1.5), stop);

    // Without a name to put it in, or without a timeline, nothing stops.
    EXPECT_EQ(E_FAIL, facade.StopRecord(NULL, TRUE));
    XRVDShow empty(TRUE);
    empty.SetTimeline(NULL, TRUE);
    EXPECT_EQ(E_FAIL, empty.StopRecord(&name, FALSE));
    EXPECT_EQ(E_FAIL, empty.StartRecord(0, S(1), FALSE));
    EXPECT_EQ(E_FAIL, empty.PauseRecord());
}


// Waits until the recording position reaches `at` (a generous bound).
LONGLONG WaitForPosition(XRVDShow& facade, LONGLONG at)
{
    LONGLONG position = -1;
    const DWORD begin = ::GetTickCount();
    do {
        ::Sleep(50);
        facade.GetCurRecordingPos(&position);
    } while (position < at && ::GetTickCount() - begin < 15000);
    return position;
}

// Paused, the narration stops growing once the device's last sound is in;
// resumed, it goes on in the same file, and the file holds both parts.
TEST_F(NarrationTest, PausedNarrationsResumeInTheSameFile)
{
    XRVDShow facade(TRUE);
    CTone tone(9);
    ASSERT_TRUE(tone.ok());
    ::Sleep(1500);
    ASSERT_EQ(S_OK, facade.StartRecord(S(2), -1, FALSE)) << testing::PrintToString(Reports());
    ASSERT_GE(WaitForPosition(facade, S(3)), S(3));
    ASSERT_EQ(S_OK, facade.PauseRecord());
    ::Sleep(1200);   // the device hands back what it holds
    LONGLONG held = 0, later = 0;
    facade.GetCurRecordingPos(&held);
    ::Sleep(700);
    facade.GetCurRecordingPos(&later);
    EXPECT_EQ(held, later) << "nothing is recorded while paused";
    ASSERT_EQ(S_OK, facade.StartRecord(-1, -1, FALSE));
    const LONGLONG last = WaitForPosition(facade, held + S(1));
    ASSERT_GE(last, held + S(1));
    CString name;
    ASSERT_EQ(S_OK, facade.StopRecord(&name, FALSE));
    const double seconds = atof(mediatest::Probe(name.GetString(), "duration").c_str());
    EXPECT_NEAR((last - S(2)) / 1e7, seconds, 0.3) << "both parts, and what the device held at the stop";
    LONGLONG start = 0, stop = 0;
    std::string clipName;
    AudioClip(facade, &start, &stop, &clipName);
    EXPECT_EQ(S(2), start);
    ::DeleteFileA(name.GetString());
}

// The source takes PCM forms of 8 or 16 bits, one or two channels, and only
// while its pin is free; its pin offers what it was given.
TEST_F(NarrationTest, TheSoundSourceTakesPcmFormsOnly)
{
    CComPtr<IBaseFilter> source;
    ASSERT_EQ(S_OK, DsCreateWaveInSource(IID_IBaseFilter, (void**)&source));
    CComPtr<IXrvWaveInConfig> config;
    ASSERT_EQ(S_OK, source->QueryInterface(IID_IXrvWaveInConfig, (void**)&config));
    struct Case {
        WORD tag, channels, bits;
        DWORD rate;
        HRESULT hr;
    } cases[] = {
        {WAVE_FORMAT_PCM, 2, 16, 44100, S_OK},     {WAVE_FORMAT_PCM, 1, 8, 8000, S_OK},
        {WAVE_FORMAT_PCM, 1, 16, 22050, S_OK},     {3 /* float */, 1, 32, 44100, E_INVALIDARG},
        {WAVE_FORMAT_PCM, 1, 24, 44100, E_INVALIDARG}, {WAVE_FORMAT_PCM, 0, 16, 44100, E_INVALIDARG},
        {WAVE_FORMAT_PCM, 6, 16, 44100, E_INVALIDARG}, {WAVE_FORMAT_PCM, 1, 16, 0, E_INVALIDARG},
    };
    for (const Case& c : cases) {
        WAVEFORMATEX f = {c.tag, c.channels, c.rate, 0, 0, c.bits, 0};
        EXPECT_EQ(c.hr, config->SetFormat(&f)) << c.tag << " " << c.channels << " " << c.bits << " " << c.rate;
    }
    EXPECT_EQ(E_POINTER, config->SetFormat(NULL));
    CComPtr<IEnumPins> pins;
    CComPtr<IPin> pin;
    ASSERT_EQ(S_OK, source->EnumPins(&pins));
    ASSERT_EQ(S_OK, pins->Next(1, &pin, NULL));
    CComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(S_OK, pin->EnumMediaTypes(&types));
    AM_MEDIA_TYPE* mt = NULL;
    ASSERT_EQ(S_OK, types->Next(1, &mt, NULL));
    const WAVEFORMATEX* offered = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
    EXPECT_EQ(22050u, offered->nSamplesPerSec) << "the last accepted form";
    EXPECT_EQ(1, offered->nChannels);
    EXPECT_EQ(44100u, offered->nAvgBytesPerSec);
    EXPECT_EQ(2, offered->nBlockAlign);
    CoTaskMemFree(mt->pbFormat);
    CoTaskMemFree(mt);
    LONGLONG bytes = -1;
    EXPECT_EQ(S_OK, config->GetQueuedBytes(&bytes));
    EXPECT_EQ(0, bytes) << "no device open";
}

}  // namespace
