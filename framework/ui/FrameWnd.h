// CFrameWnd: a top-level window with a menu, command routing, menu command-UI
// updates and a status text (the first pane of its status bar when it has a
// CStatusBar child with id AFX_IDW_STATUS_BAR, else kept as text). Frames are
// created with new and delete themselves when their window is gone; the
// thread's main frame ends the message loop when it closes.
#pragma once
#include "framework/ui/Wnd.h"

#define AFX_IDW_STATUS_BAR 0xE801
// Sent to a frame to show a prompt: wParam a string id, or lParam a text.
#define WM_SETMESSAGESTRING 0x0362

class CFrameWnd : public CWnd {
    DECLARE_DYNCREATE(CFrameWnd)
public:
    CFrameWnd();
    ~CFrameWnd() override;

    static const CRect rectDefault;

    BOOL Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName,
                DWORD dwStyle = WS_OVERLAPPEDWINDOW, const RECT& rect = rectDefault,
                CWnd* pParentWnd = NULL, LPCTSTR lpszMenuName = NULL, DWORD dwExStyle = 0);

    void SetMessageText(LPCTSTR lpszText);
    void SetMessageText(UINT nID);
    const CString& GetMessageText() const { return m_strMessageText; }
    // The prompt of a command: its string resource up to the first newline.
    virtual void GetMessageString(UINT nID, CString& rMessage) const;

    BOOL m_bAutoMenuEnable;   // disable menu items without a handler

protected:
    DECLARE_MESSAGE_MAP()
    void PostNcDestroy() override;
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;

public:
    void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu);
    void OnMenuSelect(UINT nItemID, UINT nFlags, HMENU hSysMenu);
    void OnClose();
    void OnNcDestroy();
    LRESULT OnSetMessageString(WPARAM wParam, LPARAM lParam);

protected:
    CString m_strMessageText;
    CMenu* m_pMenu;
};
