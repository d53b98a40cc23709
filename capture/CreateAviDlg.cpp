#include "capture/CreateAviDlg.h"

#include <commctrl.h>

CCreateAviDlg::CCreateAviDlg(CWnd* pParent) : CDialog(IDD_CREATE_AVI, pParent), m_bCancelRequested(FALSE)
{
}

CCreateAviDlg::~CCreateAviDlg()
{
    if (m_hWnd)
        DestroyWindow();
}

BOOL CCreateAviDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    ::SendDlgItemMessageA(m_hWnd, IDC_CREATE_AVI_PROGRESS, PBM_SETRANGE32, 0, 100);
    ::SendDlgItemMessageA(m_hWnd, IDC_CREATE_AVI_PROGRESS, PBM_SETPOS, 0, 0);
    SetDlgItemText(IDC_CREATE_AVI_TIME_LEFT, "");
    return TRUE;
}

void CCreateAviDlg::SetProgress(int rangeMax, int position)
{
    if (!m_hWnd)
        return;
    ::SendDlgItemMessageA(m_hWnd, IDC_CREATE_AVI_PROGRESS, PBM_SETRANGE32, 0, rangeMax);
    ::SendDlgItemMessageA(m_hWnd, IDC_CREATE_AVI_PROGRESS, PBM_SETPOS, position, 0);
}

void CCreateAviDlg::SetTimeLeft(int seconds)
{
    if (!m_hWnd)
        return;
    CString text;
    if (seconds > 0)
        text.Format(IDS_CREATE_AVI_TIME_LEFT, seconds);
    SetDlgItemText(IDC_CREATE_AVI_TIME_LEFT, text);
}

void CCreateAviDlg::OnCancel()
{
    m_bCancelRequested = TRUE;
}

// Enter in a progress window must not end it.
void CCreateAviDlg::OnOK()
{
}
