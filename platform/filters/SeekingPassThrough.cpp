#include "platform/filters/SeekingPassThrough.h"

HRESULT CSeekingPassThrough::Upstream(IMediaSeeking** seeking)
{
    *seeking = NULL;
    IPin* peer = NULL;
    if (FAILED(m_input->ConnectedTo(&peer)) || !peer)
        return VFW_E_NOT_CONNECTED;
    HRESULT hr = peer->QueryInterface(IID_IMediaSeeking, (void**)seeking);
    peer->Release();
    return FAILED(hr) ? E_NOTIMPL : S_OK;
}

// Each forwarder takes the upstream seeking interface for the one call.
#define DS_FORWARD(call)                       \
    do {                                       \
        IMediaSeeking* up = NULL;              \
        HRESULT hrUp_ = Upstream(&up);         \
        if (FAILED(hrUp_))                     \
            return hrUp_;                      \
        HRESULT hrCall_ = up->call;            \
        up->Release();                         \
        return hrCall_;                        \
    } while (0)

STDMETHODIMP CSeekingPassThrough::GetCapabilities(DWORD* p) { DS_FORWARD(GetCapabilities(p)); }
STDMETHODIMP CSeekingPassThrough::CheckCapabilities(DWORD* p) { DS_FORWARD(CheckCapabilities(p)); }
STDMETHODIMP CSeekingPassThrough::IsFormatSupported(const GUID* p) { DS_FORWARD(IsFormatSupported(p)); }
STDMETHODIMP CSeekingPassThrough::QueryPreferredFormat(GUID* p) { DS_FORWARD(QueryPreferredFormat(p)); }
STDMETHODIMP CSeekingPassThrough::GetTimeFormat(GUID* p) { DS_FORWARD(GetTimeFormat(p)); }
STDMETHODIMP CSeekingPassThrough::IsUsingTimeFormat(const GUID* p) { DS_FORWARD(IsUsingTimeFormat(p)); }
STDMETHODIMP CSeekingPassThrough::SetTimeFormat(const GUID* p) { DS_FORWARD(SetTimeFormat(p)); }
STDMETHODIMP CSeekingPassThrough::GetDuration(LONGLONG* p) { DS_FORWARD(GetDuration(p)); }
STDMETHODIMP CSeekingPassThrough::GetStopPosition(LONGLONG* p) { DS_FORWARD(GetStopPosition(p)); }
STDMETHODIMP CSeekingPassThrough::GetCurrentPosition(LONGLONG* p) { DS_FORWARD(GetCurrentPosition(p)); }
STDMETHODIMP CSeekingPassThrough::ConvertTimeFormat(LONGLONG* pTarget, const GUID* pTargetFormat, LONGLONG Source,
                                                    const GUID* pSourceFormat)
{
    DS_FORWARD(ConvertTimeFormat(pTarget, pTargetFormat, Source, pSourceFormat));
}
STDMETHODIMP CSeekingPassThrough::SetPositions(LONGLONG* pCurrent, DWORD dwCurrentFlags, LONGLONG* pStop,
                                               DWORD dwStopFlags)
{
    DS_FORWARD(SetPositions(pCurrent, dwCurrentFlags, pStop, dwStopFlags));
}
STDMETHODIMP CSeekingPassThrough::GetPositions(LONGLONG* pCurrent, LONGLONG* pStop)
{
    DS_FORWARD(GetPositions(pCurrent, pStop));
}
STDMETHODIMP CSeekingPassThrough::GetAvailable(LONGLONG* pEarliest, LONGLONG* pLatest)
{
    DS_FORWARD(GetAvailable(pEarliest, pLatest));
}
STDMETHODIMP CSeekingPassThrough::SetRate(double dRate) { DS_FORWARD(SetRate(dRate)); }
STDMETHODIMP CSeekingPassThrough::GetRate(double* p) { DS_FORWARD(GetRate(p)); }
STDMETHODIMP CSeekingPassThrough::GetPreroll(LONGLONG* p) { DS_FORWARD(GetPreroll(p)); }
