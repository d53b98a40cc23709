#pragma once
// Shared by the engine tests: the application object (a scratch registry
// profile; message boxes recorded instead of shown), a stand-in for the main
// window that records what the engine posts and calls, a window painted one
// colour on the real (Xvfb) screen, and message pumping with polling.
#include "app/RecorderApp.h"
#include "capture/RecorderWindow.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CRecorderPrefs;

namespace capturetest {

class TestApp : public CRecorderApp {
public:
    TestApp();
    int DoMessageBox(LPCTSTR prompt, UINT type, UINT id) override;
    std::vector<std::string> Boxes();
    void ClearBoxes();
    // The answer to Yes/No questions (IDNO unless set).
    void SetYesNoAnswer(int answer);

private:
    CRITICAL_SECTION m_lock;
    std::vector<std::string> m_boxes;
    int m_yesNoAnswer = IDNO;
};

// The one application object of the test process.
TestApp& App();

// The main window as the engine sees it: a hidden window of the test thread
// that records the messages posted to it, and counters for the calls.
class MainWindowDouble : public IRecorderWindow {
public:
    MainWindowDouble();
    ~MainWindowDouble();

    HWND GetRecorderHwnd() const override { return m_hwnd; }
    void SetRecordState(int state) override;
    void ShowFocusFrame(int nCmdShow) override;
    BOOL MoveFocusFrame(const RECT* area, int width) override;
    void SetRecordedBitDepth(int bitCount) override;

    struct Posted {
        UINT message;
        WPARAM wParam;
    };
    std::vector<Posted> Messages();
    int Count(UINT message);
    // wParam of the first message of that kind, or -1.
    long long First(UINT message);
    int RecordState() const { return m_recordState; }
    int BitDepth() const { return m_bitDepth; }

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND m_hwnd;
    CRITICAL_SECTION m_lock;
    std::vector<Posted> m_messages;
    volatile LONG m_recordState;
    volatile LONG m_bitDepth;
};

// True once the engine reported the end of its recording.
bool Finished(MainWindowDouble& main);

// The preferences the engine tests start from: the compressor and the frame
// rate given, no automatic configuration, no minimising, a key frame every
// 80, default quality, frames kept in the scratch folder.
std::unique_ptr<CRecorderPrefs> MakeEnginePrefs(const std::string& tempDir, DWORD fourcc, int rate);

bool FileExists(const CString& path);
// ffprobe's csv answer for the entries (e.g. "-show_entries stream=...").
std::string Probe(const std::string& file, const std::string& entries);

// A top-most window painted one colour, shown on the screen.
class ColourWindow {
public:
    ColourWindow(const RECT& rect, COLORREF colour);
    ~ColourWindow();
    HWND Hwnd() const { return m_hwnd; }

private:
    HWND m_hwnd;
    HBRUSH m_brush;
};

// Pumps this thread's messages for `ms` milliseconds.
void Pump(DWORD ms);
// Pumps until `done` is true or `timeoutMs` passes; true when it became true.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
// The colour of a screen pixel, as a grab sees it.
COLORREF ScreenPixel(int x, int y);

}  // namespace capturetest
