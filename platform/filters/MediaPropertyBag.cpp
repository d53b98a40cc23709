#include "platform/filters/MediaPropertyBag.h"

#include <new>
#include <string>
#include <vector>

namespace {

class CMediaPropertyBag : public IMediaPropertyBag {
public:
    CMediaPropertyBag() : m_cRef(0) {}
    virtual ~CMediaPropertyBag()
    {
        for (Item& item : m_items)
            VariantClear(&item.value);
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyBag) ||
            IsEqualIID(riid, IID_IMediaPropertyBag)) {
            *ppv = static_cast<IMediaPropertyBag*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_cRef); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG left = InterlockedDecrement(&m_cRef);
        if (left == 0)
            delete this;
        return left;
    }

    STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override
    {
        if (!name || !value)
            return E_POINTER;
        CDsAutoLock lock(&m_lock);
        for (Item& item : m_items)
            if (item.name == name)
                return VariantCopy(value, &item.value);
        return E_INVALIDARG;
    }

    STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override
    {
        if (!name || !value)
            return E_POINTER;
        CDsAutoLock lock(&m_lock);
        for (Item& item : m_items)
            if (item.name == name)
                return VariantCopy(&item.value, value);
        m_items.push_back(Item());
        Item& item = m_items.back();
        item.name = name;
        VariantInit(&item.value);
        HRESULT hr = VariantCopy(&item.value, value);
        if (FAILED(hr))
            m_items.pop_back();
        return hr;
    }

    STDMETHODIMP EnumProperty(ULONG index, VARIANT* name, VARIANT* value) override
    {
        if (!name || !value)
            return E_POINTER;
        CDsAutoLock lock(&m_lock);
        if (index >= m_items.size())
            return E_INVALIDARG;
        V_VT(name) = VT_BSTR;
        V_BSTR(name) = SysAllocString(m_items[index].name.c_str());
        if (!V_BSTR(name)) {
            V_VT(name) = VT_EMPTY;
            return E_OUTOFMEMORY;
        }
        VariantInit(value);
        HRESULT hr = VariantCopy(value, &m_items[index].value);
        if (FAILED(hr))
            VariantClear(name);
        return hr;
    }

private:
    struct Item {
        std::wstring name;
        VARIANT value;
    };
    volatile LONG m_cRef;
    CDsLock m_lock;
    std::vector<Item> m_items;
};

} // namespace

HRESULT DsCreateMediaPropertyBag(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = NULL;
    CMediaPropertyBag* bag = new (std::nothrow) CMediaPropertyBag();
    if (!bag)
        return E_OUTOFMEMORY;
    bag->AddRef();
    HRESULT hr = bag->QueryInterface(riid, ppv);
    bag->Release();
    return hr;
}
