#include "app/Registrations.h"

#include "overlays/SoftTransitions.h"

#include <gtest/gtest.h>

#include <string.h>

// The program's table of software transitions: the eighteen names in order,
// each row's routine filled (masks in rows 0-11, pixel routines in 12-17).
TEST(SoftTransitionTable, ProgramTableHoldsTheEighteenRoutines)
{
    const struct {
        const char* name;
        SoftMaskFn mask;
        SoftPixelFn pixel;
    } expected[kSoftwareTransitionCount] = {
        {"Spiral", SoftSpiral, nullptr},
        {"Iris", SoftIris, nullptr},
        {"RadialWipe", SoftRadialWipe, nullptr},
        {"ZigZag", SoftZigZag, nullptr},
        {"RandomBars", SoftRandomBars, nullptr},
        {"Wheel", SoftWheel, nullptr},
        {"Strips", SoftStrips, nullptr},
        {"Inset", SoftInset, nullptr},
        {"Blinds", SoftBlinds, nullptr},
        {"CheckerBoard", SoftCheckerBoard, nullptr},
        {"DxtJpeg Class", SoftDxtJpeg, nullptr},
        {"Barn", SoftBarn, nullptr},
        {"Fade", nullptr, SoftFade},
        {"Stretch", nullptr, SoftStretch},
        {"GradientWipe", nullptr, SoftGradientWipe},
        {"Slide", nullptr, SoftSlide},
        {"Pixelate", nullptr, SoftPixelate},
        {"RandomDissolve", nullptr, SoftRandomDissolve},
    };
    ASSERT_EQ(kSoftTransitionCount, kSoftwareTransitionCount);
    for (int i = 0; i < kSoftwareTransitionCount; ++i) {
        const SoftwareTransition& row = g_softwareTransitions[i];
        EXPECT_STREQ(expected[i].name, row.name) << "row " << i;
        EXPECT_EQ(expected[i].mask, row.mask) << "row " << i;
        EXPECT_EQ(expected[i].pixel, row.blend) << "row " << i;
        EXPECT_EQ(i >= 12, row.blends) << "row " << i;
        EXPECT_STREQ(kSoftTransitionRoutines[i].name, row.name) << "row " << i;
        EXPECT_EQ(&row, FindSoftwareTransition(row.name)) << "row " << i;
    }
}

// The transform class identifiers timelines name transitions by: each of the
// eighteen names its routine, in either letter case; others name none.
TEST(SoftTransitionTable, ClassIdentifiersNameTheirRoutines)
{
    for (const SoftTransitionClass& c : kSoftTransitionClasses) {
        const SoftTransitionRoutine* routine = SoftTransitionByClassId(c.clsid);
        ASSERT_NE(nullptr, routine) << c.name;
        EXPECT_STREQ(c.name, routine->name);
        EXPECT_EQ(routine, SoftTransitionByName(c.name));
        char lower[64];
        strncpy(lower, c.clsid, sizeof(lower) - 1);
        lower[sizeof(lower) - 1] = 0;
        for (char* p = lower; *p; ++p)
            if (*p >= 'A' && *p <= 'Z')
                *p = (char)(*p + 32);
        EXPECT_EQ(routine, SoftTransitionByClassId(lower)) << lower;
    }
    const char* unknown[] = {"", "{00000000-0000-0000-0000-000000000000}", "{16B280C5-EE70-11D1-9066-00C04FD9189D",
                             "16B280C5-EE70-11D1-9066-00C04FD9189D", nullptr};
    for (const char* text : unknown)
        EXPECT_EQ(nullptr, SoftTransitionByClassId(text)) << (text ? text : "(null)");
    EXPECT_EQ(nullptr, SoftTransitionByName("fade")) << "names are exact";
    EXPECT_EQ(nullptr, SoftTransitionByName(nullptr));
}
