#include "overlays/RandomTable.h"
#include "overlays/SoftTransitions.h"

#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <limits>
#include <vector>

namespace {

const int32_t kGuardRun = (int32_t)0xDEADBEEF;
const uint32_t kGuardPixel = 0xFEEDFACEu;

struct Size {
    int w;
    int h;
};

const Size kSizes[] = {{1, 1}, {2, 1}, {3, 1}, {1, 7}, {7, 3}, {41, 9}, {5, 20}, {33, 64}, {1920, 1080}};

const double kTs[] = {-0.5, -1e-300, 0.0, 1e-9, 0.001, 0.25, 0.3333, 0.5, 0.75, 0.999999, 1.0, 1.0000001, 1.5,
                      std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                      -std::numeric_limits<double>::infinity()};

// A frame with guard pixels before and after it.
struct GuardedFrame {
    std::vector<uint32_t> pixels;
    int count;
    GuardedFrame(int w, int h, uint32_t seed) : pixels((size_t)w * h + 16, kGuardPixel), count(w * h)
    {
        for (int i = 0; i < count; ++i)
            pixels[8 + i] = seed ^ (uint32_t)(i * 2654435761u);
    }
    uint32_t* Data() { return pixels.data() + 8; }
    bool GuardsKept() const
    {
        for (int i = 0; i < 8; ++i)
            if (pixels[i] != kGuardPixel || pixels[8 + count + i] != kGuardPixel)
                return false;
        return true;
    }
};

}  // namespace

// Whatever t is (past either end, NaN, infinite) and whatever the size, each
// mask writes its count of runs per row, each within the row and summing to
// the width, and nothing outside its buffer.
TEST(SoftTransitionSoundness, MasksKeepRunsInsideTheRow)
{
    RandomTable::Shared().Clear();
    for (const SoftTransitionRoutine& r : kSoftTransitionRoutines) {
        if (!r.mask)
            continue;
        ASSERT_EQ(r.runsPerRow, SoftMaskRunsPerRow(r.mask)) << r.name;
        for (const Size& size : kSizes) {
            for (double t : kTs) {
                const size_t n = (size_t)r.runsPerRow * size.h;
                std::vector<int32_t> buffer(n + 8, kGuardRun);
                int32_t* cursor = buffer.data() + 4;
                SoftFrameInfo frame = {0, size.w, size.h};
                r.mask(t, &frame, &cursor);
                ASSERT_EQ(buffer.data() + 4 + n, cursor) << r.name << " " << size.w << "x" << size.h << " t=" << t;
                for (int i = 0; i < 4; ++i) {
                    ASSERT_EQ(kGuardRun, buffer[i]) << r.name << " wrote before its buffer";
                    ASSERT_EQ(kGuardRun, buffer[4 + n + i]) << r.name << " wrote past its buffer";
                }
                for (int y = 0; y < size.h; ++y) {
                    int64_t sum = 0;
                    for (int i = 0; i < r.runsPerRow; ++i) {
                        const int32_t run = buffer[4 + (size_t)y * r.runsPerRow + i];
                        ASSERT_GE(run, 0) << r.name << " " << size.w << "x" << size.h << " t=" << t << " row " << y;
                        ASSERT_LE(run, size.w) << r.name << " " << size.w << "x" << size.h << " t=" << t << " row " << y;
                        sum += run;
                    }
                    ASSERT_EQ(size.w, sum) << r.name << " " << size.w << "x" << size.h << " t=" << t << " row " << y;
                }
            }
        }
    }
}

// The pixel routines write only inside the incoming frame, read the outgoing
// one only, and give the outgoing frame below t = 0 and the incoming frame
// above t = 1 (NaN counts as 0).
TEST(SoftTransitionSoundness, PixelRoutinesStayInsideTheFrames)
{
    RandomTable::Shared().Clear();
    for (const SoftTransitionRoutine& r : kSoftTransitionRoutines) {
        if (!r.pixel)
            continue;
        for (const Size& size : kSizes) {
            for (double t : kTs) {
                // Full HD at a few values only: the loop runs unoptimised under Wine.
                if (size.w == 1920 && !(t == -0.5 || t == 0.5 || t == 1.5 || t != t))
                    continue;
                GuardedFrame a(size.w, size.h, 0x11111111u), b(size.w, size.h, 0x22222222u);
                const std::vector<uint32_t> aBefore = a.pixels, bBefore = b.pixels;
                SoftFrameInfo frame = {0, size.w, size.h};
                r.pixel(t, &frame, a.Data(), b.Data());
                ASSERT_TRUE(a.GuardsKept() && b.GuardsKept()) << r.name << " " << size.w << "x" << size.h << " t=" << t;
                ASSERT_EQ(aBefore, a.pixels) << r.name << " changed the outgoing frame";
                if (t < 0 || t != t) {
                    ASSERT_EQ(aBefore, b.pixels) << r.name << " " << size.w << "x" << size.h << " t=" << t;
                }
                if (t > 1) {
                    ASSERT_EQ(bBefore, b.pixels) << r.name << " " << size.w << "x" << size.h << " t=" << t;
                }
            }
        }
    }
}

// Frames without pixels are refused: nothing is written and the cursor stays.
TEST(SoftTransitionSoundness, EmptyFramesAreRefused)
{
    const SoftFrameInfo empties[] = {{0, 0, 0}, {0, 0, 5}, {0, 5, 0}, {0, -3, 4}, {0, 4, -3}, {0, INT32_MIN, INT32_MIN}};
    for (const SoftTransitionRoutine& r : kSoftTransitionRoutines) {
        for (const SoftFrameInfo& frame : empties) {
            int32_t runs[4] = {kGuardRun, kGuardRun, kGuardRun, kGuardRun};
            uint32_t a[4] = {1, 2, 3, 4}, b[4] = {5, 6, 7, 8};
            if (r.mask) {
                int32_t* cursor = runs;
                r.mask(0.5, &frame, &cursor);
                EXPECT_EQ(runs, cursor) << r.name;
                EXPECT_EQ(kGuardRun, runs[0]) << r.name;
            } else {
                r.pixel(0.5, &frame, a, b);
                EXPECT_EQ(5u, b[0]) << r.name;
                EXPECT_EQ(8u, b[3]) << r.name;
            }
            EXPECT_FALSE(SoftApplyTransition(r, 0.5, &frame, a, b)) << r.name;
        }
        if (r.mask) {
            int32_t* cursor = nullptr;
            r.mask(0.5, nullptr, &cursor);
            r.mask(0.5, nullptr, nullptr);
        } else {
            uint32_t one = 0;
            r.pixel(0.5, nullptr, &one, &one);
        }
    }
}

// At t = 0 every routine gives the outgoing frame and at t = 1 the incoming
// one, except that Blinds shows the first row of each band at t = 0.
TEST(SoftTransitionEdges, EndsGiveOneFrame)
{
    RandomTable::Shared().Clear();
    const Size sizes[] = {{8, 4}, {41, 10}, {40, 25}};
    for (const SoftTransitionRoutine& r : kSoftTransitionRoutines) {
        for (const Size& size : sizes) {
            for (double t : {0.0, 1.0}) {
                std::vector<uint32_t> a((size_t)size.w * size.h, 0xAAAAAAAAu);
                std::vector<uint32_t> b((size_t)size.w * size.h, 0xBBBBBBBBu);
                SoftFrameInfo frame = {0, size.w, size.h};
                ASSERT_TRUE(SoftApplyTransition(r, t, &frame, a.data(), b.data()));
                const int band = (size.h + 9) / 10;
                for (int y = 0; y < size.h; ++y) {
                    uint32_t want = t == 1.0 ? 0xBBBBBBBBu : 0xAAAAAAAAu;
                    if (!strcmp(r.name, "Blinds") && t == 0.0 && y % band == 0)
                        want = 0xBBBBBBBBu;
                    for (int x = 0; x < size.w; ++x)
                        ASSERT_EQ(want, b[(size_t)y * size.w + x])
                            << r.name << " " << size.w << "x" << size.h << " t=" << t << " at " << x << "," << y;
                }
            }
        }
    }
}

// Below 10 rows every band of Blinds is one row: at t = 0 already all rows
// show the incoming frame.
TEST(SoftTransitionEdges, BlindsOfShortFramesHaveOneRowBands)
{
    for (int h = 1; h < 10; ++h) {
        std::vector<int32_t> runs(2 * h);
        int32_t* cursor = runs.data();
        SoftFrameInfo frame = {0, 6, h};
        SoftBlinds(0.0, &frame, &cursor);
        for (int y = 0; y < h; ++y)
            EXPECT_EQ(6, runs[2 * y]) << "h=" << h << " row " << y;
    }
    // At 20 rows the bands are two rows: t = 0 shows rows 0, 2, 4...
    std::vector<int32_t> runs(40);
    int32_t* cursor = runs.data();
    SoftFrameInfo frame = {0, 6, 20};
    SoftBlinds(0.0, &frame, &cursor);
    for (int y = 0; y < 20; ++y)
        EXPECT_EQ(y % 2 == 0 ? 6 : 0, runs[2 * y]) << "row " << y;
}

// Pixelate at t = 0.5 lays 50-pixel blocks with one centred: on 120 x 110 the
// centred block covers columns 35..84 and rows 30..79.
TEST(SoftTransitionEdges, PixelateUsesCentredFiftyPixelBlocks)
{
    const int w = 120, h = 110;
    std::vector<uint32_t> a((size_t)w * h), b((size_t)w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            a[(size_t)y * w + x] = b[(size_t)y * w + x] = (uint32_t)((x + y) & 0xFF) | 0xFF000000u;
    SoftFrameInfo frame = {0, w, h};
    SoftPixelate(0.5, &frame, a.data(), b.data());
    auto at = [&](int x, int y) { return b[(size_t)y * w + x]; };
    const int edgesX[] = {0, 35, 85};
    const int edgesY[] = {0, 30, 80};
    for (int bx = 0; bx < 3; ++bx)
        for (int by = 0; by < 3; ++by) {
            const int left = edgesX[bx], right = bx < 2 ? edgesX[bx + 1] : w;
            const int top = edgesY[by], bottom = by < 2 ? edgesY[by + 1] : h;
            // The block's average of x + y, integer division by its pixel count.
            uint64_t sum = 0;
            for (int y = top; y < bottom; ++y)
                for (int x = left; x < right; ++x)
                    sum += (uint64_t)((x + y) & 0xFF);
            const uint32_t want = (uint32_t)(sum / ((uint64_t)(right - left) * (bottom - top)));
            for (int y = top; y < bottom; ++y)
                for (int x = left; x < right; ++x)
                    ASSERT_EQ(want, at(x, y)) << "block " << bx << "," << by << " at " << x << "," << y;
        }
}

// Stretch at t = 0 behaves as at t = 0.001: on frames below 2000 pixels wide
// both give the outgoing frame.
TEST(SoftTransitionEdges, StretchAtZeroIsStretchAtOneThousandth)
{
    for (const Size& size : {Size{41, 3}, Size{1920, 2}, Size{4000, 1}}) {
        std::vector<uint32_t> a((size_t)size.w * size.h), b0((size_t)size.w * size.h), b1;
        for (size_t i = 0; i < a.size(); ++i) {
            a[i] = 0xA0000000u | (uint32_t)i;
            b0[i] = 0xB0000000u | (uint32_t)i;
        }
        b1 = b0;
        SoftFrameInfo frame = {0, size.w, size.h};
        SoftStretch(0.0, &frame, a.data(), b0.data());
        SoftStretch(0.001, &frame, a.data(), b1.data());
        EXPECT_EQ(b1, b0) << size.w;
        if (size.w < 2000) {
            EXPECT_EQ(a, b0) << size.w;
        }
    }
}

// With the generator seeded here, the share of incoming pixels at 1080p grows
// with t and stays near t: within 0.05 for RandomBars (1080 rows only) and
// within 0.02 for RandomDissolve.
TEST(SoftTransitionEdges, RandomTransitionsAreMonotonicAndNearT)
{
    RandomTable::Shared().Clear();
    srand(20011);
    const int w = 1920, h = 1080;
    SoftFrameInfo frame = {0, w, h};
    const std::vector<uint32_t> a((size_t)w * h, 0u);
    ASSERT_STREQ("RandomBars", kSoftTransitionRoutines[4].name);
    std::vector<uint8_t> previousBars, previousDissolve;
    for (int step = 0; step <= 20; ++step) {
        const double t = step / 20.0;
        std::vector<uint32_t> b((size_t)w * h, 1u);
        ASSERT_TRUE(SoftApplyTransition(kSoftTransitionRoutines[4], t, &frame, a.data(), b.data()));
        std::vector<uint8_t> bars(h);
        int incomingRows = 0;
        for (int y = 0; y < h; ++y) {
            bars[y] = b[(size_t)y * w] == 1u;
            incomingRows += bars[y];
            for (int x = 1; x < w; ++x)
                ASSERT_EQ(b[(size_t)y * w], b[(size_t)y * w + x]) << "RandomBars rows are whole";
        }
        EXPECT_NEAR(t, incomingRows / (double)h, 0.05) << "RandomBars t=" << t;
        if (!previousBars.empty()) {
            for (int y = 0; y < h; ++y)
                ASSERT_LE(previousBars[y], bars[y]) << "RandomBars row " << y << " went back at t=" << t;
        }
        previousBars = bars;

        std::vector<uint32_t> d((size_t)w * h, 1u);
        SoftRandomDissolve(t, &frame, a.data(), d.data());
        std::vector<uint8_t> dissolve(d.size());
        size_t incoming = 0;
        for (size_t i = 0; i < d.size(); ++i) {
            dissolve[i] = d[i] == 1u;
            incoming += dissolve[i];
        }
        EXPECT_NEAR(t, incoming / (double)d.size(), 0.02) << "RandomDissolve t=" << t;
        if (!previousDissolve.empty()) {
            for (size_t i = 0; i < d.size(); ++i)
                ASSERT_LE(previousDissolve[i], dissolve[i]) << "RandomDissolve pixel " << i << " went back at t=" << t;
        }
        previousDissolve = dissolve;
    }
}

// The random values run from 0 to 32767: with a table holding both ends, a
// frame that uses every value shows only the outgoing frame at t = 0 and only
// the incoming one at t = 1 (a value equal to the threshold is no exception).
TEST(SoftTransitionEdges, RandomTransitionsAtTheEndsUseEveryValue)
{
    const int count = 20011;
    bool found = false;
    for (unsigned seed = 1; seed < 200 && !found; ++seed) {
        RandomTable::Shared().Clear();
        srand(seed);
        int filled = 0;
        const uint16_t* values = RandomTable::Shared().Acquire(count, &filled);
        bool low = false, high = false;
        for (int i = 0; i < filled; ++i) {
            low = low || values[i] == 0;
            high = high || values[i] == 32767;
        }
        found = low && high;
    }
    ASSERT_TRUE(found) << "a seed whose table holds 0 and 32767";
    SoftFrameInfo frame = {0, count, 1};
    SoftFrameInfo tall = {0, 1, count};
    for (double t : {0.0, 1.0}) {
        std::vector<uint32_t> a(count, 0xAu), b(count, 0xBu);
        SoftRandomDissolve(t, &frame, a.data(), b.data());
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(t == 1.0 ? 0xBu : 0xAu, b[i]) << "RandomDissolve t=" << t << " pixel " << i;
        std::vector<int32_t> runs(2 * count);
        int32_t* cursor = runs.data();
        SoftRandomBars(t, &tall, &cursor);
        for (int y = 0; y < count; ++y)
            ASSERT_EQ(t == 1.0 ? 1 : 0, runs[2 * y]) << "RandomBars t=" << t << " row " << y;
    }
}
