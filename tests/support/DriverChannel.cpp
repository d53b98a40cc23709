#include "DriverChannel.h"

#include "capdriver/LiveOutputHeader.h"

#include <shlwapi.h>

#include <string.h>

namespace drivertest {

const wchar_t kSettingsKey[] = L"Software\\Kestravon\\Skorvale Studio\\1.0\\Skorvale Recorder\\1.0";
const wchar_t kSettingsSubkey[] =
    L"Software\\Kestravon\\Skorvale Studio\\1.0\\Skorvale Recorder\\1.0\\Live Configuration";

std::wstring WindowsPathOf(const char* unixPath)
{
    std::wstring out = L"Z:";
    for (const char* p = unixPath; *p; ++p)
        out += (*p == '/') ? L'\\' : static_cast<wchar_t>(*p);
    return out;
}

std::wstring DriverPath() { return WindowsPathOf(ZENTIVO_TEST_DLL); }

void DeleteSettingsSubkey()
{
    SHDeleteKeyW(HKEY_CURRENT_USER, kSettingsSubkey);
}

bool SettingsSubkeyExists()
{
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsSubkey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void StoreSettings(std::initializer_list<Setting> values)
{
    DeleteSettingsSubkey();
    HKEY key = NULL;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsSubkey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) !=
        ERROR_SUCCESS)
        return;
    for (const Setting& s : values)
        RegSetValueExW(key, s.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&s.value), sizeof(s.value));
    RegCloseKey(key);
}

void StoreRawSetting(const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    HKEY key = NULL;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsSubkey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

bool ReadSetting(const wchar_t* name, DWORD* value)
{
    DWORD size = sizeof(*value);
    DWORD type = 0;
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsSubkey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    const LONG result = RegQueryValueExW(key, name, NULL, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_DWORD;
}

BITMAPINFOHEADER MakeFormat(LONG width, LONG height, WORD bitCount)
{
    BITMAPINFOHEADER bi;
    ZeroMemory(&bi, sizeof(bi));
    bi.biSize = sizeof(bi);
    bi.biWidth = width;
    bi.biHeight = height;
    bi.biPlanes = 1;
    bi.biBitCount = bitCount;
    bi.biCompression = BI_RGB;
    return bi;
}

DWORD FrameBytes(LONG width, LONG height, WORD bitCount)
{
    return ((((bitCount * width) + 31) >> 3) & ~3) * height;
}

bool LiveHeaderExists()
{
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, ZENTIVO_LIVE_HEADER_NAME);
    if (!mapping)
        return false;
    CloseHandle(mapping);
    return true;
}

DriverChannel::DriverChannel(DWORD channelType) : m_driver(NULL), m_streaming(false), m_doneCount(0)
{
    ZeroMemory(&m_parms, sizeof(m_parms));
    m_parms.dwSize = sizeof(m_parms);
    m_parms.fccType = ZENTIVO_FCC_VCAP;
    m_parms.dwVersion = ZENTIVO_VIDEO_API_VERSION;
    m_parms.dwFlags = channelType;
    m_parms.dwError = 0xABCD;
    m_driver = OpenDriver(DriverPath().c_str(), NULL, reinterpret_cast<LPARAM>(&m_parms));
}

DriverChannel::~DriverChannel()
{
    Close();
}

BOOL DriverChannel::Close()
{
    EndStream();
    if (!m_driver)
        return FALSE;
    const LRESULT result = CloseDriver(m_driver, 0, 0);
    m_driver = NULL;
    return result != 0;
}

LRESULT DriverChannel::Send(UINT msg, LPARAM lParam1, LPARAM lParam2) const
{
    return SendDriverMessage(m_driver, msg, lParam1, lParam2);
}

LRESULT DriverChannel::Configure(UINT msg, DWORD flags, void* data, DWORD size, DWORD* returned) const
{
    VIDEOCONFIGPARMS parms;
    ZeroMemory(&parms, sizeof(parms));
    parms.lpdwReturn = returned;
    parms.lpData1 = data;
    parms.dwSize1 = size;
    return Send(msg, flags, reinterpret_cast<LPARAM>(&parms));
}

LRESULT DriverChannel::SetFormat(LONG width, LONG height, WORD bitCount) const
{
    BITMAPINFOHEADER bi = MakeFormat(width, height, bitCount);
    return Configure(DVM_FORMAT, VIDEO_CONFIGURE_SET, &bi, sizeof(bi));
}

BITMAPINFOHEADER DriverChannel::Format() const
{
    BITMAPINFOHEADER bi;
    ZeroMemory(&bi, sizeof(bi));
    Configure(DVM_FORMAT, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT, &bi, sizeof(bi));
    return bi;
}

LRESULT DriverChannel::GrabFrame(std::vector<BYTE>* frame, VIDEOHDR* header) const
{
    VIDEOHDR local;
    VIDEOHDR* vh = header ? header : &local;
    ZeroMemory(vh, sizeof(*vh));
    if (frame->empty())
        frame->assign(Format().biSizeImage, 0xCD);
    vh->lpData = frame->data();
    vh->dwBufferLength = static_cast<DWORD>(frame->size());
    return Send(DVM_FRAME, reinterpret_cast<LPARAM>(vh), sizeof(*vh));
}

void CALLBACK DriverChannel::StreamCallback(HDRVR, UINT msg, DWORD_PTR instance, DWORD_PTR, DWORD_PTR)
{
    if (msg == MM_DRVM_DATA)
        InterlockedIncrement(&reinterpret_cast<DriverChannel*>(instance)->m_doneCount);
}

LRESULT DriverChannel::StartStream(int count, DWORD microSecPerFrame)
{
    VIDEO_STREAM_INIT_PARMS init;
    ZeroMemory(&init, sizeof(init));
    init.dwMicroSecPerFrame = microSecPerFrame;
    init.dwCallback = reinterpret_cast<DWORD_PTR>(&StreamCallback);
    init.dwCallbackInst = reinterpret_cast<DWORD_PTR>(this);
    init.dwFlags = CALLBACK_FUNCTION;
    init.hVideo = 0x4321;
    LRESULT result = Send(DVM_STREAM_INIT, reinterpret_cast<LPARAM>(&init), sizeof(init));
    if (result != DV_ERR_OK)
        return result;
    m_streaming = true;
    const DWORD size = Format().biSizeImage;
    for (int i = 0; i < count; ++i) {
        std::unique_ptr<StreamBuffer> buffer(new StreamBuffer);
        buffer->data.assign(size, 0xCD);
        ZeroMemory(&buffer->header, sizeof(buffer->header));
        buffer->header.lpData = buffer->data.data();
        buffer->header.dwBufferLength = size;
        buffer->header.dwFlags = VHDR_PREPARED;
        result = Send(DVM_STREAM_ADDBUFFER, reinterpret_cast<LPARAM>(&buffer->header), sizeof(buffer->header));
        if (result != DV_ERR_OK)
            return result;
        m_buffers.push_back(std::move(buffer));
    }
    return Send(DVM_STREAM_START);
}

std::vector<std::vector<BYTE>> DriverChannel::Collect()
{
    std::vector<std::vector<BYTE>> pictures;
    for (std::unique_ptr<StreamBuffer>& buffer : m_buffers) {
        const DWORD flags = *reinterpret_cast<volatile DWORD*>(&buffer->header.dwFlags);
        if (!(flags & VHDR_DONE))
            continue;
        const DWORD used = buffer->header.dwBytesUsed;
        bool black = true;
        for (DWORD i = 0; i < used && black; ++i)
            black = buffer->data[i] == 0;
        if (used > 0 && !black)
            pictures.emplace_back(buffer->data.begin(), buffer->data.begin() + used);
        Send(DVM_STREAM_ADDBUFFER, reinterpret_cast<LPARAM>(&buffer->header), sizeof(buffer->header));
    }
    return pictures;
}

void DriverChannel::EndStream()
{
    if (!m_streaming)
        return;
    Send(DVM_STREAM_STOP);
    Send(DVM_STREAM_RESET);
    Send(DVM_STREAM_FINI);
    m_streaming = false;
    m_buffers.clear();
}

}  // namespace drivertest
