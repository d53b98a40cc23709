#include "framework/Module.h"

namespace {
// Written once at start-up (AfxWinInit) or by a program that switches its
// resource module; read from any thread.
HINSTANCE g_hInstance = NULL;
HINSTANCE g_hResource = NULL;
}  // namespace

HINSTANCE AFXAPI AfxGetInstanceHandle()
{
    return g_hInstance ? g_hInstance : ::GetModuleHandleA(NULL);
}

void AFXAPI AfxSetInstanceHandle(HINSTANCE hInstance)
{
    g_hInstance = hInstance;
}

HINSTANCE AFXAPI AfxGetResourceHandle()
{
    return g_hResource ? g_hResource : AfxGetInstanceHandle();
}

void AFXAPI AfxSetResourceHandle(HINSTANCE hResource)
{
    g_hResource = hResource;
}
