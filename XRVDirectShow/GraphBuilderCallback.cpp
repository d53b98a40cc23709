#include "XRVDirectShow/GraphBuilderCallback.h"
#include "XRVDirectShow/TimelineReport.h"
#include "platform/dex/DexFactory.h"
#include "platform/dex/PcmConverter.h"
#include "platform/filters/XrvcCompressor.h"

#include <wchar.h>

#include <stdio.h>
#include <string.h>

STDMETHODIMP CGraphBuilderCallback::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IAMGraphBuilderCallback)) {
        *ppv = static_cast<IAMGraphBuilderCallback*>(this);
        return S_OK;
    }
    *ppv = NULL;
    return E_NOINTERFACE;
}

void CGraphBuilderCallback::Load()
{
    char path[MAX_PATH];
    DWORD n = ::GetModuleFileNameA(NULL, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    char* slash = strrchr(path, '\\');
    if (!slash)
        return;
    slash[1] = 0;
    CString ini(path);
    ini += "BlockedFilters.ini";
    LoadFrom(ini);
}

// "Filter_0", "Filter_1"... up to the first empty one: a gap ends the list.
void CGraphBuilderCallback::LoadFrom(const char* iniPath)
{
    m_blocked.RemoveAll();
    for (int i = 0;; ++i) {
        char key[32], value[MAX_PATH];
        snprintf(key, sizeof(key), "Filter_%d", i);
        ::GetPrivateProfileStringA("Filters", key, "", value, MAX_PATH, iniPath);
        if (!value[0])
            break;
        m_blocked.Add(value);
    }
    m_writeFilters = (int)::GetPrivateProfileIntA("Flags", "WriteFilters", 0, iniPath);
}

HRESULT CGraphBuilderCallback::Attach(IUnknown* graph)
{
    if (!graph)
        return E_POINTER;
    IObjectWithSite* site = NULL;
    HRESULT hr = graph->QueryInterface(IID_IObjectWithSite, (void**)&site);
    if (FAILED(hr))
        return hr;
    hr = site->SetSite(static_cast<IAMGraphBuilderCallback*>(this));
    site->Release();
    return hr;
}

// Every failure to learn the filter's identity lets it through.
STDMETHODIMP CGraphBuilderCallback::SelectedFilter(IMoniker* pMon)
{
    if (!pMon)
        return S_OK;
    IPropertyBag* bag = NULL;
    if (FAILED(pMon->BindToStorage(NULL, NULL, IID_IPropertyBag, (void**)&bag)) || !bag)
        return S_OK;
    VARIANT name, clsid;
    VariantInit(&name);
    VariantInit(&clsid);
    bag->Read(L"FriendlyName", &name, NULL);
    HRESULT hr = bag->Read(L"CLSID", &clsid, NULL);
    bag->Release();
    char clsidText[64] = "";
    char friendly[512] = "";
    if (SUCCEEDED(hr) && clsid.vt == VT_BSTR && clsid.bstrVal) {
        WideCharToMultiByte(CP_ACP, 0, clsid.bstrVal, -1, clsidText, sizeof(clsidText), NULL, NULL);
        clsidText[sizeof(clsidText) - 1] = 0;
    }
    if (name.vt == VT_BSTR && name.bstrVal) {
        WideCharToMultiByte(CP_ACP, 0, name.bstrVal, -1, friendly, sizeof(friendly), NULL, NULL);
        friendly[sizeof(friendly) - 1] = 0;
    }
    VariantClear(&name);
    VariantClear(&clsid);
    if (!clsidText[0])
        return S_OK;
    CString server;
    if (!GetInprocServerPath(clsidText, &server))
        return S_OK;
    int slash = server.ReverseFind('\\');
    CString dll = slash < 0 ? server : server.Mid(slash + 1);
    for (INT_PTR i = 0; i < m_blocked.GetSize(); ++i)
        if (m_blocked[i].CompareNoCase(dll) == 0)
            return E_FAIL;
    if (m_writeFilters) {
        char folder[MAX_PATH];
        DWORD n = ::GetTempPathA(MAX_PATH, folder);
        if (n > 0 && n < MAX_PATH) {
            CString log(folder);
            log += "XRV_Filters_Used.txt";
            ::WritePrivateProfileStringA("Filters_Used", friendly, dll, log);
        }
    }
    return S_OK;
}

BOOL GetInprocServerPath(const char* clsidText, CString* path)
{
    if (!clsidText || !path)
        return FALSE;
    char keyName[128];
    snprintf(keyName, sizeof(keyName), "Software\\Classes\\CLSID\\%s\\InprocServer32", clsidText);
    HKEY key = NULL;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return FALSE;
    // One byte more than the 260 read, so a value that fills them all is
    // still terminated (and refused, as it cannot be a whole path).
    char value[MAX_PATH + 1];
    DWORD size = MAX_PATH;
    DWORD type = 0;
    LONG rc = ::RegQueryValueExA(key, NULL, NULL, &type, (BYTE*)value, &size);
    ::RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || size > MAX_PATH)
        return FALSE;
    value[size] = 0;
    if (size == MAX_PATH && value[MAX_PATH - 1] != 0)
        return FALSE;
    *path = value;
    return !path->IsEmpty();
}

HRESULT CreateCategoryEnumerator(REFCLSID category, IEnumMoniker** out)
{
    if (!out)
        return E_POINTER;
    *out = NULL;
    ICreateDevEnum* devices = NULL;
    HRESULT hr = ::CoCreateInstance(CLSID_SystemDeviceEnum, NULL, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                    (void**)&devices);
    if (FAILED(hr)) {
        ReportTimelineFailure("XRVDirectShow\\XRVDSTimeline", __LINE__,
                              "CoCreateInstance failed for CLSID_SystemDeviceEnum");
        return hr;
    }
    try {
        hr = devices->CreateClassEnumerator(category, out, 0);
    } catch (...) {
        ReportTimelineFailure("XRVDirectShow\\XRVDSTimeline", __LINE__,
                              "An exception was thrown during call to CreateClassEnumerator");
        hr = E_FAIL;
        *out = NULL;
    }
    devices->Release();
    return hr;
}

namespace {

// The class id a category moniker binds to (its "CLSID" value).
BOOL MonikerClassId(IMoniker* moniker, CLSID* clsid)
{
    IPropertyBag* bag = NULL;
    if (FAILED(moniker->BindToStorage(NULL, NULL, IID_IPropertyBag, (void**)&bag)))
        return FALSE;
    VARIANT v;
    VariantInit(&v);
    BOOL ok = SUCCEEDED(bag->Read(L"CLSID", &v, NULL)) && v.vt == VT_BSTR && v.bstrVal &&
              SUCCEEDED(CLSIDFromString(v.bstrVal, clsid));
    VariantClear(&v);
    bag->Release();
    return ok;
}

BOOL IsOurCompressor(REFCLSID clsid) { return IsEqualCLSID(clsid, CLSID_XrvScreenCodecFilter); }

} // namespace

HRESULT BindCompressorMoniker(IMoniker* moniker, IBaseFilter** out)
{
    if (!moniker || !out)
        return E_POINTER;
    *out = NULL;
    CLSID clsid;
    if (MonikerClassId(moniker, &clsid) && IsOurCompressor(clsid))
        return DexCreateInstance(clsid, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void**)out);
    return moniker->BindToObject(NULL, NULL, IID_IBaseFilter, (void**)out);
}

// Our own compressor of a name wins over another entry of the same name
// (Wine lists every installed codec under its description, wrapped in its
// own compressor), wherever the category lists it.
HRESULT FindCompressorFilter(int kind, LPCWSTR name, IBaseFilter** out)
{
    if (!name || !out)
        return E_POINTER;
    *out = NULL;
    if (kind != 0 && _wcsicmp(name, kXrvcCompressorName) == 0)
        EnsureOwnCompressorsRegistered();
    IEnumMoniker* monikers = NULL;
    HRESULT hr = CreateCategoryEnumerator(kind == 0 ? CLSID_AudioCompressorCategory : CLSID_VideoCompressorCategory,
                                          &monikers);
    IMoniker* other = NULL;   // the first entry of that name that is not ours
    if (hr == S_OK && monikers) {
        IMoniker* moniker = NULL;
        while (!*out && monikers->Next(1, &moniker, NULL) == S_OK) {
            IPropertyBag* bag = NULL;
            BOOL named = FALSE;
            if (SUCCEEDED(moniker->BindToStorage(NULL, NULL, IID_IPropertyBag, (void**)&bag))) {
                VARIANT v;
                VariantInit(&v);
                named = SUCCEEDED(bag->Read(L"FriendlyName", &v, NULL)) && v.vt == VT_BSTR && v.bstrVal &&
                        _wcsicmp(v.bstrVal, name) == 0;
                VariantClear(&v);
                bag->Release();
            }
            CLSID clsid;
            if (named && MonikerClassId(moniker, &clsid) && IsOurCompressor(clsid))
                DexCreateInstance(clsid, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void**)out);
            else if (named && !other) {
                other = moniker;
                other->AddRef();
            }
            moniker->Release();
        }
        monikers->Release();
    }
    if (!*out && other)
        other->BindToObject(NULL, NULL, IID_IBaseFilter, (void**)out);
    if (other)
        other->Release();
    if (*out)
        return S_OK;
    if (kind == 0 && _wcsicmp(name, L"PCM") == 0)
        return DexCreateInstance(CLSID_XrvPcmConverter, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void**)out);
    return E_FAIL;
}

HRESULT EnsureOwnCompressorsRegistered()
{
    static volatile LONG done = 0;
    if (InterlockedCompareExchange(&done, 0, 0))
        return S_OK;
    HRESULT hr = RegisterXrvcCompressorFilter();
    if (SUCCEEDED(hr))
        InterlockedExchange(&done, 1);
    return hr;
}
