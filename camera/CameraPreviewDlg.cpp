#include "camera/CameraPreviewDlg.h"
#include "framework/ui/MsgMap.h"

BEGIN_MESSAGE_MAP(CCameraPreviewDlg, CDialog)
    ON_WM_SHOWWINDOW()
END_MESSAGE_MAP()

CCameraPreviewDlg::CCameraPreviewDlg(ICameraPreviewOwner* owner) : CDialog(IDD), m_owner(owner)
{
    ::SetRect(&m_rect, -1, -1, -1, -1);
}

// Layered and fully opaque: a recording makes it translucent.
BOOL CCameraPreviewDlg::OnInitDialog()
{
    ::SetWindowLongA(m_hWnd, GWL_EXSTYLE, ::GetWindowLongA(m_hWnd, GWL_EXSTYLE) | WS_EX_LAYERED);
    typedef BOOL(WINAPI * SetLayered)(HWND, COLORREF, BYTE, DWORD);
    SetLayered set = (SetLayered)::GetProcAddress(::GetModuleHandleA("user32.dll"), "SetLayeredWindowAttributes");
    if (set)
        set(m_hWnd, 0, 255, LWA_ALPHA);
    return CDialog::OnInitDialog();
}

void CCameraPreviewDlg::OnCancel()
{
    if (m_owner)
        m_owner->OnCameraPreviewCancel();
}

void CCameraPreviewDlg::OnShowWindow(BOOL, UINT) {}

void CCameraPreviewDlg::SetWindowRect(const RECT& rect)
{
    m_rect = rect;
    if (m_hWnd)
        ::MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

RECT CCameraPreviewDlg::GetWindowRect()
{
    if (m_hWnd && m_rect.right - m_rect.left != 0 && m_rect.bottom - m_rect.top != 0)
        ::GetWindowRect(m_hWnd, &m_rect);
    return m_rect;
}

void CCameraPreviewDlg::SetStatusText(LPCSTR text)
{
    HWND status = m_hWnd ? ::GetDlgItem(m_hWnd, IDC_CAMERA_PREVIEW_STATUS) : NULL;
    if (status)
        ::SetWindowTextA(status, text);
}

void CCameraPreviewDlg::FitClientTo(int width, int height)
{
    if (!m_hWnd)
        return;
    RECT r = {0, 0, width, height};
    ::AdjustWindowRectEx(&r, ::GetWindowLongA(m_hWnd, GWL_STYLE), FALSE, ::GetWindowLongA(m_hWnd, GWL_EXSTYLE));
    RECT now;
    ::GetWindowRect(m_hWnd, &now);
    ::MoveWindow(m_hWnd, now.left, now.top, r.right - r.left, r.bottom - r.top, TRUE);
}
