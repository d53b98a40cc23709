#pragma once
// Resource ids of the system stamp: the names of its items, the stamp-order
// dialog and the time/date format dialog.

// Display names of the stamp items, shown only by the order dialog.
#define IDS_STAMP_TIMEDATE          97    // "时间/日期"
#define IDS_STAMP_ELAPTIME          98    // "已用时间"
#define IDS_STAMP_USERNAME          99    // "用户名"
#define IDS_STAMP_COMPNAME          100   // "电脑名"

// Entries and messages of the time/date format dialog.
#define IDS_TDF_WINDOWS_DEFAULT     61273 // "Windows 默认"
#define IDS_TDF_CUSTOM_FORMAT       61274 // "自定义格式"
#define IDS_TDF_NEED_CUSTOM_DATE    61275
#define IDS_TDF_NEED_CUSTOM_TIME    61276

// The stamp-order dialog.
#define IDD_STAMP_ORDER             318
#define IDC_STAMP_ORDER_LIST        1490
#define IDC_STAMP_ORDER_UP          1491
#define IDC_STAMP_ORDER_DOWN        1492

// The time/date format dialog.
#define IDD_TIME_DATE_FORMAT        316
#define IDC_TDF_DATE_LIST           1376
#define IDC_TDF_TIME_LIST           1378
#define IDC_TDF_CUSTOM_TIME         1498
#define IDC_TDF_CUSTOM_DATE         1500
#define IDC_TDF_PREVIEW             1504
#define IDC_TDF_TIME_SAMPLE         1513  // a system picture formatted, after "给:"
#define IDC_TDF_TIME_PICTURE        1514  // that picture, after "用:"
#define IDC_TDF_DATE_SAMPLE         1515
#define IDC_TDF_DATE_PICTURE        1516
#define IDC_TDF_MODE_DATE_ONLY      1517
#define IDC_TDF_MODE_DATE_TIME      1518
#define IDC_TDF_MODE_TIME_ONLY      1519
#define IDC_TDF_MODE_TIME_DATE      1520
#define IDC_TDF_HELP                57670 // the framework's Help command id
