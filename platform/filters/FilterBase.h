// Our small DirectShow filter base (mingw-w64 has no strmbase): a filter
// with its state, clock and graph, and pins that connect, negotiate an
// allocator and carry samples, end of stream, flushes and new segments.
// The transform, in-place, sink and source filters of this folder derive
// from it; so do the render engine's and the writers' filters.
//
// Ownership: a filter owns its pins; a pin's AddRef and Release are the
// filter's, so that a pin handed out keeps its filter alive. A filter holds
// its graph without a reference (the graph holds the filter).
// Threads: state changes come from the graph's thread under the filter lock;
// samples, end of stream and flushes come on the streaming threads.
#pragma once
#include "platform/filters/MediaTypeUtil.h"

#include <vector>

class CFilterBase;

// A critical section with a scoped holder.
class CDsLock {
public:
    CDsLock() { InitializeCriticalSection(&m_cs); }
    ~CDsLock() { DeleteCriticalSection(&m_cs); }
    void Lock() { EnterCriticalSection(&m_cs); }
    void Unlock() { LeaveCriticalSection(&m_cs); }
    CDsLock(const CDsLock&) = delete;
    CDsLock& operator=(const CDsLock&) = delete;

private:
    CRITICAL_SECTION m_cs;
};

class CDsAutoLock {
public:
    explicit CDsAutoLock(CDsLock* lock) : m_lock(lock) { m_lock->Lock(); }
    ~CDsAutoLock() { m_lock->Unlock(); }
    CDsAutoLock(const CDsAutoLock&) = delete;
    CDsAutoLock& operator=(const CDsAutoLock&) = delete;

private:
    CDsLock* m_lock;
};

// The pin: connection, media type, identity. Derived pins decide which
// types they take (CheckMediaType) and offer (GetMediaType).
class CPinBase : public IPin {
public:
    CPinBase(CFilterBase* filter, LPCWSTR name, PIN_DIRECTION direction);
    virtual ~CPinBase();

    // IUnknown: the filter's reference count.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPin
    STDMETHODIMP Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pPin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* pInfo) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* pPinDir) override;
    STDMETHODIMP QueryId(LPWSTR* Id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
    STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }
    STDMETHODIMP BeginFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP EndFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

    // S_OK when the pin takes the type; any other value refuses it.
    virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) = 0;
    // The index-th type the pin offers: S_OK, or VFW_S_NO_MORE_ITEMS past the last.
    virtual HRESULT GetMediaType(int index, AM_MEDIA_TYPE* mt);
    // Called once the media type is agreed on both ends; a failure undoes the connection.
    virtual HRESULT CompleteConnect(IPin* peer);
    // Called when the connection goes.
    virtual void BreakConnect() {}
    // State changes of the filter: going from stopped to paused, and back.
    virtual HRESULT Active() { return S_OK; }
    virtual HRESULT Inactive() { return S_OK; }

    BOOL IsConnected() const { return m_pConnected != NULL; }
    IPin* GetConnected() const { return m_pConnected; }
    const AM_MEDIA_TYPE& CurrentMediaType() const { return m_mt; }
    PIN_DIRECTION Direction() const { return m_dir; }
    LPCWSTR Name() const { return m_name; }
    CFilterBase* Filter() const { return m_pFilter; }

protected:
    HRESULT AttemptConnection(IPin* receivePin, const AM_MEDIA_TYPE* mt);
    HRESULT TryMediaTypes(IPin* receivePin, const AM_MEDIA_TYPE* partial, IEnumMediaTypes* types);

    CFilterBase* m_pFilter;
    WCHAR m_name[128];
    PIN_DIRECTION m_dir;
    IPin* m_pConnected;       // owned reference
    CDsMediaType m_mt;
};

// An input pin: samples come in through IMemInputPin. Derived pins handle
// Receive; end of stream and flushes are passed to virtual handlers.
class CInputPinBase : public CPinBase, public IMemInputPin {
public:
    CInputPinBase(CFilterBase* filter, LPCWSTR name);
    ~CInputPinBase() override;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return CPinBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return CPinBase::Release(); }

    // IPin
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

    // IMemInputPin
    STDMETHODIMP GetAllocator(IMemAllocator** ppAllocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly) override;
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
    STDMETHODIMP Receive(IMediaSample* pSample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample** pSamples, long nSamples, long* nSamplesProcessed) override;
    STDMETHODIMP ReceiveCanBlock() override { return S_OK; }

    // What the derived pin does with a sample, its end of stream and flushes.
    // OnReceive runs only while the filter is not stopped and the pin is not
    // flushing.
    virtual HRESULT OnReceive(IMediaSample* sample) = 0;
    virtual HRESULT OnEndOfStream() { return S_OK; }
    virtual HRESULT OnBeginFlush() { return S_OK; }
    virtual HRESULT OnEndFlush() { return S_OK; }
    virtual HRESULT OnNewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

    HRESULT Inactive() override;
    HRESULT Active() override;
    BOOL IsFlushing() const { return m_bFlushing; }
    BOOL IsAtEndOfStream() const { return m_bAtEndOfStream; }
    void ClearEndOfStream() { m_bAtEndOfStream = FALSE; }
    IMemAllocator* Allocator() const { return m_pAllocator; }
    BOOL ReadOnlySamples() const { return m_bReadOnly; }
    REFERENCE_TIME SegmentStart() const { return m_tSegmentStart; }

protected:
    // Held while a sample, end of stream or flush is handled.
    CDsLock m_receiveLock;

private:
    IMemAllocator* m_pAllocator;   // owned reference
    BOOL m_bReadOnly;
    volatile BOOL m_bFlushing;
    volatile BOOL m_bAtEndOfStream;
    REFERENCE_TIME m_tSegmentStart;
};

// An output pin: it connects to an IMemInputPin, decides the allocator and
// delivers samples, end of stream and flushes downstream.
class COutputPinBase : public CPinBase {
public:
    COutputPinBase(CFilterBase* filter, LPCWSTR name);
    ~COutputPinBase() override;

    STDMETHODIMP Disconnect() override;

    // The buffer sizes this pin needs; set them on the allocator.
    virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
    // Chooses the allocator: the downstream pin's first, our own memory
    // allocator when that one refuses the sizes.
    virtual HRESULT DecideAllocator(IMemInputPin* input, IMemAllocator** allocator);
    HRESULT CompleteConnect(IPin* peer) override;
    void BreakConnect() override;
    HRESULT Active() override;
    HRESULT Inactive() override;

    HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags);
    HRESULT Deliver(IMediaSample* sample);
    HRESULT DeliverEndOfStream();
    HRESULT DeliverBeginFlush();
    HRESULT DeliverEndFlush();
    HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);
    IMemAllocator* Allocator() const { return m_pAllocator; }

protected:
    IMemInputPin* m_pInputPin;     // owned reference to the peer's IMemInputPin
    IMemAllocator* m_pAllocator;   // owned reference
};

// The filter: state, reference clock, graph membership, name and pins.
class CFilterBase : public IBaseFilter, public IAMFilterMiscFlags {
public:
    explicit CFilterBase(REFCLSID clsid);
    virtual ~CFilterBase();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPersist
    STDMETHODIMP GetClassID(CLSID* pClassID) override;
    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;
    STDMETHODIMP GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* pClock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** pClock) override;
    // IBaseFilter
    STDMETHODIMP EnumPins(IEnumPins** ppEnum) override;
    STDMETHODIMP FindPin(LPCWSTR Id, IPin** ppPin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* pInfo) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }
    // IAMFilterMiscFlags: 0 unless the filter renders (sinks say so).
    STDMETHODIMP_(ULONG) GetMiscFlags() override { return 0; }

    int GetPinCount() const { return (int)m_pins.size(); }
    CPinBase* GetPin(int index) const { return index >= 0 && index < (int)m_pins.size() ? m_pins[index] : NULL; }
    FILTER_STATE State() const { return m_state; }
    REFERENCE_TIME StartTime() const { return m_tStart; }
    IReferenceClock* Clock() const { return m_pClock; }
    IFilterGraph* Graph() const { return m_pGraph; }
    CDsLock* FilterLock() { return &m_filterLock; }
    // Sends an event to the graph's event sink (EC_COMPLETE and the like).
    HRESULT NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2);

protected:
    // Takes ownership of the pin; pins are made in the constructor.
    void AddPin(CPinBase* pin) { m_pins.push_back(pin); }
    // Hooks around state changes, under the filter lock.
    virtual HRESULT OnStop() { return S_OK; }
    virtual HRESULT OnPause(FILTER_STATE from) { (void)from; return S_OK; }
    virtual HRESULT OnRun(REFERENCE_TIME start) { (void)start; return S_OK; }

    CDsLock m_filterLock;
    volatile FILTER_STATE m_state;
    REFERENCE_TIME m_tStart;

private:
    volatile LONG m_cRef;
    CLSID m_clsid;
    std::vector<CPinBase*> m_pins;
    IReferenceClock* m_pClock;   // owned reference
    IFilterGraph* m_pGraph;      // not owned: the graph holds the filter
    WCHAR m_name[128];
};

// Creates a filter object into an interface pointer: the usual ending of a
// creation function (the object is deleted when the query fails).
template <class T> HRESULT DsCreateFilterObject(T* object, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = NULL;
    if (!object)
        return E_OUTOFMEMORY;
    object->AddRef();
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}
