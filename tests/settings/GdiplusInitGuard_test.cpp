#include "settings/GdiplusInitGuard.h"

#include "app/RecorderApp.h"

#include <gtest/gtest.h>

namespace {

extern "C" int WINAPI GdipCreateBitmapFromScan0(INT, INT, INT, INT, BYTE*, void**);
extern "C" int WINAPI GdipDisposeImage(void*);

bool MarkerExists()
{
    char name[64];
    CGdiplusInitGuard::MarkerName(name, sizeof(name), ::GetCurrentProcessId());
    HANDLE h = ::OpenFileMappingA(FILE_MAP_READ, FALSE, name);
    if (!h)
        return false;
    ::CloseHandle(h);
    return true;
}

// A 16 x 16 32-bit bitmap through the flat interface: works while GDI+ is up.
bool GdiplusWorks()
{
    void* bitmap = nullptr;
    int status = GdipCreateBitmapFromScan0(16, 16, 0, 0x26200A /* PixelFormat32bppARGB */, nullptr, &bitmap);
    if (bitmap)
        GdipDisposeImage(bitmap);
    return status == 0 && bitmap != nullptr;
}

}  // namespace

// The test program links the application object, whose static guard already
// owns GDI+ here; these guards must leave it alone.
TEST(GdiplusInitGuard, ASecondGuardLeavesGdiplusToTheFirst)
{
    ASSERT_TRUE(MarkerExists());
    {
        CGdiplusInitGuard second;
        second.Start();
        EXPECT_FALSE(second.IsStartedHere());
        EXPECT_EQ(1, second.GetUseCount());
        EXPECT_TRUE(GdiplusWorks());
    }
    EXPECT_TRUE(MarkerExists());
    EXPECT_TRUE(GdiplusWorks());
}

TEST(GdiplusInitGuard, TheOwnerShutsDownAfterAsManyReleases)
{
    // Hand the process back to no owner for this test: the application's
    // guard gives back its one use, which shuts GDI+ down and drops the marker.
    CGdiplusInitGuard& application = CRecorderApp::s_gdiplus;
    ASSERT_TRUE(application.IsStartedHere());
    ASSERT_EQ(1, application.GetUseCount());
    application.Release();
    EXPECT_FALSE(application.IsStartedHere());
    EXPECT_FALSE(MarkerExists());
    {
        CGdiplusInitGuard owner;
        owner.Start();
        EXPECT_TRUE(owner.IsStartedHere());
        EXPECT_TRUE(MarkerExists());
        EXPECT_TRUE(GdiplusWorks());
        owner.Start();   // a repeated start
        EXPECT_EQ(2, owner.GetUseCount());
        {
            CGdiplusInitGuard second;
            second.Start();
            EXPECT_FALSE(second.IsStartedHere());
        }
        EXPECT_TRUE(MarkerExists());
        owner.Release();
        EXPECT_TRUE(owner.IsStartedHere());   // one use is left
        EXPECT_TRUE(MarkerExists());
        EXPECT_TRUE(GdiplusWorks());
        owner.Release();
        EXPECT_FALSE(owner.IsStartedHere());
        EXPECT_FALSE(MarkerExists());
        owner.Release();   // nothing left to give back
        EXPECT_EQ(0, owner.GetUseCount());
    }
    // The application's guard takes GDI+ back for the rest of the run.
    application.Start();
    EXPECT_TRUE(application.IsStartedHere());
    EXPECT_TRUE(GdiplusWorks());
    // A guard that does not own shutdown never counts down.
    CGdiplusInitGuard borrower(false);
    borrower.Start();
    EXPECT_FALSE(borrower.IsStartedHere());
    borrower.Release();
    EXPECT_EQ(1, borrower.GetUseCount());
    EXPECT_TRUE(MarkerExists());
}
