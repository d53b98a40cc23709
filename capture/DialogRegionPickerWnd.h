#pragma once
// The region picker opened for a dialog: the fixed-region dialog or the
// record wizard's region page. The dragged band becomes the fixed capture
// rectangle and goes to the owner; nothing is posted, and the picker is
// handed back to its host whether the user picks or cancels. UI thread only.
#include "capture/AreaPicker.h"

class CDialogRegionPickerWnd : public CRegionPickerWnd {
public:
    // Owner kind 0: the fixed-region dialog.
    CDialogRegionPickerWnd(CRecorderPrefs* prefs, IAreaPickerHost* host, IFixedRegionOwner* dialog);
    // Owner kind 1: the record wizard's region page.
    CDialogRegionPickerWnd(CRecorderPrefs* prefs, IAreaPickerHost* host, IRegionPageOwner* page);

    int GetOwnerKind() const { return m_ownerKind; }

    void Done() override;
    void Cancel() override;

private:
    IFixedRegionOwner* m_dialog;   // not owned
    IRegionPageOwner* m_page;      // not owned
    int m_ownerKind;
};
