#pragma once
// Resource ids of the sound layer: wave input, audio conversion and effect
// sounds, and the AVI-creation progress dialog.

// Strings of the wave-input recorder.
#define IDS_WAVE_WRITE_FAILED        172   // "错误写入波形文件: %s"
#define IDS_AUDIO_COMPRESS_FAILED    174   // "不能压缩音频流"
#define IDS_LOAD_CLICK_FAILED        209   // "不能载入单击音频文件: %s"
#define IDS_LOAD_SCRIPT_FAILED       210   // "不能载入音频脚本文件: %s"
#define IDS_LOAD_KEY_FAILED          212   // "不能载入键盘音频文件: %s"
#define IDS_AVIERR_BADFORMAT         214
#define IDS_AVIERR_MEMORY            215
#define IDS_AVIERR_FILEREAD          216
#define IDS_AVIERR_FILEOPEN          217
#define IDS_AVIERR_CLASSNOTREG       218
#define IDS_WAIT_EVENT_FAILED        233   // "WaitForSingleEvent 失败"
#define IDS_TEMP_WAV_FAILED          235   // "不能创建临时 WAV 文件"
#define IDS_CANNOT_OPEN_FILE         239   // "不能打开 %s (%lx)\n"
#define IDS_AUDIO_FORMAT_READ_FAILED 251
#define IDS_AUDIO_FORMAT_TOO_SMALL   253
#define IDS_COMPRESSING_AUDIO        257   // "正在压缩音频"
#define IDS_CANNOT_RECORD_AUDIO      258   // "不能录制音频。"
#define IDS_WAVEIN_OPEN_FAILED       259   // "不能打开 wave 输入设备 (%d)"
#define IDS_WAVEIN_DEVICE_BUSY       260
#define IDS_WAVE_CREATE_FAILED       261
#define IDS_WAVE_OPEN_FAILED         262   // "不能打开波形文件 %s"
#define IDS_WAVE_NO_RIFF             263
#define IDS_WAVE_NO_DATA             264
#define IDS_WAVE_EMPTY_DATA          265
#define IDS_WAVE_SEEK_FAILED         266
#define IDS_WAVEIN_START_FAILED      267
#define IDS_FILE_WRITE_FAILED        268   // "错误写入文件 %s"
#define IDS_AUDIO_STREAM_OPEN_FAILED 269   // "不能打开音频流 %s"
#define IDS_AUDIO_FORMAT_SIZE_FAILED 270
#define IDS_FILE_READ_FAILED         271   // "错误读取文件 %s"
#define IDS_WAVE_DATA_CHUNK_FAILED   277
#define IDS_WAVE_RIFF_CHUNK_FAILED   282
#define IDS_WAVE_FORMAT_WRITE_FAILED 283
#define IDS_CREATE_EVENT_FAILED      288   // "CreateEvent 失败"
#define IDS_WAVE_FMT_CHUNK_FAILED    289
#define IDS_FAILED_SUFFIX            290   // "失败"
#define IDS_WAVEIN_THREAD_FAILED     291   // "RecordWaveIn 线程失败"
#define IDS_CANCEL_DELETE_CAPTURE    40015 // "取消后将删除当前捕获。..."
#define IDS_NO_WAVEIN_DEVICE         61223 // "这个系统中没有音频输入设备。..."

// The AVI-creation progress dialog (modeless).
#define IDD_CREATE_AVI               238
#define IDC_CREATE_AVI_PROGRESS      (IDD_CREATE_AVI + 1000)
#define IDC_CREATE_AVI_TIME_LEFT     (IDD_CREATE_AVI + 1001)
#define IDS_CREATE_AVI_TIME_LEFT     (IDD_CREATE_AVI + 2000)   // "剩余时间: 约 %d 秒"
