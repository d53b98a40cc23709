#include "XRVDirectShow/XRVDShow.h"

#include "XRVDirectShow/TimelineReport.h"
#include "overlays/Overlay.h"
#include "overlays/OverlayList.h"

#include <process.h>

namespace {

const char* const kFacadeSource = ".\\XRVDirectShow\\XRVDShow";

void ReportFacade(int line, const char* text)
{
    ReportTimelineFailure(kFacadeSource, line, text);
}

// Dispatches every queued message of the calling thread.
void PumpMessages()
{
    MSG msg;
    while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

}  // namespace

XRVDShow::XRVDShow(BOOL createTimeline)
    : m_pTimeline(NULL),
      m_pPreview(NULL),
      m_bThreadRunning(0),
      m_bKill(0),
      m_hThreadDone(::CreateEventA(NULL, TRUE, TRUE, NULL)),
      m_pOverlays(COverlayList::Create()),
      m_hThread(NULL)
{
    if (!m_pOverlays)
        AfxThrowMemoryException();
    if (createTimeline)
        SetTimeline(new XRVDSTimeline(TRUE, TRUE), TRUE);
}

// The action thread is stopped and joined before anything it uses goes: an
// owner that skipped KillActionThread, or whose KillActionThread timed out or
// found the lock cancelled, still never leaves it running on a freed facade.
XRVDShow::~XRVDShow()
{
    ::InterlockedExchange(&m_bKill, 1);
    if (m_hThread) {
        if (m_pTimeline)
            ::SetEvent(m_pTimeline->GetCancelLock());
        JoinActionThread(INFINITE, FALSE);
        if (m_pTimeline)
            ::ResetEvent(m_pTimeline->GetCancelLock());
    }
    m_QueueLock.Lock();
    while (m_Actions.GetSize() > 0) {
        ActionItem* item = m_Actions[0];
        m_Actions.RemoveAt(0);
        FreeItem(item);
    }
    m_QueueLock.Unlock();
    DeleteObject(m_pTimeline);
    m_pTimeline = NULL;
    // A writer's timeline copy may still hold the list; the last holder
    // deletes the overlays.
    m_pOverlays->Release();
    m_pOverlays = NULL;
    if (m_hThreadDone)
        ::CloseHandle(m_hThreadDone);
}

void XRVDShow::SetTimeline(XRVDSTimeline* timeline, BOOL takeOwnership)
{
    if (m_pTimeline && takeOwnership && m_pTimeline != timeline)
        delete m_pTimeline;
    m_pTimeline = timeline;
    if (m_pTimeline)
        m_pTimeline->SetOverlayDrawer(m_pOverlays);
}

void XRVDShow::DeleteObject(XRVDSTimeline* object)
{
    delete object;
}

void XRVDShow::FreeItem(ActionItem* item)
{
    if (!item)
        return;
    if (item->type == kActionFrameGrab)
        delete reinterpret_cast<FrameGrabRequest*>(item->data);
    delete item;
}

// ---------------------------------------------------------------------------
// The action queue.

void XRVDShow::QueueAction(ActionItem* item, BOOL synchronous)
{
    if (!item)
        return;
    m_QueueLock.Lock();
    m_Actions.Add(item);
    m_QueueLock.Unlock();
    if (synchronous) {
        // Runs what is queued now on the calling thread and returns.
        RunActions(FALSE);
        return;
    }
    if (m_bThreadRunning)
        return;   // the running thread picks the item up
    if (m_hThread) {
        // A thread whose KillActionThread timed out: it ends at its next pass
        // (the stop request is still up); wait for it before a new one starts.
        JoinActionThread(INFINITE, FALSE);
    }
    ::InterlockedExchange(&m_bKill, 0);
    ::ResetEvent(m_hThreadDone);
    ::InterlockedExchange(&m_bThreadRunning, 1);
    unsigned id = 0;
    m_hThread = reinterpret_cast<HANDLE>(_beginthreadex(NULL, 0, ActionThreadProc, this, 0, &id));
    if (!m_hThread) {
        ::InterlockedExchange(&m_bThreadRunning, 0);
        ::SetEvent(m_hThreadDone);
        ReportFacade(__LINE__, "_beginthreadex() failed in QueueAction()");
    }
}

unsigned __stdcall XRVDShow::ActionThreadProc(void* param)
{
    XRVDShow* self = static_cast<XRVDShow*>(param);
    const HRESULT com = ::CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    self->RunActions(TRUE);
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return 0;
}

// The worker polls every 200 ms until the stop request; the synchronous form
// runs the queue until it is empty.
void XRVDShow::RunActions(BOOL untilKilled)
{
    for (;;) {
        if (untilKilled) {
            if (m_bKill) {
                ::SetEvent(m_hThreadDone);
                return;
            }
            ::Sleep(200);
            if (m_bKill)
                continue;
        }
        m_QueueLock.Lock();
        if (m_Actions.GetSize() == 0) {
            m_QueueLock.Unlock();
            if (!untilKilled)
                return;
            continue;
        }
        ActionItem* item = m_Actions[0];
        m_Actions.RemoveAt(0);
        m_QueueLock.Unlock();
        RunOneAction(item);
    }
}

void XRVDShow::RunOneAction(ActionItem* item)
{
    if (item->type == kActionUpdateGraph) {
        int flag = static_cast<int>(item->data);
        FreeItem(item);
        // A burst of updates runs once; a full update (0) anywhere wins.
        m_QueueLock.Lock();
        for (INT_PTR i = m_Actions.GetSize() - 1; i >= 0; --i) {
            ActionItem* other = m_Actions[i];
            if (other->type != kActionUpdateGraph)
                continue;
            if (flag != 0)
                flag = static_cast<int>(other->data);
            m_Actions.RemoveAt(i);
            FreeItem(other);
        }
        m_QueueLock.Unlock();
        UpdateGraph(flag);
        return;
    }
    if (item->type != kActionFrameGrab) {
        FreeItem(item);
        return;
    }
    FrameGrabRequest request = *reinterpret_cast<FrameGrabRequest*>(item->data);
    FreeItem(item);
    // Of a burst of grabs only the newest time and window count.
    m_QueueLock.Lock();
    BOOL merged = FALSE;
    for (INT_PTR i = m_Actions.GetSize() - 1; i >= 0; --i) {
        ActionItem* other = m_Actions[i];
        if (other->type != kActionFrameGrab)
            continue;
        if (!merged) {
            const FrameGrabRequest* newer = reinterpret_cast<FrameGrabRequest*>(other->data);
            request.time = newer->time;
            request.notifyWnd = newer->notifyWnd;
            request.option = newer->option;
            merged = TRUE;
        }
        m_Actions.RemoveAt(i);
        FreeItem(other);
    }
    if (m_Actions.GetSize() > 0) {
        // Other work first: the grab goes to the back of the queue.
        ActionItem* again = new ActionItem;
        again->type = kActionFrameGrab;
        again->data = reinterpret_cast<INT_PTR>(new FrameGrabRequest(request));
        m_Actions.Add(again);
        m_QueueLock.Unlock();
        return;
    }
    m_QueueLock.Unlock();
    SetOverlayValue(request.overlayValue, 0);
    HBITMAP bitmap = NULL;
    GrabFrame(request.time, &bitmap, request.option, request.grabArg);
    if (bitmap) {
        // Posted by handle to a window that still lives; a bitmap nobody
        // receives is freed here.
        const BOOL posted = ::IsWindow(request.notifyWnd) &&
                            ::PostMessageA(request.notifyWnd, WM_FRAME_GRAB_DONE, (WPARAM)bitmap, 0);
        if (!posted)
            ::DeleteObject(bitmap);
    }
    if (request.overlayValue != 0)
        SetOverlayValue(0, 0);
}

HRESULT XRVDShow::GrabFrame(LONGLONG time, HBITMAP* bitmap, int option, int grabArg)
{
    if (!m_pTimeline)
        return E_FAIL;
    return m_pTimeline->GrabSampleBitmap(time, bitmap, option, grabArg);
}

// Waits for the action thread to end. Messages sent to this thread are
// served meanwhile (the thread's graph calls may send to windows of this
// thread); with pumpMessages every message is dispatched.
BOOL XRVDShow::JoinActionThread(DWORD timeout, BOOL pumpMessages)
{
    if (!m_hThread)
        return TRUE;
    const DWORD start = ::GetTickCount();
    DWORD r = WAIT_TIMEOUT;
    for (;;) {
        DWORD wait = INFINITE;
        if (timeout != INFINITE) {
            const DWORD spent = ::GetTickCount() - start;
            wait = spent >= timeout ? 0 : timeout - spent;
        }
        r = ::MsgWaitForMultipleObjects(1, &m_hThread, FALSE, wait, pumpMessages ? QS_ALLINPUT : QS_SENDMESSAGE);
        if (r != WAIT_OBJECT_0 + 1)
            break;
        if (pumpMessages) {
            PumpMessages();
        } else {
            MSG msg;
            ::PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
    if (r != WAIT_OBJECT_0)
        return FALSE;
    ::CloseHandle(m_hThread);
    m_hThread = NULL;
    ::InterlockedExchange(&m_bThreadRunning, 0);
    ::InterlockedExchange(&m_bKill, 0);
    return TRUE;
}

// Stops the action thread. The stop request stays up until the thread has
// really ended: when the wait times out or the timeline lock is cancelled,
// the thread still ends at its next pass, and the destructor joins it.
void XRVDShow::KillActionThread(BOOL pumpMessages)
{
    ::InterlockedExchange(&m_bKill, 1);
    TimelineLock guard(m_pTimeline);
    if (m_pTimeline && !guard.Acquire(pumpMessages))
        return;
    if (m_pTimeline)
        ::SetEvent(m_pTimeline->GetCancelLock());
    if (m_hThread)
        JoinActionThread(pumpMessages ? INFINITE : 1000, pumpMessages);
    else
        ::InterlockedExchange(&m_bKill, 0);
    if (m_pTimeline && m_pTimeline->m_pGraph) {
        CComPtr<IMediaControl> control;
        if (SUCCEEDED(m_pTimeline->m_pGraph->QueryInterface(IID_IMediaControl, (void**)&control)))
            control->Stop();
        else
            ReportFacade(__LINE__, "CComQIPtr(pGraph) failed for IMediaControl in KillActionThread()");
    }
    if (m_pTimeline)
        ::ResetEvent(m_pTimeline->GetCancelLock());
    guard.Release();
}

HRESULT XRVDShow::ClearPendingSeeks()
{
    m_QueueLock.Lock();
    m_QueueLock.Unlock();
    return S_OK;
}

void XRVDShow::ReleaseFileLocks()
{
    if (m_pTimeline && m_pTimeline->m_bFileLocking)
        m_pTimeline->m_FileLocks.ReleaseAll();
}

// ---------------------------------------------------------------------------
// Editing.

HRESULT XRVDShow::UpdateGraph(int flag)
{
    return UpdateGraphOnce(flag, TRUE);
}

// With the VMR-7 the off-screen preference is set and the graph rebuilt once
// more; the rebuild never asks again.
HRESULT XRVDShow::UpdateGraphOnce(int flag, BOOL mayRetry)
{
    if (!m_pTimeline)
        return E_FAIL;
    TimelineLock guard(m_pTimeline);
    if (!guard.Acquire(TRUE))
        return E_FAIL;
    HRESULT hr = m_pTimeline->UpdateFilterGraph(FALSE, flag);
    if (FAILED(hr)) {
        guard.Release();
        return E_FAIL;
    }
    if (m_bKill) {
        guard.Release();
        return S_FALSE;
    }
    if (flag == 0 && m_pPreview)
        m_pPreview->Refresh();
    if (flag == 0 && mayRetry && m_pTimeline->m_nRendererMode == 1) {
        IBaseFilter* renderer = m_pTimeline->GetActiveVideoRenderer();
        CComPtr<IVMRFilterConfig> config;
        if (renderer)
            renderer->QueryInterface(IID_IVMRFilterConfig, (void**)&config);
        DWORD prefs = 0;
        if (config && SUCCEEDED(config->GetRenderingPrefs(&prefs)) && !(prefs & RenderPrefs_ForceOffscreen) &&
            SUCCEEDED(config->SetRenderingPrefs(prefs | RenderPrefs_ForceOffscreen))) {
            hr = UpdateGraphOnce(0, FALSE);
        }
    }
    guard.Release();
    return hr;
}

HRESULT XRVDShow::AddMediaFile(int kind, LPCTSTR file, LONGLONG start, LONGLONG stop)
{
    if (!m_pTimeline || !file || !*file)
        return E_FAIL;
    if (kind != 0)
        return E_INVALIDARG;
    TimelineLock guard(m_pTimeline);
    if (!guard.Acquire(FALSE))
        return E_FAIL;
    const LONGLONG at = start < 0 ? 0 : start;
    const HRESULT hr = m_pTimeline->AddMovieFileToTimeline(file, at, stop, 0, stop < 0 ? -1 : stop - at, FALSE, TRUE,
                                                           TRUE);
    guard.Release();
    return hr;
}

HRESULT XRVDShow::BuildPreviewGraph()
{
    if (!m_pTimeline)
        return E_FAIL;
    TimelineLock guard(m_pTimeline);
    if (!guard.Acquire(FALSE))
        return E_FAIL;
    // The front end is built with the group's format: the video group takes
    // the sources' largest size and rate first.
    int width = 0, height = 0;
    double rate = 0.0;
    if (SUCCEEDED(m_pTimeline->GetMaxProperties(&width, &height, &rate)) && width > 0 && height > 0)
        m_pTimeline->SetTimedValues(width, height, 5, rate, 1, 1);
    HRESULT hr = m_pTimeline->InitializeRenderEngine(FALSE);
    if (SUCCEEDED(hr))
        hr = m_pTimeline->AddFiltersToGraph(FALSE);
    if (SUCCEEDED(hr))
        hr = m_pTimeline->ConnectFiltersInGraph();
    guard.Release();
    return hr;
}

// ---------------------------------------------------------------------------
// Player.

HRESULT XRVDShow::ToggleAudioRendering()
{
    return m_pTimeline ? m_pTimeline->ToggleAudioRendering() : E_FAIL;
}

HRESULT XRVDShow::GetMaxProperties(int* width, int* height)
{
    if (width)
        *width = 0;
    if (height)
        *height = 0;
    if (!m_pTimeline || !width || !height)
        return E_FAIL;
    double rate = 0.0;
    return m_pTimeline->GetMaxProperties(width, height, &rate);
}

HRESULT XRVDShow::AcquireTimelineLock(BOOL noWait)
{
    if (!m_pTimeline)
        return E_FAIL;
    return m_pTimeline->AcquireLock(noWait, NULL);
}

void XRVDShow::ReleaseTimelineLock()
{
    if (m_pTimeline)
        m_pTimeline->ReleaseLock();
}

LONGLONG XRVDShow::GetDuration()
{
    return m_pTimeline ? m_pTimeline->GetDuration() : -1;
}

HRESULT XRVDShow::SetFilterStartTimes(LONGLONG time)
{
    return m_pTimeline ? m_pTimeline->SetFilterStartTimes(time) : E_FAIL;
}

// The overlay filter's value pair (a, event): while a is set, the filter
// signals the event each time a frame has gone on. S_OK without a filter.
HRESULT XRVDShow::SetOverlayValue(INT_PTR a, INT_PTR b)
{
    if (!m_pTimeline)
        return E_FAIL;
    CComQIPtr<IXrvOverlay> overlay(m_pTimeline->m_pOverlayFilter);
    return overlay ? overlay->SetValue((LONG)a, (LONG_PTR)b) : S_OK;
}

namespace {

HRESULT GroupRate(IAMTimelineGroup* group, double* rate)
{
    if (!group)
        return E_FAIL;
    return group->GetOutputFPS(rate);
}

}  // namespace

HRESULT XRVDShow::GetVideoFrameRate(double* rate)
{
    if (!rate)
        return E_POINTER;
    *rate = 0.0;
    CComPtr<IAMTimelineGroup> group;
    if (!m_pTimeline || FAILED(m_pTimeline->GetVideoGroup(&group)))
        return E_FAIL;
    return GroupRate(group, rate);
}

HRESULT XRVDShow::GetAudioGroupRate(double* rate)
{
    if (!rate)
        return E_POINTER;
    *rate = 0.0;
    CComPtr<IAMTimelineGroup> group;
    if (!m_pTimeline || FAILED(m_pTimeline->GetAudioGroup(&group)))
        return E_FAIL;
    return GroupRate(group, rate);
}

HRESULT XRVDShow::UpdatePreview(int flag, BOOL synchronous)
{
    if (!m_pTimeline)
        return E_FAIL;
    if (m_pPreview) {
        CComPtr<IGraphBuilder> graph;
        if (SUCCEEDED(GetGraphBuilder(&graph, 1))) {
            CComPtr<IVideoWindow> window;
            if (SUCCEEDED(graph->QueryInterface(IID_IVideoWindow, (void**)&window)))
                window->put_Visible(OAFALSE);
        }
    }
    if (synchronous) {
        HCURSOR old = ::SetCursor(::LoadCursor(NULL, IDC_WAIT));
        const HRESULT hr = UpdateGraph(flag);
        ::SetCursor(old);
        return hr;
    }
    ActionItem* item = new ActionItem;
    item->type = kActionUpdateGraph;
    item->data = flag;
    QueueAction(item, FALSE);
    return S_OK;
}

HRESULT XRVDShow::GetGraphBuilder(IGraphBuilder** graph, int)
{
    if (!graph)
        return E_FAIL;
    *graph = NULL;
    if (!m_pTimeline || m_bKill || !m_pTimeline->m_pGraph)
        return E_FAIL;
    *graph = m_pTimeline->m_pGraph;
    (*graph)->AddRef();
    if (m_bKill) {
        (*graph)->Release();
        *graph = NULL;
        return E_FAIL;
    }
    return S_OK;
}

namespace {

template <class T>
HRESULT QueryGraph(XRVDSTimeline* timeline, REFIID iid, T** out)
{
    if (!out)
        return E_POINTER;
    *out = NULL;
    if (!timeline || !timeline->m_pGraph)
        return E_FAIL;
    return timeline->m_pGraph->QueryInterface(iid, (void**)out);
}

}  // namespace

HRESULT XRVDShow::GetMediaEventEx(IMediaEventEx** out)
{
    return QueryGraph(m_pTimeline, IID_IMediaEventEx, out);
}

HRESULT XRVDShow::GetMediaSeeking(IMediaSeeking** out)
{
    return QueryGraph(m_pTimeline, IID_IMediaSeeking, out);
}

HRESULT XRVDShow::GetMediaControl(IMediaControl** out)
{
    return QueryGraph(m_pTimeline, IID_IMediaControl, out);
}

HRESULT XRVDShow::GetVideoWindow(IVideoWindow** out)
{
    if (!out)
        return E_POINTER;
    *out = NULL;
    return m_pTimeline ? m_pTimeline->GetVideoWindow(out) : E_FAIL;
}

// ---------------------------------------------------------------------------
// Overlays.

HRESULT XRVDShow::RequestFrameGrab(LONGLONG time, HWND notifyWnd, int option, int overlayValue, int grabArg)
{
    if (!m_pTimeline || !notifyWnd || !::IsWindow(notifyWnd))
        return E_FAIL;
    FrameGrabRequest* request = new FrameGrabRequest;
    request->time = time;
    request->notifyWnd = notifyWnd;
    request->option = option;
    request->overlayValue = overlayValue;
    request->grabArg = grabArg;
    ActionItem* item = new ActionItem;
    item->type = kActionFrameGrab;
    item->data = reinterpret_cast<INT_PTR>(request);
    QueueAction(item, FALSE);
    return S_OK;
}
