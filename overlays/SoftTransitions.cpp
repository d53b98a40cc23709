#include "framework/FloatRound.h"
#include "overlays/SoftTransitions.h"

#include "overlays/RandomTable.h"

#include <math.h>
#include <string.h>

#include <algorithm>
#include <new>
#include <vector>

namespace {

const int kRandomCount = 20011;
const uint32_t kOne24 = 16777216u;   // 1.0 in the 8.24 weights of the blends

// A last frame can round past 1, and NaN compares false with everything:
// both would push runs outside the row.
double ClampT(double t)
{
    if (!(t > 0.0))
        return 0.0;
    return t > 1.0 ? 1.0 : t;
}

bool HasPixels(const SoftFrameInfo* frame)
{
    return frame && frame->width > 0 && frame->height > 0;
}

int32_t ClampToRow(double value, int32_t w)
{
    if (!(value > 0.0))
        return 0;
    return value >= (double)w ? w : (int32_t)value;
}

void PutRow(int32_t** cursor, std::initializer_list<int32_t> runs)
{
    for (int32_t r : runs)
        *(*cursor)++ = r;
}

// A random value threshold in [0, 32768]: values below it show the incoming
// frame, so t = 0 shows none of it and t = 1 all of it (rand() gives 0..32767).
int RandomThreshold(double t)
{
    return (int)(t * 32768.0);
}

const uint16_t* RandomValues(int* count)
{
    return RandomTable::Shared().Acquire(kRandomCount, count);
}

// The blends weigh bytes in 8.24 fixed point: each byte becomes
// (x * weight + y * (2^24 - weight)) >> 24. In 32 bits each product is below
// 2^32 and so is their sum (at most 255 x 2^24): no wider arithmetic is
// needed. Integer only, so the vector code the compiler makes of these
// loops gives the same bytes on every build.

// to = (to x a + from x (2^24 - a)) >> 24 for each byte.
__attribute__((optimize("tree-vectorize"))) void FadeBytes(const uint8_t* from, uint8_t* to, size_t count,
                                                            uint32_t a)
{
    const uint32_t rest = kOne24 - a;
    for (size_t i = 0; i < count; ++i)
        to[i] = (uint8_t)(((uint32_t)to[i] * a + (uint32_t)from[i] * rest) >> 24);
}

// The soft edge of GradientWipe: pixel i of `count` takes the outgoing
// bytes at weight + i x step (at most 2^24).
__attribute__((optimize("tree-vectorize"))) void GradientBytes(const uint8_t* from, uint8_t* to, size_t count,
                                                                uint32_t weight, uint32_t step)
{
    for (size_t i = 0; i < count; ++i) {
        const uint32_t wa = weight + (uint32_t)i * step;
        const uint32_t wb = kOne24 - wa;
        for (size_t c = 0; c < 4; ++c)
            to[4 * i + c] = (uint8_t)(((uint32_t)from[4 * i + c] * wa + (uint32_t)to[4 * i + c] * wb) >> 24);
    }
}

double HeldProgress(double t)
{
    return std::min(std::max(t, 1e-08), 0.99999999);
}

double HeldSlope(double s)
{
    if (s != s)
        return 0.0;
    return std::min(std::max(s, -10000.0), 10000.0);
}

}  // namespace

// For each row: a run that would take the sum past the width is cut and its
// excess passed on, a negative run becomes 0 and passes its value on, and the
// last run fills the row.
void SoftNormaliseRuns(int32_t* runs, int pairs, const SoftFrameInfo* frame)
{
    if (!runs || pairs <= 0 || !HasPixels(frame))
        return;
    const int32_t w = frame->width;
    const int n = 2 * pairs;
    for (int y = 0; y < frame->height; ++y) {
        int32_t* row = runs + (size_t)y * n;
        int64_t s = 0;
        for (int i = 0; i < n - 1; ++i) {
            int64_t run = row[i];
            int64_t carry = 0;
            if (run < 0) {
                carry = run;
                run = 0;
            } else if (s + run > w) {
                carry = s + run - w;
                run = w - s;
            }
            row[i] = (int32_t)run;
            row[i + 1] = (int32_t)std::max<int64_t>(std::min<int64_t>((int64_t)row[i + 1] + carry, INT32_MAX), INT32_MIN);
            s += run;
        }
        row[n - 1] = (int32_t)(w - s);
    }
}

// For each row: sorts the 2p boundaries, clamps them to the row and turns
// them into the lengths between them.
void SoftBoundariesToRuns(int32_t* values, int pairs, const SoftFrameInfo* frame)
{
    if (!values || pairs <= 0 || !HasPixels(frame))
        return;
    const int32_t w = frame->width;
    const int n = 2 * pairs;
    for (int y = 0; y < frame->height; ++y) {
        int32_t* row = values + (size_t)y * n;
        std::sort(row, row + n);
        for (int i = 0; i < n; ++i)
            row[i] = std::min(std::max(row[i], 0), w);
        for (int i = 0; i < n - 1; ++i)
            row[i] = row[i + 1] - row[i];
        row[n - 1] = w - row[n - 1];
    }
}

void SoftDxtJpeg(double t, const SoftFrameInfo* frame, int32_t** cursor)
{
    if (!cursor || !*cursor || !HasPixels(frame))
        return;
    t = ClampT(t);
    const int32_t w = frame->width;
    const int32_t c = (int32_t)RoundToDouble(w * t);
    for (int y = 0; y < frame->height; ++y)
        PutRow(cursor, {c, w - c});
}

// The incoming image opens from the centre outwards. The opening is sized
// first and the two sides share the rest: halving the sides first would leave
// an odd width's middle column open at t = 0.
void SoftBarn(double t, const SoftFrameInfo* frame, int32_t** cursor)
{
    if (!cursor || !*cursor || !HasPixels(frame))
        return;
    t = ClampT(t);
    const int32_t w = frame->width;
    const int32_t open = (int32_t)RoundToDouble(w * t);
    const int32_t e = (w - open) / 2;
    for (int y = 0; y < frame->height; ++y)
        PutRow(cursor, {0, e, open, w - open - e});
}

// At t = 0 the first row of each band already shows the incoming frame.
void SoftBlinds(double t, const SoftFrameInfo* frame, int32_t** cursor)
{
    if (!cursor || !*cursor || !HasPixels(frame))
        return;
    t = ClampT(t);
    const int32_t w = frame->width;
    const int32_t h = frame->height;
    const int32_t band = (int32_t)(((int64_t)h + 9) / 10);
    const int32_t cut = (int32_t)RoundToDouble(band * t);
    for (int y = 0; y < h; ++y) {
        if (y % band <= cut)
            PutRow(cursor, {w, 0});
        else
            PutRow(cursor, {0, w});
    }
}

void SoftInset(double t, const SoftFrameInfo* frame, int32_t** cursor)
{
    if (!cursor || !*cursor || !HasPixels(frame))
        return;
    t = ClampT(t);
    const int32_t w = frame->width;
    const int32_t cw = (int32_t)RoundToDouble(w * t);
    const int32_t ch = (int32_t)RoundToDouble(frame->height * t);
    for (int y = 0; y < frame->height; ++y) {
        if (y < ch)
            PutRow(cursor, {cw, w - cw});
        else
            PutRow(cursor, {0, w});
    }
}

void SoftRandomBars(double t, const SoftFrameInfo* frame, int32_t** cursor)
{
    if (!cursor || !*cursor || !HasPixels(frame))
        return;
    t = ClampT(t);
    int count = 0;
    const uint16_t* values = RandomValues(&count);
    const int32_t w = frame->width;
    const int threshold = RandomThreshold(t);
    int next = 0;
    for (int y = 0; y < frame->height; ++y) {
        int value = count > 0 ? values[next] : 0;
        if (count > 0 && ++next == count)
            next = 0;
        if (value < threshold)
            PutRow(cursor, {w, 0});
        else
            PutRow(cursor, {0, w});
    }
}

void SoftZigZag(double t, const SoftFrameInfo* frame, int32_t** cursor)
{
    if (!cursor || !*cursor || !HasPixels(frame))
        return;
    t = ClampT(t);
    const int64_t w = frame->width;
    const int64_t h = frame->height;
    const int64_t s = std::max<int64_t>((16 * w) / std::max<int64_t>(h, 1), 1);
    const int64_t p = (int64_t)RoundToDouble(RoundToDouble(16.0 * (double)s) * t);
    const int64_t c = p / s;
    const int32_t f = (int32_t)((w * (p % s)) / s);
    for (int64_t y = 0; y < h; ++y) {
        const int64_t band = (16 * y) / h;
        if (band < c)
            PutRow(cursor, {(int32_t)w, 0, 0, 0});
        else if (band > c)
            PutRow(cursor, {0, (int32_t)w, 0, 0});
        else if (c % 2 == 0)
            PutRow(cursor, {f, (int32_t)w - f, 0, 0});
        else
            PutRow(cursor, {0, (int32_t)w - f, f, 0});
    }
}

void SoftCheckerBoard(double t, const SoftFrameInfo* frame, int32_t** cursor)
{
    if (!cursor || !*cursor || !HasPixels(frame))
        return;
    t = ClampT(t);
    const int32_t w = frame->width;
    const int32_t h = frame->height;
    const int32_t q = (int32_t)((2 * (int64_t)w + 11) / 12);
    const int32_t b = (int32_t)(((int64_t)h + 9) / 10);
    const int32_t k = (int32_t)RoundToDouble(q * t);
    int32_t* start = *cursor;
    for (int y = 0; y < h; ++y) {
        // Every second band of squares is shifted left by half a square.
        *(*cursor)++ = (y % (2 * b)) >= b ? -(q / 2) : 0;
        *(*cursor)++ = 0;
        for (int i = 0; i < 8; ++i)
            PutRow(cursor, {k, q - k});
    }
    SoftNormaliseRuns(start, 9, frame);
}

// A cross of incoming image grows from the centre. With no radius yet the
// cross is empty: an odd width would otherwise show one incoming column at 0.
void SoftIris(double t, const SoftFrameInfo* frame, int32_t** cursor)
{
    if (!cursor || !*cursor || !HasPixels(frame))
        return;
    t = ClampT(t);
    const int32_t w = frame->width;
    const int32_t h = frame->height;
    const int32_t r = (int32_t)RoundToDouble(RoundToDouble(std::max(w, h) * t) * 0.5);
    const int32_t middle = r > 0 ? (w % 2) + 2 * r : 0;
    const int32_t side = r > 0 ? w / 2 - r : w / 2 + (w % 2);
    for (int y = 0; y < h; ++y) {
        if (abs(y - h / 2) < r || w / 2 - r < 0)
            PutRow(cursor, {0, 0, w, 0});
        else
            PutRow(cursor, {0, side, middle, w - side - middle});
    }
}

// The incoming image spirals clockwise from the top-left corner inwards over
// a grid of at most 16 x 16 cells; each cell row keeps the filled columns at
// its left and at its right.
void SoftSpiral(double t, const SoftFrameInfo* frame, int32_t** cursor)
{
    if (!cursor || !*cursor || !HasPixels(frame))
        return;
    t = ClampT(t);
    const int32_t w = frame->width;
    const int32_t h = frame->height;
    const int32_t cell = std::max(std::max(w, h) / 16, 1);
    const int n = (int)std::min<int64_t>(((int64_t)w + cell - 1) / cell, 16);
    const int m = (int)std::min<int64_t>(((int64_t)h + cell - 1) / cell, 16);
    const int k = (int)RoundToDouble(m * n * t);

    bool marks[18][18] = {};
    for (int i = 0; i < m + 2; ++i)
        marks[i][0] = marks[i][n + 1] = true;
    for (int j = 0; j < n + 2; ++j)
        marks[0][j] = marks[m + 1][j] = true;
    int left[16];
    int right[16];
    for (int r = 0; r < m; ++r) {
        left[r] = -1;
        right[r] = n;
    }
    static const int kDi[4] = {0, 1, 0, -1};   // right, down, left, up
    static const int kDj[4] = {1, 0, -1, 0};
    int i = 1, j = 1, dir = 0;
    for (int step = 0; step < k; ++step) {
        marks[i][j] = true;
        if (dir == 1 || dir == 2)
            right[i - 1] = j - 1;
        else
            left[i - 1] = j - 1;
        if (marks[i + kDi[dir]][j + kDj[dir]])
            dir = (dir + 1) % 4;
        i += kDi[dir];
        j += kDj[dir];
        if (i < 0 || i > m + 1 || j < 0 || j > n + 1)
            break;
    }
    for (int64_t y = 0; y < h; ++y) {
        const int r = (int)((y * m) / h);
        int32_t L = (int32_t)(((int64_t)(left[r] + 1) * w) / n);
        int32_t R = (int32_t)(((int64_t)right[r] * w) / n);
        R = std::max(R, L);
        PutRow(cursor, {L, R - L, w - R, 0});
    }
}

void SoftRadialWipe(double t, const SoftFrameInfo* frame, int32_t** cursor)
{
    if (!cursor || !*cursor || !HasPixels(frame))
        return;
    t = HeldProgress(ClampT(t));
    const int32_t w = frame->width;
    const int32_t h = frame->height;
    const double slope = HeldSlope(RoundToDouble(-tan(RoundToDouble(RoundToDouble(acos(0.0) * t) * 4.0))));
    const bool flip = t <= 0.25 || t > 0.75;
    int32_t* start = *cursor;
    for (int y = 0; y < h; ++y) {
        const double x = floor(RoundToDouble(RoundToDouble(((double)(y - h / 2) - 0.5) * slope) + 0.5));
        const bool upper = y <= h / 2;
        PutRow(cursor, {upper ? w / 2 : 0, upper == flip ? ClampToRow(w / 2 + x, w) : 0, t > 0.25 ? w : 0, 0});
    }
    SoftBoundariesToRuns(start, 2, frame);
}

void SoftWheel(double t, const SoftFrameInfo* frame, int32_t** cursor)
{
    if (!cursor || !*cursor || !HasPixels(frame))
        return;
    t = HeldProgress(ClampT(t));
    const int32_t w = frame->width;
    const int32_t h = frame->height;
    const double a = RoundToDouble(acos(0.0) * t);
    const double s1 = HeldSlope(RoundToDouble(-tan(a)));
    const double s2 = HeldSlope(RoundToDouble(-tan(RoundToDouble(a + acos(0.0)))));
    int32_t* start = *cursor;
    for (int y = 0; y < h; ++y) {
        const double d = (double)(y - h / 2);
        const double x1 = floor(RoundToDouble(RoundToDouble((d - 0.5) * s1) + 0.5));
        const double x2 = floor(RoundToDouble(RoundToDouble((d - 0.5) * s2) + 0.5));
        PutRow(cursor, {w / 2, ClampToRow(w / 2 + x1, w), ClampToRow(w / 2 + x2, w), y > h / 2 ? w : 0, 0, 0});
    }
    SoftBoundariesToRuns(start, 3, frame);
}

void SoftStrips(double t, const SoftFrameInfo* frame, int32_t** cursor)
{
    if (!cursor || !*cursor || !HasPixels(frame))
        return;
    t = ClampT(t);
    const int64_t w = frame->width;
    const int64_t h = frame->height;
    const int64_t step = std::max<int64_t>((int64_t)RoundToDouble(h * 0.15384615384615385), 1);
    const int64_t shift = (int64_t)RoundToDouble((double)(h + w) * t);
    int32_t* start = *cursor;
    for (int64_t y = 0; y < h; ++y) {
        const int64_t q = (((y * step) / h) * h) / step - shift;
        const int64_t edge = std::min<int64_t>(std::max<int64_t>(q + w, -1), w + 1);
        PutRow(cursor, {(int32_t)edge, (int32_t)w, 0, 0});
    }
    SoftBoundariesToRuns(start, 2, frame);
}

void SoftFade(double t, const SoftFrameInfo* frame, const uint32_t* outgoing, uint32_t* incoming)
{
    if (!outgoing || !incoming || !HasPixels(frame))
        return;
    t = ClampT(t);
    const uint32_t a = (uint32_t)(t * kOne24);
    FadeBytes(reinterpret_cast<const uint8_t*>(outgoing), reinterpret_cast<uint8_t*>(incoming),
              (size_t)frame->width * (size_t)frame->height * 4, a);
}

// The outgoing image slides out to the left.
void SoftSlide(double t, const SoftFrameInfo* frame, const uint32_t* outgoing, uint32_t* incoming)
{
    if (!outgoing || !incoming || !HasPixels(frame))
        return;
    t = ClampT(t);
    const int32_t w = frame->width;
    const int32_t n = std::min(std::max((int32_t)RoundToDouble(RoundToDouble(1.0 - t) * w), 0), w);
    for (int y = 0; y < frame->height; ++y) {
        const size_t row = (size_t)y * w;
        memcpy(incoming + row, outgoing + row + (w - n), (size_t)n * 4);
    }
}

// The incoming image is squeezed into the middle of each row, redrawn in
// place outwards from the centre in 16.16 steps; the outgoing one stays at
// the sides.
void SoftStretch(double t, const SoftFrameInfo* frame, const uint32_t* outgoing, uint32_t* incoming)
{
    if (!outgoing || !incoming || !HasPixels(frame))
        return;
    t = ClampT(t);
    const double tt = t <= 0.001 ? 0.001 : t;
    const int64_t step = (int64_t)RoundToDouble(65536.0 / tt);
    const int64_t w = frame->width;
    const int64_t half = (w + 1) / 2;
    const int64_t limit = half * 65536;
    const int64_t u = limit / step;
    const int64_t copied = std::max<int64_t>(half - u, 0);
    for (int64_t y = 0; y < frame->height; ++y) {
        uint32_t* b = incoming + y * w;
        const uint32_t* a = outgoing + y * w;
        // A one-pixel row has no pixel right of its centre.
        for (int64_t i = (half < w ? 0 : 1); i * step < limit; ++i)
            b[half - i] = b[half - ((i * step) >> 16)];
        for (int64_t i = 0; i * step < limit; ++i)
            b[w - half + i] = b[w - half + ((i * step) >> 16)];
        memcpy(b, a, (size_t)copied * 4);
        memcpy(b + (w - copied), a + (w - copied), (size_t)copied * 4);
    }
}

// The incoming image is left of a soft edge that moves to the right.
void SoftGradientWipe(double t, const SoftFrameInfo* frame, const uint32_t* outgoing, uint32_t* incoming)
{
    if (!outgoing || !incoming || !HasPixels(frame))
        return;
    t = ClampT(t);
    const int64_t w = frame->width;
    const int64_t band = std::min<int64_t>(std::max<int64_t>((int64_t)RoundToDouble(w * 0.2), 1), 2000);
    const int64_t pos = (int64_t)RoundToDouble((double)(w + band) * t);
    const uint32_t step = (uint32_t)(kOne24 / band);
    const int64_t start = pos - band;
    for (int64_t y = 0; y < frame->height; ++y) {
        uint32_t* b = incoming + y * w;
        const uint32_t* a = outgoing + y * w;
        if (pos < w)
            memcpy(b + pos, a + pos, (size_t)(w - pos) * 4);
        uint32_t weight = (uint32_t)(std::max<int64_t>(-start, 0) * step);
        const int64_t from = std::max<int64_t>(start, 0), to = std::min(pos, w);
        if (from < to)
            GradientBytes(reinterpret_cast<const uint8_t*>(a + from), reinterpret_cast<uint8_t*>(b + from),
                          (size_t)(to - from), weight, step);
    }
}

void SoftRandomDissolve(double t, const SoftFrameInfo* frame, const uint32_t* outgoing, uint32_t* incoming)
{
    if (!outgoing || !incoming || !HasPixels(frame))
        return;
    t = ClampT(t);
    int count = 0;
    const uint16_t* values = RandomValues(&count);
    const int threshold = RandomThreshold(t);
    const int64_t w = frame->width;
    int next = 0;
    for (int64_t y = 0; y < frame->height; ++y) {
        uint32_t* in = incoming + y * w;
        const uint32_t* out = outgoing + y * w;
        for (int64_t x = w - 1; x >= 0; --x) {
            int value = count > 0 ? values[next] : 0;
            if (count > 0 && ++next == count)
                next = 0;
            // A select rather than a branch: the values are random, a
            // branch would be mispredicted half the time.
            const uint32_t keep = 0u - (uint32_t)(value < threshold);
            in[x] = (in[x] & keep) | (out[x] & ~keep);
        }
    }
}

// A Fade, then blocks of up to 50 pixels (at t = 0.5) laid so that one block
// is centred, each filled with its average colour.
void SoftPixelate(double t, const SoftFrameInfo* frame, const uint32_t* outgoing, uint32_t* incoming)
{
    if (!outgoing || !incoming || !HasPixels(frame))
        return;
    t = ClampT(t);
    SoftFade(t, frame, outgoing, incoming);
    const int n = 1 - (int)RoundToDouble(RoundToDouble(1.0 - fabs(RoundToDouble(1.0 - 2.0 * t))) * -49.0);
    if (n < 2)
        return;
    const int w = frame->width;
    const int h = frame->height;
    const int cx = (w - n) / 2;
    const int cy = (h - n) / 2;
    const int x0 = cx - ((cx + n - 1) / n) * n;
    const int y0 = cy - ((cy + n - 1) / n) * n;
    const int columns = (cx + n - 1) / n + (w - cx + n - 1) / n;
    const int rows = (cy + n - 1) / n + (h - cy + n - 1) / n;
    for (int by = 0; by < rows; ++by) {
        const int top = std::max(y0 + by * n, 0);
        const int bottom = std::min(y0 + (by + 1) * n, h);
        for (int bx = 0; bx < columns; ++bx) {
            const int left = std::max(x0 + bx * n, 0);
            const int right = std::min(x0 + (bx + 1) * n, w);
            if (left >= right || top >= bottom)
                continue;
            uint64_t sum[3] = {0, 0, 0};
            for (int y = top; y < bottom; ++y)
                for (int x = left; x < right; ++x) {
                    const uint32_t p = incoming[(size_t)y * w + x];
                    sum[0] += p & 0xFF;
                    sum[1] += (p >> 8) & 0xFF;
                    sum[2] += (p >> 16) & 0xFF;
                }
            const uint64_t pixels = (uint64_t)(bottom - top) * (right - left);
            const uint32_t average = (uint32_t)(sum[0] / pixels) | ((uint32_t)(sum[1] / pixels) << 8)
                | ((uint32_t)(sum[2] / pixels) << 16);
            for (int y = top; y < bottom; ++y)
                for (int x = left; x < right; ++x)
                    incoming[(size_t)y * w + x] = average;
        }
    }
}

const SoftTransitionRoutine kSoftTransitionRoutines[kSoftTransitionCount] = {
    {"Spiral", SoftSpiral, nullptr, 4},
    {"Iris", SoftIris, nullptr, 4},
    {"RadialWipe", SoftRadialWipe, nullptr, 4},
    {"ZigZag", SoftZigZag, nullptr, 4},
    {"RandomBars", SoftRandomBars, nullptr, 2},
    {"Wheel", SoftWheel, nullptr, 6},
    {"Strips", SoftStrips, nullptr, 4},
    {"Inset", SoftInset, nullptr, 2},
    {"Blinds", SoftBlinds, nullptr, 2},
    {"CheckerBoard", SoftCheckerBoard, nullptr, 18},
    {"DxtJpeg Class", SoftDxtJpeg, nullptr, 2},
    {"Barn", SoftBarn, nullptr, 4},
    {"Fade", nullptr, SoftFade, 0},
    {"Stretch", nullptr, SoftStretch, 0},
    {"GradientWipe", nullptr, SoftGradientWipe, 0},
    {"Slide", nullptr, SoftSlide, 0},
    {"Pixelate", nullptr, SoftPixelate, 0},
    {"RandomDissolve", nullptr, SoftRandomDissolve, 0},
};

const SoftTransitionClass kSoftTransitionClasses[kSoftTransitionCount] = {
    {"Iris", "{049F2CE6-D996-4721-897A-DB15CE9EB73D}"},
    {"RadialWipe", "{164484A9-35D9-4FB7-9FAB-48273B96AA1D}"},
    {"Fade", "{16B280C5-EE70-11D1-9066-00C04FD9189D}"},
    {"ZigZag", "{23E26328-3928-40F2-95E5-93CAD69016EB}"},
    {"RandomBars", "{2E7700B7-27C4-437F-9FBF-1E8BE2817566}"},
    {"Spiral", "{4A03DCB9-6E17-4A39-8845-4EE7DC5331A5}"},
    {"Pixelate", "{4CCEA634-FBE0-11D1-906A-00C04FD9189D}"},
    {"Wheel", "{5AE1DAE0-1461-11D2-A484-00C04F8EFB69}"},
    {"Strips", "{63A4B1FC-259A-4A5B-8129-A83B8C9E6F4F}"},
    {"Inset", "{76F363F2-7E9F-4ED7-A6A7-EE30351B6628}"},
    {"Blinds", "{9A4A4A51-FB3A-4F4B-9B57-A2912A289769}"},
    {"CheckerBoard", "{B3EE7802-8224-4787-A1EA-F0DE16DEABD3}"},
    {"GradientWipe", "{B96F67A2-30C2-47E8-BD85-70A2C948B50F}"},
    {"Slide", "{D1C5A1E7-CC47-4E32-BDD2-4B3C5FC50AF5}"},
    {"DxtJpeg Class", "{DE75D012-7A65-11D2-8CEA-00A0C9441E20}"},
    {"Barn", "{EC9BA17D-60B5-462B-A6D8-14B89057E22A}"},
    {"Stretch", "{F088DE73-BDD0-4E3C-81F8-6D32F4FE9D28}"},
    {"RandomDissolve", "{F7F4A1B6-8E87-452F-A2D7-3077F508DBC0}"},
};

const SoftTransitionRoutine* SoftTransitionByName(const char* name)
{
    if (!name)
        return nullptr;
    for (const SoftTransitionRoutine& r : kSoftTransitionRoutines)
        if (strcmp(r.name, name) == 0)
            return &r;
    return nullptr;
}

namespace {

bool SameTextIgnoringCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b) {
        char x = *a >= 'a' && *a <= 'z' ? (char)(*a - 32) : *a;
        char y = *b >= 'a' && *b <= 'z' ? (char)(*b - 32) : *b;
        if (x != y)
            return false;
    }
    return *a == *b;
}

} // namespace

const SoftTransitionRoutine* SoftTransitionByClassId(const char* clsid)
{
    if (!clsid)
        return nullptr;
    for (const SoftTransitionClass& c : kSoftTransitionClasses)
        if (SameTextIgnoringCase(c.clsid, clsid))
            return SoftTransitionByName(c.name);
    return nullptr;
}

int SoftMaskRunsPerRow(SoftMaskFn mask)
{
    if (!mask)
        return 0;
    for (const SoftTransitionRoutine& r : kSoftTransitionRoutines)
        if (r.mask == mask)
            return r.runsPerRow;
    return 0;
}

void SoftApplyRuns(const int32_t* runs, int runsPerRow, const SoftFrameInfo* frame, const uint32_t* outgoing,
                   uint32_t* incoming)
{
    if (!runs || runsPerRow <= 0 || !outgoing || !incoming || !HasPixels(frame))
        return;
    const int64_t w = frame->width;
    for (int64_t y = 0; y < frame->height; ++y) {
        const int32_t* row = runs + y * runsPerRow;
        int64_t x = 0;
        for (int i = 0; i < runsPerRow && x < w; ++i) {
            const int64_t end = std::min<int64_t>(x + std::max<int32_t>(row[i], 0), w);
            if (i % 2 == 1)
                memcpy(incoming + y * w + x, outgoing + y * w + x, (size_t)(end - x) * 4);
            x = end;
        }
    }
}

bool SoftApplyTransition(const SoftTransitionRoutine& routine, double t, const SoftFrameInfo* frame,
                         const uint32_t* outgoing, uint32_t* incoming)
{
    if (!outgoing || !incoming || !HasPixels(frame))
        return false;
    if (routine.pixel) {
        routine.pixel(t, frame, outgoing, incoming);
        return true;
    }
    if (!routine.mask || routine.runsPerRow <= 0)
        return false;
    std::vector<int32_t> runs;
    try {
        runs.resize((size_t)frame->height * routine.runsPerRow);
    } catch (const std::bad_alloc&) {
        return false;
    }
    int32_t* cursor = runs.data();
    routine.mask(t, frame, &cursor);
    SoftApplyRuns(runs.data(), routine.runsPerRow, frame, outgoing, incoming);
    return true;
}
