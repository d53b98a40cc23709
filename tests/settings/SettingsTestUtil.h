#pragma once
// Helpers of the settings tests: golden files kept in UTF-8 under tests/data
// and read as the program's ANSI text.
#include <windows.h>
#include <functional>
#include <string>

namespace settingstest {

// Converts UTF-8 text to the ANSI code page (936 under the test runner).
std::string Utf8ToAnsi(const std::string& utf8);

// Reads tests\data\<relative> of the source tree and converts it to ANSI.
bool ReadDataFileAnsi(const std::string& relative, std::string* text);

// Answers the first visible dialog (or message box) that the given thread
// shows by posting WM_COMMAND with the command id; waits for that on destruction.
class DialogAnswerer {
public:
    // With a readiness test, the answer waits (up to 10 s) until it holds.
    DialogAnswerer(DWORD thread, int command, std::function<bool(HWND)> ready = nullptr);
    ~DialogAnswerer();
    bool Answered() const { return m_answered; }
    // The text of the dialog's static controls, read before answering.
    const std::string& Text() const { return m_text; }

private:
    static DWORD WINAPI Run(LPVOID param);
    DWORD m_thread;
    int m_command;
    std::function<bool(HWND)> m_ready;
    HANDLE m_handle;
    volatile bool m_answered = false;
    std::string m_text;
};

}  // namespace settingstest
