#include "app/NoteHotkeyDlg.h"
#include "app/RecorderApp.h"

#include "resources/ids_app.h"
#include "settings/RecorderPrefs.h"
#include "tests/support/TestSupport.h"
#include "AppTestSupport.h"

#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

using namespace apptest;
using testsupport::ReadFileBytes;
using testsupport::ScratchDir;

namespace {

bool WriteText(const std::string& path, const std::string& text)
{
    return testsupport::WriteFileBytes(path, text.data(), text.size());
}

void MakeFolders(const std::string& path)
{
    for (size_t i = 3; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '\\')
            ::CreateDirectoryA(path.substr(0, i).c_str(), NULL);
}

OSVERSIONINFOA g_fakeVersion;

BOOL FakeVersion(OSVERSIONINFOA* version)
{
    *version = g_fakeVersion;
    return TRUE;
}

}  // namespace

// The start-up refuses an old system with message 206 before anything else
// (no instance mutex, no main window).
TEST(RecorderAppStart, RefusesAnUnsupportedSystemWithItsMessage)
{
    CString expected;
    ASSERT_TRUE(expected.LoadString(IDS_APP_NEEDS_WIN2000));
    const struct {
        DWORD platform, major;
    } cases[] = {{VER_PLATFORM_WIN32_WINDOWS, 4}, {VER_PLATFORM_WIN32_NT, 4}};
    for (const auto& c : cases) {
        g_fakeVersion = OSVERSIONINFOA();
        g_fakeVersion.dwPlatformId = c.platform;
        g_fakeVersion.dwMajorVersion = c.major;
        CRecorderApp::SetVersionQuery(FakeVersion);
        App().m_boxes.clear();
        const BOOL started = App().InitInstance();
        CRecorderApp::SetVersionQuery(NULL);
        EXPECT_FALSE(started);
        ASSERT_EQ(1u, App().m_boxes.size());
        EXPECT_EQ(std::string(expected), App().m_boxes[0]);
        EXPECT_EQ(NULL, App().m_instanceMutex);
        EXPECT_EQ(NULL, App().m_pMainWnd);
    }
}

// The default libraries are copied on the first run only, and never over a
// file the user already has.
TEST(RecorderAppStart, FirstRunCopiesTheLibrariesWithoutOverwriting)
{
    ScratchDir program("vxprog");
    ASSERT_TRUE(::CreateDirectoryA((program.Path() + "\\Libraries").c_str(), NULL));
    const char* names[] = {"我的形状.skoo", "我的文字便条.skot", "编排.skol"};
    for (const char* name : names)
        ASSERT_TRUE(WriteText(program.Path() + "\\Libraries\\" + name, std::string("new ") + name));

    TestApp& app = App();
    if (!app.m_pszAppName) {
        app.m_pszAppName = _strdup("VexcapAppTest");
    }
    const CString savedFolder = app.m_programFolder;
    app.m_programFolder = (program.Path() + "\\").c_str();
    CString keyPath;
    keyPath.Format("Software\\%s\\%s\\3.0", CRecorderApp::kRegistryKey, app.m_pszAppName);
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
    ::RegDeleteValueA(key, "AutoPan");

    char appData[MAX_PATH];
    ASSERT_TRUE(::SHGetSpecialFolderPathA(NULL, appData, CSIDL_LOCAL_APPDATA, TRUE));
    const std::string dest = std::string(appData) + "\\" + CRecorderApp::kRegistryKey + "\\" + app.m_pszAppName +
                             "\\Libraries";
    // The user's own shapes library is already there.
    MakeFolders(dest);
    ASSERT_TRUE(WriteText(dest + "\\" + names[0], "mine"));
    ::DeleteFileA((dest + "\\" + names[1]).c_str());
    ::DeleteFileA((dest + "\\" + names[2]).c_str());

    app.CopyDefaultLibrariesOnFirstRun();
    std::string text;
    ASSERT_TRUE(ReadFileBytes(dest + "\\" + names[0], &text));
    EXPECT_EQ("mine", text);
    for (int i = 1; i < 3; ++i) {
        ASSERT_TRUE(ReadFileBytes(dest + "\\" + names[i], &text)) << names[i];
        EXPECT_EQ(std::string("new ") + names[i], text);
    }

    // Once the preferences were saved (AutoPan exists) nothing is copied.
    ::DeleteFileA((dest + "\\" + names[2]).c_str());
    DWORD one = 1;
    ::RegSetValueExA(key, "AutoPan", 0, REG_DWORD, (const BYTE*)&one, sizeof(one));
    app.CopyDefaultLibrariesOnFirstRun();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA((dest + "\\" + names[2]).c_str()));

    ::RegCloseKey(key);
    ::RegDeleteKeyA(HKEY_CURRENT_USER, keyPath);
    app.m_programFolder = savedFolder;
}

TEST(RecorderAppStart, AlphaLevelMakesAWindowLayeredAndOpaqueAgain)
{
    typedef BOOL(WINAPI * GetLayeredFn)(HWND, COLORREF*, BYTE*, DWORD*);
    HMODULE user32 = ::GetModuleHandleA("user32.dll");
    GetLayeredFn getLayered = (GetLayeredFn)(void*)::GetProcAddress(user32, "GetLayeredWindowAttributes");
    ASSERT_TRUE(getLayered != NULL);
    App().m_setLayeredWindowAttributes =
        (CRecorderApp::SetLayeredFn)(void*)::GetProcAddress(user32, "SetLayeredWindowAttributes");
    HWND window = ::CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, NULL, NULL, NULL, NULL);
    ASSERT_TRUE(window != NULL);

    App().SetWindowAlphaLevel(window, 0);
    EXPECT_EQ(0, ::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_LAYERED) << "level 0 does nothing";
    App().SetWindowAlphaLevel(window, 50);
    EXPECT_NE(0, ::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_LAYERED);
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(getLayered(window, NULL, &alpha, &flags));
    EXPECT_EQ(127, alpha);
    EXPECT_EQ((DWORD)LWA_ALPHA, flags & LWA_ALPHA);
    App().SetWindowAlphaLevel(window, 100);
    EXPECT_EQ(0, ::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_LAYERED);
    ::DestroyWindow(window);
}

TEST(RecorderAppStart, TranslucentNotesRaiseTheWindowCountThatTheGrabReads)
{
    EXPECT_EQ(static_cast<INoteHost*>(&App()), GetNoteHost()) << "the application serves the screen notes";
    const LONG before = App().m_openWindowCount;
    App().m_openWindowCount = 0;
    CRecorderPrefs prefs{&App()};
    prefs.m_captureLayeredWindows = FALSE;
    EXPECT_FALSE(prefs.UseCaptureBlt());
    App().RaiseWindowCount();
    App().RaiseWindowCount();
    EXPECT_EQ(2, App().GetOpenWindowCount());
    EXPECT_TRUE(prefs.UseCaptureBlt()) << "a translucent window on the desktop makes the grab add CAPTUREBLT";
    App().ReleaseWindowCount();
    App().ReleaseWindowCount();
    App().ReleaseWindowCount();   // one more than raised: stays at 0
    EXPECT_EQ(0, App().GetOpenWindowCount());
    EXPECT_FALSE(prefs.UseCaptureBlt());
    App().m_openWindowCount = before;
}

TEST(NoteHotkeyDialog, KeyCodesRoundTripThroughTheHotKeyControl)
{
    struct Case {
        DWORD code;
        WORD control;
    } cases[] = {
        {0, 0},
        {0x800 | 8, MAKEWORD(VK_F8, 0)},                                   // F8
        {0x100 | 0x800 | 12, MAKEWORD(VK_F12, HOTKEYF_CONTROL)},          // Ctrl+F12
        {0x200 | 0x400 | 'L', MAKEWORD('L', HOTKEYF_ALT | HOTKEYF_SHIFT)},  // Alt+Shift+L
        {0x1000, MAKEWORD(VK_SNAPSHOT, 0)},                                // Print Screen
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.control, CNoteHotkeyDlg::CodeToControl(c.code)) << std::hex << c.code;
        EXPECT_EQ(c.code, CNoteHotkeyDlg::ControlToCode(c.control)) << std::hex << c.code;
    }
}
