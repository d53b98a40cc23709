#pragma once
#include "controls/NSFlexDialog.h"

// The resizable base of the image editor's dialogs: remembers its window
// rectangle in the application profile (section "PaintDlg:<template id>")
// and opens there again when that lies inside the work area, else centred
// on its parent. UI thread.
class CPntDlg : public CNSFlexDialog {
    DECLARE_DYNAMIC(CPntDlg)
public:
    CPntDlg(UINT templateId, CWnd* parent);

    static CString SectionFor(UINT templateId, LPCSTR prefix = "PaintDlg:");
    virtual BOOL SaveSize();
    virtual BOOL RestoreSize();

    BOOL OnInitDialog() override;

protected:
    void OnWindowPosChanged(WINDOWPOS* pos);
    DECLARE_MESSAGE_MAP()

    UINT m_templateId;
    LPCSTR m_sectionPrefix;   // "PaintDlg:", or another prefix a subclass sets
    BOOL m_sizeRestored;   // moves before the restore are not saved
};
