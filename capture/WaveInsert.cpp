#include "capture/WaveInsert.h"

#include "framework/String.h"
#include "framework/WinApp.h"
#include "media/ConvertProgress.h"
#include "resources/ids_finishing.h"
#include "resources/ids_media.h"

#include <mmreg.h>
#include <msacm.h>
#include <vfw.h>

#include <vector>

namespace {

void ShowText(const CString& text)
{
    AfxMessageBox(text, MB_ICONEXCLAMATION);
}

void ShowFormatted(UINT id, LPCSTR path)
{
    CString text;
    text.Format(id, path);
    ShowText(text);
}

void ShowFailed(LPCSTR call)
{
    CString text(call);
    CString failed;
    failed.LoadString(IDS_FAILED_SUFFIX);
    ShowText(text + failed);
}

// One ACM stream with its prepared header and output buffer.
struct AcmStage {
    HACMSTREAM stream = NULL;
    ACMSTREAMHEADER header = {};
    std::vector<BYTE> input;    // only the second stage owns its input
    std::vector<BYTE> output;
    BOOL prepared = FALSE;
};

// The AVI file layer (and COM under it) for the calling thread, for as long
// as the step runs; the library counts its users.
struct AviFileLibrary {
    AviFileLibrary() { ::AVIFileInit(); }
    ~AviFileLibrary() { ::AVIFileExit(); }
};

// Everything InsertAudioIntoWave opens, released on every path.
struct InsertState {
    AviFileLibrary library;
    PAVIFILE file = NULL;
    PAVISTREAM stream = NULL;
    std::vector<BYTE> sourceFormat;
    std::vector<BYTE> middleFormat;
    AcmStage stages[2];
    int stageCount = 0;
    HMMIO wave = NULL;
    MMCKINFO riff = {};
    MMCKINFO data = {};
    BOOL riffOpen = FALSE;
    BOOL dataOpen = FALSE;

    ~InsertState()
    {
        for (AcmStage& s : stages) {
            if (s.prepared)
                ::acmStreamUnprepareHeader(s.stream, &s.header, 0);
            if (s.stream)
                ::acmStreamClose(s.stream, 0);
        }
        if (wave) {
            if (dataOpen)
                ::mmioAscend(wave, &data, 0);
            if (riffOpen)
                ::mmioAscend(wave, &riff, 0);
            ::mmioClose(wave, 0);
        }
        if (stream)
            ::AVIStreamRelease(stream);
        if (file)
            ::AVIFileRelease(file);
    }
};

bool SameFormat(const WAVEFORMATEX& a, const WAVEFORMATEX& b)
{
    return a.wFormatTag == b.wFormatTag && a.nChannels == b.nChannels &&
           a.nSamplesPerSec == b.nSamplesPerSec && a.nAvgBytesPerSec == b.nAvgBytesPerSec &&
           a.nBlockAlign == b.nBlockAlign && a.wBitsPerSample == b.wBitsPerSample;
}

BOOL PrepareStage(AcmStage& stage, BYTE* input, DWORD inputSize)
{
    DWORD outputSize = 0;
    if (::acmStreamSize(stage.stream, inputSize, &outputSize, ACM_STREAMSIZEF_SOURCE) || !outputSize) {
        AfxMessageBox(IDS_ACM_SIZE_FAILED, MB_ICONEXCLAMATION);
        return FALSE;
    }
    stage.output.assign(outputSize, 0);
    stage.header.cbStruct = sizeof(stage.header);
    stage.header.pbSrc = input;
    stage.header.cbSrcLength = inputSize;
    stage.header.pbDst = stage.output.data();
    stage.header.cbDstLength = outputSize;
    if (::acmStreamPrepareHeader(stage.stream, &stage.header, 0)) {
        ShowFailed("acmStreamPrepareHeader");
        return FALSE;
    }
    stage.prepared = TRUE;
    return TRUE;
}

// Converts n bytes already in the first stage's input; gives the result.
BOOL Convert(InsertState& s, DWORD n, const BYTE** out, DWORD* outBytes)
{
    for (int i = 0; i < s.stageCount; ++i) {
        AcmStage& stage = s.stages[i];
        stage.header.cbSrcLength = n;
        stage.header.cbDstLengthUsed = 0;
        if (::acmStreamConvert(stage.stream, &stage.header, 0)) {
            ShowFailed("acmStreamConvert");
            return FALSE;
        }
        n = stage.header.cbDstLengthUsed;
        if (i + 1 < s.stageCount) {
            if (n > s.stages[i + 1].input.size())
                n = static_cast<DWORD>(s.stages[i + 1].input.size());
            memcpy(s.stages[i + 1].input.data(), stage.output.data(), n);
        }
    }
    *out = s.stages[s.stageCount - 1].output.data();
    *outBytes = n;
    return TRUE;
}

// Asks whether to give up when the user pressed Cancel; the time spent in
// the question is added to *pause so that the estimate leaves it out.
BOOL UserGivesUp(IConvertProgress* progress, DWORD* pause)
{
    if (!progress || !progress->IsCancelRequested())
        return FALSE;
    const DWORD asked = ::GetTickCount();
    const int answer = AfxMessageBox(IDS_CANCEL_DELETE_CAPTURE, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    *pause += ::GetTickCount() - asked;
    if (answer == IDYES)
        return TRUE;
    progress->SetCancelRequested(FALSE);
    return FALSE;
}

void SetTitle(IConvertProgress* progress, UINT id)
{
    if (!progress)
        return;
    CString title;
    title.LoadString(id);
    title += "...";
    progress->SetProgressTitle(title);
}

void Report(IConvertProgress* progress, ULONGLONG done, ULONGLONG total, DWORD start, DWORD pause,
            DWORD* last)
{
    if (!progress)
        return;
    const DWORD now = ::GetTickCount();
    if (now - *last < 500)
        return;
    *last = now;
    const ULONGLONG elapsed = now - start - pause;
    progress->SetProgress(1000, static_cast<int>(done * 1000 / (total + 1)));
    progress->SetTimeLeft(static_cast<int>((total - (done < total ? done : total)) * elapsed / (total + 1) / 1000));
}

BOOL OpenSource(LPCSTR source, InsertState& s, AVISTREAMINFOA* info)
{
    char shortPath[MAX_PATH];
    LPCSTR path = source;
    if (::GetShortPathNameA(source, shortPath, MAX_PATH) && shortPath[0])
        path = shortPath;
    const HRESULT hr = ::AVIFileOpenA(&s.file, path, OF_SHARE_DENY_WRITE, NULL);
    if (hr != AVIERR_OK) {
        s.file = NULL;
        CString text;
        text.Format(IDS_CANNOT_OPEN_FILE, source, static_cast<long>(hr));
        UINT reason = 0;
        switch (hr) {
        case AVIERR_BADFORMAT: reason = IDS_AVIERR_BADFORMAT; break;
        case AVIERR_MEMORY: reason = IDS_AVIERR_MEMORY; break;
        case AVIERR_FILEREAD: reason = IDS_AVIERR_FILEREAD; break;
        case AVIERR_FILEOPEN: reason = IDS_AVIERR_FILEOPEN; break;
        case REGDB_E_CLASSNOTREG: reason = IDS_AVIERR_CLASSNOTREG; break;
        default: break;
        }
        if (reason) {
            CString more;
            more.LoadString(reason);
            text += more;
        }
        ShowText(text);
        return FALSE;
    }
    if (::AVIFileGetStream(s.file, &s.stream, streamtypeAUDIO, 0) != AVIERR_OK) {
        s.stream = NULL;
        return FALSE;
    }
    LONG size = 0;
    if (::AVIStreamReadFormat(s.stream, 0, NULL, &size) != AVIERR_OK) {
        ShowFormatted(IDS_GET_STREAM_FAILED, source);
        return FALSE;
    }
    if (size < 16) {
        ShowFormatted(IDS_AUDIO_FORMAT_TOO_SMALL, source);
        return FALSE;
    }
    s.sourceFormat.assign(size < 18 ? 18 : size, 0);
    if (::AVIStreamReadFormat(s.stream, 0, s.sourceFormat.data(), &size) != AVIERR_OK) {
        ShowFormatted(IDS_AUDIO_FORMAT_READ_FAILED, source);
        return FALSE;
    }
    WAVEFORMATEX* format = reinterpret_cast<WAVEFORMATEX*>(s.sourceFormat.data());
    if (size < 18 || format->wFormatTag == WAVE_FORMAT_PCM)
        format->cbSize = 0;
    if (::AVIStreamInfoA(s.stream, info, sizeof(*info)) != AVIERR_OK) {
        ShowFormatted(IDS_STREAM_INFO_FAILED, source);
        return FALSE;
    }
    return TRUE;
}

BOOL OpenConversion(InsertState& s, const WAVEFORMATEX* target, DWORD readBytes)
{
    WAVEFORMATEX* source = reinterpret_cast<WAVEFORMATEX*>(s.sourceFormat.data());
    if (SameFormat(*source, *target))
        return TRUE;
    WAVEFORMATEX* to = const_cast<WAVEFORMATEX*>(target);
    if (::acmStreamOpen(NULL, NULL, source, to, NULL, 0, 0, ACM_STREAMOPENF_QUERY | ACM_STREAMOPENF_NONREALTIME) == 0) {
        if (::acmStreamOpen(&s.stages[0].stream, NULL, source, to, NULL, 0, 0, ACM_STREAMOPENF_NONREALTIME)) {
            AfxMessageBox(IDS_ACM_OPEN_FAILED, MB_ICONEXCLAMATION);
            return FALSE;
        }
        s.stageCount = 1;
    } else {
        DWORD maxSize = 0;
        if (::acmMetrics(NULL, ACM_METRIC_MAX_SIZE_FORMAT, &maxSize) || maxSize < sizeof(WAVEFORMATEX)) {
            AfxMessageBox(IDS_ACM_METRICS_FAILED, MB_ICONEXCLAMATION);
            return FALSE;
        }
        s.middleFormat.assign(maxSize, 0);
        WAVEFORMATEX* middle = reinterpret_cast<WAVEFORMATEX*>(s.middleFormat.data());
        middle->wFormatTag = target->wFormatTag;
        if (::acmFormatSuggest(NULL, source, middle, maxSize, ACM_FORMATSUGGESTF_WFORMATTAG)) {
            ShowFailed("acmFormatSuggest");
            return FALSE;
        }
        if (::acmStreamOpen(NULL, NULL, middle, to, NULL, 0, 0, ACM_STREAMOPENF_QUERY | ACM_STREAMOPENF_NONREALTIME)) {
            AfxMessageBox(IDS_CANNOT_CONVERT_WAVE, MB_ICONEXCLAMATION);
            return FALSE;
        }
        if (::acmStreamOpen(&s.stages[0].stream, NULL, source, middle, NULL, 0, 0, ACM_STREAMOPENF_NONREALTIME) ||
            ::acmStreamOpen(&s.stages[1].stream, NULL, middle, to, NULL, 0, 0, ACM_STREAMOPENF_NONREALTIME)) {
            AfxMessageBox(IDS_ACM_OPEN_FAILED, MB_ICONEXCLAMATION);
            return FALSE;
        }
        s.stageCount = 2;
    }
    s.stages[0].input.assign(readBytes, 0);
    if (!PrepareStage(s.stages[0], s.stages[0].input.data(), readBytes))
        return FALSE;
    if (s.stageCount == 2) {
        s.stages[1].input.assign(s.stages[0].output.size(), 0);
        if (!PrepareStage(s.stages[1], s.stages[1].input.data(), static_cast<DWORD>(s.stages[1].input.size())))
            return FALSE;
    }
    return TRUE;
}

// Creates the target or opens the existing one; leaves the file positioned
// at the start of its data and gives the bytes of data already there.
BOOL OpenTarget(LPCSTR target, const WAVEFORMATEX* format, BOOL create, InsertState& s, DWORD* existing)
{
    *existing = 0;
    if (create) {
        s.wave = ::mmioOpenA(const_cast<LPSTR>(target), NULL, MMIO_CREATE | MMIO_WRITE | MMIO_ALLOCBUF);
        if (!s.wave) {
            ShowFormatted(IDS_WAVE_CREATE_FILE_FAILED, target);
            return FALSE;
        }
        s.riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
        if (::mmioCreateChunk(s.wave, &s.riff, MMIO_CREATERIFF)) {
            AfxMessageBox(IDS_WAVE_RIFF_CHUNK_FAILED, MB_ICONEXCLAMATION);
            return FALSE;
        }
        s.riffOpen = TRUE;
        MMCKINFO fmt = {};
        fmt.ckid = mmioFOURCC('f', 'm', 't', ' ');
        if (::mmioCreateChunk(s.wave, &fmt, 0)) {
            AfxMessageBox(IDS_WAVE_FMT_CHUNK_FAILED, MB_ICONEXCLAMATION);
            return FALSE;
        }
        WAVEFORMATEX exact = *format;
        if (exact.wFormatTag == WAVE_FORMAT_PCM)
            exact.cbSize = 0;
        if (::mmioWrite(s.wave, reinterpret_cast<const char*>(&exact), 18) != 18) {
            AfxMessageBox(IDS_WAVE_FORMAT_WRITE_FAILED, MB_ICONEXCLAMATION);
            return FALSE;
        }
        ::mmioAscend(s.wave, &fmt, 0);
        s.data.ckid = mmioFOURCC('d', 'a', 't', 'a');
        if (::mmioCreateChunk(s.wave, &s.data, 0)) {
            AfxMessageBox(IDS_WAVE_DATA_CHUNK_FAILED, MB_ICONEXCLAMATION);
            return FALSE;
        }
        s.dataOpen = TRUE;
        return TRUE;
    }
    s.wave = ::mmioOpenA(const_cast<LPSTR>(target), NULL, MMIO_READWRITE | MMIO_ALLOCBUF);
    if (!s.wave) {
        ShowFormatted(IDS_WAVE_OPEN_FAILED, target);
        return FALSE;
    }
    s.riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (::mmioDescend(s.wave, &s.riff, NULL, MMIO_FINDRIFF)) {
        ShowFormatted(IDS_WAVE_NO_RIFF, target);
        return FALSE;
    }
    s.riffOpen = TRUE;
    s.data.ckid = mmioFOURCC('d', 'a', 't', 'a');
    if (::mmioDescend(s.wave, &s.data, &s.riff, MMIO_FINDCHUNK)) {
        AfxMessageBox(IDS_WAVE_NO_DATA_CHUNK, MB_ICONEXCLAMATION);
        return FALSE;
    }
    s.dataOpen = TRUE;
    if (s.data.cksize == 0) {
        AfxMessageBox(IDS_WAVE_NO_DATA_SIZE, MB_ICONEXCLAMATION);
        return FALSE;
    }
    *existing = s.data.cksize;
    return TRUE;
}

}  // namespace

BOOL InsertAudioIntoWave(LPCSTR source, LPCSTR target, int positionMs, int endLimitMs,
                         const WAVEFORMATEX* targetFormat, IConvertProgress* progress, BOOL create)
{
    if (!source || !target || !targetFormat || positionMs < 0)
        return FALSE;
    SetTitle(progress, IDS_INSERTING_AUDIO);
    if (progress) {
        progress->SetTimeLeft(0);
        progress->SetProgress(1000, 0);
    }
    InsertState s;
    AVISTREAMINFOA info = {};
    if (!OpenSource(source, s, &info))
        return FALSE;
    const WAVEFORMATEX* sourceFormat = reinterpret_cast<const WAVEFORMATEX*>(s.sourceFormat.data());

    // Four seconds of source per read.
    DWORD readBytes;
    LONG readSamples;
    if (sourceFormat->wBitsPerSample) {
        const DWORD perSecond = sourceFormat->wBitsPerSample < 8
                                    ? sourceFormat->nChannels * sourceFormat->nSamplesPerSec /
                                          (8 / sourceFormat->wBitsPerSample)
                                    : sourceFormat->nSamplesPerSec * sourceFormat->nChannels *
                                          sourceFormat->wBitsPerSample / 8;
        readBytes = 4 * perSecond;
        readSamples = static_cast<LONG>(sourceFormat->nSamplesPerSec * 4);
    } else {
        readBytes = 4 * sourceFormat->nAvgBytesPerSec;
        readSamples = AVISTREAMREAD_CONVENIENT;
    }
    if (readBytes == 0)
        readBytes = 4096;
    if (!OpenConversion(s, targetFormat, readBytes))
        return FALSE;
    std::vector<BYTE> plain;
    BYTE* readBuffer;
    if (s.stageCount) {
        readBuffer = s.stages[0].input.data();
    } else {
        plain.assign(readBytes, 0);
        readBuffer = plain.data();
    }

    DWORD existing = 0;
    if (!OpenTarget(target, targetFormat, create, s, &existing))
        return FALSE;

    DWORD block = static_cast<DWORD>(targetFormat->wBitsPerSample / 8) * targetFormat->nChannels;
    if (block == 0)
        block = targetFormat->nBlockAlign ? targetFormat->nBlockAlign : 1;
    LONGLONG endLimit = -1;
    if (endLimitMs > 0) {
        endLimit = ::MulDiv(targetFormat->nSamplesPerSec, endLimitMs, 1000);
        if (endLimit < 0) {
            ShowFormatted(IDS_WAVE_SEEK_FAILED, target);
            return FALSE;
        }
    }
    const LONG sourceEnd = info.dwStart + info.dwLength;
    const LONGLONG offsetSamples = ::MulDiv(targetFormat->nSamplesPerSec, positionMs, 1000);
    const ULONGLONG offset = static_cast<ULONGLONG>(offsetSamples) * block;
    if (offsetSamples < 0 || offset > 0xFFFFFFFEull) {
        ShowFormatted(IDS_WAVE_SEEK_FAILED, target);
        return FALSE;
    }
    const DWORD startTick = ::GetTickCount();
    DWORD pause = 0;
    DWORD lastReport = 0;
    if (offset <= existing) {
        if (::mmioSeek(s.wave, s.data.dwDataOffset + static_cast<LONG>(offset), SEEK_SET) == -1) {
            ShowFormatted(IDS_WAVE_SEEK_FAILED, target);
            return FALSE;
        }
    } else {
        if (::mmioSeek(s.wave, s.data.dwDataOffset + existing, SEEK_SET) == -1) {
            ShowFormatted(IDS_WAVE_SEEK_FAILED, target);
            return FALSE;
        }
        SetTitle(progress, IDS_INSERTING_SILENCE);
        std::vector<BYTE> silence(readBytes > 65536 ? readBytes : 65536,
                                  targetFormat->wBitsPerSample == 8 ? 0x80 : 0);
        const ULONGLONG total = offset - existing;
        ULONGLONG done = 0;
        while (done < total) {
            const LONG n = static_cast<LONG>(total - done < silence.size() ? total - done : silence.size());
            if (::mmioWrite(s.wave, reinterpret_cast<const char*>(silence.data()), n) != n) {
                ShowFormatted(IDS_FILE_WRITE_FAILED, target);
                return FALSE;
            }
            s.riff.dwFlags |= MMIO_DIRTY;
            s.data.dwFlags |= MMIO_DIRTY;
            done += n;
            if (UserGivesUp(progress, &pause))
                return FALSE;
            Report(progress, done, total, startTick, pause, &lastReport);
        }
    }
    LONGLONG samplesWritten = offsetSamples;
    SetTitle(progress, IDS_INSERTING_AUDIO);
    if (progress)
        progress->SetProgress(1000, 0);

    LONG position = info.dwStart;
    const ULONGLONG total = info.dwLength;
    while (!(endLimit >= 0 && samplesWritten >= endLimit) && position < sourceEnd) {
        LONG bytes = 0;
        LONG samples = 0;
        const LONG want = readSamples == AVISTREAMREAD_CONVENIENT
                              ? AVISTREAMREAD_CONVENIENT
                              : (sourceEnd - position < readSamples ? sourceEnd - position : readSamples);
        if (::AVIStreamRead(s.stream, position, want, readBuffer, static_cast<LONG>(readBytes), &bytes, &samples) !=
            AVIERR_OK) {
            ShowFormatted(IDS_FILE_READ_FAILED, source);
            return FALSE;
        }
        if (bytes <= 0 || samples <= 0)
            break;
        const BYTE* out = readBuffer;
        DWORD outBytes = static_cast<DWORD>(bytes);
        if (s.stageCount && !Convert(s, static_cast<DWORD>(bytes), &out, &outBytes))
            return FALSE;
        outBytes -= outBytes % block;
        if (endLimit >= 0 && samplesWritten + outBytes / block > endLimit)
            outBytes = static_cast<DWORD>((endLimit - samplesWritten) * block);
        if (outBytes && ::mmioWrite(s.wave, reinterpret_cast<const char*>(out), static_cast<LONG>(outBytes)) !=
                            static_cast<LONG>(outBytes)) {
            ShowFormatted(IDS_FILE_WRITE_FAILED, target);
            return FALSE;
        }
        s.riff.dwFlags |= MMIO_DIRTY;
        s.data.dwFlags |= MMIO_DIRTY;
        position += samples;
        samplesWritten += outBytes / block;
        if (UserGivesUp(progress, &pause))
            return FALSE;
        Report(progress, static_cast<ULONGLONG>(position - info.dwStart), total, startTick, pause, &lastReport);
    }
    // The data chunk ends after the furthest byte written or already there:
    // leaving the chunks from there rewrites their sizes. (The buffered
    // file's SEEK_END would find the end of what reached the disk.)
    const LONG here = ::mmioSeek(s.wave, 0, SEEK_CUR);
    const LONG oldEnd = static_cast<LONG>(s.data.dwDataOffset + existing);
    if (here == -1 || ::mmioSeek(s.wave, here > oldEnd ? here : oldEnd, SEEK_SET) == -1) {
        AfxMessageBox(IDS_WAVE_SEEK_END_FAILED, MB_ICONEXCLAMATION);
        return FALSE;
    }
    s.data.dwFlags |= MMIO_DIRTY;
    s.riff.dwFlags |= MMIO_DIRTY;
    if (::mmioAscend(s.wave, &s.data, 0) != MMSYSERR_NOERROR) {
        ShowFormatted(IDS_FILE_WRITE_FAILED, target);
        return FALSE;
    }
    s.dataOpen = FALSE;
    if (::mmioAscend(s.wave, &s.riff, 0) != MMSYSERR_NOERROR) {
        ShowFormatted(IDS_FILE_WRITE_FAILED, target);
        return FALSE;
    }
    s.riffOpen = FALSE;
    if (::mmioClose(s.wave, 0) != MMSYSERR_NOERROR) {
        s.wave = NULL;
        ShowFormatted(IDS_FILE_WRITE_FAILED, target);
        return FALSE;
    }
    s.wave = NULL;
    return TRUE;
}
