#include "XRVDirectShow/XRVDSTimeline.h"
#include "XRVDirectShow/GraphUtil.h"
#include "XRVDirectShow/TimelineReport.h"
#include "framework/FloatRound.h"
#include "overlays/Overlay.h"
#include "platform/dex/ChainFilters.h"
#include "platform/dex/DexFactory.h"
#include "settings/PathUtil.h"

#include <math.h>
#include <string.h>

namespace {

// The maker's overlay filter of the preview graph.
const CLSID CLSID_Overlay = {0x31ad8e10, 0x8630, 0x4e54, {0xa8, 0x5f, 0xf8, 0xdd, 0x93, 0x43, 0xd7, 0x6a}};

void Report(int line, const char* text)
{
    ReportTimelineFailure(XRV_TIMELINE_SOURCE, line, text);
}

} // namespace

void XRVDSTimeline::InitMembers()
{
    m_nWorkValue = 0;
    m_bSampleReady = FALSE;
    m_pSampleBuffer = NULL;
    m_pSampleFormat = NULL;
    m_cbSample = 0;
    m_cbSampleFormat = 0;
    m_nWorkFlag = 1;
    m_bNoAudio = FALSE;
    m_bNoVideo = FALSE;
    m_bAudioPreviewOff = FALSE;
    m_nPreviewFlag = 1;
    m_nReserved = 0;
    m_nBitDepth = 32;
    m_rtRangeStart = 0;
    m_rtRangeStop = 0;
    m_nVideoPin = -1;
    m_nAudioPin = -1;
    static const int kCompNums[5] = {0, 1, 2, 0, 3};
    memcpy(m_nCompNum, kCompNums, sizeof(m_nCompNum));
    m_nAudioCompMain = -1;
    m_nAudioCompSecond = -1;
    m_nAudioCompCount = 0;
    m_nCurAudioComp = -1;
    m_pOutputFormat = NULL;
    memset(&m_WantedAudioFormat, 0xFF, sizeof(m_WantedAudioFormat));
    m_bSharedRecords = FALSE;
    m_nReserved2 = 0;
    m_nRendererMode = 0;
    m_hCancelLock = NULL;
    m_nInt1 = 0;
    m_nInt2 = 0;
    m_dValue = 0.0;
    memset(&m_SecondAudioFormat, 0xFF, sizeof(m_SecondAudioFormat));
    m_bFiltersCreated = FALSE;
    m_bFileLocking = FALSE;
    m_bStereo = FALSE;
    m_nMaxOutputWidth = 1280;
    m_nMaxOutputHeight = 1024;
    m_nMaxWidth = 0;
    m_nMaxHeight = 0;
    m_dMaxFrameRate = 0.0;
    m_bMaxPropertiesKnown = FALSE;
    m_bFitStills = FALSE;
    m_GraphCallback.Load();
}

// Construction never fails as a whole: a missing part shows as a null
// interface and later operations fail with their own reports.
XRVDSTimeline::XRVDSTimeline(BOOL withVideoGroup, BOOL withAudio)
{
    InitMembers();
    m_bNoAudio = !withAudio;
    m_bNoVideo = !withVideoGroup;
    m_hCancelLock = ::CreateEventA(NULL, TRUE, FALSE, NULL);
    if (!m_hCancelLock)
        Report(__LINE__, "CreateEvent() failed for CancelLock");
    if (FAILED(DexCreate(CLSID_AMTimeline, &m_pTimeline)))
        Report(__LINE__, "CoCreateInstance() failed for CLSID_AMTimeline");
    if (CreateRenderEngine() != S_OK)
        Report(__LINE__, "CreateRenderEngine() failed (constructor)");
    CreateFilters();
    if (withVideoGroup) {
        if (m_nVideoPin == -1)
            CreateVidGroup();
        CreateVideoCompositions();
    }
    if (SUCCEEDED(DexCreate(CLSID_AMTimeline, &m_pScratchTimeline)))
        m_pScratchTimeline->CreateEmptyNode(&m_pScratchGroup, TIMELINE_MAJOR_TYPE_GROUP);
}

// A copy has its own timeline holding the source's groups, and shares the
// source's clip objects and transition records.
XRVDSTimeline::XRVDSTimeline(const XRVDSTimeline& source, BOOL initRenderEngine) : ISampleGrabberCB()
{
    InitMembers();
    m_bSharedRecords = TRUE;
    m_bNoAudio = source.m_bNoAudio;
    m_bNoVideo = source.m_bNoVideo;
    m_Transitions.Copy(source.m_Transitions);
    m_BorrowedTransitions.Copy(source.m_Transitions);
    m_Clips.Copy(source.m_Clips);
    m_ItemRecords.Copy(source.m_ItemRecords);
    m_ClipDescs.Copy(source.m_ClipDescs);
    m_ClipExDescs.Copy(source.m_ClipExDescs);
    m_NamePairs.Copy(source.m_NamePairs);
    m_nWorkFlag = source.m_nWorkFlag;
    if (FAILED(DexCreate(CLSID_AMTimeline, &m_pTimeline)))
        Report(__LINE__, "CoCreateInstance() failed for CLSID_AMTimeline");
    else if (source.m_pTimeline)
        const_cast<XRVDSTimeline&>(source).CopyGroups(m_pTimeline);
    if (CreateRenderEngine() != S_OK)
        Report(__LINE__, "CreateRenderEngine() failed (copy constructor)");
    // The copy draws the same overlays, under the same lock.
    m_pOverlayDrawer = source.m_pOverlayDrawer;
    CreateFilters();
    m_nAudioCompMain = source.m_nAudioCompMain;
    m_nAudioCompSecond = source.m_nAudioCompSecond;
    m_nAudioCompCount = source.m_nAudioCompCount;
    m_nCurAudioComp = source.m_nCurAudioComp;
    m_nAudioPin = source.m_nAudioPin;
    m_nVideoPin = source.m_nVideoPin;
    m_nWorkValue = source.m_nWorkValue;
    m_strName3 = source.m_strName3;
    m_pOutputFormat = source.m_pOutputFormat;
    memcpy(m_nCompNum, source.m_nCompNum, sizeof(m_nCompNum));
    m_strName1 = source.m_strName1;
    m_strName2 = source.m_strName2;
    m_bAudioPreviewOff = source.m_bAudioPreviewOff;
    m_nPreviewFlag = source.m_nPreviewFlag;
    m_nReserved2 = source.m_nReserved2;
    m_nRendererMode = source.m_nRendererMode;
    m_WantedAudioFormat = source.m_WantedAudioFormat;
    m_SecondAudioFormat = source.m_SecondAudioFormat;
    m_nInt1 = source.m_nInt1;
    m_nInt2 = source.m_nInt2;
    m_dValue = source.m_dValue;
    m_rtRangeStart = source.m_rtRangeStart;
    m_rtRangeStop = source.m_rtRangeStop;
    m_nBitDepth = source.m_nBitDepth;
    m_bStereo = source.m_bStereo;
    m_nReserved = 0;
    FindGroupIndexes(m_pTimeline);
    m_hCancelLock = ::CreateEventA(NULL, TRUE, FALSE, NULL);
    if (!m_hCancelLock)
        Report(__LINE__, "CreateEvent() failed for CancelLock (copy)");
    if (initRenderEngine)
        InitializeRenderEngine(FALSE);
    if (SUCCEEDED(DexCreate(CLSID_AMTimeline, &m_pScratchTimeline)))
        m_pScratchTimeline->CreateEmptyNode(&m_pScratchGroup, TIMELINE_MAJOR_TYPE_GROUP);
}

XRVDSTimeline::~XRVDSTimeline()
{
    // No streaming thread may call back into the object once it goes (it is
    // not reference-counted): the grabbers forget it before the graph stops.
    ClearGrabberCallbacks();
    if (m_pGraph && m_pRenderEngine) {
        CComPtr<IMediaEventEx> events;
        // mingw declares no interface id for IMediaEventEx's __uuidof: query by name.
        if (SUCCEEDED(m_pGraph->QueryInterface(IID_IMediaEventEx, (void**)&events)) && events)
            events->SetNotifyWindow(0, 0, 0);
        CComQIPtr<IMediaControl> control(m_pGraph);
        if (!control) {
            Report(__LINE__, "CComQIPtr(pGraph) failed for IMediaControl in ~XRVDSTimeline()");
        } else {
            OAFilterState state;
            control->Stop();
            control->GetState(200, &state);
        }
    }
    delete[] m_pSampleBuffer;
    delete[] m_pSampleFormat;
    m_pSampleBuffer = NULL;
    m_pSampleFormat = NULL;
    if (m_pRenderEngine) {
        m_pRenderEngine->SetTimelineObject(NULL);
        m_pRenderEngine->ScrapIt();
        m_pRenderEngine.Release();
    }
    m_pMediaEvent.Release();
    m_pGraph.Release();
    m_pScratchGroup.Release();
    m_pScratchTimeline.Release();
    m_pTimeline.Release();
    for (INT_PTR i = 0; i < m_TempFiles.GetSize(); ++i)
        ::DeleteFileA(m_TempFiles[i]);
    FreeRecords();
    if (!m_strWorkFile.IsEmpty() && IsRecordingFile(m_strWorkFile))
        ::DeleteFileA(m_strWorkFile);
    if (m_hCancelLock)
        ::CloseHandle(m_hCancelLock);
}

// Frees the transition records and clip objects this object owns; a copy
// owns none of the clip objects and only the transition records it made.
void XRVDSTimeline::FreeRecords()
{
    for (INT_PTR i = 0; i < m_Transitions.GetSize(); ++i)
        DeleteTransition(m_Transitions[i]);
    if (!m_bSharedRecords) {
        for (INT_PTR i = 0; i < m_Clips.GetSize(); ++i)
            delete m_Clips[i];
    }
    m_Transitions.RemoveAll();
    m_Clips.RemoveAll();
}

void XRVDSTimeline::DeleteTransition(TransitionInfo* record)
{
    if (!record)
        return;
    for (INT_PTR i = 0; i < m_BorrowedTransitions.GetSize(); ++i)
        if (m_BorrowedTransitions[i] == record)
            return;
    delete record;
}

STDMETHODIMP XRVDSTimeline::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_ISampleGrabberCB) || IsEqualIID(riid, IID_IUnknown)) {
        *ppv = static_cast<ISampleGrabberCB*>(this);
        return S_OK;
    }
    *ppv = NULL;
    return E_NOINTERFACE;
}

namespace {

// The format block of the media type on a filter's first input pin, as a
// new[] copy; FALSE when the pin is missing or not connected.
BOOL CopyInputFormat(IBaseFilter* filter, BYTE** format, long* size)
{
    CComPtr<IEnumPins> pins;
    if (!filter || FAILED(filter->EnumPins(&pins)) || !pins)
        return FALSE;
    CComPtr<IPin> pin;
    for (;;) {
        CComPtr<IPin> next;
        if (pins->Next(1, &next, NULL) != S_OK || !next)
            return FALSE;
        PIN_DIRECTION direction;
        if (SUCCEEDED(next->QueryDirection(&direction)) && direction == PINDIR_INPUT) {
            pin = next;
            break;
        }
    }
    AM_MEDIA_TYPE mt;
    memset(&mt, 0, sizeof(mt));
    if (FAILED(pin->ConnectionMediaType(&mt)))
        return FALSE;
    BOOL ok = FALSE;
    *format = new (std::nothrow) BYTE[mt.cbFormat ? mt.cbFormat : 1];
    if (*format) {
        if (mt.cbFormat && mt.pbFormat)
            memcpy(*format, mt.pbFormat, mt.cbFormat);
        *size = (long)mt.cbFormat;
        ok = TRUE;
    }
    if (mt.pbFormat)
        CoTaskMemFree(mt.pbFormat);
    if (mt.pUnk)
        mt.pUnk->Release();
    return ok;
}

// The format block of the media type a sample carries, the same way.
BOOL CopySampleFormat(IMediaSample* sample, BYTE** format, long* size)
{
    AM_MEDIA_TYPE* type = NULL;
    if (sample->GetMediaType(&type) != S_OK || !type)
        return FALSE;
    *format = new (std::nothrow) BYTE[type->cbFormat ? type->cbFormat : 1];
    if (*format) {
        if (type->cbFormat && type->pbFormat)
            memcpy(*format, type->pbFormat, type->cbFormat);
        *size = (long)type->cbFormat;
    }
    if (type->pbFormat)
        CoTaskMemFree(type->pbFormat);
    if (type->pUnk)
        type->pUnk->Release();
    CoTaskMemFree(type);
    return *format != NULL;
}

} // namespace

// Keeps one frame for the frame-grab operations: the first sample that
// starts at time 0 while no frame is held, with the format block of the
// grabber's input connection (or, before the grabber is connected, of the
// sample's own media type). A held frame stays until its reader frees the
// buffer. The grabbed flag is set last, once frame and format are in place.
STDMETHODIMP XRVDSTimeline::SampleCB(double, IMediaSample* sample)
{
    if (!sample || !m_pPreZoomSG || m_bSampleReady || m_pSampleBuffer)
        return S_OK;
    REFERENCE_TIME start = -1, stop = -1;
    if (FAILED(sample->GetTime(&start, &stop)) || start != 0)
        return S_OK;
    BYTE* data = NULL;
    if (FAILED(sample->GetPointer(&data)) || !data)
        return S_OK;
    const long size = sample->GetActualDataLength();
    if (size < 0)
        return S_OK;
    BYTE* format = NULL;
    long formatSize = 0;
    if (!CopyInputFormat(m_pPreZoomSG, &format, &formatSize) && !CopySampleFormat(sample, &format, &formatSize))
        return S_OK;   // a frame without its format could not be read
    BYTE* frame = new (std::nothrow) BYTE[size ? size : 1];
    if (!frame) {
        delete[] format;
        return S_OK;
    }
    memcpy(frame, data, size);
    delete[] m_pSampleFormat;
    m_pSampleFormat = format;
    m_cbSampleFormat = formatSize;
    m_pSampleBuffer = frame;
    m_cbSample = size;
    InterlockedExchange((LONG*)&m_bSampleReady, TRUE);
    return S_OK;
}

// ---------------------------------------------------------------------------
// The lock.

// Waits 2000 ms for the mutex (unless noWait), then waits on the mutex and the
// cancel event together while dispatching pumpWindow's messages, without
// spinning: 0 once the mutex is held, 2 when the cancel event is set.
int XRVDSTimeline::AcquireLock(BOOL noWait, HWND pumpWindow)
{
    HANDLE mutex = m_Mutex;
    if (!noWait) {
        DWORD r = ::WaitForSingleObject(mutex, 2000);
        if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED)
            return 0;
    }
    DWORD r = ::WaitForSingleObject(mutex, 0);
    if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED)
        return 0;
    // The cancel event comes first: while it is set no waiter is granted the lock.
    HANDLE handles[2] = {m_hCancelLock, mutex};
    const DWORD count = m_hCancelLock ? 2 : 1;
    HANDLE* waitOn = m_hCancelLock ? handles : handles + 1;
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, pumpWindow, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        r = ::MsgWaitForMultipleObjects(count, waitOn, FALSE, INFINITE, QS_ALLINPUT);
        if (count == 2 && r == WAIT_OBJECT_0)
            return 2;
        if (r == WAIT_OBJECT_0 + count - 1 || r == WAIT_ABANDONED_0 + count - 1)
            return 0;
        if (r == WAIT_FAILED)
            return 2;
    }
}

TimelineLock* TimelineLock::Create(XRVDSTimeline* timeline, BOOL noWait)
{
    TimelineLock* guard = new TimelineLock(timeline);
    guard->result = timeline ? timeline->AcquireLock(noWait, NULL) : 2;
    if (guard->result == 2) {
        delete guard;
        return NULL;
    }
    return guard;
}

BOOL TimelineLock::Acquire(BOOL noWait)
{
    result = timeline ? timeline->AcquireLock(noWait, NULL) : 2;
    return result != 2;
}

int TimelineLock::Release()
{
    if (result == 0 && timeline)
        timeline->ReleaseLock();
    return result;
}

int TimelineLock::ReleaseUnchecked()
{
    if (result == 0)
        timeline->ReleaseLock();
    return result;
}

// ---------------------------------------------------------------------------
// Value helpers.

// Shrinks a size that exceeds the maximum output size, keeping its aspect;
// never enlarges.
void XRVDSTimeline::FitSizeKeepAspect(int& width, int& height) const
{
    if (width <= m_nMaxOutputWidth && height <= m_nMaxOutputHeight)
        return;
    if (width <= 0 || height <= 0)
        return;
    // Each quotient and product is held in its own precision before it is
    // compared or truncated: the x87 unit of the 32-bit build would otherwise
    // turn 1920 x (640 / 1920) into 639.
    const double scaleW = RoundToDouble((double)m_nMaxOutputWidth / width);
    const float scaleH = RoundToSingle((float)((double)m_nMaxOutputHeight / height));
    const double scale = scaleW < scaleH ? scaleW : (double)scaleH;
    width = (int)RoundToDouble(width * scale);
    height = (int)RoundToDouble(height * scale);
}

BOOL SnapSampleRate(DWORD* samplesPerSec)
{
    if (!samplesPerSec)
        return FALSE;
    DWORD r = *samplesPerSec;
    if (r < 9512)
        *samplesPerSec = 8000;
    else if (r < 13512)
        *samplesPerSec = 11025;
    else if (r < 27025)
        *samplesPerSec = 22050;
    else if (r < 38050)
        *samplesPerSec = 32000;
    else if (r < 46050)
        *samplesPerSec = 44100;
    else
        *samplesPerSec = 48000;
    return TRUE;
}

// Makes a plain PCM format 16-bit, at a standard rate, stereo when the object
// wants stereo; other formats are refused.
BOOL XRVDSTimeline::NormalizeWaveFormat(WAVEFORMATEX* format) const
{
    if (!format || format->cbSize != 0 || format->wFormatTag != WAVE_FORMAT_PCM)
        return FALSE;
    WAVEFORMATEX before = *format;
    DWORD rate = format->nSamplesPerSec;
    SnapSampleRate(&rate);
    format->nSamplesPerSec = rate;
    if (m_bStereo && format->nChannels != 2)
        format->nChannels = 2;
    format->wBitsPerSample = 16;
    if (memcmp(&before, format, sizeof(before)) != 0) {
        format->nBlockAlign = (WORD)(format->wBitsPerSample * format->nChannels / 8);
        format->nAvgBytesPerSec = format->nBlockAlign * format->nSamplesPerSec;
    }
    return TRUE;
}

void DefaultZeroTo15(double* value)
{
    if (value && *value == 0.0)
        *value = 15.0;
}

int SplitRecordingPath(LPCTSTR name, CString& packagePath, CString& streamName)
{
    CString text(name ? name : "");
    text.MakeLower();
    if (text.Find(".skorec") >= 0) {
        if (text.Find("xrvrec://") >= 0)
            text = text.Mid(9);
        int bang = text.ReverseFind('!');
        if (bang >= 0) {
            packagePath = text.Left(bang);
            streamName = text.Mid(bang + 1);
            return 0;
        }
    }
    packagePath = text;
    return 1;
}

HRESULT XRVDSTimeline::AddFilter(IGraphBuilder* graph, REFCLSID clsid, LPCWSTR name, IBaseFilter** out)
{
    if (!out)
        return E_FAIL;
    *out = NULL;
    if (!graph)
        return E_POINTER;
    CComPtr<IBaseFilter> filter;
    HRESULT hr = DexCreateInstance(clsid, NULL, CLSCTX_INPROC_SERVER, IID_IBaseFilter, (void**)&filter);
    if (FAILED(hr))
        return hr;
    BSTR bstrName = ::SysAllocString(name ? name : L"");
    hr = graph->AddFilter(filter, bstrName);
    ::SysFreeString(bstrName);
    if (FAILED(hr))
        return hr;
    *out = filter.Detach();
    return hr;
}

IBaseFilter* XRVDSTimeline::GetActiveVideoRenderer() const
{
    if (m_pVMR9 && m_nRendererMode == 0)
        return m_pVMR9;
    if (!m_pVMR7)
        return m_pVideoRenderer;
    return m_nRendererMode == 1 ? m_pVMR7.p : m_pVideoRenderer.p;
}

// ---------------------------------------------------------------------------
// Records.

CClipRecord* XRVDSTimeline::NewItemRecord()
{
    return new (std::nothrow) CClipRecord(0);
}

TimelineClip* XRVDSTimeline::NewClip()
{
    return new (std::nothrow) TimelineClip(NULL, 0);
}

TimelineClipEx* XRVDSTimeline::NewClipEx()
{
    return new (std::nothrow) TimelineClipEx(NULL, 0);
}

ZoomRectInfo* XRVDSTimeline::NewZoomRectInfo()
{
    return new (std::nothrow) ZoomRectInfo();
}

// ---------------------------------------------------------------------------
// Filters and the render engine.

// The preview filters; only the plain video renderer decides the result.
// After a failed call the next one makes them all again, releasing what the
// failed one made.
HRESULT XRVDSTimeline::CreateFilters()
{
    if (m_bFiltersCreated)
        return 0;
    m_pOverlayFilter.Release();
    m_pPreZoomSG.Release();
    m_pVMR7.Release();
    m_pVMR9.Release();
    m_pVideoRenderer.Release();
    if (FAILED(DexCreateInstance(CLSID_Overlay, NULL, CLSCTX_ALL, IID_IBaseFilter, (void**)&m_pOverlayFilter)))
        Report(__LINE__, "CoCreateInstance() failed for CLSID_Overlay in CreateFilters()");
    if (FAILED(DexCreateInstance(CLSID_SampleGrabber, NULL, CLSCTX_ALL, IID_IBaseFilter, (void**)&m_pPreZoomSG)))
        Report(__LINE__, "CoCreateInstance() failed for CLSID_SampleGrabber in CreateFilters()");
    if (!s_bForcePlainRenderer && s_pfnDirect3DStarts && s_pfnDirect3DStarts()) {
        DexCreateInstance(CLSID_VideoMixingRenderer, NULL, CLSCTX_ALL, IID_IBaseFilter, (void**)&m_pVMR7);
        DexCreateInstance(CLSID_VideoMixingRenderer9, NULL, CLSCTX_ALL, IID_IBaseFilter, (void**)&m_pVMR9);
    }
    HandDrawerToOverlayFilter();
    HRESULT hr = DexCreateInstance(CLSID_VideoRenderer, NULL, CLSCTX_ALL, IID_IBaseFilter, (void**)&m_pVideoRenderer);
    if (FAILED(hr) || !m_pVideoRenderer) {
        Report(__LINE__, "CoCreateInstance() failed for CLSID_VideoRenderer in CreateFilters()");
        return FAILED(hr) ? hr : E_FAIL;
    }
    m_bFiltersCreated = TRUE;
    return hr;
}

HRESULT XRVDSTimeline::GetVideoWindow(IVideoWindow** ppVidWin)
{
    if (m_pIVMR9VideoWindow && m_nRendererMode == 0) {
        XRV_CHECK(m_pIVMR9VideoWindow->QueryInterface(IID_IVideoWindow, (void **)ppVidWin));
        return S_OK;
    }
    if (m_pIVMR7VideoWindow && m_nRendererMode == 1) {
        XRV_CHECK(m_pIVMR7VideoWindow->QueryInterface(IID_IVideoWindow, (void **)ppVidWin));
        return S_OK;
    }
    if (!m_pIVideoWindow)
        return E_FAIL;
    XRV_CHECK(m_pIVideoWindow->QueryInterface(IID_IVideoWindow, (void **)ppVidWin));
    return S_OK;
}

HRESULT XRVDSTimeline::GetBasicVideo(IBasicVideo** pBasicVideo)
{
    if (m_pIVMR9VideoWindow && m_nRendererMode == 0) {
        XRV_CHECK(m_pIVMR9VideoWindow->QueryInterface(IID_IBasicVideo, (void **)pBasicVideo));
        return S_OK;
    }
    if (m_pIVMR7VideoWindow && m_nRendererMode == 1) {
        XRV_CHECK(m_pIVMR7VideoWindow->QueryInterface(IID_IBasicVideo, (void **)pBasicVideo));
        return S_OK;
    }
    if (!m_pIVideoWindow)
        return E_FAIL;
    XRV_CHECK(m_pIVideoWindow->QueryInterface(IID_IBasicVideo, (void **)pBasicVideo));
    return S_OK;
}

// Runs once per object; the first failing step is returned unreported (the
// constructors report it).
HRESULT XRVDSTimeline::CreateRenderEngine()
{
    if (m_pRenderEngine)
        return E_FAIL;
    HRESULT hr = DexCreate(CLSID_RenderEngine, &m_pRenderEngine);
    if (FAILED(hr))
        return hr;
    hr = m_pRenderEngine->SetDynamicReconnectLevel(CONNECTF_DYNAMIC_SOURCES);
    if (FAILED(hr))
        return hr;
    hr = m_pRenderEngine->SetTimelineObject(m_pTimeline);
    if (FAILED(hr))
        return hr;
    hr = CreateGraphCG();
    if (FAILED(hr))
        return hr;
    hr = m_pRenderEngine->ConnectFrontEnd();
    if (FAILED(hr))
        return hr;
    return S_OK;
}

// The render graph handed to the render engine.
HRESULT XRVDSTimeline::CreateGraphCG()
{
    if (!m_pRenderEngine)
        return E_FAIL;
    CComPtr<IGraphBuilder> graph;
    HRESULT hr = DexCreate(CLSID_FilterGraph, &graph);
    if (FAILED(hr))
        return hr;
    m_GraphCallback.Attach(graph);
    hr = m_pRenderEngine->SetFilterGraph(graph);
    if (FAILED(hr))
        return hr;
    return S_OK;
}

// ---------------------------------------------------------------------------
// The zoom filter: it keeps what is set on it (the zoom-and-pan pictures are
// not drawn here). Without one there is nothing to set (S_FALSE).

namespace {

HRESULT ZoomOf(IBaseFilter* filter, IZoomPIPFilter** zoom)
{
    *zoom = NULL;
    if (!filter)
        return S_FALSE;
    return filter->QueryInterface(IID_IZoomPIPFilter, (void**)zoom);
}

} // namespace

// Adds a filter to the graph unless it is there already. A filter still in
// the graph an earlier rebuild replaced leaves that one first.
HRESULT XRVDSTimeline::AddFilterOnce(IGraphBuilder* graph, IBaseFilter* filter, LPCWSTR name)
{
    if (!graph || !filter)
        return E_POINTER;
    FILTER_INFO info;
    memset(&info, 0, sizeof(info));
    if (SUCCEEDED(filter->QueryFilterInfo(&info)) && info.pGraph) {
        CComPtr<IUnknown> current, other;
        graph->QueryInterface(IID_IUnknown, (void**)&current);
        info.pGraph->QueryInterface(IID_IUnknown, (void**)&other);
        const bool same = current == other;
        if (!same)
            info.pGraph->RemoveFilter(filter);
        info.pGraph->Release();
        if (same)
            return S_OK;
    }
    return graph->AddFilter(filter, name);
}

HRESULT XRVDSTimeline::UpdateZoomFilter(int width, int height, int stretchMode, int value1, int value2)
{
    CComPtr<IZoomPIPFilter> zoom;
    HRESULT hr = ZoomOf(m_pZoomFilter, &zoom);
    if (hr != S_OK)
        return hr;
    return zoom->SetOutputGeometry(width, height, stretchMode, value1, value2);
}

HRESULT XRVDSTimeline::SetZoomPIPValue12(int value)
{
    CComPtr<IZoomPIPFilter> zoom;
    HRESULT hr = ZoomOf(m_pZoomFilter, &zoom);
    if (hr != S_OK)
        return hr;
    return zoom->SetSetting(12, value);
}

HRESULT XRVDSTimeline::SetShowZoomRects(BOOL show)
{
    CComPtr<IZoomPIPFilter> zoom;
    HRESULT hr = ZoomOf(m_pZoomFilter, &zoom);
    if (hr != S_OK)
        return hr;
    return zoom->ShowZoomRects(show);
}

// Makes the zoom and overlay filters when missing and puts both into the
// render graph (each once).
HRESULT XRVDSTimeline::AddMovieZoomFilter()
{
    if (!m_pGraph)
        return E_FAIL;
    if (!m_pZoomFilter)
        XRV_CHECK(DexCreateInstance( CLSID_XrvZoomFilter, NULL, CLSCTX_ALL, IID_IBaseFilter, (void**)&m_pZoomFilter ));
    if (!m_pOverlayFilter) {
        XRV_CHECK(DexCreateInstance( CLSID_Overlay, NULL, CLSCTX_ALL, IID_IBaseFilter, (void**)&m_pOverlayFilter ));
        HandDrawerToOverlayFilter();
    }
    XRV_CHECK(AddFilterOnce( m_pGraph, m_pZoomFilter, L"Zoom" ));
    XRV_CHECK(AddFilterOnce( m_pGraph, m_pOverlayFilter, L"Overlay" ));
    return S_OK;
}

HRESULT XRVDSTimeline::SetTimedValues(int width, int height, int stretchMode, double frameRate, int, int)
{
    HRESULT hr = SetSourcesStretchMode(stretchMode, width, height);
    if (FAILED(hr))
        return hr;
    return SetVideoGroupFormat(width, height, frameRate);
}

// The cached output size and rate, recomputed when forced or not yet known.
HRESULT XRVDSTimeline::GetCachedMaxProperties(BOOL force)
{
    if (m_bMaxPropertiesKnown && !force)
        return S_OK;
    HRESULT hr = GetMaxProperties(&m_nMaxWidth, &m_nMaxHeight, &m_dMaxFrameRate);
    m_bMaxPropertiesKnown = SUCCEEDED(hr);
    return hr;
}

void XRVDSTimeline::LockFileIfEnabled(LPCTSTR path)
{
    if (m_bFileLocking && path && *path)
        m_FileLocks.Add(path);
}

// Overlays are made by their type name as written in the Type element
// ("Text", "Ellipse", "Rectangle", "ImageAbove", "Spotlight"); anything else,
// the abstract "Overlay" included, gives NULL.
COverlay* XRVDSTimeline::CreateOverlayByName(LPCTSTR typeName)
{
    return COverlay::CreateByTypeName(typeName);
}

LPCTSTR XRVDSTimeline::GetOverlayTypeName(COverlay* overlay)
{
    return overlay ? overlay->GetTypeName() : NULL;
}

// ---------------------------------------------------------------------------
// The overlay list behind the overlay filter.

void XRVDSTimeline::SetOverlayDrawer(IOverlayFrameDrawer* drawer)
{
    m_pOverlayDrawer = drawer;
    HandDrawerToOverlayFilter();
}

void XRVDSTimeline::HandDrawerToOverlayFilter()
{
    if (!m_pOverlayFilter)
        return;
    CComQIPtr<IXrvOverlay> overlay(m_pOverlayFilter);
    if (overlay)
        overlay->SetDrawer(m_pOverlayDrawer);
}

HRESULT XRVDSTimeline::AddOverlayStage(IGraphBuilder* graph, IPin** videoSource)
{
    if (!graph || !videoSource || !*videoSource)
        return E_POINTER;
    if (!m_pOverlayFilter)
        return S_FALSE;
    CComPtr<IPin> in, out, peer;
    if (FAILED(FindInputPin(m_pOverlayFilter, &in, 0)) || FAILED(FindOutputPin(m_pOverlayFilter, &out, 0)) || !in ||
        !out)
        return S_FALSE;
    if (SUCCEEDED(in->ConnectedTo(&peer)) && peer)
        return S_FALSE;   // already in the chain
    HandDrawerToOverlayFilter();
    XRV_CHECK(AddFilterOnce( graph, m_pOverlayFilter, L"Overlay" ));
    XRV_CHECK(graph->ConnectDirect( *videoSource, in, NULL ));
    (*videoSource)->Release();
    *videoSource = out.Detach();
    return S_OK;
}
