// The facade's clip edits over a timeline of named sources (no media is
// read): cutting spans and clips out, trimming, moving clips, black video,
// muting, and removing and rebuilding transitions. Every result is read back
// from the timeline tree itself.
#include "UiTestUtil.h"
#include "TimelineTestSupport.h"

#include "XRVDirectShow/XRVDShow.h"
#include "platform/dex/DexFactory.h"

#include <string>
#include <vector>

namespace {

LONGLONG S(double seconds) { return (LONGLONG)(seconds * 10000000.0 + (seconds < 0 ? -0.5 : 0.5)); }

struct Clip {
    double start, stop;
    std::wstring name;
};

class FacadeEditOpsTest : public ComTest {
protected:
    // Video tracks in this order, one source each, media from 0, at 10 frames
    // a second; with `audio`, an audio track under each with the same span.
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

    // The clips of a kind in start order: span and first source's name.
    std::vector<Clip> Clips(XRVDShow& facade, int kind)
    {
        std::vector<Clip> out;
        CComPtr<IAMTimelineComp> comp;
        if (FAILED(facade.GetTrack(kind, &comp)))
            return out;
        for (int n = 0; n < facade.GetClipCount(kind); ++n) {
            int track = -1;
            LONGLONG start = 0, stop = 0;
            EXPECT_EQ(S_OK, facade.GetTrackOfClip(kind, n, &track));
            EXPECT_EQ(S_OK, facade.GetClipStartStop(kind, n, &start, &stop));
            CComPtr<IAMTimelineObj> trackObj, src;
            comp->GetVTrack(&trackObj, track);
            REFERENCE_TIME at = 0;
            CComQIPtr<IAMTimelineTrack>(trackObj)->GetNextSrc(&src, &at);
            BSTR name = NULL;
            CComQIPtr<IAMTimelineSrc>(src)->GetMediaName(&name);
            out.push_back({start / 1e7, stop / 1e7, name ? name : L""});
            SysFreeString(name);
        }
        return out;
    }

    // The sources of the track of clip n.
    std::vector<Span> ClipSources(XRVDShow& facade, int kind, int n)
    {
        CComPtr<IAMTimelineComp> comp;
        int track = -1;
        if (FAILED(facade.GetTrack(kind, &comp)) || FAILED(facade.GetTrackOfClip(kind, n, &track)))
            return {};
        CComPtr<IAMTimelineObj> trackObj;
        comp->GetVTrack(&trackObj, track);
        return TrackSources(trackObj);
    }

    static std::string Text(const std::vector<Clip>& clips)
    {
        std::string s;
        for (const Clip& c : clips) {
            char buf[128];
            sprintf(buf, "%S[%.2f,%.2f) ", c.name.c_str(), c.start, c.stop);
            s += buf;
        }
        return s;
    }
};

const std::vector<Clip> kThree = {{0, 2, L"A"}, {2, 5, L"B"}, {5, 6, L"C"}};

// Cutting spans: sources inside go, sources across an end are cut there,
// the rest closes up; a failed trim changes nothing.
TEST_F(FacadeEditOpsTest, SpansLeaveTheVideoAndTheGapCloses)
{
    enum Op { kDelete, kTrimStart, kTrimEnd };
    struct Case {
        const char* what;
        Op op;
        int clip;       // trims
        double a, b;    // delete: start, stop; trims: length
        HRESULT hr;
        std::vector<Clip> after;
    } cases[] = {
        {"across two clips", kDelete, 0, 1, 3, S_OK, {{0, 1, L"A"}, {1, 3, L"B"}, {3, 4, L"C"}}},
        {"inside one clip", kDelete, 0, 2.5, 3.5, S_OK, {{0, 2, L"A"}, {2, 4, L"B"}, {4, 5, L"C"}}},
        {"a whole clip", kDelete, 0, 0, 2, S_OK, {{0, 3, L"B"}, {3, 4, L"C"}}},
        {"after the end", kDelete, 0, 7, 8, S_OK, kThree},
        {"empty span", kDelete, 0, 3, 3, E_INVALIDARG, kThree},
        {"trim the start", kTrimStart, 1, 1, 0, S_OK, {{0, 2, L"A"}, {2, 4, L"B"}, {4, 5, L"C"}}},
        {"trim the whole clip's start", kTrimStart, 2, 1, 0, S_OK, {{0, 2, L"A"}, {2, 5, L"B"}}},
        {"trim past the stop", kTrimStart, 1, 3.5, 0, E_FAIL, kThree},
        {"trim the end", kTrimEnd, 1, 1, 0, S_OK, {{0, 2, L"A"}, {2, 4, L"B"}, {4, 5, L"C"}}},
        {"trim past the start", kTrimEnd, 0, 2.5, 0, E_FAIL, kThree},
        {"trim no clip", kTrimEnd, 3, 0.5, 0, E_FAIL, kThree},
        {"trim nothing", kTrimStart, 0, 0, 0, E_FAIL, kThree},
    };
    for (const Case& c : cases) {
        XRVDShow facade(TRUE);
        Build(facade, kThree);
        HRESULT hr = E_UNEXPECTED;
        switch (c.op) {
            case kDelete: hr = facade.DeleteSection(0, S(c.a), S(c.b)); break;
            case kTrimStart: hr = facade.TrimClipStart(0, c.clip, S(c.a)); break;
            case kTrimEnd: hr = facade.TrimClipEnd(0, c.clip, S(c.a)); break;
        }
        EXPECT_EQ(c.hr, hr) << c.what;
        EXPECT_EQ(Text(c.after), Text(Clips(facade, 0))) << c.what;
    }
}

// The media times follow the cuts: a cut start plays on from where the cut
// ended, a span taken out of one source leaves two that skip it.
TEST_F(FacadeEditOpsTest, CutsKeepTheMediaInStep)
{
    XRVDShow trimmed(TRUE);
    Build(trimmed, kThree);
    ASSERT_EQ(S_OK, trimmed.TrimClipStart(0, 1, S(1)));
    std::vector<Span> b = ClipSources(trimmed, 0, 1);
    ASSERT_EQ(1u, b.size());
    EXPECT_EQ(S(2), b[0].start);
    EXPECT_EQ(S(4), b[0].stop);
    EXPECT_EQ(S(1), b[0].mstart);
    EXPECT_EQ(S(3), b[0].mstop);

    XRVDShow holed(TRUE);
    Build(holed, kThree);
    ASSERT_EQ(S_OK, holed.DeleteSection(0, S(2.5), S(3.5)));
    b = ClipSources(holed, 0, 1);
    ASSERT_EQ(2u, b.size());
    EXPECT_EQ(S(2), b[0].start);
    EXPECT_EQ(S(2.5), b[0].stop);
    EXPECT_EQ(0, b[0].mstart);
    EXPECT_EQ(S(0.5), b[0].mstop);
    EXPECT_EQ(S(2.5), b[1].start);
    EXPECT_EQ(S(4), b[1].stop);
    EXPECT_EQ(S(1.5), b[1].mstart);
    EXPECT_EQ(S(3), b[1].mstop);
}

// A video cut takes the audio under it along; an audio cut leaves the video.
TEST_F(FacadeEditOpsTest, VideoCutsTakeTheAudioAlongAudioCutsDoNot)
{
    const std::vector<Clip> audioAfter = {{0, 1, L"A.wav"}, {1, 3, L"B.wav"}, {3, 4, L"C.wav"}};
    const std::vector<Clip> videoAfter = {{0, 1, L"A"}, {1, 3, L"B"}, {3, 4, L"C"}};
    const std::vector<Clip> audioBefore = {{0, 2, L"A.wav"}, {2, 5, L"B.wav"}, {5, 6, L"C.wav"}};
    struct Case {
        int kind;
        std::vector<Clip> video, audio;
    } cases[] = {{0, videoAfter, audioAfter}, {1, kThree, audioAfter}};
    for (const Case& c : cases) {
        XRVDShow facade(TRUE);
        Build(facade, kThree, true);
        ASSERT_EQ(Text(audioBefore), Text(Clips(facade, 1)));
        EXPECT_EQ(S_OK, facade.DeleteSection(c.kind, S(1), S(3))) << c.kind;
        EXPECT_EQ(Text(c.video), Text(Clips(facade, 0))) << c.kind;
        EXPECT_EQ(Text(c.audio), Text(Clips(facade, 1))) << c.kind;
    }
    XRVDShow silent(TRUE);
    Build(silent, kThree);
    EXPECT_EQ(E_FAIL, silent.DeleteSection(1, S(1), S(3))) << "no audio composition";
    EXPECT_EQ(Text(kThree), Text(Clips(silent, 0)));
}

// Moving a clip to the place of another: the clips in between make room or
// close up, nothing overlaps, the media stays with its clip.
TEST_F(FacadeEditOpsTest, ClipsMoveToThePlaceOfAnother)
{
    enum Op { kMove, kAtTime, kTimeToTime, kToTime };
    struct Case {
        const char* what;
        Op op;
        double a, b;   // clips or times, by op
        HRESULT hr;
        std::vector<Clip> after;
    } cases[] = {
        {"first to last", kMove, 0, 2, S_OK, {{0, 3, L"B"}, {3, 4, L"C"}, {4, 6, L"A"}}},
        {"last to first", kMove, 2, 0, S_OK, {{0, 1, L"C"}, {1, 3, L"A"}, {3, 6, L"B"}}},
        {"middle to first", kMove, 1, 0, S_OK, {{0, 3, L"B"}, {3, 5, L"A"}, {5, 6, L"C"}}},
        {"onto itself", kMove, 1, 1, S_OK, kThree},
        {"to no clip", kMove, 0, 3, E_FAIL, kThree},
        {"from no clip", kMove, -1, 0, E_FAIL, kThree},
        {"at a time with no clip", kAtTime, 10, 0, E_FAIL, kThree},
        {"at a time", kAtTime, 5.5, 0, S_OK, {{0, 1, L"C"}, {1, 3, L"A"}, {3, 6, L"B"}}},
        {"time to time", kTimeToTime, 0.5, 5.5, S_OK, {{0, 3, L"B"}, {3, 4, L"C"}, {4, 6, L"A"}}},
        {"time to no time", kTimeToTime, 0.5, 9, E_FAIL, kThree},
        {"to a time", kToTime, 0, 2.5, S_OK, {{0, 3, L"B"}, {3, 5, L"A"}, {5, 6, L"C"}}},
    };
    for (const Case& c : cases) {
        XRVDShow facade(TRUE);
        Build(facade, kThree);
        HRESULT hr = E_UNEXPECTED;
        switch (c.op) {
            case kMove: hr = facade.MoveClip(0, (int)c.a, (int)c.b); break;
            case kAtTime: hr = facade.MoveClipAtTime(0, S(c.a), (int)c.b); break;
            case kTimeToTime: hr = facade.MoveClipTimeToTime(0, S(c.a), S(c.b)); break;
            case kToTime: hr = facade.MoveClipToTime(0, (int)c.a, S(c.b)); break;
        }
        EXPECT_EQ(c.hr, hr) << c.what;
        EXPECT_EQ(Text(c.after), Text(Clips(facade, 0))) << c.what;
        if (hr == S_OK) {
            // Each clip still plays its media from 0 over its whole length.
            for (int n = 0; n < facade.GetClipCount(0); ++n) {
                std::vector<Span> s = ClipSources(facade, 0, n);
                ASSERT_EQ(1u, s.size()) << c.what;
                EXPECT_EQ(0, s[0].mstart) << c.what;
                EXPECT_EQ(s[0].stop - s[0].start, s[0].mstop) << c.what;
            }
        }
    }
}

// Deleting a clip closes the gap; its emptied track goes, and transition
// records naming later tracks are renumbered.
TEST_F(FacadeEditOpsTest, DeletedClipsCloseUpAndRecordsFollowTheirTracks)
{
    struct Case {
        int clip;
        HRESULT hr;
        std::vector<Clip> after;
        UINT recordFrom;   // the record between tracks 2 and 3 afterwards
    } cases[] = {
        {0, S_OK, {{0, 3, L"B"}, {3, 4, L"C"}, {4, 5, L"D"}}, 1},
        {1, S_OK, {{0, 2, L"A"}, {2, 3, L"C"}, {3, 4, L"D"}}, 1},
        {3, S_OK, {{0, 2, L"A"}, {2, 5, L"B"}, {5, 6, L"C"}}, 2},
        {4, E_FAIL, {{0, 2, L"A"}, {2, 5, L"B"}, {5, 6, L"C"}, {6, 7, L"D"}}, 2},
    };
    for (const Case& c : cases) {
        XRVDShow facade(TRUE);
        Build(facade, {{0, 2, L"A"}, {2, 5, L"B"}, {5, 6, L"C"}, {6, 7, L"D"}});
        TransitionInfo distant;
        distant.rtStart = S(100);   // belongs to no clip here
        distant.rtStop = S(101);
        distant.uIndexStart = 2;
        distant.uIndexStop = 3;
        facade.GetTimeline()->AddTransition(distant, -1);
        EXPECT_EQ(c.hr, facade.DeleteClip(0, c.clip)) << c.clip;
        EXPECT_EQ(Text(c.after), Text(Clips(facade, 0))) << c.clip;
        long tracks = 0;
        facade.GetTimeline()->GetNumCompositions(&tracks, facade.GetTimeline()->GetVideoCompNum());
        EXPECT_EQ((long)c.after.size(), tracks) << c.clip;
        ASSERT_EQ(1, facade.GetTransitionCount());
        EXPECT_EQ(c.recordFrom, facade.GetTimeline()->GetTransition(0)->uIndexStart) << c.clip;
        EXPECT_EQ(c.recordFrom + 1, facade.GetTimeline()->GetTransition(0)->uIndexStop) << c.clip;
    }
}

TransitionInfo Record(double start, double stop, BOOL byTime)
{
    TransitionInfo info;
    CLSIDFromString(const_cast<LPOLESTR>(L"{16B280C5-EE70-11D1-9066-00C04FD9189D}"), &info.guid);
    info.rtStart = S(start);
    info.rtStop = S(stop);
    info.bPlaceByTime = byTime;
    return info;
}

// Transition objects of the video group: (track index in the composition,
// start, stop) over the video and the transition compositions.
int CountTransitions(XRVDSTimeline* t)
{
    int n = 0;
    const int comps[2] = {t->GetVideoCompNum(), t->GetTransCompNum()};
    for (int c : comps) {
        CComPtr<IAMTimelineComp> comp;
        if (FAILED(t->GetVideoComp(&comp, c)))
            continue;
        long tracks = 0;
        comp->VTrackGetCount(&tracks);
        for (long i = 0; i < tracks; ++i) {
            CComPtr<IAMTimelineObj> track;
            comp->GetVTrack(&track, i);
            CComQIPtr<IAMTimelineTransable> transable(track);
            REFERENCE_TIME at = 0;
            for (;;) {
                CComPtr<IAMTimelineObj> trans;
                if (!transable || transable->GetNextTrans(&trans, &at) != S_OK || !trans)
                    break;
                ++n;
            }
        }
    }
    return n;
}

// Records found by time (both ends count), removed from the tree and the
// list; a time with no transition changes nothing; a rebuild puts back one
// object per record, however often it runs.
TEST_F(FacadeEditOpsTest, TransitionsAtTimesAreFoundRemovedAndRebuilt)
{
    XRVDShow facade(TRUE);
    Build(facade, {{0, 5, L"A"}, {0, 5, L"B"}});
    XRVDSTimeline* t = facade.GetTimeline();
    t->AddTransition(Record(1, 2, TRUE), -1);
    t->AddTransition(Record(3, 4, TRUE), -1);
    ASSERT_EQ(S_OK, t->IncorporateTransitionsInTimeline(0));
    ASSERT_EQ(S_OK, t->IncorporateTransitionsInTimeline(1));
    ASSERT_EQ(2, CountTransitions(t));
    struct Case {
        double at;
        int index;
    } cases[] = {{0, -1}, {1, 0}, {1.5, 0}, {2, 0}, {2.5, -1}, {3, 1}, {4, 1}, {4.5, -1}};
    for (const Case& c : cases)
        EXPECT_EQ(c.index, facade.GetTransitionIndex(S(c.at))) << c.at;

    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(S_OK, facade.RebuildTransitions());
        EXPECT_EQ(2, CountTransitions(t)) << "rebuild " << i;
    }
    EXPECT_EQ(S_FALSE, facade.RemoveTransitionAtTime(S(2.5)));
    EXPECT_EQ(2, facade.GetTransitionCount());
    EXPECT_EQ(2, CountTransitions(t));
    EXPECT_EQ(S_OK, facade.RemoveTransitionAtTime(S(1.5)));
    EXPECT_EQ(1, facade.GetTransitionCount());
    EXPECT_EQ(1, CountTransitions(t));
    EXPECT_EQ(S(3), t->GetTransition(0)->rtStart) << "the other record stays";
    EXPECT_EQ(-1, facade.GetTransitionIndex(S(1.5)));
}

// A clip entered through a transition: deleting it takes the transition,
// its held frame and the room made for it, then the clip itself.
TEST_F(FacadeEditOpsTest, DeletingAClipTakesItsTransitionAndHeldFrame)
{
    XRVDShow facade(TRUE);
    Build(facade, {{0, 10, L"A"}, {10, 20, L"B"}, {20, 25, L"C"}});
    XRVDSTimeline* t = facade.GetTimeline();
    TransitionInfo info = Record(10, 12, FALSE);
    info.uIndexStart = 0;
    info.uIndexStop = 1;
    t->AddTransition(info, -1);
    ASSERT_EQ(S_OK, t->IncorporateTransitionsInTimeline(0));
    ASSERT_EQ(Text({{0, 10, L"A"}, {12, 22, L"B"}, {22, 27, L"C"}}), Text(Clips(facade, 0)));
    ASSERT_EQ(1, CountTransitions(t));
    EXPECT_EQ(0, facade.GetClipTransitionIndex(0, 1));
    EXPECT_EQ(-1, facade.GetClipTransitionIndex(0, 0));
    EXPECT_EQ(-1, facade.GetClipTransitionIndex(0, 2));

    EXPECT_EQ(S_OK, facade.DeleteClip(0, 1));
    EXPECT_EQ(Text({{0, 10, L"A"}, {10, 15, L"C"}}), Text(Clips(facade, 0)));
    EXPECT_EQ(0, facade.GetTransitionCount());
    EXPECT_EQ(0, CountTransitions(t));
    CComPtr<IAMTimelineComp> trans;
    ASSERT_EQ(S_OK, facade.GetTrack(5, &trans));
    CComPtr<IAMTimelineObj> held;
    ASSERT_EQ(S_OK, trans->GetVTrack(&held, 1));
    EXPECT_TRUE(TrackSources(held).empty()) << "the held frame went with its transition";
    EXPECT_EQ(E_FAIL, facade.RemoveClipTransitionAtTime(0, S(30))) << "no clip there";
    EXPECT_EQ(E_FAIL, facade.RemoveClipTransition(0, 0, TRUE, TRUE, TRUE)) << "no transition into the clip";
}

// Mutes reach the clip's own track (by start order, not track index) or the
// composition, on the side the kind names; unset kinds change nothing.
TEST_F(FacadeEditOpsTest, MutesReachTheKindsTrackOrComposition)
{
    XRVDShow facade(TRUE);
    // Track 0 plays second: clip 0 is track 1.
    Build(facade, {{2, 4, L"A"}, {0, 2, L"B"}}, true);
    XRVDSTimeline* t = facade.GetTimeline();
    EXPECT_EQ(0, facade.IsCompNumberUnset(0));
    EXPECT_EQ(0, facade.IsCompNumberUnset(1));
    EXPECT_EQ(1, facade.IsCompNumberUnset(2));
    EXPECT_EQ(E_FAIL, facade.IsCompNumberUnset(7));

    auto trackMuted = [&](int kind, int track) {
        CComPtr<IAMTimelineComp> comp;
        EXPECT_EQ(S_OK, facade.GetTrack(kind, &comp));
        CComPtr<IAMTimelineObj> obj;
        EXPECT_EQ(S_OK, comp->GetVTrack(&obj, track));
        BOOL muted = FALSE;
        obj->GetMuted(&muted);
        return muted != FALSE;
    };
    ASSERT_EQ(S_OK, facade.SetClipMuted(0, 0, TRUE));
    EXPECT_TRUE(trackMuted(0, 1));
    EXPECT_FALSE(trackMuted(0, 0));
    EXPECT_FALSE(trackMuted(1, 1)) << "the audio side is another composition";
    EXPECT_TRUE(facade.IsClipMuted(0, 0));
    EXPECT_FALSE(facade.IsClipMuted(0, 1));
    EXPECT_FALSE(facade.IsClipMuted(1, 0));

    ASSERT_EQ(S_OK, facade.SetClipMuted(1, 1, TRUE));
    EXPECT_TRUE(trackMuted(1, 0)) << "audio clip 1 starts at 2 s: track 0";
    EXPECT_TRUE(facade.IsClipMuted(1, 1));
    ASSERT_EQ(S_OK, facade.SetClipMuted(0, 0, FALSE));
    EXPECT_FALSE(facade.IsClipMuted(0, 0));

    EXPECT_EQ(E_FAIL, facade.SetClipMuted(0, 2, TRUE)) << "no third clip";
    EXPECT_EQ(E_FAIL, facade.SetClipMuted(2, 0, TRUE)) << "no audio mix";
    EXPECT_EQ(S_FALSE, facade.SetCompMuted(2, TRUE));
    EXPECT_FALSE(facade.IsCompMuted(2));

    ASSERT_EQ(S_OK, facade.SetCompMuted(1, TRUE));
    EXPECT_TRUE(facade.IsCompMuted(1));
    EXPECT_FALSE(facade.IsCompMuted(0));
    ASSERT_EQ(S_OK, facade.SetCompMuted(0, TRUE));
    EXPECT_TRUE(facade.IsCompMuted(0));
    EXPECT_EQ(t->GetAudioCompMain(), t->GetCurAudioComp()) << "the current audio composition is put back";
    facade.KillActionThread(TRUE);
}

// Black video over a span lies on a track of its own above the clips.
TEST_F(FacadeEditOpsTest, BlankVideoIsABlackSourceOverTheSpan)
{
    struct Case {
        int kind;
        double start, length;
        HRESULT hr;
    } cases[] = {{0, 1, 2, S_OK}, {1, 1, 2, E_FAIL}, {0, 1, 0, E_FAIL}, {0, -1, 2, E_INVALIDARG}};
    for (const Case& c : cases) {
        XRVDShow facade(TRUE);
        Build(facade, kThree);
        EXPECT_EQ(c.hr, facade.InsertBlank(c.kind, S(c.start), S(c.length))) << c.kind << " " << c.start;
        long tracks = 0;
        facade.GetTimeline()->GetNumCompositions(&tracks, facade.GetTimeline()->GetVideoCompNum());
        EXPECT_EQ(c.hr == S_OK ? 4 : 3, tracks);
        if (c.hr != S_OK)
            continue;
        CComPtr<IAMTimelineComp> comp;
        ASSERT_EQ(S_OK, facade.GetTrack(0, &comp));
        CComPtr<IAMTimelineObj> top;
        ASSERT_EQ(S_OK, comp->GetVTrack(&top, 3));
        std::vector<Span> s = TrackSources(top);
        ASSERT_EQ(1u, s.size());
        EXPECT_EQ(S(1), s[0].start);
        EXPECT_EQ(S(3), s[0].stop);
        CComPtr<IAMTimelineObj> src;
        REFERENCE_TIME at = 0;
        CComQIPtr<IAMTimelineTrack>(top)->GetNextSrc(&src, &at);
        GUID g = GUID_NULL;
        src->GetSubObjectGUID(&g);
        EXPECT_TRUE(IsEqualGUID(CLSID_ColorSource, g));
    }
}

// The audio add that replaces a span first takes the span out of every
// composition (the later clips close up), then lays the file over it.
TEST_F(FacadeEditOpsTest, AudioAddThatReplacesCutsTheSpanFirst)
{
    XRVDShow facade(TRUE);
    Build(facade, kThree, true);
    ASSERT_EQ(S_OK, facade.GetTimeline()->AddAudioFileToTimeline("N.wav", S(1), S(3), 0, S(2), 1, TRUE, FALSE, FALSE,
                                                                 FALSE));
    EXPECT_EQ(Text({{0, 1, L"A"}, {1, 3, L"B"}, {3, 4, L"C"}}), Text(Clips(facade, 0)));
    EXPECT_EQ(Text({{0, 1, L"A.wav"}, {1, 3, L"B.wav"}, {1, 3, L"N.wav"}, {3, 4, L"C.wav"}}), Text(Clips(facade, 1)));
}

// Without a timeline every edit fails and every query is neutral.
TEST_F(FacadeEditOpsTest, WithoutATimelineNothingHappens)
{
    XRVDShow facade(TRUE);
    facade.SetTimeline(NULL, TRUE);
    EXPECT_EQ(E_FAIL, facade.DeleteSection(0, 0, S(1)));
    EXPECT_EQ(E_FAIL, facade.DeleteClip(0, 0));
    EXPECT_EQ(E_FAIL, facade.MoveClip(0, 0, 1));
    EXPECT_EQ(E_FAIL, facade.InsertBlank(0, 0, S(1)));
    EXPECT_EQ(E_FAIL, facade.SetClipMuted(0, 0, TRUE));
    EXPECT_EQ(E_FAIL, facade.SetCompMuted(0, TRUE));
    EXPECT_EQ(E_FAIL, facade.RebuildTransitions());
    EXPECT_EQ(E_FAIL, facade.IsCompNumberUnset(0));
    EXPECT_FALSE(facade.IsCompMuted(0));
    EXPECT_EQ(0, facade.GetTransitionCount());
    EXPECT_EQ(-1, facade.GetTransitionIndex(0));
    EXPECT_EQ(S_FALSE, facade.RemoveTransitionAtTime(0));
}

}  // namespace
