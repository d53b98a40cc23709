#include "controls/QK508ColorButton.h"
#include "controls/XRVButton.h"
#include "controls/XRVImageList.h"

#include "framework/ui/Dialog.h"
#include "ControlsTest.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

class CButtonDlg : public CDialog {
public:
    CButtonDlg() : CDialog(IDD_TEST_BUTTONS) {}
    XRVButton def;
    XRVButton plain;
    QK508ColorButton colour;
    XRVButton off;
    int plainClicks = 0;
    WPARAM lastUiChange = 0;
    void OnPlain() { plainClicks++; }
    LRESULT OnChangeUiState(WPARAM wParam, LPARAM)
    {
        lastUiChange = wParam;
        return Default();
    }

protected:
    BOOL OnInitDialog() override
    {
        def.SubclassDlgItem(IDC_TEST_DEFBTN, this);
        plain.SubclassDlgItem(IDC_TEST_PLAINBTN, this);
        colour.SubclassDlgItem(IDC_TEST_COLORBTN, this);
        off.SubclassDlgItem(IDC_TEST_OFFBTN, this);
        return CDialog::OnInitDialog();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CButtonDlg, CDialog)
    ON_BN_CLICKED(IDC_TEST_PLAINBTN, OnPlain)
    ON_MESSAGE(WM_CHANGEUISTATE, OnChangeUiState)
END_MESSAGE_MAP()

struct ButtonFixture : ::testing::Test {
    CButtonDlg dlg;
    void SetUp() override
    {
        ASSERT_TRUE(dlg.Create(IDD_TEST_BUTTONS));
        dlg.SetWindowPos(NULL, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        dlg.ShowWindow(SW_SHOW);
        dlg.UpdateWindow();
    }
};

TEST_F(ButtonFixture, ButtonsBecomeOwnerDrawnAndDefaultAnswersDlgCode)
{
    EXPECT_EQ((DWORD)BS_OWNERDRAW, dlg.def.GetStyle() & 0x1F);
    EXPECT_TRUE(dlg.def.IsDefault());
    EXPECT_EQ(0x2010, dlg.def.SendMessage(WM_GETDLGCODE));
    EXPECT_EQ(0x2020, dlg.plain.SendMessage(WM_GETDLGCODE));
    // The dialog manager moves the default away.
    dlg.def.SendMessage(BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EXPECT_EQ(0x2020, dlg.def.SendMessage(WM_GETDLGCODE));
    EXPECT_EQ((DWORD)BS_OWNERDRAW, dlg.def.GetStyle() & 0x1F) << "still owner-drawn";
    EXPECT_EQ((UINT)(DT_CENTER | DT_VCENTER | DT_SINGLELINE), dlg.plain.GetTextFormat() & ~DT_HIDEPREFIX);
    dlg.plain.Click();
    EXPECT_EQ(1, dlg.plainClicks) << "clicks stay ordinary commands";
}

TEST_F(ButtonFixture, DisabledButtonTextIsEmbossed)
{
    dlg.off.Invalidate();
    dlg.off.UpdateWindow();
    int w = 0, h = 0;
    const std::vector<DWORD> px = uitest::CaptureClient(dlg.off.m_hWnd, &w, &h);
    auto rgb = [](COLORREF c) { return (DWORD)((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c)); };
    const DWORD hilight = rgb(::GetSysColor(COLOR_3DHILIGHT));
    const DWORD shadow = rgb(::GetSysColor(COLOR_BTNSHADOW));
    const DWORD text = rgb(::GetSysColor(COLOR_WINDOWTEXT));
    int hilights = 0, shadows = 0, texts = 0;
    // Inside the face, away from the 3-D frame.
    for (int y = 4; y < h - 4; y++) {
        for (int x = 4; x < w - 4; x++) {
            const DWORD p = px[(size_t)y * w + x];
            hilights += p == hilight;
            shadows += p == shadow;
            texts += p == text;
        }
    }
    EXPECT_GT(hilights, 10);
    EXPECT_GT(shadows, 10);
    EXPECT_EQ(0, texts) << "no enabled-colour text";
}

// Alt and the navigation keys make the button ask its dialog to show the
// cues (WM_CHANGEUISTATE); the state the dialog sends down is applied.
TEST_F(ButtonFixture, KeysAskTheDialogToShowHiddenCues)
{
    struct Row { UINT key; WPARAM expected; };
    const Row rows[] = {
        { VK_MENU, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL) },
        { VK_TAB, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS) },
        { VK_DOWN, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS) },
        { 'A', 0 },
    };
    for (const Row& row : rows) {
        dlg.lastUiChange = 0;
        dlg.plain.SendMessage(WM_SYSKEYDOWN, row.key, 0x20000001);
        EXPECT_EQ(row.expected, dlg.lastUiChange) << row.key;
    }
}

TEST_F(ButtonFixture, UiStateMessagesSetAndClearTheCues)
{
    dlg.plain.SendMessage(WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL));
    EXPECT_TRUE(dlg.plain.IsFocusHidden());
    EXPECT_TRUE(dlg.plain.GetTextFormat() & DT_HIDEPREFIX);
    dlg.plain.SendMessage(WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEACCEL));
    EXPECT_TRUE(dlg.plain.IsFocusHidden());
    EXPECT_FALSE(dlg.plain.GetTextFormat() & DT_HIDEPREFIX);
    dlg.plain.SendMessage(WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS));
    EXPECT_FALSE(dlg.plain.IsFocusHidden());
}

TEST_F(ButtonFixture, ColourButtonWritesItsValuesAndDrawsTheSwatch)
{
    QK508ColorButton& b = dlg.colour;
    EXPECT_STREQ("颜色", b.GetCaption());
    b.SetColour(RGB(0, 200, 0));
    CString text;
    b.GetWindowText(text);
    EXPECT_STREQ("颜色 红色 0,  绿色 200,  蓝色 0", text);

    // Share 40 on the left of an unfocused 100 x 20 button: the face left
    // after frame and focus is x 3..96, so the swatch is 37 wide from x = 3.
    b.m_swatchShare = 40;
    b.m_swatchSide = QK508ColorButton::kLeft;
    b.SetWindowPos(NULL, 0, 0, 100, 20, SWP_NOMOVE | SWP_NOZORDER);
    dlg.plain.SetFocus();
    b.Invalidate();
    b.UpdateWindow();
    int w = 0, h = 0;
    const std::vector<DWORD> px = uitest::CaptureClient(b.m_hWnd, &w, &h);
    ASSERT_EQ(100, w);
    auto at = [&](int x, int y) { return px[(size_t)y * w + x]; };
    EXPECT_EQ(0u, at(3, 9)) << "left frame";
    EXPECT_EQ(0x00C800u, at(20, 9)) << "fill";
    EXPECT_EQ(0u, at(39, 9)) << "right frame at x = 39";
    EXPECT_NE(0x00C800u, at(41, 9)) << "outside the swatch";
}

TEST(ColourButton, ColourSetBeforeTheWindowIsUsedByALaterCaption)
{
    CButtonDlg dlg;
    dlg.colour.SetColour(RGB(1, 2, 3));
    ASSERT_TRUE(dlg.Create(IDD_TEST_BUTTONS));
    CString text;
    dlg.colour.GetWindowText(text);
    EXPECT_STREQ("颜色", text) << "text unchanged by the early colour";
    dlg.colour.SetCaption("新");
    dlg.colour.GetWindowText(text);
    EXPECT_STREQ("新 红色 1,  绿色 2,  蓝色 3", text);
}

TEST(XRVImageList, IconsAreAddedInColourOrGrey)
{
    XRVImageList list;
    ASSERT_TRUE(list.Create(32, 32, ILC_COLOR32 | ILC_MASK, 2, 2));
    EXPECT_EQ(0, list.AddIconResource(IDI_TEST_ICON, 32, 32));
    EXPECT_EQ(1, list.AddIconResource(IDI_TEST_ICON, 32, 32, TRUE));
    EXPECT_EQ(-1, list.AddIconResource(31998, 32, 32));
    list.m_bGrey = 1;
    EXPECT_EQ(2, list.AddIconResource(IDI_TEST_ICON, 32, 32));

    HDC screen = ::GetDC(NULL);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, 96, 32);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    for (int i = 0; i < 3; i++)
        ImageList_Draw(list.m_hImageList, i, mem, i * 32, 0, ILD_NORMAL);
    const COLORREF colourLeft = ::GetPixel(mem, 4, 10);
    const COLORREF greyLeft = ::GetPixel(mem, 36, 10);
    const COLORREF greyRight = ::GetPixel(mem, 60, 10);
    const COLORREF flagGrey = ::GetPixel(mem, 68, 10);
    ::SelectObject(mem, old);
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    ::ReleaseDC(NULL, screen);
    EXPECT_EQ(RGB(255, 0, 0), colourLeft);
    const BYTE red = (BYTE)(int)(0.299 * 255);
    EXPECT_EQ(RGB(red, red, red), greyLeft);
    const BYTE blue = (BYTE)(int)(0.587 * 128 + 0.114 * 255);   // RGB(0, 128, 255)
    EXPECT_EQ(RGB(blue, blue, blue), greyRight);
    EXPECT_EQ(RGB(red, red, red), flagGrey) << "the list's grey flag";
}

// A grey pixel becomes trunc(0.299 v + 0.587 v + 0.114 v), the sum in double
// precision step by step: most greys keep their value, a few (27, 128, 254)
// come out a hair under it and lose one. The x87 unit of the 32-bit build
// would otherwise carry the unrounded sum and turn grey 3 into 2.
TEST(XRVImageList, GreyIconTruncatesTheWeightedSum)
{
    const struct {
        int grey, expected;
    } greys[] = {{0, 0}, {3, 3}, {5, 5}, {10, 10}, {17, 17}, {27, 26}, {100, 100}, {128, 127}, {200, 200},
                 {254, 253}, {255, 255}};
    const int count = (int)(sizeof(greys) / sizeof(greys[0]));
    const int size = 16;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = size;
    bi.bmiHeader.biHeight = size;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    HDC screen = ::GetDC(NULL);
    void* pixels = NULL;
    HBITMAP colour = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &pixels, NULL, 0);
    ASSERT_TRUE(colour != NULL);
    // Row y (bottom-up) holds grey y % count, fully opaque.
    DWORD* p = (DWORD*)pixels;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const DWORD v = (DWORD)greys[y % count].grey;
            p[y * size + x] = 0xFF000000u | (v << 16) | (v << 8) | v;
        }
    HBITMAP mask = ::CreateBitmap(size, size, 1, 1, NULL);
    ICONINFO info = {TRUE, 0, 0, mask, colour};
    HICON icon = ::CreateIconIndirect(&info);
    ASSERT_TRUE(icon != NULL);
    HICON grey = XRVImageList::CreateGreyIcon(icon);
    ASSERT_TRUE(grey != NULL);

    ICONINFO made = {};
    ASSERT_TRUE(::GetIconInfo(grey, &made));
    std::vector<DWORD> out((size_t)size * size);
    ASSERT_EQ(size, ::GetDIBits(screen, made.hbmColor, 0, size, out.data(), &bi, DIB_RGB_COLORS));
    for (int y = 0; y < size; ++y) {
        const DWORD v = (DWORD)greys[y % count].expected;
        EXPECT_EQ((v << 16) | (v << 8) | v, out[(size_t)y * size + 3] & 0xFFFFFFu)
            << "grey " << greys[y % count].grey;
    }
    ::DeleteObject(made.hbmColor);
    ::DeleteObject(made.hbmMask);
    ::DestroyIcon(grey);
    ::DestroyIcon(icon);
    ::DeleteObject(mask);
    ::DeleteObject(colour);
    ::ReleaseDC(NULL, screen);
}

}  // namespace
