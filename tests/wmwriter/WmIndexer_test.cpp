// Our IWMIndexer2-shaped indexer: the order of its status calls, success on
// a repaired file, failure on a cut one, and refused arguments.
#include "AsfTestMedia.h"
#include "TestSupport.h"
#include "platform/wmwriter/AsfFile.h"
#include "platform/wmwriter/WmIndexer.h"
#include <gtest/gtest.h>
#include <vector>

using namespace asftest;

namespace {

// Records the statuses; WMT_CLOSED sets the event, as the recovery's
// callback does. It lives on the test's stack: Wait() returns only once the
// indexer's worker has also let its reference go (right after WMT_CLOSED),
// so nothing touches the log after it is gone.
class StatusLog : public IWMStatusCallback {
public:
    StatusLog()
    {
        m_done = ::CreateEventW(NULL, TRUE, FALSE, NULL);
        m_unused = ::CreateEventW(NULL, TRUE, TRUE, NULL);
    }
    ~StatusLog()
    {
        ::CloseHandle(m_done);
        ::CloseHandle(m_unused);
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IWMStatusCallback) {
            *ppv = this;
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override
    {
        if (::InterlockedIncrement(&m_refs) == 1)
            ::ResetEvent(m_unused);
        return 2;
    }
    STDMETHODIMP_(ULONG) Release() override
    {
        if (::InterlockedDecrement(&m_refs) == 0)
            ::SetEvent(m_unused);
        return 1;
    }
    STDMETHODIMP OnStatus(WMT_STATUS status, HRESULT hr, WMT_ATTR_DATATYPE, BYTE* value, void* context) override
    {
        statuses.push_back(status);
        contexts.push_back(context);
        if (status == WMT_INDEX_PROGRESS && value)
            lastPercent = *(DWORD*)value;
        if (status == WMT_ERROR || status == WMT_CLOSED)
            results.push_back(hr);
        if (status == WMT_CLOSED)
            ::SetEvent(m_done);
        return S_OK;
    }
    bool Wait()
    {
        return ::WaitForSingleObject(m_done, 30000) == WAIT_OBJECT_0 &&
               ::WaitForSingleObject(m_unused, 30000) == WAIT_OBJECT_0;
    }

    std::vector<WMT_STATUS> statuses;
    std::vector<void*> contexts;
    std::vector<HRESULT> results;
    DWORD lastPercent = 0;

private:
    HANDLE m_done;
    HANDLE m_unused;   // set while no reference is held
    volatile LONG m_refs = 0;
};

struct Indexer {
    Indexer() { EXPECT_EQ(S_OK, CreateAsfIndexer(&p)); }
    ~Indexer()
    {
        if (p)
            p->Release();
    }
    IWMIndexer2* p = nullptr;
};

TEST(WmIndexer, IndexesARepairedFileAndReportsStartProgressAndClose)
{
    testsupport::ScratchDir dir("wmix");
    const std::string path = dir.File("cam.wmv");
    WrittenFile info;
    ASSERT_TRUE(WriteMovieFile(path, 30, 10, 3200, asf::Tags(), false, &info)) << info.error;
    const std::wstring wpath = Wide(path);
    ASSERT_TRUE(RepairAsfFile(wpath.c_str(), TRUE));
    ASSERT_EQ(0, CheckAsfFile(wpath.c_str(), nullptr));

    StatusLog log;   // declared first: it outlives the indexer
    Indexer indexer;
    DWORD intervalMs = 500;
    ASSERT_EQ(S_OK, indexer.p->Configure(0, WMT_IT_FRAME_NUMBERS, &intervalMs, nullptr));
    int context = 0;
    ASSERT_EQ(S_OK, indexer.p->StartIndexing(wpath.c_str(), &log, &context));
    ASSERT_TRUE(log.Wait());
    ASSERT_GE(log.statuses.size(), 3u);
    EXPECT_EQ(WMT_STARTED, log.statuses.front());
    EXPECT_EQ(WMT_CLOSED, log.statuses.back());
    EXPECT_EQ(100u, log.lastPercent);
    EXPECT_EQ((std::vector<HRESULT>{S_OK}), log.results);
    for (void* c : log.contexts)
        EXPECT_EQ(&context, c);
    EXPECT_EQ(1, CheckAsfFile(wpath.c_str(), nullptr));
    EXPECT_EQ("zmbv", ProbeEntry(path, "v:0", "stream=codec_name"));
}

TEST(WmIndexer, ACutOrMissingFileEndsWithErrorThenClosed)
{
    testsupport::ScratchDir dir("wmix");
    const std::string cut = dir.File("cut.wmv");
    WrittenFile info;
    ASSERT_TRUE(WriteMovieFile(cut, 20, 10, 3200, asf::Tags(), false, &info)) << info.error;
    const std::string names[] = {cut, dir.File("missing.wmv")};
    for (const std::string& name : names) {
        StatusLog log;
        Indexer indexer;
        ASSERT_EQ(S_OK, indexer.p->StartIndexing(Wide(name).c_str(), &log, nullptr)) << name;
        ASSERT_TRUE(log.Wait()) << name;
        ASSERT_EQ(2u, log.results.size()) << name;
        EXPECT_TRUE(FAILED(log.results[0])) << name;
        EXPECT_EQ(log.results[0], log.results[1]) << name;
        EXPECT_EQ(WMT_ERROR, log.statuses[log.statuses.size() - 2]) << name;
        EXPECT_EQ(WMT_CLOSED, log.statuses.back()) << name;
    }
    EXPECT_EQ(0, CheckAsfFile(Wide(cut).c_str(), nullptr)) << "a failed indexing leaves the file unchanged";
}

TEST(WmIndexer, RefusesBadArguments)
{
    StatusLog log;
    Indexer indexer;
    EXPECT_EQ(E_INVALIDARG, indexer.p->StartIndexing(nullptr, &log, nullptr));
    EXPECT_EQ(E_INVALIDARG, indexer.p->StartIndexing(L"", &log, nullptr));
    EXPECT_EQ(E_INVALIDARG, indexer.p->StartIndexing(L"x.wmv", nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, indexer.p->Configure(0, WMT_IT_TIMECODE, nullptr, nullptr));
    EXPECT_EQ(E_POINTER, CreateAsfIndexer(nullptr));
    IUnknown* unknown = nullptr;
    EXPECT_EQ(E_NOINTERFACE, indexer.p->QueryInterface(IID_IWMStatusCallback, (void**)&unknown));
    EXPECT_TRUE(log.statuses.empty());
}

}  // namespace
