// Resizing: nearest pixel, or a separable resampler that averages the area a
// target pixel covers when shrinking and interpolates bilinearly when
// enlarging. Fixed-point throughout (8-bit weights that sum to exactly 256 per
// target pixel), so a solid colour stays exactly that colour.
#include "platform/imaging/ImgInternal.h"

#include <memory>
#include <new>
#include <string.h>
#include <vector>

namespace {

// For each target index along one axis: the first source index and the
// weights of the source pixels from there on.
struct Taps {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<uint16_t> weights;  // `stride` per target index
    int stride = 0;
};

void BuildTaps(int src, int dst, Taps* taps)
{
    taps->first.assign((size_t)dst, 0);
    taps->count.assign((size_t)dst, 0);
    if (dst < src) {
        // Target i covers [i * src, (i + 1) * src) and source j covers
        // [j * dst, (j + 1) * dst), both in units of 1 / (src * dst) of the
        // picture: the overlaps are exact integers summing to src.
        taps->stride = src / dst + 2;
        taps->weights.assign((size_t)dst * taps->stride, 0);
        for (int i = 0; i < dst; ++i) {
            const int64_t begin = (int64_t)i * src, end = (int64_t)(i + 1) * src;
            const int j0 = (int)(begin / dst);
            int j1 = (int)((end + dst - 1) / dst);
            if (j1 > src)
                j1 = src;
            uint16_t* w = &taps->weights[(size_t)i * taps->stride];
            int sum = 0, largest = 0;
            for (int j = j0; j < j1; ++j) {
                const int64_t lo = begin > (int64_t)j * dst ? begin : (int64_t)j * dst;
                const int64_t hi = end < (int64_t)(j + 1) * dst ? end : (int64_t)(j + 1) * dst;
                const int weight = (int)((hi - lo) * 256 / src);
                w[j - j0] = (uint16_t)weight;
                sum += weight;
                if (weight > w[largest])
                    largest = j - j0;
            }
            w[largest] = (uint16_t)(w[largest] + 256 - sum);
            taps->first[(size_t)i] = j0;
            taps->count[(size_t)i] = j1 - j0;
        }
    } else {
        // Pixel centres line up: target i samples source (i + 0.5) * src / dst - 0.5.
        taps->stride = 2;
        taps->weights.assign((size_t)dst * 2, 0);
        for (int i = 0; i < dst; ++i) {
            int64_t pos = ((int64_t)(2 * i + 1) * src * 256) / (2 * (int64_t)dst) - 128;
            if (pos < 0)
                pos = 0;
            int j = (int)(pos >> 8);
            int f = (int)(pos & 255);
            if (j >= src - 1) {
                j = src - 1;
                f = 0;
            }
            taps->first[(size_t)i] = j;
            taps->count[(size_t)i] = f ? 2 : 1;
            taps->weights[(size_t)i * 2] = (uint16_t)(256 - f);
            taps->weights[(size_t)i * 2 + 1] = (uint16_t)f;
        }
    }
}

// Rows of CH interleaved 8-bit channels, counted from the top of the picture
// so that both axes sample the picture the same way round. A source hands
// out row y (a pointer valid until the next call); a sink gives the place for
// row y and takes it back once it is written.
class RowSource {
public:
    virtual ~RowSource() {}
    virtual const BYTE* Row(int y) = 0;
};

class RowSink {
public:
    virtual ~RowSink() {}
    virtual BYTE* Begin(int y) = 0;
    virtual void End(int y) = 0;
};

// Only the source rows the current target row needs are resampled
// horizontally, into a ring of as many rows as a target row can use; the
// rows come in order, so each source row is done once and the working set
// stays a few rows of the target's width.
template <int CH>
bool Resample(RowSource& src, int srcWidth, int srcHeight, RowSink& dst, int dstWidth, int dstHeight)
{
    Taps tx, ty;
    BuildTaps(srcWidth, dstWidth, &tx);
    BuildTaps(srcHeight, dstHeight, &ty);
    const size_t rowValues = (size_t)dstWidth * CH;
    const int ringRows = ty.stride;
    std::unique_ptr<uint16_t[]> ring(new (std::nothrow) uint16_t[rowValues * (size_t)ringRows]);
    std::unique_ptr<int[]> ringRow(new (std::nothrow) int[(size_t)ringRows]);
    std::unique_ptr<uint32_t[]> acc(new (std::nothrow) uint32_t[rowValues]);
    if (!ring || !ringRow || !acc)
        return false;
    for (int k = 0; k < ringRows; ++k)
        ringRow[k] = -1;
    for (int y = 0; y < dstHeight; ++y) {
        const uint16_t* w = &ty.weights[(size_t)y * ty.stride];
        const int first = ty.first[(size_t)y];
        const int n = ty.count[(size_t)y];
        uint32_t* a = acc.get();
        for (int k = 0; k < n; ++k) {
            const int sy = first + k;
            const int slot = sy % ringRows;
            uint16_t* h = ring.get() + (size_t)slot * rowValues;
            if (ringRow[slot] != sy) {
                // Horizontal pass of one source row: values scaled by 256.
                const BYTE* in = src.Row(sy);
                for (int x = 0; x < dstWidth; ++x) {
                    const BYTE* p = in + (size_t)tx.first[(size_t)x] * CH;
                    const uint16_t* wx = &tx.weights[(size_t)x * tx.stride];
                    const int taps = tx.count[(size_t)x];
                    uint32_t sum[CH] = {};
                    for (int t = 0; t < taps; ++t, p += CH)
                        for (int c = 0; c < CH; ++c)
                            sum[c] += (uint32_t)wx[t] * p[c];
                    for (int c = 0; c < CH; ++c)
                        h[(size_t)x * CH + c] = (uint16_t)sum[c];
                }
                ringRow[slot] = sy;
            }
            const uint32_t wk = w[k];
            if (k == 0) {
                for (size_t i = 0; i < rowValues; ++i)
                    a[i] = wk * h[i] + 32768;
            } else if (wk) {
                for (size_t i = 0; i < rowValues; ++i)
                    a[i] += wk * h[i];
            }
        }
        BYTE* out = dst.Begin(y);
        for (size_t i = 0; i < rowValues; ++i)
            out[i] = (BYTE)(a[i] >> 16);
        dst.End(y);
    }
    return true;
}

// A bitmap's own rows (24 and 32 bits), read and written in place.
class DirectRows : public RowSource, public RowSink {
public:
    explicit DirectRows(const ImgBitmap& b) : m_b(b) {}
    const BYTE* Row(int y) override { return At(y); }
    BYTE* Begin(int y) override { return At(y); }
    void End(int) override {}

private:
    BYTE* At(int y) const { return m_b.bits + (size_t)(m_b.height - 1 - y) * m_b.bytesPerLine; }
    const ImgBitmap& m_b;
};

// Other depths: rows decoded to 32 bits on the way in, and encoded back on
// the way out (paletted ones onto their own palette).
class WideRows : public RowSource, public RowSink {
public:
    WideRows(const ImgBitmap& b, img::PaletteMapper* mapper) : m_b(b), m_mapper(mapper), m_row((size_t)b.width) {}
    const BYTE* Row(int y) override
    {
        img::DecodeRow(At(y), m_b.width, m_b.bitsPerPixel, m_b.palette, m_row.data());
        return reinterpret_cast<const BYTE*>(m_row.data());
    }
    BYTE* Begin(int) override { return reinterpret_cast<BYTE*>(m_row.data()); }
    void End(int y) override { img::EncodeRow(m_row.data(), m_b.width, m_b.bitsPerPixel, m_mapper, At(y)); }

private:
    BYTE* At(int y) const { return m_b.bits + (size_t)(m_b.height - 1 - y) * m_b.bytesPerLine; }
    const ImgBitmap& m_b;
    img::PaletteMapper* m_mapper;
    std::vector<uint32_t> m_row;
};

// Centre of target pixel i mapped back to the source.
inline int NearestIndex(int i, int src, int dst)
{
    return (int)(((int64_t)(2 * i + 1) * src) / (2 * (int64_t)dst));
}

void ResizeNearest(const ImgBitmap& src, ImgBitmap* dst)
{
    std::vector<int> xs((size_t)dst->width);
    for (int x = 0; x < dst->width; ++x)
        xs[(size_t)x] = NearestIndex(x, src.width, dst->width);
    const int bits = src.bitsPerPixel;
    // Rows are counted from the top of the picture, like the columns from the left.
    for (int y = 0; y < dst->height; ++y) {
        const int sy = src.height - 1 - NearestIndex(dst->height - 1 - y, src.height, dst->height);
        const BYTE* in = src.bits + (size_t)sy * src.bytesPerLine;
        BYTE* out = dst->bits + (size_t)y * dst->bytesPerLine;
        switch (bits) {
        case 32: {
            const uint32_t* in32 = reinterpret_cast<const uint32_t*>(in);
            uint32_t* out32 = reinterpret_cast<uint32_t*>(out);
            for (int x = 0; x < dst->width; ++x)
                out32[x] = in32[xs[(size_t)x]];
            break;
        }
        case 24:
            for (int x = 0; x < dst->width; ++x) {
                const BYTE* p = in + (size_t)xs[(size_t)x] * 3;
                out[3 * x] = p[0];
                out[3 * x + 1] = p[1];
                out[3 * x + 2] = p[2];
            }
            break;
        case 16:
            for (int x = 0; x < dst->width; ++x) {
                const BYTE* p = in + (size_t)xs[(size_t)x] * 2;
                out[2 * x] = p[0];
                out[2 * x + 1] = p[1];
            }
            break;
        case 8:
            for (int x = 0; x < dst->width; ++x)
                out[x] = in[xs[(size_t)x]];
            break;
        case 4:
            for (int x = 0; x < dst->width; ++x) {
                const int sx = xs[(size_t)x];
                const BYTE v = (sx & 1) ? (in[sx >> 1] & 0x0F) : (in[sx >> 1] >> 4);
                if (x & 1)
                    out[x >> 1] |= v;
                else
                    out[x >> 1] = (BYTE)(v << 4);
            }
            break;
        case 1:
            for (int x = 0; x < dst->width; ++x) {
                const int sx = xs[(size_t)x];
                const int v = (in[sx >> 3] >> (7 - (sx & 7))) & 1;
                if (!(x & 7))
                    out[x >> 3] = 0;
                out[x >> 3] |= (BYTE)(v << (7 - (x & 7)));
            }
            break;
        }
    }
}

// Depths other than 24 and 32 are resampled in 32-bit colour.
bool ResizeInterpolated(const ImgBitmap& src, ImgBitmap* dst)
{
    if (src.bitsPerPixel == 32 || src.bitsPerPixel == 24) {
        DirectRows in(src), out(*dst);
        return src.bitsPerPixel == 32 ? Resample<4>(in, src.width, src.height, out, dst->width, dst->height)
                                      : Resample<3>(in, src.width, src.height, out, dst->width, dst->height);
    }
    img::PaletteMapper mapper;
    if (dst->bitsPerPixel <= 8 && !mapper.Init(dst->palette, dst->colors > 0 ? dst->colors : 1))
        return false;
    WideRows in(src, nullptr), out(*dst, &mapper);
    return Resample<4>(in, src.width, src.height, out, dst->width, dst->height);
}

} // namespace

int ImgResize(ImgBitmap* bitmap, int width, int height, BOOL interpolate)
{
    if (!bitmap)
        return IMG_INVALID_PARAMETER;
    if (bitmap->structSize != sizeof(ImgBitmap) || !bitmap->allocated)
        return IMG_BITMAP_NOT_ALLOCATED;
    if (width <= 0 || height <= 0)
        return IMG_INVALID_PARAMETER;
    if (width == bitmap->width && height == bitmap->height)
        return IMG_SUCCESS;
    ImgBitmap result;
    const int rc = img::CreateSection(&result, width, height, bitmap->bitsPerPixel, bitmap->palette, bitmap->colors);
    if (rc != IMG_SUCCESS)
        return rc;
    GdiFlush();
    if (interpolate) {
        bool ok = false;
        try {
            ok = ResizeInterpolated(*bitmap, &result);
        } catch (...) {
            ok = false;
        }
        if (!ok) {
            ImgFreeBitmap(&result);
            return IMG_NO_MEMORY;
        }
    } else {
        try {
            ResizeNearest(*bitmap, &result);
        } catch (...) {
            ImgFreeBitmap(&result);
            return IMG_NO_MEMORY;
        }
    }
    img::Replace(bitmap, &result);
    return IMG_SUCCESS;
}
