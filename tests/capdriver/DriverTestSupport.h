#pragma once
// Helpers of the capture-driver tests. The tests act as a capture program
// would: they load Zentivo.dll through winmm's installable-driver interface
// and talk to it with SendDriverMessage. They also act as the recorder, which
// opens the live-output mappings by name and writes frames into them.
#include "capdriver/CaptureProtocol.h"
#include "capdriver/LiveOutputHeader.h"
#include "DriverChannel.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace captest {

// The identifier the driver gives an open without open parameters.
const LRESULT kConfigInstance = 9999;

// The driver's path, its settings, frame formats and channels (shared with
// the live-output tests).
using drivertest::DeleteSettingsSubkey;
using drivertest::DriverChannel;
using drivertest::DriverPath;
using drivertest::FrameBytes;
using drivertest::kSettingsKey;
using drivertest::kSettingsSubkey;
using drivertest::LiveHeaderExists;
using drivertest::MakeFormat;
using drivertest::ReadSetting;
using drivertest::Setting;
using drivertest::SettingsSubkeyExists;
using drivertest::StoreRawSetting;
using drivertest::StoreSettings;

// The Windows path of the helper program that plays the recorder (or a
// second capture program).
std::wstring HelperPath();

extern const wchar_t kDriverCaption[];

// Wine 8.0: when the first open of a driver library fails, OpenDriver frees
// its session instance twice (heap corruption that crashes the process a few
// opens later). A test that expects an open to fail holds this configuration
// instance open around it, so that the library is already in use.
class DriverSession {
public:
    DriverSession() : m_driver(OpenDriver(DriverPath().c_str(), NULL, 0)) {}
    ~DriverSession()
    {
        if (m_driver)
            CloseDriver(m_driver, 0, 0);
    }
    DriverSession(const DriverSession&) = delete;
    DriverSession& operator=(const DriverSession&) = delete;
    HDRVR Handle() const { return m_driver; }

private:
    HDRVR m_driver;
};

// The driver procedure of the loaded driver, for what winmm cannot show:
// driver identifiers and a refused DRV_CLOSE.
typedef LRESULT(CALLBACK* DriverProcFn)(DWORD_PTR, HDRVR, UINT, LPARAM, LPARAM);
DriverProcFn LoadedDriverProc(HDRVR driver);
bool DriverLoaded();

// Polls until `done` answers true or `timeoutMs` passes.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);
// A visible top-level window of `thread` with this title, or NULL after the timeout.
HWND WaitForWindow(DWORD thread, const wchar_t* title, DWORD timeoutMs = 10000);
// A visible top-level window of `thread` with this title, now.
HWND FindThreadWindow(DWORD thread, const wchar_t* title);
std::wstring WindowText(HWND window);
// The text of a message box (its static control).
std::wstring MessageBoxText(HWND box);
// Presses a dialog button by posting its command, as a click would.
void PressButton(HWND dialog, int id);

// Answers every message box of the driver (caption kDriverCaption) that
// appears on `thread`, keeping their texts. Runs a polling thread while it lives.
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(DWORD thread);
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;
    std::vector<std::wstring> Texts() const;

private:
    static DWORD WINAPI Run(LPVOID self);
    DWORD m_thread;
    HANDLE m_stop;
    HANDLE m_worker;
    mutable CRITICAL_SECTION m_lock;
    std::vector<std::wstring> m_texts;
};

// The recorder's side of the live output, in this process: opens the header
// and the frame mapping it names, and writes frames with frameReady last.
class LiveRecorder {
public:
    LiveRecorder() = default;
    ~LiveRecorder();
    LiveRecorder(const LiveRecorder&) = delete;
    LiveRecorder& operator=(const LiveRecorder&) = delete;

    bool OpenHeader();
    bool OpenFrame();     // the mapping named in the header, imageSize bytes
    LiveOutputHeader* Header() const { return m_header; }
    // Fills the frame with `value` and raises frameReady.
    void WriteFrame(BYTE value);
    void Close();

private:
    HANDLE m_headerMapping = NULL;
    LiveOutputHeader* m_header = NULL;
    HANDLE m_frameMapping = NULL;
    BYTE* m_frame = NULL;
    DWORD m_frameSize = 0;
};

std::string HeaderName(const LiveOutputHeader* header);

// The helper program, started with a command line; the process ends with the
// object (waited for, then killed by handle if it hangs).
class HelperProcess {
public:
    explicit HelperProcess(const std::wstring& arguments);
    ~HelperProcess();
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;
    bool Started() const { return m_process != NULL; }
    // Waits for the exit; answers the exit code, or -1 after the timeout.
    int Wait(DWORD timeoutMs = 20000);

private:
    HANDLE m_process = NULL;
};

// A named event of this test run (manual reset, initially clear).
class NamedEvent {
public:
    explicit NamedEvent(const std::wstring& name);
    ~NamedEvent();
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;
    HANDLE Handle() const { return m_event; }
    bool Wait(DWORD timeoutMs = 20000) const;
    void Set() const;

private:
    HANDLE m_event;
};

}  // namespace captest
