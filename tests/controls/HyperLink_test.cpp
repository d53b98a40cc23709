#include "controls/HyperLink.h"

#include "framework/ui/Dialog.h"
#include "ControlsInput.h"
#include "ControlsTest.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>
#include <shlwapi.h>
#include <string>
#include <vector>

namespace {

// Stand-ins for the shell and the process start.
std::vector<std::string> g_shellCalls;
std::vector<std::string> g_execCalls;
INT_PTR g_shellResult = 42;
UINT g_execResult = 33;

HINSTANCE FakeShell(LPCSTR, LPCSTR file)
{
    g_shellCalls.push_back(file);
    return (HINSTANCE)g_shellResult;
}
UINT FakeExec(LPCSTR command, UINT)
{
    g_execCalls.push_back(command);
    return g_execResult;
}

const char kScratch[] = "Software\\VexcapTest\\LinkClasses";

class CLinkDlg : public CDialog {
public:
    CLinkDlg() : CDialog(IDD_TEST_LINKS) {}
    CHyperLink link;
    CHyperLink link2;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        link.SubclassDlgItem(IDC_TEST_LINK, this);
        link2.SetLink("http://example.invalid/press", NULL);
        link2.SetOptions(0x55 | CHyperLink::kOpenOnPress);
        link2.SubclassDlgItem(IDC_TEST_LINK2, this);
        return TRUE;
    }
};

int CountNear(const std::vector<DWORD>& px, COLORREF c)
{
    int n = 0;
    for (DWORD p : px) {
        const int r = (int)((p >> 16) & 0xFF) - GetRValue(c);
        const int g = (int)((p >> 8) & 0xFF) - GetGValue(c);
        const int b = (int)(p & 0xFF) - GetBValue(c);
        n += r * r + g * g + b * b < 64 * 64;
    }
    return n;
}

struct LinkFixture : ::testing::Test {
    CLinkDlg dlg;
    HKEY scratch = NULL;
    CHyperLink::ShellExecuteProc savedShell = CHyperLink::s_pfnShellExecute;
    CHyperLink::WinExecProc savedExec = CHyperLink::s_pfnWinExec;
    HKEY savedRoot = CHyperLink::s_hClassesRoot;

    void SetUp() override
    {
        ctlinput::MouseAt(5, 1000);
        g_shellCalls.clear();
        g_execCalls.clear();
        g_shellResult = 42;
        g_execResult = 33;
        CHyperLink::s_pfnShellExecute = &FakeShell;
        CHyperLink::s_pfnWinExec = &FakeExec;
        ::SHDeleteKeyA(HKEY_CURRENT_USER, kScratch);
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, kScratch, 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                                                   &scratch, NULL));
        CHyperLink::s_hClassesRoot = scratch;
        ASSERT_TRUE(dlg.Create(IDD_TEST_LINKS));
        dlg.SetWindowPos(NULL, 300, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        dlg.ShowWindow(SW_SHOW);
        dlg.SetForegroundWindow();
        dlg.UpdateWindow();
        uitest::PumpPending();
    }
    void TearDown() override
    {
        dlg.DestroyWindow();
        CHyperLink::s_pfnShellExecute = savedShell;
        CHyperLink::s_pfnWinExec = savedExec;
        CHyperLink::s_hClassesRoot = savedRoot;
        ::RegCloseKey(scratch);
        ::SHDeleteKeyA(HKEY_CURRENT_USER, kScratch);
    }
    void SetClasses(const char* docClass, const char* command)
    {
        ::RegSetValueA(scratch, ".htm", REG_SZ, docClass, (DWORD)strlen(docClass));
        std::string key = std::string(docClass) + "\\shell\\open\\command";
        ::RegSetValueA(scratch, key.c_str(), REG_SZ, command, (DWORD)strlen(command));
    }
    POINT Centre(CWnd& w)
    {
        CRect rc;
        w.GetClientRect(&rc);
        return ctlinput::ScreenPoint(w.m_hWnd, rc.Width() / 4, rc.Height() / 2);
    }
    std::vector<DWORD> Pixels(CWnd& w)
    {
        w.UpdateWindow();
        int cx = 0, cy = 0;
        return uitest::CaptureClient(w.m_hWnd, &cx, &cy);
    }
};

// The text is the address; a click opens it; the link turns visited.
TEST_F(LinkFixture, StaticTextIsTheAddressAndAClickOpensIt)
{
    EXPECT_EQ(CString("http://example.invalid/链接"), dlg.link.GetLink());
    EXPECT_GT(CountNear(Pixels(dlg.link), CHyperLink::s_normalColour), 10) << "blue text";
    const POINT pt = Centre(dlg.link);
    ctlinput::ClickAt(pt.x, pt.y);
    ASSERT_EQ(1u, g_shellCalls.size());
    EXPECT_EQ("http://example.invalid/链接", g_shellCalls[0]);
    EXPECT_TRUE(dlg.link.IsVisited());
    EXPECT_EQ(dlg.link.m_hWnd, ::GetFocus()) << "a press takes the focus";
}

// The hover colour is an option (bit 2, off in the default 0x55).
TEST_F(LinkFixture, HoverColourOverAVisitedLinkAndVisitedAway)
{
    dlg.link.SetOptions(0x55 | CHyperLink::kHoverColour);
    const POINT pt = Centre(dlg.link);
    ctlinput::ClickAt(pt.x, pt.y);
    ASSERT_TRUE(dlg.link.IsVisited());
    ctlinput::MouseAt(pt.x + 1, pt.y);
    uitest::PumpUntil([&] { return dlg.link.IsHovering(); }, 1000);
    EXPECT_EQ(CHyperLink::s_hoverColour, dlg.link.CurrentColour());
    EXPECT_GT(CountNear(Pixels(dlg.link), CHyperLink::s_hoverColour), 10) << "red text";
    ctlinput::MouseAt(5, 1000);
    uitest::PumpUntil([&] { return !dlg.link.IsHovering(); }, 1000);
    // Focused: active, but option 64 keeps the active colour off.
    EXPECT_EQ(CHyperLink::s_visitedColour, dlg.link.CurrentColour());
    EXPECT_GT(CountNear(Pixels(dlg.link), CHyperLink::s_visitedColour), 10);
    EXPECT_EQ(0, CountNear(Pixels(dlg.link), CHyperLink::s_hoverColour));
}

TEST_F(LinkFixture, OpenOnPressOpensOnceAndSpaceOpensToo)
{
    const POINT pt = Centre(dlg.link2);
    ctlinput::ClickAt(pt.x, pt.y);
    ASSERT_EQ(1u, g_shellCalls.size()) << "on the press only";
    EXPECT_EQ("http://example.invalid/press", g_shellCalls[0]);
    CString text;
    dlg.link2.GetWindowText(text);
    EXPECT_EQ(CString("按下打开"), text) << "its own text stays";
    ctlinput::Key(VK_SPACE);
    EXPECT_EQ(2u, g_shellCalls.size());
}

// The shell refuses; ".htm" has no command: the user is told the shell's code.
TEST_F(LinkFixture, FailureShowsTheShellsErrorCode)
{
    uitest::ModalAnswerer answerer([](HWND d) { return uitest::ModalAnswerer::Press(d, IDOK); });
    g_shellResult = 31;
    EXPECT_EQ((HINSTANCE)31, dlg.link.OpenLink("vexcap-none:x"));
    // The real shell on a file that does not exist: code 2.
    CHyperLink::s_pfnShellExecute = savedShell;
    EXPECT_EQ((HINSTANCE)2, dlg.link.OpenLink("C:\\vexcap-missing\\nothing.vexnone"));
    ASSERT_EQ(2u, answerer.MessageTexts().size());
    EXPECT_EQ("不能打开链接 (31)", answerer.MessageTexts()[0]);
    EXPECT_EQ("不能打开链接 (2)", answerer.MessageTexts()[1]);
    EXPECT_TRUE(g_execCalls.empty());
    EXPECT_FALSE(dlg.link.IsVisited());
}

// With a registered browser command the address goes there as one argument.
TEST_F(LinkFixture, FallsBackToTheRegisteredBrowserCommand)
{
    g_shellResult = 31;
    SetClasses("VexTestDoc", "C:\\b\\browser.exe %1");
    EXPECT_EQ((HINSTANCE)33, dlg.link.OpenLink("http://a.invalid/x y"));
    ASSERT_EQ(1u, g_execCalls.size());
    EXPECT_EQ("C:\\b\\browser.exe  \"http://a.invalid/x y\"", g_execCalls[0]);
    EXPECT_TRUE(dlg.link.IsVisited());
}

TEST(HyperLink, BrowserCommandIsCutBeforeItsArgument)
{
    struct Row { const char* registered; const char* address; const char* expected; };
    const Row rows[] = {
        { "C:\\b\\browser.exe %1", "http://a", "C:\\b\\browser.exe  \"http://a\"" },
        { "\"C:\\P F\\b.exe\" -nohome \"%1\"", "http://a", "\"C:\\P F\\b.exe\" -nohome  \"http://a\"" },
        { "C:\\b\\b.exe", "http://a", "C:\\b\\b.exe \"http://a\"" },
        { "b.exe %1", "http://a\" & calc", "b.exe  \"http://a & calc\"" },
    };
    for (const Row& row : rows)
        EXPECT_EQ(CString(row.expected), CHyperLink::BrowserCommand(row.registered, row.address)) << row.registered;
}

}  // namespace
