#pragma once
// Direct access to the pixels of a GDI+ bitmap for the span of a pixel loop:
// locks the whole bitmap on construction, exposes the locked data, unlocks on
// request or on destruction and may delete the bitmap with it. GDI+ failures
// are left in the bitmap's last status, as the GDI+ wrappers do. Not copyable;
// one thread at a time.
#include "framework/AfxPlatform.h"

#include <gdiplus.h>

class CBitmapBitsLock {
public:
    // A format of 0 locks in the bitmap's own pixel format.
    CBitmapBitsLock(Gdiplus::Bitmap* bitmap, UINT lockMode, Gdiplus::PixelFormat format, BOOL ownsBitmap);
    ~CBitmapBitsLock();

    BOOL Lock(UINT lockMode, Gdiplus::PixelFormat format);
    BOOL Unlock();
    BOOL IsLocked() const { return m_locked; }
    Gdiplus::Bitmap* GetBitmap() const { return m_bitmap; }

    Gdiplus::BitmapData m_data;

private:
    CBitmapBitsLock(const CBitmapBitsLock&) = delete;
    CBitmapBitsLock& operator=(const CBitmapBitsLock&) = delete;

    Gdiplus::Bitmap* m_bitmap;
    BOOL m_locked;
    BOOL m_ownsBitmap;
};
