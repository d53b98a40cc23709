// The facade's media queries: stream presence, lengths and formats of media
// files through the media detector, with the file-properties cache.
#include "XRVDirectShow/XRVDShow.h"

#include "XRVDirectShow/FileProperties.h"
#include "XRVDirectShow/MediaTypes.h"
#include "XRVDirectShow/TimelineReport.h"
#include "platform/dex/DexFactory.h"

#include <dvdmedia.h>
#include <qedit.h>
#include <string.h>

namespace {

const char* const kFacadeSource = ".\\XRVDirectShow\\XRVDShow";

void Report(int line, const char* text)
{
    ReportTimelineFailure(kFacadeSource, line, text);
}

// Seconds to 100-ns units through whole milliseconds: floor(s x 1000) x 10000.
LONGLONG SecondsToUnits(double seconds)
{
    if (!(seconds > 0.0))
        return 0;
    return (LONGLONG)(seconds * 1000.0) * 10000;
}

CComPtr<IMediaDet> OpenDetector(LPCTSTR fileName, const char* createFailure)
{
    CComPtr<IMediaDet> det;
    if (FAILED(DexCreate(CLSID_MediaDet, &det)) || !det) {
        Report(__LINE__, createFailure);
        return NULL;
    }
    WCHAR wide[MAX_PATH * 2];
    if (!::MultiByteToWideChar(CP_ACP, 0, fileName, -1, wide, MAX_PATH * 2))
        return NULL;
    if (FAILED(SetMediaDetSource(det, ::SysAllocString(wide))))
        return NULL;
    return det;
}

BOOL HasStreamOfType(LPCTSTR fileName, REFGUID major)
{
    if (!fileName || !*fileName)
        return FALSE;
    CComPtr<IMediaDet> det = OpenDetector(fileName, "CoCreateInstance() failed for CLSID_MediaDet in HasStream()");
    long streams = 0;
    if (!det || FAILED(det->get_OutputStreams(&streams)))
        return FALSE;
    for (long s = 0; s < streams; ++s) {
        GUID type = GUID_NULL;
        if (SUCCEEDED(det->put_CurrentStream(s)) && SUCCEEDED(det->get_StreamType(&type)) &&
            IsEqualGUID(type, major))
            return TRUE;
    }
    return FALSE;
}

// The file's size and last write time; FALSE when it cannot be read.
BOOL FileStamp(LPCTSTR fileName, ULONGLONG* size, FILETIME* written)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(fileName, GetFileExInfoStandard, &data))
        return FALSE;
    *size = ((ULONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    *written = data.ftLastWriteTime;
    return TRUE;
}

// The index of the file's record whose stamp still matches the file, or -1.
// Call under g_FilePropertiesLock.
INT_PTR FindCurrentRecord(LPCTSTR fileName)
{
    ULONGLONG size = 0;
    FILETIME written = {0, 0};
    if (!FileStamp(fileName, &size, &written))
        return -1;
    for (INT_PTR i = 0; i < g_FileProperties.GetSize(); ++i) {
        const FilePropertiesRecord& r = g_FileProperties[i];
        if (r.fileName.CompareNoCase(fileName) == 0)
            return r.fileSize == size && ::CompareFileTime(&r.writeTime, &written) == 0 ? i : -1;
    }
    return -1;
}

}  // namespace

// The 16-bit PCM form of a stream's format; 22050 Hz mono for a rate of 0.
void XRVDShowMedia::PcmFormOf(const WAVEFORMATEX& in, WAVEFORMATEX* out)
{
    memset(out, 0, sizeof(*out));
    out->wFormatTag = WAVE_FORMAT_PCM;
    out->nChannels = in.nChannels;
    out->nSamplesPerSec = in.nSamplesPerSec;
    if (in.nSamplesPerSec == 0) {
        out->nSamplesPerSec = 22050;
        out->nChannels = 1;
    }
    out->wBitsPerSample = 16;
    const int align = out->nChannels * 16 / 8;
    out->nBlockAlign = (WORD)(align > 1 ? align : 1);
    out->nAvgBytesPerSec = out->nBlockAlign * out->nSamplesPerSec;
    out->cbSize = 0;
}

namespace {

using XRVDShowMedia::PcmFormOf;

BOOL Probe(LPCTSTR fileName, FilePropertiesRecord* r)
{
    memset(&r->audioFormat, 0xFF, sizeof(r->audioFormat));
    CComPtr<IMediaDet> det =
        OpenDetector(fileName, "CoCreateInstance() failed for CLSID_MediaDet in GetMediaInformation()");
    if (!det)
        return FALSE;
    long streams = 0;
    if (FAILED(det->get_OutputStreams(&streams))) {
        Report(__LINE__, "get_OutputStreams() failed for pMediaDet in GetMediaInformation()");
        return FALSE;
    }
    for (long s = 0; s < streams; ++s) {
        GUID type = GUID_NULL;
        if (FAILED(det->put_CurrentStream(s)) || FAILED(det->get_StreamType(&type))) {
            Report(__LINE__, "get_StreamType() failed for pMediaDet in GetMediaInformation()");
            continue;
        }
        double seconds = 0.0;
        AM_MEDIA_TYPE mt;
        memset(&mt, 0, sizeof(mt));
        if (IsEqualGUID(type, MEDIATYPE_Video)) {
            r->hasVideo = TRUE;
            det->get_FrameRate(&r->frameRate);
            if (FAILED(det->get_StreamLength(&seconds)))
                Report(__LINE__, "get_StreamLength( &dVideoLength ) failed for pMediaDet in GetMediaInformation()");
            r->videoLength = SecondsToUnits(seconds);
            if (SUCCEEDED(det->get_StreamMediaType(&mt))) {
                const BITMAPINFOHEADER* bih = NULL;
                if (IsEqualGUID(mt.formattype, FORMAT_DvInfo)) {
                    r->width = 720;
                    r->height = 480;
                    r->bitCount = 0;
                } else if (IsEqualGUID(mt.formattype, FORMAT_VideoInfo) && mt.cbFormat >= sizeof(VIDEOINFOHEADER)) {
                    bih = &((const VIDEOINFOHEADER*)mt.pbFormat)->bmiHeader;
                } else if (IsEqualGUID(mt.formattype, FORMAT_VideoInfo2) &&
                           mt.cbFormat >= sizeof(VIDEOINFOHEADER2)) {
                    bih = &((const VIDEOINFOHEADER2*)mt.pbFormat)->bmiHeader;
                } else if (IsEqualGUID(mt.formattype, FORMAT_MPEGVideo) && mt.cbFormat >= sizeof(MPEG1VIDEOINFO)) {
                    bih = &((const MPEG1VIDEOINFO*)mt.pbFormat)->hdr.bmiHeader;
                } else if (IsEqualGUID(mt.formattype, FORMAT_MPEG2Video) && mt.cbFormat >= sizeof(MPEG2VIDEOINFO)) {
                    bih = &((const MPEG2VIDEOINFO*)mt.pbFormat)->hdr.bmiHeader;
                }
                if (bih) {
                    r->width = bih->biWidth;
                    r->height = bih->biHeight < 0 ? -bih->biHeight : bih->biHeight;
                    r->bitCount = bih->biBitCount;
                }
                FreeMediaType(mt);
            }
        } else if (IsEqualGUID(type, MEDIATYPE_Audio)) {
            r->hasAudio = TRUE;
            if (FAILED(det->get_StreamLength(&seconds)))
                Report(__LINE__, "get_StreamLength( &dAudioLength ) failed for pMediaDet in GetMediaInformation()");
            r->audioLength = SecondsToUnits(seconds);
            if (SUCCEEDED(det->get_StreamMediaType(&mt))) {
                if (IsEqualGUID(mt.formattype, FORMAT_WaveFormatEx) && mt.cbFormat >= sizeof(PCMWAVEFORMAT))
                    PcmFormOf(*(const WAVEFORMATEX*)mt.pbFormat, &r->audioFormat);
                FreeMediaType(mt);
            }
        }
    }
    return TRUE;
}

}  // namespace

namespace XRVDShowMedia {

// A cached record serves while its file is unchanged; otherwise each stream
// is asked. The cache is not filled here.
LONGLONG GetStreamLength(LPCTSTR fileName)
{
    if (!fileName || !*fileName)
        return 0;
    {
        CSingleLock hold(&g_FilePropertiesLock, TRUE);
        const INT_PTR i = FindCurrentRecord(fileName);
        if (i >= 0) {
            const FilePropertiesRecord& r = g_FileProperties[i];
            return r.videoLength > r.audioLength ? r.videoLength : r.audioLength;
        }
    }
    CComPtr<IMediaDet> det = OpenDetector(fileName, "CoCreateInstance() failed for CLSID_MediaDet in GetStreamLength()");
    long streams = 0;
    if (!det)
        return 0;
    if (FAILED(det->get_OutputStreams(&streams))) {
        Report(__LINE__, "get_OutputStreams() failed for pMediaDet in GetStreamLength()");
        return 0;
    }
    LONGLONG longest = 0;
    for (long s = 0; s < streams; ++s) {
        double seconds = 0.0;
        if (FAILED(det->put_CurrentStream(s)) || FAILED(det->get_StreamLength(&seconds))) {
            Report(__LINE__, "get_StreamLength() failed for pMediaDet in GetStreamLength()");
            continue;
        }
        const LONGLONG length = SecondsToUnits(seconds);
        if (length > longest)
            longest = length;
    }
    return longest;
}

BOOL HasVideoStream(LPCTSTR fileName)
{
    if (fileName && strstr(fileName, ".XRVImg3"))
        return TRUE;
    return HasStreamOfType(fileName, MEDIATYPE_Video);
}

BOOL HasAudioStream(LPCTSTR fileName)
{
    return HasStreamOfType(fileName, MEDIATYPE_Audio);
}

HRESULT GetMediaInformation(LPCTSTR fileName, BOOL* hasVideo, BOOL* hasAudio, LONGLONG* length, int* width,
                            int* height, double* frameRate, int* bitCount, WAVEFORMATEX* audio, BOOL noCache)
{
    if (!fileName || !hasVideo || !hasAudio || !length || !width || !height || !frameRate || !bitCount)
        return E_POINTER;
    if (audio)
        memset(audio, 0xFF, sizeof(*audio));
    FilePropertiesRecord record;
    BOOL cached = FALSE;
    if (!noCache) {
        CSingleLock hold(&g_FilePropertiesLock, TRUE);
        const INT_PTR i = FindCurrentRecord(fileName);
        if (i >= 0) {
            record = g_FileProperties[i];
            cached = TRUE;
        }
    }
    if (!cached) {
        record.fileName = fileName;
        const BOOL stamped = FileStamp(fileName, &record.fileSize, &record.writeTime);
        if (!stamped || !Probe(fileName, &record)) {
            *hasVideo = *hasAudio = FALSE;
            *length = 0;
            *width = *height = *bitCount = 0;
            *frameRate = 0.0;
            return E_FAIL;
        }
        // One record per file: a new probe replaces an old one.
        CSingleLock hold(&g_FilePropertiesLock, TRUE);
        INT_PTR i = 0;
        while (i < g_FileProperties.GetSize() && g_FileProperties[i].fileName.CompareNoCase(fileName) != 0)
            ++i;
        if (i < g_FileProperties.GetSize())
            g_FileProperties[i] = record;
        else
            g_FileProperties.Add(record);
    }
    *hasVideo = record.hasVideo;
    *hasAudio = record.hasAudio;
    *length = record.videoLength != 0 ? record.videoLength : record.audioLength;
    *width = record.width;
    *height = record.height;
    *frameRate = record.frameRate;
    *bitCount = record.bitCount;
    if (audio && record.audioFormat.nSamplesPerSec != 0xFFFFFFFF)
        *audio = record.audioFormat;
    return S_OK;
}

}  // namespace XRVDShowMedia
