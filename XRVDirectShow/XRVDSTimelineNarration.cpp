// The narration recording graph of the timeline: the sound input's capture
// filter, our wave destination and our file writer into a temporary WAVE
// file, which becomes the timeline's output name.
#include "XRVDirectShow/XRVDSTimeline.h"
#include "XRVDirectShow/TimelineReport.h"
#include "platform/filters/FileWriter.h"
#include "platform/filters/WaveDest.h"
#include "platform/filters/WaveInSource.h"

#include <dshow.h>
#include <mmsystem.h>
#include <stdio.h>

namespace {

// Wine's and Windows' sound input when no device is named.
const WCHAR kDefaultAudioInput[] = L"In: default";

// The first unconnected pin of a direction.
HRESULT FreePin(IBaseFilter* filter, PIN_DIRECTION want, IPin** out)
{
    *out = NULL;
    CComPtr<IEnumPins> pins;
    XRV_CHECK(filter->EnumPins( &pins ));
    for (;;) {
        CComPtr<IPin> pin;
        if (pins->Next(1, &pin, NULL) != S_OK)
            return E_FAIL;
        PIN_DIRECTION dir;
        pin->QueryDirection(&dir);
        CComPtr<IPin> peer;
        if (dir == want && (FAILED(pin->ConnectedTo(&peer)) || !peer)) {
            *out = pin.Detach();
            return S_OK;
        }
    }
}

// Asks the capture pin for the given PCM form; a pin that cannot be told
// keeps its own.
void AskCaptureFormat(IPin* pin, const WAVEFORMATEX& format)
{
    CComQIPtr<IAMStreamConfig> config(pin);
    if (!config)
        return;
    AM_MEDIA_TYPE mt;
    memset(&mt, 0, sizeof(mt));
    WAVEFORMATEX wfx = format;
    mt.majortype = MEDIATYPE_Audio;
    mt.subtype = MEDIASUBTYPE_PCM;
    mt.bFixedSizeSamples = TRUE;
    mt.lSampleSize = wfx.nBlockAlign;
    mt.formattype = FORMAT_WaveFormatEx;
    mt.cbFormat = sizeof(wfx);
    mt.pbFormat = (BYTE*)&wfx;
    config->SetFormat(&mt);
}

// A new, unused name for the narration in the temporary folder.
CString NewNarrationName()
{
    char buffer[MAX_PATH] = "";
    const CString folder = ::GetTempPathA(MAX_PATH, buffer) ? CString(buffer) : CString(".\\");
    const DWORD stamp = ::GetTickCount();
    for (DWORD i = 0; i < 10000; ++i) {
        CString name;
        name.Format("%sVexcapNarration_%08lX_%04lu.wav", folder.GetString(), (unsigned long)stamp, (unsigned long)i);
        if (::GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES)
            return name;
    }
    return CString();
}

}  // namespace

HRESULT XRVDSTimeline::FindFilterByFriendlyName(REFCLSID category, LPCWSTR name, IBaseFilter** out)
{
    if (!out)
        return E_POINTER;
    *out = NULL;
    CComPtr<ICreateDevEnum> devices;
    HRESULT hr = ::CoCreateInstance(CLSID_SystemDeviceEnum, NULL, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                    (void**)&devices);
    if (FAILED(hr))
        return hr;
    CComPtr<IEnumMoniker> monikers;
    if (devices->CreateClassEnumerator(category, &monikers, 0) != S_OK || !monikers)
        return VFW_E_NOT_FOUND;
    for (;;) {
        CComPtr<IMoniker> moniker;
        if (monikers->Next(1, &moniker, NULL) != S_OK)
            return VFW_E_NOT_FOUND;
        CComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(NULL, NULL, IID_IPropertyBag, (void**)&bag)))
            continue;
        VARIANT v;
        ::VariantInit(&v);
        BOOL match = FALSE;
        if (SUCCEEDED(bag->Read(L"FriendlyName", &v, NULL)) && v.vt == VT_BSTR)
            match = !name || !*name || _wcsicmp(v.bstrVal, name) == 0;
        ::VariantClear(&v);
        if (!match)
            continue;
        hr = moniker->BindToObject(NULL, NULL, IID_IBaseFilter, (void**)out);
        if (FAILED(hr))
            return hr;
        // A device filter made without its settings has no pins yet.
        CComPtr<IEnumPins> pins;
        CComPtr<IPin> pin;
        if (SUCCEEDED((*out)->EnumPins(&pins)) && pins->Next(1, &pin, NULL) != S_OK) {
            CComQIPtr<IPersistPropertyBag> persist(*out);
            if (persist)
                persist->Load(bag, NULL);
        }
        return S_OK;
    }
}

// Builds the recording graph (not run): the named sound input ("In: default"
// when none is named; the first input when that is missing) asked for
// `format`, our wave destination and our file writer into a new temporary
// WAVE file. The paused-time base becomes `start` when it is given.
HRESULT XRVDSTimeline::StartRecordAudio(LONGLONG start, LONGLONG, LPCWSTR device, const WAVEFORMATEX* format)
{
    StopRecordAudio();
    CComPtr<IGraphBuilder> graph;
    XRV_CHECK(::CoCreateInstance( CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                  (void**)&graph ));
    // The system's capture filter when it has a pin to stream from (Wine's
    // makes none); else our own source over the waveIn device.
    CComPtr<IBaseFilter> capture;
    HRESULT hr = FindFilterByFriendlyName(CLSID_AudioInputDeviceCategory,
                                          device && *device ? device : kDefaultAudioInput, &capture);
    if (FAILED(hr) && !(device && *device))
        hr = FindFilterByFriendlyName(CLSID_AudioInputDeviceCategory, NULL, &capture);
    CComPtr<IPin> captureOut;
    if (SUCCEEDED(hr) && capture && SUCCEEDED(FreePin(capture, PINDIR_OUTPUT, &captureOut))) {
        XRV_CHECK(graph->AddFilter( capture, L"Audio Capture" ));
    } else {
        capture.Release();
        XRV_CHECK(AddFilter( graph, CLSID_XrvWaveInSource, L"Kestravon Wave In", &capture ));
        CComPtr<IXrvWaveInConfig> config;
        capture->QueryInterface(IID_IXrvWaveInConfig, (void**)&config);
        XRV_CHECK_PTR(config, "capture->QueryInterface", "IXrvWaveInConfig");
        config->SetDevice(DsWaveInDeviceNamed(device));
        if (format)
            XRV_CHECK(config->SetFormat( format ));
        XRV_CHECK(FreePin( capture, PINDIR_OUTPUT, &captureOut ));
    }
    CComPtr<IBaseFilter> waveDest, fileWriter;
    XRV_CHECK(AddFilter( graph, CLSID_XrvWaveDest, L"Kestravon Wave Dest", &waveDest ));
    XRV_CHECK(AddFilter( graph, CLSID_FileWriter, L"Kestravon File Writer", &fileWriter ));
    const CString path = NewNarrationName();
    if (path.IsEmpty())
        return E_FAIL;
    CComQIPtr<IFileSinkFilter2> sink(fileWriter);
    XRV_CHECK_PTR(sink, "fileWriter->QueryInterface", "IFileSinkFilter2");
    XRV_CHECK(sink->SetMode( AM_FILE_OVERWRITE ));
    CStringW widePath(path);
    XRV_CHECK(sink->SetFileName( widePath, NULL ));

    CComPtr<IPin> waveIn, waveOut, writerIn;
    WAVEFORMATEX wanted = format ? *format : WAVEFORMATEX{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    AskCaptureFormat(captureOut, wanted);
    XRV_CHECK(FreePin( waveDest, PINDIR_INPUT, &waveIn ));
    XRV_CHECK(FreePin( waveDest, PINDIR_OUTPUT, &waveOut ));
    XRV_CHECK(FreePin( fileWriter, PINDIR_INPUT, &writerIn ));
    XRV_CHECK(graph->Connect( captureOut, waveIn ));
    XRV_CHECK(graph->Connect( waveOut, writerIn ));

    m_pRecordGraph = graph;
    m_strOutputName = path;
    if (start >= 0)
        m_rtRecordBase = start;
    return S_OK;
}

// Stops and releases the recording graph, then writes the sizes of the
// sound into the WAVE header: a stopped capture never ends its stream, so
// the wave destination had no chance to.
HRESULT XRVDSTimeline::StopRecordAudio()
{
    if (!m_pRecordGraph)
        return S_FALSE;
    CComQIPtr<IMediaControl> control(m_pRecordGraph);
    if (!control) {
        m_pRecordGraph.Release();
        return E_NOINTERFACE;
    }
    // Our source gives up what the device still holds once paused: wait
    // (a while at most) until it is all in the file.
    CComPtr<IBaseFilter> source;
    CComPtr<IXrvWaveInConfig> config;
    if (SUCCEEDED(m_pRecordGraph->FindFilterByName(L"Kestravon Wave In", &source)) && source &&
        SUCCEEDED(source->QueryInterface(IID_IXrvWaveInConfig, (void**)&config)) && SUCCEEDED(control->Pause())) {
        OAFilterState state;
        control->GetState(1000, &state);
        const DWORD begin = ::GetTickCount();
        LONGLONG queued = 1;
        while (SUCCEEDED(config->GetQueuedBytes(&queued)) && queued > 0 && ::GetTickCount() - begin < 2000)
            ::Sleep(20);
        ::Sleep(50);   // the last sample on its way through the graph
    }
    HRESULT hr = control->Stop();
    m_pRecordGraph.Release();
    if (FAILED(hr))
        return hr;
    return FixWaveSizes(m_strOutputName) ? S_OK : E_FAIL;
}

// Sets the RIFF and "data" sizes of a WAVE file from its length on disk.
BOOL XRVDSTimeline::FixWaveSizes(LPCTSTR path)
{
    HANDLE file = ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    BOOL ok = FALSE;
    LARGE_INTEGER size;
    BYTE head[512];
    DWORD got = 0;
    if (::GetFileSizeEx(file, &size) && size.QuadPart >= 44 && size.QuadPart < 0xFFFFFFF0LL &&
        ::ReadFile(file, head, sizeof(head), &got, NULL) && got >= 44 && memcmp(head, "RIFF", 4) == 0 &&
        memcmp(head + 8, "WAVE", 4) == 0) {
        // Walk the chunks up to "data".
        DWORD at = 12;
        while (at + 8 <= got) {
            DWORD chunk = 0;
            memcpy(&chunk, head + at + 4, 4);
            if (memcmp(head + at, "data", 4) == 0) {
                DWORD riff = (DWORD)size.QuadPart - 8;
                DWORD data = (DWORD)size.QuadPart - (at + 8);
                DWORD written = 0;
                ok = ::SetFilePointer(file, 4, NULL, FILE_BEGIN) == 4 &&
                     ::WriteFile(file, &riff, 4, &written, NULL) && written == 4 &&
                     ::SetFilePointer(file, at + 4, NULL, FILE_BEGIN) == at + 4 &&
                     ::WriteFile(file, &data, 4, &written, NULL) && written == 4;
                break;
            }
            at += 8 + chunk + (chunk & 1);
        }
    }
    ::CloseHandle(file);
    return ok;
}
