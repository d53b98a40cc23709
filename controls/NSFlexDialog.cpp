#include "controls/NSFlexDialog.h"

IMPLEMENT_DYNAMIC(CNSFlexDialog, CDialog)

BEGIN_MESSAGE_MAP(CNSFlexDialog, CDialog)
    ON_BN_CLICKED(IDC_FLEX_APPLY, OnApply)
    ON_WM_GETMINMAXINFO()
    ON_WM_SIZE()
END_MESSAGE_MAP()

CNSFlexDialog::CNSFlexDialog(UINT nIDTemplate, CWnd* pParentWnd, DWORD value)
    : CDialog(nIDTemplate, pParentWnd), m_pLayout(new CFlexLayout(this)), m_minCx(0), m_minCy(0),
      m_bApplyEnabled(FALSE), m_value(value)
{
}

CNSFlexDialog::~CNSFlexDialog()
{
    delete m_pLayout;
}

void CNSFlexDialog::AddLayoutRule(UINT nID, const CFlexHorzRule& horz, const CFlexVertRule& vert)
{
    m_pLayout->Add(nID, horz, vert);
}

BOOL CNSFlexDialog::Validate(DWORD)
{
    return TRUE;
}

// The size after initialisation is the smallest the dialog may take; its
// client size is the base the rules measure growth from.
BOOL CNSFlexDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    CRect rc;
    GetWindowRect(&rc);
    m_minCx = rc.Width();
    m_minCy = rc.Height();
    CRect client;
    GetClientRect(&client);
    m_pLayout->SetBaseSize(client.Width(), client.Height());
    m_bApplyEnabled = FALSE;
    HWND hApply = ::GetDlgItem(m_hWnd, IDC_FLEX_APPLY);
    if (hApply != NULL)
        ::EnableWindow(hApply, FALSE);
    return TRUE;
}

void CNSFlexDialog::OnOK()
{
    if (UpdateData(TRUE) && Validate(m_value))
        EndDialog(IDOK);
}

void CNSFlexDialog::EnableApply()
{
    m_bApplyEnabled = TRUE;
    HWND hApply = ::GetDlgItem(m_hWnd, IDC_FLEX_APPLY);
    if (hApply != NULL)
        ::EnableWindow(hApply, TRUE);
}

void CNSFlexDialog::OnApply()
{
    if (!UpdateData(TRUE) || !Validate(m_value))
        return;
    m_bApplyEnabled = FALSE;
    HWND hApply = ::GetDlgItem(m_hWnd, IDC_FLEX_APPLY);
    if (hApply != NULL)
        ::EnableWindow(hApply, FALSE);
}

void CNSFlexDialog::OnGetMinMaxInfo(MINMAXINFO* lpMMI)
{
    Default();
    if (m_minCx > 0 && m_minCy > 0) {
        lpMMI->ptMinTrackSize.x = m_minCx;
        lpMMI->ptMinTrackSize.y = m_minCy;
    }
}

void CNSFlexDialog::OnSize(UINT nType, int cx, int cy)
{
    Default();
    if (nType == SIZE_MINIMIZED)
        return;
    m_pLayout->Reposition(cx, cy);
    if (LOBYTE(LOWORD(::GetVersion())) < 4)
        Invalidate();
}
