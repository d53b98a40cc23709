#pragma once
// Reads the test camera's picture back: its frame number and time blocks
// (TestCameraIds.h) from an RGB24 bottom-up frame.
#include <windows.h>

struct CameraPicture {
    DWORD frame;
    DWORD milliseconds;
    BYTE background[3];   // R, G, B of the pixel below the bands at the right edge
    bool readable;        // every block clearly black or white
};

CameraPicture ReadCameraPicture(const BYTE* bits, LONG width, LONG height);
