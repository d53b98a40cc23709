#include "tests/camera/CameraTestSupport.h"
#include "tests/camera/TestCameraIds.h"

#include <shlwapi.h>

const char kTestSection[] = "Vexcap Camera Test";
const char kTestKeyFormat[] = "Software\\%s\\%s\\%s";
const char kTestSectionKey[] = "Software\\Kestravon\\Skorvale Studio\\3.0\\Vexcap Camera Test";

void CameraTest::SetUp()
{
    ::CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    ::SHDeleteKeyA(HKEY_CURRENT_USER, kTestSectionKey);
    UseCameras(kCamerasAll);
    SetDummyCameraFailure(kDummyFailNever);
}

void CameraTest::TearDown()
{
    ::SHDeleteKeyA(HKEY_CURRENT_USER, kTestSectionKey);
    SetDummyCameraFailure(kDummyFailNever);
    ::CoUninitialize();
}

void CameraTest::UseCameras(int set)
{
    ASSERT_EQ(S_OK, RegisterTestCameras(TestCameraDllPath(), set));
}
