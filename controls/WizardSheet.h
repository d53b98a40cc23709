#pragma once
#include "framework/ui/PropertySheet.h"

// The record wizard's property sheet: the wizard-97 look with a header
// bitmap where comctl32 5.80 or later supports it, the classic wizard below.
class CWizardSheet : public CPropertySheet {
    DECLARE_DYNAMIC(CWizardSheet)
public:
    CWizardSheet(LPCTSTR pszCaption, UINT nIDHeader, CWnd* pParentWnd = NULL, UINT iSelectPage = 0);

    // (major << 16) | minor of comctl32 as the sheet sees it; tests replace it
    // to stand for older libraries.
    typedef DWORD (*VersionProc)();
    static VersionProc s_pfnComctlVersion;
};
