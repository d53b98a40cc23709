#pragma once
// The parts of the Video for Windows capture-driver protocol that mingw-w64
// does not declare. vfw.h already gives VIDEOHDR, CHANNEL_CAPS, the DV_ERR_*
// codes, the channel types, the configuration flags and DVM_PALETTE to
// DVM_DST_RECT; everything below is what a capture layer sends on top of that.
#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>
#include <vfw.h>

#include <stddef.h>

// General driver messages, numbered from DRV_USER.
#define DVM_GETERRORTEXT           (DRV_USER + 0)
#define DVM_GETVIDEOAPIVER         (DRV_USER + 1)
#define DVM_DIALOG                 (DRV_USER + 100)
#define DVM_CONFIGURESTORAGE       (DRV_USER + 101)
#define DVM_GET_CHANNEL_CAPS       (DRV_USER + 102)
#define DVM_UPDATE                 (DRV_USER + 103)
#define DVM_FRAME                  (DRV_USER + 200)

// Stream messages: one block of 100 numbers starting at DRV_USER + 300.
#define DVM_STREAM_MSG_START       (DRV_USER + 300)
#define DVM_STREAM_MSG_END         (DRV_USER + 399)
#define DVM_STREAM_ADDBUFFER       (DRV_USER + 300)
#define DVM_STREAM_FINI            (DRV_USER + 301)
#define DVM_STREAM_GETERROR        (DRV_USER + 302)
#define DVM_STREAM_GETPOSITION     (DRV_USER + 303)
#define DVM_STREAM_INIT            (DRV_USER + 304)
#define DVM_STREAM_PREPAREHEADER   (DRV_USER + 305)
#define DVM_STREAM_RESET           (DRV_USER + 306)
#define DVM_STREAM_START           (DRV_USER + 307)
#define DVM_STREAM_STOP            (DRV_USER + 308)
#define DVM_STREAM_UNPREPAREHEADER (DRV_USER + 309)

// The protocol version a capture driver reports for DVM_GETVIDEOAPIVER.
#define ZENTIVO_VIDEO_API_VERSION 4

// The open type of every capture channel.
#define ZENTIVO_FCC_VCAP mmioFOURCC('v', 'c', 'a', 'p')

// Passed in lParam2 of DRV_OPEN when a capture layer opens a channel.
typedef struct VIDEO_OPEN_PARMS {
    DWORD dwSize;
    FOURCC fccType;      // 'vcap'
    FOURCC fccComp;
    DWORD dwVersion;
    DWORD dwFlags;       // channel type in the low four bits
    DWORD dwError;       // why the open failed
    LPVOID pV1Reserved;
    LPVOID pV2Reserved;
    DWORD dnDevNode;
} VIDEO_OPEN_PARMS, *LPVIDEO_OPEN_PARMS;

// lParam1 of DVM_STREAM_INIT.
typedef struct VIDEO_STREAM_INIT_PARMS {
    DWORD dwMicroSecPerFrame;
    DWORD_PTR dwCallback;
    DWORD_PTR dwCallbackInst;
    DWORD dwFlags;       // CALLBACK_* type in the high word
    DWORD_PTR hVideo;
} VIDEO_STREAM_INIT_PARMS, *LPVIDEO_STREAM_INIT_PARMS;

// lParam2 of the configuration messages (DVM_FORMAT, DVM_PALETTE).
typedef struct VIDEOCONFIGPARMS {
    LPDWORD lpdwReturn;
    LPVOID lpData1;
    DWORD dwSize1;
    LPVOID lpData2;
    DWORD dwSize2;
} VIDEOCONFIGPARMS, *LPVIDEOCONFIGPARMS;

#ifdef _WIN64
static_assert(sizeof(VIDEO_OPEN_PARMS) == 48, "VIDEO_OPEN_PARMS is 48 bytes on 64-bit Windows");
static_assert(sizeof(VIDEO_STREAM_INIT_PARMS) == 40, "VIDEO_STREAM_INIT_PARMS is 40 bytes on 64-bit Windows");
static_assert(sizeof(VIDEOCONFIGPARMS) == 40, "VIDEOCONFIGPARMS is 40 bytes on 64-bit Windows");
static_assert(sizeof(VIDEOHDR) == 72, "VIDEOHDR is 72 bytes on 64-bit Windows");
#else
static_assert(sizeof(VIDEO_OPEN_PARMS) == 36, "VIDEO_OPEN_PARMS is 36 bytes on 32-bit Windows");
static_assert(sizeof(VIDEO_STREAM_INIT_PARMS) == 20, "VIDEO_STREAM_INIT_PARMS is 20 bytes on 32-bit Windows");
static_assert(sizeof(VIDEOCONFIGPARMS) == 20, "VIDEOCONFIGPARMS is 20 bytes on 32-bit Windows");
static_assert(sizeof(VIDEOHDR) == 40, "VIDEOHDR is 40 bytes on 32-bit Windows");
#endif
static_assert(sizeof(CHANNEL_CAPS) == 36, "CHANNEL_CAPS is 36 bytes");
static_assert(sizeof(MMTIME) == 12, "MMTIME is 12 bytes");

// winmm exports this notification helper for drivers; mingw-w64's mmddk.h
// does not declare it.
extern "C" BOOL WINAPI DriverCallback(DWORD_PTR dwCallback, DWORD dwFlags, HDRVR hDevice, DWORD dwMsg,
                                      DWORD_PTR dwUser, DWORD_PTR dwParam1, DWORD_PTR dwParam2);
