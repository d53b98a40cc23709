#include "app/WatermarkOptionsPage.h"

#include "controls/TipText.h"
#include "resources/ids_controls.h"
#include "resources/ids_pickers.h"
#include "resources/ids_watermark.h"
#include "settings/RecorderPrefs.h"

#include "TestSupport.h"
#include "UiTestSupport.h"
#include "WatermarkTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const DWORD kHintDone = 0x2000000;

// Opens the page's owner operations to the tests.
class CExposedOptionsPage : public CWatermarkOptionsPage {
public:
    using CWatermarkOptionsPage::CWatermarkOptionsPage;
    using CWatermarkOptionsPage::GetHintCaptionId;
    using CWatermarkOptionsPage::IsHintDue;
    using CWatermarkOptionsPage::LoadSettings;
    using CWatermarkOptionsPage::SetHintDue;
    using CWatermarkOptionsPage::StoreSettings;
    WatermarkSettings& Edit() { return m_values; }
};

// Every stored field away from its default.
void FillNonDefault(WatermarkSettings& s)
{
    s.m_bInclude = TRUE;
    s.m_bOverlay = FALSE;
    s.m_strImagePath = "C:\\marks\\logo.png";
    s.m_nImageScale = 37;
    s.m_nHorizontalOffset = 12;
    s.m_nVerticalOffset = 44;
    s.m_nOpacity = 63;
    s.m_bUseTransparentColor = FALSE;
    s.m_crTransparentColor = RGB(1, 2, 3);
    s.m_nPosition = 7;
    s.m_bEmboss = TRUE;
    s.m_nEmbossDirection = 5;
    s.m_nEmbossDepth = 71;
    s.m_bKeepAspectRatio = FALSE;
    s.m_bSmoothScale = FALSE;
    s.m_bPreserveSize = TRUE;
    s.m_nWorking = 9;
}

// The sixteen stored fields (everything but the working field).
void ExpectStoredFieldsEqual(const WatermarkSettings& want, const WatermarkSettings& got)
{
    EXPECT_EQ(want.m_bInclude, got.m_bInclude);
    EXPECT_EQ(want.m_bOverlay, got.m_bOverlay);
    EXPECT_STREQ((LPCTSTR)want.m_strImagePath, (LPCTSTR)got.m_strImagePath);
    EXPECT_EQ(want.m_nImageScale, got.m_nImageScale);
    EXPECT_EQ(want.m_nHorizontalOffset, got.m_nHorizontalOffset);
    EXPECT_EQ(want.m_nVerticalOffset, got.m_nVerticalOffset);
    EXPECT_EQ(want.m_nOpacity, got.m_nOpacity);
    EXPECT_EQ(want.m_bUseTransparentColor, got.m_bUseTransparentColor);
    EXPECT_EQ(want.m_crTransparentColor, got.m_crTransparentColor);
    EXPECT_EQ(want.m_nPosition, got.m_nPosition);
    EXPECT_EQ(want.m_bEmboss, got.m_bEmboss);
    EXPECT_EQ(want.m_nEmbossDirection, got.m_nEmbossDirection);
    EXPECT_EQ(want.m_nEmbossDepth, got.m_nEmbossDepth);
    EXPECT_EQ(want.m_bKeepAspectRatio, got.m_bKeepAspectRatio);
    EXPECT_EQ(want.m_bSmoothScale, got.m_bSmoothScale);
    EXPECT_EQ(want.m_bPreserveSize, got.m_bPreserveSize);
}

TEST(WatermarkOptionsPage, HintIsDueUntilTheFlagWordSaysOtherwise)
{
    const struct {
        bool withPrefs;
        DWORD flags;
        BOOL due;
    } cases[] = {
        {true, 0, TRUE},
        {true, 0x4000000 | 0x1, TRUE},     // other answers do not count
        {true, kHintDone, FALSE},
        {true, 0xFFFFFFFF, FALSE},
        {false, 0, FALSE},                 // no record, no hint
    };
    for (const auto& c : cases) {
        CRecorderPrefs prefs(NULL);
        prefs.m_flags = c.flags;
        CExposedOptionsPage page(c.withPrefs ? &prefs : NULL, NULL, NULL);
        EXPECT_EQ(c.due, page.IsHintDue()) << std::hex << c.flags << " prefs " << c.withPrefs;
        EXPECT_EQ((UINT)IDS_PICKER_TIP_CAPTION, page.GetHintCaptionId());
    }
}

TEST(WatermarkOptionsPage, ShowAgainAnswerSetsOrClearsOnlyItsFlag)
{
    const struct {
        DWORD before;
        BOOL showAgain;
        DWORD after;
    } cases[] = {
        {0, FALSE, kHintDone},
        {0x4000001, FALSE, 0x4000001 | kHintDone},
        {kHintDone | 0x4000001, TRUE, 0x4000001},
        {kHintDone, FALSE, kHintDone},
        {0x10, TRUE, 0x10},
    };
    for (const auto& c : cases) {
        CRecorderPrefs prefs(NULL);
        prefs.m_flags = c.before;
        CExposedOptionsPage page(&prefs, NULL, NULL);
        page.SetHintDue(c.showAgain);
        EXPECT_EQ(c.after, prefs.m_flags) << std::hex << c.before << " answer " << c.showAgain;
    }
    CExposedOptionsPage orphan(NULL, NULL, NULL);
    orphan.SetHintDue(FALSE);   // nowhere to keep the answer: nothing happens
    EXPECT_FALSE(orphan.IsHintDue());
}

TEST(WatermarkOptionsPage, LoadAndStoreCopyTheWatermarkBlock)
{
    CRecorderPrefs prefs(NULL);
    FillNonDefault(prefs.m_watermark);
    const WatermarkSettings original = [&] {
        WatermarkSettings s;
        s.Assign(prefs.m_watermark);
        return s;
    }();
    CExposedOptionsPage page(&prefs, NULL, NULL);
    page.Edit().m_nWorking = 4;

    page.LoadSettings();
    ExpectStoredFieldsEqual(original, page.Values());
    EXPECT_EQ(0, page.Values().m_nWorking) << "loading clears the working field";
    EXPECT_EQ(9, prefs.m_watermark.m_nWorking) << "loading leaves the record alone";

    WatermarkSettings edited;
    FillNonDefault(edited);
    edited.m_strImagePath = "D:\\other.bmp";
    edited.m_nOpacity = 20;
    edited.m_nPosition = 0;
    edited.m_bEmboss = FALSE;
    page.Edit().Assign(edited);
    page.Edit().m_nWorking = 6;
    page.StoreSettings();

    WatermarkSettings want;
    want.Assign(edited);
    want.m_bOverlay = TRUE;
    ExpectStoredFieldsEqual(want, prefs.m_watermark);
    EXPECT_EQ(0, prefs.m_watermark.m_nWorking);
    EXPECT_EQ(0, page.Values().m_nWorking);
}

TEST(WatermarkOptionsPage, WithoutARecordItKeepsItsOwnCopy)
{
    CExposedOptionsPage page(NULL, NULL, NULL);
    FillNonDefault(page.Edit());
    WatermarkSettings want;
    FillNonDefault(want);
    page.LoadSettings();
    ExpectStoredFieldsEqual(want, page.Values());
    EXPECT_EQ(0, page.Values().m_nWorking);
    page.StoreSettings();   // nowhere to store: no crash, the copy stays
    ExpectStoredFieldsEqual(want, page.Values());
}

// The page in a sheet: turning the watermark on shows the image hint with
// the recorder's caption, the transparent-PNG title and its icon; unticking
// "show again" keeps the answer in the preferences' flag word.
TEST(WatermarkOptionsPage, IncludeShowsTheImageHintOnceTheUserDeclines)
{
    wmtest::StartGdiplus();
    testsupport::ScratchDir dir("wmoptions");
    const std::string red = dir.File("red.png");
    std::vector<DWORD> pixels(20 * 10, 0xFFFF0000);
    ASSERT_TRUE(wmtest::WritePng(red, 20, 10, pixels));

    CRecorderPrefs prefs(NULL);
    prefs.m_flags = 0x1;
    prefs.m_watermark.m_bInclude = FALSE;
    prefs.m_watermark.m_strImagePath = red.c_str();
    CWnd host;
    ASSERT_TRUE(host.CreateEx(0, "STATIC", "host", WS_POPUP | WS_VISIBLE | WS_CAPTION, 40, 100, 300, 400, NULL, NULL));
    std::unique_ptr<CExposedOptionsPage> page(new CExposedOptionsPage(&prefs, &host, NULL));
    std::unique_ptr<CPropertySheet> sheet(new CPropertySheet("选项"));
    sheet->AddPage(page.get());
    ASSERT_TRUE(sheet->Create(&host));
    ASSERT_TRUE(uitest::PumpUntil([&] { return page->m_hWnd != NULL; }));
    uitest::PumpPending();

    std::string caption, title;
    bool hasIcon = false;
    uitest::ModalAnswerer answer([&](HWND h) {
        char text[128] = "";
        ::GetWindowTextA(h, text, sizeof(text));
        caption = text;
        CTipText* tip = dynamic_cast<CTipText*>(CWnd::FromHandlePermanent(::GetDlgItem(h, IDC_TIP_TEXT)));
        if (tip != NULL) {
            title = (LPCTSTR)tip->GetTitle();
            hasIcon = tip->GetIconHandle() != NULL;
        }
        EXPECT_EQ(BST_CHECKED, ::IsDlgButtonChecked(h, IDC_TIP_SHOW_AGAIN)) << "show-again starts checked";
        ::CheckDlgButton(h, IDC_TIP_SHOW_AGAIN, BST_UNCHECKED);
        return uitest::ModalAnswerer::Press(h, IDOK);
    });
    HWND include = ::GetDlgItem(page->m_hWnd, IDC_WM_INCLUDE);
    ::SendMessageA(include, BM_CLICK, 0, 0);
    EXPECT_EQ(1, answer.Answered());
    EXPECT_EQ("Skorvale 录像器提示", caption);
    EXPECT_EQ("透明 PNG 支持", title);
    EXPECT_TRUE(hasIcon) << "the hint shows its picture";
    EXPECT_EQ(0x1u | kHintDone, prefs.m_flags);

    // Declined: turning include off and on again asks nothing.
    ::SendMessageA(include, BM_CLICK, 0, 0);
    ::SendMessageA(include, BM_CLICK, 0, 0);
    EXPECT_EQ(1, answer.Answered());

    // Leaving the page stores the block with the overlay field set.
    ASSERT_TRUE(page->OnKillActive());
    EXPECT_TRUE(prefs.m_watermark.m_bInclude);
    EXPECT_TRUE(prefs.m_watermark.m_bOverlay);
    EXPECT_EQ(0, prefs.m_watermark.m_nWorking);

    sheet.reset();
    page.reset();
    host.DestroyWindow();
    uitest::PumpPending();
}

}  // namespace
