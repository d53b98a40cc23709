#pragma once
// The question at the end of an audio script during a recording: go on
// without the script (1), play it again (2) or stop the recording (0).
// Modal; shown by the recorder engine's capture thread.
#include "framework/ui/Dialog.h"
#include "resources/ids_capture.h"

class CWaveScriptEndDlg : public CDialog {
public:
    enum { IDD = IDD_WAVE_SCRIPT_END };
    enum { kStop = 0, kContinue = 1, kReplay = 2 };

    explicit CWaveScriptEndDlg(CWnd* pParent = NULL);

protected:
    void OnContinue();
    void OnReplay();
    void OnStop();
    // Esc and the close box stop nothing: they go on without the script.
    void OnCancel() override;
    void OnOK() override;
    DECLARE_MESSAGE_MAP()
};
