#include "painter/ItemImageEditDlg.h"

#include "catalogue/DataShapeObject.h"
#include "painter/PntTextFmtBar.h"
#include "resources/ids_painter.h"

#include <cstring>

namespace {

// The caption's position word and the control's alignment.
int AlignmentFromPosition(int position)
{
    return position == 16 ? 1 : position == 32 ? 2 : 0;
}

int PositionFromAlignment(int alignment)
{
    return alignment == 1 ? 16 : alignment == 2 ? 32 : 0;
}

void SetupSlider(CSliderCtrl& slider, int position)
{
    slider.SendMessage(TBM_SETRANGE, FALSE, MAKELPARAM(10, 600));
    for (int tick = 100; tick <= 500; tick += 100)
        slider.SendMessage(TBM_SETTIC, 0, tick);
    slider.SetPos(position);
}

}  // namespace

BEGIN_MESSAGE_MAP(CItemImageEditDlg, MyCPntBitmapEditDlg)
    ON_WM_HSCROLL()
    ON_BN_CLICKED(IDC_PNT_SCALE_KEEP, OnKeepClicked)
    ON_MESSAGE(WM_PNT_FOCUS_TEXT, OnFocusText)
END_MESSAGE_MAP()

CItemImageEditDlg::CItemImageEditDlg(CDataShapeObject* shape) : MyCPntBitmapEditDlg(NULL), m_shape(shape)
{
}

BOOL CItemImageEditDlg::OnInitDialog()
{
    MyCPntBitmapEditDlg::OnInitDialog();
    if (!m_ctrl.m_hWnd || (!m_ctrl.HasImage() && !m_ctrl.NewImageDialog())) {
        EndDialog(IDCANCEL);
        return FALSE;
    }
    CString caption;
    caption.LoadString(IDS_PNT_ITEM_CAPTION);
    SetWindowText(caption);
    ::SetForegroundWindow(m_hWnd);

    if (m_zoom.m_hWnd)
        SetupSlider(m_zoom, 100);
    m_scaleX.SubclassDlgItem(IDC_PNT_SCALE_H, this);
    m_scaleY.SubclassDlgItem(IDC_PNT_SCALE_V, this);
    m_keep.SubclassDlgItem(IDC_PNT_SCALE_KEEP, this);
    m_keep.SetCheck(BST_UNCHECKED);
    for (UINT id : { IDC_PNT_ZOOM, IDC_PNT_ZOOM_MIN, IDC_PNT_ZOOM_100, IDC_PNT_ZOOM_MAX })
        if (CWnd* item = GetDlgItem(id))
            item->ShowWindow(SW_HIDE);
    for (UINT id = IDC_PNT_SCALE_V; id <= IDC_PNT_SCALE_MAX; ++id)
        if (CWnd* item = GetDlgItem(id))
            item->ShowWindow(SW_SHOW);

    m_ctrl.SetTool(CPaintControl::kText);
    m_ctrl.SetGrid(TRUE, 600);
    m_ctrl.ShowTransparency(TRUE);
    m_ctrl.SetCentered(TRUE);
    m_ctrl.ResetImage();
    m_ctrl.SetTool(CPaintControl::kText);

    int widthPercent = 100, heightPercent = 100;
    if (m_shape) {
        const CTextStyle& c = m_shape->m_caption;
        m_ctrl.SetTextAlignment(AlignmentFromPosition(c.m_posX));
        LOGFONT lf;
        std::memset(&lf, 0, sizeof(lf));
        lf.lfHeight = c.m_fontHeight;
        lf.lfWeight = c.m_fontWeight != 0 ? c.m_fontWeight : FW_NORMAL;
        lf.lfItalic = (BYTE)c.m_fontItalic;
        lf.lfUnderline = (BYTE)c.m_fontUnderline;
        lf.lfPitchAndFamily = (BYTE)c.m_fontPitchFamily;
        lf.lfCharSet = (BYTE)c.m_fontCharSet;
        ::lstrcpynA(lf.lfFaceName, c.m_faceName, LF_FACESIZE);
        m_ctrl.SetTextFont(lf);
        if (c.m_rect.right != 0 || c.m_rect.bottom != 0)
            m_ctrl.SetSelection(CRect(c.m_rect));
        m_ctrl.SetForeColor(c.m_textColor);
        m_ctrl.SetText(c.m_text);
        m_ctrl.GetTextBar().SetText(c.m_text);
        widthPercent = m_shape->m_widthPercent;
        heightPercent = m_shape->m_heightPercent;
    }
    m_ctrl.SetScaleX(widthPercent);
    m_ctrl.SetScaleY(heightPercent);
    SetupSlider(m_scaleX, widthPercent);
    SetupSlider(m_scaleY, heightPercent);

    PlaceToolBar(WS_CHILD | 0x10);   // created hidden
    const UINT moving[] = { IDOK, IDCANCEL, IDC_PNT_ZOOM, IDC_PNT_ZOOM_MIN, IDC_PNT_ZOOM_100, IDC_PNT_ZOOM_MAX,
                            IDC_PNT_TOOLBAR_PLACE, IDC_PNT_TOOLBAR };
    for (UINT id : moving)
        AddLayoutRule(id, CFlexHorzRule(1, 1), CFlexVertRule(0, 0));
    AddLayoutRule(IDC_PNT_GRIP, CFlexHorzRule(1, 1), CFlexVertRule(1, 1));
    AddLayoutRule(IDC_PNT_CTRL, CFlexHorzRule(0, 1), CFlexVertRule(0, 1));
    for (UINT id = IDC_PNT_SCALE_V; id <= IDC_PNT_SCALE_MAX; ++id)
        AddLayoutRule(id, CFlexHorzRule(0, 0), CFlexVertRule(1, 1));
    CPntTextFmtBar& bar = m_ctrl.GetTextBar();
    if (bar.m_hWnd) {
        m_ctrl.ApplyFontToTextBar();
        bar.ModifyStyle(0, WS_VISIBLE | WS_CAPTION);
        bar.ModifyStyleEx(0, WS_EX_TOOLWINDOW);
    }
    CRect client;
    GetClientRect(&client);
    PostMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.Width(), client.Height()));
    PostMessage(WM_PNT_FOCUS_TEXT);
    return TRUE;
}

LRESULT CItemImageEditDlg::OnFocusText(WPARAM, LPARAM)
{
    m_ctrl.GetTextBar().FocusText();
    return 0;
}

void CItemImageEditDlg::OnHScroll(UINT, UINT, CScrollBar* bar)
{
    const bool horizontal = bar && bar->m_hWnd == m_scaleX.m_hWnd;
    const bool vertical = bar && bar->m_hWnd == m_scaleY.m_hWnd;
    if (horizontal || vertical) {
        CSliderCtrl& moved = horizontal ? m_scaleX : m_scaleY;
        CSliderCtrl& other = horizontal ? m_scaleY : m_scaleX;
        const int value = moved.GetPos();
        if (horizontal)
            m_ctrl.SetScaleX(value);
        else
            m_ctrl.SetScaleY(value);
        if (m_keep.GetCheck() == BST_CHECKED) {
            other.SetPos(value);
            if (horizontal)
                m_ctrl.SetScaleY(value);
            else
                m_ctrl.SetScaleX(value);
        }
    }
    Default();
}

void CItemImageEditDlg::OnKeepClicked()
{
    if (m_keep.GetCheck() != BST_CHECKED)
        return;
    m_scaleY.SetPos(m_scaleX.GetPos());
    SendMessage(WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, m_scaleY.GetPos()), (LPARAM)m_scaleY.m_hWnd);
}

void CItemImageEditDlg::OnOK()
{
    EndDialog(IDOK);
}

void CItemImageEditDlg::StoreIntoShape()
{
    if (!m_shape)
        return;
    CTextStyle& c = m_shape->m_caption;
    LOGFONT lf;
    m_ctrl.GetTextFont(&lf);
    c.m_fontHeight = lf.lfHeight;
    c.m_fontWeight = lf.lfWeight;
    c.m_fontItalic = lf.lfItalic;
    c.m_fontUnderline = lf.lfUnderline;
    c.m_fontPitchFamily = lf.lfPitchAndFamily;
    c.m_fontCharSet = lf.lfCharSet;
    c.m_faceName = lf.lfFaceName;
    c.MakeFont();
    c.m_textColor = m_ctrl.GetForeColor();
    c.m_posX = PositionFromAlignment(m_ctrl.GetTextAlignment());
    c.m_text = m_ctrl.GetText();
    c.m_rect = m_ctrl.GetSelection();
    // The shape's keep-aspect word is not this dialog's, except that it
    // cannot stay set for unequal percentages.
    m_shape->m_widthPercent = m_ctrl.GetScalePercentX();
    m_shape->m_heightPercent = m_ctrl.GetScalePercentY();
    if (m_shape->m_widthPercent != m_shape->m_heightPercent)
        m_shape->m_keepAspect = 0;
}

BOOL OpenItemImageEditor(CPntEditSettings& settings, CDataShapeObject* shape)
{
    if (!shape)
        return FALSE;
    CItemImageEditDlg dlg(shape);
    CPaintControl& ctrl = dlg.GetPaintCtrl();
    ctrl.SetTransparentColor(shape->m_transparentColour);
    ctrl.SetImage(&shape->m_image);
    if (settings.openDialog)
        *settings.openDialog = &dlg;
    const INT_PTR result = dlg.DoModal();
    if (settings.openDialog)
        *settings.openDialog = nullptr;
    if (result != IDOK)
        return FALSE;
    dlg.StoreIntoShape();
    if (ctrl.IsModified()) {
        CDib edited;
        if (ctrl.CopyImageTo(&edited))
            shape->m_image.Copy(&edited);
    }
    return TRUE;
}
