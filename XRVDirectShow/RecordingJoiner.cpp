#include "XRVDirectShow/RecordingJoiner.h"
#include "XRVDirectShow/XRVDSFileWriter.h"
#include "XRVDirectShow/XRVDSTimeline.h"
#include "capture/RecordSettings.h"
#include "settings/FileUtil.h"

#include <vfw.h>
#include <vector>

namespace {

// A wide copy of an ANSI text (dshow.h's strsafe.h rules out std::wstring).
std::vector<WCHAR> Wide(LPCSTR text)
{
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, NULL, 0);
    std::vector<WCHAR> w(n > 0 ? n : 1, L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, text, -1, w.data(), n);
    return w;
}

// The PCM data and format of a WAVE file, read through its chunks with
// their sizes checked against the file.
BOOL ReadWave(LPCSTR path, std::vector<BYTE>* format, std::vector<BYTE>* data)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    LARGE_INTEGER size;
    BOOL ok = GetFileSizeEx(file, &size) && size.QuadPart >= 12 && size.QuadPart < 0x7FFFFFFF;
    std::vector<BYTE> bytes(ok ? (size_t)size.QuadPart : 0);
    DWORD read = 0;
    ok = ok && ReadFile(file, bytes.data(), (DWORD)bytes.size(), &read, NULL) && read == bytes.size();
    CloseHandle(file);
    if (!ok || memcmp(bytes.data(), "RIFF", 4) != 0 || memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return FALSE;
    size_t at = 12;
    format->clear();
    data->clear();
    bool haveData = false;
    while (at + 8 <= bytes.size()) {
        DWORD chunk = *(const DWORD*)&bytes[at + 4];
        size_t body = at + 8;
        size_t end = body + chunk;
        if (end > bytes.size() || end < body)
            end = bytes.size();   // a cut last chunk: keep what is there
        if (memcmp(&bytes[at], "fmt ", 4) == 0)
            format->assign(bytes.begin() + body, bytes.begin() + end);
        else if (memcmp(&bytes[at], "data", 4) == 0 && !haveData) {
            data->assign(bytes.begin() + body, bytes.begin() + end);
            haveData = true;
        }
        at = end + (chunk & 1);
    }
    if (format->size() < 16 || !haveData)
        return FALSE;
    const WAVEFORMATEX* wfx = (const WAVEFORMATEX*)format->data();
    if (wfx->wFormatTag != WAVE_FORMAT_PCM || wfx->nBlockAlign == 0 || wfx->nAvgBytesPerSec == 0)
        return FALSE;
    data->resize(data->size() - data->size() % wfx->nBlockAlign);
    return TRUE;
}

BOOL WriteWave(LPCSTR path, const std::vector<BYTE>& format, const std::vector<BYTE>& data)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD fmtSize = 16;
    DWORD header[5] = {0x46464952 /* RIFF */, (DWORD)(4 + 8 + fmtSize + 8 + data.size()), 0x45564157 /* WAVE */,
                       0x20746d66 /* fmt  */, fmtSize};
    DWORD dataHeader[2] = {0x61746164 /* data */, (DWORD)data.size()};
    DWORD written = 0;
    BOOL ok = WriteFile(file, header, sizeof(header), &written, NULL) &&
              WriteFile(file, format.data(), fmtSize, &written, NULL) &&
              WriteFile(file, dataHeader, sizeof(dataHeader), &written, NULL) &&
              (data.empty() || WriteFile(file, data.data(), (DWORD)data.size(), &written, NULL));
    CloseHandle(file);
    if (!ok)
        DeleteFileA(path);
    return ok;
}

LONGLONG FramesToTime(LONGLONG frames, const AviVideoFacts& f)
{
    return (LONGLONG)((ULONGLONG)frames * f.scale * 10000000ull / f.rate);
}

} // namespace

BOOL ReadAviVideoFacts(LPCSTR path, AviVideoFacts* facts)
{
    ZeroMemory(facts, sizeof(*facts));
    PAVIFILE file = NULL;
    if (AVIFileOpenA(&file, path, OF_READ | OF_SHARE_DENY_NONE, NULL) != 0)
        return FALSE;
    PAVISTREAM stream = NULL;
    BOOL ok = AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) == 0;
    AVISTREAMINFOA info = {};
    if (ok)
        ok = AVIStreamInfoA(stream, &info, sizeof(info)) == 0 && info.dwRate > 0 && info.dwScale > 0;
    if (ok) {
        BITMAPINFOHEADER bih = {};
        LONG size = sizeof(bih);
        ok = AVIStreamReadFormat(stream, AVIStreamStart(stream), &bih, &size) == 0;
        facts->frames = AVIStreamLength(stream);
        facts->rate = info.dwRate;
        facts->scale = info.dwScale;
        facts->width = bih.biWidth;
        facts->height = bih.biHeight < 0 ? -bih.biHeight : bih.biHeight;
        facts->compression = bih.biCompression;
        ok = ok && facts->frames >= 0;
    }
    if (stream)
        AVIStreamRelease(stream);
    AVIFileRelease(file);
    return ok;
}

// Sound: one file per segment goes at its segment's start; a single file
// for several segments is the whole recording's and goes at 0. The pieces
// are laid into one WAV of the joined length (each cut or padded with
// silence to its segment), so that every segment's sound stays under its
// own pictures.
int CTimelineJoiner::JoinSegments(const CStringArray& segments, const CStringArray& audioFiles, LPCSTR output,
                                  CRecordSettings* settings)
{
    if (segments.GetSize() == 0 || !output || !settings)
        return 0;
    // The finishing thread has no COM of its own.
    const HRESULT com = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    const int result = Join(segments, audioFiles, output, settings);
    if (SUCCEEDED(com))
        CoUninitialize();
    return result;
}

int CTimelineJoiner::Join(const CStringArray& segments, const CStringArray& audioFiles, LPCSTR output,
                          CRecordSettings* settings)
{
    AVIFileInit();
    std::vector<AviVideoFacts> allFacts(segments.GetSize());
    BOOL readable = TRUE;
    for (int i = 0; i < segments.GetSize() && readable; ++i)
        readable = ReadAviVideoFacts(segments[i], &allFacts[i]);
    AVIFileExit();
    if (!readable)
        return 0;
    // A recording stopped just after a split leaves a last segment without
    // frames (and its sound without samples): it adds nothing and is left
    // out, with its sound when each segment has its own.
    CStringArray kept, keptSounds;
    std::vector<AviVideoFacts> facts;
    const bool soundPerSegment = audioFiles.GetSize() == segments.GetSize();
    for (int i = 0; i < segments.GetSize(); ++i) {
        if (allFacts[i].frames == 0)
            continue;
        kept.Add(segments[i]);
        facts.push_back(allFacts[i]);
        if (soundPerSegment)
            keptSounds.Add(audioFiles[i]);
    }
    if (!soundPerSegment)
        keptSounds.Copy(audioFiles);
    if (facts.empty())
        return 0;
    return JoinFrames(kept, keptSounds, facts, output, settings);
}

int CTimelineJoiner::JoinFrames(const CStringArray& segments, const CStringArray& audioFiles,
                                const std::vector<AviVideoFacts>& facts, LPCSTR output, CRecordSettings* settings)
{
    std::vector<LONGLONG> starts(segments.GetSize() + 1, 0);
    for (int i = 0; i < segments.GetSize(); ++i)
        starts[i + 1] = starts[i] + FramesToTime(facts[i].frames, facts[i]);

    CString folder(output);
    int slash = folder.ReverseFind('\\');
    folder = slash >= 0 ? folder.Left(slash) : CString(".");

    CString joinedSound;
    std::vector<BYTE> format;
    if (audioFiles.GetSize() > 0) {
        std::vector<BYTE> all;
        const WAVEFORMATEX* wfx = NULL;
        const bool perSegment = audioFiles.GetSize() == segments.GetSize();
        for (int i = 0; i < audioFiles.GetSize(); ++i) {
            std::vector<BYTE> f, d;
            if (!ReadWave(audioFiles[i], &f, &d))
                return 0;
            if (format.empty()) {
                format = f;
                wfx = (const WAVEFORMATEX*)format.data();
            } else if (memcmp(format.data(), f.data(), 16) != 0) {
                return 0;
            }
            if (!perSegment) {
                all.insert(all.end(), d.begin(), d.end());
                continue;
            }
            ULONGLONG begin = (ULONGLONG)starts[i] * wfx->nAvgBytesPerSec / 10000000ull;
            ULONGLONG end = (ULONGLONG)starts[i + 1] * wfx->nAvgBytesPerSec / 10000000ull;
            begin -= begin % wfx->nBlockAlign;
            end -= end % wfx->nBlockAlign;
            all.resize((size_t)begin, wfx->wBitsPerSample == 8 ? 0x80 : 0);
            size_t take = d.size() < end - begin ? d.size() : (size_t)(end - begin);
            all.insert(all.end(), d.begin(), d.begin() + take);
            all.resize((size_t)end, wfx->wBitsPerSample == 8 ? 0x80 : 0);
        }
        if (!CreateUniqueFileName(folder, "SkoJoin", ".wav", joinedSound, FALSE) ||
            !WriteWave(joinedSound, format, all)) {
            if (!joinedSound.IsEmpty())
                DeleteFileA(joinedSound);
            return 0;
        }
    }

    // The output keeps the segments' own playback rate and size; frames
    // recorded without compression are written as they are.
    settings->m_nHeader[0] = 0;
    settings->m_nHeader[1] = 2;
    settings->m_nOutputWidth = facts[0].width;
    settings->m_nOutputHeight = facts[0].height;
    settings->m_FrameRate.m_nRate = facts[0].rate;
    settings->m_FrameRate.m_nScale = facts[0].scale;
    settings->m_nValue27 = audioFiles.GetSize() > 0;
    if (facts[0].compression == BI_RGB)
        settings->m_strVideoCompressor.Empty();

    int result = 0;
    {
        XRVDSTimeline timeline(TRUE, audioFiles.GetSize() > 0);
        CComPtr<IAMTimelineComp> comp;
        CComPtr<IAMTimelineTrack> track;
        BOOL built = SUCCEEDED(timeline.GetVideoComp(&comp, timeline.GetVideoCompNum())) &&
                     SUCCEEDED(timeline.AddTrackToComp(comp, &track));
        for (int i = 0; built && i < segments.GetSize(); ++i) {
            std::vector<WCHAR> name = Wide(segments[i]);
            BSTR b = SysAllocString(name.data());
            LONGLONG length = starts[i + 1] - starts[i];
            built = SUCCEEDED(timeline.AddSourceToTrack(track, b, starts[i], starts[i + 1], 0, length, TRUE));
            SysFreeString(b);
        }
        if (built && !joinedSound.IsEmpty())
            built = SUCCEEDED(timeline.AddAudioFileToTimeline(joinedSound, 0, starts.back(), 0, starts.back(), 0, TRUE,
                                                              FALSE, FALSE, FALSE));
        // The sound keeps the recorded format: the audio group renders in
        // it (by default the group would resample it to its own).
        CComPtr<IAMTimelineGroup> audioGroup;
        if (built && !joinedSound.IsEmpty() && SUCCEEDED(timeline.GetAudioGroup(&audioGroup)) && audioGroup) {
            WAVEFORMATEX wave = {};
            CopyMemory(&wave, format.data(), 16);
            wave.cbSize = 0;
            AM_MEDIA_TYPE mt = {};
            mt.majortype = MEDIATYPE_Audio;
            mt.subtype = MEDIASUBTYPE_PCM;
            mt.bFixedSizeSamples = TRUE;
            mt.lSampleSize = wave.nBlockAlign;
            mt.formattype = FORMAT_WaveFormatEx;
            mt.cbFormat = sizeof(wave);
            mt.pbFormat = (BYTE*)&wave;
            built = SUCCEEDED(audioGroup->SetMediaType(&mt));
        }
        if (built) {
            XRVDSFileWriter writer;
            writer.m_strWorkFolder = folder;
            CHeadlessWriterProgress headless(&writer);
            IWriterProgress* progress = m_progress ? m_progress : &headless;
            writer.SetOutputFormat(settings, NULL, NULL);
            writer.SetTimeline(&timeline);
            writer.SetProgress(progress, 0);
            CString written;
            if (writer.Render(written, NULL, -1, -1)) {
                if (MoveFileExA(written, output, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
                    result = 1;
                else
                    DeleteFileA(written);
            }
        }
    }
    if (!joinedSound.IsEmpty())
        DeleteFileA(joinedSound);
    return result;
}

CHeadlessWriterProgress::CHeadlessWriterProgress(XRVDSFileWriter* writer)
    : m_writer(writer), m_worker(NULL), m_parameter(NULL), m_cancelled(0), m_timer(0)
{
    m_window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
}

CHeadlessWriterProgress::~CHeadlessWriterProgress()
{
    if (m_window)
        DestroyWindow(m_window);
}

void CHeadlessWriterProgress::SetWorker(LPTHREAD_START_ROUTINE worker, void* parameter)
{
    m_worker = worker;
    m_parameter = parameter;
}

void CHeadlessWriterProgress::GetWorker(LPTHREAD_START_ROUTINE* worker, void** parameter)
{
    *worker = m_worker;
    *parameter = m_parameter;
}

// Pumps this thread's messages until the writer reports the end of the
// write (completion, error or a failed start, each of which posts 0x530) or
// the cancel state is set.
INT_PTR CHeadlessWriterProgress::RunModal()
{
    if (!m_worker || !m_window)
        return IDCANCEL;
    HANDLE thread = CreateThread(NULL, 0, m_worker, m_parameter, 0, NULL);
    if (!thread)
        return IDCANCEL;
    INT_PTR result = IDCANCEL;
    for (;;) {
        MSG msg;
        bool ended = false;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_FILEWRITER_GRAPH_EVENT && msg.hwnd == m_window && m_writer->ProcessGraphEvents())
                ended = true;
            DispatchMessageA(&msg);
        }
        if (ended) {
            result = IDOK;
            break;
        }
        if (IsCancelled())
            break;
        MsgWaitForMultipleObjects(0, NULL, FALSE, 50, QS_ALLINPUT);
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    if (result == IDOK)
        m_writer->StopWriting();
    return result;
}
