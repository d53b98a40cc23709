// Fixed paint palettes and nearest-colour mapping.
#include "platform/imaging/ImgInternal.h"

#include <new>
#include <stdlib.h>
#include <string.h>

namespace {

RGBQUAD Quad(int r, int g, int b)
{
    RGBQUAD q;
    q.rgbRed = (BYTE)r;
    q.rgbGreen = (BYTE)g;
    q.rgbBlue = (BYTE)b;
    q.rgbReserved = 0;
    return q;
}

// The sixteen colours of the standard 4-bit display palette, in its order.
const BYTE kVga[16][3] = {
    {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
    {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
    {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};

} // namespace

// The 8-bit palette is a cube of 6 red x 7 green x 6 blue levels (green gets
// the extra level because the eye tells greens apart best), index =
// r * 42 + g * 6 + b, followed by four greys the cube lacks. It is computed,
// not stored, so every run and every thread gets the same 256 entries.
void ImgFixedPalette(RGBQUAD* palette, int bitsPerPixel)
{
    if (!palette)
        return;
    if (bitsPerPixel == 1) {
        palette[0] = Quad(0, 0, 0);
        palette[1] = Quad(255, 255, 255);
    } else if (bitsPerPixel == 4) {
        for (int i = 0; i < 16; ++i)
            palette[i] = Quad(kVga[i][0], kVga[i][1], kVga[i][2]);
    } else if (bitsPerPixel == 8) {
        int n = 0;
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 7; ++g)
                for (int b = 0; b < 6; ++b)
                    palette[n++] = Quad(r * 255 / 5, g * 255 / 6, b * 255 / 5);
        const int greys[4] = {0x40, 0x80, 0xC0, 0xE0};
        for (int i = 0; i < 4; ++i)
            palette[n++] = Quad(greys[i], greys[i], greys[i]);
    }
}

void ImgSystemColourPalette(RGBQUAD* palette)
{
    // As (red, green, blue): entries 0-9, then 245-254.
    static const BYTE kStatic[20][3] = {
        {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
        {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
        {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
        {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
    };
    if (!palette)
        return;
    ImgFixedPalette(palette, 8);
    for (int i = 0; i < 20; ++i)
        palette[i < 10 ? i : 235 + i] = Quad(kStatic[i][0], kStatic[i][1], kStatic[i][2]);
}

namespace img {

PaletteMapper::PaletteMapper()
    : m_colors(0), m_keys(nullptr), m_values(nullptr), m_cells(nullptr), m_candidates(nullptr), m_candidateCount(0),
      m_candidateCapacity(0)
{
}

PaletteMapper::~PaletteMapper()
{
    delete[] m_keys;
    delete[] m_values;
    delete[] m_cells;
    free(m_candidates);
}

bool PaletteMapper::Init(const RGBQUAD* palette, int colors)
{
    if (!palette || colors < 1 || colors > 256)
        return false;
    if (!m_keys) {
        m_keys = new (std::nothrow) uint32_t[65536];
        m_values = new (std::nothrow) BYTE[65536];
        m_cells = new (std::nothrow) uint32_t[4096];
        if (!m_keys || !m_values || !m_cells)
            return false;
    }
    memset(m_keys, 0xFF, 65536 * sizeof(uint32_t));
    memset(m_cells, 0, 4096 * sizeof(uint32_t));
    m_candidateCount = 0;
    m_colors = colors;
    for (int i = 0; i < colors; ++i) {
        m_r[i] = palette[i].rgbRed;
        m_g[i] = palette[i].rgbGreen;
        m_b[i] = palette[i].rgbBlue;
    }
    return true;
}

namespace {

// Squared distance from v to the nearest and to the farthest point of [lo, hi].
inline void Span(int v, int lo, int hi, int* nearest, int* farthest)
{
    const int n = v < lo ? lo - v : (v > hi ? v - hi : 0);
    const int a = v - lo, b = hi - v;
    const int f = (a < 0 ? -a : a) > (b < 0 ? -b : b) ? a : b;
    *nearest = n * n;
    *farthest = f * f;
}

} // namespace

// An entry can be nearest to some colour of the cell only when its nearest
// possible distance is no more than the smallest farthest distance of any
// entry: that entry is at least that close to every colour of the cell.
// Entries that tie stay in, so the lower index still wins ties.
void PaletteMapper::BuildCell(int cell)
{
    const int r0 = ((cell >> 8) & 15) * 16, g0 = ((cell >> 4) & 15) * 16, b0 = (cell & 15) * 16;
    int nearest[256];
    int bound = 0x7FFFFFFF;
    for (int i = 0; i < m_colors; ++i) {
        int nr, fr, ng, fg, nb, fb;
        Span(m_r[i], r0, r0 + 15, &nr, &fr);
        Span(m_g[i], g0, g0 + 15, &ng, &fg);
        Span(m_b[i], b0, b0 + 15, &nb, &fb);
        nearest[i] = nr + ng + nb;
        if (fr + fg + fb < bound)
            bound = fr + fg + fb;
    }
    if (m_candidateCount + 256 > m_candidateCapacity) {
        const size_t capacity = m_candidateCapacity ? m_candidateCapacity * 2 : 8192;
        BYTE* grown = static_cast<BYTE*>(realloc(m_candidates, capacity));
        if (!grown) {
            m_cells[cell] = 0;
            return;
        }
        m_candidates = grown;
        m_candidateCapacity = capacity;
    }
    const size_t offset = m_candidateCount;
    int count = 0;
    for (int i = 0; i < m_colors; ++i)
        if (nearest[i] <= bound)
            m_candidates[offset + count++] = (BYTE)i;
    m_candidateCount += (size_t)count;
    m_cells[cell] = (uint32_t)((offset + 1) << 9) | (uint32_t)count;
}

BYTE PaletteMapper::Search(uint32_t bgr)
{
    const int b = (int)(bgr & 0xFF);
    const int g = (int)((bgr >> 8) & 0xFF);
    const int r = (int)((bgr >> 16) & 0xFF);
    const int cell = ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4);
    if (!m_cells[cell])
        BuildCell(cell);
    const BYTE* list;
    int count;
    BYTE all[256];
    if (m_cells[cell]) {
        list = m_candidates + ((m_cells[cell] >> 9) - 1);
        count = (int)(m_cells[cell] & 0x1FF);
    } else {  // no memory for the cell's list: compare with every entry
        for (int i = 0; i < m_colors; ++i)
            all[i] = (BYTE)i;
        list = all;
        count = m_colors;
    }
    int best = 0x7FFFFFFF;
    int bestIndex = 0;
    for (int k = 0; k < count; ++k) {
        const int i = list[k];
        const int dr = m_r[i] - r, dg = m_g[i] - g, db = m_b[i] - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < best) {
            best = d;
            bestIndex = i;
        }
    }
    return (BYTE)bestIndex;
}

} // namespace img
