#pragma once
#include "controls/FlexLayout.h"
#include "framework/ui/Dialog.h"

// The apply control of a flexible dialog: disabled at start, enabled by the
// derived dialog when its data change, disabled again after a valid apply.
#define IDC_FLEX_APPLY 12321

// The base of the resizable dialogs: each control added with AddLayoutRule
// follows its rules when the dialog grows, and the dialog cannot be made
// smaller than it was created. OK (and the apply control) run UpdateData and
// then Validate with the dialog's value. UI thread only.
class CNSFlexDialog : public CDialog {
    DECLARE_DYNAMIC(CNSFlexDialog)
public:
    CNSFlexDialog(UINT nIDTemplate, CWnd* pParentWnd, DWORD value);
    ~CNSFlexDialog() override;

    void AddLayoutRule(UINT nID, const CFlexHorzRule& horz, const CFlexVertRule& vert);

    virtual BOOL Validate(DWORD value);
    virtual void SetValue(DWORD value) { m_value = value; }
    DWORD GetValue() const { return m_value; }

    BOOL OnInitDialog() override;
    void OnOK() override;

    CSize GetMinimumSize() const { return CSize(m_minCx, m_minCy); }
    BOOL IsApplyEnabled() const { return m_bApplyEnabled; }
    // Called by derived dialogs when their data change.
    void EnableApply();
    CFlexLayout* GetLayout() const { return m_pLayout; }

protected:
    void OnApply();
    void OnGetMinMaxInfo(MINMAXINFO* lpMMI);
    void OnSize(UINT nType, int cx, int cy);
    DECLARE_MESSAGE_MAP()

    CFlexLayout* m_pLayout;
    int m_minCx;
    int m_minCy;
    BOOL m_bApplyEnabled;
    DWORD m_value;
};
