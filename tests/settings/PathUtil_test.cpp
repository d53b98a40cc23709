#include "settings/FileLockList.h"
#include "settings/PathUtil.h"
#include "settings/StructuredStorage.h"
#include "settings/VersionInfo.h"

#include "PrefsTestHost.h"
#include "SettingsTestUtil.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

TEST(PathUtil, TrailingBackslashes)
{
    CString p("C:\\");
    EXPECT_TRUE(AddTrailingBackslash(p));
    EXPECT_EQ(std::string("C:\\"), std::string(p));
    p = "C:\\a";
    EXPECT_TRUE(AddTrailingBackslash(p));
    EXPECT_EQ(std::string("C:\\a\\"), std::string(p));
    p = CString('x', 259);
    EXPECT_FALSE(AddTrailingBackslash(p));
    EXPECT_EQ(260, p.GetLength());
    EXPECT_EQ('\\', p[259]);

    p = "C:\\a\\";
    EXPECT_TRUE(RemoveTrailingBackslash(p));
    EXPECT_EQ(std::string("C:\\a"), std::string(p));
    EXPECT_TRUE(RemoveTrailingBackslash(p));
    EXPECT_EQ(std::string("C:\\a"), std::string(p));
    // A double-byte character whose trail byte is a backslash is not cut.
    p = "C:\\俓";   // 0x82 0x5C in code page 936
    ASSERT_EQ('\\', p[p.GetLength() - 1]);
    EXPECT_TRUE(RemoveTrailingBackslash(p));
    EXPECT_EQ(std::string("C:\\俓"), std::string(p));
    AddTrailingBackslash(p);
    EXPECT_EQ(std::string("C:\\俓\\"), std::string(p));
    // A backslash after a character whose trail byte looks like a lead byte
    // is a backslash of its own (中 is 0xD6 0xD0).
    p = "C:\\中\\";
    EXPECT_TRUE(AddTrailingBackslash(p));
    EXPECT_EQ(std::string("C:\\中\\"), std::string(p));
    EXPECT_TRUE(RemoveTrailingBackslash(p));
    EXPECT_EQ(std::string("C:\\中"), std::string(p));

    p = "C:\\a";
    EXPECT_TRUE(AppendPathPart(p, "\\\\b\\c.txt"));
    EXPECT_EQ(std::string("C:\\a\\b\\c.txt"), std::string(p));
    p = "C:\\a\\";
    EXPECT_TRUE(AppendPathPart(p, "b"));
    EXPECT_EQ(std::string("C:\\a\\b"), std::string(p));
    p = CString('y', 250);
    EXPECT_FALSE(AppendPathPart(p, "0123456789"));
}

TEST(PathUtil, ReplaceExtension)
{
    struct Case {
        const char* path;
        const char* ext;
        const char* expected;
    } cases[] = {
        { "C:\\my.folder\\name", "avi", "C:\\my.folder\\name.avi" },
        { "C:\\f\\capture.tmp", "avi", "C:\\f\\capture.avi" },
        { "C:\\f\\a.b.c", "skorec", "C:\\f\\a.b.skorec" },
        { "name", "wav", "name.wav" },
        { "C:\\f\\name.", "wav", "C:\\f\\name.wav" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::string(c.expected), std::string(ReplaceExtension(c.path, c.ext))) << c.path;
}

TEST(PathUtil, CreateFolderTreeMakesParentsFirst)
{
    testsupport::ScratchDir dir;
    const std::string deep = dir.Path() + "\\a\\b\\c";
    EXPECT_TRUE(CreateFolderTree(deep.c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(deep.c_str()));
    EXPECT_TRUE(CreateFolderTree(deep.c_str()));   // already there
    EXPECT_TRUE(CreateFolderTree(""));
    EXPECT_TRUE(CreateFolderTree("C:"));
    // A file in the way cannot become a folder.
    const std::string file = dir.File("file");
    ASSERT_TRUE(testsupport::WriteFileBytes(file, "x", 1));
    EXPECT_FALSE(CreateFolderTree((file + "\\sub").c_str()));
}

TEST(PathUtil, IsFolderWritable)
{
    testsupport::ScratchDir dir;
    CString folder = dir.Path().c_str();
    EXPECT_TRUE(IsFolderWritable(folder, FALSE));
    EXPECT_EQ(dir.Path(), std::string(folder));
    // The test file is gone again.
    WIN32_FIND_DATAA found;
    HANDLE h = ::FindFirstFileA((dir.Path() + "\\*.tst").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, h);
    if (h != INVALID_HANDLE_VALUE)
        ::FindClose(h);

    CString missing = "C:\\no such folder 42";
    EXPECT_FALSE(IsFolderWritable(missing, FALSE));
    EXPECT_EQ(std::string("C:\\no such folder 42"), std::string(missing));
    EXPECT_TRUE(IsFolderWritable(missing, TRUE));
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    EXPECT_EQ(std::string(temp), std::string(missing));
    CString empty;
    EXPECT_FALSE(IsFolderWritable(empty, FALSE));
}

TEST(PathUtil, CheckOutputFolderAsksBeforeCreating)
{
    testsupport::ScratchDir dir;
    settingstest::TestRecorderApp app;   // the message boxes' caption
    EXPECT_TRUE(CheckOutputFolder(dir.Path().c_str(), NULL, FALSE));

    const std::string silent = dir.Path() + "\\silent\\deeper";
    EXPECT_TRUE(CheckOutputFolder(silent.c_str(), NULL, TRUE));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(silent.c_str()));

    const std::string refused = dir.Path() + "\\refused";
    {
        settingstest::DialogAnswerer answer(::GetCurrentThreadId(), IDNO);
        EXPECT_FALSE(CheckOutputFolder(refused.c_str(), NULL, FALSE));
        EXPECT_TRUE(answer.Answered());
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(refused.c_str()));

    const std::string accepted = dir.Path() + "\\accepted\\x";
    {
        settingstest::DialogAnswerer answer(::GetCurrentThreadId(), IDYES);
        EXPECT_TRUE(CheckOutputFolder(accepted.c_str(), NULL, FALSE));
        ASSERT_TRUE(answer.Answered());
        std::string expected = "文件夹: " + accepted + " 不存在。";
        EXPECT_NE(std::string::npos, answer.Text().find(expected)) << answer.Text();
    }
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(accepted.c_str()));
}

TEST(PathUtil, DiskSpace)
{
    testsupport::ScratchDir dir;
    ULARGE_INTEGER callerFree, total, allFree;
    ASSERT_TRUE(::GetDiskFreeSpaceExA("C:\\", &callerFree, &total, &allFree));
    const ULONGLONG free1 = GetDiskSpace(dir.Path().c_str(), FALSE, FALSE);
    const ULONGLONG used = GetDiskSpace(dir.Path().c_str(), TRUE, FALSE);
    EXPECT_GT(free1, 0u);
    EXPECT_GT(used, 0u);
    // Other programs write while the test runs: compare loosely.
    EXPECT_LT(used, total.QuadPart + 1);
    EXPECT_NEAR((double)total.QuadPart, (double)(used + GetDiskSpace(dir.Path().c_str(), FALSE, TRUE)),
                (double)total.QuadPart * 0.01);
    EXPECT_EQ(0u, GetDiskSpace("Q:\\nowhere", FALSE, FALSE));
    EXPECT_EQ(0u, GetDiskSpace("relative\\path", FALSE, FALSE));
}

TEST(PathUtil, FolderSize)
{
    testsupport::ScratchDir dir;
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File("a.bin"), std::string(1000, 'a').data(), 1000));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File("b.bin"), std::string(24, 'b').data(), 24));
    ASSERT_TRUE(::CreateDirectoryA(dir.File("sub").c_str(), NULL));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File("sub\\c.bin"), std::string(300, 'c').data(), 300));
    EXPECT_EQ(1024u, GetFolderSize(dir.Path().c_str(), FALSE));
    EXPECT_EQ(1324u, GetFolderSize(dir.Path().c_str(), TRUE));
    EXPECT_EQ(1324u, GetFolderSize((dir.Path() + "\\").c_str(), TRUE));
    EXPECT_EQ(1000u, GetFolderSize(dir.File("a.bin").c_str(), TRUE));
    EXPECT_EQ(0u, GetFolderSize(dir.File("missing").c_str(), TRUE));
    EXPECT_EQ(0u, GetFolderSize("", TRUE));
    EXPECT_EQ(0u, GetFolderSize(nullptr, TRUE));
}

namespace {

// A recording package with one element, in a fresh folder.
std::string MakePackage(const testsupport::ScratchDir& dir)
{
    const std::string path = dir.File("Demo.skorec");
    CStructuredStorage storage;
    EXPECT_TRUE(storage.Create(CStringW(path.c_str()), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE));
    IStream* stream = nullptr;
    EXPECT_TRUE(storage.CreateStream(&stream, L"Screen_Stream.avi",
                                     STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE));
    if (stream) {
        ULONG written = 0;
        stream->Write("RIFF", 4, &written);
        stream->Release();
    }
    return path;
}

std::string Upper(std::string s)
{
    for (char& c : s)
        c = (char)toupper((unsigned char)c);
    return s;
}

}  // namespace

TEST(PathUtil, IsRecordingFile)
{
    testsupport::ScratchDir dir;
    const std::string package = MakePackage(dir);
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File("plain.avi"), "RIFF", 4));
    struct Case {
        std::string path;
        BOOL expected;
    } cases[] = {
        { dir.File("plain.avi"), TRUE },
        { dir.File("missing.avi"), FALSE },
        { package, TRUE },
        { package + "!Screen_Stream.avi", TRUE },
        { "XRVREC://" + Upper(package) + "!SCREEN_STREAM.AVI", TRUE },
        { "xrvrec://" + package + "!screen_stream.avi", TRUE },
        { package + "!Camera_Stream.wmv", FALSE },
        { package + "!", FALSE },                        // no element: the name as given
        { "Demo.skorec!Screen_Stream.avi", FALSE },       // no folder part
        { dir.File("other.skorec") + "!Screen_Stream.avi", FALSE },
        { dir.File("missing.skorec"), FALSE },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, IsRecordingFile(c.path.c_str())) << c.path;
    EXPECT_FALSE(IsRecordingFile(nullptr));
}

TEST(FileLockList, HoldsRecordingsAgainstWriters)
{
    testsupport::ScratchDir dir;
    const std::string file = dir.File("rec.avi");
    ASSERT_TRUE(testsupport::WriteFileBytes(file, "RIFF", 4));
    {
        CFileLockList list;
        EXPECT_TRUE(list.Add(file.c_str()));
        EXPECT_TRUE(list.Add(Upper(file).c_str()));   // the same file: one entry
        EXPECT_EQ(1, list.GetCount());
        EXPECT_TRUE(list.Contains(Upper(file).c_str()));
        EXPECT_FALSE(list.Add(dir.File("missing.avi").c_str()));
        EXPECT_EQ(1, list.GetCount());
        // Readers may open it; writers and deletion may not.
        HANDLE reader = ::CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                      OPEN_EXISTING, 0, NULL);
        EXPECT_NE(INVALID_HANDLE_VALUE, reader);
        if (reader != INVALID_HANDLE_VALUE)
            ::CloseHandle(reader);
        HANDLE writer = ::CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                      OPEN_EXISTING, 0, NULL);
        EXPECT_EQ(INVALID_HANDLE_VALUE, writer);
        if (writer != INVALID_HANDLE_VALUE)
            ::CloseHandle(writer);
        EXPECT_TRUE(list.ReleaseAll());
        EXPECT_EQ(0, list.GetCount());
        EXPECT_FALSE(list.Contains(file.c_str()));
    }
    HANDLE writer = ::CreateFileA(file.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    EXPECT_NE(INVALID_HANDLE_VALUE, writer);
    if (writer != INVALID_HANDLE_VALUE)
        ::CloseHandle(writer);
}

TEST(VersionInfo, ReadsASystemLibrary)
{
    char system[MAX_PATH];
    ::GetSystemDirectoryA(system, MAX_PATH);
    const std::string path = std::string(system) + "\\comctl32.dll";
    CVersionInfo info;
    ASSERT_TRUE(info.Load(path.c_str()));
    EXPECT_NE(0u, info.GetTranslation());
    // The version text agrees with the fixed block read independently.
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &handle);
    std::string block(size, '\0');
    ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, &block[0]));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(&block[0], "\\", reinterpret_cast<void**>(&fixed), &length));
    char expected[64];
    snprintf(expected, sizeof(expected), "%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS),
             LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(std::string(expected), std::string(info.GetFileVersion()));
    EXPECT_FALSE(info.GetFileDescription().IsEmpty());
    EXPECT_TRUE(info.GetString("NoSuchValue").IsEmpty());

    CVersionInfo none;
    EXPECT_FALSE(none.Load("C:\\missing.dll"));
    EXPECT_TRUE(none.GetFileVersion().IsEmpty());
    EXPECT_TRUE(none.GetInternalName().IsEmpty());
    EXPECT_EQ(0u, none.GetTranslation());
}
