// Our property setter: named properties, each a list of values at times
// (relative to the object the setter is attached to), as the editing-services
// property setter keeps them. Adding, reading, cloning a time span and
// clearing work; loading and saving XML or blobs and pushing the values into
// a filter belong to the render engine and answer E_NOTIMPL here.
#pragma once
#include "platform/dex/DexInterfaces.h"

HRESULT DexCreatePropertySetter(REFIID riid, void** ppv);
