#include "media/RecordingOutput.h"

#include "framework/WinApp.h"
#include "media/RecordingData.h"
#include "resources/ids_finishing.h"
#include "settings/FileUtil.h"
#include "settings/PathUtil.h"
#include "settings/RecorderPrefs.h"

#include <shlobj.h>

namespace {

const char kRecoveryNote[] = "RecInfo.xml";

bool IsWindows9x()
{
    return (::GetVersion() & 0x80000000) != 0;
}

BOOL MoveReplacing(LPCSTR from, LPCSTR to)
{
    if (IsWindows9x()) {
        ::DeleteFileA(to);
        return ::MoveFileA(from, to);
    }
    return ::MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
}

CString Extension(const CString& path)
{
    CString name, extension;
    SplitFileExtension(GetFileNameFromPath(path), &name, &extension);
    return extension;
}

CString NameWithoutExtension(const CString& fileName)
{
    const int dot = fileName.ReverseFind('.');
    return dot < 0 ? fileName : fileName.Left(dot);
}

CString FolderOf(const CString& path)
{
    const int slash = path.ReverseFind('\\');
    return slash < 0 ? CString() : path.Left(slash + 1);
}

void WaitCursor(HCURSOR* old)
{
    *old = ::SetCursor(::LoadCursor(NULL, IDC_WAIT));
}

void AnnounceToShell(LPCSTR path)
{
    ::SHChangeNotify(SHCNE_UPDATEITEM, SHCNF_PATHA, path, NULL);
}

ShellNotifier g_shellNotifier = AnnounceToShell;

// Points the recovery note at media that were moved; a missing or unreadable
// note is left alone.
void RenameInRecoveryNote(const CString& note, const CString* oldPaths, const CStringArray& newPaths)
{
    if (::GetFileAttributesA(note) == INVALID_FILE_ATTRIBUTES)
        return;
    CRecordingData data;
    if (!data.Load(note))
        return;
    int renamed = 0;
    for (INT_PTR i = 0; i < newPaths.GetSize() && i < 2; ++i) {
        if (!oldPaths[i].IsEmpty() && oldPaths[i].CompareNoCase(newPaths[i]) != 0)
            renamed += data.RenameFile(oldPaths[i], newPaths[i]);
    }
    if (renamed)
        data.WriteManifestReplacing(note);
}

// The camera track of a manifest, from the recording's camera settings.
void SetCameraTrackOf(CRecordingData& data, const CRecorderPrefs& prefs, const RecordingTrackInfo& info, double fps)
{
    CString defaultCodec;
    defaultCodec.LoadString(IDS_DEFAULT_CODEC);
    CString profile;
    if (info.cameraCodec.CompareNoCase(defaultCodec) == 0)
        profile = prefs.m_recordAudio ? info.cameraProfileWithAudio : info.cameraProfileWithoutAudio;
    data.SetCameraTrack(info.cameraWidth, info.cameraHeight, info.cameraBitCount, fps, prefs.m_recordAudio,
                        info.cameraCodec, profile, NULL, 1, 0, 1);
}

double TrackRate(const CRecorderPrefs& prefs)
{
    const DWORD rate = prefs.m_captureRate.m_nRate;
    const DWORD scale = prefs.m_captureRate.m_nScale ? prefs.m_captureRate.m_nScale : 1;
    if (!prefs.m_timeLapse)
        return static_cast<double>(rate / scale);
    return static_cast<double>(rate) / scale;
}

// Where the engine lists its camera file: after the screen file, under a
// "_Camera." name; -1 when no file is listed so.
INT_PTR CameraFileIndex(const CStringArray& files)
{
    for (INT_PTR i = files.GetSize() - 1; i >= 1; --i) {
        const CString& file = files[i];
        const int slash = file.ReverseFind('\\');
        if (file.Mid(slash + 1).Find("_Camera.") >= 0)
            return i;
    }
    return -1;
}

// The camera file the engine recorded: listed after the screen file under a
// "_Camera." name, present and not empty. Anything else means no camera
// stream (a camera that never started, or a file lost since).
// Runs once per save, before any file of the recording moves.
CString RecordedCameraFile(const CStringArray& files)
{
    const INT_PTR i = CameraFileIndex(files);
    if (i >= 0) {
        const CString& file = files[i];
        WIN32_FILE_ATTRIBUTE_DATA attributes;
        if (!::GetFileAttributesExA(file, GetFileExInfoStandard, &attributes) ||
            (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return CString();
        // An empty camera file holds nothing; it goes, so that the
        // recording's folder can be removed after the save.
        if (attributes.nFileSizeLow == 0 && attributes.nFileSizeHigh == 0) {
            ::DeleteFileA(file);
            return CString();
        }
        return file;
    }
    return CString();
}

// The package mode: media renamed after the output, manifest, package in the
// temporary folder, checked, moved into place; the temporary folder is
// cleared only after a package that checks out is in place.
int WritePackageOutput(CString& outputPath, CStringArray& mediaList, const CRecorderPrefs& prefs,
                       const RecordingTrackInfo& info, const CDWordArray* bookmarks, IRecordingOutputHost* host)
{
    // The names the recovery note knows the media by, before any rename.
    const BOOL noteWithCamera = prefs.m_recordCamera && mediaList.GetSize() > 1;
    const CString noteNames[2] = { mediaList[0], noteWithCamera ? mediaList[mediaList.GetSize() - 1] : CString() };
    for (;;) {
        CRecordingData data;
        data.SetIsPackage(prefs.m_createSkoRecFile);
        if (bookmarks) {
            RecordingBookmarkList marks;
            for (INT_PTR i = 0; i < bookmarks->GetSize(); ++i)
                marks.push_back({ CString(), (*bookmarks)[i] });
            data.AppendBookmarks(marks);
        }
        const CString screen = mediaList[0];
        const BOOL withCamera = prefs.m_recordCamera && mediaList.GetSize() > 1;
        const CString camera = withCamera ? mediaList[mediaList.GetSize() - 1] : CString();
        const CString folder = FolderOf(screen);
        CString outputFolder, outputName;
        SplitPath(outputPath, &outputFolder, &outputName);
        const CString base = CutName(NameWithoutExtension(outputName), 20);

        // Rename the media after the output; every move is checked, and the
        // list always names the files where they are.
        bool ok = true;
        mediaList.RemoveAll();
        const CString sources[2] = { screen, camera };
        for (int i = 0; i < (withCamera ? 2 : 1); ++i) {
            const CString newPath = folder + base + (i == 0 ? "_Screen." : "_Camera.") + Extension(sources[i]);
            if (ok && sources[i].CompareNoCase(newPath) != 0 && !MoveReplacing(sources[i], newPath))
                ok = false;
            const CString& now = ok ? newPath : sources[i];
            mediaList.Add(now);
            if (i == 0) {
                data.AddFile(now, "Screen_Stream.avi");
                data.SetVideoTrackName("Screen_Stream.avi");
            } else {
                data.AddFile(now, "Camera_Stream.wmv");
                data.SetCameraTrackName("Camera_Stream.wmv");
                SetCameraTrackOf(data, prefs, info, TrackRate(prefs));
            }
        }

        // The temporary manifest carries a name of its own, so that it can
        // never be the target itself.
        CString manifest = folder + NameWithoutExtension(outputName) + ".skomanifest";
        const CString target = outputFolder + outputName;
        if (manifest.CompareNoCase(target) == 0)
            manifest += "_";
        ok = ok && data.WriteManifest(manifest);
        HCURSOR oldCursor = NULL;
        if (ok) {
            const CString temporary = folder + outputName + "_Temp";
            ok = data.WritePackage(temporary);
            WaitCursor(&oldCursor);
            if (ok && !MoveReplacing(temporary, target))
                ok = false;
            ::DeleteFileA(temporary);
            if (ok && !data.VerifyPackage(target)) {
                ::DeleteFileA(target);
                ok = false;
            }
        }
        if (ok) {
            ::DeleteFileA(manifest);
            for (INT_PTR i = 0; i < mediaList.GetSize(); ++i)
                ::DeleteFileA(mediaList[i]);
            ::DeleteFileA(folder + kRecoveryNote);
            ::RemoveDirectoryA(folder);
            if (host)
                host->SetLastRecordingDir("");
            if (oldCursor)
                ::SetCursor(oldCursor);
            return 1;
        }
        if (oldCursor)
            ::SetCursor(oldCursor);
        const CString retryName = NameWithoutExtension(outputName) + "(1)." + Extension(outputName);
        CString question;
        question.Format(IDS_PACKAGE_RETRY, retryName.GetString());
        if (AfxMessageBox(question, MB_YESNO | MB_ICONQUESTION) != IDYES) {
            // The recording stays for recovery: its note names the media
            // where they now lie.
            RenameInRecoveryNote(folder + kRecoveryNote, noteNames, mediaList);
            return 0;
        }
        ::DeleteFileA(manifest);
        outputPath = outputFolder + retryName;
    }
}

}  // namespace

CString DefaultOutputFolder()
{
    // The user's own videos folder, or documents where there is none; the
    // shell creates it when it is missing.
    const int folders[] = { CSIDL_MYVIDEO, CSIDL_PERSONAL };
    for (int id : folders) {
        char path[MAX_PATH] = "";
        if (SUCCEEDED(::SHGetFolderPathA(NULL, id | CSIDL_FLAG_CREATE, NULL, SHGFP_TYPE_CURRENT, path)) && path[0] &&
            ::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
            return CString(path);
    }
    return CString();
}

void SetShellNotifier(ShellNotifier notifier)
{
    g_shellNotifier = notifier ? notifier : AnnounceToShell;
}

CString CutName(const CString& name, int maxBytes)
{
    if (name.GetLength() <= maxBytes)
        return name;
    int end = 0;
    const char* text = name.GetString();
    while (end < maxBytes) {
        const int step = ::IsDBCSLeadByte(static_cast<BYTE>(text[end])) && text[end + 1] ? 2 : 1;
        if (end + step > maxBytes)
            break;
        end += step;
    }
    return name.Left(end);
}

BOOL IsInsideFolder(LPCSTR folder, LPCSTR path)
{
    char fullFolder[MAX_PATH];
    char fullPath[MAX_PATH];
    if (!folder || !*folder || !path || !*path)
        return FALSE;
    const DWORD folderLength = ::GetFullPathNameA(folder, MAX_PATH, fullFolder, NULL);
    const DWORD pathLength = ::GetFullPathNameA(path, MAX_PATH, fullPath, NULL);
    if (!folderLength || folderLength >= MAX_PATH || !pathLength || pathLength >= MAX_PATH)
        return FALSE;
    CString base(fullFolder);
    AddTrailingBackslash(base);
    const CString full(fullPath);
    if (full.GetLength() <= base.GetLength())
        return FALSE;
    return ::CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, base, base.GetLength(), full,
                            base.GetLength()) == CSTR_EQUAL;
}

int DeleteRecordingFiles(LPCSTR folder, const CStringArray& files)
{
    int refused = 0;
    for (INT_PTR i = 0; i < files.GetSize(); ++i) {
        if (IsInsideFolder(folder, files[i]))
            ::DeleteFileA(files[i]);
        else
            ++refused;
    }
    CString note(folder);
    AddTrailingBackslash(note);
    ::DeleteFileA(note + kRecoveryNote);
    ::RemoveDirectoryA(folder);
    return refused;
}

int WriteRecordingPackage(CString& outputPath, CStringArray& mediaList, const CRecorderPrefs& prefs,
                          const RecordingTrackInfo& info, const CDWordArray* bookmarks, bool packageMode,
                          IRecordingOutputHost* host)
{
    if (mediaList.GetSize() == 0 || (prefs.m_fileType != 0 && prefs.m_fileType != 1))
        return 0;
    if (packageMode)
        return outputPath.IsEmpty() ? 0 : WritePackageOutput(outputPath, mediaList, prefs, info, bookmarks, host);

    CRecordingData data;
    data.SetIsPackage(prefs.m_createSkoRecFile);
    const BOOL separate = !prefs.m_recordCamera;
    data.SetAudioIsSeparate(separate);
    if (separate) {
        // The sound track is the recording's sound file: the first ".wav"
        // after the screen file. A recording without one names none (the
        // screen file is no sound track).
        for (INT_PTR i = 1; i < mediaList.GetSize(); ++i) {
            if (Extension(mediaList[i]).CompareNoCase("wav") == 0) {
                data.SetAudioTrackName(mediaList[i]);
                break;
            }
        }
    }
    if (bookmarks) {
        RecordingBookmarkList marks;
        for (INT_PTR i = 0; i < bookmarks->GetSize(); ++i)
            marks.push_back({ CString(), (*bookmarks)[i] });
        data.AppendBookmarks(marks);
    }
    for (INT_PTR i = 0; i < mediaList.GetSize(); ++i)
        data.AddFile(mediaList[i], mediaList[i]);
    data.SetVideoTrackName(mediaList[0]);
    // The camera file is named as the camera track: the recovery of a cut
    // recording repairs that file and packs it as the camera stream; a file
    // it does not know as the camera's it leaves behind in the folder.
    const INT_PTR camera = prefs.m_recordCamera ? CameraFileIndex(mediaList) : -1;
    if (camera >= 0)
        data.SetCameraTrackName(mediaList[camera]);
    // The exact playback rate the screen AVI is written with (29.97 stays
    // 29.97, and a time-lapse recording keeps its playback rate, not its
    // capture rate): the rebuild of a cut recording takes its frame timing
    // from here.
    const CRational& played = prefs.m_playbackRate.m_nRate && prefs.m_playbackRate.m_nScale ? prefs.m_playbackRate
                                                                                             : prefs.m_captureRate;
    const DWORD rate = played.m_nRate;
    const DWORD scale = played.m_nScale ? played.m_nScale : 1;
    const double fps = static_cast<double>(rate) / scale;
    data.SetVideoTrack(info.outputWidth, info.outputHeight, info.outputBitDepth, fps,
                       prefs.m_recordAudio && !prefs.m_recordCamera, info.codecName, prefs.GetAudioFormat(),
                       prefs.m_interleave, prefs.m_interleaveByFrames, static_cast<UINT>(prefs.m_interleaveRate));
    if (prefs.m_recordCamera)
        SetCameraTrackOf(data, prefs, info, TrackRate(prefs));
    if (outputPath.IsEmpty() &&
        !CreateUniqueFileName(FolderOf(mediaList[0]), "SkoManifest", ".skoxml", outputPath, FALSE))
        return 0;
    return data.WriteManifestReplacing(outputPath) ? 1 : 0;
}

CRecordingOutput::CRecordingOutput(IRecordingOutputHost* host, const CRecorderPrefs& prefs,
                                   const RecordingTrackInfo& info, const CStringArray& recordingFiles,
                                   LPCSTR baseName, BOOL useBaseName, const CDWordArray& bookmarks)
    : m_host(host),
      m_prefs(prefs),
      m_info(info),
      m_files(recordingFiles),
      m_baseName(baseName),
      m_useBaseName(useBaseName),
      m_bookmarks(bookmarks)
{
}

int CRecordingOutput::SaveRecordingOutput()
{
    m_savedName.Empty();
    if (m_files.GetSize() == 0 && !(m_useBaseName && !m_baseName.IsEmpty()))
        return kOutputDiscarded;
    const CString screen = m_useBaseName ? m_baseName : m_files[0];
    const CString camera = m_prefs.m_recordCamera ? RecordedCameraFile(m_files) : CString();
    BOOL previewSwitchedOff = FALSE;
    if ((m_prefs.m_previewAfterRecording || m_prefs.m_optionsAfterRecording) && m_host->IsCameraPreviewShown()) {
        m_host->ShowCameraPreview(FALSE);
        previewSwitchedOff = TRUE;
    }
    if (m_prefs.m_previewAfterRecording) {
        m_host->PrepareForPreview();
        if (!m_host->ShowPreviewDialog(screen, camera)) {
            if (previewSwitchedOff)
                m_host->ShowCameraPreview(FALSE);
            return kOutputDiscarded;
        }
    }

    int result = kOutputKept;
    CString name;
    for (;;) {
        const BOOL package = m_prefs.m_createSkoRecFile;
        const char* extension = m_prefs.m_fileType == 0 && package ? ".skorec" : ".avi";
        CString folder = m_prefs.m_outputDir.IsEmpty() ? DefaultOutputFolder() : m_prefs.m_outputDir;
        AddTrailingBackslash(folder);
        if (m_prefs.m_fileNaming == 0) {
            if (!m_host->AskOutputFileName(name)) {
                if (AfxMessageBox(IDS_CONFIRM_DISCARD, MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) == IDYES) {
                    result = kOutputDiscarded;
                    break;
                }
                continue;
            }
            m_host->AddToOutputMru(name);
        } else if (m_prefs.m_fileNaming == 1) {
            name = folder + ReplaceExtension(m_prefs.m_fixedFileName, extension + 1);
        } else if (m_prefs.m_fileNaming == 2) {
            if (!m_host->MakeNumberedFileName(folder, m_prefs.m_autoFilePrefix, extension, name)) {
                CString text;
                text.Format(IDS_SAVE_GAVE_UP, folder.GetString());
                AfxMessageBox(text, MB_ICONEXCLAMATION);
                break;
            }
        } else {
            result = kOutputDiscarded;
            break;
        }

        if (!package) {
            // A joined split recording lives under the base name, which the
            // engine's save takes for a part index past its file list.
            const int part = m_useBaseName ? static_cast<int>(m_files.GetSize()) : 0;
            if (m_host->SaveRecordingAs(name, part)) {
                // The camera file goes beside the saved screen file, so that
                // the recording's folder can go.
                if (!camera.IsEmpty())
                    MoveReplacing(camera, NameWithoutExtension(name) + "_Camera." + Extension(camera));
                const CString recordingFolder = FolderOf(m_files.GetSize() ? m_files[0] : m_baseName);
                ::DeleteFileA(recordingFolder + kRecoveryNote);
                ::RemoveDirectoryA(recordingFolder);
                m_host->SetLastRecordingDir("");
                result = kOutputSaved;
                break;
            }
            CString text;
            text.Format(IDS_CANNOT_SAVE_FILE, name.GetString());
            const int answer = AfxMessageBox(text, MB_RETRYCANCEL | MB_ICONEXCLAMATION);
            // A name the user types can be changed; a fixed or numbered one
            // would fail the same way for ever, so Cancel ends the save and
            // keeps the recording for the next start's recovery.
            if (m_prefs.m_fileNaming != 0 && answer != IDRETRY) {
                text.Format(IDS_SAVE_GAVE_UP, name.GetString());
                AfxMessageBox(text, MB_ICONEXCLAMATION);
                break;
            }
            continue;
        }
        CStringArray media;
        media.Add(screen);
        if (m_prefs.m_recordCamera && !camera.IsEmpty())
            media.Add(camera);
        CDWordArray marks;
        marks.Copy(m_bookmarks);
        result = WriteRecordingPackage(name, media, m_prefs, m_info, &marks, true, m_host) ? kOutputSaved : kOutputKept;
        break;
    }

    if (result == kOutputSaved) {
        m_savedName = name;
        g_shellNotifier(name);
        if (m_prefs.m_optionsAfterRecording) {
            const int choice = m_host->RunPostSaveOptions();
            if (choice != 2) {
                m_host->LaunchEditor(name, m_prefs.m_createSkoRecFile, choice);
                if (m_host->ShouldRestoreRecorder())
                    m_host->RestoreMainWindow();
            }
        }
    }
    if (previewSwitchedOff)
        m_host->ShowCameraPreview(FALSE);
    return result;
}
