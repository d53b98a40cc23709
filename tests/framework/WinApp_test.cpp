#include "framework/WinApp.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string>

namespace {

const char kRegistryKey[] = "VexcapFrameworkTest";

// An application object whose profile is a scratch key, deleted afterwards:
// HKCU\Software\VexcapFrameworkTest\Skorvale Studio\3.0.
class ProfileTest : public ::testing::Test {
protected:
    ProfileTest() : m_scratch("Software\\VexcapFrameworkTest"), m_app("FwTestApp")
    {
        m_app.SetRegistryKey(kRegistryKey);
        free(const_cast<char*>(m_app.m_pszProfileName));
        m_app.m_pszProfileName = _strdup("Skorvale Studio\\3.0");
    }

    HKEY OpenSection(const char* section)
    {
        std::string path = std::string("Software\\") + kRegistryKey + "\\Skorvale Studio\\3.0\\" + section;
        HKEY key = NULL;
        ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
        return key;
    }

    testsupport::ScratchRegKey m_scratch;
    CWinApp m_app;
};

TEST_F(ProfileTest, ApplicationGlobals)
{
    EXPECT_EQ(&m_app, AfxGetApp());
    EXPECT_STREQ("FwTestApp", AfxGetAppName());
    EXPECT_EQ(&m_app, AfxGetThread());
    HKEY app = m_app.GetAppRegistryKey();
    ASSERT_NE(nullptr, app);
    ::RegCloseKey(app);
}

TEST_F(ProfileTest, ValuesRoundTrip)
{
    EXPECT_EQ(7u, m_app.GetProfileInt("Settings", "Missing", 7));
    EXPECT_TRUE(m_app.WriteProfileInt("Settings", "Count", -3));
    EXPECT_EQ((UINT)-3, m_app.GetProfileInt("Settings", "Count", 0));

    EXPECT_STREQ("dflt", m_app.GetProfileString("Settings", "Name", "dflt"));
    EXPECT_TRUE(m_app.GetProfileString("Settings", "Name").IsEmpty());
    EXPECT_TRUE(m_app.WriteProfileString("Settings", "Name", "中文名称"));
    EXPECT_STREQ("中文名称", m_app.GetProfileString("Settings", "Name"));

    BYTE data[5] = { 0, 1, 0xFF, 0x80, 7 };
    EXPECT_TRUE(m_app.WriteProfileBinary("Codec Configuration", "xrvc", data, sizeof(data)));
    BYTE* back = NULL;
    UINT n = 0;
    ASSERT_TRUE(m_app.GetProfileBinary("Codec Configuration", "xrvc", &back, &n));
    ASSERT_EQ(5u, n);
    EXPECT_EQ(0, memcmp(data, back, n));
    delete[] back;
    EXPECT_FALSE(m_app.GetProfileBinary("Codec Configuration", "none", &back, &n));
    EXPECT_EQ(nullptr, back);
    EXPECT_EQ(0u, n);
}

TEST_F(ProfileTest, DeletingEntriesAndSections)
{
    m_app.WriteProfileString("Gone", "A", "1");
    m_app.WriteProfileInt("Gone", "B", 2);
    EXPECT_TRUE(m_app.WriteProfileString("Gone", "A", NULL));
    EXPECT_STREQ("none", m_app.GetProfileString("Gone", "A", "none"));
    EXPECT_EQ(2u, m_app.GetProfileInt("Gone", "B", 0));

    HKEY sub = OpenSection("Gone\\Child");      // a section with a subkey still goes
    ASSERT_NE(nullptr, sub);
    ::RegCloseKey(sub);
    EXPECT_TRUE(m_app.WriteProfileString("Gone", NULL, NULL));
    HKEY key = NULL;
    std::string path = std::string("Software\\") + kRegistryKey + "\\Skorvale Studio\\3.0\\Gone";
    EXPECT_NE(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key));
}

TEST_F(ProfileTest, ValuesOfTheWrongTypeGiveTheDefault)
{
    HKEY key = OpenSection("Hostile");
    ASSERT_NE(nullptr, key);
    const char text[] = "12";
    const BYTE twoBytes[2] = { 1, 2 };
    const char noTerminator[3] = { 'a', 'b', 'c' };
    ::RegSetValueExA(key, "IntAsString", 0, REG_SZ, (const BYTE*)text, sizeof(text));
    ::RegSetValueExA(key, "ShortBinary", 0, REG_BINARY, twoBytes, sizeof(twoBytes));
    ::RegSetValueExA(key, "IntAsBinary4", 0, REG_BINARY, (const BYTE*)"\x01\x00\x00\x00", 4);
    ::RegSetValueExA(key, "Unterminated", 0, REG_SZ, (const BYTE*)noTerminator, sizeof(noTerminator));
    DWORD dw = 5;
    ::RegSetValueExA(key, "Number", 0, REG_DWORD, (const BYTE*)&dw, sizeof(dw));
    ::RegCloseKey(key);

    const struct {
        const char* entry;
        UINT expected;
    } ints[] = {
        { "IntAsString", 99 },
        { "ShortBinary", 99 },
        { "IntAsBinary4", 99 },
        { "Number", 5 },
    };
    for (const auto& c : ints)
        EXPECT_EQ(c.expected, m_app.GetProfileInt("Hostile", c.entry, 99)) << "entry " << c.entry;

    EXPECT_STREQ("d", m_app.GetProfileString("Hostile", "Number", "d"));
    EXPECT_STREQ("d", m_app.GetProfileString("Hostile", "ShortBinary", "d"));
    EXPECT_STREQ("abc", m_app.GetProfileString("Hostile", "Unterminated", "d"));

    BYTE* p = NULL;
    UINT n = 0;
    EXPECT_FALSE(m_app.GetProfileBinary("Hostile", "IntAsString", &p, &n));
    EXPECT_EQ(nullptr, p);
}

}  // namespace
