#include "XrvcTestUtil.h"
#include "TestSupport.h"
#include <string.h>
#include <algorithm>

namespace xrvctest {

std::string InstallCodec()
{
    const std::string dll = testsupport::BuildDir() + "\\platform\\xrvc\\xrvc.dll";
    if (::GetFileAttributesA(dll.c_str()) == INVALID_FILE_ATTRIBUTES)
        return "codec not built: " + dll;
    // Wine cuts a Drivers32 value at its first space, even when quoted.
    if (dll.find(' ') != std::string::npos)
        return "the build folder's path has a space: " + dll;
    // The registration programs rely on: a Drivers32 value in the registry
    // view of the test's own architecture, which ICOpen resolves through
    // OpenDriver.
    HKEY key = nullptr;
    LONG rc = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32", 0,
                                nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return "cannot open Drivers32: " + std::to_string(rc);
    rc = ::RegSetValueExA(key, "vidc.xrvc", 0, REG_SZ, (const BYTE*)dll.c_str(), (DWORD)dll.size() + 1);
    ::RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return "cannot write vidc.xrvc: " + std::to_string(rc);
    return std::string();
}

size_t Stride(int width, int bitCount)
{
    return (((size_t)width * bitCount + 31) / 32) * 4;
}

Format MakeFormat(int width, int height, int bitCount)
{
    Format f;
    memset(&f, 0, sizeof(f));
    f.h.biSize = sizeof(BITMAPINFOHEADER);
    f.h.biWidth = width;
    f.h.biHeight = height;
    f.h.biPlanes = 1;
    f.h.biBitCount = (WORD)bitCount;
    f.h.biCompression = BI_RGB;
    f.h.biSizeImage = (DWORD)(Stride(width, bitCount) * height);
    if (bitCount == 8) {
        f.h.biClrUsed = 256;
        for (int i = 0; i < 256; ++i) {
            f.palette[i].rgbRed = (BYTE)i;
            f.palette[i].rgbGreen = (BYTE)(255 - i);
            f.palette[i].rgbBlue = (BYTE)(i * 7);
        }
    }
    return f;
}

bool SamePixels(const BITMAPINFOHEADER& f, const uint8_t* a, const uint8_t* b, int* where)
{
    const size_t stride = Stride(f.biWidth, f.biBitCount);
    const size_t rowBytes = (size_t)f.biWidth * f.biBitCount / 8;
    for (LONG y = 0; y < f.biHeight; ++y) {
        if (memcmp(a + y * stride, b + y * stride, rowBytes) != 0) {
            if (where)
                *where = (int)y;
            return false;
        }
    }
    return true;
}

CDesktop::CDesktop(int width, int height, int bitCount)
    : m_w(width), m_h(height), m_bits(bitCount), m_px((size_t)width * height, 0x003A6EA5u)
{
    // A terminal on the left, a small window to be dragged on the right.
    Fill(m_w / 8, m_h / 8, m_w / 2, m_h * 3 / 4, 0x00FFFFFF);
    m_caretX = m_w / 8 + 2;
    m_caretY = m_h / 8 + 2;
    m_winX = m_w * 5 / 8 + 4;
    m_winY = m_h / 4;
    Window(m_winX, m_winY);
}

uint32_t CDesktop::Rand()
{
    m_seed = m_seed * 1103515245u + 12345u;
    return m_seed >> 8;
}

void CDesktop::Fill(int x, int y, int w, int h, uint32_t colour)
{
    const int x0 = std::max(0, x), y0 = std::max(0, y);
    const int x1 = std::min(m_w, x + w), y1 = std::min(m_h, y + h);
    for (int yy = y0; yy < y1; ++yy)
        for (int xx = x0; xx < x1; ++xx)
            m_px[(size_t)yy * m_w + xx] = colour;
}

void CDesktop::Glyph(int x, int y, uint32_t seed)
{
    // 5x7 pixels of "ink" in a pattern given by the seed; the fourth byte
    // varies so that 32-bit frames test it too.
    for (int r = 0; r < 7; ++r)
        for (int c = 0; c < 5; ++c)
            if ((seed >> ((r * 5 + c) % 29)) & 1)
                Fill(x + c, y + r, 1, 1, 0x20101010u | ((seed & 0xF) << 28));
}

void CDesktop::Window(int x, int y)
{
    const int w = std::max(8, m_w / 6), h = std::max(6, m_h / 6);
    Fill(x, y, w, h, 0x00C0C0C0);
    Fill(x, y, w, 3, 0x000A246A);
    for (int i = 0; i < 6; ++i)
        Glyph(x + 3 + i * 6, y + 6, 0x1F3A5C7u * (i + 1));
}

void CDesktop::Step(int frame)
{
    const int left = m_w / 8, top = m_h / 8, width = m_w / 2, height = m_h * 3 / 4;
    switch (frame % 8) {
    case 0:
    case 1:
        Glyph(m_caretX, m_caretY, Rand());
        m_caretX += 6;
        if (m_caretX + 6 > left + width) {
            m_caretX = left + 2;
            m_caretY += 9;
        }
        if (m_caretY + 9 > top + height)
            m_caretY = top + 2;
        break;
    case 3:
        // Scroll the terminal up by one text line.
        for (int y = top; y + 9 < top + height && y + 9 < m_h; ++y)
            for (int x = std::max(0, left); x < std::min(m_w, left + width); ++x)
                m_px[(size_t)y * m_w + x] = m_px[(size_t)(y + 9) * m_w + x];
        Fill(left, top + height - 9, width, 9, 0x00FFFFFF);
        break;
    case 4: {
        // Drag the window a few pixels.
        const int w = std::max(8, m_w / 6), h = std::max(6, m_h / 6);
        Fill(m_winX, m_winY, w, h, 0x003A6EA5);
        m_winX += 3;
        m_winY += 2;
        if (m_winX + w > m_w || m_winY + h > m_h) {
            m_winX = m_w * 5 / 8 + 4;
            m_winY = m_h / 4;
        }
        Window(m_winX, m_winY);
        break;
    }
    case 5:
        m_caret = !m_caret;
        Fill(m_caretX, m_caretY, 2, 8, m_caret ? 0x00000000 : 0x00FFFFFF);
        break;
    case 7:
        if (frame % 40 == 7)
            for (auto& p : m_px)
                p = Rand() ^ (Rand() << 16);
        break;
    default:
        break;   // idle
    }
}

std::vector<uint8_t> CDesktop::Frame() const
{
    const size_t stride = Stride(m_w, m_bits);
    std::vector<uint8_t> out(stride * m_h, 0);
    for (int y = 0; y < m_h; ++y) {
        uint8_t* row = &out[(size_t)(m_h - 1 - y) * stride];   // bottom-up
        for (int x = 0; x < m_w; ++x) {
            const uint32_t p = m_px[(size_t)y * m_w + x];
            const uint8_t a = (uint8_t)(p >> 24), r = (uint8_t)(p >> 16), g = (uint8_t)(p >> 8), b = (uint8_t)p;
            switch (m_bits) {
            case 8:
                row[x] = (uint8_t)(r ^ (g * 3) ^ (b * 7) ^ a);
                break;
            case 16: {
                const uint16_t v = (uint16_t)(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3) | ((a & 0x80) << 8));
                row[2 * x] = (uint8_t)v;
                row[2 * x + 1] = (uint8_t)(v >> 8);
                break;
            }
            case 24:
                row[3 * x] = b;
                row[3 * x + 1] = g;
                row[3 * x + 2] = r;
                break;
            default:
                row[4 * x] = b;
                row[4 * x + 1] = g;
                row[4 * x + 2] = r;
                row[4 * x + 3] = a;
                break;
            }
        }
    }
    return out;
}

}  // namespace xrvctest
