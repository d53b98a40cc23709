#include "media/RecordingData.h"

#include "framework/WinApp.h"
#include "media/ProgressDlg.h"
#include "resources/ids_finishing.h"
#include "settings/FileUtil.h"
#include "settings/StructuredStorage.h"
#include "settings/XmlNode.h"

#include <objbase.h>
#include <stdio.h>
#include <stdlib.h>

const char CRecordingData::kManifestStreamName[] = "manifest.skoxml";
const float CRecordingData::kVersion = 3.0f;

namespace {

const DWORD kPackageMode = STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE;   // 0x1012

void ClearFormat(WAVEFORMATEX& wf)
{
    memset(&wf, 0xFF, sizeof(wf));
}

void CopyFormat(WAVEFORMATEX& to, const WAVEFORMATEX* from)
{
    memcpy(&to, from, 16);
    to.cbSize = from->cbSize;
}

CStringW Wide(LPCSTR text)
{
    return CStringW(text);
}

// Reads a whole file into a zero-terminated string; false when it cannot be
// opened or fewer bytes come than its length.
bool ReadWholeFile(LPCSTR path, CString& text)
{
    HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const DWORD size = ::GetFileSize(file, NULL);
    bool ok = size != INVALID_FILE_SIZE;
    if (ok) {
        char* buffer = text.GetBuffer(static_cast<int>(size) + 1);
        DWORD read = 0;
        ok = ::ReadFile(file, buffer, size, &read, NULL) && read == size;
        text.ReleaseBuffer(ok ? static_cast<int>(size) : 0);
    }
    ::CloseHandle(file);
    return ok;
}

CString FileNamePart(const CString& path)
{
    const int slash = path.ReverseFind('\\');
    return slash < 0 ? path : path.Mid(slash + 1);
}

bool ReadInt(XmlNode& node, LPCSTR name, int& value)
{
    int position = 0;
    return node.ReadNumber(name, value, position, 2) != FALSE;
}

bool ReadText(XmlNode& node, LPCSTR name, CString& value)
{
    int position = 0;
    XmlNode found;
    if (!node.FindElement(name, found, position))
        return false;
    value = found.m_text;
    return true;
}

// A number written by the program's own "%f" may carry a decimal comma when
// it was written under another locale.
double ParseDecimal(CString text)
{
    text.Replace(',', '.');
    return strtod(text, NULL);
}

void ReadFormat(XmlNode& node, LPCSTR prefix, WAVEFORMATEX& wf)
{
    int v;
    CString name;
    name.Format("%sWFSize", prefix);
    if (ReadInt(node, name, v))
        wf.cbSize = static_cast<WORD>(v);
    name.Format("%sWFAvgBytesPerSec", prefix);
    if (ReadInt(node, name, v))
        wf.nAvgBytesPerSec = static_cast<DWORD>(v);
    name.Format("%sWFBlockAlign", prefix);
    if (ReadInt(node, name, v))
        wf.nBlockAlign = static_cast<WORD>(v);
    name.Format("%sWFChannels", prefix);
    if (ReadInt(node, name, v))
        wf.nChannels = static_cast<WORD>(v);
    name.Format("%sWFSamplesPerSec", prefix);
    if (ReadInt(node, name, v))
        wf.nSamplesPerSec = static_cast<DWORD>(v);
    name.Format("%sWFBitsPerSample", prefix);
    if (ReadInt(node, name, v))
        wf.wBitsPerSample = static_cast<WORD>(v);
    name.Format("%sWFFormatTag", prefix);
    if (ReadInt(node, name, v))
        wf.wFormatTag = static_cast<WORD>(v);
}

}  // namespace

CRecordingData::CRecordingData()
    : m_storage(NULL),
      m_progress(NULL),
      m_isPackage(1),
      m_videoWidth(0),
      m_videoHeight(0),
      m_videoBpp(0),
      m_videoFps(0.0),
      m_videoHasAudio(0),
      m_videoInterleave(1),
      m_videoInterleaveBF(0),
      m_videoInterleaveRate(1),
      m_audioIsSeparate(0),
      m_cameraWidth(0),
      m_cameraHeight(0),
      m_cameraBpp(0),
      m_cameraFps(0.0),
      m_cameraHasAudio(0),
      m_cameraInterleave(1),
      m_cameraInterleaveBF(0),
      m_cameraInterleaveRate(1),
      m_packageComplete(0)
{
    ClearFormat(m_videoAudioFormat);
    ClearFormat(m_cameraAudioFormat);
}

CRecordingData::~CRecordingData()
{
    delete m_storage;
    delete m_progress;
}

void CRecordingData::AddFile(LPCSTR path, LPCSTR name)
{
    m_packageFiles.Add(path);
    m_manifestFiles.Add(name);
}

int CRecordingData::RenameFile(LPCSTR oldPath, LPCSTR newPath)
{
    int renamed = 0;
    CStringArray* lists[] = { &m_packageFiles, &m_manifestFiles };
    for (CStringArray* list : lists) {
        for (INT_PTR i = 0; i < list->GetSize(); ++i) {
            if ((*list)[i].CompareNoCase(oldPath) == 0) {
                (*list)[i] = newPath;
                ++renamed;
            }
        }
    }
    CString* tracks[] = { &m_videoTrackName, &m_cameraTrackName, &m_audioTrackName };
    for (CString* track : tracks) {
        if (track->CompareNoCase(oldPath) == 0) {
            *track = newPath;
            ++renamed;
        }
    }
    return renamed;
}

void CRecordingData::SetVideoTrack(int width, int height, int bitsPerPixel, double fps, BOOL hasAudio,
                                   LPCSTR codec, const WAVEFORMATEX* audioFormat, int interleave,
                                   int interleaveByFrames, UINT interleaveRate)
{
    m_videoWidth = width;
    m_videoHeight = height;
    m_videoBpp = bitsPerPixel;
    m_videoFps = fps;
    m_videoHasAudio = hasAudio;
    m_videoCodec = codec ? codec : "";
    if (audioFormat)
        CopyFormat(m_videoAudioFormat, audioFormat);
    m_videoInterleave = interleave;
    m_videoInterleaveBF = interleaveByFrames;
    m_videoInterleaveRate = interleaveRate;
}

void CRecordingData::SetCameraTrack(int width, int height, int bitsPerPixel, double fps, BOOL hasAudio,
                                    LPCSTR codec, LPCSTR profile, const WAVEFORMATEX* audioFormat,
                                    int interleave, int interleaveByFrames, UINT interleaveRate)
{
    m_cameraWidth = width;
    m_cameraHeight = height;
    m_cameraBpp = bitsPerPixel;
    m_cameraFps = fps;
    m_cameraHasAudio = hasAudio;
    m_cameraCodec = codec ? codec : "";
    m_cameraProfile = profile ? profile : "";
    if (audioFormat)
        CopyFormat(m_cameraAudioFormat, audioFormat);
    m_cameraInterleave = interleave;
    m_cameraInterleaveBF = interleaveByFrames;
    m_cameraInterleaveRate = interleaveRate;
}

void CRecordingData::GetVideoTrack(int* width, int* height, int* bitsPerPixel, double* fps,
                                   BOOL* hasAudio, CString* codec, WAVEFORMATEX* audioFormat,
                                   int* interleave, int* interleaveByFrames, UINT* interleaveRate) const
{
    if (width) *width = m_videoWidth;
    if (height) *height = m_videoHeight;
    if (bitsPerPixel) *bitsPerPixel = m_videoBpp;
    if (fps) *fps = m_videoFps;
    if (hasAudio) *hasAudio = m_videoHasAudio;
    if (codec) *codec = m_videoCodec;
    if (audioFormat) *audioFormat = m_videoAudioFormat;
    if (interleave) *interleave = m_videoInterleave;
    if (interleaveByFrames) *interleaveByFrames = m_videoInterleaveBF;
    if (interleaveRate) *interleaveRate = m_videoInterleaveRate;
}

void CRecordingData::GetCameraTrack(int* width, int* height, int* bitsPerPixel, double* fps,
                                    BOOL* hasAudio, CString* codec, CString* profile,
                                    WAVEFORMATEX* audioFormat, int* interleave, int* interleaveByFrames,
                                    UINT* interleaveRate) const
{
    if (width) *width = m_cameraWidth;
    if (height) *height = m_cameraHeight;
    if (bitsPerPixel) *bitsPerPixel = m_cameraBpp;
    if (fps) *fps = m_cameraFps;
    if (hasAudio) *hasAudio = m_cameraHasAudio;
    if (codec) *codec = m_cameraCodec;
    if (profile) *profile = m_cameraProfile;
    if (audioFormat) *audioFormat = m_cameraAudioFormat;
    if (interleave) *interleave = m_cameraInterleave;
    if (interleaveByFrames) *interleaveByFrames = m_cameraInterleaveBF;
    if (interleaveRate) *interleaveRate = m_cameraInterleaveRate;
}

void CRecordingData::AppendBookmarks(const RecordingBookmarkList& list)
{
    if (&list == &m_bookmarks)
        return;
    m_bookmarks.insert(m_bookmarks.end(), list.begin(), list.end());
}

void CRecordingData::GetBookmarks(RecordingBookmarkList& list) const
{
    if (&list == &m_bookmarks)
        return;
    list.insert(list.end(), m_bookmarks.begin(), m_bookmarks.end());
}

void CRecordingData::FormatTrack(CString& out, LPCSTR prefix, const CString& name, int width,
                                 int height, int bpp, double fps, BOOL hasAudio, const CString& codec,
                                 const CString* profile, int interleave, int interleaveBF,
                                 UINT interleaveRate, const WAVEFORMATEX& wf)
{
    XmlNode xml;
    CString tag;
    CString text;
    tag.Format("%sTrackName", prefix);
    xml.WriteValue(tag, 1, name);
    tag.Format("%sTrackWidth", prefix);
    xml.WriteValue(tag, 2, width);
    tag.Format("%sTrackHeight", prefix);
    xml.WriteValue(tag, 2, height);
    tag.Format("%sTrackBPP", prefix);
    xml.WriteValue(tag, 2, bpp);
    tag.Format("%sTrackFPS", prefix);
    text.Format("%f", fps);
    xml.WriteValue(tag, 1, text);
    tag.Format("%sTrackHasAudio", prefix);
    xml.WriteValue(tag, 2, static_cast<int>(hasAudio));
    tag.Format("%sTrackCodec", prefix);
    xml.WriteValue(tag, 1, codec);
    if (profile) {
        tag.Format("%sTrackProfile", prefix);
        xml.WriteValue(tag, 1, *profile);
    }
    tag.Format("%sInterleave", prefix);
    xml.WriteValue(tag, 2, interleave);
    tag.Format("%sInterleaveBF", prefix);
    xml.WriteValue(tag, 2, interleaveBF);
    tag.Format("%sInterleaveRate", prefix);
    xml.WriteValue(tag, 4, interleaveRate);
    tag.Format("%sWFSize", prefix);
    xml.WriteValue(tag, 2, static_cast<int>(wf.cbSize));
    tag.Format("%sWFAvgBytesPerSec", prefix);
    xml.WriteValue(tag, 2, static_cast<int>(wf.nAvgBytesPerSec));
    tag.Format("%sWFBlockAlign", prefix);
    xml.WriteValue(tag, 2, static_cast<int>(wf.nBlockAlign));
    tag.Format("%sWFChannels", prefix);
    xml.WriteValue(tag, 2, static_cast<int>(wf.nChannels));
    tag.Format("%sWFSamplesPerSec", prefix);
    xml.WriteValue(tag, 2, static_cast<int>(wf.nSamplesPerSec));
    tag.Format("%sWFBitsPerSample", prefix);
    xml.WriteValue(tag, 2, static_cast<int>(wf.wBitsPerSample));
    tag.Format("%sWFFormatTag", prefix);
    xml.WriteValue(tag, 2, static_cast<int>(wf.wFormatTag));
    out += xml.m_text;
}

CString CRecordingData::BuildManifest() const
{
    XmlNode xml;
    xml.m_text = "<?xml version=\"1.0\"?>\n";
    CString root;
    root.Format("<Recording_Data Version=\"%.2f\">\n", static_cast<double>(kVersion));
    xml.m_text += root;
    xml.WriteValue("RecordingIsSkorec", 2, static_cast<int>(m_isPackage));
    xml.WriteValue("AudioIsSeperate", 2, static_cast<int>(m_audioIsSeparate));
    xml.WriteOpenTag("RecFiles_Array");
    for (INT_PTR i = 0; i < m_manifestFiles.GetSize(); ++i) {
        xml.WriteOpenTag("RecFiles_Array_Object");
        xml.WriteValue("FileName", 1, m_manifestFiles[i]);
        xml.WriteCloseTag("RecFiles_Array_Object");
    }
    xml.WriteCloseTag("RecFiles_Array");
    xml.WriteOpenTag("RecTracks_Array");
    xml.WriteOpenTag("Video_Track");
    FormatTrack(xml.m_text, "Video", m_videoTrackName, m_videoWidth, m_videoHeight, m_videoBpp,
                m_videoFps, m_videoHasAudio, m_videoCodec, NULL, m_videoInterleave, m_videoInterleaveBF,
                m_videoInterleaveRate, m_videoAudioFormat);
    xml.WriteCloseTag("Video_Track");
    xml.WriteOpenTag("Camera_Track");
    FormatTrack(xml.m_text, "Camera", m_cameraTrackName, m_cameraWidth, m_cameraHeight, m_cameraBpp,
                m_cameraFps, m_cameraHasAudio, m_cameraCodec, &m_cameraProfile, m_cameraInterleave,
                m_cameraInterleaveBF, m_cameraInterleaveRate, m_cameraAudioFormat);
    xml.WriteCloseTag("Camera_Track");
    xml.WriteOpenTag("Audio_Track");
    xml.WriteValue("AudioTrackName", 1, m_audioTrackName);
    xml.WriteCloseTag("Audio_Track");
    xml.WriteCloseTag("RecTracks_Array");
    xml.WriteOpenTag("Bookmark_Array");
    for (size_t i = 0; i < m_bookmarks.size(); ++i) {
        xml.WriteOpenTag("Bookmark_Array_Object");
        xml.WriteValue("Start", 9, static_cast<unsigned int>(m_bookmarks[i].start));
        xml.WriteValue("Text", 1, m_bookmarks[i].text);
        xml.WriteCloseTag("Bookmark_Array_Object");
    }
    xml.WriteCloseTag("Bookmark_Array");
    xml.WriteCloseTag("Recording_Data");
    CString text = xml.m_text;
    text.Replace("\n", "\r\n");
    return text;
}

bool CRecordingData::WriteManifest(LPCSTR path)
{
    const CString text = BuildManifest();
    HANDLE file = ::CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, text.GetString(), static_cast<DWORD>(text.GetLength()), &written, NULL);
    ::CloseHandle(file);
    if (!ok || written != static_cast<DWORD>(text.GetLength())) {
        ::DeleteFileA(path);
        return false;
    }
    m_manifestPath = path;
    return true;
}

bool CRecordingData::WriteManifestReplacing(LPCSTR path)
{
    const CString temporary = CString(path) + ".tmp";
    if (!WriteManifest(temporary)) {
        ::DeleteFileA(temporary);
        return false;
    }
    if (!::MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING)) {
        ::DeleteFileA(temporary);
        return false;
    }
    m_manifestPath = path;
    return true;
}

bool CRecordingData::Load(LPCSTR path)
{
    CString text;
    if (!ReadWholeFile(path, text))
        return false;
    SplitPath(path, &m_folder, &m_manifestPath);
    return Parse(text);
}

bool CRecordingData::Parse(const CString& text)
{
    XmlNode doc(text);
    CString version;
    int position = 0;
    if (!doc.FindAttribute("Recording_Data Version", version, position))
        return false;
    version.Replace(',', '.');
    float number = 0.0f;
    if (sscanf(version, "%f", &number) != 1)
        number = 0.0f;
    if (number < kVersion) {
        AfxMessageBox(IDS_MANIFEST_BAD_VERSION, MB_ICONERROR);
        return false;
    }
    if (number > kVersion) {
        AfxMessageBox(IDS_MANIFEST_TOO_NEW, MB_ICONERROR);
        return false;
    }
    int flag;
    if (ReadInt(doc, "RecordingIsSkorec", flag))
        m_isPackage = flag;
    if (ReadInt(doc, "AudioIsSeperate", flag))
        m_audioIsSeparate = flag;

    XmlNode files;
    position = 0;
    if (!doc.FindElement("RecFiles_Array", files, position))
        return false;
    XmlNode object;
    position = 0;
    while (files.FindElement("RecFiles_Array_Object", object, position)) {
        CString name;
        ReadText(object, "FileName", name);
        m_packageFiles.Add(name);
        m_manifestFiles.Add(name);
    }

    XmlNode tracks;
    position = 0;
    if (!doc.FindElement("RecTracks_Array", tracks, position))
        return false;
    CString videoName, cameraName, audioName;
    XmlNode track;
    position = 0;
    if (tracks.FindElement("Video_Track", track, position)) {
        ReadText(track, "VideoTrackName", videoName);
        ReadInt(track, "VideoTrackWidth", m_videoWidth);
        ReadInt(track, "VideoTrackHeight", m_videoHeight);
        ReadInt(track, "VideoTrackBPP", m_videoBpp);
        ReadInt(track, "VideoTrackHasAudio", m_videoHasAudio);
        ReadInt(track, "VideoInterleave", m_videoInterleave);
        ReadInt(track, "VideoInterleaveBF", m_videoInterleaveBF);
        int p = 0;
        track.ReadNumber("VideoInterleaveRate", m_videoInterleaveRate, p, 4);
        CString fps;
        if (ReadText(track, "VideoTrackFPS", fps))
            m_videoFps = ParseDecimal(fps);
        ReadText(track, "VideoTrackCodec", m_videoCodec);
        ReadFormat(track, "Video", m_videoAudioFormat);
    } else {
        ReadText(tracks, "VideoTrackName", videoName);
    }
    position = 0;
    if (tracks.FindElement("Camera_Track", track, position)) {
        ReadText(track, "CameraTrackName", cameraName);
        ReadInt(track, "CameraTrackWidth", m_cameraWidth);
        ReadInt(track, "CameraTrackHeight", m_cameraHeight);
        ReadInt(track, "CameraTrackBPP", m_cameraBpp);
        ReadInt(track, "CameraTrackHasAudio", m_cameraHasAudio);
        ReadInt(track, "CameraInterleave", m_cameraInterleave);
        ReadInt(track, "CameraInterleaveBF", m_cameraInterleaveBF);
        int p = 0;
        track.ReadNumber("CameraInterleaveRate", m_cameraInterleaveRate, p, 4);
        CString fps;
        if (ReadText(track, "CameraTrackFPS", fps))
            m_cameraFps = ParseDecimal(fps);
        ReadText(track, "CameraTrackCodec", m_cameraCodec);
        ReadText(track, "CameraTrackProfile", m_cameraProfile);
        ReadFormat(track, "Camera", m_cameraAudioFormat);
    } else {
        ReadText(tracks, "CameraTrackName", cameraName);
    }
    position = 0;
    if (tracks.FindElement("Audio_Track", track, position))
        ReadText(track, "AudioTrackName", audioName);
    m_videoTrackName = videoName;
    m_cameraTrackName = cameraName;
    m_audioTrackName = audioName;

    XmlNode marks;
    position = 0;
    if (!doc.FindElement("Bookmark_Array", marks, position))
        return false;
    m_bookmarks.clear();
    position = 0;
    while (marks.FindElement("Bookmark_Array_Object", object, position)) {
        unsigned int start = 0;
        int p = 0;
        if (!object.ReadNumber("Start", start, p, 9))
            continue;
        RecordingBookmark mark;
        mark.start = start;
        ReadText(object, "Text", mark.text);
        m_bookmarks.push_back(mark);
    }
    return true;
}

std::string CRecordingData::CountedUtf16(const CString& text)
{
    const CStringW wide(text);
    const DWORD bytes = static_cast<DWORD>(wide.GetLength()) * 2 + 2;
    std::string out(reinterpret_cast<const char*>(&bytes), 4);
    out.append(reinterpret_cast<const char*>(wide.GetString()), bytes);
    return out;
}

DWORD CRecordingData::CopyChunkSize(ULONGLONG total)
{
    const ULONGLONG chunk = total / 100;
    if (chunk < 4096)
        return 4096;
    return chunk > 0x10000000 ? 0x10000000 : static_cast<DWORD>(chunk);
}

bool CRecordingData::WritePackage(LPCSTR packagePath)
{
    if (!packagePath || !*packagePath || m_packageFiles.GetSize() == 0)
        return false;
    delete m_storage;
    m_storage = new CStructuredStorage;
    if (!m_storage->Create(Wide(packagePath), kPackageMode))
        return false;
    IStream* manifest = NULL;
    if (!m_storage->CreateStream(&manifest, Wide(kManifestStreamName), kPackageMode) || !manifest)
        return false;
    bool manifestOk = false;
    CString text;
    if (ReadWholeFile(m_manifestPath, text)) {
        const std::string counted = CountedUtf16(text);
        ULONG written = 0;
        manifestOk = SUCCEEDED(manifest->Write(counted.data(), static_cast<ULONG>(counted.size()), &written)) &&
                     written == counted.size();
    }
    manifest->Release();

    ::InterlockedExchange(&m_packageComplete, 0);
    m_progress = new CProgressDlg(NULL);
    m_progress->SetWorker(PackageWorker, this);
    m_progress->DoModal();

    delete m_storage;   // releases the root storage and so closes the file
    m_storage = NULL;
    delete m_progress;
    m_progress = NULL;
    return manifestOk && ::InterlockedCompareExchange(&m_packageComplete, 0, 0) != 0;
}

UINT AFX_CDECL CRecordingData::PackageWorker(LPVOID param)
{
    CRecordingData* data = static_cast<CRecordingData*>(param);
    ::CoInitialize(NULL);
    CProgressDlg* dialog = data->m_progress;
    CString title;
    title.LoadString(IDS_PROCESSING_RECORDING);
    dialog->SetTitle(title);
    dialog->SetStatusText(title);
    dialog->SetProgress(100, 0);
    ::ShowWindow(dialog->m_hWnd, SW_SHOWNORMAL);
    ::SetForegroundWindow(dialog->m_hWnd);
    const bool ok = data->CopyMediaIntoPackage(dialog);
    ::InterlockedExchange(&data->m_packageComplete, ok ? 1 : 0);
    ::CoUninitialize();
    // A failed copy ends the dialog too: nothing else would close it.
    ::PostMessageA(dialog->m_hWnd, ok ? WM_PROGRESS_END_OK : WM_PROGRESS_END_CANCEL, 0, 0);
    return 0;
}

// Copies every media file into its stream in chunks of a hundredth of the
// total. A file that cannot be read, a stream that cannot be created and a
// short or failed write end the copy with false: the caller must not take the
// package for a complete one.
bool CRecordingData::CopyMediaIntoPackage(CProgressDlg* dialog)
{
    CStringArray paths;
    paths.Copy(m_packageFiles);
    CStringArray names;
    names.Copy(m_manifestFiles);
    if (!m_storage)
        return false;
    ULONGLONG total = 0;
    for (INT_PTR i = 0; i < paths.GetSize(); ++i)
        total += GetFileSize64(paths[i], 0);
    const DWORD chunk = CopyChunkSize(total);
    std::vector<BYTE> buffer(chunk);
    ULONGLONG done = 0;
    for (INT_PTR i = 0; i < paths.GetSize(); ++i) {
        IStream* stream = NULL;
        const CString name = FileNamePart(names[i]);
        if (!m_storage->CreateStream(&stream, Wide(name), kPackageMode) || !stream)
            return false;
        HANDLE file = ::CreateFileA(paths[i], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
        if (file == INVALID_HANDLE_VALUE) {
            stream->Release();
            return false;
        }
        const ULONGLONG length = GetFileSize64(paths[i], 0);
        ULONGLONG copied = 0;
        bool ok = true;
        while (ok && copied < length) {
            const DWORD n = static_cast<DWORD>(length - copied < chunk ? length - copied : chunk);
            DWORD read = 0;
            ULONG written = 0;
            ok = ::ReadFile(file, buffer.data(), n, &read, NULL) && read == n &&
                 SUCCEEDED(stream->Write(buffer.data(), n, &written)) && written == n;
            if (!ok)
                break;
            copied += written;
            done += written;
            const int percent = total ? static_cast<int>(done * 100 / total) : 100;
            if (dialog) {
                dialog->SetProgress(100, percent);
                CString status;
                status.Format(IDS_PROCESSING_PERCENT, percent);
                dialog->SetStatusText(status);
            }
        }
        ::CloseHandle(file);
        stream->Release();
        if (!ok)
            return false;
    }
    return true;
}

bool CRecordingData::VerifyPackage(LPCSTR packagePath) const
{
    CStructuredStorage storage;
    if (!storage.Open(Wide(packagePath), STGM_READ | STGM_SHARE_EXCLUSIVE))
        return false;
    IStream* stream = NULL;
    if (!storage.OpenStream(&stream, Wide(kManifestStreamName), STGM_READ | STGM_SHARE_EXCLUSIVE) || !stream)
        return false;
    stream->Release();
    for (INT_PTR i = 0; i < m_packageFiles.GetSize(); ++i) {
        stream = NULL;
        if (!storage.OpenStream(&stream, Wide(FileNamePart(m_manifestFiles[i])),
                                STGM_READ | STGM_SHARE_EXCLUSIVE) || !stream)
            return false;
        STATSTG stat = {};
        const HRESULT hr = stream->Stat(&stat, STATFLAG_NONAME);
        stream->Release();
        if (FAILED(hr) || stat.cbSize.QuadPart != GetFileSize64(m_packageFiles[i], ~0ULL))
            return false;
    }
    return true;
}
