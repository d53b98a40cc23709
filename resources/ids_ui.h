#pragma once
// String ids of the window framework layer (data exchange messages).

#define IDS_DDX_PARSE_INT     61700   // "请输入一个整数。"
#define IDS_DDX_PARSE_REAL    61701   // "请输入一个数字。"
#define IDS_DDV_INT_RANGE     61702   // "请输入一个 %1 到 %2 之间的整数。"
#define IDS_DDV_REAL_RANGE    61703   // "请输入一个 %1 到 %2 之间的数字。"
#define IDS_DDV_STRING_SIZE   61704   // "请输入不超过 %1 个字符。"
