// COM helpers with ATL's names: CComPtr (an interface pointer that releases
// itself), CComQIPtr (one that queries on assignment), CComBSTR (an owned
// BSTR) and CComVariant (a VARIANT that clears itself). Single-thread use.
#pragma once
#include "framework/AfxPlatform.h"

#include <memory>
#include <utility>

// Gives T's AddRef/Release to nobody but CComPtr: `p->Release()` on a
// CComPtr would leave a dangling pointer behind.
template <class T> class _NoAddRefReleaseOnCComPtr : public T {
private:
    STDMETHOD_(ULONG, AddRef)() = 0;
    STDMETHOD_(ULONG, Release)() = 0;
};

template <class T> class CComPtr {
public:
    CComPtr() : p(NULL) {}
    CComPtr(T* lp) : p(lp)
    {
        if (p)
            p->AddRef();
    }
    CComPtr(const CComPtr& lp) : CComPtr(lp.p) {}
    CComPtr(CComPtr&& lp) noexcept : p(lp.p) { lp.p = NULL; }
    ~CComPtr()
    {
        if (p)
            p->Release();
    }

    CComPtr& operator=(T* lp)
    {
        if (lp)
            lp->AddRef();
        if (p)
            p->Release();
        p = lp;
        return *this;
    }
    CComPtr& operator=(const CComPtr& lp) { return *this = lp.p; }
    CComPtr& operator=(CComPtr&& lp) noexcept
    {
        if (this != std::addressof(lp)) {
            if (p)
                p->Release();
            p = lp.p;
            lp.p = NULL;
        }
        return *this;
    }

    operator T*() const { return p; }
    T& operator*() const { return *p; }
    // For out-parameters: the pointer must be empty.
    T** operator&() { return &p; }
    _NoAddRefReleaseOnCComPtr<T>* operator->() const { return (_NoAddRefReleaseOnCComPtr<T>*)p; }
    bool operator!() const { return p == NULL; }
    bool operator==(T* pT) const { return p == pT; }
    bool operator!=(T* pT) const { return p != pT; }

    void Release()
    {
        T* pTemp = p;
        if (pTemp) {
            p = NULL;
            pTemp->Release();
        }
    }
    void Attach(T* p2)
    {
        if (p)
            p->Release();
        p = p2;
    }
    T* Detach()
    {
        T* pt = p;
        p = NULL;
        return pt;
    }
    HRESULT CopyTo(T** ppT)
    {
        if (ppT == NULL)
            return E_POINTER;
        *ppT = p;
        if (p)
            p->AddRef();
        return S_OK;
    }
    bool IsEqualObject(IUnknown* pOther)
    {
        if (p == NULL && pOther == NULL)
            return true;
        if (p == NULL || pOther == NULL)
            return false;
        CComPtr<IUnknown> punk1, punk2;
        p->QueryInterface(IID_IUnknown, (void**)&punk1);
        pOther->QueryInterface(IID_IUnknown, (void**)&punk2);
        return punk1 == punk2;
    }
    HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter = NULL, DWORD dwClsContext = CLSCTX_ALL)
    {
        return ::CoCreateInstance(rclsid, pUnkOuter, dwClsContext, __uuidof(T), (void**)&p);
    }
    template <class Q> HRESULT QueryInterface(Q** pp) const
    {
        return p ? p->QueryInterface(__uuidof(Q), (void**)pp) : E_POINTER;
    }

    T* p;
};

// Queries piid (default: T's own interface id) from whatever is assigned.
template <class T, const IID* piid = nullptr> class CComQIPtr : public CComPtr<T> {
public:
    CComQIPtr() {}
    CComQIPtr(T* lp) : CComPtr<T>(lp) {}
    CComQIPtr(const CComQIPtr& lp) : CComPtr<T>(lp.p) {}
    CComQIPtr(IUnknown* lp) { Query(lp); }

    CComQIPtr& operator=(T* lp)
    {
        CComPtr<T>::operator=(lp);
        return *this;
    }
    CComQIPtr& operator=(const CComQIPtr& lp)
    {
        CComPtr<T>::operator=(lp.p);
        return *this;
    }
    CComQIPtr& operator=(IUnknown* lp)
    {
        CComPtr<T>::Release();
        Query(lp);
        return *this;
    }

private:
    void Query(IUnknown* lp)
    {
        if (lp != NULL)
            lp->QueryInterface(piid ? *piid : __uuidof(T), (void**)&this->p);
    }
};

// Same interface as IUnknown: a plain pointer copy, no query.
template <> class CComQIPtr<IUnknown, &IID_IUnknown> : public CComPtr<IUnknown> {
public:
    CComQIPtr() {}
    CComQIPtr(IUnknown* lp) : CComPtr<IUnknown>(lp) {}
};

class CComBSTR {
public:
    CComBSTR() : m_str(NULL) {}
    explicit CComBSTR(int nSize) : m_str(::SysAllocStringLen(NULL, (UINT)nSize)) {}
    CComBSTR(int nSize, LPCOLESTR sz) : m_str(::SysAllocStringLen(sz, (UINT)nSize)) {}
    CComBSTR(LPCOLESTR pSrc) : m_str(pSrc ? ::SysAllocString(pSrc) : NULL) {}
    CComBSTR(LPCSTR pSrc) : m_str(NULL) { AssignAnsi(pSrc); }
    CComBSTR(const CComBSTR& src) : m_str(src.Copy()) {}
    CComBSTR(CComBSTR&& src) noexcept : m_str(src.m_str) { src.m_str = NULL; }
    ~CComBSTR() { ::SysFreeString(m_str); }

    CComBSTR& operator=(const CComBSTR& src)
    {
        if (m_str != src.m_str) {
            ::SysFreeString(m_str);
            m_str = src.Copy();
        }
        return *this;
    }
    CComBSTR& operator=(CComBSTR&& src) noexcept
    {
        if (m_str != src.m_str) {
            ::SysFreeString(m_str);
            m_str = src.m_str;
            src.m_str = NULL;
        }
        return *this;
    }
    CComBSTR& operator=(LPCOLESTR pSrc)
    {
        if (pSrc != m_str) {
            ::SysFreeString(m_str);
            m_str = pSrc ? ::SysAllocString(pSrc) : NULL;
        }
        return *this;
    }
    CComBSTR& operator=(LPCSTR pSrc)
    {
        ::SysFreeString(m_str);
        m_str = NULL;
        AssignAnsi(pSrc);
        return *this;
    }

    unsigned int Length() const { return ::SysStringLen(m_str); }
    unsigned int ByteLength() const { return ::SysStringByteLen(m_str); }
    operator BSTR() const { return m_str; }
    // For out-parameters: the string must be empty.
    BSTR* operator&() { return &m_str; }
    bool operator!() const { return m_str == NULL; }
    bool operator==(const CComBSTR& other) const
    {
        return Length() == other.Length() && (Length() == 0 || wcsncmp(m_str, other.m_str, Length()) == 0);
    }
    bool operator!=(const CComBSTR& other) const { return !(*this == other); }

    BSTR Copy() const { return m_str ? ::SysAllocStringByteLen((const char*)m_str, ::SysStringByteLen(m_str)) : NULL; }
    HRESULT CopyTo(BSTR* pbstr) const
    {
        if (pbstr == NULL)
            return E_POINTER;
        *pbstr = Copy();
        return (*pbstr == NULL && m_str != NULL) ? E_OUTOFMEMORY : S_OK;
    }
    void Attach(BSTR src)
    {
        if (m_str != src) {
            ::SysFreeString(m_str);
            m_str = src;
        }
    }
    BSTR Detach()
    {
        BSTR s = m_str;
        m_str = NULL;
        return s;
    }
    void Empty()
    {
        ::SysFreeString(m_str);
        m_str = NULL;
    }

    HRESULT Append(LPCOLESTR lpsz, int nLen)
    {
        if (lpsz == NULL || nLen <= 0)
            return S_OK;
        UINT n = Length();
        BSTR b = ::SysAllocStringLen(NULL, n + (UINT)nLen);
        if (b == NULL)
            return E_OUTOFMEMORY;
        if (n)
            memcpy(b, m_str, n * sizeof(OLECHAR));
        memcpy(b + n, lpsz, (size_t)nLen * sizeof(OLECHAR));
        b[n + nLen] = 0;
        ::SysFreeString(m_str);
        m_str = b;
        return S_OK;
    }
    HRESULT Append(LPCOLESTR lpsz) { return lpsz ? Append(lpsz, (int)wcslen(lpsz)) : S_OK; }
    HRESULT Append(const CComBSTR& bstrSrc) { return Append(bstrSrc.m_str, (int)bstrSrc.Length()); }
    HRESULT Append(OLECHAR ch) { return Append(&ch, 1); }
    HRESULT Append(LPCSTR lpsz)
    {
        CComBSTR tmp(lpsz);
        return Append(tmp);
    }
    CComBSTR& operator+=(const CComBSTR& bstrSrc)
    {
        Append(bstrSrc);
        return *this;
    }
    CComBSTR& operator+=(LPCOLESTR pszSrc)
    {
        Append(pszSrc);
        return *this;
    }

    HRESULT ToLower()
    {
        if (m_str)
            ::CharLowerBuffW(m_str, Length());
        return S_OK;
    }
    HRESULT ToUpper()
    {
        if (m_str)
            ::CharUpperBuffW(m_str, Length());
        return S_OK;
    }

    BSTR m_str;

private:
    void AssignAnsi(LPCSTR pSrc)
    {
        if (pSrc == NULL)
            return;
        int n = ::MultiByteToWideChar(CP_ACP, 0, pSrc, -1, NULL, 0);
        if (n <= 0)
            return;
        m_str = ::SysAllocStringLen(NULL, (UINT)(n - 1));
        if (m_str)
            ::MultiByteToWideChar(CP_ACP, 0, pSrc, -1, m_str, n);
    }
};

class CComVariant : public tagVARIANT {
public:
    CComVariant() { ::VariantInit(this); }
    ~CComVariant() { Clear(); }
    CComVariant(const VARIANT& varSrc)
    {
        ::VariantInit(this);
        ::VariantCopy(this, const_cast<VARIANT*>(&varSrc));
    }
    CComVariant(const CComVariant& varSrc)
    {
        ::VariantInit(this);
        ::VariantCopy(this, const_cast<CComVariant*>(&varSrc));
    }
    CComVariant(LPCOLESTR lpszSrc)
    {
        vt = VT_BSTR;
        bstrVal = ::SysAllocString(lpszSrc);
    }
    CComVariant(LPCSTR lpszSrc)
    {
        CComBSTR b(lpszSrc);
        vt = VT_BSTR;
        bstrVal = b.Detach();
    }
    CComVariant(bool bSrc)
    {
        vt = VT_BOOL;
        boolVal = bSrc ? VARIANT_TRUE : VARIANT_FALSE;
    }
    CComVariant(int nSrc, VARTYPE vtSrc = VT_I4)
    {
        vt = vtSrc;
        intVal = nSrc;
    }
    CComVariant(BYTE nSrc)
    {
        vt = VT_UI1;
        bVal = nSrc;
    }
    CComVariant(short nSrc)
    {
        vt = VT_I2;
        iVal = nSrc;
    }
    CComVariant(long nSrc, VARTYPE vtSrc = VT_I4)
    {
        vt = vtSrc;
        lVal = nSrc;
    }
    CComVariant(unsigned long nSrc)
    {
        vt = VT_UI4;
        ulVal = nSrc;
    }
    CComVariant(unsigned int nSrc, VARTYPE vtSrc = VT_UI4)
    {
        vt = vtSrc;
        uintVal = nSrc;
    }
    CComVariant(LONGLONG nSrc)
    {
        vt = VT_I8;
        llVal = nSrc;
    }
    CComVariant(float fltSrc)
    {
        vt = VT_R4;
        fltVal = fltSrc;
    }
    CComVariant(double dblSrc, VARTYPE vtSrc = VT_R8)
    {
        vt = vtSrc;
        dblVal = dblSrc;
    }
    CComVariant(IUnknown* pSrc)
    {
        vt = VT_UNKNOWN;
        punkVal = pSrc;
        if (punkVal)
            punkVal->AddRef();
    }
    CComVariant(IDispatch* pSrc)
    {
        vt = VT_DISPATCH;
        pdispVal = pSrc;
        if (pdispVal)
            pdispVal->AddRef();
    }

    CComVariant& operator=(const CComVariant& varSrc)
    {
        if (this != &varSrc)
            ::VariantCopy(this, const_cast<CComVariant*>(&varSrc));
        return *this;
    }
    CComVariant& operator=(const VARIANT& varSrc)
    {
        if (static_cast<VARIANT*>(this) != &varSrc)
            ::VariantCopy(this, const_cast<VARIANT*>(&varSrc));
        return *this;
    }
    template <typename T> CComVariant& operator=(const T& value)
    {
        CComVariant tmp(value);
        Clear();
        *static_cast<VARIANT*>(this) = tmp;
        tmp.vt = VT_EMPTY;                      // ownership moved
        return *this;
    }

    HRESULT Clear() { return ::VariantClear(this); }
    HRESULT Copy(const VARIANT* pSrc) { return ::VariantCopy(this, const_cast<VARIANT*>(pSrc)); }
    HRESULT Attach(VARIANT* pSrc)
    {
        HRESULT hr = Clear();
        if (FAILED(hr))
            return hr;
        memcpy(static_cast<VARIANT*>(this), pSrc, sizeof(VARIANT));
        pSrc->vt = VT_EMPTY;
        return S_OK;
    }
    HRESULT Detach(VARIANT* pDest)
    {
        HRESULT hr = ::VariantClear(pDest);
        if (FAILED(hr))
            return hr;
        memcpy(pDest, static_cast<VARIANT*>(this), sizeof(VARIANT));
        vt = VT_EMPTY;
        return S_OK;
    }
    HRESULT ChangeType(VARTYPE vtNew, const VARIANT* pSrc = NULL)
    {
        VARIANT* pVar = const_cast<VARIANT*>(pSrc ? pSrc : this);
        return ::VariantChangeType(this, pVar, 0, vtNew);
    }
    bool operator==(const VARIANT& varSrc) const
    {
        if (this == &varSrc)
            return true;
        if (vt != varSrc.vt)
            return false;
        return ::VarCmp(const_cast<CComVariant*>(this), const_cast<VARIANT*>(&varSrc), LOCALE_USER_DEFAULT, 0) ==
               static_cast<HRESULT>(VARCMP_EQ);
    }
    bool operator!=(const VARIANT& varSrc) const { return !operator==(varSrc); }
};
