#pragma once
#include "framework/ui/Dialog.h"

class CCatManager;

// Lists the open libraries by name; on OK m_selected is the chosen page
// (-1 for none).
class CCatChooserDlg : public CDialog {
public:
    CCatChooserDlg(CCatManager* manager, CWnd* parent);
    BOOL OnInitDialog() override;
    void OnOK() override;
    int m_selected;

private:
    CCatManager* m_manager;
};
