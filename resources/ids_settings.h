#pragma once
// Resource ids of the settings and utilities layer.

// Number texts of the file helpers.
#define IDS_SIZE_BYTES        10406   // "%1 字节"
#define IDS_SIZE_KB           10407   // "%1%2%3 KB"
#define IDS_SIZE_MB           10408   // "%1%2%3 MB"
#define IDS_SIZE_GB           10409   // "%1%2%3 GB"
#define IDS_SIZE_EXACT_BYTES  10412   // " (%s 字节)"

// The application's registry profile name: HKCU\Software\<key>\<this>.
#define IDS_PROFILE_NAME          61231   // "Skorvale Recorder"

// Preferences: defaults and the messages of loading.
#define IDS_TEMP_FOLDER_INVALID   33      // the temporary folder cannot be used
#define IDS_CUSTOM_CURSOR_FAILED  34      // the custom cursor cannot be loaded
#define IDS_DEFAULT_FIXED_NAME    296     // "捕获"
#define IDS_DEFAULT_AUTO_PREFIX   297     // "Capture-"
#define IDS_DEFAULT_CUSTOM_TIME   61279   // "h:mm:ss tt"
#define IDS_DEFAULT_CUSTOM_DATE   61280   // "M/dd/yyyy"

// The output-folder question.
#define IDS_FOLDER_CREATE_ASK     10432   // "文件夹: %s 不存在。..."
#define IDS_FOLDER_CREATE_FAILED  10433   // "不能创建文件: %s"

// The four custom cursor shapes of the preferences (cursor resources).
#define IDC_CUSTOM_CURSOR_0       168
#define IDC_CUSTOM_CURSOR_1       169
#define IDC_CUSTOM_CURSOR_2       171
#define IDC_CUSTOM_CURSOR_3       158
