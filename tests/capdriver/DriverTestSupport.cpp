#include "DriverTestSupport.h"

#include <shlwapi.h>

#include <string.h>

namespace captest {

const wchar_t kDriverCaption[] = L"Skorvale Studio Video Capture Driver";

std::wstring HelperPath() { return drivertest::WindowsPathOf(ZENTIVO_TEST_HELPER); }

DriverProcFn LoadedDriverProc(HDRVR driver)
{
    HMODULE module = GetDriverModuleHandle(driver);
    if (!module)
        return NULL;
    return reinterpret_cast<DriverProcFn>(reinterpret_cast<void*>(GetProcAddress(module, "DriverProc")));
}

bool DriverLoaded()
{
    return GetModuleHandleW(L"Zentivo.dll") != NULL;
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(5);
    }
}

namespace {

struct WindowSearch {
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lParam)
{
    WindowSearch* search = reinterpret_cast<WindowSearch*>(lParam);
    if (!IsWindowVisible(window))
        return TRUE;
    if (WindowText(window) == search->title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindThreadWindow(DWORD thread, const wchar_t* title)
{
    WindowSearch search = {title, NULL};
    EnumThreadWindows(thread, MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(DWORD thread, const wchar_t* title, DWORD timeoutMs)
{
    HWND found = NULL;
    WaitUntil([&] { return (found = FindThreadWindow(thread, title)) != NULL; }, timeoutMs);
    return found;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[1024] = L"";
    GetWindowTextW(window, text, 1024);
    return text;
}

std::wstring MessageBoxText(HWND box)
{
    wchar_t text[1024] = L"";
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    return text;
}

void PressButton(HWND dialog, int id)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

MessageBoxAnswerer::MessageBoxAnswerer(DWORD thread) : m_thread(thread)
{
    InitializeCriticalSection(&m_lock);
    m_stop = CreateEventW(NULL, TRUE, FALSE, NULL);
    m_worker = CreateThread(NULL, 0, Run, this, 0, NULL);
}

MessageBoxAnswerer::~MessageBoxAnswerer()
{
    SetEvent(m_stop);
    WaitForSingleObject(m_worker, INFINITE);
    CloseHandle(m_worker);
    CloseHandle(m_stop);
    DeleteCriticalSection(&m_lock);
}

std::vector<std::wstring> MessageBoxAnswerer::Texts() const
{
    EnterCriticalSection(&m_lock);
    std::vector<std::wstring> texts = m_texts;
    LeaveCriticalSection(&m_lock);
    return texts;
}

DWORD WINAPI MessageBoxAnswerer::Run(LPVOID param)
{
    MessageBoxAnswerer* self = static_cast<MessageBoxAnswerer*>(param);
    while (WaitForSingleObject(self->m_stop, 5) == WAIT_TIMEOUT) {
        HWND box = FindThreadWindow(self->m_thread, kDriverCaption);
        if (!box)
            continue;
        const std::wstring text = MessageBoxText(box);
        EnterCriticalSection(&self->m_lock);
        self->m_texts.push_back(text);
        LeaveCriticalSection(&self->m_lock);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        // Wait until that box is gone before looking for the next one.
        WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 10000);
    }
    return 0;
}

LiveRecorder::~LiveRecorder()
{
    Close();
}

bool LiveRecorder::OpenHeader()
{
    m_headerMapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, ZENTIVO_LIVE_HEADER_NAME);
    if (!m_headerMapping)
        return false;
    m_header = static_cast<LiveOutputHeader*>(MapViewOfFile(m_headerMapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    return m_header != NULL;
}

bool LiveRecorder::OpenFrame()
{
    if (!m_header || !LiveLoad(m_header->headerValid))
        return false;
    char name[ZENTIVO_LIVE_FRAME_NAME_CHARS + 1] = "";
    memcpy(name, m_header->frameMappingName, ZENTIVO_LIVE_FRAME_NAME_CHARS);
    m_frameSize = LiveLoad(m_header->imageSize);
    m_frameMapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name);
    if (!m_frameMapping)
        return false;
    m_frame = static_cast<BYTE*>(MapViewOfFile(m_frameMapping, FILE_MAP_ALL_ACCESS, 0, 0, m_frameSize));
    return m_frame != NULL;
}

void LiveRecorder::WriteFrame(BYTE value)
{
    memset(m_frame, value, m_frameSize);
    LiveStoreRelease(m_header->frameReady, 1);
}

void LiveRecorder::Close()
{
    if (m_frame)
        UnmapViewOfFile(m_frame);
    if (m_frameMapping)
        CloseHandle(m_frameMapping);
    if (m_header)
        UnmapViewOfFile(m_header);
    if (m_headerMapping)
        CloseHandle(m_headerMapping);
    m_frame = NULL;
    m_frameMapping = NULL;
    m_header = NULL;
    m_headerMapping = NULL;
}

std::string HeaderName(const LiveOutputHeader* header)
{
    char name[ZENTIVO_LIVE_FRAME_NAME_CHARS + 1] = "";
    memcpy(name, header->frameMappingName, ZENTIVO_LIVE_FRAME_NAME_CHARS);
    return name;
}

HelperProcess::HelperProcess(const std::wstring& arguments)
{
    std::wstring command = L"\"" + HelperPath() + L"\" " + arguments;
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(L'\0');
    STARTUPINFOW si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    if (CreateProcessW(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        CloseHandle(pi.hThread);
        m_process = pi.hProcess;
    }
}

HelperProcess::~HelperProcess()
{
    if (!m_process)
        return;
    if (WaitForSingleObject(m_process, 20000) != WAIT_OBJECT_0)
        TerminateProcess(m_process, 99);
    CloseHandle(m_process);
}

int HelperProcess::Wait(DWORD timeoutMs)
{
    if (!m_process || WaitForSingleObject(m_process, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(m_process, &code);
    return static_cast<int>(code);
}

NamedEvent::NamedEvent(const std::wstring& name)
{
    m_event = CreateEventW(NULL, TRUE, FALSE, name.c_str());
}

NamedEvent::~NamedEvent()
{
    CloseHandle(m_event);
}

bool NamedEvent::Wait(DWORD timeoutMs) const
{
    return WaitForSingleObject(m_event, timeoutMs) == WAIT_OBJECT_0;
}

void NamedEvent::Set() const
{
    SetEvent(m_event);
}

}  // namespace captest
