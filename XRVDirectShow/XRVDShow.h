// XRVDShow: the playback facade over one XRVDSTimeline. It owns the timeline,
// forwards the player, editing and media operations to it, and keeps a queue
// of deferred timeline actions (graph updates, frame grabs) that a worker
// thread of its own runs one after another, collapsing bursts into one run.
// Threads: the user-interface thread calls everything; the action thread runs
// queued actions. The owner calls KillActionThread before deleting the facade;
// the destructor also stops and joins a thread that is still running.
#pragma once
#include "framework/Collections.h"
#include "framework/String.h"
#include "framework/Sync.h"
#include "XRVDirectShow/PlayerWindow.h"
#include "XRVDirectShow/XRVDSTimeline.h"

#include <strmif.h>
#include <control.h>

// WM_USER + 987: a frame grab is done; wParam is the bitmap (the receiver
// owns it), lParam 0.
#define WM_FRAME_GRAB_DONE (WM_USER + 987)

// A deferred action. `data` is an integer or an owned pointer, pointer-sized.
struct ActionItem {
    int type;
    INT_PTR data;
};

enum {
    kActionUpdateGraph = 1,   // data: the flag of UpdateGraph
    kActionFrameGrab = 4,     // data: an owned FrameGrabRequest
};

// A frame grab; the result is posted to the window by its handle, so a window
// destroyed meanwhile is never touched.
struct FrameGrabRequest {
    LONGLONG time;
    HWND notifyWnd;
    int option;
    int overlayValue;
    int grabArg;
};

class COverlay;
class COverlayList;

class XRVDShow {
public:
    explicit XRVDShow(BOOL createTimeline);
    virtual ~XRVDShow();

    void SetTimeline(XRVDSTimeline* timeline, BOOL takeOwnership);
    XRVDSTimeline* GetTimeline() const { return m_pTimeline; }
    void DeleteObject(XRVDSTimeline* object);

    // The action queue.
    void QueueAction(ActionItem* item, BOOL synchronous);
    void KillActionThread(BOOL pumpMessages);
    BOOL IsActionThreadRunning() const { return m_bThreadRunning != 0; }
    HRESULT ClearPendingSeeks();
    BOOL CanQueueActions() const { return TRUE; }
    void ReleaseFileLocks();

    // Editing.
    virtual HRESULT UpdateGraph(int flag);
    HRESULT AddMediaFile(int kind, LPCTSTR file, LONGLONG start = -1, LONGLONG stop = -1);
    // Builds the preview graph of the timeline: the render engine's front end,
    // the preview filters and their connections, under the timeline lock.
    HRESULT BuildPreviewGraph();

    // Player.
    HRESULT ToggleAudioRendering();
    HRESULT GetMaxProperties(int* width, int* height);
    HRESULT AcquireTimelineLock(BOOL noWait);
    void ReleaseTimelineLock();
    LONGLONG GetDuration();
    void SetPreviewWindow(IPlayerWindow* preview) { m_pPreview = preview; }
    IPlayerWindow* GetPreviewWindow() const { return m_pPreview; }
    HRESULT SetFilterStartTimes(LONGLONG time);
    HRESULT SetOverlayValue(INT_PTR a, INT_PTR b);
    HRESULT GetVideoFrameRate(double* rate);
    HRESULT GetAudioGroupRate(double* rate);
    HRESULT UpdatePreview(int flag, BOOL synchronous);
    HRESULT GetGraphBuilder(IGraphBuilder** graph, int flag);
    HRESULT GetMediaEventEx(IMediaEventEx** out);
    HRESULT GetMediaSeeking(IMediaSeeking** out);
    HRESULT GetMediaControl(IMediaControl** out);
    HRESULT GetVideoWindow(IVideoWindow** out);
    LONGLONG GetPrevMark(LONGLONG) { return 0; }
    LONGLONG GetNextMark(LONGLONG) { return 0; }

    // Overlays: queues a frame grab whose bitmap is posted to notifyWnd.
    HRESULT RequestFrameGrab(LONGLONG time, HWND notifyWnd, int option, int overlayValue, int grabArg);
    // The overlay list: shared with the timeline's overlay filters (the
    // preview's and every file writer's copy), which draw it into the frames
    // under its lock. The list owns what it holds; the last holder deletes
    // the overlays. Indexes are clamped to the list: an overlay always lands
    // in it. Callers that change an overlay in the list take the list's lock
    // (COverlayListLock over GetOverlayList()) so no frame shows half an edit.
    COverlayList* GetOverlayList() const { return m_pOverlays; }
    HRESULT InsertOverlayFirst(COverlay* overlay, LONGLONG* length);
    int CountOverlays(int mask);
    HRESULT MoveOverlay(COverlay* overlay, int index);
    HRESULT MoveOverlayBehindImages(COverlay* overlay);
    COverlay* GetOverlay(int index);
    // Removes under the list's lock (no frame is being drawn meanwhile), then
    // deletes when asked.
    HRESULT RemoveOverlay(int overlayId, BOOL destroy);
    HRESULT GetOverlayById(COverlay** overlay, int overlayId);
    // Overlays active at a time, by the drawing rule: [Start - FadeIn,
    // End + FadeOut) with fading, else [Start, End).
    HRESULT GetOverlayCountAtTime(LONGLONG time, int* count);
    // The n-th overlay active at `time` whose flags share a bit with mask.
    HRESULT GetOverlayAtTime(LONGLONG time, int n, int mask, COverlay** overlay);
    // Appends a copy of the transition record and puts it into the timeline
    // (between its two clips, or by time); the preview is not updated.
    HRESULT AppendTransition(const TransitionInfo& info);

    // Clips of a kind (0 video, 5 transitions, 1 audio, 2 audio mix): each
    // clip is a track of the kind's composition; clip n is the n-th track in
    // (start, track index) order, so tracks that start together all count.
    int GetClipCount(int kind);
    HRESULT GetTrackOfClip(int kind, int n, int* track);
    HRESULT GetClipOfTrack(int kind, int track, int* n);
    HRESULT GetClipStartStop(int kind, int clip, LONGLONG* start, LONGLONG* stop);
    // The clip playing at a time; -1 when none, when the kind's composition
    // is not there or a query fails.
    int GetClipIndexAtTime(int kind, LONGLONG time);

    // Sets one key of a source's volume envelope ("Vol"): a key at the same
    // time is replaced, else the key is inserted in time order. Other
    // parameters of the setter are kept.
    static HRESULT SetVolumeKeyAtTime(IPropertySetter* setter, LONGLONG time, double level, BOOL jump);

protected:
    // The grab itself (the timeline's GrabSampleBitmap); tests replace it.
    virtual HRESULT GrabFrame(LONGLONG time, HBITMAP* bitmap, int option, int grabArg);
    // Runs the queue until it is empty (synchronous) or until killed.
    void RunActions(BOOL untilKilled);

    XRVDSTimeline* m_pTimeline;
    IPlayerWindow* m_pPreview;
    volatile LONG m_bThreadRunning;
    volatile LONG m_bKill;
    HANDLE m_hThreadDone;
    CCriticalSection m_QueueLock;
    CArray<ActionItem*, ActionItem*> m_Actions;
    COverlayList* m_pOverlays;   // one reference; never NULL after construction

private:
    static unsigned __stdcall ActionThreadProc(void* param);
    HRESULT UpdateGraphOnce(int flag, BOOL mayRetry);
    void RunOneAction(ActionItem* item);
    // Waits for the action thread (pumping or not) and closes its handle
    // once it has ended; FALSE when it still runs.
    BOOL JoinActionThread(DWORD timeout, BOOL pumpMessages);
    void FreeItem(ActionItem* item);

    HANDLE m_hThread;

    XRVDShow(const XRVDShow&) = delete;
    XRVDShow& operator=(const XRVDShow&) = delete;
};

// The facade's media queries over the media detector, with the process-wide
// file-properties cache (XRVDirectShow/FileProperties.h). Any thread.
namespace XRVDShowMedia {

// Length of the file's longest stream, 100-ns units (floor(s x 1000) x 10000);
// 0 when it cannot be read.
LONGLONG GetStreamLength(LPCTSTR fileName);
// ".XRVImg3" names count as video without being opened.
BOOL HasVideoStream(LPCTSTR fileName);
BOOL HasAudioStream(LPCTSTR fileName);
// Every out pointer but audio is required (E_POINTER otherwise). audio, when
// given, receives the 16-bit PCM form of the audio stream (all 0xFF bytes
// without audio). noCache probes again and replaces the file's record.
HRESULT GetMediaInformation(LPCTSTR fileName, BOOL* hasVideo, BOOL* hasAudio, LONGLONG* length, int* width,
                            int* height, double* frameRate, int* bitCount, WAVEFORMATEX* audio, BOOL noCache);

// The 16-bit PCM form of an audio stream's format (22050 Hz mono when the
// stream reports a rate of 0).
void PcmFormOf(const WAVEFORMATEX& in, WAVEFORMATEX* out);

}  // namespace XRVDShowMedia
