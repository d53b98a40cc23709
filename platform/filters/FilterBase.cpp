#include "platform/filters/FilterBase.h"

#include <new>

namespace {

// Pins of a filter, as they were when the enumerator was made.
class CEnumPins final : public IEnumPins {
public:
    CEnumPins(std::vector<IPin*> pins, ULONG position) : m_cRef(1), m_pins(pins), m_pos(position)
    {
        for (IPin* pin : m_pins)
            pin->AddRef();
    }
    ~CEnumPins()
    {
        for (IPin* pin : m_pins)
            pin->Release();
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumPins)) {
            *ppv = static_cast<IEnumPins*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_cRef); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG n = InterlockedDecrement(&m_cRef);
        if (n == 0)
            delete this;
        return n;
    }
    STDMETHODIMP Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) override
    {
        if (!ppPins || (cPins > 1 && !pcFetched))
            return E_POINTER;
        ULONG n = 0;
        while (n < cPins && m_pos < m_pins.size()) {
            ppPins[n] = m_pins[m_pos++];
            ppPins[n]->AddRef();
            ++n;
        }
        if (pcFetched)
            *pcFetched = n;
        return n == cPins ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG cPins) override
    {
        if (m_pos + cPins > m_pins.size()) {
            m_pos = (ULONG)m_pins.size();
            return S_FALSE;
        }
        m_pos += cPins;
        return S_OK;
    }
    STDMETHODIMP Reset() override
    {
        m_pos = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumPins** ppEnum) override
    {
        if (!ppEnum)
            return E_POINTER;
        *ppEnum = new (std::nothrow) CEnumPins(m_pins, m_pos);
        return *ppEnum ? S_OK : E_OUTOFMEMORY;
    }

private:
    volatile LONG m_cRef;
    std::vector<IPin*> m_pins;
    ULONG m_pos;
};

// Media types a pin offers, copied when the enumerator was made.
class CEnumMediaTypes final : public IEnumMediaTypes {
public:
    CEnumMediaTypes() : m_cRef(1), m_pos(0) {}
    ~CEnumMediaTypes()
    {
        for (AM_MEDIA_TYPE* mt : m_types)
            DsDeleteMediaType(mt);
    }
    BOOL Add(const AM_MEDIA_TYPE* mt)
    {
        AM_MEDIA_TYPE* copy = DsCreateMediaType(mt);
        if (!copy)
            return FALSE;
        m_types.push_back(copy);
        return TRUE;
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumMediaTypes)) {
            *ppv = static_cast<IEnumMediaTypes*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_cRef); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG n = InterlockedDecrement(&m_cRef);
        if (n == 0)
            delete this;
        return n;
    }
    STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override
    {
        if (!types || (count > 1 && !fetched))
            return E_POINTER;
        ULONG n = 0;
        while (n < count && m_pos < m_types.size()) {
            types[n] = DsCreateMediaType(m_types[m_pos]);
            if (!types[n])
                break;
            ++m_pos;
            ++n;
        }
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override
    {
        if (m_pos + count > m_types.size()) {
            m_pos = (ULONG)m_types.size();
            return S_FALSE;
        }
        m_pos += count;
        return S_OK;
    }
    STDMETHODIMP Reset() override
    {
        m_pos = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumMediaTypes** ppEnum) override
    {
        if (!ppEnum)
            return E_POINTER;
        *ppEnum = NULL;
        CEnumMediaTypes* copy = new (std::nothrow) CEnumMediaTypes();
        if (!copy)
            return E_OUTOFMEMORY;
        for (AM_MEDIA_TYPE* mt : m_types) {
            if (!copy->Add(mt)) {
                copy->Release();
                return E_OUTOFMEMORY;
            }
        }
        copy->m_pos = m_pos;
        *ppEnum = copy;
        return S_OK;
    }

private:
    volatile LONG m_cRef;
    std::vector<AM_MEDIA_TYPE*> m_types;
    ULONG m_pos;
};

void CopyName(WCHAR* dst, size_t size, LPCWSTR src)
{
    lstrcpynW(dst, src ? src : L"", (int)size);
}

} // namespace

// ---------------------------------------------------------------- CPinBase

CPinBase::CPinBase(CFilterBase* filter, LPCWSTR name, PIN_DIRECTION direction)
    : m_pFilter(filter), m_dir(direction), m_pConnected(NULL)
{
    CopyName(m_name, ARRAYSIZE(m_name), name);
}

CPinBase::~CPinBase()
{
    if (m_pConnected)
        m_pConnected->Release();
}

STDMETHODIMP CPinBase::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPin)) {
        *ppv = static_cast<IPin*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = NULL;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CPinBase::AddRef() { return m_pFilter->AddRef(); }
STDMETHODIMP_(ULONG) CPinBase::Release() { return m_pFilter->Release(); }

HRESULT CPinBase::GetMediaType(int, AM_MEDIA_TYPE*) { return VFW_S_NO_MORE_ITEMS; }

HRESULT CPinBase::CompleteConnect(IPin*) { return S_OK; }

// Connect is called on the output pin by the graph. A complete type is tried
// as given; a partial one (or none) is matched against our own types first,
// then against what the receiving pin offers.
STDMETHODIMP CPinBase::Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt)
{
    if (!pReceivePin)
        return E_POINTER;
    CDsAutoLock lock(m_pFilter->FilterLock());
    if (m_pConnected)
        return VFW_E_ALREADY_CONNECTED;
    if (m_pFilter->State() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    if (m_dir != PINDIR_OUTPUT)
        return E_UNEXPECTED;
    if (DsIsCompleteMediaType(pmt)) {
        HRESULT hr = AttemptConnection(pReceivePin, pmt);
        return FAILED(hr) ? hr : S_OK;
    }
    // Our own types.
    for (int i = 0;; ++i) {
        CDsMediaType mt;
        if (GetMediaType(i, &mt) != S_OK)
            break;
        if (DsMatchesPartialType(&mt, pmt) && SUCCEEDED(AttemptConnection(pReceivePin, &mt)))
            return S_OK;
    }
    // The receiver's types.
    IEnumMediaTypes* types = NULL;
    if (SUCCEEDED(pReceivePin->EnumMediaTypes(&types)) && types) {
        HRESULT hr = TryMediaTypes(pReceivePin, pmt, types);
        types->Release();
        if (SUCCEEDED(hr))
            return S_OK;
    }
    return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT CPinBase::TryMediaTypes(IPin* receivePin, const AM_MEDIA_TYPE* partial, IEnumMediaTypes* types)
{
    AM_MEDIA_TYPE* mt = NULL;
    while (types->Next(1, &mt, NULL) == S_OK) {
        HRESULT hr = E_FAIL;
        if (DsMatchesPartialType(mt, partial) && CheckMediaType(mt) == S_OK)
            hr = AttemptConnection(receivePin, mt);
        DsDeleteMediaType(mt);
        mt = NULL;
        if (SUCCEEDED(hr))
            return S_OK;
    }
    return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT CPinBase::AttemptConnection(IPin* receivePin, const AM_MEDIA_TYPE* mt)
{
    if (CheckMediaType(mt) != S_OK)
        return VFW_E_TYPE_NOT_ACCEPTED;
    HRESULT hr = m_mt.Set(mt);
    if (FAILED(hr))
        return hr;
    m_pConnected = receivePin;
    m_pConnected->AddRef();
    hr = receivePin->ReceiveConnection(this, mt);
    if (SUCCEEDED(hr)) {
        hr = CompleteConnect(receivePin);
        if (SUCCEEDED(hr))
            return S_OK;
        receivePin->Disconnect();
    }
    BreakConnect();
    m_pConnected->Release();
    m_pConnected = NULL;
    m_mt.Clear();
    return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
}

STDMETHODIMP CPinBase::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt)
{
    if (!pConnector || !pmt)
        return E_POINTER;
    CDsAutoLock lock(m_pFilter->FilterLock());
    if (m_pConnected)
        return VFW_E_ALREADY_CONNECTED;
    if (m_pFilter->State() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    PIN_DIRECTION dir;
    if (FAILED(pConnector->QueryDirection(&dir)) || dir == m_dir)
        return VFW_E_INVALID_DIRECTION;
    if (CheckMediaType(pmt) != S_OK)
        return VFW_E_TYPE_NOT_ACCEPTED;
    HRESULT hr = m_mt.Set(pmt);
    if (FAILED(hr))
        return hr;
    m_pConnected = pConnector;
    m_pConnected->AddRef();
    hr = CompleteConnect(pConnector);
    if (FAILED(hr)) {
        BreakConnect();
        m_pConnected->Release();
        m_pConnected = NULL;
        m_mt.Clear();
    }
    return hr;
}

STDMETHODIMP CPinBase::Disconnect()
{
    CDsAutoLock lock(m_pFilter->FilterLock());
    if (m_pFilter->State() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    if (!m_pConnected)
        return S_FALSE;
    BreakConnect();
    m_pConnected->Release();
    m_pConnected = NULL;
    m_mt.Clear();
    return S_OK;
}

STDMETHODIMP CPinBase::ConnectedTo(IPin** pPin)
{
    if (!pPin)
        return E_POINTER;
    CDsAutoLock lock(m_pFilter->FilterLock());
    *pPin = m_pConnected;
    if (!m_pConnected)
        return VFW_E_NOT_CONNECTED;
    m_pConnected->AddRef();
    return S_OK;
}

STDMETHODIMP CPinBase::ConnectionMediaType(AM_MEDIA_TYPE* pmt)
{
    if (!pmt)
        return E_POINTER;
    CDsAutoLock lock(m_pFilter->FilterLock());
    if (!m_pConnected) {
        ZeroMemory(pmt, sizeof(*pmt));
        return VFW_E_NOT_CONNECTED;
    }
    return DsCopyMediaType(pmt, &m_mt);
}

STDMETHODIMP CPinBase::QueryPinInfo(PIN_INFO* pInfo)
{
    if (!pInfo)
        return E_POINTER;
    pInfo->pFilter = m_pFilter;
    m_pFilter->AddRef();
    pInfo->dir = m_dir;
    CopyName(pInfo->achName, ARRAYSIZE(pInfo->achName), m_name);
    return S_OK;
}

STDMETHODIMP CPinBase::QueryDirection(PIN_DIRECTION* pPinDir)
{
    if (!pPinDir)
        return E_POINTER;
    *pPinDir = m_dir;
    return S_OK;
}

STDMETHODIMP CPinBase::QueryId(LPWSTR* Id)
{
    if (!Id)
        return E_POINTER;
    size_t bytes = (lstrlenW(m_name) + 1) * sizeof(WCHAR);
    *Id = (LPWSTR)CoTaskMemAlloc(bytes);
    if (!*Id)
        return E_OUTOFMEMORY;
    CopyMemory(*Id, m_name, bytes);
    return S_OK;
}

STDMETHODIMP CPinBase::QueryAccept(const AM_MEDIA_TYPE* pmt)
{
    if (!pmt)
        return E_POINTER;
    return CheckMediaType(pmt) == S_OK ? S_OK : S_FALSE;
}

STDMETHODIMP CPinBase::EnumMediaTypes(IEnumMediaTypes** ppEnum)
{
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = NULL;
    CEnumMediaTypes* types = new (std::nothrow) CEnumMediaTypes();
    if (!types)
        return E_OUTOFMEMORY;
    for (int i = 0;; ++i) {
        CDsMediaType mt;
        if (GetMediaType(i, &mt) != S_OK)
            break;
        if (!types->Add(&mt)) {
            types->Release();
            return E_OUTOFMEMORY;
        }
    }
    *ppEnum = types;
    return S_OK;
}

// ----------------------------------------------------------- CInputPinBase

CInputPinBase::CInputPinBase(CFilterBase* filter, LPCWSTR name)
    : CPinBase(filter, name, PINDIR_INPUT), m_pAllocator(NULL), m_bReadOnly(FALSE), m_bFlushing(FALSE),
      m_bAtEndOfStream(FALSE), m_tSegmentStart(0)
{
}

CInputPinBase::~CInputPinBase()
{
    if (m_pAllocator)
        m_pAllocator->Release();
}

STDMETHODIMP CInputPinBase::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IMemInputPin)) {
        *ppv = static_cast<IMemInputPin*>(this);
        AddRef();
        return S_OK;
    }
    return CPinBase::QueryInterface(riid, ppv);
}

STDMETHODIMP CInputPinBase::Disconnect()
{
    HRESULT hr = CPinBase::Disconnect();
    if (hr == S_OK && m_pAllocator) {
        m_pAllocator->Release();
        m_pAllocator = NULL;
    }
    return hr;
}

// Our own memory allocator when upstream asks for one (Wine's is real).
STDMETHODIMP CInputPinBase::GetAllocator(IMemAllocator** ppAllocator)
{
    if (!ppAllocator)
        return E_POINTER;
    *ppAllocator = NULL;
    CDsAutoLock lock(m_pFilter->FilterLock());
    if (!m_pAllocator) {
        HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, NULL, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                      (void**)&m_pAllocator);
        if (FAILED(hr))
            return hr;
    }
    *ppAllocator = m_pAllocator;
    m_pAllocator->AddRef();
    return S_OK;
}

STDMETHODIMP CInputPinBase::NotifyAllocator(IMemAllocator* pAllocator, BOOL bReadOnly)
{
    if (!pAllocator)
        return E_POINTER;
    CDsAutoLock lock(m_pFilter->FilterLock());
    pAllocator->AddRef();
    if (m_pAllocator)
        m_pAllocator->Release();
    m_pAllocator = pAllocator;
    m_bReadOnly = bReadOnly;
    return S_OK;
}

STDMETHODIMP CInputPinBase::Receive(IMediaSample* pSample)
{
    if (!pSample)
        return E_POINTER;
    CDsAutoLock lock(&m_receiveLock);
    if (m_pFilter->State() == State_Stopped)
        return VFW_E_WRONG_STATE;
    if (m_bFlushing || m_bAtEndOfStream)
        return S_FALSE;
    return OnReceive(pSample);
}

STDMETHODIMP CInputPinBase::ReceiveMultiple(IMediaSample** pSamples, long nSamples, long* nSamplesProcessed)
{
    if (!pSamples || !nSamplesProcessed)
        return E_POINTER;
    HRESULT hr = S_OK;
    *nSamplesProcessed = 0;
    while (*nSamplesProcessed < nSamples) {
        hr = Receive(pSamples[*nSamplesProcessed]);
        if (hr != S_OK)
            break;
        ++*nSamplesProcessed;
    }
    return hr;
}

// The flushing flag goes up before the receive lock is taken, so that a
// thread blocked inside OnReceive (a renderer waiting on its clock) is told
// to give up by OnBeginFlush and the flush never waits on it.
STDMETHODIMP CInputPinBase::BeginFlush()
{
    m_bFlushing = TRUE;
    HRESULT hr = OnBeginFlush();
    CDsAutoLock lock(&m_receiveLock);
    return hr;
}

STDMETHODIMP CInputPinBase::EndFlush()
{
    CDsAutoLock lock(&m_receiveLock);
    m_bAtEndOfStream = FALSE;
    HRESULT hr = OnEndFlush();
    m_bFlushing = FALSE;
    return hr;
}

STDMETHODIMP CInputPinBase::EndOfStream()
{
    CDsAutoLock lock(&m_receiveLock);
    if (m_pFilter->State() == State_Stopped)
        return VFW_E_WRONG_STATE;
    if (m_bFlushing)
        return S_FALSE;
    m_bAtEndOfStream = TRUE;
    return OnEndOfStream();
}

STDMETHODIMP CInputPinBase::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate)
{
    m_tSegmentStart = tStart;
    return OnNewSegment(tStart, tStop, dRate);
}

HRESULT CInputPinBase::Active()
{
    m_bAtEndOfStream = FALSE;
    m_bFlushing = FALSE;
    return S_OK;
}

// Stopping marks the pin flushing first, so that a sample arriving late is
// refused, then waits for the sample being handled.
HRESULT CInputPinBase::Inactive()
{
    m_bFlushing = TRUE;
    OnBeginFlush();
    CDsAutoLock lock(&m_receiveLock);
    m_bAtEndOfStream = FALSE;
    OnEndFlush();
    return S_OK;
}

// ---------------------------------------------------------- COutputPinBase

COutputPinBase::COutputPinBase(CFilterBase* filter, LPCWSTR name)
    : CPinBase(filter, name, PINDIR_OUTPUT), m_pInputPin(NULL), m_pAllocator(NULL)
{
}

COutputPinBase::~COutputPinBase()
{
    if (m_pInputPin)
        m_pInputPin->Release();
    if (m_pAllocator)
        m_pAllocator->Release();
}

STDMETHODIMP COutputPinBase::Disconnect() { return CPinBase::Disconnect(); }

HRESULT COutputPinBase::CompleteConnect(IPin* peer)
{
    HRESULT hr = peer->QueryInterface(IID_IMemInputPin, (void**)&m_pInputPin);
    if (FAILED(hr))
        return VFW_E_NO_TRANSPORT;
    hr = DecideAllocator(m_pInputPin, &m_pAllocator);
    if (FAILED(hr)) {
        m_pInputPin->Release();
        m_pInputPin = NULL;
    }
    return hr;
}

void COutputPinBase::BreakConnect()
{
    if (m_pAllocator) {
        m_pAllocator->Decommit();
        m_pAllocator->Release();
        m_pAllocator = NULL;
    }
    if (m_pInputPin) {
        m_pInputPin->Release();
        m_pInputPin = NULL;
    }
}

HRESULT COutputPinBase::DecideAllocator(IMemInputPin* input, IMemAllocator** allocator)
{
    *allocator = NULL;
    ALLOCATOR_PROPERTIES request = {};
    input->GetAllocatorRequirements(&request);
    if (request.cbAlign == 0)
        request.cbAlign = 1;

    HRESULT hr = input->GetAllocator(allocator);
    if (SUCCEEDED(hr) && *allocator) {
        hr = DecideBufferSize(*allocator, &request);
        if (SUCCEEDED(hr))
            hr = input->NotifyAllocator(*allocator, FALSE);
        if (SUCCEEDED(hr))
            return S_OK;
        (*allocator)->Release();
        *allocator = NULL;
    }
    hr = CoCreateInstance(CLSID_MemoryAllocator, NULL, CLSCTX_INPROC_SERVER, IID_IMemAllocator, (void**)allocator);
    if (FAILED(hr))
        return hr;
    hr = DecideBufferSize(*allocator, &request);
    if (SUCCEEDED(hr))
        hr = input->NotifyAllocator(*allocator, FALSE);
    if (FAILED(hr)) {
        (*allocator)->Release();
        *allocator = NULL;
    }
    return hr;
}

HRESULT COutputPinBase::Active()
{
    if (!m_pAllocator)
        return IsConnected() ? VFW_E_NO_ALLOCATOR : S_OK;
    return m_pAllocator->Commit();
}

// Decommitting wakes a streaming thread waiting in GetBuffer.
HRESULT COutputPinBase::Inactive()
{
    if (!m_pAllocator)
        return S_OK;
    return m_pAllocator->Decommit();
}

HRESULT COutputPinBase::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                          DWORD flags)
{
    if (!m_pAllocator)
        return VFW_E_NO_ALLOCATOR;
    return m_pAllocator->GetBuffer(sample, start, stop, flags);
}

HRESULT COutputPinBase::Deliver(IMediaSample* sample)
{
    if (!m_pInputPin)
        return VFW_E_NOT_CONNECTED;
    return m_pInputPin->Receive(sample);
}

HRESULT COutputPinBase::DeliverEndOfStream()
{
    IPin* peer = m_pConnected;
    return peer ? peer->EndOfStream() : VFW_E_NOT_CONNECTED;
}

HRESULT COutputPinBase::DeliverBeginFlush()
{
    IPin* peer = m_pConnected;
    return peer ? peer->BeginFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT COutputPinBase::DeliverEndFlush()
{
    IPin* peer = m_pConnected;
    return peer ? peer->EndFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT COutputPinBase::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate)
{
    IPin* peer = m_pConnected;
    return peer ? peer->NewSegment(start, stop, rate) : VFW_E_NOT_CONNECTED;
}

// ------------------------------------------------------------- CFilterBase

CFilterBase::CFilterBase(REFCLSID clsid)
    : m_state(State_Stopped), m_tStart(0), m_cRef(0), m_clsid(clsid), m_pClock(NULL), m_pGraph(NULL)
{
    m_name[0] = 0;
}

CFilterBase::~CFilterBase()
{
    for (CPinBase* pin : m_pins)
        delete pin;
    if (m_pClock)
        m_pClock->Release();
}

STDMETHODIMP CFilterBase::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPersist) || IsEqualIID(riid, IID_IMediaFilter) ||
        IsEqualIID(riid, IID_IBaseFilter)) {
        *ppv = static_cast<IBaseFilter*>(this);
    } else if (IsEqualIID(riid, IID_IAMFilterMiscFlags)) {
        *ppv = static_cast<IAMFilterMiscFlags*>(this);
    } else {
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CFilterBase::AddRef() { return InterlockedIncrement(&m_cRef); }

STDMETHODIMP_(ULONG) CFilterBase::Release()
{
    LONG n = InterlockedDecrement(&m_cRef);
    if (n == 0)
        delete this;
    return n;
}

STDMETHODIMP CFilterBase::GetClassID(CLSID* pClassID)
{
    if (!pClassID)
        return E_POINTER;
    *pClassID = m_clsid;
    return S_OK;
}

// Pins go inactive before the state changes hook runs: output pins decommit
// their allocators (waking streaming threads blocked in GetBuffer) and input
// pins refuse further samples.
STDMETHODIMP CFilterBase::Stop()
{
    CDsAutoLock lock(&m_filterLock);
    if (m_state == State_Stopped)
        return S_OK;
    HRESULT hr = S_OK;
    m_state = State_Stopped;
    for (CPinBase* pin : m_pins) {
        HRESULT pinHr = pin->Inactive();
        if (FAILED(pinHr) && SUCCEEDED(hr))
            hr = pinHr;
    }
    HRESULT stopHr = OnStop();
    return FAILED(stopHr) ? stopHr : hr;
}

STDMETHODIMP CFilterBase::Pause()
{
    CDsAutoLock lock(&m_filterLock);
    FILTER_STATE from = m_state;
    if (from == State_Stopped) {
        for (CPinBase* pin : m_pins) {
            HRESULT hr = pin->Active();
            if (FAILED(hr)) {
                for (CPinBase* other : m_pins)
                    other->Inactive();
                return hr;
            }
        }
    }
    m_state = State_Paused;
    HRESULT hr = OnPause(from);
    if (FAILED(hr)) {
        m_state = from;
        if (from == State_Stopped)
            for (CPinBase* pin : m_pins)
                pin->Inactive();
    }
    return hr;
}

STDMETHODIMP CFilterBase::Run(REFERENCE_TIME tStart)
{
    CDsAutoLock lock(&m_filterLock);
    if (m_state == State_Stopped) {
        HRESULT hr = Pause();
        if (FAILED(hr))
            return hr;
    }
    m_tStart = tStart;
    m_state = State_Running;
    return OnRun(tStart);
}

STDMETHODIMP CFilterBase::GetState(DWORD, FILTER_STATE* State)
{
    if (!State)
        return E_POINTER;
    *State = m_state;
    return S_OK;
}

STDMETHODIMP CFilterBase::SetSyncSource(IReferenceClock* pClock)
{
    CDsAutoLock lock(&m_filterLock);
    if (pClock)
        pClock->AddRef();
    if (m_pClock)
        m_pClock->Release();
    m_pClock = pClock;
    return S_OK;
}

STDMETHODIMP CFilterBase::GetSyncSource(IReferenceClock** pClock)
{
    if (!pClock)
        return E_POINTER;
    CDsAutoLock lock(&m_filterLock);
    *pClock = m_pClock;
    if (m_pClock)
        m_pClock->AddRef();
    return S_OK;
}

STDMETHODIMP CFilterBase::EnumPins(IEnumPins** ppEnum)
{
    if (!ppEnum)
        return E_POINTER;
    std::vector<IPin*> pins(m_pins.begin(), m_pins.end());
    *ppEnum = new (std::nothrow) CEnumPins(pins, 0);
    return *ppEnum ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CFilterBase::FindPin(LPCWSTR Id, IPin** ppPin)
{
    if (!Id || !ppPin)
        return E_POINTER;
    for (CPinBase* pin : m_pins) {
        if (lstrcmpW(pin->Name(), Id) == 0) {
            *ppPin = pin;
            pin->AddRef();
            return S_OK;
        }
    }
    *ppPin = NULL;
    return VFW_E_NOT_FOUND;
}

STDMETHODIMP CFilterBase::QueryFilterInfo(FILTER_INFO* pInfo)
{
    if (!pInfo)
        return E_POINTER;
    CopyName(pInfo->achName, ARRAYSIZE(pInfo->achName), m_name);
    pInfo->pGraph = m_pGraph;
    if (m_pGraph)
        m_pGraph->AddRef();
    return S_OK;
}

STDMETHODIMP CFilterBase::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName)
{
    CDsAutoLock lock(&m_filterLock);
    m_pGraph = pGraph;
    CopyName(m_name, ARRAYSIZE(m_name), pGraph ? pName : NULL);
    return S_OK;
}

HRESULT CFilterBase::NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2)
{
    IFilterGraph* graph = m_pGraph;
    if (!graph)
        return E_UNEXPECTED;
    IMediaEventSink* sink = NULL;
    HRESULT hr = graph->QueryInterface(IID_IMediaEventSink, (void**)&sink);
    if (FAILED(hr))
        return hr;
    hr = sink->Notify(code, param1, param2);
    sink->Release();
    return hr;
}
