// Formats, preset sizes, palette, rectangles and stored settings of the
// capture channel, and the clean-up at DRV_REMOVE.
#include "capdriver/DriverState.h"
#include "resources/zentivo_ids.h"

const PresetSize kPresetSizes[ZENTIVO_PRESET_COUNT] = {
    {1, 40, 30},    {2, 80, 60},    {3, 120, 90},   {4, 160, 120},  {5, 176, 144},  {6, 200, 150},
    {7, 240, 180},  {8, 280, 210},  {9, 320, 240},  {10, 360, 270}, {11, 400, 300}, {12, 440, 330},
    {13, 480, 360}, {14, 520, 390}, {15, 560, 420}, {16, 600, 450}, {17, 640, 480}, {18, 800, 600},
};

const WORD kFormatBitCounts[4] = {8, 16, 24, 32};

static const WCHAR kSettingsKey[] = L"Software\\Kestravon\\Skorvale Studio\\1.0\\Skorvale Recorder\\1.0";
static const WCHAR kSettingsSubkey[] = L"Live Configuration";
static const WCHAR kDriversKeyBase[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\";

int FindPresetSize(LONG width, LONG height)
{
    for (int i = 0; i < ZENTIVO_PRESET_COUNT; ++i) {
        if (kPresetSizes[i].width == width && kPresetSizes[i].height == height)
            return kPresetSizes[i].index;
    }
    return -1;
}

static BOOL IsSupportedBitCount(DWORD bitCount)
{
    for (WORD supported : kFormatBitCounts) {
        if (supported == bitCount)
            return TRUE;
    }
    return FALSE;
}

// Row stride (padded to 4 bytes) and frame size of a bottom-up DIB. The stride
// is kept in 16 bits and the size is published with "%d", so a size whose
// stride or frame would not fit is refused rather than wrapped.
BOOL FrameGeometry(LONG width, LONG height, WORD bitCount, WORD* stride, DWORD* frameSize)
{
    if (width <= 0 || height <= 0 || bitCount == 0)
        return FALSE;
    const unsigned long long rowBytes = ((static_cast<unsigned long long>(bitCount) * width + 31) >> 3) & ~3ull;
    if (rowBytes > 0xFFFF)
        return FALSE;
    const unsigned long long bytes = rowBytes * static_cast<unsigned long long>(height);
    if (bytes > 0x7FFFFFFF)
        return FALSE;
    *stride = static_cast<WORD>(rowBytes);
    *frameSize = static_cast<DWORD>(bytes);
    return TRUE;
}

static void CurrentSize(const CaptureSettings& settings, LONG* width, LONG* height)
{
    *width = settings.customFlag ? settings.customWidth : settings.presetWidth;
    *height = settings.customFlag ? settings.customHeight : settings.presetHeight;
}

static BOOL OpenSettingsKeys(HKEY* key, HKEY* subkey, DWORD* subkeyDisposition)
{
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, const_cast<LPWSTR>(L""), 0, KEY_ALL_ACCESS, NULL, key,
                        &disposition) != ERROR_SUCCESS)
        return FALSE;
    if (RegCreateKeyExW(*key, kSettingsSubkey, 0, const_cast<LPWSTR>(L""), 0, KEY_ALL_ACCESS, NULL, subkey,
                        subkeyDisposition) != ERROR_SUCCESS) {
        RegCloseKey(*key);
        return FALSE;
    }
    return TRUE;
}

// A value counts only when it holds exactly four bytes; its type is not checked.
static BOOL QueryDword(HKEY key, const WCHAR* name, DWORD* value)
{
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (RegQueryValueExW(key, name, NULL, NULL, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS)
        return FALSE;
    if (size != sizeof(data))
        return FALSE;
    *value = data;
    return TRUE;
}

static void ShowDriverMessage(UINT textId)
{
    WCHAR caption[128];
    WCHAR text[512];
    LoadDriverString(IDS_ZENTIVO_CAPTION, caption, ARRAYSIZE(caption));
    LoadDriverString(textId, text, ARRAYSIZE(text));
    MessageBoxW(NULL, text, caption, MB_ICONINFORMATION | 0x8000);
}

// Reads the stored settings over the values passed in. The first read on a
// machine (the subkey created now) shows how to feed the driver. A stored
// custom size that could not make a frame even at 32 bits falls back to
// 320 x 240, so that a damaged value cannot keep the device from opening.
BOOL LoadCaptureSettings(CaptureSettings* settings)
{
    HKEY key = NULL;
    HKEY subkey = NULL;
    DWORD disposition = 0;
    if (!OpenSettingsKeys(&key, &subkey, &disposition))
        return TRUE;
    if (disposition == REG_CREATED_NEW_KEY)
        ShowDriverMessage(IDS_ZENTIVO_FIRST_RUN_HINT);

    DWORD value = 0;
    if (QueryDword(subkey, L"BitCount", &value) && IsSupportedBitCount(value))
        settings->bitCount = static_cast<WORD>(value);
    if (QueryDword(subkey, L"PresetSize", &value) && value >= 1 && value <= ZENTIVO_PRESET_COUNT)
        settings->presetIndex = static_cast<WORD>(value);
    if (settings->presetIndex >= 1 && settings->presetIndex <= ZENTIVO_PRESET_COUNT) {
        settings->presetWidth = kPresetSizes[settings->presetIndex - 1].width;
        settings->presetHeight = kPresetSizes[settings->presetIndex - 1].height;
    }
    if (QueryDword(subkey, L"CustomSize", &value))
        settings->customFlag = LOWORD(value);
    if (QueryDword(subkey, L"CustomWidth", &value) && value != 0)
        settings->customWidth = static_cast<LONG>(value);
    if (QueryDword(subkey, L"CustomHeight", &value) && value != 0)
        settings->customHeight = static_cast<LONG>(value);

    WORD stride = 0;
    DWORD frameSize = 0;
    if (!FrameGeometry(settings->customWidth, settings->customHeight, 32, &stride, &frameSize)) {
        settings->customWidth = ZENTIVO_DEFAULT_WIDTH;
        settings->customHeight = ZENTIVO_DEFAULT_HEIGHT;
    }
    RegCloseKey(subkey);
    RegCloseKey(key);
    return TRUE;
}

BOOL SaveCaptureSettings(const CaptureSettings* settings)
{
    HKEY key = NULL;
    HKEY subkey = NULL;
    DWORD disposition = 0;
    if (!OpenSettingsKeys(&key, &subkey, &disposition))
        return TRUE;
    const struct {
        const WCHAR* name;
        DWORD value;
    } values[] = {
        {L"BitCount", settings->bitCount},
        {L"PresetSize", settings->presetIndex},
        {L"PresetWidth", static_cast<DWORD>(settings->presetWidth)},
        {L"PresetHeight", static_cast<DWORD>(settings->presetHeight)},
        {L"CustomSize", settings->customFlag},
        {L"CustomWidth", static_cast<DWORD>(settings->customWidth)},
        {L"CustomHeight", static_cast<DWORD>(settings->customHeight)},
    };
    for (const auto& v : values)
        RegSetValueExW(subkey, v.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v.value), sizeof(v.value));
    RegCloseKey(subkey);
    RegCloseKey(key);
    return TRUE;
}

static WORD DisplayBitCount()
{
    HDC dc = CreateDCW(L"DISPLAY", NULL, NULL, NULL);
    if (!dc)
        return 16;
    const int bits = GetDeviceCaps(dc, BITSPIXEL);
    DeleteDC(dc);
    return static_cast<WORD>(bits);
}

// Device set-up, first step: defaults, then the stored settings, then a preset
// index that must agree with the preset size.
void LoadDeviceSettings()
{
    CaptureSettings settings;
    settings.bitCount = DisplayBitCount();
    settings.presetIndex = ZENTIVO_DEFAULT_PRESET;
    settings.presetWidth = ZENTIVO_DEFAULT_WIDTH;
    settings.presetHeight = ZENTIVO_DEFAULT_HEIGHT;
    settings.customFlag = 0;
    settings.customWidth = ZENTIVO_DEFAULT_WIDTH;
    settings.customHeight = ZENTIVO_DEFAULT_HEIGHT;
    LoadCaptureSettings(&settings);

    const int found = FindPresetSize(settings.presetWidth, settings.presetHeight);
    if (found == -1 || found != settings.presetIndex) {
        settings.presetIndex = ZENTIVO_DEFAULT_PRESET;
        settings.presetWidth = ZENTIVO_DEFAULT_WIDTH;
        settings.presetHeight = ZENTIVO_DEFAULT_HEIGHT;
    }
    DriverLock lock;
    g_driver.settings = settings;
}

static void FillHeader(BITMAPINFOHEADER* header, LONG width, LONG height, WORD bitCount)
{
    ZeroMemory(header, sizeof(*header));
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = bitCount;
    header->biCompression = BI_RGB;
    const unsigned long long rowBytes = ((static_cast<unsigned long long>(bitCount) * width + 31) >> 3) & ~3ull;
    header->biSizeImage = static_cast<DWORD>(rowBytes * static_cast<unsigned long long>(height));
}

// The external-input format is taken as it is; the capture format goes
// through SetCaptureFormat and falls back to 16 bits when the display depth is
// not one the channel offers.
BOOL BuildDefaultFormats()
{
    LONG width = 0;
    LONG height = 0;
    WORD bitCount = 0;
    {
        DriverLock lock;
        CurrentSize(g_driver.settings, &width, &height);
        bitCount = g_driver.settings.bitCount;
        FillHeader(&g_driver.externalFormat, width, height, bitCount);
        g_driver.externalStride =
            static_cast<WORD>(((static_cast<unsigned long long>(bitCount) * width + 31) >> 3) & ~3ull);
        g_driver.externalFrameSize = g_driver.externalFormat.biSizeImage;
        SetRect(&g_driver.sourceRect, 0, 0, width - 1, height - 1);
    }
    BITMAPINFOHEADER capture;
    FillHeader(&capture, width, height, bitCount);
    if (SetCaptureFormat(&capture, sizeof(capture)) == DV_ERR_OK)
        return TRUE;
    FillHeader(&capture, width, height, 16);
    return SetCaptureFormat(&capture, sizeof(capture)) == DV_ERR_OK;
}

void SetUpPalette()
{
    WORD count = ZENTIVO_PALETTE_SLOTS;
    PALETTEENTRY entries[ZENTIVO_PALETTE_SLOTS];
    BOOL fromDisplay = FALSE;
    HDC dc = CreateDCW(L"DISPLAY", NULL, NULL, NULL);
    if (dc) {
        if (GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE) {
            int size = GetDeviceCaps(dc, SIZEPALETTE);
            if (size > ZENTIVO_PALETTE_SLOTS)
                size = ZENTIVO_PALETTE_SLOTS;
            if (size < 0)
                size = 0;
            count = static_cast<WORD>(GetSystemPaletteEntries(dc, 0, size, entries));
            fromDisplay = TRUE;
        }
        DeleteDC(dc);
    }
    if (!fromDisplay) {
        for (int i = 0; i < ZENTIVO_PALETTE_SLOTS; ++i) {
            entries[i].peRed = entries[i].peGreen = entries[i].peBlue = static_cast<BYTE>(i);
            entries[i].peFlags = 0;
        }
    }
    DriverLock lock;
    g_driver.paletteVersion = 0x300;
    g_driver.paletteCount = count;
    CopyMemory(g_driver.palette, entries, count * sizeof(PALETTEENTRY));
}

// Applies a capture format. The caller's header is read once: it lives in the
// caller's memory. In custom mode any positive size is taken, in preset mode
// only a size of the table; a size whose stride or frame would overflow is
// refused.
DWORD SetCaptureFormat(const BITMAPINFOHEADER* header, DWORD size)
{
    if (!header)
        return DV_ERR_PARAM1;
    if (size < sizeof(BITMAPINFOHEADER))
        return DV_ERR_SIZEFIELD;
    BITMAPINFOHEADER format = *header;
    if (format.biSize != sizeof(BITMAPINFOHEADER))
        return DV_ERR_PARAM2;
    if (format.biPlanes != 1)
        return DV_ERR_BADFORMAT;

    DriverLock lock;
    const BOOL custom = g_driver.settings.customFlag != 0;
    int preset = -1;
    if (custom) {
        if (format.biWidth <= 0 || format.biHeight <= 0)
            return DV_ERR_BADFORMAT;
    } else {
        preset = FindPresetSize(format.biWidth, format.biHeight);
        if (preset == -1)
            return DV_ERR_BADFORMAT;
    }
    if (format.biCompression != BI_RGB)
        return DV_ERR_BADFORMAT;
    if (!IsSupportedBitCount(format.biBitCount))
        return DV_ERR_BADFORMAT;
    WORD stride = 0;
    DWORD frameSize = 0;
    if (!FrameGeometry(format.biWidth, format.biHeight, format.biBitCount, &stride, &frameSize))
        return DV_ERR_BADFORMAT;

    format.biSizeImage = frameSize;
    g_driver.captureFormat = format;
    g_driver.captureStride = stride;
    g_driver.captureFrameSize = frameSize;
    g_driver.settings.bitCount = format.biBitCount;
    if (custom) {
        g_driver.settings.customWidth = format.biWidth;
        g_driver.settings.customHeight = format.biHeight;
    } else {
        g_driver.settings.presetIndex = static_cast<WORD>(preset);
        g_driver.settings.presetWidth = format.biWidth;
        g_driver.settings.presetHeight = format.biHeight;
    }
    return DV_ERR_OK;
}

static DWORD FormatConfigMessage(DWORD flags, LPVIDEOCONFIGPARMS parms)
{
    switch (flags) {
    case VIDEO_CONFIGURE_QUERYSIZE:
    case VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_QUERYSIZE:
        if (!parms->lpdwReturn)
            return DV_ERR_PARAM1;
        *parms->lpdwReturn = sizeof(BITMAPINFOHEADER);
        return DV_ERR_OK;
    case VIDEO_CONFIGURE_SET:
    case VIDEO_CONFIGURE_SET | VIDEO_CONFIGURE_CURRENT:
        return SetCaptureFormat(static_cast<const BITMAPINFOHEADER*>(parms->lpData1), parms->dwSize1);
    case VIDEO_CONFIGURE_GET:
    case VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT: {
        if (parms->dwSize1 < sizeof(BITMAPINFOHEADER))
            return DV_ERR_SIZEFIELD;
        if (!parms->lpData1)
            return DV_ERR_PARAM1;
        DriverLock lock;
        CopyMemory(parms->lpData1, &g_driver.captureFormat, sizeof(BITMAPINFOHEADER));
        return DV_ERR_OK;
    }
    }
    return DV_ERR_NOTSUPPORTED;
}

// A palette is stored only when it fits the 256 slots and the buffer really
// holds the entries it claims.
static DWORD SetPalette(const LOGPALETTE* source, DWORD size)
{
    if (!source)
        return DV_ERR_PARAM1;
    if (size < offsetof(LOGPALETTE, palPalEntry))
        return DV_ERR_SIZEFIELD;
    const WORD version = source->palVersion;
    const WORD count = source->palNumEntries;
    if (count > ZENTIVO_PALETTE_SLOTS)
        return DV_ERR_PARAM1;
    if (size < offsetof(LOGPALETTE, palPalEntry) + count * sizeof(PALETTEENTRY))
        return DV_ERR_SIZEFIELD;

    struct {
        WORD version;
        WORD count;
        PALETTEENTRY entries[ZENTIVO_PALETTE_SLOTS];
    } copy;
    copy.version = version;
    copy.count = count;
    CopyMemory(copy.entries, source->palPalEntry, count * sizeof(PALETTEENTRY));
    {
        DriverLock lock;
        g_driver.paletteVersion = version;
        g_driver.paletteCount = count;
        CopyMemory(g_driver.palette, copy.entries, count * sizeof(PALETTEENTRY));
    }
    HPALETTE palette = CreatePalette(reinterpret_cast<const LOGPALETTE*>(&copy));
    if (!palette)
        return DV_ERR_CREATEPALETTE;
    DeleteObject(palette);
    return DV_ERR_OK;
}

static DWORD PaletteMessage(DWORD flags, LPVIDEOCONFIGPARMS parms)
{
    switch (flags) {
    case VIDEO_CONFIGURE_QUERYSIZE:
    case VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_QUERYSIZE: {
        if (!parms->lpdwReturn)
            return DV_ERR_PARAM1;
        DriverLock lock;
        *parms->lpdwReturn = g_driver.paletteCount * sizeof(PALETTEENTRY) + 4;
        return DV_ERR_OK;
    }
    case VIDEO_CONFIGURE_SET:
    case VIDEO_CONFIGURE_SET | VIDEO_CONFIGURE_CURRENT:
        return SetPalette(static_cast<const LOGPALETTE*>(parms->lpData1), parms->dwSize1);
    case VIDEO_CONFIGURE_GET:
    case VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT: {
        DriverLock lock;
        if (parms->dwSize1 < g_driver.paletteCount * sizeof(PALETTEENTRY) + 4)
            return DV_ERR_SIZEFIELD;
        LOGPALETTE* target = static_cast<LOGPALETTE*>(parms->lpData1);
        if (!target)
            return DV_ERR_PARAM1;
        target->palVersion = g_driver.paletteVersion;
        target->palNumEntries = g_driver.paletteCount;
        CopyMemory(target->palPalEntry, g_driver.palette, g_driver.paletteCount * sizeof(PALETTEENTRY));
        return DV_ERR_OK;
    }
    }
    return DV_ERR_NOTSUPPORTED;
}

// DVM_FORMAT, DVM_PALETTE and DVM_PALETTERGB555 on the capture channel.
DWORD ConfigureMessage(UINT msg, DWORD flags, LPVIDEOCONFIGPARMS parms)
{
    if (msg == DVM_PALETTERGB555)
        return DV_ERR_NOTSUPPORTED;
    if (flags == (VIDEO_CONFIGURE_QUERY | VIDEO_CONFIGURE_SET) || flags == (VIDEO_CONFIGURE_QUERY | VIDEO_CONFIGURE_GET))
        return DV_ERR_OK;
    const BOOL known = flags == VIDEO_CONFIGURE_QUERYSIZE || flags == (VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_QUERYSIZE) ||
                       flags == VIDEO_CONFIGURE_SET || flags == (VIDEO_CONFIGURE_SET | VIDEO_CONFIGURE_CURRENT) ||
                       flags == VIDEO_CONFIGURE_GET || flags == (VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT);
    if (!known)
        return DV_ERR_NOTSUPPORTED;
    if (!parms)
        return DV_ERR_PARAM2;
    return msg == DVM_FORMAT ? FormatConfigMessage(flags, parms) : PaletteMessage(flags, parms);
}

// DVM_SRC_RECT on the capture channel and DVM_DST_RECT on the external input.
DWORD RectMessage(const ChannelInstance* channel, UINT msg, LPRECT rect, DWORD flags)
{
    if (!rect)
        return DV_ERR_PARAM1;
    const BOOL source = channel->channelType == VIDEO_IN && msg == DVM_SRC_RECT;
    const BOOL dest = channel->channelType == VIDEO_EXTERNALIN && msg == DVM_DST_RECT;
    if (!source && !dest)
        return DV_ERR_NOTSUPPORTED;

    DriverLock lock;
    RECT* stored = source ? &g_driver.sourceRect : &g_driver.destRect;
    switch (flags) {
    case VIDEO_CONFIGURE_SET:
    case VIDEO_CONFIGURE_SET | VIDEO_CONFIGURE_CURRENT: {
        const RECT wanted = *rect;
        BOOL accepted;
        if (source) {
            accepted = wanted.right - wanted.left == g_driver.captureFormat.biWidth &&
                       wanted.bottom - wanted.top == g_driver.captureFormat.biHeight;
        } else {
            accepted = wanted.left == 0 && wanted.top == 0;
        }
        if (!accepted)
            return DV_ERR_NOTSUPPORTED;
        *stored = wanted;
        return DV_ERR_OK;
    }
    case VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT:
        *rect = *stored;
        return DV_ERR_OK;
    case VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_MAX:
        *rect = g_driver.maxRect;
        return DV_ERR_OK;
    }
    return DV_ERR_NOTSUPPORTED;
}

static HKEY OpenDriversKey(const WCHAR* name)
{
    WCHAR path[256];
    lstrcpyW(path, kDriversKeyBase);
    lstrcatW(path, name);
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return NULL;
    return key;
}

// Deletes the first value whose string data equals `data`, ignoring case.
// Data is terminated inside our buffer whatever the registry holds.
static void DeleteFirstValueWithData(HKEY key, const WCHAR* data)
{
    WCHAR name[1025];
    WCHAR value[1025];
    for (DWORD index = 0;; ++index) {
        DWORD nameChars = ARRAYSIZE(name);
        DWORD valueBytes = 2048;
        DWORD type = 0;
        ZeroMemory(value, sizeof(value));
        const LONG result = RegEnumValueW(key, index, name, &nameChars, NULL, &type, reinterpret_cast<BYTE*>(value),
                                          &valueBytes);
        if (result == ERROR_NO_MORE_ITEMS)
            return;
        if (result != ERROR_SUCCESS)
            continue;
        if ((type == REG_SZ || type == REG_EXPAND_SZ) && lstrcmpiW(value, data) == 0) {
            RegDeleteValueW(key, name);
            return;
        }
    }
}

// DRV_REMOVE: the settings and the registrations of the product's drivers.
// Each step runs whether or not the others succeeded.
void RemoveDriverRegistration()
{
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        RegDeleteKeyW(key, kSettingsSubkey);
        RegCloseKey(key);
    }
    if ((key = OpenDriversKey(L"drivers.desc")) != NULL) {
        RegDeleteValueW(key, L"Zentivo.dll");
        RegCloseKey(key);
    }
    if ((key = OpenDriversKey(L"drivers32")) != NULL) {
        DeleteFirstValueWithData(key, L"skorvale.dll");
        RegCloseKey(key);
    }
    if ((key = OpenDriversKey(L"Userinstallable.drivers")) != NULL) {
        DeleteFirstValueWithData(key, L"Zentivo.dll");
        RegCloseKey(key);
    }
}
