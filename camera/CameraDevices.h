#pragma once
// Finding capture devices and video compressors by their friendly names in a
// device category of the system device enumerator. Any thread with COM
// initialised.
#include "framework/AfxPlatform.h"
#include "framework/Collections.h"
#include "framework/String.h"

#include <objidl.h>

// The system's own live capture driver: never offered as a camera.
extern const char kOwnCaptureDriverName[];

// Appends every friendly name of the category to `names` (moniker order),
// skipping our own capture driver and monikers without a readable name.
void ListDeviceNames(CStringArray* names, REFCLSID category);

// Looks for the first moniker of the category whose friendly name equals
// `name` (case-sensitive). When found and different from `*moniker`, replaces
// `*moniker` (releasing the old one) and `*foundName`. TRUE when found.
BOOL FindDeviceMoniker(REFCLSID category, IMoniker** moniker, CString* foundName, LPCSTR name);
