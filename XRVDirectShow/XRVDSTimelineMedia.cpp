// Putting media on the timeline: movie files with their sound, sound files on
// audio tracks, the silent placeholder track, the audio group rebuilt with the
// best format of its sources, and the stretch mode of oversized sources.
#include "XRVDirectShow/XRVDSTimeline.h"
#include "XRVDirectShow/MediaTypes.h"
#include "XRVDirectShow/TimelineReport.h"
#include "capture/RecordSettings.h"
#include "platform/dex/DexFactory.h"
#include "settings/FileUtil.h"

#include <algorithm>
#include <string.h>
#include <wchar.h>

namespace {

void ReportText(int line, const char* text)
{
    ReportTimelineFailure(XRV_TIMELINE_SOURCE, line, text);
}

// Holds the timeline lock from a successful AcquireLock to the end of scope.
class HeldLock {
public:
    explicit HeldLock(XRVDSTimeline* timeline) : m_timeline(timeline), m_result(timeline->AcquireLock(FALSE, NULL)) {}
    ~HeldLock()
    {
        if (m_result == 0)
            m_timeline->ReleaseLock();
    }
    BOOL Cancelled() const { return m_result == 2; }

private:
    XRVDSTimeline* m_timeline;
    int m_result;
};

class Bstr {
public:
    explicit Bstr(LPCSTR text) : p(NULL)
    {
        int n = MultiByteToWideChar(CP_ACP, 0, text, -1, NULL, 0);
        if (n > 0) {
            p = SysAllocStringLen(NULL, n - 1);
            if (p)
                MultiByteToWideChar(CP_ACP, 0, text, -1, p, n);
        }
    }
    Bstr() : p(NULL) {}
    ~Bstr() { SysFreeString(p); }
    BSTR p;
};

CString NarrowName(BSTR name)
{
    CString text;
    if (!name)
        return text;
    int n = WideCharToMultiByte(CP_ACP, 0, name, -1, NULL, 0, NULL, NULL);
    if (n > 1) {
        char* buffer = text.GetBuffer(n);
        WideCharToMultiByte(CP_ACP, 0, name, -1, buffer, n, NULL, NULL);
        text.ReleaseBuffer();
    }
    return text;
}

const WCHAR kAudioGroupName[] = L"Audio Group";
const WCHAR kImageClipMarker[] = L".XRVImg3";

// The group of the timeline named "Audio Group" with an audio media type.
HRESULT FindAudioGroup(IAMTimeline* timeline, IAMTimelineObj** found)
{
    *found = NULL;
    long groups = 0;
    timeline->GetGroupCount(&groups);
    for (long g = 0; g < groups; ++g) {
        CComPtr<IAMTimelineObj> groupObj;
        if (FAILED(timeline->GetGroup(&groupObj, g)))
            continue;
        CComQIPtr<IAMTimelineGroup> group(groupObj);
        if (!group)
            continue;
        BSTR name = NULL;
        group->GetGroupName(&name);
        BOOL named = name && wcscmp(name, kAudioGroupName) == 0;
        SysFreeString(name);
        AM_MEDIA_TYPE mt;
        memset(&mt, 0, sizeof(mt));
        if (!named || FAILED(group->GetMediaType(&mt)))
            continue;
        BOOL audio = IsEqualGUID(mt.majortype, MEDIATYPE_Audio);
        FreeMediaType(mt);
        if (audio) {
            *found = groupObj.Detach();
            return S_OK;
        }
    }
    return S_FALSE;
}

struct AudioProbe {
    WAVEFORMATEX best;
    BOOL found;
};

// Keeps the largest format: rate first, then channels, then sample size.
HRESULT ProbeAudioSource(IAMTimelineObj* sourceObj, void* context)
{
    AudioProbe* probe = (AudioProbe*)context;
    CComQIPtr<IAMTimelineSrc> source(sourceObj);
    if (!source)
        return S_OK;
    BSTR name = NULL;
    if (FAILED(source->GetMediaName(&name)) || !name)
        return S_OK;
    CString file = NarrowName(name);
    SysFreeString(name);
    WAVEFORMATEX format;
    if (!GetFileAudioFormat(file, &format))
        return S_OK;
    if (format.wFormatTag != WAVE_FORMAT_PCM) {
        // A compressed sound plays as 16-bit PCM at its own rate and channels.
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.wBitsPerSample = 16;
        format.nBlockAlign = (WORD)(format.nChannels * 2);
        format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
        format.cbSize = 0;
    }
    const WAVEFORMATEX& b = probe->best;
    if (!probe->found || format.nSamplesPerSec > b.nSamplesPerSec ||
        (format.nSamplesPerSec == b.nSamplesPerSec && format.nChannels > b.nChannels) ||
        (format.nSamplesPerSec == b.nSamplesPerSec && format.nChannels == b.nChannels &&
         format.wBitsPerSample > b.wBitsPerSample)) {
        probe->best = format;
        probe->found = TRUE;
    }
    return S_OK;
}

} // namespace

// The largest audio format over the sources of the audio group.
HRESULT XRVDSTimeline::GetMaxAudioFormat(WAVEFORMATEX* format)
{
    if (!format || !m_pTimeline)
        return E_FAIL;
    CComPtr<IAMTimelineObj> groupObj;
    if (FindAudioGroup(m_pTimeline, &groupObj) != S_OK)
        return E_FAIL;
    AudioProbe probe;
    memset(&probe, 0, sizeof(probe));
    // Walk only the audio group: a scratch object per group would do the
    // same; ForEachTrackSource covers all groups, so filter by group here.
    struct Filter {
        IAMTimelineObj* group;
        AudioProbe* probe;
    } filter = {groupObj, &probe};
    HRESULT hr = ForEachTrackSource(
        [](IAMTimelineObj* source, void* context) -> HRESULT {
            Filter* f = (Filter*)context;
            CComPtr<IAMTimelineGroup> group;
            if (FAILED(source->GetGroupIBelongTo(&group)))
                return S_OK;
            CComQIPtr<IAMTimelineObj> groupObj(group);
            if (groupObj != f->group)
                return S_OK;
            return ProbeAudioSource(source, f->probe);
        },
        &filter);
    if (FAILED(hr) || !probe.found)
        return E_FAIL;
    *format = probe.best;
    return S_OK;
}

// Rebuilds the audio group with the best format of its sources (or the
// second audio format when one is set and no probing is asked for).
HRESULT XRVDSTimeline::AddAudioGroup(BOOL probeSources)
{
    if (!m_pTimeline)
        return E_FAIL;
    CComPtr<IAMTimelineObj> pOldAudioGroupObj;
    if (FindAudioGroup(m_pTimeline, &pOldAudioGroupObj) != S_OK)
        return S_OK;
    WAVEFORMATEX format;
    if (probeSources || m_SecondAudioFormat.nAvgBytesPerSec == 0xFFFFFFFF) {
        HRESULT hr = GetMaxAudioFormat(&format);
        if (FAILED(hr))
            return hr;
    } else {
        format = m_SecondAudioFormat;
    }
    if (!NormalizeWaveFormat(&format))
        return E_FAIL;
    AM_MEDIA_TYPE mt;
    if (!BuildAudioMediaType(&format, &mt, TRUE))
        return E_OUTOFMEMORY;
    CComPtr<IAMTimelineObj> pNewAudioGroupObj;
    HRESULT hr = m_pTimeline->CreateEmptyNode(&pNewAudioGroupObj, TIMELINE_MAJOR_TYPE_GROUP);
    if (FAILED(hr)) {
        FreeMediaType(mt);
        ReportTimelineCall(XRV_TIMELINE_SOURCE, __LINE__,
                           "m_pTimeline->CreateEmptyNode( &pNewAudioGroupObj, TIMELINE_MAJOR_TYPE_GROUP )", __FUNCTION__);
        return hr;
    }
    hr = m_pTimeline->AddGroup(pNewAudioGroupObj);
    if (FAILED(hr)) {
        FreeMediaType(mt);
        ReportTimelineCall(XRV_TIMELINE_SOURCE, __LINE__, "m_pTimeline->AddGroup( pNewAudioGroupObj )", __FUNCTION__);
        return hr;
    }
    hr = CopyGroup(pOldAudioGroupObj, pNewAudioGroupObj, m_pTimeline, &mt);
    FreeMediaType(mt);
    if (FAILED(hr)) {
        pNewAudioGroupObj->RemoveAll();
        return hr;
    }
    pOldAudioGroupObj->RemoveAll();
    FindGroupIndexes(m_pTimeline);
    return S_OK;
}

// Adds a "Vol" property with two values (the second interpolated) to a setter.
HRESULT XRVDSTimeline::AddVolumeProperty(IPropertySetter* pVolSetter, LONGLONG time1, LONGLONG time2, float value1,
                                         float value2)
{
    if (!pVolSetter)
        return E_FAIL;
    DEXTER_PARAM Param;
    Param.name = SysAllocString(L"Vol");
    Param.dispID = 0;
    Param.nValues = 2;
    DEXTER_VALUE AudioValue[2];
    for (int i = 0; i < 2; ++i) {
        VariantInit(&AudioValue[i].v);
        AudioValue[i].v.vt = VT_R8;
    }
    AudioValue[0].v.dblVal = value1;
    AudioValue[0].rt = time1;
    AudioValue[0].dwInterp = DEXTERF_JUMP;
    AudioValue[1].v.dblVal = value2;
    AudioValue[1].rt = time2;
    AudioValue[1].dwInterp = DEXTERF_INTERPOLATE;
    HRESULT hr = pVolSetter->AddProp(Param, AudioValue);
    SysFreeString(Param.name);
    if (FAILED(hr)) {
        ReportText(__LINE__, "pVolSetter->AddProp( Param, AudioValue ) failed in AddVolumeProperty()");
        return hr;
    }
    return S_OK;
}

HRESULT XRVDSTimeline::AddMovieFileToTimeline(LPCTSTR file, LONGLONG rtStart, LONGLONG rtEnd, LONGLONG rtSrcStart,
                                              LONGLONG rtSrcEnd, BOOL insert, BOOL withAudio, BOOL rebuildAudioGroup)
{
    HeldLock lock(this);
    if (lock.Cancelled())
        return E_ABORT;
    if (!file || !*file)
        return E_INVALIDARG;
    LONGLONG streamLength = 0;
    const BOOL needLength = rtEnd < 0 || rtSrcEnd < 0 || (rtStart >= 0 && rtStart > rtEnd);
    if (needLength && !GetStreamLength(file, &streamLength)) {
        ReportText(__LINE__, "GetStreamLength() failed in AddMovieFileToTimeline()");
        return E_FAIL;
    }
    if (rtStart < 0)
        rtStart = 0;
    if (rtEnd < 0)
        rtEnd = rtStart + streamLength;
    if (rtStart > rtEnd) {
        rtStart = 0;
        rtEnd = streamLength;
    }
    if (rtSrcStart < 0)
        rtSrcStart = 0;
    if (rtSrcEnd < 0)
        rtSrcEnd = streamLength;
    // A file without frames, or a span of no length, would put a source of no
    // length on the timeline: refused before anything is added.
    if (rtEnd <= rtStart || (needLength && streamLength <= 0)) {
        ReportText(__LINE__, "empty span refused in AddMovieFileToTimeline()");
        return E_INVALIDARG;
    }
    const LONGLONG length = rtEnd - rtStart;

    if (withAudio) {
        if (m_nAudioPin == -1)
            CreateAudioGroup();
        if (m_nAudioCompMain < 0) {
            CComPtr<IAMTimelineGroup> pAudioGroup;
            CComPtr<IAMTimelineComp> pNewComp;
            if (SUCCEEDED(GetAudioGroup(&pAudioGroup)) && SUCCEEDED(AddCompToGroup(pAudioGroup, &pNewComp, -1)))
                m_nAudioCompMain = m_nAudioCompCount++;
        }
        const int savedComp = m_nCurAudioComp;
        m_nCurAudioComp = m_nAudioCompMain;
        AddAudioFileToTimeline(file, rtStart, rtEnd, rtSrcStart, rtSrcEnd, insert ? 2 : 0, TRUE, TRUE, FALSE,
                               rebuildAudioGroup);
        if (savedComp != -1)
            m_nCurAudioComp = savedComp;
    }

    CComPtr<IAMTimelineComp> pVideoComp, pTransComp;
    if (FAILED(GetVideoComp(&pVideoComp, GetVideoCompNum())))
        return E_FAIL;
    GetVideoComp(&pTransComp, GetTransCompNum());
    if (insert) {
        ShiftObjects(pVideoComp, rtStart, length, FALSE, FALSE);
        if (pTransComp)
            ShiftObjects(pTransComp, rtStart, length, FALSE, FALSE);
    }
    Bstr bstrFile(file);
    CComPtr<IAMTimelineTrack> pVideoTrack;
    XRV_CHECK(AddTrackToComp( pVideoComp, &pVideoTrack ));
    XRV_CHECK(AddSourceToTrack( pVideoTrack, bstrFile.p, rtStart, rtEnd, rtSrcStart, rtSrcEnd, TRUE ));
    GetCachedMaxProperties(TRUE);
    UpdateTransObjects();
    LockFileIfEnabled(file);
    return S_OK;
}

HRESULT XRVDSTimeline::AddAudioFileToTimeline(LPCTSTR file, LONGLONG rtStart, LONGLONG rtEnd, LONGLONG rtSrcStart,
                                              LONGLONG rtSrcEnd, int mode, BOOL newComposition, BOOL split,
                                              BOOL bForceSmartShift, BOOL rebuildAudioGroup)
{
    if (!file || !*file || !m_pTimeline)
        return E_INVALIDARG;
    if (rtEnd <= rtStart) {
        ReportText(__LINE__, "empty span refused in AddAudioFileToTimeline()");
        return E_INVALIDARG;
    }
    CComPtr<IAMTimelineComp> pCompAudio;
    if (FAILED(GetAudioComp(&pCompAudio))) {
        if (m_nAudioPin == -1)
            CreateAudioGroup();
        if (newComposition && m_nAudioCompMain < 0) {
            CComPtr<IAMTimelineGroup> pAudioGroup;
            CComPtr<IAMTimelineComp> pNewComp;
            XRV_CHECK(GetAudioGroup( &pAudioGroup ));
            XRV_CHECK(AddCompToGroup( pAudioGroup, &pNewComp, -1 ));
            m_nAudioCompMain = m_nAudioCompCount++;
        }
        m_nCurAudioComp = newComposition ? m_nAudioCompMain : m_nAudioCompSecond;
        XRV_CHECK(GetAudioComp( &pCompAudio ));
    }
    if (mode == 1) {
        // The span first leaves every composition (the later objects close up).
        const HRESULT hr = DeleteSection(-1, rtStart, rtEnd);
        if (FAILED(hr))
            return hr;
        pCompAudio.Release();
        XRV_CHECK(GetAudioComp( &pCompAudio ));
    }
    if (mode == 2) {
        CComPtr<IAMTimelineObj> pCompAudioObj;
        XRV_CHECK(GetAudioCompObj( &pCompAudioObj ));
        long tracks = 0;
        pCompAudio->VTrackGetCount(&tracks);
        for (long i = 0; i < tracks; ++i) {
            CComPtr<IAMTimelineObj> pTrackObj;
            if (FAILED(pCompAudio->GetVTrack(&pTrackObj, i)))
                continue;
            CComQIPtr<IAMTimelineTrack> pTrack(pTrackObj);
            if (!pTrack)
                continue;
            CComPtr<IAMTimelineObj> pAt;
            if (pTrack->GetSrcAtTime(&pAt, rtStart, DEXTERF_EXACTLY_AT) != S_OK || !pAt)
                continue;
            REFERENCE_TIME s = 0, e = 0;
            pAt->GetStartStop(&s, &e);
            if (!split || s >= rtStart)
                continue;
            CComPtr<IAMTimelineObj> pTail;
            XRV_CHECK(SplitObj( pTrackObj, rtStart, &pTail ));
            ++i;   // the new track holding the tail sits right after this one
            ++tracks;
        }
        XRV_CHECK(ShiftObjects( pCompAudio, rtStart, (rtEnd - rtStart), FALSE, bForceSmartShift ));
    } else if (mode != 0 && mode != 1) {
        return S_OK;
    }
    Bstr bstrFile(file);
    CComPtr<IAMTimelineTrack> pNewAudioTrack;
    XRV_CHECK(AddTrackToComp( pCompAudio, &pNewAudioTrack ));
    XRV_CHECK(AddSourceToTrack( pNewAudioTrack, bstrFile.p, rtStart, rtEnd, rtSrcStart, rtSrcEnd, FALSE ));
    CComPtr<IAMTimelineObj> pSourceObj;
    if (pNewAudioTrack->GetSrcAtTime(&pSourceObj, rtStart, DEXTERF_EXACTLY_AT) == S_OK && pSourceObj) {
        CComPtr<IAMTimelineObj> pEffect;
        XRV_CHECK(AddEffect( pSourceObj, CLSID_AudMixer, 0, rtEnd - rtStart, &pEffect ));
        CComPtr<IPropertySetter> pVolSetter;
        XRV_CHECK(DexCreate(CLSID_PropertySetter, &pVolSetter));
        XRV_CHECK(AddVolumeProperty( pVolSetter, 0, rtEnd - rtStart, 1.0f, 1.0f ));
        XRV_CHECK(pEffect->SetPropertySetter( pVolSetter ));
    }
    if (rebuildAudioGroup) {
        HRESULT hr = AddAudioGroup(TRUE);
        if (FAILED(hr))
            return hr;
    }
    LockFileIfEnabled(file);
    return S_OK;
}

namespace {

// 1 ms of 8-bit mono silence at 8000 samples per second.
BOOL WritePlaceholderWave(LPCTSTR path)
{
    HMMIO mmio = mmioOpenA(const_cast<LPSTR>(path), NULL, MMIO_CREATE | MMIO_WRITE);
    if (!mmio)
        return FALSE;
    BOOL ok = FALSE;
    MMCKINFO riff, chunk;
    memset(&riff, 0, sizeof(riff));
    memset(&chunk, 0, sizeof(chunk));
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (mmioCreateChunk(mmio, &riff, MMIO_CREATERIFF) == 0) {
        WAVEFORMATEX format;
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = 1;
        format.nSamplesPerSec = 8000;
        format.nAvgBytesPerSec = 8000;
        format.nBlockAlign = 1;
        format.wBitsPerSample = 8;
        format.cbSize = 0;
        chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
        chunk.cksize = sizeof(format);
        if (mmioCreateChunk(mmio, &chunk, 0) == 0 &&
            mmioWrite(mmio, (const char*)&format, sizeof(format)) == (LONG)sizeof(format) &&
            mmioAscend(mmio, &chunk, 0) == 0) {
            BYTE silence[8];
            memset(silence, 0x80, sizeof(silence));
            memset(&chunk, 0, sizeof(chunk));
            chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
            chunk.cksize = sizeof(silence);
            if (mmioCreateChunk(mmio, &chunk, 0) == 0 &&
                mmioWrite(mmio, (const char*)silence, sizeof(silence)) == (LONG)sizeof(silence) &&
                mmioAscend(mmio, &chunk, 0) == 0 && mmioAscend(mmio, &riff, 0) == 0)
                ok = TRUE;
        }
    }
    if (mmioClose(mmio, 0) != 0)
        ok = FALSE;
    return ok;
}

} // namespace

// Gives a timeline without sound a silent audio track over its whole length
// (the file writers need an audio stream). An empty timeline has no length to
// cover and gets nothing.
void XRVDSTimeline::AddTempWaveTrack()
{
    if (GetDuration() <= 0)
        return;
    if (!m_strWorkFile.IsEmpty() && GetFileAttributesA(m_strWorkFile) != INVALID_FILE_ATTRIBUTES)
        ::DeleteFileA(m_strWorkFile);
    m_strWorkFile.Empty();
    char folder[MAX_PATH + 1];
    DWORD n = GetTempPathA(MAX_PATH, folder);
    if (n == 0 || n > MAX_PATH)
        return;
    CString path;
    if (!CreateUniqueFileName(folder, "skorvale", "wav", path, FALSE) || path.IsEmpty())
        return;
    m_strWorkFile = path;
    if (!WritePlaceholderWave(path)) {
        ::DeleteFileA(path);
        m_strWorkFile.Empty();
        return;
    }
    if (m_nAudioPin == -1)
        CreateAudioGroup();
    if (m_nAudioCompMain < 0) {
        CComPtr<IAMTimelineGroup> pAudioGroup;
        CComPtr<IAMTimelineComp> pNewComp;
        if (FAILED(GetAudioGroup(&pAudioGroup)) || FAILED(AddCompToGroup(pAudioGroup, &pNewComp, -1)))
            return;
        m_nAudioCompMain = m_nAudioCompCount++;
    }
    m_nCurAudioComp = m_nAudioCompMain;
    AddAudioFileToTimeline(m_strWorkFile, 0, GetDuration(), 0, 0, 2, FALSE, TRUE, FALSE, TRUE);
}

namespace {

struct StretchContext {
    XRVDSTimeline* self;
    int mode;
    int width;
    int height;
    HRESULT failure;
};

// The size of a file's first video stream through a media detector.
HRESULT ProbeVideoSize(BSTR name, int* width, int* height)
{
    CComPtr<IMediaDet> pMediaDet;
    HRESULT hr = DexCreate(CLSID_MediaDet, &pMediaDet);
    if (FAILED(hr)) {
        ReportText(__LINE__, "CoCreateInstance() failed for CLSID_MediaDet in SetSourcesStretchMode()");
        return hr;
    }
    hr = SetMediaDetSource(pMediaDet, SysAllocString(name));
    if (FAILED(hr))
        return hr;
    LONG streams = 0;
    pMediaDet->get_OutputStreams(&streams);
    for (LONG i = 0; i < streams; ++i) {
        GUID type = GUID_NULL;
        pMediaDet->put_CurrentStream(i);
        if (FAILED(pMediaDet->get_StreamType(&type))) {
            ReportText(__LINE__, "get_StreamType() failed for pMediaDet in SetSourcesStretchMode()");
            return E_FAIL;
        }
        if (!IsEqualGUID(type, MEDIATYPE_Video))
            continue;
        AM_MEDIA_TYPE mt;
        memset(&mt, 0, sizeof(mt));
        if (FAILED(pMediaDet->get_StreamMediaType(&mt)))
            return E_FAIL;
        BOOL ok = FALSE;
        if (IsEqualGUID(mt.formattype, FORMAT_VideoInfo) && mt.cbFormat >= sizeof(VIDEOINFOHEADER)) {
            const VIDEOINFOHEADER* vih = (const VIDEOINFOHEADER*)mt.pbFormat;
            *width = vih->bmiHeader.biWidth;
            *height = vih->bmiHeader.biHeight;
            ok = TRUE;
        }
        FreeMediaType(mt);
        return ok ? S_OK : S_FALSE;
    }
    return S_FALSE;
}

HRESULT StretchOneSource(IAMTimelineObj* pSourceObj, void* context)
{
    StretchContext* c = (StretchContext*)context;
    CComQIPtr<IAMTimelineSrc> pSource(pSourceObj);
    if (!pSource) {
        ReportText(__LINE__, "CComQIPtr(pSourceObj) failed for pMediaControl in SetSourcesStretchMode()");
        return E_FAIL;
    }
    BSTR name = NULL;
    if (FAILED(pSource->GetMediaName(&name)) || !name || !*name) {
        SysFreeString(name);
        return S_OK;   // colour sources have no file
    }
    const size_t len = wcslen(name);
    const size_t marker = wcslen(kImageClipMarker);
    if (len >= marker && _wcsicmp(name + len - marker, kImageClipMarker) == 0) {
        SysFreeString(name);
        return S_OK;   // picture clips keep the size they were made with
    }
    int width = 0, height = 0;
    HRESULT hr = ProbeVideoSize(name, &width, &height);
    SysFreeString(name);
    if (FAILED(hr))
        return S_OK;
    int outWidth = c->width, outHeight = c->height;
    if (c->self->m_pOutputFormat) {
        outWidth = c->self->m_pOutputFormat->m_nOutputWidth;
        outHeight = c->self->m_pOutputFormat->m_nOutputHeight;
    } else if (hr == S_FALSE || outWidth <= 0 || outHeight <= 0) {
        outWidth = 720;
        outHeight = 480;
    }
    if (hr == S_OK && (width > outWidth || abs(height) > outHeight))
        pSource->SetStretchMode(c->mode);
    return S_OK;
}

} // namespace

// Sources larger than the output get the given stretch mode; smaller ones
// keep theirs.
HRESULT XRVDSTimeline::SetSourcesStretchMode(int mode, int width, int height)
{
    HeldLock lock(this);
    if (lock.Cancelled())
        return E_ABORT;
    CComPtr<IAMTimelineGroup> pGroup;
    HRESULT hr = GetVideoGroup(&pGroup);
    if (FAILED(hr))
        return hr;
    CComQIPtr<IAMTimelineComp> pGroupComp(pGroup);
    XRV_CHECK_PTR(pGroupComp, "CComQIPtr(pGroup)", "IAMTimelineComp");
    StretchContext context = {this, mode, width, height, S_OK};
    long comps = 0;
    pGroupComp->VTrackGetCount(&comps);
    for (long c = 0; c < comps && c <= GetVideoCompNum(); ++c) {
        CComPtr<IAMTimelineObj> pCompObj;
        if (FAILED(pGroupComp->GetVTrack(&pCompObj, c)))
            continue;
        CComQIPtr<IAMTimelineComp> pCurComp(pCompObj);
        if (!pCurComp)
            continue;
        long tracks = 0;
        pCurComp->VTrackGetCount(&tracks);
        for (long iCurTrack = 0; iCurTrack < tracks; ++iCurTrack) {
            CComPtr<IAMTimelineObj> pCurTrackObj;
            XRV_CHECK(pCurComp->GetVTrack( &pCurTrackObj, iCurTrack ));
            CComQIPtr<IAMTimelineTrack> pTrack(pCurTrackObj);
            if (!pTrack)
                continue;
            REFERENCE_TIME rtNext = 0;
            for (;;) {
                CComPtr<IAMTimelineObj> pSourceObj;
                if (pTrack->GetNextSrc(&pSourceObj, &rtNext) != S_OK || !pSourceObj)
                    break;
                hr = StretchOneSource(pSourceObj, &context);
                if (FAILED(hr))
                    return hr;
            }
        }
    }
    return S_OK;
}

// The media files of the extended clips, sorted, each once.
HRESULT XRVDSTimeline::GetMediaFileNames(CStringArray& names)
{
    names.RemoveAll();
    std::vector<CString> all;
    for (INT_PTR i = 0; i < m_ClipExDescs.GetSize(); ++i) {
        const TimelineClipEx& clip = m_ClipExDescs[i];
        for (INT_PTR k = 0; k < clip.m_Items.GetSize(); ++k)
            all.push_back(clip.m_Items[k].m_strFileName);
    }
    std::sort(all.begin(), all.end(), [](const CString& a, const CString& b) { return strcmp(a, b) < 0; });
    for (size_t i = 0; i < all.size(); ++i)
        if (i == 0 || strcmp(all[i], all[i - 1]) != 0)
            names.Add(all[i]);
    return 0;
}
