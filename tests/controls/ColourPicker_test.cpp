#include "controls/ColourPicker.h"

#include "framework/ui/FrameWnd.h"
#include "ControlsInput.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>
#include <cstring>
#include <utility>
#include <vector>

namespace {

class CPickerHost : public CFrameWnd {
public:
    CColourPicker picker;
    std::vector<std::pair<UINT, int>> notes;
    COLORREF custom[16] = {};
    int customAsked = 0;

    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override
    {
        const NMHDR* hdr = (const NMHDR*)lParam;
        if (hdr->hwndFrom != picker.m_hWnd)
            return CFrameWnd::OnNotify(wParam, lParam, pResult);
        notes.push_back({ hdr->code, ((const NMCOOLCOMBO*)lParam)->value });
        *pResult = 0;
        if (hdr->code == CCN_GETCUSTOMCOLOURS) {
            customAsked++;
            *pResult = (LRESULT)custom;
        }
        return TRUE;
    }
};

DWORD Rgb(COLORREF c)
{
    return (DWORD)((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
}

struct PickerFixture : ::testing::Test {
    CPickerHost* host = nullptr;
    void SetUp() override
    {
        ctlinput::MouseAt(5, 1000);
        host = new CPickerHost;
        ASSERT_TRUE(host->Create(NULL, "颜色", WS_POPUP | WS_CAPTION | WS_VISIBLE, CRect(300, 300, 600, 450)));
        ASSERT_TRUE(host->picker.Create(CRect(10, 10, 70, 34), host, 701));
        host->SetForegroundWindow();
        host->picker.UpdateWindow();
        uitest::PumpPending();
    }
    void TearDown() override
    {
        host->picker.ClosePopup();
        host->DestroyWindow();
    }
    CCoolComboPopup* Popup() { return host->picker.GetPopup(); }
    DWORD FacePixel(int dx, int dy)
    {
        int w = 0, h = 0;
        const std::vector<DWORD> px = uitest::CaptureClient(host->picker.m_hWnd, &w, &h);
        const CPoint c = host->picker.GetFaceRect().CenterPoint();
        return px[(size_t)(c.y + dy) * w + c.x + dx];
    }
    bool Noted(UINT code, int value) const
    {
        for (const auto& n : host->notes)
            if (n.first == code && n.second == value)
                return true;
        return false;
    }
    void Open()
    {
        const CRect rc = host->picker.GetArrowRect();
        const POINT pt = ctlinput::ScreenPoint(host->picker.m_hWnd, rc.CenterPoint().x, rc.CenterPoint().y);
        ctlinput::ClickAt(pt.x, pt.y);
        uitest::PumpUntil([&] { return Popup() != nullptr; }, 2000);
    }
    POINT ItemPoint(int item)
    {
        const CRect rc = Popup()->GetItemRect(item);
        return ctlinput::ScreenPoint(Popup()->m_hWnd, rc.CenterPoint().x, rc.CenterPoint().y);
    }
};

TEST_F(PickerFixture, NewPickerShowsTheAutomaticBox)
{
    EXPECT_EQ((COLORREF)-1, host->picker.GetColour());
    EXPECT_EQ(40u, host->picker.GetColourTable().size());
    EXPECT_EQ(Rgb(::GetSysColor(COLOR_BTNFACE)), FacePixel(0, 0));
    // The box's outline in the shadow colour, inside the face's edges.
    const CRect face = host->picker.GetFaceRect();
    const int edge = ::GetSystemMetrics(SM_CXEDGE) + 1;
    int w = 0, h = 0;
    const std::vector<DWORD> px = uitest::CaptureClient(host->picker.m_hWnd, &w, &h);
    EXPECT_EQ(Rgb(::GetSysColor(COLOR_BTNSHADOW)), px[(size_t)(face.CenterPoint().y) * w + face.left + edge]);
}

// "Red" is cell 16: row 2, column 0 of the 8-column grid.
TEST_F(PickerFixture, ChoosingRedReportsItsColourAndPaintsTheFace)
{
    Open();
    ASSERT_NE(nullptr, Popup());
    EXPECT_EQ(5, Popup()->GetRows());
    EXPECT_EQ(kCoolDefaultItem, Popup()->GetCurrentItem()) << "automatic is current";
    const CRect r16 = Popup()->GetItemRect(16);
    const CRect r0 = Popup()->GetItemRect(0);
    EXPECT_EQ(r0.left, r16.left);
    EXPECT_EQ(r0.top + 2 * r0.Height(), r16.top);
    Popup()->UpdateWindow();
    {
        HDC hdc = ::GetDC(Popup()->m_hWnd);
        EXPECT_EQ(RGB(255, 0, 0), ::GetPixel(hdc, r16.CenterPoint().x, r16.CenterPoint().y)) << "a red cell";
        ::ReleaseDC(Popup()->m_hWnd, hdc);
    }
    const POINT pt = ItemPoint(16);
    ctlinput::ClickAt(pt.x, pt.y);
    ASSERT_TRUE(uitest::PumpUntil([&] { return Popup() == nullptr; }, 2000));
    EXPECT_TRUE(Noted(CCN_ITEMCHOSEN, 0x0000FF));
    EXPECT_EQ((COLORREF)0x0000FF, host->picker.GetColour());
    EXPECT_EQ((COLORREF)0x0000FF, host->picker.GetLastColour());
    host->picker.UpdateWindow();
    EXPECT_EQ(0xFF0000u, FacePixel(0, 0)) << "the red box";
}

TEST_F(PickerFixture, PopupCurrentItemFollowsTheColour)
{
    struct Row { COLORREF colour; int item; };
    const Row rows[] = {
        { 0x123456, kCoolExtraBase },   // not in the table: more colours
        { (COLORREF)-1, kCoolDefaultItem },
        { 0xFFFFFF, 39 },
        { 0x000000, 0 },
    };
    for (const Row& row : rows) {
        host->picker.SetColour(row.colour);
        ASSERT_TRUE(host->picker.OpenPopup());
        EXPECT_EQ(row.item, Popup()->GetCurrentItem()) << std::hex << row.colour;
        host->picker.ClosePopup();
    }
}

TEST_F(PickerFixture, AutomaticChoiceReportsMinusOne)
{
    host->picker.SetColour(0x00FF00);
    Open();
    ASSERT_NE(nullptr, Popup());
    const POINT pt = ItemPoint(kCoolDefaultItem);
    ctlinput::ClickAt(pt.x, pt.y);
    EXPECT_TRUE(Noted(CCN_DEFAULTCHOSEN, -1));
    EXPECT_EQ((COLORREF)-1, host->picker.GetColour());
}

TEST(ColourPicker, BoxOutlineByDistanceToTheFace)
{
    const COLORREF face = 0xC0C0C0, shadow = 0x808080;
    struct Row { COLORREF colour; COLORREF outline; };
    const Row rows[] = {
        { (COLORREF)-1, shadow },
        { 0xC0C0C0, RGB(0, 0, 0) },   // distance 0
        { 0xC0C0C9, RGB(0, 0, 0) },   // 81
        { 0xC0C0D0, (COLORREF)-1 },   // 256
        { 0x0000FF, (COLORREF)-1 },
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.outline, CColourPicker::BoxOutline(row.colour, face, shadow)) << std::hex << row.colour;
}

// "更多颜色...": the owner is asked for custom colours, the dialog opens
// with them; Cancel without an error changes nothing and shows nothing; OK
// reports the dialog's colour.
TEST_F(PickerFixture, MoreColoursOpensTheColourDialog)
{
    host->custom[0] = RGB(1, 2, 3);
    host->picker.SetColour(0x00FF00);
    int answer = IDCANCEL;
    uitest::ModalAnswerer answerer([&](HWND dialog) {
        char cls[32] = "";
        ::GetClassNameA(dialog, cls, sizeof(cls));
        return uitest::ModalAnswerer::Press(dialog, answer);
    });
    for (int round = 0; round < 2; round++) {
        answer = round == 0 ? IDCANCEL : IDOK;
        ASSERT_TRUE(host->picker.OpenPopup());
        host->notes.clear();
        Popup()->SetHotItem(kCoolExtraBase);
        Popup()->SendMessage(WM_KEYDOWN, VK_RETURN, 1);
        uitest::PumpUntil([&] { return Popup() == nullptr; }, 5000);
        EXPECT_EQ(nullptr, Popup());
        EXPECT_TRUE(Noted(CCN_GETCUSTOMCOLOURS, 0));
        if (round == 0) {
            EXPECT_EQ((COLORREF)0x00FF00, host->picker.GetColour()) << "cancel changes nothing";
            EXPECT_FALSE(Noted(CCN_ITEMCHOSEN, 0x00FF00));
        } else {
            EXPECT_TRUE(Noted(CCN_ITEMCHOSEN, 0x00FF00)) << "the dialog started at the current colour";
        }
    }
    EXPECT_EQ(2, host->customAsked);
    EXPECT_TRUE(answerer.MessageTexts().empty()) << "no error message";
}

// Entries whose names fill all 64 bytes are stored terminated.
TEST_F(PickerFixture, NamesAreTerminatedWithinTheirBytes)
{
    ColourTableEntry entries[2];
    entries[0].colour = 0x112233;
    memset(entries[0].name, 'x', sizeof(entries[0].name));
    entries[1].colour = 0x445566;
    strcpy(entries[1].name, "ok");
    host->picker.SetColourTable(entries, 2);
    ASSERT_EQ(2u, host->picker.GetColourTable().size());
    EXPECT_EQ(63u, strlen(host->picker.GetColourTable()[0].name));
    EXPECT_STREQ("ok", host->picker.GetColourTable()[1].name);
    EXPECT_EQ(2, host->picker.GetCount());
    ASSERT_TRUE(host->picker.OpenPopup());
    EXPECT_EQ(1, Popup()->GetRows());
    host->picker.ClosePopup();
    host->picker.SetColourTable(NULL, 0);
    EXPECT_EQ(40u, host->picker.GetColourTable().size());
}

TEST_F(PickerFixture, FaceClickReappliesTheLastColourOnlyWhenAsked)
{
    ASSERT_TRUE(host->picker.OpenPopup());
    Popup()->SetHotItem(26);   // "Yellow"
    Popup()->SendMessage(WM_KEYDOWN, VK_RETURN, 1);
    ASSERT_EQ((COLORREF)0x00FFFF, host->picker.GetLastColour());
    const CRect face = host->picker.GetFaceRect();
    const POINT pt = ctlinput::ScreenPoint(host->picker.m_hWnd, face.CenterPoint().x, face.CenterPoint().y);
    host->notes.clear();
    ctlinput::ClickAt(pt.x, pt.y);
    EXPECT_TRUE(host->notes.empty()) << "a face click does nothing by default";
    host->picker.SetReapply(TRUE);
    ctlinput::ClickAt(pt.x, pt.y);
    EXPECT_TRUE(Noted(CCN_ITEMCHOSEN, 0x00FFFF));
}

}  // namespace
