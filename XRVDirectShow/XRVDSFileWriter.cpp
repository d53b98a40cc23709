#include "XRVDirectShow/XRVDSFileWriter.h"
#include "framework/WinApp.h"
#include "XRVDirectShow/GraphBuilderCallback.h"
#include "XRVDirectShow/GraphUtil.h"
#include "XRVDirectShow/OutputStages.h"
#include "XRVDirectShow/TimelineReport.h"
#include "XRVDirectShow/XRVDSTimeline.h"
#include "capture/RecordSettings.h"
#include "platform/dex/DexFactory.h"
#include "platform/filters/WaveDest.h"
#include "platform/wmwriter/WmvCore.h"
#include "settings/FileUtil.h"
#include "settings/PathUtil.h"

#include <new>
#include <vector>

#undef XRV_TIMELINE_SOURCE
#define XRV_TIMELINE_SOURCE ".\\XRVDirectShow\\XRVDSFileWriter"

namespace {

const char kLengthCaption[] = "电影长度:";
const char kRenderCaption[] = "正在渲染电影";
const char kNoCompressor[] = "错误: 不能配置视频压缩器。";
const char kNoStage[] = "This output type is not available in this build";

// How long StopWriting waits for the graph to stop before giving up on it.
const DWORD kStopWaitMs = 15000;

const SIZE kSizes25[25] = {{80, 60},    {96, 72},    {120, 90},   {160, 120},  {176, 120},  {192, 144},  {240, 180},
                           {320, 200},  {320, 240},  {352, 240},  {384, 288},  {640, 480},  {640, 576},  {704, 480},
                           {704, 576},  {720, 480},  {720, 486},  {720, 576},  {768, 576},  {800, 600},  {1024, 768},
                           {1280, 960}, {1280, 1024}, {1400, 1050}, {1600, 1200}};
const SIZE kSizes4[4] = {{640, 480}, {720, 480}, {800, 600}, {1024, 768}};

// The program's own stages until a caller registers others (or none).
const OutputStageFunctions* volatile g_stages = &kProgramOutputStages;

// A wide copy of an ANSI text (strsafe.h, pulled in by dshow.h, rules out
// std::wstring here).
struct WideText {
    std::vector<WCHAR> buffer;
    const WCHAR* c_str() const { return buffer.data(); }
};

WideText Wide(LPCSTR text)
{
    WideText w;
    int n = MultiByteToWideChar(CP_ACP, 0, text ? text : "", -1, NULL, 0);
    w.buffer.assign(n > 0 ? n : 1, L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, text, -1, w.buffer.data(), n);
    return w;
}

// Disconnects a pin and whatever it is connected to.
void DisconnectBoth(IGraphBuilder* graph, IPin* pin)
{
    if (!pin)
        return;
    CComPtr<IPin> peer;
    if (SUCCEEDED(pin->ConnectedTo(&peer)) && peer)
        graph->Disconnect(peer);
    graph->Disconnect(pin);
}

// Disconnects every pin of a filter and removes it from the graph.
void RemoveFilter(IGraphBuilder* graph, IBaseFilter* filter)
{
    if (!filter)
        return;
    CComPtr<IEnumPins> pins;
    if (SUCCEEDED(filter->EnumPins(&pins))) {
        IPin* pin = NULL;
        while (pins->Next(1, &pin, NULL) == S_OK) {
            DisconnectBoth(graph, pin);
            pin->Release();
        }
    }
    graph->RemoveFilter(filter);
}

BOOL InGraph(IGraphBuilder* graph, IBaseFilter* filter)
{
    if (!graph || !filter)
        return FALSE;
    FILTER_INFO info = {};
    if (FAILED(filter->QueryFilterInfo(&info)))
        return FALSE;
    BOOL in = info.pGraph != NULL;
    if (info.pGraph)
        info.pGraph->Release();
    return in;
}

} // namespace

const OutputStageFunctions* RegisterOutputStages(const OutputStageFunctions* stages)
{
    return (const OutputStageFunctions*)InterlockedExchangePointer((void* volatile*)&g_stages, (void*)stages);
}

const OutputStageFunctions* GetOutputStages()
{
    return (const OutputStageFunctions*)InterlockedCompareExchangePointer((void* volatile*)&g_stages, NULL, NULL);
}

XRVDSFileWriter::XRVDSFileWriter()
    : m_bShowLength(TRUE), m_bOwnsProgress(FALSE), m_bWriting(0), m_pStartedFlag(NULL), m_pProgress(NULL),
      m_pSettings(NULL), m_pProfileChoice(NULL), m_pSwfOptions(NULL), m_pTimeline(NULL), m_rtStart(-1),
      m_rtStop(-1), m_bLoadedWmvCore(FALSE), m_lCompleted(0), m_lFailed(0)
{
}

XRVDSFileWriter::~XRVDSFileWriter()
{
    StopWriting();
    if (m_bLoadedWmvCore)
        UnloadWmvCore();
    if (m_pTimeline && m_pTimeline->m_pGraph) {
        CComPtr<IBaseFilter> mux;
        if (SUCCEEDED(m_pTimeline->m_pGraph->FindFilterByName(L"Kestravon Avi Mux", &mux)) && mux)
            m_pTimeline->m_pGraph->RemoveFilter(mux);
    }
    delete m_pTimeline;
    if (m_bOwnsProgress)
        delete m_pProgress;
}

void XRVDSFileWriter::SetTimeline(XRVDSTimeline* source)
{
    delete m_pTimeline;
    m_pTimeline = NULL;
    if (source)
        m_pTimeline = new (std::nothrow) XRVDSTimeline(*source, FALSE);
    if (m_pTimeline)
        m_pTimeline->m_pOutputFormat = m_pSettings;
}

void XRVDSFileWriter::SetOutputFormat(CRecordSettings* settings, void* profileChoice, void* swfOptions)
{
    m_pSettings = settings;
    m_pProfileChoice = profileChoice;
    m_pSwfOptions = swfOptions;
    if (m_pTimeline)
        m_pTimeline->m_pOutputFormat = settings;
}

void XRVDSFileWriter::SetProgress(IWriterProgress* progress, int mode)
{
    m_pProgress = progress;
    if (!progress)
        return;
    progress->SetRangeAndPos(100, 0);
    progress->SetWorker(mode == 0 ? AviWorker : WavWorker, this);
}

BOOL XRVDSFileWriter::IsCancelled() { return m_pProgress ? m_pProgress->IsCancelled() : FALSE; }

int XRVDSFileWriter::OutputType() const { return m_pSettings ? m_pSettings->m_nHeader[0] : 0; }

HRESULT XRVDSFileWriter::GetGraphBuilder(IGraphBuilder** graph)
{
    if (!graph)
        return E_POINTER;
    *graph = NULL;
    if (!m_pTimeline || !m_pTimeline->m_pGraph)
        return E_FAIL;
    *graph = m_pTimeline->m_pGraph;
    (*graph)->AddRef();
    return S_OK;
}

LONGLONG XRVDSFileWriter::GetDuration() { return m_pTimeline ? m_pTimeline->GetDuration() : -1; }

HRESULT XRVDSFileWriter::GetMaxProperties(int* width, int* height, double* rate, int* value)
{
    if (width)
        *width = 0;
    if (height)
        *height = 0;
    if (rate)
        *rate = 0.0;
    if (value)
        *value = 0;
    if (!m_pTimeline)
        return E_FAIL;
    return m_pTimeline->GetMaxProperties(width, height, rate, value);
}

BOOL XRVDSFileWriter::PresetSize(int kind, int index, int* width, int* height)
{
    const SIZE* table = kind == 1 ? kSizes25 : kind == 3 ? kSizes4 : NULL;
    int count = kind == 1 ? 25 : 4;
    if (!table || index < 0 || index >= count)
        return FALSE;
    *width = table[index].cx;
    *height = table[index].cy;
    return TRUE;
}

// A preset index out of its table falls back to the largest source, like an
// unknown kind, rather than reading past the table.
int XRVDSFileWriter::GetOutputSize(int* width, int* height)
{
    *width = 0;
    *height = 0;
    if (m_pSettings) {
        int kind = m_pSettings->m_nHeader[1];
        if (kind == 1 && PresetSize(1, m_pSettings->m_nHeader[3], width, height))
            return 0;
        if (kind == 3 && PresetSize(3, m_pSettings->m_nHeader[2], width, height))
            return 0;
        if (kind == 2) {
            *width = m_pSettings->m_nOutputWidth;
            *height = m_pSettings->m_nOutputHeight;
            return 0;
        }
    }
    if (m_pTimeline) {
        double rate = 0;
        GetMaxProperties(width, height, &rate, NULL);
    }
    return 0;
}

CString XRVDSFileWriter::SoundPathFor(LPCSTR aviPath)
{
    CString path(aviPath);
    if (path.GetLength() >= 4)
        path = path.Left(path.GetLength() - 4);
    return path + ".wav";
}

HRESULT XRVDSFileWriter::GetWritePosition(LONGLONG* position)
{
    if (!position)
        return E_POINTER;
    *position = 0;
    if (!m_bWriting || !m_pTimeline || !m_pTimeline->m_pGraph)
        return 1;
    IGraphBuilder* graph = m_pTimeline->m_pGraph;
    CComQIPtr<IMediaSeeking> seeking(graph);
    if (seeking)
        seeking->GetCurrentPosition(position);
    // Without a clock the graph's own position says little: the sink ends
    // know how far the file is written.
    static const wchar_t* const kSinks[] = {L"Kestravon Wave Dest", L"Kestravon Avi Mux"};
    for (const wchar_t* name : kSinks) {
        CComPtr<IBaseFilter> filter;
        if (FAILED(graph->FindFilterByName(name, &filter)) || !filter)
            continue;
        LONGLONG value = -1;
        CComPtr<IXrvWaveDestPosition> wave;
        CComPtr<IMediaSeeking> own;
        if (SUCCEEDED(filter->QueryInterface(IID_IXrvWaveDestPosition, (void**)&wave)))
            wave->GetPosition(&value);
        else if (SUCCEEDED(filter->QueryInterface(IID_IMediaSeeking, (void**)&own)))
            own->GetCurrentPosition(&value);
        if (value >= 0) {
            *position = value;
            break;
        }
    }
    return S_OK;
}

// Stops the output graph. The wait for the stop is bounded: a graph that
// does not stop is reported and left, rather than hanging the dialog.
void XRVDSFileWriter::StopWriting()
{
    if (!InterlockedExchange(&m_bWriting, 0) || !m_pTimeline || !m_pTimeline->m_pGraph)
        return;
    CComQIPtr<IMediaControl> control(m_pTimeline->m_pGraph);
    if (!control)
        return;
    control->StopWhenReady();
    control->Stop();
    OAFilterState state = State_Running;
    DWORD begin = GetTickCount();
    while (control->GetState(100, &state) != S_OK || state != State_Stopped) {
        if (GetTickCount() - begin > kStopWaitMs) {
            ReportTimelineFailure(XRV_TIMELINE_SOURCE, __LINE__, "The output graph did not stop in StopWriting");
            return;
        }
    }
}

BOOL XRVDSFileWriter::ProcessGraphEvents()
{
    if (m_lFailed || !m_pTimeline || !m_pTimeline->m_pGraph)
        return TRUE;
    // mingw gives IMediaEventEx no __uuidof: queried by its id.
    CComPtr<IMediaEventEx> events;
    m_pTimeline->m_pGraph->QueryInterface(IID_IMediaEventEx, (void**)&events);
    if (!events)
        return TRUE;
    BOOL ended = FALSE;
    long code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
        if (code == EC_COMPLETE) {
            InterlockedExchange(&m_lCompleted, 1);
            ended = TRUE;
        } else if (code == EC_ERRORABORT || code == EC_USERABORT || code == EC_ERRORABORTEX) {
            InterlockedExchange(&m_lFailed, 1);
            ended = TRUE;
        }
        events->FreeEventParams(code, p1, p2);
    }
    return ended;
}

void XRVDSFileWriter::ResetRunState()
{
    InterlockedExchange(&m_lCompleted, 0);
    InterlockedExchange(&m_lFailed, 0);
}

// Runs a write under the progress dialog. Success needs the graph's
// completion without cancel or error: the worker creates the temporary file
// before writing, so its mere existence proves nothing. A write that did not
// succeed leaves no temporary file behind; the caller still gets its name.
BOOL XRVDSFileWriter::Render(CString& path, LONG* startedFlag, LONGLONG start, LONGLONG stop)
{
    m_strOutputFile = path;
    m_pStartedFlag = startedFlag;
    m_rtStart = start;
    m_rtStop = stop;
    ResetRunState();
    INT_PTR result = m_pProgress ? m_pProgress->RunModal() : IDCANCEL;
    BOOL cancelled = IsCancelled();
    path = m_strOutputFile;
    if (result == IDCANCEL || cancelled) {
        StopWriting();
        if (m_pProgress) {
            HWND window = m_pProgress->GetWindow();
            if (window && m_pProgress->GetTimerId())
                KillTimer(window, m_pProgress->GetTimerId());
            m_pProgress->SetTimerId(0);
        }
    }
    // Events that came after the dialog's last look.
    if (m_bWriting)
        ProcessGraphEvents();
    StopWriting();
    m_pStartedFlag = NULL;
    m_strOutputFile.Empty();
    BOOL ok = !cancelled && result != IDCANCEL && Completed() && IsRecordingFile(path);
    if (!ok && !path.IsEmpty()) {
        DeleteFileA(path);
        if (OutputType() == 6)
            DeleteFileA(SoundPathFor(path));
    }
    return ok;
}

DWORD WINAPI XRVDSFileWriter::AviWorker(void* parameter)
{
    XRVDSFileWriter* writer = static_cast<XRVDSFileWriter*>(parameter);
    CoInitializeEx(NULL, COINIT_MULTITHREADED);
    if (writer->m_pStartedFlag)
        InterlockedExchange(writer->m_pStartedFlag, 1);
    writer->RenderAviToTemp(writer->m_strOutputFile);
    CoUninitialize();
    return 0;
}

DWORD WINAPI XRVDSFileWriter::WavWorker(void* parameter)
{
    XRVDSFileWriter* writer = static_cast<XRVDSFileWriter*>(parameter);
    CoInitializeEx(NULL, COINIT_MULTITHREADED);
    if (writer->m_pStartedFlag)
        InterlockedExchange(writer->m_pStartedFlag, 1);
    writer->RenderWavToTemp(writer->m_strOutputFile);
    CoUninitialize();
    return 0;
}

int XRVDSFileWriter::RenderAviToTemp(CString& path)
{
    if (!CreateUniqueFileName(m_strWorkFolder, "FileWriter", "avi", path, FALSE)) {
        InterlockedExchange(&m_lFailed, 1);
        if (m_pProgress && m_pProgress->GetWindow())
            PostMessage(m_pProgress->GetWindow(), WM_FILEWRITER_GRAPH_EVENT, 0, 0);
        return 0;
    }
    if (m_pProgress) {
        if (m_bShowLength) {
            m_pProgress->SetLine2(kLengthCaption);
            m_pProgress->SetLine1(kRenderCaption);
        }
        m_pProgress->BringToFront();
        m_pProgress->SetCancelled(FALSE);
    }
    BOOL withAudio = m_pSettings ? m_pSettings->m_nValue27 != 0 : TRUE;
    WriteAviToFile(path, withAudio, m_pProgress ? m_pProgress->GetWindow() : NULL, m_pProgress);
    return 1;
}

int XRVDSFileWriter::RenderWavToTemp(CString& path)
{
    if (!m_pProgress)
        return 0;
    if (!CreateUniqueFileName(m_strWorkFolder, "FileWriter", "wav", path, FALSE)) {
        InterlockedExchange(&m_lFailed, 1);
        if (m_pProgress->GetWindow())
            PostMessage(m_pProgress->GetWindow(), WM_FILEWRITER_GRAPH_EVENT, 0, 0);
        return 0;
    }
    m_pProgress->BringToFront();
    m_pProgress->SetCancelled(FALSE);
    WriteWavToFile(path, m_pProgress->GetWindow(), m_pProgress, m_rtStart, m_rtStop);
    return 1;
}

// A failure to build or start marks the write failed and tells the dialog,
// so that it ends instead of waiting for a completion that never comes.
BOOL XRVDSFileWriter::WriteAviToFile(LPCSTR path, BOOL withAudio, HWND window, IWriterProgress* progress)
{
    if (m_bWriting)
        return TRUE;
    HRESULT hr = BuildOutputGraph(path, withAudio);
    CComPtr<IMediaControl> control;
    CComPtr<IMediaSeeking> seeking;
    CComPtr<IMediaEventEx> events;
    if (SUCCEEDED(hr) && m_pTimeline && m_pTimeline->m_pGraph) {
        m_pTimeline->m_pGraph->QueryInterface(IID_IMediaControl, (void**)&control);
        m_pTimeline->m_pGraph->QueryInterface(IID_IMediaSeeking, (void**)&seeking);
        m_pTimeline->m_pGraph->QueryInterface(IID_IMediaEventEx, (void**)&events);
    }
    if (FAILED(hr) || !control || !seeking || !events) {
        InterlockedExchange(&m_lFailed, 1);
        if (window)
            PostMessage(window, WM_FILEWRITER_GRAPH_EVENT, 0, 0);
        return FALSE;
    }
    InterlockedExchange(&m_bWriting, 1);
    events->SetNotifyWindow((OAHWND)window, WM_FILEWRITER_GRAPH_EVENT, 0);
    if (progress) {
        LONGLONG duration = 0;
        seeking->GetDuration(&duration);
        progress->SetRangeAndPos((int)(duration / 10000), 0);
        progress->SetElapsed(0, TRUE);
    }
    hr = control->Run();
    if (FAILED(hr)) {
        CString text;
        text.Format("pMediaControl->Run() failed in XRVDSFileWriter::WriteAviToFile with error: 0x%x", (UINT)hr);
        ReportTimelineFailure(".\\XRVDirectShow\\XRVDSFileWriter", 433, text);
        InterlockedExchange(&m_lFailed, 1);
        if (window)
            PostMessage(window, WM_FILEWRITER_GRAPH_EVENT, 0, 0);
    }
    return TRUE;
}

HRESULT XRVDSFileWriter::WriteWavToFile(LPCSTR path, HWND window, IWriterProgress* progress, LONGLONG start,
                                       LONGLONG stop)
{
    if (m_bWriting || !m_pTimeline)
        return S_OK;
    LONGLONG duration = m_pTimeline->GetDuration();
    if (stop <= 0 || stop > duration)
        stop = duration;
    if (start < 0)
        start = 0;
    if (start == stop) {
        start = 0;
        stop = duration;
    }
    HRESULT hr = BuildWavGraph(path, start, stop);
    CComQIPtr<IMediaControl> control(m_pTimeline->m_pGraph);
    // mingw gives IMediaEventEx no __uuidof: queried by its id.
    CComPtr<IMediaEventEx> events;
    m_pTimeline->m_pGraph->QueryInterface(IID_IMediaEventEx, (void**)&events);
    if (FAILED(hr) || !control || !events) {
        InterlockedExchange(&m_lFailed, 1);
        if (window)
            PostMessage(window, WM_FILEWRITER_GRAPH_EVENT, 0, 0);
        return FAILED(hr) ? hr : E_FAIL;
    }
    InterlockedExchange(&m_bWriting, 1);
    if (window)
        events->SetNotifyWindow((OAHWND)window, WM_FILEWRITER_GRAPH_EVENT, 0);
    hr = control->Run();
    if (FAILED(hr)) {
        InterlockedExchange(&m_lFailed, 1);
        if (window)
            PostMessage(window, WM_FILEWRITER_GRAPH_EVENT, 0, 0);
        return hr;
    }
    if (window) {
        if (progress) {
            CComQIPtr<IMediaSeeking> seeking(m_pTimeline->m_pGraph);
            LONGLONG length = 0;
            if (seeking)
                seeking->GetDuration(&length);
            progress->SetRangeAndPos((int)(length / 10000), 0);
            progress->SetElapsed(0, TRUE);
        }
        return S_OK;
    }
    long code = 0;
    events->WaitForCompletion(INFINITE, &code);
    if (code == EC_COMPLETE)
        InterlockedExchange(&m_lCompleted, 1);
    else
        InterlockedExchange(&m_lFailed, 1);
    control->Stop();
    InterlockedExchange(&m_bWriting, 0);
    return S_OK;
}

HRESULT XRVDSFileWriter::BuildWavGraph(LPCSTR path, LONGLONG start, LONGLONG stop)
{
    IRenderEngine* engine = m_pTimeline->m_pRenderEngine;
    if (!engine || m_pTimeline->m_nAudioPin < 0)
        return E_FAIL;
    XRV_CHECK(engine->SetRenderRange( start, stop ));
    XRV_CHECK(m_pTimeline->UpdateFilterGraph(TRUE, FALSE));
    IGraphBuilder* graph = m_pTimeline->m_pGraph;
    if (!graph)
        return E_FAIL;
    CComPtr<IPin> audioOut;
    XRV_CHECK(engine->GetGroupOutputPin(m_pTimeline->m_nAudioPin, &audioOut));
    DisconnectBoth(graph, audioOut);
    if (m_pTimeline->m_pAudioRenderer && InGraph(graph, m_pTimeline->m_pAudioRenderer))
        RemoveFilter(graph, m_pTimeline->m_pAudioRenderer);
    XRV_CHECK(m_pTimeline->AddWavFileWriter(Wide(path).c_str(), audioOut));
    CComQIPtr<IMediaFilter> filter(graph);
    if (filter)
        filter->SetSyncSource(NULL);
    return S_OK;
}

// Takes the renderers out of the preview graph. The video source is the pin
// that fed the filter before the video renderer, or the video group's output
// when the graph has no renderer.
HRESULT XRVDSFileWriter::TakeOutPreviewEnd(IGraphBuilder* graph, IPin** videoSource)
{
    *videoSource = NULL;
    XRVDSTimeline* t = m_pTimeline;
    if (t->m_pAudioRenderer && InGraph(graph, t->m_pAudioRenderer))
        RemoveFilter(graph, t->m_pAudioRenderer);
    if (t->m_nAudioPin >= 0) {
        CComPtr<IPin> audioOut;
        if (SUCCEEDED(t->m_pRenderEngine->GetGroupOutputPin(t->m_nAudioPin, &audioOut)))
            DisconnectBoth(graph, audioOut);
    }
    IBaseFilter* renderer = t->GetActiveVideoRenderer();
    if (renderer && InGraph(graph, renderer)) {
        CComPtr<IPin> rendererIn, before;
        FindInputPin(renderer, &rendererIn, 0);
        if (rendererIn)
            rendererIn->ConnectedTo(&before);
        if (before) {
            PIN_INFO info = {};
            before->QueryPinInfo(&info);
            CComPtr<IBaseFilter> previous;
            previous.Attach(info.pFilter);
            CComPtr<IPin> previousIn;
            if (previous)
                FindInputPin(previous, &previousIn, 0);
            if (previousIn)
                previousIn->ConnectedTo(videoSource);
            RemoveFilter(graph, previous);
        }
        RemoveFilter(graph, renderer);
    }
    if (!*videoSource && t->m_nVideoPin >= 0) {
        CComPtr<IPin> videoOut;
        if (SUCCEEDED(t->m_pRenderEngine->GetGroupOutputPin(t->m_nVideoPin, &videoOut)) && videoOut) {
            DisconnectBoth(graph, videoOut);
            *videoSource = videoOut.Detach();
        }
    }
    return S_OK;
}

HRESULT XRVDSFileWriter::ConfigureInterleaving(IBaseFilter* mux)
{
    CComQIPtr<IConfigInterleaving> interleaving(mux);
    if (!interleaving)
        return S_OK;
    if (!m_pSettings || !m_pSettings->m_bInterleave)
        return interleaving->put_Mode(INTERLEAVE_NONE);
    XRV_CHECK(interleaving->put_Mode(INTERLEAVE_FULL));
    REFERENCE_TIME preroll = 7500000;
    REFERENCE_TIME period = 10000000;
    if (m_pSettings->m_bInterleaveByFrames) {
        // Per frame: the period of one frame of the output rate, kept exact
        // (29.97 stays 30000/1001 rather than 29).
        ULONGLONG rate = m_pSettings->m_FrameRate.m_nRate, scale = m_pSettings->m_FrameRate.m_nScale;
        if (!rate || !scale) {
            double fps = 0;
            m_pTimeline->GetFrameRate(&fps);
            rate = fps >= 1.0 ? (ULONGLONG)fps : 15;
            scale = 1;
        }
        period = (REFERENCE_TIME)(10000000ull * scale / rate);
    } else if (m_pSettings->m_nInterleaveRate > 0) {
        period = (REFERENCE_TIME)m_pSettings->m_nInterleaveRate * 10000000;
    }
    XRV_CHECK(interleaving->put_Interleaving(&period, &preroll));
    return S_OK;
}

HRESULT XRVDSFileWriter::AddWmvWriter(IGraphBuilder* graph, LPCWSTR path, IBaseFilter** filter, IPin** videoIn,
                                      IPin** audioIn)
{
    const OutputStageFunctions* stages = GetOutputStages();
    if (!stages || !stages->addWmvWriter) {
        ReportTimelineFailure(XRV_TIMELINE_SOURCE, __LINE__, kNoStage);
        return E_NOTIMPL;
    }
    return stages->addWmvWriter(this, graph, path, filter, videoIn, audioIn);
}

HRESULT XRVDSFileWriter::AddSwfWriter(IGraphBuilder* graph, LPCWSTR path, IBaseFilter** filter, IPin** videoIn,
                                      IPin** audioIn)
{
    const OutputStageFunctions* stages = GetOutputStages();
    if (!stages || !stages->addSwfWriter) {
        ReportTimelineFailure(XRV_TIMELINE_SOURCE, __LINE__, kNoStage);
        return E_NOTIMPL;
    }
    return stages->addSwfWriter(this, graph, path, filter, videoIn, audioIn);
}

// The range of Render as the WAV write bounds it: TRUE when it is less than
// the whole timeline.
BOOL XRVDSFileWriter::RenderRange(LONGLONG* start, LONGLONG* stop) const
{
    *start = 0;
    *stop = -1;
    if (!m_pTimeline || (m_rtStart <= 0 && m_rtStop <= 0))
        return FALSE;
    const LONGLONG duration = m_pTimeline->GetDuration();
    LONGLONG s = m_rtStart < 0 ? 0 : m_rtStart;
    LONGLONG e = m_rtStop <= 0 || m_rtStop > duration ? duration : m_rtStop;
    if (s >= e || (s == 0 && e == duration))
        return FALSE;
    *start = s;
    *stop = e;
    return TRUE;
}

HRESULT XRVDSFileWriter::BuildOutputGraph(LPCSTR path, BOOL withAudio)
{
    if (!m_pTimeline || !m_pTimeline->m_pRenderEngine)
        return E_FAIL;
    const int type = OutputType();
    XRVDSTimeline* t = m_pTimeline;
    CComPtr<IAMTimelineGroup> audioGroup;
    if (FAILED(t->GetAudioGroup(&audioGroup)) || !audioGroup)
        withAudio = FALSE;
    if (type == 4 && t->m_nAudioPin == -1) {
        t->CreateAudioGroup();
        t->AddTempWaveTrack();
    }
    // The timeline sizes its output group from the settings' stored size:
    // it gets the size the settings' kind chooses for this graph.
    int width = 0, height = 0;
    GetOutputSize(&width, &height);
    int storedWidth = 0, storedHeight = 0;
    if (m_pSettings) {
        storedWidth = m_pSettings->m_nOutputWidth;
        storedHeight = m_pSettings->m_nOutputHeight;
        m_pSettings->m_nOutputWidth = width;
        m_pSettings->m_nOutputHeight = height;
    }
    // A range given to Render limits the video file as it does the sound
    // file; samples then count from the range's start.
    LONGLONG rangeStart = 0, rangeStop = -1;
    if (RenderRange(&rangeStart, &rangeStop))
        XRV_CHECK(t->m_pRenderEngine->SetRenderRange( rangeStart, rangeStop ));
    HRESULT hr = t->UpdateFilterGraph(TRUE, FALSE);
    if (FAILED(hr))
        hr = t->UpdateFilterGraph(TRUE, FALSE);
    if (m_pSettings) {
        m_pSettings->m_nOutputWidth = storedWidth;
        m_pSettings->m_nOutputHeight = storedHeight;
    }
    if (FAILED(hr))
        return hr;
    t->SetShowZoomRects(FALSE);
    IGraphBuilder* graph = t->m_pGraph;
    if (!graph)
        return E_FAIL;

    CComPtr<IPin> videoSource;
    TakeOutPreviewEnd(graph, &videoSource);
    // The overlays go into the file: the overlay filter follows the video
    // group's output when the preview chain did not bring it, and draws
    // at timeline time.
    if (videoSource)
        XRV_CHECK(t->AddOverlayStage(graph, &videoSource.p));
    t->SetFilterStartTimes(rangeStart);

    const WideText widePath = Wide(path);
    CComPtr<IBaseFilter> mux;
    CComPtr<IPin> muxVideoIn, muxAudioIn, muxOut;
    if (type == 4) {
        XRV_CHECK(AddWmvWriter(graph, widePath.c_str(), &mux, &muxVideoIn, &muxAudioIn));
    } else if (type == 8) {
        XRV_CHECK(AddSwfWriter(graph, widePath.c_str(), &mux, &muxVideoIn, &muxAudioIn));
    } else {
        XRV_CHECK(XRVDSTimeline::AddFilter( graph, CLSID_AviDest, L"Kestravon Avi Mux", &mux ));
        FindInputPin(mux, &muxVideoIn, 0);
        FindInputPin(mux, &muxAudioIn, 1);
        XRV_CHECK(ConfigureInterleaving(mux));
    }
    if (mux)
        FindOutputPin(mux, &muxOut, 0);

    CComPtr<IBaseFilter> fileWriter;
    CComPtr<IPin> fileWriterIn;
    if (muxOut) {
        XRV_CHECK(XRVDSTimeline::AddFilter( graph, CLSID_FileWriter, L"Kestravon File Writer", &fileWriter ));
        CComQIPtr<IFileSinkFilter2> sink(fileWriter);
        XRV_CHECK_PTR(sink, "fileWriter->QueryInterface", "IFileSinkFilter2");
        XRV_CHECK(sink->SetMode(AM_FILE_OVERWRITE));
        XRV_CHECK(sink->SetFileName(widePath.c_str(), NULL));
        FindInputPin(fileWriter, &fileWriterIn, 0);
    }

    if (type == 4 || type == 8) {
        if (videoSource && muxVideoIn)
            XRV_CHECK(graph->Connect( videoSource, muxVideoIn ));
    } else if (videoSource) {
        XRV_CHECK(t->AddMovieVidComp(videoSource, muxVideoIn));
    } else {
        AfxMessageBox(kNoCompressor);
        return E_FAIL;
    }

    CComPtr<IPin> audioOut;
    if (t->m_nAudioPin >= 0)
        t->m_pRenderEngine->GetGroupOutputPin(t->m_nAudioPin, &audioOut);
    if (audioOut) {
        if (type == 4) {
            if (muxAudioIn)
                XRV_CHECK(graph->Connect( audioOut, muxAudioIn ));
        } else if (withAudio) {
            if (type == 6)
                XRV_CHECK(t->AddWavFileWriter(Wide(SoundPathFor(path)).c_str(), audioOut));
            else if (muxAudioIn)
                XRV_CHECK(t->AddMovieAudio(audioOut, muxAudioIn));
        }
    }
    if (muxOut && fileWriterIn)
        XRV_CHECK(graph->Connect( muxOut, fileWriterIn ));
    CComQIPtr<IMediaFilter> filter(graph);
    if (filter)
        filter->SetSyncSource(NULL);
    if (m_pSettings && type != 8 &&
        (!m_pSettings->m_strTitle.IsEmpty() || !m_pSettings->m_strAuthor.IsEmpty() ||
         !m_pSettings->m_strCopyright.IsEmpty() || (type == 4 && !m_pSettings->m_strDescription.IsEmpty())))
        XRV_CHECK(WriteMetadata(graph, type));
    return S_OK;
}

HRESULT XRVDSFileWriter::WriteMetadata(IGraphBuilder* graph, int type)
{
    if (type == 8)
        return S_OK;
    if (type == 4) {
        const OutputStageFunctions* stages = GetOutputStages();
        return stages && stages->writeWmvMetadata ? stages->writeWmvMetadata(this, graph) : E_NOTIMPL;
    }
    CComPtr<IBaseFilter> mux;
    XRV_CHECK(graph->FindFilterByName( L"Kestravon Avi Mux", &mux ));
    CComPtr<IPersistMediaPropertyBag> persist;
    XRV_CHECK(mux->QueryInterface(IID_IPersistMediaPropertyBag, (void**)&persist));
    CComPtr<IMediaPropertyBag> bag;
    XRV_CHECK(DexCreate(CLSID_MediaPropertyBag, &bag));
    struct Field {
        const CString* text;
        const wchar_t* name;
    } fields[] = {{&m_pSettings->m_strAuthor, L"INFO/IART"},
                  {&m_pSettings->m_strTitle, L"INFO/ISBJ"},
                  {&m_pSettings->m_strCopyright, L"INFO/ICOP"}};
    for (const Field& f : fields) {
        if (f.text->IsEmpty())
            continue;
        VARIANT v;
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(Wide(*f.text).c_str());
        HRESULT hr = bag->Write(f.name, &v);
        VariantClear(&v);
        XRV_CHECK(hr);
    }
    XRV_CHECK(persist->Load(bag, NULL));
    return S_OK;
}
