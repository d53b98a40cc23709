// CControlBar: the base of the frame's bars (tool bars, the menu bar). A bar
// keeps its CBRS_ style apart from the window style, updates its items in the
// idle pass (WM_IDLEUPDATECMDUI, sent by the message loop when the queue is
// empty) and tells the frame's layout its size. No docking or floating: bars
// sit in their frame's client area, top-aligned ones at the top in creation
// order, bottom-aligned ones at the bottom (CFrameWnd::RecalcLayout).
#pragma once
#include "framework/ui/Wnd.h"

class CFrameWnd;

// Bar styles (kept in CControlBar::m_dwStyle, not in the window style).
#define CBRS_ALIGN_LEFT    0x1000L
#define CBRS_ALIGN_TOP     0x2000L
#define CBRS_ALIGN_RIGHT   0x4000L
#define CBRS_ALIGN_BOTTOM  0x8000L
#define CBRS_ALIGN_ANY     0xF000L
#define CBRS_BORDER_LEFT   0x0100L
#define CBRS_BORDER_TOP    0x0200L
#define CBRS_BORDER_RIGHT  0x0400L
#define CBRS_BORDER_BOTTOM 0x0800L
#define CBRS_BORDER_ANY    0x0F00L
#define CBRS_TOOLTIPS      0x0010L
#define CBRS_FLYBY         0x0020L
#define CBRS_BORDER_3D     0x0080L
#define CBRS_SIZE_DYNAMIC  0x0004L
#define CBRS_SIZE_FIXED    0x0002L
#define CBRS_FLOATING      0x0001L
#define CBRS_GRIPPER       0x00400000L
#define CBRS_ORIENT_HORZ   (CBRS_ALIGN_TOP | CBRS_ALIGN_BOTTOM)
#define CBRS_ORIENT_VERT   (CBRS_ALIGN_LEFT | CBRS_ALIGN_RIGHT)
#define CBRS_TOP           (CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM)
#define CBRS_BOTTOM        (CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP)
#define CBRS_ALL           0x0040FFFFL

// Sent by the idle pass to every descendant of the main frame: wParam is the
// disable-if-no-handler flag.
#define WM_IDLEUPDATECMDUI 0x0363

#define AFX_IDW_TOOLBAR    0xE800
#define AFX_IDW_MENUBAR    0xE803
#define AFX_IDW_PANE_FIRST 0xE900

class CControlBar : public CWnd {
    DECLARE_DYNAMIC(CControlBar)
public:
    CControlBar();
    ~CControlBar() override;

    DWORD GetBarStyle() const { return m_dwStyle; }
    void SetBarStyle(DWORD dwStyle);
    BOOL IsFloating() const { return (m_dwStyle & CBRS_FLOATING) != 0; }
    BOOL IsHorizontal() const { return (m_dwStyle & CBRS_ORIENT_HORZ) != 0; }

    // Updates the bar's items from pTarget's ON_UPDATE_COMMAND_UI handlers.
    virtual void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHandler) = 0;
    // The size the bar wants: the whole width (or height) of its frame and its
    // own extent across.
    virtual CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz);
    virtual void OnBarStyleChange(DWORD dwOldStyle, DWORD dwNewStyle);

    // The frame this bar serves: its owner, else its parent, when that is a frame.
    CFrameWnd* GetBarFrame() const;

protected:
    LRESULT OnIdleUpdateCmdUI(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

    DWORD m_dwStyle;
};
