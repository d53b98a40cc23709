#pragma once
#include "controls/TipDlg.h"

// A hint with a picture: the tip dialog with the information icon beside its
// title and text, a caption of the owner's choosing and the show-again box.
// The caller sets the title and text (SetTipStrings), runs it with DoModal
// and reads the show-again answer afterwards.
class CImageTipDlg : public CTipDlg {
public:
    CImageTipDlg(CWnd* pParentWnd, UINT nCaptionId);
    ~CImageTipDlg() override;
};
