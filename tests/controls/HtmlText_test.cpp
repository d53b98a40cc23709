#include "controls/HtmlText.h"

#include "framework/ui/FrameWnd.h"
#include "resources/ids_controls.h"
#include "framework/WinApp.h"
#include "TestSupport.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// A text window whose launch points are recorded instead of run.
class CTestHtmlText : public CHtmlText {
public:
    std::vector<std::string> opened;
    std::vector<std::string> commandLines;
    std::vector<DWORD> helpTopics;
    BOOL openResult = TRUE;

protected:
    BOOL OpenWithShell(LPCTSTR target) override
    {
        opened.push_back(target);
        return openResult;
    }
    BOOL RunCommandLine(LPCTSTR commandLine) override
    {
        commandLines.push_back(commandLine);
        return FALSE;
    }
    void ShowHelpTopic(DWORD topic) override { helpTopics.push_back(topic); }
};

struct HtmlFixture : ::testing::Test {
    CFrameWnd* frame = nullptr;
    CTestHtmlText text;
    void SetUp() override
    {
        frame = new CFrameWnd;
        ASSERT_TRUE(frame->Create(NULL, "html", WS_POPUP | WS_VISIBLE, CRect(0, 0, 420, 300)));
        ASSERT_TRUE(text.Create(WS_VISIBLE, CRect(0, 0, 400, 280), frame, 100));
    }
    void TearDown() override
    {
        if (frame != nullptr && frame->m_hWnd != NULL)
            frame->DestroyWindow();
    }
    void Paint()
    {
        text.Invalidate();
        text.UpdateWindow();
    }
    std::string ItemText(int i) { return text.GetItem(i)->text ? text.GetItem(i)->text : ""; }
    // Items with text, in order, as "kind:text".
    std::vector<std::string> Runs()
    {
        std::vector<std::string> runs;
        for (int i = 0; i < text.GetItemCount(); i++) {
            if (!ItemText(i).empty())
                runs.push_back(std::to_string(text.GetItem(i)->kind) + ":" + ItemText(i));
        }
        return runs;
    }
    void Click(int link)
    {
        const CRect r = text.GetLinkRect(link);
        const LPARAM at = MAKELPARAM(r.left + 1, r.top + 1);
        text.SendMessage(WM_MOUSEMOVE, 0, at);
        text.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
        text.SendMessage(WM_LBUTTONUP, 0, at);
    }
};

TEST_F(HtmlFixture, PlainTextIsWrappedAndLineEndsBecomeBreaks)
{
    text.SetText("  第一行\r\n第二行  ");
    EXPECT_STREQ("<HTML>第一行<BR>第二行</HTML>", text.GetText());
    ASSERT_EQ(2u, Runs().size());
    EXPECT_EQ("6:第一行", Runs()[0]);
    EXPECT_EQ("6:第二行", Runs()[1]);
    int second = -1;
    for (int i = 0; i < text.GetItemCount(); i++)
        if (ItemText(i) == "第二行")
            second = i;
    EXPECT_TRUE(text.GetItem(second)->lineBreak);
}

TEST_F(HtmlFixture, TagsSetFontsColoursAndSwitches)
{
    struct Row { const char* source; const char* run; LONG weight; BYTE italic; COLORREF colour; LONG height; const char* face; };
    const Row rows[] = {
        { "<b>粗</b>", "粗", FW_BOLD, 0, (COLORREF)-1, 100, nullptr },
        { "<I>斜</I>", "斜", 0, 1, (COLORREF)-1, 100, nullptr },
        { "<FONT COLOR=FF0000>红</FONT>", "红", 0, 0, RGB(255, 0, 0), 100, nullptr },
        { "<font size = 140 face=\"Times New Roman\">大</font>", "大", 0, 0, (COLORREF)-1, 140, "Times New Roman" },
        { "<FONT SIZE=0>零</FONT>", "零", 0, 0, (COLORREF)-1, 100, nullptr },   // refused tag
        { "<FONT FACE=\"no end>x</FONT>", "x", 0, 0, (COLORREF)-1, 100, nullptr },
    };
    for (const Row& row : rows) {
        text.SetText(row.source);
        int found = -1;
        for (int i = 0; i < text.GetItemCount(); i++)
            if (ItemText(i) == row.run)
                found = i;
        ASSERT_GE(found, 0) << row.source;
        const HtmlItem* item = text.GetItem(found);
        EXPECT_EQ(row.weight, item->font.lfWeight) << row.source;
        EXPECT_EQ(row.italic, item->font.lfItalic) << row.source;
        EXPECT_EQ(row.height, item->font.lfHeight) << row.source;
        if (row.colour == (COLORREF)-1) {
            EXPECT_FALSE(item->hasColour) << row.source;
        } else {
            EXPECT_EQ(row.colour, item->colour) << row.source;
        }
        if (row.face != nullptr) {
            EXPECT_STREQ(row.face, item->font.lfFaceName) << row.source;
        }
    }
}

TEST_F(HtmlFixture, EntitiesAndClosingTagsRestoreTheEnclosingStyle)
{
    text.SetText("a&nbsp;b&amp;c&copy;d<FONT COLOR=00FF00>g<A HREF=\"x\">l</A>h</FONT>e");
    const std::vector<std::string> runs = Runs();
    const std::vector<std::string> expected = { "6:a", "7: ", "6:b&amp;c", "6:d", "2:g", "3:l", "2:h", "6:e" };
    EXPECT_EQ(expected, runs);
    for (int i = 0; i < text.GetItemCount(); i++) {
        const std::string t = ItemText(i);
        if (t == "h") {
            EXPECT_EQ(RGB(0, 255, 0), text.GetItem(i)->colour);
        }
        if (t == "l") {
            EXPECT_EQ(text.m_linkColour, text.GetItem(i)->colour);
            EXPECT_EQ(1, text.GetItem(i)->font.lfUnderline);
            EXPECT_STREQ("x", text.GetItem(i)->target);
        }
        if (t == "e") {
            EXPECT_FALSE(text.GetItem(i)->hasColour);
        }
    }
}

TEST_F(HtmlFixture, EmptyTextLaysOutWithoutDividingByZero)
{
    text.SetText("");
    Paint();
    EXPECT_EQ(0, text.GetLineCount());
    EXPECT_EQ(0, text.GetLineHeight());
    text.SendMessage(WM_VSCROLL, SB_LINEDOWN, 0);
    text.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(short)-120), 0);
    EXPECT_EQ(0, text.GetScrollPos(SB_VERT));
}

TEST_F(HtmlFixture, LongTextScrollsByLinesAndPagesWithinTheRange)
{
    std::string source;
    for (int i = 0; i < 60; i++)
        source += "第 " + std::to_string(i) + " 行<BR>";
    text.SetText(source.c_str());
    Paint();
    ASSERT_GT(text.GetLineCount(), 50);
    const int step = text.GetLineHeight();
    ASSERT_GT(step, 0);
    EXPECT_EQ(text.GetTotalHeight() / text.GetLineCount(), step);
    text.SendMessage(WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(step, text.GetScrollPos(SB_VERT));
    text.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_EQ(0, text.GetScrollPos(SB_VERT));
    SCROLLINFO si = {};
    text.GetScrollInfo(SB_VERT, &si);
    for (int i = 0; i < 100; i++)
        text.SendMessage(WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(si.nMax - (int)si.nPage + 1, text.GetScrollPos(SB_VERT)) << "clamped to the last page";
    text.SendMessage(WM_VSCROLL, SB_PAGEUP, 0);
    EXPECT_EQ(si.nMax - 2 * (int)si.nPage + 1, text.GetScrollPos(SB_VERT));
}

TEST_F(HtmlFixture, LongWordStandsAloneOnItsLineAndCentringShifts)
{
    text.SetText(("短 " + std::string(200, 'W') + " 尾").c_str());
    Paint();
    EXPECT_EQ(3, text.GetLineCount());
    text.SetText("<CENTER><A HREF=\"x\">中</A></CENTER><BR><A HREF=\"y\">左</A>");
    Paint();
    ASSERT_EQ(2, text.GetLinkCount());
    EXPECT_GT(text.GetLinkRect(0).left, 150) << "centred";
    EXPECT_LT(text.GetLinkRect(1).left, 20) << "left aligned";
}

TEST_F(HtmlFixture, AllLinkKindsActivate)
{
    testsupport::ScratchDir dir("htmlexec");
    const std::string tool = dir.File("tool.txt");
    ASSERT_TRUE(testsupport::WriteFileBytes(tool, "x", 1));
    CFrameWnd* mainFrame = frame;
    // An application object of this thread whose main window is the frame.
    CWinApp app("controls_tests");
    app.m_nThreadID = ::GetCurrentThreadId();
    app.m_pMainWnd = mainFrame;
    ASSERT_EQ(mainFrame, AfxGetMainWnd());

    const std::string source = "<A HREF=\"http://example.invalid/\">网</A> <HELP \"42\">帮</HELP> "
                               "<COMMANDID \"32771\">令</COMMANDID> <ALIAS FOLDER=\"" + dir.Path() +
                               "\" NAME=\"TOOLS\">gone<EXEC \"TOOLS|tool.txt\">程</EXEC>"
                               "<EXEC \"TOOLS|missing.txt\">dropped</EXEC> <HTML>文</HTML>";
    text.SetText(source.c_str());
    for (const std::string& run : Runs()) {
        EXPECT_EQ(std::string::npos, run.find("gone")) << "alias run dropped";
        EXPECT_EQ(std::string::npos, run.find("dropped")) << "missing program's run dropped";
    }
    Paint();
    ASSERT_EQ(4, text.GetLinkCount()) << "the inert HTML text is no link";

    // The command goes to the main window as WM_COMMAND from this window.
    UINT commandId = 0;
    LPARAM commandFrom = 0;
    WNDPROC oldProc = (WNDPROC)::GetWindowLongPtrA(mainFrame->m_hWnd, GWLP_WNDPROC);
    static UINT* s_id;
    static LPARAM* s_from;
    static WNDPROC s_old;
    s_id = &commandId;
    s_from = &commandFrom;
    s_old = oldProc;
    ::SetWindowLongPtrA(mainFrame->m_hWnd, GWLP_WNDPROC, (LONG_PTR)+[](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_COMMAND && l != 0) {
            *s_id = LOWORD(w);
            *s_from = l;
            return 0;
        }
        return ::CallWindowProcA(s_old, h, m, w, l);
    });

    for (int i = 0; i < 4; i++)
        Click(i);
    ::SetWindowLongPtrA(mainFrame->m_hWnd, GWLP_WNDPROC, (LONG_PTR)oldProc);
    app.m_pMainWnd = NULL;

    ASSERT_EQ(2u, text.opened.size());
    EXPECT_EQ("http://example.invalid/", text.opened[0]);
    EXPECT_EQ(tool, text.opened[1]) << "alias folder in front";
    ASSERT_EQ(1u, text.helpTopics.size());
    EXPECT_EQ(42u, text.helpTopics[0]);
    EXPECT_EQ(32771u, commandId);
    EXPECT_EQ((LPARAM)text.m_hWnd, commandFrom);
    for (int i = 0; i < 4; i++)
        EXPECT_TRUE(text.GetItem(text.GetLinkItem(i))->visited) << "link " << i;
    EXPECT_EQ(text.m_visitedColour, text.GetItem(text.GetLinkItem(0))->colour);
}

TEST_F(HtmlFixture, LinkThatCannotBeOpenedIsReported)
{
    text.openResult = FALSE;
    text.SetText("<A HREF=\"nowhere:zz\">坏链接</A>");
    Paint();
    ASSERT_EQ(1, text.GetLinkCount());
    uitest::ModalAnswerer answer([](HWND h) { return uitest::ModalAnswerer::Press(h, IDOK); });
    Click(0);
    ASSERT_EQ(1u, answer.MessageTexts().size());
    EXPECT_EQ("不能打开链接:\n\nnowhere:zz", answer.MessageTexts()[0]);
    EXPECT_FALSE(text.GetItem(text.GetLinkItem(0))->visited);
}

TEST_F(HtmlFixture, HoverColoursTheLinkAndLeavingRestoresIt)
{
    text.SetText("<A HREF=\"x\">链接</A> 文字");
    Paint();
    ASSERT_EQ(1, text.GetLinkCount());
    const CRect r = text.GetLinkRect(0);
    HtmlItem* link = text.GetItem(text.GetLinkItem(0));
    text.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(r.left + 1, r.top + 1));
    EXPECT_EQ(text.m_hoverColour, link->colour);
    EXPECT_EQ(text.m_hWnd, ::GetCapture());
    HCURSOR hand = ::LoadCursorA(::GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDC_CURSOR_LINK));
    ASSERT_TRUE(hand != NULL) << "the link cursor resource";
    text.SendMessage(WM_SETCURSOR, (WPARAM)text.m_hWnd, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(hand, ::GetCursor());
    text.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(390, 270));
    EXPECT_EQ(text.m_linkColour, link->colour);
    EXPECT_NE(text.m_hWnd, ::GetCapture());
}

// A new text drops the link rectangles of the old one: a click before the
// next paint activates nothing, and after the paint the new link is the one.
TEST_F(HtmlFixture, NewTextForgetsTheOldLinksUntilItIsPainted)
{
    struct Case {
        const char* next;
        std::vector<DWORD> topicsAfterPaint;
    };
    const Case cases[] = {
        { "<HELP \"2\">助</HELP>", { 2 } },
        { "<B>帮</B> 纯文字", {} },
        { "", {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.next);
        text.helpTopics.clear();
        text.SetText("<HELP \"1\">帮</HELP>");
        Paint();
        ASSERT_EQ(1, text.GetLinkCount());
        const CRect old = text.GetLinkRect(0);
        text.SetText(c.next);
        EXPECT_EQ(0, text.GetLinkCount());
        const LPARAM at = MAKELPARAM(old.left + 1, old.top + 1);
        text.SendMessage(WM_MOUSEMOVE, 0, at);
        text.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
        text.SendMessage(WM_LBUTTONUP, 0, at);
        EXPECT_TRUE(text.helpTopics.empty()) << "the old text's link was activated";
        Paint();
        ASSERT_EQ((int)c.topicsAfterPaint.size(), text.GetLinkCount());
        for (int i = 0; i < text.GetLinkCount(); i++)
            Click(i);
        EXPECT_EQ(c.topicsAfterPaint, text.helpTopics);
    }
}

TEST(HtmlTextItems, DeepCopyDuplicatesStrings)
{
    CTestHtmlText text;
    text.SetText("<A HREF=\"目标\">链</A>");
    CPtrArray copy;
    CPtrArray source;
    for (int i = 0; i < text.GetItemCount(); i++)
        source.Add(text.GetItem(i));
    CHtmlText::CopyItems(source, copy);
    ASSERT_EQ(source.GetSize(), copy.GetSize());
    for (INT_PTR i = 0; i < copy.GetSize(); i++) {
        const HtmlItem* a = (const HtmlItem*)source[i];
        const HtmlItem* b = (const HtmlItem*)copy[i];
        EXPECT_NE(a, b);
        if (a->text != nullptr) {
            EXPECT_NE(a->text, b->text);
            EXPECT_STREQ(a->text, b->text);
        }
        if (a->target != nullptr) {
            EXPECT_NE(a->target, b->target);
            EXPECT_STREQ(a->target, b->target);
        }
    }
    CHtmlText::FreeItems(copy);
    EXPECT_EQ(0, copy.GetSize());
}

}  // namespace
