#include "capture/AviInterleaveWriter.h"

#include <string.h>

namespace {

const DWORD kAviSizeLimit = 0x7FFFFFFF;
DWORD g_sizeLimit = kAviSizeLimit;

#pragma pack(push, 1)
struct AviMainHeader {
    DWORD microSecPerFrame;
    DWORD maxBytesPerSec;
    DWORD paddingGranularity;
    DWORD flags;
    DWORD totalFrames;
    DWORD initialFrames;
    DWORD streams;
    DWORD suggestedBufferSize;
    DWORD width;
    DWORD height;
    DWORD reserved[4];
};
struct AviStreamHeader {
    FOURCC type;
    FOURCC handler;
    DWORD flags;
    WORD priority;
    WORD language;
    DWORD initialFrames;
    DWORD scale;
    DWORD rate;
    DWORD start;
    DWORD length;
    DWORD suggestedBufferSize;
    DWORD quality;
    DWORD sampleSize;
    short frame[4];
};
#pragma pack(pop)
static_assert(sizeof(AviMainHeader) == 56, "avih is 56 bytes");
static_assert(sizeof(AviStreamHeader) == 56, "strh is 56 bytes");
static_assert(sizeof(AVIINDEXENTRY) == 16, "idx1 entries are 16 bytes");

const DWORD kRiff = mmioFOURCC('R', 'I', 'F', 'F');
const DWORD kList = mmioFOURCC('L', 'I', 'S', 'T');

void Put(std::vector<BYTE>& out, const void* data, size_t size)
{
    const BYTE* p = static_cast<const BYTE*>(data);
    out.insert(out.end(), p, p + size);
}

void PutDword(std::vector<BYTE>& out, DWORD v)
{
    Put(out, &v, 4);
}

void PutChunk(std::vector<BYTE>& out, DWORD id, const void* data, DWORD size)
{
    PutDword(out, id);
    PutDword(out, size);
    Put(out, data, size);
    if (size & 1)
        out.push_back(0);
}

AviStreamHeader StreamHeader(const AVISTREAMINFOA& info, DWORD length, DWORD bufferSize)
{
    AviStreamHeader h = {};
    h.type = info.fccType;
    h.handler = info.fccHandler;
    h.flags = info.dwFlags;
    h.priority = info.wPriority;
    h.language = info.wLanguage;
    h.initialFrames = info.dwInitialFrames;
    h.scale = info.dwScale;
    h.rate = info.dwRate;
    h.start = 0;
    h.length = length;
    h.suggestedBufferSize = bufferSize;
    h.quality = info.dwQuality;
    h.sampleSize = info.dwSampleSize;
    h.frame[0] = static_cast<short>(info.rcFrame.left);
    h.frame[1] = static_cast<short>(info.rcFrame.top);
    h.frame[2] = static_cast<short>(info.rcFrame.right);
    h.frame[3] = static_cast<short>(info.rcFrame.bottom);
    return h;
}

}  // namespace

CAviInterleaveWriter::CAviInterleaveWriter()
    : m_file(INVALID_HANDLE_VALUE),
      m_video(),
      m_audio(),
      m_videoFrames(0),
      m_audioSamples(0),
      m_maxChunk(0),
      m_moviStart(0),
      m_position(0),
      m_videoChunkId(0),
      m_failed(FALSE)
{
}

void CAviInterleaveWriter::SetSizeLimit(DWORD bytes)
{
    g_sizeLimit = bytes ? bytes : kAviSizeLimit;
}

CAviInterleaveWriter::~CAviInterleaveWriter()
{
    Abort();
}

BOOL CAviInterleaveWriter::Write(const void* data, DWORD size)
{
    if (m_failed || m_file == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD written = 0;
    if (!::WriteFile(m_file, data, size, &written, NULL) || written != size ||
        m_position + size < m_position || m_position + size > g_sizeLimit) {
        m_failed = TRUE;
        return FALSE;
    }
    m_position += size;
    return TRUE;
}

BOOL CAviInterleaveWriter::WriteChunk(DWORD id, const void* data, DWORD size, DWORD flags)
{
    AVIINDEXENTRY entry = { id, flags, m_position - m_moviStart, size };
    const DWORD head[2] = { id, size };
    static const BYTE pad = 0;
    if (!Write(head, 8) || (size && !Write(data, size)) || ((size & 1) && !Write(&pad, 1)))
        return FALSE;
    m_index.push_back(entry);
    if (size > m_maxChunk)
        m_maxChunk = size;
    return TRUE;
}

// The header of the file up to and including the 'movi' list's type; the
// same size whenever it is written, so Close can rewrite it in place.
BOOL CAviInterleaveWriter::WriteHeader()
{
    const BITMAPINFOHEADER* bih = reinterpret_cast<const BITMAPINFOHEADER*>(m_videoFormat.data());
    const WAVEFORMATEX* wf = reinterpret_cast<const WAVEFORMATEX*>(m_audioFormat.data());
    std::vector<BYTE> videoList, audioList, hdrl;
    PutDword(videoList, mmioFOURCC('s', 't', 'r', 'l'));
    AviStreamHeader vh = StreamHeader(m_video, m_videoFrames, m_maxChunk);
    PutChunk(videoList, mmioFOURCC('s', 't', 'r', 'h'), &vh, sizeof(vh));
    PutChunk(videoList, mmioFOURCC('s', 't', 'r', 'f'), m_videoFormat.data(), static_cast<DWORD>(m_videoFormat.size()));
    PutDword(audioList, mmioFOURCC('s', 't', 'r', 'l'));
    AviStreamHeader ah = StreamHeader(m_audio, m_audioSamples, m_maxChunk);
    ah.scale = wf->nBlockAlign ? wf->nBlockAlign : 1;
    ah.rate = wf->nAvgBytesPerSec;
    ah.sampleSize = wf->nBlockAlign;
    PutChunk(audioList, mmioFOURCC('s', 't', 'r', 'h'), &ah, sizeof(ah));
    PutChunk(audioList, mmioFOURCC('s', 't', 'r', 'f'), m_audioFormat.data(), static_cast<DWORD>(m_audioFormat.size()));

    AviMainHeader mh = {};
    mh.microSecPerFrame = m_video.dwRate ? static_cast<DWORD>(::MulDiv(1000000, m_video.dwScale, m_video.dwRate)) : 0;
    mh.maxBytesPerSec = wf->nAvgBytesPerSec + (m_video.dwScale ? ::MulDiv(m_maxChunk, m_video.dwRate, m_video.dwScale) : 0);
    mh.flags = AVIF_HASINDEX | AVIF_ISINTERLEAVED;
    mh.totalFrames = m_videoFrames;
    mh.streams = 2;
    mh.suggestedBufferSize = m_maxChunk;
    mh.width = static_cast<DWORD>(bih->biWidth);
    mh.height = static_cast<DWORD>(bih->biHeight < 0 ? -bih->biHeight : bih->biHeight);
    PutDword(hdrl, mmioFOURCC('h', 'd', 'r', 'l'));
    PutChunk(hdrl, mmioFOURCC('a', 'v', 'i', 'h'), &mh, sizeof(mh));
    PutChunk(hdrl, kList, videoList.data(), static_cast<DWORD>(videoList.size()));
    PutChunk(hdrl, kList, audioList.data(), static_cast<DWORD>(audioList.size()));

    const DWORD moviSize = m_moviStart ? m_position - m_moviStart : 4;
    const DWORD indexSize = static_cast<DWORD>(m_index.size() * sizeof(AVIINDEXENTRY));
    std::vector<BYTE> head;
    PutDword(head, kRiff);
    PutDword(head, 0);   // set below
    PutDword(head, mmioFOURCC('A', 'V', 'I', ' '));
    PutChunk(head, kList, hdrl.data(), static_cast<DWORD>(hdrl.size()));
    PutDword(head, kList);
    PutDword(head, moviSize);
    PutDword(head, mmioFOURCC('m', 'o', 'v', 'i'));
    const DWORD riffSize = static_cast<DWORD>(head.size()) - 8 + (moviSize - 4) + (m_moviStart ? 8 + indexSize : 0);
    memcpy(head.data() + 4, &riffSize, 4);
    if (!m_moviStart) {
        m_moviStart = static_cast<DWORD>(head.size()) - 4;
        return Write(head.data(), static_cast<DWORD>(head.size()));
    }
    const DWORD end = m_position;
    if (::SetFilePointer(m_file, 0, NULL, FILE_BEGIN) != 0) {
        m_failed = TRUE;
        return FALSE;
    }
    m_position = 0;
    const BOOL ok = Write(head.data(), static_cast<DWORD>(head.size()));
    m_position = end;
    return ok;
}

BOOL CAviInterleaveWriter::Create(LPCSTR path, const AVISTREAMINFOA& video, const void* videoFormat,
                                  LONG videoFormatSize, const AVISTREAMINFOA& audio, const void* audioFormat,
                                  LONG audioFormatSize)
{
    Abort();
    if (videoFormatSize < static_cast<LONG>(sizeof(BITMAPINFOHEADER)) || audioFormatSize < 16)
        return FALSE;
    m_video = video;
    m_audio = audio;
    m_videoFormat.assign(static_cast<const BYTE*>(videoFormat), static_cast<const BYTE*>(videoFormat) + videoFormatSize);
    m_audioFormat.assign(18, 0);
    memcpy(m_audioFormat.data(), audioFormat, audioFormatSize < 18 ? audioFormatSize : 18);
    if (audioFormatSize > 18)
        m_audioFormat.assign(static_cast<const BYTE*>(audioFormat), static_cast<const BYTE*>(audioFormat) + audioFormatSize);
    const BITMAPINFOHEADER* bih = static_cast<const BITMAPINFOHEADER*>(videoFormat);
    m_videoChunkId = bih->biCompression == BI_RGB ? mmioFOURCC('0', '0', 'd', 'b') : mmioFOURCC('0', '0', 'd', 'c');
    m_index.clear();
    m_videoFrames = 0;
    m_audioSamples = 0;
    m_maxChunk = 0;
    m_moviStart = 0;
    m_position = 0;
    m_failed = FALSE;
    m_file = ::CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (m_file == INVALID_HANDLE_VALUE)
        return FALSE;
    return WriteHeader();
}

BOOL CAviInterleaveWriter::WriteVideo(const void* data, DWORD size, BOOL keyFrame)
{
    if (!WriteChunk(m_videoChunkId, data, size, keyFrame ? AVIIF_KEYFRAME : 0))
        return FALSE;
    ++m_videoFrames;
    return TRUE;
}

BOOL CAviInterleaveWriter::WriteAudio(const void* data, DWORD size, DWORD samples)
{
    if (!WriteChunk(mmioFOURCC('0', '1', 'w', 'b'), data, size, AVIIF_KEYFRAME))
        return FALSE;
    m_audioSamples += samples;
    return TRUE;
}

BOOL CAviInterleaveWriter::WritePaletteChange(const void* data, DWORD size)
{
    return WriteChunk(mmioFOURCC('0', '0', 'p', 'c'), data, size, AVIIF_NOTIME);
}

BOOL CAviInterleaveWriter::Close()
{
    if (m_file == INVALID_HANDLE_VALUE)
        return FALSE;
    const DWORD indexSize = static_cast<DWORD>(m_index.size() * sizeof(AVIINDEXENTRY));
    const DWORD head[2] = { mmioFOURCC('i', 'd', 'x', '1'), indexSize };
    const DWORD moviEnd = m_position;
    BOOL ok = Write(head, 8) && (!indexSize || Write(m_index.data(), indexSize));
    if (ok) {
        m_position = moviEnd;
        ok = WriteHeader();
    }
    ok = ::CloseHandle(m_file) && ok && !m_failed;
    m_file = INVALID_HANDLE_VALUE;
    return ok;
}

void CAviInterleaveWriter::Abort()
{
    if (m_file != INVALID_HANDLE_VALUE)
        ::CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
}
