#include "platform/filters/SourceStream.h"

CSourceStreamPin::CSourceStreamPin(CFilterBase* filter, LPCWSTR name)
    : COutputPinBase(filter, name), m_hThread(NULL), m_bStop(FALSE), m_rtStart(0), m_rtStop(-1), m_rtDelivered(0)
{
}

CSourceStreamPin::~CSourceStreamPin() { StopThread(); }

STDMETHODIMP CSourceStreamPin::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv && IsEqualIID(riid, IID_IMediaSeeking)) {
        *ppv = static_cast<IMediaSeeking*>(this);
        AddRef();
        return S_OK;
    }
    return COutputPinBase::QueryInterface(riid, ppv);
}

HRESULT CSourceStreamPin::Active()
{
    if (!IsConnected())
        return S_OK;
    HRESULT hr = COutputPinBase::Active();
    if (FAILED(hr))
        return hr;
    CDsAutoLock lock(&m_seekLock);
    hr = OnSeek(m_rtStart);
    if (FAILED(hr))
        return hr;
    return StartThread();
}

// Decommitting first wakes the thread if it waits for a buffer.
HRESULT CSourceStreamPin::Inactive()
{
    m_bStop = TRUE;
    COutputPinBase::Inactive();
    CDsAutoLock lock(&m_seekLock);
    StopThread();
    return S_OK;
}

HRESULT CSourceStreamPin::StartThread()
{
    m_bStop = FALSE;
    m_rtDelivered = 0;
    m_hThread = CreateThread(NULL, 0, ThreadProc, this, 0, NULL);
    return m_hThread ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

void CSourceStreamPin::StopThread()
{
    if (!m_hThread)
        return;
    m_bStop = TRUE;
    WaitForSingleObject(m_hThread, INFINITE);
    CloseHandle(m_hThread);
    m_hThread = NULL;
}

DWORD WINAPI CSourceStreamPin::ThreadProc(void* param)
{
    static_cast<CSourceStreamPin*>(param)->Stream();
    return 0;
}

void CSourceStreamPin::Stream()
{
    REFERENCE_TIME stop = m_rtStop >= 0 ? m_rtStop : Duration();
    DeliverNewSegment(m_rtStart, stop, 1.0);
    BOOL ended = FALSE;
    while (!m_bStop) {
        IMediaSample* sample = NULL;
        HRESULT hr = GetDeliveryBuffer(&sample, NULL, NULL, 0);
        if (FAILED(hr))
            return;   // decommitted: stopping or seeking
        hr = FillBuffer(sample);
        if (hr == S_OK && !m_bStop) {
            hr = Deliver(sample);
            sample->Release();
            if (hr != S_OK) {
                // S_FALSE: downstream wants no more (flushing or ended).
                if (FAILED(hr) && !m_bStop)
                    Filter()->NotifyEvent(EC_ERRORABORT, hr, 0);
                return;
            }
            continue;
        }
        sample->Release();
        if (hr == S_FALSE) {
            ended = TRUE;
        } else if (FAILED(hr) && !m_bStop) {
            Filter()->NotifyEvent(EC_ERRORABORT, hr, 0);
            ended = TRUE;
        }
        break;
    }
    if (ended && !m_bStop)
        DeliverEndOfStream();
}

// ------------------------------------------------------------ IMediaSeeking

STDMETHODIMP CSourceStreamPin::GetCapabilities(DWORD* pCapabilities)
{
    if (!pCapabilities)
        return E_POINTER;
    *pCapabilities = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards | AM_SEEKING_CanSeekBackwards |
                     AM_SEEKING_CanGetCurrentPos | AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;
    return S_OK;
}

STDMETHODIMP CSourceStreamPin::CheckCapabilities(DWORD* pCapabilities)
{
    if (!pCapabilities)
        return E_POINTER;
    DWORD ours = 0;
    GetCapabilities(&ours);
    DWORD asked = *pCapabilities;
    *pCapabilities &= ours;
    if (*pCapabilities == asked)
        return S_OK;
    return *pCapabilities ? S_FALSE : E_FAIL;
}

STDMETHODIMP CSourceStreamPin::IsFormatSupported(const GUID* pFormat)
{
    if (!pFormat)
        return E_POINTER;
    return IsEqualGUID(*pFormat, TIME_FORMAT_MEDIA_TIME) ? S_OK : S_FALSE;
}

STDMETHODIMP CSourceStreamPin::QueryPreferredFormat(GUID* pFormat)
{
    if (!pFormat)
        return E_POINTER;
    *pFormat = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

STDMETHODIMP CSourceStreamPin::GetTimeFormat(GUID* pFormat) { return QueryPreferredFormat(pFormat); }

STDMETHODIMP CSourceStreamPin::IsUsingTimeFormat(const GUID* pFormat) { return IsFormatSupported(pFormat); }

STDMETHODIMP CSourceStreamPin::SetTimeFormat(const GUID* pFormat)
{
    if (!pFormat)
        return E_POINTER;
    return IsEqualGUID(*pFormat, TIME_FORMAT_MEDIA_TIME) ? S_OK : E_INVALIDARG;
}

STDMETHODIMP CSourceStreamPin::GetDuration(LONGLONG* pDuration)
{
    if (!pDuration)
        return E_POINTER;
    *pDuration = Duration();
    return S_OK;
}

STDMETHODIMP CSourceStreamPin::GetStopPosition(LONGLONG* pStop)
{
    if (!pStop)
        return E_POINTER;
    *pStop = m_rtStop >= 0 ? m_rtStop : Duration();
    return S_OK;
}

STDMETHODIMP CSourceStreamPin::GetCurrentPosition(LONGLONG* pCurrent)
{
    if (!pCurrent)
        return E_POINTER;
    *pCurrent = m_rtStart + m_rtDelivered;
    return S_OK;
}

STDMETHODIMP CSourceStreamPin::ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat, LONGLONG Source,
                                                 const GUID* pSourceFormat)
{
    if (!pTarget)
        return E_POINTER;
    if ((pTargetFormat && !IsEqualGUID(*pTargetFormat, TIME_FORMAT_MEDIA_TIME)) ||
        (pSourceFormat && !IsEqualGUID(*pSourceFormat, TIME_FORMAT_MEDIA_TIME)))
        return E_INVALIDARG;
    *pTarget = Source;
    return S_OK;
}

// A new start flushes what is on its way, restarts the thread and begins a
// new segment whose samples start at 0 again.
STDMETHODIMP CSourceStreamPin::SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG* pStop,
                                            DWORD dwStopFlags)
{
    DWORD currentHow = dwCurrentFlags & AM_SEEKING_PositioningBitsMask;
    DWORD stopHow = dwStopFlags & AM_SEEKING_PositioningBitsMask;
    if ((currentHow && !pCurrent) || (stopHow && !pStop))
        return E_POINTER;
    CDsAutoLock lock(&m_seekLock);
    REFERENCE_TIME duration = Duration();
    REFERENCE_TIME start = m_rtStart;
    if (currentHow == AM_SEEKING_AbsolutePositioning)
        start = *pCurrent;
    else if (currentHow == AM_SEEKING_RelativePositioning)
        start = m_rtStart + m_rtDelivered + *pCurrent;
    REFERENCE_TIME stop = m_rtStop;
    if (stopHow == AM_SEEKING_AbsolutePositioning)
        stop = *pStop;
    else if (stopHow == AM_SEEKING_RelativePositioning)
        stop = (m_rtStop >= 0 ? m_rtStop : duration) + *pStop;
    if (start < 0)
        start = 0;
    if (start > duration)
        start = duration;
    if (stop >= 0 && stop < start)
        stop = start;
    m_rtStop = stop;
    if (currentHow == AM_SEEKING_NoPositioning) {
        return S_OK;
    }

    BOOL running = m_hThread != NULL;
    if (running) {
        m_bStop = TRUE;
        DeliverBeginFlush();
        if (m_pAllocator)
            m_pAllocator->Decommit();
        StopThread();
        if (m_pAllocator)
            m_pAllocator->Commit();
        DeliverEndFlush();
    }
    m_rtStart = start;
    m_rtDelivered = 0;
    if (dwCurrentFlags & AM_SEEKING_ReturnTime)
        *pCurrent = start;
    if (pStop && (dwStopFlags & AM_SEEKING_ReturnTime))
        *pStop = stop >= 0 ? stop : duration;
    if (!running)
        return S_OK;
    HRESULT hr = OnSeek(m_rtStart);
    if (FAILED(hr))
        return hr;
    return StartThread();
}

STDMETHODIMP CSourceStreamPin::GetPositions(LONGLONG* pCurrent, LONGLONG* pStop)
{
    if (pCurrent)
        GetCurrentPosition(pCurrent);
    if (pStop)
        GetStopPosition(pStop);
    return S_OK;
}

STDMETHODIMP CSourceStreamPin::GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest)
{
    if (pEarliest)
        *pEarliest = 0;
    if (pLatest)
        *pLatest = Duration();
    return S_OK;
}

STDMETHODIMP CSourceStreamPin::SetRate(double dRate) { return dRate == 1.0 ? S_OK : E_NOTIMPL; }

STDMETHODIMP CSourceStreamPin::GetRate(double* pdRate)
{
    if (!pdRate)
        return E_POINTER;
    *pdRate = 1.0;
    return S_OK;
}

STDMETHODIMP CSourceStreamPin::GetPreroll(LONGLONG* pllPreroll)
{
    if (!pllPreroll)
        return E_POINTER;
    *pllPreroll = 0;
    return S_OK;
}
