#pragma once
// Ids of the test-only resources of the control tests (ControlsTest.rc).
#define IDB_TEST_TINT     950   // 4 x 2, 24 bits: white, magenta, grey, black / red, green, blue, white
#define IDD_TEST_TIPHOST  951   // a dialog that only places a "TipTextWnd" control
#define IDC_TEST_TIPTEXT  952
#define IDI_TEST_ICON     953   // 32 x 32: left half red, right half RGB(0, 128, 255)
#define IDD_TEST_BUTTONS  954
#define IDC_TEST_DEFBTN   955
#define IDC_TEST_PLAINBTN 956
#define IDC_TEST_COLORBTN 957
#define IDC_TEST_OFFBTN   958
#define IDD_TEST_FLEX     960   // resizable: an edit, a list combo, a corner button, apply, OK
#define IDC_TEST_FLEXEDIT 961
#define IDC_TEST_FLEXCOMBO 962
#define IDC_TEST_FLEXBTN  963
#define IDC_TEST_FLEXGONE 964   // never placed in the template
#define IDB_TEST_HEADER   965   // a header bitmap for the wizard sheet
#define IDD_TEST_WIZPAGE  966
#define IDB_TEST_TOOLBAR  967   // 48 x 16: three 16 x 16 images, red, green, blue squares on grey
#define ID_TEST_CMD_A     968   // commands of the test tool bar
#define ID_TEST_CMD_B     969
#define ID_TEST_CMD_C     970
#define IDS_TEST_CMD_A    968   // "prompt\ntext" of command A
#define IDS_TEST_CMD_B    969   // text only
#define IDD_TEST_LINKS    971   // two link statics and a button
#define IDC_TEST_LINK     972
#define IDC_TEST_LINK2    973
