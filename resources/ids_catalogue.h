#pragma once
// Ids of the screen-notes catalogue: the library strings.

#define IDS_CAT_TEXT_EXT_WRONG        28591   // "错误的文本便条库文件扩展名"
#define IDS_CAT_ICON_FILTER           28594   // icon files filter of the change-icon dialog
#define IDS_CAT_NEW_LIBRARY           28602   // "新建库"
#define IDS_CAT_ALREADY_OPEN          28603   // "不能创建库 %1。..."
#define IDS_CAT_SHAPE_EXT_WRONG       28604   // "错误的形状库文件扩展名"
#define IDS_CAT_LAYOUT_EXT_WRONG      28605   // "错误的编排库文件扩展名"
