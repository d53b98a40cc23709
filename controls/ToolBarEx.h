#pragma once
#include "framework/Collections.h"
#include "framework/ui/GdiObject.h"
#include "framework/ui/ToolBar.h"

// The flat tool bar of the recorder and of the image editor: in flat mode it
// paints every button itself (flat faces that rise under the cursor and sink
// when pressed or checked, embossed disabled images, optional texts under the
// images), draws a double gripper, keeps button styles drawn right across
// command-UI updates, and lets its owner take part in the painting through
// NM_CUSTOMDRAW notifications. With the flat flag cleared it is the plain
// tool bar. UI thread only.
class CToolBarEx : public CToolBar {
    DECLARE_DYNCREATE(CToolBarEx)
public:
    CToolBarEx();
    ~CToolBarEx() override;

    void SetFlat(BOOL bFlat) { m_bFlat = bFlat; }
    BOOL IsFlat() const { return m_bFlat; }
    // Replaces the font of the button texts (a Chinese face, say).
    void SetTextFont(const LOGFONT* pLogFont);
    CFont* GetTextFont() { return &m_textFont; }
    int GetHotIndex() const { return m_nHotIndex; }
    CPoint GetImageOffset() const { return CPoint(m_nImageOffsetX, m_nImageOffsetY); }
    COLORREF GetCheckedColour() const { return m_clrChecked; }

    // The background of checked buttons: COLOR_3DLIGHT, or the highlight
    // colour when 3DLIGHT is the face colour (it would not show).
    static COLORREF CheckedBackground(COLORREF face, COLORREF light, COLORREF highlight);

    void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHandler) override;

protected:
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnPaint();
    void OnSysColorChange();
    void OnNcCalcSize(BOOL bCalcValidRects, NCCALCSIZE_PARAMS* lpncsp);
    void OnNcPaint();
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnTimer(UINT_PTR nIDEvent);
    LRESULT OnSetButtonSize(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetBitmapSize(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    void ReadColours();
    void UpdateImageOffsets();
    BOOL HasButtonTexts() const;
    LRESULT NotifyOwner(NMTBCUSTOMDRAW& cd);

    BOOL m_bFlat;
    int m_nImageOffsetX;
    int m_nImageOffsetY;
    COLORREF m_clrFace;
    COLORREF m_clrHighlight;
    COLORREF m_clrShadow;
    COLORREF m_clrChecked;
    int m_nHotIndex;
    UINT_PTR m_nHotTimer;
    CUIntArray m_savedStyles;
    HWND m_hParent;
    BOOL m_bOwnImageList;
    CFont m_textFont;
};
