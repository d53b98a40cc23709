#pragma once
// One recording: the recorder engine. The main window creates one per
// recording with a copy of the preferences, starts it (PrepareRecording) and
// drives it with pause, record, stop and discard; the engine runs its capture,
// monitor and (optionally) grabber threads, writes the screen video and
// reports back with posted messages. The main window deletes it after the
// end-of-recording message. Commands and zoom calls run on the UI thread.
#include "framework/AfxPlatform.h"
#include "framework/Collections.h"
#include "framework/Object.h"
#include "framework/String.h"
#include "framework/Sync.h"
#include "capture/AreaGeometry.h"
#include "capture/AviScreenStream.h"
#include "capture/DisplayAccelSwitch.h"
#include "capture/FramePacer.h"
#include "settings/Rational.h"

#include <memory>
#include <vector>

class CCreateAviDlg;
class CRecorderPrefs;
class CVideoFocusWnd;
class CAudioSink;
class CWaveIn;
class CWinThread;
class IRecorderWindow;
class ICameraRecorder;
class CCameraAudioSink;
struct LiveOutputHeader;
struct FrameComposition;

// Frees the composition state of an engine (RecorderEngineCompose.cpp), so
// that the engine's header needs no more than its name.
struct FrameCompositionDeleter {
    void operator()(FrameComposition* composition) const;
};

// Command word values.
enum RecorderCommand {
    kCommandPause = 0,
    kCommandRecord = 1,
    kCommandStop = 2,
    kCommandDiscard = 3,
};

class CRecorderEngine : public CObject {
public:
    CRecorderEngine(CRecorderPrefs* prefs, IRecorderWindow* mainWindow, ICameraRecorder* camera);
    ~CRecorderEngine() override;

    // --- Commands (UI thread)
    void Pause();
    void Record();
    void RequestStop();
    void RequestDiscard();
    void SetAudioMute(BOOL mute);
    void ShowFocusFrame(int nCmdShow);
    void SetSettings(CRecorderPrefs* prefs);
    void EnableAudio(BOOL on);

    // --- Zoom (UI thread; take the area lock)
    BOOL SetZoomFactor(float factor);
    float ZoomToRect(const RECT* area);
    float ToggleZoom();

    // --- Start
    BOOL PrepareRecording(RECT* area);
    void StartRecording(HWND window, BOOL clientArea);

    // --- Focus frame (UI thread)
    void CreateFocusFrame();
    // Places the frame round the requested area again and shows it; posted
    // by the capture thread (WM_FOCUS_FRAME_PLACE) so that it runs here.
    void PlaceFocusFrame();
    void SetCaptureArea(int left, int top, int width, int height, BOOL wait);
    void BeginAreaDrag(int x, int y);
    void DragArea(int x, int y);
    void EndAreaDrag(int x, int y);
    HCURSOR GetMoveCursor() const { return m_moveCursor; }

    // --- State read by the main window and the tests
    BOOL IsPaused() const { return ::InterlockedCompareExchange((LONG*)&m_paused, 0, 0) != 0; }
    LONG GetCommand() const { return ::InterlockedCompareExchange((LONG*)&m_command, 0, 0); }
    BOOL HasFramesWritten() const { return m_framesWritten; }
    int GetFailure() const { return m_failure; }
    // The failure flag the capture thread reported at its end.
    int GetLastResult() const { return m_lastResult; }
    const CString& GetErrorText() const { return m_errorText; }
    const CStringArray& GetRecordingFiles() const { return m_recordingFiles; }
    // Every file the recording has made so far: the screen file, the
    // segments after the first, the sound files (for the recovery note and
    // for deleting a discarded recording).
    void GetAllRecordingFiles(CStringArray* files) const;
    // Keeps the recording's files, its recovery note and LastRecDir when the
    // engine goes: the recording was not saved and stays for recovery.
    void KeepRecording() { m_keepFiles = TRUE; }
    // The size past which a segment (or its sound) continues in a new
    // segment file; tests lower it to reach a split with a short recording.
    static void SetSegmentLimit(ULONGLONG bytes);
    const CStringArray& GetSegmentFiles() const { return m_segmentFiles; }
    const CString& GetRecordingFolder() const { return m_folder; }
    const CString& GetBaseName() const { return m_baseName; }
    CString GetScreenFileName() const;
    CaptureArea GetRequestedArea();
    CaptureArea GetAppliedArea();
    int GetOutputWidth() const { return m_outputWidth; }
    int GetOutputHeight() const { return m_outputHeight; }
    float GetZoomFactor() const { return m_zoomFactor; }
    DWORD GetCapturedFrames() const { return m_capturedFrames; }
    DWORD GetDroppedFrames() const { return m_droppedFrames; }
    float GetMeasuredRate() const { return m_measuredRate; }
    CVideoFocusWnd* GetFocusFrame() const { return m_focusFrame; }
    BOOL IsDraggingArea() const { return m_draggingArea; }
    void SetLive(BOOL live, BOOL restart) { m_live = live; m_liveRestart = restart; }
    BOOL IsLive() const { return m_live; }
    void SetCameraWindow(HWND window) { m_cameraWindow = window; }
    // Where the wave recorder hands its buffers instead of the file (or NULL).
    void SetAudioSink(CAudioSink* sink) { m_audioSink = sink; }
    const CStringArray& GetAudioFiles() const { return m_audioFiles; }
    void SetEffectsSuppressed(BOOL on) { m_effectsSuppressed = on; }
    BOOL IsEffectsSuppressed() const { return m_effectsSuppressed; }
    void SetPaletteChanged() { ::InterlockedExchange(&m_paletteChanged, 1); }

    // The screen grab into a DC at the output size (capture thread).
    BOOL GrabDirect(HDC destination, HDC screen, const CaptureArea& area);
    // Grabber mode: change test and the hand-over of the grabber's buffer.
    BOOL DetectScreenChange(HDC screen);
    BOOL StartGrabAndWait(BYTE* frameBits, DWORD imageSize);

    // Draws (or erases: drawing twice restores the screen) a band of `width`
    // pixels around the rectangle.
    static void DrawInvertedFrame(HDC dc, const RECT& rect, int width);

    // Thread procedures.
    static UINT AFX_CDECL CaptureThreadProc(LPVOID engine);
    static UINT AFX_CDECL MonitorThreadProc(LPVOID engine);
    static UINT AFX_CDECL GrabberThreadProc(LPVOID engine);

protected:
    UINT CaptureThread();
    UINT MonitorThread();
    UINT GrabberThread();

    BOOL AbortStart();

    // Start (capture thread).
    BOOL BeginCapture(int bitCount, int* width, int* height, int* left, int* top);
    BOOL StartAudioCapture();
    // Loads the click, key and script sounds the preferences ask for into the
    // recorder (with skipMuted, no click or key sounds while the sound is
    // muted); returns the loads that failed as kSound*Failed bits.
    DWORD LoadSounds(CWaveIn* waveIn, BOOL skipMuted);
    // Tells the user of each failed load.
    void ShowSoundFailures(DWORD failed);
    enum { kSoundClickFailed = 1, kSoundKeyFailed = 2, kSoundScriptFailed = 4 };
    void StopAudioCapture();
    // Asks the running wave recorder to end and waits until its thread has
    // closed the sound file (capture thread; before the file is read).
    void EndWaveRecording();
    // Starts the sound that EnableAudio asked for (capture thread, per frame).
    void ApplyAudioRequest();
    BOOL LoadClickSounds();
    BOOL LoadKeyboardSound();
    void StartCameraCapture();
    void StopCameraCapture();
    void DropCamera(BOOL nothingRecorded);
    void ShowCameraFailure();
    // The PCM format the wave recorder records for the wanted format (the
    // system's suggestion when that one is not PCM).
    static BOOL AudioCaptureFormat(const WAVEFORMATEX* wanted, WAVEFORMATEX* pcm);
    BOOL MeasureAutoFrameRate(HDC screen, HDC memDC);

    // Frame loop (capture thread).
    BOOL CheckAudioScriptEnd();
    BOOL WaitWhilePaused();
    BOOL StopCapture(DWORD skippedLast);
    BOOL DiscardCapture();
    BOOL ResumeCapture();
    void BlinkIndicators(BOOL force, BOOL steady);
    void UpdateFocusFrameVisibility();
    void TrackWindowUnderCursor();
    void StepZoomTransition(int* width, int* height, int* left, int* top);

    // Composition stages that the frame composition provides.
    BOOL PrepareWatermark();
    void DrawCursor(HDC frameDC, const CaptureArea& area);
    BOOL DrawCaptionAndStamp(HDC frameDC);
    BOOL ScaleFrame(HDC frameDC);
    BOOL DrawWatermark(HDC frameDC);
    BOOL ApplyPaletteChange();
    // Applies this frame's area: a new position asks for a full grab, a new
    // size also rebuilds the frame buffer that the area is grabbed into.
    BOOL ResizeFrameBuffers(int width, int height, int left, int top);
    // Where this frame is grabbed and the cursor drawn: the output frame, or,
    // while a zoom makes the area differ from the output size, a frame of the
    // area's own size that ScaleFrame brings to the output size.
    HDC CaptureFrameDC();
    // Frees the composition's frame buffers (end of the capture thread).
    void ReleaseCompositionBuffers();
    FrameComposition& Composition();
    // The caption and the stamp on a DC of the output frame.
    void DrawCaptionAndStampOn(HDC dc);
    BOOL WriteLiveFrame(const BITMAPINFOHEADER* frame, const BYTE* bits);
    // Live output (capture/RecorderEngineLive.cpp): the header and frame
    // mappings the capture driver publishes, opened, never created.
    void OpenLiveOutput(RECT* area);
    void OpenLiveHeader();
    BOOL OpenLiveFrame();
    void SetLiveFrameReady(WORD ready);
    BOOL FinishRecording();
    void WriteRecoveryNote();

    // AVI output (capture thread).
    BOOL OpenOutputAvi(const BITMAPINFO* format, int segment);
    BOOL WriteAviFrame(const void* bits, DWORD byteCount, LONG sample, DWORD flags);
    void CloseOutputAvi();
    BOOL CheckSegmentSize();
    void OfferAviRepair(const CString& text, UINT shortText);

    // Failure slot: text from the string table, failure flag 1.
    void Fail(UINT textId);
    void Fail(const CString& text);
    void PostToMain(UINT message, WPARAM wParam, LPARAM lParam = 0);
    void PostToFocusFrame(UINT message, WPARAM wParam);
    BOOL PreferencesHideFrame() const;
    BOOL RaisePriority() const;
    BOOL AudioScriptOn() const;
    BOOL IsDisplayAccelOff() const;
    // The capture and audio threads' priority (raised while recording when asked).
    void SetCapturePriority(int priority);

private:
    // 1. Grabber-thread state.
    BOOL m_grabberMode;
    volatile LONG m_grabberStop;
    volatile LONG m_fullRedraw;
    RECT m_dirtyHistory[4];
    volatile LONG m_grabWaitInfinite;   // the next grab wait is a forced full grab
    // 2. Grabber events.
    HANDLE m_grabRequest;
    HANDLE m_grabDone;
    HANDLE m_grabberEnded;
    // 3. Locks.
    CCriticalSection m_areaLock;
    CCriticalSection m_frameLock;
    CCriticalSection m_inputLock;
    BOOL m_inputFlag;
    // 4. Grabber DCs and buffer.
    HDC m_grabberScreenDC;
    HDC m_grabberDC;
    HBITMAP m_grabberBitmap;
    HGDIOBJ m_grabberOldBitmap;
    BYTE* m_grabberBits;
    DWORD m_grabberImageSize;
    CaptureArea m_grabArea;
    std::vector<BYTE> m_stripReference[2];   // vertical, horizontal
    std::vector<BYTE> m_stripSample[2];
    POINT m_stripPoint;
    int m_stripThickness;
    // 5. File lists.
    CStringArray m_segmentFiles;
    CStringArray m_recordingFiles;
    CStringArray m_audioFiles;
    // 6. Segment and names.
    int m_segment;
    CString m_folder;       // ends with a backslash
    CString m_name;         // unique name without extension
    CString m_extension;
    CString m_baseName;
    // 7. Live output.
    BOOL m_live;
    BOOL m_liveRestart;
    HANDLE m_liveHeaderMap;
    LiveOutputHeader* m_liveHeader;
    HANDLE m_liveFrameMap;
    BYTE* m_liveFrame;
    DWORD m_liveFrameBytes;            // the header's image size when the frame mapping was opened
    DWORD m_liveViewBytes = 0;         // what the frame view really spans (VirtualQuery)
    // 8. Result.
    BOOL m_keepFiles = FALSE;
    int m_failure;
    int m_lastResult;
    CString m_errorText;
    // 9. Output AVI.
    CAviScreenStream m_avi;
    // 10. Positions.
    LONG m_streamPosition;
    LONG m_segmentPosition;
    // 11. Geometry.
    int m_desktopLeft;
    int m_desktopTop;
    int m_desktopWidth;
    int m_desktopHeight;
    CaptureArea m_zoomBase;
    CaptureArea m_requested;   // guarded by the area lock
    CaptureArea m_applied;
    CaptureArea m_previousArea;
    int m_outputWidth;
    int m_outputHeight;
    float m_zoomFactor;
    float m_previousZoomFactor;
    POINT m_cursor;            // sampled by the monitor thread (area lock)
    POINT m_calmCursor;
    BOOL m_panEnabled;
    // Zoom transition.
    BOOL m_transitionRunning;
    DWORD m_transitionStart;
    CaptureArea m_transitionFrom;
    RECT m_transitionShown;
    BOOL m_transitionShownDrawn;
    BOOL m_zoomUnchanged;
    // 12. Statistics.
    DWORD m_droppedFrames;
    float m_measuredRate;
    DWORD m_capturedFrames;
    // 13. Commands: single aligned 32-bit values, written with interlocked
    // stores by the UI thread and read by the capture thread after it wakes.
    volatile LONG m_paused;
    volatile LONG m_command;
    BOOL m_framesWritten;
    volatile LONG m_stopRequest;
    volatile LONG m_paletteChanged;
    BOOL m_effectsSuppressed;
    // 14. Record and pause events.
    HANDLE m_recordEvent;
    HANDLE m_pauseEvent;
    // 15. Focus frame.
    CVideoFocusWnd* m_focusFrame;
    BOOL m_blinkState;
    HANDLE m_monitorEnded;
    DWORD m_captureThreadId;
    DWORD m_monitorThreadId;
    HCURSOR m_moveCursor;
    BOOL m_draggingArea;
    POINT m_dragStart;
    POINT m_dragLast;
    CaptureArea m_dragStartArea;
    BOOL m_lastAutoPan;
    POINT m_lastTrackedCursor;
    // 16. Audio.
    CWaveIn* m_waveIn;
    CWinThread* m_monitorThread;
    CWinThread* m_captureThread;
    CWinThread* m_grabberThread;
    CWinThread* m_audioThread;
    CAudioSink* m_audioSink;   // given to BeginCapture; NULL: the sound goes to the file
    // The capture thread alone creates and deletes the wave recorder; other
    // threads (UI commands, the monitor thread's key sounds) use it only
    // while they hold this lock, which the capture thread takes to hand the
    // pointer over. Nothing is sent to another thread's window under it.
    CCriticalSection m_audioLock;
    volatile LONG m_audioStartRequest;   // EnableAudio(TRUE) without a recorder
    // 17. Frame format and rate.
    WORD m_bitCount;
    CRational m_rate;
    CRational m_playbackRate;
    CFramePacer m_pacer;
    // 18. Codec.
    CString m_codecName;
    CString m_codecDescription;
    // 19. The AVI progress dialog.
    CCreateAviDlg* m_createAviDlg;
    // 20. Owners.
    CRecorderPrefs* m_prefs;
    IRecorderWindow* m_mainWindow;
    ICameraRecorder* m_camera;
    HWND m_cameraWindow;
    // Hands the wave recorder's buffers to the camera graph's push source
    // while the camera records the sound.
    std::unique_ptr<CCameraAudioSink> m_cameraSink;
    CString m_cameraFile;   // the camera file of this recording once its graph started
    BOOL m_cameraRunning = FALSE;
    // 21. Audio-script player.
    HWND m_mciWindow;
    // 22. Display acceleration.
    CDisplayAccelSwitch m_displayAccel;

    // Capture-thread frame state.
    std::vector<BYTE> m_frameFormat;   // header and colour table of the frames
    BYTE* m_frameBits;
    HBITMAP m_frameBitmap;
    HDC m_screenDC;
    HDC m_memDC;
    HGDIOBJ m_memOldBitmap;
    CFrameRateMeter m_rateMeter;
    DWORD m_statusCountdown;
    // Cursor, click and zoom state of the frame composition; made on first use.
    std::unique_ptr<FrameComposition, FrameCompositionDeleter> m_composition;
};
