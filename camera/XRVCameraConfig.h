#pragma once
// XRVCameraConfig: the camera that records beside the screen. It lists the
// capture devices and video compressors, builds the camera graph (device ->
// frame skip -> Sample Grabber -> [video tee ->] Windows Media writer, or
// compressor -> AVI mux -> file writer; with sound, a push source or an
// audio capture source -> frame skip -> [PCM compressor] into the same
// writer), and starts, pauses and stops it for the recorder engine. It also
// shows the live picture in a window (the preview) and serves the camera
// dialogs. The main window owns one for the program's life.
// Threads: the main window's thread or the engine's capture thread, one
// operation at a time (the graph lock); the start worker runs under a modal
// progress dialog while its caller waits; UI operations that find the graph
// held are refused at once.
#include "camera/CameraSettings.h"
#include "capture/CameraRecorder.h"
#include "framework/ComPtr.h"
#include "XRVDirectShow/XRVDSTimeline.h"

class CProgressDlg;
struct IXrvFrameSkip;
struct IXrvPushSource;
struct IAMStreamConfig;
struct IAMVfwCaptureDialogs;

class XRVCameraConfig : public XRVDSTimeline, public ICameraRecorder {
public:
    XRVCameraConfig(LPCSTR version, LPCSTR keyFormat, LPCSTR section);
    ~XRVCameraConfig() override;

    // --- Lists and selection
    static void ListDeviceNames(CStringArray* names, REFCLSID category);
    void BuildDeviceList(CStringArray* names);
    void BuildCodecList(CStringArray* names);
    void AppendDeviceReport(CString* report);
    BOOL EnsureDevice(BOOL pickFirst);
    BOOL SetDevice(LPCSTR name);
    BOOL SetCodec(LPCSTR name);
    CString GetDeviceName();
    CString GetCodecName();
    BOOL GetVideoSize(int* width, int* height);
    void DescribeTrack(RecordingTrackInfo* info) override;
    // Takes ownership of the record (the previous one is deleted).
    void SetSettings(CameraSettings* settings);
    CameraSettings* GetSettings() const { return m_settings; }
    void SetProfileNames(LPCSTR withoutAudio, LPCSTR withAudio, LPCSTR folder);
    // The audio capture device of the camera file's sound when it is not
    // pushed (empty: the first one listed).
    void SetAudioDeviceName(LPCSTR name) { m_audioDeviceName = name; }
    const CString& GetProfileFolderName() const { return m_profileFolder; }
    // The folder of the program's "Windows Media Profiles": from App Paths,
    // else the running program's own folder.
    static CString GetProfileFolder();

    // --- ICameraRecorder (capture thread)
    void SetCodecFlag(BOOL recordAudio) override;
    void SetPushSourceAudio(BOOL pushed) override;
    BOOL SetOutputName(LPCSTR name) override;
    void SetAudioFormat(const WAVEFORMATEX* format) override;
    BOOL UsesDefaultCodec() override;
    void StopPreview() override;
    BOOL StartCapture(BOOL wait, int timeoutMs, BOOL pauseAfterBuilding, HWND window) override;
    BOOL PauseCapture(BOOL wait, int timeoutMs) override;
    BOOL StopCapture(BOOL wait, int timeoutMs) override;
    IXrvPushSource* GetPushSource() override;
    void EndVideo() override;

    // --- Preview: the live picture in the owner window's preview rectangle.
    // Refused (FALSE) at once while a recording holds the graph.
    BOOL StartPreview(HWND owner);
    BOOL IsPreviewRunning() const { return m_previewRunning; }
    void SetPreviewRect(const RECT& rect) { m_previewRect = rect; }

    // --- Graph operations
    HRESULT InitCapFilters(BOOL previewFormatMode);
    BOOL BuildRecordGraph(HWND window, CProgressDlg* progress);
    HRESULT BuildPreviewGraph(IPin* source, HWND owner);
    HRESULT BuildAudioBranch(IPin** out);
    BOOL ConfigureWmWriter();
    HRESULT ApplyCodecState();
    void TearDownGraph();
    // Tears the graph down and lets it go with its frame skip, grabber and
    // converter filters: the next preview or recording builds a new graph.
    void ReleaseGraph();
    // 0 = the state was reached, 1 = time-out, 2 = the wait failed.
    int WaitForGraphState(OAFilterState state, int timeoutMs);

    // --- Device dialogs
    HRESULT ShowCameraProperties(HWND parent);
    HRESULT ShowVideoFormat(HWND parent);
    void RefreshDialogAvailability();
    // What the current device and compressor offer (after SetDevice/SetCodec).
    BOOL HasCameraPropertiesDialog() const { return m_hasVfwSourceDialog || m_filterHasPages; }
    BOOL HasVideoFormatDialog() const { return m_hasVfwFormatDialog || m_pinHasPages; }
    BOOL CodecHasConfigDialog() const { return m_codecHasDialog; }
    // The chosen compressor takes quality or key-frame settings
    // (IAMVideoCompression on its output pin).
    BOOL CodecHasCompressionSettings() const { return m_codecHasCompression; }
    // The compressor filter of the chosen codec (null for the default
    // codec); binds the capture filters again when a stop released it.
    IBaseFilter* CompressorFilter();

    // --- State read by the engine, the dialogs and the tests
    BOOL IsCapturing() const { return m_capturing; }
    BOOL IsPrepared() const { return m_prepared; }
    BOOL IsRecordGraphBuilt() const { return m_recordGraphBuilt; }
    IGraphBuilder* Graph() const { return m_pGraph; }
    // TRUE when an operation holds the graph (UI operations are refused).
    BOOL IsBusy();

    // The start worker (on the progress dialog's thread).
    static UINT AFX_CDECL StartWorker(LPVOID self);

    // Sample-grabber callbacks (not owned).
    ISampleGrabberCB* m_videoCallback = nullptr;
    ISampleGrabberCB* m_audioCallback = nullptr;

protected:
    BOOL RunPrepared(BOOL wait, int timeoutMs, BOOL pauseAfterBuilding, HWND window);
    BOOL PauseGraph(BOOL wait, int timeoutMs);
    void SetFrameSkip(LONG skip);
    void ReleaseCaptureInterfaces();
    HRESULT PulseProcAmpProperty(long property, long value, long flags);

    // 1-2. Start in progress and its parameters.
    CProgressDlg* m_progress = nullptr;
    BOOL m_startWait = FALSE;
    int m_startTimeout = 5000;
    BOOL m_startPauseAfterBuilding = FALSE;
    HWND m_startWindow = NULL;
    BOOL m_startResult = FALSE;
    // 3-4.
    CComPtr<ISampleGrabber> m_grabber;
    CComPtr<IAMVfwCaptureDialogs> m_vfwDialogs;
    CComPtr<IAMStreamConfig> m_streamConfig;
    // 5. Filters.
    CComPtr<IBaseFilter> m_captureFilter, m_compressorFilter, m_frameSkipFilter;
    CComPtr<IBaseFilter> m_fileWriterFilter;
    CComPtr<IFileSinkFilter2> m_fileSink;
    CComPtr<IBaseFilter> m_aviMux, m_asfWriter, m_sampleGrabberFilter, m_colorConverter, m_videoTee;
    // 6. Graph states.
    BOOL m_recordGraphBuilt = FALSE;
    BOOL m_previewGraphBuilt = FALSE;
    BOOL m_captureFiltersCreated = FALSE;
    BOOL m_previewRunning = FALSE;
    BOOL m_capturing = FALSE;
    BOOL m_prepared = FALSE;
    // 7. Dialog availability.
    BOOL m_hasVfwSourceDialog = FALSE;
    BOOL m_hasVfwFormatDialog = FALSE;
    BOOL m_filterHasPages = FALSE;
    BOOL m_pinHasPages = FALSE;
    BOOL m_codecHasDialog = FALSE;
    BOOL m_codecHasCompression = FALSE;
    // 8-11.
    CString m_outputName;
    RECT m_previewRect;
    CameraSettings* m_settings;
    CString m_profileWithoutAudio, m_profileWithAudio, m_profileFolder;
    HWND m_previewOwner = NULL;
    CString m_audioDeviceName;
    // 13. Audio branch.
    CComPtr<IBaseFilter> m_audioFrameSkip, m_audioSource, m_audioCompressor, m_audioGrabberFilter;
    CComPtr<ISampleGrabber> m_audioGrabber;
    CComPtr<IXrvPushSource> m_pushSource;

    // One operation at a time on the graph.
    CRITICAL_SECTION m_graphLock;
};
