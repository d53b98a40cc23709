#pragma once
// Ids of the catalogue windows: the item grid, the manager with its page
// headers, the recorder's item window and the host dialog.

// Icons.
#define IDI_CAT_HOST                  2       // the host dialog's icon: the program's own
#define IDI_CAT_NEW_SHAPE_BROWSE      275
#define IDI_CAT_LAYOUT_ITEM           276
#define IDI_CAT_LOCK                  28577
#define IDI_CAT_TEXT_ITEM             28578
#define IDI_CAT_PAGE                  28579
#define IDI_CAT_LAYOUT_PAGE           28583
#define IDI_CAT_NOTES_PAGE            28585

// Cursors.
#define IDC_CAT_DRAG_OUT              274

// Menus.
#define IDM_CAT_RECORDER_ITEM         176
#define IDM_CAT_RECORDER_HEADER       177
#define IDM_CAT_HOST                  307
#define IDM_CAT_LAYOUT_POPUP          323
#define IDM_CAT_SHAPE_POPUP           324
#define IDM_CAT_NOTE_POPUP            325
#define IDM_CAT_ITEM                  28580
#define IDM_CAT_MANAGER               28581

// Dialogs and controls.
#define IDD_CAT_HOST                  272
#define IDD_CAT_CHOOSER               308
#define IDC_CAT_CHOOSER_LIST          1474
#define IDC_CAT_MANAGER               333
#define IDC_CAT_ITEMS                 28610
#define IDC_CAT_RENAME_MULTI          28612
#define IDC_CAT_RENAME_SINGLE         28613

// Commands of the item grid and the manager.
#define ID_CAT_COPY                   60672
#define ID_CAT_PASTE                  60673
#define ID_CAT_DELETE                 60674
#define ID_CAT_VIEW_ICONS             60675
#define ID_CAT_VIEW_SMALL             60676
#define ID_CAT_VIEW_LIST              60677
#define ID_CAT_VIEW_ROWS              60678
#define ID_CAT_NEW_PAGE               60679
#define ID_CAT_OPEN_PAGE              60680
#define ID_CAT_CLOSE_PAGE             60681
#define ID_CAT_CHANGE_ICON            60682
#define ID_CAT_ACTIVATE_PAGE          60683
#define ID_CAT_EDIT_ICON              60684

// Commands of the recorder's catalogue.
#define ID_CAT_NEW_SHAPE              60691
#define ID_CAT_EDIT_SHAPE_IMAGE       60692
#define ID_CATR_SAVE_LAYOUT           60699
#define ID_CAT_OPEN_LAYOUT            60701
#define ID_CAT_NEW_LAYOUT_LIB         60702
#define ID_CAT_OPEN_FILE              60703
#define ID_CATR_CLOSE_ALL             60704
#define ID_CATR_REFRESH               60705
#define ID_CAT_EDIT_SHAPE_ITEM        60706
#define ID_CAT_LAYOUT_NEXT            60707
#define ID_CAT_LAYOUT_PREV            60708
#define ID_CAT_LAYOUT_TOGGLE          60709
#define ID_CAT_NEW_NOTE_LIB           32937
#define ID_CAT_OPEN_NOTE_LIB          32938
#define ID_CAT_CLOSE_LIB              32939
#define ID_CAT_PAGE_FIRST             32978
#define ID_CAT_PAGE_LAST              32985
#define ID_CAT_LIBRARY_LIST           32986
#define ID_CAT_HIDE                   32987
#define ID_CAT_EDIT_NOTE              32996
#define ID_CAT_HOTKEYS                32997
#define ID_CAT_NEW_NOTE               32998
#define ID_CAT_NEW_SHAPE_LIB          32999
#define ID_CAT_OPEN_SHAPE_LIB         33000
#define ID_CAT_ITEM_OPACITY           33003
#define ID_CAT_PROPERTIES             33007

// Strings.
#define IDS_CAT_PROPERTIES_TITLE      24
#define IDS_CAT_SIZE                  32
#define IDS_CAT_LOCATION              136
#define IDS_CAT_BYTES                 137
#define IDS_CAT_LAYOUT_PREFIX         240
#define IDS_CAT_SHAPE_PREFIX          241
#define IDS_CAT_TAB_FACE              28597
#define IDS_CAT_ITEM_FACE             28598
#define IDS_CAT_LAYOUT_NAME           28600
#define IDS_CAT_NEW_LAYOUT_LIB        28601
#define IDS_CAT_POPUP_TITLE           40018
#define IDS_CAT_FOLDER_FAILED         61215
#define IDS_CAT_UPGRADE_ASK           61251
#define IDS_CAT_UPGRADE_READONLY      61257
#define IDS_CAT_UPGRADE_CONFIRM       61258
#define IDS_CAT_TIP_TITLE             61261
#define IDS_CAT_TIP_TEXT              61262
#define IDS_CAT_NEW_LIBRARY_NAME      IDS_CAT_NEW_LIBRARY

// New-shape dialog.
#define IDD_NEW_SHAPE                 269
#define IDC_SHAPE_NAME                1367
#define IDC_SHAPE_BLANK               1425
#define IDC_SHAPE_FILE                1426
#define IDC_SHAPE_PATH                1427
#define IDC_SHAPE_TEXT                1429
#define IDC_SHAPE_BROWSE              1430
#define IDC_SHAPE_WIDTH               7507
#define IDC_SHAPE_HEIGHT              7508
#define IDS_SHAPE_NO_FILE             40001
#define IDS_SHAPE_IMAGE_FAILED        40033
#define IDS_SHAPE_NAME_EMPTY          61252
#define IDS_SHAPE_NAME_BAD            61253
#define IDS_SHAPE_BAD_WIDTH           61254
#define IDS_SHAPE_BAD_HEIGHT          61255
#define IDS_SHAPE_IMPORT_TITLE        61281
#define IDS_SHAPE_IMPORT_FILTER       61282
