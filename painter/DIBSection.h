#pragma once
#include "framework/Object.h"
#include "framework/Types.h"
#include "framework/ui/DC.h"
#include "framework/ui/GdiObject.h"

#include <vfw.h>

// The working image of the image editor: a DIB section with a copy of its
// header and colour table, a logical palette matching it, an optional DrawDib
// handle for dithered output and a memory DC through which every drawing
// operation writes into the pixels. Operations answer nonzero for success.
// Creation paths build the new section first and replace the old one only
// when it exists, so a failed creation leaves the image as it was (Create
// alone empties the image when the system refuses the section). UI thread
// only: GetLogPalette returns one shared record.
class CDIBSection : public CObject {
    DECLARE_DYNCREATE(CDIBSection)
public:
    CDIBSection();
    ~CDIBSection() override;

    // --- The image
    HBITMAP GetSafeHandle() const { return m_hBitmap; }
    BOOL IsEmpty() const { return m_hBitmap == NULL; }
    int GetWidth() const { return m_info.hdr.biWidth; }
    int GetHeight() const { return m_info.hdr.biHeight; }
    CSize GetSize() const { return CSize(m_info.hdr.biWidth, m_info.hdr.biHeight); }
    int GetBitCount() const { return m_info.hdr.biBitCount; }
    int GetPlanes() const { return m_info.hdr.biPlanes; }
    UINT GetColorCount() const { return m_nColors; }
    DWORD GetImageSize() const { return m_info.hdr.biSizeImage; }
    const BITMAPINFO* GetBitmapInfo() const { return reinterpret_cast<const BITMAPINFO*>(&m_info); }
    BYTE* GetDIBits() const { return m_pBits; }
    CPalette* GetPalette() { return m_palette.GetSafeHandle() ? &m_palette : NULL; }
    const RGBQUAD* GetColorTable() const { return m_info.colors; }

    // Deletes section and palette, clears header and colours, closes DrawDib.
    void Release();

    // --- Palettes and colour tables
    static UINT ColorCountForBits(int bitCount);
    // The 2-colour palette for sizes 1-2, the 16-colour one for 3-16, else
    // the 256-colour default palette.
    static BOOL MakeDefaultPalette(CPalette& palette, int size);
    // One entry of the 256-colour default palette.
    static PALETTEENTRY DefaultPaletteEntry(int index);
    BOOL SetLogPalette(const LOGPALETTE* logPalette);
    BOOL SetPalette(CPalette* palette);
    LOGPALETTE* GetLogPalette();
    BOOL SetHeaderColors(UINT count, const RGBQUAD* colors);
    BOOL SetSectionColors(UINT count, const RGBQUAD* colors);
    BOOL BuildPaletteFromColors();
    void SetUseDrawDib(BOOL use);
    BOOL UsesDrawDib() const;

    // --- Creation
    BOOL Create(int width, int height, UINT planes, UINT bitCount, const void* bits = NULL,
                const LOGPALETTE* logPalette = NULL);
    BOOL CreateFromInfo(const BITMAPINFO* info, const void* bits);
    BOOL CreateFromBitmap(HBITMAP bitmap, CPalette* palette = NULL);
    BOOL CopyFrom(const CDIBSection& other);
    BOOL ChangeFormat(int width, int height, UINT planes, UINT bitCount, const CPoint* origin = NULL);

    // --- The memory DC
    CDC* GetMemDC(CDC* pDC = NULL, BOOL selectPalette = TRUE);
    void ReleaseMemDC();

    // --- Drawing into the pixels
    BOOL DrawDot(int x, int y, int penWidth, COLORREF colour);
    BOOL DrawLine(int x1, int y1, int x2, int y2, int penWidth, COLORREF colour);
    BOOL DrawRectangle(int x1, int y1, int x2, int y2, int penWidth, COLORREF colour, BOOL filled,
                       BOOL rounded);
    BOOL DrawEllipse(int x1, int y1, int x2, int y2, int penWidth, COLORREF colour, BOOL filled);
    BOOL DrawTextIn(LPCTSTR text, const RECT& rect, UINT format, COLORREF colour, CFont* font = NULL);
    BOOL FloodFill(int x, int y, COLORREF colour);
    BOOL FillRect(const RECT* rect, COLORREF colour);
    COLORREF GetPixel(int x, int y);

    // --- Output to a device context
    BOOL Draw(CDC* pDC, int x, int y, const CPoint* srcOrigin = NULL, const CSize* size = NULL);
    BOOL Stretch(CDC* pDC, int x, int y, int width, int height);
    BOOL DrawTransparent(CDC* pDC, int x, int y, COLORREF transparent, const CPoint* srcOrigin = NULL,
                         const CSize* size = NULL);
    BOOL StretchTransparent(CDC* pDC, int x, int y, int width, int height, COLORREF transparent);

    // --- Clipboard
    static UINT CanPaste();
    static CSize GetClipboardBitmapSize();
    // Places the rectangle (or the whole image) on the clipboard as CF_BITMAP
    // (with CF_PALETTE when there is a palette), the clipboard opened with
    // `owner`; FALSE when any clipboard call fails.
    BOOL CopyToClipboard(const RECT* rect = NULL, HWND owner = NULL);
    BOOL Paste(const RECT* rect = NULL, BOOL takePalette = FALSE);
    BOOL PasteTransparent(const RECT* rect, COLORREF transparent, BOOL takePalette = FALSE);

    // Test seam: after `skip` more section creations succeed, the next
    // `count` fail as if the system had refused them.
    static void FailSectionCreationsForTest(int count, int skip = 0);

    // Bytes of one row and of all rows of a bottom-up BI_RGB image, in 64 bits.
    static ULONGLONG StrideFor(int width, int bitCount);
    static ULONGLONG ImageBytesFor(int width, int height, int bitCount);

private:
    struct Info {
        BITMAPINFOHEADER hdr;
        RGBQUAD colors[256];
    };

    // Creates the section of m_info on `dc`; NULL when refused.
    HBITMAP CreateSection(HDC dc);
    // Takes over everything of `other`, which is left empty.
    void TakeFrom(CDIBSection& other);
    BOOL BuildBlank(int width, int height, UINT planes, UINT bitCount, const void* bits,
                    const LOGPALETTE* logPalette);
    BOOL BuildFromInfo(const BITMAPINFO* info, const void* bits);
    void CloseDrawDib();
    static BOOL ValidFormat(int width, int height, int bitCount);

    HBITMAP m_hBitmap;
    Info m_info;
    BYTE* m_pBits;
    UINT m_colorUsage;
    UINT m_nColors;
    CPalette m_palette;
    BOOL m_useDrawDib;
    HDRAWDIB m_hDrawDib;
    CDC m_memDC;
    HGDIOBJ m_oldBitmap;
    HPALETTE m_oldPalette;

    CDIBSection(const CDIBSection&) = delete;
    CDIBSection& operator=(const CDIBSection&) = delete;
};
