// The driver procedure of the Zentivo capture driver: answers to the
// installable-driver messages, the two channels and the per-channel dispatch.
#include "capdriver/DriverState.h"
#include "resources/zentivo_ids.h"

DriverState g_driver;

// The fixed maximum rectangle; everything else of the state block starts at
// zero when the library loads.
static void ResetDriverState(HINSTANCE instance)
{
    ZeroMemory(&g_driver, offsetof(DriverState, lock));
    g_driver.instance = instance;
    SetRect(&g_driver.maxRect, 0, 0, ZENTIVO_MAX_RECT_RIGHT, ZENTIVO_MAX_RECT_BOTTOM);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(instance);
        InitializeCriticalSection(&g_driver.lock);
        InitializeCriticalSection(&g_driver.tickLock);
        ResetDriverState(instance);
        break;
    case DLL_PROCESS_DETACH:
        // Unloaded by FreeLibrary without DRV_FREE (a caller that loaded the
        // library itself): a running timer would call into unmapped code.
        // At process exit the timer thread is already gone.
        if (!reserved) {
            KillStreamTimer();
            CloseLiveSharedMemory();
        }
        DeleteCriticalSection(&g_driver.tickLock);
        DeleteCriticalSection(&g_driver.lock);
        break;
    }
    return TRUE;
}

static ChannelInstance* FindChannel(DWORD_PTR driverId)
{
    if (driverId == 0)
        return NULL;
    ChannelInstance* channel = reinterpret_cast<ChannelInstance*>(driverId);
    if (channel == g_driver.captureChannel || channel == g_driver.externalChannel)
        return channel;
    return NULL;
}

static void FreeChannel(ChannelInstance* channel)
{
    GlobalFree(GlobalHandle(channel));
}

// The first channel of the process loads the settings and builds formats and
// palette; the device stays ready until the last channel closes.
static BOOL SetUpDevice()
{
    LoadDeviceSettings();
    if (!BuildDefaultFormats())
        return FALSE;
    SetUpPalette();
    g_driver.deviceReady = TRUE;
    return TRUE;
}

static LRESULT OpenCaptureChannel(LPVIDEO_OPEN_PARMS parms)
{
    const DWORD type = parms->dwFlags & 0x0F;
    if (type == VIDEO_EXTERNALOUT || type == VIDEO_OUT) {
        parms->dwError = DV_ERR_ALLOCATED;
        return 0;
    }
    parms->dwError = DV_ERR_OK;
    if (!g_driver.deviceReady && !SetUpDevice()) {
        parms->dwError = DV_ERR_NOMEM;
        return 0;
    }

    HGLOBAL memory = GlobalAlloc(GMEM_ZEROINIT, sizeof(ChannelInstance));
    ChannelInstance* channel = memory ? static_cast<ChannelInstance*>(GlobalLock(memory)) : NULL;
    if (!channel) {
        if (memory)
            GlobalFree(memory);
        parms->dwError = DV_ERR_NOMEM;
        return 0;
    }

    if (type == VIDEO_EXTERNALIN && g_driver.externalOpen == 0) {
        g_driver.externalOpen++;
        g_driver.externalChannel = channel;
    } else if (type == VIDEO_IN && g_driver.captureOpen == 0) {
        g_driver.captureOpen++;
        g_driver.captureChannel = channel;
    } else {
        FreeChannel(channel);
        parms->dwError = DV_ERR_ALLOCATED;
        return 0;
    }
    channel->fccType = ZENTIVO_FCC_VCAP;
    channel->channelType = type;
    channel->openFlags = parms->dwFlags;
    g_driver.totalOpen++;
    if (type == VIDEO_IN) {
        // Without the mappings the channel still works and delivers black frames.
        OpenLiveSharedMemory();
    }
    return reinterpret_cast<LRESULT>(channel);
}

static DWORD CloseCaptureChannel(ChannelInstance* channel)
{
    if (channel->channelType == VIDEO_EXTERNALIN) {
        g_driver.externalOpen--;
        g_driver.externalChannel = NULL;
    } else {
        if (StreamBusy())
            return DV_ERR_STILLPLAYING;
        g_driver.captureOpen--;
        g_driver.captureChannel = NULL;
    }
    g_driver.totalOpen--;
    if (channel->channelType == VIDEO_IN)
        CloseLiveSharedMemory();
    if (g_driver.totalOpen == 0)
        g_driver.deviceReady = FALSE;
    FreeChannel(channel);
    return DV_ERR_OK;
}

// DRV_FREE: the library is about to be unloaded, even when a capture channel
// refused to close. Stop the timer and release the mappings and the channel
// instances so that nothing runs in or points into the unloaded code.
static void FreeDriver()
{
    KillStreamTimer();
    ForgetStream();
    CloseLiveSharedMemory();
    if (g_driver.captureChannel)
        FreeChannel(g_driver.captureChannel);
    if (g_driver.externalChannel)
        FreeChannel(g_driver.externalChannel);
    g_driver.captureChannel = NULL;
    g_driver.externalChannel = NULL;
    g_driver.captureOpen = 0;
    g_driver.externalOpen = 0;
    g_driver.totalOpen = 0;
    g_driver.deviceReady = FALSE;
}

static DWORD GetChannelCaps(const ChannelInstance* channel, LPCHANNEL_CAPS caps)
{
    if (!caps)
        return DV_ERR_PARAM1;
    caps->dwFlags = 0;
    if (channel->channelType != VIDEO_EXTERNALIN && channel->channelType != VIDEO_IN)
        return DV_ERR_NOTSUPPORTED;
    caps->dwSrcRectXMod = 1;
    caps->dwSrcRectYMod = 1;
    caps->dwSrcRectWidthMod = 1;
    caps->dwSrcRectHeightMod = 1;
    caps->dwDstRectXMod = 1;
    caps->dwDstRectYMod = 1;
    caps->dwDstRectWidthMod = 1;
    caps->dwDstRectHeightMod = 1;
    return DV_ERR_OK;
}

// The dialog ends with IDOK or IDCANCEL; DialogBoxParam answers 0 for an
// owner that is no window and -1 when the dialog cannot be made.
static DWORD ShowFormatDialog(HWND owner)
{
    const INT_PTR result =
        DialogBoxParamW(g_driver.instance, MAKEINTRESOURCEW(IDD_ZENTIVO_FORMAT), owner, ConfigDialogProc, 0);
    return (result == IDOK || result == IDCANCEL) ? DV_ERR_OK : DV_ERR_NONSPECIFIC;
}

static DWORD ChannelMessage(ChannelInstance* channel, UINT msg, LPARAM lParam1, LPARAM lParam2)
{
    const BOOL capture = channel->channelType == VIDEO_IN;
    switch (msg) {
    case DVM_PALETTE:
    case DVM_FORMAT:
    case DVM_PALETTERGB555:
        if (!capture)
            return DV_ERR_NOTSUPPORTED;
        return ConfigureMessage(msg, static_cast<DWORD>(lParam1), reinterpret_cast<LPVIDEOCONFIGPARMS>(lParam2));
    case DVM_SRC_RECT:
    case DVM_DST_RECT:
        return RectMessage(channel, msg, reinterpret_cast<LPRECT>(lParam1), static_cast<DWORD>(lParam2));
    case DVM_GETERRORTEXT:
        return DV_ERR_BADERRNUM;
    case DVM_DIALOG:
        if (!capture)
            return DV_ERR_NOTSUPPORTED;
        if (static_cast<DWORD>(lParam2) & VIDEO_DLG_QUERY)
            return DV_ERR_OK;
        return ShowFormatDialog(reinterpret_cast<HWND>(lParam1));
    case DVM_CONFIGURESTORAGE:
    case DVM_UPDATE:
        return DV_ERR_NOTSUPPORTED;
    case DVM_GET_CHANNEL_CAPS:
        return GetChannelCaps(channel, reinterpret_cast<LPCHANNEL_CAPS>(lParam1));
    case DVM_FRAME:
        if (!capture)
            return DV_ERR_NOTSUPPORTED;
        return CaptureSingleFrame(reinterpret_cast<LPVIDEOHDR>(lParam1));
    }
    if (msg >= DVM_STREAM_MSG_START && msg <= DVM_STREAM_MSG_END)
        return StreamMessage(channel, msg, lParam1, lParam2);
    return DV_ERR_NOTSUPPORTED;
}

extern "C" LRESULT CALLBACK DriverProc(DWORD_PTR driverId, HDRVR driver, UINT msg, LPARAM lParam1, LPARAM lParam2)
{
    switch (msg) {
    case DRV_LOAD:
        if (!g_driver.instance)
            g_driver.instance = reinterpret_cast<HINSTANCE>(GetDriverModuleHandle(driver));
        return 1;
    case DRV_FREE:
        FreeDriver();
        return 1;
    case DRV_ENABLE:
    case DRV_DISABLE:
    case DRV_QUERYCONFIGURE:
    case DRV_INSTALL:
        return 1;
    case DRV_OPEN: {
        LPVIDEO_OPEN_PARMS parms = reinterpret_cast<LPVIDEO_OPEN_PARMS>(lParam2);
        if (!parms)
            return ZENTIVO_CONFIG_INSTANCE;
        if (parms->fccType != ZENTIVO_FCC_VCAP)
            return 0;
        return OpenCaptureChannel(parms);
    }
    case DRV_CLOSE: {
        if (driverId == 0 || driverId == ZENTIVO_CONFIG_INSTANCE)
            return 1;
        ChannelInstance* channel = FindChannel(driverId);
        if (!channel)
            return 0;
        return CloseCaptureChannel(channel) == DV_ERR_OK ? 1 : 0;
    }
    case DRV_CONFIGURE:
        DialogBoxParamW(g_driver.instance, MAKEINTRESOURCEW(IDD_ZENTIVO_ABOUT), reinterpret_cast<HWND>(lParam1), AboutDialogProc, 0);
        return 1;
    case DRV_REMOVE:
        RemoveDriverRegistration();
        return 1;
    case DVM_GETVIDEOAPIVER:
        if (!lParam1)
            return DV_ERR_PARAM1;
        *reinterpret_cast<DWORD*>(lParam1) = ZENTIVO_VIDEO_API_VERSION;
        return DV_ERR_OK;
    }
    if (driverId == 0 || driverId == ZENTIVO_CONFIG_INSTANCE)
        return DefDriverProc(driverId, driver, msg, lParam1, lParam2);
    ChannelInstance* channel = FindChannel(driverId);
    if (!channel)
        return DV_ERR_INVALHANDLE;
    return ChannelMessage(channel, msg, lParam1, lParam2);
}
