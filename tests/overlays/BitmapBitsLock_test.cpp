#include "overlays/BitmapBitsLock.h"

#include "OverlayTestSupport.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace {

class BitmapBitsLockTest : public ::testing::Test {
protected:
    void SetUp() override { overlaytest::StartGdiplus(); }
};

int g_deleted = 0;

class CountedBitmap : public Gdiplus::Bitmap {
public:
    CountedBitmap(INT w, INT h, Gdiplus::PixelFormat f) : Gdiplus::Bitmap(w, h, f) {}
    ~CountedBitmap() override { ++g_deleted; }
};

}  // namespace

static_assert(!std::is_copy_constructible<CBitmapBitsLock>::value, "the lock owns a locked state");
static_assert(!std::is_copy_assignable<CBitmapBitsLock>::value, "the lock owns a locked state");

// A format of 0 locks in the bitmap's own format; the lock covers the whole
// bitmap and writes through it reach the bitmap.
TEST_F(BitmapBitsLockTest, LocksTheWholeBitmapInItsOwnFormat)
{
    const struct {
        Gdiplus::PixelFormat own;
        Gdiplus::PixelFormat asked;
        Gdiplus::PixelFormat locked;
        INT stride;
    } cases[] = {
        {PixelFormat32bppARGB, 0, PixelFormat32bppARGB, 20},
        {PixelFormat24bppRGB, 0, PixelFormat24bppRGB, 16},
        {PixelFormat24bppRGB, PixelFormat32bppARGB, PixelFormat32bppARGB, 20},
    };
    for (const auto& c : cases) {
        Gdiplus::Bitmap bitmap(5, 3, c.own);
        ASSERT_EQ(Gdiplus::Ok, bitmap.GetLastStatus());
        {
            CBitmapBitsLock lock(&bitmap, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite, c.asked, FALSE);
            ASSERT_TRUE(lock.IsLocked());
            EXPECT_EQ(c.locked, lock.m_data.PixelFormat);
            EXPECT_EQ(5u, lock.m_data.Width);
            EXPECT_EQ(3u, lock.m_data.Height);
            EXPECT_EQ(c.stride, lock.m_data.Stride);
            BYTE* row = (BYTE*)lock.m_data.Scan0 + 2 * lock.m_data.Stride;
            const int bytes = c.locked == PixelFormat24bppRGB ? 3 : 4;
            row[4 * bytes + 0] = 0x30;   // blue of pixel (4, 2)
            row[4 * bytes + 1] = 0x20;
            row[4 * bytes + 2] = 0x10;
            if (bytes == 4)
                row[4 * bytes + 3] = 0xFF;
        }
        Gdiplus::Color color;
        ASSERT_EQ(Gdiplus::Ok, bitmap.GetPixel(4, 2, &color));
        EXPECT_EQ(0xFF102030u, (unsigned)color.GetValue());
    }
}

// Unlocking twice unlocks GDI+ once: a second GdipBitmapUnlockBits would
// fail and leave its status in the bitmap.
TEST_F(BitmapBitsLockTest, UnlockingTwiceUnlocksOnce)
{
    Gdiplus::Bitmap bitmap(4, 4, PixelFormat32bppARGB);
    CBitmapBitsLock lock(&bitmap, Gdiplus::ImageLockModeRead, 0, FALSE);
    ASSERT_TRUE(lock.IsLocked());
    EXPECT_TRUE(lock.Unlock());
    EXPECT_FALSE(lock.IsLocked());
    EXPECT_TRUE(lock.Unlock());
    EXPECT_EQ(Gdiplus::Ok, bitmap.GetLastStatus());
    // The bitmap is free again: another lock succeeds.
    CBitmapBitsLock again(&bitmap, Gdiplus::ImageLockModeRead, 0, FALSE);
    EXPECT_TRUE(again.IsLocked());
}

// Locking a bitmap that is already locked fails: GDI+'s status stays in the
// bitmap and the second object is not locked (its destruction unlocks
// nothing), while the first one still unlocks.
TEST_F(BitmapBitsLockTest, LockingALockedBitmapLeavesTheStatusAndStaysUnlocked)
{
    Gdiplus::Bitmap bitmap(4, 4, PixelFormat32bppARGB);
    CBitmapBitsLock first(&bitmap, Gdiplus::ImageLockModeWrite, 0, FALSE);
    ASSERT_TRUE(first.IsLocked());
    ASSERT_EQ(Gdiplus::Ok, bitmap.GetLastStatus());
    {
        CBitmapBitsLock second(&bitmap, Gdiplus::ImageLockModeWrite, 0, FALSE);
        EXPECT_FALSE(second.IsLocked());
        EXPECT_NE(Gdiplus::Ok, bitmap.GetLastStatus());
        EXPECT_TRUE(second.Unlock());
    }
    EXPECT_EQ(Gdiplus::Ok, bitmap.GetLastStatus()) << "the second object's destruction called no unlock";
    EXPECT_TRUE(first.Unlock());
    EXPECT_EQ(Gdiplus::Ok, bitmap.GetLastStatus());
}

// Without a bitmap nothing is asked of GDI+ (the format query included):
// Lock answers 0, Unlock 1, and destruction is quiet even when owning.
TEST_F(BitmapBitsLockTest, NullBitmapMakesNoCall)
{
    for (BOOL owns : {FALSE, TRUE}) {
        CBitmapBitsLock lock(nullptr, Gdiplus::ImageLockModeRead, 0, owns);
        EXPECT_FALSE(lock.IsLocked());
        EXPECT_FALSE(lock.Lock(Gdiplus::ImageLockModeRead, PixelFormat32bppARGB));
        EXPECT_TRUE(lock.Unlock());
        EXPECT_EQ(nullptr, lock.m_data.Scan0);
    }
}

// An owned bitmap is deleted with the lock (after the unlock); a borrowed
// one is not.
TEST_F(BitmapBitsLockTest, DeletesOnlyAnOwnedBitmap)
{
    g_deleted = 0;
    CountedBitmap* borrowed = new CountedBitmap(3, 3, PixelFormat32bppARGB);
    {
        CBitmapBitsLock lock(borrowed, Gdiplus::ImageLockModeRead, 0, FALSE);
        EXPECT_TRUE(lock.IsLocked());
    }
    EXPECT_EQ(0, g_deleted);
    {
        CBitmapBitsLock lock(borrowed, Gdiplus::ImageLockModeRead, 0, TRUE);
        EXPECT_TRUE(lock.IsLocked());
    }
    EXPECT_EQ(1, g_deleted);
}
