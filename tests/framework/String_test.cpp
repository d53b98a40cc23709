#include "framework/String.h"
#include "framework/Exceptions.h"
#include "tests/framework/FrameworkTestIds.h"

#include <gtest/gtest.h>

#include <string>

// Double-byte characters in code page 936 (GBK) whose trail byte is an ASCII
// character: 昞 = 95 5C (trail '\\'), 旳 = 95 41 (trail 'A'), 昦 = 95 61 (trail 'a').
#define GBK_TRAIL_BACKSLASH "\x95\x5C"
#define GBK_TRAIL_UPPER_A "\x95\x41"
#define GBK_TRAIL_LOWER_A "\x95\x61"
// 中 = D6 D0, 文 = CE C4.
#define GBK_ZHONG "\xD6\xD0"
#define GBK_WEN "\xCE\xC4"

namespace {

template <typename... Args> CString Fmt(const char* fmt, const Args&... args)
{
    CString s;
    s.Format(fmt, args...);
    return s;
}

std::string Bytes(const CString& s)
{
    return std::string(s.GetString(), (size_t)s.GetLength());
}

TEST(CString, FormatFollowsTheMicrosoftRuntime)
{
    CString name("abc");
    const struct {
        const char* label;
        CString got;
        const char* expected;
    } cases[] = {
        { "%d", Fmt("%d", -5), "-5" },
        { "%u", Fmt("%u", 4000000000u), "4000000000" },
        { "%x", Fmt("%x", 255), "ff" },
        { "%08X", Fmt("%08X", 0xBEEFu), "0000BEEF" },
        { "%02d", Fmt("%02d:%02d", 7, 5), "07:05" },
        { "%ld", Fmt("%ld", -123456L), "-123456" },
        { "%lu", Fmt("%lu", 4000000000UL), "4000000000" },
        { "%I64d", Fmt("%I64d", -9000000000LL), "-9000000000" },
        { "%I64u", Fmt("%I64u", 18446744073709551615ULL), "18446744073709551615" },
        { "%I64d then %d", Fmt("%I64d|%d", 5000000000LL, 42), "5000000000|42" },
        { "%05.2f", Fmt("%05.2f", 3.14159), "03.14" },
        { "%f", Fmt("%f", 1.5), "1.500000" },
        { "%.1f of float", Fmt("%.1f", 2.3f), "2.3" },
        { "%s CString", Fmt("[%s]", name), "[abc]" },
        { "%s char*", Fmt("%s%s", GBK_ZHONG, GBK_WEN), GBK_ZHONG GBK_WEN },
        { "%-4s|", Fmt("%-4s|", "ab"), "ab  |" },
        { "%c", Fmt("%c", 'Q'), "Q" },
        { "%%", Fmt("100%%"), "100%" },
    };
    for (const auto& c : cases)
        EXPECT_STREQ(c.expected, c.got) << "case " << c.label;
}

TEST(CString, FormatGrowsForLongOutputAndAppends)
{
    CString longText('x', 1000);
    CString s;
    s.Format("<%s>", longText);
    EXPECT_EQ(1002, s.GetLength());
    EXPECT_EQ('>', s[1001]);

    s = "n=";
    s.AppendFormat("%d,%s", 12, "z");
    EXPECT_STREQ("n=12,z", s);
}

TEST(CString, FormatMessageInsertsByNumber)
{
    CString s;
    s.FormatMessage("%2 和 %1!d! 个", 3, CString(GBK_ZHONG));
    EXPECT_STREQ(GBK_ZHONG " 和 3 个", s);
}

TEST(CString, LoadsFromTheStringTable)
{
    CString s;
    ASSERT_TRUE(s.LoadString(IDS_FWTEST_PLAIN));
    EXPECT_STREQ("中文字符串", s);

    CString fromId((LPCTSTR)MAKEINTRESOURCE(IDS_FWTEST_PLAIN));
    EXPECT_STREQ("中文字符串", fromId);

    CString f;
    f.Format(IDS_FWTEST_FORMAT, 4);
    EXPECT_STREQ("共 4 个文件", f);

    CString m;
    m.FormatMessage(IDS_FWTEST_MESSAGE, "a.txt");
    EXPECT_STREQ("找不到 a.txt。", m);

    CString missing("old");
    EXPECT_FALSE(missing.LoadString(9999));
    EXPECT_TRUE(missing.IsEmpty());
}

TEST(CString, FindSkipsTrailBytesOfDoubleByteCharacters)
{
    const CString s("a" GBK_TRAIL_BACKSLASH "\\b" GBK_TRAIL_UPPER_A "A");
    //               0  1-2                 3 4  5-6                7
    EXPECT_EQ(3, s.Find('\\'));
    EXPECT_EQ(3, s.ReverseFind('\\'));
    EXPECT_EQ(7, s.Find('A'));
    EXPECT_EQ(7, s.ReverseFind('A'));
    EXPECT_EQ(-1, s.Find('\\', 4));
    EXPECT_EQ(3, s.Find("\\b"));
    EXPECT_EQ(1, s.Find(GBK_TRAIL_BACKSLASH));
    EXPECT_EQ(3, s.FindOneOf("A\\"));

    EXPECT_EQ(-1, CString(GBK_TRAIL_BACKSLASH).Find('\\'));
    EXPECT_EQ(-1, CString(GBK_TRAIL_BACKSLASH).ReverseFind('\\'));

    // D0 CE is a byte pair inside 中文 but not a character of it.
    const CString zw(GBK_ZHONG GBK_WEN GBK_ZHONG GBK_WEN);
    EXPECT_EQ(-1, zw.Find("\xD0\xCE"));
    EXPECT_EQ(2, zw.Find(GBK_WEN));
    EXPECT_EQ(6, zw.Find(GBK_WEN, 3));
    EXPECT_EQ(-1, zw.Find(GBK_WEN, 7));
}

TEST(CString, ReplaceAndRemove)
{
    CString path(GBK_TRAIL_BACKSLASH "\\dir\\file");
    EXPECT_EQ(2, path.Replace('\\', '/'));
    EXPECT_EQ(GBK_TRAIL_BACKSLASH "/dir/file", Bytes(path));

    const struct {
        const char* text;
        const char* from;
        const char* to;
        int count;
        const char* expected;
    } cases[] = {
        { "a-b-c", "-", "--", 2, "a--b--c" },
        { "aaaa", "aa", "b", 2, "bb" },
        { "abc", "x", "y", 0, "abc" },
        { "abc", "", "y", 0, "abc" },
        { "abcabc", "abc", "", 2, "" },
        { GBK_ZHONG GBK_WEN, GBK_WEN, "X", 1, GBK_ZHONG "X" },
        { GBK_ZHONG GBK_WEN, "\xD0\xCE", "X", 0, GBK_ZHONG GBK_WEN },
    };
    for (const auto& c : cases) {
        CString s(c.text);
        EXPECT_EQ(c.count, s.Replace(c.from, c.to)) << c.text << " / " << c.from;
        EXPECT_EQ(std::string(c.expected), Bytes(s)) << c.text << " / " << c.from;
    }

    CString r("x" GBK_TRAIL_UPPER_A "AxA");
    EXPECT_EQ(2, r.Remove('A'));
    EXPECT_EQ("x" GBK_TRAIL_UPPER_A "x", Bytes(r));
}

TEST(CString, TrimWhitespaceCharactersAndSets)
{
    const struct {
        const char* label;
        CString got;
        const char* expected;
    } cases[] = {
        { "Trim", CString(" \t x y \r\n").Trim(), "x y" },
        { "TrimLeft", CString("  x ").TrimLeft(), "x " },
        { "TrimRight", CString("  x ").TrimRight(), "  x" },
        { "Trim char", CString("--x--").Trim('-'), "x" },
        { "TrimLeft set", CString("xyxabc").TrimLeft("xy"), "abc" },
        { "TrimRight set", CString("abc.;.").TrimRight(".;"), "abc" },
        { "all trimmed", CString("   ").Trim(), "" },
        { "trail byte kept", CString(GBK_TRAIL_BACKSLASH).TrimRight('\\'), GBK_TRAIL_BACKSLASH },
        { "trail byte then real", CString(GBK_TRAIL_BACKSLASH "\\\\").TrimRight('\\'), GBK_TRAIL_BACKSLASH },
        { "double-byte in set", CString(GBK_ZHONG "a" GBK_ZHONG).Trim(GBK_ZHONG), "a" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::string(c.expected), Bytes(c.got)) << "case " << c.label;
}

TEST(CString, MidLeftRightClampOutOfRange)
{
    const CString s("hello");
    const struct {
        const char* label;
        CString got;
        const char* expected;
    } cases[] = {
        { "Mid(3)", s.Mid(3), "lo" },
        { "Mid(-1,2)", s.Mid(-1, 2), "he" },
        { "Mid(2,100)", s.Mid(2, 100), "llo" },
        { "Mid(10)", s.Mid(10), "" },
        { "Mid(1,-5)", s.Mid(1, -5), "" },
        { "Left(2)", s.Left(2), "he" },
        { "Left(-1)", s.Left(-1), "" },
        { "Left(99)", s.Left(99), "hello" },
        { "Right(2)", s.Right(2), "lo" },
        { "Right(99)", s.Right(99), "hello" },
        { "Right(-3)", s.Right(-3), "" },
    };
    for (const auto& c : cases)
        EXPECT_STREQ(c.expected, c.got) << "case " << c.label;
}

TEST(CString, TokenizeSkipsEmptyTokens)
{
    const CString s(",,a,b;;c" GBK_ZHONG ";");
    std::string joined;
    int pos = 0;
    for (CString t = s.Tokenize(",;", pos); pos != -1; t = s.Tokenize(",;", pos))
        joined += "[" + Bytes(t) + "]";
    EXPECT_EQ("[a][b][c" GBK_ZHONG "]", joined);

    int p2 = 0;
    EXPECT_TRUE(CString(",,,").Tokenize(",", p2).IsEmpty());
    EXPECT_EQ(-1, p2);
}

TEST(CString, CaseChangesLeaveDoubleByteCharactersAlone)
{
    CString up("ab" GBK_TRAIL_LOWER_A "z");
    up.MakeUpper();
    EXPECT_EQ("AB" GBK_TRAIL_LOWER_A "Z", Bytes(up));

    CString low("X" GBK_TRAIL_UPPER_A "Y");
    low.MakeLower();
    EXPECT_EQ("x" GBK_TRAIL_UPPER_A "y", Bytes(low));

    CString rev("a" GBK_ZHONG "b" GBK_WEN);
    rev.MakeReverse();
    EXPECT_EQ(GBK_WEN "b" GBK_ZHONG "a", Bytes(rev));
}

TEST(CString, Comparisons)
{
    const CString abc("abc");
    EXPECT_TRUE(abc == "abc");
    EXPECT_TRUE("abc" == abc);
    EXPECT_TRUE(abc != "abd");
    EXPECT_TRUE(abc < "abd");
    EXPECT_TRUE(abc < CString("b"));
    EXPECT_TRUE(abc > "ab");
    EXPECT_TRUE(abc <= "abc");
    EXPECT_TRUE("abd" > abc);
    EXPECT_LT(abc.Compare("abd"), 0);
    EXPECT_GT(abc.Compare(""), 0);
    EXPECT_EQ(0, abc.Compare("abc"));
    // Bytes compare unsigned: a double-byte character sorts after ASCII.
    EXPECT_LT(CString("z").Compare(GBK_ZHONG), 0);

    EXPECT_EQ(0, CString("HeLLo").CompareNoCase("hello"));
    EXPECT_LT(CString("apple").CompareNoCase("BANANA"), 0);
    // Trail bytes 'A' and 'a' belong to different characters.
    EXPECT_NE(0, CString(GBK_TRAIL_UPPER_A).CompareNoCase(GBK_TRAIL_LOWER_A));
    EXPECT_EQ(0, CString("x" GBK_ZHONG "Y").CompareNoCase("X" GBK_ZHONG "y"));
}

TEST(CString, EditingOperations)
{
    CString s("hello");
    EXPECT_EQ(7, s.Insert(0, "<<"));
    EXPECT_EQ(8, s.Insert(100, '>'));
    EXPECT_STREQ("<<hello>", s);
    EXPECT_EQ(6, s.Delete(0, 2));
    EXPECT_EQ(5, s.Delete(5, 10));
    EXPECT_STREQ("hello", s);
    s.SetAt(0, 'J');
    EXPECT_EQ('J', s.GetAt(0));
    EXPECT_STREQ("123", CString("123abc").SpanIncluding("0123456789"));
    EXPECT_STREQ("key", CString("key=value").SpanExcluding("=;"));

    CString t = CString("a") + 'b' + "c" + CString("d");
    t += "e";
    t += 'f';
    EXPECT_STREQ("abcdef", t);
    t = t.Mid(2);                               // assignment from its own text
    EXPECT_STREQ("cdef", t);
}

TEST(CString, InvalidIndexThrows)
{
    CString s("ab");
    try {
        s.SetAt(2, 'x');
        FAIL() << "SetAt past the end did not throw";
    } catch (CInvalidArgException* e) {
        e->Delete();
    }
    EXPECT_STREQ("ab", s);
}

TEST(CString, GetBufferAndReleaseBuffer)
{
    CString s;
    char* p = s.GetBuffer(10);
    strcpy(p, "abc");
    s.ReleaseBuffer();
    EXPECT_EQ(3, s.GetLength());
    EXPECT_STREQ("abc", s);

    p = s.GetBuffer(20);
    EXPECT_STREQ("abc", p);                     // content is kept
    strcpy(p, "abcdef");
    s.ReleaseBuffer(2);
    EXPECT_STREQ("ab", s);

    p = s.GetBufferSetLength(4);
    p[2] = 'c';
    p[3] = 'd';
    s.ReleaseBuffer(4);
    EXPECT_STREQ("abcd", s);

    CString copy(s);
    copy.GetBuffer()[0] = 'X';
    copy.ReleaseBuffer();
    EXPECT_STREQ("abcd", s);                    // copies never share a buffer
    EXPECT_STREQ("Xbcd", copy);
}

TEST(CString, ConvertsBetweenAnsiAndWide)
{
    const CString ansi(GBK_ZHONG GBK_WEN "a");
    const CStringW wide(ansi);
    EXPECT_EQ(3, wide.GetLength());
    EXPECT_STREQ(L"\u4e2d\u6587a", wide);

    const CString back(wide);
    EXPECT_EQ(Bytes(ansi), Bytes(back));

    BSTR b = ansi.AllocSysString();
    EXPECT_EQ(3u, ::SysStringLen(b));
    EXPECT_STREQ(L"\u4e2d\u6587a", b);
    ::SysFreeString(b);

    CStringW w(L"Path\\File");
    EXPECT_EQ(4, w.ReverseFind(L'\\'));
    w.MakeUpper();
    EXPECT_STREQ(L"PATH\\FILE", w);
    CStringW f;
    f.Format(L"%s=%d", w, 5);
    EXPECT_STREQ(L"PATH\\FILE=5", f);
}

}  // namespace
