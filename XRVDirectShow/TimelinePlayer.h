// CTimeline: the timeline of the player that the post-recording preview uses;
// here it adds nothing to XRVDSTimeline (it has a video group and audio).
// CTimelinePlayer: the playback facade that owns a CTimeline. UI thread.
#pragma once
#include "XRVDirectShow/XRVDShow.h"

class CTimeline : public XRVDSTimeline {
public:
    CTimeline();
};

class CTimelinePlayer : public XRVDShow {
public:
    CTimelinePlayer();
};
