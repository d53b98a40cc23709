// The facade's remaining editing, player, overlay and registry operations:
// clip and composition queries, the add-media family, splitting a clip,
// transitions by record, and thin forwards to the timeline and the
// process-wide object registry.
#include "XRVDirectShow/XRVDShow.h"

#include "XRVDirectShow/MediaTypes.h"
#include "platform/dex/DexFactory.h"
#include "XRVDirectShow/TimelineObjectRegistry.h"
#include "XRVDirectShow/TimelineReport.h"
#include "framework/WinApp.h"
#include "resources/ids_playback.h"
#include "settings/XmlNode.h"

#include <windows.h>
#include <dvdmedia.h>
#include <qedit.h>

namespace {

const char* const kFacadeSource = ".\\XRVDirectShow\\XRVDShow";

// The frame length of the timeline's output, 100 ns (the audio group's rate
// when there is no video rate); 1 when neither is known.
LONGLONG FrameLength(XRVDShow* facade)
{
    double rate = 0.0;
    facade->GetVideoFrameRate(&rate);
    if (rate == 0.0)
        facade->GetAudioGroupRate(&rate);
    const LONGLONG frame = rate > 0.0 ? (LONGLONG)(10000000.0 / rate) : 1;
    return frame > 0 ? frame : 1;
}

}  // namespace

// ---------------------------------------------------------------------------
// Clip and composition queries.

HRESULT XRVDShow::GetTrackCount(long* count)
{
    if (!count)
        return E_FAIL;
    *count = 0;
    if (!m_pTimeline)
        return E_FAIL;
    // The video composition by its number (the group holds the blank, the
    // transition and the video composition; there is no fixed fourth one).
    return FAILED(m_pTimeline->GetNumCompositions(count, m_pTimeline->GetVideoCompNum())) ? E_FAIL : S_OK;
}

int XRVDShow::GetClipIndexAtTimeEx(int kind, LONGLONG time)
{
    const int n = GetClipIndexAtTime(kind, time);
    if (n != -1)
        return n;
    // Off the frame grid: a clip whose exact span holds the time.
    for (int clip = 0, count = GetClipCount(kind); clip < count; ++clip) {
        CComPtr<IAMTimelineTrack> track;
        LONGLONG start = -1, stop = -1;
        if (SUCCEEDED(GetClip(kind, clip, &track)) && SUCCEEDED(GetClipTimes(track, &start, &stop)) &&
            start <= time && time < stop)
            return clip;
    }
    return -1;
}

HRESULT XRVDShow::GetClipMediaName(int kind, int clip, CString* name)
{
    if (!name)
        return E_FAIL;
    name->Empty();
    CComPtr<IAMTimelineTrack> track;
    HRESULT hr = GetClip(kind, clip, &track);
    if (FAILED(hr))
        return hr;
    CComPtr<IAMTimelineObj> source;
    REFERENCE_TIME at = 0;
    if (track->GetNextSrc(&source, &at) != S_OK || !source)
        return E_FAIL;
    CComQIPtr<IAMTimelineSrc> src(source);
    if (!src)
        return E_FAIL;
    BSTR media = NULL;
    hr = src->GetMediaName(&media);
    if (FAILED(hr)) {
        ReportTimelineCall(kFacadeSource, __LINE__, "pSrc->GetMediaName( &bstrName )", "GetClipMediaName");
        return hr;
    }
    *name = CString(media ? media : L"");
    ::SysFreeString(media);
    return S_OK;
}

HRESULT XRVDShow::GetClipTimes(IAMTimelineTrack* track, LONGLONG* start, LONGLONG* stop)
{
    if (!m_pTimeline || !track || !start || !stop)
        return E_FAIL;
    return m_pTimeline->GetTrackStartStop(track, start, stop);
}

// A track gives its own span; a composition the span of its tracks (-1, -1
// when none holds a clip).
HRESULT XRVDShow::GetCompStartStop(IAMTimelineObj* object, LONGLONG* start, LONGLONG* stop)
{
    if (!m_pTimeline || !object || !start || !stop)
        return E_FAIL;
    *start = -1;
    *stop = -1;
    CComQIPtr<IAMTimelineTrack> track(object);
    if (track)
        return m_pTimeline->GetTrackStartStop(track, start, stop);
    CComQIPtr<IAMTimelineComp> comp(object);
    if (!comp)
        return E_FAIL;
    long count = 0;
    HRESULT hr = comp->VTrackGetCount(&count);
    if (FAILED(hr))
        return hr;
    for (long i = 0; i < count; ++i) {
        CComPtr<IAMTimelineObj> child;
        LONGLONG s = -1, e = -1;
        if (FAILED(comp->GetVTrack(&child, i)))
            continue;
        if (FAILED(GetCompStartStop(child, &s, &e)) || s < 0)
            continue;
        if (*start < 0 || s < *start)
            *start = s;
        if (e > *stop)
            *stop = e;
    }
    return S_OK;
}

LONGLONG XRVDShow::GetCompStop(int kind)
{
    CComPtr<IAMTimelineObj> comp;
    LONGLONG start = -1, stop = -1;
    if (FAILED(GetTrackObj(kind, &comp)) || FAILED(GetCompStartStop(comp, &start, &stop)) || stop < 0)
        return 0;
    return stop;
}

HRESULT XRVDShow::GetClip(int kind, int clip, IAMTimelineTrack** track)
{
    if (!track)
        return E_FAIL;
    *track = NULL;
    CComPtr<IAMTimelineObj> object;
    HRESULT hr = GetClipObj(kind, clip, &object);
    if (FAILED(hr))
        return hr;
    hr = object->QueryInterface(IID_IAMTimelineTrack, (void**)track);
    if (FAILED(hr))
        ReportTimelineCall(kFacadeSource, __LINE__, "pTrackObj->QueryInterface(IID_IAMTimelineTrack, (void **)&pTrack )",
                           "GetClip");
    return hr;
}

HRESULT XRVDShow::GetClipObj(int kind, int clip, IAMTimelineObj** object)
{
    if (!object)
        return E_FAIL;
    *object = NULL;
    int track = -1;
    HRESULT hr = GetTrackOfClip(kind, clip, &track);
    if (FAILED(hr))
        return hr;
    CComPtr<IAMTimelineComp> comp;
    hr = GetTrack(kind, &comp);
    if (FAILED(hr)) {
        ReportTimelineCall(kFacadeSource, __LINE__, "GetTrack( uTrack, &pComp )", "GetClipObj");
        return hr;
    }
    hr = comp->GetVTrack(object, track);
    if (FAILED(hr))
        ReportTimelineCall(kFacadeSource, __LINE__, "pComp->GetVTrack( &pTrackObj, iCurTrack )", "GetClipObj");
    return hr;
}

HRESULT XRVDShow::GetTrackObj(int kind, IAMTimelineObj** object)
{
    if (!object)
        return E_FAIL;
    *object = NULL;
    CComPtr<IAMTimelineComp> comp;
    HRESULT hr = GetTrack(kind, &comp);
    if (FAILED(hr))
        return hr;
    return comp->QueryInterface(IID_IAMTimelineObj, (void**)object);
}

HRESULT XRVDShow::GetClipMediaStartStop(int kind, int clip, LONGLONG* start, LONGLONG* stop)
{
    if (!start || !stop)
        return E_FAIL;
    CComPtr<IAMTimelineTrack> track;
    HRESULT hr = GetClip(kind, clip, &track);
    return FAILED(hr) ? hr : m_pTimeline->GetTrackMediaStartStop(track, start, stop);
}

HRESULT XRVDShow::GetClipMediaLength(int kind, int clip, LONGLONG* length)
{
    if (!length)
        return E_FAIL;
    CComPtr<IAMTimelineTrack> track;
    HRESULT hr = GetClip(kind, clip, &track);
    return FAILED(hr) ? hr : m_pTimeline->GetTrackMediaLength(track, length);
}

// ---------------------------------------------------------------------------
// Adding media.

HRESULT XRVDShow::AddMediaFileEx(int kind, LPCTSTR file, LONGLONG start, LONGLONG stop, LONGLONG mediaStart,
                                 LONGLONG mediaStop, BOOL insert)
{
    if (!m_pTimeline || kind != 0 || !file || !*file || !XRVDShowMedia::HasVideoStream(file))
        return E_FAIL;
    TimelineLock guard(m_pTimeline);
    if (!guard.Acquire(FALSE))
        return E_FAIL;
    const HRESULT hr =
        m_pTimeline->AddMovieFileToTimeline(file, start, stop, mediaStart, mediaStop, insert, TRUE, TRUE);
    guard.Release();
    return hr;
}

HRESULT XRVDShow::AddMediaFileAt(int kind, LPCTSTR file, LONGLONG start)
{
    return AddMediaFileEx(kind, file, start, -1, -1, -1, FALSE);
}

HRESULT XRVDShow::AddMediaFileForLength(int kind, LPCTSTR file, LONGLONG start, LONGLONG length)
{
    if (start < 0 || length <= 0)
        return E_FAIL;
    return AddMediaFileEx(kind, file, start, start + length, 0, length, FALSE);
}

namespace {

// Where something goes after a clip: the clip's stop; past the last clip the
// last clip's stop; with no clips at all, the start of the timeline.
HRESULT TimeAfterClip(XRVDShow* facade, int kind, int clip, LONGLONG* at)
{
    *at = 0;
    const int count = facade->GetClipCount(kind);
    if (count == 0)
        return clip == 0 ? S_OK : E_FAIL;
    if (clip < 0)
        return E_FAIL;
    if (clip >= count)
        clip = count - 1;
    LONGLONG start = 0;
    return facade->GetClipStartStop(kind, clip, &start, at);
}

}  // namespace

HRESULT XRVDShow::AppendMediaFileAfterClip(int kind, int clip, LPCTSTR file, LONGLONG mediaStart,
                                           LONGLONG mediaStop, BOOL insert)
{
    LONGLONG at = 0;
    if (!m_pTimeline || FAILED(TimeAfterClip(this, kind, clip, &at)))
        return E_FAIL;
    if (!file || !XRVDShowMedia::HasVideoStream(file))
        return E_FAIL;
    return AddMediaFileEx(kind, file, at, -1, mediaStart, mediaStop, insert);
}

HRESULT XRVDShow::AppendMediaFileAfterClipEx(int kind, int clip, LPCTSTR file, LONGLONG mediaStart,
                                             LONGLONG mediaStop)
{
    return AppendMediaFileAfterClip(kind, clip, file, mediaStart, mediaStop, TRUE);
}

HRESULT XRVDShow::InsertMediaFileAt(int kind, int clip, LPCTSTR file)
{
    return AppendMediaFileAfterClip(kind, clip, file, -1, -1, TRUE);
}

HRESULT XRVDShow::InsertBlankAfterClip(int kind, int clip, LONGLONG length)
{
    LONGLONG at = 0;
    if (!m_pTimeline || FAILED(TimeAfterClip(this, kind, clip, &at)))
        return E_FAIL;
    return InsertBlank(kind, at, length);
}

HRESULT XRVDShow::AddAudioMixComp(LPCTSTR file)
{
    if (!m_pTimeline || !file || !*file || !m_pTimeline->HasAudioGroup())
        return E_FAIL;
    const LONGLONG length = XRVDShowMedia::GetStreamLength(file);
    if (length <= 0)
        return E_FAIL;
    TimelineLock guard(m_pTimeline);
    if (!guard.Acquire(FALSE))
        return E_FAIL;
    CComPtr<IAMTimelineGroup> group;
    CComPtr<IAMTimelineComp> comp;
    HRESULT hr = m_pTimeline->GetAudioGroup(&group);
    if (SUCCEEDED(hr))
        hr = m_pTimeline->AddCompToGroup(group, &comp, -1);
    if (FAILED(hr)) {
        ReportTimelineCall(kFacadeSource, __LINE__, "m_pTimeline->AddCompToGroup( pAudioGroup, &pMixAudioComp )",
                           "AddAudioMixComp");
        guard.Release();
        return hr;
    }
    m_pTimeline->m_nAudioCompSecond = m_pTimeline->m_nAudioCompCount++;
    const int saved = m_pTimeline->GetCurAudioComp();
    m_pTimeline->SetCurAudioComp(m_pTimeline->m_nAudioCompSecond);
    hr = m_pTimeline->AddAudioFileToTimeline(file, 0, length, 0, length, 0, FALSE, FALSE, FALSE, TRUE);
    m_pTimeline->SetCurAudioComp(saved);
    guard.Release();
    return hr;
}

// ---------------------------------------------------------------------------
// Splitting.

void XRVDShow::ShowSplitRefused()
{
    AfxMessageBox(IDS_SPLIT_AT_CLIP_EDGE, MB_OK | MB_ICONEXCLAMATION);
}

// The halves of a split video clip lie on the clip's track and on a new
// track right after it; the transition records that name tracks follow: a
// transition out of the clip now leaves from the second half, later tracks
// move up by one.
HRESULT XRVDShow::SplitClip(int kind, int clip, LONGLONG time)
{
    if (!m_pTimeline)
        return E_FAIL;
    if (time >= 0 && GetTransitionAtTime(time) != -1)
        return E_FAIL;
    LONGLONG start = 0, stop = 0;
    HRESULT hr = GetClipStartStop(kind, clip, &start, &stop);
    if (FAILED(hr)) {
        ReportTimelineCall(kFacadeSource, __LINE__, "GetClipStartStop( uTrack, uClip, &rtClipStart, &rtClipStop )",
                           "SplitClip");
        return E_FAIL;
    }
    int track = -1;
    CComPtr<IAMTimelineObj> trackObj;
    if (FAILED(GetTrackOfClip(kind, clip, &track)) || FAILED(GetClipObj(kind, clip, &trackObj)))
        return E_FAIL;
    const LONGLONG frame = FrameLength(this);
    if (time <= start + frame || time >= stop - frame) {
        ShowSplitRefused();
        return E_FAIL;
    }
    TimelineLock guard(m_pTimeline);
    if (!guard.Acquire(FALSE))
        return E_FAIL;
    hr = m_pTimeline->SplitObj(trackObj, time, NULL);
    if (SUCCEEDED(hr) && kind == 0) {
        for (int i = 0; i < m_pTimeline->GetTransitionCount(); ++i) {
            TransitionInfo* info = m_pTimeline->GetTransition(i);
            if (!info || info->bPlaceByTime)
                continue;
            if ((int)info->uIndexStart >= track)
                info->uIndexStart += 1;
            if ((int)info->uIndexStop > track)
                info->uIndexStop += 1;
        }
        // The sound recorded with the clip: the audio track of the same span.
        CComPtr<IAMTimelineComp> audio;
        long count = 0;
        if (m_pTimeline->GetAudioCompMain() >= 0 &&
            SUCCEEDED(m_pTimeline->GetAudioComp(&audio, m_pTimeline->GetAudioCompMain())) &&
            SUCCEEDED(audio->VTrackGetCount(&count))) {
            for (long i = 0; i < count; ++i) {
                CComPtr<IAMTimelineObj> audioTrack;
                LONGLONG s = -1, e = -1;
                if (FAILED(audio->GetVTrack(&audioTrack, i)) ||
                    FAILED(m_pTimeline->GetTrackObjStartStop(audioTrack, &s, &e)))
                    continue;
                if (s == start && e == stop) {
                    m_pTimeline->SplitObj(audioTrack, time, NULL);
                    ++i;   // the tail sits on the new track right after this one
                    ++count;
                }
            }
        }
    }
    guard.Release();
    return hr;
}

// ---------------------------------------------------------------------------
// Transitions by record.

HRESULT XRVDShow::InsertTransition(const TransitionInfo& info, BOOL update)
{
    if (!m_pTimeline)
        return E_FAIL;
    m_pTimeline->AddTransition(info, -1);
    if (update)
        UpdatePreview(0, FALSE);
    return S_OK;
}

HRESULT XRVDShow::AddTransitionAndUpdate(int, const TransitionInfo& info)
{
    return InsertTransition(info, TRUE);
}

HRESULT XRVDShow::EnableTransitions(BOOL enable)
{
    if (!m_pTimeline || !m_pTimeline->m_pTimeline)
        return E_FAIL;
    return m_pTimeline->m_pTimeline->EnableTransitions(enable);
}

HRESULT XRVDShow::UpdateGraphEx(int, int, int flag, int, int, int)
{
    return UpdateGraph(flag);
}

HRESULT XRVDShow::LoadTransitions(LPCSTR xml)
{
    if (!m_pTimeline || !xml)
        return E_FAIL;
    return m_pTimeline->LoadTransitionsFromXml(XmlNode(xml));
}

HRESULT XRVDShow::GrabSampleBitmapToFile(LONGLONG time, LPCTSTR file, BOOL zoom)
{
    if (!m_pTimeline)
        return E_FAIL;
    const HRESULT hr = m_pTimeline->GrabSampleBitmapToFile(time, file, zoom);
    if (FAILED(hr))
        ReportTimelineCall(kFacadeSource, __LINE__, "m_pTimeline->GrabSampleBitmapToFile( rtTime, strFileName, bZoom )",
                           "GrabSampleBitmapToFile");
    return hr;
}

// ---------------------------------------------------------------------------
// Player.

HRESULT XRVDShow::GetCachedMaxProperties(BOOL force)
{
    return m_pTimeline ? m_pTimeline->GetCachedMaxProperties(force) : E_FAIL;
}

HRESULT XRVDShow::InitializeRenderEngine()
{
    return m_pTimeline ? m_pTimeline->InitializeRenderEngine(FALSE) : E_FAIL;
}

HRESULT XRVDShow::GetVideoFormat(VIDEOINFOHEADER* format)
{
    if (!format)
        return E_FAIL;
    memset(format, 0, sizeof(*format));
    CComPtr<IAMTimelineGroup> group;
    if (!m_pTimeline || FAILED(m_pTimeline->GetVideoGroup(&group)) || !group)
        return E_FAIL;
    AM_MEDIA_TYPE type;
    memset(&type, 0, sizeof(type));
    HRESULT hr = group->GetMediaType(&type);
    if (FAILED(hr))
        return hr;
    if (type.formattype == FORMAT_VideoInfo && type.pbFormat && type.cbFormat >= sizeof(VIDEOINFOHEADER))
        *format = *reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
    else
        hr = E_FAIL;
    FreeMediaType(type);
    return hr;
}

// ---------------------------------------------------------------------------
// Overlays interface.

int XRVDShow::GetTransitionAtTime(LONGLONG time)
{
    if (time < 0) {
        if (!m_pPreview)
            return -1;
        time = m_pPreview->GetPosition();
    }
    return GetTransitionIndex(time);
}

HRESULT XRVDShow::GetOverlayFilterValue(LONG* value)
{
    if (!value)
        return E_FAIL;
    *value = 0;
    if (!m_pTimeline)
        return E_FAIL;
    CComQIPtr<IXrvOverlay> overlay(m_pTimeline->m_pOverlayFilter);
    if (!overlay)
        return S_OK;
    LONG_PTR event = 0;
    return overlay->GetValue(value, &event);
}

BOOL XRVDShow::IsPastVideoEnd(LONGLONG time)
{
    return m_pTimeline && time > GetCompStop(0);
}

// ---------------------------------------------------------------------------
// Object registry.

ZoomRectInfo* XRVDShow::NewZoomRectInfo()
{
    return m_pTimeline ? m_pTimeline->NewZoomRectInfo() : NULL;
}

DWORD XRVDShow::GetLastObjectId()
{
    return m_pTimeline ? ::LastObjectId() : 0;
}

DWORD XRVDShow::RegisterObject(void* object)
{
    if (!m_pTimeline || !object)
        return 0;
    ::RegisterObject(object);
    return *static_cast<const DWORD*>(object);
}

DWORD XRVDShow::UnregisterObject(DWORD key)
{
    return m_pTimeline ? (DWORD)::UnregisterObject(key) : 0;
}

DWORD XRVDShow::LookupRegisteredObject(DWORD key, void** object)
{
    if (object)
        *object = NULL;
    if (!m_pTimeline || !object)
        return 0;
    *object = ::LookupRegisteredObject(key);
    return *object ? 1 : 0;
}

DWORD XRVDShow::NextObjectId()
{
    return m_pTimeline ? ::NextObjectId() : 0;
}

// ---------------------------------------------------------------------------
// File properties.

namespace {

void ReportProperties(int line, const char* text)
{
    ReportTimelineFailure(kFacadeSource, line, text);
}

// Seconds to 100-ns units through whole milliseconds, as the other length
// queries count.
LONGLONG Units(double seconds)
{
    return seconds > 0.0 ? (LONGLONG)(seconds * 1000.0) * 10000 : 0;
}

CString VideoKindOf(REFGUID formatType)
{
    if (IsEqualGUID(formatType, FORMAT_DvInfo))
        return "DV-Avi";
    if (IsEqualGUID(formatType, FORMAT_MPEGVideo) || IsEqualGUID(formatType, FORMAT_MPEG2Video))
        return "Mpeg";
    return "Unknown";
}

const BITMAPINFOHEADER* PictureOf(const AM_MEDIA_TYPE& mt)
{
    if (!mt.pbFormat)
        return NULL;
    if (IsEqualGUID(mt.formattype, FORMAT_VideoInfo) && mt.cbFormat >= sizeof(VIDEOINFOHEADER))
        return &((const VIDEOINFOHEADER*)mt.pbFormat)->bmiHeader;
    if (IsEqualGUID(mt.formattype, FORMAT_VideoInfo2) && mt.cbFormat >= sizeof(VIDEOINFOHEADER2))
        return &((const VIDEOINFOHEADER2*)mt.pbFormat)->bmiHeader;
    if (IsEqualGUID(mt.formattype, FORMAT_MPEGVideo) && mt.cbFormat >= sizeof(MPEG1VIDEOINFO))
        return &((const MPEG1VIDEOINFO*)mt.pbFormat)->hdr.bmiHeader;
    if (IsEqualGUID(mt.formattype, FORMAT_MPEG2Video) && mt.cbFormat >= sizeof(MPEG2VIDEOINFO))
        return &((const MPEG2VIDEOINFO*)mt.pbFormat)->hdr.bmiHeader;
    return NULL;
}

// Asks the media detector for every stream of the file.
HRESULT ProbeProperties(LPCTSTR fileName, MediaFileProperties* p)
{
    CComPtr<IMediaDet> det;
    if (FAILED(DexCreate(CLSID_MediaDet, &det)) || !det) {
        ReportProperties(__LINE__, "CoCreateInstance() failed for CLSID_MediaDet in GetFileProperties()");
        return E_FAIL;
    }
    const CStringW wide(fileName);
    if (FAILED(SetMediaDetSource(det, ::SysAllocString(wide))))
        return E_FAIL;
    long streams = 0;
    if (FAILED(det->get_OutputStreams(&streams))) {
        ReportProperties(__LINE__, "get_OutputStreams() failed for pMediaDet in GetFileProperties()");
        return E_FAIL;
    }
    for (long s = 0; s < streams; ++s) {
        GUID type = GUID_NULL;
        if (FAILED(det->put_CurrentStream(s)) || FAILED(det->get_StreamType(&type)))
            continue;
        const BOOL video = IsEqualGUID(type, MEDIATYPE_Video);
        const BOOL audio = IsEqualGUID(type, MEDIATYPE_Audio);
        if (!video && !audio)
            continue;
        double seconds = 0.0;
        if (FAILED(det->get_StreamLength(&seconds)))
            ReportProperties(__LINE__, video ? "get_StreamLength(video) failed for pMediaDet in GetFileProperties()"
                                             : "get_StreamLength(audio) failed for pMediaDet in GetFileProperties()");
        if (Units(seconds) > p->length)
            p->length = Units(seconds);
        AM_MEDIA_TYPE mt;
        memset(&mt, 0, sizeof(mt));
        if (FAILED(det->get_StreamMediaType(&mt))) {
            ReportProperties(__LINE__, video ? "get_StreamType(video) failed for pMediaDet in GetFileProperties()"
                                             : "get_StreamType(audio) failed for pMediaDet in GetFileProperties()");
            continue;
        }
        if (video && !p->hasVideo) {
            p->hasVideo = TRUE;
            p->videoKind = VideoKindOf(mt.formattype);
            det->get_FrameRate(&p->frameRate);
            if (const BITMAPINFOHEADER* bih = PictureOf(mt)) {
                p->width = bih->biWidth;
                p->height = bih->biHeight < 0 ? -bih->biHeight : bih->biHeight;
            } else if (IsEqualGUID(mt.formattype, FORMAT_DvInfo)) {
                p->width = 720;
                p->height = 480;
            }
        } else if (audio && !p->hasAudio) {
            if (!mt.pbFormat || mt.cbFormat < sizeof(PCMWAVEFORMAT)) {
                ReportProperties(__LINE__, "mt.pbFormat (lpwf) was null for pMediaDet in GetFileProperties()");
            } else {
                const WAVEFORMATEX* wf = (const WAVEFORMATEX*)mt.pbFormat;
                p->hasAudio = TRUE;
                p->channels = wf->nChannels;
                p->samplesPerSec = wf->nSamplesPerSec;
                p->bitsPerSample = wf->wBitsPerSample;
            }
        }
        FreeMediaType(mt);
    }
    return S_OK;
}

}  // namespace

HRESULT XRVDShowMedia::GetFileProperties(LPCTSTR fileName, CString* text, MediaFileProperties* values)
{
    if (text)
        text->Empty();
    if (values)
        *values = MediaFileProperties();
    if (!fileName || !*fileName || (!text && !values))
        return E_FAIL;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(fileName, GetFileExInfoStandard, &data))
        return E_FAIL;
    MediaFileProperties p;
    p.fileSize = ((ULONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    p.writeTime = data.ftLastWriteTime;
    HRESULT hr = ProbeProperties(fileName, &p);
    if (FAILED(hr))
        return hr;
    if (values)
        *values = p;
    if (!text)
        return S_OK;

    CString line;
    if (p.hasAudio)
        line.Format(IDS_FILEPROP_AUDIO, (unsigned)p.channels, (unsigned long)p.samplesPerSec,
                    (unsigned)p.bitsPerSample);
    else
        line.LoadString(IDS_FILEPROP_NO_AUDIO);
    *text += line + "\r\n";
    if (p.hasVideo) {
        line.Format(IDS_FILEPROP_VIDEO, p.videoKind.GetString());
        *text += line + "\r\n";
        line.Format(IDS_FILEPROP_FRAME, p.width, p.height, p.frameRate);
        *text += line + "\r\n";
    }
    // Whole hundredths of a second, split without floating point.
    const ULONGLONG hundredths = (ULONGLONG)p.length / 100000;
    CString duration;
    duration.Format("%01u:%02u:%05.2f", (unsigned)(hundredths / 360000), (unsigned)(hundredths / 6000 % 60),
                    (double)(hundredths % 6000) / 100.0);
    line.Format(IDS_FILEPROP_DURATION, duration.GetString());
    *text += line + "\r\n";
    CString size;
    size.Format("%I64u", p.fileSize);
    line.Format(IDS_FILEPROP_FILE_SIZE, size.GetString());
    *text += line + "\r\n";
    FILETIME local;
    SYSTEMTIME st;
    char date[64] = "", time[64] = "";
    if (::FileTimeToLocalFileTime(&p.writeTime, &local) && ::FileTimeToSystemTime(&local, &st)) {
        ::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, NULL, date, sizeof(date));
        ::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, NULL, time, sizeof(time));
    }
    CString when;
    when.Format("%s %s", date, time);
    line.Format(IDS_FILEPROP_MODIFIED, when.GetString());
    *text += line + "\r\n";
    return S_OK;
}

HRESULT XRVDShow::GetMediaFileProperties(LPCTSTR file, CString* text, MediaFileProperties* values)
{
    return XRVDShowMedia::GetFileProperties(file, text, values);
}
