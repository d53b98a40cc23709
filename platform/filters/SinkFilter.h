// A sink (renderer) of our filter base: input pins only. It sends EC_COMPLETE
// once every connected input has seen end of stream while the filter runs
// (or at Run, when the ends came while paused), once per run or seek. With
// clock synchronisation on (a preview), a sample waits while the filter is
// paused and then until its start time on the graph's clock; without it (an
// output), every sample is handled at once. A flush or Stop ends any wait at
// once, so that stopping or seeking never waits on a blocked renderer.
// Seeking the sink goes upstream through its first input pin.
// Later sinks (wave destination, mux, file writer) derive from it.
#pragma once
#include "platform/filters/SeekingPassThrough.h"

class CSinkFilterBase;

class CSinkInputPin : public CInputPinBase {
public:
    CSinkInputPin(CSinkFilterBase* filter, LPCWSTR name, int index);
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override;
    HRESULT GetMediaType(int index, AM_MEDIA_TYPE* mt) override;
    HRESULT OnReceive(IMediaSample* sample) override;
    HRESULT OnEndOfStream() override;
    HRESULT OnBeginFlush() override;
    HRESULT OnEndFlush() override;
    HRESULT CompleteConnect(IPin* peer) override;
    void BreakConnect() override;
    int Index() const { return m_index; }

private:
    CSinkFilterBase* m_owner;
    int m_index;
};

class CSinkFilterBase : public CFilterBase {
public:
    // Makes `pinCount` input pins named by `pinNames` (or "In0", "In1"...).
    CSinkFilterBase(REFCLSID clsid, int pinCount, const LPCWSTR* pinNames = NULL);
    ~CSinkFilterBase() override;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return CFilterBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return CFilterBase::Release(); }
    STDMETHODIMP_(ULONG) GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

    // S_OK when pin `pin` takes the type.
    virtual HRESULT CheckSinkType(int pin, const AM_MEDIA_TYPE* mt) = 0;
    // Types the pin proposes (none by default).
    virtual HRESULT GetSinkType(int pin, int index, AM_MEDIA_TYPE* mt);
    // Handles one sample of pin `pin`; on the streaming thread.
    virtual HRESULT RenderSample(int pin, IMediaSample* sample) = 0;
    // Connection and end-of-stream news for derived sinks.
    virtual HRESULT OnConnect(int pin, IPin* peer) { (void)pin; (void)peer; return S_OK; }
    virtual void OnDisconnect(int pin) { (void)pin; }
    virtual void OnPinEndOfStream(int pin) { (void)pin; }
    virtual void OnFlush(int pin) { (void)pin; }
    // FALSE holds EC_COMPLETE back (a writer whose file failed says so by
    // EC_ERRORABORT instead).
    virtual BOOL CanComplete() { return TRUE; }

    void SetSyncToClock(BOOL sync) { m_bSyncToClock = sync; }
    BOOL SyncsToClock() const { return m_bSyncToClock; }
    // Times EC_COMPLETE was sent (tests; a writer knows it finished).
    LONG CompleteCount() const { return m_nCompleteSent; }
    CSinkInputPin* InputPin(int index) const { return static_cast<CSinkInputPin*>(GetPin(index)); }

    // Called by the pins.
    HRESULT WaitForRenderTime(IMediaSample* sample);
    void PinEndOfStream(int pin);
    void PinBeginFlush();
    void PinEndFlush();

protected:
    HRESULT OnStop() override;
    HRESULT OnPause(FILTER_STATE from) override;
    HRESULT OnRun(REFERENCE_TIME start) override;

private:
    // Sends EC_COMPLETE when every connected input ended and the filter runs.
    void CheckComplete();

    CSeekingPassThrough m_seeking;
    CDsLock m_eosLock;
    HANDLE m_hRunning;   // set while running
    HANDLE m_hAbort;     // set while flushing or stopped
    HANDLE m_hTimer;     // clock advise
    BOOL m_bSyncToClock;
    BOOL m_bCompleteSent;
    volatile LONG m_nCompleteSent;
};

// A sample's span as a writer places it: an untimed sample follows
// `previousEnd`, one without a stop time lasts nothing, and a start before 0
// counts from 0.
void DsSampleSpan(IMediaSample* sample, REFERENCE_TIME previousEnd, REFERENCE_TIME* start, REFERENCE_TIME* stop);
