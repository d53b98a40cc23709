#include "SettingsTestUtil.h"

#include "TestSupport.h"

#include <vector>

namespace settingstest {

std::string Utf8ToAnsi(const std::string& utf8)
{
    if (utf8.empty())
        return std::string();
    int wide = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), nullptr, 0);
    std::vector<wchar_t> w(wide);
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), w.data(), wide);
    int narrow = ::WideCharToMultiByte(CP_ACP, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(narrow, '\0');
    ::WideCharToMultiByte(CP_ACP, 0, w.data(), wide, &out[0], narrow, nullptr, nullptr);
    return out;
}

bool ReadDataFileAnsi(const std::string& relative, std::string* text)
{
    std::string raw;
    if (!testsupport::ReadFileBytes(testsupport::SourceDir() + "\\tests\\data\\" + relative, &raw))
        return false;
    *text = Utf8ToAnsi(raw);
    return true;
}

namespace {

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM param)
{
    char cls[32] = {};
    ::GetClassNameA(hwnd, cls, sizeof(cls));
    if (strcmp(cls, "#32770") == 0 && ::IsWindowVisible(hwnd)) {
        *reinterpret_cast<HWND*>(param) = hwnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectText(HWND hwnd, LPARAM param)
{
    char cls[32] = {};
    ::GetClassNameA(hwnd, cls, sizeof(cls));
    if (_stricmp(cls, "Static") == 0) {
        char text[1024] = {};
        ::GetWindowTextA(hwnd, text, sizeof(text));
        *reinterpret_cast<std::string*>(param) += text;
    }
    return TRUE;
}

}  // namespace

DialogAnswerer::DialogAnswerer(DWORD thread, int command, std::function<bool(HWND)> ready)
    : m_thread(thread), m_command(command), m_ready(ready)
{
    m_handle = ::CreateThread(nullptr, 0, &DialogAnswerer::Run, this, 0, nullptr);
}

DialogAnswerer::~DialogAnswerer()
{
    ::WaitForSingleObject(m_handle, 20000);
    ::CloseHandle(m_handle);
}

DWORD WINAPI DialogAnswerer::Run(LPVOID param)
{
    DialogAnswerer* self = static_cast<DialogAnswerer*>(param);
    for (int i = 0; i < 1000; ++i) {
        HWND dialog = NULL;
        ::EnumThreadWindows(self->m_thread, &FindDialog, (LPARAM)&dialog);
        if (dialog) {
            // Wait until the dialog's thread is idle in its message loop, so that
            // the dialog has finished setting itself up.
            DWORD_PTR ignored = 0;
            ::SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
            for (int wait = 0; self->m_ready && !self->m_ready(dialog) && wait < 1000; ++wait)
                ::Sleep(10);
            ::EnumChildWindows(dialog, &CollectText, (LPARAM)&self->m_text);
            ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(self->m_command, BN_CLICKED), 0);
            self->m_answered = true;
            return 0;
        }
        ::Sleep(10);
    }
    return 0;
}

}  // namespace settingstest
