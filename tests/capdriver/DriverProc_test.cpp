// The driver procedure as a capture program meets it through winmm: opening
// and closing channels, the configuration instance, the answers to general
// and wrong messages.
#include "DriverTestFixture.h"

using namespace captest;

namespace {

class DriverProcTest : public DriverTest {};

TEST_F(DriverProcTest, OpensOnlyTheInputChannelTypes)
{
    const struct {
        DWORD type;
        bool opens;
        DWORD error;
    } cases[] = {
        {VIDEO_EXTERNALIN, true, DV_ERR_OK},       {VIDEO_IN, true, DV_ERR_OK},
        {VIDEO_EXTERNALOUT, false, DV_ERR_ALLOCATED}, {VIDEO_OUT, false, DV_ERR_ALLOCATED},
        {0, false, DV_ERR_ALLOCATED},              {3, false, DV_ERR_ALLOCATED},
        {0x0F, false, DV_ERR_ALLOCATED},           {VIDEO_IN | 0x100, true, DV_ERR_OK},
    };
    DriverSession session;
    for (const auto& c : cases) {
        DriverChannel channel(c.type);
        EXPECT_EQ(c.opens, channel.IsOpen()) << "channel type " << c.type;
        EXPECT_EQ(c.error, channel.OpenError()) << "channel type " << c.type;
    }
}

TEST_F(DriverProcTest, OutputChannelIsRefusedBeforeDeviceSetUp)
{
    // No settings subkey: a device set-up would show the first-run hint.
    DeleteSettingsSubkey();
    DriverSession session;
    DriverChannel channel(VIDEO_OUT);
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_EQ(static_cast<DWORD>(DV_ERR_ALLOCATED), channel.OpenError());
    EXPECT_TRUE(Boxes().empty());
    EXPECT_FALSE(SettingsSubkeyExists());
}

TEST_F(DriverProcTest, EachChannelTypeOpensOncePerProcess)
{
    for (DWORD type : {static_cast<DWORD>(VIDEO_IN), static_cast<DWORD>(VIDEO_EXTERNALIN)}) {
        DriverChannel first(type);
        ASSERT_TRUE(first.IsOpen());
        DriverChannel second(type);
        EXPECT_FALSE(second.IsOpen()) << "type " << type;
        EXPECT_EQ(static_cast<DWORD>(DV_ERR_ALLOCATED), second.OpenError()) << "type " << type;
    }
    DriverChannel external(VIDEO_EXTERNALIN);
    DriverChannel capture(VIDEO_IN);
    EXPECT_TRUE(external.IsOpen());
    EXPECT_TRUE(capture.IsOpen());
    // Closing one type frees it for a new open.
    EXPECT_TRUE(capture.Close());
    DriverChannel again(VIDEO_IN);
    EXPECT_TRUE(again.IsOpen());
}

TEST_F(DriverProcTest, OpenOfAnotherDriverTypeFailsWithErrorUntouched)
{
    VIDEO_OPEN_PARMS parms;
    ZeroMemory(&parms, sizeof(parms));
    parms.dwSize = sizeof(parms);
    parms.fccType = mmioFOURCC('v', 'i', 'd', 'c');
    parms.dwFlags = VIDEO_IN;
    parms.dwError = 0x1234;
    DriverSession session;
    HDRVR driver = OpenDriver(DriverPath().c_str(), NULL, reinterpret_cast<LPARAM>(&parms));
    EXPECT_EQ(NULL, driver);
    EXPECT_EQ(0x1234u, parms.dwError);
    if (driver)
        CloseDriver(driver, 0, 0);
}

TEST_F(DriverProcTest, ConfigurationInstance)
{
    HDRVR config = OpenDriver(DriverPath().c_str(), NULL, 0);
    ASSERT_NE(nullptr, config);
    DriverProcFn proc = LoadedDriverProc(config);
    ASSERT_NE(nullptr, proc);

    EXPECT_EQ(kConfigInstance, proc(0, config, DRV_OPEN, 0, 0));
    EXPECT_EQ(1, proc(kConfigInstance, config, DRV_CLOSE, 0, 0));
    EXPECT_EQ(1, proc(0, config, DRV_CLOSE, 0, 0));
    // Channel messages to the configuration instance go to DefDriverProc.
    const UINT passedOn[] = {DVM_FORMAT, DVM_FRAME, DVM_STREAM_INIT, DVM_GET_CHANNEL_CAPS, 0x7123};
    for (UINT msg : passedOn) {
        EXPECT_EQ(DefDriverProc(kConfigInstance, config, msg, 0, 0),
                  proc(kConfigInstance, config, msg, 0, 0)) << "message " << msg;
        EXPECT_EQ(DefDriverProc(0, config, msg, 0, 0), SendDriverMessage(config, msg, 0, 0)) << "message " << msg;
    }
    const UINT answeredOne[] = {DRV_ENABLE, DRV_QUERYCONFIGURE, DRV_INSTALL, DRV_LOAD};
    for (UINT msg : answeredOne)
        EXPECT_EQ(1, SendDriverMessage(config, msg, 0, 0)) << "message " << msg;
    EXPECT_NE(0, CloseDriver(config, 0, 0));
}

TEST_F(DriverProcTest, VideoApiVersionOnAnyInstance)
{
    HDRVR config = OpenDriver(DriverPath().c_str(), NULL, 0);
    ASSERT_NE(nullptr, config);
    DriverChannel capture(VIDEO_IN);
    DriverChannel external(VIDEO_EXTERNALIN);
    for (HDRVR driver : {config, capture.Handle(), external.Handle()}) {
        DWORD version = 0;
        EXPECT_EQ(DV_ERR_PARAM1, SendDriverMessage(driver, DVM_GETVIDEOAPIVER, 0, 0));
        EXPECT_EQ(DV_ERR_OK, SendDriverMessage(driver, DVM_GETVIDEOAPIVER, reinterpret_cast<LPARAM>(&version), 0));
        EXPECT_EQ(4u, version);
    }
    CloseDriver(config, 0, 0);
}

TEST_F(DriverProcTest, ChannelMessageAnswers)
{
    DriverChannel capture(VIDEO_IN);
    DriverChannel external(VIDEO_EXTERNALIN);
    ASSERT_TRUE(capture.IsOpen());
    ASSERT_TRUE(external.IsOpen());
    BITMAPINFOHEADER format = MakeFormat(320, 240, 16);
    VIDEOCONFIGPARMS parms = {NULL, &format, sizeof(format), NULL, 0};
    VIDEOHDR header;
    ZeroMemory(&header, sizeof(header));
    const struct {
        const char* name;
        UINT msg;
        LPARAM lParam1;
        LPARAM lParam2;
        LRESULT capture;
        LRESULT external;
    } cases[] = {
        {"GETERRORTEXT", DVM_GETERRORTEXT, 0, 0, DV_ERR_BADERRNUM, DV_ERR_BADERRNUM},
        {"CONFIGURESTORAGE", DVM_CONFIGURESTORAGE, 0, 0, DV_ERR_NOTSUPPORTED, DV_ERR_NOTSUPPORTED},
        {"UPDATE", DVM_UPDATE, 0, 0, DV_ERR_NOTSUPPORTED, DV_ERR_NOTSUPPORTED},
        {"PALETTERGB555", DVM_PALETTERGB555, VIDEO_CONFIGURE_GET, 0, DV_ERR_NOTSUPPORTED, DV_ERR_NOTSUPPORTED},
        {"FORMAT", DVM_FORMAT, VIDEO_CONFIGURE_QUERY | VIDEO_CONFIGURE_SET, reinterpret_cast<LPARAM>(&parms),
         DV_ERR_OK, DV_ERR_NOTSUPPORTED},
        {"PALETTE", DVM_PALETTE, VIDEO_CONFIGURE_QUERY | VIDEO_CONFIGURE_GET, 0, DV_ERR_OK, DV_ERR_NOTSUPPORTED},
        {"DIALOG query", DVM_DIALOG, 0, VIDEO_DLG_QUERY, DV_ERR_OK, DV_ERR_NOTSUPPORTED},
        {"FRAME null", DVM_FRAME, 0, 0, DV_ERR_PARAM1, DV_ERR_NOTSUPPORTED},
        {"FRAME no buffer", DVM_FRAME, reinterpret_cast<LPARAM>(&header), 0, DV_ERR_SIZEFIELD, DV_ERR_NOTSUPPORTED},
        {"PREPAREHEADER", DVM_STREAM_PREPAREHEADER, 0, 0, DV_ERR_NOTSUPPORTED, DV_ERR_NOTSUPPORTED},
        {"UNPREPAREHEADER", DVM_STREAM_UNPREPAREHEADER, 0, 0, DV_ERR_NOTSUPPORTED, DV_ERR_NOTSUPPORTED},
        {"stream range end", DVM_STREAM_MSG_END, 0, 0, DV_ERR_NOTSUPPORTED, DV_ERR_NOTSUPPORTED},
        {"START uninitialised", DVM_STREAM_START, 0, 0, DV_ERR_NONSPECIFIC, DV_ERR_NOTSUPPORTED},
        {"unknown DVM", DRV_USER + 50, 0, 0, DV_ERR_NOTSUPPORTED, DV_ERR_NOTSUPPORTED},
        {"unknown low", 0x0123, 0, 0, DV_ERR_NOTSUPPORTED, DV_ERR_NOTSUPPORTED},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.capture, capture.Send(c.msg, c.lParam1, c.lParam2)) << c.name << " on VIDEO_IN";
        EXPECT_EQ(c.external, external.Send(c.msg, c.lParam1, c.lParam2)) << c.name << " on VIDEO_EXTERNALIN";
    }
    // The external input takes INIT and FINI and does nothing with them.
    VIDEO_STREAM_INIT_PARMS init = {};
    EXPECT_EQ(DV_ERR_OK, external.Send(DVM_STREAM_INIT, reinterpret_cast<LPARAM>(&init), sizeof(init)));
    EXPECT_EQ(DV_ERR_OK, external.Send(DVM_STREAM_FINI));
    EXPECT_EQ(DV_ERR_OK, external.Send(DVM_STREAM_FINI));
}

TEST_F(DriverProcTest, ChannelCaps)
{
    DriverChannel capture(VIDEO_IN);
    DriverChannel external(VIDEO_EXTERNALIN);
    for (const DriverChannel* channel : {&capture, &external}) {
        CHANNEL_CAPS caps;
        memset(&caps, 0xFF, sizeof(caps));
        EXPECT_EQ(DV_ERR_OK, channel->Send(DVM_GET_CHANNEL_CAPS, reinterpret_cast<LPARAM>(&caps), sizeof(caps)));
        EXPECT_EQ(0u, caps.dwFlags);
        const DWORD mods[] = {caps.dwSrcRectXMod, caps.dwSrcRectYMod, caps.dwSrcRectWidthMod,
                              caps.dwSrcRectHeightMod, caps.dwDstRectXMod, caps.dwDstRectYMod,
                              caps.dwDstRectWidthMod, caps.dwDstRectHeightMod};
        for (DWORD mod : mods)
            EXPECT_EQ(1u, mod);
        EXPECT_EQ(DV_ERR_PARAM1, channel->Send(DVM_GET_CHANNEL_CAPS, 0, sizeof(caps)));
    }
}

// Wine's CloseDriver unloads the library even when DRV_CLOSE is refused, so
// the refusal is seen by calling the driver procedure itself.
TEST_F(DriverProcTest, CaptureChannelRefusesToCloseWhileStreamingOrHoldingBuffers)
{
    HDRVR config = OpenDriver(DriverPath().c_str(), NULL, 0);
    ASSERT_NE(nullptr, config);
    DriverProcFn proc = LoadedDriverProc(config);
    ASSERT_NE(nullptr, proc);

    VIDEO_OPEN_PARMS parms = {sizeof(parms), ZENTIVO_FCC_VCAP, 0, 4, VIDEO_IN, 0, NULL, NULL, 0};
    const DWORD_PTR channel = proc(0, config, DRV_OPEN, 0, reinterpret_cast<LPARAM>(&parms));
    ASSERT_NE(0u, channel);
    ASSERT_NE(static_cast<DWORD_PTR>(kConfigInstance), channel);

    VIDEO_STREAM_INIT_PARMS init = {100000, 0, 0, 0, 0};
    ASSERT_EQ(DV_ERR_OK, proc(channel, config, DVM_STREAM_INIT, reinterpret_cast<LPARAM>(&init), sizeof(init)));
    std::vector<BYTE> buffer(FrameBytes(320, 240, 16));
    VIDEOHDR header = {};
    header.lpData = buffer.data();
    header.dwBufferLength = static_cast<DWORD>(buffer.size());
    header.dwFlags = VHDR_PREPARED;
    ASSERT_EQ(DV_ERR_OK, proc(channel, config, DVM_STREAM_ADDBUFFER, reinterpret_cast<LPARAM>(&header), sizeof(header)));
    EXPECT_EQ(0, proc(channel, config, DRV_CLOSE, 0, 0)) << "buffers queued";
    ASSERT_EQ(DV_ERR_OK, proc(channel, config, DVM_STREAM_START, 0, 0));
    EXPECT_EQ(0, proc(channel, config, DRV_CLOSE, 0, 0)) << "streaming";
    EXPECT_EQ(DV_ERR_OK, proc(channel, config, DVM_STREAM_STOP, 0, 0));
    EXPECT_EQ(0, proc(channel, config, DRV_CLOSE, 0, 0)) << "stopped, buffer still queued";
    EXPECT_EQ(DV_ERR_OK, proc(channel, config, DVM_STREAM_RESET, 0, 0));
    EXPECT_EQ(DV_ERR_OK, proc(channel, config, DVM_STREAM_FINI, 0, 0));
    EXPECT_EQ(1, proc(channel, config, DRV_CLOSE, 0, 0));
    // The channel is gone: its identifier is no longer taken.
    EXPECT_EQ(DV_ERR_INVALHANDLE, proc(channel, config, DVM_GET_CHANNEL_CAPS, 0, 0));
    EXPECT_EQ(0, proc(channel, config, DRV_CLOSE, 0, 0));
    EXPECT_NE(0, CloseDriver(config, 0, 0));
}

TEST_F(DriverProcTest, UnknownDriverIdentifierIsRefused)
{
    HDRVR config = OpenDriver(DriverPath().c_str(), NULL, 0);
    ASSERT_NE(nullptr, config);
    DriverProcFn proc = LoadedDriverProc(config);
    ASSERT_NE(nullptr, proc);
    DWORD local = 0;
    const DWORD_PTR bogus[] = {1, 12345, reinterpret_cast<DWORD_PTR>(&local)};
    for (DWORD_PTR id : bogus) {
        EXPECT_EQ(DV_ERR_INVALHANDLE, proc(id, config, DVM_FRAME, 0, 0)) << id;
        EXPECT_EQ(DV_ERR_INVALHANDLE, proc(id, config, DVM_STREAM_RESET, 0, 0)) << id;
        EXPECT_EQ(0, proc(id, config, DRV_CLOSE, 0, 0)) << id;
    }
    EXPECT_NE(0, CloseDriver(config, 0, 0));
}

// A capture layer finds the driver by the "msvideo" entry of Drivers32.
TEST_F(DriverProcTest, OpensThroughTheDrivers32Entry)
{
    const wchar_t key[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
    HKEY drivers = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &drivers, NULL));
    wchar_t previous[1024] = L"";
    DWORD previousSize = sizeof(previous);
    const bool hadPrevious = RegQueryValueExW(drivers, L"msvideo", NULL, NULL, reinterpret_cast<BYTE*>(previous),
                                              &previousSize) == ERROR_SUCCESS;
    const std::wstring path = DriverPath();
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(drivers, L"msvideo", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                                            static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))));
    {
        VIDEO_OPEN_PARMS parms = {sizeof(parms), ZENTIVO_FCC_VCAP, 0, 4, VIDEO_IN, 0xABCD, NULL, NULL, 0};
        HDRVR driver = OpenDriver(L"msvideo", L"Drivers32", reinterpret_cast<LPARAM>(&parms));
        EXPECT_NE(nullptr, driver);
        EXPECT_EQ(0u, parms.dwError);
        DWORD version = 0;
        EXPECT_EQ(DV_ERR_OK, SendDriverMessage(driver, DVM_GETVIDEOAPIVER, reinterpret_cast<LPARAM>(&version), 0));
        EXPECT_EQ(4u, version);
        EXPECT_TRUE(LiveHeaderExists());
        if (driver)
            CloseDriver(driver, 0, 0);
    }
    if (hadPrevious)
        RegSetValueExW(drivers, L"msvideo", 0, REG_SZ, reinterpret_cast<const BYTE*>(previous), previousSize);
    else
        RegDeleteValueW(drivers, L"msvideo");
    RegCloseKey(drivers);
}

// Settings are read when the first channel opens and again only after all
// channels were closed.
TEST_F(DriverProcTest, SettingsAreReadWhenTheDeviceBecomesReady)
{
    DriverChannel external(VIDEO_EXTERNALIN);
    ASSERT_TRUE(external.IsOpen());
    StoreSettings({{L"BitCount", 24}, {L"PresetSize", 17}});
    {
        DriverChannel capture(VIDEO_IN);
        const BITMAPINFOHEADER format = capture.Format();
        EXPECT_EQ(320, format.biWidth);
        EXPECT_EQ(16, format.biBitCount);
    }
    external.Close();
    DriverChannel capture(VIDEO_IN);
    const BITMAPINFOHEADER format = capture.Format();
    EXPECT_EQ(640, format.biWidth);
    EXPECT_EQ(480, format.biHeight);
    EXPECT_EQ(24, format.biBitCount);
}

}  // namespace
