// CToolBar: a control bar over the comctl32 tool bar. Buttons come from an
// array of command ids (0 is a separator) and one bitmap strip; texts under
// the images are optional. Custom drawing is left to the class or its owner
// through NM_CUSTOMDRAW (reflected to the bar first). No docking.
#pragma once
#include "framework/ui/ControlBar.h"
#include <commctrl.h>

#define ID_SEPARATOR 0

class CToolBar : public CControlBar {
    DECLARE_DYNAMIC(CToolBar)
public:
    CToolBar();
    ~CToolBar() override;

    BOOL CreateEx(CWnd* pParentWnd, DWORD dwCtrlStyle = TBSTYLE_FLAT,
                  DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP,
                  CRect rcBorders = CRect(0, 0, 0, 0), UINT nID = AFX_IDW_TOOLBAR);
    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_TOP,
                UINT nID = AFX_IDW_TOOLBAR)
    {
        return CreateEx(pParentWnd, 0, dwStyle, CRect(0, 0, 0, 0), nID);
    }

    // Sizes of a button and of its image; call before adding buttons.
    void SetSizes(SIZE sizeButton, SIZE sizeImage);
    // Takes a bitmap resource (a strip of images of the image size).
    BOOL LoadBitmap(UINT nIDResource);
    // Adds the buttons; a null array adds nIDCount empty separators.
    BOOL SetButtons(const UINT* lpIDArray, int nIDCount);
    BOOL SetButtonText(int nIndex, LPCTSTR lpszText);
    CString GetButtonText(int nIndex) const;

    int GetCount() const { return (int)SendMessage(TB_BUTTONCOUNT); }
    int CommandToIndex(UINT nIDFind) const { return (int)SendMessage(TB_COMMANDTOINDEX, nIDFind); }
    UINT GetItemID(int nIndex) const;
    virtual void GetItemRect(int nIndex, LPRECT lpRect) const;
    // Style in the low word (TBSTYLE_...), state in the high word (TBSTATE_...).
    UINT GetButtonStyle(int nIndex) const;
    void SetButtonStyle(int nIndex, UINT nStyle);
    void GetButtonInfo(int nIndex, UINT& nID, UINT& nStyle, int& iImage) const;
    void SetButtonInfo(int nIndex, UINT nID, UINT nStyle, int iImage);

    HBITMAP GetBitmap() const { return m_hbmImageWell; }
    CSize GetButtonSize() const { return m_sizeButton; }
    CSize GetImageSize() const { return m_sizeImage; }

    void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHandler) override;
    CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;

protected:
    // Room at the bar's start (left of a horizontal bar, top of a vertical
    // one) and the face colour behind it.
    void OnNcCalcSize(BOOL bCalcValidRects, NCCALCSIZE_PARAMS* lpncsp);
    void OnNcPaint();
    DECLARE_MESSAGE_MAP()

    BOOL GetButton(int nIndex, TBBUTTON* pButton) const;
    void SetButton(int nIndex, const TBBUTTON* pButton);

    HBITMAP m_hbmImageWell;
    CSize m_sizeButton;
    CSize m_sizeImage;
};

// The command-UI state of one tool-bar button.
class CToolCmdUI : public CCmdUI {
public:
    void Enable(BOOL bOn = TRUE) override;
    void SetCheck(int nCheck = 1) override;
    void SetText(LPCTSTR) override {}
};
