#include "XRVDirectShow/TimelineObjectRegistry.h"

#include <string.h>

namespace {
volatile LONG g_lastObjectId = 0;
}

CCriticalSection& TimelineRegistryLock()
{
    static CCriticalSection lock;
    return lock;
}

CMap<DWORD, DWORD, void*, void*>& TimelineRegistryMap()
{
    static CMap<DWORD, DWORD, void*, void*> map(10);
    return map;
}

void RegisterObject(void* object)
{
    if (!object)
        return;
    DWORD key;
    memcpy(&key, object, sizeof(key));
    CSingleLock lock(&TimelineRegistryLock(), TRUE);
    TimelineRegistryMap().SetAt(key, object);
}

void* LookupRegisteredObject(DWORD key)
{
    CSingleLock lock(&TimelineRegistryLock(), TRUE);
    void* object = NULL;
    if (!TimelineRegistryMap().Lookup(key, object))
        return NULL;
    return object;
}

BOOL UnregisterObject(DWORD key)
{
    CSingleLock lock(&TimelineRegistryLock(), TRUE);
    return TimelineRegistryMap().RemoveKey(key);
}

DWORD NextObjectId()
{
    return (DWORD)InterlockedIncrement(&g_lastObjectId);
}

DWORD LastObjectId()
{
    return (DWORD)InterlockedCompareExchange(&g_lastObjectId, 0, 0);
}
