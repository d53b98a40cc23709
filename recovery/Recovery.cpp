#include "recovery/Recovery.h"

#include "capture/RecordSettings.h"
#include "capture/RecordingFinish.h"
#include "controls/LongFileDialog.h"
#include "framework/WinApp.h"
#include "media/LastRecordingDir.h"
#include "media/ProgressDlg.h"
#include "media/RecordingData.h"
#include "media/RecordingOutput.h"
#include "platform/wmwriter/AsfFile.h"
#include "platform/wmwriter/WmIndexer.h"
#include "recovery/AviRebuild.h"
#include "resources/ids_finishing.h"
#include "settings/FileUtil.h"
#include "settings/PathUtil.h"

#include <vfw.h>

#include <vector>

namespace {

const char kRecorderClass[] = "RECORDER_CLASS_D77CA95F_632A_4d48_8FD0_2A8DEAA6DA4A";
const char kNoteName[] = "RecInfo.xml";
const char kXrvcFilterName[] = "Kestravon Screen Capture Codec";
// The indexer has reported nothing for this long: it is given up.
const DWORD kIndexerSilenceMs = 120000;

CString LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

CString FolderOf(const CString& path)
{
    const int slash = path.ReverseFind('\\');
    return slash < 0 ? CString() : path.Left(slash + 1);
}

CString ExtensionOf(const CString& path)
{
    const CString name = path.Mid(path.ReverseFind('\\') + 1);
    const int dot = name.ReverseFind('.');
    return dot < 0 ? CString() : name.Mid(dot + 1);
}

CString NameWithoutExtension(const CString& fileName)
{
    const int dot = fileName.ReverseFind('.');
    return dot < 0 ? fileName : fileName.Left(dot);
}

bool FileExists(const CString& path)
{
    const DWORD a = ::GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// A listed file the recovery may read, rewrite or delete: an existing file
// inside the recording's folder. A note naming anything else is not obeyed.
bool UsableListedFile(const CString& folder, const CString& path)
{
    return !path.IsEmpty() && IsInsideFolder(folder, path) && FileExists(path);
}

// A file another process still writes (a recording running elsewhere):
// opening it while denying writes is refused.
bool BeingWritten(const CString& path)
{
    HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_SHARING_VIOLATION;
    ::CloseHandle(file);
    return false;
}

// The tracks, flags and bookmarks of a record, without its file list.
void CopyTracks(const CRecordingData& from, CRecordingData& to)
{
    int w, h, bpp, il, ilbf;
    double fps;
    BOOL audio;
    CString codec, profile;
    WAVEFORMATEX wf;
    UINT rate;
    from.GetVideoTrack(&w, &h, &bpp, &fps, &audio, &codec, &wf, &il, &ilbf, &rate);
    to.SetVideoTrack(w, h, bpp, fps, audio, codec, &wf, il, ilbf, rate);
    from.GetCameraTrack(&w, &h, &bpp, &fps, &audio, &codec, &profile, &wf, &il, &ilbf, &rate);
    to.SetCameraTrack(w, h, bpp, fps, audio, codec, profile, &wf, il, ilbf, rate);
    to.SetIsPackage(from.IsPackage());
    to.SetAudioIsSeparate(from.IsAudioSeparate());
    RecordingBookmarkList marks;
    from.GetBookmarks(marks);
    to.AppendBookmarks(marks);
}

bool UsableAudioFormat(const WAVEFORMATEX& wf)
{
    return wf.wFormatTag != 0xFFFF && wf.wFormatTag != 0 && wf.nChannels && wf.nChannels != 0xFFFF &&
           wf.nAvgBytesPerSec && wf.nAvgBytesPerSec != 0xFFFFFFFF && wf.nBlockAlign && wf.nBlockAlign != 0xFFFF;
}

// The FourCC of an installed compressor by the name the note gives it (the
// driver's short name, or the FourCC itself); 0 when none matches.
DWORD FindCompressor(const CString& name)
{
    if (name.IsEmpty())
        return 0;
    ICINFO info = {};
    info.dwSize = sizeof(info);
    for (DWORD i = 0; ::ICInfo(ICTYPE_VIDEO, i, &info); ++i) {
        const DWORD handler = info.fccHandler;
        HIC hic = ::ICOpen(ICTYPE_VIDEO, handler, ICMODE_QUERY);
        if (hic) {
            ICINFO full = {};
            full.dwSize = sizeof(full);
            const bool named = ::ICGetInfo(hic, &full, sizeof(full)) &&
                               (CString(full.szName).CompareNoCase(name) == 0 ||
                                CString(full.szDescription).CompareNoCase(name) == 0);
            ::ICClose(hic);
            if (named)
                return handler;
        }
        info.dwSize = sizeof(info);
    }
    if (name.GetLength() == 4)
        return mmioFOURCC(::tolower(name[0]), ::tolower(name[1]), ::tolower(name[2]), ::tolower(name[3]));
    return 0;
}

// The rebuilt file's video format: the note's input format for frames
// recorded without compression ("DIB"), else the format the note's codec
// gives for that input.
bool VideoFormatFromNote(const CRecordingData& note, avirebuild::RebuildFormat* format, CString* error)
{
    int w = 0, h = 0, bpp = 0;
    double fps = 0;
    CString codec;
    note.GetVideoTrack(&w, &h, &bpp, &fps, NULL, &codec, NULL, NULL, NULL, NULL);
    if (w <= 0 || h <= 0 || w > 32768 || h > 32768 || (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)) {
        *error = "the note's video size or depth is not usable";
        return false;
    }
    if (!avirebuild::RateFromFps(fps, &format->rate, &format->scale)) {
        *error = "the note's frame rate is not usable";
        return false;
    }
    BITMAPINFOHEADER in = {};
    in.biSize = sizeof(in);
    in.biWidth = w;
    in.biHeight = h;
    in.biPlanes = 1;
    in.biBitCount = (WORD)bpp;
    in.biCompression = BI_RGB;
    const DWORD stride = (((DWORD)w * bpp + 31) / 32) * 4;
    in.biSizeImage = stride * (DWORD)h;
    if (bpp <= 8)
        in.biClrUsed = 0;
    if (codec.IsEmpty() || codec.CompareNoCase("DIB") == 0) {
        format->videoFormat.assign((const uint8_t*)&in, (const uint8_t*)&in + sizeof(in));
        if (bpp <= 8) {
            // The palette went with the header: a grey ramp keeps the
            // pictures readable.
            for (int i = 0; i < (1 << bpp); ++i) {
                const uint8_t v = (uint8_t)(i * 255 / ((1 << bpp) - 1));
                const uint8_t q[4] = { v, v, v, 0 };
                format->videoFormat.insert(format->videoFormat.end(), q, q + 4);
            }
        }
        format->handler = 0;
        format->maxFrameBytes = in.biSizeImage;
        format->exactFrameBytes = true;
        return true;
    }
    const DWORD handler = FindCompressor(codec);
    HIC hic = handler ? ::ICOpen(ICTYPE_VIDEO, handler, ICMODE_COMPRESS) : NULL;
    if (!hic) {
        *error = "the note's codec is not installed";
        return false;
    }
    const LONG size = (LONG)ICCompressGetFormatSize(hic, &in);
    bool ok = size >= (LONG)sizeof(BITMAPINFOHEADER) && size < 65536;
    if (ok) {
        format->videoFormat.assign((size_t)size, 0);
        ok = ICCompressGetFormat(hic, &in, (BITMAPINFOHEADER*)format->videoFormat.data()) == ICERR_OK;
    }
    DWORD frameMax = ok ? ICCompressGetSize(hic, &in, (BITMAPINFOHEADER*)format->videoFormat.data()) : 0;
    ::ICClose(hic);
    if (!ok) {
        *error = "the note's codec gives no format for the recording";
        return false;
    }
    // A frame chunk never exceeds what the codec may make of one picture.
    const DWORD floor = in.biSizeImage + in.biSizeImage / 2 + 4096;
    format->maxFrameBytes = frameMax > floor ? frameMax : floor;
    format->handler = handler;
    return true;
}

class FileSource : public avirebuild::ByteSource {
public:
    explicit FileSource(LPCSTR path)
    {
        m_file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
        LARGE_INTEGER size = {};
        m_size = m_file != INVALID_HANDLE_VALUE && ::GetFileSizeEx(m_file, &size) ? (uint64_t)size.QuadPart : 0;
    }
    ~FileSource() override
    {
        if (m_file != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_file);
    }
    bool IsOpen() const { return m_file != INVALID_HANDLE_VALUE; }
    uint64_t Size() const override { return m_size; }
    bool Read(uint64_t at, void* buffer, size_t n) override
    {
        if (at > m_size || n > m_size - at)
            return false;
        LARGE_INTEGER to;
        to.QuadPart = (LONGLONG)at;
        if (!::SetFilePointerEx(m_file, to, NULL, FILE_BEGIN))
            return false;
        BYTE* p = static_cast<BYTE*>(buffer);
        while (n) {
            const DWORD part = n > 0x1000000 ? 0x1000000 : (DWORD)n;
            DWORD got = 0;
            if (!::ReadFile(m_file, p, part, &got, NULL) || got != part)
                return false;
            p += part;
            n -= part;
        }
        return true;
    }

private:
    HANDLE m_file;
    uint64_t m_size;
};

// Appends through a buffer; patches in place after a flush.
class FileSink : public avirebuild::ByteSink {
public:
    explicit FileSink(LPCSTR path) : m_position(0)
    {
        m_file = ::CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    }
    ~FileSink() override { Close(); }
    bool IsOpen() const { return m_file != INVALID_HANDLE_VALUE; }
    bool Append(const void* data, size_t n) override
    {
        const BYTE* p = static_cast<const BYTE*>(data);
        m_buffer.insert(m_buffer.end(), p, p + n);
        m_position += n;
        return m_buffer.size() < (1u << 20) || Flush();
    }
    bool WriteAt(uint64_t at, const void* data, size_t n) override
    {
        if (!Flush())
            return false;
        LARGE_INTEGER to;
        to.QuadPart = (LONGLONG)at;
        DWORD written = 0;
        const bool ok = ::SetFilePointerEx(m_file, to, NULL, FILE_BEGIN) &&
                        ::WriteFile(m_file, data, (DWORD)n, &written, NULL) && written == n;
        LARGE_INTEGER zero = {};
        ::SetFilePointerEx(m_file, zero, NULL, FILE_END);
        return ok;
    }
    uint64_t Position() const override { return m_position; }
    bool Flush()
    {
        if (m_buffer.empty())
            return true;
        DWORD written = 0;
        const bool ok = ::WriteFile(m_file, m_buffer.data(), (DWORD)m_buffer.size(), &written, NULL) &&
                        written == m_buffer.size();
        m_buffer.clear();
        return ok;
    }
    bool Close()
    {
        bool ok = true;
        if (m_file != INVALID_HANDLE_VALUE) {
            ok = Flush();
            ok = ::CloseHandle(m_file) && ok;
            m_file = INVALID_HANDLE_VALUE;
        }
        return ok;
    }

private:
    HANDLE m_file;
    uint64_t m_position;
    std::vector<BYTE> m_buffer;
};

// --- The indexer's status callback

class IndexerStatusCallback final : public IWMStatusCallback {
public:
    explicit IndexerStatusCallback(RecoveryInfo* info) : m_refs(0), m_info(info), m_stored(0)
    {
        m_lastReport = ::GetTickCount();
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IWMStatusCallback) {
            *ppv = static_cast<IWMStatusCallback*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return (ULONG)::InterlockedIncrement(&m_refs); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG n = ::InterlockedDecrement(&m_refs);
        if (n == 0)
            delete this;
        return (ULONG)n;
    }
    STDMETHODIMP OnStatus(WMT_STATUS status, HRESULT hr, WMT_ATTR_DATATYPE type, BYTE* value,
                          void* /*context*/) override
    {
        ::InterlockedExchange(&m_lastReport, (LONG)::GetTickCount());
        switch (status) {
        case WMT_ERROR:
            ::InterlockedExchange(&m_info->result, hr);
            ::InterlockedExchange(&m_stored, 1);
            break;
        case WMT_CLOSED:
            if (!::InterlockedCompareExchange(&m_stored, 1, 0))
                ::InterlockedExchange(&m_info->result, hr);
            if (m_info->event)
                ::SetEvent(m_info->event);
            break;
        case WMT_INDEX_PROGRESS:
            if (type == WMT_TYPE_DWORD && value && m_info->dialog) {
                const DWORD percent = *(const DWORD*)value;
                CString text;
                text.Format(IDS_PROCESSING_PERCENT, (int)percent);
                m_info->dialog->SetStatusText(text);
                m_info->dialog->SetProgress(100, (int)percent);
            }
            break;
        default:
            break;
        }
        return S_OK;
    }
    DWORD SilentFor() const { return ::GetTickCount() - (DWORD)m_lastReport; }

private:
    volatile LONG m_refs;
    RecoveryInfo* m_info;
    volatile LONG m_stored;
    volatile LONG m_lastReport;
};

// --- Workers under the progress dialog

void DialogProgress(void* context, int percent)
{
    CProgressDlg* dialog = static_cast<CProgressDlg*>(context);
    if (!dialog)
        return;
    CString text;
    text.Format(IDS_PROCESSING_PERCENT, percent);
    dialog->SetStatusText(text);
    dialog->SetProgress(100, percent);
}

void ShowDialog(CProgressDlg* dialog)
{
    if (dialog && dialog->GetSafeHwnd()) {
        ::ShowWindow(dialog->GetSafeHwnd(), SW_SHOWNORMAL);
        ::SetForegroundWindow(dialog->GetSafeHwnd());
    }
}

UINT AFX_CDECL ScreenWorker(LPVOID parameter)
{
    RecoveryInfo* info = static_cast<RecoveryInfo*>(parameter);
    ShowDialog(info->dialog);
    info->screenRecovered = RebuildRecordingScreen(*info, DialogProgress, info->dialog);
    ::PostMessageA(info->dialog->GetSafeHwnd(), WM_PROGRESS_END_OK, 0, 0);
    return 0;
}

UINT AFX_CDECL CameraWorker(LPVOID parameter)
{
    RecoveryInfo* info = static_cast<RecoveryInfo*>(parameter);
    const HRESULT com = ::CoInitializeEx(NULL, COINIT_MULTITHREADED);
    ShowDialog(info->dialog);
    int step = 1;
    // Index; when that fails, cut the last packet off and index again. Each
    // repair shortens the file, and a few rounds are enough for any file a
    // recording leaves.
    for (;;) {
        CString title;
        title.Format(IDS_RECOVER_CAMERA_TITLE, step);
        info->dialog->SetTitle(title);
        if (IndexCameraFile(*info, info->cameraPath))
            break;
        ::InterlockedExchange(&info->state, 0);
        if (step >= 4 || !RepairAsfFile(CStringW(info->cameraPath), TRUE)) {
            ::InterlockedExchange(&info->result, E_FAIL);
            break;
        }
        ::InterlockedExchange(&info->result, S_OK);
        ++step;
    }
    if (SUCCEEDED(com))
        ::CoUninitialize();
    ::PostMessageA(info->dialog->GetSafeHwnd(), WM_PROGRESS_END_OK, 0, 0);
    return 0;
}

void RunUnderDialog(RecoveryInfo& info, UINT titleId, CProgressDlg::WorkerProc worker)
{
    CProgressDlg dialog(NULL);
    CString title;
    if (titleId == IDS_RECOVER_CAMERA_TITLE)
        title.Format(titleId, 1);
    else
        title = LoadText(titleId);
    dialog.SetTitle(title);
    dialog.SetWorker(worker, &info);
    info.dialog = &dialog;
    dialog.DoModal();   // returns once the worker has ended
    info.dialog = NULL;
}

}  // namespace

// --- Sound files

BOOL RepairWaveFile(LPCSTR path)
{
    HANDLE file = ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    LARGE_INTEGER size = {};
    uint8_t head[1100] = {};
    DWORD got = 0;
    BOOL ok = ::GetFileSizeEx(file, &size) && size.QuadPart > 0 &&
              ::ReadFile(file, head, sizeof(head), &got, NULL);
    uint32_t dataOffset = 0;
    uint16_t block = 0;
    ok = ok && avirebuild::ParseWaveLayout(head, got, &dataOffset, &block);
    // A sound file past 4 GiB cannot be described by its header.
    ok = ok && (ULONGLONG)size.QuadPart <= 0xFFFFFFFFull;
    if (ok) {
        ULONGLONG data = (ULONGLONG)size.QuadPart - dataOffset;
        data -= data % block;
        ok = data > 0;
        if (ok) {
            const DWORD riff = (DWORD)(dataOffset + data - 8);
            const DWORD dataSize = (DWORD)data;
            LARGE_INTEGER to;
            to.QuadPart = (LONGLONG)(dataOffset + data);
            DWORD written = 0;
            ok = ::SetFilePointerEx(file, to, NULL, FILE_BEGIN) && ::SetEndOfFile(file);
            to.QuadPart = 4;
            ok = ok && ::SetFilePointerEx(file, to, NULL, FILE_BEGIN) &&
                 ::WriteFile(file, &riff, 4, &written, NULL) && written == 4;
            to.QuadPart = dataOffset - 4;
            ok = ok && ::SetFilePointerEx(file, to, NULL, FILE_BEGIN) &&
                 ::WriteFile(file, &dataSize, 4, &written, NULL) && written == 4;
        }
    }
    ::CloseHandle(file);
    return ok;
}

// --- The screen

LONG CountAviFrames(LPCSTR path, DWORD* rate, DWORD* scale)
{
    ::AVIFileInit();
    LONG frames = -1;
    PAVIFILE file = NULL;
    if (::AVIFileOpenA(&file, path, OF_READ | OF_SHARE_DENY_WRITE, NULL) == 0) {
        PAVISTREAM stream = NULL;
        if (::AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) == 0) {
            AVISTREAMINFOA info = {};
            if (::AVIStreamInfoA(stream, &info, sizeof(info)) == 0) {
                frames = ::AVIStreamLength(stream);
                if (rate)
                    *rate = info.dwRate;
                if (scale)
                    *scale = info.dwScale;
            }
            ::AVIStreamRelease(stream);
        }
        ::AVIFileRelease(file);
    }
    ::AVIFileExit();
    return frames;
}

BOOL RebuildScreenAvi(LPCSTR damaged, LPCSTR output, const CRecordingData& note, BOOL withAudio, LONG* frames,
                      CString* error, void (*progress)(void* context, int percent), void* context)
{
    CString why;
    avirebuild::RebuildFormat format;
    if (!VideoFormatFromNote(note, &format, &why)) {
        if (error)
            *error = why;
        return FALSE;
    }
    if (withAudio) {
        WAVEFORMATEX wf;
        BOOL hasAudio = FALSE;
        note.GetVideoTrack(NULL, NULL, NULL, NULL, &hasAudio, NULL, &wf, NULL, NULL, NULL);
        if (hasAudio && UsableAudioFormat(wf)) {
            format.audioFormat.assign((const uint8_t*)&wf, (const uint8_t*)&wf + 18);
            if (wf.wFormatTag == WAVE_FORMAT_PCM)
                format.audioFormat[16] = format.audioFormat[17] = 0;
        }
    }
    FileSource in(damaged);
    if (!in.IsOpen()) {
        if (error)
            *error = "the damaged file cannot be opened";
        return FALSE;
    }
    FileSink out(output);
    if (!out.IsOpen()) {
        if (error)
            *error = "the new file cannot be created";
        return FALSE;
    }
    avirebuild::RebuildResult result;
    std::string reason;
    bool ok = avirebuild::RebuildAvi(
        in, out, format, &result,
        [&](int percent) {
            if (progress)
                progress(context, percent);
            return true;
        },
        &reason);
    ok = out.Close() && ok;
    if (!ok) {
        ::DeleteFileA(output);
        if (error)
            *error = reason.c_str();
        return FALSE;
    }
    if (frames)
        *frames = (LONG)result.frames;
    return TRUE;
}

BOOL RebuildRecordingScreen(RecoveryInfo& info, void (*progress)(void* context, int percent), void* context)
{
    CRecordingData& note = *info.data;
    const CString folder = FolderOf(info.screenPath);
    const CString screenExtension = ExtensionOf(info.screenPath);

    // The segments: the screen file, then every other listed file of its
    // kind; the sound files: every listed ".wav".
    CStringArray segments, sounds;
    segments.Add(info.screenPath);
    for (int i = 0; i < note.GetFileCount(); ++i) {
        const CString file = note.GetPackageFile(i);
        if (!UsableListedFile(folder, file) || file.CompareNoCase(info.screenPath) == 0 ||
            (!info.cameraPath.IsEmpty() && file.CompareNoCase(info.cameraPath) == 0))
            continue;
        if (ExtensionOf(file).CompareNoCase("wav") == 0)
            sounds.Add(file);
        else if (ExtensionOf(file).CompareNoCase(screenExtension) == 0)
            segments.Add(file);
    }

    CStringArray rebuilt;
    std::vector<LONG> counts;
    auto dropRebuilt = [&]() {
        for (INT_PTR i = 0; i < rebuilt.GetSize(); ++i)
            ::DeleteFileA(rebuilt[i]);
    };
    struct Share {
        void (*progress)(void*, int);
        void* context;
        int base, span;
    } share = { progress, context, 0, 0 };
    const int n = (int)segments.GetSize();
    for (int i = 0; i < n; ++i) {
        CString out;
        if (!CreateUniqueFileName(folder, "ScreenRecover", ".avi", out, FALSE)) {
            info.screenError = "no new file can be made in the recording's folder";
            dropRebuilt();
            return FALSE;
        }
        share.base = i * 80 / n;
        share.span = 80 / n;
        LONG frames = 0;
        CString error;
        if (!RebuildScreenAvi(segments[i], out, note, TRUE, &frames, &error,
                              [](void* c, int percent) {
                                  Share* s = static_cast<Share*>(c);
                                  if (s->progress)
                                      s->progress(s->context, s->base + percent * s->span / 100);
                              },
                              &share)) {
            ::DeleteFileA(out);
            if (i > 0 && i == n - 1) {
                // A segment cut off before its first frame: the recording
                // ends with the one before it.
                segments.RemoveAt(i);
                if (sounds.GetSize() == n)
                    sounds.RemoveAt(i);
                break;
            }
            info.screenError = segments[i] + ": " + error;
            dropRebuilt();
            return FALSE;
        }
        rebuilt.Add(out);
        counts.push_back(frames);
    }

    // The sound files: patched where their layout is a WAV's; one that is
    // not leaves the recording without sound rather than misplaced sound.
    BOOL withSound = sounds.GetSize() > 0;
    for (INT_PTR i = 0; i < sounds.GetSize() && withSound; ++i)
        withSound = RepairWaveFile(sounds[i]);
    if (progress)
        progress(context, 85);

    int w, h, bpp, il, ilbf;
    double fps;
    BOOL hasAudio;
    CString codec;
    WAVEFORMATEX wf;
    UINT ilRate;
    note.GetVideoTrack(&w, &h, &bpp, &fps, &hasAudio, &codec, &wf, &il, &ilbf, &ilRate);
    uint32_t rate = 0, scale = 0;
    avirebuild::RateFromFps(fps, &rate, &scale);

    CString combined;
    LONG expected = 0;
    for (LONG c : counts)
        expected += c;
    if (rebuilt.GetSize() == 1 && !withSound) {
        combined = rebuilt[0];
    } else if (!CreateUniqueFileName(folder, "ScreenRecover", ".avi", combined, FALSE)) {
        info.screenError = "no new file can be made in the recording's folder";
        dropRebuilt();
        return FALSE;
    } else if (rebuilt.GetSize() == 1) {
        if (!CRecordingFinisher::InterleaveAudio(rebuilt[0], sounds[0], combined, il, (int)ilRate, ilbf, NULL)) {
            ::DeleteFileA(combined);
            info.screenError = "the sound cannot be put into the rebuilt video";
            dropRebuilt();
            return FALSE;
        }
    } else {
        IRecordingJoiner* joiner = GetRecordingJoiner();
        RenderSettingsSource source = {};
        const DWORD compression = FindCompressor(codec);
        const bool dib = codec.IsEmpty() || codec.CompareNoCase("DIB") == 0;
        source.interleave = il;
        source.interleaveRate = (int)ilRate;
        source.interleaveByFrames = ilbf;
        source.compressorFourCC = dib ? mmioFOURCC('D', 'I', 'B', ' ') : compression;
        source.quality = 10000;
        source.keyFrameRate = 80;
        source.dataRate = 0;
        source.frameRate = (int)rate;
        source.frameScale = (int)scale;
        source.frameTime = 0;
        source.bitDepth = bpp;
        source.audioFormat = withSound && UsableAudioFormat(wf) ? &wf : NULL;
        source.videoCompressor = dib ? CString() : CString(kXrvcFilterName);
        CRecordSettings settings;
        FillRenderSettings(&settings, source);
        CStringArray noSound;
        if (!joiner || !joiner->JoinSegments(rebuilt, withSound ? sounds : noSound, combined, &settings)) {
            ::DeleteFileA(combined);
            info.screenError = joiner ? "the segments cannot be joined" : "no join is available";
            dropRebuilt();
            return FALSE;
        }
    }
    if (progress)
        progress(context, 95);

    // Checked before anything recorded goes: every frame there, at the rate.
    DWORD gotRate = 0, gotScale = 0;
    const LONG got = CountAviFrames(combined, &gotRate, &gotScale);
    if (got < expected || got <= 0 || (ULONGLONG)gotRate * scale != (ULONGLONG)rate * gotScale) {
        info.screenError.Format("the rebuilt file holds %ld of %ld frames at %lu/%lu (not %lu/%lu)", got, expected,
                                gotRate, gotScale, (unsigned long)rate, (unsigned long)scale);
        if (combined.CompareNoCase(rebuilt[0]) != 0)
            ::DeleteFileA(combined);
        dropRebuilt();
        return FALSE;
    }
    if (!MoveFileReplacing(combined, info.screenPath)) {
        info.screenError = LoadText(IDS_RECOVER_CANNOT_SAVE);
        info.screenError.Replace("%s", info.screenPath);
        info.screenMoveFailed = TRUE;
        if (combined.CompareNoCase(rebuilt[0]) != 0)
            ::DeleteFileA(combined);
        dropRebuilt();
        return FALSE;
    }
    for (INT_PTR i = 0; i < rebuilt.GetSize(); ++i) {
        if (rebuilt[i].CompareNoCase(combined) != 0)
            ::DeleteFileA(rebuilt[i]);
    }
    for (INT_PTR i = 1; i < segments.GetSize(); ++i)
        ::DeleteFileA(segments[i]);
    if (withSound) {
        for (INT_PTR i = 0; i < sounds.GetSize(); ++i)
            ::DeleteFileA(sounds[i]);
    }

    // The note now lists the rebuilt screen (and the camera file).
    std::unique_ptr<CRecordingData> next(new CRecordingData);
    CopyTracks(note, *next);
    next->SetVideoTrack(w, h, bpp, fps, withSound, codec, &wf, il, ilbf, ilRate);
    next->AddFile(info.screenPath, info.screenPath);
    next->SetVideoTrackName(info.screenPath);
    for (int i = 0; i < note.GetFileCount(); ++i) {
        const CString file = note.GetPackageFile(i);
        if (!info.cameraPath.IsEmpty() && file.CompareNoCase(info.cameraPath) == 0) {
            next->AddFile(file, file);
            next->SetCameraTrackName(file);
        }
        // Sound files that were not used stay listed (and in the folder).
        if (!withSound && ExtensionOf(file).CompareNoCase("wav") == 0 && FileExists(file))
            next->AddFile(file, file);
    }
    next->WriteManifestReplacing(folder + kNoteName);
    info.data = std::move(next);
    if (progress)
        progress(context, 100);
    return TRUE;
}

int RecoverScreen(RecoveryInfo& info)
{
    info.screenRecovered = FALSE;
    info.screenMoveFailed = FALSE;
    info.screenError.Empty();
    RunUnderDialog(info, IDS_RECOVER_SCREEN_TITLE, ScreenWorker);
    return info.screenRecovered ? 1 : 0;
}

// --- The camera

BOOL IndexCameraFile(RecoveryInfo& info, LPCSTR path)
{
    IndexerStatusCallback* callback = new IndexerStatusCallback(&info);
    callback->AddRef();
    if (!info.event)
        info.event = ::CreateEventA(NULL, TRUE, FALSE, NULL);
    IWMIndexer2* indexer = NULL;
    ::InterlockedExchange(&info.result, S_OK);
    BOOL ok = info.event && SUCCEEDED(CreateAsfIndexer(&indexer)) &&
              SUCCEEDED(indexer->Configure(0, WMT_IT_FRAME_NUMBERS, NULL, NULL));
    if (ok) {
        ::ResetEvent(info.event);
        ok = SUCCEEDED(indexer->StartIndexing(CStringW(path), callback, &info));
    }
    if (ok) {
        // Waits in slices; an indexer that reports nothing for minutes is
        // cancelled, and its end is still waited for.
        bool cancelled = false;
        while (::WaitForSingleObject(info.event, 100) == WAIT_TIMEOUT) {
            if (!cancelled && callback->SilentFor() > kIndexerSilenceMs) {
                indexer->Cancel();
                cancelled = true;
                ::InterlockedExchange(&info.result, E_ABORT);
            }
        }
        ok = SUCCEEDED(info.result);
    } else {
        ::InterlockedExchange(&info.result, E_FAIL);
    }
    if (indexer)
        indexer->Release();
    callback->Release();
    return ok;
}

int RecoverCamera(RecoveryInfo& info)
{
    if (info.cameraPath.IsEmpty() || !FileExists(info.cameraPath))
        return 0;
    const int check = CheckAsfFile(CStringW(info.cameraPath), NULL);
    if (check == 1 || check == 13)
        return 1;
    RunUnderDialog(info, IDS_RECOVER_CAMERA_TITLE, CameraWorker);
    // A camera file the repair cannot mend does not cost the screen: it is
    // kept as it is, and the user learns that the camera video is damaged.
    if (FAILED(info.result))
        ::InterlockedExchange(&info.state, 0);
    return 1;
}

// --- Saving

BOOL SaveRecoveredPackage(RecoveryInfo& info, LPCSTR outPath)
{
    const CString out(outPath);
    const CString folder = FolderOf(info.screenPath);
    const CString base = CutName(NameWithoutExtension(out.Mid(out.ReverseFind('\\') + 1)), 20);
    CRecordingData& note = *info.data;
    CRecordingData package;
    CopyTracks(note, package);
    const CString oldPaths[2] = { info.screenPath, info.cameraPath };
    CString newPaths[2];
    const char* suffixes[2] = { "_Screen.", "_Camera." };
    const char* streams[2] = { "Screen_Stream.avi", "Camera_Stream.wmv" };
    for (int i = 0; i < 2; ++i) {
        if (oldPaths[i].IsEmpty())
            continue;
        newPaths[i] = folder + base + suffixes[i] + ExtensionOf(oldPaths[i]);
        if (newPaths[i].CompareNoCase(oldPaths[i]) != 0 && !MoveFileReplacing(oldPaths[i], newPaths[i])) {
            CString text = LoadText(IDS_RECOVER_CANNOT_SAVE);
            text.Replace("%s", newPaths[i]);
            AfxMessageBox(text, MB_ICONEXCLAMATION);
            return FALSE;
        }
        // The note follows the move, so that a failure below loses nothing.
        note.RenameFile(oldPaths[i], newPaths[i]);
        if (i == 0) {
            info.screenPath = newPaths[i];
            package.SetVideoTrackName(streams[i]);
        } else {
            info.cameraPath = newPaths[i];
            package.SetCameraTrackName(streams[i]);
        }
        package.AddFile(newPaths[i], streams[i]);
    }
    note.WriteManifestReplacing(folder + kNoteName);
    const CString manifest = folder + base + ".skomanifest";
    if (!package.WriteManifest(manifest)) {
        ::DeleteFileA(manifest);
        return FALSE;
    }
    const BOOL written = package.WritePackage(out) && package.VerifyPackage(out);
    ::DeleteFileA(manifest);
    if (!written) {
        ::DeleteFileA(out);
        return FALSE;
    }
    for (int i = 0; i < 2; ++i) {
        if (!newPaths[i].IsEmpty())
            ::DeleteFileA(newPaths[i]);
    }
    return TRUE;
}

// --- The check

RecoveryInfo::RecoveryInfo()
    : state(1), result(S_OK), event(NULL), screenRecovered(FALSE), screenMoveFailed(FALSE), dialog(NULL)
{
}

RecoveryInfo::~RecoveryInfo()
{
    if (event)
        ::CloseHandle(event);
}

int MessageBoxRecoveryUi::AskYesNo(UINT textId)
{
    return AfxMessageBox(LoadText(textId), MB_YESNO | MB_ICONQUESTION | MB_TOPMOST);
}

BOOL MessageBoxRecoveryUi::AskFileName(BOOL package, CString& path)
{
    const CString filter = LoadText(package ? IDS_RECOVER_SKOREC_FILTER : IDS_RECOVER_AVI_FILTER);
    CLongFileDialog dialog(FALSE, package ? "skorec" : "avi", NULL, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, filter,
                           NULL, MAX_PATH);
    const CString title = LoadText(IDS_RECOVER_SAVE_AS);
    dialog.m_ofn.lpstrTitle = title;
    const CString folder = DefaultOutputFolder();
    if (!folder.IsEmpty())
        dialog.m_ofn.lpstrInitialDir = folder;
    if (dialog.DoModal() != IDOK)
        return FALSE;
    path = dialog.GetPathName();
    return !path.IsEmpty();
}

void MessageBoxRecoveryUi::ShowMessage(LPCSTR text, UINT type)
{
    AfxMessageBox(text, type);
}

HRESULT CheckAndRecoverLastRecording(RecoveryInfo& info, CString& outPath, BOOL skipWindowCheck, IRecoveryUi& ui)
{
    // 1. Another recorder runs: its recording is not ours to touch.
    if (!skipWindowCheck && ::FindWindowA(kRecorderClass, NULL))
        return 1;
    // 2. Where the last unfinished recording lies.
    outPath.Empty();
    CString folder = GetLastRecordingDir();
    if (folder.IsEmpty())
        return 1;
    AddTrailingBackslash(folder);
    // 3. Its note; a note that cannot be read stays for the next start.
    info.data.reset(new CRecordingData);
    if (!info.data->Load(folder + kNoteName))
        return E_FAIL;
    // 4. The media it names, inside its folder. Without the screen there is
    // nothing to rebuild; a missing camera file leaves the screen alone.
    info.screenPath = info.data->GetVideoTrackName();
    info.cameraPath = info.data->GetCameraTrackName();
    if (!info.cameraPath.IsEmpty() && !UsableListedFile(folder, info.cameraPath))
        info.cameraPath.Empty();
    if (info.screenPath.IsEmpty() && info.cameraPath.IsEmpty()) {
        SetLastRecordingDir("");
        return E_FAIL;
    }
    if (!info.screenPath.IsEmpty() && !UsableListedFile(folder, info.screenPath)) {
        SetLastRecordingDir("");
        return E_FAIL;
    }
    // A recording still being written is not interrupted: it is left alone.
    for (int i = 0; i < info.data->GetFileCount(); ++i) {
        const CString file = info.data->GetPackageFile(i);
        if (UsableListedFile(folder, file) && BeingWritten(file))
            return 1;
    }
    // 5, 6. Ask; the name of the recovered file.
    bool giveUp = false;
    if (ui.AskYesNo(IDS_RECOVER_ASK) != IDYES && ui.AskYesNo(IDS_RECOVER_CONFIRM_CANCEL) == IDYES)
        giveUp = true;
    while (!giveUp) {
        CString name;
        if (ui.AskFileName(info.data->IsPackage(), name)) {
            outPath = name;
            break;
        }
        if (ui.AskYesNo(IDS_RECOVER_CONFIRM_CANCEL) == IDYES)
            giveUp = true;
    }
    // 7. Given up: the recording's own files go, and nothing else.
    if (giveUp) {
        CStringArray files;
        for (int i = 0; i < info.data->GetFileCount(); ++i)
            files.Add(info.data->GetPackageFile(i));
        DeleteRecordingFiles(folder, files);
        SetLastRecordingDir("");
        outPath.Empty();
        return 1;
    }
    // 8. Rebuild. A failure keeps everything for the next start.
    const BOOL screenOk = info.screenPath.IsEmpty() || RecoverScreen(info);
    if (!screenOk && info.screenMoveFailed)
        ui.ShowMessage(info.screenError, MB_ICONEXCLAMATION);
    const BOOL cameraOk = screenOk && (info.cameraPath.IsEmpty() || RecoverCamera(info));
    if (!screenOk || !cameraOk)
        return E_FAIL;
    // 9. Save.
    info.data->WriteManifestReplacing(folder + kNoteName);
    BOOL saved = FALSE;
    if (info.data->IsPackage()) {
        saved = SaveRecoveredPackage(info, outPath);
    } else if (info.screenPath.CompareNoCase(outPath) == 0) {
        saved = TRUE;
    } else {
        saved = MoveFileReplacing(info.screenPath, outPath);
        if (!saved) {
            CString text = LoadText(IDS_RECOVER_CANNOT_SAVE);
            text.Replace("%s", outPath);
            ui.ShowMessage(text, MB_ICONEXCLAMATION);
        } else if (!info.cameraPath.IsEmpty()) {
            // A plain AVI holds the screen only: the camera file goes beside it.
            const CString beside = FolderOf(outPath) + NameWithoutExtension(outPath.Mid(outPath.ReverseFind('\\') + 1)) +
                                   "_Camera." + ExtensionOf(info.cameraPath);
            MoveFileReplacing(info.cameraPath, beside);
        }
    }
    if (!saved)
        return E_FAIL;
    CStringArray files;
    for (int i = 0; i < info.data->GetFileCount(); ++i) {
        if (info.data->GetPackageFile(i).CompareNoCase(outPath) != 0)
            files.Add(info.data->GetPackageFile(i));
    }
    DeleteRecordingFiles(folder, files);
    SetLastRecordingDir("");
    // 10. Tell the user.
    CString text;
    text.Format(IDS_RECOVER_DONE, outPath.GetString());
    if (info.state == 0)
        text += "\n" + LoadText(IDS_RECOVER_CAMERA_DAMAGED);
    ui.ShowMessage(text, MB_OK | MB_ICONINFORMATION);
    return S_OK;
}
