#include "capture/AreaGeometry.h"

#include <gtest/gtest.h>
#include <string.h>

namespace {
const CaptureArea kDesktop = {0, 0, 1920, 1080};
}

TEST(AreaGeometry, RoundFrameDimension)
{
    const int cases[][2] = {{640, 640}, {641, 640}, {642, 640}, {643, 644}, {3, 4}, {2, 0}, {6, 4}, {0, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(c[1], RoundFrameDimension(c[0])) << c[0];
}

TEST(AreaGeometry, OutputSizeForZoomLevel)
{
    struct Case {
        int w, h, level;
        BOOL round;
        int outW, outH;
    } cases[] = {
        {6, 6, 50, FALSE, 3, 3},
        {6, 6, 10, FALSE, 6, 6},    // 0 falls back to the capture size
        {4, 4, 50, TRUE, 4, 4},     // 2 x 2 rounds to 0 and falls back
        {640, 480, 100, TRUE, 640, 480},
        {640, 480, 50, TRUE, 320, 240},
        {643, 480, 200, FALSE, 1286, 960},
    };
    for (const Case& c : cases) {
        int w = 0, h = 0;
        OutputSizeForZoomLevel(c.w, c.h, c.level, c.round, &w, &h);
        EXPECT_EQ(c.outW, w) << c.w << "x" << c.h << " at " << c.level;
        EXPECT_EQ(c.outH, h) << c.w << "x" << c.h << " at " << c.level;
    }
}

TEST(AreaGeometry, ZoomAreaForFactor)
{
    struct Case {
        const char* name;
        float factor;
        CaptureArea current;
        BOOL centred;
        BOOL ok;
        CaptureArea expected;
    } cases[] = {
        {"half, keeps corner", 0.5f, {100, 100, 640, 480}, FALSE, TRUE, {100, 100, 320, 240}},
        {"half, centred", 0.5f, {100, 100, 640, 480}, TRUE, TRUE, {260, 220, 320, 240}},
        {"double, moved back inside", 2.0f, {1000, 800, 640, 480}, FALSE, TRUE, {640, 120, 1280, 960}},
        {"too large", 3.0f, {0, 0, 640, 480}, FALSE, FALSE, {}},
        {"zero", 0.0f, {0, 0, 640, 480}, FALSE, FALSE, {}},
        {"centred near the corner", 0.5f, {0, 0, 100, 100}, TRUE, TRUE, {0, 0, 320, 240}},
    };
    for (const Case& c : cases) {
        CaptureArea result = {-1, -1, -1, -1};
        EXPECT_EQ(c.ok, ZoomAreaForFactor(c.factor, 640, 480, c.current, kDesktop, c.centred, TRUE, &result))
            << c.name;
        if (c.ok) {
            EXPECT_TRUE(result == c.expected) << c.name << ": " << result.left << "," << result.top << " "
                                              << result.width << "x" << result.height;
        }
    }
}

// Without rounding to the frame grid the sizes are the single-precision
// products, truncated: 640 x 0.9f is 575.99998 before it is held in a float,
// 576 after.
TEST(AreaGeometry, ZoomAreaForFactorTruncatesSingleProducts)
{
    const struct {
        float factor;
        int width, height;
    } cases[] = {
        {0.9f, 576, 432}, {0.7f, 448, 336}, {0.3f, 192, 144}, {0.55f, 352, 264}, {1.5f, 960, 720},
    };
    const CaptureArea current = {0, 0, 640, 480};
    for (const auto& c : cases) {
        CaptureArea result = {};
        ASSERT_TRUE(ZoomAreaForFactor(c.factor, 640, 480, current, kDesktop, FALSE, FALSE, &result)) << c.factor;
        EXPECT_EQ(c.width, result.width) << c.factor;
        EXPECT_EQ(c.height, result.height) << c.factor;
    }
}

TEST(AreaGeometry, ZoomAreaForRectWidensToTheOutputAspect)
{
    struct Case {
        RECT picked;
        BOOL ok;
        CaptureArea expected;
    } cases[] = {
        {{10, 20, 330, 100}, TRUE, {10, 20, 320, 240}},     // wider: height follows
        {{10, 20, 110, 320}, TRUE, {10, 20, 400, 300}},     // taller: width follows
        {{1800, 1000, 1900, 1060}, TRUE, {1800, 1000, 100, 76}},
        {{1900, 1000, 1920, 1060}, TRUE, {1840, 1000, 80, 60}},
        {{0, 0, 0, 0}, FALSE, {}},
        {{0, 0, 100, 1200}, FALSE, {}},
    };
    for (const Case& c : cases) {
        CaptureArea result = {};
        EXPECT_EQ(c.ok, ZoomAreaForRect(c.picked, 640, 480, kDesktop, TRUE, &result)) << c.picked.left;
        if (c.ok) {
            EXPECT_TRUE(result == c.expected) << c.picked.left << ": " << result.left << "," << result.top << " "
                                              << result.width << "x" << result.height;
        }
    }
}

// Zoom from 640 x 480 at (0,0) to 320 x 240 at (200,100) over 1000 ms: the
// large area moves for 500 ms, then shrinks for 500 ms; zooming out grows in
// place first, then moves.
TEST(AreaGeometry, ZoomTransitionTable)
{
    const CaptureArea big = {0, 0, 640, 480};
    const CaptureArea small = {200, 100, 320, 240};
    struct Case {
        const char* name;
        CaptureArea from, requested, previous;
        DWORD t;
        BOOL running;
        CaptureArea expected;
    } cases[] = {
        {"in: start", big, small, big, 0, TRUE, {0, 0, 640, 480}},
        {"in: moving", big, small, big, 250, TRUE, {100, 50, 640, 480}},
        {"in: moved", big, small, {100, 50, 640, 480}, 499, TRUE, {200, 100, 640, 480}},
        {"in: shrinking", big, small, {200, 100, 640, 480}, 750, TRUE, {200, 100, 480, 360}},
        {"in: end", big, small, {200, 100, 400, 300}, 1000, FALSE, small},
        {"out: growing", small, big, small, 250, TRUE, {200, 100, 480, 360}},
        {"out: moving", small, big, {200, 100, 640, 480}, 750, TRUE, {100, 50, 640, 480}},
        {"out: end", small, big, small, 1200, FALSE, big},
        {"same width ends at once", big, {50, 50, 640, 480}, big, 10, FALSE, {50, 50, 640, 480}},
        {"zero length ends at once", big, small, big, 0, FALSE, small},
    };
    for (const Case& c : cases) {
        CaptureArea result = {};
        const DWORD duration = strcmp(c.name, "zero length ends at once") == 0 ? 1 : 1000;
        EXPECT_EQ(c.running, ZoomTransitionArea(c.from, c.requested, c.previous, c.t, duration, &result)) << c.name;
        EXPECT_TRUE(result == c.expected) << c.name << ": " << result.left << "," << result.top << " "
                                          << result.width << "x" << result.height;
    }
}

// The fractions of a transition are rounded to the nearest pixel, halves
// up, exactly: 1/6 of the way from 320 to 323 is 320.5, 7/12 of the way from
// 538 to 100 is 282.5. An odd length lets the second half reach its end.
TEST(AreaGeometry, ZoomTransitionRoundsHalvesUp)
{
    const struct {
        const char* name;
        CaptureArea from, requested, previous;
        DWORD t, duration;
        CaptureArea expected;
    } cases[] = {
        {"out: growing by halves", {200, 100, 320, 240}, {200, 100, 323, 246}, {200, 100, 320, 240}, 1, 12,
         {200, 100, 321, 241}},
        {"in: moving left by a half", {538, 0, 640, 480}, {100, 0, 320, 240}, {538, 0, 640, 480}, 7, 24,
         {283, 0, 640, 480}},
        {"in: moving up by a half", {0, 538, 640, 480}, {0, 100, 320, 240}, {0, 538, 640, 480}, 7, 24,
         {0, 283, 640, 480}},
        {"in: shrinking by a half", {0, 0, 323, 246}, {0, 0, 320, 240}, {0, 0, 323, 246}, 11, 12,
         {0, 0, 321, 241}},
        {"out: moving right by a half", {100, 0, 320, 240}, {538, 0, 640, 480}, {100, 0, 640, 480}, 19, 24,
         {356, 0, 640, 480}},
        {"in: odd length, last step", {0, 0, 640, 480}, {10, 10, 320, 240}, {10, 10, 400, 300}, 24, 25,
         {10, 10, 320, 240}},
    };
    for (const auto& c : cases) {
        CaptureArea result = {};
        EXPECT_TRUE(ZoomTransitionArea(c.from, c.requested, c.previous, c.t, c.duration, &result)) << c.name;
        EXPECT_TRUE(result == c.expected) << c.name << ": " << result.left << "," << result.top << " "
                                          << result.width << "x" << result.height;
    }
}

TEST(AreaGeometry, AutoPanTable)
{
    const CaptureArea area = {500, 300, 400, 300};   // middle half x 600..800, y 375..525
    struct Case {
        const char* name;
        CaptureArea start;
        POINT calm, cursor;
        BOOL autoPan, transition;
        BOOL moved;
        CaptureArea expected;
        POINT calmAfter;
    } cases[] = {
        {"1 px left of the middle half", area, {700, 450}, {599, 450}, TRUE, FALSE, TRUE, {490, 300, 400, 300}, {700, 450}},
        {"inside the middle half", area, {700, 450}, {600, 450}, TRUE, FALSE, FALSE, area, {600, 450}},
        {"first sample only calms", area, {0, 0}, {10, 10}, TRUE, FALSE, FALSE, area, {10, 10}},
        {"auto pan off", area, {700, 450}, {10, 10}, FALSE, FALSE, FALSE, area, {10, 10}},
        {"during a transition", area, {700, 450}, {10, 10}, TRUE, TRUE, FALSE, area, {10, 10}},
        {"near: step is the distance", area, {700, 450}, {1000, 450}, TRUE, FALSE, TRUE, {510, 300, 400, 300}, {700, 450}},
        {"stops at the left bound", {5, 300, 400, 300}, {700, 450}, {1, 450}, TRUE, FALSE, TRUE, {0, 300, 400, 300}, {700, 450}},
        {"stops at the right bound", {1515, 300, 400, 300}, {700, 450}, {1919, 450}, TRUE, FALSE, TRUE, {1520, 300, 400, 300}, {700, 450}},
        {"up and right", area, {700, 450}, {1000, 100}, TRUE, FALSE, TRUE, {510, 290, 400, 300}, {700, 450}},
    };
    for (const Case& c : cases) {
        CaptureArea requested = c.start;
        POINT calm = c.calm;
        EXPECT_EQ(c.moved, AutoPanStep(&requested, &calm, c.cursor, kDesktop, 10, c.autoPan, c.transition)) << c.name;
        EXPECT_TRUE(requested == c.expected) << c.name << ": " << requested.left << "," << requested.top;
        EXPECT_EQ(c.calmAfter.x, calm.x) << c.name;
        EXPECT_EQ(c.calmAfter.y, calm.y) << c.name;
    }
}

TEST(AreaGeometry, DragStaysInsideTheBounds)
{
    struct Case {
        POINT last, now;
        int left, top;
    } cases[] = {
        {{50, 50}, {60, 45}, 110, 95},
        {{50, 50}, {-500, 50}, 0, 100},
        {{50, 50}, {5000, 5000}, 1920 - 200, 1080 - 100},
    };
    for (const Case& c : cases) {
        CaptureArea a = {100, 100, 200, 100};
        DragAreaTo(&a, c.last, c.now, kDesktop);
        EXPECT_EQ(c.left, a.left) << c.now.x;
        EXPECT_EQ(c.top, a.top) << c.now.x;
    }
}

TEST(AreaGeometry, StripSamplePoint)
{
    const CaptureArea a = {0, 0, 400, 300};
    struct Case {
        POINT cursor, expected;
    } cases[] = {
        {{13, 12}, {16, 8}},
        {{12, 13}, {8, 16}},
        {{400, 296}, {400, 296}},     // edges count as inside
        {{403, 20}, {400, 16}},
        {{405, 20}, {200, 150}},      // rounds to 408: outside, so the centre
        {{-50, 20}, {200, 150}},
    };
    for (const Case& c : cases) {
        const POINT p = StripSamplePoint(c.cursor, a);
        EXPECT_EQ(c.expected.x, p.x) << c.cursor.x << "," << c.cursor.y;
        EXPECT_EQ(c.expected.y, p.y) << c.cursor.x << "," << c.cursor.y;
    }
}
