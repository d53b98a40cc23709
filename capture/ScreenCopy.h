#pragma once
// Copies an area of the screen DC into a frame DC in horizontal bands.
// Under Wine one blit of a whole 1920x1080x32 screen (about 8 MB) takes a
// slow path of 60-200 ms, while the same pixels read as bands of a few
// hundred KB take a few ms all told; on Windows the bands cost nothing extra.
// The result is the same pixels as one BitBlt of the whole area.
#include <windows.h>

// Rows per band for an area `width` pixels wide (at least 1).
int ScreenCopyBandRows(int width);

// Rows of the larger band that the first copy of the process starts with
// (at least 1); see ScreenCopy.cpp for why.
int ScreenCopyFirstBandRows(int width);

// BitBlt of the area (sx, sy, width, height) of `source` to (dx, dy) of
// `destination`, band by band. TRUE when every band was copied.
BOOL CopyScreenArea(HDC destination, int dx, int dy, int width, int height, HDC source, int sx, int sy,
                    DWORD rop);

// The same copy with the band heights given: `firstRows` rows first, then
// `rows` rows a band (both at least 1). CopyScreenArea's own layout.
BOOL CopyScreenBands(HDC destination, int dx, int dy, int width, int height, HDC source, int sx, int sy,
                     DWORD rop, int firstRows, int rows);
