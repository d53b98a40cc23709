#include "capture/SizeCursor.h"

#include "framework/Module.h"
#include "resources/ids_pickers.h"

#include <stdio.h>

const BYTE CSizeCursor::kGlyphs[10][kDigitRows] = {
    {7, 5, 5, 5, 5, 5, 7},   // 0
    {2, 6, 2, 2, 2, 2, 7},   // 1
    {7, 1, 1, 7, 4, 4, 7},   // 2
    {7, 1, 1, 7, 1, 1, 7},   // 3
    {5, 5, 5, 7, 1, 1, 1},   // 4
    {7, 4, 4, 7, 1, 1, 7},   // 5
    {7, 4, 4, 7, 5, 5, 7},   // 6
    {7, 1, 1, 2, 2, 2, 2},   // 7
    {7, 5, 5, 7, 5, 5, 7},   // 8
    {7, 5, 5, 7, 1, 1, 7},   // 9
};

namespace {

struct MonoInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
};

MonoInfo MonoHeader(int width, int height)
{
    MonoInfo info = {};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = height;   // bottom-up
    info.header.biPlanes = 1;
    info.header.biBitCount = 1;
    info.header.biCompression = BI_RGB;
    info.colours[1].rgbBlue = info.colours[1].rgbGreen = info.colours[1].rgbRed = 0xFF;
    return info;
}

}  // namespace

// Only a monochrome cursor (no colour bitmap, a one-bit mask of both halves)
// can carry the digits; any other leaves the picker with its plain cursor.
CSizeCursor::CSizeCursor() : m_width(0), m_maskHeight(0), m_stride(0), m_hotX(0), m_hotY(0), m_cursor(NULL)
{
    HCURSOR base = (HCURSOR)::LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDC_PICKER_SIZE), IMAGE_CURSOR, 0,
                                         0, LR_DEFAULTCOLOR);
    if (!base)
        return;
    ICONINFO info = {};
    if (::GetIconInfo((HICON)base, &info)) {
        BITMAP bm = {};
        if (!info.hbmColor && info.hbmMask && ::GetObjectA(info.hbmMask, sizeof(bm), &bm) && bm.bmBitsPixel == 1 &&
            bm.bmHeight >= 2 * (kWidthRow + kDigitRows) && bm.bmWidth >= kFirstDigitColumn + kMaxDigits * kDigitPitch) {
            MonoInfo mono = MonoHeader(bm.bmWidth, bm.bmHeight);
            const int stride = ((bm.bmWidth + 31) / 32) * 4;
            std::vector<BYTE> bits((size_t)stride * bm.bmHeight);
            HDC dc = ::GetDC(NULL);
            const int rows = ::GetDIBits(dc, info.hbmMask, 0, bm.bmHeight, bits.data(), (BITMAPINFO*)&mono,
                                         DIB_RGB_COLORS);
            ::ReleaseDC(NULL, dc);
            if (rows == bm.bmHeight) {
                m_bits.swap(bits);
                m_width = bm.bmWidth;
                m_maskHeight = bm.bmHeight;
                m_stride = stride;
                m_hotX = info.xHotspot;
                m_hotY = info.yHotspot;
            }
        }
        if (info.hbmMask)
            ::DeleteObject(info.hbmMask);
        if (info.hbmColor)
            ::DeleteObject(info.hbmColor);
    }
    ::DestroyCursor(base);
}

// A cursor still on the screen is taken off first, so that it can go too.
CSizeCursor::~CSizeCursor()
{
    if (m_cursor && ::GetCursor() == m_cursor)
        ::SetCursor(::LoadCursor(NULL, IDC_ARROW));
    Release();
}

void CSizeCursor::Release()
{
    if (m_cursor && ::GetCursor() != m_cursor) {
        ::DestroyCursor(m_cursor);
        m_cursor = NULL;
    }
}

// Each digit's row is a mask of all ones with the glyph's pixels cleared,
// ANDed into the row, so the digits come out black on the white field.
void CSizeCursor::DrawNumber(std::vector<BYTE>& bits, int row, int value) const
{
    if (value < 0 || value > 99999)
        value = 99999;
    char text[8];
    snprintf(text, sizeof(text), "%d", value);
    for (int i = 0; text[i] && i < kMaxDigits; ++i) {
        const BYTE* glyph = kGlyphs[text[i] - '0'];
        const int left = kFirstDigitColumn + i * kDigitPitch;
        for (int r = 0; r < kDigitRows; ++r) {
            // The glyph's top row lands on the highest row of the bottom-up DIB.
            BYTE* line = bits.data() + (size_t)(row + kDigitRows - 1 - r) * m_stride;
            for (int c = 0; c < kDigitWidth; ++c) {
                if (glyph[r] & (4 >> c)) {
                    const int x = left + c;
                    line[x / 8] &= (BYTE) ~(0x80 >> (x % 8));
                }
            }
        }
    }
}

HCURSOR CSizeCursor::Show(int width, int height)
{
    if (!IsUsable())
        return NULL;
    std::vector<BYTE> bits(m_bits);
    DrawNumber(bits, kHeightRow, height);
    DrawNumber(bits, kWidthRow, width);
    HBITMAP mask = ::CreateBitmap(m_width, m_maskHeight, 1, 1, NULL);
    if (!mask)
        return NULL;
    MonoInfo mono = MonoHeader(m_width, m_maskHeight);
    HDC dc = ::GetDC(NULL);
    ::SetDIBits(dc, mask, 0, m_maskHeight, bits.data(), (BITMAPINFO*)&mono, DIB_RGB_COLORS);
    ::ReleaseDC(NULL, dc);
    ICONINFO info = {};
    info.fIcon = FALSE;
    info.xHotspot = m_hotX;
    info.yHotspot = m_hotY;
    info.hbmMask = mask;
    HCURSOR cursor = (HCURSOR)::CreateIconIndirect(&info);
    ::DeleteObject(mask);
    if (!cursor)
        return NULL;
    ::SetCursor(cursor);
    if (m_cursor)
        ::DestroyCursor(m_cursor);
    m_cursor = cursor;
    return cursor;
}
