#include "framework/ui/DC.h"

#include "framework/ui/HandleMap.h"
#include "framework/ui/Wnd.h"

namespace {
CDC* MakeTempDC(HDC h)
{
    CDC* p = new CDC;
    p->m_hDC = p->m_hAttribDC = h;
    return p;
}
void ReleaseTempDC(CDC* p)
{
    p->m_hDC = p->m_hAttribDC = NULL;
    delete p;
}
thread_local CHandleMap<CDC, HDC>* t_dcMap = NULL;   // a pointer: see ThreadHandleMap

CHandleMap<CDC, HDC>& DCMap()
{
    return ThreadHandleMap(t_dcMap, &MakeTempDC, &ReleaseTempDC);
}
}  // namespace

void AfxDeleteTempDCMap()
{
    DCMap().DeleteTemp();
}

void AfxFreeThreadDCMap()
{
    FreeThreadHandleMap(t_dcMap);
}

__attribute__((noinline)) HDC AFXAPI AfxSafeHdc(const CDC* pDC)
{
    return pDC != NULL ? pDC->m_hDC : NULL;
}

IMPLEMENT_DYNCREATE(CDC, CObject)
IMPLEMENT_DYNAMIC(CPaintDC, CDC)
IMPLEMENT_DYNAMIC(CClientDC, CDC)
IMPLEMENT_DYNAMIC(CWindowDC, CDC)

CDC::~CDC()
{
    if (m_hDC != NULL)
        DeleteDC();
}

HDC CDC::GetSafeAttribDC() const
{
    const CDC* self = this;
    return self != NULL ? m_hAttribDC : NULL;
}

CDC* PASCAL CDC::FromHandle(HDC hDC)
{
    return DCMap().FromHandle(hDC);
}

BOOL CDC::Attach(HDC hDC)
{
    if (hDC == NULL || m_hDC != NULL)
        return FALSE;
    m_hDC = m_hAttribDC = hDC;
    DCMap().SetPermanent(hDC, this);
    return TRUE;
}

HDC CDC::Detach()
{
    HDC hDC = m_hDC;
    if (hDC != NULL && DCMap().LookupPermanent(hDC) == this)
        DCMap().RemoveHandle(hDC);
    m_hDC = m_hAttribDC = NULL;
    return hDC;
}

BOOL CDC::DeleteDC()
{
    if (m_hDC == NULL)
        return FALSE;
    return ::DeleteDC(Detach());
}

CWnd* CDC::GetWindow() const
{
    return CWnd::FromHandle(::WindowFromDC(m_hDC));
}

CGdiObject* CDC::SelectGdiObject(HGDIOBJ hObject)
{
    if (hObject == NULL || m_hDC == NULL)
        return NULL;
    return CGdiObject::FromHandle(::SelectObject(m_hDC, hObject));
}

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF clr)
{
    ::SetBkColor(m_hDC, clr);
    ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, lpRect, NULL, 0, NULL);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF clr)
{
    RECT rect = { x, y, x + cx, y + cy };
    FillSolidRect(&rect, clr);
}

void CDC::Draw3dRect(LPCRECT lpRect, COLORREF clrTopLeft, COLORREF clrBottomRight)
{
    Draw3dRect(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top,
               clrTopLeft, clrBottomRight);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF clrTopLeft, COLORREF clrBottomRight)
{
    FillSolidRect(x, y, cx - 1, 1, clrTopLeft);
    FillSolidRect(x, y, 1, cy - 1, clrTopLeft);
    FillSolidRect(x + cx, y, -1, cy, clrBottomRight);
    FillSolidRect(x, y + cy, cx, -1, clrBottomRight);
}

BOOL CDC::TransparentBlt(int xDest, int yDest, int nDestWidth, int nDestHeight, CDC* pSrcDC,
                         int xSrc, int ySrc, int nSrcWidth, int nSrcHeight, UINT clrTransparent)
{
    return ::TransparentBlt(m_hDC, xDest, yDest, nDestWidth, nDestHeight, AfxSafeHdc(pSrcDC), xSrc,
                            ySrc, nSrcWidth, nSrcHeight, clrTransparent);
}

BOOL CDC::AlphaBlend(int xDest, int yDest, int nDestWidth, int nDestHeight, CDC* pSrcDC, int xSrc,
                     int ySrc, int nSrcWidth, int nSrcHeight, BLENDFUNCTION blend)
{
    return ::AlphaBlend(m_hDC, xDest, yDest, nDestWidth, nDestHeight, AfxSafeHdc(pSrcDC), xSrc, ySrc,
                        nSrcWidth, nSrcHeight, blend);
}

BOOL CDC::GradientFill(TRIVERTEX* pVertices, ULONG nVertices, void* pMesh, ULONG nMeshElements,
                       DWORD dwMode)
{
    return ::GradientFill(m_hDC, pVertices, nVertices, pMesh, nMeshElements, dwMode);
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->GetSafeHwnd())
{
    Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC()
{
    Detach();
    ::EndPaint(m_hWnd, &m_ps);
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd->GetSafeHwnd())
{
    Attach(::GetDC(m_hWnd));
}

CClientDC::~CClientDC()
{
    ::ReleaseDC(m_hWnd, Detach());
}

CWindowDC::CWindowDC(CWnd* pWnd) : m_hWnd(pWnd->GetSafeHwnd())
{
    Attach(::GetWindowDC(m_hWnd));
}

CWindowDC::~CWindowDC()
{
    ::ReleaseDC(m_hWnd, Detach());
}

namespace {

// Inverts a frame `size` thick just inside the rectangle.
void InvertFrame(HDC dc, const RECT& r, SIZE size, HBRUSH brush)
{
    HGDIOBJ old = ::SelectObject(dc, brush);
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int cx = size.cx < w ? size.cx : w, cy = size.cy < h ? size.cy : h;
    ::PatBlt(dc, r.left, r.top, w, cy, PATINVERT);
    if (h > cy) {
        ::PatBlt(dc, r.left, r.bottom - cy, w, cy, PATINVERT);
        if (h > 2 * cy) {
            ::PatBlt(dc, r.left, r.top + cy, cx, h - 2 * cy, PATINVERT);
            if (w > cx)
                ::PatBlt(dc, r.right - cx, r.top + cy, cx, h - 2 * cy, PATINVERT);
        }
    }
    ::SelectObject(dc, old);
}

HBRUSH HalftoneBrush()
{
    static HBRUSH brush = NULL;
    if (!brush) {
        WORD rows[8];
        for (int i = 0; i < 8; ++i)
            rows[i] = (WORD)(0x5555 << (i & 1));
        HBITMAP pattern = ::CreateBitmap(8, 8, 1, 1, rows);
        if (pattern) {
            brush = ::CreatePatternBrush(pattern);
            ::DeleteObject(pattern);
        }
    }
    return brush;
}

}  // namespace

void CDC::DrawDragRect(LPCRECT lpRect, SIZE size, LPCRECT lpRectLast, SIZE sizeLast, CBrush* pBrush,
                       CBrush* pBrushLast)
{
    HBRUSH brush = pBrush ? (HBRUSH)pBrush->GetSafeHandle() : HalftoneBrush();
    HBRUSH brushLast = pBrushLast ? (HBRUSH)pBrushLast->GetSafeHandle() : brush;
    if (lpRectLast && !::IsRectEmpty(lpRectLast))
        InvertFrame(m_hDC, *lpRectLast, sizeLast, brushLast);
    if (lpRect && !::IsRectEmpty(lpRect))
        InvertFrame(m_hDC, *lpRect, size, brush);
}
