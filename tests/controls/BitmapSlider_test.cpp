#include "controls/BitmapSlider.h"

#include "framework/ui/Controls.h"
#include "ControlsInput.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

const COLORREF kKey = RGB(255, 0, 255);

// A solid bitmap; thumbs get one key-coloured pixel.
CBitmap* Solid(int cx, int cy, COLORREF colour, bool keyCorners = false)
{
    std::vector<DWORD> px((size_t)cx * cy, (DWORD)((GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour)));
    if (keyCorners)
        px[(size_t)(cy / 2) * cx] = 0xFF00FF;   // the left pixel of the middle row
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biHeight = -cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    HDC screen = ::GetDC(NULL);
    HBITMAP hbm = ::CreateDIBitmap(screen, &bi.bmiHeader, CBM_INIT, &px[0], &bi, DIB_RGB_COLORS);
    ::ReleaseDC(NULL, screen);
    CBitmap* pBitmap = new CBitmap;
    pBitmap->Attach(hbm);
    return pBitmap;
}

// Moves the owner's value to the one under the thumb, as an owner does.
class CSliderParent : public CWnd {
public:
    CBitmapSlider slider;
    int tracks = 0;
    int lastValue = -1;
    void OnHScroll(UINT code, UINT, CScrollBar* pBar)
    {
        if (code == SB_THUMBTRACK && (HWND)pBar->GetSafeHwnd() == slider.m_hWnd) {
            tracks++;
            lastValue = slider.GetPosFromThumb();
        }
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CSliderParent, CWnd)
    ON_WM_HSCROLL()
END_MESSAGE_MAP()

DWORD Rgb(COLORREF c)
{
    return (DWORD)((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c));
}

struct SliderFixture : ::testing::Test {
    CSliderParent parent;
    void SetUp() override
    {
        ctlinput::MouseAt(5, 1000);
        ASSERT_TRUE(parent.CreateEx(0, AfxRegisterWndClass(0, NULL, (HBRUSH)::GetStockObject(WHITE_BRUSH)), "滑块",
                                    WS_POPUP | WS_VISIBLE, 300, 300, 260, 60, NULL, NULL));
        ASSERT_TRUE(parent.slider.Create(CRect(10, 10, 210, 30), &parent, 900));
        parent.slider.m_crKey = kKey;
        parent.slider.SetChannelBitmap(Solid(8, 6, RGB(0, 0, 255)));
        parent.slider.SetThumbBitmap(Solid(10, 20, RGB(255, 0, 0), true));
        parent.slider.SetHotThumbBitmap(Solid(10, 20, RGB(0, 255, 0), true));
        parent.slider.SetRange(0, 100);
        Settle();
    }
    void TearDown() override { parent.DestroyWindow(); }
    void Settle()
    {
        parent.RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        uitest::PumpPending();
    }
    DWORD Pixel(int x, int y)
    {
        int w = 0, h = 0;
        const std::vector<DWORD> px = uitest::CaptureClient(parent.slider.m_hWnd, &w, &h);
        return px[(size_t)y * w + x];
    }
};

TEST_F(SliderFixture, FiftyOfAHundredPutsTheThumbAt95)
{
    parent.slider.SetPos(50);
    Settle();
    EXPECT_EQ(95, parent.slider.GetThumbRect().left);
    EXPECT_EQ(0xFF0000u, Pixel(100, 10)) << "the thumb";
    EXPECT_EQ(0x0000FFu, Pixel(94, 10)) << "the channel beside it";
    EXPECT_EQ(0x0000FFu, Pixel(95, 10)) << "the thumb's key-coloured pixel shows the channel";
    EXPECT_EQ(0xFFFFFFu, Pixel(50, 1)) << "above the 6-pixel channel nothing is drawn";
    EXPECT_EQ(50, parent.slider.GetPosFromThumb());
}

TEST_F(SliderFixture, ClickOnTheChannelCentresTheThumbAndReportsOnce)
{
    const POINT pt = ctlinput::ScreenPoint(parent.slider.m_hWnd, 150, 10);
    ctlinput::ClickAt(pt.x, pt.y);
    EXPECT_EQ(1, parent.tracks);
    // Thumb left 145 of a 190-pixel travel: 76.
    EXPECT_EQ(76, parent.lastValue);
    EXPECT_FALSE(parent.slider.IsDragging());
    EXPECT_EQ(0, parent.slider.GetPos()) << "the owner sets the position";
    parent.slider.SetPos(parent.lastValue);
    EXPECT_EQ((int)(190.0 / 100 * 76), parent.slider.GetThumbRect().left);
}

TEST_F(SliderFixture, DraggingTheThumbFollowsTheMouseWithinTheTrack)
{
    parent.slider.SetPos(50);
    Settle();
    const POINT from = ctlinput::ScreenPoint(parent.slider.m_hWnd, 100, 10);
    ctlinput::MouseAt(from);
    ctlinput::Pump(50);
    ctlinput::MouseAt(from, MOUSEEVENTF_LEFTDOWN);
    ctlinput::Pump(50);
    EXPECT_TRUE(parent.slider.IsDragging());
    for (int i = 1; i <= 4; i++) {
        ctlinput::MouseAt(from.x + 20 * i, from.y);
        ctlinput::Pump(30);
    }
    EXPECT_EQ(175, parent.slider.GetThumbRect().left);
    EXPECT_EQ(92, parent.lastValue);   // 175 / 190 x 100
    ctlinput::MouseAt(from.x + 300, from.y);   // far past the end
    ctlinput::Pump(50);
    EXPECT_EQ(190, parent.slider.GetThumbRect().left) << "held at the end";
    EXPECT_EQ(100, parent.lastValue);
    ctlinput::MouseAt(from.x + 300, from.y, MOUSEEVENTF_LEFTUP);
    ctlinput::Pump(50);
    EXPECT_FALSE(parent.slider.IsDragging());
    EXPECT_EQ(95, parent.slider.GetThumbRect().left) << "back to the position the owner kept";
    EXPECT_GE(parent.tracks, 5);
}

TEST_F(SliderFixture, HotThumbUnderTheCursor)
{
    parent.slider.SetPos(50);
    Settle();
    const POINT pt = ctlinput::ScreenPoint(parent.slider.m_hWnd, 100, 10);
    ctlinput::MouseAt(pt);
    uitest::PumpUntil([&] { return parent.slider.IsOverThumb(); }, 1000);
    parent.slider.UpdateWindow();
    EXPECT_EQ(0x00FF00u, Pixel(100, 10));
    ctlinput::MouseAt(5, 1000);
    uitest::PumpUntil([&] { return !parent.slider.IsOverThumb(); }, 1000);
    parent.slider.UpdateWindow();
    EXPECT_EQ(0xFF0000u, Pixel(100, 10));
}

TEST_F(SliderFixture, DisabledSliderUsesItsDisabledBitmapsWhenSet)
{
    parent.slider.SetPos(50);
    parent.slider.EnableWindow(FALSE);
    Settle();
    EXPECT_EQ(0xFF0000u, Pixel(100, 10)) << "no disabled thumb: the normal one";
    EXPECT_EQ(0x0000FFu, Pixel(20, 10));
    parent.slider.SetDisabledThumbBitmap(Solid(10, 20, RGB(128, 128, 128), true));
    parent.slider.SetDisabledChannelBitmap(Solid(8, 6, RGB(64, 64, 64)));
    Settle();
    EXPECT_EQ(0x808080u, Pixel(100, 10));
    EXPECT_EQ(0x404040u, Pixel(20, 10));
}

TEST_F(SliderFixture, MissingBitmapsDrawOnlyWhatIsThere)
{
    parent.slider.SetPos(50);
    parent.slider.SetChannelBitmap(NULL);
    Settle();
    EXPECT_EQ(0xFF0000u, Pixel(100, 10));
    parent.slider.SetChannelBitmap(Solid(8, 6, RGB(0, 0, 255)));
    parent.slider.SetThumbBitmap(NULL);
    parent.slider.SetHotThumbBitmap(NULL);
    Settle();
    EXPECT_EQ(0x0000FFu, Pixel(100, 10)) << "only the channel";
}

// Empty and inverted ranges and a control no wider than its thumb.
TEST_F(SliderFixture, DegenerateGeometryNeverDivides)
{
    struct Row { int width; int min, max; };
    const Row rows[] = { { 200, 5, 5 }, { 200, 10, 0 }, { 10, 0, 100 }, { 6, 0, 100 } };
    for (const Row& row : rows) {
        parent.slider.SetWindowPos(NULL, 0, 0, row.width, 20, SWP_NOMOVE | SWP_NOZORDER);
        parent.slider.SetRange(row.min, row.max);
        parent.slider.SetPos(3);
        Settle();
        EXPECT_EQ(0, parent.slider.GetThumbRect().left) << row.width << " " << row.min << ".." << row.max;
        EXPECT_EQ(row.min, parent.slider.GetPosFromThumb());
        // Press (on the channel or the thumb), drag a little, release.
        parent.lastValue = -1000;
        const POINT pt = ctlinput::ScreenPoint(parent.slider.m_hWnd, row.width - 1, 10);
        ctlinput::MouseAt(pt);
        ctlinput::Pump(30);
        ctlinput::MouseAt(pt, MOUSEEVENTF_LEFTDOWN);
        ctlinput::Pump(30);
        ctlinput::MouseAt(pt.x - 2, pt.y);
        ctlinput::Pump(30);
        ctlinput::MouseAt(pt.x - 2, pt.y, MOUSEEVENTF_LEFTUP);
        ctlinput::Pump(30);
        EXPECT_EQ(row.min, parent.lastValue);
    }
}

}  // namespace
