#include "controls/BalloonTip.h"

#include "framework/Module.h"
#include "resources/ids_controls.h"

#include <commctrl.h>

CBalloonTip* CBalloonTip::s_pCurrent = NULL;

namespace {
const UINT kDefaultHideDelay = 5000;
}

BEGIN_MESSAGE_MAP(CBalloonTipWnd, CWnd)
    ON_WM_KILLFOCUS()
END_MESSAGE_MAP()

void CBalloonTipWnd::OnKillFocus(CWnd*)
{
    Default();
    if (m_pBalloon != nullptr && m_pBalloon->IsVisible())
        m_pBalloon->Hide();
}

CBalloonTip::CBalloonTip(CWnd* pOwner)
    : m_bOnlyWhileActive(FALSE), m_bSkipTick(FALSE), m_hTip(NULL), m_bVisible(FALSE),
      m_screenRight(::GetSystemMetrics(SM_XVIRTUALSCREEN) + ::GetSystemMetrics(SM_CXVIRTUALSCREEN)), m_width(0),
      m_x(0), m_y(0), m_offsetY(0), m_offsetX(0), m_nHideDelay(kDefaultHideDelay), m_pOwner(pOwner)
{
    m_strTitle.LoadString(IDS_BALLOON_TITLE);
    m_tipWnd.m_pBalloon = this;
    s_pCurrent = this;
}

// The timer procedure must not reach a destroyed balloon: its slot is
// cleared and the owner's timers are killed.
CBalloonTip::~CBalloonTip()
{
    if (s_pCurrent == this)
        s_pCurrent = NULL;
    if (m_pOwner != NULL && m_pOwner->m_hWnd != NULL) {
        ::KillTimer(m_pOwner->m_hWnd, BALLOON_SHOW_TIMER);
        ::KillTimer(m_pOwner->m_hWnd, BALLOON_HIDE_TIMER);
    }
    if (m_tipWnd.m_hWnd != NULL)
        m_tipWnd.UnsubclassWindow();
    if (m_hTip != NULL && ::IsWindow(m_hTip))
        ::DestroyWindow(m_hTip);
    m_hTip = NULL;
}

void CBalloonTip::MoveTo(int x, int y)
{
    m_x = x + m_offsetX;
    m_y = y + m_offsetY;
    if (m_hTip != NULL)
        ::SendMessageA(m_hTip, TTM_TRACKPOSITION, 0, MAKELPARAM(m_x, m_y));
}

void CBalloonTip::ScheduleShow(UINT nDelayMs)
{
    if (m_pOwner != NULL && m_pOwner->m_hWnd != NULL)
        ::SetTimer(m_pOwner->m_hWnd, BALLOON_SHOW_TIMER, nDelayMs, &TimerProc);
}

void CBalloonTip::Show()
{
    if (m_strText.IsEmpty() || m_pOwner == NULL || m_pOwner->m_hWnd == NULL)
        return;
    if (m_tipWnd.m_hWnd != NULL)
        m_tipWnd.UnsubclassWindow();
    if (m_hTip != NULL && ::IsWindow(m_hTip))
        ::DestroyWindow(m_hTip);
    m_hTip = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, NULL, TTS_ALWAYSTIP | TTS_NOPREFIX | TTS_BALLOON,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_pOwner->m_hWnd, NULL,
                               AfxGetInstanceHandle(), NULL);
    if (m_hTip == NULL)
        return;
    m_tipWnd.SubclassWindow(m_hTip);
    ::SetWindowPos(m_hTip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SendMessageA(m_hTip, TTM_SETMAXTIPWIDTH, 0, 200);
    ::SendMessageA(m_hTip, TTM_SETDELAYTIME, TTDT_AUTOMATIC, 0);
    ::SendMessageA(m_hTip, TTM_SETTITLEA, TTI_INFO, (LPARAM)(LPCTSTR)m_strTitle);

    TOOLINFOA ti;
    ZeroMemory(&ti, sizeof(ti));
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_TRACK | TTF_SUBCLASS;
    ti.hwnd = m_pOwner->m_hWnd;
    ::GetClientRect(m_pOwner->m_hWnd, &ti.rect);
    ti.hinst = AfxGetInstanceHandle();
    ti.lpszText = (LPSTR)(LPCTSTR)m_strText;
    ::SendMessageA(m_hTip, TTM_ADDTOOLA, 0, (LPARAM)&ti);
    ::SendMessageA(m_hTip, TTM_UPDATETIPTEXTA, 0, (LPARAM)&ti);
    ::SendMessageA(m_hTip, TTM_TRACKPOSITION, 0, MAKELPARAM(m_x, m_y));
    ::SendMessageA(m_hTip, TTM_TRACKACTIVATE, TRUE, (LPARAM)&ti);
    ::SetFocus(m_hTip);
    m_bVisible = TRUE;
    RECT rc;
    ::GetWindowRect(m_hTip, &rc);
    m_width = rc.right - rc.left;
}

// The tracking tool is deactivated with the window it was added for (the
// owner's), so that a balloon of a window other than the main one hides too.
void CBalloonTip::Hide()
{
    m_strText.Empty();
    m_bVisible = FALSE;
    if (m_pOwner != NULL && m_pOwner->m_hWnd != NULL) {
        ::KillTimer(m_pOwner->m_hWnd, BALLOON_SHOW_TIMER);
        ::KillTimer(m_pOwner->m_hWnd, BALLOON_HIDE_TIMER);
    }
    m_nHideDelay = kDefaultHideDelay;
    if (m_hTip != NULL && ::IsWindow(m_hTip)) {
        TOOLINFOA ti;
        ZeroMemory(&ti, sizeof(ti));
        ti.cbSize = sizeof(ti);
        ti.uFlags = TTF_SUBCLASS;
        ti.hwnd = m_pOwner != NULL ? m_pOwner->m_hWnd : NULL;
        ::SendMessageA(m_hTip, TTM_TRACKACTIVATE, FALSE, (LPARAM)&ti);
    }
}

void CALLBACK CBalloonTip::TimerProc(HWND hWnd, UINT, UINT_PTR idEvent, DWORD)
{
    if (s_pCurrent == NULL) {
        ::KillTimer(hWnd, idEvent);   // the balloon is gone: nothing to do
        return;
    }
    s_pCurrent->OnTimer(hWnd, idEvent);
}

void CBalloonTip::OnTimer(HWND hWnd, UINT_PTR idEvent)
{
    if (idEvent == BALLOON_HIDE_TIMER) {
        Hide();
        ::KillTimer(hWnd, BALLOON_HIDE_TIMER);
        return;
    }
    if (idEvent != BALLOON_SHOW_TIMER)
        return;
    if (m_bSkipTick) {
        m_bSkipTick = FALSE;
        return;
    }
    if (m_bOnlyWhileActive && m_pOwner != NULL) {
        WINDOWINFO info;
        ZeroMemory(&info, sizeof(info));
        info.cbSize = sizeof(info);
        if (!::GetWindowInfo(m_pOwner->m_hWnd, &info) || !(info.dwWindowStatus & WS_ACTIVECAPTION))
            return;
    }
    Show();
    ::SetTimer(hWnd, BALLOON_HIDE_TIMER, m_nHideDelay, &TimerProc);
    ::KillTimer(hWnd, BALLOON_SHOW_TIMER);
}
