#pragma once
// CTimelinePreview: the player window over the graph of a playback facade
// (XRVDShow). Each poll step runs under the facade's timeline lock, so that
// timeline edits and graph calls never overlap; a step whose lock wait is
// cancelled is skipped. A timeline of zero length is announced by a posted
// WM_USER + 100 to the zero-duration notify target. UI thread, poll thread.
#include "overlays/MediaPlayerWnd.h"

class XRVDShow;
struct TimelineLock;

class CTimelinePreview : public CMediaPlayerWnd {
public:
    CTimelinePreview();
    ~CTimelinePreview() override;

    // Attaches the facade (not owned) and hands it this window.
    void SetPlayer(XRVDShow* player);
    XRVDShow* GetPlayer() const { return m_player; }
    void SetZeroDurationTarget(IPlayerNotify* target) { m_zeroDurationTarget = target; }

    BOOL HasPlayerMedia() override;
    BOOL IsMediaReady() override;
    void SeekPrevMark() override;
    void SeekNextMark() override;

protected:
    HRESULT GetGraph(IGraphBuilder** graph) override;
    double GetVideoFrameRate() override;
    double GetAudioFrameRate() override;
    LONGLONG QueryDuration(HRESULT* hr) override;
    HRESULT RefreshDuration() override;
    BOOL BeginStep() override;
    void EndStep() override;
    // The graph's samples count from 0 again after a seek: the overlay and
    // zoom filters first learn the timeline position the samples start at.
    HRESULT ApplyPosition() override;
    HRESULT PlayRangeGraph() override;

    void OnShowWindow(BOOL show, UINT status);
    LRESULT OnZeroDuration(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

private:
    XRVDShow* m_player;
    IPlayerNotify* m_zeroDurationTarget;
    TimelineLock* m_stepLock;       // held from BeginStep to EndStep (poll thread)
};
