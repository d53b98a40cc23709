#pragma once
// Helpers for window tests: pumping messages while polling for a state,
// answering modal dialogs and message boxes from a timer (so no test can
// hang on one), reading pixels back, and saving a screenshot as PNG.
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

namespace uitest {

// Dispatches this thread's messages until pred() is true or timeoutMs passed;
// returns pred()'s last value.
bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs = 5000);
// Dispatches what is queued now.
void PumpPending();

// While alive, a thread timer offers every 50 ms each enabled, visible dialog
// window of this thread that was not there when it started (a dialog or
// message box shown modally) to the handler; the handler answers it (for
// example by posting WM_COMMAND with a button id) and returns true when it
// acted, false to leave it. Texts of message boxes are recorded once each.
// When nothing was answered for the time limit every such window gets
// IDCANCEL, so a test cannot hang.
class ModalAnswerer {
public:
    typedef std::function<bool(HWND dialog)> Handler;
    explicit ModalAnswerer(Handler handler, DWORD giveUpMs = 10000);
    ~ModalAnswerer();
    ModalAnswerer(const ModalAnswerer&) = delete;
    ModalAnswerer& operator=(const ModalAnswerer&) = delete;

    // Texts of the static controls of every message box seen (8-bit).
    const std::vector<std::string>& MessageTexts() const { return m_texts; }
    int Answered() const { return m_answered; }

    // Posts WM_COMMAND with the id to the dialog (the usual answer).
    static bool Press(HWND dialog, int id);
    // The text of a message box (its static control with id 0xFFFF).
    static std::string MessageBoxText(HWND dialog);

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    void Check();

    Handler m_handler;
    DWORD m_giveUpMs;
    DWORD m_start;
    UINT_PTR m_timer;
    int m_answered;
    std::vector<HWND> m_seen;
    std::vector<HWND> m_recorded;
    std::vector<std::string> m_texts;
};

// The colour of a pixel of the screen (through a BitBlt of the screen DC).
COLORREF ScreenPixel(int x, int y);
// Pixels of a window's client area as 0x00RRGGBB, rows top-down.
std::vector<DWORD> CaptureClient(HWND hWnd, int* width, int* height);

// Writes a PNG of a screen rectangle (the whole screen for an empty one)
// through GDI+; true on success.
bool SaveScreenPng(const std::string& path, const RECT* area = nullptr);

}  // namespace uitest
