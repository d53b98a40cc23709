#include "capture/AviScreenStream.h"

#include "capture/FrameBitmap.h"
#include "resources/ids_capture.h"
#include "resources/ids_media.h"

#include <string.h>
#include <vector>

DWORD CodecForBitDepth(WORD bitCount)
{
    switch (bitCount) {
    case 8:
    case 16:
    case 24:
    case 32:
        return kFourccXrvc;
    default:
        return kFourccDib;
    }
}

namespace {

// "%s (%lx)"-style texts: the string with the file name and the result.
CString FormatWithFile(UINT id, LPCSTR fileName, HRESULT result)
{
    CString format;
    format.LoadString(id);
    CString text;
    text.Format(format, fileName, (unsigned long)result);
    return text;
}

CString LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

}  // namespace

CAviScreenStream::CAviScreenStream()
    : m_file(NULL), m_stream(NULL), m_compressed(NULL), m_compressing(FALSE)
{
}

CAviScreenStream::~CAviScreenStream()
{
    Close();
}

void CAviScreenStream::Close()
{
    if (m_compressed) {
        ::AVIStreamRelease(m_compressed);
        m_compressed = NULL;
    }
    if (m_stream) {
        ::AVIStreamRelease(m_stream);
        m_stream = NULL;
    }
    if (m_file) {
        ::AVIFileRelease(m_file);
        m_file = NULL;
    }
    m_compressing = FALSE;
}

BOOL CAviScreenStream::Open(LPCSTR fileName, const BITMAPINFO* format, const AviStreamSettings& settings,
                            AviOpenError* error)
{
    Close();
    error->result = S_OK;
    error->text.Empty();
    error->repairShortText = 0;

    HRESULT hr = ::AVIFileOpenA(&m_file, fileName, OF_CREATE | OF_WRITE, NULL);
    if (hr != AVIERR_OK) {
        m_file = NULL;
        error->result = hr;
        error->text = FormatWithFile(IDS_AVI_OPEN_FAILED, fileName, hr);
        switch ((DWORD)hr) {
        case (DWORD)REGDB_E_CLASSNOTREG:
            error->text += LoadText(IDS_AVIERR_CLASSNOTREG);
            error->repairShortText = IDS_AVI_CLASS_SHORT;
            break;
        case (DWORD)AVIERR_MEMORY:
            error->text += LoadText(IDS_AVIERR_MEMORY);
            break;
        case (DWORD)AVIERR_BADFORMAT:
            error->text += LoadText(IDS_AVIERR_BADFORMAT);
            break;
        case (DWORD)AVIERR_FILEREAD:
            error->text += LoadText(IDS_AVIERR_FILEREAD);
            break;
        case (DWORD)AVIERR_FILEOPEN:
            error->text += LoadText(IDS_AVIERR_FILEOPEN);
            break;
        }
        return FALSE;
    }

    // The format with its colour table; 8-bit tables keep the system colours
    // (the first and last ten entries) and mark the rest PC_NOCOLLAPSE.
    const BITMAPINFOHEADER& header = format->bmiHeader;
    const DWORD colorEntries = header.biBitCount <= 8 ? header.biClrUsed : 0;
    const DWORD formatSize = header.biSize + colorEntries * sizeof(RGBQUAD);
    std::vector<BYTE> formatCopy((const BYTE*)format, (const BYTE*)format + formatSize);
    if (header.biBitCount == 8 && colorEntries > 20) {
        RGBQUAD* table = (RGBQUAD*)(formatCopy.data() + header.biSize);
        for (DWORD i = 10; i <= colorEntries - 11; ++i)
            table[i].rgbReserved = PC_NOCOLLAPSE;
    }

    const DWORD fourcc = settings.fourcc;
    if ((header.biWidth % 4 != 0 || header.biHeight % 4 != 0) &&
        (fourcc == mmioFOURCC('M', 'P', 'G', '4') || fourcc == mmioFOURCC('M', 'P', '4', '2'))) {
        error->result = AVIERR_BADFORMAT;
        error->text = LoadText(IDS_AVI_NEEDS_MULTIPLE_OF_4);
        Close();
        return FALSE;
    }

    AVISTREAMINFOA info = {};
    info.fccType = streamtypeVIDEO;
    info.fccHandler = fourcc;
    info.dwScale = settings.scale ? settings.scale : 1;
    info.dwRate = settings.rate ? settings.rate : 1;
    info.dwSuggestedBufferSize = header.biSizeImage;
    SetRect(&info.rcFrame, 0, 0, header.biWidth, header.biHeight < 0 ? -header.biHeight : header.biHeight);
    hr = ::AVIFileCreateStreamA(m_file, &m_stream, &info);
    if (hr != AVIERR_OK) {
        m_stream = NULL;
        error->result = hr;
        error->text = FormatWithFile(IDS_AVI_CREATE_STREAM_FAILED, fileName, hr);
        Close();
        return FALSE;
    }

    AVICOMPRESSOPTIONS options = {};
    options.fccType = ICTYPE_VIDEO;
    options.fccHandler = fourcc;
    options.dwKeyFrameEvery = (DWORD)settings.keyFrameEvery;
    options.dwQuality = (DWORD)settings.quality;
    options.dwBytesPerSecond = settings.bytesPerSecond;
    options.dwFlags = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_DATARATE | AVICOMPRESSF_VALID;
    options.lpFormat = formatCopy.data();
    options.cbFormat = formatSize;
    options.lpParms = (LPVOID)settings.state;
    options.cbParms = settings.state ? settings.stateSize : 0;
    hr = ::AVIMakeCompressedStream(&m_compressed, m_stream, &options, NULL);
    if (hr != AVIERR_OK) {
        m_compressed = NULL;
        error->result = hr;
        error->text = FormatWithFile(IDS_AVI_MAKE_COMPRESSED, fileName, hr);
        switch ((DWORD)hr) {
        case (DWORD)AVIERR_UNSUPPORTED:
            error->text += LoadText(IDS_AVI_UNSUPPORTED);
            error->repairShortText = IDS_AVI_UNSUPPORTED_SHORT;
            break;
        case (DWORD)AVIERR_MEMORY:
            error->text += LoadText(IDS_AVIERR_MEMORY);
            break;
        case (DWORD)AVIERR_NOCOMPRESSOR:
            error->text += LoadText(IDS_AVI_NO_COMPRESSOR);
            break;
        }
        Close();
        return FALSE;
    }

    hr = ::AVIStreamSetFormat(m_compressed, 0, formatCopy.data(), (LONG)formatSize);
    if (hr != AVIERR_OK) {
        error->result = hr;
        if (header.biBitCount > 8 && fourcc == mmioFOURCC('M', 'R', 'L', 'E'))
            error->text = LoadText(IDS_MRLE_NEEDS_256_COLORS);
        else
            error->text = LoadText(IDS_AVI_SET_FORMAT_FAILED);
        Close();
        return FALSE;
    }
    m_compressing = fourcc != kFourccDib;
    return TRUE;
}

BOOL CAviScreenStream::Write(const void* bits, DWORD byteCount, LONG sample, DWORD flags)
{
    if (!m_compressed)
        return FALSE;
    if (m_compressing)
        flags &= ~(DWORD)AVIIF_KEYFRAME;
    return ::AVIStreamWrite(m_compressed, sample, 1, (LPVOID)bits, (LONG)byteCount, flags, NULL, NULL) == 0;
}
