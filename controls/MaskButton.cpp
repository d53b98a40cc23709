#include "controls/MaskButton.h"

#include "controls/FontCache.h"
#include "controls/MemDC.h"
#include "controls/RecolouredBitmap.h"
#include "framework/ui/DC.h"

IMPLEMENT_DYNAMIC(CMaskButton, CButton)

BEGIN_MESSAGE_MAP(CMaskButton, CButton)
    ON_WM_ENABLE()
    ON_WM_ERASEBKGND()
    ON_WM_MOUSEMOVE()
    ON_MESSAGE(WM_MOUSELEAVE, OnMouseLeave)
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_LBUTTONDBLCLK()
END_MESSAGE_MAP()

namespace {
const COLORREF kTransparent = RGB(255, 0, 255);
}

CMaskButton::CMaskButton()
    : m_nLook(kNormal), m_nIDBitmap(0), m_normalTint(RGB(255, 255, 255)), m_hotTint(RGB(255, 255, 255)),
      m_disabledTint(RGB(255, 255, 255)), m_textColour(COLOR_WINDOWTEXT), m_nBold(0), m_nFontHeight(0),
      m_bEnabled(TRUE), m_bTracking(FALSE), m_bInside(FALSE), m_bStretch(FALSE), m_bFontDirty(TRUE)
{
}

CMaskButton::~CMaskButton()
{
}

BOOL CMaskButton::SetBitmaps(UINT nIDBitmap, COLORREF disabledTint, COLORREF normalTint, COLORREF hotTint,
                             const CDWordArray* pKeptColours)
{
    m_nIDBitmap = nIDBitmap;
    m_disabledTint = disabledTint;
    m_normalTint = normalTint;
    m_hotTint = hotTint;
    m_keptColours.RemoveAll();
    if (pKeptColours != NULL)
        m_keptColours.Copy(*pKeptColours);
    CDWordArray kept;
    kept.Copy(m_keptColours);
    BOOL ok = LoadRecolouredBitmap(m_bmpNormal, nIDBitmap, normalTint, &kept);
    kept.Copy(m_keptColours);
    ok = LoadRecolouredBitmap(m_bmpHot, nIDBitmap, hotTint, &kept) && ok;
    kept.Copy(m_keptColours);
    ok = LoadRecolouredBitmap(m_bmpDisabled, nIDBitmap, disabledTint, &kept) && ok;
    if (m_hWnd != NULL)
        Repaint();
    return ok;
}

void CMaskButton::EnableButton(BOOL bEnable)
{
    m_bEnabled = bEnable;
    if (!bEnable)
        m_nLook = kDisabled;
    EnableWindow(bEnable);
}

void CMaskButton::SetStretch(BOOL bStretch)
{
    m_bStretch = bStretch;
    if (m_hWnd != NULL)
        Repaint();
}

void CMaskButton::SetCaptionFont(int bold, int height)
{
    if (bold != m_nBold || height != m_nFontHeight) {
        m_nBold = bold;
        m_nFontHeight = height;
        m_bFontDirty = TRUE;
    }
    if (m_hWnd != NULL)
        Repaint();
}

// The default font comes from the shared cache under one fixed key; a bold
// or height setting makes one font of the button's own, again only when the
// setting changes. (Keying fonts by the button's address let a later button
// at the same address inherit a stale font and made a font per repaint.)
HFONT CMaskButton::GetCaptionFont()
{
    CFont* pDefault = CFontCache::GetFont(kFontKey);
    if (m_nBold == 0 && m_nFontHeight == 0)
        return pDefault != NULL ? (HFONT)pDefault->m_hObject : NULL;
    if (m_bFontDirty || m_captionFont.m_hObject == NULL) {
        LOGFONT lf;
        ZeroMemory(&lf, sizeof(lf));
        if (pDefault != NULL && pDefault->m_hObject != NULL)
            ::GetObjectA(pDefault->m_hObject, sizeof(lf), &lf);
        lf.lfWeight = m_nBold > 0 ? FW_BOLD : FW_NORMAL;
        if (m_nFontHeight != 0)
            lf.lfHeight = m_nFontHeight;
        m_captionFont.DeleteObject();
        m_captionFont.CreateFontIndirect(&lf);
        m_bFontDirty = FALSE;
    }
    return (HFONT)m_captionFont.m_hObject;
}

void CMaskButton::DrawItem(LPDRAWITEMSTRUCT lpDIS)
{
    CBitmap* pBitmap = NULL;
    switch (m_nLook) {
    case kNormal: pBitmap = &m_bmpNormal; break;
    case kDisabled: pBitmap = &m_bmpDisabled; break;
    case kHot: pBitmap = &m_bmpHot; break;
    default: return;
    }
    if (pBitmap->m_hObject == NULL)
        return;
    BITMAP bm;
    ::GetObjectA(pBitmap->m_hObject, sizeof(bm), &bm);
    const RECT& item = lpDIS->rcItem;
    const int width = item.right - item.left;
    const int height = item.bottom - item.top;
    const int cx = m_bStretch ? width : bm.bmWidth;
    const int cy = m_bStretch ? height : bm.bmHeight;
    if (cx <= 0 || cy <= 0)
        return;
    CDC* pDC = CDC::FromHandle(lpDIS->hDC);
    CMemDC source(pDC, pBitmap);
    CMemDC image(pDC, cx, cy);
    ::SetStretchBltMode(image.GetSafeHdc(), COLORONCOLOR);
    ::StretchBlt(image.GetSafeHdc(), 0, 0, cx, cy, source.GetSafeHdc(), 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);

    int x = item.left + (width - cx) / 2;
    int y = item.top + (height - cy) / 2;
    if ((lpDIS->itemState & ODS_SELECTED) && m_bEnabled) {
        x++;
        y++;
    }
    CString caption;
    GetWindowText(caption);
    if (!caption.IsEmpty()) {
        HDC hdc = image.GetSafeHdc();
        HGDIOBJ oldFont = ::SelectObject(hdc, GetCaptionFont());
        ::SetTextColor(hdc, m_textColour.Resolve());
        ::SetBkMode(hdc, TRANSPARENT);
        RECT rc = { 0, 0, cx, cy };
        ::DrawTextA(hdc, caption, caption.GetLength(), &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        ::SelectObject(hdc, oldFont);
    }
    ::TransparentBlt(lpDIS->hDC, x, y, cx, cy, image.GetSafeHdc(), 0, 0, cx, cy, kTransparent);
}

// The parent's area under the button first, so that the transparent parts
// show the parent's current background, then the button.
void CMaskButton::Repaint()
{
    CWnd* pParent = GetParent();
    if (pParent != NULL && pParent->m_hWnd != NULL) {
        CRect rc;
        GetWindowRect(&rc);
        pParent->ScreenToClient(&rc);
        pParent->InvalidateRect(&rc, TRUE);
    }
    Invalidate(TRUE);
}

void CMaskButton::OnMouseMove(UINT, CPoint point)
{
    if (!m_bTracking && m_bEnabled) {
        TRACKMOUSEEVENT tme = { sizeof(tme), TME_LEAVE, m_hWnd, 0 };
        ::TrackMouseEvent(&tme);
        m_bTracking = TRUE;
        m_nLook = kHot;
        Repaint();
        m_bInside = TRUE;
    }
    CRect client;
    GetClientRect(&client);
    const BOOL inside = client.PtInRect(point);
    if (inside != m_bInside) {
        m_bInside = inside;
        if (m_bEnabled)
            Repaint();
    }
    Default();
}

LRESULT CMaskButton::OnMouseLeave(WPARAM, LPARAM)
{
    m_bTracking = FALSE;
    if (m_nLook == kHot)
        m_nLook = kNormal;
    if (m_bEnabled)
        Repaint();
    return 0;
}

void CMaskButton::OnEnable(BOOL bEnable)
{
    Default();
    if (bEnable && m_nLook == kDisabled) {
        m_nLook = kNormal;
        Repaint();
    } else if (!bEnable && m_nLook == kNormal) {
        m_nLook = kDisabled;
        Repaint();
    } else if (!bEnable) {
        Repaint();
    }
}

void CMaskButton::OnLButtonDown(UINT, CPoint)
{
    if (!m_bEnabled)
        return;
    Default();
    Repaint();
}

void CMaskButton::OnLButtonUp(UINT, CPoint)
{
    if (!m_bEnabled)
        return;
    Default();
    Repaint();
}

void CMaskButton::OnLButtonDblClk(UINT, CPoint)
{
    if (!m_bEnabled)
        return;
    Default();
    Repaint();
}
