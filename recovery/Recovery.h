#pragma once
// The recovery of a recording cut short (the program killed, the machine
// stopped). Its temporary folder stays behind with the screen AVI segments,
// their sound files, the camera's Windows Media file and the recovery note
// "RecInfo.xml"; the registry value LastRecDir names the folder. When the
// main window is created, CheckAndRecoverLastRecording asks the user, rebuilds
// every screen segment the note lists by copying its frame chunks into a new
// AVI, patches the sound files' headers, joins the segments and their sound
// into one AVI, repairs and indexes the camera file, and saves the result as
// a plain AVI or a .skorec package.
//
// Nothing recorded is lost on the way: the originals go only after the
// rebuilt file has been checked and moved into place, a failure keeps the
// folder and LastRecDir for the next start, and only files inside the folder
// are ever deleted. Runs on the user-interface thread; the rebuild and the
// camera repair run on workers under modal progress dialogs.
#include "framework/AfxPlatform.h"
#include "framework/Collections.h"
#include "framework/String.h"

#include <memory>

class CProgressDlg;
class CRecordingData;

// The user's side of the recovery: questions, the output name, messages.
// The program's is MessageBoxRecoveryUi; tests answer from a script.
class IRecoveryUi {
public:
    virtual ~IRecoveryUi() {}
    // A topmost Yes/No question with the string of the id; IDYES or IDNO.
    virtual int AskYesNo(UINT textId) = 0;
    // The save dialog of the recovered file; FALSE on Cancel.
    virtual BOOL AskFileName(BOOL package, CString& path) = 0;
    // A message box (type as for MessageBox).
    virtual void ShowMessage(LPCSTR text, UINT type) = 0;
};

// Message boxes and the save dialog of the program.
class MessageBoxRecoveryUi : public IRecoveryUi {
public:
    int AskYesNo(UINT textId) override;
    BOOL AskFileName(BOOL package, CString& path) override;
    void ShowMessage(LPCSTR text, UINT type) override;
};

// One check: owned by the main window while it runs.
struct RecoveryInfo {
    RecoveryInfo();
    ~RecoveryInfo();

    LONG state;            // 1; 0 once the camera file had to be repaired
    HRESULT result;        // of the camera indexing
    HANDLE event;          // the indexer's completion event
    std::unique_ptr<CRecordingData> data;
    CString screenPath;
    CString cameraPath;

    // Set by the screen worker: success, why not, and whether the rebuilt
    // file could not be moved onto the screen file (the user is told).
    BOOL screenRecovered;
    CString screenError;
    BOOL screenMoveFailed;
    // The progress dialog the workers report to (while one runs).
    CProgressDlg* dialog;
};

// S_OK after a successful recovery (outPath names the saved file); 1 when
// there was nothing to do or the user gave the recording up; E_FAIL when it
// failed (the folder and LastRecDir stay, so the next start asks again).
// skipWindowCheck: the caller is the recorder's own main window.
HRESULT CheckAndRecoverLastRecording(RecoveryInfo& info, CString& outPath, BOOL skipWindowCheck, IRecoveryUi& ui);

// The rebuild of the screen: every segment rebuilt, the sound patched and
// joined in, the result checked and moved onto the screen path; non-zero
// when the screen file is usable afterwards.
int RecoverScreen(RecoveryInfo& info);
// The camera file checked, and repaired and indexed when needed; non-zero
// when it is usable afterwards (an absent camera file gives 0).
int RecoverCamera(RecoveryInfo& info);
// Indexes the camera file with our indexer; TRUE when it succeeded.
BOOL IndexCameraFile(RecoveryInfo& info, LPCSTR path);
// Writes the recovered media as a .skorec package at outPath.
BOOL SaveRecoveredPackage(RecoveryInfo& info, LPCSTR outPath);

// The screen rebuild without a dialog (the worker's body): progress, when
// given, gets 0-100.
BOOL RebuildRecordingScreen(RecoveryInfo& info, void (*progress)(void* context, int percent), void* context);

// Patches the sizes of a sound file whose recording was cut short: the RIFF
// and data sizes from the file's length rounded down to whole blocks (the
// partial block is cut off). FALSE, leaving the file alone, when it does not
// have a WAV layout or holds no whole block.
BOOL RepairWaveFile(LPCSTR path);

// Rebuilds one damaged screen AVI into a new file with the note's video track
// (size, depth, codec, rate) and, when audioFormat is given, the sound chunks
// it holds. frames gets the number of frames copied.
BOOL RebuildScreenAvi(LPCSTR damaged, LPCSTR output, const CRecordingData& note, BOOL withAudio, LONG* frames,
                      CString* error, void (*progress)(void* context, int percent), void* context);

// The number of video frames AVIFile reads from a file, -1 when it cannot
// read one.
LONG CountAviFrames(LPCSTR path, DWORD* rate, DWORD* scale);
