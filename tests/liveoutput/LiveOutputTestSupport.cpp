#include "LiveOutputTestSupport.h"

#include "tests/capture/CaptureTestSupport.h"

#include <stdio.h>
#include <string.h>

namespace livetest {

void PatternColour(int x, int y, BYTE* red, BYTE* green, BYTE* blue)
{
    *red = (BYTE)(x * 3 + y);
    *green = (BYTE)(y * 5 + (x >> 4));
    *blue = (BYTE)(x ^ (y * 7));
}

DWORD DibBytes(int width, int height, int bitCount)
{
    return (DWORD)((((width * bitCount) + 31) >> 3) & ~3) * (DWORD)height;
}

std::vector<BYTE> PatternRows24(int width, int height)
{
    const int stride = (int)DibBytes(width, 1, 24);
    std::vector<BYTE> rows((size_t)stride * height, 0);
    for (int row = 0; row < height; ++row) {
        const int y = height - 1 - row;   // bottom-up
        BYTE* p = &rows[(size_t)row * stride];
        for (int x = 0; x < width; ++x) {
            PatternColour(x, y, &p[x * 3 + 2], &p[x * 3 + 1], &p[x * 3 + 0]);
        }
    }
    return rows;
}

std::string FirstDifference(const std::vector<BYTE>& expected, const BYTE* actual, size_t actualBytes)
{
    char text[160];
    if (actualBytes != expected.size()) {
        snprintf(text, sizeof(text), "size %u, expected %u", (unsigned)actualBytes, (unsigned)expected.size());
        return text;
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] != actual[i]) {
            snprintf(text, sizeof(text), "byte %u is %u, expected %u", (unsigned)i, actual[i], expected[i]);
            return text;
        }
    }
    return "";
}

PatternWindow::PatternWindow(int width, int height)
    : m_hwnd(NULL), m_width(width), m_height(height), m_rows(PatternRows24(width, height))
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = ::GetModuleHandleA(NULL);
    wc.lpszClassName = "VexcapLiveTestPattern";
    ::RegisterClassA(&wc);
    m_hwnd = ::CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, "", WS_POPUP, 0, 0, width,
                               height, NULL, NULL, wc.hInstance, NULL);
    ::SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, (LONG_PTR)this);
    ::ShowWindow(m_hwnd, SW_SHOWNOACTIVATE);
    ::UpdateWindow(m_hwnd);
}

PatternWindow::~PatternWindow()
{
    ::DestroyWindow(m_hwnd);
}

LRESULT CALLBACK PatternWindow::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    PatternWindow* self = (PatternWindow*)::GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    if (msg == WM_ERASEBKGND)
        return 1;
    if (msg == WM_PAINT && self) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        BITMAPINFOHEADER bi = {};
        bi.biSize = sizeof(bi);
        bi.biWidth = self->m_width;
        bi.biHeight = self->m_height;
        bi.biPlanes = 1;
        bi.biBitCount = 24;
        bi.biCompression = BI_RGB;
        ::SetDIBitsToDevice(dc, 0, 0, self->m_width, self->m_height, 0, 0, 0, self->m_height,
                            self->m_rows.data(), (const BITMAPINFO*)&bi, DIB_RGB_COLORS);
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool PatternWindow::WaitShown(DWORD timeoutMs) const
{
    const POINT probes[] = {{0, 0}, {m_width - 1, 0}, {0, m_height - 1}, {m_width / 2, m_height / 3},
                            {m_width - 1, m_height - 1}};
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        bool all = true;
        HDC screen = ::GetDC(NULL);
        for (const POINT& p : probes) {
            BYTE r, g, b;
            PatternColour(p.x, p.y, &r, &g, &b);
            all = all && ::GetPixel(screen, p.x, p.y) == RGB(r, g, b);
        }
        ::ReleaseDC(NULL, screen);
        if (all)
            return true;
        if (::GetTickCount() - start > timeoutMs)
            return false;
        ::MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
}

void QuietAnnotations(CRecorderPrefs* prefs)
{
    prefs->m_captureMouse = FALSE;
    prefs->m_highlightCursor = FALSE;
    prefs->m_highlightClicks = FALSE;
    prefs->m_recordClickAudio = FALSE;
    prefs->m_recordKeyAudio = FALSE;
    prefs->m_autoHighlightObject = FALSE;
    prefs->m_computerNameStamp = 0;
    prefs->m_userNameStamp = 0;
    prefs->m_elapsedTimeStamp = 0;
    prefs->m_timeDateStamp = 0;
    prefs->m_autoSystemStamp = FALSE;
    prefs->m_caption.m_text.Empty();
    prefs->m_watermark.m_bInclude = FALSE;
}

std::unique_ptr<CRecorderPrefs> MakeLivePrefs(const std::string& tempDir)
{
    std::unique_ptr<CRecorderPrefs> prefs(new CRecorderPrefs(&capturetest::App()));
    prefs->m_tempDir = tempDir.c_str();
    prefs->m_output = 1;
    prefs->m_liveRate = CRational(10, 1, 1);
    prefs->m_autoConfig = FALSE;
    prefs->m_minimize = FALSE;
    prefs->m_pauseOnStart = FALSE;
    prefs->m_recordAudio = FALSE;
    prefs->m_useGrabberThread = 0;
    QuietAnnotations(prefs.get());
    return prefs;
}

FakeLiveDriver::FakeLiveDriver()
    : m_headerMapping(NULL), m_header(NULL), m_frameMapping(NULL), m_frame(NULL), m_frameBytes(0)
{
    m_headerMapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, sizeof(LiveOutputHeader),
                                           LIVE_OUTPUT_HEADER_NAME);
    if (m_headerMapping)
        m_header = (LiveOutputHeader*)::MapViewOfFile(m_headerMapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (m_header)
        memset(m_header, 0, sizeof(*m_header));
}

FakeLiveDriver::~FakeLiveDriver()
{
    CloseFrame();
    if (m_header)
        ::UnmapViewOfFile(m_header);
    if (m_headerMapping)
        ::CloseHandle(m_headerMapping);
}

void FakeLiveDriver::CloseFrame()
{
    if (m_frame)
        ::UnmapViewOfFile(m_frame);
    if (m_frameMapping)
        ::CloseHandle(m_frameMapping);
    m_frame = NULL;
    m_frameMapping = NULL;
    m_frameBytes = 0;
}

std::string FakeLiveDriver::FrameName(uint32_t imageSize)
{
    char name[64];
    snprintf(name, sizeof(name), "SS_LIVE_MMF_NAME_%u", (unsigned)imageSize);
    return name;
}

bool FakeLiveDriver::Publish(int32_t width, int32_t height, uint16_t bitCount, uint32_t imageSize,
                             const std::string& name, DWORD mappingBytes, BYTE fill, int32_t valid)
{
    if (!m_header)
        return false;
    *(volatile int32_t*)&m_header->headerValid = 0;
    m_header->width = width;
    m_header->height = height;
    m_header->bitCount = bitCount;
    m_header->imageSize = imageSize;
    memset(m_header->frameMappingName, 0, sizeof(m_header->frameMappingName));
    memcpy(m_header->frameMappingName, name.data(),
           name.size() < sizeof(m_header->frameMappingName) ? name.size() : sizeof(m_header->frameMappingName));
    CloseFrame();
    if (mappingBytes) {
        char mappingName[300];
        snprintf(mappingName, sizeof(mappingName), "%.*s", (int)name.size(), name.c_str());
        m_frameMapping =
            ::CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, mappingBytes, mappingName);
        if (!m_frameMapping)
            return false;
        m_frame = (BYTE*)::MapViewOfFile(m_frameMapping, FILE_MAP_ALL_ACCESS, 0, 0, mappingBytes);
        if (!m_frame)
            return false;
        m_frameBytes = mappingBytes;
        memset(m_frame, fill, mappingBytes);
    }
    ::MemoryBarrier();
    *(volatile int32_t*)&m_header->headerValid = valid;
    return true;
}

bool FakeLiveDriver::FrameAll(BYTE value) const
{
    for (DWORD i = 0; i < m_frameBytes; ++i) {
        if (m_frame[i] != value)
            return false;
    }
    return true;
}

void StoreDriverSettings(DWORD bitCount)
{
    drivertest::StoreSettings({{L"BitCount", bitCount}, {L"PresetSize", 9 /* 320 x 240 */}, {L"CustomSize", 0}});
}

}  // namespace livetest
