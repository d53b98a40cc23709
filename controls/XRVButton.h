#pragma once
#include "controls/ShadeColour.h"
#include "framework/ui/Controls.h"
#include "framework/ui/GdiObject.h"

// The push button of the recorder's dialogs: binds to an ordinary dialog
// button (subclassing), makes it owner-drawn and paints face, default frame,
// text and focus itself, keeping the dialog's keyboard cues. Clicks reach the
// parent as ordinary BN_CLICKED commands. UI thread.
class XRVButton : public CButton {
    DECLARE_DYNCREATE(XRVButton)
public:
    XRVButton();
    ~XRVButton() override;

    using CWnd::SetFont;
    // Replaces the button's own font and repaints.
    void SetFont(const LOGFONT* pLogFont);

    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

    UINT GetTextFormat() const { return m_nTextFormat; }
    BOOL IsFocusHidden() const { return m_bHideFocus; }
    BOOL IsDefault() const { return m_bDefault; }

    BOOL m_bNoFill;              // 1: the background is left to the system
    CShadeColour m_bkColour;
    BYTE m_bTextOnly;            // only the text is drawn
    BYTE m_swatchGap;            // pixels between a colour swatch and the text
    COLORREF m_textColour;       // -1: COLOR_WINDOWTEXT

protected:
    virtual void UpdateFocusCues();
    virtual UINT GetDlgCodeValue();
    virtual void DrawBackground(LPDRAWITEMSTRUCT lpDIS, CRect& rect);
    virtual void DrawDefaultFrame(LPDRAWITEMSTRUCT lpDIS, CRect& rect);
    virtual void DrawFace(LPDRAWITEMSTRUCT lpDIS, CRect& rect);
    virtual void DrawCaption(LPDRAWITEMSTRUCT lpDIS, CRect& rect, BOOL bMeasureOnly);
    virtual void DrawFocus(LPDRAWITEMSTRUCT lpDIS, CRect& rect);

    void PreSubclassWindow() override;
    // Builds the DrawText flags from the cached style; bFromZero at binding.
    void BuildTextFormat(BOOL bFromZero);
    void QueryUiState();
    // Draws one text the way DrawCaption does (enabled or embossed).
    void DrawButtonText(CDC* pDC, LPDRAWITEMSTRUCT lpDIS, const CString& text, CRect& rect, BOOL bMeasureOnly);

    void OnSysKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnKillFocus(CWnd* pNewWnd);
    UINT OnGetDlgCode();
    BOOL OnEraseBkgnd(CDC* pDC);
    LRESULT OnSetStyle(WPARAM wParam, LPARAM lParam);
    LRESULT OnUiState(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

    UINT m_nTextFormat;
    BYTE m_bHideFocus;
    BYTE m_bDefault;
    CFont m_font;
    DWORD m_dwStyle;
    DWORD m_dwExStyle;
};
