#pragma once
// Ids of the test-only dialog templates (UiTest.rc).
#define IDD_TEST_DATA      900
#define IDC_TEST_NAME      901
#define IDC_TEST_COUNT     902
#define IDC_TEST_CHECK     903
#define IDC_TEST_BUTTON    904
#define IDC_TEST_BUTTON2   905
#define IDD_TEST_PAGE1     910
#define IDD_TEST_PAGE2     911
#define IDC_TEST_PAGE_EDIT 912
#define IDR_TEST_FRAME     920   // title string, menu and accelerators of a test frame
#define ID_TEST_FRAME_CMD  921   // its one command (Ctrl+Q)
#define IDS_TEST_FRAME_TITLE 920
