#pragma once
#include "framework/Collections.h"
#include "framework/ui/Wnd.h"

// One run of text with one style in a CHtmlText.
struct HtmlItem {
    enum Kind {
        kText = 0, kIndent = 1, kFont = 2, kHyperlink = 3, kHelp = 4, kCommand = 5, kHtml = 6,
        kNbsp = 7, kProgram = 8,
    };
    HtmlItem();
    HtmlItem(const HtmlItem& other);   // deep copy (strings duplicated, no font handle)
    ~HtmlItem();
    HtmlItem& operator=(const HtmlItem&) = delete;

    BOOL IsLink() const { return kind == kHyperlink || kind == kHelp || kind == kCommand || kind == kProgram; }
    HFONT GetFont();   // made on first use from the LOGFONT (height in tenths of a point)

    char* text;
    LOGFONT font;
    COLORREF colour;
    BOOL hasColour;
    BOOL visited;
    BOOL lineBreak;
    BOOL centre;
    int kind;
    char* target;

private:
    HFONT m_hFont;
};

// A scrolling window that shows a small tagged text language: fonts, sizes,
// colours, bold, italic, centred lines, line breaks, indents and links (web or
// file, help topic, command to the main window, program). The tips window and
// rich static texts of dialogs use it. UI thread.
//
// Tags (case-insensitive): HTML, FONT SIZE=n FACE="name" COLOR=RRGGBB,
// A HREF="target", HELP "topic", COMMANDID "id", EXEC "path" (alias names and
// "|" in front), ALIAS FOLDER="folder" NAME="name", B, I, CENTER (and their
// closing tags), BR, T (indent), NBSP and the entity &nbsp;.
class CHtmlText : public CWnd {
public:
    CHtmlText();
    ~CHtmlText() override;

    // Creates the window (always with WS_VSCROLL) of a class of its own.
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    // Sets the whole text: plain text (without a leading <HTML>) is wrapped and
    // its line ends become <BR>; parses, scrolls to the top and repaints.
    void SetText(LPCTSTR lpszText);
    const CString& GetText() const { return m_text; }

    int GetItemCount() const { return (int)m_items.GetSize(); }
    HtmlItem* GetItem(int i) const { return (HtmlItem*)m_items[i]; }
    // Link rectangles of the last paint, in drawing order, and their items.
    int GetLinkCount() const { return (int)m_linkRects.GetSize(); }
    CRect GetLinkRect(int i) const { return m_linkRects[i]; }
    int GetLinkItem(int i) const { return m_linkItems[i]; }
    int GetLineHeight() const { return m_lineHeight; }
    int GetLineCount() const { return m_lineCount; }
    int GetTotalHeight() const { return m_totalHeight; }
    // Deep copy of an item array (each item and its strings duplicated).
    static void CopyItems(const CPtrArray& from, CPtrArray& to);
    static void FreeItems(CPtrArray& items);
    // The folder of an alias name ("HOME" is the program's folder), or empty.
    CString GetAliasFolder(LPCTSTR lpszName) const;
    const CString& GetDefaultFolder() const { return m_defaultFolder; }
    // The path an EXEC tag names, after its aliases and the default folder.
    CString ResolveExecPath(LPCTSTR lpszPath) const;

    COLORREF m_linkColour;
    COLORREF m_hoverColour;
    COLORREF m_visitedColour;

protected:
    // Launch points of the links; the default ones call the shell.
    virtual BOOL OpenWithShell(LPCTSTR lpszTarget);
    virtual BOOL RunCommandLine(LPCTSTR lpszCommandLine);
    virtual void ShowHelpTopic(DWORD dwTopic);
    virtual void ReportOpenFailure(LPCTSTR lpszTarget);
    void Activate(int item);

    void OnPaint();
    void OnSize(UINT nType, int cx, int cy);
    void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt);
    void OnMouseMove(UINT nFlags, CPoint point);
    void OnLButtonDown(UINT nFlags, CPoint point);
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    BOOL OnEraseBkgnd(CDC* pDC);
    DECLARE_MESSAGE_MAP()

private:
    void Parse();
    void Layout(HDC hDC, BOOL bDraw);
    void EndHover();
    void SetHover(int link);
    COLORREF ItemColour(const HtmlItem* item) const;

    CPtrArray m_items;
    CString m_text;
    CRect m_client;
    BOOL m_hoverActive;
    int m_hoverItem;
    int m_hoverLink;
    int m_lineHeight;
    BOOL m_centre;
    BOOL m_bold;
    BOOL m_italic;
    CArray<CRect, const CRect&> m_linkRects;
    CArray<int, int> m_linkItems;
    CStringArray m_aliasFolders;
    CStringArray m_aliasNames;
    CString m_defaultFolder;
    BOOL m_aliasesChanged;
    int m_lineCount;
    int m_totalHeight;
    LOGFONT m_baseFont;
};
