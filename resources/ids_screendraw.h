#pragma once
// Resource ids of screen drawing: its menu, accelerators, tool cursors and
// commands.
#define IDR_SCREENDRAW_MENU       290     // popup "屏幕绘制"
#define IDR_SCREENDRAW_ACCEL      291
#define IDC_DRAW_FRAME            292     // tool cursors (tools 0-5: 292, 293, 295-298)
#define IDC_DRAW_HIGHLIGHT        293
#define IDC_DRAW_DEFAULT          294
#define IDC_DRAW_ELLIPSE          295
#define IDC_DRAW_PEN              296
#define IDC_DRAW_LINE             297
#define IDC_DRAW_ARROW            298

// Tools: DrawTool = id - ID_DRAW_FRAME.
#define ID_DRAW_FRAME             32908
#define ID_DRAW_HIGHLIGHT         32909
#define ID_DRAW_ELLIPSE           32910
#define ID_DRAW_PEN               32911
#define ID_DRAW_LINE              32912
#define ID_DRAW_ARROW             32913
#define ID_DRAW_STOP              32914   // ends drawing
// Widths 1-8: width = id - ID_DRAW_STOP.
#define ID_DRAW_WIDTH_1           32915
#define ID_DRAW_WIDTH_8           32922
// Colours in the order of the colour table: index = id - ID_DRAW_COLOR_FIRST.
#define ID_DRAW_COLOR_FIRST       32923   // black
#define ID_DRAW_COLOR_LAST        32930   // red
#define ID_DRAW_TRANSLUCENT       32931
#define ID_DRAW_UNDO              32932
// The first and last command of the drawing window.
#define ID_DRAW_FIRST             ID_DRAW_FRAME
#define ID_DRAW_LAST              ID_DRAW_UNDO
