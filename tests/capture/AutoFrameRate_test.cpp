#include "capture/AutoFrameRate.h"

#include "controls/HtmlText.h"
#include "controls/TipText.h"
#include "resources/ids_capture.h"
#include "resources/ids_controls.h"
#include "settings/RecorderPrefs.h"
#include "CaptureTestSupport.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>
#include <string>

namespace {

TEST(AutoFrameRate, RateFromFramesWrittenInTheMeasuredTime)
{
    struct Case {
        DWORD frames;
        DWORD elapsedMs;
        BOOL grabber;
        WORD bitCount;
        DWORD expected;
    };
    const Case cases[] = {
        { 20, 1000, FALSE, 24, 15 },          // 21 * 95000 / 100000 = 19, capped
        { 14, 1000, FALSE, 24, 14 },          // 15 * 0.95 = 14.25
        { 2, 1000, FALSE, 24, 2 },            // 2.85
        { 1, 1000, FALSE, 24, 1 },            // 1.9
        { 0, 1000, FALSE, 24, 1 },            // 0.95 rounds down to 0, at least 1
        { 0, 0, FALSE, 24, 15 },              // no time measured counts as 1 ms
        { 3, 2000, FALSE, 32, 1 },            // 1.9
        { 0xFFFFFFFFu, 1000, FALSE, 24, 15 }, // the product must not wrap
        { 2, 1000, TRUE, 8, 4 },              // the grabber: 2 * 2
        { 2, 1000, TRUE, 16, 6 },             //              2 * 3
        { 2, 1000, TRUE, 24, 6 },             //              2 * 3
        { 2, 1000, TRUE, 32, 8 },             //              2 * 4
        { 4, 1000, TRUE, 32, 15 },            // 4 * 4 = 16, capped after
        { 0, 1000, TRUE, 32, 4 },             // at least 1, then times 4
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, ComputeAutoFrameRate(c.frames, c.elapsedMs, c.grabber, c.bitCount))
            << c.frames << " frames in " << c.elapsedMs << " ms, grabber " << c.grabber << ", " << c.bitCount
            << " bits";
    }
}

// The tip comes at a rate of 1 only and while the flag is clear; clearing its
// "show again" box sets the flag, keeping it leaves the flag clear.
TEST(AutoFrameRate, TipAtOneFramePerSecondUntilTheUserTurnsItOff)
{
    struct Case {
        DWORD rate;
        DWORD flagsBefore;
        int showAgainAnswer;   // the box as the user leaves it
        bool shown;
        DWORD flagsAfter;
    };
    const Case cases[] = {
        { 1, 0x108, BST_UNCHECKED, true, 0x108 | kFlagNoAutoRateTip },
        { 1, 0x108, BST_CHECKED, true, 0x108 },
        { 1, 0x108 | kFlagNoAutoRateTip, BST_UNCHECKED, false, 0x108 | kFlagNoAutoRateTip },
        { 2, 0x108, BST_UNCHECKED, false, 0x108 },
        { 15, 0, BST_UNCHECKED, false, 0 },
    };
    CString wantTitle, wantText;
    wantTitle.LoadString(IDS_AUTO_RATE_TIP_TITLE);
    wantText.LoadString(IDS_AUTO_RATE_TIP_TEXT);
    ASSERT_STREQ("捕获帧频", wantTitle);
    ASSERT_FALSE(wantText.IsEmpty());
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "rate " << c.rate << ", flags 0x" << std::hex << c.flagsBefore);
        CRecorderPrefs prefs(&capturetest::App());
        prefs.m_flags = c.flagsBefore;
        int dialogs = 0;
        std::string title, body;
        bool checkedAtFirst = false;
        uitest::ModalAnswerer answer([&](HWND h) {
            ++dialogs;
            checkedAtFirst = ::IsDlgButtonChecked(h, IDC_TIP_SHOW_AGAIN) == BST_CHECKED;
            CTipText* tip = dynamic_cast<CTipText*>(CWnd::FromHandlePermanent(::GetDlgItem(h, IDC_TIP_TEXT)));
            if (tip != nullptr) {
                title = (LPCTSTR)tip->GetTitle();
                body = (LPCTSTR)tip->GetBody()->GetText();
            }
            ::SendDlgItemMessageA(h, IDC_TIP_SHOW_AGAIN, BM_SETCHECK, c.showAgainAnswer, 0);
            return uitest::ModalAnswerer::Press(h, IDOK);
        });
        EXPECT_EQ(c.shown, OfferAutoFrameRateTip(&prefs, c.rate, NULL) != FALSE);
        EXPECT_EQ(c.shown ? 1 : 0, dialogs);
        EXPECT_EQ(c.flagsAfter, prefs.m_flags);
        if (c.shown) {
            EXPECT_TRUE(checkedAtFirst) << "the box starts ticked";
            EXPECT_EQ(std::string(wantTitle), title);
            EXPECT_EQ("<HTML>" + std::string(wantText) + "</HTML>", body);
        }
    }
}

}  // namespace
