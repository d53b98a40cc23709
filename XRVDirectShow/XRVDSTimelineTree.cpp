// The timeline tree: groups, compositions, tracks, sources and effects; the
// video-group skeleton, its reset, and copying the tree into another timeline.
#include "XRVDirectShow/XRVDSTimeline.h"
#include "XRVDirectShow/TimelineReport.h"
#include "platform/dex/DexFactory.h"

#include <string.h>

namespace {

const WCHAR kVideoGroupName[] = L"Video Group";
const WCHAR kAudioGroupName[] = L"Audio Group";

void ReportText(int line, const char* text)
{
    ReportTimelineFailure(XRV_TIMELINE_SOURCE, line, text);
}

BOOL GroupIs(IAMTimelineGroup* group, LPCWSTR name, REFGUID majorType)
{
    BSTR groupName = NULL;
    BOOL same = FALSE;
    if (SUCCEEDED(group->GetGroupName(&groupName)) && groupName)
        same = wcscmp(groupName, name) == 0;
    ::SysFreeString(groupName);
    if (!same)
        return FALSE;
    AM_MEDIA_TYPE mt;
    memset(&mt, 0, sizeof(mt));
    if (FAILED(group->GetMediaType(&mt)))
        return FALSE;
    same = IsEqualGUID(mt.majortype, majorType);
    if (mt.pbFormat)
        CoTaskMemFree(mt.pbFormat);
    if (mt.pUnk)
        mt.pUnk->Release();
    return same;
}

} // namespace

// Creates the timeline when absent, then the "Video Group" (video media type)
// and records its index.
HRESULT XRVDSTimeline::CreateVidGroup()
{
    if (!m_pTimeline)
        XRV_CHECK(DexCreate(CLSID_AMTimeline, &m_pTimeline));
    CComPtr<IAMTimelineObj> pVidGroupObj;
    XRV_CHECK(m_pTimeline->CreateEmptyNode(&pVidGroupObj, TIMELINE_MAJOR_TYPE_GROUP));
    CComQIPtr<IAMTimelineGroup> pVidGroup(pVidGroupObj);
    XRV_CHECK_PTR(pVidGroup, "CComQIPtr(pVidGroupObj)", "IAMTimelineGroup");
    AM_MEDIA_TYPE mt;
    memset(&mt, 0, sizeof(mt));
    mt.majortype = MEDIATYPE_Video;
    if (FAILED(pVidGroup->SetMediaType(&mt))) {
        ReportText(__LINE__, "pVidGroup->SetMediaType() failed in CreateVidGroup()");
        return E_FAIL;
    }
    BSTR name = ::SysAllocString(kVideoGroupName);
    HRESULT hr = pVidGroup->SetGroupName(name);
    ::SysFreeString(name);
    if (FAILED(hr)) {
        ReportText(__LINE__, "pVidGroup->SetGroupName() failed in CreateVidGroup()");
        return hr;
    }
    XRV_CHECK(m_pTimeline->AddGroup(pVidGroupObj));
    long priority = -1;
    pVidGroup->GetPriority(&priority);
    m_nVideoPin = (int)priority;
    return S_OK;
}

// The "Audio Group": audio media type, output rate 10; made once.
HRESULT XRVDSTimeline::CreateAudioGroup()
{
    if (m_nAudioPin != -1)
        return S_OK;
    if (!m_pTimeline)
        return E_FAIL;
    CComPtr<IAMTimelineObj> pAudioGroupObj;
    XRV_CHECK(m_pTimeline->CreateEmptyNode(&pAudioGroupObj, TIMELINE_MAJOR_TYPE_GROUP));
    CComQIPtr<IAMTimelineGroup> pAudioGroup(pAudioGroupObj);
    XRV_CHECK_PTR(pAudioGroup, "CComQIPtr(pAudioGroupObj)", "IAMTimelineGroup");
    AM_MEDIA_TYPE mt;
    memset(&mt, 0, sizeof(mt));
    mt.majortype = MEDIATYPE_Audio;
    HRESULT hr = pAudioGroup->SetMediaType(&mt);
    if (FAILED(hr)) {
        ReportText(__LINE__, "pAudioGroup->SetMediaType() failed in CreateAudioGroup()");
        return hr;
    }
    BSTR name = ::SysAllocString(kAudioGroupName);
    hr = pAudioGroup->SetGroupName(name);
    ::SysFreeString(name);
    if (FAILED(hr)) {
        ReportText(__LINE__, "pAudioGroup->SetGroupName() failed in CreateAudioGroup()");
        return hr;
    }
    hr = pAudioGroup->SetOutputFPS(10.0);
    if (FAILED(hr)) {
        ReportText(__LINE__, "pAudioGroup->SetOutputFPS() failed in CreateAudioGroup()");
        return hr;
    }
    XRV_CHECK(m_pTimeline->AddGroup(pAudioGroupObj));
    long priority = -1;
    pAudioGroup->GetPriority(&priority);
    m_nAudioPin = (int)priority;
    return S_OK;
}

// The black colour source from 0 to 1 on the blank composition's track.
HRESULT XRVDSTimeline::AddBlankSource(IAMTimelineTrack* pBlankTrack)
{
    CComPtr<IAMTimelineObj> pBlankSourceObj;
    XRV_CHECK(m_pTimeline->CreateEmptyNode( &pBlankSourceObj, TIMELINE_MAJOR_TYPE_SOURCE ));
    XRV_CHECK(pBlankSourceObj->SetStartStop( 0, 1 ));
    XRV_CHECK(pBlankSourceObj->SetSubObjectGUID( CLSID_ColorSource ));
    CComQIPtr<IAMTimelineSrc> pBlankSource(pBlankSourceObj);
    XRV_CHECK_PTR(pBlankSource, "CComQIPtr(pBlankSourceObj)", "IAMTimelineSrc");
    XRV_CHECK(pBlankSource->SetMediaTimes( 0, 1 ));
    XRV_CHECK(pBlankSource->SetStretchMode( RESIZEF_CROP ));
    XRV_CHECK(pBlankTrack->SrcAdd( pBlankSourceObj ));
    return S_OK;
}

// Puts the blank source back when an edit took it (or its track) away. Only
// a blank composition as this object makes it (at most one track, holding
// nothing but colour sources) is touched: a timeline read from elsewhere may
// keep media there. Without a video group there is nothing to do.
HRESULT XRVDSTimeline::GetBlankSourceAtStart()
{
    CComPtr<IAMTimelineGroup> pVideoGroup;
    if (FAILED(GetVideoGroup(&pVideoGroup)))
        return S_OK;
    CComPtr<IAMTimelineComp> pBlankComp;
    XRV_CHECK(GetVideoComp( &pBlankComp, GetBlankCompNum() ));
    long tracks = 0;
    XRV_CHECK(pBlankComp->VTrackGetCount( &tracks ));
    if (tracks > 1)
        return S_FALSE;
    CComPtr<IAMTimelineTrack> pBlankTrack;
    if (tracks == 0) {
        XRV_CHECK(AddTrackToComp( pBlankComp, &pBlankTrack ));
        return AddBlankSource(pBlankTrack);
    }
    CComPtr<IAMTimelineObj> pTrackObj;
    XRV_CHECK(pBlankComp->GetVTrack( &pTrackObj, 0 ));
    pBlankTrack = CComQIPtr<IAMTimelineTrack>(pTrackObj);
    XRV_CHECK_PTR(pBlankTrack, "CComQIPtr(pTrackObj)", "IAMTimelineTrack");
    BOOL atStart = FALSE;
    REFERENCE_TIME at = 0;
    for (;;) {
        CComPtr<IAMTimelineObj> pSourceObj;
        if (pBlankTrack->GetNextSrc(&pSourceObj, &at) != S_OK || !pSourceObj)
            break;
        GUID sub = GUID_NULL;
        pSourceObj->GetSubObjectGUID(&sub);
        if (!IsEqualGUID(sub, CLSID_ColorSource))
            return S_FALSE;
        REFERENCE_TIME start = -1, stop = -1;
        pSourceObj->GetStartStop(&start, &stop);
        atStart = atStart || start == 0;
    }
    return atStart ? S_OK : AddBlankSource(pBlankTrack);
}

// The video group's skeleton: the blank composition (one black colour source
// from 0 to 1 that gives the group a defined start), the transition
// composition with its from- and to-tracks, and the video composition.
HRESULT XRVDSTimeline::CreateVideoCompositions()
{
    CComPtr<IAMTimelineGroup> pVideoGroup;
    XRV_CHECK(GetVideoGroup(&pVideoGroup));
    CComPtr<IAMTimelineComp> pBlankComp;
    XRV_CHECK(AddCompToGroup( pVideoGroup, &pBlankComp, GetBlankCompNum() ));
    CComPtr<IAMTimelineTrack> pBlankTrack;
    XRV_CHECK(AddTrackToComp( pBlankComp, &pBlankTrack ));
    XRV_CHECK(AddBlankSource( pBlankTrack ));
    CComPtr<IAMTimelineComp> pTransComp;
    XRV_CHECK(AddCompToGroup( pVideoGroup, &pTransComp, GetTransCompNum() ));
    CComPtr<IAMTimelineTrack> pTransFromTrack, pTransToTrack;
    XRV_CHECK(AddTrackToComp( pTransComp, &pTransFromTrack ));
    XRV_CHECK(AddTrackToComp( pTransComp, &pTransToTrack ));
    CComPtr<IAMTimelineComp> pVideoComp;
    XRV_CHECK(AddCompToGroup( pVideoGroup, &pVideoComp, GetVideoCompNum() ));
    return S_OK;
}

HRESULT XRVDSTimeline::AddCompToGroup(IAMTimelineGroup* group, IAMTimelineComp** comp, int index)
{
    if (!group || !comp || !m_pTimeline)
        return E_FAIL;
    CComQIPtr<IAMTimelineComp> pGroupComp(group);
    XRV_CHECK_PTR(pGroupComp, "CComQIPtr(pGroup)", "IAMTimelineComp");
    CComPtr<IAMTimelineObj> pCompObj;
    XRV_CHECK(m_pTimeline->CreateEmptyNode( &pCompObj, TIMELINE_MAJOR_TYPE_COMPOSITE ));
    XRV_CHECK(pGroupComp->VTrackInsBefore( pCompObj, index ));
    XRV_CHECK(pCompObj->QueryInterface( IID_IAMTimelineComp, (void**)comp ));
    return S_OK;
}

HRESULT XRVDSTimeline::AddTrackToComp(IAMTimelineComp* comp, IAMTimelineTrack** track)
{
    if (!comp || !track || !m_pTimeline)
        return E_FAIL;
    CComPtr<IAMTimelineObj> pTrackObj;
    XRV_CHECK(m_pTimeline->CreateEmptyNode( &pTrackObj, TIMELINE_MAJOR_TYPE_TRACK ));
    XRV_CHECK(comp->VTrackInsBefore( pTrackObj, -1 ));
    XRV_CHECK(pTrackObj->QueryInterface( IID_IAMTimelineTrack, (void**)track ));
    return S_OK;
}

HRESULT XRVDSTimeline::AddSourceToTrack(IAMTimelineTrack* track, BSTR file, LONGLONG start, LONGLONG stop,
                                        LONGLONG mediaStart, LONGLONG mediaStop, BOOL)
{
    if (!track || !m_pTimeline)
        return E_FAIL;
    CComPtr<IAMTimelineObj> pSourceObj;
    XRV_CHECK(m_pTimeline->CreateEmptyNode( &pSourceObj, TIMELINE_MAJOR_TYPE_SOURCE ));
    CComQIPtr<IAMTimelineSrc> pSource(pSourceObj);
    XRV_CHECK_PTR(pSource, "CComQIPtr(pSourceObj)", "IAMTimelineSrc");
    XRV_CHECK(pSource->SetMediaName( file ));
    XRV_CHECK(pSource->SetStreamNumber( 0 ));
    XRV_CHECK(pSource->SetStretchMode( RESIZEF_CROP ));
    XRV_CHECK(pSourceObj->SetStartStop( start, stop ));
    XRV_CHECK(pSource->SetMediaTimes( mediaStart, mediaStop ));
    XRV_CHECK(track->SrcAdd( pSourceObj ));
    return S_OK;
}

HRESULT XRVDSTimeline::AddEffect(IAMTimelineObj* object, REFCLSID effect, LONGLONG begin, LONGLONG end,
                                 IAMTimelineObj** out)
{
    if (!object || !m_pTimeline)
        return E_FAIL;
    CComQIPtr<IAMTimelineEffectable> pEffectable(object);
    XRV_CHECK_PTR(pEffectable, "CComQIPtr(pObj)", "IAMTimelineEffectable");
    CComPtr<IAMTimelineObj> pEffectObj;
    XRV_CHECK(m_pTimeline->CreateEmptyNode( &pEffectObj, TIMELINE_MAJOR_TYPE_EFFECT ));
    XRV_CHECK(pEffectObj->SetStartStop( begin, end ));
    XRV_CHECK(pEffectObj->SetSubObjectGUID( effect ));
    XRV_CHECK(pEffectable->EffectInsBefore( pEffectObj, -1 ));
    if (out)
        *out = pEffectObj.Detach();
    return S_OK;
}

HRESULT XRVDSTimeline::GetVideoGroupObj(IAMTimelineObj** group)
{
    if (!group || m_nVideoPin == -1 || !m_pTimeline)
        return E_FAIL;
    XRV_CHECK(m_pTimeline->GetGroup( group, m_nVideoPin ));
    return S_OK;
}

HRESULT XRVDSTimeline::GetVideoGroup(IAMTimelineGroup** group)
{
    if (!group || m_nVideoPin == -1 || !m_pTimeline)
        return E_FAIL;
    CComPtr<IAMTimelineObj> pGroupObj;
    XRV_CHECK(m_pTimeline->GetGroup( &pGroupObj, m_nVideoPin ));
    XRV_CHECK(pGroupObj->QueryInterface( IID_IAMTimelineGroup, (void**)group ));
    return S_OK;
}

HRESULT XRVDSTimeline::GetAudioGroup(IAMTimelineGroup** group)
{
    if (!group || m_nAudioPin == -1 || !m_pTimeline)
        return E_FAIL;
    CComPtr<IAMTimelineObj> pGroupObj;
    XRV_CHECK(m_pTimeline->GetGroup( &pGroupObj, m_nAudioPin ));
    XRV_CHECK(pGroupObj->QueryInterface( IID_IAMTimelineGroup, (void**)group ));
    return S_OK;
}

HRESULT XRVDSTimeline::GetVideoCompObj(IAMTimelineObj** comp, int index)
{
    CComPtr<IAMTimelineGroup> pGroup;
    HRESULT hr = GetVideoGroup(&pGroup);
    if (FAILED(hr))
        return hr;
    CComQIPtr<IAMTimelineComp> pGroupComp(pGroup);
    XRV_CHECK_PTR(pGroupComp, "CComQIPtr(pGroup)", "IAMTimelineComp");
    XRV_CHECK(pGroupComp->GetVTrack( comp, index ));
    return S_OK;
}

HRESULT XRVDSTimeline::GetVideoComp(IAMTimelineComp** comp, int index)
{
    CComPtr<IAMTimelineObj> pCompObj;
    HRESULT hr = GetVideoCompObj(&pCompObj, index);
    if (FAILED(hr))
        return hr;
    XRV_CHECK(pCompObj->QueryInterface( IID_IAMTimelineComp, (void**)comp ));
    return S_OK;
}

HRESULT XRVDSTimeline::GetAudioCompObj(IAMTimelineObj** comp, int index)
{
    if (index == -1)
        index = m_nCurAudioComp;
    if (index < 0)
        return E_FAIL;
    CComPtr<IAMTimelineGroup> pGroup;
    HRESULT hr = GetAudioGroup(&pGroup);
    if (FAILED(hr))
        return hr;
    CComQIPtr<IAMTimelineComp> pGroupComp(pGroup);
    XRV_CHECK_PTR(pGroupComp, "CComQIPtr(pGroup)", "IAMTimelineComp");
    XRV_CHECK(pGroupComp->GetVTrack( comp, index ));
    return S_OK;
}

HRESULT XRVDSTimeline::GetAudioComp(IAMTimelineComp** comp, int index)
{
    CComPtr<IAMTimelineObj> pCompObj;
    HRESULT hr = GetAudioCompObj(&pCompObj, index);
    if (FAILED(hr))
        return hr;
    XRV_CHECK(pCompObj->QueryInterface( IID_IAMTimelineComp, (void**)comp ));
    return S_OK;
}

// Kind 0 the video composition, 1 the current audio composition, 2 the
// transition composition.
HRESULT XRVDSTimeline::GetCompObjForKind(int kind, IAMTimelineObj** comp)
{
    if (kind == 0)
        return GetVideoCompObj(comp, GetVideoCompNum());
    if (kind == 1)
        return GetAudioCompObj(comp);
    if (kind == 2)
        return GetVideoCompObj(comp, GetTransCompNum());
    return E_INVALIDARG;
}

HRESULT XRVDSTimeline::GetCompForKind(int kind, IAMTimelineComp** comp)
{
    CComPtr<IAMTimelineObj> pCompObj;
    HRESULT hr = GetCompObjForKind(kind, &pCompObj);
    if (FAILED(hr))
        return hr;
    XRV_CHECK(pCompObj->QueryInterface( IID_IAMTimelineComp, (void**)comp ));
    return S_OK;
}

// The number of tracks of a composition of the video group.
HRESULT XRVDSTimeline::GetNumCompositions(long* count, int composition)
{
    if (!count)
        return E_FAIL;
    *count = 0;
    CComPtr<IAMTimelineComp> pComp;
    HRESULT hr = GetVideoComp(&pComp, composition);
    if (FAILED(hr))
        return hr;
    XRV_CHECK(pComp->VTrackGetCount( count ));
    return S_OK;
}

BOOL XRVDSTimeline::HasVideoTracks()
{
    long count = 0;
    return SUCCEEDED(GetNumCompositions(&count, GetVideoCompNum())) && count > 0;
}

// Start of the first source and stop of the last; start -1 for an empty track.
HRESULT XRVDSTimeline::GetTrackStartStop(IAMTimelineTrack* track, LONGLONG* start, LONGLONG* stop)
{
    if (!track || !start || !stop)
        return E_FAIL;
    *start = -1;
    *stop = -1;
    REFERENCE_TIME rtNext = 0;
    for (;;) {
        CComPtr<IAMTimelineObj> pObj;
        HRESULT hr = track->GetNextSrc(&pObj, &rtNext);
        if (hr != S_OK || !pObj)
            break;
        REFERENCE_TIME s = 0, e = 0;
        XRV_CHECK(pObj->GetStartStop( &s, &e ));
        if (*start == -1)
            *start = s;
        *stop = e;
    }
    return S_OK;
}

HRESULT XRVDSTimeline::GetTrackObjStartStop(IAMTimelineObj* track, LONGLONG* start, LONGLONG* stop)
{
    CComQIPtr<IAMTimelineTrack> pTrack(track);
    if (!pTrack)
        return E_FAIL;
    return GetTrackStartStop(pTrack, start, stop);
}

HRESULT XRVDSTimeline::GetTrackMediaLength(IAMTimelineTrack* track, LONGLONG* length)
{
    if (!track || !length)
        return E_FAIL;
    *length = 0;
    REFERENCE_TIME rtNext = 0;
    for (;;) {
        CComPtr<IAMTimelineObj> pObj;
        if (track->GetNextSrc(&pObj, &rtNext) != S_OK || !pObj)
            break;
        CComQIPtr<IAMTimelineSrc> pSrc(pObj);
        if (!pSrc) {
            ReportText(__LINE__, "CComQIPtr() failed for IAMTimelineSrc in GetTrackMediaLength()");
            return E_FAIL;
        }
        REFERENCE_TIME s = 0, e = 0;
        XRV_CHECK(pSrc->GetMediaTimes( &s, &e ));
        *length += e - s;
    }
    return S_OK;
}

// The earliest media start and latest media stop over a track's sources
// (-1 and -1 for an empty track).
HRESULT XRVDSTimeline::GetTrackMediaStartStop(IAMTimelineTrack* track, LONGLONG* start, LONGLONG* stop)
{
    if (!track || !start || !stop)
        return E_FAIL;
    *start = -1;
    *stop = -1;
    REFERENCE_TIME rtNext = 0;
    for (;;) {
        CComPtr<IAMTimelineObj> pObj;
        if (track->GetNextSrc(&pObj, &rtNext) != S_OK || !pObj)
            break;
        CComQIPtr<IAMTimelineSrc> pSrc(pObj);
        if (!pSrc) {
            ReportText(__LINE__, "CComQIPtr() failed for IAMTimelineSrc in GetTrackMediaStartStop()");
            return E_FAIL;
        }
        REFERENCE_TIME s = 0, e = 0;
        XRV_CHECK(pSrc->GetMediaTimes( &s, &e ));
        if (*start == -1 || s < *start)
            *start = s;
        if (e > *stop)
            *stop = e;
    }
    return S_OK;
}

// Kind 1 the video composition, 0 the current audio composition, any other
// value both (muted when either is).
BOOL XRVDSTimeline::IsCompMuted(int kind)
{
    if (kind != 0 && kind != 1)
        return IsCompMuted(1) || IsCompMuted(0);
    CComPtr<IAMTimelineObj> pComp;
    HRESULT hr = kind == 1 ? GetVideoCompObj(&pComp, GetVideoCompNum()) : GetAudioCompObj(&pComp);
    BOOL muted = FALSE;
    if (SUCCEEDED(hr))
        pComp->GetMuted(&muted);
    return muted;
}

BOOL XRVDSTimeline::IsCompTrackMuted(int clip, int kind)
{
    CComPtr<IAMTimelineComp> pComp;
    HRESULT hr = kind == 1 ? GetVideoComp(&pComp, GetVideoCompNum()) : GetAudioComp(&pComp);
    if (FAILED(hr))
        return FALSE;
    CComPtr<IAMTimelineObj> pTrack;
    if (FAILED(pComp->GetVTrack(&pTrack, clip)))
        return FALSE;
    BOOL muted = FALSE;
    pTrack->GetMuted(&muted);
    return muted;
}

namespace {

HRESULT WalkComp(IAMTimelineComp* comp, XRVDSTimeline::SourceStep step, void* context)
{
    long count = 0;
    comp->VTrackGetCount(&count);
    for (long i = 0; i < count; ++i) {
        CComPtr<IAMTimelineObj> child;
        if (FAILED(comp->GetVTrack(&child, i)))
            continue;
        CComQIPtr<IAMTimelineComp> subComp(child);
        if (subComp) {
            HRESULT hr = WalkComp(subComp, step, context);
            if (FAILED(hr))
                return hr;
            continue;
        }
        CComQIPtr<IAMTimelineTrack> track(child);
        if (!track)
            continue;
        REFERENCE_TIME rtNext = 0;
        for (;;) {
            CComPtr<IAMTimelineObj> source;
            if (track->GetNextSrc(&source, &rtNext) != S_OK || !source)
                break;
            HRESULT hr = step(source, context);
            if (FAILED(hr))
                return hr;
        }
    }
    return S_OK;
}

} // namespace

HRESULT XRVDSTimeline::ForEachTrackSource(SourceStep step, void* context)
{
    if (!m_pTimeline || !step)
        return E_FAIL;
    long groups = 0;
    m_pTimeline->GetGroupCount(&groups);
    for (long g = 0; g < groups; ++g) {
        CComPtr<IAMTimelineObj> group;
        if (FAILED(m_pTimeline->GetGroup(&group, g)))
            continue;
        CComQIPtr<IAMTimelineComp> comp(group);
        if (!comp)
            continue;
        HRESULT hr = WalkComp(comp, step, context);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

// Finds the "Video Group" (video) and the "Audio Group" (audio) by name and
// media type and records their indexes (-1 when absent).
void XRVDSTimeline::FindGroupIndexes(IAMTimeline* timeline)
{
    m_nVideoPin = -1;
    m_nAudioPin = -1;
    if (!timeline)
        return;
    long groups = 0;
    timeline->GetGroupCount(&groups);
    for (long g = 0; g < groups; ++g) {
        CComPtr<IAMTimelineObj> groupObj;
        if (FAILED(timeline->GetGroup(&groupObj, g)))
            continue;
        CComQIPtr<IAMTimelineGroup> group(groupObj);
        if (!group)
            continue;
        if (GroupIs(group, kVideoGroupName, MEDIATYPE_Video))
            m_nVideoPin = (int)g;
        else if (GroupIs(group, kAudioGroupName, MEDIATYPE_Audio))
            m_nAudioPin = (int)g;
    }
}

LONGLONG XRVDSTimeline::GetDuration()
{
    if (!m_pTimeline)
        return 0;
    REFERENCE_TIME duration = 0;
    if (FAILED(m_pTimeline->GetDuration(&duration)))
        return 0;
    return duration;
}

// Throws the whole tree away and builds the empty video group again.
HRESULT XRVDSTimeline::RebuildVideoGroup()
{
    if (m_pTimeline)
        m_pTimeline->ClearAllGroups();
    m_dMaxFrameRate = 0.0;
    m_bMaxPropertiesKnown = FALSE;
    m_nVideoPin = -1;
    m_nAudioPin = -1;
    m_nAudioCompMain = -1;
    m_nAudioCompSecond = -1;
    m_nCurAudioComp = -1;
    m_nAudioCompCount = 0;
    m_nInt1 = 0;
    m_nInt2 = 0;
    m_nReserved = 0;
    HRESULT hr = CreateVidGroup();
    if (FAILED(hr))
        return hr;
    return CreateVideoCompositions();
}

// Empties the timeline and the editor's records, then makes a new video group.
HRESULT XRVDSTimeline::ClearTimeline()
{
    if (m_pTimeline)
        m_pTimeline->ClearAllGroups();
    FreeRecords();
    m_ItemRecords.RemoveAll();
    m_ClipDescs.RemoveAll();
    m_ClipExDescs.RemoveAll();
    m_NamePairs.RemoveAll();
    m_Strings1.RemoveAll();
    m_Strings2.RemoveAll();
    m_Strings3.RemoveAll();
    m_dValue = 0.0;
    m_nVideoPin = -1;
    m_nAudioPin = -1;
    m_nAudioCompMain = -1;
    m_nAudioCompSecond = -1;
    m_nCurAudioComp = -1;
    m_nAudioCompCount = 0;
    m_nBitDepth = 32;
    m_nInt1 = 0;
    m_nInt2 = 0;
    m_pGraph.Release();
    HRESULT hr = CreateVidGroup();
    if (FAILED(hr))
        return hr;
    return CreateVideoCompositions();
}

// ---------------------------------------------------------------------------
// Copying the tree.

HRESULT XRVDSTimeline::CopyGroups(IAMTimeline* pDestTimeline)
{
    if (!pDestTimeline || !m_pTimeline)
        return E_FAIL;
    long groups = 0;
    BOOL enabled = TRUE;
    XRV_CHECK(m_pTimeline->GetGroupCount( &groups ));
    XRV_CHECK(m_pTimeline->TransitionsEnabled( &enabled ));
    XRV_CHECK(pDestTimeline->EnableTransitions( enabled ));
    HRESULT hr = S_OK;
    for (long nGroupCounter = 0; nGroupCounter < groups; ++nGroupCounter) {
        CComPtr<IAMTimelineObj> pCurDestGroupObj, pCurSrcGroupObj;
        XRV_CHECK(pDestTimeline->CreateEmptyNode( &pCurDestGroupObj, TIMELINE_MAJOR_TYPE_GROUP ));
        XRV_CHECK(pDestTimeline->AddGroup( pCurDestGroupObj ));
        XRV_CHECK(m_pTimeline->GetGroup( &pCurSrcGroupObj, nGroupCounter ));
        hr = CopyGroup(pCurSrcGroupObj, pCurDestGroupObj, pDestTimeline, NULL);
        if (FAILED(hr))
            return hr;
    }
    return hr;
}

// Copies a group's settings and compositions; mediaType, when given,
// replaces the source group's media type.
HRESULT XRVDSTimeline::CopyGroup(IAMTimelineObj* pCurSrcGroupObj, IAMTimelineObj* pCurDestGroupObj,
                                 IAMTimeline* pDestTimeline, const AM_MEDIA_TYPE* mediaType)
{
    if (!pCurSrcGroupObj || !pCurDestGroupObj || !pDestTimeline)
        return E_FAIL;
    CComPtr<IAMTimelineGroup> pCurSrcGroup, pCurDestGroup;
    XRV_CHECK(pCurSrcGroupObj->QueryInterface( IID_IAMTimelineGroup, (void**)&pCurSrcGroup ));
    XRV_CHECK(pCurDestGroupObj->QueryInterface( IID_IAMTimelineGroup, (void**)&pCurDestGroup ));
    BSTR name = NULL;
    XRV_CHECK(pCurSrcGroup->GetGroupName( &name ));
    HRESULT hr = pCurDestGroup->SetGroupName(name);
    ::SysFreeString(name);
    XRV_CHECK(hr);
    if (mediaType) {
        XRV_CHECK(pCurDestGroup->SetMediaType( const_cast<AM_MEDIA_TYPE*>(mediaType) ));
    } else {
        AM_MEDIA_TYPE mt;
        memset(&mt, 0, sizeof(mt));
        XRV_CHECK(pCurSrcGroup->GetMediaType( &mt ));
        hr = pCurDestGroup->SetMediaType(&mt);
        if (mt.pbFormat)
            CoTaskMemFree(mt.pbFormat);
        if (mt.pUnk)
            mt.pUnk->Release();
        XRV_CHECK(hr);
    }
    int buffering = 0;
    double fps = 0;
    BOOL preview = FALSE;
    XRV_CHECK(pCurSrcGroup->GetOutputBuffering( &buffering ));
    XRV_CHECK(pCurDestGroup->SetOutputBuffering( buffering ));
    XRV_CHECK(pCurSrcGroup->GetOutputFPS( &fps ));
    XRV_CHECK(pCurDestGroup->SetOutputFPS( fps ));
    XRV_CHECK(pCurSrcGroup->GetPreviewMode( &preview ));
    XRV_CHECK(pCurDestGroup->SetPreviewMode( preview ));
    CComPtr<IAMTimelineComp> pCurSrcGroupComp, pCurDestGroupComp;
    XRV_CHECK(pCurSrcGroup->QueryInterface(IID_IAMTimelineComp, (void **)&pCurSrcGroupComp));
    XRV_CHECK(pCurDestGroup->QueryInterface(IID_IAMTimelineComp, (void **)&pCurDestGroupComp));
    long comps = 0;
    XRV_CHECK(pCurSrcGroupComp->VTrackGetCount( &comps ));
    for (long iCurComp = 0; iCurComp < comps; ++iCurComp) {
        CComPtr<IAMTimelineObj> pCurSrcCompositionObj, pCurDestCompositionObj;
        CComPtr<IAMTimelineComp> pCurSrcComposition, pCurDestComposition;
        XRV_CHECK(pCurSrcGroupComp->GetVTrack( &pCurSrcCompositionObj, iCurComp ));
        XRV_CHECK(pCurSrcCompositionObj.QueryInterface( &pCurSrcComposition ));
        XRV_CHECK(pDestTimeline->CreateEmptyNode( &pCurDestCompositionObj, TIMELINE_MAJOR_TYPE_COMPOSITE ));
        XRV_CHECK(pCurDestGroupComp->VTrackInsBefore( pCurDestCompositionObj, iCurComp ));
        XRV_CHECK(pCurDestCompositionObj.QueryInterface( &pCurDestComposition ));
        BOOL muted = FALSE;
        pCurSrcCompositionObj->GetMuted(&muted);
        pCurDestCompositionObj->SetMuted(muted);
        hr = CopyTracks(pCurSrcComposition, pCurDestComposition, pDestTimeline);
        if (FAILED(hr))
            return hr;
        hr = CopyEffects(pCurSrcCompositionObj, pCurDestCompositionObj, pDestTimeline);
        if (FAILED(hr))
            return hr;
        hr = CopyTransitions(pCurSrcCompositionObj, pCurDestCompositionObj, pDestTimeline);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT XRVDSTimeline::CopyTracks(IAMTimelineComp* pCurSrcComposition, IAMTimelineComp* pCurDestComposition,
                                  IAMTimeline* pDestTimeline)
{
    long tracks = 0;
    XRV_CHECK(pCurSrcComposition->VTrackGetCount( &tracks ));
    for (long iCurTrack = 0; iCurTrack < tracks; ++iCurTrack) {
        CComPtr<IAMTimelineObj> pCurSrcTrackObj, pCurDestTrackObj;
        XRV_CHECK(pCurSrcComposition->GetVTrack( &pCurSrcTrackObj, iCurTrack ));
        XRV_CHECK(pDestTimeline->CreateEmptyNode( &pCurDestTrackObj, TIMELINE_MAJOR_TYPE_TRACK ));
        XRV_CHECK(pCurDestComposition->VTrackInsBefore( pCurDestTrackObj, iCurTrack ));
        HRESULT hr = CopyTrack(pCurSrcTrackObj, pCurDestTrackObj, pDestTimeline);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT XRVDSTimeline::CopyTrack(IAMTimelineObj* pCurSrcTrackObj, IAMTimelineObj* pCurDestTrackObj,
                                 IAMTimeline* pDestTimeline)
{
    CComPtr<IAMTimelineTrack> pCurSrcTrack, pCurDestTrack;
    XRV_CHECK(pCurSrcTrackObj->QueryInterface( IID_IAMTimelineTrack, (void**)&pCurSrcTrack ));
    XRV_CHECK(pCurDestTrackObj->QueryInterface( IID_IAMTimelineTrack, (void **) &pCurDestTrack ));
    BOOL muted = FALSE;
    pCurSrcTrackObj->GetMuted(&muted);
    pCurDestTrackObj->SetMuted(muted);
    HRESULT hr = CopySources(pCurSrcTrack, pCurDestTrack, pDestTimeline);
    if (FAILED(hr))
        return hr;
    hr = CopyEffects(pCurSrcTrackObj, pCurDestTrackObj, pDestTimeline);
    if (FAILED(hr))
        return hr;
    return CopyTransitions(pCurSrcTrackObj, pCurDestTrackObj, pDestTimeline);
}

// Sources keep their times, media, settings and properties; the copy gets
// its own property setter, as effects and transitions do.
HRESULT XRVDSTimeline::CopySources(IAMTimelineTrack* pCurSrcTrack, IAMTimelineTrack* pCurDestTrack,
                                   IAMTimeline* pDestTimeline)
{
    REFERENCE_TIME rtNext = 0;
    for (;;) {
        CComPtr<IAMTimelineObj> pCurSrcSourceObj;
        if (pCurSrcTrack->GetNextSrc(&pCurSrcSourceObj, &rtNext) != S_OK || !pCurSrcSourceObj)
            break;
        CComQIPtr<IAMTimelineSrc> pCurSrcSource(pCurSrcSourceObj);
        XRV_CHECK_PTR(pCurSrcSource, "CComQIPtr( pCurSrcSourceObj )", "IAMTimelineSrc");
        REFERENCE_TIME start = 0, stop = 0, mStart = 0, mStop = 0, mLength = 0;
        BOOL muted = FALSE;
        GUID sub = GUID_NULL;
        double fps = 0;
        BSTR name = NULL;
        long stream = 0;
        int stretch = 0;
        CComPtr<IPropertySetter> setter;
        XRV_CHECK(pCurSrcSourceObj->GetStartStop( &start, &stop ));
        XRV_CHECK(pCurSrcSourceObj->GetMuted( &muted ));
        XRV_CHECK(pCurSrcSourceObj->GetPropertySetter( &setter ));
        XRV_CHECK(pCurSrcSourceObj->GetSubObjectGUID( &sub ));
        XRV_CHECK(pCurSrcSource->GetDefaultFPS( &fps ));
        XRV_CHECK(pCurSrcSource->GetMediaTimes( &mStart, &mStop ));
        XRV_CHECK(pCurSrcSource->GetMediaLength( &mLength ));
        XRV_CHECK(pCurSrcSource->GetStreamNumber( &stream ));
        XRV_CHECK(pCurSrcSource->GetStretchMode( &stretch ));
        XRV_CHECK(pCurSrcSource->GetMediaName( &name ));
        CComPtr<IAMTimelineObj> pCurDestSourceObj;
        HRESULT hr = pDestTimeline->CreateEmptyNode(&pCurDestSourceObj, TIMELINE_MAJOR_TYPE_SOURCE);
        if (FAILED(hr)) {
            ::SysFreeString(name);
            ReportTimelineCall(XRV_TIMELINE_SOURCE, __LINE__,
                               "pDestTimeline->CreateEmptyNode( &pCurDestSourceObj, TIMELINE_MAJOR_TYPE_SOURCE )",
                               __FUNCTION__);
            return hr;
        }
        CComQIPtr<IAMTimelineSrc> pCurDestSource(pCurDestSourceObj);
        if (!pCurDestSource) {
            ::SysFreeString(name);
            ReportText(__LINE__, "CComQIPtr( pCurDestSourceObj ) failed for IAMTimelineSrc in CopySources()");
            return E_FAIL;
        }
        hr = pCurDestSource->SetMediaName(name);
        ::SysFreeString(name);
        XRV_CHECK(hr);
        XRV_CHECK(pCurDestSourceObj->SetStartStop( start, stop ));
        XRV_CHECK(pCurDestSourceObj->SetMuted( muted ));
        if (setter) {
            CComPtr<IPropertySetter> copy;
            XRV_CHECK(setter->CloneProps( &copy, 0, MAXLONGLONG ));
            XRV_CHECK(pCurDestSourceObj->SetPropertySetter( copy ));
        }
        XRV_CHECK(pCurDestSourceObj->SetSubObjectGUID( sub ));
        XRV_CHECK(pCurDestSource->SetDefaultFPS( fps ));
        XRV_CHECK(pCurDestSource->SetMediaTimes( mStart, mStop ));
        XRV_CHECK(pCurDestSource->SetMediaLength( mLength ));
        XRV_CHECK(pCurDestSource->SetStreamNumber( stream ));
        XRV_CHECK(pCurDestSource->SetStretchMode( stretch ));
        XRV_CHECK(pCurDestTrack->SrcAdd( pCurDestSourceObj ));
        hr = CopyEffects(pCurSrcSourceObj, pCurDestSourceObj, pDestTimeline);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

// Effects keep their times (relative to their object), class and properties;
// the copy gets its own property setter.
HRESULT XRVDSTimeline::CopyEffects(IAMTimelineObj* src, IAMTimelineObj* dest, IAMTimeline* pDestTimeline)
{
    CComQIPtr<IAMTimelineEffectable> pSrcFxable(src);
    CComQIPtr<IAMTimelineEffectable> pDestFxable(dest);
    if (!pSrcFxable || !pDestFxable)
        return S_OK;
    long count = 0;
    XRV_CHECK(pSrcFxable->EffectGetCount( &count ));
    for (long i = 0; i < count; ++i) {
        CComPtr<IAMTimelineObj> pFxObj, pNewFxObj;
        XRV_CHECK(pSrcFxable->GetEffect( &pFxObj, i ));
        REFERENCE_TIME start = 0, stop = 0;
        GUID sub = GUID_NULL;
        XRV_CHECK(pFxObj->GetStartStop( &start, &stop ));
        XRV_CHECK(pFxObj->GetSubObjectGUID( &sub ));
        XRV_CHECK(pDestTimeline->CreateEmptyNode( &pNewFxObj, TIMELINE_MAJOR_TYPE_EFFECT ));
        XRV_CHECK(pNewFxObj->SetStartStop( start, stop ));
        XRV_CHECK(pNewFxObj->SetSubObjectGUID( sub ));
        CComPtr<IPropertySetter> setter, copy;
        if (pFxObj->GetPropertySetter(&setter) == S_OK && setter) {
            XRV_CHECK(setter->CloneProps( &copy, 0, MAXLONGLONG ));
            XRV_CHECK(pNewFxObj->SetPropertySetter( copy ));
        }
        XRV_CHECK(pDestFxable->EffectInsBefore( pNewFxObj, -1 ));
    }
    return S_OK;
}

HRESULT XRVDSTimeline::CopyTransitions(IAMTimelineObj* src, IAMTimelineObj* dest, IAMTimeline* pDestTimeline)
{
    CComQIPtr<IAMTimelineTransable> pSrcTransable(src);
    CComQIPtr<IAMTimelineTransable> pDestTransable(dest);
    if (!pSrcTransable || !pDestTransable)
        return S_OK;
    REFERENCE_TIME rtNext = 0;
    for (;;) {
        CComPtr<IAMTimelineObj> pTransObj, pNewTransObj;
        if (pSrcTransable->GetNextTrans(&pTransObj, &rtNext) != S_OK || !pTransObj)
            break;
        REFERENCE_TIME start = 0, stop = 0;
        GUID sub = GUID_NULL;
        XRV_CHECK(pTransObj->GetStartStop( &start, &stop ));
        XRV_CHECK(pTransObj->GetSubObjectGUID( &sub ));
        XRV_CHECK(pDestTimeline->CreateEmptyNode( &pNewTransObj, TIMELINE_MAJOR_TYPE_TRANSITION ));
        XRV_CHECK(pNewTransObj->SetStartStop( start, stop ));
        XRV_CHECK(pNewTransObj->SetSubObjectGUID( sub ));
        CComPtr<IPropertySetter> setter, copy;
        if (pTransObj->GetPropertySetter(&setter) == S_OK && setter) {
            XRV_CHECK(setter->CloneProps( &copy, 0, MAXLONGLONG ));
            XRV_CHECK(pNewTransObj->SetPropertySetter( copy ));
        }
        CComQIPtr<IAMTimelineTrans> pTrans(pTransObj), pNewTrans(pNewTransObj);
        if (pTrans && pNewTrans) {
            REFERENCE_TIME cut = 0;
            BOOL swap = FALSE, cutsOnly = FALSE;
            pTrans->GetCutPoint(&cut);
            pTrans->GetSwapInputs(&swap);
            pTrans->GetCutsOnly(&cutsOnly);
            pNewTrans->SetCutPoint(cut);
            pNewTrans->SetSwapInputs(swap);
            pNewTrans->SetCutsOnly(cutsOnly);
        }
        XRV_CHECK(pDestTransable->TransAdd( pNewTransObj ));
    }
    return S_OK;
}
