#pragma once
#include "controls/ShadeColour.h"
#include "framework/Collections.h"
#include "framework/ui/Controls.h"
#include "framework/ui/GdiObject.h"

// A picture button of the recorder window: one bitmap resource tinted into
// a normal, a hot and a disabled variant, drawn centred with the caption over
// it and magenta (0xFF00FF) transparent, so that the parent's background
// shows through. The parent's area under the button is repainted whenever
// the look changes. Owner-drawn; UI thread only.
class CMaskButton : public CButton {
    DECLARE_DYNAMIC(CMaskButton)
public:
    enum Look { kNormal = 0, kDisabled = 1, kHot = 2 };

    CMaskButton();
    ~CMaskButton() override;

    // Loads the three variants, each tinted and keeping the kept colours.
    BOOL SetBitmaps(UINT nIDBitmap, COLORREF disabledTint, COLORREF normalTint, COLORREF hotTint,
                    const CDWordArray* pKeptColours);
    void EnableButton(BOOL bEnable);
    void SetStretch(BOOL bStretch);
    // Bold above 0; a height of 0 keeps the default font's.
    void SetCaptionFont(int bold, int height);
    void SetTextColour(const CShadeColour& colour) { m_textColour = colour; }
    int GetLook() const { return m_nLook; }
    // The font the caption is drawn with now.
    HFONT GetCaptionFont();

    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

    // The cache key of the default caption font, shared by every mask button.
    static const int kFontKey = 0x4D42;

protected:
    void OnEnable(BOOL bEnable);
    BOOL OnEraseBkgnd(CDC*) { return TRUE; }
    void OnMouseMove(UINT nFlags, CPoint point);
    LRESULT OnMouseLeave(WPARAM, LPARAM);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnLButtonDblClk(UINT nFlags, CPoint point);
    DECLARE_MESSAGE_MAP()

    void Repaint();

    int m_nLook;
    CBitmap m_bmpHot;
    CBitmap m_bmpNormal;
    CBitmap m_bmpDisabled;
    UINT m_nIDBitmap;
    COLORREF m_normalTint;
    COLORREF m_hotTint;
    COLORREF m_disabledTint;
    CDWordArray m_keptColours;
    CShadeColour m_textColour;
    int m_nBold;
    int m_nFontHeight;
    BOOL m_bEnabled;
    BOOL m_bTracking;
    BOOL m_bInside;
    BOOL m_bStretch;
    CFont m_captionFont;   // made once per bold/height setting
    BOOL m_bFontDirty;
};
