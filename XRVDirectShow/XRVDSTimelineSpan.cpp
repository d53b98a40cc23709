// Span edits of the timeline: taking a span out of the compositions and
// closing the gap, moving a clip (a track) to another place in time, black
// video, the mute steps, and taking the transitions of the records out of the
// tree again or putting them back.
#include "XRVDirectShow/XRVDSTimeline.h"
#include "XRVDirectShow/TimelineReport.h"
#include "platform/dex/DexFactory.h"

#include <vector>

// The transition object of a record (XRVDSTimelineEdit.cpp).
HRESULT MakeTransObject(XRVDSTimeline* self, TransitionInfo* pTransInfo, CComPtr<IAMTimelineObj>& pTransObj);

namespace {

struct SourceSpan {
    CComPtr<IAMTimelineObj> obj;
    REFERENCE_TIME start, stop;
};

// The sources of a track with their spans, in time order.
HRESULT ListSources(IAMTimelineTrack* track, std::vector<SourceSpan>* out)
{
    out->clear();
    REFERENCE_TIME rtNext = 0;
    for (;;) {
        CComPtr<IAMTimelineObj> pSourceObj;
        if (track->GetNextSrc(&pSourceObj, &rtNext) != S_OK || !pSourceObj)
            break;
        SourceSpan span = {pSourceObj, 0, 0};
        XRV_CHECK(pSourceObj->GetStartStop( &span.start, &span.stop ));
        out->push_back(span);
    }
    return S_OK;
}

// The transitions hanging on a track or composition object.
void ListTransitions(IAMTimelineObj* obj, std::vector<CComPtr<IAMTimelineObj>>* out)
{
    out->clear();
    CComQIPtr<IAMTimelineTransable> transable(obj);
    if (!transable)
        return;
    REFERENCE_TIME at = 0;
    for (;;) {
        CComPtr<IAMTimelineObj> trans;
        if (transable->GetNextTrans(&trans, &at) != S_OK || !trans)
            break;
        out->push_back(trans);
    }
}

// Moves everything of a track (its sources and its transitions) by delta,
// in the order that never lets two of them meet on the way.
HRESULT ShiftTrack(IAMTimelineObj* trackObj, LONGLONG delta)
{
    if (delta == 0)
        return S_OK;
    CComQIPtr<IAMTimelineTrack> track(trackObj);
    if (!track)
        return E_FAIL;
    std::vector<SourceSpan> sources;
    HRESULT hr = ListSources(track, &sources);
    if (FAILED(hr))
        return hr;
    std::vector<CComPtr<IAMTimelineObj>> transitions;
    ListTransitions(trackObj, &transitions);
    std::vector<IAMTimelineObj*> all;
    for (const SourceSpan& s : sources)
        all.push_back(s.obj);
    if (!sources.empty() && sources.front().start + delta < 0)
        return E_INVALIDARG;
    for (size_t i = 0; i < all.size(); ++i) {
        IAMTimelineObj* obj = delta > 0 ? all[all.size() - 1 - i] : all[i];
        REFERENCE_TIME s = 0, e = 0;
        XRV_CHECK(obj->GetStartStop( &s, &e ));
        XRV_CHECK(obj->SetStartStop( s + delta, e + delta ));
    }
    for (size_t i = 0; i < transitions.size(); ++i) {
        IAMTimelineObj* obj = delta > 0 ? transitions[transitions.size() - 1 - i].p : transitions[i].p;
        REFERENCE_TIME s = 0, e = 0;
        XRV_CHECK(obj->GetStartStop( &s, &e ));
        XRV_CHECK(obj->SetStartStop( s + delta, e + delta ));
    }
    return S_OK;
}

}  // namespace

// ---------------------------------------------------------------------------
// Removing a span.

// Takes [rtStart, rtStart + rtLength) out of every track of one composition:
// sources inside go, sources across an end are cut there (a source across
// the whole span keeps both outer parts), transitions inside go, and what
// starts at or after the span's end moves back by its length.
HRESULT XRVDSTimeline::RemoveSpanFromComp(IAMTimelineComp* pComp, LONGLONG rtStart, LONGLONG rtLength)
{
    const LONGLONG rtEnd = rtStart + rtLength;
    long tracks = 0;
    XRV_CHECK(pComp->VTrackGetCount( &tracks ));
    for (long iCurTrack = 0; iCurTrack < tracks; ++iCurTrack) {
        CComPtr<IAMTimelineObj> pTrackObj;
        XRV_CHECK(pComp->GetVTrack( &pTrackObj, iCurTrack ));
        CComPtr<IAMTimelineTrack> pTrack;
        if (FAILED(pTrackObj->QueryInterface(IID_IAMTimelineTrack, (void**)&pTrack)))
            continue;   // a nested composition holds no sources of its own
        std::vector<SourceSpan> sources;
        HRESULT hr = ListSources(pTrack, &sources);
        if (FAILED(hr))
            return hr;
        for (const SourceSpan& src : sources) {
            if (src.stop <= rtStart || src.start >= rtEnd)
                continue;
            if (src.start >= rtStart && src.stop <= rtEnd) {
                XRV_CHECK(src.obj->RemoveAll());
                continue;
            }
            CComPtr<IAMTimelineObj> pTail;
            if (src.stop > rtEnd) {
                // The part after the span becomes a source of its own.
                XRV_CHECK(m_pTimeline->CreateEmptyNode( &pTail, TIMELINE_MAJOR_TYPE_SOURCE ));
                hr = SplitSource(src.obj, pTail.p, rtEnd);
                if (FAILED(hr))
                    return hr;
            }
            if (src.start < rtStart) {
                CComPtr<IAMTimelineObj> pCut;
                XRV_CHECK(m_pTimeline->CreateEmptyNode( &pCut, TIMELINE_MAJOR_TYPE_SOURCE ));
                hr = SplitSource(src.obj, pCut.p, rtStart);
                if (FAILED(hr))
                    return hr;
            } else {
                XRV_CHECK(src.obj->RemoveAll());
            }
            if (pTail)
                XRV_CHECK(pTrack->SrcAdd( pTail ));
        }
        std::vector<CComPtr<IAMTimelineObj>> transitions;
        ListTransitions(pTrackObj, &transitions);
        for (IAMTimelineObj* trans : transitions) {
            REFERENCE_TIME s = 0, e = 0;
            trans->GetStartStop(&s, &e);
            if (s >= rtStart && e <= rtEnd)
                XRV_CHECK(trans->RemoveAll());
        }
    }
    XRV_CHECK(ShiftObjects( pComp, rtEnd, -rtLength, FALSE, FALSE ));
    return S_OK;
}

HRESULT XRVDSTimeline::RemoveSpanFromComps(int kind, LONGLONG rtStart, LONGLONG rtLength)
{
    if (!m_pTimeline || rtStart < 0 || rtLength <= 0)
        return E_INVALIDARG;
    if (kind != 0 && kind != 1) {
        HRESULT hr = RemoveSpanFromComps(1, rtStart, rtLength);
        if (FAILED(hr))
            return hr;
        // A timeline without sound has no audio composition to cut.
        if (m_nCurAudioComp < 0 || !HasAudioGroup())
            return hr;
        return RemoveSpanFromComps(0, rtStart, rtLength);
    }
    HRESULT hr = S_OK;
    if (kind == 1) {
        CComPtr<IAMTimelineComp> pComp;
        XRV_CHECK(GetVideoComp( &pComp, GetVideoCompNum() ));
        hr = RemoveSpanFromComp(pComp, rtStart, rtLength);
        if (FAILED(hr))
            return hr;
        CComPtr<IAMTimelineComp> pTransComp;
        XRV_CHECK(GetVideoComp( &pTransComp, GetTransCompNum() ));
        hr = RemoveSpanFromComp(pTransComp, rtStart, rtLength);
        if (FAILED(hr))
            return hr;
        // The records of transitions after the span follow their clips.
        for (INT_PTR i = 0; i < m_Transitions.GetSize(); ++i) {
            TransitionInfo* info = m_Transitions[i];
            if (info && info->rtStart >= rtStart + rtLength) {
                info->rtStart -= rtLength;
                info->rtStop -= rtLength;
            }
        }
    } else {
        CComPtr<IAMTimelineComp> pComp;
        XRV_CHECK(GetAudioComp( &pComp ));
        hr = RemoveSpanFromComp(pComp, rtStart, rtLength);
    }
    return hr;
}

// Kind 0 (video) and any kind but the audio ones: from the video and the
// audio compositions; kinds 1 and 2 (audio): from the audio composition.
HRESULT XRVDSTimeline::DeleteSection(int kind, LONGLONG start, LONGLONG stop)
{
    if (!m_pTimeline)
        return E_FAIL;
    if (start < 0 || stop <= start)
        return E_INVALIDARG;
    TimelineLock lock(this);
    if (!lock.Acquire(FALSE))
        return E_FAIL;
    const HRESULT hr = RemoveSpanFromComps(kind == 1 || kind == 2 ? 0 : 2, start, stop - start);
    lock.Release();
    return hr;
}

// ---------------------------------------------------------------------------
// Moving a clip.

// The tracks of [rtStart, rtEnd] (every track lying inside it) move so that
// the span starts at rtDest; the clips between the old and the new place
// move by the span's length the other way, so nothing overlaps.
HRESULT XRVDSTimeline::MoveClipBetweenTracks(LONGLONG rtStart, LONGLONG rtEnd, LONGLONG rtDest, int kind, BOOL flag)
{
    if (!m_pTimeline || rtStart < 0 || rtEnd <= rtStart || rtDest < 0)
        return E_INVALIDARG;
    if (kind != 0 && kind != 1) {
        // A timeline without sound moves its video alone.
        const HRESULT audio =
            m_nCurAudioComp < 0 || !HasAudioGroup() ? S_OK : MoveClipBetweenTracks(rtStart, rtEnd, rtDest, 0, TRUE);
        const HRESULT video = MoveClipBetweenTracks(rtStart, rtEnd, rtDest, 1, TRUE);
        return audio | video;
    }
    CComPtr<IAMTimelineComp> pComp;
    if (kind == 1)
        XRV_CHECK(GetVideoComp( &pComp, GetVideoCompNum() ));
    else
        XRV_CHECK(GetAudioComp( &pComp ));
    const LONGLONG length = rtEnd - rtStart;
    long tracks = 0;
    XRV_CHECK(pComp->VTrackGetCount( &tracks ));
    std::vector<CComPtr<IAMTimelineObj>> moved, others;
    std::vector<LONGLONG> otherDelta;
    for (long iCurTrack = 0; iCurTrack < tracks; ++iCurTrack) {
        CComPtr<IAMTimelineObj> pTrackObj;
        XRV_CHECK(pComp->GetVTrack( &pTrackObj, iCurTrack ));
        CComQIPtr<IAMTimelineTrack> pTrack(pTrackObj);
        if (!pTrack)
            continue;
        LONGLONG start = -1, stop = -1;
        XRV_CHECK(GetTrackStartStop( pTrack, &start, &stop ));
        if (start < 0)
            continue;
        if (start >= rtStart && stop <= rtEnd) {
            moved.push_back(pTrackObj);
        } else if (rtDest < rtStart && start >= rtDest && start < rtStart) {
            others.push_back(pTrackObj);
            otherDelta.push_back(length);
        } else if (rtDest > rtStart && start >= rtEnd && start < rtDest + length) {
            others.push_back(pTrackObj);
            otherDelta.push_back(-length);
        }
    }
    if (moved.empty())
        return flag ? S_FALSE : E_FAIL;
    for (size_t i = 0; i < others.size(); ++i) {
        HRESULT hr = ShiftTrack(others[i], otherDelta[i]);
        if (FAILED(hr))
            return hr;
    }
    for (IAMTimelineObj* track : moved) {
        HRESULT hr = ShiftTrack(track, rtDest - rtStart);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

// ---------------------------------------------------------------------------
// Black video.

// A new video track holding a black colour source over [start, end]: it lies
// above the clips there, so the span plays black.
HRESULT XRVDSTimeline::InsertBlackVideo(LONGLONG start, LONGLONG end)
{
    if (!m_pTimeline)
        return E_FAIL;
    if (start < 0 || end <= start)
        return E_INVALIDARG;
    TimelineLock lock(this);
    if (!lock.Acquire(FALSE))
        return E_FAIL;
    HRESULT hr = S_OK;
    do {
        CComPtr<IAMTimelineComp> pVideoComp;
        hr = GetVideoComp(&pVideoComp, GetVideoCompNum());
        if (FAILED(hr))
            break;
        CComPtr<IAMTimelineTrack> pBlackTrack;
        hr = AddTrackToComp(pVideoComp, &pBlackTrack);
        if (FAILED(hr))
            break;
        CComPtr<IAMTimelineObj> pSourceObj;
        hr = m_pTimeline->CreateEmptyNode(&pSourceObj, TIMELINE_MAJOR_TYPE_SOURCE);
        if (FAILED(hr))
            break;
        CComQIPtr<IAMTimelineSrc> pSource(pSourceObj);
        if (!pSource) {
            hr = E_FAIL;
            break;
        }
        pSourceObj->SetSubObjectGUID(CLSID_ColorSource);
        pSource->SetStretchMode(RESIZEF_CROP);
        pSource->SetMediaTimes(0, end - start);
        hr = pSourceObj->SetStartStop(start, end);
        if (SUCCEEDED(hr))
            hr = pBlackTrack->SrcAdd(pSourceObj);
        if (FAILED(hr))
            ReportTimelineCall(XRV_TIMELINE_SOURCE, __LINE__, "pBlackTrack->SrcAdd( pSourceObj )", __FUNCTION__);
    } while (0);
    lock.Release();
    return hr;
}

// ---------------------------------------------------------------------------
// Muting.

HRESULT XRVDSTimeline::SetClipMuted(BOOL muted, int clip, BOOL video)
{
    CComPtr<IAMTimelineComp> pComp;
    HRESULT hr = video ? GetVideoComp(&pComp, GetVideoCompNum()) : GetAudioComp(&pComp);
    if (FAILED(hr))
        return hr;
    CComPtr<IAMTimelineObj> pTrackObj;
    XRV_CHECK(pComp->GetVTrack( &pTrackObj, clip ));
    XRV_CHECK(pTrackObj->SetMuted( muted ));
    return S_OK;
}

HRESULT XRVDSTimeline::SetCompMuted(BOOL muted, BOOL video)
{
    CComPtr<IAMTimelineObj> pCompObj;
    HRESULT hr = video ? GetVideoCompObj(&pCompObj, GetVideoCompNum()) : GetAudioCompObj(&pCompObj);
    if (FAILED(hr))
        return hr;
    XRV_CHECK(pCompObj->SetMuted( muted ));
    return S_OK;
}

// ---------------------------------------------------------------------------
// Transitions of the records in the tree.

namespace {

struct TransPlace {
    CComPtr<IAMTimelineObj> owner;   // track or composition it hangs on
    CComPtr<IAMTimelineObj> trans;
};

// Every transition object of the video group's compositions and their tracks.
void CollectTransitions(XRVDSTimeline* self, std::vector<TransPlace>* out)
{
    out->clear();
    const int comps[2] = {self->GetVideoCompNum(), self->GetTransCompNum()};
    for (int c = 0; c < 2; ++c) {
        CComPtr<IAMTimelineObj> pCompObj;
        if (FAILED(self->GetVideoCompObj(&pCompObj, comps[c])))
            continue;
        std::vector<CComPtr<IAMTimelineObj>> list;
        ListTransitions(pCompObj, &list);
        for (auto& t : list)
            out->push_back({pCompObj, t});
        CComQIPtr<IAMTimelineComp> pComp(pCompObj);
        long tracks = 0;
        if (!pComp || FAILED(pComp->VTrackGetCount(&tracks)))
            continue;
        for (long i = 0; i < tracks; ++i) {
            CComPtr<IAMTimelineObj> pTrackObj;
            if (FAILED(pComp->GetVTrack(&pTrackObj, i)))
                continue;
            ListTransitions(pTrackObj, &list);
            for (auto& t : list)
                out->push_back({pTrackObj, t});
        }
    }
}

BOOL IsRecordTransition(IAMTimelineObj* trans, const TransitionInfo& info)
{
    REFERENCE_TIME s = 0, e = 0;
    GUID guid = GUID_NULL;
    trans->GetStartStop(&s, &e);
    trans->GetSubObjectGUID(&guid);
    return s == info.rtStart && e == info.rtStop && IsEqualGUID(guid, info.guid);
}

}  // namespace

// Takes the transition of record `index` out of the tree. For a transition
// between two clips, removeHeld also takes out the held first frame under
// it on the transition composition, and closeGap moves what follows back by
// the transition's length (undoing the room made for it; the later records
// follow).
HRESULT XRVDSTimeline::RemoveTransitionFromTimeline(int index, BOOL closeGap, BOOL removeHeld)
{
    TransitionInfo* info = GetTransition(index);
    if (!info || !m_pTimeline)
        return E_FAIL;
    std::vector<TransPlace> places;
    CollectTransitions(this, &places);
    BOOL found = FALSE;
    for (TransPlace& p : places) {
        if (!IsRecordTransition(p.trans, *info))
            continue;
        XRV_CHECK(p.trans->RemoveAll());
        found = TRUE;
    }
    if (info->bPlaceByTime)
        return found ? S_OK : S_FALSE;
    const LONGLONG length = info->rtStop - info->rtStart;
    if (removeHeld) {
        CComPtr<IAMTimelineComp> pTransComp;
        if (SUCCEEDED(GetVideoComp(&pTransComp, GetTransCompNum()))) {
            CComPtr<IAMTimelineObj> pToTrackObj;
            CComQIPtr<IAMTimelineTrack> pToTrack;
            if (SUCCEEDED(pTransComp->GetVTrack(&pToTrackObj, 1)))
                pToTrack = pToTrackObj;
            std::vector<SourceSpan> held;
            if (pToTrack && SUCCEEDED(ListSources(pToTrack, &held)))
                for (const SourceSpan& s : held)
                    if (s.start == info->rtStart && s.stop == info->rtStop)
                        XRV_CHECK(s.obj->RemoveAll());
        }
    }
    if (closeGap && length > 0) {
        CComPtr<IAMTimelineComp> pVideoComp, pTransComp;
        XRV_CHECK(GetVideoComp( &pVideoComp, GetVideoCompNum() ));
        XRV_CHECK(GetVideoComp( &pTransComp, GetTransCompNum() ));
        XRV_CHECK(ShiftObjects( pVideoComp, info->rtStop, -length, TRUE, FALSE ));
        XRV_CHECK(ShiftObjects( pTransComp, info->rtStop, -length, FALSE, FALSE ));
        for (INT_PTR i = 0; i < m_Transitions.GetSize(); ++i) {
            TransitionInfo* other = m_Transitions[i];
            if (other && other != info && other->rtStart >= info->rtStop) {
                other->rtStart -= length;
                other->rtStop -= length;
            }
        }
    }
    return found ? S_OK : S_FALSE;
}

// Takes every transition object out of the video group and puts each record's
// transition back where its record says: by time on the second track that
// covers it, or between clips on the held frame already in the tree (the
// room for it is not made again).
HRESULT XRVDSTimeline::RebuildTransitions()
{
    if (!m_pTimeline)
        return E_FAIL;
    std::vector<TransPlace> places;
    CollectTransitions(this, &places);
    for (TransPlace& p : places)
        XRV_CHECK(p.trans->RemoveAll());
    for (INT_PTR i = 0; i < m_Transitions.GetSize(); ++i) {
        TransitionInfo* info = m_Transitions[i];
        if (!info)
            continue;
        if (info->bPlaceByTime) {
            HRESULT hr = PlaceTransitionByTime(info);
            if (FAILED(hr))
                return hr;
            continue;
        }
        CComPtr<IAMTimelineComp> pTransComp;
        CComPtr<IAMTimelineObj> pToTrackObj;
        XRV_CHECK(GetVideoComp( &pTransComp, GetTransCompNum() ));
        if (FAILED(pTransComp->GetVTrack(&pToTrackObj, 1)))
            continue;
        CComPtr<IAMTimelineObj> pTransObj;
        HRESULT hr = MakeTransObject(this, info, pTransObj);
        if (FAILED(hr))
            return hr;
        XRV_CHECK(pTransObj->SetStartStop( info->rtStart, info->rtStop ));
        CComQIPtr<IAMTimelineTransable> pTransable(pToTrackObj);
        XRV_CHECK_PTR(pTransable, "CComQIPtr(pToTrackObj)", "IAMTimelineTransable");
        XRV_CHECK(pTransable->TransAdd( pTransObj ));
    }
    return S_OK;
}
