#pragma once
#include "capture/WatermarkPage.h"

class CRecorderPrefs;

// The recorder window's watermark page: it edits the watermark block of the
// preferences record it is given and keeps the transparent-image hint's
// "do not show again" answer in that record's flag word.
class CWatermarkOptionsPage : public CWatermarkPage {
public:
    // The flag-word bit set once the user asks not to see the hint again.
    static const DWORD kHintDoneFlag = 0x2000000;

    // pPrefs may be null: the page then starts from the stored defaults,
    // stores nowhere and never shows the hint.
    CWatermarkOptionsPage(CRecorderPrefs* pPrefs, CWnd* pHostWnd, CWnd* pParentWnd);
    ~CWatermarkOptionsPage() override;

protected:
    UINT GetHintCaptionId() override;
    BOOL IsHintDue() override;
    void SetHintDue(BOOL bShowAgain) override;
    void LoadSettings() override;
    void StoreSettings() override;

private:
    CRecorderPrefs* m_pPrefs;
};
