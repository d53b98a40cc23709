// Pin finding and filter connection for every graph the timeline engine
// builds (preview, output, audio recording, camera). Each finder hands out
// one reference in *pin (null on failure) and releases every other pin it
// touched, the ones ConnectedTo returns included.
#pragma once
#include <windows.h>
#include <tchar.h>
#include <dshow.h>

// The first pin of the direction that is not connected; E_FAIL for null
// arguments or when there is none; EnumPins' own failure.
HRESULT FindPinByDirection(IBaseFilter* filter, PIN_DIRECTION direction, IPin** pin);
// Free output of `up` to free input of `down` by intelligent connection.
HRESULT ConnectFilters(IGraphBuilder* graph, IBaseFilter* up, IBaseFilter* down);
// The index-th output (input) pin, connected or not.
HRESULT FindOutputPin(IBaseFilter* filter, IPin** pin, int index);
HRESULT FindInputPin(IBaseFilter* filter, IPin** pin, int index);
int CountInputPins(IBaseFilter* filter);
// The first input pin named "video..." or "VMR..." (any case).
HRESULT FindVideoPin(IBaseFilter* filter, IPin** pin);
// The first input pin named "audio..." (any case).
HRESULT FindAudioPin(IBaseFilter* filter, IPin** pin);
