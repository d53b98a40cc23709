#pragma once
// Resource ids of finishing and saving a recording: inserting and
// interleaving the sound, the recording manifest and package, the progress
// dialog of the package writer and the save step. Ids shared with the sound
// layer (239, 214-218, 251, 253, 262, 263, 266, 268, 271, 277, 282, 283, 289,
// 290, 174, 40015) are defined in ids_media.h; 221 in ids_capture.h.

// Inserting sound into a WAV file.
#define IDS_ACM_METRICS_FAILED       85    // "acmMetrics 失败"
#define IDS_INSERTING_AUDIO          238   // "正在插入音频"
#define IDS_STREAM_INFO_FAILED       252   // "不能读取流信息 %s"
#define IDS_GET_STREAM_FAILED        254   // "不能获取视频流 %s"
#define IDS_ACM_OPEN_FAILED          255   // "acmStreamOpen 失败"
#define IDS_ACM_SIZE_FAILED          256   // "acmStreamSize 失败"
#define IDS_CANNOT_CONVERT_WAVE      280   // "不能转换波形文件格式"
#define IDS_WAVE_CREATE_FILE_FAILED  281   // "不能创建波形文件 %s"
#define IDS_WAVE_NO_DATA_CHUNK       284   // "波形文件中无数据块"
#define IDS_WAVE_NO_DATA_SIZE        285   // "不能找到波形文件中数据块大小"
#define IDS_INSERTING_SILENCE        286   // "正在插入静音"
#define IDS_WAVE_SEEK_END_FAILED     287   // "不能打到波形文件结尾"

// Finishing a recording.
#define IDS_CANNOT_INSERT_WAV        173   // "不能插入 WAV 文件"
#define IDS_CANNOT_CREATE_RENDER_AVI 175   // "不能创建临时渲染 AVI 文件。"
#define IDS_CANNOT_SAVE_RENDERED_AVI 176   // "不能保存已渲染的 AVI 文件。"
#define IDS_CANNOT_RENDER_AVI        177   // "不能渲染 AVI 文件。"
#define IDS_PALETTE_CHANGE_FAILED    178   // "不能写入调色板改变到 AVI 文件"
#define IDS_INTERLEAVING_AUDIO       246   // "正在交错音频"
#define IDS_RENDERING_AUDIO          247   // "正在渲染音频"
#define IDS_AUDIO_READ_FAILED        248   // "错误读取音频流 %s"
#define IDS_AUDIO_WRITE_FAILED       249   // "错误写入音频流 %s"
#define IDS_VIDEO_WRITE_FAILED       250   // "错误写入视频流 %s"
#define IDS_DIRECTX_TOO_OLD_TO_JOIN  298
#define IDS_JOIN_TITLE               305   // "合并"
#define IDS_JOIN_TEXT                306   // "合并临时文件"
#define IDS_TEMP_CAPTURE_MISSING     40012 // "不能保存文件。临时捕获文件不存在!"
#define IDS_CANNOT_SAVE_AS_TEMP      40013 // "不能保存为临时文件"

// The recording manifest and package.
#define IDS_DEFAULT_CODEC            16041 // "默认编码"
#define IDS_MANIFEST_TOO_NEW         16045
#define IDS_MANIFEST_BAD_VERSION     16046
#define IDS_PROCESSING_RECORDING     16234 // "正在处理录制内容"

// The recovery of an interrupted recording.
#define IDS_RECOVER_SCREEN_TITLE     16053 // "正在恢复屏幕录制内容"
#define IDS_RECOVER_CANNOT_SAVE      16054 // %s: the file that cannot be saved
#define IDS_RECOVER_CAMERA_TITLE     16055 // %d: the step
#define IDS_RECOVER_SAVE_AS          16056 // "恢复的文件另存为"
#define IDS_RECOVER_AVI_FILTER       16057
#define IDS_RECOVER_SKOREC_FILTER    16058
#define IDS_RECOVER_CONFIRM_CANCEL   16059
#define IDS_RECOVER_ASK              16060
#define IDS_RECOVER_DONE             16061 // %s: the saved file
#define IDS_RECOVER_CAMERA_DAMAGED   16062
#define IDS_PROCESSING_PERCENT       16235 // "处理: %d%%"

// The progress dialog of the package writer.
#define IDD_PROGRESS                 16236
#define IDC_PROGRESS_BAR             16237
#define IDC_PROGRESS_STATUS          16238
#define IDI_PROGRESS                 16022

// The save step.
#define IDS_PACKAGE_RETRY            449
#define IDS_RECORDER_TITLE           61232 // "Skorvale 录像器"
#define IDS_CONFIRM_DISCARD          61299 // "你确认想要删除当前视频捕获吗？"
#define IDS_CANNOT_SAVE_FILE         61305
#define IDS_SAVE_GAVE_UP             61306 // the save kept failing under a fixed name
#define IDS_RECORDING_KEPT           61307 // %s: the recording's folder, kept for recovery
