#include "app/StartSwitches.h"

#include "app/AppMessages.h"
#include "AppTestSupport.h"

#include <gtest/gtest.h>

using namespace apptest;

namespace {

struct SwitchCase {
    const char* line;
    bool help, hidden, pause, record, stop, wizard, exit;
};

}  // namespace

TEST(StartSwitches, TakesASlashAndOneLetterInEitherCaseAndIgnoresTheRest)
{
    const SwitchCase cases[] = {
        {"", false, false, false, false, false, false, false},
        {"/R", false, false, false, true, false, false, false},
        {"/r /x", false, false, false, true, false, false, true},
        {"/?", true, false, false, false, false, false, false},
        {"/h/p", false, true, true, false, false, false, false},
        {"/S /W", false, false, false, false, true, true, false},
        {"-r r x \\s", false, false, false, false, false, false, false},   // no slash: ignored
        {"/Q /z /", false, false, false, false, false, false, false},      // unknown letters
        {"\"C:\\a b\\Vexcap.exe\" /Record", false, false, false, true, false, false, false},
    };
    for (const SwitchCase& c : cases) {
        const StartSwitches s = ParseStartSwitches(c.line);
        EXPECT_EQ(c.help, s.help) << c.line;
        EXPECT_EQ(c.hidden, s.hidden) << c.line;
        EXPECT_EQ(c.pause, s.pause) << c.line;
        EXPECT_EQ(c.record, s.record) << c.line;
        EXPECT_EQ(c.stop, s.stop) << c.line;
        EXPECT_EQ(c.wizard, s.wizard) << c.line;
        EXPECT_EQ(c.exit, s.exit) << c.line;
    }
    const StartSwitches none = ParseStartSwitches(NULL);
    EXPECT_FALSE(none.record || none.help || none.exit);
}

TEST(StartSwitches, RefusesWindows9xAndNtBefore5)
{
    struct {
        DWORD platform, major;
        BOOL supported;
    } cases[] = {
        {VER_PLATFORM_WIN32_WINDOWS, 4, FALSE},
        {VER_PLATFORM_WIN32_WINDOWS, 5, FALSE},
        {VER_PLATFORM_WIN32_NT, 4, FALSE},
        {VER_PLATFORM_WIN32_NT, 5, TRUE},
        {VER_PLATFORM_WIN32_NT, 6, TRUE},
        {VER_PLATFORM_WIN32_NT, 10, TRUE},
    };
    for (const auto& c : cases) {
        OSVERSIONINFOA v = {};
        v.dwPlatformId = c.platform;
        v.dwMajorVersion = c.major;
        EXPECT_EQ(c.supported, IsSupportedSystem(v)) << c.platform << "." << c.major;
    }
}

// Record wins over pause, pause over stop; the reply is the exit code; exit
// is posted after the request.
TEST(StartSwitches, ForwardsOneRequestAndTheExitToARunningInstance)
{
    struct {
        const char* line;
        std::vector<UINT> messages;
        DWORD exitCode;
    } cases[] = {
        {"/R", {WM_APP_RECORD}, 7},
        {"/r /x", {WM_APP_RECORD, WM_APP_EXIT}, 7},
        {"/P /S", {WM_APP_PAUSE}, 5},
        {"/s", {WM_APP_STOP}, 3},
        {"/S /X", {WM_APP_STOP, WM_APP_EXIT}, 3},
        {"/x", {WM_APP_EXIT}, 0},
    };
    for (const auto& c : cases) {
        FakeRecorderWindow running(7, 5, 3);
        DWORD code = 12345;
        EXPECT_TRUE(ForwardToRunningInstance(ParseStartSwitches(c.line), running.Hwnd(), &code)) << c.line;
        if (c.messages.back() == WM_APP_EXIT) {
            EXPECT_TRUE(PumpUntil([&] { return running.Messages().size() == c.messages.size(); }, 5000));
        }
        EXPECT_EQ(c.messages, running.Messages()) << c.line;
        EXPECT_EQ(c.line == std::string("/x") ? 12345u : c.exitCode, code) << c.line;
    }
}

TEST(StartSwitches, WithNoInstancePauseStopAndExitEndWithCode1AndRecordGoesOn)
{
    struct {
        const char* line;
        BOOL ends;
    } cases[] = {
        {"/p", TRUE}, {"/S", TRUE}, {"/X", TRUE}, {"/r /x", TRUE}, {"/R", FALSE}, {"/W", FALSE}, {"", FALSE},
        {"/h", FALSE},
    };
    for (const auto& c : cases) {
        DWORD code = 0;
        EXPECT_EQ(c.ends, ForwardToRunningInstance(ParseStartSwitches(c.line), NULL, &code)) << c.line;
        EXPECT_EQ(c.ends ? 1u : 0u, code) << c.line;
    }
}

// A first instance that does not answer leaves 0 (not carried out) and the
// second start ends after the timeout instead of waiting for ever.
TEST(StartSwitches, AHungInstanceDoesNotHoldTheSecondStart)
{
    FakeRecorderWindow hung(7, 5, 3, true);
    DWORD code = 12345;
    const DWORD start = ::GetTickCount();
    EXPECT_TRUE(ForwardToRunningInstance(ParseStartSwitches("/S"), hung.Hwnd(), &code, 500));
    EXPECT_LT(::GetTickCount() - start, 4000u);
    EXPECT_EQ(0u, code);
}
