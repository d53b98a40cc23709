#pragma once
// Our Windows Media ASF writer filter, made for CLSID_WMAsfWriter: Wine has
// none. Configured by a profile (IConfigAsfWriter), it writes the file named
// through IFileSinkFilter with our ASF writer: video as 32-bit ZMBV at the
// profile's size and frame rate, sound as PCM in the profile's format. Title,
// author, copyright and description come through IWMHeaderInfo, which
// IServiceProvider hands out. Input pins "Video Input 01" (RGB32 or RGB24)
// and "Audio Input 01" (PCM); a pin whose stream the profile lacks refuses
// every type. The file is created when the filter leaves Stopped and
// finished (durations, counts, index) when it stops again.
#include <windows.h>

#include <wmsdkidl.h>

// IConfigAsfWriter, absent from mingw-w64's headers.
extern "C" const IID IID_IConfigAsfWriter;
struct IConfigAsfWriter : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfileId(DWORD profileId) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentProfileId(DWORD* profileId) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfileGuid(REFGUID profile) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentProfileGuid(GUID* profile) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfile(IWMProfile* profile) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentProfile(IWMProfile** profile) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetIndexMode(BOOL index) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIndexMode(BOOL* index) = 0;
};

// Creates the filter (the factory's function for CLSID_WMAsfWriter).
HRESULT CreateAsfWriterFilter(REFIID riid, void** ppv);

// The pin names: the writer's stage finds them by their first word.
extern const WCHAR kAsfVideoPinName[];
extern const WCHAR kAsfAudioPinName[];
