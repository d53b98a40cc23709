// Freed sections kept for the next bitmap of the same size and depth.
//
// The frame loop makes and frees bitmaps of the same few sizes every frame
// (frame in, resized frame out). A new section's pages are fresh memory, and
// writing them the first time costs far more than the pixel work itself
// (measured under Wine: over 100 ms for 8 MB, against 0.3 ms to fill a page
// that was used before); a section kept back is reused at the price of
// clearing it.
#include "platform/imaging/ImgInternal.h"

#include <string.h>

namespace img {

namespace {

const int kPoolSlots = 4;
const size_t kPoolBytes = (size_t)64 << 20;

struct Pooled {
    HBITMAP section;
    BYTE* bits;
    int width;
    int height;
    int bitsPerPixel;
    int colors;
    size_t bytes;
    unsigned age;
};

class SectionPool {
public:
    SectionPool() : m_clock(0) {
        InitializeCriticalSection(&m_lock);
        memset(m_slots, 0, sizeof(m_slots));
    }
    // The process is ending: the system takes the sections back.
    ~SectionPool() { DeleteCriticalSection(&m_lock); }

    bool Take(int width, int height, int bitsPerPixel, int colors, HBITMAP* section, BYTE** bits)
    {
        EnterCriticalSection(&m_lock);
        bool found = false;
        for (Pooled& p : m_slots)
            if (p.section && p.width == width && p.height == height && p.bitsPerPixel == bitsPerPixel &&
                p.colors == colors) {
                *section = p.section;
                *bits = p.bits;
                memset(&p, 0, sizeof(p));
                found = true;
                break;
            }
        LeaveCriticalSection(&m_lock);
        return found;
    }

    // Keeps the section, pushing out the longest-kept ones while the pool is
    // over its count or its byte budget; false when it does not fit at all.
    bool Put(HBITMAP section, BYTE* bits, int width, int height, int bitsPerPixel, int colors, size_t bytes)
    {
        if (bytes > kPoolBytes)
            return false;
        HBITMAP evicted[kPoolSlots];
        int evictedCount = 0;
        EnterCriticalSection(&m_lock);
        for (;;) {
            size_t total = bytes;
            int used = 0, oldest = -1;
            for (int i = 0; i < kPoolSlots; ++i)
                if (m_slots[i].section) {
                    total += m_slots[i].bytes;
                    ++used;
                    if (oldest < 0 || m_slots[i].age < m_slots[oldest].age)
                        oldest = i;
                }
            if (used < kPoolSlots && total <= kPoolBytes)
                break;
            evicted[evictedCount++] = m_slots[oldest].section;
            memset(&m_slots[oldest], 0, sizeof(Pooled));
        }
        for (Pooled& p : m_slots)
            if (!p.section) {
                p = {section, bits, width, height, bitsPerPixel, colors, bytes, ++m_clock};
                break;
            }
        LeaveCriticalSection(&m_lock);
        for (int i = 0; i < evictedCount; ++i)
            DeleteObject(evicted[i]);
        return true;
    }

    void Trim()
    {
        HBITMAP all[kPoolSlots];
        int count = 0;
        EnterCriticalSection(&m_lock);
        for (Pooled& p : m_slots)
            if (p.section) {
                all[count++] = p.section;
                memset(&p, 0, sizeof(p));
            }
        LeaveCriticalSection(&m_lock);
        for (int i = 0; i < count; ++i)
            DeleteObject(all[i]);
    }

    int Count()
    {
        EnterCriticalSection(&m_lock);
        int n = 0;
        for (const Pooled& p : m_slots)
            n += p.section != NULL;
        LeaveCriticalSection(&m_lock);
        return n;
    }

private:
    CRITICAL_SECTION m_lock;
    Pooled m_slots[kPoolSlots];
    unsigned m_clock;
};

SectionPool& Pool()
{
    static SectionPool pool;
    return pool;
}

} // namespace

// A paletted section is matched on its colour count too: the length of a
// section's colour table is fixed when it is made.
bool TakePooledSection(int width, int height, int bitsPerPixel, int colors, HBITMAP* section, BYTE** bits)
{
    return Pool().Take(width, height, bitsPerPixel, bitsPerPixel <= 8 ? colors : 0, section, bits);
}

bool PoolSection(const ImgBitmap& bitmap)
{
    if (!bitmap.section)
        return false;
    return Pool().Put(bitmap.section, bitmap.bits, bitmap.width, bitmap.height, bitmap.bitsPerPixel,
                      bitmap.bitsPerPixel <= 8 ? bitmap.colors : 0, (size_t)bitmap.bytesPerLine * bitmap.height);
}

int PooledSectionCount()
{
    return Pool().Count();
}

} // namespace img

void ImgTrimCache(void)
{
    img::Pool().Trim();
}
