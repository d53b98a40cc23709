// The preview graph of the timeline engine: the render engine's front end,
// the preview chain (pre-zoom grabber, overlay, colour space converter), one
// video renderer and the audio renderer, and switching the preview's sound.
// The standard headers go before strsafe.h (through the DirectShow headers).
#include <string>
#include <vector>

#include "XRVDirectShow/XRVDSTimeline.h"
#include "XRVDirectShow/GraphUtil.h"
#include "XRVDirectShow/MediaTypes.h"
#include "XRVDirectShow/TimelineReport.h"
#include "platform/dex/ChainFilters.h"
#include "platform/dex/DexFactory.h"
#include "platform/dex/RenderEngine.h"
#include "capture/RecordSettings.h"

#include <d3d9.h>
#include <gdiplus.h>
#include <qedit.h>
#include <string.h>

namespace {

void Report(int line, const char* text)
{
    ReportTimelineFailure(XRV_TIMELINE_SOURCE, line, text);
}

} // namespace

BOOL XRVDSTimeline::s_bForcePlainRenderer = FALSE;
BOOL (*XRVDSTimeline::s_pfnDirect3DStarts)() = &XRVDSTimeline::Direct3DStarts;

namespace {

// A windowed Direct3D 9 device on a hidden window: what the mixing renderers
// need. Without it (no GL under Wine, no driver) connecting one ends the
// process, so they are not made at all.
BOOL TryDirect3DDevice()
{
    // Direct3D switches the x87 unit to single precision unless told to
    // keep it; every later computation of the process would round
    // differently. The control word is put back whatever the runtime did.
    struct RestoreFpu {
        unsigned short control;
        RestoreFpu() { __asm__ __volatile__("fnstcw %0" : "=m"(control)); }
        ~RestoreFpu() { __asm__ __volatile__("fldcw %0" : : "m"(control)); }
    } restore;
    HMODULE d3d9 = ::LoadLibraryA("d3d9.dll");
    if (!d3d9)
        return FALSE;
    typedef IDirect3D9*(WINAPI * CreateFn)(UINT);
    CreateFn create = (CreateFn)::GetProcAddress(d3d9, "Direct3DCreate9");
    BOOL ok = FALSE;
    IDirect3D9* d3d = create ? create(D3D_SDK_VERSION) : NULL;
    if (d3d) {
        HWND window = ::CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 16, 16, NULL, NULL, NULL, NULL);
        if (window) {
            D3DPRESENT_PARAMETERS params;
            memset(&params, 0, sizeof(params));
            params.Windowed = TRUE;
            params.SwapEffect = D3DSWAPEFFECT_DISCARD;
            params.BackBufferFormat = D3DFMT_UNKNOWN;
            params.hDeviceWindow = window;
            IDirect3DDevice9* device = NULL;
            if (SUCCEEDED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                            D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE, &params,
                                            &device)) &&
                device) {
                device->Release();
                ok = TRUE;
            }
            ::DestroyWindow(window);
        }
        d3d->Release();
    }
    ::FreeLibrary(d3d9);
    return ok;
}

} // namespace

BOOL XRVDSTimeline::Direct3DStarts()
{
    static volatile LONG answer = -1;   // -1 not asked yet
    if (answer < 0)
        ::InterlockedExchange(&answer, TryDirect3DDevice() ? 1 : 0);
    return answer == 1;
}

// The front end is (re)built from the timeline; a changed set of pins is
// fine here, the chain is connected afterwards.
HRESULT XRVDSTimeline::InitializeRenderEngine(BOOL)
{
    if (!m_pRenderEngine)
        return E_FAIL;
    HRESULT hr = m_pRenderEngine->ConnectFrontEnd();
    if (FAILED(hr)) {
        Report(__LINE__, "ConnectFrontEnd() failed in InitializeRenderEngine()");
        return hr;
    }
    m_pGraph.Release();
    XRV_CHECK(m_pRenderEngine->GetFilterGraph( &m_pGraph ));
    return S_OK;
}

// The video group's output: RGB32 of the size at the rate (0 becomes 15).
HRESULT XRVDSTimeline::SetVideoGroupFormat(int width, int height, double frameRate)
{
    if (width <= 0 || height <= 0)
        return E_INVALIDARG;
    CComPtr<IAMTimelineGroup> pVidGroup;
    HRESULT hr = GetVideoGroup(&pVidGroup);
    if (FAILED(hr))
        return hr;
    VIDEOINFOHEADER vih;
    memset(&vih, 0, sizeof(vih));
    vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih.bmiHeader.biWidth = width;
    vih.bmiHeader.biHeight = height;
    vih.bmiHeader.biPlanes = 1;
    vih.bmiHeader.biBitCount = 32;
    vih.bmiHeader.biCompression = BI_RGB;
    vih.bmiHeader.biSizeImage = (DWORD)(width * height * 4);
    AM_MEDIA_TYPE mt;
    memset(&mt, 0, sizeof(mt));
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_RGB32;
    mt.formattype = FORMAT_VideoInfo;
    mt.bFixedSizeSamples = TRUE;
    mt.lSampleSize = vih.bmiHeader.biSizeImage;
    mt.cbFormat = sizeof(vih);
    mt.pbFormat = (BYTE*)&vih;
    XRV_CHECK(pVidGroup->SetMediaType( &mt ));
    DefaultZeroTo15(&frameRate);
    XRV_CHECK(pVidGroup->SetOutputFPS( frameRate ));
    return S_OK;
}

HRESULT XRVDSTimeline::AddFiltersToGraph(BOOL forOutput)
{
    CComPtr<IAMTimelineGroup> pVidGroup, pAudioGroup;
    if (!m_bNoVideo)
        GetVideoGroup(&pVidGroup);
    if (!m_bNoAudio)
        GetAudioGroup(&pAudioGroup);
    if (pVidGroup && !forOutput) {
        int width = 0, height = 0;
        double rate = 0.0;
        if (SUCCEEDED(GetMaxProperties(&width, &height, &rate)) && width > 0 && height > 0) {
            HRESULT hr = SetTimedValues(width, height, 5, rate, 1, 1);
            if (FAILED(hr))
                Report(__LINE__, "SetTimedValues() failed in AddFiltersToGraph()");
        }
    }
    if (!m_pGraph)
        return S_OK;
    if (m_pPreZoomSG) {
        HRESULT hr = m_pGraph->AddFilter(m_pPreZoomSG, L"SampleGrabber-Pre Zoom");
        if (FAILED(hr))
            Report(__LINE__, "AddFilter( m_pPreZoomSG ) failed in AddFiltersToGraph()");
    }
    if (m_pOverlayFilter) {
        HRESULT hr = m_pGraph->AddFilter(m_pOverlayFilter, L"Overlay");
        if (FAILED(hr))
            Report(__LINE__, "AddFilter( m_pOverlayFilter ) failed in AddFiltersToGraph()");
    }
    if (pVidGroup) {
        if (m_pVMR7) {
            if (FAILED(m_pGraph->AddFilter(m_pVMR7, L"VMR7")))
                Report(__LINE__, "AddFilter( m_pVMR7 ) failed in AddFiltersToGraph()");
            m_nRendererMode = 1;
        } else if (m_pVMR9) {
            if (FAILED(m_pGraph->AddFilter(m_pVMR9, L"VMR9")))
                Report(__LINE__, "AddFilter( m_pVMR9 ) failed in AddFiltersToGraph()");
            m_nRendererMode = 0;
        } else if (m_pVideoRenderer) {
            if (FAILED(m_pGraph->AddFilter(m_pVideoRenderer, L"Video Renderer")))
                Report(__LINE__, "AddFilter( m_pVideoRenderer ) failed in AddFiltersToGraph()");
            m_nRendererMode = 2;
        }
        if (m_pVMR7 && !m_pIVMR7VideoWindow) {
            if (FAILED(m_pVMR7->QueryInterface(IID_IVideoWindow, (void**)&m_pIVMR7VideoWindow)))
                Report(__LINE__, "m_pVMR7->QueryInterface() failed for IID_IVideoWindow in AddFiltersToGraph()");
        } else if (!m_pVMR7 && m_pVMR9 && !m_pIVMR9VideoWindow) {
            if (FAILED(m_pVMR9->QueryInterface(IID_IVideoWindow, (void**)&m_pIVMR9VideoWindow)))
                Report(__LINE__, "m_pVMR9->QueryInterface() failed for IID_IVideoWindow in AddFiltersToGraph()");
        } else if (!m_pVMR7 && !m_pVMR9 && m_pVideoRenderer && !m_pIVideoWindow) {
            if (FAILED(m_pVideoRenderer->QueryInterface(IID_IVideoWindow, (void**)&m_pIVideoWindow)))
                Report(__LINE__,
                       "m_pVideoRenderer->QueryInterface() failed for IID_IVideoWindow in AddFiltersToGraph()");
        }
    }
    if (pAudioGroup) {
        if (!m_pAudioRenderer) {
            HRESULT hr = AddFilter(m_pGraph, CLSID_DSoundRender, L"Kestravon Audio Renderer", &m_pAudioRenderer);
            if (FAILED(hr))
                return hr;
        } else if (FAILED(m_pGraph->AddFilter(m_pAudioRenderer, L"Kestravon Audio Renderer"))) {
            Report(__LINE__, "AddFilter( m_pAudioRenderer ) failed in AddFiltersToGraph()");
        }
    }
    return S_OK;
}

// Without a zoom filter the zoom stage is left out (S_FALSE).
HRESULT XRVDSTimeline::ConnectZoomFilter(IGraphBuilder* graph, IPin* preZoomOut, IPin* postZoomIn)
{
    if (!m_pZoomFilter || !graph || !preZoomOut || !postZoomIn)
        return S_FALSE;
    CComPtr<IPin> pZoomInPin, pZoomOutPin;
    if (FAILED(FindInputPin(m_pZoomFilter, &pZoomInPin, 0)))
        return S_FALSE;
    FindOutputPin(m_pZoomFilter, &pZoomOutPin, 0);
    XRV_CHECK(graph->ConnectDirect( preZoomOut, pZoomInPin, NULL ));
    if (pZoomOutPin)
        XRV_CHECK(graph->Connect( pZoomOutPin, postZoomIn ));
    return S_OK;
}

// Group output -> pre-zoom grabber -> [zoom] -> overlay -> colour space
// converter -> the first video renderer that connects; audio group output ->
// audio renderer.
HRESULT XRVDSTimeline::ConnectFiltersInGraph()
{
    CComQIPtr<IGraphBuilder> pGraph;
    if (m_pGraph && m_pRenderEngine)
        pGraph = m_pGraph;
    CComQIPtr<IMediaControl> pMediaControl;
    if (pGraph)
        pMediaControl = pGraph;
    if (!pMediaControl) {
        Report(__LINE__, "CComQIPtr<pGraph> failed for IMediaControl in ConnectFiltersInGraph()");
        return E_FAIL;
    }
    CComPtr<IAMTimelineGroup> pVidGroup, pAudioGroup;
    if (!m_bNoVideo)
        GetVideoGroup(&pVidGroup);
    if (!m_bNoAudio)
        GetAudioGroup(&pAudioGroup);
    pMediaControl->Stop();
    OAFilterState state;
    pMediaControl->GetState(200, &state);

    HRESULT result = S_OK;
    if (pVidGroup && HasVideoTracks()) {
        CComPtr<IPin> pGroupOutputVideoPin, pPreZoomSGIn, pPreZoomSGOut, pPostZoomSGIn, pPostZoomSGOut;
        CComPtr<IPin> pOverlayInPin, pOverlayOutPin;
        HRESULT hr = m_pRenderEngine->GetGroupOutputPin(m_nVideoPin, &pGroupOutputVideoPin);
        if (FAILED(hr)) {
            Report(__LINE__, "GetGroupOutputPin(m_nVideoPin) failed in ConnectFiltersInGraph()");
            return hr;
        }
        if (m_pPreZoomSG) {
            FindInputPin(m_pPreZoomSG, &pPreZoomSGIn, 0);
            FindOutputPin(m_pPreZoomSG, &pPreZoomSGOut, 0);
        }
        if (m_pPostZoomSG) {
            FindInputPin(m_pPostZoomSG, &pPostZoomSGIn, 0);
            FindOutputPin(m_pPostZoomSG, &pPostZoomSGOut, 0);
        }
        if (m_pOverlayFilter) {
            FindInputPin(m_pOverlayFilter, &pOverlayInPin, 0);
            FindOutputPin(m_pOverlayFilter, &pOverlayOutPin, 0);
        }
        // Each stage that exists takes the output of the one before.
        CComPtr<IPin> tail = pGroupOutputVideoPin;
        if (pPreZoomSGIn && pPreZoomSGOut) {
            XRV_CHECK(pGraph->ConnectDirect( tail, pPreZoomSGIn, NULL ));
            tail = pPreZoomSGOut;
            // The zoom stage joins only between the two grabbers; without
            // the post-zoom grabber or the zoom filter it is left out.
            if (pPostZoomSGIn && pPostZoomSGOut && m_pZoomFilter) {
                AddFilterOnce(pGraph, m_pPostZoomSG, L"SampleGrabber-Post Zoom");
                AddFilterOnce(pGraph, m_pZoomFilter, L"Zoom");
                if (ConnectZoomFilter(pGraph, pPreZoomSGOut, pPostZoomSGIn) == S_OK)
                    tail = pPostZoomSGOut;
            }
        }
        if (pOverlayInPin && pOverlayOutPin) {
            HandDrawerToOverlayFilter();
            XRV_CHECK(pGraph->ConnectDirect( tail, pOverlayInPin, NULL ));
            tail = pOverlayOutPin;
        }
        CComPtr<IBaseFilter> pColour;
        hr = AddFilter(pGraph, CLSID_Colour, L"Color Space Converter", &pColour);
        if (FAILED(hr)) {
            Report(__LINE__, "AddFilter( CLSID_Colour ) failed in ConnectFiltersInGraph()");
            return E_FAIL;
        }
        CComPtr<IPin> pCCIn, pCCOut;
        FindInputPin(pColour, &pCCIn, 0);
        FindOutputPin(pColour, &pCCOut, 0);
        XRV_CHECK(pGraph->ConnectDirect( tail, pCCIn, NULL ));

        struct Candidate {
            IBaseFilter* filter;
            LPCWSTR name;
            int mode;
            IVideoWindow* window;
        } candidates[] = {
            {m_pVMR7, L"VMR7", 1, m_pIVMR7VideoWindow},
            {m_pVMR9, L"VMR9", 0, m_pIVMR9VideoWindow},
            {m_pVideoRenderer, L"Video Renderer", 2, m_pIVideoWindow},
        };
        result = E_FAIL;
        for (const Candidate& c : candidates) {
            if (!c.filter)
                continue;
            CComPtr<IPin> pRendererIn;
            if (FAILED(FindInputPin(c.filter, &pRendererIn, 0)))
                continue;
            if (m_nRendererMode != c.mode && FAILED(pGraph->AddFilter(c.filter, c.name)))
                Report(__LINE__, "AddFilter( renderer ) failed in ConnectFiltersInGraph()");
            result = pGraph->Connect(pCCOut, pRendererIn);
            if (result == S_OK) {
                m_nRendererMode = c.mode;
                if (c.window)
                    c.window->put_AutoShow(OAFALSE);
                break;
            }
            pGraph->RemoveFilter(c.filter);
        }
        if (result != S_OK)
            Report(__LINE__, "Hooking up the video renderer failed in ConnectFiltersInGraph()");
    }

    if (pAudioGroup && !m_bAudioPreviewOff && m_pAudioRenderer) {
        CComPtr<IPin> pGroupOutputAudioPin, pAudioRendererInputPin;
        HRESULT hr = m_pRenderEngine->GetGroupOutputPin(m_nAudioPin, &pGroupOutputAudioPin);
        if (FAILED(hr) || !pGroupOutputAudioPin) {
            Report(__LINE__, "GetGroupOutputPin( m_nAudioPin ) failed in ConnectFiltersInGraph()");
            return FAILED(hr) ? hr : E_FAIL;
        }
        hr = FindInputPin(m_pAudioRenderer, &pAudioRendererInputPin, 0);
        if (FAILED(hr)) {
            Report(__LINE__, "FindInputPin( AudioRendererInputPin ) failed in ConnectFiltersInGraph()");
            return hr;
        }
        if (m_WantedAudioFormat.nSamplesPerSec == 0xFFFFFFFF || m_WantedAudioFormat.nAvgBytesPerSec == 0xFFFFFFFF) {
            XRV_CHECK(pGraph->ConnectDirect( pGroupOutputAudioPin, pAudioRendererInputPin, NULL ));
        } else {
            hr = ConnectThroughPcmConverter(pGraph, pAudioGroup, pGroupOutputAudioPin, pAudioRendererInputPin);
            if (FAILED(hr))
                return hr;
        }
    }

    m_pMediaEvent.Release();
    if (FAILED(pGraph->QueryInterface(IID_IMediaEventEx, (void**)&m_pMediaEvent)))
        Report(__LINE__, "QueryInterface( IID_IMediaEventEx ) failed in ConnectFiltersInGraph()");
    return result;
}

// Connects the audio group's output to the audio renderer, or takes it off.
HRESULT XRVDSTimeline::ToggleAudioRendering()
{
    CComQIPtr<IGraphBuilder> pGraph;
    if (m_pGraph)
        pGraph = m_pGraph;
    CComPtr<IAMTimelineGroup> pAudioGroup;
    if (!pGraph || !m_pAudioRenderer || FAILED(GetAudioGroup(&pAudioGroup)))
        return S_FALSE;
    CComPtr<IPin> pRendererIn, pConnected;
    XRV_CHECK(FindInputPin( m_pAudioRenderer, &pRendererIn, 0 ));
    if (SUCCEEDED(pRendererIn->ConnectedTo(&pConnected)) && pConnected) {
        pGraph->Disconnect(pConnected);
        pGraph->Disconnect(pRendererIn);
        m_bAudioPreviewOff = TRUE;
        return S_OK;
    }
    // Sound in a wanted format comes from the converter, which stays
    // connected to the group.
    CComPtr<IBaseFilter> pConverter;
    CComPtr<IPin> pConverterOut, pConverterPeer;
    if (SUCCEEDED(pGraph->FindFilterByName(L"Kestravon Audio Compressor", &pConverter)) && pConverter &&
        SUCCEEDED(FindOutputPin(pConverter, &pConverterOut, 0)) && pConverterOut) {
        AM_MEDIA_TYPE wanted;
        memset(&wanted, 0, sizeof(wanted));
        CComQIPtr<IAMStreamConfig> config(pConverterOut);
        AM_MEDIA_TYPE* set = NULL;
        if (config && SUCCEEDED(config->GetFormat(&set)) && set) {
            wanted = *set;
            CoTaskMemFree(set);
        }
        HRESULT hr = pGraph->ConnectDirect(pConverterOut, pRendererIn, wanted.pbFormat ? &wanted : NULL);
        FreeMediaType(wanted);
        XRV_CHECK(hr);
        m_bAudioPreviewOff = FALSE;
        return S_OK;
    }
    CComPtr<IPin> pGroupOutputAudioPin;
    HRESULT hr = m_pRenderEngine->GetGroupOutputPin(m_nAudioPin, &pGroupOutputAudioPin);
    if (FAILED(hr)) {
        Report(__LINE__, "GetGroupOutputPin() failed in ToggleAudioRendering()");
        return hr;
    }
    XRV_CHECK(pGraph->ConnectDirect( pGroupOutputAudioPin, pRendererIn, NULL ));
    m_bAudioPreviewOff = FALSE;
    return S_OK;
}

// Brings the graph up to date after an edit. A full update renders a fresh
// copy of the groups in a new graph (the running graph never sees the edited
// tree); reconnectOnly asks the front end alone and answers S_FALSE when the
// caller must connect the chain again.
HRESULT XRVDSTimeline::UpdateFilterGraph(BOOL forOutput, BOOL reconnectOnly)
{
    if (!m_pRenderEngine || !m_pTimeline)
        return E_FAIL;
    if (!reconnectOnly)
        GetBlankSourceAtStart();
    CComPtr<IAMTimelineGroup> pVidGroup, pAudioGroup;
    if (!m_bNoVideo)
        GetVideoGroup(&pVidGroup);
    if (!m_bNoAudio)
        GetAudioGroup(&pAudioGroup);
    if (pVidGroup && !reconnectOnly) {
        AM_MEDIA_TYPE mt;
        memset(&mt, 0, sizeof(mt));
        if (FAILED(pVidGroup->GetMediaType(&mt))) {
            Report(__LINE__, "GetMediaType() failed in UpdateFilterGraph()");
        } else {
            int width = 0, height = 0;
            double rate = 0.0;
            GetMaxProperties(&width, &height, &rate);
            if (forOutput && m_pOutputFormat) {
                width = m_pOutputFormat->m_nOutputWidth;
                height = m_pOutputFormat->m_nOutputHeight;
            }
            if (width > 0 && height > 0)
                SetTimedValues(width, height, 5, rate, 1, 1);
            FreeMediaType(mt);
        }
    }
    if (pVidGroup)
        pVidGroup->SetPreviewMode(!forOutput);
    if (pAudioGroup)
        pAudioGroup->SetPreviewMode(!forOutput);

    if (reconnectOnly) {
        HRESULT hr = m_pRenderEngine->ConnectFrontEnd();
        if (hr == S_WARN_OUTPUTRESET_DEX)
            return S_FALSE;
        if (hr == (HRESULT)0x80040401 || hr == (HRESULT)0x8004025F) {
            m_pRenderEngine->ScrapIt();
            return S_FALSE;
        }
        return hr;
    }
    CComPtr<IAMTimeline> pNewTimeline;
    HRESULT hr = DexCreate(CLSID_AMTimeline, &pNewTimeline);
    if (FAILED(hr)) {
        Report(__LINE__, "CoCreateInstance() failed for CLSID_AMTimeline in UpdateFilterGraph()");
        return hr;
    }
    CopyGroups(pNewTimeline);
    hr = m_pRenderEngine->SetTimelineObject(pNewTimeline);
    if (FAILED(hr)) {
        Report(__LINE__, "SetTimelineObject() failed in UpdateFilterGraph()");
        return hr;
    }
    hr = CreateGraphCG();
    HRESULT init = InitializeRenderEngine(forOutput);
    return FAILED(hr) ? hr : init;
}

// The group's sound reaches the renderer in the wanted format: through the
// "PCM" converter, its output set to the normalised wanted format before it
// connects.
HRESULT XRVDSTimeline::ConnectThroughPcmConverter(IGraphBuilder* pGraph, IAMTimelineGroup* pAudioGroup,
                                                  IPin* pGroupOutputAudioPin, IPin* pAudioRendererInputPin)
{
    WAVEFORMATEX wanted = m_WantedAudioFormat;
    wanted.cbSize = 0;
    NormalizeWaveFormat(&wanted);
    AM_MEDIA_TYPE wantedType;
    memset(&wantedType, 0, sizeof(wantedType));
    if (!BuildAudioMediaType(&wanted, &wantedType, TRUE))
        return E_OUTOFMEMORY;
    struct FreeType {
        AM_MEDIA_TYPE& mt;
        ~FreeType() { FreeMediaType(mt); }
    } freeWanted = {wantedType};
    CComPtr<IBaseFilter> pCompressAudioFilter;
    if (FAILED(FindCompressorFilter(0, L"PCM", &pCompressAudioFilter)) || !pCompressAudioFilter) {
        Report(__LINE__, "EnumerateCompressionFilters( ) failed in ConnectFiltersInGraph()");
        return E_FAIL;
    }
    HRESULT hr = pGraph->AddFilter(pCompressAudioFilter, L"Kestravon Audio Compressor");
    if (FAILED(hr)) {
        Report(__LINE__, "pGraph->AddFilter((IBaseFilter *)pCompressAudioFilter, strwFilterName)");
        return hr;
    }
    CComPtr<IPin> pCompIn, pCompOut;
    FindInputPin(pCompressAudioFilter, &pCompIn, 0);
    FindOutputPin(pCompressAudioFilter, &pCompOut, 0);
    if (!pCompIn || !pCompOut)
        return E_FAIL;
    AM_MEDIA_TYPE groupType;
    memset(&groupType, 0, sizeof(groupType));
    XRV_CHECK(pAudioGroup->GetMediaType( &groupType ));
    hr = pGraph->ConnectDirect(pGroupOutputAudioPin, pCompIn, &groupType);
    FreeMediaType(groupType);
    if (FAILED(hr)) {
        Report(__LINE__, "ConnectDirect( pGroupOutputAudioPin, pCompressAudioFilterInputPin ) failed in ConnectFiltersInGraph()");
        return hr;
    }
    CComQIPtr<IAMStreamConfig> config(pCompOut);
    if (config)
        XRV_CHECK(config->SetFormat( &wantedType ));
    XRV_CHECK(pGraph->ConnectDirect( pCompOut, pAudioRendererInputPin, &wantedType ));
    return S_OK;
}

void XRVDSTimeline::ClearGrabberCallbacks()
{
    IBaseFilter* grabbers[2] = {m_pPreZoomSG, m_pPostZoomSG};
    for (IBaseFilter* g : grabbers) {
        CComPtr<ISampleGrabber> grabber;
        if (g && SUCCEEDED(g->QueryInterface(IID_ISampleGrabber, (void**)&grabber)))
            grabber->SetCallback(NULL, 0);
    }
}

// The buffer and format go first and the flag last: SampleCB keeps nothing
// while either the flag or a buffer is there.
void XRVDSTimeline::FreeGrabbedSample()
{
    BYTE* buffer = m_pSampleBuffer;
    BYTE* format = m_pSampleFormat;
    m_pSampleBuffer = NULL;
    m_pSampleFormat = NULL;
    m_cbSample = 0;
    m_cbSampleFormat = 0;
    delete[] buffer;
    delete[] format;
    InterlockedExchange((LONG*)&m_bSampleReady, FALSE);
}

namespace {

// The GDI+ encoder of a MIME type.
BOOL FindEncoder(const WCHAR* mime, CLSID* clsid)
{
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0)
        return FALSE;
    std::vector<BYTE> buffer(size);
    Gdiplus::ImageCodecInfo* codecs = (Gdiplus::ImageCodecInfo*)buffer.data();
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok)
        return FALSE;
    for (UINT i = 0; i < count; ++i)
        if (wcscmp(codecs[i].MimeType, mime) == 0) {
            *clsid = codecs[i].Clsid;
            return TRUE;
        }
    return FALSE;
}

// The image kind a file name asks for by its extension: NULL for a .bmp
// (or a name without a known extension), else the encoder's MIME type.
const WCHAR* ImageMimeOfName(LPCTSTR file)
{
    const char* dot = strrchr(file, '.');
    const char* slash = strrchr(file, '\\');
    if (!dot || (slash && dot < slash))
        return NULL;
    static const struct {
        const char* ext;
        const WCHAR* mime;
    } kinds[] = {{".png", L"image/png"}, {".jpg", L"image/jpeg"}, {".jpeg", L"image/jpeg"},
                 {".gif", L"image/gif"}, {".tif", L"image/tiff"}, {".tiff", L"image/tiff"}};
    for (const auto& k : kinds)
        if (_stricmp(dot, k.ext) == 0)
            return k.mime;
    return NULL;
}

} // namespace

// Writes a grabbed 32-bit frame as the image its extension names (.png,
// .jpg, .gif, .tif through GDI+), else as a .bmp.
HRESULT XRVDSTimeline::WriteFrameImage(LPCTSTR file, const BITMAPINFOHEADER& bih, const BYTE* pixels, long size)
{
    const LONG w = bih.biWidth, h = labs(bih.biHeight);
    if (w <= 0 || h <= 0 || bih.biBitCount != 32 || (LONGLONG)size < (LONGLONG)w * h * 4)
        return E_FAIL;
    const WCHAR* mime = ImageMimeOfName(file);
    if (mime) {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        if (Gdiplus::GdiplusStartup(&token, &input, NULL) != Gdiplus::Ok)
            return E_FAIL;
        HRESULT hr = E_FAIL;
        CLSID encoder;
        if (FindEncoder(mime, &encoder)) {
            // A bottom-up frame starts at its last row and runs backwards.
            const INT stride = (INT)(w * 4);
            BYTE* scan0 = (BYTE*)pixels + (bih.biHeight > 0 ? (size_t)stride * (h - 1) : 0);
            Gdiplus::Bitmap frame(w, h, bih.biHeight > 0 ? -stride : stride, PixelFormat32bppRGB, scan0);
            std::wstring wide;
            int needed = MultiByteToWideChar(CP_ACP, 0, file, -1, NULL, 0);
            if (needed > 0) {
                wide.assign((size_t)needed, L'\0');
                MultiByteToWideChar(CP_ACP, 0, file, -1, &wide[0], needed);
                wide.resize((size_t)needed - 1);
            }
            if (frame.GetLastStatus() == Gdiplus::Ok && frame.Save(wide.c_str(), &encoder, NULL) == Gdiplus::Ok)
                hr = S_OK;
        }
        Gdiplus::GdiplusShutdown(token);
        return hr;
    }
    BITMAPFILEHEADER bfh;
    memset(&bfh, 0, sizeof(bfh));
    bfh.bfType = 0x4D42;
    bfh.bfOffBits = sizeof(bfh) + sizeof(BITMAPINFOHEADER);
    bfh.bfSize = bfh.bfOffBits + (DWORD)size;
    BITMAPINFOHEADER header = bih;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biSizeImage = (DWORD)size;
    HANDLE out = ::CreateFileA(file, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (out == INVALID_HANDLE_VALUE)
        return E_FAIL;
    DWORD written = 0;
    BOOL ok = ::WriteFile(out, &bfh, sizeof(bfh), &written, NULL) &&
              ::WriteFile(out, &header, sizeof(header), &written, NULL) &&
              ::WriteFile(out, pixels, (DWORD)size, &written, NULL);
    ::CloseHandle(out);
    return ok ? S_OK : E_FAIL;
}

// The preview graph is paused at the time; the first frame after the seek
// (its time starts at 0) is kept by SampleCB in the sample buffers. The graph
// is stopped again afterwards.
HRESULT XRVDSTimeline::CatchSampleAt(LONGLONG time)
{
    if (!m_pGraph || !m_pPreZoomSG)
        return E_FAIL;
    CComPtr<ISampleGrabber> grabber;
    XRV_CHECK(m_pPreZoomSG->QueryInterface( IID_ISampleGrabber, (void**)&grabber ));
    CComQIPtr<IMediaControl> control(m_pGraph);
    CComQIPtr<IMediaSeeking> seeking(m_pGraph);
    if (!control || !seeking)
        return E_FAIL;
    FreeGrabbedSample();
    grabber->SetBufferSamples(FALSE);
    grabber->SetOneShot(FALSE);
    XRV_CHECK(grabber->SetCallback( this, 0 ));
    control->Stop();
    LONGLONG position = time;
    HRESULT hr = seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, NULL, AM_SEEKING_NoPositioning);
    if (SUCCEEDED(hr))
        hr = control->Pause();
    DWORD started = ::GetTickCount();
    while (SUCCEEDED(hr) && !m_bSampleReady && ::GetTickCount() - started < 10000) {
        MSG msg;
        while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::MsgWaitForMultipleObjects(0, NULL, FALSE, 20, QS_ALLINPUT);
    }
    grabber->SetCallback(NULL, 0);
    control->Stop();
    if (FAILED(hr))
        return hr;
    if (!m_bSampleReady) {
        Report(__LINE__, "no frame came in CatchSampleAt()");
        return E_FAIL;
    }
    return S_OK;
}

HRESULT XRVDSTimeline::GrabSampleBitmapToFile(LONGLONG time, LPCTSTR file, BOOL)
{
    if (!file || !*file)
        return E_FAIL;
    HRESULT hr = CatchSampleAt(time);
    if (FAILED(hr))
        return hr;
    hr = E_FAIL;
    if (m_cbSampleFormat >= (long)sizeof(VIDEOINFOHEADER))
        hr = WriteFrameImage(file, ((const VIDEOINFOHEADER*)m_pSampleFormat)->bmiHeader, m_pSampleBuffer, m_cbSample);
    FreeGrabbedSample();
    return hr;
}

// The preview graph's frame at a time as a top-down 32-bit DIB section that
// the caller owns, under the timeline lock.
HRESULT XRVDSTimeline::GrabSampleBitmap(LONGLONG time, HBITMAP* bitmap, int, int)
{
    if (!bitmap)
        return E_POINTER;
    *bitmap = NULL;
    if (AcquireLock(TRUE, NULL) == 2)
        return E_FAIL;
    HRESULT hr = CatchSampleAt(time);
    if (SUCCEEDED(hr)) {
        hr = E_FAIL;
        if (m_cbSampleFormat >= (long)sizeof(VIDEOINFOHEADER)) {
            const BITMAPINFOHEADER& bih = ((const VIDEOINFOHEADER*)m_pSampleFormat)->bmiHeader;
            const int width = bih.biWidth;
            const int height = bih.biHeight < 0 ? -bih.biHeight : bih.biHeight;
            const long stride = width * 4;
            if (bih.biBitCount == 32 && width > 0 && height > 0 && m_cbSample >= stride * height) {
                BITMAPINFO info;
                memset(&info, 0, sizeof(info));
                info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
                info.bmiHeader.biWidth = width;
                info.bmiHeader.biHeight = bih.biHeight;
                info.bmiHeader.biPlanes = 1;
                info.bmiHeader.biBitCount = 32;
                info.bmiHeader.biCompression = BI_RGB;
                void* bits = NULL;
                HBITMAP made = ::CreateDIBSection(NULL, &info, DIB_RGB_COLORS, &bits, NULL, 0);
                if (made && bits) {
                    memcpy(bits, m_pSampleBuffer, (size_t)stride * height);
                    *bitmap = made;
                    hr = S_OK;
                } else if (made) {
                    ::DeleteObject(made);
                }
            } else {
                Report(__LINE__, "the grabbed frame is not 32-bit RGB in GrabSampleBitmap()");
            }
        }
        FreeGrabbedSample();
    }
    ReleaseLock();
    return hr;
}

// The position the next samples count from, for the overlay filter (which
// draws the overlays of that timeline time) and the zoom filter.
HRESULT XRVDSTimeline::SetFilterStartTimes(LONGLONG time)
{
    HRESULT result = S_OK;
    if (m_pOverlayFilter) {
        CComQIPtr<IXrvOverlay> overlay(m_pOverlayFilter);
        HRESULT hr = overlay ? overlay->SetStartTime(time) : E_NOINTERFACE;
        if (FAILED(hr))
            result = hr;
    }
    if (m_pZoomFilter) {
        CComQIPtr<IZoomPIPFilter> zoom(m_pZoomFilter);
        HRESULT hr = zoom ? zoom->SetStartTime(time) : E_NOINTERFACE;
        if (FAILED(hr))
            result = hr;
    }
    return result;
}
