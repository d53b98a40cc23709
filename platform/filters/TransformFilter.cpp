#include "platform/filters/TransformFilter.h"

#include <new>

// ------------------------------------------------------- CTransformInputPin

CTransformInputPin::CTransformInputPin(CTransformFilterBase* filter, LPCWSTR name)
    : CInputPinBase(filter, name), m_owner(filter)
{
}

HRESULT CTransformInputPin::CheckMediaType(const AM_MEDIA_TYPE* mt) { return m_owner->CheckInputType(mt); }

HRESULT CTransformInputPin::OnReceive(IMediaSample* sample) { return m_owner->ReceiveSample(sample); }

HRESULT CTransformInputPin::OnEndOfStream()
{
    CTransformOutputPin* out = m_owner->Output();
    return out->IsConnected() ? out->DeliverEndOfStream() : S_OK;
}

HRESULT CTransformInputPin::OnBeginFlush()
{
    CTransformOutputPin* out = m_owner->Output();
    return out->IsConnected() ? out->DeliverBeginFlush() : S_OK;
}

HRESULT CTransformInputPin::OnEndFlush()
{
    CTransformOutputPin* out = m_owner->Output();
    return out->IsConnected() ? out->DeliverEndFlush() : S_OK;
}

HRESULT CTransformInputPin::OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    CTransformOutputPin* out = m_owner->Output();
    return out->IsConnected() ? out->DeliverNewSegment(start, stop, rate) : S_OK;
}

// ------------------------------------------------------ CTransformOutputPin

CTransformOutputPin::CTransformOutputPin(CTransformFilterBase* filter, LPCWSTR name, CInputPinBase* input)
    : COutputPinBase(filter, name), m_owner(filter), m_seeking(static_cast<IPin*>(this), input)
{
}

STDMETHODIMP CTransformOutputPin::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv && IsEqualIID(riid, IID_IMediaSeeking)) {
        *ppv = static_cast<IMediaSeeking*>(&m_seeking);
        AddRef();
        return S_OK;
    }
    if (ppv && SUCCEEDED(m_owner->OutputPinInterface(riid, ppv)))
        return S_OK;
    return COutputPinBase::QueryInterface(riid, ppv);
}

// Nothing goes out before the input knows its type.
HRESULT CTransformOutputPin::CheckMediaType(const AM_MEDIA_TYPE* mt)
{
    CTransformInputPin* in = m_owner->Input();
    if (!in->IsConnected())
        return VFW_E_NOT_CONNECTED;
    return m_owner->CheckTransform(&in->CurrentMediaType(), mt);
}

HRESULT CTransformOutputPin::GetMediaType(int index, AM_MEDIA_TYPE* mt)
{
    if (!m_owner->Input()->IsConnected())
        return VFW_S_NO_MORE_ITEMS;
    return m_owner->GetOutputType(index, mt);
}

HRESULT CTransformOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request)
{
    return m_owner->DecideOutputBufferSize(allocator, request);
}

HRESULT CTransformOutputPin::DecideAllocator(IMemInputPin* input, IMemAllocator** allocator)
{
    return m_owner->DecideOutputAllocator(input, allocator);
}

// ----------------------------------------------------- CTransformFilterBase

CTransformFilterBase::CTransformFilterBase(REFCLSID clsid, LPCWSTR inputName, LPCWSTR outputName)
    : CFilterBase(clsid)
{
    m_input = new CTransformInputPin(this, inputName);
    AddPin(m_input);
    m_output = new CTransformOutputPin(this, outputName, m_input);
    AddPin(m_output);
}

HRESULT CTransformFilterBase::GetOutputType(int index, AM_MEDIA_TYPE* mt)
{
    if (index != 0)
        return VFW_S_NO_MORE_ITEMS;
    return DsCopyMediaType(mt, &m_input->CurrentMediaType());
}

HRESULT CTransformFilterBase::DecideOutputBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request)
{
    const AM_MEDIA_TYPE& mt = m_output->CurrentMediaType();
    long size = mt.lSampleSize;
    if (IsEqualGUID(mt.formattype, FORMAT_VideoInfo) && mt.pbFormat && mt.cbFormat >= sizeof(VIDEOINFOHEADER)) {
        const BITMAPINFOHEADER& bih = ((const VIDEOINFOHEADER*)mt.pbFormat)->bmiHeader;
        if ((long)bih.biSizeImage > size)
            size = (long)bih.biSizeImage;
    }
    if (size <= 0)
        size = 65536;
    if (request->cbBuffer < size)
        request->cbBuffer = size;
    if (request->cBuffers < 1)
        request->cBuffers = 1;
    if (request->cbAlign < 1)
        request->cbAlign = 1;
    ALLOCATOR_PROPERTIES actual;
    HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr))
        return hr;
    return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
}

HRESULT CTransformFilterBase::DecideOutputAllocator(IMemInputPin* input, IMemAllocator** allocator)
{
    return m_output->COutputPinBase::DecideAllocator(input, allocator);
}

void CTransformFilterBase::CopySampleProperties(IMediaSample* from, IMediaSample* to)
{
    REFERENCE_TIME start, stop;
    HRESULT hr = from->GetTime(&start, &stop);
    if (hr == S_OK)
        to->SetTime(&start, &stop);
    else if (hr == VFW_S_NO_STOP_TIME)
        to->SetTime(&start, NULL);
    else
        to->SetTime(NULL, NULL);
    LONGLONG mediaStart, mediaStop;
    if (from->GetMediaTime(&mediaStart, &mediaStop) == S_OK)
        to->SetMediaTime(&mediaStart, &mediaStop);
    else
        to->SetMediaTime(NULL, NULL);
    to->SetSyncPoint(from->IsSyncPoint() == S_OK);
    to->SetDiscontinuity(from->IsDiscontinuity() == S_OK);
    to->SetPreroll(from->IsPreroll() == S_OK);
}

HRESULT CTransformFilterBase::ReceiveSample(IMediaSample* sample)
{
    if (!m_output->IsConnected())
        return S_OK;
    IMediaSample* out = NULL;
    HRESULT hr = m_output->GetDeliveryBuffer(&out, NULL, NULL, 0);
    if (FAILED(hr))
        return hr;
    CopySampleProperties(sample, out);
    hr = Transform(sample, out);
    if (hr == S_OK)
        hr = m_output->Deliver(out);
    else if (hr == S_FALSE)
        hr = S_OK;
    out->Release();
    return hr;
}

// ------------------------------------------------------- CInPlaceFilterBase

HRESULT CInPlaceFilterBase::CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out)
{
    return DsMediaTypeEquals(in, out) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

// Used only when downstream keeps its own allocator: copy, then change.
HRESULT CInPlaceFilterBase::Transform(IMediaSample* in, IMediaSample* out)
{
    BYTE* src = NULL;
    BYTE* dst = NULL;
    if (FAILED(in->GetPointer(&src)) || FAILED(out->GetPointer(&dst)))
        return E_UNEXPECTED;
    long length = in->GetActualDataLength();
    if (length > out->GetSize())
        return VFW_E_BUFFER_OVERFLOW;
    CopyMemory(dst, src, length);
    out->SetActualDataLength(length);
    return TransformInPlace(out);
}

// Downstream is offered the allocator our input uses, so that samples pass
// through unchanged in place; a downstream pin that refuses it gets its own.
HRESULT CInPlaceFilterBase::DecideOutputAllocator(IMemInputPin* input, IMemAllocator** allocator)
{
    *allocator = NULL;
    m_bShared = FALSE;
    IMemAllocator* shared = m_input->Allocator();
    if (shared && !m_input->ReadOnlySamples() && SUCCEEDED(input->NotifyAllocator(shared, FALSE))) {
        shared->AddRef();
        *allocator = shared;
        m_bShared = TRUE;
        return S_OK;
    }
    return CTransformFilterBase::DecideOutputAllocator(input, allocator);
}

HRESULT CInPlaceFilterBase::ReceiveSample(IMediaSample* sample)
{
    if (!m_output->IsConnected())
        return S_OK;
    if (!m_bShared || m_output->Allocator() != m_input->Allocator())
        return CTransformFilterBase::ReceiveSample(sample);
    HRESULT hr = TransformInPlace(sample);
    if (hr == S_FALSE)
        return S_OK;
    if (FAILED(hr))
        return hr;
    return m_output->Deliver(sample);
}
