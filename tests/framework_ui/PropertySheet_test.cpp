#include "framework/ui/DataExchange.h"
#include "framework/ui/FileDialog.h"
#include "framework/ui/PropertySheet.h"

#include "UiTest.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_events;

class CTestPage : public CPropertyPage {
public:
    CTestPage(UINT id, const char* name) : CPropertyPage(id), m_name(name) {}
    CString value;
    BOOL OnSetActive() override
    {
        g_events.push_back(m_name + ":active");
        return CPropertyPage::OnSetActive();
    }
    BOOL OnKillActive() override
    {
        g_events.push_back(m_name + ":kill");
        return CPropertyPage::OnKillActive();
    }
    void OnOK() override { g_events.push_back(m_name + ":ok"); }
    void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, IDC_TEST_PAGE_EDIT, value); }

private:
    std::string m_name;
};

TEST(PropertySheets, PagesAreBoundAndGetTheirNotifications)
{
    g_events.clear();
    CTestPage one(IDD_TEST_PAGE1, "one");
    CTestPage two(IDD_TEST_PAGE2, "two");
    one.value = "甲";
    CPropertySheet sheet("选项");
    sheet.AddPage(&one);
    sheet.AddPage(&two);
    bool pageOneBound = false;
    std::string shownValue;
    int stage = 0;
    uitest::ModalAnswerer answer([&](HWND h) {
        if (stage == 0) {
            pageOneBound = CWnd::FromHandlePermanent(one.m_hWnd) == &one;
            char buf[64] = "";
            ::GetDlgItemTextA(one.m_hWnd, IDC_TEST_PAGE_EDIT, buf, sizeof(buf));
            shownValue = buf;
            ::SetDlgItemTextA(one.m_hWnd, IDC_TEST_PAGE_EDIT, "乙");
            ::SendMessageA(h, PSM_SETCURSEL, 1, 0);
            stage = 1;
            return ::PostMessageA(h, PSM_PRESSBUTTON, PSBTN_OK, 0) != 0;
        }
        return false;
    });
    EXPECT_EQ(IDOK, sheet.DoModal());
    EXPECT_TRUE(pageOneBound);
    EXPECT_EQ("甲", shownValue);
    EXPECT_STREQ("乙", one.value) << "read back when the page was left";
    const std::vector<std::string> expected = { "one:active", "one:kill", "two:active", "two:kill", "one:ok", "two:ok" };
    EXPECT_EQ(expected, g_events);
    EXPECT_EQ(NULL, one.m_hWnd);
}

TEST(ColorDialog, ReturnsTheChosenColour)
{
    CColorDialog dlg(RGB(12, 34, 56));
    uitest::ModalAnswerer answer([](HWND h) { return uitest::ModalAnswerer::Press(h, IDOK); });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(RGB(12, 34, 56), dlg.GetColor());
    uitest::ModalAnswerer cancel([](HWND h) { return uitest::ModalAnswerer::Press(h, IDCANCEL); });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
}

}  // namespace
