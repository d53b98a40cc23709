#pragma once
// Registers the test cameras of testcamera.dll in the video input device
// category (as a camera driver's setup would) and takes them out again.
#include <windows.h>

// Which cameras a test wants listed.
enum TestCameraSet {
    kCamerasNone = 0,
    kCameraA = 1,
    kCameraB = 2,
    kCameraDummy = 4,
    kCamerasAll = 7,
};

// Registers the COM classes of `dllPath` (the cameras and their format
// page) and puts the cameras of `set` into the category (the others out of
// it). S_OK or the first failure.
HRESULT RegisterTestCameras(LPCWSTR dllPath, int set);
// Takes every test camera out of the category.
void UnregisterTestCameras();
// Sets the dummy camera's failure switch (kDummyFail*).
void SetDummyCameraFailure(DWORD failAt);
// The Windows path of the testcamera.dll of this build.
const wchar_t* TestCameraDllPath();
