// Our media property bag (Wine registers none): named VARIANT values kept in
// the order first written, read back by name or by index. The writer fills
// one with "INFO/xxxx" texts and loads it into the AVI multiplexer.
// Any thread; the values are under the bag's lock.
#pragma once
#include "platform/filters/FilterBase.h"

// Creates the bag (class CLSID_MediaPropertyBag).
HRESULT DsCreateMediaPropertyBag(REFIID riid, void** ppv);
