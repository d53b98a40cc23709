#pragma once
// Helpers of the capture-driver tests. The tests act as a capture program
// would: they load Zentivo.dll through winmm's installable-driver interface
// and talk to it with SendDriverMessage. They also act as the recorder, which
// opens the live-output mappings by name and writes frames into them.
#include "capdriver/CaptureProtocol.h"
#include "capdriver/LiveOutputHeader.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace captest {

// The identifier the driver gives an open without open parameters.
const LRESULT kConfigInstance = 9999;

// Windows paths of the driver and of the helper program that plays the
// recorder (or a second capture program).
std::wstring DriverPath();
std::wstring HelperPath();

// The driver's settings key under HKEY_CURRENT_USER and its subkey.
extern const wchar_t kSettingsKey[];
extern const wchar_t kSettingsSubkey[];
extern const wchar_t kDriverCaption[];

struct Setting {
    const wchar_t* name;
    DWORD value;
};
// Replaces the stored settings with these values (the subkey exists, so the
// first-run hint stays away).
void StoreSettings(std::initializer_list<Setting> values);
void DeleteSettingsSubkey();
bool SettingsSubkeyExists();
bool ReadSetting(const wchar_t* name, DWORD* value);
// Stores a raw registry value in the settings subkey (hostile types and sizes).
void StoreRawSetting(const wchar_t* name, DWORD type, const void* data, DWORD size);

BITMAPINFOHEADER MakeFormat(LONG width, LONG height, WORD bitCount);
DWORD FrameBytes(LONG width, LONG height, WORD bitCount);

// One channel opened through OpenDriver with VIDEO_OPEN_PARMS; closed with
// CloseDriver when it goes away.
class DriverChannel {
public:
    explicit DriverChannel(DWORD channelType);
    ~DriverChannel();
    DriverChannel(const DriverChannel&) = delete;
    DriverChannel& operator=(const DriverChannel&) = delete;

    HDRVR Handle() const { return m_driver; }
    bool IsOpen() const { return m_driver != NULL; }
    DWORD OpenError() const { return m_parms.dwError; }
    LRESULT Send(UINT msg, LPARAM lParam1 = 0, LPARAM lParam2 = 0) const;
    LRESULT Configure(UINT msg, DWORD flags, void* data, DWORD size, DWORD* returned = NULL) const;
    LRESULT SetFormat(LONG width, LONG height, WORD bitCount) const;
    BITMAPINFOHEADER Format() const;
    // DVM_FRAME into `frame` (resized to the buffer length given).
    LRESULT GrabFrame(std::vector<BYTE>* frame, VIDEOHDR* header = NULL) const;
    // CloseDriver; answers what it answered. Afterwards the object owns nothing.
    BOOL Close();

private:
    HDRVR m_driver;
    VIDEO_OPEN_PARMS m_parms;
};

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

bool LiveHeaderExists();
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
