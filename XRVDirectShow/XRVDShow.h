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

    // Clip edits (XRVDShowEditOps.cpp). Kinds: 0 video, 5 transitions, 1
    // audio, 2 audio mix.
    // 1 when the kind's composition number is unset, 0 when set, E_FAIL for
    // other kinds.
    int IsCompNumberUnset(int kind);
    // The kind's composition; E_FAIL for other kinds or an unset number.
    HRESULT GetTrack(int kind, IAMTimelineComp** comp);
    static HRESULT CompOfKind(XRVDSTimeline* timeline, int kind, IAMTimelineComp** comp);
    // Muting a clip or a whole composition refreshes the preview.
    HRESULT SetClipMuted(int kind, int clip, BOOL muted);
    HRESULT SetCompMuted(int kind, BOOL muted);
    BOOL IsClipMuted(int kind, int clip);
    BOOL IsCompMuted(int kind);
    // Takes [start, stop) out (video: of the video and the audio; audio kinds:
    // of their composition) and closes the gap.
    HRESULT DeleteSection(int kind, LONGLONG start, LONGLONG stop);
    HRESULT DeleteClip(int kind, int clip);
    // Moves clip `from` to the place of clip `to` in start order.
    HRESULT MoveClip(int kind, int from, int to);
    HRESULT MoveClipAtTime(int kind, LONGLONG time, int to);
    HRESULT MoveClipTimeToTime(int kind, LONGLONG t1, LONGLONG t2);
    HRESULT MoveClipToTime(int kind, int from, LONGLONG time);
    // E_FAIL and no change when the length passes the clip's other end.
    HRESULT TrimClipStart(int kind, int clip, LONGLONG length);
    HRESULT TrimClipEnd(int kind, int clip, LONGLONG length);
    // Black video over [start, start + length] (video kind only).
    HRESULT InsertBlank(int kind, LONGLONG start, LONGLONG length);
    int GetTransitionCount();
    // The first transition record whose span holds time (both ends); -1.
    int GetTransitionIndex(LONGLONG time);
    // The record of the transition leading into a clip; -1.
    int GetClipTransitionIndex(int kind, int clip);
    HRESULT RemoveClipTransition(int kind, int clip, BOOL removeHeld, BOOL closeGap, BOOL removeRecord);
    HRESULT RemoveClipTransitionAtTime(int kind, LONGLONG time);
    // S_FALSE and no change when no transition holds the time.
    HRESULT RemoveTransitionAtTime(LONGLONG time);
    HRESULT RebuildTransitions();

    // Narration (XRVDShowNarration.cpp). Times in 100 ns, -1: not given.
    // Starts (or, when paused, resumes) recording the sound input; with
    // syncPreview the preview plays the span meanwhile.
    HRESULT StartRecord(LONGLONG start, LONGLONG stop, BOOL syncPreview);
    HRESULT PauseRecord();
    // Stops and names the narration (asking the user with askName) and adds
    // it to the timeline's audio; S_FALSE when the user discarded it.
    HRESULT StopRecord(CString* outName, BOOL askName);
    // The recording graph (no reference added); E_FAIL without one.
    HRESULT GetRecordingGraph(IGraphBuilder** graph);
    // -1 before any recording; else the graph's position plus the base.
    void GetCurRecordingPos(LONGLONG* position);
    BOOL CheckFileInTimeline(LPCTSTR name);
    BOOL IsFileLocked(LPCTSTR name);
    HRESULT AddAudioFile(LPCTSTR file, LONGLONG start, LONGLONG end, LONGLONG mediaStart, LONGLONG mediaStop);

    // Further editing, player, overlay and registry operations
    // (XRVDShowEditMore.cpp). Kinds as above; times in 100 ns.
    // Tracks of the video composition.
    HRESULT GetTrackCount(long* count);
    // As GetClipIndexAtTime, then by the clips' exact spans (no frame grid).
    int GetClipIndexAtTimeEx(int kind, LONGLONG time);
    // The media file of the clip's first source.
    HRESULT GetClipMediaName(int kind, int clip, CString* name);
    // A track's span; a composition's span over its tracks.
    HRESULT GetClipTimes(IAMTimelineTrack* track, LONGLONG* start, LONGLONG* stop);
    HRESULT GetCompStartStop(IAMTimelineObj* object, LONGLONG* start, LONGLONG* stop);
    // The end of the kind's composition; 0 when it has no clips or is missing.
    LONGLONG GetCompStop(int kind);
    HRESULT GetClip(int kind, int clip, IAMTimelineTrack** track);
    HRESULT GetClipObj(int kind, int clip, IAMTimelineObj** object);
    HRESULT GetTrackObj(int kind, IAMTimelineObj** object);
    HRESULT GetClipMediaStartStop(int kind, int clip, LONGLONG* start, LONGLONG* stop);
    HRESULT GetClipMediaLength(int kind, int clip, LONGLONG* length);
    // Adding a file with a video stream (video kind only) with its sound.
    // Negative times are not given: the timeline takes the file's length.
    // With insert, what lies after start moves back to make room.
    HRESULT AddMediaFileEx(int kind, LPCTSTR file, LONGLONG start, LONGLONG stop, LONGLONG mediaStart,
                           LONGLONG mediaStop, BOOL insert);
    HRESULT AddMediaFileAt(int kind, LPCTSTR file, LONGLONG start);
    // [start, start + length) of the timeline plays the file from its start.
    HRESULT AddMediaFileForLength(int kind, LPCTSTR file, LONGLONG start, LONGLONG length);
    // At the clip's stop (past the last clip: the last clip's stop; no clips:
    // time 0).
    HRESULT AppendMediaFileAfterClip(int kind, int clip, LPCTSTR file, LONGLONG mediaStart, LONGLONG mediaStop,
                                     BOOL insert);
    HRESULT AppendMediaFileAfterClipEx(int kind, int clip, LPCTSTR file, LONGLONG mediaStart, LONGLONG mediaStop);
    HRESULT InsertMediaFileAt(int kind, int clip, LPCTSTR file);
    HRESULT InsertBlankAfterClip(int kind, int clip, LONGLONG length);
    // A new audio mix composition holding the sound file over [0, its
    // length); E_FAIL without the audio group or for a file without length
    // (no empty composition is left behind).
    HRESULT AddAudioMixComp(LPCTSTR file);
    // Splits a clip at a time (video: with the audio clip of the same span).
    // E_FAIL and no change when a transition holds the time or the time is
    // within a frame of the clip's ends (the user is told).
    HRESULT SplitClip(int kind, int clip, LONGLONG time);
    HRESULT NotImplemented8() { return E_FAIL; }
    HRESULT NotImplemented7() { return E_FAIL; }
    // Adds the transition record; with update the preview is rebuilt.
    HRESULT InsertTransition(const TransitionInfo& info, BOOL update);
    HRESULT AddTransitionAndUpdate(int ignored, const TransitionInfo& info);
    HRESULT EnableTransitions(BOOL enable);
    HRESULT UpdateGraphEx(int a, int b, int flag, int d, int e, int f);
    // The transition records from their XML text.
    HRESULT LoadTransitions(LPCSTR xml);
    HRESULT GrabSampleBitmapToFile(LONGLONG time, LPCTSTR file, BOOL zoom);
    HRESULT GetCachedMaxProperties(BOOL force);
    HRESULT InitializeRenderEngine();
    // The video group's format.
    HRESULT GetVideoFormat(VIDEOINFOHEADER* format);
    // The transition record whose span holds time; a negative time stands
    // for the preview's position. -1 when none.
    int GetTransitionAtTime(LONGLONG time);
    // The overlay filter's value (0 without a filter).
    HRESULT GetOverlayFilterValue(LONG* value);
    // TRUE when time lies after the end of the video composition.
    BOOL IsPastVideoEnd(LONGLONG time);
    // The process-wide object registry; without a timeline nothing is done
    // and 0 is returned.
    ZoomRectInfo* NewZoomRectInfo();
    DWORD GetLastObjectId();
    DWORD RegisterObject(void* object);
    DWORD UnregisterObject(DWORD key);
    DWORD LookupRegisteredObject(DWORD key, void** object);
    DWORD NextObjectId();
    // The file's properties as text and values (XRVDShowMedia::GetFileProperties).
    HRESULT GetMediaFileProperties(LPCTSTR file, CString* text, struct MediaFileProperties* values);

protected:
    // Tells the user a split at a clip's edge is refused (a message box).
    virtual void ShowSplitRefused();

protected:
    // The grab itself (the timeline's GrabSampleBitmap); tests replace it.
    virtual HRESULT GrabFrame(LONGLONG time, HBITMAP* bitmap, int option, int grabArg);
    // Asks the user for the narration's file name (the save dialog): IDOK
    // with *name set, or IDCANCEL; tests answer instead.
    virtual int AskNarrationName(CString* name);
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
    void RemoveEmptyVideoTrack(int track);

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

// What GetFileProperties reports of a media file.
struct MediaFileProperties {
    BOOL hasVideo = FALSE;
    BOOL hasAudio = FALSE;
    CString videoKind;              // "DV-Avi", "Mpeg" or "Unknown"; empty without video
    int width = 0;
    int height = 0;
    double frameRate = 0.0;
    WORD channels = 0;              // the audio stream's own format
    DWORD samplesPerSec = 0;
    WORD bitsPerSample = 0;
    LONGLONG length = 0;            // the longest stream, 100-ns units
    ULONGLONG fileSize = 0;
    FILETIME writeTime = {0, 0};
};

namespace XRVDShowMedia {

// A descriptive text of the file, one "label<TAB>value" line each: audio
// format, video kind, picture size and rate, duration (h:mm:ss.ss), file size
// and modification time. E_FAIL when the file cannot be read or probed.
HRESULT GetFileProperties(LPCTSTR fileName, CString* text, MediaFileProperties* values);

}  // namespace XRVDShowMedia
