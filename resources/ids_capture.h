#pragma once
// Resource ids of the screen capture engine: the recorder engine's error
// texts and the audio-script end dialog. Ids shared with the sound layer
// (209, 210, 212, 214-218, 233) are defined in ids_media.h.

#define IDS_SCALED_BITMAPINFO_ALLOC  185   // "不能分配成比例位图信息。"
#define IDS_SCALED_BITMAPINFO_LOCK   186
#define IDS_AUTO_AVI_WRITE_FAILED    187   // "不能写入 AVI 帧"
#define IDS_COMPRESSOR_NONE          211   // "未压缩"
#define IDS_AVI_OPEN_FAILED          213   // "不能打开暑 AVI 文件: %s (%lx)\n"
#define IDS_AVI_CLASS_SHORT          219
#define IDS_AVI_NEEDS_MULTIPLE_OF_4  220
#define IDS_AVI_CREATE_STREAM_FAILED 221   // "不能创建 AVI 文件流: %s (%lx)"
#define IDS_AVI_MAKE_COMPRESSED      222   // "不能制造压缩的 AVI 文件流: %s (%lx)\n"
#define IDS_AVI_NO_COMPRESSOR        223
#define IDS_AVI_UNSUPPORTED          224
#define IDS_AVI_UNSUPPORTED_SHORT    225
#define IDS_AVI_REPAIR_QUESTION      226
#define IDS_AVI_REPAIR_BACKUP_FAILED 227
#define IDS_AVI_REPAIR_APPLY_FAILED  228   // "不能应用 avifix.reg 注册表补丁"
#define IDS_CREATE_DISPLAY_DC_FAILED 229   // "不能创建显示 DC"
#define IDS_CREATE_COMPAT_DC_FAILED  230   // "CreateCompatibleDC 失败"
#define IDS_CREATE_COMPAT_BMP_FAILED 231   // "CreateCompatibleBitmap 失败"
#define IDS_CREATE_DIBSECTION_FAILED 232   // "不能 CreateDIBSection"
#define IDS_AVI_FRAME_WRITE_FAILED   234   // "不能写入 AVI 文件帧"
#define IDS_GLOBALALLOC_FAILED       236   // "GlobalAlloc 失败"
#define IDS_GLOBALLOCK_FAILED        237   // "GlobalLock 失败"
#define IDS_MRLE_NEEDS_256_COLORS    243
#define IDS_GETDIB_FAILED            244   // "GetDIB 失败"
#define IDS_LOCK_DIB_FAILED          245   // "不能锁定 DIB"
#define IDS_SECOND_GETDIBITS_FAILED  279   // "第二次 GetDIBIts 失败"
#define IDS_AREA_TOO_SMALL           40011 // "选择一个大的捕获范围"
#define IDS_THREAD_START_FAILED      40190
#define IDS_LIVE_OUTPUT_UNAVAILABLE  40191
#define IDS_AVI_SET_FORMAT_FAILED    40014
#define IDS_AUTO_RATE_TIP_TITLE      40016 // "捕获帧频"
#define IDS_AUTO_RATE_TIP_TEXT       40017

// The audio-script end dialog (modal): go on without the script, play it
// again, or stop the recording.
#define IDD_WAVE_SCRIPT_END          330
#define IDC_WAVE_SCRIPT_CONTINUE     (IDD_WAVE_SCRIPT_END + 1000)
#define IDC_WAVE_SCRIPT_REPLAY       (IDD_WAVE_SCRIPT_END + 1001)
#define IDC_WAVE_SCRIPT_STOP         (IDD_WAVE_SCRIPT_END + 1002)
#define IDS_CAMERA_START_FAILED      436   // "在初始化相机进行捕获时遇到错误。将不能录制相机视频。"
#define IDS_CAMERA_INITIALISING      16052 // "正在初始化相机"
#define IDS_CAMERA_REOPEN_FAILED     16065
#define IDD_CAMERA_PREVIEW           432   // "相机预览"
#define IDC_CAMERA_PREVIEW_STATUS    1615
