#include "controls/HtmlText.h"

#include "framework/Module.h"
#include "framework/WinApp.h"
#include "framework/ui/DC.h"
#include "resources/ids_controls.h"
#include "settings/FontUtil.h"

#include <shellapi.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

namespace {

char* DupString(const char* s)
{
    if (s == NULL)
        return NULL;
    const size_t n = strlen(s) + 1;
    char* d = (char*)malloc(n);
    if (d != NULL)
        memcpy(d, s, n);
    return d;
}

// The words of a tag: split at blanks and "=", a double-quoted value kept
// whole. FALSE when a quoted value is not closed.
BOOL SplitTag(const CString& tag, std::vector<CString>* words)
{
    const int n = tag.GetLength();
    int i = 0;
    while (i < n) {
        const char c = tag[i];
        if (c == ' ' || c == '=' || c == '\t' || c == '\r' || c == '\n') {
            i++;
            continue;
        }
        if (c == '"') {
            const int close = tag.Find('"', i + 1);
            if (close < 0)
                return FALSE;
            words->push_back(tag.Mid(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        int end = i;
        while (end < n && tag[end] != ' ' && tag[end] != '=' && tag[end] != '\t' && tag[end] != '\r' &&
               tag[end] != '\n') {
            if (IsDBCSLeadByte((BYTE)tag[end]) && end + 1 < n)
                end++;
            end++;
        }
        words->push_back(tag.Mid(i, end - i));
        i = end;
    }
    return TRUE;
}

// The value after the attribute name, or null.
const CString* Attribute(const std::vector<CString>& words, LPCTSTR name)
{
    for (size_t i = 1; i + 1 < words.size(); i++) {
        if (words[i].CompareNoCase(name) == 0)
            return &words[i + 1];
    }
    return NULL;
}

CString ProgramFolder()
{
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(NULL, path, MAX_PATH);
    CString folder(path);
    return folder.Left(folder.ReverseFind('\\') + 1);
}

BOOL FileExists(const CString& path)
{
    const DWORD attributes = ::GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The hand over links: the program's cursor resource, else the system's.
HCURSOR LinkCursor()
{
    HCURSOR hand = ::LoadCursorA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDC_CURSOR_LINK));
    return hand != NULL ? hand : ::LoadCursorA(NULL, (LPCSTR)IDC_HAND);
}

struct Style {
    CString name;   // the element's tag name, empty for the base
    LOGFONT font;
    COLORREF colour;
    BOOL hasColour;
    int kind;
    CString target;
};

}  // namespace

// ---------------------------------------------------------------------------
// HtmlItem

HtmlItem::HtmlItem()
    : text(NULL), colour(0), hasColour(FALSE), visited(FALSE), lineBreak(FALSE), centre(FALSE),
      kind(kText), target(NULL), m_hFont(NULL)
{
    ZeroMemory(&font, sizeof(font));
}

HtmlItem::HtmlItem(const HtmlItem& other)
    : text(DupString(other.text)), font(other.font), colour(other.colour), hasColour(other.hasColour),
      visited(other.visited), lineBreak(other.lineBreak), centre(other.centre), kind(other.kind),
      target(DupString(other.target)), m_hFont(NULL)
{
}

HtmlItem::~HtmlItem()
{
    free(text);
    free(target);
    if (m_hFont != NULL)
        ::DeleteObject(m_hFont);
}

HFONT HtmlItem::GetFont()
{
    if (m_hFont == NULL) {
        LOGFONT lf = font;
        HDC screen = ::GetDC(NULL);
        lf.lfHeight = -::MulDiv(::GetDeviceCaps(screen, LOGPIXELSY), font.lfHeight, 720);
        ::ReleaseDC(NULL, screen);
        m_hFont = ::CreateFontIndirectA(&lf);
    }
    return m_hFont;
}

// ---------------------------------------------------------------------------
// CHtmlText

BEGIN_MESSAGE_MAP(CHtmlText, CWnd)
    ON_WM_PAINT()
    ON_WM_SIZE()
    ON_WM_VSCROLL()
    ON_WM_MOUSEWHEEL()
    ON_WM_MOUSEMOVE()
    ON_WM_LBUTTONDOWN()
    ON_WM_SETCURSOR()
    ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CHtmlText::CHtmlText()
    : m_linkColour(RGB(0, 51, 153)), m_hoverColour(RGB(255, 51, 0)), m_visitedColour(RGB(128, 0, 128)),
      m_hoverActive(FALSE), m_hoverItem(-1), m_hoverLink(-1), m_lineHeight(0), m_centre(FALSE),
      m_bold(FALSE), m_italic(FALSE), m_aliasesChanged(FALSE), m_lineCount(0), m_totalHeight(0)
{
    m_aliasNames.Add("HOME");
    m_aliasFolders.Add(ProgramFolder());
    ZeroMemory(&m_baseFont, sizeof(m_baseFont));
    m_baseFont.lfHeight = 100;
    m_baseFont.lfCharSet = GetDefaultCharset();
    const CString face = EnumerateFonts(VARIABLE_PITCH | FF_SWISS, m_baseFont.lfCharSet, "宋体", NULL);
    lstrcpynA(m_baseFont.lfFaceName, face, LF_FACESIZE);
}

CHtmlText::~CHtmlText()
{
    FreeItems(m_items);
}

void CHtmlText::FreeItems(CPtrArray& items)
{
    for (INT_PTR i = 0; i < items.GetSize(); i++)
        delete (HtmlItem*)items[i];
    items.RemoveAll();
}

void CHtmlText::CopyItems(const CPtrArray& from, CPtrArray& to)
{
    FreeItems(to);
    for (INT_PTR i = 0; i < from.GetSize(); i++)
        to.Add(new HtmlItem(*(const HtmlItem*)from[i]));
}

BOOL CHtmlText::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    LPCTSTR cls = AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW, ::LoadCursorA(NULL, (LPCSTR)IDC_ARROW),
                                      (HBRUSH)(COLOR_WINDOW + 1));
    return CWnd::Create(cls, NULL, dwStyle | WS_VSCROLL, rect, pParentWnd, nID);
}

void CHtmlText::SetText(LPCTSTR lpszText)
{
    CString text(lpszText != NULL ? lpszText : "");
    text.Trim();
    if (text.Left(6).CompareNoCase("<HTML>") != 0)
        text = "<HTML>" + text + "</HTML>";
    text.Replace("\r\n", "<BR>");
    m_text = text;
    EndHover();
    // The rectangles of the last paint belong to the old items: until the new
    // text is painted a click must find no link rather than another text's.
    m_linkRects.RemoveAll();
    m_linkItems.RemoveAll();
    FreeItems(m_items);
    Parse();
    if (m_hWnd != NULL) {
        SCROLLINFO si = {};
        si.fMask = SIF_POS;
        si.nPos = 0;
        SetScrollInfo(SB_VERT, &si, TRUE);
        Invalidate();
    }
}

CString CHtmlText::GetAliasFolder(LPCTSTR lpszName) const
{
    for (INT_PTR i = 0; i < m_aliasNames.GetSize(); i++) {
        if (m_aliasNames[i].CompareNoCase(lpszName) == 0)
            return m_aliasFolders[i];
    }
    return CString();
}

CString CHtmlText::ResolveExecPath(LPCTSTR lpszPath) const
{
    CString rest(lpszPath);
    CString result;
    BOOL matched = FALSE;
    int bar;
    while ((bar = rest.Find('|')) >= 0) {
        bool found = false;
        for (INT_PTR i = 0; i < m_aliasNames.GetSize(); i++) {
            if (m_aliasNames[i].CompareNoCase(rest.Left(bar)) == 0) {
                result += m_aliasFolders[i];
                if (!result.IsEmpty() && result.Right(1) != "\\")
                    result += "\\";   // an alias folder given without its backslash
                found = true;
                break;
            }
        }
        if (!found)
            break;
        matched = TRUE;
        rest = rest.Mid(bar + 1);
    }
    result += rest;
    if (!matched && result.Find('\\') < 0 && !m_defaultFolder.IsEmpty()) {
        CString folder = m_defaultFolder;
        if (folder.Right(1) != "\\")
            folder += "\\";
        result = folder + result;
    }
    return result;
}

// Cuts the text at tags and entities and builds one item per text run.
void CHtmlText::Parse()
{
    std::vector<Style> stack;
    Style base;
    base.font = m_baseFont;
    base.colour = 0;
    base.hasColour = FALSE;
    base.kind = HtmlItem::kText;
    stack.push_back(base);
    m_bold = m_italic = m_centre = FALSE;
    BOOL pendingBreak = FALSE;
    BOOL dropNextRun = FALSE;

    auto addItem = [&](const CString& text, int kind) {
        const Style& s = stack.back();
        HtmlItem* item = new HtmlItem;
        item->text = DupString(text);
        item->font = s.font;
        item->font.lfWeight = m_bold ? FW_BOLD : 0;
        item->font.lfItalic = (BYTE)(m_italic ? 1 : 0);
        item->colour = s.colour;
        item->hasColour = s.hasColour;
        item->kind = kind;
        item->target = s.target.IsEmpty() ? NULL : DupString(s.target);
        item->centre = m_centre;
        item->lineBreak = pendingBreak;
        pendingBreak = FALSE;
        if (item->IsLink()) {
            item->font.lfUnderline = 1;
            item->colour = m_linkColour;
            item->hasColour = TRUE;
        }
        m_items.Add(item);
    };
    auto pushElement = [&](const CString& name) -> Style& {
        Style s = stack.back();
        s.name = name;
        stack.push_back(s);
        return stack.back();
    };

    const CString& text = m_text;
    const int n = text.GetLength();
    int pos = 0;
    while (pos < n) {
        // The next tag or entity.
        int next = pos;
        BOOL entity = FALSE;
        while (next < n) {
            const char c = text[next];
            if (c == '<')
                break;
            if (c == '&' && next + 5 < n && text[next + 5] == ';') {
                entity = TRUE;
                break;
            }
            if (IsDBCSLeadByte((BYTE)c) && next + 1 < n)
                next++;
            next++;
        }
        if (next > pos) {
            if (!dropNextRun)
                addItem(text.Mid(pos, next - pos), stack.back().kind);
            dropNextRun = FALSE;
        }
        if (next >= n)
            break;
        CString tag;
        if (entity) {
            tag = text.Mid(next + 1, 4);
            pos = next + 6;
        } else {
            int close = text.Find('>', next + 1);
            if (close < 0)
                close = n;
            tag = text.Mid(next + 1, close - next - 1);
            pos = close + 1;
        }

        std::vector<CString> words;
        if (!SplitTag(tag, &words) || words.empty())
            continue;   // malformed: ignored
        CString name = words[0];
        name.MakeUpper();

        if (name == "HTML") {
            pushElement(name).kind = HtmlItem::kHtml;
        } else if (name == "FONT") {
            Style s = stack.back();
            if (const CString* size = Attribute(words, "SIZE")) {
                char* end = NULL;
                const long v = strtol(*size, &end, 10);
                if (end == (const char*)*size || *end != 0 || v < 1)
                    continue;   // refused
                s.font.lfHeight = v;
            }
            if (const CString* face = Attribute(words, "FACE"))
                lstrcpynA(s.font.lfFaceName, *face, LF_FACESIZE);
            if (const CString* colour = Attribute(words, "COLOR")) {
                CString digits = *colour;
                digits.TrimLeft('#');
                const DWORD v = strtoul(digits.Left(8), NULL, 16);
                s.colour = RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
                s.hasColour = TRUE;
            }
            if (s.kind == HtmlItem::kText || s.kind == HtmlItem::kHtml || s.kind == HtmlItem::kFont)
                s.kind = HtmlItem::kFont;
            s.name = name;
            stack.push_back(s);
        } else if (name == "A") {
            const CString* href = Attribute(words, "HREF");
            Style& s = pushElement(name);
            s.kind = HtmlItem::kHyperlink;
            s.target = href != NULL ? *href : CString();
        } else if (name == "HELP" || name == "COMMANDID") {
            Style& s = pushElement(name);
            s.kind = name == "HELP" ? HtmlItem::kHelp : HtmlItem::kCommand;
            s.target = words.size() > 1 ? words[1] : CString();
        } else if (name == "EXEC") {
            const CString path = ResolveExecPath(words.size() > 1 ? (LPCTSTR)words[1] : "");
            Style& s = pushElement(name);
            if (words.size() > 1 && FileExists(path)) {
                s.kind = HtmlItem::kProgram;
                s.target = path;
            } else {
                dropNextRun = TRUE;
            }
        } else if (name == "ALIAS") {
            const CString* folder = Attribute(words, "FOLDER");
            const CString* alias = Attribute(words, "NAME");
            if (folder != NULL) {
                if (alias == NULL) {
                    m_defaultFolder = *folder;
                } else {
                    INT_PTR i = 0;
                    for (; i < m_aliasNames.GetSize(); i++) {
                        if (m_aliasNames[i].CompareNoCase(*alias) == 0)
                            break;
                    }
                    if (i < m_aliasNames.GetSize()) {
                        m_aliasFolders[i] = *folder;
                    } else {
                        m_aliasNames.Add(*alias);
                        m_aliasFolders.Add(*folder);
                    }
                }
                m_aliasesChanged = TRUE;
            }
            dropNextRun = TRUE;
        } else if (name == "B" || name == "/B") {
            m_bold = name == "B";
        } else if (name == "I" || name == "/I") {
            m_italic = name == "I";
        } else if (name == "CENTER" || name == "/CENTER") {
            m_centre = name == "CENTER";
        } else if (name == "BR") {
            if (pendingBreak)
                addItem("", HtmlItem::kText);   // an empty line
            pendingBreak = TRUE;
        } else if (name == "T") {
            addItem("", HtmlItem::kIndent);
        } else if (name == "NBSP") {
            addItem(" ", HtmlItem::kNbsp);
        } else if (name[0] == '/') {
            const CString closing = name.Mid(1);
            for (size_t i = stack.size(); i-- > 1;) {
                if (stack[i].name == closing) {
                    stack.resize(i);
                    break;
                }
            }
        }
    }
    if (pendingBreak)
        addItem("", HtmlItem::kText);
}

COLORREF CHtmlText::ItemColour(const HtmlItem* item) const
{
    return item->hasColour ? item->colour : ::GetSysColor(COLOR_WINDOWTEXT);
}

// Lays the words out line by line (and draws them when bDraw); records the
// link rectangles and sets the scroll range and the scroll step.
void CHtmlText::Layout(HDC hDC, BOOL bDraw)
{
    struct Placed { int item; CString text; int x; int width; };
    struct Line { std::vector<Placed> words; int ascent = 0; int descent = 0; int right = 0; BOOL centre = FALSE; };

    HFONT baseFont = NULL;
    {
        LOGFONT lf = m_baseFont;
        lf.lfHeight = -::MulDiv(::GetDeviceCaps(hDC, LOGPIXELSY), m_baseFont.lfHeight, 720);
        baseFont = ::CreateFontIndirectA(&lf);
    }
    HGDIOBJ oldFont = ::SelectObject(hDC, baseFont);
    TEXTMETRICA tm;
    ::GetTextMetricsA(hDC, &tm);
    const int margin = tm.tmAveCharWidth;
    const int left = margin;
    const int right = m_client.Width() - margin;

    std::vector<Line> lines(1);
    int x = left;
    BOOL gap = FALSE;
    auto newLine = [&]() {
        lines.push_back(Line());
        x = left;
        gap = FALSE;
    };
    for (INT_PTR i = 0; i < m_items.GetSize(); i++) {
        HtmlItem* item = (HtmlItem*)m_items[i];
        ::SelectObject(hDC, item->GetFont());
        TEXTMETRICA itm;
        ::GetTextMetricsA(hDC, &itm);
        if (item->lineBreak) {
            Line& cur = lines.back();
            if (cur.words.empty() && cur.ascent == 0) {
                cur.ascent = itm.tmAscent;
                cur.descent = itm.tmDescent;
            }
            newLine();
        }
        Line* line = &lines.back();
        if (line->words.empty())
            line->centre = item->centre;
        if (line->ascent < itm.tmAscent)
            line->ascent = itm.tmAscent;
        if (line->descent < itm.tmDescent)
            line->descent = itm.tmDescent;
        if (item->kind == HtmlItem::kIndent) {
            x += 3 * itm.tmAveCharWidth;
            gap = FALSE;
            continue;
        }
        const CString text(item->text != NULL ? item->text : "");
        std::vector<CString> words;
        const BOOL whole = item->IsLink() || item->kind == HtmlItem::kNbsp;
        if (whole) {
            if (!text.IsEmpty())
                words.push_back(text);
        } else {
            // A run that begins with a blank is set apart from what precedes it.
            if (!text.IsEmpty() && text[0] == ' ')
                gap = TRUE;
            int start = 0;
            for (;;) {
                const CString word = text.Tokenize(" ", start);
                if (start < 0)
                    break;
                words.push_back(word);
            }
        }
        for (size_t w = 0; w < words.size(); w++) {
            if (w > 0)
                gap = TRUE;   // the words of one run were separated by blanks
            SIZE extent = { 0, 0 };
            ::GetTextExtentPoint32A(hDC, words[w], words[w].GetLength(), &extent);
            int wx = x + (gap ? itm.tmAveCharWidth : 0);
            if (wx + extent.cx > right && !lines.back().words.empty()) {
                newLine();
                line = &lines.back();
                line->centre = item->centre;
                line->ascent = itm.tmAscent;
                line->descent = itm.tmDescent;
                wx = x;
            }
            line = &lines.back();
            line->words.push_back({ (int)i, words[w], wx, extent.cx });
            x = wx + extent.cx;
            line->right = x;
            gap = FALSE;
        }
        // A run that ends with a blank is set apart from what follows.
        if (!whole && !text.IsEmpty() && text[text.GetLength() - 1] == ' ')
            gap = TRUE;
    }
    if (lines.back().words.empty() && lines.back().ascent == 0)
        lines.pop_back();

    SCROLLINFO si = {};
    si.cbSize = sizeof(si);
    si.fMask = SIF_POS;
    ::GetScrollInfo(m_hWnd, SB_VERT, &si);
    int y = -si.nPos;
    m_linkRects.RemoveAll();
    m_linkItems.RemoveAll();
    if (bDraw) {
        ::SetBkMode(hDC, TRANSPARENT);
        ::SetTextAlign(hDC, TA_BASELINE | TA_LEFT);
    }
    int total = 0;
    for (const Line& line : lines) {
        const int shift = line.centre ? (right - line.right) / 2 : 0;
        const int baseline = y + line.ascent;
        for (const Placed& p : line.words) {
            HtmlItem* item = (HtmlItem*)m_items[p.item];
            ::SelectObject(hDC, item->GetFont());
            if (bDraw) {
                ::SetTextColor(hDC, ItemColour(item));
                ::TextOutA(hDC, p.x + (shift > 0 ? shift : 0), baseline, p.text, p.text.GetLength());
            }
            if (item->IsLink()) {
                TEXTMETRICA itm;
                ::GetTextMetricsA(hDC, &itm);
                const int lx = p.x + (shift > 0 ? shift : 0);
                m_linkRects.Add(CRect(lx, baseline - itm.tmAscent, lx + p.width, baseline + itm.tmDescent));
                m_linkItems.Add(p.item);
            }
        }
        const int h = line.ascent + line.descent;
        y += h;
        total += h;
    }
    ::SelectObject(hDC, oldFont);
    ::DeleteObject(baseFont);

    m_lineCount = (int)lines.size();
    m_totalHeight = total;
    // An empty text has no lines: keep the step instead of dividing by zero.
    m_lineHeight = m_lineCount > 0 ? total / m_lineCount : 0;
    si.fMask = SIF_RANGE | SIF_PAGE;
    si.nMin = 0;
    si.nMax = total;
    si.nPage = (UINT)m_client.Height();
    ::SetScrollInfo(m_hWnd, SB_VERT, &si, TRUE);
}

BOOL CHtmlText::OnEraseBkgnd(CDC* pDC)
{
    (void)pDC;
    return (BOOL)Default();
}

void CHtmlText::OnPaint()
{
    CPaintDC dc(this);
    if (m_client.IsRectEmpty())
        GetClientRect(&m_client);
    Layout(dc.m_hDC, TRUE);
}

void CHtmlText::OnSize(UINT, int cx, int cy)
{
    m_client.SetRect(0, 0, cx, cy);
    Invalidate();
}

void CHtmlText::OnVScroll(UINT nSBCode, UINT, CScrollBar*)
{
    SCROLLINFO si = {};
    GetScrollInfo(SB_VERT, &si, SIF_ALL);
    int pos = si.nPos;
    const int step = m_lineHeight > 0 ? m_lineHeight : 1;
    switch (nSBCode) {
    case SB_LINEUP: pos -= step; break;
    case SB_LINEDOWN: pos += step; break;
    case SB_PAGEUP: pos -= (int)si.nPage; break;
    case SB_PAGEDOWN: pos += (int)si.nPage; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = si.nTrackPos; break;
    case SB_TOP: pos = si.nMin; break;
    case SB_BOTTOM: pos = si.nMax; break;
    default: return;
    }
    const int maxPos = si.nMax - (int)si.nPage + 1;
    if (pos > maxPos)
        pos = maxPos;
    if (pos < si.nMin)
        pos = si.nMin;
    if (pos == si.nPos)
        return;
    const int oldPos = si.nPos;
    si.fMask = SIF_POS;
    si.nPos = pos;
    SetScrollInfo(SB_VERT, &si, TRUE);
    // Moves what is drawn and invalidates only the uncovered band.
    ::ScrollWindowEx(m_hWnd, 0, oldPos - pos, NULL, NULL, NULL, NULL, SW_INVALIDATE);
}

BOOL CHtmlText::OnMouseWheel(UINT, short zDelta, CPoint)
{
    SendMessage(WM_VSCROLL, zDelta < 0 ? SB_LINEDOWN : SB_LINEUP, 0);
    return TRUE;
}

void CHtmlText::SetHover(int link)
{
    const int item = m_linkItems[link];
    if (m_hoverActive && m_hoverLink == link)
        return;
    if (m_hoverActive && m_hoverItem != item)
        EndHover();
    if (::GetCapture() != m_hWnd)
        SetCapture();
    m_hoverActive = TRUE;
    m_hoverLink = link;
    m_hoverItem = item;
    HtmlItem* p = GetItem(item);
    if (!p->visited)
        p->colour = m_hoverColour;
    InvalidateRect(&m_linkRects[link], FALSE);
    ::SetCursor(LinkCursor());
}

void CHtmlText::EndHover()
{
    if (!m_hoverActive)
        return;
    m_hoverActive = FALSE;
    if (m_hoverItem >= 0 && m_hoverItem < GetItemCount()) {
        HtmlItem* p = GetItem(m_hoverItem);
        if (!p->visited)
            p->colour = m_linkColour;
    }
    m_hoverItem = -1;
    m_hoverLink = -1;
    if (m_hWnd != NULL) {
        if (::GetCapture() == m_hWnd)
            ::ReleaseCapture();
        Invalidate(FALSE);
    }
}

void CHtmlText::OnMouseMove(UINT, CPoint point)
{
    if (m_client.PtInRect(point)) {
        for (INT_PTR i = 0; i < m_linkRects.GetSize(); i++) {
            if (m_linkRects[i].PtInRect(point)) {
                SetHover((int)i);
                return;
            }
        }
    }
    EndHover();
}

BOOL CHtmlText::OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message)
{
    if (m_hoverActive) {
        ::SetCursor(LinkCursor());
        return TRUE;
    }
    (void)pWnd;
    (void)nHitTest;
    (void)message;
    return (BOOL)Default();
}

void CHtmlText::OnLButtonDown(UINT, CPoint point)
{
    OnMouseMove(0, point);
    if (!m_hoverActive)
        return;
    Activate(m_hoverItem);
}

void CHtmlText::Activate(int index)
{
    if (index < 0 || index >= GetItemCount())
        return;
    HtmlItem* item = GetItem(index);
    const CString target(item->target != NULL ? item->target : "");
    BOOL visited = FALSE;
    switch (item->kind) {
    case HtmlItem::kHyperlink:
        if (OpenWithShell(target)) {
            visited = TRUE;
        } else {
            // The command of the .htm file class, with the target in place of "%1".
            CString command;
            char cls[256] = "";
            LONG size = sizeof(cls);
            if (::RegQueryValueA(HKEY_CLASSES_ROOT, ".htm", cls, &size) == ERROR_SUCCESS) {
                char cmd[1024] = "";
                size = sizeof(cmd);
                if (::RegQueryValueA(HKEY_CLASSES_ROOT, CString(cls) + "\\shell\\open\\command", cmd, &size) ==
                    ERROR_SUCCESS)
                    command = cmd;
            }
            if (!command.IsEmpty()) {
                int placeholder = command.Find("\"%1\"");
                int len = 4;
                if (placeholder < 0) {
                    placeholder = command.Find("%1");
                    len = 2;
                }
                if (placeholder >= 0)
                    command = command.Left(placeholder) + " " + target + command.Mid(placeholder + len);
                else
                    command += " " + target;
                visited = RunCommandLine(command);
            }
            if (!visited) {
                ::MessageBeep(MB_ICONEXCLAMATION);
                ReportOpenFailure(target);
            }
        }
        break;
    case HtmlItem::kHelp:
        ShowHelpTopic((DWORD)strtoul(target, NULL, 10));
        visited = TRUE;
        break;
    case HtmlItem::kCommand: {
        CWnd* pMain = AfxGetMainWnd();
        if (pMain->GetSafeHwnd() != NULL)
            ::SendMessageA(pMain->m_hWnd, WM_COMMAND, (WPARAM)strtoul(target, NULL, 10), (LPARAM)m_hWnd);
        visited = TRUE;
        break;
    }
    case HtmlItem::kProgram:
        OpenWithShell(target);
        visited = TRUE;
        break;
    default:
        break;
    }
    if (visited && index >= 0 && index < GetItemCount()) {
        item = GetItem(index);
        item->visited = TRUE;
        item->colour = m_visitedColour;
        Invalidate(FALSE);
    }
}

BOOL CHtmlText::OpenWithShell(LPCTSTR lpszTarget)
{
    const HINSTANCE result = ::ShellExecuteA(m_hWnd, "open", lpszTarget, NULL, NULL, SW_SHOWNORMAL);
    return (INT_PTR)result > 32;
}

BOOL CHtmlText::RunCommandLine(LPCTSTR lpszCommandLine)
{
    return ::WinExec(lpszCommandLine, SW_SHOWNORMAL) > 31;
}

void CHtmlText::ShowHelpTopic(DWORD dwTopic)
{
    CWinApp* pApp = AfxGetApp();
    CWnd* pMain = AfxGetMainWnd();
    ::WinHelpA(pMain->GetSafeHwnd(), pApp != NULL ? pApp->m_pszHelpFilePath : NULL, HELP_CONTEXT, dwTopic);
}

void CHtmlText::ReportOpenFailure(LPCTSTR lpszTarget)
{
    CString text;
    text.LoadString(IDS_LINK_OPEN_FAILED);
    text += lpszTarget;
    AfxMessageBox(text, MB_ICONEXCLAMATION);
}
