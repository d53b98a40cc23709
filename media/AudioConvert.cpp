#include "media/AudioConvert.h"

#include "framework/WinApp.h"
#include "media/ConvertProgress.h"
#include "resources/ids_media.h"

#include <stdlib.h>
#include <string.h>

namespace {

// A format chunk larger than this is not a wave format but a hostile file.
const DWORD kMaxFormatChunk = 0x10000 + 18;
const DWORD kReadBlock = 32768;
const DWORD kProgressRange = 1000;
const DWORD kProgressInterval = 500;

WAVEFORMATEX* CopyFormat(const WAVEFORMATEX* format, DWORD size)
{
    if (size < 18)
        size = 18;
    WAVEFORMATEX* copy = static_cast<WAVEFORMATEX*>(calloc(1, size));
    if (copy)
        memcpy(copy, format, size);
    return copy;
}

BOOL SameFormat(const WAVEFORMATEX* a, const WAVEFORMATEX* b)
{
    return memcmp(a, b, 16) == 0;
}

// The PCM form ACM suggests for a format; NULL when it has none.
WAVEFORMATEX* SuggestPcm(const WAVEFORMATEX* format)
{
    WAVEFORMATEX* pcm = static_cast<WAVEFORMATEX*>(calloc(1, 18));
    if (!pcm)
        return NULL;
    pcm->wFormatTag = WAVE_FORMAT_PCM;
    if (::acmFormatSuggest(NULL, const_cast<WAVEFORMATEX*>(format), pcm, 18,
                           ACM_FORMATSUGGESTF_WFORMATTAG) != MMSYSERR_NOERROR) {
        free(pcm);
        return NULL;
    }
    pcm->cbSize = 0;
    return pcm;
}

CString LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

}  // namespace

// ---------------------------------------------------------------- WaveFileSource

WaveFileSource::WaveFileSource()
    : m_sink(NULL), m_file(NULL), m_format(NULL), m_dataOffset(0), m_dataSize(0), m_sampleCount(0)
{
}

WaveFileSource::~WaveFileSource()
{
    Close();
}

void WaveFileSource::Close()
{
    if (m_file)
        ::mmioClose(m_file, 0);
    m_file = NULL;
    free(m_format);
    m_format = NULL;
    m_dataOffset = m_dataSize = m_sampleCount = 0;
}

// Reads the chunk list of the RIFF form. The format chunk is checked before
// it is trusted: its size must hold a wave format and not be absurd, and its
// cbSize must lie inside the chunk, so that no later stage reads past the
// block; a format without block alignment, channels or rate is refused too.
int WaveFileSource::Open(LPCSTR path)
{
    Close();
    m_file = ::mmioOpenA(const_cast<LPSTR>(path), NULL, MMIO_READ | MMIO_ALLOCBUF);
    if (!m_file)
        return -1;
    MMCKINFO riff = {};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    bool ok = ::mmioDescend(m_file, &riff, NULL, MMIO_FINDRIFF) == MMSYSERR_NOERROR;
    bool haveData = false;
    bool haveFact = false;
    const ULONGLONG riffEnd = static_cast<ULONGLONG>(riff.dwDataOffset) + riff.cksize;
    while (ok) {
        MMCKINFO chunk = {};
        if (::mmioDescend(m_file, &chunk, &riff, 0) != MMSYSERR_NOERROR)
            break;
        if (static_cast<ULONGLONG>(chunk.dwDataOffset) + chunk.cksize > riffEnd) {
            ok = false;
            break;
        }
        if (chunk.ckid == mmioFOURCC('f', 'm', 't', ' ') && !m_format) {
            if (chunk.cksize < 16 || chunk.cksize > kMaxFormatChunk) {
                ok = false;
                break;
            }
            const DWORD size = chunk.cksize < 18 ? 18 : chunk.cksize;
            m_format = static_cast<WAVEFORMATEX*>(calloc(1, size));
            if (!m_format || ::mmioRead(m_file, reinterpret_cast<HPSTR>(m_format),
                                        static_cast<LONG>(chunk.cksize)) != static_cast<LONG>(chunk.cksize)) {
                ok = false;
                break;
            }
            if (m_format->wFormatTag == WAVE_FORMAT_PCM || chunk.cksize < 18)
                m_format->cbSize = 0;
            else if (static_cast<DWORD>(m_format->cbSize) + 18 > chunk.cksize) {
                ok = false;
                break;
            }
            if (m_format->nBlockAlign == 0 || m_format->nChannels == 0 || m_format->nSamplesPerSec == 0) {
                ok = false;
                break;
            }
        } else if (chunk.ckid == mmioFOURCC('d', 'a', 't', 'a') && !haveData) {
            m_dataOffset = chunk.dwDataOffset;
            m_dataSize = chunk.cksize;
            haveData = true;
        } else if (chunk.ckid == mmioFOURCC('f', 'a', 'c', 't') && !haveFact && chunk.cksize >= 4) {
            DWORD samples = 0;
            if (::mmioRead(m_file, reinterpret_cast<HPSTR>(&samples), 4) == 4) {
                m_sampleCount = samples;
                haveFact = true;
            }
        }
        if (::mmioAscend(m_file, &chunk, 0) != MMSYSERR_NOERROR)
            break;
    }
    if (!ok || !m_format) {
        Close();
        return -1;
    }
    if (!haveFact)
        m_sampleCount = m_dataSize / m_format->nBlockAlign;
    return 1;
}

int WaveFileSource::Run(IConvertProgress* progress)
{
    if (!m_file || !m_format || !m_sink)
        return -1;
    DWORD block = (kReadBlock / m_format->nBlockAlign) * m_format->nBlockAlign;
    if (block == 0)
        block = m_format->nBlockAlign;
    if (progress) {
        progress->SetProgressTitle(LoadText(IDS_COMPRESSING_AUDIO) + "...");
        progress->SetTimeLeft(0);
        progress->SetProgress(kProgressRange, 0);
    }
    if (m_sink->Open() < 0)
        return -1;
    if (m_dataSize == 0) {
        m_sink->Close();
        return 1;
    }
    BYTE* buffer = static_cast<BYTE*>(malloc(block));
    if (!buffer) {
        m_sink->Close();
        return -1;
    }
    DWORD done = 0;
    DWORD start = ::GetTickCount();
    DWORD lastReport = start;
    int result = 1;
    while (done < m_dataSize) {
        const DWORD count = m_dataSize - done < block ? m_dataSize - done : block;
        if (::mmioSeek(m_file, static_cast<LONG>(m_dataOffset + done), SEEK_SET) == -1 ||
            ::mmioRead(m_file, reinterpret_cast<HPSTR>(buffer), static_cast<LONG>(count)) !=
                static_cast<LONG>(count)) {
            result = -1;
            break;
        }
        if (m_sink->Write(buffer, count) < 0) {
            result = -1;
            break;
        }
        done += count;
        if (!progress)
            continue;
        if (progress->IsCancelRequested()) {
            const DWORD asked = ::GetTickCount();
            if (AfxMessageBox(IDS_CANCEL_DELETE_CAPTURE, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES) {
                result = -2;
                break;
            }
            progress->SetCancelRequested(FALSE);
            // The time spent in the question does not count.
            const DWORD spent = ::GetTickCount() - asked;
            start += spent;
            lastReport += spent;
        }
        const DWORD now = ::GetTickCount();
        if (now - lastReport >= kProgressInterval) {
            lastReport = now;
            const DWORD elapsed = now - start;
            progress->SetTimeLeft(::MulDiv(m_dataSize - done, elapsed, done + 1) / 1000);
            progress->SetProgress(kProgressRange,
                                  static_cast<int>(static_cast<ULONGLONG>(done) * kProgressRange / m_dataSize));
        }
    }
    free(buffer);
    if (result == -1) {
        m_sink->Close();
        return -1;
    }
    if (m_sink->Close() < 0 && result == 1)
        return -1;
    return result;
}

// ---------------------------------------------------------------- AcmConverterStage

AcmConverterStage::AcmConverterStage() : m_next(NULL), m_count(0), m_inputSize(0)
{
    for (int i = 0; i <= kMaxStreams; ++i)
        m_formats[i] = NULL;
    for (int i = 0; i < kMaxStreams; ++i) {
        m_streams[i] = NULL;
        memset(&m_headers[i], 0, sizeof(ACMSTREAMHEADER));
        m_prepared[i] = FALSE;
        m_src[i] = m_dst[i] = NULL;
        m_srcSize[i] = m_dstSize[i] = m_fill[i] = 0;
    }
}

AcmConverterStage::~AcmConverterStage()
{
    Release();
    for (int i = 0; i <= kMaxStreams; ++i)
        free(m_formats[i]);
}

int AcmConverterStage::Setup(const WAVEFORMATEX* source, DWORD sourceSize, const WAVEFORMATEX* target,
                             DWORD targetSize)
{
    Release();
    for (int i = 0; i <= kMaxStreams; ++i) {
        free(m_formats[i]);
        m_formats[i] = NULL;
    }
    m_count = 0;
    if (!source || !target)
        return -1;
    const bool sourcePcm = source->wFormatTag == WAVE_FORMAT_PCM;
    const bool targetPcm = target->wFormatTag == WAVE_FORMAT_PCM;
    WAVEFORMATEX* sourcePcmForm = sourcePcm ? NULL : SuggestPcm(source);
    WAVEFORMATEX* targetPcmForm = targetPcm ? NULL : SuggestPcm(target);
    if ((!sourcePcm && !sourcePcmForm) || (!targetPcm && !targetPcmForm)) {
        free(sourcePcmForm);
        free(targetPcmForm);
        return -1;
    }
    const WAVEFORMATEX* chain[kMaxStreams + 1];
    int count = 0;
    chain[count++] = source;
    const bool direct = (sourcePcm && targetPcm) || (sourcePcm && SameFormat(source, targetPcmForm)) ||
                        (targetPcm && SameFormat(target, sourcePcmForm));
    if (!direct) {
        if (!sourcePcm)
            chain[count++] = sourcePcmForm;
        if (!targetPcm)
            chain[count++] = targetPcmForm;
    }
    chain[count] = target;
    m_count = count;
    for (int i = 0; i <= m_count; ++i) {
        DWORD size = 18;
        if (i == 0)
            size = sourceSize;
        else if (i == m_count)
            size = targetSize;
        m_formats[i] = CopyFormat(chain[i], size);
    }
    free(sourcePcmForm);
    free(targetPcmForm);
    for (int i = 0; i <= m_count; ++i) {
        if (!m_formats[i])
            return -1;
    }
    return 1;
}

void AcmConverterStage::Release()
{
    for (int i = 0; i < kMaxStreams; ++i) {
        if (m_prepared[i]) {
            m_headers[i].cbSrcLength = m_srcSize[i];
            m_headers[i].cbDstLength = m_dstSize[i];
            ::acmStreamUnprepareHeader(m_streams[i], &m_headers[i], 0);
            m_prepared[i] = FALSE;
        }
        if (m_streams[i]) {
            ::acmStreamClose(m_streams[i], 0);
            m_streams[i] = NULL;
        }
        free(m_src[i]);
        free(m_dst[i]);
        m_src[i] = m_dst[i] = NULL;
        m_srcSize[i] = m_dstSize[i] = m_fill[i] = 0;
    }
}

int AcmConverterStage::Open()
{
    if (m_count < 1 || !m_next)
        return -1;
    if (m_next->Open() < 0)
        return -1;
    const WAVEFORMATEX* source = m_formats[0];
    m_inputSize = source->nAvgBytesPerSec - source->nAvgBytesPerSec % source->nBlockAlign;
    if (m_inputSize == 0)
        m_inputSize = source->nBlockAlign;
    for (int i = 0; i < m_count; ++i) {
        // Later streams keep the unconverted tail of their input between
        // rounds, so their input holds two outputs of the stream before.
        m_srcSize[i] = i == 0 ? m_inputSize : 2 * m_dstSize[i - 1];
        bool ok = ::acmStreamOpen(&m_streams[i], NULL, m_formats[i], m_formats[i + 1], NULL, 0, 0,
                                  ACM_STREAMOPENF_NONREALTIME) == MMSYSERR_NOERROR;
        if (ok)
            ok = ::acmStreamSize(m_streams[i], m_srcSize[i], &m_dstSize[i], ACM_STREAMSIZEF_SOURCE) ==
                     MMSYSERR_NOERROR && m_dstSize[i] > 0;
        if (ok) {
            m_src[i] = static_cast<BYTE*>(malloc(m_srcSize[i]));
            m_dst[i] = static_cast<BYTE*>(malloc(m_dstSize[i]));
            ok = m_src[i] && m_dst[i];
        }
        if (ok) {
            ACMSTREAMHEADER& header = m_headers[i];
            memset(&header, 0, sizeof(header));
            header.cbStruct = sizeof(ACMSTREAMHEADER);
            header.pbSrc = m_src[i];
            header.cbSrcLength = m_srcSize[i];
            header.pbDst = m_dst[i];
            header.cbDstLength = m_dstSize[i];
            ok = ::acmStreamPrepareHeader(m_streams[i], &header, 0) == MMSYSERR_NOERROR;
            m_prepared[i] = ok;
        }
        if (!ok) {
            Release();
            m_next->Close();
            return -1;
        }
    }
    return 1;
}

// Runs every stream once over its pending input (final: until it is used up,
// without block alignment). Each stream's unconsumed tail stays at the front
// of its input for the next round. A stream that consumes nothing of a full
// first input can never make progress: that is a failure, not a retry.
int AcmConverterStage::ConvertStreams(BOOL final)
{
    for (int i = 0; i < m_count; ++i) {
        for (int pass = 0; m_fill[i] > 0; ++pass) {
            ACMSTREAMHEADER& header = m_headers[i];
            header.cbSrcLength = m_fill[i];
            header.cbDstLength = m_dstSize[i];
            header.cbSrcLengthUsed = header.cbDstLengthUsed = 0;
            if (ConvertStream(i, &header, final ? 0 : ACM_STREAMCONVERTF_BLOCKALIGN) != MMSYSERR_NOERROR)
                return -1;
            const DWORD used = header.cbSrcLengthUsed > m_fill[i] ? m_fill[i] : header.cbSrcLengthUsed;
            const DWORD produced = header.cbDstLengthUsed > m_dstSize[i] ? m_dstSize[i] : header.cbDstLengthUsed;
            if (produced > 0) {
                if (i == m_count - 1) {
                    const int result = m_next->Write(m_dst[i], produced);
                    if (result < 0)
                        return result;
                } else {
                    if (m_fill[i + 1] + produced > m_srcSize[i + 1])
                        return -1;
                    memcpy(m_src[i + 1] + m_fill[i + 1], m_dst[i], produced);
                    m_fill[i + 1] += produced;
                }
            }
            if (used == 0) {
                if (i == 0 && !final)
                    return -1;
                break;
            }
            m_fill[i] -= used;
            if (m_fill[i] > 0)
                memmove(m_src[i], m_src[i] + used, m_fill[i]);
            if (!final || pass >= 2)
                break;
        }
    }
    return 1;
}

MMRESULT AcmConverterStage::ConvertStream(int i, ACMSTREAMHEADER* header, DWORD flags)
{
    return ::acmStreamConvert(m_streams[i], header, flags);
}

int AcmConverterStage::Write(const BYTE* data, DWORD count)
{
    if (m_count < 1 || !m_src[0])
        return -1;
    while (count > 0) {
        const DWORD room = m_inputSize - m_fill[0];
        const DWORD n = count < room ? count : room;
        memcpy(m_src[0] + m_fill[0], data, n);
        m_fill[0] += n;
        data += n;
        count -= n;
        if (m_fill[0] < m_inputSize)
            return 1;
        const int result = ConvertStreams(FALSE);
        if (result < 0)
            return result;
    }
    return 1;
}

int AcmConverterStage::Close()
{
    int result = 1;
    if (m_count >= 1 && m_src[0]) {
        bool pending = false;
        for (int i = 0; i < m_count; ++i)
            pending = pending || m_fill[i] > 0;
        if (pending)
            result = ConvertStreams(TRUE);
    }
    Release();
    const int closed = m_next ? m_next->Close() : 1;
    return result < 0 ? result : closed;
}

// ---------------------------------------------------------------- WaveFileWriter

WaveFileWriter::WaveFileWriter() : m_file(NULL), m_written(0)
{
    memset(&m_riff, 0, sizeof(m_riff));
    memset(&m_data, 0, sizeof(m_data));
}

WaveFileWriter::~WaveFileWriter()
{
    Close();
}

int WaveFileWriter::Open(LPCSTR path, const WAVEFORMATEX* format, DWORD formatSize, DWORD sampleCount)
{
    Close();
    if (!format || formatSize < 16)
        return -1;
    m_file = ::mmioOpenA(const_cast<LPSTR>(path), NULL,
                         MMIO_CREATE | MMIO_ALLOCBUF | MMIO_WRITE | MMIO_EXCLUSIVE);
    if (!m_file)
        return -1;
    m_written = 0;
    m_riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    m_riff.cksize = 0;
    bool ok = ::mmioCreateChunk(m_file, &m_riff, MMIO_CREATERIFF) == MMSYSERR_NOERROR;
    MMCKINFO chunk = {};
    if (ok) {
        chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
        chunk.cksize = formatSize;
        ok = ::mmioCreateChunk(m_file, &chunk, 0) == MMSYSERR_NOERROR &&
             ::mmioWrite(m_file, reinterpret_cast<const char*>(format), static_cast<LONG>(formatSize)) ==
                 static_cast<LONG>(formatSize) &&
             ::mmioAscend(m_file, &chunk, 0) == MMSYSERR_NOERROR;
    }
    if (ok && format->wFormatTag != WAVE_FORMAT_PCM) {
        MMCKINFO fact = {};
        fact.ckid = mmioFOURCC('f', 'a', 'c', 't');
        fact.cksize = 4;
        ok = ::mmioCreateChunk(m_file, &fact, 0) == MMSYSERR_NOERROR &&
             ::mmioWrite(m_file, reinterpret_cast<const char*>(&sampleCount), 4) == 4 &&
             ::mmioAscend(m_file, &fact, 0) == MMSYSERR_NOERROR;
    }
    if (ok) {
        m_data.ckid = mmioFOURCC('d', 'a', 't', 'a');
        m_data.cksize = 0;
        ok = ::mmioCreateChunk(m_file, &m_data, 0) == MMSYSERR_NOERROR;
    }
    if (!ok) {
        ::mmioClose(m_file, 0);
        m_file = NULL;
        return -1;
    }
    return 1;
}

int WaveFileWriter::Write(const BYTE* data, DWORD count)
{
    if (!m_file)
        return -1;
    if (::mmioWrite(m_file, reinterpret_cast<const char*>(data), static_cast<LONG>(count)) !=
        static_cast<LONG>(count))
        return -1;
    m_written += count;
    return 1;
}

int WaveFileWriter::Close()
{
    if (!m_file)
        return 1;
    const bool ok = ::mmioAscend(m_file, &m_data, 0) == MMSYSERR_NOERROR &&
                    ::mmioAscend(m_file, &m_riff, 0) == MMSYSERR_NOERROR;
    const bool closed = ::mmioClose(m_file, 0) == MMSYSERR_NOERROR;
    m_file = NULL;
    return ok && closed ? 1 : -1;
}

DWORD SampleCountAtRate(DWORD samples, DWORD fromRate, DWORD toRate)
{
    if (fromRate == 0 || fromRate == toRate)
        return samples;
    return static_cast<DWORD>(static_cast<ULONGLONG>(samples) * toRate / fromRate);
}

// ---------------------------------------------------------------- AVI file layer

BOOL OpenAudioStream(LPCSTR path, PAVIFILE* file, PAVISTREAM* stream, WAVEFORMATEX** format)
{
    *file = NULL;
    *stream = NULL;
    *format = NULL;
    CString text;
    HRESULT hr = ::AVIFileOpenA(file, path, OF_SHARE_DENY_WRITE, NULL);
    if (hr != AVIERR_OK) {
        *file = NULL;
        text.Format(IDS_CANNOT_OPEN_FILE, path, static_cast<long>(hr));
        UINT extra = 0;
        switch (hr) {
        case AVIERR_BADFORMAT: extra = IDS_AVIERR_BADFORMAT; break;
        case AVIERR_MEMORY: extra = IDS_AVIERR_MEMORY; break;
        case AVIERR_FILEREAD: extra = IDS_AVIERR_FILEREAD; break;
        case AVIERR_FILEOPEN: extra = IDS_AVIERR_FILEOPEN; break;
        case REGDB_E_CLASSNOTREG: extra = IDS_AVIERR_CLASSNOTREG; break;
        default: break;
        }
        if (extra)
            text += LoadText(extra);
        AfxMessageBox(text, MB_ICONEXCLAMATION);
        return FALSE;
    }
    UINT failure = 0;
    LONG size = 0;
    if (::AVIFileGetStream(*file, stream, streamtypeAUDIO, 0) != AVIERR_OK) {
        *stream = NULL;
        failure = IDS_AUDIO_STREAM_OPEN_FAILED;
    } else if (::AVIStreamReadFormat(*stream, 0, NULL, &size) != AVIERR_OK) {
        failure = IDS_AUDIO_FORMAT_SIZE_FAILED;
    } else if (size < 16) {
        failure = IDS_AUDIO_FORMAT_TOO_SMALL;
    } else {
        *format = static_cast<WAVEFORMATEX*>(calloc(1, size < 18 ? 18 : size));
        if (!*format || ::AVIStreamReadFormat(*stream, 0, *format, &size) != AVIERR_OK)
            failure = IDS_AUDIO_FORMAT_READ_FAILED;
        else if ((*format)->wFormatTag == WAVE_FORMAT_PCM || size < 18)
            (*format)->cbSize = 0;
        else if (static_cast<LONG>((*format)->cbSize) + 18 > size)
            failure = IDS_AUDIO_FORMAT_TOO_SMALL;
    }
    if (failure) {
        text.Format(failure, path);
        AfxMessageBox(text, MB_ICONEXCLAMATION);
        ReleaseAudioStream(file, stream, format);
        return FALSE;
    }
    return TRUE;
}

int ReleaseAudioStream(PAVIFILE* file, PAVISTREAM* stream, WAVEFORMATEX** format)
{
    free(*format);
    *format = NULL;
    if (*stream)
        ::AVIStreamRelease(*stream);
    *stream = NULL;
    if (*file)
        ::AVIFileRelease(*file);
    *file = NULL;
    return 1;
}
