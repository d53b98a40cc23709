#pragma once
#include "framework/Collections.h"
#include "framework/ui/Controls.h"
#include "framework/ui/GdiObject.h"
#include "framework/ui/Wnd.h"

#include <vector>

class CDC;

// Notifications of the drop-down combo and its popup: WM_NOTIFY with an
// NMCOOLCOMBO (the header and one value).
#define CCN_HOTCHANGED   1975   // value: the hot cell
#define CCN_OPENED       1976
#define CCN_CLOSED       1977
#define CCN_ITEMCHOSEN   1978   // value: the cell
#define CCN_CANCELLED    1979
#define CCN_DEFAULTCHOSEN 1980
#define CCN_EXTRACHOSEN  1981   // value: the extra item's index
#define CCN_TORNOFF      1982
#define CCN_GETCUSTOMCOLOURS 1985   // the colour picker's popup asks for custom colours

struct NMCOOLCOMBO {
    NMHDR hdr;
    INT32 value;
};

// Item indexes shared by the control and its popup.
enum {
    kCoolNoItem = -1,
    kCoolDefaultItem = -2,
    kCoolInitial = -3,     // nothing chosen yet
    kCoolExtraBase = 1000, // 1000 + i: the i-th extra item
};

// What the control hands to a new popup.
struct CCoolComboPopupParams {
    RECT ownerRect;               // the control, screen coordinates
    CWnd* pOwner;                 // the control
    BOOL bTearOff;
    int nCount;
    int nCurrent;
    int nColumns;
    BOOL bFlat;
    CString strDefault;           // empty: no default item
    const CStringArray* pExtras;  // may be null
    HIMAGELIST hImages;           // may be null; not owned
    const CStringArray* pTooltips;  // cell tooltips, may be null
    const int* pCommands;         // cell commands, may be null
    int nCommands;
    CString strCaption;           // empty: the default tear-off caption
};

// The popup of a drop-down combo: a borderless grid of cells, optionally
// headed by a tear-off bar and a default item and followed by extra text
// items. Cells may carry commands, sent to the main window when chosen. It
// reports to its owner control by WM_NOTIFY and deletes itself after its
// window is gone. UI thread only.
class CCoolComboPopup : public CWnd {
    DECLARE_DYNAMIC(CCoolComboPopup)
public:
    CCoolComboPopup();
    ~CCoolComboPopup() override;

    BOOL Create(const CCoolComboPopupParams& params);

    int GetHotItem() const { return m_nHot; }
    void SetHotItem(int nItem);
    int GetCurrentItem() const { return m_nCurrent; }
    int GetRows() const { return m_nRows; }
    BOOL IsTornOff() const { return m_bTornOff; }
    CRect GetGridRect() const { return m_rcGrid; }
    CRect GetTearOffRect() const { return m_rcTearOff; }
    CRect GetDefaultRect() const { return m_rcDefault; }
    CRect GetExtrasRect() const { return m_rcExtras; }
    CSize GetCellExtent() const { return CSize(m_cxCell, m_cyCell); }
    int GetRowHeight() const { return m_cyRow; }
    // The rectangle of an item (cell, default or extra) in client coordinates.
    CRect GetItemRect(int nItem) const;
    // The item under a client point, or kCoolNoItem.
    int HitTest(CPoint pt) const;
    // The cell's text with its accelerator ("text\tCtrl+N") and its prompt.
    CString GetCellText(int nCell) const;
    CString GetCellPrompt(int nCell) const;
    int GetCellCommand(int nCell) const;
    BOOL IsCellEnabled(int nCell) const;
    // Turns the popup into a floating tool window at the same place.
    BOOL TearOff(BOOL bStartDrag);

    // Texts used when the caller gives none.
    static const char* const kDefaultCaption;

protected:
    virtual void OnOpened();
    virtual void OnClosed();
    virtual void OnDefaultChosen();
    virtual void OnExtraChosen(int nExtra);
    virtual void OnItemChosen(int nCell);
    virtual void OnCancelled();
    virtual void OnHovered(int nCell);
    virtual CSize GetCellSize();
    virtual void DrawCell(CDC* pDC, int nCell, const CRect& rc);

    LRESULT Notify(UINT code, int value);
    void Choose(int nItem);
    void Cancel();
    void Close();
    void DrawItemState(CDC* pDC, int nItem, const CRect& rc, BOOL bEnabled);

    void OnPaint();
    BOOL OnEraseBkgnd(CDC*) { return TRUE; }
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnKillFocus(CWnd* pNewWnd);
    void OnCaptureChanged(CWnd* pWnd);
    void OnDestroy();
    void PostNcDestroy() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    DECLARE_MESSAGE_MAP()

    BOOL CreateWindowNow(BOOL bToolWindow);
    void Layout();
    void AddTooltips();
    void BuildCellTexts();
    void ShowPrompt(int nItem);
    CWnd* MainWindow() const;
    int KeyTarget(UINT nChar) const;

    int m_nCount;
    int m_nColumns;
    int m_nRows;
    int m_cxCell;
    int m_cyCell;
    int m_cxEdge;
    int m_cyEdge;
    int m_nHot;
    int m_nCurrent;
    int m_nChosen;
    BOOL m_bTearOff;
    BOOL m_bTearOffPress;
    BOOL m_bPressSeen;   // a button went down since the popup opened
    CString m_strDefault;
    CStringArray m_extras;
    CStringArray m_texts;
    CStringArray m_tooltips;
    CStringArray m_accelTexts;
    CStringArray m_prompts;
    CRect m_rcTearOff;
    CRect m_rcDefault;
    CRect m_rcGrid;
    CRect m_rcSeparator;
    CRect m_rcExtras;
    CRect m_rcWindow;
    CRect m_rcOwner;
    int m_cyRow;
    CFont m_font;
    CToolTipCtrl m_tooltip;
    CWnd* m_pOwner;
    HIMAGELIST m_hImages;
    BOOL m_bTornOff;
    BOOL m_bRecreating;
    BOOL m_bClosing;
    BOOL m_bHoldOpen;   // focus and capture may go (a dialog of the popup is open)
    BOOL m_bShowTooltips;
    BOOL m_bStatusPrompts;
    BOOL m_bOpenAbove;
    int m_nTextGap;
    std::vector<int> m_commands;
    CString m_strCaption;
};
