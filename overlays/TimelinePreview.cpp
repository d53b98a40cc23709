#include "overlays/TimelinePreview.h"

#include "XRVDirectShow/XRVDShow.h"

BEGIN_MESSAGE_MAP(CTimelinePreview, CMediaPlayerWnd)
    ON_WM_SHOWWINDOW()
    ON_MESSAGE(WM_PLAYER_ZERO_DURATION, OnZeroDuration)
END_MESSAGE_MAP()

CTimelinePreview::CTimelinePreview() : m_player(NULL), m_zeroDurationTarget(NULL), m_stepLock(NULL) {}

CTimelinePreview::~CTimelinePreview()
{
    Unregister();
    if (m_player && m_player->GetPreviewWindow() == this)
        m_player->SetPreviewWindow(NULL);
}

void CTimelinePreview::SetPlayer(XRVDShow* player)
{
    if (m_player && m_player != player && m_player->GetPreviewWindow() == this)
        m_player->SetPreviewWindow(NULL);
    m_player = player;
    if (player)
        player->SetPreviewWindow(this);
}

BOOL CTimelinePreview::HasPlayerMedia()
{
    return m_player ? m_durationValid : FALSE;
}

BOOL CTimelinePreview::IsMediaReady()
{
    return m_durationValid && m_player && m_player->GetDuration() > 0;
}

void CTimelinePreview::SeekPrevMark()
{
    if (m_player)
        Seek(m_player->GetPrevMark(GetPosition()), 1);
}

void CTimelinePreview::SeekNextMark()
{
    if (m_player)
        Seek(m_player->GetNextMark(GetPosition()), 1);
}

HRESULT CTimelinePreview::GetGraph(IGraphBuilder** graph)
{
    *graph = NULL;
    return m_player ? m_player->GetGraphBuilder(graph, 0) : E_FAIL;
}

double CTimelinePreview::GetVideoFrameRate()
{
    double rate = 0.0;
    if (m_player)
        m_player->GetVideoFrameRate(&rate);
    return rate;
}

double CTimelinePreview::GetAudioFrameRate()
{
    double rate = 0.0;
    if (m_player)
        m_player->GetAudioGroupRate(&rate);
    return rate;
}

LONGLONG CTimelinePreview::QueryDuration(HRESULT* hr)
{
    *hr = E_FAIL;
    if (!m_player || !m_player->GetTimeline())
        return 0;
    *hr = S_OK;
    return m_player->GetDuration();
}

// Posted, not sent: this runs on the poll thread.
HRESULT CTimelinePreview::RefreshDuration()
{
    const HRESULT hr = CMediaPlayerWnd::RefreshDuration();
    if (SUCCEEDED(hr) && GetDuration() <= 0 && m_hWnd)
        ::PostMessageA(m_hWnd, WM_PLAYER_ZERO_DURATION, 0, 0);
    return hr;
}

BOOL CTimelinePreview::BeginStep()
{
    if (!m_player || !m_player->GetTimeline())
        return FALSE;
    TimelineLock* guard = TimelineLock::Create(m_player->GetTimeline(), TRUE);
    if (!guard)
        return FALSE;
    m_stepLock = guard;
    return TRUE;
}

void CTimelinePreview::EndStep()
{
    TimelineLock* guard = m_stepLock;
    m_stepLock = NULL;
    if (guard) {
        guard->Release();
        delete guard;
    }
}

void CTimelinePreview::OnShowWindow(BOOL show, UINT status)
{
    CMediaPlayerWnd::OnShowWindow(show, status);
    DropCommands();
    if (m_hWnd)
        Register();
}

LRESULT CTimelinePreview::OnZeroDuration(WPARAM, LPARAM)
{
    if (m_zeroDurationTarget && m_player && m_player->GetDuration() <= 0)
        m_zeroDurationTarget->OnPlayStateChanged(this);
    return 0;
}

HRESULT CTimelinePreview::ApplyPosition()
{
    if (m_player)
        m_player->SetFilterStartTimes(SnapToFrame(Get64(m_position)));
    return CMediaPlayerWnd::ApplyPosition();
}

HRESULT CTimelinePreview::PlayRangeGraph()
{
    if (m_player)
        m_player->SetFilterStartTimes(GetPosition());
    return CMediaPlayerWnd::PlayRangeGraph();
}
