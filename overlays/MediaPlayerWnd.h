#pragma once
// CMediaPlayerWnd: a child window that shows a DirectShow playback graph that
// a subclass supplies. The user-interface thread queues commands (Run, Seek,
// Pause...); one process-wide poll thread visits every registered player
// window every 10 ms, runs at most one queued command per visit, keeps the
// play position current, places the video and handles the graph's events.
// The poll thread never sends to a window: it posts, and calls the notify
// target, which posts too. It runs while windows are registered, until
// StopPollThread; a window's destruction waits (pumping) until the thread is
// not stepping it. Times are 100-ns units; 64-bit values shared with the poll
// thread are read and written under a lock (plain ones tear in 32-bit builds).
#include "framework/Collections.h"
#include "framework/ComPtr.h"
#include "framework/ui/Wnd.h"
#include "XRVDirectShow/PlayerWindow.h"

#include <strmif.h>
#include <control.h>

struct IAMTimeline;

#define WM_PLAYER_ZERO_DURATION  (WM_USER + 100)
#define WM_PLAYER_ATTACH_VIDEO   0x2A91

class CMediaPlayerWnd : public CWnd, public IPlayerWindow {
public:
    CMediaPlayerWnd();
    ~CMediaPlayerWnd() override;

    // Creates the window as a visible child.
    BOOL CreatePlayer(CWnd* parent, const RECT& rect, UINT id);
    // Stops the poll thread (waits up to 10 s, pumping): at the program's end.
    static void StopPollThread();
    static BOOL IsPollThreadRunning();

    void SetScaleToFit(BOOL fit);
    BOOL IsScaleToFit() const { return m_fitToWindow; }
    void SetNotifyTarget(IPlayerNotify* target) { m_notifyTarget = target; }
    void SetInset(BOOL inset) { m_inset = inset; }
    void SetEventsWhenHidden(BOOL on) { m_eventsWhenHidden = on; }
    RECT GetMovieRect();
    SIZE GetVideoSize();
    // Codes queued and not yet run (for diagnostics and tests).
    int GetQueuedCommands(int* codes, int max);
    BOOL IsIdle();

    // IPlayerWindow.
    LONGLONG GetDuration() override;
    void Close() override;
    void Play() override;
    void PlayTo(LONGLONG stop) override;
    BOOL IsRunning() override { return m_playState == 2; }
    void Pause() override;
    BOOL IsPaused() override { return m_playState == 1; }
    void Stop() override;
    BOOL IsStopped() override { return m_playState == 0; }
    BOOL SetFullScreen(BOOL on) override;
    BOOL IsFullScreen() override;
    BOOL HasPlayerMedia() override { return m_durationValid; }
    void StepForward() override;
    void StepBack() override;
    LONGLONG NextFrameTime(LONGLONG t) override;
    LONGLONG PrevFrameTime(LONGLONG t) override;
    LONGLONG GetPosition() override;
    void Seek(LONGLONG t, BOOL flag) override;
    BOOL IsMediaReady() override { return m_durationValid; }
    void SeekPrevMark() override {}
    void SeekNextMark() override {}
    double GetFrameRate() override;
    LONGLONG GetFrameDuration() override;
    void Refresh() override;
    void SetPanCursor(BOOL on) override;
    BOOL OnKey(const MSG*) override { return FALSE; }

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    // The graph and timeline of the subclass (E_FAIL without).
    virtual HRESULT GetGraph(IGraphBuilder** graph) { return E_FAIL; }
    virtual double GetVideoFrameRate() { return 0.0; }
    virtual double GetAudioFrameRate() { return 0.0; }
    virtual void ExecuteCommand(int code);
    virtual HRESULT RunGraph();
    virtual HRESULT ApplyPosition();
    virtual HRESULT PauseGraph();
    virtual void OnMediaChanged();
    virtual HRESULT PlayRangeGraph();
    virtual void RewindIfAtEnd();
    virtual void UpdatePosition();
    virtual void ProcessGraphEvents();
    virtual HRESULT RefreshDuration();
    virtual void PlaceVideo();
    virtual void ShowVideo(BOOL show);
    virtual BOOL HasVideo() { return TRUE; }
    virtual BOOL BeginStep() { return TRUE; }
    virtual void EndStep() {}
    virtual LONGLONG QueryDuration(HRESULT* hr) { *hr = E_FAIL; return 0; }

    void PostCommand(int code);
    LONGLONG SnapToFrame(LONGLONG t);
    HRESULT GetMediaControl(IMediaControl** out);
    HRESULT GetMediaSeeking(IMediaSeeking** out);
    void Register();
    void Unregister();
    void DropCommands();
    // Computes the scroll bars and m_rectMovie for the client and video sizes.
    void LayoutMovie(int clientWidth, int clientHeight, int videoWidth, int videoHeight);

    // 64-bit values under m_valueLock.
    LONGLONG Get64(const LONGLONG& v);
    void Set64(LONGLONG& v, LONGLONG value);

    int OnCreate(LPCREATESTRUCT cs);
    void OnDestroy();
    void OnSize(UINT type, int cx, int cy);
    void OnPaint();
    BOOL OnEraseBkgnd(CDC*) { return TRUE; }
    void OnShowWindow(BOOL show, UINT status);
    void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
    void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
    LRESULT OnAttachVideo(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

    volatile LONG m_playState;        // 0 stopped, 1 paused, 2 running
    LONGLONG m_position;
    LONGLONG m_tempPosition;          // all-ones when unused
    LONGLONG m_stopPosition;
    LONGLONG m_duration;
    BOOL m_fitToWindow;
    volatile LONG m_needsRestart;
    volatile LONG m_needsPlacement;
    volatile LONG m_needsDuration;
    volatile LONG m_durationValid;
    volatile LONG m_pausedEventSeen;
    BOOL m_eventsWhenHidden;
    BOOL m_inset;
    IPlayerNotify* m_notifyTarget;
    RECT m_rectMovie;
    long m_lVideoRealWidth;
    long m_lVideoRealHeight;
    HANDLE m_idleEvent;
    CRITICAL_SECTION m_queueLock;
    CRITICAL_SECTION m_valueLock;
    CArray<int, int> m_queue;
    HWND m_videoChild;                // the renderer's window, forwarded to us

private:
    static unsigned __stdcall PollThreadProc(void*);
    static void EnsurePollThread();
    void PollStep();
    BOOL HasPollWork();
    void Scroll(int bar, UINT code, UINT trackPos);
};
