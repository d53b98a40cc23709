#include "framework/OleDataSource.h"

#include "framework/Exceptions.h"

#include <string.h>

namespace {

// The source on the clipboard, set by SetClipboard and cleared when it goes.
COleDataSource* g_clipboardSource = NULL;

// A deep copy of a FORMATETC's target device, as OLE wants for each copy.
DVTARGETDEVICE* CopyTargetDevice(const DVTARGETDEVICE* ptd)
{
    if (ptd == NULL)
        return NULL;
    DVTARGETDEVICE* copy = static_cast<DVTARGETDEVICE*>(::CoTaskMemAlloc(ptd->tdSize));
    if (copy)
        memcpy(copy, ptd, ptd->tdSize);
    return copy;
}

FORMATETC CopyFormat(const FORMATETC& f)
{
    FORMATETC copy = f;
    copy.ptd = CopyTargetDevice(f.ptd);
    return copy;
}

HGLOBAL CopyGlobal(HGLOBAL source)
{
    const SIZE_T size = ::GlobalSize(source);
    HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, size ? size : 1);
    if (copy == NULL)
        return NULL;
    void* to = ::GlobalLock(copy);
    const void* from = ::GlobalLock(source);
    if (to && from && size)
        memcpy(to, from, size);
    if (from)
        ::GlobalUnlock(source);
    if (to)
        ::GlobalUnlock(copy);
    return copy;
}

// A snapshot of the cache's formats, enumerated the standard way (Next,
// Skip, Reset, Clone). Deletes itself with its last reference.
class CEnumFormatEtc final : public IEnumFORMATETC {
public:
    explicit CEnumFormatEtc(const std::vector<FORMATETC>& formats) : m_refs(1), m_next(0)
    {
        for (const FORMATETC& f : formats)
            m_formats.push_back(CopyFormat(f));
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == NULL)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumFORMATETC)) {
            *ppv = static_cast<IEnumFORMATETC*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return (ULONG)::InterlockedIncrement(&m_refs); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG refs = ::InterlockedDecrement(&m_refs);
        if (refs == 0)
            delete this;
        return (ULONG)refs;
    }
    STDMETHODIMP Next(ULONG celt, FORMATETC* rgelt, ULONG* pceltFetched) override
    {
        if (rgelt == NULL || (celt != 1 && pceltFetched == NULL))
            return E_INVALIDARG;
        ULONG fetched = 0;
        while (fetched < celt && m_next < m_formats.size())
            rgelt[fetched++] = CopyFormat(m_formats[m_next++]);
        if (pceltFetched)
            *pceltFetched = fetched;
        return fetched == celt ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG celt) override
    {
        const size_t left = m_formats.size() - m_next;
        m_next += celt < left ? celt : left;
        return celt <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override
    {
        m_next = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumFORMATETC** ppenum) override
    {
        if (ppenum == NULL)
            return E_POINTER;
        CEnumFormatEtc* clone = new CEnumFormatEtc(m_formats);
        clone->m_next = m_next;
        *ppenum = clone;
        return S_OK;
    }

private:
    ~CEnumFormatEtc()
    {
        for (FORMATETC& f : m_formats)
            ::CoTaskMemFree(f.ptd);
    }

    LONG m_refs;
    size_t m_next;
    std::vector<FORMATETC> m_formats;
};

// Drops when the left button is up, cancels on Escape, default cursors.
class CDefaultDropSource final : public IDropSource {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == NULL)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropSource)) {
            *ppv = static_cast<IDropSource*>(this);
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    // Lives on the stack of DoDragDrop, which outlasts every use.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP QueryContinueDrag(BOOL fEscapePressed, DWORD grfKeyState) override
    {
        if (fEscapePressed)
            return DRAGDROP_S_CANCEL;
        if (!(grfKeyState & MK_LBUTTON))
            return DRAGDROP_S_DROP;
        return S_OK;
    }
    STDMETHODIMP GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

}  // namespace

COleDataSource::COleDataSource() : m_refs(1), m_xDataObject(this) {}

COleDataSource::~COleDataSource()
{
    if (g_clipboardSource == this)
        g_clipboardSource = NULL;
    Empty();
}

ULONG COleDataSource::InternalAddRef()
{
    return (ULONG)::InterlockedIncrement(&m_refs);
}

ULONG COleDataSource::InternalRelease()
{
    const LONG refs = ::InterlockedDecrement(&m_refs);
    if (refs == 0)
        delete this;
    return (ULONG)refs;
}

void COleDataSource::CacheData(CLIPFORMAT cfFormat, LPSTGMEDIUM lpStgMedium, LPFORMATETC lpFormatEtc)
{
    FORMATETC format = { cfFormat, NULL, DVASPECT_CONTENT, -1, lpStgMedium->tymed };
    if (lpFormatEtc) {
        format = *lpFormatEtc;
        format.cfFormat = cfFormat;
        format.tymed = lpStgMedium->tymed;
    }
    for (size_t i = 0; i < m_cache.size(); i++) {
        Entry& e = m_cache[i];
        if (e.format.cfFormat == format.cfFormat && e.format.tymed == format.tymed &&
            e.format.dwAspect == format.dwAspect && e.format.lindex == format.lindex) {
            ::ReleaseStgMedium(&e.medium);
            ::CoTaskMemFree(e.format.ptd);
            m_cache.erase(m_cache.begin() + i);
            break;
        }
    }
    m_cache.push_back(Entry{ CopyFormat(format), *lpStgMedium });
}

void COleDataSource::CacheGlobalData(CLIPFORMAT cfFormat, HGLOBAL hGlobal, LPFORMATETC lpFormatEtc)
{
    STGMEDIUM medium;
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = hGlobal;
    medium.pUnkForRelease = NULL;
    CacheData(cfFormat, &medium, lpFormatEtc);
}

void COleDataSource::Empty()
{
    for (Entry& e : m_cache) {
        ::ReleaseStgMedium(&e.medium);
        ::CoTaskMemFree(e.format.ptd);
    }
    m_cache.clear();
}

void COleDataSource::SetClipboard()
{
    const HRESULT hr = ::OleSetClipboard(&m_xDataObject);
    if (FAILED(hr))
        AfxThrowOleException(hr);
    g_clipboardSource = this;
    // The clipboard holds its own reference now; the creator's goes.
    InternalRelease();
}

DROPEFFECT COleDataSource::DoDragDrop(DWORD dwEffects, IDropSource* pDropSource)
{
    CDefaultDropSource defaultSource;
    DWORD effect = DROPEFFECT_NONE;
    // The loop may release what it was given; a reference of our own keeps
    // the source alive until it returns.
    InternalAddRef();
    const HRESULT hr = ::DoDragDrop(&m_xDataObject, pDropSource ? pDropSource : &defaultSource, dwEffects, &effect);
    InternalRelease();
    return hr == DRAGDROP_S_DROP ? effect : DROPEFFECT_NONE;
}

COleDataSource* AFXAPI COleDataSource::GetClipboardOwner()
{
    if (g_clipboardSource && ::OleIsCurrentClipboard(g_clipboardSource->GetDataObject()) == S_OK)
        return g_clipboardSource;
    return NULL;
}

void AFXAPI COleDataSource::FlushClipboard()
{
    if (GetClipboardOwner())
        ::OleFlushClipboard();
}

const COleDataSource::Entry* COleDataSource::Lookup(const FORMATETC* request, HRESULT* pResult) const
{
    *pResult = DV_E_FORMATETC;
    for (const Entry& e : m_cache) {
        if (e.format.cfFormat != request->cfFormat)
            continue;
        if (e.format.dwAspect != request->dwAspect || (request->lindex != -1 && e.format.lindex != request->lindex)) {
            *pResult = DV_E_DVASPECT;
            continue;
        }
        if ((e.format.tymed & request->tymed) == 0) {
            *pResult = DV_E_TYMED;
            continue;
        }
        *pResult = S_OK;
        return &e;
    }
    return NULL;
}

// --- IDataObject ---------------------------------------------------------------------------

STDMETHODIMP COleDataSource::XDataObject::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == NULL)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
        *ppv = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = NULL;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) COleDataSource::XDataObject::AddRef()
{
    return m_owner->InternalAddRef();
}

STDMETHODIMP_(ULONG) COleDataSource::XDataObject::Release()
{
    return m_owner->InternalRelease();
}

// Each caller gets a copy of the memory it owns; a stream or storage is
// handed out with a reference added.
STDMETHODIMP COleDataSource::XDataObject::GetData(FORMATETC* pformatetcIn, STGMEDIUM* pmedium)
{
    if (pformatetcIn == NULL || pmedium == NULL)
        return E_INVALIDARG;
    HRESULT hr;
    const Entry* e = m_owner->Lookup(pformatetcIn, &hr);
    if (e == NULL)
        return hr;
    STGMEDIUM out = e->medium;
    out.pUnkForRelease = NULL;
    switch (e->medium.tymed) {
    case TYMED_HGLOBAL:
        out.hGlobal = CopyGlobal(e->medium.hGlobal);
        if (out.hGlobal == NULL)
            return E_OUTOFMEMORY;
        break;
    case TYMED_ISTREAM:
        out.pstm->AddRef();
        break;
    case TYMED_ISTORAGE:
        out.pstg->AddRef();
        break;
    case TYMED_GDI:
        out.hBitmap = (HBITMAP)::OleDuplicateData(e->medium.hBitmap, pformatetcIn->cfFormat, 0);
        if (out.hBitmap == NULL)
            return E_OUTOFMEMORY;
        break;
    default:
        return DV_E_TYMED;
    }
    *pmedium = out;
    return S_OK;
}

STDMETHODIMP COleDataSource::XDataObject::GetDataHere(FORMATETC* pformatetc, STGMEDIUM* pmedium)
{
    if (pformatetc == NULL || pmedium == NULL)
        return E_INVALIDARG;
    HRESULT hr;
    const Entry* e = m_owner->Lookup(pformatetc, &hr);
    if (e == NULL)
        return hr;
    if (e->medium.tymed != TYMED_HGLOBAL || pmedium->tymed != TYMED_HGLOBAL)
        return DV_E_TYMED;
    const SIZE_T size = ::GlobalSize(e->medium.hGlobal);
    if (::GlobalSize(pmedium->hGlobal) < size)
        return STG_E_MEDIUMFULL;
    void* to = ::GlobalLock(pmedium->hGlobal);
    const void* from = ::GlobalLock(e->medium.hGlobal);
    if (to && from)
        memcpy(to, from, size);
    if (from)
        ::GlobalUnlock(e->medium.hGlobal);
    if (to)
        ::GlobalUnlock(pmedium->hGlobal);
    return to && from ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP COleDataSource::XDataObject::QueryGetData(FORMATETC* pformatetc)
{
    if (pformatetc == NULL)
        return E_INVALIDARG;
    HRESULT hr;
    m_owner->Lookup(pformatetc, &hr);
    return hr;
}

STDMETHODIMP COleDataSource::XDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* pformatetcOut)
{
    if (pformatetcOut == NULL)
        return E_INVALIDARG;
    pformatetcOut->ptd = NULL;
    return DATA_S_SAMEFORMATETC;
}

STDMETHODIMP COleDataSource::XDataObject::SetData(FORMATETC*, STGMEDIUM*, BOOL)
{
    return E_NOTIMPL;
}

STDMETHODIMP COleDataSource::XDataObject::EnumFormatEtc(DWORD dwDirection, IEnumFORMATETC** ppenumFormatEtc)
{
    if (ppenumFormatEtc == NULL)
        return E_POINTER;
    *ppenumFormatEtc = NULL;
    if (dwDirection != DATADIR_GET)
        return E_NOTIMPL;
    std::vector<FORMATETC> formats;
    for (const Entry& e : m_owner->m_cache)
        formats.push_back(e.format);
    *ppenumFormatEtc = new CEnumFormatEtc(formats);
    return S_OK;
}

STDMETHODIMP COleDataSource::XDataObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*)
{
    return OLE_E_ADVISENOTSUPPORTED;
}

STDMETHODIMP COleDataSource::XDataObject::DUnadvise(DWORD)
{
    return OLE_E_ADVISENOTSUPPORTED;
}

STDMETHODIMP COleDataSource::XDataObject::EnumDAdvise(IEnumSTATDATA**)
{
    return OLE_E_ADVISENOTSUPPORTED;
}
