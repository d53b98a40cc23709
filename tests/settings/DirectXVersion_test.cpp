#include "settings/DirectXVersion.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

typedef std::map<std::string, FileVersionWords> FakeFiles;

HRESULT FromFake(const char* file, FileVersionWords* version, void* context)
{
    FakeFiles* files = static_cast<FakeFiles*>(context);
    auto it = files->find(file);
    if (it == files->end())
        return E_FAIL;
    *version = it->second;
    return S_OK;
}

FileVersionWords V(DWORD a, DWORD b, DWORD c, DWORD d)
{
    return FileVersionWords{ (a << 16) | b, (c << 16) | d };
}

std::string Inferred(FakeFiles files)
{
    DWORD major = 99, minor = 99;
    char letter = '?';
    EXPECT_EQ(S_OK, InferDirectXVersion(&FromFake, &files, &major, &minor, &letter));
    char text[16];
    MakeDirectXVersion(major, minor, letter, nullptr, text, sizeof(text));
    return text;
}

}  // namespace

TEST(DirectXVersion, NumberAndText)
{
    DWORD number = 0;
    char text[16];
    MakeDirectXVersion(9, 0, 'c', &number, text, sizeof(text));
    EXPECT_EQ(9u * 65536 + 3, number);
    EXPECT_STREQ("9.0c", text);
    MakeDirectXVersion(8, 1, 'B', &number, text, sizeof(text));
    EXPECT_EQ((8u << 16) | (1u << 8) | 2u, number);
    EXPECT_STREQ("8.1b", text);
    MakeDirectXVersion(7, 0, ' ', &number, text, sizeof(text));
    EXPECT_EQ(7u * 65536, number);
    EXPECT_STREQ("7.0", text);
    char small[3];
    MakeDirectXVersion(9, 0, 'c', nullptr, small, sizeof(small));
    EXPECT_STREQ("9.", small);   // cut, and ended with a zero byte
    MakeDirectXVersion(9, 0, 'c', nullptr, nullptr, 0);
}

TEST(DirectXVersion, FileRules)
{
    EXPECT_EQ("0.0", Inferred({}));
    EXPECT_EQ("7.0", Inferred({ { "ddraw.dll", V(4, 7, 0, 700) } }));
    EXPECT_EQ("6.1", Inferred({ { "ddraw.dll", V(4, 7, 0, 699) } }));
    EXPECT_EQ("7.0a", Inferred({ { "ddraw.dll", V(4, 7, 0, 700) }, { "dinput.dll", V(4, 7, 0, 716) } }));
    EXPECT_EQ("3.0a", Inferred({ { "ddraw.dll", V(4, 4, 0, 68) }, { "d3drg8x.dll", V(4, 4, 0, 70) } }));
    // Files of major 5 are compared with the Windows XP numbers.
    EXPECT_EQ("8.0", Inferred({ { "ddraw.dll", V(5, 1, 2258, 400) } }));
    EXPECT_EQ("8.1", Inferred({ { "ddraw.dll", V(5, 1, 2600, 0) }, { "d3d8.dll", V(5, 1, 2600, 881) } }));
    EXPECT_EQ("8.1a", Inferred({ { "ddraw.dll", V(5, 1, 2600, 0) }, { "d3d8.dll", V(4, 8, 1, 901) } }));
    EXPECT_EQ("8.1b", Inferred({ { "ddraw.dll", V(5, 1, 2600, 0) }, { "d3d8.dll", V(5, 1, 2600, 901) },
                                 { "mpg2splt.ax", V(6, 3, 1, 885) } }));
    EXPECT_EQ("8.2", Inferred({ { "ddraw.dll", V(5, 1, 2600, 0) }, { "dpnet.dll", V(5, 2, 3677, 134) } }));
    EXPECT_EQ("9.0", Inferred({ { "ddraw.dll", V(5, 3, 0, 0) }, { "d3d9.dll", V(0, 0, 0, 1) } }));
}

TEST(DirectXVersion, CompareFileVersions)
{
    EXPECT_EQ(0, CompareFileVersions(V(4, 7, 0, 700), V(4, 7, 0, 700)));
    EXPECT_EQ(1, CompareFileVersions(V(4, 7, 0, 701), V(4, 7, 0, 700)));
    EXPECT_EQ(-1, CompareFileVersions(V(4, 6, 9, 999), V(4, 7, 0, 0)));
    EXPECT_EQ(1, CompareFileVersions(FileVersionWords{ 0x80000000u, 0 }, FileVersionWords{ 1, 0 }));   // unsigned
}

TEST(DirectXVersion, FileVersionWords)
{
    FileVersionWords v = {};
    EXPECT_EQ(E_INVALIDARG, GetFileVersionWords(nullptr, &v));
    EXPECT_EQ(E_INVALIDARG, GetFileVersionWords("x", nullptr));
    EXPECT_EQ(E_FAIL, GetFileVersionWords("C:\\missing.dll", &v));
    char system[MAX_PATH];
    ::GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_EQ(S_OK, GetFileVersionWords((std::string(system) + "\\ddraw.dll").c_str(), &v));
    EXPECT_NE(0u, v.ms);
}

// Under Wine the answer is whatever Wine reports; the test records it and
// checks that number and text agree.
TEST(DirectXVersion, WhatThisSystemReports)
{
    DWORD number = 0xDEAD;
    char text[16] = "junk";
    HRESULT hr = GetDirectXVersion(&number, text, sizeof(text));
    ::testing::Test::RecordProperty("DirectXVersion", text);
    std::printf("DirectX version reported: %s (0x%lx, hr 0x%lx)\n", text, (unsigned long)number, (unsigned long)hr);
    ASSERT_EQ(S_OK, hr);
    char expected[16];
    MakeDirectXVersion(number >> 16, (number >> 8) & 0xFF, (number & 0xFF) ? (char)('a' + (number & 0xFF) - 1) : ' ',
                       nullptr, expected, sizeof(expected));
    EXPECT_STREQ(expected, text);
    EXPECT_EQ(S_OK, GetDirectXVersion(nullptr, nullptr, 0));
    DWORD major = 0, minor = 0;
    char letter = 0;
    if (SUCCEEDED(GetDirectXVersionViaDxDiag(&major, &minor, &letter))) {
        EXPECT_EQ(major, number >> 16);
    }
}
