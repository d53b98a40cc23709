#include "settings/Rational.h"

#include <gtest/gtest.h>

TEST(Rational, NewRecordIsZeroOverOne)
{
    CRational r;
    EXPECT_EQ(0u, r.m_nRate);
    EXPECT_EQ(1u, r.m_nScale);
    EXPECT_EQ(1u, r.m_nTime);
}

TEST(Rational, AssignCopiesAllThreeFields)
{
    CRational a(30000, 1001, 7);
    CRational b;
    b.Assign(a);
    EXPECT_EQ(30000u, b.m_nRate);
    EXPECT_EQ(1001u, b.m_nScale);
    EXPECT_EQ(7u, b.m_nTime);
}

TEST(Rational, FormatsDecimalText)
{
    struct Case {
        DWORD rate, scale;
        BOOL fraction;
        const char* text;
    } cases[] = {
        {30, 1, TRUE, "30.0"},
        {30, 1, FALSE, "30"},
        {15, 2, TRUE, "7.5"},
        {15, 2, FALSE, "7"},
        {30000, 1001, TRUE, "29.970029"},
        {1, 200, TRUE, "0.005"},
        {1, 3, TRUE, "0.3333333"},
        {2, 7, TRUE, "0.2857142"},          // 1428571 * 2: the division loses the tail
        {25, 10, TRUE, "2.5"},
        {1, 20000000, TRUE, "0.0"},         // scale beyond 10^7: no fraction digits
        {0, 1, TRUE, "0.0"},
        {0xFFFFFFFFu, 1, FALSE, "4294967295"},
        {0xFFFFFFFFu, 0xFFFFFFFEu, TRUE, "1.0"},
        {30, 0, TRUE, "0.0"},               // zero scale: defined text, no division
        {30, 0, FALSE, "0"},
    };
    for (const Case& c : cases) {
        CRational r(c.rate, c.scale, 1);
        CString text = "unchanged";
        r.Format(text, c.fraction);
        EXPECT_STREQ(c.text, text) << c.rate << "/" << c.scale << " fraction=" << c.fraction;
    }
}
