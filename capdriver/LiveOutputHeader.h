#pragma once
// The header record of the live output: a 284-byte page-file mapping that the
// capture driver creates and the recorder opens. The driver publishes the frame
// format it wants and the name of the frame mapping; the recorder copies each
// frame into that mapping and then raises frameReady. No lock guards either
// mapping: headerValid guards the format fields and frameReady marks a complete
// frame, so every access to them goes through the ordered loads and stores below.
#include <windows.h>

#include <stddef.h>

// Name of the header mapping (ANSI).
#define ZENTIVO_LIVE_HEADER_NAME "SkorvaleStudioLiveMMF"
// wsprintfA format of the frame mapping's name, filled with the frame size in bytes.
#define ZENTIVO_LIVE_FRAME_NAME_FORMAT "SS_LIVE_MMF_NAME_%d"
#define ZENTIVO_LIVE_FRAME_NAME_CHARS 256

struct LiveOutputHeader {
    WORD frameReady;        // recorder sets 1 after a complete copy; 0 on a format change
    WORD reserved1;
    LONG width;             // frame width in pixels
    LONG height;            // frame height in pixels, bottom-up rows
    WORD bitCount;          // 8, 16, 24 or 32
    WORD reserved2;
    DWORD imageSize;        // stride padded to 4 bytes, times the height
    LONG driverAttached;    // 1 while a capture channel has the header open
    LONG headerValid;       // 0 while the driver rewrites the format fields
    char frameMappingName[ZENTIVO_LIVE_FRAME_NAME_CHARS];
};

static_assert(offsetof(LiveOutputHeader, frameReady) == 0, "frameReady at 0");
static_assert(offsetof(LiveOutputHeader, width) == 4, "width at 4");
static_assert(offsetof(LiveOutputHeader, height) == 8, "height at 8");
static_assert(offsetof(LiveOutputHeader, bitCount) == 12, "bitCount at 12");
static_assert(offsetof(LiveOutputHeader, imageSize) == 16, "imageSize at 16");
static_assert(offsetof(LiveOutputHeader, driverAttached) == 20, "driverAttached at 20");
static_assert(offsetof(LiveOutputHeader, headerValid) == 24, "headerValid at 24");
static_assert(offsetof(LiveOutputHeader, frameMappingName) == 28, "frameMappingName at 28");
static_assert(sizeof(LiveOutputHeader) == 284, "the live-output header is 284 bytes");

// The other process may change any field at any time: read each field once
// into a local and never trust it twice. The flag words are stored with release
// order (and the clearing stores with a full fence), so that a reader that sees
// a flag also sees every store made before it.
template <class T>
inline T LiveLoad(const T& field)
{
    return __atomic_load_n(&field, __ATOMIC_ACQUIRE);
}

template <class T, class V>
inline void LiveStoreRelease(T& field, V value)
{
    __atomic_store_n(&field, static_cast<T>(value), __ATOMIC_RELEASE);
}

template <class T, class V>
inline void LiveStoreFenced(T& field, V value)
{
    __atomic_store_n(&field, static_cast<T>(value), __ATOMIC_SEQ_CST);
}
