#pragma once
// The small filters of the camera graph (Wine has none of them): the frame
// skip (one kind for video and sound), the video tee and the push source
// that the recorder engine feeds with the camera file's sound. Created by
// class id through DexCreateInstance.
#include <windows.h>
#include <strmif.h>

extern "C" const CLSID CLSID_XrvFrameSkip;
extern "C" const CLSID CLSID_XrvVideoTee;
extern "C" const CLSID CLSID_XrvPushSource;
extern "C" const IID IID_IXrvFrameSkip;
extern "C" const IID IID_IXrvPushSource;

// The frame skip's switch: 1 drops every sample, 0 passes them. Any thread.
struct IXrvFrameSkip : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetSkip(LONG skip) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSkip(LONG* skip) = 0;
    // Samples passed and dropped since the filter was made.
    virtual HRESULT STDMETHODCALLTYPE GetCounts(LONG* passed, LONG* dropped) = 0;
};

// The push source's feed, on its output pin (and on the filter). The sound
// format is set before the pin connects; Push copies the data into the
// source's queue and returns at once, from any thread; the source's own
// thread delivers it with times that follow the bytes delivered.
struct IXrvPushSource : public IUnknown {
    // 1. The format of the pushed sound (PCM; cbSize ignored).
    virtual HRESULT STDMETHODCALLTYPE SetFormat(const WAVEFORMATEX* format) = 0;
    // 2. The format in use.
    virtual HRESULT STDMETHODCALLTYPE GetFormat(WAVEFORMATEX* format) = 0;
    // 3. Queues a copy of `length` bytes. S_OK when queued; S_FALSE (dropped)
    // when no stream is open or the filter is stopped.
    virtual HRESULT STDMETHODCALLTYPE Push(const BYTE* data, LONG length) = 0;
    // 4. Ends the stream: what is queued is delivered, then end of stream.
    virtual HRESULT STDMETHODCALLTYPE EndStream() = 0;
    // 5. Opens a new stream: the times start at 0 and pushes are taken.
    virtual HRESULT STDMETHODCALLTYPE StartStream() = 0;
    // 6. Bytes queued and bytes delivered since the stream started.
    virtual HRESULT STDMETHODCALLTYPE GetCounts(LONGLONG* queued, LONGLONG* delivered) = 0;
    // 7. The expected buffers per second of the feed: sizes the samples
    // (a pushed buffer longer than one sample goes out in several).
    virtual HRESULT STDMETHODCALLTYPE SetBuffersPerSecond(double rate) = 0;
};

HRESULT CreateFrameSkipFilter(REFIID riid, void** ppv);
HRESULT CreateVideoTeeFilter(REFIID riid, void** ppv);
HRESULT CreatePushSourceFilter(REFIID riid, void** ppv);
