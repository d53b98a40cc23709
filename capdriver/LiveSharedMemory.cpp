// The driver's side of the live output: it creates the header mapping,
// publishes its capture format there, keeps a frame mapping of that size and
// copies the recorder's latest frame into capture buffers (or a black frame
// while nothing feeds it). The recorder only opens the two mappings.
#include "capdriver/DriverState.h"

#include <string.h>

static void FormatFrameMappingName(DWORD frameSize, char (&name)[ZENTIVO_LIVE_FRAME_NAME_CHARS])
{
    ZeroMemory(name, sizeof(name));
    wsprintfA(name, ZENTIVO_LIVE_FRAME_NAME_FORMAT, static_cast<int>(frameSize));
}

// Publishes a format in the header. headerValid is cleared first and set
// last, with frameReady cleared in between, so the recorder never takes a
// half-written format nor a frame of the old format for one of the new.
static void PublishFormat(LiveOutputHeader* header, LONG width, LONG height, WORD bitCount, DWORD frameSize,
                          const char (&name)[ZENTIVO_LIVE_FRAME_NAME_CHARS])
{
    LiveStoreFenced(header->headerValid, 0);
    LiveStoreFenced(header->frameReady, 0);
    LiveStoreRelease(header->width, width);
    LiveStoreRelease(header->height, height);
    LiveStoreRelease(header->bitCount, bitCount);
    LiveStoreRelease(header->imageSize, frameSize);
    CopyMemory(header->frameMappingName, name, sizeof(name));
    LiveStoreFenced(header->headerValid, 1);
}

static void CloseFrameMapping()
{
    if (g_driver.liveFrame) {
        UnmapViewOfFile(g_driver.liveFrame);
        g_driver.liveFrame = NULL;
    }
    if (g_driver.liveFrameMapping) {
        CloseHandle(g_driver.liveFrameMapping);
        g_driver.liveFrameMapping = NULL;
    }
}

// The format a newly created header starts with: the stored settings, not the
// format a capture program may choose later.
static void PublishStoredFormat(LiveOutputHeader* header)
{
    CaptureSettings settings;
    settings.bitCount = 16;
    settings.presetIndex = ZENTIVO_DEFAULT_PRESET;
    settings.presetWidth = ZENTIVO_DEFAULT_WIDTH;
    settings.presetHeight = ZENTIVO_DEFAULT_HEIGHT;
    settings.customFlag = 0;
    settings.customWidth = ZENTIVO_DEFAULT_WIDTH;
    settings.customHeight = ZENTIVO_DEFAULT_HEIGHT;
    LoadCaptureSettings(&settings);

    LONG width = settings.customFlag ? settings.customWidth : settings.presetWidth;
    LONG height = settings.customFlag ? settings.customHeight : settings.presetHeight;
    WORD stride = 0;
    DWORD frameSize = 0;
    if (!FrameGeometry(width, height, settings.bitCount, &stride, &frameSize)) {
        width = ZENTIVO_DEFAULT_WIDTH;
        height = ZENTIVO_DEFAULT_HEIGHT;
        FrameGeometry(width, height, settings.bitCount, &stride, &frameSize);
    }
    char name[ZENTIVO_LIVE_FRAME_NAME_CHARS];
    FormatFrameMappingName(frameSize, name);
    PublishFormat(header, width, height, settings.bitCount, frameSize, name);
}

// Attaches the capture channel to the header mapping, creating it when nobody
// holds it. The channel opens whatever this answers; frames are then black.
BOOL OpenLiveSharedMemory()
{
    KillStreamTimer();
    DriverLock lock;
    if (g_driver.liveHeaderMapping)
        return TRUE;

    BOOL created = FALSE;
    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, ZENTIVO_LIVE_HEADER_NAME);
    if (!mapping) {
        mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, sizeof(LiveOutputHeader),
                                     ZENTIVO_LIVE_HEADER_NAME);
        if (!mapping)
            return FALSE;
        // Another process may have created it between the two calls.
        created = GetLastError() != ERROR_ALREADY_EXISTS;
    }
    LiveOutputHeader* header = static_cast<LiveOutputHeader*>(
        MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(LiveOutputHeader)));
    if (!header) {
        CloseHandle(mapping);
        return FALSE;
    }
    if (created)
        PublishStoredFormat(header);
    LiveStoreRelease(header->driverAttached, 1);
    g_driver.liveHeaderMapping = mapping;
    g_driver.liveHeader = header;
    return TRUE;
}

BOOL CloseLiveSharedMemory()
{
    KillStreamTimer();
    DriverLock lock;
    if (g_driver.liveHeader) {
        LiveStoreRelease(g_driver.liveHeader->driverAttached, 0);
        UnmapViewOfFile(g_driver.liveHeader);
        g_driver.liveHeader = NULL;
    }
    if (g_driver.liveHeaderMapping) {
        CloseHandle(g_driver.liveHeaderMapping);
        g_driver.liveHeaderMapping = NULL;
    }
    CloseFrameMapping();
    return TRUE;
}

// Fills `destination` (at least the current frame size) with the recorder's
// latest frame, or with black while no frame is ready. Answers the bytes
// written, or 0 when the ready frame has another size than the driver's.
//
// The header lives in memory that another process writes: each field is read
// once, the name is compared inside its 256 bytes, and a header that disagrees
// with the driver's format in any way (including an invalid or unterminated
// name) is published again. The frame mapping is mapped with exactly the frame
// size, so a mapping of that name that someone made too small is not used.
DWORD CopyLiveFrame(BYTE* destination)
{
    DriverLock lock;
    const LONG width = g_driver.captureFormat.biWidth;
    const LONG height = g_driver.captureFormat.biHeight;
    const WORD bitCount = g_driver.captureFormat.biBitCount;
    const DWORD frameSize = g_driver.captureFrameSize;
    LiveOutputHeader* header = g_driver.liveHeader;
    if (!g_driver.liveHeaderMapping || !header) {
        ZeroMemory(destination, frameSize);
        return frameSize;
    }

    char name[ZENTIVO_LIVE_FRAME_NAME_CHARS];
    FormatFrameMappingName(frameSize, name);
    char published[ZENTIVO_LIVE_FRAME_NAME_CHARS];
    CopyMemory(published, header->frameMappingName, sizeof(published));
    const size_t nameBytes = strlen(name) + 1;
    const BOOL agrees = LiveLoad(header->headerValid) == 1 && LiveLoad(header->width) == width &&
                        LiveLoad(header->height) == height && LiveLoad(header->bitCount) == bitCount &&
                        LiveLoad(header->imageSize) == frameSize && memcmp(published, name, nameBytes) == 0;
    if (!agrees) {
        PublishFormat(header, width, height, bitCount, frameSize, name);
        CloseFrameMapping();
    }

    if (!g_driver.liveFrameMapping) {
        HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, frameSize, name);
        if (mapping) {
            void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, frameSize);
            if (view) {
                g_driver.liveFrameMapping = mapping;
                g_driver.liveFrame = static_cast<BYTE*>(view);
            } else {
                CloseHandle(mapping);
            }
        }
    }

    if (!g_driver.liveFrame || LiveLoad(header->frameReady) == 0) {
        ZeroMemory(destination, frameSize);
        return frameSize;
    }
    if (LiveLoad(header->imageSize) != frameSize)
        return 0;
    CopyMemory(destination, g_driver.liveFrame, frameSize);
    return frameSize;
}
