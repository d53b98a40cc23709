#pragma once
// The overlays of a timeline: one list under one lock, shared by the timeline,
// its copies (the writer's) and the overlay filters that draw it into frames.
// Reference counted: whoever keeps the list holds a reference, and the last
// release deletes the overlays. Edits and lookups take the lock (Lock or
// CSingleListLock); DrawFrame holds it while it draws, so a frame shows an
// overlay whole or not at all.
#include "overlays/Overlay.h"
#include "platform/dex/ChainFilters.h"

#include <vector>

class COverlayList : public IOverlayFrameDrawer {
public:
    // A new empty list, with one reference for the caller.
    static COverlayList* Create();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // Draws the overlays active at `time`, in list order, into the frame
    // (wrapped upright as a 32-bit GDI+ bitmap; copied when GDI+ takes no
    // bottom-up rows). Never fails the stream: a frame it cannot wrap stays
    // as it was.
    STDMETHODIMP DrawFrame(BYTE* scan0, LONG width, LONG height, LONG stride, LONGLONG time) override;
    STDMETHODIMP_(CRITICAL_SECTION*) GetDrawLock() override { return &m_lock; }

    void Lock() { EnterCriticalSection(&m_lock); }
    void Unlock() { LeaveCriticalSection(&m_lock); }

    // Under the lock. Insert clamps the index into [0, count]; Remove gives
    // the overlay back without deleting it (NULL out of range).
    int GetCount();
    COverlay* GetAt(int index);
    void Insert(int index, COverlay* overlay);
    COverlay* RemoveAt(int index);
    // Removes and deletes every overlay.
    void DeleteAll();

private:
    COverlayList();
    ~COverlayList();
    COverlayList(const COverlayList&) = delete;
    COverlayList& operator=(const COverlayList&) = delete;
    void DrawInto(Gdiplus::Bitmap* frame, LONGLONG time);

    volatile LONG m_ref;
    CRITICAL_SECTION m_lock;
    std::vector<COverlay*> m_items;   // owned
    std::vector<BYTE> m_upright;      // a copy for GDI+ when it refuses bottom-up rows
};

// Holds a list's lock for a scope.
class COverlayListLock {
public:
    explicit COverlayListLock(COverlayList* list) : m_list(list) { m_list->Lock(); }
    ~COverlayListLock() { m_list->Unlock(); }
    COverlayListLock(const COverlayListLock&) = delete;
    COverlayListLock& operator=(const COverlayListLock&) = delete;

private:
    COverlayList* m_list;
};
