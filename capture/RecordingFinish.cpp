#include "capture/RecordingFinish.h"

#include "framework/WinApp.h"
#include "capture/AviInterleaveWriter.h"
#include "capture/RecordSettings.h"
#include "capture/WaveInsert.h"
#include "media/AudioConvert.h"
#include "media/ConvertProgress.h"
#include "resources/ids_capture.h"
#include "resources/ids_finishing.h"
#include "resources/ids_media.h"
#include "settings/DirectXVersion.h"
#include "settings/FileUtil.h"

#include <vfw.h>

#include <vector>

namespace {

void ShowFormatted(UINT id, LPCSTR path)
{
    CString text;
    text.Format(id, path);
    AfxMessageBox(text, MB_ICONEXCLAMATION);
}

void ShowOpenFailure(LPCSTR path, HRESULT hr)
{
    CString text;
    text.Format(IDS_CANNOT_OPEN_FILE, path, static_cast<long>(hr));
    AfxMessageBox(text, MB_ICONEXCLAMATION);
}

// The AVI file layer (and COM under it) for the calling thread, for as long
// as the step runs; the library counts its users.
struct AviFileLibrary {
    AviFileLibrary() { ::AVIFileInit(); }
    ~AviFileLibrary() { ::AVIFileExit(); }
};

// One stream of a file of the AVI file layer with its format and header.
struct SourceStream {
    AviFileLibrary library;
    PAVIFILE file = NULL;
    PAVISTREAM stream = NULL;
    std::vector<BYTE> format;
    AVISTREAMINFOA info = {};

    ~SourceStream()
    {
        if (stream)
            ::AVIStreamRelease(stream);
        if (file)
            ::AVIFileRelease(file);
    }

    BOOL Open(LPCSTR path, DWORD type, LONG minimumFormat)
    {
        HRESULT hr = ::AVIFileOpenA(&file, path, OF_SHARE_DENY_WRITE, NULL);
        if (hr != AVIERR_OK) {
            file = NULL;
            ShowOpenFailure(path, hr);
            return FALSE;
        }
        hr = ::AVIFileGetStream(file, &stream, type, 0);
        if (hr != AVIERR_OK) {
            stream = NULL;
            ShowOpenFailure(path, hr);
            return FALSE;
        }
        LONG size = 0;
        if (::AVIStreamReadFormat(stream, 0, NULL, &size) != AVIERR_OK || size < minimumFormat) {
            ShowFormatted(IDS_AUDIO_FORMAT_TOO_SMALL, path);
            return FALSE;
        }
        format.assign(size < 18 ? 18 : size, 0);
        if (::AVIStreamReadFormat(stream, 0, format.data(), &size) != AVIERR_OK) {
            ShowFormatted(IDS_AUDIO_FORMAT_READ_FAILED, path);
            return FALSE;
        }
        if (::AVIStreamInfoA(stream, &info, sizeof(info)) != AVIERR_OK) {
            ShowFormatted(IDS_STREAM_INFO_FAILED, path);
            return FALSE;
        }
        return TRUE;
    }
};

// The progress of the copy every 500 ms, and the user's cancel question.
class CopyProgress {
public:
    CopyProgress(IConvertProgress* progress, ULONGLONG total)
        : m_progress(progress), m_total(total ? total : 1), m_start(::GetTickCount()), m_pause(0), m_last(0)
    {
    }

    // FALSE when the user gives up.
    BOOL Step(ULONGLONG done)
    {
        if (!m_progress)
            return TRUE;
        if (m_progress->IsCancelRequested()) {
            const DWORD asked = ::GetTickCount();
            const int answer = AfxMessageBox(IDS_CANCEL_DELETE_CAPTURE, MB_YESNO | MB_ICONQUESTION);
            m_pause += ::GetTickCount() - asked;
            if (answer == IDYES)
                return FALSE;
            m_progress->SetCancelRequested(FALSE);
        }
        const DWORD now = ::GetTickCount();
        if (now - m_last >= 500) {
            m_last = now;
            const ULONGLONG elapsed = now - m_start - m_pause;
            m_progress->SetProgress(1000, static_cast<int>(done * 1000 / m_total));
            m_progress->SetTimeLeft(done ? static_cast<int>(elapsed * (m_total - (done < m_total ? done : m_total)) / done / 1000) : 0);
        }
        return TRUE;
    }

private:
    IConvertProgress* m_progress;
    ULONGLONG m_total;
    DWORD m_start;
    DWORD m_pause;
    DWORD m_last;
};

bool IsWindows9x()
{
    return (::GetVersion() & 0x80000000) != 0;
}

}  // namespace

BOOL MoveFileReplacing(LPCSTR from, LPCSTR to)
{
    if (IsWindows9x()) {
        ::DeleteFileA(to);
        return ::MoveFileA(from, to);
    }
    return ::MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
}

BOOL SaveRecordingFileAs(LPCSTR source, LPCSTR destination)
{
    HANDLE file = ::CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        AfxMessageBox(IDS_TEMP_CAPTURE_MISSING, MB_ICONEXCLAMATION);
        return FALSE;
    }
    ::CloseHandle(file);
    if (CString(source).CompareNoCase(destination) == 0) {
        AfxMessageBox(IDS_CANNOT_SAVE_AS_TEMP, MB_ICONEXCLAMATION);
        return FALSE;
    }
    return MoveFileReplacing(source, destination);
}

namespace {
IRecordingJoiner* volatile g_joiner = NULL;
}

void SetRecordingJoiner(IRecordingJoiner* joiner)
{
    ::InterlockedExchangePointer((void* volatile*)&g_joiner, joiner);
}

IRecordingJoiner* GetRecordingJoiner()
{
    return (IRecordingJoiner*)::InterlockedCompareExchangePointer((void* volatile*)&g_joiner, NULL, NULL);
}

void FillRenderSettings(CRecordSettings* s, const RenderSettingsSource& src)
{
    s->m_nHeader[0] = 0;
    s->m_nHeader[2] = 0;
    s->m_nValue8 = 0;
    s->m_nValue9 = 0;
    s->m_bInterleave = src.interleave;
    s->m_nInterleaveRate = src.interleaveRate;
    s->m_bInterleaveByFrames = src.interleaveByFrames;
    s->m_dwCodecFourCC = src.compressorFourCC;
    s->m_nCodecQuality = src.quality;
    s->m_nKeyFrameRate = src.keyFrameRate;
    s->m_nDataRate = src.dataRate;
    s->m_FrameRate.m_nRate = src.frameRate;
    s->m_FrameRate.m_nScale = src.frameScale;
    s->m_FrameRate.m_nTime = src.frameTime;
    s->m_nEngineValue = src.bitDepth;
    s->m_nValue27 = 1;
    s->m_nValues28[4] = 0;
    s->m_nValues34[0] = 0;
    s->m_nValues34[1] = 0;
    s->m_nValue52 = 1;
    s->m_strAudioCompressor = src.audioCompressor;
    s->m_strVideoCompressor = src.videoCompressor;
    s->SetAudioFormat(src.audioFormat);
}

CRecordingFinisher::CRecordingFinisher()
    : m_recordCamera(FALSE),
      m_waveInRan(FALSE),
      m_audioHasData(FALSE),
      m_audioStartMs(0),
      m_interleave(TRUE),
      m_interleaveRate(1),
      m_interleaveByFrames(FALSE),
      m_progress(NULL),
      m_progressWindow(NULL),
      m_joiner(NULL),
      m_renderSource(),
      m_failure(0)
{
}

void CRecordingFinisher::Fail(UINT textId)
{
    m_failure = 1;
    if (textId)
        m_errorText.LoadString(textId);
}

void CRecordingFinisher::ShowProgress(BOOL show)
{
    if (m_progressWindow)
        ::ShowWindow(m_progressWindow, show ? SW_SHOW : SW_HIDE);
}

// The join needs the timeline render; without DirectX 8.1 it cannot run, and
// until the render exists (no joiner) it fails without touching anything.
BOOL CRecordingFinisher::JoinSegments()
{
    DWORD version = 0;
    char text[64] = "";
    if (SUCCEEDED(GetDirectXVersion(&version, text, sizeof(text))) && version && version < 0x80100) {
        CString message;
        message.Format(IDS_DIRECTX_TOO_OLD_TO_JOIN, text);
        AfxMessageBox(message, MB_ICONEXCLAMATION);
        return FALSE;
    }
    if (!m_joiner)
        return FALSE;
    CRecordSettings settings;
    FillRenderSettings(&settings, m_renderSource);
    return m_joiner->JoinSegments(m_segmentFiles, m_audioFiles, m_baseName, &settings) != 0;
}

BOOL CRecordingFinisher::Finish()
{
    if (m_segmentFiles.GetSize() > 0) {
        if (JoinSegments()) {
            ShowProgress(FALSE);
            return TRUE;
        }
        ::DeleteFileA(m_baseName);
        const BOOL cancelled = m_progress && m_progress->IsCancelRequested();
        Fail(cancelled ? 0 : IDS_CANNOT_RENDER_AVI);
        return FALSE;
    }
    if (m_recordCamera || !m_waveInRan || !m_audioHasData || m_audioFiles.GetSize() == 0)
        return TRUE;
    if (m_captureFormat.size() < 16)
        return TRUE;
    const WAVEFORMATEX* capture = reinterpret_cast<const WAVEFORMATEX*>(m_captureFormat.data());
    ShowProgress(TRUE);

    // Sound that started after the video is moved to the video's time.
    if (m_audioStartMs >= 1) {
        CString inserted;
        if (!CreateUniqueFileName(m_tempFolder, "SkoConvert", ".wav", inserted, FALSE)) {
            Fail(IDS_CANNOT_INSERT_WAV);
            return FALSE;
        }
        if (!InsertAudioIntoWave(m_audioFiles[0], inserted, m_audioStartMs, 0, capture, m_progress, TRUE)) {
            ::DeleteFileA(inserted);
            Fail(IDS_CANNOT_INSERT_WAV);
            return FALSE;
        }
        ::DeleteFileA(m_audioFiles[0]);
        m_audioFiles[0] = inserted;
    }

    // Sound in another format is converted to the capture format.
    {
        WaveFileSource source;
        if (source.Open(m_audioFiles[0]) < 0) {
            m_failure = 1;
            CString failed;
            failed.LoadString(IDS_FAILED_SUFFIX);
            m_errorText = CString("wavein.Setup") + failed;
            ShowProgress(FALSE);
            return FALSE;
        }
        const WAVEFORMATEX* format = source.GetFormat();
        WAVEFORMATEX a = {}, b = {};
        memcpy(&a, format, 16);
        memcpy(&b, capture, 16);
        if (format->wFormatTag == WAVE_FORMAT_PCM)
            a.cbSize = 0;
        else
            a.cbSize = format->cbSize;
        b.cbSize = capture->wFormatTag == WAVE_FORMAT_PCM ? 0 : capture->cbSize;
        const bool same = format->wFormatTag == WAVE_FORMAT_PCM && memcmp(&a, &b, 18) == 0;
        if (!same) {
            CString converted;
            CString failed;
            failed.LoadString(IDS_FAILED_SUFFIX);
            if (!CreateUniqueFileName(m_tempFolder, "SkoConvert", ".wav", converted, FALSE)) {
                Fail(IDS_TEMP_WAV_FAILED);
                ShowProgress(FALSE);
                return FALSE;
            }
            AcmConverterStage stage;
            WaveFileWriter writer;
            source.m_sink = &stage;
            stage.m_next = &writer;
            const DWORD targetSize = 18 + (capture->wFormatTag == WAVE_FORMAT_PCM ? 0 : capture->cbSize);
            int result;
            if (stage.Setup(format, source.GetFormatSize(), capture, targetSize) < 0) {
                m_errorText = CString("wavecomp.Setup") + failed;
                result = -1;
            } else if (writer.Open(converted, capture, targetSize,
                                   SampleCountAtRate(source.GetSampleCount(), format->nSamplesPerSec,
                                                     capture->nSamplesPerSec)) < 0) {
                m_errorText = CString("waveout.Setup ") + failed;
                result = -1;
            } else {
                if (m_progress) {
                    CString title;
                    title.LoadString(IDS_COMPRESSING_AUDIO);
                    m_progress->SetProgressTitle(title);
                }
                result = source.Run(m_progress);
                writer.Close();
                if (result == -1)
                    m_errorText.LoadString(IDS_AUDIO_COMPRESS_FAILED);
            }
            source.Close();
            if (result < 0) {
                ::DeleteFileA(converted);
                m_failure = 1;
                ShowProgress(FALSE);
                return FALSE;
            }
            ::DeleteFileA(m_audioFiles[0]);
            m_audioFiles[0] = converted;
        }
    }

    // Interleave into a new file; the screen AVI is replaced only by a
    // complete result.
    CString rendered;
    if (!CreateUniqueFileName(m_tempFolder, "SkoRender", ".avi", rendered, FALSE)) {
        Fail(IDS_CANNOT_CREATE_RENDER_AVI);
        ShowProgress(FALSE);
        return FALSE;
    }
    if (!InterleaveAudio(m_screenFile, m_audioFiles[0], rendered, m_interleave, m_interleaveRate,
                         m_interleaveByFrames, m_progress)) {
        ::DeleteFileA(rendered);
        m_failure = 1;
        ShowProgress(FALSE);
        return FALSE;
    }
    if (!MoveFileReplacing(rendered, m_screenFile)) {
        ::DeleteFileA(rendered);
        Fail(IDS_CANNOT_SAVE_RENDERED_AVI);
        ShowProgress(FALSE);
        return FALSE;
    }
    ::DeleteFileA(m_audioFiles[0]);
    m_audioFiles.RemoveAt(0);
    ShowProgress(FALSE);
    return TRUE;
}

BOOL CRecordingFinisher::InterleaveAudio(LPCSTR videoPath, LPCSTR wavePath, LPCSTR outputPath, BOOL interleave,
                                         int interleaveRate, BOOL interleaveByFrames, IConvertProgress* progress)
{
    if (progress) {
        CString title;
        title.LoadString(interleave ? IDS_INTERLEAVING_AUDIO : IDS_RENDERING_AUDIO);
        progress->SetProgressTitle(title);
        progress->SetTimeLeft(0);
        progress->SetProgress(1000, 0);
    }
    SourceStream video;
    if (!video.Open(videoPath, streamtypeVIDEO, sizeof(BITMAPINFOHEADER)))
        return FALSE;
    BITMAPINFOHEADER* bih = reinterpret_cast<BITMAPINFOHEADER*>(video.format.data());
    DWORD imageSize = bih->biSizeImage;
    if (!imageSize)
        imageSize = ((bih->biBitCount * bih->biWidth + 31) / 8 & ~3) * (bih->biHeight < 0 ? -bih->biHeight : bih->biHeight);
    SourceStream audio;
    if (!audio.Open(wavePath, streamtypeAUDIO, 16))
        return FALSE;
    WAVEFORMATEX* wf = reinterpret_cast<WAVEFORMATEX*>(audio.format.data());
    if (wf->wFormatTag == WAVE_FORMAT_PCM)
        wf->cbSize = 0;
    const DWORD blockAlign = wf->nBlockAlign ? wf->nBlockAlign : 1;
    if (interleaveRate < 1)
        interleaveRate = 1;

    LONG chunkSamples;
    if (!interleave)
        chunkSamples = static_cast<LONG>(32768 / blockAlign);
    else if (interleaveByFrames)
        chunkSamples = static_cast<LONG>(static_cast<ULONGLONG>(::MulDiv(wf->nAvgBytesPerSec, video.info.dwScale, video.info.dwRate)) *
                                         interleaveRate / blockAlign);
    else
        chunkSamples = static_cast<LONG>(static_cast<ULONGLONG>(wf->nAvgBytesPerSec) * interleaveRate / blockAlign);
    if (chunkSamples < 1)
        chunkSamples = 1;
    LONG framesPerGroup = interleaveByFrames ? interleaveRate : ::MulDiv(interleaveRate, video.info.dwRate, video.info.dwScale);
    if (framesPerGroup < 1)
        framesPerGroup = 1;

    std::vector<BYTE> audioBuffer(static_cast<size_t>(chunkSamples) * blockAlign);
    std::vector<BYTE> videoBuffer(imageSize + imageSize / 2 + 4096);

    CAviInterleaveWriter writer;
    if (!writer.Create(outputPath, video.info, video.format.data(), static_cast<LONG>(video.format.size()),
                       audio.info, audio.format.data(), 18 + wf->cbSize)) {
        CString text;
        text.Format(IDS_AVI_CREATE_STREAM_FAILED, outputPath, 0L);
        AfxMessageBox(text, MB_ICONEXCLAMATION);
        writer.Abort();
        ::DeleteFileA(outputPath);
        return FALSE;
    }
    const LONG videoEnd = video.info.dwStart + video.info.dwLength;
    const LONG audioEnd = audio.info.dwStart + audio.info.dwLength;
    LONG videoPos = video.info.dwStart;
    LONG audioPos = audio.info.dwStart;
    CopyProgress report(progress, static_cast<ULONGLONG>(video.info.dwLength) + audio.info.dwLength);
    BOOL ok = TRUE;

    auto copyAudio = [&]() -> BOOL {
        const LONG want = audioEnd - audioPos < chunkSamples ? audioEnd - audioPos : chunkSamples;
        LONG bytes = 0, samples = 0;
        if (::AVIStreamRead(audio.stream, audioPos, want, audioBuffer.data(), static_cast<LONG>(audioBuffer.size()),
                            &bytes, &samples) != AVIERR_OK || samples <= 0) {
            ShowFormatted(IDS_AUDIO_READ_FAILED, wavePath);
            return FALSE;
        }
        if (!writer.WriteAudio(audioBuffer.data(), static_cast<DWORD>(bytes), static_cast<DWORD>(samples))) {
            ShowFormatted(IDS_AUDIO_WRITE_FAILED, outputPath);
            return FALSE;
        }
        audioPos += samples;
        return TRUE;
    };
    auto copyFrame = [&]() -> BOOL {
        LONG bytes = 0, samples = 0;
        if (::AVIStreamRead(video.stream, videoPos, 1, videoBuffer.data(), static_cast<LONG>(videoBuffer.size()), &bytes,
                            &samples) != AVIERR_OK) {
            ShowFormatted(IDS_VIDEO_WRITE_FAILED, videoPath);
            return FALSE;
        }
        const BOOL key = AVIStreamIsKeyFrame(video.stream, videoPos);
        if (!writer.WriteVideo(videoBuffer.data(), static_cast<DWORD>(bytes), key)) {
            ShowFormatted(IDS_VIDEO_WRITE_FAILED, outputPath);
            return FALSE;
        }
        ++videoPos;
        return TRUE;
    };
    auto done = [&]() -> ULONGLONG {
        return static_cast<ULONGLONG>(videoPos - video.info.dwStart) + (audioPos - audio.info.dwStart);
    };

    if (interleave) {
        while (ok && (audioPos < audioEnd || videoPos < videoEnd)) {
            if (audioPos < audioEnd)
                ok = copyAudio();
            for (LONG i = 0; ok && i < framesPerGroup && videoPos < videoEnd; ++i)
                ok = copyFrame();
            if (ok && !report.Step(done()))
                ok = FALSE;
        }
    } else {
        while (ok && audioPos < audioEnd) {
            ok = copyAudio() && report.Step(done());
        }
        while (ok && videoPos < videoEnd) {
            ok = copyFrame() && report.Step(done());
        }
    }
    if (!ok) {
        writer.Abort();
        ::DeleteFileA(outputPath);
        return FALSE;
    }
    if (!writer.Close()) {
        ShowFormatted(IDS_VIDEO_WRITE_FAILED, outputPath);
        ::DeleteFileA(outputPath);
        return FALSE;
    }
    if (progress)
        progress->SetProgress(1000, 1000);
    return TRUE;
}
