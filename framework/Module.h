// Module-wide handles: the instance of the program and the module that string
// tables and other resources are loaded from. Both default to the executable.
#pragma once
#include "framework/AfxPlatform.h"

HINSTANCE AFXAPI AfxGetInstanceHandle();
void AFXAPI AfxSetInstanceHandle(HINSTANCE hInstance);
HINSTANCE AFXAPI AfxGetResourceHandle();
void AFXAPI AfxSetResourceHandle(HINSTANCE hResource);
