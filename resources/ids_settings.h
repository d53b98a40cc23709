#pragma once
// String ids of the settings and utilities layer.

#define IDS_SIZE_BYTES        10406   // "%1 字节"
#define IDS_SIZE_KB           10407   // "%1%2%3 KB"
#define IDS_SIZE_MB           10408   // "%1%2%3 MB"
#define IDS_SIZE_GB           10409   // "%1%2%3 GB"
#define IDS_SIZE_EXACT_BYTES  10412   // " (%s 字节)"
