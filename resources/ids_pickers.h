#pragma once
// Resource ids of the area pickers: their cursors and the large-area question.

// The cursor of the monitor and window pickers is the fourth custom cursor
// shape of the preferences (defined with those shapes as IDC_CUSTOM_CURSOR_3).
#define IDC_PICKER_POINT          158
#define IDC_PICKER_REGION         155     // the region picker's cross
#define IDC_PICKER_SIZE           157     // monochrome; the band's size is drawn into it

#define IDS_PICKER_TIP_CAPTION    61241   // "Skorvale 录像器提示"
#define IDS_LARGE_AREA_TITLE      307     // "大的录制尺寸"
#define IDS_LARGE_AREA_TEXT       308     // "你选定的录制尺寸大于 %dx%d。..."
