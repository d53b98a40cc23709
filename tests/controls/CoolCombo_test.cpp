#include "controls/CoolCombo.h"

#include "framework/ui/FrameWnd.h"
#include "ControlsInput.h"
#include "ControlsTest.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace {

// The combo's owner: records notifications and commands; command B is
// disabled by its update handler.
class CComboHost : public CFrameWnd {
public:
    CCoolCombo combo;
    std::vector<std::pair<UINT, int>> notes;
    std::vector<UINT> commands;

    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override
    {
        const NMHDR* hdr = (const NMHDR*)lParam;
        if (hdr->hwndFrom == combo.m_hWnd) {
            notes.push_back({ hdr->code, ((const NMCOOLCOMBO*)lParam)->value });
            EXPECT_EQ((UINT_PTR)combo.GetDlgCtrlID(), hdr->idFrom);
            *pResult = 0;
            return TRUE;
        }
        return CFrameWnd::OnNotify(wParam, lParam, pResult);
    }
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        commands.push_back(LOWORD(wParam));
        return CFrameWnd::OnCommand(wParam, lParam);
    }
    void OnCmd() {}
    void OnUpdateB(CCmdUI* pCmdUI) { pCmdUI->Enable(FALSE); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CComboHost, CFrameWnd)
    ON_COMMAND(ID_TEST_CMD_A, OnCmd)
    ON_COMMAND(ID_TEST_CMD_B, OnCmd)
    ON_UPDATE_COMMAND_UI(ID_TEST_CMD_B, OnUpdateB)
END_MESSAGE_MAP()

DWORD Rgb(COLORREF c)
{
    return (DWORD)((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
}

struct ComboFixture : ::testing::Test {
    CComboHost* host = nullptr;

    void SetUp() override
    {
        ctlinput::MouseAt(5, 1000);
        host = new CComboHost;
        ASSERT_TRUE(host->Create(NULL, "组合", WS_POPUP | WS_CAPTION | WS_VISIBLE, CRect(300, 300, 600, 450)));
        ASSERT_TRUE(host->combo.Create(CRect(10, 10, 110, 34), host, 700));
        host->SetForegroundWindow();
        uitest::PumpPending();
    }
    void TearDown() override
    {
        host->combo.ClosePopup();
        host->DestroyWindow();
    }
    CCoolComboPopup* Popup() { return host->combo.GetPopup(); }
    POINT ArrowPoint()
    {
        const CRect rc = host->combo.GetArrowRect();
        return ctlinput::ScreenPoint(host->combo.m_hWnd, rc.CenterPoint().x, rc.CenterPoint().y);
    }
    POINT FacePoint()
    {
        const CRect rc = host->combo.GetFaceRect();
        return ctlinput::ScreenPoint(host->combo.m_hWnd, rc.CenterPoint().x, rc.CenterPoint().y);
    }
    POINT ItemPoint(int item)
    {
        const CRect rc = Popup()->GetItemRect(item);
        return ctlinput::ScreenPoint(Popup()->m_hWnd, rc.CenterPoint().x, rc.CenterPoint().y);
    }
    void OpenByClick()
    {
        const POINT pt = ArrowPoint();
        ctlinput::ClickAt(pt.x, pt.y);
        uitest::PumpUntil([&] { return Popup() != nullptr; }, 2000);
    }
    bool Noted(UINT code, int value) const
    {
        for (const auto& n : host->notes)
            if (n.first == code && n.second == value)
                return true;
        return false;
    }
};

TEST_F(ComboFixture, ArrowAndGridGeometry)
{
    // 100 x 24: the arrow is min((2 x 24 - 4) / 3, (100 - 2) / 3) = 14 wide.
    EXPECT_EQ(CRect(86, 0, 100, 24), host->combo.GetArrowRect());
    EXPECT_EQ(CRect(0, 0, 86, 24), host->combo.GetFaceRect());
    ASSERT_TRUE(host->combo.OpenPopup());
    CCoolComboPopup* popup = Popup();
    ASSERT_NE(nullptr, popup);
    EXPECT_EQ(3, popup->GetRows()) << "20 cells in 8 columns";
    const CRect grid = popup->GetGridRect();
    const CSize cell = popup->GetCellExtent();
    EXPECT_EQ(CSize(18, 18), cell) << "16 x 16 without images, plus 2";
    const CRect r17 = popup->GetItemRect(17);
    EXPECT_EQ(grid.left + 1 * cell.cx, r17.left) << "column 1";
    EXPECT_EQ(grid.top + 2 * cell.cy, r17.top) << "row 2";
    EXPECT_EQ(17, popup->HitTest(r17.CenterPoint()));
    EXPECT_EQ(kCoolNoItem, popup->HitTest(popup->GetItemRect(7).CenterPoint() + CSize(0, 3 * cell.cy)))
        << "past the last cell";
    CRect window, combo;
    popup->GetWindowRect(&window);
    host->combo.GetWindowRect(&combo);
    EXPECT_EQ(combo.left, window.left);
    EXPECT_EQ(combo.bottom, window.top) << "under the control";
}

// The arrow opens the popup at once; the release of that click is not a
// choice; a click on a cell chooses it and closes the popup.
TEST_F(ComboFixture, MouseOpensAndChoosesACell)
{
    OpenByClick();
    ASSERT_NE(nullptr, Popup());
    ctlinput::Pump(100);
    ASSERT_NE(nullptr, Popup()) << "still open after the release";
    EXPECT_TRUE(Noted(CCN_OPENED, 0));
    const POINT pt = ItemPoint(17);
    ctlinput::MouseAt(pt);
    uitest::PumpUntil([&] { return Popup() != nullptr && Popup()->GetHotItem() == 17; }, 1000);
    EXPECT_TRUE(Noted(CCN_HOTCHANGED, 17));
    ctlinput::ClickAt(pt.x, pt.y);
    EXPECT_TRUE(uitest::PumpUntil([&] { return Popup() == nullptr; }, 2000));
    EXPECT_EQ(17, host->combo.GetCurSel());
    EXPECT_TRUE(Noted(CCN_ITEMCHOSEN, 17));
    EXPECT_TRUE(Noted(CCN_CLOSED, 0));
}

TEST_F(ComboFixture, EscapeCancelsThenClosesAndKeepsTheItem)
{
    host->combo.SetCurSel(4);
    host->combo.SetFocus();
    ctlinput::Key(VK_DOWN);
    ASSERT_TRUE(uitest::PumpUntil([&] { return Popup() != nullptr; }, 2000));
    EXPECT_EQ(4, Popup()->GetCurrentItem());
    host->notes.clear();
    ctlinput::Key(VK_ESCAPE);
    ASSERT_TRUE(uitest::PumpUntil([&] { return Popup() == nullptr; }, 2000));
    ASSERT_EQ(2u, host->notes.size());
    EXPECT_EQ((UINT)CCN_CANCELLED, host->notes[0].first);
    EXPECT_EQ((UINT)CCN_CLOSED, host->notes[1].first);
    EXPECT_EQ(4, host->combo.GetCurSel());
}

// Keys move the hot item through the grid, the extra items and the default
// item; Enter chooses it.
TEST_F(ComboFixture, KeysWalkTheGridAndTheItemsAround)
{
    host->combo.SetCounts(10, 4);   // rows of 4, 4, 2
    host->combo.SetDefaultText("自动");
    host->combo.AddExtraText("更多");
    host->combo.AddExtraText("其他");
    ASSERT_TRUE(host->combo.OpenPopup());
    struct Row { int from; UINT key; int to; };
    const Row rows[] = {
        { kCoolNoItem, VK_DOWN, 0 },
        { kCoolDefaultItem, VK_DOWN, 0 },
        { 1, VK_DOWN, 5 },
        { 5, VK_DOWN, 9 },
        { 7, VK_DOWN, 1000 },   // no cell below: the first extra item
        { 1000, VK_DOWN, 1001 },
        { 1001, VK_DOWN, kCoolDefaultItem },
        { 5, VK_UP, 1 },
        { 1, VK_UP, kCoolDefaultItem },
        { kCoolDefaultItem, VK_UP, 1001 },
        { 1000, VK_UP, 8 },     // the first cell of the last row
        { 1001, VK_UP, 1000 },
        { 3, VK_RIGHT, 4 },
        { 9, VK_RIGHT, 1000 },
        { kCoolDefaultItem, VK_RIGHT, 0 },
        { 4, VK_LEFT, 3 },
        { 0, VK_LEFT, kCoolDefaultItem },
        { 1000, VK_LEFT, 9 },
    };
    for (const Row& row : rows) {
        Popup()->SetHotItem(row.from);
        Popup()->SendMessage(WM_KEYDOWN, row.key, 1);
        EXPECT_EQ(row.to, Popup()->GetHotItem()) << "from " << row.from << " key " << row.key;
    }
    Popup()->SetHotItem(1001);
    Popup()->SendMessage(WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(nullptr, Popup());
    EXPECT_EQ(1001, host->combo.GetCurSel());
    EXPECT_TRUE(Noted(CCN_EXTRACHOSEN, 1));
}

TEST_F(ComboFixture, KeysWithoutDefaultOrExtrasWrapInTheGrid)
{
    host->combo.SetCounts(10, 4);
    ASSERT_TRUE(host->combo.OpenPopup());
    struct Row { int from; UINT key; int to; };
    const Row rows[] = {
        { 7, VK_DOWN, 0 }, { 1, VK_UP, 8 }, { 9, VK_RIGHT, 0 }, { 0, VK_LEFT, 9 }, { kCoolNoItem, VK_UP, 8 },
    };
    for (const Row& row : rows) {
        Popup()->SetHotItem(row.from);
        Popup()->SendMessage(WM_KEYDOWN, row.key, 1);
        EXPECT_EQ(row.to, Popup()->GetHotItem()) << "from " << row.from << " key " << row.key;
    }
}

// Command cells: texts and prompts from the command strings with the
// frame's accelerators, a separator that cannot be chosen, a disabled
// command that does nothing, and an enabled one sent to the main window.
TEST_F(ComboFixture, CommandCellsSendTheirCommands)
{
    ACCEL accel[] = { { FVIRTKEY | FCONTROL | FSHIFT, 'N', ID_TEST_CMD_A } };
    HACCEL hAccel = ::CreateAcceleratorTableA(accel, 1);
    host->SetAccelerators(hAccel);
    const int commands[] = { ID_TEST_CMD_A, 0, ID_TEST_CMD_B };
    host->combo.SetCounts(3, 1);
    host->combo.SetCellCommands(commands, 3);
    ASSERT_TRUE(host->combo.OpenPopup());
    char key[32] = "";
    ::GetKeyNameTextA((LONG)::MapVirtualKeyA('N', 0) << 16, key, sizeof(key));
    EXPECT_EQ(CString("命令甲\tCtrl+Shift+") + key, Popup()->GetCellText(0));
    EXPECT_EQ(CString("运行命令甲"), Popup()->GetCellPrompt(0));
    EXPECT_EQ(CString("命令乙"), Popup()->GetCellText(2));
    EXPECT_TRUE(Popup()->IsCellEnabled(0));
    EXPECT_FALSE(Popup()->IsCellEnabled(2));
    Popup()->UpdateWindow();

    // The separator: an etched line through the middle of its cell.
    {
        const CRect sep = Popup()->GetItemRect(1);
        HDC hdc = ::GetDC(Popup()->m_hWnd);
        EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), ::GetPixel(hdc, sep.CenterPoint().x, (sep.top + sep.bottom) / 2));
        ::ReleaseDC(Popup()->m_hWnd, hdc);
    }
    for (int cell : { 1, 2 }) {
        const POINT pt = ItemPoint(cell);
        ctlinput::ClickAt(pt.x, pt.y);
        ASSERT_NE(nullptr, Popup()) << "cell " << cell << " does nothing";
    }
    const POINT pt = ItemPoint(0);
    ctlinput::ClickAt(pt.x, pt.y);
    EXPECT_TRUE(uitest::PumpUntil([&] { return !host->commands.empty(); }, 2000));
    ASSERT_EQ(1u, host->commands.size());
    EXPECT_EQ((UINT)ID_TEST_CMD_A, host->commands[0]);
    EXPECT_EQ(nullptr, Popup());
    EXPECT_EQ(kCoolInitial, host->combo.GetCurSel()) << "a command does not become current";
    EXPECT_FALSE(Noted(CCN_ITEMCHOSEN, 0));
    host->SetAccelerators(NULL);
    ::DestroyAcceleratorTable(hAccel);
}

TEST_F(ComboFixture, PopupNearTheBottomOpensAbove)
{
    const int screenBottom = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
    host->SetWindowPos(NULL, 300, screenBottom - 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ASSERT_TRUE(host->combo.OpenPopup());
    CRect window, combo;
    Popup()->GetWindowRect(&window);
    host->combo.GetWindowRect(&combo);
    EXPECT_EQ(combo.top - 1, window.bottom);
    EXPECT_LE(window.bottom, screenBottom);
}

// Clicks on the face step through the cells, then the default item.
TEST_F(ComboFixture, FaceClicksSelectTheNextItem)
{
    host->combo.SetCounts(2, 2);
    host->combo.SetDefaultText("自动");
    const POINT face = FacePoint();
    const int expected[] = { 0, 1, kCoolDefaultItem, 0 };
    for (int e : expected) {
        ctlinput::ClickAt(face.x, face.y);
        EXPECT_EQ(e, host->combo.GetCurSel());
    }
    EXPECT_TRUE(Noted(CCN_DEFAULTCHOSEN, 0));
    EXPECT_EQ(nullptr, Popup());
}

// The control's own image is drawn checkered until an item is chosen.
TEST_F(ComboFixture, InitialStateIsCheckered)
{
    ASSERT_TRUE(host->combo.SetImage(IDB_TEST_TOOLBAR, 16, 0, RGB(192, 192, 192)));
    EXPECT_FALSE(host->combo.SetImage(IDB_TEST_TOOLBAR, 16, 3, RGB(192, 192, 192))) << "past the strip";
    host->combo.UpdateWindow();
    int w = 0, h = 0;
    const CRect face = host->combo.GetFaceRect();
    const CPoint c = face.CenterPoint();
    std::vector<DWORD> px = uitest::CaptureClient(host->combo.m_hWnd, &w, &h);
    const DWORD light = Rgb(::GetSysColor(COLOR_3DLIGHT));
    const DWORD a = px[(size_t)c.y * w + c.x];
    const DWORD b = px[(size_t)c.y * w + c.x + 1];
    EXPECT_TRUE((a == 0xFF0000u && b == light) || (a == light && b == 0xFF0000u)) << std::hex << a << " " << b;
    host->combo.SetCurSel(0);
    host->combo.UpdateWindow();
    px = uitest::CaptureClient(host->combo.m_hWnd, &w, &h);
    EXPECT_EQ(0xFF0000u, px[(size_t)c.y * w + c.x]);
    EXPECT_EQ(0xFF0000u, px[(size_t)c.y * w + c.x + 1]);
}

// A drag from the tear-off bar makes a floating palette that stays after a choice.
TEST_F(ComboFixture, TearOffMakesAFloatingPalette)
{
    host->combo.SetTearOff(TRUE);
    host->combo.SetCounts(8, 4);
    OpenByClick();
    ASSERT_NE(nullptr, Popup());
    const CRect bar = Popup()->GetTearOffRect();
    ASSERT_FALSE(bar.IsRectEmpty());
    struct Drag { POINT from; };
    Drag d = { ctlinput::ScreenPoint(Popup()->m_hWnd, bar.CenterPoint().x, bar.CenterPoint().y) };
    ctlinput::RunScript([](void* p) {
        const Drag* d = (const Drag*)p;
        ctlinput::MouseAt(d->from);
        ::Sleep(50);
        ctlinput::MouseAt(d->from, MOUSEEVENTF_LEFTDOWN);
        ::Sleep(80);
        for (int i = 1; i <= 6; i++) {
            ctlinput::MouseAt(d->from.x + 10 * i, d->from.y + 20 * i);
            ::Sleep(60);
        }
        ctlinput::MouseAt(d->from.x + 60, d->from.y + 120, MOUSEEVENTF_LEFTUP);
        ::Sleep(100);
    }, &d);
    ASSERT_NE(nullptr, Popup());
    EXPECT_TRUE(Popup()->IsTornOff());
    EXPECT_TRUE(Noted(CCN_TORNOFF, 0));
    EXPECT_FALSE(Noted(CCN_CLOSED, 0)) << "made again without closing";
    EXPECT_TRUE(Popup()->GetExStyle() & WS_EX_TOOLWINDOW);
    CString caption;
    Popup()->GetWindowText(caption);
    EXPECT_EQ(CString("拖拉使这个菜单浮动"), caption);

    const POINT pt = ItemPoint(5);
    ctlinput::ClickAt(pt.x, pt.y);
    EXPECT_EQ(5, host->combo.GetCurSel());
    ASSERT_NE(nullptr, Popup()) << "a floating palette stays";
    Popup()->SendMessage(WM_CLOSE);
    EXPECT_EQ(nullptr, Popup());
    EXPECT_TRUE(Noted(CCN_CLOSED, 0));
}

TEST_F(ComboFixture, ZeroColumnsAndNoCellsOpenSafely)
{
    struct Row { int count, columns; };
    const Row rows[] = { { 5, 0 }, { 0, 8 }, { 0, 0 } };
    for (const Row& row : rows) {
        host->combo.SetCounts(row.count, row.columns);
        ASSERT_TRUE(host->combo.OpenPopup()) << row.count << "/" << row.columns;
        Popup()->UpdateWindow();
        Popup()->SendMessage(WM_KEYDOWN, VK_DOWN, 1);
        host->combo.ClosePopup();
        EXPECT_EQ(nullptr, Popup());
    }
}

}  // namespace
