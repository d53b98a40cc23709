#pragma once
// CPostSaveOptionsDlg: asks, after a recording was saved, what the user wants
// to do next: 0 edit it, 1 produce a shareable video, 2 record something
// else. Data in, data out: reads the choice from the preferences record it is
// given and writes it back on OK; Cancel changes nothing. UI thread.
#include "framework/ui/Dialog.h"
#include "resources/ids_playback.h"

class CRecorderPrefs;

class CPostSaveOptionsDlg : public CDialog {
public:
    enum { IDD = IDD_POST_SAVE_OPTIONS };

    // owner must not be null: OK writes the choice back to it.
    CPostSaveOptionsDlg(CRecorderPrefs* owner, CWnd* parent);

    int GetChoice() const { return m_choice; }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    CRecorderPrefs* m_owner;
    int m_choice;
};
