#include "XRVDirectShow/TimelinePlayer.h"

CTimeline::CTimeline() : XRVDSTimeline(TRUE, TRUE) {}

CTimelinePlayer::CTimelinePlayer() : XRVDShow(FALSE)
{
    SetTimeline(new CTimeline, TRUE);
}
