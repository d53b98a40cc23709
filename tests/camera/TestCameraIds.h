#pragma once
// Class ids, names and settings of the test cameras (testcamera.dll), shared
// by the DLL and the tests that register and read them.
#include <windows.h>

// {6B1E04C1-3F0A-4C55-9C1E-5A61D2A10001} .. 0003
static const CLSID CLSID_TestCameraA = {0x6b1e04c1, 0x3f0a, 0x4c55, {0x9c, 0x1e, 0x5a, 0x61, 0xd2, 0xa1, 0x00, 0x01}};
static const CLSID CLSID_TestCameraB = {0x6b1e04c1, 0x3f0a, 0x4c55, {0x9c, 0x1e, 0x5a, 0x61, 0xd2, 0xa1, 0x00, 0x02}};
static const CLSID CLSID_TestCameraDummy = {0x6b1e04c1, 0x3f0a, 0x4c55, {0x9c, 0x1e, 0x5a, 0x61, 0xd2, 0xa1, 0x00, 0x03}};

// {6B1E04C1-3F0A-4C55-9C1E-5A61D2A10010}: the video format page of the cameras' capture pin.
static const CLSID CLSID_TestCameraFormatPage = {0x6b1e04c1, 0x3f0a, 0x4c55,
                                                 {0x9c, 0x1e, 0x5a, 0x61, 0xd2, 0xa1, 0x00, 0x10}};

#define TEST_CAMERA_A_NAME L"Vexcap Test Camera A"
#define TEST_CAMERA_B_NAME L"Vexcap Test Camera B"
// The dummy carries the name of our own capture driver, which the camera
// lists leave out.
#define TEST_CAMERA_DUMMY_NAME L"Skorvale Studio Video Capture Driver"

// The format page: its title, and the control id of its list of the pin's
// sizes (a drop-down list, entries "320 x 240").
#define TEST_CAMERA_FORMAT_PAGE_NAME L"Vexcap Test Camera Format"
#define TEST_CAMERA_FORMAT_PAGE_TITLE L"Video Format"
enum { kTestCameraPageSizeList = 1001, kTestCameraPageSizeLabel = 1002 };

// HKCU key of the switches: "DummyFailAt" (REG_DWORD) 0 = never, 1 = Pause, 2 = Run.
#define TEST_CAMERA_KEY "Software\\Vexcap Tests\\Test Camera"
enum { kDummyFailNever = 0, kDummyFailAtPause = 1, kDummyFailAtRun = 2 };

// Background colours (R, G, B) of the pictures.
static const BYTE kTestCameraColour[3][3] = {{40, 80, 200}, {40, 180, 60}, {128, 128, 128}};

// The picture: a band of 32 blocks at the top reads the frame number (bit 31
// first, white = 1), a second band below it the stream time in
// milliseconds; each block is width / 32 pixels wide and as high. Below the
// bands a white bar, one block wide, moves one block to the right per frame.
enum { kTestCameraBits = 32 };
