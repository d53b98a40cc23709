// An output pin of a push source in our filter base: a streaming thread that
// fills buffers of the pin's allocator (FillBuffer) and delivers them until
// the stream ends, then sends end of stream. The pin seeks itself: a new
// position flushes downstream, restarts the thread and starts sample times
// at 0 again (a new segment starting at the position). Derived pins give the
// types, the buffer sizes, the duration and the samples.
// Threads: Active/Inactive and seeking from the graph's thread; FillBuffer
// on the pin's own thread.
#pragma once
#include "platform/filters/FilterBase.h"

class CSourceStreamPin : public COutputPinBase, public IMediaSeeking {
public:
    CSourceStreamPin(CFilterBase* filter, LPCWSTR name);
    ~CSourceStreamPin() override;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return COutputPinBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return COutputPinBase::Release(); }

    HRESULT Active() override;
    HRESULT Inactive() override;

    // Fills the sample (data, length, times relative to the segment start);
    // S_FALSE at the end of the stream; a failure aborts the stream.
    virtual HRESULT FillBuffer(IMediaSample* sample) = 0;
    // Positions the stream at `start` (media time of this pin); the thread
    // does not run while it is called.
    virtual HRESULT OnSeek(REFERENCE_TIME start) = 0;
    // Length of the stream.
    virtual REFERENCE_TIME Duration() = 0;

    // IMediaSeeking (media time only)
    STDMETHODIMP GetCapabilities(DWORD* pCapabilities) override;
    STDMETHODIMP CheckCapabilities(DWORD* pCapabilities) override;
    STDMETHODIMP IsFormatSupported(const GUID* pFormat) override;
    STDMETHODIMP QueryPreferredFormat(GUID* pFormat) override;
    STDMETHODIMP GetTimeFormat(GUID* pFormat) override;
    STDMETHODIMP IsUsingTimeFormat(const GUID* pFormat) override;
    STDMETHODIMP SetTimeFormat(const GUID* pFormat) override;
    STDMETHODIMP GetDuration(LONGLONG* pDuration) override;
    STDMETHODIMP GetStopPosition(LONGLONG* pStop) override;
    STDMETHODIMP GetCurrentPosition(LONGLONG* pCurrent) override;
    STDMETHODIMP ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat, LONGLONG Source,
                                   const GUID* pSourceFormat) override;
    STDMETHODIMP SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG* pStop, DWORD dwStopFlags) override;
    STDMETHODIMP GetPositions(LONGLONG* pCurrent, LONGLONG* pStop) override;
    STDMETHODIMP GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest) override;
    STDMETHODIMP SetRate(double dRate) override;
    STDMETHODIMP GetRate(double* pdRate) override;
    STDMETHODIMP GetPreroll(LONGLONG* pllPreroll) override;

    // Where the current segment starts and stops (media time).
    REFERENCE_TIME SegmentStart() const { return m_rtStart; }
    REFERENCE_TIME SegmentStop() const { return m_rtStop; }
    // Derived pins report how far they delivered (relative to the segment start).
    void SetDelivered(REFERENCE_TIME end) { m_rtDelivered = end; }
    BOOL StopRequested() const { return m_bStop; }

private:
    static DWORD WINAPI ThreadProc(void* param);
    void Stream();
    HRESULT StartThread();
    void StopThread();

    CDsLock m_seekLock;
    HANDLE m_hThread;
    volatile BOOL m_bStop;
    REFERENCE_TIME m_rtStart;
    REFERENCE_TIME m_rtStop;          // -1: to the end
    volatile REFERENCE_TIME m_rtDelivered;
};
