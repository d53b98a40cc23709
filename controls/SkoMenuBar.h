#pragma once
#include "controls/SkoSubclassWnd.h"
#include "framework/Collections.h"
#include "framework/ui/GdiObject.h"
#include "framework/ui/ToolBar.h"

class XRVSkoMenuBar;

// Watches the menu bar's frame: menu selections and colour changes.
class XRVSkoFrameHook : public XRVSkoSubclassWnd {
public:
    XRVSkoMenuBar* m_pBar = nullptr;
    ~XRVSkoFrameHook() override { HookWindow(NULL); }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// Posted to the bar to take the frame's own menu bar away (wParam: frame).
#define WM_MENUBAR_DETACH 0x084C

// A frame's menu shown as a flat tool bar: one text button per top-level
// popup (its command is the popup's position). A click, Alt or F10 and
// then a mnemonic or the arrows, or Alt+mnemonic opens the popup under its
// button; while it is open Left/Right and the mouse move to the
// neighbouring popups. The frame calls the bar's PreTranslateMessage first
// with its keys. UI thread only; one popup at a time per process.
class XRVSkoMenuBar : public CToolBar {
    DECLARE_DYNAMIC(XRVSkoMenuBar)
public:
    enum State { kIdle = 0, kKeyboard = 1, kPopupOpen = 2 };

    XRVSkoMenuBar();
    ~XRVSkoMenuBar() override;

    BOOL LoadMenu(UINT nIDResource);
    HMENU SetMenu(HMENU hMenu);
    HMENU GetMenu() const { return m_hMenu; }
    BOOL AppendPopup(LPCTSTR lpszCaption, HMENU hPopup);
    HMENU GetSubMenu(int nIndex) const { return ::GetSubMenu(m_hMenu, nIndex); }
    // Opens a button's popup and follows the user from button to button until
    // the menu closes. FALSE when another popup is being tracked.
    BOOL TrackPopup(int nIndex);

    int GetState() const { return m_nState; }
    int GetHotItem() const { return (int)SendMessage(TB_GETHOTITEM); }
    const CStringArray& GetCaptions() const { return m_captions; }
    int GetButtonStringIndex(int nIndex) const;
    // Where a button's popup opens (screen) and the area it must not cover.
    CPoint GetPopupPoint(int nIndex, RECT* pExclude) const;

    BOOL m_bDetach;

    BOOL PreTranslateMessage(MSG* pMsg) override;
    virtual bool OnMenuInput(const MSG& msg);
    void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHandler) override;
    void OnBarStyleChange(DWORD dwOldStyle, DWORD dwNewStyle) override;
    void OnMenuSelect(UINT nFlags, HMENU hMenu);
    void UpdateFont();

protected:
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnNcPaint();
    void OnSize(UINT nType, int cx, int cy);
    void OnUpdateButton(CCmdUI* pCmdUI);
    void OnCustomDraw(NMHDR* pNotify, LRESULT* pResult);
    LRESULT OnDetach(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    HWND OwnerWindow() const;
    void SetHot(int nIndex);
    void EndNavigation();
    void SwitchTo(int nIndex);
    static LRESULT CALLBACK MenuFilterProc(int code, WPARAM wParam, LPARAM lParam);

    XRVSkoFrameHook m_frameHook;
    CStringArray m_captions;
    HMENU m_hMenu;
    int m_nCurrent;
    int m_nNext;
    bool m_bItemPlain;
    bool m_bInTopPopup;
    bool m_bKeepKeyboard;
    CPoint m_ptLast;
    HMENU m_hOpenPopup;
    int m_nState;
    bool m_bAltAlone;
    CFont m_font;

    static XRVSkoMenuBar* s_pTracking;
    static HHOOK s_hFilter;
};

// Inserts a command item whose text is a string resource at the top of a menu.
BOOL InsertMenuStringAtTop(HMENU hMenu, UINT nIDString, UINT nCommand);
// The general form: a popup (MF_POPUP) at a position.
BOOL InsertMenuStringAt(HMENU hMenu, UINT nIDString, HMENU hPopup, UINT nPosition);
// A separator at the top of a menu.
BOOL InsertTopSeparator(HMENU hMenu);
