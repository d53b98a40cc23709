// The one place through which the timeline engine creates editing-services
// objects by class identifier. Wine registers only an empty timeline and none
// of the other editing-services classes, so the timeline and the property
// setter are our own (DexTimeline.h); every other class goes to
// CoCreateInstance. Tests replace a class with a fake through
// DexSetClassFactory. Any thread; overrides are process-wide.
#pragma once
#include <windows.h>

typedef HRESULT (*DexCreateFunction)(REFIID riid, void** ppv);

HRESULT DexCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** ppv);

// Makes `create` answer for `clsid` (null removes the override); returns the
// override it replaces, or null.
DexCreateFunction DexSetClassFactory(REFCLSID clsid, DexCreateFunction create);

// Creates a T by class identifier into a smart pointer's out slot.
template <class T> HRESULT DexCreate(REFCLSID clsid, T** ppv)
{
    return DexCreateInstance(clsid, NULL, CLSCTX_ALL, __uuidof(T), (void**)ppv);
}
