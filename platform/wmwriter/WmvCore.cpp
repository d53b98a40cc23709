#include "platform/wmwriter/WmvCore.h"
#include "platform/wmwriter/WmProfile.h"
#include <vector>

namespace {

typedef HRESULT(STDMETHODCALLTYPE* CreateProfileManagerFn)(IWMProfileManager**);

HMODULE g_wmvcore = NULL;
CreateProfileManagerFn g_createProfileManager = NULL;

// The Windows Media Encoder's profile manager and the interface that gives
// its profile folder.
const CLSID kEncoderProfileManager = {0xA8D3AD02, 0x7508, 0x4004, {0xB2, 0xE9, 0xAD, 0x33, 0xF0, 0x87, 0xF4, 0x3C}};
const IID kEncoderProfileManagerIid = {0x731B9D9E, 0x6CF4, 0x4C37, {0xA6, 0xA9, 0xA8, 0x9B, 0x88, 0x0D, 0x36, 0xEC}};

// The encoder's profile manager as far as we call it: after IDispatch, the
// fifth operation gives the folder.
struct IEncoderProfileManager : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Slot1() = 0;
    virtual HRESULT STDMETHODCALLTYPE Slot2() = 0;
    virtual HRESULT STDMETHODCALLTYPE Slot3() = 0;
    virtual HRESULT STDMETHODCALLTYPE Slot4() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ProfileDirectory(BSTR* folder) = 0;
};

// Loads with the runtime's profile manager, falling back to ours when the
// runtime is missing or refuses the text.
HRESULT LoadWithManagers(LPCWSTR text, IWMProfile** profile)
{
    HRESULT hr = E_FAIL;
    if (g_createProfileManager) {
        IWMProfileManager* manager = NULL;
        hr = g_createProfileManager(&manager);
        if (SUCCEEDED(hr) && manager) {
            IWMProfileManager2* manager2 = NULL;
            if (SUCCEEDED(manager->QueryInterface(IID_IWMProfileManager2, (void**)&manager2))) {
                manager2->SetSystemProfileVersion(WMT_VER_7_0);
                manager2->Release();
            }
            hr = manager->LoadProfileByData(text, profile);
            manager->Release();
            if (SUCCEEDED(hr) && *profile)
                return hr;
            *profile = NULL;
        }
    }
    IWMProfileManager* ours = NULL;
    hr = CreateWmProfileManager(&ours);
    if (FAILED(hr))
        return hr;
    IWMProfileManager2* ours2 = NULL;
    if (SUCCEEDED(ours->QueryInterface(IID_IWMProfileManager2, (void**)&ours2))) {
        ours2->SetSystemProfileVersion(WMT_VER_7_0);
        ours2->Release();
    }
    hr = ours->LoadProfileByData(text, profile);
    ours->Release();
    return hr;
}

// The bytes of a profile file or resource as wide text: UTF-16 when it
// starts with a byte-order mark (or looks like UTF-16), else the ANSI code
// page.
std::wstring ProfileText(const BYTE* data, size_t size)
{
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE)
        return std::wstring((const WCHAR*)(data + 2), (size - 2) / 2);
    if (size >= 2 && data[1] == 0 && data[0] != 0)
        return std::wstring((const WCHAR*)data, size / 2);
    if (size == 0 || size > 0x7FFFFFFF)
        return std::wstring();
    int n = ::MultiByteToWideChar(CP_ACP, 0, (const char*)data, (int)size, NULL, 0);
    std::wstring text(n > 0 ? n : 0, L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_ACP, 0, (const char*)data, (int)size, &text[0], n);
    return text;
}

const DWORD kMaxProfileFile = 1 << 20;

}  // namespace

BOOL LoadWmvCore()
{
    if (!g_wmvcore)
        g_wmvcore = ::LoadLibraryW(L"wmvcore.dll");
    if (g_wmvcore && !g_createProfileManager)
        g_createProfileManager = (CreateProfileManagerFn)(void*)::GetProcAddress(g_wmvcore, "WMCreateProfileManager");
    if (g_createProfileManager)
        return TRUE;
    if (g_wmvcore)
        ::FreeLibrary(g_wmvcore);
    g_wmvcore = NULL;
    return FALSE;
}

void UnloadWmvCore()
{
    g_createProfileManager = NULL;
    if (g_wmvcore)
        ::FreeLibrary(g_wmvcore);
    g_wmvcore = NULL;
}

BOOL IsWmvCoreLoaded() { return g_createProfileManager != NULL; }

HRESULT LoadProfileFromResource(IWMProfile** profile, WORD resourceId, HMODULE module)
{
    if (!profile || !resourceId)
        return E_FAIL;
    *profile = NULL;
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(resourceId), L"PRX");
    if (!found)
        return E_FAIL;
    HGLOBAL loaded = ::LoadResource(module, found);
    const BYTE* data = loaded ? (const BYTE*)::LockResource(loaded) : NULL;
    DWORD size = ::SizeofResource(module, found);
    if (!data || !size || size > kMaxProfileFile)
        return E_FAIL;
    const std::wstring text = ProfileText(data, size);
    return LoadWithManagers(text.c_str(), profile);
}

HRESULT LoadProfileFromText(IWMProfile** profile, LPCWSTR text)
{
    if (!profile || !text)
        return E_POINTER;
    *profile = NULL;
    const BOOL loadedHere = !IsWmvCoreLoaded() && LoadWmvCore();
    HRESULT hr = LoadWithManagers(text, profile);
    if (loadedHere)
        UnloadWmvCore();
    return hr;
}

HRESULT GetDefaultProfileFolder(std::wstring* folder)
{
    if (!folder)
        return E_POINTER;
    folder->clear();
    IEncoderProfileManager* manager = NULL;
    HRESULT hr = ::CoCreateInstance(kEncoderProfileManager, NULL, CLSCTX_INPROC_SERVER, kEncoderProfileManagerIid,
                                    (void**)&manager);
    if (FAILED(hr))
        return hr;
    if (!manager)
        return E_FAIL;
    BSTR path = NULL;
    hr = manager->get_ProfileDirectory(&path);
    manager->Release();
    if (SUCCEEDED(hr) && path)
        *folder = path;
    ::SysFreeString(path);
    return SUCCEEDED(hr) && folder->empty() ? E_FAIL : hr;
}

HRESULT ReadPrxProfiles(LPCWSTR name, BOOL useFolder, IWMProfile** profile, LPCWSTR folder)
{
    if (!profile)
        return E_POINTER;
    *profile = NULL;
    if (!name)
        return E_INVALIDARG;
    std::wstring dir;
    if (useFolder)
        dir = folder ? folder : L"";
    else if (FAILED(GetDefaultProfileFolder(&dir)))
        dir.clear();
    if (dir.empty())
        return E_FAIL;
    if (dir.back() != L'\\')
        dir += L'\\';
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((dir + L"*.prx").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return E_FAIL;
    HRESULT result = E_FAIL;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        HANDLE file = ::CreateFileW((dir + found.cFileName).c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        DWORD size = ::GetFileSize(file, NULL);
        HGLOBAL buffer = NULL;
        if (size != INVALID_FILE_SIZE && size > 0 && size <= kMaxProfileFile)
            buffer = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size + sizeof(WCHAR));
        BYTE* bytes = buffer ? (BYTE*)::GlobalLock(buffer) : NULL;
        DWORD got = 0;
        if (bytes && ::ReadFile(file, bytes, size, &got, NULL) && got == size) {
            const std::wstring text = ProfileText(bytes, size);
            IWMProfile* candidate = NULL;
            if (SUCCEEDED(LoadWithManagers(text.c_str(), &candidate)) && candidate) {
                DWORD length = 0;
                std::vector<WCHAR> profileName;
                if (SUCCEEDED(candidate->GetName(NULL, &length)) && length > 0 && length < 4096) {
                    profileName.resize(length);
                    if (SUCCEEDED(candidate->GetName(profileName.data(), &length)) &&
                        ::lstrcmpiW(profileName.data(), name) == 0) {
                        *profile = candidate;
                        candidate = NULL;
                        result = S_OK;
                    }
                }
                if (candidate)
                    candidate->Release();
            }
        }
        if (bytes)
            ::GlobalUnlock(buffer);
        if (buffer)
            ::GlobalFree(buffer);
        ::CloseHandle(file);
    } while (result != S_OK && ::FindNextFileW(search, &found));
    ::FindClose(search);
    return result;
}
