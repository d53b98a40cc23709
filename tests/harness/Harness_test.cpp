// Checks the environment every other test relies on: the Chinese code page,
// the display, the private sound server, and running host tools.
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
