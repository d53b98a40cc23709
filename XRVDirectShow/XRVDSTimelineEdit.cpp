// Edits of the timeline tree: the transition records and their placement in
// the timeline, shifting objects, and splitting sources, tracks and effects.
#include "XRVDirectShow/XRVDSTimeline.h"
#include "XRVDirectShow/TimelineReport.h"
#include "platform/dex/DexFactory.h"
#include "overlays/SoftTransitions.h"
#include "settings/XmlNode.h"

#include <stdlib.h>
#include <string.h>
#include <vector>
#include <wchar.h>

namespace {

// Picture clips carry this marker after their file name.
const WCHAR kImageClipMarker[] = L".XRVImg3";

void CutImageMarker(BSTR& name)
{
    if (!name)
        return;
    WCHAR* at = wcsstr(name, kImageClipMarker);
    if (!at)
        return;
    BSTR plain = ::SysAllocStringLen(name, (UINT)(at - name));
    if (plain) {
        ::SysFreeString(name);
        name = plain;
    }
}

class BstrHolder {
public:
    BSTR p = NULL;
    ~BstrHolder() { ::SysFreeString(p); }
};

} // namespace

TransitionInfo* XRVDSTimeline::GetTransition(int i) const
{
    if (i < 0 || i >= m_Transitions.GetSize())
        return NULL;
    return m_Transitions[i];
}

// Copies the record into a new one inserted at index, or appended when the
// index is outside 0..count.
void XRVDSTimeline::AddTransition(const TransitionInfo& info, int index)
{
    TransitionInfo* record = new TransitionInfo(info);
    if (index >= 0 && index <= m_Transitions.GetSize())
        m_Transitions.InsertAt(index, record);
    else
        m_Transitions.Add(record);
}

HRESULT XRVDSTimeline::RemoveTransition(int index)
{
    if (index < 0 || index >= m_Transitions.GetSize() || !m_Transitions[index])
        return E_FAIL;
    TransitionInfo* record = m_Transitions[index];
    m_Transitions.RemoveAt(index);
    DeleteTransition(record);
    return S_OK;
}

HRESULT XRVDSTimeline::CreateTransObject(IAMTimelineObj** trans)
{
    if (!trans || !m_pTimeline)
        return E_FAIL;
    XRV_CHECK(m_pTimeline->CreateEmptyNode( trans, TIMELINE_MAJOR_TYPE_TRANSITION ));
    return S_OK;
}

// Re-times the transition objects per track: nothing is kept apart from the
// tree in this object model, so there is nothing to bring up to date.
HRESULT XRVDSTimeline::UpdateTransObjects()
{
    return S_OK;
}

namespace {

// The transition object of a record: its transform and, when the record
// names properties, a property setter holding them (as text values).
HRESULT MakeTransObject(XRVDSTimeline* self, TransitionInfo* pTransInfo, CComPtr<IAMTimelineObj>& pTransObj)
{
    XRV_CHECK(self->CreateTransObject( &pTransObj ));
    XRV_CHECK(pTransObj->SetSubObjectGUID( pTransInfo->guid ));
    if (pTransInfo->m_PropNames.GetSize() == 0)
        return S_OK;
    CComPtr<IPropertySetter> pProp;
    XRV_CHECK(DexCreate(CLSID_PropertySetter, &pProp));
    for (INT_PTR i = 0; i < pTransInfo->m_PropNames.GetSize(); ++i) {
        DEXTER_PARAM param;
        param.name = pTransInfo->m_PropNames[i];
        param.dispID = 0;
        param.nValues = 1;
        DEXTER_VALUE value;
        VariantInit(&value.v);
        value.v.vt = VT_BSTR;
        value.v.bstrVal = i < pTransInfo->m_PropValues.GetSize() ? pTransInfo->m_PropValues[i] : NULL;
        value.rt = 0;
        value.dwInterp = DEXTERF_JUMP;
        if (!param.name)
            continue;
        XRV_CHECK(pProp->AddProp(param, &value));
    }
    XRV_CHECK(pTransObj->SetPropertySetter( pProp ));
    return S_OK;
}

} // namespace

// Places record `index` in the timeline: by time on the second video track
// that covers its span, or between two clips through the transition
// composition. Out-of-range indexes and spans covered by fewer than two
// tracks place nothing and succeed.
HRESULT XRVDSTimeline::IncorporateTransitionsInTimeline(int index)
{
    if (index < 0 || index >= m_Transitions.GetSize())
        return S_OK;
    TransitionInfo* pTransInfo = m_Transitions[index];
    if (!pTransInfo)
        return S_OK;
    if (pTransInfo->bPlaceByTime)
        return PlaceTransitionByTime(pTransInfo);
    return PlaceTransitionBetweenClips(pTransInfo);
}

HRESULT XRVDSTimeline::PlaceTransitionByTime(TransitionInfo* pTransInfo)
{
    CComPtr<IAMTimelineComp> pCompVideo;
    XRV_CHECK(GetVideoComp( &pCompVideo, GetVideoCompNum() ));
    long tracks = 0;
    XRV_CHECK(pCompVideo->VTrackGetCount( &tracks ));
    int covering = 0;
    for (long i = 0; i < tracks; ++i) {
        CComPtr<IAMTimelineObj> pTransToTrackObj;
        XRV_CHECK(pCompVideo->GetVTrack( &pTransToTrackObj, i ));
        CComQIPtr<IAMTimelineTrack> pTrack(pTransToTrackObj);
        if (!pTrack)
            continue;
        LONGLONG start = -1, stop = -1;
        GetTrackStartStop(pTrack, &start, &stop);
        if (start == -1 || !(start <= pTransInfo->rtStart && pTransInfo->rtStop <= stop))
            continue;
        if (++covering < 2)
            continue;   // the track the transition comes from
        CComPtr<IAMTimelineObj> pTransObj;
        HRESULT hr = MakeTransObject(this, pTransInfo, pTransObj);
        if (FAILED(hr))
            return hr;
        XRV_CHECK(pTransObj->SetStartStop( pTransInfo->rtStart, pTransInfo->rtStop ));
        CComQIPtr<IAMTimelineTransable> pTransable(pTransToTrackObj);
        XRV_CHECK_PTR(pTransable, "CComQIPtr(pTransToTrack)", "IAMTimelineTransable");
        XRV_CHECK(pTransable->TransAdd( pTransObj ));
        return S_OK;
    }
    return S_OK;
}

// The clip the transition goes to is moved later by the transition's length;
// its first frame is held on the transition composition's to-track over the
// gap, and the transition spans exactly that held frame. The last frame of
// the clip it comes from is held on the from-track below, so that the
// transition blends the two clips rather than the incoming one with black.
HRESULT XRVDSTimeline::PlaceTransitionBetweenClips(TransitionInfo* pTransInfo)
{
    CComPtr<IAMTimelineComp> pCompVideo, pCompTrans;
    CComPtr<IAMTimelineObj> pCompVideoObj, pCompTransObj, pTransFromTrackObj, pTransToTrackObj;
    XRV_CHECK(GetVideoComp( &pCompVideo, GetVideoCompNum() ));
    XRV_CHECK(GetVideoCompObj( &pCompVideoObj, GetVideoCompNum() ));
    XRV_CHECK(GetVideoComp( &pCompTrans, GetTransCompNum() ));
    XRV_CHECK(GetVideoCompObj( &pCompTransObj, GetTransCompNum() ));
    XRV_CHECK(pCompTrans->GetVTrack( &pTransFromTrackObj, 0 ));
    XRV_CHECK(pCompTrans->GetVTrack( &pTransToTrackObj, 1 ));
    CComQIPtr<IAMTimelineTrack> pTransToTrack(pTransToTrackObj), pTransFromTrack(pTransFromTrackObj);
    XRV_CHECK_PTR(pTransToTrack, "CComQIPtr(pTransToTrackObj)", "IAMTimelineTrack");
    XRV_CHECK_PTR(pTransFromTrack, "CComQIPtr(pTransFromTrackObj)", "IAMTimelineTrack");

    CComPtr<IAMTimelineObj> pFromVideoTrackObj, pToVideoTrackObj;
    XRV_CHECK(pCompVideo->GetVTrack( &pFromVideoTrackObj, pTransInfo->uIndexStart ));
    XRV_CHECK(pCompVideo->GetVTrack( &pToVideoTrackObj, pTransInfo->uIndexStop ));
    CComQIPtr<IAMTimelineTrack> pFromVideoTrack(pFromVideoTrackObj), pToVideoTrack(pToVideoTrackObj);
    XRV_CHECK_PTR(pFromVideoTrack, "CComQIPtr(pFromVideoTrackObj)", "IAMTimelineTrack");
    XRV_CHECK_PTR(pToVideoTrack, "CComQIPtr(pToVideoTrackObj)", "IAMTimelineTrack");

    const LONGLONG rtTransLength = pTransInfo->rtStop - pTransInfo->rtStart;
    if (rtTransLength <= 0)
        return E_INVALIDARG;
    CComPtr<IAMTimelineObj> pTransObj;
    HRESULT hr = MakeTransObject(this, pTransInfo, pTransObj);
    if (FAILED(hr))
        return hr;

    CComPtr<IAMTimelineObj> pFromSourceObj, pToSourceObj;
    pFromVideoTrack->GetSrcAtTime(&pFromSourceObj, pTransInfo->rtStart - 1, DEXTERF_BACKWARDS);
    pToVideoTrack->GetSrcAtTime(&pToSourceObj, pTransInfo->rtStart, DEXTERF_FORWARDS);
    CComQIPtr<IAMTimelineSrc> pFromSource(pFromSourceObj), pToSource(pToSourceObj);
    XRV_CHECK_PTR(pFromSource, "CComQIPtr(pFromSourceObj)", "IAMTimelineSrc");
    XRV_CHECK_PTR(pToSource, "CComQIPtr(pToSourceObj)", "IAMTimelineSrc");

    REFERENCE_TIME rtSrcStart = 0, rtSrcStop = 0, rtMStart2 = 0, rtMStop2 = 0;
    XRV_CHECK(pFromSourceObj->GetStartStop( &rtSrcStart, &rtSrcStop ));
    XRV_CHECK(pToSource->GetMediaTimes( &rtMStart2, &rtMStop2 ));
    GUID FromSubObjectGUID = GUID_NULL;
    XRV_CHECK(pFromSourceObj->GetSubObjectGUID( &FromSubObjectGUID ));
    double toFps = 0;
    pToSource->GetDefaultFPS(&toFps);
    DefaultZeroTo15(&toFps);
    const REFERENCE_TIME rtToTimePerFrame = (REFERENCE_TIME)(10000000.0 / toFps + 0.5);
    BstrHolder bstrFile2;
    XRV_CHECK(pToSource->GetMediaName( &bstrFile2.p ));
    CutImageMarker(bstrFile2.p);

    // Room for the held frame: everything of the video group's compositions
    // from the meeting point on moves later by the transition's length.
    XRV_CHECK(ShiftObjects( pCompVideo, rtSrcStop, rtTransLength, TRUE, FALSE ));
    XRV_CHECK(ShiftObjects( pCompTrans, rtSrcStop, rtTransLength, FALSE, FALSE ));

    // The outgoing clip's last frame, held over the gap on the from-track.
    REFERENCE_TIME rtMStart1 = 0, rtMStop1 = 0;
    XRV_CHECK(pFromSource->GetMediaTimes( &rtMStart1, &rtMStop1 ));
    double fromFps = 0;
    pFromSource->GetDefaultFPS(&fromFps);
    DefaultZeroTo15(&fromFps);
    const REFERENCE_TIME rtFromTimePerFrame = (REFERENCE_TIME)(10000000.0 / fromFps + 0.5);
    REFERENCE_TIME rtLastFrame = rtMStop1 - rtFromTimePerFrame;
    if (rtLastFrame < rtMStart1)
        rtLastFrame = rtMStart1;
    BstrHolder bstrFile1;
    XRV_CHECK(pFromSource->GetMediaName( &bstrFile1.p ));
    CutImageMarker(bstrFile1.p);
    CComPtr<IAMTimelineObj> pFromHeldObj;
    XRV_CHECK(m_pTimeline->CreateEmptyNode( &pFromHeldObj, TIMELINE_MAJOR_TYPE_SOURCE ));
    CComQIPtr<IAMTimelineSrc> pFromHeld(pFromHeldObj);
    XRV_CHECK_PTR(pFromHeld, "CComQIPtr(pFromHeldObj)", "IAMTimelineSrc");
    XRV_CHECK(pFromHeld->SetMediaName( bstrFile1.p ));
    XRV_CHECK(pFromHeld->SetStretchMode( RESIZEF_CROP ));
    XRV_CHECK(pFromHeldObj->SetStartStop( rtSrcStop, rtSrcStop + rtTransLength ));
    XRV_CHECK(pFromHeld->SetMediaTimes( rtLastFrame, rtLastFrame + rtFromTimePerFrame ));
    XRV_CHECK(pFromHeldObj->SetSubObjectGUID( FromSubObjectGUID ));
    XRV_CHECK(pTransFromTrack->SrcAdd( pFromHeldObj ));

    CComPtr<IAMTimelineObj> pSourceObj;
    XRV_CHECK(m_pTimeline->CreateEmptyNode( &pSourceObj, TIMELINE_MAJOR_TYPE_SOURCE ));
    CComQIPtr<IAMTimelineSrc> pSource(pSourceObj);
    XRV_CHECK_PTR(pSource, "CComQIPtr(pSourceObj)", "IAMTimelineSrc");
    XRV_CHECK(pSource->SetMediaName( bstrFile2.p ));
    XRV_CHECK(pSource->SetStretchMode( RESIZEF_CROP ));
    XRV_CHECK(pSourceObj->SetStartStop( rtSrcStop, rtSrcStop + rtTransLength));
    XRV_CHECK(pSource->SetMediaTimes( rtMStart2, rtMStart2 + rtToTimePerFrame));
    XRV_CHECK(pSourceObj->SetSubObjectGUID( FromSubObjectGUID ));
    XRV_CHECK(pTransToTrack->SrcAdd( pSourceObj ));
    XRV_CHECK(pTransObj->SetStartStop( rtSrcStop, rtSrcStop + rtTransLength));
    CComQIPtr<IAMTimelineTransable> pTransable(pTransToTrackObj);
    XRV_CHECK_PTR(pTransable, "CComQIPtr(pTransToTrack)", "IAMTimelineTransable");
    XRV_CHECK(pTransable->TransAdd( pTransObj ));
    return S_OK;
}

// Moves every source of every track of comp that starts at or after start by
// length, with the transitions that lie inside a moved source. With
// bForceSmartShift a backward shift stops at the end of the source before.
// The transitions to move are gathered, each once, from the sources' places
// before anything moves: a transition moved into the next source's span must
// not be found there again.
HRESULT XRVDSTimeline::ShiftObjects(IAMTimelineComp* comp, LONGLONG start, LONGLONG length, BOOL, BOOL bForceSmartShift)
{
    if (!comp)
        return E_FAIL;
    long tracks = 0;
    XRV_CHECK(comp->VTrackGetCount( &tracks ));
    for (long i = 0; i < tracks; ++i) {
        CComPtr<IAMTimelineObj> pTrackObj;
        XRV_CHECK(comp->GetVTrack( &pTrackObj, i ));
        CComQIPtr<IAMTimelineTrack> pTrack(pTrackObj);
        if (!pTrack)
            continue;
        std::vector<CComPtr<IAMTimelineObj>> moved;
        LONGLONG previousStop = 0;
        REFERENCE_TIME rtNext = 0;
        for (;;) {
            CComPtr<IAMTimelineObj> pObj;
            if (pTrack->GetNextSrc(&pObj, &rtNext) != S_OK || !pObj)
                break;
            REFERENCE_TIME s = 0, e = 0;
            pObj->GetStartStop(&s, &e);
            if (s >= start)
                moved.push_back(pObj);
            else if (e > previousStop)
                previousStop = e;
        }
        if (moved.empty())
            continue;
        LONGLONG delta = length;
        REFERENCE_TIME firstStart = 0, firstStop = 0;
        moved[0]->GetStartStop(&firstStart, &firstStop);
        if (delta < 0 && bForceSmartShift && firstStart + delta < previousStop)
            delta = previousStop - firstStart;
        if (firstStart + delta < 0)
            return E_FAIL;
        std::vector<CComPtr<IAMTimelineObj>> inside;
        CComQIPtr<IAMTimelineTransable> pTransable(pTrackObj);
        for (size_t k = 0; pTransable && k < moved.size(); ++k) {
            REFERENCE_TIME s = 0, e = 0;
            moved[k]->GetStartStop(&s, &e);
            REFERENCE_TIME rtTrans = s;
            for (;;) {
                CComPtr<IAMTimelineObj> pTrans;
                if (pTransable->GetNextTrans(&pTrans, &rtTrans) != S_OK || !pTrans)
                    break;
                REFERENCE_TIME ts = 0, te = 0;
                pTrans->GetStartStop(&ts, &te);
                if (ts > e)
                    break;
                if (ts < s || te > e)
                    continue;
                BOOL seen = FALSE;
                for (size_t t = 0; t < inside.size() && !seen; ++t)
                    seen = inside[t] == pTrans.p;
                if (!seen)
                    inside.push_back(pTrans);
            }
        }
        for (size_t t = 0; t < inside.size(); ++t) {
            REFERENCE_TIME ts = 0, te = 0;
            inside[t]->GetStartStop(&ts, &te);
            inside[t]->SetStartStop(ts + delta, te + delta);
        }
        for (size_t k = 0; k < moved.size(); ++k) {
            REFERENCE_TIME s = 0, e = 0;
            moved[k]->GetStartStop(&s, &e);
            if (FAILED(moved[k]->SetStartStop(s + delta, e + delta)))
                return E_FAIL;
        }
    }
    return S_OK;
}

// ---------------------------------------------------------------------------
// Splitting.

// Track level: everything of the source track after rtSplit moves to the
// destination track; the source straddling rtSplit is cut in two.
HRESULT XRVDSTimeline::SplitSource(IAMTimelineObj* pObjSrc, IAMTimelineObj** ppObjDest, LONGLONG rtSplit)
{
    if (!pObjSrc || !ppObjDest || !*ppObjDest || !m_pTimeline)
        return E_FAIL;
    CComQIPtr<IAMTimelineTrack> pSrc(pObjSrc);
    XRV_CHECK_PTR(pSrc, "CComQIPtr(pObjSrc)", "IAMTimelineTrack");
    CComQIPtr<IAMTimelineTrack> pDest(*ppObjDest);
    XRV_CHECK_PTR(pDest, "CComQIPtr(*ppObjDest)", "IAMTimelineTrack");
    REFERENCE_TIME rtNext = 0;
    BOOL first = TRUE;
    for (;;) {
        CComPtr<IAMTimelineObj> pObj;
        HRESULT hr = pSrc->GetNextSrc(&pObj, &rtNext);
        if (first && FAILED(hr)) {
            ReportTimelineCall(XRV_TIMELINE_SOURCE, __LINE__, "pSrc->GetNextSrc( &pObj, &rtNext)", __FUNCTION__);
            return hr;
        }
        first = FALSE;
        if (hr != S_OK || !pObj)
            break;
        REFERENCE_TIME rtObjStart = 0, rtObjStop = 0;
        XRV_CHECK(pObj->GetStartStop( &rtObjStart, &rtObjStop ));
        if (rtObjStart >= rtSplit) {
            XRV_CHECK(pObj->Remove());
            XRV_CHECK(pDest->SrcAdd( pObj ));
        } else if (rtSplit < rtObjStop) {
            CComPtr<IAMTimelineObj> pNewObj;
            XRV_CHECK(m_pTimeline->CreateEmptyNode( &pNewObj, TIMELINE_MAJOR_TYPE_SOURCE ));
            SplitSource(pObj, pNewObj.p, rtSplit);
            XRV_CHECK(pDest->SrcAdd( pNewObj ));
        }
    }
    return S_OK;
}

// Source level: the source keeps [start, rtSplit], the new source gets
// [rtSplit, stop] with the matching media times (both keep the whole media
// when the source is stretched) and the effects at or after the split.
HRESULT XRVDSTimeline::SplitSource(IAMTimelineObj* pObjSrc, IAMTimelineObj* pObjDest, LONGLONG rtSplit)
{
    if (!pObjSrc || !pObjDest || !m_pTimeline)
        return E_FAIL;
    CComQIPtr<IAMTimelineSrc> pSrc(pObjSrc);
    XRV_CHECK_PTR(pSrc, "CComQIPtr(pObjSrc)", "IAMTimelineSrc");
    CComQIPtr<IAMTimelineSrc> pDest(pObjDest);
    XRV_CHECK_PTR(pDest, "CComQIPtr(pObjDest)", "IAMTimelineSrc");
    REFERENCE_TIME rtStart = 0, rtStop = 0, mStart = 0, mStop = 0;
    XRV_CHECK(pObjSrc->GetStartStop( &rtStart, &rtStop ));
    XRV_CHECK(pSrc->GetMediaTimes( &mStart, &mStop ));

    BstrHolder name;
    XRV_CHECK(pSrc->GetMediaName( &name.p ));
    XRV_CHECK(pDest->SetMediaName( name.p ));
    int stretch = 0;
    XRV_CHECK(pSrc->GetStretchMode( &stretch ));
    XRV_CHECK(pDest->SetStretchMode( stretch ));
    // The second half plays the same stream of the same kind of source.
    long stream = 0;
    GUID sub = GUID_NULL;
    BOOL muted = FALSE;
    pSrc->GetStreamNumber(&stream);
    pDest->SetStreamNumber(stream);
    pObjSrc->GetSubObjectGUID(&sub);
    pObjDest->SetSubObjectGUID(sub);
    pObjSrc->GetMuted(&muted);
    pObjDest->SetMuted(muted);

    if (mStop - mStart == rtStop - rtStart) {
        const REFERENCE_TIME mSplit = mStart + (rtSplit - rtStart);
        XRV_CHECK(pSrc->SetMediaTimes( mStart, mSplit ));
        XRV_CHECK(pDest->SetMediaTimes( mSplit, mStop ));
    } else {
        XRV_CHECK(pSrc->SetMediaTimes( mStart, mStop ));
        XRV_CHECK(pDest->SetMediaTimes( mStart, mStop ));
    }

    CComQIPtr<IAMTimelineEffectable> pSrcFxable(pObjSrc);
    XRV_CHECK_PTR(pSrcFxable, "CComQIPtr(pObjSrc)", "IAMTimelineEffectable");
    CComQIPtr<IAMTimelineEffectable> pDestFxable(pObjDest);
    XRV_CHECK_PTR(pDestFxable, "CComQIPtr(pDest)", "IAMTimelineEffectable");
    const REFERENCE_TIME rtEffectSplit = rtSplit - rtStart;
    long count = 0;
    pSrcFxable->EffectGetCount(&count);
    // Moving an effect off the source shifts the later ones down: the index
    // stays where it is after a move, so no effect is passed over.
    for (long i = 0; i < count;) {
        CComPtr<IAMTimelineObj> pFxObj;
        if (FAILED(pSrcFxable->GetEffect(&pFxObj, i)) || !pFxObj) {
            ++i;
            continue;
        }
        REFERENCE_TIME rtEffectStart = 0, rtEffectStop = 0;
        XRV_CHECK(pFxObj->GetStartStop( &rtEffectStart, &rtEffectStop ));
        if (rtEffectStart >= rtEffectSplit) {
            XRV_CHECK(pFxObj->Remove());
            XRV_CHECK(pFxObj->SetStartStop( (rtEffectStart - rtEffectSplit), (rtEffectStop - rtEffectSplit) ));
            XRV_CHECK(pDestFxable->EffectInsBefore( pFxObj, -1 ));
            --count;
            continue;
        }
        if (rtEffectSplit < rtEffectStop) {
            CComPtr<IAMTimelineObj> pNewFxObj;
            XRV_CHECK(m_pTimeline->CreateEmptyNode( &pNewFxObj, TIMELINE_MAJOR_TYPE_EFFECT ));
            HRESULT hr = SplitEffect(pFxObj, pNewFxObj, rtEffectSplit);
            if (FAILED(hr))
                return hr;
            XRV_CHECK(pDestFxable->EffectInsBefore( pNewFxObj, -1 ));
        }
        ++i;
    }
    pObjSrc->SetStartStop(rtStart, rtSplit);
    pObjDest->SetStartStop(rtSplit, rtStop);
    return S_OK;
}

// Effect level: the new effect spans the part of the effect after the split
// point (measured from the start of the effect's source). A volume envelope
// takes its values from the split point on, so the second half goes on at
// the level the first half had reached.
HRESULT XRVDSTimeline::SplitEffect(IAMTimelineObj* pFxObj, IAMTimelineObj* pObjDest, LONGLONG rtSplitPoint)
{
    if (!pFxObj || !pObjDest)
        return E_FAIL;
    REFERENCE_TIME rtStart = 0, rtStop = 0;
    XRV_CHECK(pFxObj->GetStartStop( &rtStart, &rtStop ));
    XRV_CHECK(pObjDest->SetStartStop( 0, (rtStop - rtSplitPoint) ));
    GUID Val = GUID_NULL;
    XRV_CHECK(pFxObj->GetSubObjectGUID( &Val ));
    XRV_CHECK(pObjDest->SetSubObjectGUID( Val ));
    if (!IsEqualGUID(Val, CLSID_AudMixer))
        return S_OK;
    CComPtr<IPropertySetter> pSetter, pCopy;
    if (pFxObj->GetPropertySetter(&pSetter) != S_OK || !pSetter)
        return S_OK;
    XRV_CHECK(pSetter->CloneProps( &pCopy, rtSplitPoint - rtStart, rtStop - rtStart ));
    XRV_CHECK(pObjDest->SetPropertySetter( pCopy ));
    return S_OK;
}

// Cuts a track at a time: its tail goes to a new track placed right after it
// in its composition, handed out in `made`.
HRESULT XRVDSTimeline::SplitObj(IAMTimelineObj* object, LONGLONG time, IAMTimelineObj** made)
{
    if (!object || !m_pTimeline)
        return E_FAIL;
    TIMELINE_MAJOR_TYPE type;
    XRV_CHECK(object->GetTimelineType( &type ));
    if (type == TIMELINE_MAJOR_TYPE_TRACK) {
        CComQIPtr<IAMTimelineVirtualTrack> pVirtual(object);
        long priority = -1;
        if (pVirtual)
            pVirtual->TrackGetPriority(&priority);
        CComPtr<IAMTimelineGroup> pGroup;
        XRV_CHECK(object->GetGroupIBelongTo( &pGroup ));
        // The composition holding the track: search the group's compositions.
        CComQIPtr<IAMTimelineComp> pGroupComp(pGroup);
        XRV_CHECK_PTR(pGroupComp, "CComQIPtr(pGroup)", "IAMTimelineComp");
        long comps = 0;
        pGroupComp->VTrackGetCount(&comps);
        CComPtr<IAMTimelineComp> pParent;
        for (long c = 0; c < comps && !pParent; ++c) {
            CComPtr<IAMTimelineObj> pCompObj;
            if (FAILED(pGroupComp->GetVTrack(&pCompObj, c)))
                continue;
            CComQIPtr<IAMTimelineComp> pComp(pCompObj);
            if (!pComp)
                continue;
            CComPtr<IAMTimelineObj> pAt;
            if (SUCCEEDED(pComp->GetVTrack(&pAt, priority)) && pAt == object)
                pParent = pComp;
        }
        if (!pParent)
            return E_FAIL;
        CComPtr<IAMTimelineObj> pNewTrack;
        XRV_CHECK(m_pTimeline->CreateEmptyNode( &pNewTrack, TIMELINE_MAJOR_TYPE_TRACK ));
        XRV_CHECK(pParent->VTrackInsBefore( pNewTrack, priority + 1 ));
        HRESULT hr = SplitSource(object, &pNewTrack.p, time);
        if (FAILED(hr))
            return hr;
        if (made)
            *made = pNewTrack.Detach();
        return S_OK;
    }
    return E_INVALIDARG;
}

// ---------------------------------------------------------------------------
// The editor's transition records from XML property text.

namespace {

// A hostile index must not make the list grow without bound.
const int kMaxTransitionIndex = 4096;

BOOL ReadText(XmlNode& node, LPCSTR name, CString& text)
{
    int position = 0;
    XmlNode element;
    if (!node.FindElement(name, element, position))
        return FALSE;
    text = element.m_text;
    return TRUE;
}

LONGLONG ReadTime(XmlNode& node, LPCSTR name)
{
    CString text;
    if (!ReadText(node, name, text))
        return 0;
    return _strtoi64(text, NULL, 10);
}

CStringW Widen(const CString& text)
{
    CStringW wide;
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, NULL, 0);
    if (n > 1) {
        WCHAR* buffer = wide.GetBuffer(n);
        MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, n);
        wide.ReleaseBuffer();
    }
    return wide;
}

// Reads "<array><object><indexName>i</indexName><textName>t</textName></object>...</array>"
// into names or values by index; negative or oversized indexes are passed over.
void ReadPropArray(XmlNode& record, LPCSTR array, LPCSTR object, LPCSTR indexName, LPCSTR textName,
                   TransitionInfo* info, BOOL names)
{
    int arrayPos = 0;
    XmlNode arrayNode;
    while (record.FindElement(array, arrayNode, arrayPos)) {
        int objectPos = 0;
        XmlNode objectNode;
        while (arrayNode.FindElement(object, objectNode, objectPos)) {
            int index = -1, p = 0;
            CString text;
            if (!objectNode.ReadNumber(indexName, index, p, 2) || index < 0 || index > kMaxTransitionIndex)
                continue;
            ReadText(objectNode, textName, text);
            CStringW wide = Widen(text);
            if (names)
                info->SetPropName(index, wide);
            else
                info->SetPropValue(index, wide);
        }
    }
}

} // namespace

// Loads the records from "Transition_Array_Object" elements, each at its
// "TransitionArrayIndex". The records held before are freed (those a copy
// borrowed belong to the object it was copied from and stay).
HRESULT XRVDSTimeline::LoadTransitionsFromXml(XmlNode reader)
{
    for (INT_PTR i = 0; i < m_Transitions.GetSize(); ++i)
        DeleteTransition(m_Transitions[i]);
    m_Transitions.RemoveAll();
    int position = 0;
    XmlNode record;
    while (reader.FindElement("Transition_Array_Object", record, position)) {
        int index = -1, p = 0;
        if (!record.ReadNumber("TransitionArrayIndex", index, p, 2))
            break;
        if (index < 0 || index > kMaxTransitionIndex)
            continue;
        TransitionInfo* info = new TransitionInfo();
        CString guidText, name;
        ReadText(record, "GUID", guidText);
        info->rtStart = ReadTime(record, "Start");
        info->rtStop = ReadTime(record, "Stop");
        info->rtDuration = ReadTime(record, "Duration");
        int value = 0;
        p = 0;
        if (record.ReadNumber("IndexStart", value, p, 2))
            info->uIndexStart = (UINT)value;
        p = 0;
        if (record.ReadNumber("IndexStop", value, p, 2))
            info->uIndexStop = (UINT)value;
        p = 0;
        if (record.ReadNumber("Track", value, p, 2))
            info->nTrack = value;
        if (ReadText(record, "TransName", name)) {
            info->strName = name;
        } else {
            // Unnamed records take the name their transform class stands for.
            for (const SoftTransitionClass& row : kSoftTransitionClasses)
                if (guidText.CompareNoCase(row.clsid) == 0)
                    info->strName = row.name;
        }
        WCHAR wideGuid[39];
        memset(wideGuid, 0, sizeof(wideGuid));
        MultiByteToWideChar(CP_ACP, 0, guidText, -1, wideGuid, 38);
        if (FAILED(CLSIDFromString(wideGuid, &info->guid)))
            info->guid = GUID_NULL;
        ReadPropArray(record, "Prop_Array", "Prop_Array_Object", "PropArrayIndex", "Property", info, TRUE);
        ReadPropArray(record, "Value_Array", "Value_Array_Object", "ValueArrayIndex", "Value", info, FALSE);
        if (index < m_Transitions.GetSize()) {
            DeleteTransition(m_Transitions[index]);
            m_Transitions[index] = info;
        } else {
            m_Transitions.SetAtGrow(index, info);
        }
    }
    UpdateTransObjects();
    return 0;
}
