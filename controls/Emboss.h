#pragma once
#include "framework/AfxPlatform.h"
#include <commctrl.h>

// Draws image iImage of an image list embossed, as disabled images look: a
// monochrome mask of the image (drawn on white) is blitted with the raster
// operation that paints the brush where the image has colour, first one pixel
// down and right in the highlight colour, then in place in the shadow colour.
void DrawImageEmbossed(HDC hdc, HIMAGELIST hImages, int iImage, int x, int y,
                       COLORREF highlight, COLORREF shadow);
