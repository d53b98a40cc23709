// The OLE data-transfer classes through Wine's real OLE clipboard, and the
// global-memory file they carry records in.
#include "framework/OleDataObject.h"
#include "framework/OleDataSource.h"
#include "framework/SharedFile.h"

#include "framework/Exceptions.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

namespace {

// OLE for the test's thread.
class OleScope {
public:
    OleScope() : m_ok(SUCCEEDED(::OleInitialize(NULL))) {}
    ~OleScope()
    {
        if (m_ok)
            ::OleUninitialize();
    }
    bool Ok() const { return m_ok; }

private:
    bool m_ok;
};

HGLOBAL GlobalOf(const std::string& bytes)
{
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    memcpy(::GlobalLock(h), bytes.data(), bytes.size());
    ::GlobalUnlock(h);
    return h;
}

std::string BytesOf(HGLOBAL h, size_t n)
{
    std::string out((const char*)::GlobalLock(h), n);
    ::GlobalUnlock(h);
    return out;
}

// A source that tells when it is destroyed.
class CWatchedSource : public COleDataSource {
public:
    explicit CWatchedSource(bool* destroyed) : m_destroyed(destroyed) { *m_destroyed = false; }

protected:
    ~CWatchedSource() override { *m_destroyed = true; }

private:
    bool* m_destroyed;
};

// The Win32 clipboard's bytes of a format, read as another program would.
std::string Win32ClipboardBytes(UINT format, size_t n)
{
    if (!::OpenClipboard(NULL))
        return "cannot open";
    HANDLE h = ::GetClipboardData(format);
    std::string out = h ? BytesOf(h, n) : "missing";
    ::CloseClipboard();
    return out;
}

}  // namespace

TEST(SharedFile, WritesIntoGlobalMemoryAndReadsABlockItIsGiven)
{
    std::string data(5000, '\0');
    for (size_t i = 0; i < data.size(); i++)
        data[i] = (char)(i * 7);
    CSharedFile file(GMEM_MOVEABLE | GMEM_SHARE | GMEM_ZEROINIT, 4096);
    file.Write(data.data(), (UINT)data.size());
    EXPECT_EQ(5000u, file.GetLength());
    HGLOBAL h = file.Detach();
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(8192u, ::GlobalSize(h)) << "two growth steps";
    EXPECT_EQ(0u, ::GlobalFlags(h) & GMEM_LOCKCOUNT) << "handed over unlocked";
    EXPECT_EQ(data, BytesOf(h, 5000));
    EXPECT_EQ(std::string(3192, '\0'), BytesOf(h, 8192).substr(5000)) << "zero after the data";
    EXPECT_EQ(0u, file.GetLength());

    {
        CSharedFile reader;
        reader.SetHandle(h, FALSE);
        EXPECT_EQ(8192u, reader.GetLength());
        std::string back(5000, '\0');
        EXPECT_EQ(5000u, reader.Read(&back[0], 5000));
        EXPECT_EQ(data, back);
        reader.Seek(0, CFile::end);
        EXPECT_THROW(reader.Write("x", 1), CMemoryException*) << "no growth allowed";
    }
    EXPECT_EQ(8192u, ::GlobalSize(h)) << "the caller's block outlives the file";
    EXPECT_EQ(0u, ::GlobalFlags(h) & GMEM_LOCKCOUNT);
    {
        CSharedFile writer;
        writer.SetHandle(h, TRUE);
        writer.Seek(0, CFile::end);
        writer.Write("tail", 4);
        EXPECT_EQ(8196u, writer.GetLength());
    }
    EXPECT_GE(::GlobalSize(h), 8196u);
    EXPECT_EQ("tail", BytesOf(h, 8196).substr(8192));
    ::GlobalFree(h);
}

TEST(OleData, ASourceOnTheClipboardOffersItsFormatsThroughTheEnumerator)
{
    OleScope ole;
    ASSERT_TRUE(ole.Ok());
    const CLIPFORMAT custom = (CLIPFORMAT)::RegisterClipboardFormatA("Vexcap Test Format");
    const CLIPFORMAT other = (CLIPFORMAT)::RegisterClipboardFormatA("Vexcap Other Format");
    bool destroyed = false;
    COleDataSource* source = new CWatchedSource(&destroyed);
    source->CacheGlobalData(CF_TEXT, GlobalOf(std::string("hello", 6)));
    source->CacheGlobalData(custom, GlobalOf("first"));
    source->CacheGlobalData(custom, GlobalOf("\x01\x02\x03"));     // replaces the first
    EXPECT_EQ(2, source->GetFormatCount());
    source->SetClipboard();
    EXPECT_EQ(source, COleDataSource::GetClipboardOwner());
    EXPECT_FALSE(destroyed);

    COleDataObject data;
    ASSERT_TRUE(data.AttachClipboard());
    std::set<CLIPFORMAT> formats;
    data.BeginEnumFormats();
    FORMATETC f;
    while (data.GetNextFormat(&f)) {
        formats.insert(f.cfFormat);
        ::CoTaskMemFree(f.ptd);
    }
    EXPECT_TRUE(formats.count(CF_TEXT));
    EXPECT_TRUE(formats.count(custom));
    EXPECT_TRUE(data.IsDataAvailable(custom));
    EXPECT_FALSE(data.IsDataAvailable(other));
    HGLOBAL got = data.GetGlobalData(custom);
    ASSERT_NE(nullptr, got);
    EXPECT_EQ(std::string("\x01\x02\x03"), BytesOf(got, 3));
    ::GlobalFree(got);
    EXPECT_EQ(nullptr, data.GetGlobalData(other));
    data.Release();

    // Another program's view: the plain clipboard.
    EXPECT_EQ(std::string("hello", 6), Win32ClipboardBytes(CF_TEXT, 6));
    EXPECT_EQ(std::string("\x01\x02\x03"), Win32ClipboardBytes(custom, 3));

    // Flushing renders everything and lets the source go.
    COleDataSource::FlushClipboard();
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(nullptr, COleDataSource::GetClipboardOwner());
    EXPECT_EQ(std::string("\x01\x02\x03"), Win32ClipboardBytes(custom, 3));
}

TEST(OleData, TheEnumeratorAndTheDataObjectFollowTheRules)
{
    OleScope ole;
    ASSERT_TRUE(ole.Ok());
    COleDataSource* source = new COleDataSource;
    source->CacheGlobalData(CF_TEXT, GlobalOf(std::string("abc", 4)));
    source->CacheGlobalData(CF_OEMTEXT, GlobalOf(std::string("def", 4)));
    source->CacheGlobalData(CF_UNICODETEXT, GlobalOf(std::string("g\0\0", 4)));
    IDataObject* object = source->GetDataObject();

    IEnumFORMATETC* e = nullptr;
    ASSERT_EQ(S_OK, object->EnumFormatEtc(DATADIR_GET, &e));
    EXPECT_EQ(E_NOTIMPL, object->EnumFormatEtc(DATADIR_SET, &e)) << "and *ppenum cleared";
    EXPECT_EQ(nullptr, e);
    ASSERT_EQ(S_OK, object->EnumFormatEtc(DATADIR_GET, &e));
    FORMATETC got[4];
    ULONG n = 0;
    EXPECT_EQ(S_FALSE, e->Next(4, got, &n));
    EXPECT_EQ(3u, n);
    EXPECT_EQ(CF_TEXT, got[0].cfFormat);
    EXPECT_EQ(CF_UNICODETEXT, got[2].cfFormat);
    EXPECT_EQ(S_OK, e->Reset());
    EXPECT_EQ(S_OK, e->Skip(2));
    IEnumFORMATETC* clone = nullptr;
    ASSERT_EQ(S_OK, e->Clone(&clone));
    EXPECT_EQ(S_OK, clone->Next(1, got, nullptr));
    EXPECT_EQ(CF_UNICODETEXT, got[0].cfFormat) << "the clone keeps the position";
    EXPECT_EQ(S_FALSE, clone->Skip(1));
    clone->Release();
    e->Release();

    FORMATETC wrongMedium = { CF_TEXT, NULL, DVASPECT_CONTENT, -1, TYMED_ISTREAM };
    EXPECT_EQ(DV_E_TYMED, object->QueryGetData(&wrongMedium));
    FORMATETC missing = { CF_BITMAP, NULL, DVASPECT_CONTENT, -1, TYMED_HGLOBAL };
    EXPECT_EQ(DV_E_FORMATETC, object->QueryGetData(&missing));
    FORMATETC text = { CF_TEXT, NULL, DVASPECT_CONTENT, -1, TYMED_HGLOBAL };
    STGMEDIUM small = { TYMED_HGLOBAL, {}, NULL };
    small.hGlobal = ::GlobalAlloc(GMEM_MOVEABLE, 2);
    EXPECT_EQ(STG_E_MEDIUMFULL, object->GetDataHere(&text, &small));
    ::GlobalFree(small.hGlobal);
    STGMEDIUM one;
    ASSERT_EQ(S_OK, object->GetData(&text, &one));
    STGMEDIUM two;
    ASSERT_EQ(S_OK, object->GetData(&text, &two));
    EXPECT_NE(one.hGlobal, two.hGlobal) << "each caller owns its copy";
    ::ReleaseStgMedium(&one);
    ::ReleaseStgMedium(&two);
    source->InternalRelease();
}
