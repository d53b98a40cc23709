#include "painter/PntTextFmtBar.h"

#include "framework/WinApp.h"
#include "painter/PaintControl.h"
#include "resources/ids_painter.h"

#include "TestSupport.h"
#include "UiTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

const char kRegistryKey[] = "VexcapTextBarTest";

LOGFONT Font(LONG height, LONG weight, const char* face)
{
    LOGFONT lf;
    std::memset(&lf, 0, sizeof(lf));
    lf.lfHeight = height;
    lf.lfWeight = weight;
    ::lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
    return lf;
}

std::string WindowText(HWND window)
{
    char text[256] = "";
    ::GetWindowTextA(window, text, sizeof(text));
    return text;
}

}  // namespace

TEST(TextBarFont, StoredFontValuesParseOrAreRefused)
{
    struct Row {
        const char* value;
        bool ok;
        LONG height, weight;
        BYTE italic, charset;
        const char* face;
    };
    const Row rows[] = {
        { CPntTextFmtBar::kDefaultFont, true, 0, 0, 0, 0, "System" },
        { "-27,0,0,0,700,1,0,0,134,3,2,1,34,Times New Roman", true, -27, 700, 1, 134, "Times New Roman" },
        { "-12,0,0,0,400,0,0,0,0,0,0,0,0,", true, -12, 400, 0, 0, "" },
        { "-12,0,0,0,400,0,0,0,0,0,0,0,0", false, 0, 0, 0, 0, "" },            // no face field
        { "-12,0,0,0,400,0,0,0", false, 0, 0, 0, 0, "" },                      // too few numbers
        { "", false, 0, 0, 0, 0, "" },
        { "big,0,0,0,400,0,0,0,0,0,0,0,0,Arial", false, 0, 0, 0, 0, "" },       // not a number
        { "-12,0,0,0,4000,0,0,0,0,0,0,0,0,Arial", false, 0, 0, 0, 0, "" },      // weight past 1000
        { "-12,0,0,0,400,300,0,0,0,0,0,0,0,Arial", false, 0, 0, 0, 0, "" },     // italic is a byte
        { "-12,0,0,0,400,-1,0,0,0,0,0,0,0,Arial", false, 0, 0, 0, 0, "" },
        { "99999999999999999999,0,0,0,400,0,0,0,0,0,0,0,0,Arial", false, 0, 0, 0, 0, "" },
        { "-12 ,0,0,0,400,0,0,0,0,0,0,0,0,Arial", false, 0, 0, 0, 0, "" },     // trailing blank
    };
    for (const Row& row : rows) {
        LOGFONT lf = Font(5, 5, "Untouched");
        EXPECT_EQ(row.ok, CPntTextFmtBar::ParseFont(row.value, &lf) != FALSE) << row.value;
        if (!row.ok) {
            EXPECT_STREQ("Untouched", lf.lfFaceName) << row.value;
            continue;
        }
        EXPECT_EQ(row.height, lf.lfHeight) << row.value;
        EXPECT_EQ(row.weight, lf.lfWeight) << row.value;
        EXPECT_EQ(row.italic, lf.lfItalic) << row.value;
        EXPECT_EQ(row.charset, lf.lfCharSet) << row.value;
        EXPECT_STREQ(row.face, lf.lfFaceName) << row.value;
        // What is written reads back the same.
        LOGFONT again;
        ASSERT_TRUE(CPntTextFmtBar::ParseFont(CPntTextFmtBar::FormatFont(lf), &again)) << row.value;
        EXPECT_EQ(0, std::memcmp(&lf, &again, sizeof(lf))) << row.value;
    }
    // A face longer than a LOGFONT holds is cut to 31 characters.
    LOGFONT lf;
    ASSERT_TRUE(CPntTextFmtBar::ParseFont("0,0,0,0,0,0,0,0,0,0,0,0,0,ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789", &lf));
    EXPECT_STREQ("ABCDEFGHIJKLMNOPQRSTUVWXYZ01234", lf.lfFaceName);
}

TEST(TextBarFont, BoldTurnsNormalWeightsBoldAndEveryOtherWeightNormal)
{
    const struct { LONG from, to; } rows[] = { { 0, 700 }, { 400, 700 }, { 700, 400 }, { 600, 400 }, { 900, 400 },
                                               { 100, 400 } };
    for (const auto& row : rows)
        EXPECT_EQ(row.to, CPntTextFmtBar::ToggledWeight(row.from)) << row.from;
}

namespace {

// A paint control on a top-level window of its own, with an application
// whose profile is a scratch registry key.
class TextBarTest : public ::testing::Test {
protected:
    explicit TextBarTest(CPaintControl::Variant variant = CPaintControl::kCatalogue)
        : m_scratch("Software\\VexcapTextBarTest"), m_app("TextBarTestApp"), m_ctrl(variant)
    {
        m_app.SetRegistryKey(kRegistryKey);
    }

    void SetUp() override
    {
        m_host = ::CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE | WS_CAPTION, 300, 300, 400, 300, NULL,
                                   NULL, NULL, NULL);
        ASSERT_TRUE(m_host != NULL);
        ASSERT_TRUE(m_ctrl.Create(WS_CHILD | WS_VISIBLE | WS_BORDER, CRect(0, 0, 380, 260), CWnd::FromHandle(m_host),
                                  IDC_PNT_CTRL));
        ASSERT_TRUE(m_ctrl.CreateImage(120, 80, 1, 24));
        m_ctrl.SetCentered(TRUE);
        m_ctrl.ResetImage();
    }

    void TearDown() override
    {
        m_ctrl.DestroyWindow();
        ::DestroyWindow(m_host);
    }

    CString Stored(const char* name) { return m_app.GetProfileString(CPntTextFmtBar::kSection, name, "(none)"); }
    void Store(const char* name, const char* value)
    {
        m_app.WriteProfileString(CPntTextFmtBar::kSection, name, value);
    }
    CPntTextFmtBar& Bar() { return m_ctrl.GetTextBar(); }
    HWND BarItem(UINT id) { return ::GetDlgItem(Bar().m_hWnd, id); }
    void Press(UINT id) { Bar().SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)BarItem(id)); }
    LOGFONT ControlFont()
    {
        LOGFONT lf;
        m_ctrl.GetTextFont(&lf);
        return lf;
    }

    testsupport::ScratchRegKey m_scratch;
    CWinApp m_app;
    CPaintControl m_ctrl;
    HWND m_host = NULL;
};

class RecorderTextBarTest : public TextBarTest {
protected:
    RecorderTextBarTest() : TextBarTest(CPaintControl::kRecorder) {}
};

}  // namespace

TEST_F(TextBarTest, StartsFromTheStoredFontAndAlignmentOrTheDefaults)
{
    struct Row {
        const char* font;        // null: nothing stored
        const char* alignment;   // null: nothing stored
        LONG weight;
        const char* face;
        int shownAlignment;
    };
    const Row rows[] = {
        { nullptr, nullptr, 0, "System", 0 },
        { "-20,0,0,0,700,1,0,0,0,0,0,0,0,Times New Roman", "2", 700, "Times New Roman", 2 },
        { "-20,0,0,0,700,1,0,0,0,0,0,0,0", "1", 0, "System", 1 },   // malformed font: the default
        { "rubbish", "7", 0, "System", 0 },                         // alignment outside 0..2: left
    };
    for (const Row& row : rows) {
        m_app.WriteProfileString(CPntTextFmtBar::kSection, NULL, NULL);
        if (row.font)
            Store("Font", row.font);
        if (row.alignment)
            m_app.WriteProfileInt(CPntTextFmtBar::kSection, "Alignment", std::atoi(row.alignment));
        if (Bar().m_hWnd)
            Bar().DestroyWindow();
        m_ctrl.SetTool(CPaintControl::kText);
        ASSERT_TRUE(Bar().IsShown()) << row.face;
        EXPECT_EQ(row.weight, ControlFont().lfWeight) << (row.font ? row.font : "none");
        EXPECT_STREQ(row.face, ControlFont().lfFaceName) << (row.font ? row.font : "none");
        EXPECT_EQ(row.shownAlignment, m_ctrl.GetTextAlignment());
        for (int a = 0; a < 3; ++a)
            EXPECT_EQ(a == row.shownAlignment, ::IsWindowVisible(BarItem(IDC_PNT_TEXT_EDIT_LEFT + a)) != 0) << a;
        const std::string caption = WindowText(Bar().m_hWnd);
        EXPECT_EQ(0u, caption.find(std::string("Text Tool [") + row.face + ", ")) << caption;
        m_ctrl.SetTool(CPaintControl::kSelect);
        EXPECT_FALSE(Bar().IsShown()) << "another tool hides the bar";
    }
}

TEST_F(TextBarTest, StyleAndAlignmentButtonsChangeTheControlAndAreStored)
{
    m_app.WriteProfileString(CPntTextFmtBar::kSection, NULL, NULL);
    m_ctrl.SetTool(CPaintControl::kText);
    ASSERT_TRUE(Bar().m_hWnd != NULL);
    ASSERT_EQ(0, ControlFont().lfWeight) << "the default font has weight 0";

    Press(IDC_PNT_TEXT_BOLD);
    EXPECT_EQ(700, ControlFont().lfWeight) << "Bold on the default font makes it bold";
    EXPECT_EQ(BST_CHECKED, ::SendMessageA(BarItem(IDC_PNT_TEXT_BOLD), BM_GETCHECK, 0, 0));
    LOGFONT stored;
    ASSERT_TRUE(CPntTextFmtBar::ParseFont(Stored("Font"), &stored));
    EXPECT_EQ(700, stored.lfWeight);
    Press(IDC_PNT_TEXT_BOLD);
    EXPECT_EQ(400, ControlFont().lfWeight);
    EXPECT_EQ(BST_UNCHECKED, ::SendMessageA(BarItem(IDC_PNT_TEXT_BOLD), BM_GETCHECK, 0, 0));

    LOGFONT semi = Font(-16, 600, "Tahoma");
    Bar().ApplyFont(semi, TRUE);
    Press(IDC_PNT_TEXT_BOLD);
    EXPECT_EQ(400, ControlFont().lfWeight) << "600 counts as bold: Bold makes it normal";

    for (UINT id : { (UINT)IDC_PNT_TEXT_ITALIC, (UINT)IDC_PNT_TEXT_UNDERLINE }) {
        Press(id);
        const LOGFONT on = ControlFont();
        EXPECT_EQ(1, id == IDC_PNT_TEXT_ITALIC ? on.lfItalic : on.lfUnderline) << id;
        Press(id);
        const LOGFONT off = ControlFont();
        EXPECT_EQ(0, id == IDC_PNT_TEXT_ITALIC ? off.lfItalic : off.lfUnderline) << id;
    }

    // Right alignment keeps the typed text and its selection.
    HWND left = BarItem(IDC_PNT_TEXT_EDIT_LEFT);
    // Typed (a multi-line edit reports no change for WM_SETTEXT).
    ::SendMessageA(left, EM_REPLACESEL, FALSE, (LPARAM)"abc def");
    ::SendMessageA(left, EM_SETSEL, 2, 5);
    EXPECT_EQ("abc def", std::string(m_ctrl.GetText()));
    const int historyBefore = m_ctrl.GetHistoryCount();
    Press(IDC_PNT_TEXT_ALIGN_RIGHT);
    HWND right = BarItem(IDC_PNT_TEXT_EDIT_RIGHT);
    EXPECT_TRUE(::IsWindowVisible(right));
    EXPECT_FALSE(::IsWindowVisible(left));
    EXPECT_EQ("abc def", WindowText(right));
    DWORD start = 0, end = 0;
    ::SendMessageA(right, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    EXPECT_EQ(2u, start);
    EXPECT_EQ(5u, end);
    EXPECT_EQ(2, m_ctrl.GetTextAlignment());
    EXPECT_EQ(BST_CHECKED, ::SendMessageA(BarItem(IDC_PNT_TEXT_ALIGN_RIGHT), BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_UNCHECKED, ::SendMessageA(BarItem(IDC_PNT_TEXT_ALIGN_LEFT), BM_GETCHECK, 0, 0));
    EXPECT_EQ("abc def", std::string(m_ctrl.GetText()));
    EXPECT_LE(m_ctrl.GetHistoryCount(), historyBefore + 1) << "the text is drawn again once, not twice";
    EXPECT_EQ(2, (int)m_app.GetProfileInt(CPntTextFmtBar::kSection, "Alignment", -1));
}

// Keys pressed while the picture has the focus go to the bar's edit: the
// key-down as a key-down, the character as a character.
TEST_F(TextBarTest, CharactersTypedOnThePictureReachTheEdit)
{
    m_ctrl.SetTool(CPaintControl::kText);
    ASSERT_TRUE(Bar().IsShown());
    ::SetForegroundWindow(m_host);
    m_ctrl.SetFocus();
    ASSERT_TRUE(uitest::PumpUntil([&] { return ::GetFocus() == m_ctrl.m_hWnd; }, 3000));
    for (WORD key : { (WORD)'Q', (WORD)'W' }) {
        INPUT in[2] = {};
        in[0].type = in[1].type = INPUT_KEYBOARD;
        in[0].ki.wVk = in[1].ki.wVk = key;
        in[1].ki.dwFlags = KEYEVENTF_KEYUP;
        ::SendInput(2, in, sizeof(INPUT));
        uitest::PumpUntil([] { return false; }, 200);
    }
    EXPECT_EQ("qw", WindowText(BarItem(IDC_PNT_TEXT_EDIT_LEFT))) << "no character is lost";
    EXPECT_EQ("qw", std::string(m_ctrl.GetText()));
    EXPECT_EQ(BarItem(IDC_PNT_TEXT_EDIT_LEFT), ::GetFocus());
}

// Escape and Ctrl+Z with a text shown take the text out, and only the text.
TEST_F(TextBarTest, EscapeAndUndoTakeOutTheTextAndNothingBefore)
{
    for (UINT how : { (UINT)VK_ESCAPE, (UINT)'Z' }) {
        m_ctrl.ClearHistory();
        m_ctrl.SetTool(CPaintControl::kPen);
        m_ctrl.PushUndo();
        ASSERT_TRUE(m_ctrl.GetImage().DrawDot(118, 78, 1, RGB(255, 0, 0)));
        CDIBSection afterDot;
        ASSERT_TRUE(afterDot.CopyFrom(m_ctrl.GetImage()));

        m_ctrl.SetTool(CPaintControl::kText);
        ::SendMessageA(BarItem(IDC_PNT_TEXT_EDIT_LEFT), EM_REPLACESEL, FALSE, (LPARAM)"MMMM");
        ASSERT_EQ("MMMM", std::string(m_ctrl.GetText()));
        m_ctrl.SetFocus();
        if (how == VK_ESCAPE) {
            m_ctrl.SendMessage(WM_CHAR, 27, 1);
        } else {
            BYTE keys[256];
            ::GetKeyboardState(keys);
            keys[VK_CONTROL] = 0x80;
            ::SetKeyboardState(keys);
            m_ctrl.SendMessage(WM_KEYDOWN, 'Z', 1);
            keys[VK_CONTROL] = 0;
            ::SetKeyboardState(keys);
        }
        EXPECT_EQ("", WindowText(BarItem(IDC_PNT_TEXT_EDIT_LEFT))) << how;
        EXPECT_TRUE(m_ctrl.GetText().IsEmpty()) << how;
        EXPECT_EQ(RGB(255, 0, 0), m_ctrl.GetImage().GetPixel(118, 78)) << how << ": the dot drawn before stays";
        bool same = true;
        for (int y = 0; y < 80 && same; ++y)
            for (int x = 0; x < 120 && same; ++x)
                same = m_ctrl.GetImage().GetPixel(x, y) == afterDot.GetPixel(x, y);
        EXPECT_TRUE(same) << how << ": the text's pixels are gone";
        EXPECT_TRUE(m_ctrl.CanUndo()) << how << ": the dot can still be undone";
    }
}

TEST_F(TextBarTest, TheCloseBoxHidesTheBarAndSelectsTheAreaTool)
{
    m_ctrl.SetTool(CPaintControl::kText);
    ASSERT_TRUE(Bar().IsShown());
    Bar().SendMessage(WM_CLOSE);
    EXPECT_FALSE(Bar().IsShown());
    EXPECT_TRUE(Bar().m_hWnd != NULL) << "hidden, not destroyed";
    EXPECT_FALSE(::IsWindowVisible(Bar().m_hWnd));
    EXPECT_EQ(CPaintControl::kSelect, m_ctrl.GetTool());
}

// The real font dialog: a size typed there becomes the control's font.
TEST_F(TextBarTest, TheFontDialogsChoiceBecomesTheControlsFont)
{
    m_ctrl.SetTool(CPaintControl::kText);
    ASSERT_TRUE(Bar().IsShown());
    bool sawFontDialog = false;
    uitest::ModalAnswerer answerer([&](HWND dialog) {
        if (dialog == Bar().m_hWnd || !::GetDlgItem(dialog, 0x472))   // cmb3: the size box
            return false;
        sawFontDialog = true;
        HWND size = ::GetDlgItem(dialog, 0x472);
        const LRESULT index = ::SendMessageA(size, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)"20");
        if (index != CB_ERR) {
            ::SendMessageA(size, CB_SETCURSEL, index, 0);
            ::SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(0x472, CBN_SELCHANGE), (LPARAM)size);
        }
        ::SetWindowTextA(size, "20");
        return uitest::ModalAnswerer::Press(dialog, IDOK);
    });
    Press(IDC_PNT_TEXT_FONT);
    ASSERT_TRUE(sawFontDialog);
    HDC screen = ::GetDC(NULL);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(NULL, screen);
    EXPECT_EQ(-::MulDiv(20, dpi, 72), ControlFont().lfHeight);
    const std::string caption = WindowText(Bar().m_hWnd);
    EXPECT_NE(std::string::npos, caption.find(", 20pt]")) << caption;
    LOGFONT stored;
    ASSERT_TRUE(CPntTextFmtBar::ParseFont(Stored("Font"), &stored));
    EXPECT_EQ(ControlFont().lfHeight, stored.lfHeight);
}

// The recorder's bar starts from the control's own font and alignment, is
// captioned from the string table, keeps its rectangle under its own section
// and takes a caption from the host.
TEST_F(RecorderTextBarTest, StartsFromTheControlAndTakesTheHostsText)
{
    Store("Font", "-40,0,0,0,700,1,0,0,0,0,0,0,0,Stored Face");
    m_app.WriteProfileInt(CPntTextFmtBar::kSection, "Alignment", 2);
    LOGFONT own = Font(-13, 400, "Tahoma");
    m_ctrl.SetTextFont(own);
    m_ctrl.SetTextAlignment(1);
    m_ctrl.SetTool(CPaintControl::kText);
    ASSERT_TRUE(Bar().IsShown());
    EXPECT_STREQ("Tahoma", ControlFont().lfFaceName) << "the stored font is not read";
    EXPECT_EQ(1, m_ctrl.GetTextAlignment());
    EXPECT_TRUE(::IsWindowVisible(BarItem(IDC_PNT_TEXT_EDIT_CENTRE)));
    const std::string caption = WindowText(Bar().m_hWnd);
    EXPECT_EQ(0u, caption.find("文字工具 [Tahoma, ")) << caption;

    Bar().SetText("标题");
    EXPECT_EQ("标题", WindowText(BarItem(IDC_PNT_TEXT_EDIT_CENTRE)));

    Bar().MoveWindow(40, 50, 300, 120, TRUE);
    EXPECT_EQ(40, (int)m_app.GetProfileInt("TextEditDlg:28104", "X", -1));
    EXPECT_EQ(50, (int)m_app.GetProfileInt("TextEditDlg:28104", "Y", -1));
    EXPECT_EQ(-1, (int)m_app.GetProfileInt("PaintDlg:28104", "X", -1));
}

// Moving the text's frame takes the text out while the frame is dragged;
// Escape ends the drag, and the text stands where it was, drawn once.
TEST_F(TextBarTest, AnEscapedMoveOfTheTextLeavesItWhereItWas)
{
    m_ctrl.SetTool(CPaintControl::kText);
    ASSERT_TRUE(Bar().IsShown());
    ::SetWindowPos(Bar().m_hWnd, NULL, 0, ::GetSystemMetrics(SM_CYSCREEN) - 150, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_ctrl.SetSelection(CRect(10, 10, 100, 60));
    ::SendMessageA(BarItem(IDC_PNT_TEXT_EDIT_LEFT), EM_REPLACESEL, FALSE, (LPARAM)"MMMM");
    ASSERT_EQ("MMMM", std::string(m_ctrl.GetText()));
    CDIBSection drawn;
    ASSERT_TRUE(drawn.CopyFrom(m_ctrl.GetImage()));
    const int history = m_ctrl.GetHistoryCount();
    const CPoint from = m_ctrl.ImageToClient(CPoint(50, 30)), to = m_ctrl.ImageToClient(CPoint(70, 50));
    POINT a = { from.x, from.y }, b = { to.x, to.y };
    ::ClientToScreen(m_ctrl.m_hWnd, &a);
    ::ClientToScreen(m_ctrl.m_hWnd, &b);
    ::SetForegroundWindow(m_host);
    std::thread input([a, b] {
        auto mouse = [](POINT p, DWORD flags) {
            INPUT in = {};
            in.type = INPUT_MOUSE;
            in.mi.dx = (LONG)(((LONGLONG)p.x * 65535) / (::GetSystemMetrics(SM_CXSCREEN) - 1));
            in.mi.dy = (LONG)(((LONGLONG)p.y * 65535) / (::GetSystemMetrics(SM_CYSCREEN) - 1));
            in.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | flags;
            ::SendInput(1, &in, sizeof(INPUT));
            ::Sleep(100);
        };
        mouse(a, 0);
        mouse(a, MOUSEEVENTF_LEFTDOWN);
        mouse(b, 0);
        INPUT key[2] = {};
        key[0].type = key[1].type = INPUT_KEYBOARD;
        key[0].ki.wVk = key[1].ki.wVk = VK_ESCAPE;
        key[1].ki.dwFlags = KEYEVENTF_KEYUP;
        ::SendInput(2, key, sizeof(INPUT));
        ::Sleep(100);
        mouse(b, MOUSEEVENTF_LEFTUP);
    });
    uitest::PumpUntil([] { return false; }, 1500);
    input.join();
    EXPECT_EQ(CRect(10, 10, 100, 60), m_ctrl.GetSelection()) << "the frame stays";
    EXPECT_EQ("MMMM", std::string(m_ctrl.GetText()));
    int differing = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x)
            differing += m_ctrl.GetImage().GetPixel(x, y) != drawn.GetPixel(x, y);
    EXPECT_EQ(0, differing) << "the text is drawn where it was";
    EXPECT_EQ(history, m_ctrl.GetHistoryCount());
}

// The bar tells only an image dialog of its own process that it opened.
TEST(TextBarMessage, OnlyAnImageDialogOfTheBarsProcessIsTold)
{
    HWND dialog = ::CreateWindowExA(0, "#32770", "编辑图像", WS_POPUP | WS_VISIBLE, 10, 10, 50, 50, NULL, NULL, NULL, NULL);
    ASSERT_TRUE(dialog != NULL);
    MSG msg;
    while (::PeekMessageA(&msg, dialog, WM_PNT_TEXT_BAR_OPENED, WM_PNT_TEXT_BAR_OPENED, PM_REMOVE)) {
    }
    const DWORD self = ::GetCurrentProcessId();
    const struct { DWORD process; bool told; } rows[] = { { self + 4, false }, { self, true } };
    for (const auto& row : rows) {
        const HWND told = CPntTextFmtBar::TellImageDialog(row.process);
        EXPECT_EQ(row.told ? dialog : NULL, told) << row.process;
        EXPECT_EQ(row.told, ::PeekMessageA(&msg, dialog, WM_PNT_TEXT_BAR_OPENED, WM_PNT_TEXT_BAR_OPENED, PM_REMOVE) != 0)
            << row.process;
    }
    ::DestroyWindow(dialog);
}
