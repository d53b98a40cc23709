#pragma once
#include "framework/String.h"
#include "framework/ui/Controls.h"
#include "framework/ui/GdiObject.h"

// A static text control turned into a link: underlined text in the link
// colours, a hand cursor, a tooltip with the address, focus and keyboard
// activation, and opening through the shell with a fall-back to the
// registered browser command. UI thread only.
class CHyperLink : public CStatic {
    DECLARE_DYNAMIC(CHyperLink)
public:
    enum Options {
        kUnderline = 1,
        kHoverColour = 2,
        kSizeToText = 4,
        kOpenOnPress = 8,
        kFocusOnPress = 16,
        kNoActiveColour = 64,
    };
    static COLORREF s_normalColour;    // blue
    static COLORREF s_activeColour;
    static COLORREF s_visitedColour;
    static COLORREF s_hoverColour;     // red

    CHyperLink();
    ~CHyperLink() override;

    void SetLink(LPCTSTR lpszAddress, LPCTSTR lpszTooltip);
    CString GetLink() const { return m_strAddress; }
    void SetOptions(DWORD options) { m_dwOptions = options; }
    DWORD GetOptions() const { return m_dwOptions; }
    BOOL IsVisited() const { return m_bVisited; }
    BOOL IsHovering() const { return m_bHover; }
    BOOL IsActive() const { return m_bActive; }
    // The colour the text is drawn in now.
    COLORREF CurrentColour() const;

    // Opens an address; a result above 32 is success. On failure the user
    // is told, with the result code.
    HINSTANCE OpenLink(LPCTSTR lpszAddress, int nShowCmd = SW_SHOW);
    // The browser command for an address: the registered command cut before
    // its "%1" (and the quotes around it), then the address as one quoted
    // argument.
    static CString BrowserCommand(const CString& registered, const CString& address);

    // What OpenLink calls; tests stand in for the shell and the process start.
    typedef HINSTANCE (*ShellExecuteProc)(LPCSTR verb, LPCSTR file);
    typedef UINT (*WinExecProc)(LPCSTR command, UINT show);
    static ShellExecuteProc s_pfnShellExecute;
    static WinExecProc s_pfnWinExec;
    static HKEY s_hClassesRoot;   // where ".htm" is looked up

protected:
    void PreSubclassWindow() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    HBRUSH CtlColor(CDC* pDC, UINT nCtlColor);
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnSetFocus(CWnd* pOldWnd);
    void OnKillFocus(CWnd* pNewWnd);
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    LRESULT OnNcHitTest(CPoint point);
    UINT OnGetDlgCode();
    DECLARE_MESSAGE_MAP()

    void SizeToText();
    void Open();

    HCURSOR m_hCursor;
    BOOL m_bActive;
    BOOL m_bHover;
    BOOL m_bVisited;
    DWORD m_dwOptions;
    CString m_strAddress;
    CFont m_font;
    CToolTipCtrl m_tooltip;
};
