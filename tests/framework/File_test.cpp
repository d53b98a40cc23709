#include "framework/Exceptions.h"
#include "framework/File.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CFile, WriteSeekReadAndLength)
{
    testsupport::ScratchDir dir("fwfile");
    const std::string path = dir.File("data.bin");
    {
        CFile f;
        ASSERT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive));
        f.Write("0123456789", 10);
        EXPECT_EQ(10u, f.GetLength());
        EXPECT_EQ(4u, f.Seek(-6, CFile::end));
        f.Write("ab", 2);
        EXPECT_EQ(6u, f.GetPosition());
        f.SetLength(8);
        f.Close();
        EXPECT_EQ(CFile::hFileNull, f.m_hFile);
    }
    CFile f(path.c_str(), CFile::modeRead | CFile::shareDenyWrite);
    char buf[16] = {};
    EXPECT_EQ(8u, f.Read(buf, sizeof(buf)));
    EXPECT_EQ(std::string("0123ab67"), std::string(buf, 8));
    EXPECT_EQ(0u, f.Read(buf, 4));              // at the end
    f.SeekToBegin();
    EXPECT_EQ(2u, f.Read(buf, 2));
    EXPECT_EQ(8u, f.SeekToEnd());
    EXPECT_STREQ("data.bin", f.GetFileName());
    EXPECT_STREQ("data", f.GetFileTitle());
    EXPECT_STREQ(path.c_str(), f.GetFilePath());
    f.Close();

    // modeNoTruncate keeps the content.
    CFile g;
    ASSERT_TRUE(g.Open(path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite |
                                         CFile::shareDenyNone));
    EXPECT_EQ(8u, g.GetLength());
}

TEST(CFile, OpenFailuresReportTheCause)
{
    testsupport::ScratchDir dir("fwfile");
    const std::string missing = dir.File("missing.txt");
    CFile f;
    CFileException e;
    EXPECT_FALSE(f.Open(missing.c_str(), CFile::modeRead, &e));
    EXPECT_EQ(CFileException::fileNotFound, e.m_cause);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, e.m_lOsError);
    EXPECT_STREQ(missing.c_str(), e.m_strFileName);

    EXPECT_FALSE(f.Open(dir.File("no\\such\\dir.txt").c_str(), CFile::modeRead, &e));
    EXPECT_EQ(CFileException::badPath, e.m_cause);

    try {
        CFile thrower(missing.c_str(), CFile::modeRead);
        FAIL() << "opening a missing file did not throw";
    } catch (CFileException* ex) {
        EXPECT_EQ(CFileException::fileNotFound, ex->m_cause);
        ex->Delete();
    }

    const std::string locked = dir.File("locked.txt");
    CFile owner(locked.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
    EXPECT_FALSE(f.Open(locked.c_str(), CFile::modeRead | CFile::shareDenyNone, &e));
    EXPECT_EQ(CFileException::sharingViolation, e.m_cause);
}

TEST(CFile, RenameRemoveAndDoubleBytePaths)
{
    testsupport::ScratchDir dir("fwfile");
    // 昞 = 95 5C: its trail byte is a backslash.
    const std::string name = "\x95\x5C" "文件.txt";
    const std::string path = dir.File(name);
    {
        CFile f(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        EXPECT_EQ(name, std::string(f.GetFileName().GetString()));
        EXPECT_EQ("\x95\x5C" "文件", std::string(f.GetFileTitle().GetString()));
    }
    const std::string renamed = dir.File("renamed.txt");
    CFile::Rename(path.c_str(), renamed.c_str());
    CFileStatus st;
    EXPECT_TRUE(CFile::GetStatus(renamed.c_str(), st));
    EXPECT_FALSE(CFile::GetStatus(path.c_str(), st));
    CFile::Remove(renamed.c_str());
    EXPECT_FALSE(CFile::GetStatus(renamed.c_str(), st));
    try {
        CFile::Remove(renamed.c_str());
        FAIL() << "removing a missing file did not throw";
    } catch (CFileException* e) {
        EXPECT_EQ(CFileException::fileNotFound, e->m_cause);
        e->Delete();
    }
}

TEST(CMemFile, GrowsSeeksAndDetaches)
{
    CMemFile f(16);
    f.Write("abc", 3);
    f.Seek(10, CFile::begin);
    f.Write("z", 1);                            // the gap reads as zeros
    EXPECT_EQ(11u, f.GetLength());
    char buf[11];
    f.SeekToBegin();
    EXPECT_EQ(11u, f.Read(buf, 20));
    EXPECT_EQ(std::string("abc\0\0\0\0\0\0\0z", 11), std::string(buf, 11));
    f.SetLength(2);
    EXPECT_EQ(2u, f.GetLength());
    EXPECT_EQ(2u, f.GetPosition());

    try {
        f.Seek(-5, CFile::begin);
        FAIL() << "seeking before the start did not throw";
    } catch (CFileException* e) {
        EXPECT_EQ(CFileException::badSeek, e->m_cause);
        e->Delete();
    }

    BYTE* p = f.Detach();
    ASSERT_NE(nullptr, p);
    EXPECT_EQ('a', p[0]);
    free(p);
    EXPECT_EQ(0u, f.GetLength());
}

TEST(CMemFile, AttachedFixedBufferDoesNotGrow)
{
    BYTE fixed[4] = { 1, 2, 3, 4 };
    CMemFile f(fixed, sizeof(fixed));
    EXPECT_EQ(4u, f.GetLength());
    BYTE b[2];
    EXPECT_EQ(2u, f.Read(b, 2));
    EXPECT_EQ(3, b[1] + 1);
    f.SeekToEnd();
    try {
        f.Write("x", 1);
        FAIL() << "writing past a fixed buffer did not throw";
    } catch (CMemoryException* e) {
        e->Delete();
    }
    EXPECT_EQ(fixed, f.Detach());
}

TEST(CStdioFile, TextModeTranslatesLineEnds)
{
    testsupport::ScratchDir dir("fwfile");
    const std::string path = dir.File("lines.txt");
    {
        CStdioFile f(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeText);
        f.WriteString("first\n");
        f.WriteString("中文\nlast");
    }
    std::string raw;
    ASSERT_TRUE(testsupport::ReadFileBytes(path, &raw));
    EXPECT_EQ("first\r\n中文\r\nlast", raw);

    CStdioFile f;
    ASSERT_TRUE(f.Open(path.c_str(), CFile::modeRead | CFile::typeText));
    CString line;
    ASSERT_TRUE(f.ReadString(line));
    EXPECT_STREQ("first", line);
    ASSERT_TRUE(f.ReadString(line));
    EXPECT_STREQ("中文", line);
    ASSERT_TRUE(f.ReadString(line));
    EXPECT_STREQ("last", line);
    EXPECT_FALSE(f.ReadString(line));
    EXPECT_TRUE(line.IsEmpty());

    // A line longer than the read piece.
    const std::string longPath = dir.File("long.txt");
    const std::string longLine(1000, 'q');
    {
        CStdioFile out(longPath.c_str(), CFile::modeCreate | CFile::modeWrite);
        out.WriteString((longLine + "\n").c_str());
    }
    CStdioFile in(longPath.c_str(), CFile::modeRead);
    ASSERT_TRUE(in.ReadString(line));
    EXPECT_EQ(1000, line.GetLength());
}

}  // namespace
