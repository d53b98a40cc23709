#include "painter/PntDlg.h"

#include "framework/WinApp.h"

IMPLEMENT_DYNAMIC(CPntDlg, CNSFlexDialog)

BEGIN_MESSAGE_MAP(CPntDlg, CNSFlexDialog)
    ON_WM_WINDOWPOSCHANGED()
END_MESSAGE_MAP()

CPntDlg::CPntDlg(UINT templateId, CWnd* parent) : CNSFlexDialog(templateId, parent, 0), m_templateId(templateId), m_sectionPrefix("PaintDlg:"),
      m_sizeRestored(FALSE)
{
}

CString CPntDlg::SectionFor(UINT templateId, LPCSTR prefix)
{
    CString section;
    section.Format("%s%d", prefix, (int)templateId);
    return section;
}

BOOL CPntDlg::OnInitDialog()
{
    const BOOL result = CNSFlexDialog::OnInitDialog();
    RestoreSize();
    m_sizeRestored = TRUE;
    return result;
}

BOOL CPntDlg::SaveSize()
{
    CWinApp* app = AfxGetApp();
    if (!app || !m_hWnd || !m_sizeRestored)
        return TRUE;
    CRect r;
    GetWindowRect(&r);
    const CString section = SectionFor(m_templateId, m_sectionPrefix);
    app->WriteProfileInt(section, "X", r.left);
    app->WriteProfileInt(section, "Y", r.top);
    app->WriteProfileInt(section, "Width", r.Width());
    app->WriteProfileInt(section, "Height", r.Height());
    return TRUE;
}

// The moves of creation and initialisation are not saved: they would replace
// the stored rectangle before it is read.

// A stored rectangle is used only when it lies wholly inside the work area.
BOOL CPntDlg::RestoreSize()
{
    CRect work;
    if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
        work = CRect(0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
    int x = -1, y = -1, w = -1, h = -1;
    if (CWinApp* app = AfxGetApp()) {
        const CString section = SectionFor(m_templateId, m_sectionPrefix);
        x = (int)app->GetProfileInt(section, "X", -1);
        y = (int)app->GetProfileInt(section, "Y", -1);
        w = (int)app->GetProfileInt(section, "Width", -1);
        h = (int)app->GetProfileInt(section, "Height", -1);
    }
    if (x >= 0 && y >= 0 && w > 0 && h > 0 && x >= work.left && y >= work.top && x + w <= work.right &&
        y + h <= work.bottom)
        MoveWindow(x, y, w, h, TRUE);
    else
        CenterWindow();
    return TRUE;
}

void CPntDlg::OnWindowPosChanged(WINDOWPOS*)
{
    SaveSize();
    Default();
}
