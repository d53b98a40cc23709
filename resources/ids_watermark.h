#pragma once
// Resource ids of the watermark: its options page, the preview window, the
// browse icon, the emboss direction names and the page's texts.

#define IDD_WATERMARK_PAGE              16022   // "水印"
#define IDI_WATERMARK_BROWSE            16023
#define IDS_WATERMARK_HINT_TEXT         16025
#define IDS_WATERMARK_HINT_TITLE        16026   // "透明 PNG 支持"
// Emboss directions in the order of the direction combo (16031 is not used).
#define IDS_EMBOSS_NORTH                16027   // "北"
#define IDS_EMBOSS_NORTH_EAST           16028
#define IDS_EMBOSS_EAST                 16029
#define IDS_EMBOSS_SOUTH_EAST           16030
#define IDS_EMBOSS_SOUTH                16032
#define IDS_EMBOSS_SOUTH_WEST           16033
#define IDS_EMBOSS_WEST                 16034
#define IDS_EMBOSS_NORTH_WEST           16035
#define IDS_WATERMARK_BROWSE_TITLE      16122   // "选择水印"
#define IDS_WATERMARK_FILTER            16123
#define IDS_WATERMARK_OPEN_FAILED       16124   // "不能打开水印图像:\n%s"
#define IDD_WATERMARK_PREVIEW           16130   // "水印预览"

// Controls of the watermark page.
#define IDC_WM_KEEP_IMAGE_SIZE          16150
#define IDC_WM_EMBOSS_DIRECTION         16151
#define IDC_WM_EMBOSS                   16152
#define IDC_WM_PATH                     16153
#define IDC_WM_INCLUDE                  16154
#define IDC_WM_PREVIEW                  16155
#define IDC_WM_BROWSE                   16156
#define IDC_WM_SCALE                    16157
#define IDC_WM_HORZ_OFFSET              16158
#define IDC_WM_VERT_OFFSET              16159
#define IDC_WM_KEEP_ASPECT              16160
#define IDC_WM_SMOOTH                   16161
#define IDC_WM_SCALE_VALUE              16162
#define IDC_WM_HORZ_VALUE               16163
#define IDC_WM_VERT_VALUE               16164
#define IDC_WM_OPACITY                  16165
#define IDC_WM_USE_TRANSPARENT          16166
#define IDC_WM_CHANGE_COLOUR            16167
#define IDC_WM_COLOUR_SWATCH            16168
#define IDC_WM_OPACITY_VALUE            16169
#define IDC_WM_DEPTH                    16170
#define IDC_WM_OPACITY_LABEL            16171
#define IDC_WM_OPACITY_UNIT             16172
#define IDC_WM_SCALE_LABEL              16173
#define IDC_WM_SCALE_UNIT               16174
#define IDC_WM_HORZ_LABEL               16175
#define IDC_WM_HORZ_UNIT                16176
#define IDC_WM_VERT_LABEL               16177
#define IDC_WM_VERT_UNIT                16178
#define IDC_WM_PATH_GROUP               16179
#define IDC_WM_SIZE_GROUP               16180
#define IDC_WM_POSITION_GROUP           16181
#define IDC_WM_EFFECT_GROUP             16182
#define IDC_WM_DEPTH_LABEL              16183
#define IDC_WM_DEPTH_VALUE              16184
#define IDC_WM_DIRECTION_LABEL          16185
#define IDC_WM_POSITION_FIRST           16186   // top left; + position up to 16194
#define IDC_WM_POSITION_LAST            16194   // bottom right
