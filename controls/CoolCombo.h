#pragma once
#include "controls/CoolComboPopup.h"
#include "framework/ui/ImageList.h"

// A button-like drop-down control: the face shows the current item (an
// image), a click on the face chooses the next one, and the arrow opens a
// CCoolComboPopup grid. Choices reach the owner window as WM_NOTIFY with the
// CCN_ codes and the control's id; cells that carry commands post WM_COMMAND
// instead. UI thread only; bound to a static control (SS_NOTIFY |
// SS_OWNERDRAW are added) or created.
class CCoolCombo : public CStatic {
    DECLARE_DYNCREATE(CCoolCombo)
public:
    CCoolCombo();
    ~CCoolCombo() override;

    BOOL Create(const RECT& rect, CWnd* pParentWnd, UINT nID);

    int GetCurSel() const { return m_nCurSel; }
    void SetCurSel(int nItem);
    void SetFlatLook(BOOL bFlat);
    BOOL SetImageList(HIMAGELIST hImages);
    BOOL SetImage(UINT nIDBitmap, int cxImage, int nIndex, COLORREF crMask);
    BOOL LoadImageList(UINT nIDBitmap, int cxImage, COLORREF crMask);
    void SetCounts(int nCount, int nColumns);
    int GetCount() const { return m_nCount; }
    int GetColumns() const { return m_nColumns; }
    void SetDefaultText(LPCTSTR lpszText) { m_strDefault = lpszText; }
    void AddExtraText(LPCTSTR lpszText) { m_extras.Add(lpszText); }
    void SetPopupCaption(LPCTSTR lpszCaption) { m_strCaption = lpszCaption; }
    void SetSingleFace(BOOL bSingle);
    void SetTearOff(BOOL bTearOff) { m_bTearOff = bTearOff; }
    void SetFaceShowsCellImage(BOOL bShow, BOOL bLatched);
    // Commands of the cells: -1 an ordinary cell, 0 a separator, else a command.
    void SetCellCommands(const int* pCommands, int nCount);
    void SetKeyboardIndex(int nIndex) { m_nKeyboardIndex = nIndex; }
    CCoolComboPopup* GetPopup() const { return m_pPopup; }
    CRect GetArrowRect() const { return m_rcArrow; }
    CRect GetFaceRect() const { return m_rcFace; }

    virtual void ClosePopup();
    virtual BOOL OpenPopup();

protected:
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);
    virtual void DrawFace(CDC* pDC, const CRect& rcFace, BOOL bEnabled);
    virtual void SelectNext();
    virtual void OnOpened();
    virtual void OnClosed();
    virtual void OnItemChosen(int nCell);
    virtual void OnDefaultChosen();
    virtual void OnExtraChosen(int nExtra);
    virtual void OnCancelled();
    virtual void OnHovered(int nCell);
    virtual void OnTornOff();

    void PreSubclassWindow() override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    // Sends a notification to the owner window; the answer of the owner.
    LRESULT NotifyOwner(UINT code, int value);
    CWnd* OwnerWindow() const;
    void Layout();
    BOOL IsCellCommandEnabled(int nCell) const;
    void FillPopupParams(CCoolComboPopupParams& params);

    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnLButtonDblClk(UINT nFlags, CPoint point);
    void OnMouseMove(UINT nFlags, CPoint point);
    LRESULT OnMouseLeave(WPARAM, LPARAM);
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnSize(UINT nType, int cx, int cy);
    UINT OnGetDlgCode();
    void OnSetFocus(CWnd* pOldWnd);
    void OnKillFocus(CWnd* pNewWnd);
    BOOL OnEraseBkgnd(CDC*) { return TRUE; }
    DECLARE_MESSAGE_MAP()

    int m_nCurSel;
    BOOL m_bPopupFlat;
    CString m_strDefault;
    CStringArray m_extras;
    int m_nCount;
    int m_nColumns;
    BOOL m_bHover;
    BOOL m_bFacePressed;
    BOOL m_bArrowPressed;
    BOOL m_bCaptured;
    CRect m_rcArrow;
    CRect m_rcFace;
    CImageList m_images;
    CSize m_sizeImages;
    CImageList m_ownImage;
    CSize m_sizeOwnImage;
    CString m_strCaption;
    BOOL m_bFlatLook;
    BOOL m_bSingleFace;
    BOOL m_bArrowPressedWhileOpen;
    BOOL m_bFaceShowsCellImage;
    BOOL m_bLatched;
    int m_nKeyboardIndex;
    std::vector<int> m_commands;
    CCoolComboPopup* m_pPopup;
    BOOL m_bTearOff;
    CStringArray m_tooltips;   // cell tooltips handed to the popup
};
