// Media probing of the timeline engine: pointing a media detector at a source
// name (plain files, recording-package streams, stills) and the largest
// video properties over the video composition's sources.
// <string> comes before the DirectShow headers: strsafe.h, which they pull
// in, renames the wide printf functions <string> uses.
#include <string>
#include <vector>

#include "XRVDirectShow/XRVDSTimeline.h"
#include "XRVDirectShow/MediaTypes.h"
#include "XRVDirectShow/TimelineReport.h"
#include "platform/dex/DexFactory.h"

#include <dvdmedia.h>
#include <wchar.h>

namespace {

const CLSID CLSID_PackageSource = {0x31ad8e00, 0x8630, 0x4e54, {0xa8, 0x5f, 0xf8, 0xdd, 0x93, 0x43, 0xd7, 0x6a}};
const CLSID CLSID_ImageSource = {0x31ad8e04, 0x8630, 0x4e54, {0xa8, 0x5f, 0xf8, 0xdd, 0x93, 0x43, 0xd7, 0x6a}};
const WCHAR kStillSuffix[] = L".XRVImg3";

void Report(int line, const char* text)
{
    ReportTimelineFailure(XRV_TIMELINE_SOURCE, line, text);
}

// Frees the name on every path.
struct OwnedBstr {
    BSTR s;
    ~OwnedBstr() { SysFreeString(s); }
};

// Width, height and bit count from a video format block, read only as far
// as cbFormat covers it.
BOOL VideoSizeOfType(const AM_MEDIA_TYPE& mt, int* width, int* height, int* bits)
{
    if (!mt.pbFormat)
        return FALSE;
    const BITMAPINFOHEADER* bih = NULL;
    if (IsEqualGUID(mt.formattype, FORMAT_VideoInfo) || IsEqualGUID(mt.formattype, FORMAT_MPEGVideo)) {
        if (mt.cbFormat >= sizeof(VIDEOINFOHEADER))
            bih = &((const VIDEOINFOHEADER*)mt.pbFormat)->bmiHeader;
    } else if (IsEqualGUID(mt.formattype, FORMAT_VideoInfo2) || IsEqualGUID(mt.formattype, FORMAT_MPEG2Video)) {
        if (mt.cbFormat >= sizeof(VIDEOINFOHEADER2))
            bih = &((const VIDEOINFOHEADER2*)mt.pbFormat)->bmiHeader;
    }
    if (!bih)
        return FALSE;
    *width = bih->biWidth;
    *height = bih->biHeight;
    *bits = bih->biBitCount;
    return TRUE;
}


// The first video stream of a source name through a media detector: its
// media type (the caller frees it) and frame rate (0 when the detector has
// none). S_OK with a video stream, S_FALSE without one or when the source
// cannot be opened; E_ABORT when no detector can be made or its streams
// cannot be counted, E_UNEXPECTED when the stream's type cannot be read
// (each reported, naming the caller).
HRESULT ProbeVideo(const std::wstring& name, const char* caller, AM_MEDIA_TYPE* mt, double* rate)
{
    char text[160];
    *rate = 0.0;
    CComPtr<IMediaDet> pMediaDet;
    if (FAILED(DexCreate(CLSID_MediaDet, &pMediaDet)) || !pMediaDet) {
        StringCchPrintfA(text, sizeof(text), "CoCreateInstance() failed for CLSID_MediaDet in %s()", caller);
        Report(__LINE__, text);
        return E_ABORT;
    }
    if (FAILED(SetMediaDetSource(pMediaDet, SysAllocString(name.c_str()))))
        return S_FALSE;
    long streams = 0;
    if (FAILED(pMediaDet->get_OutputStreams(&streams))) {
        StringCchPrintfA(text, sizeof(text), "get_OutputStreams() failed for pMediaDet in %s()", caller);
        Report(__LINE__, text);
        return E_ABORT;
    }
    for (long s = 0; s < streams; ++s) {
        if (FAILED(pMediaDet->put_CurrentStream(s)))
            break;
        GUID type = GUID_NULL;
        if (FAILED(pMediaDet->get_StreamType(&type))) {
            StringCchPrintfA(text, sizeof(text), "get_StreamType() failed for pMediaDet in %s()", caller);
            Report(__LINE__, text);
            continue;
        }
        if (!IsEqualGUID(type, MEDIATYPE_Video))
            continue;
        double r = 0.0;
        if (pMediaDet->get_FrameRate(&r) == S_OK)
            *rate = r;
        if (FAILED(pMediaDet->get_StreamMediaType(mt)))
            return E_UNEXPECTED;
        return S_OK;
    }
    return S_FALSE;
}
} // namespace

// Plain files go to the detector by name; recording-package streams and
// stills go through our source filters, whose Load takes the full name
// (stills with ".XRVImg3" appended).
HRESULT SetMediaDetSource(IMediaDet* detector, BSTR name)
{
    OwnedBstr owned = {name};
    if (!detector || !name || !*name)
        return E_FAIL;
    std::wstring lower(name);
    for (wchar_t& c : lower)
        c = towlower(c);
    const wchar_t* dot = wcsrchr(lower.c_str(), L'.');
    const wchar_t* slash = wcsrchr(lower.c_str(), L'\\');
    BOOL png = dot && (!slash || dot > slash) && wcscmp(dot + 1, L"png") == 0;
    BOOL package = lower.find(L"xrvrec://") != std::wstring::npos;
    if (!png && !package)
        return detector->put_Filename(name);

    std::wstring full(name);
    if (png)
        full += kStillSuffix;
    CComPtr<IBaseFilter> filter;
    HRESULT hr = DexCreate(png ? CLSID_ImageSource : CLSID_PackageSource, &filter);
    if (FAILED(hr))
        return hr;
    CComQIPtr<IFileSourceFilter> source(filter);
    if (!source)
        return E_NOINTERFACE;
    hr = source->Load(full.c_str(), NULL);
    if (SUCCEEDED(hr))
        hr = detector->put_Filter(source);
    return hr;
}

// Every distinct source name of the video composition is probed once; the
// lock and the name list go on every path.
HRESULT XRVDSTimeline::GetMaxProperties(int* width, int* height, double* frameRate, int* bitDepth)
{
    if (!width || !height || !frameRate)
        return E_POINTER;
    if (AcquireLock(TRUE, NULL) == 2)
        return E_FAIL;
    struct Unlock {
        XRVDSTimeline* t;
        ~Unlock() { t->ReleaseLock(); }
    } unlock = {this};

    *width = 0;
    *height = 0;
    *frameRate = 0.0;
    if (bitDepth)
        *bitDepth = 0;
    std::vector<std::wstring> probed;

    CComPtr<IAMTimelineComp> pComp;
    HRESULT hr = GetVideoComp(&pComp, GetVideoCompNum());
    if (FAILED(hr))
        return hr;
    long tracks = 0;
    XRV_CHECK(pComp->VTrackGetCount( &tracks ));
    for (long t = 0; t < tracks; ++t) {
        CComPtr<IAMTimelineObj> pTrackObj;
        XRV_CHECK(pComp->GetVTrack( &pTrackObj, t ));
        CComQIPtr<IAMTimelineTrack> pTrack(pTrackObj);
        XRV_CHECK_PTR(pTrack, "CComQIPtr(pTrackObj)", "IAMTimelineTrack");
        REFERENCE_TIME at = 0;
        for (;;) {
            CComPtr<IAMTimelineObj> pCurSourceObj;
            if (pTrack->GetNextSrc(&pCurSourceObj, &at) != S_OK || !pCurSourceObj)
                break;
            CComQIPtr<IAMTimelineSrc> pSource(pCurSourceObj);
            if (!pSource) {
                Report(__LINE__, "CComQIPtr(pCurSourceObj) failed for IAMTimelineSrc in GetMaxProperties()");
                break;
            }
            BSTR rawName = NULL;
            if (FAILED(pSource->GetMediaName(&rawName)) || !rawName) {
                SysFreeString(rawName);
                continue;
            }
            std::wstring name(rawName);
            SysFreeString(rawName);
            BOOL still = FALSE;
            std::wstring lowerName = name;
            for (wchar_t& c : lowerName)
                c = towlower(c);
            size_t marker = lowerName.find(L".xrvimg3");
            if (marker != std::wstring::npos) {
                name.resize(marker);
                still = TRUE;
            }
            BOOL seen = FALSE;
            for (const std::wstring& p : probed)
                seen = seen || _wcsicmp(p.c_str(), name.c_str()) == 0;
            if (seen)
                continue;
            probed.push_back(name);

            int srcWidth = 0, srcHeight = 0, srcBits = 0;
            double srcRate = 0.0;
            AM_MEDIA_TYPE mt;
            memset(&mt, 0, sizeof(mt));
            HRESULT probe = ProbeVideo(name, "GetMaxProperties", &mt, &srcRate);
            if (probe == E_ABORT)
                break;
            if (probe == E_UNEXPECTED)
                return E_FAIL;
            if (probe == S_OK) {
                srcRate = (double)(long long)(srcRate + 0.5);
                if (IsEqualGUID(mt.formattype, FORMAT_DvInfo) && mt.pbFormat) {
                    *width = 720;
                    *height = 480;
                } else {
                    VideoSizeOfType(mt, &srcWidth, &srcHeight, &srcBits);
                }
                FreeMediaType(mt);
                if (still && m_bFitStills)
                    FitSizeKeepAspect(srcWidth, srcHeight);
            }
            if (srcWidth > *width)
                *width = srcWidth;
            if (abs(srcHeight) > *height)
                *height = abs(srcHeight);
            if (srcRate > *frameRate)
                *frameRate = srcRate;
            if (bitDepth && srcBits > *bitDepth)
                *bitDepth = srcBits;
        }
    }
    return S_OK;
}

namespace {

// The media name of a source node with the still marker cut off; FALSE for
// a source without a name (a colour source).
BOOL SourceMediaName(IAMTimelineObj* obj, std::wstring* name)
{
    CComQIPtr<IAMTimelineSrc> pSource(obj);
    BSTR raw = NULL;
    if (!pSource || FAILED(pSource->GetMediaName(&raw)) || !raw || !*raw) {
        SysFreeString(raw);
        return FALSE;
    }
    *name = raw;
    SysFreeString(raw);
    std::wstring lower = *name;
    for (wchar_t& c : lower)
        c = towlower(c);
    size_t marker = lower.find(L".xrvimg3");
    if (marker != std::wstring::npos)
        name->resize(marker);
    return TRUE;
}

} // namespace

// The video source showing at a time: of the video composition's tracks the
// last (the one on top) holding a named source there.
HRESULT XRVDSTimeline::GetResolutionAtTime(LONGLONG time, int* width, int* height)
{
    if (!width || !height)
        return E_POINTER;
    *width = 0;
    *height = 0;
    CComPtr<IAMTimelineComp> pComp;
    HRESULT hr = GetVideoComp(&pComp, GetVideoCompNum());
    if (FAILED(hr))
        return hr;
    long tracks = 0;
    XRV_CHECK(pComp->VTrackGetCount( &tracks ));
    for (long t = tracks; t-- > 0;) {
        CComPtr<IAMTimelineObj> pTrackObj;
        if (FAILED(pComp->GetVTrack(&pTrackObj, t)))
            continue;
        CComQIPtr<IAMTimelineTrack> pTrack(pTrackObj);
        REFERENCE_TIME at = 0;
        while (pTrack) {
            CComPtr<IAMTimelineObj> pSourceObj;
            if (pTrack->GetNextSrc(&pSourceObj, &at) != S_OK || !pSourceObj)
                break;
            REFERENCE_TIME start = 0, stop = 0;
            pSourceObj->GetStartStop(&start, &stop);
            std::wstring name;
            if (start > time || time >= stop || !SourceMediaName(pSourceObj, &name))
                continue;
            AM_MEDIA_TYPE mt;
            memset(&mt, 0, sizeof(mt));
            double rate = 0.0;
            if (ProbeVideo(name, "GetResolutionAtTime", &mt, &rate) != S_OK)
                return E_FAIL;
            int bits = 0;
            BOOL sized = VideoSizeOfType(mt, width, height, &bits);
            FreeMediaType(mt);
            *height = abs(*height);
            return sized ? S_OK : E_FAIL;
        }
    }
    return E_FAIL;
}

// The timeline's video rate: the video group's output rate.
HRESULT XRVDSTimeline::GetFrameRate(double* frameRate)
{
    if (!frameRate)
        return E_POINTER;
    *frameRate = 0.0;
    CComPtr<IAMTimelineGroup> pVidGroup;
    HRESULT hr = GetVideoGroup(&pVidGroup);
    if (FAILED(hr))
        return hr;
    XRV_CHECK(pVidGroup->GetOutputFPS( frameRate ));
    return S_OK;
}

// The media type (the caller frees it) and picture size of the first named
// source of a video track.
HRESULT XRVDSTimeline::GetVidTrackInfo(int track, AM_MEDIA_TYPE* mediaType, SIZE* size)
{
    if (!mediaType || !size)
        return E_POINTER;
    memset(mediaType, 0, sizeof(*mediaType));
    size->cx = 0;
    size->cy = 0;
    CComPtr<IAMTimelineComp> pComp;
    HRESULT hr = GetVideoComp(&pComp, GetVideoCompNum());
    if (FAILED(hr))
        return hr;
    long tracks = 0;
    XRV_CHECK(pComp->VTrackGetCount( &tracks ));
    if (track < 0 || track >= tracks)
        return E_INVALIDARG;
    CComPtr<IAMTimelineObj> pTrackObj;
    XRV_CHECK(pComp->GetVTrack( &pTrackObj, track ));
    CComQIPtr<IAMTimelineTrack> pTrack(pTrackObj);
    XRV_CHECK_PTR(pTrack, "CComQIPtr(pTrackObj)", "IAMTimelineTrack");
    REFERENCE_TIME at = 0;
    for (;;) {
        CComPtr<IAMTimelineObj> pSourceObj;
        if (pTrack->GetNextSrc(&pSourceObj, &at) != S_OK || !pSourceObj)
            return E_FAIL;
        std::wstring name;
        if (!SourceMediaName(pSourceObj, &name))
            continue;
        double rate = 0.0;
        if (ProbeVideo(name, "GetVidTrackInfo", mediaType, &rate) != S_OK)
            return E_FAIL;
        int width = 0, height = 0, bits = 0;
        if (!VideoSizeOfType(*mediaType, &width, &height, &bits)) {
            FreeMediaType(*mediaType);
            return E_FAIL;
        }
        size->cx = width;
        size->cy = abs(height);
        return S_OK;
    }
}

// One entry per video track that GetVidTrackInfo answers.
HRESULT XRVDSTimeline::FillTrackInfo(std::vector<VidTrackInfo>* list)
{
    if (!list)
        return S_OK;
    list->clear();
    CComPtr<IAMTimelineComp> pComp;
    if (FAILED(GetVideoComp(&pComp, GetVideoCompNum())))
        return S_OK;
    long tracks = 0;
    pComp->VTrackGetCount(&tracks);
    for (long t = 0; t < tracks; ++t) {
        AM_MEDIA_TYPE mt;
        VidTrackInfo info;
        if (FAILED(GetVidTrackInfo((int)t, &mt, &info.size)))
            continue;
        info.track = (int)t;
        info.subtype = mt.subtype;
        int bits = 0;
        int width = 0, height = 0;
        VideoSizeOfType(mt, &width, &height, &bits);
        info.bitCount = bits;
        FreeMediaType(mt);
        list->push_back(info);
    }
    return S_OK;
}
