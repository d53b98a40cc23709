#include "app/PostSaveOptionsDlg.h"

#include "settings/RecorderPrefs.h"

namespace {

const UINT kRadios[3] = {IDC_POST_SAVE_EDIT, IDC_POST_SAVE_PRODUCE, IDC_POST_SAVE_RECORD};

}  // namespace

CPostSaveOptionsDlg::CPostSaveOptionsDlg(CRecorderPrefs* owner, CWnd* parent)
    : CDialog(IDD_POST_SAVE_OPTIONS, parent), m_owner(owner), m_choice(owner ? owner->m_lastSaveChoice : 2)
{
}

// A choice outside 0 to 2 checks no button.
BOOL CPostSaveOptionsDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (int i = 0; i < 3; ++i)
        ::CheckDlgButton(m_hWnd, kRadios[i], m_choice == i ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

// With no button checked the choice stays as it was.
void CPostSaveOptionsDlg::OnOK()
{
    for (int i = 0; i < 3; ++i)
        if (::IsDlgButtonChecked(m_hWnd, kRadios[i]) == BST_CHECKED)
            m_choice = i;
    if (m_owner)
        m_owner->m_lastSaveChoice = m_choice;
    EndDialog(IDOK);
}
