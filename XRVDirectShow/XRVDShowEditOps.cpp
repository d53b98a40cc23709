// The facade's clip edits over its timeline: taking spans and clips out,
// moving and trimming clips, black video, muting, and the transitions that
// belong to clips and times.
#include "XRVDirectShow/XRVDShow.h"

#include "XRVDirectShow/TimelineReport.h"

#include <windows.h>

namespace {

// Timeline kinds of the span edits: 1 video, 0 audio, 2 both.
int SpanKindOf(int kind)
{
    return kind == 1 || kind == 2 ? 0 : 2;
}

void ReportFacadeText(int line, const char* text)
{
    ReportTimelineFailure(".\\XRVDirectShow\\XRVDShow", line, text);
}

// The timeline's current audio composition points at the kind's audio
// composition while an audio step runs, and back afterwards.
class AudioCompSwitch {
public:
    AudioCompSwitch(XRVDSTimeline* timeline, int kind) : m_timeline(timeline), m_saved(timeline->GetCurAudioComp())
    {
        m_timeline->SetCurAudioComp(kind == 2 ? timeline->GetAudioCompSecond() : timeline->GetAudioCompMain());
    }
    ~AudioCompSwitch() { m_timeline->SetCurAudioComp(m_saved); }

private:
    XRVDSTimeline* m_timeline;
    int m_saved;
};

}  // namespace

int XRVDShow::IsCompNumberUnset(int kind)
{
    if (!m_pTimeline)
        return E_FAIL;
    int number;
    switch (kind) {
        case 0: number = m_pTimeline->GetVideoCompNum(); break;
        case 5: number = m_pTimeline->GetTransCompNum(); break;
        case 1: number = m_pTimeline->GetAudioCompMain(); break;
        case 2: number = m_pTimeline->GetAudioCompSecond(); break;
        default: return E_FAIL;
    }
    return number == -1 ? 1 : 0;
}

HRESULT XRVDShow::CompOfKind(XRVDSTimeline* timeline, int kind, IAMTimelineComp** comp)
{
    if (!comp)
        return E_POINTER;
    *comp = NULL;
    if (!timeline)
        return E_FAIL;
    switch (kind) {
        case 0: return timeline->GetVideoComp(comp, timeline->GetVideoCompNum());
        case 5: return timeline->GetVideoComp(comp, timeline->GetTransCompNum());
        case 1:
        case 2: {
            const int number = kind == 1 ? timeline->GetAudioCompMain() : timeline->GetAudioCompSecond();
            if (number < 0)
                return E_FAIL;
            return timeline->GetAudioComp(comp, number);
        }
        default: return E_FAIL;
    }
}

HRESULT XRVDShow::GetTrack(int kind, IAMTimelineComp** comp)
{
    return CompOfKind(m_pTimeline, kind, comp);
}

// ---------------------------------------------------------------------------
// Muting.

HRESULT XRVDShow::SetClipMuted(int kind, int clip, BOOL muted)
{
    if (!m_pTimeline)
        return E_FAIL;
    int track = -1;
    HRESULT hr = GetTrackOfClip(kind, clip, &track);
    if (FAILED(hr))
        return E_FAIL;
    {
        AudioCompSwitch audio(m_pTimeline, kind);
        hr = m_pTimeline->SetClipMuted(muted, track, kind == 0 || kind == 5);
    }
    if (FAILED(hr))
        return hr;
    UpdatePreview(0, FALSE);
    return hr;
}

HRESULT XRVDShow::SetCompMuted(int kind, BOOL muted)
{
    if (!m_pTimeline)
        return E_FAIL;
    if (IsCompNumberUnset(kind) != 0)
        return S_FALSE;
    HRESULT hr;
    {
        AudioCompSwitch audio(m_pTimeline, kind);
        hr = m_pTimeline->SetCompMuted(muted, kind == 0 || kind == 5);
    }
    if (FAILED(hr))
        return hr;
    UpdatePreview(0, FALSE);
    return hr;
}

BOOL XRVDShow::IsClipMuted(int kind, int clip)
{
    if (!m_pTimeline)
        return FALSE;
    int track = -1;
    if (FAILED(GetTrackOfClip(kind, clip, &track)))
        return FALSE;
    AudioCompSwitch audio(m_pTimeline, kind);
    return m_pTimeline->IsCompTrackMuted(track, kind == 0 || kind == 5 ? 1 : 0);
}

BOOL XRVDShow::IsCompMuted(int kind)
{
    if (!m_pTimeline || IsCompNumberUnset(kind) != 0)
        return FALSE;
    AudioCompSwitch audio(m_pTimeline, kind);
    return m_pTimeline->IsCompMuted(kind == 0 || kind == 5 ? 1 : 0);
}

// ---------------------------------------------------------------------------
// Spans and clips.

HRESULT XRVDShow::DeleteSection(int kind, LONGLONG start, LONGLONG stop)
{
    if (!m_pTimeline)
        return E_FAIL;
    if (kind == 1 || kind == 2) {
        if (IsCompNumberUnset(kind) != 0)
            return E_FAIL;
        AudioCompSwitch audio(m_pTimeline, kind);
        return m_pTimeline->DeleteSection(kind, start, stop);
    }
    return m_pTimeline->DeleteSection(kind, start, stop);
}

// Takes a clip out and closes the gap. A video clip's transitions go first;
// its emptied track goes too, and the transition records that name later
// tracks follow it down.
HRESULT XRVDShow::DeleteClip(int kind, int clip)
{
    if (!m_pTimeline)
        return E_FAIL;
    // Both ends: the transitions leading into this clip and into the next.
    if (kind == 0) {
        RemoveClipTransition(0, clip, TRUE, TRUE, TRUE);
        RemoveClipTransition(0, clip + 1, TRUE, TRUE, TRUE);
    }
    LONGLONG start = -1, stop = -1;
    int track = -1;
    if (FAILED(GetClipStartStop(kind, clip, &start, &stop)) || FAILED(GetTrackOfClip(kind, clip, &track)))
        return E_FAIL;
    HRESULT hr;
    {
        AudioCompSwitch audio(m_pTimeline, kind);
        TimelineLock lock(m_pTimeline);
        if (!lock.Acquire(FALSE))
            return E_FAIL;
        hr = m_pTimeline->RemoveSpanFromComps(SpanKindOf(kind), start, stop - start);
        if (SUCCEEDED(hr) && kind == 0)
            RemoveEmptyVideoTrack(track);
        lock.Release();
    }
    return hr;
}

// An emptied video track leaves the composition; the records of transitions
// between later tracks are renumbered to match.
void XRVDShow::RemoveEmptyVideoTrack(int track)
{
    CComPtr<IAMTimelineComp> comp;
    if (FAILED(GetTrack(0, &comp)))
        return;
    CComPtr<IAMTimelineObj> trackObj;
    if (FAILED(comp->GetVTrack(&trackObj, track)))
        return;
    LONGLONG start = -1, stop = -1;
    if (FAILED(m_pTimeline->GetTrackObjStartStop(trackObj, &start, &stop)) || start != -1)
        return;
    if (FAILED(trackObj->RemoveAll()))
        return;
    for (int i = 0; i < m_pTimeline->GetTransitionCount(); ++i) {
        TransitionInfo* info = m_pTimeline->GetTransition(i);
        if (info && (int)info->uIndexStart > track) {
            info->uIndexStart -= 1;
            info->uIndexStop -= 1;
        }
    }
}

// Moves clip `from` to the place of clip `to` (in start order): the clips in
// between close up behind it or make room before it.
HRESULT XRVDShow::MoveClip(int kind, int from, int to)
{
    if (!m_pTimeline)
        return E_FAIL;
    LONGLONG fromStart = 0, fromStop = 0, toStart = 0, toStop = 0;
    if (FAILED(GetClipStartStop(kind, from, &fromStart, &fromStop)) ||
        FAILED(GetClipStartStop(kind, to, &toStart, &toStop)))
        return E_FAIL;
    if (from == to)
        return S_OK;
    const LONGLONG dest = to < from ? toStart : toStop - (fromStop - fromStart);
    HRESULT hr;
    {
        AudioCompSwitch audio(m_pTimeline, kind);
        TimelineLock lock(m_pTimeline);
        if (!lock.Acquire(FALSE))
            return E_FAIL;
        hr = m_pTimeline->MoveClipBetweenTracks(fromStart, fromStop, dest, kind == 1 || kind == 2 ? 0 : 2, FALSE);
        if (SUCCEEDED(hr))
            m_pTimeline->UpdateTransObjects();
        lock.Release();
    }
    return FAILED(hr) ? hr : S_OK;
}

HRESULT XRVDShow::MoveClipAtTime(int kind, LONGLONG time, int to)
{
    const int from = GetClipIndexAtTime(kind, time);
    return from == -1 ? E_FAIL : MoveClip(kind, from, to);
}

HRESULT XRVDShow::MoveClipTimeToTime(int kind, LONGLONG t1, LONGLONG t2)
{
    const int from = GetClipIndexAtTime(kind, t1);
    const int to = GetClipIndexAtTime(kind, t2);
    return from == -1 || to == -1 ? E_FAIL : MoveClip(kind, from, to);
}

HRESULT XRVDShow::MoveClipToTime(int kind, int from, LONGLONG time)
{
    const int to = GetClipIndexAtTime(kind, time);
    return to == -1 ? E_FAIL : MoveClip(kind, from, to);
}

// Trimming takes a span off one end of the clip; a length past the other end
// changes nothing.
HRESULT XRVDShow::TrimClipStart(int kind, int clip, LONGLONG length)
{
    LONGLONG start = 0, stop = 0;
    if (length <= 0 || FAILED(GetClipStartStop(kind, clip, &start, &stop)) || start + length > stop)
        return E_FAIL;
    return DeleteSection(kind, start, start + length);
}

HRESULT XRVDShow::TrimClipEnd(int kind, int clip, LONGLONG length)
{
    LONGLONG start = 0, stop = 0;
    if (length <= 0 || FAILED(GetClipStartStop(kind, clip, &start, &stop)) || stop - length < start)
        return E_FAIL;
    return DeleteSection(kind, stop - length, stop);
}

HRESULT XRVDShow::InsertBlank(int kind, LONGLONG start, LONGLONG length)
{
    if (!m_pTimeline || kind != 0 || length <= 0)
        return E_FAIL;
    return m_pTimeline->InsertBlackVideo(start, start + length);
}

// ---------------------------------------------------------------------------
// Transitions.

int XRVDShow::GetTransitionCount()
{
    return m_pTimeline ? m_pTimeline->GetTransitionCount() : 0;
}

int XRVDShow::GetTransitionIndex(LONGLONG time)
{
    if (!m_pTimeline)
        return -1;
    for (int i = 0; i < m_pTimeline->GetTransitionCount(); ++i) {
        TransitionInfo* info = m_pTimeline->GetTransition(i);
        if (!info) {
            ReportFacadeText(__LINE__, "pTempTrans is NULL in GetTransitionIndex()");
            continue;
        }
        if (info->rtStart <= time && time <= info->rtStop)
            return i;
    }
    return -1;
}

// The record of the transition leading into a clip: its span reaches the
// clip's start, or (placed by time) it starts inside the clip.
int XRVDShow::GetClipTransitionIndex(int kind, int clip)
{
    LONGLONG start = 0, stop = 0;
    if (!m_pTimeline || FAILED(GetClipStartStop(kind, clip, &start, &stop)))
        return -1;
    for (int i = 0; i < m_pTimeline->GetTransitionCount(); ++i) {
        TransitionInfo* info = m_pTimeline->GetTransition(i);
        if (!info)
            continue;
        if (info->rtStart <= start && start <= info->rtStop)
            return i;
        if (info->bPlaceByTime && start <= info->rtStart && info->rtStart < stop)
            return i;
    }
    return -1;
}

HRESULT XRVDShow::RemoveClipTransition(int kind, int clip, BOOL removeHeld, BOOL closeGap, BOOL removeRecord)
{
    const int index = GetClipTransitionIndex(kind, clip);
    if (index == -1)
        return E_FAIL;
    const HRESULT hr = m_pTimeline->RemoveTransitionFromTimeline(index, closeGap, removeHeld);
    if (removeRecord)
        m_pTimeline->RemoveTransition(index);
    return hr;
}

HRESULT XRVDShow::RemoveClipTransitionAtTime(int kind, LONGLONG time)
{
    const int clip = GetClipIndexAtTime(kind, time);
    return clip == -1 ? E_FAIL : RemoveClipTransition(kind, clip, TRUE, TRUE, TRUE);
}

HRESULT XRVDShow::RemoveTransitionAtTime(LONGLONG time)
{
    const int index = GetTransitionIndex(time);
    if (index == -1)
        return S_FALSE;
    const HRESULT hr = m_pTimeline->RemoveTransitionFromTimeline(index, TRUE, TRUE);
    m_pTimeline->RemoveTransition(index);
    return hr;
}

HRESULT XRVDShow::RebuildTransitions()
{
    return m_pTimeline ? m_pTimeline->RebuildTransitions() : E_FAIL;
}
