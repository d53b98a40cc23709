// Formats, palette, rectangles and stored settings of the capture channel,
// the first-run hint and the clean-up at DRV_REMOVE.
#include "DriverTestFixture.h"

#include <shlwapi.h>

using namespace captest;

namespace {

class CaptureFormatTest : public DriverTest {};

WORD DisplayBits()
{
    HDC dc = CreateDCW(L"DISPLAY", NULL, NULL, NULL);
    const int bits = GetDeviceCaps(dc, BITSPIXEL);
    DeleteDC(dc);
    return static_cast<WORD>(bits);
}

TEST_F(CaptureFormatTest, StoredSettingsChooseTheFormat)
{
    const WORD display = DisplayBits();
    const WORD displayFormat = (display == 8 || display == 16 || display == 24 || display == 32) ? display : 16;
    const DWORD four = 24;
    const struct {
        const char* name;
        std::initializer_list<Setting> settings;
        LONG width;
        LONG height;
        WORD bits;
    } cases[] = {
        {"stored 16 bits", {{L"BitCount", 16}}, 320, 240, 16},
        {"no values: display depth", {}, 320, 240, displayFormat},
        {"bit count 15 ignored", {{L"BitCount", 15}}, 320, 240, displayFormat},
        {"preset 17", {{L"BitCount", 24}, {L"PresetSize", 17}}, 640, 480, 24},
        {"preset 0 ignored", {{L"BitCount", 8}, {L"PresetSize", 0}}, 320, 240, 8},
        {"preset 19 ignored", {{L"BitCount", 32}, {L"PresetSize", 19}}, 320, 240, 32},
        {"stored preset size not read", {{L"BitCount", 16}, {L"PresetSize", 4}, {L"PresetWidth", 123}}, 160, 120, 16},
        {"custom size", {{L"BitCount", 16}, {L"CustomSize", 1}, {L"CustomWidth", 352}, {L"CustomHeight", 288}}, 352, 288, 16},
        {"custom flag from the low word", {{L"BitCount", 16}, {L"CustomSize", 0x10000}, {L"CustomWidth", 352}}, 320, 240, 16},
        {"custom zero width ignored", {{L"BitCount", 16}, {L"CustomSize", 1}, {L"CustomWidth", 0}, {L"CustomHeight", 100}}, 320, 100, 16},
        {"custom negative width", {{L"BitCount", 16}, {L"CustomSize", 1}, {L"CustomWidth", 0xFFFFFFFF}}, 320, 240, 16},
        {"custom width overflowing the stride", {{L"BitCount", 16}, {L"CustomSize", 1}, {L"CustomWidth", 100000}}, 320, 240, 16},
        {"custom size overflowing the frame", {{L"BitCount", 8}, {L"CustomSize", 1}, {L"CustomWidth", 16000}, {L"CustomHeight", 0x7FFFFFFF}}, 320, 240, 8},
    };
    for (const auto& c : cases) {
        StoreSettings(c.settings);
        DriverChannel capture(VIDEO_IN);
        ASSERT_TRUE(capture.IsOpen()) << c.name;
        const BITMAPINFOHEADER format = capture.Format();
        EXPECT_EQ(c.width, format.biWidth) << c.name;
        EXPECT_EQ(c.height, format.biHeight) << c.name;
        EXPECT_EQ(c.bits, format.biBitCount) << c.name;
        EXPECT_EQ(FrameBytes(c.width, c.height, c.bits), format.biSizeImage) << c.name;
    }
    // Values are four bytes of any type; other sizes are ignored.
    StoreSettings({{L"BitCount", 16}});
    const BYTE binary24[4] = {24, 0, 0, 0};
    StoreRawSetting(L"BitCount", REG_BINARY, binary24, sizeof(binary24));
    StoreRawSetting(L"PresetSize", REG_BINARY, &four, 2);
    StoreRawSetting(L"CustomSize", REG_SZ, L"1", 4);
    DriverChannel capture(VIDEO_IN);
    const BITMAPINFOHEADER format = capture.Format();
    EXPECT_EQ(24, format.biBitCount);
    EXPECT_EQ(320, format.biWidth);
}

TEST_F(CaptureFormatTest, FormatQuerySizeAndGet)
{
    DriverChannel capture(VIDEO_IN);
    for (DWORD flags : {static_cast<DWORD>(VIDEO_CONFIGURE_QUERYSIZE),
                        static_cast<DWORD>(VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_QUERYSIZE)}) {
        DWORD size = 0;
        EXPECT_EQ(DV_ERR_OK, capture.Configure(DVM_FORMAT, flags, NULL, 0, &size));
        EXPECT_EQ(40u, size);
        EXPECT_EQ(DV_ERR_PARAM1, capture.Configure(DVM_FORMAT, flags, NULL, 0, NULL));
    }
    BYTE buffer[48];
    memset(buffer, 0xEE, sizeof(buffer));
    EXPECT_EQ(DV_ERR_SIZEFIELD, capture.Configure(DVM_FORMAT, VIDEO_CONFIGURE_GET, buffer, 39));
    EXPECT_EQ(0xEE, buffer[0]);
    for (DWORD flags : {static_cast<DWORD>(VIDEO_CONFIGURE_GET),
                        static_cast<DWORD>(VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT)}) {
        memset(buffer, 0xEE, sizeof(buffer));
        EXPECT_EQ(DV_ERR_OK, capture.Configure(DVM_FORMAT, flags, buffer, 40));
        const BITMAPINFOHEADER* format = reinterpret_cast<BITMAPINFOHEADER*>(buffer);
        EXPECT_EQ(40u, format->biSize);
        EXPECT_EQ(320, format->biWidth);
        EXPECT_EQ(240, format->biHeight);
        EXPECT_EQ(1, format->biPlanes);
        EXPECT_EQ(16, format->biBitCount);
        EXPECT_EQ(static_cast<DWORD>(BI_RGB), format->biCompression);
        EXPECT_EQ(153600u, format->biSizeImage);
        EXPECT_EQ(0xEE, buffer[40]) << "wrote past the 40 bytes";
    }
    EXPECT_EQ(DV_ERR_PARAM1, capture.Configure(DVM_FORMAT, VIDEO_CONFIGURE_GET, NULL, 40));
    EXPECT_EQ(DV_ERR_PARAM2, capture.Send(DVM_FORMAT, VIDEO_CONFIGURE_GET, 0));
    const DWORD unsupported[] = {VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_MAX, VIDEO_CONFIGURE_SET | VIDEO_CONFIGURE_MIN,
                                 VIDEO_CONFIGURE_NOMINAL, 0};
    for (DWORD flags : unsupported)
        EXPECT_EQ(DV_ERR_NOTSUPPORTED, capture.Configure(DVM_FORMAT, flags, buffer, 40)) << flags;
    for (DWORD flags : {static_cast<DWORD>(VIDEO_CONFIGURE_QUERY | VIDEO_CONFIGURE_SET),
                        static_cast<DWORD>(VIDEO_CONFIGURE_QUERY | VIDEO_CONFIGURE_GET)})
        EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_FORMAT, flags, 0)) << flags;
}

struct FormatCase {
    const char* name;
    BITMAPINFOHEADER format;
    DWORD size;
    LRESULT answer;
    DWORD frameSize;   // when taken
};

BITMAPINFOHEADER With(BITMAPINFOHEADER bi, void (*change)(BITMAPINFOHEADER*))
{
    change(&bi);
    return bi;
}

void CheckFormatCases(const DriverChannel& capture, const std::vector<FormatCase>& cases)
{
    for (const FormatCase& c : cases) {
        const BITMAPINFOHEADER before = capture.Format();
        BITMAPINFOHEADER format = c.format;
        EXPECT_EQ(c.answer, capture.Configure(DVM_FORMAT, VIDEO_CONFIGURE_SET, &format, c.size)) << c.name;
        const BITMAPINFOHEADER after = capture.Format();
        if (c.answer == DV_ERR_OK) {
            EXPECT_EQ(c.format.biWidth, after.biWidth) << c.name;
            EXPECT_EQ(c.format.biHeight, after.biHeight) << c.name;
            EXPECT_EQ(c.format.biBitCount, after.biBitCount) << c.name;
            EXPECT_EQ(c.frameSize, after.biSizeImage) << c.name;
        } else {
            EXPECT_EQ(0, memcmp(&before, &after, sizeof(before))) << c.name << ": a refused format changed the format";
        }
    }
}

TEST_F(CaptureFormatTest, SetFormatInPresetMode)
{
    DriverChannel capture(VIDEO_IN);
    const BITMAPINFOHEADER base = MakeFormat(320, 240, 24);
    const std::vector<FormatCase> cases = {
        {"320x240x24, caller's size replaced", With(base, [](BITMAPINFOHEADER* b) { b->biSizeImage = 12345; }), 40,
         DV_ERR_OK, 230400},
        {"640x480x8", MakeFormat(640, 480, 8), 40, DV_ERR_OK, 307200},
        {"800x600x32", MakeFormat(800, 600, 32), 40, DV_ERR_OK, 1920000},
        {"352x288 is no preset", MakeFormat(352, 288, 16), 40, DV_ERR_BADFORMAT, 0},
        {"41x10 is no preset", MakeFormat(41, 10, 24), 40, DV_ERR_BADFORMAT, 0},
        {"15 bits", MakeFormat(320, 240, 15), 40, DV_ERR_BADFORMAT, 0},
        {"compressed", With(base, [](BITMAPINFOHEADER* b) { b->biCompression = BI_RLE8; }), 40, DV_ERR_BADFORMAT, 0},
        {"two planes", With(base, [](BITMAPINFOHEADER* b) { b->biPlanes = 2; }), 40, DV_ERR_BADFORMAT, 0},
        {"header size 44", With(base, [](BITMAPINFOHEADER* b) { b->biSize = 44; }), 44, DV_ERR_PARAM2, 0},
        {"buffer of 39 bytes", base, 39, DV_ERR_SIZEFIELD, 0},
        {"top-down preset", MakeFormat(320, -240, 16), 40, DV_ERR_BADFORMAT, 0},
    };
    CheckFormatCases(capture, cases);
    EXPECT_EQ(DV_ERR_PARAM1, capture.Configure(DVM_FORMAT, VIDEO_CONFIGURE_SET, NULL, 40));
    // The format chosen in preset mode becomes the preset setting.
    EXPECT_EQ(DV_ERR_OK, capture.SetFormat(176, 144, 16));
    BITMAPINFOHEADER current = base;
    EXPECT_EQ(DV_ERR_OK, capture.Configure(DVM_FORMAT, VIDEO_CONFIGURE_SET | VIDEO_CONFIGURE_CURRENT, &current, 40));
    EXPECT_EQ(320, capture.Format().biWidth);
}

TEST_F(CaptureFormatTest, SetFormatInCustomMode)
{
    StoreSettings({{L"BitCount", 16}, {L"CustomSize", 1}});
    DriverChannel capture(VIDEO_IN);
    const std::vector<FormatCase> cases = {
        {"352x288 becomes the custom size", MakeFormat(352, 288, 16), 40, DV_ERR_OK, 202752},
        {"41x10x24: stride 124", MakeFormat(41, 10, 24), 40, DV_ERR_OK, 1240},
        {"41x10x8: stride 44", MakeFormat(41, 10, 8), 40, DV_ERR_OK, 440},
        {"1x1x32", MakeFormat(1, 1, 32), 40, DV_ERR_OK, 4},
        {"width 0", MakeFormat(0, 240, 16), 40, DV_ERR_BADFORMAT, 0},
        {"height 0", MakeFormat(320, 0, 16), 40, DV_ERR_BADFORMAT, 0},
        {"negative width", MakeFormat(-320, 240, 16), 40, DV_ERR_BADFORMAT, 0},
        {"negative height", MakeFormat(320, -240, 16), 40, DV_ERR_BADFORMAT, 0},
        {"stride beyond 16 bits", MakeFormat(20000, 10, 32), 40, DV_ERR_BADFORMAT, 0},
        {"width times bits beyond 32 bits", MakeFormat(0x7FFFFFFF, 1, 32), 40, DV_ERR_BADFORMAT, 0},
        {"frame beyond 2 GB", MakeFormat(16000, 40000, 32), 40, DV_ERR_BADFORMAT, 0},
        {"largest 16-bit stride", MakeFormat(32766, 2, 16), 40, DV_ERR_OK, 131064},
    };
    CheckFormatCases(capture, cases);
}

TEST_F(CaptureFormatTest, PaletteOfADisplayWithoutPalette)
{
    DriverChannel capture(VIDEO_IN);
    DWORD size = 0;
    EXPECT_EQ(DV_ERR_OK, capture.Configure(DVM_PALETTE, VIDEO_CONFIGURE_QUERYSIZE, NULL, 0, &size));
    EXPECT_EQ(1028u, size);
    std::vector<BYTE> buffer(1028 + 8, 0xEE);
    EXPECT_EQ(DV_ERR_SIZEFIELD, capture.Configure(DVM_PALETTE, VIDEO_CONFIGURE_GET, buffer.data(), 1027));
    EXPECT_EQ(0xEE, buffer[0]);
    EXPECT_EQ(DV_ERR_OK, capture.Configure(DVM_PALETTE, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT,
                                           buffer.data(), 1028));
    const LOGPALETTE* palette = reinterpret_cast<LOGPALETTE*>(buffer.data());
    EXPECT_EQ(0x300, palette->palVersion);
    ASSERT_EQ(256, palette->palNumEntries);
    for (int i = 0; i < 256; ++i) {
        const PALETTEENTRY& e = palette->palPalEntry[i];
        ASSERT_TRUE(e.peRed == i && e.peGreen == i && e.peBlue == i && e.peFlags == 0) << "entry " << i;
    }
    EXPECT_EQ(0xEE, buffer[1028]);
}

TEST_F(CaptureFormatTest, SetPalette)
{
    DriverChannel capture(VIDEO_IN);
    struct {
        WORD version;
        WORD count;
        PALETTEENTRY entries[300];
    } palette = {0x300, 16, {}};
    for (int i = 0; i < 300; ++i)
        palette.entries[i] = {static_cast<BYTE>(i), static_cast<BYTE>(255 - i), 7, 0};
    EXPECT_EQ(DV_ERR_OK, capture.Configure(DVM_PALETTE, VIDEO_CONFIGURE_SET, &palette, 4 + 16 * 4));
    DWORD size = 0;
    capture.Configure(DVM_PALETTE, VIDEO_CONFIGURE_QUERYSIZE, NULL, 0, &size);
    EXPECT_EQ(68u, size);
    std::vector<BYTE> buffer(68);
    ASSERT_EQ(DV_ERR_OK, capture.Configure(DVM_PALETTE, VIDEO_CONFIGURE_GET, buffer.data(), 68));
    EXPECT_EQ(0, memcmp(buffer.data(), &palette, 68));

    // Refused palettes leave the stored one as it was.
    const struct {
        const char* name;
        WORD count;
        DWORD size;
        LRESULT answer;
    } refused[] = {
        {"257 entries", 257, 4 + 257 * 4, DV_ERR_PARAM1},
        {"65535 entries", 65535, 4 + 300 * 4, DV_ERR_PARAM1},
        {"buffer shorter than its entries", 200, 4 + 100 * 4, DV_ERR_SIZEFIELD},
        {"buffer shorter than the header", 1, 3, DV_ERR_SIZEFIELD},
    };
    for (const auto& c : refused) {
        palette.count = c.count;
        EXPECT_EQ(c.answer, capture.Configure(DVM_PALETTE, VIDEO_CONFIGURE_SET, &palette, c.size)) << c.name;
        capture.Configure(DVM_PALETTE, VIDEO_CONFIGURE_QUERYSIZE, NULL, 0, &size);
        EXPECT_EQ(68u, size) << c.name;
    }
    EXPECT_EQ(DV_ERR_PARAM1, capture.Configure(DVM_PALETTE, VIDEO_CONFIGURE_SET, NULL, 68));
    EXPECT_EQ(DV_ERR_NOTSUPPORTED, capture.Configure(DVM_PALETTE, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_MIN,
                                                     buffer.data(), 68));
    // 256 entries is the most a palette holds.
    palette.count = 256;
    EXPECT_EQ(DV_ERR_OK, capture.Configure(DVM_PALETTE, VIDEO_CONFIGURE_SET | VIDEO_CONFIGURE_CURRENT, &palette,
                                           4 + 256 * 4));
    capture.Configure(DVM_PALETTE, VIDEO_CONFIGURE_QUERYSIZE, NULL, 0, &size);
    EXPECT_EQ(1028u, size);
}

TEST_F(CaptureFormatTest, Rectangles)
{
    DriverChannel capture(VIDEO_IN);
    DriverChannel external(VIDEO_EXTERNALIN);
    const struct {
        const char* name;
        const DriverChannel* channel;
        UINT msg;
        DWORD flags;
        RECT in;
        LRESULT answer;
        RECT out;
    } cases[] = {
        {"source after open", &capture, DVM_SRC_RECT, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT, {}, DV_ERR_OK, {0, 0, 319, 239}},
        {"source maximum", &capture, DVM_SRC_RECT, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_MAX, {}, DV_ERR_OK, {0, 0, 1280, 1024}},
        {"source one short", &capture, DVM_SRC_RECT, VIDEO_CONFIGURE_SET, {0, 0, 319, 239}, DV_ERR_NOTSUPPORTED, {0, 0, 319, 239}},
        {"source of the frame size", &capture, DVM_SRC_RECT, VIDEO_CONFIGURE_SET, {0, 0, 320, 240}, DV_ERR_OK, {0, 0, 320, 240}},
        {"source moved", &capture, DVM_SRC_RECT, VIDEO_CONFIGURE_SET | VIDEO_CONFIGURE_CURRENT, {10, 20, 330, 260}, DV_ERR_OK, {0, 0, 0, 0}},
        {"source read back", &capture, DVM_SRC_RECT, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT, {}, DV_ERR_OK, {10, 20, 330, 260}},
        {"source plain GET", &capture, DVM_SRC_RECT, VIDEO_CONFIGURE_GET, {}, DV_ERR_NOTSUPPORTED, {}},
        {"destination on the capture channel", &capture, DVM_DST_RECT, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT, {}, DV_ERR_NOTSUPPORTED, {}},
        {"destination after open", &external, DVM_DST_RECT, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT, {1, 1, 1, 1}, DV_ERR_OK, {0, 0, 0, 0}},
        {"destination of any size", &external, DVM_DST_RECT, VIDEO_CONFIGURE_SET, {0, 0, 77, 33}, DV_ERR_OK, {0, 0, 77, 33}},
        {"destination not at the origin", &external, DVM_DST_RECT, VIDEO_CONFIGURE_SET, {1, 0, 77, 33}, DV_ERR_NOTSUPPORTED, {1, 0, 77, 33}},
        {"destination read back", &external, DVM_DST_RECT, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT, {}, DV_ERR_OK, {0, 0, 77, 33}},
        {"destination maximum", &external, DVM_DST_RECT, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_MAX, {}, DV_ERR_OK, {0, 0, 1280, 1024}},
        {"source on the external input", &external, DVM_SRC_RECT, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT, {}, DV_ERR_NOTSUPPORTED, {}},
    };
    for (const auto& c : cases) {
        RECT rect = c.in;
        EXPECT_EQ(c.answer, c.channel->Send(c.msg, reinterpret_cast<LPARAM>(&rect), c.flags)) << c.name;
        if (c.answer == DV_ERR_OK && (c.flags & VIDEO_CONFIGURE_GET)) {
            EXPECT_TRUE(EqualRect(&rect, &c.out)) << c.name << ": " << rect.left << "," << rect.top << ","
                                                  << rect.right << "," << rect.bottom;
        }
    }
    for (UINT msg : {static_cast<UINT>(DVM_SRC_RECT), static_cast<UINT>(DVM_DST_RECT)}) {
        EXPECT_EQ(DV_ERR_PARAM1, capture.Send(msg, 0, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT));
        EXPECT_EQ(DV_ERR_PARAM1, external.Send(msg, 0, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT));
    }
}

TEST_F(CaptureFormatTest, FormatChangeDoesNotMoveTheSourceRectangle)
{
    DriverChannel capture(VIDEO_IN);
    ASSERT_EQ(DV_ERR_OK, capture.SetFormat(640, 480, 16));
    RECT rect = {};
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_SRC_RECT, reinterpret_cast<LPARAM>(&rect),
                                      VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT));
    const RECT expected = {0, 0, 319, 239};
    EXPECT_TRUE(EqualRect(&rect, &expected));
    // A source rectangle is now checked against the new size.
    RECT newSize = {0, 0, 640, 480};
    EXPECT_EQ(DV_ERR_OK, capture.Send(DVM_SRC_RECT, reinterpret_cast<LPARAM>(&newSize), VIDEO_CONFIGURE_SET));
    RECT oldSize = {0, 0, 320, 240};
    EXPECT_EQ(DV_ERR_NOTSUPPORTED, capture.Send(DVM_SRC_RECT, reinterpret_cast<LPARAM>(&oldSize), VIDEO_CONFIGURE_SET));
}

TEST_F(CaptureFormatTest, FirstOpenWithoutSettingsShowsTheHintOnce)
{
    DeleteSettingsSubkey();
    {
        DriverChannel capture(VIDEO_IN);
        EXPECT_TRUE(capture.IsOpen());
    }
    const std::vector<std::wstring> boxes = Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"To use Skorvale Studio as a live video source, check \"Enable Live Output\" under "
              L"Tools->Options...->Live in Skorvale Recorder.\n"
              L"Use Skorvale Recorder's VCR-style controls to start/pause/resume/stop desktop video capture.\n"
              L"All of Skorvale Recorder's real-time video effects can be used with live output.",
              boxes[0]);
    EXPECT_TRUE(SettingsSubkeyExists());
    {
        DriverChannel capture(VIDEO_IN);
        DriverChannel external(VIDEO_EXTERNALIN);
        EXPECT_TRUE(capture.IsOpen());
    }
    EXPECT_EQ(1u, Boxes().size());
}

struct RegValue {
    const wchar_t* name;
    const wchar_t* data;
};

void SetStrings(const wchar_t* keyPath, std::initializer_list<RegValue> values)
{
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
    for (const RegValue& v : values)
        RegSetValueExW(key, v.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.data),
                       static_cast<DWORD>((wcslen(v.data) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

bool HasValue(const wchar_t* keyPath, const wchar_t* name)
{
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    const bool found = RegQueryValueExW(key, name, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
}

void DeleteValues(const wchar_t* keyPath, std::initializer_list<const wchar_t*> names)
{
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    for (const wchar_t* name : names)
        RegDeleteValueW(key, name);
    RegCloseKey(key);
}

TEST_F(CaptureFormatTest, RemoveClearsSettingsAndTheProductsRegistrations)
{
    const wchar_t desc[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc";
    const wchar_t drivers32[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers32";
    const wchar_t installable[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Userinstallable.drivers";
    SetStrings(desc, {{L"Zentivo.dll", L"Skorvale Studio Video Capture"}, {L"other.dll", L"Other"}});
    SetStrings(drivers32, {{L"msvideo", DriverPath().c_str()},
                           {L"msvideo8", L"SKORVALE.DLL"},
                           {L"msvideo9", L"skorvale.dll"},
                           {L"msvideo7", L"skorvale.dll.old"}});
    SetStrings(installable, {{L"msvideo5", L"zentivo.DLL"}, {L"msvideo6", L"Zentivo.dll"}, {L"other", L"x.dll"}});
    ASSERT_TRUE(SettingsSubkeyExists());

    HDRVR config = OpenDriver(DriverPath().c_str(), NULL, 0);
    ASSERT_NE(nullptr, config);
    EXPECT_EQ(1, SendDriverMessage(config, DRV_REMOVE, 0, 0));
    CloseDriver(config, 0, 0);

    EXPECT_FALSE(SettingsSubkeyExists());
    EXPECT_FALSE(HasValue(desc, L"Zentivo.dll"));
    EXPECT_TRUE(HasValue(desc, L"other.dll"));
    EXPECT_TRUE(HasValue(drivers32, L"msvideo")) << "the user's own registration stays";
    EXPECT_TRUE(HasValue(drivers32, L"msvideo7"));
    EXPECT_EQ(1, HasValue(drivers32, L"msvideo8") + HasValue(drivers32, L"msvideo9"))
        << "exactly the first earlier driver goes";
    EXPECT_EQ(1, HasValue(installable, L"msvideo5") + HasValue(installable, L"msvideo6"));
    EXPECT_TRUE(HasValue(installable, L"other"));

    DeleteValues(desc, {L"other.dll"});
    DeleteValues(drivers32, {L"msvideo", L"msvideo7", L"msvideo8", L"msvideo9"});
    DeleteValues(installable, {L"msvideo5", L"msvideo6", L"other"});
    // Removing again, with nothing left to remove, still answers 1.
    config = OpenDriver(DriverPath().c_str(), NULL, 0);
    EXPECT_EQ(1, SendDriverMessage(config, DRV_REMOVE, 0, 0));
    CloseDriver(config, 0, 0);
    StoreSettings({{L"BitCount", 16}});
}

}  // namespace
