// XRVDSTimeline: the object through which the program edits and plays an
// editing-services timeline. It owns the timeline (m_pTimeline), the render
// engine and the preview filters, the clip and transition records of the
// editor, and the lock that serialises edits against playback. Owned by one
// playback facade; each file writer works on its own copy (the copy shares
// the clip and transition records of its source, which must outlive it, and
// has its own property setters, so that rendering the copy on a worker
// thread never reads what the user is editing).
// Threads: edits under the timeline lock (AcquireLock); SampleCB runs on
// DirectShow streaming threads.
#pragma once
#include "framework/Collections.h"
#include "framework/ComPtr.h"
#include "framework/String.h"
#include "framework/Sync.h"
#include "platform/dex/ChainFilters.h"
#include "platform/dex/DexInterfaces.h"
#include "settings/FileLockList.h"
#include "XRVDirectShow/GraphBuilderCallback.h"
#include "XRVDirectShow/TimelineRecords.h"

#include <mmsystem.h>

#include <vector>

class COverlay;
class CRecordSettings;

// What FillTrackInfo reports of one video track: its first named source's
// picture.
struct VidTrackInfo {
    int track = -1;
    GUID subtype = GUID_NULL;
    int bitCount = 0;
    SIZE size = {0, 0};
};
class XmlNode;

// A pair of names kept with the timeline.
struct CNamePair {
    CString first;
    CString second;
};

class XRVDSTimeline : public ISampleGrabberCB {
public:
    XRVDSTimeline(BOOL withVideoGroup, BOOL withAudio);
    XRVDSTimeline(const XRVDSTimeline& source, BOOL initRenderEngine);

    // Slots 0-4: the sample-grabber callback identity. No reference counting:
    // the owner deletes the object.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 0; }
    STDMETHODIMP SampleCB(double sampleTime, IMediaSample* sample) override;
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return 0; }
    // Slot 5.
    virtual ~XRVDSTimeline();
    // Slots 6-41.
    virtual BOOL HasVideoTracks();
    virtual HRESULT GetMaxProperties(int* width, int* height, double* frameRate, int* bitDepth = NULL);
    virtual HRESULT GetMaxAudioFormat(WAVEFORMATEX* format);
    virtual HRESULT GetResolutionAtTime(LONGLONG time, int* width, int* height);
    virtual HRESULT GetFrameRate(double* frameRate);
    virtual HRESULT GetVidTrackInfo(int track, AM_MEDIA_TYPE* mediaType, SIZE* size);
    virtual HRESULT CreateAudioGroup();
    virtual HRESULT InitializeRenderEngine(BOOL forOutput);
    virtual HRESULT CreateFilters();
    virtual HRESULT AddFiltersToGraph(BOOL forOutput = FALSE);
    virtual HRESULT ConnectFiltersInGraph();
    virtual HRESULT ConnectZoomFilter(IGraphBuilder* graph, IPin* preZoomOut, IPin* postZoomIn);
    virtual HRESULT UpdateFilterGraph(BOOL forOutput, BOOL reconnectOnly = FALSE);
    virtual HRESULT UpdateZoomFilter(int width, int height, int stretchMode, int value1, int value2);
    virtual HRESULT FillTrackInfo(std::vector<VidTrackInfo>* list);
    virtual void EmptyOperation(int) {}
    virtual HRESULT GetBlankSourceAtStart();
    virtual HRESULT ReadTimelineFromXMLFile(LPCTSTR text, BOOL validationFlag = FALSE);
    virtual COverlay* CreateOverlayByName(LPCTSTR typeName);
    virtual LPCTSTR GetOverlayTypeName(COverlay* overlay);
    virtual CClipRecord* NewItemRecord();
    virtual TimelineClip* NewClip();
    virtual TimelineClipEx* NewClipEx();
    virtual ZoomRectInfo* NewZoomRectInfo();
    virtual HRESULT AddMovieZoomFilter();
    virtual HRESULT SetZoomPIPValue12(int value);
    virtual HRESULT SetTimedValues(int width, int height, int stretchMode, double frameRate, int value1, int value2);
    virtual HRESULT SetSourcesStretchMode(int mode, int width, int height);
    virtual HRESULT SetVideoGroupFormat(int width, int height, double frameRate);
    virtual HRESULT SetShowZoomRects(BOOL show);
    virtual HRESULT IncorporateTransitionsInTimeline(int index);
    virtual HRESULT GrabSampleBitmapToFile(LONGLONG time, LPCTSTR file, BOOL zoom);
    virtual HRESULT ClearTimeline();
    virtual HRESULT RebuildVideoGroup();
    virtual HRESULT GetBasicVideo(IBasicVideo** pBasicVideo);
    virtual HRESULT GetVideoWindow(IVideoWindow** ppVidWin);

    // The timeline lock: 0 when the mutex is held, 2 when CancelLock was set.
    int AcquireLock(BOOL noWait, HWND pumpWindow);
    void ReleaseLock() { m_Mutex.Unlock(); }
    HANDLE GetCancelLock() const { return m_hCancelLock; }

    // Value helpers.
    void FitSizeKeepAspect(int& width, int& height) const;
    BOOL NormalizeWaveFormat(WAVEFORMATEX* format) const;
    BOOL HasAudioGroup() const { return m_nAudioPin != -1; }
    static HRESULT AddFilter(IGraphBuilder* graph, REFCLSID clsid, LPCWSTR name, IBaseFilter** out);
    static HRESULT AddFilterOnce(IGraphBuilder* graph, IBaseFilter* filter, LPCWSTR name);
    // The output stages of the file writer (XRVDSTimelineOutput.cpp).
    HRESULT AddMovieVidComp(IPin* videoOut, IPin* muxIn);
    HRESULT AddMovieAudio(IPin* audioOut, IPin* targetIn);
    HRESULT AddWavFileWriter(LPCWSTR path, IPin* audioOut);
    IBaseFilter* GetActiveVideoRenderer() const;
    CString GetOutputName() const { return m_strOutputName; }
    void SetOutputName(LPCTSTR name) { m_strOutputName = name; }
    // Writes a grabbed 32-bit frame as the image the file's extension names.
    static HRESULT WriteFrameImage(LPCTSTR file, const BITMAPINFOHEADER& bih, const BYTE* pixels, long size);
    // The grabbers stop calling SampleCB.
    void ClearGrabberCallbacks();
    // Frees a held frame and its format; SampleCB may keep the next one.
    void FreeGrabbedSample();
    HRESULT ConnectThroughPcmConverter(IGraphBuilder* pGraph, IAMTimelineGroup* pAudioGroup, IPin* pGroupOutputAudioPin,
                                       IPin* pAudioRendererInputPin);
    // Pauses the preview graph at a time until SampleCB holds its frame.
    HRESULT CatchSampleAt(LONGLONG time);
    // The preview's frame at a time as a bitmap the caller owns.
    HRESULT GrabSampleBitmap(LONGLONG time, HBITMAP* bitmap, int option, int grabArg);
    // Passes the timeline position to the zoom and overlay filters.
    HRESULT SetFilterStartTimes(LONGLONG time);
    // What the overlay filter draws into each frame (the owner's overlay
    // list, held; NULL: frames pass unchanged). Copies of the timeline share
    // it; every overlay filter the timeline makes or connects gets it.
    void SetOverlayDrawer(IOverlayFrameDrawer* drawer);
    IOverlayFrameDrawer* GetOverlayDrawer() const { return m_pOverlayDrawer; }
    // Puts the overlay filter after *videoSource in a graph whose chain left
    // it out (the file writer's output graph) and moves *videoSource to its
    // output. Nothing when the filter is already connected or missing.
    HRESULT AddOverlayStage(IGraphBuilder* graph, IPin** videoSource);
    // Connects or disconnects the audio group's output and the audio renderer.
    HRESULT ToggleAudioRendering();
    // Tests without Direct3D force the plain video renderer: the mixing
    // renderers are then not even created (connecting them crashes where
    // Direct3D cannot start).
    static BOOL s_bForcePlainRenderer;
    // Whether a Direct3D device can be made here, asked once per process
    // before any mixing renderer is created; tests put their own answer in.
    static BOOL (*s_pfnDirect3DStarts)();
    static BOOL Direct3DStarts();

    // The tree.
    HRESULT CreateVidGroup();
    HRESULT AddBlankSource(IAMTimelineTrack* pBlankTrack);
    HRESULT CreateVideoCompositions();
    HRESULT AddCompToGroup(IAMTimelineGroup* group, IAMTimelineComp** comp, int index);
    HRESULT AddTrackToComp(IAMTimelineComp* comp, IAMTimelineTrack** track);
    HRESULT AddSourceToTrack(IAMTimelineTrack* track, BSTR file, LONGLONG start, LONGLONG stop, LONGLONG mediaStart,
                             LONGLONG mediaStop, BOOL video);
    HRESULT AddEffect(IAMTimelineObj* object, REFCLSID effect, LONGLONG begin, LONGLONG end, IAMTimelineObj** out);
    HRESULT GetVideoGroup(IAMTimelineGroup** group);
    HRESULT GetAudioGroup(IAMTimelineGroup** group);
    HRESULT GetVideoGroupObj(IAMTimelineObj** group);
    HRESULT GetVideoComp(IAMTimelineComp** comp, int index);
    HRESULT GetVideoCompObj(IAMTimelineObj** comp, int index);
    HRESULT GetAudioComp(IAMTimelineComp** comp, int index = -1);
    HRESULT GetAudioCompObj(IAMTimelineObj** comp, int index = -1);
    HRESULT GetCompForKind(int kind, IAMTimelineComp** comp);
    HRESULT GetCompObjForKind(int kind, IAMTimelineObj** comp);
    HRESULT GetNumCompositions(long* count, int composition);
    HRESULT GetTrackStartStop(IAMTimelineTrack* track, LONGLONG* start, LONGLONG* stop);
    HRESULT GetTrackObjStartStop(IAMTimelineObj* track, LONGLONG* start, LONGLONG* stop);
    HRESULT GetTrackMediaLength(IAMTimelineTrack* track, LONGLONG* length);
    HRESULT GetTrackMediaStartStop(IAMTimelineTrack* track, LONGLONG* start, LONGLONG* stop);
    BOOL IsCompMuted(int kind);
    BOOL IsCompTrackMuted(int clip, int kind);
    // Calls step for every source of every track, in tree order; stops at
    // the first failure.
    typedef HRESULT (*SourceStep)(IAMTimelineObj* source, void* context);
    HRESULT ForEachTrackSource(SourceStep step, void* context);
    void FindGroupIndexes(IAMTimeline* timeline);
    LONGLONG GetDuration();
    int GetBlankCompNum() const { return m_nCompNum[0]; }
    int GetTransCompNum() const { return m_nCompNum[1]; }
    int GetVideoCompNum() const { return m_nCompNum[2]; }
    int GetCurAudioComp() const { return m_nCurAudioComp; }
    HRESULT CreateRenderEngine();
    HRESULT CreateGraphCG();
    HRESULT GetCachedMaxProperties(BOOL force);

    // Transitions.
    int GetTransitionCount() const { return (int)m_Transitions.GetSize(); }
    TransitionInfo* GetTransition(int i) const;
    void AddTransition(const TransitionInfo& info, int index);
    HRESULT RemoveTransition(int index);
    HRESULT CreateTransObject(IAMTimelineObj** trans);
    HRESULT ShiftObjects(IAMTimelineComp* comp, LONGLONG start, LONGLONG length, BOOL flag, BOOL bForceSmartShift);
    HRESULT UpdateTransObjects();
    HRESULT LoadTransitionsFromXml(XmlNode reader);

    // Splitting.
    HRESULT SplitSource(IAMTimelineObj* sourceTrack, IAMTimelineObj** destTrack, LONGLONG rtSplit);
    HRESULT SplitSource(IAMTimelineObj* pObjSrc, IAMTimelineObj* pObjDest, LONGLONG rtSplit);
    HRESULT SplitEffect(IAMTimelineObj* effect, IAMTimelineObj* newEffect, LONGLONG rtSplitPoint);
    HRESULT SplitObj(IAMTimelineObj* object, LONGLONG time, IAMTimelineObj** made);

    // Copying the tree.
    HRESULT CopyGroups(IAMTimeline* dest);
    HRESULT CopyGroup(IAMTimelineObj* srcGroup, IAMTimelineObj* destGroup, IAMTimeline* dest,
                      const AM_MEDIA_TYPE* mediaType);
    HRESULT CopyTracks(IAMTimelineComp* src, IAMTimelineComp* dest, IAMTimeline* destTimeline);
    HRESULT CopyTrack(IAMTimelineObj* src, IAMTimelineObj* dest, IAMTimeline* destTimeline);
    HRESULT CopySources(IAMTimelineTrack* src, IAMTimelineTrack* dest, IAMTimeline* destTimeline);
    HRESULT CopyEffects(IAMTimelineObj* src, IAMTimelineObj* dest, IAMTimeline* destTimeline);
    HRESULT CopyTransitions(IAMTimelineObj* src, IAMTimelineObj* dest, IAMTimeline* destTimeline);

    // Media.
    HRESULT AddMovieFileToTimeline(LPCTSTR file, LONGLONG rtStart, LONGLONG rtEnd, LONGLONG rtSrcStart,
                                   LONGLONG rtSrcEnd, BOOL insert, BOOL withAudio, BOOL rebuildAudioGroup);
    HRESULT AddAudioFileToTimeline(LPCTSTR file, LONGLONG rtStart, LONGLONG rtEnd, LONGLONG rtSrcStart,
                                   LONGLONG rtSrcEnd, int mode, BOOL newComposition, BOOL split,
                                   BOOL bForceSmartShift, BOOL rebuildAudioGroup);
    void AddTempWaveTrack();
    HRESULT AddAudioGroup(BOOL probeSources);
    HRESULT AddVolumeProperty(IPropertySetter* setter, LONGLONG time1, LONGLONG time2, float value1, float value2);
    HRESULT GetMediaFileNames(CStringArray& names);
    // 0 when every source file of the timeline exists; else the number missing.
    int ValidateTimelineSources(BOOL flag);
    void LockFileIfEnabled(LPCTSTR path);

    // Members, in the order the object lays them out.
    CString m_strWorkFile;
    int m_nWorkValue;
    CArray<CClipRecord> m_ItemRecords;
    CArray<TimelineClip*, TimelineClip*> m_Clips;
    CArray<CClipRecord> m_ClipDescs;
    CArray<TimelineClipEx> m_ClipExDescs;
    CStringArray m_Strings1, m_Strings2, m_Strings3;
    CArray<CNamePair> m_NamePairs;
    BOOL m_bSampleReady;
    BYTE* m_pSampleBuffer;
    BYTE* m_pSampleFormat;
    long m_cbSample;
    long m_cbSampleFormat;
    int m_nWorkFlag;
    BOOL m_bNoAudio;
    BOOL m_bNoVideo;
    BOOL m_bAudioPreviewOff;
    int m_nPreviewFlag;
    int m_nReserved;
    int m_nBitDepth;
    CComPtr<IAMTimelineObj> m_pScratchGroup;
    CComPtr<IVideoWindow> m_pIVMR9VideoWindow;
    CComPtr<IVideoWindow> m_pIVMR7VideoWindow;
    CComPtr<IVideoWindow> m_pIVideoWindow;
    CComPtr<IBaseFilter> m_pPreZoomSG, m_pPostZoomSG;
    CComPtr<IBaseFilter> m_pOverlayFilter;
    CComPtr<IBaseFilter> m_pZoomFilter;
    CComPtr<IBaseFilter> m_pVMR9, m_pVMR7, m_pVideoRenderer;
    CComPtr<IBaseFilter> m_pAudioRenderer;
    CComPtr<IBaseFilter> m_pTransFilter, m_pColorFilter;
    CComPtr<IBaseFilter> m_pOutTransFilter, m_pOutColorFilter;
    CComPtr<IGraphBuilder> m_pGraph;
    CComPtr<IMediaEventEx> m_pMediaEvent;
    CComPtr<IAMTimeline> m_pScratchTimeline;
    CComPtr<IAMTimeline> m_pTimeline;
    CComPtr<IRenderEngine> m_pRenderEngine;
    CString m_strName1, m_strName2;
    CString m_strOutputName;
    CStringArray m_TempFiles;
    CArray<TransitionInfo*, TransitionInfo*> m_Transitions;
    LONGLONG m_rtRangeStart, m_rtRangeStop;
    int m_nVideoPin;
    int m_nAudioPin;
    int m_nCompNum[5];
    int m_nAudioCompMain, m_nAudioCompSecond, m_nAudioCompCount, m_nCurAudioComp;
    CString m_strName3, m_strName4, m_strName5;
    CRecordSettings* m_pOutputFormat;   // not owned
    WAVEFORMATEX m_WantedAudioFormat;
    BOOL m_bSharedRecords;
    int m_nReserved2;
    int m_nRendererMode;
    HANDLE m_hCancelLock;
    CFileLockList m_FileLocks;
    CMutex m_Mutex;
    int m_nInt1, m_nInt2;
    double m_dValue;
    WAVEFORMATEX m_SecondAudioFormat;

    // Not copied.
    BOOL m_bFiltersCreated;
    BOOL m_bFileLocking;          // LockFileIfEnabled holds files only when set
    BOOL m_bStereo;               // NormalizeWaveFormat makes stereo
    int m_nMaxOutputWidth, m_nMaxOutputHeight;
    int m_nMaxWidth, m_nMaxHeight;
    double m_dMaxFrameRate;
    BOOL m_bMaxPropertiesKnown;
    // Refuses blocked filters in the graphs the engine lets DirectShow build.
    CGraphBuilderCallback m_GraphCallback;
    // Stills are fitted into the maximum output size before they count
    // towards GetMaxProperties.
    BOOL m_bFitStills;
    // The transition records a copy was given by the object it was copied
    // from: that object frees them. Records a copy adds or loads itself are
    // its own.
    CArray<TransitionInfo*, TransitionInfo*> m_BorrowedTransitions;
    // The overlay list the overlay filters draw (shared with the copies).
    CComPtr<IOverlayFrameDrawer> m_pOverlayDrawer;

private:
    // Hands m_pOverlayDrawer to the overlay filter, when there is one.
    void HandDrawerToOverlayFilter();
    void InitMembers();
    void FreeRecords();
    // Frees a record unless it is borrowed.
    void DeleteTransition(TransitionInfo* record);
    HRESULT PlaceTransitionByTime(TransitionInfo* info);
    HRESULT PlaceTransitionBetweenClips(TransitionInfo* info);
    XRVDSTimeline& operator=(const XRVDSTimeline&) = delete;
};

// A guard of the timeline lock: {timeline, saved result}; a new guard holds
// result 2 (not taken).
struct TimelineLock {
    XRVDSTimeline* timeline;
    int result;

    explicit TimelineLock(XRVDSTimeline* t) : timeline(t), result(2) {}
    // A guard holding the lock, or null when the wait was cancelled.
    static TimelineLock* Create(XRVDSTimeline* timeline, BOOL noWait);
    BOOL Acquire(BOOL noWait);
    int Release();
    int ReleaseUnchecked();
};

// Sample-rate snapping: TRUE when a band applied.
BOOL SnapSampleRate(DWORD* samplesPerSec);
// A value equal to 0.0 becomes 15.0.
void DefaultZeroTo15(double* value);
// Points a media detector at a source name: plain files by name, recording
// package streams ("xrvrec://") and "png" stills through our source filters.
// Takes ownership of `name` and frees it on every path.
HRESULT SetMediaDetSource(IMediaDet* detector, BSTR name);
// Splits "xrvrec://<package>.skorec!<stream>" into package path and stream name
// (0); any other name goes whole, lower-cased, to the package path (1).
int SplitRecordingPath(LPCTSTR name, CString& packagePath, CString& streamName);
