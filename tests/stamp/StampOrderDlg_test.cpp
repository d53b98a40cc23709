#include "capture/StampOrderDlg.h"

#include "resources/ids_stamp.h"

#include "StampTestSupport.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace stamptest;

namespace {

const char kCaption[] = "排列标记";
const char kTimeDate[] = "时间/日期";
const char kElapsed[] = "已用时间";
const char kUser[] = "用户名";
const char kComputer[] = "电脑名";
const char kDefaultOrder[] = "TIMEDATE,ELAPTIME,COMPNAME,USERNAME";

}  // namespace

TEST(StampOrderDlg, DisplayNamesComeFromTheStringTable)
{
    const struct {
        const char* token;
        const char* name;
    } cases[] = {
        {"TIMEDATE", kTimeDate},
        {"ELAPTIME", kElapsed},
        {"USERNAME", kUser},
        {"COMPNAME", kComputer},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(c.name, CStampOrderDlg::DisplayNameOfToken(c.token)) << c.token;
        EXPECT_STREQ(c.token, CStampOrderDlg::TokenOfDisplayName(c.name)) << c.token;
    }
    EXPECT_TRUE(CStampOrderDlg::DisplayNameOfToken("CLOCK").IsEmpty());
    EXPECT_TRUE(CStampOrderDlg::DisplayNameOfToken("timedate").IsEmpty());
    EXPECT_TRUE(CStampOrderDlg::TokenOfDisplayName("时间").IsEmpty());
}

TEST(StampOrderDlg, OpensWithTheNamesOfTheKnownTokens)
{
    const struct {
        const char* order;
        std::vector<std::string> names;
        const char* okOrder;   // the order after OK without changes
    } cases[] = {
        {kDefaultOrder, {kTimeDate, kElapsed, kComputer, kUser}, kDefaultOrder},
        {"USERNAME,CLOCK,TIMEDATE", {kUser, kTimeDate}, "USERNAME,TIMEDATE"},
        {"ELAPTIME", {kElapsed}, "ELAPTIME"},
        {",COMPNAME,,", {kComputer}, "COMPNAME"},
        {"", {}, ""},
    };
    for (const auto& c : cases) {
        CStampOrderDlg dlg;
        dlg.m_order = c.order;
        std::vector<std::string> shown;
        int selection = -2;
        bool acted = false;
        const INT_PTR result = RunDialog(dlg, kCaption, [&](HWND h) {
            shown = ListItems(h, IDC_STAMP_ORDER_LIST);
            selection = ListSelection(h, IDC_STAMP_ORDER_LIST);
            return IDOK;
        }, &acted);
        ASSERT_TRUE(acted) << c.order;
        EXPECT_EQ(IDOK, result) << c.order;
        EXPECT_EQ(c.names, shown) << c.order;
        EXPECT_EQ(c.names.empty() ? LB_ERR : 0, selection) << c.order;
        EXPECT_STREQ(c.okOrder, dlg.m_order) << c.order;
    }
}

// Each row selects an item, presses Up or Down a number of times, and checks
// where the selection went and the order OK gives.
TEST(StampOrderDlg, UpAndDownMoveTheSelectedItem)
{
    const struct {
        int select;         // -1: no selection
        const char* presses;  // 'U' up, 'D' down
        int selectionAfter;
        const char* order;
    } cases[] = {
        {0, "U", 0, kDefaultOrder},                                  // first item: Up does nothing
        {3, "D", 3, kDefaultOrder},                                  // last item: Down does nothing
        {-1, "UD", -1, kDefaultOrder},                               // no selection
        {2, "U", 1, "TIMEDATE,COMPNAME,ELAPTIME,USERNAME"},
        {1, "D", 2, "TIMEDATE,COMPNAME,ELAPTIME,USERNAME"},
        {0, "DD", 2, "ELAPTIME,COMPNAME,TIMEDATE,USERNAME"},
        {3, "UUUU", 0, "USERNAME,TIMEDATE,ELAPTIME,COMPNAME"},       // the fourth Up is a no-op
        {0, "DDDD", 3, "ELAPTIME,COMPNAME,USERNAME,TIMEDATE"},
        {1, "UD", 1, kDefaultOrder},
    };
    for (const auto& c : cases) {
        CStampOrderDlg dlg;
        dlg.m_order = kDefaultOrder;
        int selection = -2;
        bool acted = false;
        const INT_PTR result = RunDialog(dlg, kCaption, [&](HWND h) {
            ::SendDlgItemMessageA(h, IDC_STAMP_ORDER_LIST, LB_SETCURSEL, c.select, 0);
            for (const char* p = c.presses; *p; ++p)
                Notify(h, *p == 'U' ? IDC_STAMP_ORDER_UP : IDC_STAMP_ORDER_DOWN, BN_CLICKED);
            selection = ListSelection(h, IDC_STAMP_ORDER_LIST);
            EXPECT_EQ(4u, ListItems(h, IDC_STAMP_ORDER_LIST).size()) << c.presses;
            return IDOK;
        }, &acted);
        ASSERT_TRUE(acted);
        EXPECT_EQ(IDOK, result);
        EXPECT_EQ(c.selectionAfter, selection) << c.select << " " << c.presses;
        EXPECT_STREQ(c.order, dlg.m_order) << c.select << " " << c.presses;
    }
}

TEST(StampOrderDlg, CancelKeepsTheOrder)
{
    CStampOrderDlg dlg;
    dlg.m_order = kDefaultOrder;
    bool acted = false;
    const INT_PTR result = RunDialog(dlg, kCaption, [&](HWND h) {
        ::SendDlgItemMessageA(h, IDC_STAMP_ORDER_LIST, LB_SETCURSEL, 3, 0);
        Notify(h, IDC_STAMP_ORDER_UP, BN_CLICKED);
        EXPECT_EQ(kUser, ListItems(h, IDC_STAMP_ORDER_LIST)[2]);
        return IDCANCEL;
    }, &acted);
    ASSERT_TRUE(acted);
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_STREQ(kDefaultOrder, dlg.m_order);
}

namespace {

// The screen point in the middle of a list item.
POINT ItemCentre(HWND list, int index)
{
    RECT rc = {};
    ::SendMessageA(list, LB_GETITEMRECT, index, (LPARAM)&rc);
    POINT pt = { (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2 };
    ::ClientToScreen(list, &pt);
    return pt;
}

// The drop notification the common controls send the list's parent.
void SendDrop(HWND dlg, HWND list, POINT pt)
{
    DRAGLISTINFO info = {};
    info.uNotification = DL_DROPPED;
    info.hWnd = list;
    info.ptCursor = pt;
    ::SendMessageA(dlg, ::RegisterWindowMessageA(DRAGLISTMSGSTRING), ::GetDlgCtrlID(list),
                   (LPARAM)&info);
}

}  // namespace

// Dropping a dragged item puts it before the item under the cursor, or at the
// end below the last item.
TEST(StampOrderDlg, DropMovesTheDraggedItem)
{
    const struct {
        int from;
        int onto;       // item under the drop point; 4: below the last item
        int selectionAfter;
        const char* order;
    } cases[] = {
        {0, 2, 1, "ELAPTIME,TIMEDATE,COMPNAME,USERNAME"},
        {3, 0, 0, "USERNAME,TIMEDATE,ELAPTIME,COMPNAME"},
        {0, 4, 3, "ELAPTIME,COMPNAME,USERNAME,TIMEDATE"},
        {1, 1, 1, kDefaultOrder},      // onto itself
        {1, 2, 1, kDefaultOrder},      // onto the next item: the same place
    };
    for (const auto& c : cases) {
        CStampOrderDlg dlg;
        dlg.m_order = kDefaultOrder;
        int selection = -2;
        bool acted = false;
        RunDialog(dlg, kCaption, [&](HWND h) {
            HWND list = ::GetDlgItem(h, IDC_STAMP_ORDER_LIST);
            ::SendMessageA(list, LB_SETCURSEL, c.from, 0);
            POINT pt;
            if (c.onto < 4) {
                pt = ItemCentre(list, c.onto);
            } else {
                pt = ItemCentre(list, 3);
                RECT rc;
                ::SendMessageA(list, LB_GETITEMRECT, 3, (LPARAM)&rc);
                pt.y += (rc.bottom - rc.top) * 2;   // the list is taller than its four items
            }
            SendDrop(h, list, pt);
            selection = ListSelection(h, IDC_STAMP_ORDER_LIST);
            return IDOK;
        }, &acted);
        ASSERT_TRUE(acted);
        EXPECT_EQ(c.selectionAfter, selection) << c.from << " onto " << c.onto;
        EXPECT_STREQ(c.order, dlg.m_order) << c.from << " onto " << c.onto;
    }
}

namespace {

struct DragPlan {
    POINT from;
    POINT to;
};

void MouseAt(POINT pt, DWORD flags)
{
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = (LONG)(((LONGLONG)pt.x * 65535) / (::GetSystemMetrics(SM_CXSCREEN) - 1));
    in.mi.dy = (LONG)(((LONGLONG)pt.y * 65535) / (::GetSystemMetrics(SM_CYSCREEN) - 1));
    in.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | flags;
    ::SendInput(1, &in, sizeof(in));
}

// The user's hand: press on one item, move in small steps, release on another.
// The pauses only pace the input; the test waits for the list itself.
DWORD WINAPI DragWithTheMouse(LPVOID param)
{
    const DragPlan* plan = (const DragPlan*)param;
    MouseAt(plan->from, 0);
    ::Sleep(50);
    MouseAt(plan->from, MOUSEEVENTF_LEFTDOWN);
    ::Sleep(50);
    const int steps = 10;
    for (int i = 1; i <= steps; i++) {
        POINT p = { plan->from.x + (plan->to.x - plan->from.x) * i / steps,
                    plan->from.y + (plan->to.y - plan->from.y) * i / steps };
        MouseAt(p, 0);
        ::Sleep(30);
    }
    MouseAt(plan->to, MOUSEEVENTF_LEFTUP);
    return 0;
}

}  // namespace

// A real drag with the mouse: the list is a drag list and the dialog hands
// the notifications to it.
TEST(StampOrderDlg, MouseDragReordersTheList)
{
    CStampOrderDlg dlg;
    dlg.m_order = kDefaultOrder;
    DragPlan plan = {};
    HANDLE thread = NULL;
    HWND dialog = NULL;
    bool moved = false;
    uitest::ModalAnswerer answer([&](HWND h) {
        if (WindowCaption(h) != kCaption)
            return false;
        if (thread == NULL) {
            dialog = h;
            ::SetForegroundWindow(h);
            HWND list = ::GetDlgItem(h, IDC_STAMP_ORDER_LIST);
            plan.from = ItemCentre(list, 0);
            plan.to = ItemCentre(list, 3);
            thread = ::CreateThread(NULL, 0, DragWithTheMouse, &plan, 0, NULL);
            return false;
        }
        if (ListItems(h, IDC_STAMP_ORDER_LIST).at(2) != kTimeDate)
            return false;   // not dropped yet
        moved = true;
        return uitest::ModalAnswerer::Press(h, IDOK);
    });
    const INT_PTR result = dlg.DoModal();
    if (thread != NULL) {
        ::WaitForSingleObject(thread, 5000);
        ::CloseHandle(thread);
    }
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(moved) << "the drag did not move the item";
    EXPECT_EQ(IDOK, result);
    EXPECT_STREQ("ELAPTIME,COMPNAME,TIMEDATE,USERNAME", dlg.m_order);
}
