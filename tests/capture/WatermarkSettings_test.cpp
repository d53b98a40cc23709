#include "capture/WatermarkSettings.h"

#include <gtest/gtest.h>

TEST(WatermarkSettings, DefaultsAreTheStoredDefaults)
{
    WatermarkSettings w;
    EXPECT_FALSE(w.m_bInclude);
    EXPECT_FALSE(w.m_bOverlay);
    EXPECT_TRUE(w.m_strImagePath.IsEmpty());
    EXPECT_EQ(20, w.m_nImageScale);
    EXPECT_EQ(5, w.m_nHorizontalOffset);
    EXPECT_EQ(5, w.m_nVerticalOffset);
    EXPECT_EQ(100, w.m_nOpacity);
    EXPECT_TRUE(w.m_bUseTransparentColor);
    EXPECT_EQ(0xFFFFFFu, w.m_crTransparentColor);
    EXPECT_EQ(8, w.m_nPosition);
    EXPECT_TRUE(w.m_bEmboss);
    EXPECT_EQ(0, w.m_nEmbossDirection);
    EXPECT_EQ(20, w.m_nEmbossDepth);
    EXPECT_TRUE(w.m_bKeepAspectRatio);
    EXPECT_TRUE(w.m_bSmoothScale);
    EXPECT_FALSE(w.m_bPreserveSize);
    EXPECT_EQ(0, w.m_nWorking);
}

TEST(WatermarkSettings, AssignCopiesEveryField)
{
    WatermarkSettings a;
    a.m_bInclude = TRUE;
    a.m_bOverlay = TRUE;
    a.m_strImagePath = "C:\\水印\\logo.png";
    a.m_nImageScale = 33;
    a.m_nHorizontalOffset = 11;
    a.m_nVerticalOffset = 12;
    a.m_nOpacity = 44;
    a.m_bUseTransparentColor = FALSE;
    a.m_crTransparentColor = RGB(1, 2, 3);
    a.m_nPosition = 4;
    a.m_bEmboss = FALSE;
    a.m_nEmbossDirection = 7;
    a.m_nEmbossDepth = 99;
    a.m_bKeepAspectRatio = FALSE;
    a.m_bSmoothScale = FALSE;
    a.m_bPreserveSize = TRUE;
    a.m_nWorking = 5;

    WatermarkSettings b;
    b.Assign(a);
    EXPECT_TRUE(b.m_bInclude);
    EXPECT_TRUE(b.m_bOverlay);
    EXPECT_STREQ("C:\\水印\\logo.png", b.m_strImagePath);
    EXPECT_EQ(33, b.m_nImageScale);
    EXPECT_EQ(11, b.m_nHorizontalOffset);
    EXPECT_EQ(12, b.m_nVerticalOffset);
    EXPECT_EQ(44, b.m_nOpacity);
    EXPECT_FALSE(b.m_bUseTransparentColor);
    EXPECT_EQ(RGB(1, 2, 3), b.m_crTransparentColor);
    EXPECT_EQ(4, b.m_nPosition);
    EXPECT_FALSE(b.m_bEmboss);
    EXPECT_EQ(7, b.m_nEmbossDirection);
    EXPECT_EQ(99, b.m_nEmbossDepth);
    EXPECT_FALSE(b.m_bKeepAspectRatio);
    EXPECT_FALSE(b.m_bSmoothScale);
    EXPECT_TRUE(b.m_bPreserveSize);
    EXPECT_EQ(5, b.m_nWorking);

    // The path is a copy, not shared.
    a.m_strImagePath = "other";
    EXPECT_STREQ("C:\\水印\\logo.png", b.m_strImagePath);
}
