// Transform filters of our filter base: one input, one output.
// - CTransformFilterBase copies each sample into a buffer of the output's
//   allocator through Transform (a format change, a converter).
// - CInPlaceFilterBase changes samples where they lie (TransformInPlace) and
//   passes them on; the output offers downstream the allocator the input
//   uses, and copies only when downstream insists on its own.
// End of stream, flushes and new segments go downstream; seeking the output
// pin goes upstream. Threads: as the filter base.
#pragma once
#include "platform/filters/SeekingPassThrough.h"

class CTransformFilterBase;

class CTransformInputPin : public CInputPinBase {
public:
    CTransformInputPin(CTransformFilterBase* filter, LPCWSTR name);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override;
    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;
    HRESULT OnBeginFlush() override;
    HRESULT OnEndFlush() override;
    HRESULT OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

private:
    CTransformFilterBase* m_owner;
};

class CTransformOutputPin : public COutputPinBase {
public:
    CTransformOutputPin(CTransformFilterBase* filter, LPCWSTR name, CInputPinBase* input);
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override;
    HRESULT GetMediaType(int index, AM_MEDIA_TYPE* mt) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT DecideAllocator(IMemInputPin* input, IMemAllocator** allocator) override;

private:
    CTransformFilterBase* m_owner;
    CSeekingPassThrough m_seeking;
};

class CTransformFilterBase : public CFilterBase {
public:
    CTransformFilterBase(REFCLSID clsid, LPCWSTR inputName = L"Input", LPCWSTR outputName = L"Output");

    CTransformInputPin* Input() const { return m_input; }
    CTransformOutputPin* Output() const { return m_output; }

    // S_OK when the input takes the type.
    virtual HRESULT CheckInputType(const AM_MEDIA_TYPE* in) = 0;
    // S_OK when the filter turns `in` into `out`.
    virtual HRESULT CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) = 0;
    // The index-th output type offered while the input is connected; by
    // default the input's type alone.
    virtual HRESULT GetOutputType(int index, AM_MEDIA_TYPE* mt);
    // Buffer sizes of the output; by default the output type's sample size or
    // image size, at least one buffer.
    virtual HRESULT DecideOutputBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request);
    // Fills `out` (data and its length) from `in`; S_FALSE drops the sample.
    virtual HRESULT Transform(IMediaSample* in, IMediaSample* out) = 0;
    // Chooses the output allocator; the in-place filter overrides it.
    virtual HRESULT DecideOutputAllocator(IMemInputPin* input, IMemAllocator** allocator);
    // Handles one sample; the in-place filter overrides it.
    virtual HRESULT ReceiveSample(IMediaSample* sample);
    // Further interfaces the output pin answers for (a compressor's
    // settings); by default none.
    virtual HRESULT OutputPinInterface(REFIID riid, void** ppv)
    {
        (void)riid;
        (void)ppv;
        return E_NOINTERFACE;
    }

protected:
    // Copies times and flags of a sample onto the one going downstream.
    static void CopySampleProperties(IMediaSample* from, IMediaSample* to);

    CTransformInputPin* m_input;
    CTransformOutputPin* m_output;
};

class CInPlaceFilterBase : public CTransformFilterBase {
public:
    explicit CInPlaceFilterBase(REFCLSID clsid) : CTransformFilterBase(clsid) {}

    // The output type is the input type.
    HRESULT CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) override;
    // Changes the sample where it lies; S_FALSE drops it.
    virtual HRESULT TransformInPlace(IMediaSample* sample) = 0;
    HRESULT Transform(IMediaSample* in, IMediaSample* out) override;
    HRESULT DecideOutputAllocator(IMemInputPin* input, IMemAllocator** allocator) override;
    HRESULT ReceiveSample(IMediaSample* sample) override;
    // TRUE when samples went through without a copy (tests show the route).
    BOOL UsesInputAllocator() const { return m_bShared; }

private:
    BOOL m_bShared = FALSE;
};
