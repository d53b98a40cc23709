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
