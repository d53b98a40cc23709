// CPropertyPage and CPropertySheet over the common property sheet. Pages are
// dialogs from templates, bound at their WM_INITDIALOG; the sheet is bound
// when it is initialised. The PSN_ notifications reach the page's virtuals.
#pragma once
#include "framework/ui/Dialog.h"

#include <prsht.h>
#include <vector>

class CPropertySheet;

class CPropertyPage : public CDialog {
    DECLARE_DYNAMIC(CPropertyPage)
public:
    explicit CPropertyPage(UINT nIDTemplate, UINT nIDCaption = 0);
    ~CPropertyPage() override;

    virtual BOOL OnSetActive();     // TRUE accepts the activation
    virtual BOOL OnKillActive();    // validates (UpdateData); FALSE keeps the page
    virtual BOOL OnApply();         // OK or Apply: calls OnOK
    virtual void OnReset();         // Cancel: calls OnCancel
    virtual LRESULT OnWizardBack() { return 0; }
    virtual LRESULT OnWizardNext() { return 0; }
    virtual BOOL OnWizardFinish() { return TRUE; }
    void OnOK() override {}
    void OnCancel() override {}
    void SetModified(BOOL bChanged = TRUE);
    CPropertySheet* GetSheet() const;

    PROPSHEETPAGEA m_psp;

protected:
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

private:
    CString m_strCaption;
    static INT_PTR CALLBACK PageDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
};

class CPropertySheet : public CWnd {
    DECLARE_DYNAMIC(CPropertySheet)
public:
    explicit CPropertySheet(UINT nIDCaption, CWnd* pParentWnd = NULL, UINT iSelectPage = 0);
    explicit CPropertySheet(LPCTSTR pszCaption, CWnd* pParentWnd = NULL, UINT iSelectPage = 0);
    ~CPropertySheet() override;

    void AddPage(CPropertyPage* pPage) { m_pages.push_back(pPage); }
    int GetPageCount() const { return (int)m_pages.size(); }
    CPropertyPage* GetPage(int nPage) const { return m_pages[(size_t)nPage]; }
    int GetPageIndex(CPropertyPage* pPage) const;
    CPropertyPage* GetActivePage() const;
    int GetActiveIndex() const;
    BOOL SetActivePage(int nPage);
    void SetTitle(LPCTSTR lpszText, UINT nStyle = 0);
    void SetWizardMode() { m_psh.dwFlags |= PSH_WIZARD; }
    void SetWizardButtons(DWORD dwFlags) { PostMessage(PSM_SETWIZBUTTONS, 0, (LPARAM)dwFlags); }
    BOOL PressButton(int nButton) { return PostMessage(PSM_PRESSBUTTON, (WPARAM)nButton); }

    // Modal: IDOK when the sheet closed with OK or Finish, else IDCANCEL.
    virtual INT_PTR DoModal();
    // Modeless; the caller destroys it.
    virtual BOOL Create(CWnd* pParentWnd = NULL, DWORD dwStyle = (DWORD)-1, DWORD dwExStyle = 0);

    PROPSHEETHEADERA m_psh;

protected:
    CWnd* m_pParentWnd;
    CString m_strCaption;
    std::vector<CPropertyPage*> m_pages;
    std::vector<PROPSHEETPAGEA> m_built;

    void BuildPages();
    static int CALLBACK SheetCallback(HWND hWnd, UINT message, LPARAM lParam);
};
