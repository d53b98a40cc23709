#pragma once
// The video format property page of the test cameras' capture pin (part of
// testcamera.dll, class CLSID_TestCameraFormatPage): a drop-down list of the
// sizes the pin offers; Apply sets the chosen one on the pin.
#include <windows.h>

// Creates a page object into an interface pointer (the class factory's work).
HRESULT CreateTestCameraFormatPage(REFIID riid, void** ppv);
// Number of page objects alive (for DllCanUnloadNow).
LONG TestCameraFormatPagesAlive();
// The DLL's module, set at load (dialogs of the page are made with it).
void SetTestCameraModule(HINSTANCE module);
