#include "platform/filters/MediaTypeUtil.h"

HRESULT DsCopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src)
{
    *dst = *src;
    if (src->cbFormat && src->pbFormat) {
        dst->pbFormat = (BYTE*)CoTaskMemAlloc(src->cbFormat);
        if (!dst->pbFormat) {
            ZeroMemory(dst, sizeof(*dst));
            return E_OUTOFMEMORY;
        }
        CopyMemory(dst->pbFormat, src->pbFormat, src->cbFormat);
    } else {
        dst->pbFormat = NULL;
        dst->cbFormat = 0;
    }
    if (dst->pUnk)
        dst->pUnk->AddRef();
    return S_OK;
}

void DsFreeMediaType(AM_MEDIA_TYPE* mt)
{
    if (!mt)
        return;
    if (mt->pbFormat)
        CoTaskMemFree(mt->pbFormat);
    if (mt->pUnk)
        mt->pUnk->Release();
    ZeroMemory(mt, sizeof(*mt));
}

AM_MEDIA_TYPE* DsCreateMediaType(const AM_MEDIA_TYPE* src)
{
    AM_MEDIA_TYPE* mt = (AM_MEDIA_TYPE*)CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE));
    if (!mt)
        return NULL;
    if (FAILED(DsCopyMediaType(mt, src))) {
        CoTaskMemFree(mt);
        return NULL;
    }
    return mt;
}

void DsDeleteMediaType(AM_MEDIA_TYPE* mt)
{
    if (!mt)
        return;
    DsFreeMediaType(mt);
    CoTaskMemFree(mt);
}

BOOL DsIsCompleteMediaType(const AM_MEDIA_TYPE* mt)
{
    return mt && !IsEqualGUID(mt->majortype, GUID_NULL) && !IsEqualGUID(mt->subtype, GUID_NULL) &&
           !IsEqualGUID(mt->formattype, GUID_NULL);
}

BOOL DsMatchesPartialType(const AM_MEDIA_TYPE* mt, const AM_MEDIA_TYPE* partial)
{
    if (!partial)
        return TRUE;
    if (!IsEqualGUID(partial->majortype, GUID_NULL) && !IsEqualGUID(partial->majortype, mt->majortype))
        return FALSE;
    if (!IsEqualGUID(partial->subtype, GUID_NULL) && !IsEqualGUID(partial->subtype, mt->subtype))
        return FALSE;
    if (!IsEqualGUID(partial->formattype, GUID_NULL) && !IsEqualGUID(partial->formattype, mt->formattype))
        return FALSE;
    return TRUE;
}

BOOL DsMediaTypeEquals(const AM_MEDIA_TYPE* a, const AM_MEDIA_TYPE* b)
{
    if (!IsEqualGUID(a->majortype, b->majortype) || !IsEqualGUID(a->subtype, b->subtype) ||
        !IsEqualGUID(a->formattype, b->formattype))
        return FALSE;
    if (a->bFixedSizeSamples != b->bFixedSizeSamples || a->bTemporalCompression != b->bTemporalCompression ||
        a->lSampleSize != b->lSampleSize || a->cbFormat != b->cbFormat)
        return FALSE;
    if (a->cbFormat == 0)
        return TRUE;
    if (!a->pbFormat || !b->pbFormat)
        return a->pbFormat == b->pbFormat;
    return memcmp(a->pbFormat, b->pbFormat, a->cbFormat) == 0;
}
