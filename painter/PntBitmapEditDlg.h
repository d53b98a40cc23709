#pragma once
#include "framework/ui/Controls.h"
#include "painter/PntCtrl.h"
#include "painter/PntDlg.h"
#include "painter/PntToolBar.h"

// The bitmap edit dialog (template 28101, "编辑图像"): a paint control with
// a vertical zoom slider. The caller puts an image into the control before
// DoModal and reads it (and the modified flag, colours and widths) back
// after IDOK. UI thread.
class CPntBitmapEditDlg : public CPntDlg {
    DECLARE_DYNAMIC(CPntBitmapEditDlg)
public:
    explicit CPntBitmapEditDlg(CWnd* parent);

    CPaintControl& GetPaintCtrl() { return m_ctrl; }
    CSliderCtrl& GetZoomSlider() { return m_zoom; }
    CPntToolBar& GetToolBar() { return m_toolBar; }

    BOOL OnInitDialog() override;

protected:
    // The recorder's twin: its paint control is the recorder's, and its own
    // initialisation stops after the base dialog's and the control's binding;
    // the item dialog sets up the rest.
    CPntBitmapEditDlg(CWnd* parent, CPaintControl::Variant variant, BOOL fullInit);
    void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    LRESULT OnKickIdle(WPARAM, LPARAM);
    // Creates the tool bar on the place marked by control 28005.
    BOOL PlaceToolBar(DWORD style);
    DECLARE_MESSAGE_MAP()

    CSliderCtrl m_zoom;
    CPaintControl m_ctrl;
    CPntToolBar m_toolBar;
    const BOOL m_fullInit;
};

// The recorder's bitmap edit dialog (see the protected constructor above).
class MyCPntBitmapEditDlg : public CPntBitmapEditDlg {
public:
    explicit MyCPntBitmapEditDlg(CWnd* parent) : CPntBitmapEditDlg(parent, CPaintControl::kRecorder, FALSE) {}
};
