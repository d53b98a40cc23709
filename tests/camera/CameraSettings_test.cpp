// The camera settings record: defaults, the registry round trip, the stored
// 72-byte media-type header, hostile stored values and assignment.
#include "camera/CameraDevices.h"
#include "camera/CameraSettings.h"
#include "tests/camera/CameraTestSupport.h"
#include "tests/camera/TestCameraIds.h"

#include <shlwapi.h>

#include <dshow.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

CString Narrow(LPCWSTR text) { return CString(CStringW(text)); }

CString KeyPath()
{
    CameraSettings s("3.0", kTestKeyFormat, kTestSection);
    return s.KeyPath();
}

struct RegKey {
    HKEY h = NULL;
    RegKey()
    {
        RegCreateKeyExA(HKEY_CURRENT_USER, KeyPath(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &h, NULL);
    }
    ~RegKey() { RegCloseKey(h); }
    void Set(LPCSTR name, DWORD type, const void* data, DWORD size)
    {
        RegSetValueExA(h, name, 0, type, (const BYTE*)data, size);
    }
    void SetDword(LPCSTR name, DWORD v) { Set(name, REG_DWORD, &v, 4); }
    bool Get(LPCSTR name, DWORD* type, std::vector<BYTE>* data)
    {
        DWORD size = 0;
        if (RegQueryValueExA(h, name, NULL, type, NULL, &size) != ERROR_SUCCESS)
            return false;
        data->resize(size);
        return RegQueryValueExA(h, name, NULL, type, data->empty() ? NULL : data->data(), &size) == ERROR_SUCCESS;
    }
};

const VIDEOINFOHEADER* Vih(const CameraSettings& s)
{
    return s.m_mediaType.formattype == FORMAT_VideoInfo && s.m_mediaType.cbFormat >= sizeof(VIDEOINFOHEADER)
               ? (const VIDEOINFOHEADER*)s.m_mediaType.pbFormat
               : NULL;
}

void ExpectDefaultMediaType(const CameraSettings& s, const char* label)
{
    SCOPED_TRACE(label);
    EXPECT_TRUE(s.m_mediaType.majortype == MEDIATYPE_Video);
    EXPECT_TRUE(s.m_mediaType.subtype == MEDIASUBTYPE_RGB24);
    EXPECT_TRUE(s.m_mediaType.formattype == FORMAT_VideoInfo);
    EXPECT_EQ(TRUE, s.m_mediaType.bFixedSizeSamples);
    EXPECT_EQ(FALSE, s.m_mediaType.bTemporalCompression);
    EXPECT_EQ(230400u, s.m_mediaType.lSampleSize);
    EXPECT_EQ(88u, s.m_mediaType.cbFormat);
    EXPECT_TRUE(s.m_mediaType.pUnk == NULL);
    const VIDEOINFOHEADER* vih = Vih(s);
    ASSERT_TRUE(vih != NULL);
    EXPECT_EQ(666667, vih->AvgTimePerFrame);
    EXPECT_EQ(320, vih->bmiHeader.biWidth);
    EXPECT_EQ(240, vih->bmiHeader.biHeight);
    EXPECT_EQ(24, vih->bmiHeader.biBitCount);
    EXPECT_EQ(1, vih->bmiHeader.biPlanes);
    EXPECT_EQ(40u, vih->bmiHeader.biSize);
    EXPECT_EQ(230400u, vih->bmiHeader.biSizeImage);
}

// A 160x120 VIDEOINFOHEADER media type at 10 frames per second.
std::vector<BYTE> SmallFormat()
{
    std::vector<BYTE> block(sizeof(VIDEOINFOHEADER), 0);
    VIDEOINFOHEADER* vih = (VIDEOINFOHEADER*)block.data();
    vih->AvgTimePerFrame = 1000000;
    vih->bmiHeader.biSize = 40;
    vih->bmiHeader.biWidth = 160;
    vih->bmiHeader.biHeight = 120;
    vih->bmiHeader.biPlanes = 1;
    vih->bmiHeader.biBitCount = 24;
    vih->bmiHeader.biSizeImage = 57600;
    return block;
}

AM_MEDIA_TYPE SmallType(std::vector<BYTE>& block)
{
    AM_MEDIA_TYPE mt;
    memset(&mt, 0, sizeof(mt));
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_RGB24;
    mt.bFixedSizeSamples = TRUE;
    mt.lSampleSize = 57600;
    mt.formattype = FORMAT_VideoInfo;
    mt.cbFormat = (ULONG)block.size();
    mt.pbFormat = block.data();
    return mt;
}

class CameraSettingsTest : public CameraTest {};

TEST_F(CameraSettingsTest, ConstructorGivesTheDefaults)
{
    CameraSettings s("3.0", kTestKeyFormat, kTestSection);
    EXPECT_TRUE(s.m_useDefaultCodecSettings);
    EXPECT_TRUE(s.m_useKeyFrameRate);
    EXPECT_EQ(15, s.m_keyFrameRate);
    EXPECT_FALSE(s.m_useDataRate);
    EXPECT_EQ(0, s.m_dataRate);
    EXPECT_EQ(75, s.m_quality);
    EXPECT_TRUE(s.m_codecState == NULL);
    EXPECT_EQ(0, s.m_codecStateSize);
    EXPECT_STREQ("默认编码", s.m_codecName);
    EXPECT_TRUE(s.m_deviceName.IsEmpty());
    const BYTE* audio = (const BYTE*)&s.m_audioFormat;
    for (size_t i = 0; i < sizeof(WAVEFORMATEX); ++i)
        EXPECT_EQ(0xFF, audio[i]) << "audio format byte " << i;
    ExpectDefaultMediaType(s, "constructor");
    EXPECT_STREQ("Software\\Kestravon\\Skorvale Studio\\3.0\\Vexcap Camera Test\\3.0\\Camera Video Settings", s.KeyPath());
}

TEST_F(CameraSettingsTest, DefaultCodecNameIsComparedWithoutCase)
{
    struct Case {
        const char* name;
        BOOL isDefault;
    } cases[] = {{"默认编码", TRUE}, {"", FALSE}, {"Kestravon Screen Capture Codec", FALSE}, {NULL, FALSE}};
    for (const Case& c : cases)
        EXPECT_EQ(c.isDefault, CameraSettings::IsDefaultCodecName(c.name)) << (c.name ? c.name : "(null)");
    CString upper = CameraSettings::DefaultCodecName();
    EXPECT_TRUE(CameraSettings::IsDefaultCodecName(upper));
}

TEST_F(CameraSettingsTest, DeviceListsLeaveOutOurOwnDriver)
{
    CStringArray names;
    ListDeviceNames(&names, CLSID_VideoInputDeviceCategory);
    bool a = false, b = false;
    for (INT_PTR i = 0; i < names.GetSize(); ++i) {
        EXPECT_STRNE(kOwnCaptureDriverName, names[i]);
        a = a || names[i] == Narrow(TEST_CAMERA_A_NAME);
        b = b || names[i] == Narrow(TEST_CAMERA_B_NAME);
    }
    EXPECT_TRUE(a && b) << "both test cameras listed";
    // The dummy is still found by its name (a stored choice).
    IMoniker* moniker = NULL;
    CString found;
    EXPECT_TRUE(FindDeviceMoniker(CLSID_VideoInputDeviceCategory, &moniker, &found, kOwnCaptureDriverName));
    EXPECT_STREQ(kOwnCaptureDriverName, found);
    ASSERT_TRUE(moniker != NULL);
    // The same device again leaves the held moniker in place.
    IMoniker* held = moniker;
    EXPECT_TRUE(FindDeviceMoniker(CLSID_VideoInputDeviceCategory, &moniker, &found, kOwnCaptureDriverName));
    EXPECT_EQ(held, moniker);
    EXPECT_FALSE(FindDeviceMoniker(CLSID_VideoInputDeviceCategory, &moniker, &found, "No Such Camera"));
    EXPECT_EQ(held, moniker);
    // Names are compared with case.
    CString lower = Narrow(TEST_CAMERA_A_NAME);
    lower.MakeLower();
    EXPECT_FALSE(FindDeviceMoniker(CLSID_VideoInputDeviceCategory, &moniker, &found, lower));
    moniker->Release();
}

TEST_F(CameraSettingsTest, EmptyKeyLoadsDefaultsAndTheFirstCamera)
{
    struct Case {
        int cameras;
        bool expectDevice;
    } cases[] = {{kCamerasAll, true}, {kCameraDummy, false}, {kCamerasNone, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cameras);
        UseCameras(c.cameras);
        CameraSettings s("3.0", kTestKeyFormat, kTestSection);
        ASSERT_TRUE(s.Load());
        CStringArray names;
        ListDeviceNames(&names, CLSID_VideoInputDeviceCategory);
        if (c.expectDevice) {
            ASSERT_GT(names.GetSize(), 0);
            EXPECT_STREQ(names[0], s.m_deviceName);
            EXPECT_TRUE(s.m_deviceMoniker != NULL);
        } else {
            EXPECT_TRUE(s.m_deviceName.IsEmpty());
            EXPECT_TRUE(s.m_deviceMoniker == NULL);
        }
        ExpectDefaultMediaType(s, "empty key");
        EXPECT_STREQ("默认编码", s.m_codecName);
        EXPECT_EQ(75, s.m_quality);
        EXPECT_TRUE(s.m_useKeyFrameRate);
        EXPECT_EQ(15, s.m_keyFrameRate);
        EXPECT_FALSE(s.m_useDataRate);
        EXPECT_EQ(0, s.m_dataRate);
        EXPECT_TRUE(s.m_useDefaultCodecSettings);
        EXPECT_TRUE(s.m_codecState == NULL);
        EXPECT_EQ(0, s.m_codecStateSize);
        ::SHDeleteKeyA(HKEY_CURRENT_USER, kTestSectionKey);
    }
}

TEST_F(CameraSettingsTest, SaveWritesTwelveTypedValuesAndLoadReadsThemBack)
{
    CameraSettings s("3.0", kTestKeyFormat, kTestSection);
    ASSERT_TRUE(s.SelectDevice(Narrow(TEST_CAMERA_B_NAME)));
    std::vector<BYTE> block = SmallFormat();
    s.SetMediaType(SmallType(block));
    s.m_quality = 40;
    s.m_useDataRate = TRUE;
    s.m_dataRate = 300;
    s.m_useKeyFrameRate = FALSE;
    s.m_keyFrameRate = 30;
    s.m_useDefaultCodecSettings = FALSE;
    const BYTE state[5] = {1, 2, 3, 4, 5};
    s.SetCodecState(state, 5);
    ASSERT_TRUE(s.Save());

    RegKey key;
    struct Value {
        const char* name;
        DWORD type;
        DWORD size;
    } values[] = {
        {"DeviceFriendlyName", REG_SZ, (DWORD)wcslen(TEST_CAMERA_B_NAME) + 1},
        {"DeviceMediaType", REG_BINARY, 72},
        {"DeviceFormatBlock", REG_BINARY, 88},
        {"CodecFriendlyName", REG_SZ, (DWORD)strlen("默认编码") + 1},
        {"CodecQuality", REG_DWORD, 4},
        {"UseCodecBitRate", REG_DWORD, 4},
        {"CodecBitRate", REG_DWORD, 4},
        {"UseCodecKeyFrameRate", REG_DWORD, 4},
        {"CodecKeyFrameRate", REG_DWORD, 4},
        {"UseDefaultCodecSettings", REG_DWORD, 4},
        {"CodecState", REG_BINARY, 5},
        {"CodecStateSize", REG_DWORD, 4},
    };
    for (const Value& v : values) {
        DWORD type = 0;
        std::vector<BYTE> data;
        ASSERT_TRUE(key.Get(v.name, &type, &data)) << v.name;
        EXPECT_EQ(v.type, type) << v.name;
        EXPECT_EQ(v.size, data.size()) << v.name;
    }
    // The header: GUIDs at 0 and 16, sample fields at 32..40, format type at
    // 44, pointer fields 0, format size at 64.
    DWORD type = 0;
    std::vector<BYTE> header;
    ASSERT_TRUE(key.Get("DeviceMediaType", &type, &header));
    ASSERT_EQ(72u, header.size());
    EXPECT_EQ(0, memcmp(header.data(), &MEDIATYPE_Video, 16));
    EXPECT_EQ(0, memcmp(header.data() + 16, &MEDIASUBTYPE_RGB24, 16));
    DWORD fields[10];
    memcpy(fields, header.data() + 32, 40);
    EXPECT_EQ(1u, fields[0]);
    EXPECT_EQ(0u, fields[1]);
    EXPECT_EQ(57600u, fields[2]);
    EXPECT_EQ(0, memcmp(header.data() + 44, &FORMAT_VideoInfo, 16));
    EXPECT_EQ(0u, fields[7]) << "pUnk";
    EXPECT_EQ(88u, fields[8]) << "format size";
    EXPECT_EQ(0u, fields[9]) << "format block pointer";

    CameraSettings back("3.0", kTestKeyFormat, kTestSection);
    ASSERT_TRUE(back.Load());
    EXPECT_STREQ(Narrow(TEST_CAMERA_B_NAME), back.m_deviceName);
    EXPECT_TRUE(back.m_deviceMoniker != NULL);
    ASSERT_TRUE(Vih(back) != NULL);
    EXPECT_EQ(0, memcmp(block.data(), back.m_mediaType.pbFormat, 88));
    EXPECT_EQ(57600u, back.m_mediaType.lSampleSize);
    EXPECT_EQ(40, back.m_quality);
    EXPECT_TRUE(back.m_useDataRate);
    EXPECT_EQ(300, back.m_dataRate);
    EXPECT_FALSE(back.m_useKeyFrameRate);
    EXPECT_EQ(30, back.m_keyFrameRate);
    EXPECT_FALSE(back.m_useDefaultCodecSettings);
    ASSERT_EQ(5, back.m_codecStateSize);
    EXPECT_EQ(0, memcmp(state, back.m_codecState, 5));
}

// Stored values that do not describe a usable capture format give the
// default type; the stored pointers are never used.
TEST_F(CameraSettingsTest, HostileMediaTypesFallBackToTheDefault)
{
    struct Case {
        const char* label;
        DWORD headerSize;
        GUID formatType;
        DWORD statedSize;
        DWORD blockSize;
        bool expectDefault;
    } cases[] = {
        {"header of 88 bytes", 88, FORMAT_VideoInfo, 88, 88, true},
        {"header of 40 bytes", 40, FORMAT_VideoInfo, 88, 88, true},
        {"stated size above the block", 72, FORMAT_VideoInfo, 200, 88, true},
        {"stated size below the block", 72, FORMAT_VideoInfo, 88, 200, true},
        {"VideoInfo shorter than its header", 72, FORMAT_VideoInfo, 40, 40, true},
        {"VideoInfo2 shorter than its header", 72, FORMAT_VideoInfo2, 100, 100, true},
        {"huge stated size", 72, FORMAT_VideoInfo, 0x7FFFFFF0, 88, true},
        {"good VideoInfo", 72, FORMAT_VideoInfo, 88, 88, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ::SHDeleteKeyA(HKEY_CURRENT_USER, kTestSectionKey);
        std::vector<BYTE> block = SmallFormat();
        AM_MEDIA_TYPE mt = SmallType(block);
        mt.formattype = c.formatType;
        std::vector<BYTE> header(c.headerSize < 72 ? 72 : c.headerSize, 0);
        PackStoredMediaType(mt, header.data());
        memcpy(header.data() + 64, &c.statedSize, 4);
        // Pointer fields that point nowhere.
        const DWORD junk = 0xDEADBEEF;
        memcpy(header.data() + 60, &junk, 4);
        memcpy(header.data() + 68, &junk, 4);
        block.resize(c.blockSize, 0x11);
        {
            RegKey key;
            key.Set("DeviceMediaType", REG_BINARY, header.data(), c.headerSize);
            key.Set("DeviceFormatBlock", REG_BINARY, block.data(), c.blockSize);
        }
        CameraSettings s("3.0", kTestKeyFormat, kTestSection);
        ASSERT_TRUE(s.Load());
        EXPECT_TRUE(s.m_mediaType.pUnk == NULL);
        if (c.expectDefault) {
            ExpectDefaultMediaType(s, c.label);
        } else {
            ASSERT_TRUE(Vih(s) != NULL);
            EXPECT_EQ(160, Vih(s)->bmiHeader.biWidth);
            EXPECT_EQ(120, Vih(s)->bmiHeader.biHeight);
        }
    }
}

TEST_F(CameraSettingsTest, HeaderWithoutFormatBlockKeepsNoBlock)
{
    std::vector<BYTE> block = SmallFormat();
    AM_MEDIA_TYPE mt = SmallType(block);
    BYTE header[72];
    PackStoredMediaType(mt, header);
    {
        RegKey key;
        key.Set("DeviceMediaType", REG_BINARY, header, 72);
    }
    CameraSettings s("3.0", kTestKeyFormat, kTestSection);
    ASSERT_TRUE(s.Load());
    EXPECT_TRUE(s.m_mediaType.formattype == FORMAT_VideoInfo);
    EXPECT_EQ(0u, s.m_mediaType.cbFormat);
    EXPECT_TRUE(s.m_mediaType.pbFormat == NULL);
    EXPECT_EQ(57600u, s.m_mediaType.lSampleSize);
}

TEST_F(CameraSettingsTest, CodecStateIsTakenOnlyWithItsRealSize)
{
    const BYTE state[8] = {9, 8, 7, 6, 5, 4, 3, 2};
    struct Case {
        const char* label;
        bool writeSize;
        DWORD sizeType;
        DWORD size;
        bool writeState;
        DWORD stateType;
        int expected;
    } cases[] = {
        {"matching", true, REG_DWORD, 8, true, REG_BINARY, 8},
        {"size larger than the state", true, REG_DWORD, 64, true, REG_BINARY, 0},
        {"size smaller than the state", true, REG_DWORD, 4, true, REG_BINARY, 0},
        {"size missing", false, REG_DWORD, 0, true, REG_BINARY, 0},
        {"state missing", true, REG_DWORD, 8, false, REG_BINARY, 0},
        {"state of another type", true, REG_DWORD, 8, true, REG_SZ, 0},
        {"size of another type", true, REG_BINARY, 8, true, REG_BINARY, 0},
        {"huge size", true, REG_DWORD, 0xFFFFFFF0, true, REG_BINARY, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ::SHDeleteKeyA(HKEY_CURRENT_USER, kTestSectionKey);
        {
            RegKey key;
            if (c.writeSize)
                key.Set("CodecStateSize", c.sizeType, &c.size, 4);
            if (c.writeState)
                key.Set("CodecState", c.stateType, state, 8);
        }
        CameraSettings s("3.0", kTestKeyFormat, kTestSection);
        const BYTE before[3] = {1, 1, 1};
        s.SetCodecState(before, 3);
        ASSERT_TRUE(s.Load());
        EXPECT_EQ(c.expected, s.m_codecStateSize);
        if (c.expected) {
            ASSERT_TRUE(s.m_codecState != NULL);
            EXPECT_EQ(0, memcmp(state, s.m_codecState, 8));
        } else {
            EXPECT_TRUE(s.m_codecState == NULL);
        }
    }
}

TEST_F(CameraSettingsTest, WrongTypesAndUnknownNamesKeepTheDefaults)
{
    {
        RegKey key;
        key.Set("CodecQuality", REG_SZ, "50", 3);
        key.Set("CodecKeyFrameRate", REG_BINARY, "\x1e\0\0\0", 4);
        key.SetDword("CodecBitRate", 128);
        key.Set("DeviceFriendlyName", REG_SZ, "Camera Not Installed", 21);
        key.Set("CodecFriendlyName", REG_SZ, "Codec Not Installed", 20);
    }
    CameraSettings s("3.0", kTestKeyFormat, kTestSection);
    ASSERT_TRUE(s.Load());
    EXPECT_EQ(75, s.m_quality);
    EXPECT_EQ(15, s.m_keyFrameRate);
    EXPECT_EQ(128, s.m_dataRate);
    EXPECT_TRUE(s.m_deviceName.IsEmpty()) << "an uninstalled camera selects nothing";
    EXPECT_TRUE(s.m_deviceMoniker == NULL);
    EXPECT_STREQ("默认编码", s.m_codecName);
    EXPECT_TRUE(s.m_codecMoniker == NULL);
}

// Names stored without their terminator are read up to their stored
// length; a name longer than the 260-byte buffer counts as missing.
TEST_F(CameraSettingsTest, UnterminatedNamesAreReadSafely)
{
    CStringArray names;
    ListDeviceNames(&names, CLSID_VideoInputDeviceCategory);
    ASSERT_GT(names.GetSize(), 0);
    const CString b = Narrow(TEST_CAMERA_B_NAME);
    struct Case {
        const char* label;
        std::string stored;
        CString expected;
    } cases[] = {
        {"camera B without terminator", std::string((LPCSTR)b, b.GetLength()), b},
        {"300 bytes", std::string(300, 'x'), names[0]},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ::SHDeleteKeyA(HKEY_CURRENT_USER, kTestSectionKey);
        {
            RegKey key;
            key.Set("DeviceFriendlyName", REG_SZ, c.stored.data(), (DWORD)c.stored.size());
            const char unterminated[4] = {'a', 'b', 'c', 'd'};
            key.Set("CodecFriendlyName", REG_SZ, unterminated, 4);
        }
        CameraSettings s("3.0", kTestKeyFormat, kTestSection);
        ASSERT_TRUE(s.Load());
        EXPECT_STREQ(c.expected, s.m_deviceName);
        EXPECT_STREQ("默认编码", s.m_codecName);
    }
}

TEST_F(CameraSettingsTest, AssignmentReplacesListsAndSurvivesSelfAssignment)
{
    CameraSettings a("3.0", kTestKeyFormat, kTestSection);
    ASSERT_TRUE(a.SelectDevice(Narrow(TEST_CAMERA_A_NAME)));
    ListDeviceNames(&a.m_deviceNames, CLSID_VideoInputDeviceCategory);
    a.m_deviceListBuilt = TRUE;
    a.m_codecNames.Add(CameraSettings::DefaultCodecName());
    a.m_quality = 33;
    const BYTE state[4] = {4, 3, 2, 1};
    a.SetCodecState(state, 4);
    std::vector<BYTE> block = SmallFormat();
    a.SetMediaType(SmallType(block));

    CameraSettings b(&a);
    b = a;   // a second assignment must not double the lists
    EXPECT_EQ(a.m_deviceNames.GetSize(), b.m_deviceNames.GetSize());
    EXPECT_EQ(1, b.m_codecNames.GetSize());
    EXPECT_STREQ(a.m_deviceName, b.m_deviceName);
    EXPECT_TRUE(b.m_deviceMoniker != NULL);
    EXPECT_EQ(33, b.m_quality);
    ASSERT_EQ(4, b.m_codecStateSize);
    EXPECT_NE(a.m_codecState, b.m_codecState) << "the state is copied, not shared";
    EXPECT_EQ(0, memcmp(state, b.m_codecState, 4));
    ASSERT_TRUE(Vih(b) != NULL);
    EXPECT_NE(a.m_mediaType.pbFormat, b.m_mediaType.pbFormat);
    EXPECT_EQ(160, Vih(b)->bmiHeader.biWidth);
    EXPECT_STREQ(a.KeyPath(), b.KeyPath());

    CameraSettings& self = b;
    b = self;
    EXPECT_EQ(4, b.m_codecStateSize);
    EXPECT_EQ(0, memcmp(state, b.m_codecState, 4));
    EXPECT_TRUE(b.m_deviceMoniker != NULL);
    EXPECT_EQ(a.m_deviceNames.GetSize(), b.m_deviceNames.GetSize());
    ASSERT_TRUE(Vih(b) != NULL);

    CameraSettings empty(nullptr);
    EXPECT_TRUE(empty.m_deviceName.IsEmpty());
    EXPECT_TRUE(empty.m_mediaType.pbFormat == NULL);
    CameraSettings fromSelf(&empty);
    EXPECT_TRUE(fromSelf.m_codecState == NULL);
}

TEST_F(CameraSettingsTest, SelectCodecResetsCompressorSettingsOnlyForAFoundCodec)
{
    CameraSettings s("3.0", kTestKeyFormat, kTestSection);
    s.m_quality = 10;
    const BYTE state[2] = {1, 2};
    s.SetCodecState(state, 2);
    EXPECT_FALSE(s.SelectCodec("No Such Codec"));
    EXPECT_EQ(10, s.m_quality);
    EXPECT_EQ(2, s.m_codecStateSize);
    EXPECT_STREQ("默认编码", s.m_codecName);
    EXPECT_TRUE(s.SelectCodec("默认编码"));
    EXPECT_EQ(10, s.m_quality) << "the default codec keeps the settings";
    EXPECT_FALSE(s.SelectDevice("No Such Camera"));
    EXPECT_TRUE(s.m_deviceName.IsEmpty());
}

}  // namespace
