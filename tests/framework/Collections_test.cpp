#include "framework/Collections.h"
#include "framework/Types.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

std::string Join(const CStringArray& a)
{
    std::string s;
    for (INT_PTR i = 0; i < a.GetSize(); i++)
        s += std::string(i ? "," : "") + a[i].GetString();
    return s;
}

std::string Join(const CStringList& l)
{
    std::string s;
    for (POSITION pos = l.GetHeadPosition(); pos != NULL;)
        s += std::string(s.empty() ? "" : ",") + l.GetNext(pos).GetString();
    return s;
}

TEST(CArray, GrowInsertRemove)
{
    CStringArray a;
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(-1, a.GetUpperBound());
    for (int i = 0; i < 100; i++) {
        CString s;
        s.Format("%d", i);
        EXPECT_EQ(i, a.Add(s));
    }
    EXPECT_EQ(100, a.GetSize());
    EXPECT_EQ(99, a.GetUpperBound());
    EXPECT_STREQ("57", a[57]);

    a.RemoveAt(1, 97);
    EXPECT_EQ("0,98,99", Join(a));
    a.InsertAt(1, "x", 2);
    EXPECT_EQ("0,x,x,98,99", Join(a));
    a.InsertAt(7, "end");                       // past the end: the gap is filled with empty strings
    EXPECT_EQ("0,x,x,98,99,,,end", Join(a));
    a.SetAtGrow(9, "g");
    EXPECT_EQ(10, a.GetSize());
    a.ElementAt(0) = "zero";
    a.SetAt(1, "one");
    EXPECT_STREQ("zero", a.GetAt(0));
    a.Add(a[1]);                                // element of the same array as argument
    EXPECT_STREQ("one", a[10]);

    CStringArray b;
    b.Add("p");
    b.Append(a);
    EXPECT_EQ(12, b.GetSize());
    b.Copy(a);
    EXPECT_EQ(Join(a), Join(b));
    b.SetSize(2);
    EXPECT_EQ("zero,one", Join(b));
    b.RemoveAll();
    EXPECT_EQ(0, b.GetCount());
}

TEST(CArray, OutOfRangeThrows)
{
    CDWordArray a;
    a.Add(1);
    const struct {
        const char* label;
        void (*op)(CDWordArray&);
    } cases[] = {
        { "GetAt(1)", [](CDWordArray& x) { (void)x.GetAt(1); } },
        { "operator[](-1)", [](CDWordArray& x) { (void)x[-1]; } },
        { "SetAt(5)", [](CDWordArray& x) { x.SetAt(5, 0); } },
        { "RemoveAt(0, 2)", [](CDWordArray& x) { x.RemoveAt(0, 2); } },
        { "SetSize(-1)", [](CDWordArray& x) { x.SetSize(-1); } },
    };
    for (const auto& c : cases) {
        bool thrown = false;
        try {
            c.op(a);
        } catch (CInvalidArgException* e) {
            thrown = true;
            e->Delete();
        }
        EXPECT_TRUE(thrown) << "case " << c.label;
    }
    EXPECT_EQ(1, a.GetSize());
}

TEST(CList, PositionsAndEditing)
{
    CStringList l;
    l.AddTail("b");
    l.AddHead("a");
    POSITION c = l.AddTail("c");
    EXPECT_EQ("a,b,c", Join(l));
    l.InsertBefore(c, "b2");
    l.InsertAfter(c, "d");
    EXPECT_EQ("a,b,b2,c,d", Join(l));
    EXPECT_EQ(5, l.GetCount());

    POSITION pos = l.Find("b2");
    ASSERT_NE(nullptr, pos);
    l.SetAt(pos, "B");
    l.RemoveAt(l.FindIndex(1));
    EXPECT_EQ("a,B,c,d", Join(l));
    EXPECT_EQ(nullptr, l.FindIndex(4));
    EXPECT_EQ(nullptr, l.Find("zz"));
    EXPECT_EQ(nullptr, l.Find("a", l.GetHeadPosition()));   // search starts after the head

    std::string backwards;
    for (POSITION p = l.GetTailPosition(); p != NULL;)
        backwards += l.GetPrev(p).GetString();
    EXPECT_EQ("dcBa", backwards);

    EXPECT_STREQ("a", l.RemoveHead());
    EXPECT_STREQ("d", l.RemoveTail());
    EXPECT_STREQ("B", l.GetHead());
    EXPECT_STREQ("c", l.GetTail());
    l.RemoveAll();
    EXPECT_TRUE(l.IsEmpty());
    EXPECT_EQ(nullptr, l.GetHeadPosition());
    try {
        l.RemoveHead();
        FAIL() << "RemoveHead of an empty list did not throw";
    } catch (CInvalidArgException* e) {
        e->Delete();
    }
}

TEST(CMap, LookupSetRemoveAndIterate)
{
    CMapStringToString m;
    const int kCount = 500;                     // well past the initial table, so it rehashes
    for (int i = 0; i < kCount; i++) {
        CString k, v;
        k.Format("key%d", i);
        v.Format("value%d", i);
        m.SetAt(k, v);
    }
    EXPECT_EQ(kCount, m.GetCount());
    CString v;
    EXPECT_TRUE(m.Lookup("key321", v));
    EXPECT_STREQ("value321", v);
    EXPECT_FALSE(m.Lookup("nope", v));
    m["key321"] = "changed";
    EXPECT_TRUE(m.Lookup("key321", v));
    EXPECT_STREQ("changed", v);
    EXPECT_EQ(kCount, m.GetCount());

    EXPECT_TRUE(m.RemoveKey("key0"));
    EXPECT_FALSE(m.RemoveKey("key0"));
    EXPECT_EQ(kCount - 1, m.GetCount());

    std::set<std::string> seen;
    for (POSITION pos = m.GetStartPosition(); pos != NULL;) {
        CString key, value;
        m.GetNextAssoc(pos, key, value);
        seen.insert(key.GetString());
    }
    EXPECT_EQ((size_t)(kCount - 1), seen.size());
    EXPECT_EQ(0u, seen.count("key0"));

    m.RemoveAll();
    EXPECT_EQ(nullptr, m.GetStartPosition());
}

TEST(CMap, IntegerPointerAndTypedMaps)
{
    CMap<int, int, CPoint, CPoint> points;
    for (int i = 0; i < 40; i++)
        points[i] = CPoint(i, -i);
    CPoint p;
    EXPECT_TRUE(points.Lookup(17, p));
    EXPECT_EQ(CPoint(17, -17), p);

    CMapWordToPtr words;
    int target = 0;
    words.SetAt(7, &target);
    void* q = NULL;
    EXPECT_TRUE(words.Lookup(7, q));
    EXPECT_EQ(&target, q);

    CMapPtrToPtr ptrs;
    ptrs.SetAt(&target, &p);
    EXPECT_TRUE(ptrs.Lookup(&target, q));
    EXPECT_EQ(&p, q);

    CTypedPtrMap<CMapStringToPtr, CString, int*> typed;
    typed.SetAt("t", &target);
    int* pi = NULL;
    EXPECT_TRUE(typed.Lookup("t", pi));
    EXPECT_EQ(&target, pi);
    POSITION pos = typed.GetStartPosition();
    CString key;
    typed.GetNextAssoc(pos, key, pi);
    EXPECT_STREQ("t", key);
    EXPECT_EQ(nullptr, pos);
}

TEST(CTypedPtr, ArrayAndList)
{
    CPoint a(1, 2), b(3, 4);
    CTypedPtrArray<CPtrArray, CPoint*> arr;
    arr.Add(&a);
    arr.Add(&b);
    EXPECT_EQ(3, arr[1]->x);
    EXPECT_EQ(&a, arr.GetAt(0));

    CTypedPtrList<CPtrList, CPoint*> list;
    list.AddTail(&a);
    list.AddTail(&b);
    POSITION pos = list.GetHeadPosition();
    EXPECT_EQ(2, list.GetNext(pos)->y);
    EXPECT_EQ(4, list.GetNext(pos)->y);
    EXPECT_EQ(nullptr, pos);
}

}  // namespace
