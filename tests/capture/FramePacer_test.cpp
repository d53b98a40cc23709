#include "capture/FramePacer.h"

#include <gtest/gtest.h>

TEST(FramePacer, PeriodFractionAndIntervals)
{
    struct Case {
        DWORD num, den;
        DWORD period, fraction, refresh, measure;
        BOOL slow;
    } cases[] = {
        {15, 1, 66, 666, 7, 1, FALSE},
        {30, 1, 33, 333, 15, 1, FALSE},
        {10, 1, 100, 0, 5, 1, FALSE},
        {5, 1, 200, 0, 2, 1, FALSE},
        {4, 1, 250, 0, 2, 2, FALSE},
        {2, 1, 500, 0, 1, 2, FALSE},
        {1, 1, 1000, 0, 1, 4, FALSE},
        {1, 2, 2000, 0, 1, 4, TRUE},
        {30000, 1001, 33, 366, 14, 1, FALSE},
        {0, 1, 1000, 0, 1, 4, FALSE},      // a stored rate of 0 counts as 1
        {5, 0, 200, 0, 2, 1, FALSE},
    };
    for (const Case& c : cases) {
        CFramePacer pacer;
        pacer.Start(c.num, c.den, 1000);
        EXPECT_EQ(c.period, pacer.Period()) << c.num << "/" << c.den;
        EXPECT_EQ(c.fraction, pacer.Fraction()) << c.num << "/" << c.den;
        EXPECT_EQ(c.refresh, pacer.RefreshInterval()) << c.num << "/" << c.den;
        EXPECT_EQ(c.measure, pacer.MeasureInterval()) << c.num << "/" << c.den;
        EXPECT_EQ(c.slow, pacer.IsSlowRate()) << c.num << "/" << c.den;
    }
}

// Each row: the rate, the tick at which the frame just written finished
// relative to its due tick, and what the pacer must answer.
TEST(FramePacer, WaitsAndSkips)
{
    struct Case {
        const char* name;
        DWORD num;
        long finishedAfterDue;   // negative: early
        DWORD wait, skipped, carry;
        DWORD dueAdvance;
    } cases[] = {
        {"early by 5 at 15 fps", 15, -5, 71, 0, 0, 66},
        {"on time at 15 fps", 15, 0, 66, 0, 0, 66},
        {"20 ms late at 10 fps", 10, 20, 80, 0, 0, 100},
        {"150 ms late at 10 fps", 10, 150, 0, 0, 50, 100},
        {"250 ms late at 10 fps", 10, 250, 0, 1, 50, 200},
        {"exactly one period late", 10, 100, 0, 0, 0, 100},
        {"930 ms late at 10 fps", 10, 930, 0, 8, 30, 900},
    };
    for (const Case& c : cases) {
        CFramePacer pacer;
        const DWORD start = 50000;
        pacer.Start(c.num, 1, start);
        const CFramePacer::Step step = pacer.AfterFrame(start + c.finishedAfterDue);
        EXPECT_EQ(c.wait, step.wait) << c.name;
        EXPECT_EQ(c.skipped, step.skipped) << c.name;
        EXPECT_EQ(c.carry, pacer.LatenessCarry()) << c.name;
        EXPECT_EQ(start + c.dueAdvance, pacer.DueTick()) << c.name;
    }
}

TEST(FramePacer, CarriedFractionKeepsTheLongRunRateExact)
{
    CFramePacer pacer;
    pacer.Start(15, 1, 0);
    DWORD now = 0;
    for (int i = 0; i < 3; ++i)
        now = pacer.DueTick(), pacer.AfterFrame(now);
    EXPECT_EQ(199u, pacer.DueTick()) << "66 + 67 + 66, not 198";
    for (int i = 3; i < 15 * 60; ++i)
        pacer.AfterFrame(pacer.DueTick());
    EXPECT_EQ(59999u, pacer.DueTick()) << "one minute of frames is one minute of ticks, within 1 ms";
}

TEST(FramePacer, SurvivesTheTickWrap)
{
    CFramePacer pacer;
    const DWORD start = 0xFFFFFFFFu - 30;   // 31 ms before the wrap
    pacer.Start(10, 1, start);
    // Finished 10 ms after the due tick, which lies past the wrap.
    CFramePacer::Step step = pacer.AfterFrame(start + 10);
    EXPECT_EQ(90u, step.wait);
    EXPECT_EQ(0u, step.skipped);
    EXPECT_EQ(start + 100, pacer.DueTick());
    // Early across the wrap: due at start + 100 (= 69), now = 0xFFFFFFF0.
    step = pacer.AfterFrame(0xFFFFFFF0u);
    EXPECT_EQ(85u + 100u, step.wait);
    EXPECT_EQ(0u, step.skipped);
}

TEST(FrameRateMeter, MeasuresOverItsIntervalWithoutOverflow)
{
    CFramePacer pacer;
    pacer.Start(30, 1, 0);
    CFrameRateMeter meter;
    EXPECT_FALSE(meter.Update(pacer, 30, 30)) << "one second is not more than the interval";
    EXPECT_TRUE(meter.Update(pacer, 60, 45));
    EXPECT_FLOAT_EQ(22.5f, meter.Rate());
    // Days of recording at 30 fps: den * position must not wrap at 32 bits.
    const DWORD position = 200000000;   // ~77 days
    EXPECT_EQ(position / 30, pacer.StreamSeconds(position));
    CFramePacer ntsc;
    ntsc.Start(30000, 1001, 0);
    EXPECT_EQ(333666u, ntsc.StreamSeconds(10000000)) << "1001 x position passes 2^32";
}
