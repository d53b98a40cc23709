// A second process for the capture-driver tests.
//   frames <count> <intervalMs> <eventPrefix>
//     plays the recorder's live-output writer: opens the header and the frame
//     mapping it names (never creating either), signals <prefix>-attached, then
//     writes frames numbered 1..count (every byte holds the number), raising
//     frameReady after each copy. When the header's size no longer matches the
//     mapping it opened, it clears frameReady and ends with 2 (live error 2).
//   driver <eventPrefix>
//     plays a second capture program: opens the capture channel, signals
//     <prefix>-opened, grabs one frame on <prefix>-grab and signals
//     <prefix>-grabbed, and closes on <prefix>-close.
#include "capdriver/CaptureProtocol.h"
#include "capdriver/LiveOutputHeader.h"
#include "DriverChannel.h"

#include <stdlib.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

static HANDLE SharedEvent(const std::wstring& prefix, const wchar_t* suffix)
{
    return CreateEventW(NULL, TRUE, FALSE, (prefix + suffix).c_str());
}

static bool WaitFor(const std::function<bool()>& done)
{
    for (int i = 0; i < 2000; ++i) {
        if (done())
            return true;
        Sleep(5);
    }
    return false;
}

static int WriteFrames(int count, int intervalMs, const std::wstring& prefix)
{
    HANDLE headerMapping = NULL;
    if (!WaitFor([&] { return (headerMapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, ZENTIVO_LIVE_HEADER_NAME)) != NULL; }))
        return 10;
    LiveOutputHeader* header =
        static_cast<LiveOutputHeader*>(MapViewOfFile(headerMapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!header)
        return 11;
    HANDLE frameMapping = NULL;
    DWORD frameSize = 0;
    LONG width = 0;
    LONG height = 0;
    const bool opened = WaitFor([&] {
        if (!LiveLoad(header->headerValid))
            return false;
        char name[ZENTIVO_LIVE_FRAME_NAME_CHARS + 1] = "";
        memcpy(name, header->frameMappingName, ZENTIVO_LIVE_FRAME_NAME_CHARS);
        frameSize = LiveLoad(header->imageSize);
        width = LiveLoad(header->width);
        height = LiveLoad(header->height);
        frameMapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name);
        return frameMapping != NULL;
    });
    if (!opened)
        return 12;
    BYTE* frame = static_cast<BYTE*>(MapViewOfFile(frameMapping, FILE_MAP_ALL_ACCESS, 0, 0, frameSize));
    if (!frame)
        return 13;
    HANDLE attached = SharedEvent(prefix, L"-attached");
    SetEvent(attached);
    for (int n = 1; n <= count; ++n) {
        if (LiveLoad(header->imageSize) != frameSize || LiveLoad(header->width) != width ||
            LiveLoad(header->height) != height) {
            LiveStoreFenced(header->frameReady, 0);
            return 2;
        }
        memset(frame, n & 0xFF, frameSize);
        LiveStoreRelease(header->frameReady, 1);
        Sleep(intervalMs);
    }
    return 0;
}

static int RunSecondDriver(const std::wstring& prefix)
{
    drivertest::DriverChannel driver(VIDEO_IN);
    if (!driver.IsOpen())
        return 20;
    HANDLE opened = SharedEvent(prefix, L"-opened");
    HANDLE grab = SharedEvent(prefix, L"-grab");
    HANDLE grabbed = SharedEvent(prefix, L"-grabbed");
    HANDLE close = SharedEvent(prefix, L"-close");
    SetEvent(opened);
    if (WaitForSingleObject(grab, 20000) != WAIT_OBJECT_0)
        return 21;
    std::vector<BYTE> frame(4 * 1024 * 1024);
    if (driver.GrabFrame(&frame) != DV_ERR_OK)
        return 22;
    SetEvent(grabbed);
    if (WaitForSingleObject(close, 20000) != WAIT_OBJECT_0)
        return 23;
    driver.Close();
    return 0;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc == 5 && wcscmp(argv[1], L"frames") == 0)
        return WriteFrames(_wtoi(argv[2]), _wtoi(argv[3]), argv[4]);
    if (argc == 3 && wcscmp(argv[1], L"driver") == 0)
        return RunSecondDriver(argv[2]);
    return 1;
}
