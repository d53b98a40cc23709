// The video tee: one input, two outputs, each output getting its own copy of
// every sample (the recording writer and the preview renderer keep their
// own allocators, and a slow renderer never holds the writer's buffers).
#include "platform/camkit/CamKit.h"
#include "platform/filters/FilterBase.h"

extern "C" const CLSID CLSID_XrvVideoTee = {0x7d0c2b10, 0x5a3e, 0x4f61, {0x9b, 0x42, 0x1c, 0x83, 0x6e, 0x20, 0x51, 0x02}};

namespace {

const int kOutputs = 2;

class CVideoTee;

class CTeeInputPin : public CInputPinBase {
public:
    CTeeInputPin(CFilterBase* filter, CVideoTee* tee) : CInputPinBase(filter, L"Input"), m_tee(tee) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override
    {
        return mt && mt->majortype == MEDIATYPE_Video ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;
    HRESULT OnBeginFlush() override;
    HRESULT OnEndFlush() override;
    HRESULT OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

private:
    CVideoTee* m_tee;
};

class CTeeOutputPin : public COutputPinBase {
public:
    CTeeOutputPin(CFilterBase* filter, LPCWSTR name, CTeeInputPin* input) : COutputPinBase(filter, name), m_input(input) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override
    {
        if (!m_input->IsConnected())
            return VFW_E_NOT_CONNECTED;
        return DsMediaTypeEquals(mt, &m_input->CurrentMediaType()) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT GetMediaType(int index, AM_MEDIA_TYPE* mt) override
    {
        if (index < 0)
            return E_INVALIDARG;
        if (index > 0 || !m_input->IsConnected())
            return VFW_S_NO_MORE_ITEMS;
        return DsCopyMediaType(mt, &m_input->CurrentMediaType());
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override
    {
        const AM_MEDIA_TYPE& mt = m_input->CurrentMediaType();
        long size = mt.lSampleSize;
        if (mt.formattype == FORMAT_VideoInfo && mt.cbFormat >= sizeof(VIDEOINFOHEADER) && mt.pbFormat) {
            const BITMAPINFOHEADER& bih = ((const VIDEOINFOHEADER*)mt.pbFormat)->bmiHeader;
            if ((long)bih.biSizeImage > size)
                size = bih.biSizeImage;
        }
        if (m_input->Allocator()) {
            ALLOCATOR_PROPERTIES in;
            if (SUCCEEDED(m_input->Allocator()->GetProperties(&in)) && in.cbBuffer > size)
                size = in.cbBuffer;
        }
        request->cBuffers = request->cBuffers > 2 ? request->cBuffers : 2;
        request->cbBuffer = size > request->cbBuffer ? size : request->cbBuffer;
        request->cbAlign = request->cbAlign > 0 ? request->cbAlign : 1;
        ALLOCATOR_PROPERTIES actual;
        HRESULT hr = allocator->SetProperties(request, &actual);
        if (FAILED(hr))
            return hr;
        return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
    }

private:
    CTeeInputPin* m_input;
};

class CVideoTee : public CFilterBase {
public:
    CVideoTee() : CFilterBase(CLSID_XrvVideoTee)
    {
        m_in = new CTeeInputPin(this, this);
        AddPin(m_in);
        for (int i = 0; i < kOutputs; ++i) {
            WCHAR name[16] = L"Output1";
            name[6] = (WCHAR)(L'1' + i);
            m_out[i] = new CTeeOutputPin(this, name, m_in);
            AddPin(m_out[i]);
        }
    }
    CTeeOutputPin* Out(int i) const { return m_out[i]; }

private:
    CTeeInputPin* m_in;
    CTeeOutputPin* m_out[kOutputs];
};

// A copy of the sample for each connected output; an output that fails
// does not stop the others.
HRESULT CTeeInputPin::OnReceive(IMediaSample* sample)
{
    BYTE* src = NULL;
    if (FAILED(sample->GetPointer(&src)))
        return E_UNEXPECTED;
    const long length = sample->GetActualDataLength();
    HRESULT result = S_OK;
    int delivered = 0, connected = 0;
    for (int i = 0; i < kOutputs; ++i) {
        CTeeOutputPin* out = m_tee->Out(i);
        if (!out->IsConnected())
            continue;
        ++connected;
        IMediaSample* copy = NULL;
        HRESULT hr = out->GetDeliveryBuffer(&copy, NULL, NULL, 0);
        if (FAILED(hr)) {
            result = hr;
            continue;
        }
        BYTE* dst = NULL;
        copy->GetPointer(&dst);
        if (length <= copy->GetSize() && dst) {
            CopyMemory(dst, src, length);
            copy->SetActualDataLength(length);
            REFERENCE_TIME start = 0, stop = 0;
            HRESULT timed = sample->GetTime(&start, &stop);
            if (SUCCEEDED(timed))
                copy->SetTime(&start, timed == VFW_S_NO_STOP_TIME ? NULL : &stop);
            copy->SetSyncPoint(sample->IsSyncPoint() == S_OK);
            copy->SetDiscontinuity(sample->IsDiscontinuity() == S_OK);
            copy->SetPreroll(sample->IsPreroll() == S_OK);
            LONGLONG mediaStart = 0, mediaStop = 0;
            if (SUCCEEDED(sample->GetMediaTime(&mediaStart, &mediaStop)))
                copy->SetMediaTime(&mediaStart, &mediaStop);
            hr = out->Deliver(copy);
            if (hr == S_OK)
                ++delivered;
            else if (FAILED(hr))
                result = hr;
        } else {
            result = VFW_E_BUFFER_OVERFLOW;
        }
        copy->Release();
    }
    // Upstream stops only when no output takes samples any more.
    return connected == 0 || delivered > 0 ? S_OK : result;
}

HRESULT CTeeInputPin::OnEndOfStream()
{
    for (int i = 0; i < kOutputs; ++i)
        if (m_tee->Out(i)->IsConnected())
            m_tee->Out(i)->DeliverEndOfStream();
    return S_OK;
}

HRESULT CTeeInputPin::OnBeginFlush()
{
    for (int i = 0; i < kOutputs; ++i)
        if (m_tee->Out(i)->IsConnected())
            m_tee->Out(i)->DeliverBeginFlush();
    return S_OK;
}

HRESULT CTeeInputPin::OnEndFlush()
{
    for (int i = 0; i < kOutputs; ++i)
        if (m_tee->Out(i)->IsConnected())
            m_tee->Out(i)->DeliverEndFlush();
    return S_OK;
}

HRESULT CTeeInputPin::OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    for (int i = 0; i < kOutputs; ++i)
        if (m_tee->Out(i)->IsConnected())
            m_tee->Out(i)->DeliverNewSegment(start, stop, rate);
    return S_OK;
}

}  // namespace

HRESULT CreateVideoTeeFilter(REFIID riid, void** ppv)
{
    return DsCreateFilterObject(new CVideoTee(), riid, ppv);
}
