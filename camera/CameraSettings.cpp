#include "camera/CameraSettings.h"
#include "camera/CameraDevices.h"
#include "resources/ids_finishing.h"
#include "XRVDirectShow/GraphBuilderCallback.h"

#include <dshow.h>
#include <dvdmedia.h>
#include <string.h>
#include <uuids.h>

namespace {

const char kProductPath[] = "Kestravon\\Skorvale Studio\\3.0";
const char kCameraKey[] = "Camera Video Settings";

void PutDword(BYTE* at, DWORD value) { memcpy(at, &value, 4); }
DWORD GetDword(const BYTE* at)
{
    DWORD value;
    memcpy(&value, at, 4);
    return value;
}

// An open registry key, closed on every return.
struct Key {
    HKEY h = NULL;
    ~Key()
    {
        if (h)
            ::RegCloseKey(h);
    }
};

BOOL OpenKey(const CString& path, Key* key)
{
    DWORD disposition = 0;
    return ::RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, NULL, 0, KEY_READ | KEY_WRITE, NULL, &key->h,
                             &disposition) == ERROR_SUCCESS;
}

// A REG_DWORD value, or FALSE when missing or of another type.
BOOL ReadDword(HKEY key, LPCSTR name, DWORD* value)
{
    DWORD type = 0, size = sizeof(DWORD), data = 0;
    if (::RegQueryValueExA(key, name, NULL, &type, (BYTE*)&data, &size) != ERROR_SUCCESS || type != REG_DWORD ||
        size != sizeof(DWORD))
        return FALSE;
    *value = data;
    return TRUE;
}

// The size and type of a value without reading it.
BOOL QueryValue(HKEY key, LPCSTR name, DWORD* type, DWORD* size)
{
    return ::RegQueryValueExA(key, name, NULL, type, NULL, size) == ERROR_SUCCESS;
}

// A REG_SZ value of at most 260 bytes, always terminated.
BOOL ReadString(HKEY key, LPCSTR name, CString* value)
{
    char buffer[261] = {0};
    DWORD type = 0, size = 260;
    if (::RegQueryValueExA(key, name, NULL, &type, (BYTE*)buffer, &size) != ERROR_SUCCESS || type != REG_SZ)
        return FALSE;
    buffer[size < 260 ? size : 260] = 0;
    *value = buffer;
    return TRUE;
}

void WriteDword(HKEY key, LPCSTR name, DWORD value)
{
    ::RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof(value));
}

void WriteString(HKEY key, LPCSTR name, const CString& value)
{
    ::RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)(LPCSTR)value, value.GetLength() + 1);
}

// The smallest format block that a video format type needs.
DWORD MinimumFormatSize(const GUID& formatType)
{
    if (formatType == FORMAT_VideoInfo)
        return sizeof(VIDEOINFOHEADER);
    if (formatType == FORMAT_VideoInfo2)
        return sizeof(VIDEOINFOHEADER2);
    return 0;
}

}  // namespace

void PackStoredMediaType(const AM_MEDIA_TYPE& mt, BYTE out[kStoredMediaTypeSize])
{
    memset(out, 0, kStoredMediaTypeSize);
    memcpy(out + 0, &mt.majortype, 16);
    memcpy(out + 16, &mt.subtype, 16);
    PutDword(out + 32, mt.bFixedSizeSamples ? 1 : 0);
    PutDword(out + 36, mt.bTemporalCompression ? 1 : 0);
    PutDword(out + 40, mt.lSampleSize);
    memcpy(out + 44, &mt.formattype, 16);
    // 60: pUnk, 68: the format block; process addresses, stored as 0.
    PutDword(out + 64, mt.cbFormat);
}

void UnpackStoredMediaType(const BYTE in[kStoredMediaTypeSize], AM_MEDIA_TYPE* mt)
{
    memset(mt, 0, sizeof(*mt));
    memcpy(&mt->majortype, in + 0, 16);
    memcpy(&mt->subtype, in + 16, 16);
    mt->bFixedSizeSamples = GetDword(in + 32);
    mt->bTemporalCompression = GetDword(in + 36);
    mt->lSampleSize = GetDword(in + 40);
    memcpy(&mt->formattype, in + 44, 16);
    mt->cbFormat = GetDword(in + 64);
}

CameraSettings::CameraSettings(LPCSTR version, LPCSTR keyFormat, LPCSTR section)
{
    InitEmpty();
    m_version = version;
    m_keyFormat = keyFormat;
    m_section = section;
    SetDefaultMediaType();
}

CameraSettings::CameraSettings(const CameraSettings* source)
{
    InitEmpty();
    if (source && source != this)
        *this = *source;
}

void CameraSettings::InitEmpty()
{
    m_useDefaultCodecSettings = TRUE;
    m_useKeyFrameRate = TRUE;
    m_keyFrameRate = 15;
    m_useDataRate = FALSE;
    m_dataRate = 0;
    m_quality = 75;
    m_codecState = NULL;
    m_codecStateSize = 0;
    memset(&m_mediaType, 0, sizeof(m_mediaType));
    m_recordAudio = FALSE;
    m_pushSourceAudio = FALSE;
    m_codecName = DefaultCodecName();
    memset(&m_audioFormat, 0xFF, sizeof(m_audioFormat));
    m_deviceListBuilt = FALSE;
    m_codecListBuilt = FALSE;
    m_listCompressors = FALSE;
    m_deviceMoniker = NULL;
    m_codecMoniker = NULL;
}

CameraSettings::~CameraSettings()
{
    delete[] m_codecState;
    if (m_deviceMoniker)
        m_deviceMoniker->Release();
    if (m_codecMoniker)
        m_codecMoniker->Release();
    FreeMediaType();
}

void CameraSettings::FreeMediaType()
{
    if (m_mediaType.pbFormat)
        ::CoTaskMemFree(m_mediaType.pbFormat);
    m_mediaType.pbFormat = NULL;
    m_mediaType.cbFormat = 0;
    if (m_mediaType.pUnk)
        m_mediaType.pUnk->Release();
    m_mediaType.pUnk = NULL;
}

CString CameraSettings::DefaultCodecName()
{
    CString name;
    if (!name.LoadString(IDS_DEFAULT_CODEC))
        name = "默认编码";
    return name;
}

BOOL CameraSettings::IsDefaultCodecName(LPCSTR name)
{
    return name && DefaultCodecName().CompareNoCase(name) == 0;
}

void CameraSettings::SetDefaultMediaType()
{
    VIDEOINFOHEADER vih;
    memset(&vih, 0, sizeof(vih));
    vih.AvgTimePerFrame = 666667;
    vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih.bmiHeader.biWidth = 320;
    vih.bmiHeader.biHeight = 240;
    vih.bmiHeader.biPlanes = 1;
    vih.bmiHeader.biBitCount = 24;
    vih.bmiHeader.biSizeImage = 230400;
    AM_MEDIA_TYPE mt;
    memset(&mt, 0, sizeof(mt));
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_RGB24;
    mt.bFixedSizeSamples = TRUE;
    mt.bTemporalCompression = FALSE;
    const LONG height = vih.bmiHeader.biHeight < 0 ? -vih.bmiHeader.biHeight : vih.bmiHeader.biHeight;
    mt.lSampleSize = ((vih.bmiHeader.biWidth * vih.bmiHeader.biBitCount + 31) / 8 & ~3) * height;
    mt.formattype = FORMAT_VideoInfo;
    mt.cbFormat = sizeof(vih);
    mt.pbFormat = (BYTE*)&vih;
    SetMediaType(mt);
}

void CameraSettings::SetMediaType(const AM_MEDIA_TYPE& mt)
{
    BYTE* block = NULL;
    if (mt.cbFormat && mt.pbFormat) {
        block = (BYTE*)::CoTaskMemAlloc(mt.cbFormat);
        if (block)
            memcpy(block, mt.pbFormat, mt.cbFormat);
    }
    IUnknown* unk = mt.pUnk;
    if (unk)
        unk->AddRef();
    FreeMediaType();
    m_mediaType = mt;
    m_mediaType.pUnk = unk;
    m_mediaType.pbFormat = block;
    m_mediaType.cbFormat = block ? mt.cbFormat : 0;
}

void CameraSettings::SetCodecState(const BYTE* state, int size)
{
    delete[] m_codecState;
    m_codecState = NULL;
    m_codecStateSize = 0;
    if (state && size > 0) {
        m_codecState = new BYTE[size];
        memcpy(m_codecState, state, size);
        m_codecStateSize = size;
    }
}

void CameraSettings::ResetCompressorSettings()
{
    m_useDefaultCodecSettings = TRUE;
    m_useKeyFrameRate = TRUE;
    m_keyFrameRate = 15;
    m_useDataRate = FALSE;
    m_dataRate = 0;
    m_quality = 75;
    SetCodecState(NULL, 0);
}

CameraSettings& CameraSettings::operator=(const CameraSettings& other)
{
    if (&other == this)
        return *this;
    if (m_deviceMoniker)
        m_deviceMoniker->Release();
    if (m_codecMoniker)
        m_codecMoniker->Release();
    m_deviceMoniker = NULL;
    m_codecMoniker = NULL;
    m_codecName = other.m_codecName;
    m_deviceName = other.m_deviceName;
    m_recordAudio = other.m_recordAudio;
    m_pushSourceAudio = other.m_pushSourceAudio;
    m_audioFormat = other.m_audioFormat;
    SelectDevice(other.m_deviceName);
    SetMediaType(other.m_mediaType);
    SelectCodec(other.m_codecName);
    m_useDefaultCodecSettings = other.m_useDefaultCodecSettings;
    m_useKeyFrameRate = other.m_useKeyFrameRate;
    m_keyFrameRate = other.m_keyFrameRate;
    m_useDataRate = other.m_useDataRate;
    m_dataRate = other.m_dataRate;
    m_quality = other.m_quality;
    m_version = other.m_version;
    m_keyFormat = other.m_keyFormat;
    m_section = other.m_section;
    m_deviceListBuilt = other.m_deviceListBuilt;
    m_codecListBuilt = other.m_codecListBuilt;
    m_listCompressors = other.m_listCompressors;
    // The lists are replaced, not appended to: a record assigned twice would
    // otherwise show every device twice.
    m_deviceNames.RemoveAll();
    m_codecNames.RemoveAll();
    for (INT_PTR i = 0; i < other.m_deviceNames.GetSize(); ++i)
        m_deviceNames.Add(other.m_deviceNames[i]);
    for (INT_PTR i = 0; i < other.m_codecNames.GetSize(); ++i)
        m_codecNames.Add(other.m_codecNames[i]);
    SetCodecState(other.m_codecStateSize > 0 ? other.m_codecState : NULL, other.m_codecStateSize);
    return *this;
}

BOOL CameraSettings::SelectDevice(LPCSTR name)
{
    if (!name)
        return FALSE;
    IMoniker* moniker = m_deviceMoniker;
    if (moniker)
        moniker->AddRef();
    CString found = m_deviceName;
    if (!FindDeviceMoniker(CLSID_VideoInputDeviceCategory, &moniker, &found, name)) {
        if (moniker)
            moniker->Release();
        return FALSE;
    }
    if (m_deviceMoniker)
        m_deviceMoniker->Release();
    m_deviceMoniker = moniker;
    m_deviceName = name;
    return TRUE;
}

BOOL CameraSettings::SelectCodec(LPCSTR name)
{
    if (!name)
        return FALSE;
    if (IsDefaultCodecName(name)) {
        if (m_codecMoniker)
            m_codecMoniker->Release();
        m_codecMoniker = NULL;
        m_codecName = name;
        return TRUE;
    }
    // Our own compressors are listed in the category once registered.
    EnsureOwnCompressorsRegistered();
    IMoniker* moniker = m_codecMoniker;
    if (moniker)
        moniker->AddRef();
    CString found = m_codecName;
    if (!FindDeviceMoniker(CLSID_VideoCompressorCategory, &moniker, &found, name)) {
        if (moniker)
            moniker->Release();
        return FALSE;
    }
    if (m_codecMoniker)
        m_codecMoniker->Release();
    m_codecMoniker = moniker;
    m_codecName = name;
    ResetCompressorSettings();
    return TRUE;
}

CString CameraSettings::KeyPath() const
{
    CString path;
    path.Format(m_keyFormat, kProductPath, (LPCSTR)m_section, (LPCSTR)m_version);
    path += "\\";
    path += kCameraKey;
    return path;
}

BOOL CameraSettings::Save()
{
    Key key;
    if (!OpenKey(KeyPath(), &key))
        return FALSE;
    WriteString(key.h, "DeviceFriendlyName", m_deviceName);
    BYTE header[kStoredMediaTypeSize];
    PackStoredMediaType(m_mediaType, header);
    ::RegSetValueExA(key.h, "DeviceMediaType", 0, REG_BINARY, header, sizeof(header));
    ::RegSetValueExA(key.h, "DeviceFormatBlock", 0, REG_BINARY, m_mediaType.pbFormat,
                     m_mediaType.pbFormat ? m_mediaType.cbFormat : 0);
    WriteString(key.h, "CodecFriendlyName", m_codecName);
    WriteDword(key.h, "CodecQuality", m_quality);
    WriteDword(key.h, "UseCodecBitRate", m_useDataRate);
    WriteDword(key.h, "CodecBitRate", m_dataRate);
    WriteDword(key.h, "UseCodecKeyFrameRate", m_useKeyFrameRate);
    WriteDword(key.h, "CodecKeyFrameRate", m_keyFrameRate);
    WriteDword(key.h, "UseDefaultCodecSettings", m_useDefaultCodecSettings);
    ::RegSetValueExA(key.h, "CodecState", 0, REG_BINARY, m_codecState, m_codecState ? m_codecStateSize : 0);
    WriteDword(key.h, "CodecStateSize", m_codecState ? m_codecStateSize : 0);
    return TRUE;
}

BOOL CameraSettings::Load()
{
    Key key;
    if (!OpenKey(KeyPath(), &key))
        return FALSE;

    CString device;
    if (ReadString(key.h, "DeviceFriendlyName", &device) && !device.IsEmpty()) {
        SelectDevice(device);
    } else {
        if (!m_deviceListBuilt) {
            m_deviceNames.RemoveAll();
            ListDeviceNames(&m_deviceNames, CLSID_VideoInputDeviceCategory);
            m_deviceListBuilt = TRUE;
        }
        if (m_deviceNames.GetSize() > 0)
            SelectDevice(m_deviceNames[0]);
        else
            m_deviceName.Empty();
    }

    // The stored header's pointer fields are never used: the block comes from
    // its own value, whose real size must be the header's size, and a video
    // format must be large enough for its header to be read.
    BYTE header[kStoredMediaTypeSize];
    DWORD type = 0, size = sizeof(header);
    if (::RegQueryValueExA(key.h, "DeviceMediaType", NULL, &type, header, &size) == ERROR_SUCCESS &&
        type == REG_BINARY && size == sizeof(header)) {
        AM_MEDIA_TYPE mt;
        UnpackStoredMediaType(header, &mt);
        DWORD blockType = 0, blockSize = 0;
        const BOOL blockThere = QueryValue(key.h, "DeviceFormatBlock", &blockType, &blockSize);
        if (!blockThere) {
            mt.cbFormat = 0;
            SetMediaType(mt);
        } else if (blockType == REG_BINARY && blockSize == mt.cbFormat && mt.cbFormat > 0 &&
                   mt.cbFormat <= kMaxStoredFormatBlock && mt.cbFormat >= MinimumFormatSize(mt.formattype)) {
            BYTE* block = (BYTE*)::CoTaskMemAlloc(mt.cbFormat);
            DWORD read = mt.cbFormat;
            if (block && ::RegQueryValueExA(key.h, "DeviceFormatBlock", NULL, &blockType, block, &read) ==
                                 ERROR_SUCCESS && read == mt.cbFormat) {
                mt.pbFormat = block;
                SetMediaType(mt);
            } else {
                mt.cbFormat = 0;
                SetMediaType(mt);
            }
            if (block)
                ::CoTaskMemFree(block);
        } else {
            SetDefaultMediaType();
        }
    } else {
        SetDefaultMediaType();
    }

    CString codec;
    if (!ReadString(key.h, "CodecFriendlyName", &codec) || !SelectCodec(codec))
        SelectCodec(DefaultCodecName());

    DWORD value = 0;
    m_quality = ReadDword(key.h, "CodecQuality", &value) ? (int)value : 75;
    m_useDataRate = ReadDword(key.h, "UseCodecBitRate", &value) ? (value != 0) : FALSE;
    m_dataRate = ReadDword(key.h, "CodecBitRate", &value) ? (int)value : 0;
    m_useKeyFrameRate = ReadDword(key.h, "UseCodecKeyFrameRate", &value) ? (value != 0) : TRUE;
    m_keyFrameRate = ReadDword(key.h, "CodecKeyFrameRate", &value) ? (int)value : 15;
    m_useDefaultCodecSettings = ReadDword(key.h, "UseDefaultCodecSettings", &value) ? (value != 0) : TRUE;

    // The state is taken only when its stored size is the value's real size.
    SetCodecState(NULL, 0);
    DWORD stateSize = 0;
    if (ReadDword(key.h, "CodecStateSize", &stateSize) && stateSize > 0 && stateSize <= kMaxStoredFormatBlock) {
        DWORD stateType = 0, realSize = 0;
        if (QueryValue(key.h, "CodecState", &stateType, &realSize) && stateType == REG_BINARY &&
            realSize == stateSize) {
            BYTE* state = new BYTE[stateSize];
            DWORD read = stateSize;
            if (::RegQueryValueExA(key.h, "CodecState", NULL, &stateType, state, &read) == ERROR_SUCCESS &&
                read == stateSize) {
                m_codecState = state;
                m_codecStateSize = (int)stateSize;
            } else {
                delete[] state;
            }
        }
    }
    return TRUE;
}
