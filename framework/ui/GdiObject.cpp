#include "framework/ui/GdiObject.h"

#include "framework/Module.h"
#include "framework/ui/DC.h"
#include "framework/ui/HandleMap.h"

namespace {
CGdiObject* MakeTempGdi(HGDIOBJ h)
{
    CGdiObject* p = new CGdiObject;
    p->m_hObject = h;
    return p;
}
void ReleaseTempGdi(CGdiObject* p)
{
    p->m_hObject = NULL;
    delete p;
}
thread_local CHandleMap<CGdiObject, HGDIOBJ>* t_gdiMap = NULL;   // a pointer: see ThreadHandleMap

CHandleMap<CGdiObject, HGDIOBJ>& GdiMap()
{
    return ThreadHandleMap(t_gdiMap, &MakeTempGdi, &ReleaseTempGdi);
}
}  // namespace

void AfxDeleteTempGdiMap()
{
    GdiMap().DeleteTemp();
}

void AfxFreeThreadGdiMap()
{
    FreeThreadHandleMap(t_gdiMap);
}

IMPLEMENT_DYNCREATE(CGdiObject, CObject)
IMPLEMENT_DYNAMIC(CPen, CGdiObject)
IMPLEMENT_DYNAMIC(CBrush, CGdiObject)
IMPLEMENT_DYNAMIC(CFont, CGdiObject)
IMPLEMENT_DYNAMIC(CBitmap, CGdiObject)
IMPLEMENT_DYNAMIC(CRgn, CGdiObject)
IMPLEMENT_DYNAMIC(CPalette, CGdiObject)

__attribute__((noinline)) HGDIOBJ AFXAPI AfxSafeGdiHandle(const CGdiObject* pObject)
{
    return pObject != NULL ? pObject->m_hObject : NULL;
}

CGdiObject* PASCAL CGdiObject::FromHandle(HGDIOBJ hObject)
{
    return GdiMap().FromHandle(hObject);
}

// A wrapper that already holds a handle gives it up first, so that a second
// Create... on the same object does not leak the first handle.
BOOL CGdiObject::Attach(HGDIOBJ hObject)
{
    if (hObject == NULL)
        return FALSE;
    if (m_hObject != NULL)
        DeleteObject();
    m_hObject = hObject;
    GdiMap().SetPermanent(hObject, this);
    return TRUE;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ hObject = m_hObject;
    if (hObject != NULL && GdiMap().LookupPermanent(hObject) == this)
        GdiMap().RemoveHandle(hObject);
    m_hObject = NULL;
    return hObject;
}

BOOL CGdiObject::DeleteObject()
{
    if (m_hObject == NULL)
        return FALSE;
    return ::DeleteObject(Detach());
}

BOOL CBrush::CreatePatternBrush(CBitmap* pBitmap)
{
    return Attach(::CreatePatternBrush((HBITMAP)pBitmap->GetSafeHandle()));
}

BOOL CFont::CreatePointFont(int nPointSize, LPCTSTR lpszFaceName, CDC* pDC)
{
    LOGFONTA logFont;
    ZeroMemory(&logFont, sizeof(logFont));
    logFont.lfCharSet = DEFAULT_CHARSET;
    logFont.lfHeight = nPointSize;
    lstrcpynA(logFont.lfFaceName, lpszFaceName != NULL ? lpszFaceName : "", LF_FACESIZE);
    return CreatePointFontIndirect(&logFont, pDC);
}

// The height is converted from tenths of a point to logical units of the DC,
// through device units, as MFC does.
BOOL CFont::CreatePointFontIndirect(const LOGFONT* lpLogFont, CDC* pDC)
{
    HDC hDC = pDC != NULL ? pDC->GetSafeAttribDC() : NULL;
    const BOOL ownDC = hDC == NULL;
    if (ownDC)
        hDC = ::GetDC(NULL);
    LOGFONTA logFont = *lpLogFont;
    POINT pt;
    pt.y = ::MulDiv(::GetDeviceCaps(hDC, LOGPIXELSY), logFont.lfHeight, 720);
    pt.x = 0;
    ::DPtoLP(hDC, &pt, 1);
    POINT ptOrg = { 0, 0 };
    ::DPtoLP(hDC, &ptOrg, 1);
    logFont.lfHeight = -abs(pt.y - ptOrg.y);
    if (ownDC)
        ::ReleaseDC(NULL, hDC);
    return CreateFontIndirect(&logFont);
}

BOOL CBitmap::LoadBitmap(LPCTSTR lpszResourceName)
{
    return Attach(::LoadBitmapA(AfxGetResourceHandle(), lpszResourceName));
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight)
{
    return Attach(::CreateCompatibleBitmap(pDC->GetSafeHdc(), nWidth, nHeight));
}

BOOL CRgn::CreateFromPath(CDC* pDC)
{
    return Attach(::PathToRegion(pDC->GetSafeHdc()));
}

BOOL CPalette::CreateHalftonePalette(CDC* pDC)
{
    return Attach(::CreateHalftonePalette(pDC->GetSafeHdc()));
}
