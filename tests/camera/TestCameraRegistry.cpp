#include "tests/camera/TestCameraRegistry.h"
#include "tests/camera/TestCameraIds.h"

#include <dshow.h>
#include <string>

namespace {

struct CameraEntry {
    const CLSID* clsid;
    LPCWSTR name;
    int bit;
};
const CameraEntry kCameras[] = {
    {&CLSID_TestCameraA, TEST_CAMERA_A_NAME, kCameraA},
    {&CLSID_TestCameraB, TEST_CAMERA_B_NAME, kCameraB},
    {&CLSID_TestCameraDummy, TEST_CAMERA_DUMMY_NAME, kCameraDummy},
};

HRESULT RegisterClass(const CLSID& clsid, LPCWSTR name, LPCWSTR dllPath)
{
    WCHAR guid[64];
    StringFromGUID2(clsid, guid, 64);
    std::wstring base = std::wstring(L"CLSID\\") + guid;
    std::wstring path = base + L"\\InprocServer32";
    HKEY key = NULL;
    LONG err = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, NULL, 0, KEY_WRITE, NULL, &key, NULL);
    if (err != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(err);
    RegSetValueExW(key, NULL, 0, REG_SZ, (const BYTE*)dllPath, (DWORD)(lstrlenW(dllPath) + 1) * sizeof(WCHAR));
    static const WCHAR kBoth[] = L"Both";
    RegSetValueExW(key, L"ThreadingModel", 0, REG_SZ, (const BYTE*)kBoth, sizeof(kBoth));
    RegCloseKey(key);
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, base.c_str(), 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
        RegSetValueExW(key, NULL, 0, REG_SZ, (const BYTE*)name, (DWORD)(lstrlenW(name) + 1) * sizeof(WCHAR));
        RegCloseKey(key);
    }
    return S_OK;
}

IFilterMapper2* Mapper()
{
    IFilterMapper2* mapper = NULL;
    CoCreateInstance(CLSID_FilterMapper2, NULL, CLSCTX_INPROC_SERVER, IID_IFilterMapper2, (void**)&mapper);
    return mapper;
}

}  // namespace

HRESULT RegisterTestCameras(LPCWSTR dllPath, int set)
{
    IFilterMapper2* mapper = Mapper();
    if (!mapper)
        return E_FAIL;
    // The capture pin's format page, which any camera of the DLL shows.
    HRESULT result = RegisterClass(CLSID_TestCameraFormatPage, TEST_CAMERA_FORMAT_PAGE_NAME, dllPath);
    for (const CameraEntry& c : kCameras) {
        mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, c.name, *c.clsid);
        if (!(set & c.bit))
            continue;
        HRESULT hr = RegisterClass(*c.clsid, c.name, dllPath);
        REGPINTYPES type = {&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24};
        REGFILTERPINS2 pin;
        memset(&pin, 0, sizeof(pin));
        pin.dwFlags = REG_PINFLAG_B_OUTPUT;
        pin.cInstances = 1;
        pin.nMediaTypes = 1;
        pin.lpMediaType = &type;
        pin.clsPinCategory = &PIN_CATEGORY_CAPTURE;
        REGFILTER2 rf;
        memset(&rf, 0, sizeof(rf));
        rf.dwVersion = 2;
        rf.dwMerit = MERIT_DO_NOT_USE;
        rf.cPins2 = 1;
        rf.rgPins2 = &pin;
        if (SUCCEEDED(hr))
            hr = mapper->RegisterFilter(*c.clsid, c.name, NULL, &CLSID_VideoInputDeviceCategory, c.name, &rf);
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    }
    mapper->Release();
    return result;
}

void UnregisterTestCameras()
{
    IFilterMapper2* mapper = Mapper();
    if (!mapper)
        return;
    for (const CameraEntry& c : kCameras)
        mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, c.name, *c.clsid);
    mapper->Release();
}

void SetDummyCameraFailure(DWORD failAt)
{
    HKEY key = NULL;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, TEST_CAMERA_KEY, 0, NULL, 0, KEY_WRITE, NULL, &key, NULL) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, "DummyFailAt", 0, REG_DWORD, (const BYTE*)&failAt, sizeof(failAt));
    RegCloseKey(key);
}

const wchar_t* TestCameraDllPath()
{
    static WCHAR path[MAX_PATH] = {0};
    if (!path[0]) {
        path[0] = L'Z';
        path[1] = L':';
        size_t n = 2;
        for (const char* p = TEST_CAMERA_DLL; *p && n + 1 < MAX_PATH; ++p)
            path[n++] = *p == '/' ? L'\\' : (WCHAR)*p;
        path[n] = 0;
    }
    return path;
}
