#include "AppTestSupport.h"

#include "app/AppMessages.h"
#include "resources/ids_finishing.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace apptest {

int TestApp::DoMessageBox(LPCTSTR prompt, UINT /*type*/, UINT /*id*/)
{
    m_boxes.push_back(prompt ? prompt : "");
    return IDOK;
}

TestApp& App()
{
    static TestApp app;
    return app;
}

FakeRecorderWindow::FakeRecorderWindow(LRESULT recordReply, LRESULT pauseReply, LRESULT stopReply, bool hung)
    : m_replies{recordReply, pauseReply, stopReply}, m_hung(hung), m_hwnd(NULL)
{
    ::InitializeCriticalSection(&m_lock);
    m_ready = ::CreateEventA(NULL, TRUE, FALSE, NULL);
    m_release = ::CreateEventA(NULL, TRUE, FALSE, NULL);
    m_thread = ::CreateThread(NULL, 0, ThreadProc, this, 0, NULL);
    ::WaitForSingleObject(m_ready, 10000);
}

FakeRecorderWindow::~FakeRecorderWindow()
{
    ::SetEvent(m_release);
    if (m_hwnd)
        ::PostMessageA(m_hwnd, WM_CLOSE, 0, 0);
    ::WaitForSingleObject(m_thread, 10000);
    ::CloseHandle(m_thread);
    ::CloseHandle(m_ready);
    ::CloseHandle(m_release);
    ::DeleteCriticalSection(&m_lock);
}

DWORD WINAPI FakeRecorderWindow::ThreadProc(LPVOID p)
{
    FakeRecorderWindow* self = (FakeRecorderWindow*)p;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = ::GetModuleHandleA(NULL);
    wc.lpszClassName = RECORDER_CLASS_NAME;
    ::RegisterClassA(&wc);
    self->m_hwnd = ::CreateWindowA(RECORDER_CLASS_NAME, "fake recorder", WS_POPUP, 0, 0, 10, 10, NULL, NULL,
                                   wc.hInstance, NULL);
    ::SetWindowLongPtrA(self->m_hwnd, GWLP_USERDATA, (LONG_PTR)self);
    ::SetEvent(self->m_ready);
    if (self->m_hung) {
        // Stops answering until the test releases it.
        ::WaitForSingleObject(self->m_release, INFINITE);
    }
    MSG msg;
    while (::GetMessageA(&msg, NULL, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return 0;
}

LRESULT CALLBACK FakeRecorderWindow::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    FakeRecorderWindow* self = (FakeRecorderWindow*)::GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    if (self && msg >= WM_USER && msg < 0x8000) {
        ::EnterCriticalSection(&self->m_lock);
        self->m_messages.push_back(msg);
        ::LeaveCriticalSection(&self->m_lock);
        switch (msg) {
            case WM_APP_RECORD: return self->m_replies[0];
            case WM_APP_PAUSE: return self->m_replies[1];
            case WM_APP_STOP: return self->m_replies[2];
            default: return 0;
        }
    }
    if (msg == WM_CLOSE) {
        ::DestroyWindow(hwnd);
        return 0;
    }
    if (msg == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

std::vector<UINT> FakeRecorderWindow::Messages()
{
    ::EnterCriticalSection(&m_lock);
    std::vector<UINT> copy = m_messages;
    ::LeaveCriticalSection(&m_lock);
    return copy;
}

std::string ProgramPath()
{
    return testsupport::BuildDir() + "\\app\\Vexcap.exe";
}

Program::Program(const std::string& arguments) : m_pi()
{
    std::string line = "\"" + ProgramPath() + "\" " + arguments;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back(0);
    ::CreateProcessA(NULL, buffer.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &m_pi);
}

Program::~Program()
{
    if (m_pi.hProcess) {
        if (Running())
            ::TerminateProcess(m_pi.hProcess, 99);
        ::CloseHandle(m_pi.hProcess);
        ::CloseHandle(m_pi.hThread);
    }
}

long Program::Wait(DWORD timeoutMs)
{
    if (!m_pi.hProcess)
        return -1;
    const DWORD start = ::GetTickCount();
    // Pumps while waiting: the program may send to windows of this process.
    while (::MsgWaitForMultipleObjects(1, &m_pi.hProcess, FALSE, 50, QS_ALLINPUT) != WAIT_OBJECT_0) {
        Pump(0);
        if (::GetTickCount() - start > timeoutMs)
            return -1;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(m_pi.hProcess, &code);
    return (long)code;
}

bool Program::Running()
{
    return m_pi.hProcess && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

bool Program::Kill(DWORD timeoutMs)
{
    if (!m_pi.hProcess)
        return false;
    ::TerminateProcess(m_pi.hProcess, 99);
    return ::WaitForSingleObject(m_pi.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

long RunProgram(const std::string& arguments, DWORD timeoutMs)
{
    Program p(arguments);
    return p.Wait(timeoutMs);
}

std::string ResourceText(UINT id)
{
    CString text;
    text.LoadString(id);
    return std::string(text);
}

std::string WindowText(HWND w)
{
    char text[512] = "";
    ::GetWindowTextA(w, text, sizeof(text));
    return text;
}

namespace {

struct DialogSearch {
    std::string text;
    HWND found;
    std::string seen;   // the texts of every dialog looked at
};

BOOL CALLBACK MatchDialog(HWND w, LPARAM p)
{
    DialogSearch* s = (DialogSearch*)p;
    char cls[64] = "";
    ::GetClassNameA(w, cls, sizeof(cls));
    DWORD pid = 0;
    ::GetWindowThreadProcessId(w, &pid);
    if (strcmp(cls, "#32770") != 0 || pid == ::GetCurrentProcessId() || !::IsWindowVisible(w))
        return TRUE;
    std::string all = WindowText(w);
    for (HWND c = ::GetWindow(w, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
        all += "|" + WindowText(c);
    s->seen += "[" + all + "] ";
    if (!s->text.empty() && all.find(s->text) != std::string::npos) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

// The texts of the dialogs other processes show, for a failure message.
std::string ShownDialogs()
{
    DialogSearch s = { std::string(), NULL, std::string() };
    ::EnumWindows(MatchDialog, (LPARAM)&s);
    return s.seen.empty() ? "no dialog" : s.seen;
}

}  // namespace

HWND FindDialogWith(const std::string& text)
{
    DialogSearch s = { text, NULL, std::string() };
    ::EnumWindows(MatchDialog, (LPARAM)&s);
    return s.found;
}

void AcceptRecovery(const std::string& savedPath)
{
    HWND ask = NULL;
    ASSERT_TRUE(PumpUntil([&] { return (ask = FindDialogWith(ResourceText(IDS_RECOVER_ASK).substr(0, 30))) != NULL; },
                          30000))
        << "the recovery question; shown: " << ShownDialogs();
    ::PostMessageA(ask, WM_COMMAND, IDYES, 0);
    HWND save = NULL;
    ASSERT_TRUE(PumpUntil([&] { return (save = FindDialogWith(ResourceText(IDS_RECOVER_SAVE_AS))) != NULL; }, 30000))
        << "the save dialog; shown: " << ShownDialogs();
    // The file name box of the old-style or the explorer-style dialog.
    HWND name = ::GetDlgItem(save, 1148);
    if (!name)
        name = ::GetDlgItem(save, 1152);
    ASSERT_NE((HWND)NULL, name);
    ::SendMessageA(name, WM_SETTEXT, 0, (LPARAM)savedPath.c_str());
    ::PostMessageA(save, WM_COMMAND, IDOK, 0);
    CString done;
    done.Format(IDS_RECOVER_DONE, savedPath.c_str());
    HWND told = NULL;
    ASSERT_TRUE(PumpUntil([&] { return (told = FindDialogWith(std::string(done).substr(0, 20))) != NULL; }, 120000))
        << "the recovery's end; shown: " << ShownDialogs();
    ::PostMessageA(told, WM_COMMAND, IDOK, 0);
}

void RestartAndRecover(const std::string& savedPath)
{
    Program again("");
    ASSERT_NO_FATAL_FAILURE(AcceptRecovery(savedPath));
    HWND main = NULL;
    EXPECT_TRUE(PumpUntil([&] { return (main = ::FindWindowA(RECORDER_CLASS_NAME, NULL)) != NULL; }, 20000));
    EXPECT_EQ(0, RunProgram("/X"));
    EXPECT_EQ(0, again.Wait(30000));
}

void Pump(DWORD ms)
{
    const DWORD start = ::GetTickCount();
    do {
        MSG msg;
        while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        if (ms)
            ::MsgWaitForMultipleObjects(0, NULL, FALSE, 5, QS_ALLINPUT);
    } while (::GetTickCount() - start < ms);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start >= timeoutMs)
            return false;
        Pump(20);
    }
    return true;
}

namespace {

POINT g_mouse = {0, 0};

// Every event carries its position: a button event alone may reach another
// process before the move that went ahead of it.
void SendMouse(DWORD flags)
{
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = (g_mouse.x * 65535 + ::GetSystemMetrics(SM_CXSCREEN) / 2) / (::GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = (g_mouse.y * 65535 + ::GetSystemMetrics(SM_CYSCREEN) / 2) / (::GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(1, &in, sizeof(in));
    Pump(50);
}

}  // namespace

void MouseTo(int x, int y)
{
    g_mouse.x = x;
    g_mouse.y = y;
    SendMouse(0);
}

void MouseButton(DWORD flag)
{
    SendMouse(flag);
}

void ClickAt(int x, int y)
{
    MouseTo(x, y);
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    MouseButton(MOUSEEVENTF_LEFTUP);
}

void PressKey(WORD vk)
{
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, in, sizeof(INPUT));
    Pump(50);
}

}  // namespace apptest
