#pragma once
#include "framework/ui/DC.h"

// An off-screen drawing context for one painting step (on the stack, UI
// thread). It never copies itself to the target: the caller BitBlts before it
// goes. The destructor selects the previous bitmap back, deletes its own
// bitmap (if any) and then the DC.
class CMemDC : public CDC {
public:
    // A DC compatible with pTarget (the screen when null) holding a new
    // bitmap of cx x cy compatible with the target.
    CMemDC(CDC* pTarget, int cx, int cy);
    // A DC compatible with pTarget with the caller's bitmap selected (none for
    // null); the bitmap stays the caller's.
    CMemDC(CDC* pTarget, CBitmap* pBitmap);
    ~CMemDC() override;

    CBitmap* GetBitmap() { return m_bitmap.m_hObject != NULL ? &m_bitmap : NULL; }

private:
    CGdiObject* m_pOldBitmap;   // what the selection replaced
    HGDIOBJ m_hOldBitmap;
    CBitmap m_bitmap;           // empty when the caller supplied the bitmap
};

// Selects the remembered object back into its DC when it goes out of scope:
//     CSelectObjectGuard guard(pDC, pDC->SelectObject(&font));
class CSelectObjectGuard {
public:
    CSelectObjectGuard(CDC* pDC, CGdiObject* pOldObject);
    virtual ~CSelectObjectGuard();

private:
    CGdiObject* m_pOldObject;
    HGDIOBJ m_hOldObject;
    CDC* m_pDC;
    CSelectObjectGuard(const CSelectObjectGuard&) = delete;
    CSelectObjectGuard& operator=(const CSelectObjectGuard&) = delete;
};
