// The editing-services stand-in: node kinds and their interfaces, priorities,
// laying sources over others, effects, transitions, removal, searches,
// duration, the property setter and the factory.
#include "TimelineTestSupport.h"
#include "platform/dex/DexFactory.h"

namespace {

class DexTimelineTest : public ComTest {
protected:
    void SetUp() override
    {
        ComTest::SetUp();
        ASSERT_EQ(S_OK, DexCreate(CLSID_AMTimeline, &tl));
    }
    void TearDown() override
    {
        tl.Release();
        ComTest::TearDown();
    }
    // A group on the timeline holding one composition with `tracks` tracks.
    CComPtr<IAMTimelineObj> Track(int which = 0, int tracks = 1)
    {
        if (!comp) {
            group.Attach(NewNode(tl, TIMELINE_MAJOR_TYPE_GROUP).Detach());
            EXPECT_EQ(S_OK, tl->AddGroup(group));
            compObj.Attach(NewNode(tl, TIMELINE_MAJOR_TYPE_COMPOSITE).Detach());
            CComQIPtr<IAMTimelineComp> groupComp(group);
            EXPECT_EQ(S_OK, groupComp->VTrackInsBefore(compObj, -1));
            comp = compObj;
            for (int i = 0; i < tracks; ++i)
                EXPECT_EQ(S_OK, comp->VTrackInsBefore(NewNode(tl, TIMELINE_MAJOR_TYPE_TRACK), -1));
        }
        CComPtr<IAMTimelineObj> t;
        EXPECT_EQ(S_OK, comp->GetVTrack(&t, which));
        return t;
    }
    CComPtr<IAMTimeline> tl;
    CComPtr<IAMTimelineObj> group, compObj;
    CComQIPtr<IAMTimelineComp> comp;
};

TEST_F(DexTimelineTest, EachKindAnswersItsOwnInterfaces)
{
    struct Row {
        TIMELINE_MAJOR_TYPE type;
        bool group, comp, track, src, effectable, effect, transable, trans;
    } rows[] = {
        {TIMELINE_MAJOR_TYPE_GROUP, true, true, false, false, false, false, false, false},
        {TIMELINE_MAJOR_TYPE_COMPOSITE, false, true, false, false, true, false, true, false},
        {TIMELINE_MAJOR_TYPE_TRACK, false, false, true, false, true, false, true, false},
        {TIMELINE_MAJOR_TYPE_SOURCE, false, false, false, true, true, false, false, false},
        {TIMELINE_MAJOR_TYPE_EFFECT, false, false, false, false, false, true, false, false},
        {TIMELINE_MAJOR_TYPE_TRANSITION, false, false, false, false, false, false, false, true},
    };
    for (const Row& r : rows) {
        CComPtr<IAMTimelineObj> n = NewNode(tl, r.type);
        TIMELINE_MAJOR_TYPE type;
        n->GetTimelineType(&type);
        EXPECT_EQ(r.type, type);
        EXPECT_EQ(r.group, CComQIPtr<IAMTimelineGroup>(n) != NULL) << "type " << r.type;
        EXPECT_EQ(r.comp, CComQIPtr<IAMTimelineComp>(n) != NULL) << "type " << r.type;
        EXPECT_EQ(r.track, CComQIPtr<IAMTimelineTrack>(n) != NULL) << "type " << r.type;
        EXPECT_EQ(r.src, CComQIPtr<IAMTimelineSrc>(n) != NULL) << "type " << r.type;
        EXPECT_EQ(r.effectable, CComQIPtr<IAMTimelineEffectable>(n) != NULL) << "type " << r.type;
        EXPECT_EQ(r.effect, CComQIPtr<IAMTimelineEffect>(n) != NULL) << "type " << r.type;
        EXPECT_EQ(r.transable, CComQIPtr<IAMTimelineTransable>(n) != NULL) << "type " << r.type;
        EXPECT_EQ(r.trans, CComQIPtr<IAMTimelineTrans>(n) != NULL) << "type " << r.type;
    }
    CComPtr<IAMTimelineObj> bad;
    EXPECT_EQ(E_INVALIDARG, tl->CreateEmptyNode(&bad, (TIMELINE_MAJOR_TYPE)3));
}

TEST_F(DexTimelineTest, TrackPriorityIsThePositionInTheComposition)
{
    Track(0, 1);
    CComPtr<IAMTimelineObj> first;
    ASSERT_EQ(S_OK, comp->GetVTrack(&first, 0));
    ASSERT_EQ(S_OK, first->Remove());
    CComPtr<IAMTimelineObj> a = NewNode(tl, TIMELINE_MAJOR_TYPE_TRACK), b = NewNode(tl, TIMELINE_MAJOR_TYPE_TRACK),
                            c = NewNode(tl, TIMELINE_MAJOR_TYPE_TRACK), d = NewNode(tl, TIMELINE_MAJOR_TYPE_TRACK);
    ASSERT_EQ(S_OK, comp->VTrackInsBefore(a, -1));   // [a]
    ASSERT_EQ(S_OK, comp->VTrackInsBefore(b, 7));    // past the end appends: [a b]
    ASSERT_EQ(S_OK, comp->VTrackInsBefore(c, 0));    // [c a b]
    ASSERT_EQ(S_OK, comp->VTrackInsBefore(d, 2));    // [c a d b]
    IAMTimelineObj* expected[] = {c, a, d, b};
    for (long i = 0; i < 4; ++i) {
        CComPtr<IAMTimelineObj> at;
        ASSERT_EQ(S_OK, comp->GetVTrack(&at, i));
        EXPECT_EQ(expected[i], at.p) << "priority " << i;
        long priority = -1;
        CComQIPtr<IAMTimelineVirtualTrack>(at)->TrackGetPriority(&priority);
        EXPECT_EQ(i, priority);
    }
    // A track already placed, a source or the composition itself cannot be inserted.
    EXPECT_EQ(E_INVALIDARG, comp->VTrackInsBefore(a, 0));
    EXPECT_EQ(E_INVALIDARG, comp->VTrackInsBefore(NewNode(tl, TIMELINE_MAJOR_TYPE_SOURCE), 0));
    EXPECT_EQ(E_INVALIDARG, comp->VTrackInsBefore(compObj, 0));
    CComPtr<IAMTimelineObj> none;
    EXPECT_EQ(E_INVALIDARG, comp->GetVTrack(&none, 4));
    long groupPriority = -1;
    CComQIPtr<IAMTimelineGroup>(group)->GetPriority(&groupPriority);
    EXPECT_EQ(0, groupPriority);
}

// What adding an overlapping source does: the new one is laid over the others.
TEST_F(DexTimelineTest, AnOverlappingSourceIsLaidOverTheOthers)
{
    struct Row {
        const char* name;
        Span added;
        std::vector<Span> expected;
    } rows[] = {
        {"covers the old one", {0, 100, 0, 100}, {{0, 100, 0, 100}}},
        {"cuts its tail", {50, 150, 0, 100}, {{10, 50, 0, 40}, {50, 150, 0, 100}}},
        {"cuts its head", {0, 30, 0, 30}, {{0, 30, 0, 30}, {30, 90, 20, 80}}},
        {"falls inside it", {40, 60, 500, 520}, {{10, 40, 0, 30}, {40, 60, 500, 520}, {60, 90, 50, 80}}},
        {"touches it only", {90, 120, 0, 30}, {{10, 90, 0, 80}, {90, 120, 0, 30}}},
    };
    for (const Row& r : rows) {
        CComPtr<IAMTimeline> fresh;
        ASSERT_EQ(S_OK, DexCreate(CLSID_AMTimeline, &fresh));
        CComPtr<IAMTimelineObj> trackObj = NewNode(fresh, TIMELINE_MAJOR_TYPE_TRACK);
        CComQIPtr<IAMTimelineTrack> track(trackObj);
        ASSERT_EQ(S_OK, track->SrcAdd(NewSource(fresh, 10, 90, 0, 80)));
        ASSERT_EQ(S_OK, track->SrcAdd(NewSource(fresh, r.added.start, r.added.stop, r.added.mstart, r.added.mstop)));
        std::vector<Span> got = TrackSources(trackObj);
        ASSERT_EQ(r.expected.size(), got.size()) << r.name;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(r.expected[i].start, got[i].start) << r.name << " #" << i;
            EXPECT_EQ(r.expected[i].stop, got[i].stop) << r.name << " #" << i;
            EXPECT_EQ(r.expected[i].mstart, got[i].mstart) << r.name << " #" << i;
            EXPECT_EQ(r.expected[i].mstop, got[i].mstop) << r.name << " #" << i;
        }
    }
}

TEST_F(DexTimelineTest, StretchedSourceIsCutAtItsOwnRate)
{
    CComPtr<IAMTimelineObj> trackObj = Track();
    CComQIPtr<IAMTimelineTrack> track(trackObj);
    // 0..100 plays media 0..50 (half speed); a new source from 40 cuts it at media 20.
    ASSERT_EQ(S_OK, track->SrcAdd(NewSource(tl, 0, 100, 0, 50)));
    ASSERT_EQ(S_OK, track->SrcAdd(NewSource(tl, 40, 100, 0, 60)));
    std::vector<Span> got = TrackSources(trackObj);
    ASSERT_EQ(2u, got.size());
    EXPECT_EQ(40, got[0].stop);
    EXPECT_EQ(20, got[0].mstop);
}

TEST_F(DexTimelineTest, SourceSearchesAndWalk)
{
    CComPtr<IAMTimelineObj> trackObj = Track();
    CComQIPtr<IAMTimelineTrack> track(trackObj);
    ASSERT_EQ(S_OK, track->SrcAdd(NewSource(tl, 20, 30, 0, 10)));
    ASSERT_EQ(S_OK, track->SrcAdd(NewSource(tl, 0, 10, 0, 10)));   // added later, found first
    struct Row {
        LONGLONG time;
        long direction;
        LONGLONG expectedStart;   // -1: none
    } rows[] = {
        {5, DEXTERF_EXACTLY_AT, 0},   {10, DEXTERF_EXACTLY_AT, -1}, {15, DEXTERF_FORWARDS, 20},
        {15, DEXTERF_BACKWARDS, 0},   {25, DEXTERF_BACKWARDS, 20},  {35, DEXTERF_FORWARDS, -1},
        {20, DEXTERF_EXACTLY_AT, 20}, {9, DEXTERF_BACKWARDS, 0},
    };
    for (const Row& r : rows) {
        CComPtr<IAMTimelineObj> found;
        HRESULT hr = track->GetSrcAtTime(&found, r.time, r.direction);
        if (r.expectedStart < 0) {
            EXPECT_EQ(S_FALSE, hr) << "time " << r.time << " dir " << r.direction;
            EXPECT_TRUE(found == NULL);
            continue;
        }
        ASSERT_EQ(S_OK, hr) << "time " << r.time << " dir " << r.direction;
        LONGLONG s = 0, e = 0;
        found->GetStartStop(&s, &e);
        EXPECT_EQ(r.expectedStart, s) << "time " << r.time << " dir " << r.direction;
    }
    std::vector<Span> walk = TrackSources(trackObj);
    ASSERT_EQ(2u, walk.size());
    EXPECT_EQ(0, walk[0].start);
    EXPECT_EQ(20, walk[1].start);
    REFERENCE_TIME duration = 0;
    tl->GetDuration(&duration);
    EXPECT_EQ(30, duration);
}

// A source or transition of no length is refused where it is added; one given
// no length afterwards is passed over by the walks, which still end.
TEST_F(DexTimelineTest, NothingOfNoLengthIsAddedAndWalksPassOverIt)
{
    CComPtr<IAMTimelineObj> trackObj = Track();
    CComQIPtr<IAMTimelineTrack> track(trackObj);
    CComQIPtr<IAMTimelineTransable> transable(trackObj);
    EXPECT_EQ(E_INVALIDARG, track->SrcAdd(NewSource(tl, 10, 10, 0, 0)));
    CComPtr<IAMTimelineObj> flat = NewNode(tl, TIMELINE_MAJOR_TYPE_TRANSITION);
    ASSERT_EQ(S_OK, flat->SetStartStop(5, 5));
    EXPECT_EQ(E_INVALIDARG, transable->TransAdd(flat));
    long count = -1;
    track->GetSourcesCount(&count);
    EXPECT_EQ(0, count);
    transable->TransGetCount(&count);
    EXPECT_EQ(0, count);

    CComPtr<IAMTimelineObj> middle = NewSource(tl, 10, 20, 0, 10);
    ASSERT_EQ(S_OK, track->SrcAdd(NewSource(tl, 0, 10, 0, 10)));
    ASSERT_EQ(S_OK, track->SrcAdd(middle));
    ASSERT_EQ(S_OK, track->SrcAdd(NewSource(tl, 20, 30, 0, 10)));
    CComPtr<IAMTimelineObj> trans[3];
    for (int i = 0; i < 3; ++i) {
        trans[i].Attach(NewNode(tl, TIMELINE_MAJOR_TYPE_TRANSITION).Detach());
        ASSERT_EQ(S_OK, trans[i]->SetStartStop(i * 10 + 2, i * 10 + 4));
        ASSERT_EQ(S_OK, transable->TransAdd(trans[i]));
    }
    ASSERT_EQ(S_OK, middle->SetStartStop(10, 10));
    ASSERT_EQ(S_OK, trans[1]->SetStartStop(12, 12));
    std::vector<LONGLONG> sources, transitions;
    RunWithin(10000, "the walks of a track", [&] {
        REFERENCE_TIME at = 0;
        for (CComPtr<IAMTimelineObj> src; track->GetNextSrc(&src, &at) == S_OK; src.Release()) {
            LONGLONG s = 0, e = 0;
            src->GetStartStop(&s, &e);
            sources.push_back(s);
        }
        at = 0;
        for (CComPtr<IAMTimelineObj> tr; transable->GetNextTrans(&tr, &at) == S_OK; tr.Release()) {
            LONGLONG s = 0, e = 0;
            tr->GetStartStop(&s, &e);
            transitions.push_back(s);
        }
    });
    EXPECT_EQ((std::vector<LONGLONG>{0, 20}), sources);
    EXPECT_EQ((std::vector<LONGLONG>{2, 22}), transitions);
}

TEST_F(DexTimelineTest, EffectsHangInPriorityOrderWithTimesRelativeToTheirSource)
{
    CComPtr<IAMTimelineObj> src = NewSource(tl, Sec(10), Sec(20), 0, Sec(10));
    CComQIPtr<IAMTimelineEffectable> fxable(src);
    CComPtr<IAMTimelineObj> a = NewNode(tl, TIMELINE_MAJOR_TYPE_EFFECT), b = NewNode(tl, TIMELINE_MAJOR_TYPE_EFFECT);
    a->SetStartStop(Sec(1), Sec(2));
    b->SetStartStop(Sec(3), Sec(4));
    ASSERT_EQ(S_OK, fxable->EffectInsBefore(a, -1));
    ASSERT_EQ(S_OK, fxable->EffectInsBefore(b, 0));
    EXPECT_EQ(E_INVALIDARG, fxable->EffectInsBefore(a, -1));   // already placed
    long count = 0;
    fxable->EffectGetCount(&count);
    ASSERT_EQ(2, count);
    CComPtr<IAMTimelineObj> first;
    fxable->GetEffect(&first, 0);
    EXPECT_EQ(b.p, first.p);
    long priority = -1;
    CComQIPtr<IAMTimelineEffect>(a)->EffectGetPriority(&priority);
    EXPECT_EQ(1, priority);
    // Moving the source leaves the effect's own (relative) times alone.
    ASSERT_EQ(S_OK, src->SetStartStop(Sec(50), Sec(60)));
    LONGLONG s = 0, e = 0;
    a->GetStartStop(&s, &e);
    EXPECT_EQ(Sec(1), s);
    EXPECT_EQ(Sec(2), e);
}

TEST_F(DexTimelineTest, TransitionsUseTrackTimeAndMayNotOverlap)
{
    CComPtr<IAMTimelineObj> trackObj = Track();
    CComQIPtr<IAMTimelineTransable> transable(trackObj);
    CComPtr<IAMTimelineObj> t1 = NewNode(tl, TIMELINE_MAJOR_TYPE_TRANSITION), t2 = NewNode(tl, TIMELINE_MAJOR_TYPE_TRANSITION),
                            t3 = NewNode(tl, TIMELINE_MAJOR_TYPE_TRANSITION);
    t1->SetStartStop(Sec(40), Sec(42));
    t2->SetStartStop(Sec(10), Sec(12));
    t3->SetStartStop(Sec(41), Sec(43));
    ASSERT_EQ(S_OK, transable->TransAdd(t1));
    ASSERT_EQ(S_OK, transable->TransAdd(t2));
    EXPECT_EQ(E_INVALIDARG, transable->TransAdd(t3));
    long count = 0;
    transable->TransGetCount(&count);
    EXPECT_EQ(2, count);
    REFERENCE_TIME t = 0;
    CComPtr<IAMTimelineObj> next;
    ASSERT_EQ(S_OK, transable->GetNextTrans(&next, &t));
    EXPECT_EQ(t2.p, next.p);
    EXPECT_EQ(Sec(12), t);
    CComPtr<IAMTimelineObj> at;
    ASSERT_EQ(S_OK, transable->GetTransAtTime(&at, Sec(41), DEXTERF_EXACTLY_AT));
    EXPECT_EQ(t1.p, at.p);
    REFERENCE_TIME duration = 0;
    tl->GetDuration(&duration);
    EXPECT_EQ(Sec(42), duration);   // transitions count towards the length
}

// Remove takes one node out with its own children; RemoveAll takes the subtree apart.
TEST_F(DexTimelineTest, RemoveKeepsChildrenRemoveAllTakesThemApart)
{
    for (int removeAll = 0; removeAll < 2; ++removeAll) {
        CComPtr<IAMTimelineObj> trackObj = NewNode(tl, TIMELINE_MAJOR_TYPE_TRACK);
        CComPtr<IAMTimelineObj> src = NewSource(tl, 0, 10, 0, 10);
        CComPtr<IAMTimelineObj> fx = NewNode(tl, TIMELINE_MAJOR_TYPE_EFFECT);
        ASSERT_EQ(S_OK, CComQIPtr<IAMTimelineEffectable>(src)->EffectInsBefore(fx, -1));
        ASSERT_EQ(S_OK, CComQIPtr<IAMTimelineTrack>(trackObj)->SrcAdd(src));
        ASSERT_EQ(S_OK, removeAll ? src->RemoveAll() : src->Remove());
        long sources = -1, effects = -1;
        CComQIPtr<IAMTimelineTrack>(trackObj)->GetSourcesCount(&sources);
        CComQIPtr<IAMTimelineEffectable>(src)->EffectGetCount(&effects);
        EXPECT_EQ(0, sources) << "removeAll " << removeAll;
        EXPECT_EQ(removeAll ? 0 : 1, effects) << "removeAll " << removeAll;
        // Taken out, the source can join another track.
        CComPtr<IAMTimelineObj> other = NewNode(tl, TIMELINE_MAJOR_TYPE_TRACK);
        EXPECT_EQ(S_OK, CComQIPtr<IAMTimelineTrack>(other)->SrcAdd(src));
    }
}

TEST_F(DexTimelineTest, GroupsRemovedAndClearedLeaveTheTimeline)
{
    CComPtr<IAMTimelineObj> g1 = NewNode(tl, TIMELINE_MAJOR_TYPE_GROUP), g2 = NewNode(tl, TIMELINE_MAJOR_TYPE_GROUP);
    ASSERT_EQ(S_OK, tl->AddGroup(g1));
    ASSERT_EQ(S_OK, tl->AddGroup(g2));
    EXPECT_EQ(E_INVALIDARG, tl->AddGroup(g1));
    EXPECT_EQ(E_INVALIDARG, tl->AddGroup(NewNode(tl, TIMELINE_MAJOR_TYPE_TRACK)));
    CComPtr<IAMTimeline> other;
    ASSERT_EQ(S_OK, DexCreate(CLSID_AMTimeline, &other));
    EXPECT_EQ(E_INVALIDARG, other->AddGroup(NewNode(tl, TIMELINE_MAJOR_TYPE_GROUP)));
    ASSERT_EQ(S_OK, g1->RemoveAll());
    long count = 0;
    tl->GetGroupCount(&count);
    ASSERT_EQ(1, count);
    CComPtr<IAMTimelineObj> first;
    tl->GetGroup(&first, 0);
    EXPECT_EQ(g2.p, first.p);
    ASSERT_EQ(S_OK, tl->ClearAllGroups());
    tl->GetGroupCount(&count);
    EXPECT_EQ(0, count);
}

TEST_F(DexTimelineTest, GroupKeepsItsMediaTypeNameAndRate)
{
    CComPtr<IAMTimelineObj> g = NewNode(tl, TIMELINE_MAJOR_TYPE_GROUP);
    CComQIPtr<IAMTimelineGroup> group(g);
    WAVEFORMATEX wfx = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    AM_MEDIA_TYPE mt = {};
    mt.majortype = MEDIATYPE_Audio;
    mt.formattype = FORMAT_WaveFormatEx;
    mt.cbFormat = sizeof(wfx);
    mt.pbFormat = (BYTE*)&wfx;
    ASSERT_EQ(S_OK, group->SetMediaType(&mt));
    wfx.nSamplesPerSec = 1;   // the group holds its own copy
    AM_MEDIA_TYPE out = {};
    ASSERT_EQ(S_OK, group->GetMediaType(&out));
    ASSERT_EQ(sizeof(WAVEFORMATEX), out.cbFormat);
    EXPECT_EQ(44100u, ((WAVEFORMATEX*)out.pbFormat)->nSamplesPerSec);
    CoTaskMemFree(out.pbFormat);
    BSTR name = SysAllocString(L"Audio Group");
    group->SetGroupName(name);
    SysFreeString(name);
    BSTR back = NULL;
    group->GetGroupName(&back);
    EXPECT_STREQ(L"Audio Group", back);
    SysFreeString(back);
    EXPECT_EQ(E_INVALIDARG, group->SetOutputFPS(0));
    double fps = 0;
    group->SetOutputFPS(10.0);
    group->GetOutputFPS(&fps);
    EXPECT_EQ(10.0, fps);
}

TEST_F(DexTimelineTest, PropertySetterAddsGetsClonesAndClears)
{
    CComPtr<IPropertySetter> setter;
    ASSERT_EQ(S_OK, DexCreate(CLSID_PropertySetter, &setter));
    DEXTER_PARAM p = {SysAllocString(L"Vol"), 0, 3};
    DEXTER_VALUE v[3] = {};
    double levels[3] = {1.0, 0.5, 0.25};
    LONGLONG times[3] = {0, Sec(2), Sec(4)};
    for (int i = 0; i < 3; ++i) {
        v[i].v.vt = VT_R8;
        v[i].v.dblVal = levels[i];
        v[i].rt = times[i];
    }
    ASSERT_EQ(S_OK, setter->AddProp(p, v));
    SysFreeString(p.name);
    // The copy from 3 s on starts with the level in force at 3 s.
    CComPtr<IPropertySetter> copy;
    ASSERT_EQ(S_OK, setter->CloneProps(&copy, Sec(3), Sec(10)));
    LONG count = 0;
    DEXTER_PARAM* params = NULL;
    DEXTER_VALUE* values = NULL;
    ASSERT_EQ(S_OK, copy->GetProps(&count, &params, &values));
    ASSERT_EQ(1, count);
    EXPECT_STREQ(L"Vol", params[0].name);
    ASSERT_EQ(2, params[0].nValues);
    EXPECT_EQ(0, values[0].rt);
    EXPECT_EQ(0.5, values[0].v.dblVal);
    EXPECT_EQ(Sec(1), values[1].rt);
    EXPECT_EQ(0.25, values[1].v.dblVal);
    copy->FreeProps(count, params, values);
    ASSERT_EQ(S_OK, setter->ClearProps());
    setter->GetProps(&count, &params, &values);
    EXPECT_EQ(0, count);
}

HRESULT FakeTimelineRefused(REFIID, void** ppv)
{
    *ppv = NULL;
    return E_ACCESSDENIED;
}

TEST_F(DexTimelineTest, FactoryTakesInjectedClassesAndPassesOthersOn)
{
    EXPECT_EQ(NULL, DexSetClassFactory(CLSID_AMTimeline, FakeTimelineRefused));
    CComPtr<IAMTimeline> t;
    EXPECT_EQ(E_ACCESSDENIED, DexCreate(CLSID_AMTimeline, &t));
    EXPECT_EQ(FakeTimelineRefused, DexSetClassFactory(CLSID_AMTimeline, NULL));
    EXPECT_EQ(S_OK, DexCreate(CLSID_AMTimeline, &t));
    // Other classes come from the system: Wine's filter graph is real.
    CComPtr<IGraphBuilder> graph;
    EXPECT_EQ(S_OK, DexCreate(CLSID_FilterGraph, &graph));
}

} // namespace

namespace {

class DexFixTimesTest : public DexTimelineTest {};

// Times go to the nearest frame boundary of the group's output rate (the
// timeline's default rate for a node outside any group); halves round up,
// negative times alike, either pointer may be null.
TEST_F(DexFixTimesTest, TimesSnapToTheNearestFrameOfTheRate)
{
    CComPtr<IAMTimelineObj> track = Track();
    CComQIPtr<IAMTimelineGroup> grp(group);
    CComPtr<IAMTimelineObj> loose = NewNode(tl, TIMELINE_MAJOR_TYPE_SOURCE);
    ASSERT_EQ(S_OK, tl->SetDefaultFPS(15.0));
    struct Case {
        double fps;      // group rate; 0: the node outside the group
        LONGLONG in, out;
    } cases[] = {
        {10.0, 14400000, 14000000},   {10.0, 25600000, 26000000},  {10.0, 500000, 1000000},
        {10.0, 499999, 0},            {10.0, -1400000, -1000000},  {10.0, 0, 0},
        {30.0, 1, 0},                 {30.0, 166667, 333333},       {30.0, 10000000, 10000000},
        {29.97, 10000000, 10010010},  {0, 1000000, 1333333},        {0, 10000000, 10000000},
    };
    for (const Case& c : cases) {
        IAMTimelineObj* node = c.fps > 0 ? track.p : loose.p;
        if (c.fps > 0) {
            ASSERT_EQ(S_OK, grp->SetOutputFPS(c.fps));
        }
        REFERENCE_TIME start = c.in, stop = c.in;
        EXPECT_EQ(S_OK, node->FixTimes(&start, &stop)) << c.fps << " " << c.in;
        EXPECT_EQ(c.out, start) << c.fps << " fps, " << c.in;
        EXPECT_EQ(c.out, stop) << c.fps << " fps, " << c.in;
        REFERENCE_TIME only = c.in;
        EXPECT_EQ(S_OK, node->FixTimes(NULL, &only));
        EXPECT_EQ(c.out, only);
    }
    ASSERT_EQ(S_OK, grp->SetOutputFPS(10.0));
    REFTIME s2 = 1.44, e2 = 2.96;
    EXPECT_EQ(S_OK, track->FixTimes2(&s2, &e2));
    EXPECT_EQ(14000000, (LONGLONG)(s2 * 1e7 + 0.5));
    EXPECT_EQ(30000000, (LONGLONG)(e2 * 1e7 + 0.5));
}

}  // namespace
