#include "capture/ScreenCopy.h"

namespace {

// Bytes of one band, counted at 4 bytes a pixel whatever the depth: 32 rows
// at 1920 wide.
//
// Under Wine each band is read with one XGetImage, and the 32-bit process
// takes two buffers of the band's size from glibc's malloc for it, freed
// again before the next band. How glibc serves them decides the grab's cost:
// - a buffer above the mmap threshold (128 KB until raised, never above
//   512 KB in a 32-bit process) is a fresh mmap, zero pages every band;
// - below it, the buffers come from the heap's top, and glibc gives the top
//   back to the system (trims it) when, once they are freed, it is bigger
//   than the trim threshold (twice the mmap threshold). With two band-sized
//   buffers and the 128 KB glibc keeps at the top, that is every band, so
//   the next band faults its pages in again.
// Measured at 1920x1080, 30 fps, another process painting the screen:
// bands of 68 rows (510 KB) faulted 105,000-128,000 pages a second (about
// 16 MB of fresh memory a frame) in 12 of 14 fresh processes, and nearly
// every recording of the engine faulted 57,000 or 117,000 a second; 16 and
// 32 rows faulted too (60,000 and 100,000 a second). Only buffers that fit the 128 KB kept at the top (8 rows) never
// faulted, but 135 reads a frame cost more than the faults saved (engine
// grab 22 ms). Hence the first band of the process (kFirstBandBytes) raises
// both thresholds to their highest, after which two buffers of this size and
// the kept top (about 610 KB) stay under the 1 MB trim threshold. Against
// the 510 KB bands, runs side by side: grab median 13.1 -> 6.8 ms a frame
// in the bench loop, 17.4 -> 13.7 ms in the engine, no faults in any run or
// recording, the grabbing thread at 24-39% of a processor instead of 35-55%.
const int kBandBytes = 240 * 1024;

// The first band of the process: at most 512 KB, above the initial mmap
// threshold, so its buffers are mmapped and their release raises the mmap
// threshold to 512 KB and the trim threshold to 1 MB for the rest of the
// process (glibc never lowers them). On Windows it is just a larger band.
const int kFirstBandBytes = 512 * 1024;

LONG g_firstCopyDone = 0;

int RowsIn(int bytes, int width)
{
    if (width <= 0)
        return 1;
    const int rows = bytes / (width * 4);
    return rows > 0 ? rows : 1;
}

}  // namespace

int ScreenCopyBandRows(int width)
{
    return RowsIn(kBandBytes, width);
}

int ScreenCopyFirstBandRows(int width)
{
    return RowsIn(kFirstBandBytes, width);
}

BOOL CopyScreenArea(HDC destination, int dx, int dy, int width, int height, HDC source, int sx, int sy,
                    DWORD rop)
{
    if (width <= 0 || height <= 0)
        return FALSE;
    const int band = ScreenCopyBandRows(width);
    const bool first = ::InterlockedExchange(&g_firstCopyDone, 1) == 0;
    return CopyScreenBands(destination, dx, dy, width, height, source, sx, sy, rop,
                           first ? ScreenCopyFirstBandRows(width) : band, band);
}

BOOL CopyScreenBands(HDC destination, int dx, int dy, int width, int height, HDC source, int sx, int sy,
                     DWORD rop, int firstRows, int rows)
{
    if (width <= 0 || height <= 0 || firstRows <= 0 || rows <= 0)
        return FALSE;
    BOOL ok = TRUE;
    for (int y = 0, band = firstRows; y < height; y += band, band = rows) {
        const int count = height - y < band ? height - y : band;
        if (!::BitBlt(destination, dx, dy + y, width, count, source, sx, sy + y, rop))
            ok = FALSE;
    }
    return ok;
}
