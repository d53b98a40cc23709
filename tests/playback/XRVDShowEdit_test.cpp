// The facade's clip lookups over a timeline of tracks (no media needed:
// sources are only named), its overlay list, the volume-envelope key, and
// the VMR-7 rebuild of UpdateGraph, which happens at most once.
#include "UiTestUtil.h"
#include "TimelineTestSupport.h"

#include "XRVDirectShow/XRVDShow.h"
#include "overlays/OverlayText.h"
#include "platform/dex/DexFactory.h"

#include <vector>

namespace {

LONGLONG S(double seconds) { return (LONGLONG)(seconds * 10000000.0 + 0.5); }

class FacadeEditTest : public ComTest {
protected:
    // Video tracks in this order, one source each over [start, stop) seconds,
    // at 10 frames a second.
    void Tracks(XRVDShow& facade, const std::vector<std::pair<double, double>>& spans)
    {
        XRVDSTimeline* t = facade.GetTimeline();
        ASSERT_EQ(S_OK, t->SetVideoGroupFormat(320, 240, 10.0));
        CComPtr<IAMTimelineComp> comp;
        ASSERT_EQ(S_OK, t->GetVideoComp(&comp, t->GetVideoCompNum()));
        for (const auto& span : spans) {
            CComPtr<IAMTimelineTrack> track;
            ASSERT_EQ(S_OK, t->AddTrackToComp(comp, &track));
            BSTR name = SysAllocString(L"C:\\clip.avi");
            ASSERT_EQ(S_OK, t->AddSourceToTrack(track, name, S(span.first), S(span.second), 0,
                                                S(span.second - span.first), TRUE));
            SysFreeString(name);
        }
    }
};

TEST_F(FacadeEditTest, ClipAtTimeFollowsStartOrderAndFramesAndAnswersNone)
{
    XRVDShow facade(TRUE);
    // Track 0 plays second, track 1 first.
    Tracks(facade, {{2, 3}, {0, 2}, {3, 5}});
    ASSERT_EQ(S(5), facade.GetDuration());
    struct Case {
        double at;
        int clip;
    } cases[] = {
        {0, 0}, {1.95, 0}, {2.0, 1}, {2.99, 1}, {3.0, 2}, {4.99, 2}, {5.0, -1}, {6, -1}, {-1, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.clip, facade.GetClipIndexAtTime(0, S(c.at))) << c.at << " s";
    EXPECT_EQ(-1, facade.GetClipIndexAtTime(1, S(1))) << "no audio clips";
    EXPECT_EQ(-1, facade.GetClipIndexAtTime(7, S(1))) << "no such kind";
    XRVDShow empty(TRUE);
    EXPECT_EQ(-1, empty.GetClipIndexAtTime(0, 0)) << "no tracks";
    empty.SetTimeline(NULL, TRUE);
    EXPECT_EQ(-1, empty.GetClipIndexAtTime(0, 0)) << "no timeline";
}

// Tracks that start together are all reachable, in track order.
TEST_F(FacadeEditTest, TrackOfClipOrdersByStartThenTrack)
{
    XRVDShow facade(TRUE);
    Tracks(facade, {{1, 2}, {0, 1}, {1, 3}, {0, 0.5}});
    struct Case {
        int n;
        HRESULT hr;
        int track;
    } cases[] = {{0, S_OK, 1}, {1, S_OK, 3}, {2, S_OK, 0}, {3, S_OK, 2}, {4, E_FAIL, -1}, {-1, E_FAIL, -1}};
    EXPECT_EQ(4, facade.GetClipCount(0));
    for (const Case& c : cases) {
        int track = 99;
        EXPECT_EQ(c.hr, facade.GetTrackOfClip(0, c.n, &track)) << c.n;
        EXPECT_EQ(c.track, track) << c.n;
        if (c.hr == S_OK) {
            int back = -1;
            EXPECT_EQ(S_OK, facade.GetClipOfTrack(0, c.track, &back));
            EXPECT_EQ(c.n, back) << "the inverse of " << c.n;
        }
    }
    EXPECT_EQ(E_FAIL, facade.GetTrackOfClip(0, 0, NULL));
}

TEST_F(FacadeEditTest, OverlaysMoveWithinTheList)
{
    XRVDShow facade(TRUE);
    COverlay* text1 = new COverlayText;
    COverlay* text2 = new COverlayText;
    COverlay* image = new COverlayText;
    image->m_overlayFlags = 1;   // counts as an image overlay
    text1->SetStart(S(1));
    text1->SetEnd(S(3));
    LONGLONG length = 0;
    ASSERT_EQ(S_OK, facade.InsertOverlayFirst(text1, &length));
    EXPECT_EQ(S(2), length);
    text2->SetStart(S(3));
    text2->SetEnd(S(1));
    ASSERT_EQ(S_OK, facade.InsertOverlayFirst(text2, &length));
    EXPECT_EQ(0, length) << "a negative span counts 0";
    // No image overlays: "behind the images" is the front.
    EXPECT_EQ(S_OK, facade.MoveOverlayBehindImages(text1));
    EXPECT_EQ(text1, facade.GetOverlay(0));
    ASSERT_EQ(S_OK, facade.InsertOverlayFirst(image, NULL));
    EXPECT_EQ(1, facade.CountOverlays(1));
    EXPECT_EQ(S_OK, facade.MoveOverlayBehindImages(text2));
    EXPECT_EQ(text2, facade.GetOverlay(0)) << "behind the one image overlay";
    struct Case {
        int index;
        int lands;
    } cases[] = {{-5, 0}, {1, 1}, {2, 2}, {50, 2}};
    for (const Case& c : cases) {
        EXPECT_EQ(S_OK, facade.MoveOverlay(text1, c.index)) << c.index;
        EXPECT_EQ(text1, facade.GetOverlay(c.lands)) << c.index;
        EXPECT_EQ(NULL, facade.GetOverlay(3));
    }
    COverlayText stranger;
    EXPECT_EQ(E_FAIL, facade.MoveOverlay(&stranger, 0)) << "not in the list";
    EXPECT_EQ(S_OK, facade.RemoveOverlay(image->m_overlayId, TRUE));
    EXPECT_EQ(E_FAIL, facade.RemoveOverlay(-12345, TRUE));
    EXPECT_EQ(0, facade.CountOverlays(1));
}

// Lookups by time use the drawing rule: [Start - FadeIn, End + FadeOut)
// while fading applies, else [Start, End); by id finds only what the list
// holds. Without a timeline they fail.
TEST_F(FacadeEditTest, OverlayLookupsByTimeFollowTheDrawingRule)
{
    XRVDShow facade(TRUE);
    // Flags 4 (as spotlights) for two, 1 (an image) for the third; a text
    // of flags 0 matches no mask.
    COverlay* plain = new COverlayText;   // [1, 2)
    plain->m_overlayFlags = 4;
    plain->SetStart(S(1));
    plain->SetEnd(S(2));
    COverlay* faded = new COverlayText;   // [0.5, 2.5) with its fades
    faded->m_overlayFlags = 4;
    faded->SetStart(S(1));
    faded->SetEnd(S(2));
    faded->m_fadeIn = S(0.5);
    faded->m_fadeOut = S(0.5);
    COverlay* image = new COverlayText;   // fades switched off: [1, 2)
    image->m_overlayFlags = 1;
    image->SetStart(S(1));
    image->SetEnd(S(2));
    image->m_fadeIn = S(0.5);
    image->m_fadeOut = S(0.5);
    image->m_disableFading = 1;
    COverlay* unflagged = new COverlayText;   // [1, 2), flags 0
    unflagged->SetStart(S(1));
    unflagged->SetEnd(S(2));
    // List order: plain, faded, unflagged, image.
    for (COverlay* o : {image, unflagged, faded, plain})
        ASSERT_EQ(S_OK, facade.InsertOverlayFirst(o, NULL));
    struct Case {
        double at;
        int count;
        COverlay* first;   // the first active one with flags 1 or 4
        COverlay* second;
        COverlay* firstImage;
    } cases[] = {
        {0.49, 0, NULL, NULL, NULL},    {0.5, 1, faded, NULL, NULL},   {0.99, 1, faded, NULL, NULL},
        {1.0, 4, plain, faded, image}, {1.99, 4, plain, faded, image}, {2.0, 1, faded, NULL, NULL},
        {2.49, 1, faded, NULL, NULL},  {2.5, 0, NULL, NULL, NULL},
    };
    for (const Case& c : cases) {
        int count = -1;
        EXPECT_EQ(S_OK, facade.GetOverlayCountAtTime(S(c.at), &count)) << c.at;
        EXPECT_EQ(c.count, count) << c.at;
        COverlay* got = NULL;
        EXPECT_EQ(c.first ? S_OK : E_FAIL, facade.GetOverlayAtTime(S(c.at), 0, 5, &got)) << c.at;
        EXPECT_EQ(c.first, got) << c.at;
        EXPECT_EQ(c.second ? S_OK : E_FAIL, facade.GetOverlayAtTime(S(c.at), 1, 4, &got)) << c.at;
        EXPECT_EQ(c.second, got) << c.at;
        EXPECT_EQ(c.firstImage ? S_OK : E_FAIL, facade.GetOverlayAtTime(S(c.at), 0, 1, &got)) << c.at;
        EXPECT_EQ(c.firstImage, got) << c.at;
    }
    COverlay* got = NULL;
    EXPECT_EQ(E_FAIL, facade.GetOverlayAtTime(S(1), -1, 5, &got));
    EXPECT_EQ(E_FAIL, facade.GetOverlayAtTime(S(1), 0, 2, &got)) << "no overlay has flag 2";
    EXPECT_EQ(E_POINTER, facade.GetOverlayAtTime(S(1), 0, 5, NULL));
    EXPECT_EQ(S_OK, facade.GetOverlayById(&got, faded->m_overlayId));
    EXPECT_EQ(faded, got);
    EXPECT_EQ(E_FAIL, facade.GetOverlayById(&got, -7));
    EXPECT_EQ(NULL, got);
    EXPECT_EQ(S_OK, facade.RemoveOverlay(faded->m_overlayId, FALSE)) << "given back, not deleted";
    EXPECT_EQ(E_FAIL, facade.GetOverlayById(&got, faded->m_overlayId));
    delete faded;

    XRVDShow bare(FALSE);
    int count = -1;
    EXPECT_EQ(E_FAIL, bare.GetOverlayCountAtTime(S(1), &count));
    EXPECT_EQ(0, count);
    EXPECT_EQ(E_FAIL, bare.GetOverlayById(&got, 0));
    EXPECT_EQ(E_FAIL, bare.SetOverlayValue(1, 0));
    EXPECT_EQ(S_OK, facade.SetOverlayValue(0, 0));
}

std::vector<std::pair<LONGLONG, double>> VolumeKeys(IPropertySetter* setter, LONG* paramCount)
{
    std::vector<std::pair<LONGLONG, double>> keys;
    LONG count = 0;
    DEXTER_PARAM* params = NULL;
    DEXTER_VALUE* values = NULL;
    if (FAILED(setter->GetProps(&count, &params, &values)))
        return keys;
    *paramCount = count;
    LONG offset = 0;
    for (LONG p = 0; p < count; ++p) {
        for (LONG v = 0; v < params[p].nValues; ++v) {
            if (_wcsicmp(params[p].name, L"Vol") == 0) {
                VARIANT d;
                VariantInit(&d);
                VariantChangeType(&d, &values[offset + v].v, 0, VT_R8);
                keys.push_back({values[offset + v].rt, d.dblVal});
            }
        }
        offset += params[p].nValues;
    }
    setter->FreeProps(count, params, values);
    return keys;
}

// Keys stay in time order; a key at an existing time replaces it and leaves
// no extra entry; other parameters survive.
TEST_F(FacadeEditTest, VolumeKeysReplaceOrInsertInOrder)
{
    CComPtr<IPropertySetter> setter;
    ASSERT_EQ(S_OK, DexCreate(CLSID_PropertySetter, &setter));
    DEXTER_PARAM other = {SysAllocString(L"Other"), 0, 1};
    DEXTER_VALUE otherValue = {};
    otherValue.v.vt = VT_I4;
    otherValue.v.lVal = 7;
    ASSERT_EQ(S_OK, setter->AddProp(other, &otherValue));
    SysFreeString(other.name);
    struct Step {
        double at, level;
        std::vector<std::pair<double, double>> keys;
    } steps[] = {
        {2, 0.5, {{2, 0.5}}},
        {1, 1.0, {{1, 1.0}, {2, 0.5}}},
        {3, 0.25, {{1, 1.0}, {2, 0.5}, {3, 0.25}}},
        {2, 0.75, {{1, 1.0}, {2, 0.75}, {3, 0.25}}},
        {0, 0.0, {{0, 0.0}, {1, 1.0}, {2, 0.75}, {3, 0.25}}},
    };
    for (const Step& s : steps) {
        ASSERT_EQ(S_OK, XRVDShow::SetVolumeKeyAtTime(setter, S(s.at), s.level, FALSE)) << s.at;
        LONG params = 0;
        const auto keys = VolumeKeys(setter, &params);
        EXPECT_EQ(2, params) << "Vol and Other";
        ASSERT_EQ(s.keys.size(), keys.size()) << "after the key at " << s.at;
        for (size_t i = 0; i < keys.size(); ++i) {
            EXPECT_EQ(S(s.keys[i].first), keys[i].first) << s.at << " #" << i;
            EXPECT_EQ(s.keys[i].second, keys[i].second) << s.at << " #" << i;
        }
    }
    EXPECT_EQ(E_FAIL, XRVDShow::SetVolumeKeyAtTime(NULL, 0, 1.0, FALSE));
}

// A VMR-7 configuration that reports `prefs` and counts what is set.
class CFakeVmrConfig : public IVMRFilterConfig {
public:
    explicit CFakeVmrConfig(DWORD prefs, bool honours) : m_prefs(prefs), m_honours(honours) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IVMRFilterConfig)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SetImageCompositor(IVMRImageCompositor*) override { return E_NOTIMPL; }
    STDMETHODIMP SetNumberOfStreams(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetNumberOfStreams(DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP SetRenderingPrefs(DWORD prefs) override
    {
        ++sets;
        if (m_honours)
            m_prefs = prefs;
        return S_OK;
    }
    STDMETHODIMP GetRenderingPrefs(DWORD* prefs) override
    {
        *prefs = m_prefs;
        return S_OK;
    }
    STDMETHODIMP SetRenderingMode(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetRenderingMode(DWORD*) override { return E_NOTIMPL; }
    int sets = 0;

private:
    DWORD m_prefs;
    bool m_honours;
};

class CCountingTimeline : public XRVDSTimeline {
public:
    CCountingTimeline() : XRVDSTimeline(TRUE, TRUE) {}
    HRESULT UpdateFilterGraph(BOOL, BOOL) override
    {
        ++updates;
        return S_OK;
    }
    int updates = 0;
};

TEST_F(FacadeEditTest, Vmr7OffscreenRebuildRunsAtMostOnce)
{
    struct Case {
        const char* what;
        DWORD prefs;
        bool honours;
        int flag;
        int updates, sets;
    } cases[] = {
        {"preference set once, then seen", 0, true, 0, 2, 1},
        {"a renderer that never reports it", 0, false, 0, 2, 1},
        {"already off-screen", RenderPrefs_ForceOffscreen, true, 0, 1, 0},
        {"a reconnect-only update", 0, true, 1, 1, 0},
    };
    for (const Case& c : cases) {
        XRVDShow facade(FALSE);
        CCountingTimeline* timeline = new CCountingTimeline;
        facade.SetTimeline(timeline, TRUE);
        CFakeVmrConfig config(c.prefs, c.honours);
        timeline->m_pVMR9.Release();
        timeline->m_pVMR7.Release();
        timeline->m_pVMR7.p = reinterpret_cast<IBaseFilter*>(static_cast<IUnknown*>(&config));
        timeline->m_nRendererMode = 1;
        EXPECT_EQ(S_OK, facade.UpdateGraph(c.flag)) << c.what;
        EXPECT_EQ(c.updates, timeline->updates) << c.what;
        EXPECT_EQ(c.sets, config.sets) << c.what;
        timeline->m_pVMR7.p = NULL;
    }
}

}  // namespace
