// The live output: in live mode each composed frame goes, instead of into a
// file, into the shared memory that the capture driver publishes (the header
// "SkorvaleStudioLiveMMF" and the frame mapping it names). The recorder only
// opens both mappings, converts the frame to the depth the driver asks for,
// copies the pixel rows in and raises the frame-ready flag. Capture thread,
// except OpenLiveOutput, which runs in PrepareRecording on the UI thread.
#include "capture/RecorderEngine.h"

#include "capture/LiveOutputHeader.h"
#include "platform/imaging/Imaging.h"
#include "resources/ids_live.h"

#include <stdlib.h>
#include <string.h>

namespace {

// The size the output has when no driver has published a format.
const int kDefaultLiveWidth = 320;
const int kDefaultLiveHeight = 240;
// Beyond this a published size is not taken as a frame format.
const int kMaxLiveDimension = 8192;

// Every header field belongs to another process that may rewrite it at any
// moment: each is read once, through a volatile load, into a local.
template <class T>
T LiveLoad(const T& field)
{
    return *reinterpret_cast<const volatile T*>(&field);
}

struct LiveFormat {
    int32_t width;
    int32_t height;
    uint16_t bitCount;
    uint32_t imageSize;
};

LiveFormat ReadLiveFormat(const LiveOutputHeader* header)
{
    LiveFormat f;
    f.width = LiveLoad(header->width);
    f.height = LiveLoad(header->height);
    f.bitCount = LiveLoad(header->bitCount);
    f.imageSize = LiveLoad(header->imageSize);
    return f;
}

// Bytes of `height` DIB rows of `width` pixels at `bitCount`, each row padded
// to 4 bytes; 0 when the size does not fit 32 bits.
DWORD DibRowsBytes(LONG width, LONG height, WORD bitCount)
{
    if (width <= 0 || height <= 0)
        return 0;
    const unsigned long long stride = (((unsigned long long)width * bitCount + 31) >> 3) & ~3ull;
    const unsigned long long total = stride * (unsigned long long)height;
    return total > 0xFFFFFFFFull ? 0 : (DWORD)total;
}

// A format the writer can fill: a supported depth, a size in reason, and an
// image size that is exactly the padded rows of that size.
BOOL IsWellFormed(const LiveFormat& f)
{
    if (f.bitCount != 8 && f.bitCount != 16 && f.bitCount != 24 && f.bitCount != 32)
        return FALSE;
    if (f.width < 2 || f.height < 2 || f.width > kMaxLiveDimension || f.height > kMaxLiveDimension)
        return FALSE;
    return f.imageSize == DibRowsBytes(f.width, f.height, f.bitCount);
}

// How many bytes a mapped view really spans: the committed pages of the
// allocation that starts at `view`. A header's sizes are never trusted
// beyond this.
DWORD MappedViewBytes(const void* view)
{
    unsigned long long total = 0;
    const BYTE* p = (const BYTE*)view;
    for (;;) {
        MEMORY_BASIC_INFORMATION info;
        if (::VirtualQuery(p, &info, sizeof(info)) != sizeof(info))
            break;
        if (info.AllocationBase != view || info.State != MEM_COMMIT)
            break;
        total += info.RegionSize;
        p = (const BYTE*)info.BaseAddress + info.RegionSize;
    }
    return total > 0xFFFFFFFFull ? 0xFFFFFFFFu : (DWORD)total;
}

// Maps the whole of a named mapping read-write; NULL (and no handle) when it
// does not exist or cannot be mapped.
void* OpenNamedView(const char* name, HANDLE* mapping)
{
    *mapping = ::OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name);
    if (!*mapping)
        return NULL;
    void* view = ::MapViewOfFile(*mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (!view) {
        ::CloseHandle(*mapping);
        *mapping = NULL;
    }
    return view;
}

// A library bitmap that is freed however the conversion ends.
class ImgBitmapGuard {
public:
    ImgBitmapGuard() { ImgInitBitmap(&m_bitmap); }
    ~ImgBitmapGuard() { ImgFreeBitmap(&m_bitmap); }
    ImgBitmapGuard(const ImgBitmapGuard&) = delete;
    ImgBitmapGuard& operator=(const ImgBitmapGuard&) = delete;
    ImgBitmap* Get() { return &m_bitmap; }

private:
    ImgBitmap m_bitmap;
};

// The failure text of a format the writer refuses.
CString LiveFormatText(const LiveFormat& f, DWORD viewBytes)
{
    CString text;
    text.Format(IDS_LIVE_FORMAT_INVALID, (int)f.width, (int)f.height, (unsigned)f.bitCount, (unsigned)f.imageSize,
                (unsigned)viewBytes);
    return text;
}

}  // namespace

// Live mode's start: the output takes the size the driver published, when it
// published a complete format that can be recorded; otherwise it is 320 x
// 240 and the writer picks up a later format frame by frame. Nothing here is
// an error: missing mappings are dealt with per frame.
void CRecorderEngine::OpenLiveOutput(RECT* area)
{
    *area = RECT{0, 0, kDefaultLiveWidth, kDefaultLiveHeight};
    OpenLiveHeader();
    if (!m_liveHeader || !LiveLoad(m_liveHeader->headerValid))
        return;
    const LiveFormat format = ReadLiveFormat(m_liveHeader);
    if (!IsWellFormed(format))
        return;
    area->right = format.width;
    area->bottom = format.height;
    OpenLiveFrame();
}

// Opens the header mapping, never creating it.
void CRecorderEngine::OpenLiveHeader()
{
    HANDLE mapping = NULL;
    void* view = OpenNamedView(LIVE_OUTPUT_HEADER_NAME, &mapping);
    if (!view)
        return;
    if (MappedViewBytes(view) < sizeof(LiveOutputHeader)) {
        ::UnmapViewOfFile(view);
        ::CloseHandle(mapping);
        return;
    }
    m_liveHeaderMap = mapping;
    m_liveHeader = (LiveOutputHeader*)view;
}

// Opens the frame mapping whose name stands in the header and remembers the
// header's image size of that moment, and how far the view really reaches.
BOOL CRecorderEngine::OpenLiveFrame()
{
    char name[sizeof(m_liveHeader->frameMappingName) + 1];
    memcpy(name, m_liveHeader->frameMappingName, sizeof(m_liveHeader->frameMappingName));
    name[sizeof(name) - 1] = '\0';
    const DWORD imageSize = LiveLoad(m_liveHeader->imageSize);
    HANDLE mapping = NULL;
    void* view = OpenNamedView(name, &mapping);
    if (!view)
        return FALSE;
    m_liveFrameMap = mapping;
    m_liveFrame = (BYTE*)view;
    m_liveFrameBytes = imageSize;
    m_liveViewBytes = MappedViewBytes(view);
    return TRUE;
}

// The driver reads the frame from another process without a lock: the flag
// must not become visible before the pixels, so a full barrier separates the
// copy from the store, whatever the compiler or the processor reorders.
void CRecorderEngine::SetLiveFrameReady(WORD ready)
{
    BYTE* header = reinterpret_cast<BYTE*>(m_liveHeader);
    volatile uint16_t* flag = reinterpret_cast<volatile uint16_t*>(header + offsetof(LiveOutputHeader, frameReady));
    ::MemoryBarrier();
    *flag = ready;
    ::MemoryBarrier();
}

// One composed frame to the live output: 1 when written or when there is
// nothing to write to (no driver, or no format published yet); 0 with the
// failure flag 2 when the driver now wants another size (the main window then
// starts a new live engine), or 0 with the failure flag 1 and a text when
// the frame cannot be written. Every size in the header is checked against
// the others and against the mapped view before a byte is copied.
BOOL CRecorderEngine::WriteLiveFrame(const BITMAPINFOHEADER* frame, const BYTE* bits)
{
    if (!m_liveHeader)
        OpenLiveHeader();
    if (m_liveHeader && LiveLoad(m_liveHeader->headerValid) && !m_liveFrame)
        OpenLiveFrame();
    if (!m_liveFrame || !m_liveHeader || !LiveLoad(m_liveHeader->headerValid))
        return TRUE;

    const LiveFormat format = ReadLiveFormat(m_liveHeader);
    ::MemoryBarrier();
    // The driver clears header-valid before it rewrites the format: a format
    // read while that happened waits for the next frame.
    if (!LiveLoad(m_liveHeader->headerValid))
        return TRUE;

    if (!IsWellFormed(format)) {
        Fail(LiveFormatText(format, m_liveViewBytes));
        return FALSE;
    }
    if (format.imageSize != m_liveFrameBytes || format.width != m_outputWidth || format.height != m_outputHeight) {
        // A size that no engine can record (larger than the desktop) would
        // only start one new live engine after another.
        if (format.width > m_desktopWidth || format.height > m_desktopHeight) {
            Fail(LiveFormatText(format, m_liveViewBytes));
            return FALSE;
        }
        SetLiveFrameReady(0);
        m_failure = 2;
        return FALSE;
    }
    if (format.imageSize > m_liveViewBytes) {
        Fail(LiveFormatText(format, m_liveViewBytes));
        return FALSE;
    }

    if (frame->biBitCount == format.bitCount) {
        if (frame->biWidth != format.width || labs(frame->biHeight) != format.height ||
            DibRowsBytes(frame->biWidth, labs(frame->biHeight), frame->biBitCount) < format.imageSize) {
            Fail(LiveFormatText(format, m_liveViewBytes));
            return FALSE;
        }
        memcpy(m_liveFrame, bits, format.imageSize);
        SetLiveFrameReady(1);
        return TRUE;
    }

    ImgBitmapGuard bitmap;
    CString text;
    int result = ImgBitmapFromDIB(bitmap.Get(), (const BITMAPINFO*)frame, bits);
    if (result != IMG_SUCCESS) {
        text.Format(IDS_LIVE_CONVERT_FROM_DIB_FAILED, result);
        Fail(text);
        return FALSE;
    }
    if (frame->biBitCount <= 8 || format.bitCount != 8) {
        result = ImgColorRes(bitmap.Get(), format.bitCount, IMG_CRF_NODITHERING, NULL, 0);
    } else {
        // The palette whose entries 0-9 and 245-254 are the static colours
        // (a table of 256 entries: nothing beside the frame's conversion).
        RGBQUAD palette[256];
        ImgSystemColourPalette(palette);
        result = ImgColorRes(bitmap.Get(), 8, IMG_CRF_USERPALETTE, palette, 256);
    }
    if (result != IMG_SUCCESS) {
        text.Format(IDS_LIVE_COLOR_RES_FAILED, result);
        Fail(text);
        return FALSE;
    }
    // The converted bitmap must be the format the driver asked for and hold
    // the whole image.
    ::GdiFlush();
    const ImgBitmap* converted = bitmap.Get();
    if (!converted->bits || converted->width != format.width || converted->height != format.height ||
        converted->bitsPerPixel != format.bitCount ||
        (unsigned long long)converted->bytesPerLine * (unsigned long long)converted->height < format.imageSize) {
        Fail(IDS_LIVE_CHANGE_TO_DIB_FAILED);
        return FALSE;
    }
    memcpy(m_liveFrame, converted->bits, format.imageSize);
    SetLiveFrameReady(1);
    return TRUE;
}
