#include "controls/SkoSubclassWnd.h"

#include "framework/ui/Wnd.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const UINT kProbe = WM_APP + 7;

// Records what it sees (its name and the message) and passes it on.
class CRecordingHook : public XRVSkoSubclassWnd {
public:
    CRecordingHook(const char* name, std::vector<std::string>* log) : m_name(name), m_log(log) {}
    bool sawCurrentMessage = false;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == kProbe) {
            m_log->push_back(m_name);
            const MSG* current = CWnd::GetCurrentMessage();
            sawCurrentMessage = current->message == kProbe && current->hwnd == m_hWnd && current->wParam == wParam;
        }
        if (message == WM_NCDESTROY)
            m_log->push_back(m_name + ":ncdestroy");
        return XRVSkoSubclassWnd::WindowProc(message, wParam, lParam);
    }

private:
    std::string m_name;
    std::vector<std::string>* m_log;
};

std::vector<std::string>* g_windowLog = nullptr;
bool g_hookedAtNcDestroy = false;

LRESULT CALLBACK OwnProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kProbe && g_windowLog != nullptr) {
        g_windowLog->push_back("window");
        return 1234;
    }
    if (message == WM_NCDESTROY)
        g_hookedAtNcDestroy = XRVSkoSubclassWnd::NewestHook(hWnd) != nullptr;
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

// A procedure someone else installs after our hooks.
WNDPROC g_thirdPrevious = nullptr;
int g_thirdCalls = 0;
LRESULT CALLBACK ThirdProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kProbe)
        g_thirdCalls++;
    return ::CallWindowProcA(g_thirdPrevious, hWnd, message, wParam, lParam);
}

struct SubclassFixture : ::testing::Test {
    std::vector<std::string> log;
    HWND hWnd = NULL;
    void SetUp() override
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = &OwnProc;
        wc.hInstance = ::GetModuleHandleA(NULL);
        wc.lpszClassName = "VexcapSubclassTest";
        ::RegisterClassA(&wc);
        hWnd = ::CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, wc.hInstance, NULL);
        ASSERT_NE((HWND)NULL, hWnd);
        g_windowLog = &log;
    }
    void TearDown() override
    {
        if (::IsWindow(hWnd))
            ::DestroyWindow(hWnd);
        g_windowLog = nullptr;
    }
    WNDPROC Proc() const { return (WNDPROC)::GetWindowLongPtrA(hWnd, GWLP_WNDPROC); }
};

TEST_F(SubclassFixture, HooksChainNewestFirstAndUnhookInAnyOrder)
{
    CRecordingHook a("A", &log), b("B", &log);
    a.HookWindow(hWnd);
    b.HookWindow(hWnd);
    EXPECT_EQ(&XRVSkoSubclassWnd::HookWndProc, Proc());
    EXPECT_EQ(1234, ::SendMessageA(hWnd, kProbe, 5, 0));
    EXPECT_EQ((std::vector<std::string>{ "B", "A", "window" }), log);
    EXPECT_TRUE(b.sawCurrentMessage) << "the framework's current message is this one";

    a.HookWindow(NULL);
    log.clear();
    ::SendMessageA(hWnd, kProbe, 0, 0);
    EXPECT_EQ((std::vector<std::string>{ "B", "window" }), log);
    EXPECT_EQ(&XRVSkoSubclassWnd::HookWndProc, Proc()) << "B still hooked";

    b.HookWindow(NULL);
    EXPECT_EQ(&OwnProc, Proc()) << "the window's own procedure is back";
    log.clear();
    ::SendMessageA(hWnd, kProbe, 0, 0);
    EXPECT_EQ((std::vector<std::string>{ "window" }), log);
}

TEST_F(SubclassFixture, DestroyingTheWindowUnhooksEverythingFirst)
{
    CRecordingHook a("A", &log), b("B", &log);
    a.HookWindow(hWnd);
    b.HookWindow(hWnd);
    g_hookedAtNcDestroy = true;
    ::DestroyWindow(hWnd);
    EXPECT_FALSE(g_hookedAtNcDestroy) << "no hook left when the window's procedure sees WM_NCDESTROY";
    EXPECT_FALSE(a.IsHooked());
    EXPECT_FALSE(b.IsHooked());
    EXPECT_EQ(nullptr, XRVSkoSubclassWnd::NewestHook(hWnd));
}

// Someone subclasses the window after our hook: the last unhook cannot put
// the original back, and messages still reach it through both.
TEST_F(SubclassFixture, ASubclassInstalledAfterOursKeepsWorking)
{
    CRecordingHook a("A", &log);
    a.HookWindow(hWnd);
    g_thirdCalls = 0;
    g_thirdPrevious = (WNDPROC)::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, (LONG_PTR)&ThirdProc);
    a.HookWindow(NULL);
    EXPECT_EQ(&ThirdProc, Proc()) << "the later subclass is not cut off";
    EXPECT_EQ(1234, ::SendMessageA(hWnd, kProbe, 0, 0));
    EXPECT_EQ(1, g_thirdCalls);
    EXPECT_EQ((std::vector<std::string>{ "window" }), log);

    // A new hook joins the same chain.
    CRecordingHook c("C", &log);
    c.HookWindow(hWnd);
    log.clear();
    ::SendMessageA(hWnd, kProbe, 0, 0);
    EXPECT_EQ((std::vector<std::string>{ "C", "window" }), log);
    c.HookWindow(NULL);
}

// A hook that passes everything leaves a system control working.
TEST(SkoSubclassWnd, PassThroughHookLeavesAnEditWorking)
{
    HWND edit = ::CreateWindowExA(0, "EDIT", "", WS_POPUP, 0, 0, 100, 20, NULL, NULL, ::GetModuleHandleA(NULL), NULL);
    ASSERT_NE((HWND)NULL, edit);
    {
        XRVSkoSubclassWnd hook;
        hook.HookWindow(edit);
        ::SetWindowTextA(edit, "录制");
        char text[32] = "";
        ::GetWindowTextA(edit, text, sizeof(text));
        EXPECT_STREQ("录制", text);
        EXPECT_EQ(4, ::GetWindowTextLengthA(edit));
    }   // the destructor unhooks
    char text[32] = "";
    ::GetWindowTextA(edit, text, sizeof(text));
    EXPECT_STREQ("录制", text);
    EXPECT_NE(&XRVSkoSubclassWnd::HookWndProc, (WNDPROC)::GetWindowLongPtrA(edit, GWLP_WNDPROC));
    ::DestroyWindow(edit);
}

}  // namespace
