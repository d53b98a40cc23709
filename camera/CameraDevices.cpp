#include "camera/CameraDevices.h"

#include <dshow.h>

const char kOwnCaptureDriverName[] = "Skorvale Studio Video Capture Driver";

namespace {

// Reads the moniker's "FriendlyName" into `name`; FALSE when it has none.
BOOL ReadFriendlyName(IMoniker* moniker, CString* name)
{
    IPropertyBag* bag = NULL;
    if (FAILED(moniker->BindToStorage(NULL, NULL, IID_IPropertyBag, (void**)&bag)) || !bag)
        return FALSE;
    VARIANT value;
    ::VariantInit(&value);
    BOOL ok = FALSE;
    if (SUCCEEDED(bag->Read(L"FriendlyName", &value, NULL)) && value.vt == VT_BSTR && value.bstrVal) {
        *name = CString(CStringW(value.bstrVal));
        ok = TRUE;
    }
    ::VariantClear(&value);
    bag->Release();
    return ok;
}

// Calls `visit` for each moniker of the category with its friendly name
// until it answers FALSE.
template <class Visit> void ForEachDevice(REFCLSID category, Visit visit)
{
    ICreateDevEnum* devices = NULL;
    if (FAILED(::CoCreateInstance(CLSID_SystemDeviceEnum, NULL, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                  (void**)&devices)))
        return;
    IEnumMoniker* monikers = NULL;
    // S_FALSE: the category is empty (and no enumerator is returned).
    if (devices->CreateClassEnumerator(category, &monikers, 0) == S_OK && monikers) {
        IMoniker* moniker = NULL;
        BOOL more = TRUE;
        while (more && monikers->Next(1, &moniker, NULL) == S_OK) {
            CString name;
            if (ReadFriendlyName(moniker, &name))
                more = visit(moniker, name);
            moniker->Release();
        }
        monikers->Release();
    }
    devices->Release();
}

}  // namespace

void ListDeviceNames(CStringArray* names, REFCLSID category)
{
    if (!names)
        return;
    ForEachDevice(category, [names](IMoniker*, const CString& name) {
        if (name != kOwnCaptureDriverName)
            names->Add(name);
        return TRUE;
    });
}

BOOL FindDeviceMoniker(REFCLSID category, IMoniker** moniker, CString* foundName, LPCSTR name)
{
    if (!moniker || !name)
        return FALSE;
    BOOL found = FALSE;
    ForEachDevice(category, [&](IMoniker* candidate, const CString& candidateName) {
        if (candidateName != name)
            return TRUE;
        found = TRUE;
        if (*moniker == NULL || (*moniker)->IsEqual(candidate) != S_OK) {
            if (*moniker)
                (*moniker)->Release();
            candidate->AddRef();
            *moniker = candidate;
            if (foundName)
                *foundName = candidateName;
        }
        return FALSE;
    });
    return found;
}
