#pragma once
#include "painter/ImageEditDlg.h"

class CDataShapeObject;

// The recorder's editor of a shape item (template 28101, caption "编辑文字"):
// the picture, its caption typed with the text tool and kept as a layer, and
// the shape's horizontal and vertical display scale set with two sliders,
// optionally kept equal. The paint control edits at 100 % with the display
// scales. UI thread.
class CItemImageEditDlg : public MyCPntBitmapEditDlg {
public:
    explicit CItemImageEditDlg(CDataShapeObject* shape);

    BOOL OnInitDialog() override;
    void OnOK() override;
    // Writes caption, alignment, text area and scales back into the shape.
    void StoreIntoShape();

    CSliderCtrl& GetScaleSliderX() { return m_scaleX; }
    CSliderCtrl& GetScaleSliderY() { return m_scaleY; }

protected:
    void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
    void OnKeepClicked();
    LRESULT OnFocusText(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

    CSliderCtrl m_scaleX;
    CSliderCtrl m_scaleY;
    CButton m_keep;
    CDataShapeObject* m_shape;
};

// Runs the item editor on a shape; on OK the caption, alignment, scales and
// (when drawn on) the picture go back into the shape. TRUE on OK. Of the
// settings only the owner window and the open-dialog field are used.
BOOL OpenItemImageEditor(CPntEditSettings& settings, CDataShapeObject* shape);
