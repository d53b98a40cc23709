#include "controls/FontCache.h"
#include "controls/MaskButton.h"

#include "framework/ui/DC.h"
#include "ControlsInput.h"
#include "ControlsTest.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

const COLORREF kParentGreen = RGB(0, 200, 0);

// A parent painted green (no WS_CLIPCHILDREN, so it paints under the button)
// that counts the button's clicks.
class CMaskParent : public CWnd {
public:
    CMaskButton button;
    int clicks = 0;
    BOOL OnEraseBkgnd(CDC* pDC)
    {
        RECT rc;
        GetClientRect(&rc);
        HBRUSH brush = ::CreateSolidBrush(kParentGreen);
        ::FillRect(pDC->GetSafeHdc(), &rc, brush);
        ::DeleteObject(brush);
        return TRUE;
    }
    void OnClicked() { clicks++; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMaskParent, CWnd)
    ON_WM_ERASEBKGND()
    ON_BN_CLICKED(800, OnClicked)
END_MESSAGE_MAP()

DWORD Rgb(COLORREF c)
{
    return (DWORD)((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
}

// The test bitmap is 4 x 2, top row red, green, blue, white; bottom row
// white, magenta, grey, black. Stretched to 80 x 40 each pixel is a 20 x 20
// block.
struct MaskFixture : ::testing::Test {
    CFontCache fonts;
    CMaskParent parent;
    CDWordArray keep;
    void SetUp() override
    {
        ctlinput::MouseAt(5, 1000);
        ASSERT_TRUE(parent.CreateEx(0, AfxRegisterWndClass(0, ::LoadCursorA(NULL, (LPCSTR)IDC_ARROW)), "遮罩",
                                    WS_POPUP | WS_VISIBLE, 300, 300, 200, 100, NULL, NULL));
        ASSERT_TRUE(parent.button.Create("", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, CRect(20, 20, 100, 60), &parent, 800));
        keep.Add(RGB(255, 0, 255));
        ASSERT_TRUE(parent.button.SetBitmaps(IDB_TEST_TINT, RGB(128, 128, 128), RGB(255, 255, 255),
                                             RGB(255, 255, 0), &keep));
        parent.button.SetStretch(TRUE);
        Settle();
    }
    void TearDown() override { parent.DestroyWindow(); }
    void Settle()
    {
        parent.RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        uitest::PumpPending();
    }
    // A block of the stretched bitmap, read from the parent (what shows).
    DWORD Block(int col, int row)
    {
        int w = 0, h = 0;
        const std::vector<DWORD> px = uitest::CaptureClient(parent.m_hWnd, &w, &h);
        return px[(size_t)(20 + row * 20 + 10) * w + 20 + col * 20 + 10];
    }
    void Hover(bool on)
    {
        if (on) {
            const POINT pt = ctlinput::ScreenPoint(parent.button.m_hWnd, 70, 30);
            ctlinput::MouseAt(pt);
        } else {
            ctlinput::MouseAt(5, 1000);
        }
        const int look = on ? CMaskButton::kHot : CMaskButton::kNormal;
        uitest::PumpUntil([&] { return parent.button.GetLook() == look; }, 2000);
        parent.UpdateWindow();
        parent.button.UpdateWindow();
        uitest::PumpPending();
    }
};

TEST_F(MaskFixture, NormalLookKeepsColoursAndMagentaShowsTheParent)
{
    EXPECT_EQ(0xFFFFFFu, Block(0, 1));
    EXPECT_EQ(Rgb(kParentGreen), Block(1, 1)) << "magenta is transparent";
    EXPECT_EQ(0x0000FFu, Block(2, 0));
    EXPECT_EQ(Rgb(kParentGreen), Block(4, 1)) << "outside the button: the parent";
}

TEST_F(MaskFixture, HoverShowsTheHotTintAndLeavingBringsTheNormalBack)
{
    Hover(true);
    ASSERT_EQ(CMaskButton::kHot, parent.button.GetLook());
    EXPECT_EQ(0xFFFF00u, Block(0, 1)) << "white times the hot tint";
    EXPECT_EQ(Rgb(kParentGreen), Block(1, 1)) << "the parent was repainted under it";
    Hover(false);
    EXPECT_EQ(0xFFFFFFu, Block(0, 1));
    EXPECT_EQ(Rgb(kParentGreen), Block(1, 1));
}

TEST_F(MaskFixture, DisabledButtonShowsTheDisabledTintAndIgnoresClicks)
{
    parent.button.EnableButton(FALSE);
    Settle();
    EXPECT_EQ(CMaskButton::kDisabled, parent.button.GetLook());
    EXPECT_EQ(0x808080u, Block(0, 1));
    const POINT pt = ctlinput::ScreenPoint(parent.button.m_hWnd, 30, 30);
    ctlinput::ClickAt(pt.x, pt.y);
    EXPECT_EQ(0, parent.clicks);
    parent.button.EnableButton(TRUE);
    Settle();
    EXPECT_EQ(CMaskButton::kNormal, parent.button.GetLook());
    ctlinput::ClickAt(pt.x, pt.y);
    EXPECT_EQ(1, parent.clicks);
}

// Without magenta among the kept colours a non-white tint changes it, and
// it shows.
TEST_F(MaskFixture, MagentaIsTintedWhenNotKept)
{
    ASSERT_TRUE(parent.button.SetBitmaps(IDB_TEST_TINT, RGB(128, 128, 128), RGB(192, 192, 192),
                                         RGB(255, 255, 0), NULL));
    Settle();
    EXPECT_EQ(0xC000C0u, Block(1, 1));
    EXPECT_EQ(0xC0C0C0u, Block(0, 1));
}

TEST_F(MaskFixture, WithoutStretchTheBitmapIsCentredAtItsSize)
{
    parent.button.SetStretch(FALSE);
    Settle();
    int w = 0, h = 0;
    const std::vector<DWORD> px = uitest::CaptureClient(parent.m_hWnd, &w, &h);
    // 4 x 2 centred in 80 x 40: at (20 + 38, 20 + 19).
    EXPECT_EQ(0xFF0000u, px[(size_t)39 * w + 58]);
    EXPECT_EQ(0xFFFFFFu, px[(size_t)40 * w + 58]);
    EXPECT_EQ(Rgb(kParentGreen), Block(0, 1)) << "the rest shows the parent";
}

// The bold caption font is made once: repaints reuse the same object.
// (Wine 8 answers 0 to GetGuiResources, so the object itself is followed.)
TEST_F(MaskFixture, CaptionFontIsMadeOncePerSetting)
{
    parent.button.SetWindowText("录制");
    parent.button.SetCaptionFont(1, -14);
    Settle();
    const HFONT font = parent.button.GetCaptionFont();
    ASSERT_NE((HFONT)NULL, font);
    LOGFONT lf;
    ::GetObjectA(font, sizeof(lf), &lf);
    EXPECT_EQ(FW_BOLD, lf.lfWeight);
    EXPECT_EQ(-14, lf.lfHeight);
    for (int i = 0; i < 200; i++) {
        parent.button.Invalidate();
        parent.button.UpdateWindow();
    }
    EXPECT_EQ(font, parent.button.GetCaptionFont()) << "the same font object";
    EXPECT_EQ((DWORD)OBJ_FONT, ::GetObjectType(font));
    parent.button.SetCaptionFont(1, -16);
    EXPECT_NE(font, parent.button.GetCaptionFont()) << "a new setting, a new font";
    EXPECT_EQ(0u, ::GetObjectType(font)) << "the old one deleted";
    parent.button.SetCaptionFont(0, 0);
    EXPECT_EQ((HFONT)CFontCache::GetFont(CMaskButton::kFontKey)->m_hObject, parent.button.GetCaptionFont());
}

}  // namespace
