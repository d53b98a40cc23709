#pragma once
// Resource ids of the live-output writer: the texts of a failed frame
// conversion and of a live-output format that cannot be written.

#define IDS_LIVE_CONVERT_FROM_DIB_FAILED 180   // "ConvertFromDIB 失败 (%d)"
#define IDS_LIVE_CHANGE_TO_DIB_FAILED    182   // "ChangeToDIB 失败"
#define IDS_LIVE_COLOR_RES_FAILED        184   // "ColorRes 失败 (%d)"
#define IDS_LIVE_FORMAT_INVALID          40196 // width, height, bit count, image size, mapped bytes
