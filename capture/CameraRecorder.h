#pragma once
// What the recorder engine asks of the camera that records beside the
// screen (the camera configuration of the camera folder implements it): the
// per-recording settings, and start, pause and stop on the capture thread.
#include "framework/AfxPlatform.h"

struct IXrvPushSource;
struct RecordingTrackInfo;

class ICameraRecorder {
public:
    virtual ~ICameraRecorder() {}
    // Sound recorded into the camera file (and, with pushed, fed by the
    // engine through the push source rather than by a capture device).
    virtual void SetCodecFlag(BOOL recordAudio) = 0;
    virtual void SetPushSourceAudio(BOOL pushed) = 0;
    virtual BOOL SetOutputName(LPCSTR name) = 0;
    virtual void SetAudioFormat(const WAVEFORMATEX* format) = 0;
    virtual BOOL UsesDefaultCodec() = 0;
    virtual void StopPreview() = 0;
    virtual BOOL StartCapture(BOOL wait, int timeoutMs, BOOL pauseAfterBuilding, HWND window) = 0;
    virtual BOOL PauseCapture(BOOL wait, int timeoutMs) = 0;
    virtual BOOL StopCapture(BOOL wait, int timeoutMs) = 0;
    // Takes no more pictures while the sound still comes in (the recording
    // stops: the wave recorder drains before the graph stops).
    virtual void EndVideo() = 0;
    // The push source of the graph built last (a new reference), or null.
    virtual IXrvPushSource* GetPushSource() = 0;
    // Fills the camera fields of a manifest's track description: codec,
    // profile names, picture size and depth (left 0 without a video type).
    virtual void DescribeTrack(RecordingTrackInfo* info) = 0;
};
