#pragma once
#include "painter/PntBitmapEditDlg.h"

class CDataShapeObject;

// The bitmap edit dialog as the recorder uses it for shape pictures: the
// scale group stays hidden. UI thread.
class CImageEditDlg : public CPntBitmapEditDlg {
    DECLARE_DYNCREATE(CImageEditDlg)
public:
    explicit CImageEditDlg(CWnd* parent = NULL);

    BOOL OnInitDialog() override;

protected:
    BOOL m_textTipPending;
};

// The editor settings a caller keeps between runs of EditShapeImage.
struct CPntEditSettings {
    HWND owner = NULL;
    COLORREF drawColour = RGB(0, 0, 0);
    COLORREF transparentColour = 0xFFFFFFFF;
    int lineWidth = 1;
    int eraserWidth = 4;
    // Where the owner keeps the dialog that is open now (set while an item
    // editor runs, cleared afterwards), so it can forward to it; may be null.
    CDialog** openDialog = nullptr;
};

// Edits a shape's picture in CImageEditDlg. On OK the settings take back the
// control's colours and widths, the shape takes the edited picture when it
// was modified (or the shape had none: the dialog then first asks for the
// size of a blank one) and the transparent colour when it changed. TRUE
// exactly when the shape changed; Cancel changes nothing.
BOOL EditShapeImage(CPntEditSettings& settings, CDataShapeObject* shape);
