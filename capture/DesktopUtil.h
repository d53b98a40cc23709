#pragma once
// Desktop services of the recorder window used before and during a
// recording: the extent of the virtual desktop and the system palette of
// palette displays. Callable from any thread.
#include "framework/AfxPlatform.h"

// Size and origin of the virtual desktop. With `keep` the monitor rectangles
// are returned too, in a block the caller frees with free() (their count in
// `monitorCount`); otherwise the result is NULL.
RECT* GetDesktopExtent(int* width, int* height, POINT* origin, BOOL keep, int* monitorCount = NULL);

// A logical palette holding the system palette of a palette display (NULL on
// true-colour displays). With `noCollapse` every entry is marked
// PC_NOCOLLAPSE, so that realising it keeps the entries apart. The caller
// deletes it.
HPALETTE CreateSystemPalette(HDC dc, BOOL noCollapse);
