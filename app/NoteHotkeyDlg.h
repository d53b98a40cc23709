#pragma once
#include "framework/ui/Dialog.h"

class CRecorderPrefs;

// The screen-note hot keys: next, previous and show/hide layout, in the
// preferences' key codes (0x100 Ctrl, 0x200 Alt, 0x400 Shift, 0x800 with
// the low byte the function-key number, else the low byte the virtual
// key). On OK the preferences hold the new keys. UI thread.
class CNoteHotkeyDlg : public CDialog {
public:
    CNoteHotkeyDlg(CRecorderPrefs* prefs, CWnd* parent);
    BOOL OnInitDialog() override;
    void OnOK() override;

    // Between the preferences' codes and the hot-key control's values.
    static WORD CodeToControl(DWORD code);
    static DWORD ControlToCode(WORD value);

private:
    CRecorderPrefs* m_prefs;
};
