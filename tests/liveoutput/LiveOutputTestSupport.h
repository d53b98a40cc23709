#pragma once
// Shared by the live-output tests: a window that shows a known picture in the
// screen's top-left corner (where a live recording grabs), the picture's DIB
// rows as the recorder must deliver them, preferences that draw nothing over
// the grab, a live-output header made by the test in place of the driver, and
// the Zentivo driver's settings.
#include "capture/LiveOutputHeader.h"
#include "settings/RecorderPrefs.h"
#include "DriverChannel.h"

#include <vfw.h>

#include <memory>
#include <string>
#include <vector>

namespace livetest {

// The colour (red, green, blue) of the test picture at screen pixel (x, y).
void PatternColour(int x, int y, BYTE* red, BYTE* green, BYTE* blue);
// Padded DIB rows of `height` rows of `width` pixels at `bitCount`.
DWORD DibBytes(int width, int height, int bitCount);
// The top-left width x height of the picture as bottom-up 24-bit DIB rows.
std::vector<BYTE> PatternRows24(int width, int height);
// Where two byte blocks first differ, as text ("" when equal).
std::string FirstDifference(const std::vector<BYTE>& expected, const BYTE* actual, size_t actualBytes);

// A top-most window that shows the picture over the screen's top-left
// `width` x `height` pixels.
class PatternWindow {
public:
    PatternWindow(int width, int height);
    ~PatternWindow();
    PatternWindow(const PatternWindow&) = delete;
    PatternWindow& operator=(const PatternWindow&) = delete;
    // True once the screen shows the picture (sampled at a few pixels).
    bool WaitShown(DWORD timeoutMs = 5000) const;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND m_hwnd;
    int m_width;
    int m_height;
    std::vector<BYTE> m_rows;
};

// Live-mode preferences: 10 frames per second, files in `tempDir`, and no
// cursor, click marks, stamp, caption or watermark, so that the composed
// frame is exactly the grabbed screen.
std::unique_ptr<CRecorderPrefs> MakeLivePrefs(const std::string& tempDir);
void QuietAnnotations(CRecorderPrefs* prefs);

// The capture driver's side of the live output, made by the test: the header
// mapping, and a frame mapping of any size under any name. No field is
// checked: hostile formats are made on purpose.
class FakeLiveDriver {
public:
    FakeLiveDriver();
    ~FakeLiveDriver();
    FakeLiveDriver(const FakeLiveDriver&) = delete;
    FakeLiveDriver& operator=(const FakeLiveDriver&) = delete;

    LiveOutputHeader* Header() const { return m_header; }
    // Writes the format as the driver does (header-valid cleared first and
    // set last to `valid`) without touching frame-ready, and creates the frame
    // mapping `mappingName` of `mappingBytes` filled with `fill` (none when
    // mappingBytes is 0). `name` is copied into the header as 256 bytes.
    bool Publish(int32_t width, int32_t height, uint16_t bitCount, uint32_t imageSize, const std::string& name,
                 DWORD mappingBytes, BYTE fill, int32_t valid = 1);
    // The standard name of a frame mapping for an image size.
    static std::string FrameName(uint32_t imageSize);
    BYTE* Frame() const { return m_frame; }
    DWORD FrameBytes() const { return m_frameBytes; }
    bool FrameAll(BYTE value) const;
    uint16_t FrameReady() const { return *(volatile uint16_t*)&m_header->frameReady; }
    void SetFrameReady(uint16_t value) { *(volatile uint16_t*)&m_header->frameReady = value; }

private:
    void CloseFrame();
    HANDLE m_headerMapping;
    LiveOutputHeader* m_header;
    HANDLE m_frameMapping;
    BYTE* m_frame;
    DWORD m_frameBytes;
};

// True while some process holds the live-output header.
using drivertest::LiveHeaderExists;

// The Zentivo driver of this build, stored settings of 320 x 240 at
// `bitCount` (the subkey exists, so no first-run hint is shown).
void StoreDriverSettings(DWORD bitCount);

// The driver's channels are drivertest::DriverChannel: the capture channel is
// the one opened with VIDEO_IN, as the capture layer of a capture program
// opens it.

}  // namespace livetest
