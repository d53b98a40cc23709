#include "controls/TaskbarIcon.h"

#include "framework/Module.h"

namespace {
BOOL RealShellNotifyIcon(DWORD message, NOTIFYICONDATAA* data)
{
    return ::Shell_NotifyIconA(message, data);
}
}  // namespace

// The version-2 record of the build's own layout (488 bytes in the 32-bit build).
#if defined(__i386__)
static_assert(NOTIFYICONDATAA_V2_SIZE == 488, "the version-2 record of the 32-bit layout");
#endif

COXTaskbarIcon::NotifyProc COXTaskbarIcon::s_pfnShellNotifyIcon = &RealShellNotifyIcon;

IMPLEMENT_DYNAMIC(COXTaskbarIcon, CWnd)

BEGIN_MESSAGE_MAP(COXTaskbarIcon, CWnd)
    ON_MESSAGE(WM_TASKBAR_ICON, OnTaskbarIcon)
END_MESSAGE_MAP()

COXTaskbarIcon::COXTaskbarIcon() : m_bShown(FALSE), m_nIconId(0)
{
}

COXTaskbarIcon::~COXTaskbarIcon()
{
    if (m_bShown)
        Notify(NIM_DELETE);
    m_bShown = FALSE;
    if (m_hWnd != NULL && ::IsWindow(m_hWnd))
        DestroyWindow();
}

BOOL COXTaskbarIcon::Create(UINT nID, CWnd* pOwner)
{
    m_nIconId = nID;
    LPCTSTR cls = AfxRegisterWndClass(CS_GLOBALCLASS | CS_CLASSDC);
    return CreateEx(0, cls, "", 0, 0, 0, 0, 0, pOwner->GetSafeHwnd(), NULL);
}

BOOL COXTaskbarIcon::SetTooltipText(LPCTSTR lpszText, BOOL bUpdate)
{
    SetWindowText(lpszText != NULL ? lpszText : "");
    if (m_bShown && bUpdate)
        return Update();
    return TRUE;
}

BOOL COXTaskbarIcon::SetTooltipText(UINT nIDString, BOOL bUpdate)
{
    CString text;
    text.LoadString(nIDString);
    return SetTooltipText(text, bUpdate);
}

HICON COXTaskbarIcon::SetIcon(HICON hIcon, BOOL bUpdate)
{
    HICON old = (HICON)SendMessage(WM_SETICON, ICON_SMALL, (LPARAM)hIcon);
    if (m_bShown && bUpdate)
        Update();
    return old;
}

HICON COXTaskbarIcon::SetIcon(LPCTSTR lpszResourceName, BOOL bUpdate)
{
    HICON hIcon = ::LoadIconA(AfxGetResourceHandle(), lpszResourceName);
    return SetIcon(hIcon, bUpdate);
}

HICON COXTaskbarIcon::SetIcon(UINT nIDResource, BOOL bUpdate)
{
    return SetIcon(MAKEINTRESOURCEA(nIDResource), bUpdate);
}

BOOL COXTaskbarIcon::Show()
{
    if (m_bShown)
        return FALSE;
    const BOOL ok = Notify(NIM_ADD);
    if (ok)
        m_bShown = TRUE;
    return ok;
}

BOOL COXTaskbarIcon::Hide()
{
    if (!m_bShown)
        return FALSE;
    const BOOL ok = Notify(NIM_DELETE);
    if (ok)
        m_bShown = FALSE;
    return ok;
}

BOOL COXTaskbarIcon::Update()
{
    if (!m_bShown)
        return FALSE;
    return Notify(NIM_MODIFY);
}

HICON COXTaskbarIcon::GetIcon() const
{
    return (HICON)SendMessage(WM_GETICON, ICON_SMALL);
}

void COXTaskbarIcon::GetTooltipText(CString& text) const
{
    GetWindowText(text);
}

int COXTaskbarIcon::GetTooltipText(LPTSTR lpszText, int nMax) const
{
    return GetWindowText(lpszText, nMax);
}

// The tooltip is cut to the record's 127 characters and its terminator.
BOOL COXTaskbarIcon::Notify(DWORD dwMessage)
{
    NOTIFYICONDATAA data;
    ZeroMemory(&data, sizeof(data));
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = m_hWnd;
    data.uID = m_nIconId;
    if (dwMessage != NIM_DELETE) {
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        data.uCallbackMessage = WM_TASKBAR_ICON;
        data.hIcon = GetIcon();
        CString tip;
        GetTooltipText(tip);
        lstrcpynA(data.szTip, tip, (int)sizeof(data.szTip));
    }
    return s_pfnShellNotifyIcon(dwMessage, &data);
}

// Mouse events of the icon go to the owner (or parent); without one the
// mouse message itself comes back to this window.
LRESULT COXTaskbarIcon::OnTaskbarIcon(WPARAM wParam, LPARAM lParam)
{
    HWND hTarget = ::GetWindow(m_hWnd, GW_OWNER);
    if (hTarget == NULL)
        hTarget = ::GetParent(m_hWnd);
    if (hTarget != NULL)
        ::PostMessageA(hTarget, WM_TASKBAR_ICON, wParam, lParam);
    else
        PostMessage((UINT)lParam, 0, 0);
    return -1;
}
