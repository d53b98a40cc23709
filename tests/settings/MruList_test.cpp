#include "settings/MruList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Entries(const CMruList& list)
{
    std::vector<std::string> out;
    for (POSITION pos = list.GetHeadPosition(); pos;)
        out.push_back(std::string(list.GetNext(pos)));
    return out;
}

std::string Text(const CMruList& list)
{
    CString text;
    list.ToText(text);
    return std::string(text);
}

typedef std::vector<std::string> V;

}  // namespace

TEST(MruList, AddKeepsTheNewestFirst)
{
    CMruList list(4);
    list.Add("a");
    list.Add("b");
    list.Add("c");
    EXPECT_EQ((V{ "c", "b", "a" }), Entries(list));
    list.Add("c");   // already the newest: unchanged
    EXPECT_EQ((V{ "c", "b", "a" }), Entries(list));
    list.Add("a");   // third: moves to the front, nothing dropped
    EXPECT_EQ((V{ "a", "c", "b" }), Entries(list));
    list.Add("");
    list.Add(nullptr);
    EXPECT_EQ(3, list.GetCount());
    list.Add("d");
    list.Add("e");   // full: the oldest goes
    EXPECT_EQ((V{ "e", "d", "a", "c" }), Entries(list));
    CString first;
    list.GetFirst(first);
    EXPECT_EQ(std::string("e"), std::string(first));
    CMruList empty(4);
    first = "x";
    empty.GetFirst(first);
    EXPECT_TRUE(first.IsEmpty());
}

TEST(MruList, TextForm)
{
    CMruList list(32);
    list.Add("b");
    list.Add("a");
    EXPECT_EQ("a*b*", Text(list));
    CMruList empty(32);
    EXPECT_EQ("", Text(empty));

    struct Case {
        const char* text;
        int max;
        V entries;
    } cases[] = {
        { "a*b*", 32, { "a", "b" } },
        { "*a*b*", 32, {} },              // begins with a star
        { "no star", 32, {} },
        { "a*b", 32, { "a" } },           // a rest without a star is not added
        { "a**b*", 32, { "a*b" } },       // a doubled star belongs to the entry
        { "INIT*", 32, { "INIT" } },
        { "a*b*c*d*e*", 3, { "a", "b", "c" } },
        { "", 32, {} },
        { "中文*路径\\文件*", 32, { "中文", "路径\\文件" } },
    };
    for (const auto& c : cases) {
        CMruList l(c.max);
        l.FromText(c.text);
        EXPECT_EQ(c.entries, Entries(l)) << c.text;
    }
}

// An entry holding the separator stays one entry through the text form.
TEST(MruList, EntryWithTheSeparatorDoesNotSplit)
{
    CMruList list(32);
    list.Add("last");
    list.Add("a*b");
    list.Add("*edge*");
    const std::string text = Text(list);
    EXPECT_EQ("**edge***a**b*last*", text);
    CMruList back(32);
    back.FromText(text.c_str());
    EXPECT_EQ((V{ "*edge*", "a*b", "last" }), Entries(back));
}

TEST(MruList, ToTextWritesAtMostTheMaximum)
{
    CMruList list(2);
    list.AddTail("x");
    list.AddTail("y");
    list.AddTail("z");   // more than the maximum, added around Add
    EXPECT_EQ("x*y*", Text(list));
}

TEST(MruList, CopyAndComboBox)
{
    CMruList a(8);
    a.Add("one");
    a.Add("two");
    CMruList b(8);
    b.Add("old");
    b.Copy(a);
    EXPECT_EQ((V{ "two", "one" }), Entries(b));

    HWND combo = ::CreateWindowA("COMBOBOX", "", CBS_DROPDOWN | WS_POPUP, 0, 0, 100, 100, NULL, NULL, NULL, NULL);
    ASSERT_NE(nullptr, combo);
    ::SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM) "keep");
    CMruList empty(8);
    empty.FillComboBox(combo);
    EXPECT_EQ(1, ::SendMessageA(combo, CB_GETCOUNT, 0, 0));
    a.FillComboBox(combo);
    ASSERT_EQ(2, ::SendMessageA(combo, CB_GETCOUNT, 0, 0));
    char text[32] = {};
    ::SendMessageA(combo, CB_GETLBTEXT, 0, (LPARAM)text);
    EXPECT_STREQ("two", text);
    ::DestroyWindow(combo);
}
