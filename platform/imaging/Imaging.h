#pragma once
// The imaging layer the recorder draws and converts frames through: bitmaps
// over DIB sections (so that GDI and GDI+ can paint on them), colour-resolution
// changes with an optional target palette, packed DIBs to and from bitmaps,
// resampling, the fixed paint palettes, shaded highlight shapes and text with
// a shadow or an outline. Plain functions on a caller-owned ImgBitmap; every
// call that can fail returns IMG_SUCCESS (1) or a negative IMG_ code and
// leaves its output untouched on failure. Any thread; a bitmap is used by one
// thread at a time.
#include <windows.h>

enum ImgResult {
    IMG_SUCCESS = 1,
    IMG_FAILURE = -1,
    IMG_NO_MEMORY = -2,
    IMG_INVALID_FORMAT = -3,        // depth, compression or a header that does not add up
    IMG_INVALID_PARAMETER = -4,
    IMG_BITMAP_NOT_ALLOCATED = -5,
};

// ImgColorRes flags.
enum ImgColorResFlags {
    IMG_CRF_NODITHERING = 0x00,     // nearest colour
    IMG_CRF_USERPALETTE = 0x10,     // map to the palette given to the call
};

// A library bitmap. Pixels are bottom-up rows padded to 4 bytes, held in a
// DIB section owned by the bitmap. 16-bit bitmaps are 5-5-5.
struct ImgBitmap {
    UINT structSize;                // sizeof(ImgBitmap) once ImgInitBitmap ran
    BOOL allocated;
    int width;
    int height;
    int bitsPerPixel;               // 1, 4, 8, 16, 24 or 32
    int bytesPerLine;
    int colors;                     // palette entries in use (0 above 8 bits)
    RGBQUAD palette[256];
    HBITMAP section;
    BYTE* bits;                     // first byte of the bottom row
};

// Empty, unallocated bitmap (what a bitmap-handle holder does at start).
void ImgInitBitmap(ImgBitmap* bitmap);
// A new bitmap of the size and depth, pixels zeroed. palette/colors may be
// NULL/0 for 8 bits or fewer: the fixed palette of the depth is used.
int ImgAllocateBitmap(ImgBitmap* bitmap, int width, int height, int bitsPerPixel,
                      const RGBQUAD* palette, int colors);
// Frees the pixels; the bitmap is empty again. Safe on an empty bitmap.
// The bitmap's section is kept in a small pool (a few sections, 64 MB at
// most) for the next bitmap of the same size, depth and colour count:
// fresh pages are costly to write the first time, and the frame loop makes
// the same sizes every frame. Release any DC of the bitmap first.
void ImgFreeBitmap(ImgBitmap* bitmap);
// Deletes the sections the pool keeps (for instance when a recording ends).
void ImgTrimCache(void);

// A bitmap from a DIB given as header (with its colour table) and separate
// pixel bits. BI_RGB of 1/4/8/16/24/32 bits and BI_BITFIELDS 16/32 are taken;
// a header whose sizes do not add up is refused with IMG_INVALID_FORMAT.
// `bitmap` must be empty (ImgInitBitmap) or allocated (it is replaced).
int ImgBitmapFromDIB(ImgBitmap* bitmap, const BITMAPINFO* info, const void* bits);
// The same from a packed DIB in global memory (header, colour table, bits).
int ImgBitmapFromPackedDIB(ImgBitmap* bitmap, HGLOBAL packedDib);
// A packed DIB (GlobalAlloc, GMEM_MOVEABLE) of the bitmap: BITMAPINFOHEADER
// (biSizeImage set, biClrUsed 0 = the full table of the depth), the colour
// table of 2^bits entries for 8 bits or fewer, none above, then the bits.
// NULL on failure. The caller frees it with GlobalFree.
HGLOBAL ImgPackedDIBFromBitmap(const ImgBitmap* bitmap);
// Where the pixel bits of a locked packed DIB start: behind the header and
// biClrUsed entries, or 2^biBitCount (masked to 9 bits) when that is 0 and
// the depth is below 17.
const BYTE* ImgPackedDIBBits(const BITMAPINFOHEADER* header);

// Changes the bitmap's bits per pixel. Down to 8 bits or fewer: with
// IMG_CRF_USERPALETTE the pixels map to `palette` (`colors` entries, nearest
// colour); without it to the fixed palette of the depth. Up from a paletted
// depth: through its palette.
int ImgColorRes(ImgBitmap* bitmap, int bitsPerPixel, UINT flags, const RGBQUAD* palette, int colors);

// Changes the size: `interpolate` resamples (area average / bilinear), else
// nearest pixel. Same depth and palette.
int ImgResize(ImgBitmap* bitmap, int width, int height, BOOL interpolate);

// Fills the fixed paint palette of a depth (2^bits entries for 1, 4 or 8
// bits): for 8 bits a 6x7x6 colour cube with greys, the same on every run.
void ImgFixedPalette(RGBQUAD* palette, int bitsPerPixel);
// Fills 256 entries: the fixed 8-bit palette with the 20 static colours of
// the Windows system palette at entries 0-9 and 245-254.
void ImgSystemColourPalette(RGBQUAD* palette);

// A memory DC with the bitmap's section selected (and its palette, for
// paletted depths). Release with ImgReleaseDC before freeing the bitmap.
HDC ImgCreateDC(ImgBitmap* bitmap);
void ImgReleaseDC(HDC dc);

// Shaded highlight shape painted into `rect` of `dc`. `shape` is the stored
// highlight shape (1000..11003: the thousands pick the family, the rest a
// variant; 7000 is the ellipse; 2000, 2001 and 8000 are wide shapes meant for
// a rectangle a half as high as wide). Style IMG_SHAPE_SOLID fills in `colour`
// with the two band colours as a shaded rim; IMG_SHAPE_INNERFILL fills the
// inside only; the area outside the shape is left as it was, or painted
// `background` when IMG_SHAPE_PAINTBACK is added.
enum ImgShapeStyle {
    IMG_SHAPE_SOLID = 0x0,
    IMG_SHAPE_INNERFILL = 0x1,
    IMG_SHAPE_PAINTBACK = 0x100,
};
int ImgDrawShape(HDC dc, const RECT* rect, UINT shape, UINT style, COLORREF colour,
                 COLORREF bandLight, COLORREF bandDark, COLORREF background);

// Text with an effect, drawn transparently into `rect` of `dc` with `font`.
// Flags: the low four bits the effect (IMG_TEXT_NORMAL, _SHADOW: a copy in the
// shadow colour at (+shadowX, +shadowY) under the text, _OUTLINE: the outline
// colour around every glyph, _SHADOW_OUTLINE both); horizontal placement
// IMG_TEXT_LEFT / _HCENTER (0x10) / _RIGHT (0x20); vertical IMG_TEXT_TOP /
// _VCENTER (0x100) / _BOTTOM (0x200); IMG_TEXT_WORDWRAP (0x1000) breaks lines
// at the rectangle's width.
enum ImgTextFlags {
    IMG_TEXT_NORMAL = 0x0,
    IMG_TEXT_SHADOW = 0x1,
    IMG_TEXT_OUTLINE = 0x2,
    IMG_TEXT_SHADOW_OUTLINE = 0x3,
    IMG_TEXT_EFFECT_MASK = 0xF,
    IMG_TEXT_LEFT = 0x0,
    IMG_TEXT_HCENTER = 0x10,
    IMG_TEXT_RIGHT = 0x20,
    IMG_TEXT_TOP = 0x0,
    IMG_TEXT_VCENTER = 0x100,
    IMG_TEXT_BOTTOM = 0x200,
    IMG_TEXT_WORDWRAP = 0x1000,
};
int ImgDrawTextEffect(HDC dc, const RECT* rect, const char* text, UINT flags,
                      int shadowX, int shadowY, COLORREF textColour,
                      COLORREF shadowColour, COLORREF outlineColour, HFONT font);

// Picture files. ImgLoadFile reads a BMP, GIF or JPEG file (through GDI+)
// into `bitmap` at the file's own depth (bitsPerPixel 0: 1, 4 or 8 bits with
// the file's palette, 24 bits for true colour, 32 with alpha) or converted to
// the given depth; `order` must be IMG_ORDER_BGR. For a paletted picture that
// has a transparent colour (a GIF's transparent index: the palette entry
// with alpha 0) *transparentIndex gets its index, else -1. A file that is
// not a picture gives IMG_INVALID_FORMAT and leaves `bitmap` as it was.
enum ImgColourOrder {
    IMG_ORDER_RGB = 0,
    IMG_ORDER_BGR = 1,
};
int ImgLoadFile(const char* path, ImgBitmap* bitmap, int bitsPerPixel, int order, int* transparentIndex);
// Copies palette entries first..first+count-1 of a bitmap of 8 bits or fewer.
int ImgGetPalette(const ImgBitmap* bitmap, int first, int count, RGBQUAD* palette);
// A 24-bit bitmap of a device-dependent bitmap read through `dc` (the
// screen's when NULL) and, when given, `palette`.
int ImgBitmapFromDDB(HDC dc, ImgBitmap* bitmap, HBITMAP source, HPALETTE palette);
// A region of the bitmap's pixels that are not of the key colour (one
// rectangle per run of such pixels in a row), for SetWindowRgn; the caller
// deletes it. NULL on failure.
HRGN ImgRegionWithoutColour(const ImgBitmap* bitmap, COLORREF key);
// The picture sized to size x size by nearest pixel as a screen-compatible
// colour bitmap, and a monochrome mask whose set bits (transparent) are the
// pixels of the key colour; key 0xFFFFFFFF leaves the mask all opaque. The
// caller deletes both bitmaps.
int ImgMakeIconBitmaps(const ImgBitmap* bitmap, int size, COLORREF key, HBITMAP* colour, HBITMAP* mask);
