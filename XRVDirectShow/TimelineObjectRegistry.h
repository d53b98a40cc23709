// The process-wide registry of timeline objects: a map from a 32-bit key to
// an object, under one critical section, through which the playback facade
// finds objects again by key. The key of an object is the first 32-bit field
// of the record it points to. Any thread.
//
// The registry's lock and map are program-wide registrations that the program
// start-up code will own; until then they live here, made on first use.
#pragma once
#include "framework/Collections.h"
#include "framework/Sync.h"

CCriticalSection& TimelineRegistryLock();
CMap<DWORD, DWORD, void*, void*>& TimelineRegistryMap();

// Sets the entry of the object's key to the object (replacing an earlier one);
// a null object is ignored.
void RegisterObject(void* object);
// The object registered under the key, or null.
void* LookupRegisteredObject(DWORD key);
// Removes the key's entry; FALSE when there was none.
BOOL UnregisterObject(DWORD key);

// Increments the program-wide counter of object ids and returns the new value.
DWORD NextObjectId();
// The counter's current value (the id NextObjectId gave last).
DWORD LastObjectId();
