#pragma once
// Our SWF writer filter ("Kestravon SWF Writer", class 31AD8E01-...): input
// pin 0 "Video" takes RGB32 or RGB24 frames (scaled to the movie size,
// nearest pixel), pin 1 "Audio" takes PCM at a rate SWF knows (5512, 11025,
// 22050 or 44100 Hz, 8 or 16 bits, one or two channels). The movie is
// written with CSwfFileWriter to the file named through IFileSinkFilter:
// created when the filter leaves Stopped, finished when it stops. Frames are
// resampled to the movie's rate: movie frame k shows the latest input frame
// that started by k / rate seconds.
#include <windows.h>

extern "C" const CLSID CLSID_XrvSwfWriter;
extern "C" const IID IID_ISwfWriterSettings;

// The settings interface of the SWF writer. The writer's stage calls
// operations 1, 14, 3, 11, 12 and 10 in that order; the others are not used
// by it.
struct ISwfWriterSettings : public IUnknown {
    // 1: the movie's sources, kept for the caller's reference only (the
    // writer reads its frames and sound from its pins): the SWF options
    // record, the recording settings record, the first text, the output
    // path, the timeline's name pairs, clip objects, the second text, the
    // extended clip descriptions and the media file names. The pointers
    // are not kept past the call; the output path is copied.
    virtual HRESULT STDMETHODCALLTYPE SetMovieSources(const void* swfOptions, const void* recordSettings,
                                                      LPCWSTR text1, LPCWSTR outputPath, const void* namePairs,
                                                      const void* clips, LPCWSTR text2, const void* clipInfo,
                                                      const void* mediaFileNames) = 0;
    // 2: the number of frames written so far.
    virtual HRESULT STDMETHODCALLTYPE GetFrameCount(DWORD* frames) = 0;
    // 3: movie size in pixels (1..4095), frame rate (whole frames per
    // second, 1..255), a colour depth hint (recorded: Screen Video always
    // stores 24-bit pixels) and the expected length in 100 ns.
    virtual HRESULT STDMETHODCALLTYPE SetMovieFormat(LONG width, LONG height, LONG frameRate, LONG depth,
                                                     LONGLONG length) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved4() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;
    // 10: the background colour (0x00BBGGRR) of the movie's stage.
    virtual HRESULT STDMETHODCALLTYPE SetBackgroundColor(DWORD colour) = 0;
    // 11: a key frame every that many frames (0: only the first).
    virtual HRESULT STDMETHODCALLTYPE SetKeyFrameEvery(DWORD frames) = 0;
    // 12: non-zero asks players to smooth the video when they scale it.
    virtual HRESULT STDMETHODCALLTYPE SetSmoothing(DWORD smooth) = 0;
    // 13: the stream sound's coding: 0 PCM (the default), 2..5 SWF ADPCM
    // with that many bits a sample. Set before the filter starts.
    virtual HRESULT STDMETHODCALLTYPE SetSoundCompression(DWORD adpcmBits) = 0;
    // 14: the timeline range the movie is made from (100 ns), recorded.
    virtual HRESULT STDMETHODCALLTYPE SetRange(LONGLONG start, LONGLONG stop) = 0;
};

// Creates the filter (the factory's function for CLSID_XrvSwfWriter).
HRESULT CreateSwfWriterFilter(REFIID riid, void** ppv);
