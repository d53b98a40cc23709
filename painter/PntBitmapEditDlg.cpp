#include "painter/PntBitmapEditDlg.h"

#include "resources/ids_painter.h"

IMPLEMENT_DYNAMIC(CPntBitmapEditDlg, CPntDlg)

BEGIN_MESSAGE_MAP(CPntBitmapEditDlg, CPntDlg)
    ON_WM_VSCROLL()
    ON_MESSAGE(WM_KICKIDLE, OnKickIdle)
END_MESSAGE_MAP()

CPntBitmapEditDlg::CPntBitmapEditDlg(CWnd* parent) : CPntBitmapEditDlg(parent, CPaintControl::kCatalogue, TRUE)
{
}

CPntBitmapEditDlg::CPntBitmapEditDlg(CWnd* parent, CPaintControl::Variant variant, BOOL fullInit)
    : CPntDlg(IDD_PNT_BITMAP_EDIT, parent), m_ctrl(variant), m_fullInit(fullInit)
{
}

// A dialog opened without an image asks for a blank one first and ends with
// IDCANCEL when that is cancelled.
BOOL CPntBitmapEditDlg::OnInitDialog()
{
    CPntDlg::OnInitDialog();
    if (!m_fullInit) {
        m_ctrl.SubclassDlgItem(IDC_PNT_CTRL, this);
        m_zoom.SubclassDlgItem(IDC_PNT_ZOOM, this);
        return TRUE;
    }
    if (!m_ctrl.SubclassDlgItem(IDC_PNT_CTRL, this) || (!m_ctrl.HasImage() && !m_ctrl.NewImageDialog())) {
        EndDialog(IDCANCEL);
        return FALSE;
    }
    ::SetForegroundWindow(m_hWnd);

    if (m_zoom.SubclassDlgItem(IDC_PNT_ZOOM, this)) {
        m_zoom.SendMessage(TBM_SETRANGE, FALSE, MAKELPARAM(10, 600));
        m_zoom.SetPos(100);
        for (int tick = 100; tick <= 500; tick += 100)
            m_zoom.SendMessage(TBM_SETTIC, 0, tick);
        // The "100%" label is centred on the 100 tick.
        CWnd* label = GetDlgItem(IDC_PNT_ZOOM_100);
        const int tickPos = (int)m_zoom.SendMessage(TBM_GETTICPOS, 0, 0);
        if (label && tickPos >= 0) {
            CRect sliderRect, labelRect;
            m_zoom.GetWindowRect(&sliderRect);
            ScreenToClient(&sliderRect);
            label->GetWindowRect(&labelRect);
            ScreenToClient(&labelRect);
            const int half = (labelRect.Height() + 1) / 2;
            label->MoveWindow(labelRect.left, sliderRect.top + tickPos - half, labelRect.Width(), 2 * half);
        }
    }

    const CSize size = m_ctrl.GetImage().GetSize();
    if (size.cx < 50 || size.cy < 50)
        m_ctrl.SetZoom(600);
    m_ctrl.SetTool(CPaintControl::kPen);
    m_ctrl.SetGrid(TRUE, 600);
    m_ctrl.ShowTransparency(TRUE);
    m_ctrl.SetCentered(TRUE);
    m_ctrl.ResetImage();
    m_zoom.SetPos(m_ctrl.GetZoomPercent());

    if (!PlaceToolBar(WS_CHILD | WS_VISIBLE | 0x10))
        return TRUE;   // no tool bar: the dialog edits without it, as laid out
    const UINT moving[] = { IDOK, IDCANCEL, IDC_PNT_ZOOM, IDC_PNT_ZOOM_MIN, IDC_PNT_ZOOM_100, IDC_PNT_ZOOM_MAX,
                            IDC_PNT_TOOLBAR_PLACE, IDC_PNT_TOOLBAR };
    for (UINT id : moving)
        AddLayoutRule(id, CFlexHorzRule(1, 1), CFlexVertRule(0, 0));
    AddLayoutRule(IDC_PNT_GRIP, CFlexHorzRule(1, 1), CFlexVertRule(1, 1));
    AddLayoutRule(IDC_PNT_CTRL, CFlexHorzRule(0, 1), CFlexVertRule(0, 1));
    CRect client;
    GetClientRect(&client);
    PostMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.Width(), client.Height()));
    return TRUE;
}

void CPntBitmapEditDlg::OnVScroll(UINT code, UINT, CScrollBar* bar)
{
    if (bar == NULL || bar->m_hWnd != m_zoom.m_hWnd || code == SB_ENDSCROLL) {
        Default();
        return;
    }
    if (code == SB_PAGEUP || code == SB_PAGEDOWN) {
        const int step = m_ctrl.NextZoomStep(-1, code == SB_PAGEDOWN ? 1 : -1);
        if (step >= 1)
            m_zoom.SetPos(step);
    }
    m_ctrl.SetZoom(m_zoom.GetPos());
    Default();
}

BOOL CPntBitmapEditDlg::PlaceToolBar(DWORD style)
{
    CWnd* place = GetDlgItem(IDC_PNT_TOOLBAR_PLACE);
    if (!place || !m_toolBar.Create(this, &m_ctrl, IDC_PNT_TOOLBAR, style, FALSE))
        return FALSE;
    CRect r;
    place->GetWindowRect(&r);
    ScreenToClient(&r);
    place->ShowWindow(SW_HIDE);
    m_toolBar.MoveWindow(r.left, r.top, r.Width(), r.Height());
    m_toolBar.UpdateButtons();
    return TRUE;
}

LRESULT CPntBitmapEditDlg::OnKickIdle(WPARAM, LPARAM)
{
    m_toolBar.UpdateButtons();
    return 0;
}

BOOL CPntBitmapEditDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lParam);
    const CPaintControl::NotifyCodes& codes = CPaintControl::Codes();
    if (hdr && (hdr->code == codes.imageChanged || hdr->code == codes.colourSampled || hdr->code == codes.modeChanged))
        m_toolBar.UpdateButtons();
    if (hdr && hdr->code == CPaintControl::Codes().magChanged && m_zoom.m_hWnd)
        m_zoom.SetPos(m_ctrl.GetZoomPercent());
    return CPntDlg::OnNotify(wParam, lParam, pResult);
}
