// The facade's clip lookups, its overlay list and the volume-envelope key.
#include "XRVDirectShow/XRVDShow.h"

#include "XRVDirectShow/TimelineReport.h"
#include "overlays/Overlay.h"
#include "overlays/OverlayList.h"

#include <algorithm>
#include <vector>

namespace {

struct TrackSpan {
    int index;
    LONGLONG start, stop;
};

}  // namespace

// ---------------------------------------------------------------------------
// Overlays.

HRESULT XRVDShow::InsertOverlayFirst(COverlay* overlay, LONGLONG* length)
{
    if (length)
        *length = -1;
    if (!m_pTimeline || !overlay)
        return E_FAIL;
    m_pOverlays->Insert(0, overlay);
    if (length) {
        const LONGLONG span = overlay->GetEnd() - overlay->GetStart();
        *length = span > 0 ? span : 0;
    }
    return S_OK;
}

int XRVDShow::CountOverlays(int mask)
{
    if (!m_pTimeline)
        return 0;
    COverlayListLock lock(m_pOverlays);
    int n = 0;
    for (int i = 0, count = m_pOverlays->GetCount(); i < count; ++i)
        n += (m_pOverlays->GetAt(i)->m_overlayFlags & mask) != 0;
    return n;
}

HRESULT XRVDShow::MoveOverlay(COverlay* overlay, int index)
{
    if (!m_pTimeline || !overlay)
        return E_FAIL;
    COverlayListLock lock(m_pOverlays);
    int at = -1;
    for (int i = 0, count = m_pOverlays->GetCount(); i < count; ++i)
        if (m_pOverlays->GetAt(i) == overlay)
            at = i;
    if (at < 0)
        return E_FAIL;
    m_pOverlays->RemoveAt(at);
    m_pOverlays->Insert(index, overlay);   // clamped into the list
    return S_OK;
}

// Behind the image overlays; with none, to the front.
HRESULT XRVDShow::MoveOverlayBehindImages(COverlay* overlay)
{
    return MoveOverlay(overlay, CountOverlays(1) - 1);
}

COverlay* XRVDShow::GetOverlay(int index)
{
    if (!m_pTimeline)
        return NULL;
    return m_pOverlays->GetAt(index);
}

// The overlay filters draw under this same lock: once the overlay is out of
// the list, no frame is drawing it, and it may go.
HRESULT XRVDShow::RemoveOverlay(int overlayId, BOOL destroy)
{
    if (!m_pTimeline)
        return E_FAIL;
    COverlay* removed = NULL;
    {
        COverlayListLock lock(m_pOverlays);
        for (int i = 0, count = m_pOverlays->GetCount(); i < count && !removed; ++i)
            if (m_pOverlays->GetAt(i)->m_overlayId == overlayId)
                removed = m_pOverlays->RemoveAt(i);
    }
    if (!removed)
        return E_FAIL;
    if (destroy)
        delete removed;
    return S_OK;
}

HRESULT XRVDShow::GetOverlayById(COverlay** overlay, int overlayId)
{
    if (!overlay)
        return E_POINTER;
    *overlay = NULL;
    if (!m_pTimeline)
        return E_FAIL;
    COverlayListLock lock(m_pOverlays);
    for (int i = 0, count = m_pOverlays->GetCount(); i < count; ++i) {
        COverlay* o = m_pOverlays->GetAt(i);
        if (o->m_overlayId == overlayId) {
            *overlay = o;
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT XRVDShow::GetOverlayCountAtTime(LONGLONG time, int* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    if (!m_pTimeline)
        return E_FAIL;
    COverlayListLock lock(m_pOverlays);
    for (int i = 0, n = m_pOverlays->GetCount(); i < n; ++i)
        *count += m_pOverlays->GetAt(i)->IsActiveAt(time) ? 1 : 0;
    return S_OK;
}

HRESULT XRVDShow::GetOverlayAtTime(LONGLONG time, int n, int mask, COverlay** overlay)
{
    if (!overlay)
        return E_POINTER;
    *overlay = NULL;
    if (!m_pTimeline || n < 0)
        return E_FAIL;
    COverlayListLock lock(m_pOverlays);
    for (int i = 0, count = m_pOverlays->GetCount(); i < count; ++i) {
        COverlay* o = m_pOverlays->GetAt(i);
        if ((o->m_overlayFlags & mask) == 0 || !o->IsActiveAt(time))
            continue;
        if (n-- == 0) {
            *overlay = o;
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT XRVDShow::AppendTransition(const TransitionInfo& info)
{
    if (!m_pTimeline)
        return E_FAIL;
    TimelineLock guard(m_pTimeline);
    if (!guard.Acquire(FALSE))
        return E_FAIL;
    m_pTimeline->AddTransition(info, -1);
    const HRESULT hr = m_pTimeline->IncorporateTransitionsInTimeline(m_pTimeline->GetTransitionCount() - 1);
    guard.Release();
    return hr;
}

// ---------------------------------------------------------------------------
// Clips.

namespace {

// The tracks of a composition with their spans, in (start, track index)
// order; empty tracks (start -1) are not clips.
HRESULT SortedTracks(XRVDSTimeline* timeline, int kind, std::vector<TrackSpan>* out)
{
    out->clear();
    if (!timeline)
        return E_FAIL;
    CComPtr<IAMTimelineComp> comp;
    HRESULT hr = timeline->GetCompForKind(kind, &comp);
    if (FAILED(hr) || !comp)
        return FAILED(hr) ? hr : E_FAIL;
    long count = 0;
    XRV_CHECK(comp->VTrackGetCount( &count ));
    for (long i = 0; i < count; ++i) {
        CComPtr<IAMTimelineObj> trackObj;
        XRV_CHECK(comp->GetVTrack( &trackObj, i ));
        TrackSpan span = {(int)i, -1, -1};
        XRV_CHECK(timeline->GetTrackObjStartStop( trackObj, &span.start, &span.stop ));
        if (span.start >= 0)
            out->push_back(span);
    }
    std::stable_sort(out->begin(), out->end(), [](const TrackSpan& a, const TrackSpan& b) {
        return a.start != b.start ? a.start < b.start : a.index < b.index;
    });
    return S_OK;
}

}  // namespace

int XRVDShow::GetClipCount(int kind)
{
    std::vector<TrackSpan> tracks;
    return SUCCEEDED(SortedTracks(m_pTimeline, kind, &tracks)) ? (int)tracks.size() : 0;
}

HRESULT XRVDShow::GetTrackOfClip(int kind, int n, int* track)
{
    if (!track)
        return E_FAIL;
    *track = -1;
    std::vector<TrackSpan> tracks;
    HRESULT hr = SortedTracks(m_pTimeline, kind, &tracks);
    if (FAILED(hr))
        return hr;
    if (n < 0 || n >= (int)tracks.size())
        return E_FAIL;
    *track = tracks[n].index;
    return S_OK;
}

HRESULT XRVDShow::GetClipOfTrack(int kind, int track, int* n)
{
    if (!n)
        return E_FAIL;
    *n = -1;
    std::vector<TrackSpan> tracks;
    HRESULT hr = SortedTracks(m_pTimeline, kind, &tracks);
    if (FAILED(hr))
        return hr;
    for (size_t i = 0; i < tracks.size(); ++i)
        if (tracks[i].index == track) {
            *n = (int)i;
            return S_OK;
        }
    return E_FAIL;
}

HRESULT XRVDShow::GetClipStartStop(int kind, int clip, LONGLONG* start, LONGLONG* stop)
{
    if (!start || !stop)
        return E_FAIL;
    std::vector<TrackSpan> tracks;
    HRESULT hr = SortedTracks(m_pTimeline, kind, &tracks);
    if (FAILED(hr))
        return hr;
    if (clip < 0 || clip >= (int)tracks.size())
        return E_FAIL;
    *start = tracks[clip].start;
    *stop = tracks[clip].stop;
    return S_OK;
}

// Starts and stops are taken to the frame grid below them. A clip covers
// [start, stop); the last clip also covers what is left of the timeline
// after its rounded stop.
int XRVDShow::GetClipIndexAtTime(int kind, LONGLONG time)
{
    if (!m_pTimeline)
        return -1;
    double rate = 0.0;
    GetVideoFrameRate(&rate);
    if (rate == 0.0)
        GetAudioGroupRate(&rate);
    LONGLONG frame = rate > 0.0 ? (LONGLONG)(10000000.0 / rate) : 1;
    if (frame <= 0)
        frame = 1;
    std::vector<TrackSpan> tracks;
    if (FAILED(SortedTracks(m_pTimeline, kind, &tracks)))
        return -1;
    const LONGLONG duration = GetDuration();
    std::sort(tracks.begin(), tracks.end(), [](const TrackSpan& a, const TrackSpan& b) { return a.index < b.index; });
    for (const TrackSpan& t : tracks) {
        const LONGLONG start = t.start / frame * frame;
        const LONGLONG stop = t.stop / frame * frame;
        const BOOL inside = start <= time && time < stop;
        const BOOL tail = t.stop >= duration && start <= time && time < duration;
        if (inside || tail) {
            int n = -1;
            return SUCCEEDED(GetClipOfTrack(kind, t.index, &n)) ? n : -1;
        }
    }
    return -1;
}

// ---------------------------------------------------------------------------
// Volume envelope.

HRESULT XRVDShow::SetVolumeKeyAtTime(IPropertySetter* setter, LONGLONG time, double level, BOOL jump)
{
    if (!setter)
        return E_FAIL;
    LONG count = 0;
    DEXTER_PARAM* params = NULL;
    DEXTER_VALUE* values = NULL;
    HRESULT hr = setter->GetProps(&count, &params, &values);
    if (FAILED(hr)) {
        ReportTimelineCall(".\\XRVDirectShow\\XRVDShow", __LINE__,
                           "pPropSetter->GetProps(&lNumParams, &pSrcParams, &pSrcValues)", "SetVolumeKeyAtTime");
        return hr;
    }
    // The other parameters as they are; "Vol" rebuilt with the key in place.
    struct Param {
        DEXTER_PARAM param;
        std::vector<DEXTER_VALUE> values;
    };
    std::vector<Param> kept;
    std::vector<DEXTER_VALUE> volume;
    LONG offset = 0;
    for (LONG p = 0; p < count; ++p) {
        const DEXTER_PARAM& param = params[p];
        const BOOL isVolume = param.name && _wcsicmp(param.name, L"Vol") == 0;
        Param copy;
        copy.param = param;
        copy.param.name = ::SysAllocString(param.name);
        for (LONG v = 0; v < param.nValues; ++v) {
            DEXTER_VALUE value = values[offset + v];
            VARIANT converted;
            ::VariantInit(&converted);
            if (isVolume) {
                ::VariantChangeType(&converted, &value.v, 0, VT_R8);
            } else {
                ::VariantCopy(&converted, &value.v);
            }
            value.v = converted;
            if (isVolume)
                volume.push_back(value);
            else
                copy.values.push_back(value);
        }
        offset += param.nValues;
        if (isVolume)
            ::SysFreeString(copy.param.name);
        else
            kept.push_back(copy);
    }
    setter->FreeProps(count, params, values);

    DEXTER_VALUE key;
    memset(&key, 0, sizeof(key));
    ::VariantInit(&key.v);
    key.v.vt = VT_R8;
    key.v.dblVal = level;
    key.rt = time;
    key.dwInterp = jump ? DEXTERF_JUMP : DEXTERF_INTERPOLATE;
    BOOL replaced = FALSE;
    for (DEXTER_VALUE& v : volume)
        if (v.rt == time) {
            ::VariantClear(&v.v);
            v = key;
            replaced = TRUE;
        }
    if (!replaced) {
        size_t at = 0;
        while (at < volume.size() && volume[at].rt < time)
            ++at;
        volume.insert(volume.begin() + at, key);
    }

    setter->ClearProps();
    hr = S_OK;
    for (Param& p : kept) {
        if (!p.values.empty()) {
            p.param.nValues = (LONG)p.values.size();
            setter->AddProp(p.param, p.values.data());
        }
        for (DEXTER_VALUE& v : p.values)
            ::VariantClear(&v.v);
        ::SysFreeString(p.param.name);
    }
    DEXTER_PARAM vol;
    memset(&vol, 0, sizeof(vol));
    vol.name = ::SysAllocString(L"Vol");
    vol.dispID = 0;
    vol.nValues = (LONG)volume.size();
    hr = setter->AddProp(vol, volume.data());
    if (FAILED(hr))
        ReportTimelineCall(".\\XRVDirectShow\\XRVDShow", __LINE__, "pPropSetter->AddProp( DestParams, DestValues )",
                           "SetVolumeKeyAtTime");
    ::SysFreeString(vol.name);
    for (DEXTER_VALUE& v : volume)
        ::VariantClear(&v.v);
    return hr;
}
