#pragma once
#include "framework/String.h"
#include "framework/ui/Wnd.h"

// Timer ids on the owner window: show the balloon, hide it.
#define BALLOON_SHOW_TIMER 256
#define BALLOON_HIDE_TIMER 257

class CBalloonTip;

// Watches the balloon's tooltip window: losing the focus hides the balloon.
class CBalloonTipWnd : public CWnd {
public:
    CBalloonTip* m_pBalloon = nullptr;

protected:
    void OnKillFocus(CWnd* pNewWnd);
    DECLARE_MESSAGE_MAP()
};

// A balloon tooltip with a title and a text at a point of the screen, shown
// by the owner's show timer and hidden after a delay or when it loses the
// focus. Both timers of the owner window run one timer procedure, which
// serves the most recently constructed balloon. UI thread only.
class CBalloonTip {
public:
    explicit CBalloonTip(CWnd* pOwner);
    virtual ~CBalloonTip();

    void SetOffset(int x, int y) { m_offsetX = x; m_offsetY = y; }
    void SetText(LPCTSTR lpszText) { m_strText = lpszText != NULL ? lpszText : ""; }
    void SetTitle(LPCTSTR lpszTitle) { m_strTitle = lpszTitle != NULL ? lpszTitle : ""; }
    void MoveTo(int x, int y);
    // Starts the owner's show timer; the balloon shows at its first tick.
    void ScheduleShow(UINT nDelayMs);
    void Show();
    void Hide();

    BOOL IsVisible() const { return m_bVisible; }
    HWND GetTipWindow() const { return m_hTip; }
    CPoint GetTipPoint() const { return CPoint(m_x, m_y); }
    const CString& GetText() const { return m_strText; }
    const CString& GetTitle() const { return m_strTitle; }
    UINT GetHideDelay() const { return m_nHideDelay; }
    void SetHideDelay(UINT ms) { m_nHideDelay = ms; }

    BOOL m_bOnlyWhileActive;   // show only while the owner is the active window
    BOOL m_bSkipTick;          // let one show tick pass

    static void CALLBACK TimerProc(HWND hWnd, UINT message, UINT_PTR idEvent, DWORD time);
    // The balloon the timer procedure serves (null after it was destroyed).
    static CBalloonTip* Current() { return s_pCurrent; }

private:
    void OnTimer(HWND hWnd, UINT_PTR idEvent);

    HWND m_hTip;
    BOOL m_bVisible;
    int m_screenRight;
    int m_width;
    int m_x;
    int m_y;
    int m_offsetY;
    int m_offsetX;
    UINT m_nHideDelay;
    CString m_strText;
    CString m_strTitle;
    CWnd* m_pOwner;
    CBalloonTipWnd m_tipWnd;

    static CBalloonTip* s_pCurrent;
};
