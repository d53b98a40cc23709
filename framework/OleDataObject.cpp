#include "framework/OleDataObject.h"

#include <string.h>

COleDataObject::COleDataObject() : m_lpDataObject(NULL), m_lpEnumerator(NULL), m_bAutoRelease(TRUE) {}

COleDataObject::~COleDataObject()
{
    Release();
}

void COleDataObject::Attach(IDataObject* lpDataObject, BOOL bAutoRelease)
{
    Release();
    m_lpDataObject = lpDataObject;
    m_bAutoRelease = bAutoRelease;
}

IDataObject* COleDataObject::Detach()
{
    if (m_lpEnumerator) {
        m_lpEnumerator->Release();
        m_lpEnumerator = NULL;
    }
    IDataObject* p = m_lpDataObject;
    m_lpDataObject = NULL;
    return p;
}

void COleDataObject::Release()
{
    if (m_lpEnumerator) {
        m_lpEnumerator->Release();
        m_lpEnumerator = NULL;
    }
    if (m_lpDataObject && m_bAutoRelease)
        m_lpDataObject->Release();
    m_lpDataObject = NULL;
}

BOOL COleDataObject::AttachClipboard()
{
    IDataObject* p = NULL;
    if (FAILED(::OleGetClipboard(&p)) || p == NULL)
        return FALSE;
    Attach(p, TRUE);
    return TRUE;
}

void COleDataObject::BeginEnumFormats()
{
    if (m_lpEnumerator) {
        m_lpEnumerator->Release();
        m_lpEnumerator = NULL;
    }
    if (m_lpDataObject && FAILED(m_lpDataObject->EnumFormatEtc(DATADIR_GET, &m_lpEnumerator)))
        m_lpEnumerator = NULL;
}

BOOL COleDataObject::GetNextFormat(LPFORMATETC lpFormatEtc)
{
    if (m_lpEnumerator == NULL || lpFormatEtc == NULL)
        return FALSE;
    ULONG fetched = 0;
    return m_lpEnumerator->Next(1, lpFormatEtc, &fetched) == S_OK && fetched == 1;
}

FORMATETC COleDataObject::Request(CLIPFORMAT cfFormat, LPFORMATETC lpFormatEtc, DWORD tymed) const
{
    FORMATETC f = { cfFormat, NULL, DVASPECT_CONTENT, -1, tymed };
    if (lpFormatEtc) {
        f = *lpFormatEtc;
        f.cfFormat = cfFormat;
    }
    return f;
}

BOOL COleDataObject::IsDataAvailable(CLIPFORMAT cfFormat, LPFORMATETC lpFormatEtc)
{
    if (m_lpDataObject == NULL)
        return FALSE;
    FORMATETC f = Request(cfFormat, lpFormatEtc, TYMED_HGLOBAL);
    return m_lpDataObject->QueryGetData(&f) == S_OK;
}

BOOL COleDataObject::GetData(CLIPFORMAT cfFormat, LPSTGMEDIUM lpStgMedium, LPFORMATETC lpFormatEtc)
{
    if (m_lpDataObject == NULL || lpStgMedium == NULL)
        return FALSE;
    FORMATETC f = Request(cfFormat, lpFormatEtc, TYMED_HGLOBAL);
    memset(lpStgMedium, 0, sizeof(*lpStgMedium));
    return SUCCEEDED(m_lpDataObject->GetData(&f, lpStgMedium));
}

// A block that the medium's owner keeps (pUnkForRelease set) is copied, so
// the caller always owns what it gets.
HGLOBAL COleDataObject::GetGlobalData(CLIPFORMAT cfFormat, LPFORMATETC lpFormatEtc)
{
    FORMATETC f = Request(cfFormat, lpFormatEtc, TYMED_HGLOBAL);
    f.tymed = TYMED_HGLOBAL;
    STGMEDIUM medium;
    if (!GetData(cfFormat, &medium, &f))
        return NULL;
    if (medium.tymed != TYMED_HGLOBAL) {
        ::ReleaseStgMedium(&medium);
        return NULL;
    }
    if (medium.pUnkForRelease == NULL)
        return medium.hGlobal;
    const SIZE_T size = ::GlobalSize(medium.hGlobal);
    HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, size ? size : 1);
    void* to = copy ? ::GlobalLock(copy) : NULL;
    const void* from = ::GlobalLock(medium.hGlobal);
    if (to && from && size)
        memcpy(to, from, size);
    if (from)
        ::GlobalUnlock(medium.hGlobal);
    if (to)
        ::GlobalUnlock(copy);
    ::ReleaseStgMedium(&medium);
    if (!to && copy) {
        ::GlobalFree(copy);
        copy = NULL;
    }
    return copy;
}
