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

            CComPtr<IMediaDet> pMediaDet;
            if (FAILED(DexCreate(CLSID_MediaDet, &pMediaDet)) || !pMediaDet) {
                Report(__LINE__, "CoCreateInstance() failed for CLSID_MediaDet in GetMaxProperties()");
                break;
            }
            if (FAILED(SetMediaDetSource(pMediaDet, SysAllocString(name.c_str()))))
                continue;
            long streams = 0;
            if (FAILED(pMediaDet->get_OutputStreams(&streams))) {
                Report(__LINE__, "get_OutputStreams() failed for pMediaDet in GetMaxProperties()");
                break;
            }
            int srcWidth = 0, srcHeight = 0, srcBits = 0;
            double srcRate = 0.0;
            for (long s = 0; s < streams; ++s) {
                if (FAILED(pMediaDet->put_CurrentStream(s)))
                    break;
                GUID type = GUID_NULL;
                if (FAILED(pMediaDet->get_StreamType(&type))) {
                    Report(__LINE__, "get_StreamType() failed for pMediaDet in GetMaxProperties()");
                    continue;
                }
                if (!IsEqualGUID(type, MEDIATYPE_Video))
                    continue;
                double rate = 0.0;
                if (pMediaDet->get_FrameRate(&rate) == S_OK)
                    srcRate = (double)(long long)(rate + 0.5);
                AM_MEDIA_TYPE mt;
                memset(&mt, 0, sizeof(mt));
                if (FAILED(pMediaDet->get_StreamMediaType(&mt)))
                    return E_FAIL;
                if (IsEqualGUID(mt.formattype, FORMAT_DvInfo) && mt.pbFormat) {
                    *width = 720;
                    *height = 480;
                } else {
                    VideoSizeOfType(mt, &srcWidth, &srcHeight, &srcBits);
                }
                FreeMediaType(mt);
                if (still && m_bFitStills)
                    FitSizeKeepAspect(srcWidth, srcHeight);
                break;
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
