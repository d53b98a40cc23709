#include "PushSource.h"
#include <mmreg.h>

namespace {
const CLSID kPushSource = {0x5a1c0de0, 0x3b7e, 0x4c1a, {0x9a, 0x11, 0x52, 0x0b, 0x6e, 0x41, 0x7d, 0x01}};
}

CPushPin::CPushPin(CFilterBase* owner, LPCWSTR name, bool video, int width, int height, const std::string& waveFormat)
    : COutputPinBase(owner, name), m_video(video), m_width(width), m_height(height), m_waveFormat(waveFormat)
{
}

HRESULT CPushPin::CheckMediaType(const AM_MEDIA_TYPE* mt)
{
    return mt->majortype == (m_video ? MEDIATYPE_Video : MEDIATYPE_Audio) ? S_OK : S_FALSE;
}

HRESULT CPushPin::GetMediaType(int index, AM_MEDIA_TYPE* mt)
{
    if (index != 0)
        return VFW_S_NO_MORE_ITEMS;
    ZeroMemory(mt, sizeof(*mt));
    if (m_video) {
        VIDEOINFOHEADER* vih = (VIDEOINFOHEADER*)::CoTaskMemAlloc(sizeof(VIDEOINFOHEADER));
        ZeroMemory(vih, sizeof(*vih));
        vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        vih->bmiHeader.biWidth = m_width;
        vih->bmiHeader.biHeight = m_height;
        vih->bmiHeader.biPlanes = 1;
        vih->bmiHeader.biBitCount = 32;
        vih->bmiHeader.biSizeImage = m_width * m_height * 4;
        mt->majortype = MEDIATYPE_Video;
        mt->subtype = MEDIASUBTYPE_RGB32;
        mt->formattype = FORMAT_VideoInfo;
        mt->cbFormat = sizeof(VIDEOINFOHEADER);
        mt->pbFormat = (BYTE*)vih;
        mt->bFixedSizeSamples = TRUE;
        mt->lSampleSize = m_width * m_height * 4;
    } else {
        WAVEFORMATEX* wf = (WAVEFORMATEX*)::CoTaskMemAlloc(sizeof(WAVEFORMATEX));
        memcpy(wf, m_waveFormat.data(), sizeof(WAVEFORMATEX));
        mt->majortype = MEDIATYPE_Audio;
        mt->subtype = MEDIASUBTYPE_PCM;
        mt->formattype = FORMAT_WaveFormatEx;
        mt->cbFormat = sizeof(WAVEFORMATEX);
        mt->pbFormat = (BYTE*)wf;
        mt->bFixedSizeSamples = TRUE;
        mt->lSampleSize = wf->nBlockAlign;
    }
    return S_OK;
}

HRESULT CPushPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request)
{
    request->cBuffers = 2;
    request->cbBuffer = m_width * m_height * 4 > 65536 ? m_width * m_height * 4 : 65536;
    request->cbAlign = 1;
    ALLOCATOR_PROPERTIES actual;
    return allocator->SetProperties(request, &actual);
}

HRESULT CPushPin::Send(const void* data, long size, REFERENCE_TIME start, REFERENCE_TIME stop)
{
    IMediaSample* sample = nullptr;
    HRESULT hr = GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr))
        return hr;
    BYTE* buffer = nullptr;
    sample->GetPointer(&buffer);
    if (size > sample->GetSize()) {
        sample->Release();
        return E_INVALIDARG;
    }
    memcpy(buffer, data, size);
    sample->SetActualDataLength(size);
    sample->SetTime(&start, &stop);
    hr = Deliver(sample);
    sample->Release();
    return hr;
}

CPushSource::CPushSource(int width, int height, const std::string& waveFormat) : CFilterBase(kPushSource)
{
    AddPin(new CPushPin(this, L"Video", true, width, height, waveFormat));
    AddPin(new CPushPin(this, L"Audio", false, width, height, waveFormat));
}
