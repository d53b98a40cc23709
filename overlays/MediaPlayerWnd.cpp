#include "overlays/MediaPlayerWnd.h"

#include "overlays/PreviewPollState.h"

#include <dshow.h>
#include <evcode.h>
#include <process.h>

BEGIN_MESSAGE_MAP(CMediaPlayerWnd, CWnd)
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_WM_SIZE()
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
    ON_WM_SHOWWINDOW()
    ON_WM_HSCROLL()
    ON_WM_VSCROLL()
    ON_MESSAGE(WM_PLAYER_ATTACH_VIDEO, OnAttachVideo)
END_MESSAGE_MAP()

namespace {

const LONGLONG kUnset = -1;   // all-ones: the temporary position is not in use

enum Command { kRun, kSeek, kPause, kPlayRange, kShowVideo, kHideVideo, kUnregister };

// The window the poll thread is stepping now (under the list lock), and an
// event set whenever a step ends, for windows that wait to go.
CMediaPlayerWnd* g_stepping = NULL;
HANDLE g_stepDone = ::CreateEventA(NULL, FALSE, FALSE, NULL);

// Wakes the poll thread out of its idle wait: set when a command is queued,
// a window registers or asks for work, or the thread is asked to end.
HANDLE g_pollWake = ::CreateEventA(NULL, FALSE, FALSE, NULL);

// The poll thread steps every 10 ms while a window plays or has work; with
// every window idle it waits for a wake-up, looking at the graphs' events
// every quarter second only.
const DWORD kBusyPollMs = 10;
const DWORD kIdlePollMs = 250;

void WakePollThread()
{
    ::SetEvent(g_pollWake);
}

class Hold {
public:
    explicit Hold(CRITICAL_SECTION* cs) : m_cs(cs) { ::EnterCriticalSection(m_cs); }
    ~Hold() { ::LeaveCriticalSection(m_cs); }

private:
    CRITICAL_SECTION* m_cs;
};

void PumpWaiting(HANDLE event, DWORD ms)
{
    if (::MsgWaitForMultipleObjects(1, &event, FALSE, ms, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

// Forwards mouse input over the renderer's own window to the player window.
LRESULT CALLBACK VideoChildProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WNDPROC old = (WNDPROC)::GetPropA(hwnd, "VexcapVideoChildProc");
    HWND player = (HWND)::GetPropA(hwnd, "VexcapVideoChildOwner");
    switch (msg) {
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
            if (player)
                ::PostMessageA(player, msg, wParam, lParam);
            break;
        case WM_NCDESTROY:
            ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)old);
            ::RemovePropA(hwnd, "VexcapVideoChildProc");
            ::RemovePropA(hwnd, "VexcapVideoChildOwner");
            break;
        default:
            break;
    }
    return old ? ::CallWindowProcA(old, hwnd, msg, wParam, lParam) : ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

CMediaPlayerWnd::CMediaPlayerWnd()
    : m_playState(0),
      m_position(0),
      m_tempPosition(kUnset),
      m_stopPosition(0),
      m_duration(0),
      m_fitToWindow(FALSE),
      m_needsRestart(0),
      m_needsPlacement(0),
      m_needsDuration(0),
      m_durationValid(0),
      m_pausedEventSeen(0),
      m_eventsWhenHidden(FALSE),
      m_inset(FALSE),
      m_notifyTarget(NULL),
      m_lVideoRealWidth(0),
      m_lVideoRealHeight(0),
      m_idleEvent(::CreateEventA(NULL, TRUE, TRUE, NULL)),
      m_videoChild(NULL)
{
    ::SetRectEmpty(&m_rectMovie);
    ::InitializeCriticalSection(&m_queueLock);
    ::InitializeCriticalSection(&m_valueLock);
    EnsurePollThread();
}

CMediaPlayerWnd::~CMediaPlayerWnd()
{
    Unregister();
    if (m_hWnd)
        DestroyWindow();
    ::DeleteCriticalSection(&m_queueLock);
    ::DeleteCriticalSection(&m_valueLock);
    if (m_idleEvent)
        ::CloseHandle(m_idleEvent);
}

BOOL CMediaPlayerWnd::CreatePlayer(CWnd* parent, const RECT& rect, UINT id)
{
    LPCTSTR cls = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorA(NULL, (LPCSTR)IDC_ARROW));
    return CreateEx(0, cls, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN, rect, parent, id);
}

LONGLONG CMediaPlayerWnd::Get64(const LONGLONG& v)
{
    Hold hold(&m_valueLock);
    return v;
}

void CMediaPlayerWnd::Set64(LONGLONG& v, LONGLONG value)
{
    Hold hold(&m_valueLock);
    v = value;
}

// ---------------------------------------------------------------------------
// The poll thread.

// Starts the poll thread when none runs. Starting and the thread's decision
// to end are both made under the list lock, so a window that registers never
// finds a thread on its way out.
void CMediaPlayerWnd::EnsurePollThread()
{
    g_previewPlayerListLock.Lock();
    if (::WaitForSingleObject(g_previewPollExit, 0) == WAIT_OBJECT_0) {
        ::ResetEvent(g_previewPollExit);
        ::InterlockedExchange(&g_previewPollQuit, 0);
        unsigned id = 0;
        HANDLE thread = (HANDLE)_beginthreadex(NULL, 0, PollThreadProc, NULL, 0, &id);
        if (thread)
            ::CloseHandle(thread);
        else
            ::SetEvent(g_previewPollExit);
    }
    g_previewPlayerListLock.Unlock();
}

BOOL CMediaPlayerWnd::IsPollThreadRunning()
{
    return ::WaitForSingleObject(g_previewPollExit, 0) == WAIT_TIMEOUT;
}

void CMediaPlayerWnd::StopPollThread()
{
    ::InterlockedExchange(&g_previewPollQuit, 1);
    WakePollThread();
    const DWORD start = ::GetTickCount();
    while (IsPollThreadRunning() && ::GetTickCount() - start < 10000)
        PumpWaiting(g_previewPollExit, 50);
}

// Each registered window in turn: every 10 ms while one of them plays or has
// work, else after a wake-up or a quarter second. The thread ends when asked
// to or when no window is registered any more.
unsigned __stdcall CMediaPlayerWnd::PollThreadProc(void*)
{
    const HRESULT com = ::CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    BOOL busy = TRUE;
    for (;;) {
        g_previewPlayerListLock.Lock();
        if (g_previewPollQuit || g_previewPlayers.GetSize() == 0) {
            ::SetEvent(g_previewPollExit);
            g_previewPlayerListLock.Unlock();
            break;
        }
        g_previewPlayerListLock.Unlock();
        ::WaitForSingleObject(g_pollWake, busy ? kBusyPollMs : kIdlePollMs);
        busy = FALSE;
        g_previewPlayerListLock.Lock();
        for (INT_PTR i = 0; i < g_previewPlayers.GetSize(); ++i) {
            CMediaPlayerWnd* window = static_cast<CMediaPlayerWnd*>(g_previewPlayers[i]);
            g_stepping = window;
            g_previewPlayerListLock.Unlock();
            ::WaitForSingleObject(g_previewPollGate, INFINITE);
            if (!g_previewPollQuit) {
                window->PollStep();
                busy = busy || window->HasPollWork();
            }
            g_previewPlayerListLock.Lock();
            g_stepping = NULL;
            ::SetEvent(g_stepDone);
        }
        g_previewPlayerListLock.Unlock();
    }
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return 0;
}

void CMediaPlayerWnd::PollStep()
{
    if (BeginStep()) {
        ::WaitForSingleObject(g_previewPollGate, INFINITE);
        if (m_playState == 2)
            UpdatePosition();
        if (m_needsDuration)
            RefreshDuration();
        if (m_needsPlacement)
            PlaceVideo();
        if (m_needsRestart)
            OnMediaChanged();
        BOOL empty;
        {
            Hold hold(&m_queueLock);
            empty = m_queue.GetSize() == 0;
        }
        HWND hwnd = m_hWnd;
        if (hwnd && (::IsWindowVisible(hwnd) || m_eventsWhenHidden) && empty)
            ProcessGraphEvents();
        EndStep();
    }
    int code = -1;
    {
        Hold hold(&m_queueLock);
        if (m_queue.GetSize() == 0) {
            ::SetEvent(m_idleEvent);
            return;
        }
        code = m_queue[0];
        m_queue.RemoveAt(0);
    }
    // A command whose step cannot begin is dropped.
    if (BeginStep()) {
        ExecuteCommand(code);
        EndStep();
    }
}

// Playing, a queued command or a pending refresh keeps the poll thread at
// its short step.
BOOL CMediaPlayerWnd::HasPollWork()
{
    if (m_playState == 2 || m_needsRestart || m_needsPlacement || m_needsDuration)
        return TRUE;
    Hold hold(&m_queueLock);
    return m_queue.GetSize() != 0;
}

void CMediaPlayerWnd::Register()
{
    g_previewPlayerListLock.Lock();
    BOOL found = FALSE;
    for (INT_PTR i = 0; i < g_previewPlayers.GetSize(); ++i)
        found = found || g_previewPlayers[i] == this;
    if (!found)
        g_previewPlayers.Add(this);
    g_previewPlayerListLock.Unlock();
    EnsurePollThread();
    WakePollThread();
}

// Takes the window off the list and waits, pumping, until the poll thread is
// not stepping it. The thread goes on for the other windows.
void CMediaPlayerWnd::Unregister()
{
    for (;;) {
        g_previewPlayerListLock.Lock();
        for (INT_PTR i = g_previewPlayers.GetSize() - 1; i >= 0; --i)
            if (g_previewPlayers[i] == this)
                g_previewPlayers.RemoveAt(i);
        const BOOL busy = g_stepping == this;
        g_previewPlayerListLock.Unlock();
        if (!busy)
            return;
        PumpWaiting(g_stepDone, 20);
    }
}

void CMediaPlayerWnd::PostCommand(int code)
{
    {
        Hold hold(&m_queueLock);
        m_queue.Add(code);
        ::ResetEvent(m_idleEvent);
    }
    WakePollThread();
}

void CMediaPlayerWnd::DropCommands()
{
    Hold hold(&m_queueLock);
    m_queue.RemoveAll();
}

int CMediaPlayerWnd::GetQueuedCommands(int* codes, int max)
{
    Hold hold(&m_queueLock);
    const int n = (int)m_queue.GetSize();
    for (int i = 0; i < n && i < max; ++i)
        codes[i] = m_queue[i];
    return n;
}

BOOL CMediaPlayerWnd::IsIdle()
{
    return ::WaitForSingleObject(m_idleEvent, 0) == WAIT_OBJECT_0;
}

void CMediaPlayerWnd::ExecuteCommand(int code)
{
    if (code == g_previewCommand[kRun]) {
        RunGraph();
    } else if (code == g_previewCommand[kSeek]) {
        ApplyPosition();
        ::Sleep(50);
    } else if (code == g_previewCommand[kPause]) {
        PauseGraph();
    } else if (code == g_previewCommand[kPlayRange]) {
        PlayRangeGraph();
    } else if (code == g_previewCommand[kShowVideo]) {
        ShowVideo(TRUE);
    } else if (code == g_previewCommand[kHideVideo]) {
        ShowVideo(FALSE);
    } else if (code == g_previewCommand[kUnregister]) {
        g_previewPlayerListLock.Lock();
        for (INT_PTR i = g_previewPlayers.GetSize() - 1; i >= 0; --i)
            if (g_previewPlayers[i] == this)
                g_previewPlayers.RemoveAt(i);
        g_previewPlayerListLock.Unlock();
    }
}

// ---------------------------------------------------------------------------
// Graph operations (poll thread).

HRESULT CMediaPlayerWnd::GetMediaControl(IMediaControl** out)
{
    *out = NULL;
    CComPtr<IGraphBuilder> graph;
    HRESULT hr = GetGraph(&graph);
    if (FAILED(hr) || !graph)
        return FAILED(hr) ? hr : E_FAIL;
    return graph->QueryInterface(IID_IMediaControl, (void**)out);
}

HRESULT CMediaPlayerWnd::GetMediaSeeking(IMediaSeeking** out)
{
    *out = NULL;
    CComPtr<IGraphBuilder> graph;
    HRESULT hr = GetGraph(&graph);
    if (FAILED(hr) || !graph)
        return FAILED(hr) ? hr : E_FAIL;
    return graph->QueryInterface(IID_IMediaSeeking, (void**)out);
}

void CMediaPlayerWnd::RewindIfAtEnd()
{
    LONGLONG frame = GetFrameDuration();
    if (frame == 0)
        frame = 666666;
    if (Get64(m_position) >= Get64(m_duration) - frame) {
        Set64(m_position, 0);
        ApplyPosition();
    }
}

HRESULT CMediaPlayerWnd::RunGraph()
{
    RewindIfAtEnd();
    Set64(m_stopPosition, Get64(m_duration));
    CComPtr<IMediaControl> control;
    HRESULT hr = GetMediaControl(&control);
    if (FAILED(hr))
        return hr;
    hr = control->Run();
    if (SUCCEEDED(hr))
        ::InterlockedExchange(&m_playState, 2);
    return hr;
}

HRESULT CMediaPlayerWnd::ApplyPosition()
{
    LONGLONG current = SnapToFrame(Get64(m_position));
    LONGLONG stop = Get64(m_duration);
    CComPtr<IMediaSeeking> seeking;
    HRESULT hr = GetMediaSeeking(&seeking);
    if (FAILED(hr))
        return hr;
    const DWORD flags = AM_SEEKING_AbsolutePositioning | AM_SEEKING_ReturnTime;
    hr = seeking->SetPositions(&current, flags, &stop, flags);
    if (FAILED(hr))
        return hr;
    CComPtr<IMediaControl> control;
    hr = GetMediaControl(&control);
    if (FAILED(hr))
        return hr;
    OAFilterState state;
    return control->GetState(0, &state);
}

HRESULT CMediaPlayerWnd::PauseGraph()
{
    CComPtr<IMediaControl> control;
    HRESULT hr = GetMediaControl(&control);
    if (FAILED(hr))
        return hr;
    hr = control->Pause();
    if (SUCCEEDED(hr))
        ::InterlockedExchange(&m_playState, 1);
    return hr;
}

HRESULT CMediaPlayerWnd::PlayRangeGraph()
{
    CComPtr<IMediaControl> control;
    HRESULT hr = GetMediaControl(&control);
    if (FAILED(hr))
        return hr;
    hr = control->Pause();
    if (FAILED(hr))
        return hr;
    CComPtr<IMediaSeeking> seeking;
    hr = GetMediaSeeking(&seeking);
    if (FAILED(hr))
        return hr;
    LONGLONG current = GetPosition();
    LONGLONG stop = Get64(m_stopPosition);
    const DWORD flags = AM_SEEKING_AbsolutePositioning | AM_SEEKING_ReturnTime;
    hr = seeking->SetPositions(&current, flags, &stop, flags);
    if (FAILED(hr))
        return hr;
    hr = control->Run();
    if (SUCCEEDED(hr))
        ::InterlockedExchange(&m_playState, 2);
    return hr;
}

void CMediaPlayerWnd::UpdatePosition()
{
    if (m_needsRestart)
        return;
    CComPtr<IMediaSeeking> seeking;
    if (FAILED(GetMediaSeeking(&seeking)))
        return;
    LONGLONG current = 0, stop = 0;
    if (SUCCEEDED(seeking->GetPositions(&current, &stop)))
        Set64(m_position, current);
}

HRESULT CMediaPlayerWnd::RefreshDuration()
{
    ::InterlockedExchange(&m_needsDuration, 0);
    Set64(m_duration, 0);
    HRESULT hr = E_FAIL;
    const LONGLONG duration = QueryDuration(&hr);
    if (FAILED(hr))
        return hr;
    Set64(m_duration, duration);
    ::InterlockedExchange(&m_durationValid, 1);
    return S_OK;
}

void CMediaPlayerWnd::OnMediaChanged()
{
    ::InterlockedExchange(&m_needsRestart, 0);
    ::InterlockedExchange(&m_pausedEventSeen, 0);
    ApplyPosition();
    CComPtr<IMediaControl> control;
    if (SUCCEEDED(GetMediaControl(&control))) {
        OAFilterState state = State_Stopped;
        control->GetState(0, &state);
        if (state == State_Stopped && SUCCEEDED(control->Pause())) {
            const DWORD start = ::GetTickCount();
            while (!m_pausedEventSeen && ::GetTickCount() - start < 500) {
                ProcessGraphEvents();
                ::Sleep(10);
            }
        }
    }
    PostCommand(g_previewCommand[kShowVideo]);
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, NULL, TRUE);
    if (m_playState == 2)
        RunGraph();
}

// Completion and aborts pause the player and tell the notify target (which
// posts to its own window: this runs on the poll thread).
void CMediaPlayerWnd::ProcessGraphEvents()
{
    CComPtr<IGraphBuilder> graph;
    if (FAILED(GetGraph(&graph)) || !graph)
        return;
    CComPtr<IMediaEventEx> events;
    if (FAILED(graph->QueryInterface(IID_IMediaEventEx, (void**)&events)))
        return;
    OAEVENT handle = 0;
    if (FAILED(events->GetEventHandle(&handle)) || !handle ||
        ::WaitForSingleObject((HANDLE)handle, 0) != WAIT_OBJECT_0)
        return;
    long code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    while (SUCCEEDED(events->GetEvent(&code, &p1, &p2, 0))) {
        events->FreeEventParams(code, p1, p2);
        switch (code) {
            case EC_VMR_RENDERDEVICE_SET:
                Refresh();
                break;
            case EC_COMPLETE:
                Set64(m_position, Get64(m_stopPosition));
                // fall through
            case EC_USERABORT:
                ::InterlockedExchange(&m_playState, 1);
                PostCommand(g_previewCommand[kPause]);
                if (m_notifyTarget)
                    m_notifyTarget->OnPlayStateChanged(this);
                break;
            case EC_PAUSED:
                ::InterlockedExchange(&m_pausedEventSeen, 1);
                break;
            default:
                break;
        }
    }
}

void CMediaPlayerWnd::ShowVideo(BOOL show)
{
    if (!HasVideo())
        return;
    CComPtr<IGraphBuilder> graph;
    if (FAILED(GetGraph(&graph)) || !graph)
        return;
    CComPtr<IVideoWindow> window;
    if (FAILED(graph->QueryInterface(IID_IVideoWindow, (void**)&window)))
        return;
    window->put_Visible(show ? OATRUE : OAFALSE);
    if (show && IsMediaReady() && m_playState != 2)
        ApplyPosition();
}

LONGLONG CMediaPlayerWnd::SnapToFrame(LONGLONG t)
{
    const LONGLONG duration = Get64(m_duration);
    const LONGLONG frame = GetFrameDuration();
    if (t < 0)
        t = 0;
    if (frame > 0) {
        if (duration > 0 && t >= duration)
            t = duration - frame + 1;
        else
            t = t / frame * frame;
    }
    if (t < 0)
        t = 0;
    if (duration > 0 && t > duration)
        t = duration;
    return t;
}

// m_rectMovie and the scroll bars for a client and a video size: real size
// with bars (centred where it fits), or fitted, scaled down and never up.
void CMediaPlayerWnd::LayoutMovie(int clientWidth, int clientHeight, int videoWidth, int videoHeight)
{
    int w = videoWidth, h = videoHeight;
    if (m_inset) {
        w = w > 0 ? w - 1 : 0;
        h = h > 0 ? h - 1 : 0;
    }
    RECT r;
    if (m_fitToWindow) {
        ::ShowScrollBar(m_hWnd, SB_BOTH, FALSE);
        // Integer scale: min(cw / w, ch / h, 1) without the FPU.
        long long sw = clientWidth, sh = clientHeight;
        const long long ww = w > 0 ? w : 1, hh = h > 0 ? h : 1;
        int fw = w, fh = h;
        if (sw * hh < sh * ww) {   // width limits
            if (sw < ww) {
                fw = (int)sw;
                fh = (int)(h * sw / ww);
            }
        } else if (sh < hh) {
            fh = (int)sh;
            fw = (int)(w * sh / hh);
        }
        r.left = (clientWidth - fw) / 2;
        r.top = (clientHeight - fh) / 2;
        r.right = r.left + fw;
        r.bottom = r.top + fh;
        Hold hold(&m_valueLock);
        m_rectMovie = r;
        return;
    }
    // Real size: which bars are needed, each tested again with the room the
    // other takes.
    const int barW = ::GetSystemMetrics(SM_CXVSCROLL);
    const int barH = ::GetSystemMetrics(SM_CYHSCROLL);
    const LONG style = ::GetWindowLongA(m_hWnd, GWL_STYLE);
    const int fullW = clientWidth + ((style & WS_VSCROLL) ? barW : 0);
    const int fullH = clientHeight + ((style & WS_HSCROLL) ? barH : 0);
    BOOL needH = fullW < videoWidth;
    BOOL needV = fullH < videoHeight;
    if (needH && !needV)
        needV = fullH - barH < videoHeight;
    if (needV && !needH)
        needH = fullW - barW < videoWidth;
    const int cw = fullW - (needV ? barW : 0);
    const int ch = fullH - (needH ? barH : 0);
    struct Bar {
        int which;
        BOOL needed;
        int size, page;
    } bars[2] = {{SB_HORZ, needH, w, cw}, {SB_VERT, needV, h, ch}};
    int positions[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        const Bar& b = bars[i];
        if (b.needed) {
            SCROLLINFO si = {sizeof(si), SIF_POS};
            ::GetScrollInfo(m_hWnd, b.which, &si);
            int range = b.size;
            int pos = si.nPos;
            if (pos > range - b.page)
                pos = range - b.page;
            if (pos < 0)
                pos = 0;
            si.fMask = SIF_ALL;
            si.nMin = 0;
            si.nMax = range;
            si.nPage = (UINT)b.page;
            si.nPos = pos;
            ::SetScrollInfo(m_hWnd, b.which, &si, TRUE);
            positions[i] = pos;
        }
        ::ShowScrollBar(m_hWnd, b.which, b.needed);
    }
    r.left = needH ? -positions[0] : 0;
    r.top = needV ? -positions[1] : 0;
    if (w <= cw)
        r.left = (cw - w) / 2;
    if (h <= ch)
        r.top = (ch - h) / 2;
    r.right = r.left + w;
    r.bottom = r.top + h;
    Hold hold(&m_valueLock);
    m_rectMovie = r;
}

void CMediaPlayerWnd::PlaceVideo()
{
    ::InterlockedExchange(&m_needsPlacement, 0);
    HWND hwnd = m_hWnd;
    if (!hwnd)
        return;
    CComPtr<IGraphBuilder> graph;
    CComPtr<IVideoWindow> window;
    CComPtr<IBasicVideo> basic;
    if (!HasVideo() || FAILED(GetGraph(&graph)) || !graph ||
        FAILED(graph->QueryInterface(IID_IVideoWindow, (void**)&window)) ||
        FAILED(graph->QueryInterface(IID_IBasicVideo, (void**)&basic))) {
        ::ShowScrollBar(hwnd, SB_BOTH, FALSE);
        return;
    }
    OAHWND owner = 0;
    window->get_Owner(&owner);
    if ((HWND)owner != hwnd) {
        window->put_Owner((OAHWND)hwnd);
        window->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS);
    }
    long vw = 0, vh = 0;
    if (FAILED(basic->get_VideoHeight(&vh)) || FAILED(basic->get_VideoWidth(&vw)))
        return;
    {
        Hold hold(&m_valueLock);
        m_lVideoRealWidth = vw;
        m_lVideoRealHeight = vh;
    }
    RECT client;
    ::GetClientRect(hwnd, &client);
    LayoutMovie(client.right, client.bottom, vw, vh);
    const RECT r = GetMovieRect();
    window->SetWindowPosition(r.left, r.top, r.right - r.left, r.bottom - r.top);
    ::PostMessageA(hwnd, WM_PLAYER_ATTACH_VIDEO, 0, 0);
}

RECT CMediaPlayerWnd::GetMovieRect()
{
    Hold hold(&m_valueLock);
    return m_rectMovie;
}

SIZE CMediaPlayerWnd::GetVideoSize()
{
    Hold hold(&m_valueLock);
    SIZE s = {m_lVideoRealWidth, m_lVideoRealHeight};
    return s;
}

// ---------------------------------------------------------------------------
// IPlayerWindow (user-interface thread).

LONGLONG CMediaPlayerWnd::GetDuration()
{
    return Get64(m_duration);
}

LONGLONG CMediaPlayerWnd::GetPosition()
{
    Hold hold(&m_valueLock);
    return m_tempPosition != kUnset ? m_tempPosition : m_position;
}

void CMediaPlayerWnd::Close()
{
    DropCommands();
    if (m_playState == 2)
        Pause();
    PostCommand(g_previewCommand[kUnregister]);
}

void CMediaPlayerWnd::Play()
{
    PostCommand(g_previewCommand[kRun]);
}

void CMediaPlayerWnd::PlayTo(LONGLONG stop)
{
    Set64(m_stopPosition, stop);
    PostCommand(g_previewCommand[kPlayRange]);
}

void CMediaPlayerWnd::Pause()
{
    PostCommand(g_previewCommand[kPause]);
}

void CMediaPlayerWnd::Stop()
{
    Seek(0, 1);
    ::InterlockedExchange(&m_playState, 0);
}

// A burst of seeks leaves one Seek queued; a running graph is paused first.
void CMediaPlayerWnd::Seek(LONGLONG t, BOOL)
{
    Hold hold(&m_queueLock);
    const int seek = g_previewCommand[kSeek];
    const int run = g_previewCommand[kRun];
    if (m_queue.GetSize() == 1 && m_queue[0] == seek) {
        Set64(m_position, t);
        return;
    }
    for (INT_PTR i = m_queue.GetSize() - 1; i >= 0; --i)
        if (m_queue[i] == seek || m_queue[i] == run)
            m_queue.RemoveAt(i);
    if (m_playState == 2)
        m_queue.Add(g_previewCommand[kPause]);
    ::InterlockedExchange(&m_playState, 1);
    Set64(m_position, t);
    m_queue.Add(seek);
    ::ResetEvent(m_idleEvent);
    WakePollThread();
}

void CMediaPlayerWnd::StepForward()
{
    LONGLONG frame = GetFrameDuration();
    if (frame == 0)
        frame = 2000000;
    LONGLONG t = GetPosition() + frame;
    const LONGLONG duration = GetDuration();
    Seek(t < duration ? t : duration, 0);
}

void CMediaPlayerWnd::StepBack()
{
    LONGLONG frame = GetFrameDuration();
    if (frame == 0)
        frame = 2000000;
    const LONGLONG t = GetPosition() - frame;
    Seek(t > 0 ? t : 0, 0);
}

LONGLONG CMediaPlayerWnd::NextFrameTime(LONGLONG t)
{
    const LONGLONG snapped = SnapToFrame(t);
    return snapped > t ? snapped : SnapToFrame(t + GetFrameDuration());
}

LONGLONG CMediaPlayerWnd::PrevFrameTime(LONGLONG t)
{
    const LONGLONG snapped = SnapToFrame(t);
    return snapped < t ? snapped : SnapToFrame(t - GetFrameDuration());
}

double CMediaPlayerWnd::GetFrameRate()
{
    const double video = GetVideoFrameRate();
    return video > 0.0 ? video : GetAudioFrameRate();
}

LONGLONG CMediaPlayerWnd::GetFrameDuration()
{
    const double rate = GetFrameRate();
    if (rate <= 0.0)
        return 0;
    return (LONGLONG)(10000000.0 / rate);
}

void CMediaPlayerWnd::Refresh()
{
    ::InterlockedExchange(&m_needsRestart, 1);
    ::InterlockedExchange(&m_needsPlacement, 1);
    ::InterlockedExchange(&m_needsDuration, 1);
    PostCommand(g_previewCommand[kHideVideo]);
}

void CMediaPlayerWnd::SetScaleToFit(BOOL fit)
{
    m_fitToWindow = fit;
    if (m_hWnd && IsMediaReady())
        Refresh();
}

BOOL CMediaPlayerWnd::SetFullScreen(BOOL on)
{
    CComPtr<IGraphBuilder> graph;
    CComPtr<IVideoWindow> window;
    if (FAILED(GetGraph(&graph)) || !graph || FAILED(graph->QueryInterface(IID_IVideoWindow, (void**)&window)))
        return FALSE;
    long mode = OAFALSE;
    window->get_FullScreenMode(&mode);
    HRESULT hr = S_OK;
    if (on && mode == OAFALSE) {
        window->put_MessageDrain((OAHWND)m_hWnd);
        hr = window->put_FullScreenMode(OATRUE);
    } else if (!on && mode == OATRUE) {
        window->put_MessageDrain(0);
        hr = window->put_FullScreenMode(OAFALSE);
    }
    return SUCCEEDED(hr);
}

BOOL CMediaPlayerWnd::IsFullScreen()
{
    CComPtr<IGraphBuilder> graph;
    CComPtr<IVideoWindow> window;
    if (FAILED(GetGraph(&graph)) || !graph || FAILED(graph->QueryInterface(IID_IVideoWindow, (void**)&window)))
        return FALSE;
    long mode = OAFALSE;
    return SUCCEEDED(window->get_FullScreenMode(&mode)) && mode == OATRUE;
}

void CMediaPlayerWnd::SetPanCursor(BOOL on)
{
    if (on)
        ::SetCursor(::LoadCursorA(NULL, (LPCSTR)IDC_SIZEALL));
    else if (m_hWnd)
        ::SendMessageA(m_hWnd, WM_SETCURSOR, (WPARAM)m_hWnd, MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

BOOL CMediaPlayerWnd::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_KEYDOWN) {
        if (pMsg->wParam == VK_ESCAPE && IsFullScreen()) {
            SetFullScreen(FALSE);
            return TRUE;
        }
        if (OnKey(pMsg))
            return TRUE;
    }
    return CWnd::PreTranslateMessage(pMsg);
}

// ---------------------------------------------------------------------------
// Window messages.

int CMediaPlayerWnd::OnCreate(LPCREATESTRUCT cs)
{
    if (Default() == -1)
        return -1;
    Register();
    return 0;
}

// Destruction takes only this window off the poll list: the thread goes on
// for the others and ends by itself when none is left.
void CMediaPlayerWnd::OnDestroy()
{
    ::InterlockedExchange(&m_playState, 0);
    Set64(m_position, 0);
    ::InterlockedExchange(&m_needsRestart, 0);
    Unregister();
    // The renderer's window is a child of this one: it is handed back before
    // this window goes, or it would be destroyed with it and the graph could
    // not show video in another window.
    CComPtr<IGraphBuilder> graph;
    CComPtr<IVideoWindow> window;
    if (SUCCEEDED(GetGraph(&graph)) && graph && SUCCEEDED(graph->QueryInterface(IID_IVideoWindow, (void**)&window))) {
        OAHWND owner = 0;
        if (SUCCEEDED(window->get_Owner(&owner)) && (HWND)owner == m_hWnd) {
            window->put_Visible(OAFALSE);
            window->put_Owner(0);
        }
    }
    m_videoChild = NULL;
    Default();
}

void CMediaPlayerWnd::OnSize(UINT, int, int)
{
    ::InterlockedExchange(&m_needsPlacement, 1);
    PostCommand(g_previewCommand[kShowVideo]);
}

void CMediaPlayerWnd::OnShowWindow(BOOL show, UINT)
{
    Default();
    if (!show && m_playState == 2)
        Pause();
    else if (show)
        Refresh();
}

void CMediaPlayerWnd::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    const RECT movie = GetMovieRect();
    const int saved = ::SaveDC(dc);
    if (!::IsRectEmpty(&movie) && HasPlayerMedia())
        ::ExcludeClipRect(dc, movie.left, movie.top, movie.right, movie.bottom);
    ::FillRect(dc, &client, (HBRUSH)::GetStockObject(BLACK_BRUSH));
    ::RestoreDC(dc, saved);
    ::EndPaint(m_hWnd, &ps);
}

void CMediaPlayerWnd::Scroll(int bar, UINT code, UINT trackPos)
{
    SCROLLINFO si = {sizeof(si), SIF_ALL};
    if (!::GetScrollInfo(m_hWnd, bar, &si))
        return;
    const int page = (int)si.nPage;
    const int last = si.nMax - page > 0 ? si.nMax - page : 0;
    int pos = si.nPos;
    switch (code) {
        case SB_LINELEFT: pos -= page / 20; break;
        case SB_LINERIGHT: pos += page / 20; break;
        case SB_PAGELEFT: pos -= page; break;
        case SB_PAGERIGHT: pos += page; break;
        case SB_THUMBTRACK: pos = (int)trackPos; break;
        case SB_TOP: pos = 0; break;
        case SB_BOTTOM: pos = last; break;
        default: return;
    }
    if (pos > last)
        pos = last;
    if (pos < 0)
        pos = 0;
    si.fMask = SIF_POS;
    si.nPos = pos;
    ::SetScrollInfo(m_hWnd, bar, &si, TRUE);
    ::InterlockedExchange(&m_needsPlacement, 1);
    WakePollThread();
}

void CMediaPlayerWnd::OnHScroll(UINT code, UINT pos, CScrollBar*)
{
    Default();
    Scroll(SB_HORZ, code, pos);
}

void CMediaPlayerWnd::OnVScroll(UINT code, UINT pos, CScrollBar*)
{
    Default();
    Scroll(SB_VERT, code, pos);
}

// Mouse input over the renderer's window comes to this window.
LRESULT CMediaPlayerWnd::OnAttachVideo(WPARAM, LPARAM)
{
    HWND child = ::GetWindow(m_hWnd, GW_CHILD);
    if (!child || child == m_videoChild || ::GetPropA(child, "VexcapVideoChildProc"))
        return 0;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(child, &pid);
    if (pid != ::GetCurrentProcessId())
        return 0;
    ::SetPropA(child, "VexcapVideoChildOwner", (HANDLE)m_hWnd);
    ::SetPropA(child, "VexcapVideoChildProc", (HANDLE)::GetWindowLongPtrA(child, GWLP_WNDPROC));
    ::SetWindowLongPtrA(child, GWLP_WNDPROC, (LONG_PTR)VideoChildProc);
    m_videoChild = child;
    return 0;
}
