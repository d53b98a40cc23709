#include "controls/ImageTipDlg.h"

CImageTipDlg::CImageTipDlg(CWnd* pParentWnd, UINT nCaptionId) : CTipDlg(pParentWnd)
{
    CString caption;
    if (nCaptionId != 0 && caption.LoadString(nCaptionId))
        SetCaption(caption);
    SetIcon(IDI_INFORMATION);
    SetShowAgain(TRUE);
}

CImageTipDlg::~CImageTipDlg() = default;
