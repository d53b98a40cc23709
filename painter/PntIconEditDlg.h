#pragma once
#include "painter/PntCtrl.h"
#include "painter/PntDlg.h"
#include "painter/PntToolBar.h"

// Edits a small icon (template 28102, "图标编辑器") at 700 % with a framed
// preview of the icon at its real size. The caller gives the icon with
// SetIcon before DoModal and reads the control's image (and its transparent
// colour) after IDOK. UI thread.
class CPntIconEditDlg : public CPntDlg {
    DECLARE_DYNAMIC(CPntIconEditDlg)
public:
    explicit CPntIconEditDlg(CWnd* parent);

    // The colour bitmap becomes the image (converted to 8 bits when it has no
    // colour table) and the mask its transparent colour; the mask import's
    // result, FALSE when the bitmap cannot be taken.
    int SetIcon(HBITMAP colour, HBITMAP mask);
    CPntCtrl& GetPaintCtrl() { return m_ctrl; }

    BOOL OnInitDialog() override;

protected:
    void PaintPreview();
    BOOL OnEraseBkgnd(CDC* pDC);
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    LRESULT OnKickIdle(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

    CWnd m_preview;
    CPntCtrl m_ctrl;
    CPntToolBar m_toolBar;
};
