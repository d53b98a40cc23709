// IPlayerWindow: the control surface of a preview player window, through
// which the playback facade and the post-recording preview dialog drive it.
// Times are 100-ns units. Called on the user-interface thread (the facade
// calls Refresh from its action thread too: it only raises flags and posts).
#pragma once
#include <windows.h>

class IPlayerWindow {
public:
    virtual LONGLONG GetDuration() = 0;
    virtual void Close() = 0;
    virtual void Play() = 0;
    virtual void PlayTo(LONGLONG stop) = 0;
    virtual BOOL IsRunning() = 0;
    virtual void Pause() = 0;
    virtual BOOL IsPaused() = 0;
    virtual void Stop() = 0;
    virtual BOOL IsStopped() = 0;
    virtual BOOL SetFullScreen(BOOL on) = 0;
    virtual BOOL IsFullScreen() = 0;
    virtual BOOL HasPlayerMedia() = 0;
    virtual void StepForward() = 0;
    virtual void StepBack() = 0;
    virtual LONGLONG NextFrameTime(LONGLONG t) = 0;
    virtual LONGLONG PrevFrameTime(LONGLONG t) = 0;
    virtual LONGLONG GetPosition() = 0;
    virtual void Seek(LONGLONG t, BOOL flag) = 0;
    virtual BOOL IsMediaReady() = 0;
    virtual void SeekPrevMark() = 0;
    virtual void SeekNextMark() = 0;
    virtual double GetFrameRate() = 0;
    virtual LONGLONG GetFrameDuration() = 0;
    virtual void Refresh() = 0;
    virtual void SetPanCursor(BOOL on) = 0;
    virtual BOOL OnKey(const MSG* msg) = 0;

protected:
    ~IPlayerWindow() {}
};

// Told when playback completes or is aborted; called on the preview poll
// thread, so an implementation posts to its own window.
class IPlayerNotify {
public:
    virtual void OnPlayStateChanged(IPlayerWindow* player) = 0;

protected:
    ~IPlayerNotify() {}
};
