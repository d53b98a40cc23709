#pragma once
// Resource ids of the Zentivo capture driver (resources/Zentivo.rc). The
// dialog and control numbers are the ones capture programs and tests address.

#define IDI_ZENTIVO                 100

// About dialog.
#define IDD_ZENTIVO_ABOUT           200
#define IDC_ZENTIVO_ABOUT_VERSION   (IDD_ZENTIVO_ABOUT + 10)
#define IDC_ZENTIVO_ABOUT_MAKER1    (IDD_ZENTIVO_ABOUT + 11)
#define IDC_ZENTIVO_ABOUT_MAKER2    (IDD_ZENTIVO_ABOUT + 12)
#define IDC_ZENTIVO_ABOUT_WEB       (IDD_ZENTIVO_ABOUT + 13)

// Format dialog.
#define IDD_ZENTIVO_FORMAT          201
#define IDC_ZENTIVO_FORMAT_LIST     103
#define IDC_ZENTIVO_SIZE_LIST       104
#define IDC_ZENTIVO_CUSTOM_SIZE     1000
#define IDC_ZENTIVO_CUSTOM_WIDTH    1001
#define IDC_ZENTIVO_CUSTOM_HEIGHT   1002
#define IDC_ZENTIVO_ABOUT           1003

// Strings: the preset-size labels in table order (index 1 to 18), the format
// labels (8, 16, 24, 32 bits) and the message boxes.
#define IDS_ZENTIVO_PRESET_FIRST    300
#define IDS_ZENTIVO_FORMAT_FIRST    330
#define IDS_ZENTIVO_CAPTION         340
#define IDS_ZENTIVO_FIRST_RUN_HINT  341
#define IDS_ZENTIVO_SIZE_NOT_ZERO   342
#define IDS_ZENTIVO_SIZE_TOO_LARGE  343
