#include "XRVDirectShow/GraphUtil.h"
#include "XRVDirectShow/TimelineReport.h"

#include <string.h>
#include <wchar.h>

namespace {

// Walks the filter's pins; `take` decides on each (it may keep the pin by
// returning TRUE, which ends the walk).
template <class Take> HRESULT WalkPins(IBaseFilter* filter, IPin** pin, Take take)
{
    if (!filter || !pin)
        return E_FAIL;
    *pin = NULL;
    IEnumPins* pEnumPins = NULL;
    HRESULT hr = filter->EnumPins(&pEnumPins);
    if (FAILED(hr)) {
        ReportTimelineFailure(XRV_TIMELINE_SOURCE, __LINE__, "pFilter->EnumPins( &pEnumPins )");
        return hr;
    }
    IPin* p = NULL;
    while (pEnumPins->Next(1, &p, NULL) == S_OK) {
        if (take(p)) {
            *pin = p;
            break;
        }
        p->Release();
    }
    pEnumPins->Release();
    return *pin ? S_OK : E_FAIL;
}

BOOL NameStarts(IPin* p, PIN_DIRECTION dir, const wchar_t* prefix)
{
    PIN_INFO info;
    if (FAILED(p->QueryPinInfo(&info)))
        return FALSE;
    if (info.pFilter)
        info.pFilter->Release();
    return info.dir == dir && _wcsnicmp(info.achName, prefix, wcslen(prefix)) == 0;
}

HRESULT FindByIndex(IBaseFilter* filter, IPin** pin, int index, PIN_DIRECTION dir)
{
    int seen = 0;
    return WalkPins(filter, pin, [&](IPin* p) {
        PIN_DIRECTION d;
        if (FAILED(p->QueryDirection(&d)) || d != dir)
            return FALSE;
        return seen++ == index ? TRUE : FALSE;
    });
}

} // namespace

HRESULT FindPinByDirection(IBaseFilter* filter, PIN_DIRECTION direction, IPin** pin)
{
    return WalkPins(filter, pin, [&](IPin* p) {
        PIN_DIRECTION d;
        if (FAILED(p->QueryDirection(&d)) || d != direction)
            return FALSE;
        IPin* peer = NULL;
        if (SUCCEEDED(p->ConnectedTo(&peer))) {
            if (peer)
                peer->Release();
            return FALSE;
        }
        return TRUE;
    });
}

HRESULT ConnectFilters(IGraphBuilder* graph, IBaseFilter* up, IBaseFilter* down)
{
    if (!graph)
        return E_FAIL;
    IPin* out = NULL;
    HRESULT hr = FindPinByDirection(up, PINDIR_OUTPUT, &out);
    if (FAILED(hr))
        return hr;
    IPin* in = NULL;
    hr = FindPinByDirection(down, PINDIR_INPUT, &in);
    if (FAILED(hr)) {
        out->Release();
        return hr;
    }
    hr = graph->Connect(out, in);
    in->Release();
    out->Release();
    return hr;
}

HRESULT FindOutputPin(IBaseFilter* filter, IPin** pin, int index) { return FindByIndex(filter, pin, index, PINDIR_OUTPUT); }

HRESULT FindInputPin(IBaseFilter* filter, IPin** pin, int index) { return FindByIndex(filter, pin, index, PINDIR_INPUT); }

int CountInputPins(IBaseFilter* filter)
{
    int n = 0;
    for (;; ++n) {
        IPin* pin = NULL;
        if (FAILED(FindInputPin(filter, &pin, n)))
            return n;
        pin->Release();
    }
}

HRESULT FindVideoPin(IBaseFilter* filter, IPin** pin)
{
    return WalkPins(filter, pin, [](IPin* p) {
        return NameStarts(p, PINDIR_INPUT, L"video") || NameStarts(p, PINDIR_INPUT, L"VMR");
    });
}

HRESULT FindAudioPin(IBaseFilter* filter, IPin** pin)
{
    return WalkPins(filter, pin, [](IPin* p) { return NameStarts(p, PINDIR_INPUT, L"audio"); });
}
