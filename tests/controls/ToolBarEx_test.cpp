#include "controls/ToolBarEx.h"

#include "framework/ui/FrameWnd.h"
#include "ControlsInput.h"
#include "ControlsTest.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

struct DrawCall {
    DWORD stage;
    DWORD_PTR item;
    UINT state;
};

// A frame holding the bar; it answers the bar's custom-draw notifications as
// a test asks and updates command C as disabled.
class CBarFrame : public CFrameWnd {
public:
    CToolBarEx bar;
    std::vector<DrawCall> calls;
    LRESULT preAnswer = CDRF_DODEFAULT;
    UINT skipId = 0;          // the button the owner paints itself
    COLORREF ownColour = RGB(0x12, 0x34, 0x56);
    BOOL enableC = FALSE;

    void OnCmdA() {}
    void OnCmdB() {}
    void OnUpdateC(CCmdUI* pCmdUI) { pCmdUI->Enable(enableC); }
    void OnCustomDraw(NMHDR* pNotify, LRESULT* pResult)
    {
        NMTBCUSTOMDRAW* cd = (NMTBCUSTOMDRAW*)pNotify;
        calls.push_back({ cd->nmcd.dwDrawStage, cd->nmcd.dwItemSpec, cd->nmcd.uItemState });
        *pResult = 0;
        if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) {
            *pResult = preAnswer;
        } else if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && cd->nmcd.dwItemSpec == skipId) {
            HBRUSH brush = ::CreateSolidBrush(ownColour);
            ::FillRect(cd->nmcd.hdc, &cd->nmcd.rc, brush);
            ::DeleteObject(brush);
            *pResult = CDRF_SKIPDEFAULT;
        }
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBarFrame, CFrameWnd)
    ON_COMMAND(ID_TEST_CMD_A, OnCmdA)
    ON_COMMAND(ID_TEST_CMD_B, OnCmdB)
    ON_UPDATE_COMMAND_UI(ID_TEST_CMD_C, OnUpdateC)
    ON_NOTIFY(NM_CUSTOMDRAW, AFX_IDW_TOOLBAR, OnCustomDraw)
END_MESSAGE_MAP()

DWORD Rgb(COLORREF c)
{
    return (DWORD)((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
}

int Brightness(DWORD rgb)
{
    return (int)((rgb >> 16) & 0xFF) + (int)((rgb >> 8) & 0xFF) + (int)(rgb & 0xFF);
}

struct ToolBarFixture : ::testing::Test {
    CBarFrame* frame = nullptr;
    const UINT ids[4] = { ID_TEST_CMD_A, ID_SEPARATOR, ID_TEST_CMD_B, ID_TEST_CMD_C };

    void Make(BOOL flat)
    {
        frame = new CBarFrame;
        ASSERT_TRUE(frame->Create(NULL, "工具栏", WS_OVERLAPPEDWINDOW, CRect(200, 200, 600, 400)));
        frame->bar.SetFlat(flat);
        ASSERT_TRUE(frame->bar.CreateEx(frame, TBSTYLE_FLAT));
        frame->bar.SetSizes(CSize(24, 24), CSize(16, 16));
        ASSERT_TRUE(frame->bar.LoadBitmap(IDB_TEST_TOOLBAR));
        ASSERT_TRUE(frame->bar.SetButtons(ids, 4));
        frame->ShowWindow(SW_SHOW);
        frame->RecalcLayout();
        Repaint();
    }
    void SetUp() override
    {
        ctlinput::MouseAt(5, 1000);   // well away from the bar
        Make(TRUE);
    }
    void TearDown() override
    {
        if (frame != nullptr)
            frame->DestroyWindow();   // deletes itself
    }
    void Repaint()
    {
        frame->bar.RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
        uitest::PumpPending();
    }
    CRect Item(int index)
    {
        CRect rc;
        frame->bar.GetItemRect(index, &rc);
        return rc;
    }
    DWORD Pixel(int x, int y)
    {
        int w = 0, h = 0;
        const std::vector<DWORD> px = uitest::CaptureClient(frame->bar.m_hWnd, &w, &h);
        return px[(size_t)y * w + x];
    }
    void Hover(int index)
    {
        const CRect rc = Item(index);
        const POINT pt = ctlinput::ScreenPoint(frame->bar.m_hWnd, rc.CenterPoint().x, rc.CenterPoint().y);
        ctlinput::MouseAt(pt);
        uitest::PumpUntil([&] { return frame->bar.GetHotIndex() == index; }, 2000);
        frame->bar.UpdateWindow();
    }
};

TEST_F(ToolBarFixture, HoveredButtonRisesAndFallsBackWhenTheCursorLeaves)
{
    const CRect rc = Item(0);
    EXPECT_EQ(Rgb(::GetSysColor(COLOR_BTNFACE)), Pixel(rc.left, rc.top));
    Hover(0);
    ASSERT_EQ(0, frame->bar.GetHotIndex());
    EXPECT_EQ(Rgb(::GetSysColor(COLOR_3DHILIGHT)), Pixel(rc.left, rc.top)) << "raised frame";
    EXPECT_EQ(Rgb(::GetSysColor(COLOR_BTNSHADOW)), Pixel(rc.right - 1, rc.bottom - 1));
    EXPECT_EQ(0xFF0000u, Pixel(rc.left + 4 + 8, rc.top + 4 + 8)) << "the image in the middle";

    // Off the bar in one jump: no further move reaches it; the timer notices.
    ctlinput::MouseAt(5, 1000);
    EXPECT_TRUE(uitest::PumpUntil([&] { return frame->bar.GetHotIndex() == -1; }, 1000));
    frame->bar.UpdateWindow();
    EXPECT_EQ(Rgb(::GetSysColor(COLOR_BTNFACE)), Pixel(rc.left, rc.top));
}

TEST_F(ToolBarFixture, CheckedButtonUsesTheCheckedBackgroundUnlessHot)
{
    frame->bar.SetButtonStyle(2, frame->bar.GetButtonStyle(2) | ((UINT)TBSTATE_CHECKED << 16));
    Repaint();
    const CRect rc = Item(2);
    EXPECT_EQ(Rgb(frame->bar.GetCheckedColour()), Pixel(rc.left + 2, rc.top + 2));
    EXPECT_EQ(Rgb(::GetSysColor(COLOR_BTNSHADOW)), Pixel(rc.left, rc.top)) << "sunken frame";
    EXPECT_EQ(0x00A000u, Pixel(rc.left + 5 + 8, rc.top + 5 + 8)) << "image moved by one";
    Hover(2);
    EXPECT_EQ(Rgb(::GetSysColor(COLOR_BTNFACE)), Pixel(rc.left + 2, rc.top + 2));
}

TEST(ToolBarEx, CheckedBackgroundFallsBackToTheHighlightWhenLightIsTheFace)
{
    struct Row { COLORREF face, light, highlight, expected; };
    const Row rows[] = {
        { RGB(192, 192, 192), RGB(223, 223, 223), RGB(255, 255, 255), RGB(223, 223, 223) },
        { RGB(192, 192, 192), RGB(192, 192, 192), RGB(255, 255, 255), RGB(255, 255, 255) },
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.expected, CToolBarEx::CheckedBackground(row.face, row.light, row.highlight));
}

// Disabled by the frame's update handler in the idle pass: the button is
// drawn again, embossed, and the drop-down style of another survives.
TEST_F(ToolBarFixture, IdleUpdateDisablesAndEmbossesAndKeepsDropDownStyle)
{
    frame->bar.SetButtonStyle(0, frame->bar.GetButtonStyle(0) | TBSTYLE_DROPDOWN);
    const CRect rc = Item(3);
    EXPECT_EQ(0x0000FFu, Pixel(rc.left + 12, rc.top + 12));
    frame->SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE);
    frame->bar.UpdateWindow();
    EXPECT_FALSE(frame->bar.SendMessage(TB_ISBUTTONENABLED, ID_TEST_CMD_C));
    EXPECT_TRUE(frame->bar.SendMessage(TB_ISBUTTONENABLED, ID_TEST_CMD_A)) << "has a handler";
    EXPECT_TRUE(frame->bar.GetButtonStyle(0) & TBSTYLE_DROPDOWN);
    int blue = 0, shadow = 0, hilight = 0;
    for (int y = rc.top + 4; y < rc.top + 21; y++) {
        for (int x = rc.left + 4; x < rc.left + 21; x++) {
            const DWORD p = Pixel(x, y);
            blue += p == 0x0000FFu;
            shadow += p == Rgb(::GetSysColor(COLOR_BTNSHADOW));
            hilight += p == Rgb(::GetSysColor(COLOR_3DHILIGHT));
        }
    }
    EXPECT_EQ(0, blue);
    EXPECT_GT(shadow, 100) << "the square in shadow";
    EXPECT_GT(hilight, 10) << "its highlight edge";

    frame->enableC = TRUE;
    frame->SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE);
    frame->bar.UpdateWindow();
    EXPECT_EQ(0x0000FFu, Pixel(rc.left + 12, rc.top + 12));
}

TEST_F(ToolBarFixture, OwnerCustomDrawSeesEveryStageAndCanSkipAButton)
{
    frame->bar.SetButtonStyle(2, frame->bar.GetButtonStyle(2) | ((UINT)TBSTATE_CHECKED << 16));
    frame->bar.SetButtonStyle(3, frame->bar.GetButtonStyle(3) & ~((UINT)TBSTATE_ENABLED << 16));
    frame->preAnswer = CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
    frame->skipId = ID_TEST_CMD_B;
    frame->calls.clear();
    Repaint();
    struct Row { DWORD stage; DWORD_PTR item; UINT state; };
    const Row expected[] = {
        { CDDS_PREPAINT, 0, 0 },
        { CDDS_ITEMPREPAINT, ID_TEST_CMD_A, 0 },
        { CDDS_ITEMPREPAINT, ID_TEST_CMD_B, CDIS_CHECKED },
        { CDDS_ITEMPREPAINT, ID_TEST_CMD_C, CDIS_DISABLED },
        { CDDS_POSTPAINT, 0, 0 },
    };
    ASSERT_EQ(5u, frame->calls.size());
    for (size_t i = 0; i < 5; i++) {
        EXPECT_EQ(expected[i].stage, frame->calls[i].stage) << i;
        EXPECT_EQ(expected[i].item, frame->calls[i].item) << i;
        EXPECT_EQ(expected[i].state, frame->calls[i].state) << i;
    }
    const CRect b = Item(2);
    EXPECT_EQ(Rgb(frame->ownColour), Pixel(b.left + 2, b.top + 2));
    EXPECT_EQ(Rgb(frame->ownColour), Pixel(b.left + 12, b.top + 12)) << "no image drawn over it";
    const CRect a = Item(0);
    EXPECT_EQ(0xFF0000u, Pixel(a.left + 12, a.top + 12));
}

TEST_F(ToolBarFixture, TextsGoUnderTheImages)
{
    LOGFONT lf = {};
    lf.lfHeight = -12;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpyA(lf.lfFaceName, "宋体");
    frame->bar.SetTextFont(&lf);
    ASSERT_TRUE(frame->bar.SetButtonText(0, "录制"));
    frame->bar.SetSizes(CSize(48, 40), CSize(16, 16));
    EXPECT_EQ(CString("录制"), frame->bar.GetButtonText(0));
    frame->RecalcLayout();
    Repaint();
    const CRect rc = Item(0);
    EXPECT_EQ(CPoint(16, 3), frame->bar.GetImageOffset());
    EXPECT_EQ(0xFF0000u, Pixel(rc.left + 16 + 8, rc.top + 3 + 8));
    int dark = 0;
    for (int y = rc.top + 20; y < rc.bottom - 3; y++)
        for (int x = rc.left + 3; x < rc.right - 3; x++)
            dark += Brightness(Pixel(x, y)) < 3 * 128;   // text may be smoothed
    EXPECT_GT(dark, 20) << "the caption in black under the image";
}

// The gripper: two 3-pixel bars in the non-client strip before the buttons.
TEST_F(ToolBarFixture, FlatBarDrawsItsGripperAndPlainBarDoesNot)
{
    auto gripperPixels = [&]() {
        HDC hdc = ::GetWindowDC(frame->bar.m_hWnd);
        int hi = 0;
        for (int y = 6; y < 14; y++)
            hi += ::GetPixel(hdc, 4, y) == ::GetSysColor(COLOR_3DHILIGHT) &&
                  ::GetPixel(hdc, 6, y) == ::GetSysColor(COLOR_BTNSHADOW);
        ::ReleaseDC(frame->bar.m_hWnd, hdc);
        return hi;
    };
    auto clientLeft = [&]() {
        RECT w, c;
        frame->bar.GetWindowRect(&w);
        frame->bar.GetClientRect(&c);
        frame->bar.ClientToScreen((LPPOINT)&c);
        return c.left - w.left;
    };
    EXPECT_EQ(8, gripperPixels());
    EXPECT_EQ(10, clientLeft());

    frame->DestroyWindow();
    Make(FALSE);
    EXPECT_EQ(0, gripperPixels());
    EXPECT_EQ(6, clientLeft());
    Hover(0);
    EXPECT_EQ(-1, frame->bar.GetHotIndex()) << "no hot tracking of its own";
}

}  // namespace
