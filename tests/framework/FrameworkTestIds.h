// String ids of the framework tests' own string table.
#pragma once
#define IDS_FWTEST_PLAIN 101
#define IDS_FWTEST_FORMAT 102
#define IDS_FWTEST_MESSAGE 103
