#pragma once
// Resource ids of the frame composition: the texts of its failures. The
// texts it shares with the capture loop (232, 244, 245) are in
// ids_capture.h, the palette-change text (178) in ids_finishing.h.

#define IDS_CHANGE_FROM_DIB_FAILED   179   // "ChangeFromDIB 失败 (%d)"
#define IDS_RESAMPLE_FAILED          181   // "重新采样失败 (%d)"
#define IDS_CONVERT_DIB_FAILED       183   // "ConvertDIB 失败"
#define IDS_WATERMARK_FILE_UNREADABLE    61212 // "不能打开名为“%s”的水印文件。..."
