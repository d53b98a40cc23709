// The facade's further clip operations: splitting a clip (with its sound and
// the transition records that name tracks), clip and composition queries,
// the add-media family over generated AVI files, transitions by record and
// the object registry. Results are read back from the timeline tree.
#include "DexTestMedia.h"
#include "MediaTestUtil.h"
#include "TestSupport.h"
#include "TimelineTestSupport.h"

#include "XRVDirectShow/TimelineObjectRegistry.h"
#include "XRVDirectShow/XRVDShow.h"
#include "resources/ids_playback.h"

#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

using namespace dextest;

namespace {

LONGLONG S(double seconds) { return (LONGLONG)(seconds * 10000000.0 + (seconds < 0 ? -0.5 : 0.5)); }

struct Clip {
    double start, stop;
    std::wstring name;
};

std::string Text(const std::vector<Clip>& clips)
{
    std::ostringstream out;
    out << std::fixed << std::setprecision(2);
    for (const Clip& c : clips)
        out << CStringA(c.name.c_str()).GetString() << "[" << c.start << "," << c.stop << ") ";
    return out.str();
}

class FacadeEditMoreTest : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        mediatest::ResetMessageBoxes();
    }

    // Video tracks in this order, one named source each (media from 0), at 10
    // frames a second; with `audio`, an audio track of the same span under each.
    void Build(XRVDShow& facade, const std::vector<Clip>& clips, bool audio = false)
    {
        XRVDSTimeline* t = facade.GetTimeline();
        ASSERT_EQ(S_OK, t->SetVideoGroupFormat(320, 240, 10.0));
        CComPtr<IAMTimelineComp> comp;
        ASSERT_EQ(S_OK, t->GetVideoComp(&comp, t->GetVideoCompNum()));
        for (const Clip& c : clips) {
            CComPtr<IAMTimelineTrack> track;
            ASSERT_EQ(S_OK, t->AddTrackToComp(comp, &track));
            BSTR name = SysAllocString(c.name.c_str());
            ASSERT_EQ(S_OK, t->AddSourceToTrack(track, name, S(c.start), S(c.stop), 0, S(c.stop - c.start), TRUE));
            SysFreeString(name);
            if (audio) {
                const std::string wav = std::string(c.name.begin(), c.name.end()) + ".wav";
                ASSERT_EQ(S_OK, t->AddAudioFileToTimeline(wav.c_str(), S(c.start), S(c.stop), 0,
                                                          S(c.stop - c.start), 0, TRUE, FALSE, FALSE, FALSE));
            }
        }
    }

    // The clips of a kind in start order with the name of their first
    // source, read through the facade's own queries.
    std::vector<Clip> Clips(XRVDShow& facade, int kind)
    {
        std::vector<Clip> out;
        for (int n = 0; n < facade.GetClipCount(kind); ++n) {
            LONGLONG start = 0, stop = 0;
            EXPECT_EQ(S_OK, facade.GetClipStartStop(kind, n, &start, &stop));
            CString name;
            EXPECT_EQ(S_OK, facade.GetClipMediaName(kind, n, &name));
            out.push_back({start / 1e7, stop / 1e7, std::wstring(CStringW(name).GetString())});
        }
        return out;
    }

    // The timeline and media spans of the sources of clip n.
    std::vector<Span> Sources(XRVDShow& facade, int kind, int n)
    {
        CComPtr<IAMTimelineObj> track;
        if (FAILED(facade.GetClipObj(kind, n, &track)))
            return {};
        return TrackSources(track);
    }

    static TransitionInfo Record(double start, double stop, UINT from, UINT to)
    {
        TransitionInfo info;
        CLSIDFromString(const_cast<LPOLESTR>(L"{16B280C5-EE70-11D1-9066-00C04FD9189D}"), &info.guid);
        info.rtStart = S(start);
        info.rtStop = S(stop);
        info.uIndexStart = from;
        info.uIndexStop = to;
        info.bPlaceByTime = FALSE;
        return info;
    }

    testsupport::ScratchDir dir{"editmore"};
};

const std::vector<Clip> kThree = {{0, 2, L"A"}, {2, 5, L"B"}, {5, 6, L"C"}};

// A player window standing still at a position (only the position is asked).
class CStillPlayer : public IPlayerWindow {
public:
    explicit CStillPlayer(LONGLONG position) : m_position(position) {}
    LONGLONG GetPosition() override { return m_position; }
    LONGLONG GetDuration() override { return 0; }
    void Close() override {}
    void Play() override {}
    void PlayTo(LONGLONG) override {}
    BOOL IsRunning() override { return FALSE; }
    void Pause() override {}
    BOOL IsPaused() override { return TRUE; }
    void Stop() override {}
    BOOL IsStopped() override { return FALSE; }
    BOOL SetFullScreen(BOOL) override { return FALSE; }
    BOOL IsFullScreen() override { return FALSE; }
    BOOL HasPlayerMedia() override { return TRUE; }
    void StepForward() override {}
    void StepBack() override {}
    LONGLONG NextFrameTime(LONGLONG t) override { return t; }
    LONGLONG PrevFrameTime(LONGLONG t) override { return t; }
    void Seek(LONGLONG, BOOL) override {}
    BOOL IsMediaReady() override { return TRUE; }
    void SeekPrevMark() override {}
    void SeekNextMark() override {}
    double GetFrameRate() override { return 10.0; }
    LONGLONG GetFrameDuration() override { return 1000000; }
    void Refresh() override {}
    void SetPanCursor(BOOL) override {}
    BOOL OnKey(const MSG*) override { return FALSE; }

private:
    LONGLONG m_position;
};

// Splitting: a cut strictly more than a frame inside the clip makes two
// clips that play on where the first stopped; at a clip's edge (within a
// frame), under a transition or on no clip nothing changes, and only the
// edge case tells the user.
TEST_F(FacadeEditMoreTest, SplitCutsAClipInTwoOrChangesNothing)
{
    const std::vector<Clip> splitB = {{0, 2, L"A"}, {2, 3, L"B"}, {3, 5, L"B"}, {5, 6, L"C"}};
    struct Case {
        const char* what;
        int clip;
        double time;
        bool transition;   // a transition record over [2.8, 3.2]
        HRESULT hr;
        bool told;
        std::vector<Clip> after;
    } cases[] = {
        {"inside", 1, 3, false, S_OK, false, splitB},
        {"two frames after the start", 1, 2.2, false, S_OK, false, {{0, 2, L"A"}, {2, 2.2, L"B"}, {2.2, 5, L"B"}, {5, 6, L"C"}}},
        {"one frame after the start", 1, 2.1, false, E_FAIL, true, kThree},
        {"at the start", 1, 2, false, E_FAIL, true, kThree},
        {"one frame before the stop", 1, 4.9, false, E_FAIL, true, kThree},
        {"past the clip", 0, 3, false, E_FAIL, true, kThree},
        {"under a transition", 1, 3, true, E_FAIL, false, kThree},
        {"no such clip", 3, 5.5, false, E_FAIL, false, kThree},
        {"negative clip", -1, 1, false, E_FAIL, false, kThree},
    };
    for (const Case& c : cases) {
        mediatest::ResetMessageBoxes();
        XRVDShow facade(TRUE);
        Build(facade, kThree);
        if (c.transition)
            facade.GetTimeline()->AddTransition(Record(2.8, 3.2, 1, 2), -1);
        EXPECT_EQ(c.hr, facade.SplitClip(0, c.clip, S(c.time))) << c.what;
        EXPECT_EQ(Text(c.after), Text(Clips(facade, 0))) << c.what;
        const std::vector<std::string> boxes = mediatest::MessageBoxes();
        ASSERT_EQ(c.told ? 1u : 0u, boxes.size()) << c.what;
        if (c.told) {
            CString expected;
            expected.LoadString(IDS_SPLIT_AT_CLIP_EDGE);
            EXPECT_EQ(std::string(expected.GetString()), boxes[0]) << c.what;
        }
    }

    // The second half plays the media from where the first half ends.
    XRVDShow facade(TRUE);
    Build(facade, kThree);
    ASSERT_EQ(S_OK, facade.SplitClip(0, 1, S(3)));
    const std::vector<Span> first = Sources(facade, 0, 1), second = Sources(facade, 0, 2);
    ASSERT_EQ(1u, first.size());
    ASSERT_EQ(1u, second.size());
    EXPECT_EQ(0, first[0].mstart);
    EXPECT_EQ(S(1), first[0].mstop);
    EXPECT_EQ(S(1), second[0].mstart);
    EXPECT_EQ(S(3), second[0].mstop);
}

// A video split takes the audio clip of exactly the same span along and
// leaves the others; an audio split leaves the video.
TEST_F(FacadeEditMoreTest, SplitTakesTheSoundOfTheClipAlong)
{
    struct Case {
        const char* what;
        int kind;
        std::vector<Clip> video, audio;
    } cases[] = {
        {"video", 0, {{0, 2, L"A"}, {2, 3, L"B"}, {3, 5, L"B"}, {5, 6, L"C"}},
         {{0, 2, L"A.wav"}, {2, 3, L"B.wav"}, {3, 5, L"B.wav"}, {5, 6, L"C.wav"}}},
        {"audio", 1, kThree, {{0, 2, L"A.wav"}, {2, 3, L"B.wav"}, {3, 5, L"B.wav"}, {5, 6, L"C.wav"}}},
    };
    for (const Case& c : cases) {
        XRVDShow facade(TRUE);
        Build(facade, kThree, true);
        EXPECT_EQ(S_OK, facade.SplitClip(c.kind, 1, S(3))) << c.what;
        EXPECT_EQ(Text(c.video), Text(Clips(facade, 0))) << c.what;
        EXPECT_EQ(Text(c.audio), Text(Clips(facade, 1))) << c.what;
    }

    // An audio clip whose span differs from the video clip's stays whole.
    XRVDShow facade(TRUE);
    Build(facade, {{0, 2, L"A"}, {2, 5, L"B"}});
    XRVDSTimeline* t = facade.GetTimeline();
    ASSERT_EQ(S_OK, t->AddAudioFileToTimeline("N.wav", S(2), S(4), 0, S(2), 0, TRUE, FALSE, FALSE, FALSE));
    ASSERT_EQ(S_OK, facade.SplitClip(0, 1, S(3)));
    EXPECT_EQ(Text({{2, 4, L"N.wav"}}), Text(Clips(facade, 1)));
}

// The new half lies on a track right after the clip's: a transition out of
// the split clip now leaves from the second half, later tracks move up, a
// transition into the clip and records placed by time stay.
TEST_F(FacadeEditMoreTest, SplitRenumbersTheTransitionRecords)
{
    XRVDShow facade(TRUE);
    Build(facade, kThree);
    XRVDSTimeline* t = facade.GetTimeline();
    t->AddTransition(Record(1.9, 2.0, 0, 1), -1);   // into B
    t->AddTransition(Record(4.9, 5.0, 1, 2), -1);   // out of B into C
    TransitionInfo byTime = Record(0.5, 0.6, 2, 2);
    byTime.bPlaceByTime = TRUE;
    t->AddTransition(byTime, -1);
    ASSERT_EQ(S_OK, facade.SplitClip(0, 1, S(3)));
    struct Want {
        UINT from, to;
    } want[] = {{0, 1}, {2, 3}, {2, 2}};
    ASSERT_EQ(3, t->GetTransitionCount());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(want[i].from, t->GetTransition(i)->uIndexStart) << i;
        EXPECT_EQ(want[i].to, t->GetTransition(i)->uIndexStop) << i;
    }
    // The records still name the clips they belong to.
    int track = -1;
    ASSERT_EQ(S_OK, facade.GetTrackOfClip(0, 3, &track));
    EXPECT_EQ(3, track) << "C";
    ASSERT_EQ(S_OK, facade.GetTrackOfClip(0, 2, &track));
    EXPECT_EQ(2, track) << "second half of B";
}

// Clip and composition queries over one timeline, and what each answers
// without a timeline or for a clip that is not there.
TEST_F(FacadeEditMoreTest, ClipAndCompositionQueries)
{
    XRVDShow facade(TRUE);
    // A ends off the frame grid (1.05 s at 10 frames a second); a gap follows.
    Build(facade, {{0, 1.05, L"A"}, {1.5, 3, L"B"}});
    long tracks = -1;
    EXPECT_EQ(S_OK, facade.GetTrackCount(&tracks));
    EXPECT_EQ(2, tracks);

    struct At {
        double time;
        int plain, exact;
    } at[] = {{0.5, 0, 0}, {1.02, -1, 0}, {1.2, -1, -1}, {1.5, 1, 1}, {2.99, 1, 1}};
    for (const At& a : at) {
        EXPECT_EQ(a.plain, facade.GetClipIndexAtTime(0, S(a.time))) << a.time;
        EXPECT_EQ(a.exact, facade.GetClipIndexAtTimeEx(0, S(a.time))) << a.time;
    }

    LONGLONG ms = -1, me = -1, length = -1;
    EXPECT_EQ(S_OK, facade.GetClipMediaStartStop(0, 1, &ms, &me));
    EXPECT_EQ(0, ms);
    EXPECT_EQ(S(1.5), me);
    EXPECT_EQ(S_OK, facade.GetClipMediaLength(0, 1, &length));
    EXPECT_EQ(S(1.5), length);

    // The clip's track object, its track interface and the composition agree.
    CComPtr<IAMTimelineTrack> track;
    CComPtr<IAMTimelineObj> trackObj, compObj;
    ASSERT_EQ(S_OK, facade.GetClip(0, 1, &track));
    ASSERT_EQ(S_OK, facade.GetClipObj(0, 1, &trackObj));
    EXPECT_TRUE(CComQIPtr<IAMTimelineObj>(track) == trackObj);
    LONGLONG start = -1, stop = -1;
    EXPECT_EQ(S_OK, facade.GetClipTimes(track, &start, &stop));
    EXPECT_EQ(S(1.5), start);
    EXPECT_EQ(S(3), stop);
    ASSERT_EQ(S_OK, facade.GetTrackObj(0, &compObj));
    EXPECT_EQ(S_OK, facade.GetCompStartStop(compObj, &start, &stop));
    EXPECT_EQ(0, start);
    EXPECT_EQ(S(3), stop);
    EXPECT_EQ(S(3), facade.GetCompStop(0));
    EXPECT_EQ(0, facade.GetCompStop(1)) << "no audio composition";
    EXPECT_FALSE(facade.IsPastVideoEnd(S(3)));
    EXPECT_TRUE(facade.IsPastVideoEnd(S(3) + 1));

    // A clip that is not there, a kind that does not exist, no timeline.
    XRVDShow bare(FALSE);
    CString name = "x";
    struct Fails {
        const char* what;
        XRVDShow* f;
        int kind, clip;
        int atHalfSecond;   // the clip index at 0.5 s of that kind
    } fails[] = {{"clip past the end", &facade, 0, 2, 0}, {"negative clip", &facade, 0, -1, 0},
                 {"audio without audio", &facade, 1, 0, -1}, {"unknown kind", &facade, 3, 0, -1},
                 {"no timeline", &bare, 0, 0, -1}};
    for (const Fails& c : fails) {
        CComPtr<IAMTimelineTrack> t;
        CComPtr<IAMTimelineObj> o;
        EXPECT_TRUE(FAILED(c.f->GetClip(c.kind, c.clip, &t))) << c.what;
        EXPECT_TRUE(t == NULL) << c.what;
        EXPECT_TRUE(FAILED(c.f->GetClipObj(c.kind, c.clip, &o))) << c.what;
        EXPECT_TRUE(FAILED(c.f->GetClipMediaName(c.kind, c.clip, &name))) << c.what;
        EXPECT_TRUE(name.IsEmpty()) << c.what;
        EXPECT_TRUE(FAILED(c.f->GetClipMediaLength(c.kind, c.clip, &length))) << c.what;
        EXPECT_EQ(c.atHalfSecond, c.f->GetClipIndexAtTimeEx(c.kind, S(0.5))) << c.what;
    }
    EXPECT_EQ(E_FAIL, bare.GetTrackCount(&tracks));
    EXPECT_EQ(0, tracks);
    EXPECT_FALSE(bare.IsPastVideoEnd(S(100)));
    EXPECT_EQ(E_FAIL, bare.EnableTransitions(TRUE));
    EXPECT_EQ(E_FAIL, bare.LoadTransitions("<a/>"));
    EXPECT_EQ(E_FAIL, bare.NotImplemented7());
    EXPECT_EQ(E_FAIL, bare.NotImplemented8());
    VIDEOINFOHEADER vih;
    EXPECT_EQ(E_FAIL, bare.GetVideoFormat(&vih));
    LONG value = 7;
    EXPECT_EQ(E_FAIL, bare.GetOverlayFilterValue(&value));
    EXPECT_EQ(0, value);
}

// The add-media family over a one-second AVI (5 frames) and a WAVE file:
// where each puts the file, and that only a video file on the video kind is
// taken.
TEST_F(FacadeEditMoreTest, AddMediaPlacesTheFile)
{
    AviPlan avi;
    avi.frameColours.assign(5, kRed);
    const std::string movie = dir.File("one.avi");
    ASSERT_EQ("", WriteAvi(movie, avi));
    const std::string tone = dir.File("tone.wav");
    ASSERT_TRUE(WriteToneWav(tone, 22050, 440, 22050));
    const std::wstring m(movie.begin(), movie.end());

    enum Op { kAt, kForLength, kAfterClip, kAfterClipEx, kInsertAt, kBlankAfter };
    const std::vector<Clip> two = {{0, 2, L"A"}, {2, 3, L"B"}};
    struct Case {
        const char* what;
        std::vector<Clip> before;
        Op op;
        int kind, clip;
        double a, b;
        bool wave;   // the WAVE file instead of the movie
        HRESULT hr;
        std::vector<Clip> after;
    } cases[] = {
        {"at a time", {}, kAt, 0, 0, 4, 0, false, S_OK, {{4, 5, m}}},
        {"for a length", two, kForLength, 0, 0, 3, 0.4, false, S_OK, {{0, 2, L"A"}, {2, 3, L"B"}, {3, 3.4, m}}},
        {"zero length", two, kForLength, 0, 0, 3, 0, false, E_FAIL, two},
        {"after clip 0", two, kAfterClip, 0, 0, 0, 0, false, S_OK, {{0, 2, L"A"}, {2, 3, L"B"}, {2, 3, m}}},
        {"after a clip past the last", two, kAfterClip, 0, 5, 0, 0, false, S_OK, {{0, 2, L"A"}, {2, 3, L"B"}, {3, 4, m}}},
        {"after clip 0 of none", {}, kAfterClip, 0, 0, 0, 0, false, S_OK, {{0, 1, m}}},
        {"after clip 1 of none", {}, kAfterClip, 0, 1, 0, 0, false, E_FAIL, {}},
        {"inserted after clip 0", two, kAfterClipEx, 0, 0, 0, 0, false, S_OK, {{0, 2, L"A"}, {2, 3, m}, {3, 4, L"B"}}},
        {"inserted at clip 0", two, kInsertAt, 0, 0, 0, 0, false, S_OK, {{0, 2, L"A"}, {2, 3, m}, {3, 4, L"B"}}},
        {"a sound file", two, kAt, 0, 0, 4, 0, true, E_FAIL, two},
        {"the audio kind", two, kAt, 1, 0, 4, 0, false, E_FAIL, two},
        // Black video lies over what follows on a track of its own (a colour
        // source, no file name).
        {"blank after clip 0", two, kBlankAfter, 0, 0, 0.5, 0, false, S_OK, {{0, 2, L"A"}, {2, 3, L"B"}, {2, 2.5, L""}}},
        {"blank after a clip past the last", two, kBlankAfter, 0, 7, 0.5, 0, false, S_OK, {{0, 2, L"A"}, {2, 3, L"B"}, {3, 3.5, L""}}},
        {"blank of no length", two, kBlankAfter, 0, 0, 0, 0, false, E_FAIL, two},
    };
    for (const Case& c : cases) {
        XRVDShow facade(TRUE);
        Build(facade, c.before);
        const CString file = (c.wave ? tone : movie).c_str();
        HRESULT hr = E_UNEXPECTED;
        switch (c.op) {
            case kAt: hr = facade.AddMediaFileAt(c.kind, file, S(c.a)); break;
            case kForLength: hr = facade.AddMediaFileForLength(c.kind, file, S(c.a), S(c.b)); break;
            case kAfterClip: hr = facade.AppendMediaFileAfterClip(c.kind, c.clip, file, -1, -1, FALSE); break;
            case kAfterClipEx: hr = facade.AppendMediaFileAfterClipEx(c.kind, c.clip, file, -1, -1); break;
            case kInsertAt: hr = facade.InsertMediaFileAt(c.kind, c.clip, file); break;
            case kBlankAfter: hr = facade.InsertBlankAfterClip(c.kind, c.clip, S(c.a)); break;
        }
        EXPECT_EQ(c.hr, hr) << c.what;
        EXPECT_EQ(Text(c.after), Text(Clips(facade, 0))) << c.what;
    }
}

// The audio mix composition: a new composition of the audio group holding
// the sound file over its length; the main audio stays as it was.
TEST_F(FacadeEditMoreTest, AudioMixCompositionHoldsTheSound)
{
    const std::string tone = dir.File("mix.wav");
    ASSERT_TRUE(WriteToneWav(tone, 22050, 440, 22050 * 2));
    const std::wstring w(tone.begin(), tone.end());
    struct Case {
        const char* what;
        BOOL audioGroup;
        std::string file;
        HRESULT hr;
        std::vector<Clip> mix;
    } cases[] = {
        {"a sound file", TRUE, tone, S_OK, {{0, 2, w}}},
        {"a missing file", TRUE, dir.File("none.wav"), E_FAIL, {}},
        {"no audio group", FALSE, tone, E_FAIL, {}},
    };
    for (const Case& c : cases) {
        XRVDShow facade(FALSE);
        facade.SetTimeline(new XRVDSTimeline(TRUE, c.audioGroup), TRUE);
        Build(facade, kThree, c.audioGroup != FALSE);
        const std::string mainBefore = Text(Clips(facade, 1));
        EXPECT_EQ(c.hr, facade.AddAudioMixComp(c.file.c_str())) << c.what;
        EXPECT_EQ(SUCCEEDED(c.hr) ? 0 : 1, facade.IsCompNumberUnset(2)) << c.what;
        EXPECT_EQ(Text(c.mix), Text(Clips(facade, 2))) << c.what;
        EXPECT_EQ(mainBefore, Text(Clips(facade, 1))) << c.what;
    }
}

// Transition records added through the facade, loaded from text, switched
// on and off in the timeline.
TEST_F(FacadeEditMoreTest, TransitionsByRecord)
{
    XRVDShow facade(TRUE);
    Build(facade, kThree);
    XRVDSTimeline* t = facade.GetTimeline();
    EXPECT_EQ(S_OK, facade.InsertTransition(Record(1, 2, 0, 1), FALSE));
    EXPECT_EQ(S_OK, facade.AddTransitionAndUpdate(0, Record(4, 5, 1, 2)));
    ASSERT_EQ(2, facade.GetTransitionCount());
    EXPECT_EQ(S(4), t->GetTransition(1)->rtStart);
    struct At {
        double time;
        int index;
    } at[] = {{0.5, -1}, {1, 0}, {2, 0}, {3, -1}, {4.5, 1}};
    for (const At& a : at)
        EXPECT_EQ(a.index, facade.GetTransitionAtTime(S(a.time))) << a.time;
    EXPECT_EQ(-1, facade.GetTransitionAtTime(-1)) << "no preview to ask";
    // A negative time stands for the preview's position.
    const At positions[] = {{1.5, 0}, {3.0, -1}, {4.5, 1}};
    for (const At& p : positions) {
        CStillPlayer player(S(p.time));
        facade.SetPreviewWindow(&player);
        EXPECT_EQ(p.index, facade.GetTransitionAtTime(-1)) << p.time;
        facade.SetPreviewWindow(NULL);
    }

    for (BOOL on : {FALSE, TRUE}) {
        EXPECT_EQ(S_OK, facade.EnableTransitions(on));
        BOOL enabled = !on;
        t->m_pTimeline->TransitionsEnabled(&enabled);
        EXPECT_EQ(on, enabled);
    }

    const char* xml =
        "<Transition_Array_Object>\n<TransitionArrayIndex>0</TransitionArrayIndex>\n"
        "<GUID>{16B280C5-EE70-11D1-9066-00C04FD9189D}</GUID>\n<Start>30000000</Start>\n<Stop>40000000</Stop>\n"
        "</Transition_Array_Object>\n";
    EXPECT_EQ(S_OK, facade.LoadTransitions(xml));
    ASSERT_EQ(1, facade.GetTransitionCount());
    EXPECT_EQ(0, facade.GetTransitionAtTime(S(3.5)));
    EXPECT_EQ(-1, facade.GetTransitionAtTime(S(4.5)));
}

// The video group's format and the grab to a file without a graph (reported).
TEST_F(FacadeEditMoreTest, VideoFormatAndFailedGrab)
{
    XRVDShow facade(TRUE);
    Build(facade, kThree);
    VIDEOINFOHEADER vih;
    ASSERT_EQ(S_OK, facade.GetVideoFormat(&vih));
    EXPECT_EQ(320, vih.bmiHeader.biWidth);
    EXPECT_EQ(240, abs(vih.bmiHeader.biHeight));
    LONG value = 7;
    EXPECT_EQ(S_OK, facade.GetOverlayFilterValue(&value)) << "no overlay filter";
    EXPECT_EQ(0, value);
    EXPECT_TRUE(FAILED(facade.GrabSampleBitmapToFile(S(1), CString(dir.File("f.png").c_str()), FALSE)));
    EXPECT_TRUE(Reported("m_pTimeline->GrabSampleBitmapToFile( rtTime, strFileName, bZoom ) failed in GrabSampleBitmapToFile()"));
}

// The registry through the facade: objects found by the key in their first
// field, ids counted; without a timeline nothing happens and 0 comes back.
TEST_F(FacadeEditMoreTest, ObjectRegistry)
{
    XRVDShow facade(TRUE), bare(FALSE);
    struct Object {
        DWORD key;
        int payload;
    } object = {0, 5};
    object.key = facade.NextObjectId();
    EXPECT_EQ(object.key, facade.GetLastObjectId());
    EXPECT_EQ(object.key + 1, facade.NextObjectId());
    EXPECT_EQ(object.key + 1, facade.GetLastObjectId());

    void* found = &object;
    EXPECT_EQ(0u, bare.RegisterObject(&object));
    EXPECT_EQ(0u, bare.LookupRegisteredObject(object.key, &found));
    EXPECT_TRUE(found == NULL);
    EXPECT_EQ(0u, bare.NextObjectId());
    EXPECT_EQ(0u, bare.GetLastObjectId());
    EXPECT_EQ(object.key + 1, facade.GetLastObjectId()) << "the bare facade counted nothing";
    EXPECT_TRUE(bare.NewZoomRectInfo() == NULL);

    EXPECT_EQ(object.key, facade.RegisterObject(&object));
    EXPECT_EQ(1u, facade.LookupRegisteredObject(object.key, &found));
    EXPECT_EQ(&object, found);
    EXPECT_EQ(0u, bare.UnregisterObject(object.key)) << "no timeline: kept";
    EXPECT_EQ(1u, facade.UnregisterObject(object.key));
    EXPECT_EQ(0u, facade.UnregisterObject(object.key));
    EXPECT_EQ(0u, facade.LookupRegisteredObject(object.key, &found));
    EXPECT_TRUE(found == NULL);

    ZoomRectInfo* zoom = facade.NewZoomRectInfo();
    EXPECT_TRUE(zoom != NULL);
    delete zoom;
}

// A file's properties from a real probe: an AVI with a tone, a WAVE file,
// and files that cannot be read as media.
TEST_F(FacadeEditMoreTest, FilePropertiesDescribeTheFile)
{
    AviPlan avi;
    avi.frameColours.assign(5, kBlue);   // 1 s at 5 frames a second
    avi.toneRate = 22050;
    avi.toneSamples = 33075;             // 1.5 s: the longest stream
    const std::string movie = dir.File("movie.avi");
    ASSERT_EQ("", WriteAvi(movie, avi));
    const std::string tone = dir.File("tone.wav");
    ASSERT_TRUE(WriteToneWav(tone, 11025, 440, 11025 * 2));
    const std::string junk = dir.File("junk.avi");
    ASSERT_TRUE(testsupport::WriteFileBytes(junk, "not a movie", 11));

    auto line = [](UINT id, auto... args) {
        CString s;
        s.Format(id, args...);
        return std::string(s.GetString()) + "\r\n";
    };
    auto fileSize = [](const std::string& path) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        EXPECT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data));
        return std::to_string(((ULONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow);
    };
    CString noAudio;
    noAudio.LoadString(IDS_FILEPROP_NO_AUDIO);
    struct Case {
        const char* what;
        std::string file;
        HRESULT hr;
        std::string head;   // the text up to the modification time
        bool video, audio;
        LONGLONG length;
    } cases[] = {
        {"movie with sound", movie, S_OK,
         line(IDS_FILEPROP_AUDIO, 1u, 22050ul, 16u) + line(IDS_FILEPROP_VIDEO, "Unknown") +
             line(IDS_FILEPROP_FRAME, 32, 24, 5.0) + line(IDS_FILEPROP_DURATION, "0:00:01.50") +
             line(IDS_FILEPROP_FILE_SIZE, fileSize(movie).c_str()),
         true, true, S(1.5)},
        {"sound only", tone, S_OK,
         line(IDS_FILEPROP_AUDIO, 1u, 11025ul, 16u) + line(IDS_FILEPROP_DURATION, "0:00:02.00") +
             line(IDS_FILEPROP_FILE_SIZE, fileSize(tone).c_str()),
         false, true, S(2)},
        {"not media", junk, E_FAIL, "", false, false, 0},
        {"missing", dir.File("none.avi"), E_FAIL, "", false, false, 0},
    };
    XRVDShow facade(TRUE);
    for (const Case& c : cases) {
        CString text = "stale";
        MediaFileProperties values;
        values.width = 99;
        const HRESULT hr = facade.GetMediaFileProperties(c.file.c_str(), &text, &values);
        EXPECT_EQ(c.hr, hr) << c.what;
        const std::string got(text.GetString());
        EXPECT_EQ(c.head, got.substr(0, c.head.size())) << c.what;
        EXPECT_EQ(c.video, values.hasVideo != FALSE) << c.what;
        EXPECT_EQ(c.audio, values.hasAudio != FALSE) << c.what;
        EXPECT_EQ(c.length, values.length) << c.what;
        if (FAILED(c.hr)) {
            EXPECT_TRUE(got.empty()) << c.what;
            EXPECT_EQ(0, values.width) << c.what;
            continue;
        }
        // The last line: the modification time, local date and time.
        CString modified;
        modified.LoadString(IDS_FILEPROP_MODIFIED);
        const std::string label = std::string(modified.GetString()).substr(0, modified.Find('\t') + 1);
        const std::string rest = got.substr(c.head.size());
        EXPECT_EQ(0u, rest.find(label)) << c.what << ": " << rest;
        EXPECT_GT(rest.size(), label.size() + 8) << c.what;
    }
    // The values alone, without the text.
    MediaFileProperties values;
    EXPECT_EQ(S_OK, XRVDShowMedia::GetFileProperties(movie.c_str(), NULL, &values));
    EXPECT_EQ(32, values.width);
    EXPECT_EQ(24, values.height);
    EXPECT_DOUBLE_EQ(5.0, values.frameRate);
    EXPECT_EQ(22050u, values.samplesPerSec);
    EXPECT_STREQ("Unknown", values.videoKind);
    EXPECT_EQ(E_FAIL, XRVDShowMedia::GetFileProperties(movie.c_str(), NULL, NULL));
    EXPECT_EQ(E_FAIL, XRVDShowMedia::GetFileProperties(NULL, NULL, &values));
}

}  // namespace
