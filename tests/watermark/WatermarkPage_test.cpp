#include "capture/WatermarkPage.h"

#include "resources/ids_controls.h"
#include "resources/ids_watermark.h"

#include "TestSupport.h"
#include "UiTestSupport.h"
#include "WatermarkTestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// The owner's side of the page: keeps the settings block and the hint flag.
class CTestWatermarkPage : public CWatermarkPage {
public:
    CTestWatermarkPage(CWnd* pHost, WatermarkSettings* owner) : CWatermarkPage(pHost, NULL), m_owner(owner) {}

    WatermarkSettings* m_owner;
    BOOL m_hintDue = FALSE;
    int m_hintAnswers = 0;
    BOOL m_lastAnswer = -1;
    int m_stores = 0;

protected:
    UINT GetHintCaptionId() override { return IDS_WATERMARK_BROWSE_TITLE; }
    BOOL IsHintDue() override { return m_hintDue; }
    void SetHintDue(BOOL bShowAgain) override
    {
        ++m_hintAnswers;
        m_lastAnswer = bShowAgain;
        m_hintDue = bShowAgain;
    }
    void LoadSettings() override
    {
        m_values.Assign(*m_owner);
        m_values.m_nWorking = 0;
    }
    void StoreSettings() override
    {
        m_owner->Assign(m_values);
        ++m_stores;
    }
};

// A host window and a modeless sheet with the page in it.
class WatermarkPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wmtest::StartGdiplus();
        m_red = m_dir.File("red.png");
        ASSERT_TRUE(wmtest::WritePng(m_red, 20, 10, wmtest::Solid(20, 10, wmtest::Argb(255, 255, 0, 0))));
        m_junk = m_dir.File("junk.png");
        ASSERT_TRUE(testsupport::WriteFileBytes(m_junk, "no image", 8));
        m_settings.m_strImagePath = m_red.c_str();
    }

    void TearDown() override
    {
        m_sheet.reset();
        m_page.reset();
        if (m_host.m_hWnd)
            m_host.DestroyWindow();
        uitest::PumpPending();
    }

    // Opens the page; withHost puts a host window at hostX.
    void Open(bool withHost, int hostX = 40)
    {
        if (withHost) {
            ASSERT_TRUE(m_host.CreateEx(0, "STATIC", "host", WS_POPUP | WS_VISIBLE | WS_CAPTION, hostX, 100, 300,
                                        400, NULL, NULL));
        }
        m_page.reset(new CTestWatermarkPage(withHost ? &m_host : NULL, &m_settings));
        m_sheet.reset(new CPropertySheet("选项"));
        m_sheet->AddPage(m_page.get());
        ASSERT_TRUE(m_sheet->Create(withHost ? &m_host : NULL));
        ASSERT_TRUE(uitest::PumpUntil([&] { return m_page->m_hWnd != NULL; }));
        uitest::PumpPending();
    }

    HWND Item(int id) const { return ::GetDlgItem(m_page->m_hWnd, id); }
    bool Checked(int id) const { return ::SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    bool Enabled(int id) const { return ::IsWindowEnabled(Item(id)) != FALSE; }
    std::string Text(int id) const
    {
        char text[512] = "";
        ::GetWindowTextA(Item(id), text, sizeof(text));
        return text;
    }
    // The window's own visible style, whatever its parent's state.
    static bool Shown(HWND h) { return (::GetWindowLongPtrA(h, GWL_STYLE) & WS_VISIBLE) != 0; }
    int SliderPos(int id) const { return (int)::SendMessageA(Item(id), TBM_GETPOS, 0, 0); }
    // Clicks a button the way the mouse does (nothing happens when it is disabled).
    void Click(int id) { ::SendMessageA(Item(id), BM_CLICK, 0, 0); }
    void MoveSlider(int id, int pos)
    {
        ::SendMessageA(Item(id), TBM_SETPOS, TRUE, pos);
        ::SendMessageA(m_page->m_hWnd, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, pos), (LPARAM)Item(id));
    }
    void SetText(int id, const std::string& text) { ::SetWindowTextA(Item(id), text.c_str()); }

    testsupport::ScratchDir m_dir{"wmpage"};
    std::string m_red;
    std::string m_junk;
    WatermarkSettings m_settings;
    CWnd m_host;
    std::unique_ptr<CTestWatermarkPage> m_page;
    std::unique_ptr<CPropertySheet> m_sheet;
};

TEST_F(WatermarkPageTest, ShowsTheOwnersValues)
{
    m_settings.m_bInclude = TRUE;
    m_settings.m_nImageScale = 37;
    m_settings.m_nHorizontalOffset = 12;
    m_settings.m_nVerticalOffset = 44;
    m_settings.m_nOpacity = 63;
    m_settings.m_bUseTransparentColor = FALSE;
    m_settings.m_nPosition = 2;
    m_settings.m_bEmboss = FALSE;
    m_settings.m_nEmbossDirection = 5;
    m_settings.m_nEmbossDepth = 71;
    m_settings.m_bKeepAspectRatio = FALSE;
    m_settings.m_bSmoothScale = TRUE;
    m_settings.m_bPreserveSize = FALSE;
    Open(true);

    EXPECT_TRUE(Checked(IDC_WM_INCLUDE));
    EXPECT_EQ(m_red, Text(IDC_WM_PATH));
    DWORD selStart = 0, selEnd = 0;
    ::SendMessageA(Item(IDC_WM_PATH), EM_GETSEL, (WPARAM)&selStart, (LPARAM)&selEnd);
    EXPECT_EQ(m_red.size(), (size_t)selStart) << "caret at the end of the path";
    EXPECT_EQ(m_red.size(), (size_t)selEnd);
    EXPECT_NE(nullptr, (HICON)::SendMessageA(Item(IDC_WM_BROWSE), BM_GETIMAGE, IMAGE_ICON, 0))
        << "the browse button shows its icon";
    const struct {
        int id;
        bool checked;
    } boxes[] = {
        {IDC_WM_USE_TRANSPARENT, false}, {IDC_WM_KEEP_ASPECT, false}, {IDC_WM_SMOOTH, true},
        {IDC_WM_KEEP_IMAGE_SIZE, false}, {IDC_WM_EMBOSS, false},
    };
    for (const auto& b : boxes)
        EXPECT_EQ(b.checked, Checked(b.id)) << b.id;
    const struct {
        int id;
        int label;
        int value;
        int low;
        int high;
    } sliders[] = {
        {IDC_WM_OPACITY, IDC_WM_OPACITY_VALUE, 63, 0, 100},
        {IDC_WM_SCALE, IDC_WM_SCALE_VALUE, 37, 1, 100},
        {IDC_WM_HORZ_OFFSET, IDC_WM_HORZ_VALUE, 12, 0, 50},
        {IDC_WM_VERT_OFFSET, IDC_WM_VERT_VALUE, 44, 0, 50},
        {IDC_WM_DEPTH, IDC_WM_DEPTH_VALUE, 71, 0, 100},
    };
    for (const auto& s : sliders) {
        EXPECT_EQ(s.value, SliderPos(s.id)) << s.id;
        EXPECT_EQ(std::to_string(s.value), Text(s.label)) << s.id;
        EXPECT_EQ(s.low, (int)::SendMessageA(Item(s.id), TBM_GETRANGEMIN, 0, 0)) << s.id;
        EXPECT_EQ(s.high, (int)::SendMessageA(Item(s.id), TBM_GETRANGEMAX, 0, 0)) << s.id;
    }
    HWND combo = Item(IDC_WM_EMBOSS_DIRECTION);
    ASSERT_EQ(8, (int)::SendMessageA(combo, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(5, (int)::SendMessageA(combo, CB_GETCURSEL, 0, 0));
    const char* names[8] = {"北", "北-东", "东", "南-东", "南", "南-西", "西", "北-西"};
    for (int i = 0; i < 8; ++i) {
        char text[32] = "";
        ::SendMessageA(combo, CB_GETLBTEXT, (WPARAM)i, (LPARAM)text);
        EXPECT_STREQ(names[i], text) << i;
    }
    for (int p = 0; p < 9; ++p)
        EXPECT_EQ(p == 2, Checked(IDC_WM_POSITION_FIRST + p)) << "position " << p;
    char caption[64] = "";
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = caption;
    item.cchTextMax = sizeof(caption);
    ::SendMessageA((HWND)::SendMessageA(m_sheet->m_hWnd, PSM_GETTABCONTROL, 0, 0), TCM_GETITEMA, 0, (LPARAM)&item);
    EXPECT_STREQ("水印", caption);
}

// Edits through the controls reach the owner when the page is left (the
// overlay and working fields are the owner's business: the recorder window's
// page is tested for them).
TEST_F(WatermarkPageTest, StoresEditedValues)
{
    m_settings.m_bInclude = TRUE;
    m_settings.m_bEmboss = FALSE;
    m_settings.m_bUseTransparentColor = TRUE;
    Open(true);

    Click(IDC_WM_EMBOSS);
    MoveSlider(IDC_WM_OPACITY, 42);
    MoveSlider(IDC_WM_SCALE, 55);
    MoveSlider(IDC_WM_HORZ_OFFSET, 9);
    MoveSlider(IDC_WM_VERT_OFFSET, 31);
    MoveSlider(IDC_WM_DEPTH, 66);
    Click(IDC_WM_POSITION_FIRST + 6);
    ::SendMessageA(Item(IDC_WM_EMBOSS_DIRECTION), CB_SETCURSEL, 3, 0);
    ::SendMessageA(m_page->m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_WM_EMBOSS_DIRECTION, CBN_SELCHANGE),
                   (LPARAM)Item(IDC_WM_EMBOSS_DIRECTION));
    Click(IDC_WM_SMOOTH);
    Click(IDC_WM_KEEP_ASPECT);
    EXPECT_EQ("42", Text(IDC_WM_OPACITY_VALUE));
    EXPECT_EQ("66", Text(IDC_WM_DEPTH_VALUE));
    EXPECT_TRUE(Checked(IDC_WM_USE_TRANSPARENT)) << "the box keeps its mark";

    EXPECT_TRUE(m_page->OnKillActive());
    EXPECT_EQ(1, m_page->m_stores);
    EXPECT_TRUE(m_settings.m_bEmboss);
    EXPECT_FALSE(m_settings.m_bUseTransparentColor) << "emboss stores no transparent colour";
    EXPECT_EQ(42, m_settings.m_nOpacity);
    EXPECT_EQ(55, m_settings.m_nImageScale);
    EXPECT_EQ(9, m_settings.m_nHorizontalOffset);
    EXPECT_EQ(31, m_settings.m_nVerticalOffset);
    EXPECT_EQ(66, m_settings.m_nEmbossDepth);
    EXPECT_EQ(6, m_settings.m_nPosition);
    EXPECT_EQ(3, m_settings.m_nEmbossDirection);
    EXPECT_FALSE(m_settings.m_bSmoothScale);
    EXPECT_FALSE(m_settings.m_bKeepAspectRatio);
    EXPECT_EQ(m_red, std::string(m_settings.m_strImagePath));

    // Emboss off again: the transparent colour follows its box once more.
    Click(IDC_WM_EMBOSS);
    EXPECT_TRUE(m_page->OnKillActive());
    EXPECT_FALSE(m_settings.m_bEmboss);
    EXPECT_TRUE(m_settings.m_bUseTransparentColor);
}

TEST_F(WatermarkPageTest, OffsetsFollowThePositionsRowAndColumn)
{
    m_settings.m_bInclude = TRUE;
    m_settings.m_nPosition = 0;
    Open(true);
    for (int p = 0; p < 9; ++p) {
        Click(IDC_WM_POSITION_FIRST + p);
        EXPECT_EQ(p, m_page->Values().m_nPosition);
        for (int id : {IDC_WM_HORZ_LABEL, IDC_WM_HORZ_OFFSET, IDC_WM_HORZ_VALUE, IDC_WM_HORZ_UNIT})
            EXPECT_EQ(p % 3 != 1, Enabled(id)) << "position " << p << " control " << id;
        for (int id : {IDC_WM_VERT_LABEL, IDC_WM_VERT_OFFSET, IDC_WM_VERT_VALUE, IDC_WM_VERT_UNIT})
            EXPECT_EQ(p / 3 != 1, Enabled(id)) << "position " << p << " control " << id;
    }
}

TEST_F(WatermarkPageTest, IncludeEmbossAndImageSizeGateTheirControls)
{
    m_settings.m_bInclude = TRUE;
    m_settings.m_bEmboss = FALSE;
    m_settings.m_bPreserveSize = FALSE;
    m_settings.m_nPosition = 0;
    Open(true);
    const int embossIds[] = {IDC_WM_EMBOSS_DIRECTION, IDC_WM_DIRECTION_LABEL, IDC_WM_DEPTH, IDC_WM_DEPTH_LABEL,
                             IDC_WM_DEPTH_VALUE};
    const int transparentIds[] = {IDC_WM_USE_TRANSPARENT, IDC_WM_CHANGE_COLOUR, IDC_WM_COLOUR_SWATCH};
    const int scaleIds[] = {IDC_WM_SCALE, IDC_WM_SCALE_LABEL, IDC_WM_SCALE_VALUE, IDC_WM_SCALE_UNIT,
                            IDC_WM_KEEP_ASPECT, IDC_WM_SMOOTH};
    const int alwaysIds[] = {IDC_WM_PATH, IDC_WM_BROWSE, IDC_WM_OPACITY, IDC_WM_EMBOSS, IDC_WM_KEEP_IMAGE_SIZE,
                             IDC_WM_POSITION_FIRST, IDC_WM_POSITION_LAST, IDC_WM_HORZ_OFFSET};

    const struct {
        const char* name;
        int click;   // 0: none
        bool include, emboss, keepSize;
    } steps[] = {
        {"opened", 0, true, false, false},
        {"emboss on", IDC_WM_EMBOSS, true, true, false},
        {"keep size on", IDC_WM_KEEP_IMAGE_SIZE, true, true, true},
        {"include off", IDC_WM_INCLUDE, false, true, true},
        {"include on", IDC_WM_INCLUDE, true, true, true},
        {"emboss off", IDC_WM_EMBOSS, true, false, true},
        {"keep size off", IDC_WM_KEEP_IMAGE_SIZE, true, false, false},
    };
    for (const auto& s : steps) {
        if (s.click)
            Click(s.click);
        for (int id : embossIds)
            EXPECT_EQ(s.include && s.emboss, Enabled(id)) << s.name << " " << id;
        for (int id : transparentIds)
            EXPECT_EQ(s.include && !s.emboss, Enabled(id)) << s.name << " " << id;
        for (int id : scaleIds)
            EXPECT_EQ(s.include && !s.keepSize, Enabled(id)) << s.name << " " << id;
        for (int id : alwaysIds)
            EXPECT_EQ(s.include, Enabled(id)) << s.name << " " << id;
        EXPECT_EQ(s.include, m_page->Values().m_bInclude != FALSE) << s.name;
        EXPECT_EQ(s.keepSize, m_page->Values().m_bPreserveSize != FALSE) << s.name;
    }
}

TEST_F(WatermarkPageTest, HostHidesTheSheetButtonsElseTheIncludeBox)
{
    for (bool host : {true, false}) {
        Open(host);
        EXPECT_EQ(host, Shown(Item(IDC_WM_INCLUDE))) << "host " << host;
        for (int id : {IDOK, IDCANCEL}) {
            ASSERT_NE(nullptr, ::GetDlgItem(m_sheet->m_hWnd, id));
            EXPECT_EQ(!host, Shown(::GetDlgItem(m_sheet->m_hWnd, id))) << "host " << host << " button " << id;
        }
        HWND help = ::GetDlgItem(m_sheet->m_hWnd, IDHELP);
        if (host && help) {
            EXPECT_FALSE(Shown(help));
        }
        TearDown();
    }
}

// Browse fills the path; an unreadable image is reported with its path and
// kept all the same.
TEST_F(WatermarkPageTest, BrowseTakesTheChosenFile)
{
    m_settings.m_bInclude = TRUE;
    m_settings.m_strImagePath = "";
    Open(true);
    const struct {
        std::string path;
        bool warned;
    } cases[] = {{m_red, false}, {m_junk, true}};
    for (const auto& c : cases) {
        std::string title;
        uitest::ModalAnswerer answer([&](HWND h) {
            if (!uitest::ModalAnswerer::MessageBoxText(h).empty())
                return uitest::ModalAnswerer::Press(h, IDOK);
            char text[128] = "";
            ::GetWindowTextA(h, text, sizeof(text));
            title = text;
            ::SetDlgItemTextA(h, 0x47C, c.path.c_str());
            ::SetDlgItemTextA(h, 0x480, c.path.c_str());
            return uitest::ModalAnswerer::Press(h, IDOK);
        });
        Click(IDC_WM_BROWSE);
        EXPECT_EQ("选择水印", title) << c.path;
        EXPECT_EQ(c.path, Text(IDC_WM_PATH));
        EXPECT_EQ(c.path, std::string(m_page->Values().m_strImagePath));
        if (c.warned) {
            ASSERT_EQ(1u, answer.MessageTexts().size()) << c.path;
            EXPECT_EQ("不能打开水印图像:\n" + c.path, answer.MessageTexts()[0]);
        } else {
            EXPECT_TRUE(answer.MessageTexts().empty()) << c.path;
        }
    }
}

// The colour dialog starts at the stored colour; its choice is stored and
// painted into the swatch.
TEST_F(WatermarkPageTest, ChangeColourStoresAndPaintsTheSwatch)
{
    m_settings.m_bInclude = TRUE;
    m_settings.m_bEmboss = FALSE;
    m_settings.m_crTransparentColor = RGB(10, 200, 30);
    Open(true);
    const struct {
        int answer;
        COLORREF typed;
        COLORREF stored;
    } cases[] = {
        {IDCANCEL, RGB(1, 2, 3), RGB(10, 200, 30)},
        {IDOK, RGB(250, 20, 90), RGB(250, 20, 90)},
    };
    for (const auto& c : cases) {
        COLORREF shown = CLR_INVALID;
        uitest::ModalAnswerer answer([&](HWND h) {
            // The colour dialog's red, green and blue boxes.
            shown = RGB(::GetDlgItemInt(h, 706, NULL, FALSE), ::GetDlgItemInt(h, 707, NULL, FALSE),
                        ::GetDlgItemInt(h, 708, NULL, FALSE));
            ::SetDlgItemInt(h, 706, GetRValue(c.typed), FALSE);
            ::SetDlgItemInt(h, 707, GetGValue(c.typed), FALSE);
            ::SetDlgItemInt(h, 708, GetBValue(c.typed), FALSE);
            return uitest::ModalAnswerer::Press(h, c.answer);
        });
        const COLORREF before = m_page->Values().m_crTransparentColor;
        Click(IDC_WM_CHANGE_COLOUR);
        EXPECT_EQ(1, answer.Answered());
        EXPECT_EQ(before, shown) << "the dialog starts at the stored colour";
        EXPECT_EQ(c.stored, m_page->Values().m_crTransparentColor);

        ::UpdateWindow(m_page->m_hWnd);
        uitest::PumpPending();
        RECT swatch;
        ::GetWindowRect(Item(IDC_WM_COLOUR_SWATCH), &swatch);
        ::MapWindowPoints(NULL, m_page->m_hWnd, (POINT*)&swatch, 2);
        int w = 0, h = 0;
        const std::vector<DWORD> pixels = uitest::CaptureClient(m_page->m_hWnd, &w, &h);
        const DWORD centre = pixels[(size_t)((swatch.top + swatch.bottom) / 2 * w + (swatch.left + swatch.right) / 2)];
        const COLORREF painted = RGB((centre >> 16) & 0xFF, (centre >> 8) & 0xFF, centre & 0xFF);
        EXPECT_EQ(c.stored, painted) << std::hex << centre;
    }
}

// With include on, an image that does not open keeps the user on the page.
TEST_F(WatermarkPageTest, LeavingNeedsAnImageThatOpens)
{
    m_settings.m_bInclude = TRUE;
    Open(true);
    const struct {
        std::string path;
        bool include;
        bool leaves;
    } cases[] = {
        {"", true, false},
        {"C:\\no\\such\\mark.png", true, false},
        {"<junk>", true, false},
        {"C:\\no\\such\\mark.png", false, true},
        {"<red>", true, true},
    };
    int stores = 0;
    for (const auto& c : cases) {
        const std::string path = c.path == "<junk>" ? m_junk : c.path == "<red>" ? m_red : c.path;
        if (Checked(IDC_WM_INCLUDE) != c.include)
            Click(IDC_WM_INCLUDE);
        SetText(IDC_WM_PATH, path);
        uitest::ModalAnswerer answer([](HWND h) { return uitest::ModalAnswerer::Press(h, IDOK); });
        EXPECT_EQ(c.leaves, m_page->OnKillActive() != FALSE) << path;
        stores += c.leaves ? 1 : 0;
        EXPECT_EQ(stores, m_page->m_stores) << path;
        if (c.leaves) {
            EXPECT_TRUE(answer.MessageTexts().empty()) << path;
            EXPECT_EQ(path, std::string(m_settings.m_strImagePath));
        } else {
            ASSERT_EQ(1u, answer.MessageTexts().size()) << path;
            EXPECT_EQ("不能打开水印图像:\n" + path, answer.MessageTexts()[0]);
        }
    }
}

TEST_F(WatermarkPageTest, HintIsShownWhileItIsDue)
{
    m_settings.m_bInclude = FALSE;
    Open(true);
    m_page->m_hintDue = TRUE;
    std::string caption;
    uitest::ModalAnswerer answer([&](HWND h) {
        char text[128] = "";
        ::GetWindowTextA(h, text, sizeof(text));
        caption = text;
        EXPECT_EQ(BST_CHECKED, ::IsDlgButtonChecked(h, IDC_TIP_SHOW_AGAIN)) << "show-again starts checked";
        ::CheckDlgButton(h, IDC_TIP_SHOW_AGAIN, BST_UNCHECKED);
        return uitest::ModalAnswerer::Press(h, IDOK);
    });
    Click(IDC_WM_INCLUDE);
    EXPECT_EQ(1, answer.Answered());
    EXPECT_EQ("选择水印", caption) << "the owner's caption string";
    EXPECT_EQ(1, m_page->m_hintAnswers);
    EXPECT_FALSE(m_page->m_lastAnswer);
    EXPECT_TRUE(m_page->Values().m_bInclude);

    // No longer due: turning include off and on shows nothing.
    Click(IDC_WM_INCLUDE);
    Click(IDC_WM_INCLUDE);
    EXPECT_EQ(1, answer.Answered());
    EXPECT_EQ(1, m_page->m_hintAnswers);
}

// The preview opens beside the host (right, or left near the screen's edge)
// and shows the watermark where the recording puts it, over the gradient.
TEST_F(WatermarkPageTest, PreviewSitsBesideTheHostAndShowsTheWatermark)
{
    const int screen = ::GetSystemMetrics(SM_CXSCREEN);
    for (int hostX : {40, screen - 320}) {
        m_settings.m_bInclude = TRUE;
        m_settings.m_bPreserveSize = TRUE;
        m_settings.m_nPosition = 4;
        m_settings.m_bEmboss = FALSE;
        m_settings.m_bUseTransparentColor = FALSE;
        m_settings.m_nOpacity = 100;
        Open(true, hostX);
        CWatermarkPreviewDlg* preview = m_page->GetPreview();
        ASSERT_NE(nullptr, preview);
        ASSERT_TRUE(uitest::PumpUntil([&] { return preview->IsWindowVisible() != FALSE; }));
        RECT host, own;
        m_host.GetWindowRect(&host);
        preview->GetWindowRect(&own);
        if (hostX == 40)
            EXPECT_EQ(host.right, own.left);
        else
            EXPECT_EQ(host.left, own.right);
        EXPECT_EQ(host.top + ((host.bottom - host.top) - (own.bottom - own.top)) / 2, own.top);

        HWND h = preview->m_hWnd;
        ::UpdateWindow(h);
        uitest::PumpPending();
        int w = 0, hgt = 0;
        std::vector<DWORD> pixels = uitest::CaptureClient(h, &w, &hgt);
        ASSERT_GT(w, 40);
        ASSERT_GT(hgt, 20);
        const WatermarkPlacement& p = preview->Placement();
        EXPECT_NEAR(w / 2 - 10, p.x, 0.01f);
        EXPECT_NEAR(hgt / 2 - 5, p.y, 0.01f);
        auto at = [&](int x, int y) { return pixels[(size_t)(y * w + x)]; };
        EXPECT_EQ(0xFF0000u, at(w / 2, hgt / 2)) << "the watermark at the centre";
        EXPECT_LT(at(1, 1) & 0xFF, 0x40u) << "the gradient starts black";
        EXPECT_GT(at(w - 2, hgt - 2) & 0xFF, 0xC0u) << "and ends white";

        // Opacity 0: the next paint rebuilds the image and the centre shows the gradient.
        MoveSlider(IDC_WM_OPACITY, 0);
        EXPECT_FALSE(preview->HasProcessed()) << "a change drops the processed image";
        ::UpdateWindow(h);
        uitest::PumpPending();
        EXPECT_TRUE(preview->HasProcessed());
        pixels = uitest::CaptureClient(h, &w, &hgt);
        EXPECT_NE(0xFF0000u, at(w / 2, hgt / 2));
        const DWORD c = at(w / 2, hgt / 2);
        EXPECT_EQ((c >> 16) & 0xFF, c & 0xFF) << "grey gradient shows through";

        // A new path drops the loaded source too.
        SetText(IDC_WM_PATH, m_junk);
        EXPECT_TRUE(preview->HasSource());
        uitest::ModalAnswerer answer([](HWND d) { return uitest::ModalAnswerer::Press(d, IDOK); });
        EXPECT_FALSE(m_page->OnKillActive());
        EXPECT_FALSE(preview->HasSource());
        EXPECT_TRUE(preview->IsWindowVisible()) << "the page was not left";

        // Leaving the page hides the preview; its button shows it again.
        SetText(IDC_WM_PATH, m_red);
        EXPECT_TRUE(m_page->OnKillActive());
        EXPECT_FALSE(preview->IsWindowVisible());
        Click(IDC_WM_PREVIEW);
        EXPECT_TRUE(preview->IsWindowVisible());
        TearDown();
    }
}

}  // namespace
