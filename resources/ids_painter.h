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
