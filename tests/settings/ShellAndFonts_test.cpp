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

#ifndef BIF_NEWDIALOGSTYLE
#define BIF_NEWDIALOGSTYLE 0x0040   // shlobj.h offers it only for _WIN32_IE >= 0x0500
#endif

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

// The item of a file-system path, or null.
LPITEMIDLIST ItemOf(const std::string& path)
{
    IShellFolder* desktop = NULL;
    if (FAILED(::SHGetDesktopFolder(&desktop)))
        return NULL;
    wchar_t wide[MAX_PATH] = {};
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    LPITEMIDLIST item = NULL;
    desktop->ParseDisplayName(NULL, NULL, wide, NULL, &item, NULL);
    desktop->Release();
    return item;
}

// Stands in for the shell's dialog: a real window takes the messages that
// the browser's callback sends it. The stand-in tells the callback that the
// dialog is up, then that `selected` was selected, and answers with the
// folder `answer` (empty: the user cancelled).
class ScriptedFolderBrowser : public CFolderBrowser {
public:
    ScriptedFolderBrowser(HWND owner, UINT flags) : CFolderBrowser(owner, kEditId, IDS_PROFILE_NAME, flags) {}

    LPITEMIDLIST selected = NULL;   // the test's; not freed here
    std::string answer;
    // What the callback did.
    std::string startedAt;
    int enableOk = -1;   // the last BFFM_ENABLEOK's value, -1 for none
    std::string title;
    HWND dialogOwner = NULL;
    int shown = 0;

protected:
    LPITEMIDLIST ShowDialog(BROWSEINFOA* info) override
    {
        ++shown;
        title = info->lpszTitle ? info->lpszTitle : "";
        dialogOwner = info->hwndOwner;
        static const char kClass[] = "FolderBrowseStandIn";
        WNDCLASSA wc = {};
        wc.lpfnWndProc = &StandInProc;
        wc.hInstance = ::GetModuleHandleA(NULL);
        wc.lpszClassName = kClass;
        ::RegisterClassA(&wc);   // fails harmlessly once registered
        HWND dialog = ::CreateWindowA(kClass, "browse", WS_POPUP, 0, 0, 10, 10, NULL, NULL, wc.hInstance, NULL);
        if (!dialog)
            return NULL;
        ::SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)this);
        info->lpfn(dialog, BFFM_INITIALIZED, 0, info->lParam);
        if (selected)
            info->lpfn(dialog, BFFM_SELCHANGED, (LPARAM)selected, info->lParam);
        ::DestroyWindow(dialog);
        return answer.empty() ? NULL : ItemOf(answer);
    }

private:
    static LRESULT CALLBACK StandInProc(HWND h, UINT message, WPARAM w, LPARAM l)
    {
        ScriptedFolderBrowser* self = (ScriptedFolderBrowser*)::GetWindowLongPtrA(h, GWLP_USERDATA);
        if (self && message == BFFM_SETSELECTIONA && w == TRUE) {
            self->startedAt = (const char*)l;
            return 0;
        }
        if (self && message == BFFM_ENABLEOK) {
            self->enableOk = (int)l;
            return 0;
        }
        return ::DefWindowProcA(h, message, w, l);
    }
};

}  // namespace

// The browser starts at the nearest existing folder of what the edit control
// names, lets only file-system folders be chosen when asked to, and puts the
// choice back into the edit control; a cancel leaves it.
TEST(FolderBrowser, StartsAtTheEditControlsFolderAndPutsTheChoiceBack)
{
    testsupport::ScratchDir dir;
    const std::string sub = dir.Path() + "\\chosen";
    ASSERT_TRUE(::CreateDirectoryA(sub.c_str(), NULL));
    const std::string documents = (LPCSTR)GetShellFolderPath(CSIDL_PERSONAL, CSIDL_FLAG_CREATE);
    LPITEMIDLIST folderItem = ItemOf(sub);
    ASSERT_TRUE(folderItem != NULL);
    LPITEMIDLIST computer = NULL;   // a virtual folder: no path
    ASSERT_EQ(S_OK, ::SHGetSpecialFolderLocation(NULL, CSIDL_DRIVES, &computer));

    enum Select { kNone, kFolder, kComputer };
    struct Case {
        std::string edit;
        UINT flags;
        Select select;
        bool choose;            // answers with the folder `sub`, else cancels
        std::string startedAt;
        int enableOk;
    };
    const Case cases[] = {
        // A folder below one that does not exist yet; trailing blanks trimmed.
        { sub + "\\not yet\\deeper  ", BIF_RETURNONLYFSDIRS, kFolder, true, sub, 1 },
        { sub + "\\", BIF_RETURNONLYFSDIRS, kFolder, true, sub, 1 },
        { "C:\\", 0, kNone, true, "C:\\", -1 },   // a drive root keeps its backslash
        { "", BIF_RETURNONLYFSDIRS, kNone, true, documents, -1 },
        // A virtual folder cannot be chosen when only file-system folders may.
        { sub, BIF_RETURNONLYFSDIRS, kComputer, false, sub, 0 },
        { sub, BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE, kComputer, false, sub, 0 },
        { sub, 0, kComputer, false, sub, -1 },
    };
    CString title;
    title.LoadString(IDS_PROFILE_NAME);
    for (const Case& c : cases) {
        SCOPED_TRACE("edit \"" + c.edit + "\", flags " + std::to_string(c.flags));
        Owner owner(c.edit.c_str());
        ScriptedFolderBrowser browser(owner.window, c.flags);
        EXPECT_EQ(0u, browser.GetFlags() & BIF_RETURNONLYFSDIRS) << "enforced by the callback instead";
        browser.selected = c.select == kFolder ? folderItem : c.select == kComputer ? computer : NULL;
        browser.answer = c.choose ? sub : "";
        const int result = browser.Browse();
        EXPECT_EQ(1, browser.shown);
        EXPECT_EQ(owner.window, browser.dialogOwner);
        EXPECT_EQ(std::string(title), browser.title);
        EXPECT_EQ(0, lstrcmpiA(c.startedAt.c_str(), browser.startedAt.c_str())) << browser.startedAt;
        EXPECT_EQ(c.enableOk, browser.enableOk);
        if (c.choose) {
            ASSERT_EQ(IDOK, result);
            EXPECT_EQ(0, lstrcmpiA(sub.c_str(), browser.GetFolder())) << browser.GetFolder().GetString();
            EXPECT_EQ(0, lstrcmpiA(sub.c_str(), owner.Text().c_str())) << owner.Text();
        } else {
            EXPECT_EQ(IDCANCEL, result);
            EXPECT_EQ(c.edit, owner.Text());
        }
    }
    ::CoTaskMemFree(folderItem);
    ::CoTaskMemFree(computer);
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
