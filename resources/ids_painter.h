#pragma once
// Resource ids of the image editor (painter/).

// Status texts of the recorder's paint control, one per tool: IDS_PNT_TOOL_HINT_FIRST + tool.
#define IDS_PNT_TOOL_HINT_FIRST      188
// The paste question of the catalogue's paint control (a message box it owns).
#define IDS_PNT_PASTE_LARGER         28155
// The paste question of the recorder's paint control (AfxMessageBox).
#define IDS_PNT_PASTE_LARGER_REC     40021

// The bitmap edit dialog (caption "编辑图像") and its controls.
#define IDD_PNT_BITMAP_EDIT          28101
#define IDC_PNT_ZOOM                 28000   // vertical zoom slider
#define IDC_PNT_ZOOM_MIN             28001   // "10%"
#define IDC_PNT_ZOOM_100             28002   // "100%", centred on the 100 tick
#define IDC_PNT_ZOOM_MAX             28003   // "600%"
#define IDC_PNT_CTRL                 28004   // the paint control
#define IDC_PNT_TOOLBAR_PLACE        28005   // where the tool bar goes
#define IDC_PNT_GRIP                 28023   // size grip
// The scale group, shown only by the recorder's item dialog.
#define IDC_PNT_SCALE_V              28027
#define IDC_PNT_SCALE_H              28028
#define IDC_PNT_SCALE_KEEP           28029
#define IDC_PNT_SCALE_GROUP          28030
#define IDC_PNT_SCALE_V_LABEL        28031
#define IDC_PNT_SCALE_H_LABEL        28032
#define IDC_PNT_SCALE_MIN            28033
#define IDC_PNT_SCALE_100            28034
#define IDC_PNT_SCALE_MAX            28035
#define IDC_PNT_TOOLBAR              28133   // the tool bar, and its bitmap

// The icon edit dialog ("图标编辑器").
#define IDD_PNT_ICON_EDIT            28102
#define IDC_PNT_ICON_PREVIEW         28006   // the icon at its real size

// The bitmap-size dialog ("输入位图尺寸").
#define IDD_PNT_BITMAP_SIZE          28103
#define IDC_PNT_SIZE_WIDTH_LABEL     28007
#define IDC_PNT_SIZE_WIDTH           28008
#define IDC_PNT_SIZE_HEIGHT_LABEL    28009
#define IDC_PNT_SIZE_HEIGHT          28010
#define IDC_PNT_SIZE_CROP            28011
#define IDC_PNT_SIZE_DEPTH           28012

// The caption of the recorder's item image dialog.
#define IDS_PNT_ITEM_CAPTION         135

// The text tool's bar ("文字工具"), its controls and button bitmaps.
#define IDD_PNT_TEXT_BAR             28104
#define IDC_PNT_TEXT_FONT            28013   // "字体(&F)..."
#define IDC_PNT_TEXT_EDIT_LEFT       28014   // one edit per alignment
#define IDC_PNT_TEXT_EDIT_CENTRE     28015
#define IDC_PNT_TEXT_EDIT_RIGHT      28016
#define IDC_PNT_TEXT_ALIGN_LEFT      28017
#define IDC_PNT_TEXT_ALIGN_CENTRE    28018
#define IDC_PNT_TEXT_ALIGN_RIGHT     28019
#define IDC_PNT_TEXT_BOLD            28020
#define IDC_PNT_TEXT_ITALIC          28021
#define IDC_PNT_TEXT_UNDERLINE       28022
#define IDB_PNT_TEXT_FIRST           28134   // 28134..28139: left, centre, right, bold, italic, underline
// The recorder's bar caption.
#define IDS_PNT_TEXT_CAPTION         205
// The recorder image dialog's one-time tip about the text tool.
#define IDS_PNT_TEXT_TIP_TEXT        61263
#define IDS_PNT_TEXT_TIP_TITLE       61264
// Posted by the text bar to an open "编辑图像" dialog of this process.
#define WM_PNT_TEXT_BAR_OPENED       (WM_USER + 18)
// Posted by the item dialog to itself: the text bar's edit takes the focus.
#define WM_PNT_FOCUS_TEXT            (WM_USER + 17)

// The paint control's tool cursors.
#define IDC_PNT_CURSOR_SHAPE         28145   // line and shapes, and outside the tracker
#define IDC_PNT_CURSOR_PICKER        28146
#define IDC_PNT_CURSOR_PEN           28147
#define IDC_PNT_CURSOR_ZOOM          28148
#define IDC_PNT_CURSOR_AIRBRUSH      28149
#define IDC_PNT_CURSOR_FILL          28150
#define IDC_PNT_CURSOR_ERASER        28151

// The recorder's tool bar: tips of the 29 buttons (138 + position in the bar),
// of the embedded controls (167, 169-171), its caption and the no-colour entry.
#define IDS_PNT_TOOL_TIP_FIRST       138
#define IDS_PNT_TOOLBAR_CAPTION      168
#define IDS_PNT_NO_COLOUR            242
