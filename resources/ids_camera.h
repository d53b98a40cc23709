#pragma once
// Resource ids of the camera dialogs: the camera settings page (and its
// variant with the compressor choice) and the video compression dialog.
// 16041 (the default codec's name) is in ids_finishing.h.

#define IDS_CAMERA_NO_DEVICE          16040 // "未找到相机设备。"
#define IDS_CAMERA_DEVICE_NOT_FOUND   16217 // "选定的驱动程序不能在系统中定位。"
#define IDS_CAMERA_CODEC_NOT_FOUND    16218 // "选定的编码不能在系统中定位。"
#define IDS_CAMERA_PAGE_TITLE         16219 // "选择相机设置"
#define IDS_CAMERA_PAGE_SUBTITLE      16220 // "选择视频设置。"

// The video compression dialog.
#define IDD_CAMERA_VIDEO_COMPRESSION  16212 // "视频压缩配置"
#define IDC_VCOMP_QUALITY_LABEL       16196
#define IDC_VCOMP_QUALITY             16197 // scroll bar 0..100
#define IDC_VCOMP_USE_KEY_FRAMES      16198
#define IDC_VCOMP_KEY_FRAMES          16199
#define IDC_VCOMP_USE_DATA_RATE       16200
#define IDC_VCOMP_DATA_RATE           16201
#define IDC_VCOMP_FRAMES_LABEL        16202
#define IDC_VCOMP_RATE_UNIT           16203 // "KB/秒"
#define IDC_VCOMP_CONFIGURE           16204
#define IDC_VCOMP_ABOUT               16205
#define IDC_VCOMP_QUALITY_VALUE       16211

// The camera settings page ("相机") and its variant that also picks the
// compressor (codec combo and compression settings button).
#define IDD_CAMERA_PAGE               16214
#define IDD_CAMERA_PAGE_CODEC         16221
#define IDC_CAMPAGE_DEVICE            16206
#define IDC_CAMPAGE_PROPERTIES        16207
#define IDC_CAMPAGE_FORMAT            16208
#define IDC_CAMPAGE_CODEC             16209
#define IDC_CAMPAGE_COMPRESSION       16210
#define IDC_CAMPAGE_DEFAULT           16213
#define IDC_CAMPAGE_PREVIEW_FRAME     16215
#define IDC_CAMPAGE_ERROR             16216

// Posted to the page's window to notify when the page becomes active
// (wParam 0, lParam 3).
#define WM_CAMERA_PAGE_ACTIVE         0x470
