#pragma once
// The process-wide state block of the Zentivo capture driver and the functions
// its source files share. One driver procedure (DriverProc.cpp) dispatches to
// the live-output mappings (LiveSharedMemory.cpp), the formats and settings
// (CaptureFormat.cpp), the dialogs (CaptureDialogs.cpp) and the streaming
// timer (Streaming.cpp).
//
// Threads: the capture program's thread calls the driver procedure; the
// multimedia timer thread runs the streaming tick. `lock` guards the formats,
// the stream queue, flags and counters and the live-output handles; it is
// never held while the client is notified or while the timer is killed.
// `tickLock` is held for a whole tick, so that killing the timer can wait for a
// tick that already started.
#include "capdriver/CaptureProtocol.h"
#include "capdriver/LiveOutputHeader.h"

// The identifier returned for an open without open parameters (control panel
// configuration or removal); it owns nothing.
#define ZENTIVO_CONFIG_INSTANCE 9999

#define ZENTIVO_PRESET_COUNT 18
#define ZENTIVO_DEFAULT_PRESET 9
#define ZENTIVO_DEFAULT_WIDTH 320
#define ZENTIVO_DEFAULT_HEIGHT 240
#define ZENTIVO_MAX_RECT_RIGHT 1280
#define ZENTIVO_MAX_RECT_BOTTOM 1024
#define ZENTIVO_PALETTE_SLOTS 256

// One open channel; its address is the driver identifier the capture layer
// passes back with every message.
struct ChannelInstance {
    FOURCC fccType;       // always 'vcap'
    DWORD channelType;    // VIDEO_EXTERNALIN or VIDEO_IN
    DWORD openFlags;      // dwFlags of VIDEO_OPEN_PARMS as passed
    DWORD reserved[2];
};

struct CaptureSettings {
    WORD bitCount;
    WORD presetIndex;     // 1 to 18
    LONG presetWidth;
    LONG presetHeight;
    WORD customFlag;
    LONG customWidth;
    LONG customHeight;
};

struct StreamState {
    BOOL initialised;
    BOOL streaming;
    VIDEO_STREAM_INIT_PARMS init;
    DWORD microSecPerFrame;
    DWORD startTime;      // timeGetTime() at START
    DWORD position;       // ms since START, updated by every tick
    DWORD skipped;        // ticks that found no buffer since GETERROR or INIT
    LPVIDEOHDR head;      // FIFO linked through dwReserved[0]
    LPVIDEOHDR tail;
    UINT timerId;         // 0 when no timer runs
};

struct DriverState {
    HINSTANCE instance;
    BOOL deviceReady;
    WORD externalOpen;    // 0 or 1
    WORD captureOpen;     // 0 or 1
    WORD totalOpen;
    ChannelInstance* externalChannel;
    ChannelInstance* captureChannel;

    CaptureSettings settings;
    BITMAPINFOHEADER externalFormat;
    WORD externalStride;
    DWORD externalFrameSize;
    BITMAPINFOHEADER captureFormat;   // biSizeImage holds the frame size
    WORD captureStride;
    DWORD captureFrameSize;

    RECT sourceRect;
    RECT destRect;
    RECT maxRect;

    WORD paletteVersion;
    WORD paletteCount;
    PALETTEENTRY palette[ZENTIVO_PALETTE_SLOTS];

    StreamState stream;

    HANDLE liveHeaderMapping;
    LiveOutputHeader* liveHeader;
    HANDLE liveFrameMapping;
    BYTE* liveFrame;

    CRITICAL_SECTION lock;
    CRITICAL_SECTION tickLock;
};

extern DriverState g_driver;

// RAII holder of g_driver.lock.
class DriverLock {
public:
    DriverLock() { ::EnterCriticalSection(&g_driver.lock); }
    ~DriverLock() { ::LeaveCriticalSection(&g_driver.lock); }
    DriverLock(const DriverLock&) = delete;
    DriverLock& operator=(const DriverLock&) = delete;
};

// CaptureFormat.cpp
struct PresetSize {
    int index;
    LONG width;
    LONG height;
};
extern const PresetSize kPresetSizes[ZENTIVO_PRESET_COUNT];
extern const WORD kFormatBitCounts[4];
int FindPresetSize(LONG width, LONG height);
BOOL FrameGeometry(LONG width, LONG height, WORD bitCount, WORD* stride, DWORD* frameSize);
BOOL LoadCaptureSettings(CaptureSettings* settings);
BOOL SaveCaptureSettings(const CaptureSettings* settings);
void LoadDeviceSettings();
BOOL BuildDefaultFormats();
void SetUpPalette();
DWORD SetCaptureFormat(const BITMAPINFOHEADER* header, DWORD size);
DWORD ConfigureMessage(UINT msg, DWORD flags, LPVIDEOCONFIGPARMS parms);
DWORD RectMessage(const ChannelInstance* channel, UINT msg, LPRECT rect, DWORD flags);
void RemoveDriverRegistration();

// CaptureDialogs.cpp
INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
int LoadDriverString(UINT id, WCHAR* buffer, int chars);

// LiveSharedMemory.cpp
BOOL OpenLiveSharedMemory();
BOOL CloseLiveSharedMemory();
DWORD CopyLiveFrame(BYTE* destination);

// Streaming.cpp
DWORD StreamMessage(const ChannelInstance* channel, UINT msg, LPARAM lParam1, LPARAM lParam2);
DWORD CaptureSingleFrame(LPVIDEOHDR header);
void KillStreamTimer();
BOOL StreamBusy();
void ForgetStream();
