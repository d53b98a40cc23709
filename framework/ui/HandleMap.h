// Per-thread maps from Win32 handles to framework objects: permanent entries
// for objects that own or wrap a handle for a while (a bound CWnd, a CDC made
// by CPaintDC), and temporary wrappers made on demand by FromHandle, freed by
// AfxDeleteTempMaps when the message loop is idle. Internal to framework/ui.
#pragma once
#include "framework/AfxPlatform.h"

#include <unordered_map>

template <class T, class H> class CHandleMap {
public:
    // Makes a temporary wrapper of h (which must not own h) or, with h null,
    // clears the wrapper's handle so that deleting it leaves the handle alone.
    typedef T* (*MakeTempFn)(H h);
    typedef void (*ReleaseTempFn)(T* p);

    CHandleMap(MakeTempFn make, ReleaseTempFn release) : m_make(make), m_release(release) {}
    ~CHandleMap() { DeleteTemp(); }

    T* LookupPermanent(H h) const
    {
        auto it = m_permanent.find(h);
        return it == m_permanent.end() ? NULL : it->second;
    }
    T* LookupTemporary(H h) const
    {
        auto it = m_temporary.find(h);
        return it == m_temporary.end() ? NULL : it->second;
    }
    void SetPermanent(H h, T* p) { m_permanent[h] = p; }
    void RemoveHandle(H h) { m_permanent.erase(h); }

    T* FromHandle(H h)
    {
        if (h == NULL)
            return NULL;
        if (T* p = LookupPermanent(h))
            return p;
        if (T* p = LookupTemporary(h))
            return p;
        T* p = m_make(h);
        m_temporary[h] = p;
        return p;
    }

    void DeleteTemp()
    {
        std::unordered_map<H, T*> temps;
        temps.swap(m_temporary);
        for (auto& entry : temps)
            m_release(entry.second);
    }

private:
    MakeTempFn m_make;
    ReleaseTempFn m_release;
    std::unordered_map<H, T*> m_permanent;
    std::unordered_map<H, T*> m_temporary;
};

// The calling thread's map of one kind, made on first use. Each thread keeps
// its maps through a plain thread_local pointer, never as a thread_local
// object: with the posix-thread runtime's emulated TLS (mingw), a thread's TLS
// block is freed at thread exit before the destructors of its thread_local
// objects run, so such a destructor frees memory through freed memory. The
// crash it causes happens inside the allocator, during the thread's detach
// notifications, whose exceptions the loader swallows: the dying thread keeps
// the allocator's lock and every later allocation of the process waits for
// ever. A CWinThread's maps are freed at the end of its thread
// (AfxTermThreadMaps); those of other threads are left to the process.
template <class T, class H>
CHandleMap<T, H>& ThreadHandleMap(CHandleMap<T, H>*& slot, typename CHandleMap<T, H>::MakeTempFn make,
                                  typename CHandleMap<T, H>::ReleaseTempFn release)
{
    if (slot == NULL)
        slot = new CHandleMap<T, H>(make, release);
    return *slot;
}

template <class T, class H> void FreeThreadHandleMap(CHandleMap<T, H>*& slot)
{
    delete slot;
    slot = NULL;
}

// Frees the calling thread's maps (and their temporary wrappers); run by
// CWinThread at the end of its thread.
void AFXAPI AfxTermThreadMaps();
void AfxFreeThreadWndMap();
void AfxFreeThreadDCMap();
void AfxFreeThreadGdiMap();
void AfxFreeThreadMenuMap();
void AfxFreeThreadImageListMap();

// The temporary-object clean-up of each kind of handle (one per file that
// keeps a map); AfxDeleteTempMaps calls them all.
void AfxDeleteTempWndMap();
void AfxDeleteTempDCMap();
void AfxDeleteTempGdiMap();
void AfxDeleteTempMenuMap();
void AfxDeleteTempImageListMap();
