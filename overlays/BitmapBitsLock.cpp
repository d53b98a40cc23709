#include "overlays/BitmapBitsLock.h"

#include <string.h>

// The bitmap's own wrappers make the flat calls, so that each failure lands in
// its last status. Without a bitmap nothing is asked of GDI+, the format
// query included.
CBitmapBitsLock::CBitmapBitsLock(Gdiplus::Bitmap* bitmap, UINT lockMode, Gdiplus::PixelFormat format, BOOL ownsBitmap)
    : m_bitmap(bitmap), m_locked(FALSE), m_ownsBitmap(ownsBitmap)
{
    memset(&m_data, 0, sizeof(m_data));
    if (format == 0 && m_bitmap)
        format = m_bitmap->GetPixelFormat();
    Lock(lockMode, format);
}

CBitmapBitsLock::~CBitmapBitsLock()
{
    Unlock();
    if (m_ownsBitmap)
        delete m_bitmap;
}

// A failed size query still locks with the sizes read (0 on failure), so that
// GDI+ reports the failure through the lock.
BOOL CBitmapBitsLock::Lock(UINT lockMode, Gdiplus::PixelFormat format)
{
    if (!m_bitmap)
        return FALSE;
    const UINT height = m_bitmap->GetHeight();
    const UINT width = m_bitmap->GetWidth();
    Gdiplus::Rect rect(0, 0, (INT)width, (INT)height);
    if (m_bitmap->LockBits(&rect, lockMode, format, &m_data) == Gdiplus::Ok) {
        m_locked = TRUE;
        return TRUE;
    }
    Unlock();
    return FALSE;
}

BOOL CBitmapBitsLock::Unlock()
{
    if (!m_locked)
        return TRUE;
    m_locked = FALSE;
    return m_bitmap->UnlockBits(&m_data) == Gdiplus::Ok;
}
