// Media-type helpers of our filter base (mingw-w64 ships no strmbase):
// deep copies, freeing and comparison of AM_MEDIA_TYPE. The format block is
// CoTaskMemAlloc'd, as DirectShow expects of a type handed across pins.
#pragma once
#include <windows.h>
#include <tchar.h>   // before dshow.h, which pulls in strsafe.h
#include <dshow.h>

// Copies src into dst (dst's old content is not freed); E_OUTOFMEMORY leaves
// dst empty.
HRESULT DsCopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src);
// Frees the format block and releases pUnk; the type is left empty.
void DsFreeMediaType(AM_MEDIA_TYPE* mt);
// A CoTaskMemAlloc'd copy (the form IEnumMediaTypes hands out); null without memory.
AM_MEDIA_TYPE* DsCreateMediaType(const AM_MEDIA_TYPE* src);
// Frees a type made by DsCreateMediaType or handed out by an enumerator.
void DsDeleteMediaType(AM_MEDIA_TYPE* mt);
// TRUE when the major type, subtype and format type are all given.
BOOL DsIsCompleteMediaType(const AM_MEDIA_TYPE* mt);
// TRUE when `mt` fits the partial type `partial` (GUID_NULL fields match anything).
BOOL DsMatchesPartialType(const AM_MEDIA_TYPE* mt, const AM_MEDIA_TYPE* partial);
// TRUE when both types are equal field by field and in their format blocks.
BOOL DsMediaTypeEquals(const AM_MEDIA_TYPE* a, const AM_MEDIA_TYPE* b);

// An owned media type that frees itself.
class CDsMediaType : public AM_MEDIA_TYPE {
public:
    CDsMediaType() { ZeroMemory(static_cast<AM_MEDIA_TYPE*>(this), sizeof(AM_MEDIA_TYPE)); }
    ~CDsMediaType() { DsFreeMediaType(this); }
    HRESULT Set(const AM_MEDIA_TYPE* src)
    {
        DsFreeMediaType(this);
        return src ? DsCopyMediaType(this, src) : S_OK;
    }
    void Clear() { DsFreeMediaType(this); }
    CDsMediaType(const CDsMediaType&) = delete;
    CDsMediaType& operator=(const CDsMediaType&) = delete;
};
