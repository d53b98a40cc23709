#include "platform/dex/DexPropertySetter.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

namespace {

struct PropValue {
    VARIANT v;
    REFERENCE_TIME rt;
    DWORD interp;
};

struct Property {
    std::wstring name;
    DISPID dispID;
    std::vector<PropValue> values;   // sorted by time
};

void CopyValue(PropValue& to, const DEXTER_VALUE& from)
{
    VariantInit(&to.v);
    VariantCopy(&to.v, const_cast<VARIANT*>(&from.v));
    to.rt = from.rt;
    to.interp = from.dwInterp;
}

class CDexPropertySetter final : public IPropertySetter {
public:
    CDexPropertySetter() : m_ref(1) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertySetter)) {
            *ppv = static_cast<IPropertySetter*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_ref); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG r = InterlockedDecrement(&m_ref);
        if (r == 0)
            delete this;
        return r;
    }

    STDMETHODIMP LoadXML(IUnknown*) override { return E_NOTIMPL; }
    STDMETHODIMP PrintXML(char*, int, int*, int) override { return E_NOTIMPL; }

    // The copy holds, for each property, the value in force at `start` (at
    // time 0) and every later value before `stop`, with times moved back by
    // `start`: the object cut at `start` goes on as the original did.
    STDMETHODIMP CloneProps(IPropertySetter** setter, REFERENCE_TIME start, REFERENCE_TIME stop) override
    {
        if (!setter)
            return E_POINTER;
        CDexPropertySetter* copy = new (std::nothrow) CDexPropertySetter();
        if (!copy)
            return E_OUTOFMEMORY;
        for (const Property& p : m_props) {
            Property q;
            q.name = p.name;
            q.dispID = p.dispID;
            const PropValue* inForce = NULL;
            for (const PropValue& v : p.values)
                if (v.rt <= start)
                    inForce = &v;
            if (inForce) {
                PropValue c;
                VariantInit(&c.v);
                VariantCopy(&c.v, const_cast<VARIANT*>(&inForce->v));
                c.rt = 0;
                c.interp = inForce->interp;
                q.values.push_back(c);
            }
            for (const PropValue& v : p.values) {
                if (v.rt > start && v.rt < stop) {
                    PropValue c;
                    VariantInit(&c.v);
                    VariantCopy(&c.v, const_cast<VARIANT*>(&v.v));
                    c.rt = v.rt - start;
                    c.interp = v.interp;
                    q.values.push_back(c);
                }
            }
            if (!q.values.empty())
                copy->m_props.push_back(q);
        }
        *setter = copy;
        return S_OK;
    }

    // A second AddProp under a name already held adds its values to that
    // property, kept in time order.
    STDMETHODIMP AddProp(DEXTER_PARAM param, DEXTER_VALUE* value) override
    {
        if (!param.name || (param.nValues > 0 && !value))
            return E_POINTER;
        if (param.nValues <= 0)
            return E_INVALIDARG;
        Property* target = NULL;
        for (Property& p : m_props)
            if (_wcsicmp(p.name.c_str(), param.name) == 0)
                target = &p;
        if (!target) {
            m_props.push_back(Property{param.name, param.dispID, {}});
            target = &m_props.back();
        }
        for (LONG i = 0; i < param.nValues; ++i) {
            PropValue v;
            CopyValue(v, value[i]);
            auto at = std::upper_bound(target->values.begin(), target->values.end(), v.rt,
                                       [](REFERENCE_TIME t, const PropValue& x) { return t < x.rt; });
            target->values.insert(at, v);
        }
        return S_OK;
    }

    // Hands out one DEXTER_PARAM per property and all values in one array,
    // property after property; FreeProps releases both.
    STDMETHODIMP GetProps(LONG* count, DEXTER_PARAM** params, DEXTER_VALUE** values) override
    {
        if (!count || !params || !values)
            return E_POINTER;
        *count = (LONG)m_props.size();
        *params = NULL;
        *values = NULL;
        size_t total = 0;
        for (const Property& p : m_props)
            total += p.values.size();
        if (m_props.empty())
            return S_OK;
        DEXTER_PARAM* ps = (DEXTER_PARAM*)CoTaskMemAlloc(sizeof(DEXTER_PARAM) * m_props.size());
        DEXTER_VALUE* vs = (DEXTER_VALUE*)CoTaskMemAlloc(sizeof(DEXTER_VALUE) * (total ? total : 1));
        if (!ps || !vs) {
            CoTaskMemFree(ps);
            CoTaskMemFree(vs);
            return E_OUTOFMEMORY;
        }
        size_t k = 0;
        for (size_t i = 0; i < m_props.size(); ++i) {
            ps[i].name = SysAllocString(m_props[i].name.c_str());
            ps[i].dispID = m_props[i].dispID;
            ps[i].nValues = (LONG)m_props[i].values.size();
            for (const PropValue& v : m_props[i].values) {
                VariantInit(&vs[k].v);
                VariantCopy(&vs[k].v, const_cast<VARIANT*>(&v.v));
                vs[k].rt = v.rt;
                vs[k].dwInterp = v.interp;
                ++k;
            }
        }
        *params = ps;
        *values = vs;
        return S_OK;
    }

    STDMETHODIMP FreeProps(LONG count, DEXTER_PARAM* params, DEXTER_VALUE* values) override
    {
        LONG total = 0;
        for (LONG i = 0; params && i < count; ++i) {
            total += params[i].nValues;
            SysFreeString(params[i].name);
        }
        for (LONG i = 0; values && i < total; ++i)
            VariantClear(&values[i].v);
        CoTaskMemFree(params);
        CoTaskMemFree(values);
        return S_OK;
    }

    STDMETHODIMP ClearProps() override
    {
        Clear();
        return S_OK;
    }

    STDMETHODIMP SaveToBlob(LONG*, BYTE**) override { return E_NOTIMPL; }
    STDMETHODIMP LoadFromBlob(LONG, BYTE*) override { return E_NOTIMPL; }
    STDMETHODIMP SetProps(IUnknown*, REFERENCE_TIME) override { return E_NOTIMPL; }

private:
    ~CDexPropertySetter() { Clear(); }
    void Clear()
    {
        for (Property& p : m_props)
            for (PropValue& v : p.values)
                VariantClear(&v.v);
        m_props.clear();
    }

    LONG m_ref;
    std::vector<Property> m_props;
};

} // namespace

HRESULT DexCreatePropertySetter(REFIID riid, void** ppv)
{
    CDexPropertySetter* p = new (std::nothrow) CDexPropertySetter();
    if (!p)
        return E_OUTOFMEMORY;
    HRESULT hr = p->QueryInterface(riid, ppv);
    p->Release();
    return hr;
}
