#include "platform/dex/PcmConverter.h"
#include "platform/filters/TransformFilter.h"

#include <mmreg.h>
#include <msacm.h>
#include <initguid.h>
#include <new>

// {B7C5D3A3-6E2F-4C8B-9A47-1D2E3F405162}
DEFINE_GUID(CLSID_XrvPcmConverter, 0xb7c5d3a3, 0x6e2f, 0x4c8b, 0x9a, 0x47, 0x1d, 0x2e, 0x3f, 0x40, 0x51, 0x62);

namespace {

BOOL IsPcm(const AM_MEDIA_TYPE* mt)
{
    if (!IsEqualGUID(mt->majortype, MEDIATYPE_Audio) || !IsEqualGUID(mt->formattype, FORMAT_WaveFormatEx) ||
        !mt->pbFormat || mt->cbFormat < sizeof(PCMWAVEFORMAT))
        return FALSE;
    const WAVEFORMATEX* w = (const WAVEFORMATEX*)mt->pbFormat;
    return w->wFormatTag == WAVE_FORMAT_PCM && w->nChannels >= 1 && w->nChannels <= 8 && w->nSamplesPerSec >= 1000 &&
           w->nSamplesPerSec <= 192000 && (w->wBitsPerSample == 8 || w->wBitsPerSample == 16) &&
           w->nBlockAlign == w->nChannels * w->wBitsPerSample / 8;
}

class CPcmConverter;

// The output pin's IAMStreamConfig (part of the filter's reference count).
class CStreamConfig : public IAMStreamConfig {
public:
    explicit CStreamConfig(CPcmConverter* owner) : m_owner(owner) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP SetFormat(AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP GetFormat(AM_MEDIA_TYPE** ppmt) override;
    STDMETHODIMP GetNumberOfCapabilities(int* piCount, int* piSize) override
    {
        if (!piCount || !piSize)
            return E_POINTER;
        *piCount = 0;
        *piSize = sizeof(AUDIO_STREAM_CONFIG_CAPS);
        return S_OK;
    }
    STDMETHODIMP GetStreamCaps(int, AM_MEDIA_TYPE**, BYTE*) override { return E_NOTIMPL; }

private:
    CPcmConverter* m_owner;
};

class CPcmConverter : public CTransformFilterBase {
public:
    CPcmConverter() : CTransformFilterBase(CLSID_XrvPcmConverter), m_config(this), m_stream(NULL) {}
    ~CPcmConverter() override { CloseStream(); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        // The stream configuration is asked of the filter or its output pin.
        if (ppv && IsEqualIID(riid, IID_IAMStreamConfig)) {
            *ppv = static_cast<IAMStreamConfig*>(&m_config);
            AddRef();
            return S_OK;
        }
        return CTransformFilterBase::QueryInterface(riid, ppv);
    }
    HRESULT CheckInputType(const AM_MEDIA_TYPE* in) override { return IsPcm(in) ? S_OK : S_FALSE; }
    HRESULT CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) override
    {
        if (!IsPcm(in) || !IsPcm(out))
            return S_FALSE;
        if (m_wanted.pbFormat)
            return DsMediaTypeEquals(out, &m_wanted) ? S_OK : S_FALSE;
        return DsMediaTypeEquals(in, out) ? S_OK : S_FALSE;
    }
    HRESULT GetOutputType(int index, AM_MEDIA_TYPE* mt) override
    {
        if (index != 0)
            return VFW_S_NO_MORE_ITEMS;
        return DsCopyMediaType(mt, m_wanted.pbFormat ? &m_wanted : &m_input->CurrentMediaType());
    }
    HRESULT DecideOutputBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override
    {
        const WAVEFORMATEX* out = (const WAVEFORMATEX*)m_output->CurrentMediaType().pbFormat;
        // A second of sound per buffer is more than any upstream sends.
        long bytes = (long)out->nAvgBytesPerSec + out->nBlockAlign;
        request->cBuffers = request->cBuffers < 4 ? 4 : request->cBuffers;
        request->cbBuffer = request->cbBuffer < bytes ? bytes : request->cbBuffer;
        request->cbAlign = request->cbAlign < 1 ? 1 : request->cbAlign;
        ALLOCATOR_PROPERTIES actual;
        return allocator->SetProperties(request, &actual);
    }
    HRESULT Transform(IMediaSample* in, IMediaSample* out) override
    {
        if (!m_stream) {
            MMRESULT mr = acmStreamOpen(&m_stream, NULL, (WAVEFORMATEX*)m_input->CurrentMediaType().pbFormat,
                                        (WAVEFORMATEX*)m_output->CurrentMediaType().pbFormat, NULL, 0, 0,
                                        ACM_STREAMOPENF_NONREALTIME);
            if (mr != 0) {
                m_stream = NULL;
                return VFW_E_UNSUPPORTED_AUDIO;
            }
        }
        BYTE* src = NULL;
        BYTE* dst = NULL;
        in->GetPointer(&src);
        out->GetPointer(&dst);
        ACMSTREAMHEADER header;
        ZeroMemory(&header, sizeof(header));
        header.cbStruct = sizeof(header);
        header.pbSrc = src;
        header.cbSrcLength = (DWORD)in->GetActualDataLength();
        header.pbDst = dst;
        header.cbDstLength = (DWORD)out->GetSize();
        MMRESULT mr = acmStreamPrepareHeader(m_stream, &header, 0);
        if (mr == 0) {
            mr = acmStreamConvert(m_stream, &header, ACM_STREAMCONVERTF_BLOCKALIGN);
            acmStreamUnprepareHeader(m_stream, &header, 0);
        }
        if (mr != 0)
            return E_FAIL;
        out->SetActualDataLength((long)header.cbDstLengthUsed);
        return S_OK;
    }
    HRESULT SetWanted(const AM_MEDIA_TYPE* mt)
    {
        if (!mt || !IsPcm(mt))
            return VFW_E_INVALIDMEDIATYPE;
        if (m_output->IsConnected())
            return VFW_E_ALREADY_CONNECTED;
        return m_wanted.Set(mt);
    }
    const AM_MEDIA_TYPE* Wanted() const { return m_wanted.pbFormat ? &m_wanted : NULL; }

protected:
    HRESULT OnStop() override
    {
        CloseStream();
        return S_OK;
    }

private:
    void CloseStream()
    {
        if (m_stream) {
            acmStreamClose(m_stream, 0);
            m_stream = NULL;
        }
    }

    CStreamConfig m_config;
    CDsMediaType m_wanted;
    HACMSTREAM m_stream;
};

STDMETHODIMP CStreamConfig::QueryInterface(REFIID riid, void** ppv) { return m_owner->QueryInterface(riid, ppv); }
STDMETHODIMP_(ULONG) CStreamConfig::AddRef() { return m_owner->AddRef(); }
STDMETHODIMP_(ULONG) CStreamConfig::Release() { return m_owner->Release(); }
STDMETHODIMP CStreamConfig::SetFormat(AM_MEDIA_TYPE* pmt) { return m_owner->SetWanted(pmt); }
STDMETHODIMP CStreamConfig::GetFormat(AM_MEDIA_TYPE** ppmt)
{
    if (!ppmt)
        return E_POINTER;
    const AM_MEDIA_TYPE* mt = m_owner->Wanted();
    if (!mt && m_owner->Output()->IsConnected())
        mt = &m_owner->Output()->CurrentMediaType();
    if (!mt) {
        *ppmt = NULL;
        return VFW_E_NOT_CONNECTED;
    }
    *ppmt = DsCreateMediaType(mt);
    return *ppmt ? S_OK : E_OUTOFMEMORY;
}

} // namespace

HRESULT DexCreatePcmConverter(REFIID riid, void** ppv)
{
    return DsCreateFilterObject(new (std::nothrow) CPcmConverter(), riid, ppv);
}
