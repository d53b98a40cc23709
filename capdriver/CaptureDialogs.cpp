// The format dialog (resource 201) and the about dialog (resource 200).
#include "capdriver/DriverState.h"
#include "resources/zentivo_ids.h"

#include <limits.h>

int LoadDriverString(UINT id, WCHAR* buffer, int chars)
{
    const int length = LoadStringW(g_driver.instance, id, buffer, chars);
    if (length <= 0 && chars > 0)
        buffer[0] = L'\0';
    return length;
}

static void ShowSizeMessage(UINT textId)
{
    WCHAR caption[128];
    WCHAR text[256];
    LoadDriverString(IDS_ZENTIVO_CAPTION, caption, ARRAYSIZE(caption));
    LoadDriverString(textId, text, ARRAYSIZE(text));
    MessageBoxW(NULL, text, caption, MB_ICONINFORMATION | 0x8000);
}

static void EnableSizeControls(HWND dialog, BOOL custom)
{
    EnableWindow(GetDlgItem(dialog, IDC_ZENTIVO_SIZE_LIST), !custom);
    EnableWindow(GetDlgItem(dialog, IDC_ZENTIVO_CUSTOM_WIDTH), custom);
    EnableWindow(GetDlgItem(dialog, IDC_ZENTIVO_CUSTOM_HEIGHT), custom);
}

static void InitFormatDialog(HWND dialog)
{
    CaptureSettings settings;
    {
        DriverLock lock;
        settings = g_driver.settings;
    }
    SetDlgItemInt(dialog, IDC_ZENTIVO_CUSTOM_WIDTH, static_cast<UINT>(settings.customWidth), FALSE);
    SetDlgItemInt(dialog, IDC_ZENTIVO_CUSTOM_HEIGHT, static_cast<UINT>(settings.customHeight), FALSE);
    EnableSizeControls(dialog, settings.customFlag != 0);
    CheckDlgButton(dialog, IDC_ZENTIVO_CUSTOM_SIZE, settings.customFlag ? BST_CHECKED : BST_UNCHECKED);

    WCHAR label[64];
    for (int i = 0; i < ZENTIVO_PRESET_COUNT; ++i) {
        LoadDriverString(IDS_ZENTIVO_PRESET_FIRST + i, label, ARRAYSIZE(label));
        SendDlgItemMessageW(dialog, IDC_ZENTIVO_SIZE_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label));
    }
    SendDlgItemMessageW(dialog, IDC_ZENTIVO_SIZE_LIST, CB_SETCURSEL, settings.presetIndex - 1, 0);

    int selected = 0;
    for (int i = 0; i < 4; ++i) {
        LoadDriverString(IDS_ZENTIVO_FORMAT_FIRST + i, label, ARRAYSIZE(label));
        SendDlgItemMessageW(dialog, IDC_ZENTIVO_FORMAT_LIST, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label));
        if (kFormatBitCounts[i] == settings.bitCount)
            selected = i;
    }
    SendDlgItemMessageW(dialog, IDC_ZENTIVO_FORMAT_LIST, CB_SETCURSEL, selected, 0);
}

// Reads a size field as an unsigned number that must be positive as a signed
// 32-bit value; anything else (empty, text, zero, too large) answers 0.
static LONG ReadSizeField(HWND dialog, int id)
{
    BOOL translated = FALSE;
    const UINT value = GetDlgItemInt(dialog, id, &translated, FALSE);
    if (!translated || value == 0 || value > static_cast<UINT>(INT_MAX))
        return 0;
    return static_cast<LONG>(value);
}

// OK: applies the chosen format and size and stores the settings. A custom
// size that the format cannot take (its stride or frame would overflow) is
// reported and changes nothing, so that no size is stored that the driver
// would refuse at its next start.
static BOOL ApplyFormatDialog(HWND dialog)
{
    const LONG customWidth = ReadSizeField(dialog, IDC_ZENTIVO_CUSTOM_WIDTH);
    const LONG customHeight = ReadSizeField(dialog, IDC_ZENTIVO_CUSTOM_HEIGHT);
    if (!customWidth || !customHeight) {
        ShowSizeMessage(IDS_ZENTIVO_SIZE_NOT_ZERO);
        return FALSE;
    }
    const BOOL custom = IsDlgButtonChecked(dialog, IDC_ZENTIVO_CUSTOM_SIZE) == BST_CHECKED;
    const LRESULT sizeRow = SendDlgItemMessageW(dialog, IDC_ZENTIVO_SIZE_LIST, CB_GETCURSEL, 0, 0);
    LRESULT formatRow = SendDlgItemMessageW(dialog, IDC_ZENTIVO_FORMAT_LIST, CB_GETCURSEL, 0, 0);
    if (formatRow < 0 || formatRow >= 4)
        formatRow = 0;

    CaptureSettings previous;
    CaptureSettings chosen;
    {
        DriverLock lock;
        previous = g_driver.settings;
        chosen = previous;
        if (sizeRow >= 0 && sizeRow < ZENTIVO_PRESET_COUNT) {
            chosen.presetIndex = static_cast<WORD>(sizeRow + 1);
            chosen.presetWidth = kPresetSizes[sizeRow].width;
            chosen.presetHeight = kPresetSizes[sizeRow].height;
        }
        chosen.customWidth = customWidth;
        chosen.customHeight = customHeight;
        chosen.customFlag = custom ? 1 : 0;
        g_driver.settings = chosen;
    }

    BITMAPINFOHEADER format;
    ZeroMemory(&format, sizeof(format));
    format.biSize = sizeof(format);
    format.biWidth = custom ? customWidth : chosen.presetWidth;
    format.biHeight = custom ? customHeight : chosen.presetHeight;
    format.biPlanes = 1;
    format.biBitCount = kFormatBitCounts[formatRow];
    format.biCompression = BI_RGB;
    if (SetCaptureFormat(&format, sizeof(format)) != DV_ERR_OK) {
        {
            DriverLock lock;
            g_driver.settings = previous;
        }
        ShowSizeMessage(IDS_ZENTIVO_SIZE_TOO_LARGE);
        return FALSE;
    }
    CaptureSettings stored;
    {
        DriverLock lock;
        stored = g_driver.settings;
    }
    SaveCaptureSettings(&stored);
    return TRUE;
}

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        InitFormatDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_ZENTIVO_CUSTOM_SIZE:
            if (HIWORD(wParam) == BN_CLICKED)
                EnableSizeControls(dialog, IsDlgButtonChecked(dialog, IDC_ZENTIVO_CUSTOM_SIZE) == BST_CHECKED);
            return TRUE;
        case IDOK:
            if (ApplyFormatDialog(dialog))
                EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        case IDC_ZENTIVO_ABOUT:
            DialogBoxParamW(g_driver.instance, MAKEINTRESOURCEW(IDD_ZENTIVO_ABOUT), dialog, AboutDialogProc, 0);
            return TRUE;
        }
        return FALSE;
    case WM_ENDSESSION:
        if (wParam)
            EndDialog(dialog, IDCANCEL);
        return FALSE;
    case WM_HELP:
    case WM_CONTEXTMENU:
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
    case WM_HELP:
    case WM_CONTEXTMENU:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    case WM_ENDSESSION:
        if (wParam)
            EndDialog(dialog, 0);
        return FALSE;
    }
    return FALSE;
}
