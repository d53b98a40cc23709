// The camera graph: capture filters, the recording graph, the audio branch,
// start, pause and stop.
// The framework's windows and std strings come before the DirectShow
// headers (their macros would rename framework members and std functions).
#include <string>
#include <vector>
#include "framework/WinApp.h"
#include "media/ProgressDlg.h"
#include "camera/XRVCameraConfig.h"
#include "framework/WinThread.h"
#include "platform/camkit/CamKit.h"
#include "platform/dex/DexFactory.h"
#include "platform/filters/WaveInSource.h"
#include "platform/wmwriter/AsfWriterFilter.h"
#include "platform/wmwriter/WmvCore.h"
#include "resources/ids_capture.h"
#include "settings/TimelineError.h"
#include "XRVDirectShow/GraphBuilderCallback.h"
#include "XRVDirectShow/GraphUtil.h"
#include "camera/CameraDevices.h"

#include <dshow.h>
#include <dvdmedia.h>
#include <vector>

namespace {

const char kSourceFile[] = "XRVCameraConfig";
const char kScreenCodecName[] = "Kestravon Screen Capture Codec";

void Report(int line, const char* text)
{
    TimelineError error(kSourceFile, line, "");
    error.Report(text);
}

#define CAM_CHECK(call)                \
    do {                               \
        const HRESULT hr_ = (call);    \
        if (FAILED(hr_))               \
            return hr_;                \
    } while (0)

// Removes a filter from the graph when both are there.
void RemoveFrom(IGraphBuilder* graph, IBaseFilter* filter)
{
    if (graph && filter)
        graph->RemoveFilter(filter);
}

// Holds the graph lock for one operation.
struct GraphHold {
    CRITICAL_SECTION* cs;
    explicit GraphHold(CRITICAL_SECTION* c) : cs(c) { ::EnterCriticalSection(cs); }
    ~GraphHold() { ::LeaveCriticalSection(cs); }
};

// The writer takes sound only in its profile's format: a PCM sound stream
// is given the camera file's format when one is set, so that a recording
// whose sound is not the profile's still records its camera.
void FitAudioStream(IWMProfile* profile, IWMStreamConfig* stream, const WAVEFORMATEX& wanted)
{
    if (wanted.nAvgBytesPerSec == 0xFFFFFFFF || wanted.wFormatTag != WAVE_FORMAT_PCM)
        return;
    CComPtr<IWMMediaProps> props;
    DWORD size = 0;
    if (FAILED(stream->QueryInterface(IID_IWMMediaProps, (void**)&props.p)) ||
        FAILED(props->GetMediaType(NULL, &size)) || size < sizeof(WM_MEDIA_TYPE))
        return;
    std::vector<BYTE> buffer(size);
    WM_MEDIA_TYPE* wmt = (WM_MEDIA_TYPE*)buffer.data();
    if (FAILED(props->GetMediaType(wmt, &size)) || !wmt->pbFormat || wmt->formattype != FORMAT_WaveFormatEx ||
        wmt->cbFormat < sizeof(WAVEFORMATEX) - 2)
        return;
    WAVEFORMATEX* wf = (WAVEFORMATEX*)wmt->pbFormat;
    if (wf->wFormatTag != WAVE_FORMAT_PCM)
        return;
    wf->nChannels = wanted.nChannels;
    wf->nSamplesPerSec = wanted.nSamplesPerSec;
    wf->nAvgBytesPerSec = wanted.nAvgBytesPerSec;
    wf->nBlockAlign = wanted.nBlockAlign;
    wf->wBitsPerSample = wanted.wBitsPerSample;
    wmt->lSampleSize = wanted.nBlockAlign;
    if (SUCCEEDED(props->SetMediaType(wmt)))
        profile->ReconfigStream(stream);
}

}  // namespace

void XRVCameraConfig::ReleaseCaptureInterfaces()
{
    m_streamConfig.Release();
    m_vfwDialogs.Release();
}

void XRVCameraConfig::SetFrameSkip(LONG skip)
{
    CComPtr<IXrvFrameSkip> video, audio;
    if (m_frameSkipFilter && SUCCEEDED(m_frameSkipFilter->QueryInterface(IID_IXrvFrameSkip, (void**)&video.p)))
        video->SetSkip(skip);
    // Pushed sound is paused at its source (the engine's wave recorder): a
    // skip here would drop what is still queued and shift the times after.
    if (m_settings && m_settings->m_recordAudio && !m_settings->m_pushSourceAudio && m_audioFrameSkip &&
        SUCCEEDED(m_audioFrameSkip->QueryInterface(IID_IXrvFrameSkip, (void**)&audio.p)))
        audio->SetSkip(skip);
}

HRESULT XRVCameraConfig::PulseProcAmpProperty(long property, long value, long flags)
{
    if (!m_captureFilter)
        return E_INVALIDARG;
    CComPtr<IAMVideoProcAmp> amp;
    if (FAILED(m_captureFilter->QueryInterface(IID_IAMVideoProcAmp, (void**)&amp.p)))
        return E_FAIL;
    long oldValue = 0, oldFlags = 0;
    CAM_CHECK(amp->Get(property, &oldValue, &oldFlags));
    CAM_CHECK(amp->Set(property, value, flags));
    return amp->Set(property, oldValue, oldFlags);
}

HRESULT XRVCameraConfig::InitCapFilters(BOOL previewFormatMode)
{
    if (m_pGraph) {
        CComPtr<IMediaControl> control;
        if (SUCCEEDED(m_pGraph->QueryInterface(IID_IMediaControl, (void**)&control.p)))
            control->Stop();
        ReleaseCaptureInterfaces();
        TearDownGraph();
        RemoveFrom(m_pGraph, m_frameSkipFilter);
        RemoveFrom(m_pGraph, m_sampleGrabberFilter);
        RemoveFrom(m_pGraph, m_colorConverter);
        // Each graph gets filters of its own (see StopPreview).
        m_frameSkipFilter.Release();
        m_sampleGrabberFilter.Release();
        m_colorConverter.Release();
    } else if (FAILED(DexCreate(CLSID_FilterGraph, &m_pGraph.p)) || !m_pGraph) {
        return E_FAIL;
    }
    // The renderer stays for the object's life: its window belongs to the
    // thread that made it, and a recording builds its graph on a worker
    // thread that ends.
    if (!m_pVideoRenderer) {
        HRESULT hr = CreateFilters();
        if (FAILED(hr))
            return hr;
    }
    m_pIVideoWindow.Release();
    if (FAILED(m_pVideoRenderer->QueryInterface(IID_IVideoWindow, (void**)&m_pIVideoWindow.p)))
        Report(1299, "m_pVideoRenderer->QueryInterface() failed for IID_IVideoWindow in InitCapFilters()");

    if (!m_fileWriterFilter) {
        CAM_CHECK(DexCreateInstance(CLSID_FileWriter, NULL, CLSCTX_INPROC_SERVER, IID_IFileSinkFilter2,
                                    (void**)&m_fileSink.p));
        CAM_CHECK(m_fileSink->QueryInterface(IID_IBaseFilter, (void**)&m_fileWriterFilter.p));
    }
    if (!m_aviMux)
        CAM_CHECK(DexCreateInstance(CLSID_AviDest, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void**)&m_aviMux.p));
    if (!m_asfWriter)
        CAM_CHECK(DexCreateInstance(CLSID_WMAsfWriter, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                    (void**)&m_asfWriter.p));
    if (!m_sampleGrabberFilter)
        CAM_CHECK(DexCreateInstance(CLSID_SampleGrabber, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                    (void**)&m_sampleGrabberFilter.p));
    if (!m_videoTee)
        CAM_CHECK(DexCreateInstance(CLSID_XrvVideoTee, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                    (void**)&m_videoTee.p));
    if (previewFormatMode && !m_colorConverter)
        CAM_CHECK(DexCreateInstance(CLSID_Colour, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                    (void**)&m_colorConverter.p));
    if (!m_frameSkipFilter)
        CAM_CHECK(DexCreateInstance(CLSID_XrvFrameSkip, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                    (void**)&m_frameSkipFilter.p));

    if (m_settings && m_settings->m_deviceMoniker) {
        m_captureFilter.Release();
        CAM_CHECK(m_settings->m_deviceMoniker->BindToObject(NULL, NULL, IID_IBaseFilter, (void**)&m_captureFilter.p));
        if (m_settings->m_deviceName == "Logitech QuickCam Pro 4000")
            PulseProcAmpProperty(VideoProcAmp_WhiteBalance, 0, VideoProcAmp_Flags_Manual);
    }
    if (!m_captureFilter)
        return E_FAIL;
    CComPtr<IPin> captureOut;
    CAM_CHECK(FindOutputPin(m_captureFilter, &captureOut.p, 0));
    if (!UsesDefaultCodec() && m_settings->m_codecMoniker) {
        // Through the category lookup: our own compressor of the name binds
        // by its class id, which no COM server answers.
        m_compressorFilter.Release();
        const CStringW codec(m_settings->m_codecName);
        CAM_CHECK(FindCompressorFilter(1, codec, &m_compressorFilter.p));
        ApplyCodecState();
    }
    if (SUCCEEDED(captureOut->QueryInterface(IID_IAMStreamConfig, (void**)&m_streamConfig.p)) &&
        m_settings->m_mediaType.pbFormat)
        m_streamConfig->SetFormat(&m_settings->m_mediaType);
    captureOut->QueryInterface(IID_IAMVfwCaptureDialogs, (void**)&m_vfwDialogs.p);

    const CStringW deviceName(m_settings->m_deviceName);
    CAM_CHECK(m_pGraph->AddFilter(m_captureFilter, deviceName));
    HRESULT hr = S_OK;
    if (!previewFormatMode) {
        CAM_CHECK(m_pGraph->AddFilter(m_frameSkipFilter, L"Kestravon Frame Skip Filter"));
        CAM_CHECK(m_pGraph->AddFilter(m_sampleGrabberFilter, L"SampleGrabber"));
        CComPtr<IPin> skipIn, skipOut, grabIn;
        CAM_CHECK(FindInputPin(m_frameSkipFilter, &skipIn.p, 0));
        CAM_CHECK(FindOutputPin(m_frameSkipFilter, &skipOut.p, 0));
        CAM_CHECK(FindInputPin(m_sampleGrabberFilter, &grabIn.p, 0));
        hr = m_pGraph->Connect(captureOut, skipIn);
        if (SUCCEEDED(hr))
            hr = m_pGraph->Connect(skipOut, grabIn);
    } else {
        CAM_CHECK(m_pGraph->AddFilter(m_colorConverter, L"Kestravon Color Converter"));
        CComPtr<IPin> converterIn;
        CAM_CHECK(FindInputPin(m_colorConverter, &converterIn.p, 0));
        hr = m_pGraph->Connect(captureOut, converterIn);
    }
    m_captureFiltersCreated = TRUE;
    if (FAILED(hr))
        TearDownGraph();
    return hr;
}

// Hands the compressor its state: the screen codec first gets a state of
// its own, then the stored one; without default settings the stored
// quality and key-frame rate follow, so that every newly bound compressor
// gets them (not only the one the dialog configured).
HRESULT XRVCameraConfig::ApplyCodecState()
{
    if (!m_compressorFilter || !m_settings)
        return E_FAIL;
    CComPtr<IAMVfwCompressDialogs> dialogs;
    if (SUCCEEDED(m_compressorFilter->QueryInterface(IID_IAMVfwCompressDialogs, (void**)&dialogs.p))) {
        if (m_settings->m_codecName == kScreenCodecName) {
            DWORD state[8] = {6016, mmioFOURCC('x', 'r', 'v', 'c'), 0x20000, 9, 0, 0, 0, 0};
            dialogs->SetState(state, sizeof(state));
        }
        if (m_settings->m_codecStateSize > 0 && m_settings->m_codecState)
            dialogs->SetState(m_settings->m_codecState, m_settings->m_codecStateSize);
    }
    if (!m_settings->m_useDefaultCodecSettings) {
        CComPtr<IPin> out;
        CComPtr<IAMVideoCompression> compression;
        if (SUCCEEDED(FindOutputPin(m_compressorFilter, &out.p, 0)) && out &&
            SUCCEEDED(out->QueryInterface(IID_IAMVideoCompression, (void**)&compression.p))) {
            compression->put_Quality(m_settings->m_quality / 100.0);
            if (m_settings->m_useKeyFrameRate && m_settings->m_keyFrameRate > 0)
                compression->put_KeyFrameRate(m_settings->m_keyFrameRate);
        }
    }
    return S_OK;
}

HRESULT XRVCameraConfig::BuildPreviewGraph(IPin* source, HWND owner)
{
    if (!m_pGraph || !m_pVideoRenderer || !source)
        return E_FAIL;
    HRESULT hr = m_pGraph->AddFilter(m_pVideoRenderer, L"Video Renderer");
    if (FAILED(hr)) {
        Report(1543, "AddFilter( m_pVideoRenderer ) failed in BuildPreviewGraph()");
        return hr;
    }
    CComPtr<IPin> rendererIn;
    hr = FindInputPin(m_pVideoRenderer, &rendererIn.p, 0);
    if (SUCCEEDED(hr))
        hr = m_pGraph->Connect(source, rendererIn);
    if (FAILED(hr)) {
        Report(1561, "Hooking up the video renderer failed in BuildPreviewGraph()");
        return hr;
    }
    if (m_pIVideoWindow) {
        m_pIVideoWindow->put_Owner((OAHWND)owner);
        m_pIVideoWindow->put_WindowStyle(WS_CHILD);
        m_pIVideoWindow->SetWindowPosition(m_previewRect.left, m_previewRect.top,
                                           m_previewRect.right - m_previewRect.left,
                                           m_previewRect.bottom - m_previewRect.top);
        m_pIVideoWindow->put_Visible(OATRUE);
    }
    m_previewOwner = owner;
    return S_OK;
}

BOOL XRVCameraConfig::ConfigureWmWriter()
{
    if (!m_asfWriter || !m_settings)
        return FALSE;
    LONG width = 0, height = 0;
    REFERENCE_TIME frameTime = 0;
    const AM_MEDIA_TYPE& mt = m_settings->m_mediaType;
    if (mt.formattype == FORMAT_VideoInfo && mt.cbFormat >= sizeof(VIDEOINFOHEADER) && mt.pbFormat) {
        const VIDEOINFOHEADER* vih = (const VIDEOINFOHEADER*)mt.pbFormat;
        width = vih->bmiHeader.biWidth;
        height = vih->bmiHeader.biHeight < 0 ? -vih->bmiHeader.biHeight : vih->bmiHeader.biHeight;
        frameTime = vih->AvgTimePerFrame;
    }
    CComPtr<IConfigInterleaving> interleaving;
    if (SUCCEEDED(m_asfWriter->QueryInterface(IID_IConfigInterleaving, (void**)&interleaving.p)))
        interleaving->put_Mode(INTERLEAVE_FULL);
    CComPtr<IConfigAsfWriter> config;
    if (SUCCEEDED(m_asfWriter->QueryInterface(IID_IConfigAsfWriter, (void**)&config.p))) {
        const BOOL loaded = IsWmvCoreLoaded() || LoadWmvCore();
        const CStringW name(m_settings->m_recordAudio ? m_profileWithAudio : m_profileWithoutAudio);
        const CStringW folder(m_profileFolder);
        CComPtr<IWMProfile> profile;
        if (FAILED(ReadPrxProfiles(name, TRUE, &profile.p, folder)) || !profile) {
            if (loaded)
                UnloadWmvCore();
            return FALSE;
        }
        DWORD count = 0;
        profile->GetStreamCount(&count);
        for (DWORD i = 0; i < count; ++i) {
            CComPtr<IWMStreamConfig> stream;
            GUID type = GUID_NULL;
            if (FAILED(profile->GetStream(i, &stream.p)) || FAILED(stream->GetStreamType(&type)))
                continue;
            if (type == MEDIATYPE_Audio) {
                FitAudioStream(profile, stream, m_settings->m_audioFormat);
                continue;
            }
            if (type != MEDIATYPE_Video)
                continue;
            CComPtr<IWMMediaProps> props;
            DWORD size = 0;
            if (FAILED(stream->QueryInterface(IID_IWMMediaProps, (void**)&props.p)) ||
                FAILED(props->GetMediaType(NULL, &size)) || size < sizeof(WM_MEDIA_TYPE))
                continue;
            std::vector<BYTE> buffer(size);
            WM_MEDIA_TYPE* wmt = (WM_MEDIA_TYPE*)buffer.data();
            if (FAILED(props->GetMediaType(wmt, &size)) || !wmt->pbFormat)
                continue;
            if (wmt->formattype == FORMAT_VideoInfo && wmt->cbFormat >= sizeof(VIDEOINFOHEADER)) {
                VIDEOINFOHEADER* vih = (VIDEOINFOHEADER*)wmt->pbFormat;
                vih->bmiHeader.biWidth = width;
                vih->bmiHeader.biHeight = height;
                vih->AvgTimePerFrame = frameTime;
            } else if (wmt->formattype == FORMAT_VideoInfo2 && wmt->cbFormat >= sizeof(VIDEOINFOHEADER2)) {
                VIDEOINFOHEADER2* vih = (VIDEOINFOHEADER2*)wmt->pbFormat;
                vih->bmiHeader.biWidth = width;
                vih->bmiHeader.biHeight = height;
                vih->AvgTimePerFrame = frameTime;
            } else {
                continue;
            }
            props->SetMediaType(wmt);
            profile->ReconfigStream(stream);
        }
        HRESULT hr = config->ConfigureFilterUsingProfile(profile);
        if (SUCCEEDED(hr))
            hr = config->SetIndexMode(TRUE);
        if (loaded)
            UnloadWmvCore();
        if (FAILED(hr))
            return FALSE;
    }
    CComPtr<IFileSinkFilter> sink;
    if (FAILED(m_asfWriter->QueryInterface(IID_IFileSinkFilter, (void**)&sink.p)))
        return FALSE;
    const CStringW output(m_outputName);
    return SUCCEEDED(sink->SetFileName(output, NULL));
}

HRESULT XRVCameraConfig::BuildAudioBranch(IPin** out)
{
    if (!out)
        return E_POINTER;
    *out = NULL;
    if (!m_pGraph || !m_settings)
        return E_FAIL;
    RemoveFrom(m_pGraph, m_audioFrameSkip);
    m_audioFrameSkip.Release();
    CAM_CHECK(DexCreateInstance(CLSID_XrvFrameSkip, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                (void**)&m_audioFrameSkip.p));
    CAM_CHECK(m_pGraph->AddFilter(m_audioFrameSkip, L"Audio FrameSkipper"));
    if (m_audioGrabber)
        m_audioGrabber->SetCallback(NULL, 1);
    m_audioGrabber.Release();
    RemoveFrom(m_pGraph, m_audioGrabberFilter);
    m_audioGrabberFilter.Release();
    if (m_audioCallback) {
        CAM_CHECK(DexCreateInstance(CLSID_SampleGrabber, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                    (void**)&m_audioGrabberFilter.p));
        CAM_CHECK(m_pGraph->AddFilter(m_audioGrabberFilter, L"Audio SampleGrabber"));
    }
    RemoveFrom(m_pGraph, m_audioSource);
    m_audioSource.Release();
    m_pushSource.Release();

    // The camera file's sound: the settings' format when set, else PCM
    // 22050 Hz mono 16 bits; always with an extra size of 0.
    WAVEFORMATEX wf = {WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    if (m_settings->m_audioFormat.nAvgBytesPerSec != 0xFFFFFFFF) {
        wf = m_settings->m_audioFormat;
        wf.cbSize = 0;
    }
    if (!m_settings->m_pushSourceAudio) {
        // The audio capture device of that name (the first one without a
        // name), when it has a pin to stream from; else (Wine's makes none)
        // our own source over the waveIn device of that name.
        CString name = m_audioDeviceName;
        if (name.IsEmpty()) {
            CStringArray devices;
            ListDeviceNames(&devices, CLSID_AudioInputDeviceCategory);
            if (devices.GetSize() > 0)
                name = devices[0];
        }
        CComPtr<IMoniker> moniker;
        CString found;
        CComPtr<IBaseFilter> device;
        CComPtr<IPin> devicePin;
        if (!name.IsEmpty() && FindDeviceMoniker(CLSID_AudioInputDeviceCategory, &moniker.p, &found, name) &&
            SUCCEEDED(moniker->BindToObject(NULL, NULL, IID_IBaseFilter, (void**)&device.p)) && device &&
            SUCCEEDED(FindOutputPin(device, &devicePin.p, 0))) {
            m_audioSource = device;
        } else {
            CAM_CHECK(DexCreateInstance(CLSID_XrvWaveInSource, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                        (void**)&m_audioSource.p));
            CComPtr<IXrvWaveInConfig> config;
            CAM_CHECK(m_audioSource->QueryInterface(IID_IXrvWaveInConfig, (void**)&config.p));
            const CStringW wideName(m_audioDeviceName);
            CAM_CHECK(config->SetDevice(DsWaveInDeviceNamed(wideName)));
            CAM_CHECK(config->SetFormat(&wf));
        }
        CAM_CHECK(m_pGraph->AddFilter(m_audioSource, L"Kestravon Audio Capture Source"));
    } else {
        CAM_CHECK(DexCreateInstance(CLSID_XrvPushSource, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                    (void**)&m_audioSource.p));
        CAM_CHECK(m_pGraph->AddFilter(m_audioSource, L"Kestravon SimplePushBitmap Source"));
        CComPtr<IPin> pushPin;
        CAM_CHECK(FindOutputPin(m_audioSource, &pushPin.p, 0));
        CAM_CHECK(pushPin->QueryInterface(IID_IXrvPushSource, (void**)&m_pushSource.p));
        CAM_CHECK(m_pushSource->SetFormat(&wf));
    }
    CComPtr<IBaseFilter> pcm;
    FindCompressorFilter(0, L"PCM", &pcm.p);
    if (m_pushSource) {
        m_pushSource->StartStream();
        m_pushSource->SetBuffersPerSecond(2.0);
    }
    m_audioCompressor.Release();
    if (pcm) {
        m_audioCompressor = pcm;
        CAM_CHECK(m_pGraph->AddFilter(m_audioCompressor, L"Kestravon Audio Compressor"));
    }
    CAM_CHECK(::ConnectFilters(m_pGraph, m_audioSource, m_audioFrameSkip));
    IBaseFilter* last = m_audioFrameSkip;
    if (m_audioGrabberFilter) {
        CAM_CHECK(::ConnectFilters(m_pGraph, last, m_audioGrabberFilter));
        last = m_audioGrabberFilter;
    }
    if (m_audioCompressor) {
        CAM_CHECK(::ConnectFilters(m_pGraph, last, m_audioCompressor));
        last = m_audioCompressor;
        CComPtr<IPin> pcmOut;
        CComPtr<IAMStreamConfig> pcmConfig;
        if (SUCCEEDED(FindOutputPin(m_audioCompressor, &pcmOut.p, 0)) &&
            SUCCEEDED(pcmOut->QueryInterface(IID_IAMStreamConfig, (void**)&pcmConfig.p))) {
            AM_MEDIA_TYPE mt = {};
            mt.majortype = MEDIATYPE_Audio;
            mt.subtype = MEDIASUBTYPE_PCM;
            mt.bFixedSizeSamples = TRUE;
            mt.lSampleSize = wf.nBlockAlign;
            mt.formattype = FORMAT_WaveFormatEx;
            mt.cbFormat = sizeof(wf);
            mt.pbFormat = (BYTE*)&wf;
            pcmConfig->SetFormat(&mt);
        }
    }
    if (m_audioGrabberFilter) {
        CAM_CHECK(m_audioGrabberFilter->QueryInterface(IID_ISampleGrabber, (void**)&m_audioGrabber.p));
        m_audioGrabber->SetBufferSamples(TRUE);
        m_audioGrabber->SetCallback(m_audioCallback, 1);
    }
    return FindOutputPin(last, out, 0);
}

BOOL XRVCameraConfig::BuildRecordGraph(HWND window, CProgressDlg* progress)
{
    auto step = [progress](int position) {
        if (progress)
            progress->SetProgress(100, position);
    };
    if (m_recordGraphBuilt)
        return TRUE;
    step(15);
    if (m_capturing || m_previewRunning)
        return FALSE;
    if (m_previewGraphBuilt)
        TearDownGraph();
    step(20);
    if (!m_captureFiltersCreated && FAILED(InitCapFilters(FALSE)))
        return FALSE;
    if (!m_captureFilter || !m_sampleGrabberFilter)
        return FALSE;
    step(30);
    const BOOL wm = UsesDefaultCodec();
    if (!wm) {
        if (!m_compressorFilter || !m_fileSink)
            return FALSE;
        m_fileSink->SetMode(AM_FILE_OVERWRITE);
        const CStringW output(m_outputName);
        if (FAILED(m_fileSink->SetFileName(output, NULL)) ||
            FAILED(m_pGraph->AddFilter(m_aviMux, L"Kestravon Avi Mux")) ||
            FAILED(m_pGraph->AddFilter(m_fileWriterFilter, L"Kestravon File Writer")))
            return FALSE;
    } else if (FAILED(m_pGraph->AddFilter(m_asfWriter, L"Kestravon Avi Mux"))) {
        return FALSE;
    }
    step(40);
    if (!wm) {
        const CStringW codec(m_settings->m_codecName);
        if (FAILED(m_pGraph->AddFilter(m_compressorFilter, codec)))
            return FALSE;
    }
    step(45);
    if (window && FAILED(m_pGraph->AddFilter(m_videoTee, L"Video Tee Filter")))
        return FALSE;
    step(50);
    CComPtr<IPin> compIn, compOut, writerIn, muxIn0, muxIn1, muxOut, videoIn, audioIn;
    if (!wm) {
        if (FAILED(FindInputPin(m_compressorFilter, &compIn.p, 0)) ||
            FAILED(FindOutputPin(m_compressorFilter, &compOut.p, 0)) ||
            FAILED(FindInputPin(m_fileWriterFilter, &writerIn.p, 0)) || FAILED(FindInputPin(m_aviMux, &muxIn0.p, 0)) ||
            FAILED(FindOutputPin(m_aviMux, &muxOut.p, 0)))
            return FALSE;
    } else {
        if (!ConfigureWmWriter())
            return FALSE;
        step(55);
        if (FAILED(FindVideoPin(m_asfWriter, &videoIn.p)) || !videoIn)
            return FALSE;
        FindAudioPin(m_asfWriter, &audioIn.p);
    }
    step(60);
    CComPtr<IPin> grabOut, teeIn, teeOut1, teeOut2;
    if (FAILED(FindOutputPin(m_sampleGrabberFilter, &grabOut.p, 0)))
        return FALSE;
    if (window && (FAILED(FindInputPin(m_videoTee, &teeIn.p, 0)) || FAILED(FindOutputPin(m_videoTee, &teeOut1.p, 0)) ||
                   FAILED(FindOutputPin(m_videoTee, &teeOut2.p, 1))))
        return FALSE;
    m_grabber.Release();
    if (SUCCEEDED(m_sampleGrabberFilter->QueryInterface(IID_ISampleGrabber, (void**)&m_grabber.p))) {
        m_grabber->SetBufferSamples(FALSE);
        m_grabber->SetCallback(NULL, 0);
    }
    step(65);
    IPin* videoOut = grabOut;
    if (window) {
        if (FAILED(m_pGraph->Connect(grabOut, teeIn)))
            return FALSE;
        videoOut = teeOut1;
    }
    if (wm) {
        if (FAILED(m_pGraph->Connect(videoOut, videoIn)))
            return FALSE;
    } else {
        // The stored type, or the type the camera really delivers where
        // they differ in a detail (a bit rate the stored one lacks).
        if (FAILED(m_pGraph->ConnectDirect(videoOut, compIn, &m_settings->m_mediaType)) &&
            FAILED(m_pGraph->ConnectDirect(videoOut, compIn, NULL)))
            return FALSE;
        if (FAILED(m_pGraph->Connect(compOut, muxIn0)))
            return FALSE;
    }
    step(70);
    if (window && FAILED(BuildPreviewGraph(teeOut2, window)))
        return FALSE;
    if (m_settings->m_recordAudio) {
        CComPtr<IPin> branchOut;
        if (FAILED(BuildAudioBranch(&branchOut.p)) || !branchOut)
            return FALSE;
        if (wm) {
            if (!audioIn || FAILED(m_pGraph->Connect(branchOut, audioIn)))
                return FALSE;
        } else if (FAILED(FindInputPin(m_aviMux, &muxIn1.p, 1)) || FAILED(m_pGraph->Connect(branchOut, muxIn1))) {
            return FALSE;
        }
    }
    if (!wm && FAILED(m_pGraph->Connect(muxOut, writerIn)))
        return FALSE;
    step(75);
    if (m_grabber) {
        m_grabber->SetBufferSamples(m_videoCallback != nullptr);
        m_grabber->SetCallback(m_videoCallback, 0);
    }
    step(80);
    step(83);
    m_recordGraphBuilt = TRUE;
    return TRUE;
}

void XRVCameraConfig::TearDownGraph()
{
    if (m_pGraph) {
        RemoveFrom(m_pGraph, m_asfWriter);
        RemoveFrom(m_pGraph, m_aviMux);
        RemoveFrom(m_pGraph, m_fileWriterFilter);
        RemoveFrom(m_pGraph, m_videoTee);
    }
    if (m_pIVideoWindow && m_previewOwner && ::IsWindowVisible(m_previewOwner)) {
        m_pIVideoWindow->put_Visible(OAFALSE);
        m_pIVideoWindow->put_Owner((OAHWND)NULL);
    }
    if (m_pGraph) {
        RemoveFrom(m_pGraph, m_pVideoRenderer);
        RemoveFrom(m_pGraph, m_captureFilter);
        RemoveFrom(m_pGraph, m_compressorFilter);
        RemoveFrom(m_pGraph, m_audioSource);
        RemoveFrom(m_pGraph, m_audioGrabberFilter);
        RemoveFrom(m_pGraph, m_audioCompressor);
    }
    m_captureFilter.Release();
    m_compressorFilter.Release();
    m_audioSource.Release();
    m_audioGrabberFilter.Release();
    m_audioGrabber.Release();
    m_audioCompressor.Release();
    // The push source's interface stays with its filter object: the engine
    // may still push into it, which a stopped filter refuses at once.
    m_recordGraphBuilt = FALSE;
    m_previewGraphBuilt = FALSE;
    m_captureFiltersCreated = FALSE;
}

// Ends the wait on an EC_STATE_CHANGE event with the state or on the
// graph's own state, whichever comes first: Wine's graph does not post the
// event, so a wait on it alone would always run into its time-out.
int XRVCameraConfig::WaitForGraphState(OAFilterState state, int timeoutMs)
{
    if (!m_pGraph)
        return 2;
    CComPtr<IMediaControl> control;
    CComPtr<IMediaEventEx> events;
    if (FAILED(m_pGraph->QueryInterface(IID_IMediaControl, (void**)&control.p)))
        return 2;
    m_pGraph->QueryInterface(IID_IMediaEventEx, (void**)&events.p);
    const DWORD begin = ::GetTickCount();
    for (;;) {
        if (events) {
            long code = 0;
            LONG_PTR p1 = 0, p2 = 0;
            while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
                const bool reached = code == EC_STATE_CHANGE && (OAFilterState)p1 == state;
                events->FreeEventParams(code, p1, p2);
                if (reached)
                    return 0;
            }
        }
        OAFilterState current = State_Stopped;
        const HRESULT hr = control->GetState(0, &current);
        if ((hr == S_OK || hr == VFW_S_CANT_CUE) && current == state)
            return 0;
        if (FAILED(hr) && hr != VFW_E_STATE_CHANGED)
            return 2;
        if ((int)(::GetTickCount() - begin) >= timeoutMs)
            return 1;
        ::Sleep(20);
    }
}

// The prepared graph runs (or pauses); the given window is made translucent
// while the camera records.
BOOL XRVCameraConfig::RunPrepared(BOOL wait, int timeoutMs, BOOL pauseAfterBuilding, HWND window)
{
    SetFrameSkip(0);
    CComPtr<IMediaEventEx> events;
    if (wait && SUCCEEDED(m_pGraph->QueryInterface(IID_IMediaEventEx, (void**)&events.p)))
        events->CancelDefaultHandling(EC_STATE_CHANGE);
    if (pauseAfterBuilding)
        return PauseGraph(wait, timeoutMs);
    if (window) {
        ::SetWindowLongA(window, GWL_EXSTYLE, ::GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_LAYERED);
        typedef BOOL(WINAPI * SetLayered)(HWND, COLORREF, BYTE, DWORD);
        SetLayered set = (SetLayered)::GetProcAddress(::GetModuleHandleA("user32.dll"), "SetLayeredWindowAttributes");
        if (set)
            set(window, 0, 178, LWA_ALPHA);
    }
    CComPtr<IMediaControl> control;
    if (FAILED(m_pGraph->QueryInterface(IID_IMediaControl, (void**)&control.p)))
        return FALSE;
    // Wine's graph answers Run with success even when a filter refused to
    // run: the camera's own state tells.
    FILTER_STATE cameraState = State_Stopped;
    if (FAILED(control->Run()) ||
        (m_captureFilter && SUCCEEDED(m_captureFilter->GetState(0, &cameraState)) && cameraState != State_Running)) {
        control->Stop();
        return FALSE;
    }
    if (wait && WaitForGraphState(State_Running, timeoutMs) != 0)
        return FALSE;
    if (events)
        events->RestoreDefaultHandling(EC_STATE_CHANGE);
    m_capturing = TRUE;
    m_prepared = FALSE;
    return TRUE;
}

UINT AFX_CDECL XRVCameraConfig::StartWorker(LPVOID param)
{
    XRVCameraConfig* self = (XRVCameraConfig*)param;
    // The worker's own thread talks to the graph's COM objects.
    const HRESULT com = ::CoInitializeEx(NULL, COINIT_MULTITHREADED);
    CProgressDlg* dialog = self->m_progress;
    auto end = [dialog](BOOL ok) {
        if (dialog && dialog->GetSafeHwnd())
            ::PostMessageA(dialog->GetSafeHwnd(), ok ? WM_PROGRESS_END_OK : WM_PROGRESS_END_CANCEL, 0, 0);
    };
    if (dialog)
        dialog->SetProgress(100, 10);
    BOOL ok = self->BuildRecordGraph(self->m_startWindow, dialog);
    if (ok) {
        if (dialog)
            dialog->SetProgress(100, 85);
        self->SetFrameSkip(0);
        if (dialog && !self->m_startPauseAfterBuilding)
            dialog->SetProgress(100, 95);
        ok = self->RunPrepared(self->m_startWait, self->m_startTimeout, self->m_startPauseAfterBuilding,
                               self->m_startWindow);
        if (ok && dialog)
            dialog->SetProgress(100, 100);
    }
    self->m_startResult = ok;
    if (SUCCEEDED(com))
        ::CoUninitialize();
    end(ok);
    return 0;
}

BOOL XRVCameraConfig::StartCapture(BOOL wait, int timeoutMs, BOOL pauseAfterBuilding, HWND window)
{
    GraphHold hold(&m_graphLock);
    if (m_capturing)
        return TRUE;
    // A stopped preview leaves no graph: the recording makes a new one.
    if (!m_pGraph && (FAILED(DexCreate(CLSID_FilterGraph, &m_pGraph.p)) || !m_pGraph))
        return FALSE;
    m_startWait = wait;
    m_startTimeout = timeoutMs;
    m_startPauseAfterBuilding = pauseAfterBuilding;
    m_startWindow = window;
    if (!m_prepared) {
        CProgressDlg dialog;
        CString text;
        text.LoadString(IDS_CAMERA_INITIALISING);
        dialog.SetTitle(text);
        dialog.SetWorker(StartWorker, this);
        m_progress = &dialog;
        m_startResult = FALSE;
        const INT_PTR answer = dialog.DoModal();
        m_progress = nullptr;
        if (answer == -1) {
            // No dialog could be made (no resources here): the worker runs
            // on this thread.
            StartWorker(this);
            return m_startResult;
        }
        return answer == IDOK && m_startResult;
    }
    return RunPrepared(wait, timeoutMs, pauseAfterBuilding, window);
}

BOOL XRVCameraConfig::PauseCapture(BOOL wait, int timeoutMs)
{
    GraphHold hold(&m_graphLock);
    return PauseGraph(wait, timeoutMs);
}

// The pause itself; the caller holds the graph (the start worker runs it
// for its caller, which holds the graph while it waits for the worker).
BOOL XRVCameraConfig::PauseGraph(BOOL wait, int timeoutMs)
{
    if (!m_pGraph)
        return FALSE;
    SetFrameSkip(1);
    CComPtr<IMediaEventEx> events;
    if (wait && SUCCEEDED(m_pGraph->QueryInterface(IID_IMediaEventEx, (void**)&events.p)))
        events->CancelDefaultHandling(EC_STATE_CHANGE);
    CComPtr<IMediaControl> control;
    if (FAILED(m_pGraph->QueryInterface(IID_IMediaControl, (void**)&control.p)) || FAILED(control->Pause()))
        return FALSE;
    BOOL ok = TRUE;
    if (wait && WaitForGraphState(State_Paused, timeoutMs) != 0)
        ok = FALSE;
    if (events)
        events->RestoreDefaultHandling(EC_STATE_CHANGE);
    m_capturing = FALSE;
    m_prepared = TRUE;
    return ok;
}

void XRVCameraConfig::EndVideo()
{
    CComPtr<IXrvFrameSkip> video;
    if (m_frameSkipFilter && SUCCEEDED(m_frameSkipFilter->QueryInterface(IID_IXrvFrameSkip, (void**)&video.p)))
        video->SetSkip(1);
}

BOOL XRVCameraConfig::StopCapture(BOOL wait, int timeoutMs)
{
    GraphHold hold(&m_graphLock);
    if (!m_capturing && !m_prepared)
        return FALSE;
    // The sound still queued in the push source goes into the file before
    // the graph stops (a stop empties the queue).
    if (m_pushSource) {
        const DWORD begin = ::GetTickCount();
        LONGLONG queued = 0, delivered = 0;
        while (SUCCEEDED(m_pushSource->GetCounts(&queued, &delivered)) && delivered < queued &&
               ::GetTickCount() - begin < 3000)
            ::Sleep(10);
    }
    CComPtr<IMediaEventEx> events;
    if (wait && SUCCEEDED(m_pGraph->QueryInterface(IID_IMediaEventEx, (void**)&events.p)))
        events->CancelDefaultHandling(EC_STATE_CHANGE);
    CComPtr<IMediaControl> control;
    HRESULT hr = E_FAIL;
    if (SUCCEEDED(m_pGraph->QueryInterface(IID_IMediaControl, (void**)&control.p))) {
        // Our sound input source holds what the device recorded up to now:
        // paused, it hands all of it over, and only then does the graph stop
        // (a stop drops it).
        CComPtr<IXrvWaveInConfig> input;
        if (m_capturing && m_audioSource &&
            SUCCEEDED(m_audioSource->QueryInterface(IID_IXrvWaveInConfig, (void**)&input.p)) &&
            SUCCEEDED(control->Pause())) {
            const DWORD begin = ::GetTickCount();
            LONGLONG queued = 1;
            while (SUCCEEDED(input->GetQueuedBytes(&queued)) && queued > 0 && ::GetTickCount() - begin < 2000)
                ::Sleep(20);
            ::Sleep(50);   // the last sample on its way through the graph
        }
        hr = control->Stop();
    }
    if (m_pIVideoWindow && m_previewOwner && ::IsWindowVisible(m_previewOwner)) {
        m_pIVideoWindow->put_Visible(OAFALSE);
        m_pIVideoWindow->put_Owner((OAHWND)NULL);
        m_pIVideoWindow->SetWindowPosition(0, 0, 0, 0);
    }
    BOOL ok = SUCCEEDED(hr);
    if (ok && wait && WaitForGraphState(State_Stopped, timeoutMs) != 0)
        ok = FALSE;
    ReleaseGraph();
    m_recordGraphBuilt = FALSE;
    if (events)
        events->RestoreDefaultHandling(EC_STATE_CHANGE);
    m_capturing = FALSE;
    m_prepared = FALSE;
    return ok;
}

// ------------------------------------------------------------ preview

BOOL XRVCameraConfig::StartPreview(HWND owner)
{
    if (!::TryEnterCriticalSection(&m_graphLock))
        return FALSE;
    if (m_previewRunning) {
        ::LeaveCriticalSection(&m_graphLock);
        return TRUE;
    }
    if (owner) {
        typedef BOOL(WINAPI * SetLayered)(HWND, COLORREF, BYTE, DWORD);
        SetLayered set = (SetLayered)::GetProcAddress(::GetModuleHandleA("user32.dll"), "SetLayeredWindowAttributes");
        if (set && (::GetWindowLongA(owner, GWL_EXSTYLE) & WS_EX_LAYERED))
            set(owner, 0, 255, LWA_ALPHA);
    }
    BOOL ok = FALSE;
    if (!m_capturing && !m_prepared && m_progress == nullptr) {
        if (m_recordGraphBuilt)
            TearDownGraph();
        HRESULT hr = InitCapFilters(FALSE);
        CComPtr<IPin> grabOut;
        if (SUCCEEDED(hr))
            hr = FindOutputPin(m_sampleGrabberFilter, &grabOut.p, 0);
        if (SUCCEEDED(hr))
            hr = BuildPreviewGraph(grabOut, owner);
        CComPtr<IMediaControl> control;
        if (SUCCEEDED(hr))
            hr = m_pGraph->QueryInterface(IID_IMediaControl, (void**)&control.p);
        if (SUCCEEDED(hr)) {
            SetFrameSkip(0);
            hr = control->Run();
        }
        if (SUCCEEDED(hr)) {
            m_previewGraphBuilt = TRUE;
            m_previewRunning = TRUE;
            ok = TRUE;
        } else {
            TearDownGraph();
        }
    }
    ::LeaveCriticalSection(&m_graphLock);
    return ok;
}

void XRVCameraConfig::StopPreview()
{
    if (!m_previewRunning)
        return;
    GraphHold hold(&m_graphLock);
    CComPtr<IMediaControl> control;
    if (m_pGraph && SUCCEEDED(m_pGraph->QueryInterface(IID_IMediaControl, (void**)&control.p)))
        control->Stop();
    if (m_pIVideoWindow) {
        m_pIVideoWindow->put_Visible(OAFALSE);
        m_pIVideoWindow->put_Owner((OAHWND)NULL);
    }
    ReleaseGraph();
    m_previewRunning = FALSE;
}

// The next preview or recording starts from a new graph with new filters
// (the renderer stays): under Wine a graph built again in a stopped graph
// passed no picture (a second preview, a switch of camera, the page opened
// again, a second recording with the same camera object).
void XRVCameraConfig::ReleaseGraph()
{
    TearDownGraph();
    RemoveFrom(m_pGraph, m_frameSkipFilter);
    RemoveFrom(m_pGraph, m_sampleGrabberFilter);
    RemoveFrom(m_pGraph, m_colorConverter);
    RemoveFrom(m_pGraph, m_audioFrameSkip);
    m_frameSkipFilter.Release();
    m_sampleGrabberFilter.Release();
    m_colorConverter.Release();
    m_audioFrameSkip.Release();
    m_pGraph.Release();
}

// ------------------------------------------------------------ device dialogs

void XRVCameraConfig::RefreshDialogAvailability()
{
    m_hasVfwFormatDialog = m_hasVfwSourceDialog = FALSE;
    if (m_vfwDialogs) {
        m_hasVfwFormatDialog = m_vfwDialogs->HasDialog(VfwCaptureDialog_Format) == S_OK;
        m_hasVfwSourceDialog = m_vfwDialogs->HasDialog(VfwCaptureDialog_Source) == S_OK;
    }
    auto hasPages = [](IUnknown* object) {
        if (!object)
            return FALSE;
        CComPtr<ISpecifyPropertyPages> pages;
        CAUUID list = {0, NULL};
        BOOL some = FALSE;
        if (SUCCEEDED(object->QueryInterface(IID_ISpecifyPropertyPages, (void**)&pages.p)) &&
            SUCCEEDED(pages->GetPages(&list))) {
            some = list.cElems > 0;
            ::CoTaskMemFree(list.pElems);
        }
        return some;
    };
    m_filterHasPages = hasPages(m_captureFilter);
    CComPtr<IPin> out;
    if (m_captureFilter)
        FindOutputPin(m_captureFilter, &out.p, 0);
    m_pinHasPages = hasPages(out);
}

namespace {

HRESULT ShowPages(IUnknown* object, HWND parent)
{
    CComPtr<ISpecifyPropertyPages> pages;
    CAUUID list = {0, NULL};
    HRESULT hr = object->QueryInterface(IID_ISpecifyPropertyPages, (void**)&pages.p);
    if (SUCCEEDED(hr))
        hr = pages->GetPages(&list);
    if (SUCCEEDED(hr)) {
        IUnknown* objects[1] = {object};
        hr = ::OleCreatePropertyFrame(parent, 30, 30, NULL, 1, objects, list.cElems, list.pElems, 0, 0, NULL);
        ::CoTaskMemFree(list.pElems);
    }
    return hr;
}

}  // namespace

HRESULT XRVCameraConfig::ShowCameraProperties(HWND parent)
{
    if (m_hasVfwSourceDialog && m_vfwDialogs) {
        StopPreview();
        HRESULT hr = m_vfwDialogs->ShowDialog(VfwCaptureDialog_Source, parent);
        StartPreview(parent);
        return hr;
    }
    if (m_filterHasPages) {
        if (!m_captureFilter) {
            AfxMessageBox(IDS_CAMERA_REOPEN_FAILED, MB_ICONEXCLAMATION);
            return E_FAIL;
        }
        return ShowPages(m_captureFilter, parent);
    }
    return S_FALSE;
}

HRESULT XRVCameraConfig::ShowVideoFormat(HWND parent)
{
    if (!m_hasVfwFormatDialog && !m_pinHasPages)
        return S_FALSE;
    StopPreview();
    HRESULT hr = S_OK;
    if (m_hasVfwFormatDialog && m_vfwDialogs) {
        hr = m_vfwDialogs->ShowDialog(VfwCaptureDialog_Format, parent);
    } else {
        hr = InitCapFilters(TRUE);
        if (FAILED(hr)) {
            AfxMessageBox(IDS_CAMERA_REOPEN_FAILED, MB_ICONEXCLAMATION);
            return E_FAIL;
        }
        if (m_streamConfig) {
            hr = ShowPages(m_streamConfig, parent);
            AM_MEDIA_TYPE* mt = NULL;
            if (SUCCEEDED(m_streamConfig->GetFormat(&mt)) && mt) {
                if ((mt->formattype == FORMAT_VideoInfo || mt->formattype == FORMAT_VideoInfo2) &&
                    mt->cbFormat >= sizeof(VIDEOINFOHEADER) && mt->pbFormat)
                    m_settings->SetMediaType(*mt);
                if (mt->pbFormat)
                    ::CoTaskMemFree(mt->pbFormat);
                if (mt->pUnk)
                    mt->pUnk->Release();
                ::CoTaskMemFree(mt);
            }
        }
        InitCapFilters(FALSE);
    }
    if (m_streamConfig) {
        AM_MEDIA_TYPE* mt = NULL;
        if (SUCCEEDED(m_streamConfig->GetFormat(&mt)) && mt) {
            m_settings->SetMediaType(*mt);
            if (mt->pbFormat)
                ::CoTaskMemFree(mt->pbFormat);
            if (mt->pUnk)
                mt->pUnk->Release();
            ::CoTaskMemFree(mt);
        }
    }
    StartPreview(parent);
    return hr;
}
