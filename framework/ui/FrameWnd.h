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
// The idle text of the status bar ("Ready").
#define AFX_IDS_IDLEMESSAGE 0xE001

class CFrameWnd : public CWnd {
    DECLARE_DYNCREATE(CFrameWnd)
public:
    CFrameWnd();
    ~CFrameWnd() override;

    static const CRect rectDefault;

    BOOL Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName,
                DWORD dwStyle = WS_OVERLAPPEDWINDOW, const RECT& rect = rectDefault,
                CWnd* pParentWnd = NULL, LPCTSTR lpszMenuName = NULL, DWORD dwExStyle = 0);

    // Creates the frame from one resource id: the title is the string of that
    // id (up to its first newline), and the menu, the accelerator table and
    // the icon of that id are taken when they exist.
    virtual BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW,
                           CWnd* pParentWnd = NULL);
    // The accelerators PreTranslateMessage translates (LoadFrame's, or set).
    virtual HACCEL GetDefaultAccelerator() { return m_hAccelTable; }
    void SetAccelerators(HACCEL hAccel) { m_hAccelTable = hAccel; }
    BOOL PreTranslateMessage(MSG* pMsg) override;
    // Places the bars: top-aligned control bars stacked at the top in
    // z-order, bottom-aligned ones and the status bar at the bottom, and the
    // pane AFX_IDW_PANE_FIRST (when present) in what remains.
    virtual void RecalcLayout(BOOL bNotify = TRUE);
    // The client area the bars leave free, in client coordinates.
    CRect GetFreeClientRect() const { return m_rectFree; }
    UINT GetResourceId() const { return m_nIDResource; }

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
    void OnSize(UINT nType, int cx, int cy);
    LRESULT OnIdleUpdateCmdUI(WPARAM wParam, LPARAM lParam);

protected:
    CString m_strMessageText;
    CMenu* m_pMenu;
    HACCEL m_hAccelTable;   // from the resources: freed with the process
    UINT m_nIDResource;
    CRect m_rectFree;
    BOOL m_bInRecalcLayout;
};
