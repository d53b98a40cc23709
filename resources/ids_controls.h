#pragma once
// Ids of the control library: strings, the tip dialog and its controls, the
// link cursor.

// Long-name file dialog messages.
#define IDS_FILE_SAVE_PATH_TOO_LONG   10402   // "文件“%s”不能保存，因为路径太长，..."
#define IDS_FILE_OPEN_PATH_TOO_LONG   10403   // "“文件“%s”不能打开，因为路径太长，..."
#define IDS_FILE_BAD_EXTENSION        10404   // "文件“%1”不是以一个有效的扩展名结尾。..."
#define IDS_FILE_EXTENSION_LOST_NOTE  10405   // Windows may shorten long paths
#define IDS_FILE_BAD_CHARACTERS       10436   // "文件名“%s”包含下列无效的字符: “%s”"

// The tip dialog (template and its controls).
#define IDD_TIP                       10411
#define IDC_TIP_SHOW_AGAIN            10611
#define IDC_TIP_TEXT                  10612
#define IDC_TIP_NEXT                  10613
#define IDC_TIP_PREVIOUS              10614

// Hand cursor over links of the text window.
#define IDC_CURSOR_LINK               10412

// Tip dialog and text window strings.
#define IDS_TIP_CAPTION               10713   // "工具提示"
#define IDS_TIP_SHOW_AGAIN            10714   // "重新显示提示(&S)"
#define IDS_LINK_OPEN_FAILED          10716   // "不能打开链接:\n\n"
#define IDS_TIP_YES                   10718   // "是(&Y)"
#define IDS_TIP_NO                    10719   // "否(&N)"

// Colour button channel names.
#define IDS_COLOUR_GREEN              10802   // "绿色"
#define IDS_COLOUR_BLUE               10803   // "蓝色"
#define IDS_COLOUR_RED                10804   // "红色"

// Hyperlink: its hand cursor and the failure message.
#define IDC_CURSOR_HAND               10800
#define IDS_LINK_CANNOT_OPEN          10805   // "不能打开链接 (%d)"

// Colour picker items.
#define IDS_COLOUR_AUTOMATIC          28041   // "自动"
#define IDS_COLOUR_MORE               28042   // "更多颜色..."

// Balloon tip title.
#define IDS_BALLOON_TITLE             16023   // "Skorvale Studio 提示"
