#include "XRVDirectShow/MediaTypes.h"

#include <vfw.h>
#include <string.h>

void FreeMediaType(AM_MEDIA_TYPE& mt)
{
    if (mt.cbFormat && mt.pbFormat)
        CoTaskMemFree(mt.pbFormat);
    mt.cbFormat = 0;
    mt.pbFormat = NULL;
    if (mt.pUnk) {
        mt.pUnk->Release();
        mt.pUnk = NULL;
    }
}

BOOL BuildAudioMediaType(const WAVEFORMATEX* format, AM_MEDIA_TYPE* mt, BOOL fixedSize)
{
    if (!format || !mt)
        return FALSE;
    memset(mt, 0, sizeof(*mt));
    const ULONG size = sizeof(WAVEFORMATEX) + (format->wFormatTag == WAVE_FORMAT_PCM ? 0 : format->cbSize);
    mt->pbFormat = (BYTE*)CoTaskMemAlloc(size);
    if (!mt->pbFormat)
        return FALSE;
    memcpy(mt->pbFormat, format, size);
    if (format->wFormatTag == WAVE_FORMAT_PCM)
        ((WAVEFORMATEX*)mt->pbFormat)->cbSize = 0;
    mt->cbFormat = size;
    mt->majortype = MEDIATYPE_Audio;
    mt->subtype = MEDIASUBTYPE_PCM;
    mt->subtype.Data1 = format->wFormatTag;
    mt->formattype = FORMAT_WaveFormatEx;
    mt->bFixedSizeSamples = fixedSize;
    mt->bTemporalCompression = FALSE;
    mt->lSampleSize = fixedSize ? format->nBlockAlign : 0;
    return TRUE;
}

namespace {

class AviFileReader {
public:
    explicit AviFileReader(LPCTSTR file) : m_file(NULL)
    {
        AVIFileInit();
        if (AVIFileOpenA(&m_file, file, OF_READ | OF_SHARE_DENY_NONE, NULL) != 0)
            m_file = NULL;
    }
    ~AviFileReader()
    {
        if (m_file)
            AVIFileRelease(m_file);
        AVIFileExit();
    }
    PAVIFILE m_file;
};

} // namespace

BOOL GetStreamLength(LPCTSTR file, LONGLONG* length)
{
    if (!file || !length)
        return FALSE;
    *length = 0;
    AviFileReader reader(file);
    if (!reader.m_file)
        return FALSE;
    BOOL any = FALSE;
    for (LONG i = 0;; ++i) {
        PAVISTREAM stream = NULL;
        if (AVIFileGetStream(reader.m_file, &stream, 0, i) != 0 || !stream)
            break;
        AVISTREAMINFOA info;
        memset(&info, 0, sizeof(info));
        if (AVIStreamInfoA(stream, &info, sizeof(info)) == 0 && info.dwRate) {
            LONGLONG units = (LONGLONG)info.dwStart + info.dwLength;
            LONGLONG t = (LONGLONG)((long double)units * info.dwScale * 10000000 / info.dwRate + 0.5L);
            if (t > *length)
                *length = t;
            any = TRUE;
        }
        AVIStreamRelease(stream);
    }
    return any;
}

BOOL GetFileAudioFormat(LPCTSTR file, WAVEFORMATEX* format)
{
    if (!file || !format)
        return FALSE;
    AviFileReader reader(file);
    if (!reader.m_file)
        return FALSE;
    PAVISTREAM stream = NULL;
    if (AVIFileGetStream(reader.m_file, &stream, streamtypeAUDIO, 0) != 0 || !stream)
        return FALSE;
    BOOL ok = FALSE;
    LONG size = 0;
    AVIStreamReadFormat(stream, 0, NULL, &size);
    if (size >= (LONG)sizeof(PCMWAVEFORMAT)) {
        BYTE* block = new BYTE[size < (LONG)sizeof(WAVEFORMATEX) ? sizeof(WAVEFORMATEX) : size];
        memset(block, 0, size < (LONG)sizeof(WAVEFORMATEX) ? sizeof(WAVEFORMATEX) : size);
        if (AVIStreamReadFormat(stream, 0, block, &size) == 0) {
            memcpy(format, block, sizeof(WAVEFORMATEX));
            format->cbSize = 0;
            ok = TRUE;
        }
        delete[] block;
    }
    AVIStreamRelease(stream);
    return ok;
}
