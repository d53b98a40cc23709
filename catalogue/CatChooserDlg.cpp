#include "catalogue/CatChooserDlg.h"

#include "catalogue/CatManager.h"
#include "catalogue/CataloguePropertyObject.h"
#include "resources/ids_catwin.h"

CCatChooserDlg::CCatChooserDlg(CCatManager* manager, CWnd* parent)
    : CDialog(IDD_CAT_CHOOSER, parent), m_selected(-1), m_manager(manager)
{
}

BOOL CCatChooserDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (int i = 0; m_manager && i < m_manager->GetPageCount(); ++i)
        SendDlgItemMessage(IDC_CAT_CHOOSER_LIST, LB_ADDSTRING, 0, (LPARAM)(const char*)m_manager->GetPageAt(i)->m_name);
    return TRUE;
}

void CCatChooserDlg::OnOK()
{
    const LRESULT sel = SendDlgItemMessage(IDC_CAT_CHOOSER_LIST, LB_GETCURSEL);
    m_selected = sel == LB_ERR ? -1 : (int)sel;
    CDialog::OnOK();
}
