#pragma once
// Resource ids of the image editor (painter/).

// Status texts of the recorder's paint control, one per tool: IDS_PNT_TOOL_HINT_FIRST + tool.
#define IDS_PNT_TOOL_HINT_FIRST      188
// The paste question of the catalogue's paint control (a message box it owns).
#define IDS_PNT_PASTE_LARGER         28155
// The paste question of the recorder's paint control (AfxMessageBox).
#define IDS_PNT_PASTE_LARGER_REC     40021
