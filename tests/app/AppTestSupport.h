#pragma once
// Shared by the program tests: the test process's application object (message
// boxes recorded instead of shown), a stand-in for a running recorder's main
// window, the running of Vexcap.exe and the answers to the recovery it
// offers.
#include "app/RecorderApp.h"

#include <functional>
#include <string>
#include <vector>

namespace apptest {

class TestApp : public CRecorderApp {
public:
    int DoMessageBox(LPCTSTR prompt, UINT type, UINT id) override;
    std::vector<std::string> m_boxes;
};

TestApp& App();

// A window of the recorder's main-window class, on its own thread, that
// records the messages it receives and answers record, pause and stop with
// the given replies. With `hung` its thread stops answering messages.
class FakeRecorderWindow {
public:
    FakeRecorderWindow(LRESULT recordReply, LRESULT pauseReply, LRESULT stopReply, bool hung = false);
    ~FakeRecorderWindow();
    HWND Hwnd() const { return m_hwnd; }
    std::vector<UINT> Messages();

private:
    static DWORD WINAPI ThreadProc(LPVOID self);
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT m_replies[3];
    bool m_hung;
    HWND m_hwnd;
    HANDLE m_thread;
    HANDLE m_ready;
    HANDLE m_release;
    CRITICAL_SECTION m_lock;
    std::vector<UINT> m_messages;
};

// Vexcap.exe of this build.
std::string ProgramPath();

// A started Vexcap.exe.
class Program {
public:
    explicit Program(const std::string& arguments);
    ~Program();
    // Waits for the end; the exit code, or -1 when it did not end in time.
    long Wait(DWORD timeoutMs);
    bool Running();
    // Ends it at once (TerminateProcess), as a crash would: nothing of the
    // program runs after it. True once it has ended.
    bool Kill(DWORD timeoutMs);

private:
    PROCESS_INFORMATION m_pi;
};

// Runs Vexcap.exe with the arguments to its end; its exit code or -1.
long RunProgram(const std::string& arguments, DWORD timeoutMs = 30000);

// The text of one of the program's string resources.
std::string ResourceText(UINT id);
// A window's title.
std::string WindowText(HWND w);
// A visible dialog of another process whose title or child texts hold
// `text`; NULL when there is none.
HWND FindDialogWith(const std::string& text);

// Answers the recovery Vexcap.exe offers at its start: Yes to the question,
// `savedPath` in the save dialog, OK to the message that it is done. A step
// that does not come is a fatal failure (ASSERT_NO_FATAL_FAILURE).
void AcceptRecovery(const std::string& savedPath);
// Starts Vexcap.exe again, accepts its recovery into `savedPath`, waits for
// its main window and ends it with /X.
void RestartAndRecover(const std::string& savedPath);

void Pump(DWORD ms);
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// Real input through SendInput at screen coordinates; each pumps this
// thread's messages for a moment afterwards, so that the input arrives in order.
void MouseTo(int x, int y);
void MouseButton(DWORD flag);   // MOUSEEVENTF_LEFTDOWN and the like, where MouseTo left the mouse
void ClickAt(int x, int y);     // move there, press and release the left button
void PressKey(WORD vk);

}  // namespace apptest
