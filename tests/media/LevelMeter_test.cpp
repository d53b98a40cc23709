#include "media/LevelMeter.h"

#include "UiTestUtil.h"

#include <gtest/gtest.h>

using mediatest::ClientPixel;

namespace {

// A meter made the way a dialog makes it: a window of class "monitor", then
// subclassed. Client 204 x 24: the sunken edge leaves a bar of 200 x 20.
class MeterFixture : public testing::Test {
protected:
    void Make(int width, int height)
    {
        HWND window = ::CreateWindowExA(0, CLevelMeter::kClassName, "", WS_CHILD | WS_VISIBLE, 10, 10, width,
                                        height, parent.m_hWnd, NULL, ::GetModuleHandleA(NULL), NULL);
        ASSERT_TRUE(window != NULL);
        ASSERT_TRUE(meter.SubclassWindow(window));
        meter.UpdateWindow();
    }
    mediatest::CTestParent parent;
    CLevelMeter meter;
};

COLORREF Ramp(int i, int extent)
{
    int red = 510 * i / extent, green = 510 - red;
    return RGB(red > 255 ? 255 : red, green > 255 ? 255 : green, 0);
}

}  // namespace

TEST_F(MeterFixture, HorizontalBarOnTheColourRamp)
{
    Make(204, 24);
    const COLORREF black = RGB(0, 0, 0);
    struct Case {
        int value;
        int length;        // coloured pixels of the 200-pixel bar
    } cases[] = {{50, 100}, {0, 0}, {100, 200}, {150, 200}, {-20, 0}, {1, 2}};
    for (const Case& c : cases) {
        meter.SetValue(c.value);
        EXPECT_EQ(c.value < 0 ? 0 : c.value > 100 ? 100 : c.value, meter.GetValue());
        for (int x = 0; x < 200; x += 1) {
            const COLORREF expected = x < c.length ? Ramp(x, 204) : black;
            const COLORREF got = ClientPixel(meter.m_hWnd, 2 + x, 12);
            if (got != expected) {
                ADD_FAILURE() << "value " << c.value << " x " << x << ": got " << std::hex << got << " want "
                              << expected;
                break;
            }
        }
    }
    // Green at the left, yellow in the middle, red at the right.
    meter.SetValue(100);
    EXPECT_EQ(RGB(0, 255, 0), ClientPixel(meter.m_hWnd, 2, 12));
    EXPECT_EQ(RGB(250, 255, 0), ClientPixel(meter.m_hWnd, 2 + 100, 12));
    EXPECT_EQ(RGB(255, 13, 0), ClientPixel(meter.m_hWnd, 2 + 199, 12));
}

TEST_F(MeterFixture, VerticalMeterFillsFromTheBottomWithRedAtTheTop)
{
    Make(24, 204);
    meter.SetVertical();
    meter.SetWindowPos(NULL, 0, 0, 24, 205, SWP_NOMOVE | SWP_NOZORDER);
    meter.SetWindowPos(NULL, 0, 0, 24, 204, SWP_NOMOVE | SWP_NOZORDER);
    meter.SetValue(100);
    // The bar (rows 2..201) shows the ramp's bottom rows (4..203): row y of
    // the window shows ramp row y + 2, whose colour is that of 204 - (y + 2).
    EXPECT_EQ(Ramp(204 - 4, 204), ClientPixel(meter.m_hWnd, 12, 2)) << "red at the top";
    EXPECT_EQ(RGB(255, 10, 0), ClientPixel(meter.m_hWnd, 12, 2));
    EXPECT_EQ(Ramp(204 - 203, 204), ClientPixel(meter.m_hWnd, 12, 201)) << "green at the bottom";
    meter.SetValue(50);
    EXPECT_EQ(RGB(0, 0, 0), ClientPixel(meter.m_hWnd, 12, 101)) << "empty upper half";
    EXPECT_EQ(Ramp(204 - 104, 204), ClientPixel(meter.m_hWnd, 12, 102)) << "lower half from the ramp";
    EXPECT_EQ(Ramp(204 - 203, 204), ClientPixel(meter.m_hWnd, 12, 201));
}

// The ramp follows only at the next size change.
TEST_F(MeterFixture, SetVerticalKeepsTheRampUntilTheNextSizeChange)
{
    Make(204, 204);
    meter.SetVertical();
    meter.SetValue(100);
    EXPECT_EQ(Ramp(2, 204), ClientPixel(meter.m_hWnd, 2, 2)) << "still the horizontal ramp: green at the left";
    meter.SetWindowPos(NULL, 0, 0, 204, 203, SWP_NOMOVE | SWP_NOZORDER);
    meter.SetWindowPos(NULL, 0, 0, 204, 204, SWP_NOMOVE | SWP_NOZORDER);
    meter.SetValue(100);
    EXPECT_EQ(Ramp(204 - 4, 204), ClientPixel(meter.m_hWnd, 2, 2)) << "vertical ramp: red at the top";
}

// SetRange(10, 5) is the range 10..10: no division by the empty range, and
// the whole bar shows the button face.
TEST_F(MeterFixture, EmptyRangeShowsTheButtonFace)
{
    meter.SetRange(10, 5);
    EXPECT_EQ(0, meter.GetRange());
    EXPECT_EQ(10, meter.GetValue());
    Make(204, 24);
    meter.SetValue(3);
    EXPECT_EQ(10, meter.GetValue());
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(face, ClientPixel(meter.m_hWnd, 2, 12));
    EXPECT_EQ(face, ClientPixel(meter.m_hWnd, 201, 12));
    meter.Invalidate();
    meter.UpdateWindow();
    EXPECT_EQ(face, ClientPixel(meter.m_hWnd, 100, 12));
}

TEST_F(MeterFixture, RangeKeepsTheValueInside)
{
    meter.SetValue(80);
    meter.SetRange(0, 50);
    EXPECT_EQ(50, meter.GetValue());
    meter.SetRange(60, 70);
    EXPECT_EQ(60, meter.GetValue());
    EXPECT_EQ(10, meter.GetRange());
}
