#include "overlays/OverlayList.h"

#include <string.h>

#include <algorithm>
#include <new>

COverlayList* COverlayList::Create() { return new (std::nothrow) COverlayList(); }

COverlayList::COverlayList() : m_ref(1) { InitializeCriticalSection(&m_lock); }

COverlayList::~COverlayList()
{
    DeleteAll();
    DeleteCriticalSection(&m_lock);
}

STDMETHODIMP COverlayList::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOverlayFrameDrawer)) {
        *ppv = static_cast<IOverlayFrameDrawer*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = NULL;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) COverlayList::AddRef() { return (ULONG)InterlockedIncrement(&m_ref); }

STDMETHODIMP_(ULONG) COverlayList::Release()
{
    LONG n = InterlockedDecrement(&m_ref);
    if (n == 0)
        delete this;
    return (ULONG)n;
}

int COverlayList::GetCount()
{
    COverlayListLock lock(this);
    return (int)m_items.size();
}

COverlay* COverlayList::GetAt(int index)
{
    COverlayListLock lock(this);
    return index >= 0 && index < (int)m_items.size() ? m_items[(size_t)index] : NULL;
}

void COverlayList::Insert(int index, COverlay* overlay)
{
    if (!overlay)
        return;
    COverlayListLock lock(this);
    index = std::max(0, std::min(index, (int)m_items.size()));
    m_items.insert(m_items.begin() + index, overlay);
}

COverlay* COverlayList::RemoveAt(int index)
{
    COverlayListLock lock(this);
    if (index < 0 || index >= (int)m_items.size())
        return NULL;
    COverlay* overlay = m_items[(size_t)index];
    m_items.erase(m_items.begin() + index);
    return overlay;
}

void COverlayList::DeleteAll()
{
    std::vector<COverlay*> items;
    {
        COverlayListLock lock(this);
        items.swap(m_items);
    }
    for (COverlay* overlay : items)
        delete overlay;
}

void COverlayList::DrawInto(Gdiplus::Bitmap* frame, LONGLONG time)
{
    for (COverlay* overlay : m_items)
        if (overlay->IsActiveAt(time))
            overlay->Draw(frame, time);
}

STDMETHODIMP COverlayList::DrawFrame(BYTE* scan0, LONG width, LONG height, LONG stride, LONGLONG time)
{
    if (!scan0 || width <= 0 || height <= 0 || (stride != width * 4 && stride != -width * 4))
        return E_INVALIDARG;
    COverlayListLock lock(this);
    if (m_items.empty())
        return S_OK;
    {
        Gdiplus::Bitmap frame(width, height, stride, PixelFormat32bppRGB, scan0);
        if (frame.GetLastStatus() == Gdiplus::Ok) {
            DrawInto(&frame, time);
            return S_OK;
        }
    }
    // Drawn into an upright copy, then copied back row by row.
    const size_t row = (size_t)width * 4;
    try {
        m_upright.resize(row * (size_t)height);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    for (LONG y = 0; y < height; ++y)
        memcpy(&m_upright[row * (size_t)y], scan0 + (ptrdiff_t)stride * y, row);
    {
        Gdiplus::Bitmap frame(width, height, (INT)row, PixelFormat32bppRGB, m_upright.data());
        if (frame.GetLastStatus() != Gdiplus::Ok)
            return E_FAIL;
        DrawInto(&frame, time);
    }
    for (LONG y = 0; y < height; ++y)
        memcpy(scan0 + (ptrdiff_t)stride * y, &m_upright[row * (size_t)y], row);
    return S_OK;
}
