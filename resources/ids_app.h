#pragma once
// String ids of the program's start-up and main window.
#define IDS_APP_NEEDS_WIN2000        206   // start-up refused on an old system
#define IDS_APP_OLE_INIT_FAILED      207
#define IDS_APP_MODULE_PATH_FAILED   208   // %lx: the system error code
#define IDS_APP_CATALOGUE_FAILED     61300
#define IDS_RECORD_STATE_IDLE        122
#define IDS_RECORD_STATE_RECORDING   123
#define IDS_RECORD_STATE_PAUSED      124
