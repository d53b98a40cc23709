#pragma once
#include "framework/ui/GdiObject.h"
#include "framework/ui/Wnd.h"

// A horizontal slider drawn from its owner's bitmaps: a channel tiled across
// the control and a thumb with a transparent key colour, each with a
// disabled variant, and a hot thumb under the cursor. Dragging and channel
// clicks send WM_HSCROLL (SB_THUMBTRACK) to the parent. The slider owns the
// bitmaps it is given. UI thread only.
class CBitmapSlider : public CWnd {
    DECLARE_DYNAMIC(CBitmapSlider)
public:
    CBitmapSlider();
    ~CBitmapSlider() override;

    BOOL Create(const RECT& rect, CWnd* pParentWnd, UINT nID);

    void SetChannelBitmap(CBitmap* pBitmap);
    void SetDisabledChannelBitmap(CBitmap* pBitmap);
    void SetThumbBitmap(CBitmap* pBitmap);
    void SetHotThumbBitmap(CBitmap* pBitmap);
    void SetDisabledThumbBitmap(CBitmap* pBitmap);
    void SetRange(int nMin, int nMax, BOOL bRedraw = TRUE);
    void SetPos(int nPos);
    int GetPos() const { return m_nPos; }
    int GetRangeMin() const { return m_nMin; }
    int GetRangeMax() const { return m_nMax; }
    // The value under the thumb's left edge now (also while dragging).
    int GetPosFromThumb() const;
    CRect GetThumbRect() const;
    BOOL IsDragging() const { return m_bDragging; }
    BOOL IsOverThumb() const { return m_bOverThumb; }

    // The thumb bitmaps' transparent colour; the owner sets it.
    COLORREF m_crKey;

protected:
    void OnPaint();
    BOOL OnEraseBkgnd(CDC*) { return TRUE; }
    void OnSize(UINT nType, int cx, int cy);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnMouseMove(UINT nFlags, CPoint point);
    LRESULT OnMouseLeave(WPARAM, LPARAM);
    void OnKillFocus(CWnd* pNewWnd);
    void OnCaptureChanged(CWnd* pWnd);
    void OnEnable(BOOL bEnable);
    DECLARE_MESSAGE_MAP()

private:
    static void Replace(CBitmap*& pOwned, CBitmap* pNew);
    int ClampDragX(int x) const;
    int TravelWidth() const;
    void NotifyParent();
    void EndDrag();

    CRect m_rcClient;
    int m_nMin;
    int m_nMax;
    int m_nPos;
    BOOL m_bDragging;
    int m_nDragX;
    int m_nGrabOffset;
    CBitmap* m_pThumb;
    CBitmap* m_pHotThumb;
    CBitmap* m_pDisabledThumb;
    CBitmap* m_pChannel;
    CBitmap* m_pDisabledChannel;
    int m_cxThumb;
    int m_cyThumb;
    BOOL m_bTrackingLeave;
    BOOL m_bOverThumb;
};
