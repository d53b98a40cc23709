#include "settings/DirectXVersion.h"

#include <initguid.h>
#include <dxdiag.h>
#include <stdio.h>
#include <stdlib.h>

namespace {

FileVersionWords Words(DWORD a, DWORD b, DWORD c, DWORD d)
{
    FileVersionWords v = { (a << 16) | b, (c << 16) | d };
    return v;
}

struct Rule {
    const char* file;
    FileVersionWords major4;    // the least version (for files of major 4, where two are given)
    FileVersionWords major5;    // the least version for files of major 5 and later; 0 when one version serves
    DWORD dxMajor;
    DWORD dxMinor;
    char letter;
    bool presenceOnly;
};

// The DirectX SDK's version-sample rules; each later rule that holds wins.
const Rule kRules[] = {
    { "ddraw.dll", Words(4, 2, 0, 95), {}, 1, 0, ' ', false },
    { "ddraw.dll", Words(4, 3, 0, 1096), {}, 2, 0, ' ', false },
    { "ddraw.dll", Words(4, 4, 0, 68), {}, 3, 0, ' ', false },
    { "d3drg8x.dll", Words(4, 4, 0, 70), {}, 3, 0, 'a', false },
    { "ddraw.dll", Words(4, 5, 0, 155), {}, 5, 0, ' ', false },
    { "ddraw.dll", Words(4, 6, 0, 318), {}, 6, 0, ' ', false },
    { "ddraw.dll", Words(4, 6, 0, 436), {}, 6, 1, ' ', false },
    { "dplayx.dll", Words(4, 6, 3, 518), {}, 6, 1, 'a', false },
    { "ddraw.dll", Words(4, 7, 0, 700), {}, 7, 0, ' ', false },
    { "dinput.dll", Words(4, 7, 0, 716), {}, 7, 0, 'a', false },
    { "ddraw.dll", Words(4, 8, 0, 400), Words(5, 1, 2258, 400), 8, 0, ' ', false },
    { "d3d8.dll", Words(4, 8, 1, 881), Words(5, 1, 2600, 881), 8, 1, ' ', false },
    { "d3d8.dll", Words(4, 8, 1, 901), Words(5, 1, 2600, 901), 8, 1, 'a', false },
    { "mpg2splt.ax", Words(6, 3, 1, 885), {}, 8, 1, 'b', false },
    { "dpnet.dll", Words(4, 9, 0, 134), Words(5, 2, 3677, 134), 8, 2, ' ', false },
    { "d3d9.dll", {}, {}, 9, 0, ' ', true },
};

bool RuleHolds(const Rule& rule, const FileVersionWords& found)
{
    if (rule.presenceOnly)
        return true;
    const bool twoVersions = rule.major5.ms != 0;
    const FileVersionWords& least = (twoVersions && HIWORD(found.ms) >= 5) ? rule.major5 : rule.major4;
    return CompareFileVersions(found, least) >= 0;
}

struct SystemFolder {
    char path[MAX_PATH];
};

HRESULT SystemFileVersion(const char* fileName, FileVersionWords* version, void* context)
{
    char path[MAX_PATH * 2];
    snprintf(path, sizeof(path), "%s\\%s", static_cast<SystemFolder*>(context)->path, fileName);
    return GetFileVersionWords(path, version);
}

}  // namespace

int CompareFileVersions(const FileVersionWords& a, const FileVersionWords& b)
{
    if (a.ms != b.ms)
        return a.ms > b.ms ? 1 : -1;
    if (a.ls != b.ls)
        return a.ls > b.ls ? 1 : -1;
    return 0;
}

HRESULT GetFileVersionWords(const char* path, FileVersionWords* version)
{
    if (!path || !version)
        return E_INVALIDARG;
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeA(path, &handle);
    if (size == 0)
        return E_FAIL;
    void* block = malloc(size);
    if (!block)
        return E_OUTOFMEMORY;
    HRESULT hr = E_FAIL;
    VS_FIXEDFILEINFO* info = NULL;
    UINT length = 0;
    if (::GetFileVersionInfoA(path, 0, size, block) &&
        ::VerQueryValueA(block, "\\", reinterpret_cast<void**>(&info), &length) && info &&
        length >= sizeof(VS_FIXEDFILEINFO)) {
        version->ms = info->dwFileVersionMS;
        version->ls = info->dwFileVersionLS;
        hr = S_OK;
    }
    free(block);
    return hr;
}

HRESULT InferDirectXVersion(FileVersionSource source, void* context, DWORD* major, DWORD* minor, char* letter)
{
    *major = 0;
    *minor = 0;
    *letter = ' ';
    for (const Rule& rule : kRules) {
        FileVersionWords found;
        if (FAILED(source(rule.file, &found, context)))
            continue;
        if (RuleHolds(rule, found)) {
            *major = rule.dxMajor;
            *minor = rule.dxMinor;
            *letter = rule.letter;
        }
    }
    return S_OK;
}

HRESULT GetDirectXVersionViaFileVersions(DWORD* major, DWORD* minor, char* letter)
{
    SystemFolder folder;
    if (!::GetSystemDirectoryA(folder.path, MAX_PATH)) {
        *major = 0;
        *minor = 0;
        return E_FAIL;
    }
    return InferDirectXVersion(&SystemFileVersion, &folder, major, minor, letter);
}

HRESULT GetDirectXVersionViaDxDiag(DWORD* major, DWORD* minor, char* letter)
{
    HRESULT init = ::CoInitialize(NULL);
    bool gotMajor = false, gotMinor = false, gotLetter = false;
    IDxDiagProvider* provider = NULL;
    HRESULT hr = ::CoCreateInstance(CLSID_DxDiagProvider, NULL, CLSCTX_INPROC_SERVER, IID_IDxDiagProvider,
                                    reinterpret_cast<void**>(&provider));
    if (SUCCEEDED(hr)) {
        DXDIAG_INIT_PARAMS params;
        memset(&params, 0, sizeof(params));
        params.dwSize = sizeof(params);
        params.dwDxDiagHeaderVersion = DXDIAG_DX9_SDK_VERSION;
        params.bAllowWHQLChecks = FALSE;
        IDxDiagContainer* root = NULL;
        IDxDiagContainer* system = NULL;
        if (SUCCEEDED(provider->Initialize(&params)) && SUCCEEDED(provider->GetRootContainer(&root)) &&
            SUCCEEDED(root->GetChildContainer(L"DxDiag_SystemInfo", &system))) {
            VARIANT value;
            ::VariantInit(&value);
            if (SUCCEEDED(system->GetProp(L"dwDirectXVersionMajor", &value)) && value.vt == VT_UI4) {
                *major = value.ulVal;
                gotMajor = true;
            }
            ::VariantClear(&value);
            if (SUCCEEDED(system->GetProp(L"dwDirectXVersionMinor", &value)) && value.vt == VT_UI4) {
                *minor = value.ulVal;
                gotMinor = true;
            }
            ::VariantClear(&value);
            if (SUCCEEDED(system->GetProp(L"szDirectXVersionLetter", &value)) && value.vt == VT_BSTR) {
                char text[8] = {};
                if (value.bstrVal && value.bstrVal[0])
                    ::WideCharToMultiByte(CP_ACP, 0, value.bstrVal, 1, text, sizeof(text), NULL, NULL);
                *letter = text[0] ? text[0] : ' ';
                gotLetter = true;
            }
            ::VariantClear(&value);
        }
        if (system)
            system->Release();
        if (root)
            root->Release();
        provider->Release();
    }
    if (SUCCEEDED(init))
        ::CoUninitialize();
    return gotMajor && gotMinor && gotLetter ? S_OK : E_FAIL;
}

void MakeDirectXVersion(DWORD major, DWORD minor, char letter, DWORD* version, char* text, int textSize)
{
    if (letter >= 'A' && letter <= 'Z')
        letter = (char)(letter - 'A' + 'a');
    const bool hasLetter = letter >= 'a' && letter <= 'z';
    if (version)
        *version = (major << 16) | ((minor & 0xFF) << 8) | (hasLetter ? (DWORD)(letter - 'a' + 1) : 0);
    if (text && textSize > 0) {
        if (hasLetter)
            snprintf(text, (size_t)textSize, "%d.%d%c", (int)major, (int)minor, letter);
        else
            snprintf(text, (size_t)textSize, "%d.%d", (int)major, (int)minor);
        text[textSize - 1] = 0;
    }
}

HRESULT GetDirectXVersion(DWORD* version, char* text, int textSize)
{
    if (version)
        *version = 0;
    if (text && textSize > 0)
        text[0] = 0;
    DWORD major = 0, minor = 0;
    char letter = ' ';
    if (FAILED(GetDirectXVersionViaDxDiag(&major, &minor, &letter))) {
        letter = ' ';
        if (FAILED(GetDirectXVersionViaFileVersions(&major, &minor, &letter)) || (major == 0 && minor == 0))
            return E_FAIL;
    }
    MakeDirectXVersion(major, minor, letter, version, text, textSize);
    return S_OK;
}
