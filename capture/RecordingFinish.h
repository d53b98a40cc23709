#pragma once
// Finishing a recording: when the frame loop has ended with frames written,
// the capture thread turns the recording's temporary files into one finished
// screen video. Split segments are joined through the timeline render;
// otherwise the separately recorded sound is lined up with the video's time 0,
// brought to the capture format and interleaved into the screen AVI. The
// screen AVI is replaced only by a result that was written completely.
//
// The recorder engine fills a CRecordingFinisher from its own state, calls
// Finish() on its capture thread, and takes back the audio file list, the
// failure flag and the error text. CRecorderEngine::SaveRecordingAs is
// SaveRecordingFileAs on the engine's file list.
#include "framework/AfxPlatform.h"
#include "framework/Collections.h"
#include "framework/String.h"
#include <mmsystem.h>

#include <vector>

class CRecordSettings;
class IConvertProgress;

// The join of a split recording through the timeline render (the DirectShow
// facade builds a timeline of the segments and the sound, and its file
// writer renders it into the output). The program registers its joiner
// (SetRecordingJoiner); without one a split recording cannot be finished.
class IRecordingJoiner {
public:
    virtual ~IRecordingJoiner() {}
    // Renders the segments back to back, with the sound files mixed in, into
    // output with the given settings; nonzero when the output was written.
    virtual int JoinSegments(const CStringArray& segments, const CStringArray& audioFiles, LPCSTR output,
                             CRecordSettings* settings) = 0;
};

// The joiner the program registers at start-up (the timeline render lives
// above the capture engine); null until then, and a split recording then
// cannot be finished. Any thread.
void SetRecordingJoiner(IRecordingJoiner* joiner);
IRecordingJoiner* GetRecordingJoiner();

// What the finishing step needs of the recorder preferences and the engine
// for the join's output settings.
struct RenderSettingsSource {
    BOOL interleave;
    int interleaveRate;
    BOOL interleaveByFrames;
    DWORD compressorFourCC;
    int quality;
    int keyFrameRate;
    int dataRate;
    int frameRate;       // AviFRRate
    int frameScale;      // AviFRScale
    int frameTime;
    int bitDepth;        // the recorded bit depth
    const WAVEFORMATEX* audioFormat;   // or NULL
    CString audioCompressor;
    CString videoCompressor;
};

// Fills the render settings of the join from the recording.
void FillRenderSettings(CRecordSettings* settings, const RenderSettingsSource& source);

class CRecordingFinisher {
public:
    CRecordingFinisher();

    // Finishes the recording; TRUE when there was nothing to do or every step
    // succeeded. On failure m_failure is 1 and m_errorText says why (empty
    // when the user cancelled or a message box was already shown).
    BOOL Finish();

    // Interleaves the WAV's sound with the video AVI's frames into a new AVI;
    // TRUE only when the output was written completely (else it is deleted).
    static BOOL InterleaveAudio(LPCSTR videoPath, LPCSTR wavePath, LPCSTR outputPath, BOOL interleave,
                                int interleaveRate, BOOL interleaveByFrames, IConvertProgress* progress);

    // Inputs.
    CString m_screenFile;          // the recording's file list element 0
    CString m_baseName;            // folder + name + "." + extension (the join's output)
    CStringArray m_segmentFiles;   // split segments, empty when not split
    CStringArray m_audioFiles;     // element 0 the "_Audio.wav"; updated by Finish
    CString m_tempFolder;
    BOOL m_recordCamera;
    BOOL m_waveInRan;              // a wave-input recorder ran
    BOOL m_audioHasData;
    int m_audioStartMs;            // where the sound started on the video's time
    std::vector<BYTE> m_captureFormat;   // WAVEFORMATEX of the capture (18 + cbSize bytes)
    BOOL m_interleave;
    int m_interleaveRate;
    BOOL m_interleaveByFrames;
    IConvertProgress* m_progress;  // the AVI progress window, or NULL
    HWND m_progressWindow;         // shown and hidden around the steps, or NULL
    IRecordingJoiner* m_joiner;    // NULL until the timeline render exists
    RenderSettingsSource m_renderSource;

    // Results.
    int m_failure;
    CString m_errorText;

private:
    BOOL JoinSegments();
    void Fail(UINT textId);
    void ShowProgress(BOOL show);
};

// Moves a finished recording file to its destination: refused (with a
// message) when the source cannot be read or is the destination itself.
BOOL SaveRecordingFileAs(LPCSTR source, LPCSTR destination);

// MoveFileEx with replace and copy allowed on NT; delete + MoveFile on 9x.
BOOL MoveFileReplacing(LPCSTR from, LPCSTR to);
