// Records, transitions, splitting, copying and resetting the timeline, the
// transition list from XML text, and the object registry.
#include "TimelineTestSupport.h"
#include "XRVDirectShow/TimelineObjectRegistry.h"
#include "XRVDirectShow/XRVDSTimeline.h"
#include "platform/dex/DexFactory.h"
#include "settings/XmlNode.h"

#include <process.h>

namespace {

class TimelineEditTest : public ComTest {};

CComPtr<IAMTimelineObj> VideoTrackAt(XRVDSTimeline& t, int comp, long index)
{
    CComPtr<IAMTimelineComp> c;
    EXPECT_EQ(S_OK, t.GetVideoComp(&c, comp));
    CComPtr<IAMTimelineObj> track;
    if (c) {
        EXPECT_EQ(S_OK, c->GetVTrack(&track, index));
    }
    return track;
}

// A new track of the video composition with one source.
CComPtr<IAMTimelineObj> AddClip(XRVDSTimeline& t, LONGLONG start, LONGLONG stop, LONGLONG mstart, LONGLONG mstop,
                                const wchar_t* name = L"C:\\clip.avi")
{
    CComPtr<IAMTimelineComp> comp;
    EXPECT_EQ(S_OK, t.GetVideoComp(&comp, t.GetVideoCompNum()));
    CComPtr<IAMTimelineTrack> track;
    EXPECT_EQ(S_OK, t.AddTrackToComp(comp, &track));
    BSTR file = SysAllocString(name);
    EXPECT_EQ(S_OK, t.AddSourceToTrack(track, file, start, stop, mstart, mstop, TRUE));
    SysFreeString(file);
    return CComPtr<IAMTimelineObj>(CComQIPtr<IAMTimelineObj>(track));
}

CComPtr<IAMTimelineObj> FirstSource(IAMTimelineObj* trackObj)
{
    CComPtr<IAMTimelineObj> src;
    REFERENCE_TIME t = 0;
    CComQIPtr<IAMTimelineTrack>(trackObj)->GetNextSrc(&src, &t);
    return src;
}

struct FxSpan {
    LONGLONG start, stop;
};

std::vector<FxSpan> Effects(IAMTimelineObj* obj)
{
    std::vector<FxSpan> spans;
    CComQIPtr<IAMTimelineEffectable> fxable(obj);
    long count = 0;
    fxable->EffectGetCount(&count);
    for (long i = 0; i < count; ++i) {
        CComPtr<IAMTimelineObj> fx;
        fxable->GetEffect(&fx, i);
        FxSpan s = {};
        fx->GetStartStop(&s.start, &s.stop);
        spans.push_back(s);
    }
    return spans;
}

// ---------------------------------------------------------------------------
// Records.

class FakeOwner : public ITimelineClipOwner {
public:
    // Clips: [0,10) media [100,110); [20,30) media [0,10).
    int GetClipCountValue() override { return 7; }
    LONGLONG GetClipsDuration() override { return 30; }
    int GetClipIndexAt(LONGLONG t) override { return t < 20 ? 0 : 1; }
    void GetClipTimelineStartStop(int i, LONGLONG* s, LONGLONG* e) override
    {
        *s = i ? 20 : 0;
        *e = i ? 30 : 10;
    }
    void GetClipMediaStartStop(int i, LONGLONG* s, LONGLONG* e) override
    {
        *s = i ? 0 : 100;
        *e = i ? 10 : 110;
    }
    int GetClipState() override { return state; }
    int CheckClipTime(LONGLONG) override { return refuse; }
    int state = 0, refuse = 0;
};

TEST_F(TimelineEditTest, RecordsStartWithTheirDefaults)
{
    XRVDSTimeline t(FALSE, FALSE);
    CClipRecord* rec = t.NewItemRecord();
    EXPECT_EQ(-1, rec->m_nIndex1);
    EXPECT_EQ(-1, rec->m_nIndex2);
    EXPECT_EQ(1, rec->m_bFlag1);
    EXPECT_EQ(1, rec->m_bFlag2);
    EXPECT_EQ(0, rec->m_rtValue1 + rec->m_rtValue2 + rec->m_nValue3 + rec->m_nValue7 + rec->m_nOwner);
    for (int v : rec->m_Block)
        EXPECT_EQ(0, v);
    rec->m_strText = "keep";
    rec->m_Block[3] = 9;
    CClipRecord& self = *rec;
    *rec = self;
    EXPECT_STREQ("keep", rec->m_strText);
    EXPECT_EQ(9, rec->m_Block[3]);
    delete rec;

    ZoomRectInfo* zoom = t.NewZoomRectInfo();
    EXPECT_EQ(10.0f, zoom->m_Left);
    EXPECT_EQ(10.0f, zoom->m_Top);
    EXPECT_EQ(620.0f, zoom->m_Right);
    EXPECT_EQ(460.0f, zoom->m_Bottom);
    EXPECT_EQ(640, zoom->m_nRefWidth);
    EXPECT_EQ(480, zoom->m_nRefHeight);
    EXPECT_EQ(-1, zoom->m_nIndex);
    EXPECT_EQ(2, zoom->m_nValue5);
    delete zoom;

    TimelineClipEx* ex = t.NewClipEx();
    EXPECT_EQ(-1, ex->m_nIndex);
    EXPECT_EQ(-1, ex->m_nCountValue);
    CString name;
    EXPECT_TRUE(ex->GetName(name).IsEmpty());
    EXPECT_EQ(1, ex->GetFlag());
    EXPECT_EQ(0, ex->GetEndTime());
    EXPECT_EQ(1, ex->Fixed());
    EXPECT_EQ(E_FAIL, ex->SeekEx(5));
    delete ex;
}

TEST_F(TimelineEditTest, ClipCursorsSeekOverTheOwnersClips)
{
    FakeOwner owner;
    TimelineClip inside(&owner, 25);
    EXPECT_EQ(1, inside.m_nIndex);
    EXPECT_EQ(5, inside.m_rtPosition);
    EXPECT_EQ(25, inside.GetTimelineTime());
    EXPECT_EQ(7, inside.GetCountValue());
    TimelineClip pastEnd(&owner, 99);   // the last unit of the last clip
    EXPECT_EQ(1, pastEnd.m_nIndex);
    EXPECT_EQ(9, pastEnd.m_rtPosition);
    TimelineClip between(&owner, 3);
    between.m_rtPosition = 4;
    EXPECT_FALSE(between.Seek(15));     // a gap: position unchanged
    EXPECT_EQ(4, between.m_rtPosition);
    TimelineClip first(&owner, 3);
    EXPECT_EQ(103, first.m_rtPosition);
    EXPECT_EQ(3, first.GetTimelineTime());

    TimelineClipEx ex(&owner, 25);
    EXPECT_EQ(10, ex.GetEndTime());     // media stop 10 beats 5 - 20 + 0
    owner.state = 1;
    EXPECT_EQ((HRESULT)0xABC00001, ex.SeekEx(3));
    owner.state = 0;
    owner.refuse = 1;
    EXPECT_EQ((HRESULT)0xABC00002, ex.SeekEx(3));
    owner.refuse = 0;
    EXPECT_EQ((HRESULT)0xABC00002, ex.SeekEx(-1));
    EXPECT_EQ(S_OK, ex.SeekEx(3));
    EXPECT_EQ(0, ex.m_nIndex);
    EXPECT_EQ(103, ex.m_rtPosition);
    EXPECT_EQ(203, ex.GetEndTime());   // 103 - 0 + 100 beats the media stop 110

    TimelineClipEx copy;
    ex.SetName("Intro");
    ex.m_Items.SetSize(2);
    ex.m_Items[1].m_strFileName = "C:\\b.avi";
    copy = ex;
    CString name;
    EXPECT_STREQ("Intro", copy.GetName(name));
    ASSERT_EQ(2, copy.m_Items.GetSize());
    EXPECT_STREQ("C:\\b.avi", copy.m_Items[1].m_strFileName);
}

// ---------------------------------------------------------------------------
// Transitions.

TransitionInfo Record(LONGLONG start, LONGLONG stop, BOOL byTime, const wchar_t* prop = NULL, const wchar_t* value = NULL)
{
    TransitionInfo info;
    CLSIDFromString(const_cast<LPOLESTR>(L"{16B280C5-EE70-11D1-9066-00C04FD9189D}"), &info.guid);
    info.rtStart = start;
    info.rtStop = stop;
    info.bPlaceByTime = byTime;
    if (prop) {
        info.SetPropName(0, prop);
        info.SetPropValue(0, value);
    }
    return info;
}

TEST_F(TimelineEditTest, TransitionRecordsInsertAndRemove)
{
    XRVDSTimeline t(TRUE, FALSE);
    t.AddTransition(Record(1, 2, TRUE), -1);
    t.AddTransition(Record(3, 4, TRUE), 5);    // past the end: appended
    t.AddTransition(Record(5, 6, TRUE), 2);    // at the end: appended
    t.AddTransition(Record(7, 8, TRUE, L"Progress", L"0.5"), 0);
    ASSERT_EQ(4, t.GetTransitionCount());
    LONGLONG starts[] = {7, 1, 3, 5};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(starts[i], t.GetTransition(i)->rtStart) << "record " << i;
    EXPECT_STREQ(L"0.5", t.GetTransition(0)->m_PropValues[0]);
    EXPECT_TRUE(t.GetTransition(4) == NULL);
    EXPECT_EQ(S_OK, t.RemoveTransition(3));
    EXPECT_EQ(E_FAIL, t.RemoveTransition(3));
    EXPECT_EQ(E_FAIL, t.RemoveTransition(-1));
    EXPECT_EQ(S_OK, t.RemoveTransition(0));
    EXPECT_EQ(S_OK, t.RemoveTransition(0));
    EXPECT_EQ(S_OK, t.RemoveTransition(0));
    EXPECT_EQ(0, t.GetTransitionCount());
}

long TransCount(IAMTimelineObj* obj)
{
    long count = -1;
    CComQIPtr<IAMTimelineTransable>(obj)->TransGetCount(&count);
    return count;
}

TEST_F(TimelineEditTest, TransitionByTimeGoesOnTheSecondCoveringTrack)
{
    struct Row {
        int covering;      // tracks that cover [2 s, 3 s]
        int placedOn;      // -1: nowhere
    } rows[] = {{1, -1}, {2, 1}, {3, 1}};
    for (const Row& r : rows) {
        XRVDSTimeline t(TRUE, FALSE);
        AddClip(t, Sec(5), Sec(9), 0, Sec(4));   // track 0 does not cover
        for (int i = 0; i < r.covering; ++i)
            AddClip(t, 0, Sec(5), 0, Sec(5));
        t.AddTransition(Record(Sec(2), Sec(3), TRUE), -1);
        EXPECT_EQ(S_OK, t.IncorporateTransitionsInTimeline(0));
        for (int i = 0; i <= r.covering; ++i) {
            const int expected = (r.placedOn >= 0 && i == r.placedOn + 1) ? 1 : 0;
            EXPECT_EQ(expected, TransCount(VideoTrackAt(t, t.GetVideoCompNum(), i)))
                << r.covering << " covering, track " << i;
        }
        EXPECT_EQ(S_OK, t.IncorporateTransitionsInTimeline(1));   // out of range: nothing
        EXPECT_EQ(S_OK, t.IncorporateTransitionsInTimeline(-1));
    }
}

TEST_F(TimelineEditTest, TransitionPropertiesGoIntoAPropertySetterOnlyWhenNamed)
{
    for (int named = 0; named < 2; ++named) {
        XRVDSTimeline t(TRUE, FALSE);
        AddClip(t, 0, Sec(5), 0, Sec(5));
        CComPtr<IAMTimelineObj> second = AddClip(t, 0, Sec(5), 0, Sec(5));
        t.AddTransition(named ? Record(Sec(1), Sec(2), TRUE, L"Progress", L"0.25") : Record(Sec(1), Sec(2), TRUE), -1);
        ASSERT_EQ(S_OK, t.IncorporateTransitionsInTimeline(0));
        CComPtr<IAMTimelineObj> trans;
        REFERENCE_TIME at = 0;
        ASSERT_EQ(S_OK, CComQIPtr<IAMTimelineTransable>(second)->GetNextTrans(&trans, &at));
        LONGLONG s = 0, e = 0;
        trans->GetStartStop(&s, &e);
        EXPECT_EQ(Sec(1), s);
        EXPECT_EQ(Sec(2), e);
        GUID g;
        trans->GetSubObjectGUID(&g);
        EXPECT_TRUE(IsEqualGUID(Record(0, 0, 0).guid, g));
        CComPtr<IPropertySetter> setter;
        trans->GetPropertySetter(&setter);
        EXPECT_EQ(named != 0, setter != NULL);
        if (setter) {
            LONG count = 0;
            DEXTER_PARAM* params = NULL;
            DEXTER_VALUE* values = NULL;
            setter->GetProps(&count, &params, &values);
            ASSERT_EQ(1, count);
            EXPECT_STREQ(L"Progress", params[0].name);
            EXPECT_STREQ(L"0.25", values[0].v.bstrVal);
            setter->FreeProps(count, params, values);
        }
    }
}

// Between two clips: the incoming clip moves later by the transition's length,
// its first frame is held on the transition composition's to-track, and the
// transition spans exactly that held frame.
TEST_F(TimelineEditTest, TransitionBetweenClipsHoldsTheIncomingFirstFrame)
{
    XRVDSTimeline t(TRUE, FALSE);
    AddClip(t, 0, Sec(10), 0, Sec(10), L"C:\\a.avi");
    CComPtr<IAMTimelineObj> toTrack = AddClip(t, Sec(10), Sec(20), Sec(3), Sec(13), L"C:\\b.avi.XRVImg3");
    CComQIPtr<IAMTimelineSrc>(FirstSource(toTrack))->SetDefaultFPS(10.0);
    TransitionInfo info = Record(Sec(10), Sec(12), FALSE);
    info.uIndexStart = 0;
    info.uIndexStop = 1;
    t.AddTransition(info, -1);
    ASSERT_EQ(S_OK, t.IncorporateTransitionsInTimeline(0));
    std::vector<Span> moved = TrackSources(toTrack);
    ASSERT_EQ(1u, moved.size());
    EXPECT_EQ(Sec(12), moved[0].start);
    EXPECT_EQ(Sec(22), moved[0].stop);
    CComPtr<IAMTimelineObj> held = VideoTrackAt(t, t.GetTransCompNum(), 1);
    std::vector<Span> frame = TrackSources(held);
    ASSERT_EQ(1u, frame.size());
    EXPECT_EQ(Sec(10), frame[0].start);
    EXPECT_EQ(Sec(12), frame[0].stop);
    EXPECT_EQ(Sec(3), frame[0].mstart);
    EXPECT_EQ(Sec(3) + Sec(0.1), frame[0].mstop);   // one frame at 10 fps
    BSTR name = NULL;
    CComQIPtr<IAMTimelineSrc>(FirstSource(held))->GetMediaName(&name);
    EXPECT_STREQ(L"C:\\b.avi", name);
    SysFreeString(name);
    CComPtr<IAMTimelineObj> trans;
    ASSERT_EQ(S_OK, CComQIPtr<IAMTimelineTransable>(held)->GetTransAtTime(&trans, Sec(11), DEXTERF_EXACTLY_AT));
    LONGLONG s = 0, e = 0;
    trans->GetStartStop(&s, &e);
    EXPECT_EQ(Sec(10), s);
    EXPECT_EQ(Sec(12), e);
    EXPECT_EQ(0, TransCount(VideoTrackAt(t, t.GetTransCompNum(), 0)));
}

// ---------------------------------------------------------------------------
// Walks over a track.

std::string SpansText(const std::vector<Span>& spans)
{
    std::string text;
    for (const Span& s : spans)
        text += "[" + std::to_string(s.start / Sec(1)) + "," + std::to_string(s.stop / Sec(1)) + ")";
    return text;
}

// Each walk over a track's sources passes over a source that was given no
// length after it was added (B below), and comes to its end.
TEST_F(TimelineEditTest, EveryWalkPassesOverASourceOfNoLength)
{
    typedef std::function<std::string(XRVDSTimeline&, IAMTimelineObj*)> Walk;
    struct Row {
        const char* name;
        Walk walk;
        std::string expected;
    } rows[] = {
        {"first start and last stop",
         [](XRVDSTimeline& t, IAMTimelineObj* track) {
             LONGLONG s = 0, e = 0;
             HRESULT hr = t.GetTrackObjStartStop(track, &s, &e);
             return std::to_string(hr) + " " + std::to_string(s / Sec(1)) + "-" + std::to_string(e / Sec(1));
         },
         "0 0-30"},
        {"media length",
         [](XRVDSTimeline& t, IAMTimelineObj* track) {
             LONGLONG length = 0;
             HRESULT hr = t.GetTrackMediaLength(CComQIPtr<IAMTimelineTrack>(track), &length);
             return std::to_string(hr) + " " + std::to_string(length / Sec(1));
         },
         "0 20"},
        {"media start and stop",
         [](XRVDSTimeline& t, IAMTimelineObj* track) {
             LONGLONG s = 0, e = 0;
             HRESULT hr = t.GetTrackMediaStartStop(CComQIPtr<IAMTimelineTrack>(track), &s, &e);
             return std::to_string(hr) + " " + std::to_string(s / Sec(1)) + "-" + std::to_string(e / Sec(1));
         },
         "0 0-15"},
        {"every source of the tree",
         [](XRVDSTimeline& t, IAMTimelineObj*) {
             int count = 0;
             HRESULT hr = t.ForEachTrackSource(
                 [](IAMTimelineObj*, void* c) -> HRESULT {
                     ++*(int*)c;
                     return S_OK;
                 },
                 &count);
             return std::to_string(hr) + " " + std::to_string(count);   // the blank source, A and C
         },
         "0 3"},
        {"shift with its transitions",
         [](XRVDSTimeline& t, IAMTimelineObj* track) {
             CComPtr<IAMTimelineComp> comp;
             t.GetVideoComp(&comp, t.GetVideoCompNum());
             HRESULT hr = t.ShiftObjects(comp, Sec(15), Sec(5), FALSE, FALSE);
             CComPtr<IAMTimelineObj> trans;
             LONGLONG s = -1, e = -1;
             if (CComQIPtr<IAMTimelineTransable>(track)->GetTransAtTime(&trans, Sec(26), DEXTERF_EXACTLY_AT) == S_OK)
                 trans->GetStartStop(&s, &e);
             return std::to_string(hr) + " " + SpansText(TrackSources(track)) + " trans " + std::to_string(s / Sec(1));
         },
         "0 [0,10)[25,35) trans 26"},
        {"track split",
         [](XRVDSTimeline& t, IAMTimelineObj* track) {
             CComPtr<IAMTimelineObj> made;
             HRESULT hr = t.SplitObj(track, Sec(25), &made);
             return std::to_string(hr) + " " + SpansText(TrackSources(track)) + " " + SpansText(TrackSources(made));
         },
         "0 [0,10)[20,25) [25,30)"},
        {"copy",
         [](XRVDSTimeline& t, IAMTimelineObj*) {
             XRVDSTimeline copy(t, FALSE);
             CComPtr<IAMTimelineComp> comp;
             CComPtr<IAMTimelineObj> copied;
             if (FAILED(copy.GetVideoComp(&comp, copy.GetVideoCompNum())) || FAILED(comp->GetVTrack(&copied, 0)))
                 return std::string("no track");
             long transitions = -1;
             CComQIPtr<IAMTimelineTransable>(copied)->TransGetCount(&transitions);
             return SpansText(TrackSources(copied)) + " " + std::to_string(transitions);
         },
         "[0,10)[20,30) 1"},
        {"stretch modes",
         [](XRVDSTimeline& t, IAMTimelineObj*) {
             return std::to_string(t.SetSourcesStretchMode(RESIZEF_PRESERVEASPECTRATIO, 0, 0));
         },
         "0"},
    };
    for (const Row& r : rows) {
        XRVDSTimeline t(TRUE, FALSE);
        // A [0,10) media 0-10, B [10,20) media 40-50 made of no length, C [20,30) media 5-15;
        // on the track a transition inside C and one of no length.
        CComPtr<IAMTimelineObj> track = AddClip(t, 0, Sec(10), 0, Sec(10));
        CComQIPtr<IAMTimelineTrack> pTrack(track);
        BSTR file = SysAllocString(L"C:\\clip.avi");
        ASSERT_EQ(S_OK, t.AddSourceToTrack(pTrack, file, Sec(10), Sec(20), Sec(40), Sec(50), TRUE));
        ASSERT_EQ(S_OK, t.AddSourceToTrack(pTrack, file, Sec(20), Sec(30), Sec(5), Sec(15), TRUE));
        SysFreeString(file);
        CComPtr<IAMTimelineObj> b;
        ASSERT_EQ(S_OK, pTrack->GetSrcAtTime(&b, Sec(15), DEXTERF_EXACTLY_AT));
        ASSERT_EQ(S_OK, b->SetStartStop(Sec(10), Sec(10)));
        CComQIPtr<IAMTimelineTransable> transable(track);
        for (int i = 0; i < 2; ++i) {
            CComPtr<IAMTimelineObj> trans;
            ASSERT_EQ(S_OK, t.CreateTransObject(&trans));
            ASSERT_EQ(S_OK, trans->SetStartStop(Sec(21 + 2 * i), Sec(22 + 2 * i)));
            ASSERT_EQ(S_OK, transable->TransAdd(trans));
            if (i == 1) {
                ASSERT_EQ(S_OK, trans->SetStartStop(Sec(23), Sec(23)));
            }
        }
        std::string got;
        RunWithin(20000, r.name, [&] { got = r.walk(t, track); });
        EXPECT_EQ(r.expected, got) << r.name;
    }
}

// Sources at or after the start move, each transition inside a moved source
// moves with it exactly once, even when it lands inside the next source.
TEST_F(TimelineEditTest, ShiftMovesEachTransitionOnce)
{
    struct Row {
        const char* name;
        LONGLONG transStart;   // seconds; the transition lasts 2 s
        LONGLONG from, by;
        std::string sources;
        LONGLONG movedTransStart;
    } rows[] = {
        {"inside A, lands inside B", 2, 0, 10, "[10,20)[20,30)", 12},
        {"inside B", 12, 0, 10, "[10,20)[20,30)", 22},
        {"inside B, B alone moves", 12, 10, 5, "[0,10)[15,25)", 17},
        {"inside A, A stays", 2, 10, 10, "[0,10)[20,30)", 2},
    };
    for (const Row& r : rows) {
        XRVDSTimeline t(TRUE, FALSE);
        CComPtr<IAMTimelineObj> track = AddClip(t, 0, Sec(10), 0, Sec(10));
        BSTR file = SysAllocString(L"C:\\clip.avi");
        ASSERT_EQ(S_OK, t.AddSourceToTrack(CComQIPtr<IAMTimelineTrack>(track), file, Sec(10), Sec(20), 0, Sec(10), TRUE));
        SysFreeString(file);
        CComPtr<IAMTimelineObj> trans;
        ASSERT_EQ(S_OK, t.CreateTransObject(&trans));
        ASSERT_EQ(S_OK, trans->SetStartStop(Sec(r.transStart), Sec(r.transStart + 2)));
        ASSERT_EQ(S_OK, CComQIPtr<IAMTimelineTransable>(track)->TransAdd(trans));
        CComPtr<IAMTimelineComp> comp;
        ASSERT_EQ(S_OK, t.GetVideoComp(&comp, t.GetVideoCompNum()));
        ASSERT_EQ(S_OK, t.ShiftObjects(comp, Sec(r.from), Sec(r.by), FALSE, FALSE)) << r.name;
        EXPECT_EQ(r.sources, SpansText(TrackSources(track))) << r.name;
        LONGLONG s = 0, e = 0;
        trans->GetStartStop(&s, &e);
        EXPECT_EQ(Sec(r.movedTransStart), s) << r.name;
        EXPECT_EQ(Sec(r.movedTransStart + 2), e) << r.name;
    }
}

// ---------------------------------------------------------------------------
// Splitting.

TEST_F(TimelineEditTest, SourceSplitDividesMediaTimes)
{
    struct Row {
        const char* name;
        LONGLONG mstop;   // media 0..mstop over timeline 0..10 s
        Span first, second;
    } rows[] = {
        {"normal rate", Sec(10), {0, Sec(4), 0, Sec(4)}, {Sec(4), Sec(10), Sec(4), Sec(10)}},
        {"stretched", Sec(5), {0, Sec(4), 0, Sec(5)}, {Sec(4), Sec(10), 0, Sec(5)}},
    };
    for (const Row& r : rows) {
        XRVDSTimeline t(TRUE, FALSE);
        CComPtr<IAMTimelineObj> track = AddClip(t, 0, Sec(10), 0, r.mstop);
        CComPtr<IAMTimelineObj> src = FirstSource(track);
        CComPtr<IAMTimelineObj> dest;
        ASSERT_EQ(S_OK, t.m_pTimeline->CreateEmptyNode(&dest, TIMELINE_MAJOR_TYPE_SOURCE));
        ASSERT_EQ(S_OK, t.SplitSource(src, dest.p, Sec(4)));
        Span a = TrackSources(track)[0], b = {};
        dest->GetStartStop(&b.start, &b.stop);
        CComQIPtr<IAMTimelineSrc>(dest)->GetMediaTimes(&b.mstart, &b.mstop);
        EXPECT_EQ(r.first.stop, a.stop) << r.name;
        EXPECT_EQ(r.first.mstart, a.mstart) << r.name;
        EXPECT_EQ(r.first.mstop, a.mstop) << r.name;
        EXPECT_EQ(r.second.start, b.start) << r.name;
        EXPECT_EQ(r.second.stop, b.stop) << r.name;
        EXPECT_EQ(r.second.mstart, b.mstart) << r.name;
        EXPECT_EQ(r.second.mstop, b.mstop) << r.name;
        BSTR name = NULL;
        CComQIPtr<IAMTimelineSrc>(dest)->GetMediaName(&name);
        EXPECT_STREQ(L"C:\\clip.avi", name) << r.name;
        SysFreeString(name);
    }
}

// Every effect at or after the split ends on the second half (none passed
// over while they move), a straddling one is on both halves.
TEST_F(TimelineEditTest, EffectsAtOrAfterTheSplitAllMove)
{
    XRVDSTimeline t(TRUE, FALSE);
    CComPtr<IAMTimelineObj> track = AddClip(t, Sec(10), Sec(20), 0, Sec(10));
    CComPtr<IAMTimelineObj> src = FirstSource(track);
    LONGLONG spans[][2] = {{Sec(1), Sec(3)}, {Sec(5), Sec(6)}, {Sec(6), Sec(7)}, {Sec(7), Sec(8)}, {0, Sec(1)}};
    for (auto& s : spans)
        ASSERT_EQ(S_OK, t.AddEffect(src, CLSID_AudMixer, s[0], s[1], NULL));
    CComPtr<IAMTimelineObj> dest;
    ASSERT_EQ(S_OK, t.m_pTimeline->CreateEmptyNode(&dest, TIMELINE_MAJOR_TYPE_SOURCE));
    ASSERT_EQ(S_OK, t.SplitSource(src, dest.p, Sec(12)));   // 2 s into the source
    std::vector<FxSpan> kept = Effects(src), moved = Effects(dest);
    ASSERT_EQ(2u, kept.size());
    EXPECT_EQ(Sec(1), kept[0].start);
    EXPECT_EQ(0, kept[1].start);
    ASSERT_EQ(4u, moved.size());
    FxSpan expected[] = {{0, Sec(1)}, {Sec(3), Sec(4)}, {Sec(4), Sec(5)}, {Sec(5), Sec(6)}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(expected[i].start, moved[i].start) << "effect " << i;
        EXPECT_EQ(expected[i].stop, moved[i].stop) << "effect " << i;
    }
}

TEST_F(TimelineEditTest, VolumeEnvelopeGoesOnFromTheSplitPoint)
{
    XRVDSTimeline t(TRUE, FALSE);
    CComPtr<IAMTimelineObj> track = AddClip(t, 0, Sec(10), 0, Sec(10));
    CComPtr<IAMTimelineObj> src = FirstSource(track), fx;
    ASSERT_EQ(S_OK, t.AddEffect(src, CLSID_AudMixer, 0, Sec(10), &fx));
    CComPtr<IPropertySetter> vol;
    ASSERT_EQ(S_OK, DexCreate(CLSID_PropertySetter, &vol));
    ASSERT_EQ(S_OK, t.AddVolumeProperty(vol, Sec(3), Sec(8), 0.5f, 0.8f));
    fx->SetPropertySetter(vol);
    CComPtr<IAMTimelineObj> dest;
    ASSERT_EQ(S_OK, t.m_pTimeline->CreateEmptyNode(&dest, TIMELINE_MAJOR_TYPE_SOURCE));
    ASSERT_EQ(S_OK, t.SplitSource(src, dest.p, Sec(4)));
    CComPtr<IAMTimelineObj> copy;
    ASSERT_EQ(S_OK, CComQIPtr<IAMTimelineEffectable>(dest)->GetEffect(&copy, 0));
    CComPtr<IPropertySetter> setter;
    ASSERT_EQ(S_OK, copy->GetPropertySetter(&setter));
    LONG count = 0;
    DEXTER_PARAM* params = NULL;
    DEXTER_VALUE* values = NULL;
    setter->GetProps(&count, &params, &values);
    ASSERT_EQ(1, count);
    EXPECT_STREQ(L"Vol", params[0].name);
    ASSERT_EQ(2, params[0].nValues);
    EXPECT_EQ(0, values[0].rt);                  // the 0.5 in force at the split
    EXPECT_FLOAT_EQ(0.5f, (float)values[0].v.dblVal);
    EXPECT_EQ(Sec(4), values[1].rt);             // 8 s - 4 s
    setter->FreeProps(count, params, values);
}

TEST_F(TimelineEditTest, TrackSplitMovesTheTailToTheDestinationTrack)
{
    struct Row {
        const char* name;
        LONGLONG split;
        size_t stay, moved;
    } rows[] = {
        {"inside the first", Sec(2), 1, 2}, {"at a start", Sec(5), 1, 1}, {"at a stop", Sec(4), 1, 1},
        {"before all", 0, 0, 2},
    };
    for (const Row& r : rows) {
        XRVDSTimeline t(TRUE, FALSE);
        CComPtr<IAMTimelineObj> track = AddClip(t, 0, Sec(4), 0, Sec(4));
        BSTR file = SysAllocString(L"C:\\clip.avi");
        t.AddSourceToTrack(CComQIPtr<IAMTimelineTrack>(track), file, Sec(5), Sec(9), 0, Sec(4), TRUE);
        SysFreeString(file);
        CComPtr<IAMTimelineObj> made;
        ASSERT_EQ(S_OK, t.SplitObj(track, r.split, &made)) << r.name;
        EXPECT_EQ(r.stay, TrackSources(track).size()) << r.name;
        EXPECT_EQ(r.moved, TrackSources(made).size()) << r.name;
        long priority = -1;
        CComQIPtr<IAMTimelineVirtualTrack>(made)->TrackGetPriority(&priority);
        EXPECT_EQ(1, priority) << r.name;   // right after the track it came from
        for (const Span& s : TrackSources(made))
            EXPECT_GE(s.start, r.split) << r.name;
        for (const Span& s : TrackSources(track))
            EXPECT_LE(s.stop, r.split) << r.name;
    }
    XRVDSTimeline t(TRUE, FALSE);
    CComPtr<IAMTimelineComp> comp;
    t.GetVideoComp(&comp, t.GetVideoCompNum());
    CComPtr<IAMTimelineTrack> empty;
    t.AddTrackToComp(comp, &empty);
    CComPtr<IAMTimelineObj> made;
    EXPECT_EQ(S_OK, t.SplitObj(CComQIPtr<IAMTimelineObj>(empty), Sec(1), &made));
    EXPECT_EQ(0u, TrackSources(made).size());
    EXPECT_EQ(E_FAIL, t.SplitSource((IAMTimelineObj*)NULL, (IAMTimelineObj*)NULL, 0));
}

// ---------------------------------------------------------------------------
// Copying and resetting.

struct TreeShape {
    std::vector<std::string> lines;
};

void Describe(IAMTimelineObj* obj, int depth, TreeShape& shape)
{
    TIMELINE_MAJOR_TYPE type;
    obj->GetTimelineType(&type);
    LONGLONG s = 0, e = 0;
    obj->GetStartStop(&s, &e);
    char line[256];
    BOOL muted = FALSE;
    obj->GetMuted(&muted);
    snprintf(line, sizeof(line), "%d type=%d %lld-%lld muted=%d", depth, (int)type, s, e, muted);
    std::string text = line;
    CComQIPtr<IAMTimelineSrc> src(obj);
    if (src) {
        LONGLONG ms = 0, me = 0;
        src->GetMediaTimes(&ms, &me);
        BSTR name = NULL;
        src->GetMediaName(&name);
        char more[200];
        snprintf(more, sizeof(more), " media=%lld-%lld name=%ls", ms, me, name ? name : L"");
        SysFreeString(name);
        text += more;
    }
    shape.lines.push_back(text);
    CComQIPtr<IAMTimelineComp> comp(obj);
    if (comp) {
        long n = 0;
        comp->VTrackGetCount(&n);
        for (long i = 0; i < n; ++i) {
            CComPtr<IAMTimelineObj> child;
            comp->GetVTrack(&child, i);
            Describe(child, depth + 1, shape);
        }
    }
    CComQIPtr<IAMTimelineTrack> track(obj);
    if (track) {
        REFERENCE_TIME t = 0;
        for (;;) {
            CComPtr<IAMTimelineObj> child;
            if (track->GetNextSrc(&child, &t) != S_OK)
                break;
            Describe(child, depth + 1, shape);
        }
    }
    CComQIPtr<IAMTimelineEffectable> fxable(obj);
    if (fxable) {
        long n = 0;
        fxable->EffectGetCount(&n);
        for (long i = 0; i < n; ++i) {
            CComPtr<IAMTimelineObj> fx;
            fxable->GetEffect(&fx, i);
            Describe(fx, depth + 1, shape);
        }
    }
    CComQIPtr<IAMTimelineTransable> transable(obj);
    if (transable) {
        REFERENCE_TIME t = 0;
        for (;;) {
            CComPtr<IAMTimelineObj> tr;
            if (transable->GetNextTrans(&tr, &t) != S_OK)
                break;
            Describe(tr, depth + 1, shape);
        }
    }
}

TreeShape Shape(XRVDSTimeline& t)
{
    TreeShape shape;
    long groups = 0;
    t.m_pTimeline->GetGroupCount(&groups);
    for (long g = 0; g < groups; ++g) {
        CComPtr<IAMTimelineObj> group;
        t.m_pTimeline->GetGroup(&group, g);
        BSTR name = NULL;
        CComQIPtr<IAMTimelineGroup>(group)->GetGroupName(&name);
        char line[100];
        snprintf(line, sizeof(line), "group %ls", name);
        SysFreeString(name);
        shape.lines.push_back(line);
        Describe(group, 0, shape);
    }
    return shape;
}

TEST_F(TimelineEditTest, CopyTakesEveryGroupDownToItsSourcesAndSharesRecords)
{
    const LONG liveBefore = TransitionInfo::LiveCount();
    XRVDSTimeline original(TRUE, TRUE);
    CComPtr<IAMTimelineObj> track = AddClip(original, 0, Sec(10), Sec(1), Sec(11), L"C:\\screen.avi");
    AddClip(original, Sec(2), Sec(6), 0, Sec(8), L"C:\\camera.avi");
    ASSERT_EQ(S_OK, original.AddEffect(FirstSource(track), CLSID_AudMixer, Sec(1), Sec(2), NULL));
    track->SetMuted(TRUE);
    original.AddTransition(Record(Sec(3), Sec(4), TRUE), -1);
    ASSERT_EQ(S_OK, original.IncorporateTransitionsInTimeline(0));
    ASSERT_EQ(S_OK, original.CreateAudioGroup());
    original.m_pTimeline->EnableTransitions(FALSE);
    original.m_Clips.Add(new TimelineClip(NULL, 0));
    original.m_ItemRecords.Add(CClipRecord(5));
    {
        XRVDSTimeline copy(original, FALSE);
        EXPECT_TRUE(copy.m_pTimeline != original.m_pTimeline);
        TreeShape a = Shape(original), b = Shape(copy);
        ASSERT_EQ(a.lines.size(), b.lines.size());
        for (size_t i = 0; i < a.lines.size(); ++i)
            EXPECT_EQ(a.lines[i], b.lines[i]) << "line " << i;
        EXPECT_GT(a.lines.size(), 12u);
        BOOL enabled = TRUE;
        copy.m_pTimeline->TransitionsEnabled(&enabled);
        EXPECT_FALSE(enabled);
        EXPECT_EQ(original.m_nVideoPin, copy.m_nVideoPin);
        EXPECT_EQ(1, copy.m_nAudioPin);
        EXPECT_TRUE(copy.m_bSharedRecords);
        ASSERT_EQ(1, copy.GetTransitionCount());
        EXPECT_EQ(original.GetTransition(0), copy.GetTransition(0));
        EXPECT_EQ(original.m_Clips[0], copy.m_Clips[0]);
        EXPECT_EQ(5, copy.m_ItemRecords[0].m_nOwner);
        // Clearing the copy frees nothing of the original's.
        ASSERT_EQ(S_OK, copy.ClearTimeline());
        EXPECT_EQ(liveBefore + 1, TransitionInfo::LiveCount());
    }
    ASSERT_EQ(1, original.GetTransitionCount());
    EXPECT_EQ(Sec(3), original.GetTransition(0)->rtStart);
    EXPECT_EQ(liveBefore + 1, TransitionInfo::LiveCount());
}

std::vector<std::string> SetterText(IPropertySetter* setter)
{
    std::vector<std::string> lines;
    LONG count = 0;
    DEXTER_PARAM* params = NULL;
    DEXTER_VALUE* values = NULL;
    if (!setter || FAILED(setter->GetProps(&count, &params, &values)))
        return lines;
    const DEXTER_VALUE* v = values;
    for (LONG i = 0; i < count; ++i) {
        for (LONG k = 0; k < params[i].nValues; ++k, ++v) {
            VARIANT text;
            VariantInit(&text);
            VariantChangeType(&text, const_cast<VARIANT*>(&v->v), 0, VT_BSTR);
            char line[200];
            snprintf(line, sizeof(line), "%ls at %lld: %ls (%lu)", params[i].name, v->rt,
                     text.vt == VT_BSTR ? text.bstrVal : L"?", v->dwInterp);
            VariantClear(&text);
            lines.push_back(line);
        }
    }
    setter->FreeProps(count, params, values);
    return lines;
}

// A copy holds its own property setters, equal to the original's: edits of
// the original after the copy was made do not reach it.
TEST_F(TimelineEditTest, CopyHasItsOwnPropertySetters)
{
    XRVDSTimeline original(TRUE, FALSE);
    CComPtr<IAMTimelineObj> track = AddClip(original, 0, Sec(10), 0, Sec(10));
    CComPtr<IAMTimelineObj> source = FirstSource(track), effect, trans;
    ASSERT_EQ(S_OK, original.AddEffect(source, CLSID_AudMixer, 0, Sec(10), &effect));
    ASSERT_EQ(S_OK, original.CreateTransObject(&trans));
    ASSERT_EQ(S_OK, trans->SetStartStop(Sec(2), Sec(3)));
    ASSERT_EQ(S_OK, CComQIPtr<IAMTimelineTransable>(track)->TransAdd(trans));
    IAMTimelineObj* holders[] = {source, effect, trans};
    for (IAMTimelineObj* holder : holders) {
        CComPtr<IPropertySetter> setter;
        ASSERT_EQ(S_OK, DexCreate(CLSID_PropertySetter, &setter));
        ASSERT_EQ(S_OK, original.AddVolumeProperty(setter, Sec(1), Sec(4), 0.25f, 0.75f));
        ASSERT_EQ(S_OK, holder->SetPropertySetter(setter));
    }
    XRVDSTimeline copy(original, FALSE);
    CComPtr<IAMTimelineComp> comp;
    CComPtr<IAMTimelineObj> copiedTrack, copiedEffect, copiedTrans;
    ASSERT_EQ(S_OK, copy.GetVideoComp(&comp, copy.GetVideoCompNum()));
    ASSERT_EQ(S_OK, comp->GetVTrack(&copiedTrack, 0));
    CComPtr<IAMTimelineObj> copiedSource = FirstSource(copiedTrack);
    ASSERT_TRUE(copiedSource != NULL);
    ASSERT_EQ(S_OK, CComQIPtr<IAMTimelineEffectable>(copiedSource)->GetEffect(&copiedEffect, 0));
    ASSERT_EQ(S_OK, CComQIPtr<IAMTimelineTransable>(copiedTrack)->GetTransAtTime(&copiedTrans, Sec(2), DEXTERF_EXACTLY_AT));
    struct Row {
        const char* name;
        IAMTimelineObj* original;
        IAMTimelineObj* copied;
    } rows[] = {{"source", source, copiedSource}, {"effect", effect, copiedEffect}, {"transition", trans, copiedTrans}};
    for (const Row& r : rows) {
        CComPtr<IPropertySetter> mine, theirs;
        ASSERT_EQ(S_OK, r.original->GetPropertySetter(&mine)) << r.name;
        ASSERT_EQ(S_OK, r.copied->GetPropertySetter(&theirs)) << r.name;
        EXPECT_TRUE(mine.p != theirs.p) << r.name << ": one setter for both";
        const std::vector<std::string> before = SetterText(mine);
        ASSERT_EQ(2u, before.size()) << r.name;
        EXPECT_EQ(before, SetterText(theirs)) << r.name;
        ASSERT_EQ(S_OK, mine->ClearProps());
        EXPECT_EQ(before, SetterText(theirs)) << r.name << ": the original's edit reached the copy";
    }
}

TEST_F(TimelineEditTest, RebuildAndClearLeaveAnEmptyVideoGroup)
{
    for (int clear = 0; clear < 2; ++clear) {
        const LONG liveBefore = TransitionInfo::LiveCount();
        XRVDSTimeline t(TRUE, TRUE);
        AddClip(t, 0, Sec(10), 0, Sec(10));
        AddClip(t, 0, Sec(10), 0, Sec(10));
        t.AddTransition(Record(Sec(3), Sec(4), TRUE), -1);
        t.IncorporateTransitionsInTimeline(0);
        t.CreateAudioGroup();
        t.m_nAudioCompMain = 0;
        t.m_nAudioCompCount = 1;
        ASSERT_EQ(S_OK, clear ? t.ClearTimeline() : t.RebuildVideoGroup());
        EXPECT_EQ(1, [&] { long n = 0; t.m_pTimeline->GetGroupCount(&n); return n; }());
        EXPECT_EQ(0, t.m_nVideoPin);
        EXPECT_EQ(-1, t.m_nAudioPin);
        EXPECT_EQ(-1, t.m_nAudioCompMain);
        EXPECT_EQ(0, t.m_nAudioCompCount);
        long n = 0;
        EXPECT_EQ(S_OK, t.GetNumCompositions(&n, t.GetVideoCompNum()));
        EXPECT_EQ(0, n);
        EXPECT_EQ(S_OK, t.GetNumCompositions(&n, t.GetTransCompNum()));
        EXPECT_EQ(2, n);
        EXPECT_EQ(0u, TrackSources(VideoTrackAt(t, t.GetTransCompNum(), 1)).size());
        EXPECT_EQ(1, t.GetDuration());   // the blank source alone
        // Clearing also drops (and frees) the transition records; a rebuild keeps them.
        EXPECT_EQ(clear ? 0 : 1, t.GetTransitionCount());
        EXPECT_EQ(liveBefore + (clear ? 0 : 1), TransitionInfo::LiveCount());
    }
}

// ---------------------------------------------------------------------------
// Transition records from XML text.

const char kTransitionsXml[] =
    "<Transition_Array_Object>\n"
    "<TransitionArrayIndex>3</TransitionArrayIndex>\n"
    "<GUID>{16b280c5-ee70-11d1-9066-00c04fd9189d}</GUID>\n"
    "<Start>20000000</Start>\n<Stop>30000000</Stop>\n<Duration>10000000</Duration>\n"
    "<IndexStart>1</IndexStart>\n<IndexStop>2</IndexStop>\n"
    "<Prop_Array>\n<Prop_Array_Object>\n<PropArrayIndex>1</PropArrayIndex>\n<Property>Progress</Property>\n"
    "</Prop_Array_Object>\n<Prop_Array_Object>\n<PropArrayIndex>-4</PropArrayIndex>\n<Property>Bad</Property>\n"
    "</Prop_Array_Object>\n</Prop_Array>\n"
    "<Value_Array>\n<Value_Array_Object>\n<ValueArrayIndex>1</ValueArrayIndex>\n<Value>0.5</Value>\n"
    "</Value_Array_Object>\n</Value_Array>\n"
    "</Transition_Array_Object>\n"
    "<Transition_Array_Object>\n"
    "<TransitionArrayIndex>0</TransitionArrayIndex>\n"
    "<GUID>{B3EE7802-8224-4787-A1EA-F0DE16DEABD3}</GUID>\n<TransName>Mine</TransName>\n"
    "<Track>4</Track>\n"
    "</Transition_Array_Object>\n"
    "<Transition_Array_Object>\n<TransitionArrayIndex>99999999</TransitionArrayIndex>\n</Transition_Array_Object>\n";

TEST_F(TimelineEditTest, TransitionListLoadsFromXmlWithoutLeakingTheOldOne)
{
    const LONG liveBefore = TransitionInfo::LiveCount();
    XRVDSTimeline t(TRUE, FALSE);
    t.AddTransition(Record(1, 2, TRUE), -1);
    t.AddTransition(Record(3, 4, TRUE), -1);
    ASSERT_EQ(0, t.LoadTransitionsFromXml(XmlNode(kTransitionsXml)));
    ASSERT_EQ(4, t.GetTransitionCount());
    EXPECT_TRUE(t.GetTransition(1) == NULL);
    EXPECT_TRUE(t.GetTransition(2) == NULL);
    TransitionInfo* fade = t.GetTransition(3);
    ASSERT_TRUE(fade != NULL);
    EXPECT_STREQ("Fade", fade->strName);
    EXPECT_TRUE(IsEqualGUID(Record(0, 0, 0).guid, fade->guid));
    EXPECT_EQ(Sec(2), fade->rtStart);
    EXPECT_EQ(Sec(3), fade->rtStop);
    EXPECT_EQ(Sec(1), fade->rtDuration);
    EXPECT_EQ(1u, fade->uIndexStart);
    EXPECT_EQ(2u, fade->uIndexStop);
    ASSERT_EQ(2, fade->m_PropNames.GetSize());
    EXPECT_TRUE(fade->m_PropNames[0] == NULL);
    EXPECT_STREQ(L"Progress", fade->m_PropNames[1]);
    EXPECT_STREQ(L"0.5", fade->m_PropValues[1]);
    TransitionInfo* mine = t.GetTransition(0);
    ASSERT_TRUE(mine != NULL);
    EXPECT_STREQ("Mine", mine->strName);
    EXPECT_EQ(4, mine->nTrack);
    EXPECT_EQ(0u, mine->uIndexStart);
    // The two records loaded before are gone, not leaked.
    EXPECT_EQ(liveBefore + 2, TransitionInfo::LiveCount());
    ASSERT_EQ(0, t.LoadTransitionsFromXml(XmlNode(kTransitionsXml)));
    EXPECT_EQ(liveBefore + 2, TransitionInfo::LiveCount());
    // A copy's records belong to the original: reloading in the copy keeps them.
    XRVDSTimeline copy(t, FALSE);
    ASSERT_EQ(0, copy.LoadTransitionsFromXml(XmlNode("")));
    EXPECT_EQ(0, copy.GetTransitionCount());
    EXPECT_STREQ("Fade", t.GetTransition(3)->strName);
}

// A copy frees the records it adds or loads itself, whether it removes them,
// reloads, clears or goes away, and never the ones it was given.
TEST_F(TimelineEditTest, CopyFreesOnlyTheTransitionRecordsItMade)
{
    for (int clear = 0; clear < 2; ++clear) {
        const LONG liveBefore = TransitionInfo::LiveCount();
        XRVDSTimeline original(TRUE, FALSE);
        original.AddTransition(Record(1, 2, TRUE), -1);
        {
            XRVDSTimeline copy(original, FALSE);
            copy.AddTransition(Record(3, 4, TRUE), -1);
            copy.AddTransition(Record(5, 6, TRUE), -1);
            EXPECT_EQ(liveBefore + 3, TransitionInfo::LiveCount());
            EXPECT_EQ(S_OK, copy.RemoveTransition(2));   // its own: freed
            EXPECT_EQ(liveBefore + 2, TransitionInfo::LiveCount());
            EXPECT_EQ(S_OK, copy.RemoveTransition(0));   // the original's: kept
            EXPECT_EQ(liveBefore + 2, TransitionInfo::LiveCount());
            ASSERT_EQ(0, copy.LoadTransitionsFromXml(XmlNode(kTransitionsXml)));
            EXPECT_EQ(liveBefore + 3, TransitionInfo::LiveCount()) << "the record added before is freed";
            copy.AddTransition(Record(7, 8, TRUE), -1);
            EXPECT_EQ(liveBefore + 4, TransitionInfo::LiveCount());
            if (clear) {
                ASSERT_EQ(S_OK, copy.ClearTimeline());
                EXPECT_EQ(liveBefore + 1, TransitionInfo::LiveCount());
            }
        }
        EXPECT_EQ(liveBefore + 1, TransitionInfo::LiveCount()) << (clear ? "cleared" : "destroyed");
        ASSERT_EQ(1, original.GetTransitionCount());
        EXPECT_EQ(1, original.GetTransition(0)->rtStart);
    }
}

// ---------------------------------------------------------------------------
// The object registry.

struct Registered {
    DWORD key;
    int payload;
};

unsigned __stdcall RegisterMany(void* p)
{
    Registered* items = (Registered*)p;
    for (int i = 0; i < 200; ++i)
        RegisterObject(&items[i]);
    return 0;
}

TEST(TimelineObjectRegistry, ObjectsAreFoundByTheirKey)
{
    Registered a = {NextObjectId(), 1}, b = {a.key, 2}, c = {NextObjectId(), 3};
    EXPECT_GT(c.key, a.key);
    RegisterObject(&a);
    RegisterObject(&c);
    RegisterObject(NULL);
    EXPECT_EQ(&a, LookupRegisteredObject(a.key));
    RegisterObject(&b);   // same key: replaces
    EXPECT_EQ(&b, LookupRegisteredObject(a.key));
    EXPECT_EQ(&c, LookupRegisteredObject(c.key));
    EXPECT_TRUE(UnregisterObject(c.key));
    EXPECT_FALSE(UnregisterObject(c.key));
    EXPECT_TRUE(LookupRegisteredObject(c.key) == NULL);
    // Threads registering at once lose nothing.
    static Registered many[4][200];
    HANDLE threads[4];
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 200; ++i)
            many[t][i] = {NextObjectId(), i};
        threads[t] = (HANDLE)_beginthreadex(NULL, 0, RegisterMany, many[t], 0, NULL);
    }
    WaitForMultipleObjects(4, threads, TRUE, 10000);
    for (int t = 0; t < 4; ++t) {
        CloseHandle(threads[t]);
        for (int i = 0; i < 200; ++i)
            ASSERT_EQ(&many[t][i], LookupRegisteredObject(many[t][i].key)) << t << "/" << i;
    }
}

} // namespace
