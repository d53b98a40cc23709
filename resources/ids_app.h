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
