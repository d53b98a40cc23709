#include "TestFilters.h"

#include <initguid.h>

// {6E0E0C11-4A47-4F2B-9E61-3C2F0B6A0001} and following: test-only classes.
DEFINE_GUID(CLSID_TestFrameSource, 0x6e0e0c11, 0x4a47, 0x4f2b, 0x9e, 0x61, 0x3c, 0x2f, 0x0b, 0x6a, 0x00, 0x01);
DEFINE_GUID(CLSID_TestInvert, 0x6e0e0c11, 0x4a47, 0x4f2b, 0x9e, 0x61, 0x3c, 0x2f, 0x0b, 0x6a, 0x00, 0x02);
DEFINE_GUID(CLSID_TestAddOne, 0x6e0e0c11, 0x4a47, 0x4f2b, 0x9e, 0x61, 0x3c, 0x2f, 0x0b, 0x6a, 0x00, 0x03);
DEFINE_GUID(CLSID_TestCollectSink, 0x6e0e0c11, 0x4a47, 0x4f2b, 0x9e, 0x61, 0x3c, 0x2f, 0x0b, 0x6a, 0x00, 0x04);
DEFINE_GUID(CLSID_TestManualSource, 0x6e0e0c11, 0x4a47, 0x4f2b, 0x9e, 0x61, 0x3c, 0x2f, 0x0b, 0x6a, 0x00, 0x05);

namespace {

const int kSide = 8;
const int kFrameBytes = kSide * kSide * 4;

BOOL IsTestVideo(const AM_MEDIA_TYPE* mt)
{
    if (!IsEqualGUID(mt->majortype, MEDIATYPE_Video) || !IsEqualGUID(mt->subtype, MEDIASUBTYPE_RGB32) ||
        !IsEqualGUID(mt->formattype, FORMAT_VideoInfo) || mt->cbFormat < sizeof(VIDEOINFOHEADER) || !mt->pbFormat)
        return FALSE;
    const BITMAPINFOHEADER& bih = ((const VIDEOINFOHEADER*)mt->pbFormat)->bmiHeader;
    return bih.biWidth == kSide && bih.biHeight == kSide && bih.biBitCount == 32;
}

HRESULT SetFrameBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request)
{
    if (request->cBuffers < 2)
        request->cBuffers = 2;
    if (request->cbBuffer < kFrameBytes)
        request->cbBuffer = kFrameBytes;
    if (request->cbAlign < 1)
        request->cbAlign = 1;
    ALLOCATOR_PROPERTIES actual;
    return allocator->SetProperties(request, &actual);
}

class CFramePin : public CSourceStreamPin {
public:
    explicit CFramePin(CFrameSource* owner) : CSourceStreamPin(owner, L"Out"), m_owner(owner), m_next(0), m_first(0) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override { return IsTestVideo(mt) ? S_OK : S_FALSE; }
    HRESULT GetMediaType(int index, AM_MEDIA_TYPE* mt) override
    {
        if (index != 0)
            return VFW_S_NO_MORE_ITEMS;
        MakeTestVideoType(mt, m_owner->m_fps);
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override
    {
        return SetFrameBuffers(allocator, request);
    }
    HRESULT FillBuffer(IMediaSample* sample) override
    {
        if (m_next >= m_owner->m_count)
            return S_FALSE;
        BYTE* data = NULL;
        sample->GetPointer(&data);
        memset(data, m_next & 0xFF, kFrameBytes);
        sample->SetActualDataLength(kFrameBytes);
        REFERENCE_TIME start = (REFERENCE_TIME)(m_next - m_first) * 10000000 / m_owner->m_fps;
        REFERENCE_TIME stop = (REFERENCE_TIME)(m_next - m_first + 1) * 10000000 / m_owner->m_fps;
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        ++m_next;
        SetDelivered(stop);
        return S_OK;
    }
    HRESULT OnSeek(REFERENCE_TIME start) override
    {
        // The first frame that starts at or after the position.
        m_first = (int)((start * m_owner->m_fps + 9999999) / 10000000);
        m_next = m_first;
        return S_OK;
    }
    REFERENCE_TIME Duration() override { return (REFERENCE_TIME)m_owner->m_count * 10000000 / m_owner->m_fps; }

private:
    CFrameSource* m_owner;
    int m_next;
    int m_first;
};

class CManualPin : public COutputPinBase {
public:
    CManualPin(CFilterBase* owner, LPCWSTR name) : COutputPinBase(owner, name) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override { return IsTestVideo(mt) ? S_OK : S_FALSE; }
    HRESULT GetMediaType(int index, AM_MEDIA_TYPE* mt) override
    {
        if (index != 0)
            return VFW_S_NO_MORE_ITEMS;
        MakeTestVideoType(mt, 10);
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override
    {
        return SetFrameBuffers(allocator, request);
    }
};

} // namespace

void MakeTestVideoType(AM_MEDIA_TYPE* mt, int fps)
{
    ZeroMemory(mt, sizeof(*mt));
    mt->majortype = MEDIATYPE_Video;
    mt->subtype = MEDIASUBTYPE_RGB32;
    mt->formattype = FORMAT_VideoInfo;
    mt->bFixedSizeSamples = TRUE;
    mt->lSampleSize = kFrameBytes;
    mt->cbFormat = sizeof(VIDEOINFOHEADER);
    mt->pbFormat = (BYTE*)CoTaskMemAlloc(sizeof(VIDEOINFOHEADER));
    VIDEOINFOHEADER* vih = (VIDEOINFOHEADER*)mt->pbFormat;
    ZeroMemory(vih, sizeof(*vih));
    vih->AvgTimePerFrame = 10000000 / fps;
    vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih->bmiHeader.biWidth = kSide;
    vih->bmiHeader.biHeight = kSide;
    vih->bmiHeader.biPlanes = 1;
    vih->bmiHeader.biBitCount = 32;
    vih->bmiHeader.biCompression = BI_RGB;
    vih->bmiHeader.biSizeImage = kFrameBytes;
}

CFrameSource::CFrameSource(int count, int fps) : CFilterBase(CLSID_TestFrameSource), m_count(count), m_fps(fps)
{
    AddPin(new CFramePin(this));
}

HRESULT CInvertFilter::CheckInputType(const AM_MEDIA_TYPE* in) { return IsTestVideo(in) ? S_OK : S_FALSE; }

HRESULT CInvertFilter::CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out)
{
    return IsTestVideo(in) && IsTestVideo(out) ? S_OK : S_FALSE;
}

HRESULT CInvertFilter::Transform(IMediaSample* in, IMediaSample* out)
{
    BYTE* src = NULL;
    BYTE* dst = NULL;
    in->GetPointer(&src);
    out->GetPointer(&dst);
    long length = in->GetActualDataLength();
    for (long i = 0; i < length; ++i)
        dst[i] = (BYTE)(255 - src[i]);
    out->SetActualDataLength(length);
    return S_OK;
}

HRESULT CAddOneFilter::CheckInputType(const AM_MEDIA_TYPE* in) { return IsTestVideo(in) ? S_OK : S_FALSE; }

HRESULT CAddOneFilter::TransformInPlace(IMediaSample* sample)
{
    BYTE* data = NULL;
    sample->GetPointer(&data);
    long length = sample->GetActualDataLength();
    for (long i = 0; i < length; ++i)
        data[i] = (BYTE)(data[i] + 1);
    return S_OK;
}

HRESULT CCollectSink::CheckSinkType(int, const AM_MEDIA_TYPE* mt) { return IsTestVideo(mt) ? S_OK : S_FALSE; }

HRESULT CCollectSink::RenderSample(int pin, IMediaSample* sample)
{
    SinkRecord record = {pin, -1, -1, -1};
    sample->GetTime(&record.start, &record.stop);
    BYTE* data = NULL;
    if (SUCCEEDED(sample->GetPointer(&data)) && sample->GetActualDataLength() > 0)
        record.firstByte = data[0];
    CDsAutoLock lock(&m_lock);
    m_records.push_back(record);
    return S_OK;
}

std::vector<SinkRecord> CCollectSink::Records()
{
    CDsAutoLock lock(&m_lock);
    return m_records;
}

void CCollectSink::ClearRecords()
{
    CDsAutoLock lock(&m_lock);
    m_records.clear();
}

CManualSource::CManualSource(int pins) : CFilterBase(CLSID_TestManualSource)
{
    for (int i = 0; i < pins; ++i)
        AddPin(new CManualPin(this, i == 0 ? L"Out0" : L"Out1"));
}

HRESULT CManualSource::DeliverFrame(int pin, int value, REFERENCE_TIME start)
{
    IMediaSample* sample = NULL;
    HRESULT hr = Out(pin)->GetDeliveryBuffer(&sample, NULL, NULL, 0);
    if (FAILED(hr))
        return hr;
    BYTE* data = NULL;
    sample->GetPointer(&data);
    memset(data, value, kFrameBytes);
    sample->SetActualDataLength(kFrameBytes);
    REFERENCE_TIME stop = start + 1000000;
    sample->SetTime(&start, &stop);
    hr = Out(pin)->Deliver(sample);
    sample->Release();
    return hr;
}
