// Checks the environment every other test relies on: the Chinese code page,
// the display, the Chinese font faces, the private sound server, and running
// host tools.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <mmsystem.h>

TEST(Harness, AnsiCodePageIsChinese)
{
    EXPECT_EQ(936u, ::GetACP());
    // "中文" stored as GBK by the compiler round-trips through the code page.
    const char text[] = "中文";
    wchar_t wide[8] = {};
    ASSERT_EQ(3, ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 8));
    EXPECT_EQ(0x4E2D, wide[0]);
    EXPECT_EQ(0x6587, wide[1]);
}

TEST(Harness, DisplayIsFullHd)
{
    EXPECT_EQ(1920, ::GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(1080, ::GetSystemMetrics(SM_CYSCREEN));
}

// The Chinese faces the program names map to the font the prefix installs,
// for every name it uses (GDI+ finds none of them otherwise).
TEST(Harness, ChineseFacesAreSubstituted)
{
    const wchar_t* const faces[] = {L"SimSun", L"\x5B8B\x4F53", L"Microsoft YaHei", L"\x5FAE\x8F6F\x96C5\x9ED1",
                                    L"NSimSun", L"\x65B0\x5B8B\x4F53"};
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                                             L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes", 0,
                                             KEY_READ, &key));
    for (const wchar_t* face : faces) {
        wchar_t value[64] = {};
        DWORD size = sizeof(value) - sizeof(wchar_t);
        EXPECT_EQ(ERROR_SUCCESS, ::RegQueryValueExW(key, face, NULL, NULL, (BYTE*)value, &size)) << face[0];
        EXPECT_STREQ(L"WenQuanYi Micro Hei", value) << face[0];
    }
    ::RegCloseKey(key);
}

TEST(Harness, WaveInputDeviceExists)
{
    EXPECT_GE(::waveInGetNumDevs(), 1u);
}

TEST(Harness, RunsHostToolsAndMapsPaths)
{
    testsupport::ScratchDir dir;
    ASSERT_FALSE(dir.Path().empty());
    std::string file = dir.File("probe.txt");
    ASSERT_TRUE(testsupport::WriteFileBytes(file, "abc", 3));
    std::string unixPath = testsupport::UnixPath(file);
    ASSERT_FALSE(unixPath.empty());
    std::string out;
    EXPECT_EQ(0, testsupport::RunHost("wc -c < '" + unixPath + "'", &out));
    EXPECT_EQ("3\n", out);
    EXPECT_EQ(3, testsupport::RunHost("exit 3", nullptr));
}
