#include "framework/ui/Dialog.h"

#include "framework/Exceptions.h"
#include "framework/Module.h"
#include "framework/ui/MessageLoop.h"

#include <exception>

namespace {
// The dialog being created by CreateIndirect on this thread; bound at its
// WM_INITDIALOG.
thread_local CDialog* t_pDlgInit = NULL;

void ReportDlgException(const char* what)
{
    char text[360];
    wsprintfA(text, "Vexcap: exception in OnInitDialog: %.300s\n", what ? what : "unknown");
    ::OutputDebugStringA(text);
}
}  // namespace

// The dialog procedure of every dialog of this layer. At WM_INITDIALOG it
// binds the pending object (its window procedure becomes AfxWndProc, which
// then gets every message first) and runs OnInitDialog; all other messages
// were handled by the map already, so it answers FALSE (default processing).
INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd == NULL && t_pDlgInit != NULL) {
        CDialog* pDlg = t_pDlgInit;
        t_pDlgInit = NULL;
        pDlg->BindAndSubclass(hWnd);
        pWnd = pDlg;
    }
    CDialog* pDlg = dynamic_cast<CDialog*>(pWnd);
    if (pDlg == NULL)
        return TRUE;
    MSG saved = *CWnd::GetCurrentMessage();
    (void)saved;
    try {
        return pDlg->OnInitDialog();
    } catch (CException* e) {
        ReportDlgException((LPCTSTR)e->GetErrorMessage());
        e->Delete();
    } catch (const std::exception& e) {
        ReportDlgException(e.what());
    } catch (...) {
        ReportDlgException(NULL);
    }
    return TRUE;
}

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog()
    : m_lpszTemplateName(NULL), m_nIDHelp(0), m_pParentWnd(NULL), m_bModal(FALSE),
      m_bEndModal(FALSE), m_nModalResult(-1)
{
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCEA(nIDTemplate)), m_nIDHelp(nIDTemplate),
      m_pParentWnd(pParentWnd), m_bModal(FALSE), m_bEndModal(FALSE), m_nModalResult(-1)
{
}

CDialog::CDialog(LPCTSTR lpszTemplateName, CWnd* pParentWnd)
    : m_lpszTemplateName(lpszTemplateName), m_nIDHelp(0), m_pParentWnd(pParentWnd),
      m_bModal(FALSE), m_bEndModal(FALSE), m_nModalResult(-1)
{
}

CDialog::~CDialog()
{
}

namespace {
LPCDLGTEMPLATE LoadDialogTemplate(LPCTSTR lpszTemplateName, HINSTANCE* phInst)
{
    HINSTANCE hInst = AfxGetResourceHandle();
    HRSRC hResource = ::FindResourceA(hInst, lpszTemplateName, (LPCSTR)RT_DIALOG);
    if (hResource == NULL) {
        hInst = AfxGetInstanceHandle();
        hResource = ::FindResourceA(hInst, lpszTemplateName, (LPCSTR)RT_DIALOG);
    }
    if (hResource == NULL)
        return NULL;
    HGLOBAL hTemplate = ::LoadResource(hInst, hResource);
    if (hTemplate == NULL)
        return NULL;
    *phInst = hInst;
    return (LPCDLGTEMPLATE)::LockResource(hTemplate);
}
}  // namespace

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd)
{
    return Create(MAKEINTRESOURCEA(nIDTemplate), pParentWnd);
}

BOOL CDialog::Create(LPCTSTR lpszTemplateName, CWnd* pParentWnd)
{
    m_lpszTemplateName = lpszTemplateName;
    if (IS_INTRESOURCE(lpszTemplateName) && m_nIDHelp == 0)
        m_nIDHelp = (UINT)(UINT_PTR)lpszTemplateName;
    HINSTANCE hInst = NULL;
    LPCDLGTEMPLATE lpTemplate = LoadDialogTemplate(lpszTemplateName, &hInst);
    if (lpTemplate == NULL)
        return FALSE;
    if (pParentWnd == NULL)
        pParentWnd = m_pParentWnd;
    return CreateIndirect(lpTemplate, pParentWnd, hInst);
}

BOOL CDialog::CreateIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd, HINSTANCE hInst)
{
    if (m_hWnd != NULL)
        return FALSE;
    if (hInst == NULL)
        hInst = AfxGetResourceHandle();
    CDialog* saved = t_pDlgInit;
    t_pDlgInit = this;
    HWND hWnd = ::CreateDialogIndirectParamA(hInst, lpDialogTemplate, pParentWnd->GetSafeHwnd(),
                                             &AfxDlgProc, 0);
    t_pDlgInit = saved;
    if (hWnd == NULL)
        return FALSE;
    if (m_hWnd != hWnd) {
        // The dialog never reached WM_INITDIALOG through us: do not leave a
        // window without its object.
        ::DestroyWindow(hWnd);
        return FALSE;
    }
    return TRUE;
}

INT_PTR CDialog::DoModal()
{
    HINSTANCE hInst = NULL;
    LPCDLGTEMPLATE lpTemplate = LoadDialogTemplate(m_lpszTemplateName, &hInst);
    if (lpTemplate == NULL)
        return -1;

    HWND hWndParent = CWnd::GetSafeOwner(m_pParentWnd)->GetSafeHwnd();
    BOOL bEnableParent = FALSE;
    if (hWndParent != NULL && hWndParent != ::GetDesktopWindow() && ::IsWindowEnabled(hWndParent)) {
        ::EnableWindow(hWndParent, FALSE);
        bEnableParent = TRUE;
    }

    m_bModal = TRUE;
    m_bEndModal = FALSE;
    m_nModalResult = -1;
    if (CreateIndirect(lpTemplate, CWnd::FromHandle(hWndParent), hInst)) {
        if (!m_bEndModal) {
            if (!::IsWindowVisible(m_hWnd))
                ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
            RunModalLoop();
        }
        if (m_hWnd != NULL)
            ::SetWindowPos(m_hWnd, NULL, 0, 0, 0, 0,
                           SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    }
    if (bEnableParent)
        ::EnableWindow(hWndParent, TRUE);
    if (hWndParent != NULL && ::GetActiveWindow() == m_hWnd)
        ::SetActiveWindow(hWndParent);
    if (m_hWnd != NULL)
        DestroyWindow();
    m_bModal = FALSE;
    return m_nModalResult;
}

int CDialog::RunModalLoop()
{
    LONG idleCount = 0;
    while (!m_bEndModal && m_hWnd != NULL) {
        MSG msg;
        if (!::PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE)) {
            AfxUiOnIdle(0);
            if (m_hWnd != NULL && !m_bEndModal)
                ::SendMessageA(m_hWnd, WM_KICKIDLE, MSGF_DIALOGBOX, idleCount++);
        }
        const BOOL got = ::GetMessageA(&msg, NULL, 0, 0);
        if (got == 0 || got == -1) {
            // WM_QUIT: end the dialog and leave the quit for the outer loop.
            ::PostQuitMessage((int)msg.wParam);
            if (!m_bEndModal) {
                m_nModalResult = IDCANCEL;
                m_bEndModal = TRUE;
            }
            break;
        }
        if (!AfxPreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return (int)m_nModalResult;
}

void CDialog::EndDialog(int nResult)
{
    if (m_bModal) {
        m_nModalResult = nResult;
        m_bEndModal = TRUE;
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);   // wakes the modal loop
    } else {
        ::EndDialog(m_hWnd, nResult);
    }
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST && m_hWnd != NULL &&
        (pMsg->hwnd == m_hWnd || ::IsChild(m_hWnd, pMsg->hwnd)))
        return ::IsDialogMessageA(m_hWnd, pMsg);
    return FALSE;
}
