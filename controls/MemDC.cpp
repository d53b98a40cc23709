#include "controls/MemDC.h"

CMemDC::CMemDC(CDC* pTarget, int cx, int cy) : m_pOldBitmap(NULL), m_hOldBitmap(NULL)
{
    HDC hTarget = pTarget->GetSafeHdc();
    const BOOL screen = hTarget == NULL;
    if (screen)
        hTarget = ::GetDC(NULL);
    Attach(::CreateCompatibleDC(hTarget));
    m_bitmap.Attach(::CreateCompatibleBitmap(hTarget, cx, cy));
    if (screen)
        ::ReleaseDC(NULL, hTarget);
    if (m_hDC != NULL && m_bitmap.m_hObject != NULL) {
        m_hOldBitmap = ::SelectObject(m_hDC, m_bitmap.m_hObject);
        m_pOldBitmap = CGdiObject::FromHandle(m_hOldBitmap);
    }
}

CMemDC::CMemDC(CDC* pTarget, CBitmap* pBitmap) : m_pOldBitmap(NULL), m_hOldBitmap(NULL)
{
    Attach(::CreateCompatibleDC(pTarget->GetSafeHdc()));
    if (m_hDC != NULL && pBitmap->GetSafeHandle() != NULL) {
        m_hOldBitmap = ::SelectObject(m_hDC, pBitmap->m_hObject);
        m_pOldBitmap = CGdiObject::FromHandle(m_hOldBitmap);
    }
}

CMemDC::~CMemDC()
{
    if (m_hDC != NULL && m_hOldBitmap != NULL)
        ::SelectObject(m_hDC, m_hOldBitmap);
    m_bitmap.DeleteObject();
    DeleteDC();
}

CSelectObjectGuard::CSelectObjectGuard(CDC* pDC, CGdiObject* pOldObject)
    : m_pOldObject(pOldObject), m_hOldObject(pOldObject->GetSafeHandle()), m_pDC(pDC)
{
}

CSelectObjectGuard::~CSelectObjectGuard()
{
    if (m_hOldObject != NULL && m_pDC->GetSafeHdc() != NULL)
        ::SelectObject(m_pDC->m_hDC, m_hOldObject);
}
