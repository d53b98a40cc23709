#include "app/WatermarkOptionsPage.h"

#include "resources/ids_pickers.h"
#include "settings/RecorderPrefs.h"

CWatermarkOptionsPage::CWatermarkOptionsPage(CRecorderPrefs* pPrefs, CWnd* pHostWnd, CWnd* pParentWnd)
    : CWatermarkPage(pHostWnd, pParentWnd), m_pPrefs(pPrefs)
{
}

CWatermarkOptionsPage::~CWatermarkOptionsPage() = default;

UINT CWatermarkOptionsPage::GetHintCaptionId()
{
    return IDS_PICKER_TIP_CAPTION;   // the caption of the recorder's hints
}

BOOL CWatermarkOptionsPage::IsHintDue()
{
    return m_pPrefs != NULL && (m_pPrefs->m_flags & kHintDoneFlag) == 0;
}

void CWatermarkOptionsPage::SetHintDue(BOOL bShowAgain)
{
    if (m_pPrefs != NULL)
        m_pPrefs->SetFlags(kHintDoneFlag, !bShowAgain);
}

void CWatermarkOptionsPage::LoadSettings()
{
    if (m_pPrefs != NULL)
        m_values.Assign(m_pPrefs->m_watermark);
    m_values.m_nWorking = 0;
}

void CWatermarkOptionsPage::StoreSettings()
{
    m_values.m_nWorking = 0;
    if (m_pPrefs == NULL)
        return;
    m_pPrefs->m_watermark.Assign(m_values);   // working field 0, as just set
    m_pPrefs->m_watermark.m_bOverlay = TRUE;
}
