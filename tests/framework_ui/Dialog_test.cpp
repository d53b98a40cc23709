#include "framework/ui/DataExchange.h"
#include "framework/ui/Dialog.h"

#include "UiTest.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>

namespace {

// Data in, data out: the dialog works on copies of its fields.
class CDataDlg : public CDialog {
public:
    CDataDlg() : CDialog(IDD_TEST_DATA) {}
    CString name;
    int count = 0;
    int check = 0;
    int initCalls = 0;
    int buttonClicks = 0;

    BOOL OnInitDialog() override
    {
        initCalls++;
        return CDialog::OnInitDialog();
    }
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Text(pDX, IDC_TEST_NAME, name);
        DDV_MaxChars(pDX, name, 8);
        DDX_Text(pDX, IDC_TEST_COUNT, count);
        DDV_MinMaxInt(pDX, count, 1, 60);
        DDX_Check(pDX, IDC_TEST_CHECK, check);
    }
    void OnButton() { buttonClicks++; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDataDlg, CDialog)
    ON_BN_CLICKED(IDC_TEST_BUTTON, OnButton)
END_MESSAGE_MAP()

std::string ItemText(HWND dlg, int id)
{
    char buf[256] = "";
    ::GetDlgItemTextA(dlg, id, buf, sizeof(buf));
    return buf;
}

TEST(Dialog, ModalDialogShowsAndReturnsTheEditedData)
{
    CDataDlg dlg;
    dlg.name = "张三";
    dlg.count = 15;
    std::string shownName;
    std::string shownCount;
    uitest::ModalAnswerer answer([&](HWND h) {
        shownName = ItemText(h, IDC_TEST_NAME);
        shownCount = ItemText(h, IDC_TEST_COUNT);
        ::SetDlgItemTextA(h, IDC_TEST_NAME, "李四");
        ::SetDlgItemTextA(h, IDC_TEST_COUNT, "30");
        ::SendDlgItemMessageA(h, IDC_TEST_CHECK, BM_SETCHECK, BST_CHECKED, 0);
        ::SendDlgItemMessageA(h, IDC_TEST_BUTTON, BM_CLICK, 0, 0);
        return uitest::ModalAnswerer::Press(h, IDOK);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(1, dlg.initCalls);
    EXPECT_EQ("张三", shownName);
    EXPECT_EQ("15", shownCount);
    EXPECT_STREQ("李四", dlg.name);
    EXPECT_EQ(30, dlg.count);
    EXPECT_EQ(1, dlg.check);
    EXPECT_EQ(1, dlg.buttonClicks);
    EXPECT_EQ(NULL, dlg.m_hWnd);
}

TEST(Dialog, CancelLeavesTheDataUnchanged)
{
    CDataDlg dlg;
    dlg.name = "原来";
    dlg.count = 5;
    uitest::ModalAnswerer answer([&](HWND h) {
        ::SetDlgItemTextA(h, IDC_TEST_NAME, "新的");
        return uitest::ModalAnswerer::Press(h, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_STREQ("原来", dlg.name);
}

// Each row: what the user types; the OK press is refused with a message and
// the dialog stays open until a valid value is typed.
TEST(Dialog, ValidationRefusesBadInputAndKeepsTheDialogOpen)
{
    struct Row { const char* name; const char* count; const char* message; };
    const Row rows[] = {
        { "ok", "abc", "请输入一个整数。" },
        { "ok", "61", "请输入一个 1 到 60 之间的整数。" },
        { "ok", "99999999999", "请输入一个整数。" },
        { "toolongname", "5", "请输入不超过 8 个字符。" },
    };
    for (const Row& row : rows) {
        CDataDlg dlg;
        dlg.count = 5;
        int stage = 0;
        uitest::ModalAnswerer answer([&](HWND h) {
            const bool isMessage = !uitest::ModalAnswerer::MessageBoxText(h).empty();
            if (stage == 0 && !isMessage) {
                ::SetDlgItemTextA(h, IDC_TEST_NAME, row.name);
                ::SetDlgItemTextA(h, IDC_TEST_COUNT, row.count);
                stage = 1;
                return uitest::ModalAnswerer::Press(h, IDOK);
            }
            if (stage == 1 && isMessage) {
                stage = 2;
                return uitest::ModalAnswerer::Press(h, IDOK);
            }
            if (stage == 2 && !isMessage) {
                ::SetDlgItemTextA(h, IDC_TEST_NAME, "好");
                ::SetDlgItemTextA(h, IDC_TEST_COUNT, "7");
                stage = 3;
                return uitest::ModalAnswerer::Press(h, IDOK);
            }
            return false;
        });
        EXPECT_EQ(IDOK, dlg.DoModal()) << row.count;
        EXPECT_EQ(3, stage) << "dialog stayed open after the refusal: " << row.count;
        ASSERT_EQ(1u, answer.MessageTexts().size()) << row.count;
        EXPECT_EQ(row.message, answer.MessageTexts()[0]) << row.name << " " << row.count;
        EXPECT_EQ(7, dlg.count);
        EXPECT_STREQ("好", dlg.name);
    }
}

TEST(Dialog, ModelessDialogIsBoundAndDestroyedByItsOwner)
{
    CDataDlg dlg;
    dlg.name = "无模式";
    ASSERT_TRUE(dlg.Create(IDD_TEST_DATA));
    EXPECT_EQ(&dlg, CWnd::FromHandlePermanent(dlg.m_hWnd));
    EXPECT_EQ(1, dlg.initCalls);
    EXPECT_EQ("无模式", ItemText(dlg.m_hWnd, IDC_TEST_NAME));
    ::SendDlgItemMessageA(dlg.m_hWnd, IDC_TEST_BUTTON, BM_CLICK, 0, 0);
    EXPECT_EQ(1, dlg.buttonClicks);
    const HWND hWnd = dlg.m_hWnd;
    EXPECT_TRUE(dlg.DestroyWindow());
    EXPECT_FALSE(::IsWindow(hWnd));
    EXPECT_EQ(NULL, dlg.m_hWnd);
}

TEST(Dialog, MissingTemplateFailsWithoutAWindow)
{
    CDialog dlg(12345);
    EXPECT_EQ(-1, dlg.DoModal());
    EXPECT_FALSE(dlg.Create(12345));
}

}  // namespace

namespace {

class CIdleDlg : public CDialog {
public:
    CIdleDlg() : CDialog(IDD_TEST_DATA) {}
    int kicks = 0;
    WPARAM kind = 0;
    LRESULT OnKickIdle(WPARAM wParam, LPARAM)
    {
        kind = wParam;
        if (++kicks == 3)
            EndDialog(IDOK);
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CIdleDlg, CDialog)
    ON_MESSAGE(WM_KICKIDLE, OnKickIdle)
END_MESSAGE_MAP()

}  // namespace

TEST(Dialog, ModalLoopKicksTheDialogWhenIdle)
{
    CIdleDlg dlg;
    uitest::ModalAnswerer answer([&](HWND) { return false; }, 5000);
    EXPECT_EQ(IDOK, dlg.DoModal()) << "the third idle kick ends the dialog";
    EXPECT_EQ(3, dlg.kicks);
    EXPECT_EQ((WPARAM)MSGF_DIALOGBOX, dlg.kind);
}
