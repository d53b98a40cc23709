#include "controls/HtmlText.h"
#include "controls/TipDlg.h"
#include "controls/TipText.h"

#include "framework/ui/Dialog.h"
#include "resources/ids_controls.h"
#include "ControlsTest.h"
#include "TestSupport.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>
#include <string>

namespace {

std::string WindowText(HWND h)
{
    char buf[512] = "";
    ::GetWindowTextA(h, buf, sizeof(buf));
    return buf;
}

CTipText* TipOf(HWND dialog, int id)
{
    return dynamic_cast<CTipText*>(CWnd::FromHandlePermanent(::GetDlgItem(dialog, id)));
}

// A dialog whose template places the control, with no code of its own.
TEST(TipText, TemplateControlGetsAWorkingTipViewWithoutDialogCode)
{
    ASSERT_TRUE(CTipText::RegisterWindowClass());
    CDialog host(IDD_TEST_TIPHOST);
    ASSERT_TRUE(host.Create(IDD_TEST_TIPHOST));
    CTipText* tip = TipOf(host.m_hWnd, IDC_TEST_TIPTEXT);
    ASSERT_TRUE(tip != nullptr);
    ASSERT_TRUE(tip->GetBody() != nullptr && tip->GetBody()->m_hWnd != NULL) << "body made at WM_CREATE";
    EXPECT_TRUE(tip->GetStyle() & WS_CLIPCHILDREN);
    tip->SetTitle("标题");
    tip->SetText("<B>正文</B><HELP \"5\">帮助</HELP>尾");
    EXPECT_EQ(" 正文 尾", WindowText(tip->m_hWnd)) << "plain form: tags become blanks, help stretch removed";
    host.ShowWindow(SW_SHOW);
    host.UpdateWindow();
    tip->UpdateWindow();
    CRect body;
    tip->GetBody()->GetWindowRect(&body);
    EXPECT_GT(body.Width(), 100) << "body placed on the first paint";
    const HWND hTip = tip->m_hWnd;
    host.DestroyWindow();
    EXPECT_EQ(NULL, CWnd::FromHandlePermanent(hTip)) << "unbound and deleted with its window";
}

TEST(TipText, PlainTextRules)
{
    struct Row { const char* in; const char* out; };
    const Row rows[] = {
        { "abc", "abc" },
        { "a<B>b</B>c", "a b c" },
        { "x<HELP \"1\">hidden</HELP>y", "xy" },
        { "<Help 2>h</help>z", "z" },
    };
    for (const Row& row : rows)
        EXPECT_STREQ(row.out, CTipText::PlainText(row.in)) << row.in;
}

TEST(TipDlg, TipSetBeforeDoModalIsShownAndShowAgainIsReadBack)
{
    CTipDlg dlg;
    dlg.SetShowAgain(TRUE);
    dlg.SetTip("录制提示", "按 <B>F10</B> 停止录制。");
    std::string caption, check, title, body;
    bool checkVisible = false;
    uitest::ModalAnswerer answer([&](HWND h) {
        caption = WindowText(h);
        check = WindowText(::GetDlgItem(h, IDC_TIP_SHOW_AGAIN));
        checkVisible = ::IsWindowVisible(::GetDlgItem(h, IDC_TIP_SHOW_AGAIN)) != 0;
        CTipText* tip = TipOf(h, IDC_TIP_TEXT);
        if (tip != nullptr) {
            title = (LPCTSTR)tip->GetTitle();
            body = (LPCTSTR)tip->GetBody()->GetText();
        }
        ::SendDlgItemMessageA(h, IDC_TIP_SHOW_AGAIN, BM_SETCHECK, BST_UNCHECKED, 0);
        return uitest::ModalAnswerer::Press(h, IDOK);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ("工具提示", caption);
    EXPECT_EQ("重新显示提示(&S)", check);
    EXPECT_TRUE(checkVisible);
    EXPECT_EQ("录制提示", title);
    EXPECT_EQ("<HTML>按 <B>F10</B> 停止录制。</HTML>", body);
    EXPECT_FALSE(dlg.GetShowAgain());
}

TEST(TipDlg, TipSetWhileOpenReplacesTheTextAtOnceAndHideFlagHidesTheCheckBox)
{
    CTipDlg dlg;
    dlg.HideCheckBox();
    dlg.SetCaption("自定义");
    dlg.SetTip("一", "旧的");
    std::string bodyAfter, captionAfter;
    bool checkVisible = true;
    uitest::ModalAnswerer answer([&](HWND h) {
        dlg.SetTip("二", "新的");
        CTipText* tip = TipOf(h, IDC_TIP_TEXT);
        bodyAfter = (LPCTSTR)tip->GetBody()->GetText();
        captionAfter = WindowText(h);
        checkVisible = ::IsWindowVisible(::GetDlgItem(h, IDC_TIP_SHOW_AGAIN)) != 0;
        return uitest::ModalAnswerer::Press(h, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ("<HTML>新的</HTML>", bodyAfter);
    EXPECT_EQ("自定义", captionAfter);
    EXPECT_FALSE(checkVisible);
}

// Enter answers the default button: Yes when the value is TRUE, else No.
TEST(TipDlgEx, EnterAnswersTheDefaultButton)
{
    struct Row { BOOL yesDefault; INT_PTR expected; };
    const Row rows[] = { { TRUE, IDYES }, { FALSE, IDNO } };
    for (const Row& row : rows) {
        CTipDlgEx dlg(NULL, row.yesDefault);
        dlg.SetTip("问题", "继续吗?");
        std::string yes, no;
        uitest::ModalAnswerer answer([&](HWND h) {
            yes = WindowText(::GetDlgItem(h, IDYES));
            no = WindowText(::GetDlgItem(h, IDNO));
            HWND focus = ::GetFocus();
            ::PostMessageA(focus != NULL ? focus : h, WM_KEYDOWN, VK_RETURN, 0);
            ::PostMessageA(focus != NULL ? focus : h, WM_KEYUP, VK_RETURN, 0);
            return true;
        });
        EXPECT_EQ(row.expected, dlg.DoModal()) << row.yesDefault;
        EXPECT_EQ("是(&Y)", yes);
        EXPECT_EQ("否(&N)", no);
    }
}

// A person can look at this picture: build/tip-dialog.png.
TEST(TipDlg, ScreenshotOfATipDialogWithChineseText)
{
    CTipDlg dlg;
    dlg.SetIcon(IDI_INFORMATION);
    dlg.SetTip("水印提示",
               "水印图片会画在每一帧的<B>右下角</B>。\r\n"
               "<FONT COLOR=C00000>透明度</FONT>可以在选项中调整，"
               "详见 <A HREF=\"http://example.invalid/\">帮助页面</A>。");
    bool saved = false;
    const std::string path = testsupport::BuildDir() + "\\tip-dialog.png";
    uitest::ModalAnswerer answer([&](HWND h) {
        ::UpdateWindow(h);
        ::RedrawWindow(h, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        RECT r;
        ::GetWindowRect(h, &r);
        saved = uitest::SaveScreenPng(path, &r);
        return uitest::ModalAnswerer::Press(h, IDOK);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_TRUE(saved) << path;
    std::string bytes;
    ASSERT_TRUE(testsupport::ReadFileBytes(path, &bytes));
    EXPECT_EQ("\x89PNG", bytes.substr(0, 4));
}

}  // namespace
