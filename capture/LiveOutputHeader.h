#pragma once
// The header of the live-output shared memory "SkorvaleStudioLiveMMF" that
// the capture driver creates and the recorder only opens: the frame format
// the driver wants and the frame-ready flag. Byte-exact, little-endian, the
// same in 32- and 64-bit processes; no lock guards it: the order of the plain
// stores is the protocol (frame-ready is written last).
#include "framework/AfxPlatform.h"

#include <stddef.h>
#include <stdint.h>

#pragma pack(push, 1)
struct LiveOutputHeader {
    uint16_t frameReady;        // recorder sets 1 after a copy; 0 on a format mismatch
    uint16_t reserved1;
    int32_t width;
    int32_t height;             // bottom-up rows
    uint16_t bitCount;          // 8, 16, 24 or 32
    uint16_t reserved2;
    uint32_t imageSize;         // row stride padded to 4 bytes, times the height
    int32_t driverAttached;     // not read by the recorder
    int32_t headerValid;        // 1 once the format fields and the name are complete
    char frameMappingName[256]; // "SS_LIVE_MMF_NAME_%d" with imageSize
};
#pragma pack(pop)

static_assert(sizeof(LiveOutputHeader) == 284, "live-output header is 284 bytes");
static_assert(offsetof(LiveOutputHeader, width) == 4, "width at 4");
static_assert(offsetof(LiveOutputHeader, height) == 8, "height at 8");
static_assert(offsetof(LiveOutputHeader, bitCount) == 12, "bitCount at 12");
static_assert(offsetof(LiveOutputHeader, imageSize) == 16, "imageSize at 16");
static_assert(offsetof(LiveOutputHeader, driverAttached) == 20, "driverAttached at 20");
static_assert(offsetof(LiveOutputHeader, headerValid) == 24, "headerValid at 24");
static_assert(offsetof(LiveOutputHeader, frameMappingName) == 28, "name at 28");

#define LIVE_OUTPUT_HEADER_NAME "SkorvaleStudioLiveMMF"
