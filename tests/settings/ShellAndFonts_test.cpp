#include "settings/FolderBrowser.h"
#include "settings/FontUtil.h"
#include "settings/FormatUtil.h"
#include "settings/MonitorList.h"
#include "settings/ShellUtil.h"

#include "resources/ids_settings.h"
#include "SettingsTestUtil.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string>

TEST(MonitorList, EnumeratesWhatTheSystemReports)
{
    CMonitorList list;
    const int count = list.Enumerate();
    EXPECT_EQ(count, list.m_count);
    EXPECT_EQ(count, (int)list.GetCount());
    // Wine reports one 1920 x 1080 monitor on the test display.
    ASSERT_EQ(::GetSystemMetrics(SM_CMONITORS), count);
    EXPECT_EQ(0, list.m_union.left);
    EXPECT_EQ(0, list.m_union.top);
    EXPECT_EQ(::GetSystemMetrics(SM_CXSCREEN), list.m_union.right);
    EXPECT_EQ(::GetSystemMetrics(SM_CYSCREEN), list.m_union.bottom);
    FreeMonitorApis();
    CMonitorList again;
    EXPECT_EQ(count, again.Enumerate());   // loads the functions again
}

TEST(MonitorList, UnionAndBlitOfTwoMonitors)
{
    CMonitorList list;
    const RECT primary = { 0, 0, 1024, 768 };
    list.AddMonitor(primary);
    EXPECT_EQ(0, list.m_union.left);
    EXPECT_EQ(1024, list.m_union.right);
    EXPECT_EQ(768, list.m_union.bottom);
    const RECT left = { -1280, 0, 0, 1024 };
    list.AddMonitor(left);
    EXPECT_EQ(-1280, list.m_union.left);
    EXPECT_EQ(0, list.m_union.top);
    EXPECT_EQ(1024, list.m_union.right);
    EXPECT_EQ(1024, list.m_union.bottom);
    EXPECT_EQ(2, list.m_count);

    // The source is a DC whose origin is moved so that it covers the union;
    // each monitor's area has its own colour.
    HDC screen = ::GetDC(NULL);
    HDC source = ::CreateCompatibleDC(screen);
    HDC target = ::CreateCompatibleDC(screen);
    HBITMAP sourceBitmap = ::CreateCompatibleBitmap(screen, 2304, 1024);
    HBITMAP targetBitmap = ::CreateCompatibleBitmap(screen, 2304, 1024);
    HGDIOBJ oldSource = ::SelectObject(source, sourceBitmap);
    HGDIOBJ oldTarget = ::SelectObject(target, targetBitmap);
    ::SetViewportOrgEx(source, 1280, 0, NULL);
    HBRUSH red = ::CreateSolidBrush(RGB(255, 0, 0));
    HBRUSH green = ::CreateSolidBrush(RGB(0, 255, 0));
    ::FillRect(source, &primary, red);
    ::FillRect(source, &left, green);
    BlitMonitorAreas(source, target, 2304, 1024, list, RGB(0, 0, 255), FALSE);
    EXPECT_EQ(RGB(0, 255, 0), ::GetPixel(target, 10, 10));      // the left monitor at x 0
    EXPECT_EQ(RGB(255, 0, 0), ::GetPixel(target, 1280, 10));    // the primary at x 1280
    EXPECT_EQ(RGB(255, 0, 0), ::GetPixel(target, 2303, 767));
    EXPECT_EQ(RGB(0, 0, 255), ::GetPixel(target, 1300, 900));   // the gap keeps the fill colour
    ::SelectObject(source, oldSource);
    ::SelectObject(target, oldTarget);
    ::DeleteObject(red);
    ::DeleteObject(green);
    ::DeleteObject(sourceBitmap);
    ::DeleteObject(targetBitmap);
    ::DeleteDC(source);
    ::DeleteDC(target);
    ::ReleaseDC(NULL, screen);
}

namespace {

int CALLBACK HasAnsiCharset(const LOGFONTA* font, const TEXTMETRICA*, DWORD, LPARAM param)
{
    *reinterpret_cast<bool*>(param) = font->lfCharSet == ANSI_CHARSET;
    return 0;
}

}  // namespace

TEST(FontUtil, EnumerateFonts)
{
    // An installed face with its charset is taken as it is.
    EXPECT_EQ(std::string("Tahoma"), std::string(EnumerateFonts(FF_SWISS | VARIABLE_PITCH, ANSI_CHARSET, "Tahoma", NULL)));
    // A face that is not installed falls through to the criteria.
    CString chosen = EnumerateFonts(FF_SWISS | VARIABLE_PITCH, ANSI_CHARSET, "No Such Face", NULL);
    ASSERT_FALSE(chosen.IsEmpty());
    LOGFONTA lf = {};
    lf.lfCharSet = ANSI_CHARSET;
    lstrcpynA(lf.lfFaceName, chosen, LF_FACESIZE);
    HDC screen = ::GetDC(NULL);
    bool found = false;
    ::EnumFontFamiliesExA(screen, &lf, (FONTENUMPROCA)&HasAnsiCharset, reinterpret_cast<LPARAM>(&found), 0);
    ::ReleaseDC(NULL, screen);
    EXPECT_TRUE(found) << chosen.GetString();
    // A preferred face installed without the charset is not taken.
    EXPECT_NE(std::string("Marlett"), std::string(EnumerateFonts(0, ANSI_CHARSET, "Marlett", NULL)));
    // A charset no font has gives nothing.
    EXPECT_TRUE(EnumerateFonts(0, 77, "Tahoma", NULL).IsEmpty());
}

TEST(FontUtil, CreateMatchingPointFont)
{
    HFONT font = NULL;
    ASSERT_TRUE(CreateMatchingPointFont(&font, 90, FF_SWISS | VARIABLE_PITCH, ANSI_CHARSET, "Tahoma", FW_BOLD, NULL));
    LOGFONTA lf = {};
    ::GetObjectA(font, sizeof(lf), &lf);
    HDC screen = ::GetDC(NULL);
    const int expectedHeight = -::MulDiv(::GetDeviceCaps(screen, LOGPIXELSY), 90, 720);
    ::ReleaseDC(NULL, screen);
    EXPECT_EQ(expectedHeight, lf.lfHeight);
    EXPECT_EQ(FW_BOLD, lf.lfWeight);
    EXPECT_STREQ("Tahoma", lf.lfFaceName);
    HFONT first = font;
    ASSERT_TRUE(CreateMatchingPointFont(&font, 120, 0, ANSI_CHARSET, "Tahoma", FW_NORMAL, NULL));
    EXPECT_NE(first, font);
    EXPECT_EQ(0, ::GetObjectA(first, sizeof(lf), &lf));   // the old font was deleted
    ::DeleteObject(font);
}

TEST(FontUtil, LocaleCharset)
{
    EXPECT_EQ(936u, GetLocaleAnsiCodePage());
    EXPECT_EQ(GB2312_CHARSET, GetDefaultCharset());
}

TEST(FormatUtil, FormatStrings)
{
    const LPCTSTR inserts[] = { "12", ".", "50" };
    CString out;
    FormatStrings(out, "%1%2%3 KB", 3, inserts);
    EXPECT_EQ(std::string("12.50 KB"), std::string(out));
    FormatStrings(out, "100%% of %1, %4 stays", 1, inserts);
    EXPECT_EQ(std::string("100% of 12, %4 stays"), std::string(out));
    const LPCTSTR tricky[] = { "%2", "x" };
    FormatStrings(out, "%1-%2", 2, tricky);   // an insert is not scanned again
    EXPECT_EQ(std::string("%2-x"), std::string(out));
    LoadFormattedString(out, IDS_SIZE_MB, 3, inserts);
    EXPECT_EQ(std::string("12.50 MB"), std::string(out));
    out = "unchanged";
    LoadFormattedString(out, 65000, 3, inserts);
    EXPECT_EQ(std::string("unchanged"), std::string(out));
    FormatNumber(out, 42, "%05d");
    EXPECT_EQ(std::string("00042"), std::string(out));
}

TEST(ShellUtil, ShellFolderPath)
{
    CString appData = GetShellFolderPath(CSIDL_APPDATA);
    ASSERT_FALSE(appData.IsEmpty());
    char expected[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathA(NULL, CSIDL_APPDATA, NULL, 0, expected)));
    EXPECT_EQ(std::string(expected), std::string(appData));
    EXPECT_TRUE(GetShellFolderPath(0x7F).IsEmpty());   // no such folder
}

TEST(ShellUtil, ForceForegroundWindow)
{
    HWND first = ::CreateWindowA("STATIC", "first", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, NULL, NULL, NULL, NULL);
    HWND second = ::CreateWindowA("STATIC", "second", WS_POPUP | WS_VISIBLE, 60, 0, 50, 50, NULL, NULL, NULL, NULL);
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    EXPECT_TRUE(ForceForegroundWindow(first));
    EXPECT_EQ(first, ::GetForegroundWindow());
    EXPECT_TRUE(ForceForegroundWindow(second));
    EXPECT_EQ(second, ::GetForegroundWindow());
    ::DestroyWindow(first);
    ::DestroyWindow(second);
}

namespace {

const int kEditId = 1234;

// An owner window with an edit control, as a dialog page has.
struct Owner {
    Owner(const char* text)
    {
        window = ::CreateWindowA("STATIC", "owner", WS_POPUP, 0, 0, 300, 100, NULL, NULL, NULL, NULL);
        edit = ::CreateWindowA("EDIT", text, WS_CHILD, 0, 0, 200, 20, window, (HMENU)(INT_PTR)kEditId, NULL, NULL);
    }
    ~Owner() { ::DestroyWindow(window); }
    std::string Text() const
    {
        char text[MAX_PATH] = {};
        ::GetWindowTextA(edit, text, sizeof(text));
        return text;
    }
    HWND window;
    HWND edit;
};

}  // namespace

namespace {

BOOL CALLBACK FindTree(HWND hwnd, LPARAM param)
{
    char cls[32] = {};
    ::GetClassNameA(hwnd, cls, sizeof(cls));
    if (strcmp(cls, WC_TREEVIEWA) == 0) {
        *reinterpret_cast<HWND*>(param) = hwnd;
        return FALSE;
    }
    return TRUE;
}

// TRUE when the browse dialog's selected tree item is the folder "chosen".
bool SelectionIsChosen(HWND dialog)
{
    HWND tree = NULL;
    ::EnumChildWindows(dialog, &FindTree, (LPARAM)&tree);
    if (!tree)
        return false;
    HTREEITEM item = (HTREEITEM)::SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    if (!item)
        return false;
    char text[MAX_PATH] = {};
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = sizeof(text);
    ::SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tv);
    return lstrcmpiA(text, "chosen") == 0;
}

}  // namespace

TEST(FolderBrowser, StartsAtTheEditControlsFolderAndPutsTheChoiceBack)
{
    testsupport::ScratchDir dir;
    const std::string sub = dir.Path() + "\\chosen";
    ASSERT_TRUE(::CreateDirectoryA(sub.c_str(), NULL));
    // The edit control names a folder below it that does not exist yet: the
    // browser starts at the nearest one that does.
    Owner owner((sub + "\\not yet\\deeper  ").c_str());
    CFolderBrowser browser(owner.window, kEditId, IDS_PROFILE_NAME, BIF_RETURNONLYFSDIRS);
    EXPECT_EQ(0u, browser.GetFlags() & BIF_RETURNONLYFSDIRS);   // enforced by the callback instead
    {
        // Wine 8.0: the first folder browse in a new prefix does not select
        // the folder it is given (the second one does); warm the shell up
        // with one browse that is cancelled. Drop when Wine selects it at once.
        Owner warmUp(sub.c_str());
        CFolderBrowser first(warmUp.window, kEditId, IDS_PROFILE_NAME, 0);
        settingstest::DialogAnswerer answer(::GetCurrentThreadId(), IDCANCEL);
        first.Browse();
    }
    int result;
    {
        // The shell fills its folder tree as it goes: answer once the folder
        // the browser started at is selected.
        settingstest::DialogAnswerer answer(::GetCurrentThreadId(), IDOK, &SelectionIsChosen);
        result = browser.Browse();
        EXPECT_TRUE(answer.Answered());
    }
    ASSERT_EQ(IDOK, result);
    EXPECT_EQ(0, lstrcmpiA(sub.c_str(), browser.GetFolder())) << browser.GetFolder().GetString();
    EXPECT_EQ(0, lstrcmpiA(sub.c_str(), owner.Text().c_str())) << owner.Text();
}

TEST(FolderBrowser, CancelLeavesTheEditControl)
{
    Owner owner("");
    CFolderBrowser browser(owner.window, kEditId, IDS_PROFILE_NAME, 0);
    // An empty edit control starts at the user's documents.
    EXPECT_EQ(std::string(GetShellFolderPath(CSIDL_PERSONAL, CSIDL_FLAG_CREATE)), std::string(browser.GetFolder()));
    settingstest::DialogAnswerer answer(::GetCurrentThreadId(), IDCANCEL);
    EXPECT_EQ(IDCANCEL, browser.Browse());
    EXPECT_EQ("", owner.Text());
}
