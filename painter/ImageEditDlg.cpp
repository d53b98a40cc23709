#include "painter/ImageEditDlg.h"

#include "catalogue/DataShapeObject.h"
#include "controls/ImageTipDlg.h"
#include "resources/ids_painter.h"
#include "resources/ids_pickers.h"
#include "settings/RecorderPrefs.h"

IMPLEMENT_DYNCREATE(CImageEditDlg, CPntBitmapEditDlg)

BEGIN_MESSAGE_MAP(CImageEditDlg, CPntBitmapEditDlg)
    ON_MESSAGE(WM_PNT_TEXT_BAR_OPENED, OnTextBarOpened)
END_MESSAGE_MAP()

CImageEditDlg::CImageEditDlg(CWnd* parent) : CPntBitmapEditDlg(parent), m_textTipPending(TRUE), m_prefs(NULL)
{
}

// Shown at most once per run, and never again once the user unticks
// "show again".
LRESULT CImageEditDlg::OnTextBarOpened(WPARAM, LPARAM)
{
    if (!m_prefs || (m_prefs->m_flags & kFlagNoTextToolTip) || !m_textTipPending)
        return 0;
    m_textTipPending = FALSE;
    CImageTipDlg tip(this, IDS_PICKER_TIP_CAPTION);
    tip.SetShowAgain(TRUE);
    tip.SetTipStrings(IDS_PNT_TEXT_TIP_TITLE, IDS_PNT_TEXT_TIP_TEXT);
    tip.DoModal();
    if (!tip.GetShowAgain())
        m_prefs->SetFlags(kFlagNoTextToolTip, TRUE);
    return 0;
}

BOOL CImageEditDlg::OnInitDialog()
{
    if (!CPntBitmapEditDlg::OnInitDialog())
        return FALSE;
    for (UINT id = IDC_PNT_SCALE_V; id <= IDC_PNT_SCALE_MAX; ++id) {
        if (CWnd* item = GetDlgItem(id))
            item->ShowWindow(SW_HIDE);
        AddLayoutRule(id, CFlexHorzRule(0, 0), CFlexVertRule(1, 1));
    }
    return TRUE;
}

BOOL EditShapeImage(CPntEditSettings& settings, CDataShapeObject* shape)
{
    if (!shape)
        return FALSE;
    CImageEditDlg dlg(CWnd::FromHandle(settings.owner));
    dlg.SetPrefs(settings.prefs);
    CPaintControl& ctrl = dlg.GetPaintCtrl();
    ctrl.SetForeColor(settings.drawColour);
    ctrl.SetTransparentColor(settings.transparentColour);
    ctrl.SetPenWidth(settings.lineWidth);
    ctrl.SetEraserWidth(settings.eraserWidth);
    ctrl.SetTransparentColor(CPaintControl::kNoColour);
    ctrl.ShowTransparency(FALSE);
    ctrl.SetTransparentColor(shape->m_transparentColour);
    ctrl.SetImage(&shape->m_image);
    if (dlg.DoModal() != IDOK)
        return FALSE;

    settings.drawColour = ctrl.GetForeColor();
    settings.transparentColour = ctrl.GetTransparentColor();
    settings.lineWidth = ctrl.GetPenWidth();
    settings.eraserWidth = ctrl.GetEraserWidth();
    BOOL changed = FALSE;
    // A shape without a picture gets the blank one made in the dialog even
    // when nothing was drawn on it.
    if (ctrl.IsModified() || (shape->m_image.IsEmpty() && ctrl.HasImage())) {
        CDib edited;
        if (ctrl.CopyImageTo(&edited)) {
            shape->m_image.Copy(&edited);
            changed = TRUE;
        }
    }
    if (shape->m_transparentColour != settings.transparentColour) {
        shape->m_transparentColour = settings.transparentColour;
        changed = TRUE;
    }
    return changed;
}
