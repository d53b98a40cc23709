// The preview graph of the timeline engine: the render engine's front end,
// the preview chain (pre-zoom grabber, overlay, colour space converter), one
// video renderer and the audio renderer, and switching the preview's sound.
#include "XRVDirectShow/XRVDSTimeline.h"
#include "XRVDirectShow/GraphUtil.h"
#include "XRVDirectShow/MediaTypes.h"
#include "XRVDirectShow/TimelineReport.h"
#include "platform/dex/DexFactory.h"
#include "platform/dex/RenderEngine.h"
#include "capture/RecordSettings.h"

#include <qedit.h>

namespace {

void Report(int line, const char* text)
{
    ReportTimelineFailure(XRV_TIMELINE_SOURCE, line, text);
}

} // namespace

BOOL XRVDSTimeline::s_bForcePlainRenderer = FALSE;

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
        CComPtr<IPin> pGroupOutputVideoPin, pPreZoomSGIn, pPreZoomSGOut, pOverlayInPin, pOverlayOutPin;
        HRESULT hr = m_pRenderEngine->GetGroupOutputPin(m_nVideoPin, &pGroupOutputVideoPin);
        if (FAILED(hr)) {
            Report(__LINE__, "GetGroupOutputPin(m_nVideoPin) failed in ConnectFiltersInGraph()");
            return hr;
        }
        if (m_pPreZoomSG) {
            FindInputPin(m_pPreZoomSG, &pPreZoomSGIn, 0);
            FindOutputPin(m_pPreZoomSG, &pPreZoomSGOut, 0);
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
        }
        if (pOverlayInPin && pOverlayOutPin) {
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
        XRV_CHECK(pGraph->ConnectDirect( pGroupOutputAudioPin, pAudioRendererInputPin, NULL ));
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
    if (m_cbSampleFormat >= (long)sizeof(VIDEOINFOHEADER)) {
        const BITMAPINFOHEADER& bih = ((const VIDEOINFOHEADER*)m_pSampleFormat)->bmiHeader;
        BITMAPFILEHEADER bfh;
        memset(&bfh, 0, sizeof(bfh));
        bfh.bfType = 0x4D42;
        bfh.bfOffBits = sizeof(bfh) + sizeof(BITMAPINFOHEADER);
        bfh.bfSize = bfh.bfOffBits + (DWORD)m_cbSample;
        BITMAPINFOHEADER header = bih;
        header.biSize = sizeof(BITMAPINFOHEADER);
        header.biSizeImage = (DWORD)m_cbSample;
        HANDLE out = ::CreateFileA(file, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (out != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            BOOL ok = ::WriteFile(out, &bfh, sizeof(bfh), &written, NULL) &&
                      ::WriteFile(out, &header, sizeof(header), &written, NULL) &&
                      ::WriteFile(out, m_pSampleBuffer, (DWORD)m_cbSample, &written, NULL);
            ::CloseHandle(out);
            hr = ok ? S_OK : E_FAIL;
        }
    }
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

// Our preview chain has no zoom or overlay filter that keeps a start time.
HRESULT XRVDSTimeline::SetFilterStartTimes(LONGLONG)
{
    return S_OK;
}
