#include "painter/PntIconEditDlg.h"

#include "resources/ids_painter.h"

IMPLEMENT_DYNAMIC(CPntIconEditDlg, CPntDlg)

BEGIN_MESSAGE_MAP(CPntIconEditDlg, CPntDlg)
    ON_WM_ERASEBKGND()
    ON_MESSAGE(WM_KICKIDLE, OnKickIdle)
END_MESSAGE_MAP()

CPntIconEditDlg::CPntIconEditDlg(CWnd* parent) : CPntDlg(IDD_PNT_ICON_EDIT, parent)
{
    m_ctrl.ShowTransparency(TRUE);
}

int CPntIconEditDlg::SetIcon(HBITMAP colour, HBITMAP mask)
{
    if (!m_ctrl.SetBitmap(colour))
        return FALSE;
    CDIBSection& image = m_ctrl.GetImage();
    if (image.GetColorCount() == 0 && !image.ChangeFormat(image.GetWidth(), image.GetHeight(), 1, 8))
        return FALSE;
    return m_ctrl.ImportMask(mask);
}

BOOL CPntIconEditDlg::OnInitDialog()
{
    CPntDlg::OnInitDialog();
    if (!m_ctrl.SubclassDlgItem(IDC_PNT_CTRL, this)) {
        EndDialog(IDCANCEL);
        return FALSE;
    }
    m_preview.SubclassDlgItem(IDC_PNT_ICON_PREVIEW, this);

    m_ctrl.SetZoom(700);
    CRect window, client;
    m_ctrl.GetWindowRect(&window);
    m_ctrl.GetClientRect(&client);
    m_ctrl.ClientToScreen(&client);
    const int side = 32 * 7 + 2 * CPaintControl::kBorder + 2 * (client.left - window.left) + 2;
    ScreenToClient(&window);
    m_ctrl.MoveWindow(window.left, window.top, side, side);
    m_ctrl.SetTool(CPaintControl::kPen);
    m_ctrl.SetGrid(TRUE, 600);
    m_ctrl.SetCentered(TRUE);
    m_toolBar.SetHideViewButtons(TRUE);
    if (!m_toolBar.Create(this, &m_ctrl, IDC_PNT_TOOLBAR, WS_CHILD | WS_VISIBLE | 0x10, FALSE)) {
        m_ctrl.ResetImage();
        return TRUE;   // edits without a tool bar
    }

    if (m_preview.m_hWnd) {
        CRect dlgWindow, dlgClient, preview;
        GetWindowRect(&dlgWindow);
        GetClientRect(&dlgClient);
        m_preview.GetWindowRect(&preview);
        ScreenToClient(&preview);
        const int previewSide = 2 * (dlgWindow.Width() - dlgClient.Width()) + 32 - 1;
        m_preview.MoveWindow(preview.left, preview.top, previewSide, previewSide);
        m_preview.SetWindowText("");
    }
    if (CWnd* place = GetDlgItem(IDC_PNT_TOOLBAR_PLACE)) {
        CRect r;
        place->GetWindowRect(&r);
        ScreenToClient(&r);
        place->ShowWindow(SW_HIDE);
        m_toolBar.MoveWindow(r.left, r.top, r.Width(), r.Height());
    }
    m_toolBar.UpdateButtons();
    m_ctrl.ResetImage();

    AddLayoutRule(IDOK, CFlexHorzRule(1, 1), CFlexVertRule(0, 0));
    AddLayoutRule(IDCANCEL, CFlexHorzRule(1, 1), CFlexVertRule(0, 0));
    AddLayoutRule(IDC_PNT_ICON_PREVIEW, CFlexHorzRule(1, 1), CFlexVertRule(0, 0));
    AddLayoutRule(IDC_PNT_GRIP, CFlexHorzRule(1, 1), CFlexVertRule(1, 1));
    AddLayoutRule(IDC_PNT_CTRL, CFlexHorzRule(0, 1), CFlexVertRule(0, 1));
    CRect size;
    GetClientRect(&size);
    PostMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(size.Width(), size.Height()));
    return TRUE;
}

// The icon at its real size beside the editor, framed; see-through pixels
// show the button face.
void CPntIconEditDlg::PaintPreview()
{
    if (!m_preview.m_hWnd || !m_ctrl.m_hWnd || !m_ctrl.HasImage())
        return;
    CRect r;
    m_preview.GetWindowRect(&r);
    ScreenToClient(&r);
    CClientDC dc(this);
    CDIBSection& image = m_ctrl.GetImage();
    const COLORREF key = m_ctrl.GetTransparentColor();
    HBITMAP mask = m_ctrl.MakeMask();
    if (!mask && key == CPaintControl::kNoColour) {
        image.Stretch(&dc, r.left, r.top, r.Width(), r.Height());
    } else {
        CRect face(r.left, r.top, r.right + 1, r.bottom + 1);
        ::FillRect(dc.m_hDC, &face, ::GetSysColorBrush(COLOR_BTNFACE));
        if (key != CPaintControl::kNoColour)
            image.StretchTransparent(&dc, r.left, r.top, r.Width(), r.Height(), key);
        else
            image.Stretch(&dc, r.left, r.top, r.Width(), r.Height());
    }
    CRect frame = r;
    frame.InflateRect(2, 2);
    HGDIOBJ oldPen = ::SelectObject(dc.m_hDC, ::GetStockObject(BLACK_PEN));
    HGDIOBJ oldBrush = ::SelectObject(dc.m_hDC, ::GetStockObject(NULL_BRUSH));
    ::Rectangle(dc.m_hDC, frame.left, frame.top, frame.right, frame.bottom);
    ::SelectObject(dc.m_hDC, oldBrush);
    ::SelectObject(dc.m_hDC, oldPen);
}

BOOL CPntIconEditDlg::OnEraseBkgnd(CDC* pDC)
{
    const BOOL erased = (BOOL)Default();
    if (m_preview.m_hWnd && m_ctrl.m_hWnd && pDC) {
        CRect ctrl, preview, client;
        m_ctrl.GetWindowRect(&ctrl);
        ScreenToClient(&ctrl);
        m_preview.GetWindowRect(&preview);
        ScreenToClient(&preview);
        GetClientRect(&client);
        CRect band(ctrl.right + 1, preview.top - 3, client.right, preview.bottom + 3);
        ::FillRect(pDC->m_hDC, &band, ::GetSysColorBrush(COLOR_BTNFACE));
    }
    PaintPreview();
    return erased;
}

BOOL CPntIconEditDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lParam);
    const CPaintControl::NotifyCodes& codes = CPaintControl::Codes();
    if (hdr && (hdr->code == codes.imageChanged || hdr->code == codes.colourSampled || hdr->code == codes.modeChanged)) {
        m_toolBar.UpdateButtons();
        PaintPreview();
        return TRUE;
    }
    return CPntDlg::OnNotify(wParam, lParam, pResult);
}

LRESULT CPntIconEditDlg::OnKickIdle(WPARAM, LPARAM)
{
    m_toolBar.UpdateButtons();
    return 0;
}
