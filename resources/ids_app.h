#pragma once
// String ids of the program's start-up and main window.
#define IDS_APP_NEEDS_WIN2000        206   // start-up refused on an old system
#define IDS_APP_OLE_INIT_FAILED      207
#define IDS_APP_MODULE_PATH_FAILED   208   // %lx: the system error code
#define IDS_APP_CATALOGUE_FAILED     61300
#define IDS_RECORD_STATE_IDLE        122
#define IDS_RECORD_STATE_RECORDING   123
#define IDS_RECORD_STATE_PAUSED      124

// Commands of the main window's own menus (tray menu), clear of the ids the
// other subsystems use.
#define ID_MAIN_RECORD_PAUSE         33100
#define ID_MAIN_STOP                 33101
#define ID_MAIN_DELETE               33102
#define ID_MAIN_SHOW_WINDOW          33103
#define IDS_MAIN_DELETE_CONFIRM      33104   // asked before a recording is deleted
#define IDM_MAIN_TRAY                33105   // the tray icon's right-button menu

// The main window's menu (resource 2) and tool bar.
#define IDR_MAINFRAME                2
#define IDB_MAIN_TOOLBAR             33106   // 64 x 16: record, stop, delete, pause
#define IDI_MAIN_PROGRAM             2       // the program's icon
#define IDI_MAIN_TRAY_RECORDING      33114   // tray images of the recording state
#define IDI_MAIN_TRAY_PAUSED         33115
#define ID_APP_EXIT                  0xE141  // 57665
#define ID_HELP_INDEX                0xE142  // 57666
#define AFX_IDS_IDLEMESSAGE_TEXT     0xE001  // 57345: the status bar's idle text
#define IDS_MAIN_TB_RECORD           33107   // tool-bar captions
#define IDS_MAIN_TB_STOP             33108
#define IDS_MAIN_TB_DELETE           33109
#define ID_MAIN_SCREEN_DRAW          33140   // opens or ends screen drawing
#define ID_MAIN_CAMERA_PREVIEW       33141   // shows or hides the camera preview
#define ID_MAIN_OPT_WATERMARK        33110   // the Options menu
#define ID_MAIN_OPT_STAMP_ORDER      33111
#define ID_MAIN_OPT_TIME_DATE        33112
#define IDS_MAIN_WATERMARK_TITLE     33113
