#include "capture/FrameBitmap.h"

#include "framework/WinApp.h"
#include "capture/WatermarkSettings.h"
#include "resources/ids_capture.h"

#include <string.h>

namespace {

// A BITMAPINFO with room for the largest colour table.
struct BitmapInfo256 {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

DWORD PaletteEntries(int bitCount)
{
    return bitCount <= 8 ? (DWORD)1 << bitCount : 0;
}

}  // namespace

DWORD DibColorEntries(const BITMAPINFOHEADER& header)
{
    if (header.biCompression == BI_BITFIELDS)
        return 3;
    if (header.biClrUsed != 0)
        return header.biClrUsed;
    if (header.biBitCount <= 16)
        return ((DWORD)1 << header.biBitCount) & 0x1FF;
    return 0;
}

BYTE* DibBits(BITMAPINFOHEADER* header)
{
    return (BYTE*)header + header->biSize + DibColorEntries(*header) * sizeof(RGBQUAD);
}

// GetDIBits may answer BI_BITFIELDS for 16- and 32-bit device bitmaps; the
// frames are plain RGB with no masks, so the request is made BI_RGB, which
// also keeps the masks from being written past the reserved header.
HGLOBAL CreateDIBFromBitmap(HBITMAP bitmap, HDC dc, BOOL store32As24)
{
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biPlanes = 1;
    if (!::GetDIBits(dc, bitmap, 0, 0, NULL, (BITMAPINFO*)&header, DIB_RGB_COLORS))
        return NULL;
    if (header.biWidth <= 0 || header.biHeight == 0)
        return NULL;
    header.biCompression = BI_RGB;
    header.biPlanes = 1;
    if (store32As24 && header.biBitCount == 32)
        header.biBitCount = 24;
    const LONG height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    header.biSizeImage = DibRowBytes(header.biWidth, header.biBitCount) * (DWORD)height;
    header.biClrUsed = 0;
    header.biClrImportant = 0;

    const DWORD tableBytes = PaletteEntries(header.biBitCount) * sizeof(RGBQUAD);
    HGLOBAL block = ::GlobalAlloc(GHND, sizeof(BITMAPINFOHEADER) + tableBytes + header.biSizeImage);
    if (!block)
        return NULL;
    BITMAPINFOHEADER* locked = (BITMAPINFOHEADER*)::GlobalLock(block);
    if (!locked) {
        ::GlobalFree(block);
        return NULL;
    }
    *locked = header;
    BYTE* bits = (BYTE*)locked + sizeof(BITMAPINFOHEADER) + tableBytes;
    if (!::GetDIBits(dc, bitmap, 0, (UINT)height, bits, (BITMAPINFO*)locked, DIB_RGB_COLORS)) {
        ::GlobalUnlock(block);
        ::GlobalFree(block);
        return NULL;
    }
    locked->biClrUsed = PaletteEntries(locked->biBitCount);
    locked->biSizeImage = DibRowBytes(locked->biWidth, locked->biBitCount) * (DWORD)height;
    ::GlobalUnlock(block);
    return block;
}

// The result block holds the header, then the target's colour table (256
// entries for 8 bits, the three masks for BI_BITFIELDS), then the rows:
// GetDIBits writes the table, so it needs that room.
HGLOBAL ConvertDIBFormat(HDC dc, const BITMAPINFO* source, const BITMAPINFOHEADER* target)
{
    const BITMAPINFOHEADER& src = source->bmiHeader;
    if (src.biWidth <= 0 || src.biHeight == 0 || target->biWidth <= 0 || target->biHeight == 0)
        return NULL;

    BitmapInfo256 sourceInfo = {};
    sourceInfo.header = src;
    sourceInfo.header.biSize = sizeof(BITMAPINFOHEADER);
    const LONG srcHeight = src.biHeight < 0 ? -src.biHeight : src.biHeight;
    sourceInfo.header.biSizeImage = DibRowBytes(src.biWidth, src.biBitCount) * (DWORD)srcHeight;
    const DWORD sourceEntries = DibColorEntries(src);
    const DWORD copyEntries = sourceEntries < 256 ? sourceEntries : 256;
    memcpy(sourceInfo.colors, (const BYTE*)source + src.biSize, copyEntries * sizeof(RGBQUAD));
    if (src.biCompression != BI_BITFIELDS) {
        sourceInfo.header.biClrUsed = 0;
        sourceInfo.header.biClrImportant = 0;
    }
    const BYTE* sourceBits = (const BYTE*)source + src.biSize + sourceEntries * sizeof(RGBQUAD);

    void* sectionBits = NULL;
    HBITMAP section = ::CreateDIBSection(dc, (BITMAPINFO*)&sourceInfo, DIB_RGB_COLORS, &sectionBits, NULL, 0);
    if (!section || !sectionBits) {
        if (section)
            ::DeleteObject(section);
        return NULL;
    }
    memcpy(sectionBits, sourceBits, sourceInfo.header.biSizeImage);
    ::GdiFlush();

    const LONG height = target->biHeight < 0 ? -target->biHeight : target->biHeight;
    const DWORD imageBytes = DibRowBytes(target->biWidth, target->biBitCount) * (DWORD)height;
    DWORD tableEntries = PaletteEntries(target->biBitCount);
    if (target->biCompression == BI_BITFIELDS)
        tableEntries = 3;
    const DWORD tableBytes = tableEntries * sizeof(RGBQUAD);
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE | GMEM_ZEROINIT,
                                  sizeof(BITMAPINFOHEADER) + tableBytes + imageBytes);
    if (!block) {
        ::DeleteObject(section);
        AfxMessageBox(IDS_GLOBALALLOC_FAILED);
        return NULL;
    }
    BITMAPINFOHEADER* locked = (BITMAPINFOHEADER*)::GlobalLock(block);
    if (!locked) {
        ::GlobalFree(block);
        ::DeleteObject(section);
        AfxMessageBox(IDS_GLOBALLOCK_FAILED);
        return NULL;
    }
    *locked = *target;
    locked->biSize = sizeof(BITMAPINFOHEADER);
    locked->biPlanes = 1;
    locked->biClrUsed = 0;
    locked->biClrImportant = 0;
    BYTE* bits = (BYTE*)locked + sizeof(BITMAPINFOHEADER) + tableBytes;
    const int lines = ::GetDIBits(dc, section, 0, (UINT)height, bits, (BITMAPINFO*)locked, DIB_RGB_COLORS);
    ::DeleteObject(section);
    if (!lines) {
        ::GlobalUnlock(block);
        ::GlobalFree(block);
        AfxMessageBox(IDS_SECOND_GETDIBITS_FAILED);
        return NULL;
    }
    locked->biClrUsed = PaletteEntries(locked->biBitCount);
    locked->biSizeImage = imageBytes;
    ::GlobalUnlock(block);
    return block;
}

// A shaded block: a silver body with a grey rim and a white inner edge on a
// white (light) or black ground, ANDed into the destination so that it tints
// what lies under it.
void DrawHighlightBlock(CRecorderEngine* /*engine*/, HDC dc, const RECT& rect, int light)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return;
    HDC memDC = ::CreateCompatibleDC(dc);
    if (!memDC)
        return;
    HBITMAP bitmap = ::CreateCompatibleBitmap(dc, width, height);
    if (!bitmap) {
        ::DeleteDC(memDC);
        return;
    }
    HGDIOBJ oldBitmap = ::SelectObject(memDC, bitmap);
    RECT all = {0, 0, width, height};
    ::FillRect(memDC, &all, (HBRUSH)::GetStockObject(light > 0 ? WHITE_BRUSH : BLACK_BRUSH));

    HBRUSH body = ::CreateSolidBrush(RGB(0xC0, 0xC0, 0xC0));
    HPEN rim = ::CreatePen(PS_SOLID, 2, RGB(0x80, 0x80, 0x80));
    HPEN edge = ::CreatePen(PS_SOLID, 1, RGB(0xFF, 0xFF, 0xFF));
    HGDIOBJ oldBrush = ::SelectObject(memDC, body);
    HGDIOBJ oldPen = ::SelectObject(memDC, rim);
    ::Ellipse(memDC, 1, 1, width - 1, height - 1);
    ::SelectObject(memDC, edge);
    ::Arc(memDC, 3, 3, width - 3, height - 3, width - 3, 3, 3, height - 3);
    ::SelectObject(memDC, oldPen);
    ::SelectObject(memDC, oldBrush);
    ::DeleteObject(edge);
    ::DeleteObject(rim);
    ::DeleteObject(body);

    ::BitBlt(dc, rect.left, rect.top, width, height, memDC, 0, 0, SRCAND);
    ::SelectObject(memDC, oldBitmap);
    ::DeleteObject(bitmap);
    ::DeleteDC(memDC);
}

BOOL IsConsoleWindowOn(HWND window, DWORD version)
{
    if (version >= 0x80000000)
        return FALSE;
    char className[128] = {};
    if (!::GetClassNameA(window, className, 127))
        return FALSE;
    return strcmp(className, "ConsoleWindowClass") == 0;
}

BOOL IsConsoleWindow(HWND window)
{
    return IsConsoleWindowOn(window, ::GetVersion());
}

WatermarkSettings& CopyOverlayRecord(WatermarkSettings& destination, const WatermarkSettings& source)
{
    destination.Assign(source);
    return destination;
}
