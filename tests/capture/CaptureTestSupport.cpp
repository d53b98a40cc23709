#include "CaptureTestSupport.h"

#include "settings/RecorderPrefs.h"
#include "tests/support/TestSupport.h"

#include <stdio.h>

namespace capturetest {

TestApp::TestApp()
{
    ::InitializeCriticalSection(&m_lock);
    char key[96];
    snprintf(key, sizeof(key), "VexcapTest\\Capture_%lu", ::GetCurrentProcessId());
    SetProfileKey(key);
}

int TestApp::DoMessageBox(LPCTSTR prompt, UINT type, UINT /*id*/)
{
    ::EnterCriticalSection(&m_lock);
    m_boxes.push_back(prompt ? prompt : "");
    const int yesNo = m_yesNoAnswer;
    ::LeaveCriticalSection(&m_lock);
    return (type & MB_TYPEMASK) == MB_YESNO ? yesNo : IDOK;
}

void TestApp::SetYesNoAnswer(int answer)
{
    ::EnterCriticalSection(&m_lock);
    m_yesNoAnswer = answer;
    ::LeaveCriticalSection(&m_lock);
}

std::vector<std::string> TestApp::Boxes()
{
    ::EnterCriticalSection(&m_lock);
    std::vector<std::string> copy = m_boxes;
    ::LeaveCriticalSection(&m_lock);
    return copy;
}

void TestApp::ClearBoxes()
{
    ::EnterCriticalSection(&m_lock);
    m_boxes.clear();
    ::LeaveCriticalSection(&m_lock);
}

TestApp& App()
{
    static TestApp app;
    return app;
}

MainWindowDouble::MainWindowDouble() : m_hwnd(NULL), m_recordState(-1), m_bitDepth(0)
{
    ::InitializeCriticalSection(&m_lock);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = ::GetModuleHandleA(NULL);
    wc.lpszClassName = "VexcapTestMainWindow";
    ::RegisterClassA(&wc);
    m_hwnd = ::CreateWindowA("VexcapTestMainWindow", "main", WS_POPUP, 0, 0, 10, 10, NULL, NULL, wc.hInstance,
                             this);
    ::SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, (LONG_PTR)this);
}

MainWindowDouble::~MainWindowDouble()
{
    ::DestroyWindow(m_hwnd);
    ::DeleteCriticalSection(&m_lock);
}

LRESULT CALLBACK MainWindowDouble::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    MainWindowDouble* self = (MainWindowDouble*)::GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    if (self && msg >= WM_USER && msg < 0x8000) {
        ::EnterCriticalSection(&self->m_lock);
        self->m_messages.push_back(Posted{msg, wParam});
        ::LeaveCriticalSection(&self->m_lock);
        return 0;
    }
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

void MainWindowDouble::SetRecordState(int state)
{
    ::InterlockedExchange(&m_recordState, state);
}

void MainWindowDouble::ShowFocusFrame(int /*nCmdShow*/)
{
}

BOOL MainWindowDouble::MoveFocusFrame(const RECT* /*area*/, int /*width*/)
{
    return FALSE;
}

void MainWindowDouble::SetRecordedBitDepth(int bitCount)
{
    ::InterlockedExchange(&m_bitDepth, bitCount);
}

std::vector<MainWindowDouble::Posted> MainWindowDouble::Messages()
{
    ::EnterCriticalSection(&m_lock);
    std::vector<Posted> copy = m_messages;
    ::LeaveCriticalSection(&m_lock);
    return copy;
}

int MainWindowDouble::Count(UINT message)
{
    int n = 0;
    for (const Posted& p : Messages())
        n += p.message == message;
    return n;
}

long long MainWindowDouble::First(UINT message)
{
    for (const Posted& p : Messages())
        if (p.message == message)
            return (long long)p.wParam;
    return -1;
}

ColourWindow::ColourWindow(const RECT& rect, COLORREF colour)
{
    m_brush = ::CreateSolidBrush(colour);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(NULL);
    wc.hbrBackground = m_brush;
    char name[64];
    snprintf(name, sizeof(name), "VexcapTestColour%06lx", (unsigned long)colour);
    wc.lpszClassName = name;
    ::RegisterClassA(&wc);
    m_hwnd = ::CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, name, "", WS_POPUP | WS_VISIBLE, rect.left,
                               rect.top, rect.right - rect.left, rect.bottom - rect.top, NULL, NULL, wc.hInstance,
                               NULL);
    ::UpdateWindow(m_hwnd);
}

ColourWindow::~ColourWindow()
{
    ::DestroyWindow(m_hwnd);
    Pump(50);
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
        ::MsgWaitForMultipleObjects(0, NULL, FALSE, 5, QS_ALLINPUT);
    } while (::GetTickCount() - start < ms);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start >= timeoutMs)
            return false;
        Pump(10);
    }
    return true;
}

COLORREF ScreenPixel(int x, int y)
{
    HDC screen = ::GetDC(NULL);
    const COLORREF c = ::GetPixel(screen, x, y);
    ::ReleaseDC(NULL, screen);
    return c;
}

bool Finished(MainWindowDouble& main)
{
    return main.Count(WM_RECORDER_FINISHED) > 0;
}

std::unique_ptr<CRecorderPrefs> MakeEnginePrefs(const std::string& tempDir, DWORD fourcc, int rate)
{
    std::unique_ptr<CRecorderPrefs> prefs(new CRecorderPrefs(&App()));
    prefs->m_tempDir = tempDir.c_str();
    prefs->m_autoConfig = FALSE;
    prefs->m_compressorFourCC = fourcc;
    prefs->m_captureRate = CRational(rate, 1, 1);
    prefs->m_playbackRate = CRational(rate, 1, 1);
    prefs->m_minimize = FALSE;
    prefs->m_keyFrameRate = 80;
    prefs->m_quality = -1;
    return prefs;
}

bool FileExists(const CString& path)
{
    return ::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

std::string Probe(const std::string& file, const std::string& entries)
{
    std::string out;
    testsupport::RunHost("ffprobe -v error " + entries + " -of csv=p=0 '" + testsupport::UnixPath(file) + "'",
                         &out);
    return out;
}

}  // namespace capturetest
