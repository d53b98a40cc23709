#include "capture/AutoFrameRate.h"

#include "controls/TipDlg.h"
#include "resources/ids_capture.h"
#include "settings/RecorderPrefs.h"

DWORD ComputeAutoFrameRate(DWORD frames, DWORD elapsedMs, BOOL grabberMode, WORD bitCount)
{
    if (elapsedMs == 0)
        elapsedMs = 1;
    // 64-bit products: a count near 2^32 must not wrap into a small rate.
    unsigned long long rate = ((unsigned long long)frames + 1) * 95000ull / ((unsigned long long)elapsedMs * 100ull);
    if (rate < 1)
        rate = 1;
    if (grabberMode)
        rate *= bitCount == 8 ? 2 : bitCount == 32 ? 4 : 3;
    return rate > 15 ? 15 : (DWORD)rate;
}

BOOL OfferAutoFrameRateTip(CRecorderPrefs* prefs, DWORD rate, CWnd* parent)
{
    if (rate != 1 || prefs == NULL || (prefs->m_flags & kFlagNoAutoRateTip))
        return FALSE;
    CTipDlg dialog(parent);
    dialog.SetShowAgain(TRUE);
    dialog.SetTipStrings(IDS_AUTO_RATE_TIP_TITLE, IDS_AUTO_RATE_TIP_TEXT);
    if (dialog.DoModal() == IDOK && !dialog.GetShowAgain())
        prefs->SetFlags(kFlagNoAutoRateTip, TRUE);
    return TRUE;
}
