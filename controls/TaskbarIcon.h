#pragma once
#include "framework/String.h"
#include "framework/ui/Wnd.h"

#include <shellapi.h>

// The message the icon's mouse events arrive with (wParam the icon id,
// lParam the mouse message), at the hidden window and then at its owner.
#define WM_TASKBAR_ICON 0x80E6

// One icon with a tooltip in the notification area. A hidden window of its
// own receives the icon's mouse events and passes them to its owner (or
// parent) window; the tooltip is the hidden window's text and the icon its
// small icon, so both survive hiding and showing. UI thread only.
class COXTaskbarIcon : public CWnd {
    DECLARE_DYNAMIC(COXTaskbarIcon)
public:
    COXTaskbarIcon();
    ~COXTaskbarIcon() override;

    // Creates the hidden window; pOwner receives the mouse events.
    virtual BOOL Create(UINT nID, CWnd* pOwner = NULL);
    virtual BOOL SetTooltipText(UINT nIDString, BOOL bUpdate = TRUE);
    virtual BOOL SetTooltipText(LPCTSTR lpszText, BOOL bUpdate = TRUE);
    virtual HICON SetIcon(LPCTSTR lpszResourceName, BOOL bUpdate = TRUE);
    virtual HICON SetIcon(UINT nIDResource, BOOL bUpdate = TRUE);
    virtual HICON SetIcon(HICON hIcon, BOOL bUpdate = TRUE);
    virtual BOOL Show();
    virtual BOOL Hide();
    virtual BOOL Update();
    virtual void GetTooltipText(CString& text) const;
    virtual int GetTooltipText(LPTSTR lpszText, int nMax) const;
    virtual HICON GetIcon() const;
    virtual BOOL Notify(DWORD dwMessage);

    BOOL IsShown() const { return m_bShown; }
    UINT GetIconId() const { return m_nIconId; }

    // The shell call; tests stand in to see what is sent.
    typedef BOOL (*NotifyProc)(DWORD message, NOTIFYICONDATAA* data);
    static NotifyProc s_pfnShellNotifyIcon;

protected:
    LRESULT OnTaskbarIcon(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

    BOOL m_bShown;
    UINT m_nIconId;
};
