#include "platform/dex/ChainFilters.h"
#include "platform/filters/RgbPixels.h"
#include "platform/filters/TransformFilter.h"

#include <initguid.h>
#include <new>

DEFINE_GUID(CLSID_XrvOverlayFilter, 0x31ad8e10, 0x8630, 0x4e54, 0xa8, 0x5f, 0xf8, 0xdd, 0x93, 0x43, 0xd7, 0x6a);
DEFINE_GUID(CLSID_XrvZoomFilter, 0x31ad8e11, 0x8630, 0x4e54, 0xa8, 0x5f, 0xf8, 0xdd, 0x93, 0x43, 0xd7, 0x6a);
// {8F0C4A40-2B71-4D52-9E36-5A1C7B90D4E1}
DEFINE_GUID(IID_IZoomPIPFilter, 0x8f0c4a40, 0x2b71, 0x4d52, 0x9e, 0x36, 0x5a, 0x1c, 0x7b, 0x90, 0xd4, 0xe1);
// {8F0C4A3E-2B71-4D52-9E36-5A1C7B90D4E1}
DEFINE_GUID(IID_IOverlayFrameDrawer, 0x8f0c4a3e, 0x2b71, 0x4d52, 0x9e, 0x36, 0x5a, 0x1c, 0x7b, 0x90, 0xd4, 0xe1);
// {8F0C4A3F-2B71-4D52-9E36-5A1C7B90D4E1}
DEFINE_GUID(IID_IXrvOverlay, 0x8f0c4a3f, 0x2b71, 0x4d52, 0x9e, 0x36, 0x5a, 0x1c, 0x7b, 0x90, 0xd4, 0xe1);

namespace {

BOOL IsRgbVideo(const AM_MEDIA_TYPE* mt, WORD bits)
{
    if (!IsEqualGUID(mt->majortype, MEDIATYPE_Video) || !IsEqualGUID(mt->formattype, FORMAT_VideoInfo) ||
        !mt->pbFormat || mt->cbFormat < sizeof(VIDEOINFOHEADER))
        return FALSE;
    const GUID& sub = bits == 32 ? MEDIASUBTYPE_RGB32 : bits == 24 ? MEDIASUBTYPE_RGB24 : MEDIASUBTYPE_RGB555;
    const BITMAPINFOHEADER& b = ((const VIDEOINFOHEADER*)mt->pbFormat)->bmiHeader;
    return IsEqualGUID(mt->subtype, sub) && b.biBitCount == bits && b.biCompression == BI_RGB && b.biWidth > 0 &&
           b.biHeight != 0;
}

const BITMAPINFOHEADER& Header(const AM_MEDIA_TYPE& mt) { return ((const VIDEOINFOHEADER*)mt.pbFormat)->bmiHeader; }

class CColourConverter : public CTransformFilterBase {
public:
    CColourConverter() : CTransformFilterBase(CLSID_Colour, L"Input", L"XForm Out") {}
    HRESULT CheckInputType(const AM_MEDIA_TYPE* in) override { return RgbDepth(in) ? S_OK : S_FALSE; }
    HRESULT CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) override
    {
        if (!RgbDepth(in) || !RgbDepth(out))
            return S_FALSE;
        const BITMAPINFOHEADER& a = Header(*in);
        const BITMAPINFOHEADER& b = Header(*out);
        return a.biWidth == b.biWidth && a.biHeight == b.biHeight ? S_OK : S_FALSE;
    }
    // RGB32, RGB24, RGB555, in this order of preference.
    HRESULT GetOutputType(int index, AM_MEDIA_TYPE* mt) override
    {
        static const WORD depths[] = {32, 24, 16};
        if (index < 0 || index > 2)
            return VFW_S_NO_MORE_ITEMS;
        HRESULT hr = DsCopyMediaType(mt, &m_input->CurrentMediaType());
        if (FAILED(hr))
            return hr;
        WORD bits = depths[index];
        BITMAPINFOHEADER& b = ((VIDEOINFOHEADER*)mt->pbFormat)->bmiHeader;
        b.biBitCount = bits;
        b.biSizeImage = (DWORD)(RgbStride(b.biWidth, bits) * labs(b.biHeight));
        mt->subtype = bits == 32 ? MEDIASUBTYPE_RGB32 : bits == 24 ? MEDIASUBTYPE_RGB24 : MEDIASUBTYPE_RGB555;
        mt->lSampleSize = b.biSizeImage;
        return S_OK;
    }
    HRESULT Transform(IMediaSample* in, IMediaSample* out) override
    {
        const BITMAPINFOHEADER& a = Header(m_input->CurrentMediaType());
        const BITMAPINFOHEADER& b = Header(m_output->CurrentMediaType());
        BYTE* src = NULL;
        BYTE* dst = NULL;
        in->GetPointer(&src);
        out->GetPointer(&dst);
        const LONG w = a.biWidth, h = labs(a.biHeight);
        const size_t dstBytes = RgbStride(w, b.biBitCount) * h;
        if ((size_t)in->GetActualDataLength() < RgbStride(w, a.biBitCount) * h || (size_t)out->GetSize() < dstBytes)
            return E_FAIL;
        if (!ConvertRgb(src, a.biBitCount, dst, b.biBitCount, w, h))
            return E_FAIL;
        out->SetActualDataLength((long)dstBytes);
        return S_OK;
    }

private:
    // 32, 24 or 16 for an uncompressed RGB video type of those depths, else 0.
    static WORD RgbDepth(const AM_MEDIA_TYPE* mt)
    {
        return IsRgbVideo(mt, 32) ? 32 : IsRgbVideo(mt, 24) ? 24 : IsRgbVideo(mt, 16) ? 16 : 0;
    }
};

class COverlayFilter : public CInPlaceFilterBase, public IXrvOverlay {
public:
    COverlayFilter() : CInPlaceFilterBase(CLSID_XrvOverlayFilter), m_drawer(NULL), m_start(0), m_a(0), m_b(0), m_drawn(0) {}
    ~COverlayFilter() override
    {
        if (m_drawer)
            m_drawer->Release();
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv && IsEqualIID(riid, IID_IXrvOverlay)) {
            *ppv = static_cast<IXrvOverlay*>(this);
            AddRef();
            return S_OK;
        }
        return CInPlaceFilterBase::QueryInterface(riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return CInPlaceFilterBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return CInPlaceFilterBase::Release(); }

    HRESULT CheckInputType(const AM_MEDIA_TYPE* in) override
    {
        return IsEqualGUID(in->majortype, MEDIATYPE_Video) ? S_OK : S_FALSE;
    }
    HRESULT TransformInPlace(IMediaSample* sample) override
    {
        IOverlayFrameDrawer* drawer = TakeDrawer();
        HRESULT hr = S_OK;
        if (drawer) {
            hr = Draw(drawer, sample);
            drawer->Release();
        }
        return hr;
    }
    // The frame has gone on downstream: a waiting preview may look at it.
    HRESULT ReceiveSample(IMediaSample* sample) override
    {
        HRESULT hr = CInPlaceFilterBase::ReceiveSample(sample);
        HANDLE event = NULL;
        {
            CDsAutoLock lock(&m_stateLock);
            if (m_a)
                event = (HANDLE)m_b;
        }
        if (event)
            SetEvent(event);
        return hr;
    }

    // IXrvOverlay
    STDMETHODIMP SetDrawer(IOverlayFrameDrawer* drawer) override
    {
        if (drawer)
            drawer->AddRef();
        IOverlayFrameDrawer* old;
        {
            CDsAutoLock lock(&m_stateLock);
            old = m_drawer;
            m_drawer = drawer;
        }
        if (old)
            old->Release();
        return S_OK;
    }
    STDMETHODIMP GetDrawer(IOverlayFrameDrawer** drawer) override
    {
        if (!drawer)
            return E_POINTER;
        *drawer = TakeDrawer();
        return *drawer ? S_OK : S_FALSE;
    }
    STDMETHODIMP SetStartTime(LONGLONG start) override
    {
        CDsAutoLock lock(&m_stateLock);
        m_start = start;
        return S_OK;
    }
    STDMETHODIMP GetStartTime(LONGLONG* start) override
    {
        if (!start)
            return E_POINTER;
        CDsAutoLock lock(&m_stateLock);
        *start = m_start;
        return S_OK;
    }
    STDMETHODIMP_(CRITICAL_SECTION*) GetLock() override
    {
        IOverlayFrameDrawer* drawer = TakeDrawer();
        if (!drawer)
            return NULL;
        CRITICAL_SECTION* lock = drawer->GetDrawLock();
        drawer->Release();   // the owner keeps the drawer, and its lock, alive
        return lock;
    }
    STDMETHODIMP SetValue(LONG a, LONG_PTR b) override
    {
        CDsAutoLock lock(&m_stateLock);
        m_a = a;
        m_b = b;
        return S_OK;
    }
    STDMETHODIMP GetValue(LONG* a, LONG_PTR* b) override
    {
        if (!a || !b)
            return E_POINTER;
        CDsAutoLock lock(&m_stateLock);
        *a = m_a;
        *b = m_b;
        return S_OK;
    }
    STDMETHODIMP_(LONG) DrawnFrames() override { return InterlockedCompareExchange(&m_drawn, 0, 0); }

private:
    IOverlayFrameDrawer* TakeDrawer()
    {
        CDsAutoLock lock(&m_stateLock);
        if (m_drawer)
            m_drawer->AddRef();
        return m_drawer;
    }

    // An RGB32 frame goes to the drawer upright: a bottom-up frame's top row
    // is its last, and its rows run backwards.
    HRESULT Draw(IOverlayFrameDrawer* drawer, IMediaSample* sample)
    {
        const AM_MEDIA_TYPE& mt = m_input->CurrentMediaType();
        if (!IsRgbVideo(&mt, 32))
            return S_OK;
        const BITMAPINFOHEADER& b = Header(mt);
        const LONG w = b.biWidth, h = labs(b.biHeight);
        BYTE* data = NULL;
        if (FAILED(sample->GetPointer(&data)) || !data ||
            (LONGLONG)sample->GetActualDataLength() < (LONGLONG)w * h * 4)
            return S_OK;
        REFERENCE_TIME start = 0, stop = 0;
        if (FAILED(sample->GetTime(&start, &stop)))
            start = 0;
        LONGLONG origin;
        {
            CDsAutoLock lock(&m_stateLock);
            origin = m_start;
        }
        const LONG stride = w * 4;
        BYTE* scan0 = b.biHeight > 0 ? data + (size_t)stride * (h - 1) : data;
        drawer->DrawFrame(scan0, w, h, b.biHeight > 0 ? -stride : stride, origin + start);
        InterlockedIncrement(&m_drawn);
        return S_OK;
    }

    CDsLock m_stateLock;
    IOverlayFrameDrawer* m_drawer;
    LONGLONG m_start;
    LONG m_a;
    LONG_PTR m_b;
    volatile LONG m_drawn;
};

class CZoomFilter : public CInPlaceFilterBase, public IZoomPIPFilter {
public:
    CZoomFilter() : CInPlaceFilterBase(CLSID_XrvZoomFilter) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv && IsEqualIID(riid, IID_IZoomPIPFilter)) {
            *ppv = static_cast<IZoomPIPFilter*>(this);
            AddRef();
            return S_OK;
        }
        return CInPlaceFilterBase::QueryInterface(riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return CInPlaceFilterBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return CInPlaceFilterBase::Release(); }

    HRESULT CheckInputType(const AM_MEDIA_TYPE* in) override
    {
        return IsEqualGUID(in->majortype, MEDIATYPE_Video) ? S_OK : S_FALSE;
    }
    HRESULT TransformInPlace(IMediaSample*) override { return S_OK; }

    STDMETHODIMP SetOutputGeometry(int width, int height, int stretchMode, int value1, int value2) override
    {
        CDsAutoLock lock(&m_stateLock);
        m_geometry[0] = width;
        m_geometry[1] = height;
        m_geometry[2] = stretchMode;
        m_geometry[3] = value1;
        m_geometry[4] = value2;
        return S_OK;
    }
    STDMETHODIMP GetOutputGeometry(int* width, int* height, int* stretchMode, int* value1, int* value2) override
    {
        if (!width || !height || !stretchMode || !value1 || !value2)
            return E_POINTER;
        CDsAutoLock lock(&m_stateLock);
        *width = m_geometry[0];
        *height = m_geometry[1];
        *stretchMode = m_geometry[2];
        *value1 = m_geometry[3];
        *value2 = m_geometry[4];
        return S_OK;
    }
    STDMETHODIMP SetSetting(int number, int value) override
    {
        int* slot = Setting(number);
        if (!slot)
            return E_INVALIDARG;
        CDsAutoLock lock(&m_stateLock);
        *slot = value;
        return S_OK;
    }
    STDMETHODIMP GetSetting(int number, int* value) override
    {
        if (!value)
            return E_POINTER;
        int* slot = Setting(number);
        if (!slot)
            return E_INVALIDARG;
        CDsAutoLock lock(&m_stateLock);
        *value = *slot;
        return S_OK;
    }
    STDMETHODIMP ShowZoomRects(BOOL show) override
    {
        CDsAutoLock lock(&m_stateLock);
        m_showRects = show ? TRUE : FALSE;
        return S_OK;
    }
    STDMETHODIMP GetShowZoomRects(BOOL* show) override
    {
        if (!show)
            return E_POINTER;
        CDsAutoLock lock(&m_stateLock);
        *show = m_showRects;
        return S_OK;
    }
    STDMETHODIMP SetStartTime(LONGLONG start) override
    {
        CDsAutoLock lock(&m_stateLock);
        m_start = start;
        return S_OK;
    }
    STDMETHODIMP GetStartTime(LONGLONG* start) override
    {
        if (!start)
            return E_POINTER;
        CDsAutoLock lock(&m_stateLock);
        *start = m_start;
        return S_OK;
    }

private:
    int* Setting(int number)
    {
        switch (number) {
        case 12: return &m_settings[0];
        case 14: return &m_settings[1];
        case 15: return &m_settings[2];
        default: return NULL;
        }
    }

    CDsLock m_stateLock;
    int m_geometry[5] = {0, 0, 0, 0, 0};
    int m_settings[3] = {0, 0, 0};
    BOOL m_showRects = FALSE;
    LONGLONG m_start = 0;
};

} // namespace

HRESULT DexCreateColourConverter(REFIID riid, void** ppv)
{
    return DsCreateFilterObject(new (std::nothrow) CColourConverter(), riid, ppv);
}

HRESULT DexCreateZoomFilter(REFIID riid, void** ppv)
{
    return DsCreateFilterObject(new (std::nothrow) CZoomFilter(), riid, ppv);
}

HRESULT DexCreateOverlayFilter(REFIID riid, void** ppv)
{
    return DsCreateFilterObject(new (std::nothrow) COverlayFilter(), riid, ppv);
}
