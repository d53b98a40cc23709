#pragma once
// Shared pieces of the imaging layer: pixel row codecs between every depth and
// 32-bit BGRX, the nearest-colour mapper, size arithmetic that cannot
// overflow, and section allocation. Not for callers outside platform/imaging.
#include "platform/imaging/Imaging.h"

#include <stddef.h>
#include <stdint.h>

namespace img {

// The largest pixel block a bitmap may hold; anything above is refused
// before a byte is allocated or read.
const uint64_t kMaxImageBytes = (uint64_t)1 << 30;

bool IsValidDepth(int bitsPerPixel);

// Row stride (padded to 4 bytes) and total size of width x height at the
// depth; false when the product overflows or passes kMaxImageBytes.
bool ImageSize(int width, int height, int bitsPerPixel, int* rowBytes, size_t* imageBytes);

// A blank bitmap of the size and depth with `colors` palette entries taken
// from `palette` (the rest of the 256 zeroed). `out` is overwritten without
// looking at what it held.
int CreateSection(ImgBitmap* out, int width, int height, int bitsPerPixel, const RGBQUAD* palette, int colors);

// A freed section of exactly this size, depth and colour count kept for
// reuse (pixels and colour table as they were left), or false.
bool TakePooledSection(int width, int height, int bitsPerPixel, int colors, HBITMAP* section, BYTE** bits);
// Keeps a freed bitmap's section for reuse; false when it was not taken (the
// caller deletes it).
bool PoolSection(const ImgBitmap& bitmap);
// How many sections are kept (for the tests).
int PooledSectionCount();

// Moves `from` into `to`, freeing what `to` held.
void Replace(ImgBitmap* to, ImgBitmap* from);

// Maps colours to the index of the nearest palette entry (squared distance in
// RGB; ties go to the lower index), remembering colours already seen so that
// a frame with few distinct colours costs one table look-up a pixel. A colour
// not seen yet is compared only with the entries that can be nearest to
// anything in its cell of a 16 x 16 x 16 grid, found the first time the cell
// is used.
class PaletteMapper {
public:
    PaletteMapper();
    ~PaletteMapper();
    // False when the tables could not be allocated or colors is out of 1..256.
    bool Init(const RGBQUAD* palette, int colors);
    BYTE Map(uint32_t bgr) {
        bgr &= 0xFFFFFF;
        const uint32_t slot = (bgr * 2654435761u) >> 16;
        if (m_keys[slot] == bgr)
            return m_values[slot];
        const BYTE index = Search(bgr);
        m_keys[slot] = bgr;
        m_values[slot] = index;
        return index;
    }

private:
    PaletteMapper(const PaletteMapper&) = delete;
    PaletteMapper& operator=(const PaletteMapper&) = delete;
    BYTE Search(uint32_t bgr);
    void BuildCell(int cell);

    int m_colors;
    BYTE m_r[256], m_g[256], m_b[256];
    uint32_t* m_keys;      // 65536 slots; 0xFFFFFFFF is empty
    BYTE* m_values;
    uint32_t* m_cells;     // 4096 cells: 0 = not built, else (offset + 1) << 9 | count
    BYTE* m_candidates;    // the cells' entry lists, in index order
    size_t m_candidateCount;
    size_t m_candidateCapacity;
};

// Pixels of a row as 32-bit values laid out like a 32-bit DIB (B, G, R, X in
// memory). Paletted depths read through `palette` (256 entries); 16 bits are
// 5-5-5; the fourth byte is 0 except when read from a 32-bit row.
void DecodeRow(const BYTE* src, int width, int bitsPerPixel, const RGBQUAD* palette, uint32_t* out);
// The reverse: paletted depths through `mapper`, which must be set up for
// them. 32-bit rows keep the fourth byte.
void EncodeRow(const uint32_t* in, int width, int bitsPerPixel, PaletteMapper* mapper, BYTE* dst);

} // namespace img
