#pragma once
// The end-of-recording output: the recovery note "RecInfo.xml" written when a
// recording starts, the .skorec package written from the recorded media, and
// the main window's save step (preview, output name, plain AVI or package,
// shell notification, post-save choice). The save step runs on the
// user-interface thread; the recovery note on the engine's capture thread.
//
// The main window's save step is CRecordingOutput::SaveRecordingOutput, which
// reaches the window's own pieces (preview dialog, save dialog, numbered names,
// camera preview, editor launch, post-save options, most-recently-used list,
// the engine's save, LastRecDir) through IRecordingOutputHost, so that the
// main window only forwards them.
#include "framework/AfxPlatform.h"
#include "framework/Collections.h"
#include "framework/String.h"

class CRecorderPrefs;

// What the recording output reads beside the preferences' registry values:
// the output frame of the recording and the codec's name, and of the camera
// configuration its codec, its two Windows Media profile names and the frame
// of its current media type (all 0 when that type is not a video-info header).
struct RecordingTrackInfo {
    int outputWidth = 0;
    int outputHeight = 0;
    int outputBitDepth = 0;
    CString codecName;
    CString cameraCodec;
    CString cameraProfileWithAudio;
    CString cameraProfileWithoutAudio;
    int cameraWidth = 0;
    int cameraHeight = 0;
    int cameraBitCount = 0;
};

// The main window's side of the save step.
class IRecordingOutputHost {
public:
    virtual ~IRecordingOutputHost() {}
    // Runs the post-recording preview modally; 0 when the user discards.
    virtual int ShowPreviewDialog(LPCSTR screenFile, LPCSTR cameraFile) = 0;
    // Save dialog for the output name (".skorec" or ".avi"); FALSE on Cancel.
    virtual BOOL AskOutputFileName(CString& name) = 0;
    // The next free numbered name folder + prefix + number + extension.
    virtual BOOL MakeNumberedFileName(LPCSTR folder, LPCSTR prefix, LPCSTR extension, CString& name) = 0;
    virtual BOOL IsCameraPreviewShown() = 0;
    // Toggles the camera preview window.
    virtual void ShowCameraPreview(BOOL allowTips) = 0;
    // Kills the status timer and sets the window title before the preview.
    virtual void PrepareForPreview() = 0;
    // The post-save options dialog; its choice, 2 (do nothing) unless OK.
    virtual int RunPostSaveOptions() = 0;
    // Hands the saved file to the editor program (the window marks itself busy).
    virtual void LaunchEditor(LPCSTR file, BOOL package, int choice) = 0;
    // The RestoreRecorder value, and restoring the main window.
    virtual BOOL ShouldRestoreRecorder() = 0;
    virtual void RestoreMainWindow() = 0;
    virtual void AddToOutputMru(LPCSTR name) = 0;
    // The engine's save of a recording part (CRecorderEngine::SaveRecordingAs).
    virtual BOOL SaveRecordingAs(LPCSTR destination, int part) = 0;
    // The LastRecDir value of the start-up recovery.
    virtual void SetLastRecordingDir(LPCSTR folder) = 0;
};

// Results of CRecordingOutput::SaveRecordingOutput.
enum RecordingOutputResult {
    kOutputDiscarded = 0,   // the user discarded it: the caller deletes the recording
    kOutputSaved = 1,       // the output file was written
    kOutputKept = -1,       // nothing saved, the recording stays in its folder for recovery
};

// Writes the recovery note (package mode false; outputPath names the note, or
// is empty for a new "SkoManifest*.skoxml" beside the first medium) or the
// package (package mode true; outputPath is the user's output file, updated
// when the user retries under another name). mediaList holds the screen file
// first and the camera file last; in package mode it ends up holding the
// renamed media. Non-zero on success.
int WriteRecordingPackage(CString& outputPath, CStringArray& mediaList, const CRecorderPrefs& prefs,
                          const RecordingTrackInfo& info, const CDWordArray* bookmarks, bool packageMode,
                          IRecordingOutputHost* host);

// The first maxBytes bytes of an 8-bit name, never ending inside a
// double-byte character.
CString CutName(const CString& name, int maxBytes);

// Deletes the recording's files, its "RecInfo.xml" and the folder itself;
// files outside the folder (as a manifest may list them) are left alone.
// Returns the number of files left out for lying outside.
int DeleteRecordingFiles(LPCSTR folder, const CStringArray& files);

// TRUE when the path names a file inside the folder (after resolving "." and
// "..").
BOOL IsInsideFolder(LPCSTR folder, LPCSTR path);

// Where automatic and fixed output names go when no output folder is set:
// the user's videos folder (documents where there is none), created if
// needed; empty when the shell knows neither.
CString DefaultOutputFolder();

// How the save step announces a new file to the shell (SHChangeNotify with
// SHCNE_UPDATEITEM); tests replace it, NULL restores it.
typedef void (*ShellNotifier)(LPCSTR path);
void SetShellNotifier(ShellNotifier notifier);

class CRecordingOutput {
public:
    // recordingFiles: the engine's file list (screen first, camera last);
    // baseName with useBaseName: the joined file of a split recording.
    CRecordingOutput(IRecordingOutputHost* host, const CRecorderPrefs& prefs, const RecordingTrackInfo& info,
                     const CStringArray& recordingFiles, LPCSTR baseName, BOOL useBaseName,
                     const CDWordArray& bookmarks);

    int SaveRecordingOutput();
    // The name the last save wrote (empty when none).
    const CString& GetSavedName() const { return m_savedName; }

private:
    IRecordingOutputHost* m_host;
    const CRecorderPrefs& m_prefs;
    const RecordingTrackInfo& m_info;
    const CStringArray& m_files;
    CString m_baseName;
    BOOL m_useBaseName;
    const CDWordArray& m_bookmarks;
    CString m_savedName;
};
