#pragma once
#include "framework/AfxPlatform.h"
#include "framework/Object.h"
#include "framework/OleDataObject.h"

#include <ole2.h>
#include <vector>

// The giving side of OLE data transfer (the clipboard, drag and drop): a cache
// of renderings offered through IDataObject, with a format enumerator over
// the cache. Reference-counted: it starts with one reference (its creator's)
// and deletes itself when the last one goes. SetClipboard hands the
// creator's reference to the clipboard, which then owns the source. OLE must
// be initialised on the thread; UI thread.
//
//   COleDataSource* source = new COleDataSource;
//   source->CacheGlobalData(CF_TEXT, hText);
//   source->SetClipboard();        // the clipboard owns it now
class COleDataSource : public CObject {
public:
    COleDataSource();

    // Adds a rendering; the source takes the memory (or medium) over and
    // frees it when emptied or destroyed. A second rendering of the same
    // format and medium replaces the first.
    void CacheGlobalData(CLIPFORMAT cfFormat, HGLOBAL hGlobal, LPFORMATETC lpFormatEtc = NULL);
    void CacheData(CLIPFORMAT cfFormat, LPSTGMEDIUM lpStgMedium, LPFORMATETC lpFormatEtc = NULL);
    void Empty();
    int GetFormatCount() const { return (int)m_cache.size(); }

    // Puts the source on the clipboard and gives it the creator's reference;
    // throws COleException* when OLE refuses (the caller still owns it then).
    void SetClipboard();
    // Renders every format onto the clipboard when one of ours is there, so
    // the data outlives the program.
    static void AFXAPI FlushClipboard();
    // The source on the clipboard when it is one of this process's.
    static COleDataSource* AFXAPI GetClipboardOwner();

    // Runs OLE's drag loop with this source: the given drop source, or one
    // that drops when the left button is up and cancels on Escape. Returns
    // the effect the target chose, DROPEFFECT_NONE when cancelled or
    // refused. The caller keeps its reference.
    DROPEFFECT DoDragDrop(DWORD dwEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK,
                          IDropSource* pDropSource = NULL);

    // The source's IDataObject (no reference added).
    IDataObject* GetDataObject() { return &m_xDataObject; }
    ULONG InternalAddRef();
    ULONG InternalRelease();

protected:
    // Protected: the last Release deletes the source.
    ~COleDataSource() override;

private:
    struct Entry {
        FORMATETC format;
        STGMEDIUM medium;
    };

    class XDataObject : public IDataObject {
    public:
        explicit XDataObject(COleDataSource* owner) : m_owner(owner) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
        STDMETHODIMP_(ULONG) AddRef() override;
        STDMETHODIMP_(ULONG) Release() override;
        STDMETHODIMP GetData(FORMATETC* pformatetcIn, STGMEDIUM* pmedium) override;
        STDMETHODIMP GetDataHere(FORMATETC* pformatetc, STGMEDIUM* pmedium) override;
        STDMETHODIMP QueryGetData(FORMATETC* pformatetc) override;
        STDMETHODIMP GetCanonicalFormatEtc(FORMATETC* pformatectIn, FORMATETC* pformatetcOut) override;
        STDMETHODIMP SetData(FORMATETC* pformatetc, STGMEDIUM* pmedium, BOOL fRelease) override;
        STDMETHODIMP EnumFormatEtc(DWORD dwDirection, IEnumFORMATETC** ppenumFormatEtc) override;
        STDMETHODIMP DAdvise(FORMATETC* pformatetc, DWORD advf, IAdviseSink* pAdvSink, DWORD* pdwConnection) override;
        STDMETHODIMP DUnadvise(DWORD dwConnection) override;
        STDMETHODIMP EnumDAdvise(IEnumSTATDATA** ppenumAdvise) override;

    private:
        COleDataSource* m_owner;
    };

    COleDataSource(const COleDataSource&) = delete;
    COleDataSource& operator=(const COleDataSource&) = delete;

    // The cached entry that can answer the request, or NULL; *pResult gets
    // DV_E_FORMATETC or DV_E_TYMED when none can.
    const Entry* Lookup(const FORMATETC* request, HRESULT* pResult) const;

    std::vector<Entry> m_cache;
    LONG m_refs;
    XDataObject m_xDataObject;
};
