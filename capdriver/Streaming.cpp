// Streaming and single frames on the capture channel: the buffer queue, the
// multimedia timer that fills one buffer per frame period, and the
// notifications to the capture program.
//
// The tick runs on the timer thread while the capture program adds, stops and
// resets on its own thread, so the queue, flags and counters change only under
// g_driver.lock. The client is notified outside that lock (its callback may
// add the buffer straight back), but inside tickLock, which KillStreamTimer
// takes after killing the timer: once the timer is stopped no tick is running
// and none will deliver anything.
#include "capdriver/DriverState.h"

static void NotifyClient(const VIDEO_STREAM_INIT_PARMS& init, UINT msg, DWORD_PTR param)
{
    if (!init.dwCallback)
        return;
    DriverCallback(init.dwCallback, HIWORD(init.dwFlags), reinterpret_cast<HDRVR>(init.hVideo), msg,
                   init.dwCallbackInst, param, 0);
}

static LPVIDEOHDR NextInQueue(LPVIDEOHDR header)
{
    return reinterpret_cast<LPVIDEOHDR>(header->dwReserved[0]);
}

// Takes the head of the queue; caller holds the lock.
static LPVIDEOHDR PopHead()
{
    StreamState& stream = g_driver.stream;
    LPVIDEOHDR header = stream.head;
    if (!header)
        return NULL;
    stream.head = NextInQueue(header);
    if (!stream.head)
        stream.tail = NULL;
    header->dwReserved[0] = 0;
    header->dwFlags &= ~VHDR_INQUEUE;
    return header;
}

static BOOL IsQueued(LPVIDEOHDR header)
{
    for (LPVIDEOHDR queued = g_driver.stream.head; queued; queued = NextInQueue(queued)) {
        if (queued == header)
            return TRUE;
    }
    return FALSE;
}

// One frame period, under the lock: fills the head buffer, or counts a
// skipped frame when the queue is empty. Answers the notification to send, or
// 0 for a tick of a timer that was killed while it was being dispatched. A
// buffer whose frame cannot be copied (a ready frame of another size, or a
// buffer shorter than a format chosen after it was queued) goes back to the
// client at once, empty, instead of staying off the queue.
static UINT RunTick(UINT timerId, VIDEO_STREAM_INIT_PARMS* init, DWORD_PTR* param)
{
    DriverLock lock;
    StreamState& stream = g_driver.stream;
    if (!stream.streaming || stream.timerId != timerId)
        return 0;
    // One reading of the clock for the tick: the stream position is never
    // behind the capture time of a frame already handed back.
    const DWORD now = timeGetTime() - stream.startTime;
    stream.position = now;
    *init = stream.init;
    LPVIDEOHDR header = PopHead();
    if (!header) {
        stream.skipped++;
        *param = stream.skipped;
        return MM_DRVM_ERROR;
    }
    DWORD bytes = 0;
    if (header->dwBufferLength >= g_driver.captureFrameSize)
        bytes = CopyLiveFrame(header->lpData);
    header->dwTimeCaptured = now;
    header->dwBytesUsed = bytes;
    header->dwFlags |= VHDR_DONE;
    if (bytes)
        header->dwFlags |= VHDR_KEYFRAME;
    *param = reinterpret_cast<DWORD_PTR>(header);
    return MM_DRVM_DATA;
}

static void CALLBACK FrameTimerTick(UINT timerId, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR)
{
    EnterCriticalSection(&g_driver.tickLock);
    VIDEO_STREAM_INIT_PARMS init;
    DWORD_PTR param = 0;
    const UINT msg = RunTick(timerId, &init, &param);
    if (msg)
        NotifyClient(init, msg, param);
    LeaveCriticalSection(&g_driver.tickLock);
}

// Stops the timer, if one runs, and waits for a tick that already began. Never
// called with g_driver.lock held: the tick takes that lock inside tickLock.
void KillStreamTimer()
{
    UINT timerId = 0;
    {
        DriverLock lock;
        timerId = g_driver.stream.timerId;
        g_driver.stream.timerId = 0;
        g_driver.stream.streaming = FALSE;
    }
    if (timerId)
        timeKillEvent(timerId);
    EnterCriticalSection(&g_driver.tickLock);
    LeaveCriticalSection(&g_driver.tickLock);
}

BOOL StreamBusy()
{
    DriverLock lock;
    return g_driver.stream.streaming || g_driver.stream.head != NULL;
}

void ForgetStream()
{
    DriverLock lock;
    ZeroMemory(&g_driver.stream, sizeof(g_driver.stream));
}

static DWORD StreamInit(LPVIDEO_STREAM_INIT_PARMS parms)
{
    VIDEO_STREAM_INIT_PARMS init;
    {
        DriverLock lock;
        StreamState& stream = g_driver.stream;
        if (stream.initialised)
            return DV_ERR_NONSPECIFIC;
        if (!parms)
            return DV_ERR_PARAM1;
        init = *parms;
        stream.init = init;
        stream.initialised = TRUE;
        stream.position = 0;
        stream.skipped = 0;
        stream.head = stream.tail = NULL;
        stream.microSecPerFrame = init.dwMicroSecPerFrame;
    }
    NotifyClient(init, MM_DRVM_OPEN, 0);
    return DV_ERR_OK;
}

static DWORD StreamFini()
{
    {
        DriverLock lock;
        if (!g_driver.stream.initialised)
            return DV_ERR_NONSPECIFIC;
        if (g_driver.stream.head)
            return DV_ERR_STILLPLAYING;
    }
    KillStreamTimer();
    VIDEO_STREAM_INIT_PARMS init;
    {
        DriverLock lock;
        StreamState& stream = g_driver.stream;
        // A buffer added from another thread while the timer was stopping.
        if (stream.head)
            return DV_ERR_STILLPLAYING;
        init = stream.init;
        stream.initialised = FALSE;
        stream.head = stream.tail = NULL;
    }
    NotifyClient(init, MM_DRVM_CLOSE, 0);
    return DV_ERR_OK;
}

// A header is queued once: the INQUEUE flag is the client's to see, and the
// queue itself is checked too, so that a header whose flags were cleared by
// hand cannot be linked in twice.
static DWORD StreamAddBuffer(LPVIDEOHDR header)
{
    DriverLock lock;
    StreamState& stream = g_driver.stream;
    if (!stream.initialised || !header)
        return DV_ERR_NONSPECIFIC;
    if (!(header->dwFlags & VHDR_PREPARED))
        return DV_ERR_UNPREPARED;
    if ((header->dwFlags & VHDR_INQUEUE) || IsQueued(header))
        return DV_ERR_NONSPECIFIC;
    if (header->dwBufferLength < g_driver.captureFrameSize)
        return DV_ERR_NONSPECIFIC;
    if (!header->lpData)
        return DV_ERR_PARAM1;
    header->dwBytesUsed = 0;
    header->dwFlags = (header->dwFlags & ~VHDR_DONE) | VHDR_INQUEUE;
    header->dwReserved[0] = 0;
    if (stream.tail)
        stream.tail->dwReserved[0] = reinterpret_cast<DWORD_PTR>(header);
    else
        stream.head = header;
    stream.tail = header;
    return DV_ERR_OK;
}

// A second START while the timer runs is refused and leaves that timer alone.
static DWORD StreamStart()
{
    DriverLock lock;
    StreamState& stream = g_driver.stream;
    if (!stream.initialised || stream.streaming)
        return DV_ERR_NONSPECIFIC;
    const UINT period = stream.microSecPerFrame / 1000;
    if (period == 0)
        return DV_ERR_NONSPECIFIC;
    stream.startTime = timeGetTime();
    stream.position = 0;
    // TIME_KILL_SYNCHRONOUS makes timeKillEvent wait for a running tick, which
    // matters when the library is unloaded right after; Windows 2000 does not
    // know the flag.
    UINT timerId = timeSetEvent(period, 1, FrameTimerTick, 0, TIME_PERIODIC | TIME_KILL_SYNCHRONOUS);
    if (!timerId)
        timerId = timeSetEvent(period, 1, FrameTimerTick, 0, TIME_PERIODIC);
    if (!timerId)
        return DV_ERR_NONSPECIFIC;
    stream.timerId = timerId;
    stream.streaming = TRUE;
    return DV_ERR_OK;
}

static DWORD StreamStop()
{
    {
        DriverLock lock;
        if (!g_driver.stream.initialised)
            return DV_ERR_NONSPECIFIC;
    }
    KillStreamTimer();
    return DV_ERR_OK;
}

// Stops, then hands every queued buffer back in queue order. The queue is
// detached first, so a callback that adds its buffer straight back starts a
// new queue.
static DWORD StreamReset()
{
    {
        DriverLock lock;
        if (!g_driver.stream.initialised)
            return DV_ERR_NONSPECIFIC;
    }
    KillStreamTimer();
    LPVIDEOHDR chain = NULL;
    VIDEO_STREAM_INIT_PARMS init;
    {
        DriverLock lock;
        chain = g_driver.stream.head;
        g_driver.stream.head = g_driver.stream.tail = NULL;
        init = g_driver.stream.init;
    }
    while (chain) {
        LPVIDEOHDR header = chain;
        chain = NextInQueue(header);
        header->dwReserved[0] = 0;
        header->dwFlags = (header->dwFlags & ~VHDR_INQUEUE) | VHDR_DONE;
        NotifyClient(init, MM_DRVM_DATA, reinterpret_cast<DWORD_PTR>(header));
    }
    return DV_ERR_OK;
}

static DWORD StreamGetError(DWORD* error, DWORD* skipped)
{
    DriverLock lock;
    const DWORD count = g_driver.stream.skipped;
    if (error)
        *error = count ? DV_ERR_NO_BUFFERS : DV_ERR_OK;
    if (skipped)
        *skipped = count;
    g_driver.stream.skipped = 0;
    return DV_ERR_OK;
}

static DWORD StreamGetPosition(MMTIME* time, DWORD size)
{
    if (size != sizeof(MMTIME))
        return DV_ERR_NOTSUPPORTED;
    if (!time)
        return DV_ERR_PARAM1;
    DriverLock lock;
    time->wType = TIME_MS;
    time->u.ms = g_driver.stream.position;
    return DV_ERR_OK;
}

DWORD StreamMessage(const ChannelInstance* channel, UINT msg, LPARAM lParam1, LPARAM lParam2)
{
    if (channel->channelType != VIDEO_IN)
        return msg == DVM_STREAM_INIT || msg == DVM_STREAM_FINI ? DV_ERR_OK : DV_ERR_NOTSUPPORTED;
    switch (msg) {
    case DVM_STREAM_INIT:
        return StreamInit(reinterpret_cast<LPVIDEO_STREAM_INIT_PARMS>(lParam1));
    case DVM_STREAM_FINI:
        return StreamFini();
    case DVM_STREAM_ADDBUFFER:
        return StreamAddBuffer(reinterpret_cast<LPVIDEOHDR>(lParam1));
    case DVM_STREAM_START:
        return StreamStart();
    case DVM_STREAM_STOP:
        return StreamStop();
    case DVM_STREAM_RESET:
        return StreamReset();
    case DVM_STREAM_GETERROR:
        return StreamGetError(reinterpret_cast<DWORD*>(lParam1), reinterpret_cast<DWORD*>(lParam2));
    case DVM_STREAM_GETPOSITION:
        return StreamGetPosition(reinterpret_cast<MMTIME*>(lParam1), static_cast<DWORD>(lParam2));
    }
    return DV_ERR_NOTSUPPORTED;
}

// DVM_FRAME: one frame into the client's buffer, outside streaming.
DWORD CaptureSingleFrame(LPVIDEOHDR header)
{
    if (!header)
        return DV_ERR_PARAM1;
    DriverLock lock;
    if (g_driver.stream.streaming)
        return DV_ERR_NONSPECIFIC;
    const DWORD frameSize = g_driver.captureFrameSize;
    if (header->dwBufferLength < frameSize)
        return DV_ERR_SIZEFIELD;
    if (!header->lpData)
        return DV_ERR_PARAM1;
    if (CopyLiveFrame(header->lpData) == 0)
        return DV_ERR_BADFORMAT;
    header->dwBytesUsed = frameSize;
    header->dwFlags |= VHDR_KEYFRAME;
    header->dwTimeCaptured = timeGetTime();
    return DV_ERR_OK;
}
