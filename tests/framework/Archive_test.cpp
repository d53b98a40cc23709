#include "framework/Archive.h"
#include "framework/Collections.h"
#include "framework/Exceptions.h"
#include "framework/File.h"
#include "framework/Types.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

// A serializable class with a pointer to another object, so that writing two
// of them shows class references and object back-references.
class CTestShape : public CObject {
    DECLARE_SERIAL(CTestShape)
public:
    CTestShape() : m_n(0), m_pOther(NULL) {}
    void Serialize(CArchive& ar) override
    {
        if (ar.IsStoring()) {
            ar << m_n << m_pOther;
        } else {
            ar >> m_n;
            m_nSchemaSeen = ar.GetObjectSchema();
            CObject* p;
            ar >> p;
            m_pOther = static_cast<CTestShape*>(p);
        }
    }
    int m_n;
    CTestShape* m_pOther;
    UINT m_nSchemaSeen = 0;
};
IMPLEMENT_SERIAL(CTestShape, CObject, 2)

// Same as CTestShape but reads any stored schema.
class CTestVersioned : public CObject {
    DECLARE_SERIAL(CTestVersioned)
public:
    void Serialize(CArchive& ar) override
    {
        if (!ar.IsStoring())
            m_nSchemaSeen = ar.GetObjectSchema();
    }
    UINT m_nSchemaSeen = 0;
};
IMPLEMENT_SERIAL(CTestVersioned, CObject, VERSIONABLE_SCHEMA | 3)

class CTestNotSerial : public CObject {
    DECLARE_DYNCREATE(CTestNotSerial)
};
IMPLEMENT_DYNCREATE(CTestNotSerial, CObject)

namespace {

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (unsigned char c : bytes) {
        if (!s.empty())
            s += ' ';
        s += digits[c >> 4];
        s += digits[c & 15];
    }
    return s;
}

std::string Store(const std::function<void(CArchive&)>& write)
{
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        write(ar);
        ar.Close();
    }
    std::string bytes((size_t)file.GetLength(), '\0');
    file.SeekToBegin();
    file.Read(&bytes[0], (UINT)bytes.size());
    return bytes;
}

// Reads from the bytes; the function runs inside a fresh loading archive.
void Load(const std::string& bytes, const std::function<void(CArchive&)>& read)
{
    CMemFile file;
    file.Write(bytes.data(), (UINT)bytes.size());
    file.SeekToBegin();
    CArchive ar(&file, CArchive::load);
    read(ar);
}

// The cause of the CArchiveException that reading throws, or -1 when none.
int LoadCause(const std::string& bytes, const std::function<void(CArchive&)>& read)
{
    try {
        Load(bytes, read);
    } catch (CArchiveException* e) {
        int cause = e->m_cause;
        e->Delete();
        return cause;
    }
    return -1;
}

std::string Repeat(char c, size_t n)
{
    return std::string(n, c);
}

TEST(CArchive, NumbersAreLittleEndianAndUnpadded)
{
    std::string got = Store([](CArchive& ar) {
        ar << (BYTE)0x01 << (WORD)0x0203 << (DWORD)0x04050607 << (LONG)-2 << (short)-3 << 'c' << true
           << (LONGLONG)0x0102030405060708LL << 1.5f << 2.0;
    });
    EXPECT_EQ("01 03 02 07 06 05 04 FE FF FF FF FD FF 63 01 08 07 06 05 04 03 02 01 00 00 C0 3F "
              "00 00 00 00 00 00 00 40",
              Hex(got));

    Load(got, [](CArchive& ar) {
        BYTE b; WORD w; DWORD dw; LONG l; short s; char c; bool f; LONGLONG ll; float fl; double d;
        ar >> b >> w >> dw >> l >> s >> c >> f >> ll >> fl >> d;
        EXPECT_EQ(1, b);
        EXPECT_EQ(0x0203, w);
        EXPECT_EQ(0x04050607u, dw);
        EXPECT_EQ(-2, l);
        EXPECT_EQ(-3, s);
        EXPECT_EQ('c', c);
        EXPECT_TRUE(f);
        EXPECT_EQ(0x0102030405060708LL, ll);
        EXPECT_EQ(1.5f, fl);
        EXPECT_EQ(2.0, d);
    });
}

TEST(CArchive, StringLengthPrefixes)
{
    const struct {
        size_t length;
        const char* prefix;
    } cases[] = {
        { 0, "00" },
        { 5, "05" },
        { 254, "FE" },
        { 255, "FF FF 00" },
        { 0xFFFD, "FF FD FF" },
        { 0xFFFE, "FF FF FF FE FF 00 00" },
        { 0x10000, "FF FF FF 00 00 01 00" },
    };
    for (const auto& c : cases) {
        const std::string text = Repeat('x', c.length);
        std::string got = Store([&](CArchive& ar) { ar << CString(text.c_str()); });
        const std::string prefix = c.prefix;
        const size_t prefixBytes = (prefix.size() + 1) / 3;
        ASSERT_EQ(prefixBytes + c.length, got.size()) << "length " << c.length;
        EXPECT_EQ(prefix, Hex(got.substr(0, prefixBytes))) << "length " << c.length;
        EXPECT_EQ(text, got.substr(prefixBytes)) << "length " << c.length;

        Load(got, [&](CArchive& ar) {
            CString back;
            ar >> back;
            EXPECT_EQ((int)c.length, back.GetLength()) << "length " << c.length;
        });
    }
    EXPECT_EQ("05 68 65 6C 6C 6F", Hex(Store([](CArchive& ar) { ar << CString("hello"); })));
    // A literal is written as a string, not as a pointer or a bool.
    EXPECT_EQ("02 68 69", Hex(Store([](CArchive& ar) { ar << "hi"; })));
}

TEST(CArchive, WideStringsCarryTheUnicodeMarker)
{
    // 中文 = U+4E2D U+6587; in code page 936 D6 D0 CE C4.
    EXPECT_EQ("FF FE FF 02 2D 4E 87 65", Hex(Store([](CArchive& ar) { ar << CStringW(L"\u4e2d\u6587"); })));

    const std::string wide("\xFF\xFE\xFF\x02\x2D\x4E\x87\x65", 8);
    Load(wide, [](CArchive& ar) {
        CString s;
        ar >> s;
        EXPECT_EQ(std::string("\xD6\xD0\xCE\xC4"), std::string(s.GetString(), (size_t)s.GetLength()));
    });

    // A wide string with a WORD length after the marker.
    std::string longWide("\xFF\xFE\xFF\xFF\x00\x01", 6);
    for (int i = 0; i < 0x100; i++)
        longWide += std::string("\x41\x00", 2);
    Load(longWide, [](CArchive& ar) {
        CString s;
        ar >> s;
        EXPECT_EQ(0x100, s.GetLength());
        EXPECT_EQ('A', s[0xFF]);
    });
}

TEST(CArchive, CountsUseTheWordEscape)
{
    const struct {
        DWORD_PTR count;
        const char* bytes;
    } cases[] = {
        { 0, "00 00" },
        { 5, "05 00" },
        { 0xFFFE, "FE FF" },
        { 0xFFFF, "FF FF FF FF 00 00" },
        { 70000, "FF FF 70 11 01 00" },
    };
    for (const auto& c : cases) {
        std::string got = Store([&](CArchive& ar) { ar.WriteCount(c.count); });
        EXPECT_EQ(c.bytes, Hex(got)) << "count " << c.count;
        Load(got, [&](CArchive& ar) { EXPECT_EQ(c.count, ar.ReadCount()) << "count " << c.count; });
    }
}

// The object stream of: ar << first << second << first << NULL, where second
// points at first.
const char kObjectStream[] =
    "FF FF 02 00 0A 00 43 54 65 73 74 53 68 61 70 65 07 00 00 00 00 00 "  // new class, first (index 2)
    "01 80 08 00 00 00 02 00 "                                            // class ref 1, second -> first
    "02 00 "                                                              // first again
    "00 00";                                                              // NULL

TEST(CArchive, ObjectRecordsMatchTheGoldenBytes)
{
    CTestShape first, second;
    first.m_n = 7;
    second.m_n = 8;
    second.m_pOther = &first;
    std::string got = Store([&](CArchive& ar) {
        ar << &first << &second << &first;
        ar << (CObject*)NULL;
    });
    EXPECT_EQ(kObjectStream, Hex(got));

    Load(got, [](CArchive& ar) {
        CTestShape *a, *b, *c, *d;
        ar >> a >> b >> c >> d;
        ASSERT_NE(nullptr, a);
        ASSERT_NE(nullptr, b);
        EXPECT_TRUE(a->IsKindOf(RUNTIME_CLASS(CTestShape)));
        EXPECT_EQ(7, a->m_n);
        EXPECT_EQ(2u, a->m_nSchemaSeen);
        EXPECT_EQ(nullptr, a->m_pOther);
        EXPECT_EQ(8, b->m_n);
        EXPECT_EQ(a, b->m_pOther);
        EXPECT_EQ(a, c);
        EXPECT_EQ(nullptr, d);
        delete a;
        delete b;
    });
}

TEST(CArchive, BigIndexesUseTheDwordEscape)
{
    // Map 0x7FFE placeholder objects (indexes 1..0x7FFE), so the class gets
    // index 0x7FFF and the object 0x8000; neither fits the WORD tag.
    CTestShape shape, other;
    std::string got = Store([&](CArchive& ar) {
        for (UINT_PTR i = 1; i <= 0x7FFE; i++)
            ar.MapObject(reinterpret_cast<const CObject*>(i * 16));
        ar << &shape << &shape << &other;
    });
    // ... shape's data, object ref 0x8000, class ref 0x7FFF, other's data.
    ASSERT_GT(got.size(), 18u);
    EXPECT_EQ("FF 7F 00 80 00 00 FF 7F FF 7F 00 80", Hex(got.substr(got.size() - 18, 12)));
    EXPECT_EQ("FF FF 02 00 0A 00", Hex(got.substr(0, 6)));

    Load(got, [](CArchive& ar) {
        for (int i = 1; i <= 0x7FFE; i++)
            ar.MapObject(NULL);
        CTestShape *a, *b, *c;
        ar >> a >> b >> c;
        EXPECT_EQ(a, b);
        ASSERT_NE(nullptr, c);
        EXPECT_NE(a, c);
        delete a;
        delete c;
    });
}

TEST(CArchive, VersionableClassesAcceptOlderSchemas)
{
    // Stored by an older program with schema 1.
    std::string bytes("\xFF\xFF\x01\x00\x0E\x00" "CTestVersioned", 6 + 14);
    Load(bytes, [](CArchive& ar) {
        CObject* p = ar.ReadObject(RUNTIME_CLASS(CTestVersioned));
        ASSERT_NE(nullptr, p);
        EXPECT_EQ(1u, static_cast<CTestVersioned*>(p)->m_nSchemaSeen);
        delete p;
    });
}

TEST(CArchive, CorruptObjectStreamsThrow)
{
    auto readShape = [](CArchive& ar) {
        CTestShape* p = NULL;
        ar >> p;
        delete p;
    };
    const struct {
        const char* label;
        std::string bytes;
        int cause;
    } cases[] = {
        { "unknown class", std::string("\xFF\xFF\x01\x00\x04\x00" "CFoo", 10), CArchiveException::badClass },
        { "class name too long", std::string("\xFF\xFF\x01\x00\xFF\x00", 6) + Repeat('A', 255), CArchiveException::badClass },
        { "schema mismatch", std::string("\xFF\xFF\x01\x00\x0A\x00" "CTestShape", 16), CArchiveException::badSchema },
        { "class not serializable", std::string("\xFF\xFF\xFF\xFF\x0D\x00" "CTestNotSerial", 20), CArchiveException::badClass },
        { "wrong class asked for", std::string("\xFF\xFF\x03\x00\x0E\x00" "CTestVersioned", 20), CArchiveException::badClass },
        { "unknown object index", std::string("\x05\x00", 2), CArchiveException::badIndex },
        { "unknown class index", std::string("\x01\x80", 2), CArchiveException::badIndex },
        { "big unknown index", std::string("\xFF\x7F\x00\x00\x01\x00", 6), CArchiveException::badIndex },
        { "truncated tag", std::string("\xFF", 1), CArchiveException::endOfFile },
        { "truncated name", std::string("\xFF\xFF\x02\x00\x0A\x00" "CTest", 11), CArchiveException::endOfFile },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.cause, LoadCause(c.bytes, readShape)) << "case " << c.label;

    // An object tag that names a class record is not an object.
    std::string classAsObject = std::string("\xFF\xFF\x02\x00\x0A\x00" "CTestShape", 16) +
                                std::string("\x05\x00\x00\x00\x00\x00", 6) + std::string("\x01\x00", 2);
    EXPECT_EQ(CArchiveException::badIndex, LoadCause(classAsObject, [](CArchive& ar) {
        CTestShape* a = NULL;
        CTestShape* b = NULL;
        ar >> a;
        try {
            ar >> b;
        } catch (...) {
            delete a;
            throw;
        }
        delete a;
        delete b;
    }));
}

TEST(CArchive, EveryTruncationOfAnObjectStreamThrowsEndOfFile)
{
    CTestShape first, second;
    second.m_pOther = &first;
    const std::string full = Store([&](CArchive& ar) { ar << &first << &second << CString("tail"); });
    for (size_t n = 0; n < full.size(); n++) {
        int cause = LoadCause(full.substr(0, n), [](CArchive& ar) {
            CTestShape* a = NULL;
            CTestShape* b = NULL;
            CString s;
            try {
                ar >> a >> b >> s;
            } catch (...) {
                delete a;
                delete b;
                throw;
            }
            delete a;
            delete b;
        });
        EXPECT_EQ(CArchiveException::endOfFile, cause) << "truncated to " << n << " bytes";
    }
}

TEST(CArchive, HostileLengthsHitTheEndOfFileBeforeAllocating)
{
    const struct {
        const char* label;
        std::string bytes;
        std::function<void(CArchive&)> read;
    } cases[] = {
        { "string of 0x7FFFFFF0 bytes", std::string("\xFF\xFF\xFF\xF0\xFF\xFF\x7F" "abc", 10),
          [](CArchive& ar) { CString s; ar >> s; } },
        { "string array of 0x7FFFFFFF", std::string("\xFF\xFF\xFF\xFF\xFF\x7F\x01" "a", 8),
          [](CArchive& ar) { CStringArray a; a.Serialize(ar); } },
        { "dword array of 0x7FFFFFFF", std::string("\xFF\xFF\xFF\xFF\xFF\x7F\x01\x00\x00\x00", 10),
          [](CArchive& ar) { CDWordArray a; a.Serialize(ar); } },
        { "object list of 0xFFFFFFFF", std::string("\xFF\xFF\xFF\xFF\xFF\xFF", 6),
          [](CArchive& ar) { CObList l; l.Serialize(ar); } },
    };
    for (const auto& c : cases)
        EXPECT_EQ(CArchiveException::endOfFile, LoadCause(c.bytes, c.read)) << "case " << c.label;
}

TEST(CArchive, CollectionsUseCountThenElements)
{
    CStringArray strings;
    strings.Add("a");
    strings.Add(CString("bc"));
    EXPECT_EQ("02 00 01 61 02 62 63", Hex(Store([&](CArchive& ar) { strings.Serialize(ar); })));

    CDWordArray dwords;
    dwords.Add(1);
    dwords.Add(0x01020304);
    EXPECT_EQ("02 00 01 00 00 00 04 03 02 01", Hex(Store([&](CArchive& ar) { dwords.Serialize(ar); })));

    CStringList list;
    list.AddTail("x");
    list.AddHead("w");
    EXPECT_EQ("02 00 01 77 01 78", Hex(Store([&](CArchive& ar) { list.Serialize(ar); })));

    CTestShape shape;
    shape.m_n = 1;
    CObArray obs;
    obs.Add(&shape);
    obs.Add(&shape);
    obs.Add(NULL);
    const std::string obBytes = Store([&](CArchive& ar) { obs.Serialize(ar); });
    EXPECT_EQ("03 00 FF FF 02 00 0A 00 43 54 65 73 74 53 68 61 70 65 01 00 00 00 00 00 02 00 00 00", Hex(obBytes));

    Load(obBytes, [](CArchive& ar) {
        CObArray back;
        back.Serialize(ar);
        ASSERT_EQ(3, back.GetSize());
        EXPECT_EQ(back[0], back[1]);
        EXPECT_EQ(nullptr, back[2]);
        EXPECT_EQ(1, static_cast<CTestShape*>(back[0])->m_n);
        delete back[0];
    });

    CArray<CPoint, CPoint> points;
    points.Add(CPoint(1, -1));
    const std::string pointBytes = Store([&](CArchive& ar) { points.Serialize(ar); });
    EXPECT_EQ("01 00 01 00 00 00 FF FF FF FF", Hex(pointBytes));
    Load(pointBytes, [](CArchive& ar) {
        CArray<CPoint, CPoint> back;
        back.Serialize(ar);
        ASSERT_EQ(1, back.GetSize());
        EXPECT_EQ(CPoint(1, -1), back[0]);
    });
}

TEST(CArchive, DirectionMismatchAndShortReads)
{
    CMemFile file;
    CArchive store(&file, CArchive::store);
    try {
        BYTE b;
        store >> b;
        FAIL() << "reading from a storing archive did not throw";
    } catch (CArchiveException* e) {
        EXPECT_EQ(CArchiveException::writeOnly, e->m_cause);
        e->Delete();
    }
    store.Abort();

    EXPECT_EQ(CArchiveException::endOfFile, LoadCause(std::string("\x01\x02", 2), [](CArchive& ar) {
        DWORD dw;
        ar >> dw;
    }));
}

TEST(CArchive, CloseGivesUnreadBytesBackToTheFile)
{
    CMemFile file;
    DWORD values[3] = { 1, 2, 3 };
    file.Write(values, sizeof(values));
    file.SeekToBegin();
    {
        CArchive ar(&file, CArchive::load);
        DWORD first;
        ar >> first;
        EXPECT_EQ(1u, first);
        ar.Close();
    }
    EXPECT_EQ(4u, file.GetPosition());
}

TEST(CArchive, TextLines)
{
    std::string got = Store([](CArchive& ar) {
        ar.WriteString("one\r\n");
        ar.WriteString("two");
    });
    EXPECT_EQ("one\r\ntwo", got);
    Load(got, [](CArchive& ar) {
        CString line;
        EXPECT_TRUE(ar.ReadString(line));
        EXPECT_STREQ("one", line);
        EXPECT_TRUE(ar.ReadString(line));
        EXPECT_STREQ("two", line);
        EXPECT_FALSE(ar.ReadString(line));
    });
}

}  // namespace
