#pragma once
#include "framework/ui/Controls.h"
#include "framework/ui/Dialog.h"

class CTipText;

// The tip dialog (template IDD_TIP): a CTipText with a title and rich text,
// and a "show again" check box whose state the caller reads after IDOK.
class CTipDlg : public CDialog {
public:
    CTipDlg(CWnd* pParentWnd = NULL, BOOL bValue = FALSE);
    ~CTipDlg() override;

    void SetShowAgain(BOOL bShow) { m_bShowAgain = bShow; }
    BOOL GetShowAgain() const { return m_bShowAgain; }
    void SetImage(UINT nMaskId, LPCTSTR lpszPicture, UINT nLowColourId, COLORREF panelColour, BOOL bCentre);
    void SetTip(LPCTSTR lpszTitle, LPCTSTR lpszText);
    void SetTipStrings(UINT nTitleId, UINT nTextId);
    void SetTipText(UINT nTitleId, LPCTSTR lpszText);
    void SetTitleFont(const LOGFONT* pLogFont);
    void SetIcon(LPCTSTR lpszName);
    void SetCaption(LPCTSTR lpszCaption) { m_strCaption = lpszCaption; m_bCustomCaption = lpszCaption != NULL; }
    void HideCheckBox(BOOL bHide = TRUE) { m_bHideCheckBox = bHide; }
    // The tip view of the open dialog, or null.
    CTipText* GetTipText() const;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt);
    void ApplyTip();
    DECLARE_MESSAGE_MAP()

    int m_bShowAgain;
    BOOL m_bValue;

private:
    UINT m_nMaskId;
    CString m_strPicture;
    LPCTSTR m_lpszPicture;
    UINT m_nLowColourId;
    COLORREF m_panelColour;
    BOOL m_bCentre;
    BOOL m_bImagePending;
    LOGFONT m_titleFont;
    BOOL m_bTitleFontPending;
    CString m_strIcon;
    LPCTSTR m_lpszIcon;
    BOOL m_bIconPending;
    CString m_strTitle;
    CString m_strText;
    BOOL m_bTipPending;
    CString m_strCaption;
    BOOL m_bCustomCaption;
    BOOL m_bHideCheckBox;
};

// The tip dialog with Yes and No buttons; bYesDefault makes Yes the default.
class CTipDlgEx : public CTipDlg {
public:
    CTipDlgEx(CWnd* pParentWnd = NULL, BOOL bYesDefault = TRUE);

protected:
    BOOL OnInitDialog() override;
    void OnYes();
    void OnNo();
    DECLARE_MESSAGE_MAP()

    CButton m_btnYes;
    CButton m_btnNo;
};
