#include "ComposeTestSupport.h"

#include <functional>

#include <stdio.h>
#include <stdlib.h>
#include <vfw.h>

namespace composetest {

TestFrame::TestFrame(int width, int height, COLORREF fill)
    : m_width(width), m_height(height), m_dc(NULL), m_bitmap(NULL), m_old(NULL), m_bits(NULL)
{
    BITMAPINFOHEADER header = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
    void* bits = NULL;
    m_dc = ::CreateCompatibleDC(NULL);
    m_bitmap = ::CreateDIBSection(m_dc, (const BITMAPINFO*)&header, DIB_RGB_COLORS, &bits, NULL, 0);
    m_bits = (DWORD*)bits;
    m_old = ::SelectObject(m_dc, m_bitmap);
    Fill(fill);
}

TestFrame::~TestFrame()
{
    ::SelectObject(m_dc, m_old);
    ::DeleteObject(m_bitmap);
    ::DeleteDC(m_dc);
}

void TestFrame::Fill(COLORREF colour)
{
    HBRUSH brush = ::CreateSolidBrush(colour);
    const RECT all = {0, 0, m_width, m_height};
    ::FillRect(m_dc, &all, brush);
    ::DeleteObject(brush);
    ::GdiFlush();
}

COLORREF TestFrame::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height || !m_bits)
        return CLR_INVALID;
    ::GdiFlush();
    const DWORD p = m_bits[(size_t)y * m_width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

int TestFrame::CountOther(const RECT& rect, COLORREF colour) const
{
    int n = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x) {
            const COLORREF p = Pixel(x, y);
            n += p != CLR_INVALID && p != colour;
        }
    return n;
}

// The smallest rectangle round the pixels of a width x height picture that
// `match` takes; empty when it takes none.
static RECT BoundsWhere(int width, int height, const std::function<bool(int, int)>& match)
{
    RECT r = {width, height, 0, 0};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (match(x, y)) {
                r.left = x < r.left ? x : r.left;
                r.top = y < r.top ? y : r.top;
                r.right = x + 1 > r.right ? x + 1 : r.right;
                r.bottom = y + 1 > r.bottom ? y + 1 : r.bottom;
            }
    if (r.right == 0)
        ::SetRectEmpty(&r);
    return r;
}

int TestFrame::CountNear(const RECT& rect, COLORREF colour, int tolerance) const
{
    int n = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x) {
            const COLORREF p = Pixel(x, y);
            n += p != CLR_INVALID && Near(p, colour, tolerance);
        }
    return n;
}

RECT TestFrame::BoundsOf(COLORREF colour) const
{
    return BoundsWhere(m_width, m_height, [&](int x, int y) { return Pixel(x, y) == colour; });
}

bool Near(COLORREF a, COLORREF b, int tolerance)
{
    return abs((int)GetRValue(a) - (int)GetRValue(b)) <= tolerance &&
           abs((int)GetGValue(a) - (int)GetGValue(b)) <= tolerance &&
           abs((int)GetBValue(a) - (int)GetBValue(b)) <= tolerance;
}

std::string ColourText(COLORREF colour)
{
    char text[32];
    snprintf(text, sizeof(text), "rgb(%d,%d,%d)", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return text;
}

int DecodedFrame::CountNear(const RECT& rect, COLORREF colour, int tolerance) const
{
    int n = 0;
    for (int y = rect.top < 0 ? 0 : rect.top; y < rect.bottom && y < height; ++y)
        for (int x = rect.left < 0 ? 0 : rect.left; x < rect.right && x < width; ++x)
            n += Near(Pixel(x, y), colour, tolerance);
    return n;
}

RECT DecodedFrame::BoundsNear(COLORREF colour, int tolerance) const
{
    return BoundsWhere(width, height, [&](int x, int y) { return Near(Pixel(x, y), colour, tolerance); });
}

bool ReadAviFrames(const std::string& file, std::vector<DecodedFrame>* frames, std::string* why)
{
    frames->clear();
    ::AVIFileInit();
    PAVISTREAM stream = NULL;
    bool ok = false;
    do {
        if (::AVIStreamOpenFromFileA(&stream, file.c_str(), streamtypeVIDEO, 0, OF_READ, NULL) != 0) {
            *why = "no video stream in " + file;
            break;
        }
        BITMAPINFOHEADER format = {};
        LONG size = sizeof(format);
        if (::AVIStreamReadFormat(stream, 0, &format, &size) != 0 || format.biCompression != BI_RGB ||
            (format.biBitCount != 24 && format.biBitCount != 32)) {
            *why = "not an uncompressed 24- or 32-bit stream";
            break;
        }
        const int width = format.biWidth;
        const int height = format.biHeight;
        const int bytes = format.biBitCount / 8;
        const DWORD row = (DWORD)((width * format.biBitCount + 31) / 32 * 4);
        std::vector<BYTE> buffer((size_t)row * height);
        const LONG start = ::AVIStreamStart(stream);
        const LONG end = start + ::AVIStreamLength(stream);
        ok = true;
        for (LONG sample = start; sample < end; ++sample) {
            LONG got = 0;
            if (::AVIStreamRead(stream, sample, 1, buffer.data(), (LONG)buffer.size(), &got, NULL) != 0 || got == 0)
                continue;   // a skipped frame: an empty sample
            if (got < (LONG)buffer.size()) {
                *why = "short frame";
                ok = false;
                break;
            }
            DecodedFrame frame;
            frame.sample = sample;
            frame.width = width;
            frame.height = height;
            frame.pixels.resize((size_t)width * height);
            for (int y = 0; y < height; ++y) {
                const BYTE* src = buffer.data() + (size_t)(height - 1 - y) * row;   // bottom-up rows
                for (int x = 0; x < width; ++x)
                    frame.pixels[(size_t)y * width + x] = RGB(src[x * bytes + 2], src[x * bytes + 1], src[x * bytes]);
            }
            frames->push_back(std::move(frame));
        }
    } while (false);
    if (stream)
        ::AVIStreamRelease(stream);
    ::AVIFileExit();
    return ok;
}

}  // namespace composetest
