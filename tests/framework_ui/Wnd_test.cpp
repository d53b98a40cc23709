#include "framework/ui/Controls.h"
#include "framework/ui/DC.h"
#include "framework/ui/FrameWnd.h"
#include "framework/ui/Menu.h"
#include "framework/ui/Wnd.h"

#include "UiTestSupport.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

namespace {

const UINT kRegisteredMsg = ::RegisterWindowMessageA("VexcapTestRegistered");
const UINT WM_TEST_PRIVATE = WM_USER + 77;
const UINT ID_CMD_FIRST = 5000;
const UINT ID_CMD_LAST = 5009;
const UINT ID_CHILD_BUTTON = 300;

// A control that handles its own click (reflected) and counts it.
class CReflectButton : public CButton {
public:
    int clicks = 0;
    BOOL passOn = FALSE;   // let the parent see the click too
    BOOL OnClickedEx()
    {
        clicks++;
        return !passOn;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CReflectButton, CButton)
    ON_CONTROL_REFLECT_EX(BN_CLICKED, OnClickedEx)
END_MESSAGE_MAP()

class CTestWnd : public CWnd {
public:
    std::vector<std::string> log;
    int createSeen = 0;
    UINT_PTR lastTimer = 0;
    UINT lastCommand = 0;
    int parentClicks = 0;
    int notifies = 0;
    bool postNcDestroyBound = true;
    bool postNcDestroyCalled = false;
    bool enableCommand = true;
    CReflectButton button;

    int OnCreate(LPCREATESTRUCT cs)
    {
        createSeen++;
        log.push_back(std::string("create:") + (cs->lpszName ? cs->lpszName : ""));
        return 0;
    }
    void OnTimer(UINT_PTR id) { lastTimer = id; }
    LRESULT OnPrivate(WPARAM w, LPARAM l) { return (LRESULT)(w + l); }
    LRESULT OnRegistered(WPARAM w, LPARAM) { return (LRESULT)(w * 2); }
    LRESULT OnThrow(WPARAM, LPARAM) { throw std::runtime_error("handler failed"); }
    void OnCommandRange(UINT id) { lastCommand = id; }
    void OnUpdateCommand(CCmdUI* ui) { ui->Enable(enableCommand); }
    void OnChildClicked() { parentClicks++; }
    void OnCustomNotify(NMHDR*, LRESULT* result)
    {
        notifies++;
        *result = 42;
    }
    void PostNcDestroy() override
    {
        postNcDestroyCalled = true;
        postNcDestroyBound = CWnd::FromHandlePermanent(m_hWnd) != NULL || m_hWnd != NULL;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestWnd, CWnd)
    ON_WM_CREATE()
    ON_WM_TIMER()
    ON_MESSAGE(WM_TEST_PRIVATE, OnPrivate)
    ON_MESSAGE(WM_TEST_PRIVATE + 1, OnThrow)
    ON_REGISTERED_MESSAGE(kRegisteredMsg, OnRegistered)
    ON_COMMAND_RANGE(ID_CMD_FIRST, ID_CMD_LAST, OnCommandRange)
    ON_UPDATE_COMMAND_UI_RANGE(ID_CMD_FIRST, ID_CMD_LAST, OnUpdateCommand)
    ON_BN_CLICKED(ID_CHILD_BUTTON, OnChildClicked)
    ON_NOTIFY(NM_CLICK, ID_CHILD_BUTTON, OnCustomNotify)
END_MESSAGE_MAP()

struct TestWindowFixture : ::testing::Test {
    CTestWnd wnd;
    void SetUp() override
    {
        ASSERT_TRUE(wnd.CreateEx(0, NULL, "主窗口", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200, NULL, NULL));
    }
};

TEST_F(TestWindowFixture, CreateIsRoutedThroughTheMapBeforeCreateExReturns)
{
    EXPECT_EQ(1, wnd.createSeen);
    ASSERT_EQ(1u, wnd.log.size());
    EXPECT_EQ("create:主窗口", wnd.log[0]);
    EXPECT_EQ(&wnd, CWnd::FromHandlePermanent(wnd.m_hWnd));
}

TEST_F(TestWindowFixture, MessagesReachTheirHandlers)
{
    EXPECT_EQ(7, wnd.SendMessage(WM_TEST_PRIVATE, 3, 4));
    EXPECT_EQ(10, wnd.SendMessage(kRegisteredMsg, 5, 0));
    wnd.SendMessage(WM_TIMER, 17, 0);
    EXPECT_EQ(17u, wnd.lastTimer);
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(ID_CMD_FIRST + 3, 0), 0);
    EXPECT_EQ(ID_CMD_FIRST + 3, wnd.lastCommand);
    // An unmapped message gets default processing.
    EXPECT_EQ(0, wnd.SendMessage(WM_USER + 500, 1, 1));
}

TEST_F(TestWindowFixture, ExceptionInHandlerStaysInsideTheWindowProcedure)
{
    EXPECT_EQ(0, wnd.SendMessage(WM_TEST_PRIVATE + 1, 0, 0));
    EXPECT_EQ(7, wnd.SendMessage(WM_TEST_PRIVATE, 3, 4)) << "window still works";
}

TEST_F(TestWindowFixture, ReflectedClickIsHandledByTheControlFirst)
{
    ASSERT_TRUE(wnd.button.Create("按钮", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, CRect(5, 5, 80, 30),
                                  &wnd, ID_CHILD_BUTTON));
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(ID_CHILD_BUTTON, BN_CLICKED), (LPARAM)wnd.button.m_hWnd);
    EXPECT_EQ(1, wnd.button.clicks);
    EXPECT_EQ(0, wnd.parentClicks) << "control ate the notification";
    wnd.button.passOn = TRUE;
    wnd.button.Click();
    EXPECT_EQ(2, wnd.button.clicks);
    EXPECT_EQ(1, wnd.parentClicks) << "declined reflection goes on to the parent";
}

TEST_F(TestWindowFixture, NotifyReachesParentMapWithResult)
{
    CButton plain;
    ASSERT_TRUE(plain.Create("b", WS_CHILD, CRect(0, 0, 10, 10), &wnd, ID_CHILD_BUTTON));
    NMHDR nm = { plain.m_hWnd, ID_CHILD_BUTTON, (UINT)NM_CLICK };
    EXPECT_EQ(42, wnd.SendMessage(WM_NOTIFY, ID_CHILD_BUTTON, (LPARAM)&nm));
    EXPECT_EQ(1, wnd.notifies);
}

TEST_F(TestWindowFixture, UpdateCommandUiEnablesAndDisablesMenuItems)
{
    CMenu popup;
    ASSERT_TRUE(popup.CreatePopupMenu());
    popup.AppendMenu(MF_STRING, ID_CMD_FIRST, "一");
    popup.AppendMenu(MF_STRING, ID_CMD_FIRST + 1, "二");
    popup.AppendMenu(MF_STRING, 6000, "无处理");
    CCmdUI state;
    state.m_pMenu = &popup;
    struct Row { UINT index; bool enable; bool disableIfNoHandler; UINT expectGrayed; };
    const Row rows[] = {
        { 0, true, true, 0 },
        { 1, false, true, MF_GRAYED },
        { 2, true, true, MF_GRAYED },   // no handler at all
        { 2, true, false, 0 },
    };
    for (const Row& row : rows) {
        popup.EnableMenuItem(row.index, MF_BYPOSITION | MF_ENABLED);
        wnd.enableCommand = row.enable;
        state.m_nIndex = row.index;
        state.m_nID = popup.GetMenuItemID((int)row.index);
        state.DoUpdate(&wnd, row.disableIfNoHandler);
        EXPECT_EQ(row.expectGrayed, popup.GetMenuState(row.index, MF_BYPOSITION) & MF_GRAYED)
            << "item " << row.index << " enable " << row.enable;
    }
}

TEST(WndLifetime, ObjectIsUnboundBeforePostNcDestroy)
{
    CTestWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, NULL, "x", WS_POPUP, 0, 0, 10, 10, NULL, NULL));
    const HWND hWnd = wnd.m_hWnd;
    ASSERT_TRUE(wnd.DestroyWindow());
    EXPECT_TRUE(wnd.postNcDestroyCalled);
    EXPECT_FALSE(wnd.postNcDestroyBound);
    EXPECT_EQ(NULL, CWnd::FromHandlePermanent(hWnd));
    EXPECT_EQ(NULL, wnd.m_hWnd);
}

TEST(WndLifetime, DestructorOfLiveWindowUnbindsThenDestroys)
{
    HWND hWnd;
    {
        CTestWnd wnd;
        ASSERT_TRUE(wnd.CreateEx(0, NULL, "x", WS_POPUP, 0, 0, 10, 10, NULL, NULL));
        hWnd = wnd.m_hWnd;
    }
    EXPECT_FALSE(::IsWindow(hWnd));
    EXPECT_EQ(NULL, CWnd::FromHandlePermanent(hWnd));
}

TEST(WndLifetime, SubclassedSystemControlKeepsItsBehaviour)
{
    HWND hEdit = ::CreateWindowExA(0, "EDIT", "abc", WS_POPUP, 0, 0, 100, 20, NULL, NULL, NULL, NULL);
    ASSERT_TRUE(hEdit != NULL);
    {
        CEdit edit;
        ASSERT_TRUE(edit.SubclassWindow(hEdit));
        EXPECT_EQ(&edit, CWnd::FromHandlePermanent(hEdit));
        edit.SetWindowText("中文");
        CString text;
        edit.GetWindowText(text);
        EXPECT_STREQ("中文", text);
        EXPECT_EQ(hEdit, edit.UnsubclassWindow());
    }
    EXPECT_TRUE(::IsWindow(hEdit)) << "unsubclassed window is left alone";
    ::DestroyWindow(hEdit);
}

TEST(WndLifetime, FromHandleGivesTemporaryObjectsUntilIdle)
{
    HWND hWnd = ::CreateWindowExA(0, "STATIC", "t", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    CWnd* temp = CWnd::FromHandle(hWnd);
    ASSERT_TRUE(temp != NULL);
    EXPECT_EQ(hWnd, temp->m_hWnd);
    EXPECT_EQ(temp, CWnd::FromHandle(hWnd));
    EXPECT_EQ(NULL, CWnd::FromHandlePermanent(hWnd));
    AfxDeleteTempMaps();
    EXPECT_TRUE(::IsWindow(hWnd)) << "temporary wrapper does not own the window";
    ::DestroyWindow(hWnd);
    EXPECT_EQ(NULL, CWnd::FromHandle(NULL));
    CWnd* none = NULL;
    EXPECT_EQ(NULL, none->GetSafeHwnd());
}

class CTestFrame : public CFrameWnd {
public:
    static int deleted;
    BOOL recordOn = FALSE;
    ~CTestFrame() override { deleted++; }
    void OnRecord() {}
    void OnUpdateRecord(CCmdUI* ui) { ui->Enable(recordOn); ui->SetCheck(recordOn); }
    DECLARE_MESSAGE_MAP()
};
int CTestFrame::deleted = 0;

BEGIN_MESSAGE_MAP(CTestFrame, CFrameWnd)
    ON_COMMAND(ID_CMD_FIRST, OnRecord)
    ON_UPDATE_COMMAND_UI(ID_CMD_FIRST, OnUpdateRecord)
    ON_COMMAND(ID_CMD_FIRST + 1, OnRecord)
END_MESSAGE_MAP()

// Before a popup shows, every item gets its update handler; items without
// any handler are disabled.
TEST(FrameWnd, MenuPopupItemsFollowTheirUpdateHandlers)
{
    CTestFrame* frame = new CTestFrame;
    ASSERT_TRUE(frame->Create(NULL, "框架", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 200)));
    CMenu popup;
    popup.CreatePopupMenu();
    popup.AppendMenu(MF_STRING, ID_CMD_FIRST, "录制");
    popup.AppendMenu(MF_SEPARATOR);
    popup.AppendMenu(MF_STRING, ID_CMD_FIRST + 1, "有处理");
    popup.AppendMenu(MF_STRING, 6001, "无处理");
    struct Row { BOOL on; UINT expectRecord; };
    const Row rows[] = { { FALSE, MF_GRAYED }, { TRUE, MF_CHECKED } };
    for (const Row& row : rows) {
        frame->recordOn = row.on;
        frame->SendMessage(WM_INITMENUPOPUP, (WPARAM)popup.m_hMenu, MAKELPARAM(0, FALSE));
        EXPECT_EQ(row.expectRecord, popup.GetMenuState(0, MF_BYPOSITION) & (MF_GRAYED | MF_CHECKED)) << row.on;
        EXPECT_EQ(0u, popup.GetMenuState(2, MF_BYPOSITION) & MF_GRAYED);
        EXPECT_EQ((UINT)MF_GRAYED, popup.GetMenuState(3, MF_BYPOSITION) & MF_GRAYED);
    }
    frame->DestroyWindow();
}

TEST(FrameWnd, StatusTextGoesToStatusBarAndFrameDeletesItself)
{
    CTestFrame* frame = new CTestFrame;
    ASSERT_TRUE(frame->Create(NULL, "框架", WS_OVERLAPPEDWINDOW, CRect(0, 0, 400, 300)));
    CStatusBar* bar = new CStatusBar;
    ASSERT_TRUE(bar->Create(frame));
    frame->SetMessageText("正在录制");
    EXPECT_STREQ("正在录制", frame->GetMessageText());
    EXPECT_STREQ("正在录制", bar->GetPaneText(0));
    frame->SendMessage(WM_SETMESSAGESTRING, 0, (LPARAM)"已暂停");
    EXPECT_STREQ("已暂停", bar->GetPaneText(0));
    const int before = CTestFrame::deleted;
    frame->SendMessage(WM_CLOSE);
    EXPECT_EQ(before + 1, CTestFrame::deleted);
    delete bar;
}

}  // namespace
