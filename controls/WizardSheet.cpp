#include "controls/WizardSheet.h"

#include "framework/Module.h"
#include "settings/FileUtil.h"

namespace {
DWORD ComctlVersion()
{
    return GetDllVersion("Comctl32.dll");
}
}  // namespace

CWizardSheet::VersionProc CWizardSheet::s_pfnComctlVersion = &ComctlVersion;

IMPLEMENT_DYNAMIC(CWizardSheet, CPropertySheet)

CWizardSheet::CWizardSheet(LPCTSTR pszCaption, UINT nIDHeader, CWnd* pParentWnd, UINT iSelectPage)
    : CPropertySheet(pszCaption, pParentWnd, iSelectPage)
{
    const DWORD version = s_pfnComctlVersion();
    if (version < 0x50050) {
        m_psh.dwFlags |= PSH_WIZARD;
    } else {
        m_psh.dwFlags |= PSH_WIZARD97 | PSH_HEADER;
        m_psh.pszbmHeader = MAKEINTRESOURCEA(nIDHeader);
    }
    m_psh.hInstance = AfxGetResourceHandle();
    m_psh.dwFlags |= PSH_WIZARD;
}
