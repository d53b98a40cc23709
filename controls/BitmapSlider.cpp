#include "controls/BitmapSlider.h"

#include "framework/ui/DC.h"

IMPLEMENT_DYNAMIC(CBitmapSlider, CWnd)

BEGIN_MESSAGE_MAP(CBitmapSlider, CWnd)
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
    ON_WM_SIZE()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_MOUSEMOVE()
    ON_MESSAGE(WM_MOUSELEAVE, OnMouseLeave)
    ON_WM_KILLFOCUS()
    ON_WM_CAPTURECHANGED()
    ON_WM_ENABLE()
END_MESSAGE_MAP()

CBitmapSlider::CBitmapSlider()
    : m_crKey(0), m_rcClient(0, 0, 0, 0), m_nMin(0), m_nMax(0), m_nPos(0), m_bDragging(FALSE), m_nDragX(0),
      m_nGrabOffset(0), m_pThumb(NULL), m_pHotThumb(NULL), m_pDisabledThumb(NULL), m_pChannel(NULL),
      m_pDisabledChannel(NULL), m_cxThumb(0), m_cyThumb(0), m_bTrackingLeave(FALSE), m_bOverThumb(FALSE)
{
}

CBitmapSlider::~CBitmapSlider()
{
    delete m_pThumb;
    delete m_pHotThumb;
    delete m_pDisabledThumb;
    delete m_pChannel;
    delete m_pDisabledChannel;
}

BOOL CBitmapSlider::Create(const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    // No double clicks: a second quick press on the channel is a press too.
    LPCTSTR cls = AfxRegisterWndClass(0, ::LoadCursorA(NULL, (LPCSTR)IDC_ARROW));
    if (!CWnd::Create(cls, NULL, WS_CHILD | WS_VISIBLE, rect, pParentWnd, nID))
        return FALSE;
    GetClientRect(&m_rcClient);
    return TRUE;
}

void CBitmapSlider::Replace(CBitmap*& pOwned, CBitmap* pNew)
{
    if (pOwned != pNew)
        delete pOwned;
    pOwned = pNew;
}

void CBitmapSlider::SetChannelBitmap(CBitmap* pBitmap)
{
    Replace(m_pChannel, pBitmap);
    if (m_hWnd != NULL)
        Invalidate();
}

void CBitmapSlider::SetDisabledChannelBitmap(CBitmap* pBitmap)
{
    Replace(m_pDisabledChannel, pBitmap);
    if (m_hWnd != NULL)
        Invalidate();
}

void CBitmapSlider::SetThumbBitmap(CBitmap* pBitmap)
{
    Replace(m_pThumb, pBitmap);
    m_cxThumb = m_cyThumb = 0;
    if (m_pThumb != NULL && m_pThumb->m_hObject != NULL) {
        BITMAP bm;
        ::GetObjectA(m_pThumb->m_hObject, sizeof(bm), &bm);
        m_cxThumb = bm.bmWidth;
        m_cyThumb = bm.bmHeight;
    }
    if (m_hWnd != NULL)
        Invalidate();
}

void CBitmapSlider::SetHotThumbBitmap(CBitmap* pBitmap)
{
    Replace(m_pHotThumb, pBitmap);
    if (m_hWnd != NULL) {
        const CRect rc = GetThumbRect();
        InvalidateRect(&rc);
    }
}

void CBitmapSlider::SetDisabledThumbBitmap(CBitmap* pBitmap)
{
    Replace(m_pDisabledThumb, pBitmap);
    if (m_hWnd != NULL)
        Invalidate();
}

void CBitmapSlider::SetRange(int nMin, int nMax, BOOL bRedraw)
{
    if (nMin == m_nMin && nMax == m_nMax)
        return;
    m_nMin = nMin;
    m_nMax = nMax;
    m_nPos = 0;
    if (bRedraw && m_hWnd != NULL)
        Invalidate();
}

// The distance the thumb's left edge can travel.
int CBitmapSlider::TravelWidth() const
{
    return m_rcClient.right - m_cxThumb - m_rcClient.left;
}

// An empty or inverted range, or a control no wider than its thumb, puts
// the thumb at the left and reads the minimum: never a division by zero.
CRect CBitmapSlider::GetThumbRect() const
{
    int left = 0;
    if (m_bDragging) {
        left = m_nDragX;
    } else if (m_nMax > m_nMin && TravelWidth() > 0) {
        left = (int)((double)TravelWidth() / (double)(m_nMax - m_nMin) * (double)(m_nPos - m_nMin));
    }
    return CRect(left, 0, left + m_cxThumb, m_rcClient.bottom);
}

int CBitmapSlider::GetPosFromThumb() const
{
    const int travel = TravelWidth();
    if (travel <= 0 || m_nMax <= m_nMin)
        return m_nMin;
    const CRect thumb = GetThumbRect();
    return m_nMin + (int)((double)(thumb.left - m_rcClient.left) / (double)travel * (double)(m_nMax - m_nMin));
}

void CBitmapSlider::SetPos(int nPos)
{
    if (nPos == m_nPos)
        return;
    const CRect old = GetThumbRect();
    m_nPos = nPos;
    const CRect now = GetThumbRect();
    POINT pt;
    ::GetCursorPos(&pt);
    if (m_hWnd != NULL) {
        ScreenToClient(&pt);
        m_bOverThumb = now.PtInRect(pt);
        InvalidateRect(&old);
        InvalidateRect(&now);
    }
}

int CBitmapSlider::ClampDragX(int x) const
{
    const int limit = m_rcClient.right - m_cxThumb;
    if (x > limit)
        x = limit;
    if (x < 0)
        x = 0;
    return x;
}

void CBitmapSlider::NotifyParent()
{
    CWnd* pParent = GetParent();
    if (pParent != NULL)
        pParent->SendMessage(WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0), (LPARAM)m_hWnd);
}

void CBitmapSlider::OnSize(UINT, int, int)
{
    Default();
    GetClientRect(&m_rcClient);
}

void CBitmapSlider::OnPaint()
{
    CPaintDC dc(this);
    HDC hdc = dc.GetSafeHdc();
    CRect area;
    ::GetClipBox(hdc, &area);
    if (area.IsRectEmpty())
        area = m_rcClient;
    const BOOL enabled = IsWindowEnabled();

    CBitmap* pChannel = (!enabled && m_pDisabledChannel != NULL) ? m_pDisabledChannel : m_pChannel;
    if (pChannel != NULL && pChannel->m_hObject != NULL) {
        BITMAP bm;
        ::GetObjectA(pChannel->m_hObject, sizeof(bm), &bm);
        if (bm.bmWidth > 0) {
            HDC hMem = ::CreateCompatibleDC(hdc);
            HGDIOBJ old = ::SelectObject(hMem, pChannel->m_hObject);
            const int y = (m_rcClient.Height() - bm.bmHeight) / 2;
            for (int x = area.left - area.left % bm.bmWidth; x < area.right; x += bm.bmWidth)
                ::BitBlt(hdc, x, y, bm.bmWidth, bm.bmHeight, hMem, 0, 0, SRCCOPY);
            ::SelectObject(hMem, old);
            ::DeleteDC(hMem);
        }
    }

    CBitmap* pThumb = m_pThumb;
    if (m_bOverThumb && m_pHotThumb != NULL)
        pThumb = m_pHotThumb;
    else if (!enabled && m_pDisabledThumb != NULL)
        pThumb = m_pDisabledThumb;
    if (pThumb != NULL && pThumb->m_hObject != NULL) {
        BITMAP bm;
        ::GetObjectA(pThumb->m_hObject, sizeof(bm), &bm);
        const CRect thumb = GetThumbRect();
        HDC hMem = ::CreateCompatibleDC(hdc);
        HGDIOBJ old = ::SelectObject(hMem, pThumb->m_hObject);
        ::TransparentBlt(hdc, thumb.left, thumb.top, bm.bmWidth, bm.bmHeight, hMem, 0, 0, bm.bmWidth, bm.bmHeight,
                         m_crKey);
        ::SelectObject(hMem, old);
        ::DeleteDC(hMem);
    }
}

void CBitmapSlider::OnLButtonDown(UINT, CPoint point)
{
    if (!m_rcClient.PtInRect(point))
        return;
    const CRect thumb = GetThumbRect();
    if (point.x >= thumb.left && point.x <= thumb.right) {
        SetCapture();
        m_bOverThumb = TRUE;
        m_nGrabOffset = point.x - thumb.left;
        m_nDragX = ClampDragX(point.x - m_nGrabOffset);
        m_bDragging = TRUE;
        return;
    }
    SetCapture();
    m_nGrabOffset = m_cxThumb / 2;
    m_nDragX = ClampDragX(point.x - m_nGrabOffset);
    m_bDragging = TRUE;
    InvalidateRect(&thumb);
    const CRect now = GetThumbRect();
    InvalidateRect(&now);
    NotifyParent();
}

void CBitmapSlider::OnMouseMove(UINT, CPoint point)
{
    if (!m_bTrackingLeave) {
        TRACKMOUSEEVENT tme = { sizeof(tme), TME_LEAVE, m_hWnd, 0 };
        ::TrackMouseEvent(&tme);
        m_bTrackingLeave = TRUE;
    }
    const BOOL over = GetThumbRect().PtInRect(point);
    if (over != m_bOverThumb) {
        m_bOverThumb = over;
        Invalidate();
    }
    if (m_bDragging) {
        const CRect old = GetThumbRect();
        m_nDragX = ClampDragX(point.x - m_nGrabOffset);
        const CRect now = GetThumbRect();
        if (now != old) {
            InvalidateRect(&old);
            InvalidateRect(&now);
            UpdateWindow();
        }
        NotifyParent();
    }
}

void CBitmapSlider::EndDrag()
{
    if (!m_bDragging)
        return;
    m_bDragging = FALSE;
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    Invalidate();
}

void CBitmapSlider::OnLButtonUp(UINT, CPoint)
{
    EndDrag();
}

void CBitmapSlider::OnKillFocus(CWnd*)
{
    Default();
    EndDrag();
}

void CBitmapSlider::OnCaptureChanged(CWnd*)
{
    if (m_bDragging) {
        m_bDragging = FALSE;
        Invalidate();
    }
}

LRESULT CBitmapSlider::OnMouseLeave(WPARAM, LPARAM)
{
    m_bTrackingLeave = FALSE;
    m_bOverThumb = FALSE;
    Invalidate();
    return 0;
}

void CBitmapSlider::OnEnable(BOOL)
{
    Default();
    Invalidate();
}
