#pragma once
// The capture driver of this build as a capture program reaches it: loaded
// through winmm's installable-driver interface (OpenDriver) and spoken to with
// SendDriverMessage. Shared by the driver's own tests and by the live-output
// tests, which play the capture program against the recorder.
#include "capdriver/CaptureProtocol.h"

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace drivertest {

// A Unix path as Wine sees it (the Unix root is drive Z:).
std::wstring WindowsPathOf(const char* unixPath);
// The Windows path of the driver of this build.
std::wstring DriverPath();

// The driver's settings key under HKEY_CURRENT_USER and its subkey.
extern const wchar_t kSettingsKey[];
extern const wchar_t kSettingsSubkey[];

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

// True while some process holds the live-output header.
bool LiveHeaderExists();

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
    // DVM_FRAME into `frame` (an empty one is first sized to the current
    // format's image, filled with 0xCD); `header` receives the frame header.
    LRESULT GrabFrame(std::vector<BYTE>* frame, VIDEOHDR* header = NULL) const;
    // CloseDriver (after ending a stream); answers what it answered.
    // Afterwards the object owns nothing.
    BOOL Close();

    // Streaming into `count` buffers of the current frame size; the driver's
    // callback marks them done, Collect hands back those that hold a picture
    // (not all black) and queues every done buffer again.
    LRESULT StartStream(int count, DWORD microSecPerFrame);
    std::vector<std::vector<BYTE>> Collect();
    void EndStream();

private:
    static void CALLBACK StreamCallback(HDRVR, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR);
    struct StreamBuffer {
        std::vector<BYTE> data;
        VIDEOHDR header;
    };
    HDRVR m_driver;
    VIDEO_OPEN_PARMS m_parms;
    std::vector<std::unique_ptr<StreamBuffer>> m_buffers;
    bool m_streaming;
    volatile LONG m_doneCount;
};

}  // namespace drivertest
