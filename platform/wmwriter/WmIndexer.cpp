#include "platform/wmwriter/WmIndexer.h"
#include "platform/wmwriter/AsfFile.h"
#include "platform/wmwriter/AsfRepair.h"
#include <new>
#include <string>

extern "C" const IID IID_IWMIndexer = {0x6d7cdc71, 0x9888, 0x11d3, {0x8e, 0xdc, 0x00, 0xc0, 0x4f, 0x61, 0x09, 0xcf}};
extern "C" const IID IID_IWMIndexer2 = {0xb70f1e42, 0x6255, 0x4df0, {0xa6, 0xb9, 0x02, 0xb2, 0x12, 0xd9, 0xe2, 0xbb}};

namespace {

const DWORD kDefaultIntervalMs = 1000;

class CWmIndexer : public IWMIndexer2 {
public:
    CWmIndexer() {}
    virtual ~CWmIndexer()
    {
        // The worker holds a reference until it has finished, so the last
        // release may come from the worker itself: only another thread waits.
        Cancel();
        if (m_thread) {
            if (::GetCurrentThreadId() != m_threadId)
                ::WaitForSingleObject(m_thread, INFINITE);
            ::CloseHandle(m_thread);
        }
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IWMIndexer || riid == IID_IWMIndexer2) {
            *ppv = static_cast<IWMIndexer2*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return (ULONG)::InterlockedIncrement(&m_refs); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG left = ::InterlockedDecrement(&m_refs);
        if (left == 0)
            delete this;
        return (ULONG)left;
    }

    STDMETHODIMP Configure(WORD streamNumber, WMT_INDEXER_TYPE type, void* interval, void*) override
    {
        (void)streamNumber;
        if (type != WMT_IT_PRESENTATION_TIME && type != WMT_IT_FRAME_NUMBERS)
            return E_INVALIDARG;
        if (Busy())
            return E_UNEXPECTED;
        DWORD ms = interval ? *static_cast<DWORD*>(interval) : kDefaultIntervalMs;
        m_intervalMs = ms ? ms : kDefaultIntervalMs;
        return S_OK;
    }

    // Indexes on a thread; the callback hears of the end through WMT_CLOSED.
    STDMETHODIMP StartIndexing(const WCHAR* url, IWMStatusCallback* callback, void* context) override
    {
        if (!url || !*url || !callback)
            return E_INVALIDARG;
        if (Busy())
            return E_UNEXPECTED;
        if (m_thread) {
            ::CloseHandle(m_thread);
            m_thread = NULL;
        }
        m_path = url;
        m_callback = callback;
        m_callback->AddRef();
        m_context = context;
        m_cancel = 0;
        m_busy = 1;
        AddRef();
        m_thread = ::CreateThread(NULL, 0, ThreadProc, this, 0, &m_threadId);
        if (!m_thread) {
            m_busy = 0;
            m_callback->Release();
            m_callback = NULL;
            Release();
            return HRESULT_FROM_WIN32(::GetLastError());
        }
        return S_OK;
    }

    STDMETHODIMP Cancel() override
    {
        ::InterlockedExchange(&m_cancel, 1);
        return S_OK;
    }

private:
    bool Busy() const { return m_busy != 0; }

    static bool OnProgress(void* context, uint32_t percent)
    {
        CWmIndexer* self = static_cast<CWmIndexer*>(context);
        DWORD value = percent;
        self->m_callback->OnStatus(WMT_INDEX_PROGRESS, S_OK, WMT_TYPE_DWORD, (BYTE*)&value, self->m_context);
        return self->m_cancel == 0;
    }

    static DWORD WINAPI ThreadProc(void* arg)
    {
        CWmIndexer* self = static_cast<CWmIndexer*>(arg);
        self->Run();
        self->Release();
        return 0;
    }

    void Run()
    {
        m_callback->OnStatus(WMT_STARTED, S_OK, WMT_TYPE_DWORD, NULL, m_context);
        HRESULT result = S_OK;
        asf::CFileStore store;
        std::string error;
        if (!store.OpenExisting(m_path.c_str(), true)) {
            result = HRESULT_FROM_WIN32(::GetLastError());
            if (SUCCEEDED(result))
                result = E_FAIL;
        } else if (!asf::IndexAsf(&store, (uint64_t)m_intervalMs * 10000, OnProgress, this, &error)) {
            result = m_cancel ? E_ABORT : E_FAIL;
            ::OutputDebugStringA(("asf indexer: " + error + "\n").c_str());
        }
        store.Close();
        if (FAILED(result))
            m_callback->OnStatus(WMT_ERROR, result, WMT_TYPE_DWORD, NULL, m_context);
        IWMStatusCallback* callback = m_callback;
        void* context = m_context;
        m_callback = NULL;
        ::InterlockedExchange(&m_busy, 0);
        callback->OnStatus(WMT_CLOSED, result, WMT_TYPE_DWORD, NULL, context);
        callback->Release();
    }

    volatile LONG m_refs = 1;
    volatile LONG m_cancel = 0;
    volatile LONG m_busy = 0;
    DWORD m_intervalMs = kDefaultIntervalMs;
    std::wstring m_path;
    IWMStatusCallback* m_callback = NULL;
    void* m_context = NULL;
    HANDLE m_thread = NULL;
    DWORD m_threadId = 0;
};

}  // namespace

HRESULT CreateAsfIndexer(IWMIndexer2** indexer)
{
    if (!indexer)
        return E_POINTER;
    *indexer = new (std::nothrow) CWmIndexer();
    return *indexer ? S_OK : E_OUTOFMEMORY;
}
