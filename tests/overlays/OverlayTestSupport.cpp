#include "OverlayTestSupport.h"

#include "settings/GdiplusInitGuard.h"

#include <stdio.h>

#include <algorithm>

namespace overlaytest {

void StartGdiplus()
{
    static CGdiplusInitGuard* guard = nullptr;
    if (!guard) {
        guard = new CGdiplusInitGuard(false);
        guard->Start();
    }
}

DibFrame::DibFrame(int width, int height, COLORREF fill)
    : m_width(width), m_height(height), m_section(NULL), m_bits(NULL), m_bitmap(NULL)
{
    StartGdiplus();
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;   // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = NULL;
    m_section = ::CreateDIBSection(NULL, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    m_bits = (DWORD*)bits;
    if (m_bits) {
        Fill(fill);
        m_bitmap = new Gdiplus::Bitmap(width, height, width * 4, PixelFormat32bppRGB, (BYTE*)m_bits);
    }
}

DibFrame::~DibFrame()
{
    delete m_bitmap;
    if (m_section)
        ::DeleteObject(m_section);
}

COLORREF DibFrame::At(int x, int y) const
{
    const DWORD p = m_bits[(size_t)y * m_width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

void DibFrame::Set(int x, int y, COLORREF c)
{
    m_bits[(size_t)y * m_width + x] = ((DWORD)GetRValue(c) << 16) | ((DWORD)GetGValue(c) << 8) | GetBValue(c);
}

void DibFrame::Fill(COLORREF c)
{
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x)
            Set(x, y, c);
}

std::vector<DWORD> DibFrame::Pixels() const
{
    std::vector<DWORD> out((size_t)m_width * m_height);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = m_bits[i] & 0xFFFFFF;
    return out;
}

int DibFrame::CountNot(COLORREF c, RECT* box) const
{
    int count = 0;
    RECT b = {m_width, m_height, -1, -1};
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x)
            if (At(x, y) != c) {
                ++count;
                b.left = std::min<LONG>(b.left, x);
                b.top = std::min<LONG>(b.top, y);
                b.right = std::max<LONG>(b.right, x + 1);
                b.bottom = std::max<LONG>(b.bottom, y + 1);
            }
    if (box)
        *box = b;
    return count;
}

bool WriteBmp(const std::string& path, int width, int height, const std::vector<COLORREF>& pixels)
{
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + stride * height;
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    std::vector<BYTE> data((size_t)stride * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            BYTE* p = &data[(size_t)(height - 1 - y) * stride + 3 * x];
            const COLORREF c = pixels[(size_t)y * width + x];
            p[0] = GetBValue(c);
            p[1] = GetGValue(c);
            p[2] = GetRValue(c);
        }
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(&file, sizeof(file), 1, f) == 1 && fwrite(&info, sizeof(info), 1, f) == 1
        && fwrite(data.data(), data.size(), 1, f) == 1;
    return fclose(f) == 0 && ok;
}

}  // namespace overlaytest
