#include "platform/filters/SinkFilter.h"

// ------------------------------------------------------------ CSinkInputPin

CSinkInputPin::CSinkInputPin(CSinkFilterBase* filter, LPCWSTR name, int index)
    : CInputPinBase(filter, name), m_owner(filter), m_index(index)
{
}

HRESULT CSinkInputPin::CheckMediaType(const AM_MEDIA_TYPE* mt) { return m_owner->CheckSinkType(m_index, mt); }

HRESULT CSinkInputPin::GetMediaType(int index, AM_MEDIA_TYPE* mt) { return m_owner->GetSinkType(m_index, index, mt); }

HRESULT CSinkInputPin::CompleteConnect(IPin* peer) { return m_owner->OnConnect(m_index, peer); }

void CSinkInputPin::BreakConnect() { m_owner->OnDisconnect(m_index); }

HRESULT CSinkInputPin::OnReceive(IMediaSample* sample)
{
    HRESULT hr = m_owner->WaitForRenderTime(sample);
    if (hr != S_OK)
        return hr;
    return m_owner->RenderSample(m_index, sample);
}

HRESULT CSinkInputPin::OnEndOfStream()
{
    m_owner->OnPinEndOfStream(m_index);
    m_owner->PinEndOfStream(m_index);
    return S_OK;
}

HRESULT CSinkInputPin::OnBeginFlush()
{
    m_owner->PinBeginFlush();
    return S_OK;
}

HRESULT CSinkInputPin::OnEndFlush()
{
    m_owner->OnFlush(m_index);
    m_owner->PinEndFlush();
    return S_OK;
}

// ---------------------------------------------------------- CSinkFilterBase

CSinkFilterBase::CSinkFilterBase(REFCLSID clsid, int pinCount, const LPCWSTR* pinNames)
    : CFilterBase(clsid), m_seeking(static_cast<IBaseFilter*>(this), NULL), m_bSyncToClock(FALSE),
      m_bCompleteSent(FALSE), m_nCompleteSent(0)
{
    for (int i = 0; i < pinCount; ++i) {
        WCHAR name[32];
        if (pinNames && pinNames[i]) {
            lstrcpynW(name, pinNames[i], ARRAYSIZE(name));
        } else {
            name[0] = L'I';
            name[1] = L'n';
            _itow(i, name + 2, 10);
        }
        AddPin(new CSinkInputPin(this, name, i));
    }
    m_seeking = CSeekingPassThrough(static_cast<IBaseFilter*>(this), pinCount > 0 ? InputPin(0) : NULL);
    m_hRunning = CreateEventW(NULL, TRUE, FALSE, NULL);
    m_hAbort = CreateEventW(NULL, TRUE, TRUE, NULL);
    m_hTimer = CreateEventW(NULL, FALSE, FALSE, NULL);
}

CSinkFilterBase::~CSinkFilterBase()
{
    CloseHandle(m_hRunning);
    CloseHandle(m_hAbort);
    CloseHandle(m_hTimer);
}

STDMETHODIMP CSinkFilterBase::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv && IsEqualIID(riid, IID_IMediaSeeking) && GetPinCount() > 0) {
        *ppv = static_cast<IMediaSeeking*>(&m_seeking);
        AddRef();
        return S_OK;
    }
    return CFilterBase::QueryInterface(riid, ppv);
}

HRESULT CSinkFilterBase::GetSinkType(int, int, AM_MEDIA_TYPE*) { return VFW_S_NO_MORE_ITEMS; }

// S_OK when the sample is due; S_FALSE when a flush or Stop ended the wait
// (the sample is then dropped).
HRESULT CSinkFilterBase::WaitForRenderTime(IMediaSample* sample)
{
    if (!m_bSyncToClock)
        return S_OK;
    HANDLE waitRun[2] = {m_hAbort, m_hRunning};
    if (WaitForMultipleObjects(2, waitRun, FALSE, INFINITE) == WAIT_OBJECT_0)
        return S_FALSE;
    IReferenceClock* clock = NULL;
    if (FAILED(GetSyncSource(&clock)) || !clock)
        return S_OK;
    REFERENCE_TIME start = 0, stop = 0;
    HRESULT hr = S_OK;
    if (SUCCEEDED(sample->GetTime(&start, &stop))) {
        DWORD_PTR cookie = 0;
        ResetEvent(m_hTimer);
        if (SUCCEEDED(clock->AdviseTime(m_tStart, start, (HEVENT)m_hTimer, &cookie))) {
            HANDLE waitTime[2] = {m_hAbort, m_hTimer};
            if (WaitForMultipleObjects(2, waitTime, FALSE, INFINITE) == WAIT_OBJECT_0)
                hr = S_FALSE;
            clock->Unadvise(cookie);
        }
    }
    clock->Release();
    return hr;
}

void CSinkFilterBase::PinEndOfStream(int)
{
    CDsAutoLock lock(&m_eosLock);
    CheckComplete();
}

void CSinkFilterBase::CheckComplete()
{
    if (m_bCompleteSent || m_state != State_Running || !CanComplete())
        return;
    int connected = 0;
    for (int i = 0; i < GetPinCount(); ++i) {
        CSinkInputPin* pin = InputPin(i);
        if (!pin->IsConnected())
            continue;
        ++connected;
        if (!pin->IsAtEndOfStream())
            return;
    }
    if (connected == 0)
        return;
    m_bCompleteSent = TRUE;
    InterlockedIncrement(&m_nCompleteSent);
    NotifyEvent(EC_COMPLETE, S_OK, (LONG_PTR) static_cast<IBaseFilter*>(this));
}

void CSinkFilterBase::PinBeginFlush() { SetEvent(m_hAbort); }

void CSinkFilterBase::PinEndFlush()
{
    {
        CDsAutoLock lock(&m_eosLock);
        m_bCompleteSent = FALSE;
    }
    if (m_state != State_Stopped)
        ResetEvent(m_hAbort);
}

HRESULT CSinkFilterBase::OnStop()
{
    ResetEvent(m_hRunning);
    SetEvent(m_hAbort);
    CDsAutoLock lock(&m_eosLock);
    m_bCompleteSent = FALSE;
    return S_OK;
}

HRESULT CSinkFilterBase::OnPause(FILTER_STATE)
{
    ResetEvent(m_hRunning);
    ResetEvent(m_hAbort);
    return S_OK;
}

HRESULT CSinkFilterBase::OnRun(REFERENCE_TIME)
{
    SetEvent(m_hRunning);
    CDsAutoLock lock(&m_eosLock);
    CheckComplete();
    return S_OK;
}

void DsSampleSpan(IMediaSample* sample, REFERENCE_TIME previousEnd, REFERENCE_TIME* start, REFERENCE_TIME* stop)
{
    *start = *stop = 0;
    const HRESULT timed = sample->GetTime(start, stop);
    if (FAILED(timed))
        *start = *stop = previousEnd;
    else if (timed == VFW_S_NO_STOP_TIME)
        *stop = *start;
    if (*start < 0)
        *start = 0;
}
