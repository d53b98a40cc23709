#pragma once
// Fixtures of the camera tests: COM on the test thread, the test cameras in
// the video input category, and a scratch settings key.
#include "framework/AfxPlatform.h"
#include "tests/camera/TestCameraRegistry.h"

#include <gtest/gtest.h>

// The section the tests give the settings record: its key is
// HKCU\Software\Kestravon\Skorvale Studio\3.0\<section>\3.0\Camera Video Settings.
extern const char kTestSection[];
extern const char kTestKeyFormat[];
// The key the tests delete after each test.
extern const char kTestSectionKey[];

class CameraTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Registers the cameras of `set` (the others leave the category).
    void UseCameras(int set);
};
