#pragma once
#include "framework/ui/Controls.h"
#include "painter/PntCtrl.h"
#include "painter/PntDlg.h"

// The bitmap edit dialog (template 28101, "编辑图像"): a paint control with
// a vertical zoom slider. The caller puts an image into the control before
// DoModal and reads it (and the modified flag, colours and widths) back
// after IDOK. UI thread.
class CPntBitmapEditDlg : public CPntDlg {
    DECLARE_DYNAMIC(CPntBitmapEditDlg)
public:
    explicit CPntBitmapEditDlg(CWnd* parent);

    CPntCtrl& GetPaintCtrl() { return m_ctrl; }
    CSliderCtrl& GetZoomSlider() { return m_zoom; }

    BOOL OnInitDialog() override;

protected:
    void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    DECLARE_MESSAGE_MAP()

    CSliderCtrl m_zoom;
    CPntCtrl m_ctrl;
};
