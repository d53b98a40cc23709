#include "framework/ui/PropertySheet.h"

#include "framework/Exceptions.h"
#include "framework/Module.h"

namespace {
thread_local CPropertySheet* t_pSheetInit = NULL;
}

IMPLEMENT_DYNAMIC(CPropertyPage, CDialog)
IMPLEMENT_DYNAMIC(CPropertySheet, CWnd)

CPropertyPage::CPropertyPage(UINT nIDTemplate, UINT nIDCaption) : CDialog(nIDTemplate)
{
    ZeroMemory(&m_psp, sizeof(m_psp));
    m_psp.dwSize = sizeof(m_psp);
    m_psp.hInstance = AfxGetResourceHandle();
    m_psp.pszTemplate = MAKEINTRESOURCEA(nIDTemplate);
    m_psp.pfnDlgProc = &CPropertyPage::PageDlgProc;
    m_psp.lParam = (LPARAM)this;
    if (nIDCaption != 0 && m_strCaption.LoadString(nIDCaption)) {
        m_psp.pszTitle = m_strCaption;
        m_psp.dwFlags |= PSP_USETITLE;
    }
}

CPropertyPage::~CPropertyPage()
{
}

// Binds the page named in the PROPSHEETPAGE that comctl32 hands to
// WM_INITDIALOG, then continues as every dialog of this layer.
INT_PTR CALLBACK CPropertyPage::PageDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG && CWnd::FromHandlePermanent(hWnd) == NULL) {
        const PROPSHEETPAGEA* psp = (const PROPSHEETPAGEA*)lParam;
        CPropertyPage* pPage = (CPropertyPage*)psp->lParam;
        if (pPage != NULL)
            pPage->BindAndSubclass(hWnd);
    }
    return AfxDlgProc(hWnd, message, wParam, lParam);
}

BOOL CPropertyPage::OnSetActive()
{
    return TRUE;
}

BOOL CPropertyPage::OnKillActive()
{
    return UpdateData(TRUE);
}

BOOL CPropertyPage::OnApply()
{
    OnOK();
    return TRUE;
}

void CPropertyPage::OnReset()
{
    OnCancel();
}

void CPropertyPage::SetModified(BOOL bChanged)
{
    HWND hSheet = ::GetParent(m_hWnd);
    ::SendMessageA(hSheet, bChanged ? PSM_CHANGED : PSM_UNCHANGED, (WPARAM)m_hWnd, 0);
}

CPropertySheet* CPropertyPage::GetSheet() const
{
    return dynamic_cast<CPropertySheet*>(CWnd::FromHandlePermanent(::GetParent(m_hWnd)));
}

// The page is a subclassed dialog: what the window procedure returns is
// what the sheet receives, so results go straight into *pResult.
BOOL CPropertyPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const NMHDR* nmhdr = (const NMHDR*)lParam;
    switch (nmhdr->code) {
    case PSN_SETACTIVE:
        *pResult = OnSetActive() ? 0 : -1;
        return TRUE;
    case PSN_KILLACTIVE:
        *pResult = OnKillActive() ? FALSE : TRUE;
        return TRUE;
    case PSN_APPLY:
        *pResult = OnApply() ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
        return TRUE;
    case PSN_RESET:
        OnReset();
        *pResult = 0;
        return TRUE;
    case PSN_WIZBACK:
        *pResult = OnWizardBack();
        return TRUE;
    case PSN_WIZNEXT:
        *pResult = OnWizardNext();
        return TRUE;
    case PSN_WIZFINISH:
        *pResult = OnWizardFinish() ? FALSE : TRUE;
        return TRUE;
    default:
        return CDialog::OnNotify(wParam, lParam, pResult);
    }
}

// ---------------------------------------------------------------------------

CPropertySheet::CPropertySheet(UINT nIDCaption, CWnd* pParentWnd, UINT iSelectPage)
    : m_pParentWnd(pParentWnd)
{
    ZeroMemory(&m_psh, sizeof(m_psh));
    m_psh.dwSize = sizeof(m_psh);
    m_psh.nStartPage = iSelectPage;
    m_strCaption.LoadString(nIDCaption);
}

CPropertySheet::CPropertySheet(LPCTSTR pszCaption, CWnd* pParentWnd, UINT iSelectPage)
    : m_pParentWnd(pParentWnd)
{
    ZeroMemory(&m_psh, sizeof(m_psh));
    m_psh.dwSize = sizeof(m_psh);
    m_psh.nStartPage = iSelectPage;
    m_strCaption = pszCaption;
}

CPropertySheet::~CPropertySheet()
{
}

int CPropertySheet::GetPageIndex(CPropertyPage* pPage) const
{
    for (size_t i = 0; i < m_pages.size(); i++) {
        if (m_pages[i] == pPage)
            return (int)i;
    }
    return -1;
}

CPropertyPage* CPropertySheet::GetActivePage() const
{
    if (m_hWnd == NULL)
        return m_pages.empty() ? NULL : m_pages[m_psh.nStartPage < m_pages.size() ? m_psh.nStartPage : 0];
    HWND hPage = (HWND)::SendMessageA(m_hWnd, PSM_GETCURRENTPAGEHWND, 0, 0);
    return dynamic_cast<CPropertyPage*>(CWnd::FromHandlePermanent(hPage));
}

int CPropertySheet::GetActiveIndex() const
{
    return GetPageIndex(GetActivePage());
}

BOOL CPropertySheet::SetActivePage(int nPage)
{
    if (m_hWnd == NULL) {
        m_psh.nStartPage = (UINT)nPage;
        return TRUE;
    }
    return (BOOL)SendMessage(PSM_SETCURSEL, (WPARAM)nPage, 0);
}

void CPropertySheet::SetTitle(LPCTSTR lpszText, UINT nStyle)
{
    m_strCaption = lpszText;
    if (m_hWnd != NULL)
        SendMessage(PSM_SETTITLEA, nStyle, (LPARAM)lpszText);
}

void CPropertySheet::BuildPages()
{
    m_built.clear();
    for (CPropertyPage* pPage : m_pages)
        m_built.push_back(pPage->m_psp);
    m_psh.dwFlags |= PSH_PROPSHEETPAGE | PSH_USECALLBACK;
    m_psh.pfnCallback = &CPropertySheet::SheetCallback;
    m_psh.hInstance = AfxGetResourceHandle();
    m_psh.pszCaption = m_strCaption;
    m_psh.nPages = (UINT)m_built.size();
    m_psh.ppsp = m_built.empty() ? NULL : &m_built[0];
}

int CALLBACK CPropertySheet::SheetCallback(HWND hWnd, UINT message, LPARAM)
{
    if (message == PSCB_INITIALIZED && t_pSheetInit != NULL) {
        CPropertySheet* pSheet = t_pSheetInit;
        t_pSheetInit = NULL;
        pSheet->SubclassWindow(hWnd);
    }
    return 0;
}

INT_PTR CPropertySheet::DoModal()
{
    BuildPages();
    m_psh.dwFlags &= ~PSH_MODELESS;
    m_psh.hwndParent = CWnd::GetSafeOwner(m_pParentWnd)->GetSafeHwnd();
    t_pSheetInit = this;
    const INT_PTR result = ::PropertySheetA(&m_psh);
    t_pSheetInit = NULL;
    if (m_hWnd != NULL)
        UnsubclassWindow();
    return result > 0 ? IDOK : IDCANCEL;
}

BOOL CPropertySheet::Create(CWnd* pParentWnd, DWORD dwStyle, DWORD dwExStyle)
{
    (void)dwStyle;
    (void)dwExStyle;
    BuildPages();
    m_psh.dwFlags |= PSH_MODELESS;
    m_psh.hwndParent = pParentWnd != NULL ? pParentWnd->GetSafeHwnd() : m_pParentWnd->GetSafeHwnd();
    t_pSheetInit = this;
    const INT_PTR result = ::PropertySheetA(&m_psh);
    t_pSheetInit = NULL;
    return result != 0 && result != -1 && m_hWnd != NULL;
}
