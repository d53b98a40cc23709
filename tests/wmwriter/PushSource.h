#pragma once
// A source filter the test drives by hand: output pin 0 "Video" offers
// RGB32 frames of a given size, pin 1 "Audio" a given PCM format; Send
// delivers one sample with its times.
#include "platform/filters/FilterBase.h"
#include <string>

class CPushPin : public COutputPinBase {
public:
    CPushPin(CFilterBase* owner, LPCWSTR name, bool video, int width, int height, const std::string& waveFormat);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override;
    HRESULT GetMediaType(int index, AM_MEDIA_TYPE* mt) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT Send(const void* data, long size, REFERENCE_TIME start, REFERENCE_TIME stop);

private:
    bool m_video;
    int m_width;
    int m_height;
    std::string m_waveFormat;
};

class CPushSource : public CFilterBase {
public:
    CPushSource(int width, int height, const std::string& waveFormat);
    CPushPin* Out(int i) const { return static_cast<CPushPin*>(GetPin(i)); }
};
