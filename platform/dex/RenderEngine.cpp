#include "platform/dex/RenderEngine.h"
#include "platform/dex/FramePlacement.h"
#include "platform/dex/MediaReader.h"
#include "platform/filters/SourceStream.h"
#include "overlays/SoftTransitions.h"

#include <math.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

// {B7C5D3A2-6E2F-4C8B-9A47-1D2E3F405162}: the front-end filter.
const CLSID CLSID_DexFrontEnd = {0xb7c5d3a2, 0x6e2f, 0x4c8b, {0x9a, 0x47, 0x1d, 0x2e, 0x3f, 0x40, 0x51, 0x62}};

const int kAudioChunksPerSecond = 10;

// A point of a "Vol" envelope: from `time` (timeline time) the gain is
// `gain` (1.0 = 65536), or, when the next point interpolates, it moves
// linearly towards the next point's gain.
struct VolPoint {
    REFERENCE_TIME time;
    LONGLONG gain;
    BOOL interpolate;   // this point is reached linearly from the one before
};

struct Clip {
    REFERENCE_TIME tStart, tStop, mStart, mStop;
    int reader;     // index into the plan's readers, -1 for none (black, silence)
    int stream;     // the reader's stream
    int stretch;
    std::vector<VolPoint> vol;   // audio: the envelope of the clip's effects, in time order
};

// The gain of the envelope at timeline time t (65536 = unchanged).
LONGLONG GainAt(const std::vector<VolPoint>& vol, REFERENCE_TIME t)
{
    if (vol.empty())
        return 65536;
    size_t i = 0;
    while (i + 1 < vol.size() && vol[i + 1].time <= t)
        ++i;
    if (t < vol[0].time)
        return vol[0].gain;
    if (i + 1 < vol.size() && vol[i + 1].interpolate && vol[i + 1].time > vol[i].time) {
        LONGLONG span = vol[i + 1].time - vol[i].time;
        LONGLONG delta = vol[i + 1].gain - vol[i].gain;
        LONGLONG step = MulDiv64(t - vol[i].time, delta < 0 ? -delta : delta, span);
        return vol[i].gain + (delta < 0 ? -step : step);
    }
    return vol[i].gain;
}

// A transition on a layer: over [tStart, tStop) the layer's picture comes
// in over what the layers below show, by a software routine; a transform
// without one (or a cuts-only transition) cuts at the cut point.
struct Transition {
    REFERENCE_TIME tStart, tStop;
    REFERENCE_TIME cut;                     // timeline time of the cut
    const SoftTransitionRoutine* routine;   // null: a cut
    BOOL swap;                              // the layer goes out instead of coming in
};

// A track's clips and transitions. A composition's transitions go on a
// layer of their own after the composition's tracks: compBase is then the
// composition's first layer, and the transition blends what the layers
// below the composition show with what the composition shows.
struct Layer {
    std::vector<Clip> clips;               // in time order
    std::vector<Transition> transitions;   // in time order
    size_t compBase = (size_t)-1;          // set on a composition's layer
    bool IsComposition() const { return compBase != (size_t)-1; }
};

const Clip* ClipAt(const Layer& layer, REFERENCE_TIME t)
{
    for (const Clip& c : layer.clips)
        if (c.tStart <= t && t < c.tStop)
            return &c;
    return NULL;
}

const Transition* TransitionAt(const Layer& layer, REFERENCE_TIME t)
{
    for (const Transition& x : layer.transitions)
        if (x.tStart <= t && t < x.tStop)
            return &x;
    return NULL;
}

// Progress of a transition at t, from the frame's start: 0 at its start,
// reaching 1 only past its end. Both operands are exact integers; the
// quotient reaches the routine as a double argument, rounded alike in every
// build.
double TransitionProgress(const Transition& x, REFERENCE_TIME t)
{
    return (double)(t - x.tStart) / (double)(x.tStop - x.tStart);
}

// Copies a bottom-up frame into a top-down one (or back: the flip is its own
// inverse).
void FlipRows(const BYTE* src, BYTE* dst, LONG w, LONG h)
{
    const size_t stride = (size_t)w * 4;
    for (LONG y = 0; y < h; ++y)
        memcpy(dst + stride * (size_t)(h - 1 - y), src + stride * (size_t)y, stride);
}

// What one group renders.
struct GroupPlan {
    BOOL video;
    AM_MEDIA_TYPE mt;          // as the pin offers it
    DWORD rateNum, rateDen;    // video frames per second as a fraction
    std::vector<Layer> layers; // lowest priority first
    REFERENCE_TIME length;
};

// The readers and groups of one front end; shared by its pins.
struct RenderPlan {
    std::vector<std::unique_ptr<CMediaReader>> readers;
    std::vector<GroupPlan> groups;
    CDsLock readerLock;
    ~RenderPlan()
    {
        for (GroupPlan& g : groups)
            DsFreeMediaType(&g.mt);
    }
};

// A double frame rate as a fraction (to 1/1000 frame per second).
void RateFraction(double fps, DWORD* num, DWORD* den)
{
    if (fps <= 0)
        fps = 15.0;
    LONGLONG milli = (LONGLONG)floor(fps * 1000.0 + 0.5);
    if (milli % 1000 == 0) {
        *num = (DWORD)(milli / 1000);
        *den = 1;
    } else {
        *num = (DWORD)milli;
        *den = 1000;
    }
}

// Media time of timeline time t within the clip.
REFERENCE_TIME MediaTimeAt(const Clip& c, REFERENCE_TIME t)
{
    REFERENCE_TIME tLen = c.tStop - c.tStart;
    REFERENCE_TIME mLen = c.mStop - c.mStart;
    if (tLen == mLen)
        return c.mStart + (t - c.tStart);
    return c.mStart + MulDiv64(t - c.tStart, mLen, tLen);
}

LONG FrameAtTime(const MediaStreamInfo& s, REFERENCE_TIME m)
{
    if (s.still || s.rateNum == 0 || m <= 0)
        return 0;
    LONGLONG k = MulDiv64(m, s.rateNum, (LONGLONG)s.rateDen * 10000000);
    while (k > 0 && FrameStartTime(k, s.rateNum, s.rateDen) > m)
        --k;
    while (FrameStartTime(k + 1, s.rateNum, s.rateDen) <= m)
        ++k;
    return (LONG)k;
}

class CFrontEndFilter;

class CGroupPin : public CSourceStreamPin {
public:
    CGroupPin(CFrontEndFilter* owner, int group, LPCWSTR name);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override
    {
        return DsMediaTypeEquals(mt, &Plan().mt) ? S_OK : S_FALSE;
    }
    HRESULT GetMediaType(int index, AM_MEDIA_TYPE* mt) override
    {
        if (index != 0)
            return VFW_S_NO_MORE_ITEMS;
        return DsCopyMediaType(mt, &Plan().mt);
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override
    {
        long bytes = BufferBytes();
        request->cBuffers = request->cBuffers < 3 ? 3 : request->cBuffers;
        request->cbBuffer = request->cbBuffer < bytes ? bytes : request->cbBuffer;
        request->cbAlign = request->cbAlign < 1 ? 1 : request->cbAlign;
        ALLOCATOR_PROPERTIES actual;
        HRESULT hr = allocator->SetProperties(request, &actual);
        if (FAILED(hr))
            return hr;
        return actual.cbBuffer < bytes ? E_FAIL : S_OK;
    }
    REFERENCE_TIME Duration() override;
    HRESULT OnSeek(REFERENCE_TIME start) override;
    HRESULT FillBuffer(IMediaSample* sample) override;

private:
    const GroupPlan& Plan() const;
    long BufferBytes() const
    {
        const AM_MEDIA_TYPE& mt = Plan().mt;
        if (Plan().video)
            return (long)((const VIDEOINFOHEADER*)mt.pbFormat)->bmiHeader.biSizeImage;
        const WAVEFORMATEX* w = (const WAVEFORMATEX*)mt.pbFormat;
        return (long)(w->nSamplesPerSec / kAudioChunksPerSecond + 1) * w->nBlockAlign;
    }
    HRESULT FillVideo(IMediaSample* sample);
    HRESULT FillAudio(IMediaSample* sample);
    // Layers [from, upto) over `out`.
    HRESULT ComposeLayers(size_t from, size_t upto, REFERENCE_TIME t, BYTE* out, LONG W, LONG H);
    HRESULT Blend(const Transition& x, REFERENCE_TIME t, const BYTE* below, BYTE* out, LONG W, LONG H);
    HRESULT DrawClip(const Clip& clip, REFERENCE_TIME t, BYTE* out, LONG W, LONG H);

    CFrontEndFilter* m_owner;
    int m_group;
    LONGLONG m_next;    // next frame or sample, counted from the range start
    LONGLONG m_first;
    std::vector<BYTE> m_picture;
    std::vector<std::vector<BYTE>> m_layerFrames;   // what the layers below a transition show
    std::vector<BYTE> m_flipOut, m_flipIn;           // the two frames of a transition, top-down
};

class CFrontEndFilter : public CFilterBase {
public:
    CFrontEndFilter(std::shared_ptr<RenderPlan> plan, REFERENCE_TIME rangeStart, REFERENCE_TIME rangeStop)
        : CFilterBase(CLSID_DexFrontEnd), m_plan(plan), m_rangeStart(rangeStart), m_rangeStop(rangeStop)
    {
        for (size_t g = 0; g < plan->groups.size(); ++g) {
            WCHAR name[32];
            name[0] = 0;
            lstrcpynW(name, plan->groups[g].video ? L"Video " : L"Audio ", 32);
            _itow((int)g, name + 6, 10);
            AddPin(new CGroupPin(this, (int)g, name));
        }
    }
    RenderPlan& Plan() { return *m_plan; }
    // Takes a plan of the same pin layout (a timeline edited in place).
    void SwapPlan(std::shared_ptr<RenderPlan> plan)
    {
        CDsAutoLock lock(&m_plan->readerLock);
        m_plan = plan;
    }
    const std::shared_ptr<RenderPlan>& PlanPtr() const { return m_plan; }
    REFERENCE_TIME RangeStart() const { return m_rangeStart; }
    REFERENCE_TIME RangeStop() const { return m_rangeStop; }
    void SetRange(REFERENCE_TIME start, REFERENCE_TIME stop)
    {
        m_rangeStart = start;
        m_rangeStop = stop;
    }

private:
    std::shared_ptr<RenderPlan> m_plan;
    REFERENCE_TIME m_rangeStart, m_rangeStop;   // stop -1: the whole timeline
};

CGroupPin::CGroupPin(CFrontEndFilter* owner, int group, LPCWSTR name)
    : CSourceStreamPin(owner, name), m_owner(owner), m_group(group), m_next(0), m_first(0)
{
}

const GroupPlan& CGroupPin::Plan() const { return m_owner->Plan().groups[m_group]; }

// Each group runs to the end of the timeline, or of the render range.
REFERENCE_TIME CGroupPin::Duration()
{
    REFERENCE_TIME stop = m_owner->RangeStop() >= 0 ? m_owner->RangeStop() : Plan().length;
    REFERENCE_TIME d = stop - m_owner->RangeStart();
    return d > 0 ? d : 0;
}

HRESULT CGroupPin::OnSeek(REFERENCE_TIME start)
{
    const GroupPlan& g = Plan();
    if (g.video) {
        MediaStreamInfo s = {};
        s.rateNum = g.rateNum;
        s.rateDen = g.rateDen;
        m_first = FrameAtTime(s, start);
    } else {
        const WAVEFORMATEX* w = (const WAVEFORMATEX*)g.mt.pbFormat;
        m_first = MulDiv64(start, w->nSamplesPerSec, 10000000);
    }
    m_next = m_first;
    return S_OK;
}

HRESULT CGroupPin::FillBuffer(IMediaSample* sample)
{
    return Plan().video ? FillVideo(sample) : FillAudio(sample);
}

HRESULT CGroupPin::FillVideo(IMediaSample* sample)
{
    const GroupPlan& g = Plan();
    const VIDEOINFOHEADER* vih = (const VIDEOINFOHEADER*)g.mt.pbFormat;
    const LONG W = vih->bmiHeader.biWidth, H = vih->bmiHeader.biHeight;
    REFERENCE_TIME rel = FrameStartTime(m_next, g.rateNum, g.rateDen);
    REFERENCE_TIME duration = Duration();
    if (rel >= duration || (SegmentStop() >= 0 && rel >= SegmentStop() && m_next > m_first))
        return S_FALSE;
    REFERENCE_TIME t = m_owner->RangeStart() + rel;
    BYTE* out = NULL;
    sample->GetPointer(&out);
    ZeroMemory(out, (size_t)W * H * 4);
    RenderPlan& plan = m_owner->Plan();
    {
        CDsAutoLock lock(&plan.readerLock);
        HRESULT hr = ComposeLayers(0, g.layers.size(), t, out, W, H);
        if (FAILED(hr))
            return hr;
    }
    sample->SetActualDataLength(W * H * 4);
    REFERENCE_TIME start = rel - SegmentStart();
    REFERENCE_TIME stop = FrameStartTime(m_next + 1, g.rateNum, g.rateDen) - SegmentStart();
    if (start < 0)
        start = 0;
    sample->SetTime(&start, &stop);
    LONGLONG mStart = m_next, mStop = m_next + 1;
    sample->SetMediaTime(&mStart, &mStop);
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(m_next == m_first);
    ++m_next;
    SetDelivered(stop);
    return S_OK;
}

// Draws the clip's frame at timeline time t into `out` where its stretch
// mode places it. A clip without a reader (a gap filler) draws nothing.
HRESULT CGroupPin::DrawClip(const Clip& clip, REFERENCE_TIME t, BYTE* out, LONG W, LONG H)
{
    if (clip.reader < 0)
        return S_OK;
    CMediaReader* reader = m_owner->Plan().readers[clip.reader].get();
    const MediaStreamInfo& s = reader->Stream(clip.stream);
    m_picture.resize((size_t)s.width * s.height * 4);
    HRESULT hr = reader->ReadFrame(clip.stream, FrameAtTime(s, MediaTimeAt(clip, t)), m_picture.data());
    if (FAILED(hr))
        return hr;
    FramePlace place = PlacePicture(s.width, s.height, W, H, clip.stretch);
    DrawPicture(m_picture.data(), s.width, s.height, out, W, H, place);
    return S_OK;
}

// Draws into `out` (bottom-up, W x H, black) what layers [from, upto) show
// at t. The highest layer with a clip or a transition at t decides: a clip
// alone hides the layers below; a transition blends the layer's picture
// (black where it has no clip) with what the layers below show. A
// composition's transition blends what its own layers show with what the
// layers below the composition show; without one at t, its layers decide
// as any others.
HRESULT CGroupPin::ComposeLayers(size_t from, size_t upto, REFERENCE_TIME t, BYTE* out, LONG W, LONG H)
{
    const GroupPlan& g = Plan();
    for (size_t l = upto; l-- > from;) {
        const Layer& layer = g.layers[l];
        const Transition* x = TransitionAt(layer, t);
        const Clip* hit = ClipAt(layer, t);
        if (!x) {
            if (!hit)
                continue;
            return DrawClip(*hit, t, out, W, H);
        }
        const size_t bytes = (size_t)W * H * 4;
        if (m_layerFrames.size() < g.layers.size())
            m_layerFrames.resize(g.layers.size());
        // The scratch frame of this layer holds what lies below it (below
        // the composition for a composition's layer).
        const size_t base = layer.IsComposition() ? std::max(from, std::min(layer.compBase, l)) : l;
        std::vector<BYTE>& below = m_layerFrames[l];
        below.assign(bytes, 0);
        HRESULT hr = ComposeLayers(from, base, t, below.data(), W, H);
        if (SUCCEEDED(hr)) {
            if (layer.IsComposition())
                hr = ComposeLayers(base, l, t, out, W, H);
            else if (hit)
                hr = DrawClip(*hit, t, out, W, H);
        }
        if (FAILED(hr))
            return hr;
        return Blend(*x, t, below.data(), out, W, H);
    }
    return S_OK;
}

// `out` shows the layer's picture, `below` what it comes in over; the result
// goes into `out`. Unswapped, the layers below go out and the layer comes in.
HRESULT CGroupPin::Blend(const Transition& x, REFERENCE_TIME t, const BYTE* below, BYTE* out, LONG W, LONG H)
{
    const size_t bytes = (size_t)W * H * 4;
    const BYTE* outgoing = x.swap ? out : below;
    const BYTE* incoming = x.swap ? below : out;
    if (!x.routine) {
        if (t < x.cut && outgoing != out)
            memcpy(out, outgoing, bytes);
        else if (t >= x.cut && incoming != out)
            memcpy(out, incoming, bytes);
        return S_OK;
    }
    // The routines take frames with row 0 at the top.
    m_flipOut.resize(bytes);
    m_flipIn.resize(bytes);
    FlipRows(outgoing, m_flipOut.data(), W, H);
    FlipRows(incoming, m_flipIn.data(), W, H);
    SoftFrameInfo info = {0, (int32_t)W, (int32_t)H};
    if (!SoftApplyTransition(*x.routine, TransitionProgress(x, t), &info, (const uint32_t*)m_flipOut.data(),
                             (uint32_t*)m_flipIn.data()))
        return E_OUTOFMEMORY;
    FlipRows(m_flipIn.data(), out, W, H);
    return S_OK;
}

HRESULT CGroupPin::FillAudio(IMediaSample* sample)
{
    const GroupPlan& g = Plan();
    const WAVEFORMATEX& w = *(const WAVEFORMATEX*)g.mt.pbFormat;
    const LONGLONG rate = w.nSamplesPerSec;
    LONGLONG end = MulDiv64(Duration(), rate, 10000000);
    if (SegmentStop() >= 0) {
        LONGLONG stopSample = MulDiv64(SegmentStop(), rate, 10000000);
        if (stopSample < end)
            end = stopSample;
    }
    if (m_next >= end)
        return S_FALSE;
    LONG count = (LONG)(rate / kAudioChunksPerSecond);
    if (count < 1)
        count = 1;
    if (m_next + count > end)
        count = (LONG)(end - m_next);
    const int ch = w.nChannels;
    std::vector<int> mix((size_t)count * ch, 0);
    std::vector<short> part;
    const LONGLONG base = MulDiv64(m_owner->RangeStart(), rate, 10000000);
    const LONGLONG j0 = base + m_next, j1 = j0 + count;
    RenderPlan& plan = m_owner->Plan();
    {
        CDsAutoLock lock(&plan.readerLock);
        for (const Layer& layer : g.layers) {
            for (const Clip& c : layer.clips) {
                if (c.reader < 0)
                    continue;
                LONGLONG cs = MulDiv64(c.tStart, rate, 10000000);
                LONGLONG ce = MulDiv64(c.tStop, rate, 10000000);
                LONGLONG from = j0 > cs ? j0 : cs, to = j1 < ce ? j1 : ce;
                if (from >= to)
                    continue;
                LONGLONG ms = MulDiv64(c.mStart, rate, 10000000);
                LONGLONG me = MulDiv64(c.mStop, rate, 10000000);
                CMediaReader* reader = plan.readers[c.reader].get();
                part.assign((size_t)(to - from) * ch, 0);
                if (me - ms == ce - cs) {
                    HRESULT hr = reader->ReadAudio(c.stream, ms + (from - cs), (LONG)(to - from), w, (BYTE*)part.data());
                    if (FAILED(hr))
                        return hr;
                } else {
                    // A stretched clip: each output sample maps on its own.
                    for (LONGLONG j = from; j < to; ++j) {
                        LONGLONG m = ms + MulDiv64(j - cs, me - ms, ce - cs);
                        HRESULT hr = reader->ReadAudio(c.stream, m, 1, w, (BYTE*)&part[(size_t)(j - from) * ch]);
                        if (FAILED(hr))
                            return hr;
                    }
                }
                int* dst = &mix[(size_t)(from - j0) * ch];
                if (c.vol.empty()) {
                    for (size_t i = 0; i < part.size(); ++i)
                        dst[i] += part[i];
                } else {
                    for (LONGLONG j = from; j < to; ++j) {
                        LONGLONG gain = GainAt(c.vol, MulDiv64(j, 10000000, rate));
                        for (int k = 0; k < ch; ++k) {
                            size_t at = (size_t)(j - from) * ch + k;
                            dst[at] += (int)(part[at] * gain / 65536);
                        }
                    }
                }
            }
        }
    }
    BYTE* out = NULL;
    sample->GetPointer(&out);
    short* o = (short*)out;
    for (size_t i = 0; i < mix.size(); ++i)
        o[i] = (short)(mix[i] > 32767 ? 32767 : mix[i] < -32768 ? -32768 : mix[i]);
    sample->SetActualDataLength(count * w.nBlockAlign);
    REFERENCE_TIME start = MulDiv64(m_next - m_first, 10000000, rate);
    REFERENCE_TIME stop = MulDiv64(m_next + count - m_first, 10000000, rate);
    sample->SetTime(&start, &stop);
    LONGLONG mStart = m_next, mStop = m_next + count;
    sample->SetMediaTime(&mStart, &mStop);
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(m_next == m_first);
    m_next += count;
    SetDelivered(stop);
    return S_OK;
}

// ------------------------------------------------------------- reading the timeline

struct PlanBuilder {
    RenderPlan* plan;
    BOOL transitions;   // the timeline's transitions are enabled
    std::map<std::wstring, int> readerOf;
    std::wstring failedName;

    // Adds the layers of a composition (nested ones flattened in place).
    HRESULT AddComp(IAMTimelineComp* comp, GroupPlan& g, BOOL muted)
    {
        long count = 0;
        HRESULT hr = comp->VTrackGetCount(&count);
        if (FAILED(hr))
            return hr;
        for (long i = 0; i < count; ++i) {
            IAMTimelineObj* obj = NULL;
            hr = comp->GetVTrack(&obj, i);
            if (FAILED(hr))
                return hr;
            BOOL objMuted = FALSE;
            obj->GetMuted(&objMuted);
            IAMTimelineComp* inner = NULL;
            IAMTimelineTrack* track = NULL;
            if (SUCCEEDED(obj->QueryInterface(IID_IAMTimelineComp, (void**)&inner))) {
                const size_t base = g.layers.size();
                hr = AddComp(inner, g, muted || objMuted);
                inner->Release();
                // The composition's own transitions, over its tracks.
                if (SUCCEEDED(hr) && g.video && transitions && !muted && !objMuted) {
                    Layer layer;
                    layer.compBase = base;
                    AddTransitions(obj, layer);
                    if (!layer.transitions.empty())
                        g.layers.push_back(layer);
                }
            } else if (SUCCEEDED(obj->QueryInterface(IID_IAMTimelineTrack, (void**)&track))) {
                hr = muted || objMuted ? S_OK : AddTrack(track, g);
                track->Release();
            }
            obj->Release();
            if (FAILED(hr))
                return hr;
        }
        return S_OK;
    }

    HRESULT AddTrack(IAMTimelineTrack* track, GroupPlan& g)
    {
        Layer layer;
        REFERENCE_TIME at = 0;
        for (;;) {
            IAMTimelineObj* obj = NULL;
            if (track->GetNextSrc(&obj, &at) != S_OK || !obj)
                break;
            HRESULT hr = AddSource(obj, g, layer);
            obj->Release();
            if (FAILED(hr))
                return hr;
        }
        if (g.video && transitions)
            AddTransitions(track, layer);
        g.layers.push_back(layer);
        return S_OK;
    }

    // The track's transitions in time order; muted ones are left out.
    static void AddTransitions(IUnknown* track, Layer& layer)
    {
        IAMTimelineTransable* transable = NULL;
        if (FAILED(track->QueryInterface(IID_IAMTimelineTransable, (void**)&transable)))
            return;
        REFERENCE_TIME at = 0;
        for (;;) {
            IAMTimelineObj* obj = NULL;
            if (transable->GetNextTrans(&obj, &at) != S_OK || !obj)
                break;
            Transition x = {};
            BOOL muted = FALSE;
            obj->GetMuted(&muted);
            obj->GetStartStop(&x.tStart, &x.tStop);
            GUID sub = GUID_NULL;
            obj->GetSubObjectGUID(&sub);
            IAMTimelineTrans* trans = NULL;
            BOOL cutsOnly = FALSE;
            REFERENCE_TIME cut = 0;
            if (SUCCEEDED(obj->QueryInterface(IID_IAMTimelineTrans, (void**)&trans))) {
                trans->GetCutPoint(&cut);
                trans->GetSwapInputs(&x.swap);
                trans->GetCutsOnly(&cutsOnly);
                trans->Release();
            }
            obj->Release();
            if (muted || x.tStop <= x.tStart)
                continue;
            // The cut point counts from the transition's start.
            x.cut = x.tStart + (cut < 0 ? 0 : cut > x.tStop - x.tStart ? x.tStop - x.tStart : cut);
            x.routine = cutsOnly ? NULL : RoutineOf(sub);
            layer.transitions.push_back(x);
        }
        transable->Release();
    }

    static const SoftTransitionRoutine* RoutineOf(REFGUID clsid)
    {
        WCHAR wide[40];
        if (StringFromGUID2(clsid, wide, 40) <= 0)
            return NULL;
        char text[40];
        for (int i = 0; i < 40; ++i)
            text[i] = (char)(wide[i] < 0x80 ? wide[i] : '?');
        text[39] = 0;
        return SoftTransitionByClassId(text);
    }

    HRESULT AddSource(IAMTimelineObj* obj, GroupPlan& g, Layer& layer)
    {
        BOOL muted = FALSE;
        obj->GetMuted(&muted);
        if (muted)
            return S_OK;
        IAMTimelineSrc* src = NULL;
        if (FAILED(obj->QueryInterface(IID_IAMTimelineSrc, (void**)&src)))
            return S_OK;
        Clip c = {};
        obj->GetStartStop(&c.tStart, &c.tStop);
        src->GetMediaTimes(&c.mStart, &c.mStop);
        src->GetStretchMode(&c.stretch);
        BSTR name = NULL;
        src->GetMediaName(&name);
        src->Release();
        c.reader = -1;
        HRESULT hr = S_OK;
        if (name && *name) {
            hr = ReaderFor(name, g.video, &c.reader, &c.stream);
            if (FAILED(hr))
                failedName = name;
        }
        SysFreeString(name);
        if (FAILED(hr))
            return hr;
        if (!g.video)
            ReadVolume(obj, c);
        if (c.tStop > c.tStart)
            layer.clips.push_back(c);
        return S_OK;
    }

    // The "Vol" values of the source's effects: effect times count from the
    // source's start, value times from the effect's start.
    static void ReadVolume(IAMTimelineObj* obj, Clip& c)
    {
        IAMTimelineEffectable* effectable = NULL;
        if (FAILED(obj->QueryInterface(IID_IAMTimelineEffectable, (void**)&effectable)))
            return;
        long count = 0;
        effectable->EffectGetCount(&count);
        for (long i = 0; i < count; ++i) {
            IAMTimelineObj* fx = NULL;
            if (FAILED(effectable->GetEffect(&fx, i)) || !fx)
                continue;
            REFERENCE_TIME fxStart = 0, fxStop = 0;
            fx->GetStartStop(&fxStart, &fxStop);
            IPropertySetter* setter = NULL;
            if (SUCCEEDED(fx->GetPropertySetter(&setter)) && setter) {
                LONG props = 0;
                DEXTER_PARAM* params = NULL;
                DEXTER_VALUE* values = NULL;
                if (SUCCEEDED(setter->GetProps(&props, &params, &values))) {
                    LONG k = 0;
                    for (LONG p = 0; p < props; ++p) {
                        bool vol = params[p].name && _wcsicmp(params[p].name, L"Vol") == 0;
                        for (LONG v = 0; v < params[p].nValues; ++v, ++k) {
                            if (!vol)
                                continue;
                            VARIANT d;
                            VariantInit(&d);
                            if (FAILED(VariantChangeType(&d, &values[k].v, 0, VT_R8)))
                                continue;
                            double g = d.dblVal < 0 ? 0 : d.dblVal > 16 ? 16 : d.dblVal;
                            VolPoint point = {c.tStart + fxStart + values[k].rt, (LONGLONG)floor(g * 65536.0 + 0.5),
                                              values[k].dwInterp == DEXTERF_INTERPOLATE};
                            c.vol.push_back(point);
                        }
                    }
                    setter->FreeProps(props, params, values);
                }
                setter->Release();
            }
            fx->Release();
        }
        effectable->Release();
        std::stable_sort(c.vol.begin(), c.vol.end(),
                         [](const VolPoint& a, const VolPoint& b) { return a.time < b.time; });
    }

    HRESULT ReaderFor(const std::wstring& name, BOOL video, int* reader, int* stream)
    {
        auto found = readerOf.find(name);
        if (found == readerOf.end()) {
            std::unique_ptr<CMediaReader> r;
            HRESULT hr = OpenMediaReader(name.c_str(), &r);
            if (FAILED(hr))
                return hr;
            plan->readers.push_back(std::move(r));
            found = readerOf.emplace(name, (int)plan->readers.size() - 1).first;
        }
        *reader = found->second;
        *stream = plan->readers[*reader]->FindStream(video ? MEDIA_STREAM_VIDEO : MEDIA_STREAM_AUDIO);
        if (*stream < 0)
            *reader = -1;   // a file without such a stream shows black or plays silence
        return S_OK;
    }
};

// Reports a source that cannot be opened through the thread's error object.
void SetOpenError(const std::wstring& name, HRESULT hr)
{
    WCHAR code[16];
    StringCchPrintfW(code, 16, L"0x%08lX", (unsigned long)hr);
    std::wstring text = L"cannot open the source \"" + name + L"\" (" + code + L")";
    OutputDebugStringW(text.c_str());
    ICreateErrorInfo* create = NULL;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetDescription((LPOLESTR)text.c_str());
        create->SetSource((LPOLESTR)L"RenderEngine");
        IErrorInfo* info = NULL;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, (void**)&info))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
}

class CRenderEngine final : public IRenderEngine {
public:
    CRenderEngine() : m_cRef(1), m_timeline(NULL), m_graph(NULL), m_frontEnd(NULL), m_rangeStart(0), m_rangeStop(-1) {}
    ~CRenderEngine()
    {
        RemoveFrontEnd();
        if (m_graph)
            m_graph->Release();
        if (m_timeline)
            m_timeline->Release();
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IRenderEngine)) {
            *ppv = static_cast<IRenderEngine*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_cRef); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG n = InterlockedDecrement(&m_cRef);
        if (n == 0)
            delete this;
        return n;
    }

    STDMETHODIMP SetTimelineObject(IAMTimeline* pTimeline) override
    {
        if (pTimeline)
            pTimeline->AddRef();
        if (m_timeline)
            m_timeline->Release();
        m_timeline = pTimeline;
        return S_OK;
    }
    STDMETHODIMP GetTimelineObject(IAMTimeline** ppTimeline) override
    {
        if (!ppTimeline)
            return E_POINTER;
        *ppTimeline = m_timeline;
        if (m_timeline)
            m_timeline->AddRef();
        return S_OK;
    }
    STDMETHODIMP GetFilterGraph(IGraphBuilder** ppFG) override
    {
        if (!ppFG)
            return E_POINTER;
        *ppFG = m_graph;
        if (!m_graph)
            return E_FAIL;
        m_graph->AddRef();
        return S_OK;
    }
    // A new graph drops the front end of the old one.
    STDMETHODIMP SetFilterGraph(IGraphBuilder* pFG) override
    {
        RemoveFrontEnd();
        if (pFG)
            pFG->AddRef();
        if (m_graph)
            m_graph->Release();
        m_graph = pFG;
        return S_OK;
    }
    STDMETHODIMP SetInterestRange(REFERENCE_TIME, REFERENCE_TIME) override { return S_OK; }
    STDMETHODIMP SetInterestRange2(double, double) override { return S_OK; }
    STDMETHODIMP SetRenderRange(REFERENCE_TIME Start, REFERENCE_TIME Stop) override
    {
        if (Start < 0 || (Stop >= 0 && Stop < Start))
            return E_INVALIDARG;
        m_rangeStart = Start;
        m_rangeStop = Stop;
        if (m_frontEnd)
            m_frontEnd->SetRange(Start, Stop);
        return S_OK;
    }
    STDMETHODIMP SetRenderRange2(double Start, double Stop) override
    {
        return SetRenderRange((REFERENCE_TIME)floor(Start * 1e7 + 0.5),
                              Stop < 0 ? -1 : (REFERENCE_TIME)floor(Stop * 1e7 + 0.5));
    }
    STDMETHODIMP GetGroupOutputPin(long Group, IPin** ppRenderPin) override
    {
        if (!ppRenderPin)
            return E_POINTER;
        *ppRenderPin = NULL;
        if (!m_frontEnd || Group < 0 || Group >= m_frontEnd->GetPinCount())
            return E_INVALIDARG;
        *ppRenderPin = m_frontEnd->GetPin(Group);
        (*ppRenderPin)->AddRef();
        return S_OK;
    }
    STDMETHODIMP ScrapIt() override
    {
        RemoveFrontEnd();
        return S_OK;
    }
    // Renders every group pin that is not connected yet through the graph.
    STDMETHODIMP RenderOutputPins() override
    {
        if (!m_frontEnd || !m_graph)
            return E_UNEXPECTED;
        HRESULT result = S_OK;
        for (int i = 0; i < m_frontEnd->GetPinCount(); ++i) {
            CPinBase* pin = m_frontEnd->GetPin(i);
            if (pin->IsConnected())
                continue;
            HRESULT hr = m_graph->Render(pin);
            if (FAILED(hr))
                result = hr;
        }
        return result;
    }
    STDMETHODIMP GetVendorString(BSTR* pVendorID) override
    {
        if (!pVendorID)
            return E_POINTER;
        *pVendorID = SysAllocString(L"Vexcap");
        return *pVendorID ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP ConnectFrontEnd() override;
    STDMETHODIMP SetSourceConnectCallback(IGrfCache*) override { return S_OK; }
    STDMETHODIMP SetDynamicReconnectLevel(long) override { return S_OK; }
    STDMETHODIMP DoSmartRecompression() override { return E_NOTIMPL; }
    STDMETHODIMP UseInSmartRecompressionGraph() override { return E_NOTIMPL; }
    STDMETHODIMP SetSourceNameValidation(BSTR, IMediaLocator*, LONG) override { return S_OK; }
    STDMETHODIMP Commit() override { return S_OK; }
    STDMETHODIMP Decommit() override { return S_OK; }
    STDMETHODIMP GetCaps(long, long* pReturn) override
    {
        if (pReturn)
            *pReturn = 0;
        return E_NOTIMPL;
    }

private:
    HRESULT BuildPlan(std::shared_ptr<RenderPlan>* out);
    void RemoveFrontEnd()
    {
        if (!m_frontEnd)
            return;
        if (m_graph) {
            IMediaControl* control = NULL;
            if (SUCCEEDED(m_graph->QueryInterface(IID_IMediaControl, (void**)&control))) {
                control->Stop();
                control->Release();
            }
            m_graph->RemoveFilter(m_frontEnd);
        }
        m_frontEnd->Release();
        m_frontEnd = NULL;
    }

    volatile LONG m_cRef;
    IAMTimeline* m_timeline;
    IGraphBuilder* m_graph;
    CFrontEndFilter* m_frontEnd;   // owned reference
    REFERENCE_TIME m_rangeStart, m_rangeStop;
};

HRESULT CRenderEngine::BuildPlan(std::shared_ptr<RenderPlan>* out)
{
    std::shared_ptr<RenderPlan> plan = std::make_shared<RenderPlan>();
    PlanBuilder builder;
    builder.plan = plan.get();
    builder.transitions = TRUE;
    if (m_timeline)
        m_timeline->TransitionsEnabled(&builder.transitions);
    long groups = 0;
    if (m_timeline)
        m_timeline->GetGroupCount(&groups);
    REFERENCE_TIME length = 0;
    if (m_timeline)
        m_timeline->GetDuration(&length);
    for (long i = 0; i < groups; ++i) {
        IAMTimelineObj* obj = NULL;
        HRESULT hr = m_timeline->GetGroup(&obj, i);
        if (FAILED(hr))
            return hr;
        IAMTimelineGroup* group = NULL;
        IAMTimelineComp* comp = NULL;
        hr = obj->QueryInterface(IID_IAMTimelineGroup, (void**)&group);
        if (SUCCEEDED(hr))
            hr = obj->QueryInterface(IID_IAMTimelineComp, (void**)&comp);
        obj->Release();
        if (FAILED(hr)) {
            if (group)
                group->Release();
            return hr;
        }
        plan->groups.emplace_back();
        GroupPlan& g = plan->groups.back();
        ZeroMemory(&g.mt, sizeof(g.mt));
        AM_MEDIA_TYPE groupType = {};
        double fps = 15.0;
        group->GetMediaType(&groupType);
        group->GetOutputFPS(&fps);
        g.video = IsEqualGUID(groupType.majortype, MEDIATYPE_Video);
        RateFraction(fps, &g.rateNum, &g.rateDen);
        hr = CompleteGroupMediaType(&groupType, fps, &g.mt);
        DsFreeMediaType(&groupType);
        g.length = length;
        BOOL muted = FALSE;
        IAMTimelineObj* groupObj = NULL;
        if (SUCCEEDED(group->QueryInterface(IID_IAMTimelineObj, (void**)&groupObj))) {
            groupObj->GetMuted(&muted);
            groupObj->Release();
        }
        group->Release();
        if (SUCCEEDED(hr) && !muted)
            hr = builder.AddComp(comp, g, FALSE);
        comp->Release();
        if (FAILED(hr)) {
            if (!builder.failedName.empty())
                SetOpenError(builder.failedName, hr);
            return hr;
        }
    }
    *out = plan;
    return S_OK;
}

// Same pins (count and types): the plan is swapped in and the connections
// stay. Changed pins: a new front end replaces the old one, and the caller is
// told to connect again.
STDMETHODIMP CRenderEngine::ConnectFrontEnd()
{
    if (!m_graph) {
        HRESULT hr = CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                      (void**)&m_graph);
        if (FAILED(hr))
            return hr;
    }
    std::shared_ptr<RenderPlan> plan;
    HRESULT hr = BuildPlan(&plan);
    if (FAILED(hr))
        return hr;
    BOOL preview = FALSE;
    if (m_timeline) {
        long groups = 0;
        m_timeline->GetGroupCount(&groups);
        for (long i = 0; i < groups; ++i) {
            IAMTimelineObj* obj = NULL;
            IAMTimelineGroup* group = NULL;
            if (SUCCEEDED(m_timeline->GetGroup(&obj, i)) &&
                SUCCEEDED(obj->QueryInterface(IID_IAMTimelineGroup, (void**)&group))) {
                BOOL p = FALSE;
                group->GetPreviewMode(&p);
                preview = preview || p;
                group->Release();
            }
            if (obj)
                obj->Release();
        }
    }
    if (m_frontEnd) {
        const RenderPlan& old = m_frontEnd->Plan();
        BOOL same = old.groups.size() == plan->groups.size();
        for (size_t i = 0; same && i < plan->groups.size(); ++i)
            same = DsMediaTypeEquals(&old.groups[i].mt, &plan->groups[i].mt);
        if (same) {
            // The pins read the plan while streaming: the graph stops first.
            IMediaControl* control = NULL;
            if (SUCCEEDED(m_graph->QueryInterface(IID_IMediaControl, (void**)&control))) {
                control->Stop();
                control->Release();
            }
            m_frontEnd->SwapPlan(plan);
            return S_OK;
        }
    }
    BOOL hadPins = m_frontEnd && m_frontEnd->GetPinCount() > 0;
    RemoveFrontEnd();
    m_frontEnd = new (std::nothrow) CFrontEndFilter(plan, m_rangeStart, m_rangeStop);
    if (!m_frontEnd)
        return E_OUTOFMEMORY;
    m_frontEnd->AddRef();
    hr = m_graph->AddFilter(m_frontEnd, L"Kestravon Render Front End");
    if (FAILED(hr)) {
        m_frontEnd->Release();
        m_frontEnd = NULL;
        return hr;
    }
    // Output mode renders every frame: no clock paces the graph.
    if (!preview && !plan->groups.empty()) {
        IMediaFilter* filter = NULL;
        if (SUCCEEDED(m_graph->QueryInterface(IID_IMediaFilter, (void**)&filter))) {
            filter->SetSyncSource(NULL);
            filter->Release();
        }
    }
    return hadPins ? S_WARN_OUTPUTRESET_DEX : S_OK;
}

} // namespace

HRESULT CompleteGroupMediaType(const AM_MEDIA_TYPE* group, double fps, AM_MEDIA_TYPE* out)
{
    ZeroMemory(out, sizeof(*out));
    if (IsEqualGUID(group->majortype, MEDIATYPE_Video)) {
        LONG width = 320, height = 240;
        if (IsEqualGUID(group->formattype, FORMAT_VideoInfo) && group->pbFormat &&
            group->cbFormat >= sizeof(VIDEOINFOHEADER)) {
            const BITMAPINFOHEADER& b = ((const VIDEOINFOHEADER*)group->pbFormat)->bmiHeader;
            if (b.biWidth > 0 && b.biWidth <= kMaxMediaSide && b.biHeight != 0 && labs(b.biHeight) <= kMaxMediaSide) {
                width = b.biWidth;
                height = labs(b.biHeight);
            }
        }
        VIDEOINFOHEADER* vih = (VIDEOINFOHEADER*)CoTaskMemAlloc(sizeof(VIDEOINFOHEADER));
        if (!vih)
            return E_OUTOFMEMORY;
        ZeroMemory(vih, sizeof(*vih));
        DWORD num, den;
        RateFraction(fps, &num, &den);
        vih->AvgTimePerFrame = FrameStartTime(1, num, den);
        vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        vih->bmiHeader.biWidth = width;
        vih->bmiHeader.biHeight = height;
        vih->bmiHeader.biPlanes = 1;
        vih->bmiHeader.biBitCount = 32;
        vih->bmiHeader.biCompression = BI_RGB;
        vih->bmiHeader.biSizeImage = (DWORD)(width * height * 4);
        out->majortype = MEDIATYPE_Video;
        out->subtype = MEDIASUBTYPE_RGB32;
        out->formattype = FORMAT_VideoInfo;
        out->bFixedSizeSamples = TRUE;
        out->lSampleSize = vih->bmiHeader.biSizeImage;
        out->cbFormat = sizeof(VIDEOINFOHEADER);
        out->pbFormat = (BYTE*)vih;
        return S_OK;
    }
    if (IsEqualGUID(group->majortype, MEDIATYPE_Audio)) {
        WAVEFORMATEX* w = (WAVEFORMATEX*)CoTaskMemAlloc(sizeof(WAVEFORMATEX));
        if (!w)
            return E_OUTOFMEMORY;
        ZeroMemory(w, sizeof(*w));
        w->wFormatTag = WAVE_FORMAT_PCM;
        w->nChannels = 2;
        w->nSamplesPerSec = 44100;
        if (IsEqualGUID(group->formattype, FORMAT_WaveFormatEx) && group->pbFormat &&
            group->cbFormat >= sizeof(PCMWAVEFORMAT)) {
            const WAVEFORMATEX* g = (const WAVEFORMATEX*)group->pbFormat;
            if (g->nChannels == 1 || g->nChannels == 2)
                w->nChannels = g->nChannels;
            if (g->nSamplesPerSec >= 1000 && g->nSamplesPerSec <= 192000)
                w->nSamplesPerSec = g->nSamplesPerSec;
        }
        w->wBitsPerSample = 16;
        w->nBlockAlign = (WORD)(2 * w->nChannels);
        w->nAvgBytesPerSec = w->nBlockAlign * w->nSamplesPerSec;
        out->majortype = MEDIATYPE_Audio;
        out->subtype = MEDIASUBTYPE_PCM;
        out->formattype = FORMAT_WaveFormatEx;
        out->bFixedSizeSamples = TRUE;
        out->lSampleSize = w->nBlockAlign;
        out->cbFormat = sizeof(WAVEFORMATEX);
        out->pbFormat = (BYTE*)w;
        return S_OK;
    }
    return VFW_E_INVALIDMEDIATYPE;
}

HRESULT DexCreateRenderEngine(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = NULL;
    CRenderEngine* engine = new (std::nothrow) CRenderEngine();
    if (!engine)
        return E_OUTOFMEMORY;
    HRESULT hr = engine->QueryInterface(riid, ppv);
    engine->Release();
    return hr;
}
