#include "platform/dex/ChainFilters.h"
#include "platform/filters/TransformFilter.h"

#include <initguid.h>
#include <new>

DEFINE_GUID(CLSID_XrvOverlayFilter, 0x31ad8e10, 0x8630, 0x4e54, 0xa8, 0x5f, 0xf8, 0xdd, 0x93, 0x43, 0xd7, 0x6a);

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
    HRESULT CheckInputType(const AM_MEDIA_TYPE* in) override { return IsRgbVideo(in, 32) ? S_OK : S_FALSE; }
    HRESULT CheckTransform(const AM_MEDIA_TYPE* in, const AM_MEDIA_TYPE* out) override
    {
        if (!IsRgbVideo(in, 32))
            return S_FALSE;
        WORD bits = IsRgbVideo(out, 32) ? 32 : IsRgbVideo(out, 24) ? 24 : IsRgbVideo(out, 16) ? 16 : 0;
        if (!bits)
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
        b.biSizeImage = (DWORD)(((b.biWidth * bits + 31) / 32) * 4 * labs(b.biHeight));
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
        const size_t dstStride = ((size_t)w * b.biBitCount + 31) / 32 * 4;
        if ((size_t)in->GetActualDataLength() < (size_t)w * h * 4 || (size_t)out->GetSize() < dstStride * h)
            return E_FAIL;
        for (LONG y = 0; y < h; ++y) {
            const DWORD* s = (const DWORD*)(src + (size_t)y * w * 4);
            BYTE* d = dst + dstStride * y;
            for (LONG x = 0; x < w; ++x) {
                DWORD p = s[x];
                if (b.biBitCount == 32) {
                    ((DWORD*)d)[x] = p;
                } else if (b.biBitCount == 24) {
                    d[x * 3] = (BYTE)p;
                    d[x * 3 + 1] = (BYTE)(p >> 8);
                    d[x * 3 + 2] = (BYTE)(p >> 16);
                } else {
                    ((WORD*)d)[x] = (WORD)(((p >> 19) & 31) << 10 | ((p >> 11) & 31) << 5 | ((p >> 3) & 31));
                }
            }
        }
        out->SetActualDataLength((long)(dstStride * h));
        return S_OK;
    }
};

class COverlayFilter : public CInPlaceFilterBase {
public:
    COverlayFilter() : CInPlaceFilterBase(CLSID_XrvOverlayFilter) {}
    HRESULT CheckInputType(const AM_MEDIA_TYPE* in) override
    {
        return IsEqualGUID(in->majortype, MEDIATYPE_Video) ? S_OK : S_FALSE;
    }
    HRESULT TransformInPlace(IMediaSample*) override { return S_OK; }
};

} // namespace

HRESULT DexCreateColourConverter(REFIID riid, void** ppv)
{
    return DsCreateFilterObject(new (std::nothrow) CColourConverter(), riid, ppv);
}

HRESULT DexCreateOverlayFilter(REFIID riid, void** ppv)
{
    return DsCreateFilterObject(new (std::nothrow) COverlayFilter(), riid, ppv);
}
