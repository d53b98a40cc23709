#include "settings/FileUtil.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(FileUtil, SplitsPaths)
{
    struct Case {
        const char* path;
        const char* folder;
        const char* name;
    } cases[] = {
        {"C:\\a\\b.txt", "C:\\a\\", "b.txt"},
        {"C:\\a\\", "C:\\a\\", ""},
        {"b.txt", "", "b.txt"},
        {"", "", ""},
        {"\\\\srv\\share\\录像.avi", "\\\\srv\\share\\", "录像.avi"},
    };
    for (const Case& c : cases) {
        CString folder = "x", name = "x";
        SplitPath(c.path, &folder, &name);
        EXPECT_STREQ(c.folder, folder) << c.path;
        EXPECT_STREQ(c.name, name) << c.path;
        EXPECT_STREQ(c.name, GetFileNameFromPath(c.path)) << c.path;
    }
    SplitPath("C:\\a\\b", nullptr, nullptr);   // either output may be omitted
}

TEST(FileUtil, ParentFolder)
{
    struct Case {
        const char* path;
        const char* parent;
    } cases[] = {
        {"C:\\a\\b.txt", "C:\\a"},
        {"C:\\a\\", "C:"},
        {"C:\\a\\b\\  ", "C:\\a"},      // trailing white space is trimmed first
        {"C:file.txt", "C"},            // no backslash: the last colon separates
        {"name", "name"},
        {"", ""},
        {"\\", ""},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.parent, GetParentFolder(c.path)) << c.path;
}

TEST(FileUtil, SplitsFileExtension)
{
    struct Case {
        const char* path;
        BOOL result;
        const char* name;
        const char* ext;
    } cases[] = {
        {"C:\\rec\\movie.avi", TRUE, "movie", "avi"},
        {"C:\\rec\\movie.tar.gz", TRUE, "movie.tar", "gz"},
        {"movie.", TRUE, "movie", ""},
        {"C:\\rec\\movie", FALSE, "keep", "keep"},
        {"C:\\my.folder\\movie", TRUE, "", "folder\\movie"},   // the only dot is in a folder name
    };
    for (const Case& c : cases) {
        CString name = "keep", ext = "keep";
        EXPECT_EQ(c.result, SplitFileExtension(c.path, &name, &ext)) << c.path;
        EXPECT_STREQ(c.name, name) << c.path;
        EXPECT_STREQ(c.ext, ext) << c.path;
    }
    EXPECT_TRUE(SplitFileExtension("a.b", nullptr, nullptr));
}

TEST(FileUtil, PathRoot)
{
    struct Case {
        const char* path;
        BOOL result;
        const char* after;
    } cases[] = {
        {"C:\\rec\\a.avi", TRUE, "C:"},
        {"d:/rec", TRUE, "d:"},
        {"C:\\", TRUE, "C:"},
        {"C:", FALSE, "C:"},
        {"1:\\x", FALSE, "1:\\x"},
        {"rec\\a.avi", FALSE, "rec\\a.avi"},
        {"\\\\server\\share\\dir\\a.avi", TRUE, "\\\\server\\share\\"},
        {"//server/share", TRUE, "\\\\server\\share\\"},
        {"\\\\server", FALSE, "\\\\server"},
        {"\\\\server\\", FALSE, "\\\\server\\"},
        {"\\\\", FALSE, "\\\\"},
    };
    for (const Case& c : cases) {
        CString path = c.path;
        EXPECT_EQ(c.result, GetPathRoot(path)) << c.path;
        EXPECT_STREQ(c.after, path) << c.path;
    }
}

TEST(FileUtil, ElapsedAndReferenceTimeTexts)
{
    struct Case {
        DWORD ms;
        BOOL fractions;
        const char* text;
    } cases[] = {
        {3723456, FALSE, "1:02:03"},
        {3723456, TRUE, "1:02:03.46"},
        {0, FALSE, "0:00:00"},
        {0, TRUE, "0:00:00.00"},
        {59999, FALSE, "0:00:59"},
        {90000000, FALSE, "25:00:00"},     // hours do not wrap at 24
        {0xFFFFFFFFu, FALSE, "1193:02:47"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(c.text, FormatElapsedTime(c.ms, c.fractions)) << c.ms;
        EXPECT_STREQ(c.text, FormatReferenceTime(static_cast<LONGLONG>(c.ms) * 10000, c.fractions)) << c.ms;
    }
    // Only the low 32 bits of the millisecond count are shown.
    EXPECT_STREQ("0:00:01", FormatReferenceTime((0x100000000LL + 1000) * 10000, FALSE));
}

CString ThousandsSeparator()
{
    char buf[8] = "";
    ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buf, sizeof(buf));
    return CString(buf);
}

CString DecimalSeparator()
{
    char buf[8] = "";
    ::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, sizeof(buf));
    return CString(buf);
}

TEST(FileUtil, ThousandsFollowTheLocale)
{
    const CString sep = ThousandsSeparator();
    ASSERT_FALSE(sep.IsEmpty());
    EXPECT_STREQ("1" + sep + "234" + sep + "567", FormatThousands(1234567));
    EXPECT_STREQ("999", FormatThousands(999));
    EXPECT_STREQ("0", FormatThousands(0));
    EXPECT_STREQ("1" + sep + "000", FormatThousands(1000));
    EXPECT_STREQ("18" + sep + "446" + sep + "744" + sep + "073" + sep + "709" + sep + "551" + sep + "615",
                 FormatThousands(0xFFFFFFFFFFFFFFFFull));
}

TEST(FileUtil, ByteSizeTexts)
{
    const CString dec = DecimalSeparator();
    const CString sep = ThousandsSeparator();
    struct Case {
        ULONGLONG size;
        BOOL exact;
        CString text;
    } cases[] = {
        {1023, TRUE, "1023 字节"},
        {1023, FALSE, "1023 字节"},
        {0, TRUE, "0 字节"},
        {1536, TRUE, "1" + dec + "50 KB (1" + sep + "536 字节)"},
        {1536, FALSE, "1" + dec + "50 KB"},
        {1024, FALSE, "1" + dec + "00 KB"},
        {5 * 1048576ull + 1048576ull / 4, FALSE, "5" + dec + "25 MB"},
        {3ull << 30, FALSE, "3" + dec + "00 GB"},
        {2048ull << 30, FALSE, "2048" + dec + "00 GB"},   // GB is the largest unit
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.text, FormatByteSize(c.size, c.exact)) << c.size;
}

TEST(FileUtil, DllVersion)
{
    // Wine's common controls report 5.81 (comctl32 v5); the value packs major/minor.
    const DWORD comctl = GetDllVersion("comctl32.dll");
    EXPECT_GE(comctl >> 16, 5u);
    EXPECT_NE(0u, comctl & 0xFFFF);
    EXPECT_EQ(0u, GetDllVersion("kernel32.dll"));          // no DllGetVersion export
    EXPECT_EQ(0u, GetDllVersion("no-such-library.dll"));
}

TEST(FileUtil, IsDirectoryAndSize)
{
    testsupport::ScratchDir dir;
    const std::string file = dir.File("five.bin");
    ASSERT_TRUE(testsupport::WriteFileBytes(file, "12345", 5));
    EXPECT_TRUE(IsDirectory(dir.Path().c_str()));
    EXPECT_FALSE(IsDirectory(file.c_str()));
    EXPECT_FALSE(IsDirectory(dir.File("missing").c_str()));
    EXPECT_EQ(5u, GetFileSize64(file.c_str(), 77));
    EXPECT_EQ(77u, GetFileSize64(dir.File("missing").c_str(), 77));
}

TEST(FileUtil, UniqueFilesAndFolders)
{
    testsupport::ScratchDir dir;
    char path[MAX_PATH];
    ASSERT_TRUE(CreateUniqueFile(dir.Path().c_str(), "SkoCapture", "avi", path, FALSE));
    std::string first = path;
    EXPECT_EQ(0u, first.find(dir.Path() + "\\SkoCapture"));
    EXPECT_EQ(first.size() - 4, first.rfind(".avi"));
    EXPECT_FALSE(IsDirectory(path));
    EXPECT_EQ(0u, GetFileSize64(path, 99));

    // A folder given with its backslash gets no second one; the dot is not doubled.
    CString second;
    ASSERT_TRUE(CreateUniqueFileName((dir.Path() + "\\").c_str(), "SkoCapture", ".avi", second, FALSE));
    EXPECT_EQ(std::string::npos, std::string(second).find("\\\\", 2));
    EXPECT_EQ(std::string::npos, std::string(second).find(".."));
    EXPECT_STRNE(first.c_str(), second);

    CString folder;
    ASSERT_TRUE(CreateUniqueFileName(dir.Path().c_str(), "SkoCapture", "", folder, TRUE));
    EXPECT_TRUE(IsDirectory(folder));
}

TEST(FileUtil, UniqueFileSkipsTakenNumbers)
{
    testsupport::ScratchDir dir;
    // Occupy the next few hundred numbers from now; the helper must step past them.
    const DWORD start = ::GetTickCount();
    std::vector<std::string> taken;
    for (DWORD n = start; n < start + 300; ++n) {
        char name[64];
        wsprintfA(name, "R%lx.tmp", n);
        taken.push_back(dir.File(name));
        ASSERT_TRUE(testsupport::WriteFileBytes(taken.back(), "x", 1));
    }
    CString path;
    ASSERT_TRUE(CreateUniqueFileName(dir.Path().c_str(), "R", "tmp", path, FALSE));
    for (const std::string& t : taken)
        EXPECT_STRNE(t.c_str(), path);
    EXPECT_EQ(0u, GetFileSize64(path, 99));   // a new, empty file
}

TEST(FileUtil, UniqueFileRefusesTooLongPaths)
{
    testsupport::ScratchDir dir;
    const std::string longFolder = dir.Path() + "\\" + std::string(250 - dir.Path().size() - 1, 'f');
    ASSERT_EQ(250u, longFolder.size());
    char path[MAX_PATH] = "junk";
    EXPECT_FALSE(CreateUniqueFile(longFolder.c_str(), "SkoCapture", "avi", path, FALSE));
    EXPECT_STREQ("", path);
    // Nothing was created in the scratch folder.
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((dir.Path() + "\\*").c_str(), &fd);
    int entries = 0;
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (fd.cFileName[0] != '.')
                ++entries;
        } while (::FindNextFileA(h, &fd));
        ::FindClose(h);
    }
    EXPECT_EQ(0, entries);
}

TEST(FileUtil, UniqueFileInMissingFolderFails)
{
    testsupport::ScratchDir dir;
    CString path = "junk";
    EXPECT_FALSE(CreateUniqueFileName(dir.File("no\\such").c_str(), "x", "y", path, FALSE));
    EXPECT_TRUE(path.IsEmpty());
}

// Prompt seam: counts prompts and answers from a script.
std::vector<int> g_answers;
std::vector<std::string> g_prompts;
int ScriptedPrompt(const CString& text)
{
    g_prompts.push_back(text.GetString());
    int answer = g_answers.empty() ? IDCANCEL : g_answers.front();
    if (!g_answers.empty())
        g_answers.erase(g_answers.begin());
    return answer;
}

class FileRetryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_answers.clear();
        g_prompts.clear();
        SetFileRetryPrompt(ScriptedPrompt);
    }
    void TearDown() override { SetFileRetryPrompt(nullptr); }
    testsupport::ScratchDir m_dir{"vxretry"};
};

TEST_F(FileRetryTest, DeleteMissingFileCountsAsDeleted)
{
    EXPECT_TRUE(DeleteFileRetry(m_dir.File("missing.avi").c_str(), 10406));
    EXPECT_TRUE(g_prompts.empty());
}

TEST_F(FileRetryTest, DeleteOfLockedFilePromptsAndRetries)
{
    const std::string file = m_dir.File("locked.avi");
    ASSERT_TRUE(testsupport::WriteFileBytes(file, "x", 1));
    HANDLE lock = ::CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);

    g_answers = {IDRETRY, IDCANCEL};
    EXPECT_FALSE(DeleteFileRetry(file.c_str(), 10406));
    ASSERT_EQ(2u, g_prompts.size());
    // The message resource is formatted with the path ("%1 字节").
    EXPECT_EQ(file + " 字节", g_prompts[0]);
    ::CloseHandle(lock);

    g_prompts.clear();
    EXPECT_TRUE(DeleteFileRetry(file.c_str(), 10406));
    EXPECT_TRUE(g_prompts.empty());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(file.c_str()));
}

TEST_F(FileRetryTest, MoveReplacesTheTarget)
{
    const std::string from = m_dir.File("from.avi");
    const std::string to = m_dir.File("to.avi");
    ASSERT_TRUE(testsupport::WriteFileBytes(from, "new", 3));
    ASSERT_TRUE(testsupport::WriteFileBytes(to, "old!", 4));
    EXPECT_TRUE(MoveFileReplace(from.c_str(), to.c_str(), 10406));
    std::string data;
    ASSERT_TRUE(testsupport::ReadFileBytes(to, &data));
    EXPECT_EQ("new", data);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(from.c_str()));
    EXPECT_TRUE(g_prompts.empty());
}

TEST_F(FileRetryTest, MoveOfMissingSourceFailsWithoutPrompt)
{
    const std::string to = m_dir.File("to.avi");
    ASSERT_TRUE(testsupport::WriteFileBytes(to, "keep", 4));
    EXPECT_FALSE(MoveFileReplace(m_dir.File("missing.avi").c_str(), to.c_str(), 10406));
    EXPECT_TRUE(g_prompts.empty());
    std::string data;
    ASSERT_TRUE(testsupport::ReadFileBytes(to, &data));
    EXPECT_EQ("keep", data);   // the target is untouched
}

TEST_F(FileRetryTest, MoveOntoLockedTargetPromptsWithTheTarget)
{
    const std::string from = m_dir.File("from.avi");
    const std::string to = m_dir.File("to.avi");
    ASSERT_TRUE(testsupport::WriteFileBytes(from, "new", 3));
    ASSERT_TRUE(testsupport::WriteFileBytes(to, "old", 3));
    HANDLE lock = ::CreateFileA(to.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    g_answers = {IDCANCEL};
    EXPECT_FALSE(MoveFileReplace(from.c_str(), to.c_str(), 10406));
    ASSERT_EQ(1u, g_prompts.size());
    EXPECT_EQ(to + " 字节", g_prompts[0]);
    ::CloseHandle(lock);
    std::string data;
    ASSERT_TRUE(testsupport::ReadFileBytes(from, &data));
    EXPECT_EQ("new", data);   // nothing lost: the source is still there
}

}  // namespace
