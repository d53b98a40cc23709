#include "capture/WaveScriptEndDlg.h"

#include "framework/ui/MsgMap.h"

BEGIN_MESSAGE_MAP(CWaveScriptEndDlg, CDialog)
    ON_BN_CLICKED(IDC_WAVE_SCRIPT_CONTINUE, OnContinue)
    ON_BN_CLICKED(IDC_WAVE_SCRIPT_REPLAY, OnReplay)
    ON_BN_CLICKED(IDC_WAVE_SCRIPT_STOP, OnStop)
END_MESSAGE_MAP()

CWaveScriptEndDlg::CWaveScriptEndDlg(CWnd* pParent) : CDialog(IDD, pParent)
{
}

void CWaveScriptEndDlg::OnContinue()
{
    EndDialog(kContinue);
}

void CWaveScriptEndDlg::OnReplay()
{
    EndDialog(kReplay);
}

void CWaveScriptEndDlg::OnStop()
{
    EndDialog(kStop);
}

void CWaveScriptEndDlg::OnCancel()
{
    EndDialog(kContinue);
}

void CWaveScriptEndDlg::OnOK()
{
    EndDialog(kContinue);
}
