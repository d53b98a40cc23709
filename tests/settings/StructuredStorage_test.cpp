#include "settings/StructuredStorage.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

const DWORD kCreateMode = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
const DWORD kStreamMode = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
const DWORD kReadMode = STGM_READ | STGM_SHARE_EXCLUSIVE;

class StructuredStorageTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr))); }
    void TearDown() override { ::CoUninitialize(); }

    static CStringW Wide(const std::string& s) { return CStringW(s.c_str()); }

    static void WriteStream(CStructuredStorage& stg, const wchar_t* name, const std::string& data)
    {
        IStream* stream = nullptr;
        ASSERT_EQ(1, stg.CreateStream(&stream, name, kStreamMode));
        ASSERT_NE(nullptr, stream);
        ULONG written = 0;
        EXPECT_EQ(S_OK, stream->Write(data.data(), static_cast<ULONG>(data.size()), &written));
        EXPECT_EQ(data.size(), written);
        stream->Release();
    }

    testsupport::ScratchDir m_dir{"vxstg"};
};

TEST_F(StructuredStorageTest, StreamCallsBeforeAnyFileFailWithEPointer)
{
    CStructuredStorage stg;
    IStream* stream = reinterpret_cast<IStream*>(0x1);
    EXPECT_EQ(0, stg.CreateStream(&stream, L"a", kStreamMode));
    EXPECT_EQ(nullptr, stream);
    EXPECT_EQ(E_POINTER, stg.GetLastResult());

    stream = reinterpret_cast<IStream*>(0x1);
    EXPECT_EQ(0, stg.OpenStream(&stream, L"a", kReadMode));
    EXPECT_EQ(nullptr, stream);
    EXPECT_EQ(E_POINTER, stg.GetLastResult());

    std::vector<CStringW> names;
    stg.ListElements(&names);
    EXPECT_TRUE(names.empty());
    stg.ListElements(nullptr);
}

TEST_F(StructuredStorageTest, CreatesWritesReopensAndLists)
{
    const std::string path = m_dir.File("package.skorec");
    const std::string big(100000, 'x');
    {
        CStructuredStorage stg;
        ASSERT_EQ(1, stg.Create(Wide(path), kCreateMode)) << std::hex << stg.GetLastResult();
        EXPECT_EQ(1, stg.GetDepth());
        EXPECT_TRUE(stg.GetFileName() == Wide(path));
        WriteStream(stg, L"manifest.skoxml", "<Recording_Data/>");
        WriteStream(stg, L"Screen_Stream.avi", big);
    }
    CStructuredStorage stg;
    ASSERT_EQ(1, stg.Open(Wide(path), kReadMode)) << std::hex << stg.GetLastResult();
    std::vector<CStringW> names;
    stg.ListElements(&names);
    ASSERT_EQ(2u, names.size());
    std::vector<std::wstring> got;
    for (const CStringW& n : names)
        got.push_back(n.GetString());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(L"Screen_Stream.avi", got[0]);
    EXPECT_EQ(L"manifest.skoxml", got[1]);

    IStream* stream = nullptr;
    ASSERT_EQ(1, stg.OpenStream(&stream, L"Screen_Stream.avi", kReadMode));
    STATSTG stat = {};
    ASSERT_EQ(S_OK, stream->Stat(&stat, STATFLAG_NONAME));
    EXPECT_EQ(big.size(), stat.cbSize.QuadPart);
    stream->Release();

    stream = nullptr;
    EXPECT_EQ(0, stg.OpenStream(&stream, L"missing", kReadMode));
    EXPECT_EQ(nullptr, stream);
    EXPECT_EQ(STG_E_FILENOTFOUND, stg.GetLastResult());
}

TEST_F(StructuredStorageTest, IndependentReaderListsTheStreams)
{
    const std::string path = m_dir.File("listed.skorec");
    {
        CStructuredStorage stg;
        ASSERT_EQ(1, stg.Create(Wide(path), kCreateMode));
        WriteStream(stg, L"manifest.skoxml", "<Recording_Data/>");
        WriteStream(stg, L"Screen_Stream.avi", std::string(5000, 'a'));
    }
    std::string out;
    ASSERT_EQ(0, testsupport::RunHost("gsf list '" + testsupport::UnixPath(path) + "'", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("manifest.skoxml")) << out;
    EXPECT_NE(std::string::npos, out.find("Screen_Stream.avi")) << out;
    EXPECT_NE(std::string::npos, out.find("5000")) << out;

    ASSERT_EQ(0, testsupport::RunHost("gsf cat '" + testsupport::UnixPath(path) + "' manifest.skoxml", &out));
    EXPECT_EQ("<Recording_Data/>", out);
}

TEST_F(StructuredStorageTest, SecondOpenReleasesTheFirstFile)
{
    const std::string first = m_dir.File("first.stg");
    const std::string second = m_dir.File("second.stg");
    for (const std::string& p : {first, second}) {
        CStructuredStorage stg;
        ASSERT_EQ(1, stg.Create(Wide(p), kCreateMode));
        WriteStream(stg, p == first ? L"one" : L"two", "data");
    }
    CStructuredStorage stg;
    ASSERT_EQ(1, stg.Open(Wide(first), kReadMode));
    ASSERT_EQ(1, stg.Open(Wide(second), kReadMode));
    EXPECT_EQ(1, stg.GetDepth());
    std::vector<CStringW> names;
    stg.ListElements(&names);
    ASSERT_EQ(1u, names.size());
    EXPECT_TRUE(names[0] == L"two");
    // The first file is no longer held: it can be opened exclusively again.
    CStructuredStorage other;
    EXPECT_EQ(1, other.Open(Wide(first), kReadMode)) << std::hex << other.GetLastResult();
}

TEST_F(StructuredStorageTest, CreateOnExistingFileWithoutReplaceFails)
{
    const std::string path = m_dir.File("exists.stg");
    {
        CStructuredStorage stg;
        ASSERT_EQ(1, stg.Create(Wide(path), kCreateMode));
    }
    CStructuredStorage stg;
    EXPECT_EQ(0, stg.Create(Wide(path), STGM_FAILIFTHERE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE));
    EXPECT_EQ(0, stg.GetDepth());
    EXPECT_TRUE(FAILED(stg.GetLastResult()));
    EXPECT_TRUE(stg.GetFileName().IsEmpty());
    IStream* stream = nullptr;
    EXPECT_EQ(0, stg.CreateStream(&stream, L"a", kStreamMode));
    EXPECT_EQ(E_POINTER, stg.GetLastResult());
}

TEST_F(StructuredStorageTest, OpenRejectsAFileThatIsNoCompoundFile)
{
    const std::string path = m_dir.File("not-a-package.skorec");
    ASSERT_TRUE(testsupport::WriteFileBytes(path, "RIFF....AVI LIST", 16));
    CStructuredStorage stg;
    EXPECT_EQ(0, stg.Open(Wide(path), kReadMode));
    EXPECT_TRUE(FAILED(stg.GetLastResult()));
    EXPECT_EQ(0, stg.GetDepth());
}

TEST_F(StructuredStorageTest, StreamsActOnTheNewestStorage)
{
    const std::string path = m_dir.File("nested.stg");
    CStructuredStorage stg;
    ASSERT_EQ(1, stg.Create(Wide(path), kCreateMode));
    IStream* top = nullptr;
    ASSERT_EQ(1, stg.CreateStream(&top, L"top", kStreamMode));
    top->Release();

    // A storage pushed on the stack takes the stream operations from the root.
    ILockBytes* bytes = nullptr;
    ASSERT_EQ(S_OK, ::CreateILockBytesOnHGlobal(nullptr, TRUE, &bytes));
    IStorage* memRoot = nullptr;
    ASSERT_EQ(S_OK, ::StgCreateDocfileOnILockBytes(bytes, kCreateMode, 0, &memRoot));
    IStorage* child = nullptr;
    ASSERT_EQ(S_OK, memRoot->CreateStorage(L"inner", kCreateMode, 0, 0, &child));
    stg.PushStorage(child);
    child->Release();   // the stack holds its own reference
    EXPECT_EQ(2, stg.GetDepth());

    IStream* stream = nullptr;
    ASSERT_EQ(1, stg.CreateStream(&stream, L"deep", kStreamMode));
    stream->Release();
    std::vector<CStringW> names;
    stg.ListElements(&names);
    ASSERT_EQ(1u, names.size());
    EXPECT_TRUE(names[0] == L"deep");
    memRoot->Release();
    bytes->Release();
}

}  // namespace
